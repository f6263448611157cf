// The raw form of the range limits in form resources: the 6-byte real, the byte layouts by
// data type, refusal of damaged values, and a field's limits written to and read from a form
// description.
#include <gtest/gtest.h>

#include <cmath>

#include "entry/fieldkit.h"
#include "entry/fkrangeraw.h"
#include "entry/tests/entry_test_util.h"
#include "platform/forms/formres/formstream.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s += static_cast<char>(v);
  s.resize(kRawRangeSize, '\0');
  return s;
}

TEST(Real48Format, ExactValuesLimitsAndTinyNumbers) {
  std::uint8_t b[6];
  DoubleToReal48(1.0, b);
  EXPECT_EQ(b[0], 0x81);
  for (int i = 1; i < 6; ++i) EXPECT_EQ(b[i], 0) << i;
  DoubleToReal48(-2.5, b);
  EXPECT_EQ(b[0], 0x82);
  EXPECT_EQ(b[5], 0x80 | 0x20) << "sign bit and the top mantissa bits of 1.25";
  EXPECT_EQ(Real48ToDouble(b), -2.5);
  for (double v : {0.0, 0.1, 123456.789, -1.7e38, 1e-38}) {
    DoubleToReal48(v, b);
    EXPECT_NEAR(Real48ToDouble(b), v, std::fabs(v) * 1e-11) << v;
  }
  // Beyond the format's range: held at its largest magnitude; far below it: zero.
  DoubleToReal48(1e39, b);
  EXPECT_GT(Real48ToDouble(b), 1.7e38);
  DoubleToReal48(-INFINITY, b);
  EXPECT_LT(Real48ToDouble(b), -1.7e38);
  DoubleToReal48(1e-45, b);
  EXPECT_EQ(Real48ToDouble(b), 0.0);
}

TEST(RawRangeLayout, EachTypeInItsOwnWidth) {
  TFkValue v;
  v.Int = -2;
  EXPECT_EQ(RangeToRaw(T::pftShortInt, v), Bytes({0xFE}));
  EXPECT_EQ(RangeToRaw(T::pftInteger, v), Bytes({0xFE, 0xFF}));
  EXPECT_EQ(RangeToRaw(T::pftLongInt, v), Bytes({0xFE, 0xFF, 0xFF, 0xFF}));
  v.Int = 876581;
  EXPECT_EQ(RangeToRaw(T::pftDate, v), Bytes({0x25, 0x60, 0x0D}));
  v.Real = 1.0;
  EXPECT_EQ(RangeToRaw(T::pftSingle, v), Bytes({0, 0, 0x80, 0x3F}));
  EXPECT_EQ(RangeToRaw(T::pftDouble, v), Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  EXPECT_EQ(RangeToRaw(T::pftExtended, v), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
  v.Real = -9.2e18;
  TFkValue back;
  ASSERT_TRUE(RawToRange(T::pftComp, RangeToRaw(T::pftComp, v), back));
  EXPECT_EQ(back.Real, -9.2e18);
  ASSERT_TRUE(RawToRange(T::pftWord, Bytes({0xFF, 0xFF}), back));
  EXPECT_EQ(back.Int, 65535);
  ASSERT_TRUE(RawToRange(T::pftInteger, Bytes({0xFF, 0xFF}), back));
  EXPECT_EQ(back.Int, -1);
}

TEST(RawRangeLayout, DamagedValuesAreRefused) {
  TFkValue v;
  EXPECT_FALSE(RawToRange(T::pftLongInt, std::string(9, '\0'), v)) << "short";
  EXPECT_FALSE(RawToRange(T::pftLongInt, std::string(11, '\0'), v)) << "long";
  EXPECT_FALSE(RawToRange(T::pftDouble, Bytes({0, 0, 0, 0, 0, 0, 0xF8, 0x7F}), v)) << "NaN";
  EXPECT_FALSE(RawToRange(T::pftExtended, Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}), v)) << "too big";
  EXPECT_FALSE(RawToRange(T::pftDate, Bytes({0xFF, 0xFF, 0xFF, 0x7F}), v)) << "no day number";
  EXPECT_FALSE(RawToRange(T::pftString, Bytes({}), v));
  EXPECT_FALSE(HasRawRange(T::pftBoolean));
  EXPECT_TRUE(HasRawRange(T::pftChar));
}

class RangeResourceTest : public test::EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    InitFieldkit();
  }
};

TEST_F(RangeResourceTest, LimitsTravelRawThroughAFormDescription) {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetName("RangeForm");
  auto* c = new TFkController(form.get());
  c->SetName("Ctl");
  auto* f = new TFkPictureField(form.get());
  f->SetName("Num");
  f->SetParent(form.get());
  f->SetDataType(T::pftWord);
  f->SetRangeLo("10");
  f->SetRangeHi("500");
  auto* s = new TFkPictureField(form.get());
  s->SetName("Text");
  s->SetParent(form.get());
  const std::string text = ComponentToText(form.get());
  EXPECT_NE(text.find("RangeHigh = {"), std::string::npos) << text;
  EXPECT_EQ(text.find("RangeHigh", text.find("object Text")), std::string::npos) << "strings store no limits";

  std::unique_ptr<TForm> again(new TForm(nullptr));
  ReadComponentDescription(text, again.get());
  auto* g = dynamic_cast<TFkPictureField*>(again->FindComponent("Num"));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->RangeLoValue().Int, 10);
  EXPECT_EQ(g->RangeHiValue().Int, 500);
}

TEST_F(RangeResourceTest, RawLimitWinsOverItsTextAndADamagedOneIsAClearError) {
  const std::string head =
      "object RangeForm: TForm\n"
      "  object Ctl: TFkController\n"
      "  end\n"
      "  object Num: TFkPictureField\n"
      "    DataType = pftInteger\n"
      "    RangeHi = '77'\n";
  std::unique_ptr<TForm> form(new TForm(nullptr));
  ReadComponentDescription(head + "    RangeHigh = {2C010000000000000000}\n  end\nend\n", form.get());
  auto* f = dynamic_cast<TFkPictureField*>(form->FindComponent("Num"));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->RangeHiValue().Int, 300) << "the raw 300, not the text 77";

  std::unique_ptr<TForm> textOnly(new TForm(nullptr));
  ReadComponentDescription(head + "  end\nend\n", textOnly.get());
  EXPECT_EQ(dynamic_cast<TFkPictureField*>(textOnly->FindComponent("Num"))->RangeHiValue().Int, 77);

  auto* damaged = new TForm(Application());
  EXPECT_THROW(ReadComponentDescription(head + "    RangeHigh = {2C01}\n  end\nend\n", damaged), EReadError);
}

}  // namespace
}  // namespace tw::entry
