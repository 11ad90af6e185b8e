#pragma once

// Platform-internal: the program's artwork, drawn by code.

#include <QCursor>
#include <QIcon>
#include <QImage>

namespace vantoril {

// The bitmap resource (RGB32), or a null image for an unknown number.
const QImage& BitmapImage(int resource);
QIcon ProgramIcon();
QCursor CursorForNumber(int number);

}  // namespace vantoril
