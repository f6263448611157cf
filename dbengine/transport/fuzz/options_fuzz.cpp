// The options file and alias script readers: the same text is applied as both to a fresh
// configuration; nothing may crash, and every name and path stays within its maximum.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dbengine/base/serveroptions.h"

using namespace tw::dbengine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  TqnServerConfiguration c;
  ApplyOptionsText(c, text);
  ApplyAliasScriptText(c, text);
  const TqnGeneralInfo& g = c.GeneralInfo();
  if (g.ServerName.Length() > 31) __builtin_trap();
  if (g.MaxRAMPages != 500 && (g.MaxRAMPages < 100 || g.MaxRAMPages > 32000)) __builtin_trap();
  for (int i = 0; i < c.AliasList().Count(); ++i) {
    if (c.AliasList().Items(i)->Alias().size() > 31 || c.AliasList().Items(i)->Path().size() > 219) __builtin_trap();
  }
  return 0;
}
