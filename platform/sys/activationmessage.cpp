#include "platform/sys/activationmessage.h"

#include "platform/rtl/exceptions.h"

namespace tw {

namespace {

constexpr std::string_view kMagic = "TWAC";
constexpr std::uint32_t kVersion = 1;

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutText(std::string& out, std::string_view text) {
  PutU32(out, static_cast<std::uint32_t>(text.size()));
  out.append(text);
}

// Reads fields off the front of a message, every length checked against what is left.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}
  bool U32(std::uint32_t& v) {
    if (rest_.size() < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(rest_[i])) << (8 * i);
    rest_.remove_prefix(4);
    return true;
  }
  bool Text(std::string& s) {
    std::uint32_t n = 0;
    if (!U32(n) || n > rest_.size()) return false;
    s.assign(rest_.substr(0, n));
    rest_.remove_prefix(n);
    return true;
  }
  bool Bytes(std::string_view& s, std::size_t n) {
    if (rest_.size() < n) return false;
    s = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return true;
  }
  bool AtEnd() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

}  // namespace

std::string EncodeActivationRequest(const ActivationRequest& request) {
  if (request.Arguments.size() > MaxActivationArguments)
    throw EInvalidOperation("The command line has too many arguments to pass on");
  std::string out(kMagic);
  PutU32(out, kVersion);
  PutU32(out, request.ProcessId);
  PutText(out, request.WorkingFolder);
  PutU32(out, static_cast<std::uint32_t>(request.Arguments.size()));
  for (const auto& arg : request.Arguments) {
    if (out.size() + 4 + arg.size() > MaxActivationMessage)
      throw EInvalidOperation("The command line is too long to pass on");
    PutText(out, arg);
  }
  if (out.size() > MaxActivationMessage) throw EInvalidOperation("The command line is too long to pass on");
  return out;
}

bool DecodeActivationRequest(std::string_view bytes, ActivationRequest& request, std::string& error) {
  if (bytes.size() > MaxActivationMessage) {
    error = "the request is longer than " + std::to_string(MaxActivationMessage) + " bytes";
    return false;
  }
  Reader in(bytes);
  std::string_view magic;
  std::uint32_t version = 0;
  if (!in.Bytes(magic, kMagic.size()) || magic != kMagic) {
    error = "the request does not start with the expected mark";
    return false;
  }
  if (!in.U32(version) || version != kVersion) {
    error = "the request has an unknown version";
    return false;
  }
  ActivationRequest result;
  std::uint32_t count = 0;
  if (!in.U32(result.ProcessId) || !in.Text(result.WorkingFolder) || !in.U32(count)) {
    error = "the request is truncated";
    return false;
  }
  if (count > MaxActivationArguments) {
    error = "the request holds too many arguments";
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string arg;
    if (!in.Text(arg)) {
      error = "the request is truncated";
      return false;
    }
    result.Arguments.push_back(std::move(arg));
  }
  if (!in.AtEnd()) {
    error = "the request has bytes after its end";
    return false;
  }
  request = std::move(result);
  return true;
}

}  // namespace tw
