// Clipboard contents pasted into an editor: any bytes under the rich-text format or as plain
// text must paste cleanly or be refused, never crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/forms/forms.h"
#include "platform/win/winapi.h"
#include "richtext/controls/fuzz/offscreen.h"
#include "richtext/controls/richedit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tw::richtext::UseOffscreenDisplay();
  if (size == 0) return 0;
  const bool asRtf = (data[0] & 1) != 0;
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  auto* edit = new tw::richtext::TRiCustomRtfEdit(nullptr);
  edit->InputString("Hello world");
  edit->RtfText()->SelectRange(2, 3);
  if (tw::OpenClipboard(0)) {
    tw::EmptyClipboard();
    tw::SetClipboardData(asRtf ? tw::RegisterClipboardFormat(tw::richtext::RtfClipboardFormatName) : tw::CF_TEXT,
                         bytes);
    tw::CloseClipboard();
  }
  try {
    edit->PasteFromClipboard();
    edit->Reformat();
    (void)edit->Text();
  } catch (const tw::Exception&) {
    // A clear refusal of damaged input.
  }
  delete edit;
  return 0;
}
