// TfrmOptions: the birth data of four persons with each person's time zone, the three fonts of
// the transit list and the recalculation period.  Every change is written to the settings store
// at once, under the window's own section; Cancel therefore only closes the window.
//
// The main window reads the selected person, the zone offsets and the fonts from here and is
// told of the person buttons' captions and of the recalculation period through IOptionsListener.
#pragma once

#include <string>
#include <vector>

#include "app/lib/orvform.h"

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
  // Runs the dialog; true when it ended with OK.
  bool Execute();
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
  // Item n (1..4) of the person list: the shortcut shown on the person button.
  std::string PersonShortcut(int n) const;

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
  std::vector<std::string> zones_;
  bool loading_ = false;
};

}  // namespace tw::app
