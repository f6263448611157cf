#include "dbaccess/handles.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "dbaccess/errortext.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/win1252.h"

namespace tw::dbaccess {

namespace {
struct HandleRegistry {
  std::unordered_map<hDBIObj, TBapiListItem*> Live;
  hDBIObj Next = 0;
  // The handle found last: the calls of one operation name the same cursor again and again.
  hDBIObj LastHandle = 0;
  TBapiListItem* LastItem = nullptr;
  hDBIObj Add(TBapiListItem* Item) {
    do {
      ++Next;
    } while (Next == 0 || Live.count(Next));
    Live[Next] = Item;
    return Next;
  }
};
HandleRegistry& Registry() {
  static HandleRegistry R;
  return R;
}
}  // namespace

TBapiListItem::TBapiListItem(TTitanCollection* Owner, TBapiListItem* Parent)
    : FHandle(Registry().Add(this)), FParent(Parent), FOwner(Owner) {
  if (Owner) Owner->Insert(this);
}

TBapiListItem::~TBapiListItem() {
  if (FOwner) FOwner->Delete(this);
  HandleRegistry& r = Registry();
  if (r.LastHandle == FHandle) {
    r.LastHandle = 0;
    r.LastItem = nullptr;
  }
  r.Live.erase(FHandle);
}

TBapiListItem* TBapiListItem::FromHandle(hDBIObj H) {
  if (H == 0) return nullptr;
  HandleRegistry& r = Registry();
  if (H == r.LastHandle) return r.LastItem;
  auto it = r.Live.find(H);
  if (it == r.Live.end()) return nullptr;
  r.LastHandle = H;
  r.LastItem = it->second;
  return it->second;
}

void TBapiListItem::AttachOwner(TTitanCollection* Owner) {
  if (FOwner) FOwner->Delete(this);
  FOwner = Owner;
  if (Owner) Owner->Insert(this);
}

int TBapiListItem::IndexInOwner() const { return FOwner ? FOwner->IndexOf(this) : 0; }

DBIResult TBapiListItem::GetProp(std::uint32_t, void*, std::uint16_t, std::uint16_t&) {
  return SetResult(DBIERR_NOTSUPPORTED);
}
DBIResult TBapiListItem::SetProp(std::uint32_t, std::uintptr_t) { return SetResult(DBIERR_NONE); }

DBIResult TBapiListItem::NotSupported() { return SetResult(DBIERR_NOTSUPPORTED); }

DBIResult TBapiListItem::ReportNotSupported(const char* CallWord) {
  if (CallWord && *CallWord) ShowEngineMessage(ClientString(csNotSupportedFormat), CallWord);
  return SetResult(DBIERR_NOTSUPPORTED);
}

DBIResult TBapiListItem::ReportQueryNotSupported(const char* CallWord) {
  if (CallWord && *CallWord) ShowEngineMessage(ClientString(csQueryNotSupportedFormat), CallWord);
  return DBIERR_NOTSUPPORTED;
}

// ---- TTitanCollection ---------------------------------------------------------------------

TTitanCollection::~TTitanCollection() { FreeAll(); }

void TTitanCollection::Error() { throw EListError(ClientString(csListError)); }

void TTitanCollection::FreeItem(TObject* Item) { delete Item; }

int TTitanCollection::IndexOf(const TObject* Item) const {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TTitanCollection::Insert(TObject* Item) { FItems.push_back(Item); }

TObject* TTitanCollection::At(int Index) const {
  return Index >= 0 && Index < Count() ? FItems[static_cast<std::size_t>(Index)] : nullptr;
}

TObject* TTitanCollection::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<std::size_t>(Index)];
}

void TTitanCollection::AtInsert(int Index, TObject* Item) {
  if (Index < 0 || Index > Count()) Error();
  FItems.insert(FItems.begin() + Index, Item);
}

void TTitanCollection::AtPut(int Index, TObject* Item) {
  if (Index < 0 || Index >= Count()) Error();
  FItems[static_cast<std::size_t>(Index)] = Item;
}

void TTitanCollection::AtDelete(int Index) {
  if (Index < 0 || Index >= Count()) Error();
  FItems.erase(FItems.begin() + Index);
}

void TTitanCollection::Delete(TObject* Item) {
  int i = IndexOf(Item);
  if (i >= 0) FItems.erase(FItems.begin() + i);
}

void TTitanCollection::FreeAll() {
  // Each item removes itself from the list when freed; the list never holds a freed item.
  while (!FItems.empty()) {
    TObject* item = FItems.back();
    FreeItem(item);
    if (!FItems.empty() && FItems.back() == item) FItems.pop_back();
  }
}

// ---- TSortedCollection --------------------------------------------------------------------

bool TSortedCollection::Search(const void* Key, int& Index) const {
  int low = 0;
  int high = Count() - 1;
  bool found = false;
  while (low <= high) {
    int middle = (low + high) / 2;
    int c = Compare(KeyOf(FItems[static_cast<std::size_t>(middle)]), Key);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) {
        found = true;
        if (!Duplicates) low = middle;
      }
    }
  }
  Index = low;
  return found;
}

void TSortedCollection::Insert(TObject* Item) {
  int index = 0;
  if (!Search(KeyOf(Item), index) || Duplicates) AtInsert(index, Item);
}

// ---- Routines -----------------------------------------------------------------------------

int CompareBytes(const void* A, const void* B, std::size_t Length) {
  if (Length == 0) return 0;
  int c = std::memcmp(A, B, Length);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string AppendChar(const std::string& S, char C) {
  if (S.size() >= 255) return S;
  return S + C;
}

std::string WithTrailingBackslash(const std::string& S) {
  if (!S.empty() && (S.back() == '\\' || S.back() == '/')) return S;
  return S + '\\';
}

bool AllZero(const void* Block, std::uint16_t Length) {
  const auto* p = static_cast<const std::uint8_t*>(Block);
  return std::all_of(p, p + Length, [](std::uint8_t b) { return b == 0; });
}

std::string StripChar(const std::string& S, char C) {
  std::string r;
  for (char ch : S)
    if (ch != C) r += ch;
  return r;
}

bool IsPathName(const std::string& Text, bool AllowDot) {
  return Text.find(':') != std::string::npos || Text.find('\\') != std::string::npos ||
         Text.find('/') != std::string::npos ||
         (AllowDot && Text.find('.') != std::string::npos);
}

std::string CutAt(const std::string& Text, char C) {
  auto p = Text.find(C);
  return p == std::string::npos ? Text : Text.substr(0, p);
}

void CopyText(char* Dest, const std::string& Text, std::size_t MaxLen) {
  std::size_t n = std::min(MaxLen, Text.size());
  std::memcpy(Dest, Text.data(), n);
  Dest[n] = 0;
}

bool SameTextAnsi(const std::string& A, const std::string& B) {
  return AnsiSameText(A, B);
}

}  // namespace tw::dbaccess
