// Pieces of documents: rows that stand at a left edge, RTF inserted at the cursor with its own
// header, copies of part of a table row, symbol-font bullets and the empty last paragraph.
#include <gtest/gtest.h>

#include <regex>

#include "richtext/rtf/tests/helpers.h"

namespace tw::richtext {
namespace {

using namespace test;

TEST(RowsAtALeftEdge, CellsStandWhereTheirBoundariesPutThemAndAreWrittenBack) {
  for (const std::string row : {"\\trowd\\trgaph0\\trleft2000\\cellx4000\\cellx6000",
                                "\\trowd\\trgaph0\\trleft700\\cellx1500\\cellx5000\\cellx8000",
                                "\\trowd\\trgaph0\\cellx3000\\cellx7000"}) {
    SCOPED_TRACE(row);
    TRiRTFTextIo e;
    LoadRtf(e, "{\\rtf1\\paperw12240\\margl1880\\margr1880" + row + "\\intbl a\\cell b\\cell" +
                   (CountOf(row, "\\cellx") == 3 ? " c\\cell" : "") + "\\row\\pard after}");
    const std::vector<int> expected = RowEdgesOf(row);
    const std::vector<int> shown = CellEdges(e, e.FirstPar);
    ASSERT_EQ(shown.size(), expected.size());
    const int row_width = expected.back() - expected.front();
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_NEAR(shown[i], expected[i], 3 * row_width / 255 + 1) << i;
    // The row goes back to the file as it came: its left edge and its end exactly, the
    // boundaries between within the 255ths the row is kept in.
    const std::string saved = Saved(e);
    const std::size_t def = saved.find("\\trleft");
    ASSERT_NE(def, std::string::npos) << saved;
    const std::vector<int> written = RowEdgesOf(saved.substr(def, saved.find("\\intbl", def) - def));
    ASSERT_EQ(written.size(), expected.size()) << saved;
    EXPECT_EQ(written.front(), expected.front());
    EXPECT_EQ(written.back(), expected.back());
    for (std::size_t i = 1; i + 1 < written.size(); ++i) EXPECT_NEAR(written[i], expected[i], 3 * row_width / 255 + 1) << i;
  }
}

TEST(RowsAtALeftEdge, ARowIndentedLikeTheRulerDoesIsSavedAsWideAsShown) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\paperw12240\\margl1880\\margr1880\\trowd\\trgaph0\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row"
             "\\pard after}");
  for (PTParagraph p = e.FirstPar; p != nullptr && p->IsCell(); p = p->Next) p->LeftIndent = 1000;
  const std::vector<int> shown = CellEdges(e, e.FirstPar);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown.front(), 1000);
  const std::string saved = Saved(e);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(saved, m, std::regex("\\\\trleft(\\d+)\\\\cellx(\\d+)\\\\cellx(\\d+)"))) << saved;
  EXPECT_EQ(std::stoi(m[1]), shown[0]);
  EXPECT_NEAR(std::stoi(m[2]), shown[1], 3 * (shown[2] - shown[0]) / 255 + 1);
  EXPECT_NEAR(std::stoi(m[3]), shown[2], 3 * (shown[2] - shown[0]) / 255 + 1);
  TRiRTFTextIo again;
  LoadRtf(again, saved);
  EXPECT_EQ(CellEdges(again, again.FirstPar), shown);
}

// A clipboard in the style LibreOffice fills it: its own fonts, colours, page and information.
const char* const kClipboardRtf =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Liberation Serif;}{\\f1\\fswiss\\fcharset0 DejaVu Sans;}}"
    "{\\colortbl;\\red0\\green128\\blue0;\\red18\\green52\\blue86;\\red0\\green0\\blue255;\\red200\\green100\\blue50;}"
    "\\paperw11906\\paperh16838\\margl1134\\margr567\\margt1134\\margb1417{\\info{\\title Pasted}}\\landscape"
    "\\pard\\plain\\f1\\cf1 green {\\cf2 custom} {\\cf3 blue} {\\cf4\\cb2 back}\\par\\cf0 last}";

TColor TextRgb(const TRiRTFTextIo& e, const TAttr& a) { return e.Header().Colors[static_cast<std::size_t>(a.TextColor())]; }
TColor BackRgb(const TRiRTFTextIo& e, const TAttr& a) { return e.Header().Colors[static_cast<std::size_t>(a.BackColor())]; }

TAttr AttrAt(const TRiRTFTextIo& e, const std::string& word) {
  for (int i = 0; i < e.ParagraphCount(); ++i) {
    const std::size_t at = e.ParagraphText(i).find(word);
    if (at != std::string::npos) return Chars(e.ParagraphByIndex(i))[at].A;
  }
  ADD_FAILURE() << word << " not found";
  return TAttr{};
}

TEST(InsertedRtf, TakesTheDocumentsTablesAndLeavesItsPageAndColoursAlone) {
  TRiRTFTextIo e;
  e.Header().Colors[5] = RGB(1, 2, 3);  // a colour of the document's own, in use
  AddRun(e, "blue words ", MakeAttr(0, 10, 3));
  AddRun(e, "own colour ", MakeAttr(0, 10, 5));
  const TRiLayout layout = e.Header().Layout;
  const std::string font0 = e.Header().FontNames[0];
  e.CursorPar = e.FirstPar;
  e.CursorLine = e.FirstPar->FirstLine;
  e.CursorOffset = e.CursorLine->Length;
  LoadRtf(e, kClipboardRtf);
  ASSERT_EQ(e.ParagraphText(0), "blue words own colour green custom blue back");
  ASSERT_EQ(e.ParagraphText(1), "last");
  // The page, the margins, the flags and the information stay the document's.
  EXPECT_EQ(e.Header().Layout.PageWidth, layout.PageWidth);
  EXPECT_EQ(e.Header().Layout.PageHeight, layout.PageHeight);
  EXPECT_EQ(e.Header().Layout.LeftMargin, layout.LeftMargin);
  EXPECT_EQ(e.Header().Layout.RightMargin, layout.RightMargin);
  EXPECT_EQ(e.Header().Layout.TopMargin, layout.TopMargin);
  EXPECT_EQ(e.Header().Layout.BottomMargin, layout.BottomMargin);
  EXPECT_EQ(e.Header().Layout.Landscape, layout.Landscape);
  EXPECT_EQ(e.Header().Title, "");
  // The text that was there keeps its colours; the pasted text has the colours it was given.
  EXPECT_EQ(TextRgb(e, AttrAt(e, "blue words")), RGB(0, 0, 255));
  EXPECT_EQ(TextRgb(e, AttrAt(e, "own colour")), RGB(1, 2, 3));
  EXPECT_EQ(TextRgb(e, AttrAt(e, "green")), RGB(0, 128, 0));
  EXPECT_EQ(TextRgb(e, AttrAt(e, "custom")), RGB(18, 52, 86));
  EXPECT_EQ(TextRgb(e, AttrAt(e, "blue ")), RGB(0, 0, 255));
  EXPECT_EQ(TextRgb(e, AttrAt(e, "back")), RGB(200, 100, 50));
  EXPECT_EQ(BackRgb(e, AttrAt(e, "back")), RGB(18, 52, 86));
  EXPECT_EQ(TextRgb(e, AttrAt(e, "last")), RGB(0, 0, 0));
  // Fonts come in by name; the document's own keep their numbers.
  EXPECT_EQ(e.Header().FontNames[AttrAt(e, "green").Font], "DejaVu Sans");
  EXPECT_EQ(AttrAt(e, "blue words").Font, 0);
  EXPECT_EQ(e.Header().FontNames[0], font0);
  // Saved and read again, every word keeps its colour.
  TRiRTFTextIo again;
  LoadRtf(again, Saved(e));
  for (const char* w : {"blue words", "own colour", "green", "custom", "back", "last"}) {
    EXPECT_EQ(TextRgb(again, AttrAt(again, w)), TextRgb(e, AttrAt(e, w))) << w;
    EXPECT_EQ(BackRgb(again, AttrAt(again, w)), BackRgb(e, AttrAt(e, w))) << w;
  }
}

TEST(InsertedRtf, AFullColourTableTakesTheNearestColourAndAWholeDocumentTakesItsHeader) {
  // Every one of the 15 written colours is in use: a new colour takes the nearest one.
  TRiRTFTextIo full;
  for (int c = 0; c < 15; ++c) AddRun(full, "c" + std::to_string(c) + " ", MakeAttr(0, 10, c));
  full.CursorPar = full.FirstPar;
  full.CursorLine = full.FirstPar->FirstLine;
  full.CursorOffset = 0;
  const auto colors = full.Header().Colors;
  LoadRtf(full, "{\\rtf1{\\colortbl;\\red250\\green10\\blue5;}\\cf1 reddish }");
  EXPECT_EQ(full.Header().Colors, colors);
  EXPECT_EQ(TextRgb(full, AttrAt(full, "reddish")), RGB(255, 0, 0));
  // Without a colour table of its own, inserted text names the document's colours.
  TRiRTFTextIo plain;
  AddRun(plain, "x", MakeAttr(0, 10, 0));
  plain.CursorPar = plain.FirstPar;
  plain.CursorLine = plain.FirstPar->FirstLine;
  plain.CursorOffset = 1;
  LoadRtf(plain, "{\\rtf1\\cf3 blue}");
  EXPECT_EQ(AttrAt(plain, "blue").TextColor(), 3);
  // An empty document takes the file's page, information and colour table as they stand.
  TRiRTFTextIo whole;
  LoadRtf(whole, kClipboardRtf);
  EXPECT_EQ(whole.Header().Layout.PageWidth, 11906);
  EXPECT_EQ(whole.Header().Layout.LeftMargin, 1134);
  EXPECT_EQ(whole.Header().Layout.BottomMargin, 1417);
  EXPECT_EQ(whole.Header().Title, "Pasted");
  EXPECT_EQ(whole.Header().Colors[2], RGB(18, 52, 86));
  EXPECT_EQ(AttrAt(whole, "custom").TextColor(), 2);
}

TEST(InsertedRtf, ARowInsertedBehindTextStaysAWholeRow) {
  for (const int offset : {0, 3, 5}) {
    TRiRTFTextIo e;
    AddRun(e, "Intro", MakeAttr(0, 10, 0));
    e.CursorPar = e.FirstPar;
    e.CursorLine = e.FirstPar->FirstLine;
    e.CursorOffset = offset;
    LoadRtf(e, "{\\rtf1\\trowd\\cellx2000\\cellx4000\\intbl A1\\cell B1\\cell\\row\\pard after}");
    SCOPED_TRACE(offset);
    std::vector<std::string> texts;
    for (int i = 0; i < e.ParagraphCount(); ++i) texts.push_back(e.ParagraphText(i));
    const std::string head = std::string("Intro").substr(0, static_cast<std::size_t>(offset));
    const std::string tail = "after" + std::string("Intro").substr(static_cast<std::size_t>(offset));
    if (offset == 0) {
      EXPECT_EQ(texts, (std::vector<std::string>{"A1", "B1", tail}));
    } else {
      EXPECT_EQ(texts, (std::vector<std::string>{head, "A1", "B1", tail}));
    }
    PTParagraph a1 = e.ParagraphByIndex(offset == 0 ? 0 : 1);
    ASSERT_TRUE(a1->IsCell());
    EXPECT_EQ(a1->CellStart, 0);
    EXPECT_TRUE(a1->Flags & pfRowGoesOn);
    EXPECT_FALSE(a1->Next->Flags & pfRowGoesOn);
    EXPECT_FALSE(a1->Next->Next->IsCell());
    if (offset > 0) {
      EXPECT_FALSE(e.FirstPar->IsCell());
    }
  }
}

std::string CopiedSelection(TRiRTFTextIo& e, int startPar, int startOffset, int endPar, int endOffset) {
  e.SelStartPar = e.ParagraphByIndex(startPar);
  e.SelStartLine = e.SelStartPar->FirstLine;
  e.SelStartOffset = startOffset;
  e.SelEndPar = e.ParagraphByIndex(endPar);
  e.SelEndLine = e.SelEndPar->FirstLine;
  e.SelEndOffset = endOffset;
  TStringStream s;
  e.SaveFormat = TRiLoadFormat::FormatRTF;
  e.SaveSelectionToStream(s);
  return s.DataString();
}

TEST(PartialRowCopies, EveryRowWrittenIsWholeAndItsCellsKeepTheirPlaces) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\paperw12240\\margl1880\\margr1880 Intro text\\par\\trowd\\trgaph0\\trleft500\\cellx2000\\cellx4000"
             "\\cellx6000\\intbl Alpha1\\cell Beta1\\cell Gamma1\\cell\\row\\trowd\\trgaph0\\trleft500\\cellx2000\\cellx4000"
             "\\cellx6000\\intbl Alpha2\\cell Beta2\\cell Gamma2\\cell\\row\\pard after}");
  ASSERT_EQ(e.ParagraphText(7), "after");
  struct Case {
    int sp, so, ep, eo;
    std::vector<std::string> texts;
    int rows;
  };
  const std::vector<Case> cases = {
      {0, 6, 2, 5, {"text", "Alpha1", "Beta1"}, 1},               // from a paragraph into the second cell
      {1, 0, 2, 5, {"Alpha1", "Beta1"}, 1},                       // the first two cells alone
      {2, 1, 3, 6, {"eta1", "Gamma1"}, 1},                        // the last two cells
      {2, 0, 7, 3, {"Beta1", "Gamma1", "Alpha2", "Beta2", "Gamma2", "aft"}, 2},  // into the text after
      {3, 2, 5, 2, {"mma1", "Alpha2", "Be"}, 2},                  // across the row end
      {2, 1, 2, 4, {"eta"}, 0},                                   // inside one cell: text
  };
  for (const Case& c : cases) {
    const std::string rtf = CopiedSelection(e, c.sp, c.so, c.ep, c.eo);
    SCOPED_TRACE(rtf);
    EXPECT_EQ(WholeRows(rtf), c.rows);
    TRiRTFTextIo copy;
    LoadRtf(copy, rtf);
    if (c.rows == 0) {
      EXPECT_FALSE(copy.FirstPar->IsCell());
      EXPECT_EQ(copy.FirstPar->LeftIndent, 0);
      EXPECT_EQ(copy.FirstPar->RightIndent, 0);
    }
    std::vector<std::string> texts;
    for (int i = 0; i < copy.ParagraphCount(); ++i)
      if (!copy.ParagraphText(i).empty()) texts.push_back(copy.ParagraphText(i));
    EXPECT_EQ(texts, c.texts);
    // Each cell copied stands where it stood in the document.
    for (PTParagraph p = copy.FirstPar; p != nullptr; p = p->Next) {
      if (!p->IsCell()) continue;
      const std::string text = TRiRTFText::ParagraphLength(p) > 0 ? copy.ParagraphText(copy.ParagraphNumber(p) - 1) : "";
      for (PTParagraph q = e.FirstPar; q != nullptr; q = q->Next) {
        const std::string source = e.ParagraphText(e.ParagraphNumber(q) - 1);
        if (!q->IsCell() || text.empty() || source.find(text) == std::string::npos) continue;
        const auto a = CellEdges(copy, p, true), b = CellEdges(e, q, true);
        ASSERT_EQ(a.size(), 2u);
        EXPECT_NEAR(a[0], b[0], 3 * 5500 / 255 + 1) << text;
        EXPECT_NEAR(a[1], b[1], 3 * 5500 / 255 + 1) << text;
      }
    }
  }
}

// Word writes a symbol font's characters as the private-use code points U+F020 to U+F0FF (its
// bullet in the Symbol font is "\u-3913\'b7"): the font's own byte is read, not a "?".  The same
// code points in a text font have no character of their own.
TEST(SymbolFontBullets, WordsPrivateUseCodesReadAsTheSymbolFontsBytes) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\ansi\\uc1{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman\\fcharset2 Symbol;}"
             "{\\f2\\fnil\\fcharset2 Wingdings;}}"
             "\\pard{\\f1 \\u-3913\\'b7}\\tab item\\par\\pard{\\f2 \\u-4063\\'21\\u61692?}\\tab more\\par"
             "\\pard\\f0 \\u-3913\\'b7 plain\\par}");
  EXPECT_EQ(e.ParagraphText(0), "\xB7\titem");
  EXPECT_EQ(e.ParagraphText(1), "\x21\xFC\tmore");
  EXPECT_EQ(e.ParagraphText(2), "? plain");
  // Saved and read again, the Symbol bullet stays the font's byte.
  TRiRTFTextIo again;
  LoadRtf(again, Saved(e));
  EXPECT_EQ(again.ParagraphText(0), "\xB7\titem");
}

TEST(SymbolFontBullets, ABulletReadFromUnicodeIsWrittenSoOtherReadersSeeABullet) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fnil\\fcharset2 OpenSymbol;}"
             "{\\f2\\froman\\fcharset2 Symbol;}}\\pard{\\f1 \\u8226\\'95}\\tab item\\par"
             "\\pard{\\f1 \\'e9\\'80}\\tab more\\par\\pard{\\f2 \\'b7}\\tab word\\par\\pard\\f0 \\'95 plain}");
  ASSERT_EQ(e.ParagraphText(0), "\x95\titem");
  const std::string saved = Saved(e);
  // In a symbol font a byte means a symbol to other readers: the character goes as Unicode,
  // with the byte as the fallback that this reader skips.
  EXPECT_NE(saved.find("\\u8226\\'95"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\\u233\\'e9\\u8364\\'80"), std::string::npos) << saved;
  // The Symbol font's own bullet and text fonts keep their bytes.
  EXPECT_NE(saved.find("\\'b7"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("\\u183"), std::string::npos) << saved;
  EXPECT_NE(saved.find(" \\'95 plain"), std::string::npos) << saved;
  TRiRTFTextIo again;
  LoadRtf(again, saved);
  ExpectSameDocument(e, again);
  EXPECT_EQ(Saved(again), saved);
}

TEST(EmptyLastParagraph, KeepsItsFormatThroughTheFirstSave) {
  TRiRTFTextIo e;
  AddRun(e, "text", MakeAttr(0, 10, 0));
  NewPar(e);
  PTParagraph last = e.LastParagraph();
  last->LeftIndent = 720;
  last->FirstIndent = 1080;
  last->RightIndent = 300;
  last->Alignment = 2;
  last->SpaceBefore = 120;
  last->SpaceAfter = 60;
  TRiRTFTextIo again;
  LoadRtf(again, Saved(e));
  ExpectSameDocument(e, again);
  // A table's empty paragraph after the last row likewise.
  TRiRTFTextIo t;
  LoadRtf(t, "{\\rtf1\\trowd\\cellx2000\\intbl a\\cell\\row\\pard\\li500\\qr\\par\\pard\\li900\\ri100\\qc}");
  ASSERT_EQ(t.ParagraphCount(), 3);
  EXPECT_EQ(t.LastParagraph()->LeftIndent, 900);
  TRiRTFTextIo t2;
  LoadRtf(t2, Saved(t));
  ExpectSameDocument(t, t2);
}

}  // namespace
}  // namespace tw::richtext
