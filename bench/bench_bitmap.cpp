#include "framework/bitmap.h"

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

constexpr int kWidth = 3508;
constexpr int kHeight = 2480;

// The 32-bit copy every opened drawing gets before the pixel rule runs.
void BM_CloneArea(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  const Bitmap source(image);
  for (auto _ : state) {
    auto copy = source.CloneArea(0, 0, kWidth, kHeight);
    benchmark::DoNotOptimize(copy.get());
  }
}
BENCHMARK(BM_CloneArea)->Unit(benchmark::kMillisecond);

}  // namespace
