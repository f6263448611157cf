// Windows-1252 tables: Unicode code points, case partners, character classes and the
// collation keys of the linguistic comparison.
#include "platform/rtl/win1252.h"

#include <array>
#include <algorithm>
#include <cstdint>

namespace tw {
namespace {

using Byte = unsigned char;

// Code points of 0x80..0x9F; the five unassigned bytes keep their C1 control value.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

enum ClassBits : std::uint8_t { kAlpha = 1, kUpper = 2, kLower = 4, kDigit = 8, kSpace = 16 };

// Accent classes used as the secondary weight of letters.
enum Accent : std::uint8_t {
  kNone = 0, kGrave, kAcute, kCircumflex, kTilde, kDiaeresis, kRing, kCedilla, kStroke,
  kCaron, kHook, kOrdinal, kLigature, kSharp, kEth
};

struct Tables {
  std::array<char32_t, 256> toUnicode{};
  std::array<Byte, 256> upper{};
  std::array<Byte, 256> lower{};
  std::array<std::uint8_t, 256> classes{};
  // Collation: up to two primary weights per byte (ligatures expand), one accent.
  std::array<std::array<std::uint16_t, 2>, 256> primary{};
  std::array<std::uint8_t, 256> accent{};

  Tables() {
    for (int b = 0; b < 256; ++b) {
      toUnicode[b] = (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : static_cast<char32_t>(b);
      upper[b] = lower[b] = static_cast<Byte>(b);
    }
    auto pair = [this](int up, int low) {
      upper[low] = static_cast<Byte>(up);
      lower[up] = static_cast<Byte>(low);
      classes[up] |= kAlpha | kUpper;
      classes[low] |= kAlpha | kLower;
    };
    for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c) {
      if (c != 0xD7) pair(c, c + 32);
    }
    pair(0x8A, 0x9A);  // Š š
    pair(0x8C, 0x9C);  // Œ œ
    pair(0x8E, 0x9E);  // Ž ž
    pair(0x9F, 0xFF);  // Ÿ ÿ
    for (int c : {0x83, 0xAA, 0xB5, 0xBA, 0xDF}) classes[c] |= kAlpha | kLower;  // ƒ ª µ º ß
    classes[0x88] |= kAlpha;  // modifier letter circumflex: a letter without case
    for (int c = '0'; c <= '9'; ++c) classes[c] |= kDigit;
    for (int c : {0x20, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0xA0}) classes[c] |= kSpace;
    BuildCollation();
  }

  void SetLetter(int byte, char base, Accent acc) {
    primary[byte] = {static_cast<std::uint16_t>(LetterWeight(base)), 0};
    accent[byte] = acc;
  }
  static int LetterWeight(char base) { return 1000 + (base - 'a') * 4; }

  void BuildCollation() {
    // Symbols first in byte order, then digits, then letters; letters by base letter.
    // Every byte starts with a weight of its own, so no two bytes ever compare equal.
    int next = 1;
    for (int b = 0; b < 256; ++b) primary[b] = {static_cast<std::uint16_t>(next++), 0};
    for (int d = 0; d < 10; ++d) primary['0' + d] = {static_cast<std::uint16_t>(900 + d), 0};
    // Superscript digits sort with their digits.
    primary[0xB9] = {901, 0}; accent[0xB9] = kHook;
    primary[0xB2] = {902, 0}; accent[0xB2] = kHook;
    primary[0xB3] = {903, 0}; accent[0xB3] = kHook;
    for (int c = 'a'; c <= 'z'; ++c) {
      SetLetter(c, static_cast<char>(c), kNone);
      SetLetter(c - 32, static_cast<char>(c), kNone);
    }
    struct Row { int lowByte; char base; Accent acc; };
    static constexpr Row kRows[] = {
        {0xE0, 'a', kGrave},     {0xE1, 'a', kAcute}, {0xE2, 'a', kCircumflex},
        {0xE3, 'a', kTilde},     {0xE4, 'a', kDiaeresis}, {0xE5, 'a', kRing},
        {0xE7, 'c', kCedilla},   {0xE8, 'e', kGrave}, {0xE9, 'e', kAcute},
        {0xEA, 'e', kCircumflex}, {0xEB, 'e', kDiaeresis}, {0xEC, 'i', kGrave},
        {0xED, 'i', kAcute},     {0xEE, 'i', kCircumflex}, {0xEF, 'i', kDiaeresis},
        {0xF0, 'd', kEth},       {0xF1, 'n', kTilde}, {0xF2, 'o', kGrave},
        {0xF3, 'o', kAcute},     {0xF4, 'o', kCircumflex}, {0xF5, 'o', kTilde},
        {0xF6, 'o', kDiaeresis}, {0xF8, 'o', kStroke}, {0xF9, 'u', kGrave},
        {0xFA, 'u', kAcute},     {0xFB, 'u', kCircumflex}, {0xFC, 'u', kDiaeresis},
        {0xFD, 'y', kAcute},     {0xFF, 'y', kDiaeresis}, {0x9A, 's', kCaron},
        {0x9E, 'z', kCaron},
    };
    for (const Row& r : kRows) {
      SetLetter(r.lowByte, r.base, r.acc);
      SetLetter(upper[r.lowByte], r.base, r.acc);
    }
    SetLetter(0x83, 'f', kHook);
    SetLetter(0xAA, 'a', kOrdinal);
    SetLetter(0xBA, 'o', kOrdinal);
    // Ligatures expand to two letters; þ and µ come after z.
    auto expand = [this](int byte, char first, char second, Accent acc) {
      primary[byte] = {static_cast<std::uint16_t>(LetterWeight(first)),
                       static_cast<std::uint16_t>(LetterWeight(second))};
      accent[byte] = acc;
    };
    expand(0xE6, 'a', 'e', kLigature);
    expand(0xC6, 'a', 'e', kLigature);
    expand(0x9C, 'o', 'e', kLigature);
    expand(0x8C, 'o', 'e', kLigature);
    expand(0xDF, 's', 's', kSharp);
    primary[0xFE] = primary[0xDE] = {static_cast<std::uint16_t>(LetterWeight('z') + 2), 0};
    accent[0xFE] = accent[0xDE] = kNone;
    primary[0xB5] = {static_cast<std::uint16_t>(LetterWeight('z') + 3), 0};
    accent[0xB5] = kNone;
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

inline Byte B(char c) { return static_cast<Byte>(c); }

// Walks the primary weights of a text; a ligature yields two.
class PrimaryWeights {
 public:
  explicit PrimaryWeights(std::string_view s) : s_(s) {}
  // The next weight, or 0 at the end.
  std::uint16_t Next() {
    const Tables& t = T();
    if (pending_ != 0) {
      std::uint16_t w = pending_;
      pending_ = 0;
      return w;
    }
    if (pos_ >= s_.size()) return 0;
    const auto& w = t.primary[B(s_[pos_++])];
    pending_ = w[1];
    return w[0];
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
  std::uint16_t pending_ = 0;
};

// Compares per-byte weights of a table: first difference, then the shorter text first.
template <typename Weight>
int CompareByteWeights(std::string_view a, std::string_view b, Weight weight) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int x = weight(B(a[i]));
    const int y = weight(B(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// Base letters first, then accents, then (when asked) case.
int Collate(std::string_view a, std::string_view b, bool withCase) {
  const Tables& t = T();
  PrimaryWeights pa(a), pb(b);
  for (;;) {
    const std::uint16_t x = pa.Next();
    const std::uint16_t y = pb.Next();
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) break;
  }
  if (int r = CompareByteWeights(a, b, [&t](Byte c) { return static_cast<int>(t.accent[c]); })) return r;
  if (withCase) {
    return CompareByteWeights(a, b, [&t](Byte c) { return (t.classes[c] & kUpper) ? 1 : 0; });
  }
  return 0;
}

inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

bool IsCharAlpha(char c) { return T().classes[B(c)] & kAlpha; }
bool IsCharAlphaNumeric(char c) { return T().classes[B(c)] & (kAlpha | kDigit); }
bool IsCharDigit(char c) { return T().classes[B(c)] & kDigit; }
bool IsCharUpper(char c) { return T().classes[B(c)] & kUpper; }
bool IsCharLower(char c) { return T().classes[B(c)] & kLower; }
bool IsCharSpace(char c) { return T().classes[B(c)] & kSpace; }

char CharUpper(char c) { return static_cast<char>(T().upper[B(c)]); }
char CharLower(char c) { return static_cast<char>(T().lower[B(c)]); }

void CharUpperBuff(char* buffer, std::size_t length) {
  const Tables& t = T();
  for (std::size_t i = 0; i < length; ++i) buffer[i] = static_cast<char>(t.upper[B(buffer[i])]);
}

void CharLowerBuff(char* buffer, std::size_t length) {
  const Tables& t = T();
  for (std::size_t i = 0; i < length; ++i) buffer[i] = static_cast<char>(t.lower[B(buffer[i])]);
}

std::string AnsiUpperCase(std::string_view s) {
  std::string r(s);
  CharUpperBuff(r.data(), r.size());
  return r;
}

std::string AnsiLowerCase(std::string_view s) {
  std::string r(s);
  CharLowerBuff(r.data(), r.size());
  return r;
}

int AnsiCompareStr(std::string_view a, std::string_view b) { return Collate(a, b, true); }
int AnsiCompareText(std::string_view a, std::string_view b) { return Collate(a, b, false); }
bool AnsiSameStr(std::string_view a, std::string_view b) { return a == b; }

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const Tables& t = T();
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (t.upper[B(a[i])] != t.upper[B(b[i])]) return false;
  }
  return true;
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = AsciiUpper(c);
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = AsciiLower(c);
  return r;
}

int CompareStr(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<int>(B(a[i])) - static_cast<int>(B(b[i]));
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

int CompareText(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    Byte x = B(AsciiUpper(a[i]));
    Byte y = B(AsciiUpper(b[i]));
    if (x != y) return static_cast<int>(x) - static_cast<int>(y);
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

char32_t Win1252ToCodePoint(char c) { return T().toUnicode[B(c)]; }

int CodePointToWin1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == cp) return 0x80 + i;
  }
  return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char32_t DecodeUtf8(std::string_view s, std::size_t& pos) {
  const Byte lead = B(s[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int extra;
  char32_t cp;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1; cp = lead & 0x1F; minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2; cp = lead & 0x0F; minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3; cp = lead & 0x07; minimum = 0x10000;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (pos + static_cast<std::size_t>(extra) >= s.size()) {
    ++pos;  // the sequence is cut off by the end of the text
    return 0xFFFD;
  }
  for (int i = 1; i <= extra; ++i) {
    Byte b = B(s[pos + static_cast<std::size_t>(i)]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += static_cast<std::size_t>(extra) + 1;
  return cp;
}

std::string Win1252ToUtf8(std::string_view s) {
  const Tables& t = T();
  std::string out;
  out.reserve(s.size() + s.size() / 4);
  for (char c : s) {
    if (B(c) < 0x80) {
      out.push_back(c);
    } else {
      AppendUtf8(out, t.toUnicode[B(c)]);
    }
  }
  return out;
}

std::string Utf8ToWin1252(std::string_view s, char replacement) {
  std::string out;
  out.reserve(s.size());
  std::size_t pos = 0;
  while (pos < s.size()) {
    char32_t cp = DecodeUtf8(s, pos);
    int b = CodePointToWin1252(cp);
    out.push_back(b < 0 ? replacement : static_cast<char>(b));
  }
  return out;
}

}  // namespace tw
