// TTabSet: a row of tabs named by a string list, one of them chosen; a click on a tab chooses
// it (OnChange may refuse) and then fires OnClick.
#pragma once

#include <functional>
#include <memory>

#include "platform/classes/stringlist.h"
#include "platform/forms/controls.h"

namespace tw {

using TTabChangeEvent = std::function<void(TObject* Sender, int NewTab, bool& AllowChange)>;

class TTabSet : public TCustomControl {
  TW_CLASS(TTabSet, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TTabSet(TComponent* owner);
  ~TTabSet() override;

  TStrings* Tabs() const { return tabs_.get(); }
  void SetTabs(TStrings* value);
  int TabIndex() const { return tabIndex_; }
  // Chooses a tab by code (no events); out-of-range values choose none.
  void SetTabIndex(int value);
  TColor SelectedColor() const { return selectedColor_; }
  void SetSelectedColor(TColor value);
  TColor UnselectedColor() const { return unselectedColor_; }
  void SetUnselectedColor(TColor value);

  TRect TabRect(int index) const;
  int ItemAtPos(TPoint p) const;

  TTabChangeEvent OnChange;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void WMGetDlgCode(TMessage& msg);
  // Chooses a tab as the user did; false when OnChange refused.
  bool UserSelect(int index);

 private:
  void TabsChanged(TObject*);
  std::unique_ptr<TStringList> tabs_;
  int tabIndex_ = -1;
  TColor selectedColor_ = clBtnFace;
  TColor unselectedColor_ = clWindow;
};

}  // namespace tw
