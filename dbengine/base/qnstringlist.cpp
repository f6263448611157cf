#include "dbengine/base/qnstringlist.h"

#include "platform/classes/stringlist.h"

namespace tw::dbengine {

TqnStringList::TqnStringList() : FList(new TqnList) {}

TqnStringList::~TqnStringList() { delete FList; }

int TqnStringList::Count() const { return FList->Count(); }

std::string TqnStringList::Strings(int Index) const {
  TqnPadLockGuard guard(FPadLock);
  auto* item = FList->ItemAs<TqnStrListItem>(Index);
  return item ? std::string(item->Text()) : std::string();
}

void* TqnStringList::Objects(int Index) const {
  TqnPadLockGuard guard(FPadLock);
  auto* item = FList->ItemAs<TqnStrListItem>(Index);
  return item ? item->ExtraData : nullptr;
}

void TqnStringList::SetObjects(int Index, void* Object) {
  TqnPadLockGuard guard(FPadLock);
  if (auto* item = FList->ItemAs<TqnStrListItem>(Index)) item->ExtraData = Object;
}

int TqnStringList::InsertPrim(std::string_view S) { return AddObject(S, nullptr); }

bool TqnStringList::Insert(std::string_view S) { return InsertPrim(S) >= 0; }

int TqnStringList::AddObject(std::string_view S, void* Object) {
  TqnPadLockGuard guard(FPadLock);
  TqnStrListItem* item = FCaseSensitive ? new TqnStrListItem(S) : new TqnUCStrListItem(S);
  item->ExtraData = Object;
  const int index = FList->InsertPrim(item);
  if (index < 0) delete item;
  return index;
}

int TqnStringList::IndexOf(std::string_view S) const {
  TqnPadLockGuard guard(FPadLock);
  const ShortString key(S);
  return FList->IndexOf(key.Bytes());
}

void TqnStringList::Delete(int Index) {
  TqnPadLockGuard guard(FPadLock);
  FList->DeleteAt(Index);
}

void TqnStringList::Clear() {
  TqnPadLockGuard guard(FPadLock);
  FList->Empty();
}

void TqnStringList::SetCaseSensitive(bool Value) {
  TqnPadLockGuard guard(FPadLock);
  if (FList->IsEmpty()) FCaseSensitive = Value;
}

bool TqnStringList::Sorted() const { return FList->Sorted(); }

void TqnStringList::SetSorted(bool Value) { FList->SetSorted(Value); }

void TqnStringList::SetCapacity(int Value) { FList->SetCapacity(Value); }

void TqnStringList::Assign(const TPersistent* Source) {
  if (Source != nullptr && Source->Is<TqnStringList>()) {
    const auto* src = static_cast<const TqnStringList*>(Source);
    if (src == this) return;
    TqnPadLockGuard guard(FPadLock);
    TqnPadLockGuard srcGuard(src->FPadLock);
    FList->Empty();
    FCaseSensitive = src->FCaseSensitive;
    FList->SetSorted(src->Sorted());
    for (int i = 0; i < src->Count(); ++i) AddObject(src->Strings(i), src->Objects(i));
    return;
  }
  if (Source != nullptr && Source->Is<TStrings>()) {
    const auto* src = static_cast<const TStrings*>(Source);
    TqnPadLockGuard guard(FPadLock);
    FList->Empty();
    FList->SetSorted(false);
    for (int i = 0; i < src->Count(); ++i)
      AddObject(src->Strings(i), reinterpret_cast<void*>(src->Objects(i)));
    return;
  }
  TPersistent::Assign(Source);
}

void TqnStringList::AssignTo(TPersistent* Dest) const {
  if (Dest != nullptr && Dest->Is<TqnStringList>()) {
    Dest->Assign(this);
    return;
  }
  if (Dest != nullptr && Dest->Is<TStrings>()) {
    auto* dst = static_cast<TStrings*>(Dest);
    TqnPadLockGuard guard(FPadLock);
    dst->Clear();
    for (int i = 0; i < Count(); ++i) dst->AddObject(Strings(i), reinterpret_cast<std::intptr_t>(Objects(i)));
    return;
  }
  TPersistent::AssignTo(Dest);
}

}  // namespace tw::dbengine
