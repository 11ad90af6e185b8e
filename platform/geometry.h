#pragma once

#include <cstdint>

namespace vantoril {

// A rectangle as the program's drawing tables give it: left and top inside,
// right and bottom the first column and row outside (see each drawing
// operation for which edges it paints).
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
  int32_t x = 0;
  int32_t y = 0;

  friend bool operator==(const Point&, const Point&) = default;
};

// Colours travel as 0x00BBGGRR: red in the low byte.
constexpr uint32_t Rgb(int red, int green, int blue) {
  return static_cast<uint32_t>(red & 0xFF) | (static_cast<uint32_t>(green & 0xFF) << 8) |
         (static_cast<uint32_t>(blue & 0xFF) << 16);
}
constexpr int RedOf(uint32_t colour) {
  return static_cast<int>(colour & 0xFF);
}
constexpr int GreenOf(uint32_t colour) {
  return static_cast<int>((colour >> 8) & 0xFF);
}
constexpr int BlueOf(uint32_t colour) {
  return static_cast<int>((colour >> 16) & 0xFF);
}

inline constexpr uint32_t kBlack = Rgb(0, 0, 0);
inline constexpr uint32_t kWhite = Rgb(255, 255, 255);
inline constexpr uint32_t kLightGrey = Rgb(192, 192, 192);
inline constexpr uint32_t kDarkGrey = Rgb(64, 64, 64);

// Left and top move out by dx, dy; right and bottom likewise.
constexpr void InflateRect(Rect& rect, int32_t dx, int32_t dy) {
  rect.left -= dx;
  rect.top -= dy;
  rect.right += dx;
  rect.bottom += dy;
}
constexpr void OffsetRect(Rect& rect, int32_t dx, int32_t dy) {
  rect.left += dx;
  rect.right += dx;
  rect.top += dy;
  rect.bottom += dy;
}
constexpr int32_t RectWidth(const Rect& rect) {
  return rect.right - rect.left;
}
constexpr int32_t RectHeight(const Rect& rect) {
  return rect.bottom - rect.top;
}
constexpr int32_t RectCentreX(const Rect& rect) {
  return rect.left + RectWidth(rect) / 2;
}
constexpr int32_t RectCentreY(const Rect& rect) {
  return rect.top + RectHeight(rect) / 2;
}
// Edges included.
constexpr bool PointInRect(const Rect& rect, int32_t x, int32_t y) {
  return x >= rect.left && x <= rect.right && y >= rect.top && y <= rect.bottom;
}

}  // namespace vantoril
