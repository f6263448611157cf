// A private folder for the files a fuzz target writes (the input as a file, settings the code
// under test keeps): made under /tmp on first use and removed with its contents when the run
// ends.  One folder per process; `tag` names it on the first call.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace tw::fuzz {

inline const std::string& ScratchFolder(const char* tag) {
  static const std::string folder = [tag] {
    std::string f = std::string("/tmp/tidewell-fuzz-") + tag + "-XXXXXX";
    if (::mkdtemp(f.data()) == nullptr) std::abort();
    static const std::string removeAtExit = f;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(removeAtExit, ec);
    });
    return f;
  }();
  return folder;
}

// Replaces the file `path` with `size` bytes of `data`.
inline void WriteScratchFile(const std::string& path, const void* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size != 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

}  // namespace tw::fuzz
