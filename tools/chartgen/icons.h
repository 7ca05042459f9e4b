#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// The tool-bar images in button order, as files under resources/icons/.
QStringList ToolbarIconFiles();

// The tool-bar strip: each 32 x 32 image side by side in button order on the
// tool bar's light grey, as RGB888. Null when an image cannot be read.
QImage ToolbarStrip(const QString& iconFolder);

// One SVG drawn at size x size pixels on a transparent background, as
// RGBA8888. Null when the file cannot be read.
QImage RenderSvg(const QString& path, int size);

// Sizes of the program icon's PNG renders.
inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
