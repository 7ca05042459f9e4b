#include "analysis/document.h"
#include "bench/drawings.h"
#include "framework/bitmap.h"
#include "framework/pngdecode.h"
#include "framework/prompts.h"
#include "shell/view.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QInputDevice>
#include <QKeyEvent>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

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
  // The program has started: whatever it makes once for its life is made.
  CVarenkoDoc().OnNewDocument();
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
    ->Args({1, 0, 8, 0})
    ->Args({8, 0, 8, 0})
    ->Args({1, 0, 8, 1})
    ->Args({8, 0, 8, 1})
    ->Args({0, 0, 200, 0})
    ->Args({0, 0, 200, 1})
    ->Args({0, 0, 200, 2})
    ->Args({0, 0, 200, 3})
    ->Args({0, 1, 200, 0})
    ->Args({0, 0, 1000, 0})
    ->Args({0, 0, 1000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The peak resident memory of the process while it runs Open Folder over n
// drawings of a kind (as for the folder run), with the smart area off (smart 0)
// or on (1), or while it measures the set again when the option is switched
// on after a run without it (2). The peak starts again from what is
// resident before the run, so making the folder does not count.
void BM_FolderRunPeak(benchmark::State& state) {
  const int n = static_cast<int>(state.range(1));
  const int smart = static_cast<int>(state.range(2));
  const QString folder = Folder(n, static_cast<DrawingKind>(state.range(0)));
  for (auto _ : state) {
    CVarenkoDoc doc;
    doc.OnNewDocument();
    doc.m_bSmartArea = smart == 1;
    ScriptedPrompts prompts;
    prompts.Answer(folder);
    state.counters["base_MB"] = StatusMegabytes("VmRSS");
    ResetPeak();
    doc.OnOpenFolder();
    if (smart == 2) {
      ResetPeak();
      doc.OnSmartArea();
    }
    state.counters["peak_MB"] = StatusMegabytes("VmHWM");
    if (static_cast<int>(doc.m_vecProcessed.size()) != n || !prompts.Messages().isEmpty()) {
      state.SkipWithError("not every drawing was measured");
    }
  }
}
BENCHMARK(BM_FolderRunPeak)
    ->ArgNames({"kind", "n", "smart"})
    ->ArgsProduct({{0, 1, 2, 3}, {1000}, {0, 1, 2}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A new document, as every folder run and Open File starts with: the body
// mask and the blank chart ready, the body counted.
void BM_NewDocument(benchmark::State& state) {
  for (auto _ : state) {
    CVarenkoDoc doc;
    doc.OnNewDocument();
    benchmark::DoNotOptimize(doc.m_nBodyPixels);
  }
}
BENCHMARK(BM_NewDocument)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// The view with hooks that note when each key reached it and when it
// painted itself after it.
class TimedView : public CVarenkoView {
 public:
  using CVarenkoView::CVarenkoView;
  using Clock = std::chrono::steady_clock;
  // When each key was pressed, written by the keyboard thread before it
  // posts the key.
  std::vector<Clock::time_point> pressed;
  // From each key's press to the end of the first paint after it, in
  // milliseconds.
  std::vector<double> steps;
  size_t handled = 0;
  // Whether the drawing each key stepped to was ready when the key came.
  int ready = 0;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const CVarenkoDoc& doc = *GetDocument();
    const size_t next = doc.m_nCurrent + 1;
    ready += next < doc.m_vecOriginal.size() && !doc.m_vecOriginal[next]->IsParked() &&
             !doc.m_vecProcessed[next]->IsParked();
    ++handled;
    CVarenkoView::keyPressEvent(event);
  }
  void paintEvent(QPaintEvent* event) override {
    CVarenkoView::paintEvent(event);
    const Clock::time_point now = Clock::now();
    while (steps.size() < handled) {
      steps.push_back(std::chrono::duration<double, std::milli>(now - pressed[steps.size()]).count());
    }
  }
};

// Stepping through a folder of 200 drawings of a kind (DrawingKind: 0
// light, 1 heavy, 2 light RGB, 3 heavy RGB) in a shown view, as a user
// does: the Right key pressed every so many milliseconds (200 for single
// presses, 100 for brisk ones, 30 for a key held down), each step timed
// from the key's press to the end of the view's next paint, the event loop
// running in between. Keys that come while the program is busy wait, as
// they do on a real keyboard. Reports the median step (also as the time),
// the slowest, the share of keys whose drawing was ready when they came,
// and the peak memory.
void BM_Step(benchmark::State& state) {
  const auto kind = static_cast<DrawingKind>(state.range(0));
  const bool smart = state.range(1) != 0;
  const auto interval = std::chrono::milliseconds(state.range(2));
  constexpr size_t kSteps = 50;
  CVarenkoDoc doc;
  doc.OnNewDocument();
  doc.m_bSmartArea = smart;
  TimedView view(&doc);
  view.OnCreate();
  view.resize(1600, 900);
  view.show();
  QApplication::processEvents();
  ScriptedPrompts prompts;
  prompts.Answer(Folder(200, kind));
  doc.OnOpenFolder();
  for (auto _ : state) {
    doc.m_nCurrent = 0;
    view.update();
    view.pressed.assign(kSteps, {});
    view.steps.clear();
    view.handled = 0;
    view.ready = 0;
    // The view settles on the first drawing before the first key.
    QEventLoop loop;
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec();
    // The keyboard's device is made on this thread, before the keyboard
    // thread's keys need it.
    QInputDevice::primaryKeyboard();
    std::thread keyboard([&view, interval] {
      const auto start = TimedView::Clock::now();
      for (size_t k = 0; k < kSteps; ++k) {
        std::this_thread::sleep_until(start + k * interval);
        view.pressed[k] = TimedView::Clock::now();
        QCoreApplication::postEvent(&view, new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier));
      }
    });
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
      if (view.steps.size() == kSteps) loop.quit();
    });
    check.start(5);
    loop.exec();
    keyboard.join();
    std::vector<double> steps = view.steps;
    std::sort(steps.begin(), steps.end());
    state.SetIterationTime(steps[kSteps / 2] / 1e3);
    state.counters["median_ms"] = steps[kSteps / 2];
    state.counters["max_ms"] = steps.back();
    state.counters["ready"] = static_cast<double>(view.ready) / kSteps;
  }
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_Step)
    ->ArgNames({"kind", "smart", "every_ms"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}, {200, 100, 30}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
