// The page-properties dialog driven by keys, its unit conversions, and printing with the page
// it set.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <algorithm>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>

#include "platform/gfx/printer.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/uilanguage.h"
#include "richtext/controls/pageprop.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

TEST(PageUnits, ConvertBetweenTwipsInchesAndCentimetres) {
  EXPECT_EQ(TwipsToUnitText(12240, "Inch"), "8.50");
  EXPECT_EQ(TwipsToUnitText(12240, "cm"), "21.59");
  EXPECT_EQ(TwipsToUnitText(1880, "Inch"), "1.31");
  EXPECT_EQ(TwipsToUnitText(1880, "Twips"), "1880");
  EXPECT_EQ(UnitToTwips(21, "Cm"), 11906);
  EXPECT_EQ(UnitToTwips(1.31, "INCH"), 1886);
  EXPECT_EQ(UnitToTwips(1440.4, "Twips"), 1440);
  EXPECT_THROW(UnitToTwips(1e300, "Inch"), EConvertError);
}

class NoSpooler : public TPrintSpooler {
 public:
  std::vector<std::string> Destinations() override { return {}; }
  std::string DefaultDestination() override { return ""; }
  bool Submit(const std::string&, const std::string&, const std::string&, std::string& error) override {
    error = "no printing here";
    return false;
  }
};

class PageDialog : public RichTextTest {
 protected:
  void SetUp() override {
    RichTextTest::SetUp();
    TRiPagePropDlg::RememberedUnit().clear();
    dlg = new TRiPagePropDlg(form);
    dlg->SetEditBox(rt);
  }
  void TearDown() override {
    Application()->OnIdle = nullptr;
    RichTextTest::TearDown();
  }
  // Runs Execute while the steps run one at a time whenever the queue is empty; a dialog still
  // open after the last step is cancelled so the test ends.
  bool Run(std::vector<std::function<void()>> steps) {
    auto index = std::make_shared<std::size_t>(0);
    auto busy = std::make_shared<bool>(false);
    Application()->OnIdle = [this, steps, index, busy](TObject*, bool& done) {
      done = false;
      if (*busy || dlg->Window() == nullptr) return;
      *busy = true;
      if (*index < steps.size()) {
        steps[(*index)++]();
        Pump();
      } else {
        dlg->Window()->SetModalResult(mrCancel);
        exhausted = true;
      }
      *busy = false;
    };
    const bool ok = dlg->Execute();
    Application()->OnIdle = nullptr;
    return ok;
  }
  TEdit* Field(int tag) { return dlg->Window()->Edits[static_cast<std::size_t>(tag)]; }
  // Replaces the text of a field as a user does: focus, clear with Backspace, type.
  void Retype(int tag, const std::string& text) {
    Field(tag)->SetFocus();
    Pump();
    InjectKey(VK_END, kNoCharacter);
    for (int i = 0; i < 12; ++i) InjectKey(VK_BACK);
    InjectText(text);
    Pump();
  }
  TRiPagePropDlg* dlg = nullptr;
  bool exhausted = false;
};

TEST_F(PageDialog, ShowsTheDocumentPageInInchesAndAppliesTypedCentimetres) {
  std::vector<std::string> shown;
  const bool ok = Run({
      [&] {
        for (int tag = 1; tag <= 6; ++tag) shown.push_back(Field(tag)->GetText());
        EXPECT_EQ(dlg->Window()->GetText(), "Page Properties");
        dlg->Window()->ComboBox1->SetFocus();
      },
      [&] { InjectKey(VK_DOWN, kNoCharacter); },
      [&] {
        EXPECT_EQ(dlg->Window()->Unit(), "Cm");
        EXPECT_EQ(Field(1)->GetText(), "21.59");
        Retype(1, "21");
      },
      [&] { Retype(3, ""); },
      [&] { InjectKey(VK_RETURN); },
  });
  EXPECT_TRUE(ok);
  EXPECT_FALSE(exhausted);
  EXPECT_EQ(shown, (std::vector<std::string>{"8.50", "11.00", "1.00", "1.00", "1.31", "1.31"}));
  const TRiLayout& l = E().Header().Layout;
  EXPECT_EQ(l.PageWidth, 11906);
  EXPECT_EQ(l.TopMargin, 0);
  // Values the user did not touch keep their exact twips.
  EXPECT_EQ(l.LeftMargin, 1880);
  EXPECT_EQ(l.PageHeight, 15840);
  EXPECT_EQ(TRiPagePropDlg::RememberedUnit(), "Cm");
  // The next dialog opens in the confirmed unit.
  std::string unit;
  Run({[&] { unit = dlg->Window()->Unit(); }, [&] { InjectKey(VK_ESCAPE); }});
  EXPECT_EQ(unit, "Cm");
}

// The window opens on the paper width with its text selected: what the user types replaces it.
TEST_F(PageDialog, OpensOnTheWidthWithItsTextSelected) {
  EXPECT_TRUE(Run({[&] { InjectText("8.27"); }, [&] { InjectKey(VK_RETURN); }}));
  EXPECT_EQ(E().Header().Layout.PageWidth, 11909);
}

// In German the window speaks German, its units among it, while the unit kept between uses
// stays the same unit whatever the language.
TEST_F(PageDialog, SpeaksTheProgramsLanguageWithTheSameUnits) {
  SetUiLanguage(TUiLanguage::German);
  std::vector<std::string> texts, units;
  std::string unit;
  const bool ok = Run({
      [&] {
        TRiPageProp* w = dlg->Window();
        texts = {w->GetText(),           w->GroupBox1->Caption(), w->Label1->Caption(), w->Label2->Caption(),
                 w->GroupBox2->Caption(), w->Label3->Caption(),    w->Label4->Caption(), w->Label5->Caption(),
                 w->Label6->Caption(),    w->Label7->Caption(),    w->BitBtn2->Caption(), w->BitBtn1->Caption()};
        for (int i = 0; i < w->ComboBox1->Items()->Count(); ++i) units.push_back(w->ComboBox1->Items()->Get(i));
        // Each button holds its glyph (18 pixels), the gap and its German caption within its bevels.
        for (TBitBtn* button : {w->BitBtn1, w->BitBtn2}) {
          TBitmap measure;
          measure.Canvas()->Font()->Assign(button->Font());
          EXPECT_LE(18 + button->Spacing() + measure.Canvas()->TextWidth(button->Caption()) + 8, button->Width())
              << button->Caption() << " is cut";
        }
        EXPECT_LE(w->BitBtn2->BoundsRect().Right, w->BitBtn1->Left());
        EXPECT_LE(w->BitBtn1->BoundsRect().Right, w->ClientWidth());
        w->ComboBox1->SetFocus();
      },
      [&] { InjectKey(VK_DOWN, kNoCharacter); },
      [&] {
        unit = dlg->Window()->Unit();
        EXPECT_EQ(Field(1)->GetText(), "21.59");
      },
      [&] { InjectKey(VK_RETURN); },
  });
  SetUiLanguage(std::nullopt);
  EXPECT_TRUE(ok);
  EXPECT_EQ(texts, (std::vector<std::string>{"Seiteneigenschaften", " Papiergr\xF6\xDF" "e ", "Breite", "H\xF6he",
                                             " R\xE4nder ", "Oben", "Unten", "Links", "Rechts", "Einheit", "OK",
                                             "Abbrechen"}));
  EXPECT_EQ(units, (std::vector<std::string>{"Zoll", "cm", "Twips"}));
  EXPECT_EQ(unit, "Cm");
  EXPECT_EQ(TRiPagePropDlg::RememberedUnit(), "Cm");
  // Back in English the dialog opens in centimetres, named in English.
  std::string shownUnit;
  Run({[&] {
         shownUnit = dlg->Window()->ComboBox1->Items()->Get(dlg->Window()->ComboBox1->ItemIndex());
         EXPECT_EQ(dlg->Window()->BitBtn1->Caption(), "Cancel");
       },
       [&] { InjectKey(VK_ESCAPE); }});
  EXPECT_EQ(shownUnit, "Cm");
}

// Where the locale writes a decimal comma, the fields show it and take it; a point is no
// decimal there and is refused.
TEST_F(PageDialog, ADecimalCommaIsShownAndTakenWhereTheLocaleUsesIt) {
  const TFormatSettings saved = FormatSettings();
  FormatSettings().DecimalSeparator = ',';
  FormatSettings().ThousandSeparator = '.';
  std::vector<std::string> shown;
  const bool ok = Run({
      [&] { dlg->Window()->ComboBox1->SetFocus(); },
      [&] { InjectKey(VK_DOWN, kNoCharacter); },  // centimetres
      [&] {
        for (int tag = 1; tag <= 6; ++tag) shown.push_back(Field(tag)->GetText());
        Retype(1, "21,5");
      },
      [&] { Retype(5, "2.5"); },
      [&] { InjectKey(VK_RETURN); },
      [&] {
        EXPECT_NE(dlg->Window(), nullptr);  // "2.5" is no number here
        Retype(5, "2,5");
      },
      [&] { InjectKey(VK_RETURN); },
  });
  FormatSettings() = saved;
  EXPECT_TRUE(ok);
  EXPECT_FALSE(exhausted);
  EXPECT_EQ(shown, (std::vector<std::string>{"21,59", "27,94", "2,54", "2,54", "3,32", "3,32"}));
  EXPECT_EQ(boxes.size(), 1u) << ::testing::PrintToString(boxes);
  const TRiLayout& l = E().Header().Layout;
  EXPECT_EQ(l.PageWidth, UnitToTwips(21.5, "Cm"));
  EXPECT_EQ(l.LeftMargin, UnitToTwips(2.5, "Cm"));
  EXPECT_EQ(l.RightMargin, 1880);
}

TEST_F(PageDialog, CancelAndBadNumbersChangeNothing) {
  const bool ok = Run({
      [&] { Retype(2, "abc"); },
      [&] { InjectKey(VK_RETURN); },
      [&] {
        EXPECT_NE(dlg->Window(), nullptr);  // still open after the refused OK
        InjectKey(VK_ESCAPE);
      },
  });
  EXPECT_FALSE(ok);
  EXPECT_FALSE(exhausted);
  EXPECT_FALSE(boxes.empty());
  EXPECT_EQ(E().Header().Layout.PageHeight, 15840);
  EXPECT_TRUE(TRiPagePropDlg::RememberedUnit().empty());
}

// On a desktop the box that refuses OK takes the activation and gives it back to the dialog when
// it closes: the dialog comes back as the user left it (unit, typed texts), to be mended there.
TEST_F(PageDialog, ARefusedOkKeepsWhatTheUserTypedWhenTheBoxGivesTheDialogBack) {
  auto boxTakesTheWindowAndGivesItBack = [&] {
    auto* box = new TForm(Application());
    box->SetBounds(10, 10, 100, 60);
    box->Show();
    Pump();
    EXPECT_NE(GetActiveWindow(), dlg->Window()->Handle());
    delete box;
    SetActiveWindow(dlg->Window()->Handle());
    Pump();
  };
  std::vector<std::string> after;
  std::string unit;
  const bool ok = Run({
      [&] { dlg->Window()->ComboBox1->SetFocus(); },
      [&] { InjectKey(VK_DOWN, kNoCharacter); },  // centimetres
      [&] { Retype(3, "2"); },
      [&] { Retype(5, "abc"); },
      [&] { InjectKey(VK_RETURN); },
      boxTakesTheWindowAndGivesItBack,
      [&] {
        unit = dlg->Window()->Unit();
        for (int tag = 1; tag <= 6; ++tag) after.push_back(Field(tag)->GetText());
        Retype(5, "3");
      },
      [&] { Retype(6, "30"); },  // no room for text now
      [&] { InjectKey(VK_RETURN); },
      boxTakesTheWindowAndGivesItBack,
      [&] {
        EXPECT_EQ(Field(6)->GetText(), "30");
        EXPECT_EQ(Field(5)->GetText(), "3");
        Retype(6, "2");
      },
      [&] { InjectKey(VK_RETURN); },
  });
  EXPECT_TRUE(ok);
  EXPECT_FALSE(exhausted);
  EXPECT_EQ(boxes.size(), 2u) << ::testing::PrintToString(boxes);
  EXPECT_EQ(unit, "Cm");
  EXPECT_EQ(after, (std::vector<std::string>{"21.59", "27.94", "2", "2.54", "abc", "3.32"}));
  const TRiLayout& l = E().Header().Layout;
  EXPECT_EQ(l.TopMargin, UnitToTwips(2, "Cm"));
  EXPECT_EQ(l.LeftMargin, UnitToTwips(3, "Cm"));
  EXPECT_EQ(l.RightMargin, UnitToTwips(2, "Cm"));
  EXPECT_EQ(l.PageWidth, 12240);
}

TEST_F(PageDialog, APageWithoutRoomForTextIsRefusedUntilMended) {
  const bool ok = Run({
      [&] { Retype(5, "5"); },  // 5 + 1.31 inches of margins on an 8.5-inch page: fine
      [&] { Retype(6, "4"); },  // 9 inches of margins: no text left
      [&] { InjectKey(VK_RETURN); },
      [&] {
        EXPECT_NE(dlg->Window(), nullptr);
        EXPECT_EQ(E().Header().Layout.LeftMargin, 1880);
        Retype(4, "-1");
      },
      [&] { Retype(6, "1"); },
      [&] { InjectKey(VK_RETURN); },
      [&] {
        EXPECT_NE(dlg->Window(), nullptr);  // a negative margin is refused too
        Retype(4, "1e99");
      },
      [&] { InjectKey(VK_RETURN); },
      [&] {
        EXPECT_NE(dlg->Window(), nullptr);  // and a number too large for a page
        Retype(4, "1");
      },
      [&] { InjectKey(VK_RETURN); },
  });
  EXPECT_TRUE(ok);
  EXPECT_FALSE(exhausted);
  // One box for each refused OK, none for the texts passed on the way ("-", "1e").
  EXPECT_EQ(boxes.size(), 3u) << ::testing::PrintToString(boxes);
  const TRiLayout& l = E().Header().Layout;
  EXPECT_EQ(l.LeftMargin, 7200);
  EXPECT_EQ(l.RightMargin, 1440);
  EXPECT_EQ(l.BottomMargin, 1440);
  // The editor itself keeps its page when given one without room for text.
  rt->SetPageSize(0, 0, 0, 0, 0, 0);
  rt->SetPageSize(1000, 1000, riKeep, riKeep, 2000, riKeep);
  rt->SetPageSize(-5, riKeep, riKeep, riKeep, riKeep, riKeep);
  EXPECT_EQ(l.LeftMargin, 7200);
  EXPECT_EQ(l.PageWidth, 12240);
  EXPECT_FALSE(rt->Modified);
}

// 200 inches (288000 twips) either way is the largest paper a page may have: the program keeps
// no larger page setup, so the dialog does not take one either.
TEST_F(PageDialog, APageLargerThanAnyPaperIsRefusedUntilMended) {
  const bool ok = Run({
      [&] { Retype(1, "250"); },
      [&] { InjectKey(VK_RETURN); },
      [&] {
        EXPECT_NE(dlg->Window(), nullptr);
        Retype(1, "200");
      },
      [&] { Retype(2, "200.01"); },
      [&] { InjectKey(VK_RETURN); },
      [&] {
        EXPECT_NE(dlg->Window(), nullptr);
        Retype(2, "200");
      },
      [&] { InjectKey(VK_RETURN); },
  });
  EXPECT_TRUE(ok);
  EXPECT_FALSE(exhausted);
  ASSERT_EQ(boxes.size(), 2u) << ::testing::PrintToString(boxes);
  EXPECT_NE(boxes[0].find("The paper cannot be larger than 200.00"), std::string::npos) << boxes[0];
  const TRiLayout& l = E().Header().Layout;
  EXPECT_EQ(l.PageWidth, MaxPageTwips);
  EXPECT_EQ(l.PageHeight, MaxPageTwips);
  // The editor keeps its page when given a larger one.
  rt->SetPageSize(riKeep, riKeep, riKeep, riKeep, MaxPageTwips + 1, riKeep);
  rt->SetPageSize(riKeep, riKeep, riKeep, riKeep, riKeep, 1 << 30);
  EXPECT_EQ(l.PageWidth, MaxPageTwips);
  EXPECT_EQ(l.PageHeight, MaxPageTwips);
}

TEST_F(PageDialog, WorksOnAReadOnlyViewAndWithoutAnEditorDoesNothing) {
  rt->SetReadOnly(true);
  Run({[&] { Retype(5, "2"); }, [&] { InjectKey(VK_RETURN); }});
  EXPECT_EQ(E().Header().Layout.LeftMargin, 2880);
  delete rt;
  rt = nullptr;
  EXPECT_EQ(dlg->EditBox(), nullptr);
  EXPECT_FALSE(dlg->Execute());
  rt = new TRiRichText(form);  // TearDown frees the form with it
}

class Printing : public PageDialog {
 protected:
  void SetUp() override {
    PageDialog::SetUp();
    pdf_ = ::testing::TempDir() + "richctl_" + std::to_string(::getpid()) + ".pdf";
    std::remove(pdf_.c_str());
    setenv("TIDEWELL_PRINT_TO", pdf_.c_str(), 1);
    old_ = SetPrinter(std::make_unique<TPrinter>(std::make_unique<NoSpooler>()));
    Printer()->SetResolution(300);
  }
  void TearDown() override {
    SetPrinter(std::move(old_));
    unsetenv("TIDEWELL_PRINT_TO");
    std::remove(pdf_.c_str());
    PageDialog::TearDown();
  }
  int PdfPages() {
    std::ifstream in(pdf_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string pdf = s.str();
    std::regex page(R"(/Type\s*/Page[^s])");
    return static_cast<int>(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
  }
  std::string pdf_;
  std::unique_ptr<TPrinter> old_;
};

TEST_F(Printing, PrintsThePagesOfTheSizeSetInTheDialog) {
  for (int i = 0; i < 40; ++i) rt->InputString("Transit line number " + std::to_string(i) + "\r");
  rt->Reformat();
  rt->SetReadOnly(true);
  rt->Print();
  const int fullPages = PdfPages();
  EXPECT_GE(fullPages, 1);
  // A page of 3 inches with 1-inch margins leaves one inch for the text: more pages.
  Run({[&] { Retype(2, "3"); }, [&] { InjectKey(VK_RETURN); }});
  EXPECT_EQ(E().Header().Layout.PageHeight, 4320);
  std::remove(pdf_.c_str());
  rt->Print();
  const int smallPages = PdfPages();
  EXPECT_GT(smallPages, fullPages * 4);
  // The view is back on the screen after printing.
  EXPECT_EQ(E().ReferenceCanvas(), rt->Picture().Canvas());
  EXPECT_EQ(E().ParagraphText(39), "Transit line number 39");
}

// A view that wraps its lines at the window shows more lines than the page holds when the
// window is narrower than the page's text; the printout is the page's all the same, whatever
// the window's width or the zoom.
TEST_F(Printing, TheWindowsWidthAndTheZoomDoNotChangeThePrintedPages) {
  rt->SetWordWrap(true);
  for (int i = 0; i < 120; ++i)
    rt->InputString("Transit line number " + std::to_string(i) + " with more words that wrap in a narrow window\r");
  rt->Reformat();
  rt->SetReadOnly(true);
  auto print = [&] {
    std::remove(pdf_.c_str());
    rt->Print();
    return PdfPages();
  };
  const int pages = print();
  ASSERT_GE(pages, 2);
  for (int width : {300, 150}) {
    SCOPED_TRACE(width);
    rt->SetBounds(0, 0, width, 360);
    Pump();
    const int shownHeight = E().DocumentHeight;
    EXPECT_EQ(print(), pages);
    // The view shows the document as before, wrapped at its window.
    EXPECT_EQ(E().TextWidth(), E().WindowWidth());
    EXPECT_EQ(E().DocumentHeight, shownHeight);
  }
  rt->SetBounds(0, 0, 480, 360);
  for (int zoom : {200, 300}) {
    SCOPED_TRACE(zoom);
    rt->SetZooming(zoom);
    EXPECT_EQ(print(), pages);
  }
  // A print that fails gives the narrow view back wrapped at its window too.
  rt->SetBounds(0, 0, 150, 360);
  Pump();
  const int shownHeight = E().DocumentHeight;
  unsetenv("TIDEWELL_PRINT_TO");
  EXPECT_THROW(rt->Print(), Exception);
  EXPECT_TRUE(rt->WordWrap());
  EXPECT_EQ(E().TextWidth(), E().WindowWidth());
  EXPECT_EQ(E().DocumentHeight, shownHeight);
}

TEST_F(Printing, APageRangeGivesHeadersAndFootersOfItsPagesOnly) {
  for (int i = 0; i < 12; ++i) rt->InputString("Entry " + std::to_string(i) + (i % 3 == 2 ? "\f" : "\r"));
  rt->Reformat();
  std::vector<int> headers, footers;
  rt->PrintHeader = [&](TObject* sender, TCanvas*, int, int, int, int h, int page, std::int32_t) {
    EXPECT_EQ(sender, rt);
    EXPECT_GT(h, 0);  // the top margin above the text
    headers.push_back(page);
  };
  rt->PrintFooter = [&](TObject*, TCanvas*, int, int, int, int, int page, std::int32_t) { footers.push_back(page); };
  rt->PrintPages(2, 3);
  EXPECT_EQ(headers, (std::vector<int>{2, 3}));
  EXPECT_EQ(footers, (std::vector<int>{2, 3}));
  EXPECT_EQ(PdfPages(), 2);
  EXPECT_EQ(E().ReferenceCanvas(), rt->Picture().Canvas());
}

TEST_F(Printing, APageSeriesPaintsEveryLineOnceAndGivesTheViewBack) {
  for (int i = 0; i < 30; ++i) rt->InputString("Preview line " + std::to_string(i) + "\r");
  rt->Reformat();
  const int width = E().WindowWidth(), height = E().WindowHeight();
  const int vert = E().VertOffset();
  TBitmap page;
  page.SetSize(400, 200);
  EXPECT_EQ(rt->PaintPage(page.Canvas(), 10, 10, 380, 180, 0, pmBeginSeries), 0);
  int first = 0, pages = 0;
  std::vector<int> starts;
  do {
    starts.push_back(first);
    first = rt->PaintPage(page.Canvas(), 10, 10, 380, 180, first, pmPaint);
    ++pages;
  } while (first != 0 && pages < 100);
  rt->PaintPage(page.Canvas(), 10, 10, 380, 180, 0, pmEndSeries);
  EXPECT_GT(pages, 2);
  EXPECT_LT(pages, 100);
  EXPECT_TRUE(std::is_sorted(starts.begin(), starts.end()));
  // The series ended: the view paints on its own picture again, at its own size.
  EXPECT_EQ(E().ReferenceCanvas(), rt->Picture().Canvas());
  EXPECT_EQ(E().WindowWidth(), width);
  EXPECT_EQ(E().WindowHeight(), height);
  EXPECT_EQ(E().VertOffset(), vert);
  rt->InputString("x");
  EXPECT_EQ(E().ParagraphText(30), "x");
}

}  // namespace
}  // namespace tw::richtext::testing
