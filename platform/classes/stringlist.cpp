#include "platform/classes/stringlist.h"
#include "platform/classes/classesconst.h"

#include <algorithm>
#include <numeric>

#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {

constexpr const char* kIndexError = classesconst::SListIndexError;
constexpr const char* kSortedListError = classesconst::SSortedListError;
constexpr const char* kDuplicateString = classesconst::SDuplicateString;

// A line of CommaText needs quotes when it holds a control character, a blank, '"' or ','.
bool NeedsQuotes(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u <= ' ' || c == '"' || c == ',';
  });
}

bool IsBlank(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= ' ';
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TStrings

void TStrings::Error(const char* msg, int data) { throw EStringListError(Format(msg, {data})); }

void TStrings::Put(int index, const std::string& s) {
  std::intptr_t object = GetObject(index);
  Delete(index);
  InsertObject(index, s, object);
}

void TStrings::InsertObject(int index, const std::string& s, std::intptr_t object) {
  Insert(index, s);
  PutObject(index, object);
}

std::intptr_t TStrings::GetObject(int) const { return 0; }
void TStrings::PutObject(int, std::intptr_t) {}

int TStrings::Add(const std::string& s) {
  int index = Count();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const std::string& s, std::intptr_t object) {
  const int before = Count();
  int index = Add(s);
  if (Count() > before) PutObject(index, object);
  return index;
}

void TStrings::AddStrings(const TStrings& strings) {
  BeginUpdate();
  try {
    for (int i = 0; i < strings.Count(); ++i) AddObject(strings.Get(i), strings.GetObject(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Exchange(int index1, int index2) {
  BeginUpdate();
  try {
    std::string s1 = Get(index1);
    std::intptr_t o1 = GetObject(index1);
    Put(index1, Get(index2));
    PutObject(index1, GetObject(index2));
    Put(index2, s1);
    PutObject(index2, o1);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  if (newIndex < 0 || newIndex >= Count()) Error(kIndexError, newIndex);
  BeginUpdate();
  try {
    std::string s = Get(curIndex);
    std::intptr_t o = GetObject(curIndex);
    Delete(curIndex);
    InsertObject(newIndex, s, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TStrings::CompareStrings(const std::string& s1, const std::string& s2) const { return AnsiCompareText(s1, s2); }

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfObject(std::intptr_t object) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string s = Get(i);
    std::size_t p = s.find('=');
    if (p != std::string::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

std::string TStrings::Names(int index) const {
  std::string s = Get(index);
  std::size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::Values(const std::string& name) const {
  int i = IndexOfName(name);
  if (i < 0) return {};
  std::string s = Get(i);
  return s.substr(s.find('=') + 1);
}

void TStrings::SetValues(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  if (i < 0) {
    Add(name + "=" + value);
    return;
  }
  const auto* list = dynamic_cast<const TStringList*>(this);
  if (list != nullptr && list->Sorted()) {
    // A sorted list refuses Put; the changed line may also belong elsewhere.
    BeginUpdate();
    try {
      std::intptr_t object = GetObject(i);
      Delete(i);
      AddObject(name + "=" + value, object);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  Put(i, name + "=" + value);
}

std::string TStrings::Text() const {
  std::string text;
  for (int i = 0; i < Count(); ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(const std::string& text) {
  BeginUpdate();
  try {
    Clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = text.find_first_of("\r\n", pos);
      if (end == std::string::npos) {
        Add(text.substr(pos));
        break;
      }
      Add(text.substr(pos, end - pos));
      pos = end + 1;
      if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStrings::CommaText() const {
  if (Count() == 1 && Get(0).empty()) return "\"\"";
  std::string text;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) text += ',';
    std::string s = Get(i);
    if (NeedsQuotes(s)) {
      text += '"';
      for (char c : s) {
        if (c == '"') text += '"';
        text += c;
      }
      text += '"';
    } else {
      text += s;
    }
  }
  return text;
}

void TStrings::SetCommaText(const std::string& text) {
  BeginUpdate();
  try {
    Clear();
    std::size_t p = 0;
    // A NUL ends the text, as it does for the class library's character pointers.
    const std::size_t end = std::min(text.size(), text.find('\0'));
    while (p < end && IsBlank(text[p])) ++p;
    while (p < end) {
      std::string s;
      if (text[p] == '"') {
        ++p;
        while (p < end) {
          if (text[p] == '"') {
            if (p + 1 < end && text[p + 1] == '"') {
              s += '"';
              p += 2;
              continue;
            }
            ++p;
            break;
          }
          s += text[p++];
        }
      } else {
        std::size_t start = p;
        while (p < end && static_cast<unsigned char>(text[p]) > ' ' && text[p] != ',') ++p;
        s = text.substr(start, p - start);
      }
      Add(s);
      while (p < end && IsBlank(text[p])) ++p;
      // Text directly after a closing quote, without a comma, starts the next line.
      if (p < end && text[p] == ',') {
        do ++p;
        while (p < end && IsBlank(text[p]));
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TStrings::SaveToFile(const std::string& fileName) const {
  // Through memory and a temporary file, so that a failed save leaves the old file whole.
  TMemoryStream stream;
  SaveToStream(stream);
  AtomicWriteFile(fileName, stream.Bytes());
}

void TStrings::LoadFromStream(TStream& stream) {
  std::string bytes;
  char buffer[8192];
  for (;;) {
    std::int64_t n = stream.Read(buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  SetText(bytes);
}

void TStrings::SaveToStream(TStream& stream) const { stream.WriteBuffer(Text()); }

void TStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  --updateCount_;
  if (updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

void TStrings::Assign(const TPersistent* source) {
  if (const auto* strings = dynamic_cast<const TStrings*>(source)) {
    if (strings == this) return;
    BeginUpdate();
    try {
      Clear();
      AddStrings(*strings);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

// ---------------------------------------------------------------------------------------------
// TStringList

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) Error(kIndexError, index);
}

std::string TStringList::Get(int index) const { return StringRef(index); }

const std::string& TStringList::StringRef(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)]->str;
}

void TStringList::Put(int index, const std::string& s) {
  if (sorted_) Error(kSortedListError, 0);
  CheckIndex(index);
  Changing();
  items_[static_cast<std::size_t>(index)]->str = s;
  Changed();
}

std::intptr_t TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)]->object;
}

void TStringList::PutObject(int index, std::intptr_t object) {
  CheckIndex(index);
  Changing();
  items_[static_cast<std::size_t>(index)]->object = object;
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::InsertItem(int index, const std::string& s, std::intptr_t object) {
  Changing();
  items_.insert(items_.begin() + index, std::make_unique<Item>(Item{s, object}));
  Changed();
}

void TStringList::InsertObject(int index, const std::string& s, std::intptr_t object) {
  if (sorted_) Error(kSortedListError, 0);
  if (index < 0 || index > Count()) Error(kIndexError, index);
  InsertItem(index, s, object);
}

int TStringList::Add(const std::string& s) { return AddObject(s, 0); }

int TStringList::AddObject(const std::string& s, std::intptr_t object) {
  int index;
  if (!sorted_) {
    index = Count();
  } else if (Find(s, index)) {
    switch (duplicates_) {
      case dupIgnore:
        return index;
      case dupError:
        Error(kDuplicateString, 0);
      case dupAccept:
        break;
    }
  }
  InsertItem(index, s, object);
  return index;
}

void TStringList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
  Changed();
}

bool TStringList::Find(const std::string& s, int& index) const {
  // The first position whose line is not below s.
  int lo = 0;
  int hi = Count();
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (CompareStrings(items_[static_cast<std::size_t>(mid)]->str, s) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  index = lo;
  return lo < Count() && CompareStrings(items_[static_cast<std::size_t>(lo)]->str, s) == 0;
}

int TStringList::IndexOf(const std::string& s) const {
  if (sorted_) {
    int index;
    return Find(s, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i) {
    const std::string& item = items_[static_cast<std::size_t>(i)]->str;
    if (item == s || CompareStrings(item, s) == 0) return i;
  }
  return -1;
}

void TStringList::Sort() {
  if (sorted_ || Count() < 2) return;
  Changing();
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const ItemPtr& a, const ItemPtr& b) { return CompareStrings(a->str, b->str) < 0; });
  Changed();
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  if (sorted_ || Count() < 2 || !compare) return;
  // The compare routine looks at lines by index, so sort a permutation and apply it after.
  std::vector<int> order(items_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
  std::vector<ItemPtr> sorted;
  sorted.reserve(items_.size());
  for (int i : order) sorted.push_back(std::move(items_[static_cast<std::size_t>(i)]));
  Changing();
  items_ = std::move(sorted);
  Changed();
}

void TStringList::SetSorted(bool value) {
  if (sorted_ == value) return;
  if (value) Sort();
  sorted_ = value;
}

void TStringList::SetCaseSensitive(bool value) {
  if (caseSensitive_ == value) return;
  caseSensitive_ = value;
  if (sorted_) {
    sorted_ = false;
    Sort();
    sorted_ = true;
  }
}

int TStringList::CompareStrings(const std::string& s1, const std::string& s2) const {
  return caseSensitive_ ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating)
    Changing();
  else
    Changed();
}

}  // namespace tw
