// Tables and comparison of the fixed text-key collation (see key_collation.h).
#include "dbengine/storage/key_collation.h"

#include <array>

#include "platform/rtl/win1252.h"

namespace tw::dbengine {

namespace {

enum Accent : std::uint8_t {
  aNone, aGrave, aAcute, aCircumflex, aTilde, aDiaeresis, aRing, aCedilla, aStroke, aCaron, aHook,
  aOrdinal, aLigature, aSharp, aEth, aSuperscript
};

struct Weights {
  std::array<std::uint32_t, 2> primary{};  // second weight 0 unless the character expands
  std::uint8_t accent = aNone;
  std::uint8_t upper = 0;
};

constexpr std::uint32_t kDigits = 1000;
constexpr std::uint32_t kLetters = 2000;
constexpr std::uint32_t kAfterAll = 0x10000;

std::uint32_t Letter(char c) { return kLetters + static_cast<std::uint32_t>(c - 'a') * 4; }

struct Table {
  std::array<Weights, 256> w{};
  Table() {
    // Controls, blank, punctuation and symbols: one weight each, in byte order.
    for (int b = 0; b < 256; ++b) w[b].primary = {static_cast<std::uint32_t>(b + 1), 0};
    for (int d = 0; d < 10; ++d) w['0' + d].primary = {kDigits + static_cast<std::uint32_t>(d), 0};
    auto digit = [this](int b, int d) { w[b] = {{kDigits + static_cast<std::uint32_t>(d), 0}, aSuperscript, 0}; };
    digit(0xB9, 1);
    digit(0xB2, 2);
    digit(0xB3, 3);
    auto letter = [this](int b, char base, Accent a, bool up) { w[b] = {{Letter(base), 0}, a, std::uint8_t(up)}; };
    for (int c = 'a'; c <= 'z'; ++c) {
      letter(c, static_cast<char>(c), aNone, false);
      letter(c - 32, static_cast<char>(c), aNone, true);
    }
    struct Row { int lower; char base; Accent accent; };
    static constexpr Row kRows[] = {
        {0xE0, 'a', aGrave}, {0xE1, 'a', aAcute}, {0xE2, 'a', aCircumflex}, {0xE3, 'a', aTilde},
        {0xE4, 'a', aDiaeresis}, {0xE5, 'a', aRing}, {0xE7, 'c', aCedilla}, {0xE8, 'e', aGrave},
        {0xE9, 'e', aAcute}, {0xEA, 'e', aCircumflex}, {0xEB, 'e', aDiaeresis}, {0xEC, 'i', aGrave},
        {0xED, 'i', aAcute}, {0xEE, 'i', aCircumflex}, {0xEF, 'i', aDiaeresis}, {0xF0, 'd', aEth},
        {0xF1, 'n', aTilde}, {0xF2, 'o', aGrave}, {0xF3, 'o', aAcute}, {0xF4, 'o', aCircumflex},
        {0xF5, 'o', aTilde}, {0xF6, 'o', aDiaeresis}, {0xF8, 'o', aStroke}, {0xF9, 'u', aGrave},
        {0xFA, 'u', aAcute}, {0xFB, 'u', aCircumflex}, {0xFC, 'u', aDiaeresis}, {0xFD, 'y', aAcute},
    };
    for (const Row& r : kRows) {
      letter(r.lower, r.base, r.accent, false);
      letter(r.lower - 32, r.base, r.accent, true);
    }
    letter(0xFF, 'y', aDiaeresis, false);
    letter(0x9F, 'y', aDiaeresis, true);
    letter(0x9A, 's', aCaron, false);
    letter(0x8A, 's', aCaron, true);
    letter(0x9E, 'z', aCaron, false);
    letter(0x8E, 'z', aCaron, true);
    letter(0x83, 'f', aHook, false);
    letter(0xAA, 'a', aOrdinal, false);
    letter(0xBA, 'o', aOrdinal, false);
    auto pair = [this](int b, char first, char second, Accent a, bool up) {
      w[b] = {{Letter(first), Letter(second)}, a, std::uint8_t(up)};
    };
    pair(0xE6, 'a', 'e', aLigature, false);
    pair(0xC6, 'a', 'e', aLigature, true);
    pair(0x9C, 'o', 'e', aLigature, false);
    pair(0x8C, 'o', 'e', aLigature, true);
    pair(0xDF, 's', 's', aSharp, false);
    w[0xFE] = {{Letter('z') + 1, 0}, aNone, 0};
    w[0xDE] = {{Letter('z') + 1, 0}, aNone, 1};
    w[0xB5] = {{Letter('z') + 2, 0}, aNone, 0};
  }
};

const Table& T() {
  static const Table table;
  return table;
}

// A character source over 8-bit or 16-bit text.
struct Narrow {
  std::string_view s;
  std::size_t size() const { return s.size(); }
  Weights at(std::size_t i) const { return T().w[static_cast<unsigned char>(s[i])]; }
};

struct Wide {
  const std::uint16_t* s;
  std::size_t n;
  std::size_t size() const { return n; }
  Weights at(std::size_t i) const {
    const int b = CodePointToWin1252(s[i]);
    if (b >= 0) return T().w[static_cast<std::size_t>(b)];
    return {{kAfterAll + s[i], 0}, aNone, 0};
  }
};

// Walks the primary weights of a text, expansions included.
template <typename S>
struct PrimaryCursor {
  const S& src;
  std::size_t i = 0;
  int half = 0;
  bool Next(std::uint32_t& out) {
    while (i < src.size()) {
      const Weights w = src.at(i);
      if (half == 0) {
        out = w.primary[0];
        if (w.primary[1] != 0)
          half = 1;
        else
          ++i;
        return true;
      }
      out = w.primary[1];
      half = 0;
      ++i;
      return true;
    }
    return false;
  }
};

int Sign(std::int64_t v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

template <typename S>
int Collate(const S& a, const S& b, bool caseInsensitive) {
  PrimaryCursor<S> ca{a};
  PrimaryCursor<S> cb{b};
  for (;;) {
    std::uint32_t wa = 0;
    std::uint32_t wb = 0;
    const bool ha = ca.Next(wa);
    const bool hb = cb.Next(wb);
    if (!ha || !hb) {
      if (ha != hb) return ha ? 1 : -1;
      break;
    }
    if (wa != wb) return wa < wb ? -1 : 1;
  }
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int r = Sign(std::int64_t(a.at(i).accent) - b.at(i).accent);
    if (r != 0) return r;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  if (caseInsensitive) return 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int r = Sign(std::int64_t(a.at(i).upper) - b.at(i).upper);
    if (r != 0) return r;
  }
  return 0;
}

}  // namespace

int QNCollateText(std::string_view A, std::string_view B, bool CaseInsensitive) {
  return Collate(Narrow{A}, Narrow{B}, CaseInsensitive);
}

int QNCollateWide(const std::uint16_t* A, std::size_t LenA, const std::uint16_t* B, std::size_t LenB,
                  bool CaseInsensitive) {
  return Collate(Wide{A, LenA}, Wide{B, LenB}, CaseInsensitive);
}

}  // namespace tw::dbengine
