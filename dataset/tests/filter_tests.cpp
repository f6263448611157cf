// Filter texts: what parses, how it compares, and what is refused.
#include <map>

#include "dataset/dberrors.h"
#include "dataset/filterexpr.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include <gtest/gtest.h>

namespace tw {
namespace {

bool Eval(const std::string& text, const std::map<std::string, TFieldValue>& row) {
  TFilterExpression e(text);
  return e.Evaluate([&](const std::string& n) {
    auto it = row.find(n);
    return it == row.end() ? TFieldValue{} : it->second;
  });
}

const std::map<std::string, TFieldValue> kRow{{"Lang", std::string("ENG")},
                                             {"Nr", std::int64_t{12}},
                                             {"Name", std::string("O'Neil")},
                                             {"Rate", 2.5},
                                             {"Empty", TFieldValue{}}};

TEST(FilterExpression, ComparesTextExactly) {
  EXPECT_TRUE(Eval("Lang = 'ENG'", kRow));
  EXPECT_FALSE(Eval("Lang = 'eng'", kRow));
  EXPECT_TRUE(Eval("Lang <> 'DEU'", kRow));
  EXPECT_TRUE(Eval("Lang < 'FRA'", kRow));
  EXPECT_TRUE(Eval("Name = 'O''Neil'", kRow));
  EXPECT_TRUE(Eval("[Lang]='ENG'", kRow));
}

TEST(FilterExpression, ComparesNumbersByValue) {
  EXPECT_TRUE(Eval("Nr > 9", kRow));  // as text "12" < "9"
  EXPECT_TRUE(Eval("Nr = 12.0", kRow));
  EXPECT_TRUE(Eval("Rate >= 2.5 and Rate < 3", kRow));
  EXPECT_TRUE(Eval("Nr > -1", kRow));
}

TEST(FilterExpression, ComparesDatesAndTimesWithTheirTexts) {
  const std::map<std::string, TFieldValue> row{{"Born", EncodeDate(1990, 5, 17)},
                                               {"At", EncodeTime(12, 30, 0, 0)},
                                               {"Old", ComposeDateTime(EncodeDate(1850, 3, 1), EncodeTime(6, 0, 0, 0))}};
  EXPECT_TRUE(Eval("Born = '5/17/1990'", row));
  EXPECT_TRUE(Eval("Born > '1/1/1990' and Born < '12/31/1990'", row));
  EXPECT_FALSE(Eval("Born < '1/1/1990'", row));
  EXPECT_TRUE(Eval("'1/1/2000' > Born", row));
  EXPECT_TRUE(Eval("At > '12:00' and At < '13:00'", row));
  EXPECT_TRUE(Eval("Old > '2/28/1850' and Old < '3/2/1850'", row));
  EXPECT_TRUE(Eval("Old > '3/1/1850 5:00' and Old < '3/1/1850 7:00'", row));  // within a day before 1900
  EXPECT_FALSE(Eval("Born = 'tomorrow'", row));
  TFormatSettings de = DefaultFormatSettings();
  de.DateSeparator = '.';
  de.ShortDateFormat = "dd.mm.yyyy";
  ScopedFormatSettings scoped(de);
  EXPECT_TRUE(Eval("Born = '17.05.1990'", row));
  EXPECT_TRUE(Eval("Born < '18.05.1990'", row));
}

TEST(FilterExpression, JoinsWithPrecedence) {
  EXPECT_TRUE(Eval("Lang = 'DEU' or Lang = 'ENG' and Nr = 12", kRow));
  EXPECT_FALSE(Eval("(Lang = 'DEU' or Lang = 'ENG') and Nr = 13", kRow));
  EXPECT_TRUE(Eval("not (Nr = 13)", kRow));
  EXPECT_TRUE(Eval("Lang = 'ENG' AND NOT Nr = 1 Or Nr = 2", kRow));
}

TEST(FilterExpression, NullEqualsNothing) {
  EXPECT_FALSE(Eval("Empty = ''", kRow));
  EXPECT_FALSE(Eval("Empty = 0", kRow));
  EXPECT_TRUE(Eval("Empty <> 'x'", kRow));
}

TEST(FilterExpression, ListsItsFieldNames) {
  TFilterExpression e("Lang = 'ENG' and [Nr] > 1 or Lang = Name");
  EXPECT_EQ(e.FieldNames(), (std::vector<std::string>{"Lang", "Nr", "Lang", "Name"}));
}

TEST(FilterExpression, RefusesMalformedText) {
  for (const char* bad : {"", "Lang", "Lang =", "= 'x'", "Lang = 'x", "(Lang = 'x'", "Lang = 'x')", "[Lang = 1",
                          "Lang == 'x'", "Lang = 'x' and", "Nr = 1.2.3", "[] = 1", "Lang = 'x' Nr = 1"})
    EXPECT_THROW(TFilterExpression{bad}, EDatabaseError) << bad;
  std::string deep(200, '(');
  deep += "Nr = 1" + std::string(200, ')');
  EXPECT_THROW(TFilterExpression{deep}, EDatabaseError);
  std::string chain = "Nr = 1";
  for (int i = 0; i < 300; ++i) chain += " or Nr = 1";
  EXPECT_THROW(TFilterExpression{chain}, EDatabaseError);
  std::string nots;
  for (int i = 0; i < 100; ++i) nots += "not ";
  EXPECT_THROW(TFilterExpression{nots + "Nr = 1"}, EDatabaseError);
}

}  // namespace
}  // namespace tw
