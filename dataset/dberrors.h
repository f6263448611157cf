// Exceptions of the data-set classes.  EDatabaseError carries the class library's own data-set
// errors; EDBEngineError carries result codes of the access layer, one entry per code, each with
// the access layer's text for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace tw {

using DBIResult = std::uint16_t;

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

struct TDBError {
  DBIResult ErrorCode = 0;
  std::string Message;
  std::int32_t NativeError = 0;
  int Category() const { return ErrorCode >> 8; }
  int SubCode() const { return ErrorCode & 0xFF; }
};

class EDBEngineError : public EDatabaseError {
 public:
  explicit EDBEngineError(DBIResult code);
  EDBEngineError(DBIResult code, const std::string& text);
  int ErrorCount() const { return static_cast<int>(FErrors.size()); }
  const TDBError& Errors(int index) const { return FErrors.at(static_cast<std::size_t>(index)); }
  DBIResult ErrorCode() const { return FErrors.empty() ? 0 : FErrors.front().ErrorCode; }

 private:
  std::vector<TDBError> FErrors;
};

// Raises EDatabaseError with the message.
[[noreturn]] void DatabaseError(const std::string& message);
// Raises EDatabaseError with the message made from a format with one %s.
[[noreturn]] void DatabaseErrorFmt(const std::string& format, const std::string& arg);
// Turns a non-zero result code into EDBEngineError; zero passes.
void Check(DBIResult status);
// The same for a table that cannot be opened: the text names the table on a line of its own
// ("Table does not exist." and "Table: Interprt.QND").
void CheckTable(DBIResult status, const std::string& tableName);

// Texts of the data-set classes.
namespace dbconst {
inline constexpr const char* SDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* SDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* SNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* SDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* SDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* SFieldNotFound = "Field '%s' not found";
inline constexpr const char* SFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* SFieldRequired = "Field '%s' must have a value";
inline constexpr const char* SNotIndexField = "Field '%s' is not indexed and cannot be modified";
inline constexpr const char* SFieldTypeMismatch = "Type mismatch for field '%s'";
inline constexpr const char* SInvalidFieldValue = "'%s' is not a valid value for field";
inline constexpr const char* SFieldRangeError = "%s is not a valid value for field";
inline constexpr const char* STableNameMissing = "Missing TableName property";
inline constexpr const char* SDatabaseNameMissing = "Missing DatabaseName property";
inline constexpr const char* SDatabaseOpen = "Cannot perform this operation on an open database";
inline constexpr const char* SDatabaseClosed = "Cannot perform this operation on a closed database";
inline constexpr const char* SNoFieldIndexes = "No index currently active";
inline constexpr const char* SIndexNotFound = "Index '%s' not found";
inline constexpr const char* SNotInSetKey = "Dataset not in set key mode";
inline constexpr const char* SFieldIndexError = "Field index out of range";
inline constexpr const char* SInvalidFilter = "Invalid filter expression: %s";
inline constexpr const char* SDuplicateDatabaseName = "Duplicate database name '%s'";
inline constexpr const char* SCircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* SLoginCancelled = "Login cancelled";
}  // namespace dbconst

}  // namespace tw
