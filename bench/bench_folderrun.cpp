#include "analysis/document.h"
#include "bench/drawings.h"
#include "framework/bitmap.h"
#include "framework/pngdecode.h"
#include "framework/prompts.h"
#include "shell/view.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <memory>

namespace {

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Open Folder over n drawings: args threads (0: one per core up to the
// program's limit), smart area, n, kind of drawing (DrawingKind: 0 light,
// 1 heavy, 2 light RGB, 3 heavy RGB). Reports drawings per second and the process's peak resident memory;
// run one configuration per process to read its own peak.
void BM_FolderRun(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const bool smart = state.range(1) != 0;
  const int n = static_cast<int>(state.range(2));
  const QString folder = Folder(n, static_cast<DrawingKind>(state.range(3)));
  state.counters["base_MB"] = PeakMegabytes();
  for (auto _ : state) {
    CVarenkoDoc doc;
    doc.OnNewDocument();
    doc.m_nWorkerThreads = threads;
    doc.m_bSmartArea = smart;
    ScriptedPrompts prompts;
    prompts.Answer(folder);
    doc.OnOpenFolder();
    if (static_cast<int>(doc.m_vecProcessed.size()) != n) state.SkipWithError("not every drawing was measured");
  }
  state.counters["drawings_per_s"] =
      benchmark::Counter(static_cast<double>(n) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_FolderRun)
    ->ArgNames({"threads", "smart", "n", "kind"})
    ->Args({1, 0, 200, 0})
    ->Args({1, 0, 200, 1})
    ->Args({1, 0, 200, 2})
    ->Args({1, 0, 200, 3})
    ->Args({1, 1, 200, 0})
    ->Args({2, 0, 200, 0})
    ->Args({4, 0, 200, 0})
    ->Args({8, 0, 200, 0})
    ->Args({12, 0, 200, 0})
    ->Args({0, 0, 200, 0})
    ->Args({0, 0, 200, 1})
    ->Args({0, 1, 200, 0})
    ->Args({0, 0, 1000, 0})
    ->Args({0, 0, 1000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Reading the same files and nothing else, on one thread: args kind of
// drawing (as for the folder run) and decoder: the libpng path (0), the
// quick path as a run reads them (1), or libdeflate's inflating of their
// image data alone (2), what the quick path cannot do without.
void BM_DecodeOnly(benchmark::State& state) {
  const QDir folder(Folder(200, static_cast<DrawingKind>(state.range(0))));
  const int decoder = static_cast<int>(state.range(1));
  const QStringList names = folder.entryList({QStringLiteral("*.png")}, QDir::Files);
  DrawingReader reader(3508, 2480);
  QImage scratch(3508, 2480, QImage::Format_RGB32);
  PngInflater inflater;
  for (auto _ : state) {
    for (const QString& name : names) {
      if (decoder == 1) {
        if (!reader.Read(QFile::encodeName(folder.filePath(name)))) state.SkipWithError("quick path");
      } else if (decoder == 2) {
        if (!inflater.Inflate(folder.filePath(name))) state.SkipWithError("inflate");
      } else {
        QFile file(folder.filePath(name));
        file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        scratch = ReadPngAsRgb32(file, kImageAllocationLimitMb, std::move(scratch));
      }
    }
  }
  state.counters["drawings_per_s"] =
      benchmark::Counter(static_cast<double>(names.size()) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeOnly)
    ->ArgNames({"kind", "decoder"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Stepping to the next drawing of a folder of 1,000 in the view: the key,
// the redraw of both panes, and the neighbours made ready; with the smart
// area off or on.
void BM_StepThroughFolder(benchmark::State& state) {
  CVarenkoDoc doc;
  doc.OnNewDocument();
  doc.m_bSmartArea = state.range(1) != 0;
  CVarenkoView view(&doc);
  view.OnCreate();
  view.resize(1600, 900);
  view.show();
  QApplication::processEvents();
  ScriptedPrompts prompts;
  prompts.Answer(Folder(static_cast<int>(state.range(0))));
  doc.OnOpenFolder();
  QApplication::processEvents();
  for (auto _ : state) {
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(&view, &right);
    view.repaint();
    QApplication::processEvents();
    if (doc.m_nCurrent + 1 >= doc.m_vecOriginal.size()) doc.m_nCurrent = 0;
  }
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_StepThroughFolder)
    ->ArgNames({"n", "smart"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
