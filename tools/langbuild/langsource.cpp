#include "tools/langbuild/langsource.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "platform/classes/inidata.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::langbuild {
namespace {

// The text in the 8-bit code page; every character must survive the conversion.
std::string ToAnsi(std::string_view utf8) {
  if (utf8.size() >= 3 && utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  int line = 1;
  std::size_t pos = 0;
  std::string out;
  out.reserve(utf8.size());
  while (pos < utf8.size()) {
    std::size_t start = pos;
    char32_t cp = DecodeUtf8(utf8, pos);
    if (pos == start) ++pos;  // never stall on a decoder that did not advance
    std::string_view raw = utf8.substr(start, pos - start);
    int code = CodePointToWin1252(cp);
    std::string back;
    if (code >= 0) AppendUtf8(back, cp);
    if (code < 0 || back != raw)
      throw ELangSourceError("line " + std::to_string(line) + ": a character the language file cannot hold");
    if (cp == U'\n') ++line;
    out.push_back(static_cast<char>(code));
  }
  return out;
}

}  // namespace

multilang::TLanFile LanFromIniSource(std::string_view utf8Text, const std::string& defaultLanguage,
                                     const std::string& stamp) {
  TIniData ini(false);
  ini.Parse(ToAnsi(utf8Text));

  std::vector<std::string> languages{defaultLanguage};
  auto languageID = [&](const std::string& name) {
    auto it = std::find(languages.begin(), languages.end(), name);
    if (it != languages.end()) return static_cast<std::int16_t>(it - languages.begin());
    if (languages.size() >= 32767) throw ELangSourceError("too many languages");
    languages.push_back(name);
    return static_cast<std::int16_t>(languages.size() - 1);
  };

  std::vector<std::string> formOrder;
  std::map<std::string, std::vector<multilang::TLanValue>> forms;
  std::set<std::string> seen;  // a section name given twice counts once (the first), as readers do
  for (const std::string& section : ini.Sections()) {
    if (!seen.insert(AnsiUpperCase(section)).second) continue;
    auto dot = section.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == section.size())
      throw ELangSourceError("[" + section + "]: the section is not named <form>.<language>");
    std::string form = section.substr(0, dot);
    std::int16_t id = languageID(section.substr(dot + 1));
    if (!forms.contains(form)) formOrder.push_back(form);
    auto& values = forms[form];
    for (const auto& [key, text] : ini.Values(section)) {
      auto kd = key.find('.');
      if (kd == std::string::npos || kd == 0 || kd + 1 == key.size())
        throw ELangSourceError("[" + section + "] " + key + ": the key is not named <component>.<property>");
      multilang::TLanValue v;
      v.Kind = 1;
      v.ID = id;
      v.Text = text;
      v.Component = key.substr(0, kd);
      v.Property = key.substr(kd + 1);
      if (auto pc = v.Property.find('%'); pc != std::string::npos) {
        std::int32_t valueID = 0;
        if (!TryStrToInt(v.Property.substr(pc + 1), valueID) || valueID < 0 || valueID > 32767)
          throw ELangSourceError("[" + section + "] " + key + ": the value ID is not a number 0..32767");
        v.ValueID = static_cast<std::int16_t>(valueID);
        v.Property.resize(pc);
      }
      if (v.Property.empty()) throw ELangSourceError("[" + section + "] " + key + ": no property named");
      values.push_back(std::move(v));
    }
  }
  if (formOrder.empty()) throw ELangSourceError("the source holds no language section");

  multilang::TLanFile file;
  file.HasLanguages = true;
  file.Languages.Stamp = stamp;
  for (std::size_t i = 0; i < languages.size(); ++i)
    file.Languages.Languages.push_back({0, static_cast<std::int16_t>(i), languages[i], {}});
  for (const auto& form : formOrder) file.Sections.push_back({form, multilang::BuildFormBody(forms[form])});
  return file;
}

}  // namespace tw::langbuild
