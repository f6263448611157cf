// Integer conversion: IntToStr, IntToHex, StrToInt and the runtime's Val.
#include <charconv>
#include <limits>

#include "platform/rtl/sysconst.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"

namespace tw {
namespace {

// Scans an integer; returns 0 or the 1-based error position.  `bits` is 32 or 64: a decimal
// must fit the signed range, a hexadecimal number the unsigned pattern of that width.
int ScanInteger(std::string_view s, int bits, std::int64_t& value) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n && s[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i < n && (s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return static_cast<int>(n) + 1;
  const std::uint64_t hexLimit = bits == 32 ? 0xFFFFFFFFull : std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t decLimit = bits == 32 ? (negative ? 0x80000000ull : 0x7FFFFFFFull)
                                            : (negative ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull);
  std::uint64_t acc = 0;
  for (; i < n; ++i) {
    char c = s[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return static_cast<int>(i) + 1;
    }
    const std::uint64_t base = hex ? 16 : 10;
    const std::uint64_t limit = hex ? hexLimit : decLimit;
    if (acc > (limit - digit) / base) return static_cast<int>(i) + 1;
    acc = acc * base + digit;
  }
  if (bits == 32 && hex) acc = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(acc))));
  value = static_cast<std::int64_t>(negative ? (0 - acc) : acc);
  return 0;
}

[[noreturn]] void RaiseInvalidInteger(std::string_view s) {
  throw EConvertError(Format(RtlText(sysconst::SInvalidInteger), {std::string(s)}));
}

}  // namespace

std::string IntToStrSigned(std::int64_t value) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, end);
}

std::string IntToStrUnsigned(std::uint64_t value) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, end);
}

std::string IntToHexBits(std::uint64_t pattern, int digits) {
  char buf[20];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, pattern, 16);
  std::string out(buf, end);
  for (char& c : out) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 32);
  }
  if (digits > 0 && out.size() < static_cast<std::size_t>(digits) && digits <= 64) {
    out.insert(0, static_cast<std::size_t>(digits) - out.size(), '0');
  }
  return out;
}

int Val(std::string_view s, std::int32_t& value) {
  std::int64_t v = 0;
  int code = ScanInteger(s, 32, v);
  if (code == 0) value = static_cast<std::int32_t>(v);
  return code;
}

int Val(std::string_view s, std::int64_t& value) { return ScanInteger(s, 64, value); }

bool TryStrToInt(std::string_view s, std::int32_t& value) { return Val(s, value) == 0; }
bool TryStrToInt64(std::string_view s, std::int64_t& value) { return Val(s, value) == 0; }

std::int32_t StrToInt(std::string_view s) {
  std::int32_t v = 0;
  if (Val(s, v) != 0) RaiseInvalidInteger(s);
  return v;
}

std::int64_t StrToInt64(std::string_view s) {
  std::int64_t v = 0;
  if (Val(s, v) != 0) RaiseInvalidInteger(s);
  return v;
}

std::int32_t StrToIntDef(std::string_view s, std::int32_t def) {
  std::int32_t v = 0;
  return Val(s, v) == 0 ? v : def;
}

std::int64_t StrToInt64Def(std::string_view s, std::int64_t def) {
  std::int64_t v = 0;
  return Val(s, v) == 0 ? v : def;
}

}  // namespace tw
