#pragma once

#include <QString>

// The CS threshold setting: a text in the "Options" section, default "16",
// written as "%.2f" by the threshold dialog.
inline constexpr const char* kThresholdEntry = "CS Threshold";
inline constexpr const char* kThresholdDefault = "16";

// The threshold text as stored now, and its number. Every user reads it
// afresh when it needs it, so a change takes effect at once; a text without
// a number reads as 0.
QString ReadThresholdText();
double ReadThreshold();

// A drawing's ratio in percent: its selected pixels against the body's.
// Infinite or not a number when the body count is 0.
inline double Ratio(int selected, int bodyPixels) {
  return static_cast<double>(selected) * 100.0 / static_cast<double>(bodyPixels);
}
