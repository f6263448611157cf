// The exception family of the entry-field library.  Each class reads its message from the
// entry-field string table; none of the constructors raises anything else.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/typinfo.h"
#include "platform/rtl/exceptions.h"

namespace tw::entry {

// Data types of the entry fields (the simple field's list is the same without the last two).
enum class TPictureDataType : std::uint8_t {
  pftString, pftChar, pftBoolean, pftYesNo, pftLongInt, pftWord, pftInteger, pftByte, pftShortInt,
  pftReal, pftExtended, pftDouble, pftSingle, pftComp, pftDate, pftTime
};
TW_ENUM_NAMES(TPictureDataType, "pftString", "pftChar", "pftBoolean", "pftYesNo", "pftLongInt", "pftWord",
              "pftInteger", "pftByte", "pftShortInt", "pftReal", "pftExtended", "pftDouble", "pftSingle", "pftComp",
              "pftDate", "pftTime");

// Numbers of the entry-field texts used by the exceptions.
namespace fktext {
constexpr std::uint16_t DuplicateCommand = 34169;
constexpr std::uint16_t TableNotFound = 34170;
constexpr std::uint16_t NoController = 34172;
constexpr std::uint16_t ParamInvalid = 34188;
constexpr std::uint16_t NoTimers = 34189;
constexpr std::uint16_t InvalidDataType = 34194;
constexpr std::uint16_t InvalidPictureMask = 34202;
constexpr std::uint16_t RangeInt = 34203;
constexpr std::uint16_t RangeOther = 34211;
constexpr std::uint16_t DateForMask = 34227;
constexpr std::uint16_t ValueOutOfRange = 34268;
}  // namespace fktext

class EFkException : public Exception {
 public:
  using Exception::Exception;
  // The message is the entry-field text of that number.
  static EFkException FromText(std::uint16_t id);
};

#define TW_FK_EXCEPTION(Name, Base, TextId)                  \
  class Name : public Base {                                 \
   public:                                                   \
    using Base::Base;                                        \
    Name();                                                  \
  }
#define TW_FK_BASE_EXCEPTION(Name, Base) \
  class Name : public Base {             \
   public:                               \
    using Base::Base;                    \
  }

TW_FK_EXCEPTION(ENoTimersAvailable, EFkException, fktext::NoTimers);
TW_FK_BASE_EXCEPTION(EControllerError, EFkException);
TW_FK_EXCEPTION(ENoControllerAssigned, EControllerError, fktext::NoController);
TW_FK_BASE_EXCEPTION(ECmdProcessorError, EFkException);
TW_FK_EXCEPTION(EDuplicateCommand, ECmdProcessorError, fktext::DuplicateCommand);
TW_FK_EXCEPTION(ETableNotFound, ECmdProcessorError, fktext::TableNotFound);
TW_FK_BASE_EXCEPTION(EEntryFieldError, EFkException);
TW_FK_EXCEPTION(EInvalidDataType, EEntryFieldError, fktext::InvalidDataType);
TW_FK_EXCEPTION(EInvalidDateForMask, EEntryFieldError, fktext::DateForMask);

#undef TW_FK_EXCEPTION
#undef TW_FK_BASE_EXCEPTION

class EInvalidPictureMask : public EEntryFieldError {
 public:
  explicit EInvalidPictureMask(const std::string& mask);
};

// The text names the valid range of the data type.
class EInvalidRangeValue : public EEntryFieldError {
 public:
  explicit EInvalidRangeValue(TPictureDataType type);
};

}  // namespace tw::entry
