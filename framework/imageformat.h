#pragma once

#include <cstdint>
#include <span>

// The formats a drawing is read from, told by a file's first bytes, never by
// its name; and whether a file holds all the image data its headers declare.

enum class ImageFormat { kNone, kPng, kJpeg, kGif, kBmp, kTiff, kIco };

// The format the file's first bytes (8 are enough) show. kNone for anything
// else: other image formats, vector pictures, text.
ImageFormat FormatOf(std::span<const uint8_t> start);

// Whether the image data a GIF, BMP or TIFF file declares lies within its
// bytes, so that a file cut short is known before its image is decoded:
// - GIF: the blocks up to the end of the first image, its data to the block
//   that ends it (the trailer after it may be missing);
// - BMP: every row of uncompressed pixels; run-length pixels to their end
//   (the end-of-bitmap code, or the end of the last row);
// - TIFF: everything the first directory points to, its strips or tiles
//   among them.
// True for the other formats, and for headers that are no such file's (the
// reader refuses those itself).
bool HoldsItsImageData(ImageFormat format, std::span<const uint8_t> file);
