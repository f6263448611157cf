// Short strings of the database engine: a length byte followed by at most Capacity characters
// (Windows-1252 bytes).  They are what table files, the dictionary stream and request payloads
// hold: a name is a 32-byte short string (31 characters), a folder path 220 bytes (219), a full
// path 256 bytes (255).  Every routine here caps at the capacity instead of overrunning it.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tw::dbengine {

template <std::size_t Capacity>
class TShortStr {
  static_assert(Capacity >= 1 && Capacity <= 255, "a short string holds 1 to 255 characters");

 public:
  static constexpr std::size_t kCapacity = Capacity;
  // Bytes of the stored image: the length byte and Capacity character bytes.
  static constexpr std::size_t kByteSize = Capacity + 1;

  constexpr TShortStr() = default;
  // Text longer than the capacity is cut.
  TShortStr(std::string_view s) { Assign(s); }  // NOLINT: implicit, as the class library's
  TShortStr(const char* s) : TShortStr(std::string_view(s ? s : "")) {}
  TShortStr(const std::string& s) : TShortStr(std::string_view(s)) {}

  // Assigns s, cut to the capacity; false when it had to be cut.
  bool Assign(std::string_view s) {
    const std::size_t n = std::min(s.size(), Capacity);
    if (n) std::memcpy(bytes_.data() + 1, s.data(), n);
    // The bytes after the text stay zero, so a stored image never carries stale text.
    std::memset(bytes_.data() + 1 + n, 0, Capacity - n);
    bytes_[0] = static_cast<std::uint8_t>(n);
    return n == s.size();
  }

  std::size_t Length() const { return bytes_[0]; }
  bool IsEmpty() const { return bytes_[0] == 0; }
  // Cuts or extends (with zero characters) to n, capped at the capacity.
  void SetLength(std::size_t n) {
    n = std::min(n, Capacity);
    if (n < Length()) std::memset(bytes_.data() + 1 + n, 0, Length() - n);
    bytes_[0] = static_cast<std::uint8_t>(n);
  }

  std::string_view View() const { return {reinterpret_cast<const char*>(bytes_.data() + 1), Length()}; }
  std::string Str() const { return std::string(View()); }
  operator std::string_view() const { return View(); }  // NOLINT

  // 0-based character access; outside the text gives 0.
  char operator[](std::size_t i) const { return i < Length() ? static_cast<char>(bytes_[1 + i]) : '\0'; }
  char* Chars() { return reinterpret_cast<char*>(bytes_.data() + 1); }

  // The length byte followed by the characters: the key of string list items.
  const std::uint8_t* Bytes() const { return bytes_.data(); }

  // Appends, cut at the capacity; false when something was cut off.
  bool Append(std::string_view s) {
    const std::size_t room = Capacity - Length();
    const std::size_t n = std::min(room, s.size());
    if (n) std::memcpy(bytes_.data() + 1 + Length(), s.data(), n);
    bytes_[0] = static_cast<std::uint8_t>(Length() + n);
    return n == s.size();
  }
  bool AddChar(char c) { return Append(std::string_view(&c, 1)); }

  // Writes the stored image: length byte, the characters, zero bytes up to kByteSize.
  void WriteTo(std::uint8_t* dest) const { std::memcpy(dest, bytes_.data(), kByteSize); }
  // Reads a stored image of `available` bytes (at most kByteSize are looked at).  A length byte
  // larger than the capacity or than the bytes present is cut to what is there.
  static TShortStr ReadFrom(const std::uint8_t* src, std::size_t available) {
    TShortStr s;
    if (available == 0 || src == nullptr) return s;
    std::size_t n = src[0];
    n = std::min({n, Capacity, available - 1});
    s.Assign(std::string_view(reinterpret_cast<const char*>(src + 1), n));
    return s;
  }

  template <std::size_t Other>
  bool operator==(const TShortStr<Other>& o) const { return View() == o.View(); }
  bool operator==(std::string_view o) const { return View() == o; }

 private:
  std::array<std::uint8_t, kByteSize> bytes_{};
};

using ShortString = TShortStr<255>;  // full paths and texts
using TqnName = TShortStr<31>;       // aliases, user ids, table, index and routine names
using TqnPath = TShortStr<219>;      // folder paths

constexpr std::size_t kQnMaxName = 31;
constexpr std::size_t kQnMaxPath = 219;
constexpr std::size_t kQnMaxFullPath = 255;

// ---- Short-string routines --------------------------------------------------------------

// Appends T to S, cut at 255 characters; false when something was cut off.
bool QNShStrConcat(ShortString& S, std::string_view T);
// Appends one character unless S is full; false when it was full.
bool QNShStrAddChar(ShortString& S, char C);
// S with the ASCII letters a to z made capitals; every other byte, accented letters included,
// unchanged.
ShortString QNShStrUpper(std::string_view S);
// Splits S at its first character that occurs in Delims; the delimiter is dropped.  Without a
// delimiter First is S and Rest is empty.
void QNShStrSplit(std::string_view S, std::string_view Delims, ShortString& First, ShortString& Rest);
// Copies zero-terminated text, at most 255 (or MaxLen, capped at 255) characters.  nullptr gives
// an empty string.
void QNPCharToShortStr(const char* P, ShortString& S);
void QNPCharToShortStrMax(const char* P, std::size_t MaxLen, ShortString& S);
// Copies the characters of S and a terminating zero into Dest (which must hold Length + 1
// bytes) and returns Dest; a nullptr Dest copies nothing and returns nullptr.
char* QNShortStrToPChar(char* Dest, std::string_view S);

// ---- Heap short strings -----------------------------------------------------------------
// A heap copy occupies its length byte, the characters and a terminating zero (length + 2
// bytes) from the engine's pools.  Every empty heap short string is one shared constant that is
// never freed.

const std::uint8_t* QNShStrAlloc(std::string_view S);
// Returns the copy to the pools unless it is nullptr or the shared empty constant; P becomes
// nullptr.
void QNShStrFree(const std::uint8_t*& P);
// The text of a heap short string (or of any length-prefixed bytes); nullptr gives empty.
inline std::string_view QNShStrView(const std::uint8_t* P) {
  return P ? std::string_view(reinterpret_cast<const char*>(P + 1), P[0]) : std::string_view();
}
// True for the shared empty constant.
bool QNShStrIsSharedEmpty(const std::uint8_t* P);

}  // namespace tw::dbengine
