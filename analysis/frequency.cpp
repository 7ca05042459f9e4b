#include "analysis/frequency.h"

#include <algorithm>

FrequencyCounts::FrequencyCounts(const BodyRuns& body)
    : body_(body),
      size_(static_cast<size_t>(body.BodyPixels())),
      cs_(std::make_unique_for_overwrite<uint32_t[]>(size_)),
      nonCs_(std::make_unique_for_overwrite<uint32_t[]>(size_)) {}

void FrequencyCounts::Begin() {
  if (begun_) return;
  std::fill_n(cs_.get(), size_, 0u);
  std::fill_n(nonCs_.get(), size_, 0u);
  begun_ = true;
}

void FrequencyCounts::Add(const BitmapData& processed, bool cs) {
  if (!processed.IsValid() || processed.width != body_.width() || processed.height != body_.height()) return;
  Begin();
  uint32_t* byClass = cs ? cs_.get() : nonCs_.get();
  size_t index = 0;
  for (int y = 0; y < processed.height; ++y) {
    const uint8_t* row = processed.Row(y);
    for (const BodyRuns::Run* run = body_.RowBegin(y); run != body_.RowEnd(y); ++run) {
      for (int x = run->begin; x < run->end; ++x, ++index) {
        const uint8_t* p = row + 4 * x;
        if (p[kBlue] == p[kGreen] && p[kGreen] == p[kRed]) continue;
        ++byClass[index];
      }
    }
  }
}

void FrequencyCounts::Merge(const FrequencyCounts& other) {
  if (other.size_ != size_ || !other.begun_) return;
  Begin();
  for (size_t i = 0; i < size_; ++i) {
    cs_[i] += other.cs_[i];
    nonCs_[i] += other.nonCs_[i];
  }
}

uint32_t FrequencyCounts::Max(const uint32_t* counts) const {
  return begun_ && size_ != 0 ? *std::max_element(counts, counts + size_) : 0;
}

uint32_t FrequencyCounts::MaxAll() const {
  uint32_t highest = 0;
  for (size_t i = 0; begun_ && i < size_; ++i) highest = std::max(highest, cs_[i] + nonCs_[i]);
  return highest;
}

void FrequencyCounts::ColourMap(const BitmapData& map) const {
  if (!begun_ || !map.IsValid() || map.width != body_.width() || map.height != body_.height()) return;
  const uint32_t m = MaxAll();
  size_t index = 0;
  for (int y = 0; y < map.height; ++y) {
    uint8_t* row = map.Row(y);
    for (const BodyRuns::Run* run = body_.RowBegin(y); run != body_.RowEnd(y); ++run) {
      for (int x = run->begin; x < run->end; ++x, ++index) {
        const uint32_t c = cs_[index] + nonCs_[index];
        if (c == 0) continue;
        const uint8_t level = static_cast<uint8_t>(255 - FrequencyLevel(c, m));
        uint8_t* p = row + 4 * x;
        p[kBlue] = level;
        p[kGreen] = level;
        p[kRed] = 255;
      }
    }
  }
}

int FrequencyLevel(uint32_t c, uint32_t m) {
  return static_cast<int>(static_cast<double>(c) / static_cast<double>(m) * 239.0 + 16.0 + 0.5);
}
