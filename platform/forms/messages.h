// Control messages: the message record that controls pass around, the class library's own
// message numbers (CM_* between controls, CN_* reflected from the message loop), and the table
// of message handlers that each control class registers by message number.
//
// A class registers its handlers once, in its .cpp:
//
//   class TMyControl : public TCustomControl {
//     TW_CLASS(TMyControl, TCustomControl)
//     TW_MESSAGE_MAP_DECLARE();
//    protected:
//     void WMLButtonDown(TMessage& msg);
//   };
//   TW_MESSAGE_MAP(TMyControl, tw::OnMessage<TMyControl, &TMyControl::WMLButtonDown>(WM_LBUTTONDOWN));
//
// Dispatch looks the number up in the object's class, then in each ancestor, and falls back to
// the object's DefaultHandler.  A handler calls the handler of its ancestors for the same
// message with InheritedMessage(TMyControl::StaticClass(), msg).
#pragma once

#include <initializer_list>
#include <vector>

#include "platform/classes/object.h"
#include "platform/win/winapi.h"

namespace tw {

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// Messages between controls.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_GOTFOCUS = CM_BASE + 2;
constexpr UINT CM_LOSTFOCUS = CM_BASE + 3;
constexpr UINT CM_CANCELMODE = CM_BASE + 4;
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_HITTEST = CM_BASE + 10;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_CTL3DCHANGED = CM_BASE + 16;
constexpr UINT CM_PARENTCTL3DCHANGED = CM_BASE + 17;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_MENUCHANGED = CM_BASE + 21;
constexpr UINT CM_APPKEYDOWN = CM_BASE + 22;
constexpr UINT CM_APPSYSCOMMAND = CM_BASE + 23;
constexpr UINT CM_BUTTONPRESSED = CM_BASE + 24;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
constexpr UINT CM_ENTER = CM_BASE + 26;
constexpr UINT CM_EXIT = CM_BASE + 27;
constexpr UINT CM_DESIGNHITTEST = CM_BASE + 28;
constexpr UINT CM_ICONCHANGED = CM_BASE + 29;
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;
constexpr UINT CM_INVOKEHELP = CM_BASE + 31;
constexpr UINT CM_WINDOWHOOK = CM_BASE + 32;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 34;
constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 35;
constexpr UINT CM_SYSCOLORCHANGE = CM_BASE + 36;
constexpr UINT CM_WININICHANGE = CM_BASE + 37;
constexpr UINT CM_FONTCHANGE = CM_BASE + 38;
constexpr UINT CM_TIMECHANGE = CM_BASE + 39;
constexpr UINT CM_TABSTOPCHANGED = CM_BASE + 40;
constexpr UINT CM_UIACTIVATE = CM_BASE + 41;
constexpr UINT CM_UIDEACTIVATE = CM_BASE + 42;
constexpr UINT CM_DOCWINDOWACTIVATE = CM_BASE + 43;
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
constexpr UINT CM_GETDATALINK = CM_BASE + 45;
constexpr UINT CM_CHILDKEY = CM_BASE + 46;
constexpr UINT CM_DRAG = CM_BASE + 47;
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
constexpr UINT CM_DIALOGHANDLE = CM_BASE + 49;
constexpr UINT CM_ISTOOLCONTROL = CM_BASE + 50;
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
constexpr UINT CM_INVALIDATE = CM_BASE + 52;
constexpr UINT CM_SYSFONTCHANGED = CM_BASE + 53;
constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;
constexpr UINT CM_CHANGED = CM_BASE + 55;
constexpr UINT CM_POPUPMENUCHANGED = CM_BASE + 56;

// Messages the message loop reflects to the control a key message is meant for, before the
// window system translates and dispatches it: CN_BASE + the window message.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSCHAR = CN_BASE + WM_SYSCHAR;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;

// --- handler table

using TMessageHandler = void (*)(TObject* self, TMessage& msg);

struct TMessageEntry {
  UINT Msg;
  TMessageHandler Handler;
};

// Adds the handlers of one class; a second handler for the same number replaces the first.
bool RegisterMessageHandlers(const TClassInfo* cls, std::initializer_list<TMessageEntry> entries);
// The handler of `msg` in `cls` or its nearest ancestor that has one; nullptr when none.
TMessageHandler FindMessageHandler(const TClassInfo* cls, UINT msg);
// Whether `cls` itself (not an ancestor) registered a handler for `msg`.
bool HasOwnMessageHandler(const TClassInfo* cls, UINT msg);

template <typename Cls, void (Cls::*Method)(TMessage&)>
TMessageEntry OnMessage(UINT msg) {
  return {msg, [](TObject* self, TMessage& m) { (static_cast<Cls*>(self)->*Method)(m); }};
}

// In the class body: declares the static member whose initialiser registers the table, so that
// the table may name protected and private handlers.
#define TW_MESSAGE_MAP_DECLARE() \
 private:                        \
  static const bool twMessageMap_

// In the class's .cpp, with the entries.
#define TW_MESSAGE_MAP(Cls, ...) \
  const bool Cls::twMessageMap_ = ::tw::RegisterMessageHandlers(Cls::StaticClass(), {__VA_ARGS__})

}  // namespace tw
