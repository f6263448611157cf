// Plain text of any bytes must read into a well-formed document.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/classes/streams.h"
#include "richtext/document/textreader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw::richtext;
  TRiRTFText engine;
  TRiTextReader reader;
  reader.Owner = &engine.Header();
  reader.Engine = &engine;
  reader.CurPar = engine.FirstPar;
  tw::TStringStream stream(std::string(reinterpret_cast<const char*>(data), size));
  PTParagraph first = nullptr;
  reader.ReadDocument(&stream, first);
  for (PTParagraph p = engine.FirstPar; p != nullptr; p = p->Next)
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
      if (l->Length >= l->Capacity) __builtin_trap();
  return 0;
}
