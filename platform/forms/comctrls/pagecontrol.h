// TPageControl with TTabSheet: pages of controls chosen by tabs along the top; the user
// changes pages by clicking a tab, by the arrow keys on the focused tabs and by Ctrl+Tab /
// Ctrl+Shift+Tab anywhere inside the control; OnChanging may refuse a change.
#pragma once

#include <functional>
#include <vector>

#include "platform/forms/controls.h"

namespace tw {

class TPageControl;

class TTabSheet : public TWinControl {
  TW_CLASS(TTabSheet, TWinControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;

  TPageControl* PageControl() const { return pageControl_; }
  // Moves the sheet to another page control (nullptr: none); the sheet's parent follows.
  void SetPageControl(TPageControl* value);
  void SetParent(TWinControl* parent) override;
  // Index among all pages; -1 without a page control.
  int PageIndex() const;
  void SetPageIndex(int value);
  // Index among the visible tabs; -1 when the tab is hidden.
  int TabIndex() const;
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value) { imageIndex_ = value; }

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

 protected:
  void CMTextChanged(TMessage& msg);
  void PaintWindow(HDC dc) override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
  int imageIndex_ = -1;
  bool settingParent_ = false;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TCustomControl {
  TW_CLASS(TPageControl, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;

  int PageCount() const { return static_cast<int>(pages_.size()); }
  // Raises EListError for an index out of range.
  TTabSheet* Pages(int index) const;
  TTabSheet* ActivePage() const { return active_; }
  // Shows the page (no events, as for any change by code).
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const { return active_ != nullptr ? active_->PageIndex() : -1; }
  void SetActivePageIndex(int value);
  // The visible tab of the active page; setting it chooses that tab's page.
  int TabIndex() const { return active_ != nullptr ? active_->TabIndex() : -1; }
  void SetTabIndex(int value);
  int TabCount() const;
  // The next (or previous) page with a visible tab, wrapping; nullptr when none.
  TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;
  // Changes page as the user does: OnChanging may refuse, OnChange follows.
  void SelectNextPage(bool goForward);
  // Tries to make `page` active as the user would; false when OnChanging refused.
  bool ChangeActivePage(TTabSheet* page);
  // A page shown by code (or a control on it) becomes the active page: tab and page agree.
  void ShowControl(TControl* control) override;

  // Geometry: the tab of a visible tab index, the area that the pages fill.
  TRect TabRect(int tabIndex) const;
  TRect DisplayRect() const;
  int TabHeight() const;
  // The visible tab at a client point; -1 when none.
  int IndexOfTabAt(int x, int y) const;

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

 protected:
  virtual bool CanChange();
  virtual void Change();
  void Paint() override;
  void Resize() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void AlignControls(TControl* control, TRect& rect) override;
  // After reading a form: the first page with a tab shows when none was named.
  void Loaded() override;
  void WMGetDlgCode(TMessage& msg);
  void CMDialogKey(TMessage& msg);
  void CMFontChanged(TMessage& msg);
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void LayoutPages();
  TTabSheet* TabPage(int tabIndex) const;
  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
};

}  // namespace tw
