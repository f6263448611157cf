// The calendar pop-up and the about window.
#include "app/forms/calendarwindow.h"

#include <algorithm>

#include "app/forms/mainwindow.h"
#include "entry/date/dayarith.h"
#include "entry/fkcalendar.h"
#include "entry/fkintl.h"
#include "entry/fkpicturefield.h"
#include "entry/fkspinner.h"
#include "horoscope/chartglobals.h"
#include "multilang/langeditor.h"
#include "multilang/langswitch.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/formres/formstream.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"
#include "platform/win/winapi.h"

namespace tw::app {

namespace {
constexpr int MsgAboutText = 104;

constexpr TUiTextPair kGerman[] = {
    {"Cancel", "Abbrechen"},
    {"Change the month", "Monat \xE4ndern"},
    {"Change the year", "Jahr \xE4ndern"},
    {"The calendar shows the days from %s to %s: it opens on %s instead of %s.",
     "Der Kalender zeigt die Tage vom %s bis zum %s: Er \xF6" "ffnet mit dem %s statt dem %s."},
};

std::string CalText(std::string_view english) { return UiText(english, kGerman); }

// A day as the date fields write it, with the whole year.
std::string DayText(entry::DayNumber day) {
  const entry::TFkIntlSup& intl = entry::DefaultIntlSup();
  return intl.DayNumberToText(intl.BuildDateMask(true), day, true);
}

// The day a date field holds; today when it is blank or its text is no date.
entry::DayNumber FieldDay(entry::TFkPictureField& field) {
  // A blank field is not read (the read would mark it invalid).
  if (field.IsValid() && !field.IsEmpty()) {
    try {
      const entry::DayNumber day = field.GetAsDayNumber();
      if (day >= 0 && day <= entry::MaxDayNumber) return day;
    } catch (const Exception&) {
      // a text that does not read as a day: today
    }
  }
  return entry::CurrentDayNumber();
}
}  // namespace

bool CalendarKeepsOpen(Word key) {
  switch (key) {
    case 0:
    case 9:
    case 13:
    case 16:
    case 17:
    case 18:
    case 20:
    case 27:
    case 112:
    case 144:
    case 145:
      return true;
    default:
      return key >= 32 && key <= 40;
  }
}

TfrmCal::TfrmCal(TComponent* owner) : TForm(owner) {
  if (frmCal == nullptr) frmCal = this;
}

TfrmCal::~TfrmCal() {
  if (frmCal == this) frmCal = nullptr;
}

void TfrmCal::ShowDay(std::int32_t day) {
  if (Calendar == nullptr || day < 0 || day > entry::MaxDayNumber) return;
  Calendar->HandleNeeded();
  Calendar->SetDate(day);
}

void TfrmCal::ShowLanguage() {
  if (pbCancel != nullptr) pbCancel->SetCaption(CalText("Cancel"));
  if (SpinnerMonth != nullptr) SpinnerMonth->SetHint(CalText("Change the month"));
  if (SpinnerYear != nullptr) SpinnerYear->SetHint(CalText("Change the year"));
  // The header's order and names follow the language chosen since the last showing.
  entry::DefaultIntlSup().ReadIntlSettings();
  if (Calendar != nullptr) Calendar->Invalidate();
}

bool TfrmCal::PickDate(entry::TFkPictureField& field, int left, int top) {
  // Whole on the screen, whatever edge the button sits at (a date bar docked at the right, a
  // window at the bottom): the calendar has no frame the user could move it by.
  left = std::max(0, std::min(left, Screen()->Width() - Width()));
  top = std::max(0, std::min(top, Screen()->Height() - Height()));
  SetBounds(left, top, Width(), Height());
  ShowLanguage();
  // Always the field's day (never the one shown last): a day in the first or last month of the
  // range, which the calendar cannot page from, is replaced by the nearest one it shows, and
  // the user is told so before choosing.
  const entry::DayNumber day = FieldDay(field);
  const entry::DayNumber shown = entry::TFkCustomCalendar::NearestShown(day);
  if (shown != day) {
    const entry::DayNumber first = entry::TFkCustomCalendar::NearestShown(0);
    const entry::DayNumber last = entry::TFkCustomCalendar::NearestShown(entry::MaxDayNumber);
    Application()->MessageBox(Format(CalText("The calendar shows the days from %s to %s: it opens on %s instead of %s."),
                                     {DayText(first), DayText(last), DayText(shown), DayText(day)}),
                              Application()->Title(), MB_OK | MB_ICONINFORMATION);
  }
  ShowDay(shown);
  // Every showing starts on the days, not on the button the last one was left on.
  if (Calendar != nullptr && Calendar->CanFocus()) SetActiveControl(Calendar);
  if (ShowModal() != mrOk || Calendar == nullptr) return false;
  field.SetAsDayNumber(Calendar->GetDate());
  return true;
}

void TfrmCal::FormCreate(TObject*) {
  using namespace std::placeholders;
  if (SpinnerMonth != nullptr) SpinnerMonth->OnClick = std::bind(&TfrmCal::SpinnerMonthClick, this, _1, _2, _3, _4);
  if (SpinnerYear != nullptr) SpinnerYear->OnClick = std::bind(&TfrmCal::SpinnerYearClick, this, _1, _2, _3, _4);
}

void TfrmCal::FormKeyDown(TObject*, Word& key, TShiftState) {
  if (!CalendarKeepsOpen(key)) SetModalResult(mrCancel);
}

void TfrmCal::CalendarDblClick(TObject*) { SetModalResult(mrOk); }

void TfrmCal::SpinnerMonthClick(TObject*, entry::TSpinState state, double delta, bool) {
  if (Calendar == nullptr) return;
  const int n = static_cast<int>(delta);
  if (state == entry::TSpinState::ssLeft) Calendar->IncMonths(-n);
  if (state == entry::TSpinState::ssRight) Calendar->IncMonths(n);
}

void TfrmCal::SpinnerYearClick(TObject*, entry::TSpinState state, double delta, bool) {
  if (Calendar == nullptr) return;
  const int n = static_cast<int>(delta);
  if (state == entry::TSpinState::ssLeft) Calendar->IncYears(-n);
  if (state == entry::TSpinState::ssRight) Calendar->IncYears(n);
}

TAboutBox::TAboutBox(TComponent* owner) : TOrvForm(owner) {
  if (AboutBox == nullptr) AboutBox = this;
}

TAboutBox::~TAboutBox() {
  if (AboutBox == this) AboutBox = nullptr;
}

void TAboutBox::FormShow(TObject* sender) {
  TOrvForm::FormShow(sender);
  // Every showing starts on the OK button, so that Enter closes the window at once (the
  // description, a memo, keeps Enter for itself).
  if (Ok != nullptr && Ok->CanFocus()) SetActiveControl(Ok);
  if (Description == nullptr) return;
  Description->SetReadOnly(false);
  Description->SetText(horoscope::GetMessageText(MsgAboutText));
  Description->SetReadOnly(true);
}

TW_PUBLISHED_METHODS(TfrmCal, Method("FormCreate", &TfrmCal::FormCreate), Method("FormKeyDown", &TfrmCal::FormKeyDown),
                     Method("CalendarDblClick", &TfrmCal::CalendarDblClick));
TW_FORM_FIELDS(TfrmCal, Field("Calendar", &TfrmCal::Calendar), Field("Panel1", &TfrmCal::Panel1),
               Field("pbOk", &TfrmCal::pbOk), Field("pbCancel", &TfrmCal::pbCancel),
               Field("SpinnerMonth", &TfrmCal::SpinnerMonth), Field("SpinnerYear", &TfrmCal::SpinnerYear));
TW_REGISTER_CLASS(TfrmCal);

void TAboutBox::FormKeyUp(TObject* sender, Word& key, TShiftState shift) {
  multilang::HandleBrowseKey(LangSwitch1, key, shift);
  TOrvForm::FormKeyUp(sender, key, shift);
}

TW_PUBLISHED_METHODS(TAboutBox, Method("FormShow", &TAboutBox::FormShow), Method("FormKeyUp", &TAboutBox::FormKeyUp));
TW_FORM_FIELDS(TAboutBox, Field("Panel1", &TAboutBox::Panel1), Field("ProgramIcon", &TAboutBox::ProgramIcon),
               Field("Image1", &TAboutBox::Image1), Field("ProductName", &TAboutBox::ProductName),
               Field("Version", &TAboutBox::Version), Field("ValueVersion", &TAboutBox::ValueVersion),
               Field("Description", &TAboutBox::Description), Field("Ok", &TAboutBox::Ok),
               Field("LangSwitch1", &TAboutBox::LangSwitch1));
TW_REGISTER_CLASS(TAboutBox);

}  // namespace tw::app
