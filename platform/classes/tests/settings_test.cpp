#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/classes/inifiles.h"
#include "platform/classes/registry.h"
#include "platform/classes/stringlist.h"
#include "platform/rtl/exceptions.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;

V Lines(const TStrings& s) {
  V v;
  for (int i = 0; i < s.Count(); ++i) v.push_back(s[i]);
  return v;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tw_settings_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    store_ = dir_ / "config" / "tidewell" / "registry.ini";
    SetSettingsStorePath(store_.string());
  }
  void TearDown() override {
    SetSettingsStorePath("");
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  fs::path store_;
};

TEST_F(SettingsTest, DefaultLocationFollowsXdgConfigHome) {
  SetSettingsStorePath("");
  const char* old = std::getenv("XDG_CONFIG_HOME");
  std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
  EXPECT_EQ(SettingsStorePath(), "/x/cfg/tidewell/registry.ini");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_NE(SettingsStorePath().find("/.config/tidewell/registry.ini"), std::string::npos);
  if (old != nullptr)
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SettingsTest, RegistryValuesPersistAcrossInstances) {
  {
    TRegistry reg;
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Orvelle\\Tidewell", true));
    reg.WriteString("Language", "Deutsch");
    reg.WriteInteger("Period", -30);
    reg.WriteBool("Flag", true);
    const unsigned char bytes[] = {0, 1, 0xFE, 0xFF};
    reg.WriteBinaryData("PageSetup", bytes, 4);
    ASSERT_TRUE(reg.OpenKey("frmMain", true));  // relative to the open key
    reg.WriteString("WindowPosition", "10,20,300,200");
    reg.WriteString("Name", " J\xF6rg\r\nline=2 ");  // Windows-1252, edge blanks and a line break
  }
  // The file is UTF-8 and has one section per key path.
  const std::string text = ReadFile(store_);
  EXPECT_NE(text.find("[Software\\Orvelle\\Tidewell\\frmMain]"), std::string::npos);
  EXPECT_NE(text.find("J\xC3\xB6rg"), std::string::npos);

  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("\\Software\\Orvelle\\Other", false));
  ASSERT_TRUE(reg.OpenKey("\\software\\orvelle\\tidewell", false));
  EXPECT_EQ(reg.ReadString("LANGUAGE"), "Deutsch");
  EXPECT_EQ(reg.ReadInteger("Period"), -30);
  EXPECT_TRUE(reg.ReadBool("Flag"));
  unsigned char back[8] = {};
  EXPECT_EQ(reg.ReadBinaryData("PageSetup", back, 8), 4);
  EXPECT_EQ(back[2], 0xFE);
  EXPECT_EQ(reg.ReadBinaryData("Missing", back, 8), 0);
  EXPECT_THROW(reg.ReadInteger("Language"), ERegistryException);
  EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryException);
  EXPECT_EQ(reg.ReadString("Missing", "dflt"), "dflt");
  EXPECT_TRUE(reg.KeyExists("frmMain"));
  EXPECT_TRUE(reg.HasSubKeys());
  TStringList names;
  reg.GetKeyNames(names);
  EXPECT_EQ(Lines(names), V{"frmMain"});
  reg.GetValueNames(names);
  EXPECT_EQ(Lines(names), (V{"Language", "Period", "Flag", "PageSetup"}));
  ASSERT_TRUE(reg.OpenKey("\\Software\\Orvelle\\Tidewell\\frmMain", false));
  EXPECT_EQ(reg.ReadString("Name"), " J\xF6rg\r\nline=2 ");
  EXPECT_TRUE(reg.DeleteValue("Name"));
  EXPECT_FALSE(reg.ValueExists("Name"));
  EXPECT_FALSE(reg.DeleteValue("Name"));
}

TEST_F(SettingsTest, AnyNameAndValueRoundTripsAndRootsStayApart) {
  const std::vector<std::string> odd{"a=b", ";comment", "[section]", " edge ", "back\\slash", "tab\tname", "@"};
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Odd", true));
    for (const auto& name : odd) reg.WriteString(name, name + "=" + name);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\Odd", true));
    reg.WriteString("a=b", "machine");
  }
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Odd", false));
  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(Lines(names), odd);
  for (const auto& name : odd) EXPECT_EQ(reg.ReadString(name), name + "=" + name) << name;
  EXPECT_EQ(reg.GetDataSize("a=b"), 7);
  EXPECT_EQ(reg.GetDataSize("missing"), -1);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg.CurrentPath(), "");
  ASSERT_TRUE(reg.OpenKey("Odd", false));
  EXPECT_EQ(reg.ReadString("a=b"), "machine");
  EXPECT_FALSE(reg.ValueExists(";comment"));
  TRegistry user;
  user.GetKeyNames(names);
  EXPECT_EQ(Lines(names), V{"Odd"});  // the machine root is not a key of the user's
}

TEST_F(SettingsTest, ReadingAMissingKeyCreatesNothing) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Orvelle", true));
  const std::string before = ReadFile(store_);
  EXPECT_FALSE(reg.OpenKey("Never", false));
  TRegIniFile ini("\\Software\\Orvelle");
  EXPECT_EQ(ini.ReadString("frmOptions", "Person1", "none"), "none");
  EXPECT_EQ(ini.ReadInteger("frmOptions", "X", 5), 5);
  EXPECT_EQ(ReadFile(store_), before);
  EXPECT_FALSE(reg.KeyExists("\\Software\\Orvelle\\frmOptions"));
}

TEST_F(SettingsTest, DeleteKeyTakesSubkeys) {
  TRegistry reg;
  reg.OpenKey("\\A\\B\\C", true);
  reg.WriteString("v", "1");
  reg.OpenKey("\\A\\B2", true);
  reg.WriteString("v", "2");
  reg.CloseKey();
  EXPECT_TRUE(reg.DeleteKey("\\A\\B"));
  EXPECT_FALSE(reg.KeyExists("\\A\\B\\C"));
  EXPECT_FALSE(reg.KeyExists("\\A\\B"));
  EXPECT_TRUE(reg.KeyExists("\\A\\B2"));
  EXPECT_TRUE(reg.KeyExists("\\A"));  // still has B2
  EXPECT_FALSE(reg.DeleteKey("\\A\\B"));
}

TEST_F(SettingsTest, RegIniFileSectionsAreSubkeys) {
  {
    TRegIniFile ini("\\Software\\Orvelle\\Tidewell");
    ini.WriteBool("Toolbar1", "Visible", true);
    ini.WriteString("Toolbar1", "DockedTo", "nil");
    ini.WriteInteger("Toolbar1", "DockRow", 2);
    ini.WriteBool("Toolbar2", "Visible", false);
  }
  TRegIniFile ini("\\Software\\Orvelle\\Tidewell");
  EXPECT_EQ(ini.ReadString("Toolbar1", "Visible", ""), "1");
  EXPECT_EQ(ini.ReadString("Toolbar2", "Visible", ""), "0");
  EXPECT_TRUE(ini.ReadBool("Toolbar1", "Visible", false));
  EXPECT_FALSE(ini.ReadBool("Toolbar2", "Visible", true));
  EXPECT_EQ(ini.ReadInteger("Toolbar1", "DockRow", 0), 2);
  EXPECT_EQ(ini.ReadInteger("Toolbar1", "DockedTo", 9), 9);  // not a number: the default
  TStringList list;
  ini.ReadSections(list);
  EXPECT_EQ(Lines(list), (V{"Toolbar1", "Toolbar2"}));
  ini.ReadSection("toolbar1", list);
  EXPECT_EQ(Lines(list), (V{"Visible", "DockedTo", "DockRow"}));
  ini.ReadSectionValues("Toolbar1", list);
  EXPECT_EQ(list.Values("DockedTo"), "nil");
  ini.DeleteKey("Toolbar1", "DockRow");
  EXPECT_EQ(ini.ReadInteger("Toolbar1", "DockRow", -1), -1);
  ini.EraseSection("Toolbar2");
  ini.ReadSections(list);
  EXPECT_EQ(Lines(list), V{"Toolbar1"});
}

TEST_F(SettingsTest, DamagedStoreIsReadAsFarAsItIsValid) {
  fs::create_directories(store_.parent_path());
  using namespace std::string_literals;
  WriteFile(store_, "garbage before any section\n[Software\\X]\nGood=1\n\xFF\xFE\0\0 binary\n=novalue\n"
                    "[unterminated\nKey=2\n[Software\\X]\nGood=shadowed\n"s);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\X", false));
  EXPECT_EQ(reg.ReadString("Good"), "1");
  reg.WriteString("New", "3");  // writing keeps what was there
  TRegistry again;
  again.OpenKey("\\unterminated", false);
  EXPECT_EQ(again.ReadString("Key"), "2");
  EXPECT_NE(ReadFile(store_).find("garbage before any section"), std::string::npos);
}

TEST_F(SettingsTest, IniFileReadsWritesAndPersists) {
  const std::string path = (dir_ / "LANGSWITCH.INI").string();
  WriteFile(path, "; settings\r\n[Default]\r\nLanguage = Deutsch \r\nQuoted=\" a \"\r\nLastLanguageID=$1F\r\n\r\n[Other]\r\nx=1\r\n");
  {
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("default", "LANGUAGE", ""), "Deutsch");
    EXPECT_EQ(ini.ReadString("Default", "Quoted", ""), " a ");
    EXPECT_EQ(ini.ReadInteger("Default", "LastLanguageID", -1), 31);
    EXPECT_EQ(ini.ReadInteger("Default", "Language", -1), -1);
    EXPECT_TRUE(ini.SectionExists("OTHER"));
    EXPECT_TRUE(ini.ValueExists("other", "X"));
    EXPECT_FALSE(ini.ValueExists("other", "y"));
    ini.WriteString("Default", "Language", "English");
    ini.WriteBool("Default", "FilterAll", true);
    ini.WriteString("New", "Edge", "  spaced  ");
    ini.DeleteKey("Other", "x");
  }
  const std::string text = ReadFile(path);
  EXPECT_EQ(text.rfind("; settings", 0), 0u);  // comment kept
  EXPECT_NE(text.find("Language=English"), std::string::npos);
  TIniFile ini(path);
  EXPECT_TRUE(ini.ReadBool("Default", "FilterAll", false));
  EXPECT_EQ(ini.ReadString("New", "Edge", ""), "  spaced  ");
  TStringList list;
  ini.ReadSections(list);
  EXPECT_EQ(Lines(list), (V{"Default", "Other", "New"}));
  ini.ReadSection("Default", list);
  EXPECT_EQ(Lines(list), (V{"Language", "Quoted", "LastLanguageID", "FilterAll"}));
  ini.EraseSection("Other");
  EXPECT_FALSE(ini.SectionExists("Other"));
  EXPECT_THROW(ini.WriteString("Default", "Multi", "a\nb"), EIniFileException);
  EXPECT_THROW(ini.WriteString("Default", "a=b", "x"), EIniFileException);
  // Another instance sees changes made through this one, and the other way round.
  TIniFile second(path);
  second.WriteString("Default", "Language", "Fran\xE7" "ais");
  EXPECT_EQ(ini.ReadString("Default", "Language", ""), "Fran\xE7" "ais");
  // A missing file reads as empty; writing makes it and its folder.
  TIniFile missing((dir_ / "sub" / "none.ini").string());
  EXPECT_EQ(missing.ReadString("a", "b", "d"), "d");
  missing.ReadSections(list);
  EXPECT_EQ(list.Count(), 0);
  missing.WriteString("a", "b", "c");
  EXPECT_EQ(ReadFile(dir_ / "sub" / "none.ini"), "[a]\nb=c\n");
}

TEST_F(SettingsTest, MemIniFileWritesOnlyOnUpdateFile) {
  const std::string path = (dir_ / "lang.ini").string();
  WriteFile(path, "[A]\nx=1\n");
  TMemIniFile mem(path);
  for (int i = 0; i < 100; ++i) mem.WriteInteger("Many", "K" + std::to_string(i), i);
  mem.DeleteKey("A", "x");
  EXPECT_EQ(ReadFile(path), "[A]\nx=1\n");  // nothing written yet
  EXPECT_EQ(mem.ReadInteger("Many", "K42", -1), 42);
  mem.UpdateFile();
  TIniFile disk(path);
  EXPECT_EQ(disk.ReadInteger("Many", "K99", -1), 99);
  EXPECT_FALSE(disk.ValueExists("A", "x"));
}

TEST_F(SettingsTest, FailedWriteLeavesTheOldFileWhole) {
  // A name so long that no temporary file can be made beside it: the write fails even for a
  // user who may write everywhere.
  const fs::path longName = dir_ / (std::string(240, 'n') + ".ini");
  WriteFile(longName, "[S]\nK=old\n");
  TIniFile ini(longName.string());
  try {
    ini.WriteString("S", "K", "new");
    FAIL();
  } catch (const EIniFileException& e) {
    EXPECT_NE(e.Message().find("Cannot write the settings file"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(longName), "[S]\nK=old\n");
  EXPECT_EQ(ini.ReadString("S", "K", ""), "old");  // what is on disk, not the failed change

  // The same for the settings store; a key that cannot be made still reads its defaults.
  SetSettingsStorePath(longName.string());
  TRegIniFile cannotCreate("\\Software\\Orvelle");
  EXPECT_EQ(cannotCreate.ReadString("Toolbar1", "Visible", "dflt"), "dflt");
  EXPECT_THROW(cannotCreate.WriteString("Toolbar1", "Visible", "1"), ERegistryException);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\S", false));
  EXPECT_THROW(reg.WriteString("K", "new"), ERegistryException);
  EXPECT_EQ(reg.ReadString("K"), "old");
  EXPECT_EQ(ReadFile(longName), "[S]\nK=old\n");

  // A read-only folder stops everyone but the superuser.
  if (::geteuid() != 0) {
    const fs::path ro = dir_ / "ro";
    fs::create_directories(ro);
    WriteFile(ro / "a.ini", "[S]\nK=old\n");
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
    TIniFile roIni((ro / "a.ini").string());
    EXPECT_THROW(roIni.WriteString("S", "K", "new"), EIniFileException);
    EXPECT_EQ(ReadFile(ro / "a.ini"), "[S]\nK=old\n");
    fs::permissions(ro, fs::perms::owner_all);
  }
}

}  // namespace
}  // namespace tw
