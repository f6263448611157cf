#include "dbengine/transport/message.h"

#include <algorithm>
#include <cstring>

#include "dbengine/base/errors.h"
#include "dbengine/base/shortstring.h"
#include "dbengine/base/stringres.h"

namespace tw::dbengine {

void TqnMessageHeader::WriteTo(std::uint8_t* d) const {
  QNPutU32(d + 0, MessageID);
  QNPutU32(d + 4, PartLength);
  QNPutU32(d + 8, TotalDataLength);
  QNPutU32(d + 12, ClientID);
  QNPutU16(d + 16, ResultCode);
  QNPutU16(d + 18, TimeOut);
  d[20] = FirstPart;
  d[21] = LastPart;
  d[22] = DataIsStream;
  d[23] = Reserved;
}

bool TqnMessageHeader::ReadFrom(const std::uint8_t* s, std::size_t Available, TqnMessageHeader& H) {
  if (s == nullptr || Available < kQnHeaderSize) return false;
  H.MessageID = QNGetU32(s + 0);
  H.PartLength = QNGetU32(s + 4);
  H.TotalDataLength = QNGetU32(s + 8);
  H.ClientID = QNGetU32(s + 12);
  H.ResultCode = QNGetU16(s + 16);
  H.TimeOut = QNGetU16(s + 18);
  H.FirstPart = s[20];
  H.LastPart = s[21];
  H.DataIsStream = s[22];
  H.Reserved = s[23];
  return true;
}

TqnPartCheck QNCheckPart(const std::uint8_t* Part, std::size_t Length) {
  TqnMessageHeader h;
  if (!TqnMessageHeader::ReadFrom(Part, Length, h)) return TqnPartCheck::TooShort;
  if (h.PartLength != Length || h.PartLength < kQnHeaderSize || h.PartLength > kQnMaxPartSize)
    return TqnPartCheck::BadPartLength;
  if (h.TotalDataLength > kQnMaxMessageData) return TqnPartCheck::TooLarge;
  if (h.FirstPart && h.PartLength - kQnHeaderSize > h.TotalDataLength) return TqnPartCheck::DataBeyondTotal;
  return TqnPartCheck::Ok;
}

void XorWithPad(const TqnScramblePad& Pad, std::uint8_t* Buffer, std::size_t Count) {
  // A pad's length at a time, so that the inner loop is a plain byte loop the compiler turns
  // into vector instructions.
  for (std::size_t done = 0; done < Count; done += Pad.size()) {
    const std::size_t n = std::min(Pad.size(), Count - done);
    std::uint8_t* b = Buffer + done;
    for (std::size_t i = 0; i < n; ++i) b[i] ^= Pad[i];
  }
}

void XorCopyWithPad(const TqnScramblePad& Pad, const std::uint8_t* Source, std::uint8_t* Dest, std::size_t Count) {
  for (std::size_t done = 0; done < Count; done += Pad.size()) {
    const std::size_t n = std::min(Pad.size(), Count - done);
    const std::uint8_t* s = Source + done;
    std::uint8_t* d = Dest + done;
    for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<std::uint8_t>(s[i] ^ Pad[i]);
  }
}

void BuildScramblePad(std::int32_t Seed, TqnScramblePad& Pad) {
  // Signed arithmetic with truncating division, as the sequence is defined; the products stay
  // well inside 32 bits because |x| < 259200.
  std::int32_t x = Seed % 259200;
  for (int i = 0; i < 256; ++i) {
    x = (x * 7141 + 54773) % 259200;
    const std::int32_t v = (x * 256) / 259200;
    Pad[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFF);
  }
}

void ScrambleMessage(const TqnScramblePad& Pad, std::uint8_t* Message, std::size_t Length) {
  if (Message == nullptr || Length < 9) return;
  if (QNGetU32(Message) == qnmsgAttachServer) return;
  XorWithPad(Pad, Message + 8, Length - 8);
}

void ScrambledCopy(const TqnScramblePad& Pad, const std::uint8_t* Message, std::uint8_t* Dest, std::size_t Length) {
  if (Length == 0) return;
  if (Length < 9 || QNGetU32(Message) == qnmsgAttachServer) {
    std::memcpy(Dest, Message, Length);
    return;
  }
  std::memcpy(Dest, Message, 8);
  XorCopyWithPad(Pad, Message + 8, Dest + 8, Length - 8);
}

void QNSendMessageParts(const TqnOutgoingMessage& M, TqnCallRef<void(const std::uint8_t*, std::size_t)> SendPart,
                        TqnCallRef<void()> AfterNonFinalPart) {
  const bool carriesData = !(M.IsReply && M.ResultCode != 0) && M.Data != nullptr;
  const std::size_t total = carriesData ? M.DataLength : 0;
  if (total > kQnMaxMessageData)
    QNRaiseErrorFmt<EqnCommsException>(qnGeneralStrings(), qnerrInvalidParameter,
                                       {std::string("QNSendMessageParts"), 1});

  TqnMessageHeader h;
  h.MessageID = M.MessageID;
  h.TotalDataLength = static_cast<std::uint32_t>(total);
  h.ClientID = M.ClientID;
  h.ResultCode = M.ResultCode;
  h.TimeOut = M.IsReply ? 0 : kQnRequestTimeOut;
  h.DataIsStream = (carriesData && M.IsStream) ? 1 : 0;
  h.Reserved = M.IsReply ? 255 : 0;

  std::uint8_t part[kQnMaxPartSize];
  std::size_t remaining = total, offset = 0;
  bool first = true;
  for (;;) {
    const std::size_t n = std::min(remaining, kQnMaxPartData);
    const bool last = n == remaining;
    h.PartLength = static_cast<std::uint32_t>(n + kQnHeaderSize);
    h.FirstPart = first ? 1 : 0;
    h.LastPart = last ? 1 : 0;
    h.WriteTo(part);
    if (n) std::memcpy(part + kQnHeaderSize, M.Data + offset, n);
    SendPart(part, n + kQnHeaderSize);
    if (last) break;
    if (AfterNonFinalPart) AfterNonFinalPart();
    remaining -= n;
    offset += n;
    first = false;
  }
}

std::array<std::uint8_t, kQnHeaderSize> QNMakeAcknowledge(std::uint32_t ClientID) {
  TqnMessageHeader h;
  h.MessageID = qnmsgPartAcknowledge;
  h.PartLength = kQnHeaderSize;
  h.ClientID = ClientID;
  h.FirstPart = 1;
  h.LastPart = 1;
  std::array<std::uint8_t, kQnHeaderSize> a{};
  h.WriteTo(a.data());
  return a;
}

std::size_t AddBundledReply(std::vector<std::uint8_t>& Buffer, std::size_t Position, std::uint32_t MessageID,
                            std::uint16_t ResultCode, bool IsStream, const std::uint8_t* Data,
                            std::size_t DataLength) {
  const std::size_t end = Position + kQnBundleRecordHeader + DataLength;
  if (Buffer.size() < end) Buffer.resize(end, 0);
  std::uint8_t* p = Buffer.data() + Position;
  QNPutU32(p, MessageID);
  QNPutU32(p + 4, static_cast<std::uint32_t>(kQnBundleRecordHeader + DataLength));
  QNPutU16(p + 8, ResultCode);
  p[10] = IsStream ? 1 : 0;
  p[11] = 0;
  if (DataLength) {
    if (Data == nullptr)
      std::memset(p + kQnBundleRecordHeader, 0, DataLength);
    else if (Data != p + kQnBundleRecordHeader)
      std::memmove(p + kQnBundleRecordHeader, Data, DataLength);
  }
  return end;
}

std::vector<TqnBundledReply> QNSplitReplyBundle(const std::uint8_t* Data, std::size_t Length, bool& Damaged) {
  std::vector<TqnBundledReply> out;
  Damaged = false;
  std::size_t pos = 0;
  while (pos < Length) {
    if (Length - pos < kQnBundleRecordHeader) {
      Damaged = true;
      break;
    }
    const std::uint8_t* p = Data + pos;
    const std::uint32_t len = QNGetU32(p + 4);
    if (len < kQnBundleRecordHeader || len > Length - pos) {
      Damaged = true;
      break;
    }
    TqnBundledReply r;
    r.MessageID = QNGetU32(p);
    r.ResultCode = QNGetU16(p + 8);
    r.IsStream = p[10] != 0;
    r.Data.assign(p + kQnBundleRecordHeader, p + len);
    const bool failed = r.ResultCode != 0;
    out.push_back(std::move(r));
    pos += len;
    if (failed) break;
  }
  return out;
}

std::array<std::uint8_t, 4> QNMakeServerQuery() {
  std::array<std::uint8_t, 4> q{};
  QNPutU32(q.data(), qnmsgServerQuery);
  return q;
}

bool QNIsServerQuery(const std::uint8_t* Data, std::size_t Length) {
  return Data != nullptr && Length == 4 && QNGetU32(Data) == qnmsgServerQuery;
}

std::array<std::uint8_t, kQnServerAnswerSize> QNMakeServerAnswer(std::string_view StationName,
                                                                  std::string_view NetName) {
  std::array<std::uint8_t, kQnServerAnswerSize> a{};
  QNPutU32(a.data(), qnmsgServerAnswer);
  TqnName(StationName).WriteTo(a.data() + 4);
  TqnName(NetName).WriteTo(a.data() + 36);
  return a;
}

bool QNParseServerAnswer(const std::uint8_t* Data, std::size_t Length, std::string& StationName,
                         std::string& NetName) {
  if (Data == nullptr || Length != kQnServerAnswerSize || QNGetU32(Data) != qnmsgServerAnswer) return false;
  if (Data[4] > kQnMaxName || Data[36] > kQnMaxName) return false;
  StationName = TqnName::ReadFrom(Data + 4, 32).Str();
  NetName = TqnName::ReadFrom(Data + 36, 32).Str();
  return true;
}

}  // namespace tw::dbengine
