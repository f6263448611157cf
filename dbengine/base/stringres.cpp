#include "dbengine/base/stringres.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "dbengine/base/errors.h"
#include "platform/classes/stringtable.h"
#include "platform/classes/resources.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::dbengine {

// ---- the reader's own texts -------------------------------------------------------------

namespace {
const char* BuiltInLLResText(int id) {
  switch (id) {
    case 1: return "INTERNAL: String %d not found in string resource [%s]";
    case 2: return "INTERNAL: Cannot lock string resource [%s]";
    case 3: return "INTERNAL: String resource [%s] not found";
    case 4: return "INTERNAL: Unable to open string resource [%s]";
    case 5: return "INTERNAL: No string resource name provided";
    default: return "";
  }
}

std::string FillName(int id, const std::string& name) {
  const std::string pattern = QNLLResText(id);
  try {
    return Format(pattern, {name});
  } catch (const Exception&) {
    return pattern;
  }
}
}  // namespace

std::string QNLLResText(int Id) {
  // Read straight from the table: a reader's own failures cannot go through a reader.
  if (Id >= 0 && Id <= 0xFFFF) {
    if (auto table = FindResource("QNLLRES_STRINGS_ENGLISH")) {
      if (auto text = tw::ScanStringTable(*table, static_cast<std::uint16_t>(Id)); text && !text->empty())
        return std::string(*text);
    }
  }
  return BuiltInLLResText(Id);
}

// ---- TqnStringResItem -------------------------------------------------------------------

TqnStringResItem::TqnStringResItem(int Id, std::string_view Text) : TqnIntListItem(Id), FText(QNShStrAlloc(Text)) {}

TqnStringResItem::~TqnStringResItem() { QNShStrFree(FText); }

// ---- TqnStringResource ------------------------------------------------------------------

TqnStringResource::TqnStringResource(std::string_view ResourceName, std::string_view Language)
    : FStringCache(new TqnList) {
  try {
    if (ResourceName.empty()) throw EqnStringResourceError(QNLLResText(5));
    std::string language = AnsiUpperCase(Language.substr(0, std::min<std::size_t>(Language.size(), 31)));
    if (language.empty()) language = "ENGLISH";
    const std::string base = AnsiUpperCase(ResourceName);
    for (int attempt = 0;; ++attempt) {
      const std::string name = base + "_" + language;
      if (auto bytes = FindResource(name)) {
        FResData.assign(bytes->data(), bytes->size());
        FResName = name;
        break;
      }
      if (attempt == 1) throw EqnStringResourceError(FillName(3, name));
      language = "ENGLISH";
    }
  } catch (...) {
    delete FStringCache;
    throw;
  }
}

TqnStringResource::TqnStringResource() : FStringCache(new TqnList) {}

TqnStringResource* TqnStringResource::FromTable(std::string ResName, std::string Bytes) {
  auto* r = new TqnStringResource;
  r->FResName = std::move(ResName);
  r->FResData = std::move(Bytes);
  return r;
}

TqnStringResource::~TqnStringResource() { delete FStringCache; }

ShortString TqnStringResource::GetString(int Id) const {
  if (Id < 0 || Id > 0xFFFF) return {};
  TqnPadLockGuard guard(FPadLock);
  const std::int32_t key = Id;
  if (auto* item = FStringCache->ItemAs<TqnStringResItem>(FStringCache->IndexOf(&key))) return ShortString(item->Text());
  const auto text = tw::ScanStringTable(FResData, static_cast<std::uint16_t>(Id));
  if (!text) return {};
  const ShortString result(*text);  // cut to 255 characters
  auto* item = new TqnStringResItem(Id, result.View());
  if (!FStringCache->Insert(item)) delete item;
  return result;
}

char* TqnStringResource::GetStringToBuf(int Id, char* Buf, int MaxLen) const {
  if (Buf == nullptr) return nullptr;
  const ShortString s = GetString(Id);
  const std::size_t n = MaxLen <= 0 ? 0 : std::min<std::size_t>(s.Length(), static_cast<std::size_t>(MaxLen));
  if (n) std::memcpy(Buf, s.View().data(), n);
  Buf[n] = '\0';
  return Buf;
}

// ---- process-wide readers ---------------------------------------------------------------

namespace {
// A reader made on first use and kept for the whole run (exceptions may be raised with its
// texts until the end); a failed creation raises and is tried again on the next call.
class LazyReader {
 public:
  LazyReader(const char* name, TqnStringResource* (*fallback)() = nullptr) : name_(name), fallback_(fallback) {}
  const TqnStringResource& Get() {
    TqnStringResource* r = reader_.load(std::memory_order_acquire);
    if (r != nullptr) return *r;
    std::lock_guard<std::mutex> guard(lock_);
    r = reader_.load(std::memory_order_relaxed);
    if (r == nullptr) {
      try {
        r = new TqnStringResource(name_, "");
      } catch (const EqnStringResourceError&) {
        if (fallback_ == nullptr) throw;
        r = fallback_();
      }
      reader_.store(r, std::memory_order_release);
    }
    return *r;
  }

 private:
  const char* name_;
  TqnStringResource* (*fallback_)();
  std::mutex lock_;
  std::atomic<TqnStringResource*> reader_{nullptr};
};

TqnStringResource* BuiltInLLResStrings() {
  std::vector<std::pair<std::uint16_t, std::string>> records;
  for (int id = 1; id <= 5; ++id) records.emplace_back(static_cast<std::uint16_t>(id), BuiltInLLResText(id));
  return TqnStringResource::FromTable("QNLLRES_STRINGS_ENGLISH", tw::BuildStringTable(records));
}
}  // namespace

const TqnStringResource& qnLLResStrings() {
  static auto* r = new LazyReader("QNLLRES_STRINGS", &BuiltInLLResStrings);
  return r->Get();
}
const TqnStringResource& qnGeneralStrings() { static auto* r = new LazyReader("GENERAL_STRINGS"); return r->Get(); }
const TqnStringResource& qnNetBIOSStrings() { static auto* r = new LazyReader("NETBIOS_ERROR_STRINGS"); return r->Get(); }
const TqnStringResource& qnWinsockStrings() { static auto* r = new LazyReader("WINSOCK_ERROR_STRINGS"); return r->Get(); }
const TqnStringResource& qnServerStrings() { static auto* r = new LazyReader("SERVER_STRINGS"); return r->Get(); }
const TqnStringResource& qnClientStrings() { static auto* r = new LazyReader("CLIENT_STRINGS"); return r->Get(); }
const TqnStringResource& qnDBEErrorStrings() { static auto* r = new LazyReader("DBE_ERROR_STRINGS"); return r->Get(); }

}  // namespace tw::dbengine
