// Putting translated values into the running form and reading them back: published properties
// by name, lines of string lists, collection items, sub-properties of objects, and the
// pseudo-properties of the language component (format settings, WIN.INI, system-menu texts).
#include <algorithm>
#include <set>

#include "multilang/langswitch.h"
#include "platform/classes/inifiles.h"
#include "platform/forms/formres/collection.h"
#include "platform/forms/forms.h"
#include "platform/gfx/color.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"

namespace tw::multilang {
namespace {

struct SysMenuName {
  const char* name;
  unsigned command;
};
constexpr SysMenuName kSysMenu[] = {
    {"SystemMenuRestore", 0xF120}, {"SystemMenuMove", 0xF010},     {"SystemMenuSize", 0xF000},
    {"SystemMenuMinimize", 0xF020}, {"SystemMenuMaximize", 0xF030}, {"SystemMenuClose", 0xF060},
    {"SystemMenuTaskList", 0xF130}, {"SystemMenuNextWindow", 0xF040},
};

// The n-th published property of an object, events left out.
const TPropInfo* NthProperty(const TObject* obj, int n) {
  int i = 0;
  for (const TPropInfo* p : GetPropList(obj)) {
    if (p->Kind == tkMethod) continue;
    if (i++ == n) return p;
  }
  return nullptr;
}

// Sets a property from its text by the property's kind; raises for a text that does not fit.
void SetFromText(TObject* obj, const TPropInfo* p, const std::string& text) {
  if (p->ReadOnly()) throw EConvertError("Property is read-only");
  switch (p->Kind) {
    case tkString: p->Set(obj, TValue(text)); break;
    case tkChar:
      p->Set(obj, TValue(static_cast<std::int64_t>(text.empty() ? 0 : static_cast<unsigned char>(text[0]))));
      break;
    case tkInteger:
    case tkInt64: {
      std::int64_t v = 0;
      TColor color = 0;
      if (p->Name == "Color" && IdentToColor(text, color)) {
        v = color;
      } else if (!text.empty()) {
        v = StrToInt64(text);
      }
      p->Set(obj, TValue(v));
      break;
    }
    case tkFloat: p->Set(obj, TValue(StrToFloat(text))); break;
    case tkEnumeration: {
      int v = p->Enum != nullptr ? p->Enum->ValueOf(text) : -1;
      if (v < 0) throw EConvertError("Invalid enumeration value " + text);
      p->Set(obj, TValue(static_cast<std::int64_t>(v)));
      break;
    }
    case tkSet: p->Set(obj, TValue(TSetValue{static_cast<std::uint64_t>(StrToInt64(text))})); break;
    default: throw EConvertError("Property cannot take a text");
  }
}

std::string TextOf(const TObject* obj, const TPropInfo* p) {
  TValue v = p->Get(obj);
  switch (p->Kind) {
    case tkString: return v.AsString();
    case tkChar: return std::string(1, static_cast<char>(v.AsInt()));
    case tkInteger:
    case tkInt64:
      if (p->Name == "Color") return ColorToString(static_cast<TColor>(v.AsInt()));
      return std::to_string(v.AsInt());
    case tkFloat: return FloatToStr(v.AsFloat());
    case tkEnumeration: return p->Enum != nullptr ? p->Enum->NameOf(static_cast<int>(v.AsInt())) : std::string();
    case tkSet: return std::to_string(v.AsSet().Bits);
    default: return {};
  }
}

// The object whose Caption or Text a collection item shows (its Title for grid columns).
TObject* CaptionHolder(TObject* item) {
  if (const TPropInfo* t = GetPropInfo(item, "Title"); t != nullptr && t->Kind == tkClass) {
    if (TObject* title = t->Get(item).AsObject()) return title;
  }
  return item;
}
const TPropInfo* CaptionProp(TObject* holder) {
  if (const TPropInfo* c = GetPropInfo(holder, "Caption")) return c;
  return GetPropInfo(holder, "Text");
}

int NameNumber(const std::string& name, std::size_t after, std::size_t width) {
  std::int32_t n = 0;
  if (name.size() <= after || !TryStrToInt(name.substr(after, width), n)) return -1;
  return n;
}

}  // namespace

void TLangSwitch::RecheckEntries() {
  if (detached_) return;
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    auto& e = entries_[i];
    if (e->Kind == ekLanguage) continue;
    bool present = ownerForm_ != nullptr &&
                   (e->Component == ownerForm_->ClassName() || ownerForm_->FindComponent(e->Component) != nullptr);
    if (e->Kind == ekValue && !present) e->Kind = ekMissing;
    if (e->Kind == ekMissing && present) e->Kind = ekValue;
  }
}

void TLangSwitch::ResolveEntries() {
  if (detached_) return;
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    auto& e = entries_[i];
    if (e->Kind != ekValue) continue;
    e->ComponentRef = nullptr;
    e->PropInfo = nullptr;
    TComponent* comp = nullptr;
    if (ownerForm_ != nullptr)
      comp = e->Component == ownerForm_->ClassName() ? ownerForm_ : ownerForm_->FindComponent(e->Component);
    if (comp == nullptr) {
      e->Kind = ekMissing;
      continue;
    }
    e->ComponentRef = comp;
    if (e->IsNamedString()) continue;
    e->PropInfo = GetPropInfo(comp, e->Property);
    if (e->PropInfo == nullptr && comp != this) e->Kind = ekMissing;
  }
}

bool TLangSwitch::ApplyValue(TLanguageEntry& e) {
  if (e.IsNamedString() || e.Kind != ekValue || e.ComponentRef == nullptr) return false;
  try {
    if (e.PropInfo == nullptr) return ApplyPseudo(e.Property, e.Text);
    std::string text = ExpandNamedStrings(e.Text);
    TObject* target = e.ComponentRef;
    const TPropInfo* p = e.PropInfo;
    if (e.ValueID >= 0 && p->Kind == tkClass) {
      TObject* obj = p->Get(target).AsObject();
      if (obj == nullptr) return false;
      if (auto* lines = dynamic_cast<TStrings*>(obj)) {
        if (e.ValueID >= lines->Count()) return false;
        lines->Put(e.ValueID, text);
        return true;
      }
      if (auto* coll = dynamic_cast<TCollection*>(obj)) {
        if (e.ValueID >= coll->Count()) return false;
        TObject* holder = CaptionHolder(coll->Items(e.ValueID));
        const TPropInfo* cp = CaptionProp(holder);
        if (cp == nullptr) return false;
        SetFromText(holder, cp, text);
        return true;
      }
      p = NthProperty(obj, e.ValueID);
      if (p == nullptr) return false;
      target = obj;
    }
    SetFromText(target, p, text);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string TLangSwitch::ReadValue(TLanguageEntry& e) {
  if (e.IsNamedString() || e.ComponentRef == nullptr) return {};
  if (e.PropInfo == nullptr) return ReadPseudo(e.Property);
  TObject* target = e.ComponentRef;
  const TPropInfo* p = e.PropInfo;
  if (e.ValueID >= 0 && p->Kind == tkClass) {
    TObject* obj = p->Get(target).AsObject();
    if (obj == nullptr) return {};
    if (auto* lines = dynamic_cast<TStrings*>(obj)) return e.ValueID < lines->Count() ? lines->Strings(e.ValueID) : "";
    if (auto* coll = dynamic_cast<TCollection*>(obj)) {
      if (e.ValueID >= coll->Count()) return {};
      TObject* holder = CaptionHolder(coll->Items(e.ValueID));
      const TPropInfo* cp = CaptionProp(holder);
      return cp != nullptr ? TextOf(holder, cp) : std::string();
    }
    p = NthProperty(obj, e.ValueID);
    if (p == nullptr) return {};
    target = obj;
  }
  return TextOf(target, p);
}

void TLangSwitch::CaptureDefaults() {
  if (detached_) return;  // another form's design texts cannot be read here
  std::set<std::string> noted;
  auto key = [](const TLanguageEntry& e) { return e.Component + "\n" + e.Property + "\n" + std::to_string(e.ValueID); };
  std::erase_if(entries_, [](const auto& e) { return e->Kind != ekLanguage && e->ID == 0 && !e->IsNamedString(); });
  for (const auto& e : entries_)
    if (e->Kind != ekLanguage && e->ID == 0) noted.insert(key(*e));
  std::size_t count = entries_.size();
  for (std::size_t i = 1; i < count; ++i) {
    const TLanguageEntry& e = *entries_[i];
    // A value whose component is missing has no design text to capture.
    if (e.Kind != ekValue || e.ID == 0 || !noted.insert(key(e)).second) continue;
    auto copy = std::make_unique<TLanguageEntry>(e);
    copy->ID = 0;
    try {
      copy->Text = ReadValue(*copy);
    } catch (const std::exception&) {
      copy->Text.clear();
    }
    entries_.push_back(std::move(copy));
  }
}

bool TLangSwitch::ApplyPseudo(const std::string& name, const std::string& text) {
  TFormatSettings& fs = FormatSettings();
  char first = text.empty() ? '\0' : text[0];
  auto byte = [&] { return static_cast<std::uint8_t>(StrToInt(text)); };
  if (name == "CurrencyString") fs.CurrencyString = text;
  else if (name == "CurrencyFormat") fs.CurrencyFormat = byte();
  else if (name == "NegCurrFormat") fs.NegCurrFormat = byte();
  else if (name == "ThousandSeparator") fs.ThousandSeparator = first;
  else if (name == "DecimalSeparator") fs.DecimalSeparator = first;
  else if (name == "CurrencyDecimals") fs.CurrencyDecimals = byte();
  else if (name == "DateSeparator") fs.DateSeparator = first;
  else if (name == "ShortDateFormat") fs.ShortDateFormat = text;
  else if (name == "LongDateFormat") fs.LongDateFormat = text;
  else if (name == "TimeSeparator") fs.TimeSeparator = first;
  else if (name == "TimeAMString") fs.TimeAMString = text;
  else if (name == "TimePMString") fs.TimePMString = text;
  else if (name == "ShortTimeFormat") fs.ShortTimeFormat = text;
  else if (name == "LongTimeFormat") fs.LongTimeFormat = text;
  else if (name.rfind("ShortMonthNames", 0) == 0 || name.rfind("LongMonthNames", 0) == 0) {
    bool isShort = name[0] == 'S';
    int n = NameNumber(name, isShort ? 15 : 14, 2);
    if (n < 1 || n > 12) return false;  // never outside the name table
    (isShort ? fs.ShortMonthNames : fs.LongMonthNames)[static_cast<std::size_t>(n - 1)] = text;
  } else if (name.rfind("ShortDayNames", 0) == 0 || name.rfind("LongDayNames", 0) == 0) {
    bool isShort = name[0] == 'S';
    int n = NameNumber(name, isShort ? 13 : 12, 1);
    if (n < 1 || n > 7) return false;
    (isShort ? fs.ShortDayNames : fs.LongDayNames)[static_cast<std::size_t>(n - 1)] = text;
  } else if (name == "UpdateWindowsINI") {
    updateWinIni_ = true;
  } else {
    for (const auto& s : kSysMenu)
      if (name == s.name) systemMenu_[s.command] = text;
  }
  return true;
}

std::string TLangSwitch::ReadPseudo(const std::string& name) const {
  const TFormatSettings& fs = FormatSettings();
  auto ch = [](char c) { return c == '\0' ? std::string() : std::string(1, c); };
  if (name == "CurrencyString") return fs.CurrencyString;
  if (name == "CurrencyFormat") return std::to_string(fs.CurrencyFormat);
  if (name == "NegCurrFormat") return std::to_string(fs.NegCurrFormat);
  if (name == "ThousandSeparator") return ch(fs.ThousandSeparator);
  if (name == "DecimalSeparator") return ch(fs.DecimalSeparator);
  if (name == "CurrencyDecimals") return std::to_string(fs.CurrencyDecimals);
  if (name == "DateSeparator") return ch(fs.DateSeparator);
  if (name == "ShortDateFormat") return fs.ShortDateFormat;
  if (name == "LongDateFormat") return fs.LongDateFormat;
  if (name == "TimeSeparator") return ch(fs.TimeSeparator);
  if (name == "TimeAMString") return fs.TimeAMString;
  if (name == "TimePMString") return fs.TimePMString;
  if (name == "ShortTimeFormat") return fs.ShortTimeFormat;
  if (name == "LongTimeFormat") return fs.LongTimeFormat;
  if (name.rfind("ShortMonthNames", 0) == 0 || name.rfind("LongMonthNames", 0) == 0) {
    bool isShort = name[0] == 'S';
    int n = NameNumber(name, isShort ? 15 : 14, 2);
    if (n < 1 || n > 12) return {};
    return (isShort ? fs.ShortMonthNames : fs.LongMonthNames)[static_cast<std::size_t>(n - 1)];
  }
  if (name.rfind("ShortDayNames", 0) == 0 || name.rfind("LongDayNames", 0) == 0) {
    bool isShort = name[0] == 'S';
    int n = NameNumber(name, isShort ? 13 : 12, 1);
    if (n < 1 || n > 7) return {};
    return (isShort ? fs.ShortDayNames : fs.LongDayNames)[static_cast<std::size_t>(n - 1)];
  }
  for (const auto& s : kSysMenu)
    if (name == s.name) return SystemMenuText(s.command);
  return {};
}

std::string TLangSwitch::SystemMenuText(unsigned command) const {
  auto it = systemMenu_.find(command);
  if (it != systemMenu_.end()) return it->second.substr(0, 255);
  switch (command) {
    case 0xF120: return "&Restore";
    case 0xF010: return "&Move";
    case 0xF000: return "&Size";
    case 0xF020: return "Mi&nimize";
    case 0xF030: return "Ma&ximize";
    case 0xF060: return "&Close";
    default: return {};
  }
}

void TLangSwitch::WriteWinIni() {
  const TFormatSettings& fs = FormatSettings();
  auto ch = [](char c) { return std::string(1, c); };
  try {
    TMemIniFile ini(PrivateIniFolder() + "WIN.INI");
    const std::string s = "intl";
    ini.WriteString(s, "sCurrency", fs.CurrencyString);
    ini.WriteString(s, "iCurrency", std::to_string(fs.CurrencyFormat));
    ini.WriteString(s, "iNegCurr", std::to_string(fs.NegCurrFormat));
    ini.WriteString(s, "sThousand", ch(fs.ThousandSeparator));
    ini.WriteString(s, "sDecimal", ch(fs.DecimalSeparator));
    ini.WriteString(s, "iCurrDigits", std::to_string(fs.CurrencyDecimals));
    ini.WriteString(s, "sDate", ch(fs.DateSeparator));
    ini.WriteString(s, "sShortDate", fs.ShortDateFormat);
    ini.WriteString(s, "sLongDate", fs.LongDateFormat);
    ini.WriteString(s, "sTime", ch(fs.TimeSeparator));
    ini.WriteString(s, "s1159", fs.TimeAMString);
    ini.WriteString(s, "s2359", fs.TimePMString);
    ini.WriteString(s, "iTLZero", fs.ShortTimeFormat.find("hh") != std::string::npos ? "1" : "0");
    ini.WriteString(s, "iTime", fs.ShortTimeFormat.find("ampm") != std::string::npos ? "0" : "1");
    ini.UpdateFile();
  } catch (const Exception& e) {
    ShowError(e.Message());
  }
}

}  // namespace tw::multilang
