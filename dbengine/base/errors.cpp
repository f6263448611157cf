#include "dbengine/base/errors.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "dbengine/base/serverlog.h"
#include "dbengine/base/stringres.h"

namespace tw::dbengine {

namespace {
struct Mapping {
  int errorCode;
  DBIResult result;
};
// Engine error code -> result code, ascending by error code.
constexpr Mapping kMappings[] = {
    {23536, 15360},
    {23537, 15361},
    {23538, 15362},
    {23539, 15363},
    {23540, 15364},
    {23541, 15365},
    {23542, 15366},
    {23543, 15367},
    {23544, 15368},
    {23545, 15369},
    {23546, 15370},
    {23547, 15371},
    {23548, 15372},
    {23549, 15373},
    {23568, 15392},
    {23569, 15393},
    {23570, 15394},
    {23584, 9992},
    {23585, 15409},
    {23586, 10503},
    {23587, 15411},
    {23588, 15412},
    {23589, 15413},
    {23590, 11896},
    {23591, 10030},
    {23592, 11896},
    {23593, 11896},
    {23594, 10029},
    {23595, 9998},
    {23596, 10502},
    {23597, 15421},
    {23598, 15422},
    {23599, 15423},
    {23600, 15424},
    {23601, 15425},
    {23602, 15426},
    {23603, 15427},
    {23604, 15428},
    {23605, 15429},
    {23606, 15430},
    {23607, 15431},
    {23608, 15432},
    {23609, 15433},
    {23664, 11271},
    {23665, 11271},
    {23666, 11271},
    {23667, 11271},
    {23668, 11271},
    {23669, 11271},
    {23670, 11271},
    {23671, 11271},
    {23673, 11271},
    {23674, 11271},
    {23680, 9990},
    {23681, 9990},
    {23682, 10014},
    {23683, 10018},
    {23684, 9990},
    {23685, 10024},
    {23686, 9997},
    {23687, 9990},
    {23688, 9990},
    {23712, 10253},
    {23713, 10501},
    {23714, 10253},
    {23715, 10763},
    {23716, 10241},
    {23717, 10241},
    {23718, 10242},
    {23719, 10245},
    {23720, 10241},
    {23721, 8709},
    {23724, 10020},
    {23725, 8706},
    {23726, 8705},
    {23727, 13060},
    {23731, 10019},
    {23734, 10021},
};
}  // namespace

DBIResult QNResultOfErrorCode(int ErrorCode) {
  const auto* end = std::end(kMappings);
  const auto* it = std::lower_bound(std::begin(kMappings), end, ErrorCode,
                                    [](const Mapping& m, int code) { return m.errorCode < code; });
  return (it != end && it->errorCode == ErrorCode) ? it->result : qnresUnknownErrorCode;
}

std::string QNErrorText(const TqnStringResource& Strings, int ErrorCode) { return Strings.GetString(ErrorCode).Str(); }

std::string QNFormatErrorText(const TqnStringResource& Strings, int ErrorCode, std::initializer_list<TVarRec> Args) {
  const std::string pattern = QNErrorText(Strings, ErrorCode);
  try {
    return Format(pattern, Args);
  } catch (const Exception&) {
    // A pattern that does not fit its arguments must not replace the error being raised.
    return pattern;
  }
}

namespace {
// The text of a return code in a code table; empty when that table cannot be read.
std::string CodeText(const TqnStringResource& (*table)(), int code) {
  try {
    return table().GetString(code).Str();
  } catch (const std::exception&) {
    return {};
  }
}

std::string CommsMessage(int errorCode, int code, const TqnStringResource& (*table)()) {
  const std::string text = CodeText(table, code);
  try {
    return QNFormatErrorText(qnGeneralStrings(), errorCode, {code, text});
  } catch (const EqnStringResourceError& e) {
    return e.Message();
  }
}
}  // namespace

EqnNetBIOSException::EqnNetBIOSException(int Code)
    : EqnCommsException(CommsMessage(qnerrNetBIOSUnexpected, Code, &qnNetBIOSStrings), qnerrNetBIOSUnexpected) {}

EqnWinsockException::EqnWinsockException(int Code)
    : EqnCommsException(CommsMessage(qnerrWinsockUnexpected, Code, &qnWinsockStrings), qnerrWinsockUnexpected) {}

DBIResult ConvertServerException(const std::exception& E) {
  const auto* base = dynamic_cast<const Exception*>(&E);
  try {
    QNLogWrite("Exception Cvt: " + (base ? base->Message() : std::string(E.what())));
  } catch (...) {
    // Logging never fails a request.
  }
  if (const auto* qn = dynamic_cast<const EqnException*>(&E)) return QNResultOfErrorCode(qn->ErrorCode);
  if (dynamic_cast<const EOutOfMemory*>(&E) || dynamic_cast<const std::bad_alloc*>(&E)) return qnresNoMemory;
  return qnresUnexpectedException;
}

DBIResult ConvertUnknownServerException() {
  try {
    QNLogWrite("Exception Cvt: ");
  } catch (...) {
  }
  return qnresUnexpectedException;
}

}  // namespace tw::dbengine
