// INI files: sections of "key=value" lines.  Sections and keys compare case-insensitively;
// every write replaces the file atomically (temporary file in the same folder, flushed, then
// renamed), so the old file stays whole when a write fails.  A damaged file is read as far as
// its lines make sense.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/classes/object.h"

namespace tw {

class TStrings;
class TIniData;
struct TFileSignature;

class TCustomIniFile : public TObject {
  TW_CLASS(TCustomIniFile, TObject)
 public:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  const std::string& FileName() const { return fileName_; }

  virtual std::string ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) = 0;
  virtual void WriteString(const std::string& section, const std::string& ident, const std::string& value) = 0;
  // Decimal (or "$" hexadecimal); the default when missing or not a number.
  std::int32_t ReadInteger(const std::string& section, const std::string& ident, std::int32_t defaultValue);
  void WriteInteger(const std::string& section, const std::string& ident, std::int32_t value);
  // "0" is false, any other number true; the default when missing or not a number.
  bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue);
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  // The keys of a section, into `strings` (cleared first).
  virtual void ReadSection(const std::string& section, TStrings& strings) = 0;
  // The section names.
  virtual void ReadSections(TStrings& strings) = 0;
  // "key=value" lines of a section.
  virtual void ReadSectionValues(const std::string& section, TStrings& strings) = 0;
  virtual void EraseSection(const std::string& section) = 0;
  virtual void DeleteKey(const std::string& section, const std::string& ident) = 0;
  virtual bool SectionExists(const std::string& section);
  virtual bool ValueExists(const std::string& section, const std::string& ident);
  virtual void UpdateFile() = 0;

 private:
  std::string fileName_;
};

// An INI file at any path.  Reads see the file as it is on disk (re-read when it changed);
// writes go to disk at once.  A failed write raises EIniFileException with the file name and
// the reason.  A missing file reads as empty; writing creates it, and its folder.
class TIniFile : public TCustomIniFile {
  TW_CLASS(TIniFile, TCustomIniFile)
 public:
  explicit TIniFile(const std::string& fileName);
  ~TIniFile() override;

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue) override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  void ReadSection(const std::string& section, TStrings& strings) override;
  void ReadSections(TStrings& strings) override;
  void ReadSectionValues(const std::string& section, TStrings& strings) override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  bool SectionExists(const std::string& section) override;
  bool ValueExists(const std::string& section, const std::string& ident) override;
  // Writes are immediate; this writes the current contents again.  (TMemIniFile: writes
  // what was changed.)
  void UpdateFile() override;

 protected:
  TIniFile(const std::string& fileName, bool buffered);

 private:
  void Refresh();
  void Save();
  void WriteToDisk();
  std::string path_;
  std::unique_ptr<TIniData> data_;
  std::unique_ptr<TFileSignature> signature_;
  bool loaded_ = false;
  bool buffered_ = false;
};

// An INI file read once and changed in memory; UpdateFile writes it (atomically).  For many
// changes at once, such as saving a whole language.  Changes not written by UpdateFile are lost.
class TMemIniFile : public TIniFile {
  TW_CLASS(TMemIniFile, TIniFile)
 public:
  explicit TMemIniFile(const std::string& fileName) : TIniFile(fileName, true) {}
};

}  // namespace tw
