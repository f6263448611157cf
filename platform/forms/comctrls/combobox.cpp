#include "platform/forms/comctrls/combobox.h"

#include <algorithm>

#include "platform/forms/comctrls/ctrlpaint.h"
#include "platform/forms/forms.h"
#include "platform/rtl/tickclock.h"

namespace tw {

namespace {
constexpr const char* kDropClass = "TComboDropList";

int ScrollBarWidth() { return GetSystemMetrics(SM_CXVSCROLL); }
}  // namespace

TW_MESSAGE_MAP(TCustomComboBox, OnMessage<TCustomComboBox, &TCustomComboBox::WMGetDlgCode>(WM_GETDLGCODE),
               OnMessage<TCustomComboBox, &TCustomComboBox::WMSetFocus>(WM_SETFOCUS),
               OnMessage<TCustomComboBox, &TCustomComboBox::WMKillFocus>(WM_KILLFOCUS),
               OnMessage<TCustomComboBox, &TCustomComboBox::CMFontChanged>(CM_FONTCHANGED),
               OnMessage<TCustomComboBox, &TCustomComboBox::CMCancelMode>(CM_CANCELMODE));

TCustomComboBox::TCustomComboBox(TComponent* owner) : TCustomControl(owner) {
  items_ = std::make_unique<TItemStrings>([this](TItemStrings::TChange c, int i) { ItemsChanged(c, i); });
  controlStyle_.Exclude(TControlStyleFlag::csClickEvents);
  controlStyle_.Exclude(TControlStyleFlag::csCaptureMouse);
  controlStyle_.Include(TControlStyleFlag::csDoubleClicks);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
  SetBounds(0, 0, 145, 0);
}

TCustomComboBox::~TCustomComboBox() {
  if (dropWnd_ != 0) {
    dropped_ = false;
    SetWindowLongPtr(dropWnd_, GWLP_USERDATA, 0);
    DestroyWindow(dropWnd_);
    dropWnd_ = 0;
  }
  items_->SetChangeHandler(nullptr);
}

void TCustomComboBox::CreateParams(TCreateParams& params) { TCustomControl::CreateParams(params); }

// --- properties

void TCustomComboBox::SetItems(TStrings* value) { items_->ReplaceWith(value); }

void TCustomComboBox::SetItemIndex(int value) {
  if (value < -1 || value >= items_->Count()) value = -1;
  if (itemIndex_ >= 0 && itemIndex_ < items_->Count()) items_->SetSelectedFlag(itemIndex_, false);
  itemIndex_ = value;
  if (value >= 0) items_->SetSelectedFlag(value, true);
  if (HasEdit()) {
    SetTextField(value >= 0 ? items_->StringRef(value) : std::string());
    SelectAll();
  }
  if (dropped_) MoveHot(value);
  Invalidate();
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
  if (value == style_) return;
  if (dropped_) CloseList(false);
  style_ = value;
  if (style_ == csOwnerDrawVariable) items_->MeasureHeights(itemHeight_, [this](int i, int& h) { MeasureItem(i, h); });
  if (!HasEdit()) SetTextField(std::string());
  SetBounds(Left(), Top(), Width(), Height());
  Invalidate();
}

void TCustomComboBox::SetSorted(bool value) { items_->SetSorted(value); }

int TCustomComboBox::ItemHeight() const { return IsOwnerDraw() ? itemHeight_ : FontRowHeight(Font()); }

void TCustomComboBox::SetItemHeight(int value) {
  if (value < 1) return;
  itemHeight_ = value;
  if (IsOwnerDraw()) SetBounds(Left(), Top(), Width(), Height());
  Invalidate();
}

void TCustomComboBox::SetMaxLength(int value) {
  maxLength_ = std::max(0, value);
  if (maxLength_ > 0 && HasEdit()) {
    std::string t = TControl::GetText();
    if (static_cast<int>(t.size()) > maxLength_) SetTextField(t.substr(0, static_cast<std::size_t>(maxLength_)));
  }
}

void TCustomComboBox::SetDroppedDown(bool value) {
  if (value) OpenList(); else CloseList(false);
}

std::string TCustomComboBox::GetText() const {
  if (HasEdit()) return TControl::GetText();
  return itemIndex_ >= 0 ? items_->StringRef(itemIndex_) : std::string();
}

void TCustomComboBox::SetText(const std::string& text) {
  if (!HasEdit()) {
    SetItemIndex(items_->IndexOf(text));
    return;
  }
  std::string t = text;
  if (maxLength_ > 0 && static_cast<int>(t.size()) > maxLength_) t.resize(static_cast<std::size_t>(maxLength_));
  SetTextField(t);
  const int match = items_->IndexOf(t);
  if (itemIndex_ >= 0 && itemIndex_ < items_->Count()) items_->SetSelectedFlag(itemIndex_, false);
  itemIndex_ = match;
  if (match >= 0) items_->SetSelectedFlag(match, true);
  selStart_ = static_cast<int>(t.size());
  selLength_ = 0;
  editScroll_ = 0;
  Invalidate();
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TCustomComboBox::SetSelStart(int value) {
  const int len = static_cast<int>(TControl::GetText().size());
  selStart_ = std::clamp(value, 0, len);
  selLength_ = 0;
  Invalidate();
}

void TCustomComboBox::SetSelLength(int value) {
  const int len = static_cast<int>(TControl::GetText().size());
  selLength_ = std::clamp(value, -selStart_, len - selStart_);
  Invalidate();
}

std::string TCustomComboBox::SelText() const {
  const std::string t = TControl::GetText();
  const int a = std::min(selStart_, selStart_ + selLength_);
  return t.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(std::abs(selLength_)));
}

void TCustomComboBox::SelectAll() {
  selStart_ = 0;
  selLength_ = static_cast<int>(TControl::GetText().size());
  Invalidate();
}

// --- geometry

int TCustomComboBox::FieldHeight() const {
  if (style_ == csOwnerDrawVariable) {
    int h = itemHeight_;
    const_cast<TCustomComboBox*>(this)->MeasureItem(-1, h);
    return h + 6;
  }
  return ItemHeight() + 6;
}

void TCustomComboBox::SetBounds(int left, int top, int width, int height) {
  // The field's height follows the font (or the item height); only csSimple sizes freely.
  if (style_ != csSimple) height = FieldHeight();
  else height = std::max(height, FieldHeight() + 8);
  TCustomControl::SetBounds(left, top, width, height);
}

TRect TCustomComboBox::ButtonRect() const {
  if (style_ == csSimple) return {};
  const int w = ClientWidth();
  return Rect(std::max(2, w - 2 - ScrollBarWidth()), 2, w - 2, FieldHeight() - 2);
}

TRect TCustomComboBox::EditRect() const {
  const int w = ClientWidth();
  const int right = style_ == csSimple ? w - 2 : std::max(2, w - 2 - ScrollBarWidth());
  return Rect(2, 2, right, FieldHeight() - 2);
}

TRect TCustomComboBox::SimpleListRect() const {
  return Rect(0, FieldHeight(), ClientWidth(), ClientHeight());
}

int TCustomComboBox::ListItemHeight(int index) const {
  if (style_ == csOwnerDrawVariable && index >= 0 && index < items_->Count()) return items_->ItemHeightOf(index);
  return ItemHeight();
}

int TCustomComboBox::ListRowsShown() const {
  return std::max(1, std::min(items_->Count(), dropDownCount_));
}

int TCustomComboBox::ListItemAt(const TRect& area, int top, int y) const {
  if (y < area.Top) return -1;
  int yy = area.Top;
  for (int i = top; i < items_->Count(); ++i) {
    const int h = ListItemHeight(i);
    if (y < yy + h) return i;
    yy += h;
    if (yy >= area.Bottom) break;
  }
  return -1;
}

// --- items

void TCustomComboBox::ItemsChanged(TItemStrings::TChange change, int index) {
  using C = TItemStrings::TChange;
  switch (change) {
    case C::Inserted:
      TItemStrings::FollowChange(change, index, itemIndex_);
      if (style_ == csOwnerDrawVariable)
        items_->MeasureHeight(index, itemHeight_, [this](int i, int& h) { MeasureItem(i, h); });
      break;
    case C::Deleted: TItemStrings::FollowChange(change, index, itemIndex_); break;
    case C::Cleared:
      itemIndex_ = -1;
      hot_ = -1;
      dropTop_ = 0;
      simpleTop_ = 0;
      if (HasEdit()) SetTextField(std::string());
      break;
    case C::Changed: break;
    case C::Reordered: itemIndex_ = items_->FirstSelected(); break;
  }
  if (hot_ >= items_->Count()) hot_ = -1;
  if (dropTop_ >= items_->Count()) dropTop_ = 0;
  if (dropWnd_ != 0) InvalidateRect(dropWnd_, nullptr, true);
  Invalidate();
}

// --- events

void TCustomComboBox::Change() { FireEvent(OnChange, this); }

void TCustomComboBox::DropDown() { FireEvent(OnDropDown, this); }

void TCustomComboBox::CloseUp() { FireEvent(OnCloseUp, this); }

void TCustomComboBox::MeasureItem(int index, int& height) { FireEvent(OnMeasureItem, this, index, height); }

void TCustomComboBox::UserSelect(int index) {
  if (index < 0 || index >= items_->Count()) return;
  if (itemIndex_ >= 0 && itemIndex_ < items_->Count()) items_->SetSelectedFlag(itemIndex_, false);
  itemIndex_ = index;
  items_->SetSelectedFlag(index, true);
  if (HasEdit()) {
    SetTextField(items_->StringRef(index));
    SelectAll();
  }
  if (style_ == csSimple) {
    const int rows = std::max(1, SimpleListRect().Height() / std::max(1, ItemHeight()));
    if (index < simpleTop_) simpleTop_ = index;
    else if (index >= simpleTop_ + rows) simpleTop_ = index - rows + 1;
  }
  Invalidate();
  Click();
  Change();
}

// --- the drop-down list

void TCustomComboBox::OpenList() {
  if (dropped_ || style_ == csSimple || !HandleAllocated() || !IsShowing()) return;
  DropDown();
  if (dropped_ || !HandleAllocated()) return;  // the handler may have opened or destroyed it
  WNDCLASS wc;
  if (!GetClassInfo(0, kDropClass, &wc)) {
    WNDCLASS reg;
    reg.style = CS_SAVEBITS;
    reg.lpfnWndProc = &TCustomComboBox::DropListProc;
    reg.hCursor = LoadCursor(0, IDC_ARROW);
    reg.lpszClassName = kDropClass;
    RegisterClass(reg);
  }
  const int rows = ListRowsShown();
  int listHeight = 0;
  for (int i = 0; i < rows; ++i) listHeight += ListItemHeight(std::min(i, std::max(0, items_->Count() - 1)));
  if (items_->Count() == 0) listHeight = ItemHeight();
  TPoint origin = ClientToScreen({0, 0});
  int y = origin.Y + Height();
  const int screenH = GetSystemMetrics(SM_CYSCREEN);
  if (y + listHeight + 2 > screenH && origin.Y - listHeight - 2 >= 0) y = origin.Y - listHeight - 2;
  hot_ = itemIndex_;
  dropTop_ = 0;
  if (hot_ >= rows) dropTop_ = std::min(hot_, items_->Count() - rows);
  HWND owner = Handle();
  if (TCustomForm* form = GetParentForm(this); form != nullptr) owner = form->Handle();
  dropped_ = true;
  dropWnd_ = CreateWindowEx(WS_EX_TOPMOST, kDropClass, "", WS_POPUP | WS_BORDER, origin.X, y, Width(),
                            listHeight + 2, owner, 0, 0, nullptr);
  if (dropWnd_ == 0) {
    dropped_ = false;
    return;
  }
  SetWindowLongPtr(dropWnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowPos(dropWnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  SetCapture(dropWnd_);
  dropTracking_ = false;
  Invalidate();
}

void TCustomComboBox::CloseList(bool accept) {
  if (!dropped_) return;
  dropped_ = false;
  const int chosen = hot_;
  HWND wnd = dropWnd_;
  dropWnd_ = 0;
  if (wnd != 0) {
    SetWindowLongPtr(wnd, GWLP_USERDATA, 0);
    if (GetCapture() == wnd) ReleaseCapture();
    DestroyWindow(wnd);
  }
  hot_ = -1;
  Invalidate();
  if (accept && chosen >= 0 && chosen != itemIndex_) UserSelect(chosen);
  CloseUp();
}

void TCustomComboBox::MoveHot(int index) {
  const int count = items_->Count();
  if (count == 0) return;
  index = std::clamp(index, 0, count - 1);
  hot_ = index;
  const int rows = ListRowsShown();
  if (hot_ < dropTop_) dropTop_ = hot_;
  else if (hot_ >= dropTop_ + rows) dropTop_ = hot_ - rows + 1;
  if (dropWnd_ != 0) InvalidateRect(dropWnd_, nullptr, false);
}

LRESULT TCustomComboBox::DropListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* combo = reinterpret_cast<TCustomComboBox*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
  if (combo == nullptr || combo->dropWnd_ != hwnd) {
    if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    return DefWindowProc(hwnd, msg, wParam, lParam);
  }
  return combo->DropMessage(msg, wParam, lParam);
}

LRESULT TCustomComboBox::DropMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const HWND wnd = dropWnd_;
  RECT client;
  ::tw::GetClientRect(wnd, &client);
  const int count = items_->Count();
  const bool hasBar = count > ListRowsShown();
  TRect area = client;
  if (hasBar) area.Right -= ScrollBarWidth();
  const int x = static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(lParam)));
  const int y = static_cast<SHORT>(HIWORD(static_cast<std::uintptr_t>(lParam)));
  switch (msg) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      auto* canvas = static_cast<TControlCanvas*>(Canvas());
      canvas->FreeHandle();
      canvas->Lock();
      canvas->SetHandle(dc);
      try {
        PaintList(canvas, area, dropTop_, hot_);
        if (hasBar) {
          TRect bar = Rect(area.Right, client.Top, client.Right, client.Bottom);
          canvas->Brush()->SetColor(clScrollBar);
          canvas->FillRect(bar);
          const int rows = ListRowsShown();
          const int thumbH = std::max(8, bar.Height() * rows / count);
          const int maxTop = std::max(1, count - rows);
          const int thumbTop = bar.Top + (bar.Height() - thumbH) * dropTop_ / maxTop;
          DrawButtonFace(canvas, Rect(bar.Left, thumbTop, bar.Right, thumbTop + thumbH), false);
        }
      } catch (...) {
        canvas->SetHandle(0);
        canvas->Unlock();
        EndPaint(wnd, &ps);
        throw;
      }
      canvas->SetHandle(0);
      canvas->Unlock();
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (x >= area.Left && x < area.Right && y >= area.Top && y < area.Bottom) {
        int i = ListItemAt(area, dropTop_, y);
        if (i >= 0 && i != hot_) {
          hot_ = i;
          InvalidateRect(wnd, nullptr, false);
        }
      } else if (dropTracking_ && (y < area.Top || y >= area.Bottom)) {
        // Dragging past the list's edge scrolls it.
        MoveHot(y < area.Top ? (hot_ < 0 ? 0 : hot_ - 1) : hot_ + 1);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (x < client.Left || x >= client.Right || y < client.Top || y >= client.Bottom) {
        CloseList(false);  // a press anywhere else closes the list
        return 0;
      }
      if (hasBar && x >= area.Right) {
        const int rows = ListRowsShown();
        const int maxTop = std::max(0, count - rows);
        const int thumbTop = (client.Bottom - client.Top) * dropTop_ / std::max(1, count);
        dropTop_ = std::clamp(dropTop_ + (y < thumbTop ? -rows : rows), 0, maxTop);
        InvalidateRect(wnd, nullptr, false);
        return 0;
      }
      dropTracking_ = true;
      int i = ListItemAt(area, dropTop_, y);
      if (i >= 0) {
        hot_ = i;
        InvalidateRect(wnd, nullptr, false);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      const bool wasTracking = dropTracking_;
      dropTracking_ = false;
      if (x >= area.Left && x < area.Right && y >= area.Top && y < area.Bottom) {
        int i = ListItemAt(area, dropTop_, y);
        if (i >= 0) {
          hot_ = i;
          CloseList(true);
          return 0;
        }
      }
      (void)wasTracking;
      return 0;
    }
    case WM_MOUSEWHEEL: {
      const int rows = ListRowsShown();
      dropTop_ = std::clamp(dropTop_ - GET_WHEEL_DELTA_WPARAM(wParam) / 120, 0, std::max(0, count - rows));
      InvalidateRect(wnd, nullptr, false);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (dropped_ && static_cast<HWND>(lParam) != wnd) CloseList(false);
      return 0;
    default: break;
  }
  return DefWindowProc(wnd, msg, wParam, lParam);
}

void TCustomComboBox::PaintList(TCanvas* canvas, const TRect& area, int top, int highlighted) {
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(area);
  int y = area.Top;
  for (int i = top; i < items_->Count() && y < area.Bottom; ++i) {
    const int h = ListItemHeight(i);
    TRect r = Rect(area.Left, y, area.Right, y + h);
    TOwnerDrawState state;
    canvas->Font()->Assign(Font());
    if (i == highlighted) {
      state.Include(odSelected);
      state.Include(odFocused);
      canvas->Brush()->SetColor(clHighlight);
      canvas->Font()->SetColor(clHighlightText);
    } else {
      canvas->Brush()->SetColor(Color());
    }
    DrawItem(i, r, state);
    y += h;
  }
}

// --- painting

void TCustomComboBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  if (IsOwnerDraw() && OnDrawItem) {
    FireEvent(OnDrawItem, this, index, rect, state);
    return;
  }
  DrawPlainItem(Canvas(), rect, index >= 0 && index < items_->Count() ? &items_->StringRef(index) : nullptr, true);
}

int TCustomComboBox::TextX(int pos) const {
  const std::string t = TControl::GetText();
  pos = std::clamp(pos, 0, static_cast<int>(t.size()));
  return EditRect().Left + 1 + FontTextWidth(Font(), t.substr(0, static_cast<std::size_t>(pos))) - editScroll_;
}

int TCustomComboBox::CaretFromX(int x) const {
  const std::string t = TControl::GetText();
  int best = 0;
  for (int i = 0; i <= static_cast<int>(t.size()); ++i) {
    if (std::abs(TextX(i) - x) < std::abs(TextX(best) - x)) best = i;
  }
  return best;
}

void TCustomComboBox::Paint() {
  TCanvas* c = Canvas();
  TRect all = ClientRect();
  const bool focused = Focused();
  c->Font()->Assign(Font());
  c->Brush()->SetColor(Color());
  TRect field = Rect(0, 0, all.Right, FieldHeight());
  c->FillRect(field);
  TRect frame = field;
  c->DrawEdge(frame, EDGE_SUNKEN, BF_RECT);
  TRect edit = EditRect();
  if (style_ != csSimple) {
    TRect b = ButtonRect();
    DrawButtonFace(c, b, dropped_);
    DrawArrow(c, b, TArrowDir::Down, Enabled() ? clBtnText : clGrayText);
  }
  c->Font()->Assign(Font());
  if (!Enabled()) c->Font()->SetColor(clGrayText);
  if (HasEdit()) {
    const std::string t = TControl::GetText();
    c->IntersectClipRect(edit);
    c->Brush()->SetColor(Color());
    c->FillRect(edit);
    const int ty = edit.Top + std::max(0, (edit.Height() - c->TextHeight("Wg")) / 2);
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    c->TextOut(TextX(0), ty, t);
    if (focused && selLength_ != 0) {
      const int a = std::min(selStart_, selStart_ + selLength_);
      const int b = std::max(selStart_, selStart_ + selLength_);
      TRect sel = Rect(TextX(a), ty, TextX(b), ty + c->TextHeight("Wg"));
      c->Brush()->SetStyle(TBrushStyle::bsSolid);
      c->Brush()->SetColor(clHighlight);
      c->Font()->SetColor(clHighlightText);
      c->TextRect(sel, sel.Left, ty, t.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)));
    }
    if (focused) {
      const int cx = TextX(selStart_ + selLength_);
      c->Pen()->SetColor(clWindowText);
      c->MoveTo(cx, ty);
      c->LineTo(cx, ty + c->TextHeight("Wg"));
    }
    c->Brush()->SetStyle(TBrushStyle::bsSolid);
    c->ResetClip();
  } else {
    TRect r = edit;
    TOwnerDrawState state{odComboBoxEdit};
    if (focused && !dropped_) {
      state.Include(odSelected);
      state.Include(odFocused);
    }
    SetItemColors(c, focused && !dropped_, Color());
    if (IsOwnerDraw() || itemIndex_ >= 0) {
      DrawItem(itemIndex_, r, state);
    } else {
      c->FillRect(r);
    }
    if (focused && !dropped_) c->DrawFocusRect(r);
  }
  if (style_ == csSimple) {
    TRect list = SimpleListRect();
    TRect inner = list;
    c->Brush()->SetColor(Color());
    c->FillRect(list);
    c->DrawEdge(inner, EDGE_SUNKEN, BF_RECT);
    PaintList(c, inner, simpleTop_, itemIndex_);
  }
}

// --- focus and keys

void TCustomComboBox::WMGetDlgCode(TMessage& msg) {
  msg.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
  if (dropped_) msg.Result |= DLGC_WANTALLKEYS;
}

void TCustomComboBox::WMSetFocus(TMessage& msg) {
  InheritedMessage(TCustomComboBox::StaticClass(), msg);
  if (HasEdit()) SelectAll();
  Invalidate();
}

void TCustomComboBox::WMKillFocus(TMessage& msg) {
  CloseList(false);
  InheritedMessage(TCustomComboBox::StaticClass(), msg);
  Invalidate();
}

void TCustomComboBox::CMFontChanged(TMessage& msg) {
  InheritedMessage(TCustomComboBox::StaticClass(), msg);
  SetBounds(Left(), Top(), Width(), Height());
}

void TCustomComboBox::CMCancelMode(TMessage& msg) {
  CloseList(false);
  InheritedMessage(TCustomComboBox::StaticClass(), msg);
}

void TCustomComboBox::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0) return;
  const bool alt = shift.Contains(TShiftStateFlag::ssAlt);
  if ((alt && (key == VK_DOWN || key == VK_UP)) || (key == VK_F4 && !alt)) {
    if (style_ != csSimple) SetDroppedDown(!dropped_);
    key = 0;
    return;
  }
  const int count = items_->Count();
  const int page = std::max(1, (dropped_ ? ListRowsShown() : dropDownCount_) - 1);
  if (dropped_) {
    int cur = hot_;
    switch (key) {
      case VK_UP: MoveHot(cur < 0 ? 0 : cur - 1); break;
      case VK_DOWN: MoveHot(cur < 0 ? 0 : cur + 1); break;
      case VK_PRIOR: MoveHot(cur - page); break;
      case VK_NEXT: MoveHot(cur < 0 ? page : cur + page); break;
      case VK_HOME: if (!HasEdit()) MoveHot(0); else return; break;
      case VK_END: if (!HasEdit()) MoveHot(count - 1); else return; break;
      case VK_RETURN: CloseList(true); break;
      case VK_ESCAPE: CloseList(false); break;
      default:
        if (HasEdit()) EditKey(key, shift);
        return;
    }
    key = 0;
    return;
  }
  int target = -2;
  switch (key) {
    case VK_UP: target = itemIndex_ - 1; break;
    case VK_DOWN: target = itemIndex_ + 1; break;
    case VK_LEFT: if (!HasEdit()) target = itemIndex_ - 1; break;
    case VK_RIGHT: if (!HasEdit()) target = itemIndex_ + 1; break;
    case VK_PRIOR: target = itemIndex_ - page; break;
    case VK_NEXT: target = itemIndex_ + page; break;
    case VK_HOME: if (!HasEdit()) target = 0; break;
    case VK_END: if (!HasEdit()) target = count - 1; break;
    default: break;
  }
  if (target != -2) {
    if (count > 0) {
      target = std::clamp(target, 0, count - 1);
      if (target != itemIndex_) UserSelect(target);
    }
    key = 0;
    return;
  }
  if (HasEdit()) EditKey(key, shift);
}

void TCustomComboBox::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  const unsigned char ch = static_cast<unsigned char>(key);
  if (key == 0) return;
  if (HasEdit()) {
    if (ch >= 32) {
      EditInsert(std::string(1, key));
      key = 0;
    }
    return;
  }
  if (ch < 32 || items_->Count() == 0) return;
  // A typed letter selects the next item starting with it (a quick series of letters, the
  // first item starting with all of them).
  const int found =
      items_->FindTyped(typed_, typedTime_, GetTickCount(), static_cast<char>(ch), dropped_ ? hot_ : itemIndex_);
  if (found >= 0) {
    if (dropped_) MoveHot(found);
    else if (found != itemIndex_) UserSelect(found);
  }
  key = 0;
}

void TCustomComboBox::EditChanged() {
  const std::string t = TControl::GetText();
  const int match = items_->IndexOf(t);
  // With the list open, its highlight follows the first item that starts with the text.
  if (dropped_ && !t.empty()) {
    const int prefix = items_->FindPrefix(t, -1);
    if (prefix >= 0) MoveHot(prefix);
  }
  if (itemIndex_ >= 0 && itemIndex_ < items_->Count()) items_->SetSelectedFlag(itemIndex_, false);
  itemIndex_ = match;
  if (match >= 0) items_->SetSelectedFlag(match, true);
  // Keep the caret inside the field.
  const TRect edit = EditRect();
  const int caretX = TextX(selStart_ + selLength_);
  if (caretX > edit.Right - 2) editScroll_ += caretX - (edit.Right - 2);
  else if (caretX < edit.Left + 1) editScroll_ = std::max(0, editScroll_ - (edit.Left + 1 - caretX));
  Invalidate();
  Change();
}

void TCustomComboBox::EditInsert(const std::string& s) {
  std::string t = TControl::GetText();
  const int a = std::min(selStart_, selStart_ + selLength_);
  const int n = std::abs(selLength_);
  std::string ins = s;
  if (maxLength_ > 0) {
    const int room = maxLength_ - (static_cast<int>(t.size()) - n);
    if (room <= 0) {
      MessageBeep(0);
      return;
    }
    if (static_cast<int>(ins.size()) > room) ins.resize(static_cast<std::size_t>(room));
  }
  t.replace(static_cast<std::size_t>(a), static_cast<std::size_t>(n), ins);
  SetTextField(t);
  selStart_ = a + static_cast<int>(ins.size());
  selLength_ = 0;
  EditChanged();
}

void TCustomComboBox::EditKey(Word& key, TShiftState shift) {
  const std::string t = TControl::GetText();
  const int len = static_cast<int>(t.size());
  const bool shiftDown = shift.Contains(TShiftStateFlag::ssShift);
  const bool ctrl = shift.Contains(TShiftStateFlag::ssCtrl);
  int caret = selStart_ + selLength_;
  auto moveTo = [&](int pos) {
    pos = std::clamp(pos, 0, len);
    if (shiftDown) {
      selLength_ = pos - selStart_;
    } else {
      selStart_ = pos;
      selLength_ = 0;
    }
    const TRect edit = EditRect();
    const int cx = TextX(pos);
    if (cx > edit.Right - 2) editScroll_ += cx - (edit.Right - 2);
    else if (cx < edit.Left + 1) editScroll_ = std::max(0, editScroll_ - (edit.Left + 1 - cx));
    Invalidate();
  };
  auto copy = [&] {
    if (selLength_ == 0 || !OpenClipboard(Handle())) return;
    EmptyClipboard();
    SetClipboardData(CF_TEXT, SelText());
    CloseClipboard();
  };
  auto paste = [&] {
    if (!OpenClipboard(Handle())) return;
    std::string s = GetClipboardData(CF_TEXT);
    CloseClipboard();
    const auto eol = s.find_first_of("\r\n");
    if (eol != std::string::npos) s.resize(eol);
    EditInsert(s);
  };
  switch (key) {
    case VK_LEFT: moveTo(caret - 1); break;
    case VK_RIGHT: moveTo(caret + 1); break;
    case VK_HOME: moveTo(0); break;
    case VK_END: moveTo(len); break;
    case VK_BACK:
      if (selLength_ == 0 && caret > 0) {
        selStart_ = caret - 1;
        selLength_ = 1;
      }
      if (selLength_ != 0) EditInsert("");
      break;
    case VK_DELETE:
      if (shiftDown) copy();
      if (selLength_ == 0 && caret < len) {
        selStart_ = caret;
        selLength_ = 1;
      }
      if (selLength_ != 0) EditInsert("");
      break;
    case VK_INSERT:
      if (ctrl) copy();
      else if (shiftDown) paste();
      else return;
      break;
    default:
      if (ctrl && key == 'A') SelectAll();
      else if (ctrl && key == 'C') copy();
      else if (ctrl && key == 'X') { copy(); if (selLength_ != 0) EditInsert(""); }
      else if (ctrl && key == 'V') paste();
      else return;
      break;
  }
  key = 0;
}

// --- mouse

void TCustomComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (DoubleClickDown(button, shift, x, y)) return;
  if (button == TMouseButton::mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    if (style_ == csSimple) {
      TRect list = SimpleListRect();
      InflateRect(list, -2, -2);
      if (PtInRect(list, {x, y})) {
        const int i = ListItemAt(list, simpleTop_, y);
        if (i >= 0 && i != itemIndex_) UserSelect(i);
      } else if (PtInRect(EditRect(), {x, y})) {
        selStart_ = CaretFromX(x);
        selLength_ = 0;
        Invalidate();
      }
    } else if (style_ == csDropDown && PtInRect(EditRect(), {x, y}) && !dropped_) {
      selStart_ = CaretFromX(x);
      selLength_ = 0;
      Invalidate();
    } else {
      SetDroppedDown(!dropped_);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

// --- messages

void TCustomComboBox::WndProc(TMessage& msg) {
  auto text = [&](LPARAM lp) { return lp == 0 ? std::string() : std::string(reinterpret_cast<const char*>(lp)); };
  auto valid = [&](WPARAM wp) { return static_cast<int>(wp) >= 0 && static_cast<int>(wp) < items_->Count(); };
  auto find = [&](bool exact) {
    const std::string s = text(msg.LParam);
    const int n = items_->Count();
    const int start = static_cast<int>(msg.WParam);
    for (int k = 1; k <= n; ++k) {
      const int i = start < 0 || start >= n ? k - 1 : (start + k) % n;
      const std::string& item = items_->StringRef(i);
      const bool match = exact ? items_->CompareStrings(item, s) == 0
                               : item.size() >= s.size() && items_->CompareStrings(item.substr(0, s.size()), s) == 0;
      if (match) return i;
    }
    return -1;
  };
  switch (msg.Msg) {
    case CB_ADDSTRING: msg.Result = items_->Add(text(msg.LParam)); return;
    case CB_INSERTSTRING: msg.Result = items_->InsertClamped(static_cast<int>(msg.WParam), text(msg.LParam)); return;
    case CB_DELETESTRING:
      if (!valid(msg.WParam)) { msg.Result = CB_ERR; return; }
      items_->Delete(static_cast<int>(msg.WParam));
      msg.Result = items_->Count();
      return;
    case CB_RESETCONTENT: items_->Clear(); msg.Result = CB_OKAY; return;
    case CB_GETCOUNT: msg.Result = items_->Count(); return;
    case CB_GETCURSEL: msg.Result = itemIndex_; return;
    case CB_SETCURSEL:
      SetItemIndex(valid(msg.WParam) ? static_cast<int>(msg.WParam) : -1);
      msg.Result = itemIndex_ >= 0 ? itemIndex_ : CB_ERR;
      return;
    case CB_GETLBTEXT:
      msg.Result = valid(msg.WParam) ? static_cast<LRESULT>(items_->CopyText(static_cast<int>(msg.WParam),
                                                                              reinterpret_cast<char*>(msg.LParam)))
                                     : CB_ERR;
      return;
    case CB_GETLBTEXTLEN:
      msg.Result = valid(msg.WParam) ? static_cast<LRESULT>(items_->StringRef(static_cast<int>(msg.WParam)).size()) : CB_ERR;
      return;
    case CB_FINDSTRING: msg.Result = find(false); return;
    case CB_FINDSTRINGEXACT: msg.Result = find(true); return;
    case CB_SELECTSTRING: {
      const int i = find(false);
      if (i >= 0) SetItemIndex(i);
      msg.Result = i;
      return;
    }
    case CB_GETITEMDATA: msg.Result = valid(msg.WParam) ? items_->GetObject(static_cast<int>(msg.WParam)) : CB_ERR; return;
    case CB_SETITEMDATA:
      if (!valid(msg.WParam)) { msg.Result = CB_ERR; return; }
      items_->PutObject(static_cast<int>(msg.WParam), msg.LParam);
      msg.Result = CB_OKAY;
      return;
    case CB_SHOWDROPDOWN: SetDroppedDown(msg.WParam != 0); msg.Result = 1; return;
    case CB_GETDROPPEDSTATE: msg.Result = dropped_ ? 1 : 0; return;
    case CB_GETDROPPEDCONTROLRECT:
      if (msg.LParam != 0) {
        RECT r{};
        if (dropWnd_ != 0) GetWindowRect(dropWnd_, &r);
        else {
          TPoint o = ClientToScreen({0, 0});
          r = Bounds(o.X, o.Y, Width(), Height());
        }
        *reinterpret_cast<RECT*>(msg.LParam) = r;
      }
      msg.Result = 1;
      return;
    case CB_GETITEMHEIGHT:
      msg.Result = static_cast<int>(msg.WParam) == -1 ? FieldHeight() - 6 : ListItemHeight(static_cast<int>(msg.WParam));
      return;
    case CB_SETITEMHEIGHT:
      if (static_cast<int>(msg.WParam) >= 0 && style_ == csOwnerDrawVariable && valid(msg.WParam))
        items_->SetItemHeightOf(static_cast<int>(msg.WParam), static_cast<int>(msg.LParam));
      else
        SetItemHeight(static_cast<int>(msg.LParam));
      msg.Result = CB_OKAY;
      return;
    case CB_LIMITTEXT: SetMaxLength(static_cast<int>(msg.WParam)); msg.Result = 1; return;
    case CB_GETEDITSEL: {
      const int a = std::min(selStart_, selStart_ + selLength_);
      const int b = std::max(selStart_, selStart_ + selLength_);
      if (msg.WParam != 0) *reinterpret_cast<DWORD*>(msg.WParam) = static_cast<DWORD>(a);
      if (msg.LParam != 0) *reinterpret_cast<DWORD*>(msg.LParam) = static_cast<DWORD>(b);
      msg.Result = static_cast<LRESULT>((static_cast<DWORD>(b) << 16) | static_cast<DWORD>(a));
      return;
    }
    case CB_SETEDITSEL: {
      if (!HasEdit()) { msg.Result = CB_ERR; return; }
      const int len = static_cast<int>(TControl::GetText().size());
      int a = static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(msg.LParam)));
      int b = static_cast<SHORT>(HIWORD(static_cast<std::uintptr_t>(msg.LParam)));
      if (a < 0) { selStart_ = len; selLength_ = 0; }
      else {
        if (b < 0 || b > len) b = len;
        selStart_ = std::min(a, len);
        selLength_ = std::max(0, b - selStart_);
      }
      Invalidate();
      msg.Result = 1;
      return;
    }
    case CB_GETTOPINDEX: msg.Result = style_ == csSimple ? simpleTop_ : dropTop_; return;
    case CB_SETTOPINDEX:
      if (!valid(msg.WParam)) { msg.Result = CB_ERR; return; }
      if (style_ == csSimple) simpleTop_ = static_cast<int>(msg.WParam); else dropTop_ = static_cast<int>(msg.WParam);
      Invalidate();
      msg.Result = CB_OKAY;
      return;
    case WM_SETTEXT: SetText(text(msg.LParam)); msg.Result = 1; return;
    default: break;
  }
  TCustomControl::WndProc(msg);
}

}  // namespace tw

namespace tw {
TW_PUBLISHED(TCustomComboBox, Prop("Style", &TCustomComboBox::Style, &TCustomComboBox::SetStyle),
             Prop("Items", &TCustomComboBox::Items, &TCustomComboBox::SetItems),
             Prop("Sorted", &TCustomComboBox::Sorted, &TCustomComboBox::SetSorted),
             Prop("DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount),
             Prop("ItemHeight", &TCustomComboBox::ItemHeight, &TCustomComboBox::SetItemHeight),
             Prop("MaxLength", &TCustomComboBox::MaxLength, &TCustomComboBox::SetMaxLength),
             Prop("Text", &TCustomComboBox::GetText, &TCustomComboBox::SetText),
             Prop("OnChange", &TCustomComboBox::OnChange), Prop("OnDropDown", &TCustomComboBox::OnDropDown),
             Prop("OnCloseUp", &TCustomComboBox::OnCloseUp), Prop("OnDrawItem", &TCustomComboBox::OnDrawItem),
             Prop("OnMeasureItem", &TCustomComboBox::OnMeasureItem));
TW_REGISTER_CLASS(TComboBox);
}  // namespace tw
