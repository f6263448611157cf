// Clients kept apart: a request that names another client's session, database, cursor,
// transaction or BLOB (through that client's cursor) is refused as an invalid handle and
// changes nothing; the owner goes on using its objects.
#include <gtest/gtest.h>

#include "request_test_util.h"

namespace tw::dbengine::testing {
namespace {

class Ownership : public RequestFixture {
 protected:
  Ownership() { Standard(); }
  // Sends as the second client.
  SentReply AsOther(std::uint32_t Id, const Payload& P) { return Send(Id, P, false, 2); }
  // The second client attaches as `user` and opens the folder: its database id (0 on failure).
  std::uint32_t OtherOpensTheFolder(const std::string& user) {
    EXPECT_EQ(AsOther(qnmAttachServer, Payload().Name(user).Name("")).Result, 0);
    const SentReply d = AsOther(qnmDatabaseOpenNoAlias, Payload().Path(folder.Path()).U8(1).U8(1));
    EXPECT_EQ(d.Result, 0);
    return d.Result == 0 ? U32At(d.Data, 0) : 0;
  }
};

TEST_F(Ownership, ObjectsOfAnotherClientAreInvalidHandles) {
  const SentReply s = Send(qnmSessionAdd, Payload());
  ASSERT_EQ(s.Result, 0);
  const std::uint32_t session = U32At(s.Data, 0);
  const SentReply b = Send(qnmCreateBLOB, Payload().U32(cursor));
  ASSERT_EQ(b.Result, 0);
  const std::uint32_t blob = U32At(b.Data, 0);
  ASSERT_EQ(Send(qnmWriteBLOB, Payload().U32(cursor).U32(blob).U32(0).U32(3).Bytes({'a', 'b', 'c'})).Result, 0);
  const SentReply t = Send(qnmStartTransaction, Payload().U32(db).U8(0));
  ASSERT_EQ(t.Result, 0);
  const std::uint32_t transaction = U32At(t.Data, 0);

  const std::uint32_t ownDb = OtherOpensTheFolder("intruder");
  ASSERT_NE(ownDb, 0u);
  const SentReply o = AsOther(qnmOpenTable, Payload().U32(ownDb).Name("Texts").Name("").U32(0).U8(0).U8(1));
  ASSERT_EQ(o.Result, 0);
  const std::uint32_t ownCursor = U32At(o.Data, 0);

  const std::vector<std::pair<std::uint32_t, Payload>> foreign = {
      {qnmDatabaseClose, Payload().U32(db)},
      {qnmDatabaseTableList, Payload().U32(db).Fixed("", 36)},
      {qnmDatabaseInTrans, Payload().U32(db)},
      {qnmStartTransaction, Payload().U32(db).U8(0)},
      {qnmOpenTable, Payload().U32(db).Name("Texts").Name("").U32(0).U8(1).U8(1)},
      {qnmGetTableDictionary, Payload().U32(db).Name("Texts")},
      {qnmDeleteTable, Payload().U32(db).Name("Texts")},
      {qnmRenameTable, Payload().U32(db).Name("Texts").Name("Gone")},
      {qnmPackTable, Payload().U32(db).Name("Texts")},
      {qnmEmptyTable, Payload().U32(ownDb).U32(cursor).Name("Texts")},
      {qnmDropIndex, Payload().U32(ownDb).U32(cursor).Name("Texts").Name("").U32(1)},
      {qnmSessionClose, Payload().U32(session)},
      {qnmSessionSetCurrent, Payload().U32(session)},
      {qnmEndTransaction, Payload().U32(transaction).U8(0)},
      {qnmGetTableRecCount, Payload().U32(cursor)},
      {qnmAcqTableLock, Payload().U32(cursor).U8(2)},
      {qnmCursorClose, Payload().U32(cursor)},
      {qnmSetToBegin, Payload().U32(cursor)},
      {qnmSetToCursor, Payload().U32(ownCursor).U32(cursor)},
      {qnmGetBookmark, Payload().U32(cursor).U32(BmSize())},
      {qnmRecordGetNext, Payload().U32(cursor).U32(RecLen()).U32(BmSize()).U8(0)},
      {qnmRecordGetBatch, Payload().U32(cursor).U32(RecLen()).U32(1)},
      {qnmGetBLOBLength, Payload().U32(cursor).U32(blob)},
      {qnmReadBLOB, Payload().U32(cursor).U32(blob).U32(0).U32(3)},
      {qnmWriteBLOB, Payload().U32(cursor).U32(blob).U32(0).U32(1).U8('x')},
      {qnmFreeBLOB, Payload().U32(cursor).U32(blob)},
      {qnmDeleteBLOB, Payload().U32(cursor).U32(blob)},
  };
  for (const auto& [id, payload] : foreign) {
    const SentReply r = AsOther(id, payload);
    EXPECT_EQ(r.MessageID, id) << QNRequestName(id);
    EXPECT_EQ(r.Result, qnresInvalidHandle) << QNRequestName(id);
    EXPECT_TRUE(r.Data.empty()) << QNRequestName(id);
  }

  // The owner's objects are all still there and unchanged.
  EXPECT_EQ(Send(qnmGetTableRecCount, Payload().U32(cursor)).Result, 0);
  const SentReply len = Send(qnmGetBLOBLength, Payload().U32(cursor).U32(blob));
  ASSERT_EQ(len.Result, 0);
  EXPECT_EQ(U32At(len.Data, 0), 3u);
  const SentReply in = Send(qnmDatabaseInTrans, Payload().U32(db));
  ASSERT_EQ(in.Result, 0);
  EXPECT_EQ(in.Data.at(0), 1);
  EXPECT_EQ(Send(qnmEndTransaction, Payload().U32(transaction).U8(1)).Result, 0);
  EXPECT_EQ(Send(qnmSessionSetCurrent, Payload().U32(session)).Result, 0);
  // The other client's own objects serve it, the BLOB of the shared table included.
  EXPECT_EQ(AsOther(qnmGetTableRecCount, Payload().U32(ownCursor)).Result, 0);
  EXPECT_EQ(AsOther(qnmGetBLOBLength, Payload().U32(ownCursor).U32(blob)).Result, 0);
  EXPECT_EQ(AsOther(qnmDatabaseClose, Payload().U32(ownDb)).Result, 0);
}

// With a cursor, AddIndex, DropIndex and EmptyTable work on the cursor's table whatever the
// database id says: 0, or a database of another client.  Only the cursor must be the caller's.
TEST_F(Ownership, ACursorNamesTheTableWhateverTheDatabaseIdSays) {
  ASSERT_EQ(Send(qnmCursorClose, Payload().U32(cursor)).Result, 0);
  const SentReply o = Send(qnmOpenTable, Payload().U32(db).Name("Texts").Name("").U32(0).U8(1).U8(0));
  ASSERT_EQ(o.Result, 0);
  const std::uint32_t own = U32At(o.Data, 0);
  const std::uint32_t otherDb = OtherOpensTheFolder("other");
  ASSERT_NE(otherDb, 0u);

  const std::vector<std::uint8_t> desc = ByArcIndexDescription();
  EXPECT_EQ(Send(qnmAddIndex, Payload().U32(0).U32(own).Name("").Bytes(desc)).Result, 0);
  engine->WaitForRebuilds();
  EXPECT_EQ(Send(qnmDropIndex, Payload().U32(otherDb).U32(own).Name("").Name("ByArc").U32(0)).Result, 0);
  EXPECT_EQ(Send(qnmEmptyTable, Payload().U32(0).U32(own).Name("")).Result, 0);
  const SentReply count = Send(qnmGetTableRecCount, Payload().U32(own));
  ASSERT_EQ(count.Result, 0);
  EXPECT_EQ(U32At(count.Data, 0), 0u);
  // Without a cursor the database id is still the caller's to name.
  EXPECT_EQ(Send(qnmEmptyTable, Payload().U32(otherDb).U32(0).Name("Texts")).Result, qnresInvalidHandle);
}

}  // namespace
}  // namespace tw::dbengine::testing
