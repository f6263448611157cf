// The engine object: one per process between DbiInit and DbiExit.  Every entry point takes
// its handle as the current session, database, cursor or statement here and calls one
// operation of that object; a nil, stale or foreign handle answers 9990 (10011 for sessions).
#pragma once

#include <cstdint>
#include <string>

#include "dbaccess/handles.h"

namespace tw::dbaccess {

class TBaseSession;
class TBaseDatabase;
class TBaseTable;

class TVirtEng : public TBapiListItem {
  TW_CLASS(TVirtEng, TBapiListItem)
 public:
  TVirtEng();
  ~TVirtEng() override;

  DBIResult GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) override;
  DBIResult SetProp(std::uint32_t Prop, std::uintptr_t Value) override;

  TTitanCollection& Sessions() { return FSessions; }
  const FMTDate& DateFormat() const { return FDateFormat; }
  const FMTTime& TimeFormat() const { return FTimeFormat; }

  DBIResult StartSession(const std::string& Name, const std::string& Directory, hDBISes& Session);

  // Current-object selection; each stores and answers the kept result.
  TBaseTable* TakeCursor(hDBICur H);
  TBaseDatabase* TakeDatabase(hDBIDb H);
  TBaseSession* TakeSession();
  TBapiListItem* TakeStatement(hDBIStmt H);

  TBaseSession* CurrentSession() const { return FCurrentSession; }
  // The cursor of the last cursor call, nullptr when none or when it has been freed since.
  TBaseTable* CurrentCursor() const;
  void SetCurrentSession(TBaseSession* S) { FCurrentSession = S; }
  // Frees a session and makes the first remaining one current.
  void CloseSession(TBaseSession* S);
  // Frees a cursor; the current cursor field is cleared when it names it.
  void FreeCursor(TBaseTable* C);

 private:
  TTitanCollection FSessions;
  FMTDate FDateFormat;
  FMTTime FTimeFormat;
  TBaseSession* FCurrentSession = nullptr;
  TBaseDatabase* FCurrentDatabase = nullptr;
  TBaseTable* FCurrentCursor = nullptr;
  hDBICur FCurrentCursorId = 0;
  TBapiListItem* FCurrentStatement = nullptr;
  std::uint32_t FClientProp = 0;
};

// The process-wide engine object, nullptr while not initialised.
TVirtEng* VirtEng();

// Database name cleaning: a bracketed prefix, its closing bracket and the character after it
// are cut out.
std::string CleanDatabaseName(const char* Name);

}  // namespace tw::dbaccess
