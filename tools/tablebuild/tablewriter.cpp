#include "tools/tablebuild/tablewriter.h"

#include <cstring>
#include <memory>

#include "dbengine/server/server_engine.h"
#include "dbengine/storage/block_layout.h"

namespace tw::tablebuild {
namespace {

using namespace tw::dbengine;

void Check(DBIResult r, const std::string& what) {
  if (r != 0) throw SourceError(what + " failed with result " + std::to_string(r));
}

// A record image being filled field by field.
class Record {
 public:
  explicit Record(const TqnDataDictionary& d) : d_(d), bytes_(static_cast<std::size_t>(d.RecordLength())) {
    d_.InitRecord(bytes_.data());
  }
  Record& Str(int f, const std::string& s) {
    std::vector<std::uint8_t> v(static_cast<std::size_t>(d_.FieldLength(f)), 0);
    if (s.size() >= v.size()) throw SourceError("text \"" + s + "\" too long for its field");
    std::memcpy(v.data(), s.data(), s.size());
    d_.SetRecordField(f, bytes_.data(), v.data());
    return *this;
  }
  Record& I16(int f, int x) {
    const auto u = static_cast<std::uint16_t>(x);
    const std::uint8_t v[2] = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8)};
    d_.SetRecordField(f, bytes_.data(), v);
    return *this;
  }
  Record& Blob(int f, std::uint32_t nr) {
    std::uint8_t v[4];
    QNPutU32(v, nr);
    d_.SetRecordField(f, bytes_.data(), v);
    return *this;
  }
  const std::uint8_t* Data() const { return bytes_.data(); }

 private:
  const TqnDataDictionary& d_;
  std::vector<std::uint8_t> bytes_;
};

// One engine with one client and the folder open as a database, for the life of one build.
class Session {
 public:
  explicit Session(const std::string& folder) : engine_(std::make_unique<TqnServerEngine>()) {
    std::uint32_t hash = 0;
    Check(engine_->ClientAdd(1, "tablebuild", "", hash), "attaching to the engine");
    Check(engine_->DatabaseOpenNoAlias(1, folder, 1, 0, db_), "opening folder " + folder);
  }
  ~Session() {
    if (transaction_ != 0) engine_->TransactionRollback(transaction_);
    if (cursor_ != 0) engine_->CursorClose(cursor_);
    engine_->DatabaseClose(db_);
    engine_->ClientRemove(1);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Builds the table anew and opens it on its index.
  const TqnDataDictionary& Create(const std::string& name, const std::string& index, TqnDataDictionary& dict) {
    Check(engine_->BuildTable(db_, true, name, dict), "building table " + name);
    Check(engine_->OpenTable(db_, name, index, 0, 1, 0, cursor_, nullptr), "opening table " + name);
    return engine_->FindCursor(cursor_)->Table->Dictionary();
  }
  // Stores a memo text and puts its number into the record; an empty text leaves the field
  // null (the engine does not keep empty BLOBs).
  void Memo(Record& r, int field, const std::string& text) {
    if (text.empty()) return;
    std::uint32_t nr = 0;
    Check(engine_->CreateBLOB(cursor_, nr), "creating a memo");
    Check(engine_->WriteBLOB(cursor_, nr, 0, static_cast<std::uint32_t>(text.size()),
                             reinterpret_cast<const std::uint8_t*>(text.data())),
          "writing a memo");
    r.Blob(field, nr);
  }
  // All rows go in one transaction: one commit to disk instead of one per row.
  void Begin() { Check(engine_->TransactionStart(db_, false, transaction_), "starting a transaction"); }
  void Commit() {
    Check(engine_->TransactionCommit(transaction_), "committing the rows");
    transaction_ = 0;
  }
  void Insert(const std::uint8_t* record, const std::string& what) {
    Check(engine_->RecordInsert(cursor_, 0, record), "inserting " + what);
  }

 private:
  std::unique_ptr<TqnServerEngine> engine_;
  std::uint32_t db_ = 0;
  std::uint32_t cursor_ = 0;
  std::uint32_t transaction_ = 0;
};

}  // namespace

void WriteMessagesTable(const std::string& folder, const std::vector<MessageRow>& rows) {
  TqnDataDictionary dict(4096);
  dict.AddField("Lang", "language code", qftZString, 3, 0, true);
  dict.AddField("Nr", "message number", qftInt16, 0, 0, true);
  dict.AddField("Text", "message text", qftBlobMemo, 0, 0, false);
  dict.AddIndex(kMessagesIndex, "language and number", 0, {0, 1}, false, true, true);
  Session s(folder);
  const TqnDataDictionary& d = s.Create(kMessagesTable, kMessagesIndex, dict);
  s.Begin();
  for (const MessageRow& row : rows) {
    Record r(d);
    r.Str(0, row.Lang).I16(1, row.Nr);
    s.Memo(r, 2, row.Text);
    s.Insert(r.Data(), "message " + row.Lang + " " + std::to_string(row.Nr));
  }
  s.Commit();
}

void WriteInterpretationTable(const std::string& folder, const std::vector<InterpretationRow>& rows) {
  TqnDataDictionary dict(4096);
  dict.AddField("Lang", "language code", qftZString, 3, 0, true);
  dict.AddField("TransitBody", "transit body", qftInt16, 0, 0, true);
  dict.AddField("RadixBody", "radix body", qftInt16, 0, 0, true);
  dict.AddField("Aspect", "aspect", qftInt16, 0, 0, true);
  dict.AddField(kInterpretationField, "interpretation text", qftBlobMemo, 0, 0, false);
  dict.AddIndex(kInterpretationIndex, "language, bodies and aspect", 0, {0, 1, 2, 3}, false, true, true);
  Session s(folder);
  const TqnDataDictionary& d = s.Create(kInterpretationTable, kInterpretationIndex, dict);
  s.Begin();
  for (const InterpretationRow& row : rows) {
    Record r(d);
    r.Str(0, row.Lang).I16(1, row.TransitBody).I16(2, row.RadixBody).I16(3, row.Aspect);
    s.Memo(r, 4, row.Text);
    s.Insert(r.Data(), "interpretation " + row.Lang + " " + std::to_string(row.TransitBody) + "/" +
                           std::to_string(row.RadixBody) + "/" + std::to_string(row.Aspect));
  }
  s.Commit();
}

}  // namespace tw::tablebuild
