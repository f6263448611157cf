#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <unistd.h>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/gfx/printer.h"

namespace tw {
namespace {

// A printing system with a fixed list of destinations that keeps what it is sent.
class FakeSpooler : public TPrintSpooler {
 public:
  FakeSpooler(std::vector<std::string> dests, std::string def) : dests_(std::move(dests)), default_(std::move(def)) {}
  std::vector<std::string> Destinations() override { return dests_; }
  std::string DefaultDestination() override { return default_; }
  bool Submit(const std::string& destination, const std::string& pdfFile, const std::string& title,
              std::string& error) override {
    std::ifstream in(pdfFile, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    *sent += destination + "|" + title + "|" + bytes.str().substr(0, 5);
    if (fail) error = "queue stopped";
    return !fail;
  }
  std::vector<std::string> dests_;
  std::string default_;
  std::shared_ptr<std::string> sent = std::make_shared<std::string>();
  bool fail = false;
};

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pdf_ = ::testing::TempDir() + "gfx_printer_test_" + std::to_string(::getpid()) + ".pdf";
    std::remove(pdf_.c_str());
  }
  void TearDown() override {
    unsetenv("TIDEWELL_PRINT_TO");
    std::remove(pdf_.c_str());
  }
  std::string ReadPdf() {
    std::ifstream in(pdf_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The page sizes of the document, in points, in page order.
  std::vector<std::pair<double, double>> MediaBoxes() {
    std::vector<std::pair<double, double>> boxes;
    const std::string pdf = ReadPdf();
    std::regex box(R"(/MediaBox\s*\[\s*0\s+0\s+([0-9.]+)\s+([0-9.]+)\s*\])");
    for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), box); it != std::sregex_iterator(); ++it)
      boxes.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    return boxes;
  }
  std::string pdf_;
};

TEST(PaperSizes, TheLocalesPaperIsTheNewPrintersSheet) {
  EXPECT_EQ(PaperSizeFromMillimetres(216, 279).Name, "Letter");
  EXPECT_EQ(PaperSizeFromMillimetres(210, 297).Name, "A4");
  EXPECT_EQ(PaperSizeFromMillimetres(216, 356).Name, "Legal");
  const TPaperSize odd = PaperSizeFromMillimetres(100, 150);
  EXPECT_EQ(odd.Name, "Custom");
  EXPECT_EQ(odd.Width, 1000);
  EXPECT_EQ(odd.Height, 1500);
  EXPECT_EQ(PaperSizeFromMillimetres(0, 0).Name, "A4");
  // The locale of the environment chooses; the C locale's paper is A4.
  const char* saved = std::getenv("LC_ALL");
  const std::string keep = saved != nullptr ? saved : "";
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(LocalePaperSize().Name, "A4");
  if (saved != nullptr) setenv("LC_ALL", keep.c_str(), 1);
  else unsetenv("LC_ALL");
  TPrinter printer(std::make_unique<FakeSpooler>(std::vector<std::string>{}, ""));
  EXPECT_EQ(printer.PaperSize().Name, LocalePaperSize().Name);
}

TEST_F(PrinterTest, WritesAPdfOfA4PagesAtThePrinterResolution) {
  setenv("TIDEWELL_PRINT_TO", pdf_.c_str(), 1);
  TPrinter printer(std::make_unique<FakeSpooler>(std::vector<std::string>{}, ""));
  printer.SetPaperSize(PaperA4());  // whatever the locale's paper
  printer.SetTitle("Transits");
  EXPECT_EQ(printer.PageWidth(), 4961);  // 210 mm at 600 dpi
  EXPECT_EQ(printer.PageHeight(), 7016);
  printer.BeginDoc();
  EXPECT_TRUE(printer.Printing());
  EXPECT_EQ(printer.PageNumber(), 1);
  TCanvas* c = printer.Canvas();
  EXPECT_EQ(GetDeviceCaps(c->Handle(), LOGPIXELSX), 600);
  EXPECT_EQ(GetDeviceCaps(c->Handle(), TECHNOLOGY), DT_RASPRINTER);
  EXPECT_EQ(GetDeviceCaps(c->Handle(), PHYSICALWIDTH), 4961);
  c->Font()->SetName("Arial");
  c->Font()->SetSize(10);
  EXPECT_EQ(c->Font()->Height(), -83);
  c->TextOut(600, 600, "Page one");
  c->Rectangle(500, 500, 2000, 1000);
  printer.NewPage();
  EXPECT_EQ(printer.PageNumber(), 2);
  c->TextOut(600, 600, "Page two");
  printer.EndDoc();
  EXPECT_FALSE(printer.Printing());
  EXPECT_FALSE(printer.Aborted());
  const auto boxes = MediaBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& b : boxes) {
    EXPECT_NEAR(b.first, 595.28, 0.05);
    EXPECT_NEAR(b.second, 841.89, 0.05);
  }
  EXPECT_EQ(ReadPdf().substr(0, 5), "%PDF-");
  EXPECT_NE(ReadPdf().find("LiberationSans"), std::string::npos);  // the text's face is embedded
}

TEST_F(PrinterTest, LetterLandscapeAndMarginsChangeThePage) {
  setenv("TIDEWELL_PRINT_TO", pdf_.c_str(), 1);
  TPrinter printer(std::make_unique<FakeSpooler>(std::vector<std::string>{}, ""));
  printer.SetPaperSize(PaperLetter());
  printer.SetOrientation(TPrinterOrientation::poLandscape);
  printer.SetResolution(300);
  printer.SetMargin(50);  // 5 mm
  const TDeviceInfo info = printer.DeviceInfo();
  EXPECT_EQ(info.PhysicalWidth, 3300);  // 11 inches
  EXPECT_EQ(info.PhysicalHeight, 2550);
  EXPECT_EQ(info.PhysicalOffsetX, 59);
  EXPECT_EQ(printer.PageWidth(), 3300 - 2 * 59);
  printer.BeginDoc();
  EXPECT_EQ(GetDeviceCaps(printer.Handle(), PHYSICALOFFSETY), 59);
  EXPECT_EQ(GetDeviceCaps(printer.Handle(), VERTRES), 2550 - 2 * 59);
  printer.EndDoc();
  const auto boxes = MediaBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NEAR(boxes[0].first, 792, 0.05);
  EXPECT_NEAR(boxes[0].second, 612, 0.05);
}

TEST_F(PrinterTest, WithoutAnyPrinterEndDocRaisesAndPrintsNothing) {
  auto spooler = std::make_unique<FakeSpooler>(std::vector<std::string>{}, "");
  auto sent = spooler->sent;
  TPrinter printer(std::move(spooler));
  EXPECT_EQ(printer.Printers()->Count(), 0);
  EXPECT_EQ(printer.PrinterIndex(), -1);
  printer.BeginDoc();
  printer.Canvas()->TextOut(10, 10, "lost");
  try {
    printer.EndDoc();
    FAIL() << "EndDoc succeeded without a printer";
  } catch (const EPrinter& e) {
    EXPECT_EQ(e.Message(), "There is no default printer currently selected");
  }
  EXPECT_FALSE(printer.Printing());
  EXPECT_TRUE(sent->empty());
  // The printer can be used again afterwards.
  printer.BeginDoc();
  printer.Abort();
  EXPECT_TRUE(printer.Aborted());
}

TEST_F(PrinterTest, AnUnwritableTargetFileIsAPrinterError) {
  setenv("TIDEWELL_PRINT_TO", "/nonexistent-folder-of-tidewell/out.pdf", 1);
  TPrinter printer(std::make_unique<FakeSpooler>(std::vector<std::string>{"laser"}, "laser"));
  printer.BeginDoc();
  EXPECT_THROW(printer.EndDoc(), EPrinter);
  EXPECT_FALSE(printer.Printing());
}

TEST_F(PrinterTest, SendsTheDocumentToTheChosenDestination) {
  auto spooler = std::make_unique<FakeSpooler>(std::vector<std::string>{"laser", "inkjet"}, "inkjet");
  FakeSpooler* raw = spooler.get();
  auto sent = spooler->sent;
  TPrinter printer(std::move(spooler));
  ASSERT_EQ(printer.Printers()->Count(), 2);
  EXPECT_EQ(printer.PrinterIndex(), 1);  // the default
  printer.SetTitle("Tidewell list");
  printer.BeginDoc();
  printer.EndDoc();
  EXPECT_EQ(*sent, "inkjet|Tidewell list|%PDF-");
  sent->clear();
  printer.SetPrinterIndex(0);
  printer.BeginDoc();
  printer.EndDoc();
  EXPECT_EQ(*sent, "laser|Tidewell list|%PDF-");
  EXPECT_THROW(printer.SetPrinterIndex(2), EPrinter);
  raw->fail = true;
  printer.BeginDoc();
  EXPECT_THROW(printer.EndDoc(), EPrinter);  // a refused job is not reported as printed
  EXPECT_FALSE(printer.Printing());
}

TEST_F(PrinterTest, CallsOutOfOrderRaise) {
  TPrinter printer(std::make_unique<FakeSpooler>(std::vector<std::string>{}, ""));
  EXPECT_THROW(printer.NewPage(), EPrinter);
  EXPECT_THROW(printer.EndDoc(), EPrinter);
  EXPECT_THROW(printer.Abort(), EPrinter);
  EXPECT_THROW(printer.Canvas()->TextOut(0, 0, "x"), EInvalidOperation);
  printer.BeginDoc();
  EXPECT_THROW(printer.BeginDoc(), EPrinter);
  EXPECT_THROW(printer.SetOrientation(TPrinterOrientation::poLandscape), EPrinter);
  EXPECT_THROW(printer.SetPaperSize(PaperLetter()), EPrinter);
  printer.Abort();
  EXPECT_THROW(printer.SetPaperSize(TPaperSize{"none", 0, 100}), EPrinter);
  EXPECT_THROW(printer.SetResolution(10), EPrinter);
}

TEST_F(PrinterTest, TheProgramPrinterCanBeReplaced) {
  auto mine = std::make_unique<TPrinter>(std::make_unique<FakeSpooler>(std::vector<std::string>{"a"}, "a"));
  TPrinter* raw = mine.get();
  auto previous = SetPrinter(std::move(mine));
  EXPECT_EQ(Printer(), raw);
  EXPECT_EQ(Printer()->PrinterName(), "a");
  SetPrinter(std::move(previous));
}

}  // namespace
}  // namespace tw
