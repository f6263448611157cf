#include "app/forms/transitlist.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "horoscope/chartglobals.h"
#include "horoscope/horoscope.h"
#include "platform/classes/stringlist.h"

namespace tw::app {
namespace {

using horoscope::THoroscope;

struct FakeTexts : ITransitTexts {
  std::map<std::tuple<std::string, int, int, int>, std::string> Rows;
  std::vector<std::tuple<std::string, int, int, int>> Asked;
  bool FindText(const std::string& lang, int i, int j, int a, std::string& text) override {
    Asked.emplace_back(lang, i, j, a);
    const auto it = Rows.find({lang, i, j, a});
    if (it == Rows.end()) return false;
    text = it->second;
    return true;
  }
};

struct Piece {
  TTransitAttr Attr;
  std::string Text;
  bool operator==(const Piece&) const = default;
};

struct FakeView : ITransitView {
  TTransitAttr Current = TTransitAttr::Header;
  std::vector<Piece> Pieces;
  void SetCurrentAttr(TTransitAttr attr) override { Current = attr; }
  void InputString(const std::string& text) override { Pieces.push_back({Current, text}); }
  std::string All() const {
    std::string s;
    for (const auto& p : Pieces) s += p.Text;
    return s;
  }
};

class TransitListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    horoscope::InitAspectSettings();
    messages_ = std::make_unique<TStringList>();
    Msg(94, "Person:");
    Msg(95, "Born %s %s in %s");
    Msg(96, "Transits %s %s");
    Msg(100, "End.");
    Msg(102, "Transit");
    Msg(103, "to radix");
    for (int b = 0; b < 16; ++b) Msg(10 + b, "B" + std::to_string(b));
    for (int a = 1; a <= 7; ++a) Msg(80 + a, "Asp" + std::to_string(a));
    horoscope::MessageList = messages_.get();
    horoscope::LanguageCode = "ENG";

    transit_ = std::make_unique<THoroscope>(nullptr);
    radix_ = std::make_unique<THoroscope>(nullptr);
    transit_->HorBodyEnabled.fill(0);
    radix_->HorBodyEnabled.fill(0);
    transit_->HorLongitude.fill(333.0);
    radix_->HorLongitude.fill(250.0);
    transit_->HorBodyEnabled[0] = 1;
    transit_->HorLongitude[0] = 10.0;
    // Radix bodies 1..4: square, opposition, conjunction, no aspect to transit body 0.
    for (int j = 1; j <= 4; ++j) radix_->HorBodyEnabled[j] = 1;
    radix_->HorLongitude[1] = 100.0;
    radix_->HorLongitude[2] = 190.0;
    radix_->HorLongitude[3] = 10.5;
    radix_->HorLongitude[4] = 57.0;
    radix_->HorName = "Ann";
    radix_->HorPlace = "Lyon";
  }
  void TearDown() override { horoscope::MessageList = nullptr; }

  void Msg(int nr, const std::string& text) { messages_->AddObject(text, std::intptr_t{nr}); }
  void Row(int i, int j, int a, const std::string& text) { texts_.Rows[{"ENG", i, j, a}] = text; }

  std::vector<std::string> EntryTexts() const {
    // An entry's text is the piece that follows the line end of its heading.
    std::vector<std::string> out;
    for (std::size_t k = 1; k < view_.Pieces.size(); ++k)
      if (view_.Pieces[k].Attr == TTransitAttr::Text && view_.Pieces[k - 1] == Piece{TTransitAttr::Title, "\r"})
        out.push_back(view_.Pieces[k].Text);
    return out;
  }
  std::vector<std::string> HiddenNumbers() const {
    std::vector<std::string> out;
    for (const auto& p : view_.Pieces)
      if (p.Attr == TTransitAttr::Number) out.push_back(p.Text);
    return out;
  }

  std::unique_ptr<TStringList> messages_;
  std::unique_ptr<THoroscope> transit_, radix_;
  FakeTexts texts_;
  FakeView view_;
  TTransitListWriter writer_{texts_, view_};
};

TEST(TransitReference, AnglesMapToAspectNumbers) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"@0", 1},  {"@30", 6}, {"@60", 5},   {"@90", 3},     {"@120", 4},
      {"@150", 7}, {"@180", 2}, {"@", 1},   {"@45", 0},     {"@90 and more", 3},
      {"@00090", 3}, {"@99999999999999999999999999999090", 0}};
  for (const auto& [text, aspect] : cases) {
    const auto r = ReferredAspect(text);
    ASSERT_TRUE(r.has_value()) << text;
    EXPECT_EQ(*r, aspect) << text;
  }
  EXPECT_FALSE(ReferredAspect("").has_value());
  EXPECT_FALSE(ReferredAspect("Plain text @90").has_value());
  EXPECT_FALSE(ReferredAspect(" @90").has_value());
}

TEST(TransitPieces, LongTextsGoInPiecesOfAtMost250) {
  FakeView view;
  view.Current = TTransitAttr::Text;
  WriteInPieces(view, std::string(600, 'x'));
  ASSERT_EQ(view.Pieces.size(), 3u);
  EXPECT_EQ(view.Pieces[0].Text.size(), 250u);
  EXPECT_EQ(view.Pieces[1].Text.size(), 250u);
  EXPECT_EQ(view.Pieces[2].Text.size(), 100u);
  EXPECT_EQ(view.Pieces[2].Attr, TTransitAttr::Text);
  FakeView empty;
  WriteInPieces(empty, "");
  EXPECT_TRUE(empty.Pieces.empty());
  FakeView exact;
  WriteInPieces(exact, std::string(250, 'y'));
  EXPECT_EQ(exact.Pieces.size(), 1u);
}

TEST(TransitPieces, PatternThatDoesNotFitGivesThePattern) {
  EXPECT_EQ(FormatMessage("Bad date %s", "31/02"), "Bad date 31/02");
  EXPECT_EQ(FormatMessage("Broken %d", "x"), "Broken %d");
}

TEST_F(TransitListTest, HeadingHasThreeLinkRunsWithHiddenHelpContexts) {
  writer_.WriteAspectHeading(3, 2, 5);
  const std::vector<Piece> expected = {
      {TTransitAttr::Link, "Transit B3"}, {TTransitAttr::Number, "20003"}, {TTransitAttr::Title, " "},
      {TTransitAttr::Link, "Asp2"},       {TTransitAttr::Number, "22002"}, {TTransitAttr::Title, " "},
      {TTransitAttr::Link, "to radix B5"}, {TTransitAttr::Number, "21005"}, {TTransitAttr::Title, "\r"}};
  EXPECT_EQ(view_.Pieces, expected);
}

TEST_F(TransitListTest, CompleteListHasTitleEntriesInBodyOrderAndClosingText) {
  Row(0, 1, 3, "Square text.\r");
  Row(0, 2, 2, "Opposition text.\r");
  Row(0, 3, 1, "Conjunction text.\r");
  Row(0, 4, 0, "never asked for");
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_EQ(writer_.EntryCount(), 3);

  ASSERT_GE(view_.Pieces.size(), 4u);
  EXPECT_EQ(view_.Pieces[0], (Piece{TTransitAttr::Header, "Person: Ann\r"}));
  EXPECT_EQ(view_.Pieces[1].Text.substr(0, 5), "Born ");
  EXPECT_NE(view_.Pieces[1].Text.find(" in Lyon\r"), std::string::npos);
  EXPECT_EQ(view_.Pieces[2].Text.substr(0, 9), "Transits ");
  EXPECT_EQ(view_.Pieces[3], (Piece{TTransitAttr::Header, "\r"}));

  EXPECT_EQ(EntryTexts(),
            (std::vector<std::string>{"Square text.\r", "Opposition text.\r", "Conjunction text.\r"}));
  EXPECT_EQ(HiddenNumbers(), (std::vector<std::string>{"20000", "22003", "21001", "20000", "22002", "21002",
                                                       "20000", "22001", "21003"}));
  EXPECT_EQ(view_.Pieces.back(), (Piece{TTransitAttr::Text, "End."}));
  for (const auto& key : texts_.Asked) {
    EXPECT_EQ(std::get<0>(key), "ENG");
    EXPECT_NE(std::get<2>(key), 4) << "a pair without aspect is not looked up";
  }
}

TEST_F(TransitListTest, ReferencesFollowOnceAndSkipSelfOrMissingTargets) {
  Row(0, 1, 3, "@90");                // square refers to itself: no entry
  Row(0, 2, 2, "@0");                 // opposition takes the conjunction text
  Row(0, 2, 1, "@120");               // ...which is taken unchanged, not followed again
  Row(0, 3, 1, "@60");                // sextile text missing: no entry
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_EQ(EntryTexts(), (std::vector<std::string>{"@120"}));
  EXPECT_EQ(HiddenNumbers(), (std::vector<std::string>{"20000", "22002", "21002"}))
      << "the heading names the aspect found, not the referred one";
}

TEST_F(TransitListTest, EmptyAndLongTextsAreWrittenWhole) {
  const std::string longText(3000, 'L');
  Row(0, 1, 3, "");
  Row(0, 2, 2, longText);
  writer_.Write(*transit_, *radix_);
  EXPECT_EQ(EntryTexts(), (std::vector<std::string>{"", longText}));
}

TEST_F(TransitListTest, ClosingTextUsesHeaderAttributesWhenNothingWasListed) {
  Msg(100, "unused");  // the first entry carrying a number wins
  messages_->Clear();
  Msg(100, std::string(600, 'c'));
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_EQ(writer_.EntryCount(), 0);
  ASSERT_EQ(view_.Pieces.size(), 4u + 3u);
  for (std::size_t k = 4; k < 7; ++k) EXPECT_EQ(view_.Pieces[k].Attr, TTransitAttr::Header);
  EXPECT_EQ(view_.Pieces[6].Text.size(), 100u);
}

TEST_F(TransitListTest, DisabledBodiesTakeNoPart) {
  Row(0, 1, 3, "Square");
  Row(0, 2, 2, "Opposition");
  radix_->HorBodyEnabled[1] = 0;
  writer_.Write(*transit_, *radix_);
  EXPECT_EQ(EntryTexts(), (std::vector<std::string>{"Opposition"}));
  transit_->HorBodyEnabled[0] = 0;
  view_.Pieces.clear();
  writer_.Write(*transit_, *radix_);
  EXPECT_TRUE(EntryTexts().empty());
}

TEST_F(TransitListTest, StopFlagEndsTheListWithoutClosingText) {
  Row(0, 1, 3, "Square");
  Row(0, 2, 2, "Opposition");
  bool stop = true;  // a stale flag from before the list is cleared at its start
  writer_.StopFlag = &stop;
  int calls = 0;
  writer_.OnProcessMessages = [&] {
    if (++calls == 2) stop = true;  // Esc pressed while the first entry is shown
  };
  EXPECT_FALSE(writer_.Write(*transit_, *radix_));
  EXPECT_EQ(EntryTexts(), (std::vector<std::string>{"Square"}));
  EXPECT_NE(view_.Pieces.back().Text, "End.");
  EXPECT_TRUE(stop);

  view_.Pieces.clear();
  writer_.OnProcessMessages = nullptr;
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_FALSE(stop);
  EXPECT_EQ(view_.Pieces.back().Text, "End.");
}

TEST_F(TransitListTest, NewerListStartedInsideTakesOverTheView) {
  Row(0, 1, 3, "Square");
  Row(0, 2, 2, "Opposition");
  FakeView innerView;
  TTransitListWriter inner(texts_, innerView);
  bool started = false;
  writer_.OnProcessMessages = [&] {
    if (started) return;
    started = true;
    EXPECT_TRUE(inner.Write(*transit_, *radix_));
  };
  EXPECT_FALSE(writer_.Write(*transit_, *radix_));
  EXPECT_TRUE(EntryTexts().empty()) << "the outer list writes nothing after the newer one began";
  EXPECT_EQ(inner.EntryCount(), 2);
  EXPECT_EQ(innerView.Pieces.back().Text, "End.");
}

TEST_F(TransitListTest, PartsUsedOnTheirOwnWriteAfterAnyEarlierList) {
  Row(0, 1, 3, "Square");
  FakeView otherView;
  TTransitListWriter other(texts_, otherView);
  EXPECT_TRUE(other.Write(*transit_, *radix_));
  writer_.WriteTextBlock("Alone.\r");
  EXPECT_EQ(view_.Pieces, (std::vector<Piece>{{TTransitAttr::Text, "Alone.\r"}}))
      << "a text block outside a list is not taken for an overtaken list";
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  writer_.WriteTextBlock("Again.\r");
  EXPECT_EQ(view_.Pieces.back(), (Piece{TTransitAttr::Text, "Again.\r"}));
}

}  // namespace
}  // namespace tw::app
