#include "toolbars/toolbar.h"

#include <algorithm>
#include <climits>

#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "toolbars/floatparent.h"
#include "toolbars/formhook.h"
#include "toolbars/separator.h"
#include "toolbars/toolbarconst.h"

namespace tw::toolbars {

TW_PUBLISHED(TToolbarX,
             Prop("CanDockLeftRight", &TToolbarX::CanDockLeftRight, &TToolbarX::SetCanDockLeftRight),
             Prop("CloseButton", &TToolbarX::CloseButton, &TToolbarX::SetCloseButton),
             Prop("DefaultDock", &TToolbarX::DefaultDock, &TToolbarX::SetDefaultDock),
             Prop("DockedTo", &TToolbarX::DockedTo, &TToolbarX::SetDockedTo),
             Prop("DockRow", &TToolbarX::DockRow, &TToolbarX::SetDockRow),
             Prop("DockPos", &TToolbarX::DockPos, &TToolbarX::SetDockPos),
             Prop("PopupMenu", &TToolbarX::PopupMenu, &TToolbarX::SetPopupMenu),
             Prop("OnClose", &TToolbarX::OnClose),
             Prop("OnRecreated", &TToolbarX::OnRecreated),
             Prop("OnRecreating", &TToolbarX::OnRecreating),
             Prop("OnDockChanged", &TToolbarX::OnDockChanged),
             Prop("OnDockChanging", &TToolbarX::OnDockChanging));
TW_REGISTER_CLASS(TToolbarX);

namespace {
constexpr int kMinItem = 8;
constexpr int kSeparatorAlong = 6;
constexpr int kSeparatorAcross = 4;  // along a vertical bar
constexpr int kWrapGap = 6;          // room for the line between wrapped groups
// Stored rows and positions beyond these are damage, not a place.
constexpr int kMaxRow = 255;
constexpr int kMaxPos = 32767;
}  // namespace

TBarMargins BarMargins(int type) {
  if (type == kFloating) return {2, 1, 4, 4};
  return {2, 2, 11, 2};
}

int ToolbarTypeOf(const TDockX* dock) {
  if (dock == nullptr) return kFloating;
  return dock->Vertical() ? kVertical : kHorizontal;
}

TToolbarX::TToolbarX(TComponent* owner) : TCustomControl(owner) {
  if (owner == nullptr || !owner->Is<TCustomForm>()) throw EInvalidOperation(SToolbarNeedsForm);
  controlStyle_.Include(TControlStyleFlag::csAcceptsControls);
  controlStyle_.Exclude(TControlStyleFlag::csCaptureMouse);
  SetColor(clBtnFace);
  floatParent_ = new TFloatParent(nullptr, this);
  InstallFormHook(static_cast<TCustomForm*>(owner));
  ArrangeControls(true, true, ToolbarType(), floatRightX_);
}

TToolbarX::~TToolbarX() {
  Destroying();
  if (moving_) CancelMove();
  if (dockedTo_ != nullptr) {
    TDockX* dock = dockedTo_;
    dockedTo_ = nullptr;
    if (!dock->ComponentState().Contains(TComponentStateFlag::csDestroying)) dock->InsertRemoveBar(false, this, false);
  }
  if (defaultDock_ != nullptr) defaultDock_->RemoveFreeNotification(this);
  // Out of the floating window before it goes, so that it does not free us as its child.
  if (Parent() == floatParent_) TCustomControl::SetParent(nullptr);
  TFloatParent* window = floatParent_;
  floatParent_ = nullptr;
  delete window;
  RemoveFormHook(Owner());
}

TCustomForm* TToolbarX::OwnerForm() const { return dynamic_cast<TCustomForm*>(Owner()); }

void TToolbarX::SetParent(TWinControl* parent) {
  if (parent != nullptr && parent != floatParent_ && !parent->Is<TDockX>() && parent != Owner())
    throw EInvalidOperation(SToolbarParent);
  TDockX* newDock = parent != nullptr ? dynamic_cast<TDockX*>(parent) : nullptr;
  if (!changingDock_ && dockedTo_ != newDock) {
    TDockX* old = dockedTo_;
    dockedTo_ = nullptr;
    if (old != nullptr) old->InsertRemoveBar(false, this, false);
  }
  TCustomControl::SetParent(parent);
  if (!changingDock_ && newDock != nullptr && dockedTo_ != newDock) {
    dockedTo_ = newDock;
    if (Visible()) newDock->InsertRemoveBar(true, this, true);
    Relayout();
  }
}

void TToolbarX::SetDockRow(int row) {
  row = std::clamp(row, 0, kMaxRow);
  if (row == dockRow_) return;
  dockRow_ = row;
  if (dockedTo_ != nullptr) dockedTo_->ArrangeToolbars();
}

void TToolbarX::SetDockPos(int pos) {
  pos = std::clamp(pos, -kMaxPos, kMaxPos);
  if (pos == dockPos_) return;
  dockPos_ = pos;
  if (dockedTo_ != nullptr) dockedTo_->ArrangeToolbars();
}

void TToolbarX::SetDefaultDock(TDockX* dock) {
  if (defaultDock_ == dock) return;
  if (defaultDock_ != nullptr) defaultDock_->RemoveFreeNotification(this);
  defaultDock_ = dock;
  if (dock != nullptr) dock->FreeNotification(this);
}

void TToolbarX::SetCloseButton(bool value) {
  if (closeButton_ == value) return;
  closeButton_ = value;
  floatParent_->Invalidate();
}

void TToolbarX::Undock() {
  if (dockedTo_ == nullptr) return;
  TDockX* old = dockedTo_;
  dockedTo_ = nullptr;
  old->InsertRemoveBar(false, this, false);
}

void TToolbarX::SetDockedTo(TDockX* dock) {
  if (dock == dockedTo_ && (dock != nullptr || Parent() == floatParent_)) return;
  CancelMove();  // a move in progress started from the old place
  FireEvent(OnDockChanging, this);
  const bool wasVisible = Visible();
  TDockX* old = dockedTo_;
  if (old != nullptr) old->BeginUpdate();
  if (dock != nullptr && dock != old) dock->BeginUpdate();
  changingDock_ = true;
  try {
    if (wasVisible) SetVisibleField(false);
    if (dock != nullptr) {
      if (old != nullptr && old != dock) {
        dockedTo_ = nullptr;
        old->InsertRemoveBar(false, this, false);
      }
      dockedTo_ = dock;
      TCustomControl::SetParent(dock);
      if (floatParent_->Visible()) floatParent_->Hide();
      ArrangeControls(true, true, ToolbarType(), 0);
      if (wasVisible) dock->InsertRemoveBar(true, this, true);
    } else {
      TRect barScreen;
      if (Parent() != nullptr) {
        const TPoint origin = ClientOrigin();
        barScreen = Bounds(origin.X, origin.Y, Width(), Height());
      } else {
        barScreen = Bounds(Left(), Top(), Width(), Height());
      }
      if (old != nullptr) {
        dockedTo_ = nullptr;
        old->InsertRemoveBar(false, this, false);
      }
      if (IsRectEmpty(floatRect_)) floatRect_ = AddFloatFrame(barScreen);
      // The bar's windowed controls re-align while it moves into the floating window; the place
      // it is going to is kept apart from the window's place meanwhile.
      const TRect place = floatRect_;
      const TSize size = ArrangeControls(true, true, kFloating, floatRightX_);
      TCustomControl::SetParent(floatParent_);
      TCustomControl::SetBounds(FrameWidth(), FrameHeight() + SmallCaptionHeight(), size.cx, size.cy);
      FloatAt(place);
    }
  } catch (...) {
    changingDock_ = false;
    if (wasVisible) SetVisibleField(true);
    if (old != nullptr) old->EndUpdate();
    if (dock != nullptr && dock != old) dock->EndUpdate();
    throw;
  }
  changingDock_ = false;
  if (wasVisible) {
    SetVisibleField(true);
    if (HandleAllocated()) ShowWindow(handle_, SW_SHOWNA);
    if (dock == nullptr) floatParent_->SetVisible(true);
  }
  if (old != nullptr) old->EndUpdate();
  if (dock != nullptr && dock != old) dock->EndUpdate();
  FireEvent(OnDockChanged, this);
}

void TToolbarX::FloatAt(const TRect& windowRect) {
  const TSize size{Width(), Height()};
  const TRect r = Bounds(windowRect.Left, windowRect.Top, size.cx + 2 * FrameWidth(),
                         size.cy + SmallCaptionHeight() + 2 * FrameHeight());
  floatParent_->SetBoundsRect(r);
  floatRect_ = r;
  floatParent_->Invalidate();
}

void TToolbarX::SetBounds(int left, int top, int width, int height) {
  TCustomControl::SetBounds(left, top, width, height);
  if (dockedTo_ != nullptr && arranging_ == 0 && changingDock_ == false &&
      ComponentState().Contains(TComponentStateFlag::csDesigning) &&
      !ComponentState().Contains(TComponentStateFlag::csLoading)) {
    const bool vertical = dockedTo_->Vertical();
    bool insert = false;
    const int middle = vertical ? left + width / 2 : top + height / 2;
    dockRow_ = dockedTo_->RowAtOffset(middle, insert);
    dockPos_ = (vertical ? top : left) - dockedTo_->Lead();
    dockedTo_->ArrangeToolbars();
  }
}

void TToolbarX::Relayout() {
  if (ComponentState().Contains(TComponentStateFlag::csDestroying)) return;
  const int type = ToolbarType();
  ArrangeControls(true, true, type, type == kFloating ? floatRightX_ : 0);
  if (dockedTo_ != nullptr) {
    dockedTo_->ArrangeToolbars();
  } else if (Parent() == floatParent_ && !changingDock_) {
    FloatAt(floatParent_->BoundsRect());
  }
}

void TToolbarX::AlignControls(TControl* control, TRect& rect) {
  (void)control;
  (void)rect;
  if (arranging_ == 0 && guard_ == 0) Relayout();
}

void TToolbarX::DestroyWnd() {
  // The window goes while the bar stays: its handle is about to be made again.
  if (!ComponentState().Contains(TComponentStateFlag::csDestroying)) {
    recreating_ = true;
    FireEvent(OnRecreating, this);
  }
  TCustomControl::DestroyWnd();
}

void TToolbarX::CreateWnd() {
  TCustomControl::CreateWnd();
  if (recreating_) {
    recreating_ = false;
    FireEvent(OnRecreated, this);
  }
}

void TToolbarX::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == defaultDock_) defaultDock_ = nullptr;
  RemoveAlternates(component);
}

void TToolbarX::Loaded() {
  TCustomControl::Loaded();
  Relayout();
}

TSize TToolbarX::ArrangeControls(bool canMove, bool canResize, int type, int wrapWidth) {
  if (guard_ > 0 || ComponentState().Contains(TComponentStateFlag::csLoading)) return {Width(), Height()};
  ++guard_;
  struct Release {
    int& n;
    ~Release() { --n; }
  } release{guard_};

  if (type != kFloating || wrapWidth <= 0) wrapWidth = 0;
  const TBarMargins m = BarMargins(type);
  const bool vertical = type == kVertical;

  // Of each alternate pair only the control for this type takes part.
  // Measuring for another type (nothing moves) counts the control that would show then,
  // though it is hidden now.
  std::vector<TControl*> excluded, included;
  for (const AlternatePair& pair : alternates_) {
    TControl* shown = vertical ? pair.vertical : pair.horizontal;
    TControl* hidden = vertical ? pair.horizontal : pair.vertical;
    excluded.push_back(hidden);
    included.push_back(shown);
    if (canMove && hidden->Visible()) {
      shown->SetBounds(hidden->Left(), hidden->Top(), shown->Width(), shown->Height());
      hidden->SetVisible(false);
      shown->SetVisible(true);
    }
  }
  // Item sizes.
  std::vector<TControl*> items;
  int maxH = kMinItem, maxW = kMinItem;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (std::find(excluded.begin(), excluded.end(), c) != excluded.end()) continue;
    if (!c->Visible() && !ComponentState().Contains(TComponentStateFlag::csDesigning) &&
        std::find(included.begin(), included.end(), c) == included.end())
      continue;
    items.push_back(c);
    if (c->Is<TToolbarSepX>()) continue;
    maxH = std::max(maxH, c->Height());
    maxW = std::max(maxW, c->Width());
  }
  if (canMove) {
    own_.ItemHeight = maxH;
    own_.ItemWidth = maxW;
    own_.DockedHeight = BarMargins(kHorizontal).Top + maxH + BarMargins(kHorizontal).Bottom;
    own_.DockedWidth = BarMargins(kVertical).Top + maxW + BarMargins(kVertical).Bottom;
  }
  // A docked bar takes its row's sizes, so that a row's bars share one thickness.
  if (dockedTo_ != nullptr && type == ToolbarType() && dockedTo_->RowCount() > dockRow_) {
    const TRowSize& row = dockedTo_->RowSize(dockRow_);
    maxH = std::max(maxH, row.ItemHeight);
    maxW = std::max(maxW, row.ItemWidth);
  }
  const int lineHeight = vertical ? maxW : maxH;  // across the line

  // Order: along the line, floating bars by line first.
  // A control's line is the number of recorded line starts at or above it.  (Counting a
  // separator gap for every start would put the second line of a group that wrapped inside
  // itself back on the first, and each re-layout would shuffle the controls.)
  auto lineOf = [&](const TControl* c) {
    int line = 0;
    for (int s : lineStarts_)
      if (s <= c->Top()) ++line;
    return line;
  };
  // The order is read along the line the controls stand in now: a bar turning from vertical to
  // horizontal reads it from top to bottom (the centred buttons of a column stand at different
  // lefts, the narrowest furthest right).  Ties go by the other coordinate.
  const int readType = laidOutType_ >= 0 ? laidOutType_ : type;
  std::stable_sort(items.begin(), items.end(), [&](const TControl* a, const TControl* b) {
    if (readType == kVertical) return a->Top() != b->Top() ? a->Top() < b->Top() : a->Left() < b->Left();
    if (readType == kHorizontal) return a->Left() != b->Left() ? a->Left() < b->Left() : a->Top() < b->Top();
    const int la = lineOf(a), lb = lineOf(b);
    if (la != lb) return la < lb;
    return a->Left() < b->Left();
  });

  // Groups end with a separator.
  struct Group {
    std::size_t first, last;
    int length;
  };
  std::vector<Group> groups;
  for (std::size_t i = 0; i < items.size();) {
    Group g{i, i, 0};
    for (std::size_t j = i; j < items.size(); ++j) {
      g.last = j;
      if (items[j]->Is<TToolbarSepX>()) break;
      g.length += vertical ? items[j]->Height() : items[j]->Width();
    }
    groups.push_back(g);
    i = g.last + 1;
  }

  const int limit = wrapWidth > 0 ? wrapWidth - m.End : INT_MAX;
  int pos = m.Start;
  int lineOffset = m.Top;
  int furthest = m.Start;
  bool previousWrapped = false;
  std::vector<int> starts, groupStarts;
  TToolbarSepX* pendingSeparator = nullptr;
  std::vector<TToolbarSepX*> lineEnds;
  for (const Group& g : groups) {
    bool wrapped = false;
    if (type == kFloating && pos > m.Start && (pos + g.length > limit || previousWrapped)) {
      pos = m.Start;
      lineOffset += lineHeight + kWrapGap;
      starts.push_back(lineOffset);
      groupStarts.push_back(lineOffset);
      if (pendingSeparator != nullptr) lineEnds.push_back(pendingSeparator);
    }
    pendingSeparator = nullptr;
    for (std::size_t i = g.first; i <= g.last; ++i) {
      TControl* c = items[i];
      auto* sep = dynamic_cast<TToolbarSepX*>(c);
      if (sep != nullptr) {
        const int along = vertical ? kSeparatorAcross : kSeparatorAlong;
        if (canMove) {
          if (vertical) sep->SetBounds(lineOffset, pos, lineHeight, along);
          else sep->SetBounds(pos, lineOffset, along, lineHeight);
        }
        furthest = std::max(furthest, pos + along);
        pos += along;
        pendingSeparator = sep;
        continue;
      }
      const int len = vertical ? c->Height() : c->Width();
      if (type == kFloating && pos > m.Start && pos + len > limit) {
        pos = m.Start;
        lineOffset += lineHeight;
        starts.push_back(lineOffset);
        wrapped = true;
      }
      if (canMove) {
        if (vertical) c->SetBounds(lineOffset + (lineHeight - c->Width()) / 2, pos, c->Width(), c->Height());
        else c->SetBounds(pos, lineOffset + (lineHeight - c->Height()) / 2, c->Width(), c->Height());
      }
      pos += len;
      furthest = std::max(furthest, pos);
    }
    previousWrapped = wrapped;
  }

  TSize size;
  int length, thickness;
  if (items.empty()) {
    length = m.Start + kMinItem + m.End;
    thickness = m.Top + lineHeight + m.Bottom;
  } else {
    length = furthest + m.End;
    thickness = lineOffset + lineHeight + m.Bottom;
  }
  if (vertical) size = {thickness, length};
  else size = {length, thickness};
  if (type == kFloating && !fixedSize_) {
    // Room for a few characters of the caption and the close button.
    const int captionRoom = SmallCaptionHeight() + 24;
    size.cx = std::max(size.cx, captionRoom);
  }
  if (canMove) {
    laidOutType_ = type;
    lineStarts_ = starts;
    groupLineStarts_ = groupStarts;
    for (int i = 0; i < ControlCount(); ++i)
      if (auto* sep = dynamic_cast<TToolbarSepX*>(Controls(i)))
        sep->SetAtLineEnd(std::find(lineEnds.begin(), lineEnds.end(), sep) != lineEnds.end());
  }
  if (canResize && (size.cx != Width() || size.cy != Height())) {
    ++arranging_;
    try {
      TCustomControl::SetBounds(Left(), Top(), size.cx, size.cy);
    } catch (...) {
      --arranging_;
      throw;
    }
    --arranging_;
  }
  return size;
}

void TToolbarX::AddAlternatePair(TControl* vertical, TControl* horizontal) {
  if (vertical == nullptr || horizontal == nullptr || vertical == horizontal) return;
  RemoveAlternates(vertical);
  RemoveAlternates(horizontal);
  alternates_.push_back({vertical, horizontal, vertical, horizontal});
  vertical->FreeNotification(this);
  horizontal->FreeNotification(this);
  (ToolbarType() == kVertical ? horizontal : vertical)->SetVisible(false);
  Relayout();
}

void TToolbarX::RemoveAlternates(const TComponent* control) {
  std::erase_if(alternates_, [control](const AlternatePair& p) {
    return p.verticalComponent == control || p.horizontalComponent == control;
  });
}

std::vector<TSize> TToolbarX::FloatingSizes() {
  std::vector<TSize> sizes;
  const TSize natural = SizeFor(kFloating, 0);
  sizes.push_back(natural);
  int widest = kMinItem;
  for (int i = 0; i < ControlCount(); ++i)
    if (Controls(i)->Visible() && !Controls(i)->Is<TToolbarSepX>()) widest = std::max(widest, Controls(i)->Width());
  const int narrowest = widest + BarMargins(kFloating).Start + BarMargins(kFloating).End + 1;
  for (int w = natural.cx - 1; w >= narrowest; --w) {
    const TSize s = SizeFor(kFloating, w);
    if (s.cx != w) continue;
    if (!sizes.empty() && sizes.back().cx == s.cx) sizes.back() = s;
    else sizes.push_back(s);
  }
  return sizes;
}

void TToolbarX::MoveOnScreen(bool onlyIfOff) {
  if (dockedTo_ != nullptr || Parent() != floatParent_) return;
  RECT area{};
  SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0);
  TRect r = floatParent_->BoundsRect();
  TRect common;
  if (onlyIfOff && IntersectRect(common, r, area)) return;
  if (r.Right > area.Right) OffsetRect(r, area.Right - r.Right, 0);
  if (r.Bottom > area.Bottom) OffsetRect(r, 0, area.Bottom - r.Bottom);
  if (r.Left < area.Left) OffsetRect(r, area.Left - r.Left, 0);
  if (r.Top < area.Top) OffsetRect(r, 0, area.Top - r.Top);
  FloatAt(r);
}

void SetFloatingBarsVisible(TWinControl* control, bool visible) {
  if (control == nullptr) return;
  if (auto* form = dynamic_cast<TCustomForm*>(control)) {
    // The floating windows are top-level: reach them through the form's toolbars.
    for (int i = 0; i < form->ComponentCount(); ++i)
      if (auto* bar = dynamic_cast<TToolbarX*>(form->Components(i)))
        if (!bar->ComponentState().Contains(TComponentStateFlag::csDestroying) && bar->FloatParent() != nullptr &&
            bar->DockedTo() == nullptr && bar->Parent() == bar->FloatParent() && bar->Visible()) {
          if (visible) ShowWindow(bar->FloatParent()->Handle(), SW_SHOWNOACTIVATE);
          else if (bar->FloatParent()->HandleAllocated()) ShowWindow(bar->FloatParent()->Handle(), SW_HIDE);
        }
  }
  for (int i = 0; i < control->ControlCount(); ++i)
    if (auto* w = dynamic_cast<TWinControl*>(control->Controls(i)))
      if (!w->Is<TFloatParent>()) SetFloatingBarsVisible(w, visible);
}

}  // namespace tw::toolbars
