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
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QSettings>
#include <QTimer>

#include <QBuffer>
#include <QImageWriter>

#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr int kWidth = 3508;
constexpr int kHeight = 2480;
const QRgb kWhite = qRgb(255, 255, 255);

// Squares on the front figure's belly and chest, all body pixels.
const QRect kBelly(900, 950, 100, 100);
const QRect kChest(900, 700, 100, 100);
const QRect kBoth(900, 900, 100, 100);  // overlaps kBelly by 50 rows

QImage Drawing(std::initializer_list<QRect> marks, QRgb colour = qRgb(255, 0, 0)) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (const QRect& r : marks) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) image.setPixel(x, y, colour);
    }
  }
  return image;
}

void Save(const QImage& image, const QString& folder, const QString& name) { SavePng(image, name, folder); }

void SetThreshold(const QString& text) {
  Profile::Instance().WriteProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), text);
}

// Records what the progress dialog shows as the run goes: its text when it
// appears and every change while it is up.
class ProgressWatcher : public QObject {
 public:
  ProgressWatcher() {
    qApp->installEventFilter(this);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
    timer_.start();
  }
  ~ProgressWatcher() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      if (auto* dialog = qobject_cast<CDlgWait*>(watched)) {
        dialog_ = dialog;
        shownHidden = dialog->isVisible();
        Look();
      }
    }
    return false;
  }
  void Look() {
    if (dialog_ == nullptr || !dialog_->isVisible()) return;
    const QString text = dialog_->m_staticText->text();
    if (texts.isEmpty() || texts.last() != text) texts << text;
    range = std::make_pair(dialog_->m_progress->minimum(), dialog_->m_progress->maximum());
    lastValue = dialog_->m_progress->value();
    flags = dialog_->windowFlags();
    title = dialog_->windowTitle();
  }
  QStringList texts;
  std::pair<int, int> range;
  int lastValue = -1;
  Qt::WindowFlags flags;
  QString title;
  bool shownHidden = false;

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

  QImage Map() const { return doc_.m_pFinalImage->Image(); }

  CVarenkoDoc doc_;
  ScriptedPrompts prompts_;
  QString folder_;
};

TEST_F(FolderRun, OneDrawingBesideASubfolderNamedLikeADrawing) {
  Save(Drawing({kBelly}), folder_, QStringLiteral("one.png"));
  ASSERT_TRUE(QDir(folder_).mkdir(QStringLiteral("x.png")));
  ProgressWatcher watcher;
  Run(folder_);
  EXPECT_EQ(doc_.m_vecFileName, std::vector<QString>{QStringLiteral("one.png")});
  EXPECT_EQ(doc_.m_vecSelectedPixels, std::vector<int>{10000});
  EXPECT_TRUE(doc_.m_bFolderMode);
  EXPECT_EQ(watcher.texts,
            (QStringList{"Processing file 0 from 1...", "Processing file 1 from 1...", "Creating final image..."}));
  EXPECT_EQ(watcher.range, std::make_pair(0, 1));
  EXPECT_EQ(watcher.lastValue, 1);
  EXPECT_EQ(watcher.title, QStringLiteral("Varenko"));
  EXPECT_FALSE(watcher.flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(watcher.flags & Qt::WindowSystemMenuHint);
  // One drawing: every selected pixel is full red.
  EXPECT_EQ(doc_.m_nMaxFrequency, 1);
  EXPECT_EQ(Map().pixel(950, 1000), qRgb(255, 0, 0));
  EXPECT_EQ(Map().pixel(950, 800), kWhite);
  // The folder stays the current one, and the progress window is gone.
  EXPECT_EQ(QDir::current().canonicalPath(), QDir(folder_).canonicalPath());
  for (QWidget* widget : QApplication::topLevelWidgets()) EXPECT_FALSE(widget->isVisible());
  EXPECT_FALSE(WaitCursor::IsShowing());
}

TEST_F(FolderRun, TwoDrawingsColourTheMapByHowManyMarkedEachPixel) {
  Save(Drawing({kBelly}), folder_, QStringLiteral("a.png"));
  Save(Drawing({kBoth}), folder_, QStringLiteral("b.png"));
  Run(folder_);
  ASSERT_EQ(doc_.m_vecSelectedPixels, (std::vector<int>{10000, 10000}));
  EXPECT_EQ(doc_.m_nMaxFrequency, 2);
  EXPECT_EQ(Map().pixel(950, 970), qRgb(255, 0, 0));       // both
  EXPECT_EQ(Map().pixel(950, 920), qRgb(255, 119, 119));   // b only
  EXPECT_EQ(Map().pixel(950, 1030), qRgb(255, 119, 119));  // a only
  EXPECT_EQ(Map().pixel(950, 1070), kWhite);
  // Outside the marks the map is the blank chart.
  auto blank = Bitmap::FromResource(324);
  int differing = 0;
  for (int y = 0; y < kHeight; y += 7) {
    for (int x = 0; x < kWidth; x += 7) {
      const bool marked = QRect(900, 900, 100, 150).contains(x, y);
      if (!marked && Map().pixel(x, y) != blank->Image().pixel(x, y)) ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST_F(FolderRun, SplitsDrawingsByTheThreshold) {
  // 10000 of 1517036 body pixels is 0.659 %; 20000 is 1.318 %.
  Save(Drawing({kBelly}), folder_, QStringLiteral("a.png"));
  Save(Drawing({kBelly, kChest}), folder_, QStringLiteral("b.png"));
  Save(Drawing({}), folder_, QStringLiteral("c.png"));
  SetThreshold(QStringLiteral("1"));
  Run(folder_);
  EXPECT_EQ(doc_.m_nMaxFrequency, 2);
  EXPECT_EQ(doc_.m_nMaxFrequencyCS, 1);
  EXPECT_EQ(doc_.m_nMaxFrequencyNonCS, 1);

  // Every drawing at or above the threshold; a ratio equal to it counts as
  // CS. The blank drawing has ratio 0, equal to a threshold of 0.
  SetThreshold(QStringLiteral("0"));
  Run(folder_);
  EXPECT_EQ(doc_.m_nMaxFrequencyNonCS, 0);
  EXPECT_EQ(doc_.m_nMaxFrequencyCS, doc_.m_nMaxFrequency);
  const double ratio = 10000 * 100.0 / 1517036;
  SetThreshold(Format("%.17g", ratio));
  Run(folder_);
  EXPECT_EQ(doc_.m_nMaxFrequencyCS, 2);  // a at the threshold, b above
  EXPECT_EQ(doc_.m_nMaxFrequencyNonCS, 0);
  // A threshold that is no number reads as 0: all CS.
  SetThreshold(QStringLiteral("none"));
  Run(folder_);
  EXPECT_EQ(doc_.m_nMaxFrequencyNonCS, 0);
}

TEST_F(FolderRun, BlankDrawingsLeaveTheChartBlank) {
  Save(Drawing({}), folder_, QStringLiteral("a.png"));
  Save(Drawing({}), folder_, QStringLiteral("b.png"));
  Run(folder_);
  EXPECT_EQ(doc_.m_vecSelectedPixels, (std::vector<int>{0, 0}));
  EXPECT_EQ(doc_.m_nMaxFrequency, 0);
  EXPECT_EQ(doc_.m_nMaxFrequencyCS, 0);
  EXPECT_EQ(doc_.m_nMaxFrequencyNonCS, 0);
  EXPECT_EQ(Map(), Bitmap::FromResource(324)->Image());
}

TEST_F(FolderRun, AFolderWithoutUsableDrawingsSaysSo) {
  Save(Drawing({kBelly}).copy(0, 0, kWidth - 1, kHeight), folder_, QStringLiteral("narrow.png"));
  SaveText(QStringLiteral("notes.png"), folder_);
  Save(Drawing({kBelly}), folder_, QStringLiteral("drawing.jpg"));
  Run(folder_);
  EXPECT_EQ(prompts_.Messages(), QStringList{QStringLiteral("There are no png files in this folder")});
  EXPECT_TRUE(doc_.m_vecOriginal.empty());
  EXPECT_TRUE(doc_.m_bFolderMode);
  EXPECT_FALSE(WaitCursor::IsShowing());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(FolderRun, ListsPngFilesByNameWithoutRegardToCase) {
  for (const char* name : {"b.PNG", "C.png", "a.png", "B1.Png"}) Save(Drawing({}), folder_, QString::fromLatin1(name));
  Save(Drawing({}), folder_, QStringLiteral("d.bmp"));
  Run(folder_);
  EXPECT_EQ(doc_.m_vecFileName, (std::vector<QString>{"a.png", "b.PNG", "B1.Png", "C.png"}));
}

TEST_F(FolderRun, RemembersTheFolderWithOneTrailingSeparator) {
  Save(Drawing({}), folder_, QStringLiteral("a.png"));
  const QString section = QStringLiteral("Settings");
  const QString entry = QStringLiteral("Open Folder Path");
  // A cancelled choice writes nothing and leaves an empty folder set.
  prompts_.Answer(std::nullopt);
  doc_.OnOpenFolder();
  EXPECT_EQ(Profile::Instance().GetProfileString(section, entry, QStringLiteral("<none>")), QStringLiteral("<none>"));
  EXPECT_EQ(prompts_.records().back().options.initialDir, DefaultFolder());
  EXPECT_EQ(prompts_.records().back().text, QStringLiteral("Select folder:"));
  EXPECT_TRUE(doc_.m_bFolderMode);
  EXPECT_TRUE(doc_.m_vecOriginal.empty());

  Run(folder_);
  const QString stored = QDir::toNativeSeparators(folder_) + QDir::separator();
  EXPECT_EQ(Profile::Instance().GetProfileString(section, entry), stored);
  Run(folder_ + QLatin1Char('/'));
  EXPECT_EQ(Profile::Instance().GetProfileString(section, entry), stored);
  // The next run's browser starts there.
  prompts_.Answer(std::nullopt);
  doc_.OnOpenFolder();
  EXPECT_EQ(prompts_.records().back().options.initialDir, stored);
  // A folder that is gone is replaced by the default.
  Profile::Instance().WriteProfileString(section, entry, folder_ + QStringLiteral("/gone/"));
  prompts_.Answer(std::nullopt);
  doc_.OnOpenFolder();
  EXPECT_EQ(prompts_.records().back().options.initialDir, DefaultFolder());
}

TEST_F(FolderRun, TheSmartAreaOptionMeasuresTheSetAgain) {
  Profile::Instance().WriteProfileInt(QStringLiteral("Options"), QStringLiteral("Use Smart Selected Area Calculations"),
                                      0);
  doc_.m_bSmartArea = false;
  // A ring around the belly square: with the option its inside counts too.
  QImage ring =
      Drawing({QRect(880, 930, 140, 4), QRect(880, 1066, 140, 4), QRect(880, 930, 4, 140), QRect(1016, 930, 4, 140)});
  Save(ring, folder_, QStringLiteral("a.png"));
  Save(Drawing({kBelly}), folder_, QStringLiteral("b.png"));
  Save(Drawing({kChest}), folder_, QStringLiteral("c.png"));
  SetThreshold(QStringLiteral("0.5"));
  Run(folder_);
  const std::vector<int> before = doc_.m_vecSelectedPixels;
  const QImage mapBefore = Map().copy();
  const int maxBefore = doc_.m_nMaxFrequency;
  const int csBefore = doc_.m_nMaxFrequencyCS;
  std::vector<const Bitmap*> originals;
  for (const auto& original : doc_.m_vecOriginal) originals.push_back(original.get());
  doc_.m_nCurrent = 2;

  // While the set is measured again, the window keeps drawing: it finds the
  // drawing and the map it showed, as they were.
  const Bitmap* shown = doc_.GetCurrentProcessed();
  const Bitmap* map = doc_.m_pFinalImage.get();
  int looks = 0;
  bool unchanged = true;
  QTimer painter;
  QObject::connect(&painter, &QTimer::timeout, [&] {
    if (!doc_.IsRunning()) return;
    ++looks;
    unchanged = unchanged && doc_.GetCurrentProcessed() == shown && doc_.m_pFinalImage.get() == map &&
                doc_.m_nMaxFrequency == maxBefore;
  });
  painter.start(0);
  doc_.OnSmartArea();
  painter.stop();
  EXPECT_GT(looks, 0);
  EXPECT_TRUE(unchanged);
  EXPECT_TRUE(doc_.m_bSmartArea);
  EXPECT_EQ(Profile::Instance().GetProfileInt(QStringLiteral("Options"),
                                              QStringLiteral("Use Smart Selected Area Calculations"), -1),
            1);
  EXPECT_EQ(doc_.m_nCurrent, 2u);
  for (size_t i = 0; i < originals.size(); ++i) EXPECT_EQ(doc_.m_vecOriginal[i].get(), originals[i]);
  // The ring and its inside, without the navel mark's line pixels, which
  // are no body pixels.
  int enclosedBody = 0;
  const QImage mask = doc_.m_pBodyMask->Image();
  for (int y = 930; y < 1070; ++y) {
    for (int x = 880; x < 1020; ++x) enclosedBody += qBlue(mask.pixel(x, y)) >= 250;
  }
  EXPECT_GT(enclosedBody, 19000);
  EXPECT_EQ(doc_.m_vecSelectedPixels[0], enclosedBody);
  EXPECT_EQ(doc_.m_vecSelectedPixels[1], before[1]);
  EXPECT_EQ(doc_.m_nMaxFrequency, 2);  // the ring's inside overlaps b

  // Switching back restores every count and the map byte for byte.
  doc_.OnSmartArea();
  EXPECT_EQ(doc_.m_vecSelectedPixels, before);
  EXPECT_EQ(doc_.m_nMaxFrequency, maxBefore);
  EXPECT_EQ(doc_.m_nMaxFrequencyCS, csBefore);
  EXPECT_EQ(Map(), mapBefore);

  // A changed threshold moves the CS split on the next re-run.
  SetThreshold(QStringLiteral("50"));
  doc_.OnSmartArea();
  doc_.OnSmartArea();
  EXPECT_EQ(doc_.m_nMaxFrequencyCS, 0);
  EXPECT_EQ(doc_.m_nMaxFrequency, maxBefore);
}

TEST(SmartAreaOption, WithoutDrawingsOrWithOneDrawing) {
  Profile::Instance().Settings().clear();
  CVarenkoDoc doc;
  ASSERT_TRUE(doc.OnNewDocument());
  ScriptedPrompts prompts;
  doc.OnSmartArea();
  CmdUI ui(32775);
  ASSERT_TRUE(doc.OnUpdateCommandUI(ui));
  EXPECT_TRUE(ui.checked());
  EXPECT_EQ(Profile::Instance().GetProfileInt(QStringLiteral("Options"),
                                              QStringLiteral("Use Smart Selected Area Calculations"), -1),
            1);
  doc.OnSmartArea();
  CmdUI off(32775);
  doc.OnUpdateCommandUI(off);
  EXPECT_FALSE(off.checked());
  EXPECT_TRUE(off.enabled());

  const QString path = SourcePath(QStringLiteral("samples/outlined.png"));
  ASSERT_TRUE(doc.OnOpenDocument(path));
  const int plain = doc.m_vecSelectedPixels[0];
  doc.OnSmartArea();
  EXPECT_GT(doc.m_vecSelectedPixels[0], plain);
  ASSERT_EQ(doc.m_vecProcessed.size(), 1u);
  doc.OnSmartArea();
  EXPECT_EQ(doc.m_vecSelectedPixels, std::vector<int>{plain});
}

TEST(FrequencyLevel, WorkedExamples) {
  const std::tuple<uint32_t, uint32_t, int> examples[] = {{1, 1, 255}, {2, 1, 136},  {3, 1, 96},   {3, 2, 175},
                                                          {10, 1, 40}, {10, 9, 231}, {1000, 1, 16}};
  for (const auto& [m, c, v] : examples) EXPECT_EQ(FrequencyLevel(c, m), v) << m << " " << c;
}

}  // namespace

namespace {

// Everything a run leaves that a user or a later step can see.
struct RunOutcome {
  std::vector<QString> names;
  std::vector<int> counts;
  int max = 0, maxCs = 0, maxNonCs = 0;
  QImage map;
  std::vector<QImage> processed;

  bool operator==(const RunOutcome&) const = default;
};

RunOutcome Outcome(const CVarenkoDoc& doc) {
  RunOutcome outcome{doc.m_vecFileName,
                     doc.m_vecSelectedPixels,
                     doc.m_nMaxFrequency,
                     doc.m_nMaxFrequencyCS,
                     doc.m_nMaxFrequencyNonCS,
                     doc.m_pFinalImage->Image().copy(),
                     {}};
  for (const auto& copy : doc.m_vecProcessed) outcome.processed.push_back(copy->Image().copy());
  return outcome;
}

TEST_F(FolderRun, OneWorkerAndManyGiveTheSameResults) {
  // Marks, an outline, blank drawings, wrong sizes and files that are no
  // image, in an order that is not the order of their names.
  Save(Drawing({kBelly, kChest}), folder_, QStringLiteral("m1.png"));
  Save(Drawing({QRect(880, 930, 140, 4), QRect(880, 1066, 140, 4), QRect(880, 930, 4, 140), QRect(1016, 930, 4, 140)}),
       folder_, QStringLiteral("ring.png"));
  Save(Drawing({}), folder_, QStringLiteral("Blank.png"));
  Save(Drawing({kBoth}, qRgb(0, 0, 255)), folder_, QStringLiteral("blue.PNG"));
  Save(Drawing({kBelly}).copy(0, 0, 100, 100), folder_, QStringLiteral("small.png"));
  SaveText(QStringLiteral("a_notes.png"), folder_);
  for (const char* name : {"s1.png", "s2.png", "s3.png"}) {
    ASSERT_TRUE(QFile::copy(SourcePath(QStringLiteral("samples/widespread.png")), folder_ + "/" + name));
  }
  ASSERT_TRUE(QFile::copy(SourcePath(QStringLiteral("samples/outlined.png")), folder_ + "/outlined.png"));
  SetThreshold(QStringLiteral("1"));

  RunOutcome outcomes[2][2];
  for (int workers : {1, 7}) {
    doc_.m_nWorkerThreads = workers;
    doc_.m_bSmartArea = false;
    Run(folder_);
    const int k = workers == 1 ? 0 : 1;
    outcomes[k][0] = Outcome(doc_);
    doc_.OnSmartArea();
    outcomes[k][1] = Outcome(doc_);
    doc_.OnSmartArea();
  }
  ASSERT_EQ(outcomes[0][0].names.size(), 8u);
  EXPECT_EQ(outcomes[0][0].names.front(), QStringLiteral("Blank.png"));
  EXPECT_NE(outcomes[0][0], outcomes[0][1]);  // the option changes something
  EXPECT_TRUE(outcomes[0][0] == outcomes[1][0]);
  EXPECT_TRUE(outcomes[0][1] == outcomes[1][1]);
  // Every processed copy and count is what the drawing opened alone gives,
  // read the thorough way and processed on a copy of its pixels.
  for (const bool smart : {false, true}) {
    const RunOutcome& run = outcomes[0][smart ? 1 : 0];
    for (size_t i = 0; i < run.names.size(); ++i) {
      SCOPED_TRACE(run.names[i].toStdString());
      CVarenkoDoc alone;
      alone.m_bSmartArea = smart;
      ASSERT_TRUE(alone.OnOpenDocument(folder_ + QLatin1Char('/') + run.names[i]));
      EXPECT_EQ(alone.m_vecSelectedPixels[0], run.counts[i]);
      EXPECT_TRUE(alone.m_vecProcessed[0]->Image() == run.processed[i]);
    }
  }
}

TEST_F(FolderRun, DrawingsAwayFromTheOneOnShowAreParked) {
  for (int i = 0; i < 6; ++i) Save(Drawing({kBelly}), folder_, QStringLiteral("d%1.png").arg(i));
  Run(folder_);
  QApplication::processEvents();
  auto awake = [this] {
    std::vector<size_t> indices;
    for (size_t i = 0; i < doc_.m_vecOriginal.size(); ++i) {
      EXPECT_EQ(doc_.m_vecOriginal[i]->IsParked(), doc_.m_vecProcessed[i]->IsParked()) << i;
      if (!doc_.m_vecOriginal[i]->IsParked()) indices.push_back(i);
    }
    return indices;
  };
  EXPECT_EQ(awake(), (std::vector<size_t>{0, 1}));
  // The view steps and reads the drawing on show; its neighbours follow.
  doc_.m_nCurrent = 4;
  ASSERT_NE(doc_.GetCurrentProcessed(), nullptr);
  QApplication::processEvents();
  EXPECT_EQ(awake(), (std::vector<size_t>{3, 4, 5}));
  // Parked or not, every processed copy reads the same.
  for (const auto& copy : doc_.m_vecProcessed) EXPECT_EQ(copy->Image().pixel(950, 1000), qRgb(0, 255, 255));
}

}  // namespace

namespace {

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

// Entries a folder of drawings may also hold that are no drawing files:
// none of them may be read, nor hold the run up.
void AddEntriesThatAreNoFiles(const QString& folder) {
  const QByteArray base = QFile::encodeName(folder) + '/';
  ASSERT_EQ(::mkfifo(base + "fifo.png", 0600), 0);
  ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("folder.png")));
  ASSERT_EQ(::symlink("loop.png", base + "loop.png"), 0);
  ASSERT_EQ(::symlink("/dev/zero", base + "zero.png"), 0);
  ASSERT_EQ(::symlink("missing.png", base + "broken.png"), 0);
}

TEST_F(FolderRun, ReadsEveryDrawingAUserExpectsAndNothingElse) {
  AddEntriesThatAreNoFiles(folder_);
  Save(Drawing({kBelly}), folder_, QStringLiteral("a.png"));
  ASSERT_EQ(::symlink("a.png", QFile::encodeName(folder_) + "/link.png"), 0);
  // A name in Latin-1, which is no valid UTF-8: read by its bytes.
  Save(Drawing({kBelly, kChest}), folder_, QStringLiteral("latin.png"));
  ASSERT_EQ(::rename(QFile::encodeName(folder_) + "/latin.png", QFile::encodeName(folder_) + "/r\xe9sultat.png"), 0);
  // Scanners and tablets save other formats; the name does not decide.
  QImageWriter tiff(folder_ + QStringLiteral("/scan.png"), "tiff");
  ASSERT_TRUE(tiff.write(Drawing({kChest})));
  SaveText(QStringLiteral("b.png"), folder_, DeepWithTransparentWhite(Drawing({kBelly})));

  Run(folder_);
  EXPECT_TRUE(prompts_.Messages().isEmpty());
  EXPECT_EQ(doc_.m_vecFileName,
            (std::vector<QString>{"a.png", "b.png", "link.png", QStringLiteral("r\uFFFDsultat.png"), "scan.png"}));
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
  ::unlink(QFile::encodeName(folder_) + "/r\xe9sultat.png");
}

TEST(FolderReading, TheDecodersFileCorpusGivesTheDrawingsOfTheMasksSizeWithTheirCounts) {
  // A mask of the corpus drawings' size: body on the left half.
  CVarenkoDoc doc;
  QImage mask(200, 150, QImage::Format_RGB32);
  for (int y = 0; y < mask.height(); ++y) {
    for (int x = 0; x < mask.width(); ++x) mask.setPixel(x, y, x < 100 ? qRgb(116, 167, 254) : qRgb(255, 217, 168));
  }
  doc.m_pBodyMask = std::make_unique<Bitmap>(mask);
  // Selected pixels as Qt reads the file: non-grey on the body.
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
  Save(Drawing({kBelly}), folder_, QStringLiteral("drawing.png"));
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
  for (int i = 0; i < 12; ++i) Save(Drawing({kBelly}), folder_, QStringLiteral("d%1.png").arg(i, 2, 10, QChar('0')));
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
