// The component, its ruler, status bar and tool panel read from a form description: the links
// are resolved by name and the attached controls show the editor's state after loading.
#include "platform/forms/formres/formstream.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using FormDescription = RichTextTest;

TEST_F(FormDescription, LinksAreResolvedAndTheControlsFollowAfterLoading) {
  RegisterRichTextControls();
  const char* text =
      "object Editor: TForm\n"
      "  object Bar1: TRiStatusBarBasic\n"
      "    Items.Strings = (\n"
      "      'stStatus'\n"
      "      '60stLine'\n"
      "      'stTxtFmt')\n"
      "    SizeGrip = True\n"
      "  end\n"
      "  object Ruler1: TRiRuler\n"
      "    Units = Inch\n"
      "  end\n"
      "  object Panel1: TRiToolPanel\n"
      "    Movable = True\n"
      "  end\n"
      "  object Text1: TRiRichText\n"
      "    RiRuler = Ruler1\n"
      "    StatusBar = Bar1\n"
      "    RiToolBar = Panel1\n"
      "    Language = twpGerman\n"
      "  end\n"
      "end\n";
  auto* f = new TForm(Application());
  ReadComponentDescription(text, f);
  auto* edit = dynamic_cast<TRiRichText*>(f->FindComponent("Text1"));
  auto* bar = dynamic_cast<TRiStatusBarBasic*>(f->FindComponent("Bar1"));
  auto* ruler = dynamic_cast<TRiRuler*>(f->FindComponent("Ruler1"));
  auto* panel = dynamic_cast<TRiToolPanel*>(f->FindComponent("Panel1"));
  ASSERT_NE(edit, nullptr);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(edit->RiRuler(), ruler);
  EXPECT_EQ(edit->StatusBar(), bar);
  EXPECT_EQ(edit->RiToolBar(), panel);
  EXPECT_EQ(ruler->Units(), PTRiRulerUnit::Inch);
  EXPECT_EQ(ruler->Header(), &edit->RtfText()->Header());
  EXPECT_TRUE(panel->Movable());
  EXPECT_EQ(bar->ItemCount(), 3);
  EXPECT_TRUE(bar->SizeGrip());
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stTxtFmt), "FMT");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stStatus), "Bereit");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stLine), "1");
  // Written again, the description holds the links but not the panel's own buttons.
  const std::string written = ComponentToText(f);
  EXPECT_NE(written.find("RiRuler = Ruler1"), std::string::npos) << written;
  EXPECT_EQ(written.find("TSpeedButton"), std::string::npos) << written;
  SetRichTextLanguage(TRiToolLanguage::twpEnglish);
  delete f;
}

}  // namespace
}  // namespace tw::richtext::testing

namespace tw::richtext::testing {
namespace {

TEST_F(FormDescription, TheComponentsOwnPropertiesAreReadFromTheDescription) {
  RegisterRichTextControls();
  const char* text =
      "object Editor: TForm\n"
      "  object Bar: TScrollBar\n"
      "    Kind = sbVertical\n"
      "  end\n"
      "  object Text1: TRiRichText\n"
      "    ExternVerScrollBar = Bar\n"
      "    ProtectedProp = [ppIsInsertpoint, ppAutomatic, ppDontUseAttrOfProtected]\n"
      "    HyperlinkTextAttr.Underline = tsTRUE\n"
      "    HyperlinkTextAttr.UnderlineColor = clNavy\n"
      "    InsertPointAttr.TextColor = clGreen\n"
      "    AutomaticTextAttr.Hidden = True\n"
      "    ProtectedTextAttr.Bold = tsTRUE\n"
      "    SaveFormat = FormatRTF\n"
      "    LoadFormat = FormatANSI\n"
      "    MemoryFormat = fmPlainText\n"
      "    PaintGrayTable = True\n"
      "    WriteBitmapAsDib = True\n"
      "    BackgroundLoadFromFile = True\n"
      "  end\n"
      "end\n";
  auto* f = new TForm(Application());
  ReadComponentDescription(text, f);
  auto* edit = dynamic_cast<TRiRichText*>(f->FindComponent("Text1"));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->ExternVerScrollBar(), f->FindComponent("Bar"));
  EXPECT_EQ(edit->ProtectedProp(), (TProtectProps{TProtectProp::ppIsInsertpoint, TProtectProp::ppAutomatic,
                                                  TProtectProp::ppDontUseAttrOfProtected}));
  EXPECT_EQ(edit->HyperlinkTextAttr().Underline(), TThreeState::tsTRUE);
  EXPECT_TRUE(edit->HyperlinkTextAttr().UseUnderlineColor());
  EXPECT_EQ(edit->HyperlinkTextAttr().UnderlineColor(), clNavy);
  EXPECT_EQ(edit->InsertPointAttr().TextColor(), clGreen);
  EXPECT_TRUE(edit->AutomaticTextAttr().Hidden());
  EXPECT_EQ(edit->ProtectedTextAttr().Bold(), TThreeState::tsTRUE);
  EXPECT_EQ(edit->SaveFormat(), TRiLoadFormat::FormatRTF);
  EXPECT_EQ(edit->LoadFormat(), TRiLoadFormat::FormatANSI);
  EXPECT_EQ(edit->MemoryFormat(), TRiMemoryFormat::fmPlainText);
  EXPECT_TRUE(edit->RtfText()->PlainMode);
  EXPECT_TRUE(edit->PaintGrayTable());
  EXPECT_TRUE(edit->RtfText()->PaintGrayTable);
  EXPECT_TRUE(edit->RtfText()->WriteBitmapAsDib);
  EXPECT_TRUE(edit->BackgroundLoadFromFile());
  // Written out, the description keeps them.
  const std::string written = ComponentToText(f);
  for (const char* line : {"ExternVerScrollBar = Bar", "HyperlinkTextAttr.UnderlineColor = clNavy", "SaveFormat = FormatRTF",
                           "MemoryFormat = fmPlainText", "PaintGrayTable = True", "ppDontUseAttrOfProtected"})
    EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
  delete f;
}

}  // namespace
}  // namespace tw::richtext::testing
