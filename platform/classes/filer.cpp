#include "platform/classes/filer.h"
#include "platform/classes/classesconst.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {

constexpr const char* kReadError = classesconst::SReadError;
constexpr const char* kInvalidPropValue = classesconst::SInvalidPropertyValue;
constexpr const char* kInvalidImage = classesconst::SInvalidImage;
// Nesting of lists and collections that SkipValue follows before it calls the data damaged.
constexpr int kMaxDepth = 256;

std::uint64_t Le64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void PutLe64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool SameIdent(const std::string& a, const char* b) { return SameText(a, b); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// 10-byte extended precision: 64-bit mantissa with explicit integer bit, 15-bit exponent
// biased by 16383, sign in the top bit.

void DoubleToExtended(double value, std::uint8_t out[10]) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const std::uint16_t sign = (bits >> 63) != 0 ? 0x8000 : 0;
  const int exp = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t frac = bits & ((std::uint64_t{1} << 52) - 1);
  std::uint64_t mantissa = 0;
  int e = 0;
  if (exp == 0x7FF) {
    e = 0x7FFF;
    mantissa = (std::uint64_t{1} << 63) | (frac << 11);
  } else if (exp != 0) {
    e = exp - 1023 + 16383;
    mantissa = (std::uint64_t{1} << 63) | (frac << 11);
  } else if (frac != 0) {
    const int top = 63 - std::countl_zero(frac);  // highest set bit, 0..51
    mantissa = frac << (63 - top);
    e = top - 1074 + 16383;
  }
  PutLe64(out, mantissa);
  const auto word = static_cast<std::uint16_t>(sign | static_cast<std::uint16_t>(e));
  out[8] = static_cast<std::uint8_t>(word & 0xFF);
  out[9] = static_cast<std::uint8_t>(word >> 8);
}

double ExtendedToDouble(const std::uint8_t in[10]) {
  const std::uint64_t mantissa = Le64(in);
  const int word = in[8] | (in[9] << 8);
  const bool negative = (word & 0x8000) != 0;
  const int e = word & 0x7FFF;
  double value;
  if (e == 0x7FFF) {
    value = (mantissa << 1) == 0 ? std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
  } else if (mantissa == 0) {
    value = 0.0;
  } else {
    value = std::ldexp(static_cast<double>(mantissa), e - 16383 - 63);
  }
  return negative ? -value : value;
}

// ---------------------------------------------------------------------------------------------
// TFiler

TFiler::TFiler(TStream& stream, int bufSize) : stream_(stream), buffer_(static_cast<std::size_t>(bufSize > 0 ? bufSize : 4096)) {}

// ---------------------------------------------------------------------------------------------
// TWriter

TWriter::TWriter(TStream& stream, int bufSize) : TFiler(stream, bufSize) {}

TWriter::~TWriter() {
  try {
    FlushBuffer();
  } catch (...) {
    // A destructor cannot report; callers that care flush first.
  }
}

void TWriter::FlushBuffer() {
  if (bufPos_ == 0) return;
  const int n = bufPos_;
  bufPos_ = 0;
  stream_.WriteBuffer(buffer_.data(), n);
}

std::int64_t TWriter::Position() const { return stream_.Position() + bufPos_; }

void TWriter::WriteBytes(const void* data, std::int64_t count) {
  const auto* p = static_cast<const char*>(data);
  const auto size = static_cast<std::int64_t>(buffer_.size());
  while (count > 0) {
    if (bufPos_ == size) FlushBuffer();
    std::int64_t n = std::min<std::int64_t>(count, size - bufPos_);
    std::memcpy(buffer_.data() + bufPos_, p, static_cast<std::size_t>(n));
    bufPos_ += static_cast<int>(n);
    p += n;
    count -= n;
  }
}

void TWriter::Write(const void* buffer, std::int64_t count) {
  if (count < 0) throw EWriteError(classesconst::SWriteError);
  WriteBytes(buffer, count);
}

void TWriter::WriteValue(TValueType value) {
  const auto b = static_cast<std::uint8_t>(value);
  WriteBytes(&b, 1);
}

void TWriter::WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }

void TWriter::WriteInteger(std::int32_t value) {
  if (value >= -128 && value <= 127) {
    WriteValue(vaInt8);
    const auto b = static_cast<std::uint8_t>(value);
    WriteBytes(&b, 1);
  } else if (value >= -32768 && value <= 32767) {
    WriteValue(vaInt16);
    const auto v = static_cast<std::uint16_t>(value);
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    WriteBytes(b, 2);
  } else {
    WriteValue(vaInt32);
    const auto v = static_cast<std::uint32_t>(value);
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    WriteBytes(b, 4);
  }
}

void TWriter::WriteInteger(std::int64_t value) {
  if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
    WriteInteger(static_cast<std::int32_t>(value));
    return;
  }
  WriteValue(vaInt64);
  std::uint8_t b[8];
  PutLe64(b, static_cast<std::uint64_t>(value));
  WriteBytes(b, 8);
}

namespace {
void PutLe32(std::uint8_t* b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
}  // namespace

void TWriter::WriteString(const std::string& value) {
  if (value.size() <= 255) {
    WriteValue(vaString);
    const auto len = static_cast<std::uint8_t>(value.size());
    WriteBytes(&len, 1);
  } else {
    if (value.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
      throw EWriteError(classesconst::SWriteError);
    WriteValue(vaLString);
    std::uint8_t b[4];
    PutLe32(b, static_cast<std::uint32_t>(value.size()));
    WriteBytes(b, 4);
  }
  WriteBytes(value.data(), static_cast<std::int64_t>(value.size()));
}

void TWriter::WriteFloat(double value) {
  WriteValue(vaExtended);
  std::uint8_t b[10];
  DoubleToExtended(value, b);
  WriteBytes(b, 10);
}

void TWriter::WriteSingle(float value) {
  WriteValue(vaSingle);
  std::uint8_t b[4];
  PutLe32(b, std::bit_cast<std::uint32_t>(value));
  WriteBytes(b, 4);
}

void TWriter::WriteCurrency(double value) {
  WriteValue(vaCurrency);
  std::uint8_t b[8];
  PutLe64(b, static_cast<std::uint64_t>(std::llround(value * 10000.0)));
  WriteBytes(b, 8);
}

void TWriter::WriteDate(double value) {
  WriteValue(vaDate);
  std::uint8_t b[8];
  PutLe64(b, std::bit_cast<std::uint64_t>(value));
  WriteBytes(b, 8);
}

void TWriter::WriteIdent(const std::string& ident) {
  if (SameIdent(ident, "False"))
    WriteValue(vaFalse);
  else if (SameIdent(ident, "True"))
    WriteValue(vaTrue);
  else if (SameIdent(ident, "nil"))
    WriteValue(vaNil);
  else if (SameIdent(ident, "Null"))
    WriteValue(vaNull);
  else {
    WriteValue(vaIdent);
    WriteStr(ident);
  }
}

void TWriter::WriteChar(char value) {
  WriteValue(vaString);
  const char b[2] = {1, value};
  WriteBytes(b, 2);
}

void TWriter::WriteSet(const std::vector<std::string>& memberNames) {
  WriteValue(vaSet);
  for (const auto& name : memberNames) WriteStr(name);
  WriteStr("");
}

void TWriter::WriteBinary(const std::string& bytes) {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw EWriteError(classesconst::SWriteError);
  WriteValue(vaBinary);
  std::uint8_t b[4];
  PutLe32(b, static_cast<std::uint32_t>(bytes.size()));
  WriteBytes(b, 4);
  WriteBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TWriter::WriteStr(const std::string& value) {
  if (value.size() > 255) throw EWriteError(classesconst::SWriteError);
  const auto len = static_cast<std::uint8_t>(value.size());
  WriteBytes(&len, 1);
  WriteBytes(value.data(), static_cast<std::int64_t>(value.size()));
}

void TWriter::WriteSignature() { WriteBytes("TPF0", 4); }

void TWriter::DefineProperty(const std::string& name, const TReaderProc&, const TWriterProc& writeData, bool hasData) {
  if (!hasData || !writeData) return;
  WritePropName(name);
  writeData(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, const TStreamProc&, const TStreamProc& writeData,
                                   bool hasData) {
  if (!hasData || !writeData) return;
  WritePropName(name);
  TMemoryStream data;
  writeData(data);
  WriteBinary(data.Bytes());
}

// ---------------------------------------------------------------------------------------------
// TReader

TReader::TReader(TStream& stream, int bufSize) : TFiler(stream, bufSize) {}

TReader::~TReader() {
  try {
    FixupStreamPosition();
  } catch (...) {
    // The stream could not seek back; nothing more to do in a destructor.
  }
}

void TReader::FixupStreamPosition() {
  if (bufEnd_ > bufPos_) stream_.Seek(static_cast<std::int64_t>(bufPos_) - bufEnd_, soFromCurrent);
  bufPos_ = bufEnd_ = 0;
}

std::int64_t TReader::Position() const { return stream_.Position() - (bufEnd_ - bufPos_); }

void TReader::ReadBytes(void* data, std::int64_t count) {
  auto* p = static_cast<char*>(data);
  while (count > 0) {
    if (bufPos_ == bufEnd_) {
      std::int64_t n = stream_.Read(buffer_.data(), static_cast<std::int64_t>(buffer_.size()));
      if (n <= 0) throw EReadError(kReadError);
      bufPos_ = 0;
      bufEnd_ = static_cast<int>(n);
    }
    std::int64_t n = std::min<std::int64_t>(count, bufEnd_ - bufPos_);
    std::memcpy(p, buffer_.data() + bufPos_, static_cast<std::size_t>(n));
    bufPos_ += static_cast<int>(n);
    p += n;
    count -= n;
  }
}

std::uint8_t TReader::ReadByte() {
  std::uint8_t b;
  ReadBytes(&b, 1);
  return b;
}

void TReader::Read(void* buffer, std::int64_t count) {
  if (count < 0) throw EReadError(kReadError);
  ReadBytes(buffer, count);
}

void TReader::PropValueError() { throw EReadError(kInvalidPropValue); }

TValueType TReader::ReadValue() {
  std::uint8_t b = ReadByte();
  return static_cast<TValueType>(b);
}

TValueType TReader::NextValue() {
  TValueType v = ReadValue();
  --bufPos_;  // ReadByte always leaves the byte it read in the buffer
  return v;
}

void TReader::CheckValue(TValueType expected) {
  if (ReadValue() != expected) PropValueError();
}

std::int64_t TReader::ReadIntegerOf(TValueType type) {
  std::uint8_t b[8];
  switch (type) {
    case vaInt8:
      ReadBytes(b, 1);
      return static_cast<std::int8_t>(b[0]);
    case vaInt16:
      ReadBytes(b, 2);
      return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[0] | (b[1] << 8)));
    case vaInt32:
      ReadBytes(b, 4);
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                                       (static_cast<std::uint32_t>(b[2]) << 16) |
                                       (static_cast<std::uint32_t>(b[3]) << 24));
    case vaInt64:
      ReadBytes(b, 8);
      return static_cast<std::int64_t>(Le64(b));
    default:
      PropValueError();
  }
}

bool TReader::ReadBoolean() {
  TValueType v = ReadValue();
  if (v == vaTrue) return true;
  if (v == vaFalse) return false;
  PropValueError();
}

std::int32_t TReader::ReadInteger() {
  TValueType v = ReadValue();
  if (v != vaInt8 && v != vaInt16 && v != vaInt32) PropValueError();
  return static_cast<std::int32_t>(ReadIntegerOf(v));
}

std::int64_t TReader::ReadInt64() {
  TValueType v = ReadValue();
  if (v != vaInt8 && v != vaInt16 && v != vaInt32 && v != vaInt64) PropValueError();
  return ReadIntegerOf(v);
}

namespace {
// Appends `count` bytes read through `read` in pieces, so that a damaged length claiming more
// than the stream holds fails at the stream's end instead of allocating the claimed size.
template <typename ReadFn>
void ReadInPieces(std::string& out, std::int64_t count, ReadFn read) {
  constexpr std::int64_t kPiece = 65536;
  while (count > 0) {
    std::int64_t n = std::min(count, kPiece);
    std::size_t old = out.size();
    out.resize(old + static_cast<std::size_t>(n));
    read(out.data() + old, n);
    count -= n;
  }
}
}  // namespace

std::string TReader::ReadString() {
  TValueType v = ReadValue();
  std::string s;
  switch (v) {
    case vaString: {
      std::uint8_t len = ReadByte();
      s.resize(len);
      ReadBytes(s.data(), len);
      return s;
    }
    case vaLString: {
      std::int64_t len = ReadIntegerOf(vaInt32);
      if (len < 0) throw EReadError(kInvalidImage);
      ReadInPieces(s, len, [this](char* p, std::int64_t n) { ReadBytes(p, n); });
      return s;
    }
    case vaWString: {
      std::int64_t len = ReadIntegerOf(vaInt32);
      if (len < 0) throw EReadError(kInvalidImage);
      std::string raw;
      ReadInPieces(raw, len * 2, [this](char* p, std::int64_t n) { ReadBytes(p, n); });
      std::u16string units(static_cast<std::size_t>(len), u'\0');
      for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                         (static_cast<std::uint8_t>(raw[2 * i + 1]) << 8));
      for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
          ++i;
        }
        int b = CodePointToWin1252(cp);
        s += b < 0 ? '?' : static_cast<char>(b);
      }
      return s;
    }
    default:
      PropValueError();
  }
}

double TReader::ReadFloat() {
  TValueType v = NextValue();
  if (v == vaExtended) {
    ReadValue();
    std::uint8_t b[10];
    ReadBytes(b, 10);
    return ExtendedToDouble(b);
  }
  if (v == vaSingle) return ReadSingle();
  return static_cast<double>(ReadInt64());
}

float TReader::ReadSingle() {
  CheckValue(vaSingle);
  std::uint8_t b[4];
  ReadBytes(b, 4);
  return std::bit_cast<float>(static_cast<std::uint32_t>(b[0] | (b[1] << 8) | (b[2] << 16)) |
                              (static_cast<std::uint32_t>(b[3]) << 24));
}

double TReader::ReadCurrency() {
  CheckValue(vaCurrency);
  std::uint8_t b[8];
  ReadBytes(b, 8);
  return static_cast<double>(static_cast<std::int64_t>(Le64(b))) / 10000.0;
}

double TReader::ReadDate() {
  CheckValue(vaDate);
  std::uint8_t b[8];
  ReadBytes(b, 8);
  return std::bit_cast<double>(Le64(b));
}

std::string TReader::ReadIdent() {
  switch (ReadValue()) {
    case vaIdent:
      return ReadStr();
    case vaFalse:
      return "False";
    case vaTrue:
      return "True";
    case vaNil:
      return "nil";
    case vaNull:
      return "Null";
    default:
      PropValueError();
  }
}

char TReader::ReadChar() {
  CheckValue(vaString);
  if (ReadByte() != 1) PropValueError();
  return static_cast<char>(ReadByte());
}

void TReader::ReadListBegin() { CheckValue(vaList); }
void TReader::ReadListEnd() { CheckValue(vaNull); }

std::vector<std::string> TReader::ReadSet() {
  CheckValue(vaSet);
  std::vector<std::string> names;
  for (;;) {
    std::string name = ReadStr();
    if (name.empty()) break;
    names.push_back(std::move(name));
  }
  return names;
}

std::string TReader::ReadBinary() {
  CheckValue(vaBinary);
  std::int64_t len = ReadIntegerOf(vaInt32);
  if (len < 0) throw EReadError(kInvalidImage);
  std::string s;
  ReadInPieces(s, len, [this](char* p, std::int64_t n) { ReadBytes(p, n); });
  return s;
}

std::string TReader::ReadStr() {
  std::uint8_t len = ReadByte();
  std::string s(len, '\0');
  ReadBytes(s.data(), len);
  return s;
}

void TReader::ReadSignature() {
  char sig[4];
  ReadBytes(sig, 4);
  if (std::memcmp(sig, "TPF0", 4) != 0) throw EReadError(kInvalidImage);
}

void TReader::SkipSetBody() {
  while (!ReadStr().empty()) {
  }
}

void TReader::SkipValue() {
  struct DepthGuard {
    int& d;
    explicit DepthGuard(int& depth) : d(depth) {
      if (++d > kMaxDepth) {
        --d;
        throw EReadError(kInvalidImage);
      }
    }
    ~DepthGuard() { --d; }
  } guard(depth_);

  auto skip = [this](std::int64_t n) {
    char b[256];
    while (n > 0) {
      std::int64_t k = std::min<std::int64_t>(n, sizeof b);
      ReadBytes(b, k);
      n -= k;
    }
  };
  switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil:
      return;
    case vaList:
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      return;
    case vaInt8:
      return skip(1);
    case vaInt16:
      return skip(2);
    case vaInt32:
    case vaSingle:
      return skip(4);
    case vaInt64:
    case vaCurrency:
    case vaDate:
      return skip(8);
    case vaExtended:
      return skip(10);
    case vaString:
    case vaIdent:
      return skip(ReadByte());
    case vaLString:
    case vaBinary: {
      std::int64_t len = ReadIntegerOf(vaInt32);
      if (len < 0) throw EReadError(kInvalidImage);
      return skip(len);
    }
    case vaWString: {
      std::int64_t len = ReadIntegerOf(vaInt32);
      if (len < 0) throw EReadError(kInvalidImage);
      return skip(len * 2);
    }
    case vaSet:
      return SkipSetBody();
    case vaCollection:
      // Items: an optional order value, then a list of "name value" pairs.
      while (!EndOfList()) {
        TValueType v = NextValue();
        if (v == vaInt8 || v == vaInt16 || v == vaInt32) SkipValue();
        ReadListBegin();
        while (!EndOfList()) {
          ReadStr();
          SkipValue();
        }
        ReadListEnd();
      }
      ReadListEnd();
      return;
  }
  throw EReadError(kInvalidImage);
}

void TReader::DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc&, bool) {
  if (readData && !propName_.empty() && SameText(name, propName_)) {
    propName_.clear();
    readData(*this);
  }
}

void TReader::DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc&, bool) {
  if (readData && !propName_.empty() && SameText(name, propName_)) {
    propName_.clear();
    TMemoryStream data;
    data.WriteBuffer(ReadBinary());
    data.SetPosition(0);
    readData(data);
  }
}

}  // namespace tw
