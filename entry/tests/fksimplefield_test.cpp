#include <gtest/gtest.h>

#include <cmath>

#include "entry/fkexcept.h"
#include "entry/fksimplefield.h"
#include "entry/tests/entry_test_util.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

class SimpleFieldTest : public test::EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    form = NewForm(300, 200);
    auto* c = new TFkController(form);
    c->OnError = [this](TObject*, std::uint16_t code, const std::string&) { errors.push_back(code); };
  }
  TFkSimpleField* Add(T type, int top = 0) {
    auto* f = new TFkSimpleField(form);
    f->SetParent(form);
    f->SetTop(top);
    f->SetDataType(type);
    return f;
  }
  void ShowAndFocus(TFkSimpleField* f) {
    form->Show();
    Pump();
    f->SetFocus();
    Pump();
  }
  TForm* form = nullptr;
  std::vector<std::uint16_t> errors;
};

TEST_F(SimpleFieldTest, DefaultsFollowTheDataType) {
  auto* f = Add(T::pftWord);
  EXPECT_EQ(f->MaxLength(), 5);
  EXPECT_EQ(f->PictureMask(), '9');
  f->SetDataType(T::pftDouble);
  EXPECT_EQ(f->MaxLength(), 14);
  EXPECT_EQ(f->PictureMask(), '#');
  EXPECT_THROW(f->SetPictureMask('D'), EInvalidPictureMask);
  EXPECT_EQ(f->PictureMask(), '#');
  EXPECT_THROW(f->SetDataType(T::pftDate), EFkException);
}

TEST_F(SimpleFieldTest, InsertPushesDecidesWhatAFullFieldDoes) {
  auto* f = Add(T::pftString);
  f->SetMaxLength(4);
  ShowAndFocus(f);
  Type("abcd");
  Press(VK_LEFT);
  Press(VK_LEFT);
  Type("X");
  EXPECT_EQ(f->EditText(), "abXc") << "the last character is pushed out";
  f->SetInsertPushes(false);
  const unsigned beeps = MessageBeepCount();
  Type("Y");
  EXPECT_EQ(f->EditText(), "abXc");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
}

TEST_F(SimpleFieldTest, WordRangesAndNumbers) {
  auto* f = Add(T::pftWord);
  ShowAndFocus(f);
  Press(VK_BACK);
  Type("70000");
  EXPECT_FALSE(f->ValidateField(false));
  EXPECT_EQ(f->LastError, ecOutOfRange);
  Pump();
  auto* g = Add(T::pftWord, 40);
  g->SetAsString("7");
  g->SetFocus();
  Pump();
  Press(VK_END);
  const unsigned beeps = MessageBeepCount();
  Type("x");
  EXPECT_EQ(MessageBeepCount(), beeps + 1) << "letters are refused by the mask";
  EXPECT_EQ(g->EditText(), "7");
}

TEST_F(SimpleFieldTest, SetAsStringNeverMakesTheTextLongerThanMaxLength) {
  auto* text = Add(T::pftString);
  text->SetMaxLength(5);
  text->SetAsString("abcdefgh");
  EXPECT_EQ(text->EditText(), "abcde");
  auto* number = Add(T::pftLongInt, 40);
  number->SetMaxLength(4);
  number->SetAsString("1234");
  EXPECT_EQ(number->EditText(), "1234");
  // A number that does not fit is refused whole: a cut text would be another number.
  EXPECT_THROW(number->SetAsString("-2147483648"), EEntryFieldError);
  EXPECT_EQ(number->EditText(), "1234");
  EXPECT_THROW(number->SetAsString("123456"), EEntryFieldError);
  EXPECT_LE(number->EditText().size(), 4u);
  auto* real = Add(T::pftDouble, 80);
  real->SetMaxLength(6);
  real->SetAsString("123456789.125");
  EXPECT_LE(real->EditText().size(), 6u) << real->EditText();
}

// A float in exponent form gives up digits, never its exponent's; where not even one digit
// and the exponent fit, the number is refused.
TEST_F(SimpleFieldTest, AnExponentIsNeverCutAndANumberWithoutRoomIsRefused) {
  auto* f = Add(T::pftDouble);  // 14 characters
  for (const char* text : {"-1.2345678E+300", "9.87654321E+299", "-9.87654321E+99", "123456789012345678"}) {
    SCOPED_TRACE(text);
    const double wanted = std::stod(text);
    f->SetAsString(text);
    EXPECT_LE(f->EditText().size(), 14u) << f->EditText();
    TFkValue v;
    ASSERT_EQ(f->GetValue(v), 0) << f->EditText();
    EXPECT_NEAR(v.Real / wanted, 1.0, 1e-5) << f->EditText();
  }
  f->SetMaxLength(4);
  f->SetAsString("12");
  try {
    f->SetAsString("-1E+300");
    ADD_FAILURE() << f->EditText();
  } catch (const EEntryFieldError& e) {
    EXPECT_EQ(e.Message(), "Value is not within required range");
  }
  EXPECT_EQ(f->EditText(), "12");
}

// Steps and the rewrite on leaving never make a number longer than the field: the step beeps
// and keeps the value, a typed number whose normal form does not fit is out of range.
TEST_F(SimpleFieldTest, AStepOrRewriteThatWouldNotFitKeepsTheNumber) {
  auto* f = Add(T::pftLongInt);  // 8 characters, range of the type
  f->SetArrowIncDec(true);
  ShowAndFocus(f);
  f->SetAsString("99999999");
  unsigned beeps = MessageBeepCount();
  Press(VK_UP);
  EXPECT_EQ(f->EditText(), "99999999");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  f->SetAsString("-9999999");
  f->SetRangeLo("-9999999");
  beeps = MessageBeepCount();
  Press(VK_DOWN);  // wraps to 2147483647, eleven characters too many
  EXPECT_EQ(f->EditText(), "-9999999");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);

  // Octal and binary long integers have more digits than the field's 8 characters: the padding
  // zeros give way, the digits of the number never.
  auto* octal = Add(T::pftLongInt, 40);
  octal->SetPictureMask('O');
  octal->SetFocus();
  Pump();
  EXPECT_EQ(octal->EditText(), "00000000");
  octal->SetAsString("777");
  EXPECT_EQ(octal->EditText(), "00000777");
  EXPECT_THROW(octal->SetAsString("-1"), EEntryFieldError);  // 37777777777
  EXPECT_EQ(octal->EditText(), "00000777");
  Press(VK_END);
  Press(VK_BACK);
  Type("1");
  EXPECT_TRUE(octal->ValidateField(false));
  EXPECT_EQ(octal->EditText(), "00000771");
  auto* binary = Add(T::pftByte, 80);
  binary->SetPictureMask('b');
  binary->SetMaxLength(3);
  binary->SetAsString("101");
  EXPECT_EQ(binary->EditText(), "101");
  EXPECT_THROW(binary->SetAsString("1000"), EEntryFieldError);
  TFkValue v;
  EXPECT_EQ(binary->GetValue(v), 0);
  EXPECT_EQ(v.Int, 5);

  // A typed number whose written form ("1E+99") is longer than the field stays as typed and is
  // out of range.
  auto* e = Add(T::pftDouble, 120);
  e->SetPictureMask('E');
  e->SetMaxLength(4);
  e->SetFocus();
  Pump();
  Type("1E99");
  EXPECT_FALSE(e->ValidateField(false));
  EXPECT_EQ(e->LastError, ecOutOfRange);
  EXPECT_EQ(e->EditText(), "1E99");
}

TEST_F(SimpleFieldTest, HexadecimalMaskShowsAllDigitsOfTheType) {
  auto* f = Add(T::pftLongInt);
  f->SetPictureMask('K');
  f->SetAsString("FF");
  EXPECT_EQ(f->EditText(), "000000FF");
  TFkValue v;
  EXPECT_EQ(f->GetValue(v), 0);
  EXPECT_EQ(v.Int, 255);
}

// A negative number the field writes in hexadecimal, octal or binary reads back as itself
// when the user leaves the field: a text of the type's full width is its two's complement.
TEST_F(SimpleFieldTest, NegativeNumbersInRadixMasksReadBackWhenLeavingTheField) {
  struct Case {
    T type;
    char mask;
    std::int64_t value;
    const char* text;
  };
  const Case cases[] = {{T::pftLongInt, 'K', -1, "FFFFFFFF"},
                        {T::pftLongInt, 'K', -2147483648LL, "80000000"},
                        {T::pftInteger, 'K', -2, "FFFE"},
                        {T::pftShortInt, 'K', -1, "FF"},
                        {T::pftShortInt, 'b', -128, "10000000"},
                        {T::pftInteger, 'O', -2, "177776"}};
  auto* other = Add(T::pftString, 80);
  int top = 0;
  for (const Case& c : cases) {
    auto* f = Add(c.type, top);
    top += 30;
    f->SetPictureMask(c.mask);
    f->SetMaxLength(static_cast<std::uint16_t>(std::string(c.text).size()));
    TFkValue v;
    v.Int = c.value;
    f->SetValue(v);
    EXPECT_EQ(f->EditText(), c.text);
    ShowAndFocus(f);
    other->SetFocus();
    Pump();
    EXPECT_TRUE(errors.empty()) << c.text << " reported " << errors.front();
    errors.clear();
    EXPECT_EQ(f->GetValue(v), 0) << c.text;
    EXPECT_EQ(v.Int, c.value) << c.text;
    f->SetAsString(f->GetAsString());
    EXPECT_EQ(f->GetValue(v), 0) << c.text;
    EXPECT_EQ(v.Int, c.value) << c.text;
  }
  // A shorter text keeps its plain value: "FF" in a 32-bit field is 255.
  auto* f = Add(T::pftLongInt, top);
  f->SetPictureMask('K');
  f->SetAsString("FF");
  TFkValue v;
  EXPECT_EQ(f->GetValue(v), 0);
  EXPECT_EQ(v.Int, 255);
}

// A character field's range is "space to space" and it starts empty, as a space.
TEST_F(SimpleFieldTest, CharacterFieldStartsAsASpace) {
  auto* f = Add(T::pftChar);
  EXPECT_EQ(f->RangeLo(), "#32");
  EXPECT_EQ(f->RangeHi(), "#32");
  ShowAndFocus(f);
  TFkValue v;
  EXPECT_EQ(f->GetValue(v), 0);
  EXPECT_EQ(v.Int, ' ');
  EXPECT_EQ(f->EditText(), " ");
  f->IncreaseValue(true, 1.0);  // a spinner's step
  EXPECT_EQ(f->EditText(), "!");
}

TEST_F(SimpleFieldTest, ArrowDownAtTheLowLimitWraps) {
  auto* f = Add(T::pftByte);
  f->SetArrowIncDec(true);
  f->SetRangeLo("10");
  f->SetRangeHi("20");
  ShowAndFocus(f);
  f->SetAsString("10");
  Press(VK_DOWN);
  EXPECT_EQ(f->EditText(), "20");
  Press(VK_UP);
  EXPECT_EQ(f->EditText(), "10");
  Press(VK_UP);
  EXPECT_EQ(f->EditText(), "11");
}

// A step of any size moves the number toward its own side of the range; a step that is no
// number changes nothing.
TEST_F(SimpleFieldTest, StepsOfAnySizeGoTheirWayAndNonNumbersDoNothing) {
  auto* n = Add(T::pftInteger);
  n->SetRangeLo("-100");
  n->SetRangeHi("100");
  auto* r = Add(T::pftDouble, 40);
  r->SetRangeLo("-100");
  r->SetRangeHi("100");
  ShowAndFocus(n);
  for (double delta : {1e12, 9.3e18, 1e300, -1e12, -9.3e18, -1e300}) {
    SCOPED_TRACE(delta);
    n->SetAsString("5");
    n->IncreaseValue(false, delta);
    EXPECT_EQ(n->GetAsString(), delta > 0 ? "100" : "-100");
  }
  for (double delta : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    n->SetAsString("5");
    n->IncreaseValue(true, delta);
    EXPECT_EQ(n->GetAsString(), "5");
  }
  r->SetFocus();
  Pump();
  for (double delta : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    r->SetAsString("5");
    r->IncreaseValue(true, delta);
    EXPECT_EQ(r->GetAsString(), "5");
  }
}

TEST_F(SimpleFieldTest, CaseForcingAndUninitializedDisplay) {
  auto* f = Add(T::pftString);
  f->SetPictureMask('x');
  f->Uninitialized = true;
  auto* other = Add(T::pftString, 40);
  f->SetMaxLength(20);
  f->SetAsString("van der berg");
  form->Show();
  Pump();
  other->SetFocus();
  Pump();
  EXPECT_EQ(f->GetDisplayText(), std::string(12, ' '));
  f->SetFocus();
  Pump();
  EXPECT_EQ(f->GetDisplayText(), "Van Der Berg");
  Press(VK_END);
  Type(" jr-x");
  EXPECT_EQ(f->EditText(), "Van Der Berg Jr-X");
  (void)other;
}

TEST_F(SimpleFieldTest, BooleanFieldTogglesAndRefusesOtherLetters) {
  auto* f = Add(T::pftBoolean);
  ShowAndFocus(f);
  EXPECT_EQ(f->EditText(), "F");
  Type("t");
  EXPECT_EQ(f->EditText(), "T");
  const unsigned beeps = MessageBeepCount();
  Type("q");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  Press(VK_ADD);
  f->IncreaseValue(true, 1.0);
  EXPECT_EQ(f->EditText(), "F");
}

TEST_F(SimpleFieldTest, AssignCopiesTypeMaskAndOptions) {
  auto* a = Add(T::pftString);
  a->SetPictureMask('!');
  a->SetMaxLength(30);
  a->SetBorderStyle(TBorderStyle::bsNone);
  a->PadChar = '_';
  a->SetForceOvertype(true);
  a->ErrorColors()->SetBackColor(clYellow);
  a->SoftValidation = true;
  auto* b = Add(T::pftWord, 40);
  b->Assign(a);
  EXPECT_EQ(b->DataType(), T::pftString);
  EXPECT_EQ(b->PictureMask(), '!');
  EXPECT_EQ(b->MaxLength(), 30);
  EXPECT_EQ(b->BorderStyle(), TBorderStyle::bsNone);
  EXPECT_EQ(b->PadChar, '_');
  EXPECT_TRUE(b->ForceOvertype());
  EXPECT_EQ(b->ErrorColors()->BackColor(), clYellow);
  EXPECT_TRUE(b->SoftValidation);
  // Another kind of source goes to the inherited assignment, which refuses it.
  TFkColors colours(clBlack, clWhite);
  EXPECT_THROW(b->Assign(&colours), EConvertError);
}

}  // namespace
}  // namespace tw::entry

namespace tw::entry {
namespace {

TEST_F(SimpleFieldTest, CtrlKeysOnWordsAndSelections) {
  auto* f = Add(T::pftString);
  f->SetMaxLength(20);
  ShowAndFocus(f);
  Type("ab  cd ef");
  Press(VK_LEFT, true);
  EXPECT_EQ(f->SelStart(), 7);
  Press(VK_LEFT, true);
  EXPECT_EQ(f->SelStart(), 4);
  Press(VK_RIGHT, true);
  EXPECT_EQ(f->SelStart(), 7);
  Press(VK_HOME);
  Press(VK_RIGHT, true, true);
  EXPECT_EQ(f->SelStart(), 0);
  EXPECT_EQ(f->SelEnd(), 4);
  Press(VK_END);
  EXPECT_EQ(f->SelStart(), f->SelEnd()) << "End drops the selection";
  // Ctrl+Backspace and Ctrl+Delete with the characters the keyboard types for them.
  for (UINT vk : {VK_BACK, VK_DELETE}) {
    InjectKeyDown(VK_CONTROL);
    InjectKey(vk, 0);
    Pump();
    InjectKeyUp(VK_CONTROL);
    Pump();
    EXPECT_EQ(f->EditText(), "ab  cd ef") << "no DEL character in the text";
  }
  // The same in a picture field.
  auto* p = new TFkPictureField(form);
  p->SetParent(form);
  p->SetTop(40);
  p->SetDataType(T::pftString);
  p->SetPictureMask("XXXX");
  p->SetFocus();
  Pump();
  Type("ab");
  InjectKeyDown(VK_CONTROL);
  InjectKey(VK_BACK, 0);
  Pump();
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(p->EditText().find('\x7F'), std::string::npos);
  // Nor does a pasted DEL, in either field.
  PasteWithKeys("c\x7F");
  EXPECT_EQ(p->EditText().find('\x7F'), std::string::npos);
  f->SetFocus();
  Pump();
  Press(VK_END);
  PasteWithKeys("g\x7Fh");
  EXPECT_EQ(f->EditText(), "ab  cd efgh");
}

}  // namespace
}  // namespace tw::entry
