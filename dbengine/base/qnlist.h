// The engine's owning lists.  An item knows every list that holds it; it is freed when it
// leaves its last list, or, with MaintainLinks set, as soon as it is deleted from any one of
// them (it then leaves all the others).  Freeing an item directly removes it from all its
// lists.  A sorted list orders its items through the item's virtual Compare and holds no two
// equal keys; an unsorted list keeps insertion order and accepts equal keys.
//
// Items are heap objects (operator new); a list never copies them.  Every list operation runs
// under the list's pad lock.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "dbengine/base/padlock.h"
#include "dbengine/base/qnobject.h"
#include "dbengine/base/shortstring.h"
#include "platform/classes/component.h"

namespace tw::dbengine {

class TqnList;

class TqnListItem : public TqnObject {
  TW_CLASS(TqnListItem, TqnObject)
 public:
  TqnListItem() = default;
  // Leaves every list that still holds it (by identity, never by key).
  ~TqnListItem() override;

  // Sign of (the key at Key) minus (this item's own key): -1, 0 or 1.
  virtual int Compare(const void* Key) const = 0;
  // Address of this item's own key.
  virtual const void* Key() const = 0;

  void AddOwner(TqnList* List);
  // Drops List as an owner; with MaintainLinks the item also leaves every other list (see the
  // file comment).  Ignored while the item is being destroyed.
  void RemoveOwner(TqnList* List);
  int OwnerCount() const { return static_cast<int>(FLists.size()); }
  bool HasOwner(const TqnList* List) const;

  bool MaintainLinks() const { return FMaintainLinks; }
  void SetMaintainLinks(bool Value) { FMaintainLinks = Value; }

 protected:
  std::vector<TqnList*> FLists;
  bool FMaintainLinks = false;
  bool FDestroying = false;
};

// Key: a short string (a pointer to its length byte, see ShortString::Bytes and QNShStrAlloc);
// compared byte-wise, case-sensitive, at most 255 characters.
class TqnStrListItem : public TqnListItem {
  TW_CLASS(TqnStrListItem, TqnListItem)
 public:
  explicit TqnStrListItem(std::string_view Key);
  ~TqnStrListItem() override;
  int Compare(const void* Key) const override;
  const void* Key() const override { return FKey; }
  std::string_view Text() const { return QNShStrView(FKey); }

  void* ExtraData = nullptr;  // the object of a string list entry

 protected:
  const std::uint8_t* FKey;
};

// As TqnStrListItem, but the ASCII letters a to z compare as A to Z on both sides (no other
// character is folded).
class TqnUCStrListItem : public TqnStrListItem {
  TW_CLASS(TqnUCStrListItem, TqnStrListItem)
 public:
  using TqnStrListItem::TqnStrListItem;
  int Compare(const void* Key) const override;
};

// Key: a signed 32-bit integer (pointer to an std::int32_t).
class TqnIntListItem : public TqnListItem {
  TW_CLASS(TqnIntListItem, TqnListItem)
 public:
  explicit TqnIntListItem(std::int32_t Key) : FKey(Key) {}
  int Compare(const void* Key) const override;
  const void* Key() const override { return &FKey; }
  std::int32_t IntKey() const { return FKey; }

 protected:
  std::int32_t FKey;
};

// An item whose key is its own 32-bit id, the id the server's objects carry on the wire.  Ids
// come from a process-wide registry: never 0, never one of a living item, and not reused
// before the 32-bit count wraps, so a stale id is not found.
class TqnSelfListItem : public TqnIntListItem {
  TW_CLASS(TqnSelfListItem, TqnIntListItem)
 public:
  TqnSelfListItem();
  ~TqnSelfListItem() override;
  std::uint32_t Id() const { return static_cast<std::uint32_t>(FKey); }
  // The living item with this id, nullptr when there is none.
  static TqnSelfListItem* FindById(std::uint32_t Id);
  // Counts the items ended so far: an item found earlier is still alive while it is unchanged.
  static std::uint64_t Endings();
};

// Key pointers for lookups.
inline const void* QNKeyOf(const std::int32_t& Key) { return &Key; }
inline const void* QNKeyOf(const ShortString& Key) { return Key.Bytes(); }

class TqnList : public TPersistent {
  TW_CLASS(TqnList, TPersistent)
  TW_QN_POOLED
 public:
  TqnList();
  // Empties the list (freeing items that have no other owner).
  ~TqnList() override;

  // True when the item was added; false when a sorted list already holds an equal key (the
  // item is then not added and stays with the caller).
  bool Insert(TqnListItem* Item);
  // The index at which the item was added, or -1 (see Insert).
  int InsertPrim(TqnListItem* Item);

  int IndexOf(const void* Key) const;
  bool Exists(const void* Key) const { return IndexOf(Key) >= 0; }
  // Index of this very item, -1 when the list does not hold it.
  int IndexOfItem(const TqnListItem* Item) const;

  // nullptr outside 0..Count-1.
  TqnListItem* Items(int Index) const;
  template <typename T>
  T* ItemAs(int Index) const { return static_cast<T*>(Items(Index)); }
  int Count() const;
  bool IsEmpty() const { return Count() == 0; }

  // Deletes the item with that key (the first one in an unsorted list), if any.
  void Delete(const void* Key);
  // The item drops this list as an owner and is freed when it has no owner left; its entry is
  // removed.  Ignored outside 0..Count-1 and while the list is being emptied.
  void DeleteAt(int Index);
  // As DeleteAt for this very item, wherever it is in the list.
  void Remove(TqnListItem* Item);
  // Deletes every item.
  void Empty();

  int Capacity() const;
  // Taken only when at least Count and different from the present capacity.
  void SetCapacity(int Value);
  bool Sorted() const { return FSorted; }
  // A list becomes sorted only while empty; it can always become unsorted.
  void SetSorted(bool Value);

  // From a TqnList: empties this list and inserts every item of Source in Source's order, so
  // that both lists share them.  Other sources: inherited.
  void Assign(const TPersistent* Source) override;

  TqnPadLock& PadLock() const { return FPadLock; }

 private:
  friend class TqnListItem;
  // Removes the entry of Item without touching its owners or freeing it.
  void Unlink(const TqnListItem* Item);
  int Search(const void* Key, int* InsertAt) const;

  std::vector<TqnListItem*> FList;
  bool FSorted = true;
  bool FEmptying = false;
  mutable TqnPadLock FPadLock;
};

}  // namespace tw::dbengine
