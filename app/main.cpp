// Placeholder entry point until the application's windows exist.
#include <cstdio>

int main() {
  std::puts("Tidewell: the program is not built yet; run `make test` to exercise the libraries.");
  return 0;
}
