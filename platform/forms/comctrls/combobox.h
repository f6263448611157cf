// TComboBox: an edit field or a static field with a list that drops down in a pop-up window
// (or, for csSimple, stays shown below the field); owner-drawn styles call OnDrawItem for the
// field and for every list item.  Answers the CB_* messages.
#pragma once

#include <memory>
#include <string>

#include "platform/forms/comctrls/itemstrings.h"
#include "platform/forms/comctrls/listmessages.h"
#include "platform/forms/comctrls/ownerdraw.h"
#include "platform/forms/controls.h"

namespace tw {

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
TW_ENUM_NAMES(TComboBoxStyle, "csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable");
using enum TComboBoxStyle;

class TCustomComboBox : public TCustomControl {
  TW_CLASS(TCustomComboBox, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;

  TStrings* Items() const { return items_.get(); }
  void SetItems(TStrings* value);
  int ItemIndex() const { return itemIndex_; }
  // Selects the item (its text becomes the field's); no events, as for any set by code.
  void SetItemIndex(int value);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle value);
  bool Sorted() const { return items_->Sorted(); }
  void SetSorted(bool value);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int value) { dropDownCount_ = value < 1 ? 1 : value; }
  // Height of a list item: the font's for the text styles, the set value for owner drawing.
  int ItemHeight() const;
  void SetItemHeight(int value);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  bool DroppedDown() const { return dropped_; }
  void SetDroppedDown(bool value);
  // The edit field's selection (edit styles).
  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  void SetSelStart(int value);
  void SetSelLength(int value);
  std::string SelText() const;
  void SelectAll();

  std::string GetText() const override;
  void SetText(const std::string& text) override;
  void SetBounds(int left, int top, int width, int height) override;

  // The pop-up list window while dropped (0 otherwise), and the item under its highlight.
  HWND DropDownWindow() const { return dropWnd_; }
  int DropDownHotItem() const { return hot_; }
  int DropDownTopIndex() const { return dropTop_; }
  // The field's rectangle (client coordinates) and the drop button's.
  TRect EditRect() const;
  TRect ButtonRect() const;

  TNotifyEvent OnChange;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  virtual void DrawItem(int index, TRect rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);
  virtual void Change();
  virtual void DropDown();
  virtual void CloseUp();
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& msg) override;

  void WMGetDlgCode(TMessage& msg);
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);
  void CMFontChanged(TMessage& msg);
  void CMCancelMode(TMessage& msg);

  bool IsOwnerDraw() const { return style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable; }
  bool HasEdit() const { return style_ == csDropDown || style_ == csSimple; }
  // Opens the list; `closeOnly` false.  CloseList ends it, taking the highlighted item when
  // `accept` is true.
  void OpenList();
  void CloseList(bool accept);
  // Selects `index` as the user did: the field follows, then OnClick and OnChange.
  void UserSelect(int index);
  void ItemsChanged(TItemStrings::TChange change, int index);
  int FieldHeight() const;
  int ListItemHeight(int index) const;
  int ListRowsShown() const;
  void MoveHot(int index);
  // The list part of csSimple, in client coordinates.
  TRect SimpleListRect() const;
  void PaintList(TCanvas* canvas, const TRect& area, int top, int highlighted);
  int ListItemAt(const TRect& area, int top, int y) const;

  // Edit field.
  void EditKey(Word& key, TShiftState shift);
  void EditInsert(const std::string& s);
  void EditChanged();
  int CaretFromX(int x) const;
  int TextX(int pos) const;

  static LRESULT DropListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DropMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  std::unique_ptr<TItemStrings> items_;
  TComboBoxStyle style_ = csDropDown;
  int itemIndex_ = -1;
  int dropDownCount_ = 8;
  int itemHeight_ = 16;
  int maxLength_ = 0;
  bool dropped_ = false;
  HWND dropWnd_ = 0;
  int hot_ = -1;
  int dropTop_ = 0;
  bool dropTracking_ = false;
  int selStart_ = 0;
  int selLength_ = 0;
  int editScroll_ = 0;
  int simpleTop_ = 0;
  std::string typed_;
  unsigned typedTime_ = 0;
};

class TComboBox : public TCustomComboBox {
  TW_CLASS(TComboBox, TCustomComboBox)
 public:
  explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

}  // namespace tw
