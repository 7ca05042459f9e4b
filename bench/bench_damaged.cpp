#include "analysis/document.h"
#include "bench/drawings.h"
#include "framework/bitmap.h"
#include "framework/prompts.h"
#include "tools/imagecorpus/imagewriters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtEndian>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <string>
#include <vector>

// What damaged PNG files of a chart's size cost: chunks that claim 2 GB in
// files of a kilobyte, and a zlib bomb (1 GiB of zeros in 1 MB of image
// data), each alone through Open File and all together, beside one drawing,
// in a folder run; and files of other formats that are no drawings, each
// alone through Open File, beside a JPEG drawing. The files are made once
// per process.

namespace {

QByteArray BigEndian(quint32 value) {
  QByteArray bytes(4, '\0');
  qToBigEndian(value, bytes.data());
  return bytes;
}

QByteArray Chunk(const char* type, const QByteArray& body) {
  const QByteArray typed = QByteArray(type, 4) + body;
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), static_cast<uInt>(typed.size()));
  return BigEndian(static_cast<quint32>(body.size())) + typed + BigEndian(static_cast<quint32>(crc));
}

// The signature and the header of a chart-size image.
QByteArray Header(int colourType) {
  QByteArray body = BigEndian(3508) + BigEndian(2480);
  body += '\x08';
  body += static_cast<char>(colourType);
  body += QByteArray(3, '\0');
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", body);
}

// A zlib stream of `mib` MiB of zeros, made in a moment: one MiB compressed
// and flushed to a byte boundary, repeated (a repeat refers only to zeros
// before it), with the checksum of them all.
QByteArray Zeros(int mib) {
  const std::vector<Bytef> zeros(size_t{1} << 20);
  std::vector<Bytef> out(64 * 1024);
  z_stream stream{};
  deflateInit(&stream, 9);
  auto deflateMore = [&](bool input, int flush) {
    stream.next_in = const_cast<Bytef*>(zeros.data());
    stream.avail_in = input ? static_cast<uInt>(zeros.size()) : 0;
    QByteArray made;
    do {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      deflate(&stream, flush);
      made.append(reinterpret_cast<const char*>(out.data()), static_cast<qsizetype>(out.size() - stream.avail_out));
    } while (stream.avail_out == 0);
    return made;
  };
  QByteArray data = deflateMore(true, Z_SYNC_FLUSH);
  const QByteArray repeat = deflateMore(true, Z_SYNC_FLUSH);
  for (int i = 1; i < mib; ++i) data += repeat;
  QByteArray end = deflateMore(false, Z_FINISH);
  deflateEnd(&stream);
  // Over zeros the checksum's first sum stays 1 and the second counts them.
  const uint64_t count = uint64_t{static_cast<unsigned>(mib)} << 20;
  qToBigEndian(static_cast<quint32>((count % 65521) << 16 | 1), end.data() + end.size() - 4);
  return data + end;
}

struct DamagedFolder {
  QTemporaryDir dir;
  std::vector<QString> files;  // four length lies, the bomb and the drawing
};

const DamagedFolder& Folder() {
  static const DamagedFolder* folder = [] {
    auto* made = new DamagedFolder;
    const QByteArray grey = Header(0);
    const QByteArray filler(1000, 'x');
    auto claim = [](const char* type) { return BigEndian(0x7FFFFFFF) + QByteArray(type, 4); };
    const std::pair<const char*, QByteArray> files[] = {
        {"lie_text.png", grey + claim("tEXt") + "Comment" + '\0' + filler},
        {"lie_ztxt.png", grey + claim("zTXt") + "Comment" + '\0' + '\0' + filler},
        {"lie_data.png", grey + claim("IDAT") + filler},
        {"lie_text_after_data.png", grey + Chunk("IDAT", qCompress(QByteArray(3509 * 2480, '\0')).mid(4)) +
                                        claim("tEXt") + "Comment" + '\0' + filler},
        {"bomb.png", Header(2) + Chunk("IDAT", Zeros(1024)) + Chunk("IEND", {})}};
    for (const auto& [name, bytes] : files) {
      QFile file(made->dir.filePath(QString::fromLatin1(name)));
      if (file.open(QIODevice::WriteOnly)) file.write(bytes);
      made->files.push_back(file.fileName());
    }
    const QString drawing = made->dir.filePath(QStringLiteral("drawing.png"));
    QFile::copy(QStringLiteral(VARENKO_SOURCE_DIR "/samples/widespread.png"), drawing);
    made->files.push_back(drawing);
    return made;
  }();
  return *folder;
}

// One file read as Open File and the comparison read it: arg 0 to 3 the
// length lies, 4 the bomb, 5 the drawing.
void BM_DamagedFileOpen(benchmark::State& state) {
  const QString path = Folder().files[static_cast<size_t>(state.range(0))];
  state.SetLabel(QDir(path).dirName().toStdString());
  ResetPeak();
  for (auto _ : state) benchmark::DoNotOptimize(Bitmap::FromFile(path));
  state.counters["peak_MB"] = StatusMegabytes("VmHWM");
}
BENCHMARK(BM_DamagedFileOpen)->DenseRange(0, 5)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Eight drawings of the samples, each with 200 MB of zeros after its end
// chunk (sparse files, a few KB on disk), and the first of them without.
struct TailedFolder {
  QTemporaryDir dir;
  QString plain;
};

const TailedFolder& Tailed() {
  static const TailedFolder* folder = [] {
    auto* made = new TailedFolder;
    const QDir samples(QStringLiteral(VARENKO_SOURCE_DIR "/samples"));
    QStringList names = samples.entryList({QStringLiteral("*.png")}, QDir::Files);
    names.removeAll(QStringLiteral("notes.png"));
    names.removeAll(QStringLiteral("wrong_size.png"));
    made->plain = made->dir.filePath(QStringLiteral("plain.png"));
    QFile::copy(samples.filePath(names[0]), made->plain);
    QDir(made->dir.path()).mkdir(QStringLiteral("tailed"));
    for (int i = 0; i < 8; ++i) {
      const QString path = made->dir.filePath(QStringLiteral("tailed/%1.png").arg(i));
      QFile::copy(samples.filePath(names[i % names.size()]), path);
      QFile::resize(path, QFileInfo(path).size() + (qint64{200} << 20));
    }
    return made;
  }();
  return *folder;
}

// Open Folder over a folder: arg 0 the damaged files beside a drawing, 1
// the eight drawings with bytes after their end. Time, the drawings kept (1
// and 8) and the peak.
void BM_DamagedFolderRun(benchmark::State& state) {
  const QString folder = state.range(0) == 0 ? Folder().dir.path() : Tailed().dir.filePath(QStringLiteral("tailed"));
  ResetPeak();
  size_t kept = 0;
  for (auto _ : state) {
    CVarenkoDoc doc;
    doc.OnNewDocument();
    ScriptedPrompts prompts;
    prompts.Answer(folder);
    doc.OnOpenFolder();
    kept = doc.m_vecOriginal.size();
  }
  state.counters["kept"] = static_cast<double>(kept);
  state.counters["peak_MB"] = StatusMegabytes("VmHWM");
}
BENCHMARK(BM_DamagedFolderRun)->DenseRange(0, 1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One drawing read as a folder run reads it: arg 0 a sample drawing, 1 a
// heavy one (about 0.8 MB), 2 a heavy scanned one (a few MB), 3 the sample
// with 200 MB after its end chunk.
void BM_DrawingRead(benchmark::State& state) {
  const QString paths[] = {Tailed().plain, QDir(Folder(1, DrawingKind::kHeavy)).filePath("00000_heavy_0.png"),
                           QDir(Folder(1, DrawingKind::kHeavyRgb)).filePath("00000_heavy_rgb_0.png"),
                           Tailed().dir.filePath(QStringLiteral("tailed/0.png"))};
  const QString& path = paths[state.range(0)];
  state.SetLabel(QString::number(QFileInfo(path).size()).toStdString() + " bytes");
  DrawingReader reader(3508, 2480);
  const QByteArray local = QFile::encodeName(path);
  for (auto _ : state) {
    if (!reader.Read(local)) state.SkipWithError("not read");
  }
}
BENCHMARK(BM_DrawingRead)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Files of a chart's size in other formats, made from a sample drawing:
// JPEG (baseline, progressive), GIF and BMP drawings cut at 30 % of their
// bytes, progressive JPEG drawings with 5,000 and 20,000 scans that code
// nothing again, a JPEG drawing of 127 scans that each code a bit of one
// coefficient, a picture written as an XBM file, and a whole baseline and
// progressive JPEG drawing.
struct OtherFile {
  const char* name;
  QByteArray bytes;
};

const std::vector<QString>& OtherFiles() {
  static const std::vector<QString>* paths = [] {
    static QTemporaryDir dir;
    const QImage drawing =
        QImage(QStringLiteral(VARENKO_SOURCE_DIR "/samples/widespread.png")).convertToFormat(QImage::Format_RGB32);
    const QByteArray baseline = QtWriterFile(drawing, "jpeg");
    const QByteArray progressive = QtWriterFile(drawing, "jpeg", true);
    const auto cut = [](const QByteArray& bytes) { return bytes.left(bytes.size() * 30 / 100); };
    const OtherFile files[] = {{"cut30.jpg", cut(baseline)},
                               {"cut30_progressive.jpg", cut(progressive)},
                               {"cut30.gif", cut(GifFile(drawing))},
                               {"cut30.bmp", cut(QtWriterFile(drawing, "bmp"))},
                               {"scans_5000.jpg", WithEmptyScans(progressive, 5000)},
                               {"scans_20000.jpg", WithEmptyScans(progressive, 20000)},
                               {"scans_127.jpg", JpegFile(drawing, JpegColours::kGrey, OneCoefficientAtATime(127))},
                               {"picture.xbm", QtWriterFile(drawing.convertToFormat(QImage::Format_Mono), "xbm")},
                               {"drawing.jpg", baseline},
                               {"drawing_progressive.jpg", progressive}};
    auto* made = new std::vector<QString>;
    for (const auto& [name, bytes] : files) {
      QFile file(dir.filePath(QString::fromLatin1(name)));
      if (file.open(QIODevice::WriteOnly)) file.write(bytes);
      made->push_back(file.fileName());
    }
    return made;
  }();
  return *paths;
}

// One file read as Open File and the comparison read it: arg 0 to 3 the
// cut files, 4 to 6 the JPEG files of many scans, 7 the XBM file, 8 and 9
// the whole JPEG drawings.
void BM_OtherFileOpen(benchmark::State& state) {
  const QString path = OtherFiles()[static_cast<size_t>(state.range(0))];
  state.SetLabel(QDir(path).dirName().toStdString());
  bool read = false;
  for (auto _ : state) read = !Bitmap::FromFile(path)->IsEmpty();
  state.counters["read"] = read;
}
BENCHMARK(BM_OtherFileOpen)->DenseRange(0, 9)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole JPEG drawings (arg 8 and 9) as Qt's reader read them into
// 32-bit pixels before libjpeg did.
void BM_OtherFileQtReader(benchmark::State& state) {
  const QString path = OtherFiles()[static_cast<size_t>(state.range(0))];
  state.SetLabel(QDir(path).dirName().toStdString());
  for (auto _ : state) benchmark::DoNotOptimize(QImageReader(path).read().convertToFormat(QImage::Format_RGB32));
}
BENCHMARK(BM_OtherFileQtReader)->DenseRange(8, 9)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
