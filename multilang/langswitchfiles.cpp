// The language component's files: the ".LAN" file, the INI form and "LanguagesData".  Every
// reader parses the whole input before the entries change, so damaged input loses nothing;
// every writer replaces the file atomically, so a failed save leaves the old file whole.
#include <cerrno>
#include <map>

#include "multilang/hourglass.h"
#include "multilang/langswitch.h"
#include "platform/classes/inifiles.h"
#include "platform/forms/forms.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::multilang {
namespace {

// Reads a whole file; false with a DOS error code when it cannot be read (2 when missing).
bool ReadWhole(const std::string& name, std::string& bytes, int& code) {
  if (!FileExists(name)) {
    code = 2;
    return false;
  }
  try {
    errno = 0;
    bytes = ReadFileBytes(name);
    return true;
  } catch (const Exception&) {
    code = errno != 0 ? DosErrorFromErrno(errno) : 30;
    return false;
  }
}

// The names are kept apart: "OK" + "ShowHint" and "OKShow" + "Hint" are two keys.
std::string ValueKey(std::int32_t id, const std::string& comp, const std::string& prop, std::int32_t valueID) {
  return std::to_string(id) + '\n' + comp + '\n' + prop + '\n' + std::to_string(valueID);
}

}  // namespace

// Another form's section as it is written again: unchanged, except that the values of languages
// no longer in the file are left out.  A language deleted here would otherwise hand its values
// in the other forms to the next language that gets its ID.
TLanSection TLangSwitch::DropDeletedLanguages(TLanSection section) const {
  try {
    std::vector<TLanValue> values = ParseFormBody(section.Body);
    auto deleted = [this](const TLanValue& v) { return LanguageName(v.ID).empty(); };
    if (std::any_of(values.begin(), values.end(), deleted)) {
      std::erase_if(values, deleted);
      section.Body = BuildFormBody(values);
    }
  } catch (const ELangFileError&) {
    // a section that cannot be read is carried over as it is
  }
  return section;
}

bool TLangSwitch::IsLanName(const std::string& fileName) const { return AnsiUpperCase(ExtractFileExt(fileName)) == ".LAN"; }

std::string TLangSwitch::ExpandedFileName(const std::string& name) const { return ExpandFileName(name, ProgramFolder()); }

void TLangSwitch::SetLanguageFile(const std::string& name) {
  if (name.empty() || ComponentState().Contains(TComponentStateFlag::csLoading) ||
      ComponentState().Contains(TComponentStateFlag::csDesigning)) {
    languageFile_ = name;
    return;
  }
  std::string full = ExpandedFileName(name);
  if (!FileExists(full)) {
    // An unusable name is found out now rather than when the first save fails.
    FILE* f = std::fopen(full.c_str(), "wb");
    if (f == nullptr) {
      ReportFileError(full, DosErrorFromErrno(errno));
      return;
    }
    if (std::fclose(f) != 0) ShowError("Could not close the file, you may loose memory resources");
    if (!DeleteFile(full)) ShowError("Could not delete the language file, you may loose memory resources");
  } else if (IsLanName(full)) {
    std::string bytes;
    int code = 0;
    if (!ReadWhole(full, bytes, code)) {
      ReportFileError(full, code);
      return;
    }
    if (!HasLanHeader(bytes)) {
      ShowError("Invalid language file (" + full + ")!");
      return;
    }
  }
  std::string folder = ProgramFolder();
  languageFile_ = full.compare(0, folder.size(), folder) == 0 && !folder.empty()
                      ? "%EXEPath%" + full.substr(folder.size())
                      : name;
  if (FileExists(full)) LoadLanguageFile();
}

bool TLangSwitch::LoadLanguageFile() {
  if (languageFile_.empty()) return false;
  return IsLanName(languageFile_) ? LoadLanFile(languageFile_, SectionName()) : LoadIniFile(languageFile_, SectionName());
}

bool TLangSwitch::SaveLanguageFile() {
  if (languageFile_.empty()) return false;
  return IsLanName(languageFile_) ? SaveLanFile(languageFile_, SectionName()) : SaveIniFile(languageFile_, SectionName());
}

TLanguagesBody TLangSwitch::MakeLanguagesBody() const {
  TLanguagesBody body;
  body.Stamp = FloatToStr(stamp_ < 0 ? static_cast<double>(Date()) : stamp_);
  for (const auto& e : entries_)
    if (e->Kind == ekLanguage) body.Languages.push_back({0, static_cast<std::int16_t>(e->ID), e->Text, e->Icon});
  return body;
}

std::vector<TLanValue> TLangSwitch::MakeValues() const {
  std::vector<TLanValue> values;
  for (const auto& e : entries_)
    if (e->Kind == ekValue)
      values.push_back({1, static_cast<std::int16_t>(e->ID), e->Text, e->Component, e->Property,
                        static_cast<std::int16_t>(e->ValueID)});
  return values;
}

void TLangSwitch::MergeLanguages(const TLanguagesBody& body) {
  double stamp = -1.0;
  if (TryStrToFloat(body.Stamp, stamp)) stamp_ = stamp;
  languagesRead_ = true;
  for (const auto& l : body.Languages) {
    auto e = std::make_unique<TLanguageEntry>();
    e->Kind = static_cast<std::uint8_t>(l.Kind == 0 ? ekLanguage : ekLanguage);
    e->ID = l.ID;
    e->Text = l.Name;
    e->Icon = l.Icon;
    if (l.ID == 0) {
      entries_[0] = std::move(e);
      continue;
    }
    if (l.ID < 0) continue;  // no language has a negative ID
    std::erase_if(entries_, [&](const auto& old) { return old.get() != entries_[0].get() && old->SameKey(*e); });
    entries_.push_back(std::move(e));
  }
}

void TLangSwitch::MergeValues(const std::vector<TLanValue>& values) {
  std::map<std::string, TLanguageEntry*> keys;  // for this read only: the last record of a key wins
  for (const auto& v : values) {
    std::string key = ValueKey(v.ID, v.Component, v.Property, v.ValueID);
    auto it = keys.find(key);
    if (it != keys.end()) {
      it->second->Text = v.Text;
      it->second->Kind = ekValue;
      it->second->ComponentRef = nullptr;
      it->second->PropInfo = nullptr;
      continue;
    }
    keys[key] = &AddValue(v.ID, v.Component, v.Property, v.ValueID, v.Text);
  }
}

void TLangSwitch::AfterLoad(bool read) {
  if (read && refreshAfterLoad_) {
    RecheckEntries();
    ResolveEntries();
    RefreshLanguageList(false);
    CaptureDefaults();
  }
}

bool TLangSwitch::LoadLanFile(const std::string& fileName, const std::string& section) {
  HourGlass wait;
  std::string name = ExpandedFileName(fileName);
  std::string bytes;
  int code = 0;
  if (!ReadWhole(name, bytes, code)) {
    if (code != 2) ReportFileError(name, code);
    return false;
  }
  if (!HasLanHeader(bytes)) return false;
  TLanFile file;
  std::vector<TLanValue> values;
  const TLanSection* own = nullptr;
  try {
    file = ParseLanFile(bytes);
    own = file.Find(section);
    if (own != nullptr) values = ParseFormBody(own->Body);
  } catch (const ELangFileError&) {
    ReportFileError(name, 13);
    return false;
  }
  loading_ = true;
  SwitchToDefault();
  ClearEntries();
  Items()->Clear();
  if (file.HasLanguages) MergeLanguages(file.Languages);
  if (own != nullptr) MergeValues(values);
  fileAge_ = FileAge(name);
  loading_ = false;
  bool read = file.HasLanguages || own != nullptr;
  AfterLoad(read);
  return read;
}

bool TLangSwitch::SaveLanFile(const std::string& fileName, const std::string& section) {
  HourGlass wait;
  std::string name = ExpandedFileName(fileName);
  TLanFile out;
  out.HasLanguages = true;
  out.Languages = MakeLanguagesBody();
  out.Sections.push_back({section, BuildFormBody(MakeValues())});
  std::string old;
  int code = 0;
  if (ReadWhole(name, old, code)) {
    if (HasLanHeader(old)) {
      try {
        TLanFile previous = ParseLanFile(old);
        if (!previous.Whole) throw ELangFileError("Damaged section offset");
        for (auto& s : previous.Sections)
          if (s.Name != section) out.Sections.push_back(DropDeletedLanguages(std::move(s)));
      } catch (const ELangFileError&) {
        // The other forms' sections cannot be carried over: the damaged file is kept as it is.
        ReportFileError(name, 13);
        return false;
      }
    }
  } else if (code != 2) {
    ReportFileError(name, code);
    return false;
  }
  try {
    AtomicWriteFile(name, BuildLanFile(out));
  } catch (const Exception&) {
    ReportFileError(name, errno != 0 ? DosErrorFromErrno(errno) : 29);
    return false;
  }
  fileAge_ = FileAge(name);
  return true;
}

bool TLangSwitch::DeleteLanSection(const std::string& fileName, const std::string& section) {
  std::string name = ExpandedFileName(fileName);
  std::string old;
  int code = 0;
  if (!ReadWhole(name, old, code)) {
    ReportFileError(name, code);
    return false;
  }
  try {
    TLanFile file = ParseLanFile(old);
    // Sections after a damaged offset were not read: writing would drop them.
    if (!file.Whole) throw ELangFileError("Damaged section offset");
    // Only the section goes: the languages and the other sections stay as the file has them,
    // so that languages changed in memory and not saved yet are not written by the way.
    std::erase_if(file.Sections, [&](const TLanSection& s) { return s.Name == section; });
    AtomicWriteFile(name, BuildLanFile(file));
  } catch (const ELangFileError&) {
    ReportFileError(name, 13);
    return false;
  } catch (const Exception&) {
    ReportFileError(name, 29);
    return false;
  }
  fileAge_ = FileAge(name);
  return true;
}

bool TLangSwitch::LoadIniFile(const std::string& fileName, const std::string& section) {
  HourGlass wait;
  std::string name = ExpandedFileName(fileName);
  if (!FileExists(name)) return false;
  // The form shows its default texts while the file is read, so that the values captured
  // afterwards are its design texts and not those of the language it showed.
  SwitchToDefault();
  bool read = false;
  try {
    TMemIniFile ini(name);
    TStringList sections;
    ini.ReadSections(sections);
    loading_ = true;
    for (int i = 0; i < sections.Count(); ++i) {
      const std::string& s = sections.Strings(i);
      auto dot = s.find('.');
      if (dot == std::string::npos || s.substr(0, dot) != section) continue;
      std::string language = s.substr(dot + 1);
      if (language.empty()) continue;
      read = true;
      int id = LanguageID(language);
      if (id < 0) id = AddLanguage(language);
      if (id < 0) continue;
      TStringList keys;
      ini.ReadSection(s, keys);
      for (int k = 0; k < keys.Count(); ++k) {
        const std::string& key = keys.Strings(k);
        auto kd = key.find('.');
        if (kd == std::string::npos) continue;
        auto e = std::make_unique<TLanguageEntry>();
        e->Kind = ekValue;
        e->ID = id;
        e->Component = key.substr(0, kd);
        e->Property = key.substr(kd + 1);
        if (auto pc = e->Property.find('%'); pc != std::string::npos) {
          std::int32_t v = -1;
          if (!TryStrToInt(e->Property.substr(pc + 1), v)) v = -1;
          e->ValueID = v;
          e->Property.resize(pc);
        }
        e->Text = ini.ReadString(s, key, "");
        std::erase_if(entries_, [&](const auto& old) { return old->SameKey(*e); });
        entries_.push_back(std::move(e));
      }
    }
    fileAge_ = FileAge(name);
  } catch (const Exception&) {
    loading_ = false;
    ReportFileError(name, 30);
    return false;
  }
  loading_ = false;
  AfterLoad(read);
  return read;
}

bool TLangSwitch::SaveIniFile(const std::string& fileName, const std::string& section) {
  HourGlass wait;
  std::string name = ExpandedFileName(fileName);
  try {
    TMemIniFile ini(name);
    // This form's sections are written anew: a language deleted or renamed, or a value
    // removed, must not come back from the old sections when the file is read again.
    TStringList sections;
    ini.ReadSections(sections);
    for (int i = 0; i < sections.Count(); ++i) {
      const std::string& s = sections.Strings(i);
      auto dot = s.find('.');
      if (dot != std::string::npos && s.substr(0, dot) == section) ini.EraseSection(s);
    }
    for (const auto& e : entries_) {
      if (e->Kind != ekValue) continue;
      std::string language = LanguageName(e->ID);
      if (language.empty()) continue;
      std::string key = e->Component + "." + e->Property;
      if (e->ValueID != -1) key += "%" + std::to_string(e->ValueID);
      ini.WriteString(section + "." + language, key, e->Text);
    }
    ini.UpdateFile();
  } catch (const Exception&) {
    ReportFileError(name, 29);
    return false;
  }
  fileAge_ = FileAge(name);
  return true;
}

std::string TLangSwitch::LanguagesData() const {
  TLanguagesData data;
  data.Languages = MakeLanguagesBody();
  data.Values = MakeValues();
  return BuildLanguagesData(data);
}

bool TLangSwitch::ReadLanguagesData(const std::string& bytes) {
  TLanguagesData data;
  try {
    data = ParseLanguagesData(bytes);
  } catch (const ELangFileError&) {
    ShowError(LangFileErrorText(SectionName() + ".LanguagesData", 13));
    return false;
  }
  ClearEntries();
  MergeLanguages(data.Languages);
  MergeValues(data.Values);
  return true;
}

bool TLangSwitch::LookupExternal(const std::string& component, const std::string& property, int valueID,
                                 int languageID, std::string& text) const {
  if (languageFile_.empty() || !IsLanName(languageFile_)) return false;
  std::string bytes;
  int code = 0;
  if (!ReadWhole(ExpandedFileName(languageFile_), bytes, code) || !HasLanHeader(bytes)) return false;
  try {
    TLanFile file = ParseLanFile(bytes);
    for (const auto& s : file.Sections) {
      if (s.Name == SectionName()) continue;
      for (const auto& v : ParseFormBody(s.Body))
        if (v.ID == languageID && v.Component == component && v.Property == property && v.ValueID == valueID) {
          text = v.Text;
          return true;
        }
    }
  } catch (const ELangFileError&) {
  }
  return false;
}

std::vector<std::string> TLangSwitch::SoundsLike(const std::string& text, int languageID) const {
  std::vector<std::string> found;
  if (languageFile_.empty() || !IsLanName(languageFile_)) return found;
  std::string bytes;
  int code = 0;
  if (!ReadWhole(ExpandedFileName(languageFile_), bytes, code) || !HasLanHeader(bytes)) return found;
  std::string want = Soundex(text);
  try {
    TLanFile file = ParseLanFile(bytes);
    for (const auto& s : file.Sections) {
      if (s.Name == SectionName()) continue;
      for (const auto& v : ParseFormBody(s.Body))
        if (v.ID == languageID && (v.Property == "Caption" || v.Property == "Text") && Soundex(v.Text) == want &&
            std::find(found.begin(), found.end(), v.Text) == found.end())
          found.push_back(v.Text);
    }
  } catch (const ELangFileError&) {
  }
  return found;
}

}  // namespace tw::multilang
