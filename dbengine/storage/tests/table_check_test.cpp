// The table checker: a sound table passes, and each kind of damage is found.
#include <gtest/gtest.h>

#include <random>

#include "blocks_test_util.h"

namespace tw::dbengine::testing {
namespace {

void WithBlobs(TqnDataDictionary& d) {
  d.AddField("ID", "", qftInt32, 0, 0, true);
  d.AddField("MEMO", "", qftBlobMemo, 0, 0, false);
  d.AddIndex("BYID", "", 0, {0}, false, true, false);
}

class Checker : public ::testing::Test {
 protected:
  void SetUp() override {
    IndexedTable t(folder, WithBlobs);
    t.Begin();
    for (std::int32_t i = 0; i < 200; ++i) {
      auto r = t.NewRecord();
      t.dict.SetRecordField(0, r.data(), reinterpret_cast<const std::uint8_t*>(&i));
      if (i % 50 == 0) {
        std::int32_t nr = 0;
        QNTblAddBLOB(t.fx.file, nr);
        std::vector<std::uint8_t> memo(5000, static_cast<std::uint8_t>(i));
        QNTblWriteBLOB(t.fx.file, nr, 0, 5000, memo.data());
        t.dict.SetRecordField(1, r.data(), reinterpret_cast<const std::uint8_t*>(&nr));
        blobs.push_back(nr);
      }
      refs.push_back(t.Insert(r));
    }
    for (int i = 0; i < 200; i += 7) t.Remove(refs[static_cast<std::size_t>(i)]);
    t.Commit();
    root = QNTblGetIndexInfo(t.fx.file, 1).Root;
    ih = QNTblIndexHeaderBlock(t.fx.file);
    path = t.fx.file->Name;
    bytes = ReadAll(path);
  }
  std::int32_t Word(std::int64_t offset) { return QNGetI32(bytes.data() + offset); }
  void SetWord(std::int64_t offset, std::int32_t v) { QNPutI32(bytes.data() + offset, v); }
  std::string Run() {
    WriteAll(path, bytes);
    return Faults(QNCheckTableFile(path));
  }

  ScratchFolder folder;
  std::vector<std::int32_t> refs;
  std::vector<std::int32_t> blobs;
  std::int32_t root = -1;
  std::int32_t ih = -1;
  std::string path;
  std::vector<std::uint8_t> bytes;
};

TEST_F(Checker, ASoundTableHasNoFault) {
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(ReadAll(path), bytes) << "the check changed the file";
}

// Everything the engine reads of the table: both indexes walked both ways, every record and
// every BLOB; the first error raised, or "".
std::string ReadEverything(const std::string& path) {
  TableFixture t;
  try {
    t.Open(path.substr(0, path.size() - 4), false);
    TqnDataDictionary d;
    QNTblReadDictionary(d, t.file);
    TqnBufferManager::TRequest request(t.bm);
    for (int i = 0; i < d.IndexCount(); ++i) {
      const TqnIndexHandle h = QNMakeIndexHandle(t.file, d, i);
      std::vector<std::uint8_t> key(static_cast<std::size_t>(d.IndexKeyLength(i)));
      std::vector<std::uint8_t> rec(static_cast<std::size_t>(d.RecordLength()));
      TqnKeyPath path;
      QNInitKeyPath(path);
      std::int32_t ref = 0;
      while (QNTblNextKey(h, ref, key.data(), path)) {
        QNTblReadRecord(t.file, ref, rec.data());
        if (d.IsRecordFieldNull(1, rec.data())) continue;
        const std::int32_t nr = QNGetI32(rec.data() + d.FieldOffset(1));
        if (nr == 0) continue;  // a field without a BLOB
        int error = 0;
        std::vector<std::uint8_t> body(static_cast<std::size_t>(QNTblGetBLOBLength(t.file, nr, error)));
        std::int32_t read = 0;
        QNTblReadBLOB(t.file, nr, 0, error, read, body.data(), static_cast<std::int32_t>(body.size()));
      }
      QNInitKeyPath(path);
      while (QNTblPrevKey(h, ref, key.data(), path)) {
      }
    }
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

// Damage anywhere: the check answers (never crashes or hangs) and never leaves the file
// changed, and a file it passes is one the engine reads whole.
TEST_F(Checker, RandomDamageIsFoundOrHarmless) {
  const std::vector<std::uint8_t> sound = bytes;
  std::mt19937 rng(99);
  constexpr int kRounds = 250;
  int found = 0;
  for (int round = 0; round < kRounds; ++round) {
    bytes = sound;
    for (unsigned k = 1 + rng() % 2; k > 0; --k) {
      // Half of the flips hit the headers of blocks, where the links and counts are.
      std::size_t at = rng() % bytes.size();
      if (rng() % 2 == 0) at = at / 4096 * 4096 + rng() % 48;
      bytes[at] = static_cast<std::uint8_t>(bytes[at] ^ (1u << (rng() % 8)));
    }
    const std::string faults = Run();
    ASSERT_EQ(ReadAll(path), bytes) << "round " << round << ": the check changed the file";
    if (!faults.empty()) {
      ++found;
      continue;
    }
    const std::string error = ReadEverything(path);
    ASSERT_EQ(error, "") << "round " << round << ": the check passed a table the engine cannot read";
  }
  EXPECT_GT(found, kRounds / 10);
}

TEST_F(Checker, CountsInTheFileHeaderMustMatchTheBlocks) {
  SetWord(4 * qfhRecordCount, Word(4 * qfhRecordCount) + 1);
  const std::string f = Run();
  EXPECT_NE(f.find("record count"), std::string::npos) << f;
}

TEST_F(Checker, KeysOutOfOrderAreFound) {
  const std::int64_t node = std::int64_t(root) * 4096;
  ASSERT_EQ(bytes[static_cast<std::size_t>(node + 13)], 1) << "the root is a leaf";
  const std::int32_t m = Word(node + 24);
  const std::int64_t keys = node + 32 + 4 * m;
  std::swap_ranges(bytes.begin() + keys, bytes.begin() + keys + 5, bytes.begin() + keys + 5);
  std::swap_ranges(bytes.begin() + node + 32, bytes.begin() + node + 36, bytes.begin() + node + 36);
  const std::string f = Run();
  EXPECT_NE(f.find("out of order"), std::string::npos) << f;
}

TEST_F(Checker, AKeyThatNamesADeletedRecordIsFound) {
  const std::int64_t node = std::int64_t(root) * 4096;
  SetWord(node + 32, refs[7]);  // deleted above
  const std::string f = Run();
  EXPECT_NE(f.find("no live record"), std::string::npos) << f;
}

TEST_F(Checker, AKeyThatDiffersFromItsRecordIsFound) {
  const std::int64_t node = std::int64_t(root) * 4096;
  const std::int32_t m = Word(node + 24);
  bytes[static_cast<std::size_t>(node + 32 + 4 * m)] ^= 0x01;  // first key's ID, low byte (stays in order)
  const std::string f = Run();
  EXPECT_NE(f.find("differs from its record"), std::string::npos) << f;
}

TEST_F(Checker, KeyAndNodeCountsInTheIndexHeaderMustMatchTheTree) {
  SetWord(std::int64_t(ih) * 4096 + 800 + 4, 12345);
  const std::string f = Run();
  EXPECT_NE(f.find("key count is 12345"), std::string::npos) << f;
}

TEST_F(Checker, ABlockThatNothingUsesIsFound) {
  const std::int32_t used = Word(4 * qfhBlocksUsed);
  SetWord(4 * qfhBlocksUsed, used + 1);
  bytes.resize(bytes.size() + 4096, 0);
  const std::string f = Run();
  EXPECT_NE(f.find("block " + std::to_string(used) + " is not used by anything"), std::string::npos) << f;
}

TEST_F(Checker, ASegmentOfAnotherBlobIsFound) {
  const std::int64_t slot = std::int64_t(blobs[0] >> 12) * 4096 + (blobs[0] & 4095);
  const std::int32_t seg = Word(slot + 12);
  SetWord(std::int64_t(seg >> 12) * 4096 + 20, blobs[1]);
  const std::string f = Run();
  EXPECT_NE(f.find("is not one of its segments"), std::string::npos) << f;
}

TEST_F(Checker, ADeletedSlotListThatLoopsIsFound) {
  const std::int32_t first = Word(4 * qfhFirstDeleted);
  SetWord(std::int64_t(first >> 12) * 4096 + (first & 4095), first);
  const std::string f = Run();
  EXPECT_NE(f.find("listed twice"), std::string::npos) << f;
}

TEST_F(Checker, AFileThatIsNoTableIsReported) {
  bytes.assign(100, 'x');
  EXPECT_NE(Run(), "");
}

}  // namespace
}  // namespace tw::dbengine::testing
