// Text form descriptions: parse, convert to binary and back, and read into a form.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/forms/formres/formres.h"
#include "platform/win/display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    std::string binary = tw::ObjectTextToBinary(text);
    std::string again = tw::ObjectBinaryToText(binary);
    if (tw::ObjectTextToBinary(again) != binary) __builtin_trap();
  } catch (const tw::Exception&) {
  }
  tw::SelectDisplay("offscreen");
  auto* form = new tw::TForm(nullptr);
  try {
    tw::ReadComponentDescription(text, form);
  } catch (const tw::Exception&) {
  }
  delete form;
  return 0;
}
