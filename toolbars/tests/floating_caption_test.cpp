// The floating window's caption: its colours follow the owner form's activation, the close
// box is drawn only when the bar has one, and the title travels with the bar's caption.
#include "toolbars_test_util.h"

namespace tw::toolbars::test {
namespace {

class FloatingCaptionTest : public ToolbarsTest {
 protected:
  std::uint32_t CaptionPixel(TFloatParent* fp, int x) {
    return PixelRGB(fp->Handle(), x, FrameHeight() + 1);
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
