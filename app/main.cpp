// The program block: one copy only, the program folder prepared, the windows made in order, the
// message loop, and the cleaning up after it.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "app/forms/calendarwindow.h"
#include "app/forms/mainwindow.h"
#include "app/forms/optionswindow.h"
#include "app/forms/startup.h"
#include "app/lib/singleinstance.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbaccess/serverdialogs.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/forms.h"
#include "dataset/session.h"
#include "platform/rtl/exceptions.h"
#include "platform/win/display.h"

namespace {

// Every way out of the program ends here: the windows go first (their tables close while the
// server still answers), then the data-set session, then the access layer's engine with the
// embedded server.  Nothing of the engine is left to the static destructors, which run after
// the server's own state is gone.
void ShutDown(bool engineRegistered) {
  using namespace tw;
  if (!app::ExePath.empty()) app::RemoveAliasTable();
  try {
    DoneApplication();
  } catch (...) {
    // A window that could not close cleanly does not keep the engine up.
  }
  if (!engineRegistered) return;
  try {
    Session().Close();
  } catch (...) {
  }
  dbaccess::DbiExit();
}

// argv[1]: the options file of the embedded database server, when given.
int RunProgram(const std::string& optionsFile) {
  using namespace tw;
  using namespace tw::app;
  ChooseStartLanguage();
  // No display, no program: the off-screen display is for tests, which choose it themselves.
  try {
    SelectProgramDisplay();
  } catch (const Exception& e) {
    return ReportFatalError(e.Message(), false);
  }
  if (!TSingleInstance::AcquireEarly(ApplicationName)) return 0;

  int status = 0;
  bool engineRegistered = false;
  // A failure is shown where the user looks: in a box on a real display, and on stderr, with
  // the program folder it happened in.
  const auto fail = [&status](const std::string& message) {
    std::string text = message;
    if (!ExePath.empty() && text.find(ExePath) == std::string::npos) text += "\n" + ProgramFolderNote(ExePath);
    status = ReportFatalError(text, DisplayName() != "offscreen");
  };
  try {
    Application()->Initialize();
    // The boxes first: a start that fails from here on shows its failure in one.
    InstallDialogs();
    // The server reads the options file after the program folder became the current folder.
    std::string options;
    if (!optionsFile.empty()) {
      std::error_code ec;
      options = std::filesystem::absolute(optionsFile, ec).string();
      if (ec) options = optionsFile;
    }
    PrepareProgramFolder(ProgramFolder());
    // The database server runs inside the program; it must be reachable before a table opens.
    dbaccess::RegisterEmbeddedServer(ExePath, options);
    engineRegistered = true;

    Application()->SetName(ApplicationName);
    Application()->SetTitle(ApplicationTitle);
    Application()->SetHelpFile(ApplicationHelpFile);

    // A refused login or several servers reach the access layer's own dialogs.
    dbaccess::RegisterServerDialogs();
    RegisterWindowClasses();

    // The main window's single-instance component takes over the guard taken above.
    auto* main = Application()->CreateForm<TfrmMain>();
    main->OpenTables();
    Application()->CreateForm<TfrmOptions>();
    Application()->CreateForm<TAboutBox>();
    Application()->CreateForm<TfrmCal>();
    Application()->Run();
  } catch (const Exception& e) {
    fail(e.Message());
  } catch (const std::exception& e) {
    fail(e.what());
  }
  ShutDown(engineRegistered);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return RunProgram(argc > 1 && argv[1] != nullptr ? argv[1] : "");
  } catch (const tw::Exception& e) {
    std::fprintf(stderr, "Tidewell: %s\n", e.Message().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Tidewell: %s\n", e.what());
  }
  return 1;
}
