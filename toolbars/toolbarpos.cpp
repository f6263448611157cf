#include "toolbars/toolbarpos.h"

#include <algorithm>

#include "platform/classes/registry.h"
#include "platform/forms/forms.h"
#include "toolbars/floatparent.h"
#include "toolbars/toolbar.h"
#include "toolbars/toolbarconst.h"

namespace tw::toolbars {

namespace {

// Stored coordinates beyond this are damage: no screen is that large.
constexpr int kMaxCoordinate = 100000;
constexpr int kMaxRow = 255;
constexpr int kMaxPos = 32767;

void WritePlace(TRegIniFile& ini, const std::string& section, TToolbarX* bar, const TRect& floatRect) {
  ini.WriteInteger(section, "DockRow", bar->DockRow());
  ini.WriteInteger(section, "DockPos", bar->DockPos());
  ini.WriteInteger(section, "FloatLeft", floatRect.Left);
  ini.WriteInteger(section, "FloatTop", floatRect.Top);
  ini.WriteInteger(section, "FloatRight", floatRect.Right);
  ini.WriteInteger(section, "FloatBottom", floatRect.Bottom);
  ini.WriteInteger(section, "FloatRightX", bar->FloatRightX());
}

bool Plausible(int v) { return v > -kMaxCoordinate && v < kMaxCoordinate; }

// Reads the place values into the toolbar; a damaged floating rectangle is dropped (empty).
void ReadPlace(TRegIniFile& ini, const std::string& section, TToolbarX* bar) {
  const int row = ini.ReadInteger(section, "DockRow", bar->DockRow());
  const int pos = ini.ReadInteger(section, "DockPos", bar->DockPos());
  bar->SetDockRow(row >= 0 && row <= kMaxRow ? row : bar->DockRow());
  bar->SetDockPos(pos >= -kMaxPos && pos <= kMaxPos ? pos : bar->DockPos());
  TRect r = Rect(ini.ReadInteger(section, "FloatLeft", 0), ini.ReadInteger(section, "FloatTop", 0),
                 ini.ReadInteger(section, "FloatRight", 0), ini.ReadInteger(section, "FloatBottom", 0));
  const bool sound = Plausible(r.Left) && Plausible(r.Top) && Plausible(r.Right) && Plausible(r.Bottom) &&
                     !IsRectEmpty(r);
  bar->SetFloatRect(sound ? AddFloatFrame(r) : TRect{});
  const int rightX = ini.ReadInteger(section, "FloatRightX", 0);
  bar->SetFloatRightX(rightX > 0 && rightX < kMaxCoordinate ? rightX : 0);
}

}  // namespace

TDockX* FindDockByName(const std::string& name, TCustomForm* form) {
  if (form == nullptr) return nullptr;
  for (int i = 0; i < form->ControlCount(); ++i)
    if (auto* dock = dynamic_cast<TDockX*>(form->Controls(i)))
      if (dock->Name() == name) return dock;
  return nullptr;
}

void SaveToolbarPosition(TToolbarX* toolbar, const std::string& keyName) {
  // A toolbar without a name has no key of its own; its values would land in the caller's key.
  if (toolbar == nullptr || toolbar->Name().empty()) return;
  TDockX* dock = toolbar->DockedTo();
  if (dock != nullptr && dock->Name().empty()) throw EInvalidOperation(SDockNameNotSet);
  TRegIniFile ini(keyName);
  const std::string& section = toolbar->Name();
  ini.WriteBool(section, "Visible", toolbar->Visible());
  if (dock != nullptr) {
    ini.WriteString(section, "DockedTo", dock->Name());
    WritePlace(ini, section, toolbar, RemoveFloatFrame(toolbar->FloatRect()));
  } else {
    // The floating window's own rectangle: the bar's bounds are relative to that window.
    const TRect window = toolbar->Parent() == toolbar->FloatParent() ? toolbar->FloatParent()->BoundsRect()
                                                                     : toolbar->FloatRect();
    ini.WriteString(section, "DockedTo", "nil");
    WritePlace(ini, section, toolbar, RemoveFloatFrame(window));
  }
}

void LoadToolbarPosition(TToolbarX* toolbar, const std::string& keyName) {
  if (toolbar == nullptr || toolbar->Name().empty()) return;
  TRegIniFile ini(keyName);
  const std::string& section = toolbar->Name();
  toolbar->SetVisible(ini.ReadBool(section, "Visible", toolbar->Visible()));
  const std::string dockName = ini.ReadString(section, "DockedTo", "");
  if (dockName.empty()) return;
  // The values describe the new place: the dock the bar leaves must not arrange with them.
  struct Hold {
    TDockX* dock;
    explicit Hold(TDockX* d) : dock(d) {
      if (dock != nullptr) dock->BeginUpdate();
    }
    ~Hold() {
      if (dock != nullptr) dock->EndUpdate();
    }
  };
  if (dockName == "nil") {
    {
      Hold hold(toolbar->DockedTo());
      ReadPlace(ini, section, toolbar);
      toolbar->SetDockedTo(nullptr);
    }
    if (toolbar->Parent() == toolbar->FloatParent() && !IsRectEmpty(toolbar->FloatRect()))
      toolbar->FloatParent()->SetBoundsRect(
          Bounds(toolbar->FloatRect().Left, toolbar->FloatRect().Top, toolbar->FloatParent()->Width(),
                 toolbar->FloatParent()->Height()));
    toolbar->MoveOnScreen(false);
    return;
  }
  TDockX* dock = FindDockByName(dockName, dynamic_cast<TCustomForm*>(toolbar->Owner()));
  // A dock the bar may not use (a side dock for a bar that docks only on top and bottom) is
  // treated as a missing one: the user could never have put it there.
  if (dock == nullptr || (dock->Vertical() && !toolbar->CanDockLeftRight())) return;
  Hold hold(toolbar->DockedTo());
  ReadPlace(ini, section, toolbar);
  if (toolbar->DockedTo() != dock) toolbar->SetDockedTo(dock);
}

}  // namespace tw::toolbars
