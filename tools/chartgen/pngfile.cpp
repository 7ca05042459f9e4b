#include "tools/chartgen/pngfile.h"

#include <QFile>

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

bool WritePng(const QImage& image, const QString& path) {
  const int colourType = image.format() == QImage::Format_RGB888     ? PNG_COLOR_TYPE_RGB
                         : image.format() == QImage::Format_RGBA8888 ? PNG_COLOR_TYPE_RGB_ALPHA
                                                                     : -1;
  if (colourType < 0) return false;

  FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(file);
    return false;
  }
  std::vector<png_bytep> rows(static_cast<size_t>(image.height()));
  for (int y = 0; y < image.height(); ++y) rows[static_cast<size_t>(y)] = const_cast<png_bytep>(image.constScanLine(y));
  // libpng reports errors by jumping back here.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()), 8,
               colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}
