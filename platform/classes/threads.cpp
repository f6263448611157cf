#include "platform/classes/threads.h"
#include "platform/classes/classesconst.h"

#include <chrono>

#include "platform/rtl/exceptions.h"

namespace tw {

namespace {

std::atomic<bool> gMultiThread{false};

std::mutex& SynchronizerMutex() {
  static std::mutex m;
  return m;
}

std::function<void(const std::function<void()>&)>& Synchronizer() {
  static std::function<void(const std::function<void()>&)> s;
  return s;
}

void RunSynchronized(const std::function<void()>& method) {
  std::function<void(const std::function<void()>&)> sync;
  {
    std::lock_guard lock(SynchronizerMutex());
    sync = Synchronizer();
  }
  if (sync)
    sync(method);
  else
    method();
}

}  // namespace

bool IsMultiThread() { return gMultiThread.load(); }
void SetMultiThread() { gMultiThread = true; }

void SetThreadSynchronizer(std::function<void(const std::function<void()>&)> synchronizer) {
  std::lock_guard lock(SynchronizerMutex());
  Synchronizer() = std::move(synchronizer);
}

TThread::TThread(bool createSuspended) : startPending_(!createSuspended) {}

TThread::~TThread() { TerminateAndWait(); }

void TThread::TerminateAndWait() {
  std::unique_lock lock(mutex_);
  if (!thread_.joinable()) return;
  if (std::this_thread::get_id() == thread_.get_id()) {
    // Freed from its own Execute or OnTerminate: nobody can join it.
    thread_.detach();
    return;
  }
  Terminate();
  std::thread t = std::move(thread_);
  lock.unlock();
  t.join();
}

void TThread::AfterConstruction() {
  if (startPending_) {
    startPending_ = false;
    Resume();
  }
}

void TThread::Resume() {
  std::lock_guard lock(mutex_);
  if (started_.exchange(true)) return;
  gMultiThread = true;
  thread_ = std::thread([this] { Run(); });
  id_ = thread_.get_id();
}

void TThread::Run() {
  {
    // Resume has finished setting up thread_ once this lock is free.
    std::lock_guard lock(mutex_);
  }
  try {
    Execute();
  } catch (...) {
    fatal_ = std::current_exception();
  }
  try {
    if (OnTerminate) RunSynchronized([this] { OnTerminate(this); });
  } catch (...) {
    if (!fatal_) fatal_ = std::current_exception();
  }
  if (freeOnTerminate_) {
    // Nobody waits for a thread that frees itself: let go of the handle, then free the object.
    {
      std::lock_guard lock(mutex_);
      thread_.detach();
      finished_ = true;
    }
    delete this;
    return;
  }
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  done_.notify_all();
}

int TThread::WaitFor() {
  if (!started_) throw EThread(classesconst::SThreadNotStarted);
  if (std::this_thread::get_id() == id_) throw EThread(classesconst::SThreadWaitsForItself);
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return finished_.load(); });
  if (thread_.joinable()) {
    std::thread t = std::move(thread_);
    lock.unlock();
    t.join();
  }
  return returnValue_;
}

void TThread::Synchronize(const std::function<void()>& method) { RunSynchronized(method); }

void TEvent::SetEvent() {
  {
    std::lock_guard lock(mutex_);
    signaled_ = true;
  }
  if (manual_)
    cv_.notify_all();
  else
    cv_.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard lock(mutex_);
  signaled_ = false;
}

TWaitResult TEvent::WaitFor(std::uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (timeoutMs == INFINITE) {
    cv_.wait(lock, [this] { return signaled_; });
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signaled_; })) {
    return wrTimeout;
  }
  if (!manual_) signaled_ = false;
  return wrSignaled;
}

}  // namespace tw
