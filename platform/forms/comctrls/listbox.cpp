#include "platform/forms/comctrls/listbox.h"

#include <algorithm>

#include "platform/forms/comctrls/ctrlpaint.h"
#include "platform/rtl/tickclock.h"

namespace tw {

TW_MESSAGE_MAP(TCustomListBox, OnMessage<TCustomListBox, &TCustomListBox::WMVScroll>(WM_VSCROLL),
               OnMessage<TCustomListBox, &TCustomListBox::WMMouseWheel>(WM_MOUSEWHEEL),
               OnMessage<TCustomListBox, &TCustomListBox::WMGetDlgCode>(WM_GETDLGCODE),
               OnMessage<TCustomListBox, &TCustomListBox::WMSetFocus>(WM_SETFOCUS),
               OnMessage<TCustomListBox, &TCustomListBox::WMKillFocus>(WM_KILLFOCUS));

TCustomListBox::TCustomListBox(TComponent* owner) : TCustomControl(owner) {
  items_ = std::make_unique<TItemStrings>([this](TItemStrings::TChange c, int i) { ItemsChanged(c, i); });
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
  controlStyle_.Exclude(TControlStyleFlag::csClickEvents);
  controlStyle_.Include(TControlStyleFlag::csDoubleClicks);
}

TCustomListBox::~TCustomListBox() { items_->SetChangeHandler(nullptr); }

void TCustomListBox::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style |= WS_VSCROLL;
  if (Ctl3D()) params.ExStyle |= WS_EX_CLIENTEDGE; else params.Style |= WS_BORDER;
}

void TCustomListBox::CreateWnd() {
  TCustomControl::CreateWnd();
  if (integralHeight_) SetBounds(Left(), Top(), Width(), Height());
  UpdateScrollBar();
}

void TCustomListBox::SetIntegralHeight(bool value) {
  integralHeight_ = value;
  if (value) SetBounds(Left(), Top(), Width(), Height());
}

void TCustomListBox::SetBounds(int left, int top, int width, int height) {
  const bool fillsHeight = Align() == TAlign::alClient || Align() == TAlign::alLeft || Align() == TAlign::alRight;
  if (integralHeight_ && HandleAllocated() && style_ != lbOwnerDrawVariable && !fillsHeight) {
    const int frame = Height() - ClientHeight();
    const int row = std::max(1, ItemHeight());
    height = frame + std::max(1, (height - frame) / row) * row;
  }
  TCustomControl::SetBounds(left, top, width, height);
}

void TCustomListBox::SetItems(TStrings* value) { items_->ReplaceWith(value); }

int TCustomListBox::ItemHeight() const {
  if (style_ == lbStandard) return FontRowHeight(Font());
  return itemHeight_;
}

void TCustomListBox::SetItemHeight(int value) {
  if (value < 1 || value == itemHeight_) return;
  itemHeight_ = value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle value) {
  if (value == style_) return;
  style_ = value;
  if (style_ == lbOwnerDrawVariable) items_->MeasureHeights(itemHeight_, [this](int i, int& h) { MeasureItem(i, h); });
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetSorted(bool value) { items_->SetSorted(value); }

void TCustomListBox::SetColumns(int value) {
  columns_ = std::max(0, value);
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetMultiSelect(bool value) {
  if (value == multiSelect_) return;
  multiSelect_ = value;
  // Back to one selection: only the focused item stays selected.
  if (!value)
    for (int i = 0; i < items_->Count(); ++i) items_->SetSelectedFlag(i, i == itemIndex_);
  Invalidate();
}

void TCustomListBox::SetItemIndex(int value) {
  if (value < -1 || value >= items_->Count()) value = -1;
  if (!multiSelect_) {
    if (itemIndex_ >= 0 && itemIndex_ < items_->Count()) items_->SetSelectedFlag(itemIndex_, false);
    if (value >= 0) items_->SetSelectedFlag(value, true);
  }
  // With multiple selection, ItemIndex is only the focused item; the selection stays.
  itemIndex_ = value;
  anchor_ = value;
  if (value >= 0) MakeVisible(value);
  Invalidate();
}

bool TCustomListBox::Selected(int index) const { return items_->Selected(index); }

void TCustomListBox::SetSelected(int index, bool value) {
  if (!multiSelect_) {
    if (value) SetItemIndex(index);
    else if (index == itemIndex_) SetItemIndex(-1);
    else items_->Selected(index);  // range check
    return;
  }
  items_->SetSelectedFlag(index, value);
  Invalidate();
}

int TCustomListBox::SelCount() const {
  if (!multiSelect_) return -1;
  int n = 0;
  for (int i = 0; i < items_->Count(); ++i) n += items_->Selected(i) ? 1 : 0;
  return n;
}

void TCustomListBox::ClearSelection() {
  for (int i = 0; i < items_->Count(); ++i) items_->SetSelectedFlag(i, false);
  if (!multiSelect_) itemIndex_ = -1;
  Invalidate();
}

void TCustomListBox::SelectAll() {
  if (!multiSelect_) return;
  for (int i = 0; i < items_->Count(); ++i) items_->SetSelectedFlag(i, true);
  Invalidate();
}

void TCustomListBox::ItemsChanged(TItemStrings::TChange change, int index) {
  using C = TItemStrings::TChange;
  const int count = items_->Count();
  switch (change) {
    case C::Inserted:
      TItemStrings::FollowChange(change, index, itemIndex_);
      TItemStrings::FollowChange(change, index, anchor_);
      if (style_ == lbOwnerDrawVariable)
        items_->MeasureHeight(index, itemHeight_, [this](int i, int& h) { MeasureItem(i, h); });
      break;
    case C::Deleted:
      TItemStrings::FollowChange(change, index, itemIndex_);
      TItemStrings::FollowChange(change, index, anchor_);
      break;
    case C::Cleared:
      itemIndex_ = -1;
      anchor_ = -1;
      topIndex_ = 0;
      break;
    case C::Changed: break;
    case C::Reordered:
      // The selected item keeps its flag; find where it went.
      if (!multiSelect_)
        itemIndex_ = items_->FirstSelected();
      else if (itemIndex_ >= count) {
        itemIndex_ = -1;
      }
      break;
  }
  if (items_->UpdateCount() > 0 && (change == C::Inserted || change == C::Deleted)) return;
  if (topIndex_ > std::max(0, count - 1)) topIndex_ = std::max(0, count - 1);
  UpdateScrollBar();
  Invalidate();
}

int TCustomListBox::RowTop(int index) const {
  if (style_ != lbOwnerDrawVariable) return (index - topIndex_) * ItemHeight();
  int y = 0;
  if (index >= topIndex_) {
    for (int i = topIndex_; i < index; ++i) y += items_->ItemHeightOf(i);
  } else {
    for (int i = index; i < topIndex_; ++i) y -= items_->ItemHeightOf(i);
  }
  return y;
}

int TCustomListBox::VisibleRows() const {
  const int h = ClientHeight();
  if (style_ != lbOwnerDrawVariable) return std::max(1, h / std::max(1, ItemHeight()));
  int y = 0, n = 0;
  for (int i = topIndex_; i < items_->Count(); ++i) {
    y += items_->ItemHeightOf(i);
    if (y > h) break;
    ++n;
  }
  return std::max(1, n);
}

TRect TCustomListBox::ItemRect(int index) const {
  if (index < 0 || index >= std::max(1, items_->Count())) return {};
  if (columns_ > 0) {
    const int rows = VisibleRows();
    const int colWidth = std::max(1, ClientWidth() / columns_);
    const int rel = index - topIndex_;
    const int col = rel >= 0 ? rel / rows : (rel - rows + 1) / rows;
    const int row = rel - col * rows;
    return Bounds(col * colWidth, row * ItemHeight(), colWidth, ItemHeight());
  }
  const int top = RowTop(index);
  const int h = style_ == lbOwnerDrawVariable && index < items_->Count() ? items_->ItemHeightOf(index) : ItemHeight();
  return Rect(0, top, ClientWidth(), top + h);
}

int TCustomListBox::ItemAtPos(TPoint pos, bool existing) const {
  const int count = items_->Count();
  if (columns_ > 0) {
    const int colWidth = std::max(1, ClientWidth() / columns_);
    const int rows = VisibleRows();
    if (pos.X < 0 || pos.Y < 0) return existing ? -1 : 0;
    int i = topIndex_ + (pos.X / colWidth) * rows + std::min(rows - 1, pos.Y / ItemHeight());
    if (i < count) return i;
    return existing ? -1 : count;
  }
  if (pos.Y < 0) return existing ? -1 : std::max(0, topIndex_ - 1);
  int y = 0;
  for (int i = topIndex_; i < count; ++i) {
    int h = style_ == lbOwnerDrawVariable ? items_->ItemHeightOf(i) : ItemHeight();
    if (pos.Y < y + h) return (existing && (pos.X < 0 || pos.X >= ClientWidth())) ? -1 : i;
    y += h;
    if (y > ClientHeight() + h && !existing) break;
  }
  return existing ? -1 : count;
}

void TCustomListBox::SetTopIndex(int value) {
  const int count = items_->Count();
  value = std::clamp(value, 0, std::max(0, count - 1));
  if (value == topIndex_) return;
  topIndex_ = value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::MakeVisible(int index) {
  if (index < 0 || index >= items_->Count()) return;
  if (index < topIndex_) {
    SetTopIndex(columns_ > 0 ? index / VisibleRows() * VisibleRows() : index);
    return;
  }
  if (columns_ > 0) {
    // Whole columns scroll: the top item always starts a column.
    const int rows = VisibleRows();
    const int col = index / rows;
    const int topCol = topIndex_ / rows;
    if (col >= topCol + columns_) SetTopIndex((col - columns_ + 1) * rows);
    return;
  }
  // Move the top down until the item's bottom fits.
  int top = topIndex_;
  auto bottomOf = [&](int t) {
    int y = 0;
    for (int i = t; i <= index; ++i) y += style_ == lbOwnerDrawVariable ? items_->ItemHeightOf(i) : ItemHeight();
    return y;
  };
  if (style_ != lbOwnerDrawVariable) {
    const int rows = VisibleRows();
    if (index >= top + rows) top = index - rows + 1;
  } else {
    while (top < index && bottomOf(top) > ClientHeight()) ++top;
  }
  SetTopIndex(top);
}

void TCustomListBox::UpdateScrollBar() {
  if (!HandleAllocated() || updatingScroll_) return;
  updatingScroll_ = true;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  const int count = items_->Count();
  const int rows = columns_ > 0 ? VisibleRows() * columns_ : VisibleRows();
  si.nMin = 0;
  si.nMax = std::max(0, count - 1);
  si.nPage = static_cast<UINT>(count > rows ? rows : count + 1);
  si.nPos = topIndex_;
  SetScrollInfo(handle_, SB_VERT, &si, true);
  updatingScroll_ = false;
}

void TCustomListBox::Resize() {
  TCustomControl::Resize();
  UpdateScrollBar();
}

void TCustomListBox::WMVScroll(TMessage& msg) {
  const int rows = VisibleRows();
  int top = topIndex_;
  switch (LOWORD(msg.WParam)) {
    case SB_LINEUP: --top; break;
    case SB_LINEDOWN: ++top; break;
    case SB_PAGEUP: top -= rows; break;
    case SB_PAGEDOWN: top += rows; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: top = static_cast<SHORT>(HIWORD(msg.WParam)); {
        SCROLLINFO si;
        si.fMask = SIF_TRACKPOS;
        if (GetScrollInfo(handle_, SB_VERT, &si)) top = si.nTrackPos;
      }
      break;
    case SB_TOP: top = 0; break;
    case SB_BOTTOM: top = items_->Count() - rows; break;
    default: return;
  }
  top = std::min(top, std::max(0, items_->Count() - rows));
  SetTopIndex(top);
  msg.Result = 0;
}

void TCustomListBox::WMMouseWheel(TMessage& msg) {
  const int delta = GET_WHEEL_DELTA_WPARAM(msg.WParam);
  const int rows = VisibleRows();
  int top = topIndex_ - (delta / 120) * 3;
  SetTopIndex(std::min(top, std::max(0, items_->Count() - rows)));
  msg.Result = 1;
}

void TCustomListBox::WMGetDlgCode(TMessage& msg) { msg.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TCustomListBox::WMSetFocus(TMessage& msg) {
  InheritedMessage(TCustomListBox::StaticClass(), msg);
  Invalidate();
}

void TCustomListBox::WMKillFocus(TMessage& msg) {
  InheritedMessage(TCustomListBox::StaticClass(), msg);
  Invalidate();
}

void TCustomListBox::WMLButtonDblClk(TMessage& msg) { InheritedMessage(TCustomListBox::StaticClass(), msg); }

void TCustomListBox::MeasureItem(int index, int& height) { FireEvent(OnMeasureItem, this, index, height); }

void TCustomListBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  if (IsOwnerDraw() && OnDrawItem) {
    FireEvent(OnDrawItem, this, index, rect, state);
    return;
  }
  DrawPlainItem(Canvas(), rect, index < items_->Count() ? &items_->StringRef(index) : nullptr, false);
}

void TCustomListBox::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  const int count = items_->Count();
  const bool focused = Focused();
  const int perPage = columns_ > 0 ? VisibleRows() * columns_ : count;
  for (int i = topIndex_; i < count && i < topIndex_ + perPage + 1; ++i) {
    TRect r = ItemRect(i);
    if (columns_ == 0 && r.Top >= ClientHeight()) break;
    TOwnerDrawState state;
    const bool sel = items_->Selected(i);
    if (sel) state.Include(odSelected);
    if (focused && i == itemIndex_) state.Include(odFocused);
    if (!Enabled()) state.Include(odDisabled);
    c->Font()->Assign(Font());
    SetItemColors(c, sel, Color());
    if (!Enabled()) c->Font()->SetColor(clGrayText);
    DrawItem(i, r, state);
    if (state.Contains(odFocused)) c->DrawFocusRect(r);
  }
  if (count == 0 && focused) c->DrawFocusRect(Rect(0, 0, ClientWidth(), ItemHeight()));
}

void TCustomListBox::SelectionChangedByUser() {
  Invalidate();
  Click();
}

void TCustomListBox::UserSelect(int index, TShiftState shift, bool fromMouse) {
  const int count = items_->Count();
  if (count == 0) return;
  index = std::clamp(index, 0, count - 1);
  const bool shiftDown = shift.Contains(TShiftStateFlag::ssShift);
  const bool ctrlDown = shift.Contains(TShiftStateFlag::ssCtrl);
  if (!multiSelect_) {
    const bool changed = index != itemIndex_;
    SetItemIndex(index);
    if (changed || fromMouse) SelectionChangedByUser();
    return;
  }
  if (!extendedSelect_) {
    itemIndex_ = index;
    if (fromMouse) items_->SetSelectedFlag(index, !items_->Selected(index));
    MakeVisible(index);
    if (fromMouse) SelectionChangedByUser(); else Invalidate();
    return;
  }
  // Extended selection: Shift extends from the anchor, Ctrl toggles (mouse) or only moves the
  // focus (keys), a plain move selects that item alone.
  if (shiftDown) {
    if (anchor_ < 0) anchor_ = itemIndex_ < 0 ? index : itemIndex_;
    const int a = std::min(anchor_, index), b = std::max(anchor_, index);
    if (!ctrlDown)
      for (int i = 0; i < count; ++i) items_->SetSelectedFlag(i, i >= a && i <= b);
    else
      for (int i = a; i <= b; ++i) items_->SetSelectedFlag(i, true);
  } else if (ctrlDown) {
    if (fromMouse) items_->SetSelectedFlag(index, !items_->Selected(index));
    anchor_ = index;
  } else {
    for (int i = 0; i < count; ++i) items_->SetSelectedFlag(i, i == index);
    anchor_ = index;
  }
  itemIndex_ = index;
  MakeVisible(index);
  if (!fromMouse && ctrlDown && !shiftDown) {
    Invalidate();
    return;
  }
  SelectionChangedByUser();
}

void TCustomListBox::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0) return;
  const int count = items_->Count();
  if (count == 0) return;
  const int rows = columns_ > 0 ? VisibleRows() : std::max(1, VisibleRows() - 1);
  int cur = itemIndex_;
  int target = -2;
  switch (key) {
    case VK_UP: target = cur < 0 ? 0 : cur - 1; break;
    case VK_DOWN: target = cur < 0 ? 0 : cur + 1; break;
    case VK_LEFT: if (columns_ > 0) target = std::max(0, cur - VisibleRows()); else target = cur - 1; break;
    case VK_RIGHT: if (columns_ > 0) target = std::min(count - 1, cur + VisibleRows()); else target = cur + 1; break;
    case VK_PRIOR: target = cur < 0 ? 0 : cur - rows; break;
    case VK_NEXT: target = cur < 0 ? 0 : cur + rows; break;
    case VK_HOME: target = 0; break;
    case VK_END: target = count - 1; break;
    case VK_SPACE:
      if (multiSelect_ && cur >= 0) {
        if (!extendedSelect_ || shift.Contains(TShiftStateFlag::ssCtrl)) {
          items_->SetSelectedFlag(cur, !items_->Selected(cur));
        } else {
          for (int i = 0; i < count; ++i) items_->SetSelectedFlag(i, i == cur);
        }
        anchor_ = cur;
        key = 0;
        SelectionChangedByUser();
      }
      return;
    default: return;
  }
  key = 0;
  UserSelect(std::clamp(target, 0, count - 1), shift, false);
}

void TCustomListBox::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  const unsigned char ch = static_cast<unsigned char>(key);
  if (ch < 32 || items_->Count() == 0) return;
  // Typed letters find the next item that starts with them; a pause starts a new search.
  const int found = items_->FindTyped(typed_, typedTime_, GetTickCount(), static_cast<char>(ch), itemIndex_);
  if (found >= 0) UserSelect(found, TShiftState(), false);
  key = 0;
}

void TCustomListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (DoubleClickDown(button, shift, x, y)) return;
  if (button == TMouseButton::mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    int i = ItemAtPos({x, y}, true);
    if (i >= 0) {
      UserSelect(i, shift, true);
      tracking_ = !multiSelect_ || extendedSelect_;
      if (tracking_) SetMouseCapture(true);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomListBox::MouseMove(TShiftState shift, int x, int y) {
  if (tracking_) {
    int i = ItemAtPos({x, y}, false);
    if (i >= items_->Count()) i = items_->Count() - 1;
    if (i >= 0 && i != itemIndex_) UserSelect(i, multiSelect_ ? shift + TShiftState{TShiftStateFlag::ssShift} : shift, true);
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomListBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (tracking_) {
    tracking_ = false;
    SetMouseCapture(false);
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomListBox::WndProc(TMessage& msg) {
  auto text = [&](LPARAM lp) { return lp == 0 ? std::string() : std::string(reinterpret_cast<const char*>(lp)); };
  auto valid = [&](WPARAM wp) { return static_cast<int>(wp) >= 0 && static_cast<int>(wp) < items_->Count(); };
  switch (msg.Msg) {
    case LB_ADDSTRING: msg.Result = items_->Add(text(msg.LParam)); return;
    case LB_INSERTSTRING: msg.Result = items_->InsertClamped(static_cast<int>(msg.WParam), text(msg.LParam)); return;
    case LB_DELETESTRING:
      if (!valid(msg.WParam)) { msg.Result = LB_ERR; return; }
      items_->Delete(static_cast<int>(msg.WParam));
      msg.Result = items_->Count();
      return;
    case LB_RESETCONTENT: items_->Clear(); msg.Result = 0; return;
    case LB_GETCOUNT: msg.Result = items_->Count(); return;
    case LB_GETCURSEL: msg.Result = itemIndex_; return;
    case LB_SETCURSEL:
      if (multiSelect_) { msg.Result = LB_ERR; return; }
      SetItemIndex(valid(msg.WParam) ? static_cast<int>(msg.WParam) : -1);
      msg.Result = static_cast<int>(msg.WParam) == itemIndex_ && itemIndex_ >= 0 ? itemIndex_ : LB_ERR;
      return;
    case LB_GETSEL: msg.Result = valid(msg.WParam) ? (items_->Selected(static_cast<int>(msg.WParam)) ? 1 : 0) : LB_ERR; return;
    case LB_SETSEL: {
      if (!multiSelect_) { msg.Result = LB_ERR; return; }
      const int i = static_cast<int>(msg.LParam);
      if (i == -1) {
        for (int k = 0; k < items_->Count(); ++k) items_->SetSelectedFlag(k, msg.WParam != 0);
      } else if (i >= 0 && i < items_->Count()) {
        items_->SetSelectedFlag(i, msg.WParam != 0);
      } else {
        msg.Result = LB_ERR;
        return;
      }
      Invalidate();
      msg.Result = 0;
      return;
    }
    case LB_GETSELCOUNT: msg.Result = multiSelect_ ? SelCount() : LB_ERR; return;
    case LB_GETSELITEMS: {
      if (!multiSelect_) { msg.Result = LB_ERR; return; }
      auto* out = reinterpret_cast<int*>(msg.LParam);
      int n = 0;
      for (int i = 0; i < items_->Count() && n < static_cast<int>(msg.WParam); ++i)
        if (items_->Selected(i)) out[n++] = i;
      msg.Result = n;
      return;
    }
    case LB_GETTEXT:
      msg.Result = valid(msg.WParam) ? static_cast<LRESULT>(items_->CopyText(static_cast<int>(msg.WParam),
                                                                              reinterpret_cast<char*>(msg.LParam)))
                                     : LB_ERR;
      return;
    case LB_GETTEXTLEN:
      msg.Result = valid(msg.WParam) ? static_cast<LRESULT>(items_->StringRef(static_cast<int>(msg.WParam)).size()) : LB_ERR;
      return;
    case LB_GETITEMDATA: msg.Result = valid(msg.WParam) ? items_->GetObject(static_cast<int>(msg.WParam)) : LB_ERR; return;
    case LB_SETITEMDATA:
      if (!valid(msg.WParam)) { msg.Result = LB_ERR; return; }
      items_->PutObject(static_cast<int>(msg.WParam), msg.LParam);
      msg.Result = 0;
      return;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING: {
      const std::string s = text(msg.LParam);
      const int n = items_->Count();
      int found = LB_ERR;
      for (int k = 1; k <= n; ++k) {
        int i = (static_cast<int>(msg.WParam) + k) % n;
        if (static_cast<int>(msg.WParam) < 0) i = k - 1;
        const std::string& item = items_->StringRef(i);
        bool match = msg.Msg == LB_FINDSTRINGEXACT
                         ? items_->CompareStrings(item, s) == 0
                         : item.size() >= s.size() && items_->CompareStrings(item.substr(0, s.size()), s) == 0;
        if (match) { found = i; break; }
      }
      if (msg.Msg == LB_SELECTSTRING && found >= 0 && !multiSelect_) SetItemIndex(found);
      msg.Result = found;
      return;
    }
    case LB_GETTOPINDEX: msg.Result = topIndex_; return;
    case LB_SETTOPINDEX: SetTopIndex(static_cast<int>(msg.WParam)); msg.Result = 0; return;
    case LB_GETCARETINDEX: msg.Result = itemIndex_; return;
    case LB_SETCARETINDEX:
      if (!valid(msg.WParam)) { msg.Result = LB_ERR; return; }
      itemIndex_ = static_cast<int>(msg.WParam);
      MakeVisible(itemIndex_);
      Invalidate();
      msg.Result = 0;
      return;
    case LB_GETITEMHEIGHT:
      msg.Result = style_ == lbOwnerDrawVariable && valid(msg.WParam) ? items_->ItemHeightOf(static_cast<int>(msg.WParam)) : ItemHeight();
      return;
    case LB_SETITEMHEIGHT:
      if (style_ == lbOwnerDrawVariable && valid(msg.WParam)) items_->SetItemHeightOf(static_cast<int>(msg.WParam), static_cast<int>(LOWORD(msg.LParam)));
      else SetItemHeight(static_cast<int>(LOWORD(msg.LParam)));
      msg.Result = 0;
      return;
    case LB_GETITEMRECT:
      if (!valid(msg.WParam) || msg.LParam == 0) { msg.Result = LB_ERR; return; }
      *reinterpret_cast<RECT*>(msg.LParam) = ItemRect(static_cast<int>(msg.WParam));
      msg.Result = 1;
      return;
    case LB_ITEMFROMPOINT: {
      int i = ItemAtPos({static_cast<SHORT>(LOWORD(msg.LParam)), static_cast<SHORT>(HIWORD(msg.LParam))}, true);
      msg.Result = i < 0 ? 0x10000 | std::max(0, items_->Count() - 1) : i;
      return;
    }
    default: break;
  }
  TCustomControl::WndProc(msg);
}

}  // namespace tw

namespace tw {
TW_PUBLISHED(TCustomListBox, Prop("Items", &TCustomListBox::Items, &TCustomListBox::SetItems),
             Prop("MultiSelect", &TCustomListBox::MultiSelect, &TCustomListBox::SetMultiSelect),
             Prop("ExtendedSelect", &TCustomListBox::ExtendedSelect, &TCustomListBox::SetExtendedSelect),
             Prop("Sorted", &TCustomListBox::Sorted, &TCustomListBox::SetSorted),
             Prop("Style", &TCustomListBox::Style, &TCustomListBox::SetStyle),
             Prop("ItemHeight", &TCustomListBox::ItemHeight, &TCustomListBox::SetItemHeight),
             Prop("Columns", &TCustomListBox::Columns, &TCustomListBox::SetColumns),
             Prop("IntegralHeight", &TCustomListBox::IntegralHeight, &TCustomListBox::SetIntegralHeight),
             Prop("OnDrawItem", &TCustomListBox::OnDrawItem),
             Prop("OnMeasureItem", &TCustomListBox::OnMeasureItem));
TW_REGISTER_CLASS(TListBox);
}  // namespace tw
