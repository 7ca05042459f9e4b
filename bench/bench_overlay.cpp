#include "compare/comparedialog.h"
#include "compare/overlay.h"
#include "framework/bitmap.h"
#include "resources/resource.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <cstring>
#include <memory>

namespace {

QString Sample(const char* name) { return QStringLiteral(VARENKO_SOURCE_DIR "/samples/") + QString::fromLatin1(name); }

// The comparison pass over two full-size sample drawings, as Process runs
// it on a fresh blank chart; the chart is put back outside the timing.
void BM_OverlayPass(benchmark::State& state) {
  const std::unique_ptr<Bitmap> first = Bitmap::FromFile(Sample("widespread.png"));
  const std::unique_ptr<Bitmap> second = Bitmap::FromFile(Sample("low_back_leg.png"));
  const std::unique_ptr<Bitmap> chart = Bitmap::FromResource(res::IDB_BLANK_CHART_COMPARE);
  const std::unique_ptr<Bitmap> mask = Bitmap::FromResource(res::IDB_BODY_MASK);
  const std::unique_ptr<Bitmap> overlay = chart->CloneArea(0, 0, chart->Width(), chart->Height());
  if (first->IsEmpty() || second->IsEmpty() || !overlay) {
    state.SkipWithError("samples or chart missing");
    return;
  }
  const BodyRuns body(mask->LockBitsForReading().data());
  const Bitmap::Lock a = first->LockBitsForReading();
  const Bitmap::Lock b = second->LockBitsForReading();
  const Bitmap::Lock blank = chart->LockBitsForReading();
  const Bitmap::Lock o = overlay->LockBits();
  const size_t bytes = static_cast<size_t>(o.data().stride) * o.data().height;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(o.data().scan0, blank.data().scan0, bytes);
    state.ResumeTiming();
    benchmark::DoNotOptimize(OverlayDrawings(a.data(), b.data(), o.data(), body));
  }
  state.SetItemsProcessed(state.iterations() * o.data().width * o.data().height);
}
BENCHMARK(BM_OverlayPass)->Unit(benchmark::kMillisecond);

// What the user waits for when pressing Process: a fresh blank chart read
// from the program, the pass and the nine statistics lines.
void BM_OverlayProcess(benchmark::State& state) {
  CDlgCompareFiles dialog;
  dialog.m_pFirstImage = Bitmap::FromFile(Sample("widespread.png"));
  dialog.m_pSecondImage = Bitmap::FromFile(Sample("low_back_leg.png"));
  for (auto _ : state) {
    dialog.OnProcess();
    benchmark::DoNotOptimize(dialog.m_nCommon);
  }
  if (dialog.m_nFirstOnly == 0 || dialog.m_nSecondOnly == 0) state.SkipWithError("no statistics lines");
}
BENCHMARK(BM_OverlayProcess)->Unit(benchmark::kMillisecond);

// Scaling the full picture into the box, which the box does once per
// picture, not on every repaint.
void BM_OverlayScaleForTheBox(benchmark::State& state) {
  const std::unique_ptr<Bitmap> chart = Bitmap::FromResource(res::IDB_BLANK_CHART_COMPARE);
  for (auto _ : state) {
    benchmark::DoNotOptimize(chart->Image().scaled(738, 521, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  }
}
BENCHMARK(BM_OverlayScaleForTheBox)->Unit(benchmark::kMillisecond);

}  // namespace
