#include "platform/classes/registry.h"
#include "platform/classes/classesconst.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <mutex>

#include "platform/classes/inidata.h"
#include "platform/classes/stringlist.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {

// The settings file, cached between calls and read again when it changed on disk (another
// instance of the program may have written it).  Strings are Windows-1252 in the program and
// UTF-8 in the file.
class SettingsStore {
 public:
  std::mutex mutex;

  void SetPath(const std::string& path) {
    overridePath_ = path;
    loaded_ = false;
  }

  std::string Path() const {
    if (!overridePath_.empty()) return overridePath_;
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
      base = xdg;
    } else {
      const char* home = std::getenv("HOME");
      if (home == nullptr || home[0] == '\0') {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw != nullptr ? pw->pw_dir : "/tmp";
      }
      base = std::string(home) + "/.config";
    }
    return base + "/tidewell/registry.ini";
  }

  // Up to date with the file; call with the mutex held.
  TIniData& Data() {
    const std::string path = Path();
    TFileSignature sig = FileSignatureOf(path);
    if (!loaded_ || sig != signature_ || path != loadedPath_) {
      std::string text;
      unreadable_.clear();
      if (sig.exists) {
        try {
          text = Utf8ToWin1252(ReadFileBytes(path));
        } catch (const Exception& e) {
          // Unreadable: reads give their defaults, and no write replaces the file by a store
          // that lacks everything it holds; the next access tries the file again.
          text.clear();
          unreadable_ = e.Message();
        }
      }
      data_.Parse(text);
      signature_ = sig;
      loadedPath_ = path;
      loaded_ = unreadable_.empty();
    }
    return data_;
  }

  // Writes the data; on failure the file keeps its old contents and the cache is dropped.
  void Save(const std::string& what) {
    const std::string path = Path();
    if (!unreadable_.empty()) {
      loaded_ = false;
      throw ERegistryException(Format(ClassesText(classesconst::SRegSetDataFailed), {what}) + ": " + unreadable_);
    }
    try {
      ForceDirectories(ExtractFileDir(path));
      AtomicWriteFile(path, Win1252ToUtf8(data_.Serialize()));
    } catch (const Exception& e) {
      loaded_ = false;
      throw ERegistryException(Format(ClassesText(classesconst::SRegSetDataFailed), {what}) + ": " + e.Message());
    }
    signature_ = FileSignatureOf(path);
  }

 private:
  std::string overridePath_;
  std::string loadedPath_;
  TIniData data_{true};
  TFileSignature signature_;
  bool loaded_ = false;
  std::string unreadable_;  // why the existing file could not be read; empty when it was
};

SettingsStore& Store() {
  static SettingsStore store;
  return store;
}

std::string Upper(const std::string& s) { return AnsiUpperCase(s); }

// Key path normalised: no leading, trailing or doubled backslashes.
std::string Normalise(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

bool ValidKeyPath(const std::string& path) {
  for (char c : path)
    if (static_cast<unsigned char>(c) < ' ' || c == ']' || c == '[') return false;
  return true;
}

bool IsBelow(const std::string& section, const std::string& keyUpper) {
  if (keyUpper.empty()) return true;
  std::string s = Upper(section);
  return s.size() > keyUpper.size() && s.compare(0, keyUpper.size(), keyUpper) == 0 && s[keyUpper.size()] == '\\';
}

bool KeyExistsIn(TIniData& data, const std::string& section) {
  if (section.empty() || data.SectionExists(section)) return true;
  const std::string key = Upper(section);
  for (const auto& s : data.Sections())
    if (IsBelow(s, key)) return true;
  return false;
}

std::vector<std::string> SubkeyNames(TIniData& data, const std::string& section) {
  const std::string key = Upper(section);
  const std::size_t skip = section.empty() ? 0 : section.size() + 1;
  std::vector<std::string> names;
  std::vector<std::string> seen;
  for (const auto& s : data.Sections()) {
    if (!IsBelow(s, key) || s.size() <= skip) continue;
    std::string rest = s.substr(skip);
    std::string name = rest.substr(0, rest.find('\\'));
    if (name.empty()) continue;
    std::string up = Upper(name);
    // The other roots live in the same file under "HKEY_..." sections; they are no subkeys of
    // the current user's root.
    if (section.empty() && up.rfind("HKEY_", 0) == 0) continue;
    if (std::find(seen.begin(), seen.end(), up) != seen.end()) continue;
    seen.push_back(up);
    names.push_back(name);
  }
  return names;
}

void FillStrings(TStrings& strings, const std::vector<std::string>& items) {
  strings.BeginUpdate();
  try {
    strings.Clear();
    for (const auto& s : items) strings.Add(s);
  } catch (...) {
    strings.EndUpdate();
    throw;
  }
  strings.EndUpdate();
}

std::optional<std::string> ReadValue(const std::string& section, const std::string& name) {
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  const std::string* v = store.Data().Find(section, name);
  if (v == nullptr) return std::nullopt;
  return *v;
}

void WriteValue(const std::string& section, const std::string& name, const std::string& value) {
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  TIniData& data = store.Data();
  if (section.empty() || !ValidKeyPath(section) || name.empty())
    throw ERegistryException(Format(ClassesText(classesconst::SRegSetDataFailed), {name}));
  const std::string* old = data.Find(section, name);
  if (old != nullptr && *old == value) return;
  data.Write(section, name, value);
  store.Save(name);
}

std::string RootPrefix(HKEY root) {
  switch (root) {
    case HKEY_CURRENT_USER: return "";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_USERS: return "HKEY_USERS";
    default: return "HKEY_" + std::to_string(root);
  }
}

}  // namespace

std::string SettingsStorePath() {
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  return store.Path();
}

void SetSettingsStorePath(const std::string& path) {
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  store.SetPath(path);
}

// ---------------------------------------------------------------------------------------------
// TRegistry

TRegistry::TRegistry() = default;
TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY key) {
  CloseKey();
  rootKey_ = key;
}

std::string TRegistry::Resolve(const std::string& key) const {
  if (!key.empty() && key[0] == '\\') return Normalise(key);
  if (currentPath_.empty()) return Normalise(key);
  return Normalise(currentPath_ + "\\" + key);
}

std::string TRegistry::Section(const std::string& path) const {
  std::string prefix = RootPrefix(rootKey_);
  if (prefix.empty()) return path;
  return path.empty() ? prefix : prefix + "\\" + path;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  const std::string path = Resolve(key);
  if (!ValidKeyPath(path)) return false;
  if (!KeyExists("\\" + path)) {
    if (!canCreate) return false;
    CreateKey("\\" + path);
  }
  currentPath_ = path;
  open_ = true;
  return true;
}

void TRegistry::CloseKey() {
  currentPath_.clear();
  open_ = false;
}

bool TRegistry::CreateKey(const std::string& key) {
  const std::string section = Section(Resolve(key));
  if (section.empty()) return true;
  if (!ValidKeyPath(section)) throw ERegistryException(Format(ClassesText(classesconst::SRegCreateFailed), {key}));
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  TIniData& data = store.Data();
  if (KeyExistsIn(data, section)) return true;
  data.AddSection(section);
  store.Save(key);
  return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
  const std::string section = Section(Resolve(key));
  if (section.empty()) return false;
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  TIniData& data = store.Data();
  const std::string up = Upper(section);
  bool any = false;
  for (const auto& s : data.Sections())
    if (Upper(s) == up || IsBelow(s, up)) any = data.EraseSection(s) || any;
  if (any) store.Save(key);
  return any;
}

bool TRegistry::KeyExists(const std::string& key) {
  const std::string section = Section(Resolve(key));
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  return KeyExistsIn(store.Data(), section);
}

bool TRegistry::HasSubKeys() {
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  return !SubkeyNames(store.Data(), Section(currentPath_)).empty();
}

void TRegistry::GetKeyNames(TStrings& strings) {
  std::vector<std::string> names;
  {
    SettingsStore& store = Store();
    std::lock_guard lock(store.mutex);
    names = SubkeyNames(store.Data(), Section(currentPath_));
  }
  FillStrings(strings, names);
}

void TRegistry::GetValueNames(TStrings& strings) {
  std::vector<std::string> names;
  {
    SettingsStore& store = Store();
    std::lock_guard lock(store.mutex);
    names = store.Data().Keys(Section(currentPath_));
  }
  FillStrings(strings, names);
}

bool TRegistry::ValueExists(const std::string& name) { return ReadValue(Section(currentPath_), name).has_value(); }

bool TRegistry::DeleteValue(const std::string& name) {
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  if (!store.Data().DeleteKey(Section(currentPath_), name)) return false;
  store.Save(name);
  return true;
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
  return ValueExists(name) ? TRegDataType::rdString : TRegDataType::rdUnknown;
}

std::string TRegistry::ReadString(const std::string& name) { return ReadString(name, ""); }

std::string TRegistry::ReadString(const std::string& name, const std::string& defaultValue) {
  return ReadValue(Section(currentPath_), name).value_or(defaultValue);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  WriteValue(Section(currentPath_), name, value);
}

std::int32_t TRegistry::ReadInteger(const std::string& name) {
  std::optional<std::string> v = ReadValue(Section(currentPath_), name);
  std::int32_t result = 0;
  if (!v || !TryStrToInt(*v, result)) throw ERegistryException(Format(ClassesText(classesconst::SInvalidRegType), {name}));
  return result;
}

void TRegistry::WriteInteger(const std::string& name, std::int32_t value) { WriteString(name, IntToStr(value)); }

bool TRegistry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

void TRegistry::WriteBool(const std::string& name, bool value) { WriteString(name, value ? "1" : "0"); }

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// nullopt when the text is not an even run of hex digits.
std::optional<std::string> DecodeHex(const std::string& text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int hi = HexDigit(text[i]);
    int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes += static_cast<char>(hi * 16 + lo);
  }
  return bytes;
}
}  // namespace

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufSize) {
  std::optional<std::string> v = ReadValue(Section(currentPath_), name);
  if (!v) return 0;
  std::optional<std::string> bytes = DecodeHex(*v);
  if (!bytes) throw ERegistryException(Format(ClassesText(classesconst::SInvalidRegType), {name}));
  int n = static_cast<int>(std::min<std::size_t>(bytes->size(), bufSize > 0 ? static_cast<std::size_t>(bufSize) : 0));
  if (n > 0) std::memcpy(buffer, bytes->data(), static_cast<std::size_t>(n));
  return n;
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int bufSize) {
  static const char* kHex = "0123456789ABCDEF";
  std::string text;
  const auto* p = static_cast<const unsigned char*>(buffer);
  for (int i = 0; i < bufSize; ++i) {
    text += kHex[p[i] >> 4];
    text += kHex[p[i] & 15];
  }
  WriteString(name, text);
}

int TRegistry::GetDataSize(const std::string& name) {
  std::optional<std::string> v = ReadValue(Section(currentPath_), name);
  if (!v) return -1;
  return static_cast<int>(v->size());
}

// ---------------------------------------------------------------------------------------------
// TRegIniFile

TRegIniFile::TRegIniFile(const std::string& fileName) : fileName_(fileName) {
  try {
    if (OpenKey(fileName, true)) return;
  } catch (const ERegistryException&) {
    // Not writable: stay on the key path all the same, so that reading gives the defaults.
  }
  SetCurrentPath(Resolve(fileName));
}

namespace {
std::string Join(const std::string& path, const std::string& section) {
  if (section.empty()) return path;
  std::string s = Normalise(section);
  return path.empty() ? s : path + "\\" + s;
}
}  // namespace

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& defaultValue) {
  return ReadValue(Join(Section(CurrentPath()), section), ident).value_or(defaultValue);
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  WriteValue(Join(Section(CurrentPath()), section), ident, value);
}

std::int32_t TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, std::int32_t defaultValue) {
  std::optional<std::string> v = ReadValue(Join(Section(CurrentPath()), section), ident);
  return v ? StrToIntDef(*v, defaultValue) : defaultValue;
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, std::int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool defaultValue) {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TRegIniFile::ReadSection(const std::string& section, TStrings& strings) {
  std::vector<std::string> names;
  {
    SettingsStore& store = Store();
    std::lock_guard lock(store.mutex);
    names = store.Data().Keys(Join(Section(CurrentPath()), section));
  }
  FillStrings(strings, names);
}

void TRegIniFile::ReadSections(TStrings& strings) { GetKeyNames(strings); }

void TRegIniFile::ReadSectionValues(const std::string& section, TStrings& strings) {
  std::vector<std::string> lines;
  {
    SettingsStore& store = Store();
    std::lock_guard lock(store.mutex);
    for (const auto& [k, v] : store.Data().Values(Join(Section(CurrentPath()), section))) lines.push_back(k + "=" + v);
  }
  FillStrings(strings, lines);
}

void TRegIniFile::EraseSection(const std::string& section) {
  if (!Normalise(section).empty()) TRegistry::DeleteKey(section);
}

void TRegIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  SettingsStore& store = Store();
  std::lock_guard lock(store.mutex);
  if (store.Data().DeleteKey(Join(Section(CurrentPath()), section), ident)) store.Save(ident);
}

}  // namespace tw
