// Hidden windows of the transports and message queues.  Each window gets its own handler; a
// message that arrives before the handler is set, or after the window is gone, goes to the
// window system's default procedure.
#pragma once

#include <functional>

#include "platform/win/winapi.h"

namespace tw::dbengine {

using TqnWindowHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// A hidden top-level window (MessageOnly false: it takes part in the enumeration of top-level
// windows, so that probes find it) or a message-only window.  0 when none can be made.
HWND QNCreateCommsWindow(TqnWindowHandler Handler, bool MessageOnly);
// Destroys the window and forgets its handler (0 and stale handles are ignored).
void QNDestroyCommsWindow(HWND Window);
// Removes at most one pending message of Window and dispatches it; true when there was one.
bool QNPumpOneMessage(HWND Window);

// Window messages shared by the transports and the message queue.
constexpr UINT kQnRequestComplete = 0x13F1;  // to the command handler's window
constexpr UINT kQnSocketEvent = 0x13F1;      // socket events at a socket transport's window
constexpr UINT kQnNetBIOSComplete = 0x13F0;  // a NetBIOS command completed

}  // namespace tw::dbengine
