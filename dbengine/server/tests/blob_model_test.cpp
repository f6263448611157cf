// BLOBs of two clients against a model: writes anywhere up to the end (and past it), truncations,
// reads of any span, contents of several MB across many blocks, BLOBs freed (only by the cursor
// that created them) and deleted, and a client transaction that is rolled back.  Every answer and every byte must be the model's.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "server_test_util.h"

namespace tw::dbengine::testing {
namespace {

class BlobModel : public EngineFixture {
 protected:
  void SetUp() override {
    Build("Texts", TextsDictionary);
    db2 = SecondClient();
    cur[0] = Open("Texts");
    cur[1] = OpenIn(db2, "Texts", 0);
  }

  std::uint32_t Length(std::mt19937& R, std::uint32_t Max) {
    switch (R() % 4) {
      case 0: return R() % 300;
      case 1: return R() % 9000;
      case 2: return R() % 70000;
      default: return R() % (Max + 1);
    }
  }

  void Compare(int I, std::uint32_t Nr, const std::vector<std::uint8_t>& Want) {
    std::uint32_t len = 0;
    ASSERT_EQ(engine->GetBLOBLength(cur[I], Nr, len), 0) << trail;
    ASSERT_EQ(len, Want.size()) << trail;
    std::vector<std::uint8_t> got(Want.size() + 10, 0xEE);
    std::uint32_t n = 0;
    ASSERT_EQ(engine->ReadBLOB(cur[I], Nr, 0, static_cast<std::uint32_t>(got.size()), n, got.data()), 0) << trail;
    ASSERT_EQ(n, Want.size()) << trail;
    got.resize(n);
    ASSERT_TRUE(got == Want) << trail << " blob " << Nr;
  }

  std::uint32_t db2 = 0;
  std::uint32_t cur[2] = {0, 0};
  std::string trail;
};

TEST_F(BlobModel, TwoClientsWritingTruncatingAndReadingLargeBlobs) {
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    std::mt19937 r(seed);
    trail = "seed " + std::to_string(seed) + ":";
    std::map<std::uint32_t, std::vector<std::uint8_t>> model;
    std::vector<std::uint32_t> gone;  // numbers of BLOBs freed or deleted
    std::map<std::uint32_t, int> maker;  // the client whose cursor created each BLOB
    std::optional<std::pair<std::uint32_t, std::map<std::uint32_t, std::vector<std::uint8_t>>>> trans;
    std::map<std::uint32_t, int> makerBefore;
    int transClient = 0;
    for (int step = 0; step < 160; ++step) {
      int i = static_cast<int>(r() % 2);
      const int op = static_cast<int>(r() % 10);
      trail += " " + std::to_string(i) + ":" + std::to_string(op);
      // While a client's transaction runs, the other client's changes wait (10256); only the
      // client that runs it changes BLOBs.
      if (trans && op <= 5) i = transClient;
      // An offset up to Size, or past it by up to Spread.
      auto spot = [&](std::size_t Size, bool Past, std::uint32_t Spread) {
        return Past ? static_cast<std::uint32_t>(Size) + 1 + r() % Spread : static_cast<std::uint32_t>(r() % (Size + 1));
      };
      auto pick = [&]() -> std::uint32_t {
        auto it = model.begin();
        std::advance(it, static_cast<long>(r() % model.size()));
        return it->first;
      };
      switch (op) {
        case 0: {
          std::uint32_t nr = 0;
          ASSERT_EQ(engine->CreateBLOB(cur[i], nr), 0) << trail;
          ASSERT_EQ(model.count(nr), 0u) << trail;
          model[nr] = {};
          maker[nr] = i;
          std::erase(gone, nr);
          break;
        }
        case 1:
        case 2:
        case 3: {
          if (model.empty()) break;
          const std::uint32_t nr = pick();
          auto& b = model[nr];
          const bool past = r() % 8 == 0;
          const std::uint32_t off = spot(b.size(), past, 5000);
          const std::uint32_t len = step % 40 == 7 ? 3'000'000 : Length(r, 200000);
          std::vector<std::uint8_t> data(len);
          for (auto& x : data) x = static_cast<std::uint8_t>(r());
          trail += "w" + std::to_string(nr) + "@" + std::to_string(off) + "+" + std::to_string(len);
          const DBIResult res = engine->WriteBLOB(cur[i], nr, off, len, data.data());
          if (past) {
            ASSERT_EQ(res, qnresInvalidBlobOffset) << trail;
            break;
          }
          ASSERT_EQ(res, 0) << trail;
          if (b.size() < off + len) b.resize(off + len);
          std::copy(data.begin(), data.end(), b.begin() + off);
          break;
        }
        case 4: {
          if (model.empty()) break;
          const std::uint32_t nr = pick();
          auto& b = model[nr];
          const bool past = r() % 6 == 0;
          const std::uint32_t to = spot(b.size(), past, 300);
          trail += "t" + std::to_string(nr) + "=" + std::to_string(to);
          const DBIResult res = engine->TruncateBLOB(cur[i], nr, to);
          if (past) {
            ASSERT_EQ(res, qnresInvalidBlobLength) << trail;
            break;
          }
          ASSERT_EQ(res, 0) << trail;
          b.resize(to);
          break;
        }
        case 5: {
          if (model.empty()) break;
          const std::uint32_t nr = pick();
          if (r() % 2 == 0) {
            // Only the cursor that created a BLOB frees it.
            const DBIResult res = engine->FreeBLOB(cur[i], nr);
            ASSERT_EQ(res, model[nr].empty() && maker[nr] == i ? 13058 : 0) << trail;
            if (res != 13058) break;
          } else {
            ASSERT_EQ(engine->DeleteBLOB(cur[i], nr), 0) << trail;
          }
          model.erase(nr);
          gone.push_back(nr);
          break;
        }
        case 6:
        case 7: {
          if (model.empty()) break;
          const std::uint32_t nr = pick();
          const auto& b = model[nr];
          const std::uint32_t off = static_cast<std::uint32_t>(r() % (b.size() + 300));
          const std::uint32_t len = Length(r, static_cast<std::uint32_t>(b.size()));
          std::vector<std::uint8_t> got(len + 1, 0xEE);
          std::uint32_t n = 0;
          ASSERT_EQ(engine->ReadBLOB(cur[i], nr, off, len, n, got.data()), 0) << trail;
          const std::uint32_t want = off >= b.size() ? 0 : std::min<std::uint32_t>(len, b.size() - off);
          ASSERT_EQ(n, want) << trail;
          ASSERT_TRUE(std::equal(got.begin(), got.begin() + n, b.begin() + off)) << trail;
          ASSERT_EQ(got[len], 0xEE) << trail << " wrote past the bytes asked for";
          break;
        }
        case 8: {
          if (gone.empty()) break;
          const std::uint32_t nr = gone[r() % gone.size()];
          std::uint32_t len = 0, n = 0;
          std::uint8_t b[4];
          EXPECT_NE(engine->GetBLOBLength(cur[i], nr, len), 0) << trail;
          EXPECT_NE(engine->ReadBLOB(cur[i], nr, 0, 4, n, b), 0) << trail;
          EXPECT_NE(engine->WriteBLOB(cur[i], nr, 0, 4, b), 0) << trail;
          EXPECT_NE(engine->TruncateBLOB(cur[i], nr, 0), 0) << trail;
          break;
        }
        case 9: {
          if (!trans) {
            std::uint32_t t = 0;
            ASSERT_EQ(engine->TransactionStart(i == 0 ? db : db2, false, t), 0) << trail;
            trans.emplace(t, model);
            makerBefore = maker;
            transClient = i;
            // The other client's change meets the running transaction.
            std::uint32_t nr = 0;
            ASSERT_EQ(engine->CreateBLOB(cur[1 - i], nr), 10256) << trail;
          } else {
            const bool commit = r() % 2 == 0;
            trail += commit ? "commit" : "rollback";
            if (commit) {
              ASSERT_EQ(engine->TransactionCommit(trans->first), 0) << trail;
            } else {
              ASSERT_EQ(engine->TransactionRollback(trans->first), 0) << trail;
              for (const auto& [nr, b] : model)
                if (trans->second.count(nr) == 0) gone.push_back(nr);
              model = trans->second;
              maker = makerBefore;
              std::erase_if(gone, [&](std::uint32_t nr) { return model.count(nr) != 0; });
            }
            trans.reset();
          }
          break;
        }
      }
      if (HasFatalFailure()) return;
    }
    if (trans) {
      ASSERT_EQ(engine->TransactionCommit(trans->first), 0);
    }
    for (const auto& [nr, b] : model) {
      Compare(0, nr, b);
      Compare(1, nr, b);
      if (HasFatalFailure()) return;
    }
    EXPECT_EQ(Joined(Check("Texts")), "") << trail;
    for (const auto& [nr, b] : model) ASSERT_EQ(engine->DeleteBLOB(cur[0], nr), 0);
  }
}

}  // namespace
}  // namespace tw::dbengine::testing
