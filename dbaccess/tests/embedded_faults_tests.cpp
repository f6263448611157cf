// Against the embedded server: failed opens leave nothing behind, null memos are read without
// writing, a memo's field value is its first characters, cut to the field's described length, and
// a BLOB that a stored record holds, or whose creation was rolled back, is never freed.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/basetable.h"
#include "dbaccess/clienttable.h"
#include "dbaccess/database.h"
#include "dbaccess/session.h"
#include "dbaccess/virteng.h"
#include "dbengine/base/errors.h"
#include "dbengine/storage/table_check.h"
#include "embeddedsupport.h"

namespace tw::dbaccess::test {
namespace {

TEST_F(EmbeddedTable, FailedTableOpensLeaveNoCursorInTheDatabase) {
  auto* database = TBapiListItem::Resolve<TBaseDatabase>(db);
  ASSERT_NE(database, nullptr);
  const int before = database->Cursors().Count();
  for (int i = 0; i < 5; ++i) {
    hDBICur missing = 77;
    EXPECT_EQ(DbiOpenTable(db, "Nothing", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, missing),
              DBIERR_NOSUCHTABLE);
    EXPECT_EQ(missing, 0u);
  }
  // An index that does not exist fails the open as well, and leaves nothing either.
  hDBICur badIndex = 0;
  EXPECT_NE(DbiOpenTable(db, "Persons", nullptr, "NoSuchIndex", nullptr, 0, 0, 0, 0, false, nullptr, badIndex),
            DBIERR_NONE);
  EXPECT_EQ(badIndex, 0u);
  EXPECT_EQ(database->Cursors().Count(), before);
}

TEST_F(EmbeddedTable, ADatabaseWhoseOpenFailedDoesNotStayInTheSession) {
  TVirtEng* engine = VirtEng();
  ASSERT_NE(engine, nullptr);
  TBaseSession* session = engine->CurrentSession();
  ASSERT_NE(session, nullptr);
  const int before = session->Databases().Count();
  // A folder the server does not find: the server refuses the open.
  std::string path = (folder / "gone").string() + "/";
  for (int i = 0; i < 3; ++i) {
    hDBIDb second = 77;
    EXPECT_EQ(DbiOpenDatabase(path.c_str(), nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, second),
              dbengine::qnresInvalidDirectory);
    EXPECT_EQ(second, 0u);
  }
  EXPECT_EQ(session->Databases().Count(), before);
}

// A table with a memo whose records have no memo at all.
class NullMemos : public EmbeddedServer {
 protected:
  void SetUp() override {
    EmbeddedServer::SetUp();
    OpenFolder(db);
    dbengine::TqnDataDictionary dict(4096);
    dict.AddField("Nr", "", dbengine::qftInt16, 0, 0, true);
    dict.AddField("Text", "", dbengine::qftBlobMemo, 0, 0, false);
    dict.AddIndex("ByNr", "", 0, {0}, false, true, false);
    ASSERT_EQ(TBapiListItem::Resolve<TQNClientDatabase>(db)->BuildTable("Notes", true, dict), DBIERR_NONE);
    hDBICur cur = Open(dbiREADWRITE);
    for (std::int16_t nr = 1; nr <= 3; ++nr) {
      DbiInitRecord(cur, record.data());
      Put(cur, record.data(), 1, &nr);
      if (nr == 3) {
        const std::string text = "Sun trine Moon " + std::string(400, 'x');
        ASSERT_EQ(DbiOpenBlob(cur, record.data(), 2, dbiREADWRITE), DBIERR_NONE);
        ASSERT_EQ(DbiPutBlob(cur, record.data(), 2, 0, static_cast<std::uint32_t>(text.size()),
                             reinterpret_cast<const std::uint8_t*>(text.data())),
                  DBIERR_NONE);
      }
      ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
    }
    DbiCloseCursor(cur);
  }
  hDBICur Open(std::uint32_t Mode) {
    hDBICur cur = 0;
    EXPECT_EQ(DbiOpenTable(db, "Notes", nullptr, "ByNr", nullptr, 0, Mode, dbiOPENSHARED, 0, false, nullptr, cur),
              DBIERR_NONE);
    CURProps props;
    DbiGetCursorProps(cur, props);
    record.assign(props.iRecBufSize, 0);
    return cur;
  }
  // Cursor `a` opens a BLOB for record 11 in a transaction that is rolled back; then cursor `x`
  // opens a new BLOB for record 12 (which takes the undone number).
  void UndoneBlobThenAnother(hDBICur a, std::vector<std::uint8_t>& old, hDBICur x, std::vector<std::uint8_t>& mine) {
    auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
    const std::int16_t eleven = 11, twelve = 12;
    std::uint32_t tran = 0;
    ASSERT_EQ(database->BeginTran(0, tran), DBIERR_NONE);
    DbiInitRecord(a, old.data());
    Put(a, old.data(), 1, &eleven);
    ASSERT_EQ(DbiOpenBlob(a, old.data(), 2, dbiREADWRITE), DBIERR_NONE);
    ASSERT_EQ(database->EndTran(tran, 2), DBIERR_NONE);
    DbiInitRecord(x, mine.data());
    Put(x, mine.data(), 1, &twelve);
    ASSERT_EQ(DbiOpenBlob(x, mine.data(), 2, dbiREADWRITE), DBIERR_NONE);
  }
  // The table's files with their sizes and contents.
  std::map<std::string, std::string> Files() {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      if (e.path().filename() == "QNSERVER.LOG") continue;
      std::ifstream in(e.path(), std::ios::binary);
      files[e.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
  }
  // Reads every record's memo as the data-set classes do: open for reading, size, read, free.
  std::vector<std::string> ReadAll(hDBICur Cur, std::uint32_t OpenMode) {
    std::vector<std::string> texts;
    DbiSetToBegin(Cur);
    while (DbiGetNextRecord(Cur, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE) {
      EXPECT_EQ(DbiOpenBlob(Cur, record.data(), 2, OpenMode), DBIERR_NONE);
      std::uint32_t size = 77;
      EXPECT_EQ(DbiGetBlobSize(Cur, record.data(), 2, size), DBIERR_NONE);
      std::string text(size, '\0');
      std::uint32_t read = 0;
      EXPECT_EQ(DbiGetBlob(Cur, record.data(), 2, 0, size, reinterpret_cast<std::uint8_t*>(text.data()), read),
                DBIERR_NONE);
      text.resize(read);
      DbiFreeBlob(Cur, record.data(), 2);
      texts.push_back(text);
    }
    return texts;
  }
  hDBIDb db = 0;
  std::vector<std::uint8_t> record;
};

TEST_F(NullMemos, ReadOnReadOnlyTablesAsEmptyWithoutAnError) {
  hDBICur cur = Open(dbiREADONLY);
  std::vector<std::string> texts = ReadAll(cur, dbiREADONLY);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "");
  EXPECT_EQ(texts[1], "");
  EXPECT_EQ(texts[2].substr(0, 14), "Sun trine Moon");
  // The record read stays as it was: the memo field is still null.
  DbiSetToBegin(cur);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiOpenBlob(cur, record.data(), 2, dbiREADONLY), DBIERR_NONE);
  bool blank = false;
  std::uint8_t value[256];
  std::memset(value, 'z', sizeof value);
  EXPECT_EQ(DbiGetField(cur, 2, record.data(), value, blank), DBIERR_NONE);
  EXPECT_TRUE(blank);
  DbiCloseCursor(cur);
}

TEST_F(NullMemos, ReadsOnReadWriteTablesWriteNothing) {
  hDBICur cur = Open(dbiREADWRITE);
  const auto before = Files();
  for (int pass = 0; pass < 5; ++pass) {
    std::vector<std::string> texts = ReadAll(cur, dbiREADONLY);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "");
  }
  EXPECT_EQ(Files(), before);
  DbiCloseCursor(cur);
}

// A caller sizes its value buffer from the field's descriptor: the memo's text is cut to fit
// it (the whole text comes through the BLOB calls), and nothing is written past it.
TEST_F(NullMemos, AFieldReadOfAMemoStaysInsideTheLengthItsDescriptorGives) {
  hDBICur cur = Open(dbiREADONLY);
  CURProps props{};
  ASSERT_EQ(DbiGetCursorProps(cur, props), DBIERR_NONE);
  std::vector<FLDDesc> descs(props.iFields);
  ASSERT_EQ(DbiGetFieldDescs(cur, descs.data()), DBIERR_NONE);
  const std::size_t length = descs[1].iLen;  // field 2, the memo
  ASSERT_EQ(length, 4u);
  DbiSetToBegin(cur);
  bool blank = false;
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  {
    auto value = std::make_unique<std::uint8_t[]>(length);  // exactly as long: ASan sees a byte more
    std::memset(value.get(), 'z', length);
    EXPECT_EQ(DbiGetField(cur, 2, record.data(), value.get(), blank), DBIERR_NONE);
    EXPECT_TRUE(blank);
    EXPECT_EQ(value[0], 0);
  }
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  auto value = std::make_unique<std::uint8_t[]>(length);
  std::memset(value.get(), 'z', length);
  EXPECT_EQ(DbiGetField(cur, 2, record.data(), value.get(), blank), DBIERR_NONE);
  EXPECT_FALSE(blank);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(value.get())), "Sun");
  // The same read without a value buffer only answers whether the field is blank.
  blank = true;
  EXPECT_EQ(DbiGetField(cur, 2, record.data(), nullptr, blank), DBIERR_NONE);
  EXPECT_FALSE(blank);
  DbiCloseCursor(cur);
}

// Freeing a BLOB changes the caller's record buffer only: neither the record the cursor stands
// on nor the one in an edit is written before the caller posts, and a stored record's emptied
// BLOB stays its own (a new memo never takes its place).
TEST_F(NullMemos, FreeingABlobChangesOnlyTheCallersBuffer) {
  hDBICur cur = Open(dbiREADWRITE);
  auto numbers = [&] {
    std::vector<int> nrs;
    std::vector<std::uint8_t> rec(record.size());
    std::int16_t nr = 0;
    bool blank = false;
    for (DbiSetToBegin(cur); DbiGetNextRecord(cur, dbiNOLOCK, rec.data(), nullptr) == DBIERR_NONE; nrs.push_back(nr))
      DbiGetField(cur, 1, rec.data(), reinterpret_cast<std::uint8_t*>(&nr), blank);
    return nrs;
  };
  // A new record while the cursor stands on record 1.
  std::vector<std::uint8_t> fresh(record.size());
  DbiSetToBegin(cur);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, nullptr, nullptr), DBIERR_NONE);
  DbiInitRecord(cur, fresh.data());
  const std::int16_t four = 4, seven = 7;
  Put(cur, fresh.data(), 1, &four);
  ASSERT_EQ(DbiOpenBlob(cur, fresh.data(), 2, dbiREADWRITE), DBIERR_NONE);
  EXPECT_EQ(DbiFreeBlob(cur, fresh.data(), 2), DBIERR_NONE);
  bool blank = false;
  EXPECT_EQ(DbiGetField(cur, 2, fresh.data(), nullptr, blank), DBIERR_NONE);
  EXPECT_TRUE(blank);
  EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3}));
  // An edit of record 1, not posted.
  DbiSetToBegin(cur);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  Put(cur, record.data(), 1, &seven);
  ASSERT_EQ(DbiOpenBlob(cur, record.data(), 2, dbiREADWRITE), DBIERR_NONE);
  EXPECT_EQ(DbiFreeBlob(cur, record.data(), 2), DBIERR_NONE);
  EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3}));
  // Record 3's memo emptied in place and freed, then a new record with a memo, then 3 deleted.
  DbiSetToEnd(cur);
  ASSERT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiOpenBlob(cur, record.data(), 2, dbiREADWRITE), DBIERR_NONE);
  ASSERT_EQ(DbiTruncateBlob(cur, record.data(), 2, 0), DBIERR_NONE);
  EXPECT_EQ(DbiFreeBlob(cur, record.data(), 2), DBIERR_NONE);
  ASSERT_EQ(DbiOpenBlob(cur, fresh.data(), 2, dbiREADWRITE), DBIERR_NONE);
  ASSERT_EQ(DbiPutBlob(cur, fresh.data(), 2, 0, 4, reinterpret_cast<const std::uint8_t*>("four")), DBIERR_NONE);
  ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, fresh.data()), DBIERR_NONE);
  EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3, 4}));
  DbiSetToEnd(cur);
  DbiGetPriorRecord(cur, dbiNOLOCK, nullptr, nullptr);
  ASSERT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, nullptr, nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiDeleteRecord(cur, nullptr), DBIERR_NONE);
  EXPECT_EQ(ReadAll(cur, dbiREADONLY), (std::vector<std::string>{"", "", "four"}));
  DbiCloseCursor(cur);
}

// A BLOB that one cursor created and another stored belongs to the stored record: freeing it
// through the cursor that created it, of this session or of another, leaves it (emptied or not,
// taken by an insert or by a change), so no new memo takes its slot.  A rolled-back insert
// stores nothing: that BLOB is freed.
TEST_F(NullMemos, ABlobAnotherCursorStoredIsNotFreed) {
  hDBICur a = Open(dbiREADWRITE), b = Open(dbiREADWRITE), other = 0;
  hDBISes second = 0;
  hDBIDb db2 = 0;
  ASSERT_EQ(DbiStartSession(nullptr, second, nullptr), DBIERR_NONE);
  const std::string path = folder.string() + "/";
  ASSERT_EQ(DbiOpenDatabase(path.c_str(), nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, db2),
            DBIERR_NONE);
  ASSERT_EQ(DbiOpenTable(db2, "Notes", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr,
                         other),
            DBIERR_NONE);
  // A record numbered Nr with a new BLOB that Maker created.
  auto made = [&](hDBICur Maker, std::int16_t Nr) {
    std::vector<std::uint8_t> rec(record.size());
    DbiInitRecord(Maker, rec.data());
    Put(Maker, rec.data(), 1, &Nr);
    EXPECT_EQ(DbiOpenBlob(Maker, rec.data(), 2, dbiREADWRITE), DBIERR_NONE);
    return rec;
  };
  // A freed BLOB leaves the field null in the caller's record.
  auto freed = [&](hDBICur Maker, std::vector<std::uint8_t>& Rec) {
    const std::vector<std::uint8_t> before = Rec;
    EXPECT_EQ(DbiFreeBlob(Maker, Rec.data(), 2), DBIERR_NONE);
    return Rec != before;
  };
  auto inserted = made(a, 5);
  ASSERT_EQ(DbiInsertRecord(b, dbiNOLOCK, inserted.data()), DBIERR_NONE);
  EXPECT_FALSE(freed(a, inserted)) << "inserted through another cursor";
  auto changed = made(a, 1);
  DbiSetToBegin(b);
  ASSERT_EQ(DbiGetNextRecord(b, dbiNOLOCK, nullptr, nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiModifyRecord(b, changed.data(), false), DBIERR_NONE);
  EXPECT_FALSE(freed(a, changed)) << "taken by a change through another cursor";
  auto emptied = made(a, 6);
  ASSERT_EQ(DbiPutBlob(a, emptied.data(), 2, 0, 1, reinterpret_cast<const std::uint8_t*>("x")), DBIERR_NONE);
  ASSERT_EQ(DbiInsertRecord(b, dbiNOLOCK, emptied.data()), DBIERR_NONE);
  ASSERT_EQ(DbiTruncateBlob(b, emptied.data(), 2, 0), DBIERR_NONE);
  EXPECT_FALSE(freed(a, emptied)) << "emptied after it was stored";
  auto elsewhere = made(other, 7);
  ASSERT_EQ(DbiInsertRecord(a, dbiNOLOCK, elsewhere.data()), DBIERR_NONE);
  EXPECT_FALSE(freed(other, elsewhere)) << "stored by another session";
  auto undone = made(a, 8);
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
  std::uint32_t tran = 0;
  ASSERT_EQ(database->BeginTran(0, tran), DBIERR_NONE);
  ASSERT_EQ(DbiInsertRecord(b, dbiNOLOCK, undone.data()), DBIERR_NONE);
  ASSERT_EQ(database->EndTran(tran, 2), DBIERR_NONE);
  EXPECT_TRUE(freed(a, undone)) << "its insert rolled back";
  auto six = made(a, 9);
  ASSERT_EQ(DbiPutBlob(a, six.data(), 2, 0, 3, reinterpret_cast<const std::uint8_t*>("six")), DBIERR_NONE);
  ASSERT_EQ(DbiInsertRecord(a, dbiNOLOCK, six.data()), DBIERR_NONE);
  std::vector<std::string> texts = ReadAll(a, dbiREADONLY);
  ASSERT_EQ(texts.size(), 7u);  // records 1, 2, 3, 5, 6, 7, 9
  texts[2] = texts[2].substr(0, 3);
  EXPECT_EQ(texts, (std::vector<std::string>{"", "", "Sun", "", "", "", "six"}));
  for (hDBICur* c : {&a, &b, &other}) DbiCloseCursor(*c);
}

// A BLOB whose creation a rollback undid is no longer the cursor's: when another cursor's new
// BLOB takes its number, the old record neither frees it nor writes into it.
TEST_F(NullMemos, ABlobWhoseCreationWasRolledBackIsNotFreedUnderAnotherCursor) {
  hDBICur a = Open(dbiREADWRITE), x = Open(dbiREADWRITE);
  auto blobOf = [&](const std::vector<std::uint8_t>& Rec) {
    std::uint8_t nr[4] = {};
    bool isNull = true;
    TBapiListItem::Resolve<TQNClientTable>(a)->Dictionary().GetRecordField(1, Rec.data(), nr, isNull);
    return std::string(reinterpret_cast<const char*>(nr), isNull ? 0 : 4);
  };
  std::vector<std::uint8_t> old(record.size()), mine(record.size());
  ASSERT_NO_FATAL_FAILURE(UndoneBlobThenAnother(a, old, x, mine));
  ASSERT_EQ(blobOf(mine), blobOf(old)) << "the undone number is the next new BLOB's";
  EXPECT_EQ(DbiFreeBlob(a, old.data(), 2), DBIERR_NONE);
  ASSERT_EQ(DbiPutBlob(x, mine.data(), 2, 0, 6, reinterpret_cast<const std::uint8_t*>("twelve")), DBIERR_NONE);
  ASSERT_EQ(DbiInsertRecord(x, dbiNOLOCK, mine.data()), DBIERR_NONE);
  ASSERT_EQ(DbiOpenBlob(a, old.data(), 2, dbiREADWRITE), DBIERR_NONE);
  ASSERT_EQ(DbiPutBlob(a, old.data(), 2, 0, 6, reinterpret_cast<const std::uint8_t*>("eleven")), DBIERR_NONE);
  ASSERT_EQ(DbiInsertRecord(a, dbiNOLOCK, old.data()), DBIERR_NONE);
  EXPECT_NE(blobOf(old), blobOf(mine));
  std::vector<std::string> texts = ReadAll(a, dbiREADONLY);
  ASSERT_EQ(texts.size(), 5u);  // records 1, 2, 3, 11, 12
  EXPECT_EQ(texts[3], "eleven");
  EXPECT_EQ(texts[4], "twelve");
  for (hDBICur* c : {&a, &x}) DbiCloseCursor(*c);
  std::string problems;
  for (const std::string& p : dbengine::QNCheckTableFile((folder / "Notes.QND").string())) problems += p + "\n";
  EXPECT_EQ(problems, "");
}

// The buffer that held a BLOB whose creation a rollback undid never names it again, whatever
// the cursor reads meanwhile into other buffers: the record of another cursor whose new BLOB
// took the number keeps its memo alone.
TEST_F(NullMemos, AnUndoneBlobStaysUnusableForItsBufferWhateverIsReadMeanwhile) {
  hDBICur a = Open(dbiREADWRITE), x = Open(dbiREADWRITE);
  std::vector<std::uint8_t> old(record.size()), mine(record.size());
  ASSERT_NO_FATAL_FAILURE(UndoneBlobThenAnother(a, old, x, mine));
  ASSERT_EQ(DbiPutBlob(x, mine.data(), 2, 0, 3, reinterpret_cast<const std::uint8_t*>("ten")), DBIERR_NONE);
  ASSERT_EQ(DbiInsertRecord(x, dbiNOLOCK, mine.data()), DBIERR_NONE);
  ASSERT_EQ(ReadAll(a, dbiREADONLY).size(), 4u);  // record 12 among them, read into another buffer
  ASSERT_EQ(DbiInsertRecord(a, dbiNOLOCK, old.data()), DBIERR_NONE);
  std::vector<std::string> texts = ReadAll(a, dbiREADONLY);
  ASSERT_EQ(texts.size(), 5u);  // records 1, 2, 3, 11, 12
  EXPECT_EQ(texts[3], "");
  EXPECT_EQ(texts[4], "ten");
  for (hDBICur* c : {&a, &x}) DbiCloseCursor(*c);
  std::string problems;
  for (const std::string& p : dbengine::QNCheckTableFile((folder / "Notes.QND").string())) problems += p + "\n";
  EXPECT_EQ(problems, "");
}

}  // namespace
}  // namespace tw::dbaccess::test
