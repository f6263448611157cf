// TfrmOptions: the birth data of four persons with each person's time zone, the three fonts of
// the transit list and the recalculation period.  Every change is written to the settings store
// at once, under the window's own section; Cancel therefore only closes the window.
//
// The main window reads the selected person, the zone offsets and the fonts from here and is
// told of the person buttons' captions and of the recalculation period through IOptionsListener.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/lib/orvform.h"
#include "platform/rtl/datetime.h"

namespace tw {
class TButton;
class TComboBox;
class TFontDialog;
class TPageControl;
class TPanel;
class TRadioGroup;
class TStatusBar;
class TTabSheet;
class TTrackBar;
namespace entry {
class TFkAttachedButton;
class TFkPictureField;
class TFkSimpleField;
}  // namespace entry
namespace multilang {
class TLangSwitch;
}
}  // namespace tw

namespace tw::app {

class TNumEdit;

inline constexpr int PersonCount = 4;
inline constexpr int MaxRecalcMinutes = 300;

// What the options window tells the main window.
class IOptionsListener {
 public:
  virtual ~IOptionsListener() = default;
  // Caption of person button n (1..4).
  virtual void PersonCaptionChanged(int person, const std::string& caption) = 0;
  // Recalculation period in minutes (0: no periodic recalculation).
  virtual void RecalcPeriodChanged(int minutes) = 0;
};

// Birth dates and times are stored in one fixed form, whatever the desktop's date and time
// formats: "yyyy-mm-dd" and the 24-hour "hh:mm".  Texts stored earlier as the fields showed
// them are still read, by the field's own mask.
std::string BirthDateToStore(std::int32_t dayNumber);
std::string BirthTimeToStore(std::int32_t secondsOfDay);
// The day number of a stored birth date: the fixed form, else a text of `mask` (epoch for
// two-digit years); -1 when it reads neither way.
std::int32_t BirthDateFromStore(const std::string& text, const std::string& mask, int epoch);
// The seconds of a stored birth time: "h:mm" (24 hours, or 12 with "AM"/"PM" after it), else a
// text of `mask`; -1 when it reads neither way.
std::int32_t BirthTimeFromStore(const std::string& text, const std::string& mask);

// The shortcut made from a person's name: the characters before the first blank when that
// blank stands within the first 10 characters, else the first 10 characters.
std::string ShortcutFromName(const std::string& name);

class TfrmOptions : public TOrvForm {
  TW_CLASS(TfrmOptions, TOrvForm)
 public:
  explicit TfrmOptions(TComponent* owner);
  ~TfrmOptions() override;

  // Components made from the form description.
  TPanel* pnlToolbar = nullptr;
  TButton* pbHelp = nullptr;
  TButton* Ok = nullptr;
  TButton* Cancel = nullptr;
  TStatusBar* StatusZeile = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet* tabPers = nullptr;
  TTabSheet* tabDisplay = nullptr;
  TRadioGroup* rbPerson = nullptr;
  entry::TFkSimpleField* dfPers = nullptr;
  entry::TFkSimpleField* dfPlace = nullptr;
  entry::TFkPictureField* dfDate = nullptr;
  // The calendar button beside the birth date.
  entry::TFkAttachedButton* ABtn = nullptr;
  entry::TFkPictureField* dfTime = nullptr;
  entry::TFkSimpleField* dfShort = nullptr;
  TComboBox* cmbTimeZone = nullptr;
  TButton* pbHeaderFont = nullptr;
  TButton* pbTitleFont = nullptr;
  TButton* pbTextFont = nullptr;
  TFontDialog* dlgHeaderFont = nullptr;
  TFontDialog* dlgTitleFont = nullptr;
  TFontDialog* dlgTextFont = nullptr;
  TTrackBar* TrackBarRecalc = nullptr;
  TNumEdit* dfMinutes = nullptr;
  multilang::TLangSwitch* LangSwitch1 = nullptr;

  // Zone offset of the selected person's zone and the machine's standard offset, in hours,
  // east positive.
  double PersonZoneHours = 0.0;
  double MachineZoneHours = 0.0;

  IOptionsListener* Listener = nullptr;

  // Shows the window: modal answers the ShowModal result, else 0.
  int ShowForm(bool modal);
  // Runs the dialog; true when it ended with OK.  Any other end puts every value the dialog
  // stores back as it was when the dialog opened, and the fields with it.  Every opening starts
  // where the window's Tab order begins (its pages; the buttons come last), or on `field` (its
  // page shown) when one is named: the birth date or time whose stored text did not read.
  bool Execute(TWinControl* field = nullptr);
  // Loads person n (1..4) into the fields; other numbers do nothing.
  void SelectPerson(int n);
  // The selected person (1..4).
  int SelectedPerson() const;
  // The zone name chosen for the selected person ("" when none).
  std::string SelectedZone() const;
  // Texts of the person's fields.
  std::string PersonName() const;
  std::string PersonPlace() const;
  std::string BirthDateText() const;
  std::string BirthTimeText() const;
  // The birth date and the birth time as the fields show them; false when the text does not
  // read as a date (a time), a blank one included.
  bool BirthDate(TDateTime& value) const;
  bool BirthTime(TDateTime& value) const;
  // Item n (1..4) of the person list: the shortcut shown on the person button.
  std::string PersonShortcut(int n) const;
  // Whether any of the persons has a name in the store.
  bool AnyPersonNamed();

  // Handlers bound by the form description.
  void FormCreate(TObject* sender);
  void FormKeyUp(TObject* sender, Word& key, TShiftState shift);
  void rbPersonClick(TObject* sender);
  void dfPersChange(TObject* sender);
  void dfPersExit(TObject* sender);
  void dfPlaceChange(TObject* sender);
  void dfDateChange(TObject* sender);
  void dfTimeChange(TObject* sender);
  void dfShortChange(TObject* sender);
  void cmbTimeZoneChange(TObject* sender);
  void pbHeaderFontClick(TObject* sender);
  void pbTitleFontClick(TObject* sender);
  void pbTextFontClick(TObject* sender);
  void TrackBarRecalcChange(TObject* sender);
  // A period typed into the minutes field takes effect when the field is left (or OK pressed).
  void dfMinutesExit(TObject* sender);
  void OkClick(TObject* sender);
  void pbExitClick(TObject* sender);
  void pbHelpClick(TObject* sender);
  void ABtnClick(TObject* sender);
  // After a language change: the persons' shortcuts are the user's, not texts of a language.
  void LangSwitch1Translated(TObject* sender, const std::string& languageName, bool successful);

 private:
  std::string PersonValue(const std::string& field) const;
  void StoreField(const std::string& field, const std::string& value);
  void FontClick(TFontDialog* dialog, TButton* button, const char* valueName);
  void RefreshPersonCaptions();
  // The person list's items from the stored shortcuts.
  void ReadPersonShortcuts();
  // The stored values the dialog may change, by name; no value for one that is not stored.
  using TStoredValues = std::map<std::string, std::optional<std::string>>;
  TStoredValues StoredValues();
  void PutBackStoredValues(const TStoredValues& values, int person);
  // A birth date or time field whose text does not read; nullptr when both read (or are blank).
  entry::TFkPictureField* UnreadableBirthField() const;
  void StoreBirthDate();
  void StoreBirthTime();
  void ReadFonts();
  // The stored period on the slider, and from there to the timer.
  void ReadPeriod();
  std::vector<std::string> zones_;
  // The stored birth date and time of the selected person when they did not read (their fields
  // are empty then); cleared once the user changes the field.
  std::string unreadDate_, unreadTime_;
  bool loading_ = false;
};

}  // namespace tw::app
