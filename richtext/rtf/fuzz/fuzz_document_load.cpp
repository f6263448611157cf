// Loading with format detection into a document that already holds text inserts at the
// cursor; any input must leave a well-formed document.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"
#include "richtext/rtf/rtftextio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw::richtext;
  TRiRTFTextIo engine;
  engine.AddParagraph(0, "first", nullptr);
  engine.AddParagraph(1, "second", nullptr);
  engine.SetCursor(3, 0, 0, 0);
  tw::TStringStream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    engine.LoadFromStream(in);
  } catch (const tw::Exception&) {
  }
  for (PTParagraph p = engine.FirstPar; p != nullptr; p = p->Next)
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
      if (l->Length >= l->Capacity) __builtin_trap();
  (void)engine.AsText();
  int a, b, c, d;
  engine.GetCursor(a, b, c, d);
  engine.PagePass();
  return 0;
}
