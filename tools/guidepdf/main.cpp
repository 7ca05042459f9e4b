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
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

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

bool IsHeading(const QTextBlock& block) { return block.blockFormat().headingLevel() > 0; }

bool StartsPage(const QTextBlock& block) {
  return block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
}

// The pages on which a block's first and last lines stand. A block's lines
// are placed from the top of its bounding rectangle, in table cells too.
std::pair<int, int> LinePages(const QTextBlock& block, qreal pageHeight) {
  const QTextLayout* lines = block.layout();
  const qreal top = block.document()->documentLayout()->blockBoundingRect(block).top();
  if (lines == nullptr || lines->lineCount() == 0) {
    const int page = int(top / pageHeight);
    return {page, page};
  }
  const QTextLine last = lines->lineAt(lines->lineCount() - 1);
  return {int((top + lines->lineAt(0).y()) / pageHeight), int((top + last.y()) / pageHeight)};
}

// Keeps each paragraph on one page, and every heading on the page where the
// text after it starts. A paragraph split by a page break would have its
// last line before the break drawn again, clipped, at the top of the next
// page, where searching and copying find it twice; so a paragraph that
// would be split starts the next page, together with the headings right
// above it. Paragraphs in tables are left to the table, which breaks
// between its rows. One block is moved at a time, since each move shifts
// everything after it; a block that starts a page already is not moved
// again, so a paragraph taller than a page stays split.
void KeepParagraphsWhole(QTextDocument& document) {
  const qreal pageHeight = document.pageSize().height();
  for (bool moved = true; moved;) {
    moved = false;
    document.pageCount();  // lays the whole document out
    for (QTextBlock block = document.begin(); block.isValid() && !moved; block = block.next()) {
      if (IsHeading(block)) continue;
      const bool inTable = QTextCursor(block).currentTable() != nullptr;
      QTextBlock first = block;  // the first of the headings right above, or the block itself
      while (first.previous().isValid() && IsHeading(first.previous())) first = first.previous();
      const auto [top, bottom] = LinePages(block, pageHeight);
      const bool split = top != bottom && !inTable;
      const bool headingApart = first != block && LinePages(first, pageHeight).first != top;
      if (!(split || headingApart) || StartsPage(first)) continue;
      QTextBlockFormat format = first.blockFormat();
      format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      QTextCursor(first).setBlockFormat(format);
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
  KeepParagraphsWhole(document);

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
