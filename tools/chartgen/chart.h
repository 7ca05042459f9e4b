#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

// The chart page: A4 landscape at 300 dpi, the front view in the left half and
// the back view in the right half.
inline constexpr int kPageWidth = 3508;
inline constexpr int kPageHeight = 2480;
// Pixels inside the two figures, lines excluded. Every ratio the program shows
// is divided by this number, so the mask must hold exactly this many.
inline constexpr int64_t kBodyPixels = 1517036;
inline constexpr int kLineWidth = 5;
inline constexpr int kLineGrey = 64;
inline constexpr int kLabelGrey = 96;

// Colours of the body mask. Body pixels are the only ones whose blue reaches
// 250; the line grey stays below it.
inline constexpr QRgb kMaskBody = 0xff74a7fe;     // 116, 167, 254
inline constexpr QRgb kMaskOutside = 0xffffd9a8;  // 255, 217, 168

enum PixelClass : uint8_t { kOutside = 0, kBody = 1, kLine = 2 };

// One class per pixel of the page, row by row.
struct ClassMap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> cls;

  uint8_t At(int x, int y) const { return cls[static_cast<size_t>(y) * width + x]; }
  uint8_t& At(int x, int y) { return cls[static_cast<size_t>(y) * width + x]; }
  int64_t Count(PixelClass c) const;
};

struct ChartLayout {
  double scale = 0;  // pixels per figure unit (one head height)
  double top = 0;    // page row of the top of the head
  int adjusted = 0;  // pixels moved between body and line to reach kBodyPixels
};

// Draws both figures at `scale` pixels per unit, lines without anti-aliasing.
ClassMap RenderClasses(double scale, double top);

// Finds the scale whose body count comes closest to kBodyPixels, then moves the
// remaining difference between body and the lines' inner edge, spread evenly
// along the outlines. The result has exactly kBodyPixels body pixels.
ClassMap BuildChart(ChartLayout* layout);

// Sizes of the 4-connected areas of body pixels, largest first.
std::vector<int64_t> BodyAreas(const ClassMap& map);

QImage MaskImage(const ClassMap& map);        // RGB888
QImage BlankChartImage(const ClassMap& map);  // RGB888: white, and the line grey
// RGBA8888, opaque: the blank chart with the side and view labels set in the
// space around the figures. Returns a null image when a label would come near
// a figure.
QImage ReferenceChartImage(const ClassMap& map, const ChartLayout& layout);
