// Evaluates arbitrary filter expression blocks against a small in-memory table.
#include <cstdint>
#include <cstring>
#include <vector>

#include "dbaccess/filter.h"
#include "dbaccess/memtable.h"

using namespace tw::dbaccess;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4 || size > 65535) return 0;
  std::vector<std::uint8_t> expr(data, data + size);
  // The block's own size word is made to agree with what arrived, as the caller guarantees.
  auto n = static_cast<std::uint16_t>(size);
  std::memcpy(expr.data() + 2, &n, 2);
  FLDDesc fields[2];
  std::strcpy(fields[0].szName, "Name");
  fields[0].iFldType = fldZSTRING;
  fields[0].iLen = 16;
  std::strcpy(fields[1].szName, "Nr");
  fields[1].iFldType = fldINT16;
  fields[1].iLen = 2;
  TMemTable table(nullptr, 4, 2, fields);
  std::uint8_t record[18] = {'A', 'b', 'c'};
  TFilterListItem filter(&table, nullptr, 0, 0, false, expr.data(), nullptr);
  filter.SetActive(true);
  filter.RecordPasses(record);
  return 0;
}
