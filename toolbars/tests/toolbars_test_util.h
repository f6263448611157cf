// Shared fixture of the toolbar tests: a fresh offscreen window system and application per case,
// and a shown form with docks on its four edges.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/forms/forms.h"
#include "platform/win/display.h"
#include "toolbars/dock.h"
#include "toolbars/floatparent.h"
#include "toolbars/separator.h"
#include "toolbars/toolbar.h"
#include "toolbars/toolbarbutton.h"

namespace tw::toolbars::test {

class ToolbarsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    // An exception that escapes a message handler ends up here: the case fails.
    SetMessageBoxFunc([](const std::string& text, const std::string& caption, unsigned) {
      ADD_FAILURE() << "message box: " << caption << ": " << text;
      return mrOk;
    });
  }
  void TearDown() override {
    DoneApplication();
    ResetWindowSystem();
    SetMessageBoxFunc(nullptr);
  }

  static void Pump() { Application()->ProcessMessages(); }

  // A form at (100, 100) with a client area of 600 x 400 and its four docks, named "DockTop",
  // "DockBottom", "DockLeft" and "DockRight".
  void MakeForm(bool show = true) {
    form = new TForm(Application());
    form->SetName("frmTest");
    form->SetBounds(100, 100, 640, 480);
    form->SetClientWidth(600);
    form->SetClientHeight(400);
    top = NewDock("DockTop", TDockPosition::dpTop);
    bottom = NewDock("DockBottom", TDockPosition::dpBottom);
    left = NewDock("DockLeft", TDockPosition::dpLeft);
    right = NewDock("DockRight", TDockPosition::dpRight);
    if (show) {
      form->Show();
      Pump();
    }
  }

  TDockX* NewDock(const std::string& name, TDockPosition pos) {
    auto* d = new TDockX(form);
    d->SetName(name);
    d->SetPosition(pos);
    d->SetParent(form);
    return d;
  }

  // A toolbar with `buttons` buttons of 23 x 22, docked at (row, pos) of `dock` (floating when
  // nullptr).
  TToolbarX* NewBar(const std::string& name, TDockX* dock, int row, int pos, int buttons = 3) {
    auto* bar = new TToolbarX(form);
    bar->SetName(name);
    bar->SetCaption(name);
    for (int i = 0; i < buttons; ++i) {
      auto* b = new TToolbarButtonX(form);
      b->SetParent(bar);
      b->SetBounds(100 + i * 23, 0, 23, 22);
    }
    bar->SetDockRow(row);
    bar->SetDockPos(pos);
    if (dock != nullptr) bar->SetDockedTo(dock);
    else bar->SetDockedTo(nullptr);
    Pump();
    return bar;
  }

  // The screen rectangle of a control.
  static TRect ScreenRect(TControl* c) {
    const TPoint o = c->ClientOrigin();
    return Bounds(o.X, o.Y, c->Width(), c->Height());
  }

  // The screen rectangle of the form's client area.
  TRect FormClient() const {
    const TPoint o = form->ClientOrigin();
    return Bounds(o.X, o.Y, form->ClientWidth(), form->ClientHeight());
  }

  // Presses the left button at `from`, moves in steps to `to` and releases there.
  static void Drag(TPoint from, TPoint to) {
    InjectMouseMove(from.X, from.Y);
    InjectMouseDown(from.X, from.Y);
    Pump();
    for (int step = 1; step <= 4; ++step) {
      const int x = from.X + (to.X - from.X) * step / 4;
      const int y = from.Y + (to.Y - from.Y) * step / 4;
      InjectMouseMove(x, y);
      Pump();
    }
    InjectMouseUp(to.X, to.Y);
    Pump();
  }

  // A point on a docked bar's drag handle.
  static TPoint Handle(TToolbarX* bar) {
    const TRect r = ScreenRect(bar);
    return bar->ToolbarType() == kVertical ? TPoint{r.Left + r.Width() / 2, r.Top + 5}
                                           : TPoint{r.Left + 5, r.Top + r.Height() / 2};
  }
  // Moves the mouse to `p` and presses the left button there.
  static void Press(TPoint p) {
    InjectMouseMove(p.X, p.Y);
    InjectMouseDown(p.X, p.Y);
    Pump();
  }
  // A double click at `p` (a click, then the second press and release).
  static void DoubleClick(TPoint p) {
    InjectDoubleClickAt(p.X, p.Y);
    Pump();
  }
  // The middle of a floating bar's close box.
  static TPoint CloseBoxPoint(TToolbarX* bar) {
    const TRect b = bar->FloatParent()->CloseButtonRect();
    return bar->FloatParent()->ClientToScreen({(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2});
  }
  // A point on a floating bar's caption.
  static TPoint CaptionPoint(TToolbarX* bar) {
    const TRect w = bar->FloatParent()->BoundsRect();
    return {w.Left + FrameWidth() + 6, w.Top + FrameHeight() + SmallCaptionHeight() / 2};
  }

  TForm* form = nullptr;
  TDockX* top = nullptr;
  TDockX* bottom = nullptr;
  TDockX* left = nullptr;
  TDockX* right = nullptr;
};

inline std::uint32_t PixelRGB(HWND hwnd, int x, int y) { return GetWindowPixel(hwnd, x, y) & 0xFFFFFF; }

// 0xRRGGBB of a colour, as window pixels hold it.
inline std::uint32_t ToRGB(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return static_cast<std::uint32_t>((GetRValue(rgb) << 16) | (GetGValue(rgb) << 8) | GetBValue(rgb));
}

}  // namespace tw::toolbars::test
