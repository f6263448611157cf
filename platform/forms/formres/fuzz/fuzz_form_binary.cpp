// Binary component streams: convert to text, and read into a form.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/forms/formres/formres.h"
#include "platform/win/display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    tw::ObjectBinaryToText(bytes);
  } catch (const tw::Exception&) {
  }
  tw::SelectDisplay("offscreen");
  auto* form = new tw::TForm(nullptr);
  try {
    tw::ReadComponentDescription(bytes, form);
  } catch (const tw::Exception&) {
  }
  delete form;
  return 0;
}
