#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "entry/fkpicturefield.h"
#include "entry/tests/entry_test_util.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/win/winapi.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

DayNumber Date(int d, int m, int y) { return DMYToDayNumber(d, m, y, 0); }

class PictureFieldTest : public test::PictureFormTest {};

TEST_F(PictureFieldTest, TypedDateIsReadBackAndCaretSkipsSeparators) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  ShowAndFocus(f);
  Type("12312024");
  EXPECT_EQ(f->EditText(), "12/31/2024");
  EXPECT_EQ(f->GetAsDayNumber(), Date(31, 12, 2024));
  EXPECT_EQ(f->LastError, 0);
  EXPECT_DOUBLE_EQ(f->GetAsDateTime(), DayNumberToDateTime(Date(31, 12, 2024)));
  EXPECT_TRUE(f->Modified());
}

TEST_F(PictureFieldTest, LettersAreRefusedInDigitPositions) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  ShowAndFocus(f);
  const unsigned beeps = MessageBeepCount();
  Type("1x");
  EXPECT_EQ(f->EditText(), "1 /  /    ");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
}

TEST_F(PictureFieldTest, InvalidDateIsReportedWhenLeavingAndTheFocusComesBack) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  auto* other = AddField(T::pftString, "", 40);
  ShowAndFocus(f);
  Type("02302024");
  Press(VK_TAB);
  Pump();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], ecInvalidDate);
  EXPECT_EQ(errorTexts[0], "Value is not a valid date");
  EXPECT_TRUE(f->Focused());
  EXPECT_FALSE(other->Focused());
  EXPECT_EQ(f->GetAsDayNumber(), BadDate);
  EXPECT_EQ(f->LastError, ecInvalidDate);
  EXPECT_DOUBLE_EQ(f->GetAsDateTime(), 0.0);
  EXPECT_FALSE(f->IsValid()) << "a read that gives no date marks the field";
}

TEST_F(PictureFieldTest, ABlankOrUnreadDateReadsAsAFailureNeverAsDayZero) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  f->SetAsString("");
  ASSERT_TRUE(f->IsValid()) << "never validated";
  EXPECT_DOUBLE_EQ(f->GetAsDateTime(), 0.0);
  EXPECT_EQ(f->LastError, ecInvalidDate) << "a blank date is no date";
  EXPECT_FALSE(f->IsValid());
  EXPECT_EQ(f->GetAsDayNumber(), BadDate);
  EXPECT_EQ(f->LastError, ecInvalidDate);

  // A text that does not read, put in by a program and never validated.
  f->SetAsDayNumber(Date(1, 2, 2024));
  EXPECT_TRUE(f->IsValid()) << "a value set clears the mark";
  ShowAndFocus(f);
  Type("0230");
  EXPECT_TRUE(f->IsValid());
  EXPECT_DOUBLE_EQ(f->GetAsDateTime(), 0.0);
  EXPECT_EQ(f->LastError, ecInvalidDate);
  EXPECT_FALSE(f->IsValid());
  // A good date read afterwards is read as it stands.
  f->SetAsDayNumber(Date(3, 4, 2025));
  EXPECT_DOUBLE_EQ(f->GetAsDateTime(), DayNumberToDateTime(Date(3, 4, 2025)));
  EXPECT_EQ(f->LastError, 0);
}

TEST_F(PictureFieldTest, SoftValidationMarksTheFieldAndLetsTheFocusGo) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  auto* other = AddField(T::pftString, "", 40);
  f->SoftValidation = true;
  ShowAndFocus(f);
  Type("13012024");
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_TRUE(other->Focused());
  EXPECT_FALSE(f->IsValid());
}

TEST_F(PictureFieldTest, CancelButtonSkipsTheReport) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  auto* cancel = AddField(T::pftString, "", 40);
  controller->SetBtnCancel(cancel);
  ShowAndFocus(f);
  Type("99");
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_TRUE(cancel->Focused());
  delete cancel;
  EXPECT_EQ(controller->BtnCancel, nullptr);
}

TEST_F(PictureFieldTest, TimeFieldsValidateHoursAndAllowAnEmptyTime) {
  auto* f = AddField(T::pftTime, "hh:mm");
  ShowAndFocus(f);
  EXPECT_TRUE(f->ValidateField(false)) << "an empty time is no error";
  Type("2561");
  EXPECT_FALSE(f->ValidateField(false));
  EXPECT_EQ(f->LastError, ecInvalidTime);
  Pump();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], ecInvalidTime);
  f->SetAsSeconds(23 * 3600 + 59 * 60);
  EXPECT_EQ(f->EditText(), "23:59");
  EXPECT_THROW(f->SetAsDayNumber(5), EInvalidDataType);
}

TEST_F(PictureFieldTest, RequiredFieldAndUserCodes) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  f->InputRequired = true;
  ShowAndFocus(f);
  EXPECT_FALSE(f->ValidateField(false));
  EXPECT_EQ(f->LastError, ecRequired);
  Pump();
  f->InputRequired = false;
  controller->ErrorText = "Birth date must be in the past";
  controller->ErrorPending = false;
  f->OnUserValidation = [](TObject*, std::uint16_t& code) { code = 40000; };
  EXPECT_FALSE(f->ValidateField(false));
  Pump();
  f->OnUserValidation = [](TObject*, std::uint16_t& code) { code = 300; };
  controller->ErrorPending = false;
  EXPECT_FALSE(f->ValidateField(false));
  Pump();
  ASSERT_EQ(errorTexts.size(), 3u);
  EXPECT_EQ(errorTexts[0], "A value is required in this field");
  EXPECT_EQ(errorTexts[1], "Birth date must be in the past");
  EXPECT_EQ(errorTexts[2], "Entry Error");
}

TEST_F(PictureFieldTest, OneReportWhileAnErrorIsOutstanding) {
  auto* a = AddField(T::pftLongInt);
  auto* b = AddField(T::pftLongInt, "", 40);
  ShowAndFocus(a);
  a->SetRangeHi("10");
  b->SetRangeHi("10");
  Type("50");
  b->SetAsString("99");
  EXPECT_FALSE(a->ValidateField(false));
  EXPECT_FALSE(b->ValidateField(false));
  Pump();
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], ecOutOfRange);
}

TEST_F(PictureFieldTest, TwoDigitYearMasksKeepToTheEpochWindow) {
  auto* f = AddField(T::pftDate, "dd/mm/yy");
  f->SetEpoch(1950);
  ShowAndFocus(f);
  f->SetAsDayNumber(0);
  EXPECT_EQ(f->EditText(), "  /  /  ");
  f->SetAsDayNumber(DateTimeDelta);
  EXPECT_EQ(f->EditText(), "  /  /  ");
  EXPECT_THROW(f->SetAsDayNumber(Date(1, 1, 1940)), EInvalidDateForMask);
  f->SetAsDayNumber(Date(5, 3, 2009));
  EXPECT_EQ(f->EditText(), "05/03/09");
  EXPECT_EQ(f->GetAsDayNumber(), Date(5, 3, 2009));
  f->SetEpoch(1599);
  EXPECT_EQ(f->Epoch(), 1950);
  auto* wide = AddField(T::pftDate, "mm/dd/yyyy", 40);
  wide->SetAsDayNumber(Date(1, 1, 1601));
  EXPECT_EQ(wide->GetAsDayNumber(), Date(1, 1, 1601));
}

// A two-digit year shows only the hundred years from the epoch: a date outside them would be
// read back a century away, so no road writes one there.
TEST_F(PictureFieldTest, TwoDigitYearFieldsNeverShowADateOutsideTheEpochWindow) {
  SetClock([] { return DayNumberToDateTime(Date(6, 12, 2026)); });
  controller->EntryCommands()->AddRowToTable("Default", {'T', ksCtrl, 0, 0, ccCompleteDate});
  auto* f = AddField(T::pftDate, "mm/dd/yy");
  f->SetEpoch(1910);
  ShowAndFocus(f);
  struct Step {
    DayNumber from;
    int rights;  // Right presses from Home: 0 to the month, 2 to the day, 4 to the year
    double delta;
  };
  const Step steps[] = {{Date(31, 12, 2009), 2, 1}, {Date(15, 12, 2009), 0, 1}, {Date(15, 6, 2009), 4, 1},
                        {Date(1, 1, 1910), 2, -1},  {Date(15, 1, 1910), 0, -1}, {Date(15, 6, 1910), 4, -1}};
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.from << " after " << s.rights << " by " << s.delta);
    f->SetAsDayNumber(s.from);
    const std::string shown = f->EditText();
    Press(VK_HOME);
    for (int i = 0; i < s.rights; ++i) Press(VK_RIGHT);
    // The spinner's step without wrapping: the date stays.
    f->IncreaseValue(false, s.delta);
    EXPECT_EQ(f->EditText(), shown);
    EXPECT_EQ(f->GetAsDayNumber(), s.from);
    // The arrow keys wrap to the other end of the hundred years.
    f->IncreaseValue(true, s.delta);
    const DayNumber wrapped = f->GetAsDayNumber();
    EXPECT_GE(wrapped, Date(1, 1, 1910));
    EXPECT_LE(wrapped, Date(31, 12, 2009));
    EXPECT_EQ(f->EditText(), DefaultIntlSup().DayNumberToText("mm/dd/yy", wrapped, false));
  }
  // Today (2026) lies outside 1910..2009: completing the date or its year refuses, the rest of
  // a date takes today's day and month.
  f->SetAsDayNumber(Date(2, 3, 1995));
  f->SelectAll();
  Press('T', true);
  EXPECT_EQ(f->EditText(), "03/02/95");
  EXPECT_EQ(f->GetAsDayNumber(), Date(2, 3, 1995));
  Press(VK_END);
  Press(VK_LEFT);
  Press('T', true);
  EXPECT_EQ(f->EditText(), "03/02/95");
  Press(VK_HOME);
  Press('T', true);
  EXPECT_EQ(f->EditText(), "12/02/95");
  EXPECT_EQ(f->GetAsDayNumber(), Date(2, 12, 1995));
  // A field that starts at today shows a blank date when today does not fit, instead of
  // failing while its window is made; one whose epoch takes today shows it.
  TForm* other = NewFieldForm(200, 100);
  auto* late = new TFkPictureField(other);
  late->SetParent(other);
  late->SetDataType(T::pftDate);
  late->SetPictureMask("dd/mm/yy");
  late->SetEpoch(1910);
  late->SetComponentState(TComponentStateFlag::csLoading, true);
  late->SetInitDateTime(true);
  late->SetComponentState(TComponentStateFlag::csLoading, false);
  EXPECT_NO_THROW(other->Show());
  Pump();
  EXPECT_EQ(late->EditText(), "  /  /  ");
  EXPECT_NO_THROW(late->SetInitDateTime(true));
  EXPECT_EQ(late->EditText(), "  /  /  ");
  late->SetEpoch(1950);
  late->SetInitDateTime(true);
  EXPECT_EQ(late->EditText(), "06/12/26");
  EXPECT_EQ(late->GetAsDayNumber(), Date(6, 12, 2026));
  SetClock(nullptr);
}

TEST_F(PictureFieldTest, ADateFieldLongerThanItsMaskKeepsItsValue) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  f->SetMaxLength(20);
  ShowAndFocus(f);
  f->SetAsDayNumber(Date(1, 2, 2024));
  EXPECT_EQ(f->EditText(), "02/01/00000000002024");
  EXPECT_EQ(f->GetAsDayNumber(), Date(1, 2, 2024));
  EXPECT_TRUE(f->ValidateField(false));
}

TEST_F(PictureFieldTest, ArrowKeysStepTheDatePartUnderTheCaret) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  f->SetArrowIncDec(true);
  ShowAndFocus(f);
  f->SetAsDayNumber(Date(31, 1, 2024));
  Press(VK_HOME);
  Press(VK_UP);
  EXPECT_EQ(f->GetAsDayNumber(), Date(29, 2, 2024)) << "31 January plus a month";
  Press(VK_END);
  Press(VK_LEFT);
  Press(VK_DOWN);
  EXPECT_EQ(f->GetAsDayNumber(), Date(28, 2, 2023));
}

// A spinner's Delta is any double: a step of any size stays within the type's range, and a
// step that is no number changes nothing.
TEST_F(PictureFieldTest, StepsOfAnySizeKeepTheValueInItsRange) {
  auto* d = AddField(T::pftDate, "mm/dd/yyyy");
  auto* t = AddField(T::pftTime, "hh:mm", 30);
  auto* n = AddField(T::pftLongInt, "", 60);
  const double huge[] = {1e12, -1e12, 9.3e18, -9.3e18, 1e300, -1e300};
  const double nonNumbers[] = {std::nan(""), HUGE_VAL, -HUGE_VAL};
  ShowAndFocus(d);
  for (double delta : huge) {
    SCOPED_TRACE(delta);
    d->SetAsDayNumber(Date(1, 1, 2000));
    Press(VK_HOME);
    Press(VK_RIGHT);
    Press(VK_RIGHT);  // the day run
    d->IncreaseValue(false, delta);
    EXPECT_EQ(d->GetAsDayNumber(), Date(1, 1, 2000));
    d->IncreaseValue(true, delta);
    EXPECT_EQ(d->GetAsDayNumber(), delta > 0 ? 0 : MaxDayNumber) << "wrapped to the other end";
  }
  for (double delta : nonNumbers) {
    d->SetAsDayNumber(Date(1, 1, 2000));
    d->IncreaseValue(true, delta);
    EXPECT_EQ(d->GetAsDayNumber(), Date(1, 1, 2000));
  }
  t->SetFocus();
  Pump();
  for (double delta : huge) {
    SCOPED_TRACE(delta);
    t->SetAsSeconds(3600);
    Press(VK_HOME);  // the hours
    t->IncreaseValue(false, delta);
    EXPECT_EQ(t->EditText(), "01:00") << "a step past midnight is dropped without wrapping";
    t->IncreaseValue(true, delta);
    EXPECT_EQ(t->EditText().size(), 5u);
    EXPECT_NE(t->EditText(), "  :  ");
  }
  t->SetAsSeconds(3600);
  Press(VK_HOME);
  t->IncreaseValue(true, 1e12);
  EXPECT_EQ(t->EditText(), "17:00") << "10^12 hours are 16 hours past whole days";
  for (double delta : nonNumbers) {
    t->SetAsSeconds(3600);
    t->IncreaseValue(true, delta);
    EXPECT_EQ(t->EditText(), "01:00");
  }
  n->SetFocus();
  Pump();
  for (double delta : huge) {
    SCOPED_TRACE(delta);
    n->SetAsString("5");
    n->IncreaseValue(false, delta);
    TFkValue v;
    EXPECT_EQ(n->GetValue(v), 0);
    // The low limit needs 11 places; the mask has 10, so that step beeps and keeps the value.
    EXPECT_EQ(v.Int, delta > 0 ? 2147483647 : 5) << "held within the range";
  }
  for (double delta : nonNumbers) {
    n->SetAsString("5");
    n->IncreaseValue(true, delta);
    TFkValue v;
    EXPECT_EQ(n->GetValue(v), 0);
    EXPECT_EQ(v.Int, 5);
  }
}

TEST_F(PictureFieldTest, TimeStepsWrapAtMidnight) {
  auto* f = AddField(T::pftTime, "hh:mm");
  f->SetArrowIncDec(true);
  ShowAndFocus(f);
  f->SetAsSeconds(23 * 3600 + 59 * 60);
  Press(VK_END);
  Press(VK_LEFT);
  Press(VK_UP);
  EXPECT_EQ(f->EditText(), "00:00");
}

TEST_F(PictureFieldTest, NumberFieldsParseRangesAndFormat) {
  auto* n = AddField(T::pftLongInt, "iiiii");
  ShowAndFocus(n);
  Type("123");
  TFkValue v;
  EXPECT_EQ(n->GetValue(v), 0);
  EXPECT_EQ(v.Int, 123);
  n->SetRangeLo("0");
  n->SetRangeHi("100");
  EXPECT_EQ(n->GetValue(v), ecOutOfRange);
  EXPECT_EQ(n->RangeHi(), "100");
  EXPECT_THROW(n->SetRangeHi("abc"), EInvalidRangeValue);
  EXPECT_EQ(n->RangeHi(), "100");

  auto* r = AddField(T::pftDouble, "####.##", 40);
  TFkValue x;
  x.Real = 3.5;
  r->SetValue(x);
  EXPECT_EQ(r->EditText(), "   3.50");
  auto* d = AddField(T::pftDouble, "######", 80);
  d->SetDecimalPlaces(2);
  d->SetValue(x);
  EXPECT_EQ(d->EditText(), "3.5   ");
  EXPECT_EQ(d->GetValue(x), 0);
  EXPECT_DOUBLE_EQ(x.Real, 3.5);
  EXPECT_THROW(d->SetAsString("1e"), EEntryFieldError);
}

TEST_F(PictureFieldTest, DecimalCharacterJumpsBehindThePoint) {
  auto* f = AddField(T::pftDouble, "###.##");
  ShowAndFocus(f);
  Type("7.2");
  EXPECT_EQ(f->EditText(), "  7.20");
  Press(VK_TAB);
  TFkValue v;
  EXPECT_EQ(f->GetValue(v), 0);
  EXPECT_DOUBLE_EQ(v.Real, 7.2);
}

TEST_F(PictureFieldTest, BooleanFieldForcesCase) {
  auto* f = AddField(T::pftBoolean);
  ShowAndFocus(f);
  Type("t");
  TFkValue v;
  EXPECT_EQ(f->GetValue(v), 0);
  EXPECT_EQ(v.Int, 1);
  Type("F");
  EXPECT_EQ(f->GetValue(v), 0);
  EXPECT_EQ(v.Int, 0);
}

TEST_F(PictureFieldTest, PhoneMaskEditing) {
  auto* f = AddField(T::pftString, "(999) 999-9999");
  f->SetMaxLength(14);
  ShowAndFocus(f);
  Type("5551234");
  EXPECT_EQ(f->EditText(), "(555) 123-4   ");
  Press(VK_BACK);
  EXPECT_EQ(f->EditText(), "(555) 123-    ");
  Press(VK_BACK);
  Press(VK_BACK);
  EXPECT_EQ(f->EditText(), "(555) 1  -    ");
  Press(VK_HOME);
  Press(VK_BACK);
  EXPECT_EQ(f->EditText(), "(555) 1  -    ") << "nothing before the first edit position";
  Press(VK_DELETE);
  EXPECT_EQ(f->EditText(), "(55 ) 1  -    ") << "the run closes up with a blank";
}

TEST_F(PictureFieldTest, InsertPushesOffRefusesTypingIntoAFullRun) {
  auto* f = AddField(T::pftString, "999");
  f->SetMaxLength(3);
  f->SetInsertPushes(false);
  ShowAndFocus(f);
  Type("123");
  Press(VK_HOME);
  const unsigned beeps = MessageBeepCount();
  Type("4");
  EXPECT_EQ(f->EditText(), "123");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  Press(VK_INSERT);
  EXPECT_FALSE(f->InsertMode());
  Type("4");
  EXPECT_EQ(f->EditText(), "423") << "overtype replaces";
}

TEST_F(PictureFieldTest, RestoreKeysBringBackTheTextOfEntry) {
  auto* f = AddField(T::pftString, "XXXXX");
  f->SetMaxLength(5);
  f->SetAsString("abc");
  ShowAndFocus(f);
  Type("zz");
  EXPECT_EQ(f->GetAsString(), "zz");
  Press('Z', true);
  EXPECT_EQ(f->GetAsString(), "abc");
  EXPECT_FALSE(f->Modified());
  Press(VK_END);
  Type("d");
  Press(VK_BACK, false, false, true);
  EXPECT_EQ(f->GetAsString(), "abc");
}

TEST_F(PictureFieldTest, ClipboardCopyCutAndPaste) {
  auto* a = AddField(T::pftString, "XXXXXX");
  auto* b = AddField(T::pftDate, "mm/dd/yyyy", 40);
  a->SetMaxLength(6);
  a->SetAsString("hello");
  ShowAndFocus(a);
  Press('C', true);
  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_EQ(GetClipboardData(CF_TEXT), "hello ");
  EmptyClipboard();
  SetClipboardData(CF_TEXT, "12/25/2023");
  CloseClipboard();
  b->SetFocus();
  Pump();
  Press('V', true);
  EXPECT_EQ(b->EditText(), "12/25/2023");
  EXPECT_EQ(b->GetAsDayNumber(), Date(25, 12, 2023));
  a->SetFocus();
  Pump();
  Press('X', true);
  EXPECT_TRUE(a->GetAsString().empty());
}

TEST_F(PictureFieldTest, ReadOnlyFieldCopiesButRefusesPaste) {
  auto* f = AddField(T::pftString, "XXXX");
  f->SetMaxLength(4);
  f->SetAsString("ro");
  f->ReadOnly = true;
  ShowAndFocus(f);
  Press('C', true);
  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_EQ(GetClipboardData(CF_TEXT), "ro  ");
  CloseClipboard();
  const unsigned beeps = MessageBeepCount();
  Press('V', true);
  Type("x");
  EXPECT_EQ(f->EditText(), "ro  ");
  EXPECT_EQ(MessageBeepCount(), beeps + 2);
}

// Nothing the user does changes a read-only field's value: not the arrow keys that step it, not
// its spinner, not completing the date or time.
TEST_F(PictureFieldTest, ReadOnlyFieldsRefuseStepsAndCompletion) {
  SetClock([] { return DayNumberToDateTime(Date(6, 12, 2026)) + 0.5; });
  controller->EntryCommands()->AddRowToTable("Default", {'T', ksCtrl, 0, 0, ccCompleteDate});
  controller->EntryCommands()->AddRowToTable("Default", {'N', ksCtrl, 0, 0, ccCompleteTime});
  auto* d = AddField(T::pftDate, "mm/dd/yyyy");
  auto* t = AddField(T::pftTime, "hh:mm", 30);
  auto* n = AddField(T::pftInteger, "iiiii", 60);
  for (TFkPictureField* f : {d, t, n}) {
    f->SetArrowIncDec(true);
    f->ReadOnly = true;
  }
  d->SetAsDayNumber(Date(31, 1, 2024));
  t->SetAsSeconds(3600);
  n->SetAsString("5");
  ShowAndFocus(d);
  for (TFkPictureField* f : {d, t, n}) {
    f->SetFocus();
    Pump();
    SCOPED_TRACE(f->EditText());
    const std::string shown = f->EditText();
    const unsigned beeps = MessageBeepCount();
    Press(VK_HOME);
    Press(VK_UP);
    Press(VK_DOWN);
    f->IncreaseValue(true, 1.0);  // what the spinner does
    f->DecreaseValue(false, 1.0);
    f->SelectAll();
    Press('T', true);
    Press('N', true);
    EXPECT_EQ(f->EditText(), shown);
    EXPECT_FALSE(f->Modified());
    EXPECT_GE(MessageBeepCount(), beeps + 4);
  }
  SetClock(nullptr);
}

TEST_F(PictureFieldTest, InitDateTimeShowsTodayAndSurvivesRecreation) {
  SetClock([] { return DayNumberToDateTime(Date(6, 12, 2026)) + 0.5; });
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  f->SetInitDateTime(true);
  ShowAndFocus(f);
  EXPECT_EQ(f->GetAsDayNumber(), Date(6, 12, 2026));
  Type("01022003");
  f->SetDecimalPlaces(1);  // recreates the window
  EXPECT_EQ(f->GetAsDayNumber(), Date(2, 1, 2003));
  SetClock(nullptr);
}

TEST_F(PictureFieldTest, ControllerRulesAndEvents) {
  controller->SetEpoch(1599);
  controller->SetEpoch(4000);
  EXPECT_EQ(controller->Epoch(), 1900);
  controller->SetEpoch(3999);
  EXPECT_EQ(controller->Epoch(), 3999);
  EXPECT_EQ(controller->Version(), "2.13.00");
  auto* second = new TFkController(form);
  auto* f = AddField(T::pftString);
  std::vector<std::string> order;
  f->AfterExit = [&](TObject*) { order.push_back("afterexit"); };
  auto* g = AddField(T::pftString, "", 40);
  g->OnEnter = [&](TObject*) { order.push_back("enter"); };
  ShowAndFocus(f);
  EXPECT_EQ(f->Controller(), controller) << "the first controller in component order";
  g->SetFocus();
  Pump();
  ASSERT_EQ(order.size(), 2u);
  EXPECT_EQ(order[0], "enter");
  EXPECT_EQ(order[1], "afterexit");
  delete controller;
  controller = nullptr;
  EXPECT_EQ(f->Controller(), nullptr);
  EXPECT_EQ(second->Name(), "");
}

// A field on a floating toolbar is shown in the toolbar's own small window, which has no
// controller; it works with the controller of the form that owns it.
TEST_F(PictureFieldTest, FieldShownInAnotherWindowFindsItsOwnerFormsController) {
  TForm* floating = NewForm(120, 40, form);
  auto* f = new TFkPictureField(form);
  f->SetParent(floating);
  f->SetDataType(T::pftString);
  floating->Show();
  Pump();
  ASSERT_TRUE(f->HandleAllocated());
  EXPECT_EQ(f->Controller(), controller);

  // The window it is shown in comes first when that has a controller of its own.
  auto* own = new TFkController(floating);
  auto* g = new TFkPictureField(form);
  g->SetParent(floating);
  g->HandleNeeded();
  EXPECT_EQ(g->Controller(), own);

  // Neither window with a controller: still refused.
  delete controller;
  controller = nullptr;
  delete own;
  TForm* another = NewForm(120, 40, form);
  auto* h = new TFkPictureField(form);
  h->SetParent(another);
  EXPECT_THROW(h->HandleNeeded(), ENoControllerAssigned);
  EXPECT_FALSE(h->HandleAllocated());
}

TEST_F(PictureFieldTest, FieldWithoutControllerHasNoWindow) {
  delete controller;
  controller = nullptr;
  auto* f = AddField(T::pftString);
  EXPECT_THROW(f->HandleNeeded(), ENoControllerAssigned);
  EXPECT_FALSE(f->HandleAllocated());
}

}  // namespace
}  // namespace tw::entry

namespace tw::entry {
namespace {

TEST_F(PictureFieldTest, PublishedPropertiesAsAFormResourceSetsThem) {
  RegisterFieldkitClasses();
  TComponent* c = CreateComponent("TFkPictureField", form);
  auto* f = dynamic_cast<TFkPictureField*>(c);
  ASSERT_NE(f, nullptr);
  f->SetParent(form);
  f->SetComponentState(TComponentStateFlag::csLoading, true);
  SetEnumProp(f, "DataType", "pftDate");
  SetStrProp(f, "PictureMask", "dd/mm/yyyy");
  SetStrProp(f, "RangeLo", "01/01/2000");
  SetStrProp(f, "RangeHi", "31/12/2000");
  SetOrdProp(f, "Epoch", 1910);
  auto* menu = new TPopupMenu(form);
  SetPropValue(f, "PopupMenu", TValue(static_cast<TObject*>(menu)));
  f->SetComponentState(TComponentStateFlag::csLoading, false);
  static_cast<TComponent*>(f)->Loaded();
  EXPECT_EQ(GetStrProp(f, "RangeHi"), "12/31/2000") << "range texts read back in the international form";
  EXPECT_EQ(GetOrdProp(f, "Epoch"), 1910);
  EXPECT_EQ(f->PopupMenu(), menu);
  EXPECT_EQ(GetObjectProp(f, "PopupMenu"), menu);
  EXPECT_EQ(GetStrProp(controller, "Version"), "2.13.00");
  SetStrProp(controller, "Version", "9.99");
  EXPECT_EQ(GetStrProp(controller, "Version"), "2.13.00");
  form->Show();
  Pump();
  f->SetAsDayNumber(Date(1, 6, 2001));
  EXPECT_FALSE(f->ValidateField(false));
  EXPECT_EQ(f->LastError, ecOutOfRange);
}

TEST_F(PictureFieldTest, StringAsLongAsTheFieldNeverOverwritesLiterals) {
  auto* f = AddField(T::pftString, "(999)");
  f->SetMaxLength(5);
  f->SetTrimBlanks(false);
  f->SetAsString("12345");
  EXPECT_EQ(f->EditText(), "(123)") << "merged into the editable positions";
  f->SetAsString("(456)");
  EXPECT_EQ(f->EditText(), "(456)") << "an edit text is taken as it stands";
  EXPECT_EQ(f->GetAsString(), "(456)");
  f->SetAsString(f->GetAsString());
  EXPECT_EQ(f->EditText(), "(456)");
}

// A date or time mask with "." separators holds no number: its runs are never justified or
// padded, neither while typing nor when the field is left or validated.
TEST_F(PictureFieldTest, DottedDateAndTimeMasksKeepWhatWasTyped) {
  auto* d = AddField(T::pftDate, "dd.mm.yyyy");
  auto* t = AddField(T::pftTime, "hh.mm", 40);
  AddField(T::pftString, "", 80);
  ShowAndFocus(d);
  Type("121");
  Press(VK_LEFT);
  Press(VK_LEFT);
  EXPECT_EQ(d->EditText(), "12.1 .    ") << "the caret crossed the point";
  Press(VK_END);
  Type(" 2024");
  Press(VK_TAB);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(d->GetAsDayNumber(), Date(12, 1, 2024));
  EXPECT_EQ(d->EditText(), "12.01.2024");
  t->SetFocus();
  Pump();
  Type("093");
  EXPECT_TRUE(t->ValidateField(false));
  EXPECT_EQ(t->EditText(), "09.03");
  Type(".");
  EXPECT_EQ(t->EditText(), "09.03") << "a point is no decimal character here";
}

// A string field keeps its characters in the mask's positions whatever characters the mask has.
TEST_F(PictureFieldTest, StringMasksWithNumberCharactersHoldText) {
  auto* f = AddField(T::pftString, "999.999.9999");
  f->SetMaxLength(12);
  f->SetAsString("1234567890");
  EXPECT_EQ(f->EditText(), "123.456.7890");
  EXPECT_EQ(f->GetAsString(), "123.456.7890");
  auto* k = AddField(T::pftString, "KKKK", 40);
  k->SetAsString("AB");
  EXPECT_EQ(k->GetAsString(), "AB");
  auto* g = AddField(T::pftString, "999.999.9999", 80);
  g->SetMaxLength(12);
  ShowAndFocus(g);
  Type("12");
  Press(VK_RIGHT);
  Type("4");
  Press(VK_TAB);
  EXPECT_EQ(g->GetAsString(), "12 .4  .    ") << "no digit moved across the point";
}

// The value of a shown string field survives its window being made again, for a longer
// MaxLength and for a new mask alike.
TEST_F(PictureFieldTest, AStringFieldKeepsItsValueWhenMaxLengthOrMaskChanges) {
  auto* f = AddField(T::pftString, "(999) 999-9999");
  form->Show();
  Pump();
  f->SetAsString("(123) 456-7890");
  f->SetMaxLength(16);
  EXPECT_EQ(f->EditText(), "(123) 456-7890  ");
  EXPECT_EQ(f->GetAsString(), "(123) 456-7890  ");
  f->SetPictureMask("999-999-9999");
  EXPECT_EQ(f->EditText(), "123-456-7890    ");
}

// A month name is read only when it is whole (as wide as its run allows) and names one month.
TEST_F(PictureFieldTest, AnIncompleteOrAmbiguousMonthNameIsNoDate) {
  struct Case {
    const char* mask;
    const char* typed;
    DayNumber want;
  };
  const Case cases[] = {{"dd nnn yyyy", "04Jun2026", Date(4, 6, 2026)}, {"dd nnn yyyy", "04Ju 2026", BadDate},
                        {"dd nnn yyyy", "04J  2026", BadDate},          {"dd nn yyyy", "04Ja2026", Date(4, 1, 2026)},
                        {"dd nn yyyy", "04Ma2026", BadDate}};
  for (const Case& c : cases) {
    auto* f = AddField(T::pftDate, c.mask);
    ShowAndFocus(f);
    Type(c.typed);
    EXPECT_EQ(f->GetAsDayNumber(), c.want) << c.mask << " " << c.typed << " [" << f->EditText() << "]";
    EXPECT_EQ(f->LastError, c.want == BadDate ? ecInvalidDate : 0) << c.typed;
    delete f;
  }
}

TEST_F(PictureFieldTest, ButtonPressedWhileAFieldIsInvalidIsReleasedUnclicked) {
  auto* f = AddField(T::pftDate, "mm/dd/yyyy");
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetBounds(10, 80, 80, 25);
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  ShowAndFocus(f);
  Type("02302024");
  const TPoint at = button->ClientToScreen(Point(20, 10));
  InjectMouseDown(at.X, at.Y);
  Pump();
  EXPECT_TRUE(f->Focused()) << "the field took the focus back";
  EXPECT_EQ(GetCapture(), 0) << "the button holds the mouse no more";
  InjectMouseUp(at.X, at.Y);
  Pump();
  EXPECT_EQ(clicks, 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], ecInvalidDate);
}

}  // namespace
}  // namespace tw::entry
