// Forms, the application object and the screen.
//
// TCustomForm/TForm: a top-level window with caption, border style and icons, position on
// first showing, modal showing with a nested message loop, closing with CloseQuery/OnClose,
// activation and the focused control.  TApplication (`Application()`): the message loop, the
// main form, idle processing and the handling of exceptions that escape event handlers.
// TScreen (`Screen()`): the forms that exist, the active form and control, the screen cursor
// and metrics, the installed fonts.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/stringlist.h"
#include "platform/forms/controls.h"
#include "platform/gfx/graphic.h"
#include "platform/rtl/exceptions.h"

namespace tw {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
TW_ENUM_NAMES(TFormBorderStyle, "bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin");

enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
TW_ENUM_NAMES(TBorderIcon, "biSystemMenu", "biMinimize", "biMaximize", "biHelp");
using TBorderIcons = Set<TBorderIcon>;

enum class TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
TW_ENUM_NAMES(TPosition, "poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
              "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter");

enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
TW_ENUM_NAMES(TFormStyle, "fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop");

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
TW_ENUM_NAMES(TWindowState, "wsNormal", "wsMinimized", "wsMaximized");

enum class TFormStateFlag { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = Set<TFormStateFlag>;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
TW_ENUM_NAMES(TCloseAction, "caNone", "caHide", "caFree", "caMinimize");

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
  TW_CLASS(TCustomForm, TWinControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  // Runs OnCreate; Application()->CreateForm calls it once the form is built (and its
  // properties and handlers are in place).
  virtual void AfterConstruction();
  // Runs OnDestroy (once) while the whole form, its descendants' members included, still
  // exists; Free, FreeAndNil, the owner and Release come through here.  A form deleted directly
  // runs OnDestroy from its destructor instead.
  void BeforeDestruction() override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool value) { keyPreview_ = value; }
  TFormState FormState() const { return formState_; }
  TIcon* Icon() const { return icon_.get(); }
  void SetIcon(TIcon* icon);

  // The control that has (or gets, when the form is activated) the focus.  Raises
  // EInvalidOperation "Cannot focus a disabled or invisible window" for a control that cannot
  // take it while the form is visible.
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  // Gives `control` the focus once the form is active (or at once when it is).
  void FocusControl(TWinControl* control);
  // Called as a window of the form takes the focus: runs OnExit/OnEnter of the controls
  // whose focus changes.  False when an event handler moved the focus elsewhere.
  bool SetFocusedControl(TWinControl* control);
  // A control of the form is going away or can no longer hold the focus.
  void ControlRemoved(TControl* control);
  bool Active() const { return active_; }

  // Values that form resources carry about the design of the form; kept, not acted on (the
  // program draws at 96 pixels per inch, as the forms were designed).
  const std::string& HelpFile() const { return helpFile_; }
  void SetHelpFile(const std::string& file) { helpFile_ = file; }
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { pixelsPerInch_ = ppi; }
  int TextHeight() const { return textHeight_; }
  void SetTextHeight(int height) { textHeight_ = height; }
  bool Scaled() const { return scaled_; }
  void SetScaled(bool value) { scaled_ = value; }
  bool OldCreateOrder() const { return oldCreateOrder_; }
  void SetOldCreateOrder(bool value) { oldCreateOrder_ = value; }
  bool AutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool value) { autoScroll_ = value; }

  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }

  void Show();
  void Hide();
  // Shows the form and runs a message loop until ModalResult is set (by a handler, a button, or
  // Close, which gives mrCancel); the other forms are disabled meanwhile.  Returns the result.
  // Raises EInvalidOperation "Cannot make a visible window modal" for a shown form.
  virtual TModalResult ShowModal();
  // Asks OnCloseQuery, then runs OnClose and does what its action says; closing the main form
  // ends the application.
  void Close();
  virtual bool CloseQuery();
  // Frees the form once the messages now pending are handled (safe from its own handlers).
  void Release();
  void BringToFront();
  void SetFocus() override;
  bool CanFocus() const override;
  TRect GetClientRect() const override;
  TPoint ClientOrigin() const override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void CreateParams(TCreateParams& params) override;
  void UpdateShowing() override;
  void PaintWindow(HDC dc) override;
  virtual void Paint();
  virtual void DoClose(TCloseAction& action);
  virtual void DoShow();
  virtual void DoHide();
  virtual void Activate();
  virtual void Deactivate();
  void Notification(TComponent* component, TOperation operation) override;

  void DestroyWnd() override;

  void WMActivate(TMessage& msg);
  void WMClose(TMessage& msg);
  void WMSizeForm(TMessage& msg);
  void WMActivateApp(TMessage& msg);
  void CMDialogKeyForm(TMessage& msg);
  void CMRelease(TMessage& msg);

 private:
  // The window styles of the border style, icons and form style.
  void FormStyleBits(DWORD& style, DWORD& exStyle) const;
  void DoDestroy();
  void PlaceOnFirstShow();
  void CloseModal();
  void SetWindowFocus();

  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TBorderIcons borderIcons_{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
  TPosition position_ = TPosition::poDesigned;
  TFormStyle formStyle_ = TFormStyle::fsNormal;
  TWindowState windowState_ = TWindowState::wsNormal;
  bool keyPreview_ = false;
  TFormState formState_;
  std::unique_ptr<TIcon> icon_;
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  bool active_ = false;
  bool placed_ = false;
  bool created_ = false;
  bool destroyEventDone_ = false;
  TModalResult modalResult_ = mrNone;
  std::unique_ptr<TControlCanvas> canvas_;
  std::string helpFile_;
  int pixelsPerInch_ = 96;
  int textHeight_ = 13;
  bool scaled_ = true;
  bool oldCreateOrder_ = false;
  bool autoScroll_ = true;

 public:
  TCanvas* Canvas() const { return canvas_.get(); }
};

class TForm : public TCustomForm {
  TW_CLASS(TForm, TCustomForm)

 public:
  explicit TForm(TComponent* owner);
};

// --- the application

using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TMessageEvent = std::function<void(MSG& Msg, bool& Handled)>;
// A hook of the application window: true when it handled the message.
using TWindowHook = std::function<bool(TMessage& Message)>;

// The message-box routine that ShowException and MessageBox use (the dialog classes replace
// it; tests record through it).  Returns the button pressed (IDOK ...).  The default writes the
// caption and text to the standard error stream and returns IDOK.
using TMessageBoxFunc = std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;
void SetMessageBoxFunc(TMessageBoxFunc func);
const TMessageBoxFunc& MessageBoxFunc();

class TApplication : public TComponent {
  TW_CLASS(TApplication, TComponent)

 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  void Initialize();
  // Makes a form owned by the application; the first becomes MainForm.
  template <typename T>
  T* CreateForm() {
    T* form = new T(this);
    RegisterCreatedForm(form);
    return form;
  }
  // Runs the form initializer (reading the form's description, when one is installed), then the
  // form's creation; the first form becomes the main form.  A form whose initializer fails is
  // freed and the failure passes on.
  void RegisterCreatedForm(TCustomForm* form);
  // Shows the main form and handles messages until it closes or Terminate is called.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles every message waiting, then returns.
  void ProcessMessages();
  // Handles one message, or runs idle processing and waits for one when none waits.
  void HandleMessage();
  // Handles the exception now being caught: EAbort is dropped silently, otherwise OnException
  // or ShowException.  Call it only inside a catch block.
  void HandleException(TObject* sender);
  void ShowException(const std::exception& e);
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

  TCustomForm* MainForm() const { return mainForm_; }
  // A hidden window of the application (made on first use) for messages meant for the program
  // as a whole; unhandled messages get the default handling.
  HWND Handle();
  // Hooks see every message of the application window first (the newest hook first); the
  // application sends CM_ACTIVATE and CM_DEACTIVATE there when the program gains or loses the
  // active window.  HookMainWindow returns the id that UnhookMainWindow takes.
  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int id);
  // Called by the forms as the program's windows become active or inactive as a whole.
  void ActivateChanged(bool active);
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  const std::string& HelpFile() const { return helpFile_; }
  void SetHelpFile(const std::string& file) { helpFile_ = file; }
  // The full path of the running program.
  std::string ExeName() const;
  bool ShowMainForm() const { return showMainForm_; }
  void SetShowMainForm(bool value) { showMainForm_ = value; }
  // The hint of the control under the mouse (set as the mouse moves over controls).
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value) { showHint_ = value; }
  bool Active() const { return active_; }

  void Minimize();
  void Restore();
  void BringToFront();

  TExceptionEvent OnException;
  TIdleEvent OnIdle;
  // Every message the loop takes from the queue, before it is dispatched.
  TMessageEvent OnMessage;
  TNotifyEvent OnHint;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

  // Key messages go first to the focused control as CN_* messages (dialog keys such as Tab);
  // true when one consumed the key.
  bool IsKeyMsg(MSG& msg);
  // Idle processing: OnIdle, then (unless it asks for more) waits for a message.
  void Idle();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend void ControlDestroying(TControl* control);
  friend void ControlMouseMoved(TControl* control);
  bool ProcessMessage(MSG& msg);
  void WndProc(TMessage& msg);

  HWND handle_ = 0;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool showMainForm_ = true;
  std::string title_;
  std::string helpFile_;
  std::string hint_;
  bool showHint_ = true;
  TControl* mouseControl_ = nullptr;
  bool active_ = false;
  std::vector<std::pair<int, TWindowHook>> hooks_;
  int nextHookId_ = 1;
};

// The application object (made on first use).
TApplication* Application();

// --- the screen

class TScreen : public TComponent {
  TW_CLASS(TScreen, TComponent)

 public:
  explicit TScreen(TComponent* owner);
  ~TScreen() override;

  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int index) const;
  TCustomForm* ActiveForm() const { return activeForm_; }
  TWinControl* ActiveControl() const { return activeControl_; }

  // The cursor of the whole program: while it is not crDefault it shows everywhere (the
  // hour-glass during long work).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // The window-system cursor of a cursor number.
  HCURSOR Cursors(TCursor cursor) const;

  int Width() const;
  int Height() const;
  int PixelsPerInch() const;
  // Font family names the machine has, sorted.
  TStrings* Fonts();

  TNotifyEvent OnActiveFormChange;
  TNotifyEvent OnActiveControlChange;

  // Kept by the forms themselves.
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  void SetActiveForm(TCustomForm* form);
  void SetActiveControl(TWinControl* control);

 private:
  friend void ControlDestroying(TControl* control);
  std::vector<TCustomForm*> forms_;
  TCustomForm* activeForm_ = nullptr;
  TWinControl* activeControl_ = nullptr;
  TCursor cursor_ = crDefault;
  std::unique_ptr<TStringList> fonts_;
};

TScreen* Screen();

// Frees the application object (with the forms it owns) and the screen; the next call of
// Application() or Screen() makes new ones.  The program calls it at its end; tests call it
// between cases.
void DoneApplication();

// Called by Application()->CreateForm for every new form before its creation runs; the form
// resources install one that reads the form's description.  An empty function removes it.
using TFormInitializer = std::function<void(TCustomForm*)>;
void SetFormInitializer(TFormInitializer initializer);

}  // namespace tw
