// Line breaking, indents and alignment, fonts and resolution, pagination.
#include <numeric>

#include "richtext/paint/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using LineBreaking = EngineTest;

TEST_F(LineBreaking, BreaksAfterTheLastSpaceThatFitsAndKeepsTheSpaceOnTheLine) {
  // The first line's text starts one pixel in; "cc" reaches the edge exactly, so it goes on.
  SetTextWidth(W("aaa bbb cc") + 1);
  Build({"aaa bbb ccc ddd"});
  EXPECT_EQ(Lines(0), (std::vector<std::string>{"aaa bbb ", "ccc ddd"}));
  // One pixel more and the "c" still does not fit whole words: the same break.
  SetTextWidth(W("aaa bbb ccc") + 2);
  EXPECT_EQ(Lines(0), (std::vector<std::string>{"aaa bbb ccc ", "ddd"}));
  // The space the line breaks after does not count in its width.
  EXPECT_EQ(e_->LineWidth(LineOf(0, 0)), W("aaa bbb ccc"));
}

TEST_F(LineBreaking, CutsWordsLongerThanTheLineAndEveryLineHoldsACharacter) {
  SetTextWidth(W("abcde") + 1);
  Build({"abcdefghijklmnopqrstuvwxyz"});
  const auto lines = Lines(0);
  ASSERT_GT(lines.size(), 4u);
  std::string joined;
  for (const auto& l : lines) {
    EXPECT_FALSE(l.empty());
    EXPECT_LT(W(l), W("abcde") + 1);
    joined += l;
  }
  EXPECT_EQ(joined, "abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(lines[0], "abcd");  // "e" would reach the edge
  // A width of nothing still ends: at least one character a line.
  SetTextWidth(0);
  for (const auto& l : Lines(0)) {
    EXPECT_FALSE(l.empty());
    EXPECT_LT(W(l.substr(0, l.size() - 1)), 16);
  }
}

TEST_F(LineBreaking, ASpaceAtTheStartDoesNotCountAsABreakCandidate) {
  SetTextWidth(W("a bbbb") + 1);
  Build({"a bbbbbbbb"});
  // The only space is the line's second character: the word is cut where it overflows.
  EXPECT_EQ(Lines(0)[0], "a bbb");
  SetTextWidth(W("aa bbbb") + 1);
  Build({"aa bbbbbbbb"});
  EXPECT_EQ(Lines(0)[0], "aa ");
}

TEST_F(LineBreaking, SpacesThatOverflowStayOnTheLine) {
  SetTextWidth(W("aaa bbb") + 2);
  Build({"aaa bbb ccc"});
  EXPECT_EQ(Lines(0), (std::vector<std::string>{"aaa bbb ", "ccc"}));
}

TEST_F(LineBreaking, ALineFeedEndsTheLineAfterItself) {
  Build({std::string("one\ntwo\nthree")});
  EXPECT_EQ(Lines(0), (std::vector<std::string>{"one\n", "two\n", "three"}));
  Build({std::string("end\n")});
  EXPECT_EQ(Lines(0), (std::vector<std::string>{"end\n", ""}));
}

TEST_F(LineBreaking, HiddenTextTakesNoRoomUnlessShown) {
  SetTextWidth(W("aaa bbb") + 2);
  Build({"aaa XXXXXXXXXXXXbbb ccc"});
  PTLine l = LineOf(0, 0);
  // Hide the X run through the attribute command.
  e_->SetSelection(Par(0), l, false, 4);
  e_->SetSelection(Par(0), LineOf(0, l->Next ? 1 : 0), true, 0);
  for (PTLine line = Par(0)->FirstLine; line != nullptr; line = line->Next)
    for (int i = 0; i < line->Length; ++i)
      if (line->Ch(i) == 'X') line->Attrs[static_cast<std::size_t>(i)].Extra |= fxHidden;
  e_->ClearSelection();
  e_->ReformatAll();
  EXPECT_EQ(Lines(0)[0], "aaa XXXXXXXXXXXXbbb ");
  e_->SetLayoutOptions(e_->LayoutOptions() | loShowHidden);
  EXPECT_EQ(Lines(0)[0], "aaa ");
}

TEST_F(LineBreaking, LongParagraphsAreLaidOutEvenWhenTheirTextTakesNoRoom) {
  std::string text;
  while (text.size() < 30000) text += "words and more words ";
  TAttr hidden = e_->CurAttr;
  hidden.Extra |= fxHidden;
  e_->Clear();
  e_->AddParagraph(0, text, nullptr);
  e_->AddParagraph(1, std::string(25000, 'h'), &hidden);
  e_->ReformatAll();
  EXPECT_EQ(e_->ParagraphText(0), text);
  EXPECT_EQ(e_->ParagraphText(1), std::string(25000, 'h'));
  EXPECT_GT(Lines(0).size(), 100u);
  for (PTLine l = Par(1)->FirstLine; l != nullptr; l = l->Next) EXPECT_LT(l->Length, MaxLineCapacity);
  e_->ReplaceParagraphText(0, std::string(20000, 'w'), nullptr);
  EXPECT_EQ(e_->ParagraphText(0), std::string(20000, 'w'));
}

TEST_F(LineBreaking, EmptyLinesTakeTheMetricsOfTheLastFont) {
  Build({"text", ""});
  EXPECT_EQ(LineOf(1, 0)->Height, LineOf(0, 0)->Height);
  EXPECT_GT(LineOf(1, 0)->Height, 0);
  EXPECT_EQ(LineOf(1, 0)->Top, LineOf(0, 0)->Height);
}

TEST_F(LineBreaking, TheCursorAtTheEndOfANonLastLineMovesToTheNextLine) {
  Build({"aaa bbb ccc ddd"});
  e_->CursorPar = Par(0);
  e_->CursorLine = LineOf(0, 0);
  e_->CursorOffset = 8;  // after "aaa bbb "
  SetTextWidth(W("aaa bbb cc") + 1);
  EXPECT_EQ(e_->CursorLine, LineOf(0, 1));
  EXPECT_EQ(e_->CursorOffset, 0);
}

TEST_F(LineBreaking, FormatParagraphReportsHowFarAChangeReaches) {
  Build({"aaa bbb ccc ddd"});
  int change = -1;
  e_->FormatParagraph(Par(0), true, change);
  EXPECT_EQ(change, 0);
  // The break moves, the number and height of the lines stay: contents changed.
  e_->Header().SetTextWidthPixels(W("aaa bbb cc") + 1);
  e_->FormatParagraph(Par(0), true, change);
  e_->Header().SetTextWidthPixels(W("aaa bbb ccc") + 2);
  e_->FormatParagraph(Par(0), true, change);
  EXPECT_EQ(change, 1);
  EXPECT_TRUE(LineOf(0, 0)->Flags & lfChanged);
  // One line instead of two: the paragraph's height changed.
  e_->Header().SetTextWidthPixels(2000);
  e_->FormatParagraph(Par(0), true, change);
  EXPECT_EQ(change, 3);
}

using IndentsAndAlignment = EngineTest;

TEST_F(IndentsAndAlignment, IndentsShiftTheFirstAndTheFollowingLines) {
  SetTextWidth(300);
  Build({"one two three four five six seven eight nine ten eleven twelve thirteen fourteen"});
  e_->SetIndents(false, 720, 1440, 1440);  // half an inch, an inch, an inch
  ASSERT_GT(Lines(0).size(), 2u);
  EXPECT_EQ(e_->CharX(Par(0), LineOf(0, 0), 0), 48 + 1);
  EXPECT_EQ(e_->CharX(Par(0), LineOf(0, 1), 0), 96 + 1);
  for (PTLine l = Par(0)->FirstLine; l != nullptr; l = l->Next)
    EXPECT_LE(e_->CharX(Par(0), l, 0) + e_->LineWidth(l), 300 - 96);
  // -1000 keeps every value.
  e_->SetIndents(false, riKeep, riKeep, riKeep);
  EXPECT_EQ(Par(0)->FirstIndent, 720);
  EXPECT_EQ(Par(0)->LeftIndent, 1440);
  EXPECT_EQ(Par(0)->RightIndent, 1440);
}

TEST_F(IndentsAndAlignment, RightAndCentredLinesEndAtTheEdgeOrInTheMiddle) {
  SetTextWidth(400);
  Build({"right", "centred"});
  e_->CursorPar = Par(0);
  e_->CursorLine = LineOf(0, 0);
  e_->SetAlignment(1);
  EXPECT_EQ(e_->CharX(Par(0), LineOf(0, 0), 5), 400);
  e_->CursorPar = Par(1);
  e_->CursorLine = LineOf(1, 0);
  e_->SetAlignment(2);
  const int free = 400 - W("centred") - 1;
  EXPECT_EQ(e_->CharX(Par(1), LineOf(1, 0), 0), 1 + free / 2);
}

TEST_F(IndentsAndAlignment, JustifiedLinesEndSixPixelsShortExceptTheLast) {
  SetTextWidth(W("aa bb cc dd ee ff gg") + 10);
  Build({"aa bb cc dd ee ff gg hh ii jj kk ll mm nn oo pp qq rr ss tt uu"});
  e_->CursorPar = Par(0);
  e_->CursorLine = LineOf(0, 0);
  e_->SetAlignment(3);
  const int right = e_->TextWidth();
  int lines = 0;
  for (PTLine l = Par(0)->FirstLine; l != nullptr; l = l->Next, ++lines) {
    std::string s = l->Str();
    const int lastVisible = static_cast<int>(s.find_last_not_of(' ')) + 1;
    const int edge = e_->CharX(Par(0), l, lastVisible);
    if (l->Next != nullptr)
      EXPECT_EQ(edge, right - 6) << s;
    else
      EXPECT_EQ(edge, 1 + W(s.substr(0, static_cast<std::size_t>(lastVisible)))) << s;
  }
  EXPECT_GT(lines, 2);
  // With justify-last-line the last line is stretched too.
  Par(0)->Flags |= pfJustifyLast;
  e_->ReformatAll();
  PTLine last = TRiRTFText::Get_LastLine(Par(0));
  std::string s = last->Str();
  EXPECT_EQ(e_->CharX(Par(0), last, static_cast<int>(s.size())), right - 6);
}

TEST_F(IndentsAndAlignment, TabsAdvanceToTabStopsOrTheDefaultGrid) {
  Build({"a\tb"});
  const int unit = e_->Header().Layout.RulerUnit;
  ASSERT_GT(unit, 0);
  const int bx = e_->CharX(Par(0), LineOf(0, 0), 2);
  EXPECT_EQ(bx % unit, 0);
  EXPECT_GT(bx, 1 + W("a"));
  // A left tab stop at 2 inches.
  const TTabSet set = e_->Header().AddTab(2880, TTabKind::tkLeft);
  e_->SetTabs(set, false);
  e_->ReformatAll();
  EXPECT_EQ(e_->CharX(Par(0), LineOf(0, 0), 2), 192);
  // A right tab ends the following text at the stop.
  e_->Header().ClearTabs();
  const TTabSet right = e_->Header().AddTab(2880, TTabKind::tkRight);
  Par(0)->Tabs = right;
  e_->ReformatAll();
  EXPECT_EQ(e_->CharX(Par(0), LineOf(0, 0), 3), 192);
}

using FontsAndResolution = EngineTest;

TEST_F(FontsAndResolution, ZoomScalesTheResolutionUnlessKept) {
  SetTextWidth(300);
  Build({"zoom"});
  const int w100 = e_->LineWidth(LineOf(0, 0));
  e_->SetZoom(200);
  EXPECT_EQ(e_->Header().ResolutionX, 192);
  EXPECT_EQ(e_->Header().ResolutionY, 192);
  EXPECT_EQ(e_->TextWidth(), 600);
  EXPECT_NEAR(e_->LineWidth(LineOf(0, 0)), 2 * w100, 2);
  e_->SetZoom(0);  // ignored
  EXPECT_EQ(e_->Zoom(), 200);
  e_->SetLayoutOptions(e_->LayoutOptions() | loZoomKeepsResolution);
  e_->SetZoom(150);
  EXPECT_EQ(e_->Header().ResolutionX, 96);  // the canvas's own resolution
  EXPECT_EQ(e_->Zoom(), 150);
}

TEST_F(FontsAndResolution, ResizingAndSuperscriptChangeTheMeasuredSize) {
  TAttr a = e_->CurAttr;
  a.Size = 10;
  e_->SelectAttr(&a);
  EXPECT_EQ(bmp_.Canvas()->Font()->Size(), 10);
  a.Style = fsSuper;
  e_->SelectAttr(&a);
  EXPECT_EQ(bmp_.Canvas()->Font()->Size(), 7);
  a.Style = 0;
  e_->SetResizing(150);
  e_->SelectAttr(&a);
  EXPECT_EQ(bmp_.Canvas()->Font()->Size(), 15);
  a.Font = 120;
  EXPECT_THROW(e_->SelectAttr(&a), Exception);
}

TEST_F(FontsAndResolution, ColoursAndPageSize) {
  EXPECT_EQ(e_->GetColor(15), 0);
  EXPECT_EQ(e_->GetColor(-1), 0);
  EXPECT_EQ(e_->GetColor(1), e_->Header().Colors[1]);
  e_->SetPageSize(1440, 1440, 1440, 1440, 12240, 15840);
  EXPECT_EQ(e_->Header().Layout.PrintableWidth, 9360 / 15);
  EXPECT_EQ(e_->Header().Layout.PrintableHeight, 12960 / 15);
  e_->SetPageSize(riKeep, riKeep, riKeep, riKeep, riKeep, riKeep);
  EXPECT_EQ(e_->Header().Layout.LeftMargin, 1440);
  EXPECT_EQ(e_->TextWidth(), 624);
}

TEST_F(FontsAndResolution, WordWrapFollowsTheWindow) {
  Build({"wrap"});
  e_->SetWordWrap(true);
  EXPECT_EQ(e_->TextWidth(), 640);
  e_->SetWindowWidth(300);
  EXPECT_EQ(e_->TextWidth(), 300);
  e_->SetWordWrap(false);
  EXPECT_EQ(e_->TextWidth(), e_->Header().Layout.PrintableWidth);
}

TEST_F(FontsAndResolution, ALayoutAskedForDuringAnUpdateLockRunsWhenItEnds) {
  Build({"lock"});
  const int before = e_->LineWidth(LineOf(0, 0));
  e_->UpdateLocked = true;
  e_->SetZoom(200);
  EXPECT_TRUE(e_->UpdatePending);
  EXPECT_EQ(e_->LineWidth(LineOf(0, 0)), before);
  e_->EndUpdate();
  EXPECT_FALSE(e_->UpdatePending);
  EXPECT_NEAR(e_->LineWidth(LineOf(0, 0)), 2 * before, 2);
}

using Pagination = EngineTest;

TEST_F(Pagination, PagesStartWhenTheBodyIsFull) {
  // A body of 1 inch at 96 pixels per inch holds 96 / line height lines.
  e_->SetPageSize(1440, 1440, 1440, 1440, 12240, 1440 * 3);
  Build(std::vector<std::string>(20, "line"));
  const int h = LineOf(0, 0)->Height;
  ASSERT_GT(h, 0);
  int starts = 0, pageTop = 0;
  for (int i = 0; i < 20; ++i) {
    const bool expected = i * h > pageTop && (i + 1) * h - pageTop > 96;  // the line's bottom decides
    if (expected) pageTop = i * h;
    EXPECT_EQ((LineOf(i, 0)->Flags & lfPageStart) != 0, expected) << i;
    starts += expected;
  }
  EXPECT_GE(starts, 2);
  EXPECT_EQ(e_->DocumentHeight, 20 * h);
}

}  // namespace
}  // namespace tw::richtext::testing
