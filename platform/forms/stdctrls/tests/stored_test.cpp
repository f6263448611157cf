// The controls' values as form descriptions store them: every control reads back what it wrote,
// glyphs and pictures included.
#include <gtest/gtest.h>

#include "platform/forms/formres/formres.h"
#include "platform/forms/stdctrls/buttons.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/tests/forms_test_util.h"

namespace tw::test {
namespace {

class StoredTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    RegisterStdControls();
  }
};

TEST_F(StoredTest, EveryControlReadsBackWhatItWrote) {
  const char* text =
      "object Options: TForm\n"
      "  object Panel1: TPanel\n"
      "    Align = alTop\n"
      "    Caption = 'Top'\n"
      "    BevelInner = bvLowered\n"
      "    BorderWidth = 2\n"
      "    object Bevel1: TBevel\n"
      "      Shape = bsFrame\n"
      "      Style = bsRaised\n"
      "    end\n"
      "  end\n"
      "  object GroupBox1: TGroupBox\n"
      "    Caption = 'Property filter:'\n"
      "    object CaptionCheckBox: TCheckBox\n"
      "      Caption = 'Caption'\n"
      "      AllowGrayed = True\n"
      "      State = cbGrayed\n"
      "    end\n"
      "    object Design: TRadioButton\n"
      "      Caption = 'Design time language'\n"
      "      Checked = True\n"
      "    end\n"
      "  end\n"
      "  object IncludeBtn: TSpeedButton\n"
      "    GroupIndex = 3\n"
      "    Down = True\n"
      "    Flat = True\n"
      "    Caption = '>> &INSERT >>'\n"
      "  end\n"
      "  object OKBtn: TBitBtn\n"
      "    Kind = bkOK\n"
      "    Layout = blGlyphTop\n"
      "    Spacing = 2\n"
      "  end\n"
      "  object Description: TMemo\n"
      "    ScrollBars = ssVertical\n"
      "    ReadOnly = True\n"
      "    Lines.Strings = (\n"
      "      'first line'\n"
      "      'second line')\n"
      "  end\n"
      "  object FilterName: TEdit\n"
      "    CharCase = ecUpperCase\n"
      "    PasswordChar = '*'\n"
      "    Text = 'ABC'\n"
      "  end\n"
      "  object Languages: TRadioGroup\n"
      "    Columns = 2\n"
      "    ItemIndex = 0\n"
      "    Items.Strings = (\n"
      "      'English'\n"
      "      'Deutsch')\n"
      "  end\n"
      "end\n";
  std::unique_ptr<TForm> form(new TForm(nullptr));
  ReadComponentDescription(text, form.get());
  auto* check = dynamic_cast<TCheckBox*>(form->FindComponent("CaptionCheckBox"));
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(check->State(), TCheckBoxState::cbGrayed);
  EXPECT_EQ(check->Parent(), form->FindComponent("GroupBox1"));
  EXPECT_TRUE(dynamic_cast<TRadioButton*>(form->FindComponent("Design"))->Checked());
  auto* speed = dynamic_cast<TSpeedButton*>(form->FindComponent("IncludeBtn"));
  EXPECT_TRUE(speed->Down());
  auto* ok = dynamic_cast<TBitBtn*>(form->FindComponent("OKBtn"));
  EXPECT_EQ(ok->Caption(), "OK");
  EXPECT_EQ(ok->ModalResult(), mrOk);
  auto* memo = dynamic_cast<TMemo*>(form->FindComponent("Description"));
  EXPECT_EQ(memo->Lines()->Strings(1), "second line");
  EXPECT_EQ(memo->ScrollBars(), TScrollStyle::ssVertical);
  auto* edit = dynamic_cast<TEdit*>(form->FindComponent("FilterName"));
  EXPECT_EQ(edit->PasswordChar(), '*');
  EXPECT_FALSE(edit->Modified());
  auto* group = dynamic_cast<TRadioGroup*>(form->FindComponent("Languages"));
  EXPECT_EQ(group->ButtonCount(), 2);
  EXPECT_TRUE(group->Buttons(0)->Checked());
  EXPECT_EQ(form->ComponentCount(), 10);  // the group's own buttons belong to the group

  const std::string written = ComponentToText(form.get());
  std::unique_ptr<TForm> again(new TForm(nullptr));
  ReadComponentDescription(written, again.get());
  EXPECT_EQ(ComponentToText(again.get()), written);
  EXPECT_EQ(written.find("object TRadioButton"), std::string::npos);
}

TEST_F(StoredTest, GlyphsAndIconsTravelAsBinaryData) {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetName("Glyphs");
  auto* btn = new TBitBtn(form.get());
  btn->SetName("Btn");
  btn->SetParent(form.get());
  btn->SetNumGlyphs(2);
  TBitmap glyph;
  glyph.SetSize(32, 16);
  glyph.Canvas()->Brush()->SetColor(clTeal);
  glyph.Canvas()->FillRect(Rect(0, 0, 32, 16));
  glyph.Canvas()->Brush()->SetColor(clMaroon);
  glyph.Canvas()->FillRect(Rect(16, 0, 32, 16));
  btn->SetGlyph(&glyph);
  auto* image = new TImage(form.get());
  image->SetName("Icon1");
  image->SetParent(form.get());
  TIcon icon;
  icon.AssignBitmap(&glyph, clNone);
  image->Picture()->SetGraphic(&icon);
  ASSERT_TRUE(image->Picture()->Graphic()->Is<TIcon>());

  const std::string text = ComponentToText(form.get());
  EXPECT_NE(text.find("Glyph.Data = {"), std::string::npos);
  EXPECT_NE(text.find("Picture.Data = {"), std::string::npos);
  std::unique_ptr<TForm> read(new TForm(nullptr));
  ReadComponentDescription(ObjectTextToBinary(text), read.get());
  auto* readBtn = dynamic_cast<TBitBtn*>(read->FindComponent("Btn"));
  ASSERT_NE(readBtn, nullptr);
  EXPECT_EQ(readBtn->NumGlyphs(), 2);
  EXPECT_EQ(readBtn->Glyph()->Width(), 32);
  EXPECT_EQ(readBtn->Glyph()->PixelColor(20, 5), clMaroon);
  auto* readImage = dynamic_cast<TImage*>(read->FindComponent("Icon1"));
  ASSERT_NE(readImage->Picture()->Graphic(), nullptr);
  EXPECT_TRUE(readImage->Picture()->Graphic()->Is<TIcon>());
  EXPECT_EQ(readImage->Picture()->Width(), 32);

  // A damaged picture is refused with the property named.
  std::string damaged = text;
  const auto at = damaged.find("Picture.Data = {") + 17;
  damaged.replace(at, 10, "0000000000");
  std::unique_ptr<TForm> bad(new TForm(nullptr));
  try {
    ReadComponentDescription(damaged, bad.get());
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().rfind("Error reading Icon1.Picture.Data: ", 0), 0u) << e.Message();
  }
}

}  // namespace
}  // namespace tw::test
