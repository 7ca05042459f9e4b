#pragma once

#include "framework/bitmapdata.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// The quick way from a PNG file held in memory to 32-bit pixels, for the
// files drawings are saved as: 8 bits per sample, not interlaced, grey, grey
// with alpha, RGB, RGBA or palette, every chunk intact. The whole image data
// is inflated in one go and unfiltered row by row straight into the caller's
// pixels. Everything else is declined, and the caller reads the file the
// thorough way (libpng, then Qt), which gives the same pixels for the files
// taken here.

struct PngSize {
  int width = 0;
  int height = 0;
};

// Whether the bytes start with the eight that every PNG file starts with.
bool IsPngSignature(std::span<const uint8_t> file);

// The size a PNG file's header gives, from its first 24 bytes; nothing when
// they are no PNG header.
std::optional<PngSize> ReadPngSize(std::span<const uint8_t> file);

// How far a PNG file reaches, found from its first bytes as they are read:
// its chunks followed by their lengths, as every decoder follows them, up
// to the first end chunk. No decoder reads past it: bytes after it are no
// part of the image. Checksums are left to the decoders.
struct PngReach {
  bool ended = false;  // whether the bytes hold the end chunk
  size_t bytes = 0;    // the file's length up to the end of its end chunk when
                       // ended; else how many bytes the walk needs to go on
};

// Walks on through `head`, the first bytes of a file, from `pos` (0 at
// first), which is moved past each chunk walked: a walk goes on where the
// last one stopped once more of the file is read. Nothing when the bytes
// are no PNG file, or a chunk's length is more than any chunk's.
std::optional<PngReach> WalkPngChunks(std::span<const uint8_t> head, size_t& pos);

// Scratch memory for decoding, kept from one file to the next: one per
// thread. Throws std::bad_alloc when there is no memory for it.
class PngScratch {
 public:
  PngScratch();
  ~PngScratch();
  PngScratch(const PngScratch&) = delete;
  PngScratch& operator=(const PngScratch&) = delete;

  // How many bytes after the pixels of an image of the size let a file
  // with four bytes a pixel (RGBA, as drawings mostly are) be decoded in the
  // image's own memory.
  static size_t RoomFor(int width, int height);

 private:
  friend bool DecodePngFast(std::span<const uint8_t>, const BitmapData&, PngScratch&, size_t);
  struct Inflater;
  std::unique_ptr<Inflater> inflater_;
  std::vector<uint8_t> data_;      // the image data gathered from its chunks
  std::vector<uint8_t> filtered_;  // the inflated rows, each led by its filter byte
  std::vector<uint8_t> zeros_;     // the row above the first
};

// Decodes the file into `out`, whose size must be the file's: blue, green,
// red and 0xFF in every pixel, alpha dropped, as the thorough way gives. False
// (and `out` in any state) for a file it declines. `room` bytes of the
// caller's memory that follow the last row of `out` may be used for the
// decoding, sparing memory of the scratch's own.
bool DecodePngFast(std::span<const uint8_t> file, const BitmapData& out, PngScratch& scratch, size_t room = 0);
