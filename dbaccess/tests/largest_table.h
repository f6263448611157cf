// The largest table a dictionary allows, through the access layer on the current session, as
// a client program goes: built (request 1300), opened (1280, whose reply carries the whole
// dictionary back), a record inserted with three of its fields set, restructured to another
// dictionary of the same size (request 770 with a field map naming every field, sent on the
// session's connection like the rebuild-status requests), opened again and read.  The answer
// is one line of what each step gave, the same whether the server runs in this process or
// behind TCP.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "dbaccess/clienttable.h"
#include "dbaccess/database.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/requests.h"
#include "dbaccess/session.h"
#include "dbengine/storage/tests/largest_dictionary.h"
#include "platform/classes/streams.h"

namespace tw::dbaccess::test {

// The fields set in the record: the first, one in the middle and the last (numbered from 1).
constexpr std::uint16_t kWidestSet[3] = {1, 14000, static_cast<std::uint16_t>(dbengine::kQnMostFields)};

inline std::string WidestTableRoundTrip(hDBIDb Db) {
  std::ostringstream out;
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(Db);
  {
    auto first = dbengine::testing::LargestDictionary('a');
    out << "build " << BuildTableRequest(database, true, "Widest", *first);
  }
  hDBICur cur = 0;
  DBIResult r = DbiOpenTable(Db, "Widest", nullptr, nullptr, nullptr, 0, dbiREADWRITE, dbiOPENEXCL, 0, false, nullptr, cur);
  out << " open " << r;
  if (r != DBIERR_NONE) return out.str();
  CURProps props;
  DbiGetCursorProps(cur, props);
  out << " fields " << props.iFields << " indexes " << props.iIndexes;
  std::vector<std::uint8_t> rec(props.iRecBufSize, 0);
  DbiInitRecord(cur, rec.data());
  const std::uint16_t yes = 1;
  for (std::uint16_t f : kWidestSet) DbiPutField(cur, f, rec.data(), reinterpret_cast<const std::uint8_t*>(&yes));
  out << " insert " << DbiInsertRecord(cur, dbiNOLOCK, rec.data());
  DbiCloseCursor(cur);

  // The restructure request: database id, table name, the new dictionary, the field map.
  TMemoryStream s;
  std::uint8_t head[36] = {};
  const auto id = static_cast<std::uint32_t>(database->ServerId());
  for (int i = 0; i < 4; ++i) head[i] = static_cast<std::uint8_t>(id >> (8 * i));
  head[4] = 6;
  std::copy_n("Widest", 6, head + 5);
  s.Write(head, sizeof head);
  dbengine::testing::LargestDictionary('b')->WriteToStream(s);
  for (const std::string& line : dbengine::testing::LargestFieldMap()) {
    const auto n = static_cast<std::uint8_t>(line.size());
    s.Write(&n, 1);
    s.Write(line.data(), static_cast<std::int64_t>(line.size()));
  }
  const std::uint8_t end = 0;
  s.Write(&end, 1);
  std::vector<std::uint8_t> request(static_cast<std::size_t>(s.Size()));
  s.SetPosition(0);
  s.Read(request.data(), static_cast<std::int64_t>(request.size()));
  out << " request-near-limit " << (request.size() * 100 / dbengine::kQnLargestRequest >= 95 ? 1 : 0);
  hDBISes session = 0;
  DbiGetCurrSession(session);
  auto* clientSession = TBapiListItem::Resolve<TQNClientSession>(session);
  std::uint8_t reply[4] = {};
  r = clientSession->Comms()->SendRequest(770, request.data(), static_cast<std::uint32_t>(request.size()), true, reply,
                                          sizeof reply);
  out << " restructure " << r;
  if (r != DBIERR_NONE) return out.str();
  const std::uint32_t rebuild = reply[0] | reply[1] << 8 | reply[2] << 16 | static_cast<std::uint32_t>(reply[3]) << 24;
  out << " rebuilt " << WaitForRebuild(clientSession, rebuild, 600000);

  r = DbiOpenTable(Db, "Widest", nullptr, nullptr, nullptr, 0, dbiREADWRITE, dbiOPENEXCL, 0, false, nullptr, cur);
  out << " reopen " << r;
  if (r != DBIERR_NONE) return out.str();
  out << " description " << TBapiListItem::Resolve<TQNClientTable>(cur)->Dictionary().FieldDescriptor(0).Description[0];
  DbiSetToBegin(cur);
  out << " read " << DbiGetNextRecord(cur, dbiNOLOCK, rec.data(), nullptr) << " values";
  for (std::uint16_t f : {kWidestSet[0], std::uint16_t{2}, kWidestSet[1], kWidestSet[2]}) {
    std::uint16_t value = 0;
    bool blank = false;
    DbiGetField(cur, f, rec.data(), reinterpret_cast<std::uint8_t*>(&value), blank);
    out << ' ' << (blank ? std::string("-") : std::to_string(value));
  }
  out << " next " << DbiGetNextRecord(cur, dbiNOLOCK, rec.data(), nullptr);
  DbiCloseCursor(cur);
  return out.str();
}

// What WidestTableRoundTrip answers when every step went through.
inline std::string WidestTableExpected() {
  return "build 0 open 0 fields 29095 indexes 256 insert 0 request-near-limit 1 restructure 0 rebuilt 0 reopen 0 "
         "description b read 0 values 1 - 1 1 next 8706";
}

}  // namespace tw::dbaccess::test
