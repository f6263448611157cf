// Adapters of the interpretation and message tables.
#include "app/forms/texttables.h"

#include <cstdint>

#include "dataset/fields.h"
#include "dataset/table.h"

namespace tw::app {

void SetupInterpretationTable(TTable& table) {
  table.SetDatabaseName(TextDatabaseName);
  table.SetTableName(InterpretationTableName);
  table.SetIndexName(InterpretationIndexName);
  table.SetReadOnly(true);
}

void SetupMessageTable(TTable& table) {
  table.SetDatabaseName(TextDatabaseName);
  table.SetTableName(MessageTableName);
  table.SetIndexName(MessageIndexName);
  table.SetReadOnly(true);
}

bool TTableTransitTexts::FindText(const std::string& languageCode, int transitBody, int radixBody, int aspect,
                                  std::string& text) {
  if (!Table.Active()) return false;
  if (!Table.FindKey({languageCode, std::int64_t{transitBody}, std::int64_t{radixBody}, std::int64_t{aspect}})) {
    return false;
  }
  text = Table.FieldByName("Interpretation")->AsString();
  return true;
}

bool TTableMessageRecords::Active() const { return Table.Active(); }

void TTableMessageRecords::SelectLanguage(const std::string& languageCode) {
  // The language is the first key field of the message index: the range reads only its records.
  Table.SetRange({languageCode}, {languageCode});
}

void TTableMessageRecords::First() { Table.First(); }
bool TTableMessageRecords::Eof() const { return Table.Eof(); }
void TTableMessageRecords::Next() { Table.Next(); }
int TTableMessageRecords::Nr() { return Table.FieldByName("Nr")->AsInteger(); }
std::string TTableMessageRecords::Text() { return Table.FieldByName("Text")->AsString(); }

}  // namespace tw::app
