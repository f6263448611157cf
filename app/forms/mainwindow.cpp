// The main window: the charts, the recalculation of the transit list and the handlers that
// start it.
#include "app/forms/mainwindow.h"

#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <utility>

#include "app/forms/calendarwindow.h"
#include "app/forms/richview.h"
#include "app/forms/texttables.h"
#include "app/lib/appsupport.h"
#include "app/lib/settingsreport.h"
#include "app/lib/singleinstance.h"
#include "app/lib/splash.h"
#include "app/lib/winregistry.h"
#include "entry/fkcalendar.h"
#include "entry/fkattachedbutton.h"
#include "entry/fkintl.h"
#include "entry/fkpicturefield.h"
#include "horoscope/chartglobals.h"
#include "horoscope/horoscope.h"
#include "multilang/langeditor.h"
#include "multilang/langswitch.h"
#include "platform/classes/stringlist.h"
#include "platform/classes/typinfo.h"
#include "dataset/table.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/formres/formstream.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/timer.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"
#include "platform/sys/timezones.h"
#include "richtext/controls/pageprop.h"
#include "richtext/controls/richtext.h"
#include "platform/win/winapi.h"
#include "toolbars/dock.h"
#include "toolbars/toolbar.h"
#include "toolbars/toolbarbutton.h"
#include "toolbars/toolbarpos.h"

namespace tw::app {

TfrmMain* frmMain = nullptr;
TfrmOptions* frmOptions = nullptr;
TfrmCal* frmCal = nullptr;
TAboutBox* AboutBox = nullptr;
bool StopFlag = false;

namespace {

constexpr int MsgWelcome = 99;
constexpr int MsgPersonWithoutName = 120;
// Posted while the window is being shown: the list, once the window shows.
constexpr UINT MsgFirstList = WM_APP + 0x131;
// A failure of the first contents, told once the window shows.
constexpr UINT MsgShowFailure = WM_APP + 0x132;
constexpr int MsgCaptionFirst = 1;
constexpr int MsgCaptionSecond = 98;

constexpr char LanguageValueName[] = "Language";
constexpr char EphemerisMissingText[] = "swedll32.dll not found!";
constexpr char MessagesUnreadText[] = "Not all message texts could be read from %s:\n%s";

std::function<bool()>& EphemerisProbe() {
  static std::function<bool()> probe;
  return probe;
}

// The ephemeris library is linked with the program; its calculation entry must be reachable.
bool EphemerisAvailable() {
  if (EphemerisProbe()) return EphemerisProbe()();
  return ::dlsym(RTLD_DEFAULT, "swe_calc_ut") != nullptr;
}

struct TNoTexts : ITransitTexts {
  bool FindText(const std::string&, int, int, int, std::string&) override { return false; }
};
TNoTexts NoTexts;

std::string InFolder(const std::string& folder, const char* name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Enables the bodies the list uses again before each computation: a body whose computation
// failed once is switched off by the chart and would otherwise never come back.
void EnableListedBodies(horoscope::THoroscope& chart) {
  for (int b = 0; b <= 10; ++b) chart.HorBodyEnabled[static_cast<std::size_t>(b)] = 1;
  chart.HorBodyEnabled[15] = 1;
}

}  // namespace

std::string LanguageCodeFor(const std::string& languageName) { return languageName == "Deutsch" ? "DEU" : "ENG"; }

std::string HelpFileFor(const std::string& languageCode) { return "TW_" + languageCode + ".HLP"; }

void SetEphemerisProbe(std::function<bool()> probe) { EphemerisProbe() = std::move(probe); }

int LinkHelpContext(const std::string& hiddenText) {
  std::int32_t context = 1;
  if (!TryStrToInt(Trim(hiddenText), context)) return 1;
  return context;
}

TfrmMain::TfrmMain(TComponent* owner)
    : TOrvForm(owner), view_(std::make_unique<TRichTransitView>(rtext)) {
  RadixHoroscope = new horoscope::THoroscope(this);
  RadixHoroscope->SetName("RadixHoroscope");
  TransitHoroscope = new horoscope::THoroscope(this);
  TransitHoroscope->SetName("TransitHoroscope");
  for (auto* chart : {RadixHoroscope, TransitHoroscope}) {
    chart->HorSummertimeCode = horoscope::TSummerTimeType::tzNormal;
    chart->HorPlaceLatitude = 45.0;
    chart->HorGregFlag = 1;
    chart->HorHaeusersystem = horoscope::THaeuserSystemTyp::Placidus;
  }
  tblText = new TTable(this);
  tblText->SetName("tblText");
  SetupInterpretationTable(*tblText);
  tblMSGS = new TTable(this);
  tblMSGS->SetName("tblMSGS");
  SetupMessageTable(*tblMSGS);
  tableTexts_ = std::make_unique<TTableTransitTexts>(*tblText);
  RiPagePropDlg1 = new richtext::TRiPagePropDlg(this);
  RiPagePropDlg1->SetName("RiPagePropDlg1");
  if (frmMain == nullptr) frmMain = this;
}

TfrmMain::~TfrmMain() {
  // The message list in use is this window's: nobody may read it once the window is gone.
  if (messages_ != nullptr && horoscope::MessageList == messages_.get()) horoscope::MessageList = nullptr;
  if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::OpenTables() {
  if (!tblText->Active()) tblText->Open();
  if (!tblMSGS->Active()) tblMSGS->Open();
}

void TfrmMain::LoadMessages() {
  TTableMessageRecords records(*tblMSGS);
  std::string failure;
  std::unique_ptr<TStringList> list = LoadLanguageMessages(records, horoscope::LanguageCode, &failure);
  if (!failure.empty() && !messagesFailureTold_) {
    // The texts that read are used; that others are missing is told once, in the program's
    // own words (the table's may be among those missing), once the window shows.
    messagesFailureTold_ = true;
    constexpr TUiTextPair kGerman[] = {
        {MessagesUnreadText, "Nicht alle Meldungstexte konnten aus %s gelesen werden:\n%s"}};
    TellWhenShown(Format(UiText(MessagesUnreadText, kGerman), {std::string(MessageTableName), failure}));
  }
  if (list == nullptr) return;
  horoscope::MessageList = list.get();
  messages_ = std::move(list);
}

ITransitView& TfrmMain::View() { return *view_; }

toolbars::TToolbarButtonX* TfrmMain::PersonButton(int n) const {
  switch (n) {
    case 1: return pbPers1;
    case 2: return pbPers2;
    case 3: return pbPers3;
    case 4: return pbPers4;
    default: return nullptr;
  }
}

void TfrmMain::PersonCaptionChanged(int person, const std::string& caption) {
  if (auto* button = PersonButton(person)) button->SetCaption(caption);
}

void TfrmMain::RecalcPeriodChanged(int minutes) {
  if (TimerRecalc == nullptr) return;
  TimerRecalc->SetEnabled(false);
  if (minutes <= 0) return;
  TimerRecalc->SetInterval(static_cast<unsigned>(std::min(minutes, MaxRecalcMinutes)) * 60000u);
  TimerRecalc->SetEnabled(true);
}

void TfrmMain::SetMainCaption() {
  const std::string first = horoscope::GetMessageText(MsgCaptionFirst);
  const std::string second = horoscope::GetMessageText(MsgCaptionSecond);
  if (first.empty() && second.empty()) return;  // no texts loaded: the designed caption stays
  SetCaption(first + " - " + second);
}

template <typename F>
auto TfrmMain::Modal(F&& step) -> decltype(step()) {
  struct TDepth {
    int& depth;
    explicit TDepth(int& d) : depth(d) { ++depth; }
    ~TDepth() { --depth; }
  } depth{modalDepth_};
  return step();
}

bool TfrmMain::ModalWindowOpen() const {
  if (modalDepth_ > 0) return true;
  for (int k = 0; k < Screen()->FormCount(); ++k) {
    const TCustomForm* form = Screen()->Forms(k);
    if (form != nullptr && form->FormState().Contains(TFormStateFlag::fsModal)) return true;
  }
  return false;
}

bool TfrmMain::ReadBirthMoment(TDateTime& date, TDateTime& time, bool quiet) {
  TfrmOptions& options = *frmOptions;
  // One round for each of the two values at most: the dialog's OK takes only values that read,
  // but a blank one passes.
  for (int round = 0; round < 2; ++round) {
    const bool dateReads = options.BirthDate(date);
    if (dateReads && options.BirthTime(time)) return true;
    if (quiet) return false;
    const std::string text = dateReads ? options.BirthTimeText() : options.BirthDateText();
    const int message = dateReads ? MsgBadBirthTime : MsgBadBirthDate;
    // Nothing modal may open under the splash picture, which stays on top.
    HideSplash();
    Modal([&] {
      return Application()->MessageBox(FormatMessage(horoscope::GetMessageText(message), text), Application()->Title(), MB_OK);
    });
    if (!Modal([&] { return options.Execute(dateReads ? static_cast<TWinControl*>(options.dfTime) : options.dfDate); }))
      break;
  }
  return options.BirthDate(date) && options.BirthTime(time);
}

bool TfrmMain::ReadTransitDay(TDateTime& day) {
  if (dfTransDate == nullptr) {
    day = Date();
    return true;
  }
  try {
    // The field takes today's date when its window is made.
    dfTransDate->HandleNeeded();
    day = dfTransDate->GetAsDateTime();
  } catch (const Exception&) {
    return false;
  }
  return dfTransDate->LastError == 0;
}

void TfrmMain::PrepareCharts(TDateTime birthDate, TDateTime birthTime, TDateTime transitDay) {
  TfrmOptions& options = *frmOptions;
  horoscope::THoroscope& radix = *RadixHoroscope;
  radix.HorName = options.PersonName();
  radix.HorPlace = options.PersonPlace();
  // The birth time is what the clocks of the person's zone showed: the chart reads it with the
  // zone's offset and daylight saving in force at that local moment, as the transit chart reads
  // the computer's clock.  Without a zone the database knows, the zone's offset stands alone.
  if (!SetChartClock(radix, birthDate, birthTime, options.SelectedZone())) {
    radix.HorDate = birthDate;
    radix.HorTime = birthTime;
    radix.HorSummertimeCode = horoscope::TSummerTimeType::tzNormal;
    radix.HorPlaceZoneHours = options.PersonZoneHours;
    radix.HorPlaceLongitude = radix.HorPlaceZoneHours * 15.0;
    radix.HorPlaceLatitude = 45.0;
  }
  EnableListedBodies(radix);
  radix.Calculate();
  radix.WriteChartFile(InFolder(ListingFolder, "_Radix.TXT"));

  horoscope::THoroscope& transit = *TransitHoroscope;
  transit.HorName = "Transit";
  transit.HorPlace.clear();
  const TDateTime day = std::trunc(transitDay);
  // The list is made for this date: leaving the field unchanged need not make it again.
  LastTransitDate = transitDay;
  // The computer's clock shows summer time in summer: the chart takes the instant the clock
  // gives and reads it with the zone's rules, so its universal time is the real one, also in
  // either showing of the hour the clocks show twice.  Only a zone the tz database does not know
  // falls back to the standard offset.
  const ZoneInstant now = std::chrono::floor<std::chrono::seconds>(
      std::chrono::sys_time<std::chrono::milliseconds>{std::chrono::milliseconds{NowUnixMilliseconds()}});
  if (!SetTransitClock(transit, day, now, LocalTimeZoneName())) {
    transit.HorDate = day;
    transit.HorTime = TimeOf(Now());
    transit.HorSummertimeCode = horoscope::TSummerTimeType::tzNormal;
    transit.HorPlaceZoneHours = options.MachineZoneHours;
    transit.HorPlaceLongitude = transit.HorPlaceZoneHours * 15.0;
    transit.HorPlaceLatitude = 45.0;
  }
  EnableListedBodies(transit);
  transit.Calculate();
  transit.WriteChartFile(InFolder(ListingFolder, "_Transit.TXT"));
}

void TfrmMain::ShowTransits() {
  if (frmOptions == nullptr) return;
  struct TDepth {
    int& depth;
    explicit TDepth(int& d, int& most) : depth(d) { most = std::max(most, ++depth); }
    ~TDepth() { --depth; }
  } depth{ListDepth, MaxListDepth};
  if (frmOptions->PersonName().empty()) {
    if (quietList_) return;
    HideSplash();
    Modal([&] { return frmOptions->Execute(); });
    if (frmOptions->PersonName().empty()) {
      // A person whose data were all cleared has no list: the list on show belongs to data
      // that are gone.
      ShowWelcome();
      return;
    }
  }
  TDateTime transitDay = 0.0;
  if (!ReadTransitDay(transitDay)) {
    // Never a list of another person or day: the view says what is missing.
    if (!quietList_) ShowTransitDateNotRead();
    return;
  }
  TDateTime birthDate = 0.0, birthTime = 0.0;
  // Birth data that do not read are told in a box, which must stand over this window: while
  // the window is on its way to the screen (the first list, or the stored language's), the
  // list waits until it shows.
  if (!quietList_ && FormState().Contains(TFormStateFlag::fsShowing) &&
      !(frmOptions->BirthDate(birthDate) && frmOptions->BirthTime(birthTime))) {
    // Meanwhile the view says what is missing, rather than stand empty.
    ShowNotComputed();
    if (!listPosted_) PostMessage(Handle(), MsgFirstList, 0, 0);
    listPosted_ = true;
    return;
  }
  if (!ReadBirthMoment(birthDate, birthTime, quietList_)) {
    // Never the list of another person's birth moment: the view says what is missing.
    if (!quietList_) ShowNotComputed();
    return;
  }
  ++ListsStarted;
  TRichTransitView& view = *view_;
  view.Begin();
  StopFlag = false;
  view.SetFonts(frmOptions->dlgHeaderFont != nullptr ? frmOptions->dlgHeaderFont->Font() : nullptr,
                frmOptions->dlgTitleFont != nullptr ? frmOptions->dlgTitleFont->Font() : nullptr,
                frmOptions->dlgTextFont != nullptr ? frmOptions->dlgTextFont->Font() : nullptr);
  try {
    PrepareCharts(birthDate, birthTime, transitDay);
    ITransitTexts& texts = Texts != nullptr ? *Texts : tblText->Active() ? *tableTexts_ : NoTexts;
    TTransitListWriter writer(texts, view);
    writer.StopFlag = &StopFlag;
    writer.OnProcessMessages = [] { Application()->ProcessMessages(); };
    writer.Write(*TransitHoroscope, *RadixHoroscope);
  } catch (...) {
    // The list so far stays readable; the error goes to the caller.
    view.End();
    throw;
  }
  view.End();
}

void TfrmMain::ShowNotComputed() {
  TDateTime value = 0.0;
  const bool dateReads = frmOptions->BirthDate(value);
  const std::string text = FormatMessage(horoscope::GetMessageText(dateReads ? MsgBadBirthTime : MsgBadBirthDate),
                                         dateReads ? frmOptions->BirthTimeText() : frmOptions->BirthDateText());
  ShowNotice(text);
}

void TfrmMain::ShowTransitDateNotRead() {
  const std::string text = dfTransDate != nullptr && !dfTransDate->IsEmpty() ? dfTransDate->EditText() : std::string();
  ShowNotice(FormatMessage(horoscope::GetMessageText(MsgBadTransitDate), text));
}

void TfrmMain::ShowNotice(const std::string& text) {
  TRichTransitView& view = *view_;
  view.Begin();
  view.SetFonts(nullptr, nullptr, nullptr);
  view.SetCurrentAttr(TTransitAttr::Text);
  WriteInPieces(view, text);
  view.End();
}

void TfrmMain::ShowWelcome() {
  // "No person has been entered yet" only while that is so: beside a person with a name, the
  // chosen one without a name is named.
  if (frmOptions != nullptr && frmOptions->AnyPersonNamed()) {
    const std::string pattern = horoscope::GetMessageText(MsgPersonWithoutName);
    if (!pattern.empty()) {
      ShowNotice(FormatMessage(pattern, frmOptions->PersonShortcut(frmOptions->SelectedPerson())));
      return;
    }
  }
  ShowNotice(horoscope::GetMessageText(MsgWelcome));
}

void TfrmMain::FormCreate(TObject* sender) {
  TOrvForm::FormCreate(sender);
  LoadToolbarPositions();
  if (!EphemerisAvailable()) {
    constexpr TUiTextPair kGerman[] = {{EphemerisMissingText, "swedll32.dll nicht gefunden!"}};
    Application()->MessageBox(UiText(EphemerisMissingText, kGerman), Application()->Title(), MB_OK | MB_ICONERROR);
  }
  // Without a readable language file the menu still offers the one language there is.
  if (LangSwitch1 != nullptr && LangSwitch1->Items()->Count() == 0) LangSwitch1->RefreshLanguageList(false);
  horoscope::InitAspectSettings();
  if (dfTransDate != nullptr) {
    const std::string mask = entry::DefaultIntlSup().BuildDateMask(true);
    dfTransDate->SetPictureMask(mask);
    dfTransDate->SetMaxLength(static_cast<std::uint16_t>(mask.size()));
  }
  if (TimerRecalc != nullptr) TimerRecalc->SetEnabled(false);
  if (rtext != nullptr) {
    rtext->HyperLinkCursor = crHelp;
    rtext->OneClickHyperlink = true;
    rtext->NoBlockMarking = true;
    rtext->SetCaretDisabled(true);
    rtext->SetWordWrap(true);
    rtext->SetZooming(100);
    rtext->HyperlinkTextAttr().SetUnderline(richtext::TThreeState::tsTRUE);
    rtext->HyperlinkTextAttr().SetUseUnderlineColor(true);
    rtext->HyperlinkTextAttr().SetUnderlineColor(clBlue);
    rtext->InsertPointAttr().SetUseTextColor(true);
    rtext->InsertPointAttr().SetTextColor(clRed);
    rtext->SetProtectedProp(richtext::TProtectProps{richtext::TProtectProp::ppIsInsertpoint,
                                                    richtext::TProtectProp::ppAutomatic,
                                                    richtext::TProtectProp::ppDontUseAttrOfProtected});
    rtext->SetShowPageBreak(false);
    rtext->WantTabs = false;
    rtext->SetColor(clWhite);
    // The list is longer than the window: it scrolls both ways.
    rtext->SetScrollBars(TScrollStyle::ssBoth);
    rtext->HyperLinkEvent = [this](TObject* sender, const std::string&, const std::string& stamp, int) {
      rtextHyperLinkEvent(sender, stamp);
    };
  }
}

void TfrmMain::FormShow(TObject* sender) {
  TOrvForm::FormShow(sender);
  inFormShow_ = true;
  try {
    ShowFirstContents();
  } catch (const std::exception& e) {
    // A first list that fails (a damaged table, a listing that cannot be written) must not
    // keep the window from the screen, or the program runs on with no window at all: the
    // failure is told in a box once the window shows.
    HideSplash();
    TellWhenShown(ExceptionMessage(e));
  }
  inFormShow_ = false;
  if (!pendingFailures_.empty()) PostMessage(Handle(), MsgShowFailure, 0, 0);
  ApplyPageSetup();
}

// A failure told in a box once the window stands on the screen (posted, so that a box asked
// for while the window is on its way opens over it).
void TfrmMain::TellWhenShown(const std::string& text) {
  pendingFailures_.push_back(text);
  // While the window is on its way (a list inside FormShow lets messages through), FormShow
  // posts the box at its end.
  if (pendingFailures_.size() == 1 && !inFormShow_) PostMessage(Handle(), MsgShowFailure, 0, 0);
}

// The language, caption and contents the window shows first.
void TfrmMain::ShowFirstContents() {
  const std::string stored = ReadString(LanguageValueName, DefaultLanguageName);
  // A stored language the language file does not offer leaves the windows as they are.
  if (LangSwitch1 != nullptr && stored != LangSwitch1->CurrentLanguage() && LangSwitch1->LanguageID(stored) >= 0) {
    LangSwitch1->SelectLanguage(stored, true);
  } else {
    if (LangSwitch1 != nullptr) horoscope::LanguageCode = LanguageCodeFor(LangSwitch1->CurrentLanguage());
    // The windows' language is the program's from the start, whatever the desktop's is.
    SetUiLanguage(horoscope::LanguageCode == "DEU" ? TUiLanguage::German : TUiLanguage::English);
    LoadMessages();
  }
  SetMainCaption();
  // Settings that could not be saved while the windows were made are told now, in the language
  // just chosen, with the splash picture gone.
  HideSplash();
  SettingsReportReady([] { return horoscope::GetMessageText(MsgSettingsNotSaved); });
  if (frmOptions != nullptr && !frmOptions->PersonName().empty()) {
    // Hidden first: a message or dialog of the first list must not open under the picture.
    HideSplash();
    // The list is computed at showing whatever the date field saw before: a floating date bar
    // shows, and its field takes the focus, before this window does.
    LastTransitDate = std::numeric_limits<double>::quiet_NaN();
    dfTransDateExit(dfTransDate);
  } else {
    HideSplash();
    ShowWelcome();
  }
}

void TfrmMain::HideSplash() {
  if (SplashScreen1 != nullptr) SplashScreen1->Hide();
}

void TfrmMain::LangSwitch1Translated(TObject*, const std::string& languageName, bool) {
  // The language the windows show now: a name the file does not know changed nothing.
  const std::string language = LangSwitch1 != nullptr ? LangSwitch1->CurrentLanguage() : languageName;
  horoscope::LanguageCode = LanguageCodeFor(language);
  // The libraries' messages, the standard dialogs and the key names follow.
  SetUiLanguage(horoscope::LanguageCode == "DEU" ? TUiLanguage::German : TUiLanguage::English);
  Application()->SetHelpFile(HelpFileFor(horoscope::LanguageCode));
  LoadMessages();
  SetMainCaption();
  if (frmOptions != nullptr) frmOptions->pbExitClick(frmOptions);
  if (frmOptions != nullptr && frmOptions->FormState().Contains(TFormStateFlag::fsModal)) {
    // The dialog stays open: its fields may still be put back by Cancel, so the list is made
    // when it ends.
    listAfterOptions_ = true;
  } else {
    ShowListOrWelcome();
  }
  // Last: a store that cannot be written is reported once the windows show the language.
  WriteString(LanguageValueName, language);
}

void TfrmMain::ShowListOrWelcome() {
  // Without a person the welcome text is shown in the new language; the options dialog is
  // only opened by the user.
  if (frmOptions != nullptr && !frmOptions->PersonName().empty()) {
    ShowTransits();
  } else {
    ShowWelcome();
  }
}

void TfrmMain::ForEachToolbar(const std::function<void(toolbars::TToolbarX*, const std::string&)>& action) {
  const std::string key = SettingsKey();
  for (toolbars::TToolbarX* bar : {ToolbarX, ToolbarTime}) {
    if (bar == nullptr) continue;
    try {
      action(bar, key);
    } catch (const Exception&) {
      // A store that cannot be read or written: the toolbar keeps its place, and the store the
      // places of the last run.
    }
  }
}

void TfrmMain::LoadToolbarPositions() {
  // The docks arrange once, with every bar in its stored place: a bar arranged while the other
  // still held its place would be pushed aside and keep (and store) that place.
  std::vector<toolbars::TDockX*> held;
  for (toolbars::TDockX* dock : {DockTop, DockLeft, DockRight, DockBottom})
    if (dock != nullptr) {
      dock->BeginUpdate();
      held.push_back(dock);
    }
  struct Release {
    std::vector<toolbars::TDockX*>& docks;
    ~Release() {
      for (toolbars::TDockX* dock : docks) dock->EndUpdate();
    }
  } release{held};
  ForEachToolbar(toolbars::LoadToolbarPosition);
}

void TfrmMain::UpdateShowing() {
  TOrvForm::UpdateShowing();
  if (placesShown_ || !HandleAllocated() || !IsWindowVisible(Handle())) return;
  placesShown_ = true;
  // The window now has its stored size (maximised too), wider or higher than the designed one
  // the places were first arranged in, where a bar near the far end was pulled back: the
  // stored places are arranged again in the docks' real length.
  LoadToolbarPositions();
}

void TfrmMain::SaveToolbarPositions() { ForEachToolbar(toolbars::SaveToolbarPosition); }

void TfrmMain::ApplyPageSetup() {
  if (rtext == nullptr) return;
  const std::optional<TPageSetup> setup = LoadPageSetup(this);
  if (!setup || !UsablePageSetup(*setup)) return;
  const bool readOnly = rtext->ReadOnly();
  rtext->SetReadOnly(false);
  try {
    rtext->SetPageSize(setup->LeftMargin, setup->RightMargin, setup->TopMargin, setup->BottomMargin,
                       setup->PageWidth, setup->PageHeight);
  } catch (...) {
    rtext->SetReadOnly(readOnly);
    throw;
  }
  rtext->SetReadOnly(readOnly);
}

void TfrmMain::mnuPageSetupClick(TObject*) {
  if (rtext == nullptr || RiPagePropDlg1 == nullptr) return;
  RiPagePropDlg1->SetEditBox(rtext);
  // The dialog changes the page through the view, which takes no changes while read-only.
  const bool readOnly = rtext->ReadOnly();
  rtext->SetReadOnly(false);
  try {
    RiPagePropDlg1->Execute();
  } catch (...) {
    rtext->SetReadOnly(readOnly);
    throw;
  }
  rtext->SetReadOnly(readOnly);
  const auto& header = rtext->GetHeader();
  SavePageSetup(this, TPageSetup{header.Layout.LeftMargin, header.Layout.RightMargin, header.Layout.TopMargin, header.Layout.BottomMargin,
                                 header.Layout.PageWidth, header.Layout.PageHeight});
}

void TfrmMain::FormDestroy(TObject* sender) {
  if (tblText != nullptr && tblText->Active()) tblText->Close();
  if (tblMSGS != nullptr && tblMSGS->Active()) tblMSGS->Close();
  WriteSettings([this] { SaveToolbarPositions(); });
  TOrvForm::FormDestroy(sender);
}

void TfrmMain::FormKeyUp(TObject* sender, Word& key, TShiftState shift) {
  if (key == VK_ESCAPE) StopFlag = true;
  multilang::HandleBrowseKey(LangSwitch1, key, shift);
  TOrvForm::FormKeyUp(sender, key, shift);
}

void TfrmMain::TimerRecalcTimer(TObject*) {
  // The period's list never starts inside a running list or while a message box or dialog is
  // open (it would read the dialog's half-edited fields), and it shows no message or dialog of
  // its own: a birth moment that does not read was reported when the user asked for the list.
  if (ListDepth > 0 || ModalWindowOpen()) return;
  quietList_ = true;
  struct TQuiet {
    bool& flag;
    ~TQuiet() { flag = false; }
  } quiet{quietList_};
  ShowTransits();
}

void TfrmMain::pbPersClick(TObject* sender) {
  StopFlag = true;
  const auto* component = dynamic_cast<TComponent*>(sender);
  if (frmOptions != nullptr && component != nullptr) frmOptions->SelectPerson(static_cast<int>(component->Tag()));
  ShowTransits();
}

void TfrmMain::pbExitClick(TObject*) {
  StopFlag = true;
  Close();
}

void TfrmMain::pbPrintClick(TObject*) {
  if (rtext != nullptr) rtext->Print();
}

void TfrmMain::pbInfoClick(TObject*) {
  if (AboutBox != nullptr) Modal([&] { return AboutBox->ShowModal(); });
  SetMainCaption();
}

void TfrmMain::mnuOptionsClick(TObject*) {
  if (frmOptions == nullptr) return;
  listAfterOptions_ = false;
  const bool ok = Modal([&] { return frmOptions->Execute(); });
  // After a language switch meanwhile, the list is made in the new language for what the
  // dialog left stored, whichever way it ended.
  if (ok) {
    ShowTransits();
  } else if (std::exchange(listAfterOptions_, false)) {
    ShowListOrWelcome();
  }
}

void TfrmMain::mnuHelpContentsClick(TObject*) { HelpContextCall(ContentsHelpContext); }
void TfrmMain::mnuHelpCompanyClick(TObject*) { HelpContextCall(CompanyHelpContext); }

void TfrmMain::WndProc(TMessage& msg) {
  if (msg.Msg == MsgShowFailure) {
    std::vector<std::string> failures;
    failures.swap(pendingFailures_);
    for (const std::string& text : failures) Application()->ShowException(Exception(text));
    return;
  }
  if (msg.Msg == MsgFirstList) {
    listPosted_ = false;
    LastTransitDate = std::numeric_limits<double>::quiet_NaN();
    dfTransDateExit(dfTransDate);
    return;
  }
  if (msg.Msg == WM_MOUSEWHEEL && rtext != nullptr && rtext->HandleAllocated() && rtext->Visible()) {
    POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
    tw::ScreenToClient(rtext->Handle(), &p);
    if (p.X >= 0 && p.Y >= 0 && p.X < rtext->ClientWidth() && p.Y < rtext->ClientHeight()) {
      msg.Result = SendMessage(rtext->Handle(), WM_MOUSEWHEEL, msg.WParam, msg.LParam);
      return;
    }
  }
  TOrvForm::WndProc(msg);
}

void TfrmMain::rtextHyperLinkEvent(TObject*, const std::string& hiddenText) {
  HelpContextCall(LinkHelpContext(hiddenText));
}

void TfrmMain::dfTransDateEnter(TObject*) {
  TDateTime value = 0.0;
  if (dfTransDate != nullptr && ReadTransitDay(value)) LastTransitDate = value;
}

void TfrmMain::dfTransDateExit(TObject*) {
  TDateTime value = 0.0;
  if (dfTransDate == nullptr || !ReadTransitDay(value)) return;
  if (value == LastTransitDate) return;
  LastTransitDate = value;
  ShowTransits();
}

void TfrmMain::dfTransBtnClick(TObject*) {
  if (frmCal == nullptr || dfTransDate == nullptr || dfTransBtn == nullptr) return;
  // Centred on the button's right edge, just below it, wherever its toolbar sits.
  const TPoint at = dfTransBtn->ClientToScreen(Point(dfTransBtn->Width(), dfTransBtn->Height()));
  if (frmCal->PickDate(*dfTransDate, at.X - frmCal->Width() / 2, at.Y)) dfTransDateExit(dfTransDate);
}

TW_PUBLISHED_METHODS(TfrmMain, Method("FormCreate", &TfrmMain::FormCreate), Method("FormShow", &TfrmMain::FormShow),
                     Method("FormDestroy", &TfrmMain::FormDestroy), Method("FormKeyUp", &TfrmMain::FormKeyUp),
                     Method("TimerRecalcTimer", &TfrmMain::TimerRecalcTimer),
                     Method("pbPersClick", &TfrmMain::pbPersClick), Method("pbExitClick", &TfrmMain::pbExitClick),
                     Method("mnuExitClick", &TfrmMain::pbExitClick), Method("pbPrintClick", &TfrmMain::pbPrintClick),
                     Method("mnuPrintClick", &TfrmMain::pbPrintClick), Method("pbInfoClick", &TfrmMain::pbInfoClick),
                     Method("mnuAboutClick", &TfrmMain::pbInfoClick),
                     Method("mnuOptionsClick", &TfrmMain::mnuOptionsClick),
                     Method("mnuPageSetupClick", &TfrmMain::mnuPageSetupClick),
                     Method("mnuHelpContentsClick", &TfrmMain::mnuHelpContentsClick),
                     Method("mnuHelpCompanyClick", &TfrmMain::mnuHelpCompanyClick),
                     Method("dfTransDateEnter", &TfrmMain::dfTransDateEnter),
                     Method("dfTransDateExit", &TfrmMain::dfTransDateExit),
                     Method("dfTransBtnClick", &TfrmMain::dfTransBtnClick),
                     Method("LangSwitch1Translated", &TfrmMain::LangSwitch1Translated));
TW_FORM_FIELDS(TfrmMain, Field("rtext", &TfrmMain::rtext), Field("DockTop", &TfrmMain::DockTop),
               Field("DockLeft", &TfrmMain::DockLeft), Field("DockRight", &TfrmMain::DockRight),
               Field("DockBottom", &TfrmMain::DockBottom), Field("ToolbarX", &TfrmMain::ToolbarX),
               Field("ToolbarTime", &TfrmMain::ToolbarTime), Field("pbInfo", &TfrmMain::pbInfo),
               Field("pbPers1", &TfrmMain::pbPers1), Field("pbPers2", &TfrmMain::pbPers2),
               Field("pbPers3", &TfrmMain::pbPers3), Field("pbPers4", &TfrmMain::pbPers4),
               Field("pbPrint", &TfrmMain::pbPrint), Field("pbExit", &TfrmMain::pbExit),
               Field("Transit", &TfrmMain::Transit), Field("dfTransDate", &TfrmMain::dfTransDate),
               Field("dfTransBtn", &TfrmMain::dfTransBtn), Field("MainMenu", &TfrmMain::MainMenu),
               Field("TimerRecalc", &TfrmMain::TimerRecalc), Field("Language1", &TfrmMain::Language1),
               Field("LangSwitch1", &TfrmMain::LangSwitch1), Field("SplashScreen1", &TfrmMain::SplashScreen1),
               Field("SingleInstance1", &TfrmMain::SingleInstance1));
TW_REGISTER_CLASS(TfrmMain);

}  // namespace tw::app
