// Writing and reading RTF of a document of about one megabyte.
#include <benchmark/benchmark.h>

#include "platform/classes/streams.h"
#include "richtext/rtf/rtftextio.h"

namespace {

using namespace tw::richtext;

void Fill(TRiRTFTextIo& e) {
  const std::string words = "The quick brown fox jumps over the lazy dog {braces} and \\backslashes\\ \xe4\xf6\xfc. ";
  TAttr a;
  int n = 0;
  std::size_t total = 0;
  while (total < 1000000) {
    std::string par;
    for (int i = 0; i < 8; ++i) par += words;
    a.Style = static_cast<std::uint8_t>(n % 3 == 0 ? fsBold : n % 3 == 1 ? fsItalic : fsLink);
    a.SetTextColor(n % 16);
    a.Size = static_cast<std::uint8_t>(8 + n % 10);
    e.AddParagraph(n, par, &a);
    total += par.size();
    ++n;
  }
}

void BM_WriteRtf(benchmark::State& state) {
  TRiRTFTextIo e;
  Fill(e);
  for (auto _ : state) {
    std::string rtf = e.AsRtf();
    benchmark::DoNotOptimize(rtf.data());
    state.SetBytesProcessed(state.bytes_processed() + static_cast<std::int64_t>(rtf.size()));
  }
}
BENCHMARK(BM_WriteRtf)->Unit(benchmark::kMillisecond);

void BM_ReadRtf(benchmark::State& state) {
  TRiRTFTextIo src;
  Fill(src);
  const std::string rtf = src.AsRtf();
  for (auto _ : state) {
    TRiRTFTextIo e;
    tw::TStringStream s(rtf);
    e.LoadFromStream(s);
    benchmark::DoNotOptimize(e.FirstPar);
    state.SetBytesProcessed(state.bytes_processed() + static_cast<std::int64_t>(rtf.size()));
  }
}
BENCHMARK(BM_ReadRtf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
