#include "shell/view.h"

#include "analysis/document.h"
#include "analysis/threshold.h"
#include "framework/bitmap.h"
#include "framework/clipboard.h"
#include "framework/frame.h"
#include "framework/imagetext.h"
#include "framework/profile.h"
#include "framework/text.h"
#include "framework/waitcursor.h"
#include "resources/resource.h"
#include "resources/tables.h"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <new>

namespace {

const QColor kBackground(96, 96, 96);
const QColor kFrame(64, 128, 255);

QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

Rect Shrunk(const Rect& r, int by) { return Rect{r.left + by, r.top + by, r.right - by, r.bottom - by}; }

QFont ArialFont(int pixelSize, QFont::Weight weight) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

// Draws a text with its top-left corner at (x, y).
void TextOut(QPainter& painter, int x, int y, const QString& text) {
  painter.drawText(QPointF(x, y + QFontMetricsF(painter.font()).ascent()), text);
}

QString Options() { return QString::fromLatin1(kOptionsSection); }

}  // namespace

CVarenkoView::CVarenkoView(CVarenkoDoc* document, QWidget* parent) : QWidget(parent), m_pDocument(document) {
  m_layout.m_nRows = 1;
  m_layout.m_nCols = 2;
  m_layout.m_nSpan = 1;
  m_layout.m_nMode = 0;
  m_layout.RebuildPanes();
  m_titleFont = ArialFont(12, QFont::DemiBold);
  m_bProbe = Profile::Instance().GetProfileInt(Options(), QString::fromLatin1(kProbeEntry), 0) != 0;
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  QPalette background = palette();
  background.setColor(QPalette::Window, kBackground);
  setPalette(background);
  setAutoFillBackground(true);
}

CVarenkoView::~CVarenkoView() {
  // With no memory left as the window goes, the stored setting stays as it
  // was rather than the program ending on it.
  try {
    Profile::Instance().WriteProfileInt(Options(), QString::fromLatin1(kProbeEntry), m_bProbe ? 1 : 0);
  } catch (const std::bad_alloc&) {
  }
  if (m_pDocument != nullptr && m_pDocument->m_pView == this) m_pDocument->m_pView = nullptr;
  m_layout.ResetLayout();
}

std::span<const CommandEntry<CVarenkoView>> CVarenkoView::CommandMap() {
  static const CommandEntry<CVarenkoView> map[] = {
      MapCommand(res::ID_FILE_PRINT, &CVarenkoView::OnFilePrint),
      MapCommand(res::ID_FILE_PRINT_DIRECT, &CVarenkoView::OnFilePrintDirect),
      MapCommand(res::ID_FILE_PRINT_PREVIEW, &CVarenkoView::OnFilePrintPreview),
      MapCommand(res::ID_ENABLE_PROBE, &CVarenkoView::OnEnableProbe),
      MapUpdate(res::ID_ENABLE_PROBE, &CVarenkoView::OnUpdateEnableProbe),
      MapCommand(res::ID_EDIT_COPY, &CVarenkoView::OnEditCopy),
      MapUpdate(res::ID_EDIT_COPY, &CVarenkoView::OnUpdateEditCopy),
  };
  return map;
}

bool CVarenkoView::OnCreate() {
  const QFontMetrics metrics(m_titleFont);
  m_sizeTitle = Size{metrics.horizontalAdvance(QStringLiteral("Original")), metrics.height()};
  if (m_pDocument == nullptr) return false;
  m_pDocument->m_pView = this;
  return true;
}

Rect CVarenkoView::ClientRect() const { return Rect{0, 0, width(), height()}; }

void CVarenkoView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  OnSize();
  // A drawing fitted before the view reached the screen was fitted to a
  // size the window had not settled on yet: the window manager may
  // maximise it as it maps it. It is fitted again to the size it is shown
  // at, as a drawing opened later would be.
  if (m_bFitBeforeShown) UpdateLayout();
}

bool CVarenkoView::IsOnScreen() const {
  const QWindow* window = this->window()->windowHandle();
  return isVisible() && window != nullptr && window->isExposed();
}

void CVarenkoView::OnSize() {
  Rect rc = ClientRect();
  rc.top = m_sizeTitle.cy + 6;
  // Changes of less than 2 pixels both ways leave the panes as they are.
  const bool small = std::abs(m_rcClient.Width() - rc.Width()) < 2 && std::abs(m_rcClient.Height() - rc.Height()) < 2;
  if (!small) {
    m_layout.m_rcArea = rc;
    m_layout.ArrangePanes(false);
  }
  m_rcClient = rc;
}

void CVarenkoView::UpdateLayout() {
  uint32_t w = 0;
  uint32_t h = 0;
  if (m_pDocument != nullptr) {
    if (const Bitmap* original = m_pDocument->GetCurrentOriginal()) {
      w = static_cast<uint32_t>(original->Width());
      h = static_cast<uint32_t>(original->Height());
    }
  }
  for (auto& pane : m_layout.m_vecPanes) {
    pane->nImageWidth = w;
    pane->nImageHeight = h;
  }
  double z = 1.0;
  if (!m_layout.m_vecPanes.empty()) {
    const Pane& first = *m_layout.m_vecPanes[0];
    if (first.nImageWidth != 0 && first.nImageHeight != 0) {
      const Rect r = Shrunk(first.rcCell, 2);
      z = std::min(static_cast<double>(r.Width()) / w, static_cast<double>(r.Height()) / h);
    }
  }
  for (auto& pane : m_layout.m_vecPanes) {
    pane->dZoomX = z;
    pane->dZoomY = z;
    PaneLayout::PlaceImage(pane.get(), z, z);
  }
  Rect rc = ClientRect();
  rc.top = m_sizeTitle.cy + 6;
  m_layout.m_rcArea = rc;
  m_layout.ArrangePanes(false);
  m_bFitBeforeShown = !IsOnScreen();
  update();
}

void CVarenkoView::paintEvent(QPaintEvent*) {
  // Once the drawing has been seen, size changes keep its zoom.
  if (m_bFitBeforeShown && IsOnScreen()) m_bFitBeforeShown = false;
  QPainter painter(this);
  OnDraw(painter);
}

void CVarenkoView::OnDraw(QPainter& painter) {
  if (m_pDocument == nullptr) return;
  painter.fillRect(ToQRect(ClientRect()), kBackground);
  DrawPanes(painter);
}

void CVarenkoView::DrawPanes(QPainter& painter) {
  if (m_pDocument == nullptr) return;
  const int cy = m_sizeTitle.cy;
  // Frames two pixels wide around each cell and its title band, and the
  // filled title strip.
  for (const auto& pane : m_layout.m_vecPanes) {
    if (!pane) continue;
    Rect r = pane->rcCell;
    r.top -= 6 + cy;
    for (int ring = 0; ring < 2; ++ring) {
      const Rect f = Shrunk(r, ring);
      painter.fillRect(QRect(f.left, f.top, f.Width(), 1), kFrame);
      painter.fillRect(QRect(f.left, f.bottom - 1, f.Width(), 1), kFrame);
      painter.fillRect(QRect(f.left, f.top, 1, f.Height()), kFrame);
      painter.fillRect(QRect(f.right - 1, f.top, 1, f.Height()), kFrame);
    }
    r = Shrunk(r, 1);
    painter.fillRect(QRect(r.left, r.top, r.Width(), 6 + cy), kFrame);
  }

  painter.setFont(m_titleFont);
  for (size_t i = 0; i < m_layout.m_vecPanes.size(); ++i) {
    const Pane* pane = m_layout.m_vecPanes[i].get();
    if (pane == nullptr) continue;
    const Rect& cell = pane->rcCell;
    painter.setPen(Qt::white);
    painter.drawText(QRect(cell.left, cell.top - 2 - cy, cell.Width(), cy), Qt::AlignHCenter | Qt::AlignTop,
                     i == 1 ? QStringLiteral("Processed Image") : QStringLiteral("Original Image"));
    if (m_pDocument->GetCurrentProcessed() == nullptr) continue;
    Bitmap* image = i == 1 ? Pane1Image() : m_pDocument->GetCurrentOriginal();
    const Rect dest = Shrunk(pane->rcDest, 2);
    DrawImagePane(painter, dest, pane->rcSrc, image, i);
    if (i == 1 && m_bProbe) DrawProbeReadout(painter, image, dest);
  }
}

Bitmap* CVarenkoView::Pane1Image() const {
  if (m_pDocument == nullptr) return nullptr;
  if (m_pDocument->IsFolderView() && m_bProbe) return m_pDocument->m_pFinalImage.get();
  return m_pDocument->GetCurrentProcessed();
}

void CVarenkoView::DrawImagePane(QPainter& painter, const Rect& dest, const Rect& src, Bitmap* image, size_t pane) {
  if (m_pDocument == nullptr || image == nullptr) return;
  if (!image->IsEmpty() && dest.Width() > 0 && dest.Height() > 0 && src.Width() > 0 && src.Height() > 0) {
    if (m_printing) {
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(ToQRect(dest), image->Image(), ToQRect(src));
    } else {
      painter.drawImage(QPoint(dest.left, dest.top),
                        m_scaled[std::min<size_t>(pane, 1)].Of(*image, src, QSize(dest.Width(), dest.Height())));
    }
  }
  if (m_pDocument->IsFolderView() && pane == 1 && m_bProbe) DrawLegend(painter, dest);
  if (pane < m_layout.m_vecPanes.size()) DrawInfoText(painter, pane, image, dest);
}

QStringList CVarenkoView::LegendLabels() const {
  const int m = m_pDocument != nullptr ? m_pDocument->m_nMaxFrequency : 0;
  // The bottom label is always 1, the lowest count a marked pixel can have.
  return {Format("%d", m), Format("%d", static_cast<int>(m * 0.5 + 0.5)), QStringLiteral("1")};
}

void CVarenkoView::DrawLegend(QPainter& painter, const Rect& dest) {
  const QStringList labels = LegendLabels();

  const QFontMetrics metrics(painter.font());
  const int w88 = metrics.horizontalAdvance(QStringLiteral("88"));
  const int h88 = metrics.height();
  const int w8888 = metrics.horizontalAdvance(QStringLiteral("8888"));

  const int yMid = dest.top + dest.Height() / 2;
  const int y0 = yMid - 120;
  const int x0 = dest.left + dest.Width() / 2 - w8888 / 2;
  const int x1 = x0 + w88;

  // The bar: full red for the highest frequency down to the palest tint.
  for (int i = 0; i < 240; ++i) painter.fillRect(QRect(x0, y0 + i, x1 - x0, 1), QColor(255, i, i));

  const QFont previous = painter.font();
  painter.setFont(ArialFont(10, QFont::Normal));
  struct Tick {
    int y;
    QColor tick;
    const QString& label;
    int labelY;
    QColor labelColour;
  };
  const Tick ticks[] = {
      {y0, QColor(255, 0, 0), labels[0], y0 - h88 / 2, QColor(255, 0, 0)},
      {yMid, QColor(255, 120, 120), labels[1], y0 - h88 / 2 + 120, QColor(255, 120, 120)},
      {y0 + 240, QColor(255, 240, 240), labels[2], y0 - h88 / 2 + 240, QColor(255, 152, 152)},
  };
  for (const Tick& t : ticks) {
    painter.fillRect(QRect(x0, t.y, x1 + 5 - x0, 1), t.tick);
    painter.setPen(t.labelColour);
    TextOut(painter, x1 + 7, t.labelY, t.label);
  }
  painter.setFont(previous);
}

QStringList CVarenkoView::DrawingLines() const {
  const CVarenkoDoc& doc = *m_pDocument;
  const int s = doc.m_nCurrent < doc.m_vecSelectedPixels.size() ? doc.m_vecSelectedPixels[doc.m_nCurrent] : 0;
  const double ratio = Ratio(s, doc.m_nBodyPixels);
  // A ratio equal to the threshold is CS, and so is one that is no number.
  const double threshold = ReadThreshold();
  return {Format("Whole Body Pixels: %d", doc.m_nBodyPixels), Format("Selected Pixels: %d", s),
          threshold > ratio ? Format("Ratio: %.2f%%", ratio) : Format("Ratio: %.2f%% (CS)", ratio)};
}

QStringList CVarenkoView::InfoLines(size_t pane) const {
  QStringList lines;
  if (m_pDocument == nullptr) return lines;
  const CVarenkoDoc& doc = *m_pDocument;
  if (doc.m_nBodyPixels == 0) return lines;
  const size_t n = doc.m_vecOriginal.size();
  const bool folderView = doc.IsFolderView();
  if (pane == 0) {
    if (folderView) {
      lines << (doc.m_nCurrent < doc.m_vecFileName.size() ? Format("%s", doc.m_vecFileName[doc.m_nCurrent]) : QString())
            << Format("File: %d/%d", static_cast<int>(doc.m_nCurrent + 1), static_cast<int>(n));
    }
  } else if (folderView && m_bProbe) {
    lines << Format("Maximum Frequency: %d/%d", doc.m_nMaxFrequency, static_cast<int>(n));
  } else if (folderView || pane == 1) {
    lines = DrawingLines();
  }
  return lines;
}

void CVarenkoView::DrawInfoText(QPainter& painter, size_t pane, Bitmap* image, const Rect& dest) {
  if (image == nullptr) return;
  const QStringList lines = InfoLines(pane);
  if (lines.isEmpty()) return;
  ImageText(painter, 14).DrawLines(QPointF(dest.left, dest.top + 5), lines, kImageTextColour);
}

std::optional<QString> CVarenkoView::ProbeText(Point pt, const Bitmap* image) const {
  if (image == nullptr || m_pDocument == nullptr || !HitTestImage(pt)) return std::nullopt;
  const Pane& pane = *m_layout.m_vecPanes[1];
  const double z = std::min(pane.dZoomX, pane.dZoomY);
  const int x = static_cast<int>(static_cast<double>(pt.x - pane.rcDest.left) / z) + pane.rcSrc.left;
  const int y = static_cast<int>(static_cast<double>(pt.y - pane.rcDest.top) / z) + pane.rcSrc.top;
  // The hit test takes in the right and bottom edges; a point that falls
  // past the image there shows no read-out.
  if (x < 0 || y < 0 || x >= image->Width() || y >= image->Height()) return std::nullopt;
  const Bitmap::Lock lock = image->LockBitsForReading();
  if (!lock.ok()) return std::nullopt;
  const uint8_t* p = lock.data().Pixel(x, y);
  const int blue = p[kBlue];
  if (p[kBlue] == p[kGreen] && p[kGreen] == p[kRed]) return std::nullopt;
  // The frequency scale read backwards: blue 0 is the highest frequency.
  const int count = static_cast<int>(static_cast<double>((239 - blue) * m_pDocument->m_nMaxFrequency) / 239.0 + 0.5);
  const int n = static_cast<int>(m_pDocument->m_vecOriginal.size());
  const double percent = static_cast<double>(count) * 100.0 / static_cast<double>(n);
  return Format("  %d/%d (%.2f%%)  ", count, n, percent);
}

void CVarenkoView::DrawProbeReadout(QPainter& painter, Bitmap* image, const Rect& dest) {
  const QPoint cursor = mapFromGlobal(QCursor::pos());
  const Point pt{cursor.x(), cursor.y()};
  const std::optional<QString> text = ProbeText(pt, image);
  if (!text) return;
  const QFontMetrics metrics(painter.font());
  const int tw = metrics.horizontalAdvance(*text);
  const int th = metrics.height();
  // Right of the image's centre the text ends at the cursor; it always
  // stands above it.
  const int tx = pt.x > dest.left + dest.Width() / 2 ? pt.x - tw : pt.x;
  painter.setPen(kFrame);
  TextOut(painter, tx, pt.y - th, *text);
}

bool CVarenkoView::HitTestImage(Point pt) const {
  if (Pane1Image() == nullptr) return false;
  if (m_layout.m_vecPanes.size() < 2 || !m_layout.m_vecPanes[1]) return false;
  const Rect& r = m_layout.m_vecPanes[1]->rcDest;
  return r.left <= pt.x && pt.x <= r.right && r.top <= pt.y && pt.y <= r.bottom;
}

void CVarenkoView::RedrawDocumentView() {
  if (m_pDocument == nullptr) return;
  if (auto* view = dynamic_cast<QWidget*>(m_pDocument->m_pView)) view->update();
}

void CVarenkoView::keyPressEvent(QKeyEvent* event) {
  if (m_pDocument != nullptr) {
    const size_t n = m_pDocument->m_vecOriginal.size();
    size_t& i = m_pDocument->m_nCurrent;
    bool navigation = true;
    switch (event->key()) {
      case Qt::Key_PageUp:
      case Qt::Key_Home:
      case Qt::Key_Up:
        i = 0;
        break;
      case Qt::Key_PageDown:
      case Qt::Key_End:
      case Qt::Key_Down:
        i = n > 0 ? n - 1 : 0;
        break;
      case Qt::Key_Left:
        if (i > 0) --i;
        break;
      case Qt::Key_Right:
        if (n > 0 && i < n - 1) ++i;
        break;
      default:
        navigation = false;
        break;
    }
    if (navigation) RedrawDocumentView();
  }
  QWidget::keyPressEvent(event);
}

void CVarenkoView::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  // Sideways wheels and the start and end marks of a scroll gesture are no
  // turns of the wheel.
  const bool turn = !(delta.y() == 0 && delta.x() != 0) && event->phase() != Qt::ScrollBegin &&
                    event->phase() != Qt::ScrollEnd && event->phase() != Qt::ScrollMomentum;
  if (m_pDocument != nullptr && turn) {
    const size_t n = m_pDocument->m_vecOriginal.size();
    size_t& i = m_pDocument->m_nCurrent;
    if (delta.y() > 0) {
      if (i > 0) --i;
    } else if (n > 0 && i < n - 1) {
      ++i;
    }
    RedrawDocumentView();
  }
  QWidget::wheelEvent(event);
}

void CVarenkoView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (m_bProbe && HitTestImage(Point{p.x(), p.y()})) update();
  QWidget::mouseMoveEvent(event);
}

void CVarenkoView::contextMenuEvent(QContextMenuEvent* event) {
  // A right click opens nothing; the menu answers the keyboard's request.
  if (event->reason() == QContextMenuEvent::Mouse) return;
  auto* frame = qobject_cast<FrameWindow*>(window());
  if (frame == nullptr) return;
  QMenu menu(this);
  for (const res::MenuItem& item : res::EditPopupMenu().children) {
    QAction* action = frame->Actions().Action(item.id);
    frame->Actions().UpdateAction(item.id);
    menu.addAction(action);
  }
  menu.exec(event->globalPos());
}

void CVarenkoView::OnEnableProbe() {
  m_bProbe = !m_bProbe;
  update();
}

void CVarenkoView::OnUpdateEnableProbe(CmdUI* ui) {
  const bool folderView = m_pDocument != nullptr && m_pDocument->IsFolderView();
  ui->Enable(folderView);
  ui->SetCheck(m_bProbe && folderView ? 1 : 0);
}

namespace {

// The colour legend on a full-size copy of the frequency map: a band of 240
// steps, 4 rows each, at the middle of the image, full red at the top, with
// a tick and a label at its top, middle and bottom. The band is as wide as
// "88" in the label font and starts half the width of "8888" left of the
// centre line.
void DrawCopyLegend(QPainter& painter, int width, int height, double em, const QStringList& labels) {
  ImageText text(painter, em);
  const QSizeF size88 = text.Measure(QStringLiteral("88"));
  const int w88 = static_cast<int>(size88.width() + 0.5);
  const int h88 = static_cast<int>(size88.height() + 0.5);
  const int w8888 = static_cast<int>(text.Measure(QStringLiteral("8888")).width() + 0.5);
  const int cy = height / 2;
  const int x0 = width / 2 - w8888 / 2;
  const int x1 = x0 + w88;
  const int top = cy - 480;
  // Lines include both their end points.
  for (int i = 0; i < 240; ++i) painter.fillRect(QRect(x0, top + 4 * i, x1 - x0 + 1, 4), QColor(255, i, i));
  struct Mark {
    int row;
    QColor tick;
    QColor label;
  };
  const Mark marks[] = {
      {top, QColor(255, 0, 0), QColor(255, 0, 0)},
      {cy, QColor(255, 120, 120), QColor(255, 120, 120)},
      {cy + 480, QColor(255, 240, 240), QColor(255, 136, 136)},
  };
  for (int k = 0; k < 3; ++k) {
    painter.fillRect(QRect(x0, marks[k].row, x1 + 10 - x0 + 1, 1), marks[k].tick);
    text.Draw(QPointF(x1 + 15, marks[k].row - h88 / 2), labels.value(k), marks[k].label);
  }
}

}  // namespace

QImage CVarenkoView::CopyPicture() const {
  const Bitmap* source = Pane1Image();
  if (source == nullptr || source->IsEmpty()) return QImage();
  const int w = source->Width();
  const int h = source->Height();
  // The copy is unpacked afresh when the source is parked, which stays so;
  // once the clone is gone the image is its only owner and is written in
  // place.
  QImage picture;
  {
    std::unique_ptr<Bitmap> clone = source->CloneArea(0, 0, w, h);
    if (!clone) return QImage();
    picture = clone->Image();
  }
  const CVarenkoDoc& doc = *m_pDocument;
  const bool frequencyMap = doc.IsFolderView() && m_bProbe;
  const int f = ImageTextEm(w);
  QPainter painter(&picture);
  const QStringList lines = frequencyMap ? QStringList{Format("Maximum Frequency: %d/%d", doc.m_nMaxFrequency,
                                                              static_cast<int>(doc.m_vecOriginal.size()))}
                                         : DrawingLines();
  ImageText(painter, f).DrawLines(QPointF(5.0, 10.0), lines, kImageTextColour);
  // The legend's labels are two thirds the size of the lines.
  if (frequencyMap) DrawCopyLegend(painter, w, h, f * 48.0 / 72.0, LegendLabels());
  painter.end();
  return picture;
}

void CVarenkoView::OnEditCopy() {
  WaitCursor wait;
  QImage picture = CopyPicture();
  if (picture.isNull()) return;
  CopyImageToClipboard(std::move(picture), wait);
}

void CVarenkoView::OnUpdateEditCopy(CmdUI* ui) { ui->Enable(Pane1Image() != nullptr); }

void CVarenkoView::PrintTo(QPrinter& printer) {
  QPainter painter;
  if (!painter.begin(&printer)) return;
  // The view's client area, scaled to fit the page.
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  const double scale = std::min(page.width() / std::max(1, width()), page.height() / std::max(1, height()));
  painter.scale(scale, scale);
  m_printing = true;
  OnDraw(painter);
  m_printing = false;
  painter.end();
}

void CVarenkoView::OnFilePrint() {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() == QDialog::Accepted) PrintTo(printer);
}

void CVarenkoView::OnFilePrintDirect() {
  QPrinter printer(QPrinter::HighResolution);
  PrintTo(printer);
}

void CVarenkoView::OnFilePrintPreview() {
  QPrintPreviewDialog preview(this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) { PrintTo(*printer); });
  preview.exec();
}
