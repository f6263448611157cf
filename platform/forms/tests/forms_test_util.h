// Shared fixture and small controls of the control-class tests: every case runs on a fresh
// offscreen window system and a fresh application object.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/forms/forms.h"
#include "platform/win/display.h"
#include "platform/rtl/uilanguage.h"

namespace tw::test {

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    SetMessageBoxFunc([this](const std::string& text, const std::string& caption, unsigned) {
      boxes.push_back(caption + "|" + text);
      return mrOk;
    });
  }
  void TearDown() override {
    DoneApplication();
    ResetWindowSystem();
    SetMessageBoxFunc(nullptr);
    SetUiLanguage(std::nullopt);  // a case that chose German leaves the next one the desktop's
  }

  // Handles everything waiting (input, paint, timers that are due).
  static void Pump() { Application()->ProcessMessages(); }

  // Runs `loop` (Run or ShowModal) with an idle handler that performs `steps` one at a time
  // (each after the queue ran empty); fails and ends the loop when the steps are used up
  // without the loop ending.
  static void DriveIdle(std::vector<std::function<void()>> steps, std::function<void()> onExhausted) {
    struct State {
      std::vector<std::function<void()>> steps;
      std::function<void()> onExhausted;
      std::size_t index = 0;
      bool running = false;  // a step runs a nested loop: its idle time is not ours
    };
    auto state = std::make_shared<State>();
    state->steps = std::move(steps);
    state->onExhausted = std::move(onExhausted);
    Application()->OnIdle = [state](TObject*, bool& done) {
      done = false;
      if (state->running) return;
      state->running = true;
      if (state->index < state->steps.size()) {
        state->steps[state->index++]();
      } else if (state->index == state->steps.size()) {
        ++state->index;
        state->onExhausted();
      }
      state->running = false;
    };
  }

  // A shown form of the given client size at (100, 100).
  static TForm* NewForm(int clientWidth = 200, int clientHeight = 150, TComponent* owner = nullptr) {
    auto* form = new TForm(owner == nullptr ? Application() : owner);
    form->SetBounds(100, 100, 300, 300);
    form->SetClientWidth(clientWidth);
    form->SetClientHeight(clientHeight);
    return form;
  }

  std::vector<std::string> boxes;
};

// A window control that fills itself with one colour and records what reaches it.
class TTestPanel : public TCustomControl {
  TW_CLASS(TTestPanel, TCustomControl)
 public:
  explicit TTestPanel(TComponent* owner, TColor fill = clRed) : TCustomControl(owner), fill_(fill) {
    SetBounds(0, 0, 40, 30);
  }
  int paints = 0;
  TColor fill_;
  std::vector<std::string> log;
  void SetWantsTab(bool v) { wantsTab_ = v; }

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Brush()->SetColor(fill_);
    Canvas()->FillRect(ClientRect());
  }
  void WndProc(TMessage& msg) override {
    if (msg.Msg == WM_GETDLGCODE && wantsTab_) {
      msg.Result = DLGC_WANTTAB;
      return;
    }
    TCustomControl::WndProc(msg);
  }

 private:
  bool wantsTab_ = false;
};

// A windowless control that paints a rectangle of one colour.
class TTestShape : public TGraphicControl {
  TW_CLASS(TTestShape, TGraphicControl)
 public:
  explicit TTestShape(TComponent* owner, TColor fill = clBlue) : TGraphicControl(owner), fill_(fill) {
    SetBounds(0, 0, 20, 20);
  }
  int paints = 0;
  TColor fill_;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Brush()->SetColor(fill_);
    Canvas()->FillRect(ClientRect());
  }
};

// 0xRRGGBB of a pixel of a window's client area.
inline std::uint32_t PixelRGB(HWND hwnd, int x, int y) { return GetWindowPixel(hwnd, x, y) & 0xFFFFFF; }
inline std::uint32_t ToRGB(TColor c) {
  TColor rgb = ColorToRGB(c);
  return static_cast<std::uint32_t>((GetRValue(rgb) << 16) | (GetGValue(rgb) << 8) | GetBValue(rgb));
}

}  // namespace tw::test
