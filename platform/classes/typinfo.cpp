#include "platform/classes/typinfo.h"
#include "platform/classes/classesconst.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {

[[noreturn]] void InvalidValue() { throw EPropertyError(classesconst::SInvalidPropertyValue); }

// Upper-cased keys: lookups are case-insensitive.
std::string Key(const std::string& name) { return AnsiUpperCase(name); }

struct ClassProps {
  std::deque<TPropInfo> props;  // declaration order; a deque keeps handed-out pointers valid
  std::map<std::string, std::size_t> byName;
  std::map<std::string, std::function<std::any(TObject*)>> methods;
};

struct Registry {
  std::mutex mutex;
  std::map<const TClassInfo*, ClassProps> classes;
  std::map<std::string, std::pair<const TClassInfo*, TComponentFactory>> factories;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

// --- enumerations

int TEnumNames::ValueOf(const std::string& name) const {
  for (std::size_t i = 0; i < Names.size(); ++i)
    if (AnsiSameText(Names[i], name)) return static_cast<int>(i);
  return -1;
}

std::string TEnumNames::NameOf(int ordinal) const {
  if (ordinal < 0 || ordinal >= static_cast<int>(Names.size())) return {};
  return Names[static_cast<std::size_t>(ordinal)];
}

const TEnumNames& TwEnumNames(const bool*) {
  static const TEnumNames names{"Boolean", {"False", "True"}};
  return names;
}

// --- values

std::int64_t TValue::AsInt() const {
  if (const auto* v = std::get_if<std::int64_t>(&v_)) return *v;
  InvalidValue();
}

double TValue::AsFloat() const {
  if (const auto* v = std::get_if<double>(&v_)) return *v;
  if (const auto* v = std::get_if<std::int64_t>(&v_)) return static_cast<double>(*v);
  InvalidValue();
}

const std::string& TValue::AsString() const {
  if (const auto* v = std::get_if<std::string>(&v_)) return *v;
  InvalidValue();
}

TObject* TValue::AsObject() const {
  if (const auto* v = std::get_if<TObject*>(&v_)) return *v;
  InvalidValue();
}

const TMethod& TValue::AsMethod() const {
  if (const auto* v = std::get_if<TMethod>(&v_)) return *v;
  InvalidValue();
}

TSetValue TValue::AsSet() const {
  if (const auto* v = std::get_if<TSetValue>(&v_)) return *v;
  InvalidValue();
}

namespace typinfo_detail {
void ThrowInvalidPropValue() { InvalidValue(); }
}  // namespace typinfo_detail

// --- properties

void RegisterProperties(const TClassInfo* cls, std::vector<TPropInfo> props) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  ClassProps& cp = r.classes[cls];
  for (TPropInfo& p : props) {
    p.Owner = cls;
    std::string key = Key(p.Name);
    auto it = cp.byName.find(key);
    if (it != cp.byName.end()) {
      cp.props[it->second] = std::move(p);
    } else {
      cp.byName.emplace(std::move(key), cp.props.size());
      cp.props.push_back(std::move(p));
    }
  }
}

const TPropInfo* GetPropInfo(const TClassInfo* cls, const std::string& name) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  const std::string key = Key(name);
  for (const TClassInfo* c = cls; c != nullptr; c = c->Parent) {
    auto it = r.classes.find(c);
    if (it == r.classes.end()) continue;
    auto p = it->second.byName.find(key);
    if (p != it->second.byName.end()) return &it->second.props[p->second];
  }
  return nullptr;
}

std::vector<const TPropInfo*> GetPropList(const TClassInfo* cls) {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = cls; c != nullptr; c = c->Parent) chain.push_back(c);
  std::reverse(chain.begin(), chain.end());
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::vector<const TPropInfo*> list;
  for (const TClassInfo* c : chain) {
    auto it = r.classes.find(c);
    if (it == r.classes.end()) continue;
    for (const TPropInfo& p : it->second.props) {
      // A descendant that declares a property again replaces the ancestor's in place.
      auto same = std::find_if(list.begin(), list.end(), [&](const TPropInfo* q) { return AnsiSameText(q->Name, p.Name); });
      if (same != list.end())
        *same = &p;
      else
        list.push_back(&p);
    }
  }
  return list;
}

bool IsPublishedProp(const TObject* obj, const std::string& name) { return GetPropInfo(obj, name) != nullptr; }

TPropInfo CustomProp(const TClassInfo* owner, const std::string& name, TTypeKind kind,
                     std::function<TValue(const TObject*)> get, std::function<void(TObject*, const TValue&)> set,
                     const TEnumNames* enumNames, const TClassInfo* propClass) {
  TPropInfo info;
  info.Name = name;
  info.Kind = kind;
  info.Owner = owner;
  info.Enum = enumNames;
  info.PropClass = propClass;
  info.Get = std::move(get);
  info.Set = std::move(set);
  return info;
}

namespace {

const TPropInfo& Require(const TObject* obj, const std::string& name) {
  if (obj == nullptr) throw EPropertyError(Format(classesconst::SUnknownProperty, {name}));
  const TPropInfo* info = GetPropInfo(obj, name);
  if (info == nullptr) throw EPropertyError(Format(classesconst::SUnknownProperty, {name}));
  return *info;
}

}  // namespace

TValue GetPropValue(const TObject* obj, const std::string& name) {
  const TPropInfo& info = Require(obj, name);
  if (!info.Get) throw EPropertyError("Property " + name + " has no value to read");
  return info.Get(obj);
}

void SetPropValue(TObject* obj, const std::string& name, const TValue& value) {
  const TPropInfo& info = Require(obj, name);
  if (!info.Set) throw EPropertyError(classesconst::SReadOnlyProperty);
  info.Set(obj, value);
}

std::int64_t GetOrdProp(const TObject* obj, const std::string& name) { return GetPropValue(obj, name).AsInt(); }
void SetOrdProp(TObject* obj, const std::string& name, std::int64_t value) { SetPropValue(obj, name, TValue(value)); }
std::string GetStrProp(const TObject* obj, const std::string& name) { return GetPropValue(obj, name).AsString(); }
void SetStrProp(TObject* obj, const std::string& name, const std::string& value) {
  SetPropValue(obj, name, TValue(value));
}
double GetFloatProp(const TObject* obj, const std::string& name) { return GetPropValue(obj, name).AsFloat(); }
void SetFloatProp(TObject* obj, const std::string& name, double value) { SetPropValue(obj, name, TValue(value)); }
TObject* GetObjectProp(const TObject* obj, const std::string& name) { return GetPropValue(obj, name).AsObject(); }

std::string GetEnumProp(const TObject* obj, const std::string& name) {
  const TPropInfo& info = Require(obj, name);
  if (info.Enum == nullptr || info.Kind != tkEnumeration) InvalidValue();
  return info.Enum->NameOf(static_cast<int>(info.Get(obj).AsInt()));
}

void SetEnumProp(TObject* obj, const std::string& name, const std::string& value) {
  const TPropInfo& info = Require(obj, name);
  if (info.Enum == nullptr || info.Kind != tkEnumeration) InvalidValue();
  int ord = info.Enum->ValueOf(value);
  if (ord < 0) InvalidValue();
  if (!info.Set) throw EPropertyError(classesconst::SReadOnlyProperty);
  info.Set(obj, TValue(static_cast<std::int64_t>(ord)));
}

// --- published methods

void RegisterMethod(const TClassInfo* cls, const std::string& name, std::function<std::any(TObject*)> bind) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.classes[cls].methods[Key(name)] = std::move(bind);
}

namespace {
const std::function<std::any(TObject*)>* LookupMethod(Registry& r, const TClassInfo* cls, const std::string& name) {
  const std::string key = Key(name);
  for (const TClassInfo* c = cls; c != nullptr; c = c->Parent) {
    auto it = r.classes.find(c);
    if (it == r.classes.end()) continue;
    auto m = it->second.methods.find(key);
    if (m != it->second.methods.end()) return &m->second;
  }
  return nullptr;
}
}  // namespace

bool MethodExists(const TObject* obj, const std::string& name) {
  if (obj == nullptr) return false;
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  return LookupMethod(r, obj->ClassType(), name) != nullptr;
}

std::any BindMethod(TObject* obj, const std::string& name) {
  if (obj == nullptr) return {};
  std::function<std::any(TObject*)> bind;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    const auto* found = LookupMethod(r, obj->ClassType(), name);
    if (found == nullptr) return {};
    bind = *found;
  }
  return bind(obj);
}

// --- class registry

void RegisterClass(const TClassInfo* cls, TComponentFactory factory) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.factories[Key(cls->Name)] = {cls, std::move(factory)};
}

void UnRegisterClass(const TClassInfo* cls) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.factories.find(Key(cls->Name));
  if (it != r.factories.end() && it->second.first == cls) r.factories.erase(it);
}

const TClassInfo* GetClass(const std::string& name) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.factories.find(Key(name));
  return it == r.factories.end() ? nullptr : it->second.first;
}

const TClassInfo* FindClass(const std::string& name) {
  const TClassInfo* cls = GetClass(name);
  if (cls == nullptr) throw EClassNotFound(Format(classesconst::SClassNotFound, {name}));
  return cls;
}

TComponent* CreateComponent(const std::string& className, TComponent* owner) {
  TComponentFactory factory;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(Key(className));
    if (it == r.factories.end()) throw EClassNotFound(Format(classesconst::SClassNotFound, {className}));
    factory = it->second.second;
  }
  return factory(owner);
}

TComponent* CreateComponent(const TClassInfo* cls, TComponent* owner) {
  if (cls == nullptr) throw EClassNotFound(Format(classesconst::SClassNotFound, {"nil"}));
  return CreateComponent(std::string(cls->Name), owner);
}

}  // namespace tw
