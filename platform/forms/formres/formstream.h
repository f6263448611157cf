// Reading components from, and writing them to, the binary value format, through the
// published-property registry.
//
// Reading a root (a form) makes each nested object with the class registry (owner: the root),
// names it, gives controls their Parent (other kinds attach through RegisterChildClass), sets the
// properties by name (dotted names reach sub-objects such as Font.Style; "Strings" fills a
// string list; collections are filled item by item), asks DefineProperties (and the handlers of
// RegisterDefineProperties) for the values that are not published, binds event handlers by name
// to the root's published methods, resolves references to components after everything is read,
// sets the root's registered component fields, and calls Loaded on every component read.
//
// Errors raise EReadError (EClassNotFound for an unknown class) naming the component and the
// property; a description read from text adds the line number.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"

namespace tw {

class TStream;

// --- reading and writing

// Reads one root object ("TPF0" and the object) into `root`.
void ReadRootComponent(TStream& stream, TComponent* root);
// Reads a description given as text or as binary bytes into `root`.
void ReadComponentDescription(std::string_view description, TComponent* root);
// Writes `root` and the components it owns ("TPF0" and the object).  Values equal to those of
// a fresh component of the same registered class are left out; event handlers are not written.
void WriteRootComponent(TStream& stream, TComponent* root);
std::string ComponentToBinary(TComponent* root);
std::string ComponentToText(TComponent* root);

// --- hooks for classes that are not controls

// Values that a class stores outside its published properties, for classes that cannot override
// DefineProperties themselves (called after the object's own DefineProperties).
using TDefinePropertiesProc = std::function<void(TObject* instance, TFiler* filer)>;
void RegisterDefineProperties(const TClassInfo* cls, TDefinePropertiesProc proc);

// How components of `cls` nest in a description when they are not controls (menu items inside
// their menu): `attach` puts a child read inside `parent`; `parentOf` names the component a child
// is written inside (nullptr: the root); `children` lists a parent's children in order.
struct TChildClassInfo {
  std::function<void(TComponent* parent, TComponent* child)> Attach;
  std::function<TComponent*(TComponent* child)> ParentOf;
  std::function<std::vector<TComponent*>(TComponent* parent)> Children;
};
// `childClass` is the class of the nested components; Attach is looked up by the parent's class
// chain when a child is read (`parentClass`), ParentOf/Children for writing.
void RegisterChildClass(const TClassInfo* parentClass, const TClassInfo* childClass, TChildClassInfo info);

// --- component fields of a form class

// After a description is read, the root's fields named like its components point to them:
//   TW_FORM_FIELDS(TfrmMain, tw::Field("OKBtn", &TfrmMain::OKBtn), tw::Field("Edit1", &TfrmMain::Edit1));
struct TFieldInfo {
  const TClassInfo* Owner = nullptr;
  std::string Name;
  // Sets the field; false when the component is not of the field's class.
  std::function<bool(TObject* root, TComponent* component)> Set;
};
template <typename Cls, typename T>
TFieldInfo Field(const std::string& name, T* Cls::*member) {
  return TFieldInfo{Cls::StaticClass(), name, [member](TObject* root, TComponent* c) {
                      T* typed = c == nullptr ? nullptr : dynamic_cast<T*>(c);
                      if (c != nullptr && typed == nullptr) return false;
                      static_cast<Cls*>(root)->*member = typed;
                      return true;
                    }};
}
void RegisterFields(std::vector<TFieldInfo> fields);
// Sets the registered fields of `root`'s class chain from its components; raises EReadError
// when a field's component is missing or of another class.
void BindComponentFields(TComponent* root);

namespace formres_detail {
struct FieldRegistrar {
  FieldRegistrar(std::initializer_list<TFieldInfo> fields) { RegisterFields(std::vector<TFieldInfo>(fields)); }
};
}  // namespace formres_detail

#define TW_FORM_FIELDS(Cls, ...)                                                                  \
  static const ::tw::formres_detail::FieldRegistrar TW_PUBLISHED_CAT(twFields_, __LINE__)({__VA_ARGS__})

}  // namespace tw
