#include "dbengine/transport/commswindow.h"

#include <map>
#include <memory>
#include <vector>

namespace tw::dbengine {
namespace {

constexpr const char* kClassName = "TqnCommsWindow";

// Never destroyed, as the other registries of this file: windows may still go during the
// program's own ending.
std::map<HWND, std::shared_ptr<TqnWindowHandler>>& Handlers() {
  static auto* h = new std::map<HWND, std::shared_ptr<TqnWindowHandler>>;
  return *h;
}

// The handler of the window being created: bound at its first message, so that a handle
// number the window system hands out again never reaches a handler of an earlier window.
std::shared_ptr<TqnWindowHandler>& Creating() {
  static auto* h = new std::shared_ptr<TqnWindowHandler>;
  return *h;
}

// The window and handler of the last message: a request's parts all go to the same windows.
struct TLastHandler {
  HWND Hwnd = 0;
  TqnWindowHandler* Handler = nullptr;
};

// Handlers whose window went while a handler was running are kept until no handler runs any
// more, so that a handler that destroys its own window finishes on a live object.  Kept for the
// whole run, like the window system itself: windows are still destroyed while the program ends.
struct TRetiring {
  TLastHandler Last;
  int Running = 0;
  std::vector<std::shared_ptr<TqnWindowHandler>> Retired;
};
TRetiring& Retiring() {
  static TRetiring* r = new TRetiring;
  return *r;
}
TLastHandler& Last() { return Retiring().Last; }
int& Running() { return Retiring().Running; }
std::vector<std::shared_ptr<TqnWindowHandler>>& Retired() { return Retiring().Retired; }

void ReleaseRetired() {
  if (Running() > 0 || Retired().empty()) return;
  // Taken out first: freeing a handler may destroy further windows.
  std::vector<std::shared_ptr<TqnWindowHandler>> gone;
  gone.swap(Retired());
}

void Retire(HWND hwnd) {
  auto& hs = Handlers();
  auto it = hs.find(hwnd);
  if (it == hs.end()) return;
  if (Last().Hwnd == hwnd) Last() = {};
  Retired().push_back(std::move(it->second));
  hs.erase(it);
  ReleaseRetired();
}

LRESULT CommsWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto& hs = Handlers();
  if (msg == WM_NCCREATE && Creating()) {
    Retire(hwnd);
    hs[hwnd] = std::move(Creating());
  }
  TLastHandler& last = Last();
  TqnWindowHandler* handler = last.Hwnd == hwnd ? last.Handler : nullptr;
  if (!handler) {
    auto it = hs.find(hwnd);
    if (it == hs.end()) return DefWindowProc(hwnd, msg, wParam, lParam);
    handler = it->second.get();
    last = {hwnd, handler};
  }
  if (msg == WM_NCDESTROY) {
    ++Running();  // the handler stays until its last message is handled
    Retire(hwnd);
    --Running();
  }
  struct TRunning {
    TRunning() { ++Running(); }
    ~TRunning() {
      --Running();
      ReleaseRetired();
    }
  } running;
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
  if (Last().Hwnd == h) Last() = {};
  Handlers()[h] = handler;
  return h;
}

void QNDestroyCommsWindow(HWND Window) {
  if (Window == 0) return;
  Retire(Window);
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
