// The class library's list of untyped pointers: a growable array that checks every index.
#pragma once

#include <functional>
#include <vector>

#include "platform/classes/object.h"

namespace tw {

// Compare for TList::Sort: negative, zero or positive as in the class library.
using TListSortCompare = std::function<int(void* item1, void* item2)>;

class TList : public TObject {
  TW_CLASS(TList, TObject)
 public:
  TList() = default;
  ~TList() override = default;

  int Add(void* item);
  // Index may equal Count (append); anything else out of range raises EListError.
  void Insert(int index, void* item);
  void Delete(int index);
  // Removes the first occurrence; returns its former index or -1.
  int Remove(void* item);
  // Removes the first occurrence and returns the item, nullptr when absent.
  void* Extract(void* item);
  int IndexOf(void* item) const;
  virtual void Clear();

  void* Items(int index) const;
  void SetItems(int index, void* item);
  void* operator[](int index) const { return Items(index); }
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }

  int Count() const { return static_cast<int>(items_.size()); }
  // Growing fills with nullptr; shrinking drops the tail.  Negative raises EListError.
  void SetCount(int count);
  int Capacity() const { return capacity_; }
  // Raises EListError "List capacity out of bounds (%d)" below Count.
  void SetCapacity(int capacity);

  void Exchange(int index1, int index2);
  void Move(int curIndex, int newIndex);
  // Stable sort by `compare`.
  void Sort(const TListSortCompare& compare);
  // Removes every nullptr item.
  void Pack();
  // Makes this list a copy of `source`.
  void Assign(const TList& source);

  const std::vector<void*>& List() const { return items_; }

  // Raises EListError with `msg` formatted with `data` ("%d").
  [[noreturn]] static void Error(const char* msg, int data);

 private:
  void CheckIndex(int index) const;
  void Grow();

  std::vector<void*> items_;
  int capacity_ = 0;
};

}  // namespace tw
