// Composite indexes over every kind of key field, checked against an order computed here from
// the decoded field values (not by the engine's key comparison): random inserts, updates and
// deletes in committed and rolled-back batches through a cache much smaller than the table,
// each index walked both ways and searched after every batch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>

#include "blocks_test_util.h"

namespace tw::dbengine::testing {
namespace {

enum Field { fB, fC, fW, fU8, fI16, fU32, fF, fD, fX, fCY, fDT, fTS, fBA, fSS, fZS, fI8, fI32, fU16, fCO, fTM, kFields };

constexpr int kTypes[kFields] = {qftBoolean, qftChar,     qftWideChar, qftUInt8,  qftInt16, qftUInt32, qftSingle,
                                 qftDouble,  qftExtended, qftCurrency, qftDate,   qftDateTime, qftByteArray,
                                 qftShortString, qftZString, qftInt8, qftInt32, qftUInt16, qftComp, qftTime};

struct IndexDef {
  std::vector<int> fields;
  bool dups;
  bool ascending;
  bool caseInsensitive;
};

// Ten fields (two null bytes), the most fields an index takes the other way round, and a
// unique pair.
const IndexDef kIndexes[] = {
    {{fB, fC, fU8, fI16, fU32, fF, fD, fX, fCY, fDT}, true, true, false},
    {{fSS, fTS, fBA, fW, fZS, fI8, fI32, fU16, fCO, fTM, fC, fB, fU8, fI16, fF, fD}, true, false, true},
    {{fI32, fU8}, false, true, false},
};

template <typename T>
T Get(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
int Cmp(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int Upper(int c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

int CmpText(std::string a, std::string b, bool ci) {
  if (ci) {
    for (char& c : a) c = static_cast<char>(Upper(static_cast<unsigned char>(c)));
    for (char& c : b) c = static_cast<char>(Upper(static_cast<unsigned char>(c)));
  }
  const int r = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (r != 0) return r < 0 ? -1 : 1;
  return Cmp(a.size(), b.size());
}

// One field's values compared as their meaning orders them.
int CompareValue(int f, const std::uint8_t* a, const std::uint8_t* b, std::int32_t len, bool ci) {
  switch (kTypes[f]) {
    case qftBoolean: return Cmp(a[0] != 0, b[0] != 0);
    case qftChar: return ci ? Cmp(Upper(a[0]), Upper(b[0])) : Cmp(a[0], b[0]);
    case qftWideChar: {  // letters only: the collation orders them alphabetically, case last
      const int x = Get<std::uint16_t>(a), y = Get<std::uint16_t>(b);
      const int r = Cmp(Upper(x), Upper(y));
      return r != 0 || ci ? r : Cmp(x < 'a', y < 'a');
    }
    case qftUInt8: return Cmp(a[0], b[0]);
    case qftInt8: return Cmp(Get<std::int8_t>(a), Get<std::int8_t>(b));
    case qftInt16: return Cmp(Get<std::int16_t>(a), Get<std::int16_t>(b));
    case qftUInt16: return Cmp(Get<std::uint16_t>(a), Get<std::uint16_t>(b));
    case qftUInt32: return Cmp(Get<std::uint32_t>(a), Get<std::uint32_t>(b));
    case qftInt32:
    case qftDate:
    case qftTime: return Cmp(Get<std::int32_t>(a), Get<std::int32_t>(b));
    case qftSingle: return Cmp(Get<float>(a), Get<float>(b));
    case qftDouble:
    case qftDateTime: return Cmp(Get<double>(a), Get<double>(b));
    case qftExtended: {
      long double x = 0, y = 0;
      std::memcpy(&x, a, 10);
      std::memcpy(&y, b, 10);
      return Cmp(x, y);
    }
    case qftCurrency:
    case qftComp: return Cmp(Get<std::int64_t>(a), Get<std::int64_t>(b));
    case qftByteArray: {
      const int r = std::memcmp(a, b, static_cast<std::size_t>(len));
      return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    case qftShortString:
      return CmpText(std::string(reinterpret_cast<const char*>(a + 1), std::min<std::size_t>(a[0], len - 1)),
                     std::string(reinterpret_cast<const char*>(b + 1), std::min<std::size_t>(b[0], len - 1)), ci);
    default:  // qftZString: up to the first zero, at most the field's length
      return CmpText(std::string(reinterpret_cast<const char*>(a), strnlen(reinterpret_cast<const char*>(a), len)),
                     std::string(reinterpret_cast<const char*>(b), strnlen(reinterpret_cast<const char*>(b), len)), ci);
  }
}

class MixedKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    table = std::make_unique<IndexedTable>(folder, [](TqnDataDictionary& d) {
      for (int f = 0; f < kFields; ++f) {
        const int units = kTypes[f] == qftByteArray ? 3 : (kTypes[f] == qftShortString || kTypes[f] == qftZString ? 4 : 0);
        d.AddField("F" + std::to_string(f), "", kTypes[f], units, 0, false);
      }
      int n = 1;
      for (const IndexDef& x : kIndexes)
        d.AddIndex("I" + std::to_string(n++), "", 0, x.fields, x.dups, x.ascending, x.caseInsensitive);
    });
    table->fx.bm.SetMaxPageCount(8);
    rng.seed(20261207);
  }

  // Record order in index I: nulls first in either direction, the values, then the reference.
  // Leading: compare that many leading fields only (0: all).
  int CompareRecords(int I, const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int Leading = 0) const {
    const IndexDef& x = kIndexes[I - 1];
    const std::size_t n = Leading > 0 ? static_cast<std::size_t>(Leading) : x.fields.size();
    for (std::size_t k = 0; k < n; ++k) {
      const int f = x.fields[k];
      const bool na = table->dict.IsRecordFieldNull(f, a.data());
      const bool nb = table->dict.IsRecordFieldNull(f, b.data());
      if (na || nb) {
        if (na != nb) return na ? -1 : 1;
        continue;
      }
      const std::int32_t off = table->dict.FieldOffset(f);
      const int r = CompareValue(f, a.data() + off, b.data() + off, table->dict.FieldLength(f), x.caseInsensitive);
      if (r != 0) return x.ascending ? r : -r;
    }
    return 0;
  }

  template <typename T>
  void Set(std::vector<std::uint8_t>& rec, int f, T v) {
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(table->dict.FieldLength(f)));
    std::memcpy(buf.data(), &v, std::min(sizeof v, buf.size()));
    table->dict.SetRecordField(f, rec.data(), buf.data());
  }

  template <typename T>
  T Pick(std::initializer_list<T> values) {
    return *(values.begin() + static_cast<long>(rng() % values.size()));
  }

  std::vector<std::uint8_t> RandomRecord() {
    auto rec = table->NewRecord();
    using L = std::numeric_limits<double>;
    for (int f = 0; f < kFields; ++f) {
      if (rng() % 7 == 0) continue;  // null
      switch (kTypes[f]) {
        case qftBoolean: Set<std::uint8_t>(rec, f, Pick<std::uint8_t>({0, 1, 2, 255})); break;
        case qftChar: Set<std::uint8_t>(rec, f, Pick<std::uint8_t>({'a', 'A', 'b', 'B', 0xE9, 0, '~'})); break;
        case qftWideChar: Set<std::uint16_t>(rec, f, Pick<std::uint16_t>({'a', 'A', 'b', 'B', 'z'})); break;
        case qftUInt8: Set<std::uint8_t>(rec, f, Pick<std::uint8_t>({0, 1, 127, 128, 255})); break;
        case qftInt8: Set<std::int8_t>(rec, f, Pick<std::int8_t>({-128, -1, 0, 1, 127})); break;
        case qftInt16: Set<std::int16_t>(rec, f, Pick<std::int16_t>({-32768, -1, 0, 1, 32767})); break;
        case qftUInt16: Set<std::uint16_t>(rec, f, Pick<std::uint16_t>({0, 1, 32767, 32768, 65535})); break;
        case qftUInt32: Set<std::uint32_t>(rec, f, Pick<std::uint32_t>({0, 1, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu})); break;
        case qftInt32: Set<std::int32_t>(rec, f, static_cast<std::int32_t>(rng() % 600) - 300); break;
        case qftDate:
        case qftTime:
          Set<std::int32_t>(rec, f, Pick<std::int32_t>({std::numeric_limits<std::int32_t>::min(), -1, 0, 693594, 86399999}));
          break;
        case qftSingle: Set<float>(rec, f, Pick<float>({-std::numeric_limits<float>::infinity(), -1.5f, -0.0f, 0.0f,
                                                          std::numeric_limits<float>::denorm_min(), 3.0e38f})); break;
        case qftDouble:
        case qftDateTime: Set<double>(rec, f, Pick<double>({-L::infinity(), -L::max(), -0.0, 0.0, L::denorm_min(), 1.0,
                                                            L::infinity()})); break;
        case qftExtended: Set<long double>(rec, f, Pick<long double>({-1.0e4000L, -1.0L, 0.0L, 1.0e-4000L, 2.0L})); break;
        case qftCurrency:
        case qftComp:
          Set<std::int64_t>(rec, f, Pick<std::int64_t>({std::numeric_limits<std::int64_t>::min(), -1, 0, 1,
                                                        std::numeric_limits<std::int64_t>::max()}));
          break;
        case qftByteArray: {
          const std::uint8_t v[3] = {Pick<std::uint8_t>({0, 0x7F, 0x80, 0xFF}), Pick<std::uint8_t>({0, 0xFF}),
                                     static_cast<std::uint8_t>(rng())};
          table->dict.SetRecordField(f, rec.data(), v);
          break;
        }
        case qftShortString:
        case qftZString: {
          // Bytes after the text (past the length byte or the zero) are noise the order ignores.
          std::uint8_t v[5];
          for (std::uint8_t& c : v) c = Pick<std::uint8_t>({'a', 'A', 'b', 'B', '0', 0xE9, 0xFF});
          if (kTypes[f] == qftShortString)
            v[0] = Pick<std::uint8_t>({0, 1, 2, 4, 200});  // 200: beyond the field, read as 4
          else if (rng() % 4 != 0)
            v[rng() % 5] = 0;  // else five letters fill the field without a zero
          table->dict.SetRecordField(f, rec.data(), v);
          break;
        }
      }
    }
    return rec;
  }

  void ExpectIndexMatches(int I) {
    std::vector<std::pair<std::vector<std::uint8_t>, std::int32_t>> expected;
    for (const auto& [ref, rec] : records) expected.emplace_back(rec, ref);
    const bool dups = kIndexes[I - 1].dups;
    std::stable_sort(expected.begin(), expected.end(), [&](const auto& a, const auto& b) {
      const int r = CompareRecords(I, a.first, b.first);
      if (r != 0) return r < 0;
      return static_cast<std::uint32_t>(a.second) < static_cast<std::uint32_t>(b.second);
    });
    if (!dups) {
      for (std::size_t i = 1; i < expected.size(); ++i)
        ASSERT_NE(CompareRecords(I, expected[i - 1].first, expected[i].first), 0) << "unique index " << I << " holds a key twice";
    }
    const TqnIndexHandle& h = table->handles[static_cast<std::size_t>(I)];
    std::vector<std::uint8_t> key(static_cast<std::size_t>(table->dict.IndexKeyLength(I)));
    TqnKeyPath path;
    QNInitKeyPath(path);
    std::int32_t ref = 0;
    std::size_t n = 0;
    while (QNTblNextKey(h, ref, key.data(), path)) {
      ASSERT_LT(n, expected.size()) << "index " << I;
      ASSERT_EQ(ref, expected[n].second) << "index " << I << " forward at " << n;
      ASSERT_EQ(key, table->KeyOf(I, expected[n].first)) << "index " << I << " at " << n;
      ++n;
    }
    ASSERT_EQ(n, expected.size()) << "index " << I;
    QNInitKeyPath(path);
    while (QNTblPrevKey(h, ref, nullptr, path)) {
      ASSERT_GT(n, 0u);
      --n;
      ASSERT_EQ(ref, expected[n].second) << "index " << I << " backward at " << n;
    }
    ASSERT_EQ(n, 0u);
    // Searches for keys of random records, by all fields or by some leading ones, land on the
    // first key not below them.
    for (int s = 0; s < 20; ++s) {
      const auto probe = RandomRecord();
      const int leading = static_cast<int>(rng() % kIndexes[I - 1].fields.size());
      TqnIndexHandle hs = h;
      hs.Params.FieldCount = leading;
      const auto probeKey = table->KeyOf(I, probe);
      // The first key above the probe (or not below it) is where the search lands, else EOF.
      auto expectLanding = [&](int action, bool above) {
        const auto want = std::find_if(expected.begin(), expected.end(), [&](const auto& e) {
          const int r = CompareRecords(I, probe, e.first, leading);
          return above ? r < 0 : r <= 0;
        });
        std::int32_t found = 0;
        EXPECT_EQ(QNTblFindKey(hs, found, probeKey.data(), action, path), !expected.empty());
        if (want == expected.end()) {
          EXPECT_EQ(path.State, kpsEOF) << "index " << I;
        } else {
          EXPECT_EQ(found, want->second) << "index " << I << " action " << action << " leading " << leading;
        }
        return want;
      };
      const auto at = expectLanding(kQnFindGreaterOrEqual, false);
      expectLanding(kQnFindGreater, true);
      std::int32_t found = 0;
      const bool equal = at != expected.end() && CompareRecords(I, probe, at->first, leading) == 0;
      EXPECT_EQ(QNTblFindKey(hs, found, probeKey.data(), kQnFindEqual, path), equal) << "index " << I;
      if (equal) {
        EXPECT_EQ(found, at->second);
      }
    }
  }

  bool UniqueTaken(const std::vector<std::uint8_t>& rec, std::int32_t except) const {
    for (const auto& [ref, other] : records)
      if (ref != except && CompareRecords(3, rec, other) == 0) return true;
    return false;
  }

  ScratchFolder folder;
  std::unique_ptr<IndexedTable> table;
  std::map<std::int32_t, std::vector<std::uint8_t>> records;
  std::mt19937 rng;
};

TEST_F(MixedKeys, EveryKeyFieldTypeOrdersAsItsValuesThroughASmallCache) {
  for (int batch = 0; batch < 10; ++batch) {
    table->Begin();
    const bool rollback = batch % 4 == 2;
    const auto saved = records;
    for (int i = 0; i < 300; ++i) {
      const unsigned what = rng() % 10;
      if (what < 6 || records.empty()) {
        const auto rec = RandomRecord();
        const std::int32_t ref = table->Insert(rec);
        ASSERT_EQ(ref == -1, UniqueTaken(rec, -1));
        if (ref != -1) records[ref] = rec;
        continue;
      }
      auto it = records.begin();
      std::advance(it, static_cast<long>(rng() % records.size()));
      const std::int32_t ref = it->first;
      if (what < 8) {
        table->Remove(ref);
        records.erase(it);
        continue;
      }
      // An update: the old keys go, the record is rewritten in place, the new keys come.
      const auto rec = RandomRecord();
      if (UniqueTaken(rec, ref)) continue;
      for (int x = 1; x < table->dict.IndexCount(); ++x)
        ASSERT_TRUE(QNTblDeleteKey(table->handles[static_cast<std::size_t>(x)], ref, table->KeyOf(x, it->second).data()));
      QNTblUpdateRecord(table->fx.file, ref, rec.data());
      for (int x = 1; x < table->dict.IndexCount(); ++x)
        ASSERT_TRUE(QNTblAddKey(table->handles[static_cast<std::size_t>(x)], ref, table->KeyOf(x, rec).data()));
      it->second = rec;
    }
    if (rollback) {
      table->Rollback();
      records = saved;
    } else {
      table->Commit();
    }
    const auto faults = table->Check();
    ASSERT_TRUE(faults.empty()) << "batch " << batch << ":\n" << Faults(faults);
    for (int x = 1; x < table->dict.IndexCount(); ++x) {
      ExpectIndexMatches(x);
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_GT(records.size(), 300u);
  EXPECT_GT(table->fx.Dword(qfhRecordCount), 0);
  EXPECT_GE(QNTblGetIndexInfo(table->fx.file, 2).NodeCount, 9);  // the tree is deeper than one level
}

// Requests of one long transaction put back to their savepoints at random: what a rolled-back
// request changed (records, keys of every index) is gone, what the others changed stays,
// through a cache that writes the transaction's changes early.
TEST_F(MixedKeys, RequestsPutBackToTheirSavepointsLeaveNothingOfThemselves) {
  table->Begin();
  for (int i = 0; i < 900; ++i) {
    TqnBufferManager::TRequest request(table->fx.bm);
    table->fx.bm.BeginSavepoint();
    const bool putBack = rng() % 4 == 0;
    std::int32_t changedRef = 0;
    std::vector<std::uint8_t> changed;
    bool removed = false;
    if (rng() % 3 != 0 || records.empty()) {
      const auto rec = RandomRecord();
      changedRef = table->Insert(rec);
      if (changedRef != -1) changed = rec;
    } else {
      auto it = records.begin();
      std::advance(it, static_cast<long>(rng() % records.size()));
      changedRef = it->first;
      table->Remove(changedRef);
      removed = true;
    }
    if (putBack) {
      table->fx.bm.RollbackToSavepoint();
      continue;
    }
    table->fx.bm.EndSavepoint();
    if (removed)
      records.erase(changedRef);
    else if (changedRef != -1)
      records[changedRef] = changed;
  }
  EXPECT_GT(table->fx.bm.Spills(), 0u);
  EXPECT_GT(records.size(), 150u);
  table->Commit();
  const auto faults = table->Check();
  ASSERT_TRUE(faults.empty()) << Faults(faults);
  for (int x = 1; x < table->dict.IndexCount(); ++x) {
    ExpectIndexMatches(x);
    if (HasFatalFailure()) return;
  }
  for (const auto& [ref, rec] : records) {
    auto back = table->NewRecord();
    QNTblReadRecord(table->fx.file, ref, back.data());
    EXPECT_EQ(back, rec);
  }
}

}  // namespace
}  // namespace tw::dbengine::testing

namespace tw::dbengine::testing {
namespace {

// Keys of the largest length (1024 bytes: nodes of three keys), nulls among them, through a
// cache of five pages, against the order of their bytes; every fourth batch is rolled back.
TEST(LargestKeys, KeepTheirOrderThroughSplitsMergesAndRollbacks) {
  for (std::int32_t blockSize : {4096, 8192}) {
    ScratchFolder folder;
    IndexedTable t(folder, [](TqnDataDictionary& d) {
      d.AddField("B", "", qftByteArray, 1023, 0, false);
      d.AddIndex("BYB", "", 0, {0}, true, true, false);
    }, blockSize);
    ASSERT_EQ(t.dict.IndexKeyLength(1), 1024);
    t.fx.bm.SetMaxPageCount(5);
    std::vector<std::pair<std::vector<std::uint8_t>, std::int32_t>> model;  // key, reference
    std::mt19937 rng(2);
    for (int batch = 0; batch < 6; ++batch) {
      t.Begin();
      const auto saved = model;
      for (int i = 0; i < 150; ++i) {
        if (rng() % 3 != 0 || model.empty()) {
          auto r = t.NewRecord();
          std::vector<std::uint8_t> b(1023, 0);
          b[0] = static_cast<std::uint8_t>(rng() % 4);
          b[1022] = static_cast<std::uint8_t>(rng() % 3);
          if (rng() % 9 != 0) t.dict.SetRecordField(0, r.data(), b.data());
          model.emplace_back(t.KeyOf(1, r), t.Insert(r));
        } else {
          const auto it = model.begin() + static_cast<long>(rng() % model.size());
          t.Remove(it->second);
          model.erase(it);
        }
      }
      if (batch % 4 == 3) {
        t.Rollback();
        model = saved;
      } else {
        t.Commit();
      }
      const auto faults = t.Check();
      ASSERT_TRUE(faults.empty()) << Faults(faults);
      auto expected = model;
      std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        const bool na = a.first[1023] & 1, nb = b.first[1023] & 1;  // null keys first
        if (na != nb) return na;
        if (!na)
          if (const int r = std::memcmp(a.first.data(), b.first.data(), 1023); r != 0) return r < 0;
        return static_cast<std::uint32_t>(a.second) < static_cast<std::uint32_t>(b.second);
      });
      TqnKeyPath path;
      QNInitKeyPath(path);
      std::int32_t ref = 0;
      std::vector<std::uint8_t> key(1024);
      std::size_t n = 0;
      while (QNTblNextKey(t.handles[1], ref, key.data(), path)) {
        ASSERT_LT(n, expected.size());
        ASSERT_EQ(ref, expected[n].second) << "forward at " << n;
        ASSERT_EQ(key, expected[n].first);
        ++n;
      }
      ASSERT_EQ(n, expected.size());
      QNInitKeyPath(path);
      while (QNTblPrevKey(t.handles[1], ref, nullptr, path)) {
        ASSERT_GT(n, 0u);
        --n;
        ASSERT_EQ(ref, expected[n].second) << "backward at " << n;
      }
      ASSERT_EQ(n, 0u);
    }
  }
}

// Records of the largest length (one to a block) for every block size: stored, deleted and
// reused without touching a neighbour.
TEST(LargestRecords, FillABlockEachAndReadBackWhole) {
  for (std::int32_t blockSize : {4096, 8192, 32768}) {
    ScratchFolder folder;
    IndexedTable t(folder, [blockSize](TqnDataDictionary& d) {
      d.AddField("ID", "", qftInt32, 0, 0, false);
      d.AddField("B", "", qftByteArray, blockSize - 36 - 4 - 1, 0, false);
      d.AddIndex("BYID", "", 0, {0}, true, false, false);
    }, blockSize);
    ASSERT_EQ(t.dict.RecordLength(), blockSize - 36);
    std::map<std::int32_t, std::vector<std::uint8_t>> records;
    std::mt19937 rng(1);
    t.Begin();
    for (int i = 0; i < 60; ++i) {
      auto r = t.NewRecord();
      const std::int32_t id = static_cast<std::int32_t>(rng() % 10);
      t.dict.SetRecordField(0, r.data(), reinterpret_cast<const std::uint8_t*>(&id));
      std::vector<std::uint8_t> b(static_cast<std::size_t>(t.dict.FieldLength(1)));
      for (auto& x : b) x = static_cast<std::uint8_t>(rng());
      t.dict.SetRecordField(1, r.data(), b.data());
      records[t.Insert(r)] = r;
      if (i % 3 == 2) {
        auto it = records.begin();
        std::advance(it, static_cast<long>(rng() % records.size()));
        t.Remove(it->first);
        records.erase(it);
      }
    }
    t.Commit();
    const auto faults = t.Check();
    ASSERT_TRUE(faults.empty()) << Faults(faults);
    for (const auto& [ref, r] : records) {
      auto back = t.NewRecord();
      QNTblReadRecord(t.fx.file, ref, back.data());
      EXPECT_EQ(back, r);
    }
  }
}

}  // namespace
}  // namespace tw::dbengine::testing
