// File BLOBs name files of the database's own folder only: absolute paths elsewhere, ".." and
// links that lead out of the folder are refused when the BLOB is added, and a file that was
// swapped for such a link afterwards is not read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>

#include "dbengine/server/file_blob_path.h"
#include "dbengine/storage/faulty_file_routines.h"
#include "request_test_util.h"

namespace tw::dbengine::testing {
namespace {

namespace fs = std::filesystem;

class FileBlobs : public RequestFixture {
 protected:
  FileBlobs() {
    Standard();
    Write(folder.File("inside.txt"), "inside");
    outside = folder.Path() + "_outside.txt";
    Write(outside, "secret");
  }
  ~FileBlobs() override { fs::remove(outside); }
  static void Write(const std::string& Path, const std::string& Text) { std::ofstream(Path) << Text; }
  SentReply Add(const std::string& Name) {
    Payload p;
    p.U32(cursor).U8(static_cast<std::uint8_t>(Name.size()));
    p.Bytes(std::vector<std::uint8_t>(Name.begin(), Name.end()));
    return Send(qnmAddFileBLOB, p);
  }
  // The bytes a read of the whole BLOB gives, or "<code>" for a failure.
  std::string Read(std::uint32_t Nr) {
    const SentReply r = Send(qnmReadBLOB, Payload().U32(cursor).U32(Nr).U32(0).U32(100));
    if (r.Result != 0) return "<" + std::to_string(r.Result) + ">";
    return std::string(r.Data.begin() + 4, r.Data.end());
  }
  std::string outside;
};

TEST_F(FileBlobs, AFileOfTheFolderIsReadByNameAbsoluteOrThroughAnInnerLink) {
  fs::create_symlink(folder.File("inside.txt"), folder.File("inner-link.txt"));
  const std::vector<std::string> names = {"inside.txt", folder.File("inside.txt"), "inner-link.txt", "./inside.txt"};
  for (const std::string& name : names) {
    const SentReply r = Add(name);
    ASSERT_EQ(r.Result, 0) << name;
    EXPECT_EQ(Read(U32At(r.Data, 0)), "inside") << name;
  }
}

TEST_F(FileBlobs, NamesThatLeaveTheFolderAreRefused) {
  fs::create_symlink(outside, folder.File("link.txt"));
  fs::create_directories(folder.File("sub"));
  fs::create_symlink(fs::path(outside).parent_path(), folder.File("sub/up"));
  const std::string base = fs::path(outside).filename().string();
  const std::vector<std::string> names = {"/etc/passwd", outside, "../" + base, "sub/../inside.txt",
                                         "sub/../../" + base, "link.txt", "sub/up/" + base, "..\\" + base,
                                         "", "sub", "missing.txt"};
  for (const std::string& name : names) {
    const SentReply r = Add(name);
    EXPECT_NE(r.Result, 0) << name;
    EXPECT_TRUE(r.Data.empty()) << name;
  }
}

TEST_F(FileBlobs, AFileSwappedForALinkOutOfTheFolderIsNotRead) {
  const SentReply r = Add("inside.txt");
  ASSERT_EQ(r.Result, 0);
  const std::uint32_t nr = U32At(r.Data, 0);
  fs::remove(folder.File("inside.txt"));
  fs::create_symlink(outside, folder.File("inside.txt"));
  EXPECT_EQ(Read(nr), "<9992>");
  EXPECT_NE(Send(qnmGetBLOBLength, Payload().U32(cursor).U32(nr)).Result, 0);
}

// The engine's own files are never sources, whatever their case or however they are reached,
// and neither is a file with a second link (a hard link may stand for a file outside).
TEST_F(FileBlobs, TheEnginesOwnFilesAndFilesWithMoreLinksAreNoSources) {
  const std::vector<std::string> own = {"QNSUser.QND", "qnsinfo.qnd", "QNSALIAS.QND", "QNSIndex.QND",
                                        "QNSUser_new.QND", "QNSInfo_old.QND", "7.QN$", "Texts-2.qn$",
                                        "QNALIAS.SC$", "QNALIAS.QND", "QNSERVER.LOG", "server.opt"};
  for (const std::string& name : own) Write(folder.File(name), "engine");
  QNNoteEngineOwnFile(folder.File("server.opt"));
  fs::create_symlink(folder.File("QNSUser.QND"), folder.File("users.txt"));
  for (const std::string& name : own) {
    const SentReply r = Add(name);
    EXPECT_NE(r.Result, 0) << name;
    EXPECT_TRUE(r.Data.empty()) << name;
  }
  EXPECT_NE(Add("users.txt").Result, 0) << "a link to an engine file";
  EXPECT_NE(Add(folder.File("QNSUser.QND")).Result, 0);

  // A hard link inside the folder to a file outside it; and a file inside that gets a twin.
  fs::create_hard_link(outside, folder.File("hard.txt"));
  EXPECT_NE(Add("hard.txt").Result, 0);
  const SentReply r = Add("inside.txt");
  ASSERT_EQ(r.Result, 0);
  fs::create_hard_link(folder.File("inside.txt"), folder.File("twin.txt"));
  EXPECT_NE(Add("inside.txt").Result, 0);
  EXPECT_NE(Add("twin.txt").Result, 0);
  EXPECT_EQ(Read(U32At(r.Data, 0)), "<9992>") << "a file that gained a link is not read";
  fs::remove(folder.File("twin.txt"));
  EXPECT_EQ(Read(U32At(r.Data, 0)), "inside");
}

// An engine whose file routines a test can hook, client 1 with a database on Folder and a
// cursor on its table Notes.
struct HookedEngine {
  TqnFaultyFileRoutines routines;
  TqnFileRoutines* previous = QNInstallFileAccessTable(&routines);
  TqnServerEngine engine;
  std::uint32_t db = 0, cursor = 0;
  explicit HookedEngine(const std::string& Folder) {
    std::uint32_t hash = 0;
    EXPECT_EQ(engine.ClientAdd(1, "tester", "", hash), 0);
    EXPECT_EQ(engine.DatabaseOpenNoAlias(1, Folder, 1, 1, db), 0);
    TqnDataDictionary d(4096);
    TextsDictionary(d);
    EXPECT_EQ(engine.BuildTable(db, false, "Notes", d), 0);
    cursor = Open(db);
  }
  ~HookedEngine() { QNInstallFileAccessTable(previous); }
  std::uint32_t Open(std::uint32_t Database) {
    std::uint32_t c = 0;
    EXPECT_EQ(engine.OpenTable(Database, "Notes", "", 0, 1, 1, c, nullptr), 0);
    return c;
  }
  // The whole BLOB (and its length, when it differs), or "<code>" for a failure.
  std::string Read(std::uint32_t Nr) {
    std::uint8_t buf[64] = {};
    std::uint32_t got = 0, length = 0;
    if (const DBIResult r = engine.ReadBLOB(cursor, Nr, 0, sizeof buf, got, buf); r != 0)
      return "<" + std::to_string(r) + ">";
    const std::string text(reinterpret_cast<const char*>(buf), got);
    if (const DBIResult r = engine.GetBLOBLength(cursor, Nr, length); r != 0) return text + " <" + std::to_string(r) + ">";
    return length == got ? text : text + " length " + std::to_string(length);
  }
};

void Exchange(const std::string& A, const std::string& B) {
  ASSERT_EQ(::renameat2(AT_FDCWD, A.c_str(), AT_FDCWD, B.c_str(), RENAME_EXCHANGE), 0);
}

// Two folders exchange names just as a file BLOB's file is about to be reached: the BLOB reads
// and measures its own folder's file.
TEST(FileBlobFolders, TwoFoldersThatExchangeNamesReadEachItsOwnFile) {
  ScratchFolder base;
  const std::string a = base.File("a"), b = base.File("b");
  std::filesystem::create_directories(a);
  std::filesystem::create_directories(b);
  std::ofstream(a + "/note.txt") << "mine";
  std::ofstream(b + "/note.txt") << "the other one";
  HookedEngine e(a);
  std::uint32_t nr = 0;
  ASSERT_EQ(e.engine.AddFileBLOB(e.cursor, "note.txt", nr), 0);
  int exchanges = 0;
  e.routines.BeforeName([&](const std::string&) {
    Exchange(a, b);
    ++exchanges;
  });
  EXPECT_EQ(e.Read(nr), "mine");
  e.routines.BeforeName(nullptr);
  if (exchanges % 2 == 1) Exchange(a, b);
  EXPECT_GT(exchanges, 0);
}

// A file BLOB added through a database opened at the folder's new path, after the folder was
// renamed while in use, names the folder's file and is read.
TEST(FileBlobFolders, AFileIsAddedAndReadAfterItsFolderWasRenamed) {
  ScratchFolder base;
  const std::string a = base.File("a"), b = base.File("b");
  std::filesystem::create_directories(a);
  std::ofstream(a + "/note.txt") << "moved along";
  HookedEngine e(a);
  std::filesystem::rename(a, b);
  std::uint32_t moved = 0, byPath = 0, byName = 0;
  ASSERT_EQ(e.engine.DatabaseOpenNoAlias(1, b, 1, 1, moved), 0);
  e.cursor = e.Open(moved);
  ASSERT_EQ(e.engine.AddFileBLOB(e.cursor, b + "/note.txt", byPath), 0);
  ASSERT_EQ(e.engine.AddFileBLOB(e.cursor, "note.txt", byName), 0);
  EXPECT_EQ(e.Read(byPath), "moved along");
  EXPECT_EQ(e.Read(byName), "moved along");
  // A file moved out of the folder is no longer read.
  std::filesystem::rename(b + "/note.txt", base.File("note.txt"));
  EXPECT_EQ(e.Read(byName), "<9992>");
}

// A pack carries a stored record's file BLOB over: the new table's BLOB names the same file.
TEST(FileBlobFolders, APackCarriesAStoredFileBlobOver) {
  ScratchFolder base;
  const std::string a = base.File("a");
  std::filesystem::create_directories(a);
  std::ofstream(a + "/note.txt") << "kept";
  HookedEngine e(a);
  std::uint32_t nr = 0;
  ASSERT_EQ(e.engine.AddFileBLOB(e.cursor, a + "/note.txt", nr), 0);
  TqnDataDictionary d(4096);
  TextsDictionary(d);
  Record r(d);
  r.Str(0, "ENG").I16(1, 1).I16(2, 1).I16(3, 1).I32(4, static_cast<std::int32_t>(nr));
  ASSERT_EQ(e.engine.RecordInsert(e.cursor, 0, r.Data()), 0);
  ASSERT_EQ(e.engine.CursorClose(e.cursor), 0);
  std::int32_t id = -1;
  ASSERT_EQ(e.engine.PackTable(e.db, "Notes", id), 0);
  EXPECT_EQ(Finish(e.engine, id)[rsStatusCode], 0u);
  e.cursor = e.Open(e.db);
  ASSERT_EQ(e.engine.SetToBegin(e.cursor), 0);
  ASSERT_EQ(e.engine.RecordGetNext(e.cursor, 0, r.Data()), 0);
  EXPECT_EQ(e.Read(static_cast<std::uint32_t>(r.GetI32(4))), "kept");
}

}  // namespace
}  // namespace tw::dbengine::testing
