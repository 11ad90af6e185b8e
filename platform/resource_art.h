#pragma once

// Platform-internal: the program's artwork, drawn by code.

#include <QCursor>
#include <QIcon>
#include <QImage>

namespace vantoril {

// The bitmap resource (RGB32), or a null image for an unknown number.
const QImage& BitmapImage(int resource);
QIcon ProgramIcon();
// The program's icon drawn at size x size pixels (ARGB).
QImage ProgramIconImage(int size);
QCursor CursorForNumber(int number);

}  // namespace vantoril
