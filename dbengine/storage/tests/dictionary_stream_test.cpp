// The dictionary's byte stream: exact encodings, round trips, and damaged streams.
#include <gtest/gtest.h>

#include "dbengine/storage/tests/largest_dictionary.h"
#include "dbengine/storage/tests/storage_test_util.h"
#include "platform/classes/filer.h"
#include "platform/classes/streams.h"

namespace tw::dbengine {
namespace {

using testing::ErrorOf;

std::string Bytes(TqnDataDictionary& d) {
  TMemoryStream ms;
  d.WriteToStream(ms);
  return ms.Bytes();
}

void ReadBytes(TqnDataDictionary& d, const std::string& bytes) {
  TMemoryStream ms;
  ms.WriteBuffer(bytes);
  ms.SetPosition(0);
  d.ReadFromStream(ms);
}

TEST(DictionaryStream, MinimalDictionaryBytes) {
  TqnDataDictionary d;
  d.AddField("ID", "", qftInt32, 0, 0, true);
  const std::string expected = std::string("\x08", 1) +                         // not encrypted
                               std::string("\x02\x01", 2) +                     // one file
                               std::string("\x06\x12") + "Data/DataDict File" +  // description
                               std::string("\x06\x03") + "QND" +                // extension
                               std::string("\x03\x00\x10", 3) +                 // 4096
                               std::string("\x02\x00", 2) +                     // type 0
                               std::string("\x02\x01", 2) +                     // one field
                               std::string("\x06\x02") + "ID" + std::string("\x06\x00", 2) +
                               std::string("\x02\x00\x02\x00\x02\x00\x02\x04\x02\x08", 10) +  // units..type
                               std::string("\x09\x08", 2) +                     // required, no check
                               std::string("\x02\x04", 2) +                     // logical length 4
                               std::string("\x02\x01", 2);                      // index count 1
  EXPECT_EQ(Bytes(d), expected);
}

TEST(DictionaryStream, IntegerTagsAndValidityCheckBytes) {
  TqnDataDictionary d;
  for (int i = 0; i < 300; ++i) d.AddField("F" + std::to_string(i), "", qftBoolean, 0, 0, false);
  TqnVCheckDescriptor v;
  v.HasDefault = true;
  v.Default[0] = 0x77;
  v.Default[1] = 0x66;
  d.AddField("W", "", qftInt16, 0, 0, false, &v);
  d.AddUserIndex("U", "", 0, 4, false, true, false);
  const std::string b = Bytes(d);
  // The field count 301 as a 16-bit integer.
  EXPECT_NE(b.find(std::string("\x03\x2D\x01", 3)), std::string::npos);
  // The checked field: required False, check True, picture "", 8, 8, 9, then two raw bytes.
  EXPECT_NE(b.find(std::string("\x08\x09\x06\x00\x08\x08\x09\x77\x66", 9)), std::string::npos);
  // The user key index's field count -1 as an 8-bit integer, no field numbers after it.
  EXPECT_NE(b.find(std::string("\x02\xFF\x08\x09\x08", 5)), std::string::npos);
}

// A field longer than a validity buffer stores its value's first 256 bytes and zeros; the
// stored dictionary must read back, or the table could never be opened again.
TEST(DictionaryStream, ValidityValuesOfLongFieldsRoundTrip) {
  TqnDataDictionary d;
  TqnVCheckDescriptor v;
  v.HasMinimum = v.HasDefault = true;
  v.Minimum.fill(0x41);
  v.Default.fill(0x5A);
  d.AddField("BYTES", "", qftByteArray, 1000, 0, false, &v);
  d.AddField("AFTER", "", qftInt16, 0, 0, true);
  TqnDataDictionary r;
  ReadBytes(r, Bytes(d));
  ASSERT_EQ(r.FieldCount(), 2);
  ASSERT_NE(r.FieldVCheck(0), nullptr);
  EXPECT_TRUE(r.FieldVCheck(0)->HasDefault);
  EXPECT_FALSE(r.FieldVCheck(0)->HasMaximum);
  EXPECT_EQ(r.FieldVCheck(0)->Minimum[255], 0x41);
  EXPECT_EQ(r.FieldVCheck(0)->Default[0], 0x5A);
  EXPECT_TRUE(r.FieldRequired(1));
  EXPECT_EQ(Bytes(r), Bytes(d));
}

TEST(DictionaryStream, RoundTripKeepsEverything) {
  TqnDataDictionary d(16384);
  d.SetIsEncrypted(true);
  d.AddFile("index file", "QNX", 16384, 1);
  d.AddFile("blobs", "QNB", 8192, 2);
  TqnVCheckDescriptor v;
  v.HasMinimum = v.HasMaximum = true;
  v.Minimum[0] = 1;
  v.Maximum[0] = 9;
  v.Picture = "#";
  d.AddField("A", "first", qftUInt8, 1, 0, true, &v);
  d.AddField("NAME", "", qftShortStringLocale, 40, 0, false);
  d.AddField("MEMO", "", qftBlobMemo, 0, 0, false);
  d.AddField("PRICE", "", qftCurrency, 10, 2, false);
  d.AddIndex("BYNAME", "names", 1, {1, 0}, true, false, true);
  d.AddUserIndex("USER", "", 1, 30, false, true, false);

  TqnDataDictionary r;
  ReadBytes(r, Bytes(d));
  EXPECT_TRUE(r.IsEncrypted());
  EXPECT_EQ(r.FileCount(), 3);
  EXPECT_EQ(r.BlobFileNumber(), 2);
  EXPECT_EQ(r.FileBlockSize(2), 8192);
  EXPECT_EQ(r.FieldCount(), 4);
  EXPECT_EQ(r.RecordLength(), d.RecordLength());
  EXPECT_EQ(r.FieldDescriptor(0).Description, "first");
  ASSERT_NE(r.FieldVCheck(0), nullptr);
  EXPECT_TRUE(r.FieldVCheck(0)->HasMaximum);
  EXPECT_EQ(r.FieldVCheck(0)->Maximum[0], 9);
  EXPECT_EQ(r.FieldDescriptor(3).Decimals, 2);
  EXPECT_EQ(r.IndexCount(), 3);
  EXPECT_EQ(r.IndexDescriptor(1).FieldNumbers[0], 1);
  EXPECT_FALSE(r.IndexIsAscending(1));
  EXPECT_TRUE(r.IndexIsCaseInsensitive(1));
  EXPECT_EQ(r.IndexKeyLength(1), d.IndexKeyLength(1));
  EXPECT_TRUE(r.IsUserKeyIndex(2));
  EXPECT_EQ(r.IndexDescriptor(0).Name, "Seq. Access Index");
  EXPECT_EQ(Bytes(r), Bytes(d));
}

TEST(DictionaryStream, WriteChecksValidityFirst) {
  TqnDataDictionary d;
  d.AddField("A", "", qftByteArray, 4060, 0, false);
  TMemoryStream ms;
  EXPECT_EQ(ErrorOf([&] { d.WriteToStream(ms); }), 23638);
  EXPECT_EQ(ms.Size(), 0);
}

TEST(DictionaryStream, TruncatedStreamsRaiseAndLeaveNothingBehind) {
  TqnDataDictionary d;
  d.AddField("ID", "", qftInt32, 0, 0, true);
  d.AddIndex("BYID", "", 0, {0}, false, true, false);
  const std::string full = Bytes(d);
  for (std::size_t n = 0; n < full.size(); ++n) {
    TqnDataDictionary r;
    bool raised = false;
    try {
      ReadBytes(r, full.substr(0, n));
    } catch (const tw::Exception&) {
      raised = true;
    }
    EXPECT_TRUE(raised) << n;
    EXPECT_EQ(r.FieldCount(), 0) << n;
  }
}

// Builds a stream by hand through the class library's writer, so that values can be wrong.
struct Raw {
  TMemoryStream ms;
  TWriter w{ms};
  std::string Done() {
    w.FlushBuffer();
    return ms.Bytes();
  }
  void File(const char* ext, int bs, int type) {
    w.WriteString("f");
    w.WriteString(ext);
    w.WriteInteger(bs);
    w.WriteInteger(type);
  }
  void Field(const char* name, int type, int units, int offset, int length) {
    w.WriteString(name);
    w.WriteString("");
    w.WriteInteger(units);
    w.WriteInteger(0);
    w.WriteInteger(offset);
    w.WriteInteger(length);
    w.WriteInteger(type);
    w.WriteBoolean(false);
    w.WriteBoolean(false);
  }
};

int ReadError(const std::string& bytes) {
  TqnDataDictionary r;
  return ErrorOf([&] { ReadBytes(r, bytes); });
}

TEST(DictionaryStream, DamagedValuesGiveEngineErrors) {
  {  // a negative file count
    Raw r;
    r.w.WriteBoolean(false);
    r.w.WriteInteger(-3);
    EXPECT_EQ(ReadError(r.Done()), 23650);
  }
  {  // a huge field count
    Raw r;
    r.w.WriteBoolean(false);
    r.w.WriteInteger(1);
    r.File("QND", 4096, 0);
    r.w.WriteInteger(2000000000);
    EXPECT_EQ(ReadError(r.Done()), 23650);
  }
  {  // a bad block size
    Raw r;
    r.w.WriteBoolean(false);
    r.w.WriteInteger(1);
    r.File("QND", 4097, 0);
    EXPECT_EQ(ReadError(r.Done()), 23651);
  }
  {  // an unknown field type
    Raw r;
    r.w.WriteBoolean(false);
    r.w.WriteInteger(1);
    r.File("QND", 4096, 0);
    r.w.WriteInteger(1);
    r.Field("A", 33, 0, 0, 4);
    EXPECT_EQ(ReadError(r.Done()), 23637);
  }
  {  // an offset that the types do not give
    Raw r;
    r.w.WriteBoolean(false);
    r.w.WriteInteger(1);
    r.File("QND", 4096, 0);
    r.w.WriteInteger(1);
    r.Field("A", qftInt32, 0, 8, 4);
    EXPECT_EQ(ReadError(r.Done()), 23650);
  }
  {  // a validity value longer than any record
    Raw r;
    r.w.WriteBoolean(false);
    r.w.WriteInteger(1);
    r.File("QND", 4096, 0);
    r.w.WriteInteger(1);
    r.w.WriteString("A");
    r.w.WriteString("");
    r.w.WriteInteger(5000);
    r.w.WriteInteger(0);
    r.w.WriteInteger(0);
    r.w.WriteInteger(5000);
    r.w.WriteInteger(qftByteArray);
    r.w.WriteBoolean(false);
    r.w.WriteBoolean(true);
    r.w.WriteString("");
    r.w.WriteBoolean(true);
    r.w.WriteBoolean(false);
    r.w.WriteBoolean(false);
    r.w.Write(std::string(5000, 'x').data(), 5000);
    EXPECT_EQ(ReadError(r.Done()), 23650);
  }
  // Index counts, field numbers and key lengths.
  auto withIndex = [](int indexCount, int fieldCount, int fieldNumber) {
    Raw r;
    r.w.WriteBoolean(false);
    r.w.WriteInteger(1);
    r.File("QND", 4096, 0);
    r.w.WriteInteger(1);
    r.Field("A", qftInt32, 0, 0, 4);
    r.w.WriteInteger(4);
    r.w.WriteInteger(indexCount);
    r.w.WriteString("I");
    r.w.WriteString("");
    r.w.WriteInteger(0);
    r.w.WriteInteger(5);
    r.w.WriteInteger(fieldCount);
    for (int k = 0; k < std::max(fieldCount, 0) && k < 20; ++k) r.w.WriteInteger(fieldNumber);
    r.w.WriteBoolean(false);
    r.w.WriteBoolean(true);
    r.w.WriteBoolean(false);
    return r.Done();
  };
  EXPECT_EQ(ReadError(withIndex(2, 1, 0)), 0);
  EXPECT_EQ(ReadError(withIndex(300, 1, 0)), 23602);
  EXPECT_EQ(ReadError(withIndex(0, 1, 0)), 23602);
  EXPECT_EQ(ReadError(withIndex(2, 1, 7)), 23636);
  EXPECT_EQ(ReadError(withIndex(2, -7, 0)), 23650);
  EXPECT_EQ(ReadError(withIndex(2, 17, 0)), 23650);
  EXPECT_EQ(ReadError(withIndex(2, 0, 0)), 23649);
}

TEST(DictionaryStream, WrongTagIsAReadError) {
  TqnDataDictionary r;
  EXPECT_THROW(ReadBytes(r, std::string("\x02\x01", 2)), EReadError);
  EXPECT_EQ(r.FileCount(), 0);
}

// The largest dictionary a table can have streams within the bound the server's request limit
// is worked out from, and close to it; it reads back whole, and no field more fits its record.
TEST(DictionaryStream, TheLargestDictionaryStaysWithinTheWorkedOutBound) {
  auto d = testing::LargestDictionary();
  EXPECT_EQ(d->RecordLength(), static_cast<std::int32_t>(kQnLargestRecord));
  const std::string bytes = Bytes(*d);
  EXPECT_LE(bytes.size(), kQnLargestDictionary);
  EXPECT_GE(bytes.size(), kQnLargestDictionary / 100 * 95);
  TqnDataDictionary back;
  ReadBytes(back, bytes);
  EXPECT_EQ(back.FieldCount(), static_cast<int>(kQnMostFields));
  EXPECT_EQ(back.FileCount(), static_cast<int>(kQnMostFiles));
  EXPECT_EQ(back.IndexCount(), static_cast<int>(kQnMostStreamedIndexes) + 1);
  EXPECT_EQ(Bytes(back), bytes);
  EXPECT_EQ(back.GetFieldFromName(testing::LongName('f', 29094, 31)), 29094);
  d->AddField("OneMore", "", qftBoolean, 0, 0, false);
  EXPECT_EQ(ErrorOf([&] { Bytes(*d); }), 23638);
  // A field of no bytes would let a record hold eight times as many fields.
  TqnDataDictionary z;
  EXPECT_EQ(ErrorOf([&] { z.AddField("Z", "", qftByteArray, 0, 0, false); }), 23650);
  z.AddField("One", "", qftByteArray, 1, 0, false);
  EXPECT_EQ(z.FieldLength(0), 1);
}

}  // namespace
}  // namespace tw::dbengine
