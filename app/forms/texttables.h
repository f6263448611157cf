// The two tables the main window reads: the interpretation texts ("Interprt.QND", keyed by
// language, transit body, radix body and aspect) and the message texts ("Messages.QND", walked
// in one language through a key range).  The adapters put them behind the small interfaces of the
// transit list and the message loader.
#pragma once

#include <string>

#include "app/forms/transitlist.h"
#include "app/lib/appsupport.h"

namespace tw {
class TTable;
}

namespace tw::app {

inline constexpr char TextDatabaseName[] = "Tidewell";
inline constexpr char InterpretationTableName[] = "Interprt.QND";
inline constexpr char InterpretationIndexName[] = "XPKTransTexts";
inline constexpr char MessageTableName[] = "Messages.QND";
inline constexpr char MessageIndexName[] = "XPKMsgs";

// Sets database, table and index of `table` for the interpretation texts, read-only.
void SetupInterpretationTable(TTable& table);
// Sets database, table and index of `table` for the message texts, read-only.
void SetupMessageTable(TTable& table);

// Interpretation texts found by key; no text while the table is closed.
class TTableTransitTexts : public ITransitTexts {
 public:
  explicit TTableTransitTexts(TTable& table) : Table(table) {}
  bool FindText(const std::string& languageCode, int transitBody, int radixBody, int aspect,
                std::string& text) override;

 private:
  TTable& Table;
};

// The message table as the message loader walks it.
class TTableMessageRecords : public TMessageRecords {
 public:
  explicit TTableMessageRecords(TTable& table) : Table(table) {}
  bool Active() const override;
  // A key range over the first field of the message index.
  void SelectLanguage(const std::string& languageCode) override;
  void First() override;
  bool Eof() const override;
  void Next() override;
  int Nr() override;
  std::string Text() override;

 private:
  TTable& Table;
};

}  // namespace tw::app
