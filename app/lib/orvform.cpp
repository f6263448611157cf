#include "app/lib/orvform.h"

#include "app/lib/placement.h"
#include "app/lib/settingsreport.h"
#include "app/lib/winregistry.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/stdctrls/buttons.h"
#include "platform/rtl/sysutils.h"

namespace tw::app {

namespace {
// Point sizes outside this range are damaged values (the font dialog offers far less).
constexpr int kMaxFontSize = 1638;
constexpr int kButtonRightMargin = 8;
constexpr int kButtonGap = 4;
}  // namespace

std::string FontToValue(const TFont* font) {
  std::string value = font->Name().substr(0, 31);
  value += "," + IntToStr(font->Size()) + "," + IntToStr(font->Color()) + ",";
  const TFontStyles style = font->Style();
  if (style.Contains(TFontStyle::fsBold)) value += 'b';
  if (style.Contains(TFontStyle::fsItalic)) value += 'i';
  if (style.Contains(TFontStyle::fsUnderline)) value += 'u';
  if (style.Contains(TFontStyle::fsStrikeOut)) value += 's';
  return value;
}

void ValueToFont(const std::string& value, TFont* font) {
  font->SetStyle(TFontStyles{});
  std::string s = value;
  // Takes the field up to the next ","; false when there is none.
  auto field = [&s](std::string& out) {
    const std::size_t p = s.find(',');
    if (p == std::string::npos) return false;
    out = s.substr(0, p);
    s.erase(0, p + 1);
    return true;
  };
  std::string f;
  if (!field(f)) return;
  if (!f.empty()) font->SetName(f);
  if (!field(f)) return;
  int size = StrToIntDef(Trim(f), 10);
  if (size <= 0 || size > kMaxFontSize) size = 10;
  font->SetSize(size);
  if (!field(f)) return;
  font->SetColor(StrToIntDef(Trim(f), 0));
  TFontStyles style;
  if (s.find('b') != std::string::npos) style.Include(TFontStyle::fsBold);
  if (s.find('u') != std::string::npos) style.Include(TFontStyle::fsUnderline);
  if (s.find('i') != std::string::npos) style.Include(TFontStyle::fsItalic);
  if (s.find('s') != std::string::npos) style.Include(TFontStyle::fsStrikeOut);
  font->SetStyle(style);
}

TOrvForm::TOrvForm(TComponent* owner) : TForm(owner) {
  SetCaption("Orvel Datenerfassung");
  SetKeyPreview(true);
  Font()->SetName("Arial");
  Font()->SetHeight(-13);
  SetTag(1);
  Placement1 = new TPlacement(this);
  Placement1->SetName("Placement1");
  OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
  OnCreate = [this](TObject* sender) { FormCreate(sender); };
  OnDestroy = [this](TObject* sender) { FormDestroy(sender); };
  OnHide = [this](TObject* sender) { FormHide(sender); };
  OnKeyUp = [this](TObject* sender, Word& key, TShiftState shift) { FormKeyUp(sender, key, shift); };
  OnShow = [this](TObject* sender) { FormShow(sender); };
}

// A form deleted directly still runs OnDestroy while its members exist (it runs only once).
TOrvForm::~TOrvForm() { BeforeDestruction(); }

void TOrvForm::BeforeDestruction() {
  // OnDestroy runs while the form and its components are still whole; the form's own
  // destruction then marks them all as going before any of them is freed.
  if (OnDestroy) {
    const TNotifyEvent handler = std::move(OnDestroy);
    OnDestroy = nullptr;
    try {
      handler(this);
    } catch (...) {
      Application()->HandleException(this);
    }
  }
  TForm::BeforeDestruction();
}

void TOrvForm::WriteString(const std::string& ident, const std::string& value) {
  WriteSettings([&] {
    TWinRegistry reg(SettingsKey());
    reg.WriteString(FormKeyName(this), ident, value);
  });
}

std::string TOrvForm::ReadString(const std::string& ident, const std::string& defaultValue) {
  TWinRegistry reg(SettingsKey());
  return reg.ReadString(FormKeyName(this), ident, defaultValue);
}

void TOrvForm::WriteFont(const std::string& ident, const TFont* font) { WriteString(ident, FontToValue(font)); }

void TOrvForm::ReadFont(const std::string& ident, TFont* font) { ValueToFont(ReadString(ident, ""), font); }

void TOrvForm::FormCreate(TObject*) {
  SetVisible(false);
  // The window manager's default places would fight the stored placement; a window centred
  // by its design is centred on its first showing, and the stored place, once there is one,
  // is taken after that.
  if (Position() != TPosition::poScreenCenter && Position() != TPosition::poDesktopCenter &&
      Position() != TPosition::poMainFormCenter && Position() != TPosition::poOwnerFormCenter)
    SetPosition(TPosition::poDesigned);
  if (!OnResize) OnResize = [this](TObject* sender) { FormResize(sender); };
}

void TOrvForm::FormShow(TObject*) {
  if (Placement1 != nullptr) Placement1->LoadFromRegistry();
  if (OnResize) {
    TNotifyEvent handler = OnResize;
    handler(this);
  }
}

void TOrvForm::FormHide(TObject*) { SavePlacement(); }

void TOrvForm::SavePlacement() {
  // Only a shown window has a place to remember: a maximised one its normal place and that it
  // was maximised; a minimised one keeps what was stored before.
  if (Placement1 == nullptr || !HandleAllocated() || !IsWindowVisible(Handle()) ||
      WindowState() == TWindowState::wsMinimized)
    return;
  // A settings store that cannot be written must not keep the window from hiding or closing:
  // the user is told once that settings are not saved.
  WriteSettings([this] { Placement1->SaveToRegistry(); });
}

void TOrvForm::FormClose(TObject*, TCloseAction&) {
  Screen()->SetCursor(crDefault);
  // Closing the main window ends the program without hiding it first (Exit, or the window
  // manager's close): its place is remembered here.
  SavePlacement();
}

void TOrvForm::FormDestroy(TObject*) { Screen()->SetCursor(crDefault); }

void TOrvForm::FormResize(TObject*) {
  int right = ClientWidth() - kButtonRightMargin;
  for (const char* name : {"pbExit", "pbSearch", "pbPin"}) {
    auto* button = dynamic_cast<TSpeedButton*>(FindComponent(name));
    if (button == nullptr) continue;
    button->SetLeft(right - button->Width());
    right = button->Left() - kButtonGap;
  }
}

void TOrvForm::FormKeyPress(TObject*, char& key) {
  if (key != '\r') return;
  key = 0;
  if (auto* grid = dynamic_cast<IDataGridColumns*>(ActiveControl())) {
    const int count = grid->ColumnCount();
    if (count > 0) {
      // From the last column (or a column the grid does not have) back to the first.
      const int next = grid->SelectedColumn() + 1;
      grid->SetSelectedColumn(next >= 1 && next < count ? next : 0);
    }
    return;
  }
  SelectNext(ActiveControl(), true, true);
}

void TOrvForm::FormKeyUp(TObject*, Word& key, TShiftState shift) {
  const bool none = shift.Empty();
  const bool onlyShift = shift == TShiftState{TShiftStateFlag::ssShift};
  const bool onlyCtrl = shift == TShiftState{TShiftStateFlag::ssCtrl};
  switch (key) {
    case VK_F3:
      if (none) NavigatorClick(TNavigateBtn::nbPost);
      else if (onlyShift) NavigatorClick(TNavigateBtn::nbDelete);
      break;
    case VK_F2:
      if (none) NavigatorClick(TNavigateBtn::nbInsert);
      break;
    case VK_F8:
      if (none) {
        auto* button = dynamic_cast<TSpeedButton*>(FindComponent("pbSearch"));
        if (button != nullptr && button->OnClick) button->Click();
      }
      break;
    case VK_PRIOR:
      if (none) NavigatorClick(TNavigateBtn::nbPrior);
      else if (onlyCtrl) NavigatorClick(TNavigateBtn::nbFirst);
      break;
    case VK_NEXT:
      if (none) NavigatorClick(TNavigateBtn::nbNext);
      else if (onlyCtrl) NavigatorClick(TNavigateBtn::nbLast);
      break;
    default:
      break;
  }
}

void TOrvForm::NavigatorClick(TNavigateBtn button) {
  for (int i = 0; i < ComponentCount(); ++i) {
    if (auto* nav = dynamic_cast<INavigatorTarget*>(Components(i))) nav->BtnClick(button);
  }
}

TW_PUBLISHED_METHODS(TOrvForm, Method("FormCreate", &TOrvForm::FormCreate), Method("FormShow", &TOrvForm::FormShow),
                     Method("FormHide", &TOrvForm::FormHide), Method("FormClose", &TOrvForm::FormClose),
                     Method("FormDestroy", &TOrvForm::FormDestroy), Method("FormResize", &TOrvForm::FormResize),
                     Method("FormKeyPress", &TOrvForm::FormKeyPress), Method("FormKeyUp", &TOrvForm::FormKeyUp));
TW_REGISTER_CLASS(TOrvForm);

}  // namespace tw::app
