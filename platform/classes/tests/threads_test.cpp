#include "platform/classes/threads.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/rtl/exceptions.h"

namespace tw {
namespace {

class Counter : public TThread {
  TW_CLASS(Counter, TThread)
 public:
  Counter(bool suspended, TEvent* go, std::atomic<int>* count) : TThread(suspended), go_(go), count_(count) {}
  ~Counter() override { TerminateAndWait(); }

 protected:
  void Execute() override {
    if (go_ != nullptr) go_->WaitFor();
    while (!Terminated() && count_->load() < 1000) ++*count_;
    SetReturnValue(count_->load());
  }

 private:
  TEvent* go_;
  std::atomic<int>* count_;
};

class Thrower : public TThread {
  TW_CLASS(Thrower, TThread)
 public:
  Thrower() : TThread(true) {}
  ~Thrower() override { TerminateAndWait(); }

 protected:
  void Execute() override { throw EConvertError("bad"); }
};

class Spinner : public TThread {
  TW_CLASS(Spinner, TThread)
 public:
  explicit Spinner(std::atomic<bool>* freed) : TThread(true), freed_(freed) {}
  ~Spinner() override {
    TerminateAndWait();
    *freed_ = true;
  }

 protected:
  void Execute() override {
    while (!Terminated()) std::this_thread::yield();
  }

 private:
  std::atomic<bool>* freed_;
};

TEST(Threads, SuspendedStartWaitForAndReturnValue) {
  std::atomic<int> count{0};
  TEvent go(true, false);
  Counter t(true, &go, &count);
  EXPECT_TRUE(t.Suspended());
  std::unique_ptr<Counter> never(TThread::Create<Counter>(true, nullptr, &count));
  EXPECT_THROW(never->WaitFor(), EThread);  // never started
  bool terminated = false;
  t.OnTerminate = [&](TObject* sender) { terminated = sender == &t; };
  t.Resume();
  EXPECT_TRUE(IsMultiThread());
  go.SetEvent();
  EXPECT_EQ(t.WaitFor(), 1000);
  EXPECT_TRUE(t.Finished());
  EXPECT_TRUE(terminated);
}

TEST(Threads, CreatedRunningStartsAfterConstruction) {
  std::atomic<int> count{0};
  std::unique_ptr<Counter> t(TThread::Create<Counter>(false, nullptr, &count));
  EXPECT_FALSE(t->Suspended());
  EXPECT_EQ(t->WaitFor(), 1000);
}

TEST(Threads, ExceptionInExecuteIsKeptAndFreeOnTerminateFrees) {
  Thrower t;
  t.Start();
  t.WaitFor();
  ASSERT_TRUE(t.FatalException());
  EXPECT_THROW(std::rethrow_exception(t.FatalException()), EConvertError);

  std::atomic<bool> freed{false};
  auto* s = new Spinner(&freed);
  s->SetFreeOnTerminate(true);
  s->Start();
  s->Terminate();
  TEvent never;
  for (int i = 0; i < 500 && !freed; ++i) never.WaitFor(10);
  EXPECT_TRUE(freed);
}

TEST(Threads, DestroyingARunningThreadStopsIt) {
  std::atomic<bool> freed{false};
  {
    Spinner s(&freed);
    s.Start();
  }  // Terminate + wait
  EXPECT_TRUE(freed);
}

TEST(Locks, CriticalSectionIsRecursiveAndExcludesOthers) {
  TCriticalSection cs;
  {
    TCriticalSectionGuard outer(cs);
    TCriticalSectionGuard inner(cs);
    bool other = true;
    std::thread([&] {
      other = cs.TryEnter();
      if (other) cs.Leave();
    }).join();
    EXPECT_FALSE(other);
  }
  EXPECT_TRUE(cs.TryEnter());
  cs.Leave();
}

TEST(Events, ManualAndAutoReset) {
  TEvent manual(true, false);
  EXPECT_EQ(manual.WaitFor(0), wrTimeout);
  manual.SetEvent();
  EXPECT_EQ(manual.WaitFor(0), wrSignaled);
  EXPECT_EQ(manual.WaitFor(0), wrSignaled);  // stays set
  manual.ResetEvent();
  EXPECT_EQ(manual.WaitFor(1), wrTimeout);

  TEvent autoReset(false, true);
  EXPECT_EQ(autoReset.WaitFor(0), wrSignaled);
  EXPECT_EQ(autoReset.WaitFor(0), wrTimeout);  // released one waiter and cleared itself
  std::thread setter([&] { autoReset.SetEvent(); });
  EXPECT_EQ(autoReset.WaitFor(INFINITE), wrSignaled);
  setter.join();
}

}  // namespace
}  // namespace tw
