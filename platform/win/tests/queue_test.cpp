// The message queue: order of posted and sent messages, re-entrant sends, filtered waits,
// nested loops, quitting, timers and other threads.
#include <atomic>
#include <thread>

#include <unistd.h>

#include "platform/win/tests/winfixture.h"

namespace tw::wintest {
namespace {

constexpr UINT kPing = WM_USER + 1;
constexpr UINT kPong = WM_USER + 2;
constexpr UINT kDone = WM_USER + 3;

using QueueTest = WinTest;

TEST_F(QueueTest, PostedMessageArrivesAfterTheSentOneHasReturned) {
  HWND a = Top();
  std::vector<std::string> order;
  handler = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m == kPing) {
      PostMessage(h, kPong, 0, 0);
      order.push_back("ping handled");
      r = 42;
      return true;
    }
    if (m == kPong) {
      order.push_back("pong");
      return true;
    }
    return false;
  };
  EXPECT_EQ(SendMessage(a, kPing, 0, 0), 42);
  order.push_back("send returned");
  ProcessMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"ping handled", "send returned", "pong"}));
}

TEST_F(QueueTest, PostedMessagesKeepTheirOrderAcrossWindows) {
  HWND a = Top(), b = Top(300, 100);
  for (int i = 0; i < 5; ++i) PostMessage(i % 2 ? a : b, kPing, static_cast<WPARAM>(i), 0);
  ProcessMessages();
  auto pings = Of(kPing);
  ASSERT_EQ(pings.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(pings[static_cast<std::size_t>(i)].wParam, static_cast<WPARAM>(i));
    EXPECT_EQ(pings[static_cast<std::size_t>(i)].hwnd, i % 2 ? a : b);
  }
}

TEST_F(QueueTest, SentMessageReentersAWindowThatIsWaitingForItsOwnMessages) {
  // The waiter pumps only its own messages; its own timer asks the other window, which answers
  // by sending straight back into the waiter while the wait is still on the stack.
  HWND waiter = Top(), other = Top(300, 100);
  ProcessMessages();
  int depth = 0;
  LRESULT depthSeenByReply = -1;
  bool replied = false;
  handler = [&](HWND h, UINT m, WPARAM w, LPARAM, LRESULT& r) {
    if (h == waiter && m == kPing) {
      ++depth;
      PostMessage(other, kPong, 0, 0);  // not the waiter's: stays queued during the wait
      SetTimer(waiter, 7, 50, nullptr);
      MSG msg;
      while (!replied && GetMessage(&msg, waiter, 0, 0)) DispatchMessage(&msg);
      KillTimer(waiter, 7);
      --depth;
      return true;
    }
    if (h == waiter && m == WM_TIMER && w == 7) {
      SendMessage(other, kPing, 0, 0);
      return true;
    }
    if (h == other && m == kPing) {
      depthSeenByReply = SendMessage(waiter, kDone, 0, 0);
      return true;
    }
    if (h == waiter && m == kDone) {
      r = depth;
      replied = true;
      return true;
    }
    return false;
  };
  PostMessage(waiter, kPing, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  ASSERT_EQ(msg.message, kPing);
  DispatchMessage(&msg);
  EXPECT_TRUE(replied);
  EXPECT_EQ(depthSeenByReply, 1);
  EXPECT_TRUE(Of(kPong).empty());  // the other window's posted message waited
  ProcessMessages();
  EXPECT_EQ(Of(kPong).size(), 1u);
}

TEST_F(QueueTest, FilteredWaitDeliversOnlyItsWindowsMessagesAndTimers) {
  HWND mine = Top(), other = Top(300, 100);
  HWND mineChild = Child(mine, 0, 0, 10, 10);
  ProcessMessages();  // first painting
  PostMessage(other, kPing, 1, 0);
  PostMessage(mine, kPing, 2, 0);
  PostMessage(mineChild, kPing, 4, 0);  // a child's messages come with its parent's
  PostMessage(0, kPing, 3, 0);  // a thread message
  SetTimer(other, 1, 100, nullptr);
  SetTimer(mine, 2, 100, nullptr);
  AdvanceTime(150);  // both timers are due
  std::vector<std::pair<HWND, UINT>> got;
  MSG m;
  while (PeekMessage(&m, mine, 0, 0, PM_REMOVE)) {
    got.emplace_back(m.hwnd, m.message);
    if (m.message == WM_TIMER) KillTimer(mine, 2);
  }
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], std::make_pair(mine, kPing));
  EXPECT_EQ(got[1], std::make_pair(mineChild, kPing));
  EXPECT_EQ(got.back(), std::make_pair(mine, UINT{WM_TIMER}));
  // The others are still waiting.
  ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, other);
  EXPECT_EQ(m.wParam, 1u);
  ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, 0u);
  EXPECT_EQ(m.wParam, 3u);
}

TEST_F(QueueTest, FilteredGetMessageWaitsForItsOwnTimerOnTheVirtualClock) {
  HWND mine = Top(), other = Top(300, 100);
  ProcessMessages();  // initial painting
  SetTimer(other, 1, 10, nullptr);
  SetTimer(mine, 5, 1000, nullptr);
  auto start = CurrentTimeMs();
  MSG m;
  ASSERT_TRUE(GetMessage(&m, mine, 0, 0));
  EXPECT_EQ(m.message, UINT{WM_TIMER});
  EXPECT_EQ(m.wParam, 5u);
  EXPECT_EQ(CurrentTimeMs() - start, 1000u);
}

TEST_F(QueueTest, FilteredWaitEndsWhenItsWindowIsDestroyed) {
  HWND mine = Top();
  ProcessMessages();
  SetTimer(mine, 1, 100, nullptr);
  handler = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m == WM_TIMER) DestroyWindow(h);
    return false;
  };
  MSG m;
  int rounds = 0;
  while (GetMessage(&m, mine, 0, 0) && ++rounds < 100) DispatchMessage(&m);
  EXPECT_EQ(rounds, 1);
  EXPECT_EQ(m.message, UINT{WM_NULL});
}

TEST_F(QueueTest, MessageRangeFilter) {
  HWND a = Top();
  ProcessMessages();
  PostMessage(a, WM_USER + 10, 0, 0);
  PostMessage(a, WM_USER + 20, 0, 0);
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, 0, WM_USER + 15, WM_USER + 25, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 20);
  ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_USER + 10);
  ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));  // still there after a look
  EXPECT_EQ(m.message, WM_USER + 10);
}

TEST_F(QueueTest, NestedModalLoopEndsByFlagAndQuitStaysForTheOuterLoop) {
  HWND a = Top();
  bool modalDone = false;
  int modalRuns = 0;
  handler = [&](HWND h, UINT m, WPARAM w, LPARAM, LRESULT&) {
    if (m == kPing) {
      ++modalRuns;
      SetTimer(h, 9, 200, nullptr);
      EXPECT_TRUE(RunModalLoop([&] { return modalDone; }));
      KillTimer(h, 9);
      PostQuitMessage(3);
      return true;
    }
    if (m == WM_TIMER && w == 9) {
      modalDone = true;
      return true;
    }
    return false;
  };
  PostMessage(a, kPing, 0, 0);
  EXPECT_EQ(RunMessageLoop(), 3);
  EXPECT_EQ(modalRuns, 1);
  EXPECT_TRUE(modalDone);
}

TEST_F(QueueTest, QuitInsideModalLoopEndsItAndReachesTheOuterLoop) {
  HWND a = Top();
  bool innerEnded = false;
  handler = [&](HWND, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m == kPing) {
      PostMessage(a, kPong, 0, 0);
      EXPECT_FALSE(RunModalLoop([] { return false; }));
      innerEnded = true;
      return true;
    }
    if (m == kPong) {
      PostQuitMessage(7);
      return true;
    }
    return false;
  };
  PostMessage(a, kPing, 0, 0);
  EXPECT_EQ(RunMessageLoop(), 7);
  EXPECT_TRUE(innerEnded);
}

TEST_F(QueueTest, TimersFireThroughTheQueueAndCoalesce) {
  HWND a = Top();
  ProcessMessages();
  SetTimer(a, 1, 100, nullptr);
  AdvanceTime(99);
  ProcessMessages();
  EXPECT_TRUE(Of(WM_TIMER).empty());
  AdvanceTime(1000);  // ten intervals pass: one WM_TIMER
  ProcessMessages();
  EXPECT_EQ(Of(WM_TIMER).size(), 1u);
  EXPECT_TRUE(FireTimer(a, 1));
  ProcessMessages();
  EXPECT_EQ(Of(WM_TIMER).size(), 2u);
  EXPECT_TRUE(KillTimer(a, 1));
  EXPECT_FALSE(KillTimer(a, 1));
  EXPECT_FALSE(FireTimer(a, 1));
  AdvanceTime(1000);
  ProcessMessages();
  EXPECT_EQ(Of(WM_TIMER).size(), 2u);
}

int timerProcCalls = 0;
void CountingTimerProc(HWND, UINT, UINT_PTR, DWORD) { ++timerProcCalls; }

TEST_F(QueueTest, TimerProcedureAndThreadTimers) {
  HWND a = Top();
  ProcessMessages();
  timerProcCalls = 0;
  SetTimer(a, 3, 50, CountingTimerProc);
  UINT_PTR thread = SetTimer(0, 0, 50, CountingTimerProc);
  EXPECT_NE(thread, 0u);
  AdvanceTime(60);
  ProcessMessages();
  EXPECT_EQ(timerProcCalls, 2);
  EXPECT_TRUE(Of(WM_TIMER).empty());  // the procedure, not the window, got them
  KillTimer(0, thread);
  KillTimer(a, 3);
}

TEST_F(QueueTest, TimersDieWithTheirWindowAndPostsToDeadWindowsAreDropped) {
  HWND a = Top();
  SetTimer(a, 1, 10, nullptr);
  PostMessage(a, kPing, 0, 0);
  DestroyWindow(a);
  EXPECT_FALSE(PostMessage(a, kPing, 0, 0));
  AdvanceTime(100);
  MSG m;
  EXPECT_FALSE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, PostFromAnotherThreadWakesTheWaitingLoop) {
  HWND a = Top();
  ProcessMessages();
  std::thread poster([a] {
    for (int i = 0; i < 100; ++i) PostMessage(a, kPing, static_cast<WPARAM>(i), 0);
    PostMessage(a, kDone, 0, 0);
  });
  MSG m;
  int pings = 0;
  WPARAM last = 0;
  bool ordered = true;
  while (GetMessage(&m, 0, 0, 0)) {
    if (m.message == kPing) {
      if (pings > 0 && m.wParam != last + 1) ordered = false;
      last = m.wParam;
      ++pings;
    }
    if (m.message == kDone) break;
  }
  poster.join();
  EXPECT_EQ(pings, 100);
  EXPECT_TRUE(ordered);
}

TEST_F(QueueTest, SendFromAnotherThreadRunsOnTheWindowsThread) {
  HWND a = Top();
  ProcessMessages();
  std::thread::id ranOn;
  handler = [&](HWND, UINT m, WPARAM w, LPARAM, LRESULT& r) {
    if (m == kPing) {
      ranOn = std::this_thread::get_id();
      r = static_cast<LRESULT>(w * 2);
      PostMessage(a, kDone, 0, 0);
      return true;
    }
    return false;
  };
  LRESULT answer = 0;
  std::thread sender([&] { answer = SendMessage(a, kPing, 21, 0); });
  MSG m;
  while (GetMessage(&m, 0, 0, 0) && m.message != kDone) DispatchMessage(&m);
  sender.join();
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(QueueTest, AWindowBelongsToTheThreadThatTakesTheMessages) {
  HWND a = Top();
  ProcessMessages();
  const DWORD own = GetCurrentThreadId();
  EXPECT_EQ(GetWindowThreadProcessId(a, nullptr), own);
  DWORD process = 0;
  GetWindowThreadProcessId(a, &process);
  EXPECT_EQ(process, static_cast<DWORD>(getpid()));
  DWORD seenElsewhere = 0, ownElsewhere = 0, goneElsewhere = 1;
  std::thread other([&] {
    seenElsewhere = GetWindowThreadProcessId(a, nullptr);
    ownElsewhere = GetCurrentThreadId();
    goneElsewhere = GetWindowThreadProcessId(0xDEAD, nullptr);
  });
  other.join();
  EXPECT_EQ(seenElsewhere, own) << "a window belongs to the windows' thread, whoever asks";
  EXPECT_NE(ownElsewhere, own);
  EXPECT_EQ(goneElsewhere, 0u);
  DestroyWindow(a);
  EXPECT_EQ(GetWindowThreadProcessId(a, nullptr), 0u);
}

TEST_F(QueueTest, HiddenPartnersFindEachOtherByProbingAndTalkBySending) {
  // Two hidden top-level windows in the way the in-process database transport uses them: the
  // caller probes every top-level window, the listener answers and takes records synchronously.
  constexpr UINT kProbe = 0x13F6, kRecord = 0x13F5;
  constexpr LRESULT kListening = 0x4646;
  HWND visible = Top();
  HWND listener = CreateWindowEx(0, "TestWindow", "", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, nullptr);
  HWND caller = CreateWindowEx(0, "TestWindow", "", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, nullptr);
  std::vector<int> received;
  handler = [&](HWND h, UINT m, WPARAM, LPARAM l, LRESULT& r) {
    if (h == listener && m == kProbe) {
      r = kListening;
      return true;
    }
    if (h == listener && m == kRecord) {
      received.push_back(*reinterpret_cast<const int*>(l));  // the sender's memory, valid during the send
      return true;
    }
    return false;
  };
  struct Search {
    HWND caller;
    HWND found = 0;
    int probed = 0;
  } search{caller};
  EnumWindows([](HWND h, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    ++s->probed;
    if (SendMessage(h, kProbe, 0, static_cast<LPARAM>(s->caller)) == kListening) {
      s->found = h;
      return false;
    }
    return true;
  }, reinterpret_cast<LPARAM>(&search));
  EXPECT_EQ(search.found, listener);
  EXPECT_GE(search.probed, 2);  // the others answered 0 through the default handling
  for (int value : {1, 2, 3}) SendMessage(listener, kRecord, static_cast<WPARAM>(caller), reinterpret_cast<LPARAM>(&value));
  EXPECT_EQ(received, (std::vector<int>{1, 2, 3}));
  DestroyWindow(listener);
  EXPECT_FALSE(IsWindow(listener));  // the caller sees its partner gone
  (void)visible;
}

TEST_F(QueueTest, RegisteredMessagesShareNumbersByNameIgnoringCase) {
  UINT a = RegisterWindowMessage("Tidewell.Activate");
  EXPECT_GE(a, 0xC000u);
  EXPECT_EQ(RegisterWindowMessage("TIDEWELL.ACTIVATE"), a);
  EXPECT_NE(RegisterWindowMessage("Other"), a);
  EXPECT_EQ(RegisterWindowMessage(""), 0u);
  EXPECT_EQ(RegisterWindowMessage(nullptr), 0u);
}

}  // namespace
}  // namespace tw::wintest
