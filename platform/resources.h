#pragma once

#include <cstdint>

#include "platform/geometry.h"

namespace vantoril {

// Cursor numbers.
inline constexpr int kCursorArrow = 1;
inline constexpr int kCursorCross = 2;
inline constexpr int kCursorTextBeam = 3;
inline constexpr int kCursorNo = 4;
inline constexpr int kCursorMove = 5;
inline constexpr int kCursorSizeNeSw = 6;
inline constexpr int kCursorSizeVertical = 7;
inline constexpr int kCursorSizeNwSe = 8;
inline constexpr int kCursorSizeHorizontal = 9;
inline constexpr int kCursorUpArrow = 10;
inline constexpr int kCursorWait = 11;
inline constexpr int kCursorRotate = 12;  // the program's curved arrow, resource 106
inline constexpr int kCursorHand = 13;    // the program's open hand, resource 135

// Bitmap resources.
inline constexpr int kBitmapStop = 102;
inline constexpr int kBitmapPlayPressed = 103;
inline constexpr int kBitmapPlayLit = 104;
inline constexpr int kBitmapReverse = 105;
inline constexpr int kBitmapReversePressed = 106;
inline constexpr int kBitmapReverseLit = 107;
inline constexpr int kBitmapPlay = 108;
inline constexpr int kBitmapStopPressed = 109;
inline constexpr int kBitmapStopLit = 110;
inline constexpr int kBitmapSetKey = 111;
inline constexpr int kBitmapSetKeyPressed = 112;
inline constexpr int kBitmapBackgroundTile = 113;
inline constexpr int kBitmapMarkCyan = 120;
inline constexpr int kBitmapMarkCurrentYellow = 128;
inline constexpr int kBitmapMarkYellow = 129;
inline constexpr int kBitmapPreviousPressed = 139;
inline constexpr int kBitmapPrevious = 140;
inline constexpr int kBitmapNext = 141;
inline constexpr int kBitmapNextPressed = 142;
inline constexpr int kBitmapMarkCurrentCyan = 143;
inline constexpr int kBitmapViewSingle = 145;
inline constexpr int kBitmapViewPressed = 146;
inline constexpr int kBitmapViewAll = 147;
inline constexpr int kBitmapMarkLockedYellow = 148;
inline constexpr int kBitmapMarkLockedCyan = 150;

inline constexpr int kProgramIconId = 101;

// Sets the mouse cursor by number (unknown numbers give the arrow).
void SetCursor(int number);
int CurrentCursor();

// The size of a bitmap resource; 0 x 0 for an unknown number.
Point BitmapResourceSize(int resource);
// One pixel of a bitmap resource as 0x00BBGGRR (0 outside or unknown).
uint32_t BitmapResourcePixel(int resource, int x, int y);

}  // namespace vantoril
