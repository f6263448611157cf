// Fixture of the form-library tests: a fresh offscreen window system and application, and a
// settings store in a temporary folder of this process.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/lib/settingsreport.h"
#include "platform/classes/registry.h"
#include "platform/forms/forms.h"
#include "platform/win/display.h"
#include "platform/rtl/uilanguage.h"

namespace tw::app::test {

class AppLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("tw_applib_" + std::to_string(::getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    SetSettingsStorePath((folder / "registry.ini").string());
    ResetSettingsReport();
    SelectDisplay("offscreen");
    ResetWindowSystem();
    SetMessageBoxFunc([this](const std::string& text, const std::string&, unsigned) {
      boxes.push_back(text);
      return 1;
    });
    Application()->SetName("Tidewell");
    Application()->SetTitle("Tidewell");
  }
  void TearDown() override {
    DoneApplication();
    ResetWindowSystem();
    SetMessageBoxFunc(nullptr);
    SetSettingsStorePath("");
    SetUiLanguage(std::nullopt);  // a case that chose German leaves the next one the desktop's
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  static void Pump() { Application()->ProcessMessages(); }

  std::filesystem::path folder;
  std::vector<std::string> boxes;
};

}  // namespace tw::app::test
