// A list of short strings with an object per string, built on TqnList.  Sorted and
// case-sensitive after creation; a case-insensitive list folds only the ASCII letters.
#pragma once

#include <string>
#include <string_view>

#include "dbengine/base/qnlist.h"

namespace tw::dbengine {

class TqnStringList : public TPersistent {
  TW_CLASS(TqnStringList, TPersistent)
  TW_QN_POOLED
 public:
  TqnStringList();
  ~TqnStringList() override;

  int Count() const;
  // The string of entry Index (empty outside the list).
  std::string Strings(int Index) const;
  // The object of entry Index (nullptr outside the list); writing outside the list is ignored.
  void* Objects(int Index) const;
  void SetObjects(int Index, void* Object);

  // Adds S (cut to 255 characters); false / -1 when a sorted list holds it already.
  bool Insert(std::string_view S);
  int InsertPrim(std::string_view S);
  // Adds S with its object; the index, or -1 for a duplicate in a sorted list.
  int AddObject(std::string_view S, void* Object);
  int IndexOf(std::string_view S) const;
  void Delete(int Index);
  void Clear();

  bool CaseSensitive() const { return FCaseSensitive; }
  // Taken only while the list is empty.
  void SetCaseSensitive(bool Value);
  bool Sorted() const;
  void SetSorted(bool Value);
  void SetCapacity(int Value);

  // From a TqnStringList: empties this list, copies its case sensitivity and sortedness, then
  // its strings with their objects.  From the class library's TStrings: empties this list,
  // makes it unsorted and appends each string with its object.  Other sources: inherited.
  // Assigning to a TStrings clears it and adds each string with its object.
  void Assign(const TPersistent* Source) override;

  TqnList& List() { return *FList; }

 protected:
  void AssignTo(TPersistent* Dest) const override;

 private:
  bool FCaseSensitive = true;
  TqnList* FList;
  mutable TqnPadLock FPadLock;
};

}  // namespace tw::dbengine
