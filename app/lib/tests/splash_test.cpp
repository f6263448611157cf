#include "app/lib/splash.h"

#include "app/lib/tests/applib_test_util.h"
#include "platform/forms/timer.h"
#include "platform/gfx/graphic.h"

namespace tw::app::test {
namespace {

class SplashTest : public AppLibTest {
 protected:
  void TearDown() override {
    TSplashScreen::SetScreenBitsPerPixelFunc(nullptr);
    AppLibTest::TearDown();
  }
  TSplashScreen* NewSplash() {
    owner = new TForm(Application());
    auto* splash = new TSplashScreen(owner);
    TBitmap small, large;
    small.SetSize(40, 30);
    large.SetSize(200, 120);
    splash->SetSplashBitmap(&small);
    splash->SetSplashBitmap256Colour(&large);
    return splash;
  }
  TForm* owner = nullptr;
};

TEST_F(SplashTest, TimedShowHidesOnTheDisplaysClock) {
  TSplashScreen* splash = NewSplash();
  splash->SetTimedShowDuration(5);
  std::vector<std::string> log;
  splash->OnShow = [&](TObject*) { log.push_back("show"); };
  splash->OnHide = [&](TObject*) { log.push_back("hide"); };
  splash->Show();
  TForm* window = splash->Window();
  ASSERT_TRUE(splash->Showing());
  EXPECT_EQ(window->BorderStyle(), TFormBorderStyle::bsNone);
  EXPECT_EQ(window->ClientWidth(), 200);  // the deeper display's picture
  EXPECT_EQ(window->Left(), (Screen()->Width() - window->Width()) / 2);
  splash->Show();  // already shown: nothing happens
  EXPECT_EQ(log.size(), 1u);

  AdvanceTime(4900);
  Pump();
  EXPECT_TRUE(splash->Showing());
  AdvanceTime(200);
  Pump();
  EXPECT_EQ(splash->Window(), nullptr);
  EXPECT_FALSE(splash->Timer()->Enabled());
  EXPECT_EQ(log, (std::vector<std::string>{"show", "hide"}));
}

TEST_F(SplashTest, ThePictureIsOnTheWindowBeforeTheMessageLoopRuns) {
  owner = new TForm(Application());
  auto* splash = new TSplashScreen(owner);
  TBitmap picture;
  picture.SetSize(60, 40);
  picture.Canvas()->Brush()->SetColor(clRed);
  picture.Canvas()->FillRect(Rect(0, 0, 60, 40));
  splash->SetSplashBitmap256Colour(&picture);
  splash->SetTimedShow(false);
  splash->Show();
  // No message is processed: the start-up goes on at once.
  EXPECT_EQ(GetWindowPixel(splash->Window()->Handle(), 30, 20) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(SplashTest, WithoutTimedShowThePictureStaysUntilHiddenOrClicked) {
  TSplashScreen* splash = NewSplash();
  splash->SetTimedShow(false);
  splash->Show();
  AdvanceTime(60000);
  Pump();
  EXPECT_TRUE(splash->Showing());
  splash->Hide();
  splash->Hide();  // nothing shown: only the timer is stopped
  EXPECT_FALSE(splash->Showing());

  splash->SetHideOnClick(true);
  splash->Show();
  Pump();
  InjectClick(splash->Window()->Handle(), 10, 10);
  Pump();
  EXPECT_FALSE(splash->Showing());
}

TEST_F(SplashTest, DefaultsStayOnTopAndAHandlerPreparesTheWindow) {
  TSplashScreen* splash = NewSplash();
  EXPECT_TRUE(splash->AlwaysOnTop() && splash->TimedShow() && splash->AutoShow());
  EXPECT_FALSE(splash->BlockingShow() || splash->HideOnClick());
  EXPECT_EQ(splash->TimedShowDuration(), 3);
  TForm* seenWindow = nullptr;
  TImage* seenImage = nullptr;
  splash->OnBeforeShow = [&](TObject*, TForm* window, TImage* image) {
    seenWindow = window;
    seenImage = image;
  };
  splash->SetTimedShowDuration(0);  // no usable duration: the picture still goes, after a second
  splash->Show();
  ASSERT_NE(seenWindow, nullptr);
  EXPECT_EQ(seenWindow, splash->Window());
  EXPECT_NE(seenImage, nullptr);
  EXPECT_EQ(seenWindow->FormStyle(), TFormStyle::fsStayOnTop);
  AdvanceTime(1100);
  Pump();
  EXPECT_FALSE(splash->Showing());
}

TEST_F(SplashTest, ASixteenColourDisplayShowsTheSmallPicture) {
  TSplashScreen::SetScreenBitsPerPixelFunc([] { return 4; });
  TSplashScreen* splash = NewSplash();
  splash->Show();
  EXPECT_EQ(splash->Window()->ClientWidth(), 40);
}

TEST_F(SplashTest, BlockingShowReturnsOnceHiddenAndTheOwnerTakesTheWindowAlong) {
  TSplashScreen* splash = NewSplash();
  splash->SetBlockingShow(true);
  splash->SetTimedShowDuration(1);
  splash->Show();  // the offscreen clock moves to the pending timer while waiting
  EXPECT_FALSE(splash->Showing());

  splash->SetTimedShow(false);  // nothing would ever hide it: Show does not wait
  splash->Show();
  EXPECT_TRUE(splash->Showing());
  splash->Hide();

  splash->SetBlockingShow(false);
  splash->Show();
  Pump();
  const int forms = Screen()->FormCount();
  delete owner;
  EXPECT_EQ(Screen()->FormCount(), forms - 2);
}

}  // namespace
}  // namespace tw::app::test
