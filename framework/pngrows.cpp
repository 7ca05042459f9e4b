#include "framework/pngrows.h"

#include <algorithm>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VARENKO_ROWS_X86 1
#include <immintrin.h>
#endif

namespace {

namespace scalar {

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

void UndoSub(uint8_t* row, size_t length, size_t step) {
  for (size_t i = step; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - step]);
}

void UndoUp(uint8_t* __restrict row, const uint8_t* __restrict prior, size_t length) {
  for (size_t i = 0; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

void UndoAverage(uint8_t* __restrict row, const uint8_t* __restrict prior, size_t length, size_t step) {
  for (size_t i = 0; i < step; ++i) row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
  for (size_t i = step; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + ((row[i - step] + prior[i]) >> 1));
}

void UndoPaeth(uint8_t* __restrict row, const uint8_t* __restrict prior, size_t length, size_t step) {
  if (step == 4) return UndoPaeth4(row, prior, length);
  for (size_t i = 0; i < step; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
  for (size_t i = step; i < length; ++i) {
    row[i] = static_cast<uint8_t>(row[i] + Paeth(row[i - step], prior[i], prior[i - step]));
  }
}

bool Unfilter(uint8_t filter, uint8_t* __restrict row, const uint8_t* __restrict prior, size_t length, int bpp) {
  const auto step = static_cast<size_t>(bpp);
  switch (filter) {
    case 0:
      return true;
    case 1:
      UndoSub(row, length, step);
      return true;
    case 2:
      UndoUp(row, prior, length);
      return true;
    case 3:
      UndoAverage(row, prior, length, step);
      return true;
    case 4:
      UndoPaeth(row, prior, length, step);
      return true;
    default:
      return false;
  }
}

void ExpandRgba(const uint8_t* row, uint8_t* out, size_t from, size_t width) {
  for (size_t x = from; x < width; ++x) {
    uint32_t v;
    std::memcpy(&v, row + 4 * x, 4);
    v = 0xFF000000u | (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
    std::memcpy(out + 4 * x, &v, 4);
  }
}

void ExpandRgb(const uint8_t* row, uint8_t* out, size_t from, size_t width) {
  for (size_t x = from; x < width; ++x) {
    const uint8_t* p = row + 3 * x;
    const uint32_t v = 0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    std::memcpy(out + 4 * x, &v, 4);
  }
}

// Grey, grey with alpha and palette rows: the first byte of each pixel
// indexes the table.
bool ExpandIndexed(const uint8_t* row, uint8_t* out, size_t width, size_t step, const uint32_t* table, int tableSize) {
  auto* pixels = reinterpret_cast<uint32_t*>(out);
  uint8_t highest = 0;
  for (size_t x = 0; x < width; ++x) {
    highest = std::max(highest, row[step * x]);
    pixels[x] = table[row[step * x]];
  }
  return highest < tableSize;
}

}  // namespace scalar

#if defined(VARENKO_ROWS_X86)

// The kernels for each instruction set: one source, compiled once per set.
namespace sse2 {
#define VARENKO_ROWS_TARGET __attribute__((target("sse2")))
#define VARENKO_ROWS_LEVEL 1
#include "framework/pngrows_x86.h"
#undef VARENKO_ROWS_TARGET
#undef VARENKO_ROWS_LEVEL
}  // namespace sse2

namespace ssse3 {
#define VARENKO_ROWS_TARGET __attribute__((target("ssse3")))
#define VARENKO_ROWS_LEVEL 2
#include "framework/pngrows_x86.h"
#undef VARENKO_ROWS_TARGET
#undef VARENKO_ROWS_LEVEL
}  // namespace ssse3

namespace avx2 {
#define VARENKO_ROWS_TARGET __attribute__((target("avx2")))
#define VARENKO_ROWS_LEVEL 3
#include "framework/pngrows_x86.h"
#undef VARENKO_ROWS_TARGET
#undef VARENKO_ROWS_LEVEL
}  // namespace avx2

#endif

RowIsa FindWidest() {
  for (const RowIsa isa : {RowIsa::kAvx2, RowIsa::kSsse3, RowIsa::kSse2}) {
    if (RowIsaRuns(isa)) return isa;
  }
  return RowIsa::kScalar;
}

}  // namespace

bool RowIsaRuns(RowIsa isa) {
#if defined(VARENKO_ROWS_X86)
  __builtin_cpu_init();
  switch (isa) {
    case RowIsa::kScalar:
      return true;
    case RowIsa::kSse2:
      return __builtin_cpu_supports("sse2");
    case RowIsa::kSsse3:
      return __builtin_cpu_supports("ssse3");
    case RowIsa::kAvx2:
      return __builtin_cpu_supports("avx2");
  }
  return false;
#else
  return isa == RowIsa::kScalar;
#endif
}

RowIsa WidestRowIsa() {
  static const RowIsa widest = FindWidest();
  return widest;
}

int UnfilterPngRows(uint8_t* row, [[maybe_unused]] uint8_t* next, const uint8_t* prior, size_t length, int bpp,
                    RowIsa isa) {
  if (bpp < 1 || bpp > 8 || length == 0 || length % static_cast<size_t>(bpp) != 0) return 0;
  switch (isa) {
#if defined(VARENKO_ROWS_X86)
    case RowIsa::kSse2:
      return sse2::Unfilter(row, next, prior, length, bpp);
    case RowIsa::kSsse3:
      return ssse3::Unfilter(row, next, prior, length, bpp);
    case RowIsa::kAvx2:
      return avx2::Unfilter(row, next, prior, length, bpp);
#endif
    default:
      return scalar::Unfilter(row[0], row + 1, prior, length, bpp) ? 1 : 0;
  }
}

bool ExpandPngRow(const uint8_t* row, uint8_t* out, size_t width, int bpp, const uint32_t* table, int tableSize,
                  RowIsa isa) {
  if (bpp < 1 || bpp > 4) return false;
  if (bpp < 3) return scalar::ExpandIndexed(row, out, width, static_cast<size_t>(bpp), table, tableSize);
  // The wider sets do the pixels they can in whole vectors and leave the
  // last few to the plain loop.
  size_t done = 0;
  switch (isa) {
#if defined(VARENKO_ROWS_X86)
    case RowIsa::kSse2:
      done = bpp == 4 ? sse2::ExpandRgba(row, out, width) : sse2::ExpandRgb(row, out, width);
      break;
    case RowIsa::kSsse3:
      done = bpp == 4 ? ssse3::ExpandRgba(row, out, width) : ssse3::ExpandRgb(row, out, width);
      break;
    case RowIsa::kAvx2:
      done = bpp == 4 ? avx2::ExpandRgba(row, out, width) : avx2::ExpandRgb(row, out, width);
      break;
#endif
    default:
      break;
  }
  if (bpp == 4) {
    scalar::ExpandRgba(row, out, done, width);
  } else {
    scalar::ExpandRgb(row, out, done, width);
  }
  return true;
}
