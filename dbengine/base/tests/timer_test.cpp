#include "dbengine/base/timer.h"

#include <gtest/gtest.h>

#include "platform/rtl/tickclock.h"

using namespace tw::dbengine;

namespace {

// Drives the platform's tick clock by hand.
class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tw::SetTickSource([this] { return now_; });
  }
  void TearDown() override { tw::SetTickSource({}); }
  std::uint32_t now_ = 1000;
};

TEST_F(TimerTest, PeriodsAreForcedIntoOneTo30000Milliseconds) {
  QNTimer t;
  QNStartTimer(t, 0);
  EXPECT_FALSE(QNTimerExpired(t));
  now_ += 1;
  EXPECT_TRUE(QNTimerExpired(t));

  QNStartTimer(t, 60000);
  now_ += 29999;
  EXPECT_FALSE(QNTimerExpired(t));
  EXPECT_EQ(QNTimerRemaining(t), 1u);
  now_ += 1;
  EXPECT_TRUE(QNTimerExpired(t));
  EXPECT_EQ(QNTimerRemaining(t), 0u);

  QNStartTimer(t, -5);
  now_ += 1;
  EXPECT_TRUE(QNTimerExpired(t));
}

TEST_F(TimerTest, ATimerThatNeverExpires) {
  QNTimer t;
  QNStartTimer(t, -1);
  now_ += 0x7FFFFFFF;
  EXPECT_FALSE(QNTimerExpired(t));
  EXPECT_EQ(QNTimerRemaining(t), UINT32_MAX);
}

TEST_F(TimerTest, PeriodsAcrossTheWrapOfTheTickCountExpireOnTime) {
  for (std::uint32_t start : {0xFFFFFFFFu - 10, 0xFFFFFFFFu - 4999, 0xFFFFFFFFu, 0u}) {
    now_ = start;
    QNTimer t;
    QNStartTimer(t, 5000);
    for (std::uint32_t step : {1u, 10u, 4998u, 4999u}) {
      EXPECT_FALSE(QNTimerExpiredAt(t, start + step)) << start << "+" << step;
    }
    EXPECT_TRUE(QNTimerExpiredAt(t, start + 5000)) << start;
    EXPECT_TRUE(QNTimerExpiredAt(t, start + 20000)) << start;
    now_ = start + 2500;
    EXPECT_EQ(QNTimerRemaining(t), 2500u);
  }
}

}  // namespace
