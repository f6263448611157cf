// tw_tablecheck FILE.QND...: checks table files and prints every fault found, one a line.
// Exit status: 0 when every file is sound, 1 when a fault was found, 2 on wrong usage.
#include <cstdio>
#include <string>

#include "dbengine/storage/table_check.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s TABLE.QND...\n", argv[0]);
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const auto faults = tw::dbengine::QNCheckTableFile(argv[i]);
    for (const std::string& f : faults) std::printf("%s\n", f.c_str());
    if (faults.empty())
      std::printf("%s: no fault\n", argv[i]);
    else
      status = 1;
  }
  return status;
}
