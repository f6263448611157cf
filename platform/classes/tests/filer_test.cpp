#include "platform/classes/filer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"

namespace tw {
namespace {

using namespace std::string_literals;

template <typename F>
std::string Written(F write) {
  TStringStream s;
  {
    TWriter w(s, 4096);
    write(w);
  }  // flushed when freed
  return s.DataString();
}

TEST(ValueFormatWriter, IntegersTakeTheSmallestTag) {
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(300); }), "\x03\x2C\x01"s);
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(4096); }), "\x03\x00\x10"s);
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(-1); }), "\x02\xFF"s);
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(127); }), "\x02\x7F"s);
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(128); }), "\x03\x80\x00"s);
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(-32769); }), "\x04\xFF\x7F\xFF\xFF"s);
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(std::int64_t{1} << 40); }), "\x13\0\0\0\0\0\x01\0\0"s);
}

TEST(ValueFormatWriter, StringsBooleansAndRawBlocks) {
  EXPECT_EQ(Written([](TWriter& w) {
              w.WriteBoolean(true);
              w.WriteBoolean(false);
              w.WriteString("ab");
              w.Write("\x01\x02", 2);
            }),
            "\x09\x08\x06\x02" "ab\x01\x02"s);
  const std::string long256(256, 'x');
  EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(long256); }), "\x0C\x00\x01\x00\x00"s + long256);
  EXPECT_EQ(Written([](TWriter& w) { w.WriteString(std::string(255, 'y')); }).substr(0, 2), "\x06\xFF");
  EXPECT_EQ(Written([](TWriter& w) { w.WriteIdent("TRUE"); w.WriteIdent("alClient"); }), "\x09\x07\x08" "alClient"s);
  EXPECT_EQ(Written([](TWriter& w) { w.WriteFloat(1.0); }), "\x05\0\0\0\0\0\0\0\x80\xFF\x3F"s);
}

TEST(ValueFormatRoundTrip, EveryKindComesBack) {
  TStringStream s;
  {
    TWriter w(s, 16);  // a small buffer flushes many times
    w.WriteSignature();
    w.WriteListBegin();
    w.WriteInteger(-5);
    w.WriteInteger(70000);
    w.WriteInteger(std::int64_t{-1} << 40);
    w.WriteString(std::string(1000, 'L'));
    w.WriteFloat(3.141592653589793);
    w.WriteFloat(-0.0);
    w.WriteFloat(5e-324);
    w.WriteFloat(std::numeric_limits<double>::infinity());
    w.WriteSingle(2.5f);
    w.WriteCurrency(12.3456);
    w.WriteDate(45000.25);
    w.WriteIdent("nil");
    w.WriteIdent("Null");
    w.WriteChar('Q');
    w.WriteSet({"fsBold", "fsItalic"});
    w.WriteBinary("\0\x01\x02"s);
    w.WriteListEnd();
  }
  s.SetPosition(0);
  TReader r(s, 7);
  r.ReadSignature();
  r.ReadListBegin();
  EXPECT_FALSE(r.EndOfList());
  EXPECT_EQ(r.ReadInteger(), -5);
  EXPECT_EQ(r.ReadInteger(), 70000);
  EXPECT_EQ(r.ReadInt64(), std::int64_t{-1} << 40);
  EXPECT_EQ(r.ReadString(), std::string(1000, 'L'));
  EXPECT_EQ(r.ReadFloat(), 3.141592653589793);
  double negZero = r.ReadFloat();
  EXPECT_TRUE(negZero == 0.0 && std::signbit(negZero));
  EXPECT_EQ(r.ReadFloat(), 5e-324);
  EXPECT_EQ(r.ReadFloat(), std::numeric_limits<double>::infinity());
  EXPECT_EQ(r.ReadSingle(), 2.5f);
  EXPECT_DOUBLE_EQ(r.ReadCurrency(), 12.3456);
  EXPECT_EQ(r.ReadDate(), 45000.25);
  EXPECT_EQ(r.ReadIdent(), "nil");
  EXPECT_EQ(r.NextValue(), vaNull);
  EXPECT_EQ(r.ReadIdent(), "Null");
  EXPECT_EQ(r.ReadChar(), 'Q');
  EXPECT_EQ(r.ReadSet(), (std::vector<std::string>{"fsBold", "fsItalic"}));
  EXPECT_EQ(r.ReadBinary(), "\0\x01\x02"s);
  EXPECT_TRUE(r.EndOfList());
  r.ReadListEnd();
  EXPECT_EQ(r.Position(), s.Size());
}

TEST(ValueFormatReader, WrongTagsAreReadErrors) {
  auto reader = [](const std::string& bytes) {
    auto* s = new TStringStream(bytes);
    return std::make_pair(std::unique_ptr<TStringStream>(s), std::make_unique<TReader>(*s));
  };
  {
    auto [s, r] = reader("\x06\x01x"s);
    EXPECT_THROW(r->ReadInteger(), EReadError);
  }
  {
    auto [s, r] = reader("\x02\x01"s);
    EXPECT_THROW(r->ReadBoolean(), EReadError);  // an integer where a Boolean belongs
  }
  {
    auto [s, r] = reader("\x13\x01\0\0\0\0\0\0\0"s);
    EXPECT_THROW(r->ReadInteger(), EReadError);  // 64-bit value is not an Integer
  }
  {
    auto [s, r] = reader("\x02\x01"s);
    EXPECT_THROW(r->ReadString(), EReadError);
  }
  {
    auto [s, r] = reader("\x0C\xFF\xFF\xFF\xFF"s);
    EXPECT_THROW(r->ReadString(), EReadError);  // negative length
  }
  {
    auto [s, r] = reader("XPF0"s);
    try {
      r->ReadSignature();
      FAIL();
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), "Invalid stream format");
    }
  }
  {
    auto [s, r] = reader("\x63"s);
    EXPECT_THROW(r->SkipValue(), EReadError);  // unknown tag
  }
  {
    auto [s, r] = reader(std::string(100000, '\x01'));
    EXPECT_THROW(r->SkipValue(), EReadError);  // lists nested without end
  }
}

// Every prefix of a valid value sequence must fail with EReadError and never yield a value.
TEST(ValueFormatReader, EveryTruncationRaisesReadError) {
  const std::string full = Written([](TWriter& w) {
    w.WriteBoolean(true);
    w.WriteInteger(300);
    w.WriteInteger(100000);
    w.WriteString("description");
    w.WriteString(std::string(300, 'z'));
    w.Write("RAW!", 4);
    w.WriteFloat(1.5);
    w.WriteInteger(std::int64_t{1} << 40);
    w.WriteBinary("bin");
    w.WriteSet({"a"});
    w.WriteListBegin();
    w.WriteIdent("x");
    w.WriteListEnd();
  });
  auto readAll = [](TReader& r) {
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_EQ(r.ReadInteger(), 300);
    EXPECT_EQ(r.ReadInteger(), 100000);
    EXPECT_EQ(r.ReadString(), "description");
    EXPECT_EQ(r.ReadString(), std::string(300, 'z'));
    char raw[4];
    r.Read(raw, 4);
    EXPECT_EQ(r.ReadFloat(), 1.5);
    EXPECT_EQ(r.ReadInt64(), std::int64_t{1} << 40);
    EXPECT_EQ(r.ReadBinary(), "bin");
    EXPECT_EQ(r.ReadSet(), std::vector<std::string>{"a"});
    r.SkipValue();
  };
  {
    TStringStream s(full);
    TReader r(s);
    readAll(r);
  }
  for (std::size_t len = 0; len < full.size(); ++len) {
    TStringStream s(full.substr(0, len));
    TReader r(s, 5);
    EXPECT_THROW(readAll(r), EReadError) << "length " << len;
    TStringStream s2(full.substr(0, len));
    TReader skipper(s2, 3);
    EXPECT_THROW(
        {
          for (int i = 0; i < 20; ++i) skipper.SkipValue();
        },
        EReadError)
        << "length " << len;
  }
}

// A custom value stored beside the published ones, as form resources do.
TEST(FilerDefineProperty, BinaryAndCustomValuesGoThroughTheHooks) {
  TStringStream s;
  {
    TWriter w(s);
    w.DefineBinaryProperty("Data", nullptr, [](TStream& out) { out.WriteBuffer(std::string_view("payload")); }, true);
    w.DefineProperty("Skipped", nullptr, [](TWriter& wr) { wr.WriteInteger(1); }, false);
    w.DefineProperty("Count", nullptr, [](TWriter& wr) { wr.WriteInteger(7); }, true);
  }
  s.SetPosition(0);
  TReader r(s);
  std::string data;
  r.SetPropName(r.ReadStr());
  EXPECT_EQ(r.PropName(), "Data");
  r.DefineProperty("Count", [](TReader&) { FAIL(); }, nullptr, true);  // not this one
  EXPECT_EQ(r.PropName(), "Data");
  r.DefineBinaryProperty("DATA", [&](TStream& in) {
    data.resize(static_cast<std::size_t>(in.Size()));
    in.ReadBuffer(data.data(), in.Size());
  }, nullptr, true);
  EXPECT_EQ(data, "payload");
  EXPECT_EQ(r.PropName(), "");  // handled
  r.SetPropName(r.ReadStr());
  int count = 0;
  r.DefineProperty("Count", [&](TReader& rd) { count = rd.ReadInteger(); }, nullptr, true);
  EXPECT_EQ(count, 7);
}

TEST(ExtendedFloat, ConversionsAreExact) {
  for (double v : {0.0, 1.0, -2.5, 1e300, -1e-300, 2.2250738585072014e-308, 4.9406564584124654e-324, 123456.789}) {
    std::uint8_t b[10];
    DoubleToExtended(v, b);
    EXPECT_EQ(ExtendedToDouble(b), v);
  }
  std::uint8_t nan[10];
  DoubleToExtended(std::numeric_limits<double>::quiet_NaN(), nan);
  EXPECT_TRUE(std::isnan(ExtendedToDouble(nan)));
}

}  // namespace
}  // namespace tw
