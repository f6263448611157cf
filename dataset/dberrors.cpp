#include "dataset/dberrors.h"

#include "dataset/dbilink.h"
#include "platform/rtl/uilanguage.h"

namespace tw {

namespace {
std::string EngineText(DBIResult code) {
  try {
    return DbiLink().ErrorText(code);
  } catch (...) {
    return "DBE Error " + std::to_string(static_cast<std::int16_t>(code)) + ".";
  }
}
}  // namespace

EDBEngineError::EDBEngineError(DBIResult code) : EDBEngineError(code, EngineText(code)) {}

EDBEngineError::EDBEngineError(DBIResult code, const std::string& text) : EDatabaseError(text) {
  FErrors.push_back(TDBError{code, text, 0});
}

void DatabaseError(const std::string& message) { throw EDatabaseError(message); }

void DatabaseErrorFmt(const std::string& format, const std::string& arg) {
  std::string msg = format;
  std::size_t p = msg.find("%s");
  if (p != std::string::npos) msg.replace(p, 2, arg);
  throw EDatabaseError(msg);
}

void Check(DBIResult status) {
  if (status != 0) throw EDBEngineError(status);
}

void CheckTable(DBIResult status, const std::string& tableName) {
  if (status == 0) return;
  // The engine's text names no table: the line the engine's error context gives is added.
  constexpr TUiTextPair kGerman[] = {{"Table: %s", "Tabelle: %s"}};
  std::string context = UiText("Table: %s", kGerman);
  context.replace(context.find("%s"), 2, tableName);
  throw EDBEngineError(status, EngineText(status) + "\n" + context);
}

}  // namespace tw
