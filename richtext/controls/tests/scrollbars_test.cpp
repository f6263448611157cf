// Scroll bars outside the editor scroll its view and follow it.
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

class ExternScrollBars : public RichTextTest {};

TEST_F(ExternScrollBars, TheVerticalBarScrollsTheViewAndFollowsIt) {
  auto* bar = new TScrollBar(form);
  bar->SetParent(form);
  bar->SetKind(TScrollBarKind::sbVertical);
  rt->SetExternVerScrollBar(bar);
  FillLines(60);
  rt->SetCursorPos(0);
  EXPECT_EQ(E().VertOffset(), 0);
  int pos = 500;
  ASSERT_TRUE(bar->OnScroll);
  bar->OnScroll(bar, scPosition, pos);
  const int range = E().DocumentHeight - E().WindowHeight();
  ASSERT_GT(range, 0);
  EXPECT_NEAR(E().VertOffset(), range / 2, 20);
  EXPECT_NEAR(bar->Position(), 500, 20);
  // Given up, the bar no longer scrolls the view; freed, it leaves no link behind.
  rt->SetExternVerScrollBar(nullptr);
  const int offset = E().VertOffset();
  EXPECT_FALSE(bar->OnScroll);
  EXPECT_EQ(E().VertOffset(), offset);
  rt->SetExternVerScrollBar(bar);
  delete bar;
  EXPECT_EQ(rt->ExternVerScrollBar(), nullptr);
  rt->SetCursorPos(0);
}

using EditorScrollBars = ExternScrollBars;

TEST_F(EditorScrollBars, ADocumentThatFitsAgainIsShownFromItsTop) {
  rt->SetWordWrap(true);
  rt->SetScrollBars(TScrollStyle::ssBoth);
  FillLines(60);
  ASSERT_GT(E().VertOffset(), 0);  // the cursor at the end scrolled the view
  int low = 0, high = 0;
  GetScrollRange(rt->Handle(), SB_VERT, &low, &high);
  EXPECT_EQ(high, 1000);
  auto styled = [this](DWORD bit) { return (GetWindowLong(rt->Handle(), GWL_STYLE) & bit) != 0; };
  // The vertical bar shows; the wrapped text needs no horizontal one.
  EXPECT_TRUE(styled(WS_VSCROLL));
  EXPECT_FALSE(styled(WS_HSCROLL));
  EXPECT_LT(rt->GetClientRect().Width(), 480);
  // Everything but the first lines goes: the view may not stay scrolled into nothing.
  E().SelectRange(20, 100000);
  rt->DeleteSelection();
  rt->Reformat();
  EXPECT_LE(E().DocumentHeight, E().WindowHeight());
  EXPECT_EQ(E().VertOffset(), 0);
  GetScrollRange(rt->Handle(), SB_VERT, &low, &high);
  EXPECT_EQ(high, 0);
  EXPECT_FALSE(styled(WS_VSCROLL));
  EXPECT_EQ(rt->GetClientRect().Width(), 480 - 2);  // inside the single border
  // Long lines without wrapping need the horizontal bar; ssNone takes both away.
  rt->SetWordWrap(false);
  rt->InputString(std::string(300, 'w'));
  rt->Reformat();
  EXPECT_TRUE(styled(WS_HSCROLL));
  rt->SetScrollBars(TScrollStyle::ssNone);
  EXPECT_FALSE(styled(WS_HSCROLL));
  EXPECT_FALSE(styled(WS_VSCROLL));
}

TEST_F(EditorScrollBars, TheWheelScrollsTheViewAndLeavesTheCursor) {
  rt->SetWordWrap(true);
  rt->SetScrollBars(TScrollStyle::ssVertical);
  FillLines(60);
  rt->SetCursorPos(0);
  ASSERT_EQ(E().VertOffset(), 0);
  TPoint p{100, 100};
  ClientToScreen(rt->Handle(), &p);
  InjectMouseWheel(p.X, p.Y, -2 * WHEEL_DELTA);
  Pump();
  EXPECT_EQ(E().VertOffset(), 96);
  EXPECT_GT(GetScrollPos(rt->Handle(), SB_VERT), 0);
  InjectMouseWheel(p.X, p.Y, 60);  // half a notch waits for the other half
  Pump();
  EXPECT_EQ(E().VertOffset(), 96);
  InjectMouseWheel(p.X, p.Y, 60);
  Pump();
  EXPECT_EQ(E().VertOffset(), 48);
  EXPECT_EQ(rt->CursorPosition(), 0);
}

}  // namespace
}  // namespace tw::richtext::testing
