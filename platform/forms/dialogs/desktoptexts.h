// The texts of the standard dialogs (message-box buttons and titles, font, find and replace,
// file and printer-setup dialogs) follow the desktop's language, as the system dialogs they
// stand in for do: the locale variables LC_ALL, LC_MESSAGES and LANG are looked at in that
// order, the first one set decides.  English and German are known; other languages, "C" and
// "POSIX" show English.
#pragma once

#include <string>

namespace tw {

enum class TDesktopLanguage { English, German };

// Read at every call, so a dialog shows the language of the environment it opens in.
TDesktopLanguage DesktopLanguage();

// `english`, one of the standard dialogs' own texts, in the desktop's language (Windows-1252);
// a text without a translation comes back as it is.
std::string DesktopText(const std::string& english);

}  // namespace tw
