// The server's plain-text log "QNSERVER.LOG" in the program's folder, rewritten at each start.
// The log is written through one open file, kept from the first write until the path changes;
// every routine's lines reach the file before it returns.  An error inside is swallowed, so
// logging never fails a request.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace tw::dbengine {

// The log's path (default: the program's folder + "QNSERVER.LOG"); tests point it elsewhere.
std::string QNLogPath();
void QNSetLogPath(std::string Path);

// Whether the command handler logs requests; off until the server's start-up switches it on
// (the options file asks for it).
extern std::atomic<bool> QNLogRequests;
// Whether the request log also dumps the bytes of records, keys, BLOBs and dictionaries; off
// unless asked for, the log then names such a block with its size only.
extern std::atomic<bool> QNLogRequestData;

// Creates or truncates the log and writes the start line.
void QNLogStart();
// A text line: the tick count right-aligned in 12 characters, a blank and the text; a text that
// is empty or begins with a blank gets 13 blanks instead of the tick count.
void QNLogWrite(std::string_view Text);
// A block title " (Size: n)" and a hex dump of at most the first 1024 bytes.
void QNLogWriteBlock(std::string_view Title, const void* Buffer, std::size_t Size);

// The lines QNLogWriteBlock writes (without line ends), for the dump format on its own.
std::string QNLogDumpLine(const unsigned char* Bytes, std::size_t Count);

// Start-up of the storage unit's log part: starts the log and loads SERVER_STRINGS.
void QNSrBaseInitialize();

}  // namespace tw::dbengine
