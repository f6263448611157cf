// A node of a session's configuration tree: a path and one record described by field
// descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbaccess/handles.h"

namespace tw::dbaccess {

class TBaseCfgrecord : public TBapiListItem {
  TW_CLASS(TBaseCfgrecord, TBapiListItem)
 public:
  TBaseCfgrecord(TTitanCollection* Owner, TBapiListItem* Parent, const std::string& Path, std::uint16_t FieldCount,
                 const FLDDesc* Fields, const std::uint8_t* Values);
  ~TBaseCfgrecord() override;

  const std::string& Path() const { return FPath; }
  void SetPath(const std::string& Path) { FPath = Path; }
  // Replaces descriptors and record; a count of 0 (or no descriptors) leaves the node empty.
  // Raises EConvertError for a descriptor whose offset and length lie outside the record.
  void SetFields(std::uint16_t FieldCount, const FLDDesc* Fields, const std::uint8_t* Values);
  // Replaces the values of the record (record size bytes), keeping the descriptors.
  void SetValues(const std::uint8_t* Values);
  std::uint16_t FieldCount() const { return static_cast<std::uint16_t>(FFields.size()); }
  const std::vector<FLDDesc>& Fields() const { return FFields; }
  const std::vector<std::uint8_t>& Record() const { return FRecord; }
  std::uint32_t RecordSize() const;
  // The value of the field of that name (case-blind) as text, empty when absent.
  std::string FieldText(const std::string& Name) const;

 private:
  std::string FPath;
  std::vector<FLDDesc> FFields;
  std::vector<std::uint8_t> FRecord;
};

}  // namespace tw::dbaccess
