// The plain-text writer and the walk of a document range that the RTF writer shares: runs of
// equal attributes are handed to a fixed set of virtual writing operations.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/streams.h"
#include "richtext/document/document.h"

namespace tw::richtext {

class TRiTextWriter : public TObject {
  TW_CLASS(TRiTextWriter, TObject)
 public:
  TRiTextWriter() = default;

  // The writing operations; each returns the error byte.
  virtual std::uint8_t WriteCharAttr();
  virtual std::uint8_t WriteChars(int count);
  virtual std::uint8_t WriteText(int from, int to);
  virtual std::uint8_t LineBreak();
  virtual std::uint8_t ParagraphEnd();
  virtual std::uint8_t WriteParagraphProps();
  virtual std::uint8_t WritePicture(int tag, int number);
  virtual std::uint8_t WriteFootnote(int id);
  virtual std::uint8_t WriteHeader(TStream* stream);
  virtual std::uint8_t WriteBody(TStream* stream);
  virtual std::uint8_t WriteTrailer();

  // Range and switches, set by the caller.
  TRiRTFText* Engine = nullptr;
  PTParagraph StartPar = nullptr, EndPar = nullptr;
  PTLine StartLine = nullptr, EndLine = nullptr;
  int StartPos = 0, EndPos = 0;
  bool SkipInsertPoints = false;
  bool SkipAutomatic = false;
  std::uint8_t Error = riOK;

 protected:
  // Sends bytes; a short write gives riWriteError.
  std::uint8_t Put(const char* data, std::size_t count);
  std::uint8_t Put(const std::string& s) { return Put(s.data(), s.size()); }
  std::uint8_t PutHex(const char* data, std::size_t count);

  TStream* stream_ = nullptr;
  PTParagraph prevPar_ = nullptr;
  PTLine prevLine_ = nullptr;
  PTParagraph curPar_ = nullptr;
  PTLine curLine_ = nullptr;
  const TAttr* curAttr_ = nullptr;
  const char* textPtr_ = nullptr;
  const TAttr* attrPtr_ = nullptr;
  std::int64_t written_ = 0;
  std::int64_t total_ = 0;
};

// Appends a decimal number (no sign, up to six digits) or a string to a buffer.
void AppendNumber(std::string& buffer, std::uint32_t value);

}  // namespace tw::richtext
