// Replays a fuzz target's seed corpus, and damaged variants of every seed (truncations and
// flipped bytes), in an ordinary test build.  The real coverage-guided run uses libFuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Feed(const std::vector<std::uint8_t>& bytes) {
  // A copy of exactly the right size, so that reading past the end is caught by the sanitizer.
  std::vector<std::uint8_t> copy(bytes);
  LLVMFuzzerTestOneInput(copy.empty() ? nullptr : copy.data(), copy.size());
}

void Damage(const std::vector<std::uint8_t>& seed) {
  Feed(seed);
  const std::size_t step = seed.size() > 512 ? seed.size() / 256 : 1;
  for (std::size_t len = 0; len < seed.size(); len += step) {
    Feed(std::vector<std::uint8_t>(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(len)));
  }
  std::uint32_t rng = 2463534242u;
  for (int round = 0; round < 64 && !seed.empty(); ++round) {
    std::vector<std::uint8_t> v(seed);
    for (int flips = 0; flips < 1 + round % 4; ++flips) {
      rng ^= rng << 13; rng ^= rng >> 17; rng ^= rng << 5;
      v[rng % v.size()] ^= static_cast<std::uint8_t>(1u << (rng >> 29));
      if (round % 8 == 7) v[rng % v.size()] = 0xFF;
    }
    Feed(v);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t seeds = 0;
  Feed({});
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path root(argv[i]);
    if (!std::filesystem::exists(root)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      Damage(bytes);
      ++seeds;
    }
  }
  std::printf("replayed %zu seeds with their damaged variants\n", seeds);
  return 0;
}
