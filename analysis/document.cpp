#include "analysis/document.h"

#include "analysis/frequency.h"
#include "analysis/resultsdialog.h"
#include "analysis/smartarea.h"
#include "analysis/threshold.h"
#include "analysis/waitdialog.h"
#include "framework/application.h"
#include "framework/files.h"
#include "framework/frame.h"
#include "framework/memoryroom.h"
#include "framework/orderedwork.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/text.h"
#include "framework/waitcursor.h"
#include "resources/resource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <new>
#include <optional>

CVarenkoDoc::CVarenkoDoc() : m_pTimerContext(std::make_unique<QObject>()) {
  m_bSmartArea = Profile::Instance().GetProfileInt(QString::fromLatin1(kOptionsSection),
                                                   QString::fromLatin1(kSmartAreaEntry), 0) != 0;
}

CVarenkoDoc::~CVarenkoDoc() {
  ClearImages();
  // The worker ends before the object its results are posted to.
  m_pReadyAhead.reset();
}

std::span<const CommandEntry<CVarenkoDoc>> CVarenkoDoc::CommandMap() {
  static const CommandEntry<CVarenkoDoc> map[] = {
      MapCommand(res::ID_FILE_OPEN_FOLDER, &CVarenkoDoc::OnOpenFolder),
      MapCommand(res::ID_SMART_AREA, &CVarenkoDoc::OnSmartArea),
      MapUpdate(res::ID_SMART_AREA, &CVarenkoDoc::OnUpdateSmartArea),
      MapCommand(res::ID_RESULTS, &CVarenkoDoc::OnResults),
      MapUpdate(res::ID_RESULTS, &CVarenkoDoc::OnUpdateResults),
  };
  return map;
}

namespace {

// The body mask and the blank chart the program carries, decoded once for
// the life of the program: their pixels packed, and the mask's body runs.
// Each document makes bitmaps of its own from them, as if it had loaded
// them afresh.
struct ChartResources {
  Bitmap::ParkedPixels mask;
  Bitmap::ParkedPixels chart;
  BodyRuns runs;
};

// Null while they could not be decoded (no memory); tried again next time.
const ChartResources* KeptResources() {
  static std::optional<ChartResources> kept;
  if (kept) return &*kept;
  try {
    const std::unique_ptr<Bitmap> mask = Bitmap::FromResource(res::IDB_BODY_MASK);
    const std::unique_ptr<Bitmap> chart = Bitmap::FromResource(res::IDB_BLANK_CHART);
    ChartResources made{Bitmap::Pack(mask->Image()), Bitmap::Pack(chart->Image()),
                        BodyRuns(mask->LockBitsForReading().data())};
    if (made.mask && made.chart) kept = std::move(made);
  } catch (const std::bad_alloc&) {
  }
  return kept ? &*kept : nullptr;
}

// A blank chart of its own, null when there is no memory for one.
std::unique_ptr<Bitmap> BlankChart() {
  try {
    if (const ChartResources* kept = KeptResources()) return Bitmap::FromParked(kept->chart);
    return Bitmap::FromResource(res::IDB_BLANK_CHART);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

void CVarenkoDoc::LoadResources() {
  m_pBodyMask.reset();
  m_pFinalImage.reset();
  if (const ChartResources* kept = KeptResources()) {
    m_pBodyMask = Bitmap::FromParked(kept->mask);
    m_pFinalImage = Bitmap::FromParked(kept->chart);
    m_body.Adopt(m_pBodyMask.get(), kept->runs);
    m_nBodyPixels = kept->runs.BodyPixels();
    return;
  }
  m_pBodyMask = Bitmap::FromResource(res::IDB_BODY_MASK);
  m_pFinalImage = Bitmap::FromResource(res::IDB_BLANK_CHART);
  m_nBodyPixels = MaskRuns().BodyPixels();
  // Everything reads the body from its runs: the mask's pixels are parked.
  m_pBodyMask->Park();
}

void CVarenkoDoc::RequestLayout() {
  if (m_pView != nullptr) m_pView->UpdateLayout();
}

bool CVarenkoDoc::OnNewDocument() {
  // A run at work lets the window draw itself, and with it drops and timers
  // reach the program: the set it works on must stay as it is.
  if (m_bRunning || !Document::OnNewDocument()) return false;
  ClearImages();
  LoadResources();
  RequestLayout();
  return true;
}

bool CVarenkoDoc::OnOpenDocument(const QString& path) {
  if (m_bRunning || !Document::OnOpenDocument(path)) return false;
  m_bFolderMode = false;
  ClearImages();
  // A path on the command line opens into a document that never ran
  // OnNewDocument: the mask and chart must be there before the drawing.
  if (!m_pBodyMask || !m_pFinalImage) LoadResources();

  m_vecOriginal.push_back(Bitmap::FromFile(path));
  m_vecFileName.push_back(path);
  const Bitmap& original = *m_vecOriginal.back();
  // A file that is no image gives no copy: it stays listed without one.
  std::unique_ptr<Bitmap> copy = original.CloneArea(0, 0, original.Width(), original.Height());
  if (!copy) return false;

  int count = 0;
  ProcessImage(copy.get(), &count);
  m_vecProcessed.push_back(std::move(copy));
  m_vecSelectedPixels.push_back(count);
  RequestLayout();
  return true;
}

void CVarenkoDoc::ClearImages() {
  // Nothing made for the drawings cleared reaches the next set.
  StopReadyAhead();
  m_vecAwake.clear();
  m_nReadyAround = kNoneReady;
  m_vecOriginal.clear();
  m_vecProcessed.clear();
  m_vecFileName.clear();
  m_vecSelectedPixels.clear();
  m_nCurrent = 0;
  m_nMaxFrequency = 0;
  m_nMaxFrequencyCS = 0;
  m_nMaxFrequencyNonCS = 0;
}

Bitmap* CVarenkoDoc::GetCurrentOriginal() const {
  KeepReady();
  return m_nCurrent < m_vecOriginal.size() ? m_vecOriginal[m_nCurrent].get() : nullptr;
}

Bitmap* CVarenkoDoc::GetCurrentProcessed() const {
  KeepReady();
  return m_nCurrent < m_vecProcessed.size() ? m_vecProcessed[m_nCurrent].get() : nullptr;
}

bool CVarenkoDoc::IsFolderView() const { return m_vecOriginal.size() >= 2 && m_bFolderMode; }

void CVarenkoDoc::ProcessImage(Bitmap* image, int* count) {
  *count = 0;
  if (!m_pBodyMask || image == nullptr) return;
  if (image->Width() != m_pBodyMask->Width() || image->Height() != m_pBodyMask->Height()) return;
  if (m_bSmartArea) ApplySmartArea(image);
  Bitmap::Lock drawing = image->LockBits();
  // An image that could not be locked is not walked; it counts 0.
  if (!drawing.ok()) return;
  *count = ApplyPixelRule(drawing.data(), MaskRuns());
}

void CVarenkoDoc::ApplySmartArea(Bitmap* image) {
  if (image == nullptr || !m_pBodyMask) return;
  Bitmap::Lock drawing = image->LockBits();
  if (!drawing.ok()) return;
  FillSmartArea(drawing.data(), MaskRuns());
}

const BodyRuns& CVarenkoDoc::MaskRuns() { return m_body.Of(m_pBodyMask.get()); }

QString DefaultFolder() {
#ifdef Q_OS_WIN
  return QStringLiteral("C:\\");
#else
  return QStringLiteral("/");
#endif
}

namespace {

QChar Separator() { return QDir::separator(); }

// Names in the order the folder lists them on the file system the program
// grew up on: by name, letters compared without regard to case, code unit
// by code unit; the same order on every platform.
bool NameOrder(const QString& a, const QString& b) {
  const int n = std::min(a.size(), b.size());
  for (int i = 0; i < n; ++i) {
    const char16_t ua = a[i].toUpper().unicode();
    const char16_t ub = b[i].toUpper().unicode();
    if (ua != ub) return ua < ub;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

// What a worker takes while it works besides its drawing's pixels and its
// frequency counts: the file being read, the decoder's and the packer's
// buffers, the smart area's masks.
constexpr size_t kWorkerRoom = size_t{48} << 20;

// How many of up to `most` workers the room in memory lets a run have,
// each taking `worker` bytes, beside the drawings the run keeps (`kept`
// bytes) and room for the window and the drawings it shows once the run
// is over (`reserve`). At least one: whether that one fits is found by
// trying.
int WorkersForRoom(const MemoryRoom& room, int most, size_t kept, size_t reserve, size_t worker) {
  auto fitting = [&](size_t free, size_t each) {
    if (free == SIZE_MAX) return static_cast<size_t>(most);
    return free > kept + reserve ? (free - kept - reserve) / each : 0;
  };
  const size_t fit = std::min(fitting(room.resident, worker), fitting(room.addressSpace, worker + kThreadAddressSpace));
  return static_cast<int>(std::clamp<size_t>(fit, 1, static_cast<size_t>(std::max(most, 1))));
}

// Makes the memory of up to `most` workers with `make`, which throws
// std::bad_alloc when there is none, for as many workers as there is memory
// for, each with room to spare for its work. Under a memory limit a run then
// goes on with fewer workers instead of failing in all of them.
template <class Make>
void StartWorkers(int most, Make make) {
  // Each worker's room is held until all are made, and then given back for
  // their work. None of this memory is touched here.
  std::vector<std::unique_ptr<uint8_t[]>> rooms;
  for (int t = 0; t < most; ++t) {
    try {
      rooms.push_back(std::make_unique_for_overwrite<uint8_t[]>(kWorkerRoom));
      make();
    } catch (const std::bad_alloc&) {
      return;
    }
  }
}

// Drawings whose files take more than this together are kept as their
// packed pixels where these take less memory than their files: the memory
// is worth the time packing takes. Fewer, where the memory there is is
// short.
constexpr size_t kPackSetsFrom = size_t{512} << 20;

// The bytes of the files together, each up to the most read of a file: no
// more than the drawings read from them are kept as.
size_t FileBytes(const std::vector<QByteArray>& files) {
  size_t total = 0;
  for (const QByteArray& file : files) {
    const qint64 size = QFileInfo(QFile::decodeName(file)).size();
    total += static_cast<size_t>(std::clamp<qint64>(size, 0, kLargestDrawingFile));
  }
  return total;
}

// Told when a run has not the memory to measure every drawing.
const QString kNoMemoryMessage = QStringLiteral("There is not enough memory to process the images");

// Lets the progress dialog draw itself while no user input reaches any
// window, so no other command can start during a run.
void Pump() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace

void CVarenkoDoc::OnOpenFolder() {
  if (!m_pBodyMask || !m_pFinalImage || m_bRunning) return;
  if (Application* app = Application::Instance()) {
    app->OnFileNew();
  } else {
    OnNewDocument();
  }
  m_bFolderMode = true;
  ClearImages();

  Profile& profile = Profile::Instance();
  const QString section = QString::fromLatin1(kSettingsSection);
  const QString entry = QString::fromLatin1(kFolderEntry);
  QString folder = profile.GetProfileString(section, entry, DefaultFolder());
  if (!QFileInfo::exists(folder)) folder = DefaultFolder();
  const std::optional<QString> chosen = Prompts::Current().BrowseForFolder(QStringLiteral("Select folder:"), folder);
  if (!chosen) return;
  folder = QDir::toNativeSeparators(*chosen);
  if (!folder.endsWith(Separator())) folder += Separator();
  profile.WriteProfileString(section, entry, folder);

  WaitCursor wait;
  // The run lets the window draw itself; no command may start meanwhile.
  // The blank chart the new document loaded becomes the frequency map.
  m_bRunning = true;
  bool read = false;
  try {
    read = LoadFolderImages(folder);
  } catch (const std::bad_alloc&) {
    // Not even the folder's list could be made: the set stays empty.
    ClearImages();
  }
  m_bRunning = false;
  if (m_vecOriginal.empty()) {
    wait.Restore();
    Prompts::Current().MessageBox(read ? QStringLiteral("There are no png files in this folder") : kNoMemoryMessage,
                                  MessageIcon::Error);
    return;
  }
}

int CVarenkoDoc::WorkerThreads(size_t jobs) const {
  const int threads = m_nWorkerThreads > 0 ? m_nWorkerThreads : OrderedWork<int>::DefaultThreads(kMostWorkers);
  return static_cast<int>(std::clamp<size_t>(jobs, 1, static_cast<size_t>(threads)));
}

bool CVarenkoDoc::LoadFolderImages(const QString& folder) {
  m_vecOriginal.clear();
  m_vecFileName.clear();
  QDir::setCurrent(folder);
  // Regular files only: a FIFO or a device named like a drawing would never
  // finish reading.
  std::vector<FolderFile> files = ListFolderFiles(folder, QStringLiteral(".png"));
  std::stable_sort(files.begin(), files.end(),
                   [](const FolderFile& a, const FolderFile& b) { return NameOrder(a.name, b.name); });
  QByteArray base = LocalPath(folder);
  if (!base.endsWith('/')) base += '/';
  const QSize size = m_pBodyMask ? QSize(m_pBodyMask->Width(), m_pBodyMask->Height()) : QSize();
  // A mask that could not be decoded (no memory when the document began)
  // measures nothing: that is said, rather than that no file is a drawing.
  if (size.isEmpty()) return false;
  // The drawings are counted from the files' headers first, so that the
  // progress can say how far the run has come; each is then read and
  // measured in one go. A file of another size is left out on its header's
  // word.
  std::vector<QByteArray> paths;
  std::vector<QString> names;
  for (const FolderFile& file : files) {
    const QByteArray path = base + file.localName;
    const std::optional<QSize> claimed = Bitmap::HeaderSize(path);
    if (!claimed || (claimed->isValid() && *claimed != size)) continue;
    paths.push_back(path);
    names.push_back(file.name);
  }
  if (paths.empty()) return true;
  return MeasureDrawings(paths, names, std::move(m_pFinalImage));
}

namespace {

// What a worker makes of one drawing: what the original is kept as, and
// its count of selected pixels. No original when a file is no drawing of
// the chart's size; `measured` false when a drawing could not be measured,
// and `noMemory` set when that was for want of memory.
struct MeasuredDrawing {
  Bitmap::ParkedPixels original;
  int count = 0;
  bool measured = false;
  bool noMemory = false;
};

// How a run makes a processed copy from its original: the smart-area
// filling when the option is on, then the pixel rule. The copies are not
// kept but made again from their originals whenever they are looked at.
std::function<void(const BitmapData&)> Processing(std::shared_ptr<const BodyRuns> body, bool smartArea) {
  return [body = std::move(body), smartArea](const BitmapData& pixels) {
    if (smartArea) {
      // Copies are made again one after the other on the thread that shows
      // them and on the one that makes them ready ahead: their filling
      // reuses that thread's memory.
      thread_local SmartAreaScratch scratch;
      FillSmartArea(pixels, *body, scratch);
    }
    ApplyPixelRule(pixels, *body);
  };
}

}  // namespace

bool CVarenkoDoc::ProcessFolderSet(std::unique_ptr<Bitmap> chart) {
  if (!m_pBodyMask || m_vecOriginal.empty()) return true;
  return MeasureDrawings({}, {}, std::move(chart));
}

bool CVarenkoDoc::MeasureDrawings(const std::vector<QByteArray>& files, const std::vector<QString>& names,
                                  std::unique_ptr<Bitmap> chart) {
  if (!m_pBodyMask) return true;
  m_bRunning = true;
  WaitCursor wait;
  bool measured = false;
  try {
    measured = MeasureOnWorkers(files, names, chart);
  } catch (const std::bad_alloc&) {
  }
  m_bRunning = false;
  // The workers' memory, freed, goes back to the system rather than staying
  // with the allocator of the threads that used it.
  ReturnFreedMemory();
  if (!measured) {
    // What was shown before stays.
    if (!m_pFinalImage) m_pFinalImage = std::move(chart);
    return false;
  }
  m_nReadyAround = kNoneReady;
  KeepReady();
  RequestLayout();
  return true;
}

bool CVarenkoDoc::MeasureOnWorkers(const std::vector<QByteArray>& files, const std::vector<QString>& names,
                                   std::unique_ptr<Bitmap>& chart) {
  const bool reading = !files.empty();
  const size_t n = reading ? files.size() : m_vecOriginal.size();
  // Every thread the run and its window need is started before the
  // drawings take memory.
  StartSharedThreads();
  // Everything a worker needs is copied out of the document first: workers
  // never touch the document.
  const auto body = std::make_shared<const BodyRuns>(MaskRuns());
  const int w = m_pBodyMask->Width();
  const int h = m_pBodyMask->Height();
  const bool smartArea = m_bSmartArea;
  const int bodyPixels = m_nBodyPixels;
  const double threshold = ReadThreshold();
  // The blank chart waits parked until the map is coloured.
  if (chart) chart->Park();
  std::vector<Bitmap::ParkedPixels> loaded;
  loaded.reserve(reading ? 0 : n);
  for (size_t i = 0; !reading && i < n; ++i) {
    // Every drawing is made again from what it is kept as. For the time of
    // the run the pixels of the copies and of the originals beside the one
    // on show are let go; that original stays awake for its new copy.
    Bitmap& original = *m_vecOriginal[i];
    if (i != m_nCurrent) original.Park();
    if (i < m_vecProcessed.size() && m_vecProcessed[i]) m_vecProcessed[i]->Park();
    if (!original.Parked() && !original.IsEmpty()) original.Park();
    // Pixels that cannot be parked could not be packed, for want of memory.
    if (!original.Parked() && !original.IsEmpty()) return false;
    loaded.push_back(original.Parked());
  }
  if (!reading) std::erase_if(m_vecAwake, [this](size_t i) { return i != m_nCurrent; });
  // The memory of the pixels let go goes back for the workers, rather than
  // waiting for the steps after the run.
  Bitmap::DropSpare();
  // Each worker reads drawing after drawing into the same memory and keeps
  // frequency counts of its own. Only as many workers start as there is
  // memory for beside the drawings the run keeps, which take no more than
  // their files, and room for the window and the drawings shown after the
  // run.
  const size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
  const size_t worker = pixels + 2 * sizeof(uint32_t) * static_cast<size_t>(std::max(bodyPixels, 0)) + kWorkerRoom;
  const size_t fileBytes = reading ? FileBytes(files) : 0;
  const MemoryRoom room = FreeMemory();
  const bool packing = fileBytes > std::min({kPackSetsFrom, room.resident / 4, room.addressSpace / 4});
  const int most = WorkersForRoom(room, WorkerThreads(n), fileBytes, 3 * pixels, worker);
  std::vector<std::unique_ptr<FrequencyCounts>> counts;
  std::vector<std::unique_ptr<DrawingReader>> readers;
  std::vector<std::unique_ptr<SmartAreaScratch>> filling;
  StartWorkers(most, [&] {
    auto workerCounts = std::make_unique<FrequencyCounts>(*body);
    auto workerFilling = std::make_unique<SmartAreaScratch>();
    readers.push_back(std::make_unique<DrawingReader>(w, h));
    readers.back()->PackWhereSmaller(packing);
    counts.push_back(std::move(workerCounts));
    filling.push_back(std::move(workerFilling));
  });
  if (readers.empty()) return false;
  const int threads = static_cast<int>(readers.size());

  Application* app = Application::Instance();
  CDlgWait dialog(app != nullptr ? app->GetMainWnd() : nullptr);
  dialog.m_staticText->setText(Format("Processing file %d from %d...", 0, static_cast<int>(n)));
  dialog.m_progress->setRange(0, static_cast<int>(n));
  dialog.m_progress->setValue(0);
  dialog.ShowCentred();

  // Each drawing in one pass, while its pixels are in memory: read from
  // its file (or made again from the original kept), the smart-area
  // filling, the pixel rule and its count, and its marks added to this
  // worker's frequency counts. The sums of the workers' counts do not
  // depend on which worker took which drawing.
  auto measure = [&](size_t i, int worker) {
    const auto t = static_cast<size_t>(worker);
    MeasuredDrawing result;
    try {
      DrawingReader& reader = *readers[t];
      if (reading) {
        result.original = reader.Read(files[i]);
        if (!result.original) return result;
      } else {
        result.original = loaded[i];
        if (!result.original) return result;
        // A drawing read once can fail to be made again only for want of
        // memory.
        if (!reader.Load(result.original)) throw std::bad_alloc();
      }
      QImage& image = reader.Pixels();
      const BitmapData data{image.bits(), image.bytesPerLine(), w, h};
      if (smartArea) FillSmartArea(data, *body, *filling[t]);
      result.count = ApplyPixelRule(data, *body);
      // A ratio that is not a number is below every threshold.
      counts[t]->Add(data, Ratio(result.count, bodyPixels) >= threshold);
      result.measured = true;
    } catch (const std::bad_alloc&) {
      result = MeasuredDrawing{};
      result.noMemory = true;
    }
    return result;
  };
  std::vector<MeasuredDrawing> results;
  results.reserve(n);
  {
    OrderedWork<MeasuredDrawing> work(n, threads, 2 * static_cast<size_t>(threads), measure);
    for (size_t i = 0; i < n; ++i) {
      dialog.m_staticText->setText(
          Format("Processing file %d from %d...", static_cast<int>(i + 1), static_cast<int>(n)));
      dialog.m_progress->setValue(static_cast<int>(i + 1));
      Pump();
      results.push_back(work.Take(i, Pump));
    }
  }
  // A drawing that found no memory while others were read beside it is
  // tried once more alone, with the other workers' memory given back. A
  // drawing is never left out for want of memory: without it the run
  // fails.
  auto mergeCounts = [&] {
    for (size_t t = 1; t < counts.size(); ++t) counts[0]->Merge(*counts[t]);
    counts.resize(1);
  };
  for (size_t i = 0; i < n; ++i) {
    if (!results[i].noMemory) continue;
    mergeCounts();
    readers.resize(1);
    filling.resize(1);
    Pump();
    results[i] = measure(i, 0);
    if (results[i].noMemory) return false;
  }

  // The new set is gathered aside: the drawing on show stays on show, as it
  // was, until the run ends.
  const auto processing = Processing(body, smartArea);
  std::vector<std::unique_ptr<Bitmap>> originals;
  std::vector<QString> kept;
  std::vector<std::unique_ptr<Bitmap>> processed;
  std::vector<int> selected;
  originals.reserve(reading ? n : 0);
  kept.reserve(reading ? n : 0);
  processed.reserve(n);
  selected.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const MeasuredDrawing& result = results[i];
    if (reading) {
      // A file that is no drawing after all is left out.
      if (!result.original) continue;
      originals.push_back(Bitmap::FromParked(result.original));
      kept.push_back(names[i]);
    }
    // A drawing that could not be measured (an original without pixels)
    // gets an empty entry with the count 0, so every copy stays beside its
    // own original.
    processed.push_back(result.measured ? Bitmap::FromParked(Bitmap::Derived(result.original, processing)) : nullptr);
    selected.push_back(result.count);
  }

  dialog.m_staticText->setText(QStringLiteral("Creating final image..."));
  Pump();
  mergeCounts();
  // The workers' memory goes before the map takes its pixels.
  readers.clear();
  filling.clear();
  if (chart) {
    Bitmap::Lock map = chart->LockBits();
    if (map.ok()) {
      counts[0]->ColourMap(map.data());
    } else if (!chart->IsEmpty()) {
      return false;
    }
  }
  dialog.hide();
  if (reading) {
    m_vecOriginal = std::move(originals);
    m_vecFileName = std::move(kept);
  }
  m_vecProcessed = std::move(processed);
  m_vecSelectedPixels = std::move(selected);
  m_pFinalImage = std::move(chart);
  m_nMaxFrequency = static_cast<int>(counts[0]->MaxAll());
  m_nMaxFrequencyCS = static_cast<int>(counts[0]->MaxCs());
  m_nMaxFrequencyNonCS = static_cast<int>(counts[0]->MaxNonCs());
  return true;
}

namespace {

// Whether drawing i is the one on show or beside it.
bool Near(size_t i, size_t current) { return i + 1 >= current && i <= current + 1; }

}  // namespace

void CVarenkoDoc::KeepReady() const {
  // Only a folder set parks drawings, and the set a run works on stays as
  // it is.
  if (m_bRunning || m_vecOriginal.size() < 2) return;
  if (!m_pReadyAhead) {
    m_pReadyAhead = std::make_unique<ReadyAhead>([context = m_pTimerContext.get(), this] {
      QMetaObject::invokeMethod(
          context, [this] { AdoptReady(); }, Qt::QueuedConnection);
    });
  }
  AdoptReady();
  const size_t current = m_nCurrent;
  const ReadyAhead::Job shown = ParkedJob(current);
  if (current != m_nReadyAround) {
    // The user goes on the way they came: that neighbour is made first.
    const bool back = m_nReadyAround != kNoneReady && current < m_nReadyAround;
    m_nReadyAround = current;
    // Drawings far from the one on show are parked; their memory makes the
    // new neighbours.
    std::erase_if(m_vecAwake, [this, current](size_t i) {
      if (Near(i, current)) return false;
      if (i < m_vecOriginal.size() && m_vecOriginal[i]) m_vecOriginal[i]->Park();
      if (i < m_vecProcessed.size() && m_vecProcessed[i]) m_vecProcessed[i]->Park();
      return true;
    });
    for (size_t i = current > 0 ? current - 1 : 0; i <= current + 1 && i < m_vecOriginal.size(); ++i) {
      if (std::ranges::find(m_vecAwake, i) == m_vecAwake.end()) m_vecAwake.push_back(i);
    }
    std::vector<ReadyAhead::Job> jobs;
    for (const size_t i : {back ? current - 1 : current + 1, back ? current + 1 : current - 1}) {
      ReadyAhead::Job job = ParkedJob(i);
      if (!job.pixels.empty()) jobs.push_back(std::move(job));
    }
    // Work no longer wanted stops at once; the neighbours are started once
    // the drawing on show is painted, which they would slow down.
    std::vector<ReadyAhead::Job> wanted = jobs;
    if (!shown.pixels.empty()) wanted.push_back(shown);
    m_pReadyAhead->Aim({}, wanted);
    m_vecNextJobs = std::move(jobs);
    QMetaObject::invokeMethod(
        m_pTimerContext.get(),
        [this] {
          if (!m_bRunning && !m_vecNextJobs.empty()) m_pReadyAhead->Aim(std::exchange(m_vecNextJobs, {}), {});
        },
        Qt::QueuedConnection);
  }
  if (shown.pixels.empty()) return;
  // The drawing on show: from the worker when it is making it already,
  // else made here.
  if (m_pReadyAhead->Await(shown)) AdoptReady();
  ReadyAhead::Job left = ParkedJob(current);
  if (left.pixels.empty()) return;
  // A copy whose original is awake is made from it, without decoding.
  if (!left.pixels[0] && m_vecOriginal[current] && m_vecProcessed[current]->WakeFrom(*m_vecOriginal[current])) {
    return;
  }
  Adopt(m_pReadyAhead->MakeHere(std::move(left)));
}

ReadyAhead::Job CVarenkoDoc::ParkedJob(size_t i) const {
  auto parked = [i](const std::vector<std::unique_ptr<Bitmap>>& list) {
    return i < list.size() && list[i] && list[i]->IsParked() ? list[i]->Parked() : nullptr;
  };
  ReadyAhead::Job job{i, {}};
  // The processed copy is made from its original when both are parked.
  if (Bitmap::ParkedPixels original = parked(m_vecOriginal), processed = parked(m_vecProcessed);
      original || processed) {
    job.pixels = {std::move(original), std::move(processed)};
  }
  return job;
}

void CVarenkoDoc::Adopt(ReadyAhead::Made made) const {
  const size_t i = made.job.tag;
  // Images for a drawing no longer near the one on show, or for a set that
  // is gone or being measured again, are dropped.
  const bool wanted = !m_bRunning && Near(i, m_nCurrent);
  for (size_t k = 0; k < made.images.size() && k < 2; ++k) {
    const std::vector<std::unique_ptr<Bitmap>>& list = k == 0 ? m_vecOriginal : m_vecProcessed;
    if (!wanted || i >= list.size() || !list[i]) {
      Bitmap::Recycle(std::move(made.images[k]));
    } else if (list[i]->Adopt(made.job.pixels[k], std::move(made.images[k])) &&
               std::ranges::find(m_vecAwake, i) == m_vecAwake.end()) {
      // Noted, to be parked again once the user has gone on.
      m_vecAwake.push_back(i);
    }
  }
}

void CVarenkoDoc::StopReadyAhead() {
  if (m_pReadyAhead) m_pReadyAhead->Cancel();
  m_vecNextJobs.clear();
}

void CVarenkoDoc::AdoptReady() const {
  if (!m_pReadyAhead) return;
  for (ReadyAhead::Made& made : m_pReadyAhead->Take()) Adopt(std::move(made));
}

void CVarenkoDoc::OnSmartArea() {
  if (m_bRunning) return;
  auto store = [this](bool on) {
    m_bSmartArea = on;
    Profile::Instance().WriteProfileInt(QString::fromLatin1(kOptionsSection), QString::fromLatin1(kSmartAreaEntry),
                                        on ? 1 : 0);
  };
  store(!m_bSmartArea);
  const size_t n = m_vecOriginal.size();
  if (n == 0) return;
  // Drawings made ahead with the option as it was are not wanted; those
  // around the one on show are asked for again.
  StopReadyAhead();
  m_nReadyAround = kNoneReady;
  // Without the memory to measure every drawing again, the results of the
  // option as it was stay, and so does the option.
  auto noMemory = [&] {
    store(!m_bSmartArea);
    Prompts::Current().MessageBox(kNoMemoryMessage, MessageIcon::Error);
  };
  if (n == 1) {
    WaitCursor wait;
    const Bitmap& original = *m_vecOriginal[0];
    std::unique_ptr<Bitmap> copy;
    int count = 0;
    bool made = false;
    try {
      copy = original.CloneArea(0, 0, original.Width(), original.Height());
      // A drawing with pixels fails to be copied only for want of memory;
      // one without keeps an empty entry.
      made = copy != nullptr || original.IsEmpty();
      if (made) ProcessImage(copy.get(), &count);
    } catch (const std::bad_alloc&) {
      made = false;
    }
    wait.Restore();
    if (!made) {
      noMemory();
      return;
    }
    m_vecProcessed.clear();
    m_vecSelectedPixels.clear();
    m_vecProcessed.push_back(std::move(copy));
    m_vecSelectedPixels.push_back(count);
    RequestLayout();
    return;
  }
  // A fresh blank chart for the new frequency map; the old map and copies
  // stay on show until the run ends.
  std::unique_ptr<Bitmap> chart = BlankChart();
  if (!chart || chart->IsEmpty() || !ProcessFolderSet(std::move(chart))) noMemory();
}

void CVarenkoDoc::OnResults() {
  if (m_bRunning) return;
  Application* app = Application::Instance();
  CDlgResults dialog(this, app != nullptr ? app->GetMainWnd() : nullptr);
  const size_t noted = m_nCurrent;
  dialog.DoModal();
  // The view shows the drawing it showed before.
  m_nCurrent = noted;
  if (m_pView != nullptr) m_pView->Invalidate();
}

void CVarenkoDoc::OnUpdateResults(CmdUI* ui) { ui->Enable(!m_vecProcessed.empty()); }

void CVarenkoDoc::OnUpdateSmartArea(CmdUI* ui) { ui->SetCheck(m_bSmartArea ? 1 : 0); }
