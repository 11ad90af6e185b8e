#pragma once

#include <cstdint>
#include <string_view>

namespace vantoril {

class Window;

// Hue, luminance and saturation, each 0..240.
struct Hls {
  int hue = 0;
  int luminance = 0;
  int saturation = 0;

  friend bool operator==(const Hls&, const Hls&) = default;
};

// The integer conversions of the chooser (RGB components 0..255; colours as
// 0x00BBGGRR).
Hls RgbToHls(uint32_t colour);
uint32_t HlsToRgb(int hue, int luminance, int saturation);

enum class ColourModel { kRgb = 0, kHls = 1 };
// The model the chooser shows; HLS at start, kept from one run to the next.
ColourModel& ColourChooserModel();

// A 230 x 230 panel at (x0, y0) of the host's client area with three sliders
// in the current model, a swatch, a grey and a hue ramp. True on "OK" with
// `colour` set; false on "Cancel", Escape or a release outside the panel,
// with `colour` as it was on entry.
bool RunColourChooser(Window& host, int x0, int y0, uint32_t& colour, std::string_view title);

}  // namespace vantoril
