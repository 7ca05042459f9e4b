#pragma once

// The CS threshold setting: a text in the "Options" section, default "16",
// written as "%.2f" by the threshold dialog.
inline constexpr const char* kThresholdEntry = "CS Threshold";
inline constexpr const char* kThresholdDefault = "16";

// The threshold as stored now. Every user reads it afresh when it needs it,
// so a change takes effect at once; a text without a number reads as 0.
double ReadThreshold();
