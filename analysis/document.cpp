#include "analysis/document.h"

#include "analysis/smartarea.h"
#include "framework/profile.h"
#include "resources/resource.h"

CVarenkoDoc::CVarenkoDoc() {
  m_bSmartArea = Profile::Instance().GetProfileInt(QString::fromLatin1(kOptionsSection),
                                                   QString::fromLatin1(kSmartAreaEntry), 0) != 0;
}

CVarenkoDoc::~CVarenkoDoc() { ClearImages(); }

std::span<const CommandEntry<CVarenkoDoc>> CVarenkoDoc::CommandMap() { return {}; }

void CVarenkoDoc::LoadResources() {
  m_pBodyMask.reset();
  m_pFinalImage.reset();
  m_pBodyMask = Bitmap::FromResource(res::IDB_BODY_MASK);
  m_pFinalImage = Bitmap::FromResource(res::IDB_BLANK_CHART);
  m_nBodyPixels = MaskRuns().BodyPixels();
}

void CVarenkoDoc::RequestLayout() {
  if (m_pView != nullptr) m_pView->UpdateLayout();
}

bool CVarenkoDoc::OnNewDocument() {
  if (!Document::OnNewDocument()) return false;
  ClearImages();
  LoadResources();
  RequestLayout();
  return true;
}

bool CVarenkoDoc::OnOpenDocument(const QString& path) {
  if (!Document::OnOpenDocument(path)) return false;
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
  return m_nCurrent < m_vecOriginal.size() ? m_vecOriginal[m_nCurrent].get() : nullptr;
}

Bitmap* CVarenkoDoc::GetCurrentProcessed() const {
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

const BodyRuns& CVarenkoDoc::MaskRuns() {
  const qint64 key = m_pBodyMask ? m_pBodyMask->Image().cacheKey() : 0;
  if (key != m_bodyRunsKey) {
    m_bodyRuns = m_pBodyMask ? BodyRuns(m_pBodyMask->LockBitsForReading().data()) : BodyRuns();
    m_bodyRunsKey = key;
  }
  return m_bodyRuns;
}
