// Builds the program's language file from its INI-form source:
//   tw_langbuild <source.ini> <output.LAN>
// The output is replaced atomically, so a failed build never leaves a half-written file.
#include <cstdio>
#include <exception>

#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "tools/langbuild/langsource.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tw_langbuild <source.ini> <output.LAN>\n");
    return 2;
  }
  try {
    std::string text = tw::ReadFileBytes(argv[1]);
    tw::multilang::TLanFile file =
        tw::langbuild::LanFromIniSource(text, "English", tw::FloatToStr(static_cast<double>(tw::Date())));
    tw::AtomicWriteFile(argv[2], tw::multilang::BuildLanFile(file));
  } catch (const tw::Exception& e) {
    std::fprintf(stderr, "tw_langbuild: %s: %s\n", argv[1], e.Message().c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tw_langbuild: %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
