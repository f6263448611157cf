#include <gtest/gtest.h>

#include <vector>

#include "entry/fkattachedbutton.h"
#include "entry/fkexcept.h"
#include "entry/fkpicturefield.h"
#include "entry/fkspinner.h"
#include "entry/tests/entry_test_util.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/win/winapi.h"

namespace tw::entry {
namespace {

class AttachedButtonTest : public test::EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    form = NewForm(300, 200);
    new TFkController(form);
    field = new TFkPictureField(form);
    field->SetParent(form);
    field->SetAutoSize(false);
    field->SetBounds(20, 30, 100, 25);
    button = new TFkAttachedButton(form);
    button->SetName("btnCal");
    button->SetParent(form);
    form->Show();
    Pump();
  }
  TForm* form = nullptr;
  TFkPictureField* field = nullptr;
  TFkAttachedButton* button = nullptr;
};

TEST_F(AttachedButtonTest, FollowsTheControlOnEverySide) {
  EXPECT_EQ(button->Width(), 21);
  button->SetAttachedControl(field);
  EXPECT_EQ(button->BoundsRect(), Rect(121, 30, 142, 55));
  field->SetBounds(40, 60, 80, 30);
  Pump();
  EXPECT_EQ(button->BoundsRect(), Rect(121, 60, 142, 90));
  button->SetPosition(TButtonPosition::bpTop);
  EXPECT_EQ(button->BoundsRect(), Rect(40, 29, 120, 59)) << "the control's width, the button's own height";
  button->SetSeparation(3);
  button->SetPosition(TButtonPosition::bpLeft);
  EXPECT_EQ(button->Left(), 40 - 80 - 3);
}

TEST_F(AttachedButtonTest, TwoWayMovesTheControlWithoutBouncing) {
  button->SetAttachedControl(field);
  button->SetAttachTwoWay(true);
  button->SetBounds(200, 100, 21, 25);
  Pump();
  EXPECT_EQ(field->Left(), 200 - 100 - 1);
  EXPECT_EQ(field->Top(), 100);
  EXPECT_EQ(button->Left(), 200) << "the control's move does not move the button again";
}

TEST_F(AttachedButtonTest, OneAttachmentPerControlAndFreedControls) {
  button->SetAttachedControl(field);
  auto* second = new TFkAttachedButton(form);
  second->SetParent(form);
  try {
    second->SetAttachedControl(field);
    FAIL() << "a second attachment must be refused";
  } catch (const EFkException& e) {
    EXPECT_EQ(e.Message(), "This control is already attached to btnCal");
  }
  EXPECT_EQ(second->AttachedControl(), nullptr);
  // A refused attachment leaves the button's present one in place.
  auto* own = new TFkPictureField(form);
  own->SetParent(form);
  own->SetTop(120);
  second->SetAttachedControl(own);
  EXPECT_THROW(second->SetAttachedControl(field), EFkException);
  EXPECT_EQ(second->AttachedControl(), own);
  own->SetLeft(50);
  Pump();
  EXPECT_EQ(second->Left(), 50 + own->Width() + 1) << "still following its control";
  auto* spin = new TFkSpinner(form);
  spin->SetParent(form);
  EXPECT_THROW(spin->SetAttachedControl(field), EFkException);
  field->RecreateWnd();
  field->SetLeft(10);
  Pump();
  EXPECT_EQ(button->Left(), 111) << "the attachment survives a new window";
  delete field;
  EXPECT_EQ(button->AttachedControl(), nullptr);
  button->SetPosition(TButtonPosition::bpBottom);
}

// A control a spinner serves takes no button beside it, and a spinner freed first lets one in.
TEST_F(AttachedButtonTest, AControlServedByASpinnerRefusesAButton) {
  auto* spin = new TFkSpinner(form);
  spin->SetName("spnDate");
  spin->SetParent(form);
  spin->SetAttachedControl(field);
  try {
    button->SetAttachedControl(field);
    FAIL() << "the control already has a spinner";
  } catch (const EFkException& e) {
    EXPECT_EQ(e.Message(), "This control is already attached to spnDate");
  }
  EXPECT_EQ(button->AttachedControl(), nullptr);
  field->SetLeft(40);
  Pump();
  EXPECT_EQ(field->Left(), 40) << "the control still answers its own messages";
  delete spin;
  button->SetAttachedControl(field);
  EXPECT_EQ(button->AttachedControl(), field);
  auto* late = new TFkSpinner(form);
  late->SetParent(form);
  EXPECT_THROW(late->SetAttachedControl(field), EFkException) << "and the button keeps it";
}

TEST_F(AttachedButtonTest, ClickReachesOnClick) {
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  InjectClick(button->Handle(), 5, 5);
  Pump();
  EXPECT_EQ(clicks, 1);
}

TEST_F(AttachedButtonTest, SpaceAndEnterClickTheFocusedButton) {
  // A default button on the form must not take the Enter meant for the attached button.
  auto* ok = new TButton(form);
  ok->SetParent(form);
  ok->SetBounds(20, 120, 80, 25);
  ok->SetDefault(true);
  int okClicks = 0;
  ok->OnClick = [&](TObject*) { ++okClicks; };
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  button->SetAttachedControl(field);
  field->SetFocus();
  Pump();
  // The button's pixels, as the form shows them.
  auto pixels = [&] {
    std::vector<std::uint32_t> all;
    for (int y = 0; y < button->Height(); ++y)
      for (int x = 0; x < button->Width(); ++x)
        all.push_back(GetWindowPixel(form->Handle(), button->Left() + x, button->Top() + y));
    return all;
  };
  const std::vector<std::uint32_t> unfocused = pixels();
  Press(VK_TAB);
  ASSERT_TRUE(button->Focused()) << "Tab reaches the button";
  EXPECT_NE(pixels(), unfocused) << "the focused button shows a focus mark";
  Press(VK_SPACE);
  EXPECT_EQ(clicks, 1) << "Space pressed and released";
  Press(VK_RETURN);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(okClicks, 0);
  // Space pressed on the button and released after the focus went elsewhere is no click.
  InjectKeyDown(VK_SPACE);
  Pump();
  field->SetFocus();
  Pump();
  InjectKeyUp(VK_SPACE);
  Pump();
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(pixels(), unfocused) << "the mark goes with the focus";
}

}  // namespace
}  // namespace tw::entry

namespace tw::entry {
namespace {

TEST_F(AttachedButtonTest, TwoButtonsGivenOneControlBeforeItHasAWindow) {
  // Both attachments are taken before there is a window to ask; only the first hooks the
  // control, so freeing them in any order leaves the control a working message procedure.
  TForm* other = NewForm(300, 200);
  new TFkController(other);
  auto* f = new TFkPictureField(other);
  f->SetParent(other);
  auto* b1 = new TFkAttachedButton(other);
  b1->SetName("first");
  b1->SetParent(other);
  auto* b2 = new TFkAttachedButton(other);
  b2->SetParent(other);
  ASSERT_FALSE(f->HandleAllocated());
  b1->SetAttachedControl(f);
  b2->SetAttachedControl(f);
  other->Show();
  Pump();
  EXPECT_EQ(f->Perform(FK_ATTACHQUERY, 0, 0), reinterpret_cast<LRESULT>(b1));
  delete b1;
  f->SetBounds(10, 10, 90, 25);
  f->SetFocus();
  Pump();
  delete b2;
  f->SetBounds(10, 40, 90, 25);
  Type("ab");
  EXPECT_EQ(f->Left(), 10);
  delete other;
  Pump();
}

}  // namespace
}  // namespace tw::entry
