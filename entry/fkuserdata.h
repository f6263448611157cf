// The user-defined character sets of the picture masks (mask characters "1" to "8") with their
// forced case, and the substitution characters shown for the literal codes 241 to 248.
#pragma once

#include <bitset>
#include <cstdint>

namespace tw::entry {

class TFkUserData {
 public:
  TFkUserData();
  // 0 none, 1 upper, 2 lower, 3 mixed (upper after a blank or "-"); 0 for other characters.
  std::uint8_t ForcedCaseOf(char ch) const;
  // The character shown for a literal of code 241..248; 0 outside that range.
  char SubstitutionOf(char ch) const;
  // The set of "1".."8"; an empty set for other characters.
  const std::bitset<256>& CharSetOf(char ch) const;

  std::bitset<256> UserCharSet[8];
  std::uint8_t ForceCase[8] = {};
  char SubstChars[8];
};

TFkUserData& DefaultUserData();
void InitFkUserData();

}  // namespace tw::entry
