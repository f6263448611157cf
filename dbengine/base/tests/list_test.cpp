#include "dbengine/base/qnlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "dbengine/base/qnstringlist.h"
#include "platform/classes/stringlist.h"

using namespace tw::dbengine;

namespace {

// Counts living test items, so tests see exactly which items were freed.
int gLiving = 0;
class CountedItem : public TqnIntListItem {
  TW_CLASS(CountedItem, TqnIntListItem)
 public:
  explicit CountedItem(int key) : TqnIntListItem(key) { ++gLiving; }
  ~CountedItem() override { --gLiving; }
};

std::vector<int> Keys(const TqnList& l) {
  std::vector<int> k;
  for (int i = 0; i < l.Count(); ++i) k.push_back(l.ItemAs<TqnIntListItem>(i)->IntKey());
  return k;
}

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override { gLiving = 0; }
  void TearDown() override { EXPECT_EQ(gLiving, 0) << "items leaked or freed twice"; }
};

TEST_F(ListTest, SortedListOrdersKeysAndRefusesDuplicates) {
  TqnList l;
  for (int k : {5, 1, 3}) EXPECT_TRUE(l.Insert(new CountedItem(k)));
  EXPECT_EQ(Keys(l), (std::vector<int>{1, 3, 5}));
  auto* dup = new CountedItem(3);
  EXPECT_EQ(l.InsertPrim(dup), -1);
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(dup->OwnerCount(), 0);
  delete dup;  // stays with the caller
  const std::int32_t three = 3, four = 4;
  EXPECT_EQ(l.IndexOf(&three), 1);
  EXPECT_EQ(l.IndexOf(&four), -1);
  EXPECT_EQ(l.Items(3), nullptr);
  EXPECT_EQ(l.Items(-1), nullptr);
}

TEST_F(ListTest, UnsortedListKeepsOrderAndEqualKeysAndCannotBecomeSortedWhileFilled) {
  TqnList l;
  l.SetSorted(false);
  auto* first = new CountedItem(7);
  l.Insert(first);
  l.Insert(new CountedItem(2));
  l.Insert(new CountedItem(7));
  EXPECT_EQ(Keys(l), (std::vector<int>{7, 2, 7}));
  const std::int32_t seven = 7;
  EXPECT_EQ(l.IndexOf(&seven), 0);
  l.SetSorted(true);
  EXPECT_FALSE(l.Sorted());
  EXPECT_FALSE(l.Insert(first));  // an item is held at most once
  l.Empty();
  EXPECT_TRUE(l.IsEmpty());
  l.SetSorted(true);
  EXPECT_TRUE(l.Sorted());
}

TEST_F(ListTest, ItemHeldByTwoListsSurvivesLeavingOneOfThem) {
  TqnList a, b;
  auto* item = new CountedItem(1);
  a.Insert(item);
  b.Insert(item);
  EXPECT_EQ(item->OwnerCount(), 2);
  const std::int32_t one = 1;
  a.Delete(&one);
  EXPECT_EQ(gLiving, 1);
  EXPECT_EQ(b.Items(0), item);
  EXPECT_EQ(item->OwnerCount(), 1);
  b.DeleteAt(0);
  EXPECT_EQ(gLiving, 0);
}

TEST_F(ListTest, MaintainedLinksLeaveEveryListAtOnce) {
  TqnList a, b, c;
  auto* item = new CountedItem(1);
  item->SetMaintainLinks(true);
  for (TqnList* l : {&a, &b, &c}) l->Insert(item);
  auto* other = new CountedItem(2);
  b.Insert(other);
  a.DeleteAt(0);
  EXPECT_EQ(gLiving, 1);
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_TRUE(c.IsEmpty());
  EXPECT_EQ(b.Count(), 1);
  EXPECT_EQ(b.Items(0), other);
}

TEST_F(ListTest, FreeingAnItemRemovesExactlyThatItemFromEveryList) {
  // Equal keys in unsorted lists: freeing one must not drop the other's entry.
  TqnList a, b;
  a.SetSorted(false);
  b.SetSorted(false);
  auto* x = new CountedItem(9);
  auto* y = new CountedItem(9);
  a.Insert(y);
  a.Insert(x);
  b.Insert(x);
  b.Insert(y);
  delete x;
  ASSERT_EQ(a.Count(), 1);
  ASSERT_EQ(b.Count(), 1);
  EXPECT_EQ(a.Items(0), y);
  EXPECT_EQ(b.Items(0), y);
}

TEST_F(ListTest, MaintainedLinksWithEqualKeysRemoveOnlyTheDeletedItem) {
  TqnList a, b;
  a.SetSorted(false);
  b.SetSorted(false);
  auto* x = new CountedItem(4);
  auto* y = new CountedItem(4);
  x->SetMaintainLinks(true);
  b.Insert(y);  // y first: a removal by key would hit it
  a.Insert(x);
  b.Insert(x);
  a.Remove(x);
  EXPECT_EQ(gLiving, 1);
  ASSERT_EQ(b.Count(), 1);
  EXPECT_EQ(b.Items(0), y);
}

TEST_F(ListTest, EmptyingAndDestroyingFreeOnlyItemsWithoutOtherOwners) {
  auto* keep = new TqnList;
  {
    TqnList l;
    auto* shared = new CountedItem(1);
    l.Insert(shared);
    l.Insert(new CountedItem(2));
    keep->Insert(shared);
  }
  EXPECT_EQ(gLiving, 1);
  EXPECT_EQ(keep->ItemAs<CountedItem>(0)->OwnerCount(), 1);
  delete keep;
}

TEST_F(ListTest, AssignSharesTheSourceItems) {
  TqnList src, dst;
  for (int k : {3, 1, 2}) src.Insert(new CountedItem(k));
  dst.Insert(new CountedItem(99));
  dst.Assign(&src);
  EXPECT_EQ(Keys(dst), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(gLiving, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(dst.Items(i), src.Items(i));
  src.Empty();
  EXPECT_EQ(gLiving, 3);
  dst.Empty();
}

TEST_F(ListTest, RandomInsertsAndDeletesMatchAModel) {
  std::mt19937 rng(42);
  for (bool sorted : {true, false}) {
    TqnList l;
    l.SetSorted(sorted);
    std::multiset<int> model;
    for (int step = 0; step < 3000; ++step) {
      const int key = static_cast<int>(rng() % 50) - 25;
      if (rng() % 3 != 0) {
        auto* item = new CountedItem(key);
        const bool added = l.Insert(item);
        if (!added) delete item;
        EXPECT_EQ(added, !sorted || model.count(key) == 0);
        if (added) model.insert(key);
      } else {
        const std::int32_t k = key;
        l.Delete(&k);
        if (auto it = model.find(key); it != model.end()) model.erase(it);
      }
    }
    std::vector<int> keys = Keys(l);
    if (sorted) {
      EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    }
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, std::vector<int>(model.begin(), model.end()));
    EXPECT_EQ(gLiving, static_cast<int>(model.size()));
  }
}

TEST(SelfListItem, IdsAreUniqueNonZeroAndStaleIdsAreNotFound) {
  auto* a = new TqnSelfListItem;
  auto* b = new TqnSelfListItem;
  EXPECT_NE(a->Id(), 0u);
  EXPECT_NE(a->Id(), b->Id());
  EXPECT_EQ(TqnSelfListItem::FindById(a->Id()), a);
  const std::uint32_t stale = a->Id();
  delete a;
  EXPECT_EQ(TqnSelfListItem::FindById(stale), nullptr);
  auto* c = new TqnSelfListItem;
  EXPECT_NE(c->Id(), stale);
  EXPECT_EQ(TqnSelfListItem::FindById(0), nullptr);
  TqnList l;
  l.Insert(b);
  l.Insert(c);
  const std::int32_t key = static_cast<std::int32_t>(c->Id());
  EXPECT_EQ(l.Items(l.IndexOf(&key)), c);
}

TEST(StringList, CaseInsensitiveListsFoldOnlyAsciiLetters) {
  TqnStringList l;
  l.SetCaseSensitive(false);
  EXPECT_TRUE(l.Insert("abc"));
  EXPECT_FALSE(l.Insert("ABC"));
  EXPECT_TRUE(l.Insert("\xE4"));   // a-umlaut
  EXPECT_TRUE(l.Insert("\xC4"));   // A-umlaut: a different key
  EXPECT_EQ(l.IndexOf("AbC"), l.IndexOf("abc"));
  EXPECT_EQ(l.Count(), 3);

  TqnStringList cs;
  EXPECT_TRUE(cs.Insert("abc"));
  EXPECT_TRUE(cs.Insert("ABC"));
  EXPECT_EQ(cs.Strings(0), "ABC");  // byte order: capitals first
  cs.SetCaseSensitive(false);       // refused while filled
  EXPECT_TRUE(cs.CaseSensitive());
}

TEST(StringList, AssignCopiesStringsObjectsAndSettings) {
  TqnStringList src;
  src.SetSorted(false);
  src.SetCaseSensitive(false);
  int o1 = 1, o2 = 2;
  src.AddObject("zeta", &o1);
  src.AddObject("alpha", &o2);
  TqnStringList dst;
  dst.Insert("old");
  dst.Assign(&src);
  ASSERT_EQ(dst.Count(), 2);
  EXPECT_FALSE(dst.Sorted());
  EXPECT_FALSE(dst.CaseSensitive());
  EXPECT_EQ(dst.Strings(0), "zeta");
  EXPECT_EQ(dst.Objects(1), &o2);
  // Copies, not shared entries.
  src.Clear();
  EXPECT_EQ(dst.Strings(1), "alpha");
  dst.SetObjects(5, &o1);  // outside: ignored
  EXPECT_EQ(dst.Objects(5), nullptr);
}

TEST(StringList, LongStringsAreCutTo255Characters) {
  TqnStringList l;
  const std::string longText(300, 'x');
  EXPECT_TRUE(l.Insert(longText));
  EXPECT_EQ(l.Strings(0).size(), 255u);
  EXPECT_FALSE(l.Insert(std::string(256, 'x')));  // the same key once cut
}

}  // namespace

namespace {

TEST(StringList, ExchangesEntriesWithTheClassLibrarysStringLists) {
  tw::TStringList plain;
  plain.AddObject("zeta", std::intptr_t{42});
  plain.Add("alpha");
  plain.Add("zeta");  // unsorted target keeps the duplicate
  TqnStringList engine;
  engine.Assign(&plain);
  EXPECT_FALSE(engine.Sorted());
  ASSERT_EQ(engine.Count(), 3);
  EXPECT_EQ(engine.Strings(0), "zeta");
  EXPECT_EQ(engine.Objects(0), reinterpret_cast<void*>(std::intptr_t{42}));
  EXPECT_EQ(engine.Strings(2), "zeta");

  TqnStringList sorted;
  sorted.Insert("b");
  sorted.Insert("a");
  tw::TStringList out;
  out.Add("old");
  out.Assign(&sorted);
  ASSERT_EQ(out.Count(), 2);
  EXPECT_EQ(out.Strings(0), "a");
  EXPECT_EQ(out.Strings(1), "b");
}

}  // namespace
