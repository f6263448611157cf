// Any bytes read as RTF must give a well-formed document (or a clean exception), and the
// document must write back as RTF that reads again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"
#include "richtext/rtf/rtfreader.h"
#include "richtext/rtf/rtftextio.h"

namespace {

void Check(const tw::richtext::TRiRTFTextIo& e) {
  using namespace tw::richtext;
  if (e.FirstPar == nullptr || e.FirstPar->Prev != nullptr) __builtin_trap();
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) {
    if (p->FirstLine == nullptr || (p->Next != nullptr && p->Next->Prev != p)) __builtin_trap();
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
      if (l->Length >= l->Capacity || (l->Next != nullptr && l->Next->Prev != l)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw::richtext;
  TRiRTFTextIo engine;
  engine.LoadFormat = TRiLoadFormat::FormatRTF;
  tw::TMemoryStream in;
  in.WriteBuffer(data, static_cast<std::int64_t>(size));
  in.SetPosition(0);
  try {
    engine.LoadFromStream(in);
  } catch (const tw::Exception&) {
  }
  Check(engine);
  const std::string rtf = engine.AsRtf();
  TRiRTFTextIo again;
  tw::TStringStream s(rtf);
  again.LoadFormat = TRiLoadFormat::FormatRTF;
  again.LoadFromStream(s);
  Check(again);
  return 0;
}
