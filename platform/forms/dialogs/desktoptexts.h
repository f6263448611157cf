// The texts of the standard dialogs (message-box buttons and titles, font, find and replace,
// file and printer-setup dialogs) follow the program's language (UiLanguage): the language the
// user chose in the program, and until one is chosen the desktop's, from the locale variables
// LC_ALL, LC_MESSAGES and LANG in that order, the first one set deciding.  English and German
// are known; other languages, "C" and "POSIX" show English.
#pragma once

#include <string>

namespace tw {

enum class TDesktopLanguage { English, German };

// Read at every call, so a dialog shows the language in force when it opens.
TDesktopLanguage DesktopLanguage();

// `english`, one of the standard dialogs' own texts, in the desktop's language (Windows-1252);
// a text without a translation comes back as it is.
std::string DesktopText(const std::string& english);

}  // namespace tw
