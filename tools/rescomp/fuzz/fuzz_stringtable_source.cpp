// Compiles arbitrary bytes as a string-table source: a clear CompileError or a table whose
// records parse back to the end (an empty text only as the last), never anything else.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/rescomp/stringtable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string source(reinterpret_cast<const char*>(data), size);
  try {
    const std::string table = rescomp::CompileStringTable(source, "fuzz.txt");
    // Every record: two id bytes, then a text ending in the table's next zero byte.
    std::size_t pos = 0;
    while (pos < table.size()) {
      if (table.size() - pos < 3) __builtin_trap();
      std::size_t end = table.find('\0', pos + 2);
      if (end == std::string::npos) __builtin_trap();
      if (end == pos + 2 && end + 1 != table.size()) __builtin_trap();  // an empty text hides what follows
      pos = end + 1;
    }
  } catch (const rescomp::CompileError&) {
  }
  return 0;
}
