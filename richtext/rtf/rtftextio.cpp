#include "richtext/rtf/rtftextio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/win1252.h"
#include "richtext/document/progress.h"
#include "richtext/rtf/rtfreader.h"
#include "richtext/rtf/rtfwriter.h"

namespace tw::richtext {

TRiRTFTextIo::TRiRTFTextIo() { ResetCursor(); }

void TRiRTFTextIo::ResetCursor() {
  CursorPar = FirstPar;
  CursorLine = FirstPar != nullptr ? FirstPar->FirstLine : nullptr;
  CursorOffset = 0;
}

void TRiRTFTextIo::Clear() {
  TProgressSuppressor quiet;
  ForgetPendingPages();
  SelStartPar = SelEndPar = nullptr;
  SelStartLine = SelEndLine = nullptr;
  SelStartOffset = SelEndOffset = 0;
  TRiRTFText::Clear();
  ResetCursor();
}

void TRiRTFTextIo::ReplaceParagraphText(int number, const std::string& text, const TAttr* attr) {
  TRiRTFText::ReplaceParagraphText(number, text, attr);
  ValidateCursor();
}

void TRiRTFTextIo::ValidateCursor() {
  auto lineOf = [this](PTParagraph par, PTLine line) {
    for (PTParagraph p = FirstPar; p != nullptr; p = p->Next)
      if (p == par) {
        for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
          if (l == line) return true;
        return false;
      }
    return false;
  };
  if (!lineOf(CursorPar, CursorLine)) {
    bool parFound = false;
    for (PTParagraph p = FirstPar; p != nullptr; p = p->Next)
      if (p == CursorPar) parFound = true;
    if (parFound) {
      CursorLine = CursorPar->FirstLine;
    } else {
      CursorPar = FirstPar;
      CursorLine = FirstPar->FirstLine;
      CursorOffset = 0;
    }
  }
  CursorOffset = std::clamp(CursorOffset, 0, static_cast<int>(CursorLine->Length));
  if (SelStartPar != nullptr || SelEndPar != nullptr) {
    if (!lineOf(SelStartPar, SelStartLine) || !lineOf(SelEndPar, SelEndLine)) {
      SelStartPar = SelEndPar = nullptr;
      SelStartLine = SelEndLine = nullptr;
      SelStartOffset = SelEndOffset = 0;
    } else {
      SelStartOffset = std::clamp(SelStartOffset, 0, static_cast<int>(SelStartLine->Length));
      SelEndOffset = std::clamp(SelEndOffset, 0, static_cast<int>(SelEndLine->Length));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Writing

std::uint8_t TRiRTFTextIo::WriteDocument(TStream& stream, TRiTextWriter* writer) {
  if (writer == nullptr || !Ready) return riWriteError;
  if (auto* rtf = dynamic_cast<TRiRTFWriter*>(writer)) {
    rtf->HelpBitmapRefs = HelpBitmapRefs;
    rtf->NoProtectionMarks = NoProtectionMarks;
  }
  writer->Engine = this;
  writer->StartPar = FirstPar;
  writer->StartLine = nullptr;
  writer->StartPos = 0;
  writer->EndPar = nullptr;
  writer->EndLine = nullptr;
  writer->EndPos = 0;
  writer->SkipInsertPoints = SkipInsertPoints;
  writer->SkipAutomatic = SkipAutomaticText;
  std::uint8_t r = writer->WriteHeader(&stream);
  if (r == riOK) r = writer->WriteBody(&stream);
  if (r == riOK) r = writer->WriteTrailer();
  return r;
}

std::uint8_t TRiRTFTextIo::WriteSelection(TStream& stream, TRiTextWriter* writer) {
  if (writer == nullptr || !Ready) return riWriteError;
  if (SelStartPar == nullptr || SelEndPar == nullptr) return riOK;
  if (auto* rtf = dynamic_cast<TRiRTFWriter*>(writer)) {
    rtf->HelpBitmapRefs = HelpBitmapRefs;
    rtf->NoProtectionMarks = NoProtectionMarks;
  }
  PTParagraph sp = SelStartPar, ep = SelEndPar;
  PTLine sl = SelStartLine, el = SelEndLine;
  int so = SelStartOffset, eo = SelEndOffset;
  // Document order: compare absolute positions.
  int a1, l1, o1, p1, a2, l2, o2, p2;
  CountPosition(sp, sl, so, a1, l1, o1, p1);
  CountPosition(ep, el, eo, a2, l2, o2, p2);
  if (a2 < a1) {
    std::swap(sp, ep);
    std::swap(sl, el);
    std::swap(so, eo);
  }
  writer->Engine = this;
  writer->StartPar = sp;
  writer->StartLine = sl != nullptr ? sl : sp->FirstLine;
  writer->StartPos = so;
  writer->EndPar = ep;
  writer->EndLine = el != nullptr ? el : Get_LastLine(ep);
  writer->EndPos = eo;
  writer->SkipInsertPoints = SkipInsertPoints;
  writer->SkipAutomatic = SkipAutomaticText;
  std::uint8_t r = writer->WriteHeader(&stream);
  if (r == riOK) r = writer->WriteBody(&stream);
  if (r == riOK) r = writer->WriteTrailer();
  return r;
}

namespace {

TRiLoadFormat ResolveSaveFormat(const TRiRTFTextIo& e) {
  if (e.SaveFormat == TRiLoadFormat::FormatRTF || e.SaveFormat == TRiLoadFormat::FormatANSI) return e.SaveFormat;
  const auto last = static_cast<TRiLoadFormat>(e.Header().LastFormat);
  if (last == TRiLoadFormat::FormatRTF || last == TRiLoadFormat::FormatANSI) return last;
  return e.MemoryFormat() == TRiMemoryFormat::fmRichText ? TRiLoadFormat::FormatRTF : TRiLoadFormat::FormatANSI;
}

}  // namespace

void TRiRTFTextIo::SaveToStream(TStream& stream) {
  LastResult = riOK;
  if (!OwnFormats && UserWriter != nullptr) {
    LastResult = WriteDocument(stream, UserWriter);
    return;
  }
  TRiLoadFormat format = ResolveSaveFormat(*this);
  if (!SavingToFile && IsEmpty() && format == TRiLoadFormat::FormatRTF) format = TRiLoadFormat::FormatANSI;
  std::unique_ptr<TRiTextWriter> writer;
  if (format == TRiLoadFormat::FormatRTF)
    writer = std::make_unique<TRiRTFWriter>();
  else
    writer = std::make_unique<TRiTextWriter>();
  LastResult = WriteDocument(stream, writer.get());
}

void TRiRTFTextIo::SaveSelectionToStream(TStream& stream) {
  LastResult = riOK;
  if (!OwnFormats && UserWriter != nullptr) {
    LastResult = WriteSelection(stream, UserWriter);
    return;
  }
  std::unique_ptr<TRiTextWriter> writer;
  if (ResolveSaveFormat(*this) == TRiLoadFormat::FormatRTF)
    writer = std::make_unique<TRiRTFWriter>();
  else
    writer = std::make_unique<TRiTextWriter>();
  LastResult = WriteSelection(stream, writer.get());
}

void TRiRTFTextIo::SaveToFile(const std::string& fileName) {
  const TRiLoadFormat oldFormat = SaveFormat;
  const bool oldSaving = SavingToFile;
  if (AnsiUpperCase(fileName).find(".RTF") != std::string::npos) SaveFormat = TRiLoadFormat::FormatRTF;
  SavingToFile = true;
  // The document is written to memory first and then replaces the file in one step, so a
  // failed save never leaves a half-written document behind.
  try {
    TMemoryStream out;
    SaveToStream(out);
    if (LastResult == riOK) out.SaveToFile(fileName);
  } catch (...) {
    SaveFormat = oldFormat;
    SavingToFile = oldSaving;
    throw;
  }
  SaveFormat = oldFormat;
  SavingToFile = oldSaving;
}

void TRiRTFTextIo::WriteData(TStream& stream) {
  TRiRTFWriter writer;
  WriteDocument(stream, &writer);
  const char zeros[4] = {0, 0, 0, 0};
  stream.WriteBuffer(zeros, 4);
}

std::string TRiRTFTextIo::AsText() {
  TStringStream s;
  TRiTextWriter writer;
  WriteDocument(s, &writer);
  return s.DataString();
}

std::string TRiRTFTextIo::AsRtf() {
  TStringStream s;
  TRiRTFWriter writer;
  WriteDocument(s, &writer);
  return s.DataString();
}

// ---------------------------------------------------------------------------------------------
// Reading

TRiLoadFormat TRiRTFTextIo::DetectFormat(TStream& stream) {
  const std::int64_t start = stream.Position();
  // Any number of blanks may come first; the mark may straddle two reads.
  std::string head;
  char buf[256];
  for (;;) {
    const std::int64_t n = stream.Read(buf, sizeof buf);
    if (n <= 0) break;
    for (std::int64_t i = 0; i < n && head.size() < 5; ++i) {
      const char c = buf[i];
      if (head.empty() && (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\b')) continue;
      head += c;
    }
    if (head.size() >= 5) break;
  }
  stream.SetPosition(start);
  return head == "{\\rtf" ? TRiLoadFormat::FormatRTF : TRiLoadFormat::FormatANSI;
}

TRiLoadFormat TRiRTFTextIo::LoadFromStream(TStream& stream) {
  if (!OwnFormats && UserReader != nullptr) {
    ReadWithReader(stream, UserReader);
    LastResult = UserReader->Result;
    return LoadFormat;
  }
  TRiLoadFormat format = LoadFormat;
  if (format != TRiLoadFormat::FormatRTF && format != TRiLoadFormat::FormatANSI) format = DetectFormat(stream);
  // A large plain text read as a new document is kept without attributes; inserted into a
  // document, it takes the document's attributes like any other text, so nothing is lost.
  if (format == TRiLoadFormat::FormatANSI && IsEmpty() && stream.Size() - stream.Position() > PlainTextModeLimit)
    SetMemoryFormat(TRiMemoryFormat::fmPlainText);
  std::unique_ptr<TRiTextReader> reader;
  if (format == TRiLoadFormat::FormatRTF) {
    auto r = std::make_unique<TRiRtfReader>();
    r->BaseFolder = BaseFolder;
    reader = std::move(r);
  } else {
    reader = std::make_unique<TRiTextReader>();
  }
  ReadWithReader(stream, reader.get());
  if (LastResult != riNothing) LastResult = reader->Result;
  return format;
}

void TRiRTFTextIo::ReadWithReader(TStream& stream, TRiTextReader* reader) {
  LastResult = riNothing;
  TProgressFrame frame(100);
  if (reader == nullptr || !Ready) return;
  reader->Owner = &Header();
  reader->Engine = this;
  reader->CurAttr = CurAttr;
  if (auto* rtf = dynamic_cast<TRiRtfReader*>(reader)) rtf->LoadPictureFiles = LoadPictureFiles;
  if (IsEmpty()) {
    Header().Title.clear();
    Header().Subject.clear();
    Header().Comment.clear();
    ResetCursor();
    reader->CurPar = CursorPar;
    PTParagraph first = nullptr;
    auto* memory = dynamic_cast<TCustomMemoryStream*>(&stream);
    const std::int64_t start = stream.Position();
    const std::int64_t size = stream.Size() - start;
    if (memory == nullptr && size <= MemoryCopyLimit) {
      TMemoryStream copy;
      copy.CopyFrom(stream, size);
      copy.SetPosition(0);
      try {
        reader->ReadDocument(&copy, first);
      } catch (...) {
        stream.SetPosition(start + copy.Position());
        throw;
      }
      stream.SetPosition(start + copy.Position());
    } else {
      reader->ReadDocument(&stream, first);
    }
    LastResult = riOK;
    if (OnParagraphsRead) {
      bool discard = false;
      auto handler = OnParagraphsRead;
      handler(this, discard, FirstPar);
    }
    Header().ComputePrintable();
    PageLoaded();
    ResetCursor();
    if (OnLoaded) {
      auto handler = OnLoaded;
      handler(this);
    }
  } else {
    reader->CurPar = nullptr;
    PTParagraph chain = nullptr;
    try {
      reader->ReadDocument(&stream, chain);
    } catch (...) {
      FreeChain(chain);
      throw;
    }
    LastResult = riOK;
    bool discard = IsProtected(CursorPar, CursorLine, CursorOffset, false);
    if (!discard && OnParagraphsRead) {
      auto handler = OnParagraphsRead;
      handler(this, discard, chain);
    }
    if (discard) {
      FreeChain(chain);
    } else {
      if (!InsertParagraphs(CursorPar, CursorLine, chain, CursorOffset)) LastResult = riNothing;
    }
  }
  ParagraphChanged(nullptr);
}

bool TRiRTFTextIo::TakesTextAt(PTParagraph par, PTLine line, int pos) {
  if (!Ready) return false;
  if (IsEmpty()) return true;
  if (par == nullptr || par->IsCell()) return false;
  const bool silent = ProtectionSilent;
  ProtectionSilent = true;
  const bool refused = IsProtected(par, line, pos, false);
  ProtectionSilent = silent;
  return !refused;
}

void TRiRTFTextIo::LoadFromFile(const std::string& fileName) {
  TFileStream in(fileName, fmOpenRead | fmShareDenyWrite);
  const TRiLoadFormat format = LoadFromStream(in);
  Header().LastFormat = static_cast<int>(format);
}

void TRiRTFTextIo::ReadData(TStream& stream) {
  Clear();
  TRiRtfReader reader;
  reader.Owner = &Header();
  reader.Engine = this;
  reader.CurAttr = CurAttr;
  reader.CurPar = CursorPar;
  reader.BaseFolder = BaseFolder;
  reader.LoadPictureFiles = LoadPictureFiles;
  PTParagraph first = nullptr;
  reader.ReadDocument(&stream, first);
  LastResult = reader.Result;
  // The four zero bytes after the document belong to the property.
  CursorOffset = 0;
  Header().ComputePrintable();
  PageLoaded();
  MarkAll();
  ParagraphChanged(nullptr);
}

void TRiRTFTextIo::DefineProperties(TFiler* filer) {
  TRiRTFText::DefineProperties(filer);
  if (filer == nullptr) return;
  filer->DefineBinaryProperty(
      "Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, !IsEmpty());
}

// ---------------------------------------------------------------------------------------------
// Copying

void TRiRTFTextIo::Assign(const TPersistent* source) {
  const auto* src = source != nullptr && source->Is<TRiRTFTextIo>() ? static_cast<const TRiRTFTextIo*>(source) : nullptr;
  if (src == nullptr) {
    TRiRTFText::Assign(source);
    return;
  }
  if (src == this) return;
  TProgressSuppressor quiet;
  Assigning = true;
  Clear();
  Header().Assign(src->Header());
  AppendParagraphs(*src, src->FirstPar, nullptr);
  Header().ComputePrintable();
  if (FixedLayoutWidthOn && FixedLayoutWidth > 0)
    Header().SetTextWidthPixels(FixedLayoutWidth);
  else
    Header().SetTextWidthPixels(Header().Layout.PrintableWidth);
  ResetCursor();
  ParagraphChanged(nullptr);
  Assigning = false;
}

void TRiRTFTextIo::AppendParagraphs(const TRiRTFTextIo& source, PTParagraph srcPar, PTLine srcLine) {
  PTParagraph dst = LastParagraph();
  bool reuse = IsEmpty() || dst->IsCell();
  if (IsEmpty()) reuse = true;
  for (PTParagraph sp = srcPar; sp != nullptr; sp = sp->Next) {
    int count = 0;
    if (srcLine != nullptr && sp == srcPar)
      count = srcLine->Length;
    else
      count = ParagraphLength(sp);
    if (!reuse) {
      NewParagraph(dst, std::min(count + 4, MaxLineCapacity));
    }
    reuse = false;
    // Paragraph properties.
    dst->FirstIndent = sp->FirstIndent; dst->LeftIndent = sp->LeftIndent; dst->RightIndent = sp->RightIndent;
    dst->SpaceBefore = sp->SpaceBefore; dst->SpaceAfter = sp->SpaceAfter; dst->LineSpacing = sp->LineSpacing;
    dst->Alignment = sp->Alignment; dst->Flags = sp->Flags; dst->SetBorderValue(sp->BorderValue());
    dst->ListByte = sp->ListByte; dst->Shading = sp->Shading; dst->ShadingPercent = sp->ShadingPercent;
    dst->Tabs = sp->Tabs; dst->CellStart = sp->CellStart; dst->CellWidth = sp->CellWidth;
    dst->CellFlags = sp->CellFlags;
    PTLine line = Get_LastLine(dst);
    for (PTLine sl = (srcLine != nullptr && sp == srcPar) ? srcLine : sp->FirstLine; sl != nullptr; sl = sl->Next) {
      for (int i = 0; i < sl->Length; ++i) {
        TAttr a = sl->HasAttrs() ? sl->Attrs[static_cast<std::size_t>(i)] : CurAttr;
        unsigned char ch = sl->Ch(i);
        if (!Assigning) {
          if ((a.Extra & fxAutomatic) && SkipAutomaticText) continue;
          if ((a.Extra & fxInsertPoint) && SkipInsertPoints) continue;
        }
        if (a.Extra & fxFootnote) {
          // The footnote comes along under an identifier of this document.
          if (const TRiFootnote* sf = source.FindFootnote(a.Tag)) {
            TRiFootnote* nf = AddFootnote(sf->Mark, sf->Number, sf->Text);
            if (nf != nullptr) {
              nf->RtfText = sf->RtfText;
              nf->SuppressNumber = sf->SuppressNumber;
              a.Tag = nf->Id;
            }
          }
        }
        if ((ch == 1 || ch == 2) && (a.Extra & fxObject)) {
          TRiObject* so = source.ObjectOf(ch, a.Tag);
          if (so != nullptr) {
            TRiObject* no = nullptr;
            if (so->Linked) {
              no = FindObjectByName(so->FileName);
              if (no == nullptr) {
                no = AddObject(nullptr, 0);
                if (no != nullptr) {
                  no->FileName = so->FileName;
                  no->Linked = true;
                }
              }
            } else {
              no = AddObject(CopyObjectGraphic(so->Graphic.get()), 0);
            }
            if (no == nullptr) continue;
            no->Width = so->Width;
            no->Height = so->Height;
            no->Sized = so->Sized;
            no->Name = so->Name;
            no->ByReference = false;
            ch = 1;
            a.Tag = no->Number;
          }
        }
        if (line->Capacity - line->Length < 4) {
          if (line->Capacity >= MaxLineCapacity - 2) {
            PTLine l = line;
            NewLine(l, 200);
            line = l;
          } else {
            SetLineCapacity(line, std::min(line->Length + 200, MaxLineCapacity));
          }
        }
        line->Buffer[line->Length] = static_cast<char>(ch);
        if (line->HasAttrs()) line->Attrs[line->Length] = a;
        ++line->Length;
        line->Buffer[line->Length] = 0;
      }
      if (srcLine != nullptr && sp == srcPar) break;
    }
    dst->Mark();
  }
}

// ---------------------------------------------------------------------------------------------
// Positions

void TRiRTFTextIo::CountPosition(PTParagraph par, PTLine line, int offset, int& absolute, int& lineNumber,
                                 int& parOffset, int& parNumber) const {
  absolute = lineNumber = parOffset = parNumber = 0;
  PTParagraph p = FirstPar;
  for (; p != nullptr && p != par; p = p->Next) {
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      absolute += l->Length;
      ++lineNumber;
    }
    ++absolute;
    ++parNumber;
  }
  if (p != nullptr) {
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      if (l == line) {
        parOffset += std::clamp(offset, 0, static_cast<int>(l->Length));
        break;
      }
      parOffset += l->Length;
      ++lineNumber;
    }
  }
  absolute += parOffset;
}

void TRiRTFTextIo::LocatePosition(int absolute, int lineNumber, int parOffset, int parNumber, PTParagraph& par,
                                  PTLine& line, int& offset) const {
  int abs = 0, lineNo = 0, parNo = 0;
  for (PTParagraph p = FirstPar; p != nullptr; p = p->Next, ++parNo) {
    int inPar = 0;
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next, ++lineNo) {
      if (absolute != 0) {
        if (abs + l->Length >= absolute) {
          par = p;
          line = l;
          offset = std::max(0, absolute - abs);
          return;
        }
      } else if (lineNumber != 0) {
        if (lineNo == lineNumber) {
          par = p;
          line = l;
          offset = 0;
          return;
        }
      } else if (parNo == parNumber) {
        if (inPar + l->Length > parOffset || l->Next == nullptr) {
          par = p;
          line = l;
          offset = std::clamp(parOffset - inPar, 0, static_cast<int>(l->Length));
          return;
        }
      }
      abs += l->Length;
      inPar += l->Length;
    }
    ++abs;
  }
  par = LastParagraph();
  line = Get_LastLine(par);
  offset = line->Length;
}

void TRiRTFTextIo::GetCursor(int& absolute, int& lineNumber, int& offset, int& parNumber) const {
  CountPosition(CursorPar, CursorLine, CursorOffset, absolute, lineNumber, offset, parNumber);
}

void TRiRTFTextIo::SetCursor(int absolute, int lineNumber, int offset, int parNumber) {
  LocatePosition(absolute, lineNumber, offset, parNumber, CursorPar, CursorLine, CursorOffset);
}

bool TRiRTFTextIo::LineHeight(PTParagraph par, PTLine line) {
  if (par == nullptr || line == nullptr) return false;
  int height = DefaultLineHeight, ascent = DefaultAscent;
  if (!PlainMode && line->HasAttrs()) {
    int best = -1;
    for (int i = 0; i < line->Length; ++i) {
      const TAttr& a = line->Attrs[static_cast<std::size_t>(i)];
      if (line->Ch(i) == ' ' || (a.Extra & fxHidden)) continue;
      if (a.Height > best) {
        best = a.Height;
        height = a.Height;
        ascent = a.Ascent;
      }
    }
    if (best < 0) {
      if (line->Length == 0 && par->IsCell()) {
        height = ascent = EmptyCellLineHeight < 0 ? 16 : EmptyCellLineHeight;
      } else {
        height = DefaultLineHeight;
        ascent = DefaultAscent;
      }
    }
    if (height < 1) {
      height = DefaultLineHeight;
      ascent = DefaultAscent;
    }
  }
  const int resY = Header().ResolutionY > 0 ? Header().ResolutionY : 96;
  const int s = MulDivRound(par->LineSpacing, resY, TwipsPerInch);
  if (s > 0 && s > height) {
    ascent += (s - height) / 2;
    height = s;
  } else if (s < 0) {
    ascent -= (height - (-s)) / 2;
    height = -s;
  }
  height = std::max(0, height);
  ascent = std::max(0, ascent);
  if (line == par->FirstLine) {
    const int sb = MulDivRound(par->SpaceBefore, resY, TwipsPerInch);
    height += sb;
    ascent += sb;
  }
  if (line->Next == nullptr) height += MulDivRound(par->SpaceAfter, resY, TwipsPerInch);
  height = std::clamp(height, 0, 65535);
  ascent = std::clamp(ascent, 0, 65535);
  const bool changed = line->Height != height;
  line->Height = static_cast<std::uint16_t>(height);
  line->Ascent = static_cast<std::uint16_t>(ascent);
  return changed;
}

int TRiRTFTextIo::PagePass() {
  if (PagePassOff) return DocumentHeight;
  ForgetPendingPages();
  return RunPagePass(FirstPar, 0, 0);
}

int TRiRTFTextIo::PagePassFrom(PTParagraph from, std::int64_t stopBelow) {
  if (PagePassOff) return DocumentHeight;
  if (from == nullptr || FirstPar == nullptr) return PagePass();
  // The tops below the paragraph must be those of the last pass, with the heights before the
  // edit; the pending part has none, so an edit there (or one too far from it to tell) takes
  // the whole pass.
  if (PendingSide(from) != 1) return PagePass();
  // The table flags of a paragraph depend on its neighbours, and a table row is laid out as a
  // whole: start one paragraph earlier, and before the row when that lies in a table.
  PTParagraph start = from->Prev != nullptr ? from->Prev : from;
  while (start->Prev != nullptr && (start->IsCell() || start->Prev->IsCell())) start = start->Prev;
  if (start->FirstLine == nullptr) return PagePass();
  if (start == FirstPar) return RunPagePass(FirstPar, 0, 0, from, stopBelow);
  // The page in effect where the start paragraph begins: the last page start above it, or the
  // last paragraph with a page break before it.  That lies at most one page back.
  std::int64_t pageTop = 0;
  bool found = false;
  for (PTParagraph q = start->Prev; q != nullptr && !found; q = q->Prev) {
    PTLine last = q->FirstLine;
    while (last != nullptr && last->Next != nullptr) last = last->Next;
    for (PTLine l = last; l != nullptr; l = l->Prev)
      if (l->Flags & lfPageStart) {
        pageTop = l->Top;
        found = true;
        break;
      }
    if (!found && (q->Flags & pfPageBreak) && q->FirstLine != nullptr) {
      pageTop = q->FirstLine->Top;
      found = true;
    }
  }
  return RunPagePass(start, start->FirstLine->Top, pageTop, from, stopBelow);
}

int TRiRTFTextIo::PendingSide(PTParagraph par) const {
  if (pendingPar_ == nullptr) return 1;
  if (par == nullptr) return -1;
  if (par == pendingPar_) return 0;
  if (par == knownCurrent_) return 1;
  // The pass stops a few pages below what was needed, so the pending part usually begins close
  // to the paragraph asked about: looking this far both ways settles it.
  constexpr int kLook = 2048;
  PTParagraph ahead = par->Next, back = par->Prev;
  for (int i = 0; i < kLook && (ahead != nullptr || back != nullptr); ++i) {
    if (ahead == pendingPar_) {
      knownCurrent_ = par;
      return 1;
    }
    if (back == pendingPar_) return 0;
    if (ahead != nullptr) ahead = ahead->Next;
    if (back != nullptr) back = back->Prev;
  }
  // The document's start reached going back without meeting it: it lies ahead; its end reached
  // going ahead: it lies behind.
  if (back == nullptr) {
    knownCurrent_ = par;
    return 1;
  }
  if (ahead == nullptr) return 0;
  return -1;
}

bool TRiRTFTextIo::PagesCurrentAt(PTParagraph par) const { return PendingSide(par) == 1; }

void TRiRTFTextIo::ContinuePages(std::int64_t stopBelow, PTParagraph through) {
  if (pendingPar_ == nullptr || PagePassOff) return;
  PTParagraph start = pendingPar_;
  RunPagePass(start, pendingY_, pendingPageTop_, nullptr, stopBelow, through);
}

void TRiRTFTextIo::CompletePages() { ContinuePages(INT64_MAX, nullptr); }

void TRiRTFTextIo::CompletePagesToY(std::int64_t y) {
  if (pendingPar_ != nullptr && pendingY_ <= y) ContinuePages(y, nullptr);
}

void TRiRTFTextIo::CompletePagesThrough(PTParagraph par) {
  if (par == nullptr) return;
  const int side = PendingSide(par);
  if (side == 1) return;
  // In the pending part: on until just past the paragraph; too far from it to tell: the rest.
  if (side == 0)
    ContinuePages(INT64_MIN, par);
  else
    CompletePages();
}

int TRiRTFTextIo::RunPagePass(PTParagraph start, std::int64_t y, std::int64_t pageTop, PTParagraph changed,
                              std::int64_t stopBelow, PTParagraph through) {
  const TTextHeader& h = Header();
  const int resY = h.ResolutionY > 0 ? h.ResolutionY : 96;
  std::int64_t pageHeight =
      static_cast<std::int64_t>(h.Layout.PageHeight - h.Layout.TopMargin - h.Layout.BottomMargin) * resY / TwipsPerInch;
  // While printing, the factor makes the printed pages hold the share of the text the screen
  // pages hold; a factor above 1 (printer lines taller than the screen's) would run the text
  // past the bottom margin, so the body of the page stays the limit.
  if (PageHeightFactorOn)
    pageHeight = std::min(pageHeight, static_cast<std::int64_t>(std::llround(static_cast<double>(pageHeight) * PageHeightFactor)));
  if (pageHeight < 1) pageHeight = 1;
  std::int64_t rowHeight = 0;
  PTParagraph rowStart = nullptr;
  auto parHeight = [](PTParagraph p) {
    std::int64_t s = 0;
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) s += l->Height;
    return s;
  };
  // What the last pass left: the document's height, the paragraph it stopped at (everything
  // from there on is pending and holds no tops to compare with), the pass's position there and
  // the height of the pending part.
  const std::int64_t oldHeight = DocumentHeight;
  const PTParagraph oldPending = pendingPar_;
  const std::int64_t oldTail = pendingTail_;
  bool inPending = start == oldPending;
  std::int64_t pendingStartY = inPending ? y : 0;
  // Set once the pass is past the changed paragraph: from there on the lines hold the last
  // pass's tops and page starts.  The pass may stop past it (and past `through`).
  bool pastChanged = false;
  bool pastThrough = through == nullptr;
  auto finish = [this](std::int64_t height) {
    DocumentHeight = static_cast<int>(std::min<std::int64_t>(height, INT32_MAX));
    return DocumentHeight;
  };
  for (PTParagraph p = start; p != nullptr; p = p->Next) {
    if (changed != nullptr && p->Prev == changed) pastChanged = true;
    if (!inPending && p == oldPending) {
      inPending = true;
      pendingStartY = y;
    }
    // Stop short of the end: at a paragraph outside a table, once the pass is below what was
    // asked for.  Right after the edited paragraph there may be one made by the same edit (a
    // split), whose lines hold no tops yet: the pass stops one later at the earliest.
    if (y > stopBelow && (changed == nullptr || (pastChanged && p->Prev != changed)) && pastThrough && p != start &&
        rowStart == nullptr && !p->IsCell() && p->FirstLine != nullptr) {
      // The height from here to the end: the pending part's as it was, less what the pass laid
      // out of it; or, before the old pending part, the old height less the old top here.
      const std::int64_t tail =
          inPending ? oldTail - (y - pendingStartY) : oldHeight - static_cast<std::int64_t>(p->FirstLine->Top);
      pendingPar_ = p;
      knownCurrent_ = nullptr;
      pendingY_ = y;
      pendingPageTop_ = pageTop;
      pendingTail_ = tail;
      return finish(y + tail);
    }
    const bool mayEnd = pastChanged && !inPending && rowStart == nullptr && !p->IsCell() && !(p->Flags & pfKeep);
    if (p->Flags & pfPageBreak) pageTop = y;
    // Repair the table flags.
    const std::uint8_t before = p->Flags;
    if ((p->Flags & pfRowGoesOn) && (p->Next == nullptr || !(p->Next->Flags & pfLastCell)))
      p->Flags &= static_cast<std::uint8_t>(~(pfRowGoesOn | pfTableCell));
    if ((p->Flags & pfLastCell) && (p->Prev == nullptr || !(p->Prev->Flags & pfRowGoesOn)))
      p->Flags &= static_cast<std::uint8_t>(~(pfLastCell | pfTableCell));
    if ((p->Flags & (pfLastCell | pfRowGoesOn)) && !(p->Flags & pfTableCell))
      p->Flags &= static_cast<std::uint8_t>(~(pfLastCell | pfRowGoesOn));
    if ((p->Flags & (pfLastCell | pfRowGoesOn | pfTableCell)) == pfTableCell)
      p->Flags &= static_cast<std::uint8_t>(~pfTableCell);
    if (p->Flags != before) p->SpaceAfter = 0;
    if ((p->Flags & pfRowGoesOn) && !(p->Flags & pfLastCell)) {
      rowHeight = 0;
      rowStart = p;
    }
    if (p->IsCell()) p->SpaceAfter = 0;
    std::int64_t ly = y;
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      const bool wasPageStartHere = (l->Flags & lfPageStart) && l->Top == ly;
      l->Top = static_cast<std::int32_t>(std::min<std::int64_t>(ly, INT32_MAX));
      l->Flags &= ~lfPageStart;
      // A line whose bottom would pass the body goes to the next page; a line already at the top
      // of its page stays there even when it is taller than the page.
      if (!p->IsCell() && ly > pageTop && ly + l->Height - pageTop > pageHeight) {
        PTLine first = p->FirstLine;
        if ((p->Flags & pfKeep) && first != l && !(first->Flags & lfPageStart) && first->Top > pageTop) {
          first->Flags |= lfPageStart;
          pageTop = first->Top;
        } else {
          l->Flags |= lfPageStart;
          pageTop = ly;
          // The last pass started a page at this very place: the pages from here on are what
          // they were, and so is the document's height (and what is pending stays pending).
          if (mayEnd && wasPageStartHere) return DocumentHeight;
        }
      }
      if (p->IsCell() && l->Next == nullptr) LineHeight(p, l);
      ly += l->Height;
    }
    if (through != nullptr && p == through) pastThrough = true;
    const std::int64_t ph = parHeight(p);
    if (!p->IsCell()) {
      y += ph;
    } else if (p->Flags & pfRowGoesOn) {
      rowHeight = std::max(rowHeight, ph);
      p->SpaceAfter = static_cast<std::int32_t>(std::min<std::int64_t>(ph, INT32_MAX));
    } else {
      if (p->SpaceBefore > 0) rowHeight += MulDivRound(p->SpaceBefore, resY, TwipsPerInch);
      rowHeight = std::max(rowHeight, ph);
      p->SpaceAfter = static_cast<std::int32_t>(std::min<std::int64_t>(ph, INT32_MAX));
      if (rowStart == nullptr) rowStart = p;
      PTLine rowFirst = rowStart->FirstLine;
      if (rowFirst->Top + rowHeight - pageTop > pageHeight) {
        rowFirst->Flags |= lfPageStart;
        pageTop = rowFirst->Top;
      }
      y += rowHeight;
      for (PTParagraph c = rowStart; c != nullptr; c = c->Next) {
        const std::int64_t own = c->SpaceAfter;
        const std::int64_t diff = std::max<std::int64_t>(0, rowHeight - own);
        c->SpaceAfter = static_cast<std::int32_t>(std::min<std::int64_t>(diff * TwipsPerInch / resY, INT32_MAX));
        LineHeight(c, Get_LastLine(c));
        if (c == p) break;
      }
      rowStart = nullptr;
      rowHeight = 0;
    }
  }
  ForgetPendingPages();
  return finish(y);
}

// ---------------------------------------------------------------------------------------------
// List numbers

void UpdateListNumbers(TRiRTFTextIo& e) {
  if (e.NumberingBusy) return;
  int cursorOffset = 0;
  if (e.CursorPar != nullptr) {
    for (PTLine l = e.CursorPar->FirstLine; l != nullptr && l != e.CursorLine; l = l->Next) cursorOffset += l->Length;
    cursorOffset += e.CursorOffset;
  }
  int counters[8] = {};
  int level = 0;
  e.NumberingBusy = true;
  const int bulletFontFound = e.Header().FindOrAddFont("WingDings");
  const std::uint8_t bulletFont = static_cast<std::uint8_t>(bulletFontFound >= MaxFonts ? 0 : bulletFontFound);
  int lastFont = -1;
  // The generated characters at the start of a paragraph.
  auto numbersOf = [](PTParagraph p) {
    std::string text;
    bool stop = false;
    for (PTLine l = p->FirstLine; l != nullptr && !stop; l = l->Next) {
      if (!l->HasAttrs()) break;
      for (int i = 0; i < l->Length; ++i) {
        if (!(l->Attrs[static_cast<std::size_t>(i)].Extra & fxListNumber)) {
          stop = true;
          break;
        }
        text += static_cast<char>(l->Ch(i));
      }
    }
    return text;
  };
  // Paragraphs whose numbers stay as they are keep their layout.
  auto removeNumbers = [&e, &numbersOf](PTParagraph p) {
    const int n = static_cast<int>(numbersOf(p).size());
    if (n > 0) {
      e.DeleteChars(p, 0, n);
      p->Mark();
    }
    return n;
  };
  // Generated characters behind the start of a paragraph (left where an edit joined or cut
  // through items) never stay in its text.  Answers how many stood before `limit`.
  auto removeStray = [&e](PTParagraph p, int limit) {
    const int lead = TRiRTFText::LeadingListNumbers(p);
    std::vector<int> stray;
    int at = 0;
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      for (int i = 0; i < l->Length; ++i, ++at)
        if (at >= lead && l->HasAttrs() && (l->Attrs[static_cast<std::size_t>(i)].Extra & fxListNumber))
          stray.push_back(at);
    }
    int before = 0;
    for (auto it = stray.rbegin(); it != stray.rend(); ++it) {
      e.DeleteChars(p, *it, 1);
      if (*it < limit) ++before;
    }
    if (!stray.empty()) p->Mark();
    return before;
  };
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) {
    int removed = removeStray(p, p == e.CursorPar ? cursorOffset : 0), inserted = 0;
    if (p == e.CursorPar) cursorOffset -= removed;
    removed = 0;
    if (p->ListByte == 0) {
      if (level > 0) {
        std::fill(std::begin(counters), std::end(counters), 0);
        level = 0;
      }
      removed = removeNumbers(p);
    } else {
      const int style = p->ListByte >> 4;
      const int n = p->ListByte & 7;
      while (n > level) counters[++level] = 0;
      while (n < level) counters[level--] = 0;
      ++counters[n];
      const std::string wanted = style == 1 ? std::string("l\t") : style == 8 ? std::string()
                                                                  : ListNumberText(style, counters[n]) + "\t";
      if (numbersOf(p) == wanted) {
        if (style != 1 && style != 8 && p->FirstLine->HasAttrs() && p->FirstLine->Length > 0) {
          const TAttr& first = p->FirstLine->Attrs[0];
          if (first.Font != bulletFont) lastFont = first.Font;
        }
        continue;
      }
      removed = removeNumbers(p);
      TAttr a = e.CurAttr;
      PTLine first = p->FirstLine;
      if (first->HasAttrs() && first->Length > 0) a = first->Attrs[0];
      // The number takes the first character's look only: were that a picture, footnote mark,
      // insertion point or automatic text, the number would be written and shown as one.
      a.Extra = static_cast<std::uint8_t>((a.Extra & ~(fxObject | fxFootnote | fxInsertPoint | fxAutomatic | fxRawRtf)) |
                                          fxListNumber);
      a.Tag = 0;
      if (style == 1) {
        TAttr bullet = a;
        bullet.Font = bulletFont;
        TAttr tab = a;
        tab.Font = 0;
        e.ReplaceText(p, first, &bullet, 1, "l", 0, 0);
        e.ReplaceText(p, first, &tab, 1, "\t", 0, 1);
        inserted = 2;
      } else if (style != 8) {
        if (a.Font == bulletFont) {
          if (lastFont >= 0) a.Font = static_cast<std::uint8_t>(lastFont);
        } else {
          lastFont = a.Font;
        }
        const std::string text = ListNumberText(style, counters[n]) + "\t";
        e.ReplaceText(p, first, &a, static_cast<int>(text.size()), text.data(), 0, 0);
        inserted = static_cast<int>(text.size());
      }
      p->Mark();
    }
    if (p == e.CursorPar) cursorOffset = cursorOffset - removed + inserted;
  }
  e.NumberingBusy = false;
  e.SecondListFlag = false;
  if (e.CursorPar != nullptr) {
    PTLine l = e.CursorPar->FirstLine;
    while (l->Next != nullptr && l->Length < cursorOffset) {
      cursorOffset -= l->Length;
      l = l->Next;
    }
    e.CursorLine = l;
    e.CursorOffset = std::clamp(cursorOffset, 0, static_cast<int>(l->Length));
  }
}

}  // namespace tw::richtext
