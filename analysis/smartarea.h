#pragma once

#include "analysis/pixelrule.h"
#include "framework/bitmapdata.h"

#include <cstdint>
#include <memory>
#include <vector>

class MCRegion;

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

// The memory a filling works in, kept from one drawing to the next so that
// a run of many drawings makes no full-size allocation for each: one per
// thread.
class SmartAreaScratch {
 public:
  SmartAreaScratch();
  ~SmartAreaScratch();
  SmartAreaScratch(const SmartAreaScratch&) = delete;
  SmartAreaScratch& operator=(const SmartAreaScratch&) = delete;

 private:
  friend void FillSmartArea(const BitmapData&, const BodyRuns&, SmartAreaScratch&);
  std::unique_ptr<MCRegion> region_;
  std::unique_ptr<MCRegion> outline_;
  std::vector<uint8_t> marks_;
};
void FillSmartArea(const BitmapData& drawing, const BodyRuns& body, SmartAreaScratch& scratch);
void FillSmartArea(const BitmapData& drawing, const BitmapData& bodyMask);
