// guidepdf <guide.md> <out.pdf>
// Lays out a Markdown document on A4 pages, with its pictures fitted to the
// text width, its headings and its tables, and writes it as a PDF with a page
// number at the foot of every page. Pictures are named relative to the
// Markdown file.

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Narrows every picture wider than the text to the text's width, keeping its
// shape. Widths are in the document's units, 96 to the inch.
void FitPictures(QTextDocument& document, qreal textWidth) {
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.charFormat().isImageFormat()) continue;
      QTextImageFormat format = fragment.charFormat().toImageFormat();
      const QImage image = document.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
      if (image.isNull()) {
        std::fprintf(stderr, "guidepdf: picture not found: %s\n", qPrintable(format.name()));
        std::exit(1);
      }
      const qreal width = std::min<qreal>(image.width(), textWidth);
      format.setWidth(width);
      format.setHeight(width * image.height() / image.width());
      QTextCursor cursor(&document);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(format);
    }
  }
}

// Draws tables with single grey rules and some room around each cell's text.
void StyleTables(QTextDocument& document) {
  for (QTextFrame* frame : document.rootFrame()->childFrames()) {
    auto* table = qobject_cast<QTextTable*>(frame);
    if (table == nullptr) continue;
    QTextTableFormat format = table->format();
    format.setBorderCollapse(true);
    format.setBorder(1);
    format.setBorderBrush(QColor(150, 150, 150));
    format.setCellPadding(3);
    format.setCellSpacing(0);
    table->setFormat(format);
  }
}

// Keeps every heading on the page of what follows it: a heading whose next
// block would end on a later page starts that page itself. One heading is
// moved at a time, since each move shifts everything after it.
void KeepHeadingsWithText(QTextDocument& document) {
  const qreal pageHeight = document.pageSize().height();
  QAbstractTextDocumentLayout* layout = document.documentLayout();
  for (bool moved = true; moved;) {
    moved = false;
    document.pageCount();  // lays the whole document out
    for (QTextBlock block = document.begin(); block.isValid() && !moved; block = block.next()) {
      QTextBlockFormat format = block.blockFormat();
      const QTextBlock next = block.next();
      if (format.headingLevel() == 0 || !next.isValid() ||
          format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) {
        continue;
      }
      const int headingPage = int(layout->blockBoundingRect(block).top() / pageHeight);
      const int nextPage = int((layout->blockBoundingRect(next).bottom() - 1) / pageHeight);
      if (nextPage <= headingPage) continue;
      format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      QTextCursor(block).setBlockFormat(format);
      document.markContentsDirty(0, document.characterCount());
      moved = true;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: guidepdf <guide.md> <out.pdf>\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString target = QString::fromLocal8Bit(argv[2]);
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "guidepdf: cannot read %s\n", argv[1]);
    return 1;
  }

  QPdfWriter writer(target);
  writer.setResolution(300);
  writer.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter));
  writer.setTitle(QStringLiteral("Varenko Application Guide"));
  writer.setCreator(QStringLiteral("Varenko"));

  QTextDocument document;
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPointSizeF(10);
  document.setDefaultFont(font);
  document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(source).absolutePath() + QLatin1Char('/')));
  document.setMarkdown(QString::fromUtf8(in.readAll()), QTextDocument::MarkdownDialectGitHub);

  // The page in the writer's pixels, less a strip at the foot for the page
  // number; the layout works in those pixels, so text and pictures come out
  // at the writer's full resolution.
  const qreal scale = writer.logicalDpiX() / 96.0;
  const QFontMetricsF footMetrics(font, &writer);
  const qreal foot = footMetrics.height() * 2;
  const QSizeF page(writer.width(), writer.height() - foot);
  FitPictures(document, page.width() / scale - 2 * document.documentMargin());
  StyleTables(document);
  document.documentLayout()->setPaintDevice(&writer);
  document.setPageSize(page);
  KeepHeadingsWithText(document);

  QPainter painter(&writer);
  const int pages = document.pageCount();
  for (int i = 0; i < pages; ++i) {
    if (i > 0) writer.newPage();
    painter.save();
    painter.translate(0, -i * page.height());
    document.drawContents(&painter, QRectF(0, i * page.height(), page.width(), page.height()));
    painter.restore();
    painter.setFont(font);
    painter.drawText(QRectF(0, page.height(), page.width(), foot), Qt::AlignHCenter | Qt::AlignBottom,
                     QString::number(i + 1));
  }
  if (!painter.end()) {
    std::fprintf(stderr, "guidepdf: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
