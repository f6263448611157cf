// The item list behind list and combo boxes: sorted insertion that keeps objects and order of
// equal lines, prefix search that wraps, and change notices batched by BeginUpdate.
#include "platform/forms/comctrls/itemstrings.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"

namespace tw::test {
namespace {

TEST(ItemStringsTest, SortedListsPlaceLinesCaseInsensitivelyAndKeepEqualLinesInOrder) {
  TItemStrings list;
  list.SetSorted(true);
  EXPECT_EQ(list.AddObject("beta", 2), 0);
  EXPECT_EQ(list.AddObject("Alpha", 1), 0);
  EXPECT_EQ(list.AddObject("BETA", 3), 2);  // after the equal line
  list.Insert(0, "gamma");                 // the index does not matter when sorted
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Get(3), "gamma");
  EXPECT_EQ(list.Objects(1), 2);
  EXPECT_EQ(list.Objects(2), 3);
  list.Put(0, "zeta");  // a changed line moves to its place with its object
  EXPECT_EQ(list.Get(3), "zeta");
  EXPECT_EQ(list.Objects(3), 1);
  EXPECT_EQ(list.IndexOf("ALPHA"), -1);
  EXPECT_EQ(list.IndexOf("Gamma"), 2);
}

TEST(ItemStringsTest, SortingLaterKeepsObjectsAndSelectionFlags) {
  TItemStrings list;
  list.AddObject("c", 3);
  list.AddObject("a", 1);
  list.AddObject("b", 2);
  list.SetSelectedFlag(0, true);
  list.SetSorted(true);
  EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(list.Objects(2), 3);
  EXPECT_TRUE(list.Selected(2));
  EXPECT_FALSE(list.Selected(0));
}

TEST(ItemStringsTest, PrefixSearchStartsAfterTheGivenLineAndWraps) {
  TItemStrings list;
  list.SetText("Berlin\r\nBern\r\nAmsterdam\r\nBrussels\r\n");
  EXPECT_EQ(list.FindPrefix("b", -1), 0);
  EXPECT_EQ(list.FindPrefix("b", 0), 1);
  EXPECT_EQ(list.FindPrefix("b", 3), 0);
  EXPECT_EQ(list.FindPrefix("BERN", 0), 1);
  EXPECT_EQ(list.FindPrefix("x", 0), -1);
  EXPECT_EQ(TItemStrings().FindPrefix("a", -1), -1);
}

TEST(ItemStringsTest, ChangesAreToldAndBatchedInAnUpdate) {
  std::vector<std::string> told;
  TItemStrings list([&](TItemStrings::TChange c, int i) {
    told.push_back(std::to_string(static_cast<int>(c)) + ":" + std::to_string(i));
  });
  list.Add("a");
  list.Add("b");
  list.Delete(0);
  EXPECT_EQ(told, (std::vector<std::string>{"0:0", "0:1", "1:0"}));
  told.clear();
  list.BeginUpdate();
  list.Add("c");
  list.Put(0, "x");
  list.Clear();
  EXPECT_EQ(told, (std::vector<std::string>{"0:1"}));  // inserts and deletes still count at once
  list.EndUpdate();
  EXPECT_EQ(told.back(), "4:-1");  // one notice for the rest
  EXPECT_THROW(list.Delete(0), EStringListError);
  EXPECT_THROW(list.Insert(2, "x"), EStringListError);
  EXPECT_THROW(list.Selected(0), EStringListError);
}

TEST(ItemStringsTest, RememberedIndexesFollowInsertsAndDeletes) {
  using C = TItemStrings::TChange;
  int at = 2;
  TItemStrings::FollowChange(C::Inserted, 2, at);
  EXPECT_EQ(at, 3);
  TItemStrings::FollowChange(C::Inserted, 5, at);
  EXPECT_EQ(at, 3);
  TItemStrings::FollowChange(C::Deleted, 0, at);
  EXPECT_EQ(at, 2);
  TItemStrings::FollowChange(C::Changed, 0, at);
  EXPECT_EQ(at, 2);
  TItemStrings::FollowChange(C::Deleted, 2, at);
  EXPECT_EQ(at, -1);
  TItemStrings::FollowChange(C::Inserted, 0, at);  // no line remembered: stays so
  EXPECT_EQ(at, -1);
}

TEST(ItemStringsTest, TypedLettersNarrowTheSearchUntilAPause) {
  TItemStrings list;
  list.SetText("Berlin\r\nBern\r\nAmsterdam\r\nBrussels\r\n");
  std::string typed;
  unsigned time = 0;
  EXPECT_EQ(list.FindTyped(typed, time, 5000, 'b', 0), 1);
  EXPECT_EQ(list.FindTyped(typed, time, 5100, 'e', 1), 1);  // "be" keeps the current line
  EXPECT_EQ(list.FindTyped(typed, time, 5200, 'x', 1), -1);
  EXPECT_EQ(typed, "x");                                    // no match: starts again from the letter
  EXPECT_EQ(list.FindTyped(typed, time, 9000, 'a', 0), 2);  // a pause forgets the letters
  EXPECT_EQ(typed, "a");
}

TEST(ItemStringsTest, ReplacingCopiesObjectsAndLeavesItselfAlone) {
  TItemStrings source;
  source.SetText("one\r\ntwo\r\n");
  source.PutObject(1, 9);
  TItemStrings list;
  list.SetText("old\r\n");
  list.ReplaceWith(&source);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.StringRef(0), "one");
  EXPECT_EQ(list.GetObject(1), 9);
  list.ReplaceWith(&list);
  EXPECT_EQ(list.Count(), 2);
  list.ReplaceWith(nullptr);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.InsertClamped(5, "z"), 0);
  EXPECT_EQ(list.InsertClamped(-1, "y"), 1);
  EXPECT_EQ(list.InsertClamped(0, "x"), 0);
  EXPECT_EQ(list.FirstSelected(), -1);
  list.SetSelectedFlag(2, true);
  EXPECT_EQ(list.FirstSelected(), 2);
  list.MeasureHeights(4, [](int i, int& h) { h += i; });
  EXPECT_EQ(list.ItemHeightOf(2), 6);
}

}  // namespace
}  // namespace tw::test
