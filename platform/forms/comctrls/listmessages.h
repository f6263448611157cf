// The list controls' messages (CB_*, LB_*, CBN_*, LBN_*) are the window system's and live in
// its header; this header stays for the code that includes it.
#pragma once

#include "platform/win/winapi.h"
