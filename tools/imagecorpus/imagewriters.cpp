#include "tools/imagecorpus/imagewriters.h"

#include <QVector>

#include <algorithm>
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

QByteArray JpegFile(const QImage& source, JpegColours colours, const std::vector<JpegScan>& scans, int quality) {
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
