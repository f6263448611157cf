// Message boxes, the input box and the help calls, driven by injected keys on the offscreen
// display.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/forms/dialogs/inputbox.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/tests/forms_test_util.h"
#include "platform/rtl/files.h"
#include "platform/rtl/uilanguage.h"
#include "platform/sys/help.h"

namespace tw::test {
namespace {

// The texts of the enabled child windows of a window, in z-order.
std::vector<std::string> ChildTexts(HWND parent) {
  std::vector<std::string> texts;
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM lp) {
        if (IsWindowEnabled(child)) reinterpret_cast<std::vector<std::string>*>(lp)->push_back(GetWindowTextString(child));
        return true;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

bool Has(const std::vector<std::string>& v, const std::string& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

class DialogsTest : public FormsTest {
 protected:
  void TearDown() override {
    ResetMsgDlgTexts();
    SetOnHelp(nullptr);
    FormsTest::TearDown();
  }
  // Runs `steps` one per idle moment of the box's loop; a box still open afterwards fails the test
  // and is closed.
  static void Drive(std::vector<std::function<void()>> steps) {
    DriveIdle(std::move(steps), [] {
      ADD_FAILURE() << "the dialog did not end";
      if (TCustomForm* f = Screen()->ActiveForm()) f->SetModalResult(mrAbort);
    });
  }
};

// --- results by key

// The active box's client width, and the width of Title in the bold 10-point face a window
// manager draws titles in.
void MeasureActiveBox(const std::string& Title, int& Width, int& TitleWidth) {
  TCustomForm* box = Screen()->ActiveForm();
  ASSERT_NE(box, nullptr);
  Width = box->ClientWidth();
  TFont bold;
  bold.Assign(box->Font());
  bold.SetStyle({TFontStyle::fsBold});
  bold.SetSize(10);
  TitleWidth = FontTextWidth(bold.Request(), Title);
}

TEST_F(DialogsTest, MessageDlgAnswersTheButtonChosenByKey) {
  Drive({[] { InjectKey('N'); }});
  EXPECT_EQ(MessageDlg("Save changes?", mtConfirmation, {mbYes, mbNo}, 0), mrNo) << "N is the accelerator of &No";
  Drive({[] { InjectKey(VK_RETURN); }});
  EXPECT_EQ(MessageDlg("Save changes?", mtConfirmation, {mbYes, mbNo}, 0), mrYes) << "Yes is the default";
  Drive({[] { InjectKey(VK_ESCAPE); }});
  EXPECT_EQ(MessageDlg("Save changes?", mtConfirmation, mbYesNoCancel, 0), mrCancel);
  Drive({[] { InjectKey(VK_ESCAPE); }});
  EXPECT_EQ(MessageDlg("Delete?", mtWarning, {mbYes, mbNo}, 0), mrNo) << "Esc without Cancel answers No";
  Drive({[] { InjectKey('A'); }});
  EXPECT_EQ(MessageDlg("Replace?", mtConfirmation, {mbYes, mbNo, mbAll}, 0), mrAll);
  Drive({[] { InjectKey(VK_RETURN); }});
  EXPECT_EQ(MessageDlg("Nothing to choose", mtInformation, {}, 0), mrOk) << "a box without buttons gets OK";
}

TEST_F(DialogsTest, MessageBoxFlagsChooseButtonsDefaultAndEscape) {
  Drive({[] { InjectKey(VK_ESCAPE); }});
  EXPECT_EQ(MessageBox("Done.", "Title", MB_OK), IDOK);
  Drive({[] { InjectKey(VK_RETURN); }});
  EXPECT_EQ(MessageBox("Really?", "Title", MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION), IDNO);
  Drive({[] { InjectKey(VK_ESCAPE); }});
  EXPECT_EQ(MessageBox("Disk full", "Title", MB_RETRYCANCEL | MB_ICONHAND), IDCANCEL);
  Drive({[] { InjectKey('R'); }});
  EXPECT_EQ(MessageBox("Disk full", "Title", MB_ABORTRETRYIGNORE), IDRETRY);

  // Yes/No has no escape: Esc and closing the box are refused, the box stays.
  bool stillOpen = false;
  Drive({[] { InjectKey(VK_ESCAPE); },
         [&] {
           TCustomForm* box = Screen()->ActiveForm();
           ASSERT_NE(box, nullptr);
           PostMessage(box->Handle(), WM_CLOSE, 0, 0);
         },
         [&] {
           stillOpen = Screen()->ActiveForm() != nullptr && Screen()->ActiveForm()->Visible();
           InjectKey('Y');
         }});
  EXPECT_EQ(MessageBox("Really?", "Title", MB_YESNO), IDYES);
  EXPECT_TRUE(stillOpen);
}

TEST_F(DialogsTest, TheApplicationsMessageBoxShowsARealBoxOnceInstalled) {
  InstallDialogs();
  std::string caption;
  std::vector<std::string> buttons;
  Drive({[&] {
    TCustomForm* box = Screen()->ActiveForm();
    ASSERT_NE(box, nullptr);
    caption = box->Caption();
    buttons = ChildTexts(box->Handle());
    InjectKey(VK_RETURN);
  }});
  Application()->SetTitle("Tidewell");
  Application()->ShowException(Exception("Disk is full"));
  EXPECT_EQ(caption, "Tidewell");
  EXPECT_TRUE(Has(buttons, "OK"));
  EXPECT_TRUE(boxes.empty()) << "the recording routine of the fixture was replaced";

  // A short text under a long title: the box is wide enough for the title, in a bold caption
  // font, beside the window manager's icon and buttons.
  const std::string title = "Corvane - Tidewell: a long title";
  int width = 0, titleWidth = 0;
  Drive({[&] {
    MeasureActiveBox(title, width, titleWidth);
    InjectKey(VK_RETURN);
  }});
  Application()->MessageBox("OK?", title, MB_OK);
  EXPECT_GT(titleWidth, 100);
  EXPECT_GE(width, titleWidth + 120);
}

// --- texts and hooks

TEST_F(DialogsTest, TranslatedButtonCaptionsAndTitlesAreUsed) {
  SetMsgDlgButtonCaption(mbYes, "&Ja");
  SetMsgDlgButtonCaption(mbNo, "&Nein");
  SetMsgDlgTitle(mtConfirmation, "Best\xe4tigen");
  std::string caption;
  std::vector<std::string> buttons;
  Drive({[&] {
    TCustomForm* box = Screen()->ActiveForm();
    ASSERT_NE(box, nullptr);
    caption = box->Caption();
    buttons = ChildTexts(box->Handle());
    InjectKey('J');
  }});
  EXPECT_EQ(MessageDlg("Speichern?", mtConfirmation, {mbYes, mbNo}, 0), mrYes) << "the new accelerator works";
  EXPECT_EQ(caption, "Best\xe4tigen");
  EXPECT_TRUE(Has(buttons, "&Ja"));
  EXPECT_TRUE(Has(buttons, "&Nein"));
  EXPECT_EQ(MsgDlgTitle(mtCustom), Application()->Title());
  ResetMsgDlgTexts();
  EXPECT_EQ(MsgDlgButtonCaption(mbYes), "&Yes");
  EXPECT_EQ(MsgDlgTitle(mtConfirmation), "Confirm");
}

// What a component that subclasses its form does to retitle a box: the form sees the box in the
// lParam of its deactivation, the box's buttons are child windows with texts to read and set.
TEST_F(DialogsTest, ASubclassedOwnerFindsTheBoxAndRetitlesItsButtons) {
  TForm* owner = NewForm();
  owner->Show();
  Pump();
  ASSERT_EQ(GetActiveWindow(), owner->Handle());
  struct State {
    WNDPROC ownerPrev = nullptr;
    WNDPROC boxPrev = nullptr;
    HWND box = 0;
    WNDPROC ownerInst = nullptr;
    WNDPROC boxInst = nullptr;
  };
  auto st = std::make_shared<State>();
  st->boxInst = MakeObjectInstance([st](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    const LRESULT r = CallWindowProc(st->boxPrev, hwnd, msg, w, l);
    if (msg == WM_ACTIVATE) {
      SetWindowText(hwnd, "Frage");
      EnumChildWindows(
          hwnd,
          [](HWND child, LPARAM) {
            std::string text = GetWindowTextString(child);
            std::erase(text, '&');
            if (IsWindowEnabled(child) && text == "Yes") SetWindowText(child, "&Ja");
            if (IsWindowEnabled(child) && text == "No") SetWindowText(child, "&Nein");
            return true;
          },
          0);
    }
    if (msg == WM_DESTROY) SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(st->boxPrev));
    return r;
  });
  st->ownerInst = MakeObjectInstance([st](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    const LRESULT r = CallWindowProc(st->ownerPrev, hwnd, msg, w, l);
    if (msg == WM_ACTIVATE && LOWORD(w) == WA_INACTIVE && st->box == 0 && l != 0) {
      st->box = static_cast<HWND>(l);
      st->boxPrev = reinterpret_cast<WNDPROC>(
          SetWindowLongPtr(st->box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(st->boxInst)));
    }
    return r;
  });
  st->ownerPrev = reinterpret_cast<WNDPROC>(
      SetWindowLongPtr(owner->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(st->ownerInst)));

  std::string caption;
  std::vector<std::string> buttons;
  Drive({[&] {
    TCustomForm* box = Screen()->ActiveForm();
    ASSERT_NE(box, nullptr);
    caption = box->Caption();
    buttons = ChildTexts(box->Handle());
    InjectKey('N');
  }});
  EXPECT_EQ(MessageBox("Delete it?", "Question", MB_YESNO), IDNO);
  EXPECT_NE(st->box, 0u) << "the owner saw the box become active";
  EXPECT_EQ(caption, "Frage");
  EXPECT_TRUE(Has(buttons, "&Ja"));
  EXPECT_TRUE(Has(buttons, "&Nein"));
  SetWindowLongPtr(owner->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(st->ownerPrev));
  FreeObjectInstance(st->ownerInst);
  FreeObjectInstance(st->boxInst);
}

TEST_F(DialogsTest, MessageBoxHooksSeeEveryBoxBeforeItShows) {
  int seen = 0;
  const int id = AddMessageBoxHook([&](TCustomForm* box) {
    ++seen;
    box->SetCaption("Hooked");
  });
  std::string caption;
  Drive({[&] {
    caption = Screen()->ActiveForm()->Caption();
    InjectKey(VK_RETURN);
  }});
  ShowMessage("Hello");
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(caption, "Hooked");
  RemoveMessageBoxHook(id);
  Drive({[] { InjectKey(VK_RETURN); }});
  ShowMessage("Again");
  EXPECT_EQ(seen, 1);
}

// --- input box

TEST_F(DialogsTest, InputBoxGivesTheTypedTextOrTheDefault) {
  Drive({[] { InjectText("Monday"); }, [] { InjectKey(VK_RETURN); }});
  EXPECT_EQ(InputBox("Add a new language", "Language name:", "English"), "Monday")
      << "the default is selected, so typing replaces it";
  Drive({[] { InjectText("xyz"); }, [] { InjectKey(VK_ESCAPE); }});
  EXPECT_EQ(InputBox("Add a new language", "Language name:", "English"), "English");
  std::string value = "keep";
  Drive({[] { InjectKey(VK_END); InjectText("er"); }, [] { InjectKey(VK_RETURN); }});
  EXPECT_TRUE(InputQuery("Rename", "New name:", value));
  EXPECT_EQ(value, "keeper");
  Drive({[] { InjectKey(VK_ESCAPE); }});
  EXPECT_FALSE(InputQuery("Rename", "New name:", value));
  EXPECT_EQ(value, "keeper");

  // A short prompt under a long title (the language editor's German "Neue Sprache
  // hinzuf\xFCgen"): the box is wide enough for the title beside the window manager's icon and
  // buttons, as a message box is.
  for (const std::string& title : {std::string("Neue Sprache hinzuf\xFCgen"), std::string("Rename language Deutsch")}) {
    int width = 0, titleWidth = 0;
    Drive({[&] {
      MeasureActiveBox(title, width, titleWidth);
      InjectKey(VK_ESCAPE);
    }});
    InputBox(title, "Name:", "");
    EXPECT_GE(width, titleWidth + 120) << title;
  }
}

// --- help

class HelpTest : public DialogsTest {
 protected:
  void SetUp() override {
    DialogsTest::SetUp();
    launcher = std::make_shared<RecordingHelpLauncher>();
    previous = ProgramHelp().SetLauncher(launcher);
    ProgramHelp().ClearLog();
    Application()->SetHelpFile("TW_ENG.hlp");
  }
  void TearDown() override {
    ProgramHelp().SetLauncher(previous);
    ProgramHelp().ClearLog();
    DialogsTest::TearDown();
  }
  // (file, command, data) of every call so far.
  static std::vector<std::string> Calls() {
    std::vector<std::string> out;
    for (const HelpLogEntry& e : ProgramHelp().Log())
      out.push_back(e.HelpFile + " " + std::to_string(e.Command) + " " + std::to_string(e.Data));
    return out;
  }
  std::shared_ptr<RecordingHelpLauncher> launcher;
  std::shared_ptr<HelpLauncher> previous;
};

TEST_F(HelpTest, F1ShowsTheFocusedControlsContextOrItsParents) {
  InstallHelpKey();
  TForm* form = NewForm();
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetTabStop(true);
  auto* inner = new TTestPanel(panel);
  inner->SetParent(panel);
  inner->SetTabStop(true);
  form->SetHelpContext(3);
  panel->SetHelpContext(20001);
  form->SetActiveControl(panel);
  form->Show();
  Pump();
  InjectKey(VK_F1);
  Pump();
  inner->SetFocus();
  Pump();
  InjectKey(VK_F1);
  Pump();
  panel->SetHelpContext(0);
  InjectKey(VK_F1);
  Pump();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"TW_ENG.hlp 1 20001", "TW_ENG.hlp 1 20001", "TW_ENG.hlp 1 3"}));

  // A form's own help file wins; no context at all calls nothing.
  form->SetHelpFile("LANGSWITCH.HLP");
  form->SetHelpContext(0);
  ProgramHelp().ClearLog();
  InjectKey(VK_F1);
  Pump();
  EXPECT_TRUE(Calls().empty());
  inner->SetHelpContext(210);
  InjectKey(VK_F1);
  Pump();
  EXPECT_EQ(Calls(), std::vector<std::string>{"LANGSWITCH.HLP 1 210"});
}

TEST_F(HelpTest, F1OfAMenuItemIsTheMenusAndHelpCallsCanBeIntercepted) {
  InstallHelpKey();
  TForm* form = NewForm();
  form->SetHelpContext(1);
  auto* menu = new TMainMenu(form);
  auto* help = new TMenuItem(form);
  help->SetCaption("&Help");
  help->SetShortCut(ShortCut(VK_F1, {}));
  int clicks = 0;
  help->OnClick = [&](TObject*) { ++clicks; };
  menu->Items()->Add(help);
  form->Show();
  Pump();
  InjectKey(VK_F1);
  Pump();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(Calls().empty());
  CloseMenus();

  // F1 in an open menu shows the selected item's help context.
  auto* contents = new TMenuItem(form);
  contents->SetCaption("&Contents");
  contents->SetHelpContext(22014);
  auto* file = new TMenuItem(form);
  file->SetCaption("&File");
  file->Add(contents);
  menu->Items()->Insert(0, file);
  OpenMenuBarItem(form, 0);
  Pump();
  ASSERT_TRUE(MenuActive());
  InjectKey(VK_F1);
  Pump();
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(Calls(), std::vector<std::string>{"TW_ENG.hlp 1 22014"});
  ProgramHelp().ClearLog();

  help->SetShortCut(0);
  int asked = 0;
  SetOnHelp([&](unsigned command, std::uint32_t data, bool& callHelp) {
    ++asked;
    callHelp = data != 1;
    return command == HELP_CONTEXT;
  });
  InjectKey(VK_F1);
  Pump();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(Calls().empty()) << "the handler kept the help service out";
  // A help file with no folder beside the program: the calls are made and logged, and fail.
  Application()->SetHelpFile("NOFOLDER.hlp");
  EXPECT_FALSE(HelpContextCall(22014));
  EXPECT_FALSE(HelpCommandCall(HELP_CONTENTS, 0));
  EXPECT_EQ(ProgramHelp().Log().back().Result.Failure, HelpFailure::HelpFolderMissing);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"NOFOLDER.hlp 1 22014", "NOFOLDER.hlp 3 0"}));
  Application()->SetHelpFile("");
  SetOnHelp(nullptr);
  boxes.clear();
  EXPECT_FALSE(HelpContextCall(4)) << "no help file, no page";
  EXPECT_EQ(boxes.size(), 1u) << "and the user is told";
}

TEST_F(HelpTest, HelpThatNothingCanOpenIsReportedWithThePlaceOfItsPage) {
  // A program folder of this test's own with a help file.
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("tw_help_" + std::to_string(::getpid()));
  std::filesystem::create_directories(root / "help" / "TW_ENG");
  { std::ofstream(root / "help" / "TW_ENG" / "index.html") << "<html></html>"; }
  SetProgramFolder(root.string() + "/");
  launcher->FailWith(HelpFailure::LauncherMissing, "The program xdg-open that opens help pages is not installed");
  boxes.clear();
  EXPECT_FALSE(HelpContextCall(22014));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Help could not be shown"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("xdg-open"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find((root / "help" / "TW_ENG" / "index.html").string()), std::string::npos) << boxes[0];

  // The window is not held while the page's opener runs; a failure it shows after the call
  // has returned is still reported.
  InstallHelpKey();
  const std::filesystem::path flag = root / "end-now";
  { std::ofstream(root / "opener") << "#!/bin/sh\nwhile [ ! -e '" << flag.string() << "' ]; do sleep 0.02; done\nexit 3\n"; }
  std::filesystem::permissions(root / "opener", std::filesystem::perms::owner_all);
  ProgramHelp().SetLauncher(std::make_shared<ProcessHelpLauncher>("opener", root.string(), std::chrono::seconds(20)));
  boxes.clear();
  EXPECT_TRUE(HelpContextCall(22014)) << "the opener was started";
  Pump();
  EXPECT_TRUE(boxes.empty()) << "the opener is still at work";
  { std::ofstream(flag) << ""; }
  for (int i = 0; i < 2000 && boxes.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Pump();
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Help could not be shown"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("exit status 3"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find((root / "help" / "TW_ENG" / "index.html").string()), std::string::npos) << boxes[0];
  ProgramHelp().SetLauncher(launcher);

  // Help that is not there at all, or a page the map leads to that is missing, is told too,
  // with the place it was looked for; no help file set at all as well.
  Application()->SetHelpFile("NONE.hlp");
  boxes.clear();
  EXPECT_FALSE(HelpContextCall(1));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Help could not be shown: The help NONE.hlp is not installed (no folder " +
                          (root / "help" / "NONE").string() + ")"),
            std::string::npos)
      << boxes[0];
  Application()->SetHelpFile("TW_ENG.hlp");
  { std::ofstream(root / "help" / "TW_ENG" / "contexts.txt") << "4 company.html\n"; }
  boxes.clear();
  EXPECT_FALSE(HelpContextCall(4));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("The help page " + (root / "help" / "TW_ENG" / "company.html").string() + " does not exist"),
            std::string::npos)
      << boxes[0];
  std::filesystem::remove(root / "help" / "TW_ENG" / "index.html");
  boxes.clear();
  EXPECT_FALSE(HelpCommandCall(HELP_CONTENTS, 0));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("index.html does not exist"), std::string::npos) << boxes[0];
  // In German, all of it.
  SetUiLanguage(TUiLanguage::German);
  boxes.clear();
  EXPECT_FALSE(HelpContextCall(4));
  Application()->SetHelpFile("NONE.hlp");
  EXPECT_FALSE(HelpContextCall(4));
  Application()->SetHelpFile("");
  EXPECT_FALSE(HelpContextCall(4));
  SetUiLanguage(std::nullopt);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_NE(boxes[0].find("Die Hilfe konnte nicht angezeigt werden: Die Hilfeseite "), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("company.html gibt es nicht.\n\nDie Hilfedatei ist "), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[1].find("Die Hilfe NONE.hlp ist nicht installiert (kein Ordner "), std::string::npos) << boxes[1];
  EXPECT_NE(boxes[2].find("Es ist keine Hilfedatei eingestellt."), std::string::npos) << boxes[2];
  // Commands that show nothing (closing the help) tell nothing.
  boxes.clear();
  Application()->SetHelpFile("TW_ENG.hlp");
  EXPECT_TRUE(HelpCommandCall(HELP_QUIT, 0));
  EXPECT_TRUE(boxes.empty());
  SetProgramFolder("");
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
}

TEST_F(HelpTest, TheHelpButtonOfAMessageDialogShowsItsContextAndKeepsTheDialog) {
  Drive({[] {
           TCustomForm* box = Screen()->ActiveForm();
           ASSERT_NE(box, nullptr);
           InjectKey('H');
         },
         [] { InjectKey(VK_ESCAPE); }});
  EXPECT_EQ(MessageDlg("Something failed", mtError, {mbOK, mbHelp}, 260), mrOk);
  EXPECT_EQ(Calls(), std::vector<std::string>{"TW_ENG.hlp 1 260"});
}

}  // namespace
}  // namespace tw::test
