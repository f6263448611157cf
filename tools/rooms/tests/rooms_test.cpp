// The rooms of the source tree and the one rule between them: an include may point down or
// sideways inside a building, never up.  The ground floor (platform/) stands on nothing else;
// every subsystem stands on the ground floor; the access layer stands on the database engine
// and on the entry library's date routines; the data-set classes stand on the access layer.
// The program (app/) and the build tools (tools/) stand on everything.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// Rooms of the ground floor, lowest first: each may include only those before it.
const std::vector<std::string> kGround = {
    "platform/rtl",           "platform/classes",        "platform/sys",           "platform/gfx",
    "platform/win",           "platform/forms",          "platform/forms/formres", "platform/forms/stdctrls",
    "platform/forms/comctrls", "platform/forms/menus",   "platform/forms/dialogs"};

// Buildings above the ground, their rooms lowest first, and the buildings each stands on.
struct Building {
  std::vector<std::string> Rooms;
  std::vector<std::string> StandsOn;
};
const std::map<std::string, Building> kBuildings = {
    {"horoscope", {{"horoscope"}, {}}},
    {"entry", {{"entry/date", "entry/strres", "entry"}, {}}},
    {"dbengine", {{"dbengine/base", "dbengine/storage", "dbengine/transport", "dbengine/server"}, {}}},
    {"richtext", {{"richtext/document", "richtext/rtf", "richtext/paint", "richtext/controls"}, {}}},
    {"multilang", {{"multilang"}, {}}},
    {"toolbars", {{"toolbars"}, {}}},
    {"dbaccess", {{"dbaccess"}, {"dbengine", "entry"}}},
    {"dataset", {{"dataset"}, {"dbaccess"}}},
};

// The innermost room that holds Path ("" when none does: app/, tools/, generated headers).
std::string RoomOf(const std::string& Path) {
  std::string best;
  auto consider = [&](const std::string& Room) {
    if ((Path == Room || Path.rfind(Room + "/", 0) == 0) && Room.size() > best.size()) best = Room;
  };
  for (const auto& r : kGround) consider(r);
  for (const auto& [name, b] : kBuildings)
    for (const auto& r : b.Rooms) consider(r);
  return best;
}

std::string BuildingOf(const std::string& Room) {
  for (const auto& [name, b] : kBuildings)
    if (std::find(b.Rooms.begin(), b.Rooms.end(), Room) != b.Rooms.end()) return name;
  return "";
}

std::set<std::string> Below(const std::string& BuildingName) {
  std::set<std::string> seen;
  std::vector<std::string> todo = kBuildings.at(BuildingName).StandsOn;
  while (!todo.empty()) {
    const std::string b = todo.back();
    todo.pop_back();
    if (!seen.insert(b).second) continue;
    for (const auto& n : kBuildings.at(b).StandsOn) todo.push_back(n);
  }
  return seen;
}

bool MayInclude(const std::string& From, const std::string& To) {
  if (From == To) return true;
  const auto groundIndex = [](const std::string& r) {
    return std::find(kGround.begin(), kGround.end(), r) - kGround.begin();
  };
  const bool toGround = groundIndex(To) < static_cast<long>(kGround.size());
  const bool fromGround = groundIndex(From) < static_cast<long>(kGround.size());
  if (fromGround) return toGround && groundIndex(To) < groundIndex(From);
  if (toGround) return true;
  const std::string a = BuildingOf(From), b = BuildingOf(To);
  if (a == b) {
    const auto& rooms = kBuildings.at(a).Rooms;
    return std::find(rooms.begin(), rooms.end(), To) < std::find(rooms.begin(), rooms.end(), From);
  }
  return Below(a).count(b) != 0;
}

TEST(Rooms, NoIncludePointsFromALowerRoomToAHigherOne) {
  const char* source = std::getenv("TIDEWELL_SOURCE_DIR");
  if (source == nullptr) GTEST_SKIP() << "TIDEWELL_SOURCE_DIR is not set";
  namespace fs = std::filesystem;
  const fs::path root(source);
  std::vector<std::string> wrong;
  int files = 0;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string name = it->path().filename().string();
    if (it->is_directory() && (name == "build" || name == ".git")) {
      it.disable_recursion_pending();
      continue;
    }
    const std::string ext = it->path().extension().string();
    if (!it->is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    const std::string path = fs::relative(it->path(), root).generic_string();
    const std::string from = RoomOf(path);
    if (from.empty()) continue;
    ++files;
    std::ifstream in(it->path());
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("#include \"", 0) != 0) continue;
      const std::string target = line.substr(10, line.find('"', 10) - 10);
      const std::string to = RoomOf(target);
      if (!to.empty() && !MayInclude(from, to)) wrong.push_back(path + " includes " + target);
    }
  }
  EXPECT_GT(files, 500);
  std::string list;
  for (const auto& w : wrong) list += w + "\n";
  EXPECT_TRUE(wrong.empty()) << list;
}

TEST(Rooms, TheRuleReadsAsTheHouseIsBuilt) {
  EXPECT_TRUE(MayInclude("dataset", "dbengine/base"));     // down two floors
  EXPECT_TRUE(MayInclude("dbaccess", "entry/date"));
  EXPECT_TRUE(MayInclude("dbengine/server", "dbengine/storage"));
  EXPECT_FALSE(MayInclude("dbengine/storage", "dbengine/server"));
  EXPECT_FALSE(MayInclude("dbengine/base", "entry/strres"));  // sideways between buildings
  EXPECT_FALSE(MayInclude("platform/classes", "platform/win"));
  EXPECT_FALSE(MayInclude("platform/win", "dbaccess"));
  EXPECT_FALSE(MayInclude("dbaccess", "dataset"));
}

}  // namespace
