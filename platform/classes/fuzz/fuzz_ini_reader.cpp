// Reads arbitrary bytes as an INI file and as the settings store, then reads and writes values.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/classes/inifiles.h"
#include "platform/classes/registry.h"
#include "platform/classes/stringlist.h"
#include "platform/rtl/exceptions.h"

namespace {
// A private folder for the files of one run, removed when the run ends.
struct TempFolder {
  std::string path;
  TempFolder() {
    char tmpl[] = "/tmp/tw_fuzz_ini_XXXXXX";
    const char* dir = ::mkdtemp(tmpl);
    path = dir != nullptr ? dir : "";
  }
  ~TempFolder() {
    if (!path.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  }
};
std::string Folder() {
  static TempFolder folder;
  return folder.path.empty() ? std::string("/tmp") : folder.path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = Folder() + "/fuzz.ini";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    tw::TIniFile ini(path);
    tw::TStringList sections;
    ini.ReadSections(sections);
    for (int i = 0; i < sections.Count() && i < 50; ++i) {
      tw::TStringList values;
      ini.ReadSectionValues(sections[i], values);
      ini.ReadSection(sections[i], values);
      for (int j = 0; j < values.Count() && j < 50; ++j) ini.ReadInteger(sections[i], values[j], 0);
    }
    ini.WriteString("Fuzz", "Key", "Value");
    if (ini.ReadString("fuzz", "key", "") != "Value") __builtin_trap();
  } catch (const tw::EIniFileException&) {
  }
  tw::SetSettingsStorePath(path);
  try {
    tw::TRegistry reg;
    if (reg.OpenKey("\\Software", false)) {
      tw::TStringList names;
      reg.GetKeyNames(names);
      reg.GetValueNames(names);
      for (int j = 0; j < names.Count() && j < 50; ++j) reg.ReadString(names[j], "");
    }
  } catch (const tw::ERegistryException&) {
  }
  tw::SetSettingsStorePath("");
  return 0;
}
