// The open menu: drop-down windows, the bar of a form, and the message hook that hands the
// program's keys and mouse messages to the menu while it is open and turns shortcut keys into
// clicks.
//
// The hook (WH_GETMESSAGE) only looks at a message as it is taken from the queue; when the menu
// wants it, the message is rewritten into a private message for the tracker's own window, so that
// the menu acts in the ordinary dispatch of whatever loop is running, never inside the queue.
#include <algorithm>
#include <deque>
#include <memory>
#include <map>
#include <set>

#include "platform/forms/menus/menuinternal.h"
#include "platform/gfx/canvas.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace menus {
namespace {

constexpr const char* kTrackerClass = "TwMenuTracker";
constexpr const char* kPopupClass = "TwMenuPopup";

// Private messages of the tracker window; wParam is the id of the saved original message.
constexpr UINT kMsgKey = WM_APP + 0x3A0;
constexpr UINT kMsgMouse = WM_APP + 0x3A1;
constexpr UINT kMsgShortCut = WM_APP + 0x3A2;
constexpr UINT kMsgEnterBar = WM_APP + 0x3A3;
constexpr UINT kMsgBarAccel = WM_APP + 0x3A4;
constexpr UINT kMsgAutoPopup = WM_APP + 0x3A5;
constexpr UINT kMsgContextKey = WM_APP + 0x3A6;
constexpr UINT kMsgEat = WM_APP + 0x3A7;

constexpr int kBorder = 3;
constexpr int kCheckArea = 18;
constexpr int kArrowArea = 16;
constexpr int kSeparatorHeight = 8;
constexpr int kBarItemPadding = 7;

struct Level {
  TMenuItem* parent = nullptr;
  HWND window = 0;
  std::vector<TMenuItem*> items;
  std::vector<TRect> rects;  // client coordinates
  int selected = -1;
};

struct Tracker {
  bool active = false;
  TMenu* menu = nullptr;
  TCustomForm* barForm = nullptr;  // the form whose bar the menu came from
  int barIndex = -1;               // selected bar item (index among the visible ones)
  std::vector<Level> levels;
  bool changing = false;           // an item's OnClick prepares its sub-items
  HWND activeWindow = 0;           // the window that was active when the menu opened
};

struct Input {
  HWND window = 0;
  HHOOK hook = 0;
  HHOOK sentHook = 0;
  TCustomForm* altPending = nullptr;  // Alt went down alone on this form
  std::map<WPARAM, MSG> saved;
  WPARAM nextId = 1;
};

Tracker& T() {
  static Tracker t;
  return t;
}

Input& In() {
  static Input in;
  return in;
}

// --- helpers

bool IsTrackerWindow(HWND hwnd) { return IsWindowOfClass(hwnd, kTrackerClass); }

TCustomForm* FormOfWindow(HWND hwnd) {
  if (hwnd == 0) return nullptr;
  HWND root = GetAncestor(hwnd, GA_ROOT);
  TWinControl* control = TWinControl::FindControl(root != 0 ? root : hwnd);
  return dynamic_cast<TCustomForm*>(control);
}

std::vector<TMenuItem*> VisibleItems(const TMenuItem* parent) {
  std::vector<TMenuItem*> out;
  for (int i = 0; i < parent->Count(); ++i)
    if (parent->Items(i)->Visible()) out.push_back(parent->Items(i));
  return out;
}

bool HasVisibleChildren(const TMenuItem* item) {
  for (int i = 0; i < item->Count(); ++i)
    if (item->Items(i)->Visible()) return true;
  return false;
}

// A canvas for measuring menu texts.
TCanvas& MeasureCanvas() {
  static TCanvas canvas;
  if (canvas.Handle() == 0) canvas.SetHandle(GetScreenDC());
  return canvas;
}

// The menu font: the window system's default dialog font.
void UseMenuFont(TCanvas& canvas, bool bold) {
  TFont font;
  if (bold) font.SetStyle({TFontStyle::fsBold});
  canvas.SetFont(&font);
}

// Draws a caption with its accelerator letter underlined.
void DrawCaption(TCanvas& canvas, int x, int y, const std::string& caption, TColor color) {
  const std::string text = StripHotkey(caption);
  canvas.Font()->SetColor(color);
  canvas.Brush()->SetStyle(TBrushStyle::bsClear);
  canvas.TextOut(x, y, text);
  // Find the accelerator's position in the stripped text.
  std::size_t pos = std::string::npos;
  for (std::size_t i = 0, out = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        ++i;
        ++out;
        continue;
      }
      if (i + 1 < caption.size()) pos = out;
      break;
    }
    ++out;
  }
  if (pos == std::string::npos || pos >= text.size()) return;
  const int left = x + canvas.TextWidth(text.substr(0, pos));
  const int right = left + canvas.TextWidth(text.substr(pos, 1));
  const int base = y + canvas.TextHeight("Wg");
  canvas.Pen()->SetColor(color);
  canvas.MoveTo(left, base - 1);
  canvas.LineTo(right, base - 1);
}

// --- the bar

struct BarItem {
  TMenuItem* item;
  TRect rect;  // window coordinates of the form's window
};

// Window coordinates of the bar (between the frame and the client area).
TRect BarRect(TCustomForm* form) {
  const HWND hwnd = form->Handle();
  RECT wr{};
  GetWindowRect(hwnd, &wr);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  RECT cr{};
  GetClientRect(hwnd, &cr);
  const int left = origin.X - wr.Left;
  const int top = origin.Y - wr.Top;
  return Rect(left, top - TMainMenu::BarHeight(), left + cr.Width(), top);
}

std::vector<BarItem> BarItems(TCustomForm* form) {
  std::vector<BarItem> out;
  TMainMenu* menu = FormMenu(form);
  if (menu == nullptr || !form->HandleAllocated()) return out;
  const TRect bar = BarRect(form);
  TCanvas& canvas = MeasureCanvas();
  UseMenuFont(canvas, false);
  int x = bar.Left;
  for (TMenuItem* item : VisibleItems(menu->Items())) {
    const int w = canvas.TextWidth(StripHotkey(item->Caption())) + 2 * kBarItemPadding;
    out.push_back({item, Rect(x, bar.Top, x + w, bar.Bottom)});
    x += w;
  }
  return out;
}

// The bar item under a screen point (-1 when none).
int BarItemAt(TCustomForm* form, POINT screen) {
  if (form == nullptr || !form->HandleAllocated()) return -1;
  RECT wr{};
  GetWindowRect(form->Handle(), &wr);
  const TPoint p = Point(screen.X - wr.Left, screen.Y - wr.Top);
  const auto items = BarItems(form);
  for (std::size_t i = 0; i < items.size(); ++i)
    if (PtInRect(items[i].rect, p)) return static_cast<int>(i);
  return -1;
}

bool InBar(TCustomForm* form, POINT screen) {
  if (form == nullptr || !form->HandleAllocated() || FormMenu(form) == nullptr) return false;
  RECT wr{};
  GetWindowRect(form->Handle(), &wr);
  return PtInRect(BarRect(form), Point(screen.X - wr.Left, screen.Y - wr.Top));
}

// --- drop-down windows

void MeasureLevel(Level& level, int& width, int& height) {
  TCanvas& canvas = MeasureCanvas();
  const int textHeight = [&] {
    UseMenuFont(canvas, false);
    return canvas.TextHeight("Wg");
  }();
  const int itemHeight = std::max(textHeight + 6, 17);
  int textWidth = 0;
  int keyWidth = 0;
  for (TMenuItem* item : level.items) {
    if (item->IsLine()) continue;
    UseMenuFont(canvas, item->Default());
    textWidth = std::max(textWidth, canvas.TextWidth(StripHotkey(item->Caption())));
    if (item->ShortCut() != 0) keyWidth = std::max(keyWidth, canvas.TextWidth(ShortCutToText(item->ShortCut())));
  }
  width = kBorder + kCheckArea + textWidth + (keyWidth > 0 ? 24 + keyWidth : 0) + kArrowArea + kBorder;
  width = std::max(width, 60);
  int y = kBorder;
  level.rects.clear();
  for (TMenuItem* item : level.items) {
    const int h = item->IsLine() ? kSeparatorHeight : itemHeight;
    level.rects.push_back(Rect(kBorder, y, width - kBorder, y + h));
    y += h;
  }
  height = y + kBorder;
}

void PaintLevel(const Level& level, HDC dc, int width, int height) {
  TCanvas canvas;
  canvas.SetHandle(dc);
  TRect r = Rect(0, 0, width, height);
  canvas.Brush()->SetColor(clMenu);
  canvas.FillRect(r);
  canvas.DrawEdge(r, EDGE_RAISED, BF_RECT);
  for (std::size_t i = 0; i < level.items.size(); ++i) {
    TMenuItem* item = level.items[i];
    const TRect ir = level.rects[i];
    if (item->IsLine()) {
      const int y = ir.Top + ir.Height() / 2 - 1;
      canvas.Pen()->SetColor(clBtnShadow);
      canvas.MoveTo(ir.Left + 1, y);
      canvas.LineTo(ir.Right - 1, y);
      canvas.Pen()->SetColor(clBtnHighlight);
      canvas.MoveTo(ir.Left + 1, y + 1);
      canvas.LineTo(ir.Right - 1, y + 1);
      continue;
    }
    const bool selected = static_cast<int>(i) == level.selected;
    canvas.Brush()->SetStyle(TBrushStyle::bsSolid);
    canvas.Brush()->SetColor(selected ? clHighlight : clMenu);
    canvas.FillRect(ir);
    UseMenuFont(canvas, item->Default());
    const int ty = ir.Top + (ir.Height() - canvas.TextHeight("Wg")) / 2;
    const TColor text = !item->Enabled() ? clGrayText : selected ? clHighlightText : clMenuText;
    if (!item->Enabled() && !selected)
      DrawCaption(canvas, ir.Left + kCheckArea + 1, ty + 1, item->Caption(), clBtnHighlight);
    DrawCaption(canvas, ir.Left + kCheckArea, ty, item->Caption(), text);
    if (item->ShortCut() != 0) {
      const std::string keyText = ShortCutToText(item->ShortCut());
      canvas.Font()->SetColor(text);
      canvas.Brush()->SetStyle(TBrushStyle::bsClear);
      canvas.TextOut(ir.Right - kArrowArea - canvas.TextWidth(keyText), ty, keyText);
    }
    canvas.Brush()->SetStyle(TBrushStyle::bsSolid);
    canvas.Brush()->SetColor(text);
    canvas.Pen()->SetColor(text);
    const int cy = ir.Top + ir.Height() / 2;
    if (item->Checked()) {
      const int cx = ir.Left + kCheckArea / 2;
      if (item->RadioItem()) {
        canvas.Ellipse(cx - 3, cy - 3, cx + 3, cy + 3);
      } else {
        // A tick of three short strokes.
        for (int d = 0; d < 3; ++d) {
          canvas.MoveTo(cx - 4, cy - 1 + d);
          canvas.LineTo(cx - 2, cy + 1 + d);
          canvas.LineTo(cx + 3, cy - 4 + d);
        }
      }
    }
    if (HasVisibleChildren(item)) {
      const int ax = ir.Right - kArrowArea / 2 - 1;
      const TPoint tri[3] = {Point(ax - 2, cy - 4), Point(ax + 2, cy), Point(ax - 2, cy + 4)};
      canvas.Polygon(tri, 3);
    }
  }
  canvas.SetHandle(0);
}

Level* LevelOfWindow(HWND hwnd) {
  for (Level& l : T().levels)
    if (l.window == hwnd) return &l;
  return nullptr;
}

LRESULT PopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (const Level* level = LevelOfWindow(hwnd); level != nullptr && dc != 0) {
        RECT cr{};
        GetClientRect(hwnd, &cr);
        PaintLevel(*level, dc, cr.Width(), cr.Height());
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      // Destroyed from outside (with its owner): the menu cannot go on.
      if (Level* level = LevelOfWindow(hwnd)) {
        level->window = 0;
        PostMessage(In().window, kMsgEat, 0, 1);
      }
      break;
    default: break;
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

void RegisterClasses() {
  WNDCLASS existing;
  if (!GetClassInfo(0, kPopupClass, &existing)) {
    WNDCLASS wc;
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = PopupProc;
    wc.hCursor = LoadCursor(0, IDC_ARROW);
    wc.lpszClassName = kPopupClass;
    RegisterClass(wc);
  }
}

void InvalidateLevel(const Level& level) {
  if (level.window != 0) InvalidateRect(level.window, nullptr, false);
}

void RepaintBar() {
  Tracker& t = T();
  if (t.barForm != nullptr && !t.barForm->ComponentState().Contains(TComponentStateFlag::csDestroying))
    PaintMenuBar(t.barForm);
}

// --- opening and closing

void CloseLevelsFrom(std::size_t first) {
  Tracker& t = T();
  while (t.levels.size() > first) {
    const HWND w = t.levels.back().window;
    t.levels.pop_back();
    if (w != 0) DestroyWindow(w);
  }
  if (!t.levels.empty()) InvalidateLevel(t.levels.back());
}

void CloseAll() {
  Tracker& t = T();
  if (!t.active) return;
  CloseLevelsFrom(0);
  t.active = false;
  t.menu = nullptr;
  t.barIndex = -1;
  RepaintBar();
  t.barForm = nullptr;
}

// Runs the parent's OnClick (which may prepare its sub-items) and shows the sub-items below or
// beside `anchor` (screen coordinates).  False when there is nothing to show.
bool OpenLevel(TMenuItem* parent, TRect anchor, bool beside, bool selectFirst) {
  Tracker& t = T();
  if (parent->OnClick && parent->Parent() != nullptr) {
    t.changing = true;
    try {
      FireEvent(parent->OnClick, parent);
    } catch (...) {
      t.changing = false;
      throw;
    }
    t.changing = false;
    if (!t.active) return false;
  }
  Level level;
  level.parent = parent;
  level.items = VisibleItems(parent);
  if (level.items.empty()) return false;
  int w = 0, h = 0;
  MeasureLevel(level, w, h);
  const TSize screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  int x = beside ? anchor.Right - kBorder : anchor.Left;
  int y = beside ? anchor.Top - kBorder : anchor.Bottom;
  if (x + w > screen.cx) x = beside ? anchor.Left - w + kBorder : screen.cx - w;
  if (y + h > screen.cy) y = beside ? screen.cy - h : anchor.Top - h;
  x = std::max(x, 0);
  y = std::max(y, 0);
  if (selectFirst) {
    for (std::size_t i = 0; i < level.items.size(); ++i)
      if (!level.items[i]->IsLine()) {
        level.selected = static_cast<int>(i);
        break;
      }
  }
  RegisterClasses();
  HWND owner = t.barForm != nullptr && t.barForm->HandleAllocated() ? t.barForm->Handle() : 0;
  level.window = CreateWindowEx(WS_EX_TOPMOST, kPopupClass, "", WS_POPUP, x, y, w, h, owner, 0, 0,
                                nullptr);
  if (level.window == 0) return false;
  const HWND window = level.window;
  t.levels.push_back(std::move(level));
  ShowWindow(window, SW_SHOWNA);
  UpdateWindow(window);
  return true;
}

TRect LevelItemScreenRect(const Level& level, int index) {
  TRect r = level.rects[static_cast<std::size_t>(index)];
  POINT o{0, 0};
  ClientToScreen(level.window, &o);
  OffsetRect(r, o.X, o.Y);
  return r;
}

void OpenSubmenu(std::size_t levelIndex, int itemIndex, bool selectFirst) {
  Tracker& t = T();
  if (levelIndex >= t.levels.size()) return;
  CloseLevelsFrom(levelIndex + 1);
  Level& level = t.levels[levelIndex];
  if (itemIndex < 0 || itemIndex >= static_cast<int>(level.items.size())) return;
  TMenuItem* item = level.items[static_cast<std::size_t>(itemIndex)];
  if (!item->Enabled() || !HasVisibleChildren(item)) return;
  OpenLevel(item, LevelItemScreenRect(level, itemIndex), true, selectFirst);
}

void OpenBarIndex(int index, bool selectFirst) {
  Tracker& t = T();
  CloseLevelsFrom(0);
  const auto items = BarItems(t.barForm);
  if (items.empty()) {
    CloseAll();
    return;
  }
  const int n = static_cast<int>(items.size());
  index = ((index % n) + n) % n;
  t.barIndex = index;
  RepaintBar();
  TMenuItem* item = items[static_cast<std::size_t>(index)].item;
  if (item->Enabled() && HasVisibleChildren(item)) {
    RECT wr{};
    GetWindowRect(t.barForm->Handle(), &wr);
    TRect anchor = items[static_cast<std::size_t>(index)].rect;
    OffsetRect(anchor, wr.Left, wr.Top);
    OpenLevel(item, anchor, false, selectFirst);
  }
}

bool StartBar(TCustomForm* form) {
  TMainMenu* menu = FormMenu(form);
  if (menu == nullptr || !form->HandleAllocated() || !IsWindowVisible(form->Handle()) ||
      !IsWindowEnabled(form->Handle()) || BarItems(form).empty())
    return false;
  CloseAll();
  Tracker& t = T();
  t.active = true;
  t.menu = menu;
  t.barForm = form;
  t.barIndex = 0;
  t.activeWindow = GetActiveWindow();
  return true;
}

void Choose(TMenuItem* item) {
  CloseAll();
  if (item != nullptr) item->Click();
}

// --- keys while the menu is open

// The letter or digit a virtual key stands for as an accelerator; 0 for any other key (the
// function and numeric-pad keys share their numbers with lower-case letters).
unsigned AccelKey(UINT vk) { return (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9') ? vk : 0; }

int NextSelectable(const Level& level, int from, int step) {
  const int n = static_cast<int>(level.items.size());
  if (n == 0) return -1;
  int i = from;
  for (int k = 0; k < n; ++k) {
    i = i < 0 ? (step > 0 ? 0 : n - 1) : ((i + step) % n + n) % n;
    if (!level.items[static_cast<std::size_t>(i)]->IsLine()) return i;
  }
  return -1;
}

void ActivateLevelItem(std::size_t levelIndex, int index) {
  Tracker& t = T();
  TMenuItem* item = t.levels[levelIndex].items[static_cast<std::size_t>(index)];
  if (HasVisibleChildren(item))
    OpenSubmenu(levelIndex, index, true);
  else if (item->Enabled())
    Choose(item);
}

std::function<void(int)>& HelpHandler() {
  static std::function<void(int)> handler;
  return handler;
}

// F1 in an open menu: the help of the selected item.
void MenuHelp() {
  Tracker& t = T();
  TMenuItem* item = nullptr;
  if (!t.levels.empty()) {
    const Level& top = t.levels.back();
    if (top.selected >= 0) item = top.items[static_cast<std::size_t>(top.selected)];
  } else if (t.barForm != nullptr) {
    const auto items = BarItems(t.barForm);
    if (t.barIndex >= 0 && t.barIndex < static_cast<int>(items.size())) item = items[static_cast<std::size_t>(t.barIndex)].item;
  }
  int context = 0;
  for (const TMenuItem* i = item; i != nullptr && context == 0; i = i->Parent()) context = i->HelpContext();
  CloseAll();
  if (context != 0 && HelpHandler()) {
    auto handler = HelpHandler();
    handler(context);
  }
}

void MenuKey(UINT vk) {
  Tracker& t = T();
  if (!t.active) return;
  if (vk == VK_F1) {
    MenuHelp();
    return;
  }
  if (vk == VK_MENU || vk == VK_F10) {
    CloseAll();
    return;
  }
  if (t.levels.empty()) {
    // The keyboard is on the bar.
    if (t.barForm == nullptr) {
      CloseAll();
      return;
    }
    const auto items = BarItems(t.barForm);
    switch (vk) {
      case VK_LEFT: t.barIndex = (t.barIndex + static_cast<int>(items.size()) - 1) % std::max<int>(1, static_cast<int>(items.size())); RepaintBar(); break;
      case VK_RIGHT: t.barIndex = (t.barIndex + 1) % std::max<int>(1, static_cast<int>(items.size())); RepaintBar(); break;
      case VK_DOWN:
      case VK_UP:
      case VK_RETURN: {
        TMenuItem* item = t.barIndex >= 0 && t.barIndex < static_cast<int>(items.size())
                              ? items[static_cast<std::size_t>(t.barIndex)].item
                              : nullptr;
        if (item != nullptr && !HasVisibleChildren(item)) {
          if (vk == VK_RETURN && item->Enabled()) Choose(item);
        } else {
          OpenBarIndex(t.barIndex, true);
        }
        break;
      }
      case VK_ESCAPE: CloseAll(); break;
      default:
        for (std::size_t i = 0; i < items.size() && AccelKey(vk) != 0; ++i)
          if (IsMenuAccel(vk, items[i].item->Caption())) {
            if (HasVisibleChildren(items[i].item))
              OpenBarIndex(static_cast<int>(i), true);
            else if (items[i].item->Enabled())
              Choose(items[i].item);
            return;
          }
        break;
    }
    return;
  }
  const std::size_t top = t.levels.size() - 1;
  Level& level = t.levels[top];
  switch (vk) {
    case VK_UP:
    case VK_DOWN: {
      const int next = NextSelectable(level, level.selected, vk == VK_DOWN ? 1 : -1);
      if (next >= 0) {
        level.selected = next;
        InvalidateLevel(level);
      }
      break;
    }
    case VK_RIGHT:
      if (level.selected >= 0 && HasVisibleChildren(level.items[static_cast<std::size_t>(level.selected)]))
        OpenSubmenu(top, level.selected, true);
      else if (t.barForm != nullptr)
        OpenBarIndex(t.barIndex + 1, true);
      break;
    case VK_LEFT:
      if (top > 0)
        CloseLevelsFrom(top);
      else if (t.barForm != nullptr)
        OpenBarIndex(t.barIndex - 1, true);
      break;
    case VK_RETURN:
      if (level.selected >= 0) ActivateLevelItem(top, level.selected);
      break;
    case VK_ESCAPE:
      if (top > 0 || t.barForm != nullptr) {
        CloseLevelsFrom(top);
        RepaintBar();
      } else {
        CloseAll();
      }
      break;
    default: {
      // A letter or digit chooses the item with that accelerator.
      for (std::size_t i = 0; i < level.items.size() && AccelKey(vk) != 0; ++i)
        if (IsMenuAccel(vk, level.items[i]->Caption())) {
          level.selected = static_cast<int>(i);
          InvalidateLevel(level);
          ActivateLevelItem(top, static_cast<int>(i));
          return;
        }
      break;
    }
  }
}

// --- the mouse while the menu is open

enum class MouseKind { Move, Down, Up };

// The level and item under a screen point; level -1 when none.
void HitLevels(POINT screen, int& levelIndex, int& itemIndex) {
  Tracker& t = T();
  levelIndex = -1;
  itemIndex = -1;
  for (int li = static_cast<int>(t.levels.size()) - 1; li >= 0; --li) {
    const Level& level = t.levels[static_cast<std::size_t>(li)];
    if (level.window == 0) continue;
    RECT wr{};
    GetWindowRect(level.window, &wr);
    if (!PtInRect(wr, screen)) continue;
    levelIndex = li;
    POINT p = screen;
    ScreenToClient(level.window, &p);
    for (std::size_t i = 0; i < level.rects.size(); ++i)
      if (PtInRect(level.rects[i], p)) itemIndex = static_cast<int>(i);
    return;
  }
}

void MenuMouse(MouseKind kind, POINT screen) {
  Tracker& t = T();
  if (!t.active) return;
  int li = -1, ii = -1;
  HitLevels(screen, li, ii);
  if (li >= 0) {
    Level& level = t.levels[static_cast<std::size_t>(li)];
    if (ii < 0) return;
    TMenuItem* item = level.items[static_cast<std::size_t>(ii)];
    if (item->IsLine()) return;
    if (level.selected != ii) {
      level.selected = ii;
      InvalidateLevel(level);
    }
    const bool submenuOpen = static_cast<std::size_t>(li) + 1 < t.levels.size() &&
                             t.levels[static_cast<std::size_t>(li) + 1].parent == item;
    if (HasVisibleChildren(item)) {
      if (!submenuOpen) OpenSubmenu(static_cast<std::size_t>(li), ii, false);
      return;
    }
    CloseLevelsFrom(static_cast<std::size_t>(li) + 1);
    if (kind == MouseKind::Up && item->Enabled()) Choose(item);
    return;
  }
  const int bar = t.barForm != nullptr ? BarItemAt(t.barForm, screen) : -1;
  if (bar >= 0) {
    if (kind == MouseKind::Down) {
      if (!t.levels.empty() && t.barIndex == bar)
        CloseAll();
      else
        OpenBarIndex(bar, false);
    } else if (kind == MouseKind::Move && !t.levels.empty() && bar != t.barIndex) {
      OpenBarIndex(bar, false);
    } else if (kind == MouseKind::Up && t.levels.empty() && bar == t.barIndex) {
      // A bar item without sub-items is chosen on release.
      const auto items = BarItems(t.barForm);
      TMenuItem* item = items[static_cast<std::size_t>(bar)].item;
      if (!HasVisibleChildren(item) && item->Enabled()) Choose(item);
    }
    return;
  }
  if (kind == MouseKind::Down) CloseAll();
}

// --- shortcuts and pop-up menus of controls

std::set<const TPopupMenu*>& LivePopups() {
  static std::set<const TPopupMenu*> popups;
  return popups;
}

bool FireShortCut(HWND target, TShortCut shortCut) {
  Word key = 0;
  TShiftState shift;
  ShortCutToKey(shortCut, key, shift);
  TWinControl* control = TWinControl::FindControl(target);
  for (TControl* c = control; c != nullptr; c = c->Parent()) {
    TPopupMenu* popup = LivePopupOf(c);
    if (popup != nullptr && popup->FindItemByShortCut(shortCut) != nullptr) return popup->IsShortCut(key, shift);
  }
  TCustomForm* form = FormOfWindow(target);
  if (TMainMenu* menu = form != nullptr ? FormMenu(form) : nullptr; menu != nullptr && form->Enabled())
    return menu->IsShortCut(key, shift);
  return false;
}

bool IsMenuShortCut(HWND target, TShortCut shortCut) {
  if (shortCut == 0) return false;
  for (TControl* c = TWinControl::FindControl(target); c != nullptr; c = c->Parent())
    if (TPopupMenu* popup = LivePopupOf(c); popup != nullptr && popup->FindItemByShortCut(shortCut) != nullptr)
      return true;
  TCustomForm* form = FormOfWindow(target);
  TMainMenu* menu = form != nullptr ? FormMenu(form) : nullptr;
  return menu != nullptr && menu->FindItemByShortCut(shortCut) != nullptr;
}

// The control at a point of a window: the window's control or a windowless child under it.
TControl* ControlAt(HWND hwnd, POINT screen) {
  TWinControl* wc = TWinControl::FindControl(hwnd);
  if (wc == nullptr) return nullptr;
  POINT p = screen;
  ScreenToClient(hwnd, &p);
  if (TControl* child = wc->ControlAtPos(Point(p.X, p.Y), false, false)) return child;
  return wc;
}

void ShowControlPopup(TControl* control, POINT screen) {
  TPopupMenu* popup = LivePopupOf(control);
  if (popup == nullptr || !popup->AutoPopup() || !control->Enabled()) return;
  popup->SetPopupComponent(control);
  popup->Popup(screen.X, screen.Y);
}

// --- the hook and the tracker window

POINT MessageScreenPoint(const MSG& m) {
  if (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCMBUTTONDBLCLK)
    return POINT{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
  POINT p{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
  if (m.message == WM_MOUSEWHEEL) return p;
  ClientToScreen(m.hwnd, &p);
  return p;
}

void Redirect(MSG& m, UINT privateMsg) {
  Input& in = In();
  const WPARAM id = in.nextId++;
  in.saved[id] = m;
  // Forget what a loop took and never dispatched.
  while (in.saved.size() > 64) in.saved.erase(in.saved.begin());
  m.hwnd = in.window;
  m.message = privateMsg;
  m.wParam = id;
  m.lParam = 0;
}

bool IsMouseMessage(UINT msg) {
  return (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || (msg >= WM_NCMOUSEMOVE && msg <= WM_NCMBUTTONDBLCLK);
}

void Filter(MSG& m) {
  Input& in = In();
  if (m.hwnd == in.window || in.window == 0) return;
  const UINT msg = m.message;
  const bool keyDown = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
  const bool keyUp = msg == WM_KEYUP || msg == WM_SYSKEYUP;
  if (T().active) {
    if (keyDown) {
      Redirect(m, kMsgKey);
    } else if (keyUp || msg == WM_CHAR || msg == WM_SYSCHAR) {
      Redirect(m, kMsgEat);
    } else if (IsMouseMessage(msg)) {
      Redirect(m, kMsgMouse);
    }
    return;
  }
  if (keyDown) {
    const UINT vk = static_cast<UINT>(m.wParam);
    const bool repeat = (m.lParam & (1 << 30)) != 0;
    if (vk == VK_MENU) {
      if (!repeat) in.altPending = FormOfWindow(m.hwnd);
      return;
    }
    in.altPending = nullptr;
    if (vk == VK_SHIFT || vk == VK_CONTROL) return;
    const TShortCut sc = ShortCutFromKey(static_cast<Word>(vk));
    if (IsMenuShortCut(m.hwnd, sc)) {
      Redirect(m, kMsgShortCut);
      in.saved[m.wParam].wParam = sc;
      return;
    }
    TCustomForm* form = FormOfWindow(m.hwnd);
    const bool shift = GetKeyState(static_cast<int>(VK_SHIFT)) < 0;
    const bool ctrl = GetKeyState(static_cast<int>(VK_CONTROL)) < 0;
    const bool alt = (m.lParam & (1 << 29)) != 0 || GetKeyState(static_cast<int>(VK_MENU)) < 0;
    if ((vk == VK_APPS || (vk == VK_F10 && shift && !ctrl)) && TWinControl::FindControl(m.hwnd) != nullptr) {
      Redirect(m, kMsgContextKey);
      return;
    }
    if (form == nullptr || FormMenu(form) == nullptr) return;
    if (vk == VK_F10 && !shift && !ctrl && !alt) {
      Redirect(m, kMsgEnterBar);
      return;
    }
    if (alt && !ctrl && AccelKey(vk) != 0) {
      for (const BarItem& b : BarItems(form))
        if (IsMenuAccel(vk, b.item->Caption())) {
          Redirect(m, kMsgBarAccel);
          return;
        }
    }
    return;
  }
  if (keyUp && static_cast<UINT>(m.wParam) == VK_MENU) {
    TCustomForm* pending = in.altPending;
    in.altPending = nullptr;
    if (pending != nullptr && pending == FormOfWindow(m.hwnd) && FormMenu(pending) != nullptr) Redirect(m, kMsgEnterBar);
    return;
  }
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_NCLBUTTONDOWN) in.altPending = nullptr;
  if (msg == WM_RBUTTONUP) {
    // The control's own handling runs first; its pop-up menu opens after it.
    MSG copy = m;
    Redirect(copy, kMsgAutoPopup);
    PostMessage(in.window, kMsgAutoPopup, copy.wParam, 0);
  }
}

// Sent messages: the menu closes when the program, or the window that was active when it opened,
// loses the activation (another window or program came to the front).
LRESULT SentHookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && lParam != 0 && T().active) {
    const CWPSTRUCT& m = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    const bool appLost = m.message == WM_ACTIVATEAPP && m.wParam == 0;
    const bool windowLost = m.message == WM_ACTIVATE && LOWORD(m.wParam) == WA_INACTIVE && m.hwnd != 0 &&
                            m.hwnd == T().activeWindow;
    if (appLost || windowLost) PostMessage(In().window, kMsgEat, 0, 2);
  }
  return CallNextHookEx(In().sentHook, code, wParam, lParam);
}

LRESULT HookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE && lParam != 0) Filter(*reinterpret_cast<MSG*>(lParam));
  return CallNextHookEx(In().hook, code, wParam, lParam);
}

bool TakeSaved(WPARAM id, MSG& out) {
  Input& in = In();
  auto it = in.saved.find(id);
  if (it == in.saved.end()) return false;
  out = it->second;
  in.saved.erase(it);
  return true;
}

void HandleTrackerMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  MSG m;
  switch (msg) {
    case kMsgEat:
      if (lParam == 2) {
        // The activation went elsewhere.
        CloseAll();
      } else if (lParam == 1) {
        // A drop-down was destroyed from outside.
        Tracker& t = T();
        if (t.active) {
          for (Level& l : t.levels)
            if (l.window != 0 && !IsWindow(l.window)) l.window = 0;
          CloseAll();
        }
      } else {
        TakeSaved(wParam, m);
      }
      return;
    case kMsgKey:
      if (TakeSaved(wParam, m)) MenuKey(static_cast<UINT>(m.wParam));
      return;
    case kMsgMouse:
      if (TakeSaved(wParam, m)) {
        MouseKind kind = MouseKind::Move;
        switch (m.message) {
          case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: case WM_LBUTTONDBLCLK:
          case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK: case WM_NCLBUTTONDOWN: case WM_NCRBUTTONDOWN:
          case WM_NCMBUTTONDOWN: case WM_NCLBUTTONDBLCLK: case WM_NCRBUTTONDBLCLK: case WM_NCMBUTTONDBLCLK:
            kind = MouseKind::Down;
            break;
          case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: case WM_NCLBUTTONUP: case WM_NCRBUTTONUP:
          case WM_NCMBUTTONUP:
            kind = MouseKind::Up;
            break;
          case WM_MOUSEWHEEL: return;
          default: break;
        }
        MenuMouse(kind, MessageScreenPoint(m));
      }
      return;
    case kMsgShortCut:
      if (TakeSaved(wParam, m)) FireShortCut(m.hwnd, static_cast<TShortCut>(m.wParam));
      return;
    case kMsgEnterBar:
      if (TakeSaved(wParam, m)) {
        if (TCustomForm* form = FormOfWindow(m.hwnd); form != nullptr && StartBar(form)) RepaintBar();
      }
      return;
    case kMsgBarAccel:
      if (TakeSaved(wParam, m)) {
        TCustomForm* form = FormOfWindow(m.hwnd);
        if (form == nullptr) return;
        const auto items = BarItems(form);
        for (std::size_t i = 0; i < items.size(); ++i)
          if (IsMenuAccel(static_cast<unsigned>(m.wParam), items[i].item->Caption())) {
            OpenMenuBarItem(form, static_cast<int>(i));
            return;
          }
      }
      return;
    case kMsgAutoPopup:
      if (TakeSaved(wParam, m) && IsWindow(m.hwnd)) {
        const POINT screen = MessageScreenPoint(m);
        if (TControl* control = ControlAt(m.hwnd, screen)) ShowControlPopup(control, screen);
      }
      return;
    case kMsgContextKey:
      if (TakeSaved(wParam, m)) {
        TWinControl* control = TWinControl::FindControl(m.hwnd);
        if (control == nullptr) return;
        const TPoint origin = control->ClientToScreen(Point(0, 0));
        ShowControlPopup(control, POINT{origin.X + 4, origin.Y + 4});
      }
      return;
    default: return;
  }
}

// The hint of the selected item becomes the application's hint (a status line shows it).
void UpdateHint() {
  const Tracker& t = T();
  TMenuItem* item = nullptr;
  if (t.active && !t.levels.empty()) {
    const Level& top = t.levels.back();
    if (top.selected >= 0 && top.selected < static_cast<int>(top.items.size()))
      item = top.items[static_cast<std::size_t>(top.selected)];
  } else if (t.active && t.barForm != nullptr) {
    const auto items = BarItems(t.barForm);
    if (t.barIndex >= 0 && t.barIndex < static_cast<int>(items.size())) item = items[static_cast<std::size_t>(t.barIndex)].item;
  }
  if (item != nullptr || t.active) Application()->SetHint(item != nullptr ? item->Hint() : std::string());
}

LRESULT TrackerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= kMsgKey && msg <= kMsgEat) {
    try {
      const bool wasActive = T().active;
      HandleTrackerMessage(msg, wParam, lParam);
      if (T().active)
        UpdateHint();
      else if (wasActive)
        Application()->SetHint(std::string());
    } catch (...) {
      CloseAll();
      Application()->HandleException(nullptr);
    }
    return 0;
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

// --- the form's non-client bar

struct FormLink {
  TCustomForm* form = nullptr;
  std::function<void(TMessage&)> previous;
};

std::map<const TCustomForm*, std::weak_ptr<FormLink>>& FormLinks() {
  static std::map<const TCustomForm*, std::weak_ptr<FormLink>> links;
  return links;
}

void FormWindowProc(FormLink& link, TMessage& msg) {
  TCustomForm* form = link.form;
  if (FormMenu(form) == nullptr || form->ComponentState().Contains(TComponentStateFlag::csDestroying)) {
    link.previous(msg);
    return;
  }
  switch (msg.Msg) {
    case WM_NCCALCSIZE: {
      link.previous(msg);
      RECT* r = msg.WParam != 0 ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam)->rgrc[0]
                                : reinterpret_cast<RECT*>(msg.LParam);
      if (r != nullptr) r->Top = std::min(r->Top + TMainMenu::BarHeight(), r->Bottom);
      return;
    }
    case WM_NCPAINT:
      link.previous(msg);
      PaintMenuBar(form);
      return;
    case WM_NCHITTEST: {
      link.previous(msg);
      const POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
      if (InBar(form, p)) msg.Result = HTMENU;
      return;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (msg.WParam == static_cast<WPARAM>(HTMENU)) {
        const POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
        const int index = BarItemAt(form, p);
        if (index >= 0 && StartBar(form)) OpenBarIndex(index, false);
        return;
      }
      break;
    case WM_NCLBUTTONUP:
    case WM_NCMOUSEMOVE:
      if (msg.WParam == static_cast<WPARAM>(HTMENU)) return;
      break;
    default: break;
  }
  link.previous(msg);
}

}  // namespace

void EnsureMenuInput() {
  Input& in = In();
  if (IsTrackerWindow(in.window)) return;
  // A fresh window system: whatever was open went with the old one.
  Tracker& t = T();
  t.levels.clear();
  t.active = false;
  t.menu = nullptr;
  t.barForm = nullptr;
  in.saved.clear();
  in.altPending = nullptr;
  WNDCLASS existing;
  if (!GetClassInfo(0, kTrackerClass, &existing)) {
    WNDCLASS wc;
    wc.lpfnWndProc = TrackerProc;
    wc.lpszClassName = kTrackerClass;
    RegisterClass(wc);
  }
  in.window = CreateWindowEx(0, kTrackerClass, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, nullptr);
  in.hook = SetWindowsHookEx(WH_GETMESSAGE, std::function<LRESULT(int, WPARAM, LPARAM)>(HookProc));
  in.sentHook = SetWindowsHookEx(WH_CALLWNDPROC, std::function<LRESULT(int, WPARAM, LPARAM)>(SentHookProc));
}

void ItemGone(const TMenuItem* item) {
  Tracker& t = T();
  if (!t.active || t.changing) return;
  for (const Level& l : t.levels) {
    if (l.parent == item || std::find(l.items.begin(), l.items.end(), item) != l.items.end()) {
      CloseAll();
      return;
    }
  }
  if (t.menu != nullptr && item->GetParentMenu() == t.menu && item->Parent() == t.menu->Items()) CloseAll();
}

void MenuGone(const TMenu* menu) {
  if (T().active && T().menu == menu) CloseAll();
}

void MenuItemsChanged(TMenu* menu, bool rebuild) {
  Tracker& t = T();
  if (!t.active || t.menu != menu || t.changing) return;
  if (rebuild) {
    CloseAll();
    return;
  }
  for (const Level& l : t.levels) InvalidateLevel(l);
}

void OpenPopup(TPopupMenu* menu, int x, int y) {
  EnsureMenuInput();
  CloseAll();
  Tracker& t = T();
  t.active = true;
  t.menu = menu;
  t.barForm = nullptr;
  t.barIndex = -1;
  t.activeWindow = GetActiveWindow();
  Level probe;
  probe.items = VisibleItems(menu->Items());
  int w = 0, h = 0;
  MeasureLevel(probe, w, h);
  if (menu->Alignment() == TPopupAlignment::paRight) x -= w;
  if (menu->Alignment() == TPopupAlignment::paCenter) x -= w / 2;
  if (!OpenLevel(menu->Items(), Rect(x, y, x, y), false, false)) CloseAll();
}

void PopupCreated(const TPopupMenu* menu) { LivePopups().insert(menu); }

void PopupDestroyed(const TPopupMenu* menu) { LivePopups().erase(menu); }

TPopupMenu* LivePopupOf(const TControl* control) {
  TPopupMenu* popup = control->PopupMenu();
  return popup != nullptr && LivePopups().count(popup) != 0 ? popup : nullptr;
}

void PaintMenuBar(TCustomForm* form) {
  TMainMenu* menu = FormMenu(form);
  if (menu == nullptr || !form->HandleAllocated() || !IsWindowVisible(form->Handle())) return;
  const HWND hwnd = form->Handle();
  HDC dc = GetWindowDC(hwnd);
  if (dc == 0) return;
  {
    TCanvas canvas;
    canvas.SetHandle(dc);
    const TRect bar = BarRect(form);
    canvas.Brush()->SetColor(clMenu);
    canvas.FillRect(bar);
    const Tracker& t = T();
    const bool mine = t.active && t.barForm == form;
    const auto items = BarItems(form);
    UseMenuFont(canvas, false);
    for (std::size_t i = 0; i < items.size(); ++i) {
      const bool selected = mine && static_cast<int>(i) == t.barIndex;
      const TRect r = items[i].rect;
      if (selected) {
        canvas.Brush()->SetStyle(TBrushStyle::bsSolid);
        canvas.Brush()->SetColor(clHighlight);
        canvas.FillRect(r);
      }
      const TColor color = !items[i].item->Enabled() ? clGrayText : selected ? clHighlightText : clMenuText;
      DrawCaption(canvas, r.Left + kBarItemPadding, r.Top + (r.Height() - canvas.TextHeight("Wg")) / 2,
                  items[i].item->Caption(), color);
    }
    canvas.SetHandle(0);
  }
  ReleaseDC(hwnd, dc);
}

void HookFormWindow(TCustomForm* form) {
  auto& links = FormLinks();
  if (auto it = links.find(form); it != links.end() && !it->second.expired()) return;
  auto link = std::make_shared<FormLink>();
  link->form = form;
  if (form->WindowProc)
    link->previous = form->WindowProc;
  else
    link->previous = [form](TMessage& m) { form->WndProc(m); };
  form->WindowProc = [link](TMessage& m) { FormWindowProc(*link, m); };
  links[form] = link;
  // Drop entries of forms that are gone.
  for (auto it = links.begin(); it != links.end();) it = it->second.expired() ? links.erase(it) : std::next(it);
}

}  // namespace menus

void SetMenuHelpHandler(std::function<void(int helpContext)> handler) { menus::HelpHandler() = std::move(handler); }

bool IsMenuShortCutKey(HWND target, TShortCut shortcut) { return menus::IsMenuShortCut(target, shortcut); }

bool MenuActive() { return menus::T().active && menus::IsTrackerWindow(menus::In().window); }

void CloseMenus() { menus::CloseAll(); }

void OpenMenuBarItem(TCustomForm* form, int index) {
  menus::EnsureMenuInput();
  if (!menus::StartBar(form)) return;
  menus::OpenBarIndex(index, true);
}

TRect MenuBarItemRect(TCustomForm* form, int index) {
  if (form == nullptr || !form->HandleAllocated()) return {};
  const auto items = menus::BarItems(form);
  if (index < 0 || index >= static_cast<int>(items.size())) return {};
  RECT wr{};
  GetWindowRect(form->Handle(), &wr);
  TRect r = items[static_cast<std::size_t>(index)].rect;
  OffsetRect(r, wr.Left, wr.Top);
  return r;
}

HWND MenuLevelWindow(int level) {
  const auto& levels = menus::T().levels;
  if (!MenuActive() || level < 0 || level >= static_cast<int>(levels.size())) return 0;
  return levels[static_cast<std::size_t>(level)].window;
}

TRect MenuLevelItemRect(int level, int index) {
  const auto& levels = menus::T().levels;
  if (MenuLevelWindow(level) == 0) return {};
  const auto& l = levels[static_cast<std::size_t>(level)];
  if (index < 0 || index >= static_cast<int>(l.rects.size())) return {};
  return menus::LevelItemScreenRect(l, index);
}

int MenuLevelSelection(int level) {
  if (MenuLevelWindow(level) == 0) return -1;
  return menus::T().levels[static_cast<std::size_t>(level)].selected;
}

int MenuBarSelection() { return MenuActive() && menus::T().barForm != nullptr ? menus::T().barIndex : -1; }

}  // namespace tw
