// The plain-text reader: bytes through a 1024-byte buffer into the document model; CR LF, CR
// and LF end paragraphs, long lines continue in further lines of the same paragraph.  The RTF
// reader derives from it.
#pragma once

#include <cstdint>

#include "platform/classes/streams.h"
#include "richtext/document/document.h"

namespace tw::richtext {

class TRiTextReader : public TObject {
  TW_CLASS(TRiTextReader, TObject)
 public:
  TRiTextReader() = default;

  virtual int EscapeHandler(int ch);
  virtual int CharHandler(int ch);
  virtual void AppendChar(int ch);
  virtual void SetStream(TStream* stream);
  // Reads the stream into the current paragraph (a new chain when there is none); `first`
  // receives the first paragraph filled.  Raises "Wrong Arguments" without owner or engine.
  virtual int ReadDocument(TStream* stream, PTParagraph& first);

  // Next byte 0..255, or -1 at the end.
  int ReadChar();
  void UnreadChar();
  // Sets the stream right after the last byte used and empties the buffer.
  void SyncStream();
  static int HexPair(int hi, int lo);
  static int HexDigit(int ch);  // -1 for a character that is no hexadecimal digit

  bool Stop = false;
  TTextHeader* Owner = nullptr;
  TRiRTFText* Engine = nullptr;
  PTParagraph CurPar = nullptr;
  TAttr CurAttr;
  char EscapeChar = '\\';
  bool Automatic = false;
  std::uint8_t Result = 0;

 protected:
  void EndParagraph();
  void ShrinkLines(PTParagraph par);

  TStream* stream_ = nullptr;
  PTLine curLine_ = nullptr;
  int pos_ = 0;
  int parChars_ = 0;
  char buffer_[1024] = {};
  int inBuffer_ = 0;
  int bufIndex_ = 0;
  std::int64_t bufPos_ = 0;
  bool lastFillShort_ = false;
  bool afterCr_ = false;  // the last character was a carriage return
};

}  // namespace tw::richtext
