// The device text filter over 1 MiB of desktop text, with CR LF line ends
// (one byte in about 40 dropped) and with LF alone (nothing dropped).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

#include "pack/device_filter.hpp"

namespace {

std::vector<unsigned char> SampleText(const char* lineEnd) {
  std::vector<unsigned char> text;
  for (int i = 0; text.size() < (1u << 20); ++i) {
    std::string line = "\tA line of ordinary prose, number " + std::to_string(i) + lineEnd;
    text.insert(text.end(), line.begin(), line.end());
  }
  text.resize(1u << 20);
  return text;
}

void StripCrLfText(benchmark::State& state) {
  std::vector<unsigned char> text = SampleText("\r\n");
  std::vector<unsigned char> out(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(ormidal::StripForDevice(text.data(), text.size(), out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void StripLfText(benchmark::State& state) {
  std::vector<unsigned char> text = SampleText("\n");
  std::vector<unsigned char> out(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(ormidal::StripForDevice(text.data(), text.size(), out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void CountCrLfText(benchmark::State& state) {
  std::vector<unsigned char> text = SampleText("\r\n");
  for (auto _ : state) {
    benchmark::DoNotOptimize(ormidal::CountKeptForDevice(text.data(), text.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

BENCHMARK(StripCrLfText);
BENCHMARK(StripLfText);
BENCHMARK(CountCrLfText);

}  // namespace

BENCHMARK_MAIN();
