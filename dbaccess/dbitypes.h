// Types, result codes and published records of the desktop database engine interface that the
// class library's data-set classes speak.  Records are plain structures exchanged in memory
// between the data-set classes and this layer; none of them is written to disk or wire.
#pragma once

#include <cstdint>

namespace tw::dbaccess {

using DBIResult = std::uint16_t;
// Handles are 32-bit ids from the handle registry (handles.h); 0 is the nil handle.
using hDBIObj = std::uint32_t;
using hDBISes = hDBIObj;
using hDBIDb = hDBIObj;
using hDBICur = hDBIObj;
using hDBIStmt = hDBIObj;
using hDBIFilter = hDBIObj;
using hDBICfg = hDBIObj;

// ---- Result codes ------------------------------------------------------------------------
constexpr DBIResult DBIERR_NONE = 0;
constexpr DBIResult DBIERR_BOF = 8705;
constexpr DBIResult DBIERR_EOF = 8706;
constexpr DBIResult DBIERR_KEYORRECDELETED = 8708;
constexpr DBIResult DBIERR_NOCURRREC = 8709;
constexpr DBIResult DBIERR_RECNOTFOUND = 8710;
constexpr DBIResult DBIERR_OBJNOTFOUND = 8712;
constexpr DBIResult DBIERR_NOMEMORY = 9473;
constexpr DBIResult DBIERR_TOOMANYDRIVERS = 9491;
constexpr DBIResult DBIERR_INVALIDFIELD = 9985;
constexpr DBIResult DBIERR_INVALIDPARAM = 9986;
constexpr DBIResult DBIERR_INVALIDHNDL = 9990;
constexpr DBIResult DBIERR_INVALIDSESHANDLE = 10011;
constexpr DBIResult DBIERR_UNKNOWNDB = 10014;
constexpr DBIResult DBIERR_INVALIDDIR = 10018;
constexpr DBIResult DBIERR_NOSUCHTABLE = 10024;
constexpr DBIResult DBIERR_INVALIDBLOBLEN = 10029;
constexpr DBIResult DBIERR_INVALIDBLOBHANDLE = 10030;
constexpr DBIResult DBIERR_INVALIDTABLENAME = 10039;
constexpr DBIResult DBIERR_INVALIDPASSWORD = 10036;
constexpr DBIResult DBIERR_NOTINDEXED = 10048;
constexpr DBIResult DBIERR_INVALIDDATE = 10059;
constexpr DBIResult DBIERR_INVALIDFILTER = 10050;
constexpr DBIResult DBIERR_LOCKED = 10241;
constexpr DBIResult DBIERR_ACTIVETRAN = 10256;
constexpr DBIResult DBIERR_NA = 10756;
constexpr DBIResult DBIERR_NOTINITIALIZED = 10758;
constexpr DBIResult DBIERR_MULTIPLEINIT = 10759;
constexpr DBIResult DBIERR_INDEXREADONLY = 10767;
constexpr DBIResult DBIERR_NETTIMEOUT = 11276;
constexpr DBIResult DBIERR_NETNOTCONNECTED = 11278;
constexpr DBIResult DBIERR_NOTSUPPORTED = 12289;
constexpr DBIResult DBIERR_BLOBFREED = 13058;

// ---- Logical field types and subtypes ---------------------------------------------------
enum : std::uint16_t {
  fldUNKNOWN = 0, fldZSTRING = 1, fldDATE = 2, fldBLOB = 3, fldBOOL = 4, fldINT16 = 5, fldINT32 = 6,
  fldFLOAT = 7, fldBCD = 8, fldBYTES = 9, fldTIME = 10, fldTIMESTAMP = 11, fldUINT16 = 12,
  fldUINT32 = 13, fldFLOATIEEE = 14, fldVARBYTES = 15,
};
enum : std::uint16_t {
  fldstMONEY = 21, fldstMEMO = 22, fldstBINARY = 23, fldstFMTMEMO = 24, fldstOLEOBJ = 25,
  fldstGRAPHIC = 26, fldstDBSOLEOBJ = 27, fldstTYPEDBINARY = 28, fldstAUTOINC = 29,
};

// Lock kinds and search conditions of the interface.
enum DBILockType : std::uint32_t { dbiNOLOCK = 0, dbiWRITELOCK = 1, dbiREADLOCK = 2 };
enum DBISearchCond : std::uint32_t { keySEARCHEQ = 0, keySEARCHGT = 1, keySEARCHGEQ = 2 };
// Open and share modes.
enum DBIOpenMode : std::uint32_t { dbiREADWRITE = 0, dbiREADONLY = 1 };
enum DBIShareMode : std::uint32_t { dbiOPENSHARED = 0, dbiOPENEXCL = 1 };

constexpr int DBIMAXNAMELEN = 31;
constexpr int DBIMAXPATHLEN = 260;

// Field descriptor (62 bytes in the published layout).
struct FLDDesc {
  std::uint16_t iFldNum = 0;
  char szName[32] = {};
  std::uint16_t iFldType = 0;
  std::uint16_t iSubType = 0;
  std::int16_t iUnits1 = 0;
  std::int16_t iUnits2 = 0;
  std::uint16_t iOffset = 0;
  std::uint16_t iLen = 0;
  std::uint16_t iNullOffset = 0;
  std::uint32_t efldvVchk = 0;
  std::uint32_t efldrRights = 0;
  std::uint16_t bCalcField = 0;
  std::uint16_t iUnUsed[2] = {};
};

constexpr int DBIMAXFLDSINKEY = 16;

// Index descriptor.
struct IDXDesc {
  char szName[261] = {};
  std::uint16_t iIndexId = 0;
  char szTagName[32] = {};
  char szFormat[32] = {};
  std::uint16_t bPrimary = 0;
  std::uint16_t bUnique = 0;
  std::uint16_t bDescending = 0;
  std::uint16_t bMaintained = 0;
  std::uint16_t bSubset = 0;
  std::uint16_t bExpIdx = 0;
  std::uint16_t iCost = 0;
  std::uint16_t iFldsInKey = 0;
  std::uint16_t iKeyLen = 0;
  std::uint16_t bOutofDate = 0;
  std::uint16_t iKeyExpType = 0;
  std::uint16_t aiKeyFld[DBIMAXFLDSINKEY] = {};
  std::uint16_t bCaseInsensitive = 0;
};

// Validity-check descriptor.
struct VCHKDesc {
  std::uint16_t iFldNum = 0;
  std::uint16_t bRequired = 0;
  std::uint16_t bHasMinVal = 0;
  std::uint16_t bHasMaxVal = 0;
  std::uint16_t bHasDefVal = 0;
  std::uint8_t aMinVal[254] = {};
  std::uint8_t aMaxVal[254] = {};
  std::uint8_t aDefVal[254] = {};
  char szPict[176] = {};
};

// Cursor properties.
struct CURProps {
  char szName[261] = {};
  std::uint16_t iFNameSize = 0;
  char szTableType[32] = {};
  std::uint16_t iFields = 0;
  std::uint16_t iRecSize = 0;
  std::uint16_t iRecBufSize = 0;
  std::uint16_t iKeySize = 0;
  std::uint16_t iIndexes = 0;
  std::uint16_t iValChecks = 0;
  std::uint16_t iRefIntChecks = 0;
  std::uint16_t iBookMarkSize = 0;
  std::uint16_t bBookMarkStable = 0;
  std::uint32_t eOpenMode = 0;
  std::uint32_t eShareMode = 0;
  std::uint16_t bIndexed = 0;
  std::int16_t iSeqNums = 0;
  std::uint16_t bSoftDeletes = 0;
  std::uint16_t bDeletedOn = 0;
  std::uint16_t iRefRange = 0;
  std::uint32_t exltMode = 0;
  std::uint16_t iRestrVersion = 0;
  std::uint16_t bUniDirectional = 0;
  std::uint16_t eprvRights = 0;
  std::uint16_t Dummy1 = 0;
  std::uint16_t iFmlRights = 0;
  std::uint16_t iPasswords = 0;
  std::uint16_t iCodePage = 0;
  std::uint16_t bProtected = 0;
  std::uint16_t iTblLevel = 0;
  char szLangDriver[32] = {};
  std::uint16_t bFieldMap = 0;
  std::uint16_t iBlockSize = 0;
  std::uint16_t bStrictRefInt = 0;
  std::uint16_t iFilters = 0;
  std::uint16_t bTempTable = 0;
  std::uint16_t iUnUsed[16] = {};
};

// Database description (357 bytes in the published layout).
struct DBDesc {
  char szName[32] = {};
  char szText[32] = {};
  char szPhyName[261] = {};
  char szDbType[32] = {};
};

// Table description (574 bytes in the published layout).
struct TBLBaseDesc {
  char szName[261] = {};
  char szFileName[261] = {};
  char szExt[4] = {};
  char szType[32] = {};
  std::uint32_t dtDate = 0;
  std::uint32_t tmTime = 0;
  std::uint32_t iSize = 0;
  std::uint16_t bView = 0;
  std::uint16_t bSynonym = 0;
};

// Session information.
struct SESInfo {
  std::uint16_t iSession = 0;
  char szName[32] = {};
  std::uint16_t iDatabases = 0;
  std::uint16_t iCursors = 0;
  std::int16_t iLockWait = 0;
  char szNetDir[261] = {};
  char szPrivDir[261] = {};
};

// Records of the session's information operations, in their exact published sizes.
#pragma pack(push, 1)
// Error information (642 bytes): the code, its text and four context lines.
constexpr int DBIMAXMSGLEN = 127;
struct DBIErrInfo {
  DBIResult iError = 0;
  char szErrCode[DBIMAXMSGLEN + 1] = {};
  char szContext[4][DBIMAXMSGLEN + 1] = {};
};
// Version record (346 bytes): version and interface level, the rest left empty.
struct SYSVersion {
  std::uint16_t iVersion = 0;
  std::uint16_t iIntfLevel = 0;
  std::uint8_t Reserved[342] = {};
};
// Client information (327 bytes).
struct CLIENTInfo {
  char szName[32] = {};
  std::uint16_t iSessions = 0;
  char szWorkDir[261] = {};
  char szLang[32] = {};
};
// System information (14 bytes).
struct SYSInfo {
  std::uint16_t iBufferSpace = 0;
  std::uint16_t iHeapSpace = 0;
  std::uint16_t iDrivers = 0;
  std::uint16_t iClients = 0;
  std::uint16_t iSessions = 0;
  std::uint16_t iDatabases = 0;
  std::uint16_t iCursors = 0;
};
#pragma pack(pop)
static_assert(sizeof(DBIErrInfo) == 642 && sizeof(SYSVersion) == 346 && sizeof(CLIENTInfo) == 327 &&
              sizeof(SYSInfo) == 14);

// Filter information (24 bytes in the published layout).
struct FILTERInfo {
  std::uint16_t iFilterId = 0;
  hDBIFilter hFilter = 0;
  std::uint32_t iClientData = 0;
  std::uint16_t iPriority = 0;
  std::uint16_t bCanAbort = 0;
  std::uintptr_t pfFilter = 0;
  const void* pCanExpr = nullptr;
  std::uint16_t bActive = 0;
};

// Table-creation record: the fields this layer reads of the published one.  The arrays are
// the caller's and are only read during the call.
struct CRTblDesc {
  char szTblName[261] = {};
  char szTblType[32] = {};
  std::uint16_t bOverwrite = 0;
  std::uint16_t iFldCount = 0;
  const FLDDesc* pfldDesc = nullptr;
  std::uint16_t iIdxCount = 0;
  const IDXDesc* pidxDesc = nullptr;
  std::uint16_t iValChkCount = 0;
  const VCHKDesc* pvchkDesc = nullptr;
};

// Database information (10 bytes): the transaction state and the word kept beside it.
struct DBInfo {
  std::uint32_t iTranState = 0;
  std::uint32_t iTranWord = 0;
  std::uint16_t iReserved = 0;
};

// Status of a rebuild on the server (reindex, pack, restructure): eight 32-bit values whose
// last one's low byte is the finished flag.
struct RebuildStatus {
  std::uint32_t StartTick = 0;
  std::uint32_t LastUpdateTick = 0;
  std::uint32_t TotalRecords = 0;
  std::uint32_t RecordsRead = 0;
  std::uint32_t RecordsWritten = 0;
  std::uint32_t PercentDone = 0;
  std::uint32_t StatusCode = 0;
  std::uint32_t Finished = 0;
};

// Date and time format records.
struct FMTDate {
  char szDateSeparator[4] = {};
  std::uint8_t iDateMode = 0;
  std::uint8_t bFourDigitYear = 0;
  std::uint8_t bYearBiased = 1;
  std::uint8_t bMonthLeadingZero = 0;
  std::uint8_t bDayLeadingZero = 0;
};
struct FMTTime {
  char cTimeSeparator = ':';
  std::uint8_t bTwelveHour = 0;
  char szAmString[6] = {};
  char szPmString[6] = {};
  std::uint8_t bSeconds = 1;
};

// Record filter callback: client data, record buffer, a third argument (0); non-zero passes.
using pfDBIFilter = std::int16_t (*)(std::uint32_t clientData, std::uint8_t* record, std::int32_t reserved);

// Property numbers.
constexpr std::uint32_t curMAXPROPS = 0;
constexpr std::uint32_t curDELAYUPDDISPLAYOPT = 3;
constexpr std::uint32_t curDELAYUPDGETOLDRECORD = 4;
constexpr std::uint32_t curDELAYUPDNUMUPDATES = 5;
constexpr std::uint32_t sesCURRENTDIR = 0x20002;
constexpr std::uint32_t sesSESPROP = 0x20003;
constexpr std::uint32_t sysCLIENTPROP = 0xFF070002;

// Delayed-update commands.
enum DBIDelayedUpdCmd : std::uint32_t { dbiDelayedUpdCommit = 0, dbiDelayedUpdCancel = 1,
                                         dbiDelayedUpdCancelCurrent = 2, dbiDelayedUpdPrepare = 3 };

}  // namespace tw::dbaccess
