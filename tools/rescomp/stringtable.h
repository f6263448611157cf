// Compiler of string-table sources into the raw string-table format, and of a resource folder
// into one C++ source that holds every resource as a byte array.
//
// String-table source: UTF-8 text; blank lines and lines starting with '#' are skipped; every
// other line is "<decimal id><one space or tab><text>", the text being the rest of the line
// exactly, with the escapes \n, \r, \t, \\ and \xHH.  An empty text ends a string table, so it
// may only stand on the last record line; a record after it is refused.  Output: for every
// line, the id as 16 bits little-endian, then the text in Windows-1252 and a zero byte.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rescomp {

// A mistake in an input file; what() reads "<file>:<line>: <message>".
class CompileError : public std::runtime_error {
 public:
  CompileError(const std::string& file, int line, const std::string& message);
  const std::string& File() const { return file_; }
  int Line() const { return line_; }

 private:
  std::string file_;
  int line_;
};

// The Windows-1252 byte of a code point, or -1 when there is none.  The five unassigned bytes
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control code points of the same value.
int CodePointToWin1252(char32_t cp);

// Compiles one string-table source; `fileName` is used in error messages.
std::string CompileStringTable(std::string_view source, const std::string& fileName);

struct Resource {
  std::string name;   // base name of the file without extension
  std::string path;   // the file
  std::string bytes;  // what is embedded
};

// The resource name of a file: its base name without the last extension.
std::string ResourceName(const std::string& path);
// Whether a file (given relative to the resources folder, '/' separated) is a string-table
// source: directly in "strings/" and ending in ".txt" (any case).
bool IsStringTableSource(const std::string& relativePath);
// Raises CompileError when two resources have the same name (compared without case).
void CheckUniqueNames(const std::vector<Resource>& resources);
// The C++ source of the resource table.
std::string GenerateSource(const std::vector<Resource>& resources);

}  // namespace rescomp
