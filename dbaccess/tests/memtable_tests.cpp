// In-memory tables, cursor-base navigation and cached updates.
#include "dbaccess/memtable.h"
#include "dbaccess/virteng.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

struct Rec {
  std::uint8_t Bytes[10] = {};
  Rec() = default;
  Rec(const char* Name, std::int16_t Nr) {
    std::strncpy(reinterpret_cast<char*>(Bytes), Name, 7);
    std::memcpy(Bytes + 8, &Nr, 2);
  }
  std::string Name() const { return reinterpret_cast<const char*>(Bytes); }
  std::int16_t Nr() const {
    std::int16_t v;
    std::memcpy(&v, Bytes + 8, 2);
    return v;
  }
};

class MemTables : public AccessTest {
 protected:
  std::unique_ptr<TMemTable> Make(std::initializer_list<Rec> Records) {
    FLDDesc f[2] = {Field("Name", fldZSTRING, 8), Field("Nr", fldINT16, 0)};
    auto t = std::make_unique<TMemTable>(nullptr, 4, 2, f);
    for (const Rec& r : Records) EXPECT_EQ(t->InsertRecord(dbiNOLOCK, r.Bytes), DBIERR_NONE);
    t->SetToBegin();
    return t;
  }
  std::vector<std::string> Walk(TBaseTable& T) {
    std::vector<std::string> names;
    T.SetToBegin();
    Rec r;
    while (T.GetNextRecord(dbiNOLOCK, r.Bytes) == DBIERR_NONE) names.push_back(r.Name() + ":" + std::to_string(r.Nr()));
    return names;
  }
};

TEST_F(MemTables, LayoutFromDescriptorsAndEmptyEnds) {
  auto t = Make({});
  std::uint16_t count = 0;
  std::uint32_t size = 0;
  t->GetRecordSizes(count, size);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(size, 10u);  // the 16-bit field without a length got 2 bytes at offset 8
  EXPECT_EQ(t->FirstRecord(), DBIERR_EOF);
  EXPECT_EQ(t->LastRecord(), DBIERR_BOF);
  Rec r;
  EXPECT_EQ(t->GetNextRecord(dbiNOLOCK, r.Bytes), DBIERR_EOF);
  EXPECT_EQ(t->GetPriorRecord(dbiNOLOCK, r.Bytes), DBIERR_BOF);
}

TEST_F(MemTables, NavigationMoveByAndCounting) {
  auto t = Make({{"Sun", 1}, {"Moon", 2}, {"Mars", 3}});
  EXPECT_EQ(Walk(*t), (std::vector<std::string>{"Sun:1", "Moon:2", "Mars:3"}));
  Rec r;
  t->SetToBegin();
  EXPECT_EQ(t->MoveBy(0, dbiNOLOCK, r.Bytes), DBIERR_INVALIDPARAM);
  EXPECT_EQ(t->MoveBy(2, dbiNOLOCK, r.Bytes), DBIERR_NONE);
  EXPECT_EQ(r.Name(), "Moon");
  EXPECT_EQ(t->MoveBy(-3, dbiNOLOCK, r.Bytes), DBIERR_BOF);  // one step back, then the start
  std::uint32_t n = 0;
  t->TBaseTable::GetRecordCount(n);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(t->GetPriorRecord(dbiNOLOCK, r.Bytes), DBIERR_BOF);
}

TEST_F(MemTables, DeleteLeavesAGapAndNavigationGoesOnFromIt) {
  auto t = Make({{"Sun", 1}, {"Moon", 2}, {"Mars", 3}});
  Rec r;
  t->SetToBegin();
  t->GetNextRecord(dbiNOLOCK, r.Bytes);
  t->GetNextRecord(dbiNOLOCK, r.Bytes);
  ASSERT_EQ(r.Name(), "Moon");
  EXPECT_EQ(t->DeleteRecord(nullptr), DBIERR_NONE);
  EXPECT_EQ(t->State(), csOnGap);
  EXPECT_EQ(t->GetNextRecord(dbiNOLOCK, r.Bytes), DBIERR_NONE);
  EXPECT_EQ(r.Name(), "Mars");
  EXPECT_EQ(Walk(*t), (std::vector<std::string>{"Sun:1", "Mars:3"}));
}

TEST_F(MemTables, ARecordInsertedAfterADeleteHasABookmarkOfItsOwn) {
  auto t = Make({{"Sun", 1}, {"Moon", 2}, {"Mars", 3}});
  Rec r;
  t->SetToBegin();
  ASSERT_EQ(t->GetNextRecord(dbiNOLOCK, r.Bytes), DBIERR_NONE);
  ASSERT_EQ(t->DeleteRecord(nullptr), DBIERR_NONE);
  Rec venus("Venus", 4);
  ASSERT_EQ(t->InsertRecord(dbiNOLOCK, venus.Bytes), DBIERR_NONE);
  std::uint8_t added[4] = {}, mars[4] = {};
  ASSERT_EQ(t->GetBookmark(added), DBIERR_NONE);
  t->SetToEnd();
  ASSERT_EQ(t->GetPriorRecord(dbiNOLOCK, r.Bytes), DBIERR_NONE);
  ASSERT_EQ(t->GetPriorRecord(dbiNOLOCK, r.Bytes), DBIERR_NONE);
  ASSERT_EQ(r.Name(), "Mars");
  ASSERT_EQ(t->GetBookmark(mars), DBIERR_NONE);
  EXPECT_NE(std::memcmp(added, mars, 4), 0);
  ASSERT_EQ(t->SetToBookmark(added), DBIERR_NONE);
  ASSERT_EQ(t->GetRecord(dbiNOLOCK, r.Bytes), DBIERR_NONE);
  EXPECT_EQ(r.Name(), "Venus");
  EXPECT_EQ(Walk(*t), (std::vector<std::string>{"Moon:2", "Mars:3", "Venus:4"}));
}

TEST_F(MemTables, ActiveFilterSkipsRecordsInBothDirections) {
  auto t = Make({{"Sun", 1}, {"Moon", 2}, {"Mars", 3}, {"Venus", 4}});
  hDBIFilter f = 0;
  t->AddFilter(0, 0, false, nullptr, [](std::uint32_t, std::uint8_t* rec, std::int32_t) -> std::int16_t {
    std::int16_t nr;
    std::memcpy(&nr, rec + 8, 2);
    return nr % 2 == 0;
  }, f);
  t->ActivateFilter(f);
  EXPECT_EQ(Walk(*t), (std::vector<std::string>{"Moon:2", "Venus:4"}));
  Rec r;
  t->SetToEnd();
  EXPECT_EQ(t->GetPriorRecord(dbiNOLOCK, r.Bytes), DBIERR_NONE);
  EXPECT_EQ(r.Name(), "Venus");
  EXPECT_EQ(t->GetPriorRecord(dbiNOLOCK, r.Bytes), DBIERR_NONE);
  EXPECT_EQ(r.Name(), "Moon");
  EXPECT_EQ(t->GetPriorRecord(dbiNOLOCK, r.Bytes), DBIERR_BOF);
}

TEST_F(MemTables, FieldsThroughDescriptors) {
  auto t = Make({});
  Rec r;
  std::int16_t nr = 9;
  EXPECT_EQ(t->PutField(2, r.Bytes, reinterpret_cast<const std::uint8_t*>(&nr)), DBIERR_NONE);
  bool blank = true;
  std::int16_t back = 0;
  EXPECT_EQ(t->GetField(2, r.Bytes, reinterpret_cast<std::uint8_t*>(&back), blank), DBIERR_NONE);
  EXPECT_FALSE(blank);
  EXPECT_EQ(back, 9);
  EXPECT_EQ(t->GetField(1, r.Bytes, nullptr, blank), DBIERR_NONE);
  EXPECT_TRUE(blank);
  EXPECT_EQ(t->GetField(3, r.Bytes, nullptr, blank), DBIERR_INVALIDFIELD);
  EXPECT_EQ(t->GetField(1, nullptr, nullptr, blank), DBIERR_INVALIDPARAM);
}

class CachedUpdates : public MemTables {
 protected:
  void SetUp() override {
    MemTables::SetUp();
    source = Make({{"Sun", 1}, {"Moon", 2}, {"Mars", 3}});
    TBaseTable* c = nullptr;
    ASSERT_EQ(source->BeginDelayedUpdates(c), DBIERR_NONE);
    cache.reset(static_cast<TBaseCacheTable*>(c));
  }
  void TearDown() override {
    cache.reset();
    source.reset();
    MemTables::TearDown();
  }
  void StepTo(const char* Name) {
    Rec r;
    cache->SetToBegin();
    while (cache->GetNextRecord(dbiNOLOCK, r.Bytes) == DBIERR_NONE)
      if (r.Name() == Name) return;
    FAIL() << Name;
  }
  std::unique_ptr<TMemTable> source;
  std::unique_ptr<TBaseCacheTable> cache;
};

TEST_F(CachedUpdates, ChangesShowThroughTheMaskUntilApplied) {
  StepTo("Moon");
  Rec changed("Luna", 20);
  EXPECT_EQ(cache->ModifyRecord(changed.Bytes, false), DBIERR_NONE);
  StepTo("Mars");
  EXPECT_EQ(cache->DeleteRecord(nullptr), DBIERR_NONE);
  Rec added("Venus", 4);
  EXPECT_EQ(cache->InsertRecord(dbiNOLOCK, added.Bytes), DBIERR_NONE);

  // Mask 11: changed records show their cached data, deleted ones are hidden; the inserted
  // record is not met before it is applied.
  EXPECT_EQ(Walk(*cache), (std::vector<std::string>{"Sun:1", "Luna:20"}));
  std::uint32_t pending = 0;
  std::uint16_t len = 0;
  EXPECT_EQ(cache->GetProp(curDELAYUPDNUMUPDATES, &pending, 4, len), DBIERR_NONE);
  EXPECT_EQ(pending, 3u);
  cache->SetProp(curDELAYUPDDISPLAYOPT, 0);
  EXPECT_TRUE(Walk(*cache).empty());
  cache->SetProp(curDELAYUPDDISPLAYOPT, 8);
  EXPECT_EQ(Walk(*cache), (std::vector<std::string>{"Sun:1"}));
  cache->SetProp(curDELAYUPDDISPLAYOPT, 11);

  // The source is untouched until the changes are applied.
  EXPECT_EQ(Walk(*source), (std::vector<std::string>{"Sun:1", "Moon:2", "Mars:3"}));
  EXPECT_EQ(cache->ApplyDelayedUpdates(dbiDelayedUpdPrepare), DBIERR_NONE);
  EXPECT_EQ(cache->ApplyDelayedUpdates(dbiDelayedUpdCommit), DBIERR_NONE);
  EXPECT_EQ(cache->Cache()->Count(), 0);
  std::vector<std::string> after = Walk(*source);
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, (std::vector<std::string>{"Luna:20", "Sun:1", "Venus:4"}));
}

TEST_F(CachedUpdates, FailedApplyKeepsTheChangeWithItsResult) {
  StepTo("Moon");
  Rec changed("Luna", 20);
  cache->ModifyRecord(changed.Bytes, false);
  // The source record goes away behind the cache's back.
  source->SetToBegin();
  Rec r;
  source->GetNextRecord(dbiNOLOCK, r.Bytes);
  source->GetNextRecord(dbiNOLOCK, r.Bytes);
  ASSERT_EQ(r.Name(), "Moon");
  source->DeleteRecord(nullptr);
  // The failure is reported, not answered as success.
  const DBIResult applied = cache->ApplyDelayedUpdates(dbiDelayedUpdPrepare);
  EXPECT_NE(applied, DBIERR_NONE);
  cache->ApplyDelayedUpdates(dbiDelayedUpdCommit);
  ASSERT_EQ(cache->Cache()->Count(), 1);
  EXPECT_EQ(cache->Cache()->RecordAt(0)->ApplyResult, applied);
  EXPECT_FALSE(cache->Cache()->RecordAt(0)->Applied);
  EXPECT_NE(cache->Cache()->RecordAt(0)->ApplyResult, DBIERR_NONE);
  EXPECT_EQ(cache->ApplyDelayedUpdates(4), DBIERR_INVALIDPARAM);
  EXPECT_EQ(cache->ApplyDelayedUpdates(dbiDelayedUpdCancel), DBIERR_NONE);
  EXPECT_EQ(cache->Cache()->Count(), 0);
  TBaseTable* nested = nullptr;
  EXPECT_EQ(cache->BeginDelayedUpdates(nested), DBIERR_NOTSUPPORTED);
}

TEST_F(CachedUpdates, CancelCurrentDropsTheChangeAndTheCacheForgetsIt) {
  StepTo("Moon");
  Rec changed("Luna", 20);
  ASSERT_EQ(cache->ModifyRecord(changed.Bytes, false), DBIERR_NONE);
  ASSERT_NE(cache->Cache()->CurrentRecord(), nullptr);
  EXPECT_EQ(cache->ApplyDelayedUpdates(dbiDelayedUpdCancelCurrent), DBIERR_NONE);
  EXPECT_EQ(cache->Cache()->Count(), 0);
  EXPECT_EQ(cache->Cache()->CurrentRecord(), nullptr);
  std::uint32_t seq = 9;
  EXPECT_EQ(cache->Cache()->GetSeqNo(seq), DBIERR_NOCURRREC);
  EXPECT_EQ(Walk(*cache), (std::vector<std::string>{"Sun:1", "Moon:2", "Mars:3"}));
  // Applying afterwards has nothing left to do.
  EXPECT_EQ(cache->ApplyDelayedUpdates(dbiDelayedUpdPrepare), DBIERR_NONE);
  EXPECT_EQ(Walk(*source), (std::vector<std::string>{"Sun:1", "Moon:2", "Mars:3"}));
}

TEST_F(MemTables, DelayedUpdatesThroughTheEntryPointsSwapTheHandle) {
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  auto t = Make({{"Sun", 1}});
  hDBICur h = t->Handle();
  ASSERT_EQ(DbiBeginDelayedUpdates(h), DBIERR_NONE);
  EXPECT_NE(h, t->Handle());
  EXPECT_EQ(DbiApplyDelayedUpdates(h, 4), DBIERR_INVALIDPARAM);
  hDBICur cacheHandle = h;
  ASSERT_EQ(DbiEndDelayedUpdates(h), DBIERR_NONE);
  EXPECT_EQ(h, t->Handle());
  EXPECT_EQ(DbiSetToBegin(cacheHandle), DBIERR_INVALIDHNDL);
}

}  // namespace
}  // namespace tw::dbaccess::test
