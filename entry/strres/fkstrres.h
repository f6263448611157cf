// The entry-field library's texts (table "FIELDKIT_STRINGS" with suffix "_ENGLISH") and the
// character set of the picture masks' alphabetic positions.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>

#include "entry/strres/srsstrres.h"

namespace tw::entry {

// The process-wide reader of "FIELDKIT_STRINGS" (suffix "_ENGLISH"), made by InitFkStrRes; a
// program part that did not run the start-up gets it made on first use.
SrsStringResource& FieldkitStrings();

// Start-up of the unit: builds FkAlphaChars, then creates FieldkitStrings, raising
// ESrsStringResourceError when the table is missing, so that a program without its texts stops
// at start and not at the first message.  The reader is freed when the program ends.
void InitFkStrRes();
// The text with number Id of the entry-field table (empty when missing); in German
// (UiLanguage) from "FIELDKIT_STRINGS_GERMAN" where that table has it.
std::string FkResString(std::uint16_t Id);

// The blank, ",", "-", ".", A-Z, a-z and every character 128-255 that is a Windows-1252 letter.
const std::bitset<256>& FkAlphaChars();
inline bool FkIsAlphaChar(char C) { return FkAlphaChars().test(static_cast<unsigned char>(C)); }

}  // namespace tw::entry
