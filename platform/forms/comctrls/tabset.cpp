#include "platform/forms/comctrls/tabset.h"

#include <algorithm>

#include "platform/forms/comctrls/ctrlpaint.h"

namespace tw {

TW_MESSAGE_MAP(TTabSet, OnMessage<TTabSet, &TTabSet::WMGetDlgCode>(WM_GETDLGCODE));

TTabSet::TTabSet(TComponent* owner) : TCustomControl(owner), tabs_(std::make_unique<TStringList>()) {
  controlStyle_.Exclude(TControlStyleFlag::csClickEvents);
  tabs_->OnChange = [this](TObject* s) { TabsChanged(s); };
  SetParentColor(false);
  SetColor(clBtnFace);
  SetBounds(0, 0, 185, 21);
}

TTabSet::~TTabSet() { tabs_->OnChange = nullptr; }

void TTabSet::SetTabs(TStrings* value) {
  if (value != tabs_.get()) tabs_->Assign(value);
}

void TTabSet::TabsChanged(TObject*) {
  if (tabIndex_ >= tabs_->Count()) tabIndex_ = tabs_->Count() - 1;
  Invalidate();
}

void TTabSet::SetTabIndex(int value) {
  if (value < -1 || value >= tabs_->Count()) value = -1;
  tabIndex_ = value;
  Invalidate();
}

void TTabSet::SetSelectedColor(TColor value) {
  selectedColor_ = value;
  Invalidate();
}

void TTabSet::SetUnselectedColor(TColor value) {
  unselectedColor_ = value;
  Invalidate();
}

TRect TTabSet::TabRect(int index) const {
  int x = 4;
  for (int i = 0; i < tabs_->Count(); ++i) {
    const int w = FontTextWidth(Font(), tabs_->Get(i)) + 14;
    if (i == index) return Rect(x, 0, x + w, ClientHeight());
    x += w - 4;  // tabs overlap a little, as cards do
  }
  return {};
}

int TTabSet::ItemAtPos(TPoint p) const {
  // The chosen tab lies in front of its neighbours.
  if (tabIndex_ >= 0 && PtInRect(TabRect(tabIndex_), p)) return tabIndex_;
  for (int i = 0; i < tabs_->Count(); ++i)
    if (PtInRect(TabRect(i), p)) return i;
  return -1;
}

bool TTabSet::UserSelect(int index) {
  if (index < 0 || index >= tabs_->Count() || index == tabIndex_) return false;
  bool allow = true;
  FireEvent(OnChange, this, index, allow);
  if (!allow) return false;
  SetTabIndex(index);
  return true;
}

void TTabSet::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  c->Pen()->SetColor(clWindowFrame);
  c->MoveTo(0, 0);
  c->LineTo(ClientWidth(), 0);
  c->Font()->Assign(Font());
  auto drawTab = [&](int i) {
    const TRect r = TabRect(i);
    const bool sel = i == tabIndex_;
    std::vector<TPoint> shape = {{r.Left, sel ? 0 : 1}, {r.Left + 4, r.Bottom - 2}, {r.Right - 5, r.Bottom - 2},
                                 {r.Right - 1, sel ? 0 : 1}};
    c->Brush()->SetColor(sel ? selectedColor_ : unselectedColor_);
    c->Pen()->SetColor(clWindowFrame);
    c->Polygon(shape);
    TRect t = r;
    t.Bottom -= 2;
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    c->DrawText(tabs_->Get(i), t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    c->Brush()->SetStyle(TBrushStyle::bsSolid);
  };
  for (int i = tabs_->Count() - 1; i >= 0; --i)
    if (i != tabIndex_) drawTab(i);
  if (tabIndex_ >= 0) drawTab(tabIndex_);
}

void TTabSet::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    const int i = ItemAtPos({x, y});
    if (i >= 0) {
      UserSelect(i);
      Click();
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TTabSet::WMGetDlgCode(TMessage& msg) { msg.Result = DLGC_WANTARROWS; }

void TTabSet::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == VK_LEFT && tabIndex_ > 0) {
    if (UserSelect(tabIndex_ - 1)) Click();
    key = 0;
  } else if (key == VK_RIGHT && tabIndex_ + 1 < tabs_->Count()) {
    if (UserSelect(tabIndex_ + 1)) Click();
    key = 0;
  }
}

}  // namespace tw

namespace tw {
TW_PUBLISHED(TTabSet, Prop("Tabs", &TTabSet::Tabs, &TTabSet::SetTabs),
             Prop("TabIndex", &TTabSet::TabIndex, &TTabSet::SetTabIndex),
             Prop("SelectedColor", &TTabSet::SelectedColor, &TTabSet::SetSelectedColor),
             Prop("UnselectedColor", &TTabSet::UnselectedColor, &TTabSet::SetUnselectedColor),
             Prop("OnChange", &TTabSet::OnChange));
TW_REGISTER_CLASS(TTabSet);
}  // namespace tw
