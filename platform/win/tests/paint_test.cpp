// Painting: invalidation and the paint cycle, pixels in the backing store, clipping between
// parents and children, non-client frames, scrolling pixels.
#include <cstring>
#include <filesystem>

#include "platform/win/tests/winfixture.h"

namespace tw::wintest {
namespace {

using PaintTest = WinTest;

constexpr std::uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

void Fill(HDC dc, RECT r, double red, double green, double blue) {
  cairo_t* cr = DCCairo(dc);
  ASSERT_NE(cr, nullptr);
  cairo_set_source_rgb(cr, red, green, blue);
  cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
  cairo_fill(cr);
}

TEST_F(PaintTest, InvalidationBringsOneWmPaintWithTheUpdateAreaAndPixelsLand) {
  HWND a = Top(10, 10, 100, 80);
  std::vector<RECT> painted;
  handler = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    painted.push_back(ps.rcPaint);
    Fill(dc, Bounds(0, 0, 100, 80), 1, 0, 0);  // clipped to the update area
    EndPaint(h, &ps);
    return true;
  };
  ProcessMessages();
  ASSERT_EQ(painted.size(), 1u);
  EXPECT_EQ(painted[0], Bounds(0, 0, 100, 80));
  EXPECT_EQ(GetWindowPixel(a, 50, 40), kRed);

  // Paint blue into a corner only; the rest stays red.
  handler = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    painted.push_back(ps.rcPaint);
    Fill(dc, Bounds(0, 0, 100, 80), 0, 0, 1);
    EndPaint(h, &ps);
    return true;
  };
  RECT corner = Bounds(0, 0, 10, 10), other = Bounds(5, 5, 10, 10);
  InvalidateRect(a, &corner, false);
  InvalidateRect(a, &other, false);  // merged into one WM_PAINT
  ProcessMessages();
  ASSERT_EQ(painted.size(), 2u);
  EXPECT_EQ(painted[1], Bounds(0, 0, 15, 15));
  EXPECT_EQ(GetWindowPixel(a, 2, 2), kBlue);
  EXPECT_EQ(GetWindowPixel(a, 50, 40), kRed);
  EXPECT_EQ(Of(WM_PAINT).size(), 2u);
}

TEST_F(PaintTest, PaintComesAfterPostedMessagesAndBeforeTimers) {
  HWND a = Top();
  ProcessMessages();
  SetTimer(a, 1, 10, nullptr);
  AdvanceTime(20);
  InvalidateRect(a, nullptr, true);
  PostMessage(a, WM_USER, 0, 0);
  log.clear();
  ProcessMessages();
  EXPECT_EQ(Sequence(a, {WM_USER, WM_PAINT, WM_TIMER}),
            (std::vector<UINT>{WM_USER, WM_PAINT, WM_TIMER}));
}

TEST_F(PaintTest, DefaultPaintErasesWithTheClassBrush) {
  HWND a = Top(0, 0, 50, 50);
  ProcessMessages();
  EXPECT_EQ(GetWindowPixel(a, 10, 10), kWhite);  // COLOR_WINDOW of the classic palette
  EXPECT_FALSE(Of(WM_ERASEBKGND).empty());
}

TEST_F(PaintTest, WindowThatNeverValidatesDoesNotSpinTheQueue) {
  HWND a = Top();
  handler = [&](HWND, UINT m, WPARAM, LPARAM, LRESULT&) { return m == WM_PAINT; };  // no BeginPaint
  ProcessMessages();
  EXPECT_EQ(Of(WM_PAINT).size(), 1u);
  MSG m;
  EXPECT_FALSE(PeekMessage(&m, a, 0, 0, PM_NOREMOVE));
}

TEST_F(PaintTest, ParentsPaintBeforeChildrenAndChildrenAreRepaintedOverThem) {
  HWND parent = Top(0, 0, 100, 100);
  HWND child = Child(parent, 20, 20, 30, 30);
  handler = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (h == parent) Fill(dc, Bounds(0, 0, 100, 100), 1, 0, 0);
    else Fill(dc, Bounds(0, 0, 30, 30), 0, 0, 1);
    EndPaint(h, &ps);
    return true;
  };
  ProcessMessages();
  auto paints = Of(WM_PAINT);
  ASSERT_EQ(paints.size(), 2u);
  EXPECT_EQ(paints[0].hwnd, parent);
  EXPECT_EQ(paints[1].hwnd, child);
  EXPECT_EQ(GetWindowPixel(parent, 25, 25), kBlue);
  EXPECT_EQ(GetWindowPixel(parent, 5, 5), kRed);
  EXPECT_EQ(GetWindowPixel(child, 0, 0), kBlue);

  // Invalidating the parent (no WS_CLIPCHILDREN) repaints the child over it again.
  log.clear();
  InvalidateRect(parent, nullptr, true);
  ProcessMessages();
  EXPECT_EQ(Of(WM_PAINT).size(), 2u);
  EXPECT_EQ(GetWindowPixel(parent, 25, 25), kBlue);

  // With WS_CLIPCHILDREN the parent cannot paint over the child and leaves it alone.
  SetWindowLongPtr(parent, GWL_STYLE, GetWindowLongPtr(parent, GWL_STYLE) | WS_CLIPCHILDREN);
  log.clear();
  InvalidateRect(parent, nullptr, true);
  ProcessMessages();
  auto again = Of(WM_PAINT);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].hwnd, parent);
  EXPECT_EQ(GetWindowPixel(parent, 25, 25), kBlue);
}

TEST_F(PaintTest, HidingAndMovingAChildRepaintsWhatWasUnderIt) {
  HWND parent = Top(0, 0, 100, 100);
  HWND child = Child(parent, 10, 10, 20, 20);
  ProcessMessages();
  log.clear();
  ShowWindow(child, SW_HIDE);
  ProcessMessages();
  auto paints = Of(WM_PAINT);
  ASSERT_EQ(paints.size(), 1u);
  EXPECT_EQ(paints[0].hwnd, parent);
  log.clear();
  ShowWindow(child, SW_SHOW);
  MoveWindow(child, 50, 50, 20, 20, true);
  ProcessMessages();
  EXPECT_EQ(Of(WM_PAINT).size(), 2u);
  EXPECT_FALSE(Of(WM_MOVE).empty());
}

TEST_F(PaintTest, UpdateWindowPaintsAtOnce) {
  HWND a = Top();
  UpdateWindow(a);
  EXPECT_EQ(Of(WM_PAINT).size(), 1u);
  MSG m;
  EXPECT_FALSE(PeekMessage(&m, 0, WM_PAINT, WM_PAINT, PM_NOREMOVE));
  // Hidden windows are not painted.
  ShowWindow(a, SW_HIDE);
  InvalidateRect(a, nullptr, true);
  UpdateWindow(a);
  EXPECT_EQ(Of(WM_PAINT).size(), 1u);
}

TEST_F(PaintTest, CaptionWindowHasClassicFrameAndClientOffsets) {
  HWND a = Top(50, 60, 300, 200, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  RECT wr, cr;
  ASSERT_TRUE(GetWindowRect(a, &wr));
  ASSERT_TRUE(GetClientRect(a, &cr));
  EXPECT_EQ(wr, Bounds(50, 60, 300, 200));
  EXPECT_EQ(cr, Bounds(0, 0, 300 - 8, 200 - 23 - 4));
  POINT p{0, 0};
  ClientToScreen(a, &p);
  EXPECT_EQ(p, Point(54, 83));
  RECT adj = Bounds(0, 0, 100, 100);
  AdjustWindowRectEx(&adj, WS_CAPTION | WS_SYSMENU, false, 0);
  EXPECT_EQ(adj, Rect(-3, -22, 103, 103));
  ProcessMessages();
  EXPECT_FALSE(Of(WM_NCPAINT).empty());
  // The caption is drawn in the active caption colour.
  cairo_surface_t* s = WindowSurface(a);
  ASSERT_NE(s, nullptr);
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  std::uint32_t px;
  std::memcpy(&px, data + 10 * cairo_image_surface_get_stride(s) + 150 * 4, 4);
  TColor caption = ColorToRGB(clActiveCaption);
  EXPECT_EQ(px & 0xFFFFFF, static_cast<std::uint32_t>((GetRValue(caption) << 16) | (GetGValue(caption) << 8) | GetBValue(caption)));
}

TEST_F(PaintTest, ScrollWindowMovesPixelsAndInvalidatesTheUncoveredBand) {
  HWND a = Top(0, 0, 100, 100);
  ProcessMessages();
  HDC dc = GetDC(a);
  Fill(dc, Bounds(0, 0, 100, 10), 1, 0, 0);  // a red band at the top
  ReleaseDC(a, dc);
  ValidateRect(a, nullptr);
  ScrollWindow(a, 0, 30, nullptr, nullptr);
  EXPECT_EQ(GetWindowPixel(a, 50, 35), kRed);  // moved down by 30
  RECT u;
  ASSERT_TRUE(GetUpdateRect(a, &u, false));
  EXPECT_EQ(u, Bounds(0, 0, 100, 30));
}

TEST_F(PaintTest, ScrollDcMovesPixelsOfAChildAndReportsTheUncoveredBand) {
  HWND top = Top(0, 0, 120, 120);
  HWND view = Child(top, 10, 10, 100, 100);
  ProcessMessages();
  HDC dc = GetDC(view);
  Fill(dc, Bounds(0, 50, 100, 10), 1, 0, 0);  // a red band at y 50..59
  RECT whole = Bounds(0, 0, 100, 100), update;
  ASSERT_TRUE(ScrollDC(dc, 0, -20, &whole, &whole, &update));
  ReleaseDC(view, dc);
  EXPECT_EQ(update, Rect(0, 80, 100, 100));
  EXPECT_EQ(GetWindowPixel(view, 50, 35), kRed);   // moved up by 20
  EXPECT_EQ(GetWindowPixel(view, 50, 55), kWhite);
  dc = GetDC(view);
  ScrollDC(dc, 0, -35, &whole, &whole, nullptr);  // the band would land above the child
  ReleaseDC(view, dc);
  EXPECT_EQ(GetWindowPixel(view, 50, 0), kRed);
  EXPECT_EQ(GetWindowPixel(top, 60, 5), kWhite);  // nothing spilled outside the child
  EXPECT_FALSE(ScrollDC(0x7777, 0, 1, nullptr, nullptr, nullptr));
}

TEST_F(PaintTest, ScrollBarsTakeTheClientAreaAndReportPressesAndThumbDrags) {
  HWND a = Top(0, 0, 116, 116, WS_POPUP | WS_VISIBLE | WS_VSCROLL);
  RECT cr;
  GetClientRect(a, &cr);
  EXPECT_EQ(cr, Bounds(0, 0, 100, 116));
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 500;  // beyond the end: limited to max - page + 1
  EXPECT_EQ(SetScrollInfo(a, SB_VERT, &si, true), 90);
  SetScrollPos(a, SB_VERT, 0, true);
  ProcessMessages();
  log.clear();
  InjectClick(a, 108, 5);  // the up arrow: client x 108 lies on the bar, right of the client area
  InjectMouseDown(108, 110);            // the down arrow
  InjectMouseUp(108, 110);
  ProcessMessages();
  auto codes = Of(WM_VSCROLL);
  ASSERT_EQ(codes.size(), 4u);
  EXPECT_EQ(LOWORD(codes[0].wParam), SB_LINEUP);
  EXPECT_EQ(LOWORD(codes[1].wParam), SB_ENDSCROLL);
  EXPECT_EQ(LOWORD(codes[2].wParam), SB_LINEDOWN);
  // Drag the thumb (at the top of the track) half way down.
  log.clear();
  InjectMouseDown(108, 18);
  InjectMouseMove(108, 18 + 42);
  InjectMouseUp(108, 18 + 42);
  ProcessMessages();
  codes = Of(WM_VSCROLL);
  ASSERT_GE(codes.size(), 3u);
  EXPECT_EQ(LOWORD(codes[0].wParam), SB_THUMBTRACK);
  EXPECT_EQ(LOWORD(codes[codes.size() - 2].wParam), SB_THUMBPOSITION);
  int released = HIWORD(codes[codes.size() - 2].wParam);
  EXPECT_GT(released, 40);
  EXPECT_LT(released, 55);
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(PaintTest, GetDcOfAChildIsClippedToItsClientArea) {
  HWND parent = Top(0, 0, 100, 100);
  HWND child = Child(parent, 10, 10, 20, 20);
  ProcessMessages();
  HDC dc = GetDC(child);
  Fill(dc, Bounds(-50, -50, 200, 200), 0, 0, 1);
  ReleaseDC(child, dc);
  EXPECT_EQ(GetWindowPixel(parent, 15, 15), kBlue);
  EXPECT_EQ(GetWindowPixel(parent, 5, 5), kWhite);
  EXPECT_EQ(GetWindowPixel(parent, 35, 35), kWhite);
  EXPECT_EQ(ReleaseDC(child, dc), 0);  // released once only
  EXPECT_EQ(DCCairo(dc), nullptr);
}

TEST_F(PaintTest, SaveWindowPngWritesAPictureOfTheWindow) {
  HWND a = Top(0, 0, 64, 48);
  HWND child = Child(a, 4, 4, 10, 10);
  ProcessMessages();
  auto dir = std::filesystem::temp_directory_path();
  auto top = dir / "tw_win_top.png", part = dir / "tw_win_child.png";
  ASSERT_TRUE(SaveWindowPng(a, top.string()));
  ASSERT_TRUE(SaveWindowPng(child, part.string()));
  cairo_surface_t* img = cairo_image_surface_create_from_png(top.c_str());
  EXPECT_EQ(cairo_image_surface_get_width(img), 64);
  cairo_surface_destroy(img);
  img = cairo_image_surface_create_from_png(part.c_str());
  EXPECT_EQ(cairo_image_surface_get_width(img), 10);
  cairo_surface_destroy(img);
  std::filesystem::remove(top);
  std::filesystem::remove(part);
  EXPECT_FALSE(SaveWindowPng(0x7777, (dir / "none.png").string()));
}

}  // namespace
}  // namespace tw::wintest
