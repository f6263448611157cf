// The open and save dialogs on a temporary folder, driven by injected keys.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/dialogs/filedialogs.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/tests/forms_test_util.h"
#include "platform/rtl/files.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(TStrings* s) {
  std::vector<std::string> out;
  for (int i = 0; i < s->Count(); ++i) out.push_back(s->Strings(i));
  return out;
}

class FileDialogTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    dir = (fs::temp_directory_path() / ("tw_filedlg_" + std::to_string(getpid()))).string();
    fs::remove_all(dir);
    fs::create_directories(dir + "/sub");
    for (const char* name : {"a.txt", "B.TXT", "c.dat", "notes", "sub/inner.txt"}) std::ofstream(dir + "/" + name) << "x";
  }
  void TearDown() override {
    FormsTest::TearDown();
    fs::remove_all(dir);
  }
  static void Drive(std::vector<std::function<void()>> steps) {
    DriveIdle(std::move(steps), [] {
      ADD_FAILURE() << "the dialog did not end";
      while (TCustomForm* f = Screen()->ActiveForm()) {
        if (!f->FormState().Contains(TFormStateFlag::fsModal)) break;
        f->SetModalResult(mrAbort);
        break;
      }
    });
  }
  template <typename T>
  static T* Part(TCommonDialog* d, const std::string& name) {
    return dynamic_cast<T*>(d->DialogForm()->FindComponent(name));
  }
  std::string dir;
};

TEST(FilePatterns, MatchWithoutRegardToCaseAndSplitFilters) {
  EXPECT_TRUE(MatchesFilePattern("A.TXT", "*.txt"));
  EXPECT_TRUE(MatchesFilePattern("notes", "*.*"));
  EXPECT_TRUE(MatchesFilePattern("icon.ico", "*.ICO;*.EXE"));
  EXPECT_TRUE(MatchesFilePattern("run.exe", "*.ICO; *.EXE"));
  EXPECT_FALSE(MatchesFilePattern("run.dll", "*.ICO;*.EXE"));
  EXPECT_TRUE(MatchesFilePattern("tw_eng.hlp", "tw_???.hlp"));
  EXPECT_FALSE(MatchesFilePattern("tw_engl.hlp", "tw_???.hlp"));
  EXPECT_TRUE(MatchesFilePattern("README", "*."));
  EXPECT_FALSE(MatchesFilePattern("a.b", ""));
  // Many stars against a long name that does not match must end (no exponential search).
  EXPECT_FALSE(MatchesFilePattern(std::string(300, 'a'), "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(MatchesFilePattern(std::string(300, 'a') + "b", "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));

  const auto f = ParseFileFilter("Text files (*.txt)|*.txt|All files (*.*)|*.*");
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].first, "Text files (*.txt)");
  EXPECT_EQ(f[0].second, "*.txt");
  EXPECT_EQ(f[1].second, "*.*");
  EXPECT_TRUE(ParseFileFilter("").empty());
  const auto odd = ParseFileFilter("Languages|*.LAN|Everything");
  ASSERT_EQ(odd.size(), 2u) << "a description without patterns shows every file";
  EXPECT_EQ(odd[1].second, "*.*");
}

TEST_F(FileDialogTest, ListsTheFolderByPatternAndReturnsTheTypedName) {
  TOpenDialog* dlg = new TOpenDialog(Application());
  dlg->SetInitialDir(dir);
  dlg->SetFilter("Text files (*.txt)|*.txt|All files (*.*)|*.*");
  dlg->SetTitle("Select a language file");
  std::vector<std::string> textFiles, allFiles, folders;
  std::string caption;
  const std::string cwd = GetCurrentDir();
  Drive({[&] {
           ASSERT_NE(dlg->DialogForm(), nullptr);
           caption = dlg->DialogForm()->Caption();
           textFiles = Lines(Part<TListBox>(dlg, "FileList")->Items());
           folders = Lines(Part<TListBox>(dlg, "FolderList")->Items());
           auto* types = Part<TComboBox>(dlg, "TypeCombo");
           types->SetItemIndex(1);
           FireEvent(types->OnChange, types);
           allFiles = Lines(Part<TListBox>(dlg, "FileList")->Items());
           InjectText("c.dat");
         },
         [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(dlg->Execute());
  EXPECT_EQ(caption, "Select a language file");
  EXPECT_EQ(textFiles, (std::vector<std::string>{"a.txt", "B.TXT"})) << "the pattern ignores case";
  EXPECT_EQ(allFiles, (std::vector<std::string>{"a.txt", "B.TXT", "c.dat", "notes"}));
  EXPECT_EQ(folders, (std::vector<std::string>{"..", "sub"}));
  EXPECT_EQ(dlg->FileName(), dir + "/c.dat");
  EXPECT_EQ(Lines(dlg->Files()), std::vector<std::string>{dir + "/c.dat"});
  EXPECT_EQ(dlg->FilterIndex(), 2);
  EXPECT_EQ(GetCurrentDir(), cwd) << "the dialog leaves the current folder alone";

  // Choosing in the list, with the default extension for a typed name without one.
  dlg->SetFilterIndex(1);
  dlg->SetDefaultExt("txt");
  Drive({[&] { InjectText("B"); }, [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(dlg->Execute());
  EXPECT_EQ(dlg->FileName(), dir + "/B.txt") << "the default extension is added";
  Drive({[&] {
           auto* list = Part<TListBox>(dlg, "FileList");
           list->SetItemIndex(0);
           FireEvent(list->OnClick, list);
         },
         [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(dlg->Execute());
  EXPECT_EQ(dlg->FileName(), dir + "/a.txt");

  Drive({[] { InjectKey(VK_ESCAPE); }});
  EXPECT_FALSE(dlg->Execute());
  EXPECT_EQ(dlg->FileName(), dir + "/a.txt") << "Cancel keeps the last name";
}

TEST_F(FileDialogTest, FoldersAndPatternsTypedIntoTheNameFieldNavigate) {
  TOpenDialog* dlg = new TOpenDialog(Application());
  dlg->SetInitialDir(dir);
  dlg->SetFilter("All files|*.*");
  std::vector<std::string> inSub, filtered;
  Drive({[] { InjectText("sub"); },
         [] { InjectKey(VK_RETURN); },
         [&] {
           inSub = Lines(Part<TListBox>(dlg, "FileList")->Items());
           InjectText("../*.dat");
         },
         [] { InjectKey(VK_RETURN); },
         [&] {
           filtered = Lines(Part<TListBox>(dlg, "FileList")->Items());
           InjectText("sub/inner.txt");
         },
         [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(dlg->Execute());
  EXPECT_EQ(inSub, std::vector<std::string>{"inner.txt"});
  EXPECT_EQ(filtered, std::vector<std::string>{"c.dat"});
  EXPECT_EQ(dlg->FileName(), dir + "/sub/inner.txt");
}

TEST_F(FileDialogTest, MissingFilesAndOverwritesAreAskedAbout) {
  TOpenDialog* open = new TOpenDialog(Application());
  open->SetInitialDir(dir);
  open->SetOptions({ofFileMustExist, ofHideReadOnly});
  // "nope.txt" is refused with a message box (answered with Enter); then "a.txt" is taken.
  Drive({[] { InjectText("nope.txt"); }, [] { InjectKey(VK_RETURN); }, [] { InjectKey(VK_RETURN); },
         [] { InjectText("a.txt"); }, [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(open->Execute());
  EXPECT_EQ(open->FileName(), dir + "/a.txt");

  TSaveDialog* save = new TSaveDialog(Application());
  save->SetInitialDir(dir);
  save->SetOptions({ofOverwritePrompt, ofHideReadOnly});
  std::string caption;
  Drive({[] { InjectText("a.txt"); },
         [] { InjectKey(VK_RETURN); },
         [&] {
           caption = Screen()->ActiveForm()->Caption();
           InjectKey('N');
         },
         [] { InjectText("new.txt"); }, [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(save->Execute());
  EXPECT_EQ(caption, "Save As");
  EXPECT_EQ(save->FileName(), dir + "/new.txt");
  EXPECT_FALSE(FileExists(save->FileName())) << "the dialog only chooses; it writes nothing";

  Drive({[] { InjectText("a.txt"); }, [] { InjectKey(VK_RETURN); }, [] { InjectKey('Y'); }});
  ASSERT_TRUE(save->Execute());
  EXPECT_EQ(save->FileName(), dir + "/a.txt");
}

TEST_F(FileDialogTest, CaptionsAreSettableAndMultiSelectGivesEveryFile) {
  TOpenDialog* dlg = new TOpenDialog(Application());
  dlg->SetInitialDir(dir);
  dlg->SetFilter("Text|*.txt");
  dlg->SetCaptionFileName("Dateiname:");
  dlg->SetCaptionOK("&\xd6" "ffnen");
  dlg->SetCaptionCancel("Abbrechen");
  dlg->SetOptions({ofAllowMultiSelect, ofHideReadOnly});
  std::string nameLabel, okCaption, cancelCaption;
  LONG editId = 0, okId = 0;
  Drive({[&] {
           editId = GetWindowLong(Part<TEdit>(dlg, "FileNameEdit")->Handle(), GWL_ID);
           okId = GetWindowLong(Part<TButton>(dlg, "OKButton")->Handle(), GWL_ID);
           nameLabel = Part<TLabel>(dlg, "FileNameLabel")->Caption();
           okCaption = Part<TButton>(dlg, "OKButton")->Caption();
           cancelCaption = Part<TButton>(dlg, "CancelButton")->Caption();
           auto* list = Part<TListBox>(dlg, "FileList");
           list->SetSelected(0, true);
           list->SetSelected(1, true);
           FireEvent(list->OnClick, list);
         },
         [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(dlg->Execute());
  EXPECT_EQ(nameLabel, "Dateiname:");
  EXPECT_EQ(editId, 0x480) << "the window system's identifiers of the open dialog";
  EXPECT_EQ(okId, 1);
  EXPECT_EQ(okCaption, "&\xd6" "ffnen");
  EXPECT_EQ(cancelCaption, "Abbrechen");
  EXPECT_EQ(Lines(dlg->Files()), (std::vector<std::string>{dir + "/a.txt", dir + "/B.TXT"}));
  EXPECT_EQ(dlg->FileName(), dir + "/a.txt");
}

}  // namespace
}  // namespace tw::test
