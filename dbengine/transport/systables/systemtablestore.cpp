#include "dbengine/transport/systables/systemtablestore.h"

#include <vector>

#include "dbengine/base/shortstring.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/data_blocks.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/file_info.h"
#include "dbengine/storage/folder.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/table_file.h"
#include "dbengine/transport/message.h"

namespace tw::dbengine {
namespace {

// The new copy of a table is written under this suffix and replaces the table only once it is
// whole on disk.  Earlier rewrites moved the old copy aside under the other suffix; a copy
// left there by an interrupted one is still read (and then removed).
constexpr const char* kNewSuffix = "_new";
constexpr const char* kOldSuffix = "_old";

// The table's base name in the folder: the exact name when that file is there, else the first
// file of the folder whose name matches without regard to case.
std::string TableBase(const TqnFolder& Folder, const std::string& Name) {
  if (Folder.Exists(Name + ".QND")) return Name;
  const std::string want = QNShStrUpper(Name + ".QND").Str();
  std::vector<std::string> names;
  if (Folder.Routines().ListFolderIn(Folder.Handle(), names) == 0)
    for (const std::string& n : names)
      if (QNShStrUpper(n).Str() == want) return n.substr(0, n.size() - 4);
  return Name;
}

// Closes and frees the file whatever happened.
struct OpenTable {
  TqnBufferManager bm;
  TqnFileInfo* file = nullptr;
  ~OpenTable() {
    if (file == nullptr) return;
    try {
      bm.RemoveFile(file);
    } catch (...) {
    }
    QNFreeFileInfo(file);
  }
};

TqnSysValue FieldValue(int Type, const std::uint8_t* p, std::int32_t Length) {
  switch (Type) {
    case qnsftBoolean: return p[0] != 0;
    case qnsftUInt32: return QNGetU32(p);
    case qnsftInt32: return static_cast<std::int32_t>(QNGetU32(p));
    case qnsftShortString: {
      const std::size_t n = std::min<std::size_t>(p[0], static_cast<std::size_t>(Length - 1));
      return std::string(reinterpret_cast<const char*>(p + 1), n);
    }
    default: return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(Length));
  }
}

void PutValue(int Type, const TqnSysValue& V, std::uint8_t* p, std::int32_t Length) {
  switch (Type) {
    case qnsftBoolean:
      if (auto b = std::get_if<bool>(&V)) p[0] = *b ? 1 : 0;
      return;
    case qnsftUInt32:
    case qnsftInt32:
      if (auto u = std::get_if<std::uint32_t>(&V)) QNPutU32(p, *u);
      if (auto i = std::get_if<std::int32_t>(&V)) QNPutU32(p, static_cast<std::uint32_t>(*i));
      return;
    default:
      if (auto s = std::get_if<std::string>(&V)) {
        if (Type == qnsftShortString) {
          const std::size_t n = std::min<std::size_t>(s->size(), static_cast<std::size_t>(Length - 1));
          p[0] = static_cast<std::uint8_t>(n);
          std::copy(s->begin(), s->begin() + static_cast<long>(n), p + 1);
        } else {
          std::copy(s->begin(), s->begin() + static_cast<long>(std::min<std::size_t>(s->size(), Length)), p);
        }
      }
  }
}

}  // namespace

TqnTableFileSystemStore::TqnTableFileSystemStore(std::string Folder) : FFolder(std::move(Folder)) {}

bool TqnTableFileSystemStore::ReadTable(std::string_view Name, TqnSysTable& Table) {
  try {
    // The folder is opened once: every file of the read is reached through it.
    const TqnFolderRef dir = TqnFolder::Open(FFolder, QNFileAccessTable());
    const std::string name(Name);
    // A rewrite that was cut short after it was decided is finished first.
    QNRecoverJournalsFor(*dir, name + ".QND", QNFileAccessTable());
    std::string base = TableBase(*dir, name);
    if (!dir->Exists(base + ".QND")) {
      // A rewrite stopped between moving the old copy aside and putting the new one in its
      // place: the new copy is whole (the old one is moved only after it was written).
      if (!dir->Exists(name + kOldSuffix + ".QND") || !dir->Exists(name + kNewSuffix + ".QND")) return false;
      base = name + kNewSuffix;
    }
    OpenTable t;
    t.file = QNAllocFileInfo(dir, base, "QND", &t.bm);
    QNOpenFile(t.file, false, true, false, false);
    TqnDataDictionary dict;
    QNTblReadDictionary(dict, t.file);
    TqnSysTable out;
    for (int i = 0; i < dict.FieldCount(); ++i) {
      const TqnFieldDescriptor& f = dict.FieldDescriptor(i);
      out.Fields.push_back({f.Name, f.FieldType, f.Units});
    }
    std::vector<std::uint8_t> record(static_cast<std::size_t>(dict.RecordLength()));
    std::int32_t ref = 0, next = 0;
    while (QNTblNextRecord(t.file, ref, next, record.data())) {
      TqnSysRow row;
      for (int i = 0; i < dict.FieldCount(); ++i) {
        const TqnFieldDescriptor& f = dict.FieldDescriptor(i);
        if (dict.IsRecordFieldNull(i, record.data()))
          row.emplace_back();
        else
          row.push_back(FieldValue(f.FieldType, record.data() + f.Offset, f.Length));
      }
      out.Rows.push_back(std::move(row));
      ref = next;
    }
    Table = std::move(out);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

namespace {

// Writes the whole table into Base.QND of Folder (which must not exist) in one transaction and
// flushes it.  False when a key could not be added; storage failures raise.
bool WriteTableFile(const TqnFolderRef& Folder, const std::string& Base, std::string_view Name,
                    const TqnSysTable& Table, bool Encrypted) {
  TqnDataDictionary dict(4096);
  dict.SetTableName(std::string(Name));
  dict.SetIsEncrypted(Encrypted);
  for (const TqnSysFieldDef& f : Table.Fields) dict.AddField(f.Name, "", f.FieldType, f.Units, 0, true);
  OpenTable t;
  t.file = QNAllocFileInfo(Folder, Base, "QND", &t.bm);
  QNOpenFile(t.file, true, false, true, false);
  t.file->TransactionId = 1;
  t.bm.StartTransaction(1, false, Folder, "");
  QNTblCreateFileHeader(t.file, dict);
  QNTblWriteDictionary(dict, t.file);
  QNTblPrepareIndexes(t.file);
  QNTblAddIndex(t.file, 0, dict.IndexKeyLength(0), true, dict.IndexAllowDups(0));
  const TqnIndexHandle seq = QNMakeIndexHandle(t.file, dict, 0);
  std::vector<std::uint8_t> record(static_cast<std::size_t>(dict.RecordLength()));
  std::vector<std::uint8_t> key(static_cast<std::size_t>(std::max(4, dict.IndexKeyLength(0))), 0);
  for (const TqnSysRow& row : Table.Rows) {
    dict.InitRecord(record.data());
    std::vector<std::uint8_t> value;
    for (int i = 0; i < dict.FieldCount(); ++i) {
      const TqnFieldDescriptor& f = dict.FieldDescriptor(i);
      value.assign(static_cast<std::size_t>(f.Length), 0);
      if (static_cast<std::size_t>(i) < row.size()) PutValue(f.FieldType, row[static_cast<std::size_t>(i)], value.data(), f.Length);
      dict.SetRecordField(i, record.data(), value.data());
    }
    std::int32_t ref = 0;
    QNTblAddRecord(t.file, ref, record.data());
    if (!QNTblAddKey(seq, ref, key.data())) {
      t.bm.Rollback(1);
      t.file->TransactionId = 0;
      return false;
    }
  }
  t.bm.Commit(1);
  t.file->TransactionId = 0;
  QNFlushFile(t.file);
  return true;
}

}  // namespace

bool TqnTableFileSystemStore::WriteTable(std::string_view Name, const TqnSysTable& Table, bool Encrypted) {
  // The old table stays untouched until the new one is complete, and the new one takes its
  // place in one step (a rename journal that recovery finishes): a failed or interrupted
  // rewrite never loses the aliases or users that were saved before, and there is no moment
  // without the table.  The folder is opened once: every step (the clean-up, the new copy, its
  // recovery and the replacement) reaches its files through it, wherever its path leads
  // meanwhile.
  TqnFileRoutines& r = QNFileAccessTable();
  const std::string name(Name);
  const std::string fresh = name + kNewSuffix;
  const TqnFolderRef dir = TqnFolder::OpenIfThere(FFolder, r);
  if (!dir) return false;
  try {
    QNTblDeleteFiles(*dir, fresh);
    bool written = false;
    try {
      written = WriteTableFile(dir, fresh, Name, Table, Encrypted);
    } catch (const std::exception&) {
      written = false;
    }
    if (!written) {
      QNTblDeleteFiles(*dir, fresh);
      return false;
    }
    // A copy moved aside by an earlier rewrite of the old kind.
    QNTblDeleteFiles(*dir, name + kOldSuffix);
    QNReplaceTableFiles(*dir, name, fresh, r);
    return true;
  } catch (const std::exception&) {
    // Nothing was replaced: the new copy goes (a failure here leaves it for the next rewrite).
    try {
      QNTblDeleteFiles(*dir, fresh);
    } catch (const std::exception&) {
    }
    return false;
  }
}

}  // namespace tw::dbengine
