// The clipboard: formats as byte strings, opened by one window at a time, with registered
// format names sharing the numbers of registered window messages.  The display publishes our
// contents to other programs and brings theirs in.
#include <cstring>

#include "platform/win/windowstate.h"

namespace tw::win {

void ClipboardWindowDestroyed(HWND hwnd) {
  State& s = S();
  if (s.clipboardOpen && s.clipboardOpenBy == hwnd) CloseClipboard();
  if (s.clipboardOwner == hwnd) s.clipboardOwner = 0;
}

namespace {

// Brings another program's contents in when the display has them.
void RefreshFromDisplay() {
  std::map<UINT, std::string> foreign;
  if (Display().FetchForeignClipboard(foreign)) {
    State& s = S();
    s.clipboard = std::move(foreign);
    s.clipboardOwner = 0;
  }
}

}  // namespace
}  // namespace tw::win

namespace tw {

using namespace win;

bool OpenClipboard(HWND owner) {
  State& s = S();
  if (s.clipboardOpen) return false;
  if (owner && !Find(owner)) return false;
  s.clipboardOpen = true;
  s.clipboardOpenBy = owner;
  s.clipboardChanged = false;
  RefreshFromDisplay();
  return true;
}

bool CloseClipboard() {
  State& s = S();
  if (!s.clipboardOpen) return false;
  s.clipboardOpen = false;
  s.clipboardOpenBy = 0;
  if (s.clipboardChanged) {
    s.clipboardChanged = false;
    Display().ClipboardChanged();
  }
  return true;
}

bool EmptyClipboard() {
  State& s = S();
  if (!s.clipboardOpen) return false;
  if (s.clipboardOwner && s.clipboardOwner != s.clipboardOpenBy && Find(s.clipboardOwner))
    SendMessage(s.clipboardOwner, WM_DESTROYCLIPBOARD, 0, 0);
  s.clipboard.clear();
  s.clipboardOwner = s.clipboardOpenBy;
  s.clipboardChanged = true;
  return true;
}

bool SetClipboardData(UINT format, const std::string& data) {
  State& s = S();
  if (!s.clipboardOpen || format == 0) return false;
  std::string bytes = data;
  if ((format == CF_TEXT || format == CF_OEMTEXT) && !bytes.empty() && bytes.back() == '\0') {
    // Text ends at its first zero, as a zero-terminated block would.
    bytes.resize(std::strlen(bytes.c_str()));
  }
  s.clipboard[format] = std::move(bytes);
  s.clipboardChanged = true;
  return true;
}

std::string GetClipboardData(UINT format) {
  State& s = S();
  if (!s.clipboardOpen) return {};
  auto it = s.clipboard.find(format);
  if (it == s.clipboard.end()) return {};
  return it->second;
}

bool IsClipboardFormatAvailable(UINT format) {
  State& s = S();
  if (!s.clipboardOpen) RefreshFromDisplay();
  return s.clipboard.count(format) != 0;
}

UINT RegisterClipboardFormat(const char* name) { return name ? RegisterAtom(name) : 0; }

int GetClipboardFormatName(UINT format, char* buffer, int maxCount) {
  State& s = S();
  auto it = s.atomNames.find(format);
  if (it == s.atomNames.end() || !buffer || maxCount <= 0) return 0;
  int n = static_cast<int>(std::min<std::size_t>(it->second.size(), static_cast<std::size_t>(maxCount - 1)));
  std::memcpy(buffer, it->second.data(), static_cast<std::size_t>(n));
  buffer[n] = 0;
  return n;
}

HWND GetClipboardOwner() { return S().clipboardOwner; }
HWND GetOpenClipboardWindow() { return S().clipboardOpen ? S().clipboardOpenBy : 0; }

UINT EnumClipboardFormats(UINT format) {
  State& s = S();
  if (!s.clipboardOpen) return 0;
  auto it = format == 0 ? s.clipboard.begin() : s.clipboard.upper_bound(format);
  return it == s.clipboard.end() ? 0 : it->first;
}

}  // namespace tw
