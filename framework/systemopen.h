#pragma once

#include <QUrl>

#include <functional>

// Opens a file or a link with the program the system keeps for it (a PDF
// viewer, a mail program). False when nothing could open it.
bool OpenWithSystem(const QUrl& url);

// Replaces what OpenWithSystem does, so tests can see what would be opened
// without starting anything; an empty function brings the system's back.
using SystemOpener = std::function<bool(const QUrl&)>;
void SetSystemOpener(SystemOpener opener);
