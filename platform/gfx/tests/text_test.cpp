#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/gfx/fontengine.h"
#include "platform/gfx/tests/gfx_test_util.h"
#include "platform/rtl/win1252.h"

namespace tw {
namespace {

using testing::Surface;

TFontRequest Arial(int height, bool bold = false, bool italic = false) {
  TFontRequest r;
  r.Name = "Arial";
  r.Height = height;
  r.Bold = bold;
  r.Italic = italic;
  return r;
}

TEST(FontSubstitution, OldFacesMapToTheirMetricCompatibleStandIns) {
  EXPECT_EQ(SubstituteFontName("Arial"), "Liberation Sans");
  EXPECT_EQ(SubstituteFontName("ms sans serif"), "Liberation Sans");
  EXPECT_EQ(SubstituteFontName("Helvetica"), "Liberation Sans");
  EXPECT_EQ(SubstituteFontName("Times New Roman"), "Liberation Serif");
  EXPECT_EQ(SubstituteFontName("Courier New"), "Liberation Mono");
  EXPECT_EQ(SubstituteFontName("Courier"), "Liberation Mono");
  EXPECT_EQ(SubstituteFontName(""), "Liberation Sans");
}

TEST(FontSubstitution, TheChosenFaceFilesAreTheLiberationFaces) {
  EXPECT_EQ(ResolvedFontFamily(Arial(-13)), "Liberation Sans");
  TFontRequest times = Arial(-13, true, true);
  times.Name = "Times New Roman";
  EXPECT_EQ(ResolvedFontFamily(times), "Liberation Serif");
  TFontRequest unknown = Arial(-13);
  unknown.Name = "No Such Face At All";
  EXPECT_EQ(ResolvedFontFamily(unknown), "Liberation Sans");
}

TEST(FontSubstitution, FontListOffersOldNamesAndInstalledFamiliesOnce) {
  const std::vector<std::string> names = FontFamilies();
  auto count = [&](const char* n) { return std::count(names.begin(), names.end(), std::string(n)); };
  EXPECT_EQ(count("Arial"), 1);
  EXPECT_EQ(count("Times New Roman"), 1);
  EXPECT_EQ(count("Liberation Sans"), 1);
  for (std::size_t i = 1; i < names.size(); ++i) EXPECT_LT(AnsiCompareText(names[i - 1], names[i]), 0);
}

TEST(FontSubstitution, CourierIsFixedPitchAndTimesIsNarrowerThanArial) {
  TFontRequest mono = Arial(-13);
  mono.Name = "Courier New";
  const TCharWidths& m = FontCharWidths(mono);
  EXPECT_EQ(m['i'], m['W']);
  EXPECT_EQ(m['i'], m['.']);
  TFontRequest serif = Arial(-13);
  serif.Name = "Times New Roman";
  EXPECT_LT(FontTextWidth(serif, "The quick brown fox"), FontTextWidth(Arial(-13), "The quick brown fox"));
}

// The pixels of one text drawn at 20 pixels in the named face.
std::vector<std::uint32_t> DrawnText(const char* face, const char* text) {
  Surface s(40, 30);
  s.Canvas().Font()->SetName(face);
  s.Canvas().Font()->SetHeight(-20);
  s.Canvas().TextOut(5, 2, text);
  return s.Pixels();
}

TEST(FontSubstitution, SymbolFontBulletIsDrawnAsABullet) {
  TFontRequest symbol = Arial(-13);
  symbol.Name = "Symbol";
  // The symbol bullet has the width of the real bullet, not of the middle dot of the code page.
  EXPECT_EQ(FontCharWidths(symbol)[0xB7], FontCharWidths(Arial(-13))[0x95]);
  EXPECT_EQ(DrawnText("Symbol", "\xB7"), DrawnText("Arial", "\x95"));
}

TEST(FontSubstitution, WingdingsListBulletIsAFilledCircleNotALetter) {
  TFontRequest wingdings = Arial(-13);
  wingdings.Name = "Wingdings";
  EXPECT_NE(DrawnText("Wingdings", "l"), DrawnText("Arial", "l"));
  // A filled circle is wider than the letter it stands in for.
  EXPECT_GT(FontCharWidths(wingdings)['l'], FontCharWidths(Arial(-13))['l']);
}

TEST(TextMetrics, ArialTenPointAtScreenResolution) {
  TFont font;
  font.SetName("Arial");
  font.SetSize(10);
  EXPECT_EQ(font.Height(), -13);
  const TTextMetric tm = font.TextMetrics();
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  EXPECT_GE(tm.tmHeight, 14);
  EXPECT_LE(tm.tmHeight, 17);
  EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 13);
  EXPECT_GT(tm.tmAscent, 2 * tm.tmDescent);
  EXPECT_GE(tm.tmExternalLeading, 0);
  EXPECT_GT(tm.tmAveCharWidth, 3);
  EXPECT_LT(tm.tmAveCharWidth, tm.tmMaxCharWidth);
  // The same request gives the same answer every time.
  const TTextMetric again = font.TextMetrics();
  EXPECT_EQ(again.tmHeight, tm.tmHeight);
  EXPECT_EQ(again.tmAscent, tm.tmAscent);
  EXPECT_EQ(again.tmAveCharWidth, tm.tmAveCharWidth);
}

TEST(TextMetrics, PositiveHeightIsTheCellHeight) {
  const TTextMetric cell = FontTextMetrics(Arial(20));
  EXPECT_EQ(cell.tmHeight, 20);
  const TTextMetric em = FontTextMetrics(Arial(-20));
  EXPECT_GT(em.tmHeight, 20);
}

TEST(TextMetrics, MetricsScaleWithResolution) {
  TFont screen, printer;
  screen.SetName("Arial");
  screen.SetSize(10);
  printer.SetName("Arial");
  printer.SetPixelsPerInch(600);
  printer.SetSize(10);
  EXPECT_EQ(printer.Height(), -83);
  EXPECT_EQ(printer.Size(), 10);
  EXPECT_NEAR(printer.TextMetrics().tmHeight, screen.TextMetrics().tmHeight * 600.0 / 96, 8);
  // Changing the resolution keeps the size in points.
  screen.SetPixelsPerInch(192);
  EXPECT_EQ(screen.Size(), 10);
  EXPECT_EQ(screen.Height(), -27);
}

TEST(TextMetrics, EveryLetterHasAPositiveWidth) {
  for (const char* face : {"Arial", "Times New Roman", "Courier New"})
    for (bool bold : {false, true}) {
      TFontRequest r = Arial(-13, bold);
      r.Name = face;
      const TCharWidths& w = FontCharWidths(r);
      for (int c = 32; c < 256; ++c) {
        if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) continue;  // unassigned
        EXPECT_GT(w[static_cast<std::size_t>(c)], 0) << face << " code " << c;
      }
    }
}

TEST(TextMetrics, BoldIsWiderAndWidthsAreCached) {
  EXPECT_GT(FontTextWidth(Arial(-13, true), "Mountain"), FontTextWidth(Arial(-13), "Mountain"));
  const std::size_t before = FontCacheSize();
  (void)FontCharWidths(Arial(-13));
  (void)FontCharWidths(Arial(-13));
  EXPECT_EQ(FontCacheSize(), before);
  (void)FontCharWidths(Arial(-117));
  EXPECT_EQ(FontCacheSize(), before + 1);
}

TEST(TextMetrics, AFontsWidthsAndMetricsFollowEveryChangeOfIt) {
  TFont font;
  font.SetName("Arial");
  font.SetSize(10);
  const int w10 = font.CharWidths()['W'];
  const int h10 = font.TextMetrics().tmHeight;
  font.SetSize(30);
  EXPECT_GT(font.CharWidths()['W'], 2 * w10);
  EXPECT_GT(font.TextMetrics().tmHeight, 2 * h10);
  font.SetSize(10);
  EXPECT_EQ(font.CharWidths()['W'], w10);
  font.SetStyle(TFontStyles{TFontStyle::fsBold});
  EXPECT_EQ(font.CharWidths()['m'], FontCharWidths(Arial(font.Height(), true))['m']);
  font.SetName("Courier New");
  EXPECT_EQ(font.CharWidths()['i'], font.CharWidths()['W']) << "a fixed-pitch face now";
  font.SetPixelsPerInch(192);
  EXPECT_EQ(font.TextMetrics().tmHeight, FontTextMetrics(font.Request()).tmHeight);
  TFont other;
  other.SetName("Times New Roman");
  other.SetSize(10);
  font.SetPixelsPerInch(96);
  font.Assign(&other);
  EXPECT_EQ(font.CharWidths()['W'], other.CharWidths()['W']);
}

TEST(TextMeasure, TextWidthIsTheSumOfTheAdvances) {
  Surface s(10, 10);
  TCanvas& c = s.Canvas();
  c.Font()->SetName("Times New Roman");
  c.Font()->SetSize(12);
  const std::string text = "Sch\xF6ne Gr\xFC\xDF" "e \x80 100, \x93quoted\x94";
  int sum = 0;
  for (char ch : text) sum += c.GetCharWidths()[static_cast<unsigned char>(ch)];
  EXPECT_EQ(c.TextWidth(text), sum);
  EXPECT_EQ(c.TextExtent(text).cx, sum);
  EXPECT_EQ(c.TextExtent(text).cy, c.GetTextMetrics().tmHeight);
  EXPECT_EQ(c.TextWidth(""), 0);
}

TEST(TextDraw, TextOutPaintsInsideTheMeasuredCell) {
  Surface s(200, 40);
  TCanvas& c = s.Canvas();
  c.Font()->SetName("Arial");
  c.Font()->SetSize(12);
  c.Brush()->SetStyle(TBrushStyle::bsClear);
  c.TextOut(10, 5, "Hello, World");
  const TRect ink = s.InkBox();
  ASSERT_FALSE(IsRectEmpty(ink));
  EXPECT_GE(ink.Left, 10);
  EXPECT_LE(ink.Right, 10 + c.TextWidth("Hello, World") + 1);
  EXPECT_GE(ink.Top, 5);
  EXPECT_LE(ink.Bottom, 5 + c.TextHeight("H"));
  // The base line: capital H sits on it.
  const int baseline = 5 + c.GetTextMetrics().tmAscent;
  EXPECT_NEAR(ink.Bottom, baseline + 2, 2);  // the comma hangs a little below
}

TEST(TextDraw, OpaqueTextFillsItsCellWithTheBrush) {
  Surface s(100, 30);
  TCanvas& c = s.Canvas();
  c.Font()->SetName("Arial");
  c.Brush()->SetColor(clYellow);
  c.TextOut(3, 3, "ab");
  EXPECT_EQ(s.At(3, 3), clYellow);
  EXPECT_EQ(s.At(3 + c.TextWidth("ab") - 1, 3 + c.TextHeight("ab") - 1), clYellow);
  EXPECT_EQ(s.At(3 + c.TextWidth("ab"), 3), clWhite);
}

TEST(TextDraw, DrawingAStringEqualsDrawingEachCharacterAtItsMeasuredAdvance) {
  const std::string text = "Wave fit: Tj\xE4ll \xC6 1";
  for (const char* face : {"Arial", "Times New Roman"}) {
    Surface whole(260, 40), pieces(260, 40);
    for (Surface* s : {&whole, &pieces}) {
      s->Canvas().Font()->SetName(face);
      s->Canvas().Font()->SetSize(14);
      s->Canvas().Brush()->SetStyle(TBrushStyle::bsClear);
    }
    whole.Canvas().TextOut(7, 5, text);
    int x = 7;
    for (char ch : text) {
      pieces.Canvas().TextOut(x, 5, std::string(1, ch));
      x += pieces.Canvas().TextWidth(std::string(1, ch));
    }
    // Where two glyphs overlap (a descender under its neighbour) the shading of a pixel may
    // differ by rounding; everywhere else the pictures are the same.
    const auto a = whole.Pixels(), b = pieces.Pixels();
    int differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (a[i] != b[i]) {
        ++differ;
        EXPECT_TRUE(a[i] != 0xFFFFFFFFu && b[i] != 0xFFFFFFFFu) << face << " pixel " << i % 260 << "," << i / 260;
      }
    EXPECT_LE(differ, 4) << face;
  }
}

TEST(TextDraw, ExtTextOutPlacesGlyphsAtTheGivenAdvances) {
  Surface s(200, 30);
  TCanvas& c = s.Canvas();
  c.Font()->SetName("Arial");
  c.Font()->SetSize(12);
  c.Brush()->SetStyle(TBrushStyle::bsClear);
  const int dx[4] = {40, 40, 40, 40};
  c.ExtTextOut(10, 5, 0, nullptr, "llll", dx);
  // Four narrow strokes, each starting 40 pixels after the previous one.
  std::vector<int> starts;
  bool inked = false;
  for (int x = 0; x < 200; ++x) {
    bool col = false;
    for (int y = 0; y < 30; ++y) col = col || s.Inked(x, y);
    if (col && !inked) starts.push_back(x);
    inked = col;
  }
  ASSERT_EQ(starts.size(), 4u);
  EXPECT_EQ(starts[1] - starts[0], 40);
  EXPECT_EQ(starts[2] - starts[1], 40);
  EXPECT_EQ(starts[3] - starts[2], 40);
}

// An opaque ExtTextOut fills its rectangle and the text's own box in the brush colour, then
// draws the glyphs: the same pixels as the two fills and transparent text, whether the box lies
// inside the rectangle, sticks out of it or the rectangle is empty.
TEST(TextDraw, OpaqueTextFillsItsRectangleAndItsBox) {
  for (const TRect cell : {Rect(5, 2, 90, 40), Rect(20, 12, 60, 20), Rect(30, 10, 30, 30), Rect(0, 0, 40, 45)}) {
    SCOPED_TRACE(std::to_string(cell.Left) + "," + std::to_string(cell.Top) + "," + std::to_string(cell.Right));
    Surface opaque(100, 50), twoSteps(100, 50);
    for (Surface* s : {&opaque, &twoSteps}) {
      s->Canvas().Font()->SetName("Arial");
      s->Canvas().Font()->SetSize(14);
      s->Canvas().Font()->SetColor(clNavy);
      s->Canvas().Brush()->SetColor(clYellow);
    }
    const int dx[3] = {11, 12, 13};
    opaque.Canvas().ExtTextOut(10, 8, ETO_OPAQUE, &cell, "Wgj", dx);
    TCanvas& c = twoSteps.Canvas();
    const TTextMetric tm = c.GetTextMetrics();
    c.FillRect(cell);
    c.FillRect(Rect(10, 8, 10 + 36, 8 + tm.tmHeight));
    c.Brush()->SetStyle(TBrushStyle::bsClear);
    c.ExtTextOut(10, 8, 0, nullptr, "Wgj", dx);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 100; ++x) ASSERT_EQ(opaque.At(x, y), twoSteps.At(x, y)) << x << "," << y;
  }
}

// Blanks and control characters are left out of the glyphs handed to the rasteriser (they
// have no outline); the letters around them land where they would, in every face and style.
TEST(TextDraw, BlanksDrawNothingAndKeepTheLettersPlaces) {
  for (const char* face : {"Arial", "Times New Roman", "Courier New", "Symbol"}) {
    for (const bool italic : {false, true}) {
      SCOPED_TRACE(std::string(face) + (italic ? " italic" : ""));
      const gfxdetail::SizedFont& f = gfxdetail::GetSizedFont(Arial(-16, false, italic));
      EXPECT_TRUE(f.blank[' ']);
      EXPECT_TRUE(f.blank[1]);
      EXPECT_FALSE(f.blank['a']);
      EXPECT_FALSE(f.blank['.']);
      Surface whole(180, 30), pieces(180, 30);
      for (Surface* s : {&whole, &pieces}) {
        s->Canvas().Font()->SetName(face);
        s->Canvas().Font()->SetSize(12);
        s->Canvas().Font()->SetStyle(italic ? TFontStyles{TFontStyle::fsItalic} : TFontStyles{});
        s->Canvas().Brush()->SetStyle(TBrushStyle::bsClear);
      }
      const int dx[9] = {20, 9, 20, 20, 0, 20, 9, 9, 20};  // no two letters touch
      whole.Canvas().ExtTextOut(4, 4, 0, nullptr, "W Wx\x01W  M", dx);
      // The same letters one by one at their places.
      int x = 4;
      const std::string text = "W Wx\x01W  M";
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ' ' && text[i] != '\x01') pieces.Canvas().ExtTextOut(x, 4, 0, nullptr, text.substr(i, 1), &dx[i]);
        x += dx[i];
      }
      for (int y = 0; y < 30; ++y)
        for (int px = 0; px < 180; ++px) ASSERT_EQ(whole.At(px, y), pieces.At(px, y)) << px << "," << y;
    }
  }
}

TEST(TextDraw, BaselineAlignmentAndCurrentPositionUpdate) {
  Surface s(200, 60);
  TCanvas& c = s.Canvas();
  c.Font()->SetName("Arial");
  c.Font()->SetSize(12);
  c.Brush()->SetStyle(TBrushStyle::bsClear);
  c.SetTextAlign(TA_BASELINE | TA_UPDATECP);
  c.MoveTo(10, 40);
  c.ExtTextOut(0, 0, 0, nullptr, "HH", nullptr);
  EXPECT_EQ(c.PenPos(), Point(10 + c.TextWidth("HH"), 40));
  const TRect ink = s.InkBox();
  EXPECT_EQ(ink.Bottom, 40);  // H stands on the base line
  EXPECT_LT(ink.Top, 40 - 5);
}

TEST(TextDraw, ClippedTextStaysInItsRectangle) {
  Surface s(100, 30);
  TCanvas& c = s.Canvas();
  c.Font()->SetName("Arial");
  c.Font()->SetSize(12);
  c.Brush()->SetStyle(TBrushStyle::bsClear);
  c.TextRect(Rect(10, 0, 30, 30), 10, 5, "WWWWWWWW");
  const TRect ink = s.InkBox();
  EXPECT_GE(ink.Left, 10);
  EXPECT_LE(ink.Right, 30);
}

TEST(TextDraw, UnderlineAndStrikeOutAddLines) {
  Surface plain(100, 30), styled(100, 30);
  for (Surface* s : {&plain, &styled}) {
    s->Canvas().Font()->SetName("Arial");
    s->Canvas().Font()->SetSize(12);
    s->Canvas().Brush()->SetStyle(TBrushStyle::bsClear);
  }
  styled.Canvas().Font()->SetStyle({TFontStyle::fsUnderline});
  plain.Canvas().TextOut(5, 2, "ooo");
  styled.Canvas().TextOut(5, 2, "ooo");
  const int baseline = 2 + plain.Canvas().GetTextMetrics().tmAscent;
  EXPECT_GT(styled.InkBox().Bottom, plain.InkBox().Bottom);
  EXPECT_GE(styled.InkBox().Bottom, baseline + 1);
  // The underline runs under the whole text, the gaps between the letters included.
  int row = styled.InkBox().Bottom - 1;
  for (int x = 5; x < 5 + plain.Canvas().TextWidth("ooo"); ++x) EXPECT_TRUE(styled.Inked(x, row)) << x;
}

TEST(TextDraw, DrawTextAlignsAndBreaksLines) {
  Surface s(200, 100);
  TCanvas& c = s.Canvas();
  c.Font()->SetName("Arial");
  c.Font()->SetSize(10);
  TRect calc = Rect(0, 0, 60, 0);
  const int h = c.DrawText("one two three four five", calc, DT_WORDBREAK | DT_CALCRECT);
  const int line = c.TextHeight("x");
  EXPECT_GE(h, 2 * line);
  EXPECT_EQ(calc.Bottom, h);
  EXPECT_LE(calc.Right, 60);
  TRect single = Rect(0, 0, 200, 40);
  c.Brush()->SetStyle(TBrushStyle::bsClear);
  c.DrawText("&Open", single, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  const TRect ink = s.InkBox();
  EXPECT_NEAR((ink.Left + ink.Right) / 2, 100, 3);
  EXPECT_NEAR((ink.Top + ink.Bottom) / 2, 20, 4);
}

}  // namespace
}  // namespace tw
