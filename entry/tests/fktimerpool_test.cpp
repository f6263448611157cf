#include <gtest/gtest.h>

#include <vector>

#include "entry/fkcontroller.h"
#include "entry/fktimerpool.h"
#include "entry/tests/entry_test_util.h"
#include "platform/rtl/tickclock.h"

namespace tw::entry {
namespace {

class TimerPoolTest : public test::EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    SetTickSource([] { return static_cast<std::uint32_t>(Display().NowMs()); });
  }
  void TearDown() override {
    SetTickSource(nullptr);
    EntryGuiTest::TearDown();
  }
  static void Run(int ms) {
    for (int i = 0; i < ms; i += 5) {
      Display().AdvanceClock(5);
      Pump();
    }
  }
};

TEST_F(TimerPoolTest, CommonIntervalDividesEveryTrigger) {
  auto* controller = new TFkController(Application());
  TFkTimerPool* pool = controller->TimerPool();
  EXPECT_EQ(pool->CommonInterval(), 65535) << "no trigger, no timer";
  std::int32_t a = pool->Add(300, nullptr, true);
  EXPECT_EQ(pool->CommonInterval(), 300);
  pool->Add(200, nullptr, true);
  EXPECT_EQ(pool->CommonInterval(), 100);
  pool->Add(70, nullptr, true);
  EXPECT_EQ(pool->CommonInterval(), 55) << "never below 55 ms";
  pool->Remove(a);
  EXPECT_FALSE(pool->Remove(a));
  EXPECT_EQ(pool->Count(), 2);
}

TEST_F(TimerPoolTest, RepeatingAndOneShotTriggersFireOnTheVirtualClock) {
  auto* controller = new TFkController(Application());
  std::vector<std::int32_t> relayed;
  controller->OnTimerTrigger = [&](TObject*, std::int32_t handle, std::uint16_t, std::int32_t) {
    relayed.push_back(handle);
  };
  TFkTimerPool* pool = controller->TimerPool();
  int repeats = 0, shots = 0;
  std::int32_t elapsedAtShot = 0;
  std::int32_t rep = pool->Add(100, [&](TObject*, std::int32_t, std::uint16_t, std::int32_t) { ++repeats; }, true);
  std::int32_t one = pool->Add(200, [&](TObject*, std::int32_t, std::uint16_t, std::int32_t e) {
    ++shots;
    elapsedAtShot = e;
  }, false);
  Run(1000);
  EXPECT_GE(repeats, 9);
  EXPECT_LE(repeats, 11);
  EXPECT_EQ(shots, 1);
  EXPECT_GE(elapsedAtShot, 173);
  EXPECT_EQ(pool->Count(), 1) << "the one-shot trigger is gone";
  EXPECT_EQ(std::count(relayed.begin(), relayed.end(), one), 1);
  EXPECT_EQ(static_cast<int>(std::count(relayed.begin(), relayed.end(), rep)), repeats);
  pool->SetEnabled(rep, false);
  const int before = repeats;
  Run(500);
  EXPECT_EQ(repeats, before);
}

TEST_F(TimerPoolTest, HandlerMayRemoveItsOwnTrigger) {
  auto* controller = new TFkController(Application());
  TFkTimerPool* pool = controller->TimerPool();
  int calls = 0;
  std::int32_t self = 0;
  self = pool->Add(100, [&](TObject*, std::int32_t, std::uint16_t, std::int32_t) {
    ++calls;
    pool->Remove(self);
  }, true);
  int other = 0;
  pool->Add(100, [&](TObject*, std::int32_t, std::uint16_t, std::int32_t) { ++other; }, true);
  Run(450);
  EXPECT_EQ(calls, 1);
  EXPECT_GE(other, 3);
}

}  // namespace
}  // namespace tw::entry
