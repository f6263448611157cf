// The language of the texts the program shows itself: messages of the libraries, the standard
// dialogs and the names of keys.  The program sets it when the user chooses a language; until
// then (and in programs that never choose) the desktop's locale decides: the first of LC_ALL,
// LC_MESSAGES and LANG that is set, "de..." meaning German.  English and German are known.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tw {

enum class TUiLanguage { English, German };

TUiLanguage UiLanguage();
// The program's choice; std::nullopt hands the decision back to the desktop's locale.
void SetUiLanguage(std::optional<TUiLanguage> language);
// The language the desktop's locale names.
TUiLanguage LocaleLanguage();

struct TUiTextPair {
  std::string_view English;
  std::string_view German;  // Windows-1252
};

// `english` in the current language when `pairs` has it, else as it is.
std::string UiText(std::string_view english, std::span<const TUiTextPair> pairs);
// The runtime library's messages (sysconst) in the current language.
std::string RtlText(std::string_view english);

}  // namespace tw
