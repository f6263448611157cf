// Field storage of every type, record and key layouts with their null bits, and the checks
// of building and validating a dictionary.
#include <gtest/gtest.h>

#include <cstring>

#include "dbengine/storage/tests/storage_test_util.h"

namespace tw::dbengine {
namespace {

using testing::ErrorOf;

struct StorageCase {
  int type;
  std::int32_t unitsIn, decimalsIn;
  std::int32_t length, units, decimals;
};

TEST(FieldStorage, EveryTypeHasItsLengthUnitsAndDecimals) {
  const StorageCase cases[] = {
      {qftBoolean, 7, 7, 1, 0, 0},       {qftChar, 7, 7, 1, 1, 0},          {qftWideChar, 7, 7, 2, 1, 0},
      {qftUInt8, 2, 7, 1, 2, 0},         {qftUInt8, 9, 0, 1, 3, 0},         {qftUInt16, 9, 1, 2, 5, 0},
      {qftUInt32, 11, 0, 4, 10, 0},      {qftInt8, -1, 0, 1, 3, 0},         {qftInt16, 4, 0, 2, 4, 0},
      {qftInt32, 10, 0, 4, 10, 0},       {qftAutoInc, 3, 3, 4, 10, 0},      {qftSingle, 7, 2, 4, 7, 2},
      {qftDouble, 15, 4, 8, 15, 4},      {qftExtended, 18, 6, 10, 18, 6},   {qftComp, 19, 0, 8, 19, 0},
      {qftCurrency, 12, 4, 8, 12, 4},    {qftDate, 5, 5, 4, 0, 0},          {qftTime, 5, 5, 4, 0, 0},
      {qftDateTime, 5, 5, 8, 0, 0},      {qftBlobMemo, 5, 5, 4, 0, 0},      {qftBlobTypedBinary, 1, 1, 4, 0, 0},
      {qftByteArray, 16, 3, 16, 16, 0},  {qftShortString, 20, 1, 21, 20, 0}, {qftShortStringLocale, 3, 0, 4, 3, 0},
      {qftZString, 10, 0, 11, 10, 0},    {qftZStringLocale, 10, 0, 11, 10, 0}, {qftWideZString, 10, 0, 22, 10, 0},
  };
  for (const StorageCase& c : cases) {
    std::int32_t u = c.unitsIn, d = c.decimalsIn, len = -1;
    QNFieldStorage(c.type, u, d, len);
    EXPECT_EQ(len, c.length) << "type " << c.type;
    EXPECT_EQ(u, c.units) << "type " << c.type;
    EXPECT_EQ(d, c.decimals) << "type " << c.type;
  }
}

TEST(FieldStorage, UnknownTypesAndImpossibleSizesAreRefused) {
  for (int type : {25, 30, 44, 51, 255, -1}) {
    std::int32_t u = 1, d = 0, len = 0;
    EXPECT_EQ(ErrorOf([&] { QNFieldStorage(type, u, d, len); }), 23637) << type;
  }
  TqnDataDictionary dict;
  // A short string cannot hold more than 255 characters, and no length may be negative.
  EXPECT_EQ(ErrorOf([&] { dict.AddField("S", "", qftShortString, 256, 0, false); }), 23650);
  EXPECT_EQ(ErrorOf([&] { dict.AddField("B", "", qftByteArray, -4, 0, false); }), 23650);
  EXPECT_EQ(dict.FieldCount(), 0);
}

TEST(DataDictionary, NewDictionaryHasFileZeroAndTheSequentialIndex) {
  TqnDataDictionary d(8192);
  EXPECT_EQ(d.FileCount(), 1);
  EXPECT_EQ(d.FieldCount(), 0);
  EXPECT_EQ(d.IndexCount(), 1);
  EXPECT_EQ(d.RecordLength(), 0);
  EXPECT_EQ(d.BlockSize(), 8192);
  EXPECT_EQ(d.FileExtension(0), "QND");
  EXPECT_EQ(d.FileDescriptor(0).Description, "Data/DataDict File");
  EXPECT_EQ(d.IndexDescriptor(0).Name, "Seq. Access Index");
  EXPECT_TRUE(d.IsUserKeyIndex(0));
  EXPECT_EQ(d.IndexKeyLength(0), 4);
  EXPECT_TRUE(d.IndexIsCaseInsensitive(0));
  EXPECT_EQ(ErrorOf([&] { d.CheckValid(); }), 23635);
  EXPECT_EQ(ErrorOf([] { TqnDataDictionary bad(5000); }), 23651);
}

TEST(DataDictionary, OffsetsRecordLengthAndNullBytes) {
  TqnDataDictionary d;
  d.AddField("A", "", qftInt32, 0, 0, false);
  d.AddField("B", "", qftBoolean, 0, 0, false);
  d.AddField("C", "", qftInt16, 0, 0, false);
  EXPECT_EQ(d.FieldOffset(0), 0);
  EXPECT_EQ(d.FieldOffset(1), 4);
  EXPECT_EQ(d.FieldOffset(2), 5);
  EXPECT_EQ(d.LogicalRecordLength(), 7);
  EXPECT_EQ(d.RecordLength(), 8);
  for (int i = 3; i < 9; ++i) d.AddField("F" + std::to_string(i), "", qftBoolean, 0, 0, false);
  EXPECT_EQ(d.RecordLength(), 13 + 2);  // nine fields need two null bytes
}

TEST(DataDictionary, AutoIncIsNeverRequiredAndUnitsAreCapped) {
  TqnDataDictionary d;
  d.AddField("N", "", qftUInt16, 9, 0, true);
  d.AddField("AUTO", "", qftAutoInc, 0, 0, true);
  EXPECT_EQ(d.FieldDescriptor(0).Units, 5);
  EXPECT_TRUE(d.FieldRequired(0));
  EXPECT_FALSE(d.FieldRequired(1));
  int n = -1;
  EXPECT_TRUE(d.HasAutoIncField(n));
  EXPECT_EQ(n, 1);
}

TEST(DataDictionary, BuildingRefusalsLeaveTheDictionaryUnchanged) {
  TqnDataDictionary d;
  d.SetTableName("PEOPLE");
  d.AddField("NAME", "", qftShortString, 3, 0, false);
  EXPECT_EQ(ErrorOf([&] { d.AddField("name", "", qftInt32, 0, 0, false); }), 23653);
  EXPECT_EQ(ErrorOf([&] { d.AddFile("x", "A-B", 4096, 1); }), 23646);
  EXPECT_EQ(ErrorOf([&] { d.AddFile("x", "ABCD", 4096, 1); }), 23646);
  EXPECT_EQ(ErrorOf([&] { d.AddFile("x", "IDX", 1000, 1); }), 23651);
  EXPECT_EQ(ErrorOf([&] { d.AddFile("x", "DAT", 4096, 0); }), 23648);
  EXPECT_EQ(ErrorOf([&] { d.AddFile("x", "qnd", 4096, 1); }), 23647);
  EXPECT_EQ(d.AddFile("blobs", "QNB", 4096, 2), 1);
  EXPECT_EQ(d.BlobFileNumber(), 1);
  EXPECT_EQ(ErrorOf([&] { d.AddFile("more blobs", "QNC", 4096, 2); }), 23642);
  EXPECT_EQ(ErrorOf([&] { d.AddIndex("I", "", 5, {0}, false, true, false); }), 23644);
  EXPECT_EQ(ErrorOf([&] { d.AddIndex("I", "", 0, {3}, false, true, false); }), 23636);
  EXPECT_EQ(ErrorOf([&] { d.AddUserIndex("U", "", 0, 1025, false, true, false); }), 23652);
  EXPECT_EQ(d.FileCount(), 2);
  EXPECT_EQ(d.IndexCount(), 1);
  EXPECT_EQ(d.FieldCount(), 1);
  EXPECT_EQ(ErrorOf([&] { d.FieldDescriptor(1); }), 23632);
  EXPECT_EQ(ErrorOf([&] { d.IndexDescriptor(-1); }), 23632);
  EXPECT_EQ(ErrorOf([&] { d.FileDescriptor(2); }), 23632);
}

TEST(DataDictionary, BuiltDictionaryRefusesChanges) {
  TqnDataDictionary d;
  d.AddField("A", "", qftInt32, 0, 0, false);
  d.SetBuilt(true);
  EXPECT_EQ(ErrorOf([&] { d.AddField("B", "", qftInt32, 0, 0, false); }), 23640);
  EXPECT_EQ(ErrorOf([&] { d.AddFile("x", "IDX", 4096, 1); }), 23640);
  EXPECT_EQ(ErrorOf([&] { d.SetIsEncrypted(true); }), 23640);
  TqnDataDictionary other;
  EXPECT_EQ(ErrorOf([&] { d.Assign(&other); }), 23640);
}

TEST(DataDictionary, CompositeKeyLayoutAndNullBits) {
  TqnDataDictionary d;
  d.AddField("S", "", qftShortString, 3, 0, false);  // length 4
  d.AddField("I", "", qftInt16, 0, 0, false);        // length 2
  d.AddIndex("SI", "", 0, {0, 1}, true, true, false);
  EXPECT_EQ(d.IndexKeyLength(1), 7);

  std::vector<std::uint8_t> rec(static_cast<std::size_t>(d.RecordLength()));
  d.InitRecord(rec.data());
  EXPECT_TRUE(d.IsRecordFieldNull(0, rec.data()));
  EXPECT_EQ(rec.back(), 0xFF);
  const std::uint8_t s[4] = {3, 'a', 'b', 'c'};
  const std::uint8_t i[2] = {0x34, 0x12};
  d.SetRecordField(1, rec.data(), i);
  std::vector<std::uint8_t> key(7, 0xAA);
  d.ExtractKey(1, rec.data(), key.data());
  // Only the integer (index field 1) is set: its bytes at 4..5, its null bit cleared.
  EXPECT_EQ(std::vector<std::uint8_t>(key.begin(), key.begin() + 4), std::vector<std::uint8_t>(4, 0));
  EXPECT_EQ(key[4], 0x34);
  EXPECT_EQ(key[5], 0x12);
  EXPECT_EQ(key[6], 0xFF & ~0x02);
  EXPECT_TRUE(TqnDataDictionary::IsKeyFieldNull(key.data(), 7, 2, 0));
  EXPECT_FALSE(TqnDataDictionary::IsKeyFieldNull(key.data(), 7, 2, 1));

  d.SetRecordField(0, rec.data(), s);
  d.ExtractKey(1, rec.data(), key.data());
  EXPECT_EQ(std::memcmp(key.data(), s, 4), 0);
  EXPECT_EQ(key[6], 0xFF & ~0x03);

  // Making a field null again zeroes its bytes.
  d.SetRecordField(0, rec.data(), nullptr);
  EXPECT_TRUE(d.IsRecordFieldNull(0, rec.data()));
  EXPECT_EQ(rec[1], 0);
  bool isNull = false;
  std::uint8_t out[2] = {};
  d.GetRecordField(1, rec.data(), out, isNull);
  EXPECT_FALSE(isNull);
  EXPECT_EQ(out[1], 0x12);
  d.GetRecordField(1, nullptr, out, isNull);
  EXPECT_TRUE(isNull);
}

TEST(DataDictionary, NineIndexFieldsUseTwoNullBytes) {
  TqnDataDictionary d;
  std::vector<std::int32_t> fields;
  for (int i = 0; i < 9; ++i) {
    d.AddField("F" + std::to_string(i), "", qftBoolean, 0, 0, false);
    fields.push_back(i);
  }
  d.AddIndex("ALL", "", 0, fields, false, true, false);
  EXPECT_EQ(d.IndexKeyLength(1), 9 + 2);
  std::vector<std::uint8_t> key(11);
  TqnDataDictionary::InitKey(key.data(), 11, 9);
  EXPECT_EQ(key[8], 0);
  EXPECT_EQ(key[9], 0xFF);
  EXPECT_EQ(key[10], 0xFF);
  TqnDataDictionary::SetKeyFieldNonNull(key.data(), 11, 9, 8);
  EXPECT_EQ(key[10], 0xFE);
  EXPECT_TRUE(TqnDataDictionary::IsKeyFieldNull(nullptr, 11, 9, 0));
}

TEST(DataDictionary, RequiredFieldsAndNames) {
  TqnDataDictionary d;
  d.AddField("NAME", "", qftZString, 10, 0, true);
  d.AddField("AGE", "", qftUInt8, 3, 0, false);
  std::vector<std::uint8_t> rec(static_cast<std::size_t>(d.RecordLength()));
  d.InitRecord(rec.data());
  EXPECT_FALSE(d.CheckRequiredFields(rec.data()));
  EXPECT_FALSE(d.CheckRequiredFields(nullptr));
  const std::uint8_t name[11] = {'x'};
  d.SetRecordField(0, rec.data(), name);
  EXPECT_TRUE(d.CheckRequiredFields(rec.data()));
  EXPECT_EQ(d.GetFieldFromName("name"), 0);
  EXPECT_EQ(d.GetFieldFromName("Age"), 1);
  EXPECT_EQ(d.GetFieldFromName("nope"), -1);
  EXPECT_EQ(d.GetIndexFromName("seq. access index"), 0);
}

TEST(DataDictionary, CheckValidRecordMustFitItsBlock) {
  TqnDataDictionary ok;
  ok.AddField("A", "", qftByteArray, 4059, 0, false);  // 4059 + 1 null byte = 4060
  EXPECT_EQ(ErrorOf([&] { ok.CheckValid(); }), 0);
  TqnDataDictionary tooLong;
  tooLong.AddField("A", "", qftByteArray, 4060, 0, false);
  EXPECT_EQ(ErrorOf([&] { tooLong.CheckValid(); }), 23638);
}

TEST(DataDictionary, IndexDescriptorValidity) {
  TqnDataDictionary d;
  d.AddField("A", "", qftInt32, 0, 0, false);
  d.AddField("BIG", "", qftByteArray, 1023, 0, false);
  TqnIndexDescriptor x;
  x.Name = "X";
  x.FieldCount = 1;
  x.FieldNumbers[0] = 0;
  EXPECT_TRUE(d.IsIndexDescValid(x));
  x.FieldNumbers[0] = 1;  // 1023 + 1 null byte = 1024
  EXPECT_TRUE(d.IsIndexDescValid(x));
  x.FieldCount = 2;
  x.FieldNumbers[1] = 0;
  EXPECT_FALSE(d.IsIndexDescValid(x));
  x.FieldCount = 0;
  EXPECT_FALSE(d.IsIndexDescValid(x));
  x.FieldCount = -1;
  x.KeyLength = 0;
  EXPECT_FALSE(d.IsIndexDescValid(x));
  x.KeyLength = 8;
  EXPECT_TRUE(d.IsIndexDescValid(x));
  x.Name.clear();
  EXPECT_FALSE(d.IsIndexDescValid(x));
  EXPECT_EQ(ErrorOf([&] { d.AddIndex("TOOLONG", "", 0, {0, 1}, false, true, false); }), 23652);
}

TEST(DataDictionary, AssignCopiesEverythingAndRemoveIndexRenumbers) {
  TqnDataDictionary src;
  src.SetIsEncrypted(true);
  src.AddFile("blobs", "QNB", 4096, 2);
  TqnVCheckDescriptor v;
  v.HasDefault = true;
  v.Default[0] = 42;
  v.Picture = "###";
  src.AddField("A", "", qftUInt8, 3, 0, true, &v);
  src.AddField("B", "", qftInt32, 0, 0, false);
  src.AddIndex("IA", "", 0, {0}, false, true, false);
  src.AddUserIndex("U", "", 0, 12, true, false, true);
  src.AddIndex("IB", "", 0, {1}, false, true, false);

  TqnDataDictionary copy;
  copy.Assign(&src);
  EXPECT_TRUE(copy.IsEncrypted());
  EXPECT_EQ(copy.FileCount(), 2);
  EXPECT_EQ(copy.BlobFileNumber(), 1);
  EXPECT_EQ(copy.FieldCount(), 2);
  ASSERT_NE(copy.FieldVCheck(0), nullptr);
  EXPECT_EQ(copy.FieldVCheck(0)->Default[0], 42);
  EXPECT_EQ(copy.FieldVCheck(0)->Picture, "###");
  EXPECT_EQ(copy.IndexCount(), 4);
  EXPECT_TRUE(copy.IsUserKeyIndex(2));
  EXPECT_EQ(copy.IndexKeyLength(2), 12);

  copy.RemoveIndex(2);
  EXPECT_EQ(copy.IndexCount(), 3);
  EXPECT_EQ(copy.GetIndexFromName("IB"), 2);
  EXPECT_EQ(copy.IndexDescriptor(2).Number, 2);
  copy.RemoveIndex(17);  // out of range: nothing
  EXPECT_EQ(copy.IndexCount(), 3);

  TPersistent notADictionary;
  EXPECT_EQ(ErrorOf([&] { copy.Assign(&notADictionary); }), 23634);
}

TEST(DataDictionary, IndexLimit) {
  TqnDataDictionary d;
  d.AddField("A", "", qftInt32, 0, 0, false);
  for (int i = 1; i < kQnMaxIndexes; ++i) d.AddIndex("I" + std::to_string(i), "", 0, {0}, true, true, false);
  EXPECT_EQ(d.IndexCount(), 256);
  EXPECT_EQ(ErrorOf([&] { d.AddIndex("ONE_MORE", "", 0, {0}, true, true, false); }), 23602);
  EXPECT_EQ(ErrorOf([&] { d.CheckValid(); }), 0);
}

}  // namespace
}  // namespace tw::dbengine
