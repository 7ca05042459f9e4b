#pragma once

#include "analysis/documentview.h"
#include "analysis/maskbody.h"
#include "analysis/pixelrule.h"
#include "framework/bitmap.h"
#include "framework/document.h"
#include "framework/readyahead.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

// The one document: the body mask and blank chart from the program's
// resources, the drawings that were opened with their processed copies and
// counts, and the numbers of a folder run.
//
// Invariants every reader relies on:
//  - m_vecOriginal and m_vecFileName always have the same length;
//  - m_vecProcessed and m_vecSelectedPixels always have the same length,
//    never more than the originals (a drawing that could not be read keeps
//    its original and name without a processed copy);
//  - readers check the length of the list they index with m_nCurrent;
//  - m_nBodyPixels belongs to the body mask: clearing the drawings keeps it.
class CVarenkoDoc : public CommandMapped<CVarenkoDoc, Document> {
 public:
  CVarenkoDoc();
  ~CVarenkoDoc() override;
  CVarenkoDoc(const CVarenkoDoc&) = delete;
  CVarenkoDoc& operator=(const CVarenkoDoc&) = delete;

  static std::span<const CommandEntry<CVarenkoDoc>> CommandMap();

  bool OnNewDocument() override;
  bool OnOpenDocument(const QString& path) override;

  // Empties the drawings and the numbers of a folder run; keeps the body
  // mask, the blank chart and the body count.
  void ClearImages();

  // The drawing on show and its processed copy; null past the end of the
  // list (an original may have no processed copy).
  Bitmap* GetCurrentOriginal() const;
  Bitmap* GetCurrentProcessed() const;
  // True when a folder run loaded two drawings or more.
  bool IsFolderView() const;

  // Marks and counts the selected pixels of a processed copy in place. A
  // copy whose size differs from the body mask's stays as it is, count 0.
  void ProcessImage(Bitmap* image, int* count);
  // With the smart-area option: paints dark green every body pixel that the
  // drawing's marks cover or enclose, so the pixel rule counts an outlined
  // area as shaded. The drawing must have the body mask's size; a drawing
  // without marks stays as it is.
  void ApplySmartArea(Bitmap* image);

  // Open Folder: a new document, the folder asked for, every drawing of the
  // chart's size measured under a progress dialog, the frequency map made.
  void OnOpenFolder();
  // Reads and measures the folder's PNG drawings of the body mask's size,
  // by name without regard to letter case, each in one pass under the
  // progress dialog, and colours the blank chart into the frequency map;
  // makes the folder the current one. False, with nothing loaded, when
  // there was not memory enough to read and measure every drawing.
  bool LoadFolderImages(const QString& folder);
  // Switches the smart-area option, stores it and measures the loaded
  // drawings again.
  void OnSmartArea();
  void OnUpdateSmartArea(CmdUI* ui);
  // Results: the dialog listing the drawings with their report; the
  // drawing on show is the same before and after. Open while processed
  // copies exist.
  void OnResults();
  void OnUpdateResults(CmdUI* ui);

  // True while a folder run or a re-run is at work: the drawings cannot be
  // changed then, nor a new document started or a file opened.
  bool IsRunning() const override { return m_bRunning; }

  // Parks the drawings of a folder set that are far from the one on show,
  // makes it ready now, and its neighbours on a thread of their own.
  void KeepReady() const;

  // Worker threads of a folder run; 0 means one per core, up to
  // kMostWorkers. Fewer start where the memory left is short.
  int m_nWorkerThreads = 0;
  // More workers than this make a run no faster here: memory bandwidth is
  // the limit by then, and each worker takes about 55 MB.
  static constexpr int kMostWorkers = 8;

  DocumentView* m_pView = nullptr;
  bool m_bFolderMode = false;
  std::unique_ptr<Bitmap> m_pBodyMask;
  std::unique_ptr<Bitmap> m_pFinalImage;
  std::vector<std::unique_ptr<Bitmap>> m_vecOriginal;
  std::vector<std::unique_ptr<Bitmap>> m_vecProcessed;
  std::vector<QString> m_vecFileName;
  std::vector<int> m_vecSelectedPixels;
  size_t m_nCurrent = 0;
  int m_nBodyPixels = 0;
  int m_nMaxFrequency = 0;
  int m_nMaxFrequencyCS = 0;
  int m_nMaxFrequencyNonCS = 0;
  bool m_bSmartArea = false;

 private:
  // Measures every loaded drawing again, with the progress dialog: the
  // processed copies and counts, the three frequency counts and their
  // highest values, and the frequency map coloured on the given blank
  // chart. The set keeps what it showed until the new one is complete.
  // False when there was no memory to start.
  bool ProcessFolderSet(std::unique_ptr<Bitmap> chart);
  // The run itself, over the files given or, with none, the drawings
  // loaded: each read (or made again from its original), measured and
  // counted on workers, the processed copies kept as how to make them
  // again from their originals. False, with the set as it was, when there
  // was not memory enough to measure every drawing.
  bool MeasureDrawings(const std::vector<QByteArray>& files, const std::vector<QString>& names,
                       std::unique_ptr<Bitmap> chart);
  // The part of the run that takes memory, sized by the memory there is;
  // puts the new set in place only once every drawing is measured and the
  // map coloured on the chart. False, or std::bad_alloc, when memory ran
  // out.
  bool MeasureOnWorkers(const std::vector<QByteArray>& files, const std::vector<QString>& names,
                        std::unique_ptr<Bitmap>& chart);
  // Worker threads for the given number of jobs.
  int WorkerThreads(size_t jobs) const;
  // Takes in the neighbours made ready on their thread, where they are
  // still wanted.
  void AdoptReady() const;
  // What is left to make of a drawing and its processed copy: their pixels
  // where they are parked.
  ReadyAhead::Job ParkedJob(size_t i) const;
  // Gives a drawing the images made for it, where it still wants them.
  void Adopt(ReadyAhead::Made made) const;
  // Drops all that is made or to be made ahead.
  void StopReadyAhead();
  // The body runs of the current body mask, made again whenever the mask
  // changed.
  const BodyRuns& MaskRuns();
  // Loads the body mask and the blank chart afresh and counts the body.
  void LoadResources();
  void RequestLayout();

  MaskBody m_body;
  bool m_bRunning = false;

  static constexpr size_t kNoneReady = static_cast<size_t>(-1);
  mutable size_t m_nReadyAround = kNoneReady;
  mutable std::vector<size_t> m_vecAwake;
  std::unique_ptr<QObject> m_pTimerContext;
  // Makes the neighbours of the drawing on show ready; started with the
  // first folder set looked at.
  mutable std::unique_ptr<ReadyAhead> m_pReadyAhead;
  // The neighbours to make next, handed to the worker once the drawing on
  // show is painted.
  mutable std::vector<ReadyAhead::Job> m_vecNextJobs;
};

// Settings the document reads.
inline constexpr const char* kOptionsSection = "Options";
inline constexpr const char* kSmartAreaEntry = "Use Smart Selected Area Calculations";
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kFolderEntry = "Open Folder Path";

// The folder a folder run starts in when none was chosen before: the root
// of the system drive.
QString DefaultFolder();
