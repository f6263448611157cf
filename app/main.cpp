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
#include "app/lib/register.h"
#include "app/lib/singleinstance.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbaccess/serverdialogs.h"
#include "entry/fieldkit.h"
#include "multilang/langswitch.h"
#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/formres/formcreate.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "platform/db/session.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/exceptions.h"
#include "richtext/controls/richtext.h"
#include "toolbars/toolbars.h"

namespace {

// argv[1]: the options file of the embedded database server, when given.
int RunProgram(const std::string& optionsFile) {
  using namespace tw;
  using namespace tw::app;
  if (!TSingleInstance::AcquireEarly(ApplicationName)) return 0;

  Application()->Initialize();
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

  Application()->SetName(ApplicationName);
  Application()->SetTitle(ApplicationTitle);
  Application()->SetHelpFile(ApplicationHelpFile);

  InstallDialogs();
  // A refused login or several servers reach the access layer's own dialogs.
  dbaccess::RegisterServerDialogs();
  RegisterStdControls();
  RegisterComCtrlsClasses();
  RegisterMenuClasses();
  RegisterDialogClasses();
  entry::InitFieldkit();
  toolbars::RegisterToolbarClasses();
  RegisterAppLibClasses();
  richtext::RegisterRichTextControls();
  multilang::RegisterMultiLangClasses();
  InstallFormResources();

  // The main window's single-instance component takes over the guard taken above.
  auto* main = Application()->CreateForm<TfrmMain>();
  main->OpenTables();
  Application()->CreateForm<TfrmOptions>();
  Application()->CreateForm<TAboutBox>();
  Application()->CreateForm<TfrmCal>();
  Application()->Run();

  RemoveAliasTable();
  DoneApplication();
  // The tables are closed with their windows; the server ends with the engine.
  Session().Close();
  dbaccess::DbiExit();
  return 0;
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
