// Moving toolbars with the mouse between docks and the floating state.
#include "toolbars_test_util.h"

namespace tw::toolbars::test {
namespace {

class DragTest : public ToolbarsTest {};

TEST_F(DragTest, DragsFromTopToBottomToFloatingAndBack) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar1", top, 0, 0);
  ASSERT_EQ(bar->DockedTo(), top);
  ASSERT_EQ(top->Height(), 26);

  // Down into the bottom dock: it takes the bar, the top dock empties.
  const TRect formClient = FormClient();
  Drag(Handle(bar), {formClient.Left + 200, formClient.Bottom - 1});
  EXPECT_EQ(bar->DockedTo(), bottom);
  EXPECT_EQ(bar->Parent(), bottom);
  EXPECT_EQ(top->Height(), 0);
  EXPECT_EQ(bottom->Height(), 26);
  EXPECT_TRUE(top->Toolbars().empty());

  // Out into the middle of the form: it floats in its tool window.
  Drag(Handle(bar), {formClient.Left + 300, formClient.Top + 200});
  EXPECT_EQ(bar->DockedTo(), nullptr);
  EXPECT_EQ(bar->Parent(), bar->FloatParent());
  EXPECT_TRUE(bar->FloatParent()->HandleAllocated());
  EXPECT_NE(GetWindowLongPtr(bar->FloatParent()->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_TRUE(IsWindowVisible(bar->FloatParent()->Handle()));
  EXPECT_EQ(bottom->Height(), 0);

  // By its caption back to the top edge.
  Drag(CaptionPoint(bar), {formClient.Left + 50, formClient.Top});
  EXPECT_EQ(bar->DockedTo(), top);
  EXPECT_FALSE(IsWindowVisible(bar->FloatParent()->Handle()));
  EXPECT_TRUE(IsWindowVisible(bar->Handle()));
  EXPECT_EQ(top->Height(), 26);
}

}  // namespace
}  // namespace tw::toolbars::test

namespace tw::toolbars::test {
namespace {

TEST_F(DragTest, BarPlacedOnTheFormMovesFromItsOwnPlace) {
  MakeForm();
  auto* bar = new TToolbarX(form);
  bar->SetName("OnForm");
  bar->SetParent(form);
  bar->SetBounds(200, 150, bar->Width(), bar->Height());
  Pump();
  const TRect own = ScreenRect(bar);
  const TPoint at{own.Left + 2, own.Top + own.Height() / 2};
  Press(at);
  ASSERT_TRUE(bar->Moving());
  EXPECT_EQ(bar->DragRect(), own);
  const TRect fc = FormClient();
  InjectMouseMove(fc.Left + 50, fc.Top);
  InjectMouseUp(fc.Left + 50, fc.Top);
  Pump();
  EXPECT_EQ(bar->DockedTo(), top);
}

TEST_F(DragTest, SideDocksOnlyWhenAllowedAndCtrlNeverDocks) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar1", top, 0, 0);
  const TRect fc = FormClient();
  bar->SetCanDockLeftRight(false);
  Drag(Handle(bar), {fc.Left, fc.Top + 200});
  EXPECT_EQ(bar->DockedTo(), nullptr);  // floats instead of docking left

  bar->SetCanDockLeftRight(true);
  Drag(CaptionPoint(bar), {fc.Left, fc.Top + 200});
  EXPECT_EQ(bar->DockedTo(), left);
  EXPECT_EQ(bar->ToolbarType(), kVertical);
  EXPECT_EQ(left->Width(), bar->Width());

  // With Ctrl held the bar passes over the top dock and floats.
  InjectKeyDown(VK_CONTROL);
  Drag(Handle(bar), {fc.Left + 300, fc.Top});
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(bar->DockedTo(), nullptr);
}

TEST_F(DragTest, DropNearTheTopOfTheFirstRowMakesANewRow) {
  MakeForm();
  TToolbarX* a = NewBar("A", top, 0, 0);
  TToolbarX* b = NewBar("B", bottom, 0, 0);
  const TRect ta = ScreenRect(a);
  // B's middle lands 2 pixels below the top dock's upper edge.
  const TPoint grip = Handle(b);
  const TRect rb = ScreenRect(b);
  const int middleOffset = grip.Y - (rb.Top + rb.Height() / 2);
  Drag(grip, {ta.Left + 150, ta.Top + 2 + middleOffset});
  ASSERT_EQ(b->DockedTo(), top);
  EXPECT_EQ(b->DockRow(), 0);
  EXPECT_EQ(a->DockRow(), 1);
  EXPECT_EQ(top->Height(), 52);
  EXPECT_EQ(b->Top(), 0);
}

TEST_F(DragTest, DragAlongTheRowMovesThePosition) {
  MakeForm();
  TToolbarX* a = NewBar("A", top, 0, 0);
  const TPoint grip = Handle(a);
  Drag(grip, {grip.X + 120, grip.Y});
  EXPECT_EQ(a->DockedTo(), top);
  EXPECT_EQ(a->DockPos(), 120);
  EXPECT_EQ(a->Left(), 120);
}

TEST_F(DragTest, DoubleClicksFloatAndDockAtTheRowStart) {
  MakeForm();
  TToolbarX* other = NewBar("Other", top, 0, 0);
  TToolbarX* bar = NewBar("Bar", top, 0, 200);
  bar->SetDefaultDock(top);
  DoubleClick(Handle(bar));
  ASSERT_EQ(bar->DockedTo(), nullptr);
  DoubleClick(CaptionPoint(bar));
  EXPECT_EQ(bar->DockedTo(), top);
  EXPECT_EQ(bar->DockRow(), 0);
  EXPECT_EQ(bar->Left(), 0);
  EXPECT_EQ(other->Left(), bar->Width());
}

TEST_F(DragTest, AClickOnTheHandleOrCaptionLeavesTheBarWhereItIs) {
  MakeForm();
  TToolbarX* bar = NewBar("Side", left, 0, 0);
  bar->SetDefaultDock(left);
  const TRect docked = ScreenRect(bar);
  auto click = [](TPoint p) {
    Press(p);
    InjectMouseUp(p.X, p.Y);
    Pump();
  };
  click(Handle(bar));
  EXPECT_EQ(bar->DockedTo(), left);
  EXPECT_EQ(ScreenRect(bar), docked);
  EXPECT_EQ(top->Height(), 0);

  DoubleClick(Handle(bar));
  ASSERT_EQ(bar->DockedTo(), nullptr);
  const TRect floating = bar->FloatParent()->BoundsRect();
  click(CaptionPoint(bar));
  EXPECT_EQ(bar->DockedTo(), nullptr);
  EXPECT_EQ(bar->FloatParent()->BoundsRect(), floating);

  DoubleClick(CaptionPoint(bar));
  ASSERT_EQ(bar->DockedTo(), left);
  // Ctrl held at the release floats the bar, moved or not.
  InjectKeyDown(VK_CONTROL);
  click(Handle(bar));
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(bar->DockedTo(), nullptr);
}

TEST_F(DragTest, AFloatedBarAppearsWhereItWasDocked) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", top, 0, 200);
  const TPoint was = bar->ClientOrigin();
  DoubleClick(Handle(bar));
  Pump();
  ASSERT_EQ(bar->DockedTo(), nullptr);
  const TRect w = bar->FloatParent()->BoundsRect();
  RECT real{};
  GetWindowRect(bar->FloatParent()->Handle(), &real);
  EXPECT_EQ(real, w);
  EXPECT_NEAR(w.Left + FrameWidth(), was.X, 2);
  EXPECT_NEAR(w.Top, was.Y, 2);
}

TEST_F(DragTest, FloatingBarDraggedOffScreenComesBack) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", nullptr, 0, 0);
  const TSize screen = Display().ScreenSize();
  Drag(CaptionPoint(bar), {screen.cx - 2, screen.cy - 2});
  const TRect w = bar->FloatParent()->BoundsRect();
  EXPECT_LE(w.Right, screen.cx);
  EXPECT_LE(w.Bottom, screen.cy);
  EXPECT_GE(w.Left, 0);
  Drag(CaptionPoint(bar), {1, 1});
  EXPECT_GE(bar->FloatParent()->Left(), 0);
  EXPECT_GE(bar->FloatParent()->Top(), 0);
}

TEST_F(DragTest, ReleasedButtonOrCancelModeEndsTheMove) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", top, 0, 0);
  const TPoint grip = Handle(bar);
  InjectMouseDown(grip.X, grip.Y);
  Pump();
  EXPECT_TRUE(bar->Moving());
  EXPECT_EQ(GetCapture(), bar->Handle());
  // Over the middle of the form the floating outline is drawn there, by inversion.
  const TRect fc = FormClient();
  InjectMouseMove(fc.Left + 300, fc.Top + 200);
  Pump();
  ASSERT_EQ(bar->DragTarget(), nullptr);
  const TRect outline = bar->DragRect();
  const HWND fw = form->Handle();
  auto changed = [&] {
    const int y = outline.Top - fc.Top + outline.Height() / 2;
    const int x = outline.Left - fc.Left;
    return PixelRGB(fw, x, y) != ToRGB(clBtnFace) || PixelRGB(fw, x, y + 1) != ToRGB(clBtnFace);
  };
  EXPECT_TRUE(changed());
  bar->Perform(WM_CANCELMODE, 0, 0);
  EXPECT_FALSE(changed());
  EXPECT_FALSE(bar->Moving());
  EXPECT_EQ(GetCapture(), 0u);
  InjectMouseUp(grip.X, grip.Y + 200);
  Pump();
  EXPECT_EQ(bar->DockedTo(), top);
}

TEST_F(DragTest, CloseButtonHidesTheBarAndFiresOnClose) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", nullptr, 0, 0);
  int closed = 0;
  bar->OnClose = [&](TObject*) { ++closed; };
  TFloatParent* fp = bar->FloatParent();
  const TRect b = fp->CloseButtonRect();
  const TPoint at = CloseBoxPoint(bar);
  // Pressed, then the mouse taken by another window: released without effect.
  Press(at);
  ASSERT_TRUE(fp->CloseDown());
  SetCapture(form->Handle());
  EXPECT_FALSE(fp->CloseDown());
  ReleaseCapture();
  InjectMouseUp(at.X, at.Y);
  Pump();
  EXPECT_TRUE(bar->Visible());
  // Pressed, moved off (released elsewhere): nothing.
  Press(at);
  EXPECT_TRUE(fp->CloseDown());
  InjectMouseMove(at.X - 40, at.Y);
  Pump();
  EXPECT_FALSE(fp->CloseDown());
  InjectMouseUp(at.X - 40, at.Y);
  Pump();
  EXPECT_TRUE(bar->Visible());
  InjectMouseDown(at.X, at.Y);
  InjectMouseUp(at.X, at.Y);
  Pump();
  EXPECT_FALSE(bar->Visible());
  EXPECT_FALSE(IsWindowVisible(fp->Handle()));
  EXPECT_EQ(closed, 1);
  // Without a close button the caption has none to press.
  bar->Show();
  bar->SetCloseButton(false);
  EXPECT_NE(fp->HitTest({(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2}), TFloatHit::Close);
}

TEST_F(DragTest, SizingAFloatingBarRewrapsIt) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", nullptr, 0, 0, 4);
  TFloatParent* fp = bar->FloatParent();
  const int oneLine = bar->Height();
  const TPoint edge = fp->ClientToScreen({fp->Width() - 1, fp->Height() / 2});
  Drag(edge, {edge.X - 50, edge.Y});
  EXPECT_GT(bar->Height(), oneLine);
  EXPECT_LT(bar->Width(), 4 + 4 * 23 + 4);
  EXPECT_EQ(fp->Width(), bar->Width() + 2 * FrameWidth());
  EXPECT_FALSE(fp->Sizing());
}

TEST_F(DragTest, LongCaptionIsCutWithAnEllipsis) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", nullptr, 0, 0, 1);
  bar->SetCaption(std::string(40, 'W'));
  EXPECT_EQ(bar->FloatParent()->Caption(), std::string(40, 'W'));
  Pump();
  const std::string& drawn = bar->FloatParent()->DrawnCaption();
  ASSERT_GE(drawn.size(), 5u);
  EXPECT_EQ(drawn.substr(drawn.size() - 3), "...");
  EXPECT_LT(drawn.size(), 40u);
  TBitmap bmp;
  bmp.SetSize(10, 10);
  EXPECT_EQ(FitCaption(*bmp.Canvas(), "Tools", 200), "Tools");
  EXPECT_EQ(FitCaption(*bmp.Canvas(), "A long caption", 1), "A ...");  // five characters stay
}

TEST_F(DragTest, FloatingBarsFollowTheFormsMinimising) {
  MakeForm();
  TToolbarX* bar = NewBar("Bar", nullptr, 0, 0);
  Application()->ActivateChanged(true);
  Pump();
  ASSERT_TRUE(IsWindowVisible(bar->FloatParent()->Handle()));
  form->SetWindowState(TWindowState::wsMinimized);
  Pump();
  EXPECT_FALSE(IsWindowVisible(bar->FloatParent()->Handle()));
  form->SetWindowState(TWindowState::wsNormal);
  Pump();
  EXPECT_TRUE(IsWindowVisible(bar->FloatParent()->Handle()));
  Application()->ActivateChanged(false);
  Pump();
  EXPECT_FALSE(IsWindowVisible(bar->FloatParent()->Handle()));
}

}  // namespace
}  // namespace tw::toolbars::test
