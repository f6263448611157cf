// Time picture fields: twelve-hour masks with a blank-padded hour, text written through
// SetAsString, the empty time, and the 24-hour masks next to them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "entry/fkpicturefield.h"
#include "entry/tests/entry_test_util.h"
#include "platform/win/winapi.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

constexpr SecondsOfDay HM(int h, int m, int s = 0) { return h * 3600 + m * 60 + s; }

TEST(IntlTimeRuns, MixedCaseHourRunIsOneBlankPaddedField) {
  test::IntlScope scope;
  TFkIntlSup& intl = DefaultIntlSup();
  EXPECT_EQ(intl.SecondsToText("Hh:mm tt", HM(18, 30), false), " 6:30 PM");
  EXPECT_EQ(intl.SecondsToText("Hh:mm tt", HM(22, 30), false), "10:30 PM");
  EXPECT_EQ(intl.SecondsToText("Hh:mm tt", HM(0, 5), false), "12:05 AM");
  EXPECT_EQ(intl.SecondsToText("Hh:mm tt", HM(18, 30), true), "6:30 PM");
  EXPECT_EQ(intl.SecondsToText("Hh:mm", HM(7, 0), false), " 7:00");
  EXPECT_EQ(intl.SecondsToText("Hh:mm tt", BadTime, false), "  :     ");
  EXPECT_EQ(intl.TextToSeconds("Hh:mm tt", " 6:30 PM"), HM(18, 30));
  EXPECT_EQ(intl.TextToSeconds("Hh:mm tt", "06:30 PM"), HM(18, 30));
  EXPECT_EQ(intl.TextToSeconds("Hh:mm tt", "10:30 PM"), HM(22, 30));
  EXPECT_EQ(intl.TextToSeconds("Hh:mm tt", "12:00 AM"), 0);
  EXPECT_EQ(intl.TextToSeconds("Hh:mm tt", "12:00 PM"), HM(12, 0));
  EXPECT_EQ(intl.TextToSeconds("Hh:mm tt", "13:00 PM"), BadTime);
  EXPECT_EQ(intl.TextToSeconds("Hh:mm tt", " 0:30 AM"), BadTime);
}

// An am/pm run shorter than the texts holds their first characters; what is written there is
// read back as the same time, in the settings' own texts too.
TEST(IntlTimeRuns, AShortAmPmRunReadsBackWhatItShows) {
  test::IntlScope scope({{"s1159", "a.m."}, {"s2359", "p.m."}});
  TFkIntlSup& intl = DefaultIntlSup();
  for (const char* mask : {"hh:mm t", "hh:mm:ss tt", "Hh:mm ttt", "hh:mm tttt", "hh:mm tttttt"}) {
    SCOPED_TRACE(mask);
    for (SecondsOfDay t : {0, HM(0, 30), HM(11, 59, 59), HM(12, 0), HM(13, 5), HM(23, 59, 59)}) {
      SCOPED_TRACE(t);
      const SecondsOfDay shown = std::string(mask).find('s') == std::string::npos ? t - t % 60 : t;
      EXPECT_EQ(intl.TextToSeconds(mask, intl.SecondsToText(mask, t, false)), shown);
    }
  }
  EXPECT_EQ(intl.TextToSeconds("hh:mm t", "01:00 p"), HM(13, 0));
  EXPECT_EQ(intl.TextToSeconds("hh:mm t", "01:00 A"), HM(1, 0));
  EXPECT_EQ(intl.TextToSeconds("hh:mm t", "01:00 x"), BadTime);
  EXPECT_EQ(intl.TextToSeconds("hh:mm tt", "01:00 pm"), BadTime) << "not the start of a text";
  EXPECT_EQ(intl.TextToSeconds("hh:mm tttt", "01:00 p.m."), HM(13, 0));
  EXPECT_EQ(intl.TextToSeconds("hh:mm tttt", "01:00 p.  "), BadTime) << "a run that holds the whole text";
  // The text a field with such a run gives (GetAsString) is taken back by SetAsString's reader.
  EXPECT_EQ(intl.FreeTextToSeconds(intl.SecondsToText("hh:mm:ss t", HM(0, 0, 7), true)), 7);
  EXPECT_EQ(intl.FreeTextToSeconds("1:05 p"), HM(13, 5));
  EXPECT_EQ(intl.FreeTextToSeconds("1:05 P.M."), HM(13, 5));
  EXPECT_EQ(intl.FreeTextToSeconds("1:05 x"), BadTime);
  EXPECT_EQ(intl.FreeTextToSeconds("1:05 p.m.x"), BadTime);
}

TEST(IntlTimeRuns, FreeTextReadsHoursMinutesSecondsAndAmPm) {
  test::IntlScope scope;
  TFkIntlSup& intl = DefaultIntlSup();
  EXPECT_EQ(intl.FreeTextToSeconds("6:30 PM"), HM(18, 30));
  EXPECT_EQ(intl.FreeTextToSeconds(" 06:30pm "), HM(18, 30));
  EXPECT_EQ(intl.FreeTextToSeconds("12:00 AM"), 0);
  EXPECT_EQ(intl.FreeTextToSeconds("12:00 PM"), HM(12, 0));
  EXPECT_EQ(intl.FreeTextToSeconds("18:30"), HM(18, 30));
  EXPECT_EQ(intl.FreeTextToSeconds("18:30:15"), HM(18, 30, 15));
  EXPECT_EQ(intl.FreeTextToSeconds("9"), BadTime) << "hours alone are not a time";
  EXPECT_EQ(intl.FreeTextToSeconds("18:30 PM"), BadTime);
  EXPECT_EQ(intl.FreeTextToSeconds("0:30 AM"), BadTime);
  EXPECT_EQ(intl.FreeTextToSeconds("24:00"), BadTime);
  EXPECT_EQ(intl.FreeTextToSeconds("6:61"), BadTime);
  EXPECT_EQ(intl.FreeTextToSeconds("6:30 XM"), BadTime);
  EXPECT_EQ(intl.FreeTextToSeconds("6::30"), BadTime);
  EXPECT_EQ(intl.FreeTextToSeconds("6:30:00:00"), BadTime);
  EXPECT_EQ(intl.FreeTextToSeconds("99999999999:30"), BadTime);
}

class TimeFieldTest : public test::PictureFormTest {
 protected:
  TFkPictureField* AddField(const std::string& mask, int top = 0) { return PictureFormTest::AddField(T::pftTime, mask, top); }

  // The seconds of the day a field holds, read through GetAsDateTime.
  static long Seconds(TFkPictureField* f) { return std::lround(f->GetAsDateTime() * 86400.0); }
};

TEST_F(TimeFieldTest, TwelveHourTextsAreShownWithOneHourField) {
  auto* f = AddField("Hh:mm tt");
  struct Case {
    const char* text;
    const char* shown;
    SecondsOfDay value;
  };
  const Case cases[] = {{"06:30 PM", " 6:30 PM", HM(18, 30)}, {"6:30 PM", " 6:30 PM", HM(18, 30)},
                        {"10:30 PM", "10:30 PM", HM(22, 30)}, {"11:59 PM", "11:59 PM", HM(23, 59)},
                        {"12:00 AM", "12:00 AM", 0},          {"12:00 PM", "12:00 PM", HM(12, 0)},
                        {"9:05 am", " 9:05 AM", HM(9, 5)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_NO_THROW(f->SetAsString(c.text));
    EXPECT_EQ(f->EditText(), c.shown);
    EXPECT_EQ(f->GetAsString(), c.shown);
    EXPECT_EQ(Seconds(f), c.value);
    EXPECT_EQ(f->LastError, 0);
    EXPECT_TRUE(f->IsValid());
  }
}

TEST_F(TimeFieldTest, EmptyTextClearsAFieldThatIsNotRequired) {
  for (const char* mask : {"Hh:mm tt", "hh:mm", "hh:mm:ss"}) {
    SCOPED_TRACE(mask);
    auto* f = AddField(mask);
    f->SetAsSeconds(HM(10, 30));
    ASSERT_NO_THROW(f->SetAsString(""));
    EXPECT_EQ(f->EditText(), DefaultIntlSup().SecondsToText(mask, BadTime, false));
    EXPECT_EQ(f->GetAsDateTime(), 0.0);
    EXPECT_EQ(f->LastError, ecInvalidTime) << "a blank time reads as no time, not as midnight";
    EXPECT_TRUE(f->ValidateField(false)) << "but it is a valid empty value";
    EXPECT_TRUE(f->IsValid());
    ASSERT_NO_THROW(f->SetAsString("   "));
    EXPECT_EQ(f->EditText(), DefaultIntlSup().SecondsToText(mask, BadTime, false));
  }
}

TEST_F(TimeFieldTest, EmptyTextAlsoClearsADateField) {
  auto* f = new TFkPictureField(form);
  f->SetParent(form);
  f->SetDataType(T::pftDate);
  f->SetPictureMask("mm/dd/yyyy");
  f->SetAsDayNumber(DMYToDayNumber(5, 3, 2009, 0));
  ASSERT_NO_THROW(f->SetAsString(""));
  EXPECT_EQ(f->EditText(), "  /  /    ");
  EXPECT_EQ(f->GetAsDayNumber(), BadDate);
  EXPECT_EQ(f->LastError, ecInvalidDate) << "an empty date is no date";
}

TEST_F(TimeFieldTest, TwentyFourHourMasksTakeTheirOwnTexts) {
  auto* hm = AddField("hh:mm");
  hm->SetAsString("18:30");
  EXPECT_EQ(hm->EditText(), "18:30");
  EXPECT_EQ(Seconds(hm), HM(18, 30));
  hm->SetAsString("6:30 PM");
  EXPECT_EQ(hm->EditText(), "18:30");
  hm->SetAsString("00:00");
  EXPECT_EQ(hm->EditText(), "00:00");
  EXPECT_EQ(Seconds(hm), 0);
  auto* hms = AddField("hh:mm:ss", 40);
  hms->SetAsString("18:30:15");
  EXPECT_EQ(hms->EditText(), "18:30:15");
  EXPECT_EQ(Seconds(hms), HM(18, 30, 15));
  hms->SetAsString("7:05");
  EXPECT_EQ(hms->EditText(), "07:05:00");
}

TEST_F(TimeFieldTest, TextsThatAreNoTimeAreRefusedAndKeepTheValue) {
  auto* f = AddField("Hh:mm tt");
  f->SetAsString("10:30 PM");
  for (const char* bad : {"25:00", "13:00 PM", "0:30 AM", "10:30 XM", "10:61 PM", "abc", "10"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(f->SetAsString(bad), EEntryFieldError);
    EXPECT_EQ(f->EditText(), "10:30 PM");
  }
}

TEST_F(TimeFieldTest, TypedTwelveHourTimeIsReadBack) {
  auto* f = AddField("Hh:mm tt");
  ShowAndFocus(f);
  Type(" 630PM");
  EXPECT_EQ(f->EditText(), " 6:30 PM");
  EXPECT_EQ(Seconds(f), HM(18, 30));
  EXPECT_TRUE(f->ValidateField(false));
  EXPECT_TRUE(errors.empty());
}

TEST_F(TimeFieldTest, TypedTwoDigitHourAndAnInvalidHour) {
  auto* f = AddField("Hh:mm tt");
  ShowAndFocus(f);
  Type("1030PM");
  EXPECT_EQ(f->EditText(), "10:30 PM");
  EXPECT_EQ(Seconds(f), HM(22, 30));
  auto* g = AddField("Hh:mm tt", 40);
  g->SetFocus();
  Pump();
  Type("1330PM");
  EXPECT_FALSE(g->ValidateField(false));
  EXPECT_EQ(g->LastError, ecInvalidTime);
}

}  // namespace
}  // namespace tw::entry
