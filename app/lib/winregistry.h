// The form library's access to the settings store: a registry object opened on one key path,
// whose values are read and written by section (a subkey below that path) and identifier.
// Every setting of the application lives below SettingsKey(): "\Software\Orvelle\" + the
// application's title.
#pragma once

#include <string>

#include "platform/classes/registry.h"

namespace tw {
class TComponent;
class TStrings;
class TCustomForm;
}  // namespace tw

namespace tw::app {

// "\Software\Orvelle\" + Application()->Title().
std::string SettingsKey();

// The section a form stores its values under: its Name, without a trailing "_<c>" (a form
// named frmMain_1 stores under frmMain).
std::string FormKeyName(const TComponent* form);

class TWinRegistry : public TRegistry {
  TW_CLASS(TWinRegistry, TRegistry)
 public:
  // Opens `path` (created when missing) below HKEY_CURRENT_USER.
  explicit TWinRegistry(const std::string& path);
  // The same below another root key.
  TWinRegistry(const std::string& path, HKEY rootKey);

  const std::string& KeyPath() const { return keyPath_; }

  using TRegistry::ReadBinaryData;
  using TRegistry::ReadString;
  using TRegistry::WriteString;

  // The value, or `defaultValue` when the section or the value is missing (nothing is created).
  std::string ReadString(const std::string& section, const std::string& ident, const std::string& defaultValue);
  // Creates the section when missing; a store that cannot be written raises ERegistryException.
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  // Bytes copied into `buffer` (at most `bufSize`); 0 when the section or the value is missing
  // or the value holds no byte data.
  int ReadBinaryData(const std::string& section, const std::string& ident, void* buffer, int bufSize);
  // The names of the subkeys of the opened key.
  void ListSubkeys(TStrings& list);

 private:
  // Switches the current key to `section` for one access; false when it does not exist and
  // `create` is off.  The destructor switches back.
  class SectionScope;
  std::string keyPath_;
};

// The form that owns `component`, walking its owners; nullptr when none is a form.
TCustomForm* OwningForm(const TComponent* component);
// The value stored for `component` (identifier: its Name) in its form's section; "" when absent.
// Nothing is read (and nothing stored) when no owner is a form or the component has no Name.
void RestoreComponentValue(const TComponent* component, std::string& value);
// Stores `value` there; does nothing when no owner is a form.
void SaveComponentValue(const TComponent* component, const std::string& value);

}  // namespace tw::app
