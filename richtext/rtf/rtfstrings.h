// The document as a list of strings: each paragraph is one string.
#pragma once

#include "platform/classes/stringlist.h"
#include "richtext/rtf/rtftextio.h"

namespace tw::richtext {

class TRiRtfStrings : public TStrings {
  TW_CLASS(TRiRtfStrings, TStrings)
 public:
  explicit TRiRtfStrings(TRiRTFTextIo* engine) : engine_(engine) {}

  int GetCount() const override;
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  void Clear() override;
  void Delete(int index) override;
  void Insert(int index, const std::string& s) override;
  // Detects RTF whatever the engine's load format says.
  void LoadFromStream(TStream& stream) override;
  // Always plain text.
  void SaveToStream(TStream& stream) const override;
  TRiRTFTextIo* Engine() const { return engine_; }

 protected:
  void SetUpdateState(bool updating) override;

 private:
  TRiRTFTextIo* engine_;  // not owned
};

}  // namespace tw::richtext
