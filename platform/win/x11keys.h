// X key symbols to virtual keys and Windows-1252 characters (private to the window system).
#pragma once

#include "platform/win/winapi.h"

namespace tw::win {

// 0 for a key the window system has no virtual key for.
UINT KeysymToVirtualKey(unsigned long keysym);
// The Windows-1252 code of what the key types, or -1 when it types nothing representable.
int KeysymToWin1252(unsigned long keysym);
// True when the key symbol stands for a character (of any script), typed or not.
bool KeysymIsCharacter(unsigned long keysym);

// One key press read from the server: the virtual key and the character it types.
struct TKeyPress {
  UINT VirtualKey = 0;  // 0: the key is ignored
  int Character = -1;   // Windows-1252 code, -1 for none
  bool Refused = false; // it types a character the program's 8-bit text cannot hold
};
// `plain` is the key's symbol without modifiers, `typed` the one with them; `ctrlAlt` when Ctrl
// and Alt are both held (they type nothing).  A key that only types a character (a symbol
// mapped to a spare key, as input tools do) gets a virtual key of its own.
TKeyPress ReadKeyPress(unsigned long plain, unsigned long typed, bool ctrlAlt);

}  // namespace tw::win
