// The link between an editor's engine and the controls that show its state (tool panel, ruler,
// status bar): notifications from the editor and queries of the cursor's paragraph and the
// current attributes.
#pragma once

#include <cstdint>
#include <string>

#include "richtext/document/document.h"

namespace tw::richtext {

class TRiSetModeControl : public TPersistent {
  TW_CLASS(TRiSetModeControl, TPersistent)
 public:
  virtual void ParagraphChanged() {}
  virtual void AttributesChanged() {}
  virtual void PositionChanged(int /*value*/) {}

  // The engine shown and a way to reach its cursor paragraph (set by the layers that know it).
  TRiRTFText* Engine = nullptr;
  std::function<PTParagraph()> CurrentParagraph;

  std::int32_t FirstIndent() const;
  std::int32_t RightIndent() const;
  std::int32_t LeftIndent() const;
  int Alignment() const;
  int ShadingColor() const;
  TTabSet TabSet() const;
  std::uint32_t Style() const;
  int TextColor() const;
  int BackgroundColor() const;
  std::string FontName() const;
  int Size() const;

 private:
  PTParagraph Par() const;
};

}  // namespace tw::richtext
