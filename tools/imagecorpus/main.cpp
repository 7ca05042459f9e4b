// imagecorpus <repo-root>: writes the files under tests/data/images that the
// readers of formats other than PNG are tested on: the corpus's small RGB
// drawing (tests/data/png/drawing_rgb.png) as JPEG of every colour kind,
// baseline and progressive, GIF, BMP plain and run-length encoded, TIFF and
// ICO (a small one), most also cut at 30, 60 and 90 % of their bytes or
// just before the JPEG end marker; and JPEG files of many scans, one within
// the reader's limit. Run by hand after changing it; its output is
// committed.

#include "tools/imagecorpus/imagewriters.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: imagecorpus <repo-root>\n");
    return 2;
  }
  const QDir root(QString::fromLocal8Bit(argv[1]));
  const QImage drawing(root.filePath(QStringLiteral("tests/data/png/drawing_rgb.png")));
  QDir out(root.filePath(QStringLiteral("tests/data/images")));
  if (drawing.isNull() || !QDir().mkpath(out.path())) {
    std::fprintf(stderr, "imagecorpus: no drawing to start from, or cannot make %s\n", qPrintable(out.path()));
    return 1;
  }
  for (const QString& old : out.entryList(QDir::Files)) out.remove(old);
  bool ok = true;
  const auto save = [&](const QString& name, const QByteArray& bytes) {
    QFile file(out.filePath(name));
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
      std::fprintf(stderr, "imagecorpus: cannot write %s\n", qPrintable(name));
      ok = false;
    }
  };
  // Each whole file, and the same cut short.
  const auto saveWithCuts = [&](const QString& name, const QByteArray& bytes) {
    save(name, bytes);
    for (const int percent : {30, 60, 90}) {
      save(QStringLiteral("cut%1_%2").arg(percent).arg(name), bytes.left(bytes.size() * percent / 100));
    }
  };

  const QImage palette = drawing.convertToFormat(QImage::Format_Indexed8);
  // Sixteen colours, for four bits a pixel: the drawing's strokes and page.
  const QImage sixteen = drawing.convertToFormat(
      QImage::Format_Indexed8,
      {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(128, 128, 128), qRgb(192, 192, 192), qRgb(255, 0, 0), qRgb(128, 0, 0),
       qRgb(0, 255, 0), qRgb(0, 128, 0), qRgb(0, 0, 255), qRgb(0, 0, 128), qRgb(255, 255, 0), qRgb(128, 128, 0),
       qRgb(0, 255, 255), qRgb(0, 128, 128), qRgb(255, 0, 255), qRgb(128, 0, 128)},
      Qt::ThresholdDither);
  const QByteArray progressive = QtWriterFile(drawing, "jpeg", true);
  const QByteArray baseline = QtWriterFile(drawing, "jpeg");
  saveWithCuts(QStringLiteral("drawing.jpg"), baseline);
  saveWithCuts(QStringLiteral("drawing_progressive.jpg"), progressive);
  // Without the end marker, a file of one scan is whole; one of more may
  // have lost scans.
  save(QStringLiteral("drawing_without_end.jpg"), baseline.left(baseline.size() - 2));
  // Warnings about labels and about stray bytes before the first scan leave
  // the pixels whole: a JFIF version to come, two stray bytes after the
  // JFIF segment (which Qt writes first).
  QByteArray laterJfif = baseline;
  laterJfif[11] = 2;
  save(QStringLiteral("drawing_jfif_2.jpg"), laterJfif);
  save(QStringLiteral("drawing_stray_bytes.jpg"), QByteArray(baseline).insert(20, QByteArray(2, '\0')));
  // Arithmetic coding runs out of data without a word from libjpeg.
  saveWithCuts(QStringLiteral("drawing_arithmetic.jpg"), JpegFile(drawing, JpegColours::kGrey, {}, 90, true));
  save(QStringLiteral("without_end_progressive.jpg"), progressive.left(progressive.size() - 2));
  save(QStringLiteral("drawing_grey.jpg"), QtWriterFile(drawing.convertToFormat(QImage::Format_Grayscale8), "jpeg"));
  save(QStringLiteral("drawing_cmyk.jpg"), JpegFile(drawing, JpegColours::kCmyk));
  save(QStringLiteral("drawing_ycck.jpg"), JpegFile(drawing, JpegColours::kYcck));
  save(QStringLiteral("drawing_64_scans.jpg"), JpegFile(drawing, JpegColours::kGrey, OneCoefficientAtATime(64)));
  save(QStringLiteral("scans_65.jpg"), JpegFile(drawing, JpegColours::kGrey, OneCoefficientAtATime(65)));
  save(QStringLiteral("scans_50_empty.jpg"), WithEmptyScans(progressive, 50));
  save(QStringLiteral("scans_1000_empty.jpg"), WithEmptyScans(progressive, 1000));
  saveWithCuts(QStringLiteral("drawing.gif"), GifFile(drawing));
  save(QStringLiteral("drawing_without_trailer.gif"), GifFile(drawing, false));
  save(QStringLiteral("drawing.bmp"), QtWriterFile(drawing, "bmp"));
  saveWithCuts(QStringLiteral("drawing_palette.bmp"), QtWriterFile(palette, "bmp"));
  saveWithCuts(QStringLiteral("drawing_rle8.bmp"), RunLengthBmpFile(palette, 8));
  saveWithCuts(QStringLiteral("drawing_rle4.bmp"), RunLengthBmpFile(sixteen, 4));
  saveWithCuts(QStringLiteral("drawing.tif"), QtWriterFile(drawing, "tiff"));
  // Qt writes the colour table last (all 256 colours, or what its memory
  // holds past those the image has): one byte short, the table is lost.
  QImage fullPalette = palette;
  fullPalette.setColorCount(256);
  const QByteArray paletteTiff = QtWriterFile(fullPalette, "tiff");
  save(QStringLiteral("drawing_palette.tif"), paletteTiff);
  save(QStringLiteral("cut_colours_drawing_palette.tif"), paletteTiff.left(paletteTiff.size() - 1));
  // An icon is small at most.
  saveWithCuts(QStringLiteral("drawing.ico"), QtWriterFile(drawing.scaled(64, 48), "ico"));
  return ok ? 0 : 1;
}
