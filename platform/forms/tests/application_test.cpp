// The application and the screen: exceptions from event handlers reach the application's
// handler and the loop goes on, idle processing, timers, the screen cursor and the form list.
#include <gtest/gtest.h>

#include "forms_test_util.h"
#include "platform/forms/hintwindow.h"
#include "platform/forms/timer.h"

namespace tw::test {
namespace {

class ApplicationTest : public FormsTest {};

TEST_F(ApplicationTest, ExceptionInAnEventHandlerReachesOnExceptionAndTheLoopGoesOn) {
  TForm* main = Application()->CreateForm<TForm>();
  auto* panel = new TTestPanel(main);
  panel->SetParent(main);
  int clicks = 0;
  panel->OnClick = [&](TObject*) {
    ++clicks;
    if (clicks == 1) throw EConvertError("'abc' is not a valid integer value");
  };
  std::vector<std::string> handled;
  TObject* sender = nullptr;
  Application()->OnException = [&](TObject* s, const std::exception& e) {
    handled.push_back(e.what());
    sender = s;
  };
  DriveIdle({[panel] { InjectClick(panel->Handle(), 2, 2); }, [panel] { InjectClick(panel->Handle(), 2, 2); },
             [main] { main->Close(); }},
            [] {
              ADD_FAILURE() << "the loop did not end";
              Application()->Terminate();
            });
  Application()->Run();
  EXPECT_EQ(clicks, 2) << "the second click after the exception was handled too";
  EXPECT_EQ(handled, (std::vector<std::string>{"'abc' is not a valid integer value"}));
  EXPECT_EQ(sender, panel);
  EXPECT_TRUE(boxes.empty()) << "OnException replaces the message box";
}

TEST_F(ApplicationTest, WithoutOnExceptionTheMessageBoxShowsTheTextAndAbortIsSilent) {
  Application()->SetTitle("Tidewell");
  TForm* form = NewForm();
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  int step = 0;
  panel->OnClick = [&](TObject*) {
    ++step;
    if (step == 1) throw EInOutError("File not found", 2);
    if (step == 2) throw EAbort("silent");
    if (step == 3) throw std::runtime_error("plain failure!");
    if (step == 4) throw 42;
  };
  form->Show();
  for (int i = 0; i < 4; ++i) {
    InjectClick(panel->Handle(), 2, 2);
    Pump();
  }
  EXPECT_EQ(boxes, (std::vector<std::string>{"Tidewell|File not found.", "Tidewell|plain failure!",
                                             "Tidewell|Unknown exception."}));
}

TEST_F(ApplicationTest, ProcessMessagesHandlesPostedMessagesAndOnMessageSeesThem) {
  TForm* form = NewForm();
  form->Show();
  int seen = 0;
  Application()->OnMessage = [&](MSG& msg, bool& handled) {
    if (msg.message == WM_USER + 7) {
      ++seen;
      handled = msg.wParam == 1;
    }
  };
  PostMessage(form->Handle(), WM_USER + 7, 1, 0);
  PostMessage(form->Handle(), WM_USER + 7, 2, 0);
  Pump();
  EXPECT_EQ(seen, 2);
  EXPECT_FALSE(Application()->Terminated());
  Application()->Terminate();
  EXPECT_FALSE(Application()->Terminated()) << "only once the quit message is handled";
  Pump();
  EXPECT_TRUE(Application()->Terminated());
}

TEST_F(ApplicationTest, TimerFiresWhenTheDisplayFiresItsTimersAndIntervalZeroIsOff) {
  auto* timer = new TTimer(Application());
  int ticks = 0;
  timer->OnTimer = [&](TObject* sender) {
    EXPECT_EQ(sender, timer);
    ++ticks;
  };
  timer->SetInterval(500);
  EXPECT_TRUE(timer->Running());
  Pump();
  EXPECT_EQ(ticks, 0) << "not before it is due";
  AdvanceTime(499);
  Pump();
  EXPECT_EQ(ticks, 0);
  AdvanceTime(1);
  Pump();
  EXPECT_EQ(ticks, 1);
  AdvanceTime(1000);
  Pump();
  EXPECT_GE(ticks, 2);

  const int before = ticks;
  timer->SetEnabled(false);
  EXPECT_FALSE(timer->Running());
  AdvanceTime(5000);
  Pump();
  EXPECT_EQ(ticks, before);
  timer->SetEnabled(true);
  timer->SetInterval(0);
  EXPECT_FALSE(timer->Running()) << "Interval 0 switches the timer off";
  AdvanceTime(5000);
  Pump();
  EXPECT_EQ(ticks, before);
  delete timer;
}

TEST_F(ApplicationTest, TimerExceptionGoesToTheApplicationAndTheTimerKeepsRunning) {
  TTimer timer(nullptr);
  timer.SetInterval(100);
  int ticks = 0;
  timer.OnTimer = [&](TObject*) {
    ++ticks;
    throw EInvalidOperation("tick failed");
  };
  AdvanceTime(100);
  Pump();
  AdvanceTime(100);
  Pump();
  EXPECT_EQ(ticks, 2);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[0].find("tick failed."), std::string::npos);
}

TEST_F(ApplicationTest, ATimerMayFreeItselfFromOnTimer) {
  auto* timer = new TTimer(Application());
  timer->SetInterval(50);
  int ticks = 0;
  timer->OnTimer = [&](TObject* sender) {
    ++ticks;
    delete sender;
  };
  AdvanceTime(50);
  Pump();
  AdvanceTime(500);
  Pump();
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(Application()->ComponentCount(), 0);
}

TEST_F(ApplicationTest, ApplicationWindowHooksSeeActivationFirst) {
  std::vector<std::string> log;
  const int first = Application()->HookMainWindow([&](TMessage& msg) {
    if (msg.Msg == CM_ACTIVATE) log.push_back("hook1 activate");
    return false;
  });
  const int second = Application()->HookMainWindow([&](TMessage& msg) {
    if (msg.Msg == WM_USER + 5) {
      log.push_back("hook2 handled");
      msg.Result = 77;
      return true;
    }
    return false;
  });
  Application()->OnActivate = [&](TObject*) { log.push_back("app activate"); };
  EXPECT_FALSE(Application()->Active());
  TForm* form = NewForm();
  form->Show();
  EXPECT_TRUE(Application()->Active());
  EXPECT_EQ(SendMessage(Application()->Handle(), WM_USER + 5, 0, 0), 77);
  Application()->UnhookMainWindow(second);
  EXPECT_EQ(SendMessage(Application()->Handle(), WM_USER + 5, 0, 0), 0);
  Application()->UnhookMainWindow(first);
  EXPECT_EQ(log, (std::vector<std::string>{"hook1 activate", "app activate", "hook2 handled"}));
}

TEST_F(ApplicationTest, ScreenCursorShowsTheHourGlassWhileSet) {
  TForm* form = NewForm();
  form->Show();
  Screen()->SetCursor(crHourGlass);
  EXPECT_EQ(GetCursor(), LoadCursor(0, IDC_WAIT));
  // While it is set, moving over a control keeps the hour-glass.
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetCursor(crIBeam);
  Pump();
  const TPoint p = panel->ClientToScreen(Point(3, 3));
  InjectMouseMove(p.X, p.Y);
  Pump();
  EXPECT_EQ(GetCursor(), LoadCursor(0, IDC_WAIT));
  Screen()->SetCursor(crDefault);
  EXPECT_NE(GetCursor(), LoadCursor(0, IDC_WAIT));
  InjectMouseMove(p.X + 1, p.Y);
  Pump();
  EXPECT_EQ(GetCursor(), LoadCursor(0, IDC_IBEAM)) << "the control's own cursor again";
}

TEST_F(ApplicationTest, ScreenKnowsFormsMetricsAndFonts) {
  EXPECT_EQ(Screen()->FormCount(), 0);
  TForm* a = NewForm();
  TForm* b = NewForm();
  EXPECT_EQ(Screen()->FormCount(), 2);
  EXPECT_EQ(Screen()->Forms(0), a);
  EXPECT_THROW(Screen()->Forms(2), EListError);
  delete b;
  EXPECT_EQ(Screen()->FormCount(), 1);
  EXPECT_GT(Screen()->Width(), 0);
  EXPECT_GT(Screen()->Height(), 0);
  EXPECT_EQ(Screen()->PixelsPerInch(), 96);
  TStrings* fonts = Screen()->Fonts();
  ASSERT_GT(fonts->Count(), 0);
  EXPECT_GE(fonts->IndexOf("Arial"), 0);
  for (int i = 1; i < fonts->Count(); ++i) EXPECT_LT(fonts->Get(i - 1), fonts->Get(i)) << "sorted, no repeats";
}

TEST_F(ApplicationTest, HintFollowsTheControlUnderTheMouse) {
  TForm* form = NewForm();
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetHint("Panel hint");
  form->SetHint("Form hint");
  int hints = 0;
  Application()->OnHint = [&](TObject*) { ++hints; };
  form->Show();
  Pump();
  TPoint p = panel->ClientToScreen(Point(2, 2));
  InjectMouseMove(p.X, p.Y);
  Pump();
  EXPECT_EQ(Application()->Hint(), "Panel hint");
  p = form->ClientToScreen(Point(150, 120));
  InjectMouseMove(p.X, p.Y);
  Pump();
  EXPECT_EQ(Application()->Hint(), "Form hint");
  EXPECT_EQ(hints, 2);
}

// The hint window: the short hint of a control that shows hints, after the mouse rested on it
// for the hint pause, below the pointer; gone on a press, after the hide pause, on another
// control and when the control goes.
TEST_F(ApplicationTest, TheHintWindowShowsTheShortHintAfterThePauseAndGoesOnAPress) {
  TForm* form = NewForm();
  auto* spinner = new TTestPanel(form);
  spinner->SetParent(form);
  spinner->SetBounds(10, 10, 40, 24);
  spinner->SetHint("Change the month|Moves the calendar by a month");
  spinner->SetShowHint(true);
  auto* quiet = new TTestPanel(form);
  quiet->SetParent(form);
  quiet->SetBounds(80, 10, 40, 24);
  quiet->SetHint("Not shown");  // ShowHint off
  form->Show();
  Pump();
  auto text = [](HWND w) {
    char buffer[100] = {};
    GetWindowText(w, buffer, sizeof buffer);
    return std::string(buffer);
  };
  const TPoint p = spinner->ClientToScreen(Point(5, 5));
  InjectMouseMove(p.X, p.Y);
  Pump();
  AdvanceTime(499);
  Pump();
  EXPECT_EQ(HintWindowHandle(), 0u) << "not before the pause";
  AdvanceTime(1);
  Pump();
  HWND hint = HintWindowHandle();
  ASSERT_NE(hint, 0u);
  EXPECT_TRUE(IsWindowVisible(hint));
  EXPECT_EQ(text(hint), "Change the month");
  RECT r;
  GetWindowRect(hint, &r);
  EXPECT_GT(r.Top, p.Y);
  EXPECT_GT(r.Right - r.Left, 20);
  EXPECT_NE(GetActiveWindow(), hint) << "a hint never takes the activation";
  // A press ends it.
  InjectMouseDown(p.X, p.Y, MouseButton::Left);
  InjectMouseUp(p.X, p.Y, MouseButton::Left);
  Pump();
  EXPECT_EQ(HintWindowHandle(), 0u);
  EXPECT_FALSE(IsWindowVisible(hint));

  // Over a control that shows no hints nothing comes; back on the first, it comes again and
  // goes after the hide pause.
  const TPoint q = quiet->ClientToScreen(Point(5, 5));
  InjectMouseMove(q.X, q.Y);
  Pump();
  AdvanceTime(1000);
  Pump();
  EXPECT_EQ(HintWindowHandle(), 0u);
  InjectMouseMove(p.X, p.Y);
  Pump();
  AdvanceTime(500);
  Pump();
  ASSERT_NE(HintWindowHandle(), 0u);
  InjectKey(VK_SHIFT);
  Pump();
  EXPECT_EQ(HintWindowHandle(), 0u) << "a key ends it";
  InjectMouseMove(q.X, q.Y);
  Pump();
  InjectMouseMove(p.X + 1, p.Y);
  Pump();
  AdvanceTime(500);
  Pump();
  ASSERT_NE(HintWindowHandle(), 0u);
  AdvanceTime(2500);
  Pump();
  EXPECT_EQ(HintWindowHandle(), 0u) << "the hide pause ends it";

  // The control goes while its hint waits: nothing shows, nothing breaks.
  InjectMouseMove(q.X, q.Y);
  Pump();
  InjectMouseMove(p.X, p.Y);
  Pump();
  delete spinner;
  AdvanceTime(1000);
  Pump();
  EXPECT_EQ(HintWindowHandle(), 0u);
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

class FormInitializerTest : public FormsTest {
 protected:
  void TearDown() override {
    SetFormInitializer(nullptr);
    FormsTest::TearDown();
  }
};

TEST_F(FormInitializerTest, RunsBeforeCreationAndAFailureFreesTheForm) {
  std::vector<std::string> order;
  SetFormInitializer([&](TCustomForm* form) {
    order.push_back("init");
    if (form->Caption() == "") form->SetCaption("described");
  });
  TForm* form = Application()->CreateForm<TForm>();
  EXPECT_EQ(form->Caption(), "described");
  EXPECT_EQ(Application()->MainForm(), form);

  SetFormInitializer([](TCustomForm*) { throw EReadError("Error reading form"); });
  const int before = Application()->ComponentCount();
  EXPECT_THROW(Application()->CreateForm<TForm>(), EReadError);
  EXPECT_EQ(Application()->ComponentCount(), before) << "the failed form is freed";
  EXPECT_EQ(Application()->MainForm(), form);
  EXPECT_EQ(order, (std::vector<std::string>{"init"}));
}

}  // namespace
}  // namespace tw::test
