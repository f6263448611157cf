// Scroll bars outside the editor scroll its view and follow it.
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using ExternScrollBars = RichTextTest;

TEST_F(ExternScrollBars, TheVerticalBarScrollsTheViewAndFollowsIt) {
  auto* bar = new TScrollBar(form);
  bar->SetParent(form);
  bar->SetKind(TScrollBarKind::sbVertical);
  rt->SetExternVerScrollBar(bar);
  std::string text;
  for (int i = 0; i < 60; ++i) text += "line " + std::to_string(i) + "\r";
  rt->InputString(text);
  rt->Reformat();
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

}  // namespace
}  // namespace tw::richtext::testing
