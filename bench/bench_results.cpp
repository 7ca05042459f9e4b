#include "analysis/document.h"
#include "analysis/resultsdialog.h"
#include "framework/bitmap.h"

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

// Opening Results on a folder set of n parked drawings: the dialog with its
// list, table and report. Reports how many drawings it woke (none should).
void BM_ResultsDialog(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  QImage drawing(3508, 2480, QImage::Format_RGB32);
  drawing.fill(Qt::white);
  const Bitmap::ParkedPixels parked = Bitmap::Pack(drawing);
  CVarenkoDoc doc;
  doc.OnNewDocument();
  for (int i = 0; i < n; ++i) {
    doc.m_vecOriginal.push_back(Bitmap::FromParked(parked));
    doc.m_vecProcessed.push_back(Bitmap::FromParked(parked));
    doc.m_vecFileName.push_back(QStringLiteral("drawing_%1.png").arg(i, 5, 10, QLatin1Char('0')));
    doc.m_vecSelectedPixels.push_back(i * 997 % 400000);
  }
  for (auto _ : state) {
    CDlgResults dialog(&doc);
    dialog.OnInitDialog();
    benchmark::DoNotOptimize(dialog.m_strStatistics.size());
  }
  int woken = 0;
  for (const auto& bitmap : doc.m_vecOriginal) woken += !bitmap->IsParked();
  for (const auto& bitmap : doc.m_vecProcessed) woken += !bitmap->IsParked();
  state.counters["woken"] = woken;
}
BENCHMARK(BM_ResultsDialog)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
