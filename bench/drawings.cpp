#include "bench/drawings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <new>

namespace {

QString SamplePath(const QString& name) { return QDir(QStringLiteral(VARENKO_SOURCE_DIR "/samples")).filePath(name); }

// The sample drawings of the chart's size.
QStringList Samples() {
  const QDir samples(QStringLiteral(VARENKO_SOURCE_DIR "/samples"));
  QStringList paths;
  for (const QString& name : samples.entryList({QStringLiteral("*.png")}, QDir::Files)) {
    if (name != QLatin1String("notes.png") && name != QLatin1String("wrong_size.png")) paths << samples.filePath(name);
  }
  return paths;
}

// The blank chart with broad anti-aliased strokes in many colours over much
// of the body, as tablets save them; the k-th of its kind.
QImage Strokes(int k) {
  QImage drawing = QImage(SamplePath(QStringLiteral("blank.png"))).convertToFormat(QImage::Format_ARGB32);
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
  return drawing;
}

// A scanner's view of a drawing: one random level from -amplitude to
// +amplitude added to red, green and blue alike of one pixel in `every`, so
// that grey stays grey and a colour stays a colour. Saved without alpha.
QImage Scanned(const QImage& drawing, quint32 seed, int amplitude, int every) {
  QImage image = drawing.convertToFormat(QImage::Format_RGB32);
  QRandomGenerator random(seed);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<uint8_t*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (random.bounded(every) != 0) continue;
      const int level = static_cast<int>(random.bounded(2 * amplitude + 1)) - amplitude;
      for (int c = 0; c < 3; ++c) line[4 * x + c] = static_cast<uint8_t>(std::clamp(line[4 * x + c] + level, 0, 255));
    }
  }
  return image;
}

// The drawings a folder of a kind cycles through, made into `dir` once.
QStringList Drawings(DrawingKind kind, const QDir& dir) {
  if (kind == DrawingKind::kLight) return Samples();
  QStringList paths;
  if (kind == DrawingKind::kLightRgb) {
    const QStringList samples = Samples();
    for (int k = 0; k < samples.size(); ++k) {
      const QString path = dir.filePath(QStringLiteral("light_rgb_%1").arg(QFileInfo(samples[k]).fileName()));
      Scanned(QImage(samples[k]), static_cast<quint32>(2000 + k), 1, 8).save(path, "PNG");
      paths << path;
    }
    return paths;
  }
  for (int k = 0; k < 10; ++k) {
    const bool rgb = kind == DrawingKind::kHeavyRgb;
    const QString path =
        dir.filePath(QStringLiteral("%1_%2.png").arg(QLatin1String(rgb ? "heavy_rgb" : "heavy")).arg(k));
    const QImage drawing = Strokes(k);
    (rgb ? Scanned(drawing, static_cast<quint32>(3000 + k), 2, 1) : drawing).save(path, "PNG");
    paths << path;
  }
  return paths;
}

}  // namespace

const QString& Folder(int n, DrawingKind kind) {
  static std::map<std::pair<int, DrawingKind>, QString> folders;
  static std::map<DrawingKind, QStringList> made;
  static QTemporaryDir temporary;
  QString& path = folders[{n, kind}];
  if (!path.isEmpty()) return path;
  static const char* const kNames[] = {"light", "heavy", "light_rgb", "heavy_rgb"};
  const QString root =
      qEnvironmentVariableIsSet("VARENKO_BENCH_DIR") ? qEnvironmentVariable("VARENKO_BENCH_DIR") : temporary.path();
  path = QDir(root).filePath(QStringLiteral("%1_%2").arg(QLatin1String(kNames[static_cast<int>(kind)])).arg(n));
  QDir dir(path);
  if (dir.exists() && dir.entryList(QDir::Files).size() == n) return path;
  dir.removeRecursively();
  QDir().mkpath(path);
  QStringList& drawings = made[kind];
  if (drawings.isEmpty()) drawings = Drawings(kind, QDir(temporary.path()));
  for (int i = 0; i < n; ++i) {
    const QString& source = drawings[i % drawings.size()];
    QFile::copy(source, dir.filePath(
                            QStringLiteral("%1_%2").arg(i, 5, 10, QLatin1Char('0')).arg(QFileInfo(source).fileName())));
  }
  return path;
}

PngInflater::PngInflater() : inflater_(libdeflate_alloc_decompressor()) {
  if (inflater_ == nullptr) throw std::bad_alloc();
}

PngInflater::~PngInflater() { libdeflate_free_decompressor(inflater_); }

bool PngInflater::Inflate(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return false;
  const QByteArray bytes = file.readAll();
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
  const auto size = static_cast<size_t>(bytes.size());
  const auto word = [p](size_t at) {
    return uint32_t{p[at]} << 24 | uint32_t{p[at + 1]} << 16 | uint32_t{p[at + 2]} << 8 | uint32_t{p[at + 3]};
  };
  if (size < 33) return false;
  width = static_cast<int>(word(16));
  height = static_cast<int>(word(20));
  bpp = p[25] == 6 ? 4 : p[25] == 2 ? 3 : p[25] == 4 ? 2 : 1;
  data_.clear();
  for (size_t pos = 8; pos + 12 <= size;) {
    const size_t length = word(pos);
    if (length > size - pos - 12) return false;
    if (std::memcmp(p + pos + 4, "IDAT", 4) == 0) data_.insert(data_.end(), p + pos + 8, p + pos + 8 + length);
    pos += 12 + length;
  }
  rows.resize((static_cast<size_t>(width) * static_cast<size_t>(bpp) + 1) * static_cast<size_t>(height));
  size_t made = 0;
  return libdeflate_zlib_decompress(inflater_, data_.data(), data_.size(), rows.data(), rows.size(), &made) ==
             LIBDEFLATE_SUCCESS &&
         made == rows.size();
}

double StatusMegabytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
  }
  return -1.0;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }
