#include "framework/pngfast.h"

#include <libdeflate.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The Paeth prediction of one byte from the bytes left, above and above
// left.
inline int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = p > a ? p - a : a - p;
  const int pb = p > b ? p - b : b - p;
  const int pc = p > c ? p - c : c - p;
  return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

// Four bytes added byte by byte, with no carry from one to the next.
inline uint32_t AddBytes(uint32_t x, uint32_t y) {
  return ((x & 0x7F7F7F7Fu) + (y & 0x7F7F7F7Fu)) ^ ((x ^ y) & 0x80808080u);
}

// Paeth with four bytes a pixel. Where the pixel above equals the one above
// left, as everywhere across blank page, every byte's prediction is the
// byte to its left, and the pixel is done in one step.
void UndoPaeth4(uint8_t* row, const uint8_t* prior, size_t length) {
  uint32_t a = 0;
  uint32_t c = 0;
  for (size_t i = 0; i + 4 <= length; i += 4) {
    uint32_t b;
    uint32_t x;
    std::memcpy(&b, prior + i, 4);
    std::memcpy(&x, row + i, 4);
    if (b == c) {
      x = AddBytes(x, a);
    } else {
      uint32_t predicted = 0;
      for (int k = 0; k < 32; k += 8) {
        predicted |= static_cast<uint32_t>(Paeth(a >> k & 0xFF, b >> k & 0xFF, c >> k & 0xFF)) << k;
      }
      x = AddBytes(x, predicted);
    }
    std::memcpy(row + i, &x, 4);
    a = x;
    c = b;
  }
}

#if defined(__SSE2__)
// Up: the byte above is added, sixteen bytes at a time.
void UndoUp(uint8_t* row, const uint8_t* prior, size_t length) {
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    const __m128i sum = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), sum);
  }
  for (; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

// Sub with four bytes a pixel: a running sum over the pixels, four pixels
// at a time.
void UndoSub4(uint8_t* row, size_t length) {
  __m128i last = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
    x = _mm_add_epi8(x, last);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), x);
    last = _mm_shuffle_epi32(x, 0xFF);
  }
  for (i = std::max<size_t>(i, 4); i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - 4]);
}

#endif

// The five row filters, undone in place; `prior` is the row above, already
// undone (zeros above the first row).
bool Unfilter(uint8_t filter, uint8_t* __restrict row, const uint8_t* __restrict prior, size_t length, int bpp) {
  const size_t step = static_cast<size_t>(bpp);
  switch (filter) {
    case 0:
      return true;
    case 1:
#if defined(__SSE2__)
      if (bpp == 4) {
        UndoSub4(row, length);
        return true;
      }
#endif
      for (size_t i = step; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - step]);
      return true;
    case 2:
#if defined(__SSE2__)
      UndoUp(row, prior, length);
#else
      for (size_t i = 0; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
#endif
      return true;
    case 3:
      for (size_t i = 0; i < step; ++i) row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
      for (size_t i = step; i < length; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - step] + prior[i]) >> 1));
      }
      return true;
    case 4:
      if (bpp == 4) {
        UndoPaeth4(row, prior, length);
        return true;
      }
      for (size_t i = 0; i < step; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
      for (size_t i = step; i < length; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + Paeth(row[i - step], prior[i], prior[i - step]));
      }
      return true;
    default:
      return false;
  }
}

// One unfiltered row as blue, green, red, 0xFF. False when a palette index
// lies beyond the palette.
bool Expand(const uint8_t* row, uint8_t* out, int width, uint8_t colourType, const std::array<uint32_t, 256>& table,
            int tableSize) {
  auto* pixels = reinterpret_cast<uint32_t*>(out);
  const auto n = static_cast<size_t>(width);
  switch (colourType) {
    case kRgba: {
      size_t x = 0;
#if defined(__SSE2__)
      // Red and blue change places; the alpha becomes 0xFF.
      const __m128i green = _mm_set1_epi32(0x0000FF00);
      const __m128i low = _mm_set1_epi32(0x000000FF);
      const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
      for (; x + 4 <= n; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x));
        const __m128i swapped =
            _mm_or_si128(_mm_or_si128(_mm_and_si128(v, green), _mm_and_si128(_mm_srli_epi32(v, 16), low)),
                         _mm_or_si128(_mm_slli_epi32(_mm_and_si128(v, low), 16), opaque));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + x), swapped);
      }
#endif
      for (; x < n; ++x) {
        uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        pixels[x] = 0xFF000000u | (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
      }
      return true;
    }
    case kRgb:
      for (size_t x = 0; x < n; ++x) {
        const uint8_t* p = row + 3 * x;
        pixels[x] = 0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
      }
      return true;
    case kGreyAlpha:
      for (size_t x = 0; x < n; ++x) pixels[x] = table[row[2 * x]];
      return true;
    default: {
      uint8_t highest = 0;
      for (size_t x = 0; x < n; ++x) {
        highest = std::max(highest, row[x]);
        pixels[x] = table[row[x]];
      }
      return highest < tableSize;
    }
  }
}

// One chunk of the file: its type, its data and the data's length.
struct Chunk {
  const uint8_t* type;
  const uint8_t* body;
  uint32_t length;
};

// The chunk at `pos`, its checksum checked, and `pos` moved past it;
// nothing when the file ends before the chunk does (its length, type, data
// or checksum cut off, or a length beyond the file) or the checksum differs.
std::optional<Chunk> NextChunk(std::span<const uint8_t> file, size_t& pos) {
  if (pos > file.size() || file.size() - pos < 12) return std::nullopt;
  const uint32_t length = BigEndian(file.data() + pos);
  if (length > 0x7FFFFFFF || file.size() - pos - 12 < length) return std::nullopt;
  const uint8_t* type = file.data() + pos + 4;
  const uint8_t* body = type + 4;
  if (libdeflate_crc32(0, type, length + 4) != BigEndian(body + length)) return std::nullopt;
  pos += 12 + size_t{length};
  return Chunk{type, body, length};
}

}  // namespace

bool IsPngSignature(std::span<const uint8_t> file) {
  return file.size() >= 8 && std::memcmp(file.data(), kSignature, 8) == 0;
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
  for (size_t y = 0; y < height; ++y) {
    uint8_t* row = rows + y * (rowBytes + 1);
    if (!Unfilter(row[0], row + 1, prior, rowBytes, bpp)) return false;
    if (!Expand(row + 1, out.Row(static_cast<int>(y)), out.width, colourType, table, tableSize)) return false;
    prior = row + 1;
  }
  return true;
}
