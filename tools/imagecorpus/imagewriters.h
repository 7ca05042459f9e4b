#pragma once

#include <QByteArray>
#include <QImage>

#include <vector>

// Files in the forms drawings come in that Qt does not write, for the image
// corpus and the benchmarks: GIF, run-length BMP, JPEG in other colour
// spaces or scans, and JPEG scans that cost without end.

// The file as Qt's writer makes it in the format: JPEG at quality 90,
// progressive when asked, TIFF compressed with LZW.
QByteArray QtWriterFile(const QImage& image, const char* format, bool progressive = false);

// A GIF file of the image converted to 8-bit palette colours (exact where it
// has 256 colours or fewer); its trailer left out when asked.
QByteArray GifFile(const QImage& image, bool trailer = true);

// A BMP file of a palette image, its pixels run-length encoded at 8 or 4
// bits (the image's colour indices must then be below 16).
QByteArray RunLengthBmpFile(const QImage& indexed, int bits);

// One scan of a progressive JPEG file: its component (0 to 3) or all of them
// (-1), its coefficients and the bits coded.
struct JpegScan {
  int component, first, last, high, low;
};

// Scans for a one-component JPEG file: its DC coefficients, then each AC
// coefficient on its own, its high bits first and its low bit after, and the
// rest at once where one scan is left: a valid progression of `scans`.
std::vector<JpegScan> OneCoefficientAtATime(int scans);

// A JPEG file written by libjpeg: of an RGB image at the quality, stored as
// CMYK (the image's red, green and blue as the first three inks, black
// varying over the image, marked as Adobe writes it) or as YCCK when asked,
// and in the scans given (none: one sequential scan), with Huffman or with
// arithmetic coding.
enum class JpegColours { kCmyk, kYcck, kGrey };
QByteArray JpegFile(const QImage& image, JpegColours colours, const std::vector<JpegScan>& scans = {}, int quality = 90,
                    bool arithmetic = false);

// A progressive JPEG file with scans added before its end until it has
// `scans`, each coding nothing again for the highest coefficient of its first
// component: runs of empty blocks, a few bytes that cost the decoder a pass
// over the whole component.
QByteArray WithEmptyScans(const QByteArray& jpeg, int scans);
