// The desktop text filter and the LZ77 decoder over ordinary prose: the two
// loops every document conversion runs through.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

#include "convert/lz77.hpp"
#include "convert/text_filter.hpp"
#include "support/lz77_encoder.hpp"

namespace {

using ormidal::testing::Bytes;

Bytes SampleText(std::size_t size) {
  Bytes text;
  for (int i = 0; text.size() < size; ++i) {
    std::string line = "\tA line of ordinary prose, caf\xE9 number " + std::to_string(i) + "\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  text.resize(size);
  return text;
}

void ExpandProse(benchmark::State& state) {
  Bytes text = SampleText(1u << 20);
  Bytes out(2 * text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(ormidal::ExpandLineEnds(text.data(), text.size(), out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ExpandProse);

// Every byte needs work: the filter's worst case.
void ExpandLineFeedsOnly(benchmark::State& state) {
  Bytes text(1u << 20, '\n');
  Bytes out(2 * text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(ormidal::ExpandLineEnds(text.data(), text.size(), out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ExpandLineFeedsOnly);

// 4096-byte records, as documents store them; throughput counts the
// decoded bytes.
void DecodeDocumentRecords(benchmark::State& state) {
  Bytes text = SampleText(1u << 20);
  std::vector<Bytes> records;
  for (std::size_t at = 0; at < text.size(); at += 4096) {
    records.push_back(
        ormidal::testing::EncodeLz77(Bytes(text.begin() + at, text.begin() + at + 4096)));
  }
  Bytes out(8 * 4096);
  for (auto _ : state) {
    for (const Bytes& record : records) {
      std::size_t produced = 0;
      benchmark::DoNotOptimize(
          ormidal::DecodeRecord(record.data(), record.size(), out.data(), out.size(), &produced));
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(DecodeDocumentRecords);

}  // namespace

BENCHMARK_MAIN();
