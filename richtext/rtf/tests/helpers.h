// Building and comparing documents in the RTF tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/classes/streams.h"
#include "richtext/rtf/rtftextio.h"

namespace tw::richtext::test {

inline TAttr MakeAttr(std::uint8_t font, std::uint8_t size, int color, std::uint8_t style = 0, std::uint8_t extra = 0,
                      int back = 0) {
  TAttr a;
  a.Font = font;
  a.Size = size;
  a.SetTextColor(color);
  a.SetBackColor(back);
  a.Style = style;
  a.Extra = extra;
  return a;
}

// Appends a run to the last paragraph.
inline void AddRun(TRiRTFTextIo& e, const std::string& text, const TAttr& a) {
  PTParagraph p = e.LastParagraph();
  PTLine l = TRiRTFText::Get_LastLine(p);
  e.ReplaceText(p, l, &a, static_cast<int>(text.size()), text.data(), 0, l->Length);
}

inline void NewPar(TRiRTFTextIo& e) {
  PTParagraph p = e.LastParagraph();
  e.NewParagraph(p, 40);
}

inline void LoadRtf(TRiRTFTextIo& e, const std::string& rtf) {
  TStringStream s(rtf);
  e.LoadFormat = TRiLoadFormat::FormatRTF;
  e.LoadFromStream(s);
}

struct Char {
  char Ch;
  TAttr A;
};

inline std::vector<Char> Chars(PTParagraph p) {
  std::vector<Char> out;
  for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
    for (int i = 0; i < l->Length; ++i)
      out.push_back({l->Text()[i], l->HasAttrs() ? l->Attrs[static_cast<std::size_t>(i)] : TAttr{}});
  return out;
}

// The attribute proper of two characters agree (size 0 reads back as 10).
inline void ExpectSameAttr(const TAttr& a, const TAttr& b, const std::string& where) {
  EXPECT_EQ(a.Font, b.Font) << where;
  EXPECT_EQ(a.Colors, b.Colors) << where;
  EXPECT_EQ(a.Style, b.Style) << where;
  EXPECT_EQ(a.Extra, b.Extra) << where;
  EXPECT_EQ(a.Points(), b.Points()) << where;
  if (a.Extra & (fxInsertPoint | fxObject | fxFootnote)) {
    EXPECT_NE(b.Tag, 0) << where;
  } else {
    EXPECT_EQ(a.Tag, b.Tag) << where;
  }
}

// The tab stops of a paragraph's set: positions and kinds, in order.
inline std::vector<std::pair<int, TTabKind>> TabStops(const TRiRTFTextIo& e, PTParagraph p) {
  std::vector<std::pair<int, TTabKind>> out;
  for (int i = 0; i < MaxTabs; ++i)
    if ((p->Tabs & (TTabSet{1} << i)) && e.Header().TabPos[static_cast<std::size_t>(i)] != 0)
      out.emplace_back(e.Header().TabPos[static_cast<std::size_t>(i)], e.Header().TabKinds[static_cast<std::size_t>(i)]);
  std::sort(out.begin(), out.end());
  return out;
}

inline void ExpectSameParagraph(PTParagraph a, PTParagraph b, int index) {
  const std::string where = "paragraph " + std::to_string(index);
  EXPECT_EQ(a->Flags & (pfTableCell | pfLastCell | pfRowGoesOn), b->Flags & (pfTableCell | pfLastCell | pfRowGoesOn))
      << where;
  EXPECT_EQ(a->CellStart, b->CellStart) << where;
  EXPECT_EQ(a->CellWidth, b->CellWidth) << where;
  EXPECT_EQ(a->FirstIndent, b->FirstIndent) << where;
  EXPECT_EQ(a->LeftIndent, b->LeftIndent) << where;
  EXPECT_EQ(a->RightIndent, b->RightIndent) << where;
  EXPECT_EQ(a->SpaceBefore, b->SpaceBefore) << where;
  EXPECT_EQ(a->SpaceAfter, b->SpaceAfter) << where;
  EXPECT_EQ(a->LineSpacing, b->LineSpacing) << where;
  EXPECT_EQ(a->Alignment, b->Alignment) << where;
  EXPECT_EQ(a->Flags & (pfPageBreak | pfKeep), b->Flags & (pfPageBreak | pfKeep)) << where;
  EXPECT_EQ(a->ListByte, b->ListByte) << where;
  EXPECT_EQ(a->Shading, b->Shading) << where;
  EXPECT_EQ(a->ShadingPercent, b->ShadingPercent) << where;
  EXPECT_EQ(a->BorderFlags & ~bfBlockEnd, b->BorderFlags & ~bfBlockEnd) << where;
  // Width, colour and spacing show only on bordered paragraphs; a cell's spacing is its row's gap.
  if ((a->BorderFlags & bfBordered) || a->IsCell()) {
    EXPECT_EQ(a->BorderWidth, b->BorderWidth) << where;
    EXPECT_EQ(a->BorderColor, b->BorderColor) << where;
  }
  const auto ca = Chars(a), cb = Chars(b);
  ASSERT_EQ(ca.size(), cb.size()) << where;
  for (std::size_t i = 0; i < ca.size(); ++i) {
    EXPECT_EQ(ca[i].Ch, cb[i].Ch) << where << " char " << i;
    ExpectSameAttr(ca[i].A, cb[i].A, where + " char " + std::to_string(i));
  }
}

inline void ExpectSameDocument(const TRiRTFTextIo& a, const TRiRTFTextIo& b) {
  ASSERT_EQ(a.ParagraphCount(), b.ParagraphCount());
  int i = 0;
  for (PTParagraph p = a.FirstPar, q = b.FirstPar; p != nullptr; p = p->Next, q = q->Next, ++i) {
    ExpectSameParagraph(p, q, i);
    EXPECT_EQ(TabStops(a, p), TabStops(b, q)) << "paragraph " << i;
  }
}

// The document as SaveToFile writes it (an empty one with its RTF frame too).
inline std::string Saved(TRiRTFTextIo& e) {
  TStringStream s;
  e.SaveFormat = TRiLoadFormat::FormatRTF;
  e.SavingToFile = true;
  e.SaveToStream(s);
  e.SavingToFile = false;
  return s.DataString();
}

inline int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The edges of a table cell in twips from the left margin, as the layout places them on the
// document's page: the left edge of `p` and the right edge of every cell of its row from `p`
// to the row's end (only `p`'s two edges when `single`).
inline std::vector<int> CellEdges(const TRiRTFTextIo& e, PTParagraph p, bool single = false) {
  const TRiLayout& l = e.Header().Layout;
  const std::int64_t tw = l.PageWidth - l.LeftMargin - l.RightMargin;
  auto at = [&](PTParagraph c, int byte) {
    return static_cast<int>((tw - c->RightIndent - c->LeftIndent) * byte / 255 + c->LeftIndent);
  };
  std::vector<int> edges{at(p, p->CellStart)};
  for (PTParagraph c = p; c != nullptr && c->IsCell(); c = c->Next) {
    edges.push_back(at(c, c->CellStart + c->CellWidth));
    if (single || !(c->Flags & pfRowGoesOn)) break;
  }
  return edges;
}

// The row's left edge and its boundaries as a row definition gives them.
inline std::vector<int> RowEdgesOf(const std::string& definition) {
  std::vector<int> edges{0};
  const std::size_t left = definition.find("\\trleft");
  if (left != std::string::npos) edges[0] = std::stoi(definition.substr(left + 7));
  for (std::size_t at = definition.find("\\cellx"); at != std::string::npos; at = definition.find("\\cellx", at + 1))
    edges.push_back(std::stoi(definition.substr(at + 6)));
  return edges;
}

// Random documents of tables, lists, tab stops and indents, written the way word processors
// and this writer write them; what is read, saved once and read again is the same document.
class RandomRtf {
 public:
  explicit RandomRtf(std::uint32_t seed) : rng_(seed) {}
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Pick(1, 100) <= percent; }

  // The rows written, in order: each row's left edge and its boundaries.
  std::vector<std::vector<int>> Rows;

  std::string Document() {
    Rows.clear();
    colors_ = 0;
    std::string s = "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times;}}";
    if (Chance(60)) s += ColorTable();
    if (Chance(20)) s += "{\\info{\\title T" + std::to_string(Pick(1, 99)) + "}}";
    if (Chance(30)) s += "\\paperw" + std::to_string(Pick(6000, 16000));
    if (Chance(20)) s += "\\margl" + std::to_string(Pick(500, 2000)) + "\\margr" + std::to_string(Pick(500, 2000));
    const int blocks = Pick(1, 8);
    for (int b = 0; b < blocks; ++b) s += Chance(35) ? Table() : Paragraphs();
    // The last paragraph: text, or an empty one with a format of its own.
    if (Chance(25)) return s + "\\pard end\\par" + ParagraphWords() + "}";
    return s + "\\pard end}";
  }

 private:
  std::string Tabs() {
    std::string s;
    const int n = Pick(0, 3);
    for (int i = 0; i < n; ++i) {
      static const char* const kinds[] = {"", "\\tqr", "\\tqc", "\\tqdec"};
      s += kinds[Pick(0, 3)];
      s += "\\tx" + std::to_string(Pick(1, 40) * 150);
    }
    return s;
  }
  // A colour table of a few colours, some of them the document's standard ones.
  std::string ColorTable() {
    colors_ = Pick(3, 6);
    std::string s = "{\\colortbl;";
    for (int i = 1; i < colors_; ++i) {
      int r = Pick(0, 255), g = Pick(0, 255), b = Pick(0, 255);
      if (Chance(30)) {
        static const int standard[3][3] = {{255, 0, 0}, {0, 0, 255}, {0, 128, 0}};
        const int k = Pick(0, 2);
        r = standard[k][0], g = standard[k][1], b = standard[k][2];
      }
      s += "\\red" + std::to_string(r) + "\\green" + std::to_string(g) + "\\blue" + std::to_string(b) + ";";
    }
    return s + "}";
  }
  std::string Text() {
    static const char* const words[] = {"alpha", "beta\\tab gamma", "d\\'e9lta", "{\\b bold}", "{\\i it}", "x\\tab y"};
    std::string s = " ";
    const int n = Pick(0, 4);
    for (int i = 0; i < n; ++i) {
      if (colors_ > 0 && Chance(25)) {
        s += "{\\cf" + std::to_string(Pick(0, colors_ - 1));
        if (Chance(30)) s += "\\cb" + std::to_string(Pick(1, colors_ - 1));
        s += " hue} ";
        continue;
      }
      s += std::string(words[Pick(0, 5)]) + " ";
    }
    return s;
  }
  std::string ParagraphWords() {
    std::string s;
    if (Chance(60)) s += "\\pard";
    if (Chance(40)) s += "\\fi" + std::to_string(Pick(-400, 400)) + "\\li" + std::to_string(Pick(0, 3000));
    if (Chance(20)) s += "\\ri" + std::to_string(Pick(0, 1500));
    if (Chance(30)) s += Tabs();
    if (Chance(20)) s += Chance(50) ? "\\qc" : "\\qr";
    if (Chance(20)) s += "\\keep";
    if (Chance(15)) s += "\\sb" + std::to_string(Pick(0, 400));
    if (Chance(25)) s += "\\wplist" + std::to_string(Pick(1, 6) * 16 + Pick(0, 2));
    return s;
  }
  std::string Paragraphs() {
    std::string s;
    const int n = Pick(1, 4);
    for (int i = 0; i < n; ++i) {
      const bool grouped = Chance(20);
      if (grouped) s += "{";
      s += ParagraphWords() + Text() + "\\par ";
      if (grouped) s += "}";
    }
    return s;
  }
  std::string Table() {
    std::string s;
    const int rows = Pick(1, 3);
    const int cells = Pick(1, 5);
    const int left = Chance(40) ? Pick(0, 800) : 0;
    std::vector<int> bounds;
    int x = left;
    for (int c = 0; c < cells; ++c) bounds.push_back(x += Pick(300, 2500));
    for (int r = 0; r < rows; ++r) {
      Rows.push_back(bounds);
      Rows.back().insert(Rows.back().begin(), left);
      // Row definitions before or after "\pard", with or without the row's left edge.
      const bool pardFirst = Chance(50);
      if (pardFirst) s += "\\pard";
      s += "\\trowd\\trgaph" + std::to_string(Pick(0, 150));
      if (left != 0 || Chance(30)) s += "\\trleft" + std::to_string(left);
      for (int b : bounds) s += "\\cellx" + std::to_string(b);
      for (int c = 0; c < cells; ++c) {
        if (!pardFirst || c > 0 || Chance(50)) s += "\\pard";
        s += "\\intbl";
        if (Chance(30)) s += Tabs();
        if (Chance(20)) s += "\\qc";
        s += Text() + "\\cell ";
      }
      s += "\\row ";
    }
    return s;
  }
  std::mt19937 rng_;
  int colors_ = 0;  // entries of the colour table written (0: none)
};

// Checks that every row of the RTF text ends with "\row" after as many cells as its definition
// has boundaries; returns the number of rows.
inline int WholeRows(const std::string& rtf) {
  int boundaries = 0, cells = 0, rows = 0;
  for (std::size_t at = rtf.find('\\'); at != std::string::npos; at = rtf.find('\\', at + 1)) {
    std::size_t end = at + 1;
    while (end < rtf.size() && rtf[end] >= 'a' && rtf[end] <= 'z') ++end;
    const std::string w = rtf.substr(at + 1, end - at - 1);
    if (w.empty()) {
      ++at;  // an escaped character
    } else if (w == "trowd") {
      EXPECT_EQ(cells, 0) << "a row definition inside an unfinished row";
      boundaries = 0;
    } else if (w == "cellx") {
      ++boundaries;
    } else if (w == "cell") {
      ++cells;
    } else if (w == "row") {
      EXPECT_EQ(cells, boundaries) << "a row of " << cells << " cells defined with " << boundaries;
      cells = 0;
      ++rows;
    }
  }
  EXPECT_EQ(cells, 0) << "the last row has no \\row";
  return rows;
}

// The characters of a range with the colours they show, paragraph ends left out.
struct Shown {
  char Ch;
  TColor Text, Back;
  bool operator==(const Shown&) const = default;
};
inline std::vector<Shown> ShownChars(const TRiRTFTextIo& e, PTParagraph from = nullptr, int fromOffset = 0,
                                     PTParagraph to = nullptr, int toOffset = 0) {
  std::vector<Shown> out;
  if (from == nullptr) from = e.FirstPar;
  for (PTParagraph p = from; p != nullptr; p = p->Next) {
    const auto chars = Chars(p);
    const std::size_t begin = p == from ? static_cast<std::size_t>(fromOffset) : 0;
    const std::size_t end = p == to ? static_cast<std::size_t>(toOffset) : chars.size();
    for (std::size_t i = begin; i < end && i < chars.size(); ++i)
      out.push_back({chars[i].Ch, e.Header().Colors[static_cast<std::size_t>(chars[i].A.TextColor())],
                     e.Header().Colors[static_cast<std::size_t>(chars[i].A.BackColor())]});
    if (p == to) break;
  }
  return out;
}

}  // namespace tw::richtext::test
