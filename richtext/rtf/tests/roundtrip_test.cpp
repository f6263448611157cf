#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <cctype>
#include <random>

#include "platform/gfx/graphic.h"
#include "platform/rtl/files.h"
#include "richtext/rtf/rtfwriter.h"
#include "richtext/rtf/tests/helpers.h"

namespace tw::richtext {
namespace {

using namespace test;

// A document with every attribute kind and paragraph format the engine keeps.
void BuildRich(TRiRTFTextIo& e) {
  TTextHeader& h = e.Header();
  h.SetFontName(0, "Arial");
  h.FindOrAddFont("Times New Roman");
  h.FindOrAddFont("Courier New");
  h.Title = "The {title}";
  h.Subject = "Subject \xe9";
  h.Comment = "A comment";
  h.Layout.PageWidth = 11906;
  h.Layout.PageHeight = 16838;
  h.Layout.LeftMargin = 1000;
  h.Layout.RightMargin = 1100;
  h.Layout.TopMargin = 1200;
  h.Layout.BottomMargin = 1300;
  AddRun(e, "Plain ", MakeAttr(0, 10, 0));
  AddRun(e, "bold ", MakeAttr(1, 12, 1, fsBold));
  AddRun(e, "italic ", MakeAttr(2, 9, 2, fsItalic, 0, 4));
  AddRun(e, "under ", MakeAttr(0, 10, 3, fsUnderline | fsStrikeOut));
  AddRun(e, "Link", MakeAttr(0, 10, 3, fsLink));
  AddRun(e, "1234", MakeAttr(0, 10, 3, 0, fxHidden));
  AddRun(e, " sup", MakeAttr(0, 8, 0, fsSuper));
  AddRun(e, "sub", MakeAttr(0, 8, 0, fsSub));
  AddRun(e, "prot", MakeAttr(0, 10, 0, 0, fxProtected));
  AddRun(e, "\t{braces} \\ \xe4\xf6\xfc\xa0", MakeAttr(0, 0, 15));
  NewPar(e);
  PTParagraph p2 = e.LastParagraph();
  p2->Alignment = 2;
  p2->FirstIndent = 360;
  p2->LeftIndent = 720;
  p2->RightIndent = 500;
  p2->SpaceBefore = 120;
  p2->SpaceAfter = 240;
  p2->LineSpacing = -300;
  p2->Flags = pfKeep;
  AddRun(e, "Centred with indents", MakeAttr(1, 14, 5));
  TAttr ip = MakeAttr(0, 10, 1, 0, fxInsertPoint);
  ip.Tag = 12;
  AddRun(e, "<ins>", ip);
  AddRun(e, "auto", MakeAttr(0, 10, 0, 0, fxAutomatic));
  NewPar(e);
  PTParagraph p3 = e.LastParagraph();
  p3->Alignment = 3;
  p3->Flags = pfPageBreak;
  p3->LeftIndent = 0;
  p3->FirstIndent = 0;
  p3->RightIndent = 0;
  p3->LineSpacing = 0;
  p3->Shading = 0x52;
  p3->ShadingPercent = 50;
  AddRun(e, "Justified, shaded, after a page break", MakeAttr(0, 10, 0));
  AddRun(e, "\nsecond line", MakeAttr(0, 10, 0));
  NewPar(e);
  PTParagraph p4 = e.LastParagraph();
  p4->Alignment = 0;
  p4->Shading = 0;
  p4->ShadingPercent = 0;
  p4->Flags = 0;
  p4->BorderFlags = bfBordered | bfBox;
  p4->BorderWidth = 2;
  p4->BorderColor = 0x23;
  AddRun(e, "Boxed", MakeAttr(0, 10, 0));
  NewPar(e);
  PTParagraph p5 = e.LastParagraph();
  p5->BorderFlags = bfBordered | bfBox | bfBlockEnd;
  p5->BorderWidth = 2;
  p5->BorderColor = 0x23;
  AddRun(e, "Boxed too", MakeAttr(0, 10, 0));
  NewPar(e);
  PTParagraph p6 = e.LastParagraph();
  p6->SetBorderValue(0);
  p6->ListByte = 0x61;
  AddRun(e, "1.\t", MakeAttr(0, 10, 0, 0, fxListNumber));
  AddRun(e, "list item", MakeAttr(0, 10, 0));
  NewPar(e);
  PTParagraph p7 = e.LastParagraph();
  p7->ListByte = 0;
  AddRun(e, "raw {\\b x}", MakeAttr(0, 10, 0, 0, fxRawRtf));
  AddRun(e, " after raw", MakeAttr(0, 10, 0));
}

TEST(RtfRoundTrip, EveryAttributeKindAndParagraphFormatSurvives) {
  TRiRTFTextIo a;
  BuildRich(a);
  const std::string rtf = a.AsRtf();
  TRiRTFTextIo b;
  LoadRtf(b, rtf);
  ASSERT_EQ(b.LastResult, riOK);
  ExpectSameDocument(a, b);
  EXPECT_EQ(b.Header().Title, "The {title}");
  EXPECT_EQ(b.Header().Subject, "Subject \xe9");
  EXPECT_EQ(b.Header().Comment, "A comment");
  EXPECT_EQ(b.Header().Layout.PageWidth, 11906);
  EXPECT_EQ(b.Header().Layout.PageHeight, 16838);
  EXPECT_EQ(b.Header().Layout.LeftMargin, 1000);
  EXPECT_EQ(b.Header().Layout.RightMargin, 1100);
  EXPECT_EQ(b.Header().Layout.TopMargin, 1200);
  EXPECT_EQ(b.Header().Layout.BottomMargin, 1300);
  EXPECT_EQ(b.Header().FontName(1), "Times New Roman");
  EXPECT_EQ(b.Header().FontName(2), "Courier New");
  // Writing the read document again gives the same RTF.
  EXPECT_EQ(b.AsRtf(), rtf);
}

TEST(RtfRoundTrip, TabStopsKeepPositionsAndKinds) {
  TRiRTFTextIo a;
  TTextHeader& h = a.Header();
  const TTabSet t1 = h.AddTab(1440, TTabKind::tkLeft) | h.AddTab(2880, TTabKind::tkRight);
  const TTabSet t2 = h.AddTab(4320, TTabKind::tkCenter) | h.AddTab(5760, TTabKind::tkDecimal);
  a.FirstPar->Tabs = t1;
  AddRun(a, "a\tb\tc", MakeAttr(0, 10, 0));
  NewPar(a);
  a.LastParagraph()->Tabs = t2;
  AddRun(a, "d\te", MakeAttr(0, 10, 0));
  NewPar(a);
  a.LastParagraph()->Tabs = 0;
  AddRun(a, "no tabs", MakeAttr(0, 10, 0));
  TRiRTFTextIo b;
  LoadRtf(b, a.AsRtf());
  ASSERT_EQ(b.ParagraphCount(), 3);
  auto stops = [](const TRiRTFTextIo& e, PTParagraph p) {
    std::vector<std::pair<int, TTabKind>> out;
    for (int i = 0; i < MaxTabs; ++i)
      if (p->Tabs & (TTabSet{1} << i))
        out.emplace_back(e.Header().TabPos[static_cast<std::size_t>(i)], e.Header().TabKinds[static_cast<std::size_t>(i)]);
    std::sort(out.begin(), out.end());
    return out;
  };
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(stops(a, a.ParagraphByIndex(i)), stops(b, b.ParagraphByIndex(i))) << "paragraph " << i;
  EXPECT_EQ(b.ParagraphText(0), "a\tb\tc");
}

TEST(RtfRoundTrip, AnEmptyLastParagraphKeepsItsOwnProperties) {
  // The last paragraph is empty, so only the closing braces end it; the paragraphs before it
  // carry tab stops, a list style, a border or a table, which the writer keeps in groups.
  for (int kind = 0; kind < 6; ++kind) {
    TRiRTFTextIo a;
    const TTabSet tabs = a.Header().AddTab(1440, TTabKind::tkRight);
    PTParagraph p = a.FirstPar;
    if (kind == 4) {
      p->Alignment = 2;
      AddRun(a, "centred", MakeAttr(0, 10, 0));
      NewPar(a);
      p = a.LastParagraph();
      p->Alignment = 0;
    }
    if (kind == 5) {
      TStringStream rtf("{\\rtf1 top\\par\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row\\pard\\li700\\fi-300 }");
      a.LoadFromStream(rtf);
    } else {
      AddRun(a, "before", MakeAttr(0, 10, 0));
    }
    if (kind == 0 || kind == 3 || kind == 4) p->Tabs = tabs;
    if (kind == 1) p->ListByte = 0x60;
    if (kind == 2) p->SetBorderValue(bfBordered | bfBox | bfBlockEnd | (1u << 16) | (1u << 28));
    if (kind == 3) p->Alignment = 1;
    if (kind != 5) NewPar(a);
    PTParagraph last = a.LastParagraph();
    last->Tabs = kind == 3 ? tabs : 0;
    last->ListByte = 0;
    last->SetBorderValue(0);
    last->Alignment = kind == 4 ? 2 : kind == 3 ? 1 : 3;
    if (kind == 5) last->FirstIndent = 400, last->LeftIndent = 700;
    const std::string once = a.AsRtf();
    TRiRTFTextIo b;
    LoadRtf(b, once);
    ASSERT_EQ(b.ParagraphCount(), a.ParagraphCount()) << once;
    PTParagraph read = b.LastParagraph();
    SCOPED_TRACE("kind " + std::to_string(kind) + "\n" + once);
    EXPECT_EQ(TabStops(b, read), TabStops(a, last));
    EXPECT_EQ(read->ListByte, 0);
    EXPECT_EQ(read->BorderFlags & bfBordered, 0);
    EXPECT_EQ(read->Alignment, last->Alignment);
    EXPECT_EQ(read->LeftIndent, last->LeftIndent);
    EXPECT_EQ(read->FirstIndent, last->FirstIndent);
    EXPECT_EQ(b.AsRtf(), once);
  }
}

TEST(RtfRoundTrip, TableRowsKeepCellsAndWidths) {
  TRiRTFTextIo a;
  LoadRtf(a, "{\\rtf1 before\\par\\trowd\\cellx2000\\cellx4000\\intbl A\\cell B\\cell\\row "
             "\\trowd\\cellx2000\\cellx4000\\intbl C\\cell D\\cell\\row\\pard after\\par end}");
  ASSERT_GE(a.ParagraphCount(), 6);
  EXPECT_EQ(a.ParagraphText(1), "A");
  EXPECT_EQ(a.ParagraphText(4), "D");
  TRiRTFTextIo b;
  LoadRtf(b, a.AsRtf());
  ASSERT_EQ(b.ParagraphCount(), a.ParagraphCount());
  for (int i = 0; i < a.ParagraphCount(); ++i) {
    PTParagraph p = a.ParagraphByIndex(i), q = b.ParagraphByIndex(i);
    EXPECT_EQ(a.ParagraphText(i), b.ParagraphText(i)) << i;
    EXPECT_EQ(p->Flags & (pfTableCell | pfLastCell | pfRowGoesOn), q->Flags & (pfTableCell | pfLastCell | pfRowGoesOn)) << i;
    EXPECT_EQ(p->CellStart, q->CellStart) << i;
    EXPECT_EQ(p->CellWidth, q->CellWidth) << i;
  }
  // The second row repeats the first one's definition: one table group with one definition.
  const std::string rtf = a.AsRtf();
  EXPECT_EQ(rtf.find("\\trowd"), rtf.rfind("\\trowd"));
}

TEST(RtfRoundTrip, FootnotesAndPicturesComeBack) {
  TRiRTFTextIo a;
  AddRun(a, "Text", MakeAttr(0, 10, 0));
  TRiFootnote* f = a.AddFootnote('*', 3, "The {note} text");
  TAttr mark = MakeAttr(0, 10, 0, 0, fxFootnote);
  mark.Tag = f->Id;
  AddRun(a, "*", mark);
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetSize(3, 2);
  bmp->Canvas()->SetPixel(1, 1, clRed);
  TRiObject* o = a.AddObject(std::move(bmp), 0);
  o->Width = 450;
  o->Height = 300;
  TAttr obj = MakeAttr(0, 10, 0, 0, fxObject);
  obj.Tag = o->Number;
  AddRun(a, "\x01", obj);
  AddRun(a, " end", MakeAttr(0, 10, 0));
  TRiRTFTextIo b;
  LoadRtf(b, a.AsRtf());
  ASSERT_EQ(b.ParagraphCount(), 1);
  const auto chars = Chars(b.FirstPar);
  ASSERT_EQ(b.ParagraphText(0), std::string("Text*\x01 end"));
  EXPECT_TRUE(chars[4].A.Extra & fxFootnote);
  TRiFootnote* g = b.FindFootnote(chars[4].A.Tag);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Mark, '*');
  EXPECT_EQ(g->Number, 3);
  EXPECT_EQ(g->Text, "The {note} text");
  EXPECT_TRUE(chars[5].A.Extra & fxObject);
  TRiObject* p = b.FindObject(0, chars[5].A.Tag);
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->Graphic, nullptr);
  EXPECT_EQ(p->Graphic->Width(), 3);
  EXPECT_EQ(p->Graphic->Height(), 2);
  EXPECT_EQ(p->Width, 450);
  EXPECT_EQ(static_cast<TBitmap*>(p->Graphic.get())->PixelColor(1, 1), clRed);
}

TEST(RtfWriterOutput, HeaderRunsAndParagraphWordsAreExact) {
  TRiRTFTextIo e;
  EXPECT_EQ(e.AsRtf().substr(0, 27), "{\\rtf1\\ansi\\deff0\\deftab720");
  AddRun(e, "x", MakeAttr(1, 12, 1, fsBold));
  e.Header().FindOrAddFont("Times");
  const std::string rtf = e.AsRtf();
  EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil\\fcharset0 Times;}}"), std::string::npos);
  EXPECT_NE(rtf.find("\\red255\\green0\\blue0;"), std::string::npos);
  EXPECT_NE(rtf.find("\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440"), std::string::npos);
  EXPECT_NE(rtf.find("\\plain\\f1\\fs24\\cf1\\b x"), std::string::npos);
  EXPECT_EQ(rtf.find("\\cb"), std::string::npos);
  EXPECT_EQ(rtf.substr(rtf.size() - 4), "}\r\n}");
}

// Superscript and subscript runs stand in groups of their own, raw RTF and hidden text around
// them included, and a saved file reads back as it was.
TEST(RtfWriterOutput, SuperscriptAndSubscriptRunsAreGroups) {
  TRiRTFTextIo e;
  AddRun(e, "E=mc", MakeAttr(0, 10, 0));
  AddRun(e, "2", MakeAttr(0, 10, 0, fsSuper));
  AddRun(e, " H", MakeAttr(0, 10, 0, 0, fxHidden));
  AddRun(e, "2", MakeAttr(0, 10, 0, fsSub));
  NewPar(e);
  AddRun(e, "{x}", MakeAttr(0, 10, 0, fsSub, fxRawRtf));
  AddRun(e, "y", MakeAttr(0, 10, 0, fsSuper, fxHidden));
  const std::string name = "richtext_scripts_" + std::to_string(getpid()) + ".rtf";
  e.SaveToFile(name);
  std::ifstream in(name, std::ios::binary);
  const std::string rtf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(rtf.find("E=mc{\\plain\\f0\\fs20\\cf0\\super 2}\\plain\\f0\\fs20\\cf0\\v  H{\\plain\\f0\\fs20\\cf0\\sub 2}"
                     "\\plain\\par"),
            std::string::npos)
      << rtf;
  EXPECT_NE(rtf.find("{\\plain\\f0\\fs20\\cf0\\sub\\wprtf1 {x}\\wprtf0}{\\plain\\f0\\fs20\\cf0\\super\\v y}}"), std::string::npos)
      << rtf;
  TRiRTFTextIo back;
  back.LoadFromFile(name);
  ExpectSameDocument(e, back);
  std::remove(name.c_str());
}

TEST(RtfWriterOutput, InformationGoesInTheInfoGroupAndReadsBack) {
  TRiRTFTextIo e;
  e.Header().Title = "T";
  e.Header().Comment = "C";
  AddRun(e, "x", MakeAttr(0, 10, 0));
  const std::string rtf = e.AsRtf();
  EXPECT_NE(rtf.find("{\\info{\\title T}{\\comment\tC}}"), std::string::npos);
  TRiRTFTextIo back;
  LoadRtf(back, rtf);
  EXPECT_EQ(back.Header().Title, "T");
  EXPECT_EQ(back.Header().Comment, "C");
  EXPECT_EQ(back.ParagraphText(0), "x");
  // Files that carry the information outside the group still read.
  TRiRTFTextIo old;
  LoadRtf(old, "{\\rtf1{\\title Old}{\\subject\tS}y}");
  EXPECT_EQ(old.Header().Title, "Old");
  EXPECT_EQ(old.Header().Subject, "S");
}

TEST(RtfRoundTrip, RawRtfRunsThatAreInsertionPointsOrAutomaticTextStayRaw) {
  TRiRTFTextIo e;
  AddRun(e, "a", MakeAttr(0, 10, 0));
  TAttr raw = MakeAttr(0, 10, 0, 0, fxRawRtf | fxInsertPoint);
  raw.Tag = 7;
  AddRun(e, "{\\b r}", raw);
  AddRun(e, "b", MakeAttr(0, 10, 0));
  AddRun(e, "\\i s", MakeAttr(0, 10, 0, 0, fxRawRtf | fxAutomatic));
  AddRun(e, "c", MakeAttr(0, 10, 0));
  AddRun(e, "{n}", MakeAttr(0, 10, 0, 0, fxRawRtf | fxListNumber));
  const std::string once = e.AsRtf();
  TRiRTFTextIo back;
  LoadRtf(back, once);
  EXPECT_EQ(back.ParagraphText(0), "a{\\b r}b\\i sc{n}");
  ExpectSameDocument(e, back);
  EXPECT_EQ(back.AsRtf(), once);
}

TEST(RtfWriterOutput, PropertiesAreWrittenOnlyWhenTheyChange) {
  TRiRTFTextIo e;
  e.FirstPar->LeftIndent = 100;
  AddRun(e, "a", MakeAttr(0, 10, 0));
  NewPar(e);
  AddRun(e, "b", MakeAttr(0, 10, 0));
  NewPar(e);
  e.LastParagraph()->Alignment = 2;
  AddRun(e, "c\xe9", MakeAttr(0, 10, 0, 0, fxHidden));
  NewPar(e);
  AddRun(e, "d", MakeAttr(0, 10, 0));
  const std::string rtf = e.AsRtf();
  EXPECT_EQ(rtf.find("\\li"), rtf.rfind("\\li"));
  EXPECT_NE(rtf.find("\\qc"), std::string::npos);
  EXPECT_NE(rtf.find("c\\'e9\\plain\\par"), std::string::npos);
}

}  // namespace
}  // namespace tw::richtext

namespace tw::richtext {
namespace {

using namespace test;

TEST(RtfPictures, LinkedFilesLoadFromTheBaseFolderAndWriteBackAsLinks) {
  const std::string folder = "richtext_pics_" + std::to_string(getpid());
  ASSERT_TRUE(ForceDirectories(folder));
  TBitmap bmp;
  bmp.SetSize(4, 3);
  bmp.SaveToFile(folder + "/pic.bmp");
  const std::string doc = "{\\rtf1 a{\\*\\picfile\\picwgoal600\\pichgoal450\\picscalex50 \"pic.bmp\"}b}";
  {
    // Without the owner's consent no file is read: the picture stays a link.
    TRiRTFTextIo off;
    off.BaseFolder = folder;
    LoadRtf(off, doc);
    EXPECT_EQ(off.ParagraphText(0), "a\x01" "b");
    TRiObject* o = off.FindObject(0, Chars(off.FirstPar)[1].A.Tag);
    ASSERT_NE(o, nullptr);
    EXPECT_TRUE(o->Linked);
    EXPECT_EQ(o->Graphic, nullptr);
    EXPECT_NE(off.AsRtf().find("{\\*\\picfile\\picwgoal300\\pichgoal450 \"pic.bmp\"}"), std::string::npos);
    // An absolute name is not read either.
    TRiRTFTextIo abs;
    LoadRtf(abs, "{\\rtf1 {\\*\\picfile \"" + ExpandFileName(folder + "/pic.bmp") + "\"}}");
    ASSERT_EQ(abs.Objects().size(), 1u);
    EXPECT_EQ(abs.Objects().front()->Graphic, nullptr);
  }
  TRiRTFTextIo e;
  e.BaseFolder = folder;
  e.LoadPictureFiles = true;
  LoadRtf(e, doc);
  EXPECT_EQ(e.ParagraphText(0), "a\x01" "b");
  const auto c = Chars(e.FirstPar);
  TRiObject* o = e.FindObject(0, c[1].A.Tag);
  ASSERT_NE(o, nullptr);
  EXPECT_TRUE(o->Linked);
  EXPECT_EQ(o->Width, 300);
  EXPECT_EQ(o->Height, 450);
  ASSERT_NE(o->Graphic, nullptr);
  EXPECT_EQ(o->Graphic->Width(), 4);
  const std::string rtf = e.AsRtf();
  EXPECT_NE(rtf.find("{\\*\\picfile\\picw4\\pich3\\picwgoal300\\pichgoal450 \"pic.bmp\"}"), std::string::npos);
  DeleteFile(folder + "/pic.bmp");
  RemoveDir(folder);
}

TEST(RtfPictures, BinaryPictureDataAndReferences) {
  TRiRTFTextIo e;
  // Binary bytes inside a picture are data, not RTF.
  LoadRtf(e, "{\\rtf1 x{\\pict\\wmetafile8\\bin4 }}{\\}y\\wpobjtag77\\wpobjw100\\wpobjh50 \\'01z}");
  EXPECT_EQ(e.ParagraphText(0), "xy\x01z");
  const auto c = Chars(e.FirstPar);
  TRiObject* o = e.FindObject(0, c[2].A.Tag);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->Tag, 77);
  EXPECT_TRUE(o->ByReference);
  EXPECT_NE(e.AsRtf().find("\\wpobjtag77\\wpobjw100\\wpobjh50 \\'01"), std::string::npos);
}

}  // namespace
}  // namespace tw::richtext

namespace tw::richtext {
namespace {

using namespace test;

// Whether keep-together is in force at `at` for a reader that keeps paragraph words until
// "\pard" or the end of their group, as word processors do.
bool KeepInForceAt(const std::string& rtf, std::size_t at) {
  std::vector<bool> keep{false};
  for (std::size_t i = 0; i < at && i < rtf.size(); ++i) {
    const char c = rtf[i];
    if (c == '{') {
      keep.push_back(keep.back());
    } else if (c == '}') {
      if (keep.size() > 1) keep.pop_back();
    } else if (c == '\\') {
      std::size_t j = i + 1;
      while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
      const std::string word = rtf.substr(i + 1, j - i - 1);
      if (word == "keep") keep.back() = true;
      if (word == "pard") keep.back() = false;
      if (j == i + 1) ++j;  // a control symbol
      i = j - 1;
    }
  }
  return keep.back();
}

TEST(RtfRoundTrip, KeepTogetherHoldsOnlyForItsOwnParagraphs) {
  TRiRTFTextIo a;
  const TTabSet tabs = a.Header().AddTab(2000, TTabKind::tkLeft);
  const struct {
    const char* text;
    bool keep;
    TTabSet tabs;
  } pars[] = {{"kept one", true, 0}, {"kept two", true, tabs}, {"loose three", false, tabs},
              {"kept four", true, 0}, {"loose five", false, 0}};
  bool first = true;
  for (const auto& p : pars) {
    if (!first) NewPar(a);
    first = false;
    a.LastParagraph()->Flags = p.keep ? pfKeep : 0;
    a.LastParagraph()->Tabs = p.tabs;
    AddRun(a, p.text, MakeAttr(0, 10, 0));
  }
  const std::string rtf = Saved(a);
  for (const auto& p : pars) EXPECT_EQ(KeepInForceAt(rtf, rtf.find(p.text)), p.keep) << p.text << "\n" << rtf;
  TRiRTFTextIo b;
  LoadRtf(b, rtf);
  ExpectSameDocument(a, b);
}

// Three cells in a row; `tabs` gives each cell's tab stop position (0: none).
std::string ThreeCellRow(TRiRTFTextIo& e, const std::array<int, 3>& tabs) {
  LoadRtf(e, "{\\rtf1 before\\par\\trowd\\cellx2000\\cellx4000\\cellx6000\\intbl A\\cell B\\cell C\\cell\\row"
             "\\pard after\\par end}");
  for (int i = 0; i < 3; ++i)
    e.ParagraphByIndex(1 + i)->Tabs = tabs[static_cast<std::size_t>(i)] != 0
                                          ? e.Header().AddTab(tabs[static_cast<std::size_t>(i)], TTabKind::tkLeft)
                                          : 0;
  return Saved(e);
}

TEST(RtfRoundTrip, CellsWithTheirOwnTabStopsStayInOneRow) {
  // A tab stop set in one cell (as the ruler does), in the first, in the last, in every cell.
  for (const auto& tabs : {std::array<int, 3>{0, 720, 0}, std::array<int, 3>{720, 0, 0},
                           std::array<int, 3>{0, 0, 1440}, std::array<int, 3>{300, 600, 900}}) {
    TRiRTFTextIo a;
    const std::string rtf = ThreeCellRow(a, tabs);
    EXPECT_EQ(rtf.find("\\trowd"), rtf.rfind("\\trowd")) << rtf;
    TRiRTFTextIo b;
    LoadRtf(b, rtf);
    SCOPED_TRACE(rtf);
    ExpectSameDocument(a, b);
    EXPECT_EQ(Saved(b), rtf);
  }
}

TEST(RtfReading, EveryCellOfARowStartsFromTheParagraphDefaults) {
  // The paragraph before the table has tab stops; each cell resets them with "\pard".
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1\\pard\\tx1000\\tqr\\tx5000 Item\\tab Price\\par"
             "\\trowd\\trleft10\\cellx2000\\cellx4000\\pard\\intbl A1\\cell\\pard\\intbl B1\\cell\\row\\pard end}");
  ASSERT_EQ(e.ParagraphText(1), "A1");
  EXPECT_EQ(TabStops(e, e.ParagraphByIndex(0)).size(), 2u);
  EXPECT_TRUE(TabStops(e, e.ParagraphByIndex(1)).empty());
  EXPECT_TRUE(TabStops(e, e.ParagraphByIndex(2)).empty());
  // Keep-together ends with "\pard" as well.
  TRiRTFTextIo k;
  LoadRtf(k, "{\\rtf1\\keep\\pard loose\\par}");
  EXPECT_FALSE(k.FirstPar->Flags & pfKeep);
}

// "\pard" returns a paragraph's spacing to none: a heading's spacing stays with the heading in
// a file of another word processor, a cell's with the cell, and the program's files, older ones
// included, read back as they were saved.
TEST(RtfReading, ParagraphSpacingIsEachParagraphsOwn) {
  auto spacing = [](const TRiRTFTextIo& e) {
    std::vector<std::array<int, 3>> out;
    for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) out.push_back({p->SpaceBefore, p->SpaceAfter, p->LineSpacing});
    return out;
  };
  const std::string name = "richtext_spacing_" + std::to_string(getpid()) + ".rtf";
  auto load = [&](TRiRTFTextIo& e, const std::string& rtf) {
    std::ofstream(name, std::ios::binary) << rtf;
    e.LoadFromFile(name);
    ASSERT_EQ(e.LastResult, riOK);
  };
  const std::string cell = "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
  TRiRTFTextIo other;
  load(other, "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Liberation Serif;}}\n"
              "\\pard\\plain \\s1\\sb283\\sa283\\keepn\\f0\\fs32{\\loch Heading one}\\par\n"
              "\\pard\\plain \\s0\\f0\\fs24{\\loch Plain paragraph one (no spacing)}\\par\n"
              "\\pard\\plain \\s0\\sa140\\sl276\\f0\\fs24{\\loch Body}\\par\n"
              "\\trowd\\trql\\trleft0\\trpaddl55\\trpaddr55" + cell + "\\cellx4819" + cell + "\\cellx9638\n"
              "\\pard\\plain \\s0\\intbl{\\loch Cell one}\\cell\\pard\\plain \\s0\\sb120\\intbl{\\loch Cell two}\\cell\\row\n"
              "\\pard\\plain \\s0\\f0\\fs24{\\loch Plain paragraph two (no spacing)}\\par}");
  ASSERT_EQ(other.ParagraphText(1), "Plain paragraph one (no spacing)");
  using S = std::vector<std::array<int, 3>>;
  EXPECT_EQ(spacing(other), (S{{283, 283, 0}, {0, 0, 0}, {0, 140, 276}, {0, 0, 0}, {120, 0, 0}, {0, 0, 0}, {0, 0, 0}}));
  // Saved by the program and read again.
  other.SaveToFile(name);
  TRiRTFTextIo again;
  again.LoadFromFile(name);
  ExpectSameDocument(other, again);
  // A file as the program wrote it before: spacing carried from paragraph to paragraph, a
  // table's own in its group.
  TRiRTFTextIo older;
  load(older, "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}\\paperw12240\\paperh15840"
              "\\margl1880\\margr1880\\margt1440\\margb1440{\\sb283\\sa120 \\plain\\f0\\fs20\\cf0 Heading\\par\n\r"
              "\\plain\\f0\\fs20\\cf0 Same\\par\n\r\\sb0\\sa0 \\plain\\f0\\fs20\\cf0 None\\par\n\r"
              "{\\pard\\trowd\\trgaph0\\trleft0\\cellx2008\\cellx4000\\intbl \\sb100\\sa0 \\plain\\f0\\fs20\\cf0 A\\cell\n\r"
              "\\intbl \\sb0\\sa40 \\plain\\f0\\fs20\\cf0 B\\cell\\row\n\r"
              "}\\sb60\\sl-300\\sa0 \\plain\\f0\\fs20\\cf0 After\\par\n\r\\plain\\f0\\fs20\\cf0 Last}\r\n}");
  EXPECT_EQ(spacing(older),
            (S{{283, 120, 0}, {283, 120, 0}, {0, 0, 0}, {100, 0, 0}, {0, 40, 0}, {60, 0, -300}, {60, 0, -300}}));
  older.SaveToFile(name);
  TRiRTFTextIo newer;
  newer.LoadFromFile(name);
  ExpectSameDocument(older, newer);
  std::remove(name.c_str());
}

TEST(RtfReading, CellBoundariesCountFromTheRowsLeftEdge) {
  // Word processors write the row definition before "\pard": the indent of the paragraph
  // before the table does not move the first row's cells.
  for (const std::string left : {"", "\\trleft300"}) {
    TRiRTFTextIo e;
    LoadRtf(e, "{\\rtf1\\li709 item\\par\\trowd" + left + "\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl a\\cell b\\cell c\\cell\\row"
               "\\trowd" + left + "\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl d\\cell e\\cell f\\cell\\row\\pard end}");
    ASSERT_EQ(e.ParagraphText(4), "d");
    for (int i = 0; i < 3; ++i) {
      PTParagraph first = e.ParagraphByIndex(1 + i), second = e.ParagraphByIndex(4 + i);
      EXPECT_EQ(first->CellStart, second->CellStart) << left << i;
      EXPECT_EQ(first->CellWidth, second->CellWidth) << left << i;
      EXPECT_EQ(first->LeftIndent, second->LeftIndent) << left << i;
    }
    EXPECT_EQ(e.ParagraphByIndex(1)->CellWidth, left.empty() ? 85 : 76);
  }
}

// Every cell of a read document stands where the row definition put it, as far as the row fits
// the page's text width (a wider row is narrowed to it).
void ExpectRowsWhereWritten(const TRiRTFTextIo& e, const std::vector<std::vector<int>>& rows, const std::string& what) {
  const TRiLayout& l = e.Header().Layout;
  const int tw = l.PageWidth - l.LeftMargin - l.RightMargin;
  std::size_t row = 0;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) {
    if (!p->IsCell() || (p->Prev != nullptr && p->Prev->IsCell() && (p->Prev->Flags & pfRowGoesOn))) continue;
    ASSERT_LT(row, rows.size()) << what;
    const std::vector<int>& expected = rows[row++];
    if (expected.back() > tw) continue;
    const std::vector<int> shown = CellEdges(e, p);
    ASSERT_EQ(shown.size(), expected.size()) << what << " row " << row;
    const int slack = 3 * (expected.back() - expected.front()) / 255 + 1;
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_NEAR(shown[i], expected[i], slack) << what << " row " << row << " edge " << i;
  }
  EXPECT_EQ(row, rows.size()) << what;
}

// A paragraph and an offset in it, chosen at random (not inside a table cell when `outsideCells`).
std::pair<PTParagraph, int> RandomPlace(const TRiRTFTextIo& e, RandomRtf& gen, bool outsideCells) {
  std::vector<PTParagraph> places;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next)
    if (!outsideCells || !p->IsCell()) places.push_back(p);
  PTParagraph p = places[static_cast<std::size_t>(gen.Pick(0, static_cast<int>(places.size()) - 1))];
  return {p, gen.Pick(0, p->FirstLine->Length)};
}

TEST(RtfRoundTripModel, RandomDocumentsOfTablesListsTabsAndIndentsSurviveTheFirstSave) {
  int tables = 0, lists = 0, tabbed = 0, pasted = 0, copiedRows = 0, emptyLast = 0, leftRows = 0;
  for (std::uint32_t seed = 1; seed <= 600; ++seed) {
    RandomRtf gen(seed);
    const std::string source = gen.Document();
    TRiRTFTextIo first;
    LoadRtf(first, source);
    ASSERT_EQ(first.LastResult, riOK) << source;
    SCOPED_TRACE("seed " + std::to_string(seed) + "\n" + source);
    // Rows at a left edge stand where their definitions put them.
    ExpectRowsWhereWritten(first, gen.Rows, "read");
    for (const auto& r : gen.Rows) leftRows += r.front() > 0;
    // A copy of a random range is RTF of whole rows holding the characters selected, in their
    // colours, and its cells stand where they stood.
    {
      auto [sp, so] = RandomPlace(first, gen, false);
      auto [ep, eo] = RandomPlace(first, gen, false);
      if (first.ParagraphNumber(ep) < first.ParagraphNumber(sp) || (ep == sp && eo < so)) {
        std::swap(sp, ep);
        std::swap(so, eo);
      }
      first.SelStartPar = sp, first.SelStartLine = sp->FirstLine, first.SelStartOffset = so;
      first.SelEndPar = ep, first.SelEndLine = ep->FirstLine, first.SelEndOffset = eo;
      TStringStream copied;
      first.SaveFormat = TRiLoadFormat::FormatRTF;
      first.SaveSelectionToStream(copied);
      first.SelStartPar = first.SelEndPar = nullptr;
      copiedRows += WholeRows(copied.DataString());
      TRiRTFTextIo copy;
      LoadRtf(copy, copied.DataString());
      EXPECT_EQ(ShownChars(copy), ShownChars(first, sp, so, ep, eo)) << copied.DataString();
      PTParagraph c = copy.FirstPar;
      for (PTParagraph q = sp; q != nullptr && c != nullptr; q = q->Next) {
        if (q->IsCell()) {
          while (c != nullptr && !c->IsCell()) c = c->Next;
          if (c == nullptr) break;
          const auto a = CellEdges(copy, c, true), b = CellEdges(first, q, true);
          EXPECT_NEAR(a[0], b[0], 3 * 16000 / 255) << copied.DataString();
          EXPECT_NEAR(a[1], b[1], 3 * 16000 / 255) << copied.DataString();
          c = c->Next;
        }
        if (q == ep) break;
      }
    }
    // A fragment of another document pasted at the cursor keeps the page and the colours of the
    // text around it and shows its own colours.
    if (gen.Chance(50)) {
      RandomRtf other(seed + 100000);
      const std::string fragment = other.Document();
      TRiRTFTextIo alone;
      LoadRtf(alone, fragment);
      const auto [at, offset] = RandomPlace(first, gen, true);
      const TRiLayout page = first.Header().Layout;
      const std::string title = first.Header().Title;
      std::vector<Shown> expected = ShownChars(first, first.FirstPar, 0, at, offset);
      const std::vector<Shown> inserted = ShownChars(alone), after = ShownChars(first, at, offset);
      expected.insert(expected.end(), inserted.begin(), inserted.end());
      expected.insert(expected.end(), after.begin(), after.end());
      first.CursorPar = at;
      first.CursorLine = at->FirstLine;
      first.CursorOffset = offset;
      LoadRtf(first, fragment);
      EXPECT_EQ(ShownChars(first), expected) << fragment;
      EXPECT_EQ(first.Header().Layout.PageWidth, page.PageWidth);
      EXPECT_EQ(first.Header().Layout.LeftMargin, page.LeftMargin);
      EXPECT_EQ(first.Header().Layout.RightMargin, page.RightMargin);
      EXPECT_EQ(first.Header().Title, title);
      ++pasted;
    }
    UpdateListNumbers(first);  // list items get their generated numbers
    for (PTParagraph p = first.FirstPar; p != nullptr; p = p->Next) {
      tables += p->IsCell();
      lists += p->ListByte != 0;
      tabbed += p->Tabs != 0;
    }
    emptyLast += TRiRTFText::ParagraphLength(first.LastParagraph()) == 0 &&
                 (first.LastParagraph()->LeftIndent != 0 || first.LastParagraph()->Alignment != 0);
    const std::string saved = Saved(first);
    TRiRTFTextIo second;
    LoadRtf(second, saved);
    SCOPED_TRACE(saved);
    ExpectSameDocument(first, second);
    EXPECT_EQ(ShownChars(second), ShownChars(first));
    if (::testing::Test::HasFailure()) break;
    // The numbers written are the numbers the document holds: numbering again changes nothing.
    UpdateListNumbers(second);
    ExpectSameDocument(first, second);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(tables, 1000);
  EXPECT_GT(lists, 300);
  EXPECT_GT(tabbed, 300);
  EXPECT_GT(pasted, 200);
  EXPECT_GT(copiedRows, 100);
  EXPECT_GT(emptyLast, 30);
  EXPECT_GT(leftRows, 100);
}

}  // namespace
}  // namespace tw::richtext
