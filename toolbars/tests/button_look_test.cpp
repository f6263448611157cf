// How toolbar buttons look and react beyond plain clicks: the made disabled image, opaque
// buttons, leaving a group, and an inactive program.
#include "toolbars_test_util.h"

namespace tw::toolbars::test {
namespace {

class ButtonLookTest : public ToolbarsTest {
 protected:
  TToolbarButtonX* Button(int index) { return static_cast<TToolbarButtonX*>(bar->Controls(index)); }
  std::uint32_t Pixel(int x, int y) { return PixelRGB(bar->Handle(), x, y); }
  // Where a button draws a glyph of 16 x 16 without a caption.
  static TPoint GlyphAt(TToolbarButtonX* b) {
    TRect content = b->ClientRect();
    InflateRect(content, -1, -1);
    const TPoint p = LayoutButton(content, {16, 16}, {0, 0}, b->Layout(), b->Margin(), b->Spacing()).GlyphPos;
    return {b->Left() + p.X, b->Top() + p.Y};
  }
  // A docked bar with one button whose glyph is 16 x 16 in `back` (its bottom-left pixel makes
  // that the transparent colour) with filled blocks.
  TToolbarButtonX* ButtonWithGlyph(TColor back, std::initializer_list<std::pair<TRect, TColor>> blocks) {
    MakeForm();
    bar = NewBar("Bar", top, 0, 0, 1);
    TBitmap glyph;
    glyph.SetSize(16, 16);
    TCanvas* c = glyph.Canvas();
    c->Brush()->SetColor(back);
    c->FillRect(Rect(0, 0, 16, 16));
    for (const auto& [r, colour] : blocks) {
      c->Brush()->SetColor(colour);
      c->FillRect(r);
    }
    Button(0)->SetGlyph(&glyph);
    return Button(0);
  }
  TToolbarX* bar = nullptr;
};

TEST_F(ButtonLookTest, DisabledGlyphIsItsDarkInkEmbossed) {
  // One glyph: olive background (the transparent colour), a black block of ink and a white
  // block that is not ink.
  TToolbarButtonX* b = ButtonWithGlyph(clOlive, {{Rect(3, 3, 8, 8), clBlack}, {Rect(10, 10, 14, 14), clWhite}});
  b->SetEnabled(false);
  Pump();
  const TPoint g = GlyphAt(b);
  EXPECT_EQ(Pixel(g.X + 5, g.Y + 5), ToRGB(clBtnShadow));     // ink: shadow
  EXPECT_EQ(Pixel(g.X + 8, g.Y + 8), ToRGB(clBtnHighlight));  // below right of the ink: highlight
  EXPECT_EQ(Pixel(g.X + 8, g.Y + 3), ToRGB(clBtnFace));       // beside the ink's top row: nothing
  EXPECT_EQ(Pixel(g.X + 11, g.Y + 11), ToRGB(clBtnFace));     // white is not ink
  EXPECT_EQ(Pixel(g.X + 1, g.Y + 1), ToRGB(clBtnFace));       // transparent
  b->SetEnabled(true);
  Pump();
  EXPECT_EQ(Pixel(g.X + 5, g.Y + 5), ToRGB(clBlack));
  EXPECT_EQ(Pixel(g.X + 11, g.Y + 11), ToRGB(clWhite));
}

TEST_F(ButtonLookTest, OpaqueButtonShowsItsColourAndTheGlyphOverButtonFace) {
  TToolbarButtonX* b = ButtonWithGlyph(clFuchsia, {{Rect(4, 4, 12, 12), clRed}});
  b->SetColor(clAqua);
  Pump();
  const TPoint g = GlyphAt(b);
  EXPECT_EQ(Pixel(b->Left() + 2, b->Top() + 2), ToRGB(clBtnFace));  // see-through
  b->SetOpaque(true);
  EXPECT_TRUE(b->ControlStyle().Contains(TControlStyleFlag::csOpaque));
  Pump();
  EXPECT_EQ(Pixel(b->Left() + 2, b->Top() + 2), ToRGB(clAqua));
  EXPECT_EQ(Pixel(g.X + 1, g.Y + 1), ToRGB(clBtnFace));
  EXPECT_EQ(Pixel(g.X + 8, g.Y + 8), ToRGB(clRed));
}

TEST_F(ButtonLookTest, LeavingTheGroupReleasesADownButton) {
  MakeForm();
  bar = NewBar("Bar", top, 0, 0, 2);
  TToolbarButtonX* a = Button(0);
  a->SetGroupIndex(1);
  a->SetDown(true);
  ASSERT_TRUE(a->Down());
  ASSERT_EQ(a->State(), TButtonState::bsExclusive);
  a->SetGroupIndex(0);
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(a->State(), TButtonState::bsUp);
  // Joining a group whose member is down releases that member.
  TToolbarButtonX* b = Button(1);
  b->SetGroupIndex(2);
  b->SetDown(true);
  a->SetGroupIndex(2);
  a->SetDown(true);
  EXPECT_FALSE(b->Down());
  EXPECT_TRUE(a->Down());
}

TEST_F(ButtonLookTest, PointerOverLightsOnlyWhileTheProgramIsActive) {
  MakeForm();
  bar = NewBar("Bar", top, 0, 0, 1);
  TToolbarButtonX* b = Button(0);
  Application()->ActivateChanged(false);
  b->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_FALSE(b->MouseInControl());
  Application()->ActivateChanged(true);
  b->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_TRUE(b->MouseInControl());
  b->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(b->MouseInControl());
  // A disabled button does not light up either.
  b->SetEnabled(false);
  b->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_FALSE(b->MouseInControl());
}

}  // namespace
}  // namespace tw::toolbars::test
