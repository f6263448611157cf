// Settings that cannot be saved (a settings folder that cannot be written): the user is told
// once per run, in the program's language, and the program goes on without saving.  The
// report waits until the program is ready to show it, so that no box opens under the splash
// picture while the windows are made and its text can come in the language the user chose.
#pragma once

#include <functional>
#include <string>

namespace tw::app {

// The English text; "%s" stands for the settings folder.
inline constexpr char SettingsNotSavedText[] =
    "Your settings cannot be saved: the folder %s cannot be written. Changes you make now are lost when the "
    "program ends.";

// A settings write failed (`cause`: the technical text, written to stderr with the first
// report).  The first failure of the run is shown in a box once the program is ready; later
// ones are silent.
void ReportSettingsNotSaved(const std::string& cause);

// The program is ready for boxes: `text` gives the report's text in the current language ("%s"
// for the folder; empty: the English text).  A failure that waited is shown now.
void SettingsReportReady(std::function<std::string()> text);

// Runs `write`; a settings store that cannot be written (ERegistryException) is reported as
// above instead of raised.  True when the write went through.
bool WriteSettings(const std::function<void()>& write);

// Back to "nothing reported, not ready" (tests).
void ResetSettingsReport();

}  // namespace tw::app
