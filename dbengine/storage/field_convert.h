// Conversion of one stored field value into another field type, used when a restructure
// copies records from the old layout into the new one.
#pragma once

#include <cstdint>

namespace tw::dbengine {

// Result codes of the field map and the converter.
constexpr int kQnResInvalidFieldTransformation = 10002;  // "Invalid field transformation."
constexpr int kQnResInvalidFieldName = 10038;            // "Invalid field name."

// Converts the value at Source (SourceType, SourceLength bytes) into Target (TargetType,
// TargetLength bytes; the whole target is written).  0 on success; 10002 when the pair of types
// is not supported, the source is shorter than a value of its type, or the value does not fit
// the target (a floating-point value that is not finite or beyond the currency range; unsigned
// 32-bit values convert as the positive numbers they are).  With a nil Target nothing is written but
// the answer is the same; with a nil Source only the pair of types is checked.  Texts are cut
// to what both fields hold.
int QNConvertFieldValue(const void* Source, void* Target, int SourceType, std::int32_t SourceLength, int TargetType,
                        std::int32_t TargetLength);

// True when values of SourceType can be converted to TargetType.
bool QNIsFieldConversionSupported(int SourceType, int TargetType);

}  // namespace tw::dbengine
