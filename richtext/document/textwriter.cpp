#include "richtext/document/textwriter.h"

#include "richtext/document/progress.h"

namespace tw::richtext {

void AppendNumber(std::string& buffer, std::uint32_t value) { buffer += std::to_string(value % 1000000); }

std::uint8_t TRiTextWriter::Put(const char* data, std::size_t count) {
  if (count == 0) return riOK;
  if (stream_ == nullptr) return riWriteError;
  const auto n = static_cast<std::int64_t>(count);
  return stream_->Write(data, n) == n ? riOK : riWriteError;
}

std::uint8_t TRiTextWriter::PutHex(const char* data, std::size_t count) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    const auto b = static_cast<unsigned char>(data[i]);
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return Put(out);
}

std::uint8_t TRiTextWriter::WriteCharAttr() { return riOK; }

std::uint8_t TRiTextWriter::WriteChars(int count) {
  if (count <= 0) return riOK;
  return Put(textPtr_, static_cast<std::size_t>(count));
}

std::uint8_t TRiTextWriter::LineBreak() { return riOK; }
std::uint8_t TRiTextWriter::ParagraphEnd() { return Put("\r\n", 2); }
std::uint8_t TRiTextWriter::WriteParagraphProps() { return riOK; }
std::uint8_t TRiTextWriter::WritePicture(int, int) { return riOK; }
std::uint8_t TRiTextWriter::WriteFootnote(int) { return riOK; }

std::uint8_t TRiTextWriter::WriteHeader(TStream* stream) {
  stream_ = stream;
  return riOK;
}

// Plain text ends with its last character: a zero byte would be read back as text by other
// programs.
std::uint8_t TRiTextWriter::WriteTrailer() { return riOK; }

std::uint8_t TRiTextWriter::WriteText(int from, int to) {
  PTLine line = curLine_;
  if (line == nullptr) return riOK;
  from = std::clamp(from, 0, static_cast<int>(line->Length));
  to = std::clamp(to, from, static_cast<int>(line->Length));
  textPtr_ = line->Text() + from;
  const bool attrs = line->HasAttrs() && Engine != nullptr && Engine->Header().AttributesInUse;
  if (!attrs) return WriteChars(to - from);
  int i = from;
  while (i < to) {
    textPtr_ = line->Text() + i;
    attrPtr_ = &line->Attrs[static_cast<std::size_t>(i)];
    curAttr_ = attrPtr_;
    const TAttr& a = *attrPtr_;
    const unsigned char ch = line->Ch(i);
    if (WriteCharAttr() != riOK) return riWriteError;
    if ((ch == 1 || ch == 2) && (a.Extra & fxObject)) {
      if (WritePicture(ch == 1 ? a.Tag : 0, ch == 2 ? a.Tag : 0) != riOK) return riWriteError;
      ++i;
      continue;
    }
    if (a.Extra & fxFootnote) {
      if (WriteFootnote(a.Tag) != riOK) return riWriteError;
      ++i;
      continue;
    }
    int j = i + 1;
    if (!(a.Extra & (fxObject | fxInsertPoint)))
      while (j < to && SameRun(line->Attrs[static_cast<std::size_t>(j)], a) &&
             !(line->Attrs[static_cast<std::size_t>(j)].Extra & (fxObject | fxFootnote)))
        ++j;
    const bool skip = ((a.Extra & fxInsertPoint) && SkipInsertPoints) || ((a.Extra & fxAutomatic) && SkipAutomatic);
    if (!skip && WriteChars(j - i) != riOK) return riWriteError;
    i = j;
  }
  return riOK;
}

std::uint8_t TRiTextWriter::WriteBody(TStream* stream) {
  if (StartPar == nullptr) return Error = riNothing;
  stream_ = stream;
  prevPar_ = nullptr;
  prevLine_ = nullptr;
  PTLine firstLine = StartLine;
  if (firstLine == nullptr) {
    firstLine = StartPar->FirstLine;
    StartPos = 0;
  }
  total_ = 0;
  for (PTParagraph p = StartPar; p != nullptr; p = p->Next) {
    total_ += TRiRTFText::ParagraphLength(p);
    if (p == EndPar) break;
  }
  TProgressFrame frame(static_cast<int>(std::min<std::int64_t>(total_, INT32_MAX)));
  written_ = 0;
  std::uint8_t r = riOK;
  bool first = true;
  for (PTParagraph p = StartPar; p != nullptr && r == riOK;) {
    curPar_ = p;
    r = WriteParagraphProps();
    if (r != riOK) break;
    PTLine l = first ? firstLine : p->FirstLine;
    bool stop = false;
    for (; l != nullptr && r == riOK; l = l->Next) {
      curLine_ = l;
      const int from = first ? StartPos : 0;
      first = false;
      const bool lastLine = p == EndPar && (l == EndLine || (EndLine == nullptr && l->Next == nullptr));
      if (lastLine) {
        r = WriteText(from, EndLine == nullptr ? l->Length : EndPos);
        stop = true;
        break;
      }
      r = WriteText(from, l->Length);
      written_ += l->Length;
      prevLine_ = l;
      if (r == riOK && l->Next != nullptr) r = LineBreak();
    }
    first = false;
    if (r != riOK) break;
    if (stop || p == EndPar) {
      if (p->IsCell()) r = ParagraphEnd();
      break;
    }
    if (p->Next != nullptr || p->IsCell()) r = ParagraphEnd();
    prevPar_ = p;
    p = p->Next;
    ProgressReport(static_cast<int>(std::min<std::int64_t>(written_, INT32_MAX)));
  }
  return Error = (r == riOK ? riOK : riWriteError);
}

}  // namespace tw::richtext
