// The controller of a form's entry controls and the base class of every entry control.
//
// TFkController owns what the fields of one form share: the key command processor, the
// century window for two-digit years, the insert mode carried from field to field, the latch
// that marks an error report as under way, the last error text and the form-wide events.  Its
// hidden window receives the notifications that the fields post, so each event runs after the
// focus change that caused it.
//
// TFkBase binds a control to its form's controller and refuses to make its window without one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <map>
#include <string>

#include "entry/fkcmd.h"
#include "entry/fktimerpool.h"
#include "platform/forms/controls.h"

namespace tw::entry {

// Messages between the entry controls and their controller.
constexpr UINT FK_ERRORREPORT = 0x7F00;   // to a field: show the report of error wParam
constexpr UINT FK_SHOWCONTROL = 0x7F01;   // to the controller: show and focus lParam
constexpr UINT FK_GETDATASIZE = 0x7F03;   // to a field: the size of its value
constexpr UINT FK_PREEDIT = 0x7F06;
constexpr UINT FK_POSTEDIT = 0x7F07;
constexpr UINT FK_AFTERENTER = 0x7F08;
constexpr UINT FK_AFTEREXIT = 0x7F09;
constexpr UINT FK_DELAYNOTIFY = 0x7F0A;
constexpr UINT FK_FOCUSMOVE = 0x7F0B;     // to a field: focus to the next (0) or previous (1) control

inline constexpr const char* kFkVersion = "2.13.00";

using TDelayNotifyEvent = std::function<void(TObject* Sender, std::uint16_t NotifyCode)>;
using TDataErrorEvent = std::function<void(TObject* Sender, std::uint16_t ErrorCode, const std::string& ErrorMsg)>;
using TIsSpecialControlEvent = std::function<void(TObject* Sender, TWinControl* Control, bool& Special)>;
using TPostEditEvent = std::function<void(TObject* Sender, TWinControl* GainingControl)>;
using TPreEditEvent = std::function<void(TObject* Sender, TWinControl* LosingControl)>;

class TFkController : public TComponent {
  TW_CLASS(TFkController, TComponent)
 public:
  explicit TFkController(TComponent* owner);
  ~TFkController() override;

  TWinControl* BtnCancel = nullptr;
  TWinControl* BtnHelp = nullptr;
  TWinControl* BtnRestore = nullptr;
  TWinControl* GetBtnCancel() const { return BtnCancel; }
  TWinControl* GetBtnHelp() const { return BtnHelp; }
  TWinControl* GetBtnRestore() const { return BtnRestore; }
  void SetBtnCancel(TWinControl* c) { SetButton(BtnCancel, c); }
  void SetBtnHelp(TWinControl* c) { SetButton(BtnHelp, c); }
  void SetBtnRestore(TWinControl* c) { SetButton(BtnRestore, c); }

  TFkCommandProcessor* EntryCommands() const { return commands_.get(); }
  TFkTimerPool* TimerPool() const { return timerPool_; }
  int Epoch() const { return epoch_; }
  // Only 1600..3999 are taken; anything else is ignored.
  void SetEpoch(int value);
  std::string Version() const { return kFkVersion; }
  void SetVersion(const std::string&) {}

  bool ErrorPending = false;
  std::string ErrorText;
  bool InsertMode = true;

  // The hidden window, made on first use.
  HWND Handle();
  virtual bool IsSpecialControl(HWND window);
  void ReportFieldError(TObject* sender, std::uint16_t code, const std::string& message);
  void NotifyPreEdit(TObject* sender, TWinControl* losing);
  void NotifyPostEdit(TObject* sender, TWinControl* gaining);
  // Asks for an OnDelayNotify call once the current message is done.
  void DelayNotify(TObject* sender, std::uint16_t code);

  TDelayNotifyEvent OnDelayNotify;
  TDataErrorEvent OnError;
  TIsSpecialControlEvent OnIsSpecialControl;
  TPostEditEvent OnPostEdit;
  TPreEditEvent OnPreEdit;
  TTriggerEvent OnTimerTrigger;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void SetButton(TWinControl*& slot, TWinControl* c);
  void WndProc(TMessage& msg);
  // Posts a notification; lParam is a number under which the sender is kept until the message
  // is handled.  A component sender freed meanwhile is forgotten and gets no event.
  void PostNotify(UINT message, WPARAM wParam, TObject* sender);
  // The sender posted under a number (and forgets it); false when it is gone.
  bool TakeSender(LPARAM id, TObject*& sender);

  std::unique_ptr<TFkCommandProcessor> commands_;
  TFkTimerPool* timerPool_ = nullptr;  // owned as a component
  int epoch_ = 1900;
  HWND window_ = 0;
  std::map<LPARAM, TObject*> pendingSenders_;
  LPARAM lastSenderId_ = 0;
};

class TFkBase : public TCustomControl {
  TW_CLASS(TFkBase, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TFkBase(TComponent* owner);
  ~TFkBase() override;

  TFkController* Controller() const { return controller_; }
  void SetController(TFkController* c);
  bool ControllerAssigned() const { return controller_ != nullptr; }
  std::string Version() const { return kFkVersion; }
  void SetVersion(const std::string&) {}

  TNotifyEvent AfterEnter;
  TNotifyEvent AfterExit;

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  // Finds the form's controller; raises ENoControllerAssigned when there is none.
  void CreateWnd() override;

  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);
  void FKAfterEnter(TMessage& msg);
  void FKAfterExit(TMessage& msg);

 private:
  TFkController* controller_ = nullptr;
};

}  // namespace tw::entry
