#include "platform/drawing.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPixmap>
#include <algorithm>
#include <vector>

#include "engine/image_buffer.h"
#include "platform/resource_art.h"
#include "platform/window_impl.h"

namespace vantoril {

namespace {

QColor ToQColor(uint32_t colour) {
  return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPainter* CurrentPainter() {
  DrawingTarget* target = CurrentDrawingTarget();
  return target != nullptr ? target->painter.get() : nullptr;
}

void Dirty() {
  if (DrawingTarget* target = CurrentDrawingTarget()) {
    target->MarkDirty();
  }
}

QPen MakePen(const QColor& colour, int width, int style) {
  if (style == kPenNull) {
    return QPen(Qt::NoPen);
  }
  QPen pen(colour);
  pen.setWidth(std::max(1, width));
  switch (style) {
    case kPenDash:
      pen.setStyle(Qt::DashLine);
      break;
    case kPenDot:
      pen.setStyle(Qt::DotLine);
      break;
    case kPenDashDot:
      pen.setStyle(Qt::DashDotLine);
      break;
    case kPenDashDotDot:
      pen.setStyle(Qt::DashDotDotLine);
      break;
    default:
      pen.setStyle(Qt::SolidLine);
      break;
  }
  // Thin lines end before their end point; wide pens are round.
  pen.setCapStyle(width <= 1 ? Qt::FlatCap : Qt::RoundCap);
  pen.setJoinStyle(width <= 1 ? Qt::MiterJoin : Qt::RoundJoin);
  return pen;
}

// The box an outline pen of one pixel traces for a rectangle whose right and
// bottom edges lie outside it.
QRect OutlineBox(const Rect& rect) {
  return QRect(rect.left, rect.top, rect.right - rect.left - 1, rect.bottom - rect.top - 1);
}

bool Degenerate(const Rect& rect) {
  return rect.right <= rect.left || rect.bottom <= rect.top;
}

// Draws with the painter set up for one call; the painter's state comes back.
template <typename Draw>
void WithPainter(const QPen& pen, const QBrush& brush, bool invert, Draw draw) {
  QPainter* painter = CurrentPainter();
  if (painter == nullptr) {
    return;
  }
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setPen(pen);
  painter->setBrush(brush);
  if (invert) {
    painter->setCompositionMode(QPainter::RasterOp_NotDestination);
  }
  draw(*painter);
  painter->restore();
  Dirty();
}

// The pixels of a thin line, its end point left out, as the drawing tables
// expect (so that the segments of an outline meet without overlapping).
void AppendLinePixels(QPoint from, QPoint to, QPolygon& pixels) {
  int x = from.x(), y = from.y();
  const int dx = std::abs(to.x() - x), sx = x < to.x() ? 1 : -1;
  const int dy = -std::abs(to.y() - y), sy = y < to.y() ? 1 : -1;
  int error = dx + dy;
  while (x != to.x() || y != to.y()) {
    pixels << QPoint(x, y);
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += sx;
    }
    if (twice <= dx) {
      error += dx;
      y += sy;
    }
  }
}

bool ThinSolid(int width, int style) {
  return width <= 1 && style == kPenSolid;
}

// Thin solid lines pixel by pixel; wider or patterned pens through the
// painter's own stroking.
void StrokePolyline(QPainter& painter, const QPolygon& points, int width, int style) {
  if (!ThinSolid(width, style)) {
    painter.drawPolyline(points);
    return;
  }
  QPolygon pixels;
  for (qsizetype i = 0; i + 1 < points.size(); ++i) {
    AppendLinePixels(points[i], points[i + 1], pixels);
  }
  painter.drawPoints(pixels);
}

void StrokeLine(QPainter& painter, QPoint from, QPoint to, int width, int style) {
  StrokePolyline(painter, QPolygon({from, to}), width, style);
}

void FillExact(QPainter& painter, int left, int top, int width, int height, const QColor& colour) {
  if (width > 0 && height > 0) {
    painter.fillRect(QRect(left, top, width, height), colour);
  }
}

QPolygon TrianglePoints(int x, int y, int s, int direction) {
  switch (direction) {
    case 0:
      return QPolygon({QPoint(x, y - s), QPoint(x + s, y + s), QPoint(x - s, y + s)});
    case 90:
      return QPolygon({QPoint(x + s, y), QPoint(x - s, y + s), QPoint(x - s, y - s)});
    case 180:
      return QPolygon({QPoint(x, y + s), QPoint(x - s, y - s), QPoint(x + s, y - s)});
    default:
      return QPolygon({QPoint(x - s, y), QPoint(x + s, y - s), QPoint(x + s, y + s)});
  }
}

QPolygon ToPolygon(std::span<const Point> points) {
  QPolygon polygon;
  polygon.reserve(static_cast<qsizetype>(points.size()));
  for (const Point& point : points) {
    polygon << QPoint(point.x, point.y);
  }
  return polygon;
}

struct FontTable {
  std::vector<std::optional<QFont>> fonts;  // FontId - 1
  std::array<FontId, 5> interface {};
};

FontTable& Fonts() {
  static FontTable table;
  return table;
}

const QFont* FontFor(FontId id) {
  FontTable& table = Fonts();
  if (id < 1 || static_cast<size_t>(id) > table.fonts.size() || !table.fonts[id - 1]) {
    return nullptr;
  }
  return &*table.fonts[id - 1];
}

QFont MeasuringFont() {
  if (QPainter* painter = CurrentPainter()) {
    return painter->font();
  }
  if (const QFont* font = FontFor(Fonts().interface[1])) {
    return *font;
  }
  return QFont();
}

}  // namespace

QFont FontForId(int font) {
  const QFont* found = FontFor(font);
  return found != nullptr ? *found : QFont();
}

// --- shapes -----------------------------------------------------------------

void DrawOutlineRect(uint32_t colour, const Rect& rect, int width, int style) {
  if (Degenerate(rect)) {
    return;
  }
  WithPainter(MakePen(ToQColor(colour), width, style), Qt::NoBrush, false,
              [&](QPainter& painter) { painter.drawRect(OutlineBox(rect)); });
}

void DrawFilledRect(uint32_t colour, const Rect& rect) {
  WithPainter(Qt::NoPen, Qt::NoBrush, false, [&](QPainter& painter) {
    FillExact(painter, rect.left, rect.top, rect.right - rect.left - 1, rect.bottom - rect.top - 1,
              ToQColor(colour));
  });
}

void DrawLine(uint32_t colour, const Rect& points, int width, int style) {
  WithPainter(MakePen(ToQColor(colour), width, style), Qt::NoBrush, false, [&](QPainter& painter) {
    StrokeLine(painter, QPoint(points.left, points.top), QPoint(points.right, points.bottom), width,
               style);
  });
}

void DrawOutlineRoundRect(uint32_t colour, const Rect& rect, int corner) {
  if (Degenerate(rect)) {
    return;
  }
  WithPainter(MakePen(ToQColor(colour), 1, kPenSolid), Qt::NoBrush, false, [&](QPainter& painter) {
    painter.drawRoundedRect(OutlineBox(rect), corner / 2.0, corner / 2.0);
  });
}

void DrawFilledRoundRect(uint32_t colour, const Rect& rect, int corner) {
  if (RectWidth(rect) < 2 || RectHeight(rect) < 2) {
    return;
  }
  WithPainter(Qt::NoPen, ToQColor(colour), false, [&](QPainter& painter) {
    painter.drawRoundedRect(OutlineBox(rect), corner / 2.0, corner / 2.0);
  });
}

void DrawOutlineEllipse(uint32_t colour, const Rect& rect) {
  if (Degenerate(rect)) {
    return;
  }
  WithPainter(MakePen(ToQColor(colour), 1, kPenSolid), Qt::NoBrush, false,
              [&](QPainter& painter) { painter.drawEllipse(OutlineBox(rect)); });
}

void DrawFilledEllipse(uint32_t colour, const Rect& rect) {
  if (RectWidth(rect) < 2 || RectHeight(rect) < 2) {
    return;
  }
  WithPainter(Qt::NoPen, ToQColor(colour), false,
              [&](QPainter& painter) { painter.drawEllipse(OutlineBox(rect)); });
}

void DrawPolyline(uint32_t colour, int width, std::span<const Point> points, int style) {
  if (points.size() < 2) {
    return;
  }
  WithPainter(MakePen(ToQColor(colour), width, style), Qt::NoBrush, false,
              [&](QPainter& painter) { StrokePolyline(painter, ToPolygon(points), width, style); });
}

void DrawFilledTriangle(uint32_t colour, int x, int y, int s, int direction) {
  const QColor qcolour = ToQColor(colour);
  WithPainter(MakePen(qcolour, 1, kPenSolid), qcolour, false,
              [&](QPainter& painter) { painter.drawPolygon(TrianglePoints(x, y, s, direction)); });
}

// --- inverted feedback ----------------------------------------------------------

void InvertRect(const Rect& rect, int width, int style) {
  if (Degenerate(rect)) {
    return;
  }
  WithPainter(MakePen(Qt::white, width, style), Qt::NoBrush, true,
              [&](QPainter& painter) { painter.drawRect(OutlineBox(rect)); });
}

void InvertEllipse(const Rect& rect, int width, int style) {
  if (Degenerate(rect)) {
    return;
  }
  WithPainter(MakePen(Qt::white, width, style), Qt::NoBrush, true,
              [&](QPainter& painter) { painter.drawEllipse(OutlineBox(rect)); });
}

void InvertLine(const Rect& points, int width, int style) {
  WithPainter(MakePen(Qt::white, width, style), Qt::NoBrush, true, [&](QPainter& painter) {
    StrokeLine(painter, QPoint(points.left, points.top), QPoint(points.right, points.bottom), width,
               style);
  });
}

void InvertPolyline(std::span<const Point> points, int width, int style) {
  if (points.size() < 2) {
    return;
  }
  // Segments meet without overlapping: every pixel under the pen flips once.
  WithPainter(MakePen(Qt::white, width, style), Qt::NoBrush, true,
              [&](QPainter& painter) { StrokePolyline(painter, ToPolygon(points), width, style); });
}

// --- composite controls ---------------------------------------------------------

void DrawBevel(uint32_t light, uint32_t dark, const Rect& rect, int width) {
  const QColor lightColour = ToQColor(light), darkColour = ToQColor(dark);
  WithPainter(Qt::NoPen, Qt::NoBrush, false, [&](QPainter& painter) {
    const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    for (int i = 0; i < width; ++i) {
      FillExact(painter, l + i, t + i, r - l - 1 - 2 * i, 1, lightColour);
      FillExact(painter, l + i, t + i, 1, b - t - 1 - 2 * i, lightColour);
      FillExact(painter, r - 1 - i, t + i, 1, b - t - 2 * i, darkColour);
      FillExact(painter, l + i, b - 1 - i, r - l - 2 * i, 1, darkColour);
    }
  });
}

void DrawRadioCircle(uint32_t colour, const Rect& box, bool chosen) {
  DrawOutlineEllipse(colour, box);
  if (chosen) {
    const QColor qcolour = ToQColor(colour);
    const Rect dot{box.left + 2, box.top + 2, box.right - 1, box.bottom - 1};
    if (Degenerate(dot)) {
      return;
    }
    WithPainter(MakePen(qcolour, 1, kPenSolid), qcolour, false,
                [&](QPainter& painter) { painter.drawEllipse(OutlineBox(dot)); });
  }
}

void DrawCheckBox(uint32_t fill, const Rect& box, bool checked) {
  if (Degenerate(box)) {
    return;
  }
  WithPainter(MakePen(Qt::black, 1, kPenSolid), ToQColor(fill), false,
              [&](QPainter& painter) { painter.drawRect(OutlineBox(box)); });
  if (checked) {
    DrawLine(kBlack, Rect{box.left + 2, box.top + 2, box.right - 2, box.bottom - 2});
    DrawLine(kBlack, Rect{box.right - 3, box.top + 2, box.left + 1, box.bottom - 2});
  }
}

void DrawSlider(uint32_t back, uint32_t groove, const Rect& rect, int percent, int maximum,
                bool centred) {
  DrawFilledRect(back, Rect{rect.left, rect.top, rect.right + TextWidth("100") + 6, rect.bottom});
  const int grooveLeft = rect.left + 4;
  const int grooveRight = rect.right - 4;
  // Exactly three rows along the bottom.
  DrawFilledRect(groove, Rect{grooveLeft, rect.bottom - 3, grooveRight + 1, rect.bottom + 1});
  DrawFilledTriangle(kBlack, SliderThumbX(rect, percent), rect.top + 3, 3, 180);
  long number = static_cast<long>(percent * maximum * 0.01);
  number = std::min<long>(number, maximum < 100 ? maximum - 1 : maximum);
  const std::string text = std::to_string(number);
  if (centred) {
    DrawText(kBlack, text, grooveRight + 16, rect.top - 2, kAlignCentre);
  } else {
    DrawText(kBlack, text, grooveRight + 6, rect.top - 2, kAlignLeft);
  }
}

int SliderThumbX(const Rect& rect, int percent) {
  const int grooveLeft = rect.left + 4;
  const int grooveWidth = rect.right - 4 - grooveLeft;
  return grooveLeft + (grooveWidth * percent - 3 * percent) / 100 + 1;
}

int SliderValueAt(const Rect& rect, int x, int maximum) {
  int nearest = 0;
  for (int percent = 1; percent <= 100; ++percent) {
    if (std::abs(SliderThumbX(rect, percent) - x) < std::abs(SliderThumbX(rect, nearest) - x)) {
      nearest = percent;
    }
  }
  // The smallest value shown at that percent.
  return (nearest * maximum + 99) / 100;
}

// --- fonts and text ---------------------------------------------------------------

FontId MakeFont(std::string_view face, int pixelHeight, int styleBits) {
  const bool serif = face.find("Serif") != std::string_view::npos;
  QFont font(serif ? QStringLiteral("Liberation Serif") : QStringLiteral("Liberation Sans"));
  font.setStyleHint(serif ? QFont::Serif : QFont::SansSerif);
  font.setPixelSize(std::max(1, pixelHeight));
  font.setWeight((styleBits & kFontBold) != 0 ? QFont::Bold : QFont::Normal);
  font.setItalic((styleBits & kFontItalic) != 0);
  font.setUnderline((styleBits & kFontUnderline) != 0);
  font.setKerning(false);
  Fonts().fonts.emplace_back(font);
  return static_cast<FontId>(Fonts().fonts.size());
}

void DeleteFont(FontId font) {
  if (FontFor(font) != nullptr) {
    Fonts().fonts[font - 1].reset();
  }
}

void CreateInterfaceFonts(std::string_view face) {
  FontTable& table = Fonts();
  table.interface[0] = MakeFont(face, 8, 0);
  table.interface[1] = MakeFont(face, 10, 0);
  table.interface[2] = MakeFont(face, 12, 0);
  table.interface[3] = MakeFont(face, 13, kFontBold);
  table.interface[4] = MakeFont(face, 20, 0);
}

void DeleteInterfaceFonts() {
  for (FontId& font : Fonts().interface) {
    DeleteFont(font);
    font = kNoFont;
  }
}

FontId GetInterfaceFont(InterfaceFont which) {
  return Fonts().interface[static_cast<size_t>(which)];
}

void SelectFont(FontId font, std::optional<uint32_t> background, int backgroundMode) {
  DrawingTarget* target = CurrentDrawingTarget();
  if (target == nullptr) {
    return;
  }
  if (font == kNoFont) {
    target->font = target->previousFont;
  } else if (const QFont* chosen = FontFor(font)) {
    target->previousFont = target->font;
    target->font = *chosen;
  }
  if (background) {
    target->background = *background;
  }
  if (backgroundMode == kTransparent || backgroundMode == kOpaque) {
    target->backgroundMode = backgroundMode;
  }
  if (target->painter) {
    target->painter->setFont(target->font);
  }
}

void DrawText(uint32_t colour, std::string_view text, int x, int y, int alignment) {
  DrawingTarget* target = CurrentDrawingTarget();
  QPainter* painter = CurrentPainter();
  if (painter == nullptr || text.empty()) {
    return;
  }
  const QString string = ToQString(text);
  const QFontMetrics metrics(painter->font());
  const int width = metrics.horizontalAdvance(string);
  int left = x;
  if ((alignment & kAlignCentre) == kAlignCentre) {
    left = x - width / 2;
  } else if ((alignment & kAlignRight) != 0) {
    left = x - width;
  }
  if (target->backgroundMode == kOpaque) {
    painter->fillRect(QRect(left, y, width, metrics.height()), ToQColor(target->background));
  }
  painter->save();
  painter->setPen(ToQColor(colour));
  painter->drawText(left, y + metrics.ascent(), string);
  painter->restore();
  Dirty();
}

int TextWidth(std::string_view text) {
  if (text.empty() || QGuiApplication::instance() == nullptr) {
    return 0;
  }
  return QFontMetrics(MeasuringFont()).horizontalAdvance(ToQString(text));
}

void FitTextToWidth(std::string& text, int width) {
  if (TextWidth(text) <= width) {
    return;
  }
  while (!text.empty()) {
    // Whole characters: UTF-8 continuation bytes go with their lead byte.
    do {
      text.pop_back();
    } while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80);
    if (TextWidth(text + "...") <= width) {
      text += "...";
      return;
    }
  }
  if (TextWidth("...") <= width) {
    text = "...";
  }
}

void SetDrawingOrigin(int x, int y) {
  if (DrawingTarget* target = CurrentDrawingTarget()) {
    target->origin = QPoint(x, y);
    target->ApplyState();
  }
}

Point DrawingOrigin() {
  const DrawingTarget* target = CurrentDrawingTarget();
  return target != nullptr ? Point{target->origin.x(), target->origin.y()} : Point{};
}

// --- bitmaps and images ---------------------------------------------------------

void TileBitmapResource(const Rect& rect, int resource) {
  const QImage& image = BitmapImage(resource);
  if (image.isNull() || rect.right <= rect.left || rect.bottom <= rect.top) {
    return;
  }
  const auto phase = [](int at, int size) { return ((at % size) + size) % size; };
  WithPainter(Qt::NoPen, Qt::NoBrush, false, [&](QPainter& painter) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawTiledPixmap(
        QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
        QPixmap::fromImage(image),
        QPoint(phase(rect.left, image.width()), phase(rect.top, image.height())));
  });
}

void DrawBitmapResource(const Rect& rect, int resource, uint32_t rasterOperation) {
  const QImage& image = BitmapImage(resource);
  if (image.isNull()) {
    return;
  }
  WithPainter(Qt::NoPen, Qt::NoBrush, false, [&](QPainter& painter) {
    switch (rasterOperation) {
      case kSrcPaint:
        painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        break;
      case kSrcAnd:
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        break;
      case kSrcInvert:
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        break;
      case kNotSrcCopy:
        painter.setCompositionMode(QPainter::RasterOp_NotSource);
        break;
      default:
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        break;
    }
    painter.drawImage(QPoint(rect.left, rect.top), image);
  });
}

void DrawImageBuffer(const ImageBuffer& image, const Rect& destination) {
  DrawImageBufferPart(image, destination, Rect{0, 0, image.Width(), image.Height()});
}

namespace {

// The colour of pixel x of a stored row, whatever the image's depth.
QRgb PixelColour(const ImageBuffer& image, const uint8_t* line, int x) {
  const int depth = image.BitsPerPixel();
  switch (depth) {
    case 32:
      return qRgb(line[x * 4 + 2], line[x * 4 + 1], line[x * 4]);
    case 24:
      return qRgb(line[x * 3 + 2], line[x * 3 + 1], line[x * 3]);
    case 16: {
      const int word = line[x * 2] | (line[x * 2 + 1] << 8);
      const auto expand = [](int v) { return (v << 3) | (v >> 2); };
      return qRgb(expand((word >> 10) & 31), expand((word >> 5) & 31), expand(word & 31));
    }
    default: {
      int index = 0;
      if (depth == 8) {
        index = line[x];
      } else if (depth == 4) {
        index = (line[x / 2] >> ((1 - x % 2) * 4)) & 0x0F;
      } else if (depth == 1) {
        index = (line[x / 8] >> (7 - x % 8)) & 1;
      }
      const uint8_t* entry = image.PaletteEntry(index);
      return entry != nullptr ? qRgb(entry[2], entry[1], entry[0]) : qRgb(0, 0, 0);
    }
  }
}

}  // namespace

void DrawImageBufferPart(const ImageBuffer& image, const Rect& destination, const Rect& source) {
  DrawingTarget* target = CurrentDrawingTarget();
  if (target == nullptr || !target->painter || !image.HasHeader()) {
    return;
  }
  const int destinationWidth = RectWidth(destination);
  const int destinationHeight = std::abs(RectHeight(destination));
  const int sourceWidth = RectWidth(source);
  const int sourceHeight = std::abs(RectHeight(source));
  if (destinationWidth <= 0 || destinationHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0) {
    return;
  }
  // Only the part that lands on the window's image is computed.
  const QRect visible(target->origin, target->image.size());
  const QRect wanted(destination.left, destination.top, destinationWidth, destinationHeight);
  const QRect part = visible.intersected(wanted);
  if (part.isEmpty()) {
    return;
  }
  std::vector<int> columns(static_cast<size_t>(part.width()));
  for (int i = 0; i < part.width(); ++i) {
    const int64_t dx = part.left() + i - destination.left;
    columns[static_cast<size_t>(i)] =
        source.left + static_cast<int>(dx * sourceWidth / destinationWidth);
  }
  QImage strip(part.size(), QImage::Format_RGB32);
  for (int row = 0; row < part.height(); ++row) {
    const int64_t dy = part.top() + row - destination.top;
    const int sourceY = source.top + static_cast<int>(dy * sourceHeight / destinationHeight);
    auto* out = reinterpret_cast<QRgb*>(strip.scanLine(row));
    if (sourceY < 0 || sourceY >= image.Height()) {
      std::fill(out, out + part.width(), qRgb(0, 0, 0));
      continue;
    }
    // Rows are stored bottom-up.
    const uint8_t* line = image.RowPointer(image.Height() - 1 - sourceY);
    for (int i = 0; i < part.width(); ++i) {
      const int x = columns[static_cast<size_t>(i)];
      if (x < 0 || x >= image.Width()) {
        out[i] = qRgb(0, 0, 0);
        continue;
      }
      out[i] = PixelColour(image, line, x);
    }
  }
  QPainter* painter = target->painter.get();
  painter->save();
  painter->setCompositionMode(QPainter::CompositionMode_Source);
  painter->drawImage(part.topLeft(), strip);
  painter->restore();
  Dirty();
}

}  // namespace vantoril
