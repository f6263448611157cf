// The caret follows the text at the cursor: its height the font there, its width the character
// under it in overwrite mode; it exists only while the editor has the focus and is not disabled.
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

class EditorCaret : public RichTextTest {
 protected:
  // The caret as the window system draws it (client pixels of its window).
  static RECT Drawn() { return CaretRect(); }
  void TypeIn(const std::string& text, int size) {
    TAttr a = E().CurAttr;
    a.Size = static_cast<std::uint8_t>(size);
    rt->SetCurrentAttr(a);
    rt->InputString(text);
    rt->Reformat();
  }
};

TEST_F(EditorCaret, TheHeightFollowsTheFontAtTheCursor) {
  TypeIn("small", 10);
  TypeIn("LARGE", 28);
  ASSERT_TRUE(rt->Caret().Created());
  rt->SetCursorPosition(2, 0, 0, 0);  // inside the 10-point text
  const int small = rt->Caret().Height();
  EXPECT_EQ(Drawn().Bottom - Drawn().Top, small);
  rt->SetCursorPosition(8, 0, 0, 0);  // inside the 28-point text
  const int large = rt->Caret().Height();
  EXPECT_GT(large, small * 2);
  EXPECT_EQ(Drawn().Bottom - Drawn().Top, large);
  EXPECT_EQ(rt->Caret().Width(), 1);
}

TEST_F(EditorCaret, OverwriteModeMakesItAsWideAsTheCharacterUnderIt) {
  TypeIn("Wi", 20);
  rt->SetCursorPosition(0, 0, 0, 0);
  Key(VK_INSERT);  // overwrite
  ASSERT_FALSE(rt->Inserting());
  const int wide = rt->Caret().Width();
  EXPECT_GT(wide, 5);
  EXPECT_EQ(Drawn().Right - Drawn().Left, wide);
  Key(VK_RIGHT);  // on the narrow "i"
  EXPECT_LT(rt->Caret().Width(), wide);
  Key(VK_INSERT);  // insert mode again: a thin caret
  EXPECT_EQ(rt->Caret().Width(), 1);
  EXPECT_EQ(Drawn().Right - Drawn().Left, 1);
}

TEST_F(EditorCaret, OnlyAFocusedEnabledEditorHoldsTheCaret) {
  TypeIn("text", 10);
  EXPECT_TRUE(rt->Caret().Created());
  auto* other = new TRiRichText(form);
  other->SetParent(form);
  other->SetBounds(0, 0, 100, 50);
  other->SetFocus();
  Pump();
  EXPECT_FALSE(rt->Caret().Created());
  EXPECT_TRUE(other->Caret().Created());
  rt->SetFocus();
  Pump();
  EXPECT_TRUE(rt->Caret().Created());
  rt->SetCaretDisabled(true);
  EXPECT_FALSE(rt->Caret().Created());
  EXPECT_EQ(Drawn().Right - Drawn().Left, 0);
  rt->SetCursorPosition(1, 0, 0, 0);  // moving the cursor does not bring it back
  EXPECT_FALSE(rt->Caret().Created());
  rt->SetCaretDisabled(false);
  EXPECT_TRUE(rt->Caret().Created());
}

}  // namespace
}  // namespace tw::richtext::testing
