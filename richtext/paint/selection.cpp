// The selection (setting, extending, reporting, deleting) and the formatting commands that act on
// the selection or, without one, on the cursor paragraph.
#include <algorithm>
#include <cstring>
#include <vector>

#include "richtext/paint/textpaint.h"

namespace tw::richtext {

namespace {

struct FlagGuard {
  bool& flag;
  explicit FlagGuard(bool& f) : flag(f) { flag = true; }
  ~FlagGuard() { flag = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;
};

// True when `a` comes before `b` in the paragraph chain starting at `first`.
bool ParagraphBefore(PTParagraph first, PTParagraph a, PTParagraph b) {
  for (PTParagraph p = first; p != nullptr; p = p->Next) {
    if (p == a) return p != b;
    if (p == b) return false;
  }
  return false;
}

bool LineBefore(PTParagraph par, PTLine a, PTLine b) {
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) {
    if (l == a) return l != b;
    if (l == b) return false;
  }
  return false;
}

// The line after `l` in document order: the next line of its paragraph, else the first line of
// the next paragraph (both nil at the end of the document).
void StepToNextLine(PTParagraph& p, PTLine& l) {
  if (l->Next != nullptr) {
    l = l->Next;
  } else {
    p = p->Next;
    l = p != nullptr ? p->FirstLine : nullptr;
  }
}

}  // namespace

void TRiRTFTextPaint::ClearSelection() {
  const bool had = HasSelection();
  SelStartPar = SelEndPar = nullptr;
  SelStartLine = SelEndLine = nullptr;
  SelStartOffset = SelEndOffset = 0;
  SelReversed = false;
  if (had) {
    for (PTParagraph p = FirstPar; p != nullptr; p = p->Next)
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) l->PaintState = psNormal;
  }
}

void TRiRTFTextPaint::MarkSelectionLines() {
  const bool rev = SelReversed;
  PTLine firstLine = rev ? SelEndLine : SelStartLine, lastLine = rev ? SelStartLine : SelEndLine;
  bool inside = false;
  for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) {
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      const bool isFirst = l == firstLine, isLast = l == lastLine;
      if (isFirst) inside = true;
      if (isFirst || isLast)
        l->PaintState = psSelectionEnd;
      else if (inside)
        l->PaintState = l->PaintState == psSelected ? psSelected : psPartly;
      else
        l->PaintState = psNormal;
      if (isLast) inside = false;
    }
  }
}

void TRiRTFTextPaint::SetSelection(PTParagraph par, PTLine line, bool extend, int offset) {
  if (SelectionLocked) return;
  if (line != nullptr) offset = std::clamp(offset, 0, static_cast<int>(line->Length));
  if (!extend || SelStartPar == nullptr) {
    if (HasSelection()) {
      ClearSelection();
      Redraw();
    }
    SelStartPar = SelEndPar = nullptr;
    SelStartLine = SelEndLine = nullptr;
    if (par != nullptr && line != nullptr) {
      SelStartPar = par;
      SelStartLine = line;
      SelStartOffset = offset;
    }
    if (Host.SelectionChanged) Host.SelectionChanged();
    return;
  }
  if (par == nullptr || line == nullptr) return;
  if (SelEndPar == par && SelEndLine == line && SelEndOffset == offset) return;
  // A selection that reaches into another table cell takes the whole cell; the cell's place in
  // the document, not its top (the cells of a row share one), says which end comes first.
  if (par != SelStartPar && par->IsCell()) {
    const bool endBefore = ParagraphBefore(FirstPar, par, SelStartPar);
    SelReversed = endBefore;
    if (endBefore) {
      line = par->FirstLine;
      offset = 0;
    } else {
      line = Get_LastLine(par);
      offset = line->Length;
    }
    if (SelStartPar->IsCell()) {
      if (endBefore) {
        SelStartLine = Get_LastLine(SelStartPar);
        SelStartOffset = SelStartLine->Length;
      } else {
        SelStartLine = SelStartPar->FirstLine;
        SelStartOffset = 0;
      }
    }
  }
  SelEndPar = par;
  SelEndLine = line;
  SelEndOffset = offset;
  // The order of the ends is read from their tops.
  CompletePagesThrough(SelStartPar);
  CompletePagesThrough(SelEndPar);
  if (SelStartLine == SelEndLine) {
    SelReversed = SelStartOffset > SelEndOffset;
  } else if (SelStartPar == SelEndPar) {
    SelReversed = SelStartLine->Top != SelEndLine->Top ? SelStartLine->Top > SelEndLine->Top
                                                        : LineBefore(SelStartPar, SelEndLine, SelStartLine);
  } else {
    const int ts = SelStartPar->FirstLine->Top, te = SelEndPar->FirstLine->Top;
    if (ts != te)
      SelReversed = ts > te;
    else if (!(SelStartPar->IsCell() && SelEndPar->IsCell()))
      SelReversed = ParagraphBefore(FirstPar, SelEndPar, SelStartPar);
  }
  MarkSelectionLines();
  Redraw();
  if (Host.SelectionChanged) Host.SelectionChanged();
}

bool TRiRTFTextPaint::GetSelection(int& start, int& length) const {
  start = length = 0;
  if (!HasSelection()) return false;
  int a1, l1, o1, p1, a2, l2, o2, p2;
  CountPosition(SelStartPar, SelStartLine, SelStartOffset, a1, l1, o1, p1);
  CountPosition(SelEndPar, SelEndLine, SelEndOffset, a2, l2, o2, p2);
  start = std::min(a1, a2);
  length = std::abs(a2 - a1);
  return true;
}

void TRiRTFTextPaint::SelectRange(int position, int length) {
  if (length < 1) {
    if (HasSelection()) {
      ClearSelection();
      Redraw();
    }
    SelStartPar = nullptr;
  } else {
    PTParagraph p1, p2;
    PTLine l1, l2;
    int o1, o2;
    LocatePosition(position, 0, 0, 0, p1, l1, o1);
    LocatePosition(position + length, 0, 0, 0, p2, l2, o2);
    // Locating 0 falls back to the line/offset rules, which give the document start.
    if (position == 0) {
      p1 = FirstPar;
      l1 = FirstPar->FirstLine;
      o1 = 0;
    }
    SetSelection(p1, l1, false, o1);
    SetSelection(p2, l2, true, o2);
  }
  if (Host.SelectionChanged) Host.SelectionChanged();
}

bool TRiRTFTextPaint::SelectObject(std::uint16_t startTag, std::uint16_t endTag) {
  const unsigned char code = startTag != 0 ? 1 : 2;
  const std::uint16_t tag = startTag != 0 ? startTag : endTag;
  for (PTParagraph p = FirstPar; p != nullptr; p = p->Next)
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      if (!l->HasAttrs()) continue;
      for (int i = 0; i < l->Length; ++i) {
        const TAttr& a = l->Attrs[static_cast<std::size_t>(i)];
        if (l->Ch(i) != code || !(a.Extra & fxObject) || a.Tag != tag) continue;
        SetSelection(p, l, false, i);
        SetSelection(p, l, true, i + 1);
        if (Host.SelectionChanged) Host.SelectionChanged();
        return true;
      }
    }
  return false;
}

void TRiRTFTextPaint::OrderedSelection(PTParagraph& sp, PTLine& sl, int& so, PTParagraph& ep, PTLine& el,
                                       int& eo) const {
  sp = SelStartPar;
  ep = SelEndPar;
  sl = SelStartLine;
  el = SelEndLine;
  so = SelStartOffset;
  eo = SelEndOffset;
  int startAt, endAt, ln, po, pn;
  CountPosition(sp, sl, so, startAt, ln, po, pn);
  CountPosition(ep, el, eo, endAt, ln, po, pn);
  if (startAt > endAt || (startAt == endAt && SelReversed)) {
    std::swap(sp, ep);
    std::swap(sl, el);
    std::swap(so, eo);
  }
}

bool TRiRTFTextPaint::ProtectedInSelection(PTParagraph& par, PTLine& line, int& offset) const {
  if (!HasSelection() || ProtectionOff || !Header().AttributesInUse) return false;
  PTParagraph sp, ep;
  PTLine sl, el;
  int so, eo;
  OrderedSelection(sp, sl, so, ep, el, eo);
  auto prot = [](PTLine l, int i) {
    return l != nullptr && l->HasAttrs() && i >= 0 && i < l->Length &&
           (l->Attrs[static_cast<std::size_t>(i)].Extra & fxProtected);
  };
  // Protected text at both edges, or anywhere with ppProtectSelectedTextToo: the walk stops at
  // the first protected character.
  const bool edges = (prot(sl, so) || prot(el, eo - 1)) && (prot(sl, so - 1) || prot(el, eo));
  if (!edges && !Protection.Contains(TProtectProp::ppProtectSelectedTextToo)) return false;
  PTParagraph p = sp;
  PTLine l = sl;
  int i = so;
  while (p != nullptr) {
    const int stop = l == el ? eo : l->Length;
    for (; i < stop; ++i)
      if (prot(l, i)) {
        par = p;
        line = l;
        offset = i;
        return true;
      }
    if (l == el) break;
    StepToNextLine(p, l);
    i = 0;
  }
  return false;
}

bool TRiRTFTextPaint::SelectionDeletable() const {
  PTParagraph par;
  PTLine line;
  int offset;
  return HasSelection() && !Busy && !ProtectedInSelection(par, line, offset);
}

bool TRiRTFTextPaint::DeleteSelection() {
  if (!HasSelection() || Busy) return false;
  // Protected text refuses the deletion; the cursor goes to its first character.
  if (ProtectedInSelection(CursorPar, CursorLine, CursorOffset)) return false;
  // The ends in document order, by their places: the deletion below walks from the first to
  // the last, and a wrong order would empty everything after the first.
  PTParagraph sp, ep;
  PTLine sl, el;
  int so, eo;
  OrderedSelection(sp, sl, so, ep, el, eo);
  {
    FlagGuard busy(Busy);
    int a, ln, startInPar, pn, endInPar;
    CountPosition(sp, sl, so, a, ln, startInPar, pn);
    CountPosition(ep, el, eo, a, ln, endInPar, pn);
    CursorPar = sp;
    CursorLine = sl;
    CursorOffset = so;
    if (sp == ep) {
      DeleteChars(sp, startInPar, endInPar - startInPar);
    } else {
      bool crossesCells = sp->IsCell() || ep->IsCell();
      for (PTParagraph p = sp->Next; p != nullptr && p != ep && !crossesCells; p = p->Next) crossesCells = p->IsCell();
      DeleteChars(sp, startInPar, ParagraphLength(sp) - startInPar);
      DeleteChars(ep, 0, endInPar);
      if (crossesCells) {
        for (PTParagraph p = sp->Next; p != nullptr && p != ep; p = p->Next) {
          for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
            l->Length = 0;
            l->Buffer[0] = 0;
            l->PaintState = psNormal;
          }
          p->Mark();
        }
      } else {
        PTParagraph p = sp->Next;
        while (p != nullptr && p != ep) DeleteParagraph(p);
        // Append the last paragraph's lines to the first one.
        PTLine tail = Get_LastLine(sp);
        PTLine moved = ep->FirstLine;
        if (tail->Length == 0 && moved != nullptr) {
          // An emptied first line gives way to the moved text (keeping its paragraph look).
          if (tail->Prev != nullptr) {
            tail->Prev->Next = moved;
            moved->Prev = tail->Prev;
          } else {
            sp->FirstLine = moved;
            moved->Prev = nullptr;
          }
          delete tail;
          if (CursorLine == tail) {
            CursorLine = moved;
            CursorOffset = 0;
          }
        } else if (moved != nullptr) {
          tail->Next = moved;
          moved->Prev = tail;
        }
        ep->FirstLine = nullptr;
        // Unlink and free the emptied record.
        if (ep->Prev != nullptr) ep->Prev->Next = ep->Next;
        if (ep->Next != nullptr) ep->Next->Prev = ep->Prev;
        delete ep;
      }
    }
    ClearSelection();
    SelectedObjectRect = TRect{};
    SelectedObjectTag = 0;
    CursorPar->Mark();
  }
  MeasureAll();
  FormatAll();
  Redraw();
  if (Host.Changed) Host.Changed();
  if (Host.SelectionChanged) Host.SelectionChanged();
  return true;
}

// --- character attributes -------------------------------------------------------------------------

void TRiRTFTextPaint::SetCharAttr(PTLine line, int index, std::uint16_t mask, const TAttr& attr) {
  // A font the table cannot name is refused before anything takes it.
  if (mask & amFont) CheckFont(attr);
  if (line == nullptr) {
    ApplyAttr(CurAttr, attr, mask);
    return;
  }
  if (!line->HasAttrs() || index < 0 || index >= line->Length) return;
  TAttr& a = line->Attrs[static_cast<std::size_t>(index)];
  ApplyAttr(a, attr, mask);
  const unsigned char ch = line->Ch(index);
  const bool object = (ch == 1 || ch == 2) && (a.Extra & fxObject);
  if (!object) {
    MeasureFont(&a);
    a.Ascent = static_cast<std::uint16_t>(fontAscent_);
    a.Height = static_cast<std::uint16_t>(fontHeight_);
    a.Width = static_cast<std::uint16_t>(WidthTable[ch]);
    if (Invisible(a, ch)) a.Width = 0;
    if (line->Ascent < fontAscent_) line->Ascent = static_cast<std::uint16_t>(fontAscent_);
    if (line->Height < fontHeight_) line->Height = static_cast<std::uint16_t>(fontHeight_);
    if (TagSwitch) a.Tag = CurAttr.Tag;
  } else if (TagSwitch) {
    a.Tag = CurAttr.Tag;
    a.Width = Invisible(CurAttr, ch) ? 0 : CurAttr.Width;
    a.Height = CurAttr.Height;
  }
}

void TRiRTFTextPaint::SetRunCharAttr(PTLine line, int index, std::uint16_t mask, const TAttr& attr,
                                     TRunAttrMemo& memo) {
  if (line == nullptr || !line->HasAttrs() || index < 0 || index >= line->Length) return;
  if (mask & amFont) CheckFont(attr);
  TAttr& a = line->Attrs[static_cast<std::size_t>(index)];
  const unsigned char ch = line->Ch(index);
  const bool maybeObject = ch == 1 || ch == 2;
  if (memo.Valid && !maybeObject && std::memcmp(&a, &memo.Slot, sizeof(TAttr)) == 0) {
    a = memo.Result;
    a.Width = memo.Hidden ? 0 : static_cast<std::uint16_t>(WidthTable[ch]);
    if (line->Ascent < fontAscent_) line->Ascent = static_cast<std::uint16_t>(fontAscent_);
    if (line->Height < fontHeight_) line->Height = static_cast<std::uint16_t>(fontHeight_);
    return;
  }
  const TAttr slot = a;
  ApplyAttr(a, attr, mask);
  if (maybeObject && (a.Extra & fxObject)) {
    if (TagSwitch) {
      a.Tag = CurAttr.Tag;
      a.Width = Invisible(CurAttr, ch) ? 0 : CurAttr.Width;
      a.Height = CurAttr.Height;
    }
    return;
  }
  // SelectAttr reads font, size, colours, style, the extra byte and the spelling marks.
  const TAttr& look = memo.Look;
  const bool sameLook = memo.Valid && a.Font == look.Font && a.Size == look.Size && a.Colors == look.Colors &&
                        a.Style == look.Style && a.Extra == look.Extra && a.Attr10 == look.Attr10;
  if (!sameLook) MeasureFont(&a);
  a.Ascent = static_cast<std::uint16_t>(fontAscent_);
  a.Height = static_cast<std::uint16_t>(fontHeight_);
  a.Width = static_cast<std::uint16_t>(WidthTable[ch]);
  const bool hidden = Invisible(a, ch);
  if (hidden) a.Width = 0;
  if (line->Ascent < fontAscent_) line->Ascent = static_cast<std::uint16_t>(fontAscent_);
  if (line->Height < fontHeight_) line->Height = static_cast<std::uint16_t>(fontHeight_);
  if (TagSwitch) a.Tag = CurAttr.Tag;
  memo.Valid = true;
  memo.Look = a;
  memo.Slot = slot;
  memo.Result = a;
  memo.Hidden = hidden;
}

void TRiRTFTextPaint::SetAttr(const TAttr& attr, std::uint16_t mask) {
  // Refused before the first selected character changes.
  if (mask & amFont) CheckFont(attr);
  if (HasSelection() && SelEndLine != nullptr && SelEndLine->HasAttrs()) {
    PTParagraph sp = SelStartPar, ep = SelEndPar;
    PTLine sl = SelStartLine, el = SelEndLine;
    int so = SelStartOffset, eo = SelEndOffset;
    if (SelReversed) {
      std::swap(sp, ep);
      std::swap(sl, el);
      std::swap(so, eo);
    }
    PTParagraph p = sp;
    PTLine l = sl;
    int i = so;
    while (p != nullptr && l != nullptr) {
      const int stop = std::min<int>(l == el ? eo : l->Length, l->Length);
      for (; i < stop; ++i) SetCharAttr(l, i, mask, attr);
      p->LayoutFlags |= lyNeedsBreak;
      if (l == el) break;
      StepToNextLine(p, l);
      i = 0;
    }
    MeasureAll();
    FormatAll();
    Redraw();
    UpdateCaret();
    ScrollToCursor();
  }
  SetCharAttr(nullptr, 0, mask, attr);
  if (!Has(loSuspended)) {
    MeasureFont(&CurAttr);
    if (!Header().AttributesInUse) ReformatAll();
    if (!Has(loOffScreen) && Host.RulerUpdate) Host.RulerUpdate();
  }
}

// --- paragraph commands ---------------------------------------------------------------------------

void TRiRTFTextPaint::ForEachSelectedParagraph(const std::function<void(PTParagraph)>& fn) {
  if (!HasSelection()) {
    if (CursorPar != nullptr) fn(CursorPar);
    return;
  }
  PTParagraph a = SelReversed ? SelEndPar : SelStartPar, b = SelReversed ? SelStartPar : SelEndPar;
  for (PTParagraph p = a; p != nullptr; p = p->Next) {
    fn(p);
    if (p == b) break;
  }
}

void TRiRTFTextPaint::SetIndents(bool visibleOnly, int firstLine, int left, int right) {
  if (FormatLocked) return;
  auto keep = [](int v) { return v == riKeep || v >= 65000; };
  std::vector<PTParagraph> changed;
  auto apply = [&](PTParagraph p) {
    bool any = false;
    if (!keep(firstLine) && p->FirstIndent != firstLine) p->FirstIndent = firstLine, any = true;
    if (!keep(left) && p->LeftIndent != left) p->LeftIndent = left, any = true;
    if (!keep(right) && p->RightIndent != right) p->RightIndent = right, any = true;
    if (any) {
      p->LayoutFlags |= lyNeedsBreak;
      changed.push_back(p);
    }
  };
  ForEachSelectedParagraph([&](PTParagraph p) {
    if (p->IsCell()) {
      // Every cell of the row takes the values.
      PTParagraph first = p;
      while (first->Prev != nullptr && first->Prev->IsCell() && (first->Prev->Flags & pfRowGoesOn)) first = first->Prev;
      for (PTParagraph c = first; c != nullptr && c->IsCell(); c = c->Next) {
        apply(c);
        if (!(c->Flags & pfRowGoesOn)) break;
      }
    } else {
      apply(p);
    }
  });
  if (changed.empty()) return;
  if (visibleOnly) {
    CompletePages();
    for (PTParagraph p : changed) {
      const int top = p->FirstLine->Top - vertOffset_;
      if (top >= 0 && top <= windowHeight_) {
        int change = 0;
        FormatParagraph(p, true, change);
      }
    }
    FormatAll();
  } else {
    FormatAll();
  }
  Redraw();
}

void TRiRTFTextPaint::SetAlignment(int alignment) {
  if (FormatLocked || alignment < 0 || alignment > 3) return;
  const auto value = static_cast<std::uint8_t>(alignment);
  if (!HasSelection()) {
    if (CursorPar == nullptr || CursorPar->Alignment == value) return;
    CursorPar->Alignment = value;
    int change = 0;
    FormatParagraph(CursorPar, false, change);
    Paginate();
    ScrollToCursor();
    Redraw();
    return;
  }
  ForEachSelectedParagraph([&](PTParagraph p) {
    if (p->Alignment != value) {
      p->Alignment = value;
      p->LayoutFlags |= lyNeedsBreak;
    }
  });
  FormatAll();
  Redraw();
}

void TRiRTFTextPaint::SetTabs(TTabSet tabs, bool clear) {
  if (FormatLocked) return;
  ForEachSelectedParagraph([&](PTParagraph p) {
    p->Tabs = clear ? (p->Tabs & ~tabs) : (p->Tabs | tabs);
    p->LayoutFlags |= lyNeedsBreak;
  });
  FormatAll();
  Redraw();
  if (CursorPar != nullptr) Header().TabSetLast = CursorPar->Tabs;
}

void TRiRTFTextPaint::SetShading(int shading, int colors) {
  if (FormatLocked) return;
  ForEachSelectedParagraph([&](PTParagraph p) {
    p->ShadingPercent = static_cast<std::uint8_t>(std::clamp(shading, 0, 255));
    p->Shading = static_cast<std::uint8_t>(colors);
  });
  Redraw();
}

}  // namespace tw::richtext
