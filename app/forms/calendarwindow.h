// TfrmCal: the borderless calendar pop-up under a date field, and TAboutBox: the about window.
#pragma once

#include "app/lib/orvform.h"
#include "platform/forms/forms.h"

namespace tw {
class TButton;
class TImage;
class TLabel;
class TMemo;
class TPanel;
namespace multilang {
class TLangSwitch;
}
namespace entry {
class TFkCalendar;
class TFkPictureField;
class TFkSpinner;
enum class TSpinState : std::uint8_t;
}  // namespace entry
}  // namespace tw

namespace tw::app {

// Whether a key pressed in the calendar leaves it open (navigation, Tab, Enter, Esc, the
// shift keys, F1 and the lock keys); every other key closes it with Cancel.
bool CalendarKeepsOpen(Word key);

class TfrmCal : public TForm {
  TW_CLASS(TfrmCal, TForm)
 public:
  explicit TfrmCal(TComponent* owner);
  ~TfrmCal() override;

  entry::TFkCalendar* Calendar = nullptr;
  TPanel* Panel1 = nullptr;
  TButton* pbOk = nullptr;
  TButton* pbCancel = nullptr;
  entry::TFkSpinner* SpinnerMonth = nullptr;
  entry::TFkSpinner* SpinnerYear = nullptr;

  // Puts `day` into the calendar (an invalid day leaves it as it is).  The calendar selects
  // today when its window is made, so the window is made first: the first pop-up shows the
  // caller's day too.
  void ShowDay(std::int32_t day);
  // Runs the calendar at (left, top) on the field's day (today for a blank field); OK puts
  // the picked day into the field and answers true, Cancel changes nothing.
  bool PickDate(entry::TFkPictureField& field, int left, int top);
  // The button and hint texts in the program's language, the header in its date order.
  void ShowLanguage();

  void FormCreate(TObject* sender);
  void FormKeyDown(TObject* sender, Word& key, TShiftState shift);
  void CalendarDblClick(TObject* sender);
  void SpinnerMonthClick(TObject* sender, entry::TSpinState state, double delta, bool wrap);
  void SpinnerYearClick(TObject* sender, entry::TSpinState state, double delta, bool wrap);
};

class TAboutBox : public TOrvForm {
  TW_CLASS(TAboutBox, TOrvForm)
 public:
  explicit TAboutBox(TComponent* owner);
  ~TAboutBox() override;

  TPanel* Panel1 = nullptr;
  TImage* ProgramIcon = nullptr;
  TImage* Image1 = nullptr;
  TLabel* ProductName = nullptr;
  TLabel* Version = nullptr;
  TLabel* ValueVersion = nullptr;
  TMemo* Description = nullptr;
  TButton* Ok = nullptr;
  multilang::TLangSwitch* LangSwitch1 = nullptr;

  void FormShow(TObject* sender);
  void FormKeyUp(TObject* sender, Word& key, TShiftState shift);
};

}  // namespace tw::app
