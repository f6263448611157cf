// Fixture of the window tests: a fresh offscreen window system and application, every control
// class registered for the form descriptions, and a settings store in a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/lib/register.h"
#include "entry/fieldkit.h"
#include "platform/classes/registry.h"
#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/formres/formcreate.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/win/display.h"
#include "richtext/controls/richtext.h"

namespace tw::app::test {

class AppFormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("tw_appforms_" + std::to_string(::getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    SetSettingsStorePath((folder / "registry.ini").string());
    SelectDisplay("offscreen");
    ResetWindowSystem();
    SetMessageBoxFunc([this](const std::string& text, const std::string&, unsigned) {
      boxes.push_back(text);
      return 1;
    });
    Application()->SetName("Tidewell");
    Application()->SetTitle("Corvane - Tidewell");
    RegisterStdControls();
    RegisterComCtrlsClasses();
    RegisterMenuClasses();
    RegisterDialogClasses();
    entry::InitFieldkit();
    RegisterAppLibClasses();
    richtext::RegisterRichTextControls();
    InstallFormResources();
  }
  void TearDown() override {
    DoneApplication();
    ResetWindowSystem();
    SetMessageBoxFunc(nullptr);
    SetSettingsStorePath("");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  static void Pump() { Application()->ProcessMessages(); }

  std::filesystem::path folder;
  std::vector<std::string> boxes;
};

}  // namespace tw::app::test
