// Shared set-up of the window-system tests: a clean offscreen window system per test, a window
// class whose procedure each test supplies, and a log of the messages windows received.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/display.h"
#include "platform/win/winapi.h"

namespace tw::wintest {

struct Received {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

class WinTest : public ::testing::Test {
 protected:
  using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;

  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    proc_ = MakeObjectInstance([this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      log.push_back({h, m, w, l});
      if (handler) {
        LRESULT r = 0;
        if (handler(h, m, w, l, r)) return r;
      }
      return DefWindowProc(h, m, w, l);
    });
    WNDCLASS wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc_;
    wc.lpszClassName = "TestWindow";
    wc.hbrBackground = COLOR_WINDOW + 1;
    wc.hCursor = IDC_ARROW;
    ASSERT_NE(RegisterClass(wc), 0);
  }

  void TearDown() override {
    handler = nullptr;  // it may refer to the finished test's locals
    ResetWindowSystem();
    FreeObjectInstance(proc_);
  }

  HWND Top(int x = 100, int y = 100, int w = 200, int h = 150, DWORD style = WS_POPUP | WS_VISIBLE) {
    return CreateWindowEx(0, "TestWindow", "top", style, x, y, w, h, 0, 0, 0, nullptr);
  }
  HWND Child(HWND parent, int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE, int id = 0) {
    return CreateWindowEx(0, "TestWindow", "child", style, x, y, w, h, parent,
                          static_cast<HMENU>(id), 0, nullptr);
  }

  // Messages of one kind, in arrival order.
  std::vector<Received> Of(UINT msg) const {
    std::vector<Received> out;
    for (const auto& r : log)
      if (r.msg == msg) out.push_back(r);
    return out;
  }
  std::vector<UINT> Sequence(HWND hwnd, std::initializer_list<UINT> interesting) const {
    std::vector<UINT> out;
    for (const auto& r : log)
      if (r.hwnd == hwnd && std::find(interesting.begin(), interesting.end(), r.msg) != interesting.end())
        out.push_back(r.msg);
    return out;
  }

  std::vector<Received> log;
  Handler handler;

 private:
  WNDPROC proc_ = nullptr;
};

}  // namespace tw::wintest
