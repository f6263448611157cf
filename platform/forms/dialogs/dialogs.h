// The dialogs of the program, all our own forms built from the standard controls: message boxes,
// the input box, the file, font, find and replace and printer-setup dialogs, and the help calls.
#pragma once

#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/forms/dialogs/filedialogs.h"
#include "platform/forms/dialogs/inputbox.h"
#include "platform/forms/dialogs/msgbox.h"
