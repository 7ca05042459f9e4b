// pngcorpus <repo-root>: writes the PNG files under tests/data/png that the
// decoder's tests read: every colour type and bit depth, interlaced files,
// texts and colour spaces, 16-bit files with a transparent colour, a small
// drawing cut from a sample, and damaged files. Run by hand after changing
// it; its output is committed. Samples come from a fixed seed, so a run
// writes the same bytes each time.

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

namespace {

// One sample of a pixel: x, y and the channel (alpha last).
using Sampler = std::function<int(int, int, int)>;

struct Text {
  int compression;  // PNG_TEXT_COMPRESSION_NONE, _zTXt or PNG_ITXT_COMPRESSION_NONE
  const char* key;
  const char* value;
};

struct Png {
  int width = 37;
  int height = 9;
  int bitDepth = 8;
  int colourType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  Sampler sample = {};
  std::vector<png_color> palette = {};
  std::vector<png_byte> paletteAlphas = {};
  std::optional<png_color_16> transparent = {};
  double gamma = 0;
  bool chromaticities = false;
  bool srgb = false;
  QByteArray icc = {};
  std::vector<Text> texts = {};
  std::vector<Text> textsAfterData = {};
  int dataChunkSize = 0;  // bytes of compressed data per IDAT chunk; libpng's own when 0
};

int Channels(int colourType) { return std::array{1, 0, 3, 1, 2, 0, 4}[colourType]; }

[[noreturn]] void JumpOnError(png_structp png, png_const_charp message) {
  std::fprintf(stderr, "pngcorpus: libpng: %s\n", message);
  png_longjmp(png, 1);
}
void IgnoreWarning(png_structp, png_const_charp) {}
void Append(png_structp png, png_bytep data, size_t length) {
  static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void Flush(png_structp) {}

std::vector<png_text> TextChunks(const std::vector<Text>& texts) {
  std::vector<png_text> chunks;
  for (const Text& text : texts) {
    png_text chunk{};
    chunk.compression = text.compression;
    chunk.key = const_cast<char*>(text.key);
    chunk.text = const_cast<char*>(text.value);
    chunks.push_back(chunk);
  }
  return chunks;
}

// libpng's writer; no object with a destructor lives in this frame, since an
// error jumps straight out of it.
bool EncodeGuarded(const Png& p, png_bytepp rows, png_text* before, png_text* after, QByteArray* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, Append, Flush);
  // Lets palette indices point past the palette, as some files do.
  png_set_benign_errors(png, 1);
  if (p.dataChunkSize > 0) png_set_compression_buffer_size(png, static_cast<size_t>(p.dataChunkSize));
  png_set_IHDR(png, info, p.width, p.height, p.bitDepth, p.colourType,
               p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!p.palette.empty()) png_set_PLTE(png, info, p.palette.data(), static_cast<int>(p.palette.size()));
  if (!p.paletteAlphas.empty()) {
    png_set_tRNS(png, info, p.paletteAlphas.data(), static_cast<int>(p.paletteAlphas.size()), nullptr);
  }
  if (p.transparent) png_set_tRNS(png, info, nullptr, 0, &*p.transparent);
  if (p.gamma > 0) png_set_gAMA(png, info, p.gamma);
  if (p.chromaticities) png_set_cHRM(png, info, 0.3457, 0.3585, 0.7347, 0.2653, 0.1152, 0.8264, 0.1566, 0.0177);
  if (p.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (!p.icc.isEmpty()) {
    png_set_iCCP(png, info, "corpus profile", PNG_COMPRESSION_TYPE_BASE,
                 reinterpret_cast<png_const_bytep>(p.icc.constData()), static_cast<png_uint_32>(p.icc.size()));
  }
  if (!p.texts.empty()) png_set_text(png, info, before, static_cast<int>(p.texts.size()));
  png_write_info(png, info);
  if (p.bitDepth < 8) png_set_packing(png);
  png_write_image(png, rows);
  if (!p.textsAfterData.empty()) png_set_text(png, info, after, static_cast<int>(p.textsAfterData.size()));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

QByteArray Encode(const Png& p) {
  const int channels = Channels(p.colourType);
  const int bytes = p.bitDepth == 16 ? 2 : 1;
  const size_t rowSize = static_cast<size_t>(p.width) * channels * bytes;
  std::vector<uint8_t> pixels(rowSize * p.height);
  std::vector<png_bytep> rows;
  for (int y = 0; y < p.height; ++y) {
    uint8_t* row = pixels.data() + y * rowSize;
    rows.push_back(row);
    for (int x = 0; x < p.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        const int value = p.sample(x, y, c);
        uint8_t* at = row + (static_cast<size_t>(x) * channels + c) * bytes;
        if (bytes == 2) {
          at[0] = static_cast<uint8_t>(value >> 8);
          at[1] = static_cast<uint8_t>(value);
        } else {
          at[0] = static_cast<uint8_t>(value);
        }
      }
    }
  }
  std::vector<png_text> before = TextChunks(p.texts);
  std::vector<png_text> after = TextChunks(p.textsAfterData);
  QByteArray out;
  if (!EncodeGuarded(p, rows.data(), before.data(), after.data(), &out)) return QByteArray();
  return out;
}

// Random samples of the file's depth; alpha samples cycle through fully
// transparent, nearly transparent, half and opaque.
Sampler Random(int colourType, int bitDepth, unsigned seed) {
  auto random = std::make_shared<std::mt19937>(seed);
  const int channels = Channels(colourType);
  const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
  return [=](int, int, int c) {
    const int top = (1 << bitDepth) - 1;
    if (alpha && c == channels - 1) return std::array{0, 1, top / 2 + 1, top}[(*random)() % 4];
    return static_cast<int>((*random)() % (top + 1u));
  };
}

// A 256 x 256 16-bit file whose first channel takes every value once; the
// other channels take every value in other orders.
Sampler EveryValue(int colourType) {
  const int channels = Channels(colourType);
  const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
  return [=](int x, int y, int c) {
    const int v = y * 256 + x;
    if (alpha && c == channels - 1) return std::array{0, 1, 32768, 65535}[(x + y) % 4];
    return std::array{v, 65535 - v, (v >> 8 | v << 8) & 0xFFFF}[c];
  };
}

std::vector<png_color> RandomPalette(int size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<png_color> palette;
  for (int i = 0; i < size; ++i) {
    palette.push_back({static_cast<png_byte>(random()), static_cast<png_byte>(random()), static_cast<png_byte>(i)});
  }
  return palette;
}

std::vector<png_byte> CyclingAlphas(int count) {
  std::vector<png_byte> alphas;
  for (int i = 0; i < count; ++i) alphas.push_back(std::array<png_byte, 4>{0, 1, 128, 255}[i % 4]);
  return alphas;
}

// 200 x 150 pixels of a sample drawing where it is marked most: red strokes
// with soft edges over the chart's outline.
QImage DrawingCut(const QString& root) {
  const QImage sample =
      QImage(QDir(root).filePath(QStringLiteral("samples/neck_shoulder.png"))).convertToFormat(QImage::Format_RGB888);
  if (sample.width() < 200 || sample.height() < 150) return QImage();
  constexpr int kCell = 50;
  std::vector<int> marks(static_cast<size_t>(sample.width() / kCell + 1) * (sample.height() / kCell + 1));
  const int columns = sample.width() / kCell + 1;
  for (int y = 0; y < sample.height(); ++y) {
    const uchar* line = sample.constScanLine(y);
    for (int x = 0; x < sample.width(); ++x) {
      const uchar* p = line + 3 * x;
      if (p[0] != p[1] || p[1] != p[2]) ++marks[static_cast<size_t>(y / kCell) * columns + x / kCell];
    }
  }
  const auto most = std::max_element(marks.begin(), marks.end()) - marks.begin();
  const int left = std::clamp(static_cast<int>(most % columns) * kCell + kCell / 2 - 100, 0, sample.width() - 200);
  const int top = std::clamp(static_cast<int>(most / columns) * kCell + kCell / 2 - 75, 0, sample.height() - 150);
  return sample.copy(left, top, 200, 150);
}

// The image's colours at 8 or 16 bits; an alpha channel in squares of
// cycling transparency.
Sampler FromImage(const QImage& rgb, int bitDepth) {
  return [=](int x, int y, int c) {
    if (c == 3) return std::array{0, 1, 128, 255}[(x / 8 + y / 8) % 4];
    const int value = rgb.constScanLine(y)[3 * x + c];
    return bitDepth == 16 ? value * 257 : value;
  };
}

// The drawing's colours in a palette, by Qt's conversion.
Png PaletteDrawing(const QImage& rgb) {
  const QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
  Png p{.width = 200, .height = 150, .colourType = PNG_COLOR_TYPE_PALETTE};
  for (const QRgb colour : indexed.colorTable()) {
    p.palette.push_back({static_cast<png_byte>(qRed(colour)), static_cast<png_byte>(qGreen(colour)),
                         static_cast<png_byte>(qBlue(colour))});
  }
  p.paletteAlphas = CyclingAlphas(5);
  p.sample = [indexed](int x, int y, int) { return static_cast<int>(indexed.constScanLine(y)[x]); };
  return p;
}

// Byte surgery on a written file.
qsizetype FindChunk(const QByteArray& png, const char* type) { return png.indexOf(type) - 4; }
quint32 ChunkLength(const QByteArray& png, qsizetype at) { return qFromBigEndian<quint32>(png.constData() + at); }
void FixCrc(QByteArray& png, qsizetype chunk) {
  const quint32 length = ChunkLength(png, chunk);
  const auto crc =
      static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + chunk + 4), length + 4));
  qToBigEndian(crc, png.data() + chunk + 8 + length);
}
QByteArray WithSize(QByteArray png, quint32 width, quint32 height) {
  qToBigEndian(width, png.data() + 16);
  qToBigEndian(height, png.data() + 20);
  FixCrc(png, 8);
  return png;
}
QByteArray Flipped(QByteArray png, qsizetype at) {
  png[at] = static_cast<char>(png[at] ^ 0x40);
  return png;
}

// Files put together chunk by chunk.
QByteArray Chunk(const char* type, const QByteArray& body) {
  QByteArray chunk(4, '\0');
  qToBigEndian(static_cast<quint32>(body.size()), chunk.data());
  chunk += QByteArray(type, 4) + body + QByteArray(4, '\0');
  FixCrc(chunk, 0);
  return chunk;
}
// A chunk header that claims `length` bytes, followed by none of them.
QByteArray ChunkHeader(const char* type, quint32 length) {
  QByteArray header(4, '\0');
  qToBigEndian(length, header.data());
  return header + QByteArray(type, 4);
}
QByteArray Header(quint32 width, quint32 height, int bitDepth, int colourType, bool interlaced = false) {
  QByteArray body(13, '\0');
  qToBigEndian(width, body.data());
  qToBigEndian(height, body.data() + 4);
  body[8] = static_cast<char>(bitDepth);
  body[9] = static_cast<char>(colourType);
  body[12] = static_cast<char>(interlaced ? 1 : 0);
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", body);
}
// The bytes as a zlib stream.
QByteArray Compressed(const QByteArray& bytes) {
  uLongf length = compressBound(static_cast<uLong>(bytes.size()));
  QByteArray stream(static_cast<qsizetype>(length), '\0');
  compress2(reinterpret_cast<Bytef*>(stream.data()), &length, reinterpret_cast<const Bytef*>(bytes.constData()),
            static_cast<uLong>(bytes.size()), 9);
  stream.resize(static_cast<qsizetype>(length));
  return stream;
}
// A zlib stream of `size` zero bytes: rows of zeros (filter none, every
// sample 0) for as much as they make.
QByteArray Zeros(size_t size) { return Compressed(QByteArray(static_cast<qsizetype>(size), '\0')); }
// A drawing of the chart's size as an 8-bit palette file: every pixel the
// page's index but for a 100 x 100 square of the mark's on the belly, where
// every pixel is body; `before` and `after` go before and after the image
// data.
QByteArray ChartPalette(const QByteArray& palette, char page, char mark, const QByteArray& before = {},
                        const QByteArray& after = {}) {
  constexpr int kWidth = 3508;
  constexpr int kHeight = 2480;
  QByteArray rows;
  for (int y = 0; y < kHeight; ++y) {
    QByteArray row(kWidth + 1, page);
    row[0] = 0;  // no filter
    if (y >= 950 && y < 1050) row.replace(1 + 900, 100, QByteArray(100, mark));
    rows += row;
  }
  return Header(kWidth, kHeight, 8, PNG_COLOR_TYPE_PALETTE) + Chunk("PLTE", palette) + before +
         Chunk("IDAT", Compressed(rows)) + after + Chunk("IEND", {});
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: pngcorpus <repo-root>\n");
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  QDir out(QDir(root).filePath(QStringLiteral("tests/data/png")));
  if (!QDir().mkpath(out.path())) {
    std::fprintf(stderr, "pngcorpus: cannot make %s\n", qPrintable(out.path()));
    return 1;
  }
  for (const QString& old : out.entryList(QDir::Files)) out.remove(old);
  bool ok = true;
  auto save = [&](const char* name, const QByteArray& bytes) {
    QFile file(out.filePath(QString::fromUtf8(name)));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
      std::fprintf(stderr, "pngcorpus: cannot write %s\n", name);
      ok = false;
    }
  };
  auto write = [&](const char* name, Png p) {
    if (!p.sample) {
      p.sample = Random(p.colourType, p.bitDepth, crc32(0, reinterpret_cast<const Bytef*>(name), std::strlen(name)));
    }
    const QByteArray bytes = Encode(p);
    if (bytes.isEmpty()) std::fprintf(stderr, "pngcorpus: cannot encode %s\n", name);
    ok = ok && !bytes.isEmpty();
    save(name, bytes);
    return bytes;
  };
  constexpr int kGrey = PNG_COLOR_TYPE_GRAY;
  constexpr int kGreyAlpha = PNG_COLOR_TYPE_GRAY_ALPHA;
  constexpr int kRgb = PNG_COLOR_TYPE_RGB;
  constexpr int kRgba = PNG_COLOR_TYPE_RGB_ALPHA;
  constexpr int kPalette = PNG_COLOR_TYPE_PALETTE;
  const png_color_16 transparent{0, 1000, 2000, 3000, 1};

  // Every colour type at every depth it allows.
  for (const int depth : {1, 2, 4, 8}) {
    write(qPrintable(QStringLiteral("grey%1.png").arg(depth)), {.bitDepth = depth, .colourType = kGrey});
    write(qPrintable(QStringLiteral("grey%1_trns.png").arg(depth)),
          {.bitDepth = depth, .colourType = kGrey, .transparent = png_color_16{0, 0, 0, 0, 1}});
    write(qPrintable(QStringLiteral("palette%1.png").arg(depth)),
          {.bitDepth = depth, .colourType = kPalette, .palette = RandomPalette(1 << depth, depth)});
  }
  write("grey8_256.png", {.width = 256, .height = 3, .colourType = kGrey});
  write("grey_alpha8.png", {.colourType = kGreyAlpha});
  write("rgb8.png", {.colourType = kRgb});
  write("rgb8_1x1.png", {.width = 1, .height = 1, .colourType = kRgb});
  write("rgb8_trns.png", {.colourType = kRgb, .transparent = png_color_16{0, 0, 0, 0, 0}});
  write("rgba8.png", {.colourType = kRgba});
  write("palette2_short.png", {.bitDepth = 2, .colourType = kPalette, .palette = RandomPalette(3, 2)});
  write("palette8_short_trns.png",
        {.width = 64, .colourType = kPalette, .palette = RandomPalette(100, 8), .paletteAlphas = CyclingAlphas(7)});
  write("palette1_one_entry.png", {.bitDepth = 1, .colourType = kPalette, .palette = RandomPalette(1, 1)});
  // 16 bits: every value of a channel, for the rounding to 8 bits.
  for (const auto& [name, type] : {std::pair{"grey16.png", kGrey}, std::pair{"grey_alpha16.png", kGreyAlpha},
                                   std::pair{"rgb16.png", kRgb}, std::pair{"rgba16.png", kRgba}}) {
    write(name, {.width = 256, .height = 256, .bitDepth = 16, .colourType = type, .sample = EveryValue(type)});
  }
  // The transparent grey is one of the samples, the colour one of the pixels.
  const Sampler withGrey = [](int x, int y, int) { return x == 5 && y == 5 ? 1000 : EveryValue(kGrey)(x, y, 0); };
  write("grey16_trns.png", {.width = 256,
                            .height = 256,
                            .bitDepth = 16,
                            .colourType = kGrey,
                            .sample = withGrey,
                            .transparent = png_color_16{0, 0, 0, 0, 1000}});
  const Sampler withColour = [](int x, int y, int c) {
    return x % 5 == 0 ? std::array{1000, 2000, 3000}[c] : EveryValue(kRgb)(x, y, c);
  };
  write("rgb16_twin.png", {.width = 256, .height = 256, .bitDepth = 16, .colourType = kRgb, .sample = withColour});
  write("rgb16_trns.png", {.width = 256,
                           .height = 256,
                           .bitDepth = 16,
                           .colourType = kRgb,
                           .sample = withColour,
                           .transparent = transparent});

  // Interlaced.
  write("rgb16_interlaced.png",
        {.width = 19, .height = 11, .bitDepth = 16, .interlaced = true, .sample = Random(kRgb, 16, 16)});
  write("rgb16_trns_interlaced.png", {.width = 19,
                                      .height = 11,
                                      .bitDepth = 16,
                                      .interlaced = true,
                                      .sample = Random(kRgb, 16, 16),
                                      .transparent = transparent});
  write("rgb8_interlaced.png", {.interlaced = true});
  write("rgb8_interlaced_3x1.png", {.width = 3, .height = 1, .interlaced = true});
  write("rgba8_interlaced.png", {.width = 9, .height = 17, .colourType = kRgba, .interlaced = true});
  write("grey4_interlaced.png", {.width = 9, .bitDepth = 4, .colourType = kGrey, .interlaced = true});
  write("grey_alpha16_interlaced.png", {.width = 9, .bitDepth = 16, .colourType = kGreyAlpha, .interlaced = true});
  write("palette8_interlaced.png", {.colourType = kPalette,
                                    .interlaced = true,
                                    .palette = RandomPalette(256, 9),
                                    .paletteAlphas = CyclingAlphas(3)});

  // Texts, before and after the image data, and colour spaces.
  write("texts.png", {.colourType = kRgba,
                      .texts = {{PNG_TEXT_COMPRESSION_NONE, "Title", "plain"},
                                {PNG_TEXT_COMPRESSION_zTXt, "Description", "compressed, long enough to be worth it"},
                                {PNG_ITXT_COMPRESSION_NONE, "Author", "Zo\xC3\xAB \xC5\x81ukasiewicz"}},
                      .textsAfterData = {{PNG_TEXT_COMPRESSION_NONE, "Comment", "after the image"}}});
  QImage marked(41, 13, QImage::Format_RGB32);
  marked.fill(qRgb(200, 30, 40));
  marked.setOffset(QPoint(-3, 12));
  marked.setDotsPerMeterX(11811);
  marked.setDotsPerMeterY(5905);
  marked.setText(QStringLiteral("Software"), QStringLiteral("written by Qt"));
  ok = ok && marked.save(out.filePath(QStringLiteral("qt_offset_resolution.png")), "PNG");
  ok = ok && marked.save(out.filePath(QStringLiteral("scaled@2x.png")), "PNG");
  const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
  write("rgb8_icc.png", {.icc = icc});
  write("rgb8_gamma.png", {.colourType = kRgba, .gamma = 1 / 2.2});
  write("rgb16_icc.png", {.bitDepth = 16, .icc = icc});
  write("rgb16_trns_icc.png", {.bitDepth = 16, .sample = Random(kRgb, 16, 7), .transparent = transparent, .icc = icc});
  write("rgb16_twin_icc.png", {.bitDepth = 16, .sample = Random(kRgb, 16, 7), .icc = icc});
  write("rgba16_gamma.png", {.bitDepth = 16, .colourType = kRgba, .gamma = 1 / 1.8});
  write("rgb16_gamma_chrm.png", {.bitDepth = 16, .gamma = 1 / 2.2, .chromaticities = true});
  write("grey16_srgb.png", {.bitDepth = 16, .colourType = kGrey, .srgb = true});

  // A drawing, as 8-bit RGB, RGBA and palette files and as 16-bit RGB with
  // and without white as the transparent colour.
  const QImage drawing = DrawingCut(root);
  if (drawing.isNull()) {
    std::fprintf(stderr, "pngcorpus: cannot read the sample drawing\n");
    return 1;
  }
  write("drawing_rgb.png", {.width = 200, .height = 150, .sample = FromImage(drawing, 8)});
  write("drawing_rgba.png", {.width = 200, .height = 150, .colourType = kRgba, .sample = FromImage(drawing, 8)});
  write("drawing_palette.png", PaletteDrawing(drawing));
  write("drawing_rgb16.png", {.width = 200, .height = 150, .bitDepth = 16, .sample = FromImage(drawing, 16)});
  const QByteArray drawingDeep =
      write("drawing_rgb16_trns.png", {.width = 200,
                                       .height = 150,
                                       .bitDepth = 16,
                                       .sample = FromImage(drawing, 16),
                                       .transparent = png_color_16{0, 65535, 65535, 65535, 0}});

  // Damaged files, cut from noise with its data spread over several chunks.
  const QByteArray good =
      Encode({.width = 48, .height = 32, .colourType = kRgba, .sample = Random(kRgba, 8, 48), .dataChunkSize = 1024});
  const qsizetype idat = FindChunk(good, "IDAT");
  const qsizetype iend = FindChunk(good, "IEND");
  save("trailing_bytes.png", good + QByteArray(100, 'x'));
  save("end_without_crc.png", good.left(good.size() - 4));
  save("empty.png", QByteArray());
  save("not_png.png", "a line of text under an image's name\n");
  save("signature_only.png", good.left(8));
  save("header_only.png", good.left(33));
  save("cut_in_first_data.png", good.left(idat + 100));
  save("cut_in_last_data.png", good.left(iend - 100));
  save("cut_before_end.png", good.left(iend));
  save("bad_header_crc.png", Flipped(good, 29));
  save("bad_data_crc.png", Flipped(good, idat + 8 + ChunkLength(good, idat)));
  QByteArray badZlib = good;
  badZlib[idat + 8] = 0;  // no deflate stream starts so
  FixCrc(badZlib, idat);
  save("bad_zlib_header.png", badZlib);
  const QByteArray deep = Encode({.width = 32, .height = 32, .bitDepth = 16, .sample = Random(kRgb, 16, 32)});
  save("rgb16_cut.png", deep.left(deep.size() / 2));
  // Sizes claimed over a single pixel's data: one far beyond the allocation
  // limit, one just within it, and none at all.
  const QByteArray pixel = Encode({.width = 1, .height = 1, .colourType = kRgba, .sample = Random(kRgba, 8, 1)});
  save("huge_60000.png", WithSize(pixel, 60000, 60000));
  save("huge_11000.png", WithSize(pixel, 11000, 11000));
  save("zero_width.png", WithSize(pixel, 0, 1));

  // Files that must cost no more than their own bytes, each with the chart's
  // size (3508 x 2480), as a folder run reads them. A copy cut off in its
  // header, before and in the header's checksum.
  const QByteArray chartHeader = Header(3508, 2480, 8, kGrey);
  save("cut_after_size.png", chartHeader.left(24));
  save("cut_in_header_crc.png", chartHeader.left(31));
  // Chunks that claim 2^31 - 1 bytes in a file of about a kilobyte: a text
  // before the image data, a compressed text, the image data itself, and a
  // text after a whole image.
  const QByteArray filler(1000, 'x');
  save("lie_text.png", chartHeader + ChunkHeader("tEXt", 0x7FFFFFFF) + "Comment" + '\0' + filler);
  save("lie_ztxt.png", chartHeader + ChunkHeader("zTXt", 0x7FFFFFFF) + "Comment" + '\0' + '\0' + filler);
  save("lie_data.png", chartHeader + ChunkHeader("IDAT", 0x7FFFFFFF) + Zeros(3509 * 2480).left(1000));
  save("lie_text_after_data.png",
       chartHeader + Chunk("IDAT", Zeros(3509 * 2480)) + ChunkHeader("tEXt", 0x7FFFFFFF) + "Comment" + '\0' + filler);
  // Image data that goes on, all zeros, far beyond the rows: 64 MiB where a
  // chart's RGB rows take 26 MB, and 8 MiB after a small interlaced image.
  save("bomb_chart.png", Header(3508, 2480, 8, kRgb) + Chunk("IDAT", Zeros(size_t{64} << 20)) + Chunk("IEND", {}));
  save("bomb_interlaced.png",
       Header(37, 9, 16, kRgb, true) + Chunk("IDAT", Zeros(size_t{8} << 20)) + Chunk("IEND", {}));
  // Files of the chart's size that are no valid PNG, though every chunk is
  // intact: a chunk whose type holds a byte that is no letter (a digit, or
  // one with the high bit set, before the image data; a space after it),
  // beside a red square on white; and pixels that all index past the one
  // entry of their palette.
  const QByteArray whiteAndRed("\xFF\xFF\xFF\xFF\x00\x00", 6);
  save("chunk_type_digit.png", ChartPalette(whiteAndRed, 0, 1, Chunk("ab1d", "x")));
  save("chunk_type_high_byte.png", ChartPalette(whiteAndRed, 0, 1,
                                                Chunk("\xE1"
                                                      "bcd",
                                                      "x")));
  save("chunk_type_space.png", ChartPalette(whiteAndRed, 0, 1, {}, Chunk("ab d", "x")));
  save("palette_index_past_end.png", ChartPalette(whiteAndRed.mid(3), 1, 1));
  // A damaged drawing that is whole but for the end chunk's checksum.
  save("drawing_rgb16_trns_without_end_crc.png", drawingDeep.left(drawingDeep.size() - 4));
  return ok ? 0 : 1;
}
