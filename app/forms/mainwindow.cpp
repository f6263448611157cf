// The main window: the charts, the recalculation of the transit list and the handlers that
// start it.
#include "app/forms/mainwindow.h"

#include <cmath>

#include "app/forms/calendarwindow.h"
#include "app/lib/appsupport.h"
#include "entry/fkcalendar.h"
#include "entry/fkattachedbutton.h"
#include "entry/fkintl.h"
#include "entry/fkpicturefield.h"
#include "horoscope/chartglobals.h"
#include "horoscope/horoscope.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/formres/formstream.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/timer.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/winapi.h"
#include "toolbars/dock.h"
#include "toolbars/toolbar.h"
#include "toolbars/toolbarbutton.h"

namespace tw::app {

TfrmMain* frmMain = nullptr;
TfrmOptions* frmOptions = nullptr;
TfrmCal* frmCal = nullptr;
TAboutBox* AboutBox = nullptr;
bool StopFlag = false;

namespace {

constexpr int MsgWelcome = 99;
constexpr int MsgCaptionFirst = 1;
constexpr int MsgCaptionSecond = 98;

struct TNoTexts : ITransitTexts {
  bool FindText(const std::string&, int, int, int, std::string&) override { return false; }
};
TNoTexts NoTexts;

// The list in the window's text control: paragraph ends become line breaks, the hidden help
// numbers stay out of sight.  The text is collected and shown when the list is complete.
class TMemoTransitView : public ITransitView {
 public:
  explicit TMemoTransitView(TMemo*& memo) : memo_(memo) {}
  void SetCurrentAttr(TTransitAttr attr) override { attr_ = attr; }
  void InputString(const std::string& text) override {
    if (attr_ == TTransitAttr::Number) return;
    for (char c : text) {
      if (c == '\r') {
        text_ += "\r\n";
      } else {
        text_ += c;
      }
    }
  }
  void Begin() {
    text_.clear();
    attr_ = TTransitAttr::Header;
    if (memo_ != nullptr) {
      memo_->SetReadOnly(false);
      memo_->SetVisible(false);
      memo_->SetText("");
    }
  }
  void End() {
    if (memo_ == nullptr) return;
    memo_->SetText(text_);
    memo_->SetSelStart(0);
    memo_->SetReadOnly(true);
    memo_->SetVisible(true);
  }
  const std::string& Text() const { return text_; }

 private:
  TMemo*& memo_;
  TTransitAttr attr_ = TTransitAttr::Header;
  std::string text_;
};

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

int LinkHelpContext(const std::string& hiddenText) {
  std::int32_t context = 1;
  if (!TryStrToInt(Trim(hiddenText), context)) return 1;
  return context;
}

TfrmMain::TfrmMain(TComponent* owner)
    : TOrvForm(owner), view_(std::make_unique<TMemoTransitView>(rtext)) {
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
  if (frmMain == nullptr) frmMain = this;
}

TfrmMain::~TfrmMain() {
  if (frmMain == this) frmMain = nullptr;
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

void TfrmMain::PrepareCharts() {
  TfrmOptions& options = *frmOptions;
  horoscope::THoroscope& radix = *RadixHoroscope;
  radix.HorName = options.PersonName();
  radix.HorPlace = options.PersonPlace();
  const std::string dateText = options.BirthDateText();
  try {
    radix.HorDate = StrToDate(dateText);
  } catch (const Exception&) {
    ShowMessage(FormatMessage(horoscope::GetMessageText(MsgBadBirthDate), dateText));
    options.Execute();
  }
  const std::string timeText = options.BirthTimeText();
  try {
    radix.HorTime = StrToTime(timeText);
  } catch (const Exception&) {
    ShowMessage(FormatMessage(horoscope::GetMessageText(MsgBadBirthTime), timeText));
    options.Execute();
  }
  radix.HorSummertimeCode = horoscope::TSummerTimeType::tzNormal;
  radix.HorPlaceZoneHours = options.PersonZoneHours;
  radix.HorPlaceLongitude = radix.HorPlaceZoneHours * 15.0;
  radix.HorPlaceLatitude = 45.0;
  EnableListedBodies(radix);
  radix.Calculate();
  radix.WriteChartFile(InFolder(ListingFolder, "_Radix.TXT"));

  horoscope::THoroscope& transit = *TransitHoroscope;
  transit.HorName = "Transit";
  transit.HorPlace.clear();
  TDateTime day = Date();
  if (dfTransDate != nullptr && dfTransDate->IsValid()) {
    try {
      day = dfTransDate->GetAsDateTime();
    } catch (const Exception&) {
    }
  }
  transit.HorDate = std::trunc(day);
  const TDateTime now = Now();
  transit.HorTime = now - std::trunc(now);
  transit.HorSummertimeCode = horoscope::TSummerTimeType::tzNormal;
  transit.HorPlaceZoneHours = options.MachineZoneHours;
  transit.HorPlaceLongitude = transit.HorPlaceZoneHours * 15.0;
  transit.HorPlaceLatitude = 45.0;
  EnableListedBodies(transit);
  transit.Calculate();
  transit.WriteChartFile(InFolder(ListingFolder, "_Transit.TXT"));
}

void TfrmMain::ShowTransits() {
  if (frmOptions == nullptr) return;
  if (frmOptions->PersonName().empty()) {
    frmOptions->Execute();
    if (frmOptions->PersonName().empty()) return;
  }
  ++ListsStarted;
  auto& view = static_cast<TMemoTransitView&>(*view_);
  view.Begin();
  StopFlag = false;
  try {
    PrepareCharts();
    TTransitListWriter writer(Texts != nullptr ? *Texts : NoTexts, view);
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

void TfrmMain::ShowWelcome() {
  auto& view = static_cast<TMemoTransitView&>(*view_);
  view.Begin();
  WriteInPieces(view, horoscope::GetMessageText(MsgWelcome));
  view.End();
}

void TfrmMain::FormCreate(TObject* sender) {
  TOrvForm::FormCreate(sender);
  horoscope::InitAspectSettings();
  if (dfTransDate != nullptr) {
    const std::string mask = entry::DefaultIntlSup().BuildDateMask(true);
    dfTransDate->SetPictureMask(mask);
    dfTransDate->SetMaxLength(static_cast<std::uint16_t>(mask.size()));
  }
  if (TimerRecalc != nullptr) TimerRecalc->SetEnabled(false);
}

void TfrmMain::FormShow(TObject* sender) {
  TOrvForm::FormShow(sender);
  SetMainCaption();
  if (frmOptions != nullptr && !frmOptions->PersonName().empty()) {
    dfTransDateExit(dfTransDate);
  } else {
    ShowWelcome();
  }
}

void TfrmMain::FormDestroy(TObject* sender) { TOrvForm::FormDestroy(sender); }

void TfrmMain::FormKeyUp(TObject* sender, Word& key, TShiftState shift) {
  if (key == VK_ESCAPE) StopFlag = true;
  TOrvForm::FormKeyUp(sender, key, shift);
}

void TfrmMain::TimerRecalcTimer(TObject*) { ShowTransits(); }

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
  // Printing needs the rich-text view; the plain text control has no pages to print.
}

void TfrmMain::pbInfoClick(TObject*) {
  if (AboutBox != nullptr) AboutBox->ShowModal();
  SetMainCaption();
}

void TfrmMain::mnuOptionsClick(TObject*) {
  if (frmOptions != nullptr && frmOptions->Execute()) ShowTransits();
}

void TfrmMain::mnuHelpContentsClick(TObject*) { HelpContextCall(ContentsHelpContext); }
void TfrmMain::mnuHelpCompanyClick(TObject*) { HelpContextCall(CompanyHelpContext); }

void TfrmMain::rtextHyperLinkEvent(TObject*, const std::string& hiddenText) {
  HelpContextCall(LinkHelpContext(hiddenText));
}

void TfrmMain::dfTransDateEnter(TObject*) {
  if (dfTransDate == nullptr || !dfTransDate->IsValid()) return;
  try {
    LastTransitDate = dfTransDate->GetAsDateTime();
  } catch (const Exception&) {
  }
}

void TfrmMain::dfTransDateExit(TObject*) {
  if (dfTransDate == nullptr || !dfTransDate->IsValid()) return;
  TDateTime value = 0.0;
  try {
    value = dfTransDate->GetAsDateTime();
  } catch (const Exception&) {
    return;
  }
  if (value == LastTransitDate) return;
  LastTransitDate = value;
  ShowTransits();
}

void TfrmMain::dfTransBtnClick(TObject*) {
  if (frmCal == nullptr || dfTransDate == nullptr || dfTransBtn == nullptr) return;
  // Centred under the button: its right and bottom edges, taken in the window's client area.
  TPoint at = ClientToScreen(Point(dfTransBtn->Left() + dfTransBtn->Width(), dfTransBtn->Top() + dfTransBtn->Height()));
  frmCal->SetBounds(at.X - frmCal->Width() / 2, at.Y, frmCal->Width(), frmCal->Height());
  if (frmCal->Calendar != nullptr) {
    try {
      frmCal->Calendar->SetDate(dfTransDate->GetAsDayNumber());
    } catch (const Exception&) {
    }
  }
  if (frmCal->ShowModal() != mrOk || frmCal->Calendar == nullptr) return;
  dfTransDate->SetAsDayNumber(frmCal->Calendar->GetDate());
  dfTransDateExit(dfTransDate);
}

TW_PUBLISHED_METHODS(TfrmMain, Method("FormCreate", &TfrmMain::FormCreate), Method("FormShow", &TfrmMain::FormShow),
                     Method("FormDestroy", &TfrmMain::FormDestroy), Method("FormKeyUp", &TfrmMain::FormKeyUp),
                     Method("TimerRecalcTimer", &TfrmMain::TimerRecalcTimer),
                     Method("pbPersClick", &TfrmMain::pbPersClick), Method("pbExitClick", &TfrmMain::pbExitClick),
                     Method("mnuExitClick", &TfrmMain::pbExitClick), Method("pbPrintClick", &TfrmMain::pbPrintClick),
                     Method("mnuPrintClick", &TfrmMain::pbPrintClick), Method("pbInfoClick", &TfrmMain::pbInfoClick),
                     Method("mnuAboutClick", &TfrmMain::pbInfoClick),
                     Method("mnuOptionsClick", &TfrmMain::mnuOptionsClick),
                     Method("mnuHelpContentsClick", &TfrmMain::mnuHelpContentsClick),
                     Method("mnuHelpCompanyClick", &TfrmMain::mnuHelpCompanyClick),
                     Method("dfTransDateEnter", &TfrmMain::dfTransDateEnter),
                     Method("dfTransDateExit", &TfrmMain::dfTransDateExit),
                     Method("dfTransBtnClick", &TfrmMain::dfTransBtnClick));
TW_FORM_FIELDS(TfrmMain, Field("rtext", &TfrmMain::rtext), Field("DockTop", &TfrmMain::DockTop),
               Field("DockLeft", &TfrmMain::DockLeft), Field("DockRight", &TfrmMain::DockRight),
               Field("DockBottom", &TfrmMain::DockBottom), Field("ToolbarX", &TfrmMain::ToolbarX),
               Field("ToolbarTime", &TfrmMain::ToolbarTime), Field("pbInfo", &TfrmMain::pbInfo),
               Field("pbPers1", &TfrmMain::pbPers1), Field("pbPers2", &TfrmMain::pbPers2),
               Field("pbPers3", &TfrmMain::pbPers3), Field("pbPers4", &TfrmMain::pbPers4),
               Field("pbPrint", &TfrmMain::pbPrint), Field("pbExit", &TfrmMain::pbExit),
               Field("Transit", &TfrmMain::Transit), Field("dfTransDate", &TfrmMain::dfTransDate),
               Field("dfTransBtn", &TfrmMain::dfTransBtn), Field("MainMenu", &TfrmMain::MainMenu),
               Field("TimerRecalc", &TfrmMain::TimerRecalc));
TW_REGISTER_CLASS(TfrmMain);

}  // namespace tw::app
