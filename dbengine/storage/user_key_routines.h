// The interface between the engine and a library of user key routines.  An index whose
// dictionary entry has the field count -1 takes its keys from such a library: the server's
// configuration names, per table and index, the library file and the names of its two routines.
// The library exports them with C linkage; this header is all it needs.
//
// Build-key routine: fills Key from Record for index IndexNumber.  KeyLength is the index's
// key length for a whole key, or the partial length when a search names only a part of the key
// (the routine then fills what it can).  Key arrives zeroed.  A zero answer refuses the record
// (the engine then reports a key violation).
//
// Compare-key routine: compares two keys of the index.  Params tells which index, the key
// length and the scope of the comparison (leading fields and partial length as the client gave
// them; 0 and 0 for whole keys) and the index's direction and case flags.  The answer is
// negative, zero or positive for less, equal or greater, and must order keys consistently: the
// B-tree of the index is kept in that order.
#ifndef TIDEWELL_USER_KEY_ROUTINES_H
#define TIDEWELL_USER_KEY_ROUTINES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TqnUserKeyCompareParams {
  int32_t KeyLength;
  int32_t IndexNumber;
  int32_t FieldCount;
  int32_t PartialLength;
  uint8_t Ascending;
  uint8_t CaseInsensitive;
} TqnUserKeyCompareParams;

typedef int32_t (*TqnUserBuildKeyProc)(int32_t IndexNumber, const uint8_t* Record, uint8_t* Key, int32_t KeyLength);
typedef int32_t (*TqnUserCompareKeyProc)(const uint8_t* Key1, const uint8_t* Key2,
                                         const TqnUserKeyCompareParams* Params);

#ifdef __cplusplus
}
#endif

#endif
