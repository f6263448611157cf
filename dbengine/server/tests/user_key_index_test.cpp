// Indexes whose keys come from a library of user key routines: loading the routines when a
// table opens, keys built and ordered by them through every record and cursor operation, and
// the rebuilds that must carry the routines over to a temporary table.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbengine/server/server_engine.h"
#include "server_test_util.h"

namespace tw::dbengine::testing {
namespace {

// Fields: 0 Code (32-bit), 1 Name (20 characters).  Index 1 "ByCode" is keyed by the test
// library: codes from the largest to the smallest, negative codes refused.  Index 2 "ByName".
void CodesDictionary(TqnDataDictionary& D) {
  D.AddField("Code", "", qftInt32, 0, 0, false);
  D.AddField("Name", "", qftShortString, 20, 0, false);
  D.AddUserIndex("ByCode", "", 0, 4, false, true, false);
  D.AddIndex("ByName", "", 0, {1}, true, true, false);
}

const DBIResult kRoutinesMissing = QNResultOfErrorCode(qnerrUserRoutinesMissing);

class UserKeys : public EngineFixture {
 protected:
  UserKeys() { Build("Codes", CodesDictionary); }
  void Configure(const std::string& Table = "Codes", const std::string& Compare = "TestCompareKey") {
    engine->Configuration().AddKeyProc(folder.Path(), Table, 1, TW_TEST_KEY_ROUTINES, "TestBuildKey", Compare);
  }
  DBIResult Insert(std::uint32_t C, std::int32_t Code, const std::string& Name) {
    Record r(Dict(C));
    r.I32(0, Code).Str(1, Name);
    return engine->RecordInsert(C, 0, r.Data());
  }
  std::vector<std::int32_t> Walk(std::uint32_t C) {
    std::vector<std::int32_t> codes;
    Record r(Dict(C));
    EXPECT_EQ(engine->SetToBegin(C), 0);
    while (engine->RecordGetNext(C, 0, r.Data()) == 0) codes.push_back(r.GetI32(0));
    return codes;
  }
  std::vector<std::int32_t> Descending(std::initializer_list<std::int32_t> L) { return L; }
};

TEST_F(UserKeys, ATableNeedsItsRoutinesToOpen) {
  std::uint32_t c = 0;
  EXPECT_EQ(engine->OpenTable(db, "Codes", "", 0, 1, 1, c, nullptr), kRoutinesMissing) << "no configuration entry";
  Configure("Codes", "NoSuchRoutine");
  EXPECT_EQ(engine->OpenTable(db, "Codes", "", 0, 1, 1, c, nullptr), kRoutinesMissing) << "a routine is missing";
  EXPECT_EQ(engine->TableCount(), 0) << "a failed open leaves no table behind";
  EXPECT_EQ(c, 0u);
  engine->Configuration().KeyProcList().Delete(folder.Path(), "Codes", 1);
  // The entry names the folder as the system table may spell it: trailing separator, other case.
  engine->Configuration().AddKeyProc(folder.Path() + "/", "CODES", 1, TW_TEST_KEY_ROUTINES, "TestBuildKey",
                                     "TestCompareKey");
  EXPECT_EQ(engine->OpenTable(db, "Codes", "ByCode", 0, 1, 1, c, nullptr), 0);
}

// The entry is found by the directory its folder names: one registered through a link serves
// the table opened through the real path and the other way round; of two directories whose
// names differ only in case, each has entries of its own.
TEST_F(UserKeys, TheEntryIsFoundThroughAnySpellingOfItsDirectoryAndNoOther) {
  const std::string link = folder.Path() + "_link";
  std::filesystem::remove(link);
  std::filesystem::create_directory_symlink(folder.Path(), link);
  engine->Configuration().AddKeyProc(link, "codes", 1, TW_TEST_KEY_ROUTINES, "TestBuildKey", "TestCompareKey");
  std::uint32_t c = 0;
  EXPECT_EQ(engine->OpenTable(db, "Codes", "ByCode", 0, 1, 1, c, nullptr), 0) << "registered through the link";
  ASSERT_EQ(engine->DatabaseClose(db), 0);
  engine->Configuration().KeyProcList().Delete(folder.Path() + "/", "CODES", 1);
  EXPECT_EQ(engine->Configuration().KeyProcList().Count(), 0) << "deleted through the real path";
  Configure();
  std::uint32_t viaLink = 0;
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, link + "/", 1, 1, viaLink), 0);
  EXPECT_EQ(engine->OpenTable(viaLink, "Codes", "ByCode", 0, 1, 1, c, nullptr), 0) << "opened through the link";
  ASSERT_EQ(engine->DatabaseClose(viaLink), 0);

  std::uint32_t lower = 0, upper = 0;
  for (const char* sub : {"/sub", "/SUB"}) {
    std::filesystem::create_directories(folder.Path() + sub);
    std::uint32_t d = 0;
    ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path() + sub, 1, 1, d), 0);
    TqnDataDictionary dict(4096);
    CodesDictionary(dict);
    ASSERT_EQ(engine->BuildTable(d, false, "Codes", dict), 0);
    (sub[1] == 's' ? lower : upper) = d;
  }
  engine->Configuration().AddKeyProc(folder.Path() + "/sub", "Codes", 1, TW_TEST_KEY_ROUTINES, "TestBuildKey",
                                     "TestCompareKey");
  EXPECT_EQ(engine->OpenTable(upper, "Codes", "ByCode", 0, 1, 1, c, nullptr), kRoutinesMissing)
      << "the entry of sub is not SUB's";
  EXPECT_EQ(engine->OpenTable(lower, "Codes", "ByCode", 0, 1, 1, c, nullptr), 0);
  engine->Configuration().AddKeyProc(folder.Path() + "/SUB", "Codes", 1, TW_TEST_KEY_ROUTINES, "TestBuildKey",
                                     "TestCompareKey");
  EXPECT_EQ(engine->OpenTable(upper, "Codes", "ByCode", 0, 1, 1, c, nullptr), 0);
  EXPECT_EQ(engine->Configuration().KeyProcList().Count(), 3);
  std::filesystem::remove(link);
}

TEST_F(UserKeys, TheRoutinesBuildAndOrderTheKeys) {
  Configure();
  const std::uint32_t c = Open("Codes", 1);
  for (std::int32_t code : {5, 1, 9, 3}) ASSERT_EQ(Insert(c, code, "n" + std::to_string(code)), 0);
  EXPECT_EQ(Walk(c), Descending({9, 5, 3, 1}));
  EXPECT_EQ(Insert(c, -4, "refused"), qnresKeyViolation) << "the build routine refuses the record";
  EXPECT_EQ(Insert(c, 5, "again"), qnresKeyViolation) << "a unique user index keeps its keys unique";
  std::uint32_t count = 0;
  ASSERT_EQ(engine->GetTableRecCount(c, count), 0);
  EXPECT_EQ(count, 4u) << "refused records are not stored";

  // Searches go through the same routines: a record image, a ready key, and a positioning.
  Record probe(Dict(c)), out(Dict(c));
  probe.I32(0, 3);
  ASSERT_EQ(engine->RecordGetForKey(c, false, 0, 0, probe.Data(), out.Data()), 0);
  EXPECT_EQ(out.GetStr(1), "n3");
  std::uint8_t key[4];
  QNPutI32(key, 9);
  ASSERT_EQ(engine->RecordGetForKey(c, true, 0, 0, key, out.Data()), 0);
  EXPECT_EQ(out.GetStr(1), "n9");
  probe.I32(0, 4);
  ASSERT_EQ(engine->SetToKey(c, kQnFindGreater, false, 0, 0, probe.Data()), 0);
  ASSERT_EQ(engine->RecordGetNext(c, 0, out.Data()), 0);
  EXPECT_EQ(out.GetI32(0), 3) << "greater in the routine's order is the next smaller code";
  std::uint8_t extracted[4] = {};
  ASSERT_EQ(engine->RecordExtractKey(c, nullptr, extracted), 0);
  EXPECT_EQ(QNGetI32(extracted), 3);
  probe.I32(0, -1);
  EXPECT_EQ(engine->RecordExtractKey(c, probe.Data(), extracted), qnresKeyViolation);

  // A key change moves the record; a refused new key leaves it as it was.
  Record changed(Dict(c));
  changed.I32(0, 7).Str(1, "n3");
  ASSERT_EQ(engine->RecordModify(c, false, changed.Data()), 0);
  EXPECT_EQ(Walk(c), Descending({9, 7, 5, 1}));
  probe.I32(0, 7);
  ASSERT_EQ(engine->RecordGetForKey(c, false, 0, 0, probe.Data(), out.Data()), 0);
  changed.I32(0, -7);
  EXPECT_EQ(engine->RecordModify(c, false, changed.Data()), qnresKeyViolation);
  EXPECT_EQ(Walk(c), Descending({9, 7, 5, 1}));
  probe.I32(0, 5);
  ASSERT_EQ(engine->RecordGetForKey(c, false, 0, 0, probe.Data(), out.Data()), 0);
  ASSERT_EQ(engine->RecordDelete(c, nullptr), 0);
  EXPECT_EQ(Walk(c), Descending({9, 7, 1}));
  EXPECT_EQ(Joined(Check("Codes")), "");
}

TEST_F(UserKeys, AnOpenTableKeepsItsRoutinesWhenTheEntryGoes) {
  Configure();
  const std::uint32_t c = Open("Codes", 1);
  engine->Configuration().KeyProcList().Delete(folder.Path(), "Codes", 1);
  for (std::int32_t code : {2, 8, 4}) ASSERT_EQ(Insert(c, code, "x"), 0);
  EXPECT_EQ(Walk(c), Descending({8, 4, 2}));
  // A second cursor on the open table needs no entry either.
  const std::uint32_t other = Open("Codes", 1);
  EXPECT_EQ(Walk(other), Descending({8, 4, 2}));
}

TEST_F(UserKeys, DroppingAnIndexBelowKeepsTheRoutinesWithTheirIndex) {
  Build("Named", [](TqnDataDictionary& D) {
    D.AddField("Code", "", qftInt32, 0, 0, false);
    D.AddField("Name", "", qftShortString, 20, 0, false);
    D.AddIndex("ByName", "", 0, {1}, true, true, false);
    D.AddUserIndex("ByCode", "", 0, 4, false, true, false);
  });
  engine->Configuration().AddKeyProc(folder.Path(), "Named", 2, TW_TEST_KEY_ROUTINES, "TestBuildKey",
                                     "TestCompareKey");
  const std::uint32_t c = Open("Named", 0, 1, 0);
  for (std::int32_t code : {3, 6, 1}) ASSERT_EQ(Insert(c, code, "x" + std::to_string(code)), 0);
  ASSERT_EQ(engine->DropIndex(0, c, "", "ByName", 0), 0);
  ASSERT_EQ(Dict(c).IndexCount(), 2);
  // The open table's routines moved down with their index.
  const std::uint32_t byCode = Open("Named", 1, 1, 0);
  EXPECT_EQ(Walk(byCode), Descending({6, 3, 1}));
  ASSERT_EQ(Insert(byCode, 4, "x4"), 0);
  EXPECT_EQ(Walk(byCode), Descending({6, 4, 3, 1}));
}

TEST_F(UserKeys, ReindexAndPackUseTheRoutinesOfTheTable) {
  Configure();
  std::uint32_t c = Open("Codes", 1);
  for (std::int32_t code = 1; code <= 12; ++code) ASSERT_EQ(Insert(c, code, "x"), 0);
  ASSERT_EQ(engine->CursorClose(c), 0);

  auto s = Reindexed(*engine, db, "Codes", "ByCode");
  EXPECT_EQ(s[rsStatusCode], 0u);
  EXPECT_EQ(s[rsRecordsWritten], 12u);

  const int entries = engine->Configuration().KeyProcList().Count();
  std::int32_t id = -1;
  ASSERT_EQ(engine->PackTable(db, "Codes", id), 0);
  s = Finish(*engine, id);
  EXPECT_EQ(s[rsStatusCode], 0u);
  EXPECT_EQ(s[rsRecordsWritten], 12u);
  EXPECT_EQ(engine->Configuration().KeyProcList().Count(), entries) << "the temporary entries are gone again";
  EXPECT_EQ(Joined(Check("Codes")), "");
  c = Open("Codes", 1);
  const auto codes = Walk(c);
  ASSERT_EQ(codes.size(), 12u);
  EXPECT_EQ(codes.front(), 12);
  EXPECT_EQ(codes.back(), 1);
}

TEST_F(UserKeys, APackWithoutTheRoutinesFailsAndKeepsTheTable) {
  Configure();
  std::uint32_t c = Open("Codes", 1);
  ASSERT_EQ(Insert(c, 1, "x"), 0);
  ASSERT_EQ(engine->CursorClose(c), 0);
  engine->Configuration().KeyProcList().Delete(folder.Path(), "Codes", 1);
  std::int32_t id = -1;
  EXPECT_EQ(engine->PackTable(db, "Codes", id), kRoutinesMissing);
  EXPECT_FALSE(folder.Exists("Codes1.QND")) << "the temporary table is removed";
  EXPECT_TRUE(folder.Exists("Codes.QND"));
}

TEST_F(UserKeys, ARestructureWithAMapKeepsOnlyTheOldUserIndexes) {
  Configure();
  std::uint32_t c = Open("Codes", 1);
  for (std::int32_t code : {4, 2, 8}) ASSERT_EQ(Insert(c, code, "name" + std::to_string(code)), 0);
  ASSERT_EQ(engine->CursorClose(c), 0);
  const std::vector<std::string> map = {"Code", "Name"};
  std::int32_t id = -1;

  TqnDataDictionary moved(4096);
  moved.AddField("Code", "", qftInt32, 0, 0, false);
  moved.AddField("Name", "", qftShortString, 30, 0, false);
  moved.AddIndex("ByName", "", 0, {1}, true, true, false);
  moved.AddUserIndex("ByCode", "", 0, 4, false, true, false);
  EXPECT_EQ(engine->RestructureTable(db, "Codes", moved, &map, id), 10012) << "a user index at a new number";

  TqnDataDictionary longer(4096);
  longer.AddField("Code", "", qftInt32, 0, 0, false);
  longer.AddUserIndex("ByCode", "", 0, 8, false, true, false);
  EXPECT_EQ(engine->RestructureTable(db, "Codes", longer, &map, id), 10012) << "another key length";

  TqnDataDictionary kept(4096);
  kept.AddField("Code", "", qftInt32, 0, 0, false);
  kept.AddField("Name", "", qftShortString, 30, 0, false);
  kept.AddUserIndex("ByCode", "", 0, 4, false, true, false);
  ASSERT_EQ(engine->RestructureTable(db, "Codes", kept, &map, id), 0);
  const auto s = Finish(*engine, id);
  EXPECT_EQ(s[rsStatusCode], 0u);
  c = Open("Codes", 1);
  EXPECT_EQ(Walk(c), Descending({8, 4, 2}));
}

TEST_F(UserKeys, IndexesOfUserRoutinesCannotBeAddedByRequest) {
  Configure();
  const std::uint32_t c = Open("Codes", 0, 1, 0);
  TqnIndexDescriptor d = Dict(c).IndexDescriptor(1);
  d.Name = "Another";
  std::uint32_t outDb = 0;
  std::string outName;
  EXPECT_EQ(engine->AddIndex(0, c, "", d, outDb, outName), 10048);
}

}  // namespace
}  // namespace tw::dbengine::testing
