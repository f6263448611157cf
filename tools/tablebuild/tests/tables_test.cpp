// The tables built into the program folder: they open with the engine, pass the table
// checker, hold every message the program shows and an interpretation (or a deliberate gap)
// for every combination the transit list can look up.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbengine/server/server_engine.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/table_check.h"
#include "tools/tablebuild/tablewriter.h"
#include "tools/tablebuild/textsource.h"

namespace tw::tablebuild {
namespace {

using namespace tw::dbengine;

std::string ProgramDir() {
  const char* p = std::getenv("TIDEWELL_PROGRAM_DIR");
  return p ? p : "../bin";
}
std::string SourceDir() {
  const char* p = std::getenv("TIDEWELL_SOURCE_DIR");
  return p ? p : "..";
}

const std::vector<std::string> kLanguages = {"ENG", "DEU"};
// The bodies the charts compute and the aspects the list searches.
const std::vector<int> kBodies = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15};
const std::vector<int> kAspects = {1, 2, 3, 4, 5};

// Reads a table through the engine, read-only, as the program does.
class TableReader {
 public:
  TableReader(const std::string& table, const std::string& index, const std::string& folder = ProgramDir())
      : engine_(std::make_unique<TqnServerEngine>()) {
    std::uint32_t hash = 0;
    EXPECT_EQ(engine_->ClientAdd(1, "reader", "", hash), 0);
    EXPECT_EQ(engine_->DatabaseOpenNoAlias(1, folder, 0, 1, db_), 0);
    opened_ = engine_->OpenTable(db_, table, index, 0, 0, 1, cursor_, nullptr);
  }
  DBIResult Opened() const { return opened_; }
  const TqnDataDictionary& Dict() { return engine_->FindCursor(cursor_)->Table->Dictionary(); }

  // The memo of field `memo` in the record whose key fields hold `lang` and `numbers`; nullopt
  // when there is no such record.
  std::optional<std::string> Find(const std::string& lang, const std::vector<int>& numbers, int memo) {
    const TqnDataDictionary& d = Dict();
    std::vector<std::uint8_t> key(static_cast<std::size_t>(d.RecordLength())), out(key.size());
    d.InitRecord(key.data());
    std::vector<std::uint8_t> s(static_cast<std::size_t>(d.FieldLength(0)), 0);
    std::memcpy(s.data(), lang.data(), lang.size());
    d.SetRecordField(0, key.data(), s.data());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      const auto u = static_cast<std::uint16_t>(numbers[i]);
      const std::uint8_t v[2] = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8)};
      d.SetRecordField(static_cast<int>(i) + 1, key.data(), v);
    }
    if (engine_->RecordGetForKey(cursor_, false, 0, 0, key.data(), out.data()) != 0) return std::nullopt;
    if (d.IsRecordFieldNull(memo, out.data())) return std::string();
    const auto nr = QNGetU32(out.data() + d.FieldOffset(memo));
    std::uint32_t len = 0, got = 0;
    EXPECT_EQ(engine_->GetBLOBLength(cursor_, nr, len), 0);
    std::string text(len, '\0');
    if (len != 0) {
      EXPECT_EQ(engine_->ReadBLOB(cursor_, nr, 0, len, got, reinterpret_cast<std::uint8_t*>(text.data())), 0);
    }
    return text;
  }

 private:
  std::unique_ptr<TqnServerEngine> engine_;
  std::uint32_t db_ = 0, cursor_ = 0;
  DBIResult opened_ = -1;
};

TEST(BuiltTables, OpenOnTheirIndexesAndPassTheChecker) {
  for (const auto& [table, index] : {std::pair{kMessagesTable, kMessagesIndex},
                                     std::pair{kInterpretationTable, kInterpretationIndex}}) {
    TableReader r(table, index);
    EXPECT_EQ(r.Opened(), 0) << table;
    const auto faults = QNCheckTableFile(ProgramDir() + "/" + table + ".QND");
    EXPECT_TRUE(faults.empty()) << table << ": " << (faults.empty() ? "" : faults.front());
  }
  TableReader r(kInterpretationTable, kInterpretationIndex);
  ASSERT_EQ(r.Opened(), 0);
  EXPECT_GE(r.Dict().GetFieldFromName(kInterpretationField), 0);
}

// Every message the program reads, with the number of "%s" arguments its pattern takes.
struct Needed {
  int Nr;
  int Args;
};
std::vector<Needed> NeededMessages() {
  std::vector<Needed> v = {{1, 0},  {42, 0}, {43, 0}, {44, 0}, {53, 0}, {54, 0},  {55, 0},  {57, 0},
                           {58, 0}, {62, 0}, {63, 0}, {64, 0}, {65, 0}, {66, 1},  {92, 1},  {93, 1},
                           {94, 0}, {95, 3}, {96, 2}, {98, 0}, {99, 0}, {100, 0}, {102, 0}, {103, 0}, {104, 0},
                           {105, 1}, {106, 1}};
  for (int b = 0; b <= 15; ++b) v.push_back({10 + b, 0});
  for (int s = 0; s < 12; ++s) v.push_back({30 + s, 0});
  for (int h = 0; h < 6; ++h) v.push_back({67 + h, 0});
  for (int a = 1; a <= 11; ++a) v.push_back({80 + a, 0});
  return v;
}

int CountOf(const std::string& s, const std::string& what) {
  int n = 0;
  for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

TEST(BuiltTables, HoldEveryMessageInBothLanguagesWithMatchingArguments) {
  TableReader r(kMessagesTable, kMessagesIndex);
  ASSERT_EQ(r.Opened(), 0);
  for (const std::string& lang : kLanguages) {
    for (const Needed& m : NeededMessages()) {
      const auto text = r.Find(lang, {m.Nr}, 2);
      ASSERT_TRUE(text.has_value()) << lang << " message " << m.Nr << " missing";
      EXPECT_FALSE(text->empty()) << lang << " message " << m.Nr;
      EXPECT_EQ(CountOf(*text, "%"), m.Args) << lang << " message " << m.Nr << ": " << *text;
      EXPECT_EQ(CountOf(*text, "%s"), m.Args) << lang << " message " << m.Nr << ": " << *text;
    }
  }
  EXPECT_FALSE(r.Find("FRA", {1}, 2).has_value());
}

// The program folder is read by many processes at once (the program and the tests that run
// side by side): a reader opens the tables while another process holds them open to read.
TEST(BuiltTables, OpenWhileAnotherProcessReadsThem) {
  int ready[2], done[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(done), 0);
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    ::close(done[1]);
    {
      TableReader other(kMessagesTable, kMessagesIndex);
      char found = other.Opened() == 0 && other.Find("ENG", {1}, 2).has_value() ? 1 : 0;
      if (::write(ready[1], &found, 1) == 1) (void)!::read(done[0], &found, 1);
    }
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(done[0]);
  char found = 0;
  EXPECT_EQ(::read(ready[0], &found, 1), 1);
  EXPECT_EQ(found, 1) << "the other process reads";
  {
    TableReader r(kMessagesTable, kMessagesIndex);
    EXPECT_EQ(r.Opened(), 0);
    EXPECT_TRUE(r.Find("ENG", {1}, 2).has_value());
    TableReader texts(kInterpretationTable, kInterpretationIndex);
    EXPECT_EQ(texts.Opened(), 0);
  }
  ::close(done[1]);
  ::close(ready[0]);
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
}

TEST(BuiltTables, ResolveEveryCombinationToATextOrADeliberateGap) {
  TableReader r(kInterpretationTable, kInterpretationIndex);
  ASSERT_EQ(r.Opened(), 0);
  const int memo = r.Dict().GetFieldFromName(kInterpretationField);
  for (const std::string& lang : kLanguages) {
    std::string src;
    for (const auto& [l, text] : ReadLanguageFiles(SourceDir() + "/data/interpretations"))
      if (l == lang) src = text;
    const InterpretationSource parsed = ParseInterpretations(src, lang, lang);
    int texts = 0;
    for (int t : kBodies)
      for (int j : kBodies)
        for (int a : kAspects) {
          const std::string what = lang + " " + std::to_string(t) + "/" + std::to_string(j) + "/" + std::to_string(a);
          auto text = r.Find(lang, {t, j, a}, memo);
          if (!text) {
            EXPECT_TRUE(parsed.NoEntry.count({t, j})) << what << " has no record and is not declared a gap";
            continue;
          }
          if (!text->empty() && text->front() == '@') {
            // The list follows one reference and no further.
            const int target = ReferencedAspect(*text);
            ASSERT_NE(target, a) << what << " refers to itself";
            text = r.Find(lang, {t, j, target}, memo);
            ASSERT_TRUE(text.has_value()) << what << " refers to a missing record";
            ASSERT_FALSE(!text->empty() && text->front() == '@') << what << " refers to a reference";
          }
          EXPECT_GT(text->size(), 40u) << what;
          EXPECT_EQ(text->back(), '\r') << what << " ends without a paragraph end";
          EXPECT_EQ(text->find('{'), std::string::npos) << what << ": " << *text;
          ++texts;
        }
    EXPECT_GT(texts, 600) << lang;
  }
}

TEST(TableWriter, RefusesDuplicateKeysAndReplacesAnEarlierTable) {
  const std::string folder = ::testing::TempDir() + "tablebuild_writer";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  try {
    WriteMessagesTable(folder, {{"ENG", 1, "a"}, {"ENG", 1, "b"}});
    ADD_FAILURE() << "a duplicate key was accepted";
  } catch (const SourceError& e) {
    EXPECT_NE(std::string(e.what()).find("message ENG 1"), std::string::npos) << e.what();
  }
  WriteMessagesTable(folder, {{"ENG", 1, "old"}, {"ENG", 2, "gone"}});
  WriteMessagesTable(folder, {{"ENG", 1, "new"}, {"DEU", 1, ""}});
  EXPECT_TRUE(QNCheckTableFile(folder + "/Messages.QND").empty());
  {
    TableReader r(kMessagesTable, kMessagesIndex, folder);
    ASSERT_EQ(r.Opened(), 0);
    EXPECT_EQ(r.Find("ENG", {1}, 2), std::optional<std::string>("new"));
    EXPECT_EQ(r.Find("DEU", {1}, 2), std::optional<std::string>("")) << "an empty text is a record without memo";
    EXPECT_FALSE(r.Find("ENG", {2}, 2).has_value()) << "rows of the earlier table are gone";
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tw::tablebuild
