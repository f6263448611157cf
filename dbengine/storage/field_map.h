// The field map of a restructure: which field of the table's current dictionary feeds which
// field of the new one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/base/padlock.h"
#include "dbengine/base/qnlist.h"
#include "dbengine/storage/data_dictionary.h"

namespace tw::dbengine {

struct TqnFieldMapSide {
  std::string FieldName;  // up to 31 characters
  std::int32_t FieldNumber = 0;
  std::int32_t Offset = 0;
  std::int32_t Length = 0;
  int FieldType = 0;
};

class TqnSrFieldMapListItem : public TqnSelfListItem {
  TW_CLASS(TqnSrFieldMapListItem, TqnSelfListItem)
 public:
  TqnSrFieldMapListItem() = default;
  TqnFieldMapSide Source;
  TqnFieldMapSide Target;
};

class TqnSrFieldMapList : public TqnObject {
  TW_CLASS(TqnSrFieldMapList, TqnObject)
 public:
  // Keeps copies of both dictionaries.
  TqnSrFieldMapList(const TqnDataDictionary& SourceDictionary, const TqnDataDictionary& TargetDictionary);
  ~TqnSrFieldMapList() override;

  // 0; 10038 when a name is not a field of its dictionary; -1 when the list refuses the item.
  // An empty TargetName means SourceName.
  int Add(const std::string& TargetName, const std::string& SourceName);
  // Lines "Target=Source" or "Name"; 0 when all were added, else the first failure.
  int AddStringList(const std::vector<std::string>& Lines);
  int Count() const;
  bool GetSourceField(int I, TqnFieldMapSide& Side) const;
  bool GetTargetField(int I, TqnFieldMapSide& Side) const;

  const TqnDataDictionary& SourceDictionary() const { return *source_; }
  const TqnDataDictionary& TargetDictionary() const { return *target_; }

 private:
  std::unique_ptr<TqnList> items_;
  mutable TqnPadLock lock_;
  std::unique_ptr<TqnDataDictionary> source_;
  std::unique_ptr<TqnDataDictionary> target_;
};

}  // namespace tw::dbengine
