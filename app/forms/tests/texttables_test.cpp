// The text tables as the program builds them into its folder, read through the embedded
// database server: interpretations by key, message texts of one language, and the main window
// that shows both.
#include "app/forms/texttables.h"

#include "app/forms/mainwindow.h"
#include "richtext/controls/richtext.h"
#include "richtext/controls/textinput.h"
#include "richtext/paint/textpaint.h"
#include "app/forms/tests/texttables_fixture.h"
#include "dbaccess/commsengine.h"
#include "dbaccess/errortext.h"
#include "entry/date/dayarith.h"
#include "entry/fksimplefield.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::app::test {
namespace {

TEST_F(TextTablesTest, InterpretationsAreFoundByLanguageBodiesAndAspect) {
  TTable& table = Table(SetupInterpretationTable);
  TTableTransitTexts texts(table);
  std::string text = "untouched";
  EXPECT_FALSE(texts.FindText("ENG", 0, 0, 1, text)) << "a closed table has no texts";
  EXPECT_EQ(text, "untouched");

  table.Open();
  ASSERT_TRUE(texts.FindText("ENG", 0, 0, 1, text));
  EXPECT_EQ(text.rfind("The Sun returns to its place in your birth chart", 0), 0u) << text;
  std::string german;
  ASSERT_TRUE(texts.FindText("DEU", 0, 0, 1, german));
  EXPECT_NE(german, text);

  text = "untouched";
  EXPECT_FALSE(texts.FindText("XXX", 0, 0, 1, text));
  EXPECT_FALSE(texts.FindText("ENG", 99, 0, 1, text));
  EXPECT_EQ(text, "untouched") << "a failed search hands back nothing";
  EXPECT_THROW(table.Edit(), Exception) << "the program's tables are opened read-only";
  EXPECT_TRUE(engineBoxes.empty()) << engineBoxes.front();
}

TEST_F(TextTablesTest, MessagesOfEachLanguageComeThroughTheLoader) {
  TTable& table = Table(SetupMessageTable);
  TTableMessageRecords records(table);
  EXPECT_EQ(LoadLanguageMessages(records, "ENG"), nullptr) << "a closed table keeps the texts in use";

  table.Open();
  auto english = LoadLanguageMessages(records, "ENG");
  ASSERT_NE(english, nullptr);
  const int sun = english->IndexOfObject(10);
  ASSERT_GE(sun, 0);
  EXPECT_EQ(english->Strings(sun), "Sun");
  EXPECT_EQ(english->Strings(english->IndexOfObject(1)), "Tidewell");

  auto german = LoadLanguageMessages(records, "DEU");
  ASSERT_NE(german, nullptr);
  ASSERT_GE(german->IndexOfObject(98), 0);
  EXPECT_NE(german->Strings(german->IndexOfObject(98)), english->Strings(english->IndexOfObject(98)));
  EXPECT_EQ(LoadLanguageMessages(records, "XXX")->Count(), 0) << "an unknown language has no texts";
}

// A message table whose texts cannot be read (a damaged file): the texts that do read are
// used, and the failure is told once in a box over the shown window, in the program's
// language, naming the table; it is never passed over as a complete load.
TEST_F(MainWindowTablesTest, MessagesThatCannotBeReadAreToldOnce) {
  horoscope::LanguageCode = "ENG";
  std::filesystem::resize_file(folder / MessageTableName, 30000);
  main->OpenTables();
  ASSERT_TRUE(main->tblMSGS->Active());
  // With a person, the first list runs (and lets messages through) while the window is on its
  // way to the screen.
  options->SelectPerson(1);
  options->dfPers->SetAsString("Bob Stone");
  options->dfPers->OnChange(options->dfPers);
  options->dfDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(1980, 5, 17)));
  options->dfDate->OnChange(options->dfDate);
  std::vector<bool> windowShown;
  SetMessageBoxFunc([&](const std::string& text, const std::string&, unsigned) {
    boxes.push_back(text);
    windowShown.push_back(main->Showing());
    return 1;
  });
  main->Show();
  for (int i = 0; i < 5; ++i) Pump();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(MessageTableName), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("Could not read exact number of bytes"), std::string::npos) << boxes[0];
  EXPECT_TRUE(windowShown[0]);
  main->LoadMessages();  // the same table again: told once
  for (int i = 0; i < 5; ++i) Pump();
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(MainWindowTablesTest, ShowingTheWindowLoadsTheTextsOfTheLanguage) {
  horoscope::LanguageCode = "ENG";
  main->OpenTables();
  ASSERT_TRUE(main->tblText->Active());
  ASSERT_TRUE(main->tblMSGS->Active());
  main->FormShow(main);
  ASSERT_NE(horoscope::MessageList, nullptr);
  EXPECT_EQ(horoscope::GetBodyName(0), "Sun");
  EXPECT_EQ(horoscope::GetBodyName(1), "Moon");
  EXPECT_EQ(main->Caption(), "Tidewell - Personal Transits");
  EXPECT_NE(main->rtext->Text().find("No person has been entered yet."), std::string::npos)
      << "without a person the welcome text is shown";

  horoscope::LanguageCode = "DEU";
  main->LoadMessages();
  EXPECT_NE(horoscope::GetBodyName(1), "Moon");
}

TEST_F(MainWindowTablesTest, TheListReadsItsInterpretationsFromTheTable) {
  EnterBobStone();
  StopFlag = false;
  main->ShowTransits();
  const std::string text = main->rtext->Text();
  EXPECT_NE(text.find("Bob Stone"), std::string::npos);
  EXPECT_NE(text.find("your natal"), std::string::npos) << text.substr(0, 600);
}

TEST_F(MainWindowTablesTest, OneRecalculationPaintsTheViewOnceWhenItIsShown) {
  EnterBobStone();
  // The program computes lists in a window that exists: making the windows sizes the view's
  // picture, which is not painting.
  main->HandleNeeded();
  // Drawing on the view's picture is counted in paint passes: a pass is the span between the
  // outermost before- and after-paint calls of the engine in which something was drawn.
  richtext::TRiRTFTextInput& engine = *main->rtext->RtfText();
  richtext::TRiPaintHost& host = engine.Host;
  const richtext::TRiPaintHost saved = host;
  TCanvas& picture = *engine.ReferenceCanvas();
  const TNotifyEvent savedChanging = picture.OnChanging;
  int depth = 0, passes = 0, drawn = 0, drawnWhileHidden = 0, drawnOutside = 0;
  bool passCounted = false;
  host.BeforePaint = [&] {
    if (depth++ == 0) passCounted = false;
    if (saved.BeforePaint) saved.BeforePaint();
  };
  host.AfterPaint = [&] {
    if (depth > 0) --depth;
    if (saved.AfterPaint) saved.AfterPaint();
  };
  picture.OnChanging = [&](TObject*) {
    ++drawn;
    if (!main->rtext->Visible()) ++drawnWhileHidden;
    if (depth == 0) {
      ++drawnOutside;
    } else if (!passCounted) {
      passCounted = true;
      ++passes;
    }
  };
  StopFlag = false;
  main->ShowTransits();
  host = saved;
  picture.OnChanging = savedChanging;
  EXPECT_NE(main->rtext->Text().find("your natal"), std::string::npos) << "a list was written";
  EXPECT_EQ(drawnWhileHidden, 0) << "nothing is drawn while the list is written";
  EXPECT_EQ(drawnOutside, 0);
  EXPECT_EQ(passes, 1) << "one paint, when the view is shown";
  EXPECT_GT(drawn, 10) << "that paint draws the lines in view";
}

// A client connection that counts the requests sent through it.
class TCountingComms : public dbaccess::TClientComms {
 public:
  TCountingComms(std::unique_ptr<dbaccess::TClientComms> inner, int& count) : inner_(std::move(inner)), count_(count) {}
  bool IsConnected() const override { return inner_->IsConnected(); }
  std::vector<std::string> GetServerNames(std::uint32_t TimeOut) override { return inner_->GetServerNames(TimeOut); }
  DBIResult AttachToServer(const std::string& Server, const std::string& User, const std::string& Password) override {
    return inner_->AttachToServer(Server, User, Password);
  }
  DBIResult SendRequest(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream,
                        void* Reply, std::uint32_t ReplyCapacity, std::uint32_t* ReplyLength) override {
    ++count_;
    return inner_->SendRequest(MessageId, Data, Length, DataIsStream, Reply, ReplyCapacity, ReplyLength);
  }
  DBIResult SendRequestToStream(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream,
                                TStream& Reply) override {
    ++count_;
    return inner_->SendRequestToStream(MessageId, Data, Length, DataIsStream, Reply);
  }

 private:
  std::unique_ptr<dbaccess::TClientComms> inner_;
  int& count_;
};

class CountedRequestsTest : public MainWindowTablesTest {
 protected:
  void SetUp() override {
    MainWindowTablesTest::SetUp();
    const std::string served = folder.string();
    dbaccess::SetClientCommsFactory([this, served](const std::string& name) -> std::unique_ptr<dbaccess::TClientComms> {
      auto engine = std::make_unique<dbaccess::TqnClientCommsEngine>(name);
      dbaccess::StartEmbeddedServer(*engine, served);
      return std::make_unique<TCountingComms>(std::move(engine), requests);
    });
  }
  int requests = 0;
};

TEST_F(CountedRequestsTest, TheMessagesOfOneLanguageLoadWithABoundedNumberOfRequests) {
  main->OpenTables();
  for (const char* code : {"ENG", "DEU"}) {
    horoscope::LanguageCode = code;
    requests = 0;
    main->LoadMessages();
    ASSERT_NE(horoscope::MessageList, nullptr);
    const int count = horoscope::MessageList->Count();
    EXPECT_GT(count, 60) << code;
    // The record and its memo text for each message of the language, and a few requests to
    // limit the table: the other language's records are never read.
    EXPECT_LE(requests, 6 * count + 10) << code;
  }
  EXPECT_EQ(horoscope::GetBodyName(1), "Mond") << "the German texts, not the English ones";
}

TEST_F(MainWindowTablesTest, LeavingWindowTakesItsMessagesAlong) {
  main->OpenTables();
  main->LoadMessages();
  ASSERT_NE(horoscope::MessageList, nullptr);
  DoneApplication();
  EXPECT_EQ(horoscope::MessageList, nullptr) << "no reader may reach the freed list";
  EXPECT_EQ(horoscope::GetBodyName(0), "");
}

}  // namespace
}  // namespace tw::app::test
