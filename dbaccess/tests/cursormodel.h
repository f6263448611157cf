// A small model of one table of persons and of the places of cursors on it, for the model tests
// of random inserts, deletes, changes and steps on several cursors: what the next and the prior
// record read from a place are, and where a change puts the cursors that stood on the record.
//
// A cursor follows one order: by number (unique), by group (groups repeat; equal groups in the
// order of their records' references) or the sequential order (by reference).  Its place is a
// key in that order: on a record, on a record changed in place by another cursor (the record is
// no longer current but navigation goes on from it), or on the gap a record left (deleted, or
// moved away by a change of its key): the next record forwards is the first at or after the
// gap's key, backwards the last before it.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/dbientry.h"

namespace tw::test::model {

struct TPerson {
  int Nr = 0;
  int Grp = 0;
  std::string Name;
  std::uint32_t Ref = 0;
};

enum class TOrder { ByNr, ByGrp, Sequential };
enum class TPlace { BOF, EOF_, On, CrackOn, Gap };

using TKey = std::pair<std::int64_t, std::int64_t>;

inline TKey KeyOf(TOrder O, const TPerson& P) {
  switch (O) {
    case TOrder::ByNr: return {P.Nr, 0};
    case TOrder::ByGrp: return {P.Grp, P.Ref};
    default: return {P.Ref, 0};
  }
}

struct TCursorModel {
  TOrder Order = TOrder::ByNr;
  int Lo = INT_MIN, Hi = INT_MAX;  // a range of numbers (cursors by number only)
  bool Filtered = false;           // group 3 is filtered out
  TPlace Place = TPlace::BOF;
  TKey At{};
  int Nr = 0;  // the record of On and CrackOn
  bool Passes(const TPerson& P) const { return !Filtered || P.Grp != 3; }
};

// The answer of a read: 0 and the record's number, or the result code.
struct TRead {
  int Code = 0;
  int Nr = 0;
  bool operator==(const TRead&) const = default;
};

class TTableModel {
 public:
  std::map<int, TPerson> Rows;  // by number

  std::vector<const TPerson*> Ordered(TOrder O) const {
    std::vector<const TPerson*> out;
    for (const auto& [nr, p] : Rows) out.push_back(&p);
    std::sort(out.begin(), out.end(), [O](const TPerson* a, const TPerson* b) { return KeyOf(O, *a) < KeyOf(O, *b); });
    return out;
  }

  TRead Next(TCursorModel& C) const {
    if (C.Place == TPlace::EOF_) return {8706, 0};
    for (const TPerson* p : Ordered(C.Order)) {
      const TKey k = KeyOf(C.Order, *p);
      const bool after = C.Place == TPlace::BOF || (C.Place == TPlace::Gap ? k >= C.At : k > C.At);
      if (!after || (C.Place == TPlace::BOF && p->Nr < C.Lo)) continue;
      if (p->Nr > C.Hi) break;
      if (!C.Passes(*p)) continue;
      return StandOn(C, *p);
    }
    C.Place = TPlace::EOF_;
    return {8706, 0};
  }

  TRead Prior(TCursorModel& C) const {
    if (C.Place == TPlace::BOF) return {8705, 0};
    const auto order = Ordered(C.Order);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
      const TPerson* p = *it;
      const bool before = C.Place == TPlace::EOF_ || KeyOf(C.Order, *p) < C.At;
      if (!before || (C.Place == TPlace::EOF_ && p->Nr > C.Hi)) continue;
      if (p->Nr < C.Lo) break;
      if (!C.Passes(*p)) continue;
      return StandOn(C, *p);
    }
    C.Place = TPlace::BOF;
    return {8705, 0};
  }

  // The current record's read: on a gap the record after it, which becomes current (nothing
  // after it: the cursor stays).
  TRead Get(TCursorModel& C) const {
    if (C.Place == TPlace::On) return {0, C.Nr};
    if (C.Place != TPlace::Gap) return {8709, 0};
    for (const TPerson* p : Ordered(C.Order)) {
      if (KeyOf(C.Order, *p) < C.At) continue;
      if (p->Nr > C.Hi) break;
      StandOn(C, *p);
      return C.Passes(*p) ? TRead{0, p->Nr} : Next(C);
    }
    return {8709, 0};
  }

  void Inserted(TCursorModel& By, const TPerson& P) {
    Rows[P.Nr] = P;
    StandOn(By, Rows[P.Nr]);
  }

  void Deleted(TCursorModel& By, int Nr, const std::vector<TCursorModel*>& All) {
    const TPerson old = Rows.at(Nr);
    Rows.erase(Nr);
    for (TCursorModel* c : All) {
      if (c == &By || OnRecord(*c, Nr)) {
        c->Place = TPlace::Gap;
        c->At = KeyOf(c->Order, old);
      }
    }
  }

  void Modified(TCursorModel& By, int Nr, TPerson New, const std::vector<TCursorModel*>& All) {
    const TPerson old = Rows.at(Nr);
    New.Ref = old.Ref;
    Rows.erase(Nr);
    Rows[New.Nr] = New;
    for (TCursorModel* c : All) {
      if (c == &By || !OnRecord(*c, Nr)) continue;
      if (KeyOf(c->Order, old) == KeyOf(c->Order, New)) {
        c->Place = TPlace::CrackOn;
        c->Nr = New.Nr;
      } else {
        c->Place = TPlace::Gap;
        c->At = KeyOf(c->Order, old);
      }
    }
    StandOn(By, Rows[New.Nr]);
  }

 private:
  static bool OnRecord(const TCursorModel& C, int Nr) {
    return (C.Place == TPlace::On || C.Place == TPlace::CrackOn) && C.Nr == Nr;
  }
  static TRead StandOn(TCursorModel& C, const TPerson& P) {
    C.Place = TPlace::On;
    C.At = KeyOf(C.Order, P);
    C.Nr = P.Nr;
    return {0, P.Nr};
  }
};

// A number from 1 to 60 that no record has, within the cursor's range; 0 when there is none.
inline int FreeNumber(const TTableModel& T, const TCursorModel& C, std::mt19937& Rng) {
  std::vector<int> free;
  for (int nr = std::max(1, C.Lo); nr <= std::min(60, C.Hi); ++nr)
    if (!T.Rows.count(nr)) free.push_back(nr);
  return free.empty() ? 0 : free[Rng() % free.size()];
}

// A group from 1 to 4 for a record written through the cursor: never the group it filters out.
inline int NewGroup(const TCursorModel& C, std::mt19937& Rng) {
  const int g = 1 + static_cast<int>(Rng() % 4);
  return C.Filtered && g == 3 ? 4 : g;
}

// The reference of the record a cursor stands on: the server's bookmark holds it at byte 12.
inline std::uint32_t ReferenceOf(dbaccess::hDBICur Cursor) {
  dbaccess::CURProps props;
  dbaccess::DbiGetCursorProps(Cursor, props);
  std::vector<std::uint8_t> bm(props.iBookMarkSize);
  std::uint32_t ref = 0;
  if (dbaccess::DbiGetBookMark(Cursor, bm.data()) == dbaccess::DBIERR_NONE) std::memcpy(&ref, bm.data() + 12, 4);
  return ref;
}

}  // namespace tw::test::model
