// Small helpers shared by the dialog forms of this folder; not part of the public contract.
#pragma once

#include <string>

#include "platform/gfx/font.h"
#include "platform/gfx/geometry.h"

namespace tw::dialogs {

// Size of a text in a font, broken into lines of at most `maxWidth` pixels.
TSize MeasureText(const TFont* font, const std::string& text, int maxWidth);
// Width of a one-line text in a font.
int TextWidthOf(const TFont* font, const std::string& text);
// The width a window manager needs to show the whole title: the title in a bold caption font,
// beside its window icon and its buttons (window managers cut a title that does not fit).
int TitleRoom(const TFont* font, const std::string& title);

}  // namespace tw::dialogs
