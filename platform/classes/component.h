// Persistent objects and components: an owner frees the components it owns, components have
// names and are told when others are inserted or removed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/object.h"
#include "platform/rtl/set.h"

namespace tw {

class TFiler;

class TPersistent : public TObject {
  TW_CLASS(TPersistent, TObject)
 public:
  // Copies Source into this object; raises EConvertError "Cannot assign a %s to a %s" when
  // neither side knows how.
  virtual void Assign(const TPersistent* source);
  // Lets a persistent object store values that are not published properties.
  virtual void DefineProperties(TFiler* filer);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

enum class TOperation { opInsert, opRemove };

enum class TComponentStateFlag { csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating, csFixups };
using TComponentState = Set<TComponentStateFlag>;

class TComponent : public TPersistent {
  TW_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Raises EComponentError for a name that is not an identifier or is taken within the owner.
  virtual void SetName(const std::string& name);
  std::intptr_t Tag() const { return tag_; }
  void SetTag(std::intptr_t tag) { tag_ = tag; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  // Case-insensitive search among the owned components; nullptr when not found.
  TComponent* FindComponent(const std::string& name) const;

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, last created first, each through BeforeDestruction.
  void DestroyComponents();
  // Marks this component and, recursively, everything it owns as going away (csDestroying).
  void Destroying();
  // Marks the component as going away (csDestroying) while it is still whole.
  void BeforeDestruction() override;

  // Asks to be told (opRemove) when `component` is destroyed, even when it is not ours.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  TComponentState ComponentState() const { return state_; }
  void SetComponentState(TComponentStateFlag flag, bool on);

  // Called after the component was read from a form resource.
  virtual void Loaded();

 protected:
  virtual void Notification(TComponent* component, TOperation operation);
  virtual void ValidateRename(TComponent* component, const std::string& currentName, const std::string& newName);

 private:
  void Insert(TComponent* component);
  void Remove(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  std::intptr_t tag_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  TComponentState state_;
};

// True for a valid identifier: a letter or underscore, then letters, digits, underscores.
bool IsValidIdent(const std::string& name);

}  // namespace tw
