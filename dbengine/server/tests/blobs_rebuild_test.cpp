#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "dbengine/server/server_engine.h"
#include "server_test_util.h"

namespace tw::dbengine::testing {
namespace {

// The interpretation-text table of the program's main lookup.
class Texts : public EngineFixture {
 protected:
  Texts() {
    Build("Texts", TextsDictionary);
    cur = Open("Texts", 1);
  }
  void Add(const std::string& Lang, int T, int R, int A, const std::string& Text) {
    Record r(Dict(cur));
    r.Str(0, Lang).I16(1, static_cast<std::int16_t>(T)).I16(2, static_cast<std::int16_t>(R));
    r.I16(3, static_cast<std::int16_t>(A));
    std::uint32_t nr = 0;
    ASSERT_EQ(engine->CreateBLOB(cur, nr), 0);
    ASSERT_EQ(engine->WriteBLOB(cur, nr, 0, static_cast<std::uint32_t>(Text.size()),
                                reinterpret_cast<const std::uint8_t*>(Text.data())),
              0);
    std::uint8_t v[4];
    QNPutU32(v, nr);
    Dict(cur).SetRecordField(4, r.Data(), v);
    ASSERT_EQ(engine->RecordInsert(cur, 0, r.Data()), 0);
  }
  // Finds the record for the key and reads its memo text, as the program's transit list does.
  DBIResult Lookup(const std::string& Lang, int T, int R, int A, std::string& Text) {
    Record key(Dict(cur)), out(Dict(cur));
    key.Str(0, Lang).I16(1, static_cast<std::int16_t>(T)).I16(2, static_cast<std::int16_t>(R));
    key.I16(3, static_cast<std::int16_t>(A));
    DBIResult r = engine->RecordGetForKey(cur, false, 0, 0, key.Data(), out.Data());
    if (r != 0) return r;
    const std::uint32_t nr = static_cast<std::uint32_t>(out.GetI32(4));
    std::uint32_t len = 0, got = 0;
    if ((r = engine->GetBLOBLength(cur, nr, len)) != 0) return r;
    Text.assign(len, '\0');
    if ((r = engine->ReadBLOB(cur, nr, 0, len, got, reinterpret_cast<std::uint8_t*>(Text.data()))) != 0) return r;
    Text.resize(got);
    return 0;
  }
  std::uint32_t cur = 0;
};

TEST_F(Texts, TheTextOfAnAspectIsFoundByItsFourKeysAndReadBack) {
  Add("ENG", 0, 1, 1, "The Sun meets the Moon.");
  Add("ENG", 0, 1, 2, "@0");
  Add("DEU", 0, 1, 1, "Die Sonne trifft den Mond.");
  const std::string longText(5000, 'x');
  Add("ENG", 4, 9, 3, longText);
  std::string text;
  ASSERT_EQ(Lookup("ENG", 0, 1, 1, text), 0);
  EXPECT_EQ(text, "The Sun meets the Moon.");
  ASSERT_EQ(Lookup("DEU", 0, 1, 1, text), 0);
  EXPECT_EQ(text, "Die Sonne trifft den Mond.");
  ASSERT_EQ(Lookup("ENG", 0, 1, 2, text), 0);
  EXPECT_EQ(text, "@0");
  ASSERT_EQ(Lookup("ENG", 4, 9, 3, text), 0);
  EXPECT_EQ(text, longText);
  EXPECT_EQ(Lookup("ENG", 0, 1, 3, text), 8710);
  EXPECT_EQ(Lookup("FRA", 0, 1, 1, text), 8710);
  EXPECT_EQ(Joined(Check("Texts")), "");
}

TEST_F(Texts, BlobsAreWrittenAppendedTruncatedAndFreed) {
  std::uint32_t nr = 0, len = 0, got = 0;
  ASSERT_EQ(engine->CreateBLOB(cur, nr), 0);
  EXPECT_EQ(engine->FreeBLOB(cur, nr), qnresBlobFreed) << "an empty BLOB is freed";
  EXPECT_NE(engine->GetBLOBLength(cur, nr, len), 0) << "and its number is gone";
  ASSERT_EQ(engine->CreateBLOB(cur, nr), 0);
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  ASSERT_EQ(engine->WriteBLOB(cur, nr, 0, 3, abc), 0);
  ASSERT_EQ(engine->WriteBLOB(cur, nr, 3, 3, abc), 0) << "writing at the end appends";
  EXPECT_EQ(engine->WriteBLOB(cur, nr, 10, 3, abc), qnresInvalidBlobOffset);
  EXPECT_EQ(engine->WriteBLOB(cur, nr, 0xFFFFFFF0u, 3, abc), qnresInvalidBlobOffset);
  ASSERT_EQ(engine->GetBLOBLength(cur, nr, len), 0);
  EXPECT_EQ(len, 6u);
  EXPECT_EQ(engine->TruncateBLOB(cur, nr, 7), qnresInvalidBlobLength);
  ASSERT_EQ(engine->TruncateBLOB(cur, nr, 4), 0);
  std::uint8_t buf[16] = {};
  ASSERT_EQ(engine->ReadBLOB(cur, nr, 1, 16, got, buf), 0);
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "bca");
  EXPECT_EQ(engine->FreeBLOB(cur, nr), 0) << "a BLOB with data stays";
  const std::uint32_t ro = Open("Texts", 1, 0);
  EXPECT_EQ(engine->ReadBLOB(ro, nr, 0, 4, got, buf), 0);
  EXPECT_EQ(engine->WriteBLOB(ro, nr, 0, 1, abc), qnresTableReadOnly);
  ASSERT_EQ(engine->DeleteBLOB(cur, nr), 0);
  EXPECT_NE(engine->ReadBLOB(cur, nr, 0, 4, got, buf), 0);
  EXPECT_EQ(engine->ReadBLOB(cur, 0x7FFFFFF0u, 0, 4, got, buf), qnresInvalidBlobHandle);
}

// An empty BLOB that no record stores is freed only through the cursor that created it: a
// cursor of another client, or another cursor of the same session, that names its number
// leaves it where it is.
TEST_F(Texts, OnlyTheCursorThatCreatedANewBlobFreesIt) {
  std::uint32_t nr = 0, len = 0;
  ASSERT_EQ(engine->CreateBLOB(cur, nr), 0);
  const std::uint32_t otherClient = OpenIn(SecondClient(), "Texts", 1), sameSession = Open("Texts", 1);
  EXPECT_EQ(engine->FreeBLOB(otherClient, nr), 0);
  EXPECT_EQ(engine->FreeBLOB(sameSession, nr), 0);
  EXPECT_EQ(engine->GetBLOBLength(cur, nr, len), 0) << "the BLOB is still there";
  EXPECT_EQ(engine->FreeBLOB(cur, nr), qnresBlobFreed);
}

TEST_F(Texts, DeletingARecordDeletesItsMemo) {
  Add("ENG", 1, 2, 3, "gone soon");
  Record r(Dict(cur));
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  ASSERT_EQ(engine->RecordDelete(cur, nullptr), 0);
  std::uint32_t len = 0;
  EXPECT_NE(engine->GetBLOBLength(cur, static_cast<std::uint32_t>(r.GetI32(4)), len), 0);
  EXPECT_EQ(Joined(Check("Texts")), "");
}

// A BLOB that a record stores is stored by no second record: an insert or a change that names
// it is refused with 10030 and changes nothing, while a change that keeps its record's own
// BLOB goes through.
TEST_F(Texts, ASecondRecordNeverStoresABlobThatARecordStores) {
  Add("ENG", 1, 1, 1, "ten");
  Add("ENG", 2, 2, 2, "two");
  Record first(Dict(cur)), second(Dict(cur));
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, first.Data()), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, second.Data()), 0);
  std::uint8_t ten[4];
  QNPutI32(ten, first.GetI32(4));

  Record copy(Dict(cur));
  copy.Str(0, "ENG").I16(1, 3).I16(2, 3).I16(3, 3);
  Dict(cur).SetRecordField(4, copy.Data(), ten);
  EXPECT_EQ(engine->RecordInsert(OpenIn(SecondClient(), "Texts", 1), 0, copy.Data()), qnresInvalidBlobHandle);
  Dict(cur).SetRecordField(4, second.Data(), ten);
  EXPECT_EQ(engine->RecordModify(cur, false, second.Data()), qnresInvalidBlobHandle) << "on record two";
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, first.Data()), 0);
  first.I16(3, 9);
  EXPECT_EQ(engine->RecordModify(cur, false, first.Data()), 0) << "its own BLOB stays";

  std::string text;
  ASSERT_EQ(Lookup("ENG", 1, 1, 9, text), 0);
  EXPECT_EQ(text, "ten");
  ASSERT_EQ(Lookup("ENG", 2, 2, 2, text), 0);
  EXPECT_EQ(text, "two");
  std::uint32_t count = 0;
  ASSERT_EQ(engine->GetTableRecCount(cur, count), 0);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(Joined(Check("Texts")), "");
}

// A record whose BLOB was deleted on its own first is deleted all the same: the free slot is
// left alone, also once another record's new BLOB has taken it.
TEST_F(Texts, ARecordWhoseBlobWasDeletedFirstIsDeleted) {
  Add("ENG", 1, 1, 1, "first");
  Add("ENG", 2, 2, 2, "second");
  Record r(Dict(cur));
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  ASSERT_EQ(engine->DeleteBLOB(cur, static_cast<std::uint32_t>(r.GetI32(4))), 0);
  ASSERT_EQ(engine->RecordDelete(cur, nullptr), 0);
  ASSERT_EQ(engine->RecordGet(cur, 0, r.Data()), 0);
  ASSERT_EQ(engine->DeleteBLOB(cur, static_cast<std::uint32_t>(r.GetI32(4))), 0);
  std::uint32_t reused = 0;
  ASSERT_EQ(engine->CreateBLOB(cur, reused), 0);
  ASSERT_EQ(reused, static_cast<std::uint32_t>(r.GetI32(4)));
  ASSERT_EQ(engine->WriteBLOB(cur, reused, 0, 3, reinterpret_cast<const std::uint8_t*>("new")), 0);
  ASSERT_EQ(engine->RecordDelete(cur, nullptr), 0);
  std::uint32_t count = 0, len = 0;
  ASSERT_EQ(engine->GetTableRecCount(cur, count), 0);
  EXPECT_EQ(count, 0u);
  ASSERT_EQ(engine->GetBLOBLength(cur, reused, len), 0) << "the new BLOB in the slot stays";
  EXPECT_EQ(len, 3u);
}
// ---- Rebuilds ----

TEST_F(Texts, PackCopiesLiveRecordsAndTheirMemosIntoSoundFiles) {
  for (int i = 0; i < 25; ++i) Add("ENG", i, 1, 1, "text " + std::to_string(i));
  Record r(Dict(cur));
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
    ASSERT_EQ(engine->RecordDelete(cur, nullptr), 0);
  }
  ASSERT_EQ(engine->CursorClose(cur), 0);
  { std::ofstream(folder.File("Texts1.QND")) << "in the way"; }
  std::int32_t id = -1;
  ASSERT_EQ(engine->PackTable(db, "Texts", id), 0);
  ASSERT_GE(id, 0);
  const auto s = Finish(*engine, id);
  EXPECT_EQ(s[rsStatusCode], 0u);
  EXPECT_EQ(s[rsRecordsRead], 20u);
  EXPECT_EQ(s[rsRecordsWritten], 20u);
  EXPECT_EQ(s[rsFinished], 1u);
  EXPECT_FALSE(folder.Exists("Texts2.QND")) << "the temporary table took the next free name";
  EXPECT_EQ(Joined(Check("Texts")), "");
  cur = Open("Texts", 1);
  std::string text;
  ASSERT_EQ(Lookup("ENG", 7, 1, 1, text), 0);
  EXPECT_EQ(text, "text 7");
  EXPECT_EQ(Lookup("ENG", 2, 1, 1, text), 8710);
}

TEST_F(Texts, ReindexRebuildsAnIndexAndReportsADuplicate) {
  for (int i = 0; i < 25; ++i) Add("ENG", i, 1, 1, "t");
  ASSERT_EQ(engine->CursorClose(cur), 0);
  auto s = Reindexed(*engine, db, "Texts", "Key");
  EXPECT_EQ(s[rsStatusCode], 0u);
  EXPECT_EQ(s[rsRecordsRead], 25u);
  EXPECT_EQ(s[rsRecordsWritten], 25u);
  EXPECT_EQ(Joined(Check("Texts")), "");
  std::uint32_t c = 0;
  std::int32_t id = -1;
  EXPECT_EQ(engine->ReindexTable(db, "Texts", "Missing", 0, id), qnresNoSuchIndex);
  EXPECT_EQ(engine->OpenTable(db, "Texts", "", 0, 1, 1, c, nullptr), 0) << "a failed start leaves no lock";
}

TEST_F(Texts, ACursorOfTheSessionThatReindexesStepsOnFromItsRecord) {
  // Records added in an order the index does not have, so the rebuilt index's blocks differ.
  for (int i = 0; i < 400; ++i) Add("ENG", (i * 37) % 400, 1, 1, "t");
  ASSERT_EQ(engine->CursorClose(cur), 0);
  cur = Open("Texts", 1, 1, 0);  // exclusive: the reindex runs in the same session
  Record r(Dict(cur));
  for (int i = 0; i < 150; ++i) ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  ASSERT_EQ(r.GetI16(1), 149);
  std::uint8_t bm[64];
  ASSERT_LE(engine->BookmarkSize(cur), 64);
  ASSERT_EQ(engine->GetBookmark(cur, bm), 0);
  const auto s = Reindexed(*engine, db, "Texts", "Key");
  ASSERT_EQ(s[rsStatusCode], 0u);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  EXPECT_EQ(r.GetI16(1), 150);
  ASSERT_EQ(engine->RecordGetPrev(cur, 0, r.Data()), 0);
  ASSERT_EQ(engine->RecordGetPrev(cur, 0, r.Data()), 0);
  EXPECT_EQ(r.GetI16(1), 148);
  ASSERT_EQ(engine->SetToBookmark(cur, bm), 0);
  ASSERT_EQ(engine->RecordGet(cur, 0, r.Data()), 0);
  EXPECT_EQ(r.GetI16(1), 149);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  EXPECT_EQ(r.GetI16(1), 150);
  ASSERT_EQ(engine->CursorClose(cur), 0);
  EXPECT_EQ(Joined(Check("Texts")), "");
}

TEST_F(Texts, APackWhileTheSessionHoldsTheTableOpenLosesNothing) {
  for (int i = 0; i < 30; ++i) Add("ENG", i, 1, 1, "text " + std::to_string(i));
  ASSERT_EQ(engine->CursorClose(cur), 0);
  cur = Open("Texts", 1, 1, 0);
  Record r(Dict(cur));
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  ASSERT_EQ(engine->RecordDelete(cur, nullptr), 0);
  std::int32_t id = -1;
  const DBIResult started = engine->PackTable(db, "Texts", id);
  if (started == 0) {
    const auto s = Finish(*engine, id);
    EXPECT_EQ(s[rsFinished], 1u);
  }
  ASSERT_EQ(engine->CursorClose(cur), 0);
  EXPECT_FALSE(folder.Exists("Texts1.QND")) << "no temporary table is left behind";
  EXPECT_EQ(Joined(Check("Texts")), "");
  cur = Open("Texts", 1);
  std::uint32_t n = 0;
  ASSERT_EQ(engine->GetTableRecCount(cur, n), 0);
  EXPECT_EQ(n, 29u);
  std::string text;
  ASSERT_EQ(Lookup("ENG", 7, 1, 1, text), 0);
  EXPECT_EQ(text, "text 7");
}

TEST_F(Texts, APackCarriesLargeShortenedAndEmptyMemosOverWhole) {
  std::string big(1'500'000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + (i * 7 + i / 4093) % 26);
  Add("ENG", 1, 1, 1, big);
  Add("ENG", 2, 1, 1, big.substr(0, 4000));
  Add("ENG", 3, 1, 1, "");
  Add("ENG", 4, 1, 1, big.substr(0, 256));
  // The second memo shortened to 300 bytes after it was written.
  Record r(Dict(cur));
  ASSERT_EQ(engine->RecordGetForKey(cur, false, 0, 0, Record(Dict(cur)).Str(0, "ENG").I16(1, 2).I16(2, 1).I16(3, 1).Data(),
                                    r.Data()),
            0);
  ASSERT_EQ(engine->TruncateBLOB(cur, static_cast<std::uint32_t>(r.GetI32(4)), 300), 0);
  ASSERT_EQ(engine->CursorClose(cur), 0);
  std::int32_t id = -1;
  ASSERT_EQ(engine->PackTable(db, "Texts", id), 0);
  const auto s = Finish(*engine, id);
  ASSERT_EQ(s[rsStatusCode], 0u);
  EXPECT_EQ(Joined(Check("Texts")), "");
  cur = Open("Texts", 1);
  std::string text;
  ASSERT_EQ(Lookup("ENG", 1, 1, 1, text), 0);
  EXPECT_TRUE(text == big);
  ASSERT_EQ(Lookup("ENG", 2, 1, 1, text), 0);
  EXPECT_EQ(text, big.substr(0, 300));
  ASSERT_EQ(Lookup("ENG", 3, 1, 1, text), 0);
  EXPECT_EQ(text, "");
  ASSERT_EQ(Lookup("ENG", 4, 1, 1, text), 0);
  EXPECT_EQ(text, big.substr(0, 256));
}

TEST_F(Texts, RestructureWithoutAMapLeavesAnEmptyTableWithTheNewDictionary) {
  Add("ENG", 1, 1, 1, "x");
  ASSERT_EQ(engine->CursorClose(cur), 0);
  TqnDataDictionary d(4096);
  PeopleDictionary(d);
  std::int32_t id = 5;
  ASSERT_EQ(engine->RestructureTable(db, "Texts", d, nullptr, id), 0);
  EXPECT_EQ(id, -1);
  const std::uint32_t c = Open("Texts");
  EXPECT_EQ(Dict(c).FieldCount(), 3);
  std::uint32_t n = 9;
  ASSERT_EQ(engine->GetTableRecCount(c, n), 0);
  EXPECT_EQ(n, 0u);
}

TEST_F(Texts, RestructureWithAMapConvertsFieldsAndCopiesMemos) {
  for (int i = 0; i < 12; ++i) Add("ENG", i, 2, 3, "memo " + std::to_string(i));
  ASSERT_EQ(engine->CursorClose(cur), 0);
  TqnDataDictionary d(4096);
  d.AddField("Lang", "", qftShortString, 10, 0, true);
  d.AddField("TBody", "", qftInt32, 0, 0, true);
  d.AddField("Note", "", qftBlobMemo, 0, 0, true);
  d.AddField("Extra", "", qftInt32, 0, 0, true);
  d.AddIndex("ByBody", "", 0, {1}, false, true, false);
  const std::vector<std::string> map = {"Lang", "TBody", "Note=Text"};
  std::int32_t id = -1;
  ASSERT_EQ(engine->RestructureTable(db, "Texts", d, &map, id), 0);
  const auto s = Finish(*engine, id);
  EXPECT_EQ(s[rsStatusCode], 0u);
  EXPECT_EQ(s[rsRecordsWritten], 12u);
  EXPECT_EQ(Joined(Check("Texts")), "");
  const std::uint32_t c = Open("Texts", 1);
  Record key(Dict(c)), out(Dict(c));
  key.I32(1, 7);
  ASSERT_EQ(engine->RecordGetForKey(c, false, 0, 0, key.Data(), out.Data()), 0);
  EXPECT_EQ(out.GetStr(0), "ENG");
  EXPECT_FALSE(Dict(c).IsRecordFieldNull(3, out.Data())) << "a required field is filled";
  std::uint8_t buf[32] = {};
  std::uint32_t got = 0;
  ASSERT_EQ(engine->ReadBLOB(c, static_cast<std::uint32_t>(out.GetI32(2)), 0, 32, got, buf), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), got), "memo 7");
  const std::vector<std::string> bad = {"Lang=TBody", "Missing"};
  EXPECT_NE(engine->RestructureTable(db, "Texts", d, &bad, id), 0);
}

TEST_F(Texts, ACopyThatFailsLeavesTheTableAsItWasAndNothingOpen) {
  for (int i = 0; i < 3; ++i) Add("ENG", i, 1, 1, "t");
  ASSERT_EQ(engine->CursorClose(cur), 0);
  TqnDataDictionary d(4096);
  d.AddField("Lang", "", qftShortString, 3, 0, true);
  d.AddIndex("ByLang", "", 0, {0}, false, true, false);
  const std::vector<std::string> map = {"Lang"};
  std::int32_t id = -1;
  ASSERT_EQ(engine->RestructureTable(db, "Texts", d, &map, id), 0);
  const auto s = Finish(*engine, id);
  EXPECT_EQ(s[rsStatusCode], static_cast<std::uint32_t>(qnresKeyViolation)) << "the second record repeats the key";
  EXPECT_EQ(engine->CursorCount(), 0) << "the source cursor is closed too";
  EXPECT_EQ(engine->TableCount(), 0);
  EXPECT_FALSE(folder.Exists("Texts1.QND"));
  std::uint32_t other = 0, client2db = 0, hash = 0;
  ASSERT_EQ(engine->ClientAdd(2, "other", "", hash), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(2, folder.Path(), 1, 1, client2db), 0);
  EXPECT_EQ(engine->OpenTable(client2db, "Texts", "", 1, 1, 1, other, nullptr), 0) << "no one holds the table";
  std::string text;
  cur = other;
  EXPECT_EQ(Lookup("ENG", 2, 1, 1, text), 0);
}

TEST_F(Texts, RequestsAreServedWhileARebuildRuns) {
  for (int i = 0; i < 200; ++i) Add("ENG", i, 1, 1, "t");
  ASSERT_EQ(engine->CursorClose(cur), 0);
  std::int32_t id = -1;
  ASSERT_EQ(engine->PackTable(db, "Texts", id), 0);
  std::uint32_t sess = 0;
  for (int i = 0; i < 50; ++i) EXPECT_EQ(engine->SessionGetCurrent(1, sess), 0);
  const auto s = Finish(*engine, id);
  EXPECT_EQ(s[rsStatusCode], 0u);
  EXPECT_EQ(s[rsRecordsWritten], 200u);
}

}  // namespace
}  // namespace tw::dbengine::testing
