// Record filters: callbacks, expression trees, damaged blocks.
#include "dbaccess/dbientry.h"
#include "dbaccess/filter.h"
#include "dbaccess/memtable.h"
#include "filterexpr.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

class Filters : public AccessTest {
 protected:
  Filters() {
    FLDDesc f[2] = {Field("Name", fldZSTRING, 16), Field("Nr", fldINT16, 2)};
    table = std::make_unique<TMemTable>(nullptr, 4, 2, f);
    std::memcpy(record, "Mars", 5);
    std::int16_t nr = 42;
    std::memcpy(record + 16, &nr, 2);
  }
  bool Passes(const std::vector<std::uint8_t>& Expr, pfDBIFilter Callback = nullptr) {
    TFilterListItem f(table.get(), nullptr, 7, 1, false, Expr.empty() ? nullptr : Expr.data(), Callback);
    f.SetActive(true);
    return f.RecordPasses(record);
  }
  std::unique_ptr<TMemTable> table;
  std::uint8_t record[18] = {};
};

int callbackCalls = 0;
std::int16_t Reject(std::uint32_t, std::uint8_t*, std::int32_t) {
  ++callbackCalls;
  return 0;
}
std::int16_t Accept(std::uint32_t Client, std::uint8_t*, std::int32_t) { return Client == 7 ? 1 : 0; }

TEST_F(Filters, CallbackDecidesFirstAndInactiveFiltersRejectNothingPasses) {
  ExprBuilder b;
  auto never = b.Block(b.Field(""));  // an empty field name is false
  callbackCalls = 0;
  EXPECT_FALSE(Passes(never, Reject));
  EXPECT_EQ(callbackCalls, 1);
  EXPECT_TRUE(Passes({}, Accept));
  TFilterListItem inactive(table.get(), nullptr, 7, 1, false, nullptr, Accept);
  EXPECT_FALSE(inactive.RecordPasses(record));
}

TEST_F(Filters, IntegerFieldAgainstTextConstantComparesFormattedText) {
  ExprBuilder b;
  const char text[] = "00042";
  auto e = b.Block(b.Binary(canEQ, b.Field("Nr"), b.Const(fldZSTRING, text, sizeof text)));
  EXPECT_TRUE(Passes(e));
  ExprBuilder b2;
  const char other[] = "42";
  EXPECT_FALSE(Passes(b2.Block(b2.Binary(canEQ, b2.Field("Nr"), b2.Const(fldZSTRING, other, sizeof other)))));
  // Unsigned numbers are written like signed ones, not as empty text.
  const std::uint16_t seven = 7;
  const char empty[] = "", padded[] = "00007";
  ExprBuilder b3;
  EXPECT_FALSE(Passes(b3.Block(b3.Binary(canEQ, b3.Const(fldUINT16, &seven, 2), b3.Const(fldZSTRING, empty, 1)))));
  ExprBuilder b4;
  EXPECT_TRUE(Passes(b4.Block(b4.Binary(canEQ, b4.Const(fldUINT16, &seven, 2), b4.Const(fldZSTRING, padded, 6)))));
}

TEST_F(Filters, ComparisonsOnFieldsOfTheirOwnType) {
  std::int16_t v = 40;
  ExprBuilder b;
  EXPECT_TRUE(Passes(b.Block(b.Binary(canGT, b.Field("Nr"), b.Const(fldINT16, &v, 2)))));
  ExprBuilder b2;
  EXPECT_FALSE(Passes(b2.Block(b2.Binary(canLE, b2.Field("Nr"), b2.Const(fldINT16, &v, 2)))));
  const char mars[16] = "MARS";
  ExprBuilder b3;
  EXPECT_TRUE(Passes(b3.Block(b3.Compare(canEQ, true, 0, b3.Field("Name"), b3.Const(fldZSTRING, mars, 16)))));
  ExprBuilder b4;
  EXPECT_FALSE(Passes(b4.Block(b4.Compare(canEQ, false, 0, b4.Field("Name"), b4.Const(fldZSTRING, mars, 16)))));
  const char ma[16] = "Ma";
  ExprBuilder b5;
  EXPECT_TRUE(Passes(b5.Block(b5.Compare(canEQ, false, 2, b5.Field("Name"), b5.Const(fldZSTRING, ma, 16)))));
}

TEST_F(Filters, DatesAndTimesCompareInTheirOrder) {
  // Day counts and milliseconds are numbers: 5 July 2024 comes after 31 December 2023,
  // whatever their lowest bytes say, and 256 ms after 255 ms.
  FLDDesc f[2] = {Field("Born", fldDATE, 4), Field("At", fldTIME, 4)};
  TMemTable t(nullptr, 4, 2, f);
  std::int32_t born = 0, before = 0, at = 256, earlier = 255;
  ASSERT_EQ(DbiDateEncode(7, 5, 2024, born), DBIERR_NONE);
  ASSERT_EQ(DbiDateEncode(12, 31, 2023, before), DBIERR_NONE);
  ASSERT_LT(born & 0xFF, before & 0xFF);
  std::uint8_t rec[8] = {};
  std::memcpy(rec, &born, 4);
  std::memcpy(rec + 4, &at, 4);
  auto passes = [&](const char* Name, std::uint32_t Op, std::uint16_t Type, std::int32_t V) {
    ExprBuilder b;
    auto e = b.Block(b.Binary(Op, b.Field(Name), b.Const(Type, &V, 4)));
    TFilterListItem filter(&t, nullptr, 0, 1, false, e.data(), nullptr);
    filter.SetActive(true);
    return filter.RecordPasses(rec);
  };
  EXPECT_TRUE(passes("Born", canGT, fldDATE, before));
  EXPECT_FALSE(passes("Born", canLT, fldDATE, before));
  EXPECT_TRUE(passes("Born", canEQ, fldDATE, born));
  EXPECT_TRUE(passes("At", canGT, fldTIME, earlier));
  EXPECT_FALSE(passes("At", canLE, fldTIME, earlier));
}

TEST_F(Filters, OrStopsAtATrueLeftSideAndAndAtAFalseOne) {
  std::int16_t v = 42;
  // The right side refers to a node outside the block: evaluating it would reject the record.
  ExprBuilder b;
  auto left = b.Binary(canEQ, b.Field("Nr"), b.Const(fldINT16, &v, 2));
  auto e = b.Block(b.Binary(canOR, left, 0x7000));
  EXPECT_TRUE(Passes(e));
  ExprBuilder b2;
  auto left2 = b2.Binary(canNE, b2.Field("Nr"), b2.Const(fldINT16, &v, 2));
  EXPECT_FALSE(Passes(b2.Block(b2.Binary(canAND, left2, 0x7000))));
  ExprBuilder b3;
  auto left3 = b3.Binary(canEQ, b3.Field("Nr"), b3.Const(fldINT16, &v, 2));
  EXPECT_FALSE(Passes(b3.Block(b3.Binary(canAND, left3, 0x7000))));
}

TEST_F(Filters, UnknownQuotedFieldNameIsItsOwnText) {
  ExprBuilder b;
  const char text[] = "Mars";
  EXPECT_TRUE(Passes(b.Block(b.Binary(canEQ, b.Field("\"Mars\""), b.Const(fldZSTRING, text, sizeof text)))));
}

TEST_F(Filters, BlankTestsAndNot) {
  ExprBuilder b;
  EXPECT_FALSE(Passes(b.Block(b.Unary(canISBLANK, b.Field("Name")))));
  ExprBuilder b2;
  EXPECT_TRUE(Passes(b2.Block(b2.Unary(canNOTBLANK, b2.Field("Nr")))));
  std::memset(record, 0, 16);
  ExprBuilder b3;
  EXPECT_TRUE(Passes(b3.Block(b3.Unary(canISBLANK, b3.Field("Name")))));
}

TEST_F(Filters, DamagedBlocksRejectTheRecordWithoutReadingOutside) {
  ExprBuilder b;
  std::int16_t v = 42;
  auto good = b.Block(b.Binary(canEQ, b.Field("Nr"), b.Const(fldINT16, &v, 2)));
  ASSERT_TRUE(Passes(good));
  for (std::size_t cut = 4; cut < good.size(); cut += 3) {
    std::vector<std::uint8_t> e(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    std::uint16_t n = static_cast<std::uint16_t>(cut);
    std::memcpy(e.data() + 2, &n, 2);
    EXPECT_FALSE(Passes(e)) << cut;
  }
  // A node that names itself as its operand ends at the depth limit.
  std::vector<std::uint8_t> loop(10 + 12, 0);
  std::uint16_t words[5] = {1, 22, 1, 10, 22};
  std::memcpy(loop.data(), words, 10);
  std::uint32_t cls = nodeUNARY, op = canNOT;
  std::memcpy(loop.data() + 10, &cls, 4);
  std::memcpy(loop.data() + 14, &op, 4);
  EXPECT_FALSE(Passes(loop));
}

// Long text fields are seen whole: beyond 511 bytes, and between 256 and 511 bytes where the
// records differ only after the 255th character.
TEST_F(Filters, LongTextFieldsAreComparedWhole) {
  for (std::uint16_t length : {300, 511, 512, 700}) {
    FLDDesc f[1] = {Field("Note", fldZSTRING, length)};
    TMemTable wide(nullptr, 4, 1, f);
    std::vector<std::uint8_t> rec(length, 0);
    const std::string text = std::string(length - 10, 'a') + "END";
    std::memcpy(rec.data(), text.data(), text.size());
    auto passes = [&](const std::string& constant, std::uint32_t op) {
      ExprBuilder b;
      std::vector<char> literal(constant.begin(), constant.end());
      literal.push_back(0);
      auto e = b.Block(b.Binary(op, b.Field("Note"), b.Const(fldZSTRING, literal.data(),
                                                                 static_cast<std::uint16_t>(literal.size()))));
      TFilterListItem filter(&wide, nullptr, 7, 1, false, e.data(), nullptr);
      filter.SetActive(true);
      return filter.RecordPasses(rec.data());
    };
    EXPECT_TRUE(passes(text, canEQ)) << length;
    EXPECT_FALSE(passes(std::string(length - 10, 'a') + "ENX", canEQ)) << length;
    EXPECT_TRUE(passes(std::string(length - 10, 'a') + "ENX", canLT)) << length;
    ExprBuilder b;
    TFilterListItem notBlank(&wide, nullptr, 7, 1, false, b.Block(b.Unary(canNOTBLANK, b.Field("Note"))).data(),
                             nullptr);
    notBlank.SetActive(true);
    EXPECT_TRUE(notBlank.RecordPasses(rec.data())) << length;
  }
}

TEST_F(Filters, CursorFilterCallsCheckHandlesAndActivity) {
  hDBIFilter f = 0;
  ASSERT_EQ(table->AddFilter(7, 1, false, nullptr, Accept, f), DBIERR_NONE);
  EXPECT_FALSE(table->FiltersActive());
  EXPECT_EQ(table->DeactivateFilter(f), DBIERR_NA);
  EXPECT_EQ(table->ActivateFilter(f), DBIERR_NONE);
  EXPECT_TRUE(table->FiltersActive());
  FILTERInfo info;
  table->GetFilterInfo(0, 3, info);
  EXPECT_EQ(info.hFilter, f);
  EXPECT_EQ(info.iFilterId, 3);
  EXPECT_EQ(info.bActive, 1);
  EXPECT_EQ(table->DropFilter(f), DBIERR_NONE);
  EXPECT_EQ(table->DropFilter(f), DBIERR_INVALIDFILTER);
  EXPECT_EQ(table->ActivateFilter(table->Handle()), DBIERR_INVALIDFILTER);
  EXPECT_FALSE(table->FiltersActive());
}

}  // namespace
}  // namespace tw::dbaccess::test
