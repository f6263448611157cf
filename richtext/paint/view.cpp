// The view of the laid-out document: scroll offsets, the caret, and the mapping of window points
// to cursor positions.
#include <algorithm>
#include <cstdlib>

#include "richtext/paint/textpaint.h"

namespace tw::richtext {

void TRiRTFTextPaint::FindLineAt(int x, int y, PTParagraph& par, PTLine& line) const {
  par = nullptr;
  line = nullptr;
  for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) {
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      par = p;
      line = l;
      if (l->Top <= y && y <= l->Top + l->Height) {
        if (!p->IsCell() || (x >= LeftIndent(p, l) && x <= TextWidth() - RightIndent(p))) return;
      }
      if (x <= 0 && l->Top > y) return;
    }
  }
}

bool TRiRTFTextPaint::LinePlace(PTParagraph par, PTLine line, int& lineNumber, int& page, int& pageTop) {
  if (par == nullptr || line == nullptr || FirstPar == nullptr) return false;
  CompletePagesThrough(par);
  // Where to count from: the anchor when it lies a little before the paragraph, else the
  // document's start; an anchor a little after it is counted back from.
  constexpr int kNear = 4096;
  PTParagraph from = FirstPar;
  int lines = 0, pages = 1, top = 0;
  if (placeAnchor_ != nullptr) {
    PTParagraph back = par, ahead = par;
    for (int i = 0; i < kNear && (back != nullptr || ahead != nullptr); ++i) {
      if (back == placeAnchor_) {
        from = placeAnchor_;
        lines = placeLines_;
        pages = placePages_;
        top = placePageTop_;
        break;
      }
      if (ahead == placeAnchor_) {
        // Back from the anchor to the paragraph, then the page in effect there: the last page
        // start above it.
        CompletePagesThrough(placeAnchor_);
        lines = placeLines_;
        pages = placePages_;
        for (PTParagraph q = par; q != placeAnchor_; q = q->Next)
          for (PTLine l = q->FirstLine; l != nullptr; l = l->Next) {
            --lines;
            if ((l->Flags & lfPageStart) && (q != FirstPar || l != q->FirstLine)) --pages;
          }
        top = 0;
        bool found = false;
        for (PTParagraph q = par->Prev; q != nullptr && !found; q = q->Prev)
          for (PTLine l = TRiRTFText::Get_LastLine(q); l != nullptr; l = l->Prev)
            if ((l->Flags & lfPageStart) && (q != FirstPar || l != q->FirstLine)) {
              top = l->Top;
              found = true;
              break;
            }
        from = par;
        break;
      }
      if (back != nullptr) back = back->Prev;
      if (ahead != nullptr) ahead = ahead->Next;
    }
  }
  for (PTParagraph p = from; p != nullptr; p = p->Next) {
    if (p == par && !p->IsCell()) {
      placeAnchor_ = p;
      placeLines_ = lines;
      placePages_ = pages;
      placePageTop_ = top;
    }
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      if ((l->Flags & lfPageStart) && (p != FirstPar || l != p->FirstLine)) {
        ++pages;
        top = l->Top;
      }
      ++lines;
      if (l == line) {
        lineNumber = lines;
        page = pages;
        pageTop = top;
        return true;
      }
    }
  }
  return false;
}

// Moves the window contents and paints the uncovered strip when the control can move them and
// nothing fixed to the window (a background image that does not scroll) would be moved along.
void TRiRTFTextPaint::MoveContents(int dx, int dy) {
  const bool small = dy != 0 ? std::abs(dy) < windowHeight_ : std::abs(dx) < windowWidth_;
  const bool movable = !Has(loNoBackground) && !Has(loTransparent) && (BackgroundImage == nullptr || BackgroundScrolling);
  TRect uncovered{};
  if (small && movable && Host.ScrollWindow && !Has(loOffScreen) && Host.ScrollWindow(dx, dy, uncovered))
    PaintRect(uncovered.Left, uncovered.Top, uncovered.Height(), uncovered.Width());
  else
    Redraw();
}

void TRiRTFTextPaint::ScrollDown(int dy) {
  if (Has(loNoScrolling)) return;
  scrolling_ = true;
  const int before = vertOffset_;
  vertOffset_ += dy;
  if (dy > windowHeight_) {
    PTParagraph p;
    PTLine l;
    CompletePages();  // the walk reads the tops down to the line found
    FindLineAt(0, vertOffset_ + 1, p, l);
    if (l != nullptr) {
      const bool lastLine = p->Next == nullptr && l->Next == nullptr;
      if (lastLine)
        vertOffset_ = std::max(0, l->Top - 2 * (windowHeight_ / 3));
      else
        vertOffset_ = l->Top;
    }
  }
  if (Host.BeforePaint) Host.BeforePaint();
  MoveContents(0, before - vertOffset_);
  if (Host.VertScrolled) Host.VertScrolled();
  if (Host.AfterPaint) Host.AfterPaint();
  scrolling_ = false;
  UpdateCaret();
}

void TRiRTFTextPaint::ScrollUp(int dy) {
  if (Has(loNoScrolling)) return;
  dy = std::min(dy, vertOffset_);
  if (dy <= 0) return;
  scrolling_ = true;
  vertOffset_ -= dy;
  if (Host.BeforePaint) Host.BeforePaint();
  MoveContents(0, dy);
  if (Host.VertScrolled) Host.VertScrolled();
  if (Host.AfterPaint) Host.AfterPaint();
  scrolling_ = false;
  if (Host.HorzScrolled) Host.HorzScrolled();
  UpdateCaret();
}

void TRiRTFTextPaint::ScrollRight(int dx) {
  if (Has(loNoScrolling)) return;
  // The text's right edge may not move left of the window's right edge.
  dx = std::min(dx, TextWidth() + horzOffset_ - windowWidth_);
  if (dx <= 0) return;
  scrolling_ = true;
  horzOffset_ -= dx;
  if (Host.BeforePaint) Host.BeforePaint();
  MoveContents(-dx, 0);
  if (Host.HorzScrolled) Host.HorzScrolled();
  if (Host.AfterPaint) Host.AfterPaint();
  scrolling_ = false;
  UpdateCaret();
}

void TRiRTFTextPaint::ScrollLeft(int dx) {
  if (Has(loNoScrolling)) return;
  dx = std::min(dx, -horzOffset_);
  if (dx <= 0) return;
  scrolling_ = true;
  horzOffset_ += dx;
  if (Host.BeforePaint) Host.BeforePaint();
  MoveContents(dx, 0);
  if (Host.HorzScrolled) Host.HorzScrolled();
  if (Host.AfterPaint) Host.AfterPaint();
  scrolling_ = false;
  UpdateCaret();
}

void TRiRTFTextPaint::VertScroll(int kind, int position) {
  if (Has(loOffScreen) || kind < 0 || kind > 7) return;
  const bool atEnd = vertOffset_ + windowHeight_ >= DocumentHeight;
  switch (kind) {
    case 0: ScrollUp(16); break;
    case 1: if (!atEnd) ScrollDown(16); break;
    case 2: ScrollUp(windowHeight_); break;
    case 3: if (!atEnd) ScrollDown(windowHeight_); break;
    case 4:
    case 5:
      if (position > vertOffset_) ScrollDown(position - vertOffset_);
      else if (position < vertOffset_) ScrollUp(vertOffset_ - position);
      break;
    case 6: ScrollUp(vertOffset_); break;
    case 7: ScrollDown(16777215); break;
    default: break;
  }
}

void TRiRTFTextPaint::HorzScroll(int kind, int position) {
  if (Has(loOffScreen) || kind < 0 || kind > 7) return;
  switch (kind) {
    case 0: ScrollLeft(16); break;
    case 1: ScrollRight(16); break;
    case 2: ScrollLeft(windowWidth_ - windowWidth_ / 4); break;
    case 3: ScrollRight(windowWidth_ - windowWidth_ / 4); break;
    case 4:
    case 5:
      if (position > -horzOffset_) ScrollRight(position + horzOffset_);
      else if (position < -horzOffset_) ScrollLeft(-horzOffset_ - position);
      break;
    case 6: ScrollLeft(-horzOffset_); break;
    case 7: ScrollRight(16777215); break;
    default: break;
  }
}

void TRiRTFTextPaint::MouseToCursor(int x, int y, bool makeVisible, bool extend) {
  if (Has(loOffScreen) || Has(loMouseKeepsCursor) || FirstPar == nullptr) return;
  CompletePages();  // the line under the point is found by its top
  const bool wasVisible = CursorLine != nullptr && CursorLine->Top - vertOffset_ >= 0 &&
                          CursorLine->Top - vertOffset_ + CursorLine->Height <= windowHeight_;
  const int docX = x - LeftOffset - horzOffset_;
  const int docY = y - TopOffset + vertOffset_;
  PTParagraph p;
  PTLine l;
  FindLineAt(docX, docY, p, l);
  if (l != nullptr && docY >= l->Top && docY <= l->Top + l->Height) {
    PTParagraph oldPar = CursorPar;
    PTLine oldLine = CursorLine;
    const int oldOffset = CursorOffset;
    CursorPar = p;
    CursorLine = l;
    CursorOffset = CharAtX(p, l, docX);
    if (extend) {
      if (oldLine != CursorLine || oldOffset != CursorOffset) {
        if (!HasSelection() && oldPar != nullptr) SetSelection(oldPar, oldLine, false, oldOffset);
        SetSelection(CursorPar, CursorLine, true, CursorOffset);
        extending_ = true;
      }
    } else {
      extending_ = false;
    }
    if (makeVisible && wasVisible) {
      const int overlap = CursorLine->Top - vertOffset_ + CursorLine->Height - windowHeight_;
      if (overlap > 0) ScrollDown(overlap);
    }
  }
  ScrollToCursor();
}

void TRiRTFTextPaint::UpdateCaretMetrics() {
  if (CursorLine == nullptr) return;
  PTLine l = CursorLine;
  caretWidth_ = 1;
  if (l->HasAttrs() && !PlainMode && CursorOffset < l->Length) {
    const TAttr& a = l->Attrs[static_cast<std::size_t>(CursorOffset)];
    caretHeight_ = a.Width > 1 ? a.Ascent : std::max<int>(1, l->Ascent);
    caretWidth_ = InsertMode ? 1 : std::max<int>(1, a.Width);
  } else {
    caretHeight_ = DefaultAscent;
    if (l->Ascent != 0 && l->Ascent < caretHeight_) caretHeight_ = l->Ascent;
    if (!InsertMode && CursorOffset < l->Length) caretWidth_ = std::max(1, CharWidthAt(l, CursorOffset));
  }
  caretY_ = std::max(l->Top, l->Top + l->Ascent - caretHeight_);
}

void TRiRTFTextPaint::UpdateCaret() {
  if (Has(loSuspended) || CursorLine == nullptr) return;
  CompletePagesThrough(CursorPar);
  caretX_ = CharX(CursorPar, CursorLine, CursorOffset);
  UpdateCaretMetrics();
  const int wy = caretY_ - vertOffset_;
  const int lineTop = CursorLine->Top - vertOffset_;
  const int wx = caretX_ + horzOffset_;
  if (wy >= 0 && lineTop <= windowHeight_ && wx >= 0 && wx <= windowWidth_) {
    if (Host.ShowCaret) Host.ShowCaret(wx + LeftOffset, wy + TopOffset, caretWidth_, caretHeight_);
  } else if (Host.HideCaret) {
    Host.HideCaret();
  }
}

void TRiRTFTextPaint::ScrollToCursor() {
  if (CursorLine == nullptr) return;
  CompletePagesThrough(CursorPar);
  int visibleHeight = windowHeight_, visibleWidth = windowWidth_;
  TRect r;
  if (Host.ClientRect && Host.ClientRect(r)) {
    visibleHeight = r.Height();
    visibleWidth = r.Width();
  }
  if (!Has(loOffScreen)) {
    PTLine l = CursorLine;
    if (l->Top < vertOffset_) {
      ScrollUp(vertOffset_ - l->Top);
    } else if (l->Top + l->Height > vertOffset_ + visibleHeight) {
      // A line higher than the window shows its top at the window top.
      ScrollDown(l->Top - vertOffset_);
    }
  }
  caretX_ = CharX(CursorPar, CursorLine, CursorOffset);
  UpdateCaretMetrics();
  const int wx = caretX_ + horzOffset_;
  if (wx < 0)
    ScrollLeft(visibleWidth / 3 - wx);
  else if (wx > visibleWidth - 4)
    ScrollRight(visibleWidth / 3 + (wx - visibleWidth));
  if (Host.PositionChanged) Host.PositionChanged();
  if (caretY_ != reportedCaretY_) {
    reportedCaretY_ = caretY_;
    if (Host.CaretYChanged) Host.CaretYChanged();
  }
  if (caretX_ != reportedCaretX_) {
    reportedCaretX_ = caretX_;
    if (Host.CaretXChanged) Host.CaretXChanged();
  }
}

}  // namespace tw::richtext
