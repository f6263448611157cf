#include "dbengine/base/errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>

#include "dbengine/base/serverlog.h"
#include "dbengine/base/stringres.h"
#include "platform/classes/stringtable.h"
#include "platform/classes/tests/string_table_source.h"
#include "platform/classes/resources.h"

using namespace tw::dbengine;

namespace {

// Every row of the engine's error mapping.
const std::pair<int, int> kRows[] = {
    {23536, 15360}, {23537, 15361}, {23538, 15362}, {23539, 15363}, {23540, 15364}, {23541, 15365}, {23542, 15366},
    {23543, 15367}, {23544, 15368}, {23545, 15369}, {23546, 15370}, {23547, 15371}, {23548, 15372}, {23549, 15373}, {23568, 15392},
    {23569, 15393}, {23570, 15394}, {23584, 9992},  {23585, 15409}, {23586, 10503}, {23587, 15411}, {23588, 15412},
    {23589, 15413}, {23590, 11896}, {23591, 10030}, {23592, 11896}, {23593, 11896}, {23594, 10029}, {23595, 9998},
    {23596, 10502}, {23597, 15421}, {23598, 15422}, {23599, 15423}, {23600, 15424}, {23601, 15425}, {23602, 15426},
    {23603, 15427}, {23604, 15428}, {23605, 15429}, {23606, 15430}, {23607, 15431}, {23608, 15432}, {23609, 15433},
    {23664, 11271}, {23665, 11271}, {23666, 11271}, {23667, 11271}, {23668, 11271}, {23669, 11271}, {23670, 11271},
    {23671, 11271}, {23673, 11271}, {23674, 11271}, {23680, 9990},  {23681, 9990},  {23682, 10014}, {23683, 10018},
    {23684, 9990},  {23685, 10024}, {23686, 9997},  {23687, 9990},  {23688, 9990},  {23712, 10253}, {23713, 10501},
    {23714, 10253}, {23715, 10763}, {23716, 10241}, {23717, 10241}, {23718, 10242}, {23719, 10245}, {23720, 10241},
    {23721, 8709},  {23724, 10020}, {23725, 8706},  {23726, 8705},  {23727, 13060}, {23731, 10019}, {23734, 10021},
};

class ErrorsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* name : {"SERVER_STRINGS_ENGLISH", "GENERAL_STRINGS_ENGLISH"})
      if (!tw::FindResource(name)) tw::RegisterResource(name, tw::tabletest::CompileTableSource(name));
  }
  void SetUp() override {
    log_ = std::filesystem::temp_directory_path() /
           ("tw_dbbase_errors_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".log");
    QNSetLogPath(log_.string());
    QNLogStart();
  }
  void TearDown() override {
    QNSetLogPath("");
    std::filesystem::remove(log_);
  }
  int LogLines(const std::string& prefix) {
    std::ifstream in(log_, std::ios::binary);
    std::string line;
    int n = 0;
    while (std::getline(in, line))
      if (line.find(prefix) != std::string::npos) ++n;
    return n;
  }
  std::filesystem::path log_;
};

TEST_F(ErrorsTest, EveryMappedEngineErrorBecomesItsResultCode) {
  EXPECT_EQ(std::size(kRows), 78u);
  for (const auto& [code, result] : kRows) {
    EXPECT_EQ(QNResultOfErrorCode(code), result) << code;
    EXPECT_EQ(ConvertServerException(EqnServerException("x", code)), result) << code;
  }
}

TEST_F(ErrorsTest, CodesWithoutARowGiveTheUnknownCode) {
  for (int code : {0, 23535, 23550, 23632, 23672, 23722, 23728, 23732, 23733, 23735, 23792, -1})
    EXPECT_EQ(QNResultOfErrorCode(code), 15616) << code;
  EXPECT_EQ(ConvertServerException(EqnServerException("x", 23672)), 15616);
}

TEST_F(ErrorsTest, OtherExceptionKindsAndTheLogLine) {
  EXPECT_EQ(ConvertServerException(tw::EOutOfMemory("Out of memory")), 9473);
  EXPECT_EQ(ConvertServerException(std::bad_alloc()), 9473);
  EXPECT_EQ(ConvertServerException(tw::EDivByZero("Division by zero")), 15617);
  EXPECT_EQ(ConvertServerException(std::runtime_error("odd")), 15617);
  EXPECT_EQ(ConvertServerException(EqnClientException("client side", 23725)), 8706);
  EXPECT_EQ(ConvertUnknownServerException(), 15617);
  EXPECT_EQ(LogLines("Exception Cvt: "), 6);
  EXPECT_EQ(LogLines("Exception Cvt: Division by zero"), 1);
}

TEST_F(ErrorsTest, RaisedErrorsCarryTheirCodeAndFormattedText) {
  try {
    QNRaiseErrorFmt<EqnServerException>(qnServerStrings(), qnerrFileOpen, {"T.QND", 5});
    FAIL();
  } catch (const EqnException& e) {
    EXPECT_EQ(e.ErrorCode, qnerrFileOpen);
    EXPECT_EQ(e.Message(), "INTERNAL: File could not be opened [T.QND, error 5]");
  }
  try {
    QNRaiseError<EqnServerException>(qnServerStrings(), qnerrFileOpen);
    FAIL();
  } catch (const EqnServerException& e) {
    EXPECT_EQ(e.Message(), "INTERNAL: File could not be opened [%s, error %d]");
  }
  // Arguments that do not fit the pattern leave the pattern, not a formatting error.
  EXPECT_EQ(QNFormatErrorText(qnServerStrings(), qnerrFileOpen, {1}), "INTERNAL: File could not be opened [%s, error %d]");
  // An id without a text gives an empty message.
  EXPECT_EQ(QNFormatErrorText(qnServerStrings(), 23733, {1}), "");
}

TEST_F(ErrorsTest, CommsExceptionsFillInTheCodeAndItsText) {
  tw::RegisterResource("NETBIOS_ERROR_STRINGS_ENGLISH", tw::BuildStringTable({{5, "Command timed out"}}));
  EqnNetBIOSException e(5);
  EXPECT_EQ(e.ErrorCode, 23667);
  EXPECT_EQ(e.Message(), "NetBIOS communications: Unexpected error $5 [Command timed out]");
  EXPECT_EQ(EqnNetBIOSException(0x1A).Message(), "NetBIOS communications: Unexpected error $1A []");
  tw::UnregisterResource("NETBIOS_ERROR_STRINGS_ENGLISH");
  EXPECT_EQ(EqnWinsockException(10061).ErrorCode, 23671);
  EXPECT_EQ(ConvertServerException(EqnWinsockException(10061)), 11271);
}

}  // namespace
