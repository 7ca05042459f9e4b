#pragma once

#include "analysis/documentview.h"
#include "framework/commands.h"
#include "framework/geometry.h"
#include "framework/scaledcopy.h"
#include "shell/panelayout.h"

#include <QFont>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <span>

class Bitmap;
class CVarenkoDoc;
class QPainter;
class QPrinter;

// The view: the current drawing twice, side by side, at one zoom. Pane 0
// shows the original, pane 1 the processed copy, or in folder view with
// the probe on the frequency map with its legend and the read-out of the
// frequency under the mouse. Each pane carries its information lines.
class CVarenkoView : public QWidget, public CommandMapped<CVarenkoView>, public DocumentView {
  Q_OBJECT

 public:
  explicit CVarenkoView(CVarenkoDoc* document, QWidget* parent = nullptr);
  ~CVarenkoView() override;

  static std::span<const CommandEntry<CVarenkoView>> CommandMap();

  CVarenkoDoc* GetDocument() const { return m_pDocument; }

  // Registers the view with its document and measures the title band;
  // false when there is no document.
  bool OnCreate();
  // Fits the current drawing into the panes at one common scale and
  // redraws.
  void UpdateLayout() override;
  void Invalidate() override { update(); }
  // Cuts the panes afresh from the client area when it changed by 2 pixels
  // or more; the zoom stays.
  void OnSize();

  // Draws the whole view (background, frames, titles, images, texts) with
  // the painter; the screen, printing and the preview all use it.
  void OnDraw(QPainter& painter);

  // Whether a client point lies on pane 1's image (right and bottom edges
  // included).
  bool HitTestImage(Point pt) const;
  // The information lines of a pane, top to bottom.
  QStringList InfoLines(size_t pane) const;
  // The labels of the frequency legend: top, middle, bottom.
  QStringList LegendLabels() const;
  // What the Copy command puts on the clipboard: pane 1's image at its full
  // size, on a 32-bit copy, with the lines of the drawing or, for the
  // frequency map, its line and its legend written onto it; a null image
  // when pane 1 shows nothing. The document's bitmaps stay as they are.
  QImage CopyPicture() const;
  // The probe's read-out at a client point over pane 1's image: how many
  // drawings marked the pixel there; nothing over a grey pixel or off the
  // image.
  std::optional<QString> ProbeText(Point pt, const Bitmap* image) const;

  // Commands.
  void OnEnableProbe();
  void OnUpdateEnableProbe(CmdUI* ui);
  // Copies pane 1's image with its texts to the clipboard (CopyPicture).
  void OnEditCopy();
  void OnUpdateEditCopy(CmdUI* ui);
  void OnFilePrint();
  void OnFilePrintDirect();
  void OnFilePrintPreview();
  // Prints the view onto the printer's page, scaled to fit.
  void PrintTo(QPrinter& printer);

  PaneLayout m_layout;
  uint8_t m_nViewMode = 2;
  QFont m_titleFont;
  Size m_sizeTitle;
  Rect m_rcClient;
  bool m_bProbe = false;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  Rect ClientRect() const;
  // Whether the view shows in an exposed window.
  bool IsOnScreen() const;
  void DrawPanes(QPainter& painter);
  void DrawImagePane(QPainter& painter, const Rect& dest, const Rect& src, Bitmap* image, size_t pane);
  void DrawLegend(QPainter& painter, const Rect& dest);
  void DrawInfoText(QPainter& painter, size_t pane, Bitmap* image, const Rect& dest);
  void DrawProbeReadout(QPainter& painter, Bitmap* image, const Rect& dest);
  // The body, selected-pixel and ratio lines of the current drawing.
  QStringList DrawingLines() const;
  // Pane 1's image: the frequency map in folder view with the probe on,
  // else the current processed copy; null when there is none.
  Bitmap* Pane1Image() const;
  // Redraws the document's view.
  void RedrawDocumentView();

  // The last scaled copy of each pane's image.
  ScaledCopy m_scaled[2];

  CVarenkoDoc* m_pDocument;
  bool m_printing = false;
  // The drawing was fitted while the view was not on screen yet.
  bool m_bFitBeforeShown = false;
};

// The probe setting in the "Options" section.
inline constexpr const char* kProbeEntry = "Enable Probe";
