// Fixture of the list-control tests: a fresh offscreen window system and application per case,
// a shown form, and helpers to press keys and click at client points of a control.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/forms/forms.h"
#include "platform/win/display.h"

namespace tw::test {

class ComCtrlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    form = new TForm(Application());
    form->SetBounds(100, 100, 400, 300);
    form->SetClientWidth(360);
    form->SetClientHeight(260);
  }
  void TearDown() override {
    DoneApplication();
    ResetWindowSystem();
  }
  static void Pump() { Application()->ProcessMessages(); }
  void ShowForm() {
    form->Show();
    Pump();
  }
  // A key typed while `control` has the focus.
  static void Key(UINT vk, int typed = 0) {
    InjectKey(vk, typed);
    Pump();
  }
  static void KeyWith(UINT modifier, UINT vk) {
    // The key state is read when a message is handled: release the modifier only after.
    InjectKeyDown(modifier);
    InjectKey(vk);
    Pump();
    InjectKeyUp(modifier);
    Pump();
  }
  static void Click(TWinControl* control, int x, int y) {
    InjectClick(control->Handle(), x, y);
    Pump();
  }
  static void ClickWindow(HWND window, int x, int y) {
    InjectClick(window, x, y);
    Pump();
  }
  TForm* form = nullptr;
};

}  // namespace tw::test
