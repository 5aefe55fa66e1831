// Archive speed: listing a 10000-entry PAK, and extracting a 100 MB archive
// of 1000 members next to `cp -r` of the same bytes as loose files.
//
//   bench_Archive --benchmark_filter=List
//   bench_Archive --benchmark_filter='Extract|CopyLoose'
//
// The machine is shared, so the two copies are also timed in alternation
// (BM_ExtractAgainstCp): its counters give both rates and their ratio from
// the same stretch of time. Dirty pages are flushed between copies so that
// one copy's write-back does not land on the other's clock.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "archive/ArcDirectory.h"
#include "archive/ArcExtract.h"
#include "archive/tests/ArchiveFixtures.h"

namespace fs = std::filesystem;

namespace {

constexpr int BigMembers = 1000;
constexpr size_t BigMemberSize = 100 * 1000;  // 1000 x 100 kB = 100 MB

std::vector<TFixtureMember> BigMembersList() {
  std::vector<TFixtureMember> members;
  for (int i = 0; i < BigMembers; ++i) {
    std::vector<uint8_t> data(BigMemberSize);
    for (size_t j = 0; j < data.size(); ++j) data[j] = static_cast<uint8_t>(i * 31 + j * 7);
    members.push_back({"dir" + std::to_string(i % 10) + "/file" + std::to_string(i) + ".bin", std::move(data)});
  }
  return members;
}

// Built once: the archives and the loose copy of the big one.
struct TBenchData {
  TScratchDir Dir;
  std::string ListPak = Dir / "list10000.pak";
  std::string BigPak = Dir / "big.pak";
  std::string Loose = Dir / "loose";
  TBenchData() {
    std::vector<TFixtureMember> small;
    for (int i = 0; i < 10000; ++i)
      small.push_back({"maps/sub" + std::to_string(i % 50) + "/m" + std::to_string(i) + ".bsp", {uint8_t(i)}});
    WriteFixtureFile(ListPak, MakePak(small));
    auto big = BigMembersList();
    WriteFixtureFile(BigPak, MakePak(big));
    for (const auto& m : big) {
      fs::create_directories(fs::path(Loose + "/" + m.Name).parent_path());
      WriteFixtureFile(Loose + "/" + m.Name, m.Data);
    }
  }
};

TBenchData& Data() {
  static TBenchData data;
  return data;
}

void BM_ListPak10000(benchmark::State& state) {
  const std::string& pak = Data().ListPak;
  for (auto _ : state) {
    TArchiveList list;
    ListArchive(pak, list);
    benchmark::DoNotOptimize(list.Rows.data());
    if (list.Rows.size() != 10000) state.SkipWithError("wrong row count");
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_ListPak10000)->Unit(benchmark::kMillisecond);

void BM_Extract100MB(benchmark::State& state) {
  const std::string& pak = Data().BigPak;
  std::string out = Data().Dir / "extracted";
  auto rows = ReadArchiveDirectory(pak).Rows;
  for (auto _ : state) {
    TExtractResult res = ExtractArchiveMembers(pak, rows, out);
    if (res.Extracted != BigMembers) state.SkipWithError("extraction failed");
    state.PauseTiming();
    fs::remove_all(out);
    ::sync();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(BigMembers * BigMemberSize));
}
BENCHMARK(BM_Extract100MB)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// The yardstick: the same bytes as loose files, copied by `cp -r`.
void BM_CopyLooseWithCp(benchmark::State& state) {
  std::string out = Data().Dir / "copied";
  std::string cmd = "cp -r '" + Data().Loose + "' '" + out + "'";
  for (auto _ : state) {
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("cp failed");
    state.PauseTiming();
    fs::remove_all(out);
    ::sync();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(BigMembers * BigMemberSize));
}
BENCHMARK(BM_CopyLooseWithCp)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void BM_ExtractAgainstCp(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const std::string& pak = Data().BigPak;
  std::string out = Data().Dir / "extracted", copied = Data().Dir / "copied";
  std::string cmd = "cp -r '" + Data().Loose + "' '" + copied + "'";
  auto rows = ReadArchiveDirectory(pak).Rows;
  double extractSeconds = 0, cpSeconds = 0;
  for (auto _ : state) {
    ::sync();
    auto t0 = Clock::now();
    TExtractResult res = ExtractArchiveMembers(pak, rows, out);
    auto t1 = Clock::now();
    ::sync();
    auto t2 = Clock::now();
    int rc = std::system(cmd.c_str());
    auto t3 = Clock::now();
    if (res.Extracted != BigMembers || rc != 0) state.SkipWithError("copy failed");
    double e = std::chrono::duration<double>(t1 - t0).count(), c = std::chrono::duration<double>(t3 - t2).count();
    extractSeconds += e;
    cpSeconds += c;
    state.SetIterationTime(e);
    fs::remove_all(out);
    fs::remove_all(copied);
  }
  const double mb = static_cast<double>(state.iterations()) * BigMembers * BigMemberSize / 1e6;
  state.counters["extract_MB/s"] = mb / extractSeconds;
  state.counters["cp_MB/s"] = mb / cpSeconds;
  state.counters["extract/cp"] = cpSeconds / extractSeconds;
}
BENCHMARK(BM_ExtractAgainstCp)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

}  // namespace
