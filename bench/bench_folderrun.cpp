#include "analysis/document.h"
#include "framework/bitmap.h"
#include "framework/pngdecode.h"
#include "framework/prompts.h"
#include "shell/view.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <map>
#include <memory>

namespace {

// Heavy drawings: the sample drawings with broad anti-aliased strokes in
// many colours over much of the body, as tablets save them; some ten times
// the file size of a light drawing. Made once per process, the same every
// time.
QStringList HeavyDrawings(const QDir& into) {
  QStringList paths;
  const QImage blank(QStringLiteral(VARENKO_SOURCE_DIR "/samples/blank.png"));
  for (int k = 0; k < 10; ++k) {
    QImage drawing = blank.convertToFormat(QImage::Format_ARGB32);
    QPainter painter(&drawing);
    painter.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator random(static_cast<quint32>(1000 + k));
    for (int stroke = 0; stroke < 11; ++stroke) {
      const QColor colour = QColor::fromHsv(static_cast<int>(random.bounded(360)), 200 + random.bounded(56),
                                            150 + random.bounded(106), 90 + random.bounded(166));
      painter.setPen(QPen(colour, 4 + random.bounded(20), Qt::SolidLine, Qt::RoundCap));
      QPainterPath path(QPointF(300 + random.bounded(2900), 200 + random.bounded(2100)));
      for (int segment = 0; segment < 3; ++segment) {
        path.quadTo(QPointF(300 + random.bounded(2900), 200 + random.bounded(2100)),
                    QPointF(300 + random.bounded(2900), 200 + random.bounded(2100)));
      }
      painter.drawPath(path);
    }
    painter.end();
    const QString path = into.filePath(QStringLiteral("heavy_%1.png").arg(k));
    drawing.save(path, "PNG");
    paths << path;
  }
  return paths;
}

// A folder of n light (sample) or heavy drawings, made once per kind and
// size: in a temporary folder, or under $VARENKO_BENCH_DIR when it is set,
// where it stays for other programs to read (bench/peer.sh).
const QString& Folder(int n, bool heavy = false) {
  static std::map<std::pair<int, bool>, QString> folders;
  static QTemporaryDir temporary;
  QString& path = folders[{n, heavy}];
  if (!path.isEmpty()) return path;
  const QString root =
      qEnvironmentVariableIsSet("VARENKO_BENCH_DIR") ? qEnvironmentVariable("VARENKO_BENCH_DIR") : temporary.path();
  path = QDir(root).filePath(QStringLiteral("%1_%2").arg(QLatin1String(heavy ? "heavy" : "light")).arg(n));
  QDir dir(path);
  if (dir.exists() && dir.entryList(QDir::Files).size() == n) return path;
  dir.removeRecursively();
  QDir().mkpath(path);
  QStringList drawings;
  if (heavy) {
    static const QStringList made = HeavyDrawings(QDir(temporary.path()));
    drawings = made;
  } else {
    const QDir samples(QStringLiteral(VARENKO_SOURCE_DIR "/samples"));
    for (const QString& name : samples.entryList({QStringLiteral("*.png")}, QDir::Files)) {
      if (name != QLatin1String("notes.png") && name != QLatin1String("wrong_size.png")) {
        drawings << samples.filePath(name);
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    const QString& source = drawings[i % drawings.size()];
    QFile::copy(source, dir.filePath(
                            QStringLiteral("%1_%2").arg(i, 5, 10, QLatin1Char('0')).arg(QFileInfo(source).fileName())));
  }
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
  const QString folder = Folder(n, state.range(3) != 0);
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
    ->ArgNames({"threads", "smart", "n", "heavy"})
    ->Args({1, 0, 200, 0})
    ->Args({1, 0, 200, 1})
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

// Reading the same files and nothing else, on one thread: the quick path
// as a run reads them (arg quick 1), or the libpng path (arg quick 0).
void BM_DecodeOnly(benchmark::State& state) {
  const QDir folder(Folder(200, state.range(0) != 0));
  const bool quick = state.range(1) != 0;
  const QStringList names = folder.entryList({QStringLiteral("*.png")}, QDir::Files);
  DrawingReader reader(3508, 2480);
  QImage scratch(3508, 2480, QImage::Format_RGB32);
  for (auto _ : state) {
    for (const QString& name : names) {
      if (quick) {
        benchmark::DoNotOptimize(reader.Read(QFile::encodeName(folder.filePath(name))));
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
    ->ArgNames({"heavy", "quick"})
    ->ArgsProduct({{0, 1}, {0, 1}})
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
