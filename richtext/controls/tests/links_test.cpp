// The read-only view with links: text added in runs with attribute records, one-click and
// double-click links, the link text and the hidden stamp after it.
#include "platform/classes/typinfo.h"
#include "richtext/controls/pageprop.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

class Links : public RichTextTest {
 protected:
  void SetUp() override {
    RichTextTest::SetUp();
    rt->SetVisible(false);
    rt->Clear();
    rt->HyperLinkCursor = crHelp;
    rt->OneClickHyperlink = true;
    rt->NoBlockMarking = true;
    rt->SetCaretDisabled(true);
    rt->SetWordWrap(true);
    rt->HyperLinkEvent = [this](TObject*, const std::string& text, const std::string& stamp, int line) {
      clicks.push_back(text + "|" + stamp + "|" + std::to_string(line));
    };
    rt->GetCurrentAttr(text);
    link = text;
    link.Style |= fsLink;
    hidden = text;
    hidden.Extra |= fxHidden;
  }
  void Add(const TAttr& a, const std::string& s) {
    rt->SetCurrentAttr(a);
    rt->InputString(s);
  }
  void Finish() {
    rt->Reformat();
    rt->SetCursorPosition(1, 1, 0, 0);
    rt->SetReadOnly(true);
    rt->SetVisible(true);
    Pump();
  }
  void Click(const TPoint& p) {
    InjectClick(rt->Handle(), p.X, p.Y);
    Pump();
  }
  TAttr text, link, hidden;
  std::vector<std::string> clicks;
};

TEST_F(Links, RunsWithAttributeRecordsBuildTheListWithoutRepaintingEachTime) {
  Add(text, "Transits of the day\r");
  Add(link, "Sun");
  Add(hidden, "20001");
  Add(text, " square ");
  Add(link, "Moon");
  Add(hidden, "22004");
  Add(text, "\rClosing words.");
  Finish();
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Transits of the day", "Sun20001 square Moon22004", "Closing words."}));
  PTLine l = E().ParagraphByIndex(1)->FirstLine;
  EXPECT_TRUE(l->Attrs[0].Style & fsLink);
  EXPECT_TRUE(l->Attrs[3].Extra & fxHidden);
  EXPECT_FALSE(l->Attrs[8].Extra & fxHidden);
  EXPECT_TRUE(rt->ReadOnly());
}

TEST_F(Links, AClickOnALinkFiresTheEventWithItsTextAndHiddenStamp) {
  Add(text, "Heading\r");
  Add(link, "Mars");
  Add(hidden, "21004");
  Add(text, " trine ");
  Add(link, "Venus");
  Add(hidden, "20003");
  Finish();
  Click(PointOf(1, 0, 1));
  // The hidden stamp is no link text; the second link needs a click of its own.
  const int venus = static_cast<int>(std::string("Mars21004 trine ").size()) + 2;
  Click(PointOf(1, 0, venus));
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0], "Mars|21004|1");
  EXPECT_EQ(clicks[1], "Venus|20003|1");
  // A click on plain text fires nothing and the read-only text stays as it was.
  Click(PointOf(1, 0, 12));
  EXPECT_EQ(clicks.size(), 2u);
  EXPECT_EQ(E().ParagraphText(1), "Mars21004 trine Venus20003");
}

TEST_F(Links, WithoutOneClickOnlyADoubleClickFollowsTheLink) {
  rt->OneClickHyperlink = false;
  Add(link, "Jupiter");
  Add(hidden, "20005");
  Finish();
  Click(PointOf(0, 0, 2));
  EXPECT_TRUE(clicks.empty());
  const TPoint p = PointOf(0, 0, 2);
  InjectDoubleClick(rt->Handle(), p.X, p.Y);
  Pump();
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], "Jupiter|20005|0");
}

TEST_F(Links, ADoubleClickOffLinksSelectsTheProtectedRunOrTheWord) {
  rt->OneClickHyperlink = false;
  rt->NoBlockMarking = false;
  Add(text, "say fixedword here");
  Finish();
  for (int i = 4; i < 9; ++i) E().FirstPar->FirstLine->Attrs[static_cast<std::size_t>(i)].Extra |= fxProtected;
  auto dbl = [&](int index) {
    const TPoint p = PointOf(0, 0, index);
    InjectDoubleClick(rt->Handle(), p.X, p.Y);
    Pump();
    return rt->SelectedText();
  };
  // The protected run ends where the protection ends, not at the next blank.
  EXPECT_EQ(dbl(6), "fixed");
  // A word is bounded by blanks only, so it takes the protected letters next to it.
  EXPECT_EQ(dbl(10), "fixedword");
  EXPECT_EQ(dbl(15), "here");
  EXPECT_EQ(dbl(1), "say");
  EXPECT_TRUE(clicks.empty());
}

TEST_F(Links, ARightPressOffersTheWordAndAChangedWordReplacesItWhenEditable) {
  TAttr bold = text;
  bold.Style |= fsBold;
  Add(text, "see ");
  Add(bold, "teh");
  Add(text, " end");
  Finish();
  std::vector<std::string> offered;
  rt->OnMouseDownRight = [&](TObject*, std::string& word, int position, int length, const TAttr& attr) {
    offered.push_back(word + "@" + std::to_string(position) + "+" + std::to_string(length) +
                      ((attr.Style & fsBold) ? "b" : ""));
    if (word == "teh") word = "the";
  };
  const TPoint p = PointOf(0, 0, 5);
  InjectClick(rt->Handle(), p.X, p.Y, MouseButton::Right);
  Pump();
  // The read-only view offers the word but keeps its text.
  EXPECT_EQ(offered, (std::vector<std::string>{"teh@4+3b"}));
  EXPECT_EQ(E().ParagraphText(0), "see teh end");
  rt->SetReadOnly(false);
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  InjectClick(rt->Handle(), p.X, p.Y, MouseButton::Right);
  Pump();
  EXPECT_EQ(E().ParagraphText(0), "see the end");
  EXPECT_TRUE(E().FirstPar->FirstLine->Attrs[5].Style & fsBold);
  EXPECT_EQ(changes, 1);
  // Between words nothing is offered.
  const TPoint blank = PointOf(0, 0, 3);
  InjectClick(rt->Handle(), blank.X, blank.Y, MouseButton::Right);
  Pump();
  EXPECT_EQ(offered.size(), 2u);
}

TEST_F(Links, ALinkSplitOverTwoLinesGivesItsWholeTextAndTheStampStopsAt254) {
  rt->SetWordWrap(true);
  std::string words;
  for (int i = 0; i < 30; ++i) words += "link ";
  words += "end";
  Add(link, words);
  Add(hidden, std::string(300, '7'));
  Add(text, " tail");
  Finish();
  ASSERT_NE(E().FirstPar->FirstLine->Next, nullptr);
  Click(PointOf(0, 1, 1));
  ASSERT_EQ(clicks.size(), 1u);
  const std::string expected = words + "|" + std::string(254, '7') + "|0";
  EXPECT_EQ(clicks[0], expected);
}

TEST_F(Links, TheStampEndsAtTheFirstVisibleCharacter) {
  Add(link, "Saturn");
  Add(hidden, "42");
  Add(text, "9 more");
  Finish();
  Click(PointOf(0, 0, 0));
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], "Saturn|42|0");
}

TEST_F(Links, TheLinkCursorShowsOverLinksOnly) {
  Add(link, "Pluto");
  Add(text, " plain text here");
  Finish();
  const TPoint origin = rt->ClientOrigin();
  const TPoint over = PointOf(0, 0, 1), off = PointOf(0, 0, 12);
  InjectMouseMove(origin.X + over.X, origin.Y + over.Y);
  Pump();
  EXPECT_EQ(rt->Cursor(), crHelp);
  InjectMouseMove(origin.X + off.X, origin.Y + off.Y);
  Pump();
  EXPECT_EQ(rt->Cursor(), crIBeam);
}

TEST_F(Links, TypedTextAfterAHiddenStampIsVisible) {
  rt->SetCaretDisabled(false);
  Add(link, "Sun");
  Add(hidden, "1");
  rt->Reformat();
  rt->SetVisible(true);
  rt->SetFocus();
  Type("x");
  PTLine l = E().FirstPar->FirstLine;
  ASSERT_EQ(l->Length, 5);
  EXPECT_FALSE(l->Attrs[4].Extra & fxHidden);
}

TEST_F(Links, ClearingTheViewKeepsThePageSetup) {
  rt->SetReadOnly(false);
  rt->SetPageSize(1440, 1440, 720, 720, 11906, 16838);
  Add(text, "old list");
  Finish();
  rt->SetReadOnly(false);
  rt->Clear();
  EXPECT_TRUE(E().IsEmpty());
  EXPECT_EQ(E().Header().Layout.PageWidth, 11906);
  EXPECT_EQ(E().Header().Layout.LeftMargin, 1440);
}

TEST_F(Links, FormResourcesCreateTheViewAndSetItsStoredProperties) {
  RegisterRichTextControls();
  auto* view = dynamic_cast<TRiRichText*>(CreateComponent("TRiRichText", form));
  ASSERT_NE(view, nullptr);
  SetOrdProp(view, "OneClickHyperlink", 1);
  SetOrdProp(view, "HyperLinkCursor", crHelp);
  SetOrdProp(view, "WordWrap", 1);
  SetOrdProp(view, "Zooming", 0);  // not above 0: 100
  SetEnumProp(view, "ScrollBars", "ssBoth");
  EXPECT_EQ(view->ScrollBars(), TScrollStyle::ssBoth);
  EXPECT_TRUE(view->OneClickHyperlink);
  EXPECT_EQ(view->HyperLinkCursor, crHelp);
  EXPECT_TRUE(view->WordWrap());
  EXPECT_EQ(view->Zooming(), 100);
  EXPECT_NE(dynamic_cast<TRiPagePropDlg*>(CreateComponent("TRiPagePropDlg", form)), nullptr);
}

}  // namespace
}  // namespace tw::richtext::testing
