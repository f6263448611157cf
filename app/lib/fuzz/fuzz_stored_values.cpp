// Feeds the values the form library reads back from the settings store (window placement,
// fonts, page setup, a number edit's value) with arbitrary text: every value must read to something usable or be
// refused, never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/lib/appsupport.h"
#include "app/lib/edits.h"
#include "app/lib/orvform.h"
#include "app/lib/placement.h"
#include "platform/gfx/font.h"
#include "platform/rtl/sysutils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  std::string s = input;
  const int top = tw::app::NextListInt(s);
  const int left = tw::app::NextListInt(s);
  const int width = tw::app::NextListInt(s);
  const int height = tw::app::NextListInt(s);
  tw::TRect r = tw::Rect(left, top, left + width, top + height);
  if (width > 0 && height > 0 && tw::app::FitPlacement(r, 1024, 768)) {
    if (r.Left < 0 || r.Top < 0 || r.Right > 1024 || r.Bottom > 768 || r.Width() <= 0 || r.Height() <= 0) std::abort();
  }

  tw::TFont font;
  tw::app::ValueToFont(input, &font);
  if (font.Size() <= 0) std::abort();

  if (auto setup = tw::app::ValueToPageSetup(input)) {
    if (tw::app::UsablePageSetup(*setup) &&
        (setup->PageWidth <= 0 || setup->LeftMargin + setup->RightMargin >= setup->PageWidth))
      std::abort();
  }
  // A number edit's stored text reduces to a plain number text, which reads or is refused.
  const std::string reduced = tw::app::TCustomNumEdit::ReduceText(input);
  if (reduced.find_first_not_of("0123456789.e+-") != std::string::npos) std::abort();
  (void)tw::StrToFloatDef(reduced, 0);
  return 0;
}
