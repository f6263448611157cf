// The options window: persons, time zones, list fonts and the recalculation period, each change
// stored at once.
#include "app/forms/optionswindow.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <cstdio>

#include "app/forms/calendarwindow.h"
#include "app/forms/mainwindow.h"
#include "app/lib/edits.h"
#include "app/lib/winregistry.h"
#include "entry/date/dayarith.h"
#include "entry/fkcontroller.h"
#include "entry/fkattachedbutton.h"
#include "entry/fkcalendar.h"
#include "entry/fkintl.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/forms/formres/formstream.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"
#include "platform/sys/timezones.h"
#include "multilang/langeditor.h"
#include "multilang/langswitch.h"

namespace tw::app {

namespace {

constexpr int OptionsHelpContext = 3;
constexpr int DefaultRecalcMinutes = 30;
constexpr char DefaultBirthTime[] = "23:59";

std::string DefaultShortcut(int n) { return "Person " + std::to_string(n); }

// A person without a shortcut is still named on its button and in the person list.
std::string ShownShortcut(int n, const std::string& shortcut) { return shortcut.empty() ? DefaultShortcut(n) : shortcut; }

// Puts a stored text into an entry field; a text the field cannot take leaves it empty.
void PutFieldText(entry::TFkBaseEntryField* field, const std::string& text) {
  if (field == nullptr) return;
  try {
    field->SetAsString(text);
  } catch (const Exception&) {
    try {
      field->SetAsString("");
    } catch (const Exception&) {
    }
  }
}

// A stored birth date or time put into its field; a text that reads in no way leaves the
// field empty.
void PutBirthDate(entry::TFkPictureField* field, const std::string& text) {
  if (field == nullptr) return;
  const std::int32_t day = BirthDateFromStore(text, field->Mask(), field->GetEpoch());
  if (day >= 0) field->SetAsDayNumber(day);
  else PutFieldText(field, "");
}

void PutBirthTime(entry::TFkPictureField* field, const std::string& text) {
  if (field == nullptr) return;
  const std::int32_t seconds = BirthTimeFromStore(text, field->Mask());
  if (seconds >= 0) field->SetAsSeconds(seconds);
  else PutFieldText(field, "");
}

std::string FieldText(entry::TFkBaseEntryField* field) { return field != nullptr ? field->GetAsString() : ""; }

// The names of every value the dialog stores.
std::vector<std::string> DialogValueNames() {
  std::vector<std::string> names = {"TrackBarRecalc", "HeaderFont", "TitleFont", "TextFont"};
  for (int n = 1; n <= PersonCount; ++n)
    for (const char* field : {"dfPers", "dfPlace", "dfDate", "dfTime", "dfShort", "cmbTimeZone"})
      names.push_back(field + std::to_string(n));
  return names;
}

// Two digits, then "d" more digits: the parts of the fixed forms.
bool ReadNumber(const std::string& text, std::size_t& at, std::size_t digits, int& value) {
  value = 0;
  for (std::size_t k = 0; k < digits; ++k, ++at) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
    value = value * 10 + (text[at] - '0');
  }
  return true;
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string BirthDateToStore(std::int32_t dayNumber) {
  if (dayNumber < 0) return {};
  int d = 0, m = 0, y = 0;
  entry::DayNumberToDMY(dayNumber, d, m, y);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
  return text;
}

std::string BirthTimeToStore(std::int32_t secondsOfDay) {
  if (secondsOfDay < 0 || secondsOfDay >= 86400) return {};
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", secondsOfDay / 3600, secondsOfDay / 60 % 60);
  return text;
}

std::int32_t BirthDateFromStore(const std::string& text, const std::string& mask, int epoch) {
  std::size_t at = 0;
  int y = 0, m = 0, d = 0;
  if (text.size() == 10 && ReadNumber(text, at, 4, y) && text[at++] == '-' && ReadNumber(text, at, 2, m) &&
      text[at++] == '-' && ReadNumber(text, at, 2, d))
    return entry::DMYToDayNumber(d, m, y, 0);
  // A text stored as the field showed it.
  if (mask.empty() || text.size() != mask.size()) return entry::BadDate;
  return entry::DefaultIntlSup().TextToDayNumber(mask, text, epoch);
}

std::int32_t BirthTimeFromStore(const std::string& text, const std::string& mask) {
  std::string t = Trim(text);
  std::size_t at = 0;
  int h = 0, m = 0;
  const std::size_t hourDigits = t.find(':') == 1 ? 1 : 2;
  if (ReadNumber(t, at, hourDigits, h) && at < t.size() && t[at++] == ':' && ReadNumber(t, at, 2, m) && m < 60) {
    const std::string rest = UpperCase(Trim(t.substr(at)));
    if (rest.empty() && h < 24) return h * 3600 + m * 60;
    if ((rest == "AM" || rest == "PM") && h >= 1 && h <= 12) return (h % 12 + (rest == "PM" ? 12 : 0)) * 3600 + m * 60;
  }
  if (mask.empty()) return entry::BadTime;
  return entry::DefaultIntlSup().TextToSeconds(mask, text);
}

std::string ShortcutFromName(const std::string& name) {
  const std::size_t blank = name.find(' ');
  if (blank != std::string::npos && blank > 0 && blank < 9) return name.substr(0, blank);
  return name.substr(0, 10);
}

TfrmOptions::TfrmOptions(TComponent* owner) : TOrvForm(owner) {
  Listener = frmMain;
  if (frmOptions == nullptr) frmOptions = this;
}

TfrmOptions::~TfrmOptions() {
  if (frmOptions == this) frmOptions = nullptr;
}

int TfrmOptions::ShowForm(bool modal) {
  if (modal) {
    SetVisible(false);
    return ShowModal();
  }
  Show();
  return 0;
}

bool TfrmOptions::Execute(TWinControl* field) {
  const TStoredValues opened = StoredValues();
  const int person = SelectedPerson();
  // Not where the last opening ended (a button, Enter would press it): where the Tab order
  // begins, or on the field to mend.
  if (field != nullptr && PageControl1 != nullptr && tabPers != nullptr) PageControl1->SetActivePage(tabPers);
  if (field == nullptr || !field->CanFocus()) field = FindNextControl(nullptr, true, true, false);
  if (field != nullptr) SetActiveControl(field);
  if (ShowForm(true) == mrOk) return true;
  PutBackStoredValues(opened, person);
  return false;
}

TfrmOptions::TStoredValues TfrmOptions::StoredValues() {
  // A value that is not stored reads as this text, which no stored value can be.
  static const std::string Absent("\x01" "absent" "\x01");
  TStoredValues values;
  for (const std::string& name : DialogValueNames()) {
    std::string value = ReadString(name, Absent);
    values[name] = value == Absent ? std::nullopt : std::optional<std::string>(std::move(value));
  }
  return values;
}

void TfrmOptions::PutBackStoredValues(const TStoredValues& values, int person) {
  TWinRegistry store(SettingsKey());
  const bool section = store.OpenKey(FormKeyName(this), false);
  for (const auto& [name, value] : values) {
    if (value) WriteString(name, *value);
    else if (section) store.DeleteValue(name);
  }
  // The fields show what is stored again.
  ReadFonts();
  ReadPeriod();
  ReadPersonShortcuts();
  if (rbPerson != nullptr) rbPerson->SetItemIndex(-1);  // the person is loaded afresh
  SelectPerson(person);
  RefreshPersonCaptions();
}

void TfrmOptions::ReadPeriod() {
  if (TrackBarRecalc != nullptr) {
    int minutes = DefaultRecalcMinutes;
    if (!TryStrToInt(ReadString("TrackBarRecalc", std::to_string(DefaultRecalcMinutes)), minutes))
      minutes = DefaultRecalcMinutes;
    TrackBarRecalc->SetPosition(std::clamp(minutes, 0, MaxRecalcMinutes));
  }
  TrackBarRecalcChange(TrackBarRecalc);
}

void TfrmOptions::ReadFonts() {
  const std::tuple<TFontDialog*, TButton*, const char*> fonts[] = {{dlgHeaderFont, pbHeaderFont, "HeaderFont"},
                                                                   {dlgTitleFont, pbTitleFont, "TitleFont"},
                                                                   {dlgTextFont, pbTextFont, "TextFont"}};
  for (const auto& [dialog, button, valueName] : fonts) {
    if (dialog == nullptr) continue;
    try {
      if (!ReadString(valueName, "").empty()) ReadFont(valueName, dialog->Font());
    } catch (const Exception&) {
      // An unreadable stored font leaves the form's font.
    }
    if (button != nullptr) button->Font()->Assign(dialog->Font());
  }
}

int TfrmOptions::SelectedPerson() const {
  const int index = rbPerson != nullptr ? rbPerson->ItemIndex() : 0;
  return std::clamp(index, 0, PersonCount - 1) + 1;
}

std::string TfrmOptions::PersonValue(const std::string& field) const { return field + std::to_string(SelectedPerson()); }

void TfrmOptions::StoreField(const std::string& field, const std::string& value) {
  if (loading_) return;
  WriteString(PersonValue(field), value);
}

std::string TfrmOptions::PersonName() const { return FieldText(dfPers); }
std::string TfrmOptions::PersonPlace() const { return FieldText(dfPlace); }
// A field that shows only its separators holds no text.
// An empty field whose stored text did not read: that text.
std::string TfrmOptions::BirthDateText() const {
  return dfDate != nullptr && dfDate->IsEmpty() ? unreadDate_ : FieldText(dfDate);
}
std::string TfrmOptions::BirthTimeText() const {
  return dfTime != nullptr && dfTime->IsEmpty() ? unreadTime_ : FieldText(dfTime);
}

std::string TfrmOptions::PersonShortcut(int n) const {
  if (rbPerson == nullptr || n < 1 || n > rbPerson->Items()->Count()) return DefaultShortcut(n);
  return rbPerson->Items()->Strings(n - 1);
}

bool TfrmOptions::AnyPersonNamed() {
  for (int n = 1; n <= PersonCount; ++n)
    if (!Trim(ReadString("dfPers" + std::to_string(n), "")).empty()) return true;
  return false;
}

std::string TfrmOptions::SelectedZone() const {
  if (cmbTimeZone == nullptr) return {};
  const int index = cmbTimeZone->ItemIndex();
  if (index < 0 || index >= cmbTimeZone->Items()->Count()) return {};
  return cmbTimeZone->Items()->Strings(index);
}

void TfrmOptions::FormCreate(TObject* sender) {
  TOrvForm::FormCreate(sender);
  if (PageControl1 != nullptr && tabPers != nullptr) PageControl1->SetActivePage(tabPers);

  entry::TFkIntlSup& intl = entry::DefaultIntlSup();
  // The fields are as long as their masks (a 12-hour time mask is longer than "hh:mm").
  for (auto [field, mask] : {std::pair{dfDate, intl.BuildDateMask(true)}, std::pair{dfTime, intl.BuildTimeMask(false)}}) {
    if (field == nullptr) continue;
    field->SetPictureMask(mask);
    field->SetMaxLength(static_cast<int>(mask.size()));
  }

  ReadFonts();

  if (StatusZeile != nullptr) StatusZeile->SetSizeGrip(BorderStyle() == TFormBorderStyle::bsSizeable);
  // Cancel leaves a field that does not validate without a report: the dialog closes.
  for (int k = 0; k < ComponentCount(); ++k)
    if (auto* controller = dynamic_cast<entry::TFkController*>(Components(k))) controller->SetBtnCancel(Cancel);
  if (dfMinutes != nullptr) dfMinutes->OnExit = [this](TObject* sender) { dfMinutesExit(sender); };

  if (TrackBarRecalc != nullptr) {
    TrackBarRecalc->SetMin(0);
    TrackBarRecalc->SetMax(MaxRecalcMinutes);
  }
  ReadPeriod();

  try {
    zones_ = TimeZoneNames();
  } catch (const Exception&) {
    zones_.clear();
  }
  if (cmbTimeZone != nullptr) {
    cmbTimeZone->SetSorted(true);
    cmbTimeZone->Items()->Clear();
    for (const auto& zone : zones_) cmbTimeZone->Items()->Add(zone);
  }
  try {
    MachineZoneHours = ZoneStandardOffsetHours(LocalTimeZoneName());
  } catch (const Exception&) {
    // The zone cannot be read here: the C library's standard offset, which its clock uses.
    MachineZoneHours = LocalStandardOffsetMinutes() / 60.0;
  }

  ReadPersonShortcuts();
  RefreshPersonCaptions();
  SelectPerson(1);
}

void TfrmOptions::ReadPersonShortcuts() {
  if (rbPerson == nullptr) return;
  const int selected = rbPerson->ItemIndex();
  rbPerson->Items()->Clear();
  for (int n = 1; n <= PersonCount; ++n)
    rbPerson->Items()->Add(ShownShortcut(n, ReadString("dfShort" + std::to_string(n), DefaultShortcut(n))));
  if (selected >= 0 && selected < PersonCount) rbPerson->SetItemIndex(selected);
}

void TfrmOptions::FormKeyUp(TObject* sender, Word& key, TShiftState shift) {
  multilang::HandleBrowseKey(LangSwitch1, key, shift);
  TOrvForm::FormKeyUp(sender, key, shift);
}

void TfrmOptions::LangSwitch1Translated(TObject*, const std::string&, bool) {
  ReadPersonShortcuts();
  RefreshPersonCaptions();
}

void TfrmOptions::ABtnClick(TObject*) {
  if (frmCal == nullptr || dfDate == nullptr || ABtn == nullptr) return;
  // Below the button, right edges aligned.
  const TPoint at = ABtn->ClientToScreen(Point(ABtn->Width(), ABtn->Height()));
  if (frmCal->PickDate(*dfDate, at.X - frmCal->Width(), at.Y)) dfDateChange(dfDate);
}

void TfrmOptions::SelectPerson(int n) {
  if (n < 1 || n > PersonCount) return;
  if (rbPerson != nullptr && rbPerson->ItemIndex() != n - 1) rbPerson->SetItemIndex(n - 1);
  const std::string suffix = std::to_string(n);
  loading_ = true;
  try {
    PutFieldText(dfShort, ReadString("dfShort" + suffix, DefaultShortcut(n)));
    PutFieldText(dfPers, ReadString("dfPers" + suffix, ""));
    PutFieldText(dfPlace, ReadString("dfPlace" + suffix, ""));
    const std::string date = ReadString("dfDate" + suffix, "");
    const std::string time = ReadString("dfTime" + suffix, DefaultBirthTime);
    PutBirthDate(dfDate, date);
    PutBirthTime(dfTime, time);
    // A stored text that does not read leaves its field empty; the report names the text.
    unreadDate_ = dfDate != nullptr && dfDate->IsEmpty() ? Trim(date) : std::string();
    unreadTime_ = dfTime != nullptr && dfTime->IsEmpty() ? Trim(time) : std::string();
  } catch (...) {
    loading_ = false;
    throw;
  }
  loading_ = false;

  if (cmbTimeZone != nullptr) {
    // The zone is kept by name; a number is an index into the sorted list of an older store.
    const std::string stored = ReadString("cmbTimeZone" + suffix, "");
    int index = cmbTimeZone->Items()->IndexOf(stored);
    if (index < 0 && AllDigits(stored) && stored.size() < 6) {
      const int old = std::stoi(stored);
      if (old < cmbTimeZone->Items()->Count()) index = old;
    }
    cmbTimeZone->SetItemIndex(index);
  }
  loading_ = true;
  cmbTimeZoneChange(cmbTimeZone);
  loading_ = false;
  if (Listener != nullptr) Listener->PersonCaptionChanged(n, PersonShortcut(n));
}

void TfrmOptions::rbPersonClick(TObject*) { SelectPerson(SelectedPerson()); }

void TfrmOptions::dfPersChange(TObject*) { StoreField("dfPers", FieldText(dfPers)); }
void TfrmOptions::dfPlaceChange(TObject*) { StoreField("dfPlace", FieldText(dfPlace)); }
// A birth date or time is stored only when it reads (a blank one as empty): half-typed and
// impossible values never reach the store.
void TfrmOptions::dfDateChange(TObject*) { StoreBirthDate(); }
void TfrmOptions::dfTimeChange(TObject*) { StoreBirthTime(); }

void TfrmOptions::StoreBirthDate() {
  if (dfDate == nullptr) return;
  if (!loading_) unreadDate_.clear();
  if (dfDate->IsEmpty()) {
    StoreField("dfDate", "");
    return;
  }
  const std::int32_t day = dfDate->IntlSupport()->TextToDayNumber(dfDate->Mask(), dfDate->EditText(), dfDate->GetEpoch());
  if (day >= 0) StoreField("dfDate", BirthDateToStore(day));
}

void TfrmOptions::StoreBirthTime() {
  if (dfTime == nullptr) return;
  if (!loading_) unreadTime_.clear();
  if (dfTime->IsEmpty()) {
    StoreField("dfTime", "");
    return;
  }
  const std::int32_t seconds = dfTime->IntlSupport()->TextToSeconds(dfTime->Mask(), dfTime->EditText());
  if (seconds >= 0) StoreField("dfTime", BirthTimeToStore(seconds));
}

bool TfrmOptions::BirthDate(TDateTime& value) const {
  if (dfDate == nullptr || dfDate->IsEmpty()) return false;
  const std::int32_t day = dfDate->IntlSupport()->TextToDayNumber(dfDate->Mask(), dfDate->EditText(), dfDate->GetEpoch());
  if (day < 0) return false;
  value = entry::DayNumberToDateTime(day);
  return true;
}

bool TfrmOptions::BirthTime(TDateTime& value) const {
  if (dfTime == nullptr || dfTime->IsEmpty()) return false;
  const std::int32_t seconds = dfTime->IntlSupport()->TextToSeconds(dfTime->Mask(), dfTime->EditText());
  if (seconds < 0) return false;
  value = entry::SecondsToDateTime(seconds);
  return true;
}

entry::TFkPictureField* TfrmOptions::UnreadableBirthField() const {
  TDateTime value = 0.0;
  if (dfDate != nullptr && !dfDate->IsEmpty() && !BirthDate(value)) return dfDate;
  if (dfTime != nullptr && !dfTime->IsEmpty() && !BirthTime(value)) return dfTime;
  return nullptr;
}

void TfrmOptions::dfShortChange(TObject*) {
  if (loading_) return;
  const std::string text = FieldText(dfShort);
  StoreField("dfShort", text);
  if (rbPerson != nullptr) {
    const int index = SelectedPerson() - 1;
    if (index < rbPerson->Items()->Count()) rbPerson->Items()->Put(index, ShownShortcut(index + 1, text));
  }
}

void TfrmOptions::dfPersExit(TObject*) {
  const std::string name = FieldText(dfPers);
  if (name.empty()) return;
  PutFieldText(dfShort, ShortcutFromName(name));
  dfShortChange(dfShort);
}

void TfrmOptions::cmbTimeZoneChange(TObject*) {
  const std::string zone = SelectedZone();
  StoreField("cmbTimeZone", zone);
  std::string display = "??";
  PersonZoneHours = 0.0;
  if (!zone.empty()) {
    try {
      display = TimeZoneDisplayName(zone);
      PersonZoneHours = ZoneStandardOffsetHours(zone);
    } catch (const Exception&) {
      display = "??";
    }
  }
  if (StatusZeile != nullptr) StatusZeile->SetSimpleText(display);
}

void TfrmOptions::FontClick(TFontDialog* dialog, TButton* button, const char* valueName) {
  if (dialog == nullptr || !dialog->Execute()) return;
  if (button != nullptr) button->Font()->Assign(dialog->Font());
  WriteFont(valueName, dialog->Font());
}

void TfrmOptions::pbHeaderFontClick(TObject*) { FontClick(dlgHeaderFont, pbHeaderFont, "HeaderFont"); }
void TfrmOptions::pbTitleFontClick(TObject*) { FontClick(dlgTitleFont, pbTitleFont, "TitleFont"); }
void TfrmOptions::pbTextFontClick(TObject*) { FontClick(dlgTextFont, pbTextFont, "TextFont"); }

void TfrmOptions::TrackBarRecalcChange(TObject*) {
  const int minutes = TrackBarRecalc != nullptr ? std::clamp(TrackBarRecalc->Position(), 0, MaxRecalcMinutes)
                                                : DefaultRecalcMinutes;
  WriteString("TrackBarRecalc", std::to_string(minutes));
  if (dfMinutes != nullptr) dfMinutes->SetValue(minutes);
  if (Listener != nullptr) Listener->RecalcPeriodChanged(minutes);
}

void TfrmOptions::RefreshPersonCaptions() {
  if (Listener == nullptr) return;
  for (int n = 1; n <= PersonCount; ++n) Listener->PersonCaptionChanged(n, PersonShortcut(n));
}

void TfrmOptions::OkClick(TObject*) {
  // A birth date or time that does not read keeps the dialog open on it, with the field's own
  // report; nothing of it is stored.
  if (entry::TFkPictureField* bad = UnreadableBirthField()) {
    // The button's own modal result would close the dialog all the same.
    SetModalResult(mrNone);
    // Leaving the field for the button may have reported it already (the report is on its
    // way): one press of OK, one box.
    if (entry::TFkController* controller = bad->Controller(); controller != nullptr && controller->ErrorPending) return;
    if (PageControl1 != nullptr && tabPers != nullptr) PageControl1->SetActivePage(tabPers);
    bad->ValidateField(false);
    return;
  }
  StoreBirthDate();
  StoreBirthTime();
  dfMinutesExit(dfMinutes);
  RefreshPersonCaptions();
  SetModalResult(mrOk);
}

void TfrmOptions::dfMinutesExit(TObject*) {
  if (dfMinutes == nullptr || TrackBarRecalc == nullptr) return;
  // A text that is no number keeps the period.
  if (!dfMinutes->CommitText()) return;
  const int minutes = static_cast<int>(std::clamp(std::lround(dfMinutes->Value()), 0L, static_cast<long>(MaxRecalcMinutes)));
  if (minutes != TrackBarRecalc->Position()) TrackBarRecalc->SetPosition(minutes);
  TrackBarRecalcChange(TrackBarRecalc);
}

void TfrmOptions::pbExitClick(TObject*) {
  RefreshPersonCaptions();
  // Closing a modal dialog ends it as Cancel, which puts back what the user typed: a language
  // switch ends nothing the user did, so the dialog stays open until OK or Cancel.
  if (!FormState().Contains(TFormStateFlag::fsModal)) Close();
}

void TfrmOptions::pbHelpClick(TObject*) { HelpContextCall(OptionsHelpContext); }

TW_PUBLISHED_METHODS(TfrmOptions, Method("FormCreate", &TfrmOptions::FormCreate),
                     Method("FormKeyUp", &TfrmOptions::FormKeyUp), Method("rbPersonClick", &TfrmOptions::rbPersonClick),
                     Method("dfPersChange", &TfrmOptions::dfPersChange), Method("dfPersExit", &TfrmOptions::dfPersExit),
                     Method("dfPlaceChange", &TfrmOptions::dfPlaceChange),
                     Method("dfDateChange", &TfrmOptions::dfDateChange),
                     Method("dfTimeChange", &TfrmOptions::dfTimeChange),
                     Method("dfShortChange", &TfrmOptions::dfShortChange),
                     Method("cmbTimeZoneChange", &TfrmOptions::cmbTimeZoneChange),
                     Method("pbHeaderFontClick", &TfrmOptions::pbHeaderFontClick),
                     Method("pbTitleFontClick", &TfrmOptions::pbTitleFontClick),
                     Method("pbTextFontClick", &TfrmOptions::pbTextFontClick),
                     Method("TrackBarRecalcChange", &TfrmOptions::TrackBarRecalcChange),
                     Method("OkClick", &TfrmOptions::OkClick), Method("pbExitClick", &TfrmOptions::pbExitClick),
                     Method("pbHelpClick", &TfrmOptions::pbHelpClick), Method("ABtnClick", &TfrmOptions::ABtnClick),
                     Method("LangSwitch1Translated", &TfrmOptions::LangSwitch1Translated));
TW_FORM_FIELDS(TfrmOptions, Field("pnlToolbar", &TfrmOptions::pnlToolbar), Field("pbHelp", &TfrmOptions::pbHelp),
               Field("Ok", &TfrmOptions::Ok), Field("Cancel", &TfrmOptions::Cancel),
               Field("StatusZeile", &TfrmOptions::StatusZeile), Field("PageControl1", &TfrmOptions::PageControl1),
               Field("tabPers", &TfrmOptions::tabPers), Field("tabDisplay", &TfrmOptions::tabDisplay),
               Field("rbPerson", &TfrmOptions::rbPerson), Field("dfPers", &TfrmOptions::dfPers),
               Field("dfPlace", &TfrmOptions::dfPlace), Field("dfDate", &TfrmOptions::dfDate),
               Field("dfTime", &TfrmOptions::dfTime), Field("dfShort", &TfrmOptions::dfShort),
               Field("cmbTimeZone", &TfrmOptions::cmbTimeZone), Field("pbHeaderFont", &TfrmOptions::pbHeaderFont),
               Field("pbTitleFont", &TfrmOptions::pbTitleFont), Field("pbTextFont", &TfrmOptions::pbTextFont),
               Field("dlgHeaderFont", &TfrmOptions::dlgHeaderFont), Field("dlgTitleFont", &TfrmOptions::dlgTitleFont),
               Field("dlgTextFont", &TfrmOptions::dlgTextFont), Field("TrackBarRecalc", &TfrmOptions::TrackBarRecalc),
               Field("dfMinutes", &TfrmOptions::dfMinutes), Field("ABtn", &TfrmOptions::ABtn),
               Field("LangSwitch1", &TfrmOptions::LangSwitch1));
TW_REGISTER_CLASS(TfrmOptions);

}  // namespace tw::app
