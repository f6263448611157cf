// The raw form of a field's range limits as form resources store them: ten bytes holding the
// limit in the byte layout of the field's data type (little-endian integers of the type's
// width, the 6-byte real, 10-byte extended, 8-byte double, 4-byte single, the 64-bit comp,
// 32-bit day numbers and seconds), the rest zero.
#pragma once

#include <string>

#include "entry/fkexcept.h"
#include "entry/fkvalue.h"

namespace tw::entry {

constexpr std::size_t kRawRangeSize = 10;

// Whether limits of this type are stored at all (string, Boolean and yes/no have none).
bool HasRawRange(TPictureDataType type);
// The ten bytes of a limit.
std::string RangeToRaw(TPictureDataType type, const TFkValue& value);
// Reads ten bytes back; false for another length or a float that is not a finite number.
bool RawToRange(TPictureDataType type, const std::string& raw, TFkValue& value);

// The 6-byte real format: exponent byte (bias 129, 0 for zero), 39 mantissa bits below an
// implied leading one, the sign in the top bit of the last byte.  Values beyond its range are
// held at its largest magnitude; values too small for it become zero.
void DoubleToReal48(double value, std::uint8_t out[6]);
double Real48ToDouble(const std::uint8_t in[6]);

}  // namespace tw::entry
