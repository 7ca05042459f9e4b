#include "analysis/document.h"
#include "compare/comparedialog.h"
#include "framework/prompts.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

// What the three ways a user reads a drawing make of one file: whether a
// folder run counts it (under a drawing's name, with a mask of the size
// given), whether Open File shows it, and whether the comparison takes it.
struct Answers {
  bool folderRun, openFile, comparison;
  bool operator==(const Answers&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Answers& a) {
  return out << "folder run " << a.folderRun << ", Open File " << a.openFile << ", comparison " << a.comparison;
}

class ReadRoutes : public ::testing::Test {
 protected:
  Answers Read(const QString& path, QSize size) {
    const QString folder = TempDir();
    EXPECT_TRUE(QFile::copy(path, folder + QStringLiteral("/drawing.png")));
    QImage mask(size, QImage::Format_RGB32);
    mask.fill(qRgb(116, 167, 254));  // body all over
    run_.m_pBodyMask = std::make_unique<Bitmap>(mask);
    const QString here = QDir::currentPath();
    run_.LoadFolderImages(folder);
    QDir::setCurrent(here);
    prompts_.Clear();
    prompts_.Answer(path);
    dialog_.SelectFirstButton()->click();
    return {!run_.m_vecFileName.empty(), alone_.OnOpenDocument(path),
            !prompts_.Messages().contains(QStringLiteral("The file is not a valid image"))};
  }

  ScriptedPrompts prompts_;
  CVarenkoDoc run_;
  CVarenkoDoc alone_;
  CDlgCompareFiles dialog_;
};

TEST_F(ReadRoutes, FilesCutShortAreRefusedByEveryRouteAndWholeOnesReadByAll) {
  // The image corpus: its drawings whole, and cut at 30, 60 or 90 % of their
  // bytes (or in the colour table Qt writes last in a TIFF file), which the
  // decoders would fill up with made-up rows.
  const QDir images(SourcePath(QStringLiteral("tests/data/images")));
  int cut = 0;
  for (const QString& name : images.entryList(QDir::Files)) {
    SCOPED_TRACE(name.toStdString());
    const bool whole = name.startsWith(QStringLiteral("drawing"));
    cut += !whole;
    const QSize size = name.endsWith(QStringLiteral(".ico")) ? QSize(64, 48) : QSize(200, 150);
    EXPECT_EQ(Read(images.filePath(name), size), (Answers{whole, whole, whole}));
  }
  EXPECT_EQ(cut, 25);
}

}  // namespace
