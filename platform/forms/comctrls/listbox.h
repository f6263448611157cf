// TListBox: a scrolling list of lines, single or multiple selection, standard or owner-drawn,
// answering the LB_* messages.
#pragma once

#include <memory>
#include <string>

#include "platform/forms/comctrls/itemstrings.h"
#include "platform/forms/comctrls/listmessages.h"
#include "platform/forms/comctrls/ownerdraw.h"
#include "platform/forms/controls.h"

namespace tw {

enum class TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
TW_ENUM_NAMES(TListBoxStyle, "lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable");
using enum TListBoxStyle;

class TCustomListBox : public TCustomControl {
  TW_CLASS(TCustomListBox, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;

  TStrings* Items() const { return items_.get(); }
  // Copies the lines (and their objects) of `value`.
  void SetItems(TStrings* value);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int value);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value) { extendedSelect_ = value; }
  bool Selected(int index) const;
  void SetSelected(int index, bool value);
  int SelCount() const;
  void ClearSelection();
  void SelectAll();
  bool Sorted() const { return items_->Sorted(); }
  void SetSorted(bool value);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle value);
  // The height of a row: the font's for lbStandard, the set value for owner drawing.
  int ItemHeight() const;
  void SetItemHeight(int value);
  int TopIndex() const { return topIndex_; }
  void SetTopIndex(int value);
  int Columns() const { return columns_; }
  void SetColumns(int value);
  bool IntegralHeight() const { return integralHeight_; }
  // With IntegralHeight the height shrinks to whole rows (fixed-height styles).
  void SetIntegralHeight(bool value);
  void SetBounds(int left, int top, int width, int height) override;
  bool Ctl3DProp() const { return Ctl3D(); }

  // The item at a client point; -1 when none (with `existing` false: the row there even past
  // the last item, capped to the count).
  int ItemAtPos(TPoint pos, bool existing) const;
  TRect ItemRect(int index) const;
  // Rows that fit wholly in the client area (at least 1).
  int VisibleRows() const;

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Paint() override;
  virtual void DrawItem(int index, TRect rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Resize() override;
  void WndProc(TMessage& msg) override;

  void WMVScroll(TMessage& msg);
  void WMMouseWheel(TMessage& msg);
  void WMGetDlgCode(TMessage& msg);
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);
  void WMLButtonDblClk(TMessage& msg);

  // Moves the caret (and, for single selection, the selection) to `index` as the user did:
  // scrolled into view, OnClick when the selection changed.
  void UserSelect(int index, TShiftState shift, bool fromMouse);
  void ItemsChanged(TItemStrings::TChange change, int index);
  void UpdateScrollBar();
  void MakeVisible(int index);
  // Top of row `index` relative to the top row (variable heights counted).
  int RowTop(int index) const;
  bool IsOwnerDraw() const { return style_ != lbStandard; }
  void SelectionChangedByUser();

  std::unique_ptr<TItemStrings> items_;
  int itemIndex_ = -1;
  int anchor_ = -1;
  int topIndex_ = 0;
  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  TListBoxStyle style_ = lbStandard;
  int itemHeight_ = 16;
  int columns_ = 0;
  bool integralHeight_ = false;
  bool tracking_ = false;
  bool updatingScroll_ = false;
  std::string typed_;
  unsigned typedTime_ = 0;
};

class TListBox : public TCustomListBox {
  TW_CLASS(TListBox, TCustomListBox)
 public:
  explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

}  // namespace tw
