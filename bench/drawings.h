#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

struct libdeflate_decompressor;

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

// The image data of a PNG file inflated and nothing else, as the yardstick
// of decoding: its IDAT chunks' bodies gathered as they come, unchecked, and
// inflated in one call. Memory is kept from one file to the next.
class PngInflater {
 public:
  PngInflater();
  ~PngInflater();
  PngInflater(const PngInflater&) = delete;
  PngInflater& operator=(const PngInflater&) = delete;

  // False when the file cannot be read or inflated.
  bool Inflate(const QString& path);

  // Of the last file inflated: its size, bytes a pixel, and its rows, each
  // a filter type byte and the row's bytes.
  int width = 0;
  int height = 0;
  int bpp = 0;
  std::vector<uint8_t> rows;

 private:
  libdeflate_decompressor* inflater_;
  std::vector<uint8_t> data_;
};

// A line of /proc/self/status in megabytes (VmRSS, VmHWM), or -1.
double StatusMegabytes(const std::string& key);
// Starts the peak resident memory (VmHWM) again from what is resident now.
void ResetPeak();
