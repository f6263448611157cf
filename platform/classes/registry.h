// The settings store standing in for the registry of the current user: one INI file,
// $XDG_CONFIG_HOME/tidewell/registry.ini (~/.config/tidewell/registry.ini when the variable is
// unset), with one section per key path ("Software\Orvelle\Tidewell\frmMain") and string
// values.  Every change is written at once, atomically.  Key paths use backslashes; a path
// starting with one is absolute, any other is relative to the open key.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/inifiles.h"
#include "platform/classes/object.h"

namespace tw {

class TStrings;

using HKEY = std::uintptr_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;

// The file of the settings store; SetSettingsStorePath("") returns to the default (tests point
// it into a temporary folder).
std::string SettingsStorePath();
void SetSettingsStorePath(const std::string& path);

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistry : public TObject {
  TW_CLASS(TRegistry, TObject)
 public:
  TRegistry();
  ~TRegistry() override;

  // Only HKEY_CURRENT_USER has a store; other roots are kept under their own top section
  // ("HKEY_LOCAL_MACHINE\...") of the same file.
  HKEY RootKey() const { return rootKey_; }
  void SetRootKey(HKEY key);
  // The open key's path without leading backslash; "" at the root.
  const std::string& CurrentPath() const { return currentPath_; }

  // Opens `key`; creates it when `canCreate`; false when it does not exist and is not created.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key) { return OpenKey(key, false); }
  void CloseKey();
  bool CreateKey(const std::string& key);
  // Deletes the key with all its subkeys and values.
  bool DeleteKey(const std::string& key);
  bool KeyExists(const std::string& key);
  bool HasSubKeys();
  void GetKeyNames(TStrings& strings);
  void GetValueNames(TStrings& strings);
  bool ValueExists(const std::string& name);
  bool DeleteValue(const std::string& name);
  TRegDataType GetDataType(const std::string& name);

  // A missing value raises ERegistryException "Invalid data type for '%s'" in the class library;
  // here the overloads with a default give the default without touching the store.
  std::string ReadString(const std::string& name);
  std::string ReadString(const std::string& name, const std::string& defaultValue);
  void WriteString(const std::string& name, const std::string& value);
  // Stored as decimal text.  ReadInteger raises ERegistryException for a missing value or one
  // that is not a number.
  std::int32_t ReadInteger(const std::string& name);
  void WriteInteger(const std::string& name, std::int32_t value);
  // Stored as "1"/"0".
  bool ReadBool(const std::string& name);
  void WriteBool(const std::string& name, bool value);
  // Stored as hexadecimal text.  Returns the number of bytes copied (at most bufSize); 0 when
  // the value is missing.
  int ReadBinaryData(const std::string& name, void* buffer, int bufSize);
  void WriteBinaryData(const std::string& name, const void* buffer, int bufSize);
  int GetDataSize(const std::string& name);

 protected:
  // The absolute path (no leading backslash) of a key given relative or absolute.
  std::string Resolve(const std::string& key) const;
  // The store section of an absolute path under the root key.
  std::string Section(const std::string& path) const;
  void SetCurrentPath(const std::string& path) { currentPath_ = path; }

 private:

  HKEY rootKey_ = HKEY_CURRENT_USER;
  std::string currentPath_;
  bool open_ = false;
};

// The registry seen as an INI file: its sections are the subkeys of the key given at creation.
class TRegIniFile : public TRegistry {
  TW_CLASS(TRegIniFile, TRegistry)
 public:
  // Opens (and creates) `fileName` as a key path below HKEY_CURRENT_USER.  When the key cannot
  // be created (the store cannot be written), reads give their defaults and writes raise.
  explicit TRegIniFile(const std::string& fileName);
  const std::string& FileName() const { return fileName_; }

  using TRegistry::DeleteKey;
  using TRegistry::ReadBool;
  using TRegistry::ReadInteger;
  using TRegistry::ReadString;
  using TRegistry::WriteBool;
  using TRegistry::WriteInteger;
  using TRegistry::WriteString;

  std::string ReadString(const std::string& section, const std::string& ident, const std::string& defaultValue);
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  std::int32_t ReadInteger(const std::string& section, const std::string& ident, std::int32_t defaultValue);
  void WriteInteger(const std::string& section, const std::string& ident, std::int32_t value);
  // "1"/"0"; any other number is true.
  bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue);
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  // Value names of a section.
  void ReadSection(const std::string& section, TStrings& strings);
  // Subkey names.
  void ReadSections(TStrings& strings);
  void ReadSectionValues(const std::string& section, TStrings& strings);
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& ident);

 private:
  std::string fileName_;
};

}  // namespace tw
