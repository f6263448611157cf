// The transport base: names, events and the scrambling of received parts.
#include <gtest/gtest.h>

#include "dbengine/transport/protocol.h"

namespace tw::dbengine {
namespace {

class BareTransport : public TqnBaseCommsProtocol {
 public:
  using TqnBaseCommsProtocol::TqnBaseCommsProtocol;
  void PrepareStation() override { ++prepared; }
  std::uint32_t Connect(std::string_view) override { return 0; }
  void HangUp(std::uint32_t id) override { RemoveConnection(id); }
  void StartListening() override {}
  void SendMessage(std::uint32_t, const std::uint8_t*, std::size_t) override {}
  void OpenDatagramChannel() override {}
  void SendDatagram(std::string_view, const std::uint8_t*, std::size_t) override {}
  void CloseDatagramChannel() override {}
  int prepared = 0;
};

TEST(TransportBase, StationNameIsThePartBeforeTheSeparator) {
  EXPECT_EQ(BareTransport("Office@10.0.0.5", true).GetStationName(), "Office");
  EXPECT_EQ(BareTransport(std::string(40, 'x'), true).GetStationName(), std::string(31, 'x'));
  std::string name, address;
  SplitServerName("Srv", name, address);
  EXPECT_EQ(address, "Srv");
  EXPECT_EQ(MakeServerDesignation("Srv", "Srv"), "Srv");
  EXPECT_EQ(MakeServerDesignation("Srv", "1.2.3.4"), "Srv@1.2.3.4");
}

TEST(TransportBase, StationIsPreparedOnceAndIdleFiresWithoutMessages) {
  BareTransport t("S", true);
  t.PrepareStationOnce();
  t.PrepareStationOnce();
  EXPECT_EQ(t.prepared, 1);
  int idles = 0;
  t.OnIdle = [&](TqnBaseCommsProtocol* s) {
    EXPECT_EQ(s, &t);
    ++idles;
  };
  t.PumpMessages();
  EXPECT_EQ(idles, 1);
}

TEST(TransportBase, ReceivedPartsAreUnscrambledOnlyForAHandler) {
  BareTransport t("S", false);
  t.SetConnectionCode(4242);
  std::vector<std::uint8_t> plain(60, 0x11), part = plain;
  QNPutU32(part.data(), 2049);
  QNPutU32(plain.data(), 2049);
  ScrambleMessage(t.ScramblePad(), part.data(), part.size());
  auto copy = part;
  EXPECT_TRUE(t.DoMessageReceived(1, copy.data(), copy.size()));
  EXPECT_EQ(copy, part) << "no handler: left as it came";
  std::vector<std::uint8_t> seen;
  t.OnMessageReceived = [&](TqnBaseCommsProtocol*, std::uint32_t, std::uint8_t* d, std::size_t n) {
    seen.assign(d, d + n);
    return false;
  };
  EXPECT_FALSE(t.DoMessageReceived(1, copy.data(), copy.size()));
  EXPECT_EQ(seen, plain);
}

TEST(TransportBase, FreshConnectionCodeComesFromTheTickCountAndIsNeverZero) {
  BareTransport a("S", true), b("C", false);
  a.SetConnectionCode(0);
  EXPECT_NE(a.ConnectionCode(), 0u);
  b.SetConnectionCode(a.ConnectionCode());
  EXPECT_EQ(a.ScramblePad(), b.ScramblePad());
}

TEST(TransportBase, ConnectionsAreFoundByRegistryIdAndFreedWithTheTransport) {
  auto* t = new BareTransport("S", true);
  auto* c = new TqnConnection(t, "peer");
  const std::uint32_t id = c->Id();
  t->AddConnection(c);
  EXPECT_EQ(t->FindConnection(id), c);
  EXPECT_EQ(t->FindConnection(id + 1000), nullptr);
  delete t;
  EXPECT_EQ(TqnSelfListItem::FindById(id), nullptr) << "a stale id names nothing";
}

TEST(TransportBase, AConnectionHungUpIsNotFoundAgainEvenRightAfterItWasFound) {
  BareTransport t("S", true);
  auto* a = new TqnConnection(&t, "a");
  auto* b = new TqnConnection(&t, "b");
  const std::uint32_t ida = a->Id(), idb = b->Id();
  t.AddConnection(a);
  t.AddConnection(b);
  EXPECT_EQ(t.FindConnection(ida), a);
  EXPECT_EQ(t.FindConnection(ida), a);
  t.HangUp(ida);
  EXPECT_EQ(t.FindConnection(ida), nullptr);
  EXPECT_EQ(t.FindConnection(idb), b);
  t.HangUp(idb);
  EXPECT_EQ(t.FindConnection(idb), nullptr);
  EXPECT_EQ(t.ConnectionCount(), 0);
}

}  // namespace
}  // namespace tw::dbengine
