#include "dbaccess/virteng.h"

#include <cstring>

#include "dbaccess/basetable.h"
#include "dbaccess/database.h"
#include "dbaccess/session.h"
#include "platform/rtl/formatsettings.h"

namespace tw::dbaccess {

TVirtEng::TVirtEng() : TBapiListItem(nullptr, nullptr) {
  const TFormatSettings& fs = FormatSettings();
  std::string sep(1, fs.DateSeparator);
  CopyText(FDateFormat.szDateSeparator, sep, 3);
  FDateFormat.iDateMode = 0;
  std::string shortDate = fs.ShortDateFormat;
  FDateFormat.bFourDigitYear = shortDate.find("yyyy") != std::string::npos;
  FDateFormat.bYearBiased = 1;
  FDateFormat.bMonthLeadingZero = shortDate.find("mm") != std::string::npos;
  FDateFormat.bDayLeadingZero = shortDate.find("dd") != std::string::npos;
  FTimeFormat.cTimeSeparator = fs.TimeSeparator;
  FTimeFormat.bTwelveHour = fs.ShortTimeFormat.find(" AMPM") != std::string::npos;
  if (FTimeFormat.bTwelveHour) {
    CopyText(FTimeFormat.szAmString, fs.TimeAMString, 5);
    CopyText(FTimeFormat.szPmString, fs.TimePMString, 5);
  }
  FTimeFormat.bSeconds = 1;
}

TVirtEng::~TVirtEng() {
  FCurrentSession = nullptr;
  FSessions.FreeAll();
}

DBIResult TVirtEng::GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) {
  if (Prop == sysCLIENTPROP) {
    if (!Value || MaxLen < 4) return SetResult(DBIERR_INVALIDPARAM);
    std::memcpy(Value, &FClientProp, 4);
    Len = 4;
    return SetResult(DBIERR_NONE);
  }
  return SetResult(DBIERR_NOTSUPPORTED);
}

DBIResult TVirtEng::SetProp(std::uint32_t Prop, std::uintptr_t Value) {
  if (Prop == sysCLIENTPROP) FClientProp = static_cast<std::uint32_t>(Value);
  return SetResult(DBIERR_NONE);
}

DBIResult TVirtEng::StartSession(const std::string& Name, const std::string& Directory, hDBISes& Session) {
  TBaseSession* s = nullptr;
  try {
    s = new TQNClientSession(&FSessions, this, Name, Directory);
  } catch (const std::exception&) {
    s = nullptr;
  }
  if (!s) return SetResult(DBIERR_NOTINITIALIZED);
  SetResult(DBIERR_NONE);
  FCurrentSession = s;
  Session = s->Handle();
  return Result();
}

TBaseTable* TVirtEng::TakeCursor(hDBICur H) {
  // Ids are never reused: the live object of the id taken last is the cursor it was then.
  if (H == 0 || H != FCurrentCursorId || !FCurrentCursor || FromHandle(H) != FCurrentCursor)
    FCurrentCursor = Resolve<TBaseTable>(H);
  FCurrentCursorId = FCurrentCursor ? H : 0;
  SetResult(FCurrentCursor ? DBIERR_NONE : DBIERR_INVALIDHNDL);
  return FCurrentCursor;
}

TBaseDatabase* TVirtEng::TakeDatabase(hDBIDb H) {
  FCurrentDatabase = Resolve<TBaseDatabase>(H);
  SetResult(FCurrentDatabase ? DBIERR_NONE : DBIERR_INVALIDHNDL);
  return FCurrentDatabase;
}

TBaseSession* TVirtEng::TakeSession() {
  if (FCurrentSession && FSessions.IndexOf(FCurrentSession) < 0) FCurrentSession = nullptr;
  SetResult(FCurrentSession ? DBIERR_NONE : DBIERR_INVALIDSESHANDLE);
  return FCurrentSession;
}

TBapiListItem* TVirtEng::TakeStatement(hDBIStmt H) {
  // No back end provides statements, so no statement handle is ever valid.
  FCurrentStatement = nullptr;
  (void)H;
  SetResult(DBIERR_INVALIDHNDL);
  return FCurrentStatement;
}

void TVirtEng::CloseSession(TBaseSession* S) {
  delete S;
  FCurrentSession = static_cast<TBaseSession*>(FSessions.At(0));
  FCurrentDatabase = nullptr;
  FCurrentCursor = nullptr;
}

TBaseTable* TVirtEng::CurrentCursor() const { return Resolve<TBaseTable>(FCurrentCursorId); }

void TVirtEng::FreeCursor(TBaseTable* C) {
  if (FCurrentCursor == C) FCurrentCursor = nullptr;
  delete C;
}

std::string CleanDatabaseName(const char* Name) {
  std::string name = Name ? std::string(Name).substr(0, 255) : std::string();
  auto open = name.find('[');
  if (open == std::string::npos) return name;
  auto close = name.find(']', open);
  if (close == std::string::npos) return name;
  std::size_t end = std::min(close + 2, name.size());
  return name.substr(0, open) + name.substr(end);
}

}  // namespace tw::dbaccess
