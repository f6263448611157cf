// Toolbar buttons: clicks, groups, glyphs and their shared image lists, layout, separators.
#include "toolbars_test_util.h"

namespace tw::toolbars::test {
namespace {

class ButtonTest : public ToolbarsTest {
 protected:
  TToolbarButtonX* Button(int index) { return static_cast<TToolbarButtonX*>(bar->Controls(index)); }
  void Click(TToolbarButtonX* b) {
    const TPoint p = b->ClientToScreen({b->Width() / 2, b->Height() / 2});
    InjectMouseMove(p.X, p.Y);
    InjectMouseDown(p.X, p.Y);
    InjectMouseUp(p.X, p.Y);
    Pump();
  }
  // A strip of `count` glyphs of 16 x 16, glyph i filled with colours[i] on a fuchsia border.
  static std::unique_ptr<TBitmap> Strip(int count, const std::vector<TColor>& colours) {
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetSize(16 * count, 16);
    TCanvas* c = bmp->Canvas();
    c->Brush()->SetColor(clFuchsia);
    c->FillRect(Rect(0, 0, 16 * count, 16));
    for (int i = 0; i < count; ++i) {
      c->Brush()->SetColor(colours[static_cast<std::size_t>(i)]);
      c->FillRect(Rect(i * 16 + 4, 4, i * 16 + 12, 12));
    }
    return bmp;
  }
  TToolbarX* bar = nullptr;
};

TEST_F(ButtonTest, ClickFiresOnlyWhenReleasedInside) {
  MakeForm();
  bar = NewBar("Bar", top, 0, 0, 2);
  int clicks = 0;
  Button(0)->OnClick = [&](TObject*) { ++clicks; };
  Click(Button(0));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(Button(0)->State(), TButtonState::bsUp);
  // Pressed, then released outside: no click.
  const TPoint p = Button(0)->ClientToScreen({5, 5});
  InjectMouseDown(p.X, p.Y);
  Pump();
  EXPECT_EQ(Button(0)->State(), TButtonState::bsDown);
  InjectMouseMove(p.X, p.Y + 100);
  InjectMouseUp(p.X, p.Y + 100);
  Pump();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(Button(0)->State(), TButtonState::bsUp);
  // A disabled button takes no clicks.
  Button(0)->SetEnabled(false);
  Click(Button(0));
  EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonTest, GroupsBehaveAsRadioButtons) {
  MakeForm();
  bar = NewBar("Bar", top, 0, 0, 3);
  TToolbarButtonX* a = Button(0);
  TToolbarButtonX* b = Button(1);
  TToolbarButtonX* lone = Button(2);
  lone->SetDown(true);
  EXPECT_FALSE(lone->Down());  // no group: never stays down
  Click(lone);
  EXPECT_FALSE(lone->Down());

  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  Click(a);
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(a->State(), TButtonState::bsExclusive);
  Click(b);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  // Without AllowAllUp a down button stays down when clicked again.
  Click(b);
  EXPECT_TRUE(b->Down());
  // AllowAllUp is shared by the group.
  b->SetAllowAllUp(true);
  EXPECT_TRUE(a->AllowAllUp());
  Click(b);
  EXPECT_FALSE(b->Down());
  EXPECT_FALSE(a->Down());
}

TEST_F(ButtonTest, PointerOverShowsTheEdge) {
  MakeForm();
  bar = NewBar("Bar", top, 0, 0, 2);
  TToolbarButtonX* b = Button(0);
  Pump();
  const HWND wnd = bar->Handle();
  const TPoint corner{b->Left(), b->Top()};
  const std::uint32_t face = ToRGB(clBtnFace) & 0xFFFFFF;
  auto pixel = [&](TPoint p) { return GetWindowPixel(wnd, p.X, p.Y) & 0xFFFFFF; };
  EXPECT_EQ(pixel(corner), face);  // flat
  const TPoint over = b->ClientToScreen({5, 5});
  InjectMouseMove(over.X, over.Y);
  Pump();
  EXPECT_TRUE(b->MouseInControl());
  EXPECT_EQ(pixel(corner), ToRGB(clBtnHighlight) & 0xFFFFFF);  // raised edge
  InjectMouseMove(over.X, over.Y + 200);
  Pump();
  EXPECT_FALSE(b->MouseInControl());
  EXPECT_EQ(pixel(corner), face);
}

TEST_F(ButtonTest, GlyphShapeSetsNumGlyphsAndStateImagesAreDrawn) {
  MakeForm();
  bar = NewBar("Bar", top, 0, 0, 1);
  TToolbarButtonX* b = Button(0);
  auto four = Strip(4, {clRed, clGray, clBlue, clGreen});
  b->SetGlyph(four.get());
  EXPECT_EQ(b->NumGlyphs(), 4);
  TBitmap odd;
  odd.SetSize(40, 16);
  b->SetGlyph(&odd);
  EXPECT_EQ(b->NumGlyphs(), 1);
  b->SetNumGlyphs(9);
  EXPECT_EQ(b->NumGlyphs(), 4);

  b->SetGlyph(four.get());
  Pump();
  const HWND wnd = bar->Handle();
  // The glyph is centred: 23 x 22 less the edge, 16 x 16 glyph.
  const int gx = b->Left() + 1 + (21 - 16 + 1) / 2, gy = b->Top() + 1 + (20 - 16 + 1) / 2;
  auto pixel = [&](int x, int y) { return GetWindowPixel(wnd, x, y) & 0xFFFFFF; };
  EXPECT_EQ(pixel(gx + 8, gy + 8), ToRGB(clRed) & 0xFFFFFF);
  EXPECT_EQ(pixel(gx + 1, gy + 1), ToRGB(clBtnFace) & 0xFFFFFF);  // fuchsia is transparent
  // Down: the third image, one pixel right and down.
  const TPoint p = b->ClientToScreen({5, 5});
  InjectMouseMove(p.X, p.Y);
  InjectMouseDown(p.X, p.Y);
  Pump();
  EXPECT_EQ(pixel(gx + 9, gy + 9), ToRGB(clBlue) & 0xFFFFFF);
  InjectMouseUp(p.X, p.Y);
  Pump();
  b->SetEnabled(false);
  Pump();
  EXPECT_EQ(pixel(gx + 8, gy + 8), ToRGB(clGray) & 0xFFFFFF);
}

TEST_F(ButtonTest, GlyphListsAreSharedAndFreed) {
  auto strip = Strip(1, {clRed});
  {
    TButtonGlyph a, b;
    a.SetGlyph(strip.get());
    b.SetGlyph(strip.get());
    EXPECT_GE(a.ImageIndex(TButtonState::bsUp), 0);
    EXPECT_GE(b.ImageIndex(TButtonState::bsUp), 0);
    EXPECT_EQ(a.List(), b.List());
    EXPECT_NE(a.ImageIndex(TButtonState::bsUp), b.ImageIndex(TButtonState::bsUp));
    EXPECT_EQ(a.List()->InUse(), 2);
    // A freed slot is handed out again before the list grows.
    const int freed = a.ImageIndex(TButtonState::bsUp);
    const int count = a.List()->Count();
    a.Invalidate();
    TButtonGlyph c;
    c.SetGlyph(strip.get());
    EXPECT_EQ(c.ImageIndex(TButtonState::bsUp), freed);
    EXPECT_EQ(c.List()->Count(), count);
    TBitmap other;
    other.SetSize(24, 24);
    a.SetGlyph(&other);
    EXPECT_GE(a.ImageIndex(TButtonState::bsUp), 0);
    EXPECT_EQ(TGlyphCache::Instance(false)->ListCount(), 2);
  }
  EXPECT_EQ(TGlyphCache::Instance(false), nullptr);  // the last list took the cache with it
  TButtonGlyph empty;
  EXPECT_EQ(empty.ImageIndex(TButtonState::bsUp), -1);
}

TEST(ButtonLayout, GlyphAndCaptionPlaces) {
  const TRect room = Rect(0, 0, 100, 30);
  // Glyph left, margin -1, spacing 4: the pair is centred.
  auto r = LayoutButton(room, {16, 16}, {40, 13}, TButtonLayout::blGlyphLeft, -1, 4);
  EXPECT_EQ(r.GlyphPos.X, (100 - 16 - 4 - 40 + 1) / 2);
  EXPECT_EQ(r.TextBounds.Left, r.GlyphPos.X + 16 + 4);
  EXPECT_EQ(r.GlyphPos.Y, (30 - 16 + 1) / 2);
  // Both -1: thirds.
  r = LayoutButton(room, {16, 16}, {40, 13}, TButtonLayout::blGlyphLeft, -1, -1);
  EXPECT_EQ(r.GlyphPos.X, 44 / 3);
  EXPECT_EQ(r.TextBounds.Left, 44 / 3 + 16 + 44 / 3);
  // Glyph right with a margin.
  r = LayoutButton(room, {16, 16}, {40, 13}, TButtonLayout::blGlyphRight, 2, 4);
  EXPECT_EQ(r.GlyphPos.X, 100 - 2 - 16);
  EXPECT_EQ(r.TextBounds.Right, 100 - 2 - 16 - 4);
  // Glyph on top; no caption means no spacing.
  r = LayoutButton(room, {16, 16}, {0, 0}, TButtonLayout::blGlyphTop, -1, 4);
  EXPECT_EQ(r.GlyphPos.Y, (30 - 16 + 1) / 2);
  EXPECT_EQ(r.GlyphPos.X, (100 - 16 + 1) / 2);
}

TEST_F(ButtonTest, AcceleratorClicksTheButton) {
  MakeForm();
  bar = NewBar("Bar", top, 0, 0, 1);
  Button(0)->SetCaption("E&xit");
  int clicks = 0;
  Button(0)->OnClick = [&](TObject*) { ++clicks; };
  EXPECT_EQ(Button(0)->Perform(CM_DIALOGCHAR, 'X', 0), 1);
  EXPECT_EQ(Button(0)->Perform(CM_DIALOGCHAR, 'e', 0), 0);
  EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonTest, SeparatorsPassPressesToTheBar) {
  MakeForm();
  bar = NewBar("Bar", top, 0, 0, 2);
  auto* sep = new TToolbarSepX(form);
  sep->SetParent(bar);
  sep->SetLeft(bar->Controls(1)->Left() - 1);
  bar->Relayout();
  ASSERT_EQ(sep->Width(), 6);
  const TRect fc = FormClient();
  Drag(sep->ClientToScreen({3, 10}), {fc.Left + 300, fc.Top + 200});
  EXPECT_EQ(bar->DockedTo(), nullptr);
  // The bar is floating: its separator still stands between the buttons.
  EXPECT_GT(sep->Left(), bar->Controls(0)->Left());
  EXPECT_LT(sep->Left(), bar->Controls(1)->Left());
}

}  // namespace
}  // namespace tw::toolbars::test
