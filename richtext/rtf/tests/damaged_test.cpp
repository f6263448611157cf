#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "richtext/rtf/rtfreader.h"
#include "richtext/rtf/tests/helpers.h"

namespace tw::richtext {
namespace {

using namespace test;

void Wellformed(const TRiRTFTextIo& e) {
  ASSERT_NE(e.FirstPar, nullptr);
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) {
    ASSERT_NE(p->FirstLine, nullptr);
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      ASSERT_LT(l->Length, l->Capacity);
      ASSERT_EQ(l->Text()[l->Length], '\0');
    }
  }
}

TEST(DamagedRtf, EveryTruncationReadsTheTextBeforeIt) {
  TRiRTFTextIo src;
  AddRun(src, "Hello ", MakeAttr(0, 12, 1, fsBold));
  AddRun(src, "world", MakeAttr(0, 10, 2));
  NewPar(src);
  src.LastParagraph()->Alignment = 2;
  AddRun(src, "second", MakeAttr(0, 10, 0, 0, fxHidden));
  const std::string rtf = src.AsRtf();
  for (std::size_t n = 0; n < rtf.size(); ++n) {
    TRiRTFTextIo e;
    LoadRtf(e, rtf.substr(0, n));
    Wellformed(e);
  }
  TRiRTFTextIo whole;
  LoadRtf(whole, rtf);
  EXPECT_EQ(whole.ParagraphText(1), "second");
}

TEST(DamagedRtf, DeepNestingIsBounded) {
  TRiRTFTextIo e;
  std::string rtf = "{\\rtf1 a";
  for (int i = 0; i < 100000; ++i) rtf += '{';
  rtf += "b";
  LoadRtf(e, rtf);
  Wellformed(e);
  EXPECT_EQ(e.ParagraphText(0), "a");
}

TEST(DamagedRtf, GroupsNestedTooDeepAreSkippedAndReadingGoesOnAfterThem) {
  const std::string open300(300, '{'), close300(300, '}');
  // 1 + 300 + 300 groups: those beyond the limit are skipped whole, with escaped braces and
  // binary data inside them; the text after them keeps its attributes.
  const std::string rtf = "{\\rtf1 a" + open300 + "\\b m" + open300 + "deep \\} \\{ \\bin2 }}" + close300 +
                          "n" + close300 + "c\\par after}";
  TRiRTFTextIo e;
  LoadRtf(e, rtf);
  Wellformed(e);
  EXPECT_EQ(e.LastResult, riOK);
  ASSERT_EQ(e.ParagraphCount(), 2);
  EXPECT_EQ(e.ParagraphText(0), "amnc");
  EXPECT_EQ(e.ParagraphText(1), "after");
  const auto c = Chars(e.FirstPar);
  EXPECT_EQ(c[1].A.Style, fsBold);
  EXPECT_EQ(c[2].A.Style, fsBold);
  EXPECT_EQ(c[3].A.Style, 0);
  // Exactly at the limit nothing is skipped.
  std::string atLimit = "{\\rtf1 ";
  for (int i = 1; i < MaxRtfGroupDepth; ++i) atLimit += '{';
  atLimit += "x";
  for (int i = 1; i < MaxRtfGroupDepth; ++i) atLimit += '}';
  atLimit += "y}";
  TRiRTFTextIo f;
  LoadRtf(f, atLimit);
  EXPECT_EQ(f.ParagraphText(0), "xy");
}

TEST(DamagedRtf, HugeParametersAndBinaryCounts) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\fs99999999999999999999999 a\\li-99999999999999 b\\bin99999999999 c}");
  Wellformed(e);
  EXPECT_EQ(e.ParagraphText(0).substr(0, 2), "ab");
  TRiRTFTextIo f;
  LoadRtf(f, "{\\rtf1 x\\bin3 {}}y}");
  EXPECT_EQ(f.ParagraphText(0), "xy");  // the three bytes are skipped
}

TEST(DamagedRtf, BrokenPicturesAndTablesAppendNothingBad) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 a{\\pict\\dibitmap0\\picw100000\\pich5 0102zz0304}b{\\pict\\wmetafile8 00ff}c"
             "{\\*\\picfile \"/no/such/file.bmp\"}d\\cell\\cell\\row\\clmrg\\cellx-5\\intbl e\\cell}");
  Wellformed(e);
  EXPECT_EQ(e.ParagraphText(0).substr(0, 3), "abc");
}

TEST(DamagedRtf, UnbalancedBracesAndGarbage) {
  const char* inputs[] = {"}}}}", "{\\rtf1 }}}} x", "{\\", "{\\rtf1 \\-", "{\\rtf1 \\'",
                          "{\\rtf1 {\\fonttbl{\\f0", "{\\rtf1{\\colortbl;;;;;;;;;;;;;;;;;;;;\\red300;}}",
                          "{\\rtf1 \\wprtf1 \\wprtf0\\wprtf0", "{\\rtf1 {\\*\\footnote x}}", "\0\0\0"};
  for (const char* in : inputs) {
    TRiRTFTextIo e;
    LoadRtf(e, in);
    Wellformed(e);
  }
}

TEST(DamagedRtf, ManyObjectsFootnotesAndTabsStayBounded) {
  std::string rtf = "{\\rtf1 ";
  for (int i = 0; i < 70000; ++i) rtf += "\\'01";
  for (int i = 0; i < 3000; ++i) rtf += "x{\\*\\footnote n}\\tx" + std::to_string(100 + i * 144) + "\\par ";
  rtf += "}";
  TRiRTFTextIo e;
  LoadRtf(e, rtf);
  Wellformed(e);
  EXPECT_EQ(e.Objects().size(), MaxObjects);
  EXPECT_EQ(e.Footnotes().size(), 3000u);
  EXPECT_FALSE(e.AsRtf().empty());
}

TEST(DamagedRtf, VeryLongParagraphsContinueInFurtherLines) {
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 " + std::string(25000, 'x') + "}");
  Wellformed(e);
  EXPECT_EQ(e.ParagraphText(0), std::string(25000, 'x'));
}

}  // namespace
}  // namespace tw::richtext
