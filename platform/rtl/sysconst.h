// Message texts of the runtime library.  They are format patterns for `Format`; the
// conversion routines raise their exceptions with these texts.
#pragma once

namespace tw::sysconst {

inline constexpr const char* SInvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* SInvalidFloat = "'%s' is not a valid floating point value";
inline constexpr const char* SInvalidDate = "'%s' is not a valid date";
inline constexpr const char* SInvalidTime = "'%s' is not a valid time";
inline constexpr const char* SInvalidDateTime = "'%s' is not a valid date and time";
inline constexpr const char* SInvalidFormat = "Format '%s' invalid or incompatible with argument";
inline constexpr const char* SArgumentMissing = "No argument for format '%s'";
inline constexpr const char* SDateEncodeError = "Invalid argument to date encode";
inline constexpr const char* STimeEncodeError = "Invalid argument to time encode";
inline constexpr const char* SFCreateError = "Cannot create file %s";
inline constexpr const char* SFOpenError = "Cannot open file %s";
inline constexpr const char* SFileNotFound = "File not found";
inline constexpr const char* SInOutError = "I/O error %d";
inline constexpr const char* SInvalidFilename = "Invalid filename";
inline constexpr const char* STooManyOpenFiles = "Too many open files";
inline constexpr const char* SAccessDenied = "File access denied";
inline constexpr const char* SEndOfFile = "Read beyond end of file";
inline constexpr const char* SDiskFull = "Disk full";
inline constexpr const char* SFileNotOpen = "File not open";
inline constexpr const char* SOperationAborted = "Operation aborted";
inline constexpr const char* SOutOfMemory = "Out of memory";

}  // namespace tw::sysconst
