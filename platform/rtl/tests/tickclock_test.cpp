// The tick count and deadlines across the wrap of the 32-bit count.
#include <gtest/gtest.h>

#include "platform/rtl/tickclock.h"

namespace tw {
namespace {

TEST(TickClock, InjectedSourceAndRestore) {
  std::uint32_t fake = 0xFFFFFFF0u;
  SetTickSource([&] { return fake; });
  EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
  fake += 0x20;  // wraps to 0x10
  EXPECT_EQ(GetTickCount(), 0x10u);
  SetTickSource(nullptr);
  // The count moves in the scheduler's ticks (a few milliseconds), like the system's own.
  const std::uint32_t a = GetTickCount();
  Sleep(10);
  const std::uint32_t b = GetTickCount();
  EXPECT_GE(TickElapsed(a, b), 2u);
  EXPECT_LT(TickElapsed(a, b), 60000u);
}

TEST(TickClock, DeadlinesHoldAcrossTheWrap) {
  // A deadline 100 ms after a start just below the wrap lies just above it.
  for (std::uint32_t start : {0u, 1000u, 0x7FFFFFC0u, 0xFFFFFFC0u, 0xFFFFFFFFu}) {
    const std::uint32_t deadline = TickDeadline(start, 100);
    EXPECT_FALSE(TickReached(start, deadline)) << start;
    EXPECT_FALSE(TickReached(start + 99, deadline)) << start;
    EXPECT_TRUE(TickReached(start + 100, deadline)) << start;
    EXPECT_TRUE(TickReached(start + 5000, deadline)) << start;
    EXPECT_EQ(TickElapsed(start, start + 100), 100u);
  }
  // Up to 2^31 - 1 ms late is still "reached".
  EXPECT_TRUE(TickReached(0x7FFFFFFFu, 0u));
  EXPECT_FALSE(TickReached(0x80000000u, 0u));
  static_assert(TickElapsed(0xFFFFFFFFu, 1u) == 2u);
}

}  // namespace
}  // namespace tw
