#include "platform/forms/comctrls/itemstrings.h"

#include <algorithm>

#include "platform/classes/classesconst.h"
#include "platform/rtl/exceptions.h"

namespace tw {

void TItemStrings::CheckIndex(int index) const {
  if (index < 0 || index >= GetCount()) Error(classesconst::SListIndexError, index);
}

std::string TItemStrings::Get(int index) const { return StringRef(index); }

const std::string& TItemStrings::StringRef(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)]->str;
}

std::size_t TItemStrings::CopyText(int index, char* buffer) const {
  const std::string& s = StringRef(index);
  if (buffer != nullptr) {
    std::copy(s.begin(), s.end(), buffer);
    buffer[s.size()] = '\0';
  }
  return s.size();
}

void TItemStrings::Put(int index, const std::string& s) {
  CheckIndex(index);
  if (sorted_) {
    // A sorted list keeps its order: the line moves to its new place with its object.
    auto item = std::move(items_[static_cast<std::size_t>(index)]);
    items_.erase(items_.begin() + index);
    Notify(TChange::Deleted, index);
    item->str = s;
    int place = SortedPlace(s);
    items_.insert(items_.begin() + place, std::move(item));
    Notify(TChange::Inserted, place);
    return;
  }
  items_[static_cast<std::size_t>(index)]->str = s;
  Notify(TChange::Changed, index);
}

std::intptr_t TItemStrings::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)]->object;
}

void TItemStrings::PutObject(int index, std::intptr_t object) {
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)]->object = object;
}

void TItemStrings::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Notify(TChange::Cleared, -1);
}

void TItemStrings::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
  Notify(TChange::Deleted, index);
}

int TItemStrings::SortedPlace(const std::string& s) const {
  // After the equal lines, so that lines added in order stay in that order.
  auto it = std::upper_bound(items_.begin(), items_.end(), s, [this](const std::string& v, const auto& item) {
    return CompareStrings(v, item->str) < 0;
  });
  return static_cast<int>(it - items_.begin());
}

void TItemStrings::InsertObject(int index, const std::string& s, std::intptr_t object) {
  InsertItem(index, s, object);
}

int TItemStrings::InsertItem(int index, const std::string& s, std::intptr_t object) {
  if (sorted_) {
    index = SortedPlace(s);
  } else if (index < 0 || index > GetCount()) {
    Error(classesconst::SListIndexError, index);
  }
  auto item = std::make_unique<Item>();
  item->str = s;
  item->object = object;
  items_.insert(items_.begin() + index, std::move(item));
  Notify(TChange::Inserted, index);
  return index;
}

int TItemStrings::AddObject(const std::string& s, std::intptr_t object) {
  return InsertItem(GetCount(), s, object);
}

void TItemStrings::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
  Notify(TChange::Reordered, -1);
}

void TItemStrings::SetSorted(bool value) {
  if (sorted_ == value) return;
  sorted_ = value;
  if (value) {
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const auto& a, const auto& b) { return CompareStrings(a->str, b->str) < 0; });
    Notify(TChange::Reordered, -1);
  }
}

int TItemStrings::FindPrefix(const std::string& prefix, int start) const {
  const int n = GetCount();
  if (n == 0) return -1;
  for (int k = 1; k <= n; ++k) {
    int i = ((start < 0 ? -1 : start) + k) % n;
    const std::string& s = items_[static_cast<std::size_t>(i)]->str;
    if (s.size() >= prefix.size() && CompareStrings(s.substr(0, prefix.size()), prefix) == 0) return i;
  }
  return -1;
}

void TItemStrings::ReplaceWith(const TStrings* source) {
  if (source == this) return;
  BeginUpdate();
  Clear();
  if (source != nullptr)
    for (int i = 0; i < source->Count(); ++i) AddObject(source->Get(i), source->GetObject(i));
  EndUpdate();
}

int TItemStrings::InsertClamped(int index, const std::string& s) {
  if (index < 0 || index > GetCount()) index = GetCount();
  return InsertItem(index, s, 0);
}

int TItemStrings::FirstSelected() const {
  for (int i = 0; i < GetCount(); ++i)
    if (items_[static_cast<std::size_t>(i)]->selected) return i;
  return -1;
}

void TItemStrings::MeasureHeight(int index, int height, const TMeasure& measure) {
  measure(index, height);
  SetItemHeightOf(index, height);
}

void TItemStrings::MeasureHeights(int height, const TMeasure& measure) {
  for (int i = 0; i < GetCount(); ++i) MeasureHeight(i, height, measure);
}

void TItemStrings::FollowChange(TChange change, int index, int& at) {
  if (change == TChange::Inserted) {
    if (at >= index && at >= 0) ++at;
  } else if (change == TChange::Deleted) {
    if (at == index) at = -1;
    else if (at > index) --at;
  }
}

int TItemStrings::FindTyped(std::string& typed, unsigned& typedTime, unsigned now, char ch, int current) const {
  if (now - typedTime > 1000) typed.clear();
  typedTime = now;
  typed += ch;
  int found = FindPrefix(typed, typed.size() == 1 ? current : current - 1);
  if (found < 0 && typed.size() > 1) {
    typed = std::string(1, ch);
    found = FindPrefix(typed, current);
  }
  return found;
}

bool TItemStrings::Selected(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)]->selected;
}

void TItemStrings::SetSelectedFlag(int index, bool value) {
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)]->selected = value;
}

int TItemStrings::ItemHeightOf(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)]->height;
}

void TItemStrings::SetItemHeightOf(int index, int height) {
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)]->height = height;
}

void TItemStrings::Notify(TChange change, int index) {
  if (UpdateCount() > 0) {
    // Inserts and deletes still move the selection at once; the rest waits for the batch end.
    if (change == TChange::Inserted || change == TChange::Deleted) {
      if (handler_) handler_(change, index);
    }
    changedWhileUpdating_ = true;
    return;
  }
  if (handler_) handler_(change, index);
}

void TItemStrings::SetUpdateState(bool updating) {
  if (!updating && changedWhileUpdating_) {
    changedWhileUpdating_ = false;
    if (handler_) handler_(TChange::Reordered, -1);
  }
}

}  // namespace tw
