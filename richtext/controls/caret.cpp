#include "richtext/controls/caret.h"

#include <algorithm>

#include "platform/win/winapi.h"

namespace tw::richtext {

TCaret::~TCaret() { Destroy(); }

bool TCaret::MayCreate() const {
  return active_ && !disabled_ && shown_ && owner_ != nullptr && owner_->HandleAllocated() &&
         GetFocus() == owner_->Handle();
}

void TCaret::Create() {
  if (created_ || !MayCreate()) return;
  wnd_ = owner_->Handle();
  created_ = CreateCaret(wnd_, 0, width_, height_);
  if (!created_) return;
  SetCaretPos(x_, y_);
  ShowCaret(wnd_);
}

void TCaret::Destroy() {
  if (!created_) return;
  created_ = false;
  DestroyCaret();
}

void TCaret::SetPosition(int x, int y, int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 4);
  const bool resized = width != width_ || height != height_;
  x_ = x;
  y_ = y;
  width_ = width;
  height_ = height;
  if (resized) Destroy();
  if (created_)
    SetCaretPos(x_, y_);
  else
    Create();
}

void TCaret::SetWidth(int width) { SetPosition(x_, y_, width, height_); }

void TCaret::Show(bool show) {
  shown_ = show;
  if (show)
    Create();
  else
    Destroy();
}

void TCaret::Activate() {
  active_ = true;
  if (owner_ != nullptr && owner_->HandleAllocated()) wnd_ = owner_->Handle();
  Create();
}

void TCaret::Deactivate() {
  Destroy();
  active_ = false;
}

void TCaret::SetDisabled(bool disabled) {
  disabled_ = disabled;
  if (disabled)
    Destroy();
  else
    Create();
}

void TCaret::Hide() {
  if (created_) HideCaret(wnd_);
}

void TCaret::Unhide() {
  if (created_) ShowCaret(wnd_);
}

}  // namespace tw::richtext
