// The largest request and reply a valid client meets, worked out from the limits of what they
// carry: records and keys of the largest block, BLOB pieces, and above all a table's dictionary,
// which BuildTable and RestructureTable send and OpenTable and GetTableDictionary answer with.
// The server takes every message up to kQnLargestRequest (the default of MAXMESSAGESIZE), so a
// valid request is never refused for its size.
//
// The dictionary travels in the class library's binary value format: a Boolean is 1 byte, an
// Integer at most 5 (tag and four bytes), a string of n <= 255 characters n + 2 (tag and length
// byte), a raw value block its bytes.  Its largest form:
// - files: a reader takes at most 258 (the data file, the BLOB file and one per index); each is
//   a description (63 characters), an extension (3), a block size and a type: 80 bytes;
// - fields: a record of the largest block (32768 bytes) holds at most 32732 bytes (the block
//   header and a slot link take the rest), the fields' bytes and one null bit per field; a
//   field takes at least one byte, so there are at most 32732 * 8 / 9 = 29095 fields.  Each is
//   a name (31), a description (63), five Integers (units, decimals, offset, length, type),
//   two Booleans (required, has a check), a picture (175), three Booleans (has minimum,
//   maximum, default): 305 bytes, and the minimum, maximum and default at the field's length:
//   three times the bytes of the record.  With every field a byte long the record's 32732
//   bytes are 29095 field bytes and 3637 null bytes, so the fields take 29095 * 308 bytes;
//   fewer, longer fields take less (a field's byte and null bit in values come to 3 bytes,
//   against 305 for one more field);
// - indexes: 255 besides index 0, which is never streamed; each a name, a description, three
//   Integers (file, key length, field count), 16 field numbers and three Booleans: 196 bytes;
// - the encrypted flag and four counts and lengths (files, fields, record, indexes): 21 bytes.
// RestructureTable adds its database id and table name (36 bytes) and the field map: one line
// per new field, "target=source" with names of at most 31 characters as a counted string (at
// most 64 bytes), and a closing zero byte.  Every other request is far smaller: a record of
// 32732 bytes with its 13-byte head, a range of two keys or records (31 + 2 * 32732), a BLOB
// piece of 65517 bytes with its 16-byte head.
#pragma once

#include <cstdint>

namespace tw::dbengine {

constexpr std::uint32_t kQnLargestBlock = 32768;
// A record beside the 32-byte block header and its 4-byte slot link.
constexpr std::uint32_t kQnLargestRecord = kQnLargestBlock - 36;
// Every field takes at least one byte and a null bit.
constexpr std::uint32_t kQnMostFields = kQnLargestRecord * 8 / 9;
constexpr std::uint32_t kQnMostFiles = 258;
constexpr std::uint32_t kQnMostStreamedIndexes = 255;

namespace requestlimits {
constexpr std::uint32_t Boolean = 1;
constexpr std::uint32_t Integer = 5;
constexpr std::uint32_t String(std::uint32_t Characters) { return Characters + 2; }
constexpr std::uint32_t File = String(63) + String(3) + 2 * Integer;
constexpr std::uint32_t FieldWithoutValues = String(31) + String(63) + 5 * Integer + 2 * Boolean + String(175) +
                                             3 * Boolean;
constexpr std::uint32_t Index = String(31) + String(63) + 3 * Integer + 16 * Integer + 3 * Boolean;
constexpr std::uint32_t NullBytes = (kQnMostFields + 7) / 8;
constexpr std::uint32_t FieldBytes = kQnLargestRecord - NullBytes;
constexpr std::uint32_t MapLine = 1 + 31 + 1 + 31;
}  // namespace requestlimits

// The largest dictionary stream.
constexpr std::uint32_t kQnLargestDictionary =
    requestlimits::Boolean + 4 * requestlimits::Integer + kQnMostFiles * requestlimits::File +
    kQnMostFields * requestlimits::FieldWithoutValues + 3 * requestlimits::FieldBytes +
    kQnMostStreamedIndexes * requestlimits::Index;
// RestructureTable: database id, table name, dictionary, field map and its end.
constexpr std::uint32_t kQnLargestRequest = 4 + 32 + kQnLargestDictionary + kQnMostFields * requestlimits::MapLine + 1;
// OpenTable's reply: cursor id, dictionary, index number.
constexpr std::uint32_t kQnLargestReply = 4 + kQnLargestDictionary + 4;

static_assert(kQnMostFields == 29095 && requestlimits::FieldBytes == 29095);
static_assert(kQnLargestDictionary == 9031901);
static_assert(kQnLargestRequest > 31 + 2 * kQnLargestRecord && kQnLargestRequest > 16 + 65517);

}  // namespace tw::dbengine
