#include "entry/fkuserdata.h"

namespace tw::entry {

TFkUserData::TFkUserData() {
  for (int i = 0; i < 8; ++i) {
    UserCharSet[i].set();
    UserCharSet[i].reset(0);
    SubstChars[i] = static_cast<char>(241 + i);
  }
}

namespace {
int UserIndex(char ch) { return (ch >= '1' && ch <= '8') ? ch - '1' : -1; }
}  // namespace

std::uint8_t TFkUserData::ForcedCaseOf(char ch) const {
  int i = UserIndex(ch);
  return i < 0 ? 0 : ForceCase[i];
}

char TFkUserData::SubstitutionOf(char ch) const {
  auto c = static_cast<unsigned char>(ch);
  return (c >= 241 && c <= 248) ? SubstChars[c - 241] : '\0';
}

const std::bitset<256>& TFkUserData::CharSetOf(char ch) const {
  static const std::bitset<256> empty;
  int i = UserIndex(ch);
  return i < 0 ? empty : UserCharSet[i];
}

TFkUserData& DefaultUserData() {
  static TFkUserData data;
  return data;
}

void InitFkUserData() { (void)DefaultUserData(); }

}  // namespace tw::entry
