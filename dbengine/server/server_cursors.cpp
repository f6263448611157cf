// Cursors: positions, repositioning, navigation, key searches, ranges, bookmarks, clones and
// index switching.
#include <algorithm>
#include <cstring>

#include "dbengine/base/elfhash.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/server/server_engine_impl.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/data_blocks.h"
#include "dbengine/storage/storage_errors.h"

namespace tw::dbengine {

namespace {
bool IsStringType(int T) { return T >= qftShortString && T <= qftWideZString; }
}  // namespace

DBIResult TqnServerEngine::BuildKey(TqnSrCursor* C, const std::uint8_t* Record, int F, int P, std::uint8_t* Key) {
  const TqnDataDictionary& dict = C->Table->Dictionary();
  if (C->Index == 0) return 10764;
  const TqnIndexDescriptor& d = dict.IndexDescriptor(C->Index);
  const int k = d.FieldCount;
  const std::int32_t keyLen = d.KeyLength;
  if (F < 0 || P < 0) return qnresInvalidParameter;
  if (dict.IsUserKeyIndex(C->Index)) {
    // The index's own routine builds the key; a partial key is its business, it is told how
    // many bytes of the key the search compares.
    const TqnUserKeyRoutines* r = C->Table->UserRoutines(C->Index);
    if (r == nullptr) return QNResultOfErrorCode(qnerrUserRoutinesMissing);
    std::memset(Key, 0, static_cast<std::size_t>(keyLen));
    const std::int32_t len = P > 0 ? std::min<std::int32_t>(P, keyLen) : keyLen;
    return r->BuildKey(C->Index, Record, Key, len) != 0 ? qnresSuccess : qnresKeyViolation;
  }
  TqnDataDictionary::InitKey(Key, keyLen, k);
  int whole = k;
  if (P > 0 && F > 0) whole = std::min(F, k - 1);
  else if (P == 0 && F > 0) whole = std::min(F, k);
  else if (F == 0 && P > 0) whole = 0;
  const auto& fields = C->Handle.Params.Fields;
  for (int i = 0; i < whole; ++i) {
    const int fn = d.FieldNumbers[static_cast<std::size_t>(i)];
    if (dict.IsRecordFieldNull(fn, Record)) continue;
    const TqnKeyField& kf = fields[static_cast<std::size_t>(i)];
    std::memcpy(Key + kf.Offset, Record + dict.FieldOffset(fn), static_cast<std::size_t>(kf.Length));
    TqnDataDictionary::SetKeyFieldNonNull(Key, keyLen, k, i);
  }
  if (P > 0 && whole < k) {
    const int fn = d.FieldNumbers[static_cast<std::size_t>(whole)];
    if (dict.IsRecordFieldNull(fn, Record)) return qnresSuccess;
    const int type = dict.FieldType(fn);
    if (!IsStringType(type)) return 10000;
    // The whole stored value is taken (a short string's length byte included); the comparison
    // that uses this key looks at P characters only.
    const TqnKeyField& kf = fields[static_cast<std::size_t>(whole)];
    std::memcpy(Key + kf.Offset, Record + dict.FieldOffset(fn), static_cast<std::size_t>(kf.Length));
    TqnDataDictionary::SetKeyFieldNonNull(Key, keyLen, k, whole);
  }
  return qnresSuccess;
}

// The whole key of the record at Ref for C's index.
void TqnServerEngine::ReadRecordKey(TqnSrCursor* C, std::int32_t Ref, std::uint8_t* Key) {
  if (C->Index == 0) {
    QNPutI32(Key, Ref);
    return;
  }
  std::vector<std::uint8_t> rec(C->Record.size());
  QNTblReadRecord(C->Table->DataFile(), Ref, rec.data());
  if (!C->Table->BuildIndexKey(C->Index, rec.data(), Ref, Key)) QNStorageError(qnerrKeyNotFound);
}

// -1 before the range, 1 past it, 0 inside.
int TqnServerEngine::RangeCheck(TqnSrCursor* C, const std::uint8_t* Key) {
  const TqnCursorRange& r = C->Range;
  if (!r.Active) return 0;
  const int saveF = C->Handle.Params.FieldCount, saveP = C->Handle.Params.PartialLength;
  int result = 0;
  if (r.StartGiven) {
    C->SetCompareScope(r.StartFieldCount, r.StartPartialLen);
    const int c = C->CompareKeys(Key, r.StartKey.data());
    if (c < 0 || (c == 0 && !r.StartInclusive)) result = -1;
  }
  if (result == 0 && r.EndGiven) {
    C->SetCompareScope(r.EndFieldCount, r.EndPartialLen);
    const int c = C->CompareKeys(Key, r.EndKey.data());
    if (c > 0 || (c == 0 && !r.EndInclusive)) result = 1;
  }
  C->SetCompareScope(saveF, saveP);
  return result;
}

static void GoBOF(TqnSrCursor* C) {
  C->Position = qcpBOF;
  C->Reference = 0;
  C->KeyValid = false;
  QNSetBOF(C->Path);
}

static void GoEOF(TqnSrCursor* C) {
  C->Position = qcpEOF;
  C->Reference = 0;
  C->KeyValid = false;
  QNSetEOF(C->Path);
}

void TqnServerEngine::Reposition(TqnSrCursor* C) {
  if (C->Path.State != kpsUnpositioned) return;
  if (C->Position == qcpBOF) return QNSetBOF(C->Path);
  if (C->Position == qcpEOF) return QNSetEOF(C->Path);
  if (C->Position == qcpOnRecord && !C->KeyValid) {
    try {
      ReadRecordKey(C, C->Reference, C->Key.data());
      C->KeyValid = true;
    } catch (...) {
      C->KeyValid = false;
    }
  }
  if (!C->KeyValid) return GoBOF(C);
  C->SetCompareScope(0, 0);
  // The cursor's place: its key and, among equal keys, its record's reference.
  const std::int32_t place = C->Reference;
  std::int32_t ref = place;
  QNTblFindKey(C->Handle, ref, C->Key.data(), kQnFindGreaterOrEqual, C->Path);
  if (C->Position == qcpOnRecord) {
    std::vector<std::uint8_t> key(C->Key.size());
    if (C->Path.State == kpsOnKey && ref == place) ReadRecordKey(C, ref, key.data());
    // Its record where it was: the key found is the cursor's (the record found after a key no
    // longer there may be the cursor's record moved on by a change).
    if (C->Path.State == kpsOnKey && ref == place && C->CompareKeys(key.data(), C->Key.data()) == 0) {
      const int rc = RangeCheck(C, key.data());
      if (rc < 0) return GoBOF(C);
      if (rc > 0) return GoEOF(C);
      C->Key = key;
      return;
    }
    // Its record is no longer there (a bookmark that outlived it): the cursor stands on the gap.
    C->Position = qcpCrack;
    C->CrackOnRecord = false;
  }
  // A crack keeps its place whatever changes around it: before the first key at or after it (or
  // at the end of the index), or on its record while that is still there.  The steps from it
  // check the range.
  if (C->Path.State == kpsOnKey) {
    C->CrackOnRecord = C->CrackOnRecord && ref == place;
    if (!C->CrackOnRecord) C->Path.State = kpsBeforeKey;
  } else {
    C->CrackOnRecord = false;
  }
}

void TqnServerEngine::RepositionAfresh(TqnSrCursor* C) {
  QNInitKeyPath(C->Path);
  try {
    Reposition(C);
  } catch (...) {
    GoBOF(C);
  }
}

void TqnServerEngine::RepositionFolderCursors(const TqnFileKey& Folder) {
  for (int i = 0; i < tables_.Count(); ++i) {
    auto* t = tables_.ItemAs<TqnSrTable>(i);
    if (t->FolderKey() != Folder) continue;
    // A lock on a record the rollback took away would lock whatever record is stored in its
    // slot next: it goes with its record.
    std::vector<TqnLockContainer::RecordLock> gone;
    for (const auto& l : t->Locks().RecordLocks()) {
      std::int32_t ref = l.RefNr;
      std::uint8_t key[4];
      QNPutI32(key, l.RefNr);
      TqnKeyPath path;
      bool live = false;
      try {
        live = QNTblFindKey(t->IndexHandle(0), ref, key, kQnFindEqual, path) && ref == l.RefNr;
      } catch (...) {
      }
      if (!live) gone.push_back(l);
    }
    for (const auto& l : gone) t->Locks().RemoveRecordLock(l.Holder, l.RefNr);
    TqnList& cursors = t->Cursors();
    TqnPadLockGuard hold(cursors.PadLock());
    for (int j = 0; j < cursors.Count(); ++j) RepositionAfresh(cursors.ItemAs<TqnSrCursor>(j));
  }
}

void TqnServerEngine::PlaceOnChangedRecord(TqnSrCursor* C, std::int32_t Ref, const std::uint8_t* Old,
                                           const std::uint8_t* New) {
  C->KeyValid = Old != nullptr && C->Table->BuildIndexKey(C->Index, Old, Ref, C->Key.data());
  bool inPlace = false;
  if (New != nullptr && C->KeyValid) {
    std::uint8_t key[kQnMaxKeyLength];
    if (C->Key.size() <= sizeof key && C->Table->BuildIndexKey(C->Index, New, Ref, key)) {
      C->SetCompareScope(0, 0);
      inPlace = C->CompareKeys(C->Key.data(), key) == 0;
    }
  }
  C->Position = qcpCrack;
  C->Reference = Ref;
  C->CrackOnRecord = inPlace;
  QNInitKeyPath(C->Path);
}

TqnCursorPlace TqnServerEngine::PlaceOf(const TqnSrCursor* C) {
  TqnCursorPlace p;
  NotePlace(C, p);
  return p;
}

void TqnServerEngine::NotePlace(const TqnSrCursor* C, TqnCursorPlace& P) {
  P.Held = true;
  P.Index = C->Index;
  P.Position = C->Position;
  P.Reference = C->Reference;
  P.CrackOnRecord = C->CrackOnRecord;
  P.KeyValid = C->KeyValid;
  P.Key.assign(C->Key.begin(), C->Key.end());  // into the capacity P already has
}

void TqnServerEngine::PutBack(TqnSrCursor* C, const TqnCursorPlace& P) {
  // A note of another index (or key size) is no place of this cursor's.
  if (!P.Held || P.Index != C->Index || P.Key.size() != C->Key.size()) return;
  QNInitKeyPath(C->Path);
  C->Position = P.Position;
  C->Reference = P.Reference;
  C->CrackOnRecord = P.CrackOnRecord;
  C->KeyValid = P.KeyValid;
  C->Key = P.Key;
  try {
    Reposition(C);
  } catch (...) {
    GoBOF(C);
  }
}

void TqnServerEngine::StartFrom(TqnSrCursor* C, TqnCursorPlace* Start) {
  if (Start == nullptr) return;
  if (Start->Held) PutBack(C, *Start);
  else *Start = PlaceOf(C);
}

// Reads the record at C's reference into Record and takes a lock when asked.
static DBIResult ReadCurrent(TqnServerEngine& E, TqnSrCursor* C, std::uint8_t LockType, std::uint8_t* Record);

DBIResult TqnServerEngine::ReadRecordAfterGap(TqnSrCursor* C, std::uint8_t LockType, std::uint8_t* Record) {
  Reposition(C);
  // A record changed in place by another cursor is still there: a reader that asks for its lock
  // wants it as it now is (the change is what it waited for), and stands on it again.
  if (C->Position == qcpCrack && C->CrackOnRecord && C->Reference != 0 && LockType != 0) {
    C->Position = qcpOnRecord;
    C->CrackOnRecord = false;
    return ReadCurrent(*this, C, LockType, Record);
  }
  if (C->Position != qcpCrack || C->Reference == 0 || C->CrackOnRecord) return qnresNoCurrentRecord;
  // Nothing after the gap (in the range): the cursor stays on it.
  const std::vector<std::uint8_t> key = C->Key;
  const std::int32_t place = C->Reference;
  const TqnKeyPath path = C->Path;
  const DBIResult r = StepAlongPath(C, true, LockType, Record);
  if (r != qnresAtEOF) return r;
  C->Position = qcpCrack;
  C->Reference = place;
  C->Key = key;
  C->KeyValid = true;
  C->Path = path;
  return qnresNoCurrentRecord;
}

static DBIResult ReadCurrent(TqnServerEngine& E, TqnSrCursor* C, std::uint8_t LockType, std::uint8_t* Record) {
  std::uint8_t* into = Record != nullptr ? Record : C->Record.data();
  QNTblReadRecord(C->Table->DataFile(), C->Reference, into);
  return LockType != 0 ? E.TakeRecordLock(C, C->Reference) : qnresSuccess;
}

DBIResult TqnServerEngine::MoveNext(TqnSrCursor* C, std::uint8_t LockType, std::uint8_t* Record) {
  if (C->Position == qcpEOF) return qnresAtEOF;
  if (C->Position == qcpBOF && C->Range.Active && C->Range.StartGiven) {
    C->Key = C->Range.StartKey;
    C->SetCompareScope(C->Range.StartFieldCount, C->Range.StartPartialLen);
    std::int32_t ref = 0;
    QNTblFindKey(C->Handle, ref, C->Key.data(), C->Range.StartInclusive ? kQnFindGreaterOrEqual : kQnFindGreater,
                 C->Path);
    if (C->Path.State == kpsEOF) {
      GoEOF(C);
      return qnresAtEOF;
    }
    if (C->Path.State == kpsOnKey) C->Path.State = kpsBeforeKey;
  } else {
    Reposition(C);
  }
  return StepAlongPath(C, true, LockType, Record);
}

// One step from the cursor's index path, forwards or backwards: the record there becomes the
// current one, unless the step leaves the index or the range, which puts the cursor at that end.
DBIResult TqnServerEngine::StepAlongPath(TqnSrCursor* C, bool Forward, std::uint8_t LockType, std::uint8_t* Record) {
  C->SetCompareScope(0, 0);
  std::int32_t ref = 0;
  // On the stack: a step is made for every record a cursor reads.
  std::uint8_t key[kQnMaxKeyLength];
  const std::size_t keyLen = std::min(C->Key.size(), sizeof key);
  std::memset(key, 0, keyLen);
  const bool stepped = Forward ? QNTblNextKey(C->Handle, ref, key, C->Path) : QNTblPrevKey(C->Handle, ref, key, C->Path);
  bool outside = !stepped;
  if (stepped && C->Range.Active && (Forward ? C->Range.EndGiven : C->Range.StartGiven)) {
    const int side = RangeCheck(C, key);
    outside = Forward ? side > 0 : side < 0;
  }
  if (outside) {
    if (Forward) {
      GoEOF(C);
      return qnresAtEOF;
    }
    GoBOF(C);
    return qnresAtBOF;
  }
  std::memcpy(C->Key.data(), key, keyLen);
  // The sequential order's key is the reference itself, which the step does not copy.
  if (C->Index == 0) QNPutI32(C->Key.data(), ref);
  C->KeyValid = true;
  C->Reference = ref;
  C->Position = qcpOnRecord;
  return ReadCurrent(*this, C, LockType, Record);
}

DBIResult TqnServerEngine::MovePrior(TqnSrCursor* C, std::uint8_t LockType, std::uint8_t* Record) {
  if (C->Position == qcpBOF) return qnresAtBOF;
  if (C->Position == qcpEOF && C->Range.Active && C->Range.EndGiven) {
    C->Key = C->Range.EndKey;
    C->SetCompareScope(C->Range.EndFieldCount, C->Range.EndPartialLen);
    std::int32_t ref = 0;
    QNTblFindKey(C->Handle, ref, C->Key.data(), C->Range.EndInclusive ? kQnFindGreater : kQnFindGreaterOrEqual,
                 C->Path);
    // The path stands on the first key past the end (or at EOF): the prior key is the last inside.
    if (C->Path.State == kpsOnKey) C->Path.State = kpsBeforeKey;
  } else {
    Reposition(C);
  }
  return StepAlongPath(C, false, LockType, Record);
}

DBIResult TqnServerEngine::SetToBegin(std::uint32_t CursorID) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    GoBOF(c);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::SetToEnd(std::uint32_t CursorID) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    GoEOF(c);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::RecordGetNext(std::uint32_t CursorID, std::uint8_t LockType, std::uint8_t* Record,
                                         TqnCursorPlace* Start) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    StartFrom(c, Start);
    return MoveNext(c, LockType, Record);
  });
}

DBIResult TqnServerEngine::RecordGetPrev(std::uint32_t CursorID, std::uint8_t LockType, std::uint8_t* Record,
                                         TqnCursorPlace* Start) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    StartFrom(c, Start);
    return MovePrior(c, LockType, Record);
  });
}

DBIResult TqnServerEngine::SetToKey(std::uint32_t CursorID, std::uint8_t SearchAction, bool DirectKey, int F, int P,
                                    const std::uint8_t* Data) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (c->Index == 0) return 10764;
    if (SearchAction > 2) return qnresInvalidParameter;
    std::vector<std::uint8_t> key(c->Key.size());
    if (DirectKey) {
      std::memcpy(key.data(), Data, key.size());
    } else if (DBIResult r = BuildKey(c, Data, F, P, key.data()); r != qnresSuccess) {
      return r;
    }
    QNInitKeyPath(c->Path);
    c->Reference = 0;
    c->SetCompareScope(F, P);
    std::int32_t ref = 0;
    const bool found = QNTblFindKey(c->Handle, ref, key.data(), SearchAction, c->Path) &&
                       !(SearchAction != kQnFindEqual && c->Path.State == kpsBOF);
    if (!found) {
      c->SetCompareScope(0, 0);
      GoBOF(c);
      return 8710;
    }
    const int rc = RangeCheck(c, key.data());
    c->SetCompareScope(0, 0);
    if (rc < 0) {
      GoBOF(c);
      return 8710;
    }
    if (rc > 0) {
      GoEOF(c);
      return 8710;
    }
    c->Key = key;
    c->KeyValid = true;
    c->Position = qcpCrack;
    c->CrackOnRecord = false;
    if (c->Path.State == kpsOnKey) c->Path.State = kpsBeforeKey;
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::RecordGetForKey(std::uint32_t CursorID, bool DirectKey, int F, int P,
                                           const std::uint8_t* Data, std::uint8_t* Record) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    std::uint8_t key[kQnMaxKeyLength];
    const std::size_t keyLen = std::min(c->Key.size(), sizeof key);
    if (DirectKey) {
      std::memcpy(key, Data, keyLen);
    } else {
      if (c->Index == 0) return 10048;
      if (DBIResult r = BuildKey(c, Data, F, P, key); r != qnresSuccess) return r;
    }
    QNInitKeyPath(c->Path);
    c->Reference = 0;
    c->SetCompareScope(F, P);
    std::int32_t ref = 0;
    const bool found = QNTblFindKey(c->Handle, ref, key, kQnFindEqual, c->Path);
    if (!found) {
      c->SetCompareScope(0, 0);
      GoEOF(c);
      return 8710;
    }
    const int rc = RangeCheck(c, key);
    c->SetCompareScope(0, 0);
    if (rc != 0) {
      rc < 0 ? GoBOF(c) : GoEOF(c);
      return 8710;
    }
    c->Reference = ref;
    c->Position = qcpOnRecord;
    // The record is read once: the cursor's whole key (the search may have compared a part
    // of it only) is built from what was read.  A record found through a composite index must
    // hold the key it was found by: that check stands in for the one of its data block's
    // header, which is then not read (a wrong reference, into another record or into a block
    // that holds no records, is found either way).
    std::uint8_t* into = Record != nullptr ? Record : c->Record.data();
    const bool keyChecked = c->Handle.Compare == QNKeyCompareComposite;
    QNTblReadSingleRecord(c->Table->DataFile(), ref, into, !keyChecked);
    if (!c->Table->BuildIndexKey(c->Index, into, ref, c->Key.data())) QNStorageError(qnerrKeyNotFound);
    if (keyChecked) {
      c->SetCompareScope(F, P);
      const int differs = c->Handle.Compare(key, c->Key.data(), c->Handle.Params);
      c->SetCompareScope(0, 0);
      if (differs != 0) QNStorageError(qnerrBadRecordRef, {c->Table->DataFile()->Name, ref});
    }
    c->KeyValid = true;
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::SetRange(std::uint32_t CursorID, bool DirectKey, const std::uint8_t* Data1, int F1, int P1,
                                    bool Inclusive1, const std::uint8_t* Data2, int F2, int P2, bool Inclusive2) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (c->Index == 0) return 10764;
    TqnCursorRange r;
    r.StartKey.assign(c->Key.size(), 0);
    r.EndKey.assign(c->Key.size(), 0);
    r.StartGiven = Data1 != nullptr;
    r.EndGiven = Data2 != nullptr;
    if (r.StartGiven) {
      if (DirectKey) std::memcpy(r.StartKey.data(), Data1, r.StartKey.size());
      else if (DBIResult e = BuildKey(c, Data1, F1, P1, r.StartKey.data()); e != qnresSuccess) return e;
      r.StartFieldCount = F1;
      r.StartPartialLen = P1;
      r.StartInclusive = Inclusive1;
    }
    if (r.EndGiven) {
      if (DirectKey) std::memcpy(r.EndKey.data(), Data2, r.EndKey.size());
      else if (DBIResult e = BuildKey(c, Data2, F2, P2, r.EndKey.data()); e != qnresSuccess) return e;
      r.EndFieldCount = F2;
      r.EndPartialLen = P2;
      r.EndInclusive = Inclusive2;
    }
    r.Active = true;
    c->Range = std::move(r);
    GoBOF(c);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::ResetRange(std::uint32_t CursorID) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (c->Index == 0) return 10764;
    c->Range.Active = false;
    return qnresSuccess;
  });
}

// ---- Bookmarks ----------------------------------------------------------------------------

std::int32_t TqnServerEngine::BookmarkSize(std::uint32_t CursorID) {
  std::int32_t n = -1;
  Guarded([&]() -> DBIResult {
    if (TqnSrCursor* c = FindCursor(CursorID)) n = kQnBookmarkHead + c->KeyLength;
    return qnresSuccess;
  });
  return n;
}

std::int32_t TqnServerEngine::CursorRecordLength(std::uint32_t CursorID) {
  std::int32_t n = -1;
  Guarded([&]() -> DBIResult {
    if (TqnSrCursor* c = FindCursor(CursorID)) n = c->RecordLength();
    return qnresSuccess;
  });
  return n;
}

std::int32_t TqnServerEngine::CursorKeyLength(std::uint32_t CursorID) {
  std::int32_t n = -1;
  Guarded([&]() -> DBIResult {
    if (TqnSrCursor* c = FindCursor(CursorID)) n = c->KeyLength;
    return qnresSuccess;
  });
  return n;
}

bool TqnServerEngine::BookmarkValid(TqnSrCursor* C, const std::uint8_t* B) {
  if (B == nullptr) return false;
  if (QNGetI32(B + 4) != C->Index || QNGetI32(B + 16) != C->KeyLength) return false;
  if (B[8] < qcpBOF || B[8] > qcpOnRecord) return false;
  return QNGetU32(B) == ElfHash(B + 4, 16 + C->KeyLength);
}

DBIResult TqnServerEngine::GetBookmark(std::uint32_t CursorID, std::uint8_t* B) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    Reposition(c);
    std::memset(B, 0, static_cast<std::size_t>(kQnBookmarkHead + c->KeyLength));
    QNPutI32(B + 4, c->Index);
    B[8] = c->Position;
    B[9] = c->KeyValid ? 1 : 0;
    QNPutI32(B + 12, c->Reference);
    QNPutI32(B + 16, c->KeyLength);
    if (c->KeyValid) std::memcpy(B + kQnBookmarkHead, c->Key.data(), c->Key.size());
    QNPutU32(B, ElfHash(B + 4, 16 + c->KeyLength));
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::SetToBookmark(std::uint32_t CursorID, const std::uint8_t* B) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (!BookmarkValid(c, B)) return qnresInvalidBookmark;
    QNInitKeyPath(c->Path);
    c->Position = B[8];
    c->CrackOnRecord = false;
    c->KeyValid = B[9] != 0;
    c->Reference = QNGetI32(B + 12);
    if (c->KeyValid) std::memcpy(c->Key.data(), B + kQnBookmarkHead, c->Key.size());
    try {
      Reposition(c);
    } catch (...) {
      GoBOF(c);
      return qnresInvalidBookmark;
    }
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::CompareBookmarks(std::uint32_t CursorID, const std::uint8_t* B1, const std::uint8_t* B2,
                                            std::int32_t& Compare) {
  return Guarded([&]() -> DBIResult {
    Compare = 0;
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (!BookmarkValid(c, B1) || !BookmarkValid(c, B2)) return qnresInvalidBookmark;
    const std::uint8_t p1 = B1[8], p2 = B2[8];
    if (p1 == qcpBOF) Compare = p2 == qcpBOF ? 0 : -1;
    else if (p1 == qcpEOF) Compare = p2 == qcpEOF ? 0 : 1;
    else if (p2 == qcpBOF) Compare = 1;
    else if (p2 == qcpEOF) Compare = -1;
    // One record (the reference 0 of a crack before a key sought names none: such places
    // compare by their keys).
    else if (QNGetI32(B1 + 12) == QNGetI32(B2 + 12) && QNGetI32(B1 + 12) != 0) Compare = 0;
    else {
      c->SetCompareScope(0, 0);
      const int k = c->CompareKeys(B1 + kQnBookmarkHead, B2 + kQnBookmarkHead);
      Compare = k < 0 ? -1 : (k > 0 ? 1 : 0);
    }
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::SetToCursor(std::uint32_t DestCursorID, std::uint32_t SrcCursorID) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* d = FindCursor(DestCursorID);
    TqnSrCursor* s = FindCursor(SrcCursorID);
    if (d == nullptr || s == nullptr) return qnresInvalidHandle;
    if (d->Table != s->Table) return qnresDifferentTables;
    if (d->Index == s->Index) {
      d->Reference = s->Reference;
      d->KeyValid = s->KeyValid;
      d->Key = s->Key;
      d->Path = s->Path;
      d->Position = s->Position;
      d->CrackOnRecord = s->CrackOnRecord;
      return qnresSuccess;
    }
    if (s->Position != qcpOnRecord) return qnresNoCurrentRecord;
    d->Reference = s->Reference;
    d->Position = qcpOnRecord;
    QNInitKeyPath(d->Path);
    d->KeyValid = false;
    Reposition(d);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::CursorClone(std::uint32_t CursorID, std::uint8_t OpenMode, std::uint32_t& NewCursorID) {
  return Guarded([&]() -> DBIResult {
    NewCursorID = 0;
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    auto* n = new TqnSrCursor(c->Table, c->Database, c->Index, (c->ReadWrite != 0 && OpenMode != 0) ? 1 : 0);
    cursors_.Insert(n);
    n->Handle = c->Handle;
    n->Reference = c->Reference;
    n->Position = c->Position;
    n->CrackOnRecord = c->CrackOnRecord;
    n->Key = c->Key;
    n->KeyValid = c->KeyValid;
    n->Path = c->Path;
    n->Range = c->Range;
    NewCursorID = n->Id();
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::SwitchToIndex(std::uint32_t CursorID, std::string_view IndexName, std::int32_t IndexNumber,
                                         bool PosnOnRec) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    const TqnDataDictionary& dict = c->Table->Dictionary();
    int index = IndexNumber;
    if (!IndexName.empty()) index = dict.GetIndexFromName(std::string(IndexName));
    if (index < 0 || index >= dict.IndexCount()) return qnresNoSuchIndex;
    if (index == c->Index) return qnresSuccess;
    if (PosnOnRec && c->Position != qcpOnRecord) return qnresNoCurrentRecord;
    const std::int32_t ref = c->Reference;
    const std::uint8_t pos = c->Position;
    c->SetIndex(index);
    if (PosnOnRec && pos == qcpOnRecord) {
      c->Reference = ref;
      c->Position = qcpOnRecord;
      Reposition(c);
    }
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::RecordGetBatch(std::uint32_t CursorID, std::uint32_t RecLen, std::uint32_t RecCount,
                                          std::uint8_t* Buffer, std::uint32_t& Count) {
  return Guarded([&]() -> DBIResult {
    Count = 0;
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (RecCount > 0 && RecLen < static_cast<std::uint32_t>(c->RecordLength())) return qnresInvalidParameter;
    for (std::uint32_t i = 0; i < RecCount; ++i) {
      if (MoveNext(c, 0, c->Record.data()) != qnresSuccess) break;
      std::memcpy(Buffer + static_cast<std::size_t>(i) * RecLen, c->Record.data(), c->Record.size());
      ++Count;
    }
    return qnresSuccess;
  });
}

}  // namespace tw::dbengine
