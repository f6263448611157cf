// Message texts of the class library: lists, streams, the value format, properties, resources
// and settings.  Format patterns for `Format`.
#pragma once

#include <string>
#include <string_view>

namespace tw::classesconst {

inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SListCapacityError = "List capacity out of bounds (%d)";
inline constexpr const char* SListCountError = "List count out of bounds (%d)";
inline constexpr const char* SSortedListError = "Operation not allowed on sorted string list";
inline constexpr const char* SDuplicateString = "Duplicates not allowed";

inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SSeekError = "Stream seek error";
inline constexpr const char* SSizeError = "Stream size error";
inline constexpr const char* SInvalidSeekOrigin = "Invalid seek origin";
inline constexpr const char* SFCreateError = "Cannot create file %s";
inline constexpr const char* SFOpenError = "Cannot open file %s";
inline constexpr const char* SCantWriteResourceStreamError = "Can't write to a read-only resource stream";
inline constexpr const char* SResNotFound = "Resource %s not found";

inline constexpr const char* SInvalidImage = "Invalid stream format";
inline constexpr const char* SInvalidPropertyValue = "Invalid property value";
inline constexpr const char* SUnknownProperty = "Unknown property: %s";
inline constexpr const char* SReadOnlyProperty = "Property is read-only";
inline constexpr const char* SClassNotFound = "Class %s not found";

inline constexpr const char* SThreadNotStarted = "Cannot wait for a thread that was not started";
inline constexpr const char* SThreadWaitsForItself = "A thread cannot wait for itself";

inline constexpr const char* SRegSetDataFailed = "Failed to set data for '%s'";
inline constexpr const char* SRegCreateFailed = "Failed to create key %s";
inline constexpr const char* SInvalidRegType = "Invalid data type for '%s'";
inline constexpr const char* SIniFileWriteError = "Cannot write the settings file %s: %s";

}  // namespace tw::classesconst

namespace tw {
// A message of the class library (classesconst) in the program's language (UiLanguage).
std::string ClassesText(std::string_view english);
}  // namespace tw
