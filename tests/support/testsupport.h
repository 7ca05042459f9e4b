#pragma once

#include "framework/clipboard.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

class QImage;

// The source tree, for tests that read committed files (samples, resources).
QString SourcePath(const QString& relative);

// A fresh folder that lives until the test process ends.
QString TempDir();

// Writes an image as PNG, or a few bytes that are no image, into a folder
// (a fresh one by default); returns the file's path.
QString SavePng(const QImage& image, const QString& name, const QString& folder = QString());
QString SaveText(const QString& name, const QString& folder = QString(), const QByteArray& bytes = "no image");

// One sample drawing as samples/counts.tsv lists it: its size and the
// counts computed from the chart, without and with the smart area.
struct SampleCount {
  QString file;
  int width = 0;
  int height = 0;
  int64_t selected = 0;
  int64_t selectedWithSmartArea = 0;
  QString ratio;
};
std::vector<SampleCount> SampleCounts();

// A clipboard that another program holds: it takes nothing. Installed for
// its lifetime.
class RefusingClipboard : public Clipboard {
 public:
  RefusingClipboard() { Install(this); }
  ~RefusingClipboard() override { Install(nullptr); }
  RefusingClipboard(const RefusingClipboard&) = delete;
  RefusingClipboard& operator=(const RefusingClipboard&) = delete;
  bool SetImage(const QImage&) override { return false; }
};
