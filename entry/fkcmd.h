// Key commands of the entry fields: command tables that map one key, or a sequence of two,
// with its shift state to a command code, and the processor that holds a list of named tables
// and translates key presses through the active ones, in order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/filer.h"
#include "platform/win/winapi.h"

namespace tw::entry {

// Command codes.
enum : std::uint16_t {
  ccNone = 0, ccBack, ccBotOfPage, ccBotRightCell, ccCompleteDate, ccCompleteTime, ccCopy, ccCtrlChar,
  ccCut, ccDec, ccDel, ccDelBol, ccDelEol, ccDelLine, ccDelWord, ccDown, ccEnd, ccExtendDown,
  ccExtendEnd, ccExtendHome, ccExtendLeft, ccExtendPgDn, ccExtendPgUp, ccExtendRight, ccExtendUp,
  ccExtBotOfPage, ccExtFirstPage, ccExtLastPage, ccExtTopOfPage, ccExtWordLeft, ccExtWordRight,
  ccFirstPage, ccGotoMarker0, ccGotoMarker9 = ccGotoMarker0 + 9, ccHome, ccInc, ccIns, ccLastPage, ccLeft,
  ccNewLine, ccNextPage, ccPageLeft, ccPageRight, ccPaste, ccPrevPage, ccRedo, ccRestore, ccRight,
  ccScrollDown, ccScrollUp, ccSetMarker0, ccSetMarker9 = ccSetMarker0 + 9, ccTab, ccTableEdit,
  ccTopLeftCell, ccTopOfPage, ccUndo, ccUp, ccWordLeft, ccWordRight,
  // Made by the fields themselves.
  ccTypedChar = 249, ccMouseDown = 250, ccMouseDrag = 251,
  // Results of translation.
  ccChar = 252, ccDoubleClick = 253, ccNoOp = 254, ccPartial = 255,
  ccUserFirst = 256
};
// A failed two-key sequence shares its code with ccNoOp.
constexpr std::uint16_t ccFailedSequence = 254;

// Shift bytes of the tables.
constexpr std::uint8_t ksShift = 2, ksCtrl = 4, ksAlt = 8;
// Second-key shift value that accepts no shift key or Ctrl alone.
constexpr std::uint8_t ksAnyOrCtrl = 128;

struct TFkKeyEntry {
  std::uint8_t Key1 = 0;
  std::uint8_t Shift1 = 0;
  std::uint8_t Key2 = 0;
  std::uint8_t Shift2 = 0;
  std::uint16_t Command = 0;
  bool SameKey(const TFkKeyEntry& o) const {
    return Key1 == o.Key1 && Shift1 == o.Shift1 && Key2 == o.Key2 && Shift2 == o.Shift2;
  }
  bool operator==(const TFkKeyEntry&) const = default;
};

class TFkCommandTable : public TPersistent {
  TW_CLASS(TFkCommandTable, TPersistent)
 public:
  TFkCommandTable();

  bool IsActive = true;
  std::string TableName;

  int AddRow(const TFkKeyEntry& entry);
  int RowCount() const { return static_cast<int>(rows_.size()); }
  TFkKeyEntry GetRow(int index) const;  // EListError outside the rows
  int FindRow(const TFkKeyEntry& entry) const;
  void DeleteRow(int index);
  void ReplaceRow(int index, const TFkKeyEntry& entry);
  void ClearRows() { rows_.clear(); }
  const std::vector<TFkKeyEntry>& Rows() const { return rows_; }

  // Text form: the name line, then one row a line (Key1 Shift1 Key2 Shift2 Command).
  void LoadRowsFromFile(const std::string& fileName);
  void SaveRowsToFile(const std::string& fileName) const;
  // Reads the text form; a malformed row raises EInOutError (106) and a key given twice
  // EDuplicateCommand, leaving the table as it was.
  void LoadRowsFromText(const std::string& text);
  std::string RowsToText() const;

 private:
  std::vector<TFkKeyEntry> rows_;
};

class TFkCommandProcessor : public TPersistent {
  TW_CLASS(TFkCommandProcessor, TPersistent)
 public:
  // The built-in tables "Default" (active), "WordStar" and "Grid" (inactive).
  TFkCommandProcessor();
  ~TFkCommandProcessor() override;

  TFkCommandTable* NewTable(const std::string& name, bool active);
  // Takes the table over; its name is made unique first (Default, Default1, Default2, ...).
  void AddTable(TFkCommandTable* table);
  void AddRowToTable(const std::string& tableName, const TFkKeyEntry& entry);
  TFkCommandTable* GetTable(const std::string& name) const;
  TFkCommandTable* Tables(int index) const { return tables_.at(static_cast<std::size_t>(index)).get(); }
  int TableCount() const { return static_cast<int>(tables_.size()); }
  void ClearTables() { tables_.clear(); }
  // Moves a table to a place in the search order.
  void MoveTable(int from, int to);

  void ResetState();
  std::uint8_t State() const { return state_; }
  // Key and its shift (ksShift | ksCtrl | ksAlt) to a command code, 252 (no command), 254 (a
  // failed sequence) or 255 (first key of a sequence accepted).
  std::uint16_t Translate(std::uint16_t key, std::uint8_t shift);
  // The key from a key message and the shift from the keyboard's state.
  std::uint16_t TranslateKeyMessage(WPARAM key);

  virtual void LoadTableFile(const std::string& fileName);
  virtual void SaveTableFile(const std::string& tableName, const std::string& fileName);

  // Stored form (property "TableList"): per table its name, active flag and rows; a built-in
  // table stores only its differences from the built-in rows (command 0: a row taken out).
  void DefineProperties(TFiler* filer) override;
  void WriteTables(TWriter& writer) const;
  // Replaces the tables by those read; EReadError on a malformed list.
  void ReadTables(TReader& reader);

  // The built-in rows of a table name ("Default", "WordStar", "Grid"); empty for others.
  static std::vector<TFkKeyEntry> BuiltInRows(const std::string& name);

 private:
  std::uint16_t TranslateIn(const TFkCommandTable& table, std::uint8_t key, std::uint8_t shift);

  std::vector<std::unique_ptr<TFkCommandTable>> tables_;
  std::uint8_t state_ = 0;
  std::uint8_t savedKey_ = 0;
  std::uint8_t savedShift_ = 0;
};

}  // namespace tw::entry
