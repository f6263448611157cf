// Command-table text files: any bytes must either load as a table or raise the documented
// errors, and a loaded table must write and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "entry/fkcmd.h"
#include "entry/fkexcept.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw::entry;
  TFkCommandTable table;
  try {
    table.LoadRowsFromText(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const tw::EInOutError&) {
    return 0;
  } catch (const EDuplicateCommand&) {
    return 0;
  }
  TFkCommandTable again;
  // A name line holding a line break of its own cannot round-trip; everything else must.
  if (table.TableName.find_first_of("\r\n") != std::string::npos) return 0;
  again.LoadRowsFromText(table.RowsToText());
  if (again.Rows() != table.Rows()) std::abort();
  TFkCommandProcessor proc;
  proc.NewTable("fuzz", true);
  for (const auto& r : table.Rows()) proc.Translate(r.Key1, r.Shift1);
  return 0;
}
