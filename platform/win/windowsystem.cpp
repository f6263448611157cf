// Process-wide state of the window system: the registry of windows, the clock, the thread that
// owns the windows, the wake-up channel, shared atoms, and the reset used between tests.
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/rtl/win1252.h"
#include "platform/win/windowstate.h"

namespace tw::win {

State& S() {
  static State* state = [] {
    auto* s = new State();  // lives for the whole run: windows may be touched during exit
    s->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return s;
  }();
  return *state;
}

Window* Find(HWND hwnd) {
  if (hwnd == 0) return nullptr;
  State& s = S();
  State::FoundWindow& slot = s.found[static_cast<std::size_t>(hwnd) % std::size(s.found)];
  if (slot.hwnd == hwnd) return slot.window;
  auto it = s.windows.find(hwnd);
  if (it == s.windows.end()) return nullptr;
  slot = {hwnd, it->second.get()};
  return slot.window;
}

void ForgetFoundWindows() {
  for (auto& f : S().found) f = {};
}

HWND TopLevelOf(HWND hwnd) {
  Window* w = Find(hwnd);
  while (w && w->parent) w = Find(w->parent);
  return w ? w->handle : 0;
}

std::uint64_t Now() {
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(Display().NowMs()) + S().timeShift);
}

void NoteUiThread() {
  State& s = S();
  if (!s.uiThreadSet.load()) {
    s.uiThread = std::this_thread::get_id();
    s.uiThreadSet.store(true);
  }
}

bool OnUiThread() {
  State& s = S();
  return !s.uiThreadSet || s.uiThread == std::this_thread::get_id();
}

void Wake() {
  std::uint64_t one = 1;
  ssize_t n = write(S().wakeFd, &one, sizeof one);
  (void)n;  // a full counter already wakes the loop
}

UINT RegisterAtom(const std::string& name) {
  if (name.empty()) return 0;
  State& s = S();
  std::string key = AnsiUpperCase(name);
  auto it = s.atoms.find(key);
  if (it != s.atoms.end()) return it->second;
  if (s.nextAtom == 0) return 0;  // all 16384 numbers are taken
  UINT atom = s.nextAtom;
  s.nextAtom = s.nextAtom == 0xFFFF ? 0 : s.nextAtom + 1;
  s.atoms.emplace(key, atom);
  s.atomNames.emplace(atom, name);
  return atom;
}

}  // namespace tw::win

namespace tw {

using namespace win;

UINT RegisterWindowMessage(const char* name) { return name ? RegisterAtom(name) : 0; }

namespace {

DWORD ThreadNumber(std::thread::id id) { return static_cast<DWORD>(std::hash<std::thread::id>{}(id)); }

}  // namespace

DWORD GetCurrentThreadId() {
  // Asked on every request of the in-process transport: worked out once per thread.
  thread_local const DWORD id = ThreadNumber(std::this_thread::get_id());
  return id;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  State& s = S();
  const bool known = s.uiThreadSet.load();
  // Every window belongs to the windows' thread; only whether it exists is asked (the window
  // table on that thread, the live set elsewhere).
  if (hwnd == 0) return 0;
  const bool onUiThread = OnUiThread();
  if (onUiThread) {
    if (!Find(hwnd)) return 0;
  } else {
    std::lock_guard<std::mutex> lock(s.queueLock);
    if (!s.liveHandles.count(hwnd)) return 0;
  }
  if (processId) *processId = static_cast<DWORD>(getpid());
  // On the windows' thread (or before there is one) that is the calling thread.
  if (!known || onUiThread) return GetCurrentThreadId();
  return ThreadNumber(s.uiThread);
}

std::uint64_t CurrentTimeMs() { return Now(); }

void ResetWindowSystem() {
  State& s = S();
  // Destroy every top-level window (children and owned windows go with them).
  for (int guard = 0; guard < 100000 && !s.topLevels.empty(); ++guard) {
    HWND top = s.topLevels.back();
    if (!DestroyWindow(top)) {
      // A window that could not be destroyed (refused by a hook) is removed by force.
      s.topLevels.pop_back();
    }
  }
  for (auto& [h, w] : s.windows) FreeSurface(*w);
  ForgetFoundWindows();
  s.windows.clear();
  s.topLevels.clear();
  {
    std::lock_guard<std::mutex> lock(s.queueLock);
    s.posted.clear();
    for (auto& send : s.incomingSends) send->result.set_value(0);
    s.incomingSends.clear();
    s.hasIncomingSends = false;
    s.liveHandles.clear();
    s.quitPending = false;
    s.quitCode = 0;
  }
  s.timers.clear();
  s.focus = s.active = s.capture = 0;
  std::fill(std::begin(s.keys), std::end(s.keys), BYTE{0});
  std::fill(std::begin(s.messageKeys), std::end(s.messageKeys), BYTE{0});
  CaretReset();
  s.caretBlinkMs = 530;
  s.clipboard.clear();
  s.clipboardOpen = false;
  s.clipboardOpenBy = 0;
  s.clipboardOwner = 0;
  s.clipboardChanged = false;
  s.hooks.clear();
  s.classes.clear();
  s.cursor = IDC_ARROW;
  s.cursorPos = {};
  s.lastMouseWindow = 0;
  s.altNumpadActive = false;
  s.altNumpadCode = 0;
  s.beeps = 0;
  s.timeShift = 0;
  s.desktop = 0;
  s.swapButtons = false;
  s.uiThreadSet = false;
}

}  // namespace tw
