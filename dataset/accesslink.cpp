// The program's link: each call goes to the access layer's flat entry point of the same name.
#include <algorithm>
#include <cstring>

#include "dbaccess/clientcomms.h"
#include "dbaccess/dbientry.h"
#include "dataset/dbilink.h"

namespace tw {

namespace {

namespace da = tw::dbaccess;

// A name into a fixed, zero-terminated field of an interface record, cut to fit.
void CopyName(char* field, std::size_t size, const std::string& name) {
  const std::size_t n = std::min(name.size(), size - 1);
  std::memcpy(field, name.data(), n);
  field[n] = 0;
}

// The data-set classes' login event in front of the access layer's prompt that was installed
// before it (the server dialogs, when the program registered them).  The event answers when it
// can; questions it leaves, and the choice among several servers, go on to that prompt.  With
// no prompt before it the first server is taken, the one the choice dialog would preselect.
class TChainedLoginPrompt : public da::TLoginPrompt {
 public:
  TChainedLoginPrompt(TServerLoginEvent event, std::shared_ptr<da::TLoginPrompt> previous)
      : FEvent(std::move(event)), FPrevious(std::move(previous)) {}
  bool Login(const std::string& server, std::string& user, std::string& password) override {
    if (std::optional<bool> answer = FEvent(server, user, password)) return *answer;
    return FPrevious && FPrevious->Login(server, user, password);
  }
  bool PickServer(const std::vector<std::string>& names, std::string& chosen) override {
    if (FPrevious) return FPrevious->PickServer(names, chosen);
    if (names.empty()) return false;
    chosen = names.front();
    return true;
  }
  const std::shared_ptr<da::TLoginPrompt>& Previous() const { return FPrevious; }

 private:
  TServerLoginEvent FEvent;
  std::shared_ptr<da::TLoginPrompt> FPrevious;
};

// The data-set classes' alias lookup in front of the one installed before it.
struct TChainedAliasLookup {
  TDatabaseAliasEvent Event;
  da::TDatabaseAliasLookup Previous;
  std::string operator()(const std::string& name) const {
    std::string alias = Event(name);
    if (alias.empty() && Previous) alias = Previous(name);
    return alias;
  }
};

class TAccessLayerLink : public TDbiLink {
 public:
  // What a link installed is recognised by its type, so that a link made later (the link is
  // replaceable) still takes away what an earlier one put in.
  void SetServerLogin(TServerLoginEvent event) override {
    std::shared_ptr<da::TLoginPrompt> previous = da::LoginPrompt();
    auto ours = std::dynamic_pointer_cast<TChainedLoginPrompt>(previous);
    if (ours) previous = ours->Previous();
    if (event) da::SetLoginPrompt(std::make_shared<TChainedLoginPrompt>(std::move(event), std::move(previous)));
    else if (ours) da::SetLoginPrompt(std::move(previous));
  }
  void SetDatabaseAliasLookup(TDatabaseAliasEvent event) override {
    da::TDatabaseAliasLookup previous = da::DatabaseAliasLookup();
    const bool ours = previous.target<TChainedAliasLookup>() != nullptr;
    if (ours) previous = da::TDatabaseAliasLookup(previous.target<TChainedAliasLookup>()->Previous);
    if (event) da::SetDatabaseAliasLookup(TChainedAliasLookup{std::move(event), std::move(previous)});
    else if (ours) da::SetDatabaseAliasLookup(std::move(previous));
  }
  DBIResult Init() override {
    DBIResult r = da::DbiInit(nullptr);
    return r == da::DBIERR_MULTIPLEINIT ? da::DBIERR_NONE : r;
  }
  DBIResult Exit() override { return da::DbiExit(); }
  DBIResult GetCurrSession(hDBISes& s) override { return da::DbiGetCurrSession(s); }
  DBIResult SetCurrSession(hDBISes s) override { return da::DbiSetCurrSession(s); }
  DBIResult OpenDatabase(const std::string& name, bool readOnly, bool exclusive, const std::string& password,
                         hDBIDb& db) override {
    return da::DbiOpenDatabase(name.c_str(), nullptr, readOnly ? da::dbiREADONLY : da::dbiREADWRITE,
                               exclusive ? da::dbiOPENEXCL : da::dbiOPENSHARED, password.c_str(), 0, nullptr,
                               nullptr, db);
  }
  DBIResult CloseDatabase(hDBIDb& db) override { return da::DbiCloseDatabase(db); }
  std::string ErrorText(DBIResult code) override {
    char buf[512] = {};
    da::DbiGetErrorString(code, buf);
    return buf;
  }
  DBIResult OpenTable(hDBIDb db, const std::string& table, const std::string& index, bool readOnly, bool exclusive,
                      hDBICur& cur) override {
    return da::DbiOpenTable(db, table.c_str(), nullptr, index.empty() ? nullptr : index.c_str(), nullptr, 0,
                            readOnly ? da::dbiREADONLY : da::dbiREADWRITE,
                            exclusive ? da::dbiOPENEXCL : da::dbiOPENSHARED, 0, false, nullptr, cur);
  }
  // The creation record of the interface, built from the data set's field and index
  // definitions.
  DBIResult CreateTable(hDBIDb db, const std::string& table, bool overwrite, const std::vector<TCreateFieldDesc>& fields,
                        const std::vector<TCreateIndexDesc>& indexes) override {
    std::vector<FLDDesc> fieldDescs(fields.size());
    std::vector<VCHKDesc> checks;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const TCreateFieldDesc& f = fields[i];
      FLDDesc& d = fieldDescs[i];
      d.iFldNum = static_cast<std::uint16_t>(i + 1);
      CopyName(d.szName, sizeof d.szName, f.Name);
      d.iFldType = f.FldType;
      d.iSubType = f.SubType;
      // A text field's units are its characters: the engine adds the terminator's byte itself,
      // and hands the same units back when the table is opened.
      d.iUnits1 = f.Units1;
      d.iUnits2 = f.Units2;
      if (f.Required) {
        VCHKDesc& v = checks.emplace_back();
        v.iFldNum = d.iFldNum;
        v.bRequired = 1;
      }
    }
    std::vector<IDXDesc> indexDescs(indexes.size());
    for (std::size_t i = 0; i < indexes.size(); ++i) {
      const TCreateIndexDesc& ix = indexes[i];
      IDXDesc& d = indexDescs[i];
      CopyName(d.szName, sizeof d.szName, ix.Name);
      if (ix.KeyFields.size() > static_cast<std::size_t>(da::DBIMAXFLDSINKEY)) return da::DBIERR_INVALIDPARAM;
      d.iFldsInKey = static_cast<std::uint16_t>(ix.KeyFields.size());
      std::copy(ix.KeyFields.begin(), ix.KeyFields.end(), d.aiKeyFld);
      d.bPrimary = ix.Primary ? 1 : 0;
      d.bUnique = ix.Unique || ix.Primary ? 1 : 0;
      d.bDescending = ix.Descending ? 1 : 0;
      d.bCaseInsensitive = ix.CaseInsensitive ? 1 : 0;
    }
    da::CRTblDesc desc;
    CopyName(desc.szTblName, sizeof desc.szTblName, table);
    desc.bOverwrite = overwrite ? 1 : 0;
    desc.iFldCount = static_cast<std::uint16_t>(fieldDescs.size());
    desc.pfldDesc = fieldDescs.data();
    desc.iIdxCount = static_cast<std::uint16_t>(indexDescs.size());
    desc.pidxDesc = indexDescs.data();
    desc.iValChkCount = static_cast<std::uint16_t>(checks.size());
    desc.pvchkDesc = checks.data();
    return da::DbiCreateTable(db, overwrite, desc);
  }
  DBIResult EmptyTable(hDBIDb db, hDBICur cur, const std::string& table) override {
    return da::DbiEmptyTable(db, cur, table.c_str(), nullptr);
  }
  DBIResult DeleteTable(hDBIDb db, const std::string& table) override {
    return da::DbiDeleteTable(db, table.c_str(), nullptr);
  }
  DBIResult CloseCursor(hDBICur& c) override { return da::DbiCloseCursor(c); }
  DBIResult GetCursorProps(hDBICur c, CURProps& p) override { return da::DbiGetCursorProps(c, p); }
  DBIResult GetFieldDescs(hDBICur c, FLDDesc* d) override { return da::DbiGetFieldDescs(c, d); }
  DBIResult GetIndexDescs(hDBICur c, IDXDesc* d) override { return da::DbiGetIndexDescs(c, d); }
  DBIResult GetVchkDesc(hDBICur c, std::uint16_t n, VCHKDesc& d) override { return da::DbiGetVchkDesc(c, n, d); }
  DBIResult SwitchToIndex(hDBICur& c, const std::string& name) override {
    return da::DbiSwitchToIndex(c, name.c_str(), nullptr, 0, false);
  }
  DBIResult SetToBegin(hDBICur c) override { return da::DbiSetToBegin(c); }
  DBIResult SetToEnd(hDBICur c) override { return da::DbiSetToEnd(c); }
  DBIResult GetNextRecord(hDBICur c, std::uint8_t* r) override { return da::DbiGetNextRecord(c, da::dbiNOLOCK, r, nullptr); }
  DBIResult GetPriorRecord(hDBICur c, std::uint8_t* r) override { return da::DbiGetPriorRecord(c, da::dbiNOLOCK, r, nullptr); }
  DBIResult GetRecord(hDBICur c, std::uint8_t* r) override { return da::DbiGetRecord(c, da::dbiNOLOCK, r, nullptr); }
  DBIResult GetBookMark(hDBICur c, std::uint8_t* b) override { return da::DbiGetBookMark(c, b); }
  DBIResult SetToBookMark(hDBICur c, const std::uint8_t* b) override { return da::DbiSetBookMark(c, b); }
  DBIResult InitRecord(hDBICur c, std::uint8_t* r) override { return da::DbiInitRecord(c, r); }
  DBIResult InsertRecord(hDBICur c, const std::uint8_t* r) override { return da::DbiInsertRecord(c, da::dbiNOLOCK, r); }
  DBIResult ModifyRecord(hDBICur c, const std::uint8_t* r) override { return da::DbiModifyRecord(c, r, true); }
  DBIResult DeleteRecord(hDBICur c) override { return da::DbiDeleteRecord(c, nullptr); }
  DBIResult GetField(hDBICur c, std::uint16_t n, const std::uint8_t* r, std::uint8_t* d, bool& blank) override {
    return da::DbiGetField(c, n, r, d, blank);
  }
  DBIResult PutField(hDBICur c, std::uint16_t n, std::uint8_t* r, const std::uint8_t* s) override {
    return da::DbiPutField(c, n, r, s);
  }
  DBIResult GetRecordForKey(hDBICur c, std::uint16_t fields, const std::uint8_t* key, std::uint8_t* r) override {
    return da::DbiGetRecordForKey(c, false, fields, 0, key, r);
  }
  DBIResult SetRange(hDBICur c, std::uint16_t f1, const std::uint8_t* k1, bool i1, std::uint16_t f2,
                     const std::uint8_t* k2, bool i2) override {
    return da::DbiSetRange(c, false, f1, 0, k1, i1, f2, 0, k2, i2);
  }
  DBIResult ResetRange(hDBICur c) override { return da::DbiResetRange(c); }
  DBIResult SetToKey(hDBICur c, std::uint16_t fields, const std::uint8_t* key) override {
    return da::DbiSetToKey(c, da::keySEARCHGEQ, false, fields, 0, key);
  }
  DBIResult AddFilter(hDBICur c, const std::vector<std::uint8_t>& expr, hDBIFilter& f) override {
    f = 0;
    if (expr.empty()) return da::DBIERR_INVALIDPARAM;
    return da::DbiAddFilter(c, 0, 1, false, expr.data(), nullptr, f);
  }
  DBIResult DropFilter(hDBICur c, hDBIFilter f) override { return da::DbiDropFilter(c, f); }
  DBIResult ActivateFilter(hDBICur c, hDBIFilter f) override { return da::DbiActivateFilter(c, f); }
  DBIResult DeactivateFilter(hDBICur c, hDBIFilter f) override { return da::DbiDeactivateFilter(c, f); }
  DBIResult OpenBlob(hDBICur c, std::uint8_t* r, std::uint16_t n, bool ro) override {
    return da::DbiOpenBlob(c, r, n, ro ? da::dbiREADONLY : da::dbiREADWRITE);
  }
  DBIResult GetBlobSize(hDBICur c, const std::uint8_t* r, std::uint16_t n, std::uint32_t& s) override {
    return da::DbiGetBlobSize(c, r, n, s);
  }
  DBIResult GetBlob(hDBICur c, const std::uint8_t* r, std::uint16_t n, std::uint32_t off, std::uint32_t len,
                    std::uint8_t* d, std::uint32_t& read) override {
    return da::DbiGetBlob(c, r, n, off, len, d, read);
  }
  DBIResult PutBlob(hDBICur c, std::uint8_t* r, std::uint16_t n, std::uint32_t off, std::uint32_t len,
                    const std::uint8_t* s) override {
    return da::DbiPutBlob(c, r, n, off, len, s);
  }
  DBIResult TruncateBlob(hDBICur c, std::uint8_t* r, std::uint16_t n, std::uint32_t len) override {
    return da::DbiTruncateBlob(c, r, n, len);
  }
  DBIResult FreeBlob(hDBICur c, std::uint8_t* r, std::uint16_t n) override { return da::DbiFreeBlob(c, r, n); }
};

}  // namespace

std::shared_ptr<TDbiLink> MakeAccessLayerLink() { return std::make_shared<TAccessLayerLink>(); }

}  // namespace tw
