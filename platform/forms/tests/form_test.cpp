// Forms: modal showing with its result, closing with CloseQuery and OnClose actions, the main
// form ending the application, activation, placement and release.
#include <gtest/gtest.h>

#include "forms_test_util.h"

namespace tw::test {
namespace {

class FormTest : public FormsTest {};

// Fails the running test and ends the loop it drives.
std::function<void()> Stuck(TCustomForm* form) {
  return [form] {
    ADD_FAILURE() << "the loop did not end";
    if (form->FormState().Contains(TFormStateFlag::fsModal))
      form->SetModalResult(mrAbort);
    else
      Application()->Terminate();
  };
}

TEST_F(FormTest, ModalResultSetByAClickHandlerEndsShowModal) {
  TForm* owner = NewForm();
  owner->Show();
  TForm* dialog = NewForm(200, 100);
  auto* okButton = new TTestPanel(dialog);
  okButton->SetParent(dialog);
  okButton->SetBounds(10, 10, 60, 25);
  okButton->OnClick = [dialog](TObject*) { dialog->SetModalResult(mrOk); };
  bool ownerEnabledDuringModal = true;
  bool modalStateSeen = false;
  DriveIdle({[&] {
               ownerEnabledDuringModal = IsWindowEnabled(owner->Handle());
               modalStateSeen = dialog->FormState().Contains(TFormStateFlag::fsModal);
               InjectClick(okButton->Handle(), 5, 5);
             }},
            Stuck(dialog));
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_FALSE(ownerEnabledDuringModal) << "other forms are disabled while the modal form is up";
  EXPECT_TRUE(modalStateSeen);
  EXPECT_TRUE(IsWindowEnabled(owner->Handle())) << "and enabled again afterwards";
  EXPECT_FALSE(dialog->Visible());
  EXPECT_FALSE(dialog->FormState().Contains(TFormStateFlag::fsModal));
  EXPECT_THROW(owner->ShowModal(), EInvalidOperation) << "a visible form cannot be made modal";
}

TEST_F(FormTest, ModalResultSetByAKeyAndCloseGivesCancel) {
  TForm* dialog = NewForm();
  dialog->SetKeyPreview(true);
  dialog->OnKeyDown = [dialog](TObject*, Word& key, TShiftState) {
    if (key == VK_ESCAPE) dialog->SetModalResult(mrCancel);
    if (key == VK_RETURN) dialog->SetModalResult(mrYes);
  };
  DriveIdle({[] { InjectKey(VK_RETURN); }}, Stuck(dialog));
  EXPECT_EQ(dialog->ShowModal(), mrYes);

  DriveIdle({[dialog] { dialog->Close(); }}, Stuck(dialog));
  EXPECT_EQ(dialog->ShowModal(), mrCancel) << "Close of a modal form answers mrCancel";

  // A modal loop can run again and nest: a second dialog over the first.
  TForm* inner = NewForm();
  inner->OnShow = [inner](TObject*) { PostMessage(inner->Handle(), WM_CLOSE, 0, 0); };
  TModalResult innerResult = mrNone;
  bool outerDisabled = false;
  inner->OnActivate = [&](TObject*) { outerDisabled = !IsWindowEnabled(dialog->Handle()); };
  DriveIdle({[&] {
               innerResult = inner->ShowModal();
               dialog->SetModalResult(mrIgnore);
             }},
            Stuck(dialog));
  EXPECT_EQ(dialog->ShowModal(), mrIgnore);
  EXPECT_EQ(innerResult, mrCancel);
  EXPECT_TRUE(outerDisabled);
}

TEST_F(FormTest, CloseQueryCanRefuseAndOnCloseChoosesTheAction) {
  TForm* form = NewForm();
  form->Show();
  bool allow = false;
  int queries = 0;
  form->OnCloseQuery = [&](TObject*, bool& canClose) {
    ++queries;
    canClose = allow;
  };
  TCloseAction action = TCloseAction::caHide;
  int closes = 0;
  form->OnClose = [&](TObject*, TCloseAction& a) {
    ++closes;
    EXPECT_EQ(a, TCloseAction::caHide) << "the default action";
    a = action;
  };
  form->Close();
  EXPECT_TRUE(form->Visible()) << "CloseQuery refused";
  EXPECT_EQ(queries, 1);
  EXPECT_EQ(closes, 0);

  allow = true;
  action = TCloseAction::caNone;
  form->Close();
  EXPECT_TRUE(form->Visible()) << "caNone keeps the form";
  action = TCloseAction::caMinimize;
  form->Close();
  EXPECT_EQ(form->WindowState(), TWindowState::wsMinimized);
  EXPECT_TRUE(form->Visible());
  action = TCloseAction::caHide;
  SendMessage(form->Handle(), WM_CLOSE, 0, 0);  // the window's close box
  EXPECT_FALSE(form->Visible());

  // caFree: the form is freed once the pending messages are handled.
  form->Show();
  action = TCloseAction::caFree;
  bool destroyed = false;
  form->OnDestroy = [&](TObject*) { destroyed = true; };
  const int before = Screen()->FormCount();
  form->Close();
  EXPECT_FALSE(destroyed) << "not inside Close itself";
  Pump();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Screen()->FormCount(), before - 1);
}

TEST_F(FormTest, ModalCloseRefusedByCloseQueryKeepsTheLoopRunning) {
  TForm* dialog = NewForm();
  int refusals = 0;
  dialog->OnCloseQuery = [&](TObject*, bool& canClose) {
    canClose = refusals > 0;
    ++refusals;
  };
  DriveIdle({[dialog] { dialog->SetModalResult(mrOk); }, [dialog] {
               EXPECT_EQ(dialog->ModalResult(), mrNone) << "a refused close resets the result";
               dialog->SetModalResult(mrNo);
             }},
            Stuck(dialog));
  EXPECT_EQ(dialog->ShowModal(), mrNo);
  EXPECT_EQ(refusals, 2);
}

TEST_F(FormTest, ClosingTheMainFormEndsRun) {
  TForm* main = Application()->CreateForm<TForm>();
  TForm* second = Application()->CreateForm<TForm>();
  EXPECT_EQ(Application()->MainForm(), main);
  int shows = 0;
  main->OnShow = [&](TObject*) { ++shows; };
  DriveIdle({[second] { second->Close(); }, [main] { main->Close(); }}, Stuck(main));
  Application()->Run();
  EXPECT_TRUE(Application()->Terminated());
  EXPECT_EQ(shows, 1) << "Run shows the main form";
  EXPECT_FALSE(second->Visible());
}

TEST_F(FormTest, OnCreateRunsOnceAndEventsFollowShowHideAndActivation) {
  std::vector<std::string> log;
  auto* a = new TForm(Application());
  a->OnCreate = [&](TObject*) { log.push_back("create"); };
  a->AfterConstruction();
  a->AfterConstruction();
  a->OnShow = [&](TObject*) { log.push_back("show"); };
  a->OnHide = [&](TObject*) { log.push_back("hide"); };
  a->OnActivate = [&](TObject*) { log.push_back("activate a"); };
  a->OnDeactivate = [&](TObject*) { log.push_back("deactivate a"); };
  auto* b = new TForm(Application());
  b->OnActivate = [&](TObject*) { log.push_back("activate b"); };
  a->Show();
  EXPECT_EQ(Screen()->ActiveForm(), a);
  b->Show();
  EXPECT_EQ(Screen()->ActiveForm(), b);
  a->Hide();
  EXPECT_EQ(log, (std::vector<std::string>{"create", "show", "activate a", "deactivate a", "activate b", "hide"}));
  EXPECT_EQ(Screen()->FormCount(), 2);
}

TEST_F(FormTest, BorderStylesGiveTheirWindowStylesAndPositionPlacesTheForm) {
  TForm* form = NewForm();
  form->SetBorderStyle(TFormBorderStyle::bsDialog);
  form->SetBorderIcons({TBorderIcon::biSystemMenu});
  form->SetFormStyle(TFormStyle::fsStayOnTop);
  form->SetPosition(TPosition::poScreenCenter);
  form->SetBounds(0, 0, 200, 100);
  form->Show();
  const LONG_PTR style = GetWindowLongPtr(form->Handle(), GWL_STYLE);
  const LONG_PTR ex = GetWindowLongPtr(form->Handle(), GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_EQ(form->Left(), (Screen()->Width() - 200) / 2);
  EXPECT_EQ(form->Top(), (Screen()->Height() - 100) / 2);

  // Changing the border style of a shown form makes a new window with the new style.
  form->SetBorderStyle(TFormBorderStyle::bsSizeable);
  EXPECT_TRUE(GetWindowLongPtr(form->Handle(), GWL_STYLE) & WS_THICKFRAME);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  form->SetBorderStyle(TFormBorderStyle::bsNone);
  EXPECT_EQ(form->ClientWidth(), 200) << "no frame: the client area is the whole window";
}

TEST_F(FormTest, ClientSizeAndCoordinatesAccountForTheFrame) {
  TForm* form = NewForm(200, 150);
  EXPECT_EQ(form->ClientWidth(), 200);
  EXPECT_EQ(form->ClientHeight(), 150);
  const TPoint before = form->ClientOrigin();
  form->Show();
  EXPECT_EQ(form->ClientWidth(), 200) << "the same before and after the window exists";
  EXPECT_EQ(form->ClientOrigin(), before);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetBounds(10, 20, 30, 30);
  const TPoint screen = panel->ClientToScreen(Point(1, 2));
  EXPECT_EQ(screen, Point(before.X + 11, before.Y + 22));
  EXPECT_EQ(panel->ScreenToClient(screen), Point(1, 2));
  auto* shape = new TTestShape(form);
  shape->SetParent(panel);
  shape->SetBounds(3, 4, 5, 5);
  EXPECT_EQ(shape->ClientToScreen(Point(0, 0)), Point(before.X + 13, before.Y + 24));
}

// A form whose OnDestroy handler uses a member of the derived class.
class TMemberForm : public TForm {
  TW_CLASS(TMemberForm, TForm)
 public:
  TMemberForm(TComponent* owner, std::vector<std::string>* log) : TForm(owner), log_(log), label_("alive") {
    OnDestroy = [this](TObject*) { log_->push_back("destroy " + label_); };
  }
  ~TMemberForm() override {
    label_ = "gone";
    log_->push_back("dtor");
  }

 private:
  std::vector<std::string>* log_;
  std::string label_;
};

TEST_F(FormTest, OnDestroyRunsOnceWhileTheDerivedFormIsWhole) {
  std::vector<std::string> log;
  const std::vector<std::string> whole{"destroy alive", "dtor"};
  // Free and FreeAndNil.
  (new TMemberForm(Application(), &log))->Free();
  EXPECT_EQ(log, whole);
  log.clear();
  TMemberForm* viaNil = new TMemberForm(nullptr, &log);
  FreeAndNil(viaNil);
  EXPECT_EQ(log, whole);
  // Freed by its owner (the application, as DoneApplication does at exit).
  log.clear();
  auto* owner = new TComponent(nullptr);
  new TMemberForm(owner, &log);
  owner->Free();
  EXPECT_EQ(log, whole);
  // Release from a handler.
  log.clear();
  auto* released = new TMemberForm(Application(), &log);
  released->Show();
  released->Release();
  Pump();
  EXPECT_EQ(log, whole);
  // Deleted directly: the destructor still runs OnDestroy, once (after the derived members went,
  // so such a handler must not use them).
  log.clear();
  auto* deleted = new TMemberForm(nullptr, &log);
  deleted->OnDestroy = [&log](TObject*) { log.push_back("destroy"); };
  delete deleted;
  EXPECT_EQ(log, (std::vector<std::string>{"dtor", "destroy"}));
  EXPECT_EQ(Screen()->FormCount(), 0);
}


TEST_F(FormTest, ReleaseFreesTheFormFromItsOwnHandler) {
  TForm* form = NewForm();
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  bool destroyed = false;
  form->OnDestroy = [&](TObject*) { destroyed = true; };
  panel->OnClick = [form](TObject*) { form->Release(); };
  form->Show();
  Pump();
  InjectClick(panel->Handle(), 2, 2);
  Pump();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Screen()->FormCount(), 0);
}

TEST_F(FormTest, RecreatingTheWindowKeepsChildrenTextAndFocus) {
  TForm* form = NewForm();
  form->SetCaption("Keep me");
  auto* a = new TTestPanel(form);
  a->SetParent(form);
  a->SetTabStop(true);
  auto* b = new TTestPanel(form);
  b->SetParent(form);
  b->SetBounds(50, 0, 40, 30);
  b->SetTabStop(true);
  form->Show();
  b->SetFocus();
  const HWND oldForm = form->Handle();
  const HWND oldChild = b->Handle();
  form->RecreateWnd();
  EXPECT_NE(form->Handle(), oldForm);
  EXPECT_FALSE(IsWindow(oldChild));
  EXPECT_EQ(GetParent(b->Handle()), form->Handle());
  EXPECT_EQ(GetWindowTextString(form->Handle()), "Keep me");
  EXPECT_EQ(b->BoundsRect(), Rect(50, 0, 90, 30));
  EXPECT_TRUE(IsWindowVisible(b->Handle()));
  EXPECT_TRUE(b->Focused()) << "the focused control of the form has the focus again";
}

TEST_F(FormTest, ApplicationMinimizeAndRestoreActOnTheShownForms) {
  TForm* a = Application()->CreateForm<TForm>();
  TForm* hidden = Application()->CreateForm<TForm>();
  a->Show();
  int minimized = 0;
  int restored = 0;
  Application()->OnMinimize = [&](TObject*) { ++minimized; };
  Application()->OnRestore = [&](TObject*) { ++restored; };
  Application()->Minimize();
  EXPECT_TRUE(IsIconic(a->Handle()));
  EXPECT_FALSE(hidden->HandleAllocated() && IsWindowVisible(hidden->Handle()));
  Application()->Restore();
  EXPECT_FALSE(IsIconic(a->Handle()));
  EXPECT_EQ(minimized, 1);
  EXPECT_EQ(restored, 1);
  a->SetWindowState(TWindowState::wsMaximized);
  EXPECT_TRUE(IsZoomed(a->Handle()));
  a->SetWindowState(TWindowState::wsNormal);
  EXPECT_FALSE(IsZoomed(a->Handle()));
}

}  // namespace
}  // namespace tw::test
