#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/sys/help.h"
#include "platform/sys/helpmap.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A program folder with the help folder of "TW_ENG.hlp", spelt in another case on disk.
class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tw_help_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    help_ = root_ / "help" / "Tw_Eng";
    WriteFile(help_ / "index.html", "<html>contents</html>");
    WriteFile(help_ / "company.html", "<html>company</html>");
    WriteFile(help_ / "bodies" / "sun.html", "<html>sun</html>");
    WriteFile(help_ / "contexts.txt",
              "# map\n"
              "4 company.html\n"
              "20000 bodies/sun.html#sun\r\n"
              "21000 missing.html\n"
              "keyword Transits of the Moon company.html#moon\n"
              "keyword Sun bodies/sun.html\n");
    recorder_ = std::make_shared<RecordingHelpLauncher>();
    system_ = std::make_unique<HelpSystem>(root_.string(), recorder_);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Url(const std::string& page, const std::string& anchor) const {
    return FileUrl((help_ / page).string(), anchor);
  }

  fs::path root_;
  fs::path help_;
  std::shared_ptr<RecordingHelpLauncher> recorder_;
  std::unique_ptr<HelpSystem> system_;
};

TEST_F(HelpTest, ContextsOpenTheirMappedPageOrTheContentsAnchor) {
  HelpResult mapped = system_->WinHelp("TW_ENG.hlp", HELP_CONTEXT, 20000);
  EXPECT_TRUE(mapped.Succeeded);
  EXPECT_EQ(mapped.Anchor, "sun");
  HelpResult unmapped = system_->WinHelp("TW_ENG.hlp", HELP_CONTEXT, 22014);
  EXPECT_TRUE(unmapped.Succeeded);
  HelpResult popup = system_->WinHelp("TW_ENG.hlp", HELP_CONTEXTPOPUP, 4);
  EXPECT_TRUE(popup.Succeeded);
  EXPECT_EQ(recorder_->Urls(), (std::vector<std::string>{Url("bodies/sun.html", "sun"),
                                                         Url("index.html", "context-22014"),
                                                         Url("company.html", "")}));

  const auto log = system_->Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].HelpFile, "TW_ENG.hlp");
  EXPECT_EQ(log[0].Command, 1u);
  EXPECT_EQ(log[0].Data, 20000u);
  EXPECT_EQ(log[1].Result.Url, Url("index.html", "context-22014"));
  EXPECT_EQ(log[2].Command, 8u);
}

TEST_F(HelpTest, HelpFileNamesAreFoundInAnyCaseAndAMissingOneFails) {
  EXPECT_TRUE(system_->WinHelp("tw_eng.HLP", HELP_CONTEXT, 1).Succeeded);
  EXPECT_TRUE(system_->WinHelp("TW_ENG", HELP_CONTENTS, 0).Succeeded);
  EXPECT_EQ(system_->HelpFolder("TW_ENG.HLP"), help_.string() + "/");
  // A name with a folder: its help folder is in that folder.
  WriteFile(root_ / "other" / "help" / "Extra" / "index.html", "x");
  EXPECT_EQ(system_->HelpFolder("other\\EXTRA.HLP"), (root_ / "other/help/Extra/").string());
  EXPECT_EQ(system_->HelpFolder((root_ / "other" / "extra.hlp").string()), (root_ / "other/help/Extra/").string());

  HelpResult missing = system_->WinHelp("TW_DEU.HLP", HELP_CONTEXT, 1);
  EXPECT_FALSE(missing.Succeeded);
  EXPECT_EQ(missing.Failure, HelpFailure::HelpFolderMissing);
  EXPECT_NE(missing.Error.find("TW_DEU.HLP"), std::string::npos);
  HelpResult none = system_->WinHelp("", HELP_CONTEXT, 1);
  EXPECT_EQ(none.Failure, HelpFailure::NoHelpFile);
  EXPECT_EQ(recorder_->Urls().size(), 2u);
  EXPECT_EQ(system_->Log().size(), 4u);  // failed calls are logged too
}

TEST_F(HelpTest, ContentsCommandsAndTheContentsTopic) {
  for (unsigned command : {HELP_CONTENTS, HELP_FINDER, HELP_FORCEFILE})
    EXPECT_TRUE(system_->WinHelp("TW_ENG.hlp", command, 0).Succeeded);
  EXPECT_TRUE(system_->WinHelp("TW_ENG.hlp", HELP_SETCONTENTS, 4).Succeeded);
  EXPECT_TRUE(system_->WinHelp("TW_ENG.HLP", HELP_CONTENTS, 0).Succeeded);
  EXPECT_EQ(recorder_->Urls(), (std::vector<std::string>{Url("index.html", ""), Url("index.html", ""),
                                                         Url("index.html", ""), Url("company.html", "")}));
}

TEST_F(HelpTest, KeywordsMatchWholeOrByTheirStartIgnoringCase) {
  EXPECT_EQ(system_->WinHelpKey("TW_ENG.hlp", "transits of the moon").Anchor, "moon");
  EXPECT_EQ(system_->WinHelpKey("TW_ENG.hlp", "Transits of").Page, (help_ / "index.html").string());
  EXPECT_EQ(system_->WinHelpKey("TW_ENG.hlp", "Transits of", true).Anchor, "moon");
  EXPECT_EQ(system_->WinHelpKey("TW_ENG.hlp", "su", true).Page, (help_ / "bodies/sun.html").string());
  const auto log = system_->Log();
  EXPECT_EQ(log[0].Command, HELP_KEY);
  EXPECT_EQ(log[0].Keyword, "transits of the moon");
  EXPECT_EQ(log[2].Command, HELP_PARTIALKEY);
}

TEST_F(HelpTest, QuitAndPlacementSucceedWithoutOpeningAndOthersAreRefused) {
  EXPECT_TRUE(system_->WinHelp("TW_ENG.hlp", HELP_QUIT, 0).Succeeded);
  EXPECT_TRUE(system_->WinHelp("", HELP_QUIT, 0).Succeeded);
  EXPECT_TRUE(system_->WinHelp("TW_ENG.hlp", HELP_SETWINPOS, 0).Succeeded);
  for (unsigned command : {HELP_COMMAND, HELP_MULTIKEY, HELP_WM_HELP, HELP_HELPONHELP, 0x7777u}) {
    HelpResult r = system_->WinHelp("TW_ENG.hlp", command, 0);
    EXPECT_EQ(r.Failure, HelpFailure::UnsupportedCommand) << command;
  }
  EXPECT_TRUE(recorder_->Urls().empty());
}

TEST_F(HelpTest, MissingPagesAndLauncherFailuresAreReportedNotHidden) {
  HelpResult missing = system_->WinHelp("TW_ENG.hlp", HELP_CONTEXT, 21000);
  EXPECT_EQ(missing.Failure, HelpFailure::PageMissing);
  fs::remove(help_ / "index.html");
  EXPECT_EQ(system_->WinHelp("TW_ENG.hlp", HELP_CONTEXT, 5).Failure, HelpFailure::PageMissing);
  EXPECT_TRUE(recorder_->Urls().empty());

  recorder_->FailWith(HelpFailure::LaunchFailed, "no browser");
  HelpResult failed = system_->WinHelp("TW_ENG.hlp", HELP_CONTEXT, 4);
  EXPECT_FALSE(failed.Succeeded);
  EXPECT_EQ(failed.Failure, HelpFailure::LaunchFailed);
  EXPECT_EQ(failed.Error, "no browser");
}

TEST_F(HelpTest, ABrokenMapKeepsItsGoodLinesAndIsLogged) {
  WriteFile(help_ / "contexts.txt", "4 ../../../etc/passwd\n4 company.html\nnonsense\n");
  HelpResult r = system_->WinHelp("TW_ENG.hlp", HELP_CONTEXT, 4);
  EXPECT_TRUE(r.Succeeded);
  EXPECT_EQ(r.Page, (help_ / "company.html").string());
  const auto log = system_->Log();
  ASSERT_EQ(log.size(), 1u);
  ASSERT_EQ(log[0].MapErrors.size(), 2u);
  EXPECT_EQ(log[0].MapErrors[0].rfind("line 1:", 0), 0u);
  EXPECT_EQ(log[0].MapErrors[1].rfind("line 3:", 0), 0u);
}

TEST_F(HelpTest, TheProcessLauncherReportsAMissingOpener) {
  system_->SetLauncher(std::make_shared<ProcessHelpLauncher>("tidewell-no-such-opener", root_.string()));
  HelpResult r = system_->WinHelp("TW_ENG.hlp", HELP_CONTEXT, 4);
  EXPECT_FALSE(r.Succeeded);
  EXPECT_EQ(r.Failure, HelpFailure::LauncherMissing);
  EXPECT_NE(r.Error.find("tidewell-no-such-opener"), std::string::npos);
}

TEST_F(HelpTest, TheProcessLauncherPassesTheUrlAsOneArgumentWithoutAShell) {
  const fs::path bin = root_ / "bin";
  const fs::path out = root_ / "args.txt";
  WriteFile(bin / "opener", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '" + out.string() + "'\nexit 0\n");
  WriteFile(bin / "failing", "#!/bin/sh\nexit 3\n");
  fs::permissions(bin / "opener", fs::perms::owner_all);
  fs::permissions(bin / "failing", fs::perms::owner_all);

  HelpFailure failure = HelpFailure::None;
  std::string error;
  const std::string url = "file:///x y/$(touch z);a.html#k";
  ProcessHelpLauncher opener("opener", bin.string(), std::chrono::milliseconds(-1));
  ASSERT_TRUE(opener.Open(url, failure, error)) << error;
  std::ifstream in(out);
  std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(seen, "1|" + url + "|");

  // An opener that fails at once (xdg-open with no browser installed) is reported with the
  // launcher's default patience.
  ProcessHelpLauncher failing("failing", bin.string());
  EXPECT_FALSE(failing.Open(url, failure, error));
  EXPECT_EQ(failure, HelpFailure::LaunchFailed);
  EXPECT_NE(error.find("found no program that shows web pages (exit status 3)"), std::string::npos) << error;
}

TEST_F(HelpTest, AnOpenerThatKeepsRunningHasStartedTheBrowser) {
  const fs::path bin = root_ / "bin";
  WriteFile(bin / "browser", "#!/bin/sh\nexec sleep 5\n");
  fs::permissions(bin / "browser", fs::perms::owner_all);
  HelpFailure failure = HelpFailure::None;
  std::string error;
  ProcessHelpLauncher keeping("browser", bin.string(), std::chrono::milliseconds(50));
  EXPECT_TRUE(keeping.Open("file:///x.html", failure, error)) << error;
  EXPECT_EQ(failure, HelpFailure::None);
}

TEST(HelpUrl, FileNamesAndAnchorsArePercentEncoded) {
  EXPECT_EQ(FileUrl("/opt/tide well/help/a#b.html", "context-7"),
            "file:///opt/tide%20well/help/a%23b.html#context-7");
  EXPECT_EQ(FileUrl("/x/\xE4.html", "a/b c"), "file:///x/%E4.html#a%2Fb%20c");
  EXPECT_EQ(FileUrl("/x/i.html", ""), "file:///x/i.html");
}

TEST(HelpMapReader, ReadsContextsAndKeywords) {
  const HelpMap map = ParseHelpMap(
      "; comment\n\n  1\tindex.html\r\n4294967295 last.html#end\nkeyword  Two  words\t p\\q.html#a\n");
  EXPECT_TRUE(map.Errors.empty());
  ASSERT_NE(map.FindContext(1), nullptr);
  EXPECT_EQ(map.FindContext(1)->Page, "index.html");
  EXPECT_EQ(map.FindContext(4294967295u)->Anchor, "end");
  ASSERT_NE(map.FindKeyword("TWO  WORDS", false), nullptr);
  EXPECT_EQ(map.FindKeyword("two  words", false)->Page, "p/q.html");
  EXPECT_EQ(map.FindKeyword("", true), nullptr);
}

TEST(HelpMapReader, RefusesPagesOutsideTheFolderAndBadNumbers) {
  const HelpMap map = ParseHelpMap(
      "1 ../x.html\n2 /etc/passwd\n3 http://host/x\n4 a//b.html\n5 ./a.html\n6 #anchor\n"
      "4294967296 a.html\n-1 a.html\n7 a.html extra.html\nkeyword a.html\n8 ok.html\n8 second.html\n");
  EXPECT_EQ(map.Contexts.size(), 1u);
  EXPECT_EQ(map.FindContext(8)->Page, "ok.html");
  EXPECT_EQ(map.Errors.size(), 11u);
  EXPECT_TRUE(map.Keywords.empty());
}

TEST(HelpMapReader, RefusesAnOversizedMapWhole) {
  const HelpMap map = ParseHelpMap(std::string(MaxHelpMapSize + 1, '\n'));
  EXPECT_TRUE(map.Contexts.empty());
  EXPECT_EQ(map.Errors.size(), 1u);
}

}  // namespace
}  // namespace tw
