#include "dbaccess/cfgrecord.h"

#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/win1252.h"

namespace tw::dbaccess {

TBaseCfgrecord::TBaseCfgrecord(TTitanCollection* Owner, TBapiListItem* Parent, const std::string& Path,
                               std::uint16_t FieldCount, const FLDDesc* Fields, const std::uint8_t* Values)
    : TBapiListItem(Owner, Parent), FPath(Path) {
  SetFields(FieldCount, Fields, Values);
}

TBaseCfgrecord::~TBaseCfgrecord() { SetFields(0, nullptr, nullptr); }

std::uint32_t TBaseCfgrecord::RecordSize() const {
  std::uint32_t size = 0;
  for (const auto& f : FFields) size += f.iLen;
  return size;
}

void TBaseCfgrecord::SetFields(std::uint16_t FieldCount, const FLDDesc* Fields, const std::uint8_t* Values) {
  FFields.clear();
  FRecord.clear();
  if (FieldCount == 0 || !Fields) return;
  std::vector<FLDDesc> fields(Fields, Fields + FieldCount);
  std::uint32_t size = 0;
  for (const auto& f : fields) size += f.iLen;
  // Each field must lie inside the record the descriptors describe.
  for (const auto& f : fields)
    if (std::uint32_t{f.iOffset} + f.iLen > size) throw EConvertError("Invalid configuration field layout");
  FFields = std::move(fields);
  FRecord.assign(size, 0);
  if (Values && size) std::memcpy(FRecord.data(), Values, size);
}

void TBaseCfgrecord::SetValues(const std::uint8_t* Values) {
  if (Values && !FRecord.empty()) std::memcpy(FRecord.data(), Values, FRecord.size());
}

std::string TBaseCfgrecord::FieldText(const std::string& Name) const {
  for (const auto& f : FFields) {
    std::string fname(f.szName, strnlen(f.szName, sizeof f.szName));
    if (AnsiSameText(fname, Name)) {
      if (f.iLen == 0) return std::string();
      const char* p = reinterpret_cast<const char*>(FRecord.data() + f.iOffset);
      return std::string(p, strnlen(p, f.iLen));
    }
  }
  return std::string();
}

}  // namespace tw::dbaccess
