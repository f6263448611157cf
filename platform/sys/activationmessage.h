// The request that a second start of the program sends to the running one: "come to the
// front", with the newcomer's command line and working folder.
//
// Wire form (all integers unsigned 32-bit little-endian):
//   "TWAC"  version (1)  process id  folder length, folder bytes
//   argument count, then for each argument: length, bytes
// The message is at most MaxActivationMessage bytes and holds at most MaxActivationArguments
// arguments; the sender closes its writing side after it, and the receiver answers with the
// single byte ActivationAccepted once the request has been handed on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct ActivationRequest {
  std::uint32_t ProcessId = 0;
  std::string WorkingFolder;
  std::vector<std::string> Arguments;  // the newcomer's command line, program name first
};

inline constexpr std::size_t MaxActivationMessage = 64 * 1024;
inline constexpr std::size_t MaxActivationArguments = 1024;
inline constexpr char ActivationAccepted = 'A';

// The wire form; raises EInvalidOperation when the request does not fit the limits.
std::string EncodeActivationRequest(const ActivationRequest& request);
// Reads a whole message; false with a reason when it is not one (truncated, too long,
// trailing bytes, wrong magic or version).  Never raises.
bool DecodeActivationRequest(std::string_view bytes, ActivationRequest& request, std::string& error);

}  // namespace tw
