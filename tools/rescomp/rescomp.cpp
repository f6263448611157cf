// The resource compiler: embeds the files under the resources folder into one C++ source.
//   tw_rescomp --root <resources folder> --output <file.cpp> (--list <file> | <files...>)
// A list file names one resource file per line.  String-table sources (strings/*.txt) are
// compiled to the raw string-table format, every other file is taken byte for byte.  The output
// is rewritten only when it changes, so that an unchanged set does not rebuild the library.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "tools/rescomp/stringtable.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw rescomp::CompileError(path.string(), 0, "cannot be read");
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

int Usage() {
  std::cerr << "usage: tw_rescomp --root <folder> --output <file.cpp> (--list <file> | <files...>)\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  std::string output;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--root" || arg == "--output" || arg == "--list") && i + 1 < argc) {
      std::string value = argv[++i];
      if (arg == "--root") {
        root = value;
      } else if (arg == "--output") {
        output = value;
      } else {
        std::ifstream list(value);
        if (!list) {
          std::cerr << value << ": cannot be read\n";
          return 1;
        }
        for (std::string line; std::getline(list, line);)
          if (!line.empty()) files.push_back(line);
      }
    } else if (!arg.empty() && arg[0] != '-') {
      files.push_back(arg);
    } else {
      return Usage();
    }
  }
  if (root.empty() || output.empty()) return Usage();

  try {
    std::vector<rescomp::Resource> resources;
    for (const auto& file : files) {
      const fs::path path(file);
      const std::string relative = path.lexically_relative(root).generic_string();
      rescomp::Resource r;
      r.path = file;
      r.name = rescomp::ResourceName(path.filename().string());
      const std::string bytes = ReadAll(path);
      r.bytes = rescomp::IsStringTableSource(relative) ? rescomp::CompileStringTable(bytes, file) : bytes;
      resources.push_back(std::move(r));
    }
    rescomp::CheckUniqueNames(resources);
    std::sort(resources.begin(), resources.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    const std::string source = rescomp::GenerateSource(resources);
    std::string old;
    if (fs::exists(output)) old = ReadAll(output);
    if (old != source) {
      const std::string temp = output + ".tmp";
      {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << source;
        if (!out.flush()) {
          std::cerr << output << ": cannot be written\n";
          return 1;
        }
      }
      fs::rename(temp, output);
    }
  } catch (const rescomp::CompileError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "tw_rescomp: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
