// B-tree indexes in "QNIH" blocks.  One index header block per file lists up to 256 indexes
// (key length, flags, key count, root block, node count); each index is a B-tree whose nodes
// hold keys with the references of their records.  Index 0, the sequential-access index, has
// the references themselves as keys.  Nodes keep at least half their capacity (the root
// excepted): adding splits or rotates full nodes on the way down, deleting borrows or merges
// on the way down.  Every change is made on pages of the file's current transaction, so a
// rollback undoes all of it.
#pragma once

#include <array>
#include <cstdint>

#include "dbengine/storage/file_info.h"
#include "dbengine/storage/key_compare.h"

namespace tw::dbengine {

constexpr int kQnMaxIndexSlots = 256;
constexpr int kQnMaxKeyPathDepth = 32;

// Index flags in the header block.
constexpr std::uint8_t kQnIndexAllowDups = 1;
constexpr std::uint8_t kQnIndexSeqAccess = 2;

// States of a key path.
enum TqnKeyPathState : std::uint8_t {
  kpsUnpositioned = 0,
  kpsBOF = 1,
  kpsBeforeKey = 2,
  kpsAfterKey = 3,
  kpsOnKey = 4,
  kpsEOF = 5,
};

// A cursor's place in an index: the nodes from the root down, with the position in each (in an
// inner node above the last, the child followed; in the last node, the key).  Only the first
// Depth entries of Block and Position hold anything.
struct TqnKeyPath {
  std::int32_t Depth = 0;
  std::array<std::int32_t, kQnMaxKeyPathDepth> Block{};
  std::array<std::int32_t, kQnMaxKeyPathDepth> Position{};
  std::uint8_t State = kpsUnpositioned;
  TqnBlockHint LeafHint;  // the page of the node the path ends in, as a step last found it
};
void QNInitKeyPath(TqnKeyPath& Path);
void QNSetBOF(TqnKeyPath& Path);
void QNSetEOF(TqnKeyPath& Path);

// One index of an open file with its comparison.
struct TqnIndexHandle {
  TqnFileInfo* File = nullptr;
  int Index = 0;
  TqnKeyCompareFunc Compare = nullptr;
  TqnKeyCompareParams Params;
  // The page of the index's root as the last insert or search through this handle found it:
  // every insert and search starts there.
  mutable TqnBlockHint RootHint;
};
// The handle of index Index of Dictionary over File: the sequential-access comparison for
// index 0, the composite comparison for the others (a user key index needs a handle made by
// its owner).
TqnIndexHandle QNMakeIndexHandle(TqnFileInfo* File, const TqnDataDictionary& Dictionary, int Index);

// The entry of one index in the header block.
struct TqnIndexInfo {
  std::int32_t KeyLength = 0;
  std::uint8_t Flags = 0;
  std::int32_t KeyCount = 0;
  std::int32_t Root = -1;
  std::int32_t NodeCount = 0;
};

// Makes the index header block of File and records it in block 0.
void QNTblPrepareIndexes(TqnFileInfo* File);
void QNTblAddIndex(TqnFileInfo* File, int Index, std::int32_t KeyLength, bool IsSeqAccess, bool AllowDups);
// Frees the index's nodes and moves the entries above it down one place.
void QNTblDeleteIndex(TqnFileInfo* File, int Index);
// Frees every node of the index; key count 0, root -1, node count 0.
void QNTblClearIndex(TqnFileInfo* File, int Index);
TqnIndexInfo QNTblGetIndexInfo(TqnFileInfo* File, int Index);
// The index header block of File, -1 when it has none.
std::int32_t QNTblIndexHeaderBlock(TqnFileInfo* File);

// Maximum key count of a node: odd, from the block size, key length and kind.
std::int32_t QNIndexNodeCapacity(std::int32_t BlockSize, std::int32_t KeyLength, bool Leaf, bool SeqAccess);

// Keys.  Key is KeyLength bytes in the index's key layout (for index 0 the reference).
bool QNTblAddKey(const TqnIndexHandle& Index, std::int32_t RefNr, const std::uint8_t* Key);
bool QNTblDeleteKey(const TqnIndexHandle& Index, std::int32_t RefNr, const std::uint8_t* Key);

// Search actions.
constexpr int kQnFindEqual = 0;
constexpr int kQnFindGreater = 1;
constexpr int kQnFindGreaterOrEqual = 2;
// Searches Key with Action; on success the path stands on the key found (or at EOF) and RefNr
// holds its reference.  RefNr breaks ties in a duplicates index when it is not 0.
bool QNTblFindKey(const TqnIndexHandle& Index, std::int32_t& RefNr, const std::uint8_t* Key, int Action,
                  TqnKeyPath& Path);
// Moves the path one key forward or back; KeyBuffer (KeyLength bytes, may be nullptr) receives
// the key.  False at the end, the path then at EOF or BOF.
bool QNTblNextKey(const TqnIndexHandle& Index, std::int32_t& RefNr, std::uint8_t* KeyBuffer, TqnKeyPath& Path);
bool QNTblPrevKey(const TqnIndexHandle& Index, std::int32_t& RefNr, std::uint8_t* KeyBuffer, TqnKeyPath& Path);

}  // namespace tw::dbengine
