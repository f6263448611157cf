// The editor's caret: where the window's caret stands and how large it is.  The system caret
// exists only while the caret is active (its control has the focus), not disabled and shown; a
// change of size makes it again in the new size, so it follows the font height at the cursor and
// the width of the character under it in overwrite mode.
#pragma once

#include "platform/forms/controls.h"

namespace tw::richtext {

class TCaret {
 public:
  explicit TCaret(TWinControl* owner) : owner_(owner) {}
  ~TCaret();
  TCaret(const TCaret&) = delete;
  TCaret& operator=(const TCaret&) = delete;

  // Position in client pixels and size; a height below 4 becomes 4, a width below 1 becomes 1.
  void SetPosition(int x, int y, int width, int height);
  void SetWidth(int width);
  // Shows the caret (made when it may be) or hides it (the system caret goes).
  void Show(bool show);
  // The control got the focus: the caret belongs to its window from now on.
  void Activate();
  // The control lost the focus.
  void Deactivate();
  // A disabled caret is never made; disabling takes it away at once.
  void SetDisabled(bool disabled);

  int X() const { return x_; }
  int Y() const { return y_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Shown() const { return shown_; }
  bool Active() const { return active_; }
  bool Created() const { return created_; }
  bool Disabled() const { return disabled_; }
  HWND Window() const { return wnd_; }

  // Hiding and showing around an edit, while the caret exists.
  void Hide();
  void Unhide();

 private:
  bool MayCreate() const;
  void Create();
  void Destroy();

  TWinControl* owner_;
  HWND wnd_ = 0;
  int x_ = 0, y_ = 0, width_ = 3, height_ = 16;
  bool shown_ = false, active_ = false, created_ = false, disabled_ = false;
};

}  // namespace tw::richtext
