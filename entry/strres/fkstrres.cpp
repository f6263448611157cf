#include "entry/strres/fkstrres.h"

#include <mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/uilanguage.h"
#include "platform/rtl/win1252.h"

namespace tw::entry {

SrsStringResource& FieldkitStrings() {
  // Kept for the whole run; the entry fields use it from the user-interface thread only.
  static std::once_flag once;
  static SrsStringResource* reader = nullptr;
  std::call_once(once, [] { reader = new SrsStringResource("FIELDKIT_STRINGS", "_ENGLISH"); });
  return *reader;
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
