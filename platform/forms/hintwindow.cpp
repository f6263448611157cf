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
  std::unique_ptr<TCanvas> canvas;
};

HintState& Shared() {
  static HintState state;
  return state;
}

// The part of a hint before "|" (the part after it is the long hint for a status line).
std::string ShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

// The window's text: the hint it shows.
std::string TextOf(HWND wnd) {
  std::string text(static_cast<std::size_t>(std::max(0, GetWindowTextLength(wnd))) + 1, '\0');
  text.resize(static_cast<std::size_t>(std::max(0, GetWindowText(wnd, text.data(), static_cast<int>(text.size())))));
  return text;
}

// The one canvas of the hint window, lent the DC `dc` (0 takes it back).
TCanvas& HintCanvas(HDC dc) {
  HintState& s = Shared();
  if (!s.canvas) s.canvas = std::make_unique<TCanvas>();
  s.canvas->SetHandle(dc);
  return *s.canvas;
}

LRESULT HintProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      TCanvas& canvas = HintCanvas(BeginPaint(wnd, &ps));
      RECT r;
      GetClientRect(wnd, &r);
      canvas.Brush()->SetColor(clInfoBk);
      canvas.FillRect(r);
      canvas.Brush()->SetStyle(TBrushStyle::bsClear);
      canvas.Font()->SetColor(clInfoText);
      canvas.TextOut(kMargin, kMargin - 1, TextOf(wnd));
      canvas.Brush()->SetStyle(TBrushStyle::bsSolid);
      HintCanvas(0);
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
  HintState& s = Shared();
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
  HintState& s = Shared();
  if (control == s.control) return;
  CancelHint();
  if (!WantsHint(control)) return;
  const HWND wnd = HintWindowMade();
  if (wnd == 0) return;
  s.control = control;
  SetTimer(wnd, kShowTimer, kHintPauseMs, nullptr);
}

void ShowPendingHint() {
  HintState& s = Shared();
  if (s.control == nullptr || !WantsHint(s.control) || !Alive(s.window)) {
    CancelHint();
    return;
  }
  const std::string text = ShortHint(s.control->Hint());
  HDC dc = GetDC(s.window);
  TCanvas& canvas = HintCanvas(dc);
  const int width = canvas.TextWidth(text) + 2 * kMargin + 2;
  const int height = canvas.TextHeight(text) + 2 * kMargin;
  HintCanvas(0);
  ReleaseDC(s.window, dc);
  // Below the mouse pointer, kept on the screen.
  POINT at{};
  GetCursorPos(&at);
  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  int x = std::clamp(static_cast<int>(at.X), 0, std::max(0, screenW - width));
  int y = at.Y + 20;
  if (y + height > screenH) y = std::max(0, static_cast<int>(at.Y) - height - 2);
  SetWindowText(s.window, text.c_str());
  SetWindowPos(s.window, HWND_TOPMOST, x, y, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(s.window, nullptr, false);
  SetTimer(s.window, kHideTimer, kHintHidePauseMs, nullptr);
}

void CancelHint() {
  HintState& s = Shared();
  s.control = nullptr;
  if (!Alive(s.window)) {
    s.window = 0;
    return;
  }
  KillTimer(s.window, kShowTimer);
  KillTimer(s.window, kHideTimer);
  if (IsWindowVisible(s.window)) ShowWindow(s.window, SW_HIDE);
}

void HintControlGone(TControl* control) {
  if (Shared().control == control) CancelHint();
}

HWND HintWindowHandle() {
  HintState& s = Shared();
  return Alive(s.window) && IsWindowVisible(s.window) ? s.window : 0;
}

}  // namespace tw
