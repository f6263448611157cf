// The field map of a restructure.
#include "dbengine/storage/field_map.h"

#include <mutex>

#include "dbengine/storage/field_convert.h"

namespace tw::dbengine {

namespace {

bool Side(const TqnDataDictionary& d, const std::string& name, TqnFieldMapSide& side) {
  const int f = d.GetFieldFromName(name);
  if (f < 0) return false;
  const TqnFieldDescriptor& fd = d.FieldDescriptor(f);
  side.FieldName = fd.Name.substr(0, kQnMaxNameLength);
  side.FieldNumber = f;
  side.Offset = fd.Offset;
  side.Length = fd.Length;
  side.FieldType = fd.FieldType;
  return true;
}

std::string Trim(const std::string& s) {
  std::size_t a = 0;
  std::size_t b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r' || s[a] == '\n')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r' || s[b - 1] == '\n')) --b;
  return s.substr(a, b - a);
}

}  // namespace

TqnSrFieldMapList::TqnSrFieldMapList(const TqnDataDictionary& SourceDictionary,
                                     const TqnDataDictionary& TargetDictionary)
    : items_(std::make_unique<TqnList>()),
      source_(std::make_unique<TqnDataDictionary>(4096)),
      target_(std::make_unique<TqnDataDictionary>(4096)) {
  items_->SetSorted(false);
  source_->Assign(&SourceDictionary);
  target_->Assign(&TargetDictionary);
}

TqnSrFieldMapList::~TqnSrFieldMapList() = default;

int TqnSrFieldMapList::Add(const std::string& TargetName, const std::string& SourceName) {
  std::lock_guard<TqnPadLock> guard(lock_);
  const std::string target = TargetName.empty() ? SourceName : TargetName;
  auto item = std::make_unique<TqnSrFieldMapListItem>();
  if (!Side(*source_, SourceName, item->Source) || !Side(*target_, target, item->Target)) return kQnResInvalidFieldName;
  if (!items_->Insert(item.get())) return -1;
  item.release();
  return 0;
}

int TqnSrFieldMapList::AddStringList(const std::vector<std::string>& Lines) {
  int result = 0;
  for (const std::string& line : Lines) {
    const std::size_t eq = line.find('=');
    const int r = eq == std::string::npos ? Add(Trim(line), Trim(line))
                                          : Add(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    if (r != 0 && result == 0) result = r;
  }
  return result;
}

int TqnSrFieldMapList::Count() const {
  std::lock_guard<TqnPadLock> guard(lock_);
  return items_->Count();
}

bool TqnSrFieldMapList::GetSourceField(int I, TqnFieldMapSide& Side) const {
  std::lock_guard<TqnPadLock> guard(lock_);
  const auto* item = items_->ItemAs<TqnSrFieldMapListItem>(I);
  if (item == nullptr) return false;
  Side = item->Source;
  return true;
}

bool TqnSrFieldMapList::GetTargetField(int I, TqnFieldMapSide& Side) const {
  std::lock_guard<TqnPadLock> guard(lock_);
  const auto* item = items_->ItemAs<TqnSrFieldMapListItem>(I);
  if (item == nullptr) return false;
  Side = item->Target;
  return true;
}

}  // namespace tw::dbengine
