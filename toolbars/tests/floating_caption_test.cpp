// The floating window's caption: its colours follow the owner form's activation, which a floating
// bar never takes from the form; the close box is drawn only when the bar has one, and the title
// travels with the bar's caption.
#include <cairo.h>

#include <cstring>

#include "toolbars_test_util.h"

namespace tw::toolbars::test {
namespace {

class FloatingCaptionTest : public ToolbarsTest {
 protected:
  std::uint32_t CaptionPixel(TFloatParent* fp, int x) {
    return PixelRGB(fp->Handle(), x, FrameHeight() + 1);
  }
  // A pixel of the form's own caption, as the window system drew it.
  std::uint32_t FormCaptionPixel() {
    Pump();
    cairo_surface_t* s = WindowSurface(form->Handle());
    if (s == nullptr) return 0;
    cairo_surface_flush(s);
    std::uint32_t px = 0;
    std::memcpy(&px, cairo_image_surface_get_data(s) + 10 * cairo_image_surface_get_stride(s) + 150 * 4, 4);
    return px & 0xFFFFFF;
  }
};

TEST_F(FloatingCaptionTest, CaptionColoursFollowTheFormsActivation) {
  MakeForm();
  TToolbarX* bar = NewBar("Tools", nullptr, 0, 0);
  TFloatParent* fp = bar->FloatParent();
  SetActiveWindow(form->Handle());
  Pump();
  EXPECT_TRUE(fp->CaptionActive());
  fp->Repaint();
  EXPECT_EQ(CaptionPixel(fp, FrameWidth() + 1), ToRGB(clActiveCaption));

  auto* other = new TForm(Application());
  other->SetBounds(400, 400, 200, 150);
  other->Show();
  SetActiveWindow(other->Handle());
  Pump();
  EXPECT_FALSE(fp->CaptionActive());
  fp->Repaint();
  EXPECT_EQ(CaptionPixel(fp, FrameWidth() + 1), ToRGB(clInactiveCaption));

  SetActiveWindow(form->Handle());
  Pump();
  EXPECT_TRUE(fp->CaptionActive());
}

TEST_F(FloatingCaptionTest, FloatingAndClickingABarLeaveTheFormActive) {
  MakeForm();
  auto* field = new TCustomControl(form);
  field->SetParent(form);
  field->SetBounds(200, 200, 100, 20);
  TToolbarX* bar = NewBar("Tools", top, 0, 0);
  field->SetFocus();
  Pump();
  ASSERT_EQ(GetActiveWindow(), form->Handle());
  ASSERT_EQ(FormCaptionPixel(), ToRGB(clActiveCaption));
  auto formKeepsTheKeys = [&](const char* after) {
    EXPECT_EQ(GetActiveWindow(), form->Handle()) << after;
    EXPECT_EQ(GetFocus(), field->Handle()) << after;
    EXPECT_EQ(FormCaptionPixel(), ToRGB(clActiveCaption)) << after;
    EXPECT_TRUE(bar->FloatParent()->CaptionActive()) << after;
  };

  // Dragged off the dock, the bar floats beside the form, which stays active.
  const TRect fc = FormClient();
  Drag(Handle(bar), {fc.Left + 300, fc.Top + 200});
  ASSERT_EQ(bar->DockedTo(), nullptr);
  ASSERT_TRUE(IsWindowVisible(bar->FloatParent()->Handle()));
  formKeepsTheKeys("floating");
  const TPoint caption = CaptionPoint(bar);
  Press(caption);
  InjectMouseUp(caption.X, caption.Y);
  Pump();
  formKeepsTheKeys("a click on the caption");

  // The floating window made active (a control of its bar taking the keys) keeps the form's
  // caption active; another window of the program takes it from both.
  SetActiveWindow(bar->FloatParent()->Handle());
  Pump();
  EXPECT_EQ(FormCaptionPixel(), ToRGB(clActiveCaption));
  EXPECT_TRUE(bar->FloatParent()->CaptionActive());
  auto* other = new TForm(Application());
  other->SetBounds(400, 400, 200, 150);
  other->Show();
  Pump();
  ASSERT_EQ(GetActiveWindow(), other->Handle());
  EXPECT_EQ(FormCaptionPixel(), ToRGB(clInactiveCaption));
  EXPECT_FALSE(bar->FloatParent()->CaptionActive());
}

TEST_F(FloatingCaptionTest, CloseBoxIsDrawnOnlyWithACloseButton) {
  MakeForm();
  TToolbarX* bar = NewBar("Tools", nullptr, 0, 0);
  TFloatParent* fp = bar->FloatParent();
  const TRect box = fp->CloseButtonRect();
  fp->Repaint();
  const std::uint32_t caption = CaptionPixel(fp, FrameWidth() + 1);
  // The box has the button face and its edge.
  EXPECT_EQ(PixelRGB(fp->Handle(), box.Left + 2, box.Top + 2), ToRGB(clBtnFace));
  EXPECT_NE(PixelRGB(fp->Handle(), box.Left + 2, box.Top + 2), caption);
  bar->SetCloseButton(false);
  fp->Repaint();
  EXPECT_EQ(PixelRGB(fp->Handle(), box.Left + 2, box.Top + 2), caption);
  // Without the box the caption has more room for the text.
  bar->SetCaption(std::string(60, 'x'));
  Pump();
  const std::size_t without = fp->DrawnCaption().size();
  bar->SetCloseButton(true);
  fp->Repaint();
  EXPECT_LT(fp->DrawnCaption().size(), without);
  EXPECT_EQ(fp->Caption(), std::string(60, 'x'));
}

}  // namespace
}  // namespace tw::toolbars::test
