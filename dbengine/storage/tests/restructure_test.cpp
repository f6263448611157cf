// Field maps, field conversion and rebuild statuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "dbengine/storage/field_convert.h"
#include "dbengine/storage/field_map.h"
#include "dbengine/storage/rebuild_status.h"

namespace tw::dbengine {
namespace {

template <typename S, typename T>
int Convert(S s, int st, int tt, T& out) {
  std::uint8_t src[16] = {};
  std::memcpy(src, &s, sizeof(S));
  std::uint8_t dst[16] = {};
  const int r = QNConvertFieldValue(src, dst, st, sizeof(S), tt, sizeof(T));
  std::memcpy(&out, dst, sizeof(T));
  return r;
}

TEST(FieldConversion, NumbersWidenAndScale) {
  std::int16_t i16 = 0;
  EXPECT_EQ(Convert<std::uint8_t>(200, qftUInt8, qftInt16, i16), 0);
  EXPECT_EQ(i16, 200);
  std::int32_t i32 = 0;
  EXPECT_EQ(Convert<std::int8_t>(-3, qftInt8, qftInt32, i32), 0);
  EXPECT_EQ(i32, -3);
  std::int64_t cur = 0;
  EXPECT_EQ(Convert<double>(1.5, qftDouble, qftCurrency, cur), 0);
  EXPECT_EQ(cur, 15000);
  EXPECT_EQ(Convert<std::int16_t>(-7, qftInt16, qftCurrency, cur), 0);
  EXPECT_EQ(cur, -70000);
  long double ext = 0;
  EXPECT_EQ(Convert<std::int64_t>(123456, qftCurrency, qftExtended, ext), 0);
  EXPECT_EQ(ext, 12.3456L);
  std::int64_t comp = 0;
  EXPECT_EQ(Convert<std::uint16_t>(65535, qftUInt16, qftComp, comp), 0);
  EXPECT_EQ(comp, 65535);
  std::uint32_t u32 = 0;
  EXPECT_EQ(Convert<std::int16_t>(5, qftInt16, qftUInt32, u32), kQnResInvalidFieldTransformation);
  EXPECT_EQ(Convert<double>(1.0, qftDouble, qftSingle, u32), kQnResInvalidFieldTransformation);
}

TEST(FieldConversion, ValuesWithoutAMeaningInTheTargetAreRefused) {
  std::int64_t cur = 0;
  EXPECT_EQ(Convert<double>(1e300, qftDouble, qftCurrency, cur), kQnResInvalidFieldTransformation);
  EXPECT_EQ(Convert<double>(std::numeric_limits<double>::quiet_NaN(), qftDouble, qftCurrency, cur),
            kQnResInvalidFieldTransformation);
  EXPECT_EQ(Convert<float>(-std::numeric_limits<float>::infinity(), qftSingle, qftCurrency, cur),
            kQnResInvalidFieldTransformation);
  EXPECT_EQ(Convert<double>(9.2e14, qftDouble, qftCurrency, cur), 0);
  // A nil target gets the same answer; a nil source checks only the pair of types.
  const double huge = 1e300;
  EXPECT_EQ(QNConvertFieldValue(&huge, nullptr, qftDouble, 8, qftCurrency, 8), kQnResInvalidFieldTransformation);
  EXPECT_EQ(QNConvertFieldValue(nullptr, nullptr, qftUInt8, 1, qftInt16, 2), 0);
}

TEST(FieldConversion, UnsignedValuesAboveTheSignedRangeStayPositive) {
  double d = 0;
  EXPECT_EQ(Convert<std::uint32_t>(2147483647u, qftUInt32, qftDouble, d), 0);
  EXPECT_EQ(d, 2147483647.0);
  EXPECT_EQ(Convert<std::uint32_t>(3000000000u, qftUInt32, qftDouble, d), 0);
  EXPECT_EQ(d, 3000000000.0);
  std::int64_t cur = 0;
  EXPECT_EQ(Convert<std::uint32_t>(4294967295u, qftAutoInc, qftCurrency, cur), 0);
  EXPECT_EQ(cur, 42949672950000LL);
  std::int64_t comp = 0;
  EXPECT_EQ(Convert<std::uint32_t>(2147483648u, qftUInt32, qftComp, comp), 0);
  EXPECT_EQ(comp, 2147483648LL);
}

TEST(FieldConversion, ASourceShorterThanItsTypeIsRefusedUnread) {
  // The value sits at the very end of an allocation, so a read past it is caught.
  std::vector<std::uint8_t> tail(2, 0x11);
  double d = -1;
  EXPECT_EQ(QNConvertFieldValue(tail.data(), &d, qftInt32, 2, qftDouble, 8), kQnResInvalidFieldTransformation);
  EXPECT_EQ(QNConvertFieldValue(tail.data(), &d, qftDateTime, 2, qftDate, 4), kQnResInvalidFieldTransformation);
  EXPECT_EQ(QNConvertFieldValue(tail.data(), &d, qftCurrency, -1, qftCurrency, 8), kQnResInvalidFieldTransformation);
  EXPECT_EQ(d, -1);
  std::int32_t i = 0;
  EXPECT_EQ(QNConvertFieldValue(tail.data(), &i, qftInt16, 2, qftInt32, 4), 0);
  EXPECT_EQ(i, 0x1111);
}

TEST(FieldConversion, TextsConvertBetweenKindsAndAreCut) {
  std::uint8_t src[11] = {5, 'H', 'e', 'l', 'l', 'o'};
  std::uint8_t z[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(QNConvertFieldValue(src, z, qftShortString, 11, qftZString, 4), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(z)), "Hel");
  std::uint8_t w[8] = {};
  std::uint8_t euro[4] = {1, 0x80};
  EXPECT_EQ(QNConvertFieldValue(euro, w, qftShortString, 4, qftWideZString, 8), 0);
  EXPECT_EQ(w[0] | (w[1] << 8), 0x20AC);
  std::uint8_t back[4] = {};
  EXPECT_EQ(QNConvertFieldValue(w, back, qftWideZString, 8, qftShortStringLocale, 4), 0);
  EXPECT_EQ(back[0], 1);
  EXPECT_EQ(back[1], 0x80);
  std::uint8_t b = 1;
  std::uint8_t yn[2] = {};
  EXPECT_EQ(QNConvertFieldValue(&b, yn, qftBoolean, 1, qftShortString, 2), 0);
  EXPECT_EQ(yn[0], 1);
  EXPECT_EQ(yn[1], 'Y');
  std::uint8_t c = 0;
  EXPECT_EQ(QNConvertFieldValue(src, &c, qftShortString, 11, qftChar, 1), 0);
  EXPECT_EQ(c, 'H');
}

TEST(FieldConversion, DatesAndTimesBecomeDateTimesAndBack) {
  double dt = 0;
  EXPECT_EQ(Convert<std::int32_t>(693594 + 2, qftDate, qftDateTime, dt), 0);
  EXPECT_EQ(dt, 2.0);
  EXPECT_EQ(Convert<std::int32_t>(43200000, qftTime, qftDateTime, dt), 0);
  EXPECT_EQ(dt, 0.5);
  std::int32_t v = 0;
  EXPECT_EQ(Convert<double>(10.75, qftDateTime, qftDate, v), 0);
  EXPECT_EQ(v, 693604);
  EXPECT_EQ(Convert<double>(10.75, qftDateTime, qftTime, v), 0);
  EXPECT_EQ(v, 64800000);
  EXPECT_EQ(Convert<double>(1e300, qftDateTime, qftDate, v), kQnResInvalidFieldTransformation);
}

TEST(FieldConversion, OnlyTheListedPairsAreSupported) {
  EXPECT_TRUE(QNIsFieldConversionSupported(qftBlobMemo, qftBlobGraphic));
  EXPECT_FALSE(QNIsFieldConversionSupported(qftBlobMemo, qftShortString));
  EXPECT_FALSE(QNIsFieldConversionSupported(qftComp, qftCurrency));
  EXPECT_FALSE(QNIsFieldConversionSupported(qftDouble, qftSingle));
  EXPECT_TRUE(QNIsFieldConversionSupported(qftUInt8, qftInt16));
  EXPECT_FALSE(QNIsFieldConversionSupported(qftInt16, qftUInt32));
  EXPECT_FALSE(QNIsFieldConversionSupported(qftByteArray, qftShortString));
}

// Every pair of type values against the conversion table written out here; each supported pair
// converts random values of every length the types take into a target of exactly its length
// (a byte written past it is caught), with the same answer without a target.
TEST(FieldConversion, EveryPairOfTypesAnswersByTheTableAndStaysInsideItsTarget) {
  const std::vector<int> text = {1, 2, 46, 47, 48, 49, 50};
  const std::vector<int> numbers = {10, 11, 12, 13, 14};
  std::map<int, std::vector<int>> table = {
      {0, {0, 1, 2, 3, 6, 4, 7, 5, 8, 46, 47, 48, 49, 50}},
      {3, {3, 4, 7, 5, 8, 9}}, {4, {4, 5, 8, 9}}, {5, {5, 9}}, {9, {5, 9}},
      {6, {6, 7, 8}}, {7, {7, 8}}, {8, {8}},
      {10, {10, 11, 12, 14}}, {11, {11, 12, 14}}, {12, {12, 14}}, {13, {13}}, {14, {14, 12}},
      {15, {15, 17}}, {16, {16, 17}}, {17, {15, 16, 17}}, {45, {45}}};
  for (int t : {3, 4, 5, 9, 6, 7, 8})
    table[t].insert(table[t].end(), numbers.begin(), numbers.end());
  for (int t : text) table[t] = text;
  for (int t = 18; t <= 24; ++t) table[t] = {18, 19, 20, 21, 22, 23, 24};
  auto lengths = [](int type) -> std::vector<std::int32_t> {
    if (type == 45) return {1, 7, 256};
    if (type >= 46 && type <= 49) return {2, 6, 256};
    if (type == 50) return {4, 12, 512};
    std::int32_t u = 0, d = 0, len = 0;
    QNFieldStorage(type, u, d, len);
    return {len};
  };
  std::mt19937 rng(3);
  for (int st = 0; st < 256; ++st) {
    for (int tt = 0; tt < 256; ++tt) {
      const auto row = table.find(st);
      const bool listed = row != table.end() && std::find(row->second.begin(), row->second.end(), tt) != row->second.end();
      ASSERT_EQ(QNIsFieldConversionSupported(st, tt), listed) << st << " to " << tt;
      if (!listed) {
        std::uint8_t any[16] = {};
        EXPECT_EQ(QNConvertFieldValue(any, nullptr, st, 16, tt, 16), kQnResInvalidFieldTransformation);
        continue;
      }
      for (std::int32_t sl : lengths(st))
        for (std::int32_t tl : lengths(tt))
          for (int round = 0; round < 4; ++round) {
            std::vector<std::uint8_t> source(static_cast<std::size_t>(sl));
            for (auto& b : source) b = static_cast<std::uint8_t>(rng());
            if (round == 0) std::fill(source.begin(), source.end(), 0xFF);
            std::vector<std::uint8_t> target(static_cast<std::size_t>(tl));
            const int r = QNConvertFieldValue(source.data(), target.data(), st, sl, tt, tl);
            EXPECT_EQ(QNConvertFieldValue(source.data(), nullptr, st, sl, tt, tl), r) << st << " to " << tt;
            EXPECT_TRUE(r == 0 || r == kQnResInvalidFieldTransformation) << r;
          }
    }
  }
}

// Values that every target can hold come back unchanged from a conversion and its way back.
TEST(FieldConversion, ValuesSurviveTheWayThereAndBack) {
  for (std::int32_t day : {1, 693594, 700000, 2958465}) {
    double dt = 0;
    ASSERT_EQ(Convert(day, qftDate, qftDateTime, dt), 0);
    std::int32_t back = 0;
    ASSERT_EQ(Convert(dt, qftDateTime, qftDate, back), 0);
    EXPECT_EQ(back, day);
  }
  for (std::int32_t ms : {0, 1, 43200000, 86399999}) {
    double dt = 0;
    ASSERT_EQ(Convert(ms, qftTime, qftDateTime, dt), 0);
    std::int32_t back = -1;
    ASSERT_EQ(Convert(dt, qftDateTime, qftTime, back), 0);
    EXPECT_EQ(back, ms);
  }
  for (std::int64_t cy : {std::int64_t{-92233720368547758}, std::int64_t{-1}, std::int64_t{15000}, std::int64_t{92233720368547758}}) {
    long double x = 0;
    std::uint8_t ext[16] = {};
    std::uint8_t src[8];
    std::memcpy(src, &cy, 8);
    ASSERT_EQ(QNConvertFieldValue(src, ext, qftCurrency, 8, qftExtended, 10), 0);
    std::memcpy(&x, ext, 10);
    std::int64_t back = 0;
    std::uint8_t out[8] = {};
    ASSERT_EQ(QNConvertFieldValue(ext, out, qftExtended, 10, qftCurrency, 8), 0);
    std::memcpy(&back, out, 8);
    EXPECT_EQ(back, cy);
  }
  // Text through every other text type of room enough, Windows-1252 letters included.
  const std::string word = "Gr\xFC\xDF" "e \x80";
  for (int via : {46, 47, 48, 49, 50}) {
    std::uint8_t src[32] = {static_cast<std::uint8_t>(word.size())};
    std::memcpy(src + 1, word.data(), word.size());
    std::uint8_t mid[64] = {};
    std::uint8_t back[32] = {};
    ASSERT_EQ(QNConvertFieldValue(src, mid, qftShortString, 21, via, via == 50 ? 42 : 21), 0);
    ASSERT_EQ(QNConvertFieldValue(mid, back, via, via == 50 ? 42 : 21, qftShortString, 21), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back + 1), back[0]), word) << "via " << via;
  }
}

class FieldMaps : public ::testing::Test {
 protected:
  void SetUp() override {
    oldDict.AddField("ID", "", qftInt32, 0, 0, true);
    oldDict.AddField("NAME", "", qftShortString, 20, 0, false);
    newDict.AddField("KEY", "", qftInt32, 0, 0, true);
    newDict.AddField("Name", "", qftShortString, 30, 0, false);
  }
  TqnDataDictionary oldDict;
  TqnDataDictionary newDict;
};

TEST_F(FieldMaps, LinesMapOldFieldsToNewOnes) {
  TqnSrFieldMapList map(oldDict, newDict);
  EXPECT_EQ(map.AddStringList({"KEY=ID", "name"}), 0);
  ASSERT_EQ(map.Count(), 2);
  TqnFieldMapSide s;
  TqnFieldMapSide t;
  ASSERT_TRUE(map.GetSourceField(0, s));
  ASSERT_TRUE(map.GetTargetField(0, t));
  EXPECT_EQ(s.FieldName, "ID");
  EXPECT_EQ(t.FieldName, "KEY");
  ASSERT_TRUE(map.GetTargetField(1, t));
  EXPECT_EQ(t.FieldNumber, 1);
  EXPECT_EQ(t.Offset, 4);
  EXPECT_EQ(t.Length, 31);
  EXPECT_FALSE(map.GetSourceField(2, s));
}

TEST_F(FieldMaps, AMissingFieldIsReportedAndAddsNothing) {
  TqnSrFieldMapList map(oldDict, newDict);
  EXPECT_EQ(map.AddStringList({"NOPE=ID", "KEY=ID", "KEY=GONE"}), kQnResInvalidFieldName);
  EXPECT_EQ(map.Count(), 1);
  EXPECT_EQ(map.Add("", "NAME"), 0);
}

class RebuildStatuses : public ::testing::Test {};

TEST_F(RebuildStatuses, ProgressIsReportedInPercentAndAFinishedRebuildOnce) {
  TqnSrRebuildStatusList list;
  const std::uint32_t id = list.AddRebuild(7, 100);
  ASSERT_TRUE(list.UpdateRebuildStatus(id, 25, 20, 0));
  TqnRebuildStatusRecord s;
  ASSERT_TRUE(list.GetRebuildStatus(id, s));
  EXPECT_EQ(s[rsPercentDone], 25u);
  EXPECT_EQ(s[rsRecordsWritten], 20u);
  list.MarkRebuildStatusFinished(id);
  EXPECT_TRUE(list.GetRebuildStatus(id, s));
  EXPECT_EQ(s[rsFinished], 1u);
  EXPECT_FALSE(list.GetRebuildStatus(id, s));
}

TEST_F(RebuildStatuses, LargeCountsAndEmptyTablesDoNotOverflowOrDivideByZero) {
  TqnSrRebuildStatusList list;
  const std::uint32_t big = list.AddRebuild(1, 4000000000u);
  list.UpdateRebuildStatus(big, 2000000000u, 0, 0);
  TqnRebuildStatusRecord s;
  list.GetRebuildStatus(big, s);
  EXPECT_EQ(s[rsPercentDone], 50u);
  const std::uint32_t empty = list.AddRebuild(1, 0);
  list.UpdateRebuildStatus(empty, 10, 10, 0);
  list.GetRebuildStatus(empty, s);
  EXPECT_EQ(s[rsPercentDone], 0u);
  const std::uint32_t odd = list.AddRebuild(2, 50);
  list.UpdateRebuildStatus(odd, 20000000u, 0, 0);  // more read than announced
  list.DeleteClient(1);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_FALSE(list.GetRebuildStatus(big, s));
  EXPECT_TRUE(list.GetRebuildStatus(odd, s));
}

}  // namespace
}  // namespace tw::dbengine
