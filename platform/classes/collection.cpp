#include "platform/classes/collection.h"

#include <algorithm>

#include "platform/classes/classesconst.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace tw {

int TCollectionItem::Index() const { return collection_ != nullptr ? collection_->IndexOf(this) : -1; }

void TCollectionItem::Changed() {
  if (collection_ != nullptr) collection_->Changed();
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(classesconst::SListIndexError, {index}));
  return items_[static_cast<std::size_t>(index)].get();
}

TCollectionItem* TCollection::Add() { return Insert(Count()); }

TCollectionItem* TCollection::Insert(int index) {
  index = std::clamp(index, 0, Count());
  auto at = items_.insert(items_.begin() + index, std::unique_ptr<TCollectionItem>(factory_(this)));
  TCollectionItem* item = at->get();
  Changed();
  return item;
}

void TCollection::Delete(int index) {
  Items(index);
  items_.erase(items_.begin() + index);
  Changed();
}

void TCollection::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

int TCollection::IndexOf(const TCollectionItem* item) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return static_cast<int>(i);
  return -1;
}

void TCollection::Changed() {
  if (OnChange) {
    auto handler = OnChange;
    handler(this);
  }
}

void TCollection::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TCollection*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;  // clearing first would lose the items being copied
  items_.clear();
  for (int i = 0; i < other->Count(); ++i) {
    TCollectionItem* src = other->Items(i);
    items_.emplace_back(factory_(this));
    TCollectionItem* dst = items_.back().get();
    for (const TPropInfo* p : GetPropList(src))
      if (!p->ReadOnly() && p->Kind != tkClass && p->Kind != tkMethod && GetPropInfo(dst, p->Name) == p)
        p->Set(dst, p->Get(src));
  }
  Changed();
}

}  // namespace tw
