#pragma once

#include "analysis/maskbody.h"
#include "analysis/pixelrule.h"
#include "framework/scaledcopy.h"

#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class Bitmap;
class CDlgCompareFiles;
class QComboBox;
class QLineEdit;
class QPainter;
class QPushButton;

// The picture box of the comparison: a sunken frame whose inside the
// dialog draws. It takes neither clicks nor the focus.
class ComparePicture : public QFrame {
 public:
  explicit ComparePicture(CDlgCompareFiles* dialog);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CDlgCompareFiles* m_pDialog;
};

// "Compare Files": the user picks two drawings, sees their coloured overlay
// on the blank chart, or either drawing, scaled into the picture box, and
// copies the picture on show to the clipboard at its full size. The dialog
// loads its own blank chart and body mask and shares nothing with the
// document. Built on the stack without a parent and run with exec().
class CDlgCompareFiles : public QDialog {
  Q_OBJECT

 public:
  // Control ids, also the controls' object names.
  static constexpr int IDC_FIRST_FILE = 1003;
  static constexpr int IDC_SECOND_FILE = 1004;
  static constexpr int IDC_SELECT_FIRST = 1007;
  static constexpr int IDC_SELECT_SECOND = 1008;
  static constexpr int IDC_PROCESS = 1009;
  static constexpr int IDC_PICTURE = 1010;
  static constexpr int IDC_COPY = 1011;
  static constexpr int IDC_DISPLAY = 1013;

  explicit CDlgCompareFiles(QWidget* parent = nullptr);
  ~CDlgCompareFiles() override;

  // Without the blank chart or the body mask the dialog says so and ends
  // with -1 before it shows.
  int exec() override;

  // Fills the controls from the members and sets the buttons; false (after
  // the message) when the blank chart or the body mask could not be read.
  bool OnInitDialog();
  // Moves the paths and the display choice from the controls into the
  // members (save) or back.
  void UpdateData(bool save);
  // Process needs both drawings, Copy To Clipboard a picture on show.
  void UpdateButtons();
  void OnEnChangeFile();
  // Choose a drawing for a side. Every chosen file removes the overlay. A
  // file that is no image or not of the chart's size is refused; a
  // refused first drawing still switches the display to it (a white box),
  // a refused second one leaves the display as it was.
  void OnSelectFirst();
  void OnSelectSecond();
  void OnSelChangeDisplay();
  // Makes the overlay afresh on a clean blank chart and shows it.
  void OnProcess();
  void OnCopyToClipboard();
  // Colours the overlay from the two drawings and counts its colours; with
  // either drawing or the overlay missing nothing changes.
  void CompareDrawings();
  // Writes the statistics lines onto the image, only when each drawing has
  // pixels of its own.
  void DrawStatistics(Bitmap* image);
  void OnDrawItem(int id, QPainter& painter);
  // The bitmap scaled into the box's inside, white around it; a box
  // without a bitmap is white.
  void DrawImageFit(QPainter& painter, const Bitmap* image);

  // The bitmap the picture box shows: the overlay, the first or the second
  // drawing, by the display choice.
  Bitmap* DisplayedImage() const;
  // The scaled picture the box shows, kept until the bitmap or the box's
  // size changes.
  const QImage& ScaledPicture() const { return m_scaled.Image(); }

  QLineEdit* FirstFileEdit() const { return m_editFirst; }
  QLineEdit* SecondFileEdit() const { return m_editSecond; }
  QPushButton* SelectFirstButton() const { return m_btnSelectFirst; }
  QPushButton* SelectSecondButton() const { return m_btnSelectSecond; }
  QComboBox* DisplayCombo() const { return m_comboDisplay; }
  QPushButton* OkButton() const { return m_btnOk; }

  std::unique_ptr<Bitmap> m_pFirstImage;
  std::unique_ptr<Bitmap> m_pSecondImage;
  std::unique_ptr<Bitmap> m_pResultImage;
  std::unique_ptr<Bitmap> m_pMaskImage;
  uint32_t m_nFirstOnly = 0;
  uint32_t m_nSecondOnly = 0;
  uint32_t m_nCommon = 0;
  QPushButton* m_btnProcess = nullptr;
  QPushButton* m_btnCopy = nullptr;
  ComparePicture* m_btnPicture = nullptr;
  QString m_strFirstFile;
  QString m_strSecondFile;
  int m_nDisplay = 0;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The steps the two sides share; the second side stops at a refused
  // drawing.
  void SelectFile(std::unique_ptr<Bitmap>& image, QString& path, int display, bool stopWhenRefused);
  // A fresh copy of the blank chart; an empty bitmap when it could not be
  // read.
  std::unique_ptr<Bitmap> BlankChart() const;
  void InvalidatePicture();

  QLineEdit* m_editFirst = nullptr;
  QLineEdit* m_editSecond = nullptr;
  QPushButton* m_btnSelectFirst = nullptr;
  QPushButton* m_btnSelectSecond = nullptr;
  QComboBox* m_comboDisplay = nullptr;
  QPushButton* m_btnOk = nullptr;
  bool m_bInitialised = false;

  // The blank chart as read once, kept packed: reading the image from the
  // program again would take most of a Process.
  std::unique_ptr<Bitmap> m_pBlankChart;

  MaskBody m_body;

  ScaledCopy m_scaled;
};

// The nine statistics lines of an overlay's counts.
QStringList StatisticsLines(uint32_t firstOnly, uint32_t secondOnly, uint32_t common);
