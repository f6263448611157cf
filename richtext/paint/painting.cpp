// Painting the laid-out lines onto the reference canvas: background, text runs with the advances
// the layout used, the selection, underlines and spell marks, pictures, page marks and borders.
#include <algorithm>
#include <utility>
#include <vector>

#include "platform/gfx/devicecontext.h"
#include "platform/gfx/font.h"
#include "platform/gfx/graphic.h"
#include "richtext/paint/textpaint.h"

namespace tw::richtext {

namespace {

bool IsObjectChar(unsigned char ch, const TAttr& a) { return (ch == 1 || ch == 2) && (a.Extra & fxObject); }

bool SamePaintRun(const TAttr& a, const TAttr& b) {
  return a.Font == b.Font && a.Size == b.Size && a.Colors == b.Colors && a.Style == b.Style && a.Extra == b.Extra &&
         a.Attr10 == b.Attr10;
}

// An empty document shows its mark with the top-left corner at the middle of the window.
void PaintEmpty(TCanvas& c, TColor back, int width, int height) {
  c.Brush()->SetColor(back);
  c.FillRect(TRect{0, 0, width, height});
  c.SetTextAlign(TA_TOP);
  c.Font()->SetColor(clWindowText);
  c.TextOut(width / 2, height / 2, "<empty>");
}

}  // namespace

void TRiRTFTextPaint::Redraw() {
  if (Busy || RedrawBlocked || UpdatePending || Has(loSuspended)) return;
  lastBottom_ = 0;
  if (Has(loOffScreen) || canvas_ == nullptr) return;
  if (Host.CanPaint && !Host.CanPaint()) return;
  if (!Has(loNoClipping)) canvas_->ResetClip();
  if (FirstPar == nullptr || IsEmpty()) {
    PaintEmpty(*canvas_, Has(loWhiteBackground) ? clWhite : BackgroundColor, windowWidth_, windowHeight_);
    return;
  }
  PaintRect(0, 0, windowHeight_, windowWidth_);
}

void TRiRTFTextPaint::Paint() {
  if (Busy || RedrawBlocked || Has(loSuspended) || Has(loOffScreen) || canvas_ == nullptr) return;
  if (Host.CanPaint && !Host.CanPaint()) return;
  if (FirstPar == nullptr || IsEmpty()) {
    PaintEmpty(*canvas_, Has(loWhiteBackground) ? clWhite : BackgroundColor, windowWidth_, windowHeight_);
    return;
  }
  PaintRect(0, 0, windowHeight_, windowWidth_);
}

bool TRiRTFTextPaint::PaintBackground(TCanvas* canvas, const TRect& r) {
  if (BackgroundImage == nullptr || BackgroundImage->Empty() || Has(loPlainOutput) || canvas == nullptr) return false;
  auto* bitmap = dynamic_cast<TBitmap*>(BackgroundImage);
  const int w = BackgroundImage->Width(), h = BackgroundImage->Height();
  if (w < 1 || h < 1) return false;
  // With background scrolling the tiles move with the text; otherwise they stay with the window.
  const int shift = BackgroundScrolling ? vertOffset_ % h : 0;
  auto floorTo = [](int v, int unit) { return v >= 0 ? v / unit * unit : -((-v + unit - 1) / unit) * unit; };
  for (int ty = floorTo(r.Top + shift, h) - shift; ty < r.Bottom; ty += h) {
    for (int tx = floorTo(r.Left, w); tx < r.Right; tx += w) {
      const TRect piece{std::max(tx, r.Left), std::max(ty, r.Top), std::min(tx + w, r.Right), std::min(ty + h, r.Bottom)};
      if (piece.Width() <= 0 || piece.Height() <= 0) continue;
      if (bitmap != nullptr) {
        const TRect src{piece.Left - tx, piece.Top - ty, piece.Right - tx, piece.Bottom - ty};
        canvas->CopyRect(piece, bitmap->Canvas(), src);
      } else {
        canvas->Draw(tx, ty, BackgroundImage);
      }
    }
  }
  return true;
}

void TRiRTFTextPaint::PaintRect(int x, int y, int h, int w) {
  if (h < 1 || w < 1 || Busy || Has(loOffScreen) || Has(loSuspended) || canvas_ == nullptr) return;
  if (Host.CanPaint && !Host.CanPaint()) return;
  // The lines the rectangle may show get their tops and page starts first.
  CompletePagesToY(static_cast<std::int64_t>(vertOffset_) + y + h + 1);
  if (Host.BeforePaint) Host.BeforePaint();
  if (!Has(loNoClipping)) canvas_->IntersectClipRect(TRect{x - 1, y - 1, x + w + 2, y + h + 2});
  const TColor back = Has(loWhiteBackground) ? clWhite : BackgroundColor;
  const bool background = !Has(loTransparent) && !Has(loNoBackground);
  // The lines that touch the rectangle.
  std::vector<std::pair<PTParagraph, PTLine>> paintLines;
  int painted = 0;
  bool stop = false;
  // The pending part of the page pass lies below the rectangle.
  for (PTParagraph p = FirstVisibleCandidate(y); p != nullptr && p != PendingParagraph() && !stop; p = p->Next) {
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      const int lineTop = l->Top - vertOffset_;
      if (lineTop + l->Height + 1 < y) continue;
      if (lineTop > y + h + 1) {
        stop = true;
        break;
      }
      if (Has(loOnePage) && painted > 3 &&
          ((l->Flags & lfPageStart) || (l == p->FirstLine && (p->Flags & pfPageBreak)))) {
        stop = true;
        break;
      }
      paintLines.emplace_back(p, l);
      ++painted;
    }
  }
  if (background) {
    // The background goes under the rectangle before any line is drawn, except in the bands of
    // lines that fill every pixel of their band themselves: those pixels would be filled twice.
    std::vector<std::pair<int, int>> filled;
    if (BackgroundImage == nullptr)
      for (const auto& [p, l] : paintLines)
        if (LineFillsBand(p, l, x, x + w)) {
          const int top = l->Top - vertOffset_ + TopOffset;
          filled.emplace_back(std::max(top, y), std::min(top + l->Height, y + h));
        }
    std::sort(filled.begin(), filled.end());
    int from = y;
    const auto fillTo = [&](int to) {
      if (to <= from) return;
      const TRect band{x, from, x + w, to};
      if (!PaintBackground(canvas_, band)) {
        canvas_->Brush()->SetColor(back);
        canvas_->FillRect(band);
      }
    };
    for (const auto& [top, bottom] : filled) {
      if (bottom <= top) continue;
      fillTo(top);
      from = std::max(from, bottom);
    }
    fillTo(y + h);
  }
  int bottom = y;
  for (const auto& [p, l] : paintLines) {
    PaintLine(p, l);
    bottom = l->Top - vertOffset_ + TopOffset + l->Height;
  }
  lastBottom_ = bottom;
  if (background && bottom < windowHeight_ + TopOffset) {
    const TRect rest{x, bottom, x + w, windowHeight_ + TopOffset};
    if (!PaintBackground(canvas_, rest)) {
      canvas_->Brush()->SetColor(back);
      canvas_->FillRect(rest);
    }
  }
  if (!Has(loNoClipping)) canvas_->ResetClip();
  if (Host.AfterPaint) Host.AfterPaint();
}

bool TRiRTFTextPaint::LineFillsBand(PTParagraph par, PTLine line, int left, int right) const {
  // Only plain colour fills and opaque runs cover their places whole; a cell starts right of
  // the margin, and an italic end leaves a gap before the rest of the line.
  if (BackgroundImage != nullptr || Has(loTransparent) || Has(loNoBackground) || par->IsCell()) return false;
  if (canvas_->Brush()->Style() != TBrushStyle::bsSolid) return false;
  const int top = line->Top - vertOffset_ + TopOffset;
  const int bottom = top + line->Height;
  if (Has(loCompleteLines) && bottom > TopOffset + windowHeight_) return false;
  if (!Has(loPaintOutside) && (bottom < TopOffset || top > TopOffset + windowHeight_)) return false;
  if (line->Length > 0) {
    const TAttr& last = line->HasAttrs() && !PlainMode ? line->Attrs[static_cast<std::size_t>(line->Length - 1)] : CurAttr;
    if (DrawsItalic(last)) return false;
  }
  const int hx = Has(loIgnoreHorzScroll) ? 0 : horzOffset_;
  const int textStart = LeftOffset + hx + CharX(par, line, 0);
  return std::min(LeftOffset, textStart) <= left && LeftOffset + windowWidth_ >= right;
}

PTParagraph TRiRTFTextPaint::FirstVisibleCandidate(int y) const {
  // Tops grow from paragraph to paragraph (the cells of a table row share theirs), so while the
  // page pass is current, the walk may start near the cursor instead of at the document's
  // start: back from the cursor paragraph to one whose top lies above the rectangle, and out of
  // a table row.  Every paragraph before that one ends above the rectangle.
  // The walk back needs current tops: from the cursor paragraph when the pass is current there,
  // else from the last paragraph the pass laid out.
  if (pagesStale_) return FirstPar;
  PTParagraph p = CursorPar;
  if (p == nullptr || p->FirstLine == nullptr || !PagesCurrentAt(p))
    p = PendingParagraph() != nullptr ? PendingParagraph()->Prev : nullptr;
  if (p == nullptr || p->FirstLine == nullptr) return FirstPar;
  while (p->Prev != nullptr && (p->FirstLine->Top - vertOffset_ >= y - 1 || p->IsCell())) p = p->Prev;
  return p;
}

void TRiRTFTextPaint::PaintObject(TRiObject* object, int width, int ascent, int x, int baseline) {
  if (object == nullptr || object->Graphic == nullptr || object->Graphic->Empty() || canvas_ == nullptr) return;
  const unsigned align = canvas_->SetTextAlign(TA_TOP);
  canvas_->StretchDraw(TRect{x, baseline - ascent, x + width, baseline}, object->Graphic.get());
  canvas_->SetTextAlign(align);
}

void TRiRTFTextPaint::PaintLine(PTParagraph par, PTLine line) {
  if (par == nullptr || line == nullptr || canvas_ == nullptr) return;
  if (Host.CanPaint && !Host.CanPaint()) return;
  TCanvas& c = *canvas_;
  const int top = line->Top - vertOffset_ + TopOffset;
  const int bottom = top + line->Height;
  if (Has(loCompleteLines) && bottom > TopOffset + windowHeight_) return;
  const bool offScreen = Has(loOffScreen);
  if (!offScreen && Host.BeforePaint) Host.BeforePaint();
  const int hx = Has(loIgnoreHorzScroll) ? 0 : horzOffset_;
  const int textStart = LeftOffset + hx + CharX(par, line, 0);
  const int baseline = top + line->Ascent;
  const bool inside = Has(loPaintOutside) || (bottom >= TopOffset && top <= TopOffset + windowHeight_);
  const TColor back = Has(loWhiteBackground) ? clWhite : BackgroundColor;
  const bool noBackground = Has(loTransparent) || Has(loNoBackground);
  const bool shaded = par->ShadingPercent > 0;
  const TColor shade = par->ShadingPercent < 51 ? GetColor(par->Shading >> 4) : GetColor(par->Shading & 15);
  const int rightEdge = LeftOffset + windowWidth_;
  auto fill = [&](int x0, int x1, TColor color) {
    if (x1 <= x0) return;
    const TRect r{x0, top, x1, bottom};
    if (!shaded && PaintBackground(&c, r)) return;
    c.Brush()->SetColor(color);
    c.FillRect(r);
  };

  if (inside) {
    // Selection marks of this line.
    int s0 = 0, s1 = 0;
    if (!Has(loHideSelection)) {
      if (HasSelection() && (line->PaintState == psSelected || line->PaintState == psPartly ||
                             line->PaintState == psSelectionEnd)) {
        const bool rev = SelReversed;
        PTLine firstLine = rev ? SelEndLine : SelStartLine, lastLine = rev ? SelStartLine : SelEndLine;
        const int firstOff = rev ? SelEndOffset : SelStartOffset, lastOff = rev ? SelStartOffset : SelEndOffset;
        s0 = line == firstLine ? firstOff : 0;
        s1 = line == lastLine ? lastOff : line->Length;
        if (s1 < s0) std::swap(s0, s1);
        line->PaintState = (s0 == 0 && s1 >= line->Length && line->Length > 0) ? psSelected : psPartly;
      } else {
        line->PaintState = psNormal;
      }
    }
    // A line without attributes paints with the current ones.
    std::vector<TAttr> temp;
    TAttr* attrs;
    if (line->HasAttrs() && !PlainMode) {
      attrs = line->Attrs.data();
    } else {
      temp.assign(static_cast<std::size_t>(line->Length) + 1, CurAttr);
      for (int i = 0; i < line->Length; ++i) {
        temp[static_cast<std::size_t>(i)].Width = static_cast<std::uint16_t>(plainWidths_[line->Ch(i)]);
        temp[static_cast<std::size_t>(i)].Height = static_cast<std::uint16_t>(DefaultLineHeight);
        temp[static_cast<std::size_t>(i)].Ascent = static_cast<std::uint16_t>(DefaultAscent);
      }
      attrs = temp.data();
    }
    for (int i = 0; i < line->Length; ++i) {
      if (i >= s0 && i < s1)
        attrs[i].Style |= fsSelected;
      else
        attrs[i].Style &= static_cast<std::uint8_t>(~fsSelected);
    }

    c.SetTextAlign(TA_BASELINE);
    // Left margin of the line.
    if (!noBackground) {
      const int left = par->IsCell() ? LeftOffset + hx + CellLeft(par) : LeftOffset;
      if (shaded && par->IsCell()) fill(left, textStart, shade);
      else fill(left, textStart, back);
      if (shaded && !par->IsCell()) fill(std::max(left, LeftOffset + hx + CellLeft(par)), textStart, shade);
    }

    const bool rightOrCentre = par->Alignment == 1 || par->Alignment == 2;
    int x = textStart;
    int extra = line->ExtraPixels;
    int i = 0;
    std::vector<int> dx;
    std::string run;
    while (i < line->Length) {
      const TAttr key = attrs[i];
      const bool object = IsObjectChar(line->Ch(i), key);
      int j = i;
      int docX = x - LeftOffset - hx;
      dx.clear();
      run.clear();
      while (j < line->Length && static_cast<int>(run.size()) < 100) {
        const unsigned char ch = line->Ch(j);
        if (j > i && (!SamePaintRun(attrs[j], key) || ch == 9 || object || IsObjectChar(ch, attrs[j]))) break;
        int adv;
        if (rightOrCentre)
          adv = attrs[j].Width;
        else if (line->HasAttrs() && !PlainMode)
          adv = AdvanceAt(par, line, j, docX, extra);
        else
          adv = AdvanceAt(par, line, j, docX, extra);
        docX += adv;
        const bool invisible = attrs[j].Width == 0 && ch != 9;
        run.push_back(ch < 32 || invisible ? ' ' : static_cast<char>(ch));
        dx.push_back(adv);
        ++j;
      }
      int runWidth = 0;
      for (int a : dx) runWidth += a;
      const bool selected = (key.Style & fsSelected) && !Has(loHideSelection);
      SelectAttr(&key);
      TColor brush = c.Brush()->Color();
      bool opaque = (!Has(loNoBackground) && BackgroundImage == nullptr) || shaded;
      if (shaded && key.BackColor() == 0) brush = shade;
      if (opaque && Has(loTransparent) &&
          (brush == BackgroundColor || brush == clWhite || Has(loAllTransparent)))
        opaque = false;
      if (selected) {
        brush = clHighlight;
        c.Font()->SetColor(clHighlightText);
        opaque = true;
      }
      int ascent = key.Ascent;
      int drawBase = baseline;
      if (line->Ascent > key.Ascent && !object) {
        if (runSuper_) drawBase = baseline - key.Ascent / 3;
        else if (runSub_) drawBase = baseline + key.Ascent / 5;
      }
      const TRect cell{x, top, x + runWidth, bottom};
      if (object) {
        TRiObject* obj = ObjectOf(line->Ch(i), key.Tag);
        fill(x, x + runWidth, shaded ? shade : back);
        PaintObject(obj, runWidth, ascent, x, baseline);
        if (selected) {
          c.Brush()->SetColor(clHighlight);
          c.FrameRect(TRect{x, baseline - ascent, x + runWidth, baseline});
          if (SelectedObjectTag == 0) {
            SelectedObjectRect = TRect{x, baseline - ascent, x + runWidth, baseline};
            SelectedObjectTag = key.Tag;
          }
        }
      } else if (run == " " && !selected) {
        if (opaque) fill(x, x + runWidth, brush);
      } else {
        c.Brush()->SetColor(brush);
        if (!opaque) c.Brush()->SetStyle(TBrushStyle::bsClear);
        c.ExtTextOut(x, drawBase, opaque ? ETO_OPAQUE : 0, &cell, run, dx.data());
        if (!opaque) c.Brush()->SetStyle(TBrushStyle::bsSolid);
        if (runMisspelled_ && !Has(loPlainOutput)) {
          c.Pen()->SetColor(255);
          c.Pen()->SetWidth(1);
          for (int wx = x; wx + 2 <= x + runWidth; wx += 3) {
            c.MoveTo(wx + 2, baseline);
            c.LineTo(wx - 1, baseline + 2);
          }
        } else if (runUnderline_) {
          c.Pen()->SetColor(penColor_);
          c.Pen()->SetWidth(1);
          c.MoveTo(x, drawBase + 1);
          c.LineTo(x + runWidth, drawBase + 1);
        }
      }
      x += runWidth;
      if (j >= line->Length && (c.Font()->Style().Contains(TFontStyle::fsItalic))) x += 8;
      i = j;
    }
    // The selection marks live only while the line is drawn: they must not reach the typing
    // attributes, copies or run comparisons.
    for (int k = 0; k < line->Length; ++k) attrs[k].Style &= static_cast<std::uint8_t>(~fsSelected);
    // Rest of the line.
    if (!noBackground && x < rightEdge) {
      if (shaded || par->IsCell()) {
        const int cellRight = LeftOffset + hx + TextWidth() - std::max(0, CellRight(par));
        if (shaded) fill(x, std::min(cellRight, rightEdge), shade);
        fill(std::max(x, std::min(cellRight, rightEdge)), rightEdge, back);
      } else {
        fill(x, rightEdge, back);
      }
    }
    // Page marks.
    if (!offScreen) {
      const bool hard = line == par->FirstLine && (par->Flags & pfPageBreak) && !Has(loHidePageBreaks);
      const bool soft = (line->Flags & lfPageStart) && !Has(loHidePageStarts);
      if (hard || soft) {
        c.Pen()->SetColor(clBlack);
        c.Pen()->SetWidth(1);
        c.Pen()->SetStyle(hard && soft ? TPenStyle::psDashDot : soft ? TPenStyle::psDot : TPenStyle::psDash);
        c.MoveTo(LeftOffset, top);
        c.LineTo(rightEdge, top);
        c.Pen()->SetStyle(TPenStyle::psSolid);
      }
    }
    // Borders.
    if (par->BorderFlags & bfBordered) {
      const int bl = LeftOffset + hx + std::max(0, CellLeft(par));
      const int br = LeftOffset + hx + TextWidth() - std::max(0, CellRight(par)) - 1;
      const int nib = par->BorderColor & 15;
      c.Pen()->SetColor(PaintGrayTable ? clWhite : (nib == 0 ? clBlack : GetColor(nib)));
      int width = 1;
      if (!PaintGrayTable && par->BorderWidth > 0 && !(par->BorderStyle & 2))
        width = std::max(1, par->BorderWidth * Header().ResolutionX / 72);
      c.Pen()->SetWidth(width);
      const bool box = par->BorderFlags & bfBox;
      const bool groupFirst = BorderBlockStart(par) == par;
      const bool groupLast = BorderBlockEndsAt(par);
      const int passes = (par->BorderFlags & bfDouble) ? 2 : 1;
      for (int k = 0; k < passes; ++k) {
        const int d = k * (width + 1);
        if ((box || (par->BorderFlags & bfTop)) && line == par->FirstLine && (groupFirst || (line->Flags & lfPageStart))) {
          c.MoveTo(bl, top + d);
          c.LineTo(br + 1, top + d);
        }
        if ((box || (par->BorderFlags & bfBottom)) && line->Next == nullptr && groupLast) {
          c.MoveTo(bl, bottom - 1 - d);
          c.LineTo(br + 1, bottom - 1 - d);
        }
        if (box || (par->BorderFlags & bfLeft)) {
          c.MoveTo(bl + d, top);
          c.LineTo(bl + d, bottom);
        }
        if (box || (par->BorderFlags & bfRight)) {
          c.MoveTo(br - d, top);
          c.LineTo(br - d, bottom);
        }
      }
      // Bar tabs: a vertical line through the line at every tab stop of the paragraph that lies
      // inside its box.
      if (par->BorderStyle & 4) {
        const TTextHeader& h = Header();
        const int origin = LeftOffset + hx + (par->IsCell() ? LeftIndent(par, par->FirstLine) : 0);
        c.Pen()->SetWidth(1);
        for (int slot = 0; slot < MaxTabs; ++slot) {
          if (!((par->Tabs >> slot) & 1u) || h.TabPos[static_cast<std::size_t>(slot)] == 0) continue;
          const int x = origin + h.TabPixels[static_cast<std::size_t>(slot)];
          if (x <= bl || x >= br) continue;
          c.MoveTo(x, top);
          c.LineTo(x, bottom);
        }
      }
      c.Pen()->SetWidth(1);
    }
  }
  if (!offScreen && Host.AfterPaint) Host.AfterPaint();
}

}  // namespace tw::richtext
