// Fixture of the tests over the built program data: a copy of the text tables in a folder of
// the test's own, served by the embedded database server.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/forms/mainwindow.h"
#include "app/forms/optionswindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "app/forms/texttables.h"
#include "dbaccess/clientcomms.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbaccess/errortext.h"
#include "dbengine/base/serverlog.h"
#include "entry/date/dayarith.h"
#include "entry/fksimplefield.h"
#include "horoscope/chartglobals.h"
#include "dataset/session.h"
#include "dataset/table.h"
#include "toolbars/toolbars.h"

namespace tw::app::test {

// The folder the build put the program's data into.
inline std::filesystem::path BuiltProgramFolder() {
  const char* programDir = std::getenv("TIDEWELL_PROGRAM_DIR");
  if (programDir == nullptr || *programDir == '\0') programDir = TIDEWELL_BUILT_PROGRAM_DIR;
  return programDir;
}

// A copy of the built tables in a folder of its own, served by the embedded server: tests
// running side by side do not share the server's files.
class TextTablesTest : public AppFormsTest {
 protected:
  void SetUp() override {
    AppFormsTest::SetUp();
    for (const char* name : {InterpretationTableName, MessageTableName}) {
      std::filesystem::copy_file(BuiltProgramFolder() / name, folder / name);
    }
    dbaccess::SetEngineMessageBox([this](const std::string& t, const std::string&, unsigned) {
      engineBoxes.push_back(t);
      return 1;
    });
    dbengine::QNSetLogPath((folder / "QNSERVER.LOG").string());
    dbaccess::RegisterEmbeddedServer(folder.string());
    SetDbiLink(nullptr);
    Session().AddStandardAlias(TextDatabaseName, folder.string() + "/");
    savedLanguage = horoscope::LanguageCode;
  }
  void TearDown() override {
    tables.clear();
    horoscope::LanguageCode = savedLanguage;
    DoneApplication();  // the windows' tables close while the server still runs
    Session().Close();
    Session().DeleteAlias(TextDatabaseName);
    dbaccess::DbiExit();
    dbaccess::SetClientCommsFactory(nullptr);
    dbaccess::SetEngineMessageBox(nullptr);
    AppFormsTest::TearDown();
  }
  TTable& Table(void (*setup)(TTable&)) {
    tables.push_back(std::make_unique<TTable>(nullptr));
    setup(*tables.back());
    return *tables.back();
  }
  std::vector<std::unique_ptr<TTable>> tables;
  std::vector<std::string> engineBoxes;
  std::string savedLanguage;
};

// The main and options windows over those tables.
class MainWindowTablesTest : public TextTablesTest {
 protected:
  void SetUp() override {
    TextTablesTest::SetUp();
    toolbars::RegisterToolbarClasses();
    main = Application()->CreateForm<TfrmMain>();
    main->ListingFolder = folder.string();
    options = Application()->CreateForm<TfrmOptions>();
  }
  // Opens the tables with the current language's texts and makes Bob Stone, born 17 May 1980,
  // the current person.
  void EnterBobStone() {
    main->OpenTables();
    main->LoadMessages();
    options->SelectPerson(1);
    options->dfPers->SetAsString("Bob Stone");
    options->dfPers->OnChange(options->dfPers);
    options->dfDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(1980, 5, 17)));
    options->dfDate->OnChange(options->dfDate);
  }
  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
};

}  // namespace tw::app::test
