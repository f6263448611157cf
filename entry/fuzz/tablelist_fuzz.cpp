// The stored form of the command tables inside a form resource: any bytes must either load
// or raise the reader's error, never crash; what loads must store and load again the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "entry/fkcmd.h"
#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw;
  using namespace tw::entry;
  TMemoryStream in;
  if (size > 0) in.Write(data, static_cast<std::int64_t>(size));
  in.SetPosition(0);
  TFkCommandProcessor p;
  try {
    TReader r(in);
    p.ReadTables(r);
  } catch (const Exception&) {
    return 0;
  }
  TMemoryStream out;
  {
    TWriter w(out);
    p.WriteTables(w);
  }
  out.SetPosition(0);
  TFkCommandProcessor q;
  TReader r(out);
  q.ReadTables(r);
  if (q.TableCount() != p.TableCount()) std::abort();
  for (int i = 0; i < p.TableCount(); ++i)
    if (q.Tables(i)->Rows() != p.Tables(i)->Rows()) std::abort();
  return 0;
}
