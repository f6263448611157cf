// Test helper: compiles a string-table text source (resources/strings/<NAME>.txt) into the
// raw table format, so tests can compare the embedded table with its source or register the
// table themselves.  Sources are UTF-8 (turned into Windows-1252); "\xHH" gives any byte.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/classes/stringtable.h"
#include "platform/rtl/win1252.h"

namespace tw::tabletest {

inline std::string SourceDir() {
  const char* dir = std::getenv("TIDEWELL_SOURCE_DIR");
  return dir ? dir : TIDEWELL_TEST_SOURCE_DIR;
}

inline std::vector<std::pair<std::uint16_t, std::string>> ReadTableSource(const std::string& name) {
  std::ifstream in(SourceDir() + "/resources/strings/" + name + ".txt", std::ios::binary);
  if (!in) throw std::runtime_error("missing table source " + name);
  std::vector<std::pair<std::uint16_t, std::string>> records;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t i = 0;
    unsigned long id = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') id = id * 10 + static_cast<unsigned long>(line[i++] - '0');
    if (i == 0 || id > 0xFFFF) throw std::runtime_error("bad line in " + name + ": " + line);
    if (i < line.size()) ++i;  // the one separating blank or tab
    std::string text;
    for (; i < line.size(); ++i) {
      if (static_cast<unsigned char>(line[i]) >= 0x80) {
        std::size_t end = i;
        text += static_cast<char>(CodePointToWin1252(DecodeUtf8(line, end)));
        i = end - 1;
        continue;
      }
      if (line[i] != '\\' || i + 1 >= line.size()) {
        text += line[i];
        continue;
      }
      const char e = line[++i];
      if (e == 'n') text += '\n';
      else if (e == 'r') text += '\r';
      else if (e == 't') text += '\t';
      else if (e == '\\') text += '\\';
      else if (e == 'x' && i + 2 < line.size()) {
        text += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else text += e;
    }
    records.emplace_back(static_cast<std::uint16_t>(id), text);
  }
  return records;
}

inline std::string CompileTableSource(const std::string& name) { return BuildStringTable(ReadTableSource(name)); }

}  // namespace tw::tabletest
