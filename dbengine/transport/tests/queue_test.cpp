// Assembly of messages from parts, reply bundles, nesting, and the retry of deferred requests
// on an injected tick clock.
#include <gtest/gtest.h>

#include <memory>

#include <vector>

#include "dbengine/base/errors.h"
#include "dbengine/transport/commswindow.h"
#include "dbengine/transport/message.h"
#include "dbengine/transport/messagequeue.h"
#include "platform/rtl/tickclock.h"
#include "platform/win/display.h"

namespace tw::dbengine {
namespace {

class MessageQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    SetTickSource([this] { return now; });
  }
  void TearDown() override { SetTickSource({}); }
  std::uint32_t now = 1000;
  TqnDataMessageQueue q;
};

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i);
  return v;
}

TEST_F(MessageQueueTest, PartsAreJoinedPerMessageAndClient) {
  auto a = Bytes(5000, 1), b = Bytes(5000, 9);
  q.AddMessage(1280, 7, 10000, 0, a.data(), 5000, 2024, false);
  q.AddMessage(1280, 8, 10000, 0, b.data(), 5000, 2024, true);  // same id, other connection
  EXPECT_TRUE(q.IsEmpty());
  EXPECT_TRUE(q.AppendPart(1280, 8, b.data() + 2024, 2024));
  EXPECT_TRUE(q.AppendPart(1280, 7, a.data() + 2024, 2024));
  EXPECT_TRUE(q.AppendPart(1280, 7, a.data() + 4048, 952));
  EXPECT_TRUE(q.AppendPart(1280, 8, b.data() + 4048, 952));
  ASSERT_EQ(q.ReadyCount(), 2u);
  TqnDataMessage* m = q.Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->ClientID, 7u);
  EXPECT_EQ(m->Data, a);
  EXPECT_FALSE(m->DataIsStream);
  q.RemoveHead();
  m = q.Head();
  EXPECT_EQ(m->ClientID, 8u);
  EXPECT_EQ(m->Data, b);
  EXPECT_TRUE(m->DataIsStream);
  q.RemoveHead();
  EXPECT_TRUE(q.IsEmpty());
}

TEST_F(MessageQueueTest, StrayDuplicatedAndOversizedPartsCannotOverrunTheMessage) {
  auto a = Bytes(3000, 3);
  EXPECT_FALSE(q.AppendPart(300, 1, a.data(), 100)) << "continuation without a first part is dropped";
  q.AddMessage(300, 1, 10000, 0, a.data(), 3000, 2024, false);
  // A part longer than what is missing only fills the message.
  EXPECT_TRUE(q.AppendPart(300, 1, a.data() + 2024, 2024));
  ASSERT_EQ(q.ReadyCount(), 1u);
  EXPECT_EQ(q.Head()->Received, 3000u);
  q.RemoveHead();
  EXPECT_FALSE(q.AppendPart(300, 1, a.data(), 10)) << "a duplicate of a finished message is dropped";
  // A first part that claims more than the total keeps only the total.
  q.AddMessage(301, 1, 0, 0, a.data(), 10, 2024, false);
  EXPECT_EQ(q.Head()->Data.size(), 10u);
  q.RemoveHead();
  EXPECT_THROW(q.AddMessage(302, 1, 0, 0, a.data(), 0xFFFFFFFFu, 24, false), EqnCommsException);
  EXPECT_EQ(q.IncompleteCount(), 0);
}

TEST_F(MessageQueueTest, UnfinishedMessagesOfAGoneOrRestartingSenderAreFreed) {
  auto a = Bytes(5000, 2), b = Bytes(5000, 40);
  q.AddMessage(1280, 7, 10000, 0, a.data(), 5000, 2024, false);
  q.AddMessage(1281, 7, 10000, 0, a.data(), 5000, 2024, false);
  q.AddMessage(1280, 8, 10000, 0, b.data(), 5000, 2024, false);
  EXPECT_EQ(q.IncompleteCount(), 3);
  // The sender of connection 7 hangs up in the middle: its parts can never come.
  EXPECT_EQ(q.DropIncomplete(7), 2);
  EXPECT_EQ(q.IncompleteCount(), 1);
  EXPECT_FALSE(q.AppendPart(1280, 7, a.data() + 2024, 2024));
  // A sender that starts a message again replaces its unfinished copy.
  q.AddMessage(1280, 8, 10000, 0, a.data(), 5000, 2024, false);
  EXPECT_EQ(q.IncompleteCount(), 1);
  EXPECT_TRUE(q.AppendPart(1280, 8, a.data() + 2024, 2024));
  EXPECT_TRUE(q.AppendPart(1280, 8, a.data() + 4048, 952));
  TqnDataMessage* m = q.Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Data, a) << "the restarted message, not a mix of both";
  q.RemoveHead();
  EXPECT_EQ(q.IncompleteCount(), 0);
  // Started again as a message of one part: the unfinished copy goes as well, and a stray part
  // of the old one finds nothing to join.
  q.AddMessage(1282, 8, 10000, 0, a.data(), 5000, 2024, false);
  q.AddMessage(1282, 8, 10000, 0, b.data(), 10, 10, false);
  EXPECT_EQ(q.IncompleteCount(), 0);
  EXPECT_EQ(q.IncompleteBytes(), 0u);
  EXPECT_FALSE(q.AppendPart(1282, 8, a.data() + 2024, 2024));
  m = q.Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Data, std::vector<std::uint8_t>(b.begin(), b.begin() + 10));
  q.RemoveHead();
}

TEST_F(MessageQueueTest, LargeAnnouncedMessageHoldsOnlyWhatArrived) {
  // A header may announce up to 64 MB; the queue keeps only the bytes that came, so many
  // announced-but-never-sent messages cannot exhaust memory.
  auto a = Bytes(2024, 5);
  for (std::uint32_t id = 0; id < 2000; ++id)
    q.AddMessage(256 + id, 1, 10000, 0, a.data(), kQnMaxMessageData, 2024, false);
  EXPECT_EQ(q.IncompleteCount(), 2000);
  EXPECT_EQ(q.DropIncomplete(1), 2000);
}

TEST_F(MessageQueueTest, EmptyRequestIsCompleteAtOnceAndNestedHeadGetsNothing) {
  q.AddMessage(qnmsgCheckSecureComms, 1, 10000, 0, nullptr, 0, 0, false);
  q.AddMessage(257, 1, 10000, 0, nullptr, 0, 0, false);
  TqnDataMessage* m = q.Head();
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->InUse);
  EXPECT_EQ(q.Head(), nullptr) << "the message being handled is not handed out twice";
  q.RemoveHead();
  ASSERT_NE(q.Head(), nullptr);
  EXPECT_EQ(q.Head(), nullptr);
}

TEST_F(MessageQueueTest, BundlesSplitIntoRepliesInRecordOrder) {
  std::vector<std::uint8_t> bundle;
  auto rec = Bytes(40, 0), bm = Bytes(8, 100);
  std::size_t pos = AddBundledReply(bundle, 0, 2049, 0, false, rec.data(), rec.size());
  AddBundledReply(bundle, pos, 1795, 0, false, bm.data(), bm.size());
  q.AddMessage(qnmsgReplyBundle, 4, 0, 0, bundle.data(), static_cast<std::uint32_t>(bundle.size()),
               static_cast<std::uint32_t>(bundle.size()), false);
  q.AddMessage(2050, 4, 0, 0, nullptr, 0, 0, false);
  TqnDataMessage* m = q.Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->MessageID, 2049u);
  EXPECT_EQ(m->Data, rec);
  EXPECT_EQ(m->ClientID, 4u);
  q.RemoveHead();
  m = q.Head();
  EXPECT_EQ(m->MessageID, 1795u);
  EXPECT_EQ(m->Data, bm);
  q.RemoveHead();
  EXPECT_EQ(q.Head()->MessageID, 2050u);
  q.RemoveHead();

  // A bundle with nothing readable becomes a failed reply, not silence.
  std::vector<std::uint8_t> junk(7, 0xEE);
  q.AddMessage(qnmsgReplyBundle, 4, 0, 0, junk.data(), 7, 7, false);
  m = q.Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->MessageID, qnmsgReplyBundle);
  EXPECT_EQ(m->ResultCode, qnresNetUnknown);
}

TEST_F(MessageQueueTest, LockConflictIsRetriedEvery100MsUntilItsDeadline) {
  q.AddMessage(2056, 3, kQnRequestTimeOut, 0, nullptr, 0, 0, false);
  int offers = 0;
  TqnDataMessage* m = q.Head();
  for (;;) {
    ASSERT_NE(m, nullptr);
    ++offers;
    if (!m->CanRetry) break;  // the handler now answers with the conflict
    m->RetryRequested = true;
    q.RemoveHead();
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(q.DeferredCount(), 1);
    EXPECT_TRUE(q.RetryTimerEnabled());
    now += kQnRetryInterval;
    q.RetryTimerTick();
    EXPECT_FALSE(q.RetryTimerEnabled());
    m = q.Head();
    ASSERT_LT(offers, 1000);
  }
  EXPECT_EQ(offers, 101) << "first offer, 99 retries before the deadline, one last offer";
  q.RemoveHead();
  EXPECT_TRUE(q.IsEmpty());
  EXPECT_EQ(q.DeferredCount(), 0);
}

TEST_F(MessageQueueTest, DeadlineComparisonSurvivesTheWrapOfTheTickCount) {
  now = 0xFFFFFF00u;
  q.AddMessage(2056, 3, kQnRequestTimeOut, 0, nullptr, 0, 0, false);
  q.Head()->RetryRequested = true;
  q.RemoveHead();
  now += 500;  // wrapped past zero, still long before the deadline
  q.RetryTimerTick();
  TqnDataMessage* m = q.Head();
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->CanRetry);
  q.RemoveHead();
}

TEST_F(MessageQueueTest, RequestWithoutTimeOutIsNeverDeferred) {
  q.AddMessage(4, 3, 0, 0, nullptr, 0, 0, false);
  TqnDataMessage* m = q.Head();
  EXPECT_FALSE(m->CanRetry);
  m->RetryRequested = true;
  q.RemoveHead();
  EXPECT_EQ(q.DeferredCount(), 0);
}

TEST_F(MessageQueueTest, RetryTimerRunsOnTheHandlerWindowAndTellsIt) {
  // A client waiting for its reply pumps only its own windows, the handler window among them.
  int told = 0;
  HWND handler = QNCreateCommsWindow(
      [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == kQnRequestComplete) ++told;
        return DefWindowProc(h, m, w, l);
      },
      true);
  q.SetHandlerWindow(handler);
  q.AddMessage(2056, 3, kQnRequestTimeOut, 0, nullptr, 0, 0, false);
  q.Head()->RetryRequested = true;
  q.RemoveHead();
  AdvanceTime(150);
  MSG m;
  while (PeekMessage(&m, handler, 0, 0, PM_REMOVE)) DispatchMessage(&m);  // the timer fires and requeues
  EXPECT_FALSE(q.IsEmpty());
  EXPECT_EQ(told, 1);
  QNDestroyCommsWindow(handler);
}

TEST_F(MessageQueueTest, AHandlerThatDestroysItsOwnWindowFinishesAndTheWindowHearsNoMore) {
  int calls = 0, afterDestroy = 0;
  bool destroyed = false;
  HWND self = 0;
  self = QNCreateCommsWindow(
      [&, keep = std::make_shared<int>(7)](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == kQnRequestComplete) {
          ++calls;
          QNDestroyCommsWindow(h);
          destroyed = true;
          afterDestroy = *keep;  // the handler's own state is still there
          return 0;
        }
        return DefWindowProc(h, m, w, l);
      },
      true);
  ASSERT_NE(self, 0u);
  SendMessage(self, kQnRequestComplete, 0, 0);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(afterDestroy, 7);
  EXPECT_FALSE(IsWindow(self));
  SendMessage(self, kQnRequestComplete, 0, 0);
  EXPECT_EQ(calls, 1);
  // A new window after it gets its own handler.
  int other = 0;
  HWND next = QNCreateCommsWindow(
      [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == kQnRequestComplete) ++other;
        return DefWindowProc(h, m, w, l);
      },
      true);
  SendMessage(next, kQnRequestComplete, 0, 0);
  EXPECT_EQ(other, 1);
  EXPECT_EQ(calls, 1);
  QNDestroyCommsWindow(next);
}

}  // namespace
}  // namespace tw::dbengine
