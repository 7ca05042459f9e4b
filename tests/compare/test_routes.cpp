#include "analysis/document.h"
#include "compare/comparedialog.h"
#include "framework/prompts.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QPushButton>

#include <gtest/gtest.h>

#include <array>

namespace {

// What each route to a drawing makes of one file: whether a folder run
// keeps it (and its count), Open File opens it (and its count), and the
// comparison takes it.
struct Taken {
  bool folder = false;
  int folderCount = -1;
  bool opened = false;
  int openedCount = -1;
  bool compared = false;
};

Taken ThroughEveryRoute(const QString& file) {
  ScriptedPrompts prompts;
  Taken taken;
  const QString folder = TempDir();
  const QString path = folder + QStringLiteral("/drawing.png");
  if (!QFile::copy(file, path)) return taken;
  CVarenkoDoc doc;
  doc.m_bSmartArea = false;
  if (!doc.OnNewDocument()) return taken;
  prompts.Answer(folder);
  const QString here = QDir::currentPath();
  doc.OnOpenFolder();
  QDir::setCurrent(here);
  taken.folder = !doc.m_vecSelectedPixels.empty();
  if (taken.folder) taken.folderCount = doc.m_vecSelectedPixels[0];
  taken.opened = doc.OnOpenDocument(path);
  if (taken.opened) taken.openedCount = doc.m_vecSelectedPixels[0];
  CDlgCompareFiles dialog;
  prompts.Answer(path);
  dialog.SelectFirstButton()->click();
  taken.compared = dialog.m_pFirstImage != nullptr;
  return taken;
}

// Every chunk intact, but no valid PNG: a chunk whose type holds a byte
// that is no letter, or pixels that index past the palette. Each route
// refuses them alike, as it reads a valid drawing alike.
TEST(EveryRoute, RefusesWhatIsNoValidPngAndReadsADrawing) {
  const QString corpus = SourcePath(QStringLiteral("tests/data/png/"));
  const std::pair<QString, bool> files[] = {
      {SavePng(ChartDrawing({QRect(900, 950, 100, 100)}), QStringLiteral("drawing.png")), true},
      {corpus + QStringLiteral("chunk_type_digit.png"), false},
      {corpus + QStringLiteral("chunk_type_high_byte.png"), false},
      {corpus + QStringLiteral("chunk_type_space.png"), false},
      {corpus + QStringLiteral("palette_index_past_end.png"), false},
  };
  for (const auto& [file, valid] : files) {
    SCOPED_TRACE(file.toStdString());
    const Taken taken = ThroughEveryRoute(file);
    EXPECT_EQ((std::array{taken.folder, taken.opened, taken.compared}), (std::array{valid, valid, valid}));
    if (valid) {
      EXPECT_EQ(std::pair(taken.folderCount, taken.openedCount), std::pair(10000, 10000));
    }
  }
}

}  // namespace
