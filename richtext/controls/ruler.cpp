#include "richtext/controls/ruler.h"

#include <algorithm>
#include <string>

#include "platform/forms/forms.h"
#include "richtext/controls/componentlink.h"
#include "richtext/controls/richedit.h"

namespace tw::richtext {

namespace {

constexpr TColor kMarginColor = clBtnFace;
constexpr TColor kPaperColor = clWindow;
constexpr TColor kMarkColor = clBtnText;

void Line(TCanvas& c, int x1, int y1, int x2, int y2) {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

TTabKind NextKind(TTabKind kind) {
  switch (kind) {
    case TTabKind::tkLeft: return TTabKind::tkRight;
    case TTabKind::tkRight: return TTabKind::tkCenter;
    default: return TTabKind::tkDecimal;  // centre and decimal both end at decimal
  }
}

}  // namespace

TW_MESSAGE_MAP(TRiRuler, OnMessage<TRiRuler, &TRiRuler::CMFontChanged>(CM_FONTCHANGED));

TW_PUBLISHED(TRiRuler, Prop("Units", &TRiRuler::Units, &TRiRuler::SetUnits),
             Prop("XOffset", &TRiRuler::XOffset, &TRiRuler::SetXOffset),
             Prop("BevelInner", &TRiRuler::BevelInner, &TRiRuler::SetBevelInner),
             Prop("BevelOuter", &TRiRuler::BevelOuter, &TRiRuler::SetBevelOuter),
             Prop("ShowNumbers", &TRiRuler::ShowNumbers, &TRiRuler::SetShowNumbers),
             Prop("OnSelection", &TRiRuler::OnSelection), Prop("WhileSelection", &TRiRuler::WhileSelection));

TRiRuler::TRiRuler(TComponent* owner) : TCustomControl(owner) {
  SetBounds(Left(), 40, 200, 20);
  SetParentColor(false);
  SetColor(kMarginColor);
  controlStyle_.Include(TControlStyleFlag::csOpaque);
  ComputeMarkerSizes();
  Reset();
}

TRiRuler::~TRiRuler() = default;

void TRiRuler::SetHeader(TTextHeader* header) {
  if (header_ == header) return;
  header_ = header;
  // The header's tab grid and default tabs follow the ruler's unit from the start.
  ApplyUnit();
  Invalidate();
}

void TRiRuler::ApplyUnit() {
  if (header_ == nullptr) return;
  const bool inch = units_ == PTRiRulerUnit::Inch;
  if (header_->Layout.Inch == inch) return;
  header_->Layout.Inch = inch;
  header_->ComputePrintable();
  // The default tab stops of the linked document moved with the unit.
  if (editor_ != nullptr && &editor_->RtfText()->Header() == header_) {
    editor_->RtfText()->ReformatAll();
    editor_->RtfText()->Redraw();
  }
}

void TRiRuler::SetEditor(TRiCustomRtfEdit* editor) { ReplaceLink(this, editor_, editor); }

void TRiRuler::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == editor_) {
    editor_ = nullptr;
    header_ = nullptr;  // the header belongs to the editor's document
  }
}

void TRiRuler::Reset() {
  first_ = left_ = right_ = 0;
  tabs_ = 0;
  allTabs_ = false;
  ApplyUnit();
  Invalidate();
}

// --- geometry --------------------------------------------------------------------------------------

void TRiRuler::ComputeMarkerSizes() {
  const int h = Height();
  int w = h / 3;
  if (w % 2 != 0) ++w;
  if (w < 2) w = 4;
  markerWidth_ = w;
  halfWidth_ = std::max(3, w / 2);
  markerHeight_ = std::max(3, (h - 2) / 3);
  firstHeight_ = markerHeight_ + markerHeight_ / 3;
}

void TRiRuler::Resize() {
  TCustomControl::Resize();
  ComputeMarkerSizes();
  Invalidate();
}

int TRiRuler::Resolution() const {
  if (header_ != nullptr && header_->ResolutionX >= 1) return header_->ResolutionX;
  const int ppi = Screen()->PixelsPerInch();
  return ppi >= 1 ? ppi : 96;
}

int TRiRuler::UnitStep() const {
  const int res = Resolution();
  const int step = units_ == PTRiRulerUnit::Inch ? res : static_cast<int>(res * 0.3937007874 + 0.5);
  return std::max(1, step);
}

// The width of the page's text: the layout measures right indents from it (a view wrapped at a
// window wider than the page still ends its lines there), and tabs end there too.
int TRiRuler::PageWidthTwips() const {
  if (header_ == nullptr) return 0;
  const TRiLayout& l = header_->Layout;
  const std::int64_t page = std::int64_t{l.PageWidth} - l.LeftMargin - l.RightMargin;
  return page > 0 ? static_cast<int>(std::min<std::int64_t>(page, INT32_MAX)) : std::max(0, header_->TextWidthTwips);
}

// The part of the page's text the view shows: a view wrapped at a narrower window ends its
// lines at the window.
int TRiRuler::PageWidthPixels() const {
  if (header_ == nullptr) return 0;
  return std::max(0, std::min(MulDiv(PageWidthTwips(), Resolution(), TwipsPerInch), header_->TextWidthPixels));
}

int TRiRuler::TwipsToX(int twips) const { return Origin() + MulDiv(twips, Resolution(), TwipsPerInch); }

int TRiRuler::XToTwips(int x) const {
  const int twips = std::max(0, (x - xOffset_ - leftMargin_) * TwipsPerInch / Resolution());
  return header_ != nullptr ? header_->SnapTab(twips) : twips;
}

TRect TRiRuler::MarkerRect(int marker) const {
  const int h = Height();
  const int lowTop = h - 2 - 2 * markerHeight_;  // top of the left marker's triangle
  switch (marker) {
    case rmRight: {
      const int x = std::min(TwipsToX(PageWidthTwips() - right_), Origin() + PageWidthPixels());
      return TRect{x - halfWidth_, lowTop, x + halfWidth_ + 1, lowTop + markerHeight_};
    }
    case rmLeft: {
      const int x = TwipsToX(left_);
      return TRect{x - halfWidth_, lowTop, x + halfWidth_ + 1, h - 1};
    }
    case rmFirst: {
      const int x = TwipsToX(first_);
      return TRect{x - halfWidth_, 1, x + halfWidth_ + 1, 1 + firstHeight_};
    }
    default:
      return TRect{};
  }
}

bool TRiRuler::IndentsValid(int first, int left, int right) const {
  if (first < 0 || left < 0 || right < 0) return false;
  const int page = PageWidthTwips();
  if (header_ == nullptr || page <= 0) return true;  // nothing to check against yet
  const int rightPos = page - right;
  return rightPos >= left && rightPos >= first && left <= page && first <= page;
}

int TRiRuler::HitMarker(int x, int y) const {
  for (int m = rmRight; m <= rmFirst; ++m)
    if (PtInRect(MarkerRect(m), TPoint{x, y})) return m;
  return rmNone;
}

// --- values -------------------------------------------------------------------------------------

void TRiRuler::SetIndents(int first, int left, int right) {
  auto take = [](int value, int& field, auto valid) {
    if (value == RulerKeep || value < 0 || value == field) return;
    const int old = field;
    field = value;
    if (!valid()) field = old;
  };
  auto valid = [this] { return IndentsValid(first_, left_, right_); };
  take(first, first_, valid);
  take(left, left_, valid);
  take(right, right_, valid);
  Invalidate();
}

void TRiRuler::ShowValues(int first, int left, int right, TTabSet tabs) {
  if (dragging_) return;  // the drag owns the values until it ends
  first = std::max(0, first);
  left = std::max(0, left);
  right = std::max(0, right);
  if (first == first_ && left == left_ && right == right_ && tabs == tabs_ && !allTabs_) return;
  first_ = first;
  left_ = left;
  right_ = right;
  tabs_ = tabs;
  allTabs_ = false;
  Invalidate();
}

void TRiRuler::SetTabs(TTabSet tabs, bool all) {
  if (tabs_ == tabs && allTabs_ == all) return;
  tabs_ = tabs;
  allTabs_ = all;
  Invalidate();
}

void TRiRuler::SetUnits(PTRiRulerUnit units) {
  units_ = units;
  ApplyUnit();
  Invalidate();
}

void TRiRuler::SetXOffset(int offset) {
  if (xOffset_ == offset) return;
  xOffset_ = offset;
  Invalidate();
}

void TRiRuler::SetLeftMargin(int pixels) {
  if (leftMargin_ == pixels) return;
  leftMargin_ = pixels;
  Invalidate();
}

void TRiRuler::SetTableCell(bool cell, int left, int right) {
  tableCell_ = cell;
  cellLeft_ = left;
  cellRight_ = std::max(left, right);
  Invalidate();
}

void TRiRuler::SetPageArea(bool on, int left, int right) {
  pageArea_ = on;
  areaLeft_ = left;
  areaRight_ = std::max(left, right);
  Invalidate();
}

void TRiRuler::SetBevelInner(TPanelBevel v) {
  bevelInner_ = v;
  Invalidate();
}

void TRiRuler::SetBevelOuter(TPanelBevel v) {
  bevelOuter_ = v;
  Invalidate();
}

void TRiRuler::SetShowNumbers(bool v) {
  showNumbers_ = v;
  Invalidate();
}

void TRiRuler::CMFontChanged(TMessage& msg) {
  InheritedMessage(TRiRuler::StaticClass(), msg);
  Invalidate();
}

// --- mouse --------------------------------------------------------------------------------------------

void TRiRuler::Report(int marker, bool changing) {
  int typ = RulerSelType, group = RulerGroup, num = marker;
  FireEvent(changing ? WhileSelection : OnSelection, this, typ, group, num, changing);
  if (editor_ != nullptr) editor_->RulerChanged(typ, group, num, changing);
}

void TRiRuler::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft || header_ == nullptr || dragging_) return;
  const int m = HitMarker(x, y);
  if (m == rmNone) {
    ClickTab(x);
    return;
  }
  if (m == rmLeft) moveBoth_ = shift.Contains(TShiftStateFlag::ssShift) || y >= MarkerRect(rmLeft).Top + markerHeight_;
  dragging_ = true;
  dragMarker_ = m;
  dragStartX_ = x;
  SetMouseCapture(true);
}

void TRiRuler::DragTo(int x) {
  const int pos = XToTwips(x);
  int first = first_, left = left_, right = right_;
  switch (dragMarker_) {
    case rmRight:
      right = PageWidthTwips() - pos;
      break;
    case rmLeft:
      left = pos;
      if (moveBoth_) {
        first = first_ + (pos - left_);
        if (first < 0) {
          left -= first;
          first = 0;
        }
      }
      break;
    case rmFirst:
      first = pos;
      break;
    default:
      return;
  }
  if (first == first_ && left == left_ && right == right_) return;
  if (!IndentsValid(first, left, right)) return;  // the marker stays where it was
  first_ = first;
  left_ = left;
  right_ = right;
  Invalidate();
  Report(dragMarker_, true);
}

void TRiRuler::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (dragging_) {
    if (header_ != nullptr) DragTo(x);
    return;
  }
  if (ComponentState().Contains(TComponentStateFlag::csDesigning)) return;
  const bool over = header_ != nullptr && HitMarker(x, y) != rmNone;
  markerCursor_.Update(*this, over, crSizeWE);
}

void TRiRuler::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (button != TMouseButton::mbLeft || !dragging_) return;
  const int marker = dragMarker_;
  dragging_ = false;
  dragMarker_ = rmNone;
  SetMouseCapture(false);
  Invalidate();
  if (header_ != nullptr) Report(marker, false);
}

void TRiRuler::ClickTab(int x) {
  if (header_ == nullptr || header_->ResolutionX < 1) return;
  int pos;
  if (tableCell_) {
    if (x < cellLeft_ || x > cellRight_) return;
    pos = header_->SnapTab(std::max(0, (x - cellLeft_) * TwipsPerInch / Resolution()));
  } else {
    pos = XToTwips(x);
  }
  if (pos <= 0 || pos >= PageWidthTwips()) return;
  const int existing = (allTabs_ || tabs_ != 0) ? header_->FindTab(pos, TTabKind::tkAll, allTabs_ ? 0 : tabs_) : -1;
  if (existing >= 0) {
    auto& kind = header_->TabKinds[static_cast<std::size_t>(existing)];
    kind = newTabKind_ == TTabKind::tkAll ? NextKind(kind) : newTabKind_;
  } else {
    const TTabSet added = header_->AddTab(pos, newTabKind_ == TTabKind::tkAll ? TTabKind::tkLeft : newTabKind_);
    if (added == 0) return;  // the tab table is full
    tabs_ |= added;
  }
  Invalidate();
  Report(rmNone, false);
}

// --- painting -----------------------------------------------------------------------------------------

void TRiRuler::Paint() { PaintOn(*Canvas()); }

void TRiRuler::PaintOn(TCanvas& c) {
  c.SetFont(Font());
  TRect r{0, 0, Width(), Height()};
  c.Brush()->SetStyle(TBrushStyle::bsSolid);
  c.Brush()->SetColor(kMarginColor);
  c.FillRect(r);
  auto bevel = [&](TPanelBevel b) {
    if (b == TPanelBevel::bvNone) return;
    const bool raised = b == TPanelBevel::bvRaised;
    Frame3D(&c, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, 1);
  };
  bevel(bevelOuter_);
  bevel(bevelInner_);
  if (header_ == nullptr) return;
  PaintScale(c);
  PaintTabs(c);
  PaintMarkers(c);
}

void TRiRuler::PaintScale(TCanvas& c) {
  const int origin = Origin();
  const int end = std::min(origin + PageWidthPixels(), Width() - 2);
  int areaL = origin, areaR = end;
  if (tableCell_) {
    areaL = cellLeft_;
    areaR = cellRight_;
  } else if (pageArea_) {
    areaL = areaLeft_;
    areaR = areaRight_;
  }
  const int top = 3, bottom = Height() - 3;
  if (areaR > areaL) {
    c.Brush()->SetColor(kPaperColor);
    c.FillRect(TRect{std::max(areaL, 2), top, std::min(areaR, Width() - 2), bottom});
  }
  const int step = UnitStep();
  const int mid = Height() / 2;
  c.Pen()->SetColor(kMarkColor);
  c.Brush()->SetStyle(TBrushStyle::bsClear);
  for (int k = 0;; ++k) {
    const int x0 = origin + k * step;
    if (x0 > end) break;
    for (int q = 1; q <= 3; ++q) {
      const int xq = x0 + step * q / 4;
      if (xq > end) break;
      const int len = q == 2 ? 3 : 1;
      Line(c, xq, mid - len, xq, mid + len + 1);
    }
    const int x1 = x0 + step;
    if (x1 > end) break;
    if (showNumbers_) {
      const std::string n = std::to_string(k + 1);
      c.TextOut(x1 - c.TextWidth(n) / 2, mid - c.TextHeight(n) / 2, n);
    } else {
      Line(c, x1, mid - 4, x1, mid + 5);
    }
  }
  c.Brush()->SetStyle(TBrushStyle::bsSolid);
}

void TRiRuler::PaintTabs(TCanvas& c) {
  const int page = PageWidthTwips();
  const int base = Height() - 4;
  c.Pen()->SetColor(kMarkColor);
  for (int slot = 0; slot < MaxTabs; ++slot) {
    const int pos = header_->TabPos[static_cast<std::size_t>(slot)];
    if (pos <= 0 || pos >= page) continue;
    if (!allTabs_ && !((tabs_ >> slot) & 1u)) continue;
    const int x = (tableCell_ ? cellLeft_ : Origin()) + MulDiv(pos, Resolution(), TwipsPerInch);
    switch (header_->TabKinds[static_cast<std::size_t>(slot)]) {
      case TTabKind::tkRight:
        Line(c, x, base - 4, x, base + 1);
        Line(c, x, base, x - 5, base);
        break;
      case TTabKind::tkCenter:
        Line(c, x, base - 4, x, base + 1);
        Line(c, x - 3, base, x + 4, base);
        break;
      case TTabKind::tkDecimal:
        Line(c, x, base - 4, x, base + 1);
        Line(c, x - 3, base, x + 4, base);
        c.SetPixel(x + 2, base - 2, kMarkColor);
        break;
      default:
        Line(c, x, base - 4, x, base + 1);
        Line(c, x, base, x + 5, base);
        break;
    }
  }
}

void TRiRuler::PaintMarkers(TCanvas& c) {
  c.Pen()->SetColor(kMarkColor);
  c.Brush()->SetColor(clBtnFace);
  // Right and left: triangles pointing up; the left one stands on a box.
  for (int m : {rmRight, rmLeft}) {
    const TRect r = MarkerRect(m);
    const int cx = (r.Left + r.Right - 1) / 2;
    const int tip = r.Top, base = r.Top + markerHeight_ - 1;
    const TPoint tri[3] = {TPoint{cx, tip}, TPoint{r.Left, base}, TPoint{r.Right - 1, base}};
    c.Polygon(tri, 3);
    if (m == rmLeft) c.Rectangle(r.Left, base, r.Right, r.Bottom);
  }
  // First line: a triangle pointing down at the top.
  const TRect f = MarkerRect(rmFirst);
  const int cx = (f.Left + f.Right - 1) / 2;
  const TPoint tri[3] = {TPoint{f.Left, f.Top}, TPoint{f.Right - 1, f.Top}, TPoint{cx, f.Bottom - 1}};
  c.Polygon(tri, 3);
}

}  // namespace tw::richtext
