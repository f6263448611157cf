#include "dbengine/base/shortstring.h"

#include "dbengine/base/mempool.h"

namespace tw::dbengine {

bool QNShStrConcat(ShortString& S, std::string_view T) { return S.Append(T); }

bool QNShStrAddChar(ShortString& S, char C) { return S.AddChar(C); }

ShortString QNShStrUpper(std::string_view S) {
  ShortString r(S);
  char* p = r.Chars();
  for (std::size_t i = 0; i < r.Length(); ++i)
    if (p[i] >= 'a' && p[i] <= 'z') p[i] = static_cast<char>(p[i] - 'a' + 'A');
  return r;
}

void QNShStrSplit(std::string_view S, std::string_view Delims, ShortString& First, ShortString& Rest) {
  const std::size_t pos = S.find_first_of(Delims);
  if (Delims.empty() || pos == std::string_view::npos) {
    First = ShortString(S);
    Rest = ShortString();
    return;
  }
  // Rest first: S may view into First.
  ShortString rest(S.substr(pos + 1));
  First = ShortString(S.substr(0, pos));
  Rest = rest;
}

void QNPCharToShortStrMax(const char* P, std::size_t MaxLen, ShortString& S) {
  if (P == nullptr) {
    S = ShortString();
    return;
  }
  MaxLen = std::min<std::size_t>(MaxLen, 255);
  std::size_t n = 0;
  while (n < MaxLen && P[n] != '\0') ++n;
  S = ShortString(std::string_view(P, n));
}

void QNPCharToShortStr(const char* P, ShortString& S) { QNPCharToShortStrMax(P, 255, S); }

char* QNShortStrToPChar(char* Dest, std::string_view S) {
  if (Dest == nullptr) return nullptr;
  if (!S.empty()) std::memcpy(Dest, S.data(), S.size());
  Dest[S.size()] = '\0';
  return Dest;
}

namespace {
// The shared empty heap short string: a zero length byte and the terminating zero.
const std::uint8_t kEmptyShStr[2] = {0, 0};
}  // namespace

const std::uint8_t* QNShStrAlloc(std::string_view S) {
  if (S.empty()) return kEmptyShStr;
  const std::size_t n = std::min<std::size_t>(S.size(), 255);
  auto* p = static_cast<std::uint8_t*>(PoolGetMem(static_cast<int>(n + 2)));
  p[0] = static_cast<std::uint8_t>(n);
  std::memcpy(p + 1, S.data(), n);
  p[n + 1] = 0;
  return p;
}

void QNShStrFree(const std::uint8_t*& P) {
  if (P != nullptr && P != kEmptyShStr) {
    void* v = const_cast<std::uint8_t*>(P);
    PoolFreeMem(v, P[0] + 2);
  }
  P = nullptr;
}

bool QNShStrIsSharedEmpty(const std::uint8_t* P) { return P == kEmptyShStr; }

}  // namespace tw::dbengine
