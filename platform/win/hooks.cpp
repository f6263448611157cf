// Message hooks of the thread: procedures called with messages before they are handled (get
// message, call window procedure and its return, keyboard, mouse, computer-based training).
// Each hook passes on with CallNextHookEx; the most recently installed hook runs first.
#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

// The hook whose procedure is running for each kind, so that CallNextHookEx knows where the
// chain continues even when a hook is removed meanwhile.
std::vector<HHOOK> ChainAfter(int kind, HHOOK from) {
  std::vector<HHOOK> rest;
  bool after = from == 0;
  for (const Hook& h : S().hooks) {
    if (h.kind != kind) continue;
    if (after) rest.push_back(h.handle);
    if (h.handle == from) after = true;
  }
  return rest;
}

const Hook* FindHook(HHOOK handle) {
  for (const Hook& h : S().hooks)
    if (h.handle == handle) return &h;
  return nullptr;
}

LRESULT RunFrom(int kind, HHOOK start, int code, WPARAM wParam, LPARAM lParam, bool* handled) {
  std::vector<HHOOK> chain = ChainAfter(kind, start);
  for (HHOOK h : chain) {
    const Hook* hook = FindHook(h);
    if (!hook) continue;
    if (handled) *handled = true;
    auto proc = hook->proc;  // a copy: the hook may unhook itself
    return proc(code, wParam, lParam);
  }
  return 0;
}

}  // namespace

bool HasHook(int kind) {
  for (const Hook& h : S().hooks)
    if (h.kind == kind) return true;
  return false;
}

LRESULT CallHooks(int kind, int code, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (handled) *handled = false;
  return RunFrom(kind, 0, code, wParam, lParam, handled);
}

}  // namespace tw::win

namespace tw {

using namespace win;

HHOOK SetWindowsHookEx(int idHook, std::function<LRESULT(int, WPARAM, LPARAM)> proc) {
  if (!proc) return 0;
  switch (idHook) {
    case WH_MSGFILTER: case WH_KEYBOARD: case WH_GETMESSAGE: case WH_CALLWNDPROC:
    case WH_CBT: case WH_MOUSE: case WH_CALLWNDPROCRET: break;
    default: return 0;
  }
  State& s = S();
  HHOOK handle = s.nextHook++;
  if (s.nextHook == 0) s.nextHook = 1;
  s.hooks.insert(s.hooks.begin(), Hook{handle, idHook, std::move(proc)});
  return handle;
}

HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE, DWORD) {
  if (!proc) return 0;
  return SetWindowsHookEx(idHook, std::function<LRESULT(int, WPARAM, LPARAM)>(proc));
}

bool UnhookWindowsHookEx(HHOOK hook) {
  auto& hooks = S().hooks;
  auto before = hooks.size();
  std::erase_if(hooks, [hook](const Hook& h) { return h.handle == hook; });
  return hooks.size() != before;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  const Hook* h = FindHook(hook);
  if (!h) return 0;
  return RunFrom(h->kind, hook, code, wParam, lParam, nullptr);
}

}  // namespace tw
