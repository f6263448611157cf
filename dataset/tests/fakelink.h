// An in-memory stand-in for the access layer's entry points: tables of record images with
// indexes, cursors with cracks and bookmarks, BLOBs kept apart from the records, and counters
// that let tests see what the data-set classes asked for.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dataset/dbilink.h"

namespace tw::test {

using namespace tw::dbaccess;

class TFakeLink : public TDbiLink {
 public:
  struct Table {
    std::vector<FLDDesc> Fields;
    std::vector<IDXDesc> Indexes;
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> Rows;  // id, image
    std::uint16_t RecSize = 0;
  };
  struct Cursor {
    std::string Table;
    int Index = -1;
    int Cur = 0;
    bool On = false;
    bool ReadOnly = false;
    bool Ranged = false;
    std::vector<std::uint8_t> Low, High;
    std::uint16_t LowN = 0, HighN = 0;
  };

  std::map<std::string, Table> Tables;
  std::map<hDBICur, Cursor> Cursors;
  std::set<std::string> KnownDatabases{"TIDEWELL", "/TMP/TW"};
  std::map<hDBIDb, std::string> Databases;
  std::map<std::uint32_t, std::string> Blobs;
  std::uint32_t NextHandle = 100, NextRow = 1, NextBlob = 1;
  int InitCalls = 0;
  std::string LastDatabaseName, LastPassword;
  DBIResult FailNextWith = 0;  // answered by the next record read
  int RecordReads = 0;
  // Engine filters: accepted and kept (not applied: the data set must still filter) unless
  // refused; the blocks handed over, by filter.
  bool RefuseFilters = false;
  std::map<hDBIFilter, std::vector<std::uint8_t>> Filters;
  std::set<hDBIFilter> ActiveFilters;
  int SetToKeyCalls = 0;
  std::uint32_t BlobLimit = 65517;  // bytes one BLOB call may move
  TServerLoginEvent ServerLogin;
  TDatabaseAliasEvent AliasLookup;

  static std::string Up(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }

  DBIResult FailInitWith = 0;  // answered by Init
  DBIResult Init() override {
    ++InitCalls;
    return FailInitWith;
  }
  void SetServerLogin(TServerLoginEvent e) override { ServerLogin = std::move(e); }
  void SetDatabaseAliasLookup(TDatabaseAliasEvent e) override { AliasLookup = std::move(e); }
  DBIResult Exit() override { return 0; }
  DBIResult GetCurrSession(hDBISes& s) override { s = 1; return 0; }
  DBIResult SetCurrSession(hDBISes) override { return 0; }
  DBIResult OpenDatabase(const std::string& name, bool, bool, const std::string& password, hDBIDb& db) override {
    LastDatabaseName = name;
    LastPassword = password;
    db = 0;
    if (!KnownDatabases.count(Up(name))) return DBIERR_UNKNOWNDB;
    db = NextHandle++;
    Databases[db] = name;
    return 0;
  }
  DBIResult CloseDatabase(hDBIDb& db) override {
    if (!Databases.erase(db)) return DBIERR_INVALIDHNDL;
    db = 0;
    return 0;
  }
  std::string ErrorText(DBIResult code) override {
    switch (code) {
      case DBIERR_NOSUCHTABLE: return "Table does not exist.";
      case DBIERR_UNKNOWNDB: return "Unknown database.";
      case 9729: return "Key violation.";
      default: return "DBE Error " + std::to_string(static_cast<std::int16_t>(code)) + ".";
    }
  }

  static std::uint16_t SizeOf(const FLDDesc& f) {
    switch (f.iFldType) {
      case fldZSTRING: return static_cast<std::uint16_t>(f.iUnits1 + 1);
      case fldINT16: case fldUINT16: case fldBOOL: return 2;
      case fldINT32: case fldDATE: case fldTIME: case fldBLOB: return 4;
      default: return 8;
    }
  }

  DBIResult CreateTable(hDBIDb db, const std::string& table, bool, const std::vector<TCreateFieldDesc>& fields,
                        const std::vector<TCreateIndexDesc>& indexes) override {
    if (!Databases.count(db)) return DBIERR_INVALIDHNDL;
    Table t;
    std::uint16_t off = 4;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      FLDDesc d;
      d.iFldNum = static_cast<std::uint16_t>(i + 1);
      std::strncpy(d.szName, fields[i].Name.c_str(), 31);
      d.iFldType = fields[i].FldType;
      d.iSubType = fields[i].SubType;
      d.iUnits1 = fields[i].Units1;
      d.efldvVchk = fields[i].Required ? 1 : 0;
      d.iNullOffset = off;
      d.iOffset = static_cast<std::uint16_t>(off + 1);
      d.iLen = SizeOf(d);
      off = static_cast<std::uint16_t>(off + 1 + d.iLen);
      t.Fields.push_back(d);
    }
    t.RecSize = off;
    for (const auto& x : indexes) {
      IDXDesc d;
      std::strncpy(d.szName, x.Name.c_str(), 260);
      d.iFldsInKey = static_cast<std::uint16_t>(x.KeyFields.size());
      for (std::size_t i = 0; i < x.KeyFields.size(); ++i) d.aiKeyFld[i] = x.KeyFields[i];
      d.bUnique = x.Unique;
      d.bPrimary = x.Primary;
      d.bCaseInsensitive = x.CaseInsensitive;
      t.Indexes.push_back(d);
    }
    Tables[Up(table)] = t;
    return 0;
  }
  DBIResult EmptyTable(hDBIDb, hDBICur, const std::string& table) override {
    auto it = Tables.find(Up(table));
    if (it == Tables.end()) return DBIERR_NOSUCHTABLE;
    it->second.Rows.clear();
    return 0;
  }
  DBIResult DeleteTable(hDBIDb, const std::string& table) override {
    return Tables.erase(Up(table)) ? 0 : DBIERR_NOSUCHTABLE;
  }

  // Like the access layer, a failed open still writes a cursor.
  DBIResult OpenTable(hDBIDb db, const std::string& table, const std::string& index, bool readOnly, bool,
                      hDBICur& cur) override {
    if (!Databases.count(db)) return DBIERR_INVALIDHNDL;
    cur = NextHandle++;
    Cursors[cur] = Cursor{Up(table), -1, 0, false, readOnly, false, {}, {}, 0, 0};
    if (!Tables.count(Up(table))) return DBIERR_NOSUCHTABLE;
    if (!index.empty()) return SwitchToIndex(cur, index);
    return 0;
  }
  DBIResult CloseCursor(hDBICur& c) override {
    if (!Cursors.erase(c)) return DBIERR_INVALIDHNDL;
    c = 0;
    return 0;
  }
  Cursor* C(hDBICur c) {
    auto it = Cursors.find(c);
    return it == Cursors.end() ? nullptr : &it->second;
  }
  Table& T(const Cursor& c) { return Tables.at(c.Table); }

  DBIResult GetCursorProps(hDBICur c, CURProps& p) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    Table& t = T(*k);
    p.iFields = static_cast<std::uint16_t>(t.Fields.size());
    p.iRecBufSize = t.RecSize;
    p.iRecSize = t.RecSize;
    p.iBookMarkSize = 4;
    p.iIndexes = static_cast<std::uint16_t>(t.Indexes.size());
    return 0;
  }
  DBIResult GetFieldDescs(hDBICur c, FLDDesc* d) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    std::copy(T(*k).Fields.begin(), T(*k).Fields.end(), d);
    return 0;
  }
  DBIResult GetIndexDescs(hDBICur c, IDXDesc* d) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    std::copy(T(*k).Indexes.begin(), T(*k).Indexes.end(), d);
    return 0;
  }
  DBIResult GetVchkDesc(hDBICur c, std::uint16_t no, VCHKDesc& d) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    const FLDDesc* f = F(*k, no);
    if (!f) return DBIERR_INVALIDFIELD;
    d = VCHKDesc{};
    d.iFldNum = no;
    d.bRequired = f->efldvVchk;
    return 0;
  }
  DBIResult SwitchToIndex(hDBICur& c, const std::string& name) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    auto& ix = T(*k).Indexes;
    for (std::size_t i = 0; i < ix.size(); ++i)
      if (Up(ix[i].szName) == Up(name)) {
        k->Index = static_cast<int>(i);
        k->Cur = 0;
        k->On = false;
        return 0;
      }
    return DBIERR_OBJNOTFOUND;
  }

  // Compares field values of two images: -1, 0, 1.
  static int CompareField(const FLDDesc& f, const std::uint8_t* a, const std::uint8_t* b, bool ci) {
    bool na = a[f.iNullOffset], nb = b[f.iNullOffset];
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    const std::uint8_t* x = a + f.iOffset;
    const std::uint8_t* y = b + f.iOffset;
    auto cmp = [](auto p, auto q) { return p < q ? -1 : (p > q ? 1 : 0); };
    switch (f.iFldType) {
      case fldZSTRING: {
        std::string s(reinterpret_cast<const char*>(x)), t(reinterpret_cast<const char*>(y));
        if (ci) s = Up(s), t = Up(t);
        return cmp(s, t);
      }
      case fldINT16: case fldBOOL: { std::int16_t p, q; std::memcpy(&p, x, 2); std::memcpy(&q, y, 2); return cmp(p, q); }
      case fldUINT16: { std::uint16_t p, q; std::memcpy(&p, x, 2); std::memcpy(&q, y, 2); return cmp(p, q); }
      case fldINT32: case fldDATE: case fldTIME: { std::int32_t p, q; std::memcpy(&p, x, 4); std::memcpy(&q, y, 4); return cmp(p, q); }
      default: { double p, q; std::memcpy(&p, x, 8); std::memcpy(&q, y, 8); return cmp(p, q); }
    }
  }
  int CompareKey(const Cursor& k, const std::uint8_t* a, const std::uint8_t* b, int n) {
    const Table& t = Tables.at(k.Table);
    const IDXDesc& ix = t.Indexes[static_cast<std::size_t>(k.Index)];
    for (int i = 0; i < n && i < ix.iFldsInKey; ++i) {
      int c = CompareField(t.Fields[ix.aiKeyFld[i] - 1u], a, b, ix.bCaseInsensitive);
      if (c) return c;
    }
    return 0;
  }
  // Row positions in the cursor's order, inside its range.
  std::vector<std::size_t> Order(const Cursor& k) {
    Table& t = Tables.at(k.Table);
    std::vector<std::size_t> o;
    for (std::size_t i = 0; i < t.Rows.size(); ++i) {
      const auto* img = t.Rows[i].second.data();
      if (k.Ranged && k.Index >= 0 &&
          (CompareKey(k, img, k.Low.data(), k.LowN) < 0 || CompareKey(k, img, k.High.data(), k.HighN) > 0))
        continue;
      o.push_back(i);
    }
    if (k.Index >= 0)
      std::stable_sort(o.begin(), o.end(), [&](std::size_t a, std::size_t b) {
        return CompareKey(k, t.Rows[a].second.data(), t.Rows[b].second.data(), DBIMAXFLDSINKEY) < 0;
      });
    return o;
  }
  std::uint32_t CurrentId(Cursor& k) {
    auto o = Order(k);
    if (!k.On || k.Cur < 0 || k.Cur >= static_cast<int>(o.size())) return 0;
    return T(k).Rows[o[static_cast<std::size_t>(k.Cur)]].first;
  }

  DBIResult SetToBegin(hDBICur c) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    k->Cur = 0;
    k->On = false;
    return 0;
  }
  DBIResult SetToEnd(hDBICur c) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    k->Cur = static_cast<int>(Order(*k).size());
    k->On = false;
    return 0;
  }
  DBIResult Copy(Cursor& k, std::uint8_t* rec) {
    ++RecordReads;
    auto o = Order(k);
    if (rec) {
      auto& img = T(k).Rows[o[static_cast<std::size_t>(k.Cur)]].second;
      std::memcpy(rec, img.data(), img.size());
    }
    return 0;
  }
  DBIResult Injected() {
    DBIResult r = FailNextWith;
    FailNextWith = 0;
    return r;
  }
  DBIResult GetNextRecord(hDBICur c, std::uint8_t* rec) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    if (DBIResult r = Injected()) return r;
    int n = static_cast<int>(Order(*k).size());
    int next = k->On ? k->Cur + 1 : k->Cur;
    if (next >= n) {
      k->Cur = n;
      k->On = false;
      return DBIERR_EOF;
    }
    k->Cur = next;
    k->On = true;
    return Copy(*k, rec);
  }
  DBIResult GetPriorRecord(hDBICur c, std::uint8_t* rec) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    if (DBIResult r = Injected()) return r;
    int prev = k->Cur - 1;
    if (prev < 0) {
      k->Cur = 0;
      k->On = false;
      return DBIERR_BOF;
    }
    k->Cur = prev;
    k->On = true;
    return Copy(*k, rec);
  }
  DBIResult GetRecord(hDBICur c, std::uint8_t* rec) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    if (!k->On) return DBIERR_NOCURRREC;
    return Copy(*k, rec);
  }
  DBIResult GetBookMark(hDBICur c, std::uint8_t* b) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    std::uint32_t id = CurrentId(*k);
    if (!id) return DBIERR_NOCURRREC;
    std::memcpy(b, &id, 4);
    return 0;
  }
  DBIResult SetToBookMark(hDBICur c, const std::uint8_t* b) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    std::uint32_t id;
    std::memcpy(&id, b, 4);
    auto o = Order(*k);
    for (std::size_t i = 0; i < o.size(); ++i)
      if (T(*k).Rows[o[i]].first == id) {
        k->Cur = static_cast<int>(i);
        k->On = true;
        return 0;
      }
    return DBIERR_RECNOTFOUND;
  }
  DBIResult InitRecord(hDBICur c, std::uint8_t* rec) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    Table& t = T(*k);
    std::memset(rec, 0, t.RecSize);
    for (auto& f : t.Fields) rec[f.iNullOffset] = 1;
    return 0;
  }
  bool Violates(Table& t, const std::uint8_t* rec, std::uint32_t self) {
    for (std::size_t x = 0; x < t.Indexes.size(); ++x) {
      if (!t.Indexes[x].bUnique) continue;
      Cursor probe;
      probe.Index = static_cast<int>(x);
      for (auto& [name, tab] : Tables)
        if (&tab == &t) probe.Table = name;
      for (auto& row : t.Rows)
        if (row.first != self && CompareKey(probe, row.second.data(), rec, DBIMAXFLDSINKEY) == 0) return true;
    }
    return false;
  }
  DBIResult InsertRecord(hDBICur c, const std::uint8_t* rec) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    if (k->ReadOnly) return 10253;
    Table& t = T(*k);
    if (Violates(t, rec, 0)) return 9729;
    std::uint32_t id = NextRow++;
    t.Rows.emplace_back(id, std::vector<std::uint8_t>(rec, rec + t.RecSize));
    std::uint8_t bm[4];
    std::memcpy(bm, &id, 4);
    return SetToBookMark(c, bm);
  }
  DBIResult ModifyRecord(hDBICur c, const std::uint8_t* rec) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    if (k->ReadOnly) return 10253;
    std::uint32_t id = CurrentId(*k);
    if (!id) return DBIERR_NOCURRREC;
    Table& t = T(*k);
    if (Violates(t, rec, id)) return 9729;
    for (auto& row : t.Rows)
      if (row.first == id) row.second.assign(rec, rec + t.RecSize);
    std::uint8_t bm[4];
    std::memcpy(bm, &id, 4);
    return SetToBookMark(c, bm);
  }
  DBIResult DeleteRecord(hDBICur c) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    std::uint32_t id = CurrentId(*k);
    if (!id) return DBIERR_NOCURRREC;
    auto& rows = T(*k).Rows;
    rows.erase(std::remove_if(rows.begin(), rows.end(), [&](auto& r) { return r.first == id; }), rows.end());
    k->On = false;  // the crack where the record was
    return 0;
  }
  const FLDDesc* F(Cursor& k, std::uint16_t no) {
    auto& fs = T(k).Fields;
    return no >= 1 && no <= fs.size() ? &fs[no - 1u] : nullptr;
  }
  DBIResult GetField(hDBICur c, std::uint16_t no, const std::uint8_t* rec, std::uint8_t* dest, bool& blank) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    const FLDDesc* f = F(*k, no);
    if (!f) return DBIERR_INVALIDFIELD;
    blank = rec[f->iNullOffset] != 0;
    if (dest && !blank) std::memcpy(dest, rec + f->iOffset, f->iLen);
    return 0;
  }
  DBIResult PutField(hDBICur c, std::uint16_t no, std::uint8_t* rec, const std::uint8_t* src) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    const FLDDesc* f = F(*k, no);
    if (!f) return DBIERR_INVALIDFIELD;
    std::memset(rec + f->iOffset, 0, f->iLen);
    rec[f->iNullOffset] = src ? 0 : 1;
    if (!src) return 0;
    if (f->iFldType == fldZSTRING)
      std::memcpy(rec + f->iOffset, src, strnlen(reinterpret_cast<const char*>(src), f->iLen - 1u));
    else
      std::memcpy(rec + f->iOffset, src, f->iLen);
    return 0;
  }
  DBIResult GetRecordForKey(hDBICur c, std::uint16_t n, const std::uint8_t* key, std::uint8_t* rec) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    if (k->Index < 0) return DBIERR_NOTINDEXED;
    auto o = Order(*k);
    for (std::size_t i = 0; i < o.size(); ++i)
      if (CompareKey(*k, T(*k).Rows[o[i]].second.data(), key, n) == 0) {
        k->Cur = static_cast<int>(i);
        k->On = true;
        return Copy(*k, rec);
      }
    return DBIERR_RECNOTFOUND;
  }
  DBIResult SetRange(hDBICur c, std::uint16_t n1, const std::uint8_t* k1, bool, std::uint16_t n2,
                     const std::uint8_t* k2, bool) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    std::size_t size = T(*k).RecSize;
    k->Ranged = true;
    // A side without a key is open: no key fields to compare.
    k->Low.assign(size, 0);
    k->High.assign(size, 0);
    if (k1) k->Low.assign(k1, k1 + size);
    if (k2) k->High.assign(k2, k2 + size);
    k->LowN = k1 ? n1 : 0;
    k->HighN = k2 ? n2 : 0;
    k->Cur = 0;
    k->On = false;
    return 0;
  }
  DBIResult SetToKey(hDBICur c, std::uint16_t n, const std::uint8_t* key) override {
    ++SetToKeyCalls;
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    if (k->Index < 0) return DBIERR_NOTINDEXED;
    auto o = Order(*k);
    std::size_t i = 0;
    while (i < o.size() && CompareKey(*k, T(*k).Rows[o[i]].second.data(), key, n) < 0) ++i;
    k->Cur = static_cast<int>(i);
    k->On = false;  // the crack before it
    return i < o.size() ? 0 : DBIERR_RECNOTFOUND;
  }
  DBIResult AddFilter(hDBICur c, const std::vector<std::uint8_t>& expr, hDBIFilter& f) override {
    f = 0;
    if (!C(c)) return DBIERR_INVALIDHNDL;
    if (RefuseFilters) return DBIERR_NOTSUPPORTED;
    f = NextHandle++;
    Filters[f] = expr;
    return 0;
  }
  DBIResult DropFilter(hDBICur, hDBIFilter f) override {
    ActiveFilters.erase(f);
    return Filters.erase(f) ? 0 : DBIERR_INVALIDFILTER;
  }
  DBIResult ActivateFilter(hDBICur, hDBIFilter f) override {
    if (!Filters.count(f)) return DBIERR_INVALIDFILTER;
    ActiveFilters.insert(f);
    return 0;
  }
  DBIResult DeactivateFilter(hDBICur, hDBIFilter f) override {
    if (!Filters.count(f)) return DBIERR_INVALIDFILTER;
    return ActiveFilters.erase(f) ? 0 : DBIERR_NA;
  }
  DBIResult ResetRange(hDBICur c) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    k->Ranged = false;
    return 0;
  }
  std::uint32_t BlobId(Cursor& k, const std::uint8_t* rec, std::uint16_t no) {
    const FLDDesc* f = F(k, no);
    if (!f || rec[f->iNullOffset]) return 0;
    std::uint32_t id;
    std::memcpy(&id, rec + f->iOffset, 4);
    return id;
  }
  DBIResult OpenBlob(hDBICur c, std::uint8_t*, std::uint16_t no, bool) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    const FLDDesc* f = F(*k, no);
    return f && f->iFldType == fldBLOB ? 0 : DBIERR_INVALIDFIELD;
  }
  DBIResult GetBlobSize(hDBICur c, const std::uint8_t* rec, std::uint16_t no, std::uint32_t& size) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    std::uint32_t id = BlobId(*k, rec, no);
    size = id ? static_cast<std::uint32_t>(Blobs[id].size()) : 0;
    return 0;
  }
  DBIResult GetBlob(hDBICur c, const std::uint8_t* rec, std::uint16_t no, std::uint32_t off, std::uint32_t len,
                    std::uint8_t* dest, std::uint32_t& read) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    std::uint32_t id = BlobId(*k, rec, no);
    const std::string& b = Blobs[id];
    read = 0;
    if (len > BlobLimit) return DBIERR_INVALIDBLOBLEN;
    if (off > b.size()) return DBIERR_INVALIDBLOBLEN;
    read = std::min<std::uint32_t>(len, static_cast<std::uint32_t>(b.size()) - off);
    std::memcpy(dest, b.data() + off, read);
    return 0;
  }
  // Writing gives the record image a BLOB of its own (stored records keep theirs until posted).
  std::string& Writable(Cursor& k, std::uint8_t* rec, std::uint16_t no) {
    const FLDDesc* f = F(k, no);
    std::uint32_t old = BlobId(k, rec, no);
    std::uint32_t id = NextBlob++;
    Blobs[id] = old ? Blobs[old] : std::string();
    rec[f->iNullOffset] = 0;
    std::memcpy(rec + f->iOffset, &id, 4);
    return Blobs[id];
  }
  DBIResult PutBlob(hDBICur c, std::uint8_t* rec, std::uint16_t no, std::uint32_t off, std::uint32_t len,
                    const std::uint8_t* src) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    if (len > BlobLimit) return DBIERR_INVALIDBLOBLEN;
    std::string& b = Writable(*k, rec, no);
    if (b.size() < off + len) b.resize(off + len);
    std::memcpy(b.data() + off, src, len);
    return 0;
  }
  DBIResult TruncateBlob(hDBICur c, std::uint8_t* rec, std::uint16_t no, std::uint32_t len) override {
    Cursor* k = C(c);
    if (!k) return DBIERR_INVALIDHNDL;
    std::string& b = Writable(*k, rec, no);
    if (b.size() > len) b.resize(len);
    return 0;
  }
  DBIResult FreeBlob(hDBICur, std::uint8_t*, std::uint16_t) override { return 0; }
};

}  // namespace tw::test
