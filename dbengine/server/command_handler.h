// The server's request layer: takes one complete request (message id, client id, payload),
// checks the client's rights, reads the payload field by field with every length checked, calls
// one engine operation and sends the reply with the same message id.  Lock conflicts of the
// requests that may wait are handed back to the queue for a retry until their deadline.
//
// Payloads are packed little-endian; names are 32-byte short strings, paths 220-byte ones.  A
// payload that is too short, or whose counts do not fit the table's record, key or bookmark
// sizes, is answered with 9986 ("Invalid parameter.") and changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dbengine/base/qnobject.h"
#include "dbengine/server/server_engine.h"

namespace tw::dbengine {

// Message ids.
enum : std::uint32_t {
  qnmAttachServer = 1,
  qnmDetachServer = 2,
  qnmDetachOnHangUp = 4,
  qnmCheckSecureComms = 9,
  qnmDatabaseOpen = 256,
  qnmDatabaseClose = 257,
  qnmDatabaseAliasList = 258,
  qnmDatabaseTableList = 259,
  qnmDatabaseAddAlias = 260,
  qnmDatabaseOpenNoAlias = 261,
  qnmDatabaseInTrans = 262,
  qnmDatabaseDeleteAlias = 263,
  qnmDatabaseChgAliasPath = 264,
  qnmSessionAdd = 512,
  qnmSessionClose = 513,
  qnmSessionGetCurrent = 514,
  qnmSessionSetCurrent = 515,
  qnmReindexTable = 768,
  qnmPackTable = 769,
  qnmRestructureTable = 770,
  qnmGetRebuildStatus = 771,
  qnmStartTransaction = 1024,
  qnmEndTransaction = 1025,
  qnmOpenTable = 1280,
  qnmAcqTableLock = 1296,
  qnmRelTableLock = 1297,
  qnmIsTableLocked = 1298,
  qnmGetTableDictionary = 1299,
  qnmBuildTable = 1300,
  qnmDeleteTable = 1301,
  qnmRenameTable = 1302,
  qnmGetTableRecCount = 1303,
  qnmEmptyTable = 1304,
  qnmAddIndex = 1305,
  qnmDropIndex = 1306,
  qnmSetTableAutoIncValue = 1307,
  qnmCreateBLOB = 1536,
  qnmDeleteBLOB = 1537,
  qnmReadBLOB = 1538,
  qnmGetBLOBLength = 1539,
  qnmTruncateBLOB = 1540,
  qnmWriteBLOB = 1541,
  qnmFreeBLOB = 1542,
  qnmAddFileBLOB = 1543,
  qnmSetToBegin = 1792,
  qnmSetToEnd = 1793,
  qnmCursorClose = 1794,
  qnmGetBookmark = 1795,
  qnmSetToBookmark = 1796,
  qnmSetToKey = 1797,
  qnmSwitchToIndex = 1798,
  qnmSetRange = 1799,
  qnmResetRange = 1800,
  qnmCompareBookmarks = 1801,
  qnmCursorClone = 1802,
  qnmSetToCursor = 1803,
  qnmRecordGet = 2048,
  qnmRecordGetNext = 2049,
  qnmRecordGetPrev = 2050,
  qnmRecordRelLock = 2051,
  qnmRecordDelete = 2052,
  qnmRecordInsert = 2053,
  qnmRecordModify = 2054,
  qnmRecordExtractKey = 2055,
  qnmRecordGetForKey = 2056,
  qnmRecordGetBatch = 2057,
  qnmRecordInsertBatch = 2058,
  qnmReplyBundle = 255,
};

constexpr std::uint32_t kQnServerVersion = 10300;
constexpr std::size_t kQnBundleHead = 12;

// Where replies go: the server comms engine in the program, a recorder in tests.
class TqnReplySink {
 public:
  virtual ~TqnReplySink() = default;
  // A reply whose result code is not 0 carries no data, whatever it is given.
  virtual void SendReply(std::uint32_t MessageID, std::uint32_t ClientID, std::uint16_t ResultCode,
                         const std::uint8_t* Data, std::size_t Length, bool IsStream) = 0;
  // The seed of the connection's scramble pad, told to a client that attaches.
  virtual std::uint32_t ConnectionCode() const = 0;
};

// One request as the queue hands it over.
struct TqnServerRequest {
  std::uint32_t MessageID = 0;
  std::uint32_t ClientID = 0;
  const std::uint8_t* Data = nullptr;
  std::size_t Length = 0;
  bool DataIsStream = false;
  // Set by the queue while the request's deadline has not passed.
  bool CanRetry = false;
  // Tick count after which the request is no longer retried (for the request log).
  std::uint32_t Deadline = 0;
  // Kept with the message from one try to the next (the queue clears it when the message
  // goes): a request that waits for a lock notes here where its first try started, so that
  // every later try starts there again.  nullptr: the request is never tried again.
  std::vector<std::uint8_t>* RetryState = nullptr;
};

// The name of a request as the request log writes it; empty for an id without a handler.
const char* QNRequestName(std::uint32_t MessageID);

// Appends one reply record of a reply bundle (message id, record length, result, stream flag,
// data) at Position of Buffer and returns the position after it.
std::size_t QNPutBundleRecord(std::vector<std::uint8_t>& Buffer, std::size_t Position, std::uint32_t MessageID,
                              std::uint16_t ResultCode, std::size_t DataLength);

class TqnServerCommandHandler : public TqnObject {
  TW_CLASS(TqnServerCommandHandler, TqnObject)
 public:
  // Keeps both references; frees neither.
  TqnServerCommandHandler(TqnServerEngine& Engine, TqnReplySink& Sink) : engine_(Engine), sink_(Sink) {}

  // Handles the request.  True asks the queue to keep the message and present it again (a lock
  // conflict while CanRetry was set); no reply was sent then.  An id without a handler gets no
  // reply.
  bool Dispatch(const TqnServerRequest& Request);
  // True for the ids that have a handler.
  static bool HasHandler(std::uint32_t MessageID);

 private:
  struct Context;
  bool Handle(Context& C);
  static bool MayWait(const Context& C);
  void Reply(Context& C, DBIResult Result, const std::uint8_t* Data = nullptr, std::size_t Length = 0,
             bool IsStream = false);

  TqnServerEngine& engine_;
  TqnReplySink& sink_;
  // The reply block of record and BLOB reads, kept between requests (a handler that runs while
  // another holds it makes its own).
  std::vector<std::uint8_t> replyBlock_;
};

}  // namespace tw::dbengine
