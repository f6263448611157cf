// Number fields whose masks carry thousands separators, currency signs and signs: what the user
// types, pastes and deletes is read back as the number the field shows, in the C settings and
// in German ones (decimal comma, thousands dot).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <sstream>
#include <tuple>

#include "entry/fkpicturefield.h"
#include "entry/tests/entry_test_util.h"
#include "platform/win/winapi.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

class NumberMaskTest : public test::PictureFormTest {
 protected:
  // German number settings for the class library and the "intl" profile alike.
  void UseGerman() { UseSettings(',', '.'); }
  // Number settings with a currency text and form ("iCurrency"; empty: the defaults).
  void UseSettings(char decimal, char thousands, const std::string& currency = "", const std::string& form = "") {
    german_.reset();
    intl_.reset();
    intl_ = std::make_unique<test::IntlScope>(std::initializer_list<std::pair<const std::string, std::string>>{
        {"sDecimal", std::string(1, decimal)}, {"sThousand", std::string(1, thousands)}, {"sCurrency", currency},
        {"iCurrency", form}});
    TFormatSettings g = DefaultFormatSettings();
    g.DecimalSeparator = decimal;
    g.ThousandSeparator = thousands;
    german_ = std::make_unique<ScopedFormatSettings>(g);
  }
  void TearDown() override {
    german_.reset();
    PictureFormTest::TearDown();
  }
  static double Value(TFkPictureField* f) {
    TFkValue v;
    EXPECT_EQ(f->GetValue(v), 0) << "[" << f->EditText() << "]";
    return IsIntegerType(f->DataType()) ? static_cast<double>(v.Int) : v.Real;
  }

  // A pattern spelled with the settings in force: "," and "." the separators, "$" the currency
  // text before the number, "C" the first character of the one after it.
  static std::string Spelled(const std::string& pattern) {
    const TFkIntlSup& intl = DefaultIntlSup();
    std::string t;
    for (char ch : pattern)
      t += ch == '$'   ? intl.CurrencyLtStr
           : ch == 'C' ? intl.CurrencyRtStr.substr(0, 1)
                       : std::string(1, ch == ',' ? intl.CommaChar : ch == '.' ? intl.DecimalChar : ch);
    return t;
  }
  // The keys that put Digit in place of a shown number's last digit, then leave the field.
  void ReplaceLastDigit(TFkPictureField* f, const std::string& Digit) {
    f->SetFocus();
    Pump();
    Press(VK_END);
    Press(VK_BACK);
    Type(Digit);
    Press(VK_TAB);
  }

  std::unique_ptr<ScopedFormatSettings> german_;
};

TEST_F(NumberMaskTest, TypedNumbersKeepOneIntegerRunAcrossTheThousandsPosition) {
  auto* f = AddField(T::pftDouble, "##,###.##");
  auto* c = AddField(T::pftDouble, "$##,###.##", 40);
  ShowAndFocus(f);
  Type("1234.5");
  EXPECT_EQ(f->EditText(), "  1234.50");
  EXPECT_DOUBLE_EQ(Value(f), 1234.5);
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(f->EditText(), " 1,234.50");
  EXPECT_DOUBLE_EQ(Value(f), 1234.5);

  Type("1234.5");
  EXPECT_EQ(c->EditText(), "   1234.50");
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(c->EditText(), " $1,234.50");
  EXPECT_DOUBLE_EQ(Value(c), 1234.5);

  // Deleting a digit of a shown value: the decorations go, the run closes up.
  f->SetFocus();
  Pump();
  Press(VK_END);
  for (int i = 0; i < 3; ++i) Press(VK_LEFT);
  Press(VK_BACK);
  EXPECT_DOUBLE_EQ(Value(f), 124.5);
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(f->EditText(), "   124.50");

  // A step with the arrow key across a thousand.
  f->SetArrowIncDec(true);
  f->SetFocus();
  Pump();
  TFkValue big;
  big.Real = 9999.5;
  f->SetValue(big);
  Press(VK_UP);
  EXPECT_DOUBLE_EQ(Value(f), 10000.5);
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(f->EditText(), "10,000.50");

  // A sign typed first.
  c->SetFocus();
  Pump();
  Type("-12");
  EXPECT_DOUBLE_EQ(Value(c), -12);
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(c->EditText(), "   -$12.00");
  EXPECT_DOUBLE_EQ(Value(c), -12);
}

TEST_F(NumberMaskTest, GermanSettingsShowDotsAndReadTheDecimalComma) {
  UseGerman();
  auto* f = AddField(T::pftDouble, "##,###.##");
  auto* n = AddField(T::pftLongInt, "iii,iii", 40);
  TFkValue v;
  v.Real = 1234.5;
  f->SetValue(v);
  EXPECT_EQ(f->EditText(), " 1.234,50");
  EXPECT_DOUBLE_EQ(Value(f), 1234.5);
  ShowAndFocus(f);
  Type("98765,4");
  EXPECT_DOUBLE_EQ(Value(f), 98765.4);
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(f->EditText(), "98.765,40");
  Type("-12345");
  EXPECT_EQ(Value(n), -12345);
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(n->EditText(), "-12.345");
}

// In German settings the dot writes thousands, not the decimal point: a typed dot is refused in
// a number field (as pasting drops it), so "1.500" never reads as one and a half.
TEST_F(NumberMaskTest, GermanDotTypedIntoANumberIsRefused) {
  UseGerman();
  auto* plain = AddField(T::pftDouble);
  auto* pointed = AddField(T::pftDouble, "#####.##", 40);
  ShowAndFocus(plain);
  unsigned beeps = MessageBeepCount();
  Type("1.500");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  EXPECT_DOUBLE_EQ(Value(plain), 1500);
  Type(",25");
  EXPECT_DOUBLE_EQ(Value(plain), 1500.25);
  pointed->SetFocus();
  Pump();
  beeps = MessageBeepCount();
  Type("12.3");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  EXPECT_DOUBLE_EQ(Value(pointed), 123);
}

// A number the mask cannot show whole (a digit, a decimal or the sign without a position that
// takes it) is refused with the library's range text; the field keeps what it showed.
TEST_F(NumberMaskTest, AValueTheMaskCannotShowWholeIsRefusedAndTheFieldKeepsItsText) {
  struct Wide {
    T type;
    const char* mask;
    double value;
    std::uint8_t decimalPlaces = 0;
  };
  const std::vector<Wide> refused = {
      {T::pftLongInt, "iii,iii", -123456},  {T::pftLongInt, "iii,iii", 1234567}, {T::pftComp, "iii,iii", 1e7},
      {T::pftDouble, "##,###.##", 123456},  {T::pftDouble, "##,###.##", -12345}, {T::pftDouble, "$##,###.##", -12345},
      {T::pftDouble, "$##,###.##", 123456}, {T::pftInteger, "iii", 1234},        {T::pftInteger, "iii", -123},
      {T::pftInteger, "999", -5},           {T::pftLongInt, "99,999", -5},       {T::pftLongInt, "KKKK", 0x12345},
      {T::pftDouble, "##########", 1e12},   {T::pftDouble, "#####", 1.5e20},     {T::pftDouble, "##,###", 1234.5, 2},
  };
  for (const Wide& w : refused) {
    SCOPED_TRACE(std::string(w.mask) + " " + std::to_string(w.value));
    auto* f = AddField(w.type, w.mask);
    f->SetDecimalPlaces(w.decimalPlaces);
    TFkValue small;
    small.Int = 42;
    small.Real = 42;
    f->SetValue(small);
    const std::string shown = f->EditText();
    TFkValue v;
    // (A real field reads Real only; Int takes the value where an integer can hold it.)
    v.Int = std::fabs(w.value) < 9e18 ? static_cast<std::int64_t>(w.value) : 0;
    v.Real = w.value;
    try {
      f->SetValue(v);
      ADD_FAILURE() << "shown as [" << f->EditText() << "]";
    } catch (const EEntryFieldError& e) {
      EXPECT_EQ(e.Message(), "Value is not within required range");
    }
    EXPECT_EQ(f->EditText(), shown);
    EXPECT_DOUBLE_EQ(Value(f), 42);
    delete f;
  }
  // The same numbers by text, and their neighbours that fit.
  auto* n = AddField(T::pftLongInt, "iii,iii");
  EXPECT_THROW(n->SetAsString("1234567"), EEntryFieldError);
  EXPECT_THROW(n->SetAsString("-123456"), EEntryFieldError);
  n->SetAsString("-12345");
  EXPECT_EQ(n->EditText(), "-12,345");
  n->SetAsString("999999");
  EXPECT_EQ(n->EditText(), "999,999");
  auto* c = AddField(T::pftDouble, "$##,###.##", 40);
  c->SetAsString("-1234.5");
  EXPECT_EQ(c->EditText(), "-$1,234.50");
  auto* d = AddField(T::pftDouble, "##,###", 80);
  d->SetDecimalPlaces(2);
  d->SetAsString("1234");
  EXPECT_EQ(d->EditText(), " 1,234");

  // The arrow keys never step to a number the mask cannot show, not even by wrapping round.
  n->SetArrowIncDec(true);
  ShowAndFocus(n);
  Press(VK_UP);
  EXPECT_EQ(Value(n), 999999);
  n->SetAsString("-99999");
  Press(VK_DOWN);
  EXPECT_EQ(Value(n), -99999);
  n->SetRangeLo("-99999");
  n->SetRangeHi("99999999");
  Press(VK_DOWN);  // wraps to the high limit, which does not fit
  EXPECT_EQ(Value(n), -99999);
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(n->EditText(), "-99,999");

  // A mask too narrow for the value it is given empties the field rather than cutting the number.
  n->SetAsString("123456");
  n->SetPictureMask("i,iii");
  EXPECT_EQ(n->EditText(), "     ");
}

// Currency texts shorter or longer than the mask's "$" run, and after the number ("C"): the
// field shows the text whole or, without room for it, not at all, and reads back the number it
// was given or typed, in the C, German, Swiss (right single quote) and Swedish (no-break space)
// settings.
TEST_F(NumberMaskTest, CurrencyTextsOfOneToFourCharactersReadBackInEverySetting) {
  const std::pair<char, char> settings[] = {{'.', ','}, {',', '.'}, {'.', '\x92'}, {',', '\xA0'}};
  // Left texts "€", "kr", "CHF" and "CHF " (form 2); right texts " €", " kr", "CHF", "CHF".
  const std::pair<const char*, const char*> currencies[] = {{"\x80", "3"}, {"kr", "3"}, {"CHF", "0"}, {"CHF", "2"}};
  // Mask, value as typed, and what is shown: "$" the left currency text, "C" the right one in
  // four places, "," the thousands and "." the decimal character, right-aligned.
  const std::tuple<T, const char*, const char*, const char*> cases[] = {
      {T::pftDouble, "$##,###.##", "1234.5", "$1,234.50"},      {T::pftDouble, "$##,###.##", "-12.25", "-$12.25"},
      {T::pftDouble, "$##,###.##", "-1234.5", "-$1,234.50"},    {T::pftDouble, "$##,###.##", "99999.99", "$99,999.99"},
      {T::pftDouble, "$$$$$##,###.##", "-1234.5", "-$1,234.50"}, {T::pftDouble, "$#,###.## CCCC", "9999.99", "$9,999.99 C"},
      {T::pftLongInt, "$i,iii,iii", "1234567", "$1,234,567"},   {T::pftLongInt, "$i,iii,iii", "-12", "-$12"}};
  auto* next = AddField(T::pftString, "XXXX", 150);
  for (const auto& [decimal, thousands] : settings) {
    for (const auto& [currency, form] : currencies) {
      UseSettings(decimal, thousands, currency, form);
      const TFkIntlSup& intl = DefaultIntlSup();
      for (const auto& [type, mask, typedC, shownC] : cases) {
        auto text = [&](const std::string& pattern, const std::string& left) {
          std::string t;
          for (char ch : pattern)
            t += ch == '$' ? left : ch == 'C' ? (intl.CurrencyRtStr + "    ").substr(0, 4)
                 : std::string(1, ch == ',' ? thousands : ch == '.' ? decimal : ch);
          return t;
        };
        const std::string typed = text(typedC, "");
        std::string shown = text(shownC, intl.CurrencyLtStr);
        if (shown.size() > std::strlen(mask)) shown = text(shownC, "");  // no room for the currency
        shown.insert(0, std::strlen(mask) - shown.size(), ' ');
        SCOPED_TRACE(std::string(mask) + " [" + intl.CurrencyLtStr + "] " + typed + " shows [" + shown + "]");
        const double value = std::strtod(typedC, nullptr);
        auto* f = AddField(type, mask);
        auto readsBack = [&] {
          EXPECT_TRUE(errors.empty());
          EXPECT_EQ(f->EditText(), shown);
          EXPECT_DOUBLE_EQ(Value(f), value);
        };
        TFkValue v;
        v.Int = static_cast<std::int64_t>(value);
        v.Real = value;
        f->SetValue(v);
        readsBack();
        f->SetValue(TFkValue());
        ShowAndFocus(f);
        Type(typed);
        Press(VK_TAB);
        EXPECT_TRUE(next->Focused());
        readsBack();
        // Editing and stepping the shown number take the currency text out and put it back.
        f->SetArrowIncDec(true);
        f->SetFocus();
        Pump();
        Press(VK_END);
        Press(VK_BACK);
        Type(std::string(1, shown[shown.find_last_of("0123456789")]));
        Press(VK_DOWN);
        Press(VK_UP);
        Press(VK_TAB);
        readsBack();
        delete f;
      }
    }
  }
}

// A thousands separator of the C settings, a blank, a no-break space, an apostrophe or none at all:
// every key returns, each separator is taken out once for editing, and what is typed or set
// reads back.
TEST_F(NumberMaskTest, EveryThousandsSeparatorIsTakenOutOnceAndEveryKeyReturns) {
  const std::pair<char, char> settings[] = {{'.', ','}, {'.', ' '}, {',', ' '}, {',', '\xA0'}, {'.', '\''}};
  auto* next = AddField(T::pftString, "XXXX", 150);
  for (const auto& [decimal, thousands] : settings) {
    if (thousands != ',') UseSettings(decimal, thousands, "F", "3");  // "F" before a "$" number
    const auto text = Spelled;
    SCOPED_TRACE("[" + text("$,.") + "]");
    auto* f = AddField(T::pftDouble, "##,###.##");
    ShowAndFocus(f);
    Type(text("51234"));
    Press(VK_TAB);
    EXPECT_TRUE(next->Focused());
    EXPECT_EQ(f->EditText(), text("51,234.00"));
    EXPECT_DOUBLE_EQ(Value(f), 51234);

    auto* c = AddField(T::pftDouble, "$##,###.##", 40);
    TFkValue v;
    v.Real = 12.5;
    c->SetValue(v);
    EXPECT_EQ(c->EditText(), text("    $12.50"));
    ReplaceLastDigit(c, "7");
    EXPECT_EQ(c->EditText(), text("    $12.57"));
    EXPECT_DOUBLE_EQ(Value(c), 12.57);

    auto* n = AddField(T::pftLongInt, "$i,iii,iii", 80);
    v.Int = 1234567;
    n->SetValue(v);
    EXPECT_EQ(n->EditText(), text("$1,234,567"));
    n->SetFocus();
    Pump();
    Press(VK_END);
    EXPECT_EQ(n->EditText(), "   1234567");
    Press(VK_TAB);
    EXPECT_EQ(n->EditText(), text("$1,234,567"));
    EXPECT_EQ(Value(n), 1234567);
    EXPECT_TRUE(errors.empty());
    delete f;
    delete c;
    delete n;
  }
  // No separator (character 0): the number stands without its "," positions, and the field keeps
  // its length, blanks at the end, after editing as after setting.
  UseSettings('.', '\0');
  auto* n = AddField(T::pftLongInt, "$i,iii,iii");
  TFkValue v;
  v.Int = 1234567;
  n->SetValue(v);
  EXPECT_EQ(n->EditText(), "$1234567  ");
  ShowAndFocus(n);
  Press(VK_END);
  Press(VK_TAB);
  EXPECT_EQ(n->EditText(), "$1234567  ");
  EXPECT_EQ(Value(n), 1234567);
}

// A currency text made of digits would read as part of the number: the field leaves it out, so
// the number it shows, set, typed or edited, before or after a "C" currency run, negative or
// not, reads back in every currency form and in the C and German settings.
TEST_F(NumberMaskTest, ACurrencyTextOfDigitsIsNeverReadAsPartOfTheNumber) {
  const std::pair<char, char> settings[] = {{'.', ','}, {',', '.'}};
  auto* next = AddField(T::pftString, "XXXX", 150);
  for (const auto& [decimal, thousands] : settings) {
    for (const char* form : {"0", "1", "2", "3"}) {
      UseSettings(decimal, thousands, "12", form);
      const auto text = Spelled;
      SCOPED_TRACE(text("[,.] form ") + form);
      auto* s = AddField(T::pftDouble, "$#####.##");
      TFkValue v;
      v.Real = -1234.5;
      s->SetValue(v);
      EXPECT_EQ(s->EditText(), text(" -1234.50"));
      EXPECT_DOUBLE_EQ(Value(s), -1234.5);

      auto* t = AddField(T::pftDouble, "$##,###.## C", 40);
      ShowAndFocus(t);
      Type(text("1234.50"));
      Press(VK_TAB);
      EXPECT_TRUE(next->Focused());
      EXPECT_EQ(t->EditText(), text("  1,234.50 C"));
      EXPECT_DOUBLE_EQ(Value(t), 1234.5);
      v.Real = 34.5;
      t->SetValue(v);
      EXPECT_EQ(t->EditText(), text("     34.50 C"));
      ReplaceLastDigit(t, "7");
      EXPECT_EQ(t->EditText(), text("     34.57 C"));
      EXPECT_DOUBLE_EQ(Value(t), 34.57);
      EXPECT_TRUE(errors.empty());
      delete s;
      delete t;
    }
  }
}

// --- the model: random keys against the number the field shows

struct Case {
  T type;
  const char* mask;
};

// The number a reader sees in an edit text: currency sign and thousands separators are
// decoration, blank positions hold nothing; nothing when the rest is not a number.
std::optional<double> ShownNumber(const std::string& text, const std::string& mask, const TFkIntlSup& intl,
                                  bool integer) {
  std::string s = text;
  if (mask.find('$') != std::string::npos && !intl.CurrencyLtStr.empty())
    if (auto p = s.find(intl.CurrencyLtStr); p != std::string::npos) s.erase(p, intl.CurrencyLtStr.size());
  std::string t;
  for (char ch : s) {
    if (ch == ' ' || (mask.find(',') != std::string::npos && ch == intl.CommaChar)) continue;
    t += ch == intl.DecimalChar && mask.find('.') != std::string::npos ? '.' : ch;
  }
  std::size_t i = 0;
  if (i < t.size() && t[i] == '-') ++i;
  std::size_t digits = 0, points = 0;
  for (std::size_t k = i; k < t.size(); ++k) {
    if (t[k] >= '0' && t[k] <= '9') ++digits;
    else if (t[k] == '.' && !integer) ++points;
    else return std::nullopt;
  }
  if (digits == 0 || points > 1) return std::nullopt;
  return std::strtod(t.c_str(), nullptr);
}

// What reading the field must answer for a shown number.
std::uint16_t Expected(TFkPictureField* f, const std::optional<double>& shown) {
  if (!shown) return ecInvalidType;
  if (!IsIntegerType(f->DataType())) return 0;
  std::int64_t lo = 0, hi = 0;
  std::istringstream(f->RangeLo()) >> lo;
  std::istringstream(f->RangeHi()) >> hi;
  return *shown >= static_cast<double>(lo) && *shown <= static_cast<double>(hi) ? 0 : ecOutOfRange;
}

class NumberMaskModel : public NumberMaskTest, public ::testing::WithParamInterface<bool> {
 protected:
  // A number set by the program, often wider than the mask, sometimes with one decimal more
  // than it shows: the field shows exactly that number (a float rounded to the mask's
  // decimals) or refuses it whole and keeps its text.  A number whose digits and sign find
  // room in the mask is never refused.
  static void SetRandomNumber(TFkPictureField* f, const std::string& mask, std::mt19937& rng, std::ostringstream& log) {
    const bool integer = IsIntegerType(f->DataType());
    const std::size_t point = mask.find('.');
    const int decimals = point == std::string::npos ? 0 : static_cast<int>(mask.size() - point - 1);
    int room = 0;
    for (std::size_t i = 0; i < std::min(point, mask.size()); ++i) room += mask[i] == '#' || mask[i] == 'i' || mask[i] == '9';
    const bool signRoom = mask.find_first_of("#i") != std::string::npos;
    std::string text = rng() % 3 == 0 ? "-" : "";
    const int digits = static_cast<int>(rng() % 10);
    for (int i = 0; i < digits; ++i) text += static_cast<char>('0' + rng() % 10);
    if (digits == 0) text += '0';
    const int fraction = integer ? 0 : static_cast<int>(rng() % static_cast<unsigned>(decimals + 2));
    if (fraction > 0) text += '.';
    for (int i = 0; i < fraction; ++i) text += static_cast<char>('0' + rng() % 10);
    double wanted = std::strtod(text.c_str(), nullptr);
    if (integer) {
      std::int64_t lo = 0, hi = 0;
      std::istringstream(f->RangeLo()) >> lo;
      std::istringstream(f->RangeHi()) >> hi;
      while (wanted < static_cast<double>(lo) || wanted > static_cast<double>(hi)) wanted = std::trunc(wanted / 10);
    }
    TFkValue v;
    v.Int = static_cast<std::int64_t>(wanted);
    v.Real = wanted;
    log << " set[" << (integer ? std::to_string(v.Int) : text) << "]";
    const std::string before = f->EditText();
    try {
      f->SetValue(v);
    } catch (const EEntryFieldError& e) {
      log << " refused";
      ASSERT_EQ(e.Message(), "Value is not within required range") << log.str();
      ASSERT_EQ(f->EditText(), before) << log.str();
      const std::string whole = std::to_string(static_cast<std::int64_t>(std::ceil(std::fabs(wanted))));
      const bool fits = static_cast<int>(whole.size()) + (wanted < 0 ? 1 : 0) <= room && (wanted >= 0 || signRoom);
      ASSERT_FALSE(fits) << log.str();
      return;
    }
    const std::optional<double> shown = ShownNumber(f->EditText(), mask, DefaultIntlSup(), integer);
    ASSERT_TRUE(shown.has_value()) << log.str() << " -> [" << f->EditText() << "]";
    const double unit = std::pow(10.0, -decimals);
    ASSERT_LE(std::fabs(*shown - wanted), integer ? 0.0 : unit / 2 * (1 + 1e-9) + 1e-9 * std::fabs(wanted))
        << log.str() << " -> [" << f->EditText() << "]";
  }
};

TEST_P(NumberMaskModel, RandomKeysReadBackTheShownNumber) {
  const bool german = GetParam();
  if (german) UseGerman();
  const TFkIntlSup& intl = DefaultIntlSup();
  const std::vector<Case> cases = {
      {T::pftDouble, "##,###.##"},  {T::pftDouble, "$##,###.##"}, {T::pftReal, "###,###.#"},
      {T::pftSingle, "#,###.##"},   {T::pftExtended, "$###,###.###"}, {T::pftComp, "iii,iii"},
      {T::pftLongInt, "iii,iii"},   {T::pftLongInt, "$i,iii,iii"}, {T::pftWord, "99,999"},
      {T::pftInteger, "ii,iii"},    {T::pftShortInt, "i,iii"},     {T::pftByte, "9,99"},
  };
  const char dec = intl.DecimalChar, sep = intl.CommaChar;
  const std::vector<std::string> pastes = {
      std::string("1") + sep + "234" + dec + "5", "-12", std::string("$9") + dec + "75", "4 321", "77", "0" + std::string(1, dec) + "25"};
  std::mt19937 rng(german ? 4242u : 1717u);
  AddField(T::pftString, "XXXX", 150);  // where the focus goes on Tab
  int top = 0;
  for (const Case& c : cases) {
    auto* f = AddField(c.type, c.mask, top);
    top += 2;
    const bool integer = IsIntegerType(c.type);
    f->SetArrowIncDec(true);
    ShowAndFocus(f);
    for (int round = 0; round < 16; ++round) {
      std::ostringstream log;
      log << c.mask << " round " << round << ":";
      for (int step = 0; step < 16; ++step) {
        const int pick = static_cast<int>(rng() % 26);
        if (pick < 8) {
          const char d = static_cast<char>('0' + rng() % 10);
          log << " " << d;
          Type(std::string(1, d));
        } else if (pick == 8) {
          log << " dec";
          InjectKey(dec == '.' ? 0xBE : 0xBC, static_cast<unsigned char>(dec));
          Pump();
        } else if (pick == 9) {
          log << " -";
          Type("-");
        } else if (pick == 10 || pick == 11) {
          log << " BS";
          Press(VK_BACK);
        } else if (pick == 12) {
          log << " Del";
          Press(VK_DELETE);
        } else if (pick == 13) {
          log << " Left";
          Press(VK_LEFT);
        } else if (pick == 14) {
          log << " Right";
          Press(VK_RIGHT);
        } else if (pick == 15) {
          log << " Home";
          Press(VK_HOME);
        } else if (pick == 16) {
          log << " End";
          Press(VK_END);
        } else if (pick == 17) {
          const std::string& p = pastes[rng() % pastes.size()];
          log << " paste[" << p << "]";
          PasteWithKeys(p);
        } else if (pick >= 23) {
          SetRandomNumber(f, c.mask, rng, log);
        } else if (pick == 22) {
          // The thousands separator typed as the user writes numbers (a dot in German).
          log << " sep";
          InjectKey(sep == '.' ? 0xBE : 0xBC, static_cast<unsigned char>(sep));
          Pump();
        } else if (pick >= 20) {
          // The arrow keys step the value (ArrowIncDec is on).
          log << (pick == 20 ? " Up" : " Down");
          Press(pick == 20 ? VK_UP : VK_DOWN);
        } else {
          log << " Tab";
          // Leaving: a number is shown as its value written back, decorations in place; anything
          // else is reported once and keeps the focus.
          const std::uint16_t before = Expected(f, ShownNumber(f->EditText(), c.mask, intl, integer));
          errors.clear();
          Press(VK_TAB);
          log << " -> [" << f->EditText() << "]";
          if (before == 0) {
            ASSERT_TRUE(errors.empty()) << log.str();
            ASSERT_FALSE(f->Focused()) << log.str();
            TFkValue v;
            ASSERT_EQ(f->GetValue(v), 0) << log.str();
            auto* probe = AddField(c.type, c.mask, 170);
            probe->SetValue(v);
            ASSERT_EQ(f->EditText(), probe->EditText()) << log.str();
            delete probe;
            f->SetFocus();
            Pump();
          } else {
            ASSERT_EQ(errors, std::vector<std::uint16_t>{before}) << log.str();
            ASSERT_TRUE(f->Focused()) << log.str();
          }
          errors.clear();
          continue;
        }
        log << " -> [" << f->EditText() << "]";
        const std::optional<double> shown = ShownNumber(f->EditText(), c.mask, intl, integer);
        TFkValue v;
        const std::uint16_t code = f->GetValue(v);
        ASSERT_EQ(code, Expected(f, shown)) << log.str();
        if (code == 0) {
          const double read = integer ? static_cast<double>(v.Int) : v.Real;
          const double tolerance = c.type == T::pftSingle ? 1e-3 : 1e-9;
          ASSERT_NEAR(read, *shown, tolerance * std::max(1.0, std::fabs(*shown))) << log.str();
        }
        ASSERT_TRUE(f->Focused()) << log.str();
      }
      // Start the next round from an empty field.
      f->SetValue(TFkValue());
      errors.clear();
    }
    delete f;
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, NumberMaskModel, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "German" : "C"; });

}  // namespace
}  // namespace tw::entry
