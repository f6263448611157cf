// Keyboard shortcuts of menu items and the accelerator letters of captions.
//
// A shortcut is a 16-bit word: the virtual key in the low byte and the modifier bits scShift,
// scCtrl and scAlt above it; 0 is "no shortcut".  Its text is the modifiers in the order
// "Shift+", "Ctrl+", "Alt+" followed by the key's name ("Ctrl+P", "F1", "Ctrl+Alt+E"), in the
// program's language (UiLanguage): German writes "Umschalt+", "Strg+", "Alt+" and its own key
// names ("Strg+P", "Strg+Entf").  Texts are read back in either language.
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/controls.h"

namespace tw {

using TShortCut = std::uint16_t;

constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

TShortCut ShortCut(Word key, TShiftState shift);
// The key and the shift state (Shift, Ctrl, Alt) of a shortcut.
void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift);
// "" for 0 or a key without a name.
std::string ShortCutToText(TShortCut shortCut);
// Case-insensitive; modifiers in any order; 0 for a text that names no shortcut.
TShortCut TextToShortCut(const std::string& text);

// The shortcut of the key now being pressed with the current modifier state.
TShortCut ShortCutFromKey(Word key);

// A caption without its accelerator marks: "&&" becomes "&", a single "&" disappears.
std::string StripHotkey(const std::string& caption);
// The upper-cased accelerator letter of a caption ("E&xit" -> 'X'); 0 when it has none.
char GetHotkey(const std::string& caption);
// Whether `key` (a character or a virtual key of a letter or digit) is the caption's
// accelerator.
bool IsMenuAccel(unsigned key, const std::string& caption);

}  // namespace tw
