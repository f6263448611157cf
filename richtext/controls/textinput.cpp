#include "richtext/controls/textinput.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/win/winapi.h"

namespace tw::richtext {

namespace {

// Letters and digits of Windows-1252 (the word moves stop at them).
bool IsAlphaNumeric(unsigned char ch) {
  if (std::isalnum(ch)) return true;
  return ch == 0x8A || ch == 0x8C || ch == 0x8E || ch == 0x9A || ch == 0x9C || ch == 0x9E || ch == 0x9F ||
         (ch >= 0xC0 && ch != 0xD7 && ch != 0xF7);
}

// Characters that the input loop inserts as they are (the others edit or end paragraphs).
bool IsRunChar(unsigned char ch) { return ch != 0 && ch != 8 && ch != 12 && ch != 13 && ch != 127; }

bool SameLook(const TAttr& a, const TAttr& b) {
  return a.Font == b.Font && a.Size == b.Size && a.Colors == b.Colors && a.Style == b.Style;
}

}  // namespace

TRiRTFTextInput::TRiRTFTextInput() = default;

void TRiRTFTextInput::Clear() {
  TRiRTFTextPaint::Clear();
  ClearSelection();
  desiredX_ = -1;
  lastUndoPar_ = nullptr;
  CursorPar = FirstPar;
  CursorLine = FirstPar != nullptr ? FirstPar->FirstLine : nullptr;
  CursorOffset = 0;
  TakeTypingAttributes();
}

TRiLoadFormat TRiRTFTextInput::LoadFromStream(TStream& stream) {
  const TRiLoadFormat f = TRiRTFTextPaint::LoadFromStream(stream);
  TakeTypingAttributes();
  return f;
}

void TRiRTFTextInput::SetCursor(int absolute, int lineNumber, int offset, int parNumber) {
  TRiRTFTextPaint::SetCursor(absolute, lineNumber, offset, parNumber);
  desiredX_ = -1;
  TakeTypingAttributes();
  if (SetMode != nullptr) {
    SetMode->AttributesChanged();
    SetMode->ParagraphChanged();
  }
}

void TRiRTFTextInput::MouseToCursor(int x, int y, bool makeVisible, bool extend) {
  TRiRTFTextPaint::MouseToCursor(x, y, makeVisible, extend);
  desiredX_ = -1;
  TakeTypingAttributes();
  if (SetMode != nullptr && !NoCursorDisplay) SetMode->ParagraphChanged();
  if (CursorMoved) CursorMoved();
}

int TRiRTFTextInput::CursorPosition() const {
  if (CursorPar == nullptr) return 0;
  int a, l, o, p;
  CountPosition(CursorPar, CursorLine, CursorOffset, a, l, o, p);
  return a;
}

// --- positions inside a paragraph --------------------------------------------------------------

int TRiRTFTextInput::ParPos(PTParagraph par, PTLine line, int offset) const {
  int pos = 0;
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) {
    if (l == line) return pos + std::clamp(offset, 0, static_cast<int>(l->Length));
    pos += l->Length;
  }
  return pos;
}

void TRiRTFTextInput::Locate(PTParagraph par, int pos, PTLine& line, int& offset) const {
  int start = 0;
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) {
    if (pos < start + l->Length || l->Next == nullptr) {
      line = l;
      offset = std::clamp(pos - start, 0, static_cast<int>(l->Length));
      return;
    }
    start += l->Length;
  }
  line = par->FirstLine;
  offset = 0;
}

void TRiRTFTextInput::PlaceCursor(PTParagraph par, int pos) {
  CursorPar = par;
  Locate(par, pos, CursorLine, CursorOffset);
}

// --- input ---------------------------------------------------------------------------------------

void TRiRTFTextInput::InputString(const std::string& text) {
  if (ReadOnly || Busy || FirstPar == nullptr || CursorPar == nullptr) return;
  const std::string run = text.substr(0, text.find('\0'));
  if (run.empty()) return;
  inInput_ = true;
  if (BeforeInput) BeforeInput();
  int scope = rsNothing;
  try {
    scope = InputRun(run);
  } catch (...) {
    inInput_ = false;
    throw;
  }
  if (run.size() >= 2) {
    inInput_ = false;
    if (AfterInput) AfterInput();
    return;
  }
  if (FullReformatNeeded) {
    ReformatAll();
    Redraw();
  } else if (scope == rsView) {
    Redraw();
  } else if (scope != rsNothing && CursorPar != nullptr && !Has(loSuspended) && !Has(loOffScreen)) {
    // Only the lines of the cursor paragraph changed.
    for (PTLine l = CursorPar->FirstLine; l != nullptr; l = l->Next) PaintLine(CursorPar, l);
    if (Host.AfterPaint) Host.AfterPaint();
  }
  ScrollToCursor();
  UpdateCaret();
  FullReformatNeeded = false;
  inInput_ = false;
  if (AfterInput) AfterInput();
}

void TRiRTFTextInput::UndoHook() {
  if (!SaveForUNDO) return;
  if (HasSelection() || CursorPar != lastUndoPar_) {
    lastUndoPar_ = CursorPar;
    SaveForUNDO();
  }
}

// Backspace: deletes the character before the cursor, or joins the paragraph to the previous one.
bool TRiRTFTextInput::DeleteBefore() {
  PTParagraph par = CursorPar;
  const int pos = ParPos(par, CursorLine, CursorOffset);
  if (pos > 0) {
    PTLine line;
    int off;
    Locate(par, pos - 1, line, off);
    if (!DeleteChar(par, line, off)) return false;
    PlaceCursor(par, pos - 1);
    ParagraphChanged(par);
    PlaceCursor(par, pos - 1);
    return true;
  }
  PTParagraph prev = par->Prev;
  if (prev == nullptr || prev->IsCell() || par->IsCell()) return false;
  const int prevLen = ParagraphLength(prev);
  PTLine last = Get_LastLine(prev);
  if (!DeleteChar(prev, last, last->Length)) return false;
  PlaceCursor(prev, prevLen);
  ParagraphChanged(prev);
  PlaceCursor(prev, prevLen);
  return true;
}

// Delete: removes the character at the cursor, or joins the next paragraph.
bool TRiRTFTextInput::DeleteAtCursor() {
  PTParagraph par = CursorPar;
  const int pos = ParPos(par, CursorLine, CursorOffset);
  const int len = ParagraphLength(par);
  if (pos < len) {
    PTLine line;
    int off;
    Locate(par, pos, line, off);
    if (off >= line->Length && line->Next != nullptr) {
      line = line->Next;
      off = 0;
    }
    if (!DeleteChar(par, line, off)) return false;
  } else if (par->Next != nullptr) {
    PTLine last = Get_LastLine(par);
    if (!DeleteChar(par, last, last->Length)) return false;
  } else {
    par->Flags &= static_cast<std::uint8_t>(~pfPageBreak);
    return false;
  }
  ParagraphChanged(par);
  PlaceCursor(par, pos);
  return true;
}

void TRiRTFTextInput::FullCellRefused() { MessageBeep(0); }

bool TRiRTFTextInput::InsertOne(char ch, int& scope) {
  PTParagraph par = CursorPar;
  // Text typed into a generated list number goes behind it: the number never holds text.
  if (ParPos(par, CursorLine, CursorOffset) < LeadingListNumbers(par)) PlaceCursor(par, LeadingListNumbers(par));
  const int pos = ParPos(par, CursorLine, CursorOffset);
  int lines = 0;
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) ++lines;
  // A line close to its capacity is broken first so that long program input keeps going.
  if (CursorLine->Length >= MaxLineCapacity - 16) {
    int change = 0;
    FormatParagraph(par, false, change);
    PlaceCursor(par, pos);
    if (CursorLine->Length >= MaxLineCapacity - 16) return false;
  }
  // Overwriting at the end of a line that another follows (after a line break or a wrap): the
  // character under the cursor is the next line's first one.
  PTLine line = CursorLine;
  int offset = CursorOffset;
  if (!InsertMode && offset >= line->Length && line->Next != nullptr) {
    line = line->Next;
    offset = 0;
  }
  if (!InsertChar(par, line, ch, offset)) return false;
  PlaceCursor(par, pos + 1);
  if (!LayoutSuppressed) {
    ParagraphChanged(par);
    PlaceCursor(par, pos + 1);
  }
  int after = 0;
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) ++after;
  scope = std::max(scope, (after != lines || ch == '\n') ? rsView : rsChangedLines);
  return true;
}

bool TRiRTFTextInput::CanRefuse() const {
  if (ProtectionOff || ProtectionSuspended) return false;
  // Insertion tests the paragraph mark and the character's protected, automatic, hidden and
  // invisible marks (insertion points only when overwriting).
  for (TProtectProp p : {TProtectProp::ppParProtected, TProtectProp::ppProtected, TProtectProp::ppIsInsertpoint,
                         TProtectProp::ppAutomatic, TProtectProp::ppHidden, TProtectProp::ppIsInvisible})
    if (Protection.Contains(p)) return true;
  return false;
}

bool TRiRTFTextInput::TakesInput(char ch) { return TakesInputAt(ch, CursorPar, CursorLine, CursorOffset); }

bool TRiRTFTextInput::TakesInputAt(char ch, PTParagraph par, PTLine line, int offset) {
  if (ReadOnly || Busy || FirstPar == nullptr || par == nullptr || line == nullptr) return false;
  const int at = ParPos(par, line, offset);
  if (ch == 12 && at == 0) return true;  // the page-break mark of the paragraph
  const bool parEnd = (ch == 12 || ch == 13) && !(par->IsCell() && !(par == FirstPar && at == 0));
  if (parEnd) {
    // The paragraph splits where the cursor's place lets it, as InputRun splits it.
    Locate(par, at, line, offset);
  } else {
    if (!ProgramInput && (CurAttr.Extra & fxHidden)) return false;
    if (par->IsCell() && (par->CellFlags >> 4) == 15) return false;
    // The place InsertOne puts the character: behind a list number, on the next line when
    // overwriting at a line's end.
    if (at < LeadingListNumbers(par)) Locate(par, LeadingListNumbers(par), line, offset);
    if (!InsertMode && offset >= line->Length && line->Next != nullptr) {
      line = line->Next;
      offset = 0;
    }
  }
  const bool silent = ProtectionSilent;
  ProtectionSilent = true;
  const bool refused = parEnd ? SplitRefused(par, line, offset) : IsProtected(par, line, offset, !InsertMode);
  ProtectionSilent = silent;
  return !refused;
}

namespace {

// The size of a line after count characters are appended one by one: it grows by 10 places
// whenever fewer than 4 are free.  `first` is the length at the first growth (-1 none).
int AppendedCapacity(int capacity, int length, int count, int& first) {
  first = -1;
  for (int end = length + count; length < end; ++length) {
    if (capacity - length >= 4) continue;
    if (first < 0) first = length;
    capacity = std::max(8, length + 10);
    if (capacity & 1) ++capacity;
  }
  return capacity;
}

void ResizeLine(PTLine line, int capacity, const TAttr& fill) {
  line->Buffer.resize(static_cast<std::size_t>(capacity), 0);
  line->Attrs.resize(static_cast<std::size_t>(capacity), fill);
  line->Capacity = static_cast<std::uint16_t>(capacity);
}

}  // namespace

void TRiRTFTextInput::GrowForAppend(PTLine line, int count) {
  // Every growth fills the new places with the record at the line's end, which is the one the
  // first growth filled in: one growth to the last of those sizes leaves the same line.
  int first = -1;
  const int capacity = AppendedCapacity(line->Capacity, line->Length, count, first);
  if (first < 0) return;
  ResizeLine(line, capacity, line->Attrs[std::min<std::size_t>(static_cast<std::size_t>(first), line->Attrs.size() - 1)]);
}

int TRiRTFTextInput::InsertRun(const char* text, int count, int& scope) {
  PTParagraph par = CursorPar;
  PTLine line = CursorLine;
  if (count <= 0 || !LayoutSuppressed || !InsertMode || HasSelection() || par == nullptr || line == nullptr) return 0;
  if (SaveForUNDO && par != lastUndoPar_) return 0;
  if (!ProgramInput && (CurAttr.Extra & fxHidden)) return 0;
  // A full table cell refuses (and beeps for) every character.
  if (par->IsCell() && (par->CellFlags >> 4) == 15) return 0;
  if (CursorOffset < 0 || CursorOffset > line->Length) return 0;
  const bool append = CursorOffset == line->Length;
  // At the end of a line that another follows, the cursor goes on to that line.
  if (append && line->Next != nullptr) return 0;
  if (ParPos(par, line, CursorOffset) < LeadingListNumbers(par)) return 0;
  int taken = 0, inserted = 0;
  bool lineFeed = false;
  if (append) {
    // Each character is tested against the one appended before it and takes its attributes
    // through the attribute operation, as at every line end.
    TRunAttrMemo memo;
    const bool mayRefuse = CanRefuse();
    // The last record the protection test let pass: a character after one like it passes too
    // (of the width the test asks only whether it is 0).
    auto testedPart = [](const TAttr& a) {
      TAttr t = a;
      t.Width = a.Width == 0 ? 0 : 1;
      return t;
    };
    TAttr passed;
    bool passedValid = false;
    // Whether a record is like the one that passed, read in place (a copy made for the
    // comparison would be read back before its bytes are stored).
    auto likePassed = [&passed](const TAttr& a) {
      return (a.Width == 0) == (passed.Width == 0) &&
             std::memcmp(reinterpret_cast<const char*>(&a) + sizeof a.Width,
                         reinterpret_cast<const char*>(&passed) + sizeof passed.Width, sizeof(TAttr) - sizeof a.Width) == 0;
    };
    const int room = std::max(0, std::min(count, MaxLineCapacity - 16 - line->Length));
    const int startCapacity = line->Capacity, startLength = line->Length;
    const bool grown = line->HasAttrs();
    if (grown) GrowForAppend(line, room);
    for (; taken < count; ++taken) {
      if (line->Length >= MaxLineCapacity - 16) break;
      const int pos = line->Length;
      if (mayRefuse) {
        const TAttr* before = pos > 0 && line->HasAttrs() ? &line->Attrs[static_cast<std::size_t>(pos - 1)] : nullptr;
        if (!passedValid || before == nullptr || !likePassed(*before)) {
          if (IsProtected(par, line, pos, false)) {
            memo.Valid = false;
            passedValid = false;
            continue;
          }
          if (before != nullptr) {
            passed = testedPart(*before);
            passedValid = true;
          }
        }
      }
      if (line->Capacity - line->Length < 4) SetLineCapacity(line, line->Length + 10);
      char* t = line->Text();
      t[pos] = text[taken];
      ++line->Length;
      if (line->HasAttrs()) {
        line->Attrs[static_cast<std::size_t>(pos)] = CurAttr;  // as InsertChar: not a deleted character's record
        SetRunCharAttr(line, pos, EditorAttrMask, CurAttr, memo);
      }
      t[line->Length] = 0;
      ++inserted;
      lineFeed = lineFeed || text[taken] == '\n';
    }
    // Refused characters (they end the run: each is tested against the same last character)
    // leave the line at the size their appending one by one would have given it.
    if (grown && inserted < room) {
      int first = -1;
      const int exact = AppendedCapacity(startCapacity, startLength, inserted, first);
      if (exact < line->Capacity) ResizeLine(line, exact, TAttr{});
    }
  } else {
    // Inside the line every character is tested against the same following character.
    if (line->Length >= MaxLineCapacity - 16) return 0;
    const bool silent = ProtectionSilent;
    ProtectionSilent = true;
    const bool refused = IsProtected(par, line, CursorOffset, false);
    ProtectionSilent = silent;
    if (refused) return 0;
    const int before = line->Length, at = CursorOffset;
    const int n = std::min(count, MaxLineCapacity - 16 - before);
    // The line grows in the steps of single insertions, so the places past the text are filled
    // as they would be.
    for (int i = 0; i < n; ++i) {
      if (line->Capacity - (before + i) >= 4) continue;
      line->Length = static_cast<std::uint16_t>(before + i);
      SetLineCapacity(line, before + i + 10);
    }
    line->Length = static_cast<std::uint16_t>(before);
    char* t = line->Text();
    const auto tail = static_cast<std::size_t>(before - at);
    std::memmove(t + at + n, t + at, tail);
    std::memcpy(t + at, text, static_cast<std::size_t>(n));
    if (line->HasAttrs()) {
      TAttr* a = line->Attrs.data();
      std::memmove(a + at + n, a + at, tail * sizeof(TAttr));
      for (int i = 0; i < n; ++i) {
        a[at + i] = CurAttr;
        FillCaches(a[at + i], static_cast<unsigned char>(text[i]));
      }
    }
    line->Length = static_cast<std::uint16_t>(before + n);
    t[line->Length] = 0;
    taken = inserted = n;
    lineFeed = std::memchr(text, '\n', static_cast<std::size_t>(n)) != nullptr;
  }
  if (inserted > 0) {
    line->Flags |= lfChanged;
    par->Mark();
    CursorOffset += inserted;
    scope = std::max(scope, lineFeed ? rsView : rsChangedLines);
  }
  return taken;
}

int TRiRTFTextInput::InputRun(const std::string& text) {
  if (CursorPar == nullptr || CursorLine == nullptr) return rsNothing;
  int scope = rsNothing;
  if (!ProgramInput) CurAttr.Extra &= static_cast<std::uint8_t>(~(fxInsertPoint | fxAutomatic));
  CursorLine->Flags &= ~lfChanged;
  if (CursorLine->Next != nullptr) CursorLine->Next->Flags &= ~lfChanged;
  // Long program input does not lay out each character.
  const bool bulk = text.size() >= 2;
  const bool wasSuppressed = LayoutSuppressed;
  if (bulk) LayoutSuppressed = true;
  // Whether paragraphs were made, joined or removed next to list items: their numbers follow.
  bool listsChanged = false;
  auto nearList = [](PTParagraph p) {
    return p != nullptr && (p->ListByte != 0 || (p->Prev != nullptr && p->Prev->ListByte != 0) ||
                            (p->Next != nullptr && p->Next->ListByte != 0));
  };
  auto anyList = [this] {
    for (PTParagraph p = FirstPar; p != nullptr; p = p->Next)
      if (p->ListByte != 0) return true;
    return false;
  };
  try {
    for (std::size_t k = 0; k < text.size(); ++k) {
      const auto ch = static_cast<unsigned char>(text[k]);
      if (ch == 0) break;
      // A selection about to go, or a paragraph end about to be crossed.
      if (HasSelection() && ch != 12) {
        listsChanged = listsChanged || anyList();
      } else if (ch == 8 || ch == 127 || ch == 13 || ch == 12) {
        const int at = ParPos(CursorPar, CursorLine, CursorOffset);
        const bool crosses = ch == 13 || (ch == 12 && at > 0) || (ch == 8 && at == 0) ||
                             (ch == 127 && at >= ParagraphLength(CursorPar));
        if (crosses) listsChanged = listsChanged || nearList(CursorPar);
      }
      switch (ch) {
        case 8:
          UndoHook();
          if (HasSelection()) {
            DeleteSelection();
            scope = rsView;
            break;
          }
          if (DeleteBefore()) scope = rsView;
          break;
        case 12:
        case 13: {
          PTParagraph par = CursorPar;
          const int pos = ParPos(par, CursorLine, CursorOffset);
          if (ch == 12 && pos == 0) {
            // The mark changes only the pages from this paragraph on: the page pass from here.
            par->Flags ^= pfPageBreak;
            par->Mark();
            if (!LayoutSuppressed) ParagraphChanged(par);
            scope = rsView;
            break;
          }
          UndoHook();
          if (HasSelection()) DeleteSelection();
          par = CursorPar;
          const int at = ParPos(par, CursorLine, CursorOffset);
          if (par->IsCell() && !(par == FirstPar && at == 0)) {
            if (InsertOne('\n', scope)) scope = rsView;
            break;
          }
          if (par->LayoutFlags & lyNeedsLayout) FullReformatNeeded = FullReformatNeeded || (par->Flags & pfKeep);
          PTLine line;
          int off;
          Locate(par, at, line, off);
          if (par->IsCell()) {
            // Before a first table row: a plain empty paragraph goes before the row, which keeps
            // its cells; the cursor stays in the first cell.
            if (SplitRefused(par, line, off)) break;
            AddParagraph(0, std::string(), &CurAttr);
            PTParagraph np = FirstPar;
            if (NewParagraphCreated) NewParagraphCreated(np);
            if (!LayoutSuppressed) ParagraphChanged(np);
            CursorPar = par;
            CursorLine = par->FirstLine;
            CursorOffset = 0;
            scope = rsView;
            break;
          }
          PTParagraph np = SplitParagraph(par, line, off);
          if (np == nullptr) break;
          if (ch == 12) np->Flags |= pfPageBreak;
          if (NewParagraphCreated) NewParagraphCreated(np);
          CursorPar = np;
          CursorLine = np->FirstLine;
          CursorOffset = 0;
          if (!LayoutSuppressed) {
            ParagraphChanged(par);
            ParagraphChanged(np);
            CursorPar = np;
            CursorLine = np->FirstLine;
            CursorOffset = 0;
          }
          scope = rsView;
          break;
        }
        case 127:
          UndoHook();
          if (HasSelection()) {
            DeleteSelection();
            scope = rsView;
            break;
          }
          if (DeleteAtCursor()) scope = rsView;
          break;
        default:
          UndoHook();
          if (HasSelection()) {
            DeleteSelection();
            scope = rsView;
          }
          if (!ProgramInput && (CurAttr.Extra & fxHidden)) break;
          InsertOne(static_cast<char>(ch), scope);
          if (LayoutSuppressed && InsertRuns) {
            // The ordinary characters that follow go in as one run.
            std::size_t end = k + 1;
            while (end < text.size() && IsRunChar(static_cast<unsigned char>(text[end]))) ++end;
            k += static_cast<std::size_t>(InsertRun(text.data() + k + 1, static_cast<int>(end - k - 1), scope));
          }
          break;
      }
    }
  } catch (...) {
    LayoutSuppressed = wasSuppressed;
    throw;
  }
  LayoutSuppressed = wasSuppressed;
  if (listsChanged) {
    RenumberLists(bulk || wasSuppressed);
    scope = rsView;
  }
  // Text put in without layout leaves the page positions to the caller's next full layout.
  if (bulk || wasSuppressed) LinesMoved();
  if (bulk) {
    // The layout of the touched paragraphs is done by the caller's Reformat; keep the cursor
    // inside its line.
    if (CursorLine != nullptr) CursorOffset = std::clamp(CursorOffset, 0, static_cast<int>(CursorLine->Length));
  }
  if (Host.Changed) Host.Changed();
  return scope;
}

void TRiRTFTextInput::RenumberLists(bool withoutLayout) {
  UpdateListNumbers(*this);
  // The cursor does not stay in front of or inside the number of its item.
  if (CursorPar != nullptr && CursorPar->ListByte != 0) {
    int numbers = 0;
    for (PTLine l = CursorPar->FirstLine; l != nullptr && l->HasAttrs(); l = l->Next) {
      int i = 0;
      while (i < l->Length && (l->Attrs[static_cast<std::size_t>(i)].Extra & fxListNumber)) ++i;
      numbers += i;
      if (i < l->Length) break;
    }
    if (ParPos(CursorPar, CursorLine, CursorOffset) < numbers) PlaceCursor(CursorPar, numbers);
  }
  if (withoutLayout) return;
  // Only the items whose numbers changed were marked.
  MeasureAll();
  FormatAll();
}

TRiObject* TRiRTFTextInput::InsertObject(std::uint16_t& tag, std::unique_ptr<TGraphic> graphic, int width,
                                         int height) {
  if (graphic == nullptr) throw Exception("No object was defined");
  const char placeholder = tag != 0 ? '\x01' : '\x02';
  const bool wasProgram = ProgramInput;
  struct RestoreInput {
    bool& flag;
    bool value;
    ~RestoreInput() { flag = value; }
  } restoreInput{ProgramInput, wasProgram};
  ProgramInput = true;
  // A place that refuses the placeholder (protected text, a protected paragraph, a full table
  // cell) gets no object, and a selection there stays.
  PTParagraph par = CursorPar;
  PTLine line = CursorLine;
  int offset = CursorOffset;
  if (HasSelection()) {
    PTParagraph ep;
    PTLine el;
    int eo;
    OrderedSelection(par, line, offset, ep, el, eo);
  }
  if (!TakesInputAt(placeholder, par, line, offset)) return nullptr;
  if (HasSelection()) {
    UndoHook();
    if (!DeleteSelection()) return nullptr;
  }
  PTParagraph at = CursorPar;
  if (at == nullptr) return nullptr;
  const int lengthBefore = ParagraphLength(at);
  TRiObject* object = AddObject(std::move(graphic), tag);
  if (object == nullptr) return nullptr;
  object->Width = width;
  object->Height = height;
  object->Sized = width > 0 && height > 0;
  // Character 1 names the object's tag (a generated one for 65535), character 2 its number.
  if (tag == 65535) tag = object->Tag;
  else if (tag == 0) tag = object->Number;
  const TAttr saved = CurAttr;
  CurAttr.Tag = tag;
  const int resX = std::max(1, Header().ResolutionX), resY = std::max(1, Header().ResolutionY);
  CurAttr.Width = static_cast<std::uint16_t>(std::clamp(MulDiv(width, resX, TwipsPerInch), 0, 65535));
  CurAttr.Height = static_cast<std::uint16_t>(std::clamp(MulDiv(height, resY, TwipsPerInch), 0, 65535));
  CurAttr.Extra = static_cast<std::uint8_t>((CurAttr.Extra | fxObject) & ~(fxInsertPoint | fxAutomatic));
  try {
    InputString(std::string(1, placeholder));
  } catch (...) {
    CurAttr = saved;
    RemoveObject(object);
    throw;
  }
  // Only the character this call put in is the object's: when none went in (the line was full),
  // the object goes again and the character before the cursor stays what it was.
  bool inserted = false;
  if (CursorPar == at && ParagraphLength(at) == lengthBefore + 1) {
    // Characters appended at a line end take only the look of the attributes: the placeholder
    // gets its object bit, tag and size here.
    const int pos = ParPos(CursorPar, CursorLine, CursorOffset);
    PTLine l;
    int off;
    if (pos > 0) {
      Locate(CursorPar, pos - 1, l, off);
      if (off < l->Length && l->HasAttrs() && l->Ch(off) == static_cast<unsigned char>(placeholder)) {
        inserted = true;
        TAttr& a = l->Attrs[static_cast<std::size_t>(off)];
        a.Extra = static_cast<std::uint8_t>((a.Extra | fxObject) & ~(fxInsertPoint | fxAutomatic));
        a.Tag = tag;
        a.Width = CurAttr.Width;
        a.Height = CurAttr.Height;
        a.Ascent = CurAttr.Height;
        ParagraphChanged(CursorPar);
        PlaceCursor(CursorPar, pos);
      }
    }
  }
  CurAttr = saved;
  CurAttr.Tag = 0;
  CurAttr.Extra &= static_cast<std::uint8_t>(~fxObject);
  if (!inserted) {
    RemoveObject(object);
    return nullptr;
  }
  return object;
}

bool TRiRTFTextInput::DeleteForward(int count) {
  if (ReadOnly || Busy || CursorPar == nullptr) return false;
  bool any = false;
  for (int i = 0; i < count; ++i) {
    if (!DeleteAtCursor()) break;
    any = true;
  }
  if (any) {
    Redraw();
    if (Host.Changed) Host.Changed();
  }
  return any;
}

// --- typing attributes ------------------------------------------------------------------------------

void TRiRTFTextInput::TakeTypingAttributes() {
  const TAttr before = CurAttr;
  if (FirstPar == nullptr || CursorPar == nullptr || CursorLine == nullptr || IsEmpty() ||
      !Header().AttributesInUse || PlainMode) {
    if (IsEmpty() && !KeepAttributes && !ProgramInput) {
      // An empty document keeps the attributes set for it.
    }
  } else {
    auto unusable = [&](const TAttr& a) {
      if (!Protection.Contains(TProtectProp::ppDontUseAttrOfProtected)) return false;
      return (Protection.Contains(TProtectProp::ppProtected) && (a.Extra & fxProtected)) ||
             (Protection.Contains(TProtectProp::ppIsInsertpoint) && (a.Extra & fxInsertPoint)) ||
             (Protection.Contains(TProtectProp::ppAutomatic) && (a.Extra & fxAutomatic)) ||
             (Protection.Contains(TProtectProp::ppHidden) && (a.Extra & fxHidden)) ||
             (Protection.Contains(TProtectProp::ppIsInvisible) && a.Width == 0);
    };
    const TAttr* source = nullptr;
    PTLine l = CursorLine;
    if (CursorOffset > 0 && l->HasAttrs() && l->Length > 0) {
      source = &l->Attrs[static_cast<std::size_t>(std::min<int>(CursorOffset, l->Length) - 1)];
    } else if (l->Prev != nullptr && l->Prev->HasAttrs() && l->Prev->Length > 0) {
      source = &l->Prev->Attrs[static_cast<std::size_t>(l->Prev->Length - 1)];
    } else if (l->HasAttrs() && l->Length > 0) {
      source = &l->Attrs[0];
    }
    if (source != nullptr && !unusable(*source)) CurAttr = *source;
  }
  if (SetMode != nullptr && !SameLook(before, CurAttr)) SetMode->AttributesChanged();
  if (!ProgramInput) {
    CurAttr.Extra &= static_cast<std::uint8_t>(~(fxHidden | fxFootnote | fxInsertPoint | fxAutomatic | fxObject | 0x80));
    if (Protection.Contains(TProtectProp::ppProtected)) CurAttr.Extra &= static_cast<std::uint8_t>(~fxProtected);
    CurAttr.Tag = 0;
  }
  CurAttr.Attr10 &= static_cast<std::uint8_t>(~7);
}

// --- cursor moves --------------------------------------------------------------------------------------

int TRiRTFTextInput::DesiredX() {
  if (desiredX_ < 0) desiredX_ = CharX(CursorPar, CursorLine, CursorOffset);
  return desiredX_;
}

void TRiRTFTextInput::BeginMove(bool extend, PTParagraph& par, PTLine& line, int& offset) {
  par = CursorPar;
  line = CursorLine;
  offset = CursorOffset;
  if (!extend) {
    if (HasSelection()) {
      ClearSelection();
      Redraw();
    }
    SelStartPar = nullptr;
  } else if (!HasSelection()) {
    SetSelection(par, line, false, offset);
  }
}

void TRiRTFTextInput::EndMove(bool extend, PTParagraph, PTLine, int, bool quiet) {
  if (extend && SelStartPar != nullptr) {
    SetSelection(CursorPar, CursorLine, true, CursorOffset);
    Redraw();
  }
  ScrollToCursor();
  UpdateCaret();
  TakeTypingAttributes();
  if (!quiet) {
    if (CursorMoved) CursorMoved();
    if (SetMode != nullptr) SetMode->ParagraphChanged();
  }
}

void TRiRTFTextInput::RepeatMove(int count, bool extend, bool quiet, bool keepColumn,
                                 const std::function<bool()>& step) {
  if (NoCursorDisplay || CursorPar == nullptr) return;
  PTParagraph p;
  PTLine l;
  int o;
  const int x = keepColumn ? DesiredX() : -1;
  BeginMove(extend, p, l, o);
  for (int i = 0; i < count; ++i)
    if (!step()) break;
  if (keepColumn)
    CursorOffset = x >= 9999 ? CursorLine->Length : CharAtX(CursorPar, CursorLine, x);
  else
    desiredX_ = -1;
  EndMove(extend, p, l, o, quiet);
}

bool TRiRTFTextInput::StepLine(bool up) {
  PTLine next = up ? CursorLine->Prev : CursorLine->Next;
  PTParagraph par = CursorPar;
  if (next == nullptr) {
    par = up ? CursorPar->Prev : CursorPar->Next;
    if (par == nullptr) return false;
    next = up ? Get_LastLine(par) : par->FirstLine;
  }
  CursorPar = par;
  CursorLine = next;
  return true;
}

void TRiRTFTextInput::CharLeft(int count, bool extend, bool quiet) {
  RepeatMove(count, extend, quiet, false, [this] {
    const int pos = ParPos(CursorPar, CursorLine, CursorOffset);
    if (pos > 0)
      PlaceCursor(CursorPar, pos - 1);
    else if (CursorPar->Prev != nullptr)
      PlaceCursor(CursorPar->Prev, ParagraphLength(CursorPar->Prev));
    return true;
  });
}

void TRiRTFTextInput::CharRight(int count, bool extend, bool quiet) {
  RepeatMove(count, extend, quiet, false, [this] {
    const int pos = ParPos(CursorPar, CursorLine, CursorOffset);
    if (pos < ParagraphLength(CursorPar))
      PlaceCursor(CursorPar, pos + 1);
    else if (CursorPar->Next != nullptr)
      PlaceCursor(CursorPar->Next, 0);
    return true;
  });
}

void TRiRTFTextInput::LineUp(int count, bool extend, bool quiet) {
  RepeatMove(count, extend, quiet, true, [this] { return StepLine(true); });
}

void TRiRTFTextInput::LineDown(int count, bool extend, bool quiet) {
  RepeatMove(count, extend, quiet, true, [this] { return StepLine(false); });
}

void TRiRTFTextInput::WordLeft(int count, bool extend, bool quiet) {
  RepeatMove(count, extend, quiet, false, [this] {
    int pos = ParPos(CursorPar, CursorLine, CursorOffset);
    if (pos == 0) {
      if (CursorPar->Prev != nullptr) PlaceCursor(CursorPar->Prev, ParagraphLength(CursorPar->Prev));
      return true;
    }
    const std::string text = ParagraphText(ParagraphNumber(CursorPar) - 1);
    auto at = [&](int k) { return static_cast<unsigned char>(text[static_cast<std::size_t>(k)]); };
    --pos;
    while (pos > 0 && !IsAlphaNumeric(at(pos))) --pos;
    while (pos > 0 && IsAlphaNumeric(at(pos - 1)) && at(pos - 1) != ' ' && at(pos - 1) != 8) --pos;
    PlaceCursor(CursorPar, pos);
    return true;
  });
}

void TRiRTFTextInput::WordRight(int count, bool extend, bool quiet) {
  RepeatMove(count, extend, quiet, false, [this] {
    int pos = ParPos(CursorPar, CursorLine, CursorOffset);
    const int len = ParagraphLength(CursorPar);
    if (pos >= len) {
      if (CursorPar->Next != nullptr) PlaceCursor(CursorPar->Next, 0);
      return true;
    }
    const std::string text = ParagraphText(ParagraphNumber(CursorPar) - 1);
    auto at = [&](int k) { return static_cast<unsigned char>(text[static_cast<std::size_t>(k)]); };
    while (pos < len && !IsAlphaNumeric(at(pos))) ++pos;
    while (pos < len && IsAlphaNumeric(at(pos))) ++pos;
    PlaceCursor(CursorPar, pos);
    return true;
  });
}

void TRiRTFTextInput::MoveCursor(int kind, bool extend) {
  if (NoCursorDisplay || CursorPar == nullptr) return;
  switch (kind) {
    case cmCharLeft: CharLeft(1, extend, false); return;
    case cmCharRight: CharRight(1, extend, false); return;
    case cmLineUp: LineUp(1, extend, false); return;
    case cmLineDown: LineDown(1, extend, false); return;
    case cmWordLeft: WordLeft(1, extend, false); return;
    case cmWordRight: WordRight(1, extend, false); return;
    default: break;
  }
  PTParagraph p;
  PTLine l;
  int o;
  if (kind == cmPageUp || kind == cmPageDown) {
    // A page is the window height: step lines until it is covered.
    const int x = DesiredX();
    BeginMove(extend, p, l, o);
    int covered = 0;
    const int page = std::max(1, WindowHeight());
    while (covered < page && StepLine(kind == cmPageUp)) covered += std::max<int>(1, CursorLine->Height);
    CursorOffset = x >= 9999 ? CursorLine->Length : CharAtX(CursorPar, CursorLine, x);
    EndMove(extend, p, l, o, false);
    return;
  }
  BeginMove(extend, p, l, o);
  switch (kind) {
    case cmLineStart:
      CursorOffset = 0;
      desiredX_ = 0;
      break;
    case cmLineEnd:
      CursorOffset = CursorLine->Length;
      // The end of a wrapped line is shown before its last blank.
      if (CursorLine->Next != nullptr && CursorOffset > 0 && CursorLine->Ch(CursorOffset - 1) == ' ') --CursorOffset;
      desiredX_ = 9999;
      break;
    case cmDocStart:
      CursorPar = FirstPar;
      CursorLine = FirstPar->FirstLine;
      CursorOffset = 0;
      desiredX_ = 0;
      break;
    case cmDocEnd:
      CursorPar = LastParagraph();
      CursorLine = Get_LastLine(CursorPar);
      CursorOffset = CursorLine->Length;
      desiredX_ = 9999;
      break;
    default:
      break;
  }
  EndMove(extend, p, l, o, false);
}

}  // namespace tw::richtext
