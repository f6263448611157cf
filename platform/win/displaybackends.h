// The display backends the window system can select (private to the window system).
#pragma once

#include <memory>

#include "platform/win/display.h"

namespace tw::win {

std::unique_ptr<DisplayBackend> MakeOffscreenDisplay();
// nullptr when the X display cannot be opened.
std::unique_ptr<DisplayBackend> MakeX11Display(const char* displayName);

// Called by backends when the program lost the keyboard to another one.
void DeactivateApplication();

}  // namespace tw::win
