// The message queue: posted messages in order, sent messages as direct (re-entrant) calls,
// messages sent from other threads, filtered retrieval with WM_PAINT and WM_TIMER generated on
// demand, window timers, waiting on the display and the wake-up channel, and the loops built
// on them.
#include <algorithm>
#include <limits>

#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

bool InRange(UINT msg, UINT lo, UINT hi) {
  if (lo == 0 && hi == 0) return true;
  if (hi < lo) return msg >= lo || msg <= hi;  // the window system accepts reversed ranges
  return msg >= lo && msg <= hi;
}

// A window filter takes the window's own messages and those of its children; -1 asks for
// thread messages only (MSG.hwnd 0).  Runs on the windows' thread only.
bool WindowMatches(HWND msgHwnd, HWND filter) {
  if (filter == 0) return true;
  if (filter == static_cast<HWND>(-1)) return msgHwnd == 0;
  return msgHwnd == filter || (msgHwnd != 0 && IsChild(filter, msgHwnd));
}

DWORD PackPos(POINT p) {
  return static_cast<DWORD>(MAKELPARAM(static_cast<unsigned>(p.X), static_cast<unsigned>(p.Y)));
}

// Handles messages that other threads sent; they run inside any retrieval or wait.
void ServeIncomingSends() {
  State& s = S();
  // Most retrievals find nothing sent from elsewhere: that is seen without taking the lock.
  if (!s.hasIncomingSends.load(std::memory_order_acquire)) return;
  for (;;) {
    std::shared_ptr<CrossThreadSend> send;
    {
      std::lock_guard<std::mutex> lock(s.queueLock);
      if (s.incomingSends.empty()) {
        s.hasIncomingSends.store(false, std::memory_order_relaxed);
        return;
      }
      send = s.incomingSends.front();
      s.incomingSends.pop_front();
    }
    LRESULT r = 0;
    try {
      r = CallProc(send->hwnd, send->msg, send->wParam, send->lParam);
    } catch (...) {
      send->result.set_exception(std::current_exception());
      continue;
    }
    send->result.set_value(r);
  }
}

Timer* NextDueTimer(HWND filter, std::uint64_t now) {
  Timer* best = nullptr;
  for (Timer& t : S().timers) {
    if (filter != 0 && !WindowMatches(t.hwnd, filter)) continue;
    if (t.due > now) continue;
    if (!best || t.due < best->due) best = &t;
  }
  return best;
}

// Milliseconds until something for `filter` falls due (timer or caret blink); -1 for never.
int WaitTimeout(HWND filter) {
  State& s = S();
  std::uint64_t now = Now();
  std::uint64_t next = std::numeric_limits<std::uint64_t>::max();
  for (const Timer& t : s.timers)
    if (filter == 0 || WindowMatches(t.hwnd, filter)) next = std::min(next, t.due);
  if (std::uint64_t c = CaretNextDue()) next = std::min(next, c);
  if (next == std::numeric_limits<std::uint64_t>::max()) return -1;
  if (next <= now) return 0;
  return static_cast<int>(std::min<std::uint64_t>(next - now, 1u << 30));
}

// Waits for anything that could satisfy a retrieval with `filter`.
void WaitForInput(HWND filter) {
  Display().Flush();
  Display().Wait(WaitTimeout(filter), S().wakeFd);
}

}  // namespace

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  State& s = S();
  if (HasHook(WH_CALLWNDPROC)) {
    CWPSTRUCT cwp{lParam, wParam, msg, hwnd};
    CallHooks(WH_CALLWNDPROC, HC_ACTION, s.sendDepth > 0 ? 1 : 0, reinterpret_cast<LPARAM>(&cwp), nullptr);
    w = Find(hwnd);
    if (!w) return 0;
  }
  WNDPROC proc = w->proc;
  ++s.sendDepth;
  LRESULT r;
  try {
    r = CallWindowProc(proc, hwnd, msg, wParam, lParam);
  } catch (...) {
    --s.sendDepth;
    throw;
  }
  --s.sendDepth;
  if (HasHook(WH_CALLWNDPROCRET)) {
    CWPRETSTRUCT ret{r, lParam, wParam, msg, hwnd};
    CallHooks(WH_CALLWNDPROCRET, HC_ACTION, 0, reinterpret_cast<LPARAM>(&ret), nullptr);
  }
  return r;
}

bool KeyInputWaiting() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.queueLock);
  return std::any_of(s.posted.begin(), s.posted.end(), [](const MSG& m) {
    return m.keyState && m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST;
  });
}

void DropMessagesFor(HWND hwnd) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.queueLock);
  std::erase_if(s.posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
}

void KillTimersOf(HWND hwnd) {
  std::erase_if(S().timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
}

}  // namespace tw::win

namespace tw {

using namespace win;

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  State& s = S();
  if (!OnUiThread()) {
    auto send = std::make_shared<CrossThreadSend>();
    send->hwnd = hwnd;
    send->msg = msg;
    send->wParam = wParam;
    send->lParam = lParam;
    std::future<LRESULT> result = send->result.get_future();
    {
      std::lock_guard<std::mutex> lock(s.queueLock);
      if (!s.liveHandles.count(hwnd)) return 0;
      s.incomingSends.push_back(send);
      s.hasIncomingSends.store(true, std::memory_order_release);
    }
    Wake();
    return result.get();
  }
  return CallProc(hwnd, msg, wParam, lParam);
}

bool InSendMessage() { return S().sendDepth > 0; }

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  State& s = S();
  MSG m;
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  // The windows' own thread asks its window table (which remembers the windows used lately);
  // other threads ask the set of live handles, under the queue's lock.
  const bool windowsThread = s.uiThreadSet.load() && s.uiThread == std::this_thread::get_id();
  if (windowsThread && hwnd != 0 && !Find(hwnd)) return false;
  {
    std::lock_guard<std::mutex> lock(s.queueLock);
    if (!windowsThread && hwnd != 0 && !s.liveHandles.count(hwnd)) return false;
    s.posted.push_back(m);
  }
  if (!OnUiThread()) Wake();
  return true;
}

bool PostThreadMessage(DWORD, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PostMessage(0, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  State& s = S();
  {
    std::lock_guard<std::mutex> lock(s.queueLock);
    s.quitPending = true;
    s.quitCode = exitCode;
  }
  if (!OnUiThread()) Wake();
}

bool PeekMessage(MSG* out, HWND hwnd, UINT lo, UINT hi, UINT removeFlags) {
  NoteUiThread();
  if (!OnUiThread()) return false;
  State& s = S();
  Display().PollEvents();
  ServeIncomingSends();
  CaretService();
  bool remove = (removeFlags & PM_REMOVE) != 0;
  // The clock is read only when something is taken or timers are due to be looked at.
  std::uint64_t now = 0;
  bool haveNow = false;
  auto nowMs = [&] {
    if (!haveNow) {
      now = Now();
      haveNow = true;
    }
    return now;
  };
  MSG m;
  bool found = false;

  // Posted messages, in order; those of destroyed windows are dropped on the way.
  {
    std::lock_guard<std::mutex> lock(s.queueLock);
    for (auto it = s.posted.begin(); it != s.posted.end();) {
      // The windows' own thread: the window table knows the same windows as the live set.
      if (it->hwnd != 0 && !Find(it->hwnd)) {
        it = s.posted.erase(it);
        continue;
      }
      if (WindowMatches(it->hwnd, hwnd) && InRange(it->message, lo, hi)) {
        m = *it;
        if (remove) {
          if (it == s.posted.begin()) s.posted.pop_front();  // the usual case, and the cheap one
          else s.posted.erase(it);
        }
        found = true;
        break;
      }
      ++it;
    }
    if (!found && s.quitPending && hwnd == 0 && InRange(WM_QUIT, lo, hi)) {
      m = MSG{};
      m.message = WM_QUIT;
      m.wParam = static_cast<WPARAM>(s.quitCode);
      if (remove) s.quitPending = false;
      found = true;
    }
  }

  // Painting: non-client parts are painted on the spot, client parts come as WM_PAINT.
  if (!found && InRange(WM_PAINT, lo, hi) && hwnd != static_cast<HWND>(-1)) {
    for (int guard = 0; guard < 100000; ++guard) {
      HWND p = FindPaintWindow(hwnd);
      if (!p) break;
      Window* w = Find(p);
      if (IsRectEmpty(w->update) && !w->internalPaint) {
        w->ncDirty = false;
        CaretHideForPaint(p);
        SendMessage(p, WM_NCPAINT, 1, 0);
        CaretRestoreAfterPaint(p);
        continue;
      }
      m = MSG{};
      m.hwnd = p;
      m.message = WM_PAINT;
      found = true;
      break;
    }
  }

  // Timers that have fallen due.
  if (!found && InRange(WM_TIMER, lo, hi) && !s.timers.empty()) {
    if (Timer* t = NextDueTimer(hwnd, nowMs())) {
      m = MSG{};
      m.hwnd = t->hwnd;
      m.message = WM_TIMER;
      m.wParam = t->id;
      m.lParam = reinterpret_cast<LPARAM>(t->proc);
      if (remove) t->due = nowMs() + t->interval;
      found = true;
    }
  }

  if (!found) return false;
  if (m.time == 0) m.time = static_cast<DWORD>(nowMs());
  if (m.pt == POINT{}) m.pt = s.cursorPos;
  if (remove) {
    s.lastMessageTime = m.time;
    s.lastMessagePos = PackPos(m.pt);
    // An input message brings the key state of its moment: the handler reads the keys as they
    // were when its key or click came, not as they are by now.
    if (m.keyState) std::copy(m.keyState->begin(), m.keyState->end(), std::begin(s.messageKeys));
  }
  if (HasHook(WH_GETMESSAGE)) {
    CallHooks(WH_GETMESSAGE, HC_ACTION, remove ? PM_REMOVE : PM_NOREMOVE, reinterpret_cast<LPARAM>(&m), nullptr);
  }
  if (out) *out = m;
  return true;
}

bool GetMessage(MSG* out, HWND hwnd, UINT lo, UINT hi) {
  NoteUiThread();
  if (!OnUiThread()) return false;
  MSG m;
  while (!PeekMessage(&m, hwnd, lo, hi, PM_REMOVE)) {
    if (hwnd != 0 && hwnd != static_cast<HWND>(-1) && !Find(hwnd)) {
      // The window waited for is gone: nothing can come for it any more.
      m = MSG{};
      if (out) *out = m;
      return false;
    }
    WaitForInput(hwnd);
  }
  if (out) *out = m;
  return m.message != WM_QUIT;
}

bool WaitMessage() {
  NoteUiThread();
  if (!OnUiThread()) return false;
  if (PeekMessage(nullptr, 0, 0, 0, PM_NOREMOVE)) return true;
  WaitForInput(0);
  return true;
}

DWORD GetQueueStatus(UINT flags) {
  State& s = S();
  if (OnUiThread()) Display().PollEvents();
  UINT status = 0;
  {
    std::lock_guard<std::mutex> lock(s.queueLock);
    for (const MSG& m : s.posted) {
      if (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) status |= QS_KEY;
      else if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) status |= QS_MOUSEMOVE;
      else if ((m.message >= WM_LBUTTONDOWN && m.message <= WM_MOUSELAST) ||
               (m.message >= WM_NCLBUTTONDOWN && m.message <= WM_NCMBUTTONDBLCLK)) status |= QS_MOUSEBUTTON;
      else status |= QS_POSTMESSAGE;
    }
    if (!s.incomingSends.empty()) status |= QS_SENDMESSAGE;
    if (s.quitPending) status |= QS_POSTMESSAGE;
  }
  if (FindPaintWindow(0)) status |= QS_PAINT;
  if (NextDueTimer(0, Now())) status |= QS_TIMER;
  status &= flags;
  return (static_cast<DWORD>(status) << 16) | status;
}

bool GetInputState() { return (GetQueueStatus(QS_INPUT) & 0xFFFF) != 0; }

DWORD GetMessageTime() { return S().lastMessageTime; }
DWORD GetMessagePos() { return S().lastMessagePos; }

bool TranslateMessage(const MSG* msg) {
  if (!msg || msg->lPrivate == MSG::kTypesNothing) return false;
  UINT kind;
  if (msg->message == WM_KEYDOWN) kind = WM_CHAR;
  else if (msg->message == WM_SYSKEYDOWN) kind = WM_SYSCHAR;
  else return false;
  DWORD typed = msg->lPrivate;
  if (typed == 0) {
    // A key-down that did not come from the keyboard: the key and the Shift state decide.
    char c = VirtualKeyToChar(static_cast<UINT>(msg->wParam), GetKeyState(VK_SHIFT) < 0);
    if (c == 0) return false;
    typed = static_cast<unsigned char>(c) + 1u;
  }
  auto ch = static_cast<unsigned char>(typed - 1);
  State& s = S();
  MSG c = *msg;
  c.message = kind;
  c.wParam = ch;
  c.lPrivate = 0;
  {
    // The character comes right after its key, ahead of what was posted meanwhile.
    std::lock_guard<std::mutex> lock(s.queueLock);
    if (c.hwnd != 0 && !s.liveHandles.count(c.hwnd)) return false;
    s.posted.push_front(c);
  }
  return true;
}

LRESULT DispatchMessage(const MSG* msg) {
  if (!msg) return 0;
  State& s = S();
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    // Call the procedure the timer was set with, not whatever the message claims.
    for (const Timer& t : s.timers) {
      if (t.hwnd == msg->hwnd && t.id == msg->wParam && t.proc) {
        TIMERPROC proc = t.proc;
        proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(Now()));
        return 0;
      }
    }
    return 0;
  }
  if (msg->hwnd == 0) return 0;
  Window* w = Find(msg->hwnd);
  if (!w) return 0;
  if (msg->message != WM_PAINT)
    return CallWindowProc(w->proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
  s.beganPaint = 0;
  LRESULT r = CallWindowProc(w->proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
  if (s.beganPaint != msg->hwnd) {
    // A procedure that answers WM_PAINT without painting would be asked again for ever; its
    // window counts as painted.
    if (Window* after = Find(msg->hwnd)) {
      after->update = {};
      after->erase = false;
      after->internalPaint = false;
      after->ncDirty = false;
    }
  }
  return r;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  NoteUiThread();
  State& s = S();
  if (hwnd != 0 && !Find(hwnd)) return 0;
  UINT interval = std::max(elapseMs, USER_TIMER_MINIMUM);
  if (elapseMs > 0x7FFFFFFF) interval = 0x7FFFFFFF;
  std::uint64_t now = Now();
  if (hwnd == 0) {
    // A thread timer: an existing id is reset, otherwise a fresh id is made.
    for (Timer& t : s.timers) {
      if (t.hwnd == 0 && t.id == id && id != 0) {
        t.interval = interval;
        t.due = now + interval;
        t.proc = proc;
        return id;
      }
    }
    id = s.nextThreadTimerId++;
    if (s.nextThreadTimerId == 0) s.nextThreadTimerId = 1;
  } else {
    for (Timer& t : s.timers) {
      if (t.hwnd == hwnd && t.id == id) {
        t.interval = interval;
        t.due = now + interval;
        t.proc = proc;
        return id == 0 ? 1 : id;
      }
    }
  }
  s.timers.push_back(Timer{hwnd, id, interval, now + interval, proc});
  return id == 0 ? 1 : id;
}

bool KillTimer(HWND hwnd, UINT_PTR id) {
  auto& ts = S().timers;
  auto before = ts.size();
  std::erase_if(ts, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  return ts.size() != before;
}

bool ProcessMessage() {
  MSG m;
  if (!PeekMessage(&m, 0, 0, 0, PM_REMOVE)) return false;
  if (m.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(m.wParam));
    return false;
  }
  TranslateMessage(&m);
  DispatchMessage(&m);
  return true;
}

bool ProcessMessages() {
  // Bounded so that a timer handler slower than its interval on a real clock cannot keep the
  // loop busy for ever.
  for (int i = 0; i < 1000000; ++i) {
    if (!ProcessMessage()) {
      State& s = S();
      std::lock_guard<std::mutex> lock(s.queueLock);
      return !s.quitPending;
    }
  }
  return true;
}

bool RunModalLoop(const std::function<bool()>& done) {
  while (!done()) {
    MSG m;
    if (!GetMessage(&m, 0, 0, 0)) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return false;
    }
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  return true;
}

int RunMessageLoop() {
  MSG m;
  while (GetMessage(&m, 0, 0, 0)) {
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  return static_cast<int>(m.wParam);
}

void AdvanceTime(std::uint64_t ms) {
  if (!Display().AdvanceClock(ms)) S().timeShift += static_cast<std::int64_t>(ms);
}

bool FireTimer(HWND hwnd, UINT_PTR id) {
  for (Timer& t : S().timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.due = Now();
      return true;
    }
  }
  return false;
}

}  // namespace tw
