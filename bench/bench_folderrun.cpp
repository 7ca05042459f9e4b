#include "analysis/document.h"
#include "framework/bitmap.h"
#include "framework/prompts.h"
#include "shell/view.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <map>
#include <memory>

namespace {

// A folder of n drawings made from the sample drawings, made once per size.
const QString& Folder(int n) {
  static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
  auto& dir = folders[n];
  if (!dir) {
    dir = std::make_unique<QTemporaryDir>();
    QDir samples(QStringLiteral(VARENKO_SOURCE_DIR "/samples"));
    QStringList drawings;
    for (const QString& name : samples.entryList({QStringLiteral("*.png")}, QDir::Files)) {
      if (name != QLatin1String("notes.png") && name != QLatin1String("wrong_size.png")) drawings << name;
    }
    for (int i = 0; i < n; ++i) {
      const QString& name = drawings[i % drawings.size()];
      QFile::copy(samples.filePath(name),
                  dir->filePath(QStringLiteral("%1_%2").arg(i, 5, 10, QLatin1Char('0')).arg(name)));
    }
  }
  static QString path;
  path = dir->path();
  return path;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Open Folder over n drawings: args threads (0: one per core up to the
// program's limit), smart area,
// n. Reports drawings per second and the process's peak resident memory;
// run one configuration per process to read its own peak.
void BM_FolderRun(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const bool smart = state.range(1) != 0;
  const int n = static_cast<int>(state.range(2));
  const QString folder = Folder(n);
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
    ->ArgNames({"threads", "smart", "n"})
    ->Args({1, 0, 200})
    ->Args({2, 0, 200})
    ->Args({4, 0, 200})
    ->Args({8, 0, 200})
    ->Args({12, 0, 200})
    ->Args({0, 0, 200})
    ->Args({1, 1, 200})
    ->Args({0, 1, 200})
    ->Args({0, 0, 1000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Reading the same files and nothing else, on one thread.
void BM_DecodeOnly(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const QDir folder(Folder(n));
  const QStringList names = folder.entryList({QStringLiteral("*.png")}, QDir::Files);
  for (auto _ : state) {
    for (const QString& name : names) benchmark::DoNotOptimize(Bitmap::FromFile(folder.filePath(name)));
  }
  state.counters["drawings_per_s"] =
      benchmark::Counter(static_cast<double>(names.size()) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeOnly)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Stepping to the next drawing of a folder of 1,000 in the view: the key,
// the redraw of both panes, and the neighbours made ready.
void BM_StepThroughFolder(benchmark::State& state) {
  CVarenkoDoc doc;
  doc.OnNewDocument();
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
BENCHMARK(BM_StepThroughFolder)->Arg(1000)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
