// tw_tablecheck FILE.QND...: checks table files without changing them and prints every fault
// found, one a line, after a note for each journal still waiting in a table's folder.
// Exit status: 0 when every file is sound, 1 when a fault was found, 2 on wrong usage.
#include <cstdio>
#include <string>

#include "tools/tablecheck/table_report.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s TABLE.QND...\n", argv[0]);
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const auto report = tw::tablecheck::CheckTableAsItStands(argv[i]);
    for (const std::string& line : report.Lines) std::printf("%s\n", line.c_str());
    if (!report.Sound) status = 1;
  }
  return status;
}
