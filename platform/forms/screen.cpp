// TScreen: the forms of the program, the active form and control, the screen cursor, metrics
// and the installed fonts.
#include <fontconfig/fontconfig.h>

#include <set>

#include "platform/forms/controlsinternal.h"
#include "platform/forms/forms.h"
#include "platform/gfx/font.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {
TScreen* g_screen = nullptr;
}

TScreen* Screen() {
  if (g_screen == nullptr) g_screen = new TScreen(nullptr);
  return g_screen;
}

TScreen* ScreenIfAny() { return g_screen; }

void DoneScreen() {
  if (g_screen == nullptr) return;
  TScreen* screen = g_screen;
  delete screen;
  g_screen = nullptr;
}

void FormDestroying(TCustomForm* form) {
  if (g_screen != nullptr) g_screen->RemoveForm(form);
}

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}

TScreen::~TScreen() = default;

TCustomForm* TScreen::Forms(int index) const {
  if (index < 0 || index >= FormCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return forms_[static_cast<std::size_t>(index)];
}

void TScreen::AddForm(TCustomForm* form) {
  if (form != nullptr && std::find(forms_.begin(), forms_.end(), form) == forms_.end()) forms_.push_back(form);
}

void TScreen::RemoveForm(TCustomForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (activeForm_ == form) SetActiveForm(nullptr);
  if (activeControl_ != nullptr && activeControl_->ParentForm() == form) activeControl_ = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* form) {
  if (activeForm_ == form) return;
  activeForm_ = form;
  FireEvent(OnActiveFormChange, this);
}

void TScreen::SetActiveControl(TWinControl* control) {
  if (activeControl_ == control) return;
  activeControl_ = control;
  FireEvent(OnActiveControlChange, this);
}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor_ == cursor) return;
  cursor_ = cursor;
  if (cursor == crDefault) {
    // The window under the mouse chooses again.
    POINT p{0, 0};
    GetCursorPos(&p);
    HWND h = WindowFromPoint(p);
    if (h != 0)
      SendMessage(h, WM_SETCURSOR, h, HTCLIENT);
    else
      tw::SetCursor(LoadCursor(0, IDC_ARROW));
    if (GetCursor() == LoadCursor(0, IDC_WAIT)) tw::SetCursor(LoadCursor(0, IDC_ARROW));
  } else {
    tw::SetCursor(Cursors(cursor));
  }
}

HCURSOR TScreen::Cursors(TCursor cursor) const {
  HCURSOR id = IDC_ARROW;
  switch (cursor) {
    case crNone: return 0;
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS:
    case crVSplit: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE:
    case crHSplit: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass:
    case crSQLWait: id = IDC_WAIT; break;
    case crNo:
    case crNoDrop: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: id = IDC_ARROW; break;
  }
  return LoadCursor(0, id);
}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }

int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

int TScreen::PixelsPerInch() const {
  const int ppi = GetDeviceCaps(GetScreenDC(), LOGPIXELSY);
  return ppi > 0 ? ppi : 96;
}

TStrings* TScreen::Fonts() {
  if (fonts_ != nullptr) return fonts_.get();
  fonts_ = std::make_unique<TStringList>();
  std::set<std::string> names;
  // The drawing layer starts the font configuration and ends it at exit; asking it for a face
  // first makes sure the configuration listed here is that one.
  ResolvedFontFamily(TFontRequest{"Arial", 0, false, false, 96});
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* set = pattern != nullptr && objects != nullptr ? FcFontList(nullptr, pattern, objects) : nullptr;
  if (set != nullptr) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr)
        names.insert(Utf8ToWin1252(reinterpret_cast<const char*>(family)));
    }
    FcFontSetDestroy(set);
  }
  if (objects != nullptr) FcObjectSetDestroy(objects);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  // The faces the program names are always offered: the drawing layer substitutes them.
  for (const char* name : {"Arial", "Courier New", "MS Sans Serif", "Times New Roman"}) names.insert(name);
  for (const std::string& name : names) fonts_->Add(name);
  return fonts_.get();
}

}  // namespace tw
