// Birth data the user mistypes, and transit dates that do not read, through the real windows:
// what is stored, what Cancel puts back, what is computed and which boxes appear.
#include <array>
#include <functional>
#include <random>
#include <memory>
#include <string>
#include <vector>

#include "app/forms/mainwindow.h"
#include "app/forms/optionswindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "app/lib/edits.h"
#include "app/lib/splash.h"
#include "entry/date/dayarith.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "horoscope/chartglobals.h"
#include "horoscope/horoscope.h"
#include "platform/classes/stringlist.h"
#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/timer.h"
#include "platform/rtl/datetime.h"
#include "platform/win/display.h"
#include "platform/win/winapi.h"
#include "richtext/controls/richtext.h"
#include "toolbars/toolbars.h"

namespace tw::app::test {
namespace {

constexpr char BadDateText[] = "The birth date %s is not valid.";
constexpr char BadTimeText[] = "The birth time %s is not valid.";
constexpr char BadTransitText[] = "The transit date %s is not valid.";
constexpr char WelcomeText[] = "No person has been entered yet.";
constexpr char NoNameText[] = "No name has been entered for %s yet.";

class BirthDataTest : public AppFormsTest {
 protected:
  void SetUp() override {
    AppFormsTest::SetUp();
    toolbars::RegisterToolbarClasses();
    messages = std::make_unique<TStringList>();
    messages->AddObject(BadDateText, std::intptr_t{92});
    messages->AddObject(BadTimeText, std::intptr_t{93});
    messages->AddObject(BadTransitText, std::intptr_t{97});
    messages->AddObject(WelcomeText, std::intptr_t{99});
    messages->AddObject(NoNameText, std::intptr_t{120});
    horoscope::MessageList = messages.get();
  }
  void TearDown() override {
    Application()->OnIdle = nullptr;
    horoscope::MessageList = nullptr;
    AppFormsTest::TearDown();
  }
  void MakeWindows() {
    main = Application()->CreateForm<TfrmMain>();
    main->ListingFolder = folder.string();
    options = Application()->CreateForm<TfrmOptions>();
  }
  // A person as the store holds it.
  void StorePerson(int n, const std::string& name, const std::string& date, const std::string& time) {
    options->WriteString("dfPers" + std::to_string(n), name);
    options->WriteString("dfDate" + std::to_string(n), date);
    options->WriteString("dfTime" + std::to_string(n), time);
  }
  // Steps a user takes while a modal window is up, one each time the window system is idle.
  void WhileModal(std::vector<std::function<void()>> steps) {
    auto pending = std::make_shared<std::vector<std::function<void()>>>(std::move(steps));
    auto next = std::make_shared<std::size_t>(0);
    Application()->OnIdle = [pending, next](TObject*, bool& done) {
      done = false;  // never wait: the script goes on
      if (*next < pending->size()) (*pending)[(*next)++]();
    };
  }
  // Keys typed into the focused control, one key a character.
  static void TypeKeys(const std::string& text) {
    for (char c : text) {
      UINT vk = c >= '0' && c <= '9' ? static_cast<UINT>(c) : c >= 'a' && c <= 'z' ? static_cast<UINT>(c - 32) : 0x20;
      InjectKey(vk, static_cast<unsigned char>(c));
      Pump();
    }
  }
  static void Press(UINT vk) {
    InjectKey(vk, kNoCharacter);
    Pump();
  }
  int BoxesWith(const std::string& part) const {
    int n = 0;
    for (const auto& b : boxes) n += b.find(part) != std::string::npos ? 1 : 0;
    return n;
  }

  std::unique_ptr<TStringList> messages;
  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
};

// A person without a name beside one with: the view names the chosen person and does not say
// that nobody has been entered, after the dialog is cancelled, at a start and after a
// language change alike; once nobody is left, it says so.
TEST_F(BirthDataTest, AnEmptyPersonBesideAnotherIsNamedAndNotCalledTheOnlyOne) {
  MakeWindows();
  StorePerson(2, "Bob Stone", "1980-05-17", "07:45");
  options->WriteString("dfShort3", "Carla");
  main->Show();
  Pump();
  std::string text = main->rtext->Text();
  EXPECT_EQ(text.find(WelcomeText), std::string::npos) << "at the start: " << text;
  EXPECT_NE(text.find("No name has been entered for Person 1 yet."), std::string::npos) << text;
  main->pbPersClick(main->pbPers2);
  ASSERT_NE(main->rtext->Text().find("Bob"), std::string::npos);
  // Person 3, whose dialog the user cancels.
  int shown = 0;
  options->OnShow = [&](TObject*) {
    ++shown;
    options->SetModalResult(mrCancel);
  };
  main->pbPersClick(main->pbPers3);
  EXPECT_EQ(shown, 1);
  text = main->rtext->Text();
  EXPECT_EQ(text.find(WelcomeText), std::string::npos) << text;
  EXPECT_NE(text.find("No name has been entered for Carla yet."), std::string::npos) << text;
  // After a language change.
  main->LangSwitch1Translated(main->LangSwitch1, "English", true);
  text = main->rtext->Text();
  EXPECT_NE(text.find("No name has been entered for Carla yet."), std::string::npos) << text;
  // Bob gone too: nobody has been entered.
  options->WriteString("dfPers2", "");
  main->pbPersClick(main->pbPers3);
  EXPECT_NE(main->rtext->Text().find(WelcomeText), std::string::npos) << main->rtext->Text();
  options->OnShow = nullptr;
}

TEST(BirthDataStore, DatesAndTimesHaveOneFixedFormAndOldTextsStillRead) {
  const entry::DayNumber day = entry::DMYToDayNumber(17, 5, 1980, 0);
  EXPECT_EQ(BirthDateToStore(day), "1980-05-17");
  EXPECT_EQ(BirthDateToStore(-1), "");
  // The fixed form reads under any mask.
  EXPECT_EQ(BirthDateFromStore("1980-05-17", "mm/dd/yyyy", 1910), day);
  EXPECT_EQ(BirthDateFromStore("1980-05-17", "dd.mm.yyyy", 1910), day);
  // Texts of earlier versions, stored as the field showed them.
  EXPECT_EQ(BirthDateFromStore("05/17/1980", "mm/dd/yyyy", 1910), day);
  EXPECT_EQ(BirthDateFromStore("17.05.1980", "dd.mm.yyyy", 1910), day);
  EXPECT_EQ(BirthDateFromStore("1990-02-31", "mm/dd/yyyy", 1910), -1);
  EXPECT_EQ(BirthDateFromStore("02/31/1990", "mm/dd/yyyy", 1910), -1);
  EXPECT_EQ(BirthDateFromStore("", "mm/dd/yyyy", 1910), -1);

  EXPECT_EQ(BirthTimeToStore(19 * 3600 + 5 * 60), "19:05");
  EXPECT_EQ(BirthTimeFromStore("19:05", "Hh:mm tt"), 19 * 3600 + 5 * 60);
  EXPECT_EQ(BirthTimeFromStore("7:05 PM", "hh:mm"), 19 * 3600 + 5 * 60);
  EXPECT_EQ(BirthTimeFromStore("12:30 am", "hh:mm"), 30 * 60);
  EXPECT_EQ(BirthTimeFromStore("99:99 PM", "Hh:mm tt"), -1);
  EXPECT_EQ(BirthTimeFromStore("24:00", "hh:mm"), -1);
}

// A stored birth date or time that does not read is reported with the stored text, in a box
// over the main window (not on an empty screen before it shows); the options dialog follows.
TEST_F(BirthDataTest, AStoredBirthMomentThatDoesNotReadIsToldWithItsTextOverTheWindow) {
  MakeWindows();
  for (const bool dateBad : {true, false}) {
    SCOPED_TRACE(dateBad ? "date" : "time");
    StorePerson(1, "Bob Stone", dateBad ? "1990-02-31" : "1980-05-17", dateBad ? "07:45" : "25:61");
    options->SelectPerson(1);
    std::vector<bool> mainShowing;
    std::vector<std::string> texts;
    SetMessageBoxFunc([&](const std::string& text, const std::string&, unsigned) {
      texts.push_back(text);
      mainShowing.push_back(main->HandleAllocated() && IsWindowVisible(main->Handle()));
      return IDOK;
    });
    bool optionsOpened = false;
    WhileModal({[&] {
      optionsOpened = options->Visible();
      options->SetModalResult(mrCancel);
    }});
    main->Show();
    EXPECT_TRUE(texts.empty()) << "nothing is shown before the window";
    ASSERT_TRUE(IsWindowVisible(main->Handle()));
    for (int i = 0; i < 5; ++i) Pump();
    Application()->OnIdle = nullptr;
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], dateBad ? "The birth date 1990-02-31 is not valid." : "The birth time 25:61 is not valid.");
    EXPECT_TRUE(mainShowing[0]) << "the box stands over the main window";
    EXPECT_TRUE(optionsOpened);
    main->Hide();
  }
  SetMessageBoxFunc([this](const std::string& text, const std::string& caption, unsigned) {
    boxes.push_back(caption + "|" + text);
    return mrOk;
  });
}

TEST_F(BirthDataTest, StoredDatesReadWhateverTheDateFormat) {
  MakeWindows();
  StorePerson(2, "Anna", "1980-05-17", "07:45");
  StorePerson(3, "Old", options->dfDate->IntlSupport()->DayNumberToText(options->dfDate->Mask(),
                                                                       entry::DMYToDayNumber(3, 4, 1971, 0), false),
              "23:59");
  options->SelectPerson(2);
  TDateTime value = 0;
  ASSERT_TRUE(options->BirthDate(value));
  EXPECT_DOUBLE_EQ(value, EncodeDate(1980, 5, 17));
  ASSERT_TRUE(options->BirthTime(value));
  EXPECT_NEAR(value, (7 * 60 + 45) / 1440.0, 1e-9);
  options->SelectPerson(3);
  ASSERT_TRUE(options->BirthDate(value)) << "a text stored as the field showed it is read";
  EXPECT_DOUBLE_EQ(value, EncodeDate(1971, 4, 3));
  // Any change stores the fixed form.
  options->dfDate->SetAsDayNumber(entry::DMYToDayNumber(4, 4, 1971, 0));
  options->dfDate->OnChange(options->dfDate);
  EXPECT_EQ(options->ReadString("dfDate3", ""), "1971-04-04");
}

TEST_F(BirthDataTest, InvalidBirthDataIsNeverStoredAndCancelPutsBackWhatWasThere) {
  MakeWindows();
  StorePerson(1, "Bob Stone", "1980-05-17", "07:45");
  options->SelectPerson(1);
  const std::string shownDate = options->BirthDateText();
  bool okRefused = false;
  std::string storedWhileTyping;
  std::size_t boxesAfterClick = 0;
  WhileModal({
      [&] {
        options->dfDate->SetFocus();
        Pump();
        // The whole date replaced by 31 February, in either order of day and month.
        options->dfDate->SelectAll();
        TypeKeys("02311990");
        storedWhileTyping = options->ReadString("dfDate1", "");
      },
      [&] { InjectClick(options->Ok->Handle(), 5, 5); },
      [&] {
        Pump();
        boxesAfterClick = boxes.size();
        okRefused = options->Visible();
        // OK pressed from the keyboard, with the focus elsewhere: refused as well.
        options->OkClick(options->Ok);
      },
      [&] {
        Pump();
        okRefused = okRefused && options->Visible();
        InjectClick(options->Cancel->Handle(), 5, 5);
      },
  });
  boxes.clear();
  EXPECT_FALSE(options->Execute());
  EXPECT_TRUE(okRefused);
  EXPECT_EQ(boxesAfterClick, 1u) << "one press of OK, one box";
  EXPECT_EQ(boxes.size(), 2u) << "and one for the second press";
  EXPECT_EQ(storedWhileTyping, "1980-05-17") << "a date that does not read is not stored";
  EXPECT_EQ(options->ReadString("dfDate1", ""), "1980-05-17");
  EXPECT_EQ(options->ReadString("dfTime1", ""), "07:45");
  EXPECT_EQ(options->BirthDateText(), shownDate) << "the field shows what was there at opening";
  ASSERT_FALSE(boxes.empty());
  for (const auto& b : boxes) EXPECT_EQ(b, "Value is not a valid date");

  // A valid date typed and then cancelled is not kept either.
  WhileModal({
      [&] {
        options->dfDate->SetAsDayNumber(entry::DMYToDayNumber(1, 1, 2001, 0));
        options->dfDate->OnChange(options->dfDate);
        options->dfPlace->SetAsString("Lyon");
        options->dfPlace->OnChange(options->dfPlace);
        options->SelectPerson(2);
      },
      [&] { options->SetModalResult(mrCancel); },
  });
  EXPECT_FALSE(options->Execute());
  EXPECT_EQ(options->ReadString("dfDate1", ""), "1980-05-17");
  EXPECT_EQ(options->ReadString("dfPlace1", "absent"), "absent");
  EXPECT_EQ(options->SelectedPerson(), 1) << "the person shown at opening";
  EXPECT_EQ(options->BirthDateText(), shownDate);
}

// The four stored persons against a model: random edits in the options dialog, each session
// ended by OK or Cancel, and now and then a restart (a new options window reading the store).
// OK keeps every edit of the session, Cancel none; the fields, the person buttons and the
// store agree with the model throughout.
TEST_F(BirthDataTest, RandomEditsOkCancelAndRestartsKeepTheFourPersonsAsAModel) {
  MakeWindows();
  struct Person {
    std::string name, place, shortcut, zone;
    std::int32_t day = -1;                  // -1: no date
    std::int32_t seconds = 23 * 3600 + 59 * 60;  // the default time
  };
  using Model = std::array<Person, PersonCount>;
  Model model;
  int selected = 1;
  const std::vector<std::string> zones = {"Europe/Berlin", "Asia/Kolkata", "America/St_Johns", "Pacific/Kiritimati"};
  // Windows-1252 letters beyond ASCII beside plain ones.
  const std::string letters = "abcXYZ\xE4\xF6\xFC\xDF\xC4\xD6\xDC\xE9\xE8\xE7\xF1\x80\xD8\xF8\xE5";
  std::mt19937 random(20261207);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto text = [&](std::size_t most) {
    std::size_t length = pick(4) == 0 ? most : 1 + pick(static_cast<int>(most));
    std::string t;
    for (std::size_t k = 0; k < length; ++k)
      t += k > 0 && k + 1 < length && pick(6) == 0 ? ' ' : letters[pick(static_cast<int>(letters.size()))];
    return t;
  };
  auto check = [&](const char* when, int step) {
    const int keep = options->SelectedPerson();
    for (int n = 1; n <= PersonCount; ++n) {
      const Person& p = model[n - 1];
      const std::string at = std::string(when) + " step " + std::to_string(step) + " person " + std::to_string(n);
      const std::string suffix = std::to_string(n);
      EXPECT_EQ(options->ReadString("dfPers" + suffix, ""), p.name) << at;
      EXPECT_EQ(options->ReadString("dfPlace" + suffix, ""), p.place) << at;
      EXPECT_EQ(options->ReadString("dfDate" + suffix, ""), BirthDateToStore(p.day)) << at;
      EXPECT_EQ(options->ReadString("dfTime" + suffix, "23:59"), BirthTimeToStore(p.seconds)) << at;
      EXPECT_EQ(options->PersonShortcut(n), p.shortcut.empty() ? "Person " + suffix : p.shortcut) << at;
      options->SelectPerson(n);
      EXPECT_EQ(options->PersonName(), p.name) << at;
      EXPECT_EQ(options->PersonPlace(), p.place) << at;
      EXPECT_EQ(options->SelectedZone(), p.zone) << at;
      TDateTime value = 0.0;
      EXPECT_EQ(options->BirthDate(value), p.day >= 0) << at;
      if (p.day >= 0) {
        EXPECT_DOUBLE_EQ(value, entry::DayNumberToDateTime(p.day)) << at;
      }
      ASSERT_TRUE(options->BirthTime(value)) << at;
      EXPECT_NEAR(value * 86400.0, p.seconds, 0.5) << at;
    }
    options->SelectPerson(keep);
  };
  const std::int32_t first = entry::DMYToDayNumber(1, 1, 1600, 0), last = entry::DMYToDayNumber(31, 12, 3999, 0);
  for (int session = 0; session < 24; ++session) {
    Model opened = model;
    const int openedPerson = options->SelectedPerson();
    std::vector<std::function<void()>> steps;
    const int edits = 1 + pick(8);
    for (int e = 0; e < edits; ++e) {
      steps.push_back([&] {
        const int action = pick(9);
        Person& p = model[selected - 1];
        switch (action) {
          case 0: {  // another person, through the radio group
            selected = 1 + pick(PersonCount);
            options->rbPerson->SetItemIndex(selected - 1);
            options->rbPersonClick(options->rbPerson);
            break;
          }
          case 1: {
            p.name = pick(5) == 0 ? std::string() : text(50);
            options->dfPers->SetAsString(p.name);
            options->dfPers->OnChange(options->dfPers);
            options->dfPersExit(options->dfPers);
            if (!p.name.empty()) p.shortcut = ShortcutFromName(p.name);
            break;
          }
          case 2: {
            p.place = pick(5) == 0 ? std::string() : text(50);
            options->dfPlace->SetAsString(p.place);
            options->dfPlace->OnChange(options->dfPlace);
            break;
          }
          case 3: {  // a day anywhere the field allows, its ends included
            const int kind = pick(4);
            p.day = kind == 0 ? first : kind == 1 ? last : first + pick(last - first + 1);
            options->dfDate->SetAsDayNumber(p.day);
            options->dfDate->OnChange(options->dfDate);
            break;
          }
          case 4: {  // midnight, noon or any minute
            const int kind = pick(3);
            p.seconds = kind == 0 ? 0 : kind == 1 ? 12 * 3600 : pick(1440) * 60;
            options->dfTime->SetAsSeconds(p.seconds);
            options->dfTime->OnChange(options->dfTime);
            break;
          }
          case 5: {
            p.shortcut = pick(4) == 0 ? std::string() : text(10);
            options->dfShort->SetAsString(p.shortcut);
            options->dfShort->OnChange(options->dfShort);
            break;
          }
          case 6: {
            p.zone = pick(5) == 0 ? std::string() : zones[pick(static_cast<int>(zones.size()))];
            options->cmbTimeZone->SetItemIndex(options->cmbTimeZone->Items()->IndexOf(p.zone));
            options->cmbTimeZoneChange(options->cmbTimeZone);
            break;
          }
          case 7: {  // the date cleared again
            p.day = -1;
            options->dfDate->SetAsString("");
            options->dfDate->OnChange(options->dfDate);
            break;
          }
          default: {  // the slot emptied again: name and place
            p.name.clear();
            p.place.clear();
            options->dfPers->SetAsString("");
            options->dfPers->OnChange(options->dfPers);
            options->dfPlace->SetAsString("");
            options->dfPlace->OnChange(options->dfPlace);
            break;
          }
        }
      });
    }
    const bool ok = pick(2) == 0;
    steps.push_back([&, ok] {
      if (ok) options->OkClick(options->Ok);
      else options->SetModalResult(mrCancel);
    });
    WhileModal(std::move(steps));
    EXPECT_EQ(options->Execute(), ok) << "session " << session;
    Application()->OnIdle = nullptr;
    if (!ok) {
      model = opened;
      selected = openedPerson;
    }
    check(ok ? "ok" : "cancel", session);
    if (pick(3) == 0) {  // the next start
      delete options;
      options = Application()->CreateForm<TfrmOptions>();
      selected = 1;
      check("restart", session);
    }
    if (HasFailure()) break;
  }
}

TEST_F(BirthDataTest, CancelWhileAFieldIsInvalidClosesWithoutASecondBox) {
  MakeWindows();
  StorePerson(1, "Bob Stone", "1980-05-17", "07:45");
  options->SelectPerson(1);
  for (const bool byEscape : {false, true}) {
    SCOPED_TRACE(byEscape ? "Esc" : "Cancel button");
    WhileModal({
        [&] {
          options->dfDate->SetFocus();
          Press(VK_HOME);
          TypeKeys("1399");
        },
        [&] {
          if (byEscape) Press(VK_ESCAPE);
          else InjectClick(options->Cancel->Handle(), 5, 5);
        },
        [&] {},
        [&] { options->SetModalResult(mrAbort); },  // a closed dialog ignores this
    });
    boxes.clear();
    EXPECT_FALSE(options->Execute());
    for (int i = 0; i < 5; ++i) Pump();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    EXPECT_EQ(options->ReadString("dfDate1", ""), "1980-05-17");
  }
}

TEST_F(BirthDataTest, TheChosenTabAndTheShownPageAgreeAfterABoxOnLeavingAField) {
  MakeWindows();
  StorePerson(1, "Bob Stone", "1980-05-17", "07:45");
  options->SelectPerson(1);
  TPageControl* pages = options->PageControl1;
  auto clickTab = [&](int tab) {
    const TRect r = pages->TabRect(tab);
    InjectClick(pages->Handle(), r.Left + r.Width() / 2, r.Top + r.Height() / 2);
    Pump();
  };
  // Which page the user sees, and which tab is drawn as chosen.
  std::vector<std::pair<bool, bool>> seen;  // (Person page shown, Display page shown)
  std::vector<TTabSheet*> chosen;
  auto look = [&] {
    seen.emplace_back(options->tabPers->Visible(), options->tabDisplay->Visible());
    chosen.push_back(pages->ActivePage());
  };
  WhileModal({
      [&] {
        options->dfDate->SetFocus();
        Press(VK_HOME);
        TypeKeys("1399");
      },
      [&] { clickTab(1); },  // leaving the field for "Display": the field reports its date
      [&] { Pump(); },
      [&] { look(); },
      // The box is gone; the user clicks "Display" again, then mends the date and goes there.
      [&] { clickTab(1); },
      [&] { look(); },
      [&] {
        options->dfDate->SetAsDayNumber(entry::DMYToDayNumber(1, 3, 1990, 0));
        options->dfDate->OnChange(options->dfDate);
        clickTab(1);
      },
      [&] { Pump(); },
      [&] { look(); },
      [&] { options->SetModalResult(mrCancel); },
  });
  boxes.clear();
  options->Execute();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_FALSE(boxes.empty()) << "the date was reported";
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NE(seen[i].first, seen[i].second) << "exactly one page shows";
    EXPECT_EQ(chosen[i] == options->tabPers, seen[i].first) << "the chosen tab is the page shown";
  }
  EXPECT_EQ(chosen[2], options->tabDisplay) << "a mended date lets the user go to Display";
}

TEST_F(BirthDataTest, TypedMinutesSetThePeriod) {
  MakeWindows();
  options->Show();
  options->PageControl1->SetActivePage(options->tabDisplay);
  Pump();
  options->dfMinutes->SetFocus();
  Pump();
  options->dfMinutes->SelectAll();
  TypeKeys("45");
  options->TrackBarRecalc->SetFocus();  // leaving the field takes the number
  Pump();
  EXPECT_EQ(options->TrackBarRecalc->Position(), 45);
  EXPECT_EQ(options->ReadString("TrackBarRecalc", ""), "45");
  EXPECT_TRUE(main->TimerRecalc->Enabled());
  EXPECT_EQ(main->TimerRecalc->Interval(), 45u * 60000u);
  // A number past the slider's end is held to it; OK takes a number not yet left.
  options->dfMinutes->SetFocus();
  options->dfMinutes->SelectAll();
  TypeKeys("999");
  options->OkClick(options->Ok);
  EXPECT_EQ(options->TrackBarRecalc->Position(), MaxRecalcMinutes);
  EXPECT_EQ(main->TimerRecalc->Interval(), static_cast<unsigned>(MaxRecalcMinutes) * 60000u);
}

TEST_F(BirthDataTest, ABadBirthDateIsReportedOnceAndNoOtherPersonsListIsShown) {
  MakeWindows();
  StorePerson(1, "Bob Stone", "1980-05-17", "07:45");
  StorePerson(2, "Anna Berg", "31.02.1990", "07:45");
  options->SelectPerson(1);
  main->ShowTransits();
  ASSERT_EQ(main->ListsStarted, 1);
  ASSERT_EQ(main->RadixHoroscope->HorName, "Bob Stone");
  int dialogs = 0;
  options->OnShow = [&](TObject*) {
    ++dialogs;
    options->SetModalResult(mrCancel);
  };
  boxes.clear();
  main->pbPersClick(main->pbPers2);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "The birth date 31.02.1990 is not valid.") << "the stored text the field could not take";
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(main->ListsStarted, 1) << "no list from Bob's birth moment under Anna's name";
  const std::string shown = main->rtext->Text();
  EXPECT_EQ(shown.find("Bob"), std::string::npos) << shown;
  EXPECT_NE(shown.find("is not valid"), std::string::npos) << shown;

  // The period's recalculation stays quiet: no box, no dialog, again and again.
  for (int i = 0; i < 3; ++i) main->TimerRecalcTimer(main->TimerRecalc);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(main->ListsStarted, 1);

  // Mended in the dialog: the list is made at once with the new date.
  options->OnShow = [&](TObject*) {
    ++dialogs;
    options->dfDate->SetAsDayNumber(entry::DMYToDayNumber(1, 3, 1990, 0));
    options->dfDate->OnChange(options->dfDate);
    options->OkClick(options->Ok);
  };
  main->ShowTransits();
  EXPECT_EQ(main->ListsStarted, 2);
  EXPECT_EQ(main->RadixHoroscope->HorName, "Anna Berg");
  EXPECT_DOUBLE_EQ(main->RadixHoroscope->HorDate, EncodeDate(1990, 3, 1));
  EXPECT_EQ(options->ReadString("dfDate2", ""), "1990-03-01");
}

TEST_F(BirthDataTest, TheTimerNeverStartsAListInsideAnotherOrUnderABoxOrDialog) {
  MakeWindows();
  StorePerson(1, "Bob Stone", "1980-05-17", "25:99");
  options->SelectPerson(1);
  // The timer fires while the message box and the dialog are up.
  SetMessageBoxFunc([this](const std::string& text, const std::string&, unsigned) {
    boxes.push_back(text);
    main->TimerRecalcTimer(main->TimerRecalc);
    return 1;
  });
  options->OnShow = [&](TObject*) {
    main->TimerRecalcTimer(main->TimerRecalc);
    options->SetModalResult(mrCancel);
  };
  main->ShowTransits();
  EXPECT_EQ(main->MaxListDepth, 1);
  EXPECT_EQ(boxes.size(), 1u);

  // Between the entries of a running list.
  StorePerson(1, "Bob Stone", "1980-05-17", "07:45");
  options->SelectPerson(1);
  struct TTimerTexts : ITransitTexts {
    TfrmMain* main = nullptr;
    int asked = 0;
    bool FindText(const std::string&, int, int, int, std::string& text) override {
      ++asked;
      main->TimerRecalcTimer(main->TimerRecalc);
      text = "Text.\r";
      return true;
    }
  } texts;
  texts.main = main;
  main->Texts = &texts;
  main->MaxListDepth = 0;
  main->ShowTransits();
  main->Texts = nullptr;
  EXPECT_GT(texts.asked, 0);
  EXPECT_EQ(main->MaxListDepth, 1);
}

TEST_F(BirthDataTest, NoModalWindowOpensUnderTheSplashAtStart) {
  MakeWindows();
  StorePerson(1, "Bob Stone", "1980-05-17", "99:99 PM");
  options->SelectPerson(1);
  ASSERT_TRUE(main->SplashScreen1->Showing());
  std::vector<bool> splashShown;
  SetMessageBoxFunc([&](const std::string& text, const std::string&, unsigned) {
    boxes.push_back(text);
    splashShown.push_back(main->SplashScreen1->Showing());
    return 1;
  });
  bool splashAtDialog = true;
  options->OnShow = [&](TObject*) {
    splashAtDialog = main->SplashScreen1->Showing();
    options->SetModalResult(mrCancel);
  };
  main->FormShow(main);
  // The box waits until the window shows.
  for (int i = 0; i < 5; ++i) Pump();
  ASSERT_EQ(splashShown.size(), 1u);
  EXPECT_FALSE(splashShown[0]);
  EXPECT_FALSE(splashAtDialog);
}

// An interpretation table that cannot be read (a damaged file) at the first list: the main
// window still comes to the screen without the splash picture, and the failure is told in a
// box over it; the program is never left running without a window.
TEST_F(BirthDataTest, ATableThatFailsAtTheFirstListLeavesTheWindowOnTheScreen) {
  struct DamagedTexts : ITransitTexts {
    bool FindText(const std::string&, int, int, int, std::string&) override {
      throw Exception("QN SERVER ERROR: Could not read exact number of bytes from file.");
    }
  } damaged;
  MakeWindows();
  StorePerson(1, "Bob Stone", "1980-05-17", "07:45");
  options->SelectPerson(1);
  main->Texts = &damaged;
  std::vector<bool> windowShown;
  SetMessageBoxFunc([&](const std::string& text, const std::string&, unsigned) {
    boxes.push_back(text);
    windowShown.push_back(main->Showing() && !main->SplashScreen1->Showing());
    return 1;
  });
  try {
    main->Show();
  } catch (const Exception& e) {
    ADD_FAILURE() << "escaped the window's showing: " << e.Message();
  }
  for (int i = 0; i < 5; ++i) Pump();
  EXPECT_TRUE(main->Showing());
  EXPECT_FALSE(main->SplashScreen1->Showing());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Could not read exact number of bytes"), std::string::npos) << boxes[0];
  EXPECT_TRUE(windowShown[0]) << "the box stands over the shown window";

  // A later list that fails the same way passes its failure to the caller; the window stays.
  EXPECT_THROW(main->ShowTransits(), Exception);
  EXPECT_TRUE(main->Showing());
}

TEST_F(BirthDataTest, NoListStaysOnShowForDataThatAreGone) {
  MakeWindows();
  StorePerson(1, "Bob Stone", "1980-05-17", "07:45");
  StorePerson(2, "Anna Berg", "1990-03-01", "07:45");
  options->SelectPerson(1);
  options->dfShort->SetAsString("Bob");
  options->dfShort->OnChange(options->dfShort);
  options->OkClick(options->Ok);  // the buttons take the shortcuts
  main->Show();
  Pump();
  main->ShowTransits();
  ASSERT_NE(main->rtext->Text().find("Bob"), std::string::npos);
  ASSERT_EQ(main->pbPers1->Caption(), "Bob");

  // Every field of Bob cleared, OK; the dialog that asks for a name again is cancelled.
  int shown = 0;
  options->OnShow = [&](TObject*) {
    if (++shown > 1) {
      options->SetModalResult(mrCancel);
      return;
    }
    for (entry::TFkBaseEntryField* field : {static_cast<entry::TFkBaseEntryField*>(options->dfShort),
                                            static_cast<entry::TFkBaseEntryField*>(options->dfPers),
                                            static_cast<entry::TFkBaseEntryField*>(options->dfPlace),
                                            static_cast<entry::TFkBaseEntryField*>(options->dfDate),
                                            static_cast<entry::TFkBaseEntryField*>(options->dfTime)}) {
      field->SetAsString("");
      if (field->OnChange) field->OnChange(field);
    }
    options->OkClick(options->Ok);
  };
  main->mnuOptionsClick(main);
  EXPECT_EQ(shown, 2);
  std::string text = main->rtext->Text();
  EXPECT_EQ(text.find("Bob"), std::string::npos) << text;
  // Anna is still there: the view does not say that nobody has been entered.
  EXPECT_NE(text.find("No name has been entered for Person 1 yet."), std::string::npos) << text;
  EXPECT_EQ(main->pbPers1->Caption(), "Person 1") << "a person without a shortcut keeps a usable button";
  options->OnShow = nullptr;

  // Back to Bob; then the transit date no longer reads and Anna is chosen.
  StorePerson(1, "Bob Stone", "1980-05-17", "07:45");
  main->pbPersClick(main->pbPers1);
  ASSERT_NE(main->rtext->Text().find("Bob"), std::string::npos);
  const int lists = main->ListsStarted;
  main->dfTransDate->SetAsString("");
  boxes.clear();
  main->pbPersClick(main->pbPers2);
  text = main->rtext->Text();
  EXPECT_EQ(main->ListsStarted, lists);
  EXPECT_EQ(text.find("Bob"), std::string::npos) << text;
  EXPECT_NE(text.find("The transit date  is not valid."), std::string::npos) << text;
  // A text typed that does not read is named.
  main->dfTransDate->SetAsDayNumber(entry::DMYToDayNumber(1, 2, 2024, 0));
  main->dfTransDate->SetFocus();
  Pump();
  Press(VK_HOME);
  TypeKeys("9999");
  main->pbPersClick(main->pbPers1);
  text = main->rtext->Text();
  EXPECT_EQ(text.find("Anna"), std::string::npos) << text;
  EXPECT_NE(text.find("The transit date 99"), std::string::npos) << text;
}

TEST_F(BirthDataTest, ABlankOrUnreadTransitDateCastsNoChart) {
  MakeWindows();
  StorePerson(1, "Bob Stone", "1980-05-17", "07:45");
  options->SelectPerson(1);
  main->Show();
  Pump();
  const int shown = main->ListsStarted;
  main->TransitHoroscope->HorName.clear();
  main->dfTransDate->SetAsString("");
  main->ShowTransits();
  main->TimerRecalcTimer(main->TimerRecalc);
  main->dfTransDateExit(main->dfTransDate);
  EXPECT_EQ(main->ListsStarted, shown);
  EXPECT_EQ(main->TransitHoroscope->HorName, "") << "no chart for 30 December 1899";
  EXPECT_FALSE(main->dfTransDate->IsValid());

  // A text typed but never validated that does not read.
  main->dfTransDate->SetAsDayNumber(entry::DMYToDayNumber(1, 2, 2024, 0));
  main->dfTransDate->SetFocus();
  Pump();
  Press(VK_HOME);
  TypeKeys("9999");
  main->ShowTransits();
  EXPECT_EQ(main->ListsStarted, shown);
  EXPECT_EQ(main->TransitHoroscope->HorName, "");

  main->dfTransDate->SetAsDayNumber(entry::DMYToDayNumber(1, 2, 2024, 0));
  main->ShowTransits();
  EXPECT_EQ(main->ListsStarted, shown + 1);
  EXPECT_DOUBLE_EQ(main->TransitHoroscope->HorDate, EncodeDate(2024, 2, 1));
}

}  // namespace
}  // namespace tw::app::test
