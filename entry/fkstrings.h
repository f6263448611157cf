// Text routines of the entry fields (positions count from 0; each works on the string in
// place unless it returns a new one) and the few window-system helpers they share.
#pragma once

#include <cstdint>
#include <string>

namespace tw::entry {

std::string BitsToText(std::uint32_t l);    // 32 "0"/"1" characters, highest bit first
std::string HexText32(std::uint32_t l);     // 8 upper-case hexadecimal digits
std::string HexText16(std::uint16_t w);     // 4 upper-case hexadecimal digits
std::string OctalText(std::uint32_t l);     // 12 octal digits with leading zeros
char LowerChar(char ch);                    // Windows-1252 case rules
char UpperChar(char ch);

void DeleteCharAt(std::string& p, std::size_t pos);             // nothing outside the text
void InsertCharAt(std::string& p, char ch, std::size_t pos);    // beyond the end appends
bool FindChar(const std::string& p, char ch, std::size_t& pos);
void DeleteCharsAt(std::string& p, std::size_t pos, std::size_t count);
void InsertTextAt(std::string& p, const std::string& s, std::size_t pos);
bool FindText(const std::string& p, const std::string& s, std::size_t& pos);
void InsertCopiesAt(std::string& p, char ch, std::size_t pos, std::size_t count);
std::string CopyTextPart(const std::string& s, std::size_t pos, std::size_t count);

// Text to a 32-bit integer: trailing blanks cut, "0x" anywhere becomes the hexadecimal mark.
// A text of 256 characters or more fails with l = -1; a malformed text fails with l = the
// position of the offending character less one (counted from 1, as the runtime does).
bool TextToLongInt(const std::string& s, std::int32_t& l);

void TrimBlanks(std::string& p);
void TrimTrailingControls(std::string& p);   // codes up to 32
void TrimTrailingZeros(std::string& p);      // only for a text holding "."
void TrimExponentZeros(std::string& p);      // only for a text holding "E"
// Makes a real-number text ready for conversion with "." as its point.
void PrepareRealText(std::string& p, char decimalChar);

// The current keyboard state as the shift byte of the command tables: Shift 2, Ctrl 4, Alt 8.
std::uint8_t CurrentShiftFlags();
// The virtual key of the primary mouse button: 1, or 2 when the buttons are swapped.
unsigned PrimaryMouseButton();

// The vertical offset of the text inside an entry field `height` pixels high, measured from
// the inside of its frame.  `fieldFontHeight` and `systemFontHeight` are character heights;
// `styled3D` tells whether the window system draws controls in the 3-D style, `ctl3D` whether
// this control uses it.
int TextTopMargin(int fieldFontHeight, int systemFontHeight, bool border, int height, bool ctl3D, bool styled3D);

}  // namespace tw::entry
