// Preparing the process for the windows: the program folder becomes the current folder, the
// database alias script that maps the alias "Tidewell" to that folder is written, and the
// server's stale alias table is removed.
#pragma once

#include <string>

namespace tw::app {

inline constexpr char AliasScriptName[] = "QNALIAS.SC$";
inline constexpr char AliasTableName[] = "QNALIAS.QND";
inline constexpr char ApplicationName[] = "Tidewell";
inline constexpr char ApplicationTitle[] = "Corvane - Tidewell";
inline constexpr char ApplicationHelpFile[] = "TW_ENG.hlp";

// The program's folder with its trailing separator ("" until set by PrepareProgramFolder).
extern std::string ExePath;

// The folder of the running program file, with a trailing '/'.
std::string ProgramFolder();

// The one line of the alias script for `folder`: "Tidewell;" + folder + CR LF.
std::string AliasScriptLine(const std::string& folder);

// Makes `folder` (with its trailing separator) the program folder and the current folder,
// deletes a stale alias table and writes the alias script whole or not at all.  Raises
// EInOutError when the folder cannot be entered or the script cannot be written; its text
// names the folder and the cause.
void PrepareProgramFolder(const std::string& folder);

// Deletes the server's alias table of the program folder (a missing file is no error).
void RemoveAliasTable();

// Registers every control class the window descriptions name and installs the form
// descriptions (the windows can be made after it).
void RegisterWindowClasses();

// The display the program shows its windows on: the one TIDEWELL_DISPLAY names, else the X
// display.  Never falls back to the off-screen display, where no one would see the program:
// raises tw::Exception ("Cannot open the X display ...") when the display cannot be opened.
void SelectProgramDisplay();

// A failure that ends the program: "Tidewell: " and the text on stderr and, when `showBox`,
// the text in a message box as well (not on the off-screen display, where no one could answer
// it).  The program's windows (the splash picture among them) are hidden first, so that
// nothing covers the box.  Returns the program's exit code, 1.
int ReportFatalError(const std::string& message, bool showBox);

// "Program folder: " + `folder`, the line a start failure adds when its text names no folder.
std::string ProgramFolderNote(const std::string& folder);

// The language the start speaks until the windows choose theirs: the one stored at the last
// run, else the desktop's.  So a start that fails speaks one language, the user's.
void ChooseStartLanguage();

}  // namespace tw::app
