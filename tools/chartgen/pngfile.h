#pragma once

#include <QImage>
#include <QString>

// Writes an RGB888 image as an 8-bit RGB PNG (colour type 2) or an RGBA8888
// image as an 8-bit RGBA PNG (colour type 6), not interlaced, at the highest
// compression. Qt's own writer drops the alpha channel of an opaque image, and
// the reference chart must keep it. Returns false on any failure.
bool WritePng(const QImage& image, const QString& path);
