// Windows-1252 text: character classes, case mapping and ordering from 256-entry tables, and
// conversion to and from UTF-8 at the platform's edges (drawing, window titles, clipboard).
//
// Every string of the program holds Windows-1252 bytes; these routines never consult the
// process locale, so results are the same on every machine.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// Character classes of one Windows-1252 byte.  Letters include the accented letters of the
// upper half (À..ÿ except × and ÷) and Š š Œ œ Ž ž Ÿ ƒ ª º µ ß.
bool IsCharAlpha(char c);
bool IsCharAlphaNumeric(char c);
bool IsCharDigit(char c);  // '0'..'9' only
bool IsCharUpper(char c);
bool IsCharLower(char c);
bool IsCharSpace(char c);  // blank, tab, CR, LF, VT, FF, non-breaking space (0xA0)

// Case mapping of one byte; bytes without a case partner are returned unchanged
// (ß, µ, ƒ, ª, º have no single-byte upper case; ÿ maps to Ÿ).
char CharUpper(char c);
char CharLower(char c);
void CharUpperBuff(char* buffer, std::size_t length);
void CharLowerBuff(char* buffer, std::size_t length);

// Whole-string case mapping of all Windows-1252 letters.
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);

// Linguistic comparison, as the window system's string compare: letters compare first by
// their base letter (accents and case ignored), then by accent, then by case (lower before
// upper); digits and punctuation sort before letters.  Results are <0, 0, >0.
int AnsiCompareStr(std::string_view a, std::string_view b);   // case-sensitive
int AnsiCompareText(std::string_view a, std::string_view b);  // case-insensitive
bool AnsiSameStr(std::string_view a, std::string_view b);     // byte equality
bool AnsiSameText(std::string_view a, std::string_view b);    // equal ignoring case

// ASCII-only variants: only 'a'..'z' / 'A'..'Z' change case; comparison is by byte value
// (after folding ASCII letters to upper case for the Text forms).  Results are the byte
// difference at the first mismatch or the length difference.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
int CompareStr(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// Conversion at the edges.  Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D (unassigned in
// Windows-1252) map to the C1 control code points of the same value, so every byte string
// survives the round trip.  Malformed UTF-8 and code points without a Windows-1252 byte
// become `replacement`.
std::string Win1252ToUtf8(std::string_view s);
std::string Utf8ToWin1252(std::string_view s, char replacement = '?');

// Single characters, for the display layer.
char32_t Win1252ToCodePoint(char c);
// The byte for a code point, or -1 when Windows-1252 has none.
int CodePointToWin1252(char32_t cp);
// Appends the UTF-8 form of a code point (invalid code points give U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);
// Decodes one UTF-8 sequence at s[pos]; advances pos past it.  Returns U+FFFD for a
// malformed sequence (pos then advances by one byte).
char32_t DecodeUtf8(std::string_view s, std::size_t& pos);

}  // namespace tw
