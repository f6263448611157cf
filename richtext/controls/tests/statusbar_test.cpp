// The status bar: item definitions, layout, the gauge, clicks, and the texts the rich-text
// component writes into it (format, status, file name, cursor position).
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/classes/streams.h"
#include "richtext/controls/tests/tools_fixture.h"

namespace tw::richtext::testing {
namespace {

TEST(StatusItemDefinition, PrefixesWidthKindAndText) {
  TRiStatusItemRec item;
  EXPECT_FALSE(ParseStatusItem("", item));
  ASSERT_TRUE(ParseStatusItem("@$%120STFILENAME=none", item));
  EXPECT_EQ(item.Flags, sfRaised | sfSunken | sfHighlight);
  EXPECT_EQ(item.DesiredWidth, 120);
  EXPECT_EQ(item.Kind, TRiStatusItem::stFileName);
  EXPECT_EQ(item.Text, "none");
  // Without "=" the entry is its own text; an unknown name is a plain string item.
  ASSERT_TRUE(ParseStatusItem("40Hello", item));
  EXPECT_EQ(item.Kind, TRiStatusItem::stString);
  EXPECT_EQ(item.Text, "Hello");
  EXPECT_EQ(item.Flags, 0);
  // Names after stPathName do not name a kind; absurd widths are capped.
  ASSERT_TRUE(ParseStatusItem("stString", item));
  EXPECT_EQ(item.Kind, TRiStatusItem::stString);
  ASSERT_TRUE(ParseStatusItem("99999999999999999999stLine", item));
  EXPECT_EQ(item.Kind, TRiStatusItem::stLine);
  EXPECT_LE(item.DesiredWidth, 32767);
}

class StatusBar : public ToolsTest {};

TEST_F(StatusBar, TextsGoToTheFirstItemOfTheirKind) {
  EXPECT_FALSE(bar->SetItemText(TRiStatusItem::stCaps, "CAPS"));
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stCaps), "");
  EXPECT_TRUE(bar->SetItemText(TRiStatusItem::stStatus, "busy"));
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stStatus), "busy");
}

TEST_F(StatusBar, TheComponentShowsFormatStatusAndFileName) {
  bar->RefreshItems();
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stTxtFmt), "RICH");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stStatus), "Ready");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stFileName), " ");
  rt->SetStatusText("working");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stStatus), "working");
  rt->SetStatusText("");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stStatus), "Ready");
  // Without a selection the selection writer says so.
  TMemoryStream s;
  EXPECT_FALSE(rt->SaveSelectionToStream(s));
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stStatus), "no text selected");
}

TEST_F(StatusBar, TheLanguageIsOneForEveryComponent) {
  auto* other = new TRiRichText(form);
  other->SetLanguage(TRiToolLanguage::twpGerman);
  EXPECT_EQ(rt->Language(), TRiToolLanguage::twpGerman);
  bar->RefreshItems();
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stTxtFmt), "FMT");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stStatus), "Bereit");
  EXPECT_EQ(RichTextDecimalSeparator(), ',');
  EXPECT_EQ(RichTextString(rsDeleteTabs), "Tabulatoren l\xF6schen");
}

TEST_F(StatusBar, ThePositionFollowsTheCursor) {
  Type("one\rtwo\rthree");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stLine), "3");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stPage), "1");
  Key(VK_HOME, false, true);
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stLine), "1");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stXPos), "0.0 cm");
  Key(VK_DOWN);
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stLine), "2");
  Key(VK_END);
  const std::string x = bar->ItemText(TRiStatusItem::stXPos);
  EXPECT_NE(x, "0.0 cm");
  EXPECT_NE(x.find(" cm"), std::string::npos);
  ruler->SetUnits(PTRiRulerUnit::Inch);
  SetRichTextLanguage(TRiToolLanguage::twpGerman);
  Key(VK_HOME);
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stXPos), "0,00 in");
}

TEST_F(StatusBar, InsertAndOverwriteShowAsSoonAsTheModeChanges) {
  bar->Items()->SetText("stStatus\n60stLine\n40stInsert");
  Type("one\rtwo");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stInsert), "INS");
  // The Insert key switches the mode without moving the cursor: the bar follows at once.
  Key(VK_INSERT);
  ASSERT_FALSE(rt->Inserting());
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stInsert), "OVR");
  Key(VK_INSERT);
  ASSERT_TRUE(rt->Inserting());
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stInsert), "INS");
  // So does the property, and the mode stays shown after moves and typing.
  rt->SetInserting(false);
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stInsert), "OVR");
  Key(VK_HOME, false, true);
  Type("X");
  EXPECT_EQ(rt->Text(), "Xne\r\ntwo");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stInsert), "OVR");
  rt->SetInserting(true);
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stInsert), "INS");
}

// Typing into a document of many pages: the page pass after a keystroke lays out only what the
// view may show, yet the line, page and place the bar shows, the document's height and the page
// starts are what a whole pass gives, at the document's start, end and middle.
TEST_F(StatusBar, ThePositionInALongDocumentIsWhatAWholePassGives) {
  std::string text;
  const std::string words = "Planets move on through the signs and every transit tells its story. ";
  for (int i = 0; i < 500; ++i) text += words + words + "\r";
  rt->InputString(text);
  rt->Reformat();
  ASSERT_GT(E().DocumentHeight, 10000);
  bool sawPending = false;
  auto check = [&](const std::string& step) {
    SCOPED_TRACE(step);
    sawPending = sawPending || E().PagesPending();
    auto place = [&] {
      return std::vector<std::string>{bar->ItemText(TRiStatusItem::stLine), bar->ItemText(TRiStatusItem::stPage),
                                      bar->ItemText(TRiStatusItem::stYPos)};
    };
    const std::vector<std::string> shown = place();
    const int height = E().DocumentHeight;
    E().Paginate();
    EXPECT_EQ(height, E().DocumentHeight);
    bar->RefreshItems();
    EXPECT_EQ(shown, place());
  };
  const std::string typed = "Lorem ipsum dolor sit amet, consectetur adipiscing elit. ";
  // Typing with a Return now and then, Backspace joining paragraphs, the cursor moved up and
  // down a few lines and a page.
  auto typeAt = [&](const std::string& where) {
    for (int k = 0; k < 140 && !HasFailure(); ++k) {
      if (k % 35 == 20) {
        Key(VK_HOME);
        Key(VK_UP);
        Key(VK_HOME);
        Key(VK_BACK);
      } else if (k % 35 == 27) {
        for (int i = 0; i < 5; ++i) Key(VK_UP);
      } else if (k % 35 == 30) {
        Key(VK_NEXT);
        Key(VK_DOWN);
      } else {
        Type(std::string(1, k % 70 == 69 ? '\r' : typed[static_cast<std::size_t>(k) % typed.size()]));
      }
      if (k % 5 == 0 || k % 35 >= 20) check(where + " " + std::to_string(k));
    }
  };
  Key(VK_HOME, false, true);
  typeAt("start");
  Key(VK_END, false, true);
  typeAt("end");
  rt->SetCursorPos(rt->RtfText()->CursorPosition() / 2);
  typeAt("middle");
  Key(VK_HOME, false, true);
  typeAt("start again");
  EXPECT_TRUE(sawPending);
}

TEST_F(StatusBar, ClearingForgetsTheFileName) {
  rt->FileName = "x.rtf";
  bar->RefreshItems();
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stFileName), "x.rtf");
  rt->Clear();
  EXPECT_EQ(rt->FileName, "");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stFileName), " ");
}

TEST_F(StatusBar, SavingKeepsTheTextAndAFailedOpenKeepsItToo) {
  Type("keep me");
  const std::string name =
      (std::filesystem::temp_directory_path() / ("richctl_" + std::to_string(::getpid()) + ".rtf")).string();
  rt->FileName = name;
  rt->ToolPanelCommand(tkPress, tgFile, 5);  // save under the file name
  EXPECT_EQ(rt->Text(), "keep me");
  EXPECT_FALSE(rt->Modified);
  EXPECT_TRUE(std::filesystem::exists(name));
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stFileName), name);
  EXPECT_THROW(rt->LoadFromFile(name + ".missing"), EFOpenError);
  EXPECT_EQ(rt->Text(), "keep me");
  EXPECT_EQ(rt->FileName, name);
  rt->Clear();
  rt->LoadFromFile(name);
  EXPECT_EQ(rt->Text(), "keep me");
  std::filesystem::remove(name);
}

// A large plain text is kept without attributes; the next file opened is a document of its own
// and keeps its formatting (saved again, it still has it), and the bar tells which it is.
TEST_F(StatusBar, AFileOpenedAfterALargePlainTextKeepsItsFormatting) {
  const std::string base =
      (std::filesystem::temp_directory_path() / ("richctl_fmt_" + std::to_string(::getpid()))).string();
  const std::string text = base + ".txt", rtf = base + ".rtf", saved = base + "_saved.rtf";
  {
    std::ofstream out(text, std::ios::binary);
    for (int i = 0; i < 20000; ++i) out << "a line of plain text for the test\r\n";
  }
  std::ofstream(rtf, std::ios::binary) << "{\\rtf1 plain {\\b bold} text\\par}";
  rt->LoadFromFile(text);
  EXPECT_EQ(rt->RtfText()->MemoryFormat(), TRiMemoryFormat::fmPlainText);
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stTxtFmt), "PLAIN");
  rt->LoadFromFile(rtf);
  EXPECT_EQ(rt->RtfText()->MemoryFormat(), TRiMemoryFormat::fmRichText);
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stTxtFmt), "RICH");
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stFileName), rtf);
  ASSERT_TRUE(E().FirstPar->FirstLine->HasAttrs());
  EXPECT_TRUE(E().FirstPar->FirstLine->Attrs[7].Style & fsBold);  // "bold"
  rt->SaveToFile(saved);
  std::ifstream in(saved, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(written.find("\\b"), std::string::npos) << written;
  // The same through a stream.
  rt->LoadFromFile(text);
  TStringStream stream("{\\rtf1 {\\i slanted}\\par}");
  rt->LoadFromStream(stream);
  ASSERT_TRUE(E().FirstPar->FirstLine->HasAttrs());
  EXPECT_TRUE(E().FirstPar->FirstLine->Attrs[0].Style & fsItalic);
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stTxtFmt), "RICH");
  for (const std::string& f : {text, rtf, saved}) std::filesystem::remove(f);
}

TEST_F(StatusBar, RemovingTheBarLeavesTheEditorSilent) {
  delete bar;
  bar = nullptr;
  EXPECT_EQ(rt->StatusBar(), nullptr);
  Type("typing on");
  rt->SetStatusText("x");
  EXPECT_EQ(rt->Text(), "typing on");
}

TEST_F(StatusBar, ThePageShownWhileTypingIsThePageAWholePassGives) {
  // A short page: 1.5 inches of text body.
  rt->SetPageSize(1440, 1440, 1440, 1440, 12240, 1440 * 3 + 720);
  std::string text;
  for (int i = 0; i < 60; ++i) text += "Paragraph " + std::to_string(i) + "\r";
  rt->InputString(text);
  rt->Reformat();
  Key(VK_END, false, true);
  for (int i = 0; i < 30; ++i) Type("Typed line\r");
  const std::string shown = bar->ItemText(TRiStatusItem::stPage);
  EXPECT_GT(std::stoi(shown), 5);
  E().Paginate();
  E().ScrollToCursor();
  rt->UpdateAttachedControls();
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stPage), shown);
  // Typing in the middle moves the pages below; the page at the end follows.
  rt->SetCursorPosition(0, 0, 0, 10);
  for (int i = 0; i < 12; ++i) Type("more\r");
  Key(VK_END, false, true);
  const std::string after = bar->ItemText(TRiStatusItem::stPage);
  EXPECT_GT(std::stoi(after), std::stoi(shown));
  E().Paginate();
  rt->UpdateAttachedControls();
  EXPECT_EQ(bar->ItemText(TRiStatusItem::stPage), after);
}

class LoneStatusBar : public RichTextTest {
 protected:
  void SetUp() override {
    RichTextTest::SetUp();
    bar = new TRiStatusBarBasic(form);
    bar->SetParent(form);
    bar->SetAlign(TAlign::alNone);
    rt->SetBounds(0, 0, 480, 300);
    bar->SetBounds(0, 320, 300, 22);
  }
  TRiStatusBarBasic* bar = nullptr;
};

TEST_F(LoneStatusBar, ItemsWiderThanTheBarShrinkAndEndTwoPixelsBeforeTheEdge) {
  bar->Items()->SetText("200stStatus\n200stLine\n200stPage");
  ASSERT_EQ(bar->ItemCount(), 3);
  EXPECT_EQ(bar->Item(0).X, 2);
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(bar->Item(i).X, bar->Item(i - 1).X + bar->Item(i - 1).Width + 2);
    EXPECT_NEAR(bar->Item(i).Width, bar->Item(0).Width, 2);
  }
  EXPECT_EQ(bar->Item(2).X + bar->Item(2).Width, 298);
}

TEST_F(LoneStatusBar, NarrowItemsLeaveTheRestToTheLastOrToTheGauge) {
  bar->Items()->SetText("50stStatus\n5stLine\n\n0Text");
  ASSERT_EQ(bar->ItemCount(), 3);  // the empty entry is skipped
  EXPECT_EQ(bar->Item(1).DesiredWidth, 30);  // below 10 becomes 30
  EXPECT_GT(bar->Item(2).DesiredWidth, 10);  // 0 takes the text's width
  EXPECT_EQ(bar->Item(2).X + bar->Item(2).Width, 298);
  bar->SetGaugeWidth(60);
  bar->SetGauge(true);
  ASSERT_EQ(bar->ItemCount(), 4);
  const TRiStatusItemRec& gauge = bar->Item(3);
  EXPECT_EQ(gauge.Kind, TRiStatusItem::stGauge);
  EXPECT_EQ(gauge.Definition, -1);
  EXPECT_EQ(gauge.Width, 60);
  EXPECT_EQ(gauge.X + gauge.Width, 298);
  EXPECT_EQ(bar->Item(2).X + bar->Item(2).Width, gauge.X - 2);
}

TEST_F(LoneStatusBar, AtMostTwentyThreeItemsAreTaken) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "10stString=" + std::to_string(i) + "\n";
  bar->Items()->SetText(text);
  EXPECT_EQ(bar->ItemCount(), MaxStatusItems);
}

TEST_F(LoneStatusBar, AGaugeOfFiftyFillsHalfOfItsItem) {
  bar->SetGaugeWidth(80);
  bar->SetGauge(true);
  bar->Items()->SetText("stStatus=ok");
  bar->SetGaugeValue(50);
  EXPECT_EQ(bar->GaugeValue(), 50);
  bar->SetGaugeValue(250);
  EXPECT_EQ(bar->GaugeValue(), 100);
  bar->SetGaugeValue(50);
  TBitmap picture;
  picture.SetSize(300, 22);
  bar->PaintAll(*picture.Canvas());
  const TRiStatusItemRec& g = bar->Item(bar->ItemCount() - 1);
  int filled = 0;
  for (int x = g.X; x < g.X + g.Width; ++x)
    if (picture.Canvas()->Pixel(x, 11) == clNavy) filled = x - g.X + 1;
  EXPECT_NEAR(filled, 40, 2);
}

TEST_F(LoneStatusBar, APressReportsTheItemUnderIt) {
  bar->Items()->SetText("100stStatus=ready\n100stLine=7");
  Pump();
  std::string clicked;
  bar->OnItemClick = [&](TObject*, int width, int, int x, const std::string& text, TRiStatusItem kind) {
    clicked = text + "|" + std::to_string(x) + "|" + std::to_string(width) + "|" +
              std::to_string(static_cast<int>(kind));
  };
  InjectClick(bar->Handle(), 150, 10);
  Pump();
  EXPECT_EQ(clicked, "7|104|" + std::to_string(bar->Item(1).Width) + "|" +
                         std::to_string(static_cast<int>(TRiStatusItem::stLine)));
}

TEST_F(LoneStatusBar, FitHeightOnlyGrows) {
  bar->SetHeight(2);
  bar->FitHeight();
  EXPECT_GT(bar->Height(), 2);
  bar->SetHeight(60);
  bar->FitHeight();
  EXPECT_EQ(bar->Height(), 60);
}

}  // namespace
}  // namespace tw::richtext::testing
