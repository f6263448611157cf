#include "app/lib/placement.h"

#include <algorithm>
#include <cstdlib>

#include "app/lib/winregistry.h"
#include "platform/forms/forms.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/display.h"

namespace tw::app {

namespace {
constexpr char kValueName[] = "WindowPosition";
// "1" when the window was maximised; WindowPosition then holds its normal place.
constexpr char kMaximizedName[] = "WindowMaximized";
// No coordinate of a window on any screen comes near this; larger stored values are damage.
constexpr int kAbsurd = 100000;
}  // namespace

int NextListInt(std::string& s) {
  std::size_t n = 0;
  while (n < s.size() && (s[n] == '-' || (s[n] >= '0' && s[n] <= '9'))) ++n;
  int value = StrToIntDef(std::string_view(s).substr(0, n), 0);
  s.erase(0, std::min(s.size(), n + 1));
  return value;
}

bool FitPlacement(TRect& bounds, int screenWidth, int screenHeight) {
  const int width = bounds.Width();
  const int height = bounds.Height();
  if (width <= 0 || height <= 0) return false;
  if (std::abs(bounds.Left) > kAbsurd || std::abs(bounds.Top) > kAbsurd || width > kAbsurd || height > kAbsurd)
    return false;
  if (screenWidth <= 0 || screenHeight <= 0) return true;
  const int w = std::min(width, screenWidth);
  const int h = std::min(height, screenHeight);
  const int left = std::clamp(bounds.Left, 0, screenWidth - w);
  const int top = std::clamp(bounds.Top, 0, screenHeight - h);
  bounds = Rect(left, top, left + w, top + h);
  return true;
}

bool FitFramedPlacement(TRect& bounds, const TRect& frame, int screenWidth, int screenHeight) {
  TRect outer = Rect(bounds.Left - frame.Left, bounds.Top - frame.Top, bounds.Right + frame.Right,
                     bounds.Bottom + frame.Bottom);
  if (bounds.Width() <= 0 || bounds.Height() <= 0) return false;
  if (!FitPlacement(outer, screenWidth, screenHeight)) return false;
  bounds = Rect(outer.Left + frame.Left, outer.Top + frame.Top, outer.Right - frame.Right, outer.Bottom - frame.Bottom);
  return bounds.Width() > 0 && bounds.Height() > 0;
}

TPlacement::TPlacement(TComponent* owner) : TComponent(owner) {}

void TPlacement::SaveToRegistry() {
  auto* form = dynamic_cast<TCustomForm*>(Owner());
  if (form == nullptr) return;
  // A maximised (or minimised) window keeps the place it has when it is restored.
  TRect normal = form->BoundsRect();
  bool maximized = false;
  if (form->HandleAllocated()) {
    WINDOWPLACEMENT placement;
    if (GetWindowPlacement(form->Handle(), &placement)) {
      maximized = placement.showCmd == SW_SHOWMAXIMIZED;
      if (maximized || placement.showCmd == SW_SHOWMINIMIZED) normal = placement.rcNormalPosition;
    }
  }
  const std::string value = Format("%d,%d,%d,%d", {normal.Top, normal.Left, normal.Width(), normal.Height()});
  TWinRegistry reg(SettingsKey());
  reg.WriteString(FormKeyName(form), kValueName, value);
  reg.WriteString(FormKeyName(form), kMaximizedName, maximized ? "1" : "0");
}

void TPlacement::LoadFromRegistry() {
  auto* form = dynamic_cast<TCustomForm*>(Owner());
  if (form == nullptr) return;
  std::string s;
  bool maximized = false;
  {
    TWinRegistry reg(SettingsKey());
    s = reg.ReadString(FormKeyName(form), kValueName, "");
    maximized = reg.ReadString(FormKeyName(form), kMaximizedName, "0") == "1";
  }
  if (s.empty()) return;
  const int top = NextListInt(s);
  const int left = NextListInt(s);
  const int width = NextListInt(s);
  const int height = NextListInt(s);
  const TFormBorderStyle style = form->BorderStyle();
  const bool sizeable = style == TFormBorderStyle::bsSizeable || style == TFormBorderStyle::bsSizeToolWin;
  TRect r = Rect(left, top, left + width, top + height);
  // A window manager's frame lies outside the window's own rectangle: the framed window is what
  // must stay on the screen.
  const TRect frame = form->HandleAllocated() ? WindowManagerFrame(form->Handle()) : TRect{};
  if (!FitFramedPlacement(r, frame, Screen()->Width(), Screen()->Height())) return;
  if (sizeable) {
    // A maximised window is restored to its normal place first, so that it comes back there.
    if (form->WindowState() == TWindowState::wsMaximized) form->SetWindowState(TWindowState::wsNormal);
    form->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    if (maximized) form->SetWindowState(TWindowState::wsMaximized);
  } else {
    // A fixed border keeps its designed size; only the place is taken, kept on the screen.
    TRect fixed = Rect(r.Left, r.Top, r.Left + form->Width(), r.Top + form->Height());
    if (form->Width() > 0 && form->Height() > 0) FitFramedPlacement(fixed, frame, Screen()->Width(), Screen()->Height());
    form->SetBounds(fixed.Left, fixed.Top, form->Width(), form->Height());
  }
}

TW_REGISTER_CLASS(TPlacement);

}  // namespace tw::app
