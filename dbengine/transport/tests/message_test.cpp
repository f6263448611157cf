// Framing of messages into parts, the reply bundle, the datagrams and the scrambling pad.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dbengine/base/errors.h"
#include "dbengine/transport/message.h"

namespace tw::dbengine {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return v;
}

struct Parts {
  std::vector<std::vector<std::uint8_t>> list;
  int acks = 0;
};

Parts Cut(const TqnOutgoingMessage& m) {
  Parts p;
  QNSendMessageParts(
      m, [&](const std::uint8_t* d, std::size_t n) { p.list.emplace_back(d, d + n); }, [&] { ++p.acks; });
  return p;
}

TEST(MessageHeader, FieldsSitAtTheirOffsetsLittleEndian) {
  TqnMessageHeader h;
  h.MessageID = 0x01020304;
  h.PartLength = 0x0A0B0C0D;
  h.TotalDataLength = 0x11121314;
  h.ClientID = 0x21222324;
  h.ResultCode = 0x3132;
  h.TimeOut = 10000;
  h.FirstPart = 1;
  h.LastPart = 0;
  h.DataIsStream = 1;
  h.Reserved = 255;
  std::uint8_t b[24];
  h.WriteTo(b);
  const std::uint8_t expect[24] = {4, 3, 2, 1, 0x0D, 0x0C, 0x0B, 0x0A, 0x14, 0x13, 0x12, 0x11,
                                   0x24, 0x23, 0x22, 0x21, 0x32, 0x31, 0x10, 0x27, 1, 0, 1, 255};
  EXPECT_EQ(0, std::memcmp(b, expect, 24));
  TqnMessageHeader r;
  ASSERT_TRUE(TqnMessageHeader::ReadFrom(b, 24, r));
  EXPECT_EQ(r.ClientID, h.ClientID);
  EXPECT_EQ(r.TimeOut, 10000);
  EXPECT_EQ(r.Reserved, 255);
  for (std::size_t n = 0; n < 24; ++n) EXPECT_FALSE(TqnMessageHeader::ReadFrom(b, n, r)) << n;
}

TEST(MessageParts, CutAtTwoThousandTwentyFourBytesWithAcknowledgementsBetween) {
  auto data = Pattern(2024);
  TqnOutgoingMessage m;
  m.MessageID = 2056;
  m.ClientID = 77;
  m.Data = data.data();
  m.DataLength = data.size();
  Parts one = Cut(m);
  ASSERT_EQ(one.list.size(), 1u);
  EXPECT_EQ(one.list[0].size(), 2048u);
  EXPECT_EQ(one.acks, 0);

  data = Pattern(2025);
  m.Data = data.data();
  m.DataLength = data.size();
  Parts two = Cut(m);
  ASSERT_EQ(two.list.size(), 2u);
  EXPECT_EQ(two.acks, 1);
  TqnMessageHeader a, b;
  TqnMessageHeader::ReadFrom(two.list[0].data(), 24, a);
  TqnMessageHeader::ReadFrom(two.list[1].data(), 24, b);
  EXPECT_EQ(a.PartLength, 2048u);
  EXPECT_EQ(b.PartLength, 25u);
  EXPECT_EQ(a.TotalDataLength, 2025u);
  EXPECT_TRUE(a.FirstPart && !a.LastPart);
  EXPECT_TRUE(!b.FirstPart && b.LastPart);
  EXPECT_EQ(a.TimeOut, 10000);
  EXPECT_EQ(b.Reserved, 0);
  // The data comes back whole and in order.
  std::vector<std::uint8_t> joined(two.list[0].begin() + 24, two.list[0].end());
  joined.insert(joined.end(), two.list[1].begin() + 24, two.list[1].end());
  EXPECT_EQ(joined, data);
}

TEST(MessageParts, EmptyMessagesAndFailedRepliesAreOneHeader) {
  TqnOutgoingMessage m;
  m.MessageID = qnmsgCheckSecureComms;
  Parts p = Cut(m);
  ASSERT_EQ(p.list.size(), 1u);
  EXPECT_EQ(p.list[0].size(), 24u);

  auto data = Pattern(5000);
  m.IsReply = true;
  m.ResultCode = qnresRecordLocked;
  m.Data = data.data();
  m.DataLength = data.size();
  m.IsStream = true;
  p = Cut(m);
  ASSERT_EQ(p.list.size(), 1u);
  TqnMessageHeader h;
  TqnMessageHeader::ReadFrom(p.list[0].data(), 24, h);
  EXPECT_EQ(h.TotalDataLength, 0u);
  EXPECT_EQ(h.DataIsStream, 0);
  EXPECT_EQ(h.ResultCode, qnresRecordLocked);
  EXPECT_EQ(h.TimeOut, 0);
  EXPECT_EQ(h.Reserved, 255);
}

TEST(MessageParts, CheckRefusesEveryInconsistentPart) {
  auto data = Pattern(100);
  TqnOutgoingMessage m;
  m.MessageID = 300;
  m.Data = data.data();
  m.DataLength = data.size();
  auto part = Cut(m).list[0];
  EXPECT_EQ(QNCheckPart(part.data(), part.size()), TqnPartCheck::Ok);
  for (std::size_t n = 0; n < part.size(); ++n)
    EXPECT_NE(QNCheckPart(part.data(), n), TqnPartCheck::Ok) << "truncated to " << n;
  auto big = part;
  QNPutU32(big.data() + 8, kQnMaxMessageData + 1);
  EXPECT_EQ(QNCheckPart(big.data(), big.size()), TqnPartCheck::TooLarge);
  auto beyond = part;
  QNPutU32(beyond.data() + 8, 10);
  EXPECT_EQ(QNCheckPart(beyond.data(), beyond.size()), TqnPartCheck::DataBeyondTotal);
}

TEST(Scrambling, PadIsTheCongruentialSequenceAndScramblingIsItsOwnInverse) {
  TqnScramblePad pad;
  BuildScramblePad(12345, pad);
  // By hand: (12345 * 7141 + 54773) mod 259200 = 82418, and 82418 * 256 div 259200 = 81.
  EXPECT_EQ(pad[0], 81);
  TqnScramblePad neg;
  BuildScramblePad(-5, neg);  // negative seeds give negative x, low 8 bits as they fall
  EXPECT_NE(neg, pad);

  auto data = Pattern(3000);
  TqnOutgoingMessage m;
  m.MessageID = 2049;
  m.Data = data.data();
  m.DataLength = 2000;
  auto part = Cut(m).list[0];
  auto copy = part;
  ScrambleMessage(pad, copy.data(), copy.size());
  EXPECT_EQ(0, std::memcmp(copy.data(), part.data(), 8)) << "bytes 0 to 7 travel in plain";
  EXPECT_NE(copy, part);
  EXPECT_EQ(copy[8], part[8] ^ pad[0]);
  EXPECT_EQ(copy[8 + 256], part[8 + 256] ^ pad[0]);
  ScrambleMessage(pad, copy.data(), copy.size());
  EXPECT_EQ(copy, part);
}

TEST(Scrambling, EveryByteFromTheNinthOnIsXoredWithItsPadByteWhateverTheLength) {
  TqnScramblePad pad;
  BuildScramblePad(4711, pad);
  for (std::size_t length : {9, 15, 16, 17, 263, 264, 265, 520, 777}) {
    auto plain = Pattern(length);
    auto copy = plain;
    ScrambleMessage(pad, copy.data(), copy.size());
    for (std::size_t i = 8; i < length; ++i) ASSERT_EQ(copy[i], plain[i] ^ pad[(i - 8) & 0xFF]) << length << " " << i;
  }
}

TEST(Scrambling, ScrambledCopyMatchesScramblingInPlaceAndLeavesTheSourceAlone) {
  TqnScramblePad pad;
  BuildScramblePad(-31337, pad);
  for (std::size_t length : {0, 1, 8, 9, 40, 263, 264, 265, 777, 2048}) {
    auto plain = Pattern(length);
    auto expected = plain;
    ScrambleMessage(pad, expected.data(), expected.size());
    std::vector<std::uint8_t> copy(length, 0xEE);
    ScrambledCopy(pad, plain.data(), copy.data(), length);
    EXPECT_EQ(copy, expected) << length;
    EXPECT_EQ(plain, Pattern(length)) << length;
  }
  auto attach = Pattern(40);
  QNPutU32(attach.data(), qnmsgAttachServer);
  std::vector<std::uint8_t> copy(attach.size());
  ScrambledCopy(pad, attach.data(), copy.data(), attach.size());
  EXPECT_EQ(copy, attach);
}

TEST(Scrambling, AttachRequestsAndShortMessagesStayPlain) {
  TqnScramblePad pad;
  BuildScramblePad(99, pad);
  auto attach = Pattern(40);
  QNPutU32(attach.data(), qnmsgAttachServer);
  auto copy = attach;
  ScrambleMessage(pad, copy.data(), copy.size());
  EXPECT_EQ(copy, attach);
  auto shortMsg = Pattern(8);
  copy = shortMsg;
  ScrambleMessage(pad, copy.data(), copy.size());
  EXPECT_EQ(copy, shortMsg);
  auto ack = QNMakeAcknowledge(5);
  std::vector<std::uint8_t> a(ack.begin(), ack.end()), b = a;
  ScrambleMessage(pad, b.data(), b.size());
  EXPECT_NE(a, b) << "acknowledgements are scrambled too";
}

TEST(ReplyBundle, RecordsRoundTripAndStopAtTheFirstFailure) {
  std::vector<std::uint8_t> buf;
  auto rec = Pattern(30);
  auto bm = Pattern(4);
  std::size_t pos = AddBundledReply(buf, 0, 2049, 0, false, rec.data(), rec.size());
  EXPECT_EQ(pos, 42u);
  pos = AddBundledReply(buf, pos, 1795, 0, true, bm.data(), bm.size());
  EXPECT_EQ(pos, buf.size());
  bool damaged = true;
  auto replies = QNSplitReplyBundle(buf.data(), buf.size(), damaged);
  EXPECT_FALSE(damaged);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].MessageID, 2049u);
  EXPECT_EQ(replies[0].Data, rec);
  EXPECT_TRUE(replies[1].IsStream);
  EXPECT_EQ(replies[1].Data, bm);

  std::vector<std::uint8_t> failing;
  pos = AddBundledReply(failing, 0, 2049, qnresAtEOF, false, nullptr, 0);
  AddBundledReply(failing, pos, 1795, 0, false, bm.data(), bm.size());
  replies = QNSplitReplyBundle(failing.data(), failing.size(), damaged);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].ResultCode, qnresAtEOF);
}

TEST(ReplyBundle, DamagedRecordsEndTheSplitWithoutReadingPastTheData) {
  std::vector<std::uint8_t> buf;
  auto rec = Pattern(10);
  std::size_t pos = AddBundledReply(buf, 0, 2049, 0, false, rec.data(), rec.size());
  AddBundledReply(buf, pos, 1795, 0, false, rec.data(), rec.size());
  for (std::size_t n = 0; n < buf.size(); ++n) {
    bool damaged = false;
    auto replies = QNSplitReplyBundle(buf.data(), n, damaged);
    EXPECT_EQ(damaged, n != 0 && n != pos) << n;
    EXPECT_EQ(replies.size(), n >= pos ? 1u : 0u) << n;
  }
  auto bad = buf;
  QNPutU32(bad.data() + 4, 3);  // shorter than its own header
  bool damaged = false;
  EXPECT_TRUE(QNSplitReplyBundle(bad.data(), bad.size(), damaged).empty());
  EXPECT_TRUE(damaged);
}

TEST(Datagrams, ServerAnswerRoundTripsAndRefusesDamage) {
  auto a = QNMakeServerAnswer("SingleEXE", "127.0.0.1");
  std::string station, net;
  ASSERT_TRUE(QNParseServerAnswer(a.data(), a.size(), station, net));
  EXPECT_EQ(station, "SingleEXE");
  EXPECT_EQ(net, "127.0.0.1");
  for (std::size_t n = 0; n < a.size(); ++n) EXPECT_FALSE(QNParseServerAnswer(a.data(), n, station, net));
  auto bad = a;
  bad[4] = 200;
  EXPECT_FALSE(QNParseServerAnswer(bad.data(), bad.size(), station, net));
  auto q = QNMakeServerQuery();
  EXPECT_TRUE(QNIsServerQuery(q.data(), 4));
  EXPECT_FALSE(QNIsServerQuery(q.data(), 3));
}

}  // namespace
}  // namespace tw::dbengine
