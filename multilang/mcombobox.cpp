#include "multilang/mcombobox.h"

#include "platform/classes/typinfo.h"
#include "platform/gfx/canvas.h"

namespace tw::multilang {

TMComboBox::TMComboBox(TComponent* owner) : TCustomComboBox(owner) {
  SetStyle(csOwnerDrawFixed);
  SetVisible(false);
}

TMComboBox::~TMComboBox() = default;

void TMComboBox::SetShowIcons(bool value) {
  if (value == showIcons_) return;
  showIcons_ = value;
  if (value) SetStyle(csOwnerDrawFixed);
  Invalidate();
}
void TMComboBox::SetAlignIcon(TOwnAlign value) {
  if (value == alignIcon_) return;
  alignIcon_ = value;
  Invalidate();
}
void TMComboBox::SetAlignText(TOwnAlign value) {
  if (value == alignText_) return;
  alignText_ = value;
  Invalidate();
}
void TMComboBox::SetTextMargin(int value) {
  if (value == textMargin_) return;
  textMargin_ = value;
  Invalidate();
}
void TMComboBox::SetIconMargin(int value) {
  if (value == iconMargin_) return;
  iconMargin_ = value;
  Invalidate();
}
void TMComboBox::SetResizeIcon(bool value) {
  if (value == resizeIcon_) return;
  resizeIcon_ = value;
  Invalidate();
}

bool TMComboBox::SetItemIcon(int index, const TIcon* icon) {
  if (icon == nullptr || index < 0 || icon->Empty()) return false;
  if (static_cast<std::size_t>(index) >= icons_.size()) icons_.resize(static_cast<std::size_t>(index) + 1);
  auto& slot = icons_[static_cast<std::size_t>(index)];
  if (!slot) slot = std::make_unique<TIcon>();
  slot->Assign(icon);
  Invalidate();
  return true;
}

bool TMComboBox::DeleteItemIcon(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= icons_.size() || !icons_[static_cast<std::size_t>(index)])
    return false;
  icons_[static_cast<std::size_t>(index)].reset();
  Invalidate();
  return true;
}

void TMComboBox::ClearItemIcons() {
  if (icons_.empty()) return;
  icons_.clear();
  Invalidate();
}

TIcon* TMComboBox::GetItemIcon(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= icons_.size()) return nullptr;
  return icons_[static_cast<std::size_t>(index)].get();
}

void TMComboBox::RefreshLanguageList(bool) {}

void TMComboBox::Loaded() {
  TCustomComboBox::Loaded();
  FireEvent(OnLoaded, this);
}

void TMComboBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  FireEvent(OnDrawingItem, this, index);
  if (OnDrawItem) {
    FireEvent(OnDrawItem, this, index, rect, state);
    return;
  }
  TCanvas* c = Canvas();
  c->FillRect(rect);
  TRect r = rect;
  r.Left += 1;
  r.Bottom -= 1;
  lastIconLeft_ = -1;
  int iconLeft = -1, iconRight = -1;
  TIcon* icon = showIcons_ ? GetItemIcon(index) : nullptr;
  if (icon != nullptr && !icon->Empty()) {
    int h = r.Bottom - r.Top;
    int w = resizeIcon_ ? h : icon->Width();
    int ih = resizeIcon_ ? h : icon->Height();
    switch (alignIcon_) {
      case oaLeft: iconLeft = r.Left + iconMargin_; break;
      case oaRight: iconLeft = r.Right - iconMargin_ - w; break;
      case oaCenter: iconLeft = r.Left + (r.Right - r.Left - w) / 2; break;
    }
    iconRight = iconLeft + w;
    if (resizeIcon_) {
      c->StretchDraw(TRect{iconLeft, r.Top, iconRight, r.Top + h}, icon);
    } else {
      int top = (r.Top - 2) + ((r.Bottom + 2) - (r.Top - 2) - ih) / 2;
      c->Draw(iconLeft, top, icon);
    }
    lastIconLeft_ = iconLeft;
  }
  std::string text = index >= 0 && index < Items()->Count() ? Items()->Strings(index) : GetText();
  int tw = c->TextWidth(text);
  int x = r.Left + textMargin_;
  switch (alignText_) {
    case oaLeft:
      x = (iconLeft >= 0 && alignIcon_ == oaLeft ? iconRight : r.Left) + textMargin_;
      break;
    case oaRight:
      x = (iconLeft >= 0 && alignIcon_ == oaRight ? iconLeft : r.Right) - tw - textMargin_;
      break;
    case oaCenter: x = r.Left + (r.Right - r.Left - tw) / 2; break;
  }
  int y = r.Top + (r.Bottom - r.Top - c->TextHeight(text)) / 2;
  c->Brush()->SetStyle(TBrushStyle::bsClear);
  c->ExtTextOut(x, y, ETO_CLIPPED, &rect, text, nullptr);
  lastTextLeft_ = x;
}

TW_PUBLISHED(TMComboBox, Prop("ShowIcons", &TMComboBox::ShowIcons, &TMComboBox::SetShowIcons),
             Prop("AlignIcon", &TMComboBox::AlignIcon, &TMComboBox::SetAlignIcon),
             Prop("AlignText", &TMComboBox::AlignText, &TMComboBox::SetAlignText),
             Prop("TextMargin", &TMComboBox::TextMargin, &TMComboBox::SetTextMargin),
             Prop("IconMargin", &TMComboBox::IconMargin, &TMComboBox::SetIconMargin),
             Prop("ResizeIcon", &TMComboBox::ResizeIcon, &TMComboBox::SetResizeIcon),
             Prop("OnDrawingItem", &TMComboBox::OnDrawingItem), Prop("OnLoaded", &TMComboBox::OnLoaded));
TW_REGISTER_CLASS(TMComboBox);

}  // namespace tw::multilang
