// Reading and writing the binary language forms, bounds-checked throughout.
#include "multilang/langfile.h"

#include <cerrno>
#include <cstring>

#include "platform/rtl/win1252.h"

namespace tw::multilang {
namespace {

const char* const kDamaged = "Damaged language data";

class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}
  std::size_t Pos() const { return pos_; }
  std::size_t Left() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }
  void Need(std::size_t n) const {
    if (n > Left()) throw ELangFileError(kDamaged);
  }
  std::int16_t I16() {
    Need(2);
    auto v = static_cast<std::uint16_t>(Byte(0) | (Byte(1) << 8));
    pos_ += 2;
    return static_cast<std::int16_t>(v);
  }
  std::int32_t I32() {
    Need(4);
    std::uint32_t v = Byte(0) | (Byte(1) << 8) | (Byte(2) << 16) | (static_cast<std::uint32_t>(Byte(3)) << 24);
    pos_ += 4;
    return static_cast<std::int32_t>(v);
  }
  std::string Str() {
    Need(1);
    std::size_t len = Byte(0);
    ++pos_;
    if (len == 255) {
      std::int32_t l = I32();
      if (l < 0) throw ELangFileError(kDamaged);
      len = static_cast<std::size_t>(l);
    }
    return Bytes(len);
  }
  std::string Bytes(std::size_t n) {
    Need(n);
    std::string s(data_.substr(pos_, n));
    pos_ += n;
    return s;
  }
  void Skip(std::size_t n) {
    Need(n);
    pos_ += n;
  }

 private:
  std::uint32_t Byte(std::size_t i) const { return static_cast<unsigned char>(data_[pos_ + i]); }
  std::string_view data_;
  std::size_t pos_ = 0;
};

void PutI16(std::string& out, std::int16_t v) {
  auto u = static_cast<std::uint16_t>(v);
  out.push_back(static_cast<char>(u & 0xFF));
  out.push_back(static_cast<char>(u >> 8));
}
void PutI32(std::string& out, std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}
void PutStr(std::string& out, std::string_view s) {
  if (s.size() < 255) {
    out.push_back(static_cast<char>(s.size()));
  } else {
    if (s.size() > 0x7FFFFFFF) throw ELangFileError("Text too long for a language file");
    out.push_back(static_cast<char>(255));
    PutI32(out, static_cast<std::int32_t>(s.size()));
  }
  out.append(s);
}

TLanguagesBody ReadLanguages(Reader& r) {
  TLanguagesBody body;
  body.Stamp = r.Str();
  r.I16();  // format word, not used
  while (r.I16() == 1) {
    TLanLanguage lang;
    lang.Kind = r.I16();
    lang.ID = r.I16();
    lang.Name = r.Str();
    if (r.I16() > 0) {
      // The icon's file image starts the slot; the whole slot is kept.
      lang.Icon = r.Bytes(kIconSlotSize);
    }
    body.Languages.push_back(std::move(lang));
  }
  return body;
}

std::vector<TLanValue> ReadForm(Reader& r) {
  std::vector<TLanValue> values;
  while (r.I16() == 1) {
    TLanValue v;
    v.Kind = r.I16();
    if (v.Kind != 1) throw ELangFileError(kDamaged);  // only values are ever written
    v.ID = r.I16();
    v.Text = r.Str();
    v.Component = r.Str();
    v.Property = r.Str();
    v.ValueID = r.I16();
    values.push_back(std::move(v));
  }
  return values;
}

void WriteLanguages(std::string& out, const TLanguagesBody& body) {
  PutStr(out, body.Stamp);
  PutI16(out, 1);
  for (const auto& lang : body.Languages) {
    PutI16(out, 1);
    PutI16(out, lang.Kind);
    PutI16(out, lang.ID);
    PutStr(out, lang.Name);
    // An icon whose image does not fit its slot is not written: the slot never spills into the
    // next record.
    if (!lang.Icon.empty() && lang.Icon.size() <= kIconSlotSize) {
      PutI16(out, 1);
      std::string slot = lang.Icon;
      slot.resize(kIconSlotSize, '\0');
      out += slot;
    } else {
      PutI16(out, 0);
    }
  }
  PutI16(out, 0);
}

void WriteForm(std::string& out, const std::vector<TLanValue>& values) {
  for (const auto& v : values) {
    PutI16(out, 1);
    PutI16(out, v.Kind);
    PutI16(out, v.ID);
    PutStr(out, v.Text);
    PutStr(out, v.Component);
    PutStr(out, v.Property);
    PutI16(out, v.ValueID);
  }
  PutI16(out, 0);
}

void WriteSection(std::string& out, const std::string& name, const std::string& body) {
  PutI16(out, 1);
  std::size_t offsetAt = out.size();
  PutI32(out, 0);
  PutStr(out, name);
  out += body;
  if (out.size() > 0x7FFFFFFF) throw ELangFileError("Language file too large");
  auto end = static_cast<std::uint32_t>(out.size());
  for (int i = 0; i < 4; ++i) out[offsetAt + i] = static_cast<char>((end >> (8 * i)) & 0xFF);
}

}  // namespace

const std::string& LanHeader() {
  static const std::string header = [] {
    std::string h;
    PutStr(h, "TLangSwitch language file");
    PutI16(h, 1);
    return h;
  }();
  return header;
}

bool HasLanHeader(std::string_view bytes) { return bytes.substr(0, LanHeader().size()) == LanHeader(); }

const TLanSection* TLanFile::Find(const std::string& name) const {
  for (const auto& s : Sections)
    if (s.Name == name) return &s;
  return nullptr;
}

TLanFile ParseLanFile(std::string_view bytes) {
  if (!HasLanHeader(bytes)) throw ELangFileError("Invalid language file");
  TLanFile file;
  Reader r(bytes);
  r.Skip(LanHeader().size());
  std::size_t lastStart = 0;
  while (r.I16() == 1) {
    std::size_t start = r.Pos();
    if (start <= lastStart) {
      file.Whole = false;
      break;
    }
    lastStart = start;
    std::int32_t offset = r.I32();
    std::string name = r.Str();
    // A section that ends before its own body starts is a damaged offset: reading stops there.
    if (offset < 0 || static_cast<std::size_t>(offset) < r.Pos()) {
      file.Whole = false;
      break;
    }
    std::size_t end = static_cast<std::size_t>(offset);
    if (end > bytes.size()) throw ELangFileError(kDamaged);
    std::string_view body = bytes.substr(r.Pos(), end - r.Pos());
    if (name == kLanguagesSection) {
      file.Languages = ParseLanguagesBody(body);
      file.HasLanguages = true;
    } else {
      file.Sections.push_back({name, std::string(body)});
    }
    r.Skip(end - r.Pos());
    if (r.AtEnd()) break;  // an end marker lost to truncation: what was read is whole
  }
  return file;
}

std::string BuildLanFile(const TLanFile& file) {
  std::string out = LanHeader();
  WriteSection(out, kLanguagesSection, BuildLanguagesBody(file.Languages));
  for (const auto& s : file.Sections) WriteSection(out, s.Name, s.Body);
  PutI16(out, 0);
  return out;
}

TLanguagesBody ParseLanguagesBody(std::string_view body) {
  Reader r(body);
  return ReadLanguages(r);
}

std::vector<TLanValue> ParseFormBody(std::string_view body) {
  Reader r(body);
  return ReadForm(r);
}

std::string BuildLanguagesBody(const TLanguagesBody& body) {
  std::string out;
  WriteLanguages(out, body);
  return out;
}

std::string BuildFormBody(const std::vector<TLanValue>& values) {
  std::string out;
  WriteForm(out, values);
  return out;
}

TLanguagesData ParseLanguagesData(std::string_view bytes) {
  Reader r(bytes);
  TLanguagesData data;
  data.Languages = ReadLanguages(r);
  data.Values = ReadForm(r);
  return data;
}

std::string BuildLanguagesData(const TLanguagesData& data) {
  std::string out;
  WriteLanguages(out, data.Languages);
  WriteForm(out, data.Values);
  return out;
}

std::string DosErrorText(int code) {
  static const struct {
    int code;
    const char* text;
  } kTexts[] = {
      {1, "Invalid function"}, {2, "File not found"}, {3, "Path not found"}, {4, "Too many open files"},
      {5, "Access denied"}, {6, "Invalid handle"}, {7, "Arena trashed"}, {8, "Not enough memory"},
      {9, "Invalid block"}, {10, "Bad environment"}, {11, "Bad format"}, {12, "Invalid access"},
      {13, "Invalid data"}, {15, "Invalid drive"}, {16, "Current directory"}, {17, "Not same device"},
      {18, "No more files"}, {19, "Write protect error"}, {20, "Bad unit"}, {21, "Not ready"},
      {22, "Bad command"}, {23, "CRC error"}, {24, "Bad length"}, {25, "Seek error"},
      {26, "Not MS-DOS disk"}, {27, "Sector not found"}, {28, "Out of paper"}, {29, "Write fault"},
      {30, "Read fault"}, {31, "General failure"}, {32, "Sharing violation"}, {33, "Lock violation"},
      {34, "Wrong disk"}, {35, "File control block unabailable"}, {36, "Sharing buffer exceeded"},
      {50, "Not supported"}, {51, "Remote not listed"}, {52, "Duplicate name"}, {53, "Bad net path"},
      {54, "Network busy"}, {55, "Device does not exist"}, {56, "Too many commands"},
      {57, "Adaptor hardware error"}, {58, "Bad network response"}, {59, "Unexpected network error"},
      {60, "Bad remote adaptor"}, {61, "Print queue full"}, {62, "No spool space"}, {63, "Print canceled"},
      {64, "Netname deleted"}, {65, "Network access denied"}, {66, "Bad device type"},
      {67, "Bad network name"}, {68, "Too many names"}, {69, "Too many sessions"}, {70, "Sharing paused"},
      {71, "Request not accepted"}, {72, "Redirection paused"}, {80, "File exists"},
      {81, "Duplicate file control block"}, {82, "Cannot make"}, {83, "Interrupt 24 failure"},
      {84, "Out of structures"}, {85, "Already assigned"}, {86, "Invalid password"},
      {87, "Invalid parameter"}, {88, "Net write fault"},
  };
  for (const auto& t : kTexts)
    if (t.code == code) return t.text;
  return "Error code not recognized (" + std::to_string(code) + ")";
}

std::string LangFileErrorText(const std::string& fileName, int code) {
  return "TLangSwitch File error (" + fileName + "): " + DosErrorText(code);
}

int DosErrorFromErrno(int err) {
  switch (err) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM: return 5;
    case EBADF: return 6;
    case ENOMEM: return 8;
    case EROFS: return 19;
    case EIO: return 29;
    case EEXIST: return 80;
    case EINVAL: return 87;
    case ENOSPC: return 29;
    default: return 31;
  }
}

std::string ExpandFileName(const std::string& name, const std::string& programFolder) {
  static const std::string key = "%EXEPATH%";
  std::string upper = AnsiUpperCase(name);
  auto at = upper.find(key);
  if (at == std::string::npos) return name;
  std::string rest = name.substr(at + key.size(), 255);
  return name.substr(0, at) + programFolder + rest;
}

std::string Soundex(const std::string& text) {
  std::string s;
  for (char c : text)
    if (c != '&') s.push_back(c);
  s = AnsiUpperCase(s);
  std::string code;
  char last = 0;
  bool first = true;
  for (char c : s) {
    if (first) {
      if (c == ' ') continue;
      code.push_back(c);
      first = false;
      continue;
    }
    char d = 0;
    switch (c) {
      case 'B': case 'F': case 'P': case 'V': d = '1'; break;
      case 'C': case 'G': case 'J': case 'K': case 'Q': case 'S': case 'X': case 'Z': d = '2'; break;
      case 'D': case 'T': d = '3'; break;
      case 'L': d = '4'; break;
      case 'M': case 'N': d = '5'; break;
      case 'R': d = '6'; break;
      default: break;
    }
    if (d == 0) continue;
    if (d != last) code.push_back(d);
    last = d;
  }
  return code;
}

}  // namespace tw::multilang
