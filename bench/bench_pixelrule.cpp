#include "analysis/pixelrule.h"
#include "bench/chartdata.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// The pixel rule on a full drawing. Each run marks a fresh copy, as the
// program does on the 32-bit copy of every drawing; the copy is restored
// outside the timing.
void BM_PixelRule(benchmark::State& state) {
  const BenchBuffer mask = BodyMask();
  const BenchBuffer source = MarkedDrawing();
  BenchBuffer drawing(kChartWidth, kChartHeight);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(drawing.bytes.data(), source.bytes.data(), source.bytes.size());
    state.ResumeTiming();
    benchmark::DoNotOptimize(ApplyPixelRule(drawing.data, mask.data));
  }
  state.SetItemsProcessed(state.iterations() * kChartWidth * kChartHeight);
}
BENCHMARK(BM_PixelRule)->Unit(benchmark::kMillisecond);

// The same with the body's runs made once, as the document keeps them.
void BM_PixelRuleOnRuns(benchmark::State& state) {
  const BenchBuffer mask = BodyMask();
  const BodyRuns body(mask.data);
  const BenchBuffer source = MarkedDrawing();
  BenchBuffer drawing(kChartWidth, kChartHeight);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(drawing.bytes.data(), source.bytes.data(), source.bytes.size());
    state.ResumeTiming();
    benchmark::DoNotOptimize(ApplyPixelRule(drawing.data, body));
  }
  state.SetItemsProcessed(state.iterations() * kChartWidth * kChartHeight);
}
BENCHMARK(BM_PixelRuleOnRuns)->Unit(benchmark::kMillisecond);

// The body count: made with the runs whenever the body mask is loaded.
void BM_BodyRuns(benchmark::State& state) {
  const BenchBuffer mask = BodyMask();
  for (auto _ : state) {
    BodyRuns body(mask.data);
    benchmark::DoNotOptimize(body.BodyPixels());
  }
}
BENCHMARK(BM_BodyRuns)->Unit(benchmark::kMillisecond);

}  // namespace
