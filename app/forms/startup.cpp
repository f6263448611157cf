// Start-up preparation of the program folder.
#include "app/forms/startup.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/lib/register.h"
#include "app/lib/winregistry.h"
#include "entry/fieldkit.h"
#include "multilang/langswitch.h"
#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/formres/formcreate.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"
#include "platform/rtl/win1252.h"
#include "richtext/controls/richtext.h"
#include "toolbars/toolbars.h"
#include "platform/forms/forms.h"
#include "platform/win/display.h"
#include "platform/win/winapi.h"

namespace tw::app {

namespace {

// The start's own messages in the program's language.
constexpr TUiTextPair kGerman[] = {
    {"Cannot enter the program folder %s", "Der Programmordner %s kann nicht ge\xF6" "ffnet werden"},
    {"The program folder %s cannot be written (%s): %s", "In den Programmordner %s kann nicht geschrieben werden (%s): %s"},
    {"The program folder %s cannot be written: %s", "In den Programmordner %s kann nicht geschrieben werden: %s"},
    {"Program folder: %s", "Programmordner: %s"},
};
std::string StartText(const char* english) { return UiText(english, kGerman); }

}  // namespace

std::string ExePath;

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::current_path(ec) / "tidewell";
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string AliasScriptLine(const std::string& folder) { return std::string(ApplicationName) + ";" + folder + "\r\n"; }

void RemoveAliasTable() {
  std::error_code ec;
  std::filesystem::remove(ExePath + AliasTableName, ec);
}

void PrepareProgramFolder(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  if (::chdir(path.c_str()) != 0) {
    const int error = InOutErrorFromErrno(errno);
    throw EInOutError(Format(StartText("Cannot enter the program folder %s"), {path}), error);
  }
  ExePath = path;
  RemoveAliasTable();
  try {
    AtomicWriteFile(ExePath + AliasScriptName, AliasScriptLine(ExePath));
  } catch (const Exception& e) {
    const int error = errno;  // as the failed call left it
    // The cause in the program's language, as the library's own text is.
    if (error == 0)
      throw EInOutError(Format(StartText("The program folder %s cannot be written: %s"), {path, e.Message()}), 5);
    const int code = InOutErrorFromErrno(error);
    throw EInOutError(
        Format(StartText("The program folder %s cannot be written (%s): %s"), {path, InOutErrorText(code), e.Message()}),
        code);
  }
}

void RegisterWindowClasses() {
  RegisterStdControls();
  RegisterComCtrlsClasses();
  RegisterMenuClasses();
  RegisterDialogClasses();
  entry::InitFieldkit();
  RegisterAppLibClasses();
  richtext::RegisterRichTextControls();
  multilang::RegisterMultiLangClasses();
  toolbars::RegisterToolbarClasses();
  InstallFormResources();
}

void SelectProgramDisplay() {
  const char* chosen = std::getenv("TIDEWELL_DISPLAY");
  SelectDisplay(chosen != nullptr && *chosen != '\0' ? chosen : "x11");
}

std::string ProgramFolderNote(const std::string& folder) { return Format(StartText("Program folder: %s"), {folder}); }

void ChooseStartLanguage() {
  try {
    const std::string stored =
        TWinRegistry(std::string("\\Software\\Orvelle\\") + ApplicationTitle).ReadString("frmMain", "Language", "");
    if (!stored.empty()) SetUiLanguage(stored == "Deutsch" ? TUiLanguage::German : TUiLanguage::English);
  } catch (const Exception&) {
    // An unreadable store: the desktop's language until the windows choose.
  }
}

int ReportFatalError(const std::string& message, bool showBox) {
  // The terminal reads UTF-8; the program's texts are Windows-1252.
  std::fprintf(stderr, "%s: %s\n", ApplicationName, Win1252ToUtf8(message).c_str());
  std::fflush(stderr);
  if (showBox) {
    // A modal box: the splash picture, still up when the start fails, steps aside for it.
    try {
      Application()->MessageBox(message, ApplicationTitle, MB_OK | MB_ICONERROR);
    } catch (...) {
      // The box could not be shown: the text is on stderr.
    }
  }
  return 1;
}

}  // namespace tw::app
