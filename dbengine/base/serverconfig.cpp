#include "dbengine/base/serverconfig.h"

#include <dlfcn.h>

#include "dbengine/base/elfhash.h"
#include "dbengine/base/names.h"

namespace tw::dbengine {

namespace {
// What tells folders apart: the directory a path names (device and inode), so that every
// spelling of one directory meets and two directories never do; a path that names no directory
// matches only its own expanded spelling.
std::string FolderMatchKey(std::string_view Resolved, const TqnFileKey* Directory) {
  if (Directory != nullptr) return "dir " + std::to_string(Directory->Device) + " " + std::to_string(Directory->Inode);
  return "path " + std::string(Resolved);
}
std::string FolderMatchKey(std::string_view Resolved) {
  TqnFileKey key;
  return FolderMatchKey(Resolved, QNDirectoryKeyOf(Resolved, key) ? &key : nullptr);
}

// The table's file name as the key-procedure entries compare it: ASCII letters in upper case.
std::string TableFileKey(std::string_view TableName) {
  std::string n = QNMakeFileNameExt(TableName, "QND");
  for (char& ch : n)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return n;
}
}  // namespace

// ---- Items ---------------------------------------------------------------------------------

TqnAliasItem::TqnAliasItem(std::string_view Alias, std::string_view Path)
    : TqnUCStrListItem(TqnName(Alias).View()), FPath(QNShStrAlloc(QNExpandUNCFileName(Path))) {}

TqnAliasItem::~TqnAliasItem() { QNShStrFree(FPath); }

TqnUserItem::TqnUserItem(std::string_view UserID, std::string_view FirstName, std::string_view LastName,
                         std::uint32_t PwdHash, std::uint8_t Rights)
    : TqnUCStrListItem(TqnName(UserID).View()),
      FFirstName(QNShStrAlloc(FirstName)),
      FLastName(QNShStrAlloc(LastName)),
      FPwdHash(PwdHash),
      FRights(Rights) {}

TqnUserItem::~TqnUserItem() {
  QNShStrFree(FFirstName);
  QNShStrFree(FLastName);
}

std::string TqnKeyProcItem::MakeKey(std::string_view Path, std::string_view TableName, std::int32_t IndexID) {
  std::string full = QNMakeFullPath(QNExpandUNCFileName(Path), QNMakeFileNameExt(TableName, "QND"));
  full += '|';
  full += std::to_string(IndexID).substr(0, 9);
  return ShortString(full).Str();
}

TqnKeyProcItem::TqnKeyProcItem(std::string_view Path, std::string_view TableName, std::int32_t IndexID,
                               std::string_view DLLName, std::string_view BuildKeyName,
                               std::string_view CompareKeyName)
    : TqnStrListItem(MakeKey(Path, TableName, IndexID)),
      FIndexID(IndexID),
      FDLLName(QNShStrAlloc(DLLName)),
      FBuildKeyName(QNShStrAlloc(BuildKeyName)),
      FCompareKeyName(QNShStrAlloc(CompareKeyName)),
      FPath(QNShStrAlloc(QNExpandUNCFileName(Path))),
      FTableName(QNShStrAlloc(TableName)) {}

TqnKeyProcItem::~TqnKeyProcItem() {
  Unload();
  QNShStrFree(FDLLName);
  QNShStrFree(FBuildKeyName);
  QNShStrFree(FCompareKeyName);
  QNShStrFree(FPath);
  QNShStrFree(FTableName);
}

bool TqnKeyProcItem::Matches(std::string_view Path, std::string_view TableName, std::int32_t IndexID) const {
  // The directory is looked at now: a folder made, or a link changed, since the entry was
  // added counts as it is.
  return IndexID == FIndexID && TableFileKey(TableName) == TableFileKey(QNShStrView(FTableName)) &&
         FolderMatchKey(QNResolveFolder(Path)) == FolderMatchKey(QNResolveFolder(QNShStrView(FPath)));
}

bool TqnKeyProcItem::Load() {
  Unload();
  const std::string lib = DLLName();
  if (lib.empty()) return false;
  void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) return false;
  FDLLHandle = h;
  FBuildKey = dlsym(h, BuildKeyName().c_str());
  FCompareKey = FBuildKey ? dlsym(h, CompareKeyName().c_str()) : nullptr;
  if (FBuildKey == nullptr || FCompareKey == nullptr) {
    Unload();
    return false;
  }
  return true;
}

void TqnKeyProcItem::Unload() {
  if (FDLLHandle) dlclose(FDLLHandle);
  FDLLHandle = nullptr;
  FBuildKey = nullptr;
  FCompareKey = nullptr;
}

// ---- Lists ---------------------------------------------------------------------------------

namespace {
template <typename Item>
bool InsertOrFree(TqnList& List, Item* I) {
  if (List.Insert(I)) return true;
  delete I;
  return false;
}
}  // namespace

bool TqnAliasList::Insert(TqnAliasItem* Item) { return InsertOrFree(FList, Item); }

bool TqnAliasList::Exists(std::string_view Alias) const {
  const TqnName k(Alias);
  return FList.Exists(QNKeyOf(ShortString(k.View())));
}

void TqnAliasList::Delete(std::string_view Alias) { FList.Delete(QNKeyOf(ShortString(TqnName(Alias).View()))); }

std::string TqnAliasList::GetPath(std::string_view Alias) const {
  const int i = FList.IndexOf(QNKeyOf(ShortString(TqnName(Alias).View())));
  return i < 0 ? std::string() : FList.ItemAs<TqnAliasItem>(i)->Path();
}

bool TqnUserList::Insert(TqnUserItem* Item) { return InsertOrFree(FList, Item); }

int TqnUserList::IndexOf(std::string_view UserID) const {
  return FList.IndexOf(QNKeyOf(ShortString(TqnName(UserID).View())));
}

std::uint32_t TqnUserList::UserPwdHash(std::string_view UserID) const {
  if (UserID.empty()) return 0;
  const int i = IndexOf(UserID);
  return i < 0 ? 0xFFFFFFFFu : FList.ItemAs<TqnUserItem>(i)->PwdHash();
}

bool TqnKeyProcList::Insert(TqnKeyProcItem* Item) { return InsertOrFree(FList, Item); }

int TqnKeyProcList::IndexOf(std::string_view Path, std::string_view TableName, std::int32_t IndexID) const {
  for (int i = 0; i < FList.Count(); ++i)
    if (FList.ItemAs<TqnKeyProcItem>(i)->Matches(Path, TableName, IndexID)) return i;
  return -1;
}

void TqnKeyProcList::Delete(std::string_view Path, std::string_view TableName, std::int32_t IndexID) {
  const int i = IndexOf(Path, TableName, IndexID);
  if (i >= 0) FList.DeleteAt(i);
}

// ---- Configuration --------------------------------------------------------------------------

TqnServerConfiguration::TqnServerConfiguration()
    : FAliasList(new TqnAliasList), FKeyProcList(new TqnKeyProcList), FUserList(new TqnUserList) {}

TqnServerConfiguration::~TqnServerConfiguration() {
  delete FAliasList;
  delete FKeyProcList;
  delete FUserList;
}

bool TqnServerConfiguration::AddAlias(std::string_view Alias, std::string_view Path) {
  TqnPadLockGuard g(FPadLock);
  if (FAliasList->Exists(Alias)) return false;
  // An alias keeps at most 219 characters of folder: one that expands to more is refused, as
  // a longer folder cut would name another.
  if (QNExpandUNCFileName(Path).size() > kQnMaxPath) return false;
  return FAliasList->Insert(new TqnAliasItem(Alias, Path));
}

bool TqnServerConfiguration::AddUser(std::string_view UserID, std::string_view LastName, std::uint8_t Rights,
                                     std::uint32_t PwdHash, std::string_view FirstName) {
  TqnPadLockGuard g(FPadLock);
  if (FUserList->Exists(UserID)) return false;
  return FUserList->Insert(new TqnUserItem(UserID, FirstName, LastName, PwdHash, Rights));
}

bool TqnServerConfiguration::AddKeyProc(std::string_view Path, std::string_view TableName, std::int32_t IndexID,
                                        std::string_view DLLName, std::string_view BuildKeyName,
                                        std::string_view CompareKeyName) {
  TqnPadLockGuard g(FPadLock);
  if (FKeyProcList->Exists(Path, TableName, IndexID)) return false;
  return FKeyProcList->Insert(
      new TqnKeyProcItem(Path, TableName, IndexID, DLLName, BuildKeyName, CompareKeyName));
}

// ---- Folders --------------------------------------------------------------------------------

TqnSrFolder::TqnSrFolder(std::string_view Path)
    : FIsDirectory(QNDirectoryKeyOf(Path, FDirectory)),
      FPath(QNShStrAlloc(TqnPath(QNRealFolder(Path)).View())) {
  FKey = FolderMatchKey(QNResolveFolder(Path), FIsDirectory ? &FDirectory : nullptr);
  FPathHash = ElfHashShortString(FKey);
}

TqnSrFolder::TqnSrFolder(std::string_view Path, const TqnFileKey& Directory)
    : FDirectory(Directory), FIsDirectory(true), FPath(QNShStrAlloc(TqnPath(QNRealFolder(Path)).View())) {
  FKey = FolderMatchKey(std::string_view(), &FDirectory);
  FPathHash = ElfHashShortString(FKey);
}

TqnSrFolder::~TqnSrFolder() { QNShStrFree(FPath); }

int TqnSrFolderList::IndexOfPath(std::string_view Path) const {
  const std::string key = FolderMatchKey(QNResolveFolder(Path));
  const std::uint32_t hash = ElfHashShortString(key);
  for (int i = 0; i < FList.Count(); ++i) {
    TqnSrFolder* f = FList.ItemAs<TqnSrFolder>(i);
    if (f->FPathHash == hash && f->FKey == key) return i;
  }
  return -1;
}

TqnSrFolder* TqnSrFolderList::AddFolder(std::string_view Path) {
  TqnPadLockGuard g(FList.PadLock());
  const int i = IndexOfPath(Path);
  TqnSrFolder* f = i >= 0 ? FList.ItemAs<TqnSrFolder>(i) : nullptr;
  TqnFileKey there;
  if (f == nullptr) {
    f = new TqnSrFolder(Path);
    FList.Insert(f);
  } else if (f->FIsDirectory && !(QNDirectoryKeyOf(f->Path(), there) && there == f->FDirectory)) {
    // Renamed while in use, and named by its new path: that is its path from here on.
    QNShStrFree(f->FPath);
    f->FPath = QNShStrAlloc(TqnPath(QNRealFolder(Path)).View());
  }
  f->IncRefCount();
  return f;
}

TqnSrFolder* TqnSrFolderList::AddFolder(std::string_view Path, const TqnFileKey& Directory) {
  TqnPadLockGuard g(FList.PadLock());
  const std::string key = FolderMatchKey(std::string_view(), &Directory);
  const std::uint32_t hash = ElfHashShortString(key);
  TqnSrFolder* f = nullptr;
  for (int i = 0; i < FList.Count() && f == nullptr; ++i) {
    TqnSrFolder* c = FList.ItemAs<TqnSrFolder>(i);
    if (c->FPathHash == hash && c->FKey == key) f = c;
  }
  TqnFileKey there;
  if (f == nullptr) {
    f = new TqnSrFolder(Path, Directory);
    FList.Insert(f);
  } else if (!(QNDirectoryKeyOf(f->Path(), there) && there == Directory)) {
    // Renamed while in use, and named by its new path: that is how it is named from here on.
    QNShStrFree(f->FPath);
    f->FPath = QNShStrAlloc(TqnPath(QNRealFolder(Path)).View());
  }
  f->IncRefCount();
  return f;
}

void TqnSrFolderList::RemoveFolder(std::uint32_t FolderID) {
  TqnPadLockGuard g(FList.PadLock());
  const std::int32_t key = static_cast<std::int32_t>(FolderID);
  const int i = FList.IndexOf(QNKeyOf(key));
  if (i < 0) return;
  if (FList.ItemAs<TqnSrFolder>(i)->DecRefCount()) FList.DeleteAt(i);
}

}  // namespace tw::dbengine
