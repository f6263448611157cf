#include "app/forms/optionswindow.h"

#include "app/forms/calendarwindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "app/lib/edits.h"
#include "entry/date/dayarith.h"
#include "entry/fkattachedbutton.h"
#include "entry/fkcalendar.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "entry/fkintl.h"
#include "platform/rtl/datetime.h"
#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::app::test {
namespace {

struct RecordingListener : IOptionsListener {
  std::vector<std::pair<int, std::string>> captions;
  std::vector<int> periods;
  void PersonCaptionChanged(int person, const std::string& caption) override { captions.emplace_back(person, caption); }
  void RecalcPeriodChanged(int minutes) override { periods.push_back(minutes); }
};

class OptionsWindowTest : public AppFormsTest {
 protected:
  TfrmOptions* Make() {
    auto* form = Application()->CreateForm<TfrmOptions>();
    form->Listener = &listener;
    return form;
  }
  // Types into an entry field as the user does: the text changes and the change handler runs.
  static void Type(entry::TFkBaseEntryField* field, const std::string& text) {
    field->SetAsString(text);
    if (field->OnChange) field->OnChange(field);
  }
  RecordingListener listener;
};

TEST(Shortcut, IsTheFirstWordOrTheFirstTenCharacters) {
  EXPECT_EQ(ShortcutFromName("Anna Maria Berg"), "Anna");
  EXPECT_EQ(ShortcutFromName("Maximilianus"), "Maximilian");
  EXPECT_EQ(ShortcutFromName("Bartholomew Smith"), "Bartholome");
  EXPECT_EQ(ShortcutFromName("Christoph Meier"), "Christoph ");  // blank at position 10
  EXPECT_EQ(ShortcutFromName(" Eve"), " Eve");                    // never an empty caption
  EXPECT_EQ(ShortcutFromName(""), "");
}

TEST_F(OptionsWindowTest, FirstStartShowsDefaultPersonsTimeAndPeriod) {
  auto* form = Make();
  ASSERT_NE(form->rbPerson, nullptr);
  ASSERT_NE(form->dfTime, nullptr);
  for (int n = 1; n <= PersonCount; ++n) EXPECT_EQ(form->PersonShortcut(n), "Person " + std::to_string(n));
  EXPECT_EQ(form->SelectedPerson(), 1);
  EXPECT_NEAR(StrToTime(form->BirthTimeText()), (23 * 60 + 59) / 1440.0, 1e-6) << form->BirthTimeText();
  EXPECT_EQ(form->PersonName(), "");
  EXPECT_EQ(form->TrackBarRecalc->Position(), 30);
  EXPECT_EQ(form->ReadString("TrackBarRecalc", ""), "30");
  EXPECT_EQ(form->dfMinutes->Text(), "30") << "whole minutes";
}

TEST_F(OptionsWindowTest, EveryChangeIsStoredAtOnceForTheSelectedPerson) {
  auto* form = Make();
  form->SelectPerson(2);
  EXPECT_EQ(form->rbPerson->ItemIndex(), 1);
  Type(form->dfPers, "Anna Maria Berg");
  Type(form->dfPlace, "Lyon");
  form->dfTime->SetAsString(form->dfTime->IntlSupport()->SecondsToText(form->dfTime->Mask(), 7 * 3600 + 45 * 60, false));
  form->dfTime->OnChange(form->dfTime);
  const std::string typedTime = form->BirthTimeText();
  EXPECT_EQ(form->ReadString("dfPers2", ""), "Anna Maria Berg");
  EXPECT_EQ(form->ReadString("dfPlace2", ""), "Lyon");
  EXPECT_EQ(form->ReadString("dfTime2", ""), "07:45") << "stored in the fixed 24-hour form";
  EXPECT_EQ(form->ReadString("dfPers1", "none"), "none") << "person 1 is untouched";

  form->dfPersExit(form->dfPers);
  EXPECT_EQ(form->ReadString("dfShort2", ""), "Anna");
  EXPECT_EQ(form->PersonShortcut(2), "Anna");

  // A second window (the next start) finds everything again.
  delete form;
  auto* again = Make();
  again->SelectPerson(2);
  EXPECT_EQ(again->PersonName(), "Anna Maria Berg");
  EXPECT_EQ(again->PersonPlace(), "Lyon");
  EXPECT_EQ(again->BirthTimeText(), typedTime);
  EXPECT_EQ(again->PersonShortcut(2), "Anna");
  again->SelectPerson(1);
  EXPECT_EQ(again->PersonName(), "");
  again->SelectPerson(9);  // no such person: nothing happens
  EXPECT_EQ(again->SelectedPerson(), 1);
}

TEST_F(OptionsWindowTest, TimeZonesAreStoredByName) {
  auto* form = Make();
  ASSERT_GT(form->cmbTimeZone->Items()->Count(), 10) << "the system's zone database is needed";
  const int kolkata = form->cmbTimeZone->Items()->IndexOf("Asia/Kolkata");
  ASSERT_GE(kolkata, 0);
  form->cmbTimeZone->SetItemIndex(kolkata);
  form->cmbTimeZoneChange(form->cmbTimeZone);
  EXPECT_EQ(form->ReadString("cmbTimeZone1", ""), "Asia/Kolkata");
  EXPECT_DOUBLE_EQ(form->PersonZoneHours, 5.5);
  EXPECT_NE(form->StatusZeile->SimpleText().find("Kolkata"), std::string::npos);

  form->SelectPerson(2);
  EXPECT_EQ(form->SelectedZone(), "");
  EXPECT_DOUBLE_EQ(form->PersonZoneHours, 0.0);
  EXPECT_EQ(form->StatusZeile->SimpleText(), "??");
  form->SelectPerson(1);
  EXPECT_EQ(form->SelectedZone(), "Asia/Kolkata");

  // A zone name the system no longer has leaves no zone chosen.
  form->WriteString("cmbTimeZone3", "Atlantis/Capital");
  form->SelectPerson(3);
  EXPECT_EQ(form->SelectedZone(), "");
}

TEST_F(OptionsWindowTest, PeriodIsStoredAndHandedToTheMainWindow) {
  auto* form = Make();
  listener.periods.clear();
  form->TrackBarRecalc->SetPosition(0);
  form->TrackBarRecalcChange(form->TrackBarRecalc);
  EXPECT_EQ(listener.periods.back(), 0);
  EXPECT_EQ(form->ReadString("TrackBarRecalc", ""), "0");
  form->TrackBarRecalc->SetPosition(500);
  form->TrackBarRecalcChange(form->TrackBarRecalc);
  EXPECT_EQ(listener.periods.back(), 300);

  form->WriteString("TrackBarRecalc", "lots");
  delete form;
  EXPECT_EQ(Make()->TrackBarRecalc->Position(), 30) << "a stored value that does not convert gives 30";
}

TEST_F(OptionsWindowTest, OkRefreshesThePersonButtonsAndCancelChangesNothingMore) {
  auto* form = Make();
  form->SelectPerson(3);
  Type(form->dfShort, "Eve");
  listener.captions.clear();
  form->OkClick(form->Ok);
  EXPECT_EQ(form->ModalResult(), mrOk);
  ASSERT_EQ(listener.captions.size(), 4u);
  EXPECT_EQ(listener.captions[2], (std::pair<int, std::string>{3, "Eve"}));
}

TEST_F(OptionsWindowTest, TheCalendarButtonPutsThePickedDayIntoTheBirthDate) {
  auto* form = Make();
  auto* cal = Application()->CreateForm<TfrmCal>();
  ASSERT_NE(form->ABtn, nullptr);
  EXPECT_EQ(form->ABtn->AttachedControl(), form->dfDate);
  form->dfDate->SetAsDayNumber(entry::DMYToDayNumber(17, 5, 1980, 1910));
  form->dfDate->OnChange(form->dfDate);
  const auto picked = entry::DMYToDayNumber(2, 6, 1981, 1910);
  entry::DayNumber shown = -1;
  TModalResult answer = mrOk;
  cal->OnShow = [&](TObject*) {
    shown = cal->Calendar->GetDate();
    cal->Calendar->SetDate(picked);
    cal->SetModalResult(answer);
  };
  form->Show();
  form->ABtnClick(form->ABtn);
  EXPECT_EQ(shown, entry::DMYToDayNumber(17, 5, 1980, 1910)) << "the calendar opens on the field's day";
  EXPECT_EQ(form->dfDate->GetAsDayNumber(), picked);
  EXPECT_EQ(form->ReadString("dfDate1", ""), "1981-06-02") << "stored at once, in the fixed form";
  const TPoint below = form->ABtn->ClientToScreen(Point(form->ABtn->Width(), form->ABtn->Height()));
  EXPECT_EQ(cal->Left() + cal->Width(), below.X) << "right edges aligned";
  EXPECT_EQ(cal->Top(), below.Y);

  answer = mrCancel;
  cal->OnShow = [&](TObject*) {
    cal->Calendar->SetDate(entry::DMYToDayNumber(1, 1, 2000, 1910));
    cal->SetModalResult(answer);
  };
  form->ABtnClick(form->ABtn);
  EXPECT_EQ(form->dfDate->GetAsDayNumber(), picked) << "Cancel keeps the date";
}

// The person group is one Tab stop, its checked button: the Name field is one Tab on from it.
TEST_F(OptionsWindowTest, ThePersonGroupIsOneTabStop) {
  auto* form = Make();
  form->Show();
  form->PageControl1->SetFocus();
  const auto tab = [] {
    InjectKey(VK_TAB, kNoCharacter);
    Pump();
    return TWinControl::FindControl(GetFocus());
  };
  EXPECT_EQ(tab(), form->rbPerson->Buttons(0));
  EXPECT_EQ(tab(), form->dfPers);
}

}  // namespace
}  // namespace tw::app::test
