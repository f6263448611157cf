// The engine's error codes, its exception family and the mapping of an exception caught at the
// boundary of a server request to the 16-bit result code (DBIResult) that the reply carries.
// Every engine error code is the number of a format pattern in one of the engine's string
// tables (SERVER_STRINGS, GENERAL_STRINGS).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace tw::dbengine {

class TqnStringResource;

using DBIResult = std::uint16_t;

// ---- Result codes the engine produces ---------------------------------------------------
constexpr DBIResult qnresSuccess = 0;
constexpr DBIResult qnresAtBOF = 8705;               // "At beginning of table."
constexpr DBIResult qnresAtEOF = 8706;               // "At end of table."
constexpr DBIResult qnresNoCurrentRecord = 8709;         // "No current record."
constexpr DBIResult qnresNoMemory = 9473;          // "Insufficient memory for this operation."
constexpr DBIResult qnresInvalidHandle = 9990;       // "Invalid handle to the function."
constexpr DBIResult qnresOpenFailed = 9992;        // "Cannot open file."
constexpr DBIResult qnresNoSuchIndex = 9997;       // "Index does not exist."
constexpr DBIResult qnresInvalidBlobOffset = 9998; // "Invalid offset into the BLOB."
constexpr DBIResult qnresUnknownDatabase = 10014;        // "Unknown database."
constexpr DBIResult qnresInvalidDirectory = 10018;       // "Invalid directory."
constexpr DBIResult qnresValueOutOfBounds = 10019;       // "Translate Error. Value out of bounds."
constexpr DBIResult qnresDifferentTables = 10020;  // "Cannot set cursor of one table to another."
constexpr DBIResult qnresInvalidBookmark = 10021;  // "Bookmarks do not match table."
constexpr DBIResult qnresNoSuchTable = 10024;      // "Table does not exist."
constexpr DBIResult qnresInvalidBlobLength = 10029;   // "Invalid BLOB length."
constexpr DBIResult qnresInvalidBlobHandle = 10030;// "Invalid BLOB handle in record buffer."
constexpr DBIResult qnresInvalidPassword = 10036;
constexpr DBIResult qnresRecordLocked = 10241;           // "Record locked by another user."
constexpr DBIResult qnresUnlockFailed = 10242;     // "Unlock failed."
constexpr DBIResult qnresFileLocked = 10245;       // "File is locked."
constexpr DBIResult qnresNeedExclusive = 10253;   // "Table cannot be opened for exclusive use."
constexpr DBIResult qnresLockConflict = 10256;
constexpr DBIResult qnresNoRights = 10498;
constexpr DBIResult qnresDatabaseReadOnly = 10501;       // "Database is read only."
constexpr DBIResult qnresFieldReadOnly = 10502;      // "Trying to modify read-only field."
constexpr DBIResult qnresNoEncryptedTables = 10503;  // "Encrypted dBASE tables not supported."
constexpr DBIResult qnresTableReadOnly = 10763;    // "Table is read only."
constexpr DBIResult qnresNetUnknown = 11271;       // "Unknown network error."
constexpr DBIResult qnresNetTimeout = 11276;
constexpr DBIResult qnresBlobError = 11896;        // "General BLOB error."
constexpr DBIResult qnresNotSupported = 12289;     // "Capability not supported."
constexpr DBIResult qnresTableExists = 13060;      // "Table already exists."
// This engine's own server errors: category 0x3C (15360 + the engine code's offset in its
// group), and the two catch-alls of category 0x3D.
constexpr DBIResult qnresUnknownErrorCode = 15616;  // engine code without a mapping
constexpr DBIResult qnresUnexpectedException = 15617;

// ---- Engine error codes -----------------------------------------------------------------
// SERVER_STRINGS unless marked GENERAL.
enum TqnErrorCode : int {
  qnerrFileInfoInvalid = 23536,
  qnerrFileOpen = 23537,
  qnerrFileOpenNoMemory = 23538,
  qnerrFileClose = 23539,
  qnerrFileLockRegion = 23540,
  qnerrFileUnlockRegion = 23541,
  qnerrFileRead = 23542,
  qnerrFileReadExact = 23543,
  qnerrFileWrite = 23544,
  qnerrFileWriteExact = 23545,
  qnerrFileSeek = 23546,
  qnerrFileFlush = 23547,
  qnerrFileSetEOF = 23548,
  // A journal that could not be applied (its tables would be torn or undone later): the files
  // it names are neither opened nor deleted until it has been.
  qnerrJournalWaits = 23549,
  qnerrOSCopyFile = 23568,    // GENERAL
  qnerrOSDeleteFile = 23569,  // GENERAL
  qnerrOSRenameFile = 23570,  // GENERAL
  qnerrNotQuarnelFile = 23584,
  qnerrBadBlockNumber = 23585,
  qnerrEncryptedFile = 23586,
  qnerrRecordDeleted = 23587,
  qnerrBadRecordRef = 23588,
  qnerrNotDataBlock = 23589,
  qnerrBlobDeleted = 23590,
  qnerrBadBlobNumber = 23591,
  qnerrNotBlobBlock = 23592,
  qnerrBlobSegmentCorrupt = 23593,
  qnerrBlobTruncateLength = 23594,
  qnerrBlobOffset = 23595,
  qnerrFileBlobReadOnly = 23596,
  qnerrNotStreamBlock = 23597,
  qnerrBadStreamOrigin = 23598,
  qnerrStreamSeek = 23599,
  qnerrNotIndexBlock = 23600,
  qnerrIndexOutOfRange = 23601,
  qnerrTooManyIndexes = 23602,
  qnerrMergeChildren = 23603,
  qnerrKeyNotFound = 23604,
  qnerrKeyExists = 23605,
  qnerrNoKeys = 23606,
  qnerrNoSeqAccessPath = 23607,
  qnerrApproxPosRange = 23608,
  qnerrInvalidServerName = 23609,
  // Dictionary (GENERAL)
  qnerrDictItemMissing = 23632,
  qnerrDictAlreadyDefined = 23633,
  qnerrDictAssignNotDict = 23634,
  qnerrDictNoFields = 23635,
  qnerrDictIndexFieldMissing = 23636,
  qnerrDictUnknownFieldType = 23637,
  qnerrDictRecordTooLong = 23638,
  qnerrDictBlockSizeDiffers = 23639,
  qnerrDictTableBuilt = 23640,
  qnerrDictNotInFile = 23641,
  qnerrDictBlobFileDefined = 23642,
  qnerrDictRemoveBaseFile = 23643,
  qnerrDictFileMissing = 23644,
  qnerrInvalidTableName = 23645,
  qnerrInvalidExtension = 23646,
  qnerrDuplicateExtension = 23647,
  qnerrDataFileDefined = 23648,
  qnerrCompositeIndexEmpty = 23649,
  qnerrInvalidParameter = 23650,
  qnerrInvalidBlockSize = 23651,
  qnerrInvalidKeyLength = 23652,
  qnerrDuplicateFieldName = 23653,
  qnerrDuplicateIndexName = 23654,
  // Transports (GENERAL)
  qnerrNoNotifyWindow = 23664,
  qnerrServerCannotCall = 23665,
  qnerrClientCannotListen = 23666,
  qnerrNetBIOSUnexpected = 23667,
  qnerrNetBIOSNotFound = 23668,
  qnerrNetBIOSNoMemory = 23669,
  qnerrNetBIOSAddName = 23670,
  qnerrWinsockUnexpected = 23671,
  qnerrWinsockNotFound = 23672,
  qnerrWinsockNoSocket = 23673,
  qnerrWinsockNoLocalAddress = 23674,
  // Server objects
  qnerrUnknownClient = 23680,
  qnerrUnknownSession = 23681,
  qnerrUnknownAlias = 23682,
  qnerrPathNotFound = 23683,
  qnerrUnknownDatabase = 23684,
  qnerrUnknownTable = 23685,
  qnerrUnknownIndex = 23686,
  qnerrUnknownCursor = 23687,
  qnerrUnknownTransaction = 23688,
  qnerrDatabaseExclusive = 23712,
  qnerrDatabaseReadOnly = 23713,
  qnerrTableExclusive = 23714,
  qnerrCursorReadOnly = 23715,
  qnerrTableWriteLocked = 23716,
  qnerrTableReadLocked = 23717,
  qnerrLockNotFound = 23718,
  qnerrTableLocked = 23719,
  qnerrRecordLocked = 23720,
  qnerrNoCurrentRecord = 23721,
  qnerrRoutineNotFound = 23722,
  qnerrUserRoutinesMissing = 23723,
  qnerrCursorTableDiffers = 23724,
  qnerrAtEOF = 23725,
  qnerrAtBOF = 23726,
  qnerrTableExists = 23727,
  qnerrAlreadyInTransaction = 23728,
  qnerrAliasExists = 23729,
  qnerrCompareBlobFields = 23730,
  qnerrIncompatibleFields = 23731,
  qnerrNoTransaction = 23732,
  qnerrBadBookmark = 23734,
  // Configuration texts (GENERAL)
  qnerrInvalidServerNameCfg = 23776,
  qnerrInvalidNameOrPath = 23777,
  qnerrDuplicateAlias = 23778,
  qnerrValuesNotDefined = 23779,
  // Labels (GENERAL)
  qnstrSeqAccessIndex = 23792,
  qnstrDataDictFile = 23793,
  qnstrRegistryPath = 23794,
};

// ---- Exception family -------------------------------------------------------------------

class EqnException : public Exception {
 public:
  EqnException(std::string Message, int ErrorCode) : Exception(std::move(Message)), ErrorCode(ErrorCode) {}
  int ErrorCode;
};

#define TW_DECLARE_QN_EXCEPTION(Name, Base) \
  class Name : public Base {                \
   public:                                  \
    using Base::Base;                       \
  }

TW_DECLARE_QN_EXCEPTION(EqnCommsException, EqnException);
TW_DECLARE_QN_EXCEPTION(EqnServerException, EqnException);
TW_DECLARE_QN_EXCEPTION(EqnClientException, EqnException);

// A NetBIOS command that returned Code: error 23667 filled with the code in hexadecimal and the
// text of the code in NETBIOS_ERROR_STRINGS.
class EqnNetBIOSException : public EqnCommsException {
 public:
  using EqnCommsException::EqnCommsException;
  explicit EqnNetBIOSException(int Code);
};
// A Winsock call that failed with Code: error 23671 with the text of WINSOCK_ERROR_STRINGS.
class EqnWinsockException : public EqnCommsException {
 public:
  using EqnCommsException::EqnCommsException;
  explicit EqnWinsockException(int Code);
};

// Failures of the string-table reader itself (not an EqnException).
TW_DECLARE_EXCEPTION(EqnStringResourceError, Exception);

// The message of error ErrorCode: the pattern of that id in Strings formatted with Args.  A
// pattern that does not fit its arguments gives the pattern itself, never a formatting error.
std::string QNFormatErrorText(const TqnStringResource& Strings, int ErrorCode,
                              std::initializer_list<TVarRec> Args);
std::string QNErrorText(const TqnStringResource& Strings, int ErrorCode);

// Raises E with the formatted text of ErrorCode; the engine's usual way to fail:
//   QNRaiseErrorFmt<EqnServerException>(qnServerStrings(), qnerrFileOpen, {name, err});
template <typename E>
[[noreturn]] void QNRaiseErrorFmt(const TqnStringResource& Strings, int ErrorCode,
                                  std::initializer_list<TVarRec> Args) {
  throw E(QNFormatErrorText(Strings, ErrorCode, Args), ErrorCode);
}
// Raises E with the unformatted text of ErrorCode.
template <typename E>
[[noreturn]] void QNRaiseError(const TqnStringResource& Strings, int ErrorCode) {
  throw E(QNErrorText(Strings, ErrorCode), ErrorCode);
}

// ---- Result codes -----------------------------------------------------------------------

// The result code of an engine error code; 15616 for a code without a mapping.
DBIResult QNResultOfErrorCode(int ErrorCode);
// Called in the exception handler of every server request: writes "Exception Cvt: <message>"
// to the server log, then gives the result code of an EqnException's ErrorCode, 9473 for the
// runtime's out-of-memory (EOutOfMemory or std::bad_alloc), 15617 for anything else.  Never
// raises.
DBIResult ConvertServerException(const std::exception& E);
// For catch (...) handlers that caught no std::exception: logs and gives 15617.
DBIResult ConvertUnknownServerException();

}  // namespace tw::dbengine
