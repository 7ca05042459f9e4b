#include "analysis/document.h"
#include "analysis/frequency.h"
#include "analysis/threshold.h"
#include "analysis/waitdialog.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/text.h"
#include "framework/waitcursor.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr int kChartBody = 1517036;
// Squares on the front figure's belly and chest, all body pixels.
const QRect kBelly(900, 950, 100, 100);
const QRect kChest(900, 700, 100, 100);
const QRect kBoth(900, 900, 100, 100);  // overlaps kBelly by 50 rows
// A ring, 4 pixels wide, around the belly square.
const std::vector<QRect> kRing = {QRect(880, 930, 140, 4), QRect(880, 1066, 140, 4), QRect(880, 930, 4, 140),
                                  QRect(1016, 930, 4, 140)};

void SetThreshold(const QString& text) {
  Profile::Instance().WriteProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), text);
}

TEST(FrequencyLevel, WorkedExamples) {
  const std::tuple<uint32_t, uint32_t, int> examples[] = {{1, 1, 255}, {2, 1, 136},  {3, 1, 96},   {3, 2, 175},
                                                          {10, 1, 40}, {10, 9, 231}, {1000, 1, 16}};
  for (const auto& [m, c, v] : examples) EXPECT_EQ(FrequencyLevel(c, m), v) << m << " " << c;
}

// Records what the progress dialog shows while it is up: every text from
// the moment it appears, its range and last value, its title and flags.
class ProgressWatcher : public QObject {
 public:
  ProgressWatcher() {
    qApp->installEventFilter(this);
    connect(&timer_, &QTimer::timeout, this, &ProgressWatcher::Look);
    timer_.start(0);
  }
  ~ProgressWatcher() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (auto* dialog = qobject_cast<CDlgWait*>(watched); dialog != nullptr && event->type() == QEvent::Show) {
      dialog_ = dialog;
      Look();
    }
    return false;
  }
  void Look() {
    if (dialog_ == nullptr || !dialog_->isVisible()) return;
    if (texts.isEmpty() || texts.last() != dialog_->m_staticText->text()) texts << dialog_->m_staticText->text();
    progress = {dialog_->m_progress->minimum(), dialog_->m_progress->maximum(), dialog_->m_progress->value()};
    title = dialog_->windowTitle();
    flags = dialog_->windowFlags();
  }
  QStringList texts;
  std::array<int, 3> progress{};
  QString title;
  Qt::WindowFlags flags;

 private:
  QPointer<CDlgWait> dialog_;
  QTimer timer_;
};

class FolderRun : public ::testing::Test {
 protected:
  void SetUp() override {
    Profile::Instance().Settings().clear();
    folder_ = TempDir();
    ASSERT_TRUE(doc_.OnNewDocument());
  }
  // Runs Open Folder on the folder, answering the folder question.
  void Run(const QString& folder) {
    prompts_.Answer(folder);
    doc_.OnOpenFolder();
  }
  void Save(const QImage& image, const QString& name) { SavePng(image, name, folder_); }
  QImage Map() const { return doc_.m_pFinalImage->Image(); }

  CVarenkoDoc doc_;
  ScriptedPrompts prompts_;
  QString folder_;
};

TEST_F(FolderRun, ColoursTheMapByHowManyDrawingsMarkedEachPixel) {
  Save(ChartDrawing({kBelly}), QStringLiteral("a.png"));
  Save(ChartDrawing({kBoth}), QStringLiteral("b.png"));
  ASSERT_TRUE(QDir(folder_).mkdir(QStringLiteral("x.png")));
  // A ratio equal to the threshold counts as CS: both drawings do.
  SetThreshold(Format("%.17g", Ratio(10000, kChartBody)));
  ProgressWatcher watcher;
  Run(folder_);
  EXPECT_EQ(doc_.m_vecFileName, (std::vector<QString>{"a.png", "b.png"}));
  EXPECT_EQ(doc_.m_vecSelectedPixels, (std::vector<int>{10000, 10000}));
  EXPECT_EQ(std::tuple(doc_.m_nMaxFrequency, doc_.m_nMaxFrequencyCS, doc_.m_nMaxFrequencyNonCS), std::tuple(2, 2, 0));
  // Pixels both drawings marked are full red, those one marked the pale red
  // of 1 in 2; everything else is the blank chart.
  QImage expected = Bitmap::FromResource(324)->Image().copy();
  QPainter painter(&expected);
  painter.fillRect(kBelly | kBoth, QColor(255, 119, 119));
  painter.fillRect(kBelly & kBoth, QColor(255, 0, 0));
  painter.end();
  EXPECT_TRUE(Map() == expected);
  EXPECT_EQ(watcher.texts, (QStringList{"Processing file 0 from 2...", "Processing file 1 from 2...",
                                        "Processing file 2 from 2...", "Creating final image..."}));
  EXPECT_EQ(watcher.progress, (std::array<int, 3>{0, 2, 2}));
  EXPECT_EQ(watcher.title, QStringLiteral("Varenko"));
  EXPECT_FALSE(watcher.flags & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
  // The folder stays the current one; the progress window and the wait
  // cursor are gone.
  EXPECT_EQ(QDir::current().canonicalPath(), QDir(folder_).canonicalPath());
  for (QWidget* widget : QApplication::topLevelWidgets()) EXPECT_FALSE(widget->isVisible());
  EXPECT_FALSE(WaitCursor::IsShowing());
}

TEST_F(FolderRun, RemembersTheFolderWithOneTrailingSeparator) {
  const QString section = QStringLiteral("Settings");
  const QString entry = QStringLiteral("Open Folder Path");
  Profile& profile = Profile::Instance();
  // A cancelled choice writes nothing and leaves an empty folder set.
  prompts_.Answer(std::nullopt);
  doc_.OnOpenFolder();
  EXPECT_EQ(profile.GetProfileString(section, entry, QStringLiteral("<none>")), QStringLiteral("<none>"));
  EXPECT_EQ(prompts_.records().back().options.initialDir, DefaultFolder());
  EXPECT_EQ(prompts_.records().back().text, QStringLiteral("Select folder:"));
  EXPECT_TRUE(doc_.m_bFolderMode);
  EXPECT_TRUE(doc_.m_vecOriginal.empty());

  const QString stored = QDir::toNativeSeparators(folder_) + QDir::separator();
  for (const QString& chosen : {folder_, folder_ + QLatin1Char('/')}) {
    Run(chosen);
    EXPECT_EQ(profile.GetProfileString(section, entry), stored);
  }
  // The next run's browser starts there; at the default when it is gone.
  for (const QString& remembered : {stored, folder_ + QStringLiteral("/gone/")}) {
    profile.WriteProfileString(section, entry, remembered);
    prompts_.Answer(std::nullopt);
    doc_.OnOpenFolder();
    EXPECT_EQ(prompts_.records().back().options.initialDir, remembered == stored ? stored : DefaultFolder());
  }
}

// A 16-bit RGB file of the image whose white is marked transparent (a tRNS
// chunk), as some programs save drawings.
QByteArray DeepWithTransparentWhite(const QImage& image) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.convertToFormat(QImage::Format_RGBX64).save(&buffer, "PNG"));
  QByteArray chunk = QByteArray::fromHex("00000006") + "tRNS" + QByteArray::fromHex("ffffffffffff");
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.constData() + 4), 10);
  for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>((crc >> shift) & 0xFF);
  return png.insert(png.indexOf("IDAT") - 4, chunk);
}

TEST_F(FolderRun, ReadsEveryDrawingAUserExpectsAndNothingElse) {
  // Entries that are no drawings of the chart's size: none may be read, nor
  // hold the run up.
  const QByteArray base = QFile::encodeName(folder_) + '/';
  ASSERT_EQ(::mkfifo(base + "fifo.png", 0600), 0);
  ASSERT_TRUE(QDir(folder_).mkdir(QStringLiteral("folder.png")));
  ASSERT_EQ(::symlink("loop.png", base + "loop.png"), 0);
  ASSERT_EQ(::symlink("/dev/zero", base + "zero.png"), 0);
  ASSERT_EQ(::symlink("missing.png", base + "broken.png"), 0);
  SaveText(QStringLiteral("notes.png"), folder_);
  Save(ChartDrawing({kBelly}).copy(0, 0, 3507, 2480), QStringLiteral("narrow.png"));
  Save(ChartDrawing({kBelly}), QStringLiteral("drawing.jpg"));
  Run(folder_);
  EXPECT_EQ(prompts_.Messages(), QStringList{QStringLiteral("There are no png files in this folder")});
  EXPECT_TRUE(doc_.m_vecOriginal.empty());
  EXPECT_FALSE(WaitCursor::IsShowing());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // Drawings, listed by name without regard to case: a link to one, a name
  // in Latin-1 (no valid UTF-8, read by its bytes), a TIFF file and a
  // 16-bit one with a transparent colour; the name does not decide.
  Save(ChartDrawing({kBelly}), QStringLiteral("a.png"));
  ASSERT_EQ(::symlink("a.png", base + "Link.png"), 0);
  Save(ChartDrawing({kBelly, kChest}), QStringLiteral("latin.png"));
  ASSERT_EQ(::rename(base + "latin.png", base + "r\xe9sultat.png"), 0);
  ASSERT_TRUE(QImageWriter(folder_ + QStringLiteral("/Scan.Png"), "tiff").write(ChartDrawing({kChest})));
  SaveText(QStringLiteral("B.PNG"), folder_, DeepWithTransparentWhite(ChartDrawing({kBelly})));
  prompts_.Clear();
  Run(folder_);
  EXPECT_TRUE(prompts_.Messages().isEmpty());
  EXPECT_EQ(doc_.m_vecFileName,
            (std::vector<QString>{"a.png", "B.PNG", "Link.png", QStringLiteral("r\uFFFDsultat.png"), "Scan.Png"}));
  EXPECT_EQ(doc_.m_vecSelectedPixels, (std::vector<int>{10000, 10000, 10000, 20000, 10000}));

  // A scale in the name changes nothing: the drawing is shown pixel for
  // pixel.
  ASSERT_TRUE(QFile::rename(folder_ + QStringLiteral("/a.png"), folder_ + QStringLiteral("/plain@2x.png")));
  ASSERT_TRUE(doc_.OnOpenDocument(folder_ + QStringLiteral("/plain@2x.png")));
  EXPECT_EQ(doc_.GetCurrentOriginal()->Image().devicePixelRatio(), 1.0);
  EXPECT_EQ(doc_.GetCurrentProcessed()->Image().devicePixelRatio(), 1.0);
  // Opened alone, a FIFO is refused at once as a file that is no image.
  EXPECT_FALSE(doc_.OnOpenDocument(folder_ + QStringLiteral("/fifo.png")));
  EXPECT_TRUE(doc_.m_vecProcessed.empty());
  // Qt cannot remove what it cannot name.
  ::unlink(base + "r\xe9sultat.png");
}

TEST(FolderReading, TheDecodersFileCorpusGivesTheDrawingsOfTheMasksSizeWithTheirCounts) {
  // A mask of the corpus drawings' size: body on the left half.
  CVarenkoDoc doc;
  QImage mask(200, 150, QImage::Format_RGB32);
  mask.fill(qRgb(255, 217, 168));
  QPainter(&mask).fillRect(0, 0, 100, 150, QColor(116, 167, 254));
  doc.m_pBodyMask = std::make_unique<Bitmap>(mask);
  // Selected pixels as Qt reads the file: not grey, on the body.
  auto recount = [](const QString& name) {
    const QImage image =
        QImage(SourcePath(QStringLiteral("tests/data/png/") + name)).convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < 100; ++x) {
        const QRgb p = image.pixel(x, y);
        count += qRed(p) != qGreen(p) || qGreen(p) != qBlue(p);
      }
    }
    return count;
  };
  const QString here = QDir::currentPath();
  doc.LoadFolderImages(SourcePath(QStringLiteral("tests/data/png")) + QLatin1Char('/'));
  QDir::setCurrent(here);
  // Qt misreads the 16-bit file with a transparent colour; its twin
  // without one holds the same pixels.
  const std::vector<std::pair<QString, QString>> expected = {{"drawing_palette.png", "drawing_palette.png"},
                                                             {"drawing_rgb.png", "drawing_rgb.png"},
                                                             {"drawing_rgb16.png", "drawing_rgb16.png"},
                                                             {"drawing_rgb16_trns.png", "drawing_rgb16.png"},
                                                             {"drawing_rgba.png", "drawing_rgba.png"}};
  ASSERT_EQ(doc.m_vecFileName.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(doc.m_vecFileName[i], expected[i].first);
    std::unique_ptr<Bitmap> copy = doc.m_vecOriginal[i]->CloneArea(0, 0, 200, 150);
    int count = 0;
    doc.ProcessImage(copy.get(), &count);
    EXPECT_EQ(count, recount(expected[i].second)) << expected[i].first.toStdString();
    EXPECT_GT(count, 100);
  }
}

// Everything a run leaves that a user or a later step can see.
struct RunOutcome {
  std::vector<QString> names;
  std::vector<int> counts;
  std::array<int, 3> maxima;
  QImage map;
  std::vector<QImage> processed;

  bool operator==(const RunOutcome&) const = default;
};

RunOutcome Outcome(const CVarenkoDoc& doc) {
  RunOutcome outcome{doc.m_vecFileName,
                     doc.m_vecSelectedPixels,
                     {doc.m_nMaxFrequency, doc.m_nMaxFrequencyCS, doc.m_nMaxFrequencyNonCS},
                     doc.m_pFinalImage->Image().copy(),
                     {}};
  for (const auto& copy : doc.m_vecProcessed) outcome.processed.push_back(copy->Image().copy());
  return outcome;
}

TEST_F(FolderRun, OneWorkerAndManyAgreeWithEachOtherAndWithTheDrawingsOpenedAlone) {
  // A ring, a blue square, a real outlined drawing and a blank one, beside
  // files that are left out, in an order that is not that of their names.
  Save(ChartDrawing(kRing), QStringLiteral("ring.png"));
  Save(ChartDrawing({kBoth}, qRgb(0, 0, 255)), QStringLiteral("blue.PNG"));
  Save(ChartDrawing(), QStringLiteral("Blank.png"));
  ASSERT_TRUE(QFile::copy(SourcePath(QStringLiteral("samples/outlined.png")), folder_ + "/outlined.png"));
  Save(ChartDrawing({kBelly}).copy(0, 0, 100, 100), QStringLiteral("small.png"));
  SaveText(QStringLiteral("a_notes.png"), folder_);
  SetThreshold(QStringLiteral("1"));
  auto awake = [this] {
    std::vector<size_t> indices;
    for (size_t i = 0; i < doc_.m_vecOriginal.size(); ++i) {
      EXPECT_EQ(doc_.m_vecOriginal[i]->IsParked(), doc_.m_vecProcessed[i]->IsParked()) << i;
      if (!doc_.m_vecOriginal[i]->IsParked()) indices.push_back(i);
    }
    return indices;
  };
  // One worker runs without the smart area and measures the set again with
  // it; three run with it and measure again without.
  std::vector<RunOutcome> outcomes;
  for (const int workers : {1, 3}) {
    doc_.m_nWorkerThreads = workers;
    doc_.m_bSmartArea = workers == 3;
    Run(folder_);
    // The drawings away from the one on show are parked; the view steps and
    // reads the drawing on show, and its neighbours follow.
    QApplication::processEvents();
    EXPECT_EQ(awake(), (std::vector<size_t>{0, 1}));
    doc_.m_nCurrent = 3;
    const Bitmap* shown = doc_.GetCurrentProcessed();
    QApplication::processEvents();
    EXPECT_EQ(awake(), (std::vector<size_t>{2, 3}));
    outcomes.push_back(Outcome(doc_));

    // While the set is measured again, the window keeps drawing: it finds
    // the drawing and the map it showed, as they were.
    std::vector<const Bitmap*> originals;
    for (const auto& original : doc_.m_vecOriginal) originals.push_back(original.get());
    const Bitmap* map = doc_.m_pFinalImage.get();
    int looks = 0;
    bool unchanged = true;
    QTimer painter;
    QObject::connect(&painter, &QTimer::timeout, [&] {
      if (!doc_.IsRunning()) return;
      ++looks;
      unchanged = unchanged && doc_.GetCurrentProcessed() == shown && doc_.m_pFinalImage.get() == map &&
                  doc_.m_nMaxFrequency == outcomes.back().maxima[0];
    });
    painter.start(0);
    doc_.OnSmartArea();
    painter.stop();
    EXPECT_GT(looks, 0);
    EXPECT_TRUE(unchanged);
    EXPECT_EQ(doc_.m_nCurrent, 3u);
    for (size_t i = 0; i < originals.size(); ++i) EXPECT_EQ(doc_.m_vecOriginal[i].get(), originals[i]);
    outcomes.push_back(Outcome(doc_));
  }
  ASSERT_EQ(outcomes[0].names, (std::vector<QString>{"Blank.png", "blue.PNG", "outlined.png", "ring.png"}));
  EXPECT_FALSE(outcomes[0] == outcomes[1]);  // the option changes something
  EXPECT_TRUE(outcomes[0] == outcomes[3]);
  EXPECT_TRUE(outcomes[1] == outcomes[2]);
  // Every processed copy and count is what the drawing opened alone gives.
  CVarenkoDoc alone;
  for (const bool smart : {false, true}) {
    const RunOutcome& run = outcomes[smart ? 1 : 0];
    for (size_t i = 0; i < run.names.size(); ++i) {
      SCOPED_TRACE(run.names[i].toStdString());
      alone.m_bSmartArea = smart;
      ASSERT_TRUE(alone.OnOpenDocument(folder_ + QLatin1Char('/') + run.names[i]));
      EXPECT_EQ(alone.m_vecSelectedPixels[0], run.counts[i]);
      EXPECT_TRUE(alone.m_vecProcessed[0]->Image() == run.processed[i]);
    }
  }
}

#if !defined(__SANITIZE_ADDRESS__)
// A line of /proc/self/status in kilobytes (VmHWM, VmData), or -1.
long StatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
  }
  return -1;
}

// These run in a child process of their own, whose memory they measure or
// limit; it ends with exit(), which removes its temporary folders. The
// address sanitizer reserves far more address space than any such limit
// allows, so they are left to the plain build.

TEST_F(FolderRun, LargePicturesThatAreNoDrawingsAreNotDecoded) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Eight 11000 x 11000 pictures would take 460 MB each as 32-bit pixels.
  QImage huge(11000, 11000, QImage::Format_Mono);
  huge.fill(1);
  const QString first = SavePng(huge, QStringLiteral("huge0.png"), folder_);
  huge = QImage();
  for (int i = 1; i < 8; ++i) QFile::copy(first, folder_ + QStringLiteral("/huge%1.png").arg(i));
  Save(ChartDrawing({kBelly}), QStringLiteral("drawing.png"));
  doc_.m_nWorkerThreads = 2;
  auto child = [this] {
    const long before = StatusKb("VmHWM");
    Run(folder_);
    const long grown = (StatusKb("VmHWM") - before) / 1024;
    const bool ok = doc_.m_vecFileName == std::vector<QString>{"drawing.png"} &&
                    doc_.m_vecSelectedPixels == std::vector<int>{10000} && grown < 300;
    std::fprintf(stderr, "peak grew by %ld MB\n", grown);
    std::exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(FolderRun, RunsOutOfMemoryWithoutAbortingOrMismatchingDrawings) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const QString first = SavePng(ChartDrawing({kBelly}), QStringLiteral("d0.png"), folder_);
  for (int i = 1; i < 8; ++i) QFile::copy(first, folder_ + QStringLiteral("/d%1.png").arg(i));
  doc_.m_nWorkerThreads = 8;
  auto child = [this] {
    // Room for a few workers' memory, not for eight.
    const rlim_t room = static_cast<rlim_t>(StatusKb("VmData") + 200 * 1024) * 1024;
    const rlimit limit{room, room};
    setrlimit(RLIMIT_DATA, &limit);
    Run(folder_);
    const size_t n = doc_.m_vecOriginal.size();
    bool ok = doc_.m_vecFileName.size() == n && (doc_.m_vecProcessed.size() == n || prompts_.Messages().size() == 1) &&
              doc_.m_vecSelectedPixels.size() == doc_.m_vecProcessed.size();
    size_t made = 0;
    for (size_t i = 0; i < doc_.m_vecProcessed.size(); ++i) {
      // Every copy beside its own original, with that drawing's count.
      const bool has = doc_.m_vecProcessed[i] != nullptr;
      made += has;
      ok = ok && doc_.m_vecSelectedPixels[i] == (has ? 10000 : 0);
    }
    std::fprintf(stderr, "%zu drawings kept, %zu measured, %lld messages\n", n, made,
                 static_cast<long long>(prompts_.Messages().size()));
    std::exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
