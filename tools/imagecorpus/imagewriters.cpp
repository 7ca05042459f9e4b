#include "tools/imagecorpus/imagewriters.h"

#include <QBuffer>
#include <QImageWriter>
#include <QVector>

#include <algorithm>
#include <bit>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <unordered_map>

#include <jpeglib.h>

namespace {

void Put16(QByteArray& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

void Put32(QByteArray& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// The codes of a GIF image's pixels, packed from the low bit up as GIF wants.
class CodeWriter {
 public:
  void Put(uint32_t code, int width) {
    bits_ |= code << count_;
    count_ += width;
    for (; count_ >= 8; count_ -= 8, bits_ >>= 8) bytes_ += static_cast<char>(bits_ & 0xFF);
  }
  QByteArray Finish() {
    if (count_ > 0) bytes_ += static_cast<char>(bits_ & 0xFF);
    return bytes_;
  }

 private:
  uint32_t bits_ = 0;
  int count_ = 0;
  QByteArray bytes_;
};

// The pixels as GIF's LZW codes: a table of the strings met so far, begun
// again once it holds 4096 of them.
QByteArray LzwCodes(const QImage& image, int minimum) {
  const uint32_t clear = 1u << minimum;
  CodeWriter out;
  std::unordered_map<uint32_t, uint32_t> table;
  int width = minimum + 1;
  uint32_t last = clear + 1;
  out.Put(clear, width);
  int64_t prefix = -1;
  for (int y = 0; y < image.height(); ++y) {
    const uchar* row = image.constScanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      if (prefix < 0) {
        prefix = row[x];
        continue;
      }
      const uint32_t key = static_cast<uint32_t>(prefix) << 8 | row[x];
      if (const auto found = table.find(key); found != table.end()) {
        prefix = found->second;
        continue;
      }
      out.Put(static_cast<uint32_t>(prefix), width);
      table[key] = ++last;
      if (last >= 1u << width) ++width;
      if (last == 4095) {
        out.Put(clear, width);
        table.clear();
        width = minimum + 1;
        last = clear + 1;
      }
      prefix = row[x];
    }
  }
  out.Put(static_cast<uint32_t>(prefix), width);
  out.Put(clear + 1, width);
  return out.Finish();
}

}  // namespace

QByteArray QtWriterFile(const QImage& image, const char* format, bool progressive) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(90);
  writer.setCompression(1);  // LZW, for TIFF
  writer.setProgressiveScanWrite(progressive);
  return writer.write(image) ? bytes : QByteArray();
}

QByteArray GifFile(const QImage& source, bool trailer) {
  const QImage image =
      source.format() == QImage::Format_Indexed8 ? source : source.convertToFormat(QImage::Format_Indexed8);
  const QVector<QRgb> colours = image.colorTable();
  int tableBits = 1;
  while ((1 << tableBits) < colours.size()) ++tableBits;
  QByteArray out("GIF89a");
  Put16(out, static_cast<uint32_t>(image.width()));
  Put16(out, static_cast<uint32_t>(image.height()));
  out += static_cast<char>(0xF0 | (tableBits - 1));  // a global table, 8 bits a colour
  out += QByteArray(2, '\0');
  for (int i = 0; i < 1 << tableBits; ++i) {
    const QRgb colour = i < colours.size() ? colours[i] : 0;
    out += static_cast<char>(qRed(colour));
    out += static_cast<char>(qGreen(colour));
    out += static_cast<char>(qBlue(colour));
  }
  out += ',';
  Put32(out, 0);
  Put16(out, static_cast<uint32_t>(image.width()));
  Put16(out, static_cast<uint32_t>(image.height()));
  out += '\0';
  const int minimum = std::max(2, tableBits);
  out += static_cast<char>(minimum);
  const QByteArray codes = LzwCodes(image, minimum);
  for (qsizetype at = 0; at < codes.size(); at += 255) {
    const QByteArray block = codes.mid(at, 255);
    out += static_cast<char>(block.size());
    out += block;
  }
  out += '\0';
  if (trailer) out += ';';
  return out;
}

QByteArray RunLengthBmpFile(const QImage& indexed, int bits) {
  QByteArray pixels;
  for (int y = indexed.height() - 1; y >= 0; --y) {
    const uchar* row = indexed.constScanLine(y);
    for (int x = 0; x < indexed.width();) {
      int run = 1;
      while (x + run < indexed.width() && run < 255 && row[x + run] == row[x]) ++run;
      pixels += static_cast<char>(run);
      pixels += static_cast<char>(bits == 4 ? row[x] << 4 | row[x] : row[x]);
      x += run;
    }
    pixels += QByteArray(y > 0 ? "\0\0" : "\0\1", 2);  // the end of a row, or of the bitmap
  }
  const QVector<QRgb> colours = indexed.colorTable();
  const uint32_t dataOffset = 14 + 40 + 4 * static_cast<uint32_t>(colours.size());
  QByteArray out("BM");
  Put32(out, dataOffset + static_cast<uint32_t>(pixels.size()));
  Put32(out, 0);
  Put32(out, dataOffset);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(indexed.width()));
  Put32(out, static_cast<uint32_t>(indexed.height()));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bits));
  Put32(out, bits == 8 ? 1 : 2);
  Put32(out, static_cast<uint32_t>(pixels.size()));
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, static_cast<uint32_t>(colours.size()));
  Put32(out, 0);
  for (const QRgb colour : colours) Put32(out, colour & 0xFFFFFF);
  return out + pixels;
}

std::vector<JpegScan> OneCoefficientAtATime(int scans) {
  std::vector<JpegScan> script{{0, 0, 0, 0, 0}};
  int next = 1;
  for (; static_cast<int>(script.size()) + 2 <= scans && next < 63; ++next) {
    script.push_back({0, next, next, 0, 1});
    script.push_back({0, next, next, 1, 0});
  }
  if (static_cast<int>(script.size()) < scans) script.push_back({0, next, 63, 0, 0});
  return script;
}

QByteArray JpegFile(const QImage& source, JpegColours colours, const std::vector<JpegScan>& scans, int quality,
                    bool arithmetic) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const bool grey = colours == JpegColours::kGrey;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(image.width());
  info.image_height = static_cast<JDIMENSION>(image.height());
  info.input_components = grey ? 1 : 4;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_CMYK;
  jpeg_set_defaults(&info);
  if (!grey) jpeg_set_colorspace(&info, colours == JpegColours::kYcck ? JCS_YCCK : JCS_CMYK);
  jpeg_set_quality(&info, quality, TRUE);
  info.arith_code = arithmetic ? TRUE : FALSE;
  std::vector<jpeg_scan_info> script;
  for (const JpegScan& scan : scans) {
    jpeg_scan_info made{};
    made.comps_in_scan = scan.component < 0 ? info.num_components : 1;
    for (int c = 0; c < made.comps_in_scan; ++c) made.component_index[c] = scan.component < 0 ? c : scan.component;
    made.Ss = scan.first;
    made.Se = scan.last;
    made.Ah = scan.high;
    made.Al = scan.low;
    script.push_back(made);
  }
  if (!script.empty()) {
    info.scan_info = script.data();
    info.num_scans = static_cast<int>(script.size());
  }
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(image.width()) * static_cast<size_t>(info.input_components));
  for (int y = 0; y < image.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      JSAMPLE* out = &row[static_cast<size_t>(x) * static_cast<size_t>(info.input_components)];
      if (grey) {
        out[0] = static_cast<JSAMPLE>(qGray(in[x]));
        continue;
      }
      out[0] = static_cast<JSAMPLE>(qRed(in[x]));
      out[1] = static_cast<JSAMPLE>(qGreen(in[x]));
      out[2] = static_cast<JSAMPLE>(qBlue(in[x]));
      out[3] = static_cast<JSAMPLE>(255 - (x + y) % 64);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
  std::free(buffer);
  return out;
}

QByteArray WithEmptyScans(const QByteArray& jpeg, int scans) {
  const auto* b = reinterpret_cast<const uint8_t*>(jpeg.constData());
  const qsizetype n = jpeg.size();
  // The frame's size and first component, the scans there are and where the
  // end marker stands; entropy-coded data is stepped over a byte at a time.
  int width = 0, height = 0, id = 0, across = 1, down = 1, mostAcross = 1, mostDown = 1, found = 0;
  qsizetype end = -1;
  for (qsizetype i = 2; i + 1 < n;) {
    const uint8_t marker = b[i + 1];
    if (b[i] != 0xFF || marker == 0 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD7)) {
      ++i;
      continue;
    }
    if (marker == 0xD9) {
      end = i;
      break;
    }
    if (i + 3 >= n) break;
    if (marker >= 0xC0 && marker <= 0xC2) {
      height = b[i + 5] << 8 | b[i + 6];
      width = b[i + 7] << 8 | b[i + 8];
      id = b[i + 10];
      across = b[i + 11] >> 4;
      down = b[i + 11] & 15;
      for (int c = 0; c < b[i + 9]; ++c) {
        mostAcross = std::max(mostAcross, b[i + 11 + 3 * c] >> 4);
        mostDown = std::max(mostDown, b[i + 11 + 3 * c] & 15);
      }
    }
    found += marker == 0xDA;
    i += 2 + (b[i + 2] << 8 | b[i + 3]);
  }
  if (end < 0 || width == 0) return QByteArray();
  // The first component's blocks, in runs of empty blocks (EOBn: 2^n and
  // n more bits) of one size class, coded as the only symbol of a table.
  const int64_t columns = ((width * across + mostAcross - 1) / mostAcross + 7) / 8;
  const int64_t rows = ((height * down + mostDown - 1) / mostDown + 7) / 8;
  const int64_t blocks = columns * rows;
  const int size = std::min(14, static_cast<int>(std::bit_width(static_cast<uint64_t>(blocks))) - 1);
  const int64_t longest = (int64_t{2} << size) - 1;
  const int64_t runs = (blocks + longest - 1) / longest;
  QByteArray data;
  uint32_t bits = 0;
  int count = 0;
  const auto put = [&](uint32_t value, int width) {
    bits = bits << width | value;
    for (count += width; count >= 8; count -= 8) {
      data += static_cast<char>(bits >> (count - 8) & 0xFF);
      if ((bits >> (count - 8) & 0xFF) == 0xFF) data += '\0';
    }
  };
  for (int64_t r = 0; r < runs; ++r) {
    const int64_t run = blocks / runs + (r < blocks % runs ? 1 : 0);
    put(0, 1);
    put(static_cast<uint32_t>(run - (int64_t{1} << size)), size);
  }
  if (count > 0) put((1u << (8 - count)) - 1, 8 - count);
  const char table[] = {'\xFF', '\xC4', 0, 20, 0x10, 1, 0, 0, 0, 0, 0,
                        0,      0,      0, 0,  0,    0, 0, 0, 0, 0, static_cast<char>(size << 4)};
  const char header[] = {'\xFF', '\xDA', 0, 8, 1, static_cast<char>(id), 0, 63, 63, 0};
  const QByteArray scan = QByteArray(header, sizeof header) + data;
  QByteArray out = jpeg.left(end) + QByteArray(table, sizeof table);
  for (int i = found; i < scans; ++i) out += scan;
  return out + jpeg.mid(end);
}
