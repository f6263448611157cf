// Cursors of two clients against a model: random inserts, deletions, changes with and without a
// key change, steps both ways, reads, record locks of the other client, and walks and ranges on a
// descending, case-insensitive index with repeated keys.  Every answer and every place a cursor
// stands on must be the model's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "server_test_util.h"

namespace tw::dbengine::testing {
namespace {

// Fields: 0 Id (32-bit, unique index 1), 1 Name (text, index 2: descending, case-insensitive,
// repeated keys allowed).
void ItemsDictionary(TqnDataDictionary& D) {
  D.AddField("Id", "", qftInt32, 0, 0, true);
  D.AddField("Name", "", qftShortString, 5, 0, true);
  D.AddIndex("ById", "", 0, {0}, false, true, false);
  D.AddIndex("ByName", "", 0, {1}, true, false, true);
}

std::string Lower(std::string S) {
  for (char& c : S) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return S;
}

// Where a cursor on the Id index stands, by key.
struct Place {
  enum Kind { BOF, EOF_, OnRecord, Gap, CrackOnRecord } K = BOF;
  std::int32_t Id = 0;
};

class CursorModel : public EngineFixture {
 protected:
  void SetUp() override {
    Build("Items", ItemsDictionary);
    db2 = SecondClient();
    cur[0] = Open("Items", 1);
    cur[1] = OpenIn(db2, "Items", 1);
    byName = OpenIn(db2, "Items", 2);
    walker = Open("Items", 2);
  }

  // The reference of the record C stands on, from its bookmark.
  std::int32_t RefOf(std::uint32_t C) {
    std::vector<std::uint8_t> b(static_cast<std::size_t>(engine->BookmarkSize(C)));
    EXPECT_EQ(engine->GetBookmark(C, b.data()), 0);
    return QNGetI32(b.data() + 12);
  }

  // A place on the name index: the name (without regard to case) descending, then the reference.
  struct NamePlace {
    Place::Kind K = Place::BOF;
    std::string Key;
    std::int32_t Ref = 0;
  };
  static bool NameBefore(const std::string& K1, std::int32_t R1, const std::string& K2, std::int32_t R2) {
    return K1 != K2 ? K1 > K2 : R1 < R2;
  }
  // The records of the name index in its order: (key, reference, id).
  std::vector<std::tuple<std::string, std::int32_t, std::int32_t>> NameOrder() const {
    std::vector<std::tuple<std::string, std::int32_t, std::int32_t>> v;
    for (const auto& [id, n] : rows) v.emplace_back(Lower(n), refs.at(id), id);
    std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) {
      return NameBefore(std::get<0>(a), std::get<1>(a), std::get<0>(b), std::get<1>(b));
    });
    return v;
  }

  // The walker after the record Ref was deleted, or changed to the name NewName.
  void WalkerSees(std::int32_t Ref, const std::optional<std::string>& NewName) {
    if ((wp.K == Place::OnRecord || wp.K == Place::CrackOnRecord) && wp.Ref == Ref)
      wp.K = NewName && Lower(*NewName) == wp.Key ? Place::CrackOnRecord : Place::Gap;
  }

  void WalkerStep(bool Forward) {
    const auto order = NameOrder();
    std::optional<std::size_t> want;
    if (Forward) {
      for (std::size_t j = 0; j < order.size() && !want; ++j) {
        const auto& [k, r, id] = order[j];
        if (wp.K == Place::BOF || (wp.K == Place::Gap && !NameBefore(k, r, wp.Key, wp.Ref)) ||
            ((wp.K == Place::OnRecord || wp.K == Place::CrackOnRecord) && NameBefore(wp.Key, wp.Ref, k, r)))
          want = j;
      }
      if (wp.K == Place::EOF_) want.reset();
    } else {
      for (std::size_t j = order.size(); j-- > 0 && !want;) {
        const auto& [k, r, id] = order[j];
        if (wp.K == Place::EOF_ || (wp.K != Place::BOF && NameBefore(k, r, wp.Key, wp.Ref))) want = j;
      }
    }
    Record got(Dict(cur[0]));
    const DBIResult r = Forward ? engine->RecordGetNext(walker, 0, got.Data()) : engine->RecordGetPrev(walker, 0, got.Data());
    if (!want) {
      ASSERT_EQ(r, Forward ? 8706 : 8705) << trail << " walker";
      wp = {Forward ? Place::EOF_ : Place::BOF, "", 0};
      return;
    }
    ASSERT_EQ(r, 0) << trail << " walker";
    const auto& [k, ref, id] = order[*want];
    ASSERT_EQ(got.GetI32(0), id) << trail << " walker";
    wp = {Place::OnRecord, k, ref};
  }

  void WalkerRead() {
    Record got(Dict(cur[0]));
    const DBIResult r = engine->RecordGet(walker, 0, got.Data());
    if (wp.K == Place::OnRecord) {
      ASSERT_EQ(r, 0) << trail << " walker";
      ASSERT_EQ(refs.at(got.GetI32(0)), wp.Ref) << trail << " walker";
      ASSERT_EQ(Lower(got.GetStr(1)), wp.Key) << trail << " walker";
    } else if (wp.K == Place::CrackOnRecord || wp.K == Place::BOF || wp.K == Place::EOF_) {
      ASSERT_EQ(r, 8709) << trail << " walker";
    }
    // A read on a gap takes the record after it: a step forwards from the gap.
    if (wp.K == Place::Gap && r == 0) {
      const std::int32_t ref = refs.at(got.GetI32(0));
      ASSERT_FALSE(NameBefore(Lower(got.GetStr(1)), ref, wp.Key, wp.Ref)) << trail << " walker";
      wp = {Place::OnRecord, Lower(got.GetStr(1)), ref};
    }
  }

  Record Rec(std::int32_t Id, const std::string& Name) { return Record(Dict(cur[0])).I32(0, Id).Str(1, Name); }

  std::optional<std::int32_t> After(std::int32_t K, bool OrEqual) const {
    auto it = OrEqual ? rows.lower_bound(K) : rows.upper_bound(K);
    if (it == rows.end()) return std::nullopt;
    return it->first;
  }
  std::optional<std::int32_t> Before(std::int32_t K) const {
    auto it = rows.lower_bound(K);
    if (it == rows.begin()) return std::nullopt;
    return std::prev(it)->first;
  }

  // The other cursors of the Id index after the record Id was deleted, or changed (its key to
  // NewId).
  void OthersSee(int Changer, std::int32_t Id, std::optional<std::int32_t> NewId) {
    for (int i = 0; i < 2; ++i) {
      if (i == Changer) continue;
      Place& p = at[i];
      if ((p.K == Place::OnRecord || p.K == Place::CrackOnRecord) && p.Id == Id)
        p.K = NewId && *NewId == Id ? Place::CrackOnRecord : Place::Gap;
    }
  }

  void Step(int I, bool Forward, std::mt19937& R) {
    Record got(Dict(cur[0]));
    const std::uint8_t lock = R() % 4 == 0 ? 1 : 0;
    Place& p = at[I];
    std::optional<std::int32_t> want;
    if (Forward) {
      if (p.K == Place::BOF) want = rows.empty() ? std::nullopt : std::optional(rows.begin()->first);
      else if (p.K != Place::EOF_) want = After(p.Id, p.K == Place::Gap);
    } else {
      if (p.K == Place::EOF_) want = rows.empty() ? std::nullopt : std::optional(rows.rbegin()->first);
      else if (p.K != Place::BOF) want = Before(p.Id);
    }
    const DBIResult r = Forward ? engine->RecordGetNext(cur[I], lock, got.Data())
                                : engine->RecordGetPrev(cur[I], lock, got.Data());
    if (!want) {
      ASSERT_EQ(r, Forward ? 8706 : 8705) << trail;
      p.K = Forward ? Place::EOF_ : Place::BOF;
      return;
    }
    const std::int32_t ref = refs.at(*want);
    const bool lockedByOther = lock != 0 && locks.count(ref) != 0 && locks[ref] != I;
    ASSERT_EQ(r, lockedByOther ? 10241 : 0) << trail;
    ASSERT_EQ(got.GetI32(0), *want) << trail;
    ASSERT_EQ(got.GetStr(1), rows[*want]) << trail;
    p = {Place::OnRecord, *want};
    if (lock != 0 && !lockedByOther) locks[ref] = I;
  }

  void Read(int I) {
    Record got(Dict(cur[0]));
    Place& p = at[I];
    const DBIResult r = engine->RecordGet(cur[I], 0, got.Data());
    std::optional<std::int32_t> want;
    if (p.K == Place::OnRecord) want = p.Id;
    else if (p.K == Place::Gap) want = After(p.Id, true);
    if (!want) {
      ASSERT_NE(r, 0) << trail;
      return;
    }
    ASSERT_EQ(r, 0) << trail;
    ASSERT_EQ(got.GetI32(0), *want) << trail;
    ASSERT_EQ(got.GetStr(1), rows[*want]) << trail;
    p = {Place::OnRecord, *want};
  }

  void Insert(int I, std::int32_t Id, const std::string& Name) {
    Record r = Rec(Id, Name);
    const DBIResult res = engine->RecordInsert(cur[I], 0, r.Data());
    if (rows.count(Id) != 0) {
      ASSERT_EQ(res, 9729) << trail;
      return;  // where the inserting cursor stands after a refusal is left open
    }
    ASSERT_EQ(res, 0) << trail;
    rows[Id] = Name;
    refs[Id] = RefOf(cur[I]);
    at[I] = {Place::OnRecord, Id};
  }

  // True when a change through cursor I must be refused: it stands on no record (8709), or
  // another cursor holds the record's lock (10241); Res must be that answer.
  bool Refused(int I, DBIResult Res) {
    const Place& p = at[I];
    DBIResult want = 0;
    if (p.K != Place::OnRecord) want = 8709;
    else if (locks.count(refs[p.Id]) != 0 && locks[refs[p.Id]] != I) want = 10241;
    if (want == 0) return false;
    EXPECT_EQ(Res, want) << trail;
    return true;
  }

  void Delete(int I) {
    Place& p = at[I];
    const DBIResult res = engine->RecordDelete(cur[I], nullptr);
    if (Refused(I, res)) return;
    ASSERT_EQ(res, 0) << trail;
    WalkerSees(refs[p.Id], std::nullopt);
    locks.erase(refs[p.Id]);
    rows.erase(p.Id);
    refs.erase(p.Id);
    OthersSee(I, p.Id, std::nullopt);
    p.K = Place::Gap;
  }

  void Modify(int I, std::int32_t NewId, const std::string& Name) {
    Place& p = at[I];
    Record r = Rec(NewId, Name);
    const DBIResult res = engine->RecordModify(cur[I], false, r.Data());
    if (Refused(I, res)) return;
    if (NewId != p.Id && rows.count(NewId) != 0) {
      ASSERT_EQ(res, 9729) << trail;
      // The cursor's lock on the record ends with the change, refused or not.
      if (locks.count(refs[p.Id]) != 0 && locks[refs[p.Id]] == I) locks.erase(refs[p.Id]);
      // The others were told of the change all the same: start them again.
      for (int j = 0; j < 2; ++j)
        if (j != I && (at[j].K == Place::OnRecord || at[j].K == Place::CrackOnRecord) && at[j].Id == p.Id) {
          ASSERT_EQ(engine->SetToBegin(cur[j]), 0);
          at[j] = {};
        }
      if ((wp.K == Place::OnRecord || wp.K == Place::CrackOnRecord) && wp.Ref == refs[p.Id]) {
        ASSERT_EQ(engine->SetToBegin(walker), 0);
        wp = {};
      }
      return;
    }
    ASSERT_EQ(res, 0) << trail;
    const std::int32_t old = p.Id;
    const std::int32_t ref = refs[old];
    WalkerSees(ref, Name);
    rows.erase(old);
    refs.erase(old);
    rows[NewId] = Name;
    refs[NewId] = ref;
    locks.erase(ref);
    OthersSee(I, old, NewId);
    p = {Place::OnRecord, NewId};
  }

  // The whole name index, walked from either end, and a range of names on it.
  void CheckNames(std::mt19937& R, const std::vector<std::string>& Names) {
    std::vector<std::string> want;
    for (const auto& [id, n] : rows) want.push_back(Lower(n));
    std::sort(want.begin(), want.end(), std::greater<>());
    const bool forward = R() % 2 == 0;
    ASSERT_EQ(forward ? engine->SetToBegin(byName) : engine->SetToEnd(byName), 0);
    std::vector<std::string> seen;
    std::map<std::int32_t, int> ids;
    Record got(Dict(cur[0]));
    for (;;) {
      const DBIResult r = forward ? engine->RecordGetNext(byName, 0, got.Data())
                                  : engine->RecordGetPrev(byName, 0, got.Data());
      if (r != 0) {
        ASSERT_EQ(r, forward ? 8706 : 8705) << trail;
        break;
      }
      ASSERT_EQ(rows.count(got.GetI32(0)), 1u) << trail;
      ASSERT_EQ(rows[got.GetI32(0)], got.GetStr(1)) << trail;
      ASSERT_EQ(++ids[got.GetI32(0)], 1) << trail;
      seen.push_back(Lower(got.GetStr(1)));
    }
    if (!forward) std::reverse(seen.begin(), seen.end());
    ASSERT_EQ(seen, want) << trail;

    // A range from a higher name down to a lower one (descending index), both ends inclusive or
    // not, read forwards.
    std::string hi = Names[R() % Names.size()], lo = Names[R() % Names.size()];
    if (Lower(hi) < Lower(lo)) std::swap(hi, lo);
    const bool incHi = R() % 2 == 0, incLo = R() % 2 == 0;
    Record a = Rec(0, hi), b = Rec(0, lo);
    ASSERT_EQ(engine->SetRange(byName, false, a.Data(), 0, 0, incHi, b.Data(), 0, 0, incLo), 0);
    std::vector<std::string> inRange, rangeSeen;
    for (const auto& n : want)
      if ((n < Lower(hi) || (incHi && n == Lower(hi))) && (n > Lower(lo) || (incLo && n == Lower(lo))))
        inRange.push_back(n);
    const bool rfwd = R() % 2 == 0;
    if (!rfwd) {
      ASSERT_EQ(engine->SetToEnd(byName), 0);
    }
    for (;;) {
      const DBIResult r = rfwd ? engine->RecordGetNext(byName, 0, got.Data())
                               : engine->RecordGetPrev(byName, 0, got.Data());
      if (r != 0) break;
      rangeSeen.push_back(Lower(got.GetStr(1)));
    }
    if (!rfwd) std::reverse(rangeSeen.begin(), rangeSeen.end());
    ASSERT_EQ(rangeSeen, inRange) << trail << " range [" << hi << (incHi ? "]" : ")") << " .. [" << lo
                                  << (incLo ? "]" : ")") << (rfwd ? " forwards" : " backwards");
    ASSERT_EQ(engine->ResetRange(byName), 0);

    // Names beginning with one letter (any case): a range of a partial key at both ends, and an
    // exact search of the partial key.
    const std::string letter(1, "abcx"[R() % 4]);
    Record pk = Rec(0, R() % 2 == 0 ? letter : std::string(1, static_cast<char>(std::toupper(letter[0]))) + "zz");
    ASSERT_EQ(engine->SetRange(byName, false, pk.Data(), 0, 1, true, pk.Data(), 0, 1, true), 0);
    std::vector<std::string> withLetter, letterSeen;
    for (const auto& n : want)
      if (n[0] == letter[0]) withLetter.push_back(n);
    const bool pfwd = R() % 2 == 0;
    if (!pfwd) {
      ASSERT_EQ(engine->SetToEnd(byName), 0);
    }
    for (;;) {
      const DBIResult r = pfwd ? engine->RecordGetNext(byName, 0, got.Data()) : engine->RecordGetPrev(byName, 0, got.Data());
      if (r != 0) break;
      letterSeen.push_back(Lower(got.GetStr(1)));
    }
    if (!pfwd) std::reverse(letterSeen.begin(), letterSeen.end());
    ASSERT_EQ(letterSeen, withLetter) << trail << " names beginning with " << letter;
    ASSERT_EQ(engine->ResetRange(byName), 0);
    const DBIResult found = engine->RecordGetForKey(byName, false, 0, 1, pk.Data(), got.Data());
    if (withLetter.empty()) {
      ASSERT_EQ(found, 8710) << trail;
    } else {
      ASSERT_EQ(found, 0) << trail;
      ASSERT_EQ(Lower(got.GetStr(1))[0], letter[0]) << trail;
    }

    // A key sought at or after a name: the first record read is the highest name not above it.
    const std::string k = Names[R() % Names.size()];
    Record key = Rec(0, k);
    const DBIResult s = engine->SetToKey(byName, 2, false, 0, 0, key.Data());
    std::optional<std::string> first;
    for (const auto& n : want)
      if (n <= Lower(k)) {
        first = n;
        break;
      }
    if (rows.empty()) {
      ASSERT_NE(s, 0) << trail;
      return;
    }
    ASSERT_EQ(s, 0) << trail;
    const DBIResult r = engine->RecordGetNext(byName, 0, got.Data());
    if (!first) {
      ASSERT_EQ(r, 8706) << trail << " key " << k;
    } else {
      ASSERT_EQ(r, 0) << trail << " key " << k;
      ASSERT_EQ(Lower(got.GetStr(1)), *first) << trail << " key " << k;
    }
  }

  std::uint32_t db2 = 0;
  std::uint32_t cur[2] = {0, 0};
  std::uint32_t byName = 0, walker = 0;
  std::map<std::int32_t, std::string> rows;
  std::map<std::int32_t, std::int32_t> refs;  // record id -> reference
  NamePlace wp;
  std::map<std::int32_t, int> locks;  // record reference -> cursor that holds its lock
  Place at[2];
  std::string trail;
  std::optional<std::pair<std::uint32_t, std::map<std::int32_t, std::string>>> trans;
  std::map<std::int32_t, std::int32_t> transRefs;
  int transClient = 0;
};

TEST_F(CursorModel, TwoClientsChangingAndWalkingOneTable) {
  const std::vector<std::string> names = {"a", "A", "ab", "aB", "b", "B", "ba", "c", "Cb", "cab", "x"};
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    std::mt19937 r(seed);
    trail = "seed " + std::to_string(seed) + ":";
    for (int step = 0; step < 250; ++step) {
      int i = static_cast<int>(r() % 2);
      const int op = static_cast<int>(r() % 16);
      // While a client's transaction runs, only that client changes the table.
      if (trans && op <= 4) i = transClient;
      const std::int32_t id = static_cast<std::int32_t>(r() % 40);
      const std::string& name = names[r() % names.size()];
      trail += " " + std::to_string(i) + ":" + std::to_string(op) + "/" + std::to_string(id) + name;
      switch (op) {
        case 0:
        case 1: Insert(i, id, name); break;
        case 2: Delete(i); break;
        case 3: Modify(i, at[i].Id, name); break;  // the key stays
        case 4: Modify(i, id, name); break;
        case 5:
        case 6: Step(i, true, r); break;
        case 7:
        case 8: Step(i, false, r); break;
        case 9: Read(i); break;
        case 10:
          ASSERT_EQ(engine->RecordRelLock(cur[i], true), 0);
          std::erase_if(locks, [&](const auto& e) { return e.second == i; });
          break;
        case 11: CheckNames(r, names); break;
        case 13: WalkerStep(true); break;
        case 14: WalkerStep(false); break;
        case 15: WalkerRead(); break;
        case 12:
          if (!trans) {
            std::uint32_t t = 0;
            ASSERT_EQ(engine->TransactionStart(i == 0 ? db : db2, false, t), 0) << trail;
            trans.emplace(t, rows);
            transRefs = refs;
            transClient = i;
          } else if (r() % 2 == 0) {
            trail += "commit";
            ASSERT_EQ(engine->TransactionCommit(trans->first), 0) << trail;
            trans.reset();
          } else {
            trail += "rollback";
            ASSERT_EQ(engine->TransactionRollback(trans->first), 0) << trail;
            rows = trans->second;
            refs = transRefs;
            trans.reset();
            if (wp.K == Place::OnRecord || wp.K == Place::CrackOnRecord) {
              bool there = false;
              for (const auto& [id, n] : rows) there = there || (refs[id] == wp.Ref && Lower(n) == wp.Key);
              if (!there) wp.K = Place::Gap;
            }
            // A cursor on a record the rollback took away stands on its gap.
            for (auto& p : at)
              if ((p.K == Place::OnRecord || p.K == Place::CrackOnRecord) && rows.count(p.Id) == 0) p.K = Place::Gap;
            // Locks go with the records the rollback took away.
            std::erase_if(locks, [&](const auto& e) {
              return std::none_of(refs.begin(), refs.end(), [&](const auto& x) { return x.second == e.first; });
            });
          }
          break;
      }
      if (HasFatalFailure()) return;
    }
    if (trans) {
      ASSERT_EQ(engine->TransactionCommit(trans->first), 0);
      trans.reset();
    }
    // Start the next seed from an empty table.
    for (int i = 0; i < 2; ++i) ASSERT_EQ(engine->RecordRelLock(cur[i], true), 0);
    locks.clear();
    ASSERT_EQ(engine->SetToBegin(cur[0]), 0);
    Record got(Dict(cur[0]));
    while (engine->RecordGetNext(cur[0], 0, got.Data()) == 0) ASSERT_EQ(engine->RecordDelete(cur[0], nullptr), 0);
    rows.clear();
    refs.clear();
    ASSERT_EQ(engine->SetToBegin(walker), 0);
    wp = {};
    for (int i = 0; i < 2; ++i) {
      ASSERT_EQ(engine->SetToBegin(cur[i]), 0);
      at[i] = {};
    }
    EXPECT_EQ(Joined(Check("Items")), "");
  }
}

// Fields as Items; index 1 by name (repeated keys), index 2 by id (unique), so an insert with a
// repeated id has changed the name index before it is refused.
void NamesFirstDictionary(TqnDataDictionary& D) {
  D.AddField("Id", "", qftInt32, 0, 0, true);
  D.AddField("Name", "", qftShortString, 5, 0, true);
  D.AddIndex("ByName", "", 0, {1}, true, true, false);
  D.AddIndex("ById", "", 0, {0}, false, true, false);
}

class NamesTable : public EngineFixture {
 protected:
  void SetUp() override {
    Build("Names", NamesFirstDictionary);
    db2 = SecondClient();
    reader = Open("Names", 1);
    writer = OpenIn(db2, "Names", 1);
    for (int i = 1; i <= 6; ++i) ASSERT_EQ(engine->RecordInsert(writer, 0, Rec(i, Name(i)).Data()), 0);
  }
  static std::string Name(int I) { return std::string(1, static_cast<char>('a' + 2 * I)); }  // c e g i k m
  Record Rec(std::int32_t Id, const std::string& N) { return Record(Dict(reader)).I32(0, Id).Str(1, N); }
  std::string Step(bool Forward) {
    Record got(Dict(reader));
    const DBIResult r = Forward ? engine->RecordGetNext(reader, 0, got.Data()) : engine->RecordGetPrev(reader, 0, got.Data());
    return r == 0 ? got.GetStr(1) : "#" + std::to_string(r);
  }
  // The reader on the record of I.
  void StandOn(int I) {
    Record key = Rec(0, Name(I));
    ASSERT_EQ(engine->RecordGetForKey(reader, false, 0, 0, key.Data(), nullptr), 0);
  }

  std::uint32_t db2 = 0, reader = 0, writer = 0;
};

TEST_F(NamesTable, ACursorStepsOverTheRecordsTheTableHasAfterAClientsRollback) {
  // Records inserted before the reader's, then rolled back.
  StandOn(3);
  std::uint32_t t = 0;
  ASSERT_EQ(engine->TransactionStart(db2, false, t), 0);
  ASSERT_EQ(engine->RecordInsert(writer, 0, Rec(20, "a").Data()), 0);
  ASSERT_EQ(engine->RecordInsert(writer, 0, Rec(21, "b").Data()), 0);
  ASSERT_EQ(engine->TransactionRollback(t), 0);
  EXPECT_EQ(Step(true), "i");
  EXPECT_EQ(Step(true), "k");
  // Records deleted before the reader's, then rolled back.
  StandOn(4);
  ASSERT_EQ(engine->TransactionStart(db2, false, t), 0);
  ASSERT_EQ(engine->SetToBegin(writer), 0);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(engine->RecordGetNext(writer, 0, nullptr), 0);
    ASSERT_EQ(engine->RecordDelete(writer, nullptr), 0);
  }
  ASSERT_EQ(engine->TransactionRollback(t), 0);
  EXPECT_EQ(Step(false), "g");
  EXPECT_EQ(Step(false), "e");
  EXPECT_EQ(Step(false), "c");
  EXPECT_EQ(Step(false), "#8705");
}

TEST_F(NamesTable, ALockOnARecordTheRollbackTookAwayLocksNoRecordThatTakesItsPlace) {
  for (const bool lockedByInserter : {false, true}) {
    std::uint32_t t = 0;
    ASSERT_EQ(engine->TransactionStart(db2, false, t), 0);
    if (lockedByInserter) {
      // The insert itself takes the lock.
      ASSERT_EQ(engine->RecordInsert(writer, 1, Rec(20, "a").Data()), 0);
    } else {
      // Another client's locked read takes it.
      ASSERT_EQ(engine->RecordInsert(writer, 0, Rec(20, "a").Data()), 0);
      ASSERT_EQ(engine->SetToBegin(reader), 0);
      ASSERT_EQ(engine->RecordGetNext(reader, 1, nullptr), 0);
    }
    ASSERT_EQ(engine->TransactionRollback(t), 0);
    // A new record in the slot the rolled-back one had: nobody holds its lock.
    const std::uint32_t other = lockedByInserter ? reader : writer;
    ASSERT_EQ(engine->RecordInsert(other, 0, Rec(30, "b").Data()), 0);
    EXPECT_EQ(engine->RecordGet(other, 1, nullptr), 0) << lockedByInserter;
    EXPECT_EQ(engine->RecordModify(other, false, Rec(30, "bb").Data()), 0) << lockedByInserter;
    EXPECT_EQ(engine->RecordDelete(other, nullptr), 0) << lockedByInserter;
    ASSERT_EQ(engine->RecordRelLock(reader, true), 0);
    ASSERT_EQ(engine->RecordRelLock(writer, true), 0);
  }
}

TEST_F(NamesTable, LocksOfAClientEndWithItsCursorItsDatabaseOrItself) {
  for (int how = 0; how < 3; ++how) {
    StandOn(3);
    std::uint32_t locker = 0, lockerDb = db2;
    if (how == 2) {
      std::uint32_t hash = 0;
      ASSERT_EQ(engine->ClientAdd(3, "third", "", hash), 0);
      ASSERT_EQ(engine->DatabaseOpenNoAlias(3, folder.Path(), 1, 1, lockerDb), 0);
    }
    ASSERT_EQ(engine->OpenTable(lockerDb, "Names", "", 2, 1, 1, locker, nullptr), 0);
    ASSERT_EQ(engine->RecordGetForKey(locker, false, 0, 0, Rec(3, "x").Data(), nullptr), 0);
    ASSERT_EQ(engine->RecordGet(locker, 1, nullptr), 0);
    EXPECT_EQ(engine->RecordGet(reader, 1, nullptr), 10241);
    EXPECT_EQ(engine->RecordModify(reader, false, Rec(3, Name(3)).Data()), 10241);
    EXPECT_EQ(engine->RecordDelete(reader, nullptr), 10241);
    if (how == 0) {
      ASSERT_EQ(engine->CursorClose(locker), 0);
    }
    if (how == 1) {
      // The database closes with its cursors; the test's other cursor opens again.
      ASSERT_EQ(engine->DatabaseClose(db2), 0);
      ASSERT_EQ(engine->DatabaseOpenNoAlias(2, folder.Path(), 1, 1, db2), 0);
      writer = OpenIn(db2, "Names", 1);
    }
    if (how == 2) engine->ClientRemove(3);
    EXPECT_EQ(engine->RecordGet(reader, 1, nullptr), 0) << how;
    EXPECT_EQ(engine->RecordModify(reader, false, Rec(3, Name(3)).Data()), 0) << how;
    ASSERT_EQ(engine->RecordRelLock(reader, true), 0);
  }
}

TEST_F(NamesTable, BookmarksOfKeysSoughtCompareByTheirKeys) {
  // Bookmarks taken after searches for names no record has: places between records.
  const int size = engine->BookmarkSize(reader);
  std::vector<std::uint8_t> b1(static_cast<std::size_t>(size)), b2(b1.size()), b3(b1.size());
  ASSERT_EQ(engine->SetToKey(reader, 2, false, 0, 0, Rec(0, "d").Data()), 0);
  ASSERT_EQ(engine->GetBookmark(reader, b1.data()), 0);
  ASSERT_EQ(engine->SetToKey(reader, 2, false, 0, 0, Rec(0, "h").Data()), 0);
  ASSERT_EQ(engine->GetBookmark(reader, b2.data()), 0);
  ASSERT_EQ(engine->SetToKey(reader, 2, false, 0, 0, Rec(0, "d").Data()), 0);
  ASSERT_EQ(engine->GetBookmark(reader, b3.data()), 0);
  std::int32_t cmp = 5;
  ASSERT_EQ(engine->CompareBookmarks(reader, b1.data(), b2.data(), cmp), 0);
  EXPECT_EQ(cmp, -1);
  ASSERT_EQ(engine->CompareBookmarks(reader, b2.data(), b1.data(), cmp), 0);
  EXPECT_EQ(cmp, 1);
  ASSERT_EQ(engine->CompareBookmarks(reader, b1.data(), b3.data(), cmp), 0);
  EXPECT_EQ(cmp, 0);
  // A place between records and a record.
  StandOn(3);  // g
  std::vector<std::uint8_t> onG(b1.size());
  ASSERT_EQ(engine->GetBookmark(reader, onG.data()), 0);
  ASSERT_EQ(engine->CompareBookmarks(reader, b2.data(), onG.data(), cmp), 0);
  EXPECT_EQ(cmp, 1);
  ASSERT_EQ(engine->CompareBookmarks(reader, b1.data(), onG.data(), cmp), 0);
  EXPECT_EQ(cmp, -1);
}

TEST_F(NamesTable, ACursorStepsOverTheRecordsTheTableHasAfterARefusedInsert) {
  // The refused insert had put its name into the name index before its id was found taken; its
  // own transaction is rolled back.
  StandOn(3);
  EXPECT_EQ(engine->RecordInsert(writer, 0, Rec(2, "a").Data()), 9729);
  EXPECT_EQ(Step(true), "i");
  EXPECT_EQ(Step(true), "k");
  StandOn(3);
  EXPECT_EQ(engine->RecordInsert(writer, 0, Rec(2, "a").Data()), 9729);
  EXPECT_EQ(Step(false), "e");
  EXPECT_EQ(Step(false), "c");
  EXPECT_EQ(Joined(Check("Names")), "");
}

TEST_F(NamesTable, ACursorStepsOverTheRecordsTheTableHasAfterABatchWithRefusedRecords) {
  // The second and third records of the batch are refused after their names went into the name
  // index; their changes are discarded, the first and last stay.
  StandOn(3);
  std::vector<std::uint8_t> batch;
  for (const auto& [id, name] : std::vector<std::pair<int, std::string>>{{7, "a"}, {2, "b"}, {3, "b"}, {8, "n"}}) {
    const Record r = Rec(id, name);
    batch.insert(batch.end(), r.Bytes.begin(), r.Bytes.end());
  }
  std::vector<DBIResult> results;
  const auto len = static_cast<std::uint32_t>(Dict(reader).RecordLength());
  ASSERT_EQ(engine->RecordInsertBatch(writer, 4, len, batch.data(), results), 0);
  EXPECT_EQ(results, (std::vector<DBIResult>{0, 9729, 9729, 0}));
  EXPECT_EQ(Step(true), "i");
  EXPECT_EQ(Step(true), "k");
  EXPECT_EQ(Step(true), "m");
  EXPECT_EQ(Step(true), "n");
  StandOn(3);
  EXPECT_EQ(Step(false), "e");
  EXPECT_EQ(Step(false), "c");
  EXPECT_EQ(Step(false), "a");
  EXPECT_EQ(Joined(Check("Names")), "");
}

}  // namespace
}  // namespace tw::dbengine::testing
