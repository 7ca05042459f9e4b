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

// The pixels of a w x h page that a 4-connected path of open pixels joins to
// the page's border (1), and the others (0). open(x, y) says whether a path
// may step on a pixel.
template <class Open>
std::vector<uint8_t> ReachFromBorder(int w, int h, Open open) {
  std::vector<uint8_t> reached(static_cast<size_t>(w) * h, 0);
  std::vector<size_t> stack;
  auto reach = [&](int x, int y) {
    const size_t i = static_cast<size_t>(y) * w + x;
    if (reached[i] || !open(x, y)) return;
    reached[i] = 1;
    stack.push_back(i);
  };
  for (int x = 0; x < w; ++x) {
    reach(x, 0);
    reach(x, h - 1);
  }
  for (int y = 0; y < h; ++y) {
    reach(0, y);
    reach(w - 1, y);
  }
  while (!stack.empty()) {
    const size_t i = stack.back();
    stack.pop_back();
    const int x = static_cast<int>(i % w);
    const int y = static_cast<int>(i / w);
    if (x > 0) reach(x - 1, y);
    if (x + 1 < w) reach(x + 1, y);
    if (y > 0) reach(x, y - 1);
    if (y + 1 < h) reach(x, y + 1);
  }
  return reached;
}

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
