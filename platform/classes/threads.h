// Threads, locks and events.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/classes/object.h"

namespace tw {

// True once the process has started a thread of its own through TThread (never cleared).
// Code that locks only when other threads exist asks this.
bool IsMultiThread();
// Sets that flag for threads started otherwise than through TThread.
void SetMultiThread();

constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;

// A thread of the class library's kind: derive, override Execute, check Terminated().
// Execute is virtual, so the thread can start only once the derived object is complete: a
// thread created running (createSuspended false) starts in AfterConstruction, which
// TThread::Create<T>(args...) calls; a suspended one starts with Resume/Start.
// FreeOnTerminate frees the object when Execute has ended (WaitFor must then not be called).
// OnTerminate runs after Execute, through the synchronizer (see SetThreadSynchronizer), in
// the thread itself when none is installed.
class TThread : public TObject {
  TW_CLASS(TThread, TObject)
 public:
  explicit TThread(bool createSuspended);
  // A running thread is asked to terminate and waited for.  A derived class whose Execute
  // uses its own members calls TerminateAndWait() in its destructor, before they go.
  ~TThread() override;

  template <typename T, typename... Args>
  static T* Create(Args&&... args) {
    T* thread = new T(std::forward<Args>(args)...);
    thread->AfterConstruction();
    return thread;
  }
  // Starts a thread that was created running.
  void AfterConstruction();

  // Starts a thread created suspended (again: nothing).
  void Resume();
  void Start() { Resume(); }
  bool Suspended() const { return !started_; }
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  // Waits until Execute has ended; returns ReturnValue.  On a thread that was never started it
  // raises EThread.
  int WaitFor();
  bool FreeOnTerminate() const { return freeOnTerminate_; }
  void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }
  int ReturnValue() const { return returnValue_; }
  // The exception that ended Execute, if any.
  std::exception_ptr FatalException() const { return fatal_; }
  std::thread::id ThreadID() const { return id_; }

  std::function<void(TObject* sender)> OnTerminate;

 protected:
  virtual void Execute() = 0;
  void SetReturnValue(int value) { returnValue_ = value; }
  void TerminateAndWait();
  // Runs `method` through the synchronizer and waits for it.
  void Synchronize(const std::function<void()>& method);

 private:
  void Run();

  std::thread thread_;
  std::thread::id id_;
  bool startPending_ = false;
  std::atomic<bool> started_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> freeOnTerminate_{false};
  std::atomic<int> returnValue_{0};
  std::exception_ptr fatal_;
  std::mutex mutex_;
  std::condition_variable done_;
};

// Installs how Synchronize/OnTerminate reach the user-interface thread: the function must run
// its argument there and return when it has run.  nullptr: run it in the calling thread.
void SetThreadSynchronizer(std::function<void(const std::function<void()>&)> synchronizer);

// A recursive lock.
class TCriticalSection : public TObject {
  TW_CLASS(TCriticalSection, TObject)
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }

 private:
  std::recursive_mutex mutex_;
};

// Holds a critical section for its lifetime.
class TCriticalSectionGuard {
 public:
  explicit TCriticalSectionGuard(TCriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~TCriticalSectionGuard() { cs_.Leave(); }
  TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
  TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

 private:
  TCriticalSection& cs_;
};

enum class TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };
using enum TWaitResult;

// An event: manual reset stays signalled until ResetEvent; auto reset releases one waiter and
// clears itself.
class TEvent : public TObject {
  TW_CLASS(TEvent, TObject)
 public:
  TEvent(bool manualReset = true, bool initialState = false) : manual_(manualReset), signaled_(initialState) {}
  void SetEvent();
  void ResetEvent();
  // Timeout in milliseconds, INFINITE to wait for ever.
  TWaitResult WaitFor(std::uint32_t timeoutMs = INFINITE);

 private:
  bool manual_;
  bool signaled_;
  std::mutex mutex_;
  std::condition_variable cv_;
};

}  // namespace tw
