// The configuration saved to and loaded from real table files in a scratch folder.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "dbengine/base/serveroptions.h"
#include "dbengine/storage/faulty_file_routines.h"
#include "dbengine/storage/file_routines.h"
#include "dbengine/storage/table_check.h"
#include "dbengine/transport/systables/systemtablestore.h"

namespace tw::dbengine {
namespace {

namespace fs = std::filesystem;

class SystemTableFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tw_systables_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "data");
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(SystemTableFiles, ConfigurationSurvivesAShutdownAndStart) {
  TqnTableFileSystemStore store(dir.string());
  TqnServerConfiguration first;
  LoadInfoTable(first, store);
  LoadAliasTable(first, store);
  LoadUserTable(first, store);
  EXPECT_EQ(first.UserList().Count(), 0);
  AddDefaultUser(first, store);
  EXPECT_TRUE(fs::exists(dir / "QNSUser.QND"));
  first.AddAlias("Tidewell", (dir / "data").string());
  first.AddAlias("Other", dir.string());
  first.GeneralInfo().ServerName.Assign("Alpha");
  first.GeneralInfo().MaxRAMPages = 2000;
  first.GeneralInfo().Protocol = TqnProtocolKind::TCPIP;
  first.GeneralInfo().TCPPort = -5;
  SaveInfoTable(first, store);
  SaveAliasTable(first, store);

  TqnServerConfiguration next;
  LoadInfoTable(next, store);
  LoadAliasTable(next, store);
  LoadUserTable(next, store);
  EXPECT_EQ(next.GeneralInfo().ServerName.Str(), "Alpha");
  EXPECT_EQ(next.GeneralInfo().MaxRAMPages, 2000u);
  EXPECT_EQ(next.GeneralInfo().Protocol, TqnProtocolKind::TCPIP);
  EXPECT_EQ(next.GeneralInfo().TCPPort, -5);
  EXPECT_EQ(next.AliasList().Count(), 2);
  EXPECT_EQ(next.AliasList().GetPath("TIDEWELL"), (dir / "data").string());
  ASSERT_EQ(next.UserList().Count(), 1);
  EXPECT_EQ(next.UserList().Items(0)->LastName(), "Administrator");
  EXPECT_EQ(next.UserList().Items(0)->Rights(), 31);
  EXPECT_EQ(next.UserList().UserPwdHash(DefaultUserID()), QNDefaultUserPwdHash());

  TqnSysTable info;
  ASSERT_TRUE(store.ReadTable("qnsinfo", info)) << "names are found without regard to case";
  ASSERT_EQ(info.Fields.size(), 16u);
  EXPECT_EQ(info.Fields[6].Name, "Protocol");
  EXPECT_EQ(info.Fields[6].Units, 7);
}

TEST_F(SystemTableFiles, RewritingReplacesTheRows) {
  TqnTableFileSystemStore store(dir.string());
  TqnServerConfiguration c;
  c.AddAlias("A", dir.string());
  c.AddAlias("B", dir.string());
  SaveAliasTable(c, store);
  c.AliasList().Delete("A");
  SaveAliasTable(c, store);
  TqnSysTable t;
  ASSERT_TRUE(store.ReadTable("QNSALIAS", t));
  ASSERT_EQ(t.Rows.size(), 1u);
  EXPECT_EQ(std::get<std::string>(t.Rows[0][0]), "B");
}

TEST_F(SystemTableFiles, MissingAndDamagedTablesReadAsAbsent) {
  TqnTableFileSystemStore store(dir.string());
  TqnSysTable t;
  EXPECT_FALSE(store.ReadTable("QNSInfo", t));
  {
    std::ofstream f(dir / "QNSInfo.QND", std::ios::binary);
    f << "QNFH this is not a table";
  }
  EXPECT_FALSE(store.ReadTable("QNSInfo", t));
  TqnServerConfiguration c;
  c.GeneralInfo().MaxRAMPages = 777;
  LoadInfoTable(c, store);
  EXPECT_EQ(c.GeneralInfo().MaxRAMPages, 777u);
}

TEST_F(SystemTableFiles, FailedRewriteKeepsTheTableSavedBefore) {
  TqnTableFileSystemStore store(dir.string());
  TqnServerConfiguration c;
  c.AddAlias("Kept", dir.string());
  SaveAliasTable(c, store);
  c.AddAlias("New", dir.string());
  for (int n = 1; n <= 3; ++n) {
    // The disk fails at the nth write of the rewrite.
    TqnFaultyFileRoutines faulty;
    TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
    faulty.Arm(TqnFaultyFileRoutines::TFault::FailWrite, n);
    TqnSysTable t;
    t.Fields = QNSysAliasFields();
    t.Rows.push_back({std::string("New"), dir.string()});
    const bool written = store.WriteTable("QNSALIAS", t, false);
    QNInstallFileAccessTable(previous);
    EXPECT_FALSE(written);
    TqnServerConfiguration back;
    LoadAliasTable(back, store);
    ASSERT_EQ(back.AliasList().Count(), 1) << "write " << n;
    EXPECT_TRUE(back.AliasList().Exists("Kept"));
  }
  for (const auto& e : fs::directory_iterator(dir))
    EXPECT_EQ(e.path().filename().string().find("QNSALIAS_"), std::string::npos) << e.path();
}

TEST_F(SystemTableFiles, RewriteStoppedBeforeTheSwapIsReadFromTheNewCopy) {
  // What a stop between moving the old table aside and putting the new one in place leaves.
  TqnTableFileSystemStore store(dir.string());
  TqnSysTable t;
  t.Fields = QNSysAliasFields();
  t.Rows.push_back({std::string("Before"), dir.string()});
  ASSERT_TRUE(store.WriteTable("QNSALIAS_old", t, false));
  t.Rows[0][0] = std::string("After");
  ASSERT_TRUE(store.WriteTable("QNSALIAS_new", t, false));
  TqnServerConfiguration c;
  LoadAliasTable(c, store);
  ASSERT_EQ(c.AliasList().Count(), 1);
  EXPECT_TRUE(c.AliasList().Exists("After"));
  // The next save puts things in order again.
  SaveAliasTable(c, store);
  EXPECT_TRUE(fs::exists(dir / "QNSALIAS.QND"));
  EXPECT_FALSE(fs::exists(dir / "QNSALIAS_new.QND"));
  EXPECT_FALSE(fs::exists(dir / "QNSALIAS_old.QND"));
}

// The program's folder is renamed while a rewrite makes its new copy: the rewrite goes on in
// the folder it opened, which then holds the new table alone, and nothing is made at the old
// path.
TEST_F(SystemTableFiles, ARewriteKeepsToItsFolderWhenTheFolderIsRenamed) {
  const fs::path folder = dir / "prog", moved = dir / "moved";
  fs::create_directories(folder);
  TqnTableFileSystemStore store(folder.string());
  TqnSysTable t;
  t.Fields = QNSysAliasFields();
  t.Rows.push_back({std::string("Before"), dir.string()});
  ASSERT_TRUE(store.WriteTable("QNSALIAS", t, false));
  t.Rows[0][0] = std::string("After");
  TqnFaultyFileRoutines faulty;
  TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
  bool renamed = false;
  faulty.BeforeName([&](const std::string& Name) {
    if (!renamed && Name.find("QNSALIAS_new.QND") != std::string::npos) {
      renamed = true;
      fs::rename(folder, moved);
    }
  });
  const bool written = store.WriteTable("QNSALIAS", t, false);
  QNInstallFileAccessTable(previous);
  ASSERT_TRUE(renamed);
  EXPECT_TRUE(written);
  EXPECT_FALSE(fs::exists(folder));
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(moved)) files.push_back(e.path().filename().string());
  EXPECT_EQ(files, std::vector<std::string>{"QNSALIAS.QND"});
  TqnTableFileSystemStore there(moved.string());
  TqnServerConfiguration back;
  LoadAliasTable(back, there);
  EXPECT_TRUE(back.AliasList().Exists("After"));
}

TEST_F(SystemTableFiles, FolderThatCannotBeWrittenFailsCleanly) {
  TqnTableFileSystemStore store((dir / "no" / "such" / "folder").string());
  TqnSysTable t;
  t.Fields = QNSysAliasFields();
  t.Rows.push_back({std::string("X"), std::string("/tmp")});
  EXPECT_FALSE(store.WriteTable("QNSALIAS", t, false));
}

// The system-table save is all or nothing across a crash: a child process ends in the middle
// of each write, rename or delete of the rewrite in turn; the table then reads back whole,
// with the rows saved before or the new ones, and the table checker finds it sound.
TEST_F(SystemTableFiles, ARewriteEndedAtAnyWriteLeavesTheOldOrTheNewTable) {
  auto rows = [&](const std::vector<std::string>& Names) {
    TqnSysTable t;
    t.Fields = QNSysAliasFields();
    for (const std::string& n : Names) t.Rows.push_back({n, dir.string()});
    return t;
  };
  auto names = [&](TqnTableFileSystemStore& Store) {
    TqnSysTable t;
    std::string out = "absent";
    if (Store.ReadTable("QNSALIAS", t)) {
      out.clear();
      for (const auto& r : t.Rows) out += std::get<std::string>(r[0]) + ",";
    }
    return out;
  };
  const std::string folder = (dir / "sweep").string();
  int tried = 0, damaged = 0;
  for (int n = 1; n < 200; ++n) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    TqnTableFileSystemStore store(folder);
    ASSERT_TRUE(store.WriteTable("QNSALIAS", rows({"Old1", "Old2"}), false));
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      TqnFaultyFileRoutines faulty;
      QNInstallFileAccessTable(&faulty);
      faulty.Arm(TqnFaultyFileRoutines::TFault::Exit, n);
      store.WriteTable("QNSALIAS", rows({"New1", "New2", "New3"}), false);
      _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ++tried;
    const std::string got = names(store);
    const auto faults = QNCheckTableFile(folder + "/QNSALIAS.QND");
    if ((got != "Old1,Old2," && got != "New1,New2,New3,") || !faults.empty()) {
      ++damaged;
      ADD_FAILURE() << "crash at write " << n << ": " << got << " " << (faults.empty() ? "" : faults.front());
    }
    if (WEXITSTATUS(status) == 3) {
      EXPECT_EQ(got, "New1,New2,New3,");
      break;
    }
  }
  std::printf("system-table save: crash points tried: %d, damaged: %d\n", tried, damaged);
  EXPECT_GT(tried, 5);
  EXPECT_EQ(damaged, 0);
}

}  // namespace
}  // namespace tw::dbengine
