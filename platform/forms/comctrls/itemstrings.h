// The item list of list boxes and combo boxes: lines with object slots, a selected flag and a
// height per item, kept sorted on demand, telling their control about every change so that
// the selection, the scroll range and the painting follow.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/stringlist.h"

namespace tw {

class TItemStrings : public TStrings {
  TW_CLASS(TItemStrings, TStrings)

 public:
  enum class TChange { Inserted, Deleted, Cleared, Changed, Reordered };
  // Told after every change: the kind and the item concerned (-1 for the whole list).
  using TChangeHandler = std::function<void(TChange change, int index)>;

  TItemStrings() = default;
  explicit TItemStrings(TChangeHandler handler) : handler_(std::move(handler)) {}

  int GetCount() const override { return static_cast<int>(items_.size()); }
  std::string Get(int index) const override;
  const std::string& StringRef(int index) const;
  // Copies line `index` with its terminating zero to the caller's buffer (when given) and
  // returns its length: the text messages of list and combo boxes.
  std::size_t CopyText(int index, char* buffer) const;
  void Put(int index, const std::string& s) override;
  std::intptr_t GetObject(int index) const override;
  void PutObject(int index, std::intptr_t object) override;
  void Clear() override;
  void Delete(int index) override;
  void Insert(int index, const std::string& s) override { InsertObject(index, s, 0); }
  // In a sorted list the index is ignored and the line goes to its sorted place.
  void InsertObject(int index, const std::string& s, std::intptr_t object) override;
  int Add(const std::string& s) override { return AddObject(s, 0); }
  int AddObject(const std::string& s, std::intptr_t object) override;
  void Exchange(int index1, int index2) override;

  bool Sorted() const { return sorted_; }
  // Switching sorting on sorts the lines (stable: equal lines keep their order and every line
  // keeps its object and selection).
  void SetSorted(bool value);
  // Index of the first line starting with `prefix` (case-insensitive) after `start`, wrapping;
  // -1 when none.
  int FindPrefix(const std::string& prefix, int start) const;

  bool Selected(int index) const;
  void SetSelectedFlag(int index, bool value);
  int ItemHeightOf(int index) const;
  void SetItemHeightOf(int index, int height);

  void SetChangeHandler(TChangeHandler handler) { handler_ = std::move(handler); }

  // Replaces all lines with those of `source` (lines and objects) in one update; a list given
  // itself is left as it is, since clearing it first would lose the lines.
  void ReplaceWith(const TStrings* source);
  // Inserts `s` at `index`, or at the end when `index` is outside 0..Count; a sorted list puts
  // it at its sorted place instead. Returns the index where the line landed.
  int InsertClamped(int index, const std::string& s);
  // Index of the first line with the selected flag; -1 when none.
  int FirstSelected() const;
  // Asks `measure` for the height of line `index` (or of every line), starting from `height`,
  // and keeps the answer as the line's height.
  using TMeasure = std::function<void(int index, int& height)>;
  void MeasureHeight(int index, int height, const TMeasure& measure);
  void MeasureHeights(int height, const TMeasure& measure);
  // Keeps a remembered line index `at` on its line across the insertion or deletion of line
  // `index`; a deleted line gives -1. Other changes leave it alone.
  static void FollowChange(TChange change, int index, int& at);
  // Incremental search by typed letters: `ch` is added to `typed` (started afresh when more than
  // a second passed since `typedTime`), then the next line after `current` starting with the
  // letters is looked for; without one the search starts again from `ch` alone. -1 when none.
  int FindTyped(std::string& typed, unsigned& typedTime, unsigned now, char ch, int current) const;

 protected:
  void SetUpdateState(bool updating) override;

 private:
  struct Item {
    std::string str;
    std::intptr_t object = 0;
    bool selected = false;
    int height = 0;
  };
  void CheckIndex(int index) const;
  // Inserts at `index` (at the sorted place in a sorted list); returns where the line went.
  int InsertItem(int index, const std::string& s, std::intptr_t object);
  void Notify(TChange change, int index);
  int SortedPlace(const std::string& s) const;

  std::vector<std::unique_ptr<Item>> items_;
  bool sorted_ = false;
  bool changedWhileUpdating_ = false;
  TChangeHandler handler_;
};

}  // namespace tw
