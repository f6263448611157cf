// TfrmMain: the application's main window.  It holds the transit list view, the toolbars with
// the person buttons and the transit-date field, the menus, the two charts and the timer, and
// starts every recalculation of the list (ShowTransits).
//
// The list's interpretation texts come through ITransitTexts, by default from the window's
// interpretation table; the message texts of the current language are read from its message
// table when the window is shown.  The view is the window's text control behind ITransitView.
#pragma once

#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "app/forms/optionswindow.h"
#include "app/forms/transitlist.h"
#include "app/lib/orvform.h"
#include "platform/rtl/datetime.h"

namespace tw {
class TLabel;
class TMainMenu;
class TMenuItem;
class TStringList;
class TTable;
class TTimer;
namespace entry {
class TFkAttachedButton;
class TFkPictureField;
}  // namespace entry
namespace horoscope {
class THoroscope;
}
namespace multilang {
class TLangSwitch;
}
namespace richtext {
class TRiPagePropDlg;
class TRiRichText;
}
namespace toolbars {
class TDockX;
class TToolbarX;
class TToolbarButtonX;
class TToolbarSepX;
}  // namespace toolbars
}  // namespace tw

namespace tw::app {

class TfrmMain;
class TfrmOptions;
class TfrmCal;
class TAboutBox;
class TSingleInstance;
class TSplashScreen;

// The application's windows, set when each is made and cleared when it goes.
extern TfrmMain* frmMain;
extern TfrmOptions* frmOptions;
extern TfrmCal* frmCal;
extern TAboutBox* AboutBox;

// Ends a running list at its next aspect test (Esc, Exit, the person buttons).
extern bool StopFlag;

// Help contexts of the main window's help calls.
inline constexpr int MainHelpContext = 1;
inline constexpr int CompanyHelpContext = 4;
inline constexpr int ContentsHelpContext = 22014;

// The help context carried by a link's hidden text; 1 when it is not a number.
int LinkHelpContext(const std::string& hiddenText);

// The message telling that the settings cannot be saved ("%s": the settings folder).
inline constexpr int MsgSettingsNotSaved = 110;

// The language the windows start in when none is stored.
inline constexpr char DefaultLanguageName[] = "English";
// The code of the message and interpretation texts of a language: "DEU" for "Deutsch", else
// "ENG".
std::string LanguageCodeFor(const std::string& languageName);
// The help file of a language code: "TW_" + code + ".HLP".
std::string HelpFileFor(const std::string& languageCode);

// Whether the ephemeris library answers is asked when the main window is made ("swedll32.dll
// not found!" when not); tests replace the question (nullptr: the library's own entry).
void SetEphemerisProbe(std::function<bool()> probe);

class TfrmMain : public TOrvForm, public IOptionsListener {
  TW_CLASS(TfrmMain, TOrvForm)
 public:
  explicit TfrmMain(TComponent* owner);
  ~TfrmMain() override;

  // Components made from the form description.
  richtext::TRiRichText* rtext = nullptr;
  toolbars::TDockX* DockTop = nullptr;
  toolbars::TDockX* DockLeft = nullptr;
  toolbars::TDockX* DockRight = nullptr;
  toolbars::TDockX* DockBottom = nullptr;
  toolbars::TToolbarX* ToolbarX = nullptr;
  toolbars::TToolbarX* ToolbarTime = nullptr;
  toolbars::TToolbarButtonX* pbInfo = nullptr;
  toolbars::TToolbarButtonX* pbPers1 = nullptr;
  toolbars::TToolbarButtonX* pbPers2 = nullptr;
  toolbars::TToolbarButtonX* pbPers3 = nullptr;
  toolbars::TToolbarButtonX* pbPers4 = nullptr;
  toolbars::TToolbarButtonX* pbPrint = nullptr;
  toolbars::TToolbarButtonX* pbExit = nullptr;
  TLabel* Transit = nullptr;
  entry::TFkPictureField* dfTransDate = nullptr;
  entry::TFkAttachedButton* dfTransBtn = nullptr;
  TMainMenu* MainMenu = nullptr;
  // The menu the language component fills with the languages of the language file.
  TMenuItem* Language1 = nullptr;
  multilang::TLangSwitch* LangSwitch1 = nullptr;
  TSplashScreen* SplashScreen1 = nullptr;
  // The guard that keeps this copy of the program the only one (it takes over the guard that
  // the program took before any window was made).
  TSingleInstance* SingleInstance1 = nullptr;
  TTimer* TimerRecalc = nullptr;
  horoscope::THoroscope* RadixHoroscope = nullptr;
  horoscope::THoroscope* TransitHoroscope = nullptr;
  // The interpretation texts ("Interprt.QND") and the message texts ("Messages.QND").
  TTable* tblText = nullptr;
  TTable* tblMSGS = nullptr;
  // The page-properties dialog of the view.
  richtext::TRiPagePropDlg* RiPagePropDlg1 = nullptr;

  // The transit date of the last list.
  TDateTime LastTransitDate = 0.0;
  // Interpretation texts in place of the window's table (tests); nullptr = the table.
  ITransitTexts* Texts = nullptr;
  // Folder of the chart listings "_Radix.TXT" and "_Transit.TXT" ("" = the current folder).
  std::string ListingFolder;
  // Number of lists begun (for the status of the window and its tests).
  int ListsStarted = 0;
  // Recalculations running now, one inside another (a person button pressed while a list is
  // written starts a new one), and the most there ever were at once.
  int ListDepth = 0;
  int MaxListDepth = 0;

  // Opens both text tables (the database must be reachable); raises what the database raises.
  void OpenTables();
  // Replaces the message texts by those of the current language from the message table; the
  // texts in use stay when the table is closed.
  void LoadMessages();

  // The one recalculation: both charts and the whole list.  A birth date or time that does not
  // read is reported (message 92 or 93) and the options dialog opened on it; when it still does
  // not read, no list is made and the view says why.  Nothing is computed from a transit date
  // that does not read.
  void ShowTransits();
  // The view the list is written to.
  ITransitView& View();
  // The person button n (1..4).
  toolbars::TToolbarButtonX* PersonButton(int n) const;

  // IOptionsListener
  void PersonCaptionChanged(int person, const std::string& caption) override;
  void RecalcPeriodChanged(int minutes) override;

  // Handlers bound by the form description.
  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormDestroy(TObject* sender);
  void FormKeyUp(TObject* sender, Word& key, TShiftState shift);
  void TimerRecalcTimer(TObject* sender);
  void pbPersClick(TObject* sender);
  void pbExitClick(TObject* sender);
  void pbPrintClick(TObject* sender);
  void pbInfoClick(TObject* sender);
  void mnuOptionsClick(TObject* sender);
  void mnuPageSetupClick(TObject* sender);
  void mnuHelpContentsClick(TObject* sender);
  void mnuHelpCompanyClick(TObject* sender);
  void rtextHyperLinkEvent(TObject* sender, const std::string& hiddenText);
  void dfTransDateEnter(TObject* sender);
  void dfTransDateExit(TObject* sender);
  void dfTransBtnClick(TObject* sender);
  // After every language change: texts, help file and list of the new language.
  void LangSwitch1Translated(TObject* sender, const std::string& languageName, bool successful);

  // The caption "message 1 - message 98".
  void SetMainCaption();

 protected:
  // The wheel reaches the window through the control with the keyboard focus (the date field,
  // a toolbar button); over the list it scrolls the list.
  void WndProc(TMessage& msg) override;

 private:
  // The charts of the person and of the transit moment.
  void PrepareCharts(TDateTime birthDate, TDateTime birthTime, TDateTime transitDay);
  // The person's birth date and time; when one does not read the user is told and the options
  // dialog opened (never with `quiet`); false when they still do not read.
  bool ReadBirthMoment(TDateTime& date, TDateTime& time, bool quiet);
  // The transit date of the field; false when it does not read.
  bool ReadTransitDay(TDateTime& day);
  // Whether a modal window (a message box, a dialog) is open now.
  bool ModalWindowOpen() const;
  // Runs a modal step (message box, dialog) with the timer's recalculation held off.
  template <typename F>
  auto Modal(F&& step) -> decltype(step());
  // The timer's recalculation: quiet, and never inside another list or a modal window.
  bool quietList_ = false;
  // A list waits for the window to show (its box must stand over it).
  bool listPosted_ = false;
  std::vector<std::string> pendingFailures_;  // failures to tell once the window shows
  bool messagesFailureTold_ = false;
  bool inFormShow_ = false;
  int modalDepth_ = 0;
  // The windows changed language while the options dialog was open: the list waits for the
  // dialog's end, when what it stores is settled.
  bool listAfterOptions_ = false;
  // The list of the person, or without a name the welcome text; never opens the dialog.
  void ShowListOrWelcome();
  // Message 99 while nobody has a name; else the chosen person without a name, named (120).
  void ShowWelcome();
  // The view's text when the person's birth moment does not read: message 92 or 93.
  void ShowNotComputed();
  // The view's text when the transit date does not read: message 97.
  void ShowTransitDateNotRead();
  // One text in the view in place of a list.
  void ShowNotice(const std::string& text);
  void HideSplash();
  void ShowFirstContents();
  void TellWhenShown(const std::string& text);
  // Loads or saves the places of both toolbars under the settings key.  Loaded at creation,
  // and again when the window first shows at its stored size.
  void LoadToolbarPositions();
  void SaveToolbarPositions();
  void UpdateShowing() override;
  bool placesShown_ = false;
  void ForEachToolbar(const std::function<void(toolbars::TToolbarX*, const std::string&)>& action);
  // The stored page setup put on the view (a stored value without a printable area is ignored).
  void ApplyPageSetup();
  std::unique_ptr<class TRichTransitView> view_;
  std::unique_ptr<ITransitTexts> tableTexts_;
  std::unique_ptr<TStringList> messages_;
};

}  // namespace tw::app
