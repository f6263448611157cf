// Root of the class hierarchy: run-time class descriptions that carry the class name and the
// parent class, so that code can ask an object for its class, test inheritance, and key the
// published-property registry and form-resource creation by class.
#pragma once

#include <string>

namespace tw {

struct TClassInfo {
  const char* Name;
  const TClassInfo* Parent;
};

// Placed first in the body of every class that takes part in class identity:
//   class TButton : public TWinControl { TW_CLASS(TButton, TWinControl) ... };
#define TW_CLASS(Cls, Base)                                                              \
 public:                                                                                 \
  static const ::tw::TClassInfo* StaticClass() {                                         \
    static const ::tw::TClassInfo info{#Cls, Base::StaticClass()};                       \
    return &info;                                                                        \
  }                                                                                      \
  const ::tw::TClassInfo* ClassType() const override { return Cls::StaticClass(); }     \
                                                                                         \
 private:

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static const TClassInfo* StaticClass() {
    static const TClassInfo info{"TObject", nullptr};
    return &info;
  }
  virtual const TClassInfo* ClassType() const { return StaticClass(); }

  std::string ClassName() const { return ClassType()->Name; }
  bool InheritsFrom(const TClassInfo* cls) const {
    for (const TClassInfo* c = ClassType(); c != nullptr; c = c->Parent)
      if (c == cls) return true;
    return false;
  }
  template <typename T>
  bool Is() const { return InheritsFrom(T::StaticClass()); }

  // Runs while the object is still whole, just before it is freed through Free, FreeAndNil or
  // an owner; descendants release what needs their own members here.
  virtual void BeforeDestruction() {}
  // Frees the object: BeforeDestruction, then the destructor.
  void Free() {
    BeforeDestruction();
    delete this;
  }
};

// Frees the object `obj` points at (if any) and clears the pointer first, so that handlers run
// while it is freed already see nil.
template <typename T>
void FreeAndNil(T*& obj) {
  T* doomed = obj;
  obj = nullptr;
  if (doomed != nullptr) doomed->Free();
}

}  // namespace tw
