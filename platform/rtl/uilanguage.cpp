#include "platform/rtl/uilanguage.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/sysconst.h"

namespace tw {
namespace {

// -1: not chosen; else the TUiLanguage value.
std::atomic<int>& Chosen() {
  static std::atomic<int> chosen{-1};
  return chosen;
}

// "de_DE.UTF-8", "de_AT", "de" and "German_Germany" name German.
bool NamesGerman(const char* locale) {
  return std::strncmp(locale, "de", 2) == 0 && (locale[2] == 0 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@');
}

constexpr TUiTextPair kRtlGerman[] = {
    {sysconst::SInvalidInteger, "'%s' ist kein g\xFCltiger Integerwert"},
    {sysconst::SInvalidFloat, "'%s' ist kein g\xFCltiger Gleitkommawert"},
    {sysconst::SInvalidDate, "'%s' ist kein g\xFCltiges Datum"},
    {sysconst::SInvalidTime, "'%s' ist keine g\xFCltige Zeit"},
    {sysconst::SInvalidDateTime, "'%s' ist keine g\xFCltige Angabe von Datum und Zeit"},
    {sysconst::SFCreateError, "Die Datei %s kann nicht erstellt werden"},
    {sysconst::SFOpenError, "Die Datei %s kann nicht ge\xF6" "ffnet werden"},
    {sysconst::SFileNotFound, "Datei nicht gefunden"},
    {sysconst::SInOutError, "E/A-Fehler %d"},
    {sysconst::SInvalidFilename, "Ung\xFCltiger Dateiname"},
    {sysconst::STooManyOpenFiles, "Zu viele ge\xF6" "ffnete Dateien"},
    {sysconst::SAccessDenied, "Dateizugriff verweigert"},
    {sysconst::SEndOfFile, "Lesen \xFC" "ber das Dateiende hinaus"},
    {sysconst::SDiskFull, "Der Datentr\xE4ger ist voll"},
    {sysconst::SFileNotOpen, "Die Datei ist nicht ge\xF6" "ffnet"},
    {sysconst::SOutOfMemory, "Zu wenig Arbeitsspeicher"},
};

}  // namespace

TUiLanguage LocaleLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == 0) continue;
    return NamesGerman(value) ? TUiLanguage::German : TUiLanguage::English;
  }
  return TUiLanguage::English;
}

TUiLanguage UiLanguage() {
  const int chosen = Chosen().load();
  return chosen < 0 ? LocaleLanguage() : static_cast<TUiLanguage>(chosen);
}

void SetUiLanguage(std::optional<TUiLanguage> language) {
  Chosen().store(language ? static_cast<int>(*language) : -1);
}

std::string UiText(std::string_view english, std::span<const TUiTextPair> pairs) {
  if (UiLanguage() == TUiLanguage::German)
    for (const TUiTextPair& p : pairs)
      if (p.English == english) return std::string(p.German);
  return std::string(english);
}

std::string RtlText(std::string_view english) { return UiText(english, kRtlGerman); }

}  // namespace tw
