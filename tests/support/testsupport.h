#pragma once

#include <QString>

// The source tree, for tests that read committed files (samples, resources).
QString SourcePath(const QString& relative);

// A fresh folder that lives until the test process ends.
QString TempDir();
