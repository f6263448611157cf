#include "entry/fkcmd.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "entry/fkexcept.h"
#include "entry/fkstrings.h"
#include "entry/strres/fkstrres.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::entry {

namespace {

constexpr std::uint16_t kTextDefault = 34275, kTextWordStar = 34276, kTextUnknown = 34277, kTextGrid = 34284;

constexpr std::uint8_t S = ksShift, C = ksCtrl, A = ksAlt;

TFkKeyEntry K(std::uint8_t key, std::uint8_t shift, std::uint16_t cmd) { return {key, shift, 0, 0, cmd}; }
TFkKeyEntry K2(std::uint8_t key, std::uint8_t shift, std::uint8_t key2, std::uint16_t cmd) {
  return {key, shift, key2, ksAnyOrCtrl, cmd};
}

enum : std::uint8_t { kBack = 8, kTab = 9, kEnter = 13, kPgUp = 33, kPgDn = 34, kEnd = 35, kHome = 36,
                      kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kIns = 45, kDel = 46, kF2 = 113 };

std::vector<TFkKeyEntry> DefaultRows() {
  std::vector<TFkKeyEntry> r = {
      K(kLeft, 0, ccLeft), K(kRight, 0, ccRight), K(kLeft, C, ccWordLeft), K(kRight, C, ccWordRight),
      K(kHome, 0, ccHome), K(kEnd, 0, ccEnd), K(kDel, 0, ccDel), K(kBack, 0, ccBack), K(kBack, S, ccBack),
      K(kPgUp, C, ccTopOfPage), K(kPgDn, C, ccBotOfPage), K(kIns, 0, ccIns), K('Z', C, ccUndo),
      K(kBack, A, ccRestore), K(kUp, 0, ccUp), K(kDown, 0, ccDown), K(kEnter, C, ccNewLine),
      K(kLeft, S, ccExtendLeft), K(kRight, S, ccExtendRight), K(kHome, S, ccExtendHome), K(kEnd, S, ccExtendEnd),
      K(kLeft, S | C, ccExtWordLeft), K(kRight, S | C, ccExtWordRight), K(kPgUp, S, ccExtendPgUp),
      K(kPgDn, S, ccExtendPgDn), K(kUp, S, ccExtendUp), K(kDown, S, ccExtendDown),
      K(kHome, S | C, ccExtFirstPage), K(kEnd, S | C, ccExtLastPage), K(kPgUp, S | C, ccExtTopOfPage),
      K(kPgDn, S | C, ccExtBotOfPage), K(kDel, S, ccCut), K('X', C, ccCut), K(kIns, C, ccCopy), K('C', C, ccCopy),
      K(kIns, S, ccPaste), K('V', C, ccPaste), K(kPgUp, 0, ccPrevPage), K(kPgDn, 0, ccNextPage),
      K(kHome, C, ccFirstPage), K(kEnd, C, ccLastPage), K(kTab, 0, ccTab), K(kTab, C, ccTab), K('Z', S | C, ccRedo)};
  for (int i = 0; i < 10; ++i) r.push_back(K(static_cast<std::uint8_t>('0' + i), C, static_cast<std::uint16_t>(ccGotoMarker0 + i)));
  for (int i = 0; i < 10; ++i)
    r.push_back(K(static_cast<std::uint8_t>('0' + i), S | C, static_cast<std::uint16_t>(ccSetMarker0 + i)));
  return r;
}

std::vector<TFkKeyEntry> WordStarRows() {
  std::vector<TFkKeyEntry> r = {
      K('S', C, ccLeft), K('D', C, ccRight), K('E', C, ccUp), K('X', C, ccDown), K('R', C, ccPrevPage),
      K('C', C, ccNextPage), K('W', C, ccScrollUp), K('Z', C, ccScrollDown), K('A', C, ccWordLeft),
      K('F', C, ccWordRight), K2('Q', C, 'S', ccHome), K2('Q', C, 'D', ccEnd), K('G', C, ccDel), K('H', C, ccBack),
      K('Y', C, ccDelLine), K2('Q', C, 'Y', ccDelEol), K('V', C, ccIns), K('T', C, ccDelWord), K('P', C, ccCtrlChar),
      K2('Q', C, 'L', ccRestore)};
  for (int i = 0; i < 10; ++i)
    r.push_back(K2('Q', C, static_cast<std::uint8_t>('0' + i), static_cast<std::uint16_t>(ccGotoMarker0 + i)));
  for (int i = 0; i < 10; ++i)
    r.push_back(K2('K', C, static_cast<std::uint8_t>('0' + i), static_cast<std::uint16_t>(ccSetMarker0 + i)));
  return r;
}

std::vector<TFkKeyEntry> GridRows() {
  return {K(kLeft, 0, ccLeft), K(kRight, 0, ccRight), K(kLeft, C, ccPageLeft), K(kRight, C, ccPageRight),
          K(kHome, 0, ccHome), K(kEnd, 0, ccEnd), K(kDel, 0, ccDel), K(kBack, 0, ccBack), K(kPgDn, C, ccBotOfPage),
          K(kPgUp, C, ccTopOfPage), K(kIns, 0, ccIns), K('Z', C, ccRestore), K(kUp, 0, ccUp), K(kDown, 0, ccDown),
          K(kLeft, S, ccExtendLeft), K(kRight, S, ccExtendRight), K(kHome, S, ccExtendHome), K(kEnd, S, ccExtendEnd),
          K(kLeft, S | C, ccExtWordLeft), K(kRight, S | C, ccExtWordRight), K(kPgUp, S, ccExtendPgUp),
          K(kPgDn, S, ccExtendPgDn), K(kUp, S, ccExtendUp), K(kDown, S, ccExtendDown), K(kHome, S | C, ccExtFirstPage),
          K(kEnd, S | C, ccExtLastPage), K(kPgUp, S | C, ccExtTopOfPage), K(kPgDn, S | C, ccExtBotOfPage),
          K('X', C, ccCut), K('C', C, ccCopy), K('V', C, ccPaste), K(kPgUp, 0, ccPrevPage), K(kHome, C, ccFirstPage),
          K(kPgDn, 0, ccNextPage), K(kEnd, C, ccLastPage), K(kUp, C, ccTopLeftCell), K(kDown, C, ccBotRightCell),
          K(kF2, 0, ccTableEdit)};
}

std::string TextOr(std::uint16_t id, const char* fallback) {
  std::string t = FkResString(id);
  return t.empty() ? std::string(fallback) : t;
}

bool SameName(const std::string& a, const std::string& b) { return AnsiUpperCase(a) == AnsiUpperCase(b); }

[[noreturn]] void BadRow(int line) {
  throw EInOutError("Invalid numeric input in command table line " + std::to_string(line), 106);
}

}  // namespace

// ---- TFkCommandTable

TFkCommandTable::TFkCommandTable() : TableName(TextOr(kTextUnknown, "(Unknown)")) {}

int TFkCommandTable::AddRow(const TFkKeyEntry& entry) {
  rows_.push_back(entry);
  return RowCount() - 1;
}

TFkKeyEntry TFkCommandTable::GetRow(int index) const {
  if (index < 0 || index >= RowCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return rows_[static_cast<std::size_t>(index)];
}

int TFkCommandTable::FindRow(const TFkKeyEntry& entry) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].SameKey(entry)) return static_cast<int>(i);
  return -1;
}

void TFkCommandTable::DeleteRow(int index) {
  if (index < 0 || index >= RowCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  rows_.erase(rows_.begin() + index);
}

void TFkCommandTable::ReplaceRow(int index, const TFkKeyEntry& entry) {
  if (index < 0 || index >= RowCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  rows_[static_cast<std::size_t>(index)] = entry;
}

void TFkCommandTable::LoadRowsFromText(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line)) throw EInOutError("Read beyond end of file", 100);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::string name = line;
  std::vector<TFkKeyEntry> rows;
  int lineNo = 1;
  while (std::getline(in, line)) {
    ++lineNo;
    std::istringstream ls(line);
    std::vector<long long> values;
    std::string word;
    while (ls >> word) {
      // Whole decimal numbers only; anything else is a malformed row.
      std::size_t start = (word[0] == '-' || word[0] == '+') ? 1 : 0;
      if (start == word.size() || word.size() > 12) BadRow(lineNo);
      for (std::size_t i = start; i < word.size(); ++i)
        if (word[i] < '0' || word[i] > '9') BadRow(lineNo);
      values.push_back(std::stoll(word));
    }
    if (values.empty()) continue;  // blank lines (and the final line end) carry nothing
    if (values.size() != 5) BadRow(lineNo);
    for (int i = 0; i < 4; ++i)
      if (values[static_cast<std::size_t>(i)] < 0 || values[static_cast<std::size_t>(i)] > 255) BadRow(lineNo);
    if (values[4] < 0 || values[4] > 65535) BadRow(lineNo);
    TFkKeyEntry e{static_cast<std::uint8_t>(values[0]), static_cast<std::uint8_t>(values[1]),
                  static_cast<std::uint8_t>(values[2]), static_cast<std::uint8_t>(values[3]),
                  static_cast<std::uint16_t>(values[4])};
    for (const auto& r : rows)
      if (r.SameKey(e)) throw EDuplicateCommand();
    rows.push_back(e);
  }
  TableName = name;
  rows_ = std::move(rows);
}

std::string TFkCommandTable::RowsToText() const {
  std::string out = TableName + "\r\n";
  char buf[64];
  for (const auto& r : rows_) {
    std::snprintf(buf, sizeof buf, "%4u%4u%4u%4u%6u\r\n", r.Key1, r.Shift1, r.Key2, r.Shift2, r.Command);
    out += buf;
  }
  return out;
}

void TFkCommandTable::LoadRowsFromFile(const std::string& fileName) { LoadRowsFromText(ReadFileBytes(fileName)); }

void TFkCommandTable::SaveRowsToFile(const std::string& fileName) const { AtomicWriteFile(fileName, RowsToText()); }

// ---- TFkCommandProcessor

std::vector<TFkKeyEntry> TFkCommandProcessor::BuiltInRows(const std::string& name) {
  if (SameName(name, TextOr(kTextDefault, "Default"))) return DefaultRows();
  if (SameName(name, TextOr(kTextWordStar, "WordStar"))) return WordStarRows();
  if (SameName(name, TextOr(kTextGrid, "Grid"))) return GridRows();
  return {};
}

TFkCommandProcessor::TFkCommandProcessor() {
  auto make = [this](std::uint16_t id, const char* fallback, bool active, std::vector<TFkKeyEntry> rows) {
    auto* t = NewTable(TextOr(id, fallback), active);
    for (const auto& r : rows) t->AddRow(r);
  };
  make(kTextDefault, "Default", true, DefaultRows());
  make(kTextWordStar, "WordStar", false, WordStarRows());
  make(kTextGrid, "Grid", false, GridRows());
}

TFkCommandProcessor::~TFkCommandProcessor() = default;

TFkCommandTable* TFkCommandProcessor::NewTable(const std::string& name, bool active) {
  auto t = std::make_unique<TFkCommandTable>();
  t->TableName = name;
  t->IsActive = active;
  tables_.push_back(std::move(t));
  return tables_.back().get();
}

void TFkCommandProcessor::AddTable(TFkCommandTable* table) {
  std::unique_ptr<TFkCommandTable> owned(table);
  std::string base = table->TableName;
  while (base.size() > 1 && base.back() >= '0' && base.back() <= '9') base.pop_back();
  if (GetTable(base) != nullptr) {
    for (int n = 1;; ++n) {
      std::string candidate = base + std::to_string(n);
      if (GetTable(candidate) == nullptr) {
        table->TableName = candidate;
        break;
      }
    }
  }
  tables_.push_back(std::move(owned));
}

void TFkCommandProcessor::AddRowToTable(const std::string& tableName, const TFkKeyEntry& entry) {
  TFkCommandTable* t = GetTable(tableName);
  if (t == nullptr) throw ETableNotFound();
  if (t->FindRow(entry) >= 0) throw EDuplicateCommand();
  t->AddRow(entry);
}

TFkCommandTable* TFkCommandProcessor::GetTable(const std::string& name) const {
  for (const auto& t : tables_)
    if (SameName(t->TableName, name)) return t.get();
  return nullptr;
}

void TFkCommandProcessor::MoveTable(int from, int to) {
  if (from < 0 || from >= TableCount() || to < 0 || to >= TableCount()) throw ETableNotFound();
  auto t = std::move(tables_[static_cast<std::size_t>(from)]);
  tables_.erase(tables_.begin() + from);
  tables_.insert(tables_.begin() + to, std::move(t));
}

void TFkCommandProcessor::ResetState() {
  state_ = 0;
  savedKey_ = 0;
  savedShift_ = 0;
}

std::uint16_t TFkCommandProcessor::TranslateIn(const TFkCommandTable& table, std::uint8_t key, std::uint8_t shift) {
  if (state_ != 1) {
    for (const auto& r : table.Rows()) {
      if (r.Key1 != key || r.Shift1 != shift) continue;
      if (r.Key2 != 0) {
        state_ = 1;
        savedKey_ = key;
        savedShift_ = shift;
        return ccPartial;
      }
      if (r.Command == ccCtrlChar) state_ = 2;
      return r.Command;
    }
    return 0;
  }
  for (const auto& r : table.Rows()) {
    if (r.Key1 != savedKey_ || r.Shift1 != savedShift_ || r.Key2 != key) continue;
    if (r.Shift2 == shift || (r.Shift2 == ksAnyOrCtrl && (shift == 0 || shift == ksCtrl))) {
      state_ = static_cast<std::uint8_t>(r.Command == ccCtrlChar ? 2 : 0);
      return r.Command;
    }
  }
  return 0;
}

std::uint16_t TFkCommandProcessor::Translate(std::uint16_t key, std::uint8_t shift) {
  switch (key) {
    case 16: case 17: case 18: case 20: case 144: case 145:
      return state_ == 1 ? ccPartial : ccChar;
    default: break;
  }
  if (state_ == 2) {
    state_ = 0;
    return ccChar;
  }
  shift &= ksShift | ksCtrl | ksAlt;
  const bool pending = state_ == 1;
  if (key <= 255) {
    for (const auto& t : tables_) {
      if (!t->IsActive) continue;
      std::uint16_t answer = TranslateIn(*t, static_cast<std::uint8_t>(key), shift);
      if (answer != 0) {
        // A sequence's second key ends the sequence whatever the table's answer.
        if (pending && state_ == 1) state_ = 0;
        return answer;
      }
    }
  }
  state_ = 0;
  savedKey_ = savedShift_ = 0;
  return pending ? ccFailedSequence : static_cast<std::uint16_t>(ccChar);
}

std::uint16_t TFkCommandProcessor::TranslateKeyMessage(WPARAM key) {
  return Translate(static_cast<std::uint16_t>(key), CurrentShiftFlags());
}

namespace {
std::int32_t PackKey(const TFkKeyEntry& e) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(e.Key1) | (static_cast<std::uint32_t>(e.Shift1) << 8) |
                                   (static_cast<std::uint32_t>(e.Key2) << 16) | (static_cast<std::uint32_t>(e.Shift2) << 24));
}
TFkKeyEntry UnpackKey(std::int32_t packed, std::int32_t command) {
  auto u = static_cast<std::uint32_t>(packed);
  return {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u >> 16),
          static_cast<std::uint8_t>(u >> 24), static_cast<std::uint16_t>(command)};
}
}  // namespace

void TFkCommandProcessor::DefineProperties(TFiler* filer) {
  TPersistent::DefineProperties(filer);
  filer->DefineProperty(
      "TableList", [this](TReader& r) { ReadTables(r); }, [this](TWriter& w) { WriteTables(w); }, true);
}

void TFkCommandProcessor::WriteTables(TWriter& writer) const {
  writer.WriteListBegin();
  for (const auto& t : tables_) {
    writer.WriteString(t->TableName);
    writer.WriteBoolean(t->IsActive);
    writer.WriteListBegin();
    const std::vector<TFkKeyEntry> builtIn = BuiltInRows(t->TableName);
    std::vector<TFkKeyEntry> stored;
    for (const auto& b : builtIn)
      if (t->FindRow(b) < 0) stored.push_back({b.Key1, b.Shift1, b.Key2, b.Shift2, 0});
    for (const auto& r : t->Rows())
      if (std::find(builtIn.begin(), builtIn.end(), r) == builtIn.end()) stored.push_back(r);
    for (const auto& r : stored) {
      writer.WriteInteger(PackKey(r));
      writer.WriteInteger(static_cast<std::int32_t>(r.Command));
    }
    writer.WriteListEnd();
  }
  writer.WriteListEnd();
}

void TFkCommandProcessor::ReadTables(TReader& reader) {
  std::vector<std::unique_ptr<TFkCommandTable>> tables;
  reader.ReadListBegin();
  while (!reader.EndOfList()) {
    auto t = std::make_unique<TFkCommandTable>();
    t->TableName = reader.ReadString();
    t->IsActive = reader.ReadBoolean();
    for (const auto& r : BuiltInRows(t->TableName)) t->AddRow(r);
    reader.ReadListBegin();
    while (!reader.EndOfList()) {
      const std::int32_t key = reader.ReadInteger();
      const std::int32_t command = reader.ReadInteger();
      if (command < 0 || command > 65535) throw EReadError("Invalid property value");
      TFkKeyEntry e = UnpackKey(key, command);
      int at = t->FindRow(e);
      if (at >= 0) {
        if (e.Command == 0) t->DeleteRow(at);
        else t->ReplaceRow(at, e);
      } else if (e.Command != 0) {
        t->AddRow(e);
      }
    }
    reader.ReadListEnd();
    tables.push_back(std::move(t));
  }
  reader.ReadListEnd();
  tables_ = std::move(tables);
  ResetState();
}

void TFkCommandProcessor::LoadTableFile(const std::string& fileName) {
  auto t = std::make_unique<TFkCommandTable>();
  t->LoadRowsFromFile(fileName);
  AddTable(t.release());
}

void TFkCommandProcessor::SaveTableFile(const std::string& tableName, const std::string& fileName) {
  if (TFkCommandTable* t = GetTable(tableName)) t->SaveRowsToFile(fileName);
}

}  // namespace tw::entry
