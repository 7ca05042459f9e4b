#pragma once

#include "tools/chartgen/chart.h"

#include <QImage>
#include <QString>

#include <cstdint>

// What a drawing marks inside the body.
struct MarkCounts {
  int64_t selected = 0;  // body pixels whose colour is not a grey
  // Body pixels that no path of grey pixels joins to the outside of the
  // image: the marked ones and those that marks enclose.
  int64_t selectedWithArea = 0;
};

// A pixel is marked when its red, green and blue are not all equal: black,
// white and the chart's greys are unmarked.
inline bool IsMarked(const uchar* rgba) { return rgba[0] != rgba[1] || rgba[1] != rgba[2]; }

// Counts an RGBA8888 drawing of the chart's size against the chart's classes.
MarkCounts CountMarks(const ClassMap& map, const QImage& drawing);

// Body pixels as a percentage of all body pixels, as the program reports it.
QString RatioText(int64_t selected);

// Draws the sample drawings on the reference chart into `folder` (which must
// exist), with README.md and counts.tsv listing what each shows and its counts.
// Returns false when a file could not be written.
bool WriteSamples(const ClassMap& map, const ChartLayout& layout, const QImage& reference, const QString& folder);
