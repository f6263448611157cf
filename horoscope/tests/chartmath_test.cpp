#include "horoscope/chartmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "horoscope/tests/messages.h"

namespace tw::horoscope {
namespace {

using testing::ScopedMessages;

const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();

TEST(MessageTexts, LookupByNumberWithinEachRange) {
  EXPECT_EQ(GetMessageText(42), "");  // nothing loaded yet
  EXPECT_EQ(LanguageCode, "ENG");
  ScopedMessages texts({{10, "Sun"}, {10, "Second Sun"}, {29, "Body 19"}, {30, "Aries"}, {41, "Pisces"},
                        {42, "Name"}, {85, "Sextile"}, {92, "Bad date"}, {64, "ASC"}, {65, "MC"}, {72, "Equal"}});
  EXPECT_EQ(GetBodyName(0), "Sun");  // the first entry of a number wins
  EXPECT_EQ(GetBodyName(19), "Body 19");
  EXPECT_EQ(GetSignName(11), "Pisces");
  EXPECT_EQ(GetAspectName(5), "Sextile");
  // Numbers beyond each range belong to other texts and are never borrowed.
  for (int body : {20, 21, -1}) EXPECT_EQ(GetBodyName(body), "") << body;
  for (int sign : {12, -1}) EXPECT_EQ(GetSignName(sign), "") << sign;
  for (int aspect : {0, 12}) EXPECT_EQ(GetAspectName(aspect), "") << aspect;
  EXPECT_EQ(GetHouseLabel(1), "ASC");
  EXPECT_EQ(GetHouseLabel(10), "MC");
  EXPECT_EQ(GetHouseLabel(12), "12");
  EXPECT_EQ(GetHouseSystemName(THaeuserSystemTyp::Equal), "Equal");
  EXPECT_EQ(GetHouseSystemName(static_cast<THaeuserSystemTyp>(9)), "");
}

// The aspect switches and orbs as the program starts them, restored after each test.
class AspectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedEnabled_ = AspectEnabled;
    savedOrbs_ = AspectOrbs;
    AspectEnabled.fill(false);
    InitAspectSettings();
  }
  void TearDown() override {
    AspectEnabled = savedEnabled_;
    AspectOrbs = savedOrbs_;
  }
  // The aspect between transit body 0 at `transit` and radix body 0 at `radix`.
  static int Between(double transit, double radix, std::uint8_t kind = 2) {
    TChartLongitudes t{}, r{};
    t[0] = transit;
    r[0] = radix;
    r[9] = 1.0;  // the radix chart counts as computed
    return FindAspect(kind, 0, 0, t, r);
  }

 private:
  std::array<bool, MaxAspect + 1> savedEnabled_{};
  TAspectOrbTable savedOrbs_{};
};

TEST_F(AspectTest, StartSettings) {
  for (int k = 1; k <= MaxAspect; ++k) EXPECT_EQ(AspectEnabled[k], k <= 5) << k;
  EXPECT_EQ(AspectOrbs[1][54][54], 5.0);
  EXPECT_EQ(AspectOrbs[2][0][1], 2.0);
  EXPECT_EQ(AspectOrbs[3][20][11], 4.0);
  EXPECT_EQ(AspectOrbs[4][9][3], 4.0);
}

TEST_F(AspectTest, SeparationWithinOrbEitherWayRoundTheCircle) {
  EXPECT_EQ(Between(188, 100), 3);  // bounds included
  EXPECT_EQ(Between(192, 100), 3);
  EXPECT_EQ(Between(92.01, 0), 0);
  EXPECT_EQ(Between(1.5, 0), 1);
  EXPECT_EQ(Between(181, 0), 2);
  EXPECT_EQ(Between(240, 0), 4);
  EXPECT_EQ(Between(0, 58.5), 5);
  EXPECT_EQ(Between(270, 0), 3);    // a square measured the long way
  EXPECT_EQ(Between(359.5, 0), 1);  // conjunction across 0 degrees
  EXPECT_EQ(Between(0.5, 359.0), 1);
  EXPECT_EQ(Between(357.9, 0), 0);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> angle(0.0, 360.0);
  for (int i = 0; i < 20000; ++i) {
    const double a = angle(rng), b = angle(rng);
    ASSERT_EQ(Between(a, b), Between(b, a)) << a << " " << b;
  }
}

TEST_F(AspectTest, SwitchesOrbKindsAndHalfSums) {
  EXPECT_EQ(Between(30, 0), 0);  // aspects 6..11 start off
  AspectEnabled[6] = true;
  EXPECT_EQ(Between(330, 0), 6);
  EXPECT_EQ(Between(4, 0, 1), 1);  // kind 1: 5 degrees
  EXPECT_EQ(Between(4, 0, 2), 0);  // kind 2: 2 degrees
  for (auto& body : AspectOrbs[4]) body[1] = 0.5;
  EXPECT_EQ(Between(1, 0, 5), 0);  // kind 5 reads kind 4
  EXPECT_EQ(Between(1, 0, 3), 1);
  for (int k = 1; k <= MaxAspect; ++k) AspectOrbs[2][0][k] = 40.0;
  EXPECT_EQ(Between(45, 0), 5);  // 60 and 30 both within 40: the lower number wins
  TChartLongitudes t{}, r{};
  r[9] = 1.0;
  t[1] = 95.0;
  AspectOrbs[2][1][3] = 8.0;
  AspectOrbs[2][2][3] = 2.0;
  EXPECT_EQ(FindAspect(2, 1, 2, t, r), 3);  // half-sum 5
  t[1] = 95.5;
  EXPECT_EQ(FindAspect(2, 1, 2, t, r), 0);
}

TEST_F(AspectTest, InvalidQuestionsAndAnUncomputedSecondChart) {
  TChartLongitudes t{}, r{};
  r[9] = 1.0;
  EXPECT_EQ(FindAspect(2, 20, 20, t, r), 1);
  for (std::uint8_t kind : {0, 6, 255}) EXPECT_EQ(FindAspect(kind, 0, 0, t, r), 0);
  for (int body : {-1, 21, 54}) EXPECT_EQ(FindAspect(2, body, 0, t, r), 0);
  for (int body : {-1, 21, 54}) EXPECT_EQ(FindAspect(2, 0, body, t, r), 0);
  TChartLongitudes none{};
  t[0] = 10.0;
  t[3] = 100.0;
  EXPECT_EQ(FindAspect(2, 0, 0, t, none), 0);  // the same body of the first chart
  EXPECT_EQ(FindAspect(2, 3, 0, t, none), 3);  // bodies 3 and 0 of the first chart
  // Between two given points no chart is absent: a second chart whose Sun and Pluto were not
  // computed is still the second chart.
  TChartLongitudes refused{};
  refused[1] = 190.0;
  EXPECT_EQ(AspectBetween(2, 3, t[3], 1, refused[1]), 3);
  EXPECT_EQ(AspectBetween(2, 0, 1.0, 3, refused[3]), 1) << "0.0 is a longitude like any other";
  EXPECT_EQ(AspectBetween(2, 0, t[0], 1, t[3]), 3);
  for (std::uint8_t kind : {0, 6}) EXPECT_EQ(AspectBetween(kind, 0, 10.0, 1, 10.0), 0);
  EXPECT_EQ(AspectBetween(2, 21, 10.0, 1, 10.0), 0);
  EXPECT_EQ(AspectBetween(2, 0, nan, 1, 10.0), 0);
  t[0] = nan;
  EXPECT_EQ(FindAspect(2, 0, 0, t, r), 0);
}

TEST(Angles, NormalizeEndsForAnyValue) {
  EXPECT_EQ(NormalizeAngle(-30), 330);
  EXPECT_EQ(NormalizeAngle(360), 360);
  EXPECT_EQ(NormalizeAngle(370), 10);
  EXPECT_EQ(NormalizeAngle(720), 360);
  EXPECT_EQ(NormalizeAngle(-360), 0);
  for (double x : {1e300, -1e300, std::numeric_limits<double>::lowest()}) {
    EXPECT_GE(NormalizeAngle(x), 0.0);
    EXPECT_LE(NormalizeAngle(x), 360.0);
  }
  for (double x : {inf, -inf, nan}) EXPECT_TRUE(std::isnan(NormalizeAngle(x)));
  EXPECT_EQ(DegreesToCentiseconds(1.5 / 360000), 2);
  EXPECT_EQ(DegreesToCentiseconds(1e300), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(DegreesToCentiseconds(nan), 0);
}

TEST(Angles, SignOfLongitude) {
  EXPECT_EQ(SignOfLongitude(29.9999), 0);
  EXPECT_EQ(SignOfLongitude(29.999999), 1);  // rounds to 30 degrees in hundredths of a second
  EXPECT_EQ(SignOfLongitude(45), 1);
  EXPECT_EQ(SignOfLongitude(359.5), 11);
  EXPECT_EQ(SignOfLongitude(359.9999999), 0);  // rounds to 360: the first sign again
  EXPECT_EQ(SignOfLongitude(-1), 11);
  EXPECT_EQ(SignOfLongitude(nan), -1);
}

TEST(Angles, DegreeTexts) {
  EXPECT_EQ(DegreesToStr(false, true, 15.5), " 15\xB0 30' 00\"");
  EXPECT_EQ(DegreesToStr(true, true, 45.25), " 15\xB0 15' 00\"");
  EXPECT_EQ(DegreesToStr(false, true, 1234.5), "1234\xB0 30' 00\"");
  EXPECT_EQ(DegreesToStr(false, true, -7.5), " -7\xB0 30' 00\"");
  EXPECT_EQ(DegreesToStr(true, true, -7.5), " 22\xB0 30' 00\"");
  EXPECT_EQ(DegreesToStr(false, true, nan), "");
  // Rounded once to whole seconds, which carry into minutes, degrees and the sign.
  EXPECT_EQ(DegreesToStr(false, true, 10.1), " 10\xB0 06' 00\"");
  EXPECT_EQ(DegreesToStr(false, false, 10.1), " 10\xB0 06' ");
  EXPECT_EQ(DegreesToStr(true, true, 29.99999), "  0\xB0 00' 00\"");
  EXPECT_EQ(SignOfDisplayedLongitude(29.99999), 1);
  EXPECT_EQ(DegreesToStr(true, true, 359.99999), "  0\xB0 00' 00\"");
  EXPECT_EQ(SignOfDisplayedLongitude(359.99999), 0);
  EXPECT_EQ(LongitudeToStr(-7.5), "  7\xB0 30' W");
  EXPECT_EQ(LatitudeToStr(45), " 45\xB0 00' N");
  EXPECT_EQ(LatitudeToStr(-33.875), " 33\xB0 52' S");
  EXPECT_EQ(LongitudeToStr(0), "  0\xB0 00' E");
  EXPECT_EQ(RetrogradeMark(-0.01), "R");
  EXPECT_EQ(RetrogradeMark(0.0), " ");
}

TEST(Angles, EveryDegreeTextReadsBackAsItsValue) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> angle(0.0, 360.0);
  for (int i = 0; i < 20000; ++i) {
    const double x = i < 100 ? i * 0.1 : angle(rng);
    const std::string text = DegreesToStr(true, true, x);
    int d = -1, m = -1, s = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "%d\xB0 %d' %d\"", &d, &m, &s), 3) << text;
    ASSERT_TRUE(d >= 0 && d < 30 && m >= 0 && m < 60 && s >= 0 && s < 60) << x << " " << text;
    const double shown = SignOfDisplayedLongitude(x) * 30.0 + d + m / 60.0 + s / 3600.0;
    ASSERT_LE(std::fabs(std::remainder(shown - x, 360.0)), 0.5 / 3600 + 1e-9) << x << " " << text;
  }
}

}  // namespace
}  // namespace tw::horoscope
