// Documents coming into the editor and going out of it: a loaded file is laid out on its own
// page, pasted RTF keeps the document's header and colours, a copy of part of a table row is
// RTF of whole rows, and a row indented with the ruler is saved as wide as it is shown.
#include <unistd.h>

#include <fstream>
#include <regex>

#include "platform/classes/streams.h"
#include "platform/rtl/files.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using Documents = RichTextTest;

std::string WriteFile(const std::string& name, const std::string& rtf) {
  const std::string path = ExpandFileName(name + "_" + std::to_string(getpid()) + ".rtf");
  std::ofstream(path, std::ios::binary) << rtf;
  return path;
}

TEST_F(Documents, ALoadedFileIsLaidOutOnItsOwnPageWhateverWasLoadedBefore) {
  rt->SetWordWrap(false);
  std::string words;
  for (int i = 0; i < 6; ++i) words += "a line of words that runs across the page ";
  const std::string wide = WriteFile("wide", "{\\rtf1\\paperw12240\\margl720\\margr720 " + words + "\\par}");
  const std::string narrow = WriteFile("narrow", "{\\rtf1\\paperw12240\\margl2880\\margr2880 " + words + "\\par}");
  // The first line is broken at the page's width.
  auto lineWidest = [this] { return E().LineWidth(E().FirstPar->FirstLine); };
  for (const auto& order : {std::vector<std::string>{wide, narrow, wide}, std::vector<std::string>{narrow, wide, narrow}}) {
    for (const std::string& file : order) {
      SCOPED_TRACE(file);
      rt->LoadFromFile(file);
      const int expected = file == wide ? 10800 : 6480;
      EXPECT_EQ(E().Header().TextWidthTwips, expected);
      EXPECT_EQ(E().TextWidth(), MulDiv(expected, E().Header().ResolutionX, 1440));
      EXPECT_LE(lineWidest(), E().TextWidth());
      EXPECT_GT(lineWidest(), E().TextWidth() * 2 / 3);
    }
  }
  // The engine's own load lays the document out on its page as well.
  E().Clear();
  E().LoadFromFile(narrow);
  E().ReformatAll();
  EXPECT_EQ(E().Header().TextWidthTwips, 6480);
  // A document read from a form's "Data" property too.
  TStringStream data("{\\rtf1\\paperw12240\\margl720\\margr720 " + words + "\\par}");
  E().ReadData(data);
  E().ReformatAll();
  EXPECT_EQ(E().Header().TextWidthTwips, 10800);
  EXPECT_GT(E().LineWidth(E().FirstPar->FirstLine), E().TextWidth() * 2 / 3);
  DeleteFile(wide);
  DeleteFile(narrow);
}

TEST_F(Documents, PastedRtfKeepsThePageAndTheColoursOfWhatWasTyped) {
  rt->SetWordWrap(false);
  E().CurAttr.SetTextColor(3);
  rt->InputString("blue words ");
  rt->Reformat();
  const TRiLayout page = E().Header().Layout;
  const int width = E().Header().TextWidthTwips;
  // What a word processor puts on the clipboard: its own colour table and an A4 page.
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(RtfFormat(),
                   "{\\rtf1\\ansi{\\fonttbl{\\f0\\froman\\fcharset0 Liberation Serif;}}{\\colortbl;\\red0\\green128\\blue0;"
                   "\\red18\\green52\\blue86;}\\paperw11906\\paperh16838\\margl1134\\margr567\\margt1134\\margb1134"
                   "\\pard\\plain\\f0\\cf1 green {\\cf2 custom}}");
  CloseClipboard();
  rt->PasteFromClipboard();
  ASSERT_EQ(E().ParagraphText(0), "blue words green custom");
  const auto chars = E().FirstPar->FirstLine;
  auto rgb = [&](int index) { return E().Header().Colors[static_cast<std::size_t>(chars->Attrs[static_cast<std::size_t>(index)].TextColor())]; };
  EXPECT_EQ(rgb(0), RGB(0, 0, 255));
  EXPECT_EQ(rgb(11), RGB(0, 128, 0));
  EXPECT_EQ(rgb(17), RGB(18, 52, 86));
  EXPECT_EQ(E().Header().Layout.PageWidth, page.PageWidth);
  EXPECT_EQ(E().Header().Layout.PageHeight, page.PageHeight);
  EXPECT_EQ(E().Header().Layout.LeftMargin, page.LeftMargin);
  EXPECT_EQ(E().Header().Layout.RightMargin, page.RightMargin);
  EXPECT_EQ(E().Header().Layout.TopMargin, page.TopMargin);
  EXPECT_EQ(E().Header().TextWidthTwips, width);
}

const char* const kTable =
    "{\\rtf1\\paperw12240\\margl1880\\margr1880 Intro text\\par\\trowd\\trgaph0\\trleft400\\cellx2000\\cellx4000\\cellx6000"
    "\\intbl Alpha1\\cell Beta1\\cell Gamma1\\cell\\row\\pard after}";

TEST_F(Documents, CopyingPartOfARowPutsWholeRowsOnTheClipboard) {
  TStringStream in(kTable);
  rt->LoadFromStream(in);
  ASSERT_EQ(E().ParagraphText(2), "Beta1");
  auto copy = [&](int sp, int so, int ep, int eo) {
    PTParagraph s = E().ParagraphByIndex(sp), e = E().ParagraphByIndex(ep);
    E().SetSelection(s, s->FirstLine, false, so);
    E().SetSelection(e, e->FirstLine, true, eo);
    rt->CopyToClipboard();
    return Clip(RtfFormat());
  };
  for (const auto& [sp, so, ep, eo, cells] :
       {std::tuple{0, 6, 2, 5, 2}, std::tuple{1, 0, 2, 5, 2}, std::tuple{2, 0, 4, 3, 2}}) {
    const std::string rtf = copy(sp, so, ep, eo);
    SCOPED_TRACE(rtf);
    const std::regex cell("\\\\cell[^x]"), boundary("\\\\cellx");
    EXPECT_EQ(std::distance(std::sregex_iterator(rtf.begin(), rtf.end(), cell), std::sregex_iterator()), cells);
    EXPECT_EQ(std::distance(std::sregex_iterator(rtf.begin(), rtf.end(), boundary), std::sregex_iterator()), cells);
    // The last cell written ends its row.
    const std::size_t last = rtf.rfind("\\cell");
    EXPECT_EQ(rtf.compare(last, 9, "\\cell\\row"), 0);
  }
}

TEST_F(Documents, ARowIndentedWithTheRulerIsSavedAsWideAsItIsShown) {
  rt->SetWordWrap(false);
  TStringStream in(kTable);
  rt->LoadFromStream(in);
  PTParagraph cell = E().ParagraphByIndex(1);
  E().CursorPar = cell;
  E().CursorLine = cell->FirstLine;
  E().CursorOffset = 0;
  E().SetIndents(false, 1000, 1000, riKeep);
  std::vector<int> shown;  // pixels from the text's left edge
  for (PTParagraph c = cell; c != nullptr && c->IsCell(); c = c->Next) {
    if (shown.empty()) shown.push_back(E().CellLeft(c));
    shown.push_back(E().TextWidth() - E().CellRight(c));
  }
  TStringStream out;
  rt->SaveToStream(out);
  const std::string saved = out.DataString();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(saved, m, std::regex("\\\\trleft(\\d+)\\\\cellx(\\d+)\\\\cellx(\\d+)\\\\cellx(\\d+)"))) << saved;
  ASSERT_EQ(shown.size(), 4u);
  const int res = E().Header().ResolutionX;
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(MulDiv(std::stoi(m[static_cast<std::size_t>(i + 1)]), res, 1440), shown[static_cast<std::size_t>(i)], 2) << i;
}

}  // namespace
}  // namespace tw::richtext::testing
