// Reads arbitrary bytes as a dictionary stream: damaged input must end in a clear error.  A
// stream that reads must write back and read again to the same layout.
#include <cstdint>
#include <cstdlib>

#include "dbengine/storage/data_dictionary.h"
#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw;
  using namespace tw::dbengine;
  TMemoryStream in;
  if (size) in.WriteBuffer(data, static_cast<std::int64_t>(size));
  in.SetPosition(0);
  TqnDataDictionary d;
  try {
    d.ReadFromStream(in);
  } catch (const tw::Exception&) {
    return 0;
  }
  TMemoryStream out;
  d.WriteToStream(out);
  out.SetPosition(0);
  TqnDataDictionary again;
  again.ReadFromStream(out);
  if (again.RecordLength() != d.RecordLength() || again.IndexCount() != d.IndexCount() ||
      again.FileCount() != d.FileCount())
    std::abort();
  return 0;
}
