#include <gtest/gtest.h>

#include "entry/fkpicturefield.h"
#include "entry/tests/entry_test_util.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

class DisplayTest : public test::EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    form = NewFieldForm(300, 200);
    other = new TFkPictureField(form);
    other->SetParent(form);
    other->SetTop(100);
  }
  TFkPictureField* Add(T type, const std::string& mask) {
    auto* f = new TFkPictureField(form);
    f->SetParent(form);
    f->SetDataType(type);
    f->SetPictureMask(mask);
    return f;
  }
  void Show() {
    form->Show();
    Pump();
  }
  TForm* form = nullptr;
  TFkPictureField* other = nullptr;
};

TEST_F(DisplayTest, ZeroDisplayHidesZeroAwayFromTheFocus) {
  auto* f = Add(T::pftLongInt, "iiiii");
  f->ZeroDisplay = TZeroDisplay::zdHide;
  Show();
  f->SetAsString("0");
  EXPECT_EQ(f->GetDisplayText(), "     ");
  f->SetFocus();
  Pump();
  EXPECT_EQ(f->GetDisplayText(), "0    ");
  f->SetAsString("7");
  other->SetFocus();
  Pump();
  EXPECT_EQ(f->GetDisplayText(), "7    ");
}

TEST_F(DisplayTest, HideUntilModifiedShowsTheValueAfterAnEdit) {
  auto* f = Add(T::pftLongInt, "iiiii");
  f->ZeroDisplay = TZeroDisplay::zdHideUntilModified;
  Show();
  f->SetAsString("0");
  EXPECT_EQ(f->GetDisplayText(), "     ");
  f->SetFocus();
  Pump();
  Press(VK_END);
  Type("0");
  Press(VK_BACK);
  other->SetFocus();
  Pump();
  EXPECT_EQ(f->GetDisplayText(), "0    ");
}

TEST_F(DisplayTest, PadPasswordAndUninitialized) {
  auto* f = Add(T::pftString, "(XXX)");
  f->SetMaxLength(5);
  f->SetAsString("ab");
  f->PadChar = '_';
  EXPECT_EQ(f->GetDisplayText(), "(ab_)");
  f->SetPasswordMode(true);
  EXPECT_EQ(f->GetDisplayText(), "(**_)");
  f->SetPasswordChar('\0');
  EXPECT_FALSE(f->PasswordMode());
  f->Uninitialized = true;
  EXPECT_EQ(f->GetDisplayText(), "     ");
}

TEST_F(DisplayTest, AutoSizeFollowsTheFontUntilTheHeightIsSet) {
  auto* f = Add(T::pftString, "XXXX");
  Show();
  const int small = f->Height();
  f->Font()->SetSize(20);
  Pump();
  EXPECT_GT(f->Height(), small);
  f->SetHeight(40);
  EXPECT_FALSE(f->AutoSize());
  f->Font()->SetSize(8);
  Pump();
  EXPECT_EQ(f->Height(), 40);
}

// A height given before the field has its window is kept when the window is made.
TEST_F(DisplayTest, AHeightSetBeforeTheWindowExistsIsKept) {
  auto* f = Add(T::pftString, "XXXX");
  auto* g = Add(T::pftString, "XXXX");
  g->SetTop(50);
  f->SetHeight(40);
  EXPECT_FALSE(f->AutoSize());
  Show();
  EXPECT_EQ(f->Height(), 40);
  EXPECT_TRUE(g->AutoSize()) << "a field given no height follows its font";
  EXPECT_NE(g->Height(), 25);
}

TEST_F(DisplayTest, InvalidFieldPaintsInTheErrorColours) {
  auto* f = Add(T::pftDate, "mm/dd/yyyy");
  f->SoftValidation = true;
  f->SetColor(clWindow);
  Show();
  f->Repaint();
  EXPECT_EQ(Pixel(f, f->Width() - 4, f->Height() - 4), Rgb(clWindow));
  f->SetFocus();
  Pump();
  Type("13");
  other->SetFocus();
  Pump();
  ASSERT_FALSE(f->IsValid());
  f->Repaint();
  EXPECT_EQ(Pixel(f, f->Width() - 4, f->Height() - 4), Rgb(f->ErrorColors()->BackColor()));
  f->ErrorColors()->SetBackColor(clYellow);
  EXPECT_FALSE(f->ErrorColors()->UseDefault());
  f->Repaint();
  EXPECT_EQ(Pixel(f, f->Width() - 4, f->Height() - 4), Rgb(clYellow));
}

}  // namespace
}  // namespace tw::entry
