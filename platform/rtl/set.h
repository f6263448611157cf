// Set of a small enumeration (at most 64 members), the counterpart of the class library's
// `set of` types: style sets, component states, shift states.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace tw {

template <typename E>
class Set {
 public:
  constexpr Set() = default;
  constexpr Set(std::initializer_list<E> members) {
    for (E m : members) bits_ |= Bit(m);
  }
  static constexpr Set FromBits(std::uint64_t bits) { Set s; s.bits_ = bits; return s; }

  constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
  constexpr Set& Include(E m) { bits_ |= Bit(m); return *this; }
  constexpr Set& Exclude(E m) { bits_ &= ~Bit(m); return *this; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr std::uint64_t Bits() const { return bits_; }

  friend constexpr Set operator+(Set a, Set b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr Set operator-(Set a, Set b) { return FromBits(a.bits_ & ~b.bits_); }
  friend constexpr Set operator*(Set a, Set b) { return FromBits(a.bits_ & b.bits_); }
  friend constexpr bool operator==(Set a, Set b) { return a.bits_ == b.bits_; }
  // Subset test, as the class library's `<=` on sets.
  friend constexpr bool operator<=(Set a, Set b) { return (a.bits_ & ~b.bits_) == 0; }

 private:
  static constexpr std::uint64_t Bit(E m) { return std::uint64_t{1} << static_cast<unsigned>(m); }
  std::uint64_t bits_ = 0;
};

}  // namespace tw
