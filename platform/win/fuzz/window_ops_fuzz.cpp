// Drives the window system with an arbitrary sequence of operations (windows made, destroyed,
// moved and reparented; messages posted and sent; keys from arbitrary X key symbols; mouse,
// capture, focus, timers, caret, clipboard, scrolling), including operations on handles that
// are already gone.  Nothing may crash, leak or hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/display.h"
#include "platform/win/winapi.h"
#include "platform/win/x11keys.h"

namespace {

using namespace tw;

LRESULT FuzzProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (cairo_t* cr = DCCairo(dc)) {
      cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
      cairo_paint(cr);
    }
    EndPaint(h, &ps);
    return 0;
  }
  if (m == WM_USER + 1) {  // a window that destroys itself while handling a message
    DestroyWindow(h);
    return 0;
  }
  return DefWindowProc(h, m, w, l);
}

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
  bool More() const { return pos < size; }
  unsigned Byte() { return pos < size ? data[pos++] : 0; }
  int Small(int limit) { return static_cast<int>(Byte()) % limit; }
  int Coord() { return static_cast<int>(Byte()) * 4 - 100; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool once = [] {
    SelectDisplay("offscreen");
    return true;
  }();
  (void)once;
  ResetWindowSystem();
  WNDCLASS wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = FuzzProc;
  wc.lpszClassName = "Fuzz";
  wc.hbrBackground = COLOR_BTNFACE + 1;
  RegisterClass(wc);
  UINT rtf = RegisterClipboardFormat("Rich Text Format");

  Reader in{data, size};
  std::vector<HWND> handles{0xDEAD};
  auto pick = [&]() { return handles[static_cast<std::size_t>(in.Byte()) % handles.size()]; };
  for (int step = 0; step < 400 && in.More(); ++step) {
    switch (in.Small(20)) {
      case 0: {
        DWORD style = in.Byte() & 1 ? WS_OVERLAPPEDWINDOW : WS_POPUP;
        if (in.Byte() & 1) style |= WS_VISIBLE;
        HWND h = CreateWindowEx(in.Byte() & 1 ? WS_EX_TOOLWINDOW : 0, "Fuzz", "w", style, in.Coord(), in.Coord(),
                                in.Small(300), in.Small(300), in.Byte() & 1 ? pick() : 0, 0, 0, nullptr);
        if (h) handles.push_back(h);
        break;
      }
      case 1: {
        DWORD style = WS_CHILD | (in.Byte() & 1 ? WS_VISIBLE : 0) | (in.Byte() & 1 ? WS_CLIPCHILDREN : 0);
        HWND h = CreateWindowEx(in.Byte() & 1 ? WS_EX_CLIENTEDGE : 0, "Fuzz", "c", style, in.Coord(), in.Coord(),
                                in.Small(200), in.Small(200), pick(), 0, 0, nullptr);
        if (h) handles.push_back(h);
        break;
      }
      case 2: DestroyWindow(pick()); break;
      case 3: PostMessage(pick(), WM_USER + static_cast<UINT>(in.Small(2)), in.Byte(), 0); break;
      case 4: {
        HWND h = pick();
        switch (in.Small(4)) {
          case 0: SendMessage(h, WM_USER + 1, 0, 0); break;
          case 1: SetWindowText(h, std::string(static_cast<std::size_t>(in.Small(40)), 'x').c_str()); break;
          case 2: SendMessage(h, WM_CLOSE, 0, 0); break;
          default: GetWindowTextString(h); break;
        }
        break;
      }
      case 5: {
        RECT r = Bounds(in.Coord(), in.Coord(), in.Small(200), in.Small(200));
        InvalidateRect(pick(), in.Byte() & 1 ? &r : nullptr, in.Byte() & 1);
        break;
      }
      case 6: ProcessMessages(); break;
      case 7: {
        unsigned long keysym = (static_cast<unsigned long>(in.Byte()) << 8) | in.Byte();
        if (in.Byte() & 1) keysym |= 0x01000000UL;
        UINT vk = win::KeysymToVirtualKey(keysym);
        int ch = win::KeysymToWin1252(keysym);
        if (vk) InjectKeyDown(vk, ch < 0 ? kNoCharacter : ch);
        break;
      }
      case 8: InjectKeyUp(static_cast<UINT>(in.Byte())); break;
      case 9: {
        int x = in.Coord(), y = in.Coord();
        auto button = static_cast<MouseButton>(in.Small(3));
        switch (in.Small(5)) {
          case 0: InjectMouseMove(x, y); break;
          case 1: InjectMouseDown(x, y, button); break;
          case 2: InjectMouseUp(x, y, button); break;
          case 3: InjectMouseDoubleDown(x, y, button); break;
          default: InjectMouseWheel(x, y, in.Byte() & 1 ? 120 : -120); break;
        }
        break;
      }
      case 10: in.Byte() & 1 ? static_cast<void>(SetCapture(pick())) : static_cast<void>(ReleaseCapture()); break;
      case 11: SetFocus(pick()); break;
      case 12:
        if (in.Byte() & 1) SetTimer(pick(), static_cast<UINT_PTR>(in.Small(4)), static_cast<UINT>(in.Byte()), nullptr);
        else KillTimer(pick(), static_cast<UINT_PTR>(in.Small(4)));
        break;
      case 13: AdvanceTime(static_cast<std::uint64_t>(in.Byte()) * 10); break;
      case 14: ShowWindow(pick(), in.Small(11)); break;
      case 15: SetWindowPos(pick(), in.Byte() & 1 ? HWND_TOP : HWND_BOTTOM, in.Coord(), in.Coord(), in.Small(300),
                            in.Small(300), in.Byte() & 1 ? SWP_NOZORDER : 0);
        break;
      case 16:
        switch (in.Small(4)) {
          case 0: CreateCaret(pick(), 0, in.Small(5), in.Small(30)); break;
          case 1: SetCaretPos(in.Coord(), in.Coord()); break;
          case 2: ShowCaret(0); break;
          default: in.Byte() & 1 ? static_cast<void>(HideCaret(0)) : static_cast<void>(DestroyCaret()); break;
        }
        break;
      case 17:
        if (OpenClipboard(pick())) {
          if (in.Byte() & 1) {
            EmptyClipboard();
            SetClipboardData(in.Byte() & 1 ? CF_TEXT : rtf, std::string(static_cast<std::size_t>(in.Small(20)), '\0'));
          } else {
            GetClipboardData(CF_TEXT);
          }
          CloseClipboard();
        }
        break;
      case 18: SetParent(pick(), in.Byte() & 1 ? pick() : 0); break;
      default: ScrollWindow(pick(), in.Coord() / 10, in.Coord() / 10, nullptr, nullptr); break;
    }
  }
  ProcessMessages();
  ResetWindowSystem();
  return 0;
}
