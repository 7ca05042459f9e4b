#include "framework/jpegdecode.h"

#include <bit>
#include <climits>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// libjpeg reports an error by jumping back into the frame that decodes,
// which therefore holds nothing that needs destroying.
struct ErrorJump : jpeg_error_mgr {
  std::jmp_buf jump;
  bool endMissing = false;  // the file ended without its end marker
};

[[noreturn]] void Stop(j_common_ptr info) { std::longjmp(static_cast<ErrorJump*>(info->err)->jump, 1); }

// A warning (level -1) is a file that is not what it should be, where
// libjpeg would go on with data it made up: it ends the reading too. Trace
// messages (0 and up) say nothing is wrong. The one warning that reading
// goes on after is the file's end coming before its end marker: libjpeg
// then reads as if the marker came, and image data that is missing still
// stops the reading, as data cut off by a marker. Whether the image was
// whole is judged at its end.
void OnMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
      static_cast<ErrorJump*>(info->err)->endMissing = true;
      return;
    // Warnings about the file's labels, not its pixels: a JFIF version to
    // come, an Adobe colour transform not known, and stray bytes between
    // the markers before the first scan, where no image data lies yet.
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
      return;
    case JWRN_EXTRANEOUS_DATA:
      if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number == 0) return;
      break;
    default:
      break;
  }
  Stop(info);
}

// Each scan of a file costs a pass over the blocks of its components, about
// a millisecond at a chart's size even where the scan holds a few bytes.
// Encoders write 6 to 20 scans, libjpeg's own progression at most 60 (for
// ten components): more than this many is no drawing's, and stops the
// reading within a tenth of a second.
constexpr int kMostScans = 64;

// Follows the scans as libjpeg comes to them, before it decodes any of their
// data, and stops the reading on a scan too many, or one that codes bits of
// a coefficient that are coded already: every scan of a file must bring
// something new (libjpeg itself only warns where the bits it expects differ).
struct ScanWatch : jpeg_progress_mgr {
  int scan = 0;
  // For each component and coefficient, the lowest bit coded so far; -1
  // while none is.
  int8_t lowestBit[MAX_COMPONENTS][DCTSIZE2];
};

void OnProgress(j_common_ptr common) {
  const auto info = reinterpret_cast<j_decompress_ptr>(common);
  auto* watch = static_cast<ScanWatch*>(info->progress);
  if (info->input_scan_number == watch->scan) return;
  watch->scan = info->input_scan_number;
  if (watch->scan > kMostScans) Stop(common);
  // A sequential scan codes its components' coefficients whole.
  const bool progressive = info->progressive_mode;
  const int first = progressive ? info->Ss : 0;
  const int last = progressive ? info->Se : DCTSIZE2 - 1;
  const int high = progressive ? info->Ah : 0;
  for (int c = 0; c < info->comps_in_scan; ++c) {
    int8_t* lowest = watch->lowestBit[info->cur_comp_info[c]->component_index];
    for (int k = first; k <= last && k < DCTSIZE2; ++k) {
      if (lowest[k] != (high == 0 ? -1 : high)) Stop(common);
      lowest[k] = static_cast<int8_t>(progressive ? info->Al : 0);
    }
  }
}

struct Job {
  jpeg_decompress_struct* info;
  ScanWatch* scans;
  std::span<const uint8_t> file;
  int allocationLimitMb;
  QImage* image;
};

// Black scales the three inks, as Qt's reader turns CMYK into RGB, in place:
// four bytes in, blue, green, red and 0xFF out.
void CmykToRgb32(uint8_t* row, JDIMENSION width) {
  for (JDIMENSION x = 0; x < width; ++x, row += 4) {
    const int k = row[3];
    const uint8_t red = static_cast<uint8_t>(k * row[0] / 255);
    const uint8_t green = static_cast<uint8_t>(k * row[1] / 255);
    const uint8_t blue = static_cast<uint8_t>(k * row[2] / 255);
    row[0] = blue;
    row[1] = green;
    row[2] = red;
    row[3] = 0xFF;
  }
}

// Everything that may raise a libjpeg error. False for a file not read.
bool DecodeRows(Job& job) {
  jpeg_decompress_struct& info = *job.info;
  jpeg_create_decompress(&info);
  info.progress = job.scans;
  jpeg_mem_src(&info, job.file.data(), job.file.size());
  jpeg_read_header(&info, TRUE);
  // Grey, YCbCr and RGB files come as blue, green, red and 0xFF; CMYK and
  // YCCK files as CMYK, turned into RGB row by row. Others are not read.
  const bool cmyk = info.out_color_space == JCS_CMYK;
  if (info.out_color_space == JCS_GRAYSCALE || info.out_color_space == JCS_RGB) {
    info.out_color_space = JCS_EXT_BGRA;
  } else if (!cmyk) {
    return false;
  }
  jpeg_calc_output_dimensions(&info);
  const JDIMENSION width = info.output_width;
  const JDIMENSION height = info.output_height;
  const uint64_t bytes = uint64_t{width} * height * 4;
  if (width == 0 || height == 0 || width > INT_MAX / 4 || height > INT_MAX ||
      (job.allocationLimitMb > 0 && bytes > static_cast<uint64_t>(job.allocationLimitMb) << 20)) {
    return false;
  }
  QImage& image = *job.image;
  const bool reuse = image.width() == static_cast<int>(width) && image.height() == static_cast<int>(height) &&
                     image.format() == QImage::Format_RGB32;
  if (!reuse) image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  if (image.isNull()) return false;
  uchar* bits = image.bits();
  const qsizetype stride = image.bytesPerLine();

  jpeg_start_decompress(&info);
  while (info.output_scanline < height) {
    JSAMPROW row = bits + static_cast<qsizetype>(info.output_scanline) * stride;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) return false;
    if (cmyk) CmykToRgb32(row, width);
  }
  // Up to the end marker: data missing before it is a file cut short too.
  jpeg_finish_decompress(&info);
  // A file that lacks only its end marker is whole where it has one scan
  // of all its components, Huffman coded: there the missing data stops the
  // reading. A file of more scans may have lost whole scans, which leave no
  // trace, and arithmetic decoding makes up missing data without a word.
  if (static_cast<ErrorJump*>(info.err)->endMissing &&
      (info.arith_code || info.progressive_mode || info.input_scan_number != 1 ||
       info.comps_in_scan != info.num_components)) {
    return false;
  }
  if (info.density_unit == 1) {  // dots an inch
    image.setDotsPerMeterX(static_cast<int>(100. * info.X_density / 2.54));
    image.setDotsPerMeterY(static_cast<int>(100. * info.Y_density / 2.54));
  } else if (info.density_unit == 2) {  // dots a centimetre
    image.setDotsPerMeterX(static_cast<int>(100. * info.X_density));
    image.setDotsPerMeterY(static_cast<int>(100. * info.Y_density));
  }
  return true;
}

bool DecodeGuarded(Job& job) {
  if (setjmp(static_cast<ErrorJump*>(job.info->err)->jump) != 0) return false;
  return DecodeRows(job);
}

}  // namespace

QImage ReadJpegAsRgb32(std::span<const uint8_t> file, int allocationLimitMb, QImage scratch) {
  // The byte order above is that of little-endian machines.
  if constexpr (std::endian::native != std::endian::little) return QImage();
  jpeg_decompress_struct info{};
  ErrorJump errors;
  info.err = jpeg_std_error(&errors);
  errors.error_exit = Stop;
  errors.emit_message = OnMessage;
  ScanWatch scans;
  scans.progress_monitor = OnProgress;
  std::memset(scans.lowestBit, -1, sizeof scans.lowestBit);
  QImage image = std::move(scratch);
  Job job{&info, &scans, file, allocationLimitMb, &image};
  const bool read = DecodeGuarded(job);
  jpeg_destroy_decompress(&info);
  if (!read) return QImage();
  image.setDevicePixelRatio(1.0);
  return image;
}
