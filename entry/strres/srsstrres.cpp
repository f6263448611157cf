#include "entry/strres/srsstrres.h"

#include <memory>

#include "platform/classes/stringtable.h"
#include "platform/classes/resources.h"
#include "platform/rtl/sysutils.h"

namespace tw::entry {

namespace {
// The reader's own texts, used when "SRSRES_STRINGS" is missing or lacks one.
const char* BuiltInText(std::uint16_t id) {
  switch (id) {
    case 1: return "String not found: %d";
    case 2: return "Cannot lock resource";
    case 3: return "String resource not found: %s";
    case 4: return "Unable to open string resource: %s";
    default: return "";
  }
}

// A pattern filled with one argument; a pattern that does not fit gives the pattern itself.
std::string Fill(const std::string& pattern, const TVarRec& arg) {
  try {
    return Format(pattern, {arg});
  } catch (const Exception&) {
    return pattern;
  }
}

std::unique_ptr<SrsStringResource>& SrsResSlot() {
  static std::unique_ptr<SrsStringResource> reader;
  return reader;
}

}  // namespace

SrsStringResource* SrsResStrings() { return SrsResSlot().get(); }

void InitSrsStrRes() {
  // A new reader replaces the one of an earlier start-up only when it could be made.
  auto reader = std::make_unique<SrsStringResource>("SRSRES_STRINGS", "");
  SrsResSlot() = std::move(reader);
}

std::string SrsResText(std::uint16_t Id) {
  if (SrsStringResource* reader = SrsResStrings()) {
    std::string text = reader->GetString(Id);
    if (!text.empty()) return text;
    return BuiltInText(Id);
  }
  // Before the start-up the table is read without a reader (making one may need these texts).
  if (auto table = FindResource("SRSRES_STRINGS")) {
    if (auto text = ScanStringTable(*table, Id); text && !text->empty()) return std::string(*text);
  }
  return BuiltInText(Id);
}

SrsStringResource::SrsStringResource(const std::string& ResourceName, const std::string& Suffix) {
  if (ResourceName.empty()) return;
  // Names are limited to 255 characters.
  const std::string withSuffix = (ResourceName + Suffix).substr(0, 255);
  std::optional<std::string_view> bytes = FindResource(withSuffix);
  std::string name = withSuffix;
  if (!bytes) {
    name = ResourceName.substr(0, 255);
    bytes = FindResource(name);
  }
  if (!bytes) throw ESrsStringResourceError(Fill(SrsResText(3), name));
  FResourceName = name;
  FResource.assign(bytes->data(), bytes->size());
  FOpen = true;
}

std::string SrsStringResource::GetString(std::uint16_t Id) {
  for (const auto& [id, text] : FCache)
    if (id == Id) return text;
  std::optional<std::string_view> text;
  if (FOpen) text = ScanStringTable(FResource, Id);
  if (!text) {
    if (FReportMissing) throw ESrsStringResourceError(Fill(SrsResText(1), static_cast<int>(Id)));
    return {};
  }
  // At the limit the oldest entries go until the cache holds limit - limit/10 - 1.
  if (static_cast<int>(FCache.size()) >= FCacheLimit) {
    const int keep = FCacheLimit - FCacheLimit / 10 - 1;
    while (!FCache.empty() && static_cast<int>(FCache.size()) > keep) FCache.pop_front();
  }
  FCache.emplace_back(Id, std::string(*text));
  return FCache.back().second;
}

}  // namespace tw::entry
