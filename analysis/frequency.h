#pragma once

#include "analysis/pixelrule.h"
#include "framework/bitmapdata.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// How many drawings of a folder selected each body pixel: over all
// drawings, over those at or above the CS threshold and over the others.
// Only body pixels can be selected, so the counts are kept per body pixel,
// in row order. The counters are 32 bits wide: no folder is too large for
// them. Every drawing is either CS or not, so the count over all drawings is
// the sum of the two and is not kept apart.
class FrequencyCounts {
 public:
  // Takes the memory for the counts without touching it: they are set to 0
  // when the first drawing is added, on the thread that adds it.
  explicit FrequencyCounts(const BodyRuns& body);

  // Adds one processed drawing: every selected pixel (a body pixel that is
  // not grey; the pixel rule keeps selected pixels non-grey) counts once in
  // the all counts and once in the CS or the non-CS counts.
  void Add(const BitmapData& processed, bool cs);
  // Adds another set of counts over the same body.
  void Merge(const FrequencyCounts& other);

  // The highest count of each kind; 0 when nothing was selected.
  uint32_t MaxAll() const;
  uint32_t MaxCs() const { return Max(cs_.get()); }
  uint32_t MaxNonCs() const { return Max(nonCs_.get()); }

  // Colours the frequency map: every body pixel that some drawing selected
  // gets the frequency colour of its count; the others keep their colour.
  void ColourMap(const BitmapData& map) const;

 private:
  // Sets every count to 0 before the counts are first written.
  void Begin();
  uint32_t Max(const uint32_t* counts) const;

  const BodyRuns& body_;
  size_t size_;
  std::unique_ptr<uint32_t[]> cs_;
  std::unique_ptr<uint32_t[]> nonCs_;
  bool begun_ = false;
};

// The frequency colour of a pixel that c of the drawings selected, the
// highest count being m (1 <= c <= m): red 255, green and blue 255 - v with
// v = (int)(c / m * 239 + 16 + 0.5), from a pale pink (v 16) to full red
// (v 255).
int FrequencyLevel(uint32_t c, uint32_t m);
