// The message format of the engine's transports.  A request or reply travels as one or more
// parts of at most 2048 bytes: a 24-byte header followed by at most 2024 data bytes.  Every
// field is read and written one by one, little-endian; nothing here copies a struct to the
// wire.  Also: the reply bundle (several replies in one message), the server query and answer
// datagrams, and the scrambling of parts with a 256-byte pad.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tw::dbengine {

constexpr std::size_t kQnHeaderSize = 24;
constexpr std::size_t kQnMaxPartSize = 2048;
constexpr std::size_t kQnMaxPartData = kQnMaxPartSize - kQnHeaderSize;  // 2024
// The largest message the receivers assemble; a header that announces more is refused, so a
// damaged or hostile header cannot make the receiver allocate gigabytes.
constexpr std::uint32_t kQnMaxMessageData = 64u * 1024u * 1024u;
constexpr std::uint16_t kQnRequestTimeOut = 10000;

// Message ids of the connection family and the special ids.
enum : std::uint32_t {
  qnmsgAttachServer = 1,
  qnmsgDetachServer = 2,
  qnmsgDetachJustInCase = 4,
  qnmsgPartAcknowledge = 5,
  qnmsgServerQuery = 6,
  qnmsgServerAnswer = 7,
  qnmsgCheckSecureComms = 9,
  qnmsgReplyBundle = 255,
};

struct TqnMessageHeader {
  std::uint32_t MessageID = 0;
  std::uint32_t PartLength = 0;       // header + data bytes of this part
  std::uint32_t TotalDataLength = 0;  // data bytes of the whole message
  std::uint32_t ClientID = 0;
  std::uint16_t ResultCode = 0;
  std::uint16_t TimeOut = 0;
  std::uint8_t FirstPart = 0;
  std::uint8_t LastPart = 0;
  std::uint8_t DataIsStream = 0;
  std::uint8_t Reserved = 0;

  void WriteTo(std::uint8_t* Dest) const;
  // False when fewer than 24 bytes are there.
  static bool ReadFrom(const std::uint8_t* Src, std::size_t Available, TqnMessageHeader& H);
};

// Why a received part is refused (0: it is sound).
enum class TqnPartCheck { Ok, TooShort, BadPartLength, TooLarge, DataBeyondTotal };
// Checks a part of Length bytes: a whole header, a part length equal to Length (24 to 2048), a
// total data length within kQnMaxMessageData, and a first part not carrying more than the total.
TqnPartCheck QNCheckPart(const std::uint8_t* Part, std::size_t Length);

// Little-endian field access.
inline std::uint32_t QNGetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint16_t QNGetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void QNPutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void QNPutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

// ---- Scrambling -----------------------------------------------------------------------------

using TqnScramblePad = std::array<std::uint8_t, 256>;

// Byte i of Buffer ^= Pad[i mod 256].
void XorWithPad(const TqnScramblePad& Pad, std::uint8_t* Buffer, std::size_t Count);
// The pad of a seed: a linear congruential sequence (7141, 54773, 259200) in signed 32-bit
// arithmetic.
void BuildScramblePad(std::int32_t Seed, TqnScramblePad& Pad);
// The seed used when a fresh code is asked for and the tick count happens to be 0.
constexpr std::uint32_t kQnFallbackConnectionCode = 0x5A3C96E1u;
// Scrambles (or unscrambles: it is its own inverse) bytes 8 onward of a part, unless the part
// is 8 bytes or shorter or its message id is AttachServer.
void ScrambleMessage(const TqnScramblePad& Pad, std::uint8_t* Message, std::size_t Length);
// Dest = Source XOR the pad, byte i with Pad[i mod 256], in one pass.
void XorCopyWithPad(const TqnScramblePad& Pad, const std::uint8_t* Source, std::uint8_t* Dest, std::size_t Count);
// Copies Length bytes of a part to Dest and scrambles the copy as ScrambleMessage would, in one
// pass; the part itself stays as it was.
void ScrambledCopy(const TqnScramblePad& Pad, const std::uint8_t* Message, std::uint8_t* Dest, std::size_t Length);

// ---- Cutting a message into parts -------------------------------------------------------------

// A callable borrowed for the length of one call: it refers to the caller's function object
// instead of copying it, so handing a lambda down costs no allocation.  Empty when
// default-constructed.
template <typename Signature>
class TqnCallRef;
template <typename R, typename... Args>
class TqnCallRef<R(Args...)> {
 public:
  TqnCallRef() = default;
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TqnCallRef>>>
  TqnCallRef(F&& Callable)  // NOLINT: converts implicitly, like std::function
      : FObject(const_cast<void*>(static_cast<const void*>(std::addressof(Callable)))),
        FCall([](void* Object, Args... A) -> R {
          return (*static_cast<std::remove_reference_t<F>*>(Object))(std::forward<Args>(A)...);
        }) {}
  explicit operator bool() const { return FCall != nullptr; }
  R operator()(Args... A) const { return FCall(FObject, std::forward<Args>(A)...); }

 private:
  void* FObject = nullptr;
  R (*FCall)(void*, Args...) = nullptr;
};

struct TqnOutgoingMessage {
  std::uint32_t MessageID = 0;
  std::uint32_t ClientID = 0;
  std::uint16_t ResultCode = 0;
  bool IsReply = false;  // replies: time-out 0, reserved byte 255
  bool IsStream = false;
  const std::uint8_t* Data = nullptr;
  std::size_t DataLength = 0;
};

// Cuts the message into parts and hands each (header and data, in plain) to SendPart; after
// each part but the last, calls AfterNonFinalPart when given (the acknowledgement wait).  A
// reply with a nonzero result code carries no data.  Raises EqnCommsException for a message
// above kQnMaxMessageData.
void QNSendMessageParts(const TqnOutgoingMessage& Message,
                        TqnCallRef<void(const std::uint8_t* Part, std::size_t Length)> SendPart,
                        TqnCallRef<void()> AfterNonFinalPart = {});

// The 24-byte PartAcknowledge header (client id 0 from the server, the client's own id from a
// client).
std::array<std::uint8_t, kQnHeaderSize> QNMakeAcknowledge(std::uint32_t ClientID);

// ---- Reply bundle --------------------------------------------------------------------------------

constexpr std::size_t kQnBundleRecordHeader = 12;

// Writes one reply record at Buffer[Position] (copying DataLength bytes of Data, zeros when Data
// is nullptr) and returns the next position.  Buffer grows as needed.
std::size_t AddBundledReply(std::vector<std::uint8_t>& Buffer, std::size_t Position, std::uint32_t MessageID,
                            std::uint16_t ResultCode, bool IsStream, const std::uint8_t* Data,
                            std::size_t DataLength);

struct TqnBundledReply {
  std::uint32_t MessageID = 0;
  std::uint16_t ResultCode = 0;
  bool IsStream = false;
  std::vector<std::uint8_t> Data;
};

// Splits a bundle's data into its replies, stopping after the first reply whose result code is
// not 0.  A record whose length is below 12 or runs past the data ends the split: Damaged is
// then set and the sound records before it are returned.
std::vector<TqnBundledReply> QNSplitReplyBundle(const std::uint8_t* Data, std::size_t Length, bool& Damaged);

// ---- Server query and answer datagrams ----------------------------------------------------------

constexpr std::size_t kQnServerAnswerSize = 68;
std::array<std::uint8_t, 4> QNMakeServerQuery();
bool QNIsServerQuery(const std::uint8_t* Data, std::size_t Length);
std::array<std::uint8_t, kQnServerAnswerSize> QNMakeServerAnswer(std::string_view StationName,
                                                                  std::string_view NetName);
// False unless Data is a 68-byte answer (id 7); the names are read with their length bytes
// checked against their 32-byte slots.
bool QNParseServerAnswer(const std::uint8_t* Data, std::size_t Length, std::string& StationName,
                         std::string& NetName);

}  // namespace tw::dbengine
