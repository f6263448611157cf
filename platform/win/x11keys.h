// X key symbols to virtual keys and Windows-1252 characters (private to the window system).
#pragma once

#include "platform/win/winapi.h"

namespace tw::win {

// 0 for a key the window system has no virtual key for.
UINT KeysymToVirtualKey(unsigned long keysym);
// The Windows-1252 code of what the key types, or -1 when it types nothing representable.
int KeysymToWin1252(unsigned long keysym);

}  // namespace tw::win
