// Reads arbitrary bytes as values of the binary value format: every value kind, skipping, and
// the dictionary-like sequence of the database engine.  Damaged input must end in EReadError.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // 1: skip values one after the other.
  try {
    tw::TStringStream stream(bytes);
    tw::TReader reader(stream, 16);
    for (int i = 0; i < 10000; ++i) reader.SkipValue();
  } catch (const tw::EReadError&) {
  }
  // 2: read each value with the reader that matches its tag.
  try {
    tw::TStringStream stream(bytes);
    tw::TReader reader(stream);
    for (int i = 0; i < 10000; ++i) {
      switch (reader.NextValue()) {
        case tw::vaInt8:
        case tw::vaInt16:
        case tw::vaInt32:
          reader.ReadInteger();
          break;
        case tw::vaInt64:
          reader.ReadInt64();
          break;
        case tw::vaString:
        case tw::vaLString:
        case tw::vaWString:
          reader.ReadString();
          break;
        case tw::vaFalse:
        case tw::vaTrue:
          reader.ReadBoolean();
          break;
        case tw::vaExtended:
          reader.ReadFloat();
          break;
        case tw::vaIdent:
        case tw::vaNil:
        case tw::vaNull:
          reader.ReadIdent();
          break;
        case tw::vaSet:
          reader.ReadSet();
          break;
        case tw::vaBinary:
          reader.ReadBinary();
          break;
        case tw::vaList:
          reader.ReadListBegin();
          break;
        default:
          reader.SkipValue();
          break;
      }
    }
  } catch (const tw::EReadError&) {
  }
  // 3: fixed layout (Boolean, Integer count, then count strings), with raw blocks.
  try {
    tw::TStringStream stream(bytes);
    tw::TReader reader(stream, 7);
    reader.ReadBoolean();
    int n = reader.ReadInteger();
    for (int i = 0; i < n && i < 1000; ++i) {
      reader.ReadString();
      char raw[8];
      reader.Read(raw, sizeof raw);
    }
  } catch (const tw::EReadError&) {
  }
  return 0;
}
