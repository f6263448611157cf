#include "platform/classes/inifiles.h"
#include "platform/classes/classesconst.h"

#include "platform/classes/inidata.h"
#include "platform/classes/stringlist.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

namespace tw {

// ---------------------------------------------------------------------------------------------
// TCustomIniFile

std::int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident,
                                         std::int32_t defaultValue) {
  std::string s = ReadString(section, ident, "");
  // "$1F" and "0x1F" are hexadecimal, as the class library's conversion reads them.
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.replace(0, 2, 1, '$');
  return StrToIntDef(s, defaultValue);
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident, std::int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident, bool defaultValue) {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

bool TCustomIniFile::SectionExists(const std::string& section) {
  TStringList keys;
  ReadSection(section, keys);
  return keys.Count() > 0;
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& ident) {
  TStringList keys;
  ReadSection(section, keys);
  return keys.IndexOf(ident) >= 0;
}

// ---------------------------------------------------------------------------------------------
// TIniFile

TIniFile::TIniFile(const std::string& fileName) : TIniFile(fileName, false) {}

TIniFile::TIniFile(const std::string& fileName, bool buffered)
    : TCustomIniFile(fileName), path_(ResolvePath(fileName)),
      data_(std::make_unique<TIniData>(false)),
      signature_(std::make_unique<TFileSignature>()),
      buffered_(buffered) {}

TIniFile::~TIniFile() = default;

void TIniFile::Refresh() {
  if (buffered_ && loaded_) return;  // a memory INI file keeps what it read and what changed
  TFileSignature sig = FileSignatureOf(path_);
  if (loaded_ && sig == *signature_) return;
  std::string text;
  if (sig.exists) {
    try {
      text = ReadFileBytes(path_);
    } catch (const Exception&) {
      // An unreadable file reads as empty; writing will report the problem.
      text.clear();
    }
  }
  data_->Parse(text);
  *signature_ = sig;
  loaded_ = true;
}

void TIniFile::Save() {
  if (!buffered_) WriteToDisk();
}

void TIniFile::WriteToDisk() {
  try {
    const std::string folder = ExtractFileDir(path_);
    if (!folder.empty()) ForceDirectories(folder);
    AtomicWriteFile(path_, data_->Serialize());
  } catch (const Exception& e) {
    if (!buffered_) loaded_ = false;  // read the file again: it still holds what was there before
    throw EIniFileException(Format(ClassesText(classesconst::SIniFileWriteError), {FileName(), e.Message()}));
  }
  *signature_ = FileSignatureOf(path_);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) {
  Refresh();
  const std::string* v = data_->Find(section, ident);
  return v != nullptr ? *v : defaultValue;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  Refresh();
  data_->CheckWritable(section, ident, value);
  const std::string* old = data_->Find(section, ident);
  if (old != nullptr && *old == value) return;
  data_->Write(section, ident, value);
  Save();
}

void TIniFile::ReadSection(const std::string& section, TStrings& strings) {
  Refresh();
  strings.BeginUpdate();
  try {
    strings.Clear();
    for (const auto& key : data_->Keys(section)) strings.Add(key);
  } catch (...) {
    strings.EndUpdate();
    throw;
  }
  strings.EndUpdate();
}

void TIniFile::ReadSections(TStrings& strings) {
  Refresh();
  strings.BeginUpdate();
  try {
    strings.Clear();
    for (const auto& name : data_->Sections()) strings.Add(name);
  } catch (...) {
    strings.EndUpdate();
    throw;
  }
  strings.EndUpdate();
}

void TIniFile::ReadSectionValues(const std::string& section, TStrings& strings) {
  Refresh();
  strings.BeginUpdate();
  try {
    strings.Clear();
    for (const auto& [key, value] : data_->Values(section)) strings.Add(key + "=" + value);
  } catch (...) {
    strings.EndUpdate();
    throw;
  }
  strings.EndUpdate();
}

void TIniFile::EraseSection(const std::string& section) {
  Refresh();
  if (data_->EraseSection(section)) Save();
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  Refresh();
  if (data_->DeleteKey(section, ident)) Save();
}

bool TIniFile::SectionExists(const std::string& section) {
  Refresh();
  return data_->SectionExists(section);
}

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) {
  Refresh();
  return data_->Find(section, ident) != nullptr;
}

void TIniFile::UpdateFile() {
  Refresh();
  WriteToDisk();
}

}  // namespace tw
