#include "richtext/document/document.h"

#include <algorithm>
#include <cstring>

#include "platform/gfx/metafile.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/win1252.h"

namespace tw::richtext {

namespace {

// The paragraph properties (not the lines and links) of `from` go to `to`.
void TakeParagraphProperties(TParagraph& to, const TParagraph& from) {
  to.FirstIndent = from.FirstIndent; to.LeftIndent = from.LeftIndent; to.RightIndent = from.RightIndent;
  to.SpaceBefore = from.SpaceBefore; to.SpaceAfter = from.SpaceAfter; to.LineSpacing = from.LineSpacing;
  to.Alignment = from.Alignment; to.Flags = from.Flags; to.SetBorderValue(from.BorderValue());
  to.ListByte = from.ListByte; to.Shading = from.Shading; to.ShadingPercent = from.ShadingPercent;
  to.Tabs = from.Tabs; to.CellStart = from.CellStart; to.CellWidth = from.CellWidth;
  to.CellFlags = from.CellFlags;
}

}  // namespace

std::string ListNumberText(int style, int value) {
  switch (style) {
    case 1:
      return "l";
    case 2:
    case 3: {
      int v = value % 702;
      if (v <= 0) v += 702;
      std::string s;
      if (v <= 26) {
        s += static_cast<char>('a' + v - 1);
      } else {
        v -= 27;
        s += static_cast<char>('a' + v / 26);
        s += static_cast<char>('a' + v % 26);
      }
      s += ')';
      return style == 2 ? AnsiUpperCase(s) : s;
    }
    case 4:
    case 5: {
      int v = value % 100;
      if (v < 0) v += 100;
      static const char* const units[10] = {"", "i", "ii", "iii", "iv", "v", "vi", "vii", "viii", "ix"};
      std::string s;
      int tens = v / 10;
      if (tens >= 5) {
        s += 'l';
        tens -= 5;
      }
      s.append(static_cast<std::size_t>(tens), 'x');
      s += units[v % 10];
      s += '.';
      return style == 4 ? AnsiUpperCase(s) : s;
    }
    case 6: {
      int v = value % 100000;
      if (v < 0) v = -v;
      return std::to_string(v) + ".";
    }
    default:
      return {};
  }
}

TRiRTFText::TRiRTFText() : header_(std::make_unique<TTextHeader>()) {
  InsertPointAttr.SetTextColor(AttrColor(1));
  LinkAttr.SetUnderline(TThreeState::tsTRUE);
  LinkAttr.SetUnderlineColor(AttrColor(3));
  auto change = [this](std::uint32_t id, bool) { MarkParagraphs(static_cast<std::uint16_t>(id)); };
  InsertPointAttr.OnChange = change;
  AutomaticAttr.OnChange = change;
  LinkAttr.OnChange = change;
  ProtectedAttr.OnChange = change;
  header_->Layout.Inch = true;
  header_->Reset();
  header_->SetFontName(0, "Arial");
  header_->AttributesInUse = true;
  header_->OnTabTableFull = [this] { OnTabTableFull(); };
  CurAttr.Size = 10;
  for (auto& w : WidthTable) w = 16;
  PTParagraph p = nullptr;
  NewParagraph(p, 40);
  FirstPar = p;
  Ready = true;
}

TRiRTFText::~TRiRTFText() {
  FreeChain(FirstPar);
  FirstPar = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Records

void TRiRTFText::FillCaches(TAttr& a, unsigned char ch) const {
  a.Width = static_cast<std::uint16_t>(WidthTable[ch == 9 ? ' ' : ch]);
  a.Height = static_cast<std::uint16_t>(DefaultLineHeight);
  a.Ascent = static_cast<std::uint16_t>(DefaultAscent);
}

void TRiRTFText::NewParagraph(PTParagraph& par, int capacity) {
  auto* p = new (std::nothrow) TParagraph;
  if (p == nullptr) throw Exception("Out of Memory in\tNewParagraph");
  PTParagraph from = par;
  if (from != nullptr) {
    p->FirstIndent = from->FirstIndent;
    p->LeftIndent = from->LeftIndent;
    p->RightIndent = from->RightIndent;
    p->SpaceBefore = from->SpaceBefore;
    p->SpaceAfter = from->SpaceAfter;
    p->LineSpacing = from->LineSpacing;
    p->Alignment = from->Alignment;
    p->Shading = from->Shading;
    p->ShadingPercent = from->ShadingPercent;
    p->Flags = from->Flags;
    if (!from->IsCell()) p->Tabs = from->Tabs;
    if (!(from->BorderFlags & bfBlockEnd)) p->SetBorderValue(from->BorderValue());
  }
  PTLine line = nullptr;
  try {
    NewLine(line, capacity);
  } catch (...) {
    delete p;
    throw;
  }
  p->FirstLine = line;
  if (from != nullptr) {
    p->Next = from->Next;
    p->Prev = from;
    if (from->Next != nullptr) from->Next->Prev = p;
    from->Next = p;
  }
  p->Mark();
  par = p;
}

void TRiRTFText::NewLine(PTLine& line, int capacity) {
  if (capacity < 8) capacity = 8;
  if (capacity > MaxLineCapacity) throw Exception("Line longer then\t10000 character!");
  if (capacity & 1) ++capacity;
  auto* l = new TLine;
  l->Capacity = static_cast<std::uint16_t>(capacity);
  l->Buffer.assign(static_cast<std::size_t>(capacity), 0);
  if (header_->AttributesInUse) {
    l->Attrs.assign(static_cast<std::size_t>(capacity), TAttr{});
    l->Attrs[0] = CurAttr;
  }
  l->Height = static_cast<std::uint16_t>(NewLineHeight);
  l->Ascent = 0;
  if (line != nullptr) {
    l->Next = line->Next;
    l->Prev = line;
    if (line->Next != nullptr) line->Next->Prev = l;
    line->Next = l;
  }
  line = l;
}

bool TRiRTFText::SetLineCapacity(PTLine line, int capacity) {
  if (line == nullptr) return false;
  if (capacity > MaxLineCapacity) throw Exception("Line longer then\t10000 character!");
  if (capacity < 8) capacity = 8;
  if (capacity & 1) ++capacity;
  line->Buffer.resize(static_cast<std::size_t>(capacity), 0);
  if (line->HasAttrs() || header_->AttributesInUse) {
    TAttr fill = line->HasAttrs() ? line->Attrs[std::min<std::size_t>(line->Length, line->Attrs.size() - 1)] : CurAttr;
    line->Attrs.resize(static_cast<std::size_t>(capacity), fill);
  }
  line->Capacity = static_cast<std::uint16_t>(capacity);
  if (line->Length >= capacity) line->Length = static_cast<std::uint16_t>(capacity - 1);
  line->Buffer[line->Length] = 0;
  return true;
}

void TRiRTFText::FreeParagraphRecord(PTParagraph par) {
  LinesMoved();
  PTLine l = par->FirstLine;
  while (l != nullptr) {
    PTLine n = l->Next;
    delete l;
    l = n;
  }
  delete par;
}

void TRiRTFText::DeleteLine(PTParagraph par, PTLine line) {
  if (par == nullptr || line == nullptr) return;
  LinesMoved();
  if (line == par->FirstLine) {
    if (line->Next == nullptr && par->Prev == nullptr && par->Next == nullptr) {
      // The only line of the only paragraph is emptied and kept.
      line->Length = 0;
      line->Buffer[0] = 0;
      par->Mark();
      return;
    }
    PTLine rest = line->Next;
    if (rest != nullptr) rest->Prev = nullptr;
    delete line;
    par->FirstLine = rest;
    if (rest == nullptr) {
      // The paragraph is gone.
      if (par->Prev != nullptr) par->Prev->Next = par->Next;
      if (par->Next != nullptr) par->Next->Prev = par->Prev;
      if (par == FirstPar) FirstPar = par->Next;
      delete par;
      return;
    }
    if (par->Prev != nullptr) {
      // The remaining lines join the previous paragraph.
      PTParagraph prev = par->Prev;
      PTLine last = Get_LastLine(prev);
      last->Next = rest;
      rest->Prev = last;
      prev->Next = par->Next;
      if (par->Next != nullptr) par->Next->Prev = prev;
      par->FirstLine = nullptr;
      delete par;
      prev->Mark();
      return;
    }
    par->Mark();
    return;
  }
  if (line->Prev != nullptr) line->Prev->Next = line->Next;
  if (line->Next != nullptr) line->Next->Prev = line->Prev;
  delete line;
  par->Mark();
}

void TRiRTFText::DeleteParagraph(PTParagraph& par) {
  LinesMoved();
  if (par == nullptr) return;
  PTParagraph next = par->Next;
  if (par->Prev != nullptr) par->Prev->Next = next;
  if (next != nullptr) next->Prev = par->Prev;
  if (par == FirstPar) FirstPar = next;
  FreeParagraphRecord(par);
  par = next;
}

void TRiRTFText::FreeChain(PTParagraph first) {
  while (first != nullptr) {
    PTParagraph n = first->Next;
    FreeParagraphRecord(first);
    first = n;
  }
}

TAttr* TRiRTFText::AttribPtr(PTLine line, int index) {
  if (line == nullptr || !line->HasAttrs() || index < 0 || index >= line->Capacity)
    throw Exception("Error AttribPtr()");
  return &line->Attrs[static_cast<std::size_t>(index)];
}

PTLine TRiRTFText::Get_LastLine(PTParagraph par) {
  if (par == nullptr || par->FirstLine == nullptr) throw Exception("l=nil in Get_LastLine");
  PTLine l = par->FirstLine;
  while (l->Next != nullptr) l = l->Next;
  return l;
}

PTParagraph TRiRTFText::LastParagraph() const {
  PTParagraph p = FirstPar;
  while (p != nullptr && p->Next != nullptr) p = p->Next;
  return p;
}

int TRiRTFText::ParagraphNumber(PTParagraph par) const {
  int n = 1;
  for (PTParagraph p = FirstPar; p != nullptr; p = p->Next, ++n)
    if (p == par) return n;
  return 0;
}

PTParagraph TRiRTFText::ParagraphByIndex(int index) const {
  if (index < 0) return nullptr;
  PTParagraph p = FirstPar;
  while (p != nullptr && index-- > 0) p = p->Next;
  return p;
}

int TRiRTFText::ParagraphCount() const {
  int n = 0;
  for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) ++n;
  return n;
}

std::string TRiRTFText::ParagraphText(int index) const {
  std::string s;
  PTParagraph p = ParagraphByIndex(index);
  if (p == nullptr) return s;
  for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) s.append(l->Text(), l->Length);
  return s;
}

int TRiRTFText::ParagraphLength(PTParagraph par) {
  int n = 0;
  if (par != nullptr)
    for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) n += l->Length;
  return n;
}

bool TRiRTFText::IsEmpty() const {
  return FirstPar == nullptr ||
         (FirstPar->Next == nullptr && FirstPar->FirstLine != nullptr && FirstPar->FirstLine->Next == nullptr &&
          FirstPar->FirstLine->Length == 0);
}

// ---------------------------------------------------------------------------------------------
// Virtual operations of this level

void TRiRTFText::SetCharAttr(PTLine line, int index, std::uint16_t, const TAttr& attr) {
  if (line == nullptr || !line->HasAttrs() || index < 0 || index >= line->Capacity) return;
  TAttr& a = line->Attrs[static_cast<std::size_t>(index)];
  a = attr;
  FillCaches(a, index < line->Length ? line->Ch(index) : ' ');
}

void TRiRTFText::SpecialRun(PTParagraph par, PTLine line, bool wholePar, int pos) {
  if (!OnSpecialRun || par == nullptr) return;
  std::string text;
  int tag = 0;
  if (wholePar) {
    if (par->FirstLine != nullptr) text = par->FirstLine->Str();
  } else {
    if (line == nullptr || !line->HasAttrs() || line->Length == 0) return;
    pos = std::clamp(pos, 0, line->Length - 1);
    auto sameExtra = [&](int a, int b) {
      const TAttr& x = line->Attrs[static_cast<std::size_t>(a)];
      const TAttr& y = line->Attrs[static_cast<std::size_t>(b)];
      if (x.Extra == y.Extra && x.Attr10 == y.Attr10 && x.Attr11 == y.Attr11) return true;
      // An insertion point directly followed by automatic text counts as one run.
      return (x.Extra & fxInsertPoint) && (y.Extra & fxAutomatic);
    };
    int start = pos;
    while (start > 0 && sameExtra(start - 1, start)) --start;
    int end = start;
    while (end < line->Length && end - start < 254 && (end == start || sameExtra(end - 1, end))) ++end;
    text.assign(line->Text() + start, static_cast<std::size_t>(end - start));
    const TAttr& first = line->Attrs[static_cast<std::size_t>(start)];
    if (first.Extra & (fxInsertPoint | fxAutomatic)) tag = first.Tag;
  }
  auto handler = OnSpecialRun;
  handler(this, text, tag);
}

void TRiRTFText::SetAttr(const TAttr& attr, std::uint16_t) { CurAttr = attr; }

bool TRiRTFText::ParagraphChanged(PTParagraph) { return false; }

void TRiRTFText::Clear() {
  if (Busy) return;
  FreeChain(FirstPar);
  FirstPar = nullptr;
  std::string font0 = header_->FontName(CurAttr.Font);
  if (font0.empty()) font0 = header_->FontName(0);
  if (font0.empty()) font0 = "Arial";
  header_->SetFontName(0, font0);
  CurAttr.Font = 0;
  if (CurAttr.Size == 0) CurAttr.Size = 10;
  // The page size and margins survive emptying the document: the owner applies its page setup
  // once, and a view that is cleared and refilled must still print with it.
  const TRiLayout page = header_->Layout;
  header_->Reset();
  header_->Layout.PageWidth = page.PageWidth;
  header_->Layout.PageHeight = page.PageHeight;
  header_->Layout.PageFlag = page.PageFlag;
  header_->Layout.LeftMargin = page.LeftMargin;
  header_->Layout.RightMargin = page.RightMargin;
  header_->Layout.TopMargin = page.TopMargin;
  header_->Layout.BottomMargin = page.BottomMargin;
  header_->Layout.Landscape = page.Landscape;
  header_->ComputePrintable();
  header_->SetTextWidthTwips(page.PageWidth - page.LeftMargin - page.RightMargin);
  header_->Title.clear();
  header_->Subject.clear();
  header_->Comment.clear();
  header_->ClearTabs();
  ClearObjectMarks();
  FreeUnmarkedObjects();
  FreeFootnotes();
  header_->AttributesInUse = !PlainMode;
  PTParagraph p = nullptr;
  NewParagraph(p, 100);
  FirstPar = p;
  p->Mark();
  ParagraphChanged(p);
}

void TRiRTFText::ReplaceParagraphText(int number, const std::string& text, const TAttr* attr) {
  PTParagraph p = ParagraphByIndex(number);
  if (p == nullptr) return;
  const TAttr a = attr != nullptr ? *attr : CurAttr;
  if (p->FirstLine->HasAttrs()) SetCharAttr(p->FirstLine, 0, EditorAttrMask, a);
  SetParagraphText(p, text, a);
  p->Mark();
  ParagraphChanged(p);
}

void TRiRTFText::SetParagraphText(PTParagraph p, const std::string& text, const TAttr& a) {
  // Only the first line stays; a text longer than one line holds goes on in further lines of
  // the paragraph, which the layout breaks again as it needs.
  PTLine first = p->FirstLine;
  if (first->Next != nullptr) LinesMoved();
  while (first->Next != nullptr) {
    PTLine n = first->Next;
    first->Next = n->Next;
    if (n->Next != nullptr) n->Next->Prev = first;
    delete n;
  }
  const int total = static_cast<int>(text.size());
  int done = std::min(total, ParagraphChunk);
  ReplaceText(p, first, &a, done, text.data(), first->Length, 0);
  PTLine line = first;
  while (done < total) {
    const int n = std::min(total - done, ParagraphChunk);
    NewLine(line, n + 4);
    ReplaceText(p, line, &a, n, text.data() + done, 0, 0);
    done += n;
  }
}

int TRiRTFText::InsertString(PTParagraph par, PTLine line, const std::string& text, int replaceLength, int pos) {
  return ReplaceText(par, line, nullptr, static_cast<int>(text.size()), text.data(), replaceLength, pos);
}

// ---------------------------------------------------------------------------------------------
// Primitive edits

int TRiRTFText::ReplaceText(PTParagraph par, PTLine line, const TAttr* attr, int newLength, const char* newText,
                            int oldLength, int pos) {
  if (line == nullptr) return 0;
  if (newLength < 0) newLength = 0;
  pos = std::clamp(pos, 0, static_cast<int>(line->Length));
  oldLength = std::clamp(oldLength, 0, line->Length - pos);
  if (par != nullptr) par->Mark();
  if (newLength == 0 && pos + oldLength == line->Length) {
    line->Length = static_cast<std::uint16_t>(pos);
    line->Buffer[static_cast<std::size_t>(pos)] = 0;
    return 0;
  }
  TAttr a{};
  const bool attrs = line->HasAttrs();
  if (attrs) a = attr != nullptr ? *attr : line->Attrs[static_cast<std::size_t>(pos)];
  const int growth = newLength - oldLength;
  const int newLen = line->Length + growth;
  if (newLen + 1 > line->Capacity) SetLineCapacity(line, line->Length + growth + 6);
  char* t = line->Text();
  const int tail = line->Length - pos - oldLength;
  std::memmove(t + pos + newLength, t + pos + oldLength, static_cast<std::size_t>(tail));
  if (newLength > 0) std::memcpy(t + pos, newText, static_cast<std::size_t>(newLength));
  if (attrs) {
    TAttr* at = line->Attrs.data();
    std::memmove(at + pos + newLength, at + pos + oldLength, static_cast<std::size_t>(tail) * sizeof(TAttr));
    for (int i = 0; i < newLength; ++i) {
      at[pos + i] = a;
      FillCaches(at[pos + i], static_cast<unsigned char>(newText[i]));
    }
  }
  line->Length = static_cast<std::uint16_t>(newLen);
  t[newLen] = 0;
  return growth;
}

bool TRiRTFText::IsProtected(PTParagraph par, PTLine line, int pos, bool overwrite) {
  if (ProtectionOff || line == nullptr || par == nullptr) return false;
  if (ProtectionSuspended) return false;
  if ((par->Flags & pfProtected) && Protection.Contains(TProtectProp::ppParProtected)) {
    SpecialRun(par, line, true, 0);
    return true;
  }
  if (!line->HasAttrs() || line->Length == 0) return false;
  pos = std::clamp(pos, 0, line->Length - 1);
  const TAttr& a = line->Attrs[static_cast<std::size_t>(pos)];
  bool prot = false;
  if (Protection.Contains(TProtectProp::ppProtected) && (a.Extra & fxProtected)) prot = true;
  if (overwrite && Protection.Contains(TProtectProp::ppIsInsertpoint) && (a.Extra & fxInsertPoint)) prot = true;
  if (Protection.Contains(TProtectProp::ppAutomatic) && (a.Extra & fxAutomatic)) prot = true;
  if (Protection.Contains(TProtectProp::ppHidden) && (a.Extra & fxHidden)) prot = true;
  if (Protection.Contains(TProtectProp::ppIsInvisible) && a.Width == 0) prot = true;
  if (prot && !ProtectionSilent) SpecialRun(par, line, false, pos);
  return prot;
}

bool TRiRTFText::ParagraphProtected(PTParagraph par) const {
  return par != nullptr && !ProtectionOff && !ProtectionSuspended && (par->Flags & pfProtected) &&
         Protection.Contains(TProtectProp::ppParProtected);
}

bool TRiRTFText::SplitRefused(PTParagraph par, PTLine line, int pos) {
  if (par == nullptr || line == nullptr) return false;
  // A protected paragraph refuses the split at any place, its end included; protected text only
  // inside the line (a split after it leaves it whole).
  return IsProtected(par, line, pos, false) && (ParagraphProtected(par) || pos < line->Length);
}

bool TRiRTFText::FitsJoined(PTLine line, int count) {
  return line->Length + count + 1 <= line->Capacity || line->Length + count + 30 <= MaxLineCapacity;
}

bool TRiRTFText::InsertChar(PTParagraph par, PTLine line, char ch, int pos) {
  if (par == nullptr || line == nullptr) return false;
  if (IsProtected(par, line, pos, !InsertMode)) return false;
  if (par->IsCell() && (par->CellFlags >> 4) == 15) {
    FullCellRefused();
    return false;
  }
  if (line->Capacity - line->Length < 4) SetLineCapacity(line, line->Length + 10);
  pos = std::clamp(pos, 0, static_cast<int>(line->Length));
  char* t = line->Text();
  if (pos < line->Length) {
    if (InsertMode) {
      std::memmove(t + pos + 1, t + pos, static_cast<std::size_t>(line->Length - pos));
      if (line->HasAttrs())
        std::memmove(line->Attrs.data() + pos + 1, line->Attrs.data() + pos,
                     static_cast<std::size_t>(line->Length - pos) * sizeof(TAttr));
      ++line->Length;
    }
    t[pos] = ch;
    if (line->HasAttrs()) {
      line->Attrs[static_cast<std::size_t>(pos)] = CurAttr;
      FillCaches(line->Attrs[static_cast<std::size_t>(pos)], static_cast<unsigned char>(ch));
    }
  } else {
    t[pos] = ch;
    ++line->Length;
    if (line->HasAttrs()) {
      // The entry past the text may still hold a deleted character's record (a picture, a
      // footnote mark, protected text): the new character starts from the current attributes,
      // not from that.
      line->Attrs[static_cast<std::size_t>(pos)] = CurAttr;
      SetCharAttr(line, pos, EditorAttrMask, CurAttr);
    }
  }
  t[line->Length] = 0;
  line->Flags |= lfChanged;
  par->Mark();
  return true;
}

bool TRiRTFText::DeleteChar(PTParagraph par, PTLine line, int pos) {
  if (par == nullptr || line == nullptr) return false;
  if (IsProtected(par, line, pos, true)) return false;
  pos = std::clamp(pos, 0, static_cast<int>(line->Length));
  if (pos < line->Length) {
    ReplaceText(par, line, nullptr, 0, nullptr, 1, pos);
    line->Flags |= lfChanged;
    return true;
  }
  if (line->Next != nullptr) {
    PTLine next = line->Next;
    bool deleteFirst = true;
    if (IsProtected(par, next, 0, true)) deleteFirst = false;
    const int from = deleteFirst && next->Length > 0 ? 1 : 0;
    const int rest = next->Length - from;
    if (!FitsJoined(line, rest)) {
      // Joined, the line would pass the length limit: the text goes on in the next line.
      if (from > 0) ReplaceText(par, next, nullptr, 0, nullptr, 1, 0);
      next->Flags |= lfChanged;
      par->Mark();
      return deleteFirst;
    }
    if (line->Length + rest + 1 > line->Capacity) SetLineCapacity(line, line->Length + next->Length + 30);
    std::memcpy(line->Text() + line->Length, next->Text() + from, static_cast<std::size_t>(rest));
    if (line->HasAttrs() && next->HasAttrs())
      std::memcpy(line->Attrs.data() + line->Length, next->Attrs.data() + from, static_cast<std::size_t>(rest) * sizeof(TAttr));
    line->Length = static_cast<std::uint16_t>(line->Length + rest);
    line->Buffer[line->Length] = 0;
    line->Next = next->Next;
    if (next->Next != nullptr) next->Next->Prev = line;
    delete next;
    par->Mark();
    return deleteFirst;
  }
  // End of the paragraph: join the next one.  Neither a cell nor what follows a row joins a
  // cell: taking in the paragraph after its row would turn the row's last cell into plain text
  // and leave the row's other cells without their end.
  PTParagraph next = par->Next;
  if (next == nullptr || next->IsCell() || par->IsCell()) return false;
  // A protected paragraph is not joined to the one before it either (it would lose its mark).
  if (ParagraphProtected(next) && IsProtected(next, next->FirstLine, 0, true)) return false;
  const bool takeProps = pos == 0 && par->FirstLine == line && line->Length == 0;
  // The generated number of a list item joined behind text is no part of that text.
  if (ParagraphLength(par) > 0) DropListNumbers(next);
  PTLine nl = next->FirstLine;
  line->Next = nl;
  if (nl != nullptr) nl->Prev = line;
  next->FirstLine = nullptr;
  if (takeProps) TakeParagraphProperties(*par, *next);
  par->Next = next->Next;
  if (next->Next != nullptr) next->Next->Prev = par;
  delete next;
  LinesMoved();
  // Join the first joined line with this one so the text runs on (unless together they pass
  // the length limit: then the joined text goes on in a line of its own).
  if (nl != nullptr && FitsJoined(line, nl->Length)) {
    const int n = nl->Length;
    if (line->Length + n + 1 > line->Capacity) SetLineCapacity(line, line->Length + n + 30);
    std::memcpy(line->Text() + line->Length, nl->Text(), static_cast<std::size_t>(n));
    if (line->HasAttrs() && nl->HasAttrs())
      std::memcpy(line->Attrs.data() + line->Length, nl->Attrs.data(), static_cast<std::size_t>(n) * sizeof(TAttr));
    line->Length = static_cast<std::uint16_t>(line->Length + n);
    line->Buffer[line->Length] = 0;
    line->Next = nl->Next;
    if (nl->Next != nullptr) nl->Next->Prev = line;
    delete nl;
  }
  par->Mark();
  return true;
}

PTParagraph TRiRTFText::SplitParagraph(PTParagraph par, PTLine line, int pos) {
  if (par == nullptr || line == nullptr) return nullptr;
  if (SplitRefused(par, line, pos)) return nullptr;
  pos = std::clamp(pos, 0, static_cast<int>(line->Length));
  if (line->HasAttrs()) {
    if (pos > 0) line->Attrs[static_cast<std::size_t>(pos - 1)].Attr10 &= static_cast<std::uint8_t>(~2);
    line->Attrs[static_cast<std::size_t>(pos)].Attr10 &= static_cast<std::uint8_t>(~2);
  }
  const int rest = line->Length - pos;
  PTParagraph np = par;
  NewParagraph(np, std::min(rest + 30, MaxLineCapacity));
  PTLine nl = np->FirstLine;
  std::memcpy(nl->Text(), line->Text() + pos, static_cast<std::size_t>(rest));
  if (line->HasAttrs() && nl->HasAttrs()) {
    std::memcpy(nl->Attrs.data(), line->Attrs.data() + pos, static_cast<std::size_t>(rest) * sizeof(TAttr));
    nl->Attrs[static_cast<std::size_t>(rest)] = line->Attrs[static_cast<std::size_t>(line->Length > pos ? line->Length - 1 : pos)];
  }
  nl->Length = static_cast<std::uint16_t>(rest);
  nl->Buffer[static_cast<std::size_t>(rest)] = 0;
  line->Length = static_cast<std::uint16_t>(pos);
  line->Buffer[static_cast<std::size_t>(pos)] = 0;
  // The following lines move to the new paragraph.
  if (line->Next != nullptr) {
    nl->Next = line->Next;
    line->Next->Prev = nl;
    line->Next = nullptr;
  }
  np->ListByte = par->ListByte;
  par->Mark();
  np->Mark();
  return np;
}

void TRiRTFText::InsertLine(PTParagraph par, int pos, const TAttr* attr, const std::string& text) {
  if (par == nullptr || text.empty()) return;
  LinesMoved();
  if (text.size() >= static_cast<std::size_t>(MaxLineCapacity)) throw Exception("Line longer then\t10000 character!");
  const TAttr a = attr != nullptr ? *attr : RememberedAttr;
  // Find the line holding the position.
  PTLine l = par->FirstLine;
  int start = 0;
  while (l->Next != nullptr && pos > start + l->Length) {
    start += l->Length;
    l = l->Next;
  }
  int off = std::clamp(pos - start, 0, static_cast<int>(l->Length));
  PTLine fresh = nullptr;
  NewLine(fresh, std::min(static_cast<int>(text.size()) + 4, MaxLineCapacity));
  fresh->Next = nullptr;
  fresh->Prev = nullptr;
  std::memcpy(fresh->Text(), text.data(), text.size());
  fresh->Length = static_cast<std::uint16_t>(text.size());
  if (fresh->HasAttrs())
    for (int i = 0; i <= fresh->Length && i < fresh->Capacity; ++i) {
      fresh->Attrs[static_cast<std::size_t>(i)] = a;
      FillCaches(fresh->Attrs[static_cast<std::size_t>(i)], i < fresh->Length ? fresh->Ch(i) : ' ');
    }
  if (pos <= 0) {
    fresh->Next = par->FirstLine;
    par->FirstLine->Prev = fresh;
    par->FirstLine = fresh;
    par->Mark();
    return;
  }
  if (off > 0 && off < l->Length) {
    // Break the line; the tail goes to a line of its own.
    PTLine tail = l;
    NewLine(tail, std::min(l->Length - off + 4, MaxLineCapacity));
    const int n = l->Length - off;
    std::memcpy(tail->Text(), l->Text() + off, static_cast<std::size_t>(n));
    if (l->HasAttrs() && tail->HasAttrs())
      std::memcpy(tail->Attrs.data(), l->Attrs.data() + off, static_cast<std::size_t>(n) * sizeof(TAttr));
    tail->Length = static_cast<std::uint16_t>(n);
    l->Length = static_cast<std::uint16_t>(off);
    l->Buffer[static_cast<std::size_t>(off)] = 0;
  } else if (off == 0 && l->Prev != nullptr) {
    l = l->Prev;
  } else if (off == 0) {
    fresh->Next = par->FirstLine;
    par->FirstLine->Prev = fresh;
    par->FirstLine = fresh;
    par->Mark();
    return;
  }
  fresh->Next = l->Next;
  fresh->Prev = l;
  if (l->Next != nullptr) l->Next->Prev = fresh;
  l->Next = fresh;
  par->Mark();
}

int TRiRTFText::LeadingListNumbers(PTParagraph par) {
  int n = 0;
  for (PTLine l = par != nullptr ? par->FirstLine : nullptr; l != nullptr && l->HasAttrs(); l = l->Next) {
    int i = 0;
    while (i < l->Length && (l->Attrs[static_cast<std::size_t>(i)].Extra & fxListNumber)) ++i;
    n += i;
    if (i < l->Length) break;
  }
  return n;
}

void TRiRTFText::DropListNumbers(PTParagraph par) {
  const int n = LeadingListNumbers(par);
  if (n == 0) return;
  const TAttr remembered = RememberedAttr;
  DeleteChars(par, 0, n);
  RememberedAttr = remembered;
}

void TRiRTFText::DeleteChars(PTParagraph par, int pos, int count) {
  if (par == nullptr || count <= 0) return;
  bool remembered = false;
  pos = std::max(0, pos);
  int start = 0;
  for (PTLine l = par->FirstLine; l != nullptr && count > 0; l = l->Next) {
    if (pos < start + l->Length) {
      const int off = pos - start;
      const int n = std::min(count, l->Length - off);
      if (!remembered && l->HasAttrs()) {
        RememberedAttr = l->Attrs[static_cast<std::size_t>(off)];
        remembered = true;
      }
      char* t = l->Text();
      std::memmove(t + off, t + off + n, static_cast<std::size_t>(l->Length - off - n));
      if (l->HasAttrs())
        std::memmove(l->Attrs.data() + off, l->Attrs.data() + off + n,
                     static_cast<std::size_t>(l->Length - off - n) * sizeof(TAttr));
      l->Length = static_cast<std::uint16_t>(l->Length - n);
      t[l->Length] = 0;
      count -= n;
    }
    start += l->Length;
  }
  par->Mark();
}

bool TRiRTFText::InsertParagraphs(PTParagraph& par, PTLine& line, PTParagraph chain, int& pos) {
  LinesMoved();
  if (chain == nullptr) return false;
  if (par == nullptr) {
    FreeChain(FirstPar);
    FirstPar = chain;
    chain->Prev = nullptr;
    par = LastParagraph();
    line = Get_LastLine(par);
    pos = line->Length;
    return true;
  }
  if (par->IsCell()) {
    FreeChain(chain);
    return false;
  }
  if (line == nullptr) line = par->FirstLine;
  pos = std::clamp(pos, 0, static_cast<int>(line->Length));
  const bool atStart = pos == 0 && line == par->FirstLine;
  // Split the line: the tail goes to a new line.
  PTLine tail = nullptr;
  NewLine(tail, std::min(line->Length - pos + 30, MaxLineCapacity));
  tail->Next = nullptr;
  tail->Prev = nullptr;
  const int n = line->Length - pos;
  std::memcpy(tail->Text(), line->Text() + pos, static_cast<std::size_t>(n));
  if (line->HasAttrs() && tail->HasAttrs())
    std::memcpy(tail->Attrs.data(), line->Attrs.data() + pos, static_cast<std::size_t>(n + 1) * sizeof(TAttr));
  tail->Length = static_cast<std::uint16_t>(n);
  line->Length = static_cast<std::uint16_t>(pos);
  line->Buffer[static_cast<std::size_t>(pos)] = 0;
  PTLine afterTail = line->Next;  // lines of the paragraph after the split line
  PTParagraph rest = chain;
  if (chain->IsCell() && !atStart) {
    // A chain that begins with a table row keeps the row whole: behind text, its paragraphs
    // follow the head's paragraph instead of the first cell joining it.
    line->Next = nullptr;
  } else {
    // Inserted behind text, the first inserted paragraph's generated list number goes.
    if (!atStart) DropListNumbers(chain);
    // The lines of the chain's first paragraph follow the head.
    PTLine firstLines = chain->FirstLine;
    chain->FirstLine = nullptr;
    line->Next = firstLines;
    if (firstLines != nullptr) firstLines->Prev = line;
    if (atStart) TakeParagraphProperties(*par, *chain);
    rest = chain->Next;
    delete chain;
  }
  PTParagraph lastPar = par;
  PTParagraph after = par->Next;
  if (rest != nullptr) {
    par->Next = rest;
    rest->Prev = par;
    lastPar = rest;
    while (lastPar->Next != nullptr) {
      lastPar->Mark();
      lastPar = lastPar->Next;
    }
    lastPar->Next = after;
    if (after != nullptr) after->Prev = lastPar;
    // The lines that followed the split line stay with the tail, at the end of the last paragraph.
  }
  PTLine last = Get_LastLine(lastPar == par ? par : lastPar);
  last->Next = tail;
  tail->Prev = last;
  tail->Next = afterTail;
  if (afterTail != nullptr) afterTail->Prev = tail;
  par->Mark();
  lastPar->Mark();
  par = lastPar;
  line = tail;
  pos = 0;
  return true;
}

PTParagraph TRiRTFText::AddParagraph(int number, const std::string& text, const TAttr* attr, bool fillEmpty) {
  const TAttr a = attr != nullptr ? *attr : CurAttr;
  PTParagraph p;
  bool newFirst = false;
  if (fillEmpty && IsEmpty()) {
    p = FirstPar;
  } else if (number == 0) {
    p = nullptr;
    NewParagraph(p, std::min(static_cast<int>(text.size()), ParagraphChunk) + 4);
    p->Next = FirstPar;
    FirstPar->Prev = p;
    p->SetBorderValue(0);
    FirstPar = p;
    newFirst = true;
  } else {
    // Number n (1-based) is the paragraph the new one follows, so that it becomes index n.
    PTParagraph after = ParagraphByIndex(number - 1);
    if (after == nullptr) after = LastParagraph();
    p = after;
    NewParagraph(p, std::min(static_cast<int>(text.size()), ParagraphChunk) + 4);
  }
  PTLine l = p->FirstLine;
  if (l->HasAttrs()) l->Attrs[0] = a;
  SetParagraphText(p, text, a);
  p->Mark();
  if (newFirst)
    LinesMoved();
  else
    ParagraphChanged(p);
  return p;
}

void TRiRTFText::DeleteParagraphLines(int number) {
  PTParagraph p = ParagraphByIndex(number);
  if (p == nullptr) return;
  if (FirstPar->Next == nullptr) {
    // The only paragraph: it stays as one empty line.
    PTLine first = p->FirstLine;
    for (PTLine l = first->Next; l != nullptr;) {
      PTLine n = l->Next;
      delete l;
      l = n;
    }
    first->Next = nullptr;
    first->Length = 0;
    first->Buffer[0] = 0;
    p->Mark();
    LinesMoved();
    return;
  }
  DeleteParagraph(p);
}

bool TRiRTFText::MarkParagraphs(std::uint16_t styleWord) {
  if (PlainMode || Busy) return false;
  const std::uint16_t bits = styleWord & (swInsertPoint | swAutomatic | swLink | swHidden | swObject);
  bool any = false;
  for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) {
    bool hit = false;
    for (PTLine l = p->FirstLine; l != nullptr && !hit; l = l->Next) {
      if (!l->HasAttrs()) continue;
      for (int i = 0; i < l->Length; ++i)
        if (l->Attrs[static_cast<std::size_t>(i)].StyleWord() & bits) {
          hit = true;
          break;
        }
    }
    if (hit) {
      p->Mark();
      any = true;
    }
  }
  return any;
}

void TRiRTFText::MarkAll() {
  for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) p->Mark();
}

void TRiRTFText::SetMemoryFormat(TRiMemoryFormat format) {
  if (Busy) return;
  if (format == TRiMemoryFormat::fmRichText) {
    if (header_->AttributesInUse && !PlainMode) return;
    if (CurAttr.Size == 0) CurAttr.Size = 10;
    for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) {
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
        l->Attrs.assign(l->Capacity, TAttr{});
        for (int i = 0; i <= l->Length && i < l->Capacity; ++i) {
          l->Attrs[static_cast<std::size_t>(i)] = CurAttr;
          l->Attrs[static_cast<std::size_t>(i)].Width = static_cast<std::uint16_t>(WidthTable[i < l->Length ? l->Ch(i) : ' ']);
        }
        l->Height = CurAttr.Height;
        l->Ascent = CurAttr.Ascent;
      }
      p->Mark();
    }
    header_->AttributesInUse = true;
    PlainMode = false;
  } else {
    for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) {
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
        l->Attrs.clear();
        l->Attrs.shrink_to_fit();
        l->Height = static_cast<std::uint16_t>(DefaultLineHeight);
        l->Ascent = static_cast<std::uint16_t>(DefaultAscent);
      }
      p->Mark();
    }
    header_->AttributesInUse = false;
    PlainMode = true;
    ParagraphChanged(nullptr);
  }
}

// ---------------------------------------------------------------------------------------------
// Objects and footnotes

TRiObject* TRiRTFText::AddObject(std::unique_ptr<TGraphic> graphic, int tag) {
  if (objects_.size() >= MaxObjects) return nullptr;
  auto obj = std::make_unique<TRiObject>();
  bool generated = false;
  if (tag == 65535) {
    obj->Tag = static_cast<std::uint16_t>(std::min(highestTag_ + 1, 65534));
    generated = true;
  } else if (tag != 0) {
    obj->Tag = static_cast<std::uint16_t>(tag);
  }
  obj->Number = static_cast<std::uint16_t>(std::min(highestNumber_ + 1, 65535));
  TRiObject* raw = obj.get();
  objects_.push_back(std::move(obj));
  highestNumber_ = std::max<int>(highestNumber_, raw->Number);
  if (raw->Tag != 0) {
    highestTag_ = std::max<int>(highestTag_, raw->Tag);
    byTag_.emplace(raw->Tag, raw);
  }
  byNumber_.emplace(raw->Number, raw);
  if (graphic == nullptr && !generated && OnObjectRequest) {
    auto handler = OnObjectRequest;
    handler(tag, raw);
  }
  if (graphic != nullptr) raw->Graphic = std::move(graphic);
  return raw;
}

void TRiRTFText::RemoveObject(TRiObject* object) {
  if (object == nullptr) return;
  std::erase_if(objects_, [object](const std::unique_ptr<TRiObject>& o) { return o.get() == object; });
  IndexObjects();
}

void TRiRTFText::IndexObjects() {
  byTag_.clear();
  byNumber_.clear();
  highestTag_ = 1999;
  highestNumber_ = 0;
  for (const auto& o : objects_) {
    if (o->Tag != 0) byTag_.emplace(o->Tag, o.get());
    byNumber_.emplace(o->Number, o.get());
    highestTag_ = std::max<int>(highestTag_, o->Tag);
    highestNumber_ = std::max<int>(highestNumber_, o->Number);
  }
}

TRiObject* TRiRTFText::FindObject(int tag, int number) const {
  if (tag > 0 && tag <= 65535) {
    auto it = byTag_.find(static_cast<std::uint16_t>(tag));
    if (it != byTag_.end()) return it->second;
  }
  if (number > 0 && number <= 65535) {
    auto it = byNumber_.find(static_cast<std::uint16_t>(number));
    if (it != byNumber_.end()) return it->second;
  }
  return nullptr;
}

TRiObject* TRiRTFText::ObjectOf(unsigned char ch, std::uint16_t tag) const {
  if (ch == 2) return FindObject(0, tag);
  // An object without a tag can only be meant by its number.
  TRiObject* byNumber = FindObject(0, tag);
  if (byNumber != nullptr && byNumber->Tag == 0) return byNumber;
  TRiObject* byTag = FindObject(tag, 0);
  return byTag != nullptr ? byTag : byNumber;
}

std::unique_ptr<TGraphic> TRiRTFText::CopyObjectGraphic(const TGraphic* graphic) {
  if (auto* bmp = dynamic_cast<const TBitmap*>(graphic)) {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(bmp);
    return copy;
  }
  if (auto* mf = dynamic_cast<const TMetafile*>(graphic)) {
    auto copy = std::make_unique<TMetafile>();
    copy->Assign(mf);
    return copy;
  }
  return nullptr;
}

TRiObject* TRiRTFText::FindObjectByName(const std::string& name) const {
  for (const auto& o : objects_)
    if (AnsiSameText(o->Name, name) || (o->Linked && AnsiSameText(o->FileName, name))) return o.get();
  return nullptr;
}

void TRiRTFText::ClearObjectMarks() {
  for (auto& o : objects_) o->InUse = false;
}

void TRiRTFText::FreeUnmarkedObjects() {
  std::erase_if(objects_, [](const std::unique_ptr<TRiObject>& o) { return !o->InUse; });
  IndexObjects();
}

void TRiRTFText::DefaultObjectSize(TRiObject& object) const {
  const int ppi = 96;
  if (object.Graphic != nullptr) {
    if (object.Width == 0) object.Width = object.Graphic->Width() * TwipsPerInch / ppi;
    if (object.Height == 0) object.Height = object.Graphic->Height() * TwipsPerInch / ppi;
  } else {
    if (object.Width == 0) object.Width = 32;
    if (object.Height == 0) object.Height = 32;
  }
}

TRiFootnote* TRiRTFText::AddFootnote(char mark, int number, const std::string& text) {
  if (highestFootnote_ >= 65535) return nullptr;
  auto f = std::make_unique<TRiFootnote>();
  f->Mark = mark;
  f->Number = number;
  f->Text = text;
  f->Id = static_cast<std::uint16_t>(++highestFootnote_);
  byFootnoteId_[f->Id] = f.get();
  footnotes_.push_back(std::move(f));
  return footnotes_.back().get();
}

TRiFootnote* TRiRTFText::FindFootnote(int id) const {
  if (id <= 0 || id > 65535) return nullptr;
  auto it = byFootnoteId_.find(static_cast<std::uint16_t>(id));
  return it != byFootnoteId_.end() ? it->second : nullptr;
}

void TRiRTFText::FreeFootnotes() {
  footnotes_.clear();
  byFootnoteId_.clear();
  highestFootnote_ = 0;
}

void TRiRTFText::OnTabTableFull() {
  TTabSet used = 0;
  for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) used |= p->Tabs;
  bool cleared = false;
  for (int i = 0; i < MaxTabs; ++i) {
    if (header_->TabPos[i] != 0 && !(used & (TTabSet{1} << i))) {
      header_->ClearTab(i);
      cleared = true;
    }
  }
  if (!cleared && OnNotify) {
    auto handler = OnNotify;
    handler(this, 2);
  }
}

}  // namespace tw::richtext
