// Shortcut words, their texts, and the accelerator letters of captions.
#include "platform/forms/menus/shortcut.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/rtl/uilanguage.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {

struct KeyName {
  Word Key;
  const char* Name;
  const char* German;  // as German desktops write it (Windows-1252)
};

// Keys whose name is not their character.
constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp", "R\xFC" "ck"},  {VK_TAB, "Tab", "Tab"},          {VK_RETURN, "Enter", "Eingabe"},
    {VK_ESCAPE, "Esc", "Esc"},       {VK_SPACE, "Space", "Leer"},     {VK_PRIOR, "PgUp", "Bild auf"},
    {VK_NEXT, "PgDn", "Bild ab"},    {VK_END, "End", "Ende"},         {VK_HOME, "Home", "Pos1"},
    {VK_LEFT, "Left", "Links"},      {VK_UP, "Up", "Nach oben"},      {VK_RIGHT, "Right", "Rechts"},
    {VK_DOWN, "Down", "Nach unten"}, {VK_INSERT, "Ins", "Einfg"},     {VK_DELETE, "Del", "Entf"},
};

// The modifier words, English and German.
constexpr KeyName kModifiers[] = {{scShift, "Shift", "Umschalt"}, {scCtrl, "Ctrl", "Strg"}, {scAlt, "Alt", "Alt"}};

const char* InLanguage(const KeyName& k) { return UiLanguage() == TUiLanguage::German ? k.German : k.Name; }

std::string KeyText(Word key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F12) return "F" + std::to_string(key - VK_F1 + 1);
  for (const KeyName& k : kKeyNames)
    if (k.Key == key) return InLanguage(k);
  return {};
}

// A key's name in either language.
Word KeyFromText(const std::string& text) {
  if (text.size() == 1) {
    const char c = CharUpper(text[0]);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<Word>(c);
    return 0;
  }
  for (Word k = VK_F1; k <= VK_F12; ++k)
    if (SameText(text, "F" + std::to_string(k - VK_F1 + 1))) return k;
  for (const KeyName& k : kKeyNames)
    if (SameText(text, k.Name) || SameText(text, k.German)) return k.Key;
  return 0;
}

}  // namespace

TShortCut ShortCut(Word key, TShiftState shift) {
  if ((key & 0xFF00) != 0) return 0;
  TShortCut result = key;
  if (shift.Contains(TShiftStateFlag::ssShift)) result |= scShift;
  if (shift.Contains(TShiftStateFlag::ssCtrl)) result |= scCtrl;
  if (shift.Contains(TShiftStateFlag::ssAlt)) result |= scAlt;
  return result;
}

void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = {};
  if (shortCut & scShift) shift.Include(TShiftStateFlag::ssShift);
  if (shortCut & scCtrl) shift.Include(TShiftStateFlag::ssCtrl);
  if (shortCut & scAlt) shift.Include(TShiftStateFlag::ssAlt);
}

std::string ShortCutToText(TShortCut shortCut) {
  const std::string name = KeyText(shortCut & 0xFF);
  if (name.empty()) return {};
  std::string text;
  for (const KeyName& m : kModifiers)
    if (shortCut & m.Key) text += std::string(InLanguage(m)) + "+";
  return text + name;
}

TShortCut TextToShortCut(const std::string& text) {
  TShortCut mods = 0;
  std::string rest = text;
  for (;;) {
    const std::size_t plus = rest.find('+', 1);  // "+" alone is no modifier separator
    if (plus == std::string::npos) break;
    const std::string part = rest.substr(0, plus);
    const KeyName* m = std::find_if(std::begin(kModifiers), std::end(kModifiers),
                                    [&](const KeyName& k) { return SameText(part, k.Name) || SameText(part, k.German); });
    if (m == std::end(kModifiers)) return 0;
    mods |= m->Key;
    rest = rest.substr(plus + 1);
  }
  const Word key = KeyFromText(rest);
  return key == 0 ? 0 : static_cast<TShortCut>(key | mods);
}

TShortCut ShortCutFromKey(Word key) {
  TShiftState shift;
  if (GetKeyState(static_cast<int>(VK_SHIFT)) < 0) shift.Include(TShiftStateFlag::ssShift);
  if (GetKeyState(static_cast<int>(VK_CONTROL)) < 0) shift.Include(TShiftStateFlag::ssCtrl);
  if (GetKeyState(static_cast<int>(VK_MENU)) < 0) shift.Include(TShiftStateFlag::ssAlt);
  return ShortCut(key, shift);
}

std::string StripHotkey(const std::string& caption) {
  std::string out;
  out.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

char GetHotkey(const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return CharUpper(caption[i + 1]);
  }
  return 0;
}

bool IsMenuAccel(unsigned key, const std::string& caption) {
  const char hot = GetHotkey(caption);
  return hot != 0 && key < 256 && CharUpper(static_cast<char>(key)) == hot;
}

}  // namespace tw
