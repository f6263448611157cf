#include "entry/fkrangeraw.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "platform/classes/filer.h"

namespace tw::entry {

namespace {

using T = TPictureDataType;

constexpr std::uint64_t kMantissa39 = std::uint64_t{1} << 39;

void PutLE(std::string& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint64_t GetLE(const std::string& in, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(in[static_cast<std::size_t>(i)]);
  return v;
}

}  // namespace

void DoubleToReal48(double value, std::uint8_t out[6]) {
  std::memset(out, 0, 6);
  if (value == 0 || std::isnan(value)) return;
  const bool negative = value < 0;
  int exponent = 0;
  double m = std::frexp(std::fabs(value), &exponent);  // |value| = m * 2^exponent, m in [0.5, 1)
  int e = exponent + 128;
  std::uint64_t f = 0;
  if (std::isinf(value) || e > 255) {
    e = 255;
    f = kMantissa39 - 1;
  } else {
    f = static_cast<std::uint64_t>(std::llround((2 * m - 1) * static_cast<double>(kMantissa39)));
    if (f >= kMantissa39) {
      f = 0;
      ++e;
      if (e > 255) {
        e = 255;
        f = kMantissa39 - 1;
      }
    }
  }
  if (e <= 0) return;
  out[0] = static_cast<std::uint8_t>(e);
  for (int i = 0; i < 5; ++i) out[1 + i] = static_cast<std::uint8_t>((f >> (8 * i)) & 0xFF);
  if (negative) out[5] |= 0x80;
}

double Real48ToDouble(const std::uint8_t in[6]) {
  if (in[0] == 0) return 0.0;
  std::uint64_t f = 0;
  for (int i = 4; i >= 0; --i) f = (f << 8) | in[1 + i];
  f &= kMantissa39 - 1;
  const double m = 1.0 + static_cast<double>(f) / static_cast<double>(kMantissa39);
  const double v = std::ldexp(m, static_cast<int>(in[0]) - 129);
  return (in[5] & 0x80) != 0 ? -v : v;
}

bool HasRawRange(TPictureDataType type) {
  return type != T::pftString && type != T::pftBoolean && type != T::pftYesNo && static_cast<int>(type) <= 15;
}

std::string RangeToRaw(TPictureDataType type, const TFkValue& value) {
  std::string out(kRawRangeSize, '\0');
  const auto i = static_cast<std::uint64_t>(value.Int);
  switch (type) {
    case T::pftChar: case T::pftByte: case T::pftShortInt: PutLE(out, i, 1); break;
    case T::pftWord: case T::pftInteger: PutLE(out, i, 2); break;
    case T::pftLongInt: case T::pftDate: case T::pftTime: PutLE(out, i, 4); break;
    case T::pftReal: {
      std::uint8_t b[6];
      DoubleToReal48(value.Real, b);
      out.replace(0, 6, reinterpret_cast<const char*>(b), 6);
      break;
    }
    case T::pftExtended: {
      std::uint8_t b[10];
      DoubleToExtended(value.Real, b);
      out.replace(0, 10, reinterpret_cast<const char*>(b), 10);
      break;
    }
    case T::pftDouble: PutLE(out, std::bit_cast<std::uint64_t>(value.Real), 8); break;
    case T::pftSingle: PutLE(out, std::bit_cast<std::uint32_t>(static_cast<float>(value.Real)), 4); break;
    case T::pftComp: {
      // Held within the 64-bit range (a NaN counts as 0).
      const double r = std::isnan(value.Real) ? 0.0 : std::clamp(value.Real, -9.2e18, 9.2e18);
      PutLE(out, static_cast<std::uint64_t>(std::llround(r)), 8);
      break;
    }
    default: break;
  }
  return out;
}

bool RawToRange(TPictureDataType type, const std::string& raw, TFkValue& value) {
  if (raw.size() != kRawRangeSize) return false;
  TFkValue v;
  switch (type) {
    case T::pftChar: case T::pftByte: v.Int = static_cast<std::uint8_t>(GetLE(raw, 1)); break;
    case T::pftShortInt: v.Int = static_cast<std::int8_t>(GetLE(raw, 1)); break;
    case T::pftWord: v.Int = static_cast<std::uint16_t>(GetLE(raw, 2)); break;
    case T::pftInteger: v.Int = static_cast<std::int16_t>(GetLE(raw, 2)); break;
    case T::pftLongInt: case T::pftDate: case T::pftTime: v.Int = static_cast<std::int32_t>(GetLE(raw, 4)); break;
    case T::pftReal: {
      std::uint8_t b[6];
      std::memcpy(b, raw.data(), 6);
      v.Real = Real48ToDouble(b);
      break;
    }
    case T::pftExtended: {
      std::uint8_t b[10];
      std::memcpy(b, raw.data(), 10);
      v.Real = ExtendedToDouble(b);
      break;
    }
    case T::pftDouble: v.Real = std::bit_cast<double>(GetLE(raw, 8)); break;
    case T::pftSingle: v.Real = std::bit_cast<float>(static_cast<std::uint32_t>(GetLE(raw, 4))); break;
    case T::pftComp: v.Real = static_cast<double>(static_cast<std::int64_t>(GetLE(raw, 8))); break;
    default: return false;
  }
  if (!std::isfinite(v.Real)) return false;
  // Day numbers and seconds outside their ranges (other than the blank -1) are no limits.
  if (type == T::pftDate && (v.Int < -1 || v.Int > 876581)) return false;
  if (type == T::pftTime && (v.Int < -1 || v.Int > 86399)) return false;
  value = v;
  return true;
}

}  // namespace tw::entry
