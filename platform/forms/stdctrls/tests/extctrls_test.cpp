// Picture buttons, speed-button groups, panels, bevels, images and radio groups, by mouse and
// keyboard, their painting, and their stored form.
#include <gtest/gtest.h>

#include "platform/forms/formres/formres.h"
#include "platform/forms/stdctrls/buttons.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "stdctrls_fixture.h"

namespace tw::test {
namespace {

class ExtCtrlsTest : public StdControlsTest {
 protected:
  static bool HasPixel(HWND hwnd, TRect r, std::uint32_t rgb) {
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        if (PixelRGB(hwnd, x, y) == rgb) return true;
    return false;
  }
};

TEST_F(ExtCtrlsTest, BitBtnKindsSetCaptionResultAndKeysAndDrawTheirGlyph) {
  auto* ok = Add<TBitBtn>(10, 10);
  ok->SetKind(TBitBtnKind::bkOK);
  auto* cancel = Add<TBitBtn>(100, 10);
  cancel->SetKind(TBitBtnKind::bkCancel);
  auto* help = Add<TBitBtn>(190, 10);
  help->SetKind(TBitBtnKind::bkHelp);
  EXPECT_EQ(ok->Caption(), "OK");
  EXPECT_TRUE(ok->Default());
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_EQ(cancel->Caption(), "Cancel");
  EXPECT_TRUE(cancel->Cancel());
  EXPECT_EQ(help->Caption(), "&Help");
  EXPECT_EQ(help->ModalResult(), mrNone);

  DriveIdle({[] { InjectKey(VK_ESCAPE); }}, [&] { form->SetModalResult(mrAbort); });
  EXPECT_EQ(form->ShowModal(), mrCancel);
  DriveIdle({[] { InjectKey(VK_RETURN); }}, [&] { form->SetModalResult(mrAbort); });
  EXPECT_EQ(form->ShowModal(), mrOk);

  form->Show();
  Pump();
  const TRect all = Rect(0, 0, ok->Width(), ok->Height());
  EXPECT_TRUE(HasPixel(ok->Handle(), all, 0x008000));      // the green check
  EXPECT_TRUE(HasPixel(cancel->Handle(), all, 0xC00000));  // the red cross
  ok->SetEnabled(false);
  Pump();
  EXPECT_FALSE(HasPixel(ok->Handle(), all, 0x008000));
}

TEST_F(ExtCtrlsTest, BitBtnDrawsItsOwnGlyphWithoutTheTransparentColour) {
  auto* btn = Add<TBitBtn>(10, 10);
  btn->SetCaption("Go");
  TBitmap glyph;
  glyph.SetSize(8, 8);
  glyph.Canvas()->Brush()->SetColor(RGB(0, 255, 0));  // bottom-left: transparent
  glyph.Canvas()->FillRect(Rect(0, 0, 8, 8));
  glyph.Canvas()->Brush()->SetColor(RGB(0, 0, 255));
  glyph.Canvas()->FillRect(Rect(2, 2, 6, 6));
  btn->SetGlyph(&glyph);
  form->Show();
  Pump();
  const TRect all = Rect(0, 0, btn->Width(), btn->Height());
  EXPECT_TRUE(HasPixel(btn->Handle(), all, 0x0000FF));
  EXPECT_FALSE(HasPixel(btn->Handle(), all, 0x00FF00));
}

TEST_F(ExtCtrlsTest, SpeedButtonGroupsKeepOneDown) {
  auto* a = Add<TSpeedButton>(10, 10);
  auto* b = Add<TSpeedButton>(40, 10);
  auto* lone = Add<TSpeedButton>(70, 10);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  lone->SetGroupIndex(2);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  Pump();
  InjectClick(form->Handle(), 15, 15);
  Pump();
  EXPECT_TRUE(a->Down());
  InjectClick(form->Handle(), 45, 15);
  Pump();
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(clicks, 1);
  InjectClick(form->Handle(), 45, 15);  // a group without AllowAllUp keeps one down
  Pump();
  EXPECT_TRUE(b->Down());
  b->SetDown(false);
  EXPECT_TRUE(b->Down());
  a->SetAllowAllUp(true);
  EXPECT_TRUE(b->AllowAllUp());
  InjectClick(form->Handle(), 45, 15);
  Pump();
  EXPECT_FALSE(b->Down());
  lone->SetDown(true);
  EXPECT_TRUE(lone->Down());
  EXPECT_FALSE(a->Down());
  // Ungrouped buttons never stay down.
  auto* plain = Add<TSpeedButton>(100, 10);
  plain->SetDown(true);
  EXPECT_FALSE(plain->Down());
}

TEST_F(ExtCtrlsTest, PanelAndBevelPaintTheirEdges) {
  auto* panel = Add<TPanel>(10, 10);
  panel->SetCaption("Panel");
  auto* bevel = Add<TBevel>(10, 100);
  bevel->SetShape(TBevelShape::bsTopLine);
  form->Show();
  Pump();
  EXPECT_EQ(PixelRGB(panel->Handle(), 0, 0), ToRGB(clBtnHighlight));
  EXPECT_EQ(PixelRGB(panel->Handle(), panel->Width() - 1, panel->Height() - 1), ToRGB(clBtnShadow));
  EXPECT_EQ(PixelRGB(panel->Handle(), 5, panel->Height() / 2), ToRGB(clBtnFace));
  panel->SetBevelOuter(TPanelBevel::bvLowered);
  Pump();
  EXPECT_EQ(PixelRGB(panel->Handle(), 0, 0), ToRGB(clBtnShadow));
  EXPECT_EQ(PixelRGB(form->Handle(), 20, 100), ToRGB(clBtnShadow));
  EXPECT_EQ(PixelRGB(form->Handle(), 20, 101), ToRGB(clBtnHighlight));
  // Aligned children stay inside the bevel.
  auto* inner = new TPanel(form);
  inner->SetParent(panel);
  inner->SetAlign(TAlign::alClient);
  EXPECT_EQ(inner->Left(), 1);
  EXPECT_EQ(inner->Width(), panel->Width() - 2);
}

TEST_F(ExtCtrlsTest, ImageDrawsItsPictureAndStoresItInTheDescription) {
  auto* image = Add<TImage>(20, 20);
  image->SetName("Image1");
  image->SetWidth(40);
  image->SetHeight(40);
  TBitmap* bmp = image->Picture()->Bitmap();
  bmp->SetSize(10, 10);
  bmp->Canvas()->Brush()->SetColor(clRed);
  bmp->Canvas()->FillRect(Rect(0, 0, 10, 10));
  form->Show();
  Pump();
  EXPECT_EQ(PixelRGB(form->Handle(), 25, 25), 0xFF0000u);
  EXPECT_NE(PixelRGB(form->Handle(), 45, 45), 0xFF0000u);
  image->SetStretch(true);
  Pump();
  EXPECT_EQ(PixelRGB(form->Handle(), 55, 55), 0xFF0000u);
  image->SetStretch(false);
  image->SetCenter(true);
  EXPECT_EQ(image->DestRect(), Bounds(15, 15, 10, 10));

  form->SetName("Pictures");
  const std::string text = ComponentToText(form);
  EXPECT_NE(text.find("Picture.Data = {"), std::string::npos);
  std::unique_ptr<TForm> copy(new TForm(nullptr));
  ReadComponentDescription(text, copy.get());
  auto* read = dynamic_cast<TImage*>(copy->FindComponent("Image1"));
  ASSERT_NE(read, nullptr);
  ASSERT_NE(read->Picture()->Graphic(), nullptr);
  EXPECT_EQ(read->Picture()->Width(), 10);
  EXPECT_EQ(static_cast<TBitmap*>(read->Picture()->Graphic())->PixelColor(3, 3), clRed);
  EXPECT_TRUE(read->Center());
}

TEST_F(ExtCtrlsTest, ImageKeepsAMetafileInTheDescription) {
  auto* image = Add<TImage>(0, 0);
  image->SetName("Image1");
  image->SetStretch(true);
  {
    TMetafileCanvas c(image->Picture()->Metafile(), 20, 10);
    c.Pen()->SetStyle(TPenStyle::psClear);
    c.Brush()->SetColor(clBlue);
    c.Rectangle(0, 0, 21, 11);
  }
  form->Show();
  Pump();
  EXPECT_EQ(PixelRGB(form->Handle(), 50, 50), 0x0000FFu) << "the image repaints when the picture changes";

  form->SetName("Metafiles");
  const std::string text = ComponentToText(form);
  std::unique_ptr<TForm> copy(new TForm(nullptr));
  ReadComponentDescription(text, copy.get());
  auto* read = dynamic_cast<TImage*>(copy->FindComponent("Image1"));
  ASSERT_NE(read, nullptr);
  ASSERT_NE(read->Picture()->Graphic(), nullptr);
  ASSERT_TRUE(read->Picture()->Graphic()->Is<TMetafile>());
  EXPECT_EQ(static_cast<TMetafile*>(read->Picture()->Graphic())->SaveToBytes(),
            image->Picture()->Metafile()->SaveToBytes());
}

TEST_F(ExtCtrlsTest, RadioGroupChoosesByItemIndexAndClick) {
  auto* group = Add<TRadioGroup>(10, 10);
  group->SetHeight(120);
  group->Items()->SetCommaText("Design,Selected,External");
  ASSERT_EQ(group->ButtonCount(), 3);
  EXPECT_EQ(group->Buttons(1)->Caption(), "Selected");
  int clicks = 0;
  group->OnClick = [&](TObject*) { ++clicks; };
  group->SetItemIndex(2);
  EXPECT_TRUE(group->Buttons(2)->Checked());
  EXPECT_EQ(clicks, 0);  // only the user's choice runs OnClick
  form->Show();
  Pump();
  TRadioButton* first = group->Buttons(0);
  InjectClick(first->Handle(), 4, 4);
  Pump();
  EXPECT_EQ(group->ItemIndex(), 0);
  EXPECT_FALSE(group->Buttons(2)->Checked());
  EXPECT_EQ(clicks, 1);
  group->Items()->Delete(0);
  EXPECT_EQ(group->ButtonCount(), 2);
  group->SetColumns(2);
  EXPECT_GT(group->Buttons(1)->Left(), group->Buttons(0)->Left());

  // Read from a description, ItemIndex comes before the buttons exist.
  std::unique_ptr<TForm> read(new TForm(nullptr));
  ReadComponentDescription(
      "object F: TForm\n  object RG: TRadioGroup\n    ItemIndex = 1\n    Items.Strings = (\n      'a'\n      'b')\n  end\nend\n",
      read.get());
  auto* rg = dynamic_cast<TRadioGroup*>(read->FindComponent("RG"));
  ASSERT_NE(rg, nullptr);
  EXPECT_EQ(rg->ItemIndex(), 1);
  EXPECT_TRUE(rg->Buttons(1)->Checked());
}

}  // namespace
}  // namespace tw::test
