// Text layout of the entry fields: the vertical text offset, right alignment, the frame of the
// border styles, and the field's own right-click menu.
#include <gtest/gtest.h>

#include <memory>

#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "entry/fkstrings.h"
#include "entry/tests/entry_test_util.h"
#include "platform/forms/menus/menus.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

TEST(TextTopMarginRule, ThreeDStyleBordersAndTallFonts) {
  // A font that fits leaves the normal gap of one pixel inside a border, none without one.
  EXPECT_EQ(TextTopMargin(13, 13, true, 21, true, true), 1);
  EXPECT_EQ(TextTopMargin(13, 13, false, 21, true, true), 0);
  // A font as tall as the field moves the text up, by the parity rule without Ctl3D.
  EXPECT_EQ(TextTopMargin(20, 20, true, 21, true, true), (21 - 20 - 4) / 2 - 1);
  EXPECT_EQ(TextTopMargin(20, 20, true, 21, false, true), (21 - 20 - 4) / 2 - 1);
  EXPECT_EQ(TextTopMargin(19, 19, true, 22, false, true), (22 - 19 - 4) / 2 - 1);
  EXPECT_EQ(TextTopMargin(20, 20, false, 21, true, true), (21 - 20 - 2) / 2 - 1);
  // The smaller of the two heights decides whether the text fits.
  EXPECT_EQ(TextTopMargin(30, 13, true, 21, true, true), 1);
  // Flat controls centre the field font, less 2 (1 without a border) when it does not fit.
  EXPECT_EQ(TextTopMargin(13, 13, true, 21, true, false), 3);
  EXPECT_EQ(TextTopMargin(20, 20, true, 21, true, false), 0 - 2);
  EXPECT_EQ(TextTopMargin(20, 20, false, 21, true, false), 0 - 1);
}

class LayoutTest : public test::EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    form = NewFieldForm(300, 200);
    other = new TFkSimpleField(form);
    other->SetParent(form);
    other->SetTop(150);
  }
  TFkSimpleField* AddSimple(const std::string& text) {
    auto* f = new TFkSimpleField(form);
    f->SetParent(form);
    f->SetWidth(200);
    form->Show();
    Pump();
    f->SetAsString(text);
    return f;
  }
  // A dark pixel of the text (the text colour is black, the background white).
  static bool Ink(TWinControl* c, int x, int y) {
    const std::uint32_t p = Pixel(c, x, y);
    return ((p >> 16) & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80 && (p & 0xFF) < 0x80;
  }
  // The leftmost and rightmost columns that hold a pixel of the text, inside the frame.
  static std::pair<int, int> InkColumns(TWinControl* c) {
    int lo = -1, hi = -1;
    for (int x = 3; x < c->ClientWidth() - 3; ++x)
      for (int y = 3; y < c->ClientHeight() - 3; ++y)
        if (Ink(c, x, y)) {
          if (lo < 0) lo = x;
          hi = x;
          break;
        }
    return {lo, hi};
  }
  TForm* form = nullptr;
  TFkSimpleField* other = nullptr;
};

TEST_F(LayoutTest, RightAlignDrawsAShortTextAgainstTheRightEdgeAndMirrorsClicks) {
  auto* f = AddSimple("abc");
  f->Repaint();
  const auto [leftLo, leftHi] = InkColumns(f);
  ASSERT_GE(leftLo, 0);
  EXPECT_LT(leftLo, f->TextAreaLeft() + 3);
  EXPECT_FALSE(f->RightAlignedNow());

  f->SetRightAlign(true);
  f->Repaint();
  EXPECT_TRUE(f->RightAlignedNow());
  const auto [rightLo, rightHi] = InkColumns(f);
  EXPECT_GT(rightLo, f->ClientWidth() / 2);
  EXPECT_LE(rightHi, f->TextAreaRight());
  EXPECT_EQ(rightHi - rightLo, leftHi - leftLo) << "the same text, moved";

  // A click just right of the text's end is the end; far left of the text is its start.
  EXPECT_EQ(f->PositionAt(f->TextAreaRight() - 1), 3);
  EXPECT_EQ(f->PositionAt(f->TextAreaLeft() + 1), 0);

  // A text too wide for the field is laid out from the left.
  f->SetWidth(60);
  f->SetAsString(std::string(15, 'W'));
  f->Repaint();
  EXPECT_FALSE(f->RightAlignedNow());
}

TEST_F(LayoutTest, RightAlignedCaretStandsAfterTheTypedText) {
  auto* f = AddSimple("");
  f->SetRightAlign(true);
  f->SetFocus();
  Pump();
  Type("12");
  POINT caret{};
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_TRUE(f->RightAlignedNow());
  EXPECT_GE(caret.X, f->TextAreaRight() - 2);
  Press(VK_HOME);
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_LT(caret.X, f->TextAreaRight() - 6) << "the caret moved to the start of the right-aligned text";
}

TEST_F(LayoutTest, TextStandsAtTheTopMarginInsideTheFrame) {
  auto* f = AddSimple("H");
  f->SetAutoSize(false);
  f->SetHeight(40);
  f->Repaint();
  EXPECT_EQ(f->TopMargin(), 1);
  int top = -1;
  for (int y = f->FrameWidth(); y < f->ClientHeight() - f->FrameWidth() && top < 0; ++y)
    for (int x = 3; x < 30; ++x)
      if (Ink(f, x, y)) {
        top = y;
        break;
      }
  // The letter's top lies in the upper half, not centred in the tall field.
  ASSERT_GE(top, 0);
  EXPECT_GE(top, f->FrameWidth() + f->TopMargin());
  EXPECT_LT(top, f->ClientHeight() / 2 - 4);
}

TEST_F(LayoutTest, BorderStylesDrawTheirFrames) {
  auto* f = AddSimple("");
  f->SetColor(clWindow);
  f->Repaint();
  EXPECT_EQ(f->FrameWidth(), 2);
  EXPECT_EQ(Pixel(f, 0, 0), Rgb(clBtnShadow));
  f->SetCtl3D(false);
  Pump();
  f->Repaint();
  EXPECT_EQ(f->FrameWidth(), 1);
  EXPECT_EQ(Pixel(f, 0, 0), Rgb(clWindowFrame));
  EXPECT_EQ(Pixel(f, 1, 1), Rgb(clWindow));
  f->SetBorderStyle(TBorderStyle::bsNone);
  Pump();
  f->Repaint();
  EXPECT_EQ(f->FrameWidth(), 0);
  EXPECT_EQ(Pixel(f, 0, 0), Rgb(clWindow));
  EXPECT_EQ(f->TextAreaLeft(), f->TextMargin());
}

TEST_F(LayoutTest, ContextMenuItemsFollowTheFieldsState) {
  auto* f = AddSimple("hello");
  f->SetFocus();
  Pump();
  {
    std::unique_ptr<TPopupMenu> menu(f->CreateContextMenu());
    TMenuItem* items = menu->Items();
    ASSERT_EQ(items->Count(), 8);
    EXPECT_EQ(items->Items(0)->Caption(), "&Restore");
    EXPECT_FALSE(items->Items(0)->Enabled()) << "nothing to restore";
    EXPECT_TRUE(items->Items(1)->IsLine());
    EXPECT_TRUE(items->Items(2)->Enabled()) << "the text is selected on entry";
    EXPECT_FALSE(items->Items(7)->Enabled()) << "everything is selected already";
    items->Items(3)->Click();  // Copy
  }
  Press(VK_END);
  Type("!");
  {
    std::unique_ptr<TPopupMenu> menu(f->CreateContextMenu());
    TMenuItem* items = menu->Items();
    EXPECT_TRUE(items->Items(0)->Enabled());
    EXPECT_FALSE(items->Items(2)->Enabled()) << "no selection";
    EXPECT_FALSE(items->Items(5)->Enabled());
    EXPECT_TRUE(items->Items(4)->Enabled()) << "the clipboard holds the copied text";
    items->Items(7)->Click();  // Select All
    EXPECT_EQ(f->SelectionLength(), 6);
  }
  {
    std::unique_ptr<TPopupMenu> menu(f->CreateContextMenu());
    EXPECT_TRUE(menu->Items()->Items(5)->Enabled());
    menu->Items()->Items(5)->Click();  // Delete the selection
  }
  EXPECT_EQ(f->EditText(), "");
  {
    std::unique_ptr<TPopupMenu> menu(f->CreateContextMenu());
    menu->Items()->Items(4)->Click();  // Paste
    EXPECT_EQ(f->EditText(), "hello");
    menu->Items()->Items(0)->Click();  // Restore the text saved on entry
  }
  EXPECT_EQ(f->EditText(), "hello");
  EXPECT_FALSE(f->Modified());
}

TEST_F(LayoutTest, RightClickOpensTheMenuAndAKeyChoosesAnItem) {
  auto* f = AddSimple("abc");
  Pump();
  // Down selects Restore (disabled here), Down again Cut; Enter chooses it.
  DriveIdle({[] { InjectKey(VK_DOWN); }, [] { InjectKey(VK_DOWN); }, [] { InjectKey(VK_RETURN); }}, [] {
    CloseMenus();
    ADD_FAILURE() << "the field's menu did not end";
  });
  InjectClick(f->Handle(), 10, 5, MouseButton::Right);
  Pump();
  Application()->OnIdle = nullptr;
  EXPECT_FALSE(MenuActive());
  EXPECT_TRUE(f->Focused()) << "the click gave the field the focus";
  // Entering selected the text; the first enabled item, Cut, was chosen.
  EXPECT_EQ(f->EditText(), "");
  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_EQ(GetClipboardData(CF_TEXT), "abc");
  CloseClipboard();
}

TEST_F(LayoutTest, ReadOnlyFieldRefusesTheMenusDelete) {
  auto* f = AddSimple("abc");
  f->ReadOnly = true;
  f->SetFocus();
  Pump();
  std::unique_ptr<TPopupMenu> menu(f->CreateContextMenu());
  menu->Items()->Items(5)->Click();
  EXPECT_EQ(f->EditText(), "abc");
}

}  // namespace
}  // namespace tw::entry
