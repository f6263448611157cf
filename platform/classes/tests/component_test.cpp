#include "platform/classes/component.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace tw {
namespace {

// Records the notifications it receives and its own destruction.
class Probe : public TComponent {
  TW_CLASS(Probe, TComponent)
 public:
  Probe(TComponent* owner, std::vector<std::string>* log) : TComponent(owner), log_(log) {}
  ~Probe() override { log_->push_back("free " + Name()); }

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    log_->push_back(Name() + (op == TOperation::opInsert ? " +" : " -") + c->Name());
  }

 private:
  std::vector<std::string>* log_;
};

TEST(ComponentOwnership, OwnerFreesItsComponentsLastFirst) {
  std::vector<std::string> log;
  auto* owner = new Probe(nullptr, &log);
  owner->SetName("Owner");
  auto* a = new Probe(owner, &log);
  a->SetName("A");
  auto* b = new Probe(owner, &log);
  b->SetName("B");
  auto* child = new Probe(a, &log);
  child->SetName("C");
  ASSERT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->FindComponent("b"), b);
  EXPECT_EQ(b->ComponentIndex(), 1);
  log.clear();
  delete owner;
  std::vector<std::string> frees;
  for (auto& l : log)
    if (l.rfind("free", 0) == 0) frees.push_back(l);
  // Each destructor logs before its base part frees what it owns.
  EXPECT_EQ(frees, (std::vector<std::string>{"free Owner", "free B", "free A", "free C"}));
}

TEST(ComponentOwnership, FreedComponentLeavesItsOwner) {
  std::vector<std::string> log;
  Probe owner(nullptr, &log);
  auto* a = new Probe(&owner, &log);
  delete a;
  EXPECT_EQ(owner.ComponentCount(), 0);
}

// Logs BeforeDestruction and the destructor, so tests can see their order and count.
class Staged : public TComponent {
  TW_CLASS(Staged, TComponent)
 public:
  Staged(TComponent* owner, std::vector<std::string>* log, std::string tag)
      : TComponent(owner), log_(log), tag_(std::move(tag)) {}
  ~Staged() override { log_->push_back("dtor " + tag_); }
  void BeforeDestruction() override {
    TComponent::BeforeDestruction();
    log_->push_back("before " + tag_ + (ComponentState().Contains(TComponentStateFlag::csDestroying) ? " destroying" : ""));
  }

 private:
  std::vector<std::string>* log_;
  std::string tag_;
};

TEST(ComponentDestruction, EveryWayOfFreeingRunsBeforeDestructionFirst) {
  std::vector<std::string> log;
  // Free and FreeAndNil.
  auto* single = new Staged(nullptr, &log, "s");
  single->Free();
  Staged* viaNil = new Staged(nullptr, &log, "n");
  FreeAndNil(viaNil);
  EXPECT_EQ(viaNil, nullptr);
  FreeAndNil(viaNil);  // nil stays harmless
  // An owner frees its components last first, each whole when told.
  auto* owner = new Staged(nullptr, &log, "o");
  new Staged(owner, &log, "a");
  new Staged(owner, &log, "b");
  owner->Free();
  EXPECT_EQ(log, (std::vector<std::string>{"before s destroying", "dtor s", "before n destroying", "dtor n",
                                           "before o destroying", "dtor o", "before b destroying", "dtor b",
                                           "before a destroying", "dtor a"}));
}

TEST(ComponentDestruction, DirectDeleteSkipsBeforeDestructionButStillFreesOwned) {
  std::vector<std::string> log;
  auto* owner = new Staged(nullptr, &log, "o");
  new Staged(owner, &log, "a");
  delete owner;
  EXPECT_EQ(log, (std::vector<std::string>{"dtor o", "before a destroying", "dtor a"}));
}

// Notes, when told that a component is removed, whether it and its owner already know they go.
class Watcher : public TComponent {
  TW_CLASS(Watcher, TComponent)
 public:
  Watcher(TComponent* owner, std::vector<std::string>* log) : TComponent(owner), log_(log) {}

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op != TOperation::opRemove) return;
    const bool self = ComponentState().Contains(TComponentStateFlag::csDestroying);
    const bool owner = Owner() != nullptr && Owner()->ComponentState().Contains(TComponentStateFlag::csDestroying);
    log_->push_back(Name() + " -" + c->Name() + (self ? " self" : "") + (owner ? " owner" : ""));
  }

 private:
  std::vector<std::string>* log_;
};

TEST(ComponentDestruction, FreeingAnOwnerMarksEverythingItOwnsBeforeAnyIsFreed) {
  std::vector<std::string> log;
  auto* form = new TComponent(nullptr);
  auto* panel = new TComponent(form);
  panel->SetName("Panel");
  auto* deep = new Watcher(panel, &log);
  deep->SetName("Deep");
  auto* watcher = new Watcher(form, &log);
  watcher->SetName("Watcher");
  auto* last = new TComponent(form);
  last->SetName("Last");
  last->FreeNotification(watcher);
  deep->FreeNotification(last);

  form->Destroying();
  for (TComponent* c : {form, panel, static_cast<TComponent*>(deep), static_cast<TComponent*>(watcher), last})
    EXPECT_TRUE(c->ComponentState().Contains(TComponentStateFlag::csDestroying)) << c->Name();
  form->Free();
  // "Last" goes first; both watchers are told while they and their owners are already marked.
  std::sort(log.begin(), log.end());
  EXPECT_EQ(log, (std::vector<std::string>{"Deep -Last self owner", "Watcher -Last self owner"}));
}

TEST(ComponentDestruction, FreeingOneComponentLeavesItsOwnerAndNeighboursUnmarked) {
  std::vector<std::string> log;
  TComponent form(nullptr);
  auto* panel = new TComponent(&form);
  auto* inner = new TComponent(panel);
  auto* neighbour = new Watcher(&form, &log);
  neighbour->SetName("N");
  inner->SetName("Inner");
  panel->SetName("Panel");
  inner->FreeNotification(neighbour);
  panel->Free();
  EXPECT_EQ(log, (std::vector<std::string>{"N -Inner", "N -Panel"})) << "told, and not going itself";
  EXPECT_FALSE(form.ComponentState().Contains(TComponentStateFlag::csDestroying));
  EXPECT_FALSE(neighbour->ComponentState().Contains(TComponentStateFlag::csDestroying));
}

TEST(ComponentNames, DuplicateAndInvalidNamesAreRefused) {
  std::vector<std::string> log;
  Probe owner(nullptr, &log);
  auto* a = new Probe(&owner, &log);
  auto* b = new Probe(&owner, &log);
  a->SetName("Edit1");
  EXPECT_THROW(b->SetName("EDIT1"), EComponentError);
  EXPECT_THROW(b->SetName("1Edit"), EComponentError);
  b->SetName("Edit2");
  EXPECT_EQ(owner.FindComponent("edit2"), b);
  EXPECT_EQ(owner.FindComponent(""), nullptr);
}

TEST(ComponentNotification, FreeNotificationReachesNonOwnerBothWays) {
  std::vector<std::string> log;
  auto* watcher = new Probe(nullptr, &log);
  watcher->SetName("W");
  auto* target = new Probe(nullptr, &log);
  target->SetName("T");
  target->FreeNotification(watcher);
  delete target;
  EXPECT_NE(std::find(log.begin(), log.end(), "W -T"), log.end());
  delete watcher;  // must not touch the freed target
}

TEST(ClassIdentity, NamesAndInheritance) {
  std::vector<std::string> log;
  Probe p(nullptr, &log);
  EXPECT_EQ(p.ClassName(), "Probe");
  EXPECT_TRUE(p.Is<TComponent>());
  EXPECT_TRUE(p.Is<TPersistent>());
  EXPECT_FALSE(TComponent(nullptr).Is<Probe>());
}

TEST(PersistentAssign, UnknownPairRaisesConvertError) {
  TComponent a(nullptr), b(nullptr);
  try {
    a.Assign(&b);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TComponent");
  }
}

}  // namespace
}  // namespace tw
