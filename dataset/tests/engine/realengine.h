// Fixture of the tests over the real access layer: the server started inside this process over
// a fresh folder, reached under the alias "Tidewell"; message boxes of the access layer are
// collected instead of shown.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dbaccess/clientcomms.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbaccess/errortext.h"
#include "dbengine/base/serverlog.h"
#include "dataset/dberrors.h"
#include "dataset/session.h"
#include "dataset/table.h"
#include "dataset/tests/newtable.h"
#include "platform/win/display.h"

namespace tw::test {

class RealEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    dbaccess::SetEngineMessageBox([this](const std::string& t, const std::string&, unsigned) {
      Boxes.push_back(t);
      return 1;
    });
    SelectDisplay("offscreen");
    ResetWindowSystem();
    Folder = std::filesystem::temp_directory_path() / ("tw_db_e2e_" + std::to_string(getpid()));
    std::filesystem::create_directories(Folder);
    dbengine::QNSetLogPath((Folder / "QNSERVER.LOG").string());
    dbaccess::RegisterEmbeddedServer(Folder.string());
    SetDbiLink(nullptr);
    Session().AddStandardAlias("Tidewell", Folder.string() + "/");
  }
  void TearDown() override {
    for (TTable* t : Tables) delete t;
    Session().Close();
    Session().OnLogin = nullptr;
    dbaccess::SetLoginPrompt(nullptr);
    dbaccess::SetDatabaseAliasLookup(nullptr);
    dbaccess::SessionDefaults() = dbaccess::TSessionDefaults{};
    Session().DeleteAlias("Tidewell");
    dbaccess::DbiExit();
    dbaccess::SetClientCommsFactory(nullptr);
    dbaccess::SetEngineMessageBox(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(Folder, ec);
  }
  TTable* NewTable(const std::string& name) { return NewTableIn(Tables, name); }
  std::filesystem::path Folder;
  std::vector<TTable*> Tables;
  std::vector<std::string> Boxes;
};

}  // namespace tw::test
