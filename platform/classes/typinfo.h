// Published properties and the class registry.
//
// Every class that publishes properties declares them once, in its .cpp, one line each:
//
//   TW_PUBLISHED(TButton,
//     tw::Prop("Caption", &TButton::Caption, &TButton::SetCaption),
//     tw::Prop("Default", &TButton::Default, &TButton::SetDefault),
//     tw::Prop("OnClick", &TButton::OnClick));
//
// The kind of each property follows from its C++ type: integers -> tkInteger, char -> tkChar,
// bool and enumerations named with TW_ENUM_NAMES -> tkEnumeration, Set<E> -> tkSet,
// float/double -> tkFloat, std::string -> tkString, pointers to TObject descendants -> tkClass,
// std::function -> tkMethod (bound by handler name through the published methods).
// Lookup is case-insensitive and walks up the class chain; enumeration lists base classes first,
// each class in declaration order.
//
// Components are created by class name through the class registry:
//   TW_REGISTER_CLASS(TButton);   // in TButton's .cpp, or RegisterClass<TButton>() at start-up
//   TComponent* c = CreateComponent("TButton", owner);
#pragma once

#include <any>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/classes/component.h"
#include "platform/rtl/set.h"

namespace tw {

enum class TTypeKind { tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkInt64 };
using enum TTypeKind;

// Names of an enumeration's values, by ordinal.
struct TEnumNames {
  std::string TypeName;
  std::vector<std::string> Names;
  // Ordinal of `name` (case-insensitive), -1 when none.
  int ValueOf(const std::string& name) const;
  // The name of `ordinal`, "" when out of range.
  std::string NameOf(int ordinal) const;
};

// Declares the value names of an enumeration, next to it in its header:
//   enum class TAlign { alNone, alTop, alBottom };
//   TW_ENUM_NAMES(TAlign, "alNone", "alTop", "alBottom");
#define TW_ENUM_NAMES(Enum, ...)                                                       \
  inline const ::tw::TEnumNames& TwEnumNames(const Enum*) {                            \
    static const ::tw::TEnumNames names{#Enum, {__VA_ARGS__}};                         \
    return names;                                                                      \
  }

const TEnumNames& TwEnumNames(const bool*);  // "False", "True"

// A published method reference: the object and the handler's name.  Reading an event property
// gives Data = the object whose handler is bound when known, and Assigned.
struct TMethod {
  TObject* Data = nullptr;
  std::string Name;
  bool Assigned = false;
};

// A set value: bit n is ordinal n.
struct TSetValue {
  std::uint64_t Bits = 0;
};

// The value of a property.  Ordinal kinds (integer, char, enumeration) travel as Int.
class TValue {
 public:
  TValue() = default;
  TValue(std::int64_t v) : v_(v) {}
  TValue(int v) : v_(static_cast<std::int64_t>(v)) {}
  TValue(double v) : v_(v) {}
  TValue(std::string v) : v_(std::move(v)) {}
  TValue(const char* v) : v_(std::string(v)) {}
  TValue(TObject* v) : v_(v) {}
  TValue(std::nullptr_t) : v_(static_cast<TObject*>(nullptr)) {}
  TValue(TMethod v) : v_(std::move(v)) {}
  TValue(TSetValue v) : v_(v) {}

  bool IsEmpty() const { return v_.index() == 0; }
  bool IsInt() const { return std::holds_alternative<std::int64_t>(v_); }
  bool IsFloat() const { return std::holds_alternative<double>(v_); }
  bool IsString() const { return std::holds_alternative<std::string>(v_); }
  bool IsObject() const { return std::holds_alternative<TObject*>(v_); }
  bool IsMethod() const { return std::holds_alternative<TMethod>(v_); }
  bool IsSet() const { return std::holds_alternative<TSetValue>(v_); }

  // Each raises EPropertyError "Invalid property value" for another kind (AsFloat also takes
  // an integer).
  std::int64_t AsInt() const;
  double AsFloat() const;
  const std::string& AsString() const;
  TObject* AsObject() const;
  const TMethod& AsMethod() const;
  TSetValue AsSet() const;

 private:
  std::variant<std::monostate, std::int64_t, double, std::string, TObject*, TMethod, TSetValue> v_;
};

struct TPropInfo {
  std::string Name;
  TTypeKind Kind = tkUnknown;
  const TEnumNames* Enum = nullptr;        // tkEnumeration and tkSet
  const TClassInfo* PropClass = nullptr;   // tkClass: the declared class, when it takes part
  const TClassInfo* Owner = nullptr;       // the class that declares it
  std::function<TValue(const TObject*)> Get;
  std::function<void(TObject*, const TValue&)> Set;  // empty for a read-only property
  bool ReadOnly() const { return !Set; }
};

// --- the registry

// Adds properties to `cls` (normally through TW_PUBLISHED).  A second property of the same
// name on the same class replaces the first.
void RegisterProperties(const TClassInfo* cls, std::vector<TPropInfo> props);
// nullptr when no class in the chain has it.
const TPropInfo* GetPropInfo(const TClassInfo* cls, const std::string& name);
inline const TPropInfo* GetPropInfo(const TObject* obj, const std::string& name) {
  return GetPropInfo(obj->ClassType(), name);
}
// All properties of the class and its ancestors: ancestors first, each in declaration order.
std::vector<const TPropInfo*> GetPropList(const TClassInfo* cls);
inline std::vector<const TPropInfo*> GetPropList(const TObject* obj) { return GetPropList(obj->ClassType()); }
bool IsPublishedProp(const TObject* obj, const std::string& name);

// By name: EPropertyError "Unknown property: %s" when missing, "Property is read-only" when
// setting one without a setter, "Invalid property value" for a value of the wrong kind.
TValue GetPropValue(const TObject* obj, const std::string& name);
void SetPropValue(TObject* obj, const std::string& name, const TValue& value);
std::int64_t GetOrdProp(const TObject* obj, const std::string& name);
void SetOrdProp(TObject* obj, const std::string& name, std::int64_t value);
std::string GetStrProp(const TObject* obj, const std::string& name);
void SetStrProp(TObject* obj, const std::string& name, const std::string& value);
double GetFloatProp(const TObject* obj, const std::string& name);
void SetFloatProp(TObject* obj, const std::string& name, double value);
TObject* GetObjectProp(const TObject* obj, const std::string& name);
// Enumeration value by name, as written in form resources.
std::string GetEnumProp(const TObject* obj, const std::string& name);
void SetEnumProp(TObject* obj, const std::string& name, const std::string& value);

// --- published methods (event handlers bound by name)

// Registers a handler `name` of class Cls; `bind` makes the callable for one object, wrapped in
// std::any as std::function<Sig>.
void RegisterMethod(const TClassInfo* cls, const std::string& name, std::function<std::any(TObject*)> bind);
// Whether the class chain of `obj` has a published method of that name.
bool MethodExists(const TObject* obj, const std::string& name);
// The handler bound to `obj`, or an empty std::any.
std::any BindMethod(TObject* obj, const std::string& name);

// One published method: its name and how to bind it to an object.
struct TMethodInfo {
  const TClassInfo* Owner = nullptr;
  std::string Name;
  std::function<std::any(TObject*)> Bind;
};

// A handler `name` of Cls; an event property of type std::function<R(A...)> accepts it.
template <typename Cls, typename R, typename... A>
TMethodInfo Method(const std::string& name, R (Cls::*method)(A...)) {
  return TMethodInfo{Cls::StaticClass(), name, [method](TObject* obj) -> std::any {
                       auto* self = static_cast<Cls*>(obj);
                       return std::function<R(A...)>(
                           [self, method](A... args) { return (self->*method)(std::forward<A>(args)...); });
                     }};
}
template <typename Cls, typename R, typename... A>
TMethodInfo Method(const std::string& name, R (Cls::*method)(A...) const) {
  return TMethodInfo{Cls::StaticClass(), name, [method](TObject* obj) -> std::any {
                       const auto* self = static_cast<const Cls*>(obj);
                       return std::function<R(A...)>(
                           [self, method](A... args) { return (self->*method)(std::forward<A>(args)...); });
                     }};
}
template <typename M>
void PublishMethod(const std::string& name, M method) {
  TMethodInfo info = Method(name, method);
  RegisterMethod(info.Owner, info.Name, std::move(info.Bind));
}

// --- the class registry

using TComponentFactory = std::function<TComponent*(TComponent* owner)>;
void RegisterClass(const TClassInfo* cls, TComponentFactory factory);
template <typename T>
void RegisterClass() {
  RegisterClass(T::StaticClass(), [](TComponent* owner) -> TComponent* { return new T(owner); });
}
void UnRegisterClass(const TClassInfo* cls);
// nullptr when no class of that name (case-insensitive) is registered.
const TClassInfo* GetClass(const std::string& name);
// Raises EClassNotFound "Class %s not found".
const TClassInfo* FindClass(const std::string& name);
// Creates a component of a registered class; raises EClassNotFound when unknown.
TComponent* CreateComponent(const std::string& className, TComponent* owner);
TComponent* CreateComponent(const TClassInfo* cls, TComponent* owner);

// ---------------------------------------------------------------------------------------------
// Registration helpers.

namespace typinfo_detail {

template <typename T>
struct IsSet : std::false_type {};
template <typename E>
struct IsSet<Set<E>> : std::true_type {
  using Enum = E;
};
template <typename T>
struct IsFunction : std::false_type {};
template <typename Sig>
struct IsFunction<std::function<Sig>> : std::true_type {};

template <typename E>
concept NamedEnum = requires(const E* p) {
  { TwEnumNames(p) } -> std::convertible_to<const TEnumNames&>;
};

[[noreturn]] void ThrowInvalidPropValue();

template <typename T>
struct Traits;

template <typename T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
struct Traits<T> {
  static constexpr TTypeKind kind = sizeof(T) > 4 ? tkInt64 : tkInteger;
  static const TEnumNames* Enum() { return nullptr; }
  static TValue To(T v) { return TValue(static_cast<std::int64_t>(v)); }
  static T From(const TValue& v) { return static_cast<T>(v.AsInt()); }
};
template <>
struct Traits<char> {
  static constexpr TTypeKind kind = tkChar;
  static const TEnumNames* Enum() { return nullptr; }
  static TValue To(char v) { return TValue(static_cast<std::int64_t>(static_cast<unsigned char>(v))); }
  static char From(const TValue& v) {
    if (v.IsString() && v.AsString().size() == 1) return v.AsString()[0];
    return static_cast<char>(static_cast<unsigned char>(v.AsInt()));
  }
};
template <typename E>
  requires(std::is_enum_v<E> || std::is_same_v<E, bool>) && NamedEnum<E>
struct Traits<E> {
  static constexpr TTypeKind kind = tkEnumeration;
  static const TEnumNames* Enum() { return &TwEnumNames(static_cast<const E*>(nullptr)); }
  static TValue To(E v) { return TValue(static_cast<std::int64_t>(v)); }
  static E From(const TValue& v) {
    if (v.IsString()) {
      int ord = Enum()->ValueOf(v.AsString());
      if (ord < 0) return FromOrd(-1);
      return static_cast<E>(ord);
    }
    return FromOrd(v.AsInt());
  }
  static E FromOrd(std::int64_t ord) {
    if (ord < 0 || ord >= static_cast<std::int64_t>(Enum()->Names.size())) ThrowInvalidPropValue();
    return static_cast<E>(ord);
  }
};
template <typename S>
  requires IsSet<S>::value
struct Traits<S> {
  using E = typename IsSet<S>::Enum;
  static constexpr TTypeKind kind = tkSet;
  static const TEnumNames* Enum() { return &TwEnumNames(static_cast<const E*>(nullptr)); }
  static TValue To(S v) { return TValue(TSetValue{v.Bits()}); }
  static S From(const TValue& v) { return S::FromBits(v.IsSet() ? v.AsSet().Bits : static_cast<std::uint64_t>(v.AsInt())); }
};
template <typename F>
  requires std::is_floating_point_v<F>
struct Traits<F> {
  static constexpr TTypeKind kind = tkFloat;
  static const TEnumNames* Enum() { return nullptr; }
  static TValue To(F v) { return TValue(static_cast<double>(v)); }
  static F From(const TValue& v) { return static_cast<F>(v.AsFloat()); }
};
template <>
struct Traits<std::string> {
  static constexpr TTypeKind kind = tkString;
  static const TEnumNames* Enum() { return nullptr; }
  static TValue To(const std::string& v) { return TValue(v); }
  static std::string From(const TValue& v) { return v.AsString(); }
};
template <typename C>
  requires std::is_base_of_v<TObject, C>
struct Traits<C*> {
  static constexpr TTypeKind kind = tkClass;
  static const TEnumNames* Enum() { return nullptr; }
  static TValue To(C* v) { return TValue(static_cast<TObject*>(v)); }
  static C* From(const TValue& v) {
    TObject* o = v.AsObject();
    if (o != nullptr && !o->InheritsFrom(C::StaticClass())) ThrowInvalidPropValue();
    return static_cast<C*>(o);
  }
};

template <typename T>
using Plain = std::remove_cvref_t<T>;

template <typename Cls, typename T>
TPropInfo Make(const std::string& name) {
  TPropInfo info;
  info.Name = name;
  info.Kind = Traits<T>::kind;
  info.Enum = Traits<T>::Enum();
  info.Owner = Cls::StaticClass();
  if constexpr (std::is_pointer_v<T>) info.PropClass = std::remove_pointer_t<T>::StaticClass();
  return info;
}

// An event property stored as a std::function member: set from a TMethod by binding the
// handler name on the method's object.
template <typename Cls, typename Sig>
TPropInfo MakeEvent(const std::string& name, std::function<Sig> Cls::*field) {
  TPropInfo info;
  info.Name = name;
  info.Kind = tkMethod;
  info.Owner = Cls::StaticClass();
  info.Get = [field](const TObject* o) -> TValue {
    const auto& f = static_cast<const Cls*>(o)->*field;
    return TValue(TMethod{nullptr, std::string(), static_cast<bool>(f)});
  };
  info.Set = [field](TObject* o, const TValue& v) {
    const TMethod& m = v.AsMethod();
    auto& f = static_cast<Cls*>(o)->*field;
    if (m.Data == nullptr || m.Name.empty()) {
      f = nullptr;
      return;
    }
    std::any bound = BindMethod(m.Data, m.Name);
    const auto* fn = std::any_cast<std::function<Sig>>(&bound);
    if (fn == nullptr) ThrowInvalidPropValue();
    f = *fn;
  };
  return info;
}

}  // namespace typinfo_detail

// A property read and written through a data member.
template <typename Cls, typename T>
  requires std::is_member_object_pointer_v<T Cls::*>
TPropInfo Prop(const std::string& name, T Cls::*field) {
  if constexpr (typinfo_detail::IsFunction<T>::value) {
    return typinfo_detail::MakeEvent<Cls>(name, field);
  } else {
    using Tr = typinfo_detail::Traits<T>;
    TPropInfo info = typinfo_detail::Make<Cls, T>(name);
    info.Get = [field](const TObject* o) { return Tr::To(static_cast<const Cls*>(o)->*field); };
    info.Set = [field](TObject* o, const TValue& v) { static_cast<Cls*>(o)->*field = Tr::From(v); };
    return info;
  }
}

// A property read through a const getter and written through a setter (nullptr: read-only).
template <typename Cls, typename R, typename A>
TPropInfo Prop(const std::string& name, R (Cls::*getter)() const, void (Cls::*setter)(A)) {
  using T = typinfo_detail::Plain<R>;
  static_assert(std::is_same_v<T, typinfo_detail::Plain<A>>, "getter and setter types differ");
  using Tr = typinfo_detail::Traits<T>;
  TPropInfo info = typinfo_detail::Make<Cls, T>(name);
  info.Get = [getter](const TObject* o) { return Tr::To((static_cast<const Cls*>(o)->*getter)()); };
  if (setter != nullptr)
    info.Set = [setter](TObject* o, const TValue& v) { (static_cast<Cls*>(o)->*setter)(Tr::From(v)); };
  return info;
}

// A read-only property.
template <typename Cls, typename R>
TPropInfo Prop(const std::string& name, R (Cls::*getter)() const) {
  using T = typinfo_detail::Plain<R>;
  using Tr = typinfo_detail::Traits<T>;
  TPropInfo info = typinfo_detail::Make<Cls, T>(name);
  info.Get = [getter](const TObject* o) { return Tr::To((static_cast<const Cls*>(o)->*getter)()); };
  return info;
}

// A property read through a getter and written into a data member's setter-free field.
template <typename Cls, typename R, typename T>
  requires std::is_member_object_pointer_v<T Cls::*>
TPropInfo Prop(const std::string& name, R (Cls::*getter)() const, T Cls::*field) {
  using Tr = typinfo_detail::Traits<T>;
  TPropInfo info = typinfo_detail::Make<Cls, T>(name);
  info.Get = [getter](const TObject* o) { return Tr::To((static_cast<const Cls*>(o)->*getter)()); };
  info.Set = [field](TObject* o, const TValue& v) { static_cast<Cls*>(o)->*field = Tr::From(v); };
  return info;
}

// A property with hand-written access, for the unusual cases.
TPropInfo CustomProp(const TClassInfo* owner, const std::string& name, TTypeKind kind,
                     std::function<TValue(const TObject*)> get, std::function<void(TObject*, const TValue&)> set,
                     const TEnumNames* enumNames = nullptr, const TClassInfo* propClass = nullptr);

namespace typinfo_detail {
struct Registrar {
  Registrar(const TClassInfo* cls, std::initializer_list<TPropInfo> props) {
    RegisterProperties(cls, std::vector<TPropInfo>(props));
  }
};
struct MethodRegistrar {
  MethodRegistrar(std::initializer_list<TMethodInfo> methods) {
    for (const TMethodInfo& m : methods) RegisterMethod(m.Owner, m.Name, m.Bind);
  }
};
struct ClassRegistrar {
  ClassRegistrar(const TClassInfo* cls, TComponentFactory factory) { RegisterClass(cls, std::move(factory)); }
};
}  // namespace typinfo_detail

#define TW_PUBLISHED_CAT2(a, b) a##b
#define TW_PUBLISHED_CAT(a, b) TW_PUBLISHED_CAT2(a, b)
// Registers the published properties of Cls when the program starts.  Place it in the .cpp that
// defines Cls's member functions, so that the linker keeps it with the class.
#define TW_PUBLISHED(Cls, ...)                                                                    \
  static const ::tw::typinfo_detail::Registrar TW_PUBLISHED_CAT(twPublished_, __LINE__)(          \
      Cls::StaticClass(), {__VA_ARGS__})
// Registers the published methods (event handlers) of Cls:
//   TW_PUBLISHED_METHODS(TfrmMain, tw::Method("FormCreate", &TfrmMain::FormCreate));
#define TW_PUBLISHED_METHODS(Cls, ...)                                                            \
  static const ::tw::typinfo_detail::MethodRegistrar TW_PUBLISHED_CAT(twMethods_, __LINE__)({__VA_ARGS__})
// Registers a component class for creation by name (the class needs a constructor taking the
// owner).  Like every static registration it runs only when the linker keeps the object file,
// i.e. when something else in it is used; a module whose classes are created only by name
// offers a registration routine that the program calls at start-up (RegisterClass<T>()).
#define TW_REGISTER_CLASS(Cls)                                                                    \
  static const ::tw::typinfo_detail::ClassRegistrar TW_PUBLISHED_CAT(twClass_, __LINE__)(         \
      Cls::StaticClass(), [](::tw::TComponent* owner) -> ::tw::TComponent* { return new Cls(owner); })

}  // namespace tw
