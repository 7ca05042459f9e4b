// The row kernels in x86 vector instructions. pngrows.cpp includes this file
// once per instruction set, each time inside a namespace of its own, with
// VARENKO_ROWS_TARGET the function attribute that names the set and
// VARENKO_ROWS_LEVEL 1 (SSE2), 2 (SSSE3) or 3 (AVX2); hence no include guard,
// and no includes of its own.

#define VARENKO_ROWS_INLINE VARENKO_ROWS_TARGET __attribute__((always_inline)) inline

VARENKO_ROWS_INLINE __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

VARENKO_ROWS_INLINE void Store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// One pixel into the low bytes of a vector. Three-byte pixels are read as
// four bytes where `wide` says the byte after the pixel may be read.
template <int kBpp>
VARENKO_ROWS_INLINE __m128i LoadPixel(const uint8_t* p, bool wide) {
  uint32_t bits = 0;
  if (kBpp == 4 || wide) {
    std::memcpy(&bits, p, 4);
  } else {
    std::memcpy(&bits, p, 3);
  }
  return _mm_cvtsi32_si128(static_cast<int>(bits));
}

// The pixel in the low 16-bit lanes of a vector, back to bytes.
template <int kBpp>
VARENKO_ROWS_INLINE void StorePixel(uint8_t* p, __m128i wide) {
  const auto bits = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(wide, wide)));
  std::memcpy(p, &bits, kBpp);
}

// The low eight bytes of a vector in 16-bit lanes.
VARENKO_ROWS_INLINE __m128i Widen(__m128i v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }

// Up: the byte above added, a vector at a time.
VARENKO_ROWS_TARGET void UndoUp(uint8_t* row, const uint8_t* prior, size_t length) {
  size_t i = 0;
#if VARENKO_ROWS_LEVEL >= 3
  for (; i + 32 <= length; i += 32) {
    const __m256i sum = _mm256_add_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i)),
                                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prior + i)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + i), sum);
  }
#endif
  for (; i + 16 <= length; i += 16) Store16(row + i, _mm_add_epi8(Load16(row + i), Load16(prior + i)));
  for (; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

// The last pixel of a vector, its bytes 16 - kBpp to 15, repeated over the
// whole vector so that byte k holds the byte of the same colour before it.
template <int kBpp>
VARENKO_ROWS_INLINE __m128i RepeatLast(__m128i v) {
#if VARENKO_ROWS_LEVEL >= 2
  constexpr auto at = [](int k) { return static_cast<char>(16 - kBpp + k % kBpp); };
  return _mm_shuffle_epi8(v, _mm_setr_epi8(at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), at(9), at(10),
                                           at(11), at(12), at(13), at(14), at(15)));
#else
  if constexpr (kBpp == 4) {
    return _mm_shuffle_epi32(v, 0xFF);
  } else if constexpr (kBpp == 2) {
    return _mm_shuffle_epi32(_mm_shufflehi_epi16(v, 0xFF), 0xFF);
  } else if constexpr (kBpp == 1) {
    return _mm_shuffle_epi32(_mm_shufflehi_epi16(_mm_unpackhi_epi8(v, v), 0xFF), 0xFF);
  } else {
    __m128i last = _mm_srli_si128(v, 16 - kBpp);
    last = _mm_or_si128(last, _mm_slli_si128(last, kBpp));
    last = _mm_or_si128(last, _mm_slli_si128(last, 2 * kBpp));
    return _mm_or_si128(last, _mm_slli_si128(last, 4 * kBpp));
  }
#endif
}

// Sub: a running sum over the pixels, sixteen bytes at a time. Within a
// vector each byte gathers the bytes of its colour before it in a few
// shifted additions; the last pixel of the vector before is added last.
template <int kBpp>
VARENKO_ROWS_TARGET void UndoSub(uint8_t* row, size_t length) {
  __m128i carry = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    __m128i x = Load16(row + i);
    x = _mm_add_epi8(x, _mm_slli_si128(x, kBpp));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 2 * kBpp));
    if constexpr (4 * kBpp < 16) x = _mm_add_epi8(x, _mm_slli_si128(x, 4 * kBpp));
    if constexpr (8 * kBpp < 16) x = _mm_add_epi8(x, _mm_slli_si128(x, 8 * kBpp));
    x = _mm_add_epi8(x, carry);
    Store16(row + i, x);
    carry = RepeatLast<kBpp>(x);
  }
  for (i = std::max<size_t>(i, kBpp); i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - kBpp]);
}

// Average with three or four bytes a pixel, a pixel at a time with the
// pixel to the left kept in a register.
template <int kBpp>
VARENKO_ROWS_TARGET void UndoAverage(uint8_t* row, const uint8_t* prior, size_t length) {
  const __m128i one = _mm_set1_epi8(1);
  __m128i a = _mm_setzero_si128();
  for (size_t i = 0; i < length; i += kBpp) {
    const bool wide = i + 4 <= length;
    const __m128i b = LoadPixel<kBpp>(prior + i, wide);
    // The mean rounded down: the mean rounded up, less one where the sum is
    // odd.
    const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
    a = _mm_add_epi8(LoadPixel<kBpp>(row + i, wide), mean);
    const auto bits = static_cast<uint32_t>(_mm_cvtsi128_si32(a));
    std::memcpy(row + i, &bits, kBpp);
  }
}

// Absolute values of 16-bit lanes.
VARENKO_ROWS_INLINE __m128i Abs16(__m128i v) {
#if VARENKO_ROWS_LEVEL >= 2
  return _mm_abs_epi16(v);
#else
  return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
#endif
}

// The lanes of `yes` where `mask` is set, of `no` elsewhere.
VARENKO_ROWS_INLINE __m128i Select(__m128i mask, __m128i yes, __m128i no) {
#if VARENKO_ROWS_LEVEL >= 3
  return _mm_blendv_epi8(no, yes, mask);
#else
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
#endif
}

// One pixel undone by Paeth, every value in 16-bit lanes: `x` the filtered
// bytes, `a`, `b`, `c` the undone pixels left, above and above left. Of the
// three, the nearest to a + b - c predicts, a before b before c on ties.
VARENKO_ROWS_INLINE __m128i PaethPixel(__m128i x, __m128i a, __m128i b, __m128i c) {
  const __m128i above = _mm_sub_epi16(b, c);
  const __m128i left = _mm_sub_epi16(a, c);
  const __m128i pa = Abs16(above);
  const __m128i pb = Abs16(left);
  const __m128i pc = Abs16(_mm_add_epi16(above, left));
  const __m128i notA = _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc));
  const __m128i predicted = Select(notA, Select(_mm_cmpgt_epi16(pb, pc), c, b), a);
  // Bytes added in 16-bit lanes: the high bytes stay zero.
  return _mm_add_epi8(x, predicted);
}

// Whether the row above is one colour across each of the four pixels from
// byte `i` and the pixel before: the pixel to the left then predicts
// throughout. Reads sixteen bytes from `i - kBpp`, and from `i`.
template <int kBpp>
VARENKO_ROWS_INLINE bool Flat(const uint8_t* prior, size_t i) {
  constexpr int kGroup = (1 << (4 * kBpp)) - 1;
  return (_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(prior + i), Load16(prior + i - kBpp))) & kGroup) == kGroup;
}

// Paeth with three or four bytes a pixel, over the bytes of a row from
// `from` (past its first pixel) to `to`, the pixels before already undone:
// a pixel at a time, the pixel to the left kept in a register, and four at
// a time where the row above is flat.
template <int kBpp>
VARENKO_ROWS_TARGET void UndoPaethRun(uint8_t* row, const uint8_t* prior, size_t from, size_t to, size_t length) {
  if (from >= to) return;
  __m128i a = Widen(LoadPixel<kBpp>(row + from - kBpp, true));
  __m128i c = Widen(LoadPixel<kBpp>(prior + from - kBpp, true));
  size_t i = from;
  for (; i + 4 * kBpp <= to && i + 16 <= length; i += 4 * kBpp) {
    if (Flat<kBpp>(prior, i)) {
      for (size_t at = i; at < i + 4 * kBpp; at += kBpp) {
        a = _mm_add_epi8(Widen(LoadPixel<kBpp>(row + at, true)), a);
        StorePixel<kBpp>(row + at, a);
      }
      c = Widen(LoadPixel<kBpp>(prior + i + 3 * kBpp, true));
      continue;
    }
    for (size_t at = i; at < i + 4 * kBpp; at += kBpp) {
      const __m128i b = Widen(LoadPixel<kBpp>(prior + at, true));
      a = PaethPixel(Widen(LoadPixel<kBpp>(row + at, true)), a, b, c);
      StorePixel<kBpp>(row + at, a);
      c = b;
    }
  }
  for (; i < to; i += kBpp) {
    const bool wide = i + 4 <= length;
    const __m128i b = Widen(LoadPixel<kBpp>(prior + i, wide));
    a = PaethPixel(Widen(LoadPixel<kBpp>(row + i, wide)), a, b, c);
    StorePixel<kBpp>(row + i, a);
    c = b;
  }
}

// The first pixel of a Paeth row has nothing to its left: the pixel above
// predicts.
template <int kBpp>
VARENKO_ROWS_INLINE void UndoPaethFirst(uint8_t* row, const uint8_t* prior) {
  for (int k = 0; k < kBpp; ++k) row[k] = static_cast<uint8_t>(row[k] + prior[k]);
}

template <int kBpp>
VARENKO_ROWS_TARGET void UndoPaeth(uint8_t* row, const uint8_t* prior, size_t length) {
  UndoPaethFirst<kBpp>(row, prior);
  UndoPaethRun<kBpp>(row, prior, kBpp, length, length);
}

// One step of two rows at once: the first row's pixel `x0` with `b0`
// above it in the low half, the second row's `x1` in the high half, whose
// pixel above is the one the last step undid in the low half. Returns the
// two pixels as bytes, the first row's in the low four.
VARENKO_ROWS_INLINE __m128i PaethPairStep(__m128i& a, __m128i& c, __m128i x0, __m128i b0, __m128i x1) {
  const __m128i b = _mm_unpacklo_epi64(b0, a);
  a = PaethPixel(_mm_unpacklo_epi64(x0, x1), a, b, c);
  c = b;
  return _mm_packus_epi16(a, a);
}

template <int kBpp>
VARENKO_ROWS_INLINE void StorePairStep(uint8_t* first, uint8_t* second, __m128i bytes) {
  const auto low = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
  const auto high = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 4)));
  std::memcpy(first, &low, kBpp);
  std::memcpy(second, &high, kBpp);
}

// Paeth on two rows at once over the same stretch of bytes, `from` (past
// the first pixel) to `to`: the first row's pixels in the low half of a
// vector, the second row's a pixel behind in the high half, so that the
// pixel just undone in the first row is the one above the next in the
// second. The two rows' steps, each waiting on the one before, overlap.
template <int kBpp>
VARENKO_ROWS_TARGET void UndoPaethPairRun(uint8_t* row, uint8_t* next, const uint8_t* prior, size_t from, size_t to,
                                          size_t length) {
  // The first row's first pixel of the stretch alone, in the low half.
  const __m128i left = Widen(LoadPixel<kBpp>(row + from - kBpp, true));
  const __m128i above = Widen(LoadPixel<kBpp>(prior + from, from + 4 <= length));
  const __m128i first = PaethPixel(Widen(LoadPixel<kBpp>(row + from, from + 4 <= length)), left, above,
                                   Widen(LoadPixel<kBpp>(prior + from - kBpp, true)));
  StorePixel<kBpp>(row + from, first);
  // Then each step the first row's pixel at `i` and the second's before it:
  // with four bytes read a pixel while there are four, and past the stretch
  // with nothing of the first row, to finish the second row's last pixel.
  __m128i a = _mm_unpacklo_epi64(first, Widen(LoadPixel<kBpp>(next + from - kBpp, true)));
  __m128i c = _mm_unpacklo_epi64(above, left);
  size_t i = from + kBpp;
  for (; i < to && i + 4 <= length; i += kBpp) {
    const __m128i x1 = Widen(LoadPixel<kBpp>(next + i - kBpp, true));
    const __m128i bytes =
        PaethPairStep(a, c, Widen(LoadPixel<kBpp>(row + i, true)), Widen(LoadPixel<kBpp>(prior + i, true)), x1);
    StorePairStep<kBpp>(row + i, next + i - kBpp, bytes);
  }
  for (; i < to; i += kBpp) {
    const __m128i x1 = Widen(LoadPixel<kBpp>(next + i - kBpp, true));
    const __m128i bytes =
        PaethPairStep(a, c, Widen(LoadPixel<kBpp>(row + i, false)), Widen(LoadPixel<kBpp>(prior + i, false)), x1);
    StorePairStep<kBpp>(row + i, next + i - kBpp, bytes);
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i bytes =
      PaethPairStep(a, c, zero, zero, Widen(LoadPixel<kBpp>(next + i - kBpp, i + 4 - kBpp <= length)));
  const auto bits = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 4)));
  std::memcpy(next + i - kBpp, &bits, kBpp);
}

// Paeth on a row and the row below it, stretch by stretch: two at once
// where the row above is mostly not flat, one after the other (with the
// short cut over flat page) where it is.
template <int kBpp>
VARENKO_ROWS_TARGET void UndoPaethPair(uint8_t* row, uint8_t* next, const uint8_t* prior, size_t length) {
  UndoPaethFirst<kBpp>(row, prior);
  UndoPaethFirst<kBpp>(next, row);
  constexpr size_t kStretch = 64 * kBpp;
  for (size_t from = kBpp; from < length; from += kStretch) {
    const size_t to = std::min(length, from + kStretch);
    int flat = 0;
    int groups = 0;
    for (size_t i = from; i + 4 * kBpp <= to && i + 16 <= length; i += 4 * kBpp, ++groups) flat += Flat<kBpp>(prior, i);
    if (2 * flat > groups) {
      UndoPaethRun<kBpp>(row, prior, from, to, length);
      UndoPaethRun<kBpp>(next, row, from, to, length);
    } else {
      UndoPaethPairRun<kBpp>(row, next, prior, from, to, length);
    }
  }
}

VARENKO_ROWS_TARGET bool UnfilterOne(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t length, int bpp) {
  switch (filter) {
    case 1:
      switch (bpp) {
        case 1:
          UndoSub<1>(row, length);
          return true;
        case 2:
          UndoSub<2>(row, length);
          return true;
        case 3:
          UndoSub<3>(row, length);
          return true;
        case 4:
          UndoSub<4>(row, length);
          return true;
        default:
          break;
      }
      break;
    case 2:
      UndoUp(row, prior, length);
      return true;
    case 3:
      if (bpp == 3) {
        UndoAverage<3>(row, prior, length);
        return true;
      }
      if (bpp == 4) {
        UndoAverage<4>(row, prior, length);
        return true;
      }
      break;
    case 4:
      if (bpp == 3) {
        UndoPaeth<3>(row, prior, length);
        return true;
      }
      if (bpp == 4) {
        UndoPaeth<4>(row, prior, length);
        return true;
      }
      break;
    default:
      break;
  }
  // No filter, an unknown one, Average and Paeth on one or two bytes a pixel
  // (grey and palette drawings), and Sub, Average and Paeth on more than
  // four.
  return scalar::Unfilter(filter, row, prior, length, bpp);
}

VARENKO_ROWS_TARGET int Unfilter(uint8_t* row, uint8_t* next, const uint8_t* prior, size_t length, int bpp) {
  if (next != nullptr && row[0] == 4 && next[0] == 4) {
    if (bpp == 3) {
      UndoPaethPair<3>(row + 1, next + 1, prior, length);
      return 2;
    }
    if (bpp == 4) {
      UndoPaethPair<4>(row + 1, next + 1, prior, length);
      return 2;
    }
  }
  return UnfilterOne(row[0], row + 1, prior, length, bpp) ? 1 : 0;
}

#if VARENKO_ROWS_LEVEL >= 2
// Byte shuffles from a vector's RGBA or RGB pixels (twelve bytes for four)
// to blue, green, red and a byte to be set to 0xFF.
VARENKO_ROWS_INLINE __m128i RgbaOrder() {
  return _mm_setr_epi8(2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1);
}
VARENKO_ROWS_INLINE __m128i RgbOrder() { return _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1); }

VARENKO_ROWS_INLINE __m128i Bgrx(__m128i v, __m128i order) {
  return _mm_or_si128(_mm_shuffle_epi8(v, order), _mm_set1_epi32(static_cast<int>(0xFF000000u)));
}
#else
// Red and blue swapped in every 32-bit lane, and the fourth byte 0xFF.
VARENKO_ROWS_INLINE __m128i Bgrx(__m128i v) {
  const __m128i low = _mm_set1_epi32(0x000000FF);
  return _mm_or_si128(
      _mm_or_si128(_mm_and_si128(v, _mm_set1_epi32(0x0000FF00)), _mm_and_si128(_mm_srli_epi32(v, 16), low)),
      _mm_or_si128(_mm_slli_epi32(_mm_and_si128(v, low), 16), _mm_set1_epi32(static_cast<int>(0xFF000000u))));
}
#endif

#if VARENKO_ROWS_LEVEL >= 3
// The same over eight pixels, the byte shuffle working within each half.
VARENKO_ROWS_INLINE __m256i Bgrx(__m256i v, __m128i order) {
  return _mm256_or_si256(_mm256_shuffle_epi8(v, _mm256_broadcastsi128_si256(order)),
                         _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
}
#endif

// The first pixels of an RGBA row that whole vectors take; returns how many.
VARENKO_ROWS_TARGET size_t ExpandRgba(const uint8_t* row, uint8_t* out, size_t width) {
  size_t x = 0;
#if VARENKO_ROWS_LEVEL >= 3
  for (; x + 8 <= width; x += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), Bgrx(v, RgbaOrder()));
  }
#endif
  for (; x + 4 <= width; x += 4) {
#if VARENKO_ROWS_LEVEL >= 2
    Store16(out + 4 * x, Bgrx(Load16(row + 4 * x), RgbaOrder()));
#else
    Store16(out + 4 * x, Bgrx(Load16(row + 4 * x)));
#endif
  }
  return x;
}

// The first pixels of an RGB row that whole vectors take; returns how many.
// Each vector's load reaches four bytes past the pixels it takes.
VARENKO_ROWS_TARGET size_t ExpandRgb(const uint8_t* row, uint8_t* out, size_t width) {
  size_t x = 0;
#if VARENKO_ROWS_LEVEL >= 3
  // Twelve bytes into each half: the first half's four pixels, and the
  // second's from twelve bytes on.
  const __m256i halves = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
  for (; 3 * x + 32 <= 3 * width; x += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 3 * x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x),
                        Bgrx(_mm256_permutevar8x32_epi32(v, halves), RgbOrder()));
  }
#endif
  for (; 3 * x + 16 <= 3 * width; x += 4) {
#if VARENKO_ROWS_LEVEL >= 2
    Store16(out + 4 * x, Bgrx(Load16(row + 3 * x), RgbOrder()));
#else
    // Each pixel moved up to its own four bytes, then ordered as RGBA is.
    const __m128i v = Load16(row + 3 * x);
    const __m128i pixel = _mm_setr_epi32(0x00FFFFFF, 0, 0, 0);
    const __m128i spread = _mm_or_si128(
        _mm_or_si128(_mm_and_si128(v, pixel), _mm_and_si128(_mm_slli_si128(v, 1), _mm_slli_si128(pixel, 4))),
        _mm_or_si128(_mm_and_si128(_mm_slli_si128(v, 2), _mm_slli_si128(pixel, 8)),
                     _mm_and_si128(_mm_slli_si128(v, 3), _mm_slli_si128(pixel, 12))));
    Store16(out + 4 * x, Bgrx(spread));
#endif
  }
  return x;
}

#undef VARENKO_ROWS_INLINE
