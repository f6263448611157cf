#include "dbengine/server/request_log.h"

#include <map>
#include <string>
#include <string_view>

#include "dbengine/base/serverlog.h"
#include "dbengine/base/shortstring.h"
#include "dbengine/server/command_handler.h"
#include "dbengine/storage/block_layout.h"

namespace tw::dbengine {

namespace {

// A layout is a list of fields separated by '|', each a kind letter and a label:
//   U  32-bit integer            B  byte or Boolean
//   N  name (32 bytes)           P  path (220 bytes)
//   M  table-list mask (36 bytes) S  length byte and characters
//   K  block of bytes; "KLabel=Count" takes its length from the earlier field Count,
//      "KLabel=*" is the rest of the data, "KLabel=179" a fixed length.
const char* RequestLayout(std::uint32_t Id) {
  switch (Id) {
    case qnmAttachServer: return "NName|NUserID";
    case qnmDatabaseOpen: return "NAlias|BOpenMode|BShrMode";
    case qnmDatabaseClose: case qnmDatabaseInTrans: return "UDBaseID";
    case qnmDatabaseTableList: return "UDBaseID|MMask";
    case qnmDatabaseAddAlias: return "NAlias|PPath";
    case qnmDatabaseOpenNoAlias: return "PPath|BOpenMode|BShrMode";
    case qnmDatabaseDeleteAlias: return "NAlias";
    case qnmDatabaseChgAliasPath: return "NAlias|PNewPath";
    case qnmSessionClose: case qnmSessionSetCurrent: return "USession";
    case qnmStartTransaction: return "UDBase ID|BFailSafe";
    case qnmEndTransaction: return "UTrans ID|BCommit?";
    case qnmReindexTable: return "UDBase ID|NTblName|NInxName|UInxNum";
    case qnmPackTable: return "UDBase ID|NTblName";
    case qnmRestructureTable: return "UDBase ID|NTblName|KDictionary=*";
    case qnmGetRebuildStatus: return "URebldID";
    case qnmOpenTable: return "UDBase ID|NTblName|NInxName|UInxNum|BOpenMode|BShrMode";
    case qnmAcqTableLock: case qnmIsTableLocked: return "UCursorID|BLockType";
    case qnmRelTableLock: return "UCursorID|BAllLocks|BLockType";
    case qnmGetTableDictionary: case qnmDeleteTable: return "UDBase ID|NTblName";
    case qnmBuildTable: return "UDBase ID|BOverWrite|NTblName|KDictionary=*";
    case qnmRenameTable: return "UDBase ID|NOldTblName|NNewTblName";
    case qnmGetTableRecCount: case qnmCreateBLOB: case qnmSetToBegin: case qnmSetToEnd: case qnmCursorClose:
    case qnmResetRange:
      return "UCursorID";
    case qnmEmptyTable: return "UDBase ID|UCursorID|NTblName";
    case qnmAddIndex: return "UDBase ID|UCursorID|NTblName|KIndex=179";
    case qnmDropIndex: return "UDBase ID|UCursorID|NTblName|NInxName|UIndexID";
    case qnmSetTableAutoIncValue: return "UCursorID|UValue";
    case qnmDeleteBLOB: case qnmGetBLOBLength: case qnmFreeBLOB: return "UCursorID|UBLOBNr";
    case qnmReadBLOB: return "UCursorID|UBLOBNr|UOffset|ULen";
    case qnmTruncateBLOB: return "UCursorID|UBLOBNr|UBLOBLen";
    case qnmWriteBLOB: return "UCursorID|UBLOBNr|UOffset|ULen|KBLOB=Len";
    case qnmAddFileBLOB: return "UCursorID|SFileName";
    case qnmGetBookmark: return "UCursorID|UBM Size";
    case qnmSetToBookmark: return "UCursorID|UBM Size|KBookmark=BM Size";
    case qnmSetToKey: return "UCursorID|BAction|BDrctKey|UFldCount|UPartLen|UDataLen|KData=DataLen";
    case qnmSwitchToIndex: return "UCursorID|NInxName|UInxNum|BPosnRec";
    case qnmSetRange:
      return "UCursorID|BDirectKey|UFieldCount1|UPartialLen1|UKeyLen1|BKeyIncl1|UFieldCount2|UPartialLen2|UKeyLen2|"
             "BKeyIncl2|KKey1=KeyLen1|KKey2=KeyLen2";
    case qnmCompareBookmarks: return "UCursorID|UBM Size|KBookmark=BM Size|KBookmark=BM Size";
    case qnmCursorClone: return "UCursorID|BOpenMode";
    case qnmSetToCursor: return "UDestCursor|USrcCursor";
    case qnmRecordGet: case qnmRecordGetNext: case qnmRecordGetPrev: return "UCursorID|URecLen|UBMSize|BLockType";
    case qnmRecordRelLock: return "UCursorID|BAllLocks";
    case qnmRecordDelete: return "UCursorID|URecLen";
    case qnmRecordInsert: return "UCursorID|URecLen|UBMSize|BLockType|KRecord=RecLen";
    case qnmRecordModify: return "UCursorID|URecLen|UBMSize|BRelLock|KRecord=RecLen";
    case qnmRecordExtractKey: return "UCursorID|UKeyLen|BForCurrRec|KRecord=*";
    case qnmRecordGetForKey:
      return "UCursorID|BDrctKey|UFldCount|UPartLen|URecLen|UDataLen|UBMSize|KData=DataLen";
    case qnmRecordGetBatch: return "UCursorID|URecLen|URecCount";
    case qnmRecordInsertBatch: return "UCursorID|URecLen|URecCount|KData=*";
    default: return "";
  }
}

const char* ReplyLayout(std::uint32_t Id) {
  switch (Id) {
    case qnmAttachServer: return "UClientID|UVersionNumber|UCode|BIsSecure";
    case qnmDatabaseOpen: case qnmDatabaseOpenNoAlias: return "UDBase ID";
    case qnmDatabaseAliasList: case qnmDatabaseTableList: case qnmRecordInsertBatch: return "KData=*";
    case qnmDatabaseInTrans: return "BInTrans";
    case qnmSessionAdd: case qnmSessionGetCurrent: return "USession";
    case qnmStartTransaction: return "UTransID";
    case qnmReindexTable: case qnmPackTable: return "URbldID";
    case qnmRestructureTable: return "UReBldID";
    case qnmGetRebuildStatus:
      return "UStartTick|ULastTick|UTotal|URead|UWritten|UPercent|UStatus|UFinished|BIsThere";
    case qnmOpenTable: return "UCursorID|KDictionary=*";
    case qnmIsTableLocked: return "BLocked?";
    case qnmGetTableDictionary: return "KDictionary=*";
    case qnmGetTableRecCount: return "UCount";
    case qnmAddIndex: return "URebuildID";
    case qnmCreateBLOB: case qnmAddFileBLOB: return "UBLOBNr";
    case qnmReadBLOB: return "UBytesRead|KBLOB=*";
    case qnmGetBLOBLength: return "UBLOBLen";
    case qnmGetBookmark: return "KBookmark=*";
    case qnmCompareBookmarks: return "UCompare";
    case qnmCursorClone: return "UCursorID";
    case qnmRecordDelete: case qnmRecordGetForKey: case qnmRecordGet: case qnmRecordGetNext: case qnmRecordGetPrev:
      return "KRecord=*";
    case qnmRecordExtractKey: return "KKey=*";
    case qnmRecordGetBatch: return "UCount|KData=*";
    default: return "";
  }
}

void LogFields(std::string_view Layout, const std::uint8_t* Data, std::size_t Length) {
  if (Data == nullptr) Length = 0;
  std::map<std::string, std::uint32_t, std::less<>> values;
  std::size_t pos = 0;
  while (!Layout.empty()) {
    const std::size_t bar = Layout.find('|');
    const std::string_view field = Layout.substr(0, bar);
    Layout = bar == std::string_view::npos ? std::string_view() : Layout.substr(bar + 1);
    if (field.size() < 2) continue;
    const char kind = field[0];
    std::string_view label = field.substr(1);
    const std::size_t left = Length - pos;
    const std::uint8_t* at = Data + pos;
    switch (kind) {
      case 'U':
      case 'B': {
        const std::size_t n = kind == 'U' ? 4 : 1;
        if (left < n) return;
        const std::uint32_t v = n == 4 ? QNGetU32(at) : at[0];
        values[std::string(label)] = v;
        QNLogWrite("  " + std::string(label) + " " + std::to_string(n == 4 ? static_cast<std::int32_t>(v) : v));
        pos += n;
        break;
      }
      case 'N':
      case 'P':
      case 'M': {
        const std::size_t n = kind == 'N' ? 32 : kind == 'P' ? 220 : 36;
        if (left < n) return;
        QNLogWrite("  " + std::string(label) + "  [" + ShortString::ReadFrom(at, n).Str() + "]");
        pos += n;
        break;
      }
      case 'S': {
        if (left < 1 || left - 1 < at[0]) return;
        QNLogWrite("  " + std::string(label) + "  [" + std::string(reinterpret_cast<const char*>(at + 1), at[0]) +
                   "]");
        pos += 1 + static_cast<std::size_t>(at[0]);
        break;
      }
      case 'K': {
        const std::size_t eq = label.find('=');
        const std::string_view size = eq == std::string_view::npos ? std::string_view("*") : label.substr(eq + 1);
        label = label.substr(0, eq);
        std::size_t n = left;
        if (size != "*") {
          const auto v = values.find(size);
          n = v != values.end() ? v->second : static_cast<std::size_t>(std::stoul(std::string(size)));
        }
        if (n > left) n = left;
        if (n > 0) {
          if (QNLogRequestData.load())
            QNLogWriteBlock("  " + std::string(label), at, n);
          else
            QNLogWrite("  " + std::string(label) + " (Size: " + std::to_string(n) + ")");
        }
        pos += n;
        break;
      }
      default:
        return;
    }
  }
}

}  // namespace

void QNLogRequestFields(std::uint32_t MessageID, const std::uint8_t* Data, std::size_t Length) {
  LogFields(RequestLayout(MessageID & 0xFFFF), Data, Length);
}

void QNLogReplyFields(std::uint32_t MessageID, const std::uint8_t* Data, std::size_t Length) {
  LogFields(ReplyLayout(MessageID & 0xFFFF), Data, Length);
}

}  // namespace tw::dbengine
