#include "app/lib/edits.h"

#include "app/lib/tests/applib_test_util.h"
#include "app/lib/winregistry.h"
#include "platform/rtl/formatsettings.h"

namespace tw::app::test {
namespace {

// Reads its stored value as reading a form description does.
class TLoadedNumEdit : public TNumEdit {
 public:
  using TNumEdit::Loaded;
  using TNumEdit::TNumEdit;
};

class TLoadedDateEdit : public TDateEdit {
 public:
  using TDateEdit::Loaded;
  using TDateEdit::TDateEdit;
};

class EditsTest : public AppLibTest {
 protected:
  void SetUp() override {
    AppLibTest::SetUp();
    TFormatSettings fs = DefaultFormatSettings();
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    settings = std::make_unique<ScopedFormatSettings>(fs);
    form = new TForm(Application());
    form->SetName("frmOptions");
    form->SetBounds(10, 10, 300, 200);
    other = Add<TEdit>();
    other->SetTop(100);
  }
  void TearDown() override {
    AppLibTest::TearDown();
    settings.reset();
  }
  template <typename T>
  T* Add() {
    auto* edit = new T(form);
    edit->SetParent(form);
    return edit;
  }
  TNumEdit* NumEdit(const std::string& mask) {
    auto* edit = Add<TNumEdit>();
    edit->Masks()->SetPositiveMask(mask);
    return edit;
  }
  // Types into `edit` and moves the focus away, as the user does.
  void TypeAndLeave(TCustomEdit* edit, const std::string& text) {
    form->Show();
    edit->SetFocus();
    Pump();
    edit->SelectAll();
    if (text.empty()) InjectKey(VK_BACK, '\b');
    else InjectText(text);
    Pump();
    other->SetFocus();
    Pump();
  }

  // Enters `edit` and leaves it again without typing.
  void PassThrough(TCustomEdit* edit) {
    form->Show();
    edit->SetFocus();
    Pump();
    other->SetFocus();
    Pump();
  }

  std::unique_ptr<ScopedFormatSettings> settings;
  TForm* form = nullptr;
  TEdit* other = nullptr;
};

TEST_F(EditsTest, NumberTextFollowsMasksDecimalsAndRounding) {
  TNumEdit* edit = NumEdit(",##0.00");
  edit->SetDecimals(2);
  edit->SetValue(1234.5);
  EXPECT_EQ(edit->GetText(), "1.234,50");
  edit->Masks()->SetNegativeMask("(,##0.00)");
  edit->SetValue(-3.25);
  EXPECT_EQ(edit->GetText(), "(3,25)");

  TNumEdit* whole = NumEdit("0");
  whole->SetUseRounding(true);
  whole->SetValue(2.6);
  EXPECT_EQ(whole->GetText(), "3");
  whole->SetUseRounding(false);
  whole->SetValue(2.6);
  EXPECT_EQ(whole->GetText(), "2");
  whole->SetLeerWennNull(true);
  whole->SetValue(0);
  EXPECT_EQ(whole->GetText(), "");
  whole->SetValue(50);
  whole->SetMax(20);  // a maximum below the value brings it down; 0 switches the range off
  whole->SetMax(0);
  EXPECT_EQ(whole->Value(), 20);
}

TEST_F(EditsTest, TypingIsFilteredAndLeavingTakesTheNumber) {
  TNumEdit* edit = NumEdit(",##0.00");
  edit->SetDecimals(2);
  edit->SetUseRounding(true);
  form->Show();
  edit->SetFocus();
  Pump();
  edit->SelectAll();
  InjectText("1a2,3,4--x'5");
  Pump();
  EXPECT_EQ(edit->GetText(), "12,34-'5");
  other->SetFocus();
  Pump();
  EXPECT_DOUBLE_EQ(edit->Value(), 12.35);  // a "-" inside the text counts for nothing
  TypeAndLeave(edit, "7,5-");  // one at the end makes the number negative
  EXPECT_EQ(edit->GetText(), "-7,50");

  // The clipboard keys still work: copy out of the field, paste a foreign text into it.
  edit->SetFocus();
  Pump();
  InjectText("\x01\x03");  // Ctrl+A, Ctrl+C
  other->SetFocus();
  Pump();
  InjectText("\x01\x16");  // Ctrl+A, Ctrl+V
  Pump();
  EXPECT_EQ(other->GetText(), "-7,50");
  other->SetText("ca. 8,25");
  other->SelectAll();
  other->CopyToClipboard();
  edit->SetFocus();
  Pump();
  InjectText("\x01\x16");
  Pump();
  EXPECT_EQ(edit->GetText(), "ca. 8,25");
  other->SetFocus();
  Pump();
  EXPECT_DOUBLE_EQ(edit->Value(), 8.25);
  EXPECT_EQ(TNumEdit::ReduceText(" -3,5 "), "-3.5");  // spaces around a pasted number keep its sign

  TypeAndLeave(edit, "1234,567");
  EXPECT_DOUBLE_EQ(edit->Value(), 1234.57);
  EXPECT_EQ(form->ActiveControl(), other);
  TypeAndLeave(edit, "");  // an emptied field is 0
  EXPECT_EQ(edit->Value(), 0);
}

TEST_F(EditsTest, PassingThroughANumberKeepsTheValueItShows) {
  TNumEdit* edit = NumEdit(",##0.00");
  edit->SetDecimals(2);
  edit->Masks()->SetNegativeMask("(,##0.00)");
  edit->SetValue(-3.25);
  ASSERT_EQ(edit->GetText(), "(3,25)");
  PassThrough(edit);
  EXPECT_EQ(edit->Value(), -3.25);
  EXPECT_EQ(edit->GetText(), "(3,25)");
  // A digit changed inside the parentheses: still a negative number.
  edit->SetFocus();
  Pump();
  edit->SetSelStart(3);
  edit->SetSelLength(1);
  InjectText("7");
  Pump();
  other->SetFocus();
  Pump();
  EXPECT_EQ(edit->Value(), -3.75);

  TNumEdit* exponent = NumEdit("0.00E+00");
  exponent->SetDecimals(2);
  exponent->SetValue(12300);
  ASSERT_EQ(exponent->GetText(), "1,23E+04");
  PassThrough(exponent);
  EXPECT_EQ(exponent->Value(), 12300);
  exponent->SetValue(12345);  // shown rounded, kept whole
  PassThrough(exponent);
  EXPECT_EQ(exponent->Value(), 12345);
  exponent->SetFocus();
  Pump();
  exponent->SetSelStart(3);
  exponent->SetSelLength(1);
  InjectText("5");
  Pump();
  other->SetFocus();
  Pump();
  EXPECT_EQ(exponent->Value(), 12500);
}

TEST_F(EditsTest, OutOfRangeShowsTheGermanMessageAndKeepsTheFocus) {
  TNumEdit* edit = NumEdit("0");
  edit->SetMin(1);
  edit->SetMax(10);
  edit->SetValidate(true);
  edit->SetValue(5);
  TypeAndLeave(edit, "12");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Wert muss zwischen  1 und 10 liegen");
  EXPECT_EQ(edit->Value(), 5);
  EXPECT_EQ(form->ActiveControl(), edit);
  EXPECT_EQ(edit->SelText(), "12");

  edit->SetValidate(false);  // not taken, no message, the text shows the value again
  TypeAndLeave(edit, "12");
  EXPECT_EQ(edit->GetText(), "5");
  edit->SetValidate(true);
  edit->SetMax(0);  // any value passes
  TypeAndLeave(edit, "12345");
  EXPECT_EQ(edit->Value(), 12345);
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(EditsTest, DateEditShowsAndReadsItsOwnFormat) {
  auto* edit = Add<TDateEdit>();
  edit->SetValue(2.5);
  EXPECT_EQ(edit->GetText(), "");
  const TDateTime d = EncodeDate(2026, 12, 6);
  edit->SetValue(d + 0.75);
  EXPECT_EQ(edit->GetText(), "06.12.2026");
  EXPECT_EQ(edit->AsLongint(), static_cast<int>(d));
  edit->SetValue(1e12);  // no calendar date: nothing rather than a date of zeros
  EXPECT_EQ(edit->GetText(), "");
  EXPECT_EQ(edit->AsLongint(), 0);
  edit->SetValue(d + 0.75);
  // The machine writes dates as m/d/yy here; the edit still reads what it shows.
  TypeAndLeave(edit, "24.12.2026");
  EXPECT_EQ(edit->Value(), EncodeDate(2026, 12, 24));
}

TEST_F(EditsTest, ATimeEditShowsItsTimeAndPassingThroughKeepsIt) {
  auto* edit = Add<TDateEdit>();
  edit->SetDisplayFormat("hh:nn");
  edit->SetEmptyAllowed(true);
  TypeAndLeave(edit, "12:30");
  EXPECT_EQ(edit->GetText(), "12:30");
  EXPECT_EQ(edit->Value(), EncodeTime(12, 30, 0, 0));
  PassThrough(edit);
  EXPECT_EQ(edit->Value(), EncodeTime(12, 30, 0, 0));
  EXPECT_EQ(edit->GetText(), "12:30");

  // A date edit whose value holds a time it does not show keeps it when passed through.
  auto* date = Add<TDateEdit>();
  const TDateTime v = EncodeDate(2026, 12, 6) + 0.75;
  date->SetValue(v);
  PassThrough(date);
  EXPECT_EQ(date->Value(), v);
}

TEST_F(EditsTest, ABadDateIsReportedAndKeepsTheFocus) {
  auto* edit = Add<TDateEdit>();
  edit->SetValue(EncodeDate(2026, 1, 2));
  TypeAndLeave(edit, "31.02.2026");
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(form->ActiveControl(), edit);
  EXPECT_EQ(edit->Value(), EncodeDate(2026, 1, 2));
  edit->SetEmptyAllowed(true);
  edit->SetText("");
  edit->CommitText();
  EXPECT_EQ(edit->Value(), 0);
}

TEST_F(EditsTest, SaveDefaultKeepsTheLastValue) {
  TNumEdit* edit = NumEdit(",##0");
  edit->SetName("dfMinutes");
  edit->SetSaveDefault(true);
  edit->SetValue(1234);
  delete edit;
  EXPECT_EQ(TWinRegistry(SettingsKey()).ReadString("frmOptions", "dfMinutes", ""), "1234");
  auto* again = new TLoadedNumEdit(form);
  again->SetName("dfMinutes");
  again->SetSaveDefault(true);
  again->Loaded();
  EXPECT_EQ(again->Value(), 1234);

  delete again;
  TWinRegistry(SettingsKey()).WriteString("frmOptions", "dfMinutes", "99999");
  auto* ranged = new TLoadedNumEdit(form);  // a stored value outside the range is not taken
  ranged->SetName("dfMinutes");
  ranged->SetMax(300);
  ranged->SetValue(30);
  ranged->SetSaveDefault(true);
  ranged->Loaded();
  EXPECT_EQ(ranged->Value(), 30);
  ranged->SetSaveDefault(false);
}

TEST_F(EditsTest, AStoredNegativeWithDecimalsReadsBackAsItself) {
  TNumEdit* edit = NumEdit(",##0.00");
  edit->Masks()->SetNegativeMask("(,##0.00)");
  edit->SetDecimals(2);
  edit->SetName("dfOffset");
  edit->SetSaveDefault(true);
  edit->SetValue(-7.5);
  delete edit;
  auto* again = new TLoadedNumEdit(form);
  again->SetName("dfOffset");
  again->SetDecimals(2);
  again->SetSaveDefault(true);
  again->Loaded();
  EXPECT_EQ(again->Value(), -7.5);
}

TEST_F(EditsTest, ARestoredDateTextIsAlsoTheValue) {
  auto* edit = Add<TDateEdit>();
  edit->SetName("dfBirth");
  edit->SetSaveDefault(true);
  edit->SetValue(EncodeDate(1970, 5, 17));
  delete edit;
  EXPECT_EQ(TWinRegistry(SettingsKey()).ReadString("frmOptions", "dfBirth", ""), "17.05.1970");
  auto load = [this] {
    auto* again = new TLoadedDateEdit(form);
    again->SetName("dfBirth");
    again->SetSaveDefault(true);
    again->Loaded();
    return again;
  };
  TDateEdit* again = load();
  EXPECT_EQ(again->GetText(), "17.05.1970");
  EXPECT_EQ(again->Value(), EncodeDate(1970, 5, 17)) << "value and text agree from the start";
  again->SetText("soon");
  delete again;
  TDateEdit* damaged = load();  // shown as stored, no value, no message while loading
  EXPECT_EQ(damaged->GetText(), "soon");
  EXPECT_EQ(damaged->Value(), 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(EditsTest, UnfocusedNumbersArePaintedAtTheRight) {
  TNumEdit* edit = NumEdit("0");
  edit->SetBounds(0, 0, 120, 24);
  edit->SetValue(7);
  form->Show();
  other->SetFocus();
  Pump();
  auto darkIn = [&](int x0, int x1) {
    for (int y = 2; y < 22; ++y)
      for (int x = x0; x < x1; ++x)
        if ((GetWindowPixel(edit->Handle(), x, y) & 0xFF) < 0x80) return true;
    return false;
  };
  EXPECT_TRUE(darkIn(80, 116));
  EXPECT_FALSE(darkIn(4, 60));
}

}  // namespace
}  // namespace tw::app::test
