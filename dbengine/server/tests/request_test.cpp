#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "request_test_util.h"

namespace tw::dbengine::testing {
namespace {

class Requests : public RequestFixture {
 protected:
  Requests() { Standard(); }

  std::vector<std::uint8_t> TextRecord(const std::string& Lang, int T, int R, int A, std::uint32_t Blob = 0) {
    Record r(Dict());
    r.Str(0, Lang).I16(1, static_cast<std::int16_t>(T)).I16(2, static_cast<std::int16_t>(R));
    r.I16(3, static_cast<std::int16_t>(A));
    if (Blob != 0) {
      std::uint8_t v[4];
      QNPutU32(v, Blob);
      Dict().SetRecordField(4, r.Data(), v);
    }
    return r.Bytes;
  }
  // Stores a record with a memo through requests.
  void AddText(const std::string& Lang, int T, int R, int A, const std::string& Text) {
    const SentReply b = Send(qnmCreateBLOB, Payload().U32(cursor));
    ASSERT_EQ(b.Result, 0);
    const std::uint32_t nr = U32At(b.Data, 0);
    ASSERT_EQ(Send(qnmWriteBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(static_cast<std::uint32_t>(Text.size()))
                                     .Bytes(std::vector<std::uint8_t>(Text.begin(), Text.end())))
                  .Result,
              0);
    const SentReply ins = Send(qnmRecordInsert, Payload().U32(cursor).U32(RecLen()).U32(BmSize()).U8(0).Bytes(
                                                    TextRecord(Lang, T, R, A, nr)));
    ASSERT_EQ(ins.MessageID, qnmReplyBundle);
    ASSERT_EQ(QNGetU16(ins.Data.data() + 8), 0) << "insert result";
  }
  // A cursor of another client (2) on the texts table, on its key index; 0 when that failed.
  std::uint32_t OpenForClient2() {
    if (Send(qnmAttachServer, Payload().Name("o").Name(""), false, 2).Result != 0) return 0;
    const SentReply d = Send(qnmDatabaseOpenNoAlias, Payload().Path(folder.Path()).U8(1).U8(1), false, 2);
    if (d.Result != 0) return 0;
    const SentReply o =
        Send(qnmOpenTable, Payload().U32(U32At(d.Data, 0)).Name("Texts").Name("").U32(1).U8(1).U8(1), false, 2);
    return o.Result == 0 ? U32At(o.Data, 0) : 0;
  }
  std::uint32_t Count() {
    const SentReply r = Send(qnmGetTableRecCount, Payload().U32(cursor));
    EXPECT_EQ(r.Result, 0);
    return r.Data.size() == 4 ? U32At(r.Data, 0) : 0xFFFFFFFF;
  }
};

TEST_F(Requests, TheMainLookupFindsTheTextByKeyAndReadsItsMemo) {
  AddText("ENG", 3, 5, 4, "Mars trine Venus");
  AddText("ENG", 3, 5, 2, "@120");
  const std::vector<std::uint8_t> key = TextRecord("ENG", 3, 5, 4);
  const SentReply found = Send(qnmRecordGetForKey, Payload().U32(cursor).U8(0).U32(0).U32(0).U32(RecLen())
                                                       .U32(static_cast<std::uint32_t>(key.size())).U32(BmSize()).Bytes(key));
  ASSERT_EQ(found.Result, 0);
  ASSERT_EQ(found.Data.size(), RecLen());
  const std::uint32_t nr = QNGetU32(found.Data.data() + Dict().FieldOffset(4));
  const SentReply len = Send(qnmGetBLOBLength, Payload().U32(cursor).U32(nr));
  ASSERT_EQ(len.Result, 0);
  const std::uint32_t n = U32At(len.Data, 0);
  const SentReply text = Send(qnmReadBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(n + 100));
  ASSERT_EQ(text.Result, 0);
  ASSERT_EQ(text.Data.size(), 4 + n) << "4 + BytesRead bytes, however large Len was";
  EXPECT_EQ(std::string(text.Data.begin() + 4, text.Data.end()), "Mars trine Venus");
  const SentReply all = Send(qnmReadBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(0xFFFFFFFF));
  ASSERT_EQ(all.Result, 0) << "a length beyond any BLOB reads what there is";
  EXPECT_EQ(all.Data.size(), 4 + n);
  const std::vector<std::uint8_t> missing = TextRecord("ENG", 3, 5, 1);
  const SentReply none = Send(qnmRecordGetForKey, Payload().U32(cursor).U8(0).U32(0).U32(0).U32(RecLen())
                                                      .U32(static_cast<std::uint32_t>(missing.size())).U32(BmSize()).Bytes(missing));
  EXPECT_EQ(none.Result, 8710);
  EXPECT_TRUE(none.Data.empty()) << "a failed request carries no data";
}

TEST_F(Requests, ConnectionRequests) {
  const SentReply a = Send(qnmAttachServer, Payload().Name("two").Name("admin"), false, 2);
  ASSERT_EQ(a.Result, 0);
  ASSERT_EQ(a.Data.size(), 13u);
  EXPECT_EQ(U32At(a.Data, 0), 2u);
  EXPECT_EQ(U32At(a.Data, 4), kQnServerVersion);
  EXPECT_EQ(U32At(a.Data, 8), 0x5EED1234u) << "not secure: the code unchanged";
  EXPECT_EQ(a.Data[12], 0);
  EXPECT_EQ(Send(qnmCheckSecureComms, Payload(), false, 2).Result, 0);
  EXPECT_EQ(Send(qnmDetachOnHangUp, Payload(), false, 2).MessageID, 0u) << "no reply";
  EXPECT_EQ(engine->ClientCount(), 1);
  EXPECT_EQ(Send(0x1234, Payload()).MessageID, 0u) << "an id without a handler";
  EXPECT_EQ(Send(0, Payload()).MessageID, 0u);
  EXPECT_EQ(Send(qnmDetachServer, Payload()).Result, 0);
  EXPECT_EQ(engine->ClientCount(), 0);
}

TEST_F(Requests, RecordReadsAnswerWithABundleOfRecordAndBookmark) {
  AddText("ENG", 1, 1, 1, "a");
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(cursor)).Result, 0);
  const SentReply next = Send(qnmRecordGetNext, Payload().U32(cursor).U32(RecLen()).U32(BmSize()).U8(0));
  ASSERT_EQ(next.MessageID, qnmReplyBundle);
  ASSERT_EQ(next.Data.size(), 24 + RecLen() + BmSize());
  EXPECT_EQ(U32At(next.Data, 0), qnmRecordGetNext);
  EXPECT_EQ(QNGetU16(next.Data.data() + 8), 0);
  EXPECT_EQ(U32At(next.Data, 12 + RecLen()), qnmGetBookmark);
  const SentReply eof = Send(qnmRecordGetNext, Payload().U32(cursor).U32(RecLen()).U32(BmSize()).U8(0));
  EXPECT_EQ(QNGetU16(eof.Data.data() + 8), 8706);
  EXPECT_EQ(U32At(eof.Data, 4), 12 + RecLen()) << "the failed record still carries RecLen bytes";
  const SentReply bare = Send(qnmRecordGet, Payload().U32(cursor).U32(0).U32(0).U8(0));
  ASSERT_EQ(bare.Data.size(), 24u);
  EXPECT_EQ(QNGetU16(bare.Data.data() + 12 + 8), qnresInvalidBookmark);
  const SentReply tooSmall = Send(qnmRecordGet, Payload().U32(cursor).U32(RecLen()).U32(4).U8(0));
  EXPECT_EQ(QNGetU16(tooSmall.Data.data() + 12 + RecLen() + 8), qnresInvalidBookmark)
      << "a bookmark that does not fit is refused, not overrun";
}

TEST_F(Requests, LockConflictsWaitWhileTheyMayAndAreAnsweredAfterwards) {
  AddText("ENG", 1, 1, 1, "a");
  // Another client's cursor on the same table.
  const std::uint32_t other = OpenForClient2();
  ASSERT_NE(other, 0u);
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(cursor)).Result, 0);
  Send(qnmRecordGetNext, Payload().U32(cursor).U32(RecLen()).U32(BmSize()).U8(1));
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(other), false, 2).Result, 0);
  Send(qnmRecordGetNext, Payload().U32(other).U32(RecLen()).U32(BmSize()).U8(0), false, 2);
  const SentReply waiting = Send(qnmRecordGet, Payload().U32(other).U32(RecLen()).U32(BmSize()).U8(1), true, 2);
  EXPECT_TRUE(lastRetry);
  EXPECT_EQ(waiting.MessageID, 0u) << "kept for a retry, no reply";
  const SentReply late = Send(qnmRecordGet, Payload().U32(other).U32(RecLen()).U32(BmSize()).U8(1), false, 2);
  EXPECT_FALSE(lastRetry);
  EXPECT_EQ(QNGetU16(late.Data.data() + 8), qnresRecordLocked);
  // A second cursor of the lock's own client cannot see the lock go while it waits (its client
  // sends one request at a time): the conflict is answered at once.
  const std::uint32_t own = OpenTexts(1);
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(own)).Result, 0);
  Send(qnmRecordGetNext, Payload().U32(own).U32(RecLen()).U32(BmSize()).U8(0));
  const SentReply atOnce = Send(qnmRecordGet, Payload().U32(own).U32(RecLen()).U32(BmSize()).U8(1), true);
  EXPECT_FALSE(lastRetry);
  EXPECT_EQ(QNGetU16(atOnce.Data.data() + 8), qnresRecordLocked);
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(cursor).U8(1)).Result, 0);
  const SentReply now = Send(qnmRecordGet, Payload().U32(other).U32(RecLen()).U32(BmSize()).U8(1), true, 2);
  EXPECT_FALSE(lastRetry);
  EXPECT_EQ(QNGetU16(now.Data.data() + 8), 0);
  const SentReply t = Send(qnmStartTransaction, Payload().U32(db).U8(0));
  ASSERT_EQ(t.Result, 0);
  Send(qnmStartTransaction, Payload().U32(db).U8(0), true);
  EXPECT_TRUE(lastRetry);
  EXPECT_EQ(Send(qnmStartTransaction, Payload().U32(db).U8(0)).Result, qnresLockConflict);
  EXPECT_EQ(Send(qnmEndTransaction, Payload().U32(U32At(t.Data, 0)).U8(1)).Result, 0);
}

// A locked read that waits for another client's record lock is one message tried again and
// again; each try starts where the first one did, and the read ends as if it had been asked when
// the lock went: on the record it waited for (changed meanwhile or not), or, when that record
// was deleted, on the record that now follows its place.
TEST_F(Requests, ALockedReadThatWaitsStartsEachTryWhereItsFirstTryStarted) {
  for (int a = 1; a <= 4; ++a) AddText("ENG", 1, 1, a * 10, "t");
  const std::uint32_t other = OpenForClient2();
  ASSERT_NE(other, 0u);
  // The read's result and the record it read (aspect and memo number).
  struct Read {
    std::uint16_t Result;
    int Aspect;
    std::uint32_t Memo;
  };
  auto read = [&](std::uint32_t Cursor, std::uint32_t Id, std::uint8_t Lock, std::uint32_t Client,
                  std::vector<std::uint8_t>* Kept = nullptr) -> Read {
    const SentReply r = Send(Id, Payload().U32(Cursor).U32(RecLen()).U32(BmSize()).U8(Lock), Kept != nullptr, Client,
                             Kept);
    if (r.MessageID == 0) return {0xFFFF, 0, 0};  // kept for a later try
    Record rec(Dict());
    std::memcpy(rec.Data(), r.Data.data() + 12, RecLen());
    return {QNGetU16(r.Data.data() + 8), rec.GetI16(3), QNGetU32(rec.Data() + Dict().FieldOffset(4))};
  };
  auto modifyMemo = [&](std::uint32_t Cursor, std::uint32_t Memo) {
    const SentReply cur = Send(qnmRecordGet, Payload().U32(Cursor).U32(RecLen()).U32(BmSize()).U8(0));
    std::vector<std::uint8_t> rec(cur.Data.begin() + 12, cur.Data.begin() + 12 + RecLen());
    std::uint8_t v[4];
    QNPutU32(v, Memo);
    Dict().SetRecordField(4, rec.data(), v);
    const SentReply m = Send(qnmRecordModify, Payload().U32(Cursor).U32(RecLen()).U32(BmSize()).U8(1).Bytes(rec));
    ASSERT_EQ(QNGetU16(m.Data.data() + 8), 0);
  };

  // Changed in place by the lock's holder while the read waits: the read ends on it, as it now is.
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(cursor)).Result, 0);
  ASSERT_EQ(read(cursor, qnmRecordGetNext, 1, 1).Aspect, 10);
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(other), false, 2).Result, 0);
  ASSERT_EQ(read(other, qnmRecordGetNext, 0, 2).Aspect, 10);
  std::vector<std::uint8_t> kept;
  EXPECT_EQ(read(other, qnmRecordGet, 1, 2, &kept).Result, 0xFFFF);
  EXPECT_TRUE(lastRetry);
  EXPECT_NE(read(other, qnmRecordGet, 0, 2).Memo, 0u);
  modifyMemo(cursor, 0);
  Read r = read(other, qnmRecordGet, 1, 2, &kept);
  EXPECT_EQ(r.Result, 0) << "not 8709: the record it waited for is there";
  EXPECT_EQ(r.Aspect, 10);
  EXPECT_EQ(r.Memo, 0u) << "as the holder left it";
  EXPECT_EQ(read(cursor, qnmRecordGet, 1, 1).Result, qnresRecordLocked) << "the waiting read holds the lock now";
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(other).U8(1), false, 2).Result, 0);

  // Deleted while the read waits: the read ends on the record that followed it.
  ASSERT_EQ(read(cursor, qnmRecordGet, 1, 1).Result, 0);
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(other), false, 2).Result, 0);
  ASSERT_EQ(read(other, qnmRecordGetNext, 0, 2).Aspect, 10);
  kept.clear();
  EXPECT_EQ(read(other, qnmRecordGet, 1, 2, &kept).Result, 0xFFFF);
  ASSERT_EQ(Send(qnmRecordDelete, Payload().U32(cursor).U32(RecLen())).Result, 0);
  r = read(other, qnmRecordGet, 1, 2, &kept);
  EXPECT_EQ(r.Result, 0);
  EXPECT_EQ(r.Aspect, 20);
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(other).U8(1), false, 2).Result, 0);

  // Started on the gap a delete left: every try reads the record after that gap, also one
  // inserted there meanwhile, not the record the first try met.
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(cursor)).Result, 0);
  ASSERT_EQ(read(cursor, qnmRecordGetNext, 0, 1).Aspect, 20);
  ASSERT_EQ(read(cursor, qnmRecordGetNext, 1, 1).Aspect, 30);
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(other), false, 2).Result, 0);
  ASSERT_EQ(read(other, qnmRecordGetNext, 0, 2).Aspect, 20);
  ASSERT_EQ(Send(qnmRecordDelete, Payload().U32(other).U32(0), false, 2).Result, 0);
  kept.clear();
  EXPECT_EQ(read(other, qnmRecordGet, 1, 2, &kept).Result, 0xFFFF) << "the record after the gap is locked";
  const SentReply ins =
      Send(qnmRecordInsert, Payload().U32(cursor).U32(RecLen()).U32(BmSize()).U8(0).Bytes(TextRecord("ENG", 1, 1, 25)));
  ASSERT_EQ(QNGetU16(ins.Data.data() + 8), 0);
  r = read(other, qnmRecordGet, 1, 2, &kept);
  EXPECT_EQ(r.Result, 0) << "30 is still locked, but no longer the record after the gap";
  EXPECT_EQ(r.Aspect, 25);
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(other).U8(1), false, 2).Result, 0);
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(cursor).U8(1)).Result, 0);

  // The last try, past the deadline, too: it answers the lock code from where the first started.
  ASSERT_EQ(read(other, qnmRecordGetNext, 0, 2).Aspect, 30);
  ASSERT_EQ(Send(qnmRecordDelete, Payload().U32(other).U32(0), false, 2).Result, 0);
  ASSERT_EQ(read(cursor, qnmRecordGetNext, 1, 1).Aspect, 40);
  kept.clear();
  EXPECT_EQ(read(other, qnmRecordGet, 1, 2, &kept).Result, 0xFFFF);
  const SentReply locked35 =
      Send(qnmRecordInsert, Payload().U32(cursor).U32(RecLen()).U32(BmSize()).U8(1).Bytes(TextRecord("ENG", 1, 1, 35)));
  ASSERT_EQ(QNGetU16(locked35.Data.data() + 8), 0);
  const SentReply late = Send(qnmRecordGet, Payload().U32(other).U32(RecLen()).U32(BmSize()).U8(1), false, 2, &kept);
  EXPECT_EQ(QNGetU16(late.Data.data() + 8), qnresRecordLocked);
  Record lateRec(Dict());
  std::memcpy(lateRec.Data(), late.Data.data() + 12, RecLen());
  EXPECT_EQ(lateRec.GetI16(3), 35) << "the record now after the gap, read all the same";
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(cursor).U8(1)).Result, 0);
  EXPECT_EQ(Count(), 3u);
  EXPECT_EQ(Joined(QNCheckTableFile(folder.File("Texts.QND"))), "");
}

// A locked step that meets another client's lock waits the same way: each try steps again from
// where the first one started, so the wait ends on the record the step reached (not the one
// after it), or on the record now next to the start when that one was deleted meanwhile.
TEST_F(Requests, ALockedStepThatWaitsStepsAgainFromWhereItStarted) {
  for (int a = 1; a <= 5; ++a) AddText("ENG", 1, 1, a * 10, "t");
  const std::uint32_t other = OpenForClient2();
  ASSERT_NE(other, 0u);
  auto step = [&](std::uint32_t Cursor, std::uint32_t Id, std::uint8_t Lock, std::uint32_t Client,
                  std::vector<std::uint8_t>* Kept = nullptr) -> std::pair<int, int> {
    const SentReply r = Send(Id, Payload().U32(Cursor).U32(RecLen()).U32(BmSize()).U8(Lock), Kept != nullptr, Client,
                             Kept);
    if (r.MessageID == 0) return {-1, 0};
    Record rec(Dict());
    std::memcpy(rec.Data(), r.Data.data() + 12, RecLen());
    return {QNGetU16(r.Data.data() + 8), rec.GetI16(3)};
  };
  using Step = std::pair<int, int>;
  // Forwards: other on 10 steps with a lock onto 20, which the first client holds.
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(cursor)).Result, 0);
  ASSERT_EQ(step(cursor, qnmRecordGetNext, 0, 1), Step(0, 10));
  ASSERT_EQ(step(cursor, qnmRecordGetNext, 1, 1), Step(0, 20));
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(other), false, 2).Result, 0);
  ASSERT_EQ(step(other, qnmRecordGetNext, 0, 2), Step(0, 10));
  std::vector<std::uint8_t> kept;
  EXPECT_EQ(step(other, qnmRecordGetNext, 1, 2, &kept), Step(-1, 0));
  EXPECT_EQ(step(other, qnmRecordGetNext, 1, 2, &kept), Step(-1, 0)) << "still locked";
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(cursor).U8(1)).Result, 0);
  EXPECT_EQ(step(other, qnmRecordGetNext, 1, 2, &kept), Step(0, 20)) << "the record it waited for, not 30";
  EXPECT_EQ(step(cursor, qnmRecordGet, 1, 1).first, qnresRecordLocked) << "and its lock";
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(other).U8(1), false, 2).Result, 0);

  // Backwards: other on 50 steps with a lock onto 40, which is deleted while it waits: it ends
  // on 30, the record now before 50.
  ASSERT_EQ(Send(qnmSetToEnd, Payload().U32(cursor)).Result, 0);
  ASSERT_EQ(step(cursor, qnmRecordGetPrev, 0, 1), Step(0, 50));
  ASSERT_EQ(step(cursor, qnmRecordGetPrev, 1, 1), Step(0, 40));
  ASSERT_EQ(Send(qnmSetToEnd, Payload().U32(other), false, 2).Result, 0);
  ASSERT_EQ(step(other, qnmRecordGetPrev, 0, 2), Step(0, 50));
  kept.clear();
  EXPECT_EQ(step(other, qnmRecordGetPrev, 1, 2, &kept), Step(-1, 0));
  ASSERT_EQ(Send(qnmRecordDelete, Payload().U32(cursor).U32(0)).Result, 0);
  EXPECT_EQ(step(other, qnmRecordGetPrev, 1, 2, &kept), Step(0, 30));
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(other).U8(1), false, 2).Result, 0);

  // Past the deadline the last try answers the lock code, standing on the locked record read.
  ASSERT_EQ(step(cursor, qnmRecordGet, 1, 1), Step(0, 50));
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(other), false, 2).Result, 0);
  ASSERT_EQ(step(other, qnmRecordGetNext, 0, 2), Step(0, 10));
  ASSERT_EQ(step(other, qnmRecordGetNext, 0, 2), Step(0, 20));
  ASSERT_EQ(step(other, qnmRecordGetNext, 0, 2), Step(0, 30));
  kept.clear();
  EXPECT_EQ(step(other, qnmRecordGetNext, 1, 2, &kept), Step(-1, 0));
  const SentReply late = Send(qnmRecordGetNext, Payload().U32(other).U32(RecLen()).U32(BmSize()).U8(1), false, 2, &kept);
  EXPECT_EQ(QNGetU16(late.Data.data() + 8), qnresRecordLocked);
  EXPECT_EQ(step(other, qnmRecordGet, 0, 2), Step(0, 50)) << "one step from 30, not two";
  ASSERT_EQ(Send(qnmRecordRelLock, Payload().U32(cursor).U8(1)).Result, 0);
}

// Without a wait, too: a locked read of a record that another client changed in place since the
// cursor reached it takes that record as it now is (a read without a lock says 8709 there).
TEST_F(Requests, ALockedReadOfARecordChangedInPlaceTakesItAsItIsNow) {
  for (int a = 1; a <= 2; ++a) AddText("ENG", 1, 1, a, "t");
  const std::uint32_t other = OpenTexts(1);
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(cursor)).Result, 0);
  ASSERT_EQ(Send(qnmSetToBegin, Payload().U32(other)).Result, 0);
  const std::uint32_t rl = RecLen(), bm = BmSize();
  Send(qnmRecordGetNext, Payload().U32(cursor).U32(rl).U32(bm).U8(0));
  const SentReply step = Send(qnmRecordGetNext, Payload().U32(other).U32(rl).U32(bm).U8(0));
  std::vector<std::uint8_t> rec(step.Data.begin() + 12, step.Data.begin() + 12 + rl);
  // A new memo: the record changes in place (its key stays).
  const SentReply created = Send(qnmCreateBLOB, Payload().U32(cursor));
  ASSERT_EQ(created.Result, 0);
  const std::uint32_t memo = U32At(created.Data, 0);
  std::uint8_t v[4];
  QNPutU32(v, memo);
  Dict().SetRecordField(4, rec.data(), v);
  const SentReply m = Send(qnmRecordModify, Payload().U32(cursor).U32(rl).U32(bm).U8(1).Bytes(rec));
  ASSERT_EQ(QNGetU16(m.Data.data() + 8), 0);
  const SentReply plain = Send(qnmRecordGet, Payload().U32(other).U32(rl).U32(bm).U8(0));
  EXPECT_EQ(QNGetU16(plain.Data.data() + 8), qnresNoCurrentRecord);
  const SentReply locked = Send(qnmRecordGet, Payload().U32(other).U32(rl).U32(bm).U8(1));
  ASSERT_EQ(QNGetU16(locked.Data.data() + 8), 0);
  EXPECT_EQ(QNGetU32(locked.Data.data() + 12 + Dict().FieldOffset(4)), memo);
  EXPECT_EQ(QNGetU16(locked.Data.data() + 12 + rl + 8), 0) << "its bookmark";
  const SentReply next = Send(qnmRecordGetNext, Payload().U32(other).U32(rl).U32(bm).U8(0));
  Record after(Dict());
  std::memcpy(after.Data(), next.Data.data() + 12, rl);
  EXPECT_EQ(after.GetI16(3), 2) << "the cursor goes on from that record";
}

TEST_F(Requests, RightsAreCheckedBeforeAnythingRuns) {
  engine->Configuration().GeneralInfo().IsSecure = true;
  engine->Configuration().AddUser("viewer", "V", 2, 77, "");
  const SentReply a = Send(qnmAttachServer, Payload().Name("v").Name("viewer"), false, 3);
  ASSERT_EQ(a.Result, 0);
  EXPECT_EQ(U32At(a.Data, 8), 0x5EED1234u ^ 77u);
  EXPECT_EQ(a.Data[12], 1);
  EXPECT_EQ(Send(qnmAttachServer, Payload().Name("x").Name("stranger"), false, 4).Result, qnresInvalidPassword);
  const SentReply d = Send(qnmDatabaseOpenNoAlias, Payload().Path(folder.Path()).U8(1).U8(1), false, 3);
  ASSERT_EQ(d.Result, 0);
  std::uint32_t before = 0, after = 0;
  ASSERT_EQ(engine->GetTableRecCount(cursor, before), 0);
  const SentReply denied = Send(qnmRecordInsert, Payload().U32(cursor).U32(RecLen()).U32(BmSize()).U8(0).Bytes(
                                                     TextRecord("ENG", 9, 9, 9)), false, 3);
  EXPECT_EQ(denied.MessageID, qnmRecordInsert);
  EXPECT_EQ(denied.Result, qnresNoRights);
  EXPECT_TRUE(denied.Data.empty());
  ASSERT_EQ(engine->GetTableRecCount(cursor, after), 0);
  EXPECT_EQ(after, before);
}

// Every request with a sound payload, in an order that leaves each one something to do.
TEST_F(Requests, EveryRequestWithASoundPayload) {
  AddText("ENG", 1, 2, 3, "memo");
  AddText("ENG", 2, 2, 3, "memo two");
  const std::uint32_t rl = RecLen(), bm = BmSize();
  const auto rec = TextRecord("ENG", 5, 5, 5);
  const std::uint32_t keyLen = static_cast<std::uint32_t>(engine->CursorKeyLength(cursor));
  std::vector<std::uint8_t> key(keyLen);
  Dict().ExtractKey(1, TextRecord("ENG", 1, 2, 3).data(), key.data());
  auto ok = [&](std::uint32_t Id, const Payload& P) {
    const SentReply r = Send(Id, P);
    EXPECT_EQ(r.Result, 0) << "message " << Id;
    return r;
  };
  ok(qnmCheckSecureComms, Payload());
  ok(qnmDatabaseAddAlias, Payload().Name("Tidewell").Path(folder.Path()));
  ok(qnmDatabaseChgAliasPath, Payload().Name("Tidewell").Path(folder.Path()));
  EXPECT_EQ(ok(qnmDatabaseAliasList, Payload()).Data.size(), 252u);
  const SentReply d2 = ok(qnmDatabaseOpen, Payload().Name("Tidewell").U8(1).U8(1));
  ok(qnmDatabaseClose, Payload().U32(U32At(d2.Data, 0)));
  ok(qnmDatabaseDeleteAlias, Payload().Name("Tidewell"));
  EXPECT_EQ(ok(qnmDatabaseTableList, Payload().U32(db).Fixed("", 36)).Data.size(), 48u);
  EXPECT_EQ(ok(qnmDatabaseInTrans, Payload().U32(db)).Data, std::vector<std::uint8_t>{0});
  const SentReply s = ok(qnmSessionAdd, Payload());
  ok(qnmSessionSetCurrent, Payload().U32(U32At(s.Data, 0)));
  EXPECT_EQ(U32At(ok(qnmSessionGetCurrent, Payload()).Data, 0), U32At(s.Data, 0));
  ok(qnmSessionClose, Payload().U32(U32At(s.Data, 0)));
  const SentReply t = ok(qnmStartTransaction, Payload().U32(db).U8(0));
  ok(qnmEndTransaction, Payload().U32(U32At(t.Data, 0)).U8(0));
  ok(qnmAcqTableLock, Payload().U32(cursor).U8(1));
  EXPECT_EQ(ok(qnmIsTableLocked, Payload().U32(cursor).U8(1)).Data, std::vector<std::uint8_t>{1});
  ok(qnmRelTableLock, Payload().U32(cursor).U8(0).U8(1));
  EXPECT_FALSE(ok(qnmGetTableDictionary, Payload().U32(db).Name("Texts")).Data.empty());
  EXPECT_EQ(U32At(ok(qnmGetTableRecCount, Payload().U32(cursor)).Data, 0), 2u);
  ok(qnmSetTableAutoIncValue, Payload().U32(cursor).U32(5));
  ok(qnmSetToBegin, Payload().U32(cursor));
  ok(qnmSetToEnd, Payload().U32(cursor));
  ok(qnmSetToKey, Payload().U32(cursor).U8(2).U8(1).U32(0).U32(0).U32(keyLen).Bytes(key));
  const SentReply b1 = ok(qnmGetBookmark, Payload().U32(cursor).U32(bm));
  ok(qnmSetToBookmark, Payload().U32(cursor).U32(bm).Bytes(b1.Data));
  EXPECT_EQ(U32At(ok(qnmCompareBookmarks, Payload().U32(cursor).U32(bm).Bytes(b1.Data).Bytes(b1.Data)).Data, 0), 0u);
  ok(qnmSwitchToIndex, Payload().U32(cursor).Name("").U32(0).U8(0));
  ok(qnmSwitchToIndex, Payload().U32(cursor).Name("Key").U32(0).U8(0));
  ok(qnmSetRange, Payload().U32(cursor).U8(1).U32(0).U32(0).U32(keyLen).U8(1).U32(0).U32(0).U32(0).U8(1).Bytes(key));
  ok(qnmResetRange, Payload().U32(cursor));
  const SentReply clone = ok(qnmCursorClone, Payload().U32(cursor).U8(1));
  EXPECT_NE(U32At(clone.Data, 0), cursor);
  ok(qnmSetToCursor, Payload().U32(U32At(clone.Data, 0)).U32(cursor));
  ok(qnmCursorClose, Payload().U32(U32At(clone.Data, 0)));
  ok(qnmSetToBegin, Payload().U32(cursor));
  EXPECT_EQ(Send(qnmRecordGetNext, Payload().U32(cursor).U32(rl).U32(bm).U8(0)).MessageID, qnmReplyBundle);
  EXPECT_EQ(Send(qnmRecordGet, Payload().U32(cursor).U32(rl).U32(bm).U8(0)).MessageID, qnmReplyBundle);
  EXPECT_EQ(Send(qnmRecordGetPrev, Payload().U32(cursor).U32(rl).U32(bm).U8(0)).MessageID, qnmReplyBundle);
  EXPECT_EQ(ok(qnmRecordExtractKey, Payload().U32(cursor).U32(keyLen).U8(0).Bytes(rec)).Data.size(), keyLen);
  ok(qnmRecordRelLock, Payload().U32(cursor).U8(1));
  const SentReply ins = Send(qnmRecordInsert, Payload().U32(cursor).U32(rl).U32(bm).U8(0).Bytes(rec));
  ASSERT_EQ(ins.Data.size(), 36 + rl + bm);
  EXPECT_EQ(U32At(ins.Data, 12), qnmRecordGet);
  auto changed = rec;
  changed[1] = 'X';
  const SentReply mod = Send(qnmRecordModify, Payload().U32(cursor).U32(rl).U32(bm).U8(0).Bytes(changed));
  EXPECT_EQ(QNGetU16(mod.Data.data() + 8), 0);
  EXPECT_EQ(ok(qnmRecordDelete, Payload().U32(cursor).U32(rl)).Data.size(), rl);
  ok(qnmSetToBegin, Payload().U32(cursor));
  const SentReply batch = ok(qnmRecordGetBatch, Payload().U32(cursor).U32(rl).U32(3));
  EXPECT_EQ(batch.Data.size(), 4 + 3 * rl);
  EXPECT_EQ(U32At(batch.Data, 0), 2u);
  const SentReply ib = ok(qnmRecordInsertBatch, Payload().U32(cursor).U32(rl).U32(1).Bytes(TextRecord("DEU", 1, 1, 1)));
  EXPECT_EQ(ib.Data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
  const SentReply blob = ok(qnmCreateBLOB, Payload().U32(cursor));
  const std::uint32_t nr = U32At(blob.Data, 0);
  ok(qnmWriteBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(3).Bytes({'a', 'b', 'c'}));
  ok(qnmTruncateBLOB, Payload().U32(cursor).U32(nr).U32(2));
  EXPECT_EQ(U32At(ok(qnmGetBLOBLength, Payload().U32(cursor).U32(nr)).Data, 0), 2u);
  ok(qnmReadBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(2));
  ok(qnmFreeBLOB, Payload().U32(cursor).U32(nr));
  ok(qnmDeleteBLOB, Payload().U32(cursor).U32(nr));
  { std::ofstream(folder.File("outside.txt")) << "file"; }
  const std::string outside = folder.File("outside.txt");
  ok(qnmAddFileBLOB, Payload().U32(cursor).U8(static_cast<std::uint8_t>(outside.size()))
                         .Bytes(std::vector<std::uint8_t>(outside.begin(), outside.end())));
  ok(qnmCursorClose, Payload().U32(cursor));
  // Table requests on a table without cursors.
  const std::vector<std::uint8_t> desc = ByArcIndexDescription();
  const SentReply ai = ok(qnmAddIndex, Payload().U32(db).U32(0).Name("Texts").Bytes(desc));
  engine->WaitForRebuilds();
  const SentReply st = ok(qnmGetRebuildStatus, Payload().U32(U32At(ai.Data, 0)));
  ASSERT_EQ(st.Data.size(), 33u);
  EXPECT_EQ(st.Data[32], 1);
  EXPECT_EQ(U32At(st.Data, 4 * rsStatusCode), 0u);
  ok(qnmDropIndex, Payload().U32(db).U32(0).Name("Texts").Name("ByArc").U32(0));
  ok(qnmReindexTable, Payload().U32(db).Name("Texts").Name("Key").U32(0));
  engine->WaitForRebuilds();
  ok(qnmPackTable, Payload().U32(db).Name("Texts"));
  engine->WaitForRebuilds();
  TqnDataDictionary dict(4096);
  TextsDictionary(dict);
  TMemoryStream ds;
  dict.WriteToStream(ds);
  std::vector<std::uint8_t> dictBytes(static_cast<std::size_t>(ds.Size()));
  ds.SetPosition(0);
  ds.ReadBuffer(dictBytes.data(), static_cast<std::int64_t>(dictBytes.size()));
  auto map = dictBytes;
  for (const std::string f : {"Lang", "TBody", "RBody", "Aspect", "Text"}) {
    map.push_back(static_cast<std::uint8_t>(f.size()));
    map.insert(map.end(), f.begin(), f.end());
  }
  map.push_back(0);
  ok(qnmRestructureTable, Payload().U32(db).Name("Texts").Bytes(map));
  engine->WaitForRebuilds();
  EXPECT_EQ(Joined(QNCheckTableFile(folder.File("Texts.QND"))), "");
  ok(qnmRenameTable, Payload().U32(db).Name("Texts").Name("Words"));
  ok(qnmEmptyTable, Payload().U32(db).U32(0).Name("Words"));
  ok(qnmDeleteTable, Payload().U32(db).Name("Words"));
  EXPECT_FALSE(folder.Exists("Words.QND"));
  ok(qnmDetachServer, Payload());
}

// Every request cut short at every length: a clear result, no crash, nothing changed.
TEST_F(Requests, EveryRequestWithATruncatedPayloadIsRefusedAndChangesNothing) {
  AddText("ENG", 1, 2, 3, "memo");
  const std::uint32_t rl = RecLen(), bm = BmSize();
  const auto rec = TextRecord("ENG", 5, 5, 5);
  const std::uint32_t nr = 1;
  std::vector<std::pair<std::uint32_t, Payload>> all = {
      {qnmAttachServer, Payload().Name("t").Name("")},
      {qnmDatabaseOpen, Payload().Name("A").U8(1).U8(1)},
      {qnmDatabaseClose, Payload().U32(db)},
      {qnmDatabaseTableList, Payload().U32(db).Fixed("", 36)},
      {qnmDatabaseAddAlias, Payload().Name("A").Path(folder.Path())},
      {qnmDatabaseOpenNoAlias, Payload().Path(folder.Path()).U8(1).U8(1)},
      {qnmDatabaseInTrans, Payload().U32(db)},
      {qnmDatabaseDeleteAlias, Payload().Name("A")},
      {qnmDatabaseChgAliasPath, Payload().Name("A").Path("/")},
      {qnmSessionClose, Payload().U32(1)},
      {qnmSessionSetCurrent, Payload().U32(1)},
      {qnmReindexTable, Payload().U32(db).Name("Texts").Name("Key").U32(0)},
      {qnmPackTable, Payload().U32(db).Name("Texts")},
      {qnmRestructureTable, Payload().U32(db).Name("Texts").U8(0)},
      {qnmGetRebuildStatus, Payload().U32(1)},
      {qnmStartTransaction, Payload().U32(db).U8(0)},
      {qnmEndTransaction, Payload().U32(1).U8(1)},
      {qnmOpenTable, Payload().U32(db).Name("Texts").Name("").U32(0).U8(1).U8(1)},
      {qnmAcqTableLock, Payload().U32(cursor).U8(2)},
      {qnmRelTableLock, Payload().U32(cursor).U8(1).U8(2)},
      {qnmIsTableLocked, Payload().U32(cursor).U8(1)},
      {qnmGetTableDictionary, Payload().U32(db).Name("Texts")},
      {qnmBuildTable, Payload().U32(db).U8(1).Name("Texts").U8(0)},
      {qnmDeleteTable, Payload().U32(db).Name("Texts")},
      {qnmRenameTable, Payload().U32(db).Name("Texts").Name("Other")},
      {qnmGetTableRecCount, Payload().U32(cursor)},
      {qnmEmptyTable, Payload().U32(db).U32(0).Name("Texts")},
      {qnmAddIndex, Payload().U32(db).U32(0).Name("Texts").Bytes(std::vector<std::uint8_t>(179, 0))},
      {qnmDropIndex, Payload().U32(db).U32(0).Name("Texts").Name("Key").U32(0)},
      {qnmSetTableAutoIncValue, Payload().U32(cursor).U32(9)},
      {qnmCreateBLOB, Payload().U32(cursor)},
      {qnmDeleteBLOB, Payload().U32(cursor).U32(nr)},
      {qnmReadBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(4)},
      {qnmGetBLOBLength, Payload().U32(cursor).U32(nr)},
      {qnmTruncateBLOB, Payload().U32(cursor).U32(nr).U32(0)},
      {qnmWriteBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(2).U8('x').U8('y')},
      {qnmFreeBLOB, Payload().U32(cursor).U32(nr)},
      {qnmAddFileBLOB, Payload().U32(cursor).U8(3).U8('a').U8('b').U8('c')},
      {qnmSetToBegin, Payload().U32(cursor)},
      {qnmSetToEnd, Payload().U32(cursor)},
      {qnmCursorClose, Payload().U32(cursor)},
      {qnmGetBookmark, Payload().U32(cursor).U32(bm)},
      {qnmSetToBookmark, Payload().U32(cursor).U32(bm).Bytes(std::vector<std::uint8_t>(bm, 0))},
      {qnmSetToKey, Payload().U32(cursor).U8(0).U8(0).U32(0).U32(0).U32(rl).Bytes(rec)},
      {qnmSwitchToIndex, Payload().U32(cursor).Name("").U32(0).U8(0)},
      {qnmSetRange, Payload().U32(cursor).U8(0).U32(0).U32(0).U32(rl).U8(1).U32(0).U32(0).U32(0).U8(1).Bytes(rec)},
      {qnmResetRange, Payload().U32(cursor)},
      {qnmCompareBookmarks, Payload().U32(cursor).U32(bm).Bytes(std::vector<std::uint8_t>(2 * bm, 0))},
      {qnmCursorClone, Payload().U32(cursor).U8(1)},
      {qnmSetToCursor, Payload().U32(cursor).U32(cursor)},
      {qnmRecordGet, Payload().U32(cursor).U32(rl).U32(bm).U8(0)},
      {qnmRecordGetNext, Payload().U32(cursor).U32(rl).U32(bm).U8(0)},
      {qnmRecordGetPrev, Payload().U32(cursor).U32(rl).U32(bm).U8(0)},
      {qnmRecordRelLock, Payload().U32(cursor).U8(1)},
      {qnmRecordDelete, Payload().U32(cursor).U32(rl)},
      {qnmRecordInsert, Payload().U32(cursor).U32(rl).U32(bm).U8(0).Bytes(rec)},
      {qnmRecordModify, Payload().U32(cursor).U32(rl).U32(bm).U8(0).Bytes(rec)},
      {qnmRecordExtractKey, Payload().U32(cursor).U32(8).U8(0).Bytes(rec)},
      {qnmRecordGetForKey, Payload().U32(cursor).U8(0).U32(0).U32(0).U32(rl).U32(rl).U32(bm).Bytes(rec)},
      {qnmRecordGetBatch, Payload().U32(cursor).U32(rl).U32(2)},
      {qnmRecordInsertBatch, Payload().U32(cursor).U32(rl).U32(1).Bytes(rec)},
  };
  const auto before = Count();
  const int clients = engine->ClientCount(), databases = engine->DatabaseCount(), cursors = engine->CursorCount();
  for (const auto& [id, p] : all) {
    for (std::size_t len = 0; len < p.Data().size(); ++len) {
      Payload cut;
      cut.Bytes(std::vector<std::uint8_t>(p.Data().begin(), p.Data().begin() + static_cast<std::ptrdiff_t>(len)));
      const SentReply r = Send(id, cut);
      ASSERT_EQ(r.MessageID, id) << "message " << id << " cut to " << len;
      EXPECT_NE(r.Result, 0) << "message " << id << " cut to " << len;
      EXPECT_TRUE(r.Data.empty());
    }
  }
  engine->WaitForRebuilds();
  EXPECT_EQ(Count(), before);
  EXPECT_EQ(engine->ClientCount(), clients);
  EXPECT_EQ(engine->DatabaseCount(), databases);
  EXPECT_EQ(engine->CursorCount(), cursors);
  EXPECT_TRUE(folder.Exists("Texts.QND"));
  EXPECT_EQ(Joined(QNCheckTableFile(folder.File("Texts.QND"))), "");
}

TEST_F(Requests, TheRequestLogNamesEachRequestAndItsResult) {
  const std::string previous = QNLogPath();
  QNSetLogPath(folder.File("QNSERVER.LOG"));
  QNLogStart();
  QNLogRequests = true;
  Send(qnmSetToBegin, Payload().U32(cursor));
  Send(qnmGetTableDictionary, Payload().U32(db).Name("Texts"));
  Send(qnmRecordGetNext, Payload().U32(cursor).U32(RecLen()).U32(BmSize()).U8(0));
  Send(qnmDetachOnHangUp, Payload(), false, 9);
  Send(qnmStartTransaction, Payload().U32(db).U8(0));
  TqnServerRequest r;
  Payload p = Payload().U32(db).U8(0);
  r.MessageID = qnmStartTransaction;
  r.ClientID = 1;
  r.Data = p.Data().data();
  r.Length = p.Data().size();
  r.CanRetry = true;
  r.Deadline = 4242;
  EXPECT_TRUE(handler.Dispatch(r));
  QNLogRequests = false;
  QNSetLogPath(previous);
  std::ifstream in(folder.File("QNSERVER.LOG"));
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(log.find("SetToBegin"), std::string::npos);
  EXPECT_NE(log.find("  ClientID 1"), std::string::npos);
  EXPECT_NE(log.find("*ERROR*  0"), std::string::npos);
  EXPECT_NE(log.find("DetachServer - just in case"), std::string::npos);
  EXPECT_NE(log.find("  CursorID " + std::to_string(static_cast<std::int32_t>(cursor))), std::string::npos)
      << "each payload field on a line of its own";
  EXPECT_NE(log.find("  TblName  [Texts]"), std::string::npos);
  EXPECT_NE(log.find("  Dictionary"), std::string::npos) << "the reply's dictionary as a block";
  EXPECT_NE(log.find("  RecLen " + std::to_string(RecLen())), std::string::npos);
  EXPECT_NE(log.find("CursorGetBookmark (multipart)"), std::string::npos);
  EXPECT_NE(log.find("*ERROR*  2810 -- retrying until 4242"), std::string::npos);
}

TEST_F(Requests, CountsThatDoNotFitTheTableAreRefused) {
  AddText("ENG", 1, 2, 3, "memo");
  const std::uint32_t rl = RecLen();
  const auto rec = TextRecord("ENG", 5, 5, 5);
  std::vector<std::uint8_t> shortRec(rec.begin(), rec.begin() + 3);
  EXPECT_EQ(Send(qnmRecordInsert, Payload().U32(cursor).U32(3).U32(0).U8(0).Bytes(shortRec)).Result,
            qnresInvalidParameter);
  EXPECT_EQ(Send(qnmSetToKey, Payload().U32(cursor).U8(0).U8(1).U32(0).U32(0).U32(2).U8(0).U8(0)).Result,
            qnresInvalidParameter);
  EXPECT_EQ(Send(qnmGetBookmark, Payload().U32(cursor).U32(3)).Result, qnresInvalidParameter);
  EXPECT_EQ(Send(qnmRecordGetBatch, Payload().U32(cursor).U32(0xFFFFFFFF).U32(0xFFFFFFFF)).Result,
            qnresInvalidParameter);
  EXPECT_EQ(Send(qnmRecordInsertBatch, Payload().U32(cursor).U32(rl).U32(1000000).Bytes(rec)).Result,
            qnresInvalidParameter);
  EXPECT_EQ(Send(qnmRecordInsertBatch, Payload().U32(cursor).U32(0).U32(0x3B3B3B10)).Result, qnresInvalidParameter)
      << "a huge count of empty records allocates nothing";
  EXPECT_EQ(Send(qnmDatabaseTableList, Payload().U32(db).Fixed("../*", 36)).Result, qnresInvalidParameter);
  EXPECT_EQ(Send(qnmSetToBegin, Payload().U32(db)).Result, qnresInvalidHandle) << "a database id is no cursor";
  EXPECT_EQ(Count(), 1u);
}

}  // namespace
}  // namespace tw::dbengine::testing
