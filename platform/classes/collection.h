// Collections: an owned, ordered list of items of one class whose published properties are
// stored in form descriptions as `< item ... end >` (status-bar panels, header sections ...).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/classes/component.h"

namespace tw {

class TCollection;

class TCollectionItem : public TPersistent {
  TW_CLASS(TCollectionItem, TPersistent)
 public:
  explicit TCollectionItem(TCollection* collection) : collection_(collection) {}
  TCollection* Collection() const { return collection_; }
  int Index() const;

 protected:
  // Tells the collection that the item changed (it tells its owner through OnChange).
  void Changed();

 private:
  TCollection* collection_;
};

class TCollection : public TPersistent {
  TW_CLASS(TCollection, TPersistent)
 public:
  using TItemFactory = std::function<TCollectionItem*(TCollection*)>;
  explicit TCollection(TItemFactory factory) : factory_(std::move(factory)) {}
  template <typename Item>
  static TItemFactory FactoryOf() {
    return [](TCollection* c) -> TCollectionItem* { return new Item(c); };
  }

  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError for an index out of range.
  TCollectionItem* Items(int index) const;
  TCollectionItem* Add();
  // A new item at `index` (clamped to 0..Count).
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  // The position of `item`; -1 when it is not one of ours.
  int IndexOf(const TCollectionItem* item) const;
  // Copies the items' published properties from another collection of the same item class.
  void Assign(const TPersistent* source) override;

  // Called after items were added, removed or changed; runs OnChange.
  std::function<void(TCollection*)> OnChange;
  virtual void Changed();

 private:
  TItemFactory factory_;
  std::vector<std::unique_ptr<TCollectionItem>> items_;
};

}  // namespace tw
