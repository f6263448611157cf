#include "entry/fkexcept.h"

#include "entry/fkintl.h"
#include "entry/strres/fkstrres.h"
#include "platform/rtl/sysutils.h"

namespace tw::entry {

namespace {
// A format pattern from the table; a pattern that does not fit its arguments is shown as it
// stands rather than raising from inside an exception's constructor.
std::string SafeFormat(const std::string& pattern, std::initializer_list<TVarRec> args) {
  try {
    return Format(pattern, args);
  } catch (const std::exception&) {
    return pattern;
  }
}
}  // namespace

EFkException EFkException::FromText(std::uint16_t id) { return EFkException(FkResString(id)); }

ENoTimersAvailable::ENoTimersAvailable() : EFkException(FkResString(fktext::NoTimers)) {}
ENoControllerAssigned::ENoControllerAssigned() : EControllerError(FkResString(fktext::NoController)) {}
EDuplicateCommand::EDuplicateCommand() : ECmdProcessorError(FkResString(fktext::DuplicateCommand)) {}
ETableNotFound::ETableNotFound() : ECmdProcessorError(FkResString(fktext::TableNotFound)) {}
EInvalidDataType::EInvalidDataType() : EEntryFieldError(FkResString(fktext::InvalidDataType)) {}
EInvalidDateForMask::EInvalidDateForMask() : EEntryFieldError(FkResString(fktext::DateForMask)) {}

EInvalidPictureMask::EInvalidPictureMask(const std::string& mask)
    : EEntryFieldError(SafeFormat(FkResString(fktext::InvalidPictureMask), {mask})) {}

namespace {
std::string RangeText(TPictureDataType type) {
  using T = TPictureDataType;
  auto ints = [](long long lo, long long hi) {
    return SafeFormat(FkResString(fktext::RangeInt), {static_cast<std::int64_t>(lo), static_cast<std::int64_t>(hi)});
  };
  switch (type) {
    case T::pftLongInt: return ints(-2147483648LL, 2147483647LL);
    case T::pftWord: return ints(0, 65535);
    case T::pftInteger: return ints(-32768, 32767);
    case T::pftByte: return ints(0, 255);
    case T::pftShortInt: return ints(-128, 127);
    case T::pftReal: return FkResString(34204);
    case T::pftExtended: return FkResString(34205);
    case T::pftDouble: return FkResString(34206);
    case T::pftSingle: return FkResString(34207);
    case T::pftComp: return FkResString(34208);
    case T::pftDate: return SafeFormat(FkResString(34209), {DefaultIntlSup().BuildDateMask(true)});
    case T::pftTime: return SafeFormat(FkResString(34210), {DefaultIntlSup().BuildTimeMask(false)});
    default: return FkResString(fktext::RangeOther);
  }
}
}  // namespace

EInvalidRangeValue::EInvalidRangeValue(TPictureDataType type) : EEntryFieldError(RangeText(type)) {}

}  // namespace tw::entry
