// The server configuration's lists, the folder list and the key-procedure libraries.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "dbengine/base/names.h"
#include "dbengine/base/serverconfig.h"

namespace tw::dbengine {
namespace {

// A fresh scratch folder (Prefix and the process id) holding the directory Name and a
// symbolic link "link" to it.
std::filesystem::path DirectoryWithLink(const std::string& Prefix, const std::string& Name) {
  const std::filesystem::path base = std::filesystem::temp_directory_path() / (Prefix + std::to_string(::getpid()));
  std::filesystem::remove_all(base);
  std::filesystem::create_directories(base / Name);
  std::filesystem::create_directory_symlink(base / Name, base / "link");
  return base;
}

TEST(ServerConfiguration, StartsWithTheDocumentedSettings) {
  TqnServerConfiguration c;
  const TqnGeneralInfo& g = c.GeneralInfo();
  EXPECT_TRUE(g.ServerName.IsEmpty());
  EXPECT_EQ(g.MaxRAMPages, 500u);
  EXPECT_EQ(g.Protocol, TqnProtocolKind::SingleUser);
  EXPECT_EQ(g.TCPPort, 25952);
  EXPECT_EQ(g.UDPPortSr, 25952);
  EXPECT_EQ(g.UDPPortCl, 25953);
  EXPECT_EQ(g.IPXSocketSr, 25952);
  EXPECT_EQ(g.IPXSocketCl, 25953);
  EXPECT_EQ(g.SPXSocket, 25954);
  EXPECT_TRUE(g.Broadcasts);
  EXPECT_FALSE(g.IsSecure || g.AutoUp || g.AutoMini || g.DebugLog || g.UseEncrypt || g.ReadOnly);
}

TEST(ServerConfiguration, AliasesAreUniqueWithoutRegardToCaseAndTheirFoldersFit) {
  TqnServerConfiguration c;
  EXPECT_TRUE(c.AddAlias("MyData", "/tmp"));
  EXPECT_FALSE(c.AddAlias("MYDATA", "/var"));
  EXPECT_EQ(c.AliasList().Count(), 1);
  EXPECT_EQ(c.AliasList().GetPath("mydata"), "/tmp");
  EXPECT_EQ(c.AliasList().GetPath("unknown"), "");
  EXPECT_EQ(c.AliasList().Items(0)->Alias(), "MyData");
  // A folder longer than an alias keeps is refused, not cut to another folder.
  EXPECT_FALSE(c.AddAlias(std::string(40, 'A'), "/" + std::string(219, 'p')));
  EXPECT_TRUE(c.AddAlias(std::string(40, 'A'), "/" + std::string(218, 'p')));
  EXPECT_EQ(c.AliasList().GetPath(std::string(31, 'a')), "/" + std::string(218, 'p'));
  c.AliasList().Delete("MYDATA");
  EXPECT_FALSE(c.AliasList().Exists("MyData"));
}

TEST(ServerConfiguration, UsersAndTheirPasswordHashes) {
  TqnServerConfiguration c;
  EXPECT_TRUE(c.AddUser("admin", "Smith", 31, 0xABCD, "Ann"));
  EXPECT_FALSE(c.AddUser("ADMIN", "Other", 2, 1, ""));
  EXPECT_EQ(c.UserList().UserPwdHash(""), 0u);
  EXPECT_EQ(c.UserList().UserPwdHash("nobody"), 0xFFFFFFFFu);
  EXPECT_EQ(c.UserList().UserPwdHash("Admin"), 0xABCDu);
  const TqnUserItem* u = c.UserList().Items(c.UserList().IndexOf("admin"));
  EXPECT_EQ(u->LastName(), "Smith");
  EXPECT_EQ(u->FirstName(), "Ann");
  EXPECT_EQ(u->Rights(), 31);
}

// A key-procedure entry names its folder as the folder list tells folders apart: every
// spelling of the entry's directory (a link to it, another case when only it answers, trailing
// separators) finds the entry, another directory never does, even one whose name differs only
// in case; the table name is found in any case, the index number exactly.
TEST(ServerConfiguration, KeyProceduresAreFoundByTheirFoldersDirectoryTableAndIndex) {
  const std::filesystem::path base = DirectoryWithLink("tw_keyprocs_", "data");
  const std::string b = base.string();
  TqnServerConfiguration c;
  TqnKeyProcList& l = c.KeyProcList();
  // Registered under the link: found through the real path, and the other way round.
  EXPECT_TRUE(c.AddKeyProc(b + "/link", "Texts", 3, "libkeys.so", "Build", "Compare"));
  for (const std::string& p : {b + "/data", b + "/link", b + "/data/", b + "\\DATA", b + "/./Link//"})
    EXPECT_TRUE(l.Exists(p, "texts", 3)) << p;
  EXPECT_FALSE(l.Exists(b + "/data", "texts", 4));
  EXPECT_FALSE(l.Exists(b + "/data", "Text", 3));
  EXPECT_FALSE(c.AddKeyProc(b + "/DATA/", "TEXTS", 3, "other.so", "B", "C")) << "the same directory and table";
  EXPECT_EQ(l.Items(l.IndexOf(b + "/data", "Texts", 3))->DLLName(), "libkeys.so");
  EXPECT_TRUE(c.AddKeyProc(b + "/data", "Codes", 1, "libcodes.so", "Build", "Compare"));
  EXPECT_TRUE(l.Exists(b + "/link", "CODES", 1)) << "registered under the real path, found through the link";

  // Another directory whose name differs only in case: entries of its own both ways.
  std::filesystem::create_directories(base / "DATA");
  EXPECT_FALSE(l.Exists(b + "/DATA", "Texts", 3)) << "not the entry of data";
  EXPECT_TRUE(c.AddKeyProc(b + "/DATA", "Texts", 3, "upper.so", "Build", "Compare"));
  EXPECT_EQ(l.Items(l.IndexOf(b + "/DATA", "Texts", 3))->DLLName(), "upper.so");
  EXPECT_EQ(l.Items(l.IndexOf(b + "/link", "Texts", 3))->DLLName(), "libkeys.so");
  l.Delete(b + "/DATA/", "texts", 3);
  EXPECT_FALSE(l.Exists(b + "/DATA", "Texts", 3));
  EXPECT_TRUE(l.Exists(b + "/data", "Texts", 3)) << "deleting the other directory's entry leaves this one";
  l.Delete(b + "/link", "TEXTS", 3);
  EXPECT_FALSE(l.Exists(b + "/data", "Texts", 3));
  EXPECT_EQ(l.Count(), 1);

  // A folder that names no directory matches only its own spelling.
  EXPECT_TRUE(c.AddKeyProc(b + "/missing", "T", 1, "m.so", "B", "C"));
  EXPECT_TRUE(l.Exists(b + "/missing/", "t", 1));
  EXPECT_FALSE(l.Exists(b + "/MISSING", "T", 1));
  EXPECT_EQ(TqnKeyProcItem::MakeKey("/data/x", "Texts", 3), "/data/x/Texts.QND|3");
  std::filesystem::remove_all(base);
}

TEST(ServerConfiguration, KeyProcedureLoadsOnlyWithBothRoutines) {
  // The C library holds "strcmp" and "strlen" but not "NoSuchRoutine".
  TqnKeyProcItem good("/x", "T", 1, "libc.so.6", "strlen", "strcmp");
  EXPECT_TRUE(good.Load());
  EXPECT_TRUE(good.Loaded());
  EXPECT_NE(good.BuildKey(), nullptr);
  good.Unload();
  EXPECT_FALSE(good.Loaded());
  EXPECT_EQ(good.CompareKey(), nullptr);
  TqnKeyProcItem noCompare("/x", "T", 1, "libc.so.6", "strlen", "NoSuchRoutine");
  EXPECT_FALSE(noCompare.Load());
  EXPECT_FALSE(noCompare.Loaded());
  TqnKeyProcItem noLibrary("/x", "T", 1, "libdoesnotexist.so", "a", "b");
  EXPECT_FALSE(noLibrary.Load());
}

// A folder is a directory: the spellings of one directory (another case when only one
// directory answers to it, a symbolic link, ".", trailing separators of either kind) share one
// folder and its count; two directories whose names differ only in case are two folders.
TEST(ServerFolders, OneDirectoryIsOneFolderAndTwoAreTwo) {
  const std::filesystem::path base = DirectoryWithLink("tw_folders_", "Data");
  const std::string b = base.string();
  TqnSrFolderList list;
  TqnSrFolder* a = list.AddFolder(b + "/Data");
  for (const std::string& other : {b + "/./DATA/", b + "\\data\\", b + "/link", b + "/LINK//"})
    EXPECT_EQ(list.AddFolder(other), a) << other;
  EXPECT_EQ(a->RefCount(), 5);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(a->Path(), b + "/Data") << "the stored path is the directory's own spelling";
  EXPECT_EQ(list.IndexOfPath(b + "\\DATA"), 0);

  std::filesystem::create_directories(base / "DATA");
  TqnSrFolder* upper = list.AddFolder(b + "/DATA");
  EXPECT_NE(upper, a) << "a directory of its own";
  EXPECT_EQ(upper->Path(), b + "/DATA");
  EXPECT_EQ(list.AddFolder(b + "/Data/"), a);
  EXPECT_EQ(list.Count(), 2);

  const std::uint32_t id = a->Id();
  for (int i = 0; i < 5; ++i) list.RemoveFolder(id);
  EXPECT_EQ(list.Count(), 2);
  list.RemoveFolder(id);
  EXPECT_EQ(list.Count(), 1);
  list.RemoveFolder(id);  // stale: ignored
  EXPECT_EQ(list.IndexOfPath(b + "/Data"), -1);
  EXPECT_EQ(list.IndexOfPath(b + "/DATA"), 0);
  // A path that names no directory matches only itself.
  TqnSrFolder* gone = list.AddFolder(b + "/Missing");
  EXPECT_EQ(list.AddFolder(b + "/Missing/"), gone);
  EXPECT_NE(list.AddFolder(b + "/MISSING"), gone);
  std::filesystem::remove_all(base);
}

}  // namespace
}  // namespace tw::dbengine
