#pragma once

#include <QIODevice>
#include <QImage>

// Reads a PNG file straight into a Format_RGB32 image (bytes blue, green,
// red, 0xFF; any alpha is dropped), decoding row by row into the image's own
// scan lines. The result is the image Qt's reader followed by
// convertToFormat(Format_RGB32) gives for the same file: the same pixel bytes,
// resolution, offset, texts and colour space. Its device pixel ratio is 1:
// there is no file name to read a scale from.
//
// It takes every colour type at 1 to 16 bits per sample, interlaced or not.
// 16-bit samples are rounded to 8 bits as Qt rounds them; 16-bit RGB files
// with a transparent colour, which Qt's reader mixes up, give the pixels of
// the same file without the transparent colour. A file that lacks only the
// end chunk's checksum is read as the whole file it was.
//
// A null image means the file is not read: a size whose 32-bit image exceeds
// allocationLimitMb megabytes (0 for no limit; refused before anything is
// allocated), a palette file whose pixels index past its palette, and any
// file that does not decode cleanly to its end. What a damaged file can
// cost is bounded by its own bytes: a chunk that claims more data than the
// file holds ends the reading at its header, and image data that goes on
// after the image is complete ends it before it is inflated.
//
// The device is open for reading at the file's start. It is read from there
// on, possibly past the end of the PNG data, and left open.
//
// A scratch image of the file's size and format, not shared with any other
// QImage, is decoded into instead of a new allocation: a caller that reads
// many drawings of one size passes the last one back in.
//
// Keeps no shared state: several threads may read different files at once.
QImage ReadPngAsRgb32(QIODevice& device, int allocationLimitMb, QImage scratch = QImage());
