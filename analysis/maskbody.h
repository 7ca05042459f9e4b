#pragma once

#include "analysis/pixelrule.h"
#include "framework/bitmap.h"

#include <cstdint>

// The body runs of a body mask, made again only when the mask's content
// changed. No mask has no body.
class MaskBody {
 public:
  const BodyRuns& Of(const Bitmap* mask) {
    const int64_t key = mask != nullptr ? mask->ContentKey() : 0;
    if (key != key_) {
      runs_ = mask != nullptr ? BodyRuns(mask->LockBitsForReading().data()) : BodyRuns();
      key_ = key;
    }
    return runs_;
  }
  // Takes runs made before from a mask of the same pixels as `mask`.
  void Adopt(const Bitmap* mask, const BodyRuns& runs) {
    runs_ = runs;
    key_ = mask != nullptr ? mask->ContentKey() : 0;
  }

 private:
  BodyRuns runs_;
  int64_t key_ = 0;
};
