// A scratch folder of the fuzz process's own, removed at exit once the target has removed
// its files from it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tw::dbengine::fuzz {

// Folder "/tmp/<Prefix><pid>", made on the first call.
inline const std::string& ScratchFolder(const char* Prefix) {
  static const std::string folder = [Prefix] {
    std::string f = "/tmp/" + std::string(Prefix) + std::to_string(::getpid());
    ::mkdir(f.c_str(), 0700);
    return f;
  }();
  static const bool registered = [] { return std::atexit([] { ::rmdir(folder.c_str()); }) == 0; }();
  (void)registered;
  return folder;
}

}  // namespace tw::dbengine::fuzz
