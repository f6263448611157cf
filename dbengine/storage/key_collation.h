// The fixed collation of text keys.  Every index that orders locale-compared strings (field
// types 2, 47, 49 and 50) stores its keys in this order, so it must never change: it does not
// depend on the process locale, the machine or the display layer's text comparison.
//
// A character is a Windows-1252 byte or, for 16-bit text, a UTF-16 code unit (a code unit that
// has a Windows-1252 byte collates as that byte).  Each character has a primary weight, an
// accent weight and a case bit:
//   - primary: control characters, blank and punctuation/symbols first, each its own weight in
//     byte order; then the digits 0..9 (superscript 1, 2, 3 with their digits); then the letters
//     by base letter a..z, accented letters with their base letter (À..Å with a, Ç with c, È..Ë
//     with e, Ì..Ï with i, Ð with d, Ñ with n, Ò..Ö and Ø with o, Ù..Ü with u, Ý and Ÿ with y,
//     Š with s, Ž with z, ƒ with f, ª with a, º with o); Æ, Œ and ß count as the two letters
//     ae, oe and ss; Þ and then µ follow z; code units without a Windows-1252 byte follow
//     everything, by code unit;
//   - accent: none, grave, acute, circumflex, tilde, diaeresis, ring, cedilla, stroke, caron,
//     hook, ordinal, ligature, sharp s, eth, superscript, in this order;
//   - case: lower case before upper case.
// Two texts compare by their primary weights (a text that is a prefix of the other comes
// first), then by their accents, then, unless case is ignored, by their case bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tw::dbengine {

// -1, 0 or 1.
int QNCollateText(std::string_view A, std::string_view B, bool CaseInsensitive);
int QNCollateWide(const std::uint16_t* A, std::size_t LenA, const std::uint16_t* B, std::size_t LenB,
                  bool CaseInsensitive);

}  // namespace tw::dbengine
