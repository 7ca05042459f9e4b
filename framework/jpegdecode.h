#pragma once

#include <QImage>

#include <cstdint>
#include <span>

// Reads a JPEG file held in memory straight into a Format_RGB32 image (bytes
// blue, green, red, 0xFF) with libjpeg: the pixel bytes and resolution Qt's
// reader followed by convertToFormat(Format_RGB32) gives for the same file.
// Grey, YCbCr and RGB files go through libjpeg's own colour conversion, as
// in Qt's reader; CMYK and YCCK files have each of their first three
// channels scaled by the fourth, as Qt's reader scales them. Its device pixel
// ratio is 1.
//
// A null image means the file is not read: a size whose 32-bit image exceeds
// allocationLimitMb megabytes (0 for no limit; refused before anything is
// allocated), colours of another kind, and any file libjpeg stops on or
// warns about, where it would make up what is missing: a file that ends
// before its image does ("Premature end of JPEG file"), corrupt data, an
// inconsistent progression. Also a file of more than 64 scans, or with a
// scan that codes again what an earlier one coded: each scan costs a pass
// over the image, and 20,000 scans of a few bytes took 20 seconds.
//
// A scratch image of the file's size and format, not shared with any other
// QImage, is decoded into instead of a new allocation.
//
// Keeps no shared state: several threads may read different files at once.
QImage ReadJpegAsRgb32(std::span<const uint8_t> file, int allocationLimitMb, QImage scratch = QImage());
