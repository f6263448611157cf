// Arbitrary server replies: alias lists, table lists, and the reply of a table open (cursor
// id, dictionary, index number) followed by record reads into the opened cursor.
#include <cstdint>
#include <cstring>
#include <vector>

#include "dbaccess/clienttable.h"
#include "dbaccess/database.h"
#include "dbaccess/listtables.h"
#include "dbaccess/session.h"
#include "platform/classes/streams.h"

using namespace tw::dbaccess;

namespace {
class ReplayComms : public TClientComms {
 public:
  ReplayComms(const std::uint8_t* Data, std::size_t Size) : data(Data, Data + Size) {}
  bool IsConnected() const override { return true; }
  std::vector<std::string> GetServerNames(std::uint32_t) override { return {}; }
  DBIResult AttachToServer(const std::string&, const std::string&, const std::string&) override { return 0; }
  DBIResult SendRequest(std::uint32_t, const void*, std::uint32_t, bool, void* Reply, std::uint32_t Capacity,
                        std::uint32_t* Length) override {
    std::size_t n = std::min<std::size_t>(Capacity, data.size());
    if (Reply && n) std::memcpy(Reply, data.data(), n);
    if (Length) *Length = static_cast<std::uint32_t>(n);
    return 0;
  }
  DBIResult SendRequestToStream(std::uint32_t, const void*, std::uint32_t, bool, tw::TStream& Reply) override {
    if (!data.empty()) Reply.Write(data.data(), static_cast<std::int64_t>(data.size()));
    return 0;
  }
  std::vector<std::uint8_t> data;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TBaseSession session(nullptr, nullptr, "fuzz", "");
  {
    TStreamDBListTable list(nullptr, &session, "QuarnlDb");
    list.SetReply(data, size);
    DBDesc d;
    while (list.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&d)) == DBIERR_NONE) {
    }
  }
  {
    TQNClientTblListTable list(nullptr, nullptr);
    list.SetReply(data, size);
    TBLBaseDesc d;
    while (list.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&d)) == DBIERR_NONE) {
    }
  }
  {
    SetClientCommsFactory([&](const std::string&) { return std::make_unique<ReplayComms>(data, size); });
    TQNClientSession client(nullptr, nullptr, "fuzz", "");
    SetClientCommsFactory(nullptr);
    DBDesc desc;
    std::strcpy(desc.szPhyName, "/fuzz/");
    hDBIDb db = 0;
    client.CreateDatabase(desc, 0, 0, "", "", db);
    auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
    if (database) {
      TOpenTableArgs args;
      args.TableName = "Fuzz.QND";
      hDBICur cur = 0;
      database->OpenTable(args, cur);
      if (auto* table = TBapiListItem::Resolve<TQNClientTable>(cur)) {
        std::vector<std::uint8_t> record(table->GetRecordBufferSize() + 1);
        table->SetToBegin();
        for (int i = 0; i < 3 && table->GetNextRecord(0, record.data()) == DBIERR_NONE; ++i) {
          for (std::uint16_t f = 1; f <= table->Dictionary().FieldCount(); ++f) {
            std::vector<std::uint8_t> value(70000);
            bool blank = false;
            table->GetField(f, record.data(), value.data(), blank);
          }
        }
      }
    }
  }
  return 0;
}
