// Text that crosses the platform's edges: UTF-8 from the window system, the clipboard, file
// names and settings files, and Windows-1252 text going out.  Any bytes must convert without
// a crash; every Windows-1252 string survives the trip through UTF-8; the output of the UTF-8
// reader is never longer than its input; the step-by-step decoder always advances.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/win1252.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string ansi = tw::Utf8ToWin1252(text);
  if (ansi.size() > text.size()) __builtin_trap();
  // Whatever came in as UTF-8 goes out and in again unchanged.
  if (tw::Utf8ToWin1252(tw::Win1252ToUtf8(ansi)) != ansi) __builtin_trap();

  // The same bytes taken as Windows-1252 text.
  const std::string utf8 = tw::Win1252ToUtf8(text);
  if (tw::Utf8ToWin1252(utf8, '\x01') != text) __builtin_trap();

  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) {
    const std::size_t before = pos;
    const char32_t cp = tw::DecodeUtf8(text, pos);
    if (pos <= before || pos > text.size() || cp > 0x10FFFF) __builtin_trap();
    const int byte = tw::CodePointToWin1252(cp);
    if (byte >= 0 && tw::Win1252ToCodePoint(static_cast<char>(byte)) != cp) __builtin_trap();
  }
  if (count > text.size()) __builtin_trap();

  // Case mapping and collation over the same bytes stay within their contracts.
  const std::string upper = tw::AnsiUpperCase(text);
  if (upper.size() != text.size() || !tw::AnsiSameText(upper, text)) __builtin_trap();
  if (tw::AnsiCompareText(text, upper) != 0) __builtin_trap();
  const int ab = tw::AnsiCompareStr(text, ansi), ba = tw::AnsiCompareStr(ansi, text);
  if ((ab < 0) != (ba > 0) || (ab == 0) != (ba == 0)) __builtin_trap();
  return 0;
}
