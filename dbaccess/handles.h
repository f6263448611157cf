// Handle objects and their owning collections.  Every object handed out as a handle (engine,
// session, database, cursor, filter, configuration node, in-memory record) is a TBapiListItem:
// it takes a 32-bit id from a process registry (never 0, not reused while the count has not
// wrapped), keeps the result of its last operation, and removes itself from its owner
// collection when freed.  A stale or foreign id resolves to nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbaccess/dbitypes.h"
#include "platform/classes/object.h"

namespace tw::dbaccess {

class TTitanCollection;

class TBapiListItem : public TObject {
  TW_CLASS(TBapiListItem, TObject)
 public:
  TBapiListItem(TTitanCollection* Owner, TBapiListItem* Parent);
  ~TBapiListItem() override;
  TBapiListItem(const TBapiListItem&) = delete;
  TBapiListItem& operator=(const TBapiListItem&) = delete;

  hDBIObj Handle() const { return FHandle; }
  TBapiListItem* Parent() const { return FParent; }
  TTitanCollection* OwnerCollection() const { return FOwner; }
  DBIResult Result() const { return FResult; }
  DBIResult SetResult(DBIResult R) { FResult = R; return R; }
  bool IsOK() const { return FResult == DBIERR_NONE; }
  int IndexInOwner() const;

  // Property read and write of the handle object; the base has none.
  virtual DBIResult GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len);
  virtual DBIResult SetProp(std::uint32_t Prop, std::uintptr_t Value);

  // 12289, quietly; with a call word, after the "not supported" message.
  DBIResult NotSupported();
  DBIResult ReportNotSupported(const char* CallWord);
  // The query variant: the message, but the kept result is left alone.
  DBIResult ReportQueryNotSupported(const char* CallWord);

  // The live object of a handle id, nullptr for 0, a stale or a foreign id.
  static TBapiListItem* FromHandle(hDBIObj H);
  template <typename T>
  static T* Resolve(hDBIObj H) { return dynamic_cast<T*>(FromHandle(H)); }

 protected:
  // Sets the owner after construction (items whose sort key is known only then).
  void AttachOwner(TTitanCollection* Owner);

 private:
  friend class TTitanCollection;
  hDBIObj FHandle;
  TBapiListItem* FParent;
  TTitanCollection* FOwner;
  DBIResult FResult = DBIERR_NONE;
};

// An owning list of objects in insertion order: freeing the collection frees its items, the
// last first.
class TTitanCollection : public TObject {
  TW_CLASS(TTitanCollection, TObject)
 public:
  TTitanCollection() = default;
  ~TTitanCollection() override;
  TTitanCollection(const TTitanCollection&) = delete;
  TTitanCollection& operator=(const TTitanCollection&) = delete;

  [[noreturn]] virtual void Error();
  virtual void FreeItem(TObject* Item);
  virtual int IndexOf(const TObject* Item) const;
  virtual void Insert(TObject* Item);

  int Count() const { return static_cast<int>(FItems.size()); }
  // The item at Index, nullptr outside the collection.
  TObject* At(int Index) const;
  // The item at Index; raises EListError outside the collection.
  TObject* Items(int Index) const;
  void AtInsert(int Index, TObject* Item);
  void AtPut(int Index, TObject* Item);
  void AtDelete(int Index);
  void Delete(TObject* Item);
  void FreeAll();

 protected:
  std::vector<TObject*> FItems;
};

// A sorted owning list with binary search; descendants give the order.
class TSortedCollection : public TTitanCollection {
  TW_CLASS(TSortedCollection, TTitanCollection)
 public:
  bool Duplicates = true;
  void Insert(TObject* Item) override;
  virtual const void* KeyOf(const TObject* Item) const { return Item; }
  virtual int Compare(const void* Key1, const void* Key2) const = 0;
  bool Search(const void* Key, int& Index) const;
};

// ---- Byte and text routines -------------------------------------------------------------
int CompareBytes(const void* A, const void* B, std::size_t Length);
std::string AppendChar(const std::string& S, char C);
// S ending in a folder separator: a backslash appended unless it ends in one of either kind.
std::string WithTrailingBackslash(const std::string& S);
bool AllZero(const void* Block, std::uint16_t Length);
std::string StripChar(const std::string& S, char C);
bool IsPathName(const std::string& Text, bool AllowDot);
std::string CutAt(const std::string& Text, char C);
// Copies at most MaxLen characters of Text into Dest and terminates it (Dest holds MaxLen + 1).
void CopyText(char* Dest, const std::string& Text, std::size_t MaxLen);
inline std::string TextOf(const char* Z) { return Z ? std::string(Z) : std::string(); }
bool SameTextAnsi(const std::string& A, const std::string& B);

}  // namespace tw::dbaccess
