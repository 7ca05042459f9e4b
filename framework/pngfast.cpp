#include "framework/pngfast.h"

#include "framework/pngrows.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

struct PngScratch::Inflater {
  libdeflate_decompressor* handle = libdeflate_alloc_decompressor();
  ~Inflater() {
    if (handle != nullptr) libdeflate_free_decompressor(handle);
  }
};

PngScratch::PngScratch() : inflater_(std::make_unique<Inflater>()) {
  if (inflater_->handle == nullptr) throw std::bad_alloc();
}

PngScratch::~PngScratch() = default;

size_t PngScratch::RoomFor(int width, int height) {
  // The filtered rows of a file with four bytes a pixel are one byte a row
  // longer than the pixels, and the first row must not overtake itself.
  return static_cast<size_t>(std::max(height, 0)) + static_cast<size_t>(std::max(width, 0)) * 4 + 64;
}

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t BigEndian(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

bool IsType(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

// Whether a chunk type is four ASCII letters, as every valid one is.
bool IsLetters(const uint8_t* type) {
  return std::all_of(type, type + 4, [](uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

enum ColourType : uint8_t { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

int BytesPerPixel(uint8_t colourType) {
  switch (colourType) {
    case kGrey:
    case kPalette:
      return 1;
    case kGreyAlpha:
      return 2;
    case kRgb:
      return 3;
    case kRgba:
      return 4;
    default:
      return 0;
  }
}

// One chunk of the file: its type, its data and the data's length.
struct Chunk {
  const uint8_t* type;
  const uint8_t* body;
  uint32_t length;
};

// A chunk's length, type and checksum.
constexpr size_t kChunkFrame = 12;

// Where the chunk at `pos` ends, past its checksum, by the length its first
// four bytes give (`file` holds at least its frame); nothing when the length
// is more than any chunk's.
std::optional<size_t> ChunkEnd(std::span<const uint8_t> file, size_t pos) {
  const uint32_t length = BigEndian(file.data() + pos);
  if (length > 0x7FFFFFFF) return std::nullopt;
  return pos + kChunkFrame + length;
}

// The chunk at `pos`, its checksum checked, and `pos` moved past it;
// nothing when the file ends before the chunk does (its length, type, data
// or checksum cut off, or a length beyond the file) or the checksum differs.
std::optional<Chunk> NextChunk(std::span<const uint8_t> file, size_t& pos) {
  if (pos > file.size() || file.size() - pos < kChunkFrame) return std::nullopt;
  const std::optional<size_t> end = ChunkEnd(file, pos);
  if (!end || *end > file.size()) return std::nullopt;
  const auto length = static_cast<uint32_t>(*end - pos - kChunkFrame);
  const uint8_t* type = file.data() + pos + 4;
  const uint8_t* body = type + 4;
  if (libdeflate_crc32(0, type, length + 4) != BigEndian(body + length)) return std::nullopt;
  pos = *end;
  return Chunk{type, body, length};
}

}  // namespace

bool IsPngSignature(std::span<const uint8_t> file) {
  return file.size() >= 8 && std::memcmp(file.data(), kSignature, 8) == 0;
}

std::optional<PngReach> WalkPngChunks(std::span<const uint8_t> head, size_t& pos) {
  if (!IsPngSignature(head)) return std::nullopt;
  pos = std::max(pos, sizeof kSignature);
  while (true) {
    if (pos > head.size() || head.size() - pos < kChunkFrame) return PngReach{false, pos + kChunkFrame};
    const std::optional<size_t> end = ChunkEnd(head, pos);
    if (!end) return std::nullopt;
    if (*end > head.size()) return PngReach{false, *end};
    const bool last = IsType(head.data() + pos + 4, "IEND");
    pos = *end;
    if (last) return PngReach{true, pos};
  }
}

std::optional<PngSize> ReadPngSize(std::span<const uint8_t> file) {
  if (file.size() < 24 || !IsPngSignature(file) || !IsType(file.data() + 12, "IHDR")) {
    return std::nullopt;
  }
  const uint32_t width = BigEndian(file.data() + 16);
  const uint32_t height = BigEndian(file.data() + 20);
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return std::nullopt;
  return PngSize{static_cast<int>(width), static_cast<int>(height)};
}

bool DecodePngFast(std::span<const uint8_t> file, const BitmapData& out, PngScratch& scratch, size_t room) {
  if (scratch.inflater_->handle == nullptr || !out.IsValid()) return false;
  const std::optional<PngSize> size = ReadPngSize(file);
  if (!size || size->width != out.width || size->height != out.height) return false;
  size_t pos = 8;
  const std::optional<Chunk> headerChunk = NextChunk(file, pos);
  if (!headerChunk || headerChunk->length != 13) return false;
  const uint8_t* header = headerChunk->body;
  const uint8_t depth = header[8];
  const uint8_t colourType = header[9];
  const int bpp = BytesPerPixel(colourType);
  if (depth != 8 || bpp == 0 || header[10] != 0 || header[11] != 0 || header[12] != 0) return false;

  // Every chunk up to the end, its checksum checked. Anything out of the
  // ordinary is left to the thorough way, which knows what to make of it.
  std::array<uint32_t, 256> table{};
  int tableSize = 256;
  for (int i = 0; i < 256; ++i) table[i] = 0xFF000000u | static_cast<uint32_t>(i) * 0x010101u;
  bool palette = false;
  bool transparency = false;
  bool dataStarted = false;
  bool dataEnded = false;
  bool ended = false;
  scratch.data_.clear();
  while (!ended) {
    const std::optional<Chunk> chunk = NextChunk(file, pos);
    if (!chunk) return false;
    const uint8_t* type = chunk->type;
    const uint8_t* body = chunk->body;
    const uint32_t length = chunk->length;
    // A type that is no four letters makes the file invalid, which the
    // thorough way refuses.
    if (!IsLetters(type)) return false;
    const bool isData = IsType(type, "IDAT");
    if (dataStarted && !isData) dataEnded = true;
    if (isData) {
      if (dataEnded || (colourType == kPalette && !palette)) return false;
      dataStarted = true;
      scratch.data_.insert(scratch.data_.end(), body, body + length);
    } else if (IsType(type, "IEND")) {
      ended = true;
    } else if (IsType(type, "PLTE")) {
      if (palette || dataStarted || transparency || colourType == kGrey || colourType == kGreyAlpha || length == 0 ||
          length % 3 != 0 || length > 768) {
        return false;
      }
      palette = true;
      if (colourType == kPalette) {
        tableSize = static_cast<int>(length / 3);
        for (int i = 0; i < tableSize; ++i) {
          const uint8_t* c = body + 3 * i;
          table[static_cast<size_t>(i)] = 0xFF000000u | uint32_t{c[0]} << 16 | uint32_t{c[1]} << 8 | c[2];
        }
      }
    } else if (IsType(type, "tRNS")) {
      // Transparency only changes the alpha, which is dropped, except for
      // grey, where the transparent level reads as black.
      if (transparency || dataStarted) return false;
      transparency = true;
      if (colourType == kGrey) {
        if (length != 2 || body[0] != 0) return false;
        table[body[1]] = 0xFF000000u;
      } else if (colourType == kRgb) {
        if (length != 6) return false;
      } else if (colourType == kPalette) {
        if (!palette || length > static_cast<uint32_t>(tableSize)) return false;
      } else {
        return false;
      }
    } else if ((type[0] & 0x20) == 0 || IsType(type, "IHDR")) {
      return false;  // a critical chunk not known here
    }
  }
  if (!dataStarted) return false;

  const size_t rowBytes = static_cast<size_t>(out.width) * static_cast<size_t>(bpp);
  const auto height = static_cast<size_t>(out.height);
  const size_t expected = (rowBytes + 1) * height;
  // The rows are inflated into the end of the caller's own memory when it
  // has room enough after its pixels that no pixel row written overtakes a
  // row still to be read; into memory of their own otherwise.
  const size_t outRow = static_cast<size_t>(out.width) * 4;
  const size_t total = outRow * height + room;
  uint8_t* rows = nullptr;
  if (out.stride == static_cast<ptrdiff_t>(outRow) && total >= expected) {
    // Row y's pixels end at (y + 1) * outRow; its filtered bytes start at
    // start + y * (rowBytes + 1) + 1. The first must never pass the second.
    const size_t start = total - expected;
    bool fits = true;
    for (size_t y : {size_t{0}, height - 1}) {
      fits = fits && (y + 1) * outRow <= start + y * (rowBytes + 1) + 1;
    }
    if (fits) rows = out.scan0 + start;
  }
  if (rows == nullptr) {
    scratch.filtered_.resize(expected);
    rows = scratch.filtered_.data();
  }
  size_t usedIn = 0;
  size_t madeOut = 0;
  if (libdeflate_zlib_decompress_ex(scratch.inflater_->handle, scratch.data_.data(), scratch.data_.size(), rows,
                                    expected, &usedIn, &madeOut) != LIBDEFLATE_SUCCESS ||
      usedIn != scratch.data_.size() || madeOut != expected) {
    return false;
  }
  // A row of zeros stands above the first row.
  scratch.zeros_.assign(rowBytes, 0);
  const uint8_t* prior = scratch.zeros_.data();
  const RowIsa isa = WidestRowIsa();
  for (size_t y = 0; y < height;) {
    uint8_t* row = rows + y * (rowBytes + 1);
    uint8_t* next = y + 1 < height ? row + rowBytes + 1 : nullptr;
    const int undone = UnfilterPngRows(row, next, prior, rowBytes, bpp, isa);
    if (undone == 0) return false;
    // Each row expanded in turn: a row's pixels never reach the filtered
    // bytes of its own row or of any row after it.
    for (int k = 0; k < undone; ++k, ++y) {
      row = rows + y * (rowBytes + 1);
      if (!ExpandPngRow(row + 1, out.Row(static_cast<int>(y)), static_cast<size_t>(out.width), bpp, table.data(),
                        tableSize, isa)) {
        return false;
      }
      prior = row + 1;
    }
  }
  return true;
}
