// Reader of string-table resources: finds a table by name with a language suffix (falling back
// to the bare name), looks texts up by number and keeps the last texts found in a small cache.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "platform/classes/object.h"
#include "platform/rtl/exceptions.h"

namespace tw::entry {

TW_DECLARE_EXCEPTION(ESrsStringResourceError, Exception);

class SrsStringResource : public TObject {
  TW_CLASS(SrsStringResource, TObject)
 public:
  // Opens ResourceName + Suffix, or ResourceName alone when that is missing; raises
  // ESrsStringResourceError "String resource not found: %s" (with ResourceName) when neither
  // exists.  An empty ResourceName opens nothing: every lookup gives an empty text.
  SrsStringResource(const std::string& ResourceName, const std::string& Suffix);

  // The text with number Id: empty when the table does not hold it, or, with ReportMissing,
  // ESrsStringResourceError "String not found: %d".
  std::string GetString(std::uint16_t Id);

  int CacheLimit() const { return FCacheLimit; }
  void SetCacheLimit(int Limit) { FCacheLimit = Limit > 1 ? Limit : 1; }
  bool ReportMissing() const { return FReportMissing; }
  void SetReportMissing(bool Value) { FReportMissing = Value; }
  int CacheCount() const { return static_cast<int>(FCache.size()); }
  // The name of the table that was opened (empty when none).
  const std::string& ResourceName() const { return FResourceName; }

 private:
  int FCacheLimit = 50;
  bool FReportMissing = false;
  std::deque<std::pair<std::uint16_t, std::string>> FCache;  // in the order found
  std::string FResourceName;
  std::string FResource;  // the table's bytes
  bool FOpen = false;
};

// The reader of "SRSRES_STRINGS" (no suffix), which holds the reader's own error texts; made by
// InitSrsStrRes, nullptr before.
SrsStringResource* SrsResStrings();
// The reader's own error text Id: from SrsResStrings, or, before the start-up or when the table
// lacks it, from the table directly or the built-in text.
std::string SrsResText(std::uint16_t Id);

// Start-up of the reader unit: creates SrsResStrings, raising ESrsStringResourceError when
// "SRSRES_STRINGS" is missing.  The reader is freed when the program ends.
void InitSrsStrRes();

}  // namespace tw::entry
