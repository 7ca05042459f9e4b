#include "framework/jpegdecode.h"

#include <bit>
#include <climits>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

namespace {

// libjpeg reports an error by jumping back into the frame that decodes,
// which therefore holds nothing that needs destroying.
struct ErrorJump : jpeg_error_mgr {
  std::jmp_buf jump;
};

[[noreturn]] void Stop(j_common_ptr info) { std::longjmp(static_cast<ErrorJump*>(info->err)->jump, 1); }

// A warning (level -1) is a file that is not what it should be, where
// libjpeg would go on with data it made up: it ends the reading too. Trace
// messages (0 and up) say nothing is wrong.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) Stop(info);
}

struct Job {
  jpeg_decompress_struct* info;
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
  QImage image = std::move(scratch);
  Job job{&info, file, allocationLimitMb, &image};
  const bool read = DecodeGuarded(job);
  jpeg_destroy_decompress(&info);
  if (!read) return QImage();
  image.setDevicePixelRatio(1.0);
  return image;
}
