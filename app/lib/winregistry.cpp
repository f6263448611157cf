#include "app/lib/winregistry.h"

#include "app/lib/settingsreport.h"
#include "platform/classes/stringlist.h"
#include "platform/forms/forms.h"

namespace tw::app {

std::string SettingsKey() { return "\\Software\\Orvelle\\" + Application()->Title(); }

std::string FormKeyName(const TComponent* form) {
  if (form == nullptr) return {};
  std::string name = form->Name();
  if (name.size() >= 2 && name[name.size() - 2] == '_') name.resize(name.size() - 2);
  return name;
}

// Switches the registry's current key to a section below the opened key for one access.
class TWinRegistry::SectionScope {
 public:
  SectionScope(TWinRegistry& reg, const std::string& section, bool create) : reg_(reg), saved_(reg.CurrentPath()) {
    if (section.empty()) {
      open_ = true;
      return;
    }
    open_ = create ? reg_.OpenKey(section, true) : reg_.OpenKeyReadOnly(section);
  }
  ~SectionScope() { reg_.SetCurrentPath(saved_); }
  SectionScope(const SectionScope&) = delete;
  SectionScope& operator=(const SectionScope&) = delete;
  bool Open() const { return open_; }

 private:
  TWinRegistry& reg_;
  std::string saved_;
  bool open_ = false;
};

TWinRegistry::TWinRegistry(const std::string& path) : TWinRegistry(path, HKEY_CURRENT_USER) {}

TWinRegistry::TWinRegistry(const std::string& path, HKEY rootKey) : keyPath_(path) {
  SetRootKey(rootKey);
  try {
    if (OpenKey(path, true)) return;
  } catch (const ERegistryException&) {
    // The store cannot be written: stay on the path so that reads give their defaults; the
    // first write reports the failure.
  }
  SetCurrentPath(Resolve(path));
}

std::string TWinRegistry::ReadString(const std::string& section, const std::string& ident,
                                     const std::string& defaultValue) {
  SectionScope scope(*this, section, false);
  if (!scope.Open() || !ValueExists(ident)) return defaultValue;
  return TRegistry::ReadString(ident, defaultValue);
}

void TWinRegistry::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  SectionScope scope(*this, section, true);
  if (!scope.Open()) throw ERegistryException("Failed to create key " + section);
  TRegistry::WriteString(ident, value);
}

int TWinRegistry::ReadBinaryData(const std::string& section, const std::string& ident, void* buffer, int bufSize) {
  SectionScope scope(*this, section, false);
  if (!scope.Open() || !ValueExists(ident) || buffer == nullptr || bufSize <= 0) return 0;
  try {
    return TRegistry::ReadBinaryData(ident, buffer, bufSize);
  } catch (const ERegistryException&) {
    return 0;  // a value that holds no byte data reads as none, like a missing one
  }
}

void TWinRegistry::ListSubkeys(TStrings& list) { GetKeyNames(list); }

TCustomForm* OwningForm(const TComponent* component) {
  for (TComponent* c = component ? component->Owner() : nullptr; c != nullptr; c = c->Owner()) {
    if (auto* form = dynamic_cast<TCustomForm*>(c)) return form;
  }
  return nullptr;
}

namespace {
// The form whose section keeps a value of `component`; nullptr when no owner is a form or the
// component has no Name to store the value under (unnamed components would share one value).
TCustomForm* ValueForm(const TComponent* component) {
  if (component == nullptr || component->Name().empty()) return nullptr;
  return OwningForm(component);
}
}  // namespace

void RestoreComponentValue(const TComponent* component, std::string& value) {
  TCustomForm* form = ValueForm(component);
  if (form == nullptr) return;
  TWinRegistry reg(SettingsKey());
  value = reg.ReadString(FormKeyName(form), component->Name(), "");
}

void SaveComponentValue(const TComponent* component, const std::string& value) {
  TCustomForm* form = ValueForm(component);
  if (form == nullptr) return;
  WriteSettings([&] {
    TWinRegistry reg(SettingsKey());
    reg.WriteString(FormKeyName(form), component->Name(), value);
  });
}

}  // namespace tw::app
