// The stored form of the command tables inside a form resource: any bytes must either load
// or raise the reader's error, never crash; what loads must store and load again the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <vector>

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
  // Keys are unique within a table, so a table is its set of rows: a row deleted and added
  // again may come back at its built-in place.
  auto sorted = [](std::vector<TFkKeyEntry> rows) {
    std::sort(rows.begin(), rows.end(), [](const TFkKeyEntry& a, const TFkKeyEntry& b) {
      return std::tie(a.Key1, a.Shift1, a.Key2, a.Shift2, a.Command) <
             std::tie(b.Key1, b.Shift1, b.Key2, b.Shift2, b.Command);
    });
    return rows;
  };
  for (int i = 0; i < p.TableCount(); ++i)
    if (sorted(q.Tables(i)->Rows()) != sorted(p.Tables(i)->Rows())) std::abort();
  return 0;
}
