// TSingleInstance: lets only one copy of the program run on a display (DisplayServerName; a
// copy on another display runs on its own).  Made by the main form at start-up:
// the first copy takes the guard and listens; a later copy asks the first to come to the front
// and terminates its application.  The request travels over the single-instance channel of the
// operating-system services and reaches a hidden window of the guard as the message registered
// under the application's Name + "-it_singleInstMsg", on the user-interface thread.
//
// main() takes the guard first thing with AcquireEarly, before any window or table exists, and
// ends at once when another copy runs; the main form's TSingleInstance then takes that guard
// over (a request that arrived in between is handled as soon as it does).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/classes/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/forms/messages.h"
#include "platform/win/winapi.h"

namespace tw {
class SingleInstance;
}

namespace tw::app {

struct TSingleInstanceChannel;

TW_DECLARE_EXCEPTION(EWrongOwner, Exception);
TW_DECLARE_EXCEPTION(EAppNameNotSet, Exception);

class TSingleInstance : public TComponent {
  TW_CLASS(TSingleInstance, TComponent)
 public:
  // Raises EWrongOwner when `owner` is not a form and EAppNameNotSet when the application has
  // no Name.  In the form designer it does nothing.
  explicit TSingleInstance(TComponent* owner);
  ~TSingleInstance() override;

  UINT MessageId() const { return message_; }
  std::uint32_t InstanceId() const { return id_; }
  HWND Handle() const { return window_; }
  // True unless another copy of the program was found running (then this copy's application
  // has been told to terminate).
  bool IsFirstInstance() const { return first_; }

  // Takes the guard for `appName` before the windows exist.  False when another copy runs: it
  // has been asked to come to the front, and this copy should end now.
  static bool AcquireEarly(const std::string& appName);
  // Gives up a guard taken early that no TSingleInstance took over.
  static void ReleaseEarly();

  // The folder of the guard's lock and socket; "" (the default) takes the system's.  Tests
  // point it to a temporary folder.
  static void SetRuntimeFolder(const std::string& folder);

 private:
  void WndProc(TMessage& msg);

  UINT message_ = 0;
  std::uint32_t id_ = 0;
  HWND window_ = 0;
  bool first_ = true;
  std::unique_ptr<SingleInstance> guard_;
  std::shared_ptr<TSingleInstanceChannel> channel_;
};

}  // namespace tw::app
