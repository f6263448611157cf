// Help calls of the program: the application's help file (or the active form's, when it names
// one) with a context number or a command, carried to the help service of platform/sys; and the
// F1 key, which shows the help context of the focused control (or of the nearest parent, up to
// the form, that has one).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tw {

class TControl;

// The help file calls go to: the active form's HelpFile when set, else the application's.
std::string CurrentHelpFile();
// HELP_CONTEXT with `context`; false when no help file is set or the help service failed.
bool HelpContextCall(int context);
// Any help command (HELP_CONTENTS, HELP_KEY's number ...) with its data.
bool HelpCommandCall(unsigned command, std::uint32_t data);
// HELP_KEY with a keyword.
bool HelpKeywordCall(const std::string& keyword);

// Called before every help call; setting `callHelp` false keeps the help service out (the
// result is then the handler's answer).
using THelpEvent = std::function<bool(unsigned command, std::uint32_t data, bool& callHelp)>;
void SetOnHelp(THelpEvent handler);

// The help context F1 shows for a control: its own, else the nearest parent's; 0 when none.
int HelpContextOf(const TControl* control);
// Makes F1 show the help context of the focused control (InstallDialogs calls it).
void InstallHelpKey();

}  // namespace tw
