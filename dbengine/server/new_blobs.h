// The BLOBs of one open table that a cursor created and no record has stored yet, each with
// the cursor that created it.  Only that cursor may free such a BLOB: a number that a record
// holds, that another cursor (of this client or another) made, or whose creation a rollback
// undid is never freed, so no record is left naming a slot that the next new BLOB takes.  And
// only such a BLOB may a record newly store: one that a record stores already is no other
// record's.  The answers come from here, without walking the table's records.
//
// Every change is made inside a transaction of the table's folder (one at a time); the first
// change of a number in a transaction keeps what the number had before it, so that a rollback
// puts the list back as the transaction found it, and a commit lets the changes stand.
#pragma once

#include <cstdint>
#include <unordered_map>

namespace tw::dbengine {

class TqnNewBlobs {
 public:
  // Cursor created BLOB Nr in transaction Trans.
  void Created(std::uint32_t Nr, std::uint32_t Cursor, std::uint32_t Trans);
  // A record stored BLOB Nr in transaction Trans, or it was freed: it is nobody's new BLOB now.
  void Taken(std::uint32_t Nr, std::uint32_t Trans);
  // True when Cursor created Nr and nothing has stored or freed it since.
  bool CreatedBy(std::uint32_t Nr, std::uint32_t Cursor) const;
  // True when a cursor created Nr and nothing has stored or freed it since: a record may store
  // it.
  bool IsNew(std::uint32_t Nr) const { return !creators_.empty() && creators_.count(Nr) != 0; }
  bool Empty() const { return creators_.empty(); }
  void TransactionEnded(std::uint32_t Trans, bool Committed);
  // The cursor is closed: nothing it created can be freed any more.
  void CursorGone(std::uint32_t Cursor);

 private:
  void Keep(std::uint32_t Nr, std::uint32_t Trans);

  std::unordered_map<std::uint32_t, std::uint32_t> creators_;  // BLOB number -> creating cursor
  std::uint32_t trans_ = 0;                                    // the transaction before_ belongs to
  std::unordered_map<std::uint32_t, std::uint32_t> before_;    // as it found them (0: no entry)
};

}  // namespace tw::dbengine
