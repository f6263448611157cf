// Tokens of a text form description: identifiers (dotted for sub-properties), strings (quoted
// runs and #nnn character codes, joined), integers (decimal or $hex), floats (with an optional
// s/c/d suffix for single, currency and date values), symbols, and the hexadecimal bytes of a
// binary value between braces.  Every error raises EParserError naming the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/exceptions.h"

namespace tw {

TW_DECLARE_EXCEPTION(EParserError, Exception);

enum class TTokenKind { tkEOF, tkSymbol, tkIdent, tkString, tkInteger, tkFloat };

class TParser {
 public:
  explicit TParser(std::string_view text);

  TTokenKind Token() const { return kind_; }
  // The symbol character of a tkSymbol token.
  char Symbol() const { return symbol_; }
  const std::string& TokenString() const { return text_; }
  std::int64_t TokenInt() const { return int_; }
  double TokenFloat() const { return float_; }
  // 0, or 's', 'c', 'd' for a float written with that suffix.
  char FloatType() const { return floatType_; }
  int SourceLine() const { return tokenLine_; }

  void NextToken();
  bool IsSymbol(char c) const { return kind_ == TTokenKind::tkSymbol && symbol_ == c; }
  // Case-insensitive.
  bool IsIdent(std::string_view word) const;
  void CheckSymbol(char c);
  void CheckIdent(std::string_view word);
  std::string CheckIdentToken();
  // Reads the hexadecimal digits that follow an opening brace up to the closing brace (which
  // is consumed) and gives their bytes.
  std::string HexToBinary();

  [[noreturn]] void Error(const std::string& message) const;

 private:
  void SkipBlanks();
  void ReadString();
  void ReadNumber();

  std::string_view src_;
  std::size_t pos_ = 0;
  int line_ = 1;
  int tokenLine_ = 1;
  TTokenKind kind_ = TTokenKind::tkEOF;
  char symbol_ = 0;
  std::string text_;
  std::int64_t int_ = 0;
  double float_ = 0;
  char floatType_ = 0;
};

}  // namespace tw
