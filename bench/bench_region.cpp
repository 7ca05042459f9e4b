#include "analysis/pixelrule.h"
#include "analysis/region.h"
#include "analysis/smartarea.h"
#include "bench/chartdata.h"
#include "framework/bitmap.h"
#include "resources/resource.h"
#include "tests/analysis/literalfill.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

// A full-size copy of an image file, or an empty buffer when it cannot be
// read at the chart's size.
std::unique_ptr<BenchBuffer> FromFile(const QString& path) {
  std::unique_ptr<Bitmap> file = Bitmap::FromFile(path);
  if (file->Width() != kChartWidth || file->Height() != kChartHeight) return nullptr;
  std::unique_ptr<Bitmap> copy = file->CloneArea(0, 0, kChartWidth, kChartHeight);
  Bitmap::Lock lock = copy->LockBits();
  auto buffer = std::make_unique<BenchBuffer>(kChartWidth, kChartHeight);
  for (int y = 0; y < kChartHeight; ++y) std::memcpy(buffer->data.Row(y), lock.data().Row(y), kChartWidth * 4);
  return buffer;
}

// A heavily marked drawing on the blank chart: outlined rings, shaded
// patches hatched with gaps, and long freehand strokes, in several colours,
// spread over both views of the body and out into the page.
BenchBuffer HeavilyMarked() {
  BenchBuffer drawing(kChartWidth, kChartHeight);
  std::unique_ptr<Bitmap> chart = Bitmap::FromResource(res::IDB_BLANK_CHART);
  Bitmap::Lock lock = chart->LockBits();
  if (lock.ok() && lock.data().width == kChartWidth && lock.data().height == kChartHeight) {
    for (int y = 0; y < kChartHeight; ++y) std::memcpy(drawing.data.Row(y), lock.data().Row(y), kChartWidth * 4);
  } else {
    std::memset(drawing.bytes.data(), 0xFF, drawing.bytes.size());
  }
  std::mt19937 random(20240611);
  auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  const uint8_t colours[4][3] = {{0, 0, 230}, {200, 40, 20}, {30, 160, 40}, {40, 40, 180}};
  auto dot = [&](int cx, int cy, int radius, const uint8_t(&c)[3]) {
    for (int y = cy - radius; y <= cy + radius; ++y) {
      for (int x = cx - radius; x <= cx + radius; ++x) {
        if (x < 0 || y < 0 || x >= kChartWidth || y >= kChartHeight) continue;
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > radius * radius) continue;
        uint8_t* p = drawing.data.Pixel(x, y);
        p[0] = c[0];
        p[1] = c[1];
        p[2] = c[2];
      }
    }
  };
  // Rings: ellipses drawn with a round pen.
  for (int i = 0; i < 40; ++i) {
    const int cx = between(200, kChartWidth - 200);
    const int cy = between(150, kChartHeight - 150);
    const int rx = between(30, 260);
    const int ry = between(30, 260);
    const int pen = between(2, 6);
    const auto& c = colours[between(0, 3)];
    const int steps = 4 * (rx + ry);
    for (int s = 0; s < steps; ++s) {
      const double a = 2 * std::numbers::pi * s / steps;
      dot(cx + static_cast<int>(rx * std::cos(a)), cy + static_cast<int>(ry * std::sin(a)), pen, c);
    }
  }
  // Shaded patches: close hatching with a gap between strokes now and then.
  for (int i = 0; i < 30; ++i) {
    const int cx = between(200, kChartWidth - 200);
    const int cy = between(150, kChartHeight - 150);
    const int rx = between(20, 180);
    const int ry = between(20, 180);
    const auto& c = colours[between(0, 3)];
    for (int y = cy - ry; y <= cy + ry; ++y) {
      if (between(0, 3) == 0) continue;
      for (int x = cx - rx; x <= cx + rx; ++x) {
        const double u = static_cast<double>(x - cx) / rx;
        const double v = static_cast<double>(y - cy) / ry;
        if (u * u + v * v <= 1.0 && x >= 0 && y >= 0 && x < kChartWidth && y < kChartHeight) {
          uint8_t* p = drawing.data.Pixel(x, y);
          p[0] = c[0];
          p[1] = c[1];
          p[2] = c[2];
        }
      }
    }
  }
  // Freehand strokes: wandering lines.
  for (int i = 0; i < 80; ++i) {
    double x = between(0, kChartWidth - 1);
    double y = between(0, kChartHeight - 1);
    double heading = between(0, 359) * std::numbers::pi / 180;
    const int pen = between(1, 4);
    const auto& c = colours[between(0, 3)];
    for (int s = between(200, 1500); s > 0; --s) {
      heading += between(-10, 10) * std::numbers::pi / 180;
      x += 2 * std::cos(heading);
      y += 2 * std::sin(heading);
      dot(static_cast<int>(x), static_cast<int>(y), pen, c);
    }
  }
  return drawing;
}

struct Drawing {
  const char* name;
  BenchBuffer pixels;
};

const std::vector<Drawing>& Drawings() {
  static const std::vector<Drawing> drawings = [] {
    std::vector<Drawing> list;
    const QString samples = QStringLiteral(VARENKO_SOURCE_DIR "/samples/");
    for (const char* name : {"widespread.png", "outlined.png"}) {
      if (auto sample = FromFile(samples + QString::fromLatin1(name))) list.push_back({name, std::move(*sample)});
    }
    list.push_back({"heavily marked", HeavilyMarked()});
    return list;
  }();
  return drawings;
}

// 255 for each marked (not grey) pixel, 0 elsewhere.
std::vector<uint8_t> Marks(const BenchBuffer& drawing) {
  std::vector<uint8_t> marks(static_cast<size_t>(kChartWidth) * kChartHeight);
  for (int y = 0; y < kChartHeight; ++y) {
    for (int x = 0; x < kChartWidth; ++x) {
      const uint8_t* p = drawing.data.Pixel(x, y);
      marks[static_cast<size_t>(y) * kChartWidth + x] = p[0] == p[1] && p[1] == p[2] ? 0 : 255;
    }
  }
  return marks;
}

const BodyRuns& Body() {
  static const BenchBuffer mask = BodyMask();
  static const BodyRuns body(mask.data);
  return body;
}

// The smart-area filling of one full drawing, as the document runs it
// before the pixel rule. Each run fills a fresh copy; the copy is restored
// outside the timing.
void BM_SmartArea(benchmark::State& state) {
  const Drawing& source = Drawings()[static_cast<size_t>(state.range(0))];
  state.SetLabel(source.name);
  BenchBuffer drawing(kChartWidth, kChartHeight);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(drawing.bytes.data(), source.pixels.bytes.data(), source.pixels.bytes.size());
    state.ResumeTiming();
    FillSmartArea(drawing.data, Body());
    benchmark::DoNotOptimize(drawing.bytes.data());
  }
}
BENCHMARK(BM_SmartArea)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Its two region builds on their own.
void BM_RegionFromMarks(benchmark::State& state) {
  const Drawing& source = Drawings()[static_cast<size_t>(state.range(0))];
  state.SetLabel(source.name);
  const std::vector<uint8_t> marks = Marks(source.pixels);
  for (auto _ : state) {
    MCRegion region(kChartWidth, kChartHeight);
    region.SetFromMask(marks.data());
    benchmark::DoNotOptimize(region.m_nArea);
  }
}
BENCHMARK(BM_RegionFromMarks)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_RegionFromOutline(benchmark::State& state) {
  const Drawing& source = Drawings()[static_cast<size_t>(state.range(0))];
  const std::vector<uint8_t> marks = Marks(source.pixels);
  MCRegion fromMarks(kChartWidth, kChartHeight);
  fromMarks.SetFromMask(marks.data());
  const std::unique_ptr<MCRegion> outline = fromMarks.Clone();
  state.SetLabel(std::string(source.name) + ", " + std::to_string(outline->m_nPoints) + " outline points");
  for (auto _ : state) {
    MCRegion region(kChartWidth, kChartHeight);
    region.SetFromOutline(outline.get());
    benchmark::DoNotOptimize(region.m_nArea);
  }
}
BENCHMARK(BM_RegionFromOutline)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The same filling done with the walk-casting procedure, given a minute
// per drawing.
void BM_SmartAreaByWalks(benchmark::State& state) {
  const Drawing& source = Drawings()[static_cast<size_t>(state.range(0))];
  state.SetLabel(source.name);
  BenchBuffer drawing(kChartWidth, kChartHeight);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(drawing.bytes.data(), source.pixels.bytes.data(), source.pixels.bytes.size());
    state.ResumeTiming();
    const auto deadline = literal::Clock::now() + std::chrono::seconds(60);
    if (!literal::FillSmartArea(drawing.data, Body(), deadline)) {
      state.SkipWithError("the walks did not finish within a minute");
      return;
    }
  }
  // Whether the linear filling gives the very same pixels.
  BenchBuffer fast(kChartWidth, kChartHeight);
  std::memcpy(fast.bytes.data(), source.pixels.bytes.data(), source.pixels.bytes.size());
  FillSmartArea(fast.data, Body());
  state.counters["same_as_linear"] = fast.bytes == drawing.bytes ? 1 : 0;
}
BENCHMARK(BM_SmartAreaByWalks)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
