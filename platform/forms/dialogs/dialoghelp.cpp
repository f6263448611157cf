// The help calls of the application and the F1 key.
#include "platform/forms/dialogs/dialoghelp.h"

#include <mutex>
#include <vector>

#include "platform/forms/dialogs/desktoptexts.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "platform/sys/help.h"

namespace tw {

namespace {

constexpr const char* kHelpKeyClass = "TwHelpKey";
constexpr UINT kMsgHelpKey = WM_APP + 0x3B0;
// A page's opener failed after the help call had returned: the reports wait in LateFailures.
constexpr UINT kMsgHelpFailed = WM_APP + 0x3B1;

THelpEvent& OnHelpSlot() {
  static THelpEvent handler;
  return handler;
}

struct HelpKey {
  HWND window = 0;
  HHOOK hook = 0;
};

HelpKey& Key() {
  static HelpKey key;
  return key;
}

bool IsHelpKeyWindow(HWND hwnd) { return IsWindowOfClass(hwnd, kHelpKeyClass); }

// Failures told by the openers' threads, shown on the user-interface thread.
struct LateFailures {
  std::mutex lock;
  std::vector<HelpResult> pending;
};

LateFailures& Late() {
  static LateFailures late;
  return late;
}

// A help request that shows nothing is told: no help file set, no help folder for it, a
// missing page, or nothing that opens pages.  The box names the reason and the place the help
// was looked for, so that it can be put there or opened by hand.
void ReportHelpNotShown(const std::string& file, const HelpResult& r) {
  std::string text = DesktopText("Help could not be shown");
  text += r.Error.empty() ? std::string(".") : ": " + r.Error + ".";
  if (r.Failure != HelpFailure::NoHelpFile) {
    const std::string where = !r.Page.empty() ? r.Page : ProgramHelp().HelpFolder(file);
    text += "\n\n" + DesktopText("The help file is ") + (where.empty() ? file : where);
  }
  Application()->MessageBox(text, Application()->Title(), MB_OK | MB_ICONWARNING);
}

bool Call(unsigned command, std::uint32_t data, const std::string* keyword) {
  bool callHelp = true;
  bool result = false;
  if (const THelpEvent& handler = OnHelpSlot()) {
    THelpEvent copy = handler;
    result = copy(command, data, callHelp);
  }
  if (!callHelp) return result;
  const std::string file = CurrentHelpFile();
  const HelpResult r = keyword != nullptr ? ProgramHelp().WinHelpKey(file, *keyword)
                                          : ProgramHelp().WinHelp(file, command, data);
  // A command with nothing to show (closing or placing the help) is no request the user sees.
  if (!r.Succeeded && r.Failure != HelpFailure::UnsupportedCommand) ReportHelpNotShown(file, r);
  return r.Succeeded;
}

void ShowLateFailures() {
  std::vector<HelpResult> failures;
  {
    std::lock_guard<std::mutex> guard(Late().lock);
    failures.swap(Late().pending);
  }
  for (const HelpResult& r : failures) ReportHelpNotShown(CurrentHelpFile(), r);
}

LRESULT HelpKeyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMsgHelpFailed) {
    try {
      ShowLateFailures();
    } catch (...) {
      Application()->HandleException(nullptr);
    }
    return 0;
  }
  if (msg != kMsgHelpKey) return DefWindowProc(hwnd, msg, wParam, lParam);
  try {
    TControl* control = TWinControl::FindControl(static_cast<HWND>(wParam));
    const int context = HelpContextOf(control);
    if (context != 0) HelpContextCall(context);
  } catch (...) {
    Application()->HandleException(nullptr);
  }
  return 0;
}

LRESULT HelpHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE && lParam != 0) {
    MSG& m = *reinterpret_cast<MSG*>(lParam);
    if (m.message == WM_KEYDOWN && m.wParam == VK_F1 && m.hwnd != Key().window && !MenuActive() &&
        GetKeyState(static_cast<int>(VK_SHIFT)) >= 0 && GetKeyState(static_cast<int>(VK_CONTROL)) >= 0 &&
        GetKeyState(static_cast<int>(VK_MENU)) >= 0 && !IsMenuShortCutKey(m.hwnd, ShortCut(VK_F1, {}))) {
      PostMessage(Key().window, kMsgHelpKey, m.hwnd, 0);
      m.message = WM_NULL;
    }
  }
  return CallNextHookEx(Key().hook, code, wParam, lParam);
}

}  // namespace

std::string CurrentHelpFile() {
  if (TCustomForm* form = Screen()->ActiveForm(); form != nullptr && !form->HelpFile().empty()) return form->HelpFile();
  return Application()->HelpFile();
}

bool HelpContextCall(int context) { return Call(HELP_CONTEXT, static_cast<std::uint32_t>(context), nullptr); }

bool HelpCommandCall(unsigned command, std::uint32_t data) { return Call(command, data, nullptr); }

bool HelpKeywordCall(const std::string& keyword) { return Call(HELP_KEY, 0, &keyword); }

void SetOnHelp(THelpEvent handler) { OnHelpSlot() = std::move(handler); }

int HelpContextOf(const TControl* control) {
  for (const TControl* c = control; c != nullptr; c = c->Parent())
    if (c->HelpContext() != 0) return c->HelpContext();
  return 0;
}

void InstallHelpKey() {
  SetMenuHelpHandler([](int context) { HelpContextCall(context); });
  HelpKey& key = Key();
  if (IsHelpKeyWindow(key.window)) return;
  WNDCLASS existing;
  if (!GetClassInfo(0, kHelpKeyClass, &existing)) {
    WNDCLASS wc;
    wc.lpfnWndProc = HelpKeyProc;
    wc.lpszClassName = kHelpKeyClass;
    RegisterClass(wc);
  }
  key.window = CreateWindowEx(0, kHelpKeyClass, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, nullptr);
  // A page's opener is not waited for (the window stays live while it starts a browser); a
  // failure it shows later is reported here all the same.
  const HWND window = key.window;
  ProgramHelp().SetLateFailureHandler([window](const HelpResult& r) {
    {
      std::lock_guard<std::mutex> guard(Late().lock);
      Late().pending.push_back(r);
    }
    PostMessage(window, kMsgHelpFailed, 0, 0);
  });
  key.hook = SetWindowsHookEx(WH_GETMESSAGE, std::function<LRESULT(int, WPARAM, LPARAM)>(HelpHook));
}

}  // namespace tw
