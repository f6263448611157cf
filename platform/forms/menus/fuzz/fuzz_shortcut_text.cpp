// Shortcut texts and captions come from form descriptions and language files: any text must
// give a shortcut or 0, and a shortcut read must name itself the same way.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/forms/menus/shortcut.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const tw::TShortCut sc = tw::TextToShortCut(text);
  if (sc != 0 && tw::TextToShortCut(tw::ShortCutToText(sc)) != sc) std::abort();
  const std::string stripped = tw::StripHotkey(text);
  if (stripped.size() > text.size()) std::abort();
  (void)tw::GetHotkey(text);
  (void)tw::IsMenuAccel(size > 0 ? data[0] : 0, text);
  return 0;
}
