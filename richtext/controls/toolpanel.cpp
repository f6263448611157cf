#include "richtext/controls/toolpanel.h"

#include "platform/forms/forms.h"
#include "richtext/controls/componentlink.h"
#include "richtext/controls/richedit.h"

namespace tw::richtext {

TW_MESSAGE_MAP(TRiCustomToolPanel, OnMessage<TRiCustomToolPanel, &TRiCustomToolPanel::WMNCHitTest>(WM_NCHITTEST));

TW_PUBLISHED(TRiCustomToolPanel, Prop("Movable", &TRiCustomToolPanel::Movable, &TRiCustomToolPanel::SetMovable),
             Prop("Sizeable", &TRiCustomToolPanel::Sizeable, &TRiCustomToolPanel::SetSizeable),
             Prop("NextToolBar", &TRiCustomToolPanel::NextToolBar, &TRiCustomToolPanel::SetNextToolBar));

TRiCustomToolPanel::TRiCustomToolPanel(TComponent* owner) : TPanel(owner) { SetText(""); }

TRiCustomToolPanel::~TRiCustomToolPanel() {
  SetEditor(nullptr);
  SetNextToolBar(nullptr);
}

void TRiCustomToolPanel::SetEditor(TRiCustomRtfEdit* editor) { ReplaceLink(this, editor_, editor); }

void TRiCustomToolPanel::SetNextToolBar(TRiCustomToolPanel* next) { ReplaceLink(this, next_, next); }

void TRiCustomToolPanel::Notification(TComponent* component, TOperation operation) {
  TPanel::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == next_) next_ = nullptr;
  if (component == editor_) editor_ = nullptr;
}

template <typename Own, typename Pass>
bool TRiCustomToolPanel::Forward(Own own, Pass pass) {
  if (inForward_) {
    // The chain came back to this panel: report it once and break it here.
    SetNextToolBar(nullptr);
    Application()->MessageBox(ToolBarLoopMessage, Application()->Title(), MB_OK);
    return false;
  }
  inForward_ = true;
  bool result = false;
  try {
    result = own(*this);
    if (next_ != nullptr && next_ != this && pass(*next_)) result = true;
  } catch (...) {
    inForward_ = false;
    throw;
  }
  inForward_ = false;
  return result;
}

void TRiCustomToolPanel::Attach(TRiCustomRtfEdit* editor) {
  if (inForward_ || ComponentState().Contains(TComponentStateFlag::csLoading)) return;
  if (editor == nullptr && Owner() != nullptr) {
    for (int i = 0; i < Owner()->ComponentCount(); ++i) {
      auto* e = dynamic_cast<TRiCustomRtfEdit*>(Owner()->Components(i));
      if (e != nullptr && e->Focused()) {
        editor = e;
        break;
      }
    }
  }
  SetEditor(editor);
  Forward(
      [editor](TRiCustomToolPanel& p) {
        p.DoAttach(editor);
        return false;
      },
      [editor](TRiCustomToolPanel& n) {
        n.Attach(editor);
        return false;
      });
}

bool TRiCustomToolPanel::PressButton(int kind, int group, int number) {
  return Forward([=](TRiCustomToolPanel& p) { return p.DoPressButton(kind, group, number); },
                 [=](TRiCustomToolPanel& n) { return n.PressButton(kind, group, number); });
}

bool TRiCustomToolPanel::ReleaseButton(int kind, int group, int number) {
  return Forward([=](TRiCustomToolPanel& p) { return p.DoReleaseButton(kind, group, number); },
                 [=](TRiCustomToolPanel& n) { return n.ReleaseButton(kind, group, number); });
}

bool TRiCustomToolPanel::EnableButton(int group, int number, bool enabled, int value) {
  return Forward([=](TRiCustomToolPanel& p) { return p.DoEnableButton(group, number, enabled, value); },
                 [=](TRiCustomToolPanel& n) { return n.EnableButton(group, number, enabled, value); });
}

void TRiCustomToolPanel::SetField(int kind, const std::string& value, int extra) {
  Forward(
      [&](TRiCustomToolPanel& p) {
        p.DoSetField(kind, value, extra);
        return false;
      },
      [&](TRiCustomToolPanel& n) {
        n.SetField(kind, value, extra);
        return false;
      });
}

void TRiCustomToolPanel::SetFieldState(int kind, int value) {
  Forward(
      [=](TRiCustomToolPanel& p) {
        p.DoSetFieldState(kind, value);
        return false;
      },
      [=](TRiCustomToolPanel& n) {
        n.SetFieldState(kind, value);
        return false;
      });
}

void TRiCustomToolPanel::SetState(int value) {
  Forward(
      [=](TRiCustomToolPanel& p) {
        p.state_ = value;
        return false;
      },
      [=](TRiCustomToolPanel& n) {
        n.SetState(value);
        return false;
      });
}

void TRiCustomToolPanel::Loaded() {
  TPanel::Loaded();
  Attach(nullptr);
}

LRESULT TRiCustomToolPanel::HitTest(int x, int y, bool leftButtonDown) const {
  const int w = Width(), h = Height();
  if (sizeable_) {
    const bool nearRight = x >= w - 2, nearBottom = y >= h - 2;
    if (nearRight && nearBottom) return HTBOTTOMRIGHT;
    if (nearBottom) return HTBOTTOM;
    if (nearRight) return HTRIGHT;
  }
  return leftButtonDown ? HTCAPTION : HTCLIENT;
}

void TRiCustomToolPanel::WMNCHitTest(TMessage& msg) {
  InheritedMessage(TRiCustomToolPanel::StaticClass(), msg);
  if (ComponentState().Contains(TComponentStateFlag::csDesigning) || (!movable_ && !sizeable_)) return;
  const TPoint p = ScreenToClient(TPoint{static_cast<short>(LOWORD(msg.LParam)), static_cast<short>(HIWORD(msg.LParam))});
  msg.Result = HitTest(p.X, p.Y, GetKeyState(VK_LBUTTON) < 0);
}

// --- the ready panel -----------------------------------------------------------------------------------

TRiToolPanel::TRiToolPanel(TComponent* owner) : TRiCustomToolPanel(owner) {
  SetBounds(Left(), Top(), 420, 28);
  SetBevelOuter(TPanelBevel::bvRaised);
  // Style buttons toggle on their own (each its own group); plain does not stay down.
  AddButton(tgStyle, 1, "A", 0, false);
  AddButton(tgStyle, 2, "B", 101, true);
  AddButton(tgStyle, 3, "I", 102, true);
  AddButton(tgStyle, 4, "U", 103, true);
  AddButton(tgStyle, 5, "D", 104, true);
  AddButton(tgStyle, 6, "S", 105, true);
  AddButton(tgStyle, 7, "x2", 106, true);
  AddButton(tgStyle, 8, "x_", 107, true);
  nextX_ += 6;
  // Alignment: one of four stays down.
  AddButton(tgAlignment, 1, "L", 200, false);
  AddButton(tgAlignment, 2, "R", 200, false);
  AddButton(tgAlignment, 3, "J", 200, false);
  AddButton(tgAlignment, 4, "C", 200, false);
  nextX_ += 6;
  AddButton(tgEdit, 1, "Cp", 0, false);
  AddButton(tgEdit, 2, "Ct", 0, false);
  AddButton(tgEdit, 3, "Ps", 0, false);
}

void TRiToolPanel::AddButton(int group, int number, const std::string& caption, int groupIndex, bool toggles) {
  auto* b = new TSpeedButton(this);
  b->SetParent(this);
  b->SetBounds(nextX_, 2, 24, 24);
  b->SetCaption(caption);
  b->SetGroupIndex(groupIndex);
  if (toggles) b->SetAllowAllUp(true);
  nextX_ += 25;
  buttons_.push_back(Entry{b, group, number, toggles});
  const Entry entry = buttons_.back();
  b->OnClick = [this, entry](TObject*) { ButtonClicked(entry); };
}

TSpeedButton* TRiToolPanel::Button(int group, int number) const {
  for (const Entry& e : buttons_)
    if (e.Group == group && e.Number == number) return e.Button;
  return nullptr;
}

void TRiToolPanel::ButtonClicked(const Entry& entry) {
  if (Editor() == nullptr) return;
  const int kind = entry.Toggles && !entry.Button->Down() ? tkRelease : tkPress;
  Editor()->ToolPanelCommand(kind, entry.Group, entry.Number);
}

bool TRiToolPanel::DoPressButton(int, int group, int number) {
  TSpeedButton* b = Button(group, number);
  if (b == nullptr) return false;
  if (b->GroupIndex() != 0) b->SetDown(true);
  return true;
}

bool TRiToolPanel::DoReleaseButton(int, int group, int number) {
  TSpeedButton* b = Button(group, number);
  if (b == nullptr) return false;
  if (b->AllowAllUp()) b->SetDown(false);
  return true;
}

bool TRiToolPanel::DoEnableButton(int group, int number, bool enabled, int) {
  TSpeedButton* b = Button(group, number);
  if (b == nullptr) return false;
  b->SetEnabled(enabled);
  return true;
}

}  // namespace tw::richtext
