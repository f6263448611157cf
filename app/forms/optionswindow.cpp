// The options window: persons, time zones, list fonts and the recalculation period, each change
// stored at once.
#include "app/forms/optionswindow.h"

#include <algorithm>
#include <cstdio>

#include "app/forms/calendarwindow.h"
#include "app/forms/mainwindow.h"
#include "app/lib/edits.h"
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
#include "platform/sys/timezones.h"
#include "multilang/langeditor.h"
#include "multilang/langswitch.h"

namespace tw::app {

namespace {

constexpr int OptionsHelpContext = 3;
constexpr int DefaultRecalcMinutes = 30;
constexpr char DefaultBirthTime[] = "23:59";

std::string DefaultShortcut(int n) { return "Person " + std::to_string(n); }

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

// A stored time of day: as the field's mask reads it, else as a 24-hour "h:mm" text (the
// stored texts of another clock setting).
void PutTimeText(entry::TFkBaseEntryField* field, const std::string& text) {
  if (field == nullptr) return;
  try {
    field->SetAsString(text);
    return;
  } catch (const Exception&) {
  }
  int h = -1;
  int m = -1;
  char colon = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%2d%c%2d%c", &h, &colon, &m, &rest) == 3 && colon == ':' && h >= 0 && h < 24 &&
      m >= 0 && m < 60) {
    try {
      field->SetAsString(field->IntlSupport()->SecondsToText(field->Mask(), h * 3600 + m * 60, false));
      return;
    } catch (const Exception&) {
    }
  }
  PutFieldText(field, "");
}

std::string FieldText(entry::TFkBaseEntryField* field) { return field != nullptr ? field->GetAsString() : ""; }

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

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

bool TfrmOptions::Execute() { return ShowForm(true) == mrOk; }

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
std::string TfrmOptions::BirthDateText() const { return FieldText(dfDate); }
std::string TfrmOptions::BirthTimeText() const { return FieldText(dfTime); }

std::string TfrmOptions::PersonShortcut(int n) const {
  if (rbPerson == nullptr || n < 1 || n > rbPerson->Items()->Count()) return DefaultShortcut(n);
  return rbPerson->Items()->Strings(n - 1);
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

  const std::pair<TFontDialog*, const char*> fonts[] = {
      {dlgHeaderFont, "HeaderFont"}, {dlgTitleFont, "TitleFont"}, {dlgTextFont, "TextFont"}};
  for (const auto& [dialog, valueName] : fonts) {
    if (dialog == nullptr) continue;
    try {
      if (!ReadString(valueName, "").empty()) ReadFont(valueName, dialog->Font());
    } catch (const Exception&) {
      // An unreadable stored font leaves the form's font.
    }
  }
  if (pbHeaderFont != nullptr && dlgHeaderFont != nullptr) pbHeaderFont->Font()->Assign(dlgHeaderFont->Font());
  if (pbTitleFont != nullptr && dlgTitleFont != nullptr) pbTitleFont->Font()->Assign(dlgTitleFont->Font());
  if (pbTextFont != nullptr && dlgTextFont != nullptr) pbTextFont->Font()->Assign(dlgTextFont->Font());

  if (StatusZeile != nullptr) StatusZeile->SetSizeGrip(BorderStyle() == TFormBorderStyle::bsSizeable);

  if (TrackBarRecalc != nullptr) {
    TrackBarRecalc->SetMin(0);
    TrackBarRecalc->SetMax(MaxRecalcMinutes);
    int minutes = DefaultRecalcMinutes;
    if (!TryStrToInt(ReadString("TrackBarRecalc", std::to_string(DefaultRecalcMinutes)), minutes))
      minutes = DefaultRecalcMinutes;
    TrackBarRecalc->SetPosition(std::clamp(minutes, 0, MaxRecalcMinutes));
  }
  TrackBarRecalcChange(TrackBarRecalc);

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
    MachineZoneHours = 0.0;
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
    rbPerson->Items()->Add(ReadString("dfShort" + std::to_string(n), DefaultShortcut(n)));
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
    PutFieldText(dfDate, ReadString("dfDate" + suffix, ""));
    PutTimeText(dfTime, ReadString("dfTime" + suffix, DefaultBirthTime));
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
void TfrmOptions::dfDateChange(TObject*) { StoreField("dfDate", FieldText(dfDate)); }
void TfrmOptions::dfTimeChange(TObject*) { StoreField("dfTime", FieldText(dfTime)); }

void TfrmOptions::dfShortChange(TObject*) {
  if (loading_) return;
  const std::string text = FieldText(dfShort);
  StoreField("dfShort", text);
  if (rbPerson != nullptr) {
    const int index = SelectedPerson() - 1;
    if (index < rbPerson->Items()->Count()) rbPerson->Items()->Put(index, text);
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
  RefreshPersonCaptions();
  SetModalResult(mrOk);
}

void TfrmOptions::pbExitClick(TObject*) {
  RefreshPersonCaptions();
  Close();
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
