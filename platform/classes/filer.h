// Reader and writer of the class library's binary value format: one tag byte per value, then
// its bytes, little-endian.  Used for form resources and for the database engine's data
// dictionary stream.  Reading checks every length against what is there: a stream that ends
// early or holds another tag than the one expected raises EReadError, never garbage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/object.h"

namespace tw {

class TStream;
class TReader;
class TWriter;

enum class TValueType : std::uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaSet = 11,
  vaLString = 12,
  vaNil = 13,
  vaCollection = 14,
  vaSingle = 15,
  vaCurrency = 16,
  vaDate = 17,
  vaWString = 18,
  vaInt64 = 19,
};
using enum TValueType;

using TReaderProc = std::function<void(TReader& reader)>;
using TWriterProc = std::function<void(TWriter& writer)>;
using TStreamProc = std::function<void(TStream& stream)>;

// Common part of reader and writer: the stream, a buffer of BufSize bytes, and the hooks by
// which a persistent object stores values that are not published properties.
class TFiler : public TObject {
  TW_CLASS(TFiler, TObject)
 public:
  TFiler(TStream& stream, int bufSize);
  ~TFiler() override = default;

  TStream& Stream() const { return stream_; }
  // The object whose properties are being read or written (set by the form-resource code).
  TObject* Root() const { return root_; }
  void SetRoot(TObject* root) { root_ = root; }

  // A value stored through reader/writer routines.  The reader calls `readData` when the
  // property being read has this name; the writer writes the name and calls `writeData` when
  // `hasData`.
  virtual void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                              bool hasData) = 0;
  // A value stored as a block of bytes (vaBinary): the routines see a memory stream.
  virtual void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                                    const TStreamProc& writeData, bool hasData) = 0;

 protected:
  TStream& stream_;
  std::vector<char> buffer_;
  int bufPos_ = 0;
  int bufEnd_ = 0;
  TObject* root_ = nullptr;
};

class TWriter : public TFiler {
  TW_CLASS(TWriter, TFiler)
 public:
  TWriter(TStream& stream, int bufSize = 4096);
  // Flushes the buffer to the stream (errors there are swallowed: call FlushBuffer to see them).
  ~TWriter() override;

  void FlushBuffer();
  // Position in the stream counting buffered bytes.
  std::int64_t Position() const;

  // Raw bytes: no tag, no length.
  void Write(const void* buffer, std::int64_t count);
  void WriteValue(TValueType value);

  void WriteBoolean(bool value);
  // The smallest of vaInt8, vaInt16, vaInt32 that holds the value.
  void WriteInteger(std::int32_t value);
  // vaInt64 only when the value needs more than 32 bits.
  void WriteInteger(std::int64_t value);
  // vaString with a length byte up to 255 bytes, vaLString with a 32-bit length beyond.
  void WriteString(const std::string& value);
  // vaExtended: 10-byte extended precision.
  void WriteFloat(double value);
  void WriteSingle(float value);
  // vaCurrency: 64-bit count of ten-thousandths.
  void WriteCurrency(double value);
  void WriteDate(double value);
  // vaFalse/vaTrue/vaNil/vaNull for "False"/"True"/"nil"/"Null" (any case), else vaIdent.
  void WriteIdent(const std::string& ident);
  void WriteChar(char value);
  void WriteListBegin() { WriteValue(vaList); }
  void WriteListEnd() { WriteValue(vaNull); }
  // vaSet: the member names as short strings, then an empty one.
  void WriteSet(const std::vector<std::string>& memberNames);
  // vaBinary: 32-bit length and the bytes.
  void WriteBinary(const std::string& bytes);
  // Short string: length byte and up to 255 bytes (longer raises EWriteError).
  void WriteStr(const std::string& value);
  void WriteSignature();  // "TPF0"
  void WritePropName(const std::string& name) { WriteStr(name); }

  void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                      bool hasData) override;
  void DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc& writeData,
                            bool hasData) override;

 private:
  void WriteBytes(const void* data, std::int64_t count);
};

class TReader : public TFiler {
  TW_CLASS(TReader, TFiler)
 public:
  TReader(TStream& stream, int bufSize = 4096);
  // Gives back to the stream what was buffered but not read.
  ~TReader() override;

  // Sets the stream's position to what has been consumed.
  void FixupStreamPosition();
  std::int64_t Position() const;

  // Raw bytes: exactly `count` or EReadError "Stream read error".
  void Read(void* buffer, std::int64_t count);
  TValueType ReadValue();
  // The next tag, not consumed.
  TValueType NextValue();
  bool EndOfList() { return NextValue() == vaNull; }

  bool ReadBoolean();
  // Accepts vaInt8, vaInt16 and vaInt32; any other tag raises EReadError "Invalid property value".
  std::int32_t ReadInteger();
  // Also accepts vaInt64.
  std::int64_t ReadInt64();
  // Accepts vaString and vaLString (and vaWString, taken byte-wise as 16-bit units cut to 8 bits).
  std::string ReadString();
  // Accepts vaExtended, and the integer tags.
  double ReadFloat();
  float ReadSingle();
  double ReadCurrency();
  double ReadDate();
  // vaIdent, or vaFalse/vaTrue/vaNil/vaNull giving "False"/"True"/"nil"/"Null".
  std::string ReadIdent();
  // A string of length one or an 8-bit integer.
  char ReadChar();
  void ReadListBegin();
  void ReadListEnd();
  // vaSet: the member names (the tag is read here too).
  std::vector<std::string> ReadSet();
  // vaBinary: the bytes.
  std::string ReadBinary();
  std::string ReadStr();
  // "TPF0", else EReadError "Invalid stream format".
  void ReadSignature();
  // Skips one value of any kind (a list with everything in it).
  void SkipValue();

  // The property whose value is about to be read; DefineProperty/DefineBinaryProperty read it
  // when their name matches and clear it, so the caller sees it was handled.
  const std::string& PropName() const { return propName_; }
  void SetPropName(const std::string& name) { propName_ = name; }
  void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                      bool hasData) override;
  void DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc& writeData,
                            bool hasData) override;

 private:
  void ReadBytes(void* data, std::int64_t count);
  std::uint8_t ReadByte();
  void CheckValue(TValueType expected);
  [[noreturn]] static void PropValueError();
  std::int64_t ReadIntegerOf(TValueType type);
  void SkipSetBody();

  std::string propName_;
  int depth_ = 0;
};

// Conversions of the 10-byte extended-precision format (little-endian), independent of the
// host's long double.
void DoubleToExtended(double value, std::uint8_t out[10]);
double ExtendedToDouble(const std::uint8_t in[10]);

}  // namespace tw
