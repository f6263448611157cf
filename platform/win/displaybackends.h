// The display backends the window system can select (private to the window system).
#pragma once

#include <memory>

#include "platform/win/display.h"

namespace tw::win {

std::unique_ptr<DisplayBackend> MakeOffscreenDisplay();
// nullptr when the X display cannot be opened.
std::unique_ptr<DisplayBackend> MakeX11Display(const char* displayName);

// The window manager's Motif hints of a top-level window with these styles: which functions
// (move, resize, minimise, maximise, close) and decorations it offers.  A dialog frame without
// minimise and maximise boxes gets neither.
struct MotifHints {
  unsigned long flags = 0;
  unsigned long functions = 0;
  unsigned long decorations = 0;
};
MotifHints MotifHintsFor(DWORD style, DWORD exStyle);

// Called by backends when the program lost the keyboard to another one.
void DeactivateApplication();

}  // namespace tw::win
