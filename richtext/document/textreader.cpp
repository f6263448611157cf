#include "richtext/document/textreader.h"

#include "platform/rtl/exceptions.h"
#include "richtext/document/progress.h"

namespace tw::richtext {

int TRiTextReader::ReadChar() {
  if (stream_ == nullptr) return -1;
  if (bufIndex_ >= inBuffer_) {
    if (lastFillShort_ && inBuffer_ > 0) return -1;
    bufPos_ = stream_->Position();
    const std::int64_t n = stream_->Read(buffer_, sizeof buffer_);
    inBuffer_ = static_cast<int>(n < 0 ? 0 : n);
    bufIndex_ = 0;
    lastFillShort_ = inBuffer_ < static_cast<int>(sizeof buffer_);
    if (inBuffer_ == 0) return -1;
  }
  return static_cast<unsigned char>(buffer_[bufIndex_++]);
}

void TRiTextReader::UnreadChar() {
  if (bufIndex_ > 0) {
    --bufIndex_;
  } else if (stream_ != nullptr && stream_->Position() > 0) {
    stream_->Seek(-1, soFromCurrent);
  }
}

void TRiTextReader::SyncStream() {
  if (stream_ == nullptr) return;
  if (inBuffer_ > 0 || bufIndex_ > 0) stream_->SetPosition(bufPos_ + bufIndex_);
  inBuffer_ = 0;
  bufIndex_ = 0;
  lastFillShort_ = false;
}

int TRiTextReader::HexDigit(int ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

int TRiTextReader::HexPair(int hi, int lo) {
  const int h = HexDigit(hi), l = HexDigit(lo);
  return (h < 0 ? 0 : h) * 16 + (l < 0 ? 0 : l);
}

void TRiTextReader::SetStream(TStream* stream) {
  stream_ = stream;
  inBuffer_ = bufIndex_ = 0;
  lastFillShort_ = false;
}

int TRiTextReader::EscapeHandler(int ch) {
  AppendChar(ch);
  return 0;
}

int TRiTextReader::CharHandler(int ch) {
  // CR LF, CR alone and LF alone each end a paragraph.
  const bool afterCr = afterCr_;
  afterCr_ = ch == 13;
  if (ch == 13) {
    EndParagraph();
  } else if (ch == 10) {
    if (!afterCr) EndParagraph();
  } else if (ch == static_cast<unsigned char>(EscapeChar)) {
    return EscapeHandler(ch);
  } else {
    AppendChar(ch);
  }
  return 0;
}

void TRiTextReader::ShrinkLines(PTParagraph par) {
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) Engine->SetLineCapacity(l, l->Length + 2);
}

void TRiTextReader::EndParagraph() {
  ShrinkLines(CurPar);
  PTParagraph p = CurPar;
  Engine->NewParagraph(p, 60);
  p->Mark();
  CurPar = p;
  curLine_ = p->FirstLine;
  pos_ = 0;
  parChars_ = 0;
}

void TRiTextReader::AppendChar(int ch) {
  if (ch == 13 || ch == 10 || ch < 1) return;
  if (pos_ >= curLine_->Capacity - 4) {
    PTLine l = curLine_;
    Engine->NewLine(l, 200);
    curLine_ = l;
    pos_ = 0;
    CurPar->Mark();
  }
  curLine_->Buffer[static_cast<std::size_t>(pos_)] = static_cast<char>(ch);
  if (curLine_->HasAttrs()) curLine_->Attrs[static_cast<std::size_t>(pos_)] = CurAttr;
  ++pos_;
  ++parChars_;
  curLine_->Buffer[static_cast<std::size_t>(pos_)] = 0;
  curLine_->Length = static_cast<std::uint16_t>(pos_);
}

int TRiTextReader::ReadDocument(TStream* stream, PTParagraph& first) {
  if (Owner == nullptr || Engine == nullptr) throw Exception("Wrong Arguments");
  if (stream_ == nullptr) SetStream(stream);
  Stop = false;
  afterCr_ = false;
  if (Automatic) CurAttr.Extra |= fxAutomatic;
  if (CurPar == nullptr) {
    PTParagraph p = nullptr;
    Engine->NewParagraph(p, 60);
    CurPar = p;
  }
  curLine_ = TRiRTFText::Get_LastLine(CurPar);
  pos_ = curLine_->Length;
  parChars_ = 0;
  first = CurPar;
  CurPar->Mark();
  const std::int64_t size = stream_ != nullptr ? stream_->Size() : 0;
  TProgressFrame frame(static_cast<int>(std::min<std::int64_t>(size, INT32_MAX)));
  std::int64_t lastReported = stream_ != nullptr ? stream_->Position() : 0;
  for (;;) {
    const int ch = ReadChar();
    if (ch <= 0) break;
    if (frame.Step() > 0) {
      const std::int64_t at = bufPos_ + bufIndex_;
      if (at - lastReported > frame.Step()) {
        ProgressReport(static_cast<int>(std::min<std::int64_t>(at, INT32_MAX)));
        lastReported = at;
      }
    }
    if (CharHandler(ch) != 0 || Stop) break;
  }
  SyncStream();
  return 0;
}

}  // namespace tw::richtext
