#include "app/lib/singleinstance.h"

#include <stdlib.h>

#include "app/lib/tests/applib_test_util.h"
#include "platform/sys/singleinstance.h"
#include "platform/win/display.h"

namespace tw::app::test {
namespace {

class SingleInstanceGuardTest : public AppLibTest {
 protected:
  void SetUp() override {
    AppLibTest::SetUp();
    // A short folder of its own: socket paths are short.
    char pattern[] = "/tmp/twsi.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    guardFolder = pattern;
    TSingleInstance::SetRuntimeFolder(guardFolder);
  }
  void TearDown() override {
    TSingleInstance::ReleaseEarly();
    TSingleInstance::SetRuntimeFolder("");
    std::error_code ec;
    std::filesystem::remove_all(guardFolder, ec);
    AppLibTest::TearDown();
  }
  std::string guardFolder;
};

TEST_F(SingleInstanceGuardTest, RefusesAWrongOwnerOrAnUnnamedApplication) {
  auto* component = new TComponent(Application());
  try {
    TSingleInstance guard(component);
    FAIL() << "no exception";
  } catch (const EWrongOwner& e) {
    EXPECT_EQ(e.Message(), "Owner von TSingleInstance sollte das Main-Form der Applikation sein");
  }
  auto* form = new TForm(Application());
  Application()->SetName("");
  try {
    TSingleInstance guard(form);
    FAIL() << "no exception";
  } catch (const EAppNameNotSet& e) {
    EXPECT_EQ(e.Message(), "Application.Name in projekt.dpr muss einen Wert haben");
  }
  EXPECT_EQ(form->ComponentCount(), 0);
}

TEST_F(SingleInstanceGuardTest, ASecondCopyBringsTheFirstToTheFrontAndEnds) {
  auto* mainForm = Application()->CreateForm<TForm>();
  mainForm->SetBounds(50, 50, 200, 150);
  auto* first = new TSingleInstance(mainForm);
  EXPECT_TRUE(first->IsFirstInstance());
  EXPECT_EQ(first->MessageId(), RegisterWindowMessage("Tidewell-it_singleInstMsg"));
  EXPECT_FALSE(Application()->Terminated());
  EXPECT_FALSE(mainForm->Visible());

  // The second copy, as another program would make it (here a second form of this process).
  auto* otherForm = new TForm(Application());
  auto* second = new TSingleInstance(otherForm);
  EXPECT_FALSE(second->IsFirstInstance());

  // The request was posted to the first copy's window before the second copy was answered.
  Pump();
  EXPECT_TRUE(mainForm->Visible());
  EXPECT_EQ(GetActiveWindow(), mainForm->Handle());
  EXPECT_TRUE(Application()->Terminated());  // the second copy's end
  delete second;
  delete first;  // the guard is free again once the first copy ends
  EXPECT_TRUE(TSingleInstance(mainForm).IsFirstInstance());
}

TEST_F(SingleInstanceGuardTest, OwnBroadcastsAreIgnoredAndAnswersEndTheCopy) {
  auto* mainForm = Application()->CreateForm<TForm>();
  auto* guard = new TSingleInstance(mainForm);
  // Its own id is ignored.
  SendMessage(guard->Handle(), guard->MessageId(), 0, static_cast<LPARAM>(guard->InstanceId()));
  Pump();
  EXPECT_FALSE(mainForm->Visible());
  EXPECT_FALSE(Application()->Terminated());
  // An answer from a running copy ends this one.
  SendMessage(guard->Handle(), guard->MessageId(), 1, static_cast<LPARAM>(guard->InstanceId() + 1));
  Pump();
  EXPECT_TRUE(Application()->Terminated());
  EXPECT_FALSE(mainForm->Visible());
}

TEST_F(SingleInstanceGuardTest, AGuardTakenEarlyIsTakenOverAndKeepsWhatArrivedMeanwhile) {
  ASSERT_TRUE(TSingleInstance::AcquireEarly("Tidewell"));
  SingleInstance newcomer("Tidewell", guardFolder, DisplayServerName());  // a second start before our windows exist
  EXPECT_EQ(newcomer.Acquire({"tidewell"}, nullptr), SingleInstance::Role::Secondary);

  auto* mainForm = Application()->CreateForm<TForm>();
  auto* guard = new TSingleInstance(mainForm);
  EXPECT_TRUE(guard->IsFirstInstance());
  Pump();
  EXPECT_TRUE(mainForm->Visible());  // the early request brought the window up
  EXPECT_FALSE(Application()->Terminated());
}

}  // namespace
}  // namespace tw::app::test
