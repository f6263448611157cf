// The exception family of the platform layer.  Every library of the program derives its own
// family from `Exception`; the message is the text the user sees.
#pragma once

#include <exception>
#include <string>

namespace tw {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  Exception(std::string message, int helpContext) : message_(std::move(message)), helpContext_(helpContext) {}

  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  int HelpContext() const noexcept { return helpContext_; }
  void SetHelpContext(int context) noexcept { helpContext_ = context; }

  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
  int helpContext_ = 0;
};

// The text an exception tells the user: an Exception's message, else what() says.
inline std::string ExceptionMessage(const std::exception& e) {
  const auto* own = dynamic_cast<const Exception*>(&e);
  return own != nullptr ? own->Message() : std::string(e.what());
}

#define TW_DECLARE_EXCEPTION(Name, Base)   \
  class Name : public Base {               \
   public:                                 \
    using Base::Base;                      \
  }

// Silent exception: ends an operation without a message.
TW_DECLARE_EXCEPTION(EAbort, Exception);
TW_DECLARE_EXCEPTION(EConvertError, Exception);
TW_DECLARE_EXCEPTION(EOutOfMemory, Exception);
TW_DECLARE_EXCEPTION(EInvalidPointer, Exception);
TW_DECLARE_EXCEPTION(EInvalidCast, Exception);
TW_DECLARE_EXCEPTION(EInvalidOperation, Exception);
TW_DECLARE_EXCEPTION(EListError, Exception);
TW_DECLARE_EXCEPTION(EStringListError, Exception);
TW_DECLARE_EXCEPTION(EComponentError, Exception);
TW_DECLARE_EXCEPTION(EPropertyError, Exception);
TW_DECLARE_EXCEPTION(EStreamError, Exception);
TW_DECLARE_EXCEPTION(EFCreateError, EStreamError);
TW_DECLARE_EXCEPTION(EFOpenError, EStreamError);
TW_DECLARE_EXCEPTION(EFilerError, EStreamError);
TW_DECLARE_EXCEPTION(EReadError, EFilerError);
TW_DECLARE_EXCEPTION(EWriteError, EFilerError);
TW_DECLARE_EXCEPTION(EClassNotFound, EFilerError);
TW_DECLARE_EXCEPTION(EResNotFound, Exception);
TW_DECLARE_EXCEPTION(EThread, Exception);
TW_DECLARE_EXCEPTION(EIntError, Exception);
TW_DECLARE_EXCEPTION(EDivByZero, EIntError);
TW_DECLARE_EXCEPTION(ERangeError, EIntError);
TW_DECLARE_EXCEPTION(EIntOverflow, EIntError);
TW_DECLARE_EXCEPTION(EMathError, Exception);
TW_DECLARE_EXCEPTION(EInvalidOp, EMathError);
TW_DECLARE_EXCEPTION(EZeroDivide, EMathError);
TW_DECLARE_EXCEPTION(EOverflow, EMathError);
TW_DECLARE_EXCEPTION(EUnderflow, EMathError);
TW_DECLARE_EXCEPTION(ERegistryException, Exception);
TW_DECLARE_EXCEPTION(EIniFileException, Exception);
TW_DECLARE_EXCEPTION(EOSError, Exception);

// A file operation failed; ErrorCode is the runtime's I/O error number (2 file not found,
// 3 path not found, 5 access denied, 100 read past end, 101 disk write error, 103 file not open).
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};

}  // namespace tw
