// What every chart routine shares for the whole run: the house-system and summer-time
// enumerations, the aspect switches and orb table of the aspect test, and the process-wide
// message list of the current interface language with its lookup routines.
//
// Touched by the user-interface thread only; no locks.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tw {
class TStringList;
}

namespace tw::horoscope {

// House systems; the ordinal indexes the house-system letters and names (message 67 + ordinal).
enum class THaeuserSystemTyp : std::uint8_t { Placidus, Koch, Regiomontanus, Campanus, Vehlow, Equal };
inline constexpr int HouseSystemCount = 6;

// Summer-time code of a chart's local time.
enum class TSummerTimeType : std::uint8_t { tzNormal, tzSummertime, tzWartime, tzGMT };

inline constexpr int MaxAspect = 11;       // aspects 1..11
inline constexpr int AspectSlots = 54;     // orb slots per body, of which 1..11 are read
inline constexpr int MaxOrbKind = 4;       // orb kinds 1..4 (5 reads as 4)
inline constexpr int MaxFlagBody = 54;     // enable flags cover bodies 0..54
inline constexpr int MaxValueBody = 20;    // value arrays hold bodies 0..20

// Aspect switches, indexed by aspect number 1..11 (slot 0 unused).
extern std::array<bool, MaxAspect + 1> AspectEnabled;
// Orbs in degrees, indexed [orb kind 1..4][body 0..54][aspect 1..54] (index 0 of kind and
// aspect unused).
using TAspectOrbTable =
    std::array<std::array<std::array<double, AspectSlots + 1>, MaxFlagBody + 1>, MaxOrbKind + 1>;
extern TAspectOrbTable AspectOrbs;

// The texts of the current language, each with its message number in the object slot; owned by
// the application, which replaces it on every language change.  nullptr until texts are loaded.
extern TStringList* MessageList;
// The three-letter code of the current language: "ENG" at start, "ENG" or "DEU" later.
extern std::string LanguageCode;

// The text of message `nr`: the first entry of MessageList carrying that number; empty when
// there is no list, no such entry, or the list fails.
std::string GetMessageText(int nr);
// Message 10 + body, for bodies 0..19 only (from body 20 on the numbers are the sign names'),
// else empty.
std::string GetBodyName(int body);
// Message 30 + sign for signs 0..11, else empty.
std::string GetSignName(int sign);
// Message 80 + aspect for aspects 1..11, else empty.
std::string GetAspectName(int aspect);

// Aspects 1..5 on (6..11 keep their state, off from the start); orbs of kind 1 are 5.0,
// kind 2 2.0, kinds 3 and 4 4.0 degrees for every body and aspect slot.
void InitAspectSettings();

}  // namespace tw::horoscope
