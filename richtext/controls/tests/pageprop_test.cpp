// The page-properties dialog driven by keys, its unit conversions, and printing with the page
// it set.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>

#include "platform/gfx/printer.h"
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

}  // namespace
}  // namespace tw::richtext::testing
