// The B-tree against a model: random adds, deletes and searches compared with a std::multimap
// ordered by the same key comparison, with the table checker run after every batch.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "blocks_test_util.h"
#include "platform/rtl/win1252.h"

namespace tw::dbengine::testing {
namespace {

struct Config {
  const char* name;
  int textType;     // type of the NAME field
  int textUnits;    // its units: long keys make small nodes and deep trees
  bool ascending;
  bool caseInsensitive;
  std::int32_t blockSize;
  int operations;
  int minDepth;  // the tree must reach at least this many levels
  // Searches also compare leading characters of the text.  A case-sensitive collation orders
  // "Aa" before "ab" although "a" comes before "A", so there a prefix does not order the keys as
  // the tree holds them; those configurations search by whole fields only.
  bool partialKeys;
  friend void PrintTo(const Config& c, std::ostream* os) { *os << c.name; }
};

class BTreeModel : public ::testing::TestWithParam<Config> {
 protected:
  void SetUp() override {
    const Config c = GetParam();
    table = std::make_unique<IndexedTable>(folder, [&c](TqnDataDictionary& d) {
      d.AddField("ID", "", qftInt32, 0, 0, false);
      d.AddField("NAME", "", c.textType, c.textUnits, 0, false);
      d.AddField("N", "", qftInt16, 0, 0, false);
      d.AddIndex("BYNAME", "", 0, {1, 2}, true, c.ascending, c.caseInsensitive);
      d.AddIndex("BYID", "", 0, {0}, false, true, false);
    }, c.blockSize);
    rng.seed(12345);
  }

  // Keys of index 1 ordered as the engine orders them (key, then reference).
  struct Less {
    const TqnKeyCompareParams* p;
    bool operator()(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) const {
      return QNKeyCompareComposite(a.data(), b.data(), *p) < 0;
    }
  };

  std::string RandomText() {
    static const char kChars[] = {'a', 'A', 'b', 'B', '\xE9', '\xC9', ' ', 'z'};
    std::string s(rng() % 6, ' ');
    for (char& ch : s) ch = kChars[rng() % sizeof(kChars)];
    return s;
  }

  void SetText(std::vector<std::uint8_t>& rec, const std::string& s) {
    const int t = GetParam().textType;
    std::vector<std::uint8_t> v(static_cast<std::size_t>(table->dict.FieldLength(1)));
    if (t == qftWideZString) {
      for (std::size_t i = 0; i < s.size(); ++i) {
        const char32_t cp = Win1252ToCodePoint(s[i]);
        v[2 * i] = static_cast<std::uint8_t>(cp);
        v[2 * i + 1] = static_cast<std::uint8_t>(cp >> 8);
      }
    } else if (t == qftShortString || t == qftShortStringLocale) {
      v[0] = static_cast<std::uint8_t>(s.size());
      std::copy(s.begin(), s.end(), v.begin() + 1);
    } else {
      std::copy(s.begin(), s.end(), v.begin());
    }
    table->dict.SetRecordField(1, rec.data(), v.data());
  }

  std::vector<std::uint8_t> RandomRecord() {
    auto rec = table->NewRecord();
    if (rng() % 10 != 0) {
      const std::int32_t id = static_cast<std::int32_t>(rng() % 4000) - 2000;
      table->dict.SetRecordField(0, rec.data(), reinterpret_cast<const std::uint8_t*>(&id));
    }
    if (rng() % 8 != 0) SetText(rec, RandomText());
    if (rng() % 8 != 0) {
      const std::int16_t n = static_cast<std::int16_t>(rng() % 7);
      table->dict.SetRecordField(2, rec.data(), reinterpret_cast<const std::uint8_t*>(&n));
    }
    return rec;
  }

  // The model's view of index 1 in engine order.
  std::vector<std::pair<std::vector<std::uint8_t>, std::int32_t>> Flat() const {
    std::vector<std::pair<std::vector<std::uint8_t>, std::int32_t>> out(model.begin(), model.end());
    const auto& p = table->handles[1].Params;
    std::stable_sort(out.begin(), out.end(), [&p](const auto& a, const auto& b) {
      const int r = QNKeyCompareComposite(a.first.data(), b.first.data(), p);
      if (r != 0) return r < 0;
      return static_cast<std::uint32_t>(a.second) < static_cast<std::uint32_t>(b.second);
    });
    return out;
  }

  void ExpectWalksMatch() {
    const auto flat = Flat();
    TqnKeyPath path;
    QNInitKeyPath(path);
    std::vector<std::uint8_t> key(static_cast<std::size_t>(table->dict.IndexKeyLength(1)));
    std::int32_t ref = 0;
    std::size_t i = 0;
    while (QNTblNextKey(table->handles[1], ref, key.data(), path)) {
      ASSERT_LT(i, flat.size());
      ASSERT_EQ(ref, flat[i].second) << "forward position " << i;
      ASSERT_EQ(key, flat[i].first);
      ++i;
    }
    EXPECT_EQ(i, flat.size());
    EXPECT_EQ(path.State, kpsEOF);
    QNInitKeyPath(path);
    i = flat.size();
    while (QNTblPrevKey(table->handles[1], ref, nullptr, path)) {
      ASSERT_GT(i, 0u);
      --i;
      ASSERT_EQ(ref, flat[i].second) << "backward position " << i;
    }
    EXPECT_EQ(i, 0u);
    EXPECT_EQ(path.State, kpsBOF);
    // The sequential-access index lists every live reference in order.
    std::vector<std::int32_t> refs;
    for (const auto& e : model) refs.push_back(e.second);
    std::sort(refs.begin(), refs.end());
    QNInitKeyPath(path);
    std::vector<std::int32_t> seq;
    while (QNTblNextKey(table->handles[0], ref, nullptr, path)) seq.push_back(ref);
    EXPECT_EQ(seq, refs);
  }

  // One search of index 1 compared with the model; PartialFields 1 compares the first field.
  void ExpectSearch(const std::vector<std::uint8_t>& key, int action, int partialFields, int partialLength = 0) {
    TqnIndexHandle h = table->handles[1];
    h.Params.FieldCount = partialFields;
    h.Params.PartialLength = partialLength;
    const auto flat = Flat();
    auto cmp = [&h](const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
      return QNKeyCompareComposite(a.data(), b.data(), h.Params);
    };
    std::int32_t expected = 0;
    bool expectFound = false;
    for (const auto& e : flat) {
      const int r = cmp(key, e.first);
      if ((action == kQnFindEqual && r == 0) || (action == kQnFindGreaterOrEqual && r <= 0) ||
          (action == kQnFindGreater && r < 0)) {
        expected = e.second;
        expectFound = true;
        break;
      }
      if (action == kQnFindEqual && r < 0) break;
    }
    TqnKeyPath path;
    std::int32_t ref = 0;
    const bool found = QNTblFindKey(h, ref, key.data(), action, path);
    if (action == kQnFindEqual) {
      ASSERT_EQ(found, expectFound);
      if (found) {
        EXPECT_EQ(ref, expected);
        EXPECT_EQ(path.State, kpsOnKey);
      }
      return;
    }
    ASSERT_EQ(found, !flat.empty());
    if (flat.empty()) return;
    if (expectFound) {
      EXPECT_EQ(path.State, kpsOnKey);
      EXPECT_EQ(ref, expected) << "action " << action << " partial " << partialFields << " length " << partialLength;
    } else {
      EXPECT_EQ(path.State, kpsEOF);
    }
  }

  ScratchFolder folder;
  std::unique_ptr<IndexedTable> table;
  std::multimap<std::vector<std::uint8_t>, std::int32_t, Less> model{Less{nullptr}};
  std::map<std::int32_t, std::vector<std::uint8_t>> records;
  std::mt19937 rng;
};

TEST_P(BTreeModel, RandomChangesKeepTheTreeEqualToTheModel) {
  model = std::multimap<std::vector<std::uint8_t>, std::int32_t, Less>(Less{&table->handles[1].Params});
  const int ops = GetParam().operations;
  const int batches = 8;
  int deepest = 0;
  for (int b = 0; b < batches; ++b) {
    table->Begin();
    // The third batch is rolled back: the table must come back exactly as it was.
    const bool rollback = b == 2;
    auto savedModel = model;
    auto savedRecords = records;
    for (int i = 0; i < ops / batches; ++i) {
      const unsigned what = rng() % 10;
      if (what < 6 || records.empty()) {
        const auto rec = RandomRecord();
        const std::int32_t ref = table->Insert(rec);
        const auto idKey = table->KeyOf(2, rec);
        // Nulls compare equal, so a unique index takes one null key only.
        bool idTaken = false;
        for (const auto& [r, existing] : records)
          if (table->KeyOf(2, existing) == idKey) idTaken = true;
        ASSERT_EQ(ref == -1, idTaken) << "unique index answer";
        if (ref != -1) {
          model.emplace(table->KeyOf(1, rec), ref);
          records[ref] = rec;
        }
      } else if (what < 9) {
        auto it = records.begin();
        std::advance(it, static_cast<long>(rng() % records.size()));
        const std::int32_t ref = it->first;
        table->Remove(ref);
        const auto key = table->KeyOf(1, it->second);
        for (auto m = model.lower_bound(key); m != model.end(); ++m)
          if (m->second == ref) {
            model.erase(m);
            break;
          }
        records.erase(it);
      } else {
        const auto probe = table->KeyOf(1, RandomRecord());
        ExpectSearch(probe, static_cast<int>(rng() % 3), static_cast<int>(rng() % 2),
                     GetParam().partialKeys ? static_cast<int>(rng() % 3) : 0);
        if (HasFatalFailure()) return;
      }
    }
    if (rollback) {
      table->Rollback();
      model = savedModel;
      records = savedRecords;
    } else {
      table->Commit();
    }
    const auto faults = table->Check();
    ASSERT_TRUE(faults.empty()) << "batch " << b << ":\n" << Faults(faults);
    ExpectWalksMatch();
    if (HasFatalFailure()) return;
    const TqnIndexInfo info = QNTblGetIndexInfo(table->fx.file, 1);
    EXPECT_EQ(info.KeyCount, static_cast<std::int32_t>(model.size()));
    if (info.Root != -1) deepest = std::max<int>(deepest, table->fx.bm.GetBlock(table->fx.file, info.Root, false)[14]);
  }
  EXPECT_GE(deepest, GetParam().minDepth);
  // Every key found by its full key and its own reference.
  for (const auto& [ref, rec] : records) {
    const auto key = table->KeyOf(1, rec);
    TqnKeyPath path;
    std::int32_t r = ref;
    ASSERT_TRUE(QNTblFindKey(table->handles[1], r, key.data(), kQnFindEqual, path));
    EXPECT_EQ(r, ref);
  }
  // Deleting everything leaves empty trees and no lost block.
  table->Begin();
  for (const auto& [ref, rec] : records) table->Remove(ref);
  table->Commit();
  for (int i = 0; i < table->dict.IndexCount(); ++i) {
    const TqnIndexInfo info = QNTblGetIndexInfo(table->fx.file, i);
    EXPECT_EQ(info.Root, -1);
    EXPECT_EQ(info.NodeCount, 0);
    EXPECT_EQ(info.KeyCount, 0);
  }
  const auto faults = table->Check();
  EXPECT_TRUE(faults.empty()) << Faults(faults);
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, BTreeModel,
    ::testing::Values(Config{"LongKeysDeepTree", qftZStringLocale, 999, true, false, 4096, 1600, 5, false},
                      Config{"ShortKeysDescendingCaseBlind", qftShortStringLocale, 8, false, true, 4096, 4000, 2, true},
                      Config{"ByteOrderStrings", qftZString, 40, true, false, 8192, 4000, 2, true},
                      Config{"ByteOrderShortStringsCaseBlind", qftShortString, 250, true, true, 4096, 3000, 3, true},
                      Config{"WideStrings", qftWideZString, 300, false, false, 4096, 1600, 3, false}),
    [](const ::testing::TestParamInfo<Config>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace tw::dbengine::testing
