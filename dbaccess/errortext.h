// Texts of result codes, the layer's own texts, and the "not supported" message.
#pragma once

#include <functional>
#include <string>

#include "dbaccess/dbitypes.h"

namespace tw::dbaccess {

// Ids of the layer's own texts in CLIENT_STRINGS.
enum TClientStringId : int {
  csUserNameParam = 24145,         // "USER NAME"
  csStandardType = 24146,          // "STANDARD"
  csPathParam = 24181,             // "PATH"
  csInvalidParameter = 24253,      // "Invalid Parameter"
  csCommsErrorCaption = 24257,     // "Quarnel Communications Error"
  csLoginCaption = 24258,          // "Quarnel Server Login"
  csPickServerCaption = 24259,     // "Quarnel Server Selection"
  csDefaultDriver = 24265,         // "QuarnlDb"
  csSystemMessageCaption = 24288,  // "Quarnel System Message"
  csNotSupportedFormat = 24289,    // "DBE Call DBI%s not supported."
  csDBEErrorFormat = 24290,        // "DBE Error %d."
  csQueryNotSupportedFormat = 24291,
  csNotSupported = 24311,          // "Not Supported"
  csOnlyQuarnel = 24312,           // "Function only applicable to Quarnel data components"
  csNetworkProtocolFailure = 24313,
  csListError = 24314,
  csErrorContextFormat = 24315,    // "DBE Error: %d"
};

// The text of Id in CLIENT_STRINGS; a built-in English text when the table cannot be read.
std::string ClientString(int Id);

// The text of Code in DBE_ERROR_STRINGS, else "DBE Error %d." with the code (signed 16-bit).
std::string LookupEngineErrorString(DBIResult Code);
// "Not Supported" for 12289, else LookupEngineErrorString; at most 255 characters.
std::string GetEngineErrorText(DBIResult Code);

// Shows Format with CallWord put in (at most 255 characters) in an information box with the
// caption "Quarnel System Message" (flags 0x2040).
void ShowEngineMessage(const std::string& Format, const std::string& CallWord);

// Seam for the layer's message boxes: text, caption, flags; answers the button pressed.  The
// default goes to the form library's message-box routine.
using TEngineMessageBox = std::function<int(const std::string&, const std::string&, unsigned)>;
void SetEngineMessageBox(TEngineMessageBox Func);
int EngineMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);

}  // namespace tw::dbaccess
