// X key symbols to the window system's virtual keys and to Windows-1252 characters.
#include <X11/keysym.h>

#include "platform/rtl/win1252.h"
#include "platform/win/x11keys.h"

namespace tw::win {

UINT KeysymToVirtualKey(unsigned long keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return static_cast<UINT>('A' + (keysym - XK_a));
  if (keysym >= XK_A && keysym <= XK_Z) return static_cast<UINT>('A' + (keysym - XK_A));
  if (keysym >= XK_0 && keysym <= XK_9) return static_cast<UINT>('0' + (keysym - XK_0));
  if (keysym >= XK_F1 && keysym <= XK_F12) return static_cast<UINT>(VK_F1 + (keysym - XK_F1));
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return static_cast<UINT>(VK_NUMPAD0 + (keysym - XK_KP_0));
  switch (keysym) {
    case XK_BackSpace: return VK_BACK;
    case XK_Tab: case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Return: case XK_KP_Enter: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Shift_L: case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L: case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: return VK_MENU;
    case XK_Pause: return VK_PAUSE;
    case XK_Caps_Lock: return VK_CAPITAL;
    case XK_Num_Lock: return VK_NUMLOCK;
    case XK_Scroll_Lock: return VK_SCROLL;
    case XK_Prior: case XK_KP_Prior: return VK_PRIOR;
    case XK_Next: case XK_KP_Next: return VK_NEXT;
    case XK_End: case XK_KP_End: return VK_END;
    case XK_Home: case XK_KP_Home: return VK_HOME;
    case XK_Left: case XK_KP_Left: return VK_LEFT;
    case XK_Up: case XK_KP_Up: return VK_UP;
    case XK_Right: case XK_KP_Right: return VK_RIGHT;
    case XK_Down: case XK_KP_Down: return VK_DOWN;
    case XK_Insert: case XK_KP_Insert: return VK_INSERT;
    case XK_Delete: case XK_KP_Delete: return VK_DELETE;
    case XK_Print: return VK_SNAPSHOT;
    case XK_Help: return VK_HELP;
    case XK_Menu: return VK_APPS;
    case XK_Super_L: return VK_LWIN;
    case XK_Super_R: return VK_RWIN;
    case XK_KP_Multiply: return VK_MULTIPLY;
    case XK_KP_Add: return VK_ADD;
    case XK_KP_Subtract: return VK_SUBTRACT;
    case XK_KP_Decimal: case XK_KP_Separator: return VK_DECIMAL;
    case XK_KP_Divide: return VK_DIVIDE;
    case XK_KP_Begin: return VK_CLEAR;
    case XK_semicolon: case XK_colon: return VK_OEM_1;
    case XK_equal: case XK_plus: return VK_OEM_PLUS;
    case XK_comma: case XK_less: return VK_OEM_COMMA;
    case XK_minus: case XK_underscore: return VK_OEM_MINUS;
    case XK_period: case XK_greater: return VK_OEM_PERIOD;
    case XK_slash: case XK_question: return VK_OEM_2;
    case XK_grave: case XK_asciitilde: return VK_OEM_3;
    case XK_bracketleft: case XK_braceleft: return VK_OEM_4;
    case XK_backslash: case XK_bar: return VK_OEM_5;
    case XK_bracketright: case XK_braceright: return VK_OEM_6;
    case XK_apostrophe: case XK_quotedbl: return VK_OEM_7;
    case XK_exclam: return '1';
    case XK_at: return '2';
    case XK_numbersign: return '3';
    case XK_dollar: return '4';
    case XK_percent: return '5';
    case XK_asciicircum: return '6';
    case XK_ampersand: return '7';
    case XK_asterisk: return '8';
    case XK_parenleft: return '9';
    case XK_parenright: return '0';
    default: break;
  }
  // Letters of other layouts (ä, ö, ü, é ...): a key of its own, as those keyboards have.
  if (keysym >= 0xA0 && keysym <= 0xFF) return VK_OEM_102;
  return 0;
}

int KeysymToWin1252(unsigned long keysym) {
  char32_t cp = 0;
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) cp = static_cast<char32_t>(keysym);
  else if ((keysym & 0xFF000000UL) == 0x01000000UL) cp = static_cast<char32_t>(keysym & 0x00FFFFFFUL);
  else if (keysym == XK_EuroSign) cp = 0x20AC;
  else if (keysym >= XK_KP_0 && keysym <= XK_KP_9) cp = static_cast<char32_t>('0' + (keysym - XK_KP_0));
  else {
    switch (keysym) {
      case XK_BackSpace: return 8;
      case XK_Tab: case XK_ISO_Left_Tab: return 9;
      case XK_Return: case XK_KP_Enter: return 13;
      case XK_Escape: return 27;
      case XK_KP_Multiply: return '*';
      case XK_KP_Add: return '+';
      case XK_KP_Subtract: return '-';
      case XK_KP_Decimal: return '.';
      case XK_KP_Divide: return '/';
      case XK_KP_Space: return ' ';
      default: return -1;
    }
  }
  if (cp == 0) return -1;
  return CodePointToWin1252(cp);
}

bool KeysymIsCharacter(unsigned long keysym) {
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) return true;
  if ((keysym & 0xFF000000UL) == 0x01000000UL) return true;  // Unicode key symbols
  // The older symbol sets of other scripts (Latin-2 to Greek, technical, currency ...); above
  // 0xFD00 lie the terminal, function, modifier and dead keys.
  return keysym >= 0x100 && keysym < 0xFD00;
}

TKeyPress ReadKeyPress(unsigned long plain, unsigned long typed, bool ctrlAlt) {
  TKeyPress press;
  press.VirtualKey = KeysymToVirtualKey(plain != 0 ? plain : typed);
  if (press.VirtualKey == 0) press.VirtualKey = KeysymToVirtualKey(typed);
  const bool character = KeysymIsCharacter(typed);
  // A key that only types a character ("€" on a spare key) is a key of its own, as the
  // letters of other layouts are.
  if (press.VirtualKey == 0 && character) press.VirtualKey = VK_OEM_102;
  if (press.VirtualKey == 0 || ctrlAlt) return press;
  const int ch = KeysymToWin1252(typed);
  if (ch > 0) press.Character = ch;
  // A character the 8-bit text cannot hold ("Ω", "→") is refused, not dropped unnoticed.
  else if (character) press.Refused = true;
  return press;
}

}  // namespace tw::win
