// The application's hint window: the short hint of the control under the mouse, shown after the
// mouse has rested on it for the hint pause and hidden when the mouse moves to another control,
// a button or key is pressed, the control goes, or the hide pause has passed.
#include <algorithm>
#include <memory>
#include <string>

#include "platform/forms/controlsinternal.h"
#include "platform/forms/forms.h"
#include "platform/forms/hintwindow.h"
#include "platform/gfx/canvas.h"

namespace tw {
namespace {

constexpr const char* kHintClass = "THintWindow";
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kHideTimer = 2;
constexpr UINT kHintPauseMs = 500;
constexpr UINT kHintHidePauseMs = 2500;
constexpr int kMargin = 2;

struct HintState {
  HWND window = 0;
  TControl* control = nullptr;  // the control whose hint is pending or shown
  std::string text;
  bool shown = false;
  std::unique_ptr<TCanvas> canvas;
};

HintState& Hint() {
  static HintState state;
  return state;
}

// The part of a hint before "|" (the part after it is the long hint for a status line).
std::string ShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

void Measure(HDC dc, const std::string& text, int& width, int& height) {
  HintState& s = Hint();
  if (!s.canvas) s.canvas = std::make_unique<TCanvas>();
  s.canvas->SetHandle(dc);
  width = s.canvas->TextWidth(text);
  height = s.canvas->TextHeight(text.empty() ? std::string("X") : text);
  s.canvas->SetHandle(0);
}

LRESULT HintProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HintState& s = Hint();
  switch (msg) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (!s.canvas) s.canvas = std::make_unique<TCanvas>();
      s.canvas->SetHandle(dc);
      RECT r;
      GetClientRect(wnd, &r);
      s.canvas->Brush()->SetColor(clInfoBk);
      s.canvas->FillRect(r);
      s.canvas->Brush()->SetStyle(TBrushStyle::bsClear);
      s.canvas->Font()->SetColor(clInfoText);
      s.canvas->TextOut(kMargin, kMargin - 1, s.text);
      s.canvas->Brush()->SetStyle(TBrushStyle::bsSolid);
      s.canvas->SetHandle(0);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_TIMER:
      KillTimer(wnd, wParam);
      if (wParam == kShowTimer) ShowPendingHint();
      else CancelHint();
      return 0;
    default: return DefWindowProc(wnd, msg, wParam, lParam);
  }
}

// The window system may have been reset (tests do) and its handles given to other windows.
bool Alive(HWND wnd) { return wnd != 0 && IsWindow(wnd) && IsWindowOfClass(wnd, kHintClass); }

HWND HintWindowMade() {
  HintState& s = Hint();
  if (Alive(s.window)) return s.window;
  WNDCLASS wc;
  if (!GetClassInfo(0, kHintClass, &wc)) {
    WNDCLASS reg;
    reg.style = CS_SAVEBITS;
    reg.lpfnWndProc = &HintProc;
    reg.hCursor = LoadCursor(0, IDC_ARROW);
    reg.lpszClassName = kHintClass;
    RegisterClass(reg);
  }
  s.window = CreateWindowEx(WS_EX_TOPMOST, kHintClass, "", WS_POPUP | WS_BORDER, 0, 0, 1, 1, 0, 0,
                            0, nullptr);
  return s.window;
}

bool WantsHint(TControl* control) {
  TApplication* app = ApplicationIfAny();
  return control != nullptr && app != nullptr && app->ShowHint() && control->ShowHint() &&
         !ShortHint(control->Hint()).empty() && control->IsShowing();
}

}  // namespace

void HintMouseOver(TControl* control) {
  HintState& s = Hint();
  if (control == s.control) return;
  CancelHint();
  if (!WantsHint(control)) return;
  const HWND wnd = HintWindowMade();
  if (wnd == 0) return;
  s.control = control;
  SetTimer(wnd, kShowTimer, kHintPauseMs, nullptr);
}

void ShowPendingHint() {
  HintState& s = Hint();
  if (s.control == nullptr || !WantsHint(s.control) || !Alive(s.window)) {
    CancelHint();
    return;
  }
  s.text = ShortHint(s.control->Hint());
  int width = 0, height = 0;
  HDC dc = GetDC(s.window);
  Measure(dc, s.text, width, height);
  ReleaseDC(s.window, dc);
  width += 2 * kMargin + 2;
  height += 2 * kMargin;
  // Below the mouse pointer, kept on the screen.
  POINT at{};
  GetCursorPos(&at);
  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  int x = std::clamp(static_cast<int>(at.X), 0, std::max(0, screenW - width));
  int y = at.Y + 20;
  if (y + height > screenH) y = std::max(0, static_cast<int>(at.Y) - height - 2);
  SetWindowText(s.window, s.text.c_str());
  SetWindowPos(s.window, HWND_TOPMOST, x, y, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(s.window, nullptr, false);
  s.shown = true;
  SetTimer(s.window, kHideTimer, kHintHidePauseMs, nullptr);
}

void CancelHint() {
  HintState& s = Hint();
  s.control = nullptr;
  if (!Alive(s.window)) {
    s.window = 0;
    s.shown = false;
    return;
  }
  KillTimer(s.window, kShowTimer);
  KillTimer(s.window, kHideTimer);
  if (s.shown) ShowWindow(s.window, SW_HIDE);
  s.shown = false;
}

void HintControlGone(TControl* control) {
  if (Hint().control == control) CancelHint();
}

HWND HintWindowHandle() {
  HintState& s = Hint();
  return s.shown && Alive(s.window) ? s.window : 0;
}

}  // namespace tw
