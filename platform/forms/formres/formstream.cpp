#include "platform/forms/formres/formstream.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/classes/classesconst.h"
#include "platform/classes/streams.h"
#include "platform/classes/stringlist.h"
#include "platform/forms/controls.h"
#include "platform/forms/formres/collection.h"
#include "platform/forms/formres/objecttext.h"
#include "platform/gfx/metafile.h"
#include "platform/forms/formres/objecttextlines.h"
#include "platform/gfx/color.h"
#include "platform/gfx/font.h"
#include "platform/gfx/graphic.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {

struct ChildClassEntry {
  const TClassInfo* ParentClass;
  const TClassInfo* ChildClass;
  TChildClassInfo Info;
};

struct Registries {
  std::map<const TClassInfo*, std::vector<TDefinePropertiesProc>> defines;
  std::vector<ChildClassEntry> children;
  std::vector<TFieldInfo> fields;
};

Registries& Reg() {
  static Registries r;
  return r;
}

bool ClassInherits(const TClassInfo* cls, const TClassInfo* base) {
  for (const TClassInfo* c = cls; c != nullptr; c = c->Parent)
    if (c == base) return true;
  return false;
}

bool IsBoolEnum(const TPropInfo* p) { return p->Enum == &TwEnumNames(static_cast<const bool*>(nullptr)); }

// --- values the class library keeps outside published properties of the picture classes

const TEnumNames& FontStyleNames() {
  static const TEnumNames names{"TFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}};
  return names;
}
const TEnumNames& FontPitchNames() {
  static const TEnumNames names{"TFontPitch", {"fpDefault", "fpVariable", "fpFixed"}};
  return names;
}

TFont* AsFont(TObject* o) { return static_cast<TFont*>(o); }
const TFont* AsFont(const TObject* o) { return static_cast<const TFont*>(o); }

// The font's values as form descriptions store them (Height, not Size, carries the size).
const bool kFontRegistered = [] {
  const TClassInfo* cls = TFont::StaticClass();
  RegisterProperties(
      cls,
      {CustomProp(cls, "Charset", tkInteger, [](const TObject* o) { return TValue(static_cast<int>(AsFont(o)->Charset())); },
                  [](TObject* o, const TValue& v) { AsFont(o)->SetCharset(static_cast<std::uint8_t>(v.AsInt())); }),
       CustomProp(cls, "Color", tkInteger, [](const TObject* o) { return TValue(static_cast<int>(AsFont(o)->Color())); },
                  [](TObject* o, const TValue& v) { AsFont(o)->SetColor(static_cast<TColor>(v.AsInt())); }),
       CustomProp(cls, "Height", tkInteger, [](const TObject* o) { return TValue(AsFont(o)->Height()); },
                  [](TObject* o, const TValue& v) { AsFont(o)->SetHeight(static_cast<int>(v.AsInt())); }),
       CustomProp(cls, "Name", tkString, [](const TObject* o) { return TValue(AsFont(o)->Name()); },
                  [](TObject* o, const TValue& v) { AsFont(o)->SetName(v.AsString()); }),
       CustomProp(
           cls, "Pitch", tkEnumeration, [](const TObject* o) { return TValue(static_cast<int>(AsFont(o)->Pitch())); },
           [](TObject* o, const TValue& v) { AsFont(o)->SetPitch(static_cast<TFontPitch>(v.AsInt())); }, &FontPitchNames()),
       CustomProp(
           cls, "Style", tkSet, [](const TObject* o) { return TValue(TSetValue{AsFont(o)->Style().Bits()}); },
           [](TObject* o, const TValue& v) { AsFont(o)->SetStyle(TFontStyles::FromBits(v.AsSet().Bits & 15)); },
           &FontStyleNames())});
  // A bitmap stores a 32-bit length and its BMP file; an icon its .ICO bytes, a metafile its
  // placeable .WMF bytes.
  for (const TClassInfo* cls : {TBitmap::StaticClass(), TIcon::StaticClass(), TMetafile::StaticClass()})
    RegisterDefineProperties(cls, [](TObject* instance, TFiler* filer) {
      auto* graphic = static_cast<TGraphic*>(instance);
      filer->DefineBinaryProperty(
          "Data", [graphic](TStream& s) { graphic->ReadData(s); }, [graphic](TStream& s) { graphic->WriteData(s); },
          !graphic->Empty());
    });
  return true;
}();

void CallDefineProperties(TObject* obj, TFiler* filer) {
  if (auto* p = dynamic_cast<TPersistent*>(obj)) p->DefineProperties(filer);
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = obj->ClassType(); c != nullptr; c = c->Parent) chain.push_back(c);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    auto found = Reg().defines.find(*it);
    if (found == Reg().defines.end()) continue;
    for (const auto& proc : found->second) proc(obj, filer);
  }
}

const ChildClassEntry* FindChildEntryForChild(const TComponent* child) {
  for (const auto& e : Reg().children)
    if (ClassInherits(child->ClassType(), e.ChildClass)) return &e;
  return nullptr;
}

// --- reading

// Raised by the reader with the full text; passes through the outer handlers unchanged.
class EFormReadError : public EReadError {
 public:
  using EReadError::EReadError;
};

class ComponentReader {
 public:
  ComponentReader(TReader& reader, TComponent* root, const TTextLineMap* lines)
      : reader_(reader), root_(root), lines_(lines) {}

  void Run() {
    reader_.ReadSignature();
    MarkHere();
    Loading(root_);
    try {
      std::uint8_t flags = ReadFlags();
      reader_.ReadStr();  // the class: the root is the object the caller made
      std::string name = reader_.ReadStr();
      if (flags & 2) reader_.ReadInt64();
      if (!name.empty() && root_->Name().empty()) {
        try {
          root_->SetName(name);
        } catch (const EComponentError&) {
          // Another component of the owner has that name already: the root stays unnamed.
        }
      }
      ReadProperties(root_, ComponentLabel(root_));
      ReadChildren(root_);
      ResolveFixups();
    } catch (...) {
      for (TComponent* c : loaded_) {
        c->SetComponentState(TComponentStateFlag::csReading, false);
        c->SetComponentState(TComponentStateFlag::csLoading, false);
      }
      throw;
    }
    for (TComponent* c : loaded_) c->SetComponentState(TComponentStateFlag::csReading, false);
    for (TComponent* c : loaded_) c->Loaded();
  }

 private:
  struct Fixup {
    TObject* Target;
    const TPropInfo* Prop;
    std::string Name;
    std::string Where;
    std::int64_t Pos;
  };

  void Loading(TComponent* c) {
    c->SetComponentState(TComponentStateFlag::csLoading, true);
    c->SetComponentState(TComponentStateFlag::csReading, true);
    if (std::find(loaded_.begin(), loaded_.end(), c) == loaded_.end()) loaded_.push_back(c);
  }

  std::string ComponentLabel(const TComponent* c) const { return c->Name().empty() ? c->ClassName() : c->Name(); }

  void MarkHere() { mark_ = reader_.Position(); }

  std::string LineText(std::int64_t pos) const {
    if (lines_ == nullptr || lines_->empty()) return "";
    int line = 0;
    for (const auto& [offset, l] : *lines_) {
      if (offset > pos) break;
      line = l;
    }
    return line > 0 ? " on line " + std::to_string(line) : "";
  }

  [[noreturn]] void Fail(const std::string& message, std::int64_t pos) const {
    throw EFormReadError(message + LineText(pos));
  }

  std::uint8_t ReadFlags() {
    auto next = static_cast<std::uint8_t>(reader_.NextValue());
    if ((next & 0xF0) != 0xF0) return 0;
    reader_.ReadValue();
    return next & 0x0F;
  }

  void ReadChildren(TComponent* parent) {
    while (!reader_.EndOfList()) ReadObject(parent);
    reader_.ReadListEnd();
  }

  void ReadObject(TComponent* parent) {
    MarkHere();
    const std::int64_t pos = mark_;
    std::uint8_t flags = ReadFlags();
    std::string className = reader_.ReadStr();
    std::string name = reader_.ReadStr();
    if (flags & 2) reader_.ReadInt64();
    TComponent* comp = nullptr;
    if (flags & 1) {
      comp = root_->FindComponent(name);
      if (comp == nullptr) Fail("A component named " + name + " was not found in the ancestor", pos);
    } else {
      try {
        comp = CreateComponent(className, root_);
      } catch (const EClassNotFound& e) {
        throw EClassNotFound(e.Message() + LineText(pos));
      }
      try {
        comp->SetName(name);
      } catch (const Exception& e) {
        comp->Free();
        Fail("Error reading " + name + ": " + e.Message(), pos);
      }
      Attach(parent, comp);
    }
    Loading(comp);
    ReadProperties(comp, ComponentLabel(comp));
    ReadChildren(comp);
  }

  void Attach(TComponent* parent, TComponent* comp) {
    if (auto* control = dynamic_cast<TControl*>(comp)) {
      if (auto* wp = dynamic_cast<TWinControl*>(parent)) control->SetParent(wp);
      return;
    }
    for (const auto& e : Reg().children)
      if (ClassInherits(parent->ClassType(), e.ParentClass) && ClassInherits(comp->ClassType(), e.ChildClass) &&
          e.Info.Attach) {
        e.Info.Attach(parent, comp);
        return;
      }
  }

  void ReadProperties(TObject* obj, const std::string& where) {
    while (!reader_.EndOfList()) ReadProperty(obj, where);
    reader_.ReadListEnd();
  }

  void ReadProperty(TObject* obj, const std::string& where) {
    MarkHere();
    const std::int64_t pos = mark_;
    std::string path = reader_.ReadStr();
    const std::string label = where + "." + path;
    try {
      TObject* target = obj;
      std::string last = path;
      for (std::size_t dot; (dot = last.find('.')) != std::string::npos;) {
        std::string part = last.substr(0, dot);
        last = last.substr(dot + 1);
        const TPropInfo* p = GetPropInfo(target, part);
        if (p == nullptr) Fail("Error reading " + label + ": " + Format(classesconst::SUnknownProperty, {path}), pos);
        if (p->Kind != tkClass) Fail("Error reading " + label + ": " + classesconst::SInvalidPropertyValue, pos);
        target = p->Get(target).AsObject();
        if (target == nullptr) Fail("Error reading " + label + ": " + classesconst::SInvalidPropertyValue, pos);
      }
      reader_.SetPropName(last);
      CallDefineProperties(target, &reader_);
      if (reader_.PropName().empty()) return;
      reader_.SetPropName("");
      if (auto* strings = dynamic_cast<TStrings*>(target); strings != nullptr && SameText(last, "Strings")) {
        ReadStrings(strings);
        return;
      }
      const TPropInfo* p = GetPropInfo(target, last);
      if (p == nullptr) Fail("Error reading " + label + ": " + Format(classesconst::SUnknownProperty, {path}), pos);
      ReadValue(target, p, label, pos);
    } catch (const EFormReadError&) {
      throw;
    } catch (const EClassNotFound& e) {
      throw EClassNotFound(e.Message() + LineText(pos));
    } catch (const Exception& e) {
      Fail("Error reading " + label + ": " + e.Message(), pos);
    }
  }

  void ReadStrings(TStrings* strings) {
    reader_.ReadListBegin();
    strings->BeginUpdate();
    try {
      strings->Clear();
      while (!reader_.EndOfList()) strings->Add(reader_.ReadString());
    } catch (...) {
      strings->EndUpdate();
      throw;
    }
    strings->EndUpdate();
    reader_.ReadListEnd();
  }

  void ReadCollection(TCollection* c, const std::string& label) {
    reader_.ReadValue();
    c->Clear();
    while (!reader_.EndOfList()) {
      TValueType t = reader_.NextValue();
      if (t == vaInt8 || t == vaInt16 || t == vaInt32) reader_.ReadInteger();
      reader_.ReadListBegin();
      TCollectionItem* item = c->Add();
      ReadProperties(item, label);
    }
    reader_.ReadListEnd();
  }

  void Set(TObject* target, const TPropInfo* p, const TValue& v, std::int64_t pos, const std::string& label) {
    if (p->ReadOnly()) Fail("Error reading " + label + ": " + classesconst::SReadOnlyProperty, pos);
    p->Set(target, v);
  }

  void ReadValue(TObject* target, const TPropInfo* p, const std::string& label, std::int64_t pos) {
    const TValueType t = reader_.NextValue();
    auto invalid = [&]() { Fail("Error reading " + label + ": " + classesconst::SInvalidPropertyValue, pos); };
    switch (p->Kind) {
      case tkInteger:
      case tkInt64: {
        if (t == vaIdent) {
          std::string ident = reader_.ReadIdent();
          TColor color = 0;
          int cursor = 0;
          if (IdentToColor(ident, color)) {
            Set(target, p, TValue(static_cast<std::int64_t>(color)), pos, label);
          } else if (IdentToCursorValue(ident, cursor)) {
            Set(target, p, TValue(cursor), pos, label);
          } else {
            invalid();
          }
          return;
        }
        std::int64_t v = reader_.ReadInt64();
        // A 32-bit property takes what 32 bits hold; values written unsigned ($8000000F) wrap.
        if (p->Kind == tkInteger && (v < INT32_MIN || v > static_cast<std::int64_t>(UINT32_MAX))) invalid();
        if (p->Kind == tkInteger && v > INT32_MAX) v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
        Set(target, p, TValue(v), pos, label);
        return;
      }
      case tkChar:
        Set(target, p, TValue(static_cast<int>(static_cast<unsigned char>(reader_.ReadChar()))), pos, label);
        return;
      case tkEnumeration: {
        if (t == vaTrue || t == vaFalse) {
          if (!IsBoolEnum(p)) invalid();
          Set(target, p, TValue(reader_.ReadBoolean() ? 1 : 0), pos, label);
          return;
        }
        if (t != vaIdent || p->Enum == nullptr) invalid();
        int ord = p->Enum->ValueOf(reader_.ReadIdent());
        if (ord < 0) invalid();
        Set(target, p, TValue(ord), pos, label);
        return;
      }
      case tkFloat: {
        double v = 0;
        if (t == vaSingle)
          v = reader_.ReadSingle();
        else if (t == vaCurrency)
          v = reader_.ReadCurrency();
        else if (t == vaDate)
          v = reader_.ReadDate();
        else
          v = reader_.ReadFloat();
        Set(target, p, TValue(v), pos, label);
        return;
      }
      case tkString:
        Set(target, p, TValue(reader_.ReadString()), pos, label);
        return;
      case tkSet: {
        if (t != vaSet || p->Enum == nullptr) invalid();
        std::uint64_t bits = 0;
        for (const std::string& m : reader_.ReadSet()) {
          int ord = p->Enum->ValueOf(m);
          if (ord < 0 || ord >= 64) invalid();
          bits |= std::uint64_t{1} << ord;
        }
        Set(target, p, TValue(TSetValue{bits}), pos, label);
        return;
      }
      case tkClass: {
        if (t == vaIdent) {
          if (p->ReadOnly()) invalid();
          fixups_.push_back(Fixup{target, p, reader_.ReadIdent(), label, pos});
          return;
        }
        if (t == vaNil) {
          reader_.ReadValue();
          Set(target, p, TValue(nullptr), pos, label);
          return;
        }
        if (t == vaCollection) {
          auto* c = dynamic_cast<TCollection*>(p->Get(target).AsObject());
          if (c == nullptr) invalid();
          ReadCollection(c, label);
          return;
        }
        invalid();
        return;
      }
      case tkMethod: {
        if (t == vaNil) {
          reader_.ReadValue();
          Set(target, p, TValue(TMethod{}), pos, label);
          return;
        }
        if (t != vaIdent) invalid();
        std::string handler = reader_.ReadIdent();
        if (!MethodExists(root_, handler))
          Fail("Error reading " + label + ": the event handler " + handler + " does not exist in " +
                   root_->ClassName(),
               pos);
        Set(target, p, TValue(TMethod{root_, handler, true}), pos, label);
        return;
      }
      default:
        invalid();
    }
  }

  void ResolveFixups() {
    for (const Fixup& f : fixups_) {
      std::string name = f.Name;
      if (auto dot = name.find('.'); dot != std::string::npos) {
        if (!SameText(name.substr(0, dot), root_->Name())) Fail("Error reading " + f.Where + ": component " + name + " not found", f.Pos);
        name = name.substr(dot + 1);
      }
      TComponent* c = SameText(name, root_->Name()) ? root_ : root_->FindComponent(name);
      if (c == nullptr) Fail("Error reading " + f.Where + ": component " + name + " not found", f.Pos);
      try {
        f.Prop->Set(f.Target, TValue(static_cast<TObject*>(c)));
      } catch (const Exception& e) {
        Fail("Error reading " + f.Where + ": " + e.Message(), f.Pos);
      }
    }
  }

  static bool IdentToCursorValue(const std::string& ident, int& value) {
    static const char* const kNames[] = {"crDefault", "crNone",    "crArrow",     "crCross",    "crIBeam",
                                         "",          "crSizeNESW", "crSizeNS",   "crSizeNWSE", "crSizeWE",
                                         "crUpArrow", "crHourGlass", "crDrag",    "crNoDrop",   "crHSplit",
                                         "crVSplit",  "crMultiDrag", "crSQLWait", "crNo",       "crAppStart",
                                         "crHelp",    "crHandPoint", "crSizeAll"};
    for (int i = 0; i < static_cast<int>(std::size(kNames)); ++i)
      if (kNames[i][0] != 0 && SameText(ident, kNames[i])) {
        value = -i;
        return true;
      }
    if (SameText(ident, "crSize")) {
      value = crSize;
      return true;
    }
    return false;
  }

  TReader& reader_;
  TComponent* root_;
  const TTextLineMap* lines_;
  std::vector<TComponent*> loaded_;
  std::vector<Fixup> fixups_;
  std::int64_t mark_ = 0;
};

// --- writing

// Hands DefineProperties calls to the writer with the sub-object's path in front of the name.
class PrefixFiler : public TFiler {
  TW_CLASS(PrefixFiler, TFiler)
 public:
  PrefixFiler(TWriter& writer, std::string prefix) : TFiler(writer.Stream(), 1), writer_(writer), prefix_(std::move(prefix)) {}
  void DefineProperty(const std::string& name, const TReaderProc&, const TWriterProc& writeData, bool hasData) override {
    if (!hasData || !writeData) return;
    writer_.WritePropName(prefix_ + name);
    writeData(writer_);
  }
  void DefineBinaryProperty(const std::string& name, const TStreamProc&, const TStreamProc& writeData,
                            bool hasData) override {
    if (!hasData || !writeData) return;
    TMemoryStream data;
    writeData(data);
    writer_.WritePropName(prefix_ + name);
    writer_.WriteBinary(data.Bytes());
  }

 private:
  TWriter& writer_;
  std::string prefix_;
};

bool SameValue(const TValue& a, const TValue& b) {
  if (a.IsInt() && b.IsInt()) return a.AsInt() == b.AsInt();
  if (a.IsFloat() && b.IsFloat()) return a.AsFloat() == b.AsFloat();
  if (a.IsString() && b.IsString()) return a.AsString() == b.AsString();
  if (a.IsSet() && b.IsSet()) return a.AsSet().Bits == b.AsSet().Bits;
  if (a.IsObject() && b.IsObject()) return a.AsObject() == b.AsObject();
  return false;
}

bool IsColorProp(const std::string& name) {
  return name.size() >= 5 && SameText(name.substr(name.size() - 5), "Color");
}

class ComponentWriter {
 public:
  ComponentWriter(TWriter& writer, TComponent* root) : writer_(writer), root_(root) {}

  void Run() {
    writer_.WriteSignature();
    WriteObject(root_);
  }

 private:
  void WriteObject(TComponent* c) {
    writer_.WriteStr(c->ClassName());
    writer_.WriteStr(c->Name());
    std::unique_ptr<TComponent> defaults;
    if (c != root_ && GetClass(c->ClassName()) == c->ClassType()) {
      try {
        defaults.reset(CreateComponent(c->ClassType(), nullptr));
      } catch (const Exception&) {
        defaults.reset();
      }
    }
    WriteProperties(c, defaults.get(), "");
    writer_.WriteListEnd();
    for (TComponent* child : Children(c)) WriteObject(child);
    writer_.WriteListEnd();
  }

  // Parent in the description: controls by Parent, registered classes by their ParentOf.
  TComponent* ParentInDescription(TComponent* c) const {
    if (auto* control = dynamic_cast<TControl*>(c)) {
      TComponent* parent = control->Parent();
      return parent == nullptr ? root_ : parent;
    }
    if (const ChildClassEntry* e = FindChildEntryForChild(c); e != nullptr && e->Info.ParentOf) {
      TComponent* parent = e->Info.ParentOf(c);
      return parent == nullptr ? root_ : parent;
    }
    return root_;
  }

  std::vector<TComponent*> Children(TComponent* c) const {
    std::vector<TComponent*> result;
    auto owned = [&](TComponent* x) { return x->Owner() == root_ && x != root_; };
    if (c == root_) {
      for (int i = 0; i < root_->ComponentCount(); ++i) {
        TComponent* x = root_->Components(i);
        if (dynamic_cast<TControl*>(x) == nullptr && ParentInDescription(x) == root_) result.push_back(x);
      }
      for (int i = 0; i < root_->ComponentCount(); ++i) {
        auto* x = dynamic_cast<TControl*>(root_->Components(i));
        if (x != nullptr && x->Parent() == nullptr && static_cast<TComponent*>(x) != root_) result.push_back(x);
      }
    }
    if (auto* wc = dynamic_cast<TWinControl*>(c)) {
      for (int i = 0; i < wc->ControlCount(); ++i)
        if (owned(wc->Controls(i))) result.push_back(wc->Controls(i));
    }
    for (const auto& e : Reg().children)
      if (ClassInherits(c->ClassType(), e.ParentClass) && e.Info.Children)
        for (TComponent* x : e.Info.Children(c))
          if (owned(x)) result.push_back(x);
    return result;
  }

  void WriteProperties(TObject* obj, TObject* defaults, const std::string& prefix) {
    for (const TPropInfo* p : GetPropList(obj)) {
      if (p->Kind == tkMethod) continue;
      if (dynamic_cast<TComponent*>(obj) != nullptr && SameText(p->Name, "Name")) continue;
      // A value that follows the parent's (ParentFont, ParentColor ...) is not the control's own.
      if (const TPropInfo* follows = GetPropInfo(obj, "Parent" + p->Name);
          follows != nullptr && follows->Kind == tkEnumeration && follows->Get(obj).AsInt() != 0)
        continue;
      if (p->Kind == tkClass) {
        TObject* v = p->Get(obj).AsObject();
        if (v == nullptr) continue;
        if (auto* ref = dynamic_cast<TComponent*>(v)) {
          if (p->ReadOnly()) continue;
          if (defaults != nullptr && p->Get(defaults).AsObject() == v) continue;
          std::string name = ref->Name();
          if (ref != root_ && ref->Owner() != root_ && ref->Owner() != nullptr) name = ref->Owner()->Name() + "." + name;
          if (name.empty()) continue;
          writer_.WritePropName(prefix + p->Name);
          writer_.WriteIdent(name);
          continue;
        }
        TObject* dv = defaults != nullptr ? p->Get(defaults).AsObject() : nullptr;
        WriteSubObject(v, dv, prefix + p->Name);
        continue;
      }
      if (p->ReadOnly()) continue;
      TValue value = p->Get(obj);
      if (defaults != nullptr && SameValue(value, p->Get(defaults))) continue;
      writer_.WritePropName(prefix + p->Name);
      WriteValue(p, value);
    }
    PrefixFiler filer(writer_, prefix);
    CallDefineProperties(obj, &filer);
  }

  void WriteSubObject(TObject* v, TObject* dv, const std::string& path) {
    if (auto* strings = dynamic_cast<TStrings*>(v)) {
      auto* ds = dynamic_cast<TStrings*>(dv);
      if (strings->Count() == 0 || (ds != nullptr && ds->Equals(*strings))) return;
      writer_.WritePropName(path + ".Strings");
      writer_.WriteListBegin();
      for (int i = 0; i < strings->Count(); ++i) writer_.WriteString(strings->Strings(i));
      writer_.WriteListEnd();
      return;
    }
    if (auto* coll = dynamic_cast<TCollection*>(v)) {
      if (coll->Count() == 0) return;
      writer_.WritePropName(path);
      writer_.WriteValue(vaCollection);
      for (int i = 0; i < coll->Count(); ++i) {
        writer_.WriteListBegin();
        WriteProperties(coll->Items(i), nullptr, "");
        writer_.WriteListEnd();
      }
      writer_.WriteListEnd();
      return;
    }
    WriteProperties(v, dv, path + ".");
  }

  void WriteValue(const TPropInfo* p, const TValue& value) {
    switch (p->Kind) {
      case tkInteger:
        if (IsColorProp(p->Name)) {
          std::string ident = ColorToString(static_cast<TColor>(value.AsInt()));
          if (ident.rfind("cl", 0) == 0) {
            writer_.WriteIdent(ident);
            return;
          }
        }
        writer_.WriteInteger(static_cast<std::int32_t>(value.AsInt()));
        return;
      case tkInt64:
        writer_.WriteInteger(value.AsInt());
        return;
      case tkChar:
        writer_.WriteChar(static_cast<char>(value.AsInt()));
        return;
      case tkEnumeration:
        if (IsBoolEnum(p)) {
          writer_.WriteBoolean(value.AsInt() != 0);
        } else {
          writer_.WriteIdent(p->Enum != nullptr ? p->Enum->NameOf(static_cast<int>(value.AsInt())) : "");
        }
        return;
      case tkFloat:
        writer_.WriteFloat(value.AsFloat());
        return;
      case tkString:
        writer_.WriteString(value.AsString());
        return;
      case tkSet: {
        std::vector<std::string> names;
        for (int i = 0; i < 64; ++i)
          if ((value.AsSet().Bits >> i) & 1) names.push_back(p->Enum != nullptr ? p->Enum->NameOf(i) : std::to_string(i));
        writer_.WriteSet(names);
        return;
      }
      default:
        writer_.WriteValue(vaNil);
        return;
    }
  }

  TWriter& writer_;
  TComponent* root_;
};

}  // namespace

void RegisterDefineProperties(const TClassInfo* cls, TDefinePropertiesProc proc) {
  Reg().defines[cls].push_back(std::move(proc));
}

void RegisterChildClass(const TClassInfo* parentClass, const TClassInfo* childClass, TChildClassInfo info) {
  Reg().children.push_back(ChildClassEntry{parentClass, childClass, std::move(info)});
}

void RegisterFields(std::vector<TFieldInfo> fields) {
  for (auto& f : fields) Reg().fields.push_back(std::move(f));
}

void BindComponentFields(TComponent* root) {
  for (const TFieldInfo& f : Reg().fields) {
    if (!ClassInherits(root->ClassType(), f.Owner)) continue;
    TComponent* c = root->FindComponent(f.Name);
    if (c == nullptr) throw EReadError("The component " + f.Name + " of " + root->ClassName() + " is missing");
    if (!f.Set(root, c))
      throw EReadError("The component " + f.Name + " of " + root->ClassName() + " is of class " + c->ClassName());
  }
}

void ReadRootComponent(TStream& stream, TComponent* root) {
  (void)kFontRegistered;
  TReader reader(stream);
  ComponentReader(reader, root, nullptr).Run();
}

void ReadComponentDescription(std::string_view description, TComponent* root) {
  (void)kFontRegistered;
  TMemoryStream stream;
  TTextLineMap lines;
  if (IsBinaryComponentStream(description)) {
    stream.WriteBuffer(description);
  } else {
    stream.WriteBuffer(ObjectTextToBinary(description, lines));
  }
  stream.SetPosition(0);
  TReader reader(stream);
  ComponentReader(reader, root, lines.empty() ? nullptr : &lines).Run();
}

void WriteRootComponent(TStream& stream, TComponent* root) {
  (void)kFontRegistered;
  TWriter writer(stream);
  ComponentWriter(writer, root).Run();
  writer.FlushBuffer();
}

std::string ComponentToBinary(TComponent* root) {
  TMemoryStream stream;
  WriteRootComponent(stream, root);
  return stream.Bytes();
}

std::string ComponentToText(TComponent* root) { return ObjectBinaryToText(ComponentToBinary(root)); }

}  // namespace tw
