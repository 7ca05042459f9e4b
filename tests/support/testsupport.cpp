#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>

namespace {

// A figure of one of the process's files in /proc; -1 when there is none.
long long ProcFigure(const char* file, const char* key) {
  QFile status(QStringLiteral("/proc/self/") + QLatin1String(file));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  const QByteArray prefix = QByteArray(key) + ':';
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(prefix)) return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
  }
  return -1;
}

}  // namespace

long StatusKb(const char* key) { return static_cast<long>(ProcFigure("status", key)); }

ResidentPeak::ResidentPeak() {
  // Writing 5 there starts the peak afresh from what is resident now.
  QFile reset(QStringLiteral("/proc/self/clear_refs"));
  if (reset.open(QIODevice::WriteOnly) && reset.write("5") == 1 && reset.flush()) startKb_ = StatusKb("VmRSS");
}

long ResidentPeak::GrownMb() const {
  const long peak = StatusKb("VmHWM");
  return startKb_ < 0 || peak < 0 ? -1 : std::max(peak - startKb_, 0L) / 1024;
}

long long BytesReadSoFar() { return ProcFigure("io", "rchar"); }

QString SourcePath(const QString& relative) { return QDir(QStringLiteral(VARENKO_SOURCE_DIR)).filePath(relative); }

QString TempDir() {
  static QTemporaryDir root;
  const QString path = root.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
  QDir().mkpath(path);
  return path;
}

QString SavePng(const QImage& image, const QString& name, const QString& folder) {
  const QString path = (folder.isEmpty() ? TempDir() : folder) + QLatin1Char('/') + name;
  EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
  return path;
}

QString SaveText(const QString& name, const QString& folder, const QByteArray& bytes) {
  const QString path = (folder.isEmpty() ? TempDir() : folder) + QLatin1Char('/') + name;
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << path.toStdString();
  return path;
}

QImage ChartDrawing(const std::vector<QRect>& marks, QRgb colour) {
  QImage image(3508, 2480, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  for (const QRect& mark : marks) painter.fillRect(mark, QColor::fromRgb(colour));
  return image;
}

std::vector<SampleCount> SampleCounts() {
  std::vector<SampleCount> rows;
  QFile file(SourcePath(QStringLiteral("samples/counts.tsv")));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
  file.readLine();  // the header
  while (!file.atEnd()) {
    const QStringList f = QString::fromUtf8(file.readLine()).trimmed().split(QLatin1Char('\t'));
    if (f.size() == 7) rows.push_back({f[0], f[1].toInt(), f[2].toInt(), f[3].toLongLong(), f[4].toLongLong(), f[5]});
  }
  return rows;
}

FileSizeLimit::FileSizeLimit(long long bytes) {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  saved_ = limit.rlim_cur;
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
}

FileSizeLimit::~FileSizeLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(saved_);
  setrlimit(RLIMIT_FSIZE, &limit);
}

QRect Ink(const QImage& image, const QRect& area) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

QImage Written(const QString& text, double px, const QColor& colour) {
  const int whole = static_cast<int>(px + 0.5);
  QImage image((text.size() + 2) * whole, 2 * whole, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  QFont font(QStringLiteral("Arial"));
  // A fractional em: the font at the nearest whole size, scaled.
  font.setPixelSize(whole);
  painter.translate(whole / 2, 3 * whole / 2);
  painter.scale(px / whole, px / whole);
  painter.setFont(font);
  painter.setPen(colour);
  painter.drawText(QPoint(0, 0), text);
  painter.end();
  return image.copy(Ink(image, image.rect()));
}

void Gate::Pass() {
  if (std::this_thread::get_id() == owner_) return;
  std::unique_lock lock(mutex_);
  if (open_) return;
  ++held_;
  changed_.notify_all();
  changed_.wait_for(lock, std::chrono::seconds(30), [this] { return open_; });
  --held_;
}

void Gate::Close() {
  std::lock_guard lock(mutex_);
  open_ = false;
}

void Gate::Open() {
  std::lock_guard lock(mutex_);
  open_ = true;
  changed_.notify_all();
}

bool Gate::Held() {
  std::lock_guard lock(mutex_);
  return held_ > 0;
}
