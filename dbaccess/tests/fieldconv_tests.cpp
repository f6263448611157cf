// Field types and values between the interface and the engine.
#include <cmath>

#include "dbaccess/clienttable.h"
#include "dbaccess/fieldconv.h"
#include "dbengine/base/errors.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

TEST(FieldTypes, LogicalToEngineAndBack) {
  EXPECT_EQ(MapEngineFieldType(fldFLOAT, fldstMONEY), 14);
  EXPECT_EQ(MapEngineFieldType(fldFLOAT, 0), 11);
  EXPECT_EQ(MapEngineFieldType(fldBLOB, fldstMEMO), 19);
  EXPECT_EQ(MapEngineFieldType(fldZSTRING, 0), 48);
  EXPECT_THROW(MapEngineFieldType(fldBLOB, 0), dbengine::EqnClientException);
  EXPECT_THROW(MapEngineFieldType(fldUNKNOWN, 0), dbengine::EqnClientException);
  try {
    MapEngineFieldType(99, 0);
  } catch (const dbengine::EqnClientException& e) {
    EXPECT_EQ(std::string(e.Message()), "Invalid Parameter");
  }

  TLogicalType t = EngineToLogicalType(48, 21, 0);
  EXPECT_EQ(t.Type, fldZSTRING);
  EXPECT_EQ(t.Units2, 20);
  t = EngineToLogicalType(48, 9000, 0);
  EXPECT_EQ(t.Type, fldBLOB);
  EXPECT_EQ(t.SubType, fldstMEMO);
  t = EngineToLogicalType(9, 4, 0);
  EXPECT_EQ(t.Type, fldINT32);
  EXPECT_EQ(t.SubType, fldstAUTOINC);
  EXPECT_EQ(EngineToLogicalType(0x80 | 15, 4, 0).Type, fldDATE);
  EXPECT_EQ(EngineToLogicalType(33, 4, 0).Type, fldUNKNOWN);
}

TEST(FieldValues, NumbersBothWays) {
  std::int64_t currency = 123456;
  double d = 0;
  ASSERT_EQ(EngineToInterfaceValue(14, 8, reinterpret_cast<const std::uint8_t*>(&currency),
                                   reinterpret_cast<std::uint8_t*>(&d), 8), fcDone);
  EXPECT_DOUBLE_EQ(d, 12.3456);
  std::int64_t back = 0;
  ASSERT_EQ(InterfaceToEngineValue(14, 8, reinterpret_cast<const std::uint8_t*>(&d), reinterpret_cast<std::uint8_t*>(&back)), fcDone);
  EXPECT_EQ(back, 123456);
  double huge = 1e300;
  EXPECT_EQ(InterfaceToEngineValue(14, 8, reinterpret_cast<const std::uint8_t*>(&huge), reinterpret_cast<std::uint8_t*>(&back)), fcInvalid);

  // Extended precision survives the round trip for ordinary values.
  for (double v : {0.0, -1.5, 3.14159265358979, 1e-300, 6.02e23}) {
    std::uint8_t ext[10];
    double out = 0;
    InterfaceToEngineValue(12, 10, reinterpret_cast<const std::uint8_t*>(&v), ext);
    EngineToInterfaceValue(12, 10, ext, reinterpret_cast<std::uint8_t*>(&out), 8);
    EXPECT_DOUBLE_EQ(out, v);
  }
  std::int8_t small = -5;
  std::int16_t widened = 0;
  EngineToInterfaceValue(6, 1, reinterpret_cast<const std::uint8_t*>(&small), reinterpret_cast<std::uint8_t*>(&widened), 2);
  EXPECT_EQ(widened, -5);
  std::int16_t yes = 3;
  std::uint8_t stored = 9;
  InterfaceToEngineValue(0, 1, reinterpret_cast<const std::uint8_t*>(&yes), &stored);
  EXPECT_EQ(stored, 1);
  EXPECT_EQ(EngineToInterfaceValue(44, 1, &stored, &stored, 1), fcNotHandled);
}

TEST(FieldValues, BooleansAndSinglesAtTheirEdges) {
  // A Boolean true is any nonzero 16-bit value, the word form -1 (0xFFFF) among them.
  for (std::int16_t v : {1, 3, -1, INT16_MIN}) {
    std::uint8_t stored = 9;
    ASSERT_EQ(InterfaceToEngineValue(0, 1, reinterpret_cast<const std::uint8_t*>(&v), &stored), fcDone);
    EXPECT_EQ(stored, 1) << v;
  }
  std::int16_t no = 0;
  std::uint8_t stored = 9;
  InterfaceToEngineValue(0, 1, reinterpret_cast<const std::uint8_t*>(&no), &stored);
  EXPECT_EQ(stored, 0);

  // A value a single cannot hold is refused and leaves the field as it was.
  for (double v : {1e39, -1e39, 1e300}) {
    float single = 7.0f;
    EXPECT_EQ(InterfaceToEngineValue(10, 4, reinterpret_cast<const std::uint8_t*>(&v), reinterpret_cast<std::uint8_t*>(&single)), fcInvalid) << v;
    EXPECT_EQ(single, 7.0f);
  }
  for (double v : {3.4e38, -3.4e38, 1e-40, 0.5}) {
    float single = 0;
    double back = 0;
    ASSERT_EQ(InterfaceToEngineValue(10, 4, reinterpret_cast<const std::uint8_t*>(&v), reinterpret_cast<std::uint8_t*>(&single)), fcDone);
    EngineToInterfaceValue(10, 4, reinterpret_cast<const std::uint8_t*>(&single), reinterpret_cast<std::uint8_t*>(&back), 8);
    EXPECT_NEAR(back, v, std::fabs(v) * 1e-6 + 1e-44) << v;
  }
}

TEST(FieldValues, DatesTimesAndTheirInvalidValues) {
  std::int32_t date = 0;
  DbiDateEncode(6, 12, 2026, date);
  std::int32_t stored = 0;
  EXPECT_EQ(InterfaceToEngineValue(15, 4, reinterpret_cast<const std::uint8_t*>(&date), reinterpret_cast<std::uint8_t*>(&stored)), fcDone);
  EXPECT_EQ(stored, date);  // the engine keeps the interface's day count
  std::int32_t zero = 0, untouched = 77;
  EXPECT_EQ(InterfaceToEngineValue(15, 4, reinterpret_cast<const std::uint8_t*>(&zero), reinterpret_cast<std::uint8_t*>(&untouched)), fcInvalid);
  EXPECT_EQ(untouched, 77);
  std::int32_t noon = 12 * 3600000, late = 86400000;
  EXPECT_EQ(InterfaceToEngineValue(16, 4, reinterpret_cast<const std::uint8_t*>(&noon), reinterpret_cast<std::uint8_t*>(&stored)), fcDone);
  EXPECT_EQ(stored, noon);
  EXPECT_EQ(InterfaceToEngineValue(16, 4, reinterpret_cast<const std::uint8_t*>(&late), reinterpret_cast<std::uint8_t*>(&stored)), fcInvalid);
  std::int32_t bad = -1, out = 0;
  EXPECT_EQ(EngineToInterfaceValue(16, 4, reinterpret_cast<const std::uint8_t*>(&bad), reinterpret_cast<std::uint8_t*>(&out), 4), fcInvalid);

  double stamp = (693596.0 + 0.5) * 86400000.0, dt = 0, stampBack = 0;
  ASSERT_EQ(InterfaceToEngineValue(17, 8, reinterpret_cast<const std::uint8_t*>(&stamp), reinterpret_cast<std::uint8_t*>(&dt)), fcDone);
  EXPECT_DOUBLE_EQ(dt, 693596.5);
  EngineToInterfaceValue(17, 8, reinterpret_cast<const std::uint8_t*>(&dt), reinterpret_cast<std::uint8_t*>(&stampBack), 8);
  EXPECT_DOUBLE_EQ(stampBack, stamp);
  double nan = NAN;
  EXPECT_EQ(InterfaceToEngineValue(17, 8, reinterpret_cast<const std::uint8_t*>(&nan), reinterpret_cast<std::uint8_t*>(&dt)), fcInvalid);
}

TEST(FieldValues, TextsAreCutToTheirFieldsAndTerminated) {
  std::uint8_t engine[6] = {};
  const char* longText = "Jupiter";
  InterfaceToEngineValue(48, 6, reinterpret_cast<const std::uint8_t*>(longText), engine);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(engine)), "Jupit");
  std::uint8_t shortStr[4] = {};
  InterfaceToEngineValue(46, 4, reinterpret_cast<const std::uint8_t*>(longText), shortStr);
  EXPECT_EQ(shortStr[0], 3);
  char out[8] = {};
  // A damaged length byte never reads past the field.
  std::uint8_t damaged[4] = {200, 'a', 'b', 'c'};
  EngineToInterfaceValue(46, 4, damaged, reinterpret_cast<std::uint8_t*>(out), 8);
  EXPECT_STREQ(out, "abc");
  std::uint8_t unterminated[4] = {'w', 'x', 'y', 'z'};
  EngineToInterfaceValue(48, 4, unterminated, reinterpret_cast<std::uint8_t*>(out), 3);
  EXPECT_STREQ(out, "wx");
}

TEST(FieldValues, InterfaceLengthsFitTheConvertedValues) {
  EXPECT_EQ(InterfaceFieldLength(0, 1), 2);
  EXPECT_EQ(InterfaceFieldLength(10, 4), 8);
  EXPECT_EQ(InterfaceFieldLength(19, 4), 4);
  EXPECT_EQ(InterfaceFieldLength(48, 21), 21);
}

TEST(ModeBytes, InterfaceValuesToServerBytes) {
  EXPECT_EQ(OpenModeByte(dbiREADWRITE), 1);
  EXPECT_EQ(OpenModeByte(dbiREADONLY), 0);
  EXPECT_EQ(ShareModeByte(dbiOPENSHARED), 1);
  EXPECT_EQ(ShareModeByte(dbiOPENEXCL), 0);
  EXPECT_EQ(LockByte(dbiWRITELOCK), 2);
  EXPECT_EQ(LockByte(dbiREADLOCK), 1);
  EXPECT_EQ(LockByte(9), 0);
  EXPECT_EQ(SearchCondByte(keySEARCHGEQ), 2);
  EXPECT_EQ(SearchCondByte(7), 0);
}

}  // namespace
}  // namespace tw::dbaccess::test
