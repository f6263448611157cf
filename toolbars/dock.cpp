#include "toolbars/dock.h"

#include <algorithm>

#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "toolbars/toolbar.h"
#include "toolbars/toolbarconst.h"

namespace tw::toolbars {

TW_PUBLISHED(TDockX,
             Prop("Position", &TDockX::Position, &TDockX::SetPosition),
             Prop("BoundLines", &TDockX::BoundLines, &TDockX::SetBoundLines),
             Prop("PopupMenu", &TDockX::PopupMenu, &TDockX::SetPopupMenu),
             Prop("OnInsertRemoveBar", &TDockX::OnInsertRemoveBar));
TW_REGISTER_CLASS(TDockX);
TW_MESSAGE_MAP(TDockX, OnMessage<TDockX, &TDockX::WMSizeDock>(WM_SIZE));

namespace {
// Rows spaced this close to a boundary between rows start a new row there.
constexpr int kNewRowSlack = 5;
constexpr int kMinRowThickness = 8;
}  // namespace

TDockX::TDockX(TComponent* owner) : TCustomControl(owner) {
  ++updateCount_;
  controlStyle_.Include(TControlStyleFlag::csAcceptsControls);
  SetAlign(TAlign::alTop);
  SetColor(clBtnFace);
  --updateCount_;
  ArrangeToolbars();
}

TDockX::~TDockX() {
  ++updateCount_;
  // Toolbars still docked here leave the list first; their windows go with ours.
  for (TToolbarX* bar : std::vector<TToolbarX*>(bars_)) bar->dockedTo_ = nullptr;
  bars_.clear();
}

void TDockX::SetParent(TWinControl* parent) {
  if (parent != nullptr && (parent->Is<TToolbarX>() || parent->Is<TDockX>())) throw EInvalidOperation(SDockInsideBar);
  TCustomControl::SetParent(parent);
}

void TDockX::SetPosition(TDockPosition value) {
  if (value == position_) return;
  if (ControlCount() > 0) throw EInvalidOperation(SDockHasControls);
  position_ = value;
  static constexpr TAlign kAligns[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight};
  SetAlign(kAligns[static_cast<int>(value)]);
  ArrangeToolbars();
}

void TDockX::SetBoundLines(TDockBoundLines value) {
  if (value == boundLines_) return;
  boundLines_ = value;
  ArrangeToolbars();
  Invalidate();
}

void TDockX::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  if (updateCount_ == 0) ArrangeToolbars();
}

void TDockX::InsertRemoveBar(bool inserting, TToolbarX* bar, bool append) {
  if (bar == nullptr) return;
  auto it = std::find(bars_.begin(), bars_.end(), bar);
  const bool wasIn = it != bars_.end();
  if (wasIn) bars_.erase(it);
  if (inserting && append) bars_.push_back(bar);
  // Only a bar that came or went changes the list; one moved to its end stays a member.
  const bool isIn = inserting && append;
  const bool changed = wasIn != isIn;
  ArrangeToolbars();
  if (changed) FireEvent(OnInsertRemoveBar, this, inserting, bar);
}

int TDockX::HighestRow() const {
  int row = -1;
  for (const TToolbarX* bar : bars_) row = std::max(row, bar->DockRow());
  return row;
}

void TDockX::BuildRowSizes() {
  rowSizes_.assign(static_cast<std::size_t>(HighestRow() + 1), TRowSize{});
  for (const TToolbarX* bar : bars_) {
    TRowSize& r = rowSizes_[static_cast<std::size_t>(bar->DockRow())];
    const TRowSize& s = bar->OwnSize();
    r.ItemHeight = std::max(r.ItemHeight, s.ItemHeight);
    r.ItemWidth = std::max(r.ItemWidth, s.ItemWidth);
    r.DockedHeight = std::max(r.DockedHeight, s.DockedHeight);
    r.DockedWidth = std::max(r.DockedWidth, s.DockedWidth);
  }
}

const TRowSize& TDockX::RowSize(int row) const {
  static const TRowSize kNone{};
  if (row < 0 || row >= RowCount()) return kNone;
  return rowSizes_[static_cast<std::size_t>(row)];
}

int TDockX::RowThickness(int row) const {
  const TRowSize& r = RowSize(row);
  return std::max(kMinRowThickness, Vertical() ? r.DockedWidth : r.DockedHeight);
}

int TDockX::Lead() const {
  return boundLines_.Contains(Vertical() ? TDockBoundLine::blTop : TDockBoundLine::blLeft) ? 1 : 0;
}

int TDockX::RowOrigin() const {
  return boundLines_.Contains(Vertical() ? TDockBoundLine::blLeft : TDockBoundLine::blTop) ? 1 : 0;
}

int TDockX::RowAtOffset(int offset, bool& insert) const {
  insert = false;
  int start = RowOrigin();
  for (int row = 0; row < RowCount(); ++row) {
    if (offset >= start - kNewRowSlack && offset <= start + kNewRowSlack) {
      insert = true;
      return row;
    }
    const int end = start + RowThickness(row);
    if (offset < end - kNewRowSlack) return row;
    start = end;
  }
  return RowCount();
}

void TDockX::SetThickness(int thickness) {
  if (Vertical()) {
    if (Width() == thickness) return;
    const int left = position_ == TDockPosition::dpRight ? Left() + Width() - thickness : Left();
    SetBounds(left, Top(), thickness, Height());
  } else {
    if (Height() == thickness) return;
    const int top = position_ == TDockPosition::dpBottom ? Top() + Height() - thickness : Top();
    SetBounds(Left(), top, Width(), thickness);
  }
}

void TDockX::ArrangeToolbars() {
  if (updateCount_ > 0 || ComponentState().Contains(TComponentStateFlag::csLoading) ||
      ComponentState().Contains(TComponentStateFlag::csDestroying))
    return;
  ++updateCount_;
  struct Release {
    int& n;
    ~Release() { --n; }
  } release{updateCount_};

  if (bars_.empty()) {
    rowSizes_.clear();
    SetThickness(ComponentState().Contains(TComponentStateFlag::csDesigning) ? 9 : 0);
    return;
  }
  // DockPos -1 asks for the end of the row: the bar takes the place after the row's others
  // (sorted as it stands, -1 would put it first).
  const bool vertical0 = Vertical();
  for (TToolbarX* bar : bars_) {
    if (bar->dockPos_ != -1) continue;
    int end = 0;
    for (const TToolbarX* other : bars_)
      if (other != bar && other->dockRow_ == bar->dockRow_ && other->dockPos_ >= 0)
        end = std::max(end, other->dockPos_ + (vertical0 ? other->Height() : other->Width()));
    bar->dockPos_ = end;
  }
  std::stable_sort(bars_.begin(), bars_.end(), [](const TToolbarX* a, const TToolbarX* b) {
    if (a->DockRow() != b->DockRow()) return a->DockRow() < b->DockRow();
    return a->DockPos() < b->DockPos();
  });
  // Empty rows close up: every row number after a gap moves up.  The list is sorted, so one
  // walk renumbers the rows to 0, 1, 2, ...
  {
    int next = 0;
    int previous = bars_.front()->DockRow();
    for (TToolbarX* bar : bars_) {
      if (bar->DockRow() != previous) {
        ++next;
        previous = bar->DockRow();
      }
      bar->dockRow_ = next;
    }
  }
  BuildRowSizes();
  // Bars whose row grew or shrank centre their items on the row's thickness.
  for (TToolbarX* bar : bars_) bar->ArrangeControls(true, false, ToolbarTypeOf(this), 0);

  const int lead = Lead();
  const bool vertical = Vertical();
  const int clientLength = (vertical ? ClientHeight() : ClientWidth()) - 2 * lead;
  auto length = [vertical](const TToolbarX* b) { return vertical ? b->Height() : b->Width(); };

  std::size_t first = 0;
  int rowOffset = RowOrigin();
  while (first < bars_.size()) {
    const int row = bars_[first]->DockRow();
    std::size_t last = first;
    while (last + 1 < bars_.size() && bars_[last + 1]->DockRow() == row) ++last;
    // Push: no bar overlaps the one before it.
    int end = 0;
    for (std::size_t i = first; i <= last; ++i) {
      TToolbarX* bar = bars_[i];
      if (bar->dockPos_ < end) bar->dockPos_ = end;
      else end = bar->dockPos_;
      end += length(bar);
    }
    // Pull back: the row ends at the dock's edge, bars before it moving left as needed.  A
    // row longer than the dock starts at 0 and runs past the far edge: a bar pulled back
    // over the one before it would hide that bar's controls (the date bar's calendar button).
    if (clientLength > 0) {
      int limit = clientLength;
      for (std::size_t i = last + 1; i-- > first;) {
        TToolbarX* bar = bars_[i];
        const int barEnd = bar->dockPos_ + length(bar);
        if (barEnd > limit) bar->dockPos_ = std::max(0, bar->dockPos_ - (barEnd - limit));
        limit = bar->dockPos_;
      }
      int end = 0;
      for (std::size_t i = first; i <= last; ++i) {
        TToolbarX* bar = bars_[i];
        bar->dockPos_ = std::max(bar->dockPos_, end);
        end = bar->dockPos_ + length(bar);
      }
    }
    const int thickness = RowThickness(row);
    const TRowSize& rs = RowSize(row);
    for (std::size_t i = first; i <= last; ++i) {
      TToolbarX* bar = bars_[i];
      ++bar->arranging_;
      try {
        if (vertical)
          bar->SetBounds(rowOffset, lead + bar->dockPos_, rs.DockedWidth, bar->Height());
        else
          bar->SetBounds(lead + bar->dockPos_, rowOffset, bar->Width(), rs.DockedHeight);
      } catch (...) {
        --bar->arranging_;
        throw;
      }
      --bar->arranging_;
    }
    rowOffset += thickness;
    first = last + 1;
  }
  const bool closing = boundLines_.Contains(vertical ? TDockBoundLine::blRight : TDockBoundLine::blBottom);
  SetThickness(rowOffset + (closing ? 1 : 0));
}

void TDockX::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  if (!ComponentState().Contains(TComponentStateFlag::csDesigning))
    params.ClassStyle &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

void TDockX::AlignControls(TControl* control, TRect& rect) {
  TCustomControl::AlignControls(control, rect);
  ArrangeToolbars();
}

void TDockX::Loaded() {
  TCustomControl::Loaded();
  ArrangeToolbars();
}

void TDockX::WMSizeDock(TMessage& msg) {
  InheritedMessage(TDockX::StaticClass(), msg);
  if (boundLines_.Contains(TDockBoundLine::blBottom) || boundLines_.Contains(TDockBoundLine::blRight)) Invalidate();
}

void TDockX::Paint() {
  TCanvas* c = Canvas();
  const TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  if (ComponentState().Contains(TComponentStateFlag::csDesigning)) {
    c->Pen()->SetColor(clBtnShadow);
    c->DrawFocusRect(r);
  }
  if (boundLines_.Contains(TDockBoundLine::blTop)) {
    c->Pen()->SetColor(clBtnShadow);
    c->MoveTo(0, 0);
    c->LineTo(r.Right, 0);
  }
  if (boundLines_.Contains(TDockBoundLine::blBottom)) {
    c->Pen()->SetColor(clBtnHighlight);
    c->MoveTo(0, r.Bottom - 1);
    c->LineTo(r.Right, r.Bottom - 1);
  }
  if (boundLines_.Contains(TDockBoundLine::blLeft)) {
    c->Pen()->SetColor(clBtnShadow);
    c->MoveTo(0, 0);
    c->LineTo(0, r.Bottom);
  }
  if (boundLines_.Contains(TDockBoundLine::blRight)) {
    c->Pen()->SetColor(clBtnHighlight);
    c->MoveTo(r.Right - 1, 0);
    c->LineTo(r.Right - 1, r.Bottom);
  }
}

}  // namespace tw::toolbars
