// Message boxes, all drawn as our own forms: MessageBox with the window system's MB_* flags and
// ID* results, MessageDlg with the class library's dialog types and buttons, ShowMessage, and
// the process-wide table of the texts they show (button captions and dialog titles), which the
// language component may replace.
//
// A shown box is an ordinary modal form: its buttons are child windows whose text can be read
// and set, and the form that was active before receives WM_ACTIVATE (WA_INACTIVE) with the box's
// window in lParam as the box becomes active, so that a component that subclasses its form can
// find the box and retitle its buttons.  Hooks added with AddMessageBoxHook see every box, built
// and not yet shown, and may change its caption and buttons directly.
#pragma once

#include <functional>
#include <string>

#include "platform/forms/forms.h"
#include "platform/rtl/set.h"

namespace tw {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
TW_ENUM_NAMES(TMsgDlgType, "mtWarning", "mtError", "mtInformation", "mtConfirmation", "mtCustom");
using enum TMsgDlgType;

enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbHelp };
TW_ENUM_NAMES(TMsgDlgBtn, "mbYes", "mbNo", "mbOK", "mbCancel", "mbAbort", "mbRetry", "mbIgnore", "mbAll", "mbHelp");
using enum TMsgDlgBtn;
using TMsgDlgButtons = Set<TMsgDlgBtn>;

inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// --- the texts

// Button captions: "&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore", "&All", "&Help".
std::string MsgDlgButtonCaption(TMsgDlgBtn button);
void SetMsgDlgButtonCaption(TMsgDlgBtn button, const std::string& caption);
// Titles: "Warning", "Error", "Information", "Confirm"; mtCustom's is the application's title.
std::string MsgDlgTitle(TMsgDlgType type);
void SetMsgDlgTitle(TMsgDlgType type, const std::string& title);
// Back to the built-in texts.
void ResetMsgDlgTexts();

// --- hooks

// Called with each message box after it is built and before it is shown.
using TMessageBoxHook = std::function<void(TCustomForm* box)>;
int AddMessageBoxHook(TMessageBoxHook hook);
void RemoveMessageBoxHook(int id);

// --- the boxes

// The box of the window system's MessageBox: `flags` choose the buttons (MB_OK ...), the icon
// and the default button; the result is the ID of the button pressed.  Esc (and closing the
// box) answers IDCANCEL when there is a Cancel button, IDOK for a box with only OK, and is
// refused otherwise.
int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
// A message dialog: the title of its type, one button per member of `buttons` in the order of
// TMsgDlgBtn, the first of OK/Yes as default; Esc answers Cancel, else No, else OK when present.
// The Help button shows the help context `helpContext` and keeps the dialog open.  Returns the
// modal result of the button pressed (mrYes ...).
int MessageDlg(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext);
// The same at a screen position (-1, -1: centred).
int MessageDlgPos(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext, int x, int y);
// The application's title and an OK button.
void ShowMessage(const std::string& message);

// Points the application's message-box routine (Application()->MessageBox, the exception
// handler) at MessageBox, and installs the F1 help key.  The program calls it once at start.
void InstallDialogs();

}  // namespace tw
