#include "bench/drawings.h"
#include "framework/pngrows.h"

#include <QDir>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// Undoing the filters of a drawing's rows and expanding them to 32-bit
// pixels, and nothing else: args kind of drawing (DrawingKind: 0 light,
// 1 heavy, 2 light RGB, 3 heavy RGB) and instruction set (RowIsa: 0 plain
// loops, 1 SSE2, 2 SSSE3, 3 AVX2). The first drawing of the kind is
// inflated once; each run starts from a fresh copy of its rows.
void BM_PngRows(benchmark::State& state) {
  const auto isa = static_cast<RowIsa>(state.range(1));
  if (!RowIsaRuns(isa)) {
    state.SkipWithError("the instruction set does not run here");
    return;
  }
  const QDir folder(Folder(10, static_cast<DrawingKind>(state.range(0))));
  PngInflater inflated;
  if (!inflated.Inflate(folder.filePath(folder.entryList({QStringLiteral("*.png")}, QDir::Files).value(0)))) {
    state.SkipWithError("inflate");
    return;
  }
  const auto width = static_cast<size_t>(inflated.width);
  const size_t length = width * static_cast<size_t>(inflated.bpp);
  std::vector<uint8_t> rows;
  std::vector<uint8_t> pixels(width * 4 * static_cast<size_t>(inflated.height));
  const std::vector<uint8_t> zeros(length);
  std::vector<uint32_t> grey(256);
  for (uint32_t i = 0; i < 256; ++i) grey[i] = 0xFF000000u | i * 0x010101u;
  for (auto _ : state) {
    state.PauseTiming();
    rows = inflated.rows;
    state.ResumeTiming();
    const uint8_t* prior = zeros.data();
    for (size_t y = 0; y < static_cast<size_t>(inflated.height);) {
      uint8_t* row = rows.data() + y * (length + 1);
      uint8_t* next = y + 1 < static_cast<size_t>(inflated.height) ? row + length + 1 : nullptr;
      const int undone = UnfilterPngRows(row, next, prior, length, inflated.bpp, isa);
      if (undone == 0) state.SkipWithError("filter");
      for (int k = 0; k < undone; ++k, ++y) {
        row = rows.data() + y * (length + 1);
        ExpandPngRow(row + 1, pixels.data() + y * width * 4, width, inflated.bpp, grey.data(), 256, isa);
        prior = row + 1;
      }
    }
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_PngRows)
    ->ArgNames({"kind", "isa"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
