// The help pages copied beside the program: their maps parse, list every context the program
// opens, and lead to pages and anchors that exist.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/sys/help.h"
#include "platform/sys/helpmap.h"

namespace tw {
namespace {

std::string ProgramDir() {
  const char* p = std::getenv("TIDEWELL_PROGRAM_DIR");
  return p ? p : "../bin";
}
std::string Read(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::uint32_t> Contexts() {
  std::vector<std::uint32_t> v = {1, 3, 4, 22014};
  for (std::uint32_t b : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15}) {
    v.push_back(20000 + b);
    v.push_back(21000 + b);
  }
  for (std::uint32_t a = 1; a <= 5; ++a) v.push_back(22000 + a);
  return v;
}

TEST(HelpPages, MapEveryContextToAnExistingAnchor) {
  for (const std::string lang : {"TW_ENG", "TW_DEU"}) {
    const std::string folder = ProgramDir() + "/help/" + lang + "/";
    const std::string page = Read(folder + "index.html");
    ASSERT_FALSE(page.empty()) << folder;
    const HelpMap map = ParseHelpMap(Read(folder + "contexts.txt"));
    EXPECT_TRUE(map.Errors.empty()) << lang << ": " << (map.Errors.empty() ? "" : map.Errors.front());
    for (std::uint32_t c : Contexts()) {
      const HelpTarget* t = map.FindContext(c);
      ASSERT_NE(t, nullptr) << lang << " context " << c;
      EXPECT_EQ(t->Page, "index.html");
      EXPECT_NE(page.find("id=\"" + t->Anchor + "\""), std::string::npos) << lang << " #" << t->Anchor;
    }
  }
}

TEST(HelpPages, OpenThroughTheHelpServiceInBothLanguages) {
  auto launcher = std::make_shared<RecordingHelpLauncher>();
  HelpSystem help(ProgramDir(), launcher);
  EXPECT_TRUE(help.WinHelp("TW_ENG.hlp", HELP_CONTEXT, 22014).Succeeded);
  const HelpResult r = help.WinHelp("TW_DEU.HLP", HELP_CONTEXT, 20015);
  EXPECT_TRUE(r.Succeeded) << r.Error;
  EXPECT_EQ(r.Anchor, "transit-chiron");
  EXPECT_EQ(launcher->Urls().size(), 2u);
}

}  // namespace
}  // namespace tw
