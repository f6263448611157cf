// Window classes, window procedures (plain functions and object instances), and the values kept
// per window and per class (Get/SetWindowLongPtr, Get/SetClassLongPtr).
#include <cstring>

#include "platform/rtl/win1252.h"
#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

// Object instances are numbered from 1 and handed out as WNDPROC values below 0x10000: no code
// address lies there (the first 64 KiB of the address space are never mapped), so a value tells
// by itself whether it is an instance or a function.
constexpr std::uintptr_t kInstanceLimit = 0x10000;

std::shared_ptr<WindowClass> FindClass(const char* name) {
  if (!name) return nullptr;
  auto& cs = S().classes;
  auto it = cs.find(AnsiUpperCase(name));
  return it == cs.end() ? nullptr : it->second;
}

}  // namespace

std::shared_ptr<WindowClass> LookupClass(const char* name) { return FindClass(name); }

}  // namespace tw::win

namespace tw {

using namespace win;

HBRUSH ColorBrush(TColor color) {
  return static_cast<HBRUSH>(0x40000000u | (static_cast<std::uint32_t>(ColorToRGB(color)) & 0xFFFFFF));
}

ATOM RegisterClass(const WNDCLASS& wc) {
  if (!wc.lpszClassName || !*wc.lpszClassName) return 0;
  NoteUiThread();
  State& s = S();
  std::string key = AnsiUpperCase(wc.lpszClassName);
  if (s.classes.count(key)) return 0;
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc.lpszClassName;
  cls->wc = wc;
  cls->wc.lpszClassName = cls->name.c_str();
  cls->wc.lpszMenuName = nullptr;
  if (cls->wc.cbWndExtra < 0) cls->wc.cbWndExtra = 0;
  if (cls->wc.cbWndExtra > 1024) return 0;
  s.classes.emplace(key, cls);
  return static_cast<ATOM>(RegisterAtom("#class:" + key));
}

bool UnregisterClass(const char* className, HINSTANCE) {
  if (!className) return false;
  State& s = S();
  auto it = s.classes.find(AnsiUpperCase(className));
  if (it == s.classes.end()) return false;
  for (auto& [h, w] : s.windows)
    if (w->cls == it->second) return false;  // still in use
  s.classes.erase(it);
  return true;
}

bool GetClassInfo(HINSTANCE, const char* className, WNDCLASS* wc) {
  auto cls = FindClass(className);
  if (!cls) return false;
  if (wc) *wc = cls->wc;
  return true;
}

int GetClassName(HWND hwnd, char* buffer, int maxCount) {
  Window* w = Find(hwnd);
  if (!w || !buffer || maxCount <= 0) return 0;
  int n = static_cast<int>(std::min<std::size_t>(w->cls->name.size(), static_cast<std::size_t>(maxCount - 1)));
  std::memcpy(buffer, w->cls->name.data(), static_cast<std::size_t>(n));
  buffer[n] = 0;
  return n;
}

bool IsWindowOfClass(HWND hwnd, const std::string& className) {
  Window* w = hwnd != 0 ? Find(hwnd) : nullptr;
  return w != nullptr && w->cls != nullptr && AnsiUpperCase(w->cls->name) == AnsiUpperCase(className);
}

LONG_PTR GetClassLongPtr(HWND hwnd, int index) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  const WNDCLASS& wc = w->cls->wc;
  switch (index) {
    case GCLP_HBRBACKGROUND: return static_cast<LONG_PTR>(wc.hbrBackground);
    case GCLP_HCURSOR: return static_cast<LONG_PTR>(wc.hCursor);
    case GCLP_HICON: return static_cast<LONG_PTR>(wc.hIcon);
    case GCLP_WNDPROC: return reinterpret_cast<LONG_PTR>(wc.lpfnWndProc);
    case GCL_STYLE: return static_cast<LONG_PTR>(wc.style);
    default: return 0;
  }
}

LONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  WNDCLASS& wc = w->cls->wc;
  LONG_PTR old = GetClassLongPtr(hwnd, index);
  switch (index) {
    case GCLP_HBRBACKGROUND: wc.hbrBackground = static_cast<HBRUSH>(value); break;
    case GCLP_HCURSOR: wc.hCursor = static_cast<HCURSOR>(value); break;
    case GCLP_HICON: wc.hIcon = static_cast<HICON>(value); break;
    case GCLP_WNDPROC: wc.lpfnWndProc = reinterpret_cast<WNDPROC>(value); break;
    case GCL_STYLE: wc.style = static_cast<UINT>(value); break;
    default: return 0;
  }
  return old;
}

WNDPROC MakeObjectInstance(WindowProcedure proc) {
  State& s = S();
  auto holder = std::make_shared<WindowProcedure>(std::move(proc));
  for (std::size_t i = 0; i < s.instances.size(); ++i) {
    if (!s.instances[i]) {
      s.instances[i] = holder;
      return reinterpret_cast<WNDPROC>(static_cast<std::uintptr_t>(i + 1));
    }
  }
  if (s.instances.size() + 1 >= kInstanceLimit) return nullptr;
  s.instances.push_back(holder);
  return reinterpret_cast<WNDPROC>(static_cast<std::uintptr_t>(s.instances.size()));
}

void FreeObjectInstance(WNDPROC instance) {
  auto value = reinterpret_cast<std::uintptr_t>(instance);
  State& s = S();
  if (value == 0 || value >= kInstanceLimit || value > s.instances.size()) return;
  s.instances[value - 1].reset();
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto value = reinterpret_cast<std::uintptr_t>(proc);
  if (value == 0) return 0;
  if (value < kInstanceLimit) {
    State& s = S();
    if (value > s.instances.size()) return 0;
    // Keep the procedure alive while it runs: it may free its own instance.
    std::shared_ptr<WindowProcedure> holder = s.instances[value - 1];
    if (!holder || !*holder) return 0;
    return (*holder)(hwnd, msg, wParam, lParam);
  }
  return proc(hwnd, msg, wParam, lParam);
}

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return static_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return static_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWL_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_USERDATA: return w->userData;
    default: break;
  }
  if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
  LONG_PTR v = 0;
  std::memcpy(&v, w->extra.data() + index, sizeof v);
  return v;
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtr(hwnd, index);
  switch (index) {
    case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); return old;
    case GWLP_HINSTANCE: w->instance = static_cast<HINSTANCE>(value); return old;
    case GWLP_HWNDPARENT:
      if (!w->parent) {
        HWND owner = Find(static_cast<HWND>(value)) ? static_cast<HWND>(value) : 0;
        // No window may own itself, not even through others.
        for (HWND o = owner; o != 0; o = Find(o) ? Find(o)->owner : 0) {
          if (o == hwnd) {
            owner = 0;
            break;
          }
        }
        if (owner != w->owner) {
          w->owner = owner;
          if (!w->messageOnly) Display().WindowOwnerChanged(hwnd);
        }
      }
      return old;
    case GWL_ID: w->id = value; return old;
    case GWL_STYLE: {
      DWORD visible = w->style & WS_VISIBLE;  // visibility changes only through ShowWindow
      w->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | visible;
      return old;
    }
    case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); return old;
    case GWLP_USERDATA: w->userData = value; return old;
    default: break;
  }
  if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
  std::memcpy(w->extra.data() + index, &value, sizeof value);
  return old;
}

}  // namespace tw
