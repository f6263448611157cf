#include "platform/forms/formres/parser.h"

#include <charconv>
#include <cmath>

#include "platform/rtl/win1252.h"

namespace tw {

namespace {

bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

}  // namespace

TParser::TParser(std::string_view text) : src_(text) { NextToken(); }

void TParser::Error(const std::string& message) const {
  throw EParserError(message + " on line " + std::to_string(tokenLine_));
}

bool TParser::IsIdent(std::string_view word) const {
  return kind_ == TTokenKind::tkIdent && SameText(text_, std::string(word));
}

void TParser::CheckSymbol(char c) {
  if (!IsSymbol(c)) Error(std::string("'") + c + "' expected");
}

void TParser::CheckIdent(std::string_view word) {
  if (!IsIdent(word)) Error(std::string("'") + std::string(word) + "' expected");
}

std::string TParser::CheckIdentToken() {
  if (kind_ != TTokenKind::tkIdent) Error("Identifier expected");
  return text_;
}

void TParser::SkipBlanks() {
  while (pos_ < src_.size()) {
    char c = src_[pos_];
    if (c == '\n') {
      ++line_;
    } else if (c != ' ' && c != '\t' && c != '\r' && c != '\f' && c != '\v') {
      break;
    }
    ++pos_;
  }
}

void TParser::NextToken() {
  SkipBlanks();
  tokenLine_ = line_;
  text_.clear();
  floatType_ = 0;
  if (pos_ >= src_.size()) {
    kind_ = TTokenKind::tkEOF;
    return;
  }
  char c = src_[pos_];
  if (IsAlpha(c)) {
    std::size_t start = pos_;
    while (pos_ < src_.size() && (IsAlpha(src_[pos_]) || IsDigit(src_[pos_]) || src_[pos_] == '.')) ++pos_;
    text_ = std::string(src_.substr(start, pos_ - start));
    if (text_.back() == '.' || text_.find("..") != std::string::npos) Error("Invalid identifier '" + text_ + "'");
    kind_ = TTokenKind::tkIdent;
    return;
  }
  if (c == '\'' || c == '#') {
    ReadString();
    return;
  }
  if (IsDigit(c) || c == '$' || (c == '-' && pos_ + 1 < src_.size() && (IsDigit(src_[pos_ + 1]) || src_[pos_ + 1] == '$'))) {
    ReadNumber();
    return;
  }
  if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
    Error("Invalid character #" + std::to_string(static_cast<unsigned char>(c)));
  }
  kind_ = TTokenKind::tkSymbol;
  symbol_ = c;
  text_ = std::string(1, c);
  ++pos_;
}

void TParser::ReadString() {
  kind_ = TTokenKind::tkString;
  while (pos_ < src_.size()) {
    char c = src_[pos_];
    if (c == '\'') {
      ++pos_;
      for (;;) {
        if (pos_ >= src_.size() || src_[pos_] == '\n' || src_[pos_] == '\r') Error("Unterminated string");
        char d = src_[pos_++];
        if (d == '\'') {
          if (pos_ < src_.size() && src_[pos_] == '\'') {
            text_ += '\'';
            ++pos_;
            continue;
          }
          break;
        }
        text_ += d;
      }
    } else if (c == '#') {
      ++pos_;
      std::uint32_t code = 0;
      std::size_t start = pos_;
      if (pos_ < src_.size() && src_[pos_] == '$') {
        ++pos_;
        start = pos_;
        while (pos_ < src_.size() && IsHex(src_[pos_]) && code <= 0xFFFF) code = code * 16 + HexValue(src_[pos_++]);
      } else {
        while (pos_ < src_.size() && IsDigit(src_[pos_]) && code <= 0xFFFF) code = code * 10 + (src_[pos_++] - '0');
      }
      if (pos_ == start) Error("Character code expected");
      if (code > 0xFFFF) Error("Character code out of range");
      // Codes above the 8-bit range have no Windows-1252 byte.
      text_ += code <= 0xFF ? static_cast<char>(code) : '?';
    } else {
      break;
    }
  }
}

void TParser::ReadNumber() {
  std::size_t start = pos_;
  bool negative = false;
  if (src_[pos_] == '-') {
    negative = true;
    ++pos_;
  }
  if (pos_ < src_.size() && src_[pos_] == '$') {
    ++pos_;
    std::size_t digits = pos_;
    std::uint64_t v = 0;
    while (pos_ < src_.size() && IsHex(src_[pos_])) {
      if (pos_ - digits >= 16) Error("Integer out of range");
      v = v * 16 + static_cast<std::uint64_t>(HexValue(src_[pos_++]));
    }
    if (pos_ == digits) Error("Hexadecimal digits expected");
    kind_ = TTokenKind::tkInteger;
    int_ = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    text_ = std::string(src_.substr(start, pos_ - start));
    return;
  }
  bool isFloat = false;
  while (pos_ < src_.size()) {
    char c = src_[pos_];
    if (IsDigit(c)) {
      ++pos_;
    } else if (c == '.' && !isFloat && pos_ + 1 < src_.size() && IsDigit(src_[pos_ + 1])) {
      isFloat = true;
      ++pos_;
    } else if ((c == 'e' || c == 'E') && pos_ + 1 < src_.size() &&
               (IsDigit(src_[pos_ + 1]) ||
                ((src_[pos_ + 1] == '-' || src_[pos_ + 1] == '+') && pos_ + 2 < src_.size() && IsDigit(src_[pos_ + 2])))) {
      isFloat = true;
      pos_ += 2;
    } else {
      break;
    }
  }
  text_ = std::string(src_.substr(start, pos_ - start));
  if (pos_ < src_.size() && (src_[pos_] == 's' || src_[pos_] == 'S' || src_[pos_] == 'c' || src_[pos_] == 'C' ||
                             src_[pos_] == 'd' || src_[pos_] == 'D')) {
    if (pos_ + 1 >= src_.size() || !(IsAlpha(src_[pos_ + 1]) || IsDigit(src_[pos_ + 1]))) {
      floatType_ = static_cast<char>(src_[pos_] | 0x20);
      isFloat = true;
      ++pos_;
    }
  }
  if (pos_ < src_.size() && IsAlpha(src_[pos_])) Error("Invalid number '" + text_ + src_[pos_] + "'");
  if (isFloat) {
    kind_ = TTokenKind::tkFloat;
    auto r = std::from_chars(text_.data(), text_.data() + text_.size(), float_);
    // A single or a currency value its type cannot hold would be stored as infinity or as a
    // wrapped amount: it is refused like a number out of a double's range.
    // (A single takes every value that rounds to its largest one: up to half a step above it.)
    const bool fits = floatType_ == 's'   ? std::fabs(float_) < std::ldexp(1.0, 128) - std::ldexp(1.0, 103)
                      : floatType_ == 'c' ? std::fabs(float_ * 10000.0) < 9223372036854775808.0  // 2^63
                                          : true;
    if (r.ec != std::errc() || r.ptr != text_.data() + text_.size() || !fits)
      Error("Invalid floating-point number '" + text_ + "'");
    return;
  }
  kind_ = TTokenKind::tkInteger;
  auto r = std::from_chars(text_.data(), text_.data() + text_.size(), int_);
  if (r.ec != std::errc() || r.ptr != text_.data() + text_.size()) Error("Integer out of range: " + text_);
}

std::string TParser::HexToBinary() {
  std::string out;
  int half = -1;
  for (;;) {
    if (pos_ >= src_.size()) {
      tokenLine_ = line_;
      Error("'}' expected");
    }
    char c = src_[pos_++];
    if (c == '}') break;
    if (c == '\n') {
      ++line_;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r') continue;
    if (!IsHex(c)) {
      tokenLine_ = line_;
      Error("Invalid binary value");
    }
    if (half < 0) {
      half = HexValue(c);
    } else {
      out += static_cast<char>(half * 16 + HexValue(c));
      half = -1;
    }
  }
  if (half >= 0) {
    tokenLine_ = line_;
    Error("Invalid binary value");
  }
  NextToken();
  return out;
}

}  // namespace tw
