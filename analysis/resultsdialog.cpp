#include "analysis/resultsdialog.h"

#include "analysis/document.h"
#include "analysis/listcolor.h"
#include "analysis/threshold.h"
#include "framework/application.h"
#include "framework/dialogunits.h"
#include "framework/files.h"
#include "framework/prompts.h"
#include "framework/text.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringEncoder>

#include <cmath>

namespace {

const QColor kCsText(196, 0, 0);
const QColor kCsBackground(223, 223, 223);

// A name as one field of one row: a tab, carriage return or line feed in it
// would end the field or the row in the table, so each stands as a space.
QString FieldText(QString name) {
  for (QChar& c : name) {
    if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
  }
  return name;
}

}  // namespace

CDlgResults::CDlgResults(CVarenkoDoc* doc, QWidget* parent) : QDialog(parent, FixedDialogFlags()), m_pDoc(doc) {
  setWindowTitle(QStringLiteral("Results"));
  setFont(DialogUnits::DialogFont());
  const DialogUnits units(font());
  // Controls are made once the dialog has its font: under a look's style
  // sheet, a control made before would keep the application's larger font.
  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_export = new QPushButton(QStringLiteral("Export To Text File..."), this);
  m_edit = new QPlainTextEdit(this);
  m_listResults = new MCListColor(this);
  m_ok->setGeometry(units.ToPixels(164, 286, 50, 14));
  m_ok->setDefault(true);
  m_export->setGeometry(units.ToPixels(218, 286, 84, 14));
  m_listResults->setGeometry(units.ToPixels(7, 7, 295, 140));
  m_edit->setGeometry(units.ToPixels(7, 152, 295, 129));
  m_edit->setReadOnly(true);
  m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The box has no scroll bars. The report has more lines than it shows in
  // most fonts: the keys move a caret through it, and the text scrolls to
  // keep the caret in view, as the wheel scrolls it too.
  m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setFixedSize(units.ToPixels(0, 0, 309, 307).size());
  // Tab order: OK, Export, the list, the report.
  setTabOrder(m_ok, m_export);
  setTabOrder(m_export, m_listResults);
  setTabOrder(m_listResults, m_edit);
  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_export, &QPushButton::clicked, this, &CDlgResults::OnExport);
}

CDlgResults::~CDlgResults() = default;

int CDlgResults::DoModal() {
  OnInitDialog();
  if (m_bEnded) return -1;
  return exec();
}

void CDlgResults::SetupColumns() {
  struct Column {
    const char* title;
    int width;
  };
  static constexpr Column kColumns[] = {{"#", 40}, {"Filename", 250}, {"Ratio (%)", 70}, {"CS", 50}};
  for (int i = 0; i < 4; ++i) {
    const QString title = QString::fromLatin1(kColumns[i].title);
    m_listResults->InsertColumn(i, title, kColumns[i].width);
    m_strTable += title + QLatin1String(i < 3 ? "\t" : "\r\n");
  }
}

double MeanAbsoluteDeviation(const std::vector<double>& values, double mean) {
  double sum = 0.0;
  for (double value : values) sum += std::fabs(mean - value);
  return sum / static_cast<double>(values.size());
}

bool CDlgResults::OnInitDialog() {
  const QString threshold = ReadThresholdText();
  m_dThreshold = ParseLeadingDouble(threshold);
  setWindowTitle(Format("Results (CS Threshold = %s %%)", threshold));
  m_strStatistics = Format("CS Threshold = %s %%\r\n", threshold);
  SetupColumns();

  CVarenkoDoc& doc = *m_pDoc;
  const size_t n = doc.m_vecOriginal.size();
  if (n == 0) {
    m_bEnded = true;
    done(-1);
    return true;
  }
  // The view follows the rows to the last one and shows the first drawing
  // once the dialog is up; nothing is drawn meanwhile, so no parked drawing
  // is woken for a row.
  doc.m_nCurrent = 0;
  if (doc.m_pView != nullptr) doc.m_pView->Invalidate();
  m_listResults->DeleteAllItems();

  double sum = 0.0;
  double sumCS = 0.0;
  double sumNon = 0.0;
  int nCS = 0;
  int nNon = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t cur = doc.m_nCurrent;
    const int row = static_cast<int>(i);
    const QString number = Format("%zd", i + 1);
    m_listResults->InsertItem(row, number);
    // Each drawing's own name and count: a drawing without a processed
    // copy counts 0, and the rows after it keep theirs.
    const QString name = cur < doc.m_vecFileName.size() ? FieldText(doc.m_vecFileName[cur]) : QString();
    const bool processed = cur < doc.m_vecProcessed.size() && doc.m_vecProcessed[cur] != nullptr;
    const int count = processed && cur < doc.m_vecSelectedPixels.size() ? doc.m_vecSelectedPixels[cur] : 0;
    const double ratio = Ratio(count, doc.m_nBodyPixels);
    const QString ratioText = Format("%.2f", ratio);
    // A ratio that is not a number reads "true" here but counts below the
    // threshold in the report, as the two tests differ for it.
    const bool label = !(m_dThreshold > ratio);
    const QString cs = QString::fromLatin1(label ? "true" : "false");
    m_listResults->SetItemText(row, 1, name);
    m_listResults->SetItemText(row, 2, ratioText);
    m_listResults->SetItemText(row, 3, cs);
    m_strTable += number + QLatin1Char('\t') + name + QLatin1Char('\t') + ratioText + QLatin1Char('\t') + cs +
                  QLatin1String("\r\n");
    m_vecCSFlag.push_back(label ? 1 : 0);
    if (label) m_listResults->SetRowColours(row, kCsText, kCsBackground);
    m_vecRatio.push_back(ratio);
    sum += ratio;
    if (ratio >= m_dThreshold) {
      ++nCS;
      sumCS += ratio;
      m_vecRatioCS.push_back(ratio);
    } else {
      ++nNon;
      sumNon += ratio;
      m_vecRatioNonCS.push_back(ratio);
    }
    if (cur + 1 < doc.m_vecOriginal.size()) doc.m_nCurrent = cur + 1;
  }
  m_strTable += QLatin1String("\r\n");
  doc.m_nCurrent = 0;
  if (doc.m_pView != nullptr) doc.m_pView->Invalidate();

  const double mean = sum / static_cast<double>(n);
  const double meanCS = nCS > 0 ? sumCS / nCS : 0.0;
  const double meanNon = nNon > 0 ? sumNon / nNon : 0.0;
  m_strStatistics += Format("Total number of pictures = %zd\r\n", n);
  m_strStatistics += Format("Number of pictures with CS = %zd (%.2f%%)\r\n", static_cast<size_t>(nCS),
                            static_cast<double>(nCS) * 100.0 / static_cast<double>(n));
  m_strStatistics += QLatin1String("\r\n");
  m_strStatistics += Format("Mean picture ratio = %.2f\r\n", mean);
  if (nCS > 0) m_strStatistics += Format("Mean picture with CS ratio = %.2f\r\n", meanCS);
  if (nNon > 0) m_strStatistics += Format("Mean picture without CS ratio = %.2f\r\n", meanNon);
  if (n >= 2) {
    m_strStatistics += QLatin1String("\r\n");
    m_strStatistics += Format("SD picture ratio = %.2f\r\n", MeanAbsoluteDeviation(m_vecRatio, mean));
    if (nCS > 0) {
      m_strStatistics += Format("SD picture with CS ratio = %.2f\r\n", MeanAbsoluteDeviation(m_vecRatioCS, meanCS));
    }
    if (nNon > 0) {
      m_strStatistics +=
          Format("SD picture without CS ratio = %.2f\r\n", MeanAbsoluteDeviation(m_vecRatioNonCS, meanNon));
    }
    m_strStatistics += QLatin1String("\r\n");
    m_strStatistics +=
        Format("Frequency distribution of the whole picture set = %d/%d\r\n", doc.m_nMaxFrequency, static_cast<int>(n));
    m_strStatistics += Format("Frequency distribution of the CS picture set = %d/%d\r\n", doc.m_nMaxFrequencyCS,
                              static_cast<int>(n) - nNon);
    m_strStatistics += Format("Frequency distribution of the non CS picture set = %d/%d\r\n", doc.m_nMaxFrequencyNonCS,
                              static_cast<int>(n) - nCS);
  }
  UpdateData();
  return true;
}

void CDlgResults::UpdateData() {
  QString shown = m_strStatistics;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  if (shown.endsWith(QLatin1Char('\n'))) shown.chop(1);
  m_edit->setPlainText(shown);
}

QByteArray ResultsFileBytes(const QString& table, const QString& statistics) {
  QStringEncoder encoder(QStringEncoder::Utf16LE);
  QByteArray bytes = encoder(table);
  bytes += encoder(statistics);
  return bytes;
}

void CDlgResults::OnExport() {
  FileDialogOptions options;
  Application::GetDesktopPath(options.initialDir);
  options.fileName = QStringLiteral("Results.txt");
  options.filter = QStringLiteral("Text Files (*.txt)");
  const std::optional<QString> path = Prompts::Current().SaveFile(options);
  if (!path) return;
  // Written whole or not at all: a failure keeps the old file as it was.
  if (WriteWholeFile(*path, ResultsFileBytes(m_strTable, m_strStatistics))) {
    Prompts::Current().MessageBox(QStringLiteral("The file was saved successfully"), MessageIcon::Information);
  } else {
    Prompts::Current().MessageBox(QStringLiteral("The file could not be saved"), MessageIcon::Error);
  }
}
