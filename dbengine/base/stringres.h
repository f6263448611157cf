// The engine's reader of string-table resources (16-bit id, zero-terminated Windows-1252
// text, repeated to the end of the blob) and the process-wide readers of the engine's tables.
// A reader keeps its own copy of the table's bytes and caches every text it has found.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dbengine/base/padlock.h"
#include "dbengine/base/qnlist.h"
#include "dbengine/base/qnobject.h"
#include "dbengine/base/shortstring.h"

namespace tw::dbengine {

// A cached text: key = the string id.
class TqnStringResItem : public TqnIntListItem {
  TW_CLASS(TqnStringResItem, TqnIntListItem)
 public:
  TqnStringResItem(int Id, std::string_view Text);
  ~TqnStringResItem() override;
  std::string_view Text() const { return QNShStrView(FText); }

 private:
  const std::uint8_t* FText;
};

class TqnStringResource : public TqnObject {
  TW_CLASS(TqnStringResource, TqnObject)
 public:
  // Finds the table ResourceName + "_" + Language (upper-cased; an empty Language is
  // "ENGLISH"), falling back to the English table.  Raises EqnStringResourceError when
  // ResourceName is empty or neither table exists.
  TqnStringResource(std::string_view ResourceName, std::string_view Language);
  // A reader over the given table bytes (built-in tables, tests).
  static TqnStringResource* FromTable(std::string ResName, std::string Bytes);
  ~TqnStringResource() override;

  // The text of Id, at most 255 characters; empty when the table does not hold Id (or when Id
  // is outside 0..65535).
  ShortString GetString(int Id) const;
  // GetString(Id) copied into Buf, at most MaxLen characters, with a terminating zero (Buf
  // holds MaxLen + 1 bytes).  Returns Buf.
  char* GetStringToBuf(int Id, char* Buf, int MaxLen) const;

  // The name of the table that was found, e.g. "SERVER_STRINGS_ENGLISH".
  const std::string& ResName() const { return FResName; }
  int ResSize() const { return static_cast<int>(FResData.size()); }
  int CachedCount() const { return FStringCache->Count(); }

 private:
  TqnStringResource();
  TqnList* FStringCache;
  std::string FResData;
  std::string FResName;
  mutable TqnPadLock FPadLock;
};

// The process-wide readers, created on first use (thread-safe) and kept for the whole run.  A
// missing table raises EqnStringResourceError on each call until it can be read, except the
// reader's own table, which falls back to built-in texts.
const TqnStringResource& qnLLResStrings();     // QNLLRES_STRINGS: the reader's own errors
const TqnStringResource& qnGeneralStrings();   // GENERAL_STRINGS
const TqnStringResource& qnNetBIOSStrings();   // NETBIOS_ERROR_STRINGS
const TqnStringResource& qnWinsockStrings();   // WINSOCK_ERROR_STRINGS
const TqnStringResource& qnServerStrings();    // SERVER_STRINGS
const TqnStringResource& qnClientStrings();    // CLIENT_STRINGS
const TqnStringResource& qnDBEErrorStrings();  // DBE_ERROR_STRINGS

// The reader's own error texts (ids 1 to 5 of QNLLRES_STRINGS); built-in English texts when
// that table is missing or lacks the id.
std::string QNLLResText(int Id);

}  // namespace tw::dbengine
