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
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

// Squares on the front figure's belly and chest, all body pixels.
const QRect kBelly(900, 950, 100, 100);
const QRect kChest(900, 700, 100, 100);
const QRect kBoth(900, 900, 100, 100);  // overlaps kBelly by 50 rows
// A ring, 4 pixels wide, around the belly square.
const std::vector<QRect> kRing = {QRect(880, 930, 140, 4), QRect(880, 1066, 140, 4), QRect(880, 930, 4, 140),
                                  QRect(1016, 930, 4, 140)};

void SetThreshold(const QString& text) { Profile::Instance().WriteProfileString("Options", "CS Threshold", text); }

TEST(FrequencyLevel, WorkedExamples) {
  const std::tuple<uint32_t, uint32_t, int> examples[] = {{1, 1, 255}, {2, 1, 136},  {3, 1, 96},   {3, 2, 175},
                                                          {10, 1, 40}, {10, 9, 231}, {1000, 1, 16}};
  for (const auto& [m, c, v] : examples) EXPECT_EQ(FrequencyLevel(c, m), v) << m << " " << c;
}

class FolderRun : public ::testing::Test {
 protected:
  void SetUp() override {
    Profile::Instance().Settings().clear();
    doc_.m_bSmartArea = false;  // read from the settings before they were cleared
    folder_ = TempDir();
    ASSERT_TRUE(doc_.OnNewDocument());
  }
  // Runs Open Folder on the folder, answering the folder question.
  void Run(const QString& folder) {
    prompts_.Answer(folder);
    doc_.OnOpenFolder();
  }
  void Save(const QImage& image, const QString& name) { SavePng(image, name, folder_); }

  CVarenkoDoc doc_;
  ScriptedPrompts prompts_;
  QString folder_;
};

TEST_F(FolderRun, ColoursTheMapByHowManyDrawingsMarkedEachPixel) {
  Save(ChartDrawing({kBelly}), "a.png");
  Save(ChartDrawing({kBoth}), "b.png");
  // A ratio equal to the threshold counts as CS: both drawings do.
  SetThreshold(Format("%.17g", Ratio(10000, 1517036)));
  // What the progress dialog shows while it is up.
  QStringList texts;
  std::array<int, 3> progress{};
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<CDlgWait*>(widget);
      if (dialog == nullptr || !dialog->isVisible()) continue;
      if (texts.isEmpty() || texts.last() != dialog->m_staticText->text()) texts << dialog->m_staticText->text();
      progress = {dialog->m_progress->minimum(), dialog->m_progress->maximum(), dialog->m_progress->value()};
      EXPECT_EQ(dialog->windowTitle(), "Varenko");
      EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    }
  });
  watch.start(0);
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
  EXPECT_TRUE(doc_.m_pFinalImage->Image() == expected);
  EXPECT_EQ(texts,
            (QStringList{"Processing file 1 from 2...", "Processing file 2 from 2...", "Creating final image..."}));
  EXPECT_EQ(progress, (std::array<int, 3>{0, 2, 2}));
  // The folder stays the current one; the progress window and the wait
  // cursor are gone.
  EXPECT_EQ(QDir::current().canonicalPath(), QDir(folder_).canonicalPath());
  for (QWidget* widget : QApplication::topLevelWidgets()) EXPECT_FALSE(widget->isVisible());
  EXPECT_FALSE(WaitCursor::IsShowing());
}

TEST_F(FolderRun, ReadsEveryDrawingAUserExpectsAndNothingElse) {
  // Entries that are no drawings of the chart's size: none may be read, nor
  // hold the run up.
  const QByteArray base = QFile::encodeName(folder_) + '/';
  ASSERT_EQ(::mkfifo(base + "fifo.png", 0600), 0);
  ASSERT_TRUE(QDir(folder_).mkdir("folder.png"));
  ASSERT_EQ(::symlink("loop.png", base + "loop.png"), 0);
  ASSERT_EQ(::symlink("/dev/zero", base + "zero.png"), 0);
  ASSERT_EQ(::symlink("missing.png", base + "broken.png"), 0);
  SaveText("notes.png", folder_);
  Save(ChartDrawing({kBelly}).copy(0, 0, 3507, 2480), "narrow.png");
  Save(ChartDrawing({kBelly}), "drawing.jpg");
  // Cancels the folder question; where its browser started.
  auto browserStart = [&] {
    prompts_.Answer(std::nullopt);
    doc_.OnOpenFolder();
    EXPECT_EQ(prompts_.records().back().text, "Select folder:");
    return prompts_.records().back().options.initialDir;
  };
  EXPECT_EQ(browserStart(), DefaultFolder());
  EXPECT_TRUE(doc_.m_bFolderMode && doc_.m_vecOriginal.empty());
  // How many drawings the progress counts to: a file that is no image is
  // none.
  int counted = 0;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<CDlgWait*>(widget);
      if (dialog != nullptr && dialog->isVisible()) counted = std::max(counted, dialog->m_progress->maximum());
    }
  });
  watch.start(0);
  Run(folder_);
  EXPECT_EQ(counted, 0);
  EXPECT_EQ(prompts_.Messages(), QStringList{"There are no png files in this folder"});
  EXPECT_TRUE(doc_.m_vecOriginal.empty());
  EXPECT_FALSE(WaitCursor::IsShowing());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // Drawings, listed by name without regard to case: a link to one, a name
  // in Latin-1 (no valid UTF-8, read by its bytes) and a TIFF file, as
  // scanners save them: the name does not decide.
  Save(ChartDrawing({kBelly}), "a.png");
  ASSERT_EQ(::symlink("a.png", base + "Link.png"), 0);
  Save(ChartDrawing({kBelly, kChest}), "latin.png");
  ASSERT_EQ(::rename(base + "latin.png", base + "r\xe9sultat.png"), 0);
  ASSERT_TRUE(QImageWriter(folder_ + "/Scan.Png", "tiff").write(ChartDrawing({kChest})));
  Save(ChartDrawing({kBelly}), "B.PNG");
  prompts_.Clear();
  Run(folder_ + '/');
  EXPECT_TRUE(prompts_.Messages().isEmpty());
  EXPECT_EQ(counted, 5);
  EXPECT_EQ(doc_.m_vecFileName,
            (std::vector<QString>{"a.png", "B.PNG", "Link.png", QStringLiteral("r\uFFFDsultat.png"), "Scan.Png"}));
  EXPECT_EQ(doc_.m_vecSelectedPixels, (std::vector<int>{10000, 10000, 10000, 20000, 10000}));
  // The folder is remembered with one separator at its end; the next
  // browser starts there, or at the default once it is gone.
  Profile& profile = Profile::Instance();
  const QString stored = QDir::toNativeSeparators(folder_) + QDir::separator();
  EXPECT_EQ(profile.GetProfileString("Settings", "Open Folder Path"), stored);
  EXPECT_EQ(browserStart(), stored);
  profile.WriteProfileString("Settings", "Open Folder Path", folder_ + "/gone/");
  EXPECT_EQ(browserStart(), DefaultFolder());

  // A scale in the name changes nothing: the drawing is shown pixel for
  // pixel.
  ASSERT_TRUE(QFile::rename(folder_ + "/a.png", folder_ + "/plain@2x.png"));
  ASSERT_TRUE(doc_.OnOpenDocument(folder_ + "/plain@2x.png"));
  EXPECT_EQ(doc_.GetCurrentOriginal()->Image().devicePixelRatio(), 1.0);
  EXPECT_EQ(doc_.GetCurrentProcessed()->Image().devicePixelRatio(), 1.0);
  // Opened alone, a FIFO is refused at once as a file that is no image.
  EXPECT_FALSE(doc_.OnOpenDocument(folder_ + "/fifo.png"));
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
  const QString here = QDir::currentPath();
  doc.LoadFolderImages(SourcePath("tests/data/png/"));
  QDir::setCurrent(here);
  const std::vector<QString> names = {"drawing_palette.png",
                                      "drawing_rgb.png",
                                      "drawing_rgb16.png",
                                      "drawing_rgb16_trns.png",
                                      "drawing_rgb16_trns_without_end_crc.png",
                                      "drawing_rgba.png"};
  ASSERT_EQ(doc.m_vecFileName, names);
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i].toStdString());
    std::unique_ptr<Bitmap> copy = doc.m_vecOriginal[i]->CloneArea(0, 0, 200, 150);
    int count = 0;
    doc.ProcessImage(copy.get(), &count);
    // The selected pixels as Qt reads the file: not grey, on the body. Qt
    // misreads the 16-bit file with a transparent colour; its twin without
    // one holds the same pixels, as does the copy that lacks only the end
    // chunk's checksum.
    const QString twin = QString(names[i]).remove("_trns").remove("_without_end_crc");
    const QImage image = QImage(SourcePath("tests/data/png/" + twin)).convertToFormat(QImage::Format_RGB32);
    int expected = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < 100; ++x) {
        const QRgb p = image.pixel(x, y);
        expected += qRed(p) != qGreen(p) || qGreen(p) != qBlue(p);
      }
    }
    EXPECT_EQ(count, expected);
    EXPECT_GT(count, 100);
  }
}

TEST_F(FolderRun, DamagedFilesOfTheChartsSizeAreLeftOutAtNoCost) {
  // Beside one drawing: chunks that claim 2 GB in files of a kilobyte,
  // image data that goes on far beyond the image, and a copy cut off in its
  // header.
  for (const char* name : {"lie_text.png", "lie_ztxt.png", "lie_data.png", "lie_text_after_data.png", "bomb_chart.png",
                           "cut_in_header_crc.png"}) {
    ASSERT_TRUE(QFile::copy(SourcePath("tests/data/png/") + name, folder_ + QLatin1Char('/') + name));
  }
  Save(ChartDrawing({kBelly}), "drawing.png");
  doc_.m_nWorkerThreads = 2;
  const ResidentPeak peak;
  Run(folder_);
  EXPECT_EQ(doc_.m_vecFileName, std::vector<QString>{"drawing.png"});
  EXPECT_EQ(doc_.m_vecSelectedPixels, std::vector<int>{10000});
  // Two workers' memory for a drawing and its counts, about 100 MB (more
  // under the address sanitizer).
  EXPECT_LT(peak.GrownMb(), 600);
}

TEST_F(FolderRun, BytesAfterADrawingsEndAreNotKept) {
  // The same drawing three times, the second with 100 MB after its end
  // chunk, the third with so much that the file is larger than any
  // drawing's (sparse files): each the same count, read only up to its
  // end, and kept in no more than the drawing's own bytes. Open File reads
  // the largest too.
  const QString path = SavePng(ChartDrawing({kBelly}), "a.png", folder_);
  const qint64 size = QFileInfo(path).size();
  for (const auto& [name, after] : {std::pair("b.png", qint64{100} << 20), std::pair("c.png", kLargestDrawingFile)}) {
    ASSERT_TRUE(QFile::copy(path, folder_ + '/' + name));
    ASSERT_TRUE(QFile::resize(folder_ + '/' + name, size + after));
  }
  const long long readBefore = BytesReadSoFar();
  Run(folder_);
  ASSERT_EQ(doc_.m_vecFileName, (std::vector<QString>{"a.png", "b.png", "c.png"}));
  EXPECT_LT(BytesReadSoFar() - readBefore, 16 << 20);
  EXPECT_EQ(doc_.m_vecSelectedPixels, (std::vector<int>{10000, 10000, 10000}));
  for (const auto& original : doc_.m_vecOriginal) {
    ASSERT_NE(original->Parked(), nullptr);
    EXPECT_LE(original->Parked()->bytes.size(), static_cast<size_t>(size));
  }
  EXPECT_FALSE(Bitmap::FromFile(folder_ + "/c.png")->IsEmpty());
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
  Save(ChartDrawing(kRing), "ring.png");
  Save(ChartDrawing({kBoth}, qRgb(0, 0, 255)), "blue.PNG");
  Save(ChartDrawing(), "Blank.png");
  ASSERT_TRUE(QFile::copy(SourcePath("samples/outlined.png"), folder_ + "/outlined.png"));
  Save(ChartDrawing({kBelly}).copy(0, 0, 100, 100), "small.png");
  SaveText("a_notes.png", folder_);
  auto awake = [this] {
    std::vector<size_t> indices;
    for (size_t i = 0; i < doc_.m_vecOriginal.size(); ++i) {
      EXPECT_EQ(doc_.m_vecOriginal[i]->IsParked(), doc_.m_vecProcessed[i]->IsParked()) << i;
      if (!doc_.m_vecOriginal[i]->IsParked()) indices.push_back(i);
    }
    return indices;
  };
  // One worker runs without the smart area and measures the set again with
  // it; three run with it and measure again without. The threshold is set
  // before each: 1 % without the option, above every drawing, 0 with it.
  std::vector<RunOutcome> outcomes;
  for (const int workers : {1, 3}) {
    doc_.m_nWorkerThreads = workers;
    doc_.m_bSmartArea = workers == 3;
    SetThreshold(workers == 3 ? "0" : "1");
    Run(folder_);
    // The drawings away from the one on show are parked; the view steps and
    // reads the drawing on show, which is there at once, and its neighbours
    // follow from their thread.
    EXPECT_TRUE(QTest::qWaitFor([&] { return awake() == std::vector<size_t>{0, 1}; }, kWorkerWaitMs));
    doc_.m_nCurrent = 3;
    const Bitmap* shown = doc_.GetCurrentProcessed();
    EXPECT_FALSE(shown->IsParked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return awake() == std::vector<size_t>{2, 3}; }, kWorkerWaitMs));
    // The neighbour made on its thread holds the pixels made on this one.
    EXPECT_EQ(doc_.m_vecProcessed[2]->Image(), Bitmap::Make(doc_.m_vecProcessed[2]->Parked()));
    outcomes.push_back(Outcome(doc_));

    // While the set is measured again, the window keeps drawing: it finds
    // the drawing and the map it showed, as they were.
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
    SetThreshold(workers == 3 ? "1" : "0");
    doc_.OnSmartArea();
    painter.stop();
    EXPECT_GT(looks, 0);
    EXPECT_TRUE(unchanged);
    EXPECT_EQ(doc_.m_nCurrent, 3u);
    outcomes.push_back(Outcome(doc_));
  }
  ASSERT_EQ(outcomes[0].names, (std::vector<QString>{"Blank.png", "blue.PNG", "outlined.png", "ring.png"}));
  EXPECT_FALSE(outcomes[0] == outcomes[1]);  // the option changes something
  EXPECT_TRUE(outcomes[0] == outcomes[3]);
  EXPECT_TRUE(outcomes[1] == outcomes[2]);
  EXPECT_EQ(outcomes[0].maxima[1] + outcomes[1].maxima[2], 0);  // no CS drawing, then no drawing without
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

// In a child process of its own, whose memory the test measures and then
// limits; it ends with exit(), which removes its temporary folders. The
// address sanitizer reserves far more address space than any such limit
// allows, so this is left to the plain build.
TEST_F(FolderRun, LargePicturesAreNotDecodedAndRunningOutOfMemoryNeverAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Eight 11000 x 11000 pictures that are no drawings would take 460 MB
  // each as 32-bit pixels; beside them one drawing.
  const QString huge = TempDir();
  QImage picture(11000, 11000, QImage::Format_Mono);
  picture.fill(1);
  const QString first = SavePng(picture, "huge0.png", huge);
  picture = QImage();
  for (int i = 1; i < 8; ++i) QFile::copy(first, huge + QStringLiteral("/huge%1.png").arg(i));
  const QString drawing = SavePng(ChartDrawing({kBelly}), "drawing.png", huge);
  // Eight drawings, for more workers than the memory left allows.
  for (int i = 0; i < 8; ++i) QFile::copy(drawing, folder_ + QStringLiteral("/d%1.png").arg(i));
  auto child = [&] {
    doc_.m_nWorkerThreads = 2;
    const long before = StatusKb("VmHWM");
    Run(huge);
    const long grown = (StatusKb("VmHWM") - before) / 1024;
    bool ok = doc_.m_vecFileName == std::vector<QString>{"drawing.png"} &&
              doc_.m_vecSelectedPixels == std::vector<int>{10000} && grown < 300;
    // Room for a few workers' memory, not for eight.
    doc_.m_nWorkerThreads = 8;
    const rlim_t room = static_cast<rlim_t>(StatusKb("VmData") + 200 * 1024) * 1024;
    const rlimit limit{room, room};
    setrlimit(RLIMIT_DATA, &limit);
    Run(folder_);
    // Every drawing measured, or none and one message.
    const size_t n = doc_.m_vecOriginal.size();
    ok = ok && doc_.m_vecFileName.size() == n && doc_.m_vecSelectedPixels == std::vector<int>(n, 10000) &&
         std::count(doc_.m_vecProcessed.begin(), doc_.m_vecProcessed.end(), nullptr) == 0 &&
         (n == 8 ? prompts_.Messages().isEmpty() : n == 0 && prompts_.Messages().size() == 1);
    // No room left at all: switching the smart area keeps the results and,
    // with them, the option as it was.
    const rlim_t none = static_cast<rlim_t>(StatusKb("VmData") + 8 * 1024) * 1024;
    const rlimit full{none, none};
    setrlimit(RLIMIT_DATA, &full);
    const std::vector<int> counts = doc_.m_vecSelectedPixels;
    doc_.OnSmartArea();
    ok =
        ok && !doc_.m_bSmartArea && doc_.m_vecSelectedPixels == counts &&
        Profile::Instance().GetProfileInt("Options", "Use Smart Selected Area Calculations", 1) == 0 &&
        prompts_.Messages().value(prompts_.Messages().size() - 1) == "There is not enough memory to process the images";
    std::fprintf(stderr, "peak grew by %ld MB; %zu drawings kept\n", grown, n);
    std::exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}
#endif

// Under a limit on the address space (or on the data), in a child process
// of its own for each limit: a run over drawings that together take more
// memory than some limits leave keeps every drawing, or shows the message
// and keeps the set as it was; the same for measuring them again with the
// smart area. A child that hangs is ended by an alarm.
TEST_F(FolderRun, ShortOfMemoryEveryDrawingIsMeasuredOrTheRunSaysSo) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than any of these limits allows";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Twenty drawings of about 1 MB each: grey grain over a square of the chart,
  // which no packing makes smaller, beside an outlined square.
  QImage drawing = ChartDrawing(kRing);
  QRandomGenerator random(7);
  for (int y = 1000; y < 2000; ++y) {
    auto* row = reinterpret_cast<QRgb*>(drawing.scanLine(y));
    for (int x = 1500; x < 2500; ++x) row[x] = 0xFF010101u * random.bounded(256u);
  }
  const QString first = SavePng(drawing, "d00.png", folder_);
  constexpr int kDrawings = 20;
  for (int i = 1; i < kDrawings; ++i) {
    QFile::copy(first, folder_ + QStringLiteral("/d%1.png").arg(i, 2, 10, QChar('0')));
  }
  std::array<int, 2> alone{};  // the drawing's count alone, without and with the smart area
  for (const bool smart : {false, true}) {
    CVarenkoDoc doc;
    doc.m_bSmartArea = smart;
    ASSERT_TRUE(doc.OnOpenDocument(first));
    alone[smart] = doc.m_vecSelectedPixels[0];
  }
  const QString noMemory = "There is not enough memory to process the images";
  auto child = [&](int resource, long extraMb) {
    alarm(60);
    const rlim_t room =
        static_cast<rlim_t>(StatusKb(resource == RLIMIT_AS ? "VmSize" : "VmData") + extraMb * 1024) * 1024;
    const rlimit limit{room, room};
    setrlimit(resource, &limit);
    Run(folder_);
    const auto all = [&](int count) {
      return doc_.m_vecOriginal.size() == kDrawings && doc_.m_vecSelectedPixels == std::vector<int>(kDrawings, count) &&
             std::count(doc_.m_vecProcessed.begin(), doc_.m_vecProcessed.end(), nullptr) == 0;
    };
    const bool whole = all(alone[0]) && prompts_.Messages().isEmpty();
    bool ok = whole || (prompts_.Messages() == QStringList{noMemory} && doc_.m_vecOriginal.empty() &&
                        doc_.m_vecProcessed.empty() && doc_.m_nMaxFrequency == 0);
    if (whole) {
      doc_.OnSmartArea();
      ok = ok && (prompts_.Messages().isEmpty()
                      ? all(alone[1]) && doc_.m_bSmartArea
                      : prompts_.Messages() == QStringList{noMemory} && all(alone[0]) && !doc_.m_bSmartArea);
    }
    std::fprintf(stderr, "%s %+ld MB: %zu drawings kept; %s\n", resource == RLIMIT_AS ? "address space" : "data",
                 extraMb, doc_.m_vecOriginal.size(), prompts_.Messages().join("; ").toUtf8().constData());
    std::exit(ok ? 0 : 1);
  };
  const std::pair<int, long> limits[] = {{RLIMIT_AS, 150}, {RLIMIT_AS, 300}, {RLIMIT_AS, 450}, {RLIMIT_DATA, 150}};
  for (const auto& [resource, extraMb] : limits) {
    EXPECT_EXIT(child(resource, extraMb), ::testing::ExitedWithCode(0), "") << resource << " " << extraMb;
  }
#endif
}

}  // namespace
