#include "entry/strres/fkstrres.h"

#include <memory>
#include <mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/uilanguage.h"
#include "platform/rtl/win1252.h"

namespace tw::entry {

namespace {

std::unique_ptr<SrsStringResource> MakeFieldkitStrings() {
  return std::make_unique<SrsStringResource>("FIELDKIT_STRINGS", "_ENGLISH");
}

struct FieldkitSlot {
  std::mutex mutex;
  std::unique_ptr<SrsStringResource> reader;
};

FieldkitSlot& Slot() {
  static FieldkitSlot slot;
  return slot;
}

}  // namespace

SrsStringResource& FieldkitStrings() {
  // The entry fields use the reader from the user-interface thread only; the lock covers its
  // making by a part that skipped the start-up.
  FieldkitSlot& slot = Slot();
  std::lock_guard lock(slot.mutex);
  if (!slot.reader) slot.reader = MakeFieldkitStrings();
  return *slot.reader;
}

void InitFkStrRes() {
  (void)FkAlphaChars();
  auto reader = MakeFieldkitStrings();
  FieldkitSlot& slot = Slot();
  std::lock_guard lock(slot.mutex);
  slot.reader = std::move(reader);
}

namespace {

// The German table, nullptr when the program has none.
SrsStringResource* GermanFieldkitStrings() {
  static std::once_flag once;
  static SrsStringResource* reader = nullptr;
  std::call_once(once, [] {
    try {
      reader = new SrsStringResource("FIELDKIT_STRINGS", "_GERMAN");
    } catch (const Exception&) {
      reader = nullptr;
    }
  });
  return reader;
}

}  // namespace

std::string FkResString(std::uint16_t Id) {
  // In German the German text, where the German table has one.
  if (UiLanguage() == TUiLanguage::German)
    if (SrsStringResource* german = GermanFieldkitStrings()) {
      std::string text = german->GetString(Id);
      if (!text.empty()) return text;
    }
  return FieldkitStrings().GetString(Id);
}

const std::bitset<256>& FkAlphaChars() {
  static const std::bitset<256> chars = [] {
    std::bitset<256> s;
    for (unsigned char c : {' ', ',', '-', '.'}) s.set(c);
    for (int c = 'A'; c <= 'Z'; ++c) s.set(static_cast<std::size_t>(c));
    for (int c = 'a'; c <= 'z'; ++c) s.set(static_cast<std::size_t>(c));
    for (int c = 128; c <= 255; ++c)
      if (IsCharAlpha(static_cast<char>(c))) s.set(static_cast<std::size_t>(c));
    return s;
  }();
  return chars;
}

}  // namespace tw::entry
