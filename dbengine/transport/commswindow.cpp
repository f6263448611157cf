#include "dbengine/transport/commswindow.h"

#include <map>
#include <memory>

namespace tw::dbengine {
namespace {

constexpr const char* kClassName = "TqnCommsWindow";

std::map<HWND, std::shared_ptr<TqnWindowHandler>>& Handlers() {
  static std::map<HWND, std::shared_ptr<TqnWindowHandler>> h;
  return h;
}

// The handler of the window being created: bound at its first message, so that a handle
// number the window system hands out again never reaches a handler of an earlier window.
std::shared_ptr<TqnWindowHandler>& Creating() {
  static std::shared_ptr<TqnWindowHandler> h;
  return h;
}

LRESULT CommsWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto& hs = Handlers();
  if (msg == WM_NCCREATE && Creating()) hs[hwnd] = std::move(Creating());
  auto it = hs.find(hwnd);
  if (it == hs.end()) return DefWindowProc(hwnd, msg, wParam, lParam);
  // A copy keeps the handler alive while it runs, even when it destroys its own window.
  std::shared_ptr<TqnWindowHandler> handler = it->second;
  if (msg == WM_NCDESTROY) hs.erase(hwnd);
  return (*handler)(hwnd, msg, wParam, lParam);
}

bool EnsureClass() {
  WNDCLASS existing;
  if (GetClassInfo(0, kClassName, &existing)) return true;
  WNDCLASS wc;
  wc.lpfnWndProc = CommsWindowProc;
  wc.lpszClassName = kClassName;
  return RegisterClass(wc) != 0;
}

}  // namespace

HWND QNCreateCommsWindow(TqnWindowHandler Handler, bool MessageOnly) {
  if (!EnsureClass()) return 0;
  auto handler = std::make_shared<TqnWindowHandler>(std::move(Handler));
  Creating() = handler;
  HWND h = CreateWindowEx(0, kClassName, "", WS_POPUP, 0, 0, 0, 0, MessageOnly ? HWND_MESSAGE : 0, 0, 0,
                          nullptr);
  Creating().reset();
  if (h == 0) return 0;
  Handlers()[h] = handler;
  return h;
}

void QNDestroyCommsWindow(HWND Window) {
  if (Window == 0) return;
  Handlers().erase(Window);
  if (IsWindow(Window)) DestroyWindow(Window);
}

bool QNPumpOneMessage(HWND Window) {
  // A window that is gone has nothing pending: the retrieval itself finds nothing for it.
  if (Window == 0) return false;
  MSG m;
  if (!PeekMessage(&m, Window, 0, 0, PM_REMOVE)) return false;
  DispatchMessage(&m);
  return true;
}

}  // namespace tw::dbengine
