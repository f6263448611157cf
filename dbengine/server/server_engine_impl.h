// Helpers shared by the engine's source files: the request bracket around a method body and
// little-endian field access.
#pragma once

#include <cstdint>
#include <exception>

#include "dbengine/base/errors.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/storage/block_layout.h"

namespace tw::dbengine {

inline void QNPutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

// Runs Body inside the request bracket; an exception becomes its result code after the bracket
// has been left.
template <typename F>
DBIResult TqnServerEngine::Guarded(F&& Body) {
  EnterRequest();
  DBIResult r = qnresSuccess;
  std::exception_ptr failure;
  try {
    r = Body();
  } catch (...) {
    failure = std::current_exception();
  }
  LeaveRequest();
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      r = ConvertServerException(e);
    } catch (...) {
      r = ConvertUnknownServerException();
    }
  }
  return r;
}

}  // namespace tw::dbengine
