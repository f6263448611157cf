// Printing to PDF and painting single pages.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "richtext/paint/pages.h"
#include "richtext/paint/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

class NoSpooler : public TPrintSpooler {
 public:
  std::vector<std::string> Destinations() override { return {}; }
  std::string DefaultDestination() override { return ""; }
  bool Submit(const std::string&, const std::string&, const std::string&, std::string& error) override {
    error = "no printing here";
    return false;
  }
};

class Printing : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    pdf_ = ::testing::TempDir() + "richpaint_" + std::to_string(::getpid()) + ".pdf";
    std::remove(pdf_.c_str());
    setenv("TIDEWELL_PRINT_TO", pdf_.c_str(), 1);
    printer_ = std::make_unique<TPrinter>(std::make_unique<NoSpooler>());
    printer_->SetPaperSize(PaperLetter());
    printer_->SetResolution(300);
  }
  void TearDown() override {
    unsetenv("TIDEWELL_PRINT_TO");
    std::remove(pdf_.c_str());
  }
  // Page sizes of the written document in points.
  std::vector<std::pair<double, double>> Pages() {
    std::ifstream in(pdf_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string pdf = s.str();
    std::vector<std::pair<double, double>> boxes;
    std::regex box(R"(/MediaBox\s*\[\s*0\s+0\s+([0-9.]+)\s+([0-9.]+)\s*\])");
    for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), box); it != std::sregex_iterator(); ++it)
      boxes.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    return boxes;
  }
  // A document of `pages` screen pages on a 3-inch page with 1-inch margins.
  void BuildPages(int pages) {
    e_->SetPageSize(1440, 1440, 1440, 1440, 12240, 1440 * 3);
    Build({"probe"});
    const int h = LineOf(0, 0)->Height;
    const int perPage = 96 / h;
    Build(std::vector<std::string>(static_cast<std::size_t>(perPage * pages), "A line of text"));
    int count = 1;
    for (PTParagraph p = e_->FirstPar; p != nullptr; p = p->Next) count += (p->FirstLine->Flags & lfPageStart) != 0;
    ASSERT_EQ(count, pages);
  }
  std::string pdf_;
  std::unique_ptr<TPrinter> printer_;
};

TEST_F(Printing, PrintsEveryScreenPageOnAPrintedPageOfThePaperSize) {
  BuildPages(3);
  const int screenHeight = e_->DocumentHeight;
  TRiPagePrinter pp(*e_);
  pp.Print(*printer_);
  const auto pages = Pages();
  ASSERT_EQ(pages.size(), 3u);
  for (const auto& p : pages) {
    EXPECT_NEAR(p.first, 612, 0.05);
    EXPECT_NEAR(p.second, 792, 0.05);
  }
  // The screen view is back as it was.
  EXPECT_EQ(e_->Header().ResolutionX, 96);
  EXPECT_EQ(e_->DocumentHeight, screenHeight);
  EXPECT_EQ(e_->ReferenceCanvas(), bmp_.Canvas());
  EXPECT_EQ(e_->LayoutOptions(), loDefault);
  EXPECT_FALSE(e_->PageHeightFactorOn);
}

TEST_F(Printing, PrinterFontsOfOtherProportionsKeepTheScreenPages) {
  BuildPages(3);
  printer_->SetResolution(600);
  TRiPagePrinter pp(*e_);
  pp.Print(*printer_);
  EXPECT_EQ(Pages().size(), 3u);
  // Printing at the printer's own breaks may differ but still ends.
  pp.NoPageMatching = true;
  pp.Print(*printer_);
  EXPECT_GE(Pages().size(), 3u);
}

TEST_F(Printing, APageRangeCallsHeadersAndFootersOnlyForItsPages) {
  BuildPages(4);
  TRiPagePrinter pp(*e_);
  std::vector<int> headers, footers;
  int headerH = 0, footerY = 0;
  pp.PrintHeader = [&](TObject*, TCanvas*, int, int y, int, int h, int page, std::int32_t) {
    headers.push_back(page);
    headerH = h + y;
  };
  pp.PrintFooter = [&](TObject*, TCanvas*, int, int y, int, int, int page, std::int32_t) {
    footers.push_back(page);
    footerY = y;
  };
  pp.PrintPages(*printer_, 2, 3);
  EXPECT_EQ(headers, (std::vector<int>{2, 3}));
  EXPECT_EQ(footers, (std::vector<int>{2, 3}));
  EXPECT_EQ(Pages().size(), 2u);
  EXPECT_EQ(headerH, 300);             // the top margin at 300 dpi
  EXPECT_EQ(footerY, 300 + 300);       // the bottom of the 1-inch body
}

TEST_F(Printing, HardPageBreaksStartANewSheet) {
  Build({"one", "two", "three"});
  Par(1)->Flags |= pfPageBreak;
  Par(2)->Flags |= pfPageBreak;
  e_->ReformatAll();
  TRiPagePrinter pp(*e_);
  pp.Print(*printer_);
  EXPECT_EQ(Pages().size(), 3u);
}

// A page larger than the printer's sheet (a Legal page on a Letter printer) is printed on a sheet
// of its own size: nothing below the Letter sheet's edge is lost.  The printer keeps its sheet
// for everything else.
TEST_F(Printing, APageLargerThanTheSheetIsPrintedOnASheetOfItsSize) {
  std::vector<std::string> lines;
  for (int i = 0; i < 70; ++i) lines.push_back("Numbered line " + std::to_string(i));
  Build(lines);
  e_->SetPageSize(1440, 1440, 1440, 1440, 12240, 20160);
  e_->ReformatAll();
  TRiPagePrinter pp(*e_);
  pp.Print(*printer_);
  const auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_NEAR(pages[0].first, 612, 1);
  EXPECT_NEAR(pages[0].second, 1008, 1);
  // The text on the sheet, as poppler's pdftotext reads it (the Makefile installs it).
  std::string text;
  FILE* f = popen(("pdftotext -layout '" + pdf_ + "' - 2>&1").c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  ASSERT_EQ(pclose(f), 0) << "pdftotext (poppler-utils) did not read the PDF: " << text;
  EXPECT_NE(text.find("Numbered line 0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Numbered line 69"), std::string::npos) << text;
  EXPECT_EQ(printer_->PaperSize().Name, PaperLetter().Name);
  // A page that fits stays on the printer's sheet.
  e_->SetPageSize(1440, 1440, 1440, 1440, 11906, 14000);
  e_->ReformatAll();
  pp.Print(*printer_);
  ASSERT_FALSE(Pages().empty());
  for (const auto& page : Pages()) EXPECT_NEAR(page.second, 792, 1);
}

TEST_F(Printing, WithoutADestinationPrintingFailsAndTheViewIsRestored) {
  unsetenv("TIDEWELL_PRINT_TO");
  Build({"nothing printed"});
  TRiPagePrinter pp(*e_);
  e_->SetPageSize(riKeep, riKeep, riKeep, riKeep, riKeep, 20160);  // larger than the sheet
  EXPECT_THROW(pp.Print(*printer_), Exception);
  EXPECT_FALSE(printer_->Printing());
  EXPECT_EQ(printer_->PaperSize().Name, PaperLetter().Name);
  EXPECT_EQ(e_->Header().ResolutionX, 96);
  EXPECT_EQ(e_->ReferenceCanvas(), bmp_.Canvas());
}

// An engine whose printer lines come out taller, in proportion, than its screen lines: the
// printed pages' page-height factor is above 1.  It keeps what the last page pass on the
// printer gave: each line's top and bottom relative to the top of its page.
class TallerOnPaper : public TRiRTFTextPaint {
 public:
  float Factor = 1.5f;
  std::vector<std::pair<int, int>> Printed;  // top and bottom of every line on its page
  int BodyHeight = 0;
  int PagePass() override {
    if (PageHeightFactorOn) PageHeightFactor = Factor;
    const int height = TRiRTFTextPaint::PagePass();
    if (PageHeightFactorOn) {
      const TRiLayout& l = Header().Layout;
      BodyHeight = MulDiv(l.PageHeight - l.TopMargin - l.BottomMargin, Header().ResolutionY, TwipsPerInch);
      Printed.clear();
      int pageTop = 0;
      for (PTParagraph p = FirstPar; p != nullptr; p = p->Next)
        for (PTLine line = p->FirstLine; line != nullptr; line = line->Next) {
          if ((line->Flags & lfPageStart) || (line == p->FirstLine && (p->Flags & pfPageBreak))) pageTop = line->Top;
          Printed.emplace_back(line->Top - pageTop, line->Top - pageTop + line->Height);
        }
    }
    return height;
  }
};

TEST_F(Printing, WithPrinterLinesTallerThanTheScreensEveryLineStaysInsideTheBody) {
  auto* engine = new TallerOnPaper;
  e_.reset(engine);
  e_->Clear();
  e_->SetReferenceCanvas(bmp_.Canvas());
  e_->SetWindowWidth(640);
  e_->SetWindowHeight(480);
  BuildPages(4);
  for (float factor : {1.05f, 1.5f, 2.0f}) {
    engine->Factor = factor;
    TRiPagePrinter pp(*e_);
    pp.Print(*printer_);
    ASSERT_FALSE(engine->Printed.empty());
    ASSERT_GT(engine->BodyHeight, 0);
    for (const auto& [top, bottom] : engine->Printed) {
      EXPECT_GE(top, 0);
      EXPECT_LE(bottom, engine->BodyHeight) << "factor " << factor;
    }
    // The text needs more sheets than the screen had pages, not fewer.
    EXPECT_GE(Pages().size(), 4u);
  }
}

using PagePainting = EngineTest;

TEST_F(PagePainting, PagesFollowOneAnotherAndTheLastReturnsZero) {
  Build(std::vector<std::string>(30, "Line on a page"));
  const int h = LineOf(0, 0)->Height;
  TBitmap page;
  page.SetSize(300, 10 * h + 5);
  TRiPagePrinter pp(*e_);
  int first = 0, pages = 0;
  std::vector<int> starts;
  do {
    starts.push_back(first);
    first = pp.PaintPage(page.Canvas(), 0, 0, 300, 10 * h + 5, first, pmPaint);
    ++pages;
  } while (first != 0 && pages < 10);
  EXPECT_EQ(starts, (std::vector<int>{0, 10, 20}));
  // Counting only gives the same breaks without drawing.
  EXPECT_EQ(pp.PaintPage(page.Canvas(), 0, 0, 300, 10 * h + 5, 10, pmCount), 20);
  EXPECT_EQ(e_->ReferenceCanvas(), bmp_.Canvas());
  EXPECT_EQ(e_->TextWidth(), e_->Header().Layout.PrintableWidth);
  // Something was drawn on the page.
  int ink = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 100; ++x) ink += page.Canvas()->Pixel(x, y) != clWhite;
  EXPECT_GT(ink, 0);
}

TEST_F(PagePainting, ASeriesKeepsTheTargetLayoutUntilItEnds) {
  Build(std::vector<std::string>(12, "Series line"));
  TBitmap page;
  page.SetSize(200, 100);
  TRiPagePrinter pp(*e_);
  pp.PaintPage(page.Canvas(), 0, 0, 200, 100, 0, pmBeginSeries);
  EXPECT_TRUE(pp.SeriesActive());
  EXPECT_EQ(e_->ReferenceCanvas(), page.Canvas());
  const int next = pp.PaintPage(page.Canvas(), 0, 0, 200, 100, 0, pmPaint);
  EXPECT_GT(next, 0);
  EXPECT_LE(pp.LastBottom(), 100);
  pp.PaintPage(nullptr, 0, 0, 0, 0, 0, pmEndSeries);
  EXPECT_FALSE(pp.SeriesActive());
  EXPECT_EQ(e_->ReferenceCanvas(), bmp_.Canvas());
}

// A series begun again before it ended (a preview opened anew) takes the new target; its end
// still gives the engine its own view back, never the page it painted on last.
TEST_F(PagePainting, ASeriesBegunTwiceEndsOnTheEnginesOwnView) {
  Build(std::vector<std::string>(12, "Series line"));
  const int width = e_->WindowWidth(), height = e_->WindowHeight(), textWidth = e_->TextWidth();
  TRiPagePrinter pp(*e_);
  {
    auto first = std::make_unique<TBitmap>();
    first->SetSize(200, 100);
    auto second = std::make_unique<TBitmap>();
    second->SetSize(300, 150);
    pp.PaintPage(first->Canvas(), 0, 0, 200, 100, 0, pmBeginSeries);
    pp.PaintPage(second->Canvas(), 5, 5, 290, 140, 0, pmBeginSeries);
    EXPECT_EQ(e_->ReferenceCanvas(), second->Canvas());
    EXPECT_GT(pp.PaintPage(second->Canvas(), 5, 5, 290, 140, 0, pmPaint), 0);
    pp.PaintPage(nullptr, 0, 0, 0, 0, 0, pmEndSeries);
  }
  EXPECT_FALSE(pp.SeriesActive());
  EXPECT_EQ(e_->ReferenceCanvas(), bmp_.Canvas());
  EXPECT_EQ(e_->WindowWidth(), width);
  EXPECT_EQ(e_->WindowHeight(), height);
  EXPECT_EQ(e_->TextWidth(), textWidth);
  // The pages are gone; the engine paints on its own canvas.
  e_->Redraw();
  EXPECT_GT(CountColour(bmp_.Canvas(), TRect{0, 0, 100, 15}, clBlack), 0);
}

}  // namespace
}  // namespace tw::richtext::testing
