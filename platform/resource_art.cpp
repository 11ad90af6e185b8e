#include "platform/resource_art.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>
#include <map>

#include "platform/resources.h"

namespace vantoril {

namespace {

const QColor kFace(192, 192, 192);
const QColor kFacePressed(150, 150, 150);
const QColor kShade(64, 64, 64);

// The key frame mark: C corner (the track's colour), D disc (the mark's
// colour), W the white key sign.
constexpr std::array<const char*, 12> kMarkPattern = {
    "CCCCDDDDCCCC", "CCDDDDDDDDCC", "CDDDWWWWDDDC", "CDDWWDDWWDDC", "DDDWWDDWWDDD", "DDDDWWWWDDDD",
    "DDDDDWWDDDDD", "DDDDDWWDDDDD", "CDDDDWWDDDDC", "CDDDDWWDDDDC", "CCDDDDDDDDCC", "CCCCDDDDCCCC"};

QImage MarkImage(QColor corner, QColor disc) {
  QImage image(12, 12, QImage::Format_RGB32);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      const char cell = kMarkPattern[static_cast<size_t>(y)][x];
      const QColor colour = cell == 'C' ? corner : cell == 'D' ? disc : QColor(Qt::white);
      image.setPixel(x, y, colour.rgb());
    }
  }
  return image;
}

enum class Glyph { kReverse, kStop, kPlay, kSetKey, kPrevious, kNext, kViewSingle, kViewAll };

void DrawGlyph(QPainter& painter, Glyph glyph, QRectF box, QColor colour) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  const double l = box.left(), t = box.top(), r = box.right(), b = box.bottom();
  const double cx = box.center().x(), cy = box.center().y();
  switch (glyph) {
    case Glyph::kReverse:
    case Glyph::kPrevious: {
      const QPointF points[3] = {{l, cy}, {r, t}, {r, b}};
      painter.drawPolygon(points, 3);
      break;
    }
    case Glyph::kPlay:
    case Glyph::kNext: {
      const QPointF points[3] = {{r, cy}, {l, t}, {l, b}};
      painter.drawPolygon(points, 3);
      break;
    }
    case Glyph::kStop:
      painter.drawRect(box);
      break;
    case Glyph::kSetKey: {
      const double ring = box.width() * 0.32;
      painter.setPen(QPen(colour, 2.0));
      painter.setBrush(Qt::NoBrush);
      painter.drawEllipse(QPointF(cx, t + ring), ring, ring);
      painter.drawLine(QPointF(cx, t + 2 * ring), QPointF(cx, b));
      painter.drawLine(QPointF(cx, b - 1), QPointF(cx + ring, b - 1));
      break;
    }
    case Glyph::kViewSingle:
      painter.drawRect(QRectF(l, cy - 1.5, r - l, 3));
      break;
    case Glyph::kViewAll:
      for (int row = 0; row < 3; ++row) {
        painter.drawRect(QRectF(l, t + row * (b - t) / 2.5, r - l, 2));
      }
      break;
  }
}

enum class Look { kNormal, kPressed, kLit };

QImage ButtonImage(int side, Glyph glyph, Look look) {
  QImage image(side, side, QImage::Format_RGB32);
  image.fill(look == Look::kPressed ? kFacePressed : kFace);
  QPainter painter(&image);
  painter.setPen(look == Look::kPressed ? kShade : QColor(Qt::white));
  painter.drawLine(0, 0, side - 1, 0);
  painter.drawLine(0, 0, 0, side - 1);
  painter.setPen(look == Look::kPressed ? QColor(Qt::white) : kShade);
  painter.drawLine(side - 1, 0, side - 1, side - 1);
  painter.drawLine(0, side - 1, side - 1, side - 1);
  painter.setRenderHint(QPainter::Antialiasing, side > 12);
  const double inset = side > 12 ? 5.0 : 3.0;
  const double shift = look == Look::kPressed ? 1.0 : 0.0;
  QRectF box(inset + shift, inset + shift, side - 2 * inset, side - 2 * inset);
  QColor colour = Qt::black;
  if (look == Look::kLit) {
    colour = glyph == Glyph::kStop ? QColor(200, 0, 0) : QColor(0, 160, 0);
  }
  DrawGlyph(painter, glyph, box, colour);
  return image;
}

// A slate texture: two tones in a fine diagonal weave with a little grain.
QImage BackgroundTile() {
  QImage image(128, 128, QImage::Format_RGB32);
  uint32_t seed = 0x2545F491u;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = static_cast<int>((seed >> 24) & 7) - 3;
      const int weave = ((x + y) % 8 < 4) ? 6 : 0;
      image.setPixel(x, y, qRgb(78 + weave + grain, 86 + weave + grain, 100 + weave + grain));
    }
  }
  return image;
}

}  // namespace

QImage ProgramIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // Drawn on a 32-unit square, at any size.
  painter.scale(size / 32.0, size / 32.0);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(QColor(40, 40, 48));
  painter.drawRoundedRect(QRectF(1.5, 4.5, 29, 23), 3, 3);
  painter.setBrush(QColor(90, 170, 230));
  painter.drawRect(QRectF(5.5, 8.5, 21, 15));
  painter.setBrush(QColor(250, 210, 60));
  painter.drawEllipse(QPointF(12, 14), 3.5, 3.5);
  painter.setBrush(QColor(60, 140, 60));
  const QPointF hill[3] = {{5.5, 23.5}, {16, 13}, {26.5, 23.5}};
  painter.drawPolygon(hill, 3);
  return image;
}

namespace {

// Monochrome 32 x 32 cursors: a black figure with a white rim.
QCursor MonochromeCursor(const QPainterPath& figure, int hotX, int hotY) {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.strokePath(figure, QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.fillPath(figure, Qt::white);
  painter.strokePath(figure, QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.end();
  return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

QCursor RotateCursor() {
  QPainterPath path;
  path.moveTo(9, 16);
  path.arcTo(QRectF(9, 6, 18, 20), 180, -200);
  path.moveTo(9, 16);
  path.lineTo(5, 11);
  path.moveTo(9, 16);
  path.lineTo(14, 12);
  return MonochromeCursor(path, 9, 16);
}

QCursor HandCursor() {
  QPainterPath path;
  for (int finger = 0; finger < 4; ++finger) {
    const double x = 10 + finger * 4;
    path.addRoundedRect(QRectF(x, 4 + (finger == 0 || finger == 3 ? 3 : 0), 3.5, 12), 1.5, 1.5);
  }
  path.addRoundedRect(QRectF(10, 14, 15.5, 12), 4, 4);
  path.addRoundedRect(QRectF(5, 13, 6, 3.5), 1.5, 1.5);
  return MonochromeCursor(path.simplified(), 17, 16);
}

std::map<int, QImage> MakeBitmaps() {
  std::map<int, QImage> bitmaps;
  const QColor cyan(0, 255, 255), yellow(255, 255, 0), grey(128, 128, 128);
  bitmaps[kBitmapMarkCyan] = MarkImage(cyan, Qt::black);
  bitmaps[kBitmapMarkYellow] = MarkImage(yellow, Qt::black);
  bitmaps[kBitmapMarkCurrentCyan] = MarkImage(cyan, QColor(255, 0, 0));
  bitmaps[kBitmapMarkCurrentYellow] = MarkImage(yellow, QColor(255, 0, 0));
  bitmaps[kBitmapMarkLockedCyan] = MarkImage(cyan, grey);
  bitmaps[kBitmapMarkLockedYellow] = MarkImage(yellow, grey);
  bitmaps[kBitmapReverse] = ButtonImage(19, Glyph::kReverse, Look::kNormal);
  bitmaps[kBitmapReversePressed] = ButtonImage(19, Glyph::kReverse, Look::kPressed);
  bitmaps[kBitmapReverseLit] = ButtonImage(19, Glyph::kReverse, Look::kLit);
  bitmaps[kBitmapStop] = ButtonImage(19, Glyph::kStop, Look::kNormal);
  bitmaps[kBitmapStopPressed] = ButtonImage(19, Glyph::kStop, Look::kPressed);
  bitmaps[kBitmapStopLit] = ButtonImage(19, Glyph::kStop, Look::kLit);
  bitmaps[kBitmapPlay] = ButtonImage(19, Glyph::kPlay, Look::kNormal);
  bitmaps[kBitmapPlayPressed] = ButtonImage(19, Glyph::kPlay, Look::kPressed);
  bitmaps[kBitmapPlayLit] = ButtonImage(19, Glyph::kPlay, Look::kLit);
  bitmaps[kBitmapSetKey] = ButtonImage(19, Glyph::kSetKey, Look::kNormal);
  bitmaps[kBitmapSetKeyPressed] = ButtonImage(19, Glyph::kSetKey, Look::kPressed);
  bitmaps[kBitmapPrevious] = ButtonImage(12, Glyph::kPrevious, Look::kNormal);
  bitmaps[kBitmapPreviousPressed] = ButtonImage(12, Glyph::kPrevious, Look::kPressed);
  bitmaps[kBitmapNext] = ButtonImage(12, Glyph::kNext, Look::kNormal);
  bitmaps[kBitmapNextPressed] = ButtonImage(12, Glyph::kNext, Look::kPressed);
  bitmaps[kBitmapViewSingle] = ButtonImage(12, Glyph::kViewSingle, Look::kNormal);
  bitmaps[kBitmapViewPressed] = ButtonImage(12, Glyph::kViewSingle, Look::kPressed);
  bitmaps[kBitmapViewAll] = ButtonImage(12, Glyph::kViewAll, Look::kNormal);
  bitmaps[kBitmapBackgroundTile] = BackgroundTile();
  return bitmaps;
}

int g_cursor = kCursorArrow;

}  // namespace

const QImage& BitmapImage(int resource) {
  static const std::map<int, QImage> bitmaps = MakeBitmaps();
  static const QImage none;
  const auto found = bitmaps.find(resource);
  return found == bitmaps.end() ? none : found->second;
}

QIcon ProgramIcon() {
  if (QGuiApplication::instance() == nullptr) {
    return QIcon();
  }
  static const QIcon icon(QPixmap::fromImage(ProgramIconImage(32)));
  return icon;
}

QCursor CursorForNumber(int number) {
  switch (number) {
    case kCursorCross:
      return QCursor(Qt::CrossCursor);
    case kCursorTextBeam:
      return QCursor(Qt::IBeamCursor);
    case kCursorNo:
      return QCursor(Qt::ForbiddenCursor);
    case kCursorMove:
      return QCursor(Qt::SizeAllCursor);
    case kCursorSizeNeSw:
      return QCursor(Qt::SizeBDiagCursor);
    case kCursorSizeVertical:
      return QCursor(Qt::SizeVerCursor);
    case kCursorSizeNwSe:
      return QCursor(Qt::SizeFDiagCursor);
    case kCursorSizeHorizontal:
      return QCursor(Qt::SizeHorCursor);
    case kCursorUpArrow:
      return QCursor(Qt::UpArrowCursor);
    case kCursorWait:
      return QCursor(Qt::WaitCursor);
    case kCursorRotate:
      return RotateCursor();
    case kCursorHand:
      return HandCursor();
    default:
      return QCursor(Qt::ArrowCursor);
  }
}

void SetCursor(int number) {
  if (number < kCursorArrow || number > kCursorHand) {
    number = kCursorArrow;
  }
  if (number == g_cursor || QGuiApplication::instance() == nullptr) {
    g_cursor = number;
    return;
  }
  // One override at a time: the arrow is the windows' own cursor.
  if (g_cursor != kCursorArrow) {
    QGuiApplication::restoreOverrideCursor();
  }
  if (number != kCursorArrow) {
    QGuiApplication::setOverrideCursor(CursorForNumber(number));
  }
  g_cursor = number;
}

int CurrentCursor() {
  return g_cursor;
}

Point BitmapResourceSize(int resource) {
  const QImage& image = BitmapImage(resource);
  return Point{image.width(), image.height()};
}

uint32_t BitmapResourcePixel(int resource, int x, int y) {
  const QImage& image = BitmapImage(resource);
  if (!image.valid(x, y)) {
    return 0;
  }
  const QRgb pixel = image.pixel(x, y);
  return Rgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

}  // namespace vantoril
