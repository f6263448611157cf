// The class library's Format: "%" [index ":"] ["-"] [width] ["." precision] type.
#include <algorithm>
#include <climits>
#include <cstdio>

#include "platform/rtl/sysconst.h"
#include "platform/rtl/sysutils.h"

namespace tw {
namespace {

// Widths, precisions and indexes above this are treated as malformed rather than
// producing gigabytes of blanks.
constexpr int kMaxNumber = 1 << 20;

std::string Substitute(const char* message, std::string_view arg) {
  std::string out(message);
  std::size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, arg);
  return out;
}

class Formatter {
 public:
  Formatter(std::string_view pattern, const TVarRec* args, std::size_t count, const TFormatSettings& fs)
      : pattern_(pattern), args_(args), count_(count), fs_(fs) {}

  std::string Run() {
    std::string out;
    out.reserve(pattern_.size() + 16);
    const std::size_t n = pattern_.size();
    std::size_t i = 0;
    while (i < n) {
      std::size_t pct = pattern_.find('%', i);
      if (pct == std::string_view::npos) {
        out.append(pattern_, i, n - i);
        break;
      }
      out.append(pattern_, i, pct - i);
      i = pct + 1;
      if (i >= n) Invalid();
      if (pattern_[i] == '%') {
        out.push_back('%');
        ++i;
        continue;
      }
      i = Specifier(i, out);
    }
    return out;
  }

 private:
  [[noreturn]] void Invalid() const {
    throw EConvertError(Substitute(sysconst::SInvalidFormat, pattern_));
  }
  [[noreturn]] void Missing() const {
    throw EConvertError(Substitute(sysconst::SArgumentMissing, pattern_));
  }

  const TVarRec& NextArg() {
    if (next_ >= count_) Missing();
    return args_[next_++];
  }

  // A decimal number or '*' at i; returns false when neither is there.
  bool Number(std::size_t& i, int& value) {
    if (i < pattern_.size() && pattern_[i] == '*') {
      const TVarRec& a = NextArg();
      if (a.kind != TVarRec::Kind::Integer) Invalid();
      value = static_cast<int>(std::clamp<std::int64_t>(a.i, -kMaxNumber, kMaxNumber));
      ++i;
      return true;
    }
    if (i >= pattern_.size() || pattern_[i] < '0' || pattern_[i] > '9') return false;
    long v = 0;
    while (i < pattern_.size() && pattern_[i] >= '0' && pattern_[i] <= '9') {
      v = v * 10 + (pattern_[i] - '0');
      if (v > kMaxNumber) Invalid();
      ++i;
    }
    value = static_cast<int>(v);
    return true;
  }

  std::size_t Specifier(std::size_t i, std::string& out) {
    int width = 0;
    int precision = -1;
    bool left = false;
    bool haveWidth = false;
    int number = 0;
    if (Number(i, number)) {
      if (i < pattern_.size() && pattern_[i] == ':') {
        if (number < 0) Invalid();
        next_ = static_cast<std::size_t>(number);
        ++i;
      } else {
        width = number;
        haveWidth = true;
      }
    }
    if (!haveWidth) {
      if (i < pattern_.size() && pattern_[i] == '-') {
        left = true;
        ++i;
      }
      if (Number(i, number)) width = number;
    }
    if (width < 0) {
      // A negative width taken from the arguments aligns to the left.
      left = true;
      width = -width;
    }
    if (i < pattern_.size() && pattern_[i] == '.') {
      ++i;
      if (!Number(i, precision)) precision = 0;
      if (precision < 0) precision = -1;
    }
    if (i >= pattern_.size()) Invalid();
    char type = pattern_[i++];
    if (type >= 'A' && type <= 'Z') type = static_cast<char>(type + 32);
    std::string text = Convert(type, precision);
    if (width > 0 && text.size() < static_cast<std::size_t>(width)) {
      std::size_t pad = static_cast<std::size_t>(width) - text.size();
      if (left) {
        text.append(pad, ' ');
      } else {
        text.insert(0, pad, ' ');
      }
    }
    out += text;
    return i;
  }

  static std::string ZeroPad(std::string digits, int precision) {
    if (precision > 0 && digits.size() < static_cast<std::size_t>(precision)) {
      digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
    }
    return digits;
  }

  std::string Convert(char type, int precision) {
    using K = TVarRec::Kind;
    switch (type) {
      case 'd': {
        const TVarRec& a = NextArg();
        if (a.kind != K::Integer && a.kind != K::Int64) Invalid();
        if (a.isUnsigned) return ZeroPad(IntToStrUnsigned(static_cast<std::uint64_t>(a.i)), precision);
        std::uint64_t magnitude = a.i < 0 ? 0 - static_cast<std::uint64_t>(a.i) : static_cast<std::uint64_t>(a.i);
        std::string digits = ZeroPad(IntToStrUnsigned(magnitude), precision);
        return a.i < 0 ? "-" + digits : digits;
      }
      case 'u': {
        const TVarRec& a = NextArg();
        if (a.kind == K::Integer) return ZeroPad(IntToStrUnsigned(static_cast<std::uint32_t>(a.i)), precision);
        if (a.kind == K::Int64) return ZeroPad(IntToStrUnsigned(static_cast<std::uint64_t>(a.i)), precision);
        Invalid();
      }
      case 'x': {
        const TVarRec& a = NextArg();
        if (a.kind == K::Integer) return ZeroPad(IntToHexBits(static_cast<std::uint32_t>(a.i), 0), precision);
        if (a.kind == K::Int64) return ZeroPad(IntToHexBits(static_cast<std::uint64_t>(a.i), 0), precision);
        Invalid();
      }
      case 'p': {
        const TVarRec& a = NextArg();
        if (a.kind != K::Pointer) Invalid();
        auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(a.p));
        return IntToHexBits(bits, bits > 0xFFFFFFFFull ? 16 : 8);
      }
      case 's': {
        const TVarRec& a = NextArg();
        if (a.kind != K::String && a.kind != K::Char) Invalid();
        if (precision >= 0 && a.s.size() > static_cast<std::size_t>(precision)) {
          return a.s.substr(0, static_cast<std::size_t>(precision));
        }
        return a.s;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        const TVarRec& a = NextArg();
        if (a.kind != K::Extended) Invalid();
        switch (type) {
          case 'e': return FloatToStrF(a.d, ffExponent, precision < 0 ? 15 : std::min(precision, 18), 3, fs_);
          case 'g': return FloatToStrF(a.d, ffGeneral, precision < 0 ? 15 : std::min(precision, 18), 3, fs_);
          case 'f': return FloatToStrF(a.d, ffFixed, 18, precision < 0 ? 2 : std::min(precision, 18), fs_);
          case 'n': return FloatToStrF(a.d, ffNumber, 18, precision < 0 ? 2 : std::min(precision, 18), fs_);
          default:
            return FloatToStrF(a.d, ffCurrency, 18,
                               precision < 0 ? fs_.CurrencyDecimals : std::min(precision, 18), fs_);
        }
      }
      default:
        Invalid();
    }
  }

  std::string_view pattern_;
  const TVarRec* args_;
  std::size_t count_;
  const TFormatSettings& fs_;
  std::size_t next_ = 0;
};

}  // namespace

std::string Format(std::string_view pattern, const TVarRec* args, std::size_t count,
                   const TFormatSettings& settings) {
  return Formatter(pattern, args, count, settings).Run();
}

std::string Format(std::string_view pattern, std::initializer_list<TVarRec> args) {
  return Format(pattern, args.begin(), args.size(), FormatSettings());
}

std::string Format(std::string_view pattern, const std::vector<TVarRec>& args) {
  return Format(pattern, args.data(), args.size(), FormatSettings());
}

}  // namespace tw
