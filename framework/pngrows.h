#pragma once

#include <cstddef>
#include <cstdint>

// The quick PNG path's work on one row at a time: undoing the row's filter,
// and turning its samples into 32-bit blue, green, red, 0xFF pixels. Each is
// done with the widest instruction set the processor has, chosen when the
// program runs; every set gives the same bytes as the plain C++ one.

// The instruction sets rows can be worked with, narrowest first.
enum class RowIsa { kScalar, kSse2, kSsse3, kAvx2 };

// Whether this build can work rows with the set on this processor.
bool RowIsaRuns(RowIsa isa);

// The widest set that runs here.
RowIsa WidestRowIsa();

// Undoes the filter of a row in place, and of the row after it too where
// the two together go quicker. `row` and `next` (null after the last row)
// are each a filter type byte followed by `length` bytes, one or more whole
// pixels of `bpp` bytes (1 to 8); `prior` is the row above, already undone
// (zeros above the first row). Returns how many rows were undone: none for
// a filter type PNG does not have, or a pixel size or length that is not
// as said.
int UnfilterPngRows(uint8_t* row, uint8_t* next, const uint8_t* prior, size_t length, int bpp,
                    RowIsa isa = WidestRowIsa());

// Writes `width` pixels of an undone row as blue, green, red, 0xFF to `out`.
// Four bytes a pixel are red, green, blue and an alpha that is dropped; three
// are red, green and blue; one (grey or palette) and two (grey with alpha)
// stand for the entry of `table` their first byte indexes. False when an
// index lies at or beyond `tableSize`, and for any other pixel size.
bool ExpandPngRow(const uint8_t* row, uint8_t* out, size_t width, int bpp, const uint32_t* table, int tableSize,
                  RowIsa isa = WidestRowIsa());
