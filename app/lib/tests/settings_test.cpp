#include "app/lib/winregistry.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/lib/tests/applib_test_util.h"
#include "platform/classes/stringlist.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::app::test {
namespace {

using WinRegistryTest = AppLibTest;

TEST_F(WinRegistryTest, ValuesRoundTripBySectionAndReadingCreatesNothing) {
  TWinRegistry reg(SettingsKey());
  EXPECT_EQ(reg.ReadString("frmOptions", "Minutes", "30"), "30");
  char buffer[8] = {};
  EXPECT_EQ(reg.ReadBinaryData("Never", "Value", buffer, sizeof buffer), 0);
  reg.WriteString("frmOptions", "Minutes", "45");
  EXPECT_EQ(reg.CurrentPath(), "Software\\Orvelle\\Tidewell");  // back on the opened key

  TWinRegistry again(SettingsKey());
  EXPECT_EQ(again.ReadString("frmOptions", "Minutes", "30"), "45");
  EXPECT_EQ(again.ReadString("frmOptions", "Missing", "x"), "x");
  const unsigned char bytes[] = {0x00, 0xFF, 0x10};
  {
    TRegistry raw;
    ASSERT_TRUE(raw.OpenKey(SettingsKey() + "\\frmOptions", false));
    raw.WriteBinaryData("Raw", bytes, sizeof bytes);
  }
  char two[2] = {};
  EXPECT_EQ(again.ReadBinaryData("frmOptions", "Raw", two, sizeof two), 2);  // cut to the buffer
  EXPECT_EQ(static_cast<unsigned char>(two[1]), 0xFF);
  EXPECT_EQ(again.ReadBinaryData("frmOptions", "Language", buffer, sizeof buffer), 0);
  again.WriteString("frmOptions", "Language", "Deutsch");  // text, not bytes: none, no exception
  EXPECT_EQ(again.ReadBinaryData("frmOptions", "Language", buffer, sizeof buffer), 0);

  TStringList keys;
  again.ListSubkeys(keys);
  ASSERT_EQ(keys.Count(), 1);  // "Never" was only read
  EXPECT_EQ(keys.Strings(0), "frmOptions");
}

TEST_F(WinRegistryTest, ComponentValuesLiveUnderTheFormsSectionWithoutItsSuffix) {
  auto* form = new TForm(Application());
  form->SetName("frmOptions_2");
  EXPECT_EQ(FormKeyName(form), "frmOptions");
  auto* edit = new TEdit(form);
  edit->SetName("dfName");
  SaveComponentValue(edit, "Ada");
  std::string value;
  RestoreComponentValue(edit, value);
  EXPECT_EQ(value, "Ada");
  EXPECT_EQ(TWinRegistry(SettingsKey()).ReadString("frmOptions", "dfName", ""), "Ada");

  TEdit loose(nullptr);  // no form among the owners: nothing is read or written
  SaveComponentValue(&loose, "x");
  value = "kept";
  RestoreComponentValue(&loose, value);
  EXPECT_EQ(value, "kept");

  auto* unnamed = new TEdit(form);  // no identifier: two such edits would share one value
  SaveComponentValue(unnamed, "y");
  RestoreComponentValue(unnamed, value);
  EXPECT_EQ(value, "kept");
  TStringList names;
  TWinRegistry reg(SettingsKey());
  ASSERT_TRUE(reg.OpenKeyReadOnly("frmOptions"));
  reg.GetValueNames(names);
  EXPECT_EQ(names.Count(), 1);
}

TEST_F(WinRegistryTest, AStoreThatCannotBeWrittenRaisesOnWriteAndReadsDefaults) {
  // A plain file where the store's folder should be: nothing can be written below it.
  std::fclose(std::fopen((folder / "blocker").c_str(), "w"));
  SetSettingsStorePath((folder / "blocker" / "registry.ini").string());
  TWinRegistry reg(SettingsKey());
  EXPECT_EQ(reg.ReadString("frmMain", "Language", "English"), "English");
  EXPECT_THROW(reg.WriteString("frmMain", "Language", "Deutsch"), ERegistryException);
}

// Runs `step` as a user who may not read a root-owned file (as root: in a child process as
// nobody); the result is the step's, or -1 when it could not run so.
int RunWithoutReadRights(const std::function<int()>& step) {
  if (::geteuid() != 0) return step();
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) ::_exit(100);
    ::_exit(step());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(WinRegistryTest, AStoreFileThatCannotBeReadIsNeverWrittenOver) {
  // Four persons are stored; then the file cannot be read (its rights taken away), while its
  // folder can still be written.  A write must not replace it by a store that holds only the
  // new value.
  const std::filesystem::path file = folder / "registry.ini";
  {
    TWinRegistry reg(SettingsKey());
    for (int n = 1; n <= 4; ++n) reg.WriteString("frmOptions", "dfPers" + std::to_string(n), "Person Nr " + std::to_string(n));
  }
  const std::string stored = FileText(file);
  ASSERT_NE(stored.find("Person Nr 4"), std::string::npos);
  ASSERT_EQ(::chmod(file.c_str(), 0), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  const int result = RunWithoutReadRights([&file] {
    SetSettingsStorePath(file.string());  // as at a start: nothing of the file known yet
    TWinRegistry reg(SettingsKey());
    if (reg.ReadString("frmOptions", "dfPers1", "none") != "none") return 2;
    try {
      reg.WriteString("frmOptions", "dfPers1", "Changed");
    } catch (const ERegistryException&) {
      return 0;  // told, nothing written
    }
    return 3;
  });
  ::chmod(file.c_str(), 0600);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(FileText(file), stored);
}

}  // namespace
}  // namespace tw::app::test
