// The component, its ruler, status bar and tool panel read from a form description: the links
// are resolved by name and the attached controls show the editor's state after loading.
#include "platform/classes/streams.h"
#include "platform/forms/formres/formstream.h"
#include "platform/gfx/picture.h"
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

namespace tw::richtext::testing {
namespace {

// A form whose handlers the component's events are bound to by name.
class TEventsForm : public TForm {
  TW_CLASS(TEventsForm, TForm)
 public:
  using TForm::TForm;
  std::vector<std::string> log;
  void EditState(TObject*, bool, bool) { log.push_back("EditStateEvent"); }
  void CtrlTab(TObject*) { log.push_back("CtrlTabPressed"); }
  void ShiftTab(TObject*) { log.push_back("ShiftTabPressed"); }
  void Header(TObject*, TCanvas*, int, int, int, int, int, std::int32_t) { log.push_back("PrintHeader"); }
  void Footer(TObject*, TCanvas*, int, int, int, int, int, std::int32_t) { log.push_back("PrintFooter"); }
  void BeforeCopy(TObject*, bool&) { log.push_back("OnBeforeCopyEvent"); }
  void BeforePaste(TObject*, bool&) { log.push_back("OnBeforePasteEvent"); }
  void RightWord(TObject*, std::string&, int, int, const TAttr&) { log.push_back("OnMouseDownRight"); }
  void Undo(TObject* sender) { log.push_back(std::string("SaveForUNDO ") + (sender != nullptr ? "sender" : "")); }
  void Provide(TObject*, int, TRiObject*) { log.push_back("ProvideObjectEvent"); }
  void Spell(const std::string&, int&, std::uint8_t*) { log.push_back("OnSpellCheckWord"); }
};
TW_PUBLISHED_METHODS(TEventsForm, Method("EditState", &TEventsForm::EditState), Method("CtrlTab", &TEventsForm::CtrlTab),
                     Method("ShiftTab", &TEventsForm::ShiftTab), Method("Header", &TEventsForm::Header),
                     Method("Footer", &TEventsForm::Footer), Method("BeforeCopy", &TEventsForm::BeforeCopy),
                     Method("BeforePaste", &TEventsForm::BeforePaste), Method("RightWord", &TEventsForm::RightWord),
                     Method("Undo", &TEventsForm::Undo), Method("Provide", &TEventsForm::Provide),
                     Method("Spell", &TEventsForm::Spell));

TEST_F(FormDescription, EveryPublishedNameOfTheComponentReadsFromADescription) {
  RegisterRichTextControls();
  // The document and the background picture come as the "Data" of their objects.
  TRiRTFTextIo source;
  TStringStream rtf("{\\rtf1 Stored {\\b text}\\par}");
  source.LoadFromStream(rtf);
  TStringStream data;
  source.WriteData(data);
  TBitmap bmp;
  bmp.SetSize(3, 2);
  auto hex = [](const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
      out += digits[c >> 4];
      out += digits[c & 15];
    }
    return out;
  };
  TStringStream pictureData(std::string("\x07TBitmap"));
  pictureData.Seek(0, soFromEnd);
  bmp.WriteData(pictureData);
  const std::string text = std::string("object Editor: TEventsForm\n"
                                       "  object Text1: TRiRichText\n"
                                       "    BorderStyle = bsNone\n"
                                       "    RtfText.Data = {") + hex(data.DataString()) + "}\n"
                           "    BackgroundImage.Data = {" + hex(pictureData.DataString()) + "}\n"
                           "    EditStateEvent = EditState\n"
                           "    CtrlTabPressed = CtrlTab\n"
                           "    ShiftTabPressed = ShiftTab\n"
                           "    PrintHeader = Header\n"
                           "    PrintFooter = Footer\n"
                           "    OnBeforeCopyEvent = BeforeCopy\n"
                           "    OnBeforePasteEvent = BeforePaste\n"
                           "    OnMouseDownRight = RightWord\n"
                           "    SaveForUNDO = Undo\n"
                           "    ProvideObjectEvent = Provide\n"
                           "    OnSpellCheckWord = Spell\n"
                           "  end\n"
                           "end\n";
  auto* f = new TEventsForm(Application());
  ReadComponentDescription(text, f);
  auto* edit = dynamic_cast<TRiRichText*>(f->FindComponent("Text1"));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->BorderStyle(), TBorderStyle::bsNone);
  EXPECT_EQ(edit->RtfText()->ParagraphText(0), "Stored text");
  ASSERT_NE(edit->BackgroundImage().Graphic(), nullptr);
  EXPECT_EQ(edit->BackgroundImage().Width(), 3);
  EXPECT_EQ(edit->RtfText()->BackgroundImage, edit->BackgroundImage().Graphic());
  // Each event reaches its handler.
  bool doIt = true;
  std::string word;
  int result = 0;
  TAttr attr;
  edit->EditStateEvent(edit, false, false);
  edit->CtrlTabPressed(edit);
  edit->ShiftTabPressed(edit);
  edit->PrintHeader(edit, nullptr, 0, 0, 0, 0, 1, 0);
  edit->PrintFooter(edit, nullptr, 0, 0, 0, 0, 1, 0);
  edit->OnBeforeCopyEvent(edit, doIt);
  edit->OnBeforePasteEvent(edit, doIt);
  edit->OnMouseDownRight(edit, word, 0, 0, attr);
  ASSERT_TRUE(edit->RtfText()->SaveForUNDO);
  edit->RtfText()->SaveForUNDO();
  ASSERT_TRUE(edit->RtfText()->OnObjectRequest);
  edit->RtfText()->OnObjectRequest(1, nullptr);
  ASSERT_TRUE(edit->RtfText()->OnSpellCheckWord);
  edit->RtfText()->OnSpellCheckWord("word", result, nullptr);
  EXPECT_EQ(f->log, (std::vector<std::string>{"EditStateEvent", "CtrlTabPressed", "ShiftTabPressed", "PrintHeader",
                                              "PrintFooter", "OnBeforeCopyEvent", "OnBeforePasteEvent",
                                              "OnMouseDownRight", "SaveForUNDO sender", "ProvideObjectEvent",
                                              "OnSpellCheckWord"}));
  // Written again, the description names them.
  const std::string again = ComponentToText(f);
  for (const char* line : {"BorderStyle = bsNone", "RtfText.Data = {", "BackgroundImage.Data = {"})
    EXPECT_NE(again.find(line), std::string::npos) << line << "\n" << again;
  delete f;
  // Without a handler the engine's own events stay empty: no spell checking, no object requests.
  TRiRichText plain(nullptr);
  EXPECT_FALSE(plain.RtfText()->OnSpellCheckWord);
  EXPECT_FALSE(plain.RtfText()->OnObjectRequest);
  EXPECT_FALSE(plain.RtfText()->SaveForUNDO);
}

}  // namespace
}  // namespace tw::richtext::testing
