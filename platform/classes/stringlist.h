// String lists: TStrings, the abstract list of lines each with an integer-sized object slot,
// and TStringList, the in-memory list that can be kept sorted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/classes/component.h"

namespace tw {

class TStream;

enum class TDuplicates { dupIgnore, dupAccept, dupError };
using TDuplicates::dupIgnore;
using TDuplicates::dupAccept;
using TDuplicates::dupError;

using TNotifyEvent = std::function<void(TObject* sender)>;

// Abstract list of strings.  Text is Windows-1252; each line has an object slot the size of a
// pointer, which holds an object or a plain integer (message numbers are kept that way).
class TStrings : public TPersistent {
  TW_CLASS(TStrings, TPersistent)
 public:
  TStrings() = default;
  ~TStrings() override = default;

  // --- what a descendant provides: GetCount, Get, Clear, Delete and Insert; Put, the object
  // slot, SetUpdateState and the stream routines when it can do better than the defaults
  virtual int GetCount() const = 0;
  int Count() const { return GetCount(); }
  virtual std::string Get(int index) const = 0;
  // Default: Delete and InsertObject with the line's object.
  virtual void Put(int index, const std::string& s);
  // Default: no object slots (0, and storing does nothing).
  virtual std::intptr_t GetObject(int index) const;
  virtual void PutObject(int index, std::intptr_t object);
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual void Insert(int index, const std::string& s) = 0;
  // Default: Insert, then PutObject.
  virtual void InsertObject(int index, const std::string& s, std::intptr_t object);

  // --- lines
  virtual int Add(const std::string& s);
  // A sorted list that ignores the duplicate returns the existing line and leaves its object.
  virtual int AddObject(const std::string& s, std::intptr_t object);
  template <typename T>
    requires std::is_base_of_v<TObject, T>
  int AddObject(const std::string& s, T* object) {
    return AddObject(s, reinterpret_cast<std::intptr_t>(static_cast<TObject*>(object)));
  }
  template <typename N>
    requires std::is_null_pointer_v<N>
  int AddObject(const std::string& s, N) {
    return AddObject(s, std::intptr_t{0});
  }
  void Append(const std::string& s) { Add(s); }
  void AddStrings(const TStrings& strings);
  template <typename T>
    requires std::is_base_of_v<TObject, T>
  void InsertObject(int index, const std::string& s, T* object) {
    InsertObject(index, s, reinterpret_cast<std::intptr_t>(static_cast<TObject*>(object)));
  }
  virtual void Exchange(int index1, int index2);
  virtual void Move(int curIndex, int newIndex);

  std::string Strings(int index) const { return Get(index); }
  void SetStrings(int index, const std::string& s) { Put(index, s); }
  std::string operator[](int index) const { return Get(index); }

  // The object slot as an integer ...
  std::intptr_t Objects(int index) const { return GetObject(index); }
  void SetObjects(int index, std::intptr_t value) { PutObject(index, value); }
  // ... and as an object pointer.
  template <typename T = TObject>
  T* ObjectAt(int index) const {
    return static_cast<T*>(reinterpret_cast<TObject*>(GetObject(index)));
  }
  void SetObject(int index, TObject* object) { PutObject(index, reinterpret_cast<std::intptr_t>(object)); }

  // --- search; comparisons follow CompareStrings (case-insensitive unless a descendant says so)
  virtual int IndexOf(const std::string& s) const;
  int IndexOfObject(std::intptr_t object) const;
  int IndexOfObject(const TObject* object) const { return IndexOfObject(reinterpret_cast<std::intptr_t>(object)); }
  // Index of the first line "name=..." whose name matches; -1 when none.
  int IndexOfName(const std::string& name) const;
  bool Equals(const TStrings& other) const;

  // --- name=value lines
  // The part before the first '=' of line `index`; "" when the line has no '='.
  std::string Names(int index) const;
  // The part after the first '=' of the line named `name`; "" when there is none.
  std::string Values(const std::string& name) const;
  // Replaces the value; an empty value deletes the line; a new name adds a line.
  void SetValues(const std::string& name, const std::string& value);

  // --- whole-list texts
  // Every line followed by CR LF.
  virtual std::string Text() const;
  // Splits at CR, LF or CR LF; a final line break does not make an empty last line.
  virtual void SetText(const std::string& text);
  // Lines separated by ','; a line with a space, control character, '"' or ',' is quoted with
  // '"' (inner quotes doubled).  A single empty line reads "\"\"".
  std::string CommaText() const;
  void SetCommaText(const std::string& text);

  // --- files and streams (the bytes as they are, lines split as SetText does); SaveToFile
  // replaces the file atomically and raises EFCreateError or EInOutError when it cannot
  virtual void LoadFromFile(const std::string& fileName);
  virtual void SaveToFile(const std::string& fileName) const;
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream) const;

  // --- change batching
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  void Assign(const TPersistent* source) override;
  // Compares two lines for search and sort; returns <0, 0, >0.
  virtual int CompareStrings(const std::string& s1, const std::string& s2) const;

 protected:
  // Called with true when the first BeginUpdate starts a batch and false when it ends.
  virtual void SetUpdateState(bool updating);
  [[noreturn]] static void Error(const char* msg, int data);

 private:
  int updateCount_ = 0;
};

class TStringList;
using TStringListSortCompare = std::function<int(TStringList& list, int index1, int index2)>;

class TStringList : public TStrings {
  TW_CLASS(TStringList, TStrings)
 public:
  TStringList() = default;
  ~TStringList() override;

  int GetCount() const override { return static_cast<int>(items_.size()); }
  std::string Get(int index) const override;
  // Direct access without a copy; same index check as Get.
  const std::string& StringRef(int index) const;
  void Put(int index, const std::string& s) override;
  std::intptr_t GetObject(int index) const override;
  void PutObject(int index, std::intptr_t object) override;
  void Clear() override;
  void Delete(int index) override;
  void Insert(int index, const std::string& s) override { InsertObject(index, s, 0); }
  void InsertObject(int index, const std::string& s, std::intptr_t object) override;
  using TStrings::InsertObject;
  int Add(const std::string& s) override;
  int AddObject(const std::string& s, std::intptr_t object) override;
  using TStrings::AddObject;
  void Exchange(int index1, int index2) override;

  // Binary search of a sorted list: true when found; `index` is the position of the first match,
  // or where the string would be inserted.
  virtual bool Find(const std::string& s, int& index) const;
  int IndexOf(const std::string& s) const override;
  virtual void Sort();
  virtual void CustomSort(const TStringListSortCompare& compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates value) { duplicates_ = value; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool value);
  int CompareStrings(const std::string& s1, const std::string& s2) const override;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void Changed();
  virtual void Changing();
  void SetUpdateState(bool updating) override;

 private:
  struct Item {
    std::string str;
    std::intptr_t object;
  };
  // Items live on their own so that inserting into a long list moves pointers, not strings.
  using ItemPtr = std::unique_ptr<Item>;
  void CheckIndex(int index) const;
  void InsertItem(int index, const std::string& s, std::intptr_t object);

  std::vector<ItemPtr> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};

}  // namespace tw
