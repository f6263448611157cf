// Cursors, the warning sound and the system metrics of the classic look.
#include "platform/win/windowstate.h"

namespace tw {

using namespace win;

HCURSOR LoadCursor(HINSTANCE instance, HCURSOR id) {
  if (instance != 0) return 0;  // cursors of the program come from its own resources
  switch (id) {
    case IDC_ARROW: case IDC_IBEAM: case IDC_WAIT: case IDC_CROSS: case IDC_UPARROW:
    case IDC_SIZENWSE: case IDC_SIZENESW: case IDC_SIZEWE: case IDC_SIZENS: case IDC_SIZEALL:
    case IDC_NO: case IDC_HAND: case IDC_APPSTARTING: case IDC_HELP:
      return id;
    default:
      return 0;
  }
}

HCURSOR SetCursor(HCURSOR cursor) {
  State& s = S();
  HCURSOR old = s.cursor;
  if (cursor != old) {
    s.cursor = cursor;
    Display().CursorChanged(cursor);
  }
  return old;
}

HCURSOR GetCursor() { return S().cursor; }

int ShowCursor(bool show) {
  State& s = S();
  s.cursorShowCount += show ? 1 : -1;
  return s.cursorShowCount;
}

bool MessageBeep(UINT) {
  ++S().beeps;
  Display().Beep();
  return true;
}

unsigned MessageBeepCount() { return S().beeps; }

int GetSystemMetrics(int index) {
  TSize screen = Display().ScreenSize();
  switch (index) {
    case SM_CXSCREEN: case SM_CXFULLSCREEN: case SM_CXMAXIMIZED: return screen.cx;
    case SM_CYSCREEN: case SM_CYMAXIMIZED: return screen.cy;
    case SM_CYFULLSCREEN: return screen.cy - 19;
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL: return 16;
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CYSMCAPTION: return 16;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXSMSIZE: return 12;
    case SM_CYSMSIZE: return 14;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXMINTRACK: return 112;
    case SM_CYMINTRACK: return 27;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_MOUSEPRESENT: case SM_MOUSEWHEELPRESENT: return 1;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_SWAPBUTTON: return S().swapButtons ? 1 : 0;
    default: return 0;
  }
}

bool SystemParametersInfo(UINT action, UINT, void* out, UINT) {
  if (!out) return false;
  switch (action) {
    case SPI_GETWORKAREA: {
      TSize screen = Display().ScreenSize();
      *static_cast<RECT*>(out) = Bounds(0, 0, screen.cx, screen.cy);
      return true;
    }
    case SPI_GETWHEELSCROLLLINES: *static_cast<UINT*>(out) = 3; return true;
    case SPI_GETDRAGFULLWINDOWS: *static_cast<bool*>(out) = false; return true;
    default: return false;
  }
}

}  // namespace tw
