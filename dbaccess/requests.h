// The requests the access layer sends outside a cursor's own request routine: adding an index
// (1305), building a table from a dictionary (1300) and asking for the status of a rebuild on
// the server (771), and the wait for a rebuild that an index addition starts.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "dbaccess/dbitypes.h"

namespace tw::dbengine {
class TqnDataDictionary;
}

namespace tw::dbaccess {

class TBaseTable;
class TBaseDatabase;
class TBaseSession;

constexpr std::size_t kIndexCreationRecordSize = 179;

// The index-creation record the server reads: i32 number, name (short string, 32 bytes),
// description (short string, 64 bytes), i32 file number, i32 key length, i32 field count,
// sixteen i32 field numbers (0-based), u8 allow duplicates, u8 ascending, u8 case-insensitive.
std::array<std::uint8_t, kIndexCreationRecordSize> IndexCreationRecord(const IDXDesc& Desc);

// Request 1305 through a client table; the reply is the id of the rebuild that fills the new
// index.  A cursor that is not a client table gives 9990.
DBIResult AddIndexRequest(TBaseTable* Cursor, const IDXDesc& Desc, std::uint32_t& RebuildId);

// Request 1300 with the table's base name and the dictionary.  9990 for a nil database;
// raises EqnClientException "Function only applicable to Quarnel data components" for a
// database that is not a client database.
DBIResult BuildTableRequest(TBaseDatabase* Database, bool Overwrite, const std::string& TableName,
                            dbengine::TqnDataDictionary& Dictionary);

// Request 771: 8712 when the server knows no such rebuild (a finished one is reported once).
// 9990 for a nil session; raises as above for a session that is not a client session.
DBIResult SendServerRequest(TBaseSession* Session, std::uint32_t RebuildId, bool& Finished, RebuildStatus& Status);

// Asks for the status until the rebuild has finished or TimeOut milliseconds have passed
// (11276).  The answer is the rebuild's own status code when it failed, else 0.
DBIResult WaitForRebuild(TBaseSession* Session, std::uint32_t RebuildId, std::uint32_t TimeOut = 60000);

}  // namespace tw::dbaccess
