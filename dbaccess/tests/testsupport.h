// Shared helpers of the access-layer tests: a recorder of the layer's message boxes and a
// fixture that leaves no engine, factory or prompt behind.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbaccess/clientcomms.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/errortext.h"

namespace tw::dbaccess::test {

struct ShownBox {
  std::string Text;
  std::string Caption;
  unsigned Flags;
};

class AccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEngineMessageBox([this](const std::string& t, const std::string& c, unsigned f) {
      Boxes.push_back({t, c, f});
      return 1;
    });
    SetClientCommsFactory(nullptr);
    SetLoginPrompt(nullptr);
    SetDatabaseAliasLookup(nullptr);
    SessionDefaults() = TSessionDefaults{};
  }
  void TearDown() override {
    DbiExit();
    SetClientCommsFactory(nullptr);
    SetLoginPrompt(nullptr);
    SetDatabaseAliasLookup(nullptr);
    SetEngineMessageBox(nullptr);
  }
  std::vector<ShownBox> Boxes;
};

// Stands in for the login and server-pick dialogs: answers as set (OK, the last server) and
// records what it was asked.
class ScriptedPrompt : public TLoginPrompt {
 public:
  bool Login(const std::string& Server, std::string& User, std::string& Password) override {
    servers.push_back(Server);
    ++logins;
    User = user;
    Password = password;
    return true;
  }
  bool PickServer(const std::vector<std::string>& Names, std::string& Chosen) override {
    ++picks;
    Chosen = Names.back();
    return true;
  }
  std::string user = "guest";
  std::string password = "wrong";
  std::vector<std::string> servers;  // of each login question
  int logins = 0;
  int picks = 0;
};

inline FLDDesc Field(const char* Name, std::uint16_t Type, std::uint16_t Len, std::uint16_t Offset = 0) {
  FLDDesc d;
  std::strncpy(d.szName, Name, 31);
  d.iFldType = Type;
  d.iLen = Len;
  d.iOffset = Offset;
  return d;
}

}  // namespace tw::dbaccess::test
