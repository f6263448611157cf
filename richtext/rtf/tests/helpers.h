// Building and comparing documents in the RTF tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace tw::richtext::test
