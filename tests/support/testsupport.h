#pragma once

#include "framework/clipboard.h"

#include <QByteArray>
#include <QRect>
#include <QRgb>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class QColor;
class QImage;

// The source tree, for tests that read committed files (samples, resources).
QString SourcePath(const QString& relative);

// A fresh folder that lives until the test process ends.
QString TempDir();

// Writes an image as PNG, or a few bytes that are no image, into a folder
// (a fresh one by default); returns the file's path.
QString SavePng(const QImage& image, const QString& name, const QString& folder = QString());
QString SaveText(const QString& name, const QString& folder = QString(), const QByteArray& bytes = "no image");

// A drawing of the chart's size (3508 x 2480): white, with the given
// rectangles filled in one colour.
QImage ChartDrawing(const std::vector<QRect>& marks = {}, QRgb colour = 0xFFFF0000);

// One sample drawing as samples/counts.tsv lists it: its size and the
// counts computed from the chart, without and with the smart area.
struct SampleCount {
  QString file;
  int width = 0, height = 0;
  int64_t selected = 0, selectedWithSmartArea = 0;
  QString ratio;
};
std::vector<SampleCount> SampleCounts();

// A figure of /proc/self/status (VmSize, VmData, VmHWM), in kB; -1 when
// there is none.
long StatusKb(const char* key);

// How much more resident memory the process has held at its peak since the
// measure was made than it held then, in megabytes: the peak is reset when
// it is made. -1 where the peak cannot be reset or read.
class ResidentPeak {
 public:
  ResidentPeak();
  long GrownMb() const;

 private:
  long startKb_ = -1;
};

// How many bytes the process has read from files and pipes so far; -1
// where the system does not tell.
long long BytesReadSoFar();

// For its lifetime, a file can grow no larger than the given size, as on a
// full disk or under a quota. Writes beyond it fail only as far as the
// process lets them (as the program does from its start): the signal the
// system sends is left as it is.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(long long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  unsigned long long saved_;
};

// The box around the pixels of an area that are not white; empty when all
// are.
QRect Ink(const QImage& image, const QRect& area);
// The ink of a text drawn alone on white in "Arial" at an em of px pixels,
// as a reference for text written onto an image.
QImage Written(const QString& text, double px, const QColor& colour);

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

// How long a test waits at most for work done on another thread: long
// enough for the slowest sanitizer build.
inline constexpr int kWorkerWaitMs = 60000;

// Holds every thread but the one that made it at Pass while it is closed:
// for catching a worker in the middle of its work. A thread held half a
// minute goes on, so that a failed test ends.
class Gate {
 public:
  void Pass();
  void Close();
  void Open();
  // Whether a thread is held.
  bool Held();

 private:
  const std::thread::id owner_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = true;
  int held_ = 0;
};
