// Reading a 64 MiB file through a buffered filter in 16-byte pieces, against
// reading the whole file with one fread. Both read from the page cache: the
// file is written once before the first run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/Filters.h"
#include "core/Streams.h"

namespace {

constexpr int64_t kFileSize = 64 << 20;

const std::string& TestFile() {
  static const std::string path = [] {
    auto p = std::filesystem::temp_directory_path() / "tessel_filters_bench.bin";
    std::vector<uint8_t> data(static_cast<size_t>(kFileSize));
    std::mt19937 rng(1);
    for (size_t i = 0; i < data.size(); i += 4) {
      uint32_t v = rng();
      std::memcpy(&data[i], &v, 4);
    }
    TFileStream f(p.string(), fmCreate);
    f.WriteBuffer(data.data(), kFileSize);
    return p.string();
  }();
  return path;
}

void BM_FreadWholeFile(benchmark::State& state) {
  const std::string& path = TestFile();
  // Allocated and touched once, so that page faults are not timed.
  std::vector<uint8_t> buf(static_cast<size_t>(kFileSize), 1);
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    size_t n = std::fread(buf.data(), 1, buf.size(), f);
    std::fclose(f);
    if (n != buf.size()) state.SkipWithError("short fread");
    benchmark::DoNotOptimize(buf.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_FreadWholeFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reads through the filter object itself (the call can be resolved at
// compile time) or through a plain stream reference (a virtual call).
template <bool kThroughStreamRef>
void BM_BufferedFilter16ByteReads(benchmark::State& state) {
  const std::string& path = TestFile();
  const auto bufSize = static_cast<uint16_t>(state.range(0));
  for (auto _ : state) {
    TFileStream file(path, fmOpenRead);
    TBufferedFilter filter(&file, bufSize);
    TStream& s = filter;
    uint8_t buf[16];
    uint64_t sum = 0;
    int64_t total = 0;
    for (;;) {
      int64_t n = kThroughStreamRef ? s.Read(buf, 16) : filter.Read(buf, 16);
      if (n <= 0) break;
      sum += buf[0];
      total += n;
    }
    if (total != kFileSize) state.SkipWithError("short read");
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK_TEMPLATE(BM_BufferedFilter16ByteReads, false)->Arg(4096)->Arg(65535)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_BufferedFilter16ByteReads, true)->Arg(4096)->Arg(65535)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
