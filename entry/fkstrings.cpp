#include "entry/fkstrings.h"

#include <algorithm>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"
#include "platform/win/winapi.h"

namespace tw::entry {

std::string BitsToText(std::uint32_t l) {
  std::string s(32, '0');
  for (int i = 0; i < 32; ++i)
    if (l & (1u << (31 - i))) s[static_cast<std::size_t>(i)] = '1';
  return s;
}

namespace {
std::string Digits(std::uint32_t value, unsigned base, int count) {
  static const char* digits = "0123456789ABCDEF";
  std::string s(static_cast<std::size_t>(count), '0');
  for (int i = count - 1; i >= 0; --i) {
    s[static_cast<std::size_t>(i)] = digits[value % base];
    value /= base;
  }
  return s;
}
}  // namespace

std::string HexText32(std::uint32_t l) { return Digits(l, 16, 8); }
std::string HexText16(std::uint16_t w) { return Digits(w, 16, 4); }
std::string OctalText(std::uint32_t l) { return Digits(l, 8, 12); }
char LowerChar(char ch) { return CharLower(ch); }
char UpperChar(char ch) { return CharUpper(ch); }

void DeleteCharAt(std::string& p, std::size_t pos) {
  if (pos < p.size()) p.erase(pos, 1);
}
void InsertCharAt(std::string& p, char ch, std::size_t pos) { p.insert(std::min(pos, p.size()), 1, ch); }
bool FindChar(const std::string& p, char ch, std::size_t& pos) {
  pos = p.find(ch);
  return pos != std::string::npos;
}
void DeleteCharsAt(std::string& p, std::size_t pos, std::size_t count) {
  if (pos >= p.size()) return;
  p.erase(pos, count);
}
void InsertTextAt(std::string& p, const std::string& s, std::size_t pos) { p.insert(std::min(pos, p.size()), s); }
bool FindText(const std::string& p, const std::string& s, std::size_t& pos) {
  pos = p.find(s);
  return pos != std::string::npos;
}
void InsertCopiesAt(std::string& p, char ch, std::size_t pos, std::size_t count) {
  p.insert(std::min(pos, p.size()), count, ch);
}
std::string CopyTextPart(const std::string& s, std::size_t pos, std::size_t count) {
  if (pos >= s.size()) return {};
  return s.substr(pos, count);
}

bool TextToLongInt(const std::string& s, std::int32_t& l) {
  if (s.size() >= 256) {
    l = -1;
    return false;
  }
  std::string t = s;
  while (!t.empty() && t.back() == ' ') t.pop_back();
  std::size_t x;
  while ((x = t.find("0x")) != std::string::npos || (x = t.find("0X")) != std::string::npos) {
    t.erase(x, 1);
    t[x] = '$';
  }
  std::int32_t value = 0;
  int code = Val(t, value);
  if (code != 0) {
    l = code - 1;
    return false;
  }
  l = value;
  return true;
}

void TrimBlanks(std::string& p) {
  std::size_t a = p.find_first_not_of(' ');
  if (a == std::string::npos) {
    p.clear();
    return;
  }
  std::size_t b = p.find_last_not_of(' ');
  p = p.substr(a, b - a + 1);
}

void TrimTrailingControls(std::string& p) {
  while (!p.empty() && static_cast<unsigned char>(p.back()) <= 32) p.pop_back();
}

void TrimTrailingZeros(std::string& p) {
  if (p.find('.') == std::string::npos) return;
  while (!p.empty() && p.back() == '0') p.pop_back();
  if (!p.empty() && p.back() == '.') p.pop_back();
  TrimBlanks(p);
}

void TrimExponentZeros(std::string& p) {
  std::size_t e = p.find('E');
  if (e == std::string::npos) return;
  std::string mant = p.substr(0, e);
  std::string exp = p.substr(e + 1);
  if (mant.find('.') != std::string::npos) {
    while (!mant.empty() && mant.back() == '0') mant.pop_back();
    if (!mant.empty() && mant.back() == '.') mant.pop_back();
  }
  std::string sign;
  if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) {
    sign = exp.substr(0, 1);
    exp.erase(0, 1);
  }
  std::size_t nz = exp.find_first_not_of('0');
  if (nz == std::string::npos) {
    p = mant;
    return;
  }
  p = mant + "E" + sign + exp.substr(nz);
}

void PrepareRealText(std::string& p, char decimalChar) {
  TrimBlanks(p);
  if (!p.empty() && p.back() == decimalChar) p.pop_back();
  for (char& c : p)
    if (c == decimalChar) c = '.';
  if (!p.empty() && p.back() == '.') p.push_back('0');
  if (!p.empty() && p[0] == '.') p.insert(std::size_t{0}, 1, '0');
  if (p.size() >= 2 && p[0] == '-' && p[1] == '.') p.insert(std::size_t{1}, 1, '0');
  std::size_t e = p.find_first_of("Ee");
  if (e != std::string::npos) {
    std::size_t dot = p.find('.');
    if (dot == std::string::npos || dot > e) {
      p.insert(e, 1, '.');
      dot = e;
      ++e;
    }
    if (e - dot - 1 < 12) p.insert(e, 5, '0');
  }
  std::size_t dot = p.find('.');
  if (dot != std::string::npos) {
    while (dot > 0 && p[dot - 1] == ' ') {
      p.erase(dot - 1, 1);
      --dot;
    }
    while (dot + 1 < p.size() && p[dot + 1] == ' ') p.erase(dot + 1, 1);
  }
  if (p.empty()) p.assign(1, '0');
}

std::uint8_t CurrentShiftFlags() {
  std::uint8_t f = 0;
  if (GetKeyState(VK_CONTROL) < 0) f |= 4;
  if (GetKeyState(VK_SHIFT) < 0) f |= 2;
  if (GetKeyState(VK_MENU) < 0) f |= 8;
  return f;
}

unsigned PrimaryMouseButton() { return GetSystemMetrics(SM_SWAPBUTTON) != 0 ? 2u : 1u; }

int TextTopMargin(int fieldFontHeight, int systemFontHeight, bool border, int height, bool ctl3D, bool styled3D) {
  // The smaller of the two character heights decides whether the text fits with the normal gap.
  const int i = std::min(fieldFontHeight, systemFontHeight);
  const int h = height;
  if (!styled3D) {
    int margin = (h - fieldFontHeight - 1) / 2;
    if (i > h - 2) margin -= border ? 2 : 1;
    return margin;
  }
  if (border && ctl3D) return i < h - 4 ? 1 : (h - i - 4) / 2 - 1;
  if (border) return i < h - 4 ? 1 : (h - i - 4) / 2 - ((h - i) % 2);
  return i < h - 2 ? 0 : (h - i - 2) / 2 - ((h - i) % 2);
}

}  // namespace tw::entry
