// Field maps, field conversion and rebuild statuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
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
