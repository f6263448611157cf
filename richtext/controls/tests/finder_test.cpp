// Search and replace over a document, directly and through the shared dialogs.
#include "platform/classes/streams.h"
#include "richtext/controls/textfinder.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

class Finding : public RichTextTest {
 protected:
  void Fill(const std::vector<std::string>& pars) {
    for (std::size_t i = 0; i < pars.size(); ++i) rt->InputString(pars[i] + (i + 1 < pars.size() ? "\r" : ""));
    rt->Reformat();
    f.Bind(&E());
  }
  TRiTextFinder f;
};

TEST_F(Finding, WildcardsWholeWordsAndCase) {
  Fill({"the cat sat", "a cart and a catalogue", "CAT"});
  f.Wildcard = '*';
  ASSERT_TRUE(f.FindNext("c*t"));
  EXPECT_EQ(f.FoundPosition(), 4);
  EXPECT_EQ(f.FoundLength(), 3);
  ASSERT_TRUE(f.FindNext("c*t"));
  EXPECT_EQ(f.FoundPosition(), 14);  // "cart" in the second paragraph (12 + 2)
  EXPECT_EQ(f.FoundLength(), 4);
  f.WholeWord = true;
  ASSERT_TRUE(f.FindNext("c*t"));
  EXPECT_EQ(f.FoundPosition(), 35);  // not the start of "catalogue": the upper-case "CAT"
  f.CaseSensitive = true;
  f.SetPosition(0);
  EXPECT_TRUE(f.FindNext("cat"));
  EXPECT_FALSE(f.FindNext("cat"));
  EXPECT_FALSE(f.FindNext(""));
}

TEST_F(Finding, CaseInsensitiveSearchFoldsAccentedLetters) {
  Fill({"Gr\xFC\xDF"
        "e aus \xDC"
        "berlingen"});
  ASSERT_TRUE(f.FindNext("\xFC"
                         "berlingen"));
  EXPECT_EQ(f.FoundPosition(), 10);
}

TEST_F(Finding, BackwardsFindsTheLastHitBeforeThePosition) {
  Fill({"one two one", "two one"});
  f.SetPosition(100);
  ASSERT_TRUE(f.FindPrevious("one"));
  EXPECT_EQ(f.FoundPosition(), 16);
  ASSERT_TRUE(f.FindPrevious("one"));
  EXPECT_EQ(f.FoundPosition(), 8);
  ASSERT_TRUE(f.FindPrevious("one"));
  EXPECT_EQ(f.FoundPosition(), 0);
  EXPECT_FALSE(f.FindPrevious("one"));
}

TEST_F(Finding, AfterAHitFindPreviousStartsBeforeItAndFindNextBehindIt) {
  Fill({"abab"});
  ASSERT_TRUE(f.FindNext("ab"));
  EXPECT_FALSE(f.FindPrevious("ab"));
  f.SetPosition(1);
  ASSERT_TRUE(f.FindPrevious("ab"));
  ASSERT_TRUE(f.FindNext("ab"));
  EXPECT_EQ(f.FoundPosition(), 2);
}

TEST_F(Finding, AReplacementACellRefusesDeletesNothing) {
  TStringStream rtf("{\\rtf1\\trowd\\cellx2000\\cellx4000\\intbl red\\cell red\\cell\\row\\pard red}");
  rt->LoadFromStream(rtf);
  f.Bind(&E());
  E().FirstPar->CellFlags = 0xF0;  // the first cell takes no more characters
  f.Replacement = "blue";
  EXPECT_EQ(f.ReplaceAll("red"), 2);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"red", "blue", "blue"}));
}

TEST_F(Finding, ReplaceAllEndsWhenTheReplacementHoldsThePatternAndKeepsAttributes) {
  TAttr bold = E().CurAttr;
  bold.Style |= fsBold;
  rt->SetCurrentAttr(bold);
  Fill({"ab ab", "xab"});
  f.Replacement = "abab";
  EXPECT_EQ(f.ReplaceAll("ab"), 3);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"abab abab", "xabab"}));
  EXPECT_TRUE(E().FirstPar->FirstLine->Attrs[2].Style & fsBold);
}

TEST_F(Finding, ReplaceAllStopsWhenAskedEveryThirtyReplacements) {
  Fill({std::string(100, 'a')});
  f.Replacement = "b";
  f.StopRequested = [] { return true; };
  EXPECT_EQ(f.ReplaceAll("a"), 30);
  EXPECT_EQ(E().ParagraphText(0), std::string(30, 'b') + std::string(70, 'a'));
}

TEST_F(Finding, ReplacingLeavesProtectedHitsAndInsertsWholeInOverwriteMode) {
  E().Protection = TProtectProps{TProtectProp::ppProtected};
  Fill({"ab ab ab tail"});
  PTLine line = E().FirstPar->FirstLine;
  ASSERT_TRUE(line->HasAttrs());
  line->Attrs[3].Extra |= fxProtected;  // the middle "ab"
  line->Attrs[4].Extra |= fxProtected;
  // Overwrite mode must not eat the characters after a hit.
  rt->SetInserting(false);
  f.SetPosition(0);
  f.Replacement = "xyz";
  EXPECT_EQ(f.ReplaceAll("ab"), 2);
  EXPECT_EQ(E().ParagraphText(0), "xyz ab xyz tail");
  EXPECT_FALSE(E().InsertMode);
  // A single replace refuses the protected hit and changes nothing.
  f.SetPosition(0);
  ASSERT_TRUE(f.FindNext("ab"));
  EXPECT_FALSE(f.ReplaceFound("q"));
  EXPECT_EQ(E().ParagraphText(0), "xyz ab xyz tail");
}

TEST_F(Finding, TheDialogsSelectTheHitAndReplaceThroughTheComponent) {
  Fill({"red green red blue"});
  rt->SetCursorPosition(0, 0, 0, 0);
  rt->ShowFindDialog();
  TFindDialog* find = TRiCustomRichText::FindDialog();
  find->SetFindText("red");
  find->SetOptions(TFindOptions{frDown});
  rt->DoFind(find);
  EXPECT_EQ(rt->SelectedText(), "red");
  EXPECT_EQ(E().CursorPosition(), 3);
  rt->DoFind(find);
  int start = 0, length = 0;
  ASSERT_TRUE(E().GetSelection(start, length));
  EXPECT_EQ(start, 10);
  find->CloseDialog();

  rt->ShowReplaceDialog();
  TReplaceDialog* replace = TRiCustomRichText::ReplaceDialog();
  replace->SetFindText("red");
  replace->SetReplaceText("pink");
  replace->SetOptions(TFindOptions{frDown, frReplaceAll});
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  rt->DoReplace(replace);
  EXPECT_EQ(E().ParagraphText(0), "pink green pink blue");
  EXPECT_EQ(changes, 1);
  // A read-only view refuses to replace.
  rt->SetReadOnly(true);
  replace->SetFindText("blue");
  rt->DoReplace(replace);
  EXPECT_EQ(E().ParagraphText(0), "pink green pink blue");
  replace->CloseDialog();
}

TEST_F(Finding, BackwardsThroughTheDialogsMissesNoHitAndReplacesTowardsTheStart) {
  Fill({"aaaa"});
  rt->SetCursorPosition(4, 0, 4, 0);
  TFindDialog* find = TRiCustomRichText::FindDialog();
  find->SetFindText("a");
  find->SetOptions(TFindOptions{});
  std::vector<int> hits;
  for (int i = 0; i < 6; ++i) {
    rt->DoFind(find);
    int start = 0, length = 0;
    if (E().GetSelection(start, length)) hits.push_back(start);
  }
  // Every hit once, then the search stays on the first.
  EXPECT_EQ(hits, (std::vector<int>{3, 2, 1, 0, 0, 0}));
  EXPECT_EQ(E().CursorPosition(), 0);

  rt->Clear();
  Fill({"red green red blue"});
  rt->SetCursorPosition(18, 0, 18, 0);
  TReplaceDialog* replace = TRiCustomRichText::ReplaceDialog();
  replace->SetFindText("red");
  replace->SetReplaceText("pink");
  replace->SetOptions(TFindOptions{});
  rt->DoFind(replace);
  rt->DoReplace(replace);
  EXPECT_EQ(E().ParagraphText(0), "red green pink blue");
  int start = 0, length = 0;
  ASSERT_TRUE(E().GetSelection(start, length));
  EXPECT_EQ(start, 0);
  EXPECT_EQ(length, 3);
  rt->DoReplace(replace);
  EXPECT_EQ(E().ParagraphText(0), "pink green pink blue");
}

}  // namespace
}  // namespace tw::richtext::testing
