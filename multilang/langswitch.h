// TLangSwitch: the language chooser every translated window carries once.  It keeps the
// languages and the translated values of its form in one entry list (from a language file, or
// from the form resource's "LanguagesData"), translates the owner form when a language is
// chosen, and tells the other language components of the application through a registered
// window message.  Ctrl+Alt+E (in the windows' key handlers) opens the language editor (Browse).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "multilang/langfile.h"
#include "multilang/mcombobox.h"
#include "platform/classes/stringlist.h"
#include "platform/classes/typinfo.h"

namespace tw {
class TCustomForm;
class TMenuItem;
class TPopupMenu;
}  // namespace tw

namespace tw::multilang {

enum : std::uint8_t { ekLanguage = 0, ekValue = 1, ekMissing = 2 };

// One language (kind 0) or one translated value (kind 1; kind 2 when its component is missing
// from the form).
struct TLanguageEntry {
  std::uint8_t Kind = ekLanguage;
  std::int32_t ID = -1;         // language ID (of a value: the language it belongs to)
  std::string Component;        // component name (the form's class name for the form itself)
  std::string Icon;             // language: the icon's file image, empty = none
  TComponent* ComponentRef = nullptr;     // value: the resolved component (cache)
  std::string Property;         // property, pseudo-property, or "#" + name for a named string
  const TPropInfo* PropInfo = nullptr;    // value: the resolved property (cache)
  std::int32_t ValueID = -1;    // -1 plain property; line, sub-property or item index
  std::string Text;             // the translated text; of a language its name
  bool IsNamedString() const { return !Property.empty() && Property[0] == '#'; }
  bool SameKey(const TLanguageEntry& o) const {
    return Kind == o.Kind && ID == o.ID && Component == o.Component && Property == o.Property && ValueID == o.ValueID;
  }
};
using TLanguageEntries = std::vector<std::unique_ptr<TLanguageEntry>>;

using TTranslateEvent = std::function<void(TObject* Sender, const std::string& LanguageName)>;
using TTranslatedEvent = std::function<void(TObject* Sender, const std::string& LanguageName, bool Successful)>;

class TLangSwitch : public TMComboBox {
  TW_CLASS(TLangSwitch, TMComboBox)
 public:
  explicit TLangSwitch(TComponent* owner);
  ~TLangSwitch() override;

  // --- published
  const std::string& LanguageFile() const { return languageFile_; }
  void SetLanguageFile(const std::string& name);
  const std::string& DefaultLanguage() const { return defaultLanguage_; }
  void SetDefaultLanguage(const std::string& v) { defaultLanguage_ = v; }
  TStrings* LanguageFilter() const { return filter_.get(); }
  void SetLanguageFilter(TStrings* v) { filter_->Assign(v); }
  TComponent* AdoptOn() const { return adoptOn_; }
  void SetAdoptOn(TComponent* value);
  bool DisableBrowseAtRunTime() const { return disableBrowse_; }
  void SetDisableBrowseAtRunTime(bool v) { disableBrowse_ = v; }
  const std::string& About() const { return about_; }
  void SetAbout(const std::string& v) { about_ = v; }
  TTranslateEvent OnTranslate;
  TTranslatedEvent OnTranslated;

  // --- the entries
  TLanguageEntries& Languages() { return entries_; }
  const std::string& CurrentLanguage() const { return current_; }
  TCustomForm* OwnerForm() const { return ownerForm_; }
  // Owner form's class name followed by this component's name.
  std::string SectionName() const;
  double DateStamp() const { return stamp_; }

  bool SelectLanguage(const std::string& name, bool broadcast);
  bool Translate(const std::string& name);
  std::string GetString(const std::string& name);
  // Opens the language editor on this component (modal); `data` is handed to the editor.
  void Browse(TObject* data = nullptr);
  void RefreshLanguageList(bool translate) override;

  // Language list operations.  AddLanguage answers the new ID, -1 when refused (the default
  // language's name or a name present); the ID is the lowest free one not among `reserved`.
  int AddLanguage(const std::string& name, const std::string& icon = {}, const std::vector<int>& reserved = {});
  bool DeleteLanguage(const std::string& name);
  bool DeleteLanguageValues(int id);
  void ClearEntries();
  bool SetLanguageIcon(const std::string& name, const std::string& iconImage);
  bool RenameLanguage(const std::string& oldName, const std::string& newName);
  int LanguageID(const std::string& name) const;
  // Appends a translated value (kind 1) and returns it.
  TLanguageEntry& AddValue(int id, const std::string& component, const std::string& property, int valueID,
                           const std::string& text);
  std::string LanguageName(int id) const;
  int NextFreeID(const std::vector<int>& reserved = {}) const;

  // --- files (each reports its failures through ReportFileError and answers false)
  bool LoadLanFile(const std::string& fileName, const std::string& section);
  bool SaveLanFile(const std::string& fileName, const std::string& section);
  bool DeleteLanSection(const std::string& fileName, const std::string& section);
  bool LoadIniFile(const std::string& fileName, const std::string& section);
  bool SaveIniFile(const std::string& fileName, const std::string& section);
  // Loads or saves `LanguageFile` in the form its extension names.
  bool LoadLanguageFile();
  bool SaveLanguageFile();
  bool IsLanName(const std::string& fileName) const;
  std::string ExpandedFileName(const std::string& name) const;
  // "LanguagesData": the bytes of the languages and this form's values; reading replaces the
  // entries only when the bytes are whole (else the error is reported and nothing changes).
  std::string LanguagesData() const;
  bool ReadLanguagesData(const std::string& bytes);
  // The value of a key in another form section of the language file ("" and false when none).
  bool LookupExternal(const std::string& component, const std::string& property, int valueID, int languageID,
                      std::string& text) const;
  // "Caption" and "Text" values of a language in the file's other sections that sound like `text`.
  std::vector<std::string> SoundsLike(const std::string& text, int languageID) const;
  void SetRefreshAfterLoad(bool v) { refreshAfterLoad_ = v; }
  // A detached component holds another form's section of a language file (the editor's): its
  // values name components of that form, so they are never resolved against this one, never
  // applied and never turned into missing ones; it loads without refreshing and switches no
  // language.  Its file and section are those given here, so that loading, saving and the
  // look-ups in the file's other sections work on that section.
  void SetDetached(const std::string& languageFile, const std::string& section) {
    detached_ = true;
    refreshAfterLoad_ = false;
    languageFile_ = languageFile;
    section_ = section;
  }
  bool Detached() const { return detached_; }

  // --- applying and capturing values
  void RecheckEntries();
  void ResolveEntries();
  bool ApplyValue(TLanguageEntry& entry);
  std::string ReadValue(TLanguageEntry& entry);
  void CaptureDefaults();
  void WriteWinIni();
  bool UpdateWindowsIni() const { return updateWinIni_; }
  std::string SystemMenuText(unsigned command) const;
  // The owner form's system menu (Alt+Space) with the current language's texts; the menu a
  // choice of it sends its command to the form.  Public for tests: opens it at the form's
  // top-left corner and returns when it closed.
  void ShowSystemMenu();
  TPopupMenu* SystemMenu() const { return sysMenu_; }
  // Named-string references ("&Name&") in `text` replaced by their strings, bounded: see
  // Expand.
  std::string ExpandNamedStrings(const std::string& text);
  // The most references one expansion replaces, and the longest text a reference is replaced
  // within (longer texts keep the reference as it is written).
  static constexpr int kMaxNamedReferences = 1024;
  static constexpr std::size_t kMaxExpandedLength = 32768;

  // The message number between language components (registered once per process).
  static UINT LanguageMessage();
  // Shows "TLangSwitch File error (<name>): <text>"; replaceable for tests.
  static void ReportFileError(const std::string& fileName, int code);
  static void ShowError(const std::string& text);

  void Loaded() override;
  void DefineProperties(TFiler* filer) override;

 protected:
  void Change() override;
  void WndProc(TMessage& msg) override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  struct Expansion {
    std::vector<std::string> Open;  // the names being expanded, outermost first
    int References = 0;             // references replaced so far
  };
  // The text of "#" + name in the current language, else in the default language.
  std::string NamedString(const std::string& name) const;
  std::string Expand(const std::string& text, Expansion& run) const;
  // The language entry of chooser item `index`, nullptr when none (or no longer in the list).
  const TLanguageEntry* ItemEntry(int index) const;
  void Broadcast();
  bool SelectNow(const std::string& name, bool broadcast);
  void HookSystemMenu();
  void FillSystemMenu();
  bool IsFormsFirstSwitch() const;
  void MergeLanguages(const TLanguagesBody& body);
  void MergeValues(const std::vector<TLanValue>& values);
  TLanguagesBody MakeLanguagesBody() const;
  std::vector<TLanValue> MakeValues() const;
  void AfterLoad(bool read);
  TLanSection DropDeletedLanguages(TLanSection section) const;
  void SwitchToDefault();
  void AdoptedClick(const std::string& name);
  void FillAdopted();
  bool ApplyPseudo(const std::string& name, const std::string& text);
  std::string ReadPseudo(const std::string& name) const;

  TCustomForm* ownerForm_ = nullptr;
  TLanguageEntries entries_;
  std::unique_ptr<TStringList> filter_;
  std::string languageFile_;
  std::string defaultLanguage_ = "English";
  std::string current_ = "English";
  std::string about_;
  TComponent* adoptOn_ = nullptr;
  bool disableBrowse_ = false;
  double stamp_ = -1.0;
  bool languagesRead_ = false;
  bool updateWinIni_ = false;
  std::int32_t fileAge_ = -1;
  bool loading_ = false;
  bool refreshAfterLoad_ = true;
  bool detached_ = false;
  std::string section_;  // a detached component's section
  std::map<unsigned, std::string> systemMenu_;
  std::uint64_t generation_ = 0;  // the newest broadcast this component made or followed
  int selecting_ = 0;             // SelectLanguage calls under way
  TPopupMenu* sysMenu_ = nullptr;  // the owner form's system menu (owned as a component)
  // Shared with the hook on the owner form's window procedure; cleared when this component
  // goes, so the hook then only passes messages on.
  std::shared_ptr<TLangSwitch*> sysHook_;
  std::string deferred_;          // a language received meanwhile, selected when they end
};

// Folder of the program's private settings files ($XDG_CONFIG_HOME/tidewell/, made when missing).
std::string PrivateIniFolder();
// Registers the component classes for creation by name (form resources).
void RegisterMultiLangClasses();

}  // namespace tw::multilang
