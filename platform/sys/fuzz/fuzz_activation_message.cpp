// Reads arbitrary bytes as a newcomer's activation request; a request that reads must come
// back unchanged through the encoder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sys/activationmessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tw::ActivationRequest request;
  std::string error;
  if (tw::DecodeActivationRequest(bytes, request, error)) {
    if (tw::EncodeActivationRequest(request) != bytes) __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
