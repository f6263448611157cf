#include "app/lib/singleinstance.h"

#include <atomic>

#include "platform/forms/forms.h"
#include "platform/rtl/tickclock.h"
#include "platform/sys/singleinstance.h"
#include "platform/win/display.h"

namespace tw::app {

// Where the guard's listener thread delivers a newcomer's request: the hidden window of the
// TSingleInstance once there is one; until then the request is remembered.
struct TSingleInstanceChannel {
  std::atomic<HWND> window{0};
  std::atomic<UINT> message{0};
  std::atomic<std::uint32_t> id{0};
  std::atomic<bool> pending{false};

  // On the listener thread: the announcement (first parameter 0, second anything but our id).
  void Deliver(std::uint32_t sender) {
    if (Post(sender)) return;
    pending.store(true);
    // The window may have come meanwhile; whoever clears the flag posts.
    if (window.load() != 0 && pending.exchange(false)) Post(sender);
  }
  // On the user-interface thread, once the window exists.
  void Attach(HWND w, UINT msg, std::uint32_t ownId) {
    message.store(msg);
    id.store(ownId);
    window.store(w);
    if (pending.exchange(false)) Post(ownId + 1);
  }
  bool Post(std::uint32_t sender) {
    const HWND w = window.load();
    if (w == 0) return false;
    if (sender == id.load()) ++sender;
    PostMessage(w, message.load(), 0, static_cast<LPARAM>(sender));
    return true;
  }
};

namespace {
std::string& RuntimeFolder() {
  static std::string folder;
  return folder;
}
// A guard taken by main() before the main form exists, waiting to be taken over.
struct EarlyGuard {
  std::unique_ptr<SingleInstance> guard;
  std::shared_ptr<TSingleInstanceChannel> channel;
  std::string appName;
};
EarlyGuard& Early() {
  static EarlyGuard early;
  return early;
}
// First message parameter of an answer; a newcomer's announcement carries 0.
constexpr WPARAM kAnswer = 1;

SingleInstance::RequestHandler HandlerFor(std::shared_ptr<TSingleInstanceChannel> channel) {
  return [channel](const ActivationRequest& request) { channel->Deliver(request.ProcessId); };
}
}  // namespace

void TSingleInstance::SetRuntimeFolder(const std::string& folder) { RuntimeFolder() = folder; }

bool TSingleInstance::AcquireEarly(const std::string& appName) {
  ReleaseEarly();
  auto channel = std::make_shared<TSingleInstanceChannel>();
  auto guard = std::make_unique<SingleInstance>(appName, RuntimeFolder(), DisplayServerName());
  if (guard->Acquire({Application()->ExeName()}, HandlerFor(channel)) == SingleInstance::Role::Secondary) return false;
  Early() = EarlyGuard{std::move(guard), std::move(channel), appName};
  return true;
}

void TSingleInstance::ReleaseEarly() {
  EarlyGuard& early = Early();
  early.guard.reset();  // no handler runs after this
  early.channel.reset();
  early.appName.clear();
}

TSingleInstance::TSingleInstance(TComponent* owner) : TComponent(owner) {
  if (dynamic_cast<TCustomForm*>(owner) == nullptr)
    throw EWrongOwner("Owner von TSingleInstance sollte das Main-Form der Applikation sein");
  const std::string appName = Application()->Name();
  if (appName.empty()) throw EAppNameNotSet("Application.Name in projekt.dpr muss einen Wert haben");
  if (owner->ComponentState().Contains(TComponentStateFlag::csDesigning)) return;

  const std::string messageName = appName + "-it_singleInstMsg";
  message_ = RegisterWindowMessage(messageName.c_str());
  id_ = GetTickCount();
  window_ = AllocateHWnd([this](TMessage& msg) { WndProc(msg); });

  EarlyGuard& early = Early();
  if (early.guard && early.appName == appName) {
    // main() holds the guard already: take it over.
    guard_ = std::move(early.guard);
    channel_ = std::move(early.channel);
    early.appName.clear();
    channel_->Attach(window_, message_, id_);
    return;
  }
  channel_ = std::make_shared<TSingleInstanceChannel>();
  channel_->Attach(window_, message_, id_);
  guard_ = std::make_unique<SingleInstance>(appName, RuntimeFolder(), DisplayServerName());
  try {
    if (guard_->Acquire({Application()->ExeName()}, HandlerFor(channel_)) == SingleInstance::Role::Secondary) {
      // Another copy runs and has been asked to come to the front: this one ends.
      first_ = false;
      Application()->Terminate();
    }
  } catch (...) {
    guard_.reset();
    DeallocateHWnd(window_);
    window_ = 0;
    throw;
  }
}

TSingleInstance::~TSingleInstance() {
  // The guard first: after its destructor no handler posts to the window any more.
  guard_.reset();
  if (window_ != 0) DeallocateHWnd(window_);
}

void TSingleInstance::WndProc(TMessage& msg) {
  if (message_ != 0 && msg.Msg == message_) {
    if (static_cast<std::uint32_t>(msg.LParam) == id_) return;  // our own broadcast
    if (msg.WParam == kAnswer) {
      Application()->Terminate();
      return;
    }
    TCustomForm* mainForm = Application()->MainForm();
    if (mainForm != nullptr) {
      mainForm->Show();
      if (mainForm->HandleAllocated() && IsIconic(mainForm->Handle())) Application()->Restore();
      mainForm->BringToFront();
    }
    return;
  }
  msg.Result = DefWindowProc(window_, msg.Msg, msg.WParam, msg.LParam);
}

}  // namespace tw::app
