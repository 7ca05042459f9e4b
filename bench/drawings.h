#pragma once

#include <QString>

// The kinds of drawing the benchmarks read, all of the chart's size and made
// the same every time.
enum class DrawingKind {
  kLight,     // the sample drawings as committed: RGBA, 60 to 110 KB
  kHeavy,     // broad anti-aliased strokes in many colours over much of the body: RGBA, about 1 MB
  kLightRgb,  // the sample drawings as a scanner saves them: RGB, faint grey noise over the page
  kHeavyRgb,  // the heavy strokes scanned: RGB, grey noise over the whole page, a few MB
};

// A folder of n drawings of a kind, made once per kind and size: in a
// temporary folder, or under $VARENKO_BENCH_DIR when it is set, where it
// stays for other programs to read (bench/peer.sh). Its name is the kind's
// (light, heavy, light_rgb, heavy_rgb), an underscore and n.
const QString& Folder(int n, DrawingKind kind = DrawingKind::kLight);
