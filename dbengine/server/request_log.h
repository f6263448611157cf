// The request log: when request logging is on, the command handler writes each request's
// payload fields and, after a successful reply, the reply's fields to the server log, one line
// per field with its label ("  CursorID 5", "  TblName  [Texts]"); records, keys, bookmarks,
// BLOB bytes and dictionaries go in as titled blocks of bytes.  A payload shorter than its
// layout is logged as far as it goes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw::dbengine {

// The payload fields of request MessageID (low 16 bits).
void QNLogRequestFields(std::uint32_t MessageID, const std::uint8_t* Data, std::size_t Length);
// The fields of the successful reply to request MessageID.
void QNLogReplyFields(std::uint32_t MessageID, const std::uint8_t* Data, std::size_t Length);

}  // namespace tw::dbengine
