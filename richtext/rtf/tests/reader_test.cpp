#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "richtext/rtf/rtfreader.h"
#include "richtext/rtf/tests/helpers.h"

namespace tw::richtext {
namespace {

using namespace test;

TEST(RtfReader, HelloInArialTwelvePoints) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs24 Hello\\par}");
  ASSERT_EQ(e.ParagraphCount(), 2);
  EXPECT_EQ(e.ParagraphText(0), "Hello");
  EXPECT_EQ(e.ParagraphText(1), "");
  const auto c = Chars(e.FirstPar);
  EXPECT_EQ(e.Header().FontName(c[0].A.Font), "Arial");
  EXPECT_EQ(c[0].A.Size, 12);
}

TEST(RtfReader, StopsAfterTheOutermostGroup) {
  TRiRTFTextIo e;
  TStringStream s("{\\rtf1 a}tail");
  e.LoadFormat = TRiLoadFormat::FormatRTF;
  e.LoadFromStream(s);
  EXPECT_EQ(e.ParagraphText(0), "a");
  EXPECT_EQ(s.Position(), 9);
}

TEST(RtfReader, DestinationsSkippedOrRead) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 {\\*\\xyz hidden}{\\xyz shown}{\\info{\\title Inner}}{\\title Outer}{\\title Second}"
             "{\\stylesheet{\\s1 style;}}{\\field{\\*\\fldinst x}{\\fldrslt res}}}");
  EXPECT_EQ(e.ParagraphText(0), "shownres");
  // The title in the information group is read; the first title read wins.
  EXPECT_EQ(e.Header().Title, "Inner");
}

TEST(RtfReader, EscapesSymbolsAndLiteralControlBytes) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 a\\'e4\\{\\}\\\\\\tab b\\line c\\ldblquote q\\rdblquote \tx\ny\r}");
  EXPECT_EQ(e.ParagraphText(0), "a\xe4{}\\\tb\nc\x93q\x94xy");
  TRiRTFTextIo bad;
  LoadRtf(bad, "{\\rtf1 ok\\'4g more}");
  EXPECT_EQ(bad.ParagraphText(0), "ok");
}

TEST(RtfReader, NumericDefaultsAndSizes) {
  TRiRTFTextIo e;
  // Sizes beyond what an attribute holds are the largest it holds, not wrapped.
  LoadRtf(e, "{\\rtf1\\paperh\\margl\\fs a\\fs1 b\\fs0 c\\fs36 d\\fs600 e\\fs520 f\\fs510 g\\fs-4 h}");
  EXPECT_EQ(e.Header().Layout.PageHeight, 15480);
  EXPECT_EQ(e.Header().Layout.LeftMargin, 1800);
  std::vector<int> sizes;
  for (const auto& c : Chars(e.FirstPar)) sizes.push_back(c.A.Size);
  EXPECT_EQ(sizes, (std::vector<int>{50, 10, 10, 18, 255, 255, 255, 10}));
}

TEST(RtfReader, CharacterWordsSetAndClearBits) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\b\\i\\ul\\strike\\uldb\\shad\\v\\super\\cf3\\cb5 A\\b0\\i0\\ul0\\strike0\\uldb0\\shad0\\v0\\nosupersub B"
             "\\sub C\\plain D\\inspnt4 E\\inaut F\\inaut0 G\\cf99 H}");
  const auto c = Chars(e.FirstPar);
  EXPECT_EQ(c[0].A.Style, fsBold | fsItalic | fsUnderline | fsStrikeOut | fsLink | fsSuper);
  EXPECT_EQ(c[0].A.Extra, fxHidden | fxProtected);
  EXPECT_EQ(c[0].A.Colors, 0x53);
  EXPECT_EQ(c[1].A.Style, 0);
  EXPECT_EQ(c[1].A.Extra, 0);
  EXPECT_EQ(c[2].A.Style, fsSub);
  EXPECT_EQ(c[3].A.Style, 0);
  EXPECT_EQ(c[3].A.Colors, 0);
  EXPECT_EQ(c[4].A.Extra, fxInsertPoint);
  EXPECT_EQ(c[4].A.Tag, 4);
  EXPECT_EQ(c[5].A.Extra, fxAutomatic);
  EXPECT_EQ(c[6].A.Extra, 0);
  EXPECT_EQ(c[7].A.Colors, 0);  // colour numbers above 15 are ignored
}

TEST(RtfReader, ParagraphWordsIndentsSpacingAndPard) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\fi-360\\li720\\ri100\\sb60\\sa120\\sl-280\\qc\\keep\\page A\\par\\pard B\\par\\qr\\li-5 C}");
  PTParagraph a = e.FirstPar, b = a->Next, c = b->Next;
  EXPECT_EQ(a->FirstIndent, 360);
  EXPECT_EQ(a->LeftIndent, 720);
  EXPECT_EQ(a->RightIndent, 100);
  EXPECT_EQ(a->SpaceBefore, 60);
  EXPECT_EQ(a->SpaceAfter, 120);
  EXPECT_EQ(a->LineSpacing, -280);
  EXPECT_EQ(a->Alignment, 2);
  EXPECT_EQ(a->Flags & (pfKeep | pfPageBreak), pfKeep | pfPageBreak);
  // \pard clears indents, alignment and spacing.
  EXPECT_EQ(b->LeftIndent, 0);
  EXPECT_EQ(b->Alignment, 0);
  EXPECT_EQ(b->SpaceBefore, 0);
  EXPECT_EQ(b->SpaceAfter, 0);
  EXPECT_EQ(b->LineSpacing, 0);
  EXPECT_EQ(c->Alignment, 1);
  EXPECT_EQ(c->LeftIndent, 0);
}

TEST(RtfReader, ColourTableEntriesAndTheirLimit) {
  TRiRTFTextIo e;
  std::string rtf = "{\\rtf1{\\colortbl;\\red10\\green20\\blue30;";
  for (int i = 2; i < 20; ++i) rtf += "\\red1\\green1\\blue1;";
  rtf += "}x}";
  LoadRtf(e, rtf);
  EXPECT_EQ(e.Header().Colors[1], RGB(10, 20, 30));
  EXPECT_EQ(e.Header().Colors[14], RGB(1, 1, 1));
  EXPECT_EQ(e.Header().Colors[15], AttrColor(15));
}

TEST(RtfReader, TableRowGivesCellsWithWidthsAndFlags) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\trowd\\cellx2000\\cellx4000\\intbl A\\cell B\\cell\\row}");
  PTParagraph a = e.FirstPar, b = a->Next;
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(e.ParagraphText(0), "A");
  EXPECT_EQ(e.ParagraphText(1), "B");
  EXPECT_EQ(a->CellStart, 0);
  EXPECT_EQ(a->CellWidth, 128);
  EXPECT_EQ(b->CellStart, 128);
  EXPECT_EQ(b->CellWidth, 127);
  EXPECT_EQ(a->Flags, pfTableCell | pfRowGoesOn);
  EXPECT_EQ(b->Flags, pfTableCell | pfLastCell);
  // \par inside a row is a line break in the cell; more than 50 boundaries are ignored.
  TRiRTFTextIo f;
  std::string rtf = "{\\rtf1\\trowd";
  for (int i = 1; i <= 60; ++i) rtf += "\\cellx" + std::to_string(i * 100);
  rtf += "\\intbl x\\par y\\cell\\row}";
  LoadRtf(f, rtf);
  EXPECT_EQ(f.ParagraphText(0), "x\ny");
  EXPECT_EQ(f.FirstPar->CellWidth, 5);  // 100 of 5000
}

TEST(RtfReader, RawRtfIsStoredVerbatimUntilItsEndWord) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 a\\wprtf1 {\\b x}\\wprtfx\\wprtf0 b}");
  EXPECT_EQ(e.ParagraphText(0), "a{\\b x}\\wprtfxb");
  const auto c = Chars(e.FirstPar);
  EXPECT_TRUE(c[1].A.Extra & fxRawRtf);
  EXPECT_TRUE(c[13].A.Extra & fxRawRtf);
  EXPECT_FALSE(c[14].A.Extra & fxRawRtf);
}

TEST(RtfReader, FootnoteMarksThePrecedingCharacter) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 word{\\super 1}{\\*\\footnote \\wpfnnr7   1 Note text}more}");
  EXPECT_EQ(e.ParagraphText(0), "word1more");
  const auto c = Chars(e.FirstPar);
  EXPECT_TRUE(c[4].A.Extra & fxFootnote);
  EXPECT_FALSE(c[4].A.Style & fsSuper);
  TRiFootnote* f = e.FindFootnote(c[4].A.Tag);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Number, 7);
  EXPECT_EQ(f->Text, "Note text");
  EXPECT_EQ(e.FirstPar->Alignment, 0);
}

TEST(RtfReader, FontNumbersAboveTheTableAreNotMapped) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f5 Courier New;}{\\f120 Symbol;}}\\f5 a\\f120 b}");
  const auto c = Chars(e.FirstPar);
  EXPECT_EQ(e.Header().FontName(c[0].A.Font), "Courier New");
  EXPECT_EQ(c[1].A.Font, c[0].A.Font);
  EXPECT_EQ(e.Header().FindOrAddFont("Symbol"), 2);  // not added by the table
}

TEST(RtfReader, BordersAndShading) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1{\\box\\brdrdb\\brdrw40\\brsp112\\brdrcf3 boxed\\par}{\\shading5000\\cfpat2\\cbpat4 shaded}}");
  PTParagraph a = e.FirstPar;
  EXPECT_EQ(a->BorderFlags & (bfBordered | bfBox | bfDouble), bfBordered | bfBox | bfDouble);
  EXPECT_EQ(a->BorderWidth, 2);
  EXPECT_EQ(a->BorderColor, 0x23);
  PTParagraph b = a->Next;
  EXPECT_EQ(b->Shading, 0x42);
  EXPECT_EQ(b->ShadingPercent, 50);
  EXPECT_EQ(b->BorderFlags & bfBordered, 0);
}

TEST(RtfReader, FirstLineIndentBecomesAbsolute) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\fi-360\\li720 x}");
  EXPECT_EQ(e.FirstPar->FirstIndent, 360);
  EXPECT_EQ(e.FirstPar->LeftIndent, 720);
}

TEST(RtfReader, UnicodeCharactersSkipTheirFallbackAsUcSays) {
  auto text = [](const std::string& body) {
    TRiRTFTextIo e;
    LoadRtf(e, "{\\rtf1 " + body + "}");
    return e.ParagraphText(0);
  };
  EXPECT_EQ(text("A\\u8364?B"), "A\x80" "B");
  EXPECT_EQ(text("\\uc2\\u8220\\'93?x"), "\x93x");
  EXPECT_EQ(text("\\uc0\\u8364 x"), "\x80x");
  EXPECT_EQ(text("\\uc1\\u8364\\'80x"), "\x80x");
  EXPECT_EQ(text("\\u8364\\par x"), "\x80x");  // a control word counts as one fallback character
  EXPECT_EQ(text("\\uc3\\u8364?}x"), "\x80");  // the group's end ends the fallback and the document
  EXPECT_EQ(text("{\\uc3 \\u8364 abc}\\u8364?d"), "\x80\x80" "d");  // \\uc is a group property
  EXPECT_EQ(text("\\u-10179?\\u-8704?x"), "?x");  // a surrogate pair is one character
  EXPECT_EQ(text("\\u-8704?\\u-10179?x"), "??x");  // halves out of order are two
  EXPECT_EQ(text("\\u-1279?x\\u937?y"), "?x?y");  // no Windows-1252 byte
  EXPECT_EQ(text("\\u233?\\u9?\\u1?\\u0?x"), "\xe9\tx");  // control codes and object marks are no text
}

TEST(RtfReader, TypographicMarksAndSpecialSpaces) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 don\\rquote t \\lquote a\\rquote  \\ldblquote b\\rdblquote  1\\endash 2\\emdash 3 "
             "\\bullet  10\\~km e\\_mail soft\\-hyphen}");
  EXPECT_EQ(e.ParagraphText(0), "don\x92t \x91" "a\x92 \x93" "b\x94 1\x96" "2\x97" "3 \x95 10\xa0km e-mail softhyphen");
}

TEST(RtfReader, UlnoneEndsEveryUnderline) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 \\ul a\\ulnone b\\uldb c\\ulnone d\\ulw e\\ul0 f}");
  std::vector<int> styles;
  for (const auto& c : Chars(e.FirstPar)) styles.push_back(c.A.Style);
  EXPECT_EQ(styles, (std::vector<int>{fsUnderline, 0, fsLink, 0, fsUnderline, 0}));
}

TEST(RtfReader, ControlWordsWithCapitalsAreOneWord) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 {\\mmathPr\\mmathFont34\\mbrkBin0}\\trftsWidth1 text}");
  EXPECT_EQ(e.ParagraphText(0), "text");
}

TEST(RtfReader, WrongArguments) {
  TRiRtfReader r;
  TStringStream s("{\\rtf1}");
  PTParagraph first = nullptr;
  try {
    r.ReadDocument(&s, first);
    FAIL();
  } catch (const Exception& x) {
    EXPECT_EQ(x.Message(), "Wrong Arguments in\tTRiRTFReader");
  }
}

}  // namespace
}  // namespace tw::richtext
