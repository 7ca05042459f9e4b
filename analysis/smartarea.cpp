#include "analysis/smartarea.h"

#include "analysis/region.h"

#include <bit>
#include <cstring>
#include <vector>

static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

namespace {

// 255 for each marked (not grey) pixel of the drawing, 0 for the others,
// row by row from the top.
void MarkPixels(const BitmapData& drawing, std::vector<uint8_t>& marks) {
  const size_t width = static_cast<size_t>(drawing.width);
  marks.resize(width * static_cast<size_t>(drawing.height));
  for (int y = 0; y < drawing.height; ++y) {
    const uint8_t* pixel = drawing.Row(y);
    uint8_t* out = marks.data() + static_cast<size_t>(y) * width;
    for (size_t x = 0; x < width; ++x, pixel += 4) {
      // Grey when blue equals green and green equals red: the low two bytes
      // of the pixel XOR-ed with itself shifted by one byte are zero.
      uint32_t v;
      std::memcpy(&v, pixel, 4);
      out[x] = ((v ^ (v >> 8)) & 0xFFFFu) == 0 ? kRegionOutside : kRegionInside;
    }
  }
}

}  // namespace

SmartAreaScratch::SmartAreaScratch() : region_(std::make_unique<MCRegion>()), outline_(std::make_unique<MCRegion>()) {
  region_->KeepSnapshots(false);
  outline_->KeepSnapshots(false);
}

SmartAreaScratch::~SmartAreaScratch() = default;

void FillSmartArea(const BitmapData& drawing, const BodyRuns& body) {
  SmartAreaScratch scratch;
  FillSmartArea(drawing, body, scratch);
}

void FillSmartArea(const BitmapData& drawing, const BodyRuns& body, SmartAreaScratch& scratch) {
  if (!drawing.IsValid() || drawing.width != body.width() || drawing.height != body.height()) return;
  MCRegion& region = *scratch.region_;
  region.m_nWidth = drawing.width;
  region.m_nHeight = drawing.height;
  MarkPixels(drawing, scratch.marks_);
  // The region takes the marks as its mask and leaves its earlier mask's
  // memory for the next drawing's marks.
  region.SetFromMask(std::move(scratch.marks_));
  if (region.m_nPoints != 0) {
    // The rebuild reads only its source's points (and may clamp them), so
    // the source holds a copy of the points alone rather than of the whole
    // region with its mask.
    MCRegion& outline = *scratch.outline_;
    outline.m_pPoints = region.m_pPoints;
    outline.m_nPoints = region.m_nPoints;
    region.SetFromOutline(&outline);
  }
  // No mask: no mark, too short an outline or no area. Nothing is filled.
  if (!region.HasMask()) return;

  const size_t width = static_cast<size_t>(region.m_nWidth);
  for (int y = 0; y < drawing.height; ++y) {
    uint8_t* line = drawing.Row(y);
    const uint8_t* inRegion = region.m_pMask.data() + static_cast<size_t>(y) * width;
    for (const BodyRuns::Run* run = body.RowBegin(y); run != body.RowEnd(y); ++run) {
      for (int x = run->begin; x < run->end; ++x) {
        if (inRegion[x] != kRegionInside && inRegion[x] != kRegionOutline) continue;
        uint8_t* p = line + 4 * static_cast<size_t>(x);
        p[kBlue] = kSmartAreaBlue;
        p[kGreen] = kSmartAreaGreen;
        p[kRed] = kSmartAreaRed;
      }
    }
  }
}

void FillSmartArea(const BitmapData& drawing, const BitmapData& bodyMask) {
  if (!drawing.IsValid() || !bodyMask.IsValid()) return;
  if (drawing.width != bodyMask.width || drawing.height != bodyMask.height) return;
  FillSmartArea(drawing, BodyRuns(bodyMask));
}
