// Windows: creation and destruction, stale handles, procedure replacement, hooks, relations
// and z-order, text, styles and extra bytes.
#include <cstring>
#include <string>

#include "platform/win/tests/winfixture.h"

namespace tw::wintest {
namespace {

using WindowTest = WinTest;

TEST_F(WindowTest, StaleAndUnknownHandlesFailCleanly) {
  HWND a = Top();
  HWND child = Child(a, 0, 0, 10, 10);
  DestroyWindow(a);
  for (HWND h : {a, child, HWND{0}, HWND{0xDEAD}}) {
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessage(h == 0 ? 0xDEAD : h, WM_USER, 0, 0));
    EXPECT_FALSE(DestroyWindow(h));
    EXPECT_FALSE(ShowWindow(h, SW_SHOW));
    EXPECT_FALSE(SetWindowPos(h, 0, 0, 0, 1, 1, 0));
    RECT r{1, 2, 3, 4};
    EXPECT_FALSE(GetWindowRect(h, &r));
    EXPECT_FALSE(GetClientRect(h, &r));
    EXPECT_FALSE(InvalidateRect(h, nullptr, true));
    EXPECT_EQ(GetDC(h == 0 ? 0xDEAD : h), 0u);
    EXPECT_EQ(SetFocus(h), 0u);
    EXPECT_EQ(SetCapture(h), 0u);
    EXPECT_EQ(SetTimer(h == 0 ? 0xDEAD : h, 1, 10, nullptr), 0u);
    EXPECT_EQ(GetWindowLongPtr(h, GWL_STYLE), 0);
    EXPECT_EQ(SetWindowLongPtr(h, GWLP_USERDATA, 5), 0);
    EXPECT_EQ(GetParent(h), 0u);
    EXPECT_EQ(GetWindow(h, GW_CHILD), 0u);
    EXPECT_EQ(GetWindowTextString(h), "");
    EXPECT_FALSE(CreateCaret(h, 0, 1, 10));
    EXPECT_EQ(GetWindowPixel(h, 0, 0), 0u);
  }
  // A window whose handle number would come round again is never confused with a new one.
  HWND b = Top();
  EXPECT_NE(b, a);
  EXPECT_NE(b, child);
}

TEST_F(WindowTest, CreationSendsItsMessagesInOrderAndCanBeRefused) {
  HWND a = Top();
  EXPECT_EQ(Sequence(a, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}),
            (std::vector<UINT>{WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
  auto creates = Of(WM_CREATE);
  ASSERT_EQ(creates.size(), 1u);
  handler = [](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m == WM_CREATE) {
      r = -1;
      return true;
    }
    return false;
  };
  log.clear();
  EXPECT_EQ(Top(), 0u);
  EXPECT_EQ(Of(WM_DESTROY).size(), 1u);
  EXPECT_EQ(CreateWindowEx(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, nullptr), 0u);
  EXPECT_EQ(CreateWindowEx(0, "TestWindow", "", WS_CHILD, 0, 0, 1, 1, 0xDEAD, 0, 0, nullptr), 0u);
}

TEST_F(WindowTest, DestroyGoesParentFirstThenFinalisesChildrenFirst) {
  HWND a = Top();
  HWND b = Child(a, 0, 0, 10, 10);
  HWND c = Child(b, 0, 0, 5, 5);
  HWND owned = CreateWindowEx(0, "TestWindow", "owned", WS_POPUP, 0, 0, 10, 10, a, 0, 0, nullptr);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), a);
  log.clear();
  handler = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m == WM_DESTROY) {
      EXPECT_TRUE(IsWindow(h));  // still usable while it is told
    }
    return false;
  };
  EXPECT_TRUE(DestroyWindow(a));
  std::vector<std::pair<HWND, UINT>> order;
  for (const auto& r : log)
    if (r.msg == WM_DESTROY || r.msg == WM_NCDESTROY) order.emplace_back(r.hwnd, r.msg);
  std::vector<std::pair<HWND, UINT>> expected{{owned, WM_DESTROY}, {owned, WM_NCDESTROY},
                                              {a, WM_DESTROY},     {b, WM_DESTROY},
                                              {c, WM_DESTROY},     {c, WM_NCDESTROY},
                                              {b, WM_NCDESTROY},   {a, WM_NCDESTROY}};
  EXPECT_EQ(order, expected);
  for (HWND h : {a, b, c, owned}) EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowTest, WindowDestroyingItselfInsideItsOwnHandler) {
  HWND a = Top();
  handler = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m == WM_USER) {
      DestroyWindow(h);
      return true;
    }
    return false;
  };
  PostMessage(a, WM_USER, 0, 0);
  PostMessage(a, WM_USER + 1, 0, 0);  // dropped: the window is gone by then
  ProcessMessages();
  EXPECT_FALSE(IsWindow(a));
  EXPECT_TRUE(Of(WM_USER + 1).empty());
}

TEST_F(WindowTest, ReplacedProcedureSeesMessagesFirstAndChainsToTheSavedOne) {
  HWND a = Top();
  std::vector<std::string> seen;
  WNDPROC saved = GetWindowProc(a);
  WNDPROC hook = MakeObjectInstance([&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_USER) seen.push_back("hook");
    if (m == WM_USER + 1) return 99;  // swallowed
    if (m == WM_DESTROY) {
      // Take the hook out when the window goes, as attached controls do.
      SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
    }
    return CallWindowProc(saved, h, m, w, l);
  });
  EXPECT_EQ(SetWindowLongPtr(a, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook)), reinterpret_cast<LONG_PTR>(saved));
  EXPECT_EQ(GetWindowProc(a), hook);
  handler = [&](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m == WM_USER) {
      seen.push_back("window");
      r = 7;
      return true;
    }
    return false;
  };
  EXPECT_EQ(SendMessage(a, WM_USER, 0, 0), 7);
  EXPECT_EQ(seen, (std::vector<std::string>{"hook", "window"}));
  log.clear();
  EXPECT_EQ(SendMessage(a, WM_USER + 1, 0, 0), 99);
  EXPECT_TRUE(log.empty());
  // A second hook on top of the first one chains through both.
  WNDPROC second = MakeObjectInstance([&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_USER) seen.push_back("second");
    return CallWindowProc(hook, h, m, w, l);
  });
  SetWindowLongPtr(a, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(second));
  seen.clear();
  SendMessage(a, WM_USER, 0, 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"second", "hook", "window"}));
  SetWindowLongPtr(a, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook));
  FreeObjectInstance(second);
  EXPECT_EQ(CallWindowProc(second, a, WM_USER, 0, 0), 0);  // a freed instance does nothing
  DestroyWindow(a);
  EXPECT_EQ(Of(WM_DESTROY).size(), 1u);
  FreeObjectInstance(hook);
}

TEST_F(WindowTest, HooksSeeMessagesAndChain) {
  HWND a = Top();
  ProcessMessages();
  std::vector<UINT> got, calls;
  HHOOK first = 0, second = 0;
  first = SetWindowsHookEx(WH_GETMESSAGE, [&](int code, WPARAM w, LPARAM l) -> LRESULT {
    got.push_back(reinterpret_cast<MSG*>(l)->message);
    return CallNextHookEx(first, code, w, l);
  });
  second = SetWindowsHookEx(WH_CALLWNDPROC, [&](int code, WPARAM w, LPARAM l) -> LRESULT {
    calls.push_back(reinterpret_cast<CWPSTRUCT*>(l)->message);
    return CallNextHookEx(second, code, w, l);
  });
  PostMessage(a, WM_USER, 0, 0);
  ProcessMessages();
  SendMessage(a, WM_USER + 5, 0, 0);
  EXPECT_EQ(got, std::vector<UINT>{WM_USER});
  EXPECT_NE(std::find(calls.begin(), calls.end(), WM_USER + 5), calls.end());
  EXPECT_TRUE(UnhookWindowsHookEx(first));
  EXPECT_FALSE(UnhookWindowsHookEx(first));
  PostMessage(a, WM_USER, 0, 0);
  ProcessMessages();
  EXPECT_EQ(got.size(), 1u);
  UnhookWindowsHookEx(second);

  // A keyboard hook that answers nonzero eats the key.
  HHOOK keys = SetWindowsHookEx(WH_KEYBOARD, [](int, WPARAM vk, LPARAM) -> LRESULT { return vk == 'Z'; });
  SetFocus(a);
  log.clear();
  InjectKey('Z');
  InjectKey('Y');
  ProcessMessages();
  ASSERT_EQ(Of(WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(Of(WM_KEYDOWN)[0].wParam, WPARAM{'Y'});
  UnhookWindowsHookEx(keys);

  // A CBT hook sees windows being made and may refuse them.
  int created = 0;
  HHOOK cbt = SetWindowsHookEx(WH_CBT, [&](int code, WPARAM, LPARAM l) -> LRESULT {
    if (code != HCBT_CREATEWND) return 0;
    ++created;
    auto* cs = reinterpret_cast<CBT_CREATEWND*>(l)->lpcs;
    return cs->lpszName && std::strcmp(cs->lpszName, "refused") == 0;
  });
  EXPECT_NE(Top(), 0u);
  EXPECT_EQ(CreateWindowEx(0, "TestWindow", "refused", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, nullptr), 0u);
  EXPECT_EQ(created, 2);
  UnhookWindowsHookEx(cbt);
}

TEST_F(WindowTest, RelationsZOrderAndEnumeration) {
  HWND a = Top(0, 0, 10, 10), b = Top(20, 0, 10, 10);
  HWND c1 = Child(a, 0, 0, 5, 5, WS_CHILD | WS_VISIBLE, 11);
  HWND c2 = Child(a, 5, 0, 5, 5, WS_CHILD | WS_VISIBLE, 12);
  HWND hidden = CreateWindowEx(0, "TestWindow", "hidden", WS_POPUP, 0, 0, 1, 1, HWND_MESSAGE, 0, 0, nullptr);
  ASSERT_NE(hidden, 0u);
  EXPECT_EQ(GetParent(c1), a);
  EXPECT_TRUE(IsChild(a, c2));
  EXPECT_FALSE(IsChild(b, c2));
  EXPECT_EQ(GetWindowLongPtr(c2, GWL_ID), 12);
  // Children keep creation order (tab order) from the top of the z-order.
  EXPECT_EQ(GetWindow(a, GW_CHILD), c1);
  EXPECT_EQ(GetWindow(c1, GW_HWNDNEXT), c2);
  EXPECT_EQ(GetWindow(c2, GW_HWNDNEXT), 0u);
  SetWindowPos(c2, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(a, GW_CHILD), c2);
  // Top-level windows: the last shown is on top; message-only windows are not enumerated.
  std::vector<HWND> tops;
  EnumWindows([](HWND h, LPARAM p) {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return true;
  }, reinterpret_cast<LPARAM>(&tops));
  EXPECT_EQ(tops, (std::vector<HWND>{b, a}));
  BringWindowToTop(a);
  EXPECT_EQ(GetTopWindow(0), a);
  EXPECT_EQ(FindWindow("testwindow", "hidden"), 0u);
  EXPECT_EQ(FindWindow("TESTWINDOW", "top"), a);
  EXPECT_TRUE(IsWindow(hidden));
  // Reparenting moves a child between parents.
  EXPECT_EQ(SetParent(c1, b), a);
  EXPECT_TRUE(IsChild(b, c1));
  EXPECT_FALSE(IsChild(a, c1));
  EXPECT_EQ(SetParent(a, c2), 0u);  // a window cannot go inside its own child
}

TEST_F(WindowTest, TextStylesAndExtraBytes) {
  WNDCLASS wc;
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "Extra";
  wc.cbWndExtra = 16;
  ASSERT_NE(RegisterClass(wc), 0);
  EXPECT_EQ(RegisterClass(wc), 0);  // once only
  HWND e = CreateWindowEx(WS_EX_TOOLWINDOW, "Extra", "Gr\xFC\xDF" "e", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
  ASSERT_NE(e, 0u);
  EXPECT_EQ(GetWindowTextString(e), "Gr\xFC\xDF" "e");
  SetWindowText(e, "Caf\xE9");
  EXPECT_EQ(GetWindowTextLength(e), 4);
  char small[3];
  EXPECT_EQ(GetWindowText(e, small, 3), 2);
  EXPECT_STREQ(small, "Ca");
  EXPECT_EQ(GetWindowLongPtr(e, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, static_cast<LONG_PTR>(WS_EX_TOOLWINDOW));
  SetWindowLongPtr(e, 8, 0x1234);
  EXPECT_EQ(GetWindowLongPtr(e, 8), 0x1234);
  EXPECT_EQ(GetWindowLongPtr(e, 1000), 0);  // beyond the extra bytes
  SetWindowLongPtr(e, GWLP_USERDATA, 77);
  EXPECT_EQ(GetWindowLongPtr(e, GWLP_USERDATA), 77);
  char name[32];
  EXPECT_EQ(GetClassName(e, name, 32), 5);
  EXPECT_STREQ(name, "Extra");
  EXPECT_FALSE(UnregisterClass("Extra", 0));  // still in use
  DestroyWindow(e);
  EXPECT_TRUE(UnregisterClass("Extra", 0));
}

TEST_F(WindowTest, WindowOfClassComparesWholeNamesWithoutCase) {
  // Two names longer than a short buffer and alike in their first 32 characters.
  const std::string longA = "TidewellTestWindowClassWithALongName_A";
  const std::string longB = "TidewellTestWindowClassWithALongName_B";
  for (const std::string* name : {&longA, &longB}) {
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = name->c_str();
    ASSERT_NE(RegisterClass(wc), 0);
  }
  HWND a = CreateWindowEx(0, longA.c_str(), "", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
  ASSERT_NE(a, 0u);
  EXPECT_TRUE(IsWindowOfClass(a, longA));
  EXPECT_TRUE(IsWindowOfClass(a, "tidewelltestwindowclasswithalongname_a"));
  EXPECT_FALSE(IsWindowOfClass(a, longB));
  EXPECT_FALSE(IsWindowOfClass(a, longA.substr(0, 31)));
  EXPECT_FALSE(IsWindowOfClass(0, longA));
  DestroyWindow(a);
  EXPECT_FALSE(IsWindowOfClass(a, longA));  // a stale handle is no window of any class
}

TEST_F(WindowTest, ShowHideMinimiseAndSizeMessages) {
  HWND a = Top(0, 0, 100, 100, WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(IsWindowVisible(a));
  HWND c = Child(a, 0, 0, 10, 10);
  EXPECT_FALSE(IsWindowVisible(c));  // its parent is hidden
  ShowWindow(a, SW_SHOWNORMAL);
  EXPECT_TRUE(IsWindowVisible(c));
  log.clear();
  SetWindowPos(a, 0, 10, 20, 300, 200, SWP_NOZORDER);
  auto sizes = Of(WM_SIZE);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(LOWORD(static_cast<std::uintptr_t>(sizes[0].lParam)), 300 - 8);
  EXPECT_EQ(Of(WM_WINDOWPOSCHANGED).size(), 1u);
  log.clear();
  SetWindowPos(a, 0, 10, 20, 300, 200, SWP_NOZORDER);  // nothing changes: no WM_SIZE
  EXPECT_TRUE(Of(WM_SIZE).empty());
  ShowWindow(a, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(a));
  ShowWindow(a, SW_RESTORE);
  EXPECT_FALSE(IsIconic(a));
  ShowWindow(a, SW_MAXIMIZE);
  EXPECT_TRUE(IsZoomed(a));
  RECT r;
  GetWindowRect(a, &r);
  EXPECT_EQ(r.Width(), GetSystemMetrics(SM_CXSCREEN));
  ShowWindow(a, SW_RESTORE);
  GetWindowRect(a, &r);
  EXPECT_EQ(r, Bounds(10, 20, 300, 200));
}

TEST_F(WindowTest, PlacementKeepsTheNormalRectangleOfAMaximisedWindow) {
  HWND a = Top(30, 40, 200, 100, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ShowWindow(a, SW_MAXIMIZE);
  WINDOWPLACEMENT wp;
  ASSERT_TRUE(GetWindowPlacement(a, &wp));
  EXPECT_EQ(wp.showCmd, UINT{SW_SHOWMAXIMIZED});
  EXPECT_EQ(wp.rcNormalPosition, Bounds(30, 40, 200, 100));
  // Restored elsewhere: a second window takes the stored placement.
  HWND b = Top(0, 0, 10, 10, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ASSERT_TRUE(SetWindowPlacement(b, &wp));
  EXPECT_TRUE(IsZoomed(b));
  ShowWindow(b, SW_RESTORE);
  RECT r;
  GetWindowRect(b, &r);
  EXPECT_EQ(r, Bounds(30, 40, 200, 100));
  EXPECT_FALSE(GetWindowPlacement(0xDEAD, &wp));
}

TEST_F(WindowTest, MappingPointsBetweenWindows) {
  HWND a = Top(100, 50, 200, 200);
  HWND b = Child(a, 10, 20, 50, 50);
  POINT p{1, 2};
  MapWindowPoints(b, 0, &p, 1);
  EXPECT_EQ(p, Point(111, 72));
  MapWindowPoints(0, b, &p, 1);
  EXPECT_EQ(p, Point(1, 2));
  MapWindowPoints(b, a, &p, 1);
  EXPECT_EQ(p, Point(11, 22));
  EXPECT_EQ(ChildWindowFromPoint(a, Point(15, 25)), b);
  EXPECT_EQ(ChildWindowFromPoint(a, Point(5, 5)), a);
}

}  // namespace
}  // namespace tw::wintest
