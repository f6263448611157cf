#include "dbengine/base/qnlist.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "dbengine/base/compare.h"

namespace tw::dbengine {

// ---- TqnListItem ------------------------------------------------------------------------

TqnListItem::~TqnListItem() {
  FDestroying = true;
  // Each list drops this very entry; lists with an equal key for another item keep theirs.
  const std::vector<TqnList*> owners = FLists;
  for (TqnList* list : owners) list->Unlink(this);
  FLists.clear();
}

void TqnListItem::AddOwner(TqnList* List) {
  if (List != nullptr && !HasOwner(List)) FLists.push_back(List);
}

bool TqnListItem::HasOwner(const TqnList* List) const {
  return std::find(FLists.begin(), FLists.end(), List) != FLists.end();
}

void TqnListItem::RemoveOwner(TqnList* List) {
  if (FDestroying) return;
  FLists.erase(std::remove(FLists.begin(), FLists.end(), List), FLists.end());
  if (!FMaintainLinks) return;
  // Leave every other list too; the caller then finds no owner left and frees the item.
  FDestroying = true;
  const std::vector<TqnList*> owners = FLists;
  for (auto it = owners.rbegin(); it != owners.rend(); ++it) (*it)->Unlink(this);
  FLists.clear();
  FDestroying = false;
}

// ---- item kinds -------------------------------------------------------------------------

TqnStrListItem::TqnStrListItem(std::string_view Key) : FKey(QNShStrAlloc(Key)) {}

TqnStrListItem::~TqnStrListItem() { QNShStrFree(FKey); }

int TqnStrListItem::Compare(const void* Key) const {
  return QNCmpShStr(QNShStrView(static_cast<const std::uint8_t*>(Key)), Text(), 255);
}

int TqnUCStrListItem::Compare(const void* Key) const {
  return QNCmpShStrUC(QNShStrView(static_cast<const std::uint8_t*>(Key)), Text(), 255);
}

int TqnIntListItem::Compare(const void* Key) const {
  return QNCmpI32(*static_cast<const std::int32_t*>(Key), FKey);
}

namespace {
struct IdRegistry {
  std::mutex lock;
  std::unordered_map<std::uint32_t, TqnSelfListItem*> live;
  std::uint32_t next = 0;
  std::atomic<std::uint64_t> endings{0};
};
IdRegistry& Registry() {
  static IdRegistry* registry = new IdRegistry;  // lives for the whole run
  return *registry;
}
}  // namespace

TqnSelfListItem::TqnSelfListItem() : TqnIntListItem(0) {
  IdRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  std::uint32_t id;
  do {
    id = ++r.next;
  } while (id == 0 || r.live.count(id) != 0);
  r.live.emplace(id, this);
  FKey = static_cast<std::int32_t>(id);
}

TqnSelfListItem::~TqnSelfListItem() {
  IdRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.live.erase(Id());
  r.endings.fetch_add(1, std::memory_order_release);
}

std::uint64_t TqnSelfListItem::Endings() { return Registry().endings.load(std::memory_order_acquire); }

TqnSelfListItem* TqnSelfListItem::FindById(std::uint32_t Id) {
  if (Id == 0) return nullptr;
  IdRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.live.find(Id);
  return it == r.live.end() ? nullptr : it->second;
}

// ---- TqnList ----------------------------------------------------------------------------

TqnList::TqnList() = default;

TqnList::~TqnList() { Empty(); }

int TqnList::Search(const void* Key, int* InsertAt) const {
  int lo = 0, hi = static_cast<int>(FList.size()) - 1;
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    const int r = FList[static_cast<std::size_t>(mid)]->Compare(Key);
    if (r == 0) {
      if (InsertAt) *InsertAt = mid;
      return mid;
    }
    if (r > 0)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  if (InsertAt) *InsertAt = lo;
  return -1;
}

int TqnList::InsertPrim(TqnListItem* Item) {
  if (Item == nullptr) return -1;
  TqnPadLockGuard guard(FPadLock);
  // An item is held by a list at most once.
  if (Item->HasOwner(this)) return -1;
  int index = static_cast<int>(FList.size());
  if (FSorted && !FList.empty()) {
    if (Search(Item->Key(), &index) >= 0) return -1;
  }
  FList.insert(FList.begin() + index, Item);
  Item->AddOwner(this);
  return index;
}

bool TqnList::Insert(TqnListItem* Item) { return InsertPrim(Item) >= 0; }

int TqnList::IndexOf(const void* Key) const {
  TqnPadLockGuard guard(FPadLock);
  if (FList.empty()) return -1;
  if (FSorted) return Search(Key, nullptr);
  for (std::size_t i = 0; i < FList.size(); ++i)
    if (FList[i]->Compare(Key) == 0) return static_cast<int>(i);
  return -1;
}

int TqnList::IndexOfItem(const TqnListItem* Item) const {
  TqnPadLockGuard guard(FPadLock);
  auto it = std::find(FList.begin(), FList.end(), Item);
  return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

TqnListItem* TqnList::Items(int Index) const {
  TqnPadLockGuard guard(FPadLock);
  if (Index < 0 || Index >= static_cast<int>(FList.size())) return nullptr;
  return FList[static_cast<std::size_t>(Index)];
}

int TqnList::Count() const {
  TqnPadLockGuard guard(FPadLock);
  return static_cast<int>(FList.size());
}

void TqnList::Delete(const void* Key) {
  TqnPadLockGuard guard(FPadLock);
  const int index = IndexOf(Key);
  if (index >= 0) DeleteAt(index);
}

void TqnList::DeleteAt(int Index) {
  TqnPadLockGuard guard(FPadLock);
  if (FEmptying || Index < 0 || Index >= static_cast<int>(FList.size())) return;
  TqnListItem* item = FList[static_cast<std::size_t>(Index)];
  // The entry goes first, so that whatever the item's release does sees a consistent list.
  FList.erase(FList.begin() + Index);
  item->RemoveOwner(this);
  if (item->OwnerCount() == 0) delete item;
}

void TqnList::Remove(TqnListItem* Item) {
  TqnPadLockGuard guard(FPadLock);
  const int index = IndexOfItem(Item);
  if (index >= 0) DeleteAt(index);
}

void TqnList::Unlink(const TqnListItem* Item) {
  TqnPadLockGuard guard(FPadLock);
  auto it = std::find(FList.begin(), FList.end(), Item);
  if (it != FList.end()) FList.erase(it);
}

void TqnList::Empty() {
  TqnPadLockGuard guard(FPadLock);
  FEmptying = true;
  // Taken from the end one at a time: an item's release may take others out of this list.
  while (!FList.empty()) {
    TqnListItem* item = FList.back();
    FList.pop_back();
    item->RemoveOwner(this);
    if (item->OwnerCount() == 0) delete item;
  }
  FEmptying = false;
}

int TqnList::Capacity() const {
  TqnPadLockGuard guard(FPadLock);
  return static_cast<int>(FList.capacity());
}

void TqnList::SetCapacity(int Value) {
  TqnPadLockGuard guard(FPadLock);
  if (Value < static_cast<int>(FList.size()) || Value == static_cast<int>(FList.capacity())) return;
  if (Value > static_cast<int>(FList.capacity())) {
    FList.reserve(static_cast<std::size_t>(Value));
  } else {
    std::vector<TqnListItem*> smaller;
    smaller.reserve(static_cast<std::size_t>(Value));
    smaller.assign(FList.begin(), FList.end());
    FList.swap(smaller);
  }
}

void TqnList::SetSorted(bool Value) {
  TqnPadLockGuard guard(FPadLock);
  if (Value && !FList.empty()) return;
  FSorted = Value;
}

void TqnList::Assign(const TPersistent* Source) {
  if (Source != nullptr && Source->Is<TqnList>()) {
    const auto* src = static_cast<const TqnList*>(Source);
    if (src == this) return;
    TqnPadLockGuard guard(FPadLock);
    TqnPadLockGuard srcGuard(src->FPadLock);
    // Items shared with the source survive the emptying: the source still owns them.
    Empty();
    for (TqnListItem* item : src->FList) InsertPrim(item);
    return;
  }
  TPersistent::Assign(Source);
}

}  // namespace tw::dbengine
