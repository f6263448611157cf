#include "platform/classes/list.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"

namespace tw {
namespace {

void* P(std::intptr_t v) { return reinterpret_cast<void*>(v); }

TEST(PointerList, IndexErrorsNameTheIndex) {
  TList list;
  list.Add(P(1));
  try {
    list.Items(1);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (1)");
  }
  EXPECT_THROW(list.Delete(-1), EListError);
  EXPECT_THROW(list.Insert(2, P(3)), EListError);
  EXPECT_THROW(TList().First(), EListError);
  EXPECT_THROW(list.SetCapacity(0), EListError);
  list.Insert(1, P(2));  // at Count is an append
  EXPECT_EQ(list.Last(), P(2));
}

TEST(PointerList, EditingKeepsOrder) {
  TList list;
  for (int i = 1; i <= 5; ++i) list.Add(P(i));
  list.Move(0, 4);  // 2 3 4 5 1
  list.Exchange(0, 1);  // 3 2 4 5 1
  EXPECT_EQ(list.Remove(P(4)), 2);  // 3 2 5 1
  EXPECT_EQ(list.Remove(P(9)), -1);
  EXPECT_EQ(list.IndexOf(P(1)), 3);
  list.SetItems(1, nullptr);
  list.Add(nullptr);
  list.Pack();  // 3 5 1
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], P(3));
  EXPECT_EQ(list[1], P(5));
  EXPECT_EQ(list[2], P(1));
  list.Sort([](void* a, void* b) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(a) - reinterpret_cast<std::intptr_t>(b));
  });
  EXPECT_EQ(list.First(), P(1));
  EXPECT_EQ(list.Last(), P(5));
  list.SetCount(5);
  EXPECT_EQ(list[4], nullptr);
  EXPECT_GE(list.Capacity(), 5);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace tw
