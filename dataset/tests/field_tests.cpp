// Value conversions of the field classes, through a table of every column kind.
#include <cmath>

#include "dataset/tests/dbtestsupport.h"
#include "dbaccess/dbientry.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"

namespace tw::test {
namespace {

class FieldTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    T = NewTable("All.QND");
    T->FieldDefs().Add("S", TFieldType::ftString, 5);
    T->FieldDefs().Add("Small", TFieldType::ftSmallint);
    T->FieldDefs().Add("Int", TFieldType::ftInteger);
    T->FieldDefs().Add("W", TFieldType::ftWord);
    T->FieldDefs().Add("B", TFieldType::ftBoolean);
    T->FieldDefs().Add("F", TFieldType::ftFloat);
    T->FieldDefs().Add("C", TFieldType::ftCurrency);
    T->FieldDefs().Add("D", TFieldType::ftDate);
    T->FieldDefs().Add("Tm", TFieldType::ftTime);
    T->FieldDefs().Add("DT", TFieldType::ftDateTime);
    T->FieldDefs().Add("M", TFieldType::ftMemo);
    T->CreateTable();
    T->Open();
    T->Insert();
  }
  TField* F(const char* n) { return T->FieldByName(n); }
  TTable* T = nullptr;
};

TEST_F(FieldTest, FieldClassesFollowTheColumnTypes) {
  EXPECT_TRUE(F("S")->Is<TStringField>());
  EXPECT_TRUE(F("Small")->Is<TSmallintField>());
  EXPECT_TRUE(F("Int")->Is<TIntegerField>());
  EXPECT_TRUE(F("W")->Is<TWordField>());
  EXPECT_TRUE(F("B")->Is<TBooleanField>());
  EXPECT_TRUE(F("C")->Is<TCurrencyField>());
  EXPECT_TRUE(F("D")->Is<TDateField>());
  EXPECT_TRUE(F("Tm")->Is<TTimeField>());
  EXPECT_TRUE(F("DT")->Is<TDateTimeField>());
  EXPECT_TRUE(F("M")->Is<TMemoField>());
  EXPECT_EQ(F("S")->Size(), 5);
  EXPECT_EQ(T->FindField("nope"), nullptr);
  EXPECT_EQ(T->FindField("small"), F("Small"));  // names compare without regard to case
}

TEST_F(FieldTest, NewRecordFieldsAreNull) {
  for (int i = 0; i < T->FieldCount(); ++i) {
    EXPECT_TRUE(T->Fields(i)->IsNull()) << T->Fields(i)->FieldName();
    EXPECT_TRUE(std::holds_alternative<std::monostate>(T->Fields(i)->Value()));
  }
  EXPECT_EQ(F("Int")->AsString(), "");
  EXPECT_EQ(F("Int")->AsInteger(), 0);
}

TEST_F(FieldTest, StringsAreCutToTheFieldSizeAndConvert) {
  F("S")->SetAsString("abcdefgh");
  EXPECT_EQ(F("S")->AsString(), "abcde");
  F("S")->SetAsInteger(-42);
  EXPECT_EQ(F("S")->AsInteger(), -42);
  F("S")->SetAsString("xyz");
  EXPECT_THROW(F("S")->AsInteger(), EDatabaseError);
  F("S")->SetAsString("");
  EXPECT_TRUE(F("S")->IsNull());
  F("S")->SetAsBoolean(true);
  EXPECT_TRUE(F("S")->AsBoolean());
}

TEST_F(FieldTest, IntegerRangesAreChecked) {
  F("Small")->SetAsInteger(-32768);
  EXPECT_EQ(F("Small")->AsInteger(), -32768);
  EXPECT_THROW(F("Small")->SetAsInteger(32768), EDatabaseError);
  EXPECT_EQ(F("Small")->AsInteger(), -32768);  // a refused value changes nothing
  F("W")->SetAsInteger(65535);
  EXPECT_EQ(F("W")->AsInteger(), 65535);
  EXPECT_THROW(F("W")->SetAsInteger(-1), EDatabaseError);
  F("Int")->SetAsString(" 123 ");
  EXPECT_EQ(F("Int")->AsInteger(), 123);
  EXPECT_THROW(F("Int")->SetAsString("12a"), EDatabaseError);
  EXPECT_THROW(F("Int")->SetAsFloat(1e12), EDatabaseError);
  F("Int")->SetAsFloat(2.6);
  EXPECT_EQ(F("Int")->AsInteger(), 3);
  EXPECT_EQ(std::get<std::int64_t>(F("Int")->Value()), 3);
}

TEST_F(FieldTest, BooleansReadAndWriteTheirTexts) {
  F("B")->SetAsString("t");
  EXPECT_TRUE(F("B")->AsBoolean());
  EXPECT_EQ(F("B")->AsString(), "True");
  F("B")->SetAsString("FALSE");
  EXPECT_FALSE(F("B")->AsBoolean());
  EXPECT_THROW(F("B")->SetAsString("maybe"), EDatabaseError);
  static_cast<TBooleanField*>(F("B"))->SetDisplayValues("Ja;Nein");
  F("B")->SetAsString("ja");
  EXPECT_EQ(F("B")->AsString(), "Ja");
}

TEST_F(FieldTest, FloatsAndCurrency) {
  F("F")->SetAsString("2.5");
  EXPECT_DOUBLE_EQ(F("F")->AsFloat(), 2.5);
  EXPECT_THROW(F("F")->SetAsFloat(std::nan("")), EDatabaseError);
  EXPECT_THROW(F("F")->SetAsString("2,5x"), EDatabaseError);
  F("C")->SetAsFloat(12.3456);
  EXPECT_DOUBLE_EQ(F("C")->AsFloat(), 12.3456);
  EXPECT_NE(F("C")->DisplayText(), "");
}

TEST_F(FieldTest, DatesAreStoredAsDaysFromYearOne) {
  F("D")->SetAsDateTime(EncodeDate(1900, 1, 1));
  std::int32_t raw = 0;
  ASSERT_TRUE(F("D")->GetData(&raw));
  EXPECT_EQ(raw, 693596);
  EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), EncodeDate(1900, 1, 1));
  F("D")->SetAsDateTime(EncodeDate(2024, 2, 29) + 0.75);  // the time of day is dropped
  EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), EncodeDate(2024, 2, 29));
}

TEST_F(FieldTest, TimesAreMillisecondsOfTheDay) {
  F("Tm")->SetAsDateTime(EncodeTime(13, 45, 30, 500));
  std::int32_t raw = 0;
  ASSERT_TRUE(F("Tm")->GetData(&raw));
  EXPECT_EQ(raw, 49530500);
  EXPECT_NEAR(F("Tm")->AsDateTime(), EncodeTime(13, 45, 30, 500), 1e-9);
}

TEST_F(FieldTest, DateTimesKeepDateAndTime) {
  TDateTime v = EncodeDate(1966, 7, 30) + EncodeTime(18, 5, 0, 0);
  F("DT")->SetAsDateTime(v);
  double raw = 0;
  ASSERT_TRUE(F("DT")->GetData(&raw));
  EXPECT_DOUBLE_EQ(raw, std::round((v + 693594.0) * 86400000.0));
  EXPECT_NEAR(F("DT")->AsDateTime(), v, 1e-8);
  EXPECT_THROW(F("DT")->SetAsDateTime(-700000), EDatabaseError);  // before year 1
}

TEST_F(FieldTest, DatesAndTimesBeforeTheCalendarsDayZeroKeepTheirDayAndTime) {
  // Before 30 December 1899 the day is the value's whole part and the time its fraction taken
  // positive, as everywhere in the run-time library: -1.25 is 29 December 1899, 6:00.
  const TDateTime day = EncodeDate(1850, 3, 1);
  const TDateTime v = ComposeDateTime(day, EncodeTime(6, 30, 0, 0));
  ASSERT_LT(v, 0);
  std::int32_t stored = 0;
  ASSERT_EQ(dbaccess::DbiDateEncode(3, 1, 1850, stored), 0);

  F("D")->SetAsDateTime(v);
  std::int32_t raw = 0;
  ASSERT_TRUE(F("D")->GetData(&raw));
  EXPECT_EQ(raw, stored);
  EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), day);

  F("DT")->SetAsDateTime(v);
  double stamp = 0;
  ASSERT_TRUE(F("DT")->GetData(&stamp));
  std::int32_t date = 0, time = 0;
  dbaccess::DbiTimeStampDecode(stamp, date, time);
  EXPECT_EQ(date, stored);
  EXPECT_EQ(time, (6 * 60 + 30) * 60000);
  EXPECT_NEAR(F("DT")->AsDateTime(), v, 1e-8);
  std::uint16_t y = 0, m = 0, d = 0, h = 0, n = 0, sec = 0, ms = 0;
  DecodeDate(F("DT")->AsDateTime(), y, m, d);
  DecodeTime(F("DT")->AsDateTime(), h, n, sec, ms);
  EXPECT_EQ((std::vector<int>{y, m, d, h, n}), (std::vector<int>{1850, 3, 1, 6, 30}));

  // The first and the last day the engine stores, at the day's last millisecond.
  for (auto [day, stored] : {std::pair{EncodeDate(1, 1, 1), 1}, std::pair{EncodeDate(9999, 12, 31), 3652059}}) {
    const TDateTime edge = ComposeDateTime(day, EncodeTime(23, 59, 59, 999));
    F("DT")->SetAsDateTime(edge);
    ASSERT_TRUE(F("DT")->GetData(&stamp));
    dbaccess::DbiTimeStampDecode(stamp, date, time);
    EXPECT_EQ(date, stored);
    EXPECT_EQ(time, 86399999);
    EXPECT_NEAR(F("DT")->AsDateTime(), edge, 1e-9 * 3e6);
    F("D")->SetAsDateTime(edge);
    ASSERT_TRUE(F("D")->GetData(&raw));
    EXPECT_EQ(raw, stored);
  }
}

TEST_F(FieldTest, TextsRoundTripUnderGermanSettings) {
  TFormatSettings de = DefaultFormatSettings();
  de.DecimalSeparator = ',';
  de.ThousandSeparator = '.';
  de.DateSeparator = '.';
  de.ShortDateFormat = "dd.mm.yyyy";
  de.LongTimeFormat = "hh:nn:ss";
  de.ShortTimeFormat = "hh:nn";
  ScopedFormatSettings scoped(de);
  F("F")->SetAsString("-1234,5");
  EXPECT_DOUBLE_EQ(F("F")->AsFloat(), -1234.5);
  EXPECT_EQ(F("F")->AsString(), "-1234,5");
  F("F")->SetAsString(F("F")->AsString());
  EXPECT_DOUBLE_EQ(F("F")->AsFloat(), -1234.5);
  EXPECT_THROW(F("F")->SetAsString("2.5.1"), EDatabaseError);
  F("C")->SetAsString("0,0001");
  EXPECT_DOUBLE_EQ(F("C")->AsFloat(), 0.0001);
  F("D")->SetAsString("29.02.2024");
  EXPECT_EQ(F("D")->AsString(), "29.02.2024");
  EXPECT_THROW(F("D")->SetAsString("30.02.2024"), EDatabaseError);
  F("D")->SetAsString("01.01.0001");
  EXPECT_EQ(F("D")->AsString(), "01.01.0001");
  F("D")->SetAsString("31.12.9999");
  EXPECT_EQ(F("D")->AsString(), "31.12.9999");
  F("Tm")->SetAsString("23:59:59");
  EXPECT_EQ(F("Tm")->AsString(), "23:59:59");
  F("DT")->SetAsString("01.03.1850 06:30:00");
  EXPECT_EQ(F("DT")->AsString(), "01.03.1850 06:30:00");
  F("S")->SetAsFloat(2.5);
  EXPECT_EQ(F("S")->AsString(), "2,5");
  EXPECT_DOUBLE_EQ(F("S")->AsFloat(), 2.5);
}

TEST_F(FieldTest, ValueAssignmentPicksTheConversion) {
  F("Int")->SetValue(TFieldValue{std::string("77")});
  EXPECT_EQ(F("Int")->AsInteger(), 77);
  F("S")->SetValue(TFieldValue{std::int64_t{5}});
  EXPECT_EQ(F("S")->AsString(), "5");
  F("S")->SetValue(TFieldValue{});
  EXPECT_TRUE(F("S")->IsNull());
}

TEST_F(FieldTest, WrongKindsRaiseTypeMismatch) {
  EXPECT_THROW(F("D")->AsBoolean(), EDatabaseError);
  EXPECT_THROW(F("M")->AsInteger(), EDatabaseError);
}

TEST_F(FieldTest, MemosOutgrowTheRecordImage) {
  std::string text(1024, 'x');
  text[1023] = 'y';
  F("M")->SetAsString(text);
  EXPECT_EQ(F("M")->AsString(), text);
  EXPECT_EQ(static_cast<TBlobField*>(F("M"))->BlobSize(), 1024);
  EXPECT_EQ(F("M")->DisplayText(), "(Memo)");
}

TEST_F(FieldTest, MemosLargerThanOneRequestMoveInPieces) {
  std::string text(150000, 'a');
  for (std::size_t i = 0; i < text.size(); i += 997) text[i] = static_cast<char>('b' + i % 20);
  F("M")->SetAsString(text);
  EXPECT_EQ(F("M")->AsString(), text);
  F("M")->SetAsString("short");  // the longer old value is cut
  EXPECT_EQ(F("M")->AsString(), "short");
}

TEST_F(DataSetTest, FieldValuesNeverOverrunTheBuffersOnEitherSide) {
  // A cursor whose descriptor gives a string more room than its declared size: the value is
  // read whole into the data set's own buffer and handed on cut to the size.
  TTable* t = NewTable("Wide.QND");
  t->FieldDefs().Add("S", TFieldType::ftString, 9);
  t->CreateTable();
  t->Open();
  t->Append();
  t->FieldByName("S")->SetAsString("abcdefghi");
  t->Post();
  t->Close();
  Link->Tables["WIDE.QND"].Fields[0].iUnits1 = 3;
  t->Open();
  EXPECT_EQ(t->FieldByName("S")->Size(), 3);
  EXPECT_EQ(t->FieldByName("S")->AsString(), "abc");
  t->Edit();
  t->FieldByName("S")->SetAsString("xyz");
  t->Post();
  EXPECT_EQ(t->FieldByName("S")->AsString(), "xyz");
}

TEST_F(FieldTest, BlobStreamWritesBackWhenFreed) {
  auto* m = static_cast<TBlobField*>(F("M"));
  {
    TBlobStream s(m, TBlobStreamMode::bmWrite);
    s.WriteBuffer("hello ", 6);
    s.WriteBuffer("world", 5);
  }
  EXPECT_EQ(m->AsString(), "hello world");
  TBlobStream r(m, TBlobStreamMode::bmRead);
  char buf[6] = {};
  r.Seek(6, soFromBeginning);
  EXPECT_EQ(r.Read(buf, 5), 5);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(r.Read(buf, 5), 0);
  EXPECT_THROW(r.Write("x", 1), EDatabaseError);
  // Positions past what a BLOB can hold are refused on writing, not turned into huge buffers.
  TBlobStream w(m, TBlobStreamMode::bmReadWrite);
  EXPECT_EQ(w.Seek(INT64_MAX, soFromBeginning), 0xFFFFFFF0);
  w.Seek(INT64_MAX, soFromCurrent);
  EXPECT_THROW(w.Write("x", 1), EDatabaseError);
  EXPECT_THROW(w.SetSize(INT64_MAX), EDatabaseError);
  w.Seek(0, soFromBeginning);
  w.Write("H", 1);
  w.Flush();
  EXPECT_EQ(m->AsString(), "Hello world");
}

}  // namespace
}  // namespace tw::test
