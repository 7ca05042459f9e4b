#pragma once

#include "analysis/pixelrule.h"
#include "framework/bitmapdata.h"

#include <cstdint>

// The colour of a body pixel that the smart selected area fills: dark green.
inline constexpr uint8_t kSmartAreaBlue = 0x00;
inline constexpr uint8_t kSmartAreaGreen = 0x80;
inline constexpr uint8_t kSmartAreaRed = 0x00;

// Counts an outlined area as if it were shaded: every marked (not grey)
// pixel of the drawing, inside the body or not, shapes one region; every
// pixel that the marks enclose joins it; then every body pixel of the region
// is painted dark green, keeping its fourth byte, so the pixel rule that
// follows counts it as marked. Marks outside the body and all pixels outside
// the body keep their colours. A drawing without marks, or whose marks give
// fewer than five outline pixels, is left as it is: an empty region covers
// nothing. A drawing whose size differs from the body's is left alone.
//
// Pure: it touches only the drawing's pixels, so drawings may be filled on
// separate threads with one shared BodyRuns.
void FillSmartArea(const BitmapData& drawing, const BodyRuns& body);
void FillSmartArea(const BitmapData& drawing, const BitmapData& bodyMask);
