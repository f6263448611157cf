// The page pass after an edit of one paragraph starts at that paragraph; what it gives must be
// what a pass over the whole document gives.
#include <tuple>

#include "richtext/paint/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using Snapshot = std::vector<std::tuple<int, int, bool>>;  // top, height, page start per line

class IncrementalPages : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // A 3-inch page with 1-inch margins: about six lines a page.
    e_->SetPageSize(1440, 1440, 1440, 1440, 12240, 1440 * 3);
    std::vector<std::string> pars;
    for (int i = 0; i < 40; ++i)
      pars.push_back(i % 3 == 0 ? std::string(400, 'a') + " tail of a long paragraph" : "A short one");
    Build(pars);
    Par(10)->Flags |= pfPageBreak;
    Par(20)->Flags |= pfKeep;
    e_->ReformatAll();
  }
  Snapshot Take() const {
    Snapshot s;
    for (PTParagraph p = e_->FirstPar; p != nullptr; p = p->Next)
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
        s.emplace_back(l->Top, l->Height, (l->Flags & lfPageStart) != 0);
    return s;
  }
  int Pages() const {
    int n = 1;
    for (const auto& t : Take()) n += std::get<2>(t);
    return n;
  }
  // The state the incremental passes left must be the state a whole pass gives.
  void ExpectSameAsWholePass() {
    const Snapshot after = Take();
    const int height = e_->DocumentHeight;
    const int pages = Pages();
    e_->Paginate();
    EXPECT_EQ(after, Take());
    EXPECT_EQ(height, e_->DocumentHeight);
    EXPECT_EQ(pages, Pages());
  }
  void Type(int par, const std::string& text) {
    PTParagraph p = Par(par);
    for (char c : text) {
      PTLine last = TRiRTFText::Get_LastLine(p);
      ASSERT_TRUE(e_->InsertChar(p, last, c, last->Length));
      e_->ParagraphChanged(p);
    }
  }
};

TEST_F(IncrementalPages, TypingAtTheEndKeepsEveryPageAsAWholePassGivesIt) {
  const int before = Pages();
  Type(39, std::string(900, 'x'));
  EXPECT_GT(Pages(), before);
  ExpectSameAsWholePass();
}

TEST_F(IncrementalPages, EditsInTheMiddleMoveThePagesBelow) {
  Type(5, std::string(600, 'y'));  // several more lines push every page below down
  ExpectSameAsWholePass();
  // A new paragraph in front of the hard break and the keep-together paragraph.
  PTParagraph p = Par(8);
  PTParagraph np = e_->SplitParagraph(p, p->FirstLine, 3);
  ASSERT_NE(np, nullptr);
  e_->ParagraphChanged(p);
  e_->ParagraphChanged(np);
  ExpectSameAsWholePass();
  // Deleting text pulls the pages back up.
  PTParagraph q = Par(3);
  e_->DeleteChars(q, 0, 300);
  e_->ParagraphChanged(q);
  ExpectSameAsWholePass();
}

// Random edits anywhere, the first paragraph included: the pass after each one may end where it
// meets the page starts of the last pass, and must still leave what a whole pass gives.
TEST_F(IncrementalPages, EditsAnywhereLeaveThePagesAWholePassGives) {
  unsigned seed = 12345;
  auto next = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int step = 0; step < 80; ++step) {
    const int par = step % 4 == 0 ? 0 : static_cast<int>(next(40));
    PTParagraph p = Par(par);
    if (next(3) == 0 && p->FirstLine->Length > 5) {
      e_->DeleteChars(p, 0, static_cast<int>(1 + next(static_cast<unsigned>(p->FirstLine->Length - 1))));
      e_->ParagraphChanged(p);
    } else {
      Type(par, std::string(1 + next(step % 5 == 0 ? 120 : 3), static_cast<char>('a' + next(26))));
    }
    ExpectSameAsWholePass();
    if (::testing::Test::HasFailure()) break;
  }
}

TEST_F(IncrementalPages, ATableRowBelowTheEditIsLaidOutAsAWhole) {
  // Paragraphs 30 and 31 form a table row of two cells.
  Par(30)->Flags |= pfTableCell | pfRowGoesOn;
  Par(30)->CellStart = 0;
  Par(30)->CellWidth = 127;
  Par(31)->Flags |= pfTableCell | pfLastCell;
  Par(31)->CellStart = 128;
  Par(31)->CellWidth = 127;
  e_->ReformatAll();
  Type(31, std::string(300, 'z'));
  ExpectSameAsWholePass();
  Type(29, " more");
  ExpectSameAsWholePass();
}

TEST_F(IncrementalPages, TextPutInWithoutLayoutIsPaginatedWholeAfterwards) {
  // Paragraphs added at the front without the layout hook shift everything below: the next
  // edit further down may not trust the old positions.
  e_->AddParagraph(0, std::string(800, 'n'), nullptr);
  e_->MeasureAll();
  {
    int change = 0;
    e_->FormatParagraph(e_->FirstPar, false, change);
  }
  Type(39, "end");
  ExpectSameAsWholePass();
}

}  // namespace
}  // namespace tw::richtext::testing
