// Status bar panels and their painting, the track bar's keys and mouse, and the scroll bar's
// parts with its OnScroll steps.
#include "platform/forms/comctrls/scrollbar.h"
#include "platform/forms/comctrls/statusbar.h"
#include "platform/forms/comctrls/trackbar.h"

#include "comctrls_test_util.h"

namespace tw::test {
namespace {

std::uint32_t PixelRGB(HWND hwnd, int x, int y) { return GetWindowPixel(hwnd, x, y) & 0xFFFFFF; }
std::uint32_t Rgb(TColor c) {
  TColor rgb = ColorToRGB(c);
  return static_cast<std::uint32_t>((GetRValue(rgb) << 16) | (GetGValue(rgb) << 8) | GetBValue(rgb));
}

using BarTest = ComCtrlsTest;

TEST_F(BarTest, StatusBarLaysOutPanelsAndPaintsTextAndOwnerDrawnPanels) {
  auto* sb = new TStatusBar(form);
  sb->SetParent(form);
  EXPECT_EQ(sb->Align(), TAlign::alBottom);
  TStatusPanel* a = sb->Panels()->Add();
  a->SetWidth(80);
  a->SetText("Ready");
  TStatusPanel* b = sb->Panels()->Add();
  b->SetStyle(psOwnerDraw);
  b->SetWidth(60);
  std::vector<TRect> drawn;
  sb->OnDrawPanel = [&](TStatusBar* bar, TStatusPanel* panel, const TRect& r) {
    EXPECT_EQ(panel, b);
    drawn.push_back(r);
    bar->Canvas()->Brush()->SetColor(clRed);
    bar->Canvas()->FillRect(r);
  };
  ShowForm();
  EXPECT_EQ(sb->Width(), form->ClientWidth());
  EXPECT_EQ(sb->PanelRect(0), Rect(0, 2, 80, sb->ClientHeight()));
  // The last panel reaches the size grip.
  EXPECT_EQ(sb->PanelRect(1).Right, sb->ClientWidth() - 15);
  sb->Repaint();
  ASSERT_FALSE(drawn.empty());
  const TRect r = drawn.back();
  EXPECT_EQ(PixelRGB(sb->Handle(), r.Left + 3, r.Top + 3), Rgb(clRed));
  // Text is drawn inside the first panel: some pixel there differs from the face colour.
  bool ink = false;
  for (int x = 3; x < 40 && !ink; ++x)
    for (int y = 4; y < sb->ClientHeight() - 3 && !ink; ++y)
      ink = PixelRGB(sb->Handle(), x, y) != Rgb(clBtnFace);
  EXPECT_TRUE(ink);

  sb->SetSimplePanel(true);
  sb->SetSimpleText("Europe/Berlin");
  EXPECT_EQ(sb->PanelAt({100, 5}), 0);
  drawn.clear();
  sb->Repaint();
  EXPECT_TRUE(drawn.empty());
  EXPECT_THROW(sb->Panels()->Items(2), EListError);
}

TEST_F(BarTest, TrackBarKeysAndClicksMoveWithinTheRange) {
  auto* tb = new TTrackBar(form);
  tb->SetParent(form);
  tb->SetBounds(10, 10, 300, 45);
  tb->SetMax(300);
  tb->SetFrequency(10);
  tb->SetPageSize(10);
  tb->SetPosition(30);
  std::vector<int> changes;
  tb->OnChange = [&](TObject*) { changes.push_back(tb->Position()); };
  ShowForm();
  tb->SetFocus();
  Key(VK_RIGHT);
  Key(VK_UP);
  Key(VK_UP);
  Key(VK_NEXT);
  Key(VK_PRIOR);
  Key(VK_PRIOR);
  EXPECT_EQ(changes, (std::vector<int>{31, 30, 29, 39, 29, 19}));
  Key(VK_HOME);
  EXPECT_EQ(tb->Position(), 0);
  Key(VK_LEFT);
  EXPECT_EQ(tb->Position(), 0);  // stays in range without an event
  Key(VK_END);
  EXPECT_EQ(tb->Position(), 300);
  tb->SetMax(100);
  EXPECT_EQ(tb->Position(), 100);
  const int before = tb->Position();
  Click(tb, tb->PositionToPixel(20), tb->ThumbRect().Top + 2);
  EXPECT_EQ(tb->Position(), before - 10);  // a page towards the press
  TRect thumb = tb->ThumbRect();
  TPoint from = tb->ClientToScreen({(thumb.Left + thumb.Right) / 2, (thumb.Top + thumb.Bottom) / 2});
  TPoint to = tb->ClientToScreen({tb->PositionToPixel(50), (thumb.Top + thumb.Bottom) / 2});
  InjectMouseDown(from.X, from.Y);
  InjectMouseMove(to.X, to.Y);
  InjectMouseUp(to.X, to.Y);
  Pump();
  EXPECT_EQ(tb->Position(), 50);
}

TEST_F(BarTest, ScrollBarStepsReportTheirCodeAndMayBeCorrected) {
  auto* bar = new TScrollBar(form);
  bar->SetParent(form);
  bar->SetKind(sbVertical);
  bar->SetBounds(10, 10, 17, 200);
  bar->SetParams(0, 0, 100);
  bar->SetLargeChange(10);
  bar->SetPageSize(20);
  std::vector<std::string> steps;
  bar->OnScroll = [&](TObject*, TScrollCode code, int& pos) {
    steps.push_back(TwEnumNames(static_cast<const TScrollCode*>(nullptr)).NameOf(static_cast<int>(code)) + " " +
                    std::to_string(pos));
    if (code == scBottom) pos = 50;  // the handler has the last word
  };
  ShowForm();
  Click(bar, 8, 195);  // the lower arrow
  EXPECT_EQ(bar->Position(), 1);
  Click(bar, 8, 150);  // below the thumb: a page
  EXPECT_EQ(bar->Position(), 11);
  bar->SetFocus();
  Key(VK_END);
  EXPECT_EQ(bar->Position(), 50);
  EXPECT_EQ(steps.front(), "scLineDown 1");
  EXPECT_NE(std::find(steps.begin(), steps.end(), "scPageDown 11"), steps.end());
  bar->SetPosition(500);
  EXPECT_EQ(bar->Position(), 81);  // the last page starts at Max - PageSize + 1
  EXPECT_EQ(bar->ThumbRect().Bottom, 200 - 17);
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

using BarMoreTest = ComCtrlsTest;

TEST_F(BarMoreTest, TheSizeGripSizesOnlyASizeableForm) {
  auto* sb = new TStatusBar(form);
  sb->SetParent(form);
  ShowForm();
  TPoint corner = sb->ClientToScreen({sb->ClientWidth() - 3, sb->ClientHeight() - 3});
  const LPARAM at = static_cast<LPARAM>((static_cast<unsigned>(corner.Y) << 16) | static_cast<unsigned>(corner.X & 0xFFFF));
  const bool sizeable = (GetWindowLong(form->Handle(), GWL_STYLE) & WS_THICKFRAME) != 0;
  EXPECT_EQ(SendMessage(sb->Handle(), WM_NCHITTEST, 0, at) == HTBOTTOMRIGHT, sizeable);
  sb->SetSizeGrip(false);
  EXPECT_NE(SendMessage(sb->Handle(), WM_NCHITTEST, 0, at), HTBOTTOMRIGHT);
  EXPECT_EQ(sb->PanelRect(0), TRect{});  // no panels, no rectangle
}

TEST_F(BarMoreTest, DraggingTheThumbTracksThenEndsAtItsPosition) {
  auto* bar = new TScrollBar(form);
  bar->SetParent(form);
  bar->SetBounds(10, 10, 217, 17);
  bar->SetParams(0, 0, 100);
  std::vector<TScrollCode> codes;
  bar->OnScroll = [&](TObject*, TScrollCode code, int&) { codes.push_back(code); };
  ShowForm();
  const TRect thumb = bar->ThumbRect();
  TPoint from = bar->ClientToScreen({thumb.Left + 3, 8});
  TPoint to = bar->ClientToScreen({thumb.Left + 3 + 83, 8});  // half the thumb's room
  InjectMouseDown(from.X, from.Y);
  InjectMouseMove(to.X, to.Y);
  InjectMouseUp(to.X, to.Y);
  Pump();
  EXPECT_EQ(bar->Position(), 50);
  ASSERT_GE(codes.size(), 3u);
  EXPECT_EQ(codes.front(), scTrack);
  EXPECT_EQ(codes[codes.size() - 2], scPosition);
  EXPECT_EQ(codes.back(), scEndScroll);
}

}  // namespace
}  // namespace tw::test
