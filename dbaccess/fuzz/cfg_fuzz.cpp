// Configuration records built from arbitrary field descriptors and values, then read back as
// the database list reads them.
#include <cstdint>
#include <cstring>
#include <vector>

#include "dbaccess/cfgrecord.h"
#include "dbaccess/listtables.h"
#include "dbaccess/session.h"

using namespace tw::dbaccess;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::uint16_t count = static_cast<std::uint16_t>(data[0] % 8);
  std::size_t need = count * sizeof(FLDDesc);
  if (size < 1 + need) return 0;
  std::vector<FLDDesc> descs(count);
  if (need) std::memcpy(descs.data(), data + 1, need);
  for (auto& d : descs) d.szName[sizeof d.szName - 1] = 0;
  std::vector<std::uint8_t> values(data + 1 + need, data + size);
  std::uint32_t sum = 0;
  for (const auto& d : descs) sum += d.iLen;
  if (values.size() < sum) values.resize(sum);
  TBaseSession session(nullptr, nullptr, "fuzz", "");
  session.CfgAddRecord("\\DATABASES\\FUZZ\\DB INFO", count, descs.data(), values.data());
  TBaseDBListTable list(nullptr, &session, "QuarnlDb");
  list.Open();
  DBDesc d;
  while (list.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&d)) == DBIERR_NONE) {
  }
  return 0;
}
