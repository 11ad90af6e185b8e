#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/geometry.h"

namespace vantoril {

class ImageBuffer;

// Every operation here draws on the current drawing context (a window's
// image inside a DrawingScope, platform/window.h) and does nothing without
// one. Drawing is pixel-exact: no antialiasing.
//
// Rectangles follow the drawing tables the program was designed with: an
// outline covers left..right-1 and top..bottom-1; a filled shape (brush
// only, no pen) is one pixel smaller at the right and bottom, covering
// left..right-2 and top..bottom-2. Lines leave out their end point.

// Pen styles.
inline constexpr int kPenSolid = 0;
inline constexpr int kPenDash = 1;
inline constexpr int kPenDot = 2;
inline constexpr int kPenDashDot = 3;
inline constexpr int kPenDashDotDot = 4;
inline constexpr int kPenNull = 5;

// Text alignment.
inline constexpr int kAlignLeft = 0;
inline constexpr int kAlignRight = 2;
inline constexpr int kAlignCentre = 6;

// Background modes.
inline constexpr int kTransparent = 1;
inline constexpr int kOpaque = 2;

// Raster operations of DrawBitmapResource.
inline constexpr uint32_t kSrcCopy = 0x00CC0020;
inline constexpr uint32_t kSrcPaint = 0x00EE0086;
inline constexpr uint32_t kSrcAnd = 0x008800C6;
inline constexpr uint32_t kSrcInvert = 0x00660046;
inline constexpr uint32_t kNotSrcCopy = 0x00330008;

void DrawOutlineRect(uint32_t colour, const Rect& rect, int width = 1, int style = kPenSolid);
void DrawFilledRect(uint32_t colour, const Rect& rect);
// From (left, top) to (right, bottom).
void DrawLine(uint32_t colour, const Rect& points, int width = 1, int style = kPenSolid);
void DrawOutlineRoundRect(uint32_t colour, const Rect& rect, int corner);
void DrawFilledRoundRect(uint32_t colour, const Rect& rect, int corner);
void DrawOutlineEllipse(uint32_t colour, const Rect& rect);
void DrawFilledEllipse(uint32_t colour, const Rect& rect);
void DrawPolyline(uint32_t colour, int width, std::span<const Point> points, int style = kPenSolid);
// Direction 0: apex up at (x, y - s); 90: apex right at (x + s, y); 180: apex
// down at (x, y + s); otherwise apex left at (x - s, y).
void DrawFilledTriangle(uint32_t colour, int x, int y, int s, int direction);

// Inverting the pixels under the pen: drawing twice at one place restores
// them (drag feedback).
void InvertRect(const Rect& rect, int width = 1, int style = kPenSolid);
void InvertEllipse(const Rect& rect, int width = 1, int style = kPenSolid);
void InvertLine(const Rect& points, int width = 1, int style = kPenSolid);
void InvertPolyline(std::span<const Point> points, int width = 1, int style = kPenSolid);

// Left and top edges light, right and bottom dark, `width` pixels deep
// inside the rectangle's outline pixels.
void DrawBevel(uint32_t light, uint32_t dark, const Rect& rect, int width = 1);
void DrawRadioCircle(uint32_t colour, const Rect& box, bool chosen);
void DrawCheckBox(uint32_t fill, const Rect& box, bool checked);
// A groove with a triangular thumb at `percent` and the number
// percent x maximum x 0.01 beside it (see the options dialogs).
void DrawSlider(uint32_t back, uint32_t groove, const Rect& rect, int percent, int maximum,
                bool centred);
// Where DrawSlider puts the thumb for `percent`.
int SliderThumbX(const Rect& rect, int percent);
// The value of 0..maximum whose thumb stands nearest to x, so that a thumb
// dragged follows the pointer.
int SliderValueAt(const Rect& rect, int x, int maximum);

// Fonts. The interface fonts live from start-up to exit.
using FontId = int;
inline constexpr FontId kNoFont = 0;
inline constexpr int kFontBold = 1;
inline constexpr int kFontItalic = 2;
inline constexpr int kFontUnderline = 4;
// Pixel height; a face containing "Serif" asks for a serif face, any other
// for Liberation Sans (the metric twin of the face the layouts were made
// with).
FontId MakeFont(std::string_view face, int pixelHeight, int styleBits);
void DeleteFont(FontId font);

enum class InterfaceFont { k8 = 0, k10 = 1, k12 = 2, k13Bold = 3, k20 = 4 };
void CreateInterfaceFonts(std::string_view face);
void DeleteInterfaceFonts();
FontId GetInterfaceFont(InterfaceFont which);

// kNoFont restores the font that was current before the last selection.
void SelectFont(FontId font, std::optional<uint32_t> background = std::nullopt,
                int backgroundMode = 0);
// y is the top of the text cell; alignment kAlignLeft, kAlignRight or
// kAlignCentre decides what x is.
void DrawText(uint32_t colour, std::string_view text, int x, int y, int alignment);
// In the current font (the 10-pixel interface font without a context); 0
// for an empty text.
int TextWidth(std::string_view text);
// Unchanged when it fits; otherwise characters come off its end until it and
// "..." fit, and "..." is appended (left off when "..." alone is too wide).
void FitTextToWidth(std::string& text, int width);

// Content coordinates under scrolling: (x, y) of the content lands at the
// client's top-left.
void SetDrawingOrigin(int x, int y);
Point DrawingOrigin();

// A bitmap resource at the rectangle's top-left, at its own size.
void DrawBitmapResource(const Rect& rect, int resource, uint32_t rasterOperation = kSrcCopy);
// Covers the rectangle with a bitmap resource tiled from (0, 0), as a
// window's background tiles are laid.
void TileBitmapResource(const Rect& rect, int resource);
// The whole image buffer stretched into the destination rectangle,
// nearest-neighbour (each destination pixel takes the source pixel its
// position maps to, truncated).
void DrawImageBuffer(const ImageBuffer& image, const Rect& destination);
// A part of it: the source rectangle in picture coordinates (top row 0).
void DrawImageBufferPart(const ImageBuffer& image, const Rect& destination, const Rect& source);

}  // namespace vantoril
