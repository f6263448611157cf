#include "app/lib/settingsreport.h"

#include <cstdio>

#include "platform/classes/registry.h"
#include "platform/forms/forms.h"
#include "platform/rtl/files.h"

namespace tw::app {

namespace {

struct ReportState {
  bool ready = false;
  bool pending = false;
  bool told = false;
  std::string cause;
  std::function<std::string()> text;
};

ReportState& State() {
  static ReportState state;
  return state;
}

void ShowReport() {
  ReportState& s = State();
  s.told = true;
  s.pending = false;
  std::string pattern = s.text ? s.text() : std::string();
  if (pattern.empty()) pattern = SettingsNotSavedText;
  const std::string folder = ExtractFilePath(SettingsStorePath());
  std::string text = pattern;
  if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, folder);
  std::fprintf(stderr, "%s: %s\n", Application()->Title().c_str(), s.cause.c_str());
  std::fflush(stderr);
  Application()->MessageBox(text, Application()->Title(), MB_OK | MB_ICONWARNING);
}

}  // namespace

void ReportSettingsNotSaved(const std::string& cause) {
  ReportState& s = State();
  if (s.told || s.pending) return;
  s.cause = cause;
  if (s.ready) ShowReport();
  else s.pending = true;
}

void SettingsReportReady(std::function<std::string()> text) {
  ReportState& s = State();
  s.text = std::move(text);
  s.ready = true;
  if (s.pending && !s.told) ShowReport();
}

bool WriteSettings(const std::function<void()>& write) {
  try {
    write();
    return true;
  } catch (const ERegistryException& e) {
    ReportSettingsNotSaved(e.Message());
    return false;
  }
}

void ResetSettingsReport() { State() = ReportState{}; }

}  // namespace tw::app
