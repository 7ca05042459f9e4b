#include "compare/comparedialog.h"

#include "compare/overlay.h"
#include "framework/bitmap.h"
#include "framework/clipboard.h"
#include "framework/dialogunits.h"
#include "framework/imagetext.h"
#include "framework/prompts.h"
#include "framework/text.h"
#include "framework/waitcursor.h"
#include "resources/resource.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

ComparePicture::ComparePicture(CDlgCompareFiles* dialog) : QFrame(dialog), m_pDialog(dialog) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  // Every pixel inside is drawn each time: nothing is erased first, so
  // nothing flickers.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
  setEnabled(false);
}

void ComparePicture::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  m_pDialog->OnDrawItem(CDlgCompareFiles::IDC_PICTURE, painter);
}

CDlgCompareFiles::CDlgCompareFiles(QWidget* parent)
    : QDialog(parent, FixedDialogFlags()),
      m_pMaskImage(Bitmap::FromResource(res::IDB_BODY_MASK)),
      m_pBlankChart(Bitmap::FromResource(res::IDB_BLANK_CHART_COMPARE)) {
  m_pResultImage = BlankChart();
  m_pBlankChart->Park();
  setWindowTitle(QStringLiteral("Compare Files"));
  setFont(DialogUnits::DialogFont());
  // Controls are made once the dialog has its font: under a look's style
  // sheet, a control made before would keep the application's larger font.
  m_btnProcess = new QPushButton(QStringLiteral("Process"), this);
  m_btnCopy = new QPushButton(QStringLiteral("Copy To Clipboard"), this);
  m_btnPicture = new ComparePicture(this);
  m_editFirst = new QLineEdit(this);
  m_editSecond = new QLineEdit(this);
  m_btnSelectFirst = new QPushButton(QStringLiteral("Select..."), this);
  m_btnSelectSecond = new QPushButton(QStringLiteral("Select..."), this);
  m_comboDisplay = new QComboBox(this);
  m_btnOk = new QPushButton(QStringLiteral("OK"), this);
  const DialogUnits units(font());

  auto* group = new QGroupBox(QStringLiteral(" Files to compare "), this);
  group->setGeometry(units.ToPixels(7, 7, 493, 52));
  group->lower();
  auto label = [&](const char* text, int x, int y, int w, int h) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setGeometry(units.ToPixels(x, y, w, h));
  };
  label("First file:", 12, 24, 29, 8);
  m_editFirst->setGeometry(units.ToPixels(44, 20, 150, 14));
  m_btnSelectFirst->setGeometry(units.ToPixels(197, 21, 50, 14));
  label("Second file:", 254, 24, 38, 8);
  m_editSecond->setGeometry(units.ToPixels(296, 20, 146, 14));
  m_btnSelectSecond->setGeometry(units.ToPixels(445, 21, 50, 14));
  m_btnProcess->setGeometry(units.ToPixels(445, 38, 50, 14));
  label("Display:", 12, 41, 26, 8);
  m_comboDisplay->addItems({QStringLiteral("Results"), QStringLiteral("First Image"), QStringLiteral("Second Image")});
  // Most looks draw a wider arrow than the layout allows for, which would
  // cut "Second Image" short: the box grows to the right, where nothing
  // stands, as far as its longest entry needs.
  QRect displayBox = units.ToPixels(44, 40, 63, 14);
  displayBox.setWidth(std::max(displayBox.width(), m_comboDisplay->sizeHint().width()));
  m_comboDisplay->setGeometry(displayBox);
  m_btnPicture->setGeometry(units.ToPixels(7, 62, 493, 336));
  m_btnOk->setGeometry(units.ToPixels(372, 403, 50, 14));
  m_btnOk->setDefault(true);
  m_btnCopy->setGeometry(units.ToPixels(424, 403, 76, 14));
  setFixedSize(units.ToPixels(0, 0, 507, 424).size());

  const std::pair<QWidget*, int> named[] = {{m_editFirst, IDC_FIRST_FILE},
                                            {m_editSecond, IDC_SECOND_FILE},
                                            {m_btnSelectFirst, IDC_SELECT_FIRST},
                                            {m_btnSelectSecond, IDC_SELECT_SECOND},
                                            {m_btnProcess, IDC_PROCESS},
                                            {m_btnPicture, IDC_PICTURE},
                                            {m_btnCopy, IDC_COPY},
                                            {m_comboDisplay, IDC_DISPLAY}};
  for (const auto& [widget, id] : named) widget->setObjectName(QString::number(id));

  QWidget* const tabOrder[] = {m_editFirst,  m_btnSelectFirst, m_editSecond, m_btnSelectSecond,
                               m_btnProcess, m_comboDisplay,   m_btnOk,      m_btnCopy};
  for (size_t i = 0; i + 1 < std::size(tabOrder); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);

  connect(m_editFirst, &QLineEdit::textChanged, this, &CDlgCompareFiles::OnEnChangeFile);
  connect(m_editSecond, &QLineEdit::textChanged, this, &CDlgCompareFiles::OnEnChangeFile);
  connect(m_btnSelectFirst, &QPushButton::clicked, this, &CDlgCompareFiles::OnSelectFirst);
  connect(m_btnSelectSecond, &QPushButton::clicked, this, &CDlgCompareFiles::OnSelectSecond);
  connect(m_btnProcess, &QPushButton::clicked, this, &CDlgCompareFiles::OnProcess);
  connect(m_comboDisplay, &QComboBox::activated, this, &CDlgCompareFiles::OnSelChangeDisplay);
  connect(m_btnCopy, &QPushButton::clicked, this, &CDlgCompareFiles::OnCopyToClipboard);
  connect(m_btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

CDlgCompareFiles::~CDlgCompareFiles() = default;

int CDlgCompareFiles::exec() {
  // The references are checked before the window shows: without them it
  // never appears.
  if (!m_bInitialised && !OnInitDialog()) return -1;
  return QDialog::exec();
}

void CDlgCompareFiles::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_bInitialised && !OnInitDialog()) {
    // Ended once the window has finished showing.
    QMetaObject::invokeMethod(
        this, [this] { done(-1); }, Qt::QueuedConnection);
  }
}

bool CDlgCompareFiles::OnInitDialog() {
  m_bInitialised = true;
  UpdateData(false);
  const bool loaded = m_pResultImage && !m_pResultImage->IsEmpty() && m_pMaskImage && !m_pMaskImage->IsEmpty();
  if (!loaded) {
    Prompts::Current().MessageBox(QStringLiteral("The reference image could not be read"), MessageIcon::Error);
    setResult(-1);
    return false;
  }
  UpdateButtons();
  InvalidatePicture();
  // Keys go first to the first path, the first control in the tab order,
  // rather than to OK, where a key pressed at once would close the dialog.
  m_editFirst->setFocus();
  return true;
}

void CDlgCompareFiles::UpdateData(bool save) {
  if (save) {
    m_strFirstFile = m_editFirst->text();
    m_strSecondFile = m_editSecond->text();
    m_nDisplay = m_comboDisplay->currentIndex();
    return;
  }
  m_editFirst->setText(m_strFirstFile);
  m_editSecond->setText(m_strSecondFile);
  m_comboDisplay->setCurrentIndex(m_nDisplay);
}

Bitmap* CDlgCompareFiles::DisplayedImage() const {
  switch (m_nDisplay) {
    case 0:
      return m_pResultImage.get();
    case 1:
      return m_pFirstImage.get();
    case 2:
      return m_pSecondImage.get();
    default:
      return nullptr;
  }
}

void CDlgCompareFiles::UpdateButtons() {
  m_btnProcess->setEnabled(m_pFirstImage != nullptr && m_pSecondImage != nullptr);
  m_btnCopy->setEnabled(DisplayedImage() != nullptr);
}

void CDlgCompareFiles::OnEnChangeFile() { UpdateButtons(); }

void CDlgCompareFiles::InvalidatePicture() { m_btnPicture->update(); }

void CDlgCompareFiles::OnSelectFirst() { SelectFile(m_pFirstImage, m_strFirstFile, 1, false); }

void CDlgCompareFiles::OnSelectSecond() { SelectFile(m_pSecondImage, m_strSecondFile, 2, true); }

void CDlgCompareFiles::SelectFile(std::unique_ptr<Bitmap>& image, QString& path, int display, bool stopWhenRefused) {
  FileDialogOptions options;
  options.fileName = path;
  options.filter = QStringLiteral("PNG Files (*.png);;All Files (*.*)");
  const std::optional<QString> chosen = Prompts::Current().OpenFile(options);
  if (!chosen) return;
  // The overlay belongs to the drawings it was made from.
  m_pResultImage.reset();
  path = *chosen;
  UpdateData(false);
  image.reset();
  image = Bitmap::FromFile(path);
  if (image->IsEmpty()) {
    Prompts::Current().MessageBox(QStringLiteral("The file is not a valid image"), MessageIcon::Error);
  }
  if (image->Width() != m_pMaskImage->Width() || image->Height() != m_pMaskImage->Height() || image->IsEmpty()) {
    Prompts::Current().MessageBox(QStringLiteral("The image does not have the correct dimensions"), MessageIcon::Error);
    image.reset();
    path.clear();
    UpdateData(false);
    if (stopWhenRefused) return;
  }
  m_nDisplay = display;
  UpdateData(false);
  UpdateButtons();
  InvalidatePicture();
}

void CDlgCompareFiles::OnSelChangeDisplay() {
  UpdateData(true);
  if (m_nDisplay == 0) OnProcess();
  InvalidatePicture();
}

void CDlgCompareFiles::OnProcess() {
  // Every overlay starts from a clean chart, so statistics lines never
  // pile up.
  m_pResultImage = BlankChart();
  CompareDrawings();
  m_nDisplay = 0;
  UpdateData(false);
  InvalidatePicture();
}

std::unique_ptr<Bitmap> CDlgCompareFiles::BlankChart() const {
  std::unique_ptr<Bitmap> chart = m_pBlankChart->CloneArea(0, 0, m_pBlankChart->Width(), m_pBlankChart->Height());
  return chart ? std::move(chart) : std::make_unique<Bitmap>();
}

void CDlgCompareFiles::CompareDrawings() {
  if (!m_pFirstImage || !m_pSecondImage || !m_pResultImage) return;
  m_nFirstOnly = 0;
  m_nSecondOnly = 0;
  m_nCommon = 0;
  {
    const Bitmap::Lock first = m_pFirstImage->LockBitsForReading();
    const Bitmap::Lock second = m_pSecondImage->LockBitsForReading();
    const Bitmap::Lock result = m_pResultImage->LockBits();
    const OverlayCounts counts =
        OverlayDrawings(first.data(), second.data(), result.data(), m_body.Of(m_pMaskImage.get()));
    m_nFirstOnly = counts.firstOnly;
    m_nSecondOnly = counts.secondOnly;
    m_nCommon = counts.common;
  }
  DrawStatistics(m_pResultImage.get());
}

QStringList StatisticsLines(uint32_t firstOnly, uint32_t secondOnly, uint32_t common) {
  const auto d = [](uint32_t n) { return static_cast<int>(n); };
  return {
      Format("first total (red + green): %d", d(common + firstOnly)),
      Format("first only (red): %d", d(firstOnly)),
      Format("second total (blue + green): %d", d(common + secondOnly)),
      Format("second only (blue: %d", d(secondOnly)),
      Format("common area (green): %d", d(common)),
      Format("total area (first + second): %d", d(firstOnly + common + secondOnly)),
      Format("common vs first: %.2f%%", SharePercent(common, firstOnly + common)),
      Format("common vs second: %.2f%%", SharePercent(common, secondOnly + common)),
      Format("common vs total: %.2f%%", SharePercent(common, common + firstOnly + secondOnly)),
  };
}

void CDlgCompareFiles::DrawStatistics(Bitmap* image) {
  if (image == nullptr || m_nSecondOnly == 0 || m_nFirstOnly == 0) return;
  const Bitmap::Lock lock = image->LockBits();
  if (!lock.ok()) return;
  const BitmapData& data = lock.data();
  QImage canvas(data.scan0, data.width, data.height, data.stride, QImage::Format_RGB32);
  QPainter painter(&canvas);
  ImageText(painter, ImageTextEm(data.width))
      .DrawLines(QPointF(5.0, 10.0), StatisticsLines(m_nFirstOnly, m_nSecondOnly, m_nCommon), kImageTextColour);
}

void CDlgCompareFiles::OnCopyToClipboard() {
  const Bitmap* image = DisplayedImage();
  if (image == nullptr) return;
  WaitCursor wait;
  CopyImageToClipboard(image->Image(), wait);
}

void CDlgCompareFiles::OnDrawItem(int id, QPainter& painter) {
  if (id == IDC_PICTURE) DrawImageFit(painter, DisplayedImage());
}

void CDlgCompareFiles::DrawImageFit(QPainter& painter, const Bitmap* image) {
  const QRect inside = m_btnPicture->contentsRect();
  painter.fillRect(inside, Qt::white);
  if (image == nullptr || image->IsEmpty()) return;
  const Rect fit = FitPicture(inside.width(), inside.height(), image->Width(), image->Height());
  if (fit.IsEmpty()) return;
  const Rect whole{0, 0, image->Width(), image->Height()};
  painter.drawImage(inside.topLeft() + QPoint(fit.left, fit.top),
                    m_scaled.Of(*image, whole, QSize(fit.Width(), fit.Height())));
}
