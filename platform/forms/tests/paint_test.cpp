// Painting: a custom control's canvas, windowless children painted by their parent at their
// place, the background in the control's colour, and what hiding and moving repaint.
#include <gtest/gtest.h>

#include "forms_test_util.h"

namespace tw::test {
namespace {

class PaintTest : public FormsTest {};

TEST_F(PaintTest, CustomControlPaintsItsCanvasInsideItsBounds) {
  TForm* form = NewForm(200, 150);
  auto* panel = new TTestPanel(form, clRed);
  panel->SetParent(form);
  panel->SetBounds(10, 20, 40, 30);
  form->Show();
  Pump();
  const HWND fw = form->Handle();
  EXPECT_GE(panel->paints, 1);
  EXPECT_EQ(PixelRGB(fw, 10, 20), 0xFF0000u) << "top-left pixel of the panel";
  EXPECT_EQ(PixelRGB(fw, 49, 49), 0xFF0000u) << "bottom-right pixel of the panel";
  EXPECT_EQ(PixelRGB(fw, 50, 49), ToRGB(clBtnFace)) << "just right of it: the form's face";
  EXPECT_EQ(PixelRGB(fw, 10, 50), ToRGB(clBtnFace)) << "just below it";
  EXPECT_EQ(PixelRGB(panel->Handle(), 0, 0), 0xFF0000u);
}

TEST_F(PaintTest, WindowlessChildrenArePaintedByTheParentAtTheirPlace) {
  TForm* form = NewForm(200, 150);
  auto* panel = new TTestPanel(form, clWhite);
  panel->SetParent(form);
  panel->SetBounds(0, 0, 100, 100);
  auto* shape = new TTestShape(form, clBlue);
  shape->SetParent(panel);
  shape->SetBounds(30, 40, 10, 5);
  auto* hidden = new TTestShape(form, clLime);
  hidden->SetParent(panel);
  hidden->SetBounds(60, 60, 10, 10);
  hidden->SetVisible(false);
  form->Show();
  Pump();
  const HWND pw = panel->Handle();
  EXPECT_EQ(PixelRGB(pw, 30, 40), 0x0000FFu);
  EXPECT_EQ(PixelRGB(pw, 39, 44), 0x0000FFu);
  EXPECT_EQ(PixelRGB(pw, 40, 44), 0xFFFFFFu) << "the shape's canvas is clipped to its bounds";
  EXPECT_EQ(PixelRGB(pw, 30, 45), 0xFFFFFFu);
  EXPECT_EQ(PixelRGB(pw, 65, 65), 0xFFFFFFu) << "an invisible shape is not painted";
  EXPECT_EQ(hidden->paints, 0);

  // Moving the shape repaints both the old and the new place.
  shape->SetBounds(70, 10, 10, 5);
  Pump();
  EXPECT_EQ(PixelRGB(pw, 30, 40), 0xFFFFFFu);
  EXPECT_EQ(PixelRGB(pw, 70, 10), 0x0000FFu);

  hidden->SetVisible(true);
  Pump();
  EXPECT_EQ(PixelRGB(pw, 65, 65), 0x00FF00u);
}

TEST_F(PaintTest, FormBackgroundAndOnPaintUseTheFormCanvas) {
  TForm* form = NewForm(120, 80);
  form->SetColor(clNavy);
  int painted = 0;
  form->OnPaint = [&](TObject*) {
    ++painted;
    form->Canvas()->Pen()->SetColor(clYellow);
    form->Canvas()->MoveTo(0, 5);
    form->Canvas()->LineTo(120, 5);
  };
  form->Show();
  Pump();
  EXPECT_GE(painted, 1);
  EXPECT_EQ(PixelRGB(form->Handle(), 50, 40), ToRGB(clNavy));
  EXPECT_EQ(PixelRGB(form->Handle(), 50, 5), ToRGB(clYellow));
}

TEST_F(PaintTest, ColourChangeAndRepaintRedrawTheControl) {
  TForm* form = NewForm(100, 100);
  auto* panel = new TTestPanel(form, clRed);
  panel->SetParent(form);
  form->Show();
  Pump();
  const int before = panel->paints;
  panel->fill_ = clGreen;
  panel->Repaint();
  EXPECT_GT(panel->paints, before) << "Repaint paints at once, without the message loop";
  EXPECT_EQ(PixelRGB(panel->Handle(), 5, 5), ToRGB(clGreen));

  // A canvas used outside painting draws straight into the window.
  panel->Canvas()->Brush()->SetColor(clBlack);
  panel->Canvas()->FillRect(Rect(0, 0, 3, 3));
  EXPECT_EQ(PixelRGB(panel->Handle(), 1, 1), 0u);
}

TEST_F(PaintTest, AnExceptionWhilePaintingIsReportedAndPaintingGoesOn) {
  class TFaultyPanel : public TTestPanel {
   public:
    using TTestPanel::TTestPanel;
    bool fail = true;

   protected:
    void Paint() override {
      if (fail) throw EInvalidOperation("paint failed");
      TTestPanel::Paint();
    }
  };
  TForm* form = NewForm(100, 100);
  auto* panel = new TFaultyPanel(form, clRed);
  panel->SetParent(form);
  form->Show();
  Pump();
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(boxes.front().find("paint failed."), std::string::npos);
  panel->fail = false;
  panel->Invalidate();
  Pump();
  EXPECT_EQ(PixelRGB(panel->Handle(), 5, 5), 0xFF0000u);
}

}  // namespace
}  // namespace tw::test
