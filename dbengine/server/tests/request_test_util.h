// Request-level helpers: a payload writer, a reply recorder and a fixture that talks to the
// engine only through the command handler.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbengine/base/serverlog.h"
#include "dbengine/server/command_handler.h"
#include "platform/classes/streams.h"
#include "server_test_util.h"

namespace tw::dbengine::testing {

inline std::uint16_t QNGetU16(const std::uint8_t* P) { return static_cast<std::uint16_t>(P[0] | (P[1] << 8)); }

class Payload {
 public:
  Payload& U8(std::uint8_t V) {
    b_.push_back(V);
    return *this;
  }
  Payload& U32(std::uint32_t V) {
    for (int i = 0; i < 4; ++i) b_.push_back(static_cast<std::uint8_t>(V >> (8 * i)));
    return *this;
  }
  Payload& Name(const std::string& S) { return Fixed(S, 32); }
  Payload& Path(const std::string& S) { return Fixed(S, 220); }
  Payload& Fixed(const std::string& S, std::size_t Size) {
    std::vector<std::uint8_t> f(Size, 0);
    f[0] = static_cast<std::uint8_t>(std::min(S.size(), Size - 1));
    std::memcpy(f.data() + 1, S.data(), f[0]);
    return Bytes(f);
  }
  Payload& Bytes(const std::vector<std::uint8_t>& V) {
    b_.insert(b_.end(), V.begin(), V.end());
    return *this;
  }
  const std::vector<std::uint8_t>& Data() const { return b_; }

 private:
  std::vector<std::uint8_t> b_;
};

// The index-description record of an AddIndex request: a one-field index "ByArc" on field 3.
inline std::vector<std::uint8_t> ByArcIndexDescription() {
  std::vector<std::uint8_t> desc(179, 0);
  desc[4] = 5;
  std::memcpy(desc.data() + 5, "ByArc", 5);
  QNPutI32(desc.data() + 108, 1);
  QNPutI32(desc.data() + 112, 3);
  desc[176] = 1;
  desc[177] = 1;
  return desc;
}

struct SentReply {
  std::uint32_t MessageID;
  std::uint32_t ClientID;
  std::uint16_t Result;
  std::vector<std::uint8_t> Data;
  bool IsStream;
};

class RecordingSink : public TqnReplySink {
 public:
  void SendReply(std::uint32_t MessageID, std::uint32_t ClientID, std::uint16_t ResultCode, const std::uint8_t* Data,
                 std::size_t Length, bool IsStream) override {
    if (ResultCode != 0) Length = 0;
    Replies.push_back({MessageID, ClientID, ResultCode,
                       Data != nullptr ? std::vector<std::uint8_t>(Data, Data + Length) : std::vector<std::uint8_t>(),
                       IsStream});
  }
  std::uint32_t ConnectionCode() const override { return 0x5EED1234u; }
  std::vector<SentReply> Replies;
};

class RequestFixture : public ::testing::Test {
 protected:
  RequestFixture() : engine(std::make_unique<TqnServerEngine>()), handler(*engine, sink) { QNLogRequests = false; }
  ~RequestFixture() override {
    engine->WaitForRebuilds();
  }

  // Sends a request and returns its reply (the last one sent); a request that got no reply
  // gives message id 0.
  // With Kept, the request is one message tried again and again: what the handler keeps with it
  // for its next try stays in Kept, as the queue keeps it with a deferred message.
  SentReply Send(std::uint32_t Id, const Payload& P, bool CanRetry = false, std::uint32_t Client = 1,
                 std::vector<std::uint8_t>* Kept = nullptr) {
    const std::size_t before = sink.Replies.size();
    TqnServerRequest r;
    r.MessageID = Id;
    r.ClientID = Client;
    r.Data = P.Data().data();
    r.Length = P.Data().size();
    r.CanRetry = CanRetry;
    r.RetryState = Kept;
    lastRetry = handler.Dispatch(r);
    if (sink.Replies.size() == before) return SentReply{0, 0, 0, {}, false};
    return sink.Replies.back();
  }
  static std::uint32_t U32At(const std::vector<std::uint8_t>& D, std::size_t At) { return QNGetU32(D.data() + At); }

  // Attaches client 1, opens the scratch folder and builds the texts table.
  void Standard() {
    ASSERT_EQ(Send(qnmAttachServer, Payload().Name("t").Name("")).Result, 0);
    const SentReply d = Send(qnmDatabaseOpenNoAlias, Payload().Path(folder.Path()).U8(1).U8(1));
    ASSERT_EQ(d.Result, 0);
    db = U32At(d.Data, 0);
    TqnDataDictionary dict(4096);
    TextsDictionary(dict);
    TMemoryStream s;
    dict.WriteToStream(s);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(s.Size()));
    s.SetPosition(0);
    s.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    ASSERT_EQ(Send(qnmBuildTable, Payload().U32(db).U8(0).Name("Texts").Bytes(bytes)).Result, 0);
    cursor = OpenTexts(1);
  }
  std::uint32_t OpenTexts(std::int32_t Index) {
    const SentReply o = Send(qnmOpenTable, Payload().U32(db).Name("Texts").Name("").U32(static_cast<std::uint32_t>(Index)).U8(1).U8(1));
    EXPECT_EQ(o.Result, 0);
    EXPECT_TRUE(o.IsStream);
    return o.Data.size() >= 4 ? U32At(o.Data, 0) : 0;
  }
  const TqnDataDictionary& Dict() { return engine->FindCursor(cursor)->Table->Dictionary(); }
  std::uint32_t RecLen() { return static_cast<std::uint32_t>(engine->CursorRecordLength(cursor)); }
  std::uint32_t BmSize() { return static_cast<std::uint32_t>(engine->BookmarkSize(cursor)); }

  ScratchFolder folder;
  std::unique_ptr<TqnServerEngine> engine;
  RecordingSink sink;
  TqnServerCommandHandler handler;
  bool lastRetry = false;
  std::uint32_t db = 0, cursor = 0;
};

}  // namespace tw::dbengine::testing
