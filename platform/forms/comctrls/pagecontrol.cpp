#include "platform/forms/comctrls/pagecontrol.h"

#include <algorithm>

#include "platform/classes/classesconst.h"
#include "platform/forms/comctrls/ctrlpaint.h"
#include "platform/forms/forms.h"
#include "platform/rtl/sysutils.h"

namespace tw {

// --- TTabSheet

TW_MESSAGE_MAP(TTabSheet, OnMessage<TTabSheet, &TTabSheet::CMTextChanged>(CM_TEXTCHANGED));

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  controlStyle_.Include(TControlStyleFlag::csAcceptsControls);
  SetVisible(false);
  SetParentColor(false);
  SetColor(clBtnFace);
}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetParent(TWinControl* parent) {
  TWinControl::SetParent(parent);
  if (settingParent_) return;
  auto* pc = dynamic_cast<TPageControl*>(parent);
  if (pc != pageControl_) {
    if (pageControl_ != nullptr) pageControl_->RemovePage(this);
    if (pc != nullptr) pc->InsertPage(this);
  }
}

void TTabSheet::SetPageControl(TPageControl* value) {
  if (value == pageControl_) return;
  if (pageControl_ != nullptr) pageControl_->RemovePage(this);
  settingParent_ = true;
  try {
    TWinControl::SetParent(value);
  } catch (...) {
    settingParent_ = false;
    throw;
  }
  settingParent_ = false;
  if (value != nullptr) value->InsertPage(this);
}

int TTabSheet::PageIndex() const {
  if (pageControl_ == nullptr) return -1;
  const auto& p = pageControl_->pages_;
  return static_cast<int>(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::SetPageIndex(int value) {
  if (pageControl_ == nullptr) return;
  auto& p = pageControl_->pages_;
  value = std::clamp(value, 0, static_cast<int>(p.size()) - 1);
  p.erase(p.begin() + PageIndex());
  p.insert(p.begin() + value, this);
  pageControl_->Invalidate();
}

int TTabSheet::TabIndex() const {
  if (pageControl_ == nullptr || !tabVisible_) return -1;
  int n = 0;
  for (TTabSheet* s : pageControl_->pages_) {
    if (s == this) return n;
    if (s->tabVisible_) ++n;
  }
  return -1;
}

void TTabSheet::SetTabVisible(bool value) {
  if (value == tabVisible_) return;
  tabVisible_ = value;
  if (pageControl_ != nullptr) {
    pageControl_->LayoutPages();
    pageControl_->Invalidate();
  }
}

void TTabSheet::CMTextChanged(TMessage& msg) {
  InheritedMessage(TTabSheet::StaticClass(), msg);
  if (pageControl_ != nullptr) pageControl_->Invalidate();
}

void TTabSheet::PaintWindow(HDC dc) {
  TDCCanvas canvas(dc);
  canvas.Brush()->SetColor(Color());
  canvas.FillRect(GetClientRect());
}

// --- TPageControl

TW_MESSAGE_MAP(TPageControl, OnMessage<TPageControl, &TPageControl::WMGetDlgCode>(WM_GETDLGCODE),
               OnMessage<TPageControl, &TPageControl::CMDialogKey>(CM_DIALOGKEY),
               OnMessage<TPageControl, &TPageControl::CMFontChanged>(CM_FONTCHANGED),
               OnMessage<TPageControl, &TPageControl::WMSetFocus>(WM_SETFOCUS),
               OnMessage<TPageControl, &TPageControl::WMKillFocus>(WM_KILLFOCUS));

TPageControl::TPageControl(TComponent* owner) : TCustomControl(owner) {
  controlStyle_.Include(TControlStyleFlag::csAcceptsControls);
  controlStyle_.Exclude(TControlStyleFlag::csClickEvents);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clBtnFace);
  SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl() {
  // Sheets owned elsewhere may outlive the control: let them forget it.
  for (TTabSheet* s : pages_) s->pageControl_ = nullptr;
  pages_.clear();
  active_ = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const {
  if (index < 0 || index >= PageCount()) throw EListError(Format(classesconst::SListIndexError, {index}));
  return pages_[static_cast<std::size_t>(index)];
}

void TPageControl::InsertPage(TTabSheet* page) {
  if (std::find(pages_.begin(), pages_.end(), page) != pages_.end()) return;
  pages_.push_back(page);
  page->pageControl_ = this;
  page->SetVisible(false);
  LayoutPages();
  if (active_ == nullptr && !ComponentState().Contains(TComponentStateFlag::csLoading)) SetActivePage(page);
  Invalidate();
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  TTabSheet* next = active_ == page ? FindNextPage(page, true, true) : active_;
  if (next == page) next = nullptr;
  pages_.erase(it);
  page->pageControl_ = nullptr;
  if (active_ == page) {
    active_ = nullptr;
    SetActivePage(next);
  }
  Invalidate();
}

int TPageControl::TabCount() const {
  int n = 0;
  for (TTabSheet* s : pages_) n += s->TabVisible() ? 1 : 0;
  return n;
}

TTabSheet* TPageControl::TabPage(int tabIndex) const {
  int n = 0;
  for (TTabSheet* s : pages_) {
    if (!s->TabVisible()) continue;
    if (n == tabIndex) return s;
    ++n;
  }
  return nullptr;
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page != nullptr && page->pageControl_ != this) return;
  if (page == active_) return;
  TTabSheet* old = active_;
  const HWND focus = GetFocus();
  const bool focusInOld = old != nullptr && old->HandleAllocated() && focus != 0 &&
                          (focus == old->Handle() || IsChild(old->Handle(), focus));
  active_ = page;
  LayoutPages();
  if (page != nullptr) {
    page->SetVisible(true);
    page->BringToFront();
    FireEvent(page->OnShow, page);
  }
  if (old != nullptr) {
    if (focusInOld && CanFocus()) SetFocus();
    old->SetVisible(false);
    FireEvent(old->OnHide, old);
  }
  Invalidate();
}

void TPageControl::SetActivePageIndex(int value) {
  SetActivePage(value >= 0 && value < PageCount() ? pages_[static_cast<std::size_t>(value)] : nullptr);
}

void TPageControl::SetTabIndex(int value) { SetActivePage(TabPage(value)); }

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const {
  const int n = PageCount();
  if (n == 0) return nullptr;
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (pages_[static_cast<std::size_t>(i)] == current) start = i;
  if (start < 0) start = goForward ? n - 1 : 0;
  for (int k = 1; k <= n; ++k) {
    const int i = ((start + (goForward ? k : -k)) % n + n) % n;
    TTabSheet* s = pages_[static_cast<std::size_t>(i)];
    if (!checkTabVisible || s->TabVisible()) return s;
  }
  return nullptr;
}

bool TPageControl::CanChange() {
  bool allow = true;
  FireEvent(OnChanging, this, allow);
  return allow;
}

void TPageControl::Change() { FireEvent(OnChange, this); }

bool TPageControl::ChangeActivePage(TTabSheet* page) {
  if (page == nullptr || page == active_) return page == active_;
  if (!CanChange()) return false;
  SetActivePage(page);
  Change();
  return true;
}

void TPageControl::ShowControl(TControl* control) {
  auto* page = dynamic_cast<TTabSheet*>(control);
  if (page != nullptr && page->pageControl_ == this) SetActivePage(page);
  TCustomControl::ShowControl(control);
}

void TPageControl::SelectNextPage(bool goForward) {
  TTabSheet* next = FindNextPage(active_, goForward, true);
  if (next != nullptr && next != active_) ChangeActivePage(next);
}

int TPageControl::TabHeight() const { return FontRowHeight(Font()) + 6; }

TRect TPageControl::TabRect(int tabIndex) const {
  int x = 2;
  int i = 0;
  for (TTabSheet* s : pages_) {
    if (!s->TabVisible()) continue;
    const int w = FontTextWidth(Font(), s->Caption()) + 12;
    if (i == tabIndex) return Rect(x, 2, x + w, 2 + TabHeight());
    x += w;
    ++i;
  }
  return {};
}

TRect TPageControl::DisplayRect() const {
  TRect r = ClientRect();
  r.Top += TabCount() > 0 ? TabHeight() + 2 : 0;
  InflateRect(r, -4, -4);
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

int TPageControl::IndexOfTabAt(int x, int y) const {
  for (int i = 0; i < TabCount(); ++i)
    if (PtInRect(TabRect(i), {x, y})) return i;
  return -1;
}

void TPageControl::LayoutPages() {
  const TRect d = DisplayRect();
  for (TTabSheet* s : pages_) s->SetBounds(d.Left, d.Top, d.Width(), d.Height());
}

void TPageControl::AlignControls(TControl* control, TRect& rect) {
  rect = DisplayRect();
  TCustomControl::AlignControls(control, rect);
}

void TPageControl::Loaded() {
  TCustomControl::Loaded();
  if (active_ == nullptr) SetActivePage(FindNextPage(nullptr, true, true));
}

void TPageControl::Resize() {
  TCustomControl::Resize();
  LayoutPages();
}

void TPageControl::CMFontChanged(TMessage& msg) {
  InheritedMessage(TPageControl::StaticClass(), msg);
  LayoutPages();
  Invalidate();
}

void TPageControl::WMSetFocus(TMessage& msg) {
  InheritedMessage(TPageControl::StaticClass(), msg);
  Invalidate();
}

void TPageControl::WMKillFocus(TMessage& msg) {
  InheritedMessage(TPageControl::StaticClass(), msg);
  Invalidate();
}

void TPageControl::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  TRect frame = ClientRect();
  frame.Top += TabCount() > 0 ? TabHeight() + 1 : 0;
  c->DrawEdge(frame, EDGE_RAISED, BF_RECT);
  c->Font()->Assign(Font());
  const int activeTab = TabIndex();
  for (int i = 0; i < TabCount(); ++i) {
    TRect r = TabRect(i);
    TTabSheet* s = TabPage(i);
    if (i == activeTab) {
      InflateRect(r, 2, 0);
      r.Top -= 2;
      r.Bottom += 1;
    }
    c->Brush()->SetColor(Color());
    c->FillRect(r);
    TRect e = r;
    c->DrawEdge(e, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
    TRect t = r;
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    c->Font()->SetColor(s->Enabled() && Enabled() ? clBtnText : clGrayText);
    c->DrawText(s->Caption(), t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    c->Brush()->SetStyle(TBrushStyle::bsSolid);
    if (i == activeTab && Focused()) {
      InflateRect(t, -3, -3);
      c->DrawFocusRect(t);
    }
  }
}

void TPageControl::WMGetDlgCode(TMessage& msg) { msg.Result = DLGC_WANTARROWS; }

void TPageControl::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == VK_LEFT || key == VK_UP) {
    if (TabIndex() > 0) ChangeActivePage(TabPage(TabIndex() - 1));
    key = 0;
  } else if (key == VK_RIGHT || key == VK_DOWN) {
    if (TabIndex() + 1 < TabCount()) ChangeActivePage(TabPage(TabIndex() + 1));
    key = 0;
  }
}

void TPageControl::CMDialogKey(TMessage& msg) {
  // Ctrl+Tab and Ctrl+Shift+Tab turn the pages while the focus is anywhere inside.
  if (static_cast<UINT>(msg.WParam) == VK_TAB && GetKeyState(static_cast<int>(VK_CONTROL)) < 0 && HandleAllocated()) {
    const HWND focus = GetFocus();
    if (focus != 0 && (focus == handle_ || IsChild(handle_, focus))) {
      SelectNextPage(GetKeyState(static_cast<int>(VK_SHIFT)) >= 0);
      msg.Result = 1;
      return;
    }
  }
  InheritedMessage(TPageControl::StaticClass(), msg);
}

void TPageControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    const int tab = IndexOfTabAt(x, y);
    if (tab >= 0) {
      if (CanFocus() && !Focused()) SetFocus();
      TTabSheet* page = TabPage(tab);
      if (page != active_) ChangeActivePage(page);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

}  // namespace tw

namespace tw {
TW_PUBLISHED(TTabSheet, Prop("PageControl", &TTabSheet::PageControl, &TTabSheet::SetPageControl),
             Prop("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible),
             Prop("PageIndex", &TTabSheet::PageIndex, &TTabSheet::SetPageIndex),
             Prop("ImageIndex", &TTabSheet::ImageIndex, &TTabSheet::SetImageIndex),
             Prop("OnShow", &TTabSheet::OnShow), Prop("OnHide", &TTabSheet::OnHide));
TW_PUBLISHED(TPageControl, Prop("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage),
             Prop("OnChange", &TPageControl::OnChange), Prop("OnChanging", &TPageControl::OnChanging));
TW_REGISTER_CLASS(TTabSheet);
TW_REGISTER_CLASS(TPageControl);
}  // namespace tw
