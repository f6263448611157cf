// Translation between the interface's logical field types and values and the engine's storage
// types and record layout.  Dates are stored as the class library's day count plus 693594,
// times as milliseconds since midnight, date-times as the class library's date-time value
// plus 693594; the interface counts the same way, so date and time values pass unchanged.
#pragma once

#include <cstdint>

#include "dbaccess/dbitypes.h"
#include "dbengine/storage/data_dictionary.h"

namespace tw::dbaccess {

// Engine type for a logical type and subtype; raises EqnClientException "Invalid Parameter".
int MapEngineFieldType(int LogicalType, int SubType);

struct TLogicalType {
  std::uint16_t Type = fldUNKNOWN;
  std::uint16_t SubType = 0;
  std::int32_t Units1 = 0;
  std::int32_t Units2 = 0;
};
TLogicalType EngineToLogicalType(int EngineType, std::int32_t Units, std::int32_t Decimals);
// Length of a value of the logical type in the interface's form.
std::int32_t LogicalLength(const TLogicalType& T, std::int32_t EngineLength);

// Conversion results.
enum : int { fcDone = 0, fcNotHandled = 1, fcInvalid = 2 };

// Engine value (Source, EngineLength bytes) to the interface's form in Dest (DestLength bytes).
int EngineToInterfaceValue(int EngineType, std::int32_t EngineLength, const std::uint8_t* Source,
                           std::uint8_t* Dest, std::int32_t DestLength);
// Interface value to the engine's form (Dest holds EngineLength bytes).
int InterfaceToEngineValue(int EngineType, std::int32_t EngineLength, const std::uint8_t* Source,
                           std::uint8_t* Dest);

// Descriptors filled from a dictionary (field and index numbers 0-based).
FLDDesc FieldDescFromDictionary(const dbengine::TqnDataDictionary& D, int Field);
IDXDesc IndexDescFromDictionary(const dbengine::TqnDataDictionary& D, int Index);
VCHKDesc VChkDescFromDictionary(const dbengine::TqnDataDictionary& D, int Field);

// Mode bytes sent to the server.
std::uint8_t OpenModeByte(std::uint32_t Mode);
std::uint8_t ShareModeByte(std::uint32_t Mode);
std::uint8_t LockByte(std::uint32_t Lock);
std::uint8_t SearchCondByte(std::uint32_t Cond);

// Interface date/time encodings.
DBIResult DbiDateEncodeValue(int Month, int Day, int Year, std::int32_t& Date);
void DbiDateDecodeValue(std::int32_t Date, int& Month, int& Day, int& Year);

}  // namespace tw::dbaccess
