#include "dbaccess/errortext.h"

#include <cstdint>
#include <map>

#include "dbengine/base/stringres.h"
#include "platform/forms/forms.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"

namespace tw::dbaccess {

namespace {
const std::map<int, const char*>& BuiltInClientStrings() {
  static const std::map<int, const char*> texts = {
      {csUserNameParam, "USER NAME"},
      {csStandardType, "STANDARD"},
      {csPathParam, "PATH"},
      {csInvalidParameter, "Invalid Parameter"},
      {csCommsErrorCaption, "Quarnel Communications Error"},
      {csLoginCaption, "Quarnel Server Login"},
      {csPickServerCaption, "Quarnel Server Selection"},
      {csDefaultDriver, "QuarnlDb"},
      {csSystemMessageCaption, "Quarnel System Message"},
      {csNotSupportedFormat, "DBE Call DBI%s not supported."},
      {csDBEErrorFormat, "DBE Error %d."},
      {csQueryNotSupportedFormat, "DBE Call DBI%s not supported."},
      {csNotSupported, "Not Supported"},
      {csOnlyQuarnel, "Function only applicable to Quarnel data components"},
      {csNetworkProtocolFailure, "Network Protocol Failure"},
      {csListError, "List index out of bounds"},
      {csErrorContextFormat, "DBE Error: %d"},
  };
  return texts;
}

TEngineMessageBox& MessageBoxSeam() {
  static TEngineMessageBox f;
  return f;
}
}  // namespace

std::string ClientString(int Id) {
  try {
    std::string s = dbengine::qnClientStrings().GetString(Id).Str();
    if (!s.empty()) return s;
  } catch (const std::exception&) {
    // A missing or damaged table: the built-in text below.
  }
  auto it = BuiltInClientStrings().find(Id);
  return it == BuiltInClientStrings().end() ? std::string() : std::string(it->second);
}

std::string LookupEngineErrorString(DBIResult Code) {
  std::string s;
  // In German the German text, where the German table has one.
  if (UiLanguage() == TUiLanguage::German) {
    try {
      static const dbengine::TqnStringResource german("DBE_ERROR_STRINGS", "GERMAN");
      if (german.ResName() == "DBE_ERROR_STRINGS_GERMAN") s = german.GetString(Code).Str();
    } catch (const std::exception&) {
      s.clear();
    }
    if (!s.empty()) return s;
  }
  try {
    s = dbengine::qnDBEErrorStrings().GetString(Code).Str();
  } catch (const std::exception&) {
    s.clear();
  }
  if (s.empty()) s = Format(ClientString(csDBEErrorFormat), {static_cast<int>(static_cast<std::int16_t>(Code))});
  return s;
}

std::string GetEngineErrorText(DBIResult Code) {
  std::string s = Code == DBIERR_NOTSUPPORTED ? ClientString(csNotSupported) : LookupEngineErrorString(Code);
  if (s.size() > 255) s.resize(255);
  return s;
}

void ShowEngineMessage(const std::string& FormatText, const std::string& CallWord) {
  std::string text;
  try {
    text = Format(FormatText, {CallWord});
  } catch (const std::exception&) {
    text = FormatText;
  }
  if (text.size() > 255) text.resize(255);
  EngineMessageBox(text, ClientString(csSystemMessageCaption), 0x2040);
}

void SetEngineMessageBox(TEngineMessageBox Func) { MessageBoxSeam() = std::move(Func); }

int EngineMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags) {
  if (MessageBoxSeam()) return MessageBoxSeam()(Text, Caption, Flags);
  const TMessageBoxFunc& f = MessageBoxFunc();
  if (f) return f(Text, Caption, Flags);
  return 1;
}

}  // namespace tw::dbaccess
