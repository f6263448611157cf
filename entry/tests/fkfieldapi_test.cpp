#include <gtest/gtest.h>

#include <vector>

#include "entry/fieldkit.h"
#include "entry/fkpicturefield.h"
#include "entry/strres/fkstrres.h"
#include "entry/tests/entry_test_util.h"
#include "platform/classes/resources.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

DayNumber Date(int d, int m, int y) { return DMYToDayNumber(d, m, y, 0); }

class FieldApiTest : public test::PictureFormTest {
 protected:
  TFkPictureField* Add(T type, const std::string& mask, int top = 0) {
    auto* f = AddField(type, mask, top);
    f->SetMaxLength(static_cast<std::uint16_t>(mask.size()));
    return f;
  }
};

TEST_F(FieldApiTest, StringValuesWithAndWithoutLiterals) {
  auto* f = Add(T::pftString, "AA-999");
  f->SetAsString("xy123");
  EXPECT_EQ(f->EditText(), "XY-123");
  TFkValue v;
  ASSERT_EQ(f->GetValue(v), 0);
  EXPECT_EQ(v.Str, "XY-123");
  f->SetStripLiterals(true);
  ASSERT_EQ(f->GetValue(v), 0);
  EXPECT_EQ(v.Str, "XY123");
  EXPECT_EQ(f->DataSize(), 6) << "MaxLength + 1 less the one literal";
  EXPECT_FALSE(f->TrimBlanks()) << "forced off for a mask with literals";
}

TEST_F(FieldApiTest, MaxLengthLimits) {
  auto* f = Add(T::pftString, "XXXXXXXX");
  f->SetAsString("abcdefgh");
  f->SetMaxLength(0);
  f->SetMaxLength(256);
  f->SetMaxLength(4);
  EXPECT_EQ(f->MaxLength(), 8) << "below the mask length";
  f->SetTextMargin(1);
  EXPECT_EQ(f->TextMargin(), 2);
  f->SetEpoch(1599);
  EXPECT_EQ(f->Epoch(), 0);
  EXPECT_EQ(f->GetEpoch(), 1900) << "the controller's epoch stands in";
}

TEST_F(FieldApiTest, NonStringTypesReadTheirTextForGetAsString) {
  auto* f = Add(T::pftDate, "mm/dd/yyyy");
  f->SetAsDayNumber(Date(4, 7, 1976));
  EXPECT_EQ(f->GetAsString(), "07/04/1976");
  EXPECT_EQ(f->LastError, 0);
  EXPECT_THROW(Add(T::pftLongInt, "iiii")->GetAsDayNumber(), EInvalidDataType);
  EXPECT_THROW(Add(T::pftString, "XX", 40)->GetAsDateTime(), EInvalidDataType);
}

TEST_F(FieldApiTest, ChangeEventsComeFromTheUserOnly) {
  auto* f = Add(T::pftString, "XXXXX");
  int changes = 0;
  f->OnChange = [&](TObject*) { ++changes; };
  f->SetAsString("abc");
  ShowAndFocus(f);
  EXPECT_EQ(changes, 0);
  Press(VK_END);
  Type("d");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(f->Perform(EM_GETMODIFY, 0, 0), 1);
  f->Perform(EM_SETMODIFY, 0, 0);
  EXPECT_FALSE(f->Modified());
}

TEST_F(FieldApiTest, SelectionMessages) {
  auto* f = Add(T::pftString, "XXXXXX");
  f->SetAsString("abcdef");
  ShowAndFocus(f);
  f->Perform(EM_SETSEL, 0, static_cast<LPARAM>((4 << 16) | 1));
  int a = 0, b = 0;
  const LRESULT r = f->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 4);
  EXPECT_EQ(r, (4 << 16) | 1);
  f->Perform(EM_SETSEL, 0, static_cast<LPARAM>((1 << 16) | 5));
  EXPECT_EQ(f->SelectionLength(), 3) << "an end before the start is ignored";
  f->Perform(EM_SETSEL, 0, 0xFFFF);
  EXPECT_EQ(f->SelectionLength(), 0);
  f->SelectAll();
  EXPECT_EQ(f->SelectionLength(), 6);
  Press(VK_DELETE);
  EXPECT_EQ(f->EditText(), "      ");
}

TEST_F(FieldApiTest, UserCommandsReachTheField) {
  std::vector<std::uint16_t> commands;
  auto* f = Add(T::pftString, "XXXX");
  f->OnUserCommand = [&](TObject*, std::uint16_t c) { commands.push_back(c); };
  controller->EntryCommands()->AddRowToTable("Default", {VK_F2, 0, 0, 0, 300});
  ShowAndFocus(f);
  Press(VK_F2);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0], 300);
}

TEST_F(FieldApiTest, CompleteDateFillsTodayOrOnePart) {
  SetClock([] { return DayNumberToDateTime(Date(6, 12, 2026)); });
  controller->EntryCommands()->AddRowToTable("Default", {'T', ksCtrl, 0, 0, ccCompleteDate});
  auto* f = Add(T::pftDate, "mm/dd/yyyy");
  ShowAndFocus(f);
  Press('T', true);
  EXPECT_EQ(f->EditText(), "12/06/2026") << "the whole field was selected";
  f->SetAsDayNumber(Date(1, 2, 2003));
  Press(VK_END);
  Press(VK_LEFT);
  Press('T', true);
  EXPECT_EQ(f->EditText(), "02/01/2026") << "only the year run";
  SetClock(nullptr);
}

TEST_F(FieldApiTest, ControllerNotifiesEditingAfterTheFocusMoved) {
  auto* a = Add(T::pftString, "XXXX");
  auto* b = Add(T::pftString, "XXXX", 40);
  std::vector<std::string> log;
  controller->OnPreEdit = [&](TObject* s, TWinControl*) { log.push_back(s == a ? "pre a" : "pre b"); };
  controller->OnPostEdit = [&](TObject* s, TWinControl* g) {
    log.push_back(std::string(s == a ? "post a" : "post b") + (g == b ? " to b" : ""));
  };
  ShowAndFocus(a);
  b->SetFocus();
  Pump();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 2], "post a to b");
  EXPECT_EQ(log.back(), "pre b");
}

TEST_F(FieldApiTest, NotificationsOfAFieldFreedBeforeTheyRunAreDropped) {
  auto* a = Add(T::pftString, "XXXX");
  auto* b = Add(T::pftString, "XXXX", 40);
  std::vector<TObject*> senders;
  controller->OnPreEdit = [&](TObject* s, TWinControl*) { senders.push_back(s); };
  controller->OnPostEdit = [&](TObject* s, TWinControl*) { senders.push_back(s); };
  controller->OnDelayNotify = [&](TObject* s, std::uint16_t) { senders.push_back(s); };
  ShowAndFocus(a);
  senders.clear();
  b->SetFocus();        // posts a's post-edit and b's pre-edit
  controller->DelayNotify(b, 7);
  delete b;             // b goes before its notifications run
  Pump();
  ASSERT_EQ(senders.size(), 1u);
  EXPECT_EQ(senders[0], a);
  controller->DelayNotify(controller, 1);
  Pump();
  EXPECT_EQ(senders.back(), controller) << "the controller itself is always a live sender";
}

}  // namespace
}  // namespace tw::entry

#include "entry/fieldkit.h"

namespace tw::entry {
namespace {

TEST_F(FieldApiTest, EveryControlCanBeMadeByName) {
  InitFieldkit();
  for (const char* name : {"TFkController", "TFkPictureField", "TFkSimpleField", "TFkCalendar", "TFkSpinner",
                           "TFkAttachedButton"}) {
    TComponent* c = CreateComponent(name, form);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_STREQ(c->ClassType()->Name, name);
  }
}

TEST_F(FieldApiTest, StartUpStopsWhenTheTextsAreMissing) {
  tw::HideResource("FIELDKIT_STRINGS_ENGLISH");
  tw::HideResource("FIELDKIT_STRINGS");
  std::string message = "no error";
  try {
    InitFieldkit();
  } catch (const ESrsStringResourceError& e) {
    message = e.Message();
  }
  tw::UnregisterResource("FIELDKIT_STRINGS_ENGLISH");
  tw::UnregisterResource("FIELDKIT_STRINGS");
  EXPECT_EQ(message, "String resource not found: FIELDKIT_STRINGS");
  InitFieldkit();
  EXPECT_EQ(FieldkitStrings().ResourceName(), "FIELDKIT_STRINGS_ENGLISH");
}

TEST_F(FieldApiTest, AFailedFieldThatCannotTakeTheFocusBackLeavesNoErrorOutstanding) {
  // The field that failed on exit is freed, or disabled, before the focus could go back to it:
  // the fields entered afterwards validate again instead of skipping it for good.
  for (bool freeIt : {true, false}) {
    SCOPED_TRACE(freeIt ? "freed" : "disabled");
    errors.clear();
    auto* a = Add(T::pftLongInt, "");
    auto* b = Add(T::pftLongInt, "", 40);
    auto* c = Add(T::pftLongInt, "", 80);
    for (auto* f : {a, b, c}) f->SetRangeHi("10");
    ShowAndFocus(a);
    Type("50");
    b->SetFocus();  // a fails and asks for the focus back
    if (freeIt) delete a;
    else a->SetEnabled(false);
    Pump();
    c->SetFocus();
    Pump();
    Type("99");
    b->SetFocus();
    Pump();
    EXPECT_TRUE(c->Focused()) << "c failed and kept the focus";
    ASSERT_EQ(errors.size(), freeIt ? 1u : 2u);
    EXPECT_EQ(errors.back(), ecOutOfRange);
    EXPECT_FALSE(controller->ErrorPending && c->LastError == 0);
    controller->ErrorPending = false;
    if (!freeIt) delete a;
    delete b;
    delete c;
  }
}

}  // namespace
}  // namespace tw::entry

namespace tw::entry {
namespace {

TEST_F(FieldApiTest, FocusMovesBetweenInvalidFieldsUnderHardAndSoftValidation) {
  auto* a = Add(T::pftLongInt, "");
  auto* b = Add(T::pftLongInt, "", 40);
  auto* s = Add(T::pftLongInt, "", 80);
  for (auto* f : {a, b, s}) f->SetRangeHi("10");
  s->SoftValidation = true;
  std::vector<std::string> pre;
  controller->OnPreEdit = [&](TObject* o, TWinControl*) { pre.push_back(o == a ? "a" : o == b ? "b" : "s"); };
  ShowAndFocus(a);
  Type("50");
  Press(VK_TAB);
  Pump();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(a->Focused()) << "the focus came back to the failed field";
  EXPECT_EQ(a->EditText().substr(0, 2), "50");
  // Mended, the field lets the focus go and the next field works normally.
  Press(VK_BACK);
  Press(VK_BACK);
  Type("5");
  pre.clear();
  Press(VK_TAB);
  Pump();
  EXPECT_TRUE(b->Focused());
  EXPECT_EQ(pre, std::vector<std::string>{"b"});
  Type("77");
  Press(VK_TAB);
  Pump();
  ASSERT_EQ(errors.size(), 2u) << "b is checked in turn";
  EXPECT_TRUE(b->Focused());
  b->SetAsString("3");
  s->SetFocus();
  Pump();
  Type("99");
  a->SetFocus();
  Pump();
  EXPECT_TRUE(a->Focused()) << "soft validation lets the focus go";
  EXPECT_EQ(errors.size(), 2u);
  EXPECT_FALSE(s->IsValid());
  EXPECT_TRUE(a->IsValid());
}

}  // namespace
}  // namespace tw::entry
