#pragma once

class QImage;

// Puts an image on the system clipboard. False when there is no clipboard
// or it did not take the image; the caller then tells the user.
bool PutImageOnClipboard(const QImage& image);
