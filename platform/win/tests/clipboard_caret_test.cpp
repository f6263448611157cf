// The clipboard (text and registered formats, opening rules) and the caret (inversion in the
// backing store, blinking on the clock, hidden while its window paints).
#include "platform/win/tests/winfixture.h"

#include "platform/gfx/graphics.h"

namespace tw::wintest {
namespace {

using ClipboardTest = WinTest;
using CaretTest = WinTest;

TEST_F(ClipboardTest, TextAndARegisteredFormatRoundTrip) {
  HWND a = Top();
  UINT rtf = RegisterClipboardFormat("Rich Text Format");
  EXPECT_GE(rtf, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormat("rich text format"), rtf);
  ASSERT_TRUE(OpenClipboard(a));
  EXPECT_FALSE(OpenClipboard(a));  // one opener at a time
  ASSERT_TRUE(EmptyClipboard());
  std::string text = "Gr\xFC\xDF" "e \x80 5";
  ASSERT_TRUE(SetClipboardData(CF_TEXT, text + '\0'));  // a terminating zero is not kept
  std::string rtfBytes("{\\rtf1 a\0b}", 11);           // other formats keep every byte
  ASSERT_TRUE(SetClipboardData(rtf, rtfBytes));
  ASSERT_TRUE(CloseClipboard());
  EXPECT_EQ(GetClipboardOwner(), a);

  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_TRUE(IsClipboardFormatAvailable(rtf));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
  EXPECT_EQ(GetClipboardData(CF_TEXT), "");  // closed: nothing to read
  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_EQ(GetClipboardData(CF_TEXT), text);
  EXPECT_EQ(GetClipboardData(rtf), rtfBytes);
  EXPECT_EQ(EnumClipboardFormats(0), CF_TEXT);
  EXPECT_EQ(EnumClipboardFormats(CF_TEXT), rtf);
  EXPECT_EQ(EnumClipboardFormats(rtf), 0u);
  char name[40];
  EXPECT_GT(GetClipboardFormatName(rtf, name, 40), 0);
  EXPECT_STREQ(name, "Rich Text Format");
  CloseClipboard();
}

TEST_F(ClipboardTest, ChangesNeedAnOpenClipboardAndEmptyingTellsTheOldOwner) {
  HWND a = Top(), b = Top(300, 0);
  EXPECT_FALSE(SetClipboardData(CF_TEXT, "x"));
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_FALSE(CloseClipboard());
  OpenClipboard(a);
  EmptyClipboard();
  SetClipboardData(CF_TEXT, "first");
  CloseClipboard();
  log.clear();
  OpenClipboard(b);
  EmptyClipboard();
  CloseClipboard();
  auto told = Of(WM_DESTROYCLIPBOARD);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].hwnd, a);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
  // A window that closes while holding the clipboard open releases it.
  OpenClipboard(b);
  DestroyWindow(b);
  EXPECT_TRUE(OpenClipboard(a));
  CloseClipboard();
}

TEST_F(CaretTest, CaretInvertsItsRectangleAndBlinksOnTheClock) {
  HWND a = Top(0, 0, 100, 50);
  ProcessMessages();
  SetFocus(a);
  const std::uint32_t white = 0xFFFFFFFF, black = 0xFF000000;
  ASSERT_EQ(GetWindowPixel(a, 10, 10), white);
  ASSERT_TRUE(CreateCaret(a, 0, 2, 12));
  SetCaretPos(10, 5);
  EXPECT_FALSE(CaretDrawn());  // created hidden
  ShowCaret(a);
  EXPECT_TRUE(CaretDrawn());
  EXPECT_EQ(GetWindowPixel(a, 10, 10), black);
  EXPECT_EQ(GetWindowPixel(a, 11, 16), black);
  EXPECT_EQ(GetWindowPixel(a, 12, 10), white);
  EXPECT_EQ(CaretRect(), Bounds(10, 5, 2, 12));
  // Blinking: off after the blink time, on again after another.
  AdvanceTime(GetCaretBlinkTime());
  ProcessMessages();
  EXPECT_FALSE(CaretDrawn());
  EXPECT_EQ(GetWindowPixel(a, 10, 10), white);
  AdvanceTime(GetCaretBlinkTime());
  ProcessMessages();
  EXPECT_TRUE(CaretDrawn());
  // Moving restores the pixels it leaves.
  SetCaretPos(50, 5);
  EXPECT_EQ(GetWindowPixel(a, 10, 10), white);
  EXPECT_EQ(GetWindowPixel(a, 50, 10), black);
  POINT p;
  ASSERT_TRUE(GetCaretPos(&p));
  EXPECT_EQ(p, Point(50, 5));
  // Hides are counted.
  HideCaret(a);
  HideCaret(a);
  ShowCaret(a);
  EXPECT_FALSE(CaretDrawn());
  ShowCaret(a);
  EXPECT_TRUE(CaretDrawn());
  DestroyCaret();
  EXPECT_EQ(GetWindowPixel(a, 50, 10), white);
  EXPECT_FALSE(ShowCaret(a));
}

// A bitmap caret inverts exactly the pixels of its picture that are not black; hiding it gives
// every pixel back.  The grey caret inverts every other pixel.
TEST_F(CaretTest, BitmapAndGreyCaretsInvertOnlyTheirShape) {
  HWND a = Top(0, 0, 100, 50);
  ProcessMessages();
  const std::uint32_t white = 0xFFFFFFFF, black = 0xFF000000;
  // A 5 x 4 picture: black, with a white diagonal and one red pixel.
  TBitmap picture;
  picture.SetSize(5, 4);
  TCanvas* canvas = picture.Canvas();
  canvas->Brush()->SetColor(clBlack);
  canvas->FillRect(Rect(0, 0, 5, 4));
  for (int i = 0; i < 4; ++i) canvas->SetPixel(i, i, clWhite);
  canvas->SetPixel(4, 0, clRed);

  ASSERT_TRUE(CreateCaret(a, picture));
  EXPECT_EQ(CaretRect(), Bounds(0, 0, 5, 4)) << "the picture's size";
  SetCaretPos(10, 20);
  ShowCaret(a);
  ASSERT_TRUE(CaretDrawn());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      const bool shape = x == y || (x == 4 && y == 0);
      EXPECT_EQ(GetWindowPixel(a, 10 + x, 20 + y), shape ? black : white) << x << "," << y;
    }
  EXPECT_EQ(GetWindowPixel(a, 15, 20), white) << "nothing beside the picture";
  HideCaret(a);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(GetWindowPixel(a, 10 + x, 20 + y), white) << x << "," << y;

  ASSERT_TRUE(CreateCaret(a, 1, 4, 4));
  SetCaretPos(30, 10);
  ShowCaret(a);
  EXPECT_EQ(GetWindowPixel(a, 30, 10), black);
  EXPECT_EQ(GetWindowPixel(a, 31, 10), white);
  EXPECT_EQ(GetWindowPixel(a, 31, 11), black);
  EXPECT_EQ(GetWindowPixel(a, 33, 12), white);
  DestroyCaret();
  EXPECT_EQ(GetWindowPixel(a, 30, 10), white);

  // An empty picture makes no caret.
  TBitmap empty;
  EXPECT_FALSE(CreateCaret(a, empty));
  EXPECT_EQ(CaretRect(), RECT{});
}

TEST_F(CaretTest, PaintingDoesNotLeaveOrLoseTheCaret) {
  HWND a = Top(0, 0, 100, 50);
  ProcessMessages();
  CreateCaret(a, 0, 1, 10);
  SetCaretPos(20, 5);
  ShowCaret(a);
  ASSERT_TRUE(CaretDrawn());
  bool drawnWhilePainting = true;
  handler = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    BeginPaint(h, &ps);
    drawnWhilePainting = CaretDrawn();
    EndPaint(h, &ps);
    return true;
  };
  InvalidateRect(a, nullptr, true);
  ProcessMessages();
  EXPECT_FALSE(drawnWhilePainting);
  EXPECT_TRUE(CaretDrawn());
  EXPECT_EQ(GetWindowPixel(a, 20, 7), 0xFF000000u);  // erased to white, caret inverted on top
  // Its window going away takes the caret with it.
  DestroyWindow(a);
  EXPECT_FALSE(CaretDrawn());
  EXPECT_FALSE(SetCaretPos(1, 1));
}

// A window painted beside the caret leaves it drawn all the while; one painted over its place,
// its own frame included, takes it away for the paint and draws it again on the new pixels.
TEST_F(CaretTest, OnlyAPaintOverTheCaretsPlaceTakesItAway) {
  HWND top = Top(0, 0, 300, 120);
  HWND field = Child(top, 10, 10, 100, 30);
  HWND beside = Child(top, 10, 50, 280, 60);
  HWND framed = Child(top, 105, 10, 60, 30, WS_CHILD | WS_VISIBLE | WS_BORDER);  // over the field's right end
  ProcessMessages();
  CreateCaret(field, 0, 2, 12);
  SetCaretPos(80, 4);
  ShowCaret(field);
  ASSERT_TRUE(CaretDrawn());
  std::vector<std::pair<HWND, bool>> painted;
  handler = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    BeginPaint(h, &ps);
    painted.emplace_back(h, CaretDrawn());
    EndPaint(h, &ps);
    return true;
  };
  InvalidateRect(beside, nullptr, true);
  ProcessMessages();
  ASSERT_EQ(painted.size(), 1u);
  EXPECT_TRUE(painted[0].second) << "a paint beside the caret took it away";
  EXPECT_TRUE(CaretDrawn());
  EXPECT_EQ(GetWindowPixel(field, 80, 8), 0xFF000000u);

  painted.clear();
  InvalidateRect(field, nullptr, true);
  ProcessMessages();
  ASSERT_EQ(painted.size(), 1u);
  EXPECT_FALSE(painted[0].second);
  EXPECT_TRUE(CaretDrawn());
  EXPECT_EQ(GetWindowPixel(field, 80, 8), 0xFF000000u);  // erased to white, caret inverted on top
  EXPECT_EQ(GetWindowPixel(field, 78, 8), 0xFFFFFFFFu);
  // Moved so that its second column lies under the framed window's border.
  SetCaretPos(94, 4);
  ASSERT_TRUE(CaretDrawn());
  painted.clear();
  RedrawWindow(framed, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  ProcessMessages();
  ASSERT_FALSE(painted.empty());
  EXPECT_FALSE(painted[0].second) << "the framed window's paint reaches the caret";
  EXPECT_TRUE(CaretDrawn());
}

}  // namespace
}  // namespace tw::wintest
