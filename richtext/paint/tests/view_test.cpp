// Painting pixels, hit testing and the caret, scrolling, the selection and its deletion.
#include "richtext/paint/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using Painting = EngineTest;

TEST_F(Painting, AnEmptyDocumentShowsItsMarkAtTheCentre) {
  Build({""});
  e_->Redraw();
  TCanvas* c = bmp_.Canvas();
  const TColor back = ColorToRGB(clWindow);
  EXPECT_GT(CountColour(c, TRect{320, 240, 380, 260}, back), 0);
  EXPECT_LT(CountColour(c, TRect{320, 240, 380, 260}, back), 60 * 20);  // text drawn there
  EXPECT_EQ(CountColour(c, TRect{0, 0, 300, 230}, back), 300 * 230);    // nothing elsewhere
}

TEST_F(Painting, TextIsDrawnWhereTheLayoutMeasuredIt) {
  Build({"WWWW"});
  e_->Redraw();
  TCanvas* c = bmp_.Canvas();
  const TColor back = ColorToRGB(clWindow);
  PTLine l = LineOf(0, 0);
  const int right = e_->CharX(Par(0), l, 4);
  EXPECT_EQ(right, 1 + W("WWWW"));
  // Ink inside the measured box, none to its right.
  EXPECT_LT(CountColour(c, TRect{1, 0, right, l->Height}, back), (right - 1) * l->Height);
  EXPECT_EQ(CountColour(c, TRect{right + 1, 0, 640, 480}, back), (639 - right) * 480);
}

TEST_F(Painting, SelectedTextIsPaintedInTheHighlightColours) {
  SetTextWidth(W("word word ") + 4);
  Build({"word word word word word word"});
  ASSERT_EQ(Lines(0).size(), 3u);
  TCanvas* c = bmp_.Canvas();
  const TColor hl = ColorToRGB(clHighlight);
  // Part of one line: characters 2..5.
  e_->SetSelection(Par(0), LineOf(0, 0), false, 2);
  e_->SetSelection(Par(0), LineOf(0, 0), true, 5);
  e_->Redraw();
  PTLine l0 = LineOf(0, 0);
  const int x2 = e_->CharX(Par(0), l0, 2), x5 = e_->CharX(Par(0), l0, 5);
  EXPECT_GT(CountColour(c, TRect{x2, 0, x5, l0->Height}, hl), (x5 - x2) * l0->Height / 2);
  EXPECT_EQ(CountColour(c, TRect{0, 0, x2, 480}, hl), 0);
  EXPECT_EQ(CountColour(c, TRect{x5, 0, 640, 480}, hl), 0);
  EXPECT_EQ(l0->PaintState, psPartly);
  // Over three lines, extended backwards: the middle line is wholly selected.
  e_->SetSelection(Par(0), LineOf(0, 2), false, 3);
  e_->SetSelection(Par(0), LineOf(0, 0), true, 4);
  EXPECT_TRUE(e_->SelReversed);
  e_->Redraw();
  PTLine l1 = LineOf(0, 1);
  EXPECT_EQ(l1->PaintState, psSelected);
  const int mid = e_->CharX(Par(0), l1, 0), end1 = e_->CharX(Par(0), l1, l1->Length);
  EXPECT_GT(CountColour(c, TRect{mid, l1->Top, end1, l1->Top + l1->Height}, hl), (end1 - mid) * l1->Height / 2);
  PTLine l2 = LineOf(0, 2);
  const int x3 = e_->CharX(Par(0), l2, 3);
  EXPECT_EQ(CountColour(c, TRect{x3 + 1, l2->Top, 640, l2->Top + l2->Height}, hl), 0);
  int start = 0, length = 0;
  ASSERT_TRUE(e_->GetSelection(start, length));
  EXPECT_EQ(start, 4);
  EXPECT_EQ(length, l0->Length - 4 + l1->Length + 3);
  // Clearing repaints without highlight.
  e_->SetSelection(nullptr, nullptr, false, 0);
  e_->Redraw();
  EXPECT_EQ(CountColour(c, TRect{0, 0, 640, 480}, hl), 0);
}

TEST_F(Painting, ControlCharactersAreBlankAndUnderlinesSitBelowTheBaseLine) {
  Build({std::string("a\x03\x03\x03\x03" "b")});
  LineOf(0, 0)->Attrs[1].Width = 10;
  LineOf(0, 0)->Attrs[2].Width = 10;
  e_->Redraw();
  TCanvas* c = bmp_.Canvas();
  const TColor back = ColorToRGB(clWindow);
  const int x1 = e_->CharX(Par(0), LineOf(0, 0), 1), x3 = e_->CharX(Par(0), LineOf(0, 0), 3);
  EXPECT_EQ(CountColour(c, TRect{x1 + 1, 0, x3, LineOf(0, 0)->Height}, back), (x3 - x1 - 1) * LineOf(0, 0)->Height);
  // Underlined text: a line one pixel below the base line.
  Build({"under"});
  for (int i = 0; i < 5; ++i) LineOf(0, 0)->Attrs[static_cast<std::size_t>(i)].Style |= fsUnderline;
  e_->Redraw();
  const int base = LineOf(0, 0)->Ascent;
  const int ux = e_->CharX(Par(0), LineOf(0, 0), 2);
  EXPECT_NE(c->Pixel(ux, base + 1), back);
}

TEST_F(Painting, HardPageBreaksAreMarkedWithADashedLineByDefault) {
  Build({"one", "two"});
  Par(1)->Flags |= pfPageBreak;
  e_->ReformatAll();
  e_->Redraw();
  TCanvas* c = bmp_.Canvas();
  const int y = LineOf(1, 0)->Top;
  const int black = CountColour(c, TRect{0, y, 640, y + 1}, clBlack);
  EXPECT_GT(black, 100);
  EXPECT_LT(black, 640);  // dashed, not solid
  e_->SetLayoutOptions(e_->LayoutOptions() | loHidePageBreaks);
  e_->Redraw();
  EXPECT_LT(CountColour(c, TRect{200, y, 640, y + 1}, clBlack), 5);
}

using HitTesting = EngineTest;

TEST_F(HitTesting, CharacterAtTheXOfEveryCharacterRoundTrips) {
  SetTextWidth(W("The quick brown ") + 3);
  Build({"The quick brown fox jumps over the lazy dog", "a\tb c"});
  for (int p = 0; p < 2; ++p)
    for (PTLine l = Par(p)->FirstLine; l != nullptr; l = l->Next)
      for (int i = 0; i <= l->Length; ++i) EXPECT_EQ(e_->CharAtX(Par(p), l, e_->CharX(Par(p), l, i)), i);
  // Left of the text is offset 0; far right is the line end.
  EXPECT_EQ(e_->CharAtX(Par(0), LineOf(0, 0), -50), 0);
  EXPECT_EQ(e_->CharAtX(Par(0), LineOf(0, 0), 5000), LineOf(0, 0)->Length);
}

TEST_F(HitTesting, MouseClicksPlaceTheCursorAndDragsExtendTheSelection) {
  Build({"alpha beta", "gamma delta"});
  PTLine l1 = LineOf(1, 0);
  const int x = e_->CharX(Par(1), l1, 3);
  e_->MouseToCursor(x + 1, l1->Top + 2, false, false);
  EXPECT_EQ(e_->CursorPar, Par(1));
  EXPECT_EQ(e_->CursorOffset, 3);
  EXPECT_EQ(e_->CaretX(), x);
  EXPECT_EQ(e_->CaretY() + e_->CaretHeight(), l1->Top + l1->Ascent);
  // Dragging to the first line selects backwards.
  e_->MouseToCursor(e_->CharX(Par(0), LineOf(0, 0), 2), 2, false, true);
  EXPECT_TRUE(e_->HasSelection());
  EXPECT_TRUE(e_->Extending());
  int start = 0, length = 0;
  e_->GetSelection(start, length);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(length, 8 + 1 + 3);
  // A click below the last line leaves the cursor where it was.
  e_->MouseToCursor(10, 400, false, false);
  EXPECT_EQ(e_->CursorPar, Par(0));
  EXPECT_EQ(e_->CursorOffset, 2);
}

TEST_F(HitTesting, TheCaretIsAsWideAsTheCharacterInOverwriteMode) {
  Build({"Wide"});
  e_->CursorPar = Par(0);
  e_->CursorLine = LineOf(0, 0);
  e_->CursorOffset = 0;
  e_->UpdateCaret();
  EXPECT_EQ(e_->CaretWidth(), 1);
  e_->InsertMode = false;
  e_->UpdateCaret();
  EXPECT_EQ(e_->CaretWidth(), W("W"));
}

TEST_F(HitTesting, PositionCallbacksFireOnlyOnRealChanges) {
  Build({"one two three"});
  int xs = 0, ys = 0;
  e_->Host.CaretXChanged = [&] { ++xs; };
  e_->Host.CaretYChanged = [&] { ++ys; };
  e_->CursorPar = Par(0);
  e_->CursorLine = LineOf(0, 0);
  e_->CursorOffset = 1;
  e_->ScrollToCursor();
  e_->ScrollToCursor();
  EXPECT_EQ(xs, 1);
  EXPECT_EQ(ys, 1);
  e_->CursorOffset = 2;
  e_->ScrollToCursor();
  EXPECT_EQ(xs, 2);
  EXPECT_EQ(ys, 1);
}

using Scrolling = EngineTest;

TEST_F(Scrolling, APageDownAtTheEndLeavesTheLastLineTwoThirdsDown) {
  Build(std::vector<std::string>(60, "line"));
  const int h = LineOf(0, 0)->Height;
  e_->SetWindowHeight(10 * h);
  e_->VertScroll(7, 0);
  PTLine last = LineOf(59, 0);
  EXPECT_EQ(e_->VertOffset(), last->Top - 2 * ((10 * h) / 3));
  // A jump larger than the window lands on a line top.
  e_->VertScroll(6, 0);
  EXPECT_EQ(e_->VertOffset(), 0);
  e_->ScrollDown(10 * h + 3);
  EXPECT_EQ(e_->VertOffset() % h, 0);
  // Up never passes the top.
  e_->ScrollUp(100000);
  EXPECT_EQ(e_->VertOffset(), 0);
}

TEST_F(Scrolling, HorizontalScrollingStopsAtTheTextEdges) {
  SetTextWidth(1000);
  Build({"wide"});
  e_->SetWindowWidth(400);
  e_->HorzScroll(7, 0);
  EXPECT_EQ(e_->HorzOffset(), -600);
  e_->ScrollRight(50);
  EXPECT_EQ(e_->HorzOffset(), -600);
  e_->HorzScroll(0, 0);
  EXPECT_EQ(e_->HorzOffset(), -584);
  e_->ScrollLeft(5000);
  EXPECT_EQ(e_->HorzOffset(), 0);
}

TEST_F(Scrolling, SmallScrollsMoveTheContentsAndPaintOnlyTheUncoveredStrip) {
  Build(std::vector<std::string>(60, "line"));
  std::vector<std::pair<int, int>> moves;
  e_->Host.ScrollWindow = [&](int dx, int dy, TRect& r) {
    moves.emplace_back(dx, dy);
    r = dy < 0 ? TRect{0, 480 + dy, 640, 480} : TRect{0, 0, 640, dy};
    return true;
  };
  e_->VertScroll(1, 0);
  e_->VertScroll(0, 0);
  EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{0, -16}, {0, 16}}));
  // A jump of a whole window paints everything instead.
  e_->VertScroll(3, 0);
  EXPECT_EQ(moves.size(), 2u);
  EXPECT_EQ(e_->VertOffset(), 480);
}

using SelectionEditing = EngineTest;

TEST_F(SelectionEditing, DeletingInsideOneLineRemovesOnlyTheSelectedCharacters) {
  Build({"abcdefgh"});
  e_->SetSelection(Par(0), LineOf(0, 0), false, 2);
  e_->SetSelection(Par(0), LineOf(0, 0), true, 5);
  ASSERT_TRUE(e_->DeleteSelection());
  EXPECT_EQ(e_->ParagraphText(0), "abfgh");
  EXPECT_FALSE(e_->HasSelection());
  EXPECT_EQ(e_->CursorOffset, 2);
}

TEST_F(SelectionEditing, DeletingOverThreeParagraphsMergesTheFirstAndTheLast) {
  SetTextWidth(W("one two ") + 3);
  Build({"one two three", "middle", "four five six", "after"});
  int changed = 0;
  e_->Host.Changed = [&] { ++changed; };
  PTLine last = TRiRTFText::Get_LastLine(Par(2));
  const std::string lastText = last->Str();
  e_->SetSelection(Par(2), last, false, 1);  // reversed: from the end backwards
  e_->SetSelection(Par(0), LineOf(0, 0), true, 4);
  ASSERT_TRUE(e_->DeleteSelection());
  EXPECT_EQ(e_->ParagraphCount(), 2);
  EXPECT_EQ(e_->ParagraphText(0), "one " + lastText.substr(1));
  EXPECT_EQ(e_->ParagraphText(1), "after");
  EXPECT_EQ(changed, 1);
  // The merged paragraph is laid out again: no line overflows.
  for (PTLine l = Par(0)->FirstLine; l != nullptr; l = l->Next) EXPECT_LE(e_->LineWidth(l), e_->TextWidth());
}

TEST_F(SelectionEditing, ProtectedTextIsNotDeleted) {
  Build({"free PROTECTED free"});
  for (int i = 5; i < 14; ++i) LineOf(0, 0)->Attrs[static_cast<std::size_t>(i)].Extra |= fxProtected;
  e_->SetSelection(Par(0), LineOf(0, 0), false, 7);
  e_->SetSelection(Par(0), LineOf(0, 0), true, 10);
  EXPECT_FALSE(e_->DeleteSelection());
  EXPECT_EQ(e_->ParagraphText(0), "free PROTECTED free");
  EXPECT_EQ(e_->CursorOffset, 7);
  EXPECT_TRUE(e_->HasSelection());
}

TEST_F(SelectionEditing, CharacterAttributesApplyToTheSelectionAndRemeasure) {
  Build({"plain bold plain"});
  e_->SetSelection(Par(0), LineOf(0, 0), false, 6);
  e_->SetSelection(Par(0), LineOf(0, 0), true, 10);
  const int before = e_->LineWidth(LineOf(0, 0));
  TAttr bold;
  bold.Style = fsBold;
  e_->SetAttr(bold, amAddStyle);
  PTLine l = LineOf(0, 0);
  EXPECT_TRUE(l->Attrs[6].Style & fsBold);
  EXPECT_FALSE(l->Attrs[5].Style & fsBold);
  EXPECT_FALSE(l->Attrs[10].Style & fsBold);
  EXPECT_GT(e_->LineWidth(l), before);
  // Subscript added to superscript text keeps superscript; replacing the style bits gives subscript.
  TAttr sup;
  sup.Style = fsSuper;
  e_->SetAttr(sup, amAddStyle);
  TAttr sub;
  sub.Style = fsSub;
  e_->SetAttr(sub, amAddStyle);
  EXPECT_TRUE(LineOf(0, 0)->Attrs[7].Style & fsSuper);
  e_->SetAttr(sub, amReplaceStyleByte);
  EXPECT_EQ(LineOf(0, 0)->Attrs[7].Style & (fsSuper | fsSub | fsBold), fsSub);
}

}  // namespace
}  // namespace tw::richtext::testing

namespace tw::richtext::testing {
namespace {

using SpellMarks = EngineTest;

TEST_F(SpellMarks, MisspelledWordsGetARedWavyMarkAndEachWordIsAskedOnce) {
  std::vector<std::string> asked;
  e_->OnSpellCheckWord = [&](const std::string& word, int& result, std::uint8_t*) {
    asked.push_back(word);
    result = word == "Wrongg" ? 2 : 0;
  };
  Build({"Right Wrongg Right"});
  EXPECT_EQ(asked, (std::vector<std::string>{"Right", "Wrongg", "Right"}));
  PTLine l = LineOf(0, 0);
  EXPECT_TRUE(l->Attrs[6].Attr10 & smMisspelled);
  EXPECT_FALSE(l->Attrs[0].Attr10 & smMisspelled);
  e_->ReformatAll();
  EXPECT_EQ(asked.size(), 3u);  // examined words are not asked again
  l = LineOf(0, 0);
  e_->Redraw();
  TCanvas* c = bmp_.Canvas();
  const int x0 = e_->CharX(Par(0), l, 6), x1 = e_->CharX(Par(0), l, 12);
  int red = 0, redElsewhere = 0;
  for (int y = l->Ascent; y <= l->Ascent + 2; ++y) {
    for (int x = x0; x < x1; ++x) red += c->Pixel(x, y) == TColor(255);
    for (int x = 0; x < x0 - 2; ++x) redElsewhere += c->Pixel(x, y) == TColor(255);
  }
  EXPECT_GT(red, (x1 - x0) / 2);
  EXPECT_EQ(redElsewhere, 0);
}

TEST_F(SpellMarks, OnePageModeStopsAtThePageStartAfterFourLines) {
  e_->SetPageSize(1440, 1440, 1440, 1440, 12240, 1440 * 3);
  Build(std::vector<std::string>(20, "line"));
  const int h = LineOf(0, 0)->Height;
  e_->SetWindowHeight(20 * h);
  e_->SetLayoutOptions(e_->LayoutOptions() | loOnePage);
  e_->Redraw();
  int firstStart = 0;
  while (!(LineOf(firstStart, 0)->Flags & lfPageStart)) ++firstStart;
  EXPECT_EQ(e_->LastPaintedBottom(), LineOf(firstStart, 0)->Top);
}

}  // namespace
}  // namespace tw::richtext::testing

namespace tw::richtext::testing {
namespace {

using Background = EngineTest;

TEST_F(Background, TheImageIsTiledBehindTheTextUnlessPlainOutput) {
  TBitmap tile;
  tile.SetSize(7, 5);
  tile.Canvas()->Brush()->SetColor(clRed);
  tile.Canvas()->FillRect(TRect{0, 0, 7, 5});
  Build({"text"});
  e_->BackgroundImage = &tile;
  e_->Redraw();
  TCanvas* c = bmp_.Canvas();
  EXPECT_EQ(c->Pixel(300, 200), ColorToRGB(clRed));
  EXPECT_EQ(c->Pixel(639, 479), ColorToRGB(clRed));
  e_->SetLayoutOptions(e_->LayoutOptions() | loPlainOutput);
  e_->Redraw();
  EXPECT_EQ(c->Pixel(300, 200), ColorToRGB(clWindow));
  e_->BackgroundImage = nullptr;
}

}  // namespace
}  // namespace tw::richtext::testing
