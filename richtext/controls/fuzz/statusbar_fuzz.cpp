// Item definitions of the status bar (read from form descriptions): any text must give at most
// 23 items that lie inside the bar, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/forms/forms.h"
#include "richtext/controls/fuzz/offscreen.h"
#include "richtext/controls/statusbar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tw::richtext::UseOffscreenDisplay();
  if (size == 0) return 0;
  // The first byte chooses the bar's width and whether it has a gauge.
  const int width = data[0] * 3;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  auto* bar = new tw::richtext::TRiStatusBarBasic(nullptr);
  bar->SetBounds(0, 0, width, 22);
  bar->SetGauge((data[0] & 1) != 0);
  bar->Items()->SetText(text);
  if (bar->ItemCount() > tw::richtext::MaxStatusItems + 1) std::abort();
  for (int i = 0; i < bar->ItemCount(); ++i) {
    const auto& item = bar->Item(i);
    if (item.Width < 0 || item.X < 0) std::abort();
  }
  bar->SetGaugeValue(static_cast<int>(size) - 50);
  delete bar;
  return 0;
}
