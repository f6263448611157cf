// What ends or steers a move and a resize besides the left button: keys, other buttons, a
// window that takes the mouse away, cancelled resizing, and presses on disabled buttons.
#include "toolbars_test_util.h"

namespace tw::toolbars::test {
namespace {

class MoveKeysTest : public ToolbarsTest {
 protected:
  // Presses on the bar's handle and moves to `to`, leaving the button down.
  void StartMove(TToolbarX* bar, TPoint to) {
    Press(Handle(bar));
    ASSERT_TRUE(bar->Moving());
    InjectMouseMove(to.X, to.Y);
    Pump();
  }
};

TEST_F(MoveKeysTest, EscapeCancelsAndCtrlTogglesDockingWithoutAMouseMove) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", top, 0, 0);
  const TRect fc = FormClient();
  // Over the bottom dock: it is the target until Ctrl goes down, and again once it is up.
  StartMove(bar, {fc.Left + 200, fc.Bottom - 1});
  EXPECT_EQ(bar->DragTarget(), bottom);
  InjectKeyDown(VK_CONTROL);
  Pump();
  EXPECT_EQ(bar->DragTarget(), nullptr);
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(bar->DragTarget(), bottom);

  // Esc ends the move where it is: no capture, the key reaches nobody, the release does nothing.
  int keysSeen = 0;
  form->SetKeyPreview(true);
  form->OnKeyDown = [&](TObject*, Word&, TShiftState) { ++keysSeen; };
  InjectKeyDown(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(bar->Moving());
  EXPECT_EQ(GetCapture(), 0u);
  EXPECT_EQ(keysSeen, 0);
  InjectKeyUp(VK_ESCAPE);
  InjectMouseUp(fc.Left + 200, fc.Bottom - 1);
  Pump();
  EXPECT_EQ(bar->DockedTo(), top);
  EXPECT_EQ(bottom->Height(), 0);
  // After the move keys are the focused control's again.
  InjectKey(VK_ESCAPE);
  Pump();
  EXPECT_EQ(keysSeen, 1);
}

TEST_F(MoveKeysTest, CtrlHeldAtTheReleaseFloatsTheBar) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", top, 0, 0);
  const TRect fc = FormClient();
  StartMove(bar, {fc.Left + 200, fc.Bottom - 1});
  InjectKeyDown(VK_CONTROL);
  InjectMouseUp(fc.Left + 200, fc.Bottom - 1);
  Pump();
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(bar->DockedTo(), nullptr);
  EXPECT_EQ(bar->Parent(), bar->FloatParent());
}

TEST_F(MoveKeysTest, OtherButtonsAndLostCaptureEndTheMove) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", top, 0, 0);
  const TRect fc = FormClient();
  const HWND fw = form->Handle();
  StartMove(bar, {fc.Left + 300, fc.Top + 200});
  const TRect outline = bar->DragRect();
  auto outlineShown = [&] {
    const int x = outline.Left - fc.Left, y = outline.Top - fc.Top + outline.Height() / 2;
    return PixelRGB(fw, x, y) != ToRGB(clBtnFace) || PixelRGB(fw, x, y + 1) != ToRGB(clBtnFace);
  };
  EXPECT_TRUE(outlineShown());
  // The middle button.
  bar->Perform(WM_MBUTTONDOWN, MK_LBUTTON | MK_MBUTTON, 0);
  EXPECT_FALSE(bar->Moving());
  EXPECT_FALSE(outlineShown());
  InjectMouseUp(fc.Left + 300, fc.Top + 200);
  Pump();
  EXPECT_EQ(bar->DockedTo(), top);

  // Another window takes the mouse.
  StartMove(bar, {fc.Left + 300, fc.Top + 200});
  SetCapture(fw);
  EXPECT_FALSE(bar->Moving());
  EXPECT_FALSE(outlineShown());
  ReleaseCapture();
  InjectMouseUp(fc.Left + 300, fc.Top + 200);
  Pump();
  EXPECT_EQ(bar->DockedTo(), top);
}

TEST_F(MoveKeysTest, ResizingFollowsTheMouseAndKeepsTheOppositeEdge) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", nullptr, 0, 0, 4);
  TFloatParent* fp = bar->FloatParent();
  const TRect before = fp->BoundsRect();
  const int oneLine = bar->Height();

  // Left edge: the bar re-wraps while the button is still down; the right edge stays.
  const TPoint leftEdge = fp->ClientToScreen({0, fp->Height() / 2});
  Press(leftEdge);
  ASSERT_TRUE(fp->Sizing());
  InjectMouseMove(leftEdge.X + 50, leftEdge.Y);
  Pump();
  EXPECT_GT(bar->Height(), oneLine);
  EXPECT_EQ(fp->BoundsRect().Right, before.Right);
  InjectMouseUp(leftEdge.X + 50, leftEdge.Y);
  Pump();
  EXPECT_FALSE(fp->Sizing());
  EXPECT_EQ(fp->BoundsRect().Right, before.Right);
  EXPECT_EQ(bar->FloatRect(), fp->BoundsRect());
  const int wrapped = bar->FloatRightX();
  EXPECT_GT(wrapped, 0);

  // Top edge, pulled up to one line again: the bottom stays.
  const TRect narrow = fp->BoundsRect();
  const TPoint topEdge = fp->ClientToScreen({fp->Width() / 2, 0});
  Drag(topEdge, {topEdge.X, narrow.Bottom - (oneLine + SmallCaptionHeight() + 2 * FrameHeight())});
  EXPECT_EQ(bar->Height(), oneLine);
  EXPECT_EQ(fp->BoundsRect().Bottom, narrow.Bottom);
  EXPECT_EQ(bar->FloatRightX(), 0);
}

TEST_F(MoveKeysTest, CancelledResizeRestoresTheBar) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", nullptr, 0, 0, 4);
  TFloatParent* fp = bar->FloatParent();
  const TRect before = fp->BoundsRect();
  const TSize barSize{bar->Width(), bar->Height()};
  const TPoint edge = fp->ClientToScreen({fp->Width() - 1, fp->Height() / 2});
  for (int how = 0; how < 2; ++how) {
    Press(edge);
    InjectMouseMove(edge.X - 50, edge.Y);
    Pump();
    ASSERT_GT(bar->Height(), barSize.cy);
    if (how == 0) fp->Perform(WM_CANCELMODE, 0, 0);
    else SetCapture(form->Handle());  // the mouse taken away
    EXPECT_FALSE(fp->Sizing());
    EXPECT_EQ(fp->BoundsRect(), before);
    EXPECT_EQ(bar->Width(), barSize.cx);
    EXPECT_EQ(bar->Height(), barSize.cy);
    EXPECT_EQ(bar->FloatRightX(), 0);
    ReleaseCapture();
    InjectMouseUp(edge.X - 50, edge.Y);
    Pump();
    EXPECT_EQ(bar->Height(), barSize.cy);
  }
}


TEST_F(MoveKeysTest, PressesOnADisabledButtonDoNotPickUpTheBar) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", top, 0, 0, 2);
  auto* b = static_cast<TToolbarButtonX*>(bar->Controls(0));
  b->SetEnabled(false);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  const TPoint p = b->ClientToScreen({b->Width() / 2, b->Height() / 2});
  Press(p);
  EXPECT_FALSE(bar->Moving());
  InjectMouseUp(p.X, p.Y);
  Pump();
  DoubleClick(p);
  EXPECT_EQ(bar->DockedTo(), top);
  EXPECT_EQ(clicks, 0);
  // The handle still moves it.
  const TPoint grip = Handle(bar);
  Press(grip);
  EXPECT_TRUE(bar->Moving());
  InjectMouseUp(grip.X, grip.Y);
  Pump();
  EXPECT_EQ(bar->DockedTo(), top);
}

}  // namespace
}  // namespace tw::toolbars::test
