// The server's configuration: general settings, aliases, users and key-procedure libraries,
// and the list of folders that open databases use.  Filled at start-up from the system tables,
// the alias script and the options file (serveroptions.h), saved back at shutdown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dbengine/base/names.h"
#include "dbengine/base/padlock.h"
#include "dbengine/base/qnlist.h"
#include "dbengine/base/qnobject.h"
#include "dbengine/base/requestlimits.h"
#include "dbengine/base/shortstring.h"

namespace tw::dbengine {

// The transport a configuration asks for (the transports themselves live in
// dbengine/transport, which builds on this folder).
enum class TqnProtocolKind : std::uint8_t { SingleUser, NetBIOS, TCPIP, IPXSPX };

// Right bits of a user.
enum : std::uint8_t { qnrightBase = 1, qnrightRead = 2, qnrightInsert = 4, qnrightUpdate = 8, qnrightDelete = 16 };

// What a server grants the clients it serves (options file only): open connections; the bytes
// one request may announce (by default the largest request a valid client sends, worked out in
// requestlimits.h; a longer one is answered 9473 and its bytes passed over); the bytes held for
// unfinished requests and untaken replies of all connections together; the bytes one
// connection may leave untaken beside the reply it is being sent, and how long (ms) its
// replies may wait untaken, before it is hung up; how long (ms) a connection may stay open
// without its client attaching.
struct TqnCommsLimits {
  int MaxConnections = 256;
  std::uint32_t MaxMessageSize = kQnLargestRequest;
  std::size_t Memory = 64u * 1024u * 1024u;
  std::size_t ReplyQueueSize = 1024u * 1024u;
  std::uint32_t ReplyTimeOut = 30000;
  std::uint32_t AttachTimeOut = 5000;
};

struct TqnGeneralInfo {
  TqnName ServerName;
  std::uint32_t MaxRAMPages = 500;
  TqnProtocolKind Protocol = TqnProtocolKind::SingleUser;
  std::int32_t TCPPort = 25952;
  std::int32_t UDPPortSr = 25952;
  std::int32_t UDPPortCl = 25953;
  std::int32_t IPXSocketSr = 25952;
  std::int32_t IPXSocketCl = 25953;
  std::int32_t SPXSocket = 25954;
  bool IsSecure = false;
  bool AutoUp = false;
  bool AutoMini = false;
  bool DebugLog = false;      // the server logs its requests (options file only)
  bool DebugLogData = false;  // ... with the bytes of records, keys and BLOBs
  bool Broadcasts = true;
  bool UseEncrypt = false;
  bool ReadOnly = false;
  TqnCommsLimits Comms;
};

class TqnAliasItem : public TqnUCStrListItem {
  TW_CLASS(TqnAliasItem, TqnUCStrListItem)
 public:
  // Path is expanded to an absolute path.
  TqnAliasItem(std::string_view Alias, std::string_view Path);
  ~TqnAliasItem() override;
  std::string Alias() const { return TqnName(Text()).Str(); }
  std::string Path() const { return TqnPath(QNShStrView(FPath)).Str(); }

 private:
  const std::uint8_t* FPath;
};

class TqnUserItem : public TqnUCStrListItem {
  TW_CLASS(TqnUserItem, TqnUCStrListItem)
 public:
  TqnUserItem(std::string_view UserID, std::string_view FirstName, std::string_view LastName, std::uint32_t PwdHash,
              std::uint8_t Rights);
  ~TqnUserItem() override;
  std::string UserID() const { return TqnName(Text()).Str(); }
  std::string FirstName() const { return TqnName(QNShStrView(FFirstName)).Str(); }
  std::string LastName() const { return TqnName(QNShStrView(FLastName)).Str(); }
  std::uint32_t PwdHash() const { return FPwdHash; }
  std::uint8_t Rights() const { return FRights; }

 private:
  const std::uint8_t* FFirstName;
  const std::uint8_t* FLastName;
  std::uint32_t FPwdHash;
  std::uint8_t FRights;
};

// A library of user-defined key routines for one index of one table.  Key: the table's data
// file path, "|" and the index number (compared as it stands; entries are found by `Matches`).
class TqnKeyProcItem : public TqnStrListItem {
  TW_CLASS(TqnKeyProcItem, TqnStrListItem)
 public:
  TqnKeyProcItem(std::string_view Path, std::string_view TableName, std::int32_t IndexID, std::string_view DLLName,
                 std::string_view BuildKeyName, std::string_view CompareKeyName);
  ~TqnKeyProcItem() override;
  static std::string MakeKey(std::string_view Path, std::string_view TableName, std::int32_t IndexID);
  // True for the entry of index IndexID of table TableName (in any case) in the folder Path:
  // the folder told apart as the folder list does, by the directory it names (any spelling of
  // it, a link, trailing separators), a path that names no directory only by its own spelling.
  bool Matches(std::string_view Path, std::string_view TableName, std::int32_t IndexID) const;

  // Unloads, then loads the library and looks up both routines; false (and nothing loaded)
  // unless all three were found.
  bool Load();
  void Unload();

  std::int32_t IndexID() const { return FIndexID; }
  std::string DLLName() const { return std::string(QNShStrView(FDLLName)); }
  std::string BuildKeyName() const { return TqnName(QNShStrView(FBuildKeyName)).Str(); }
  std::string CompareKeyName() const { return TqnName(QNShStrView(FCompareKeyName)).Str(); }
  std::string Path() const { return TqnPath(QNShStrView(FPath)).Str(); }
  std::string TableName() const { return std::string(QNShStrView(FTableName)); }
  void* BuildKey() const { return FBuildKey; }
  void* CompareKey() const { return FCompareKey; }
  bool Loaded() const { return FDLLHandle != nullptr; }

 private:
  std::int32_t FIndexID;
  const std::uint8_t* FDLLName;
  void* FBuildKey = nullptr;
  const std::uint8_t* FBuildKeyName;
  void* FCompareKey = nullptr;
  const std::uint8_t* FCompareKeyName;
  const std::uint8_t* FPath;
  const std::uint8_t* FTableName;
  void* FDLLHandle = nullptr;
};

class TqnAliasList : public TqnObject {
  TW_CLASS(TqnAliasList, TqnObject)
 public:
  bool Insert(TqnAliasItem* Item);  // false (item freed) for a duplicate name
  bool Exists(std::string_view Alias) const;
  int Count() const { return FList.Count(); }
  void Delete(std::string_view Alias);
  void Empty() { FList.Empty(); }
  TqnAliasItem* Items(int Index) const { return FList.ItemAs<TqnAliasItem>(Index); }
  // The alias's path, empty for an unknown alias.
  std::string GetPath(std::string_view Alias) const;

 private:
  TqnList FList;
};

class TqnUserList : public TqnObject {
  TW_CLASS(TqnUserList, TqnObject)
 public:
  bool Insert(TqnUserItem* Item);
  bool Exists(std::string_view UserID) const { return IndexOf(UserID) >= 0; }
  int IndexOf(std::string_view UserID) const;
  int Count() const { return FList.Count(); }
  void Empty() { FList.Empty(); }
  TqnUserItem* Items(int Index) const { return FList.ItemAs<TqnUserItem>(Index); }
  // 0 for an empty user id, 0xFFFFFFFF for an unknown one.
  std::uint32_t UserPwdHash(std::string_view UserID) const;

 private:
  TqnList FList;
};

class TqnKeyProcList : public TqnObject {
  TW_CLASS(TqnKeyProcList, TqnObject)
 public:
  bool Insert(TqnKeyProcItem* Item);
  void Delete(std::string_view Path, std::string_view TableName, std::int32_t IndexID);
  void Empty() { FList.Empty(); }
  int Count() const { return FList.Count(); }
  TqnKeyProcItem* Items(int Index) const { return FList.ItemAs<TqnKeyProcItem>(Index); }
  bool Exists(std::string_view Path, std::string_view TableName, std::int32_t IndexID) const {
    return IndexOf(Path, TableName, IndexID) >= 0;
  }
  // The entry that `Matches`; -1 when none does.
  int IndexOf(std::string_view Path, std::string_view TableName, std::int32_t IndexID) const;

 private:
  TqnList FList;
};

class TqnServerConfiguration : public TqnObject {
  TW_CLASS(TqnServerConfiguration, TqnObject)
 public:
  TqnServerConfiguration();
  ~TqnServerConfiguration() override;

  TqnAliasList& AliasList() { return *FAliasList; }
  TqnGeneralInfo& GeneralInfo() { return FGeneralInfo; }
  TqnKeyProcList& KeyProcList() { return *FKeyProcList; }
  TqnUserList& UserList() { return *FUserList; }

  // A duplicate (in any letter case) is not added, nor a folder that expands to more than 219
  // characters; the result tells whether it was.
  bool AddAlias(std::string_view Alias, std::string_view Path);
  bool AddUser(std::string_view UserID, std::string_view LastName, std::uint8_t Rights, std::uint32_t PwdHash,
               std::string_view FirstName);
  bool AddKeyProc(std::string_view Path, std::string_view TableName, std::int32_t IndexID, std::string_view DLLName,
                  std::string_view BuildKeyName, std::string_view CompareKeyName);

  void Lock() { FPadLock.Lock(); }
  void Unlock() { FPadLock.Unlock(); }

 private:
  TqnAliasList* FAliasList;
  TqnGeneralInfo FGeneralInfo;
  TqnKeyProcList* FKeyProcList;
  TqnUserList* FUserList;
  TqnPadLock FPadLock;
};

// A folder in use by open databases, shared and counted.  Its id is a registry id.  A folder is
// a directory: every spelling of the directory (case, links, separators) names the same folder,
// and it is reached by one path, the directory's own with every link resolved.
class TqnSrFolder : public TqnSelfListItem {
  TW_CLASS(TqnSrFolder, TqnSelfListItem)
 public:
  explicit TqnSrFolder(std::string_view Path);
  // The folder of directory Directory, opened by Path.
  TqnSrFolder(std::string_view Path, const TqnFileKey& Directory);
  ~TqnSrFolder() override;
  // The directory's path, its links resolved, as it was first named, or as it was named last
  // after it had left that path (renamed while in use).
  std::string Path() const { return TqnPath(QNShStrView(FPath)).Str(); }
  std::uint32_t PathHash() const { return FPathHash; }
  // The directory's device and inode when the folder was first named; false (and no key) for
  // a path that named no directory.
  bool DirectoryKey(TqnFileKey& Key) const {
    Key = FDirectory;
    return FIsDirectory;
  }
  int RefCount() const { return FRefCount; }
  void IncRefCount() { ++FRefCount; }
  bool DecRefCount() { return --FRefCount <= 0; }

 private:
  friend class TqnSrFolderList;
  TqnFileKey FDirectory;
  bool FIsDirectory;
  std::string FKey;  // the directory's device and inode (or, for no directory, the path)
  std::uint32_t FPathHash = 0;
  const std::uint8_t* FPath;
  int FRefCount = 0;
};

class TqnSrFolderList : public TqnObject {
  TW_CLASS(TqnSrFolderList, TqnObject)
 public:
  // The folder of the directory Path names, made when missing; its count grows by 1.  A folder
  // whose path no longer leads to its directory takes Path's from here on.
  TqnSrFolder* AddFolder(std::string_view Path);
  // The same for the directory Directory that Path was opened as: the folder is found by the
  // directory alone, never by a second look at Path.
  TqnSrFolder* AddFolder(std::string_view Path, const TqnFileKey& Directory);
  int IndexOfPath(std::string_view Path) const;
  // Drops one reference; at 0 the folder is freed.  Unknown or stale ids are ignored.
  void RemoveFolder(std::uint32_t FolderID);
  int Count() const { return FList.Count(); }
  TqnSrFolder* Items(int Index) const { return FList.ItemAs<TqnSrFolder>(Index); }

 private:
  TqnList FList;
};

}  // namespace tw::dbengine
