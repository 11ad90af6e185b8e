#include "ui/dialogs/colour_chooser.h"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/commands_held.h"
#include "platform/drawing.h"
#include "platform/message_queue.h"
#include "platform/window.h"

namespace vantoril {

namespace {

constexpr int kHlsRange = 240;
constexpr int kRgbRange = 255;
constexpr int kPanelSize = 230;
constexpr uint32_t kGroove = Rgb(96, 96, 96);
constexpr uint32_t kGrey = Rgb(128, 128, 128);

int HueToComponent(int h, int m1, int m2) {
  if (h < 0) {
    h += kHlsRange;
  } else if (h > kHlsRange) {
    h -= kHlsRange;
  }
  int value = m1;
  if (h < 40) {
    value = m1 + (h * (m2 - m1) + 20) / 40;
  } else if (h < 120) {
    value = m2;
  } else if (h < 160) {
    value = m1 + ((160 - h) * (m2 - m1) + 20) / 40;
  }
  return (value * kRgbRange + 120) / kHlsRange;
}

int RangeOf(ColourModel model) {
  return model == ColourModel::kRgb ? kRgbRange : kHlsRange;
}

std::array<int, 3> Components(uint32_t colour, ColourModel model) {
  if (model == ColourModel::kRgb) {
    return {RedOf(colour), GreenOf(colour), BlueOf(colour)};
  }
  const Hls hls = RgbToHls(colour);
  return {hls.hue, hls.luminance, hls.saturation};
}

uint32_t FromComponents(const std::array<int, 3>& c, ColourModel model) {
  return model == ColourModel::kRgb ? Rgb(c[0], c[1], c[2]) : HlsToRgb(c[0], c[1], c[2]);
}

class ColourChooser {
 public:
  ColourChooser(Window& host, int x0, int y0, uint32_t& colour, std::string_view title)
      : host_(host),
        x0_(x0),
        y0_(y0),
        cx_(x0 + 115),
        colour_(colour),
        entry_(colour),
        title_(title) {}

  bool Run() {
    const CommandsHeld held;
    PaintFrame();
    PaintContent();
    Message message;
    std::optional<bool> result;
    while (!result) {
      if (!GetMessage(message)) {
        PostQuitMessage(QuitCode());  // the program's own loop must see it too
        result = Cancel();
        break;
      }
      result = Handle(message);
    }
    SelectFont(GetInterfaceFont(InterfaceFont::k12));
    DrawFilledRect(kLightGrey, Rect{x0_ - 1, y0_ - 1, x0_ + kPanelSize + 2, y0_ + kPanelSize + 2});
    SelectFont(kNoFont);
    return *result;
  }

 private:
  bool Cancel() {
    colour_ = entry_;
    return false;
  }

  std::optional<bool> Handle(const Message& message) {
    const int x = MouseX(message.lParam);
    const int y = MouseY(message.lParam);
    const int row = std::max(0, (y - y0_ - 22) / 18);
    switch (message.message) {
      case kWmKeyDown:
      case kWmChar:
        // Escape leaves as Cancel does, with the colour of entry.
        if (message.wParam == 27) return Cancel();
        return std::nullopt;
      case kWmClose:
        // A request to close a window (the session ending, say) cancels the
        // chooser and waits for the program's own loop.
        PostMessage(message.window, kWmClose, 0, 0);
        return Cancel();
      case kWmLButtonDown:
        if (message.window == host_.Handle() && row <= 3) {
          dragSlider_ = std::max(row - 1, 0);  // rows 0 and 1 both take the first slider
        }
        return std::nullopt;
      case kWmMouseMove:
        if (dragSlider_ >= 0) {
          Drag(x);
        }
        return std::nullopt;
      case kWmLButtonUp:
        return Release(message.window, x, y, row);
      default:
        return std::nullopt;  // nothing is dispatched while the panel is open
    }
  }

  void Drag(int x) {
    const ColourModel model = ColourChooserModel();
    // The thumb follows the pointer.
    const int value = SliderValueAt(SliderRect(dragSlider_), x, RangeOf(model));
    std::array<int, 3> components = Components(colour_, model);
    components[static_cast<size_t>(dragSlider_)] = value;
    colour_ = FromComponents(components, model);
    PaintContent();
  }

  std::optional<bool> Release(WindowHandle window, int x, int y, int row) {
    dragSlider_ = -1;
    if (window != host_.Handle() || y < y0_ || y > y0_ + kPanelSize || x < x0_ ||
        x > x0_ + kPanelSize) {
      return Cancel();
    }
    if (y > y0_ + 200 && y < y0_ + 220) {
      if (x > cx_ + 50 && x < cx_ + 100) return true;
      if (x > cx_ - 30 && x < cx_ + 40) return Cancel();
    }
    if (row >= 4 && row <= 6 && x > cx_ && x < cx_ + 20) {
      DrawFilledRect(kLightGrey, Rect{x0_ + 12, y0_ + 38, cx_ - 7, y0_ + 96});
      ColourChooserModel() = row == 4 ? ColourModel::kRgb : ColourModel::kHls;  // Texture: HLS
    } else if (row == 7) {
      const int g = std::clamp((128 * (x - cx_) + 12800) / 100, 0, 255);
      colour_ = Rgb(g, g, g);
    } else if (row == 8) {
      const int h = std::min((12 * (x - cx_) + 1200) / 10, 255);
      colour_ = HlsToRgb(h, 120, 240);
    }
    PaintContent();
    return std::nullopt;
  }

  void PaintFrame() {
    DrawingScope scope(host_);
    SelectFont(GetInterfaceFont(InterfaceFont::k12), std::nullopt, kTransparent);
    const Rect panel{x0_, y0_, x0_ + kPanelSize, y0_ + kPanelSize};
    DrawFilledRect(kLightGrey, panel);
    DrawFilledRoundRect(kBlack, Rect{x0_ + 4, y0_ + 4, x0_ + kPanelSize - 4, y0_ + 24}, 4);
    DrawText(kWhite, title_, cx_, y0_ + 6, kAlignCentre);
    DrawBevel(kWhite, kDarkGrey, panel);
  }

  // The slider of component i.
  Rect SliderRect(int i) const {
    const int t = y0_ + 40;
    return Rect{cx_ + 8, t + 3 + 18 * i, cx_ + 78, t + 14 + 18 * i};
  }

  void PaintContent() {
    DrawingScope scope(host_);
    const int t = y0_ + 40;
    const ColourModel model = ColourChooserModel();
    const bool rgb = model == ColourModel::kRgb;
    static constexpr std::array<const char*, 3> kRgbLabels = {"Red", "Green", "Blue"};
    static constexpr std::array<const char*, 3> kHlsLabels = {"Hue", "Luminance", "Saturation"};
    const std::array<int, 3> components = Components(colour_, model);
    const int range = RangeOf(model);
    for (int i = 0; i < 3; ++i) {
      SelectFont(GetInterfaceFont(InterfaceFont::k13Bold), std::nullopt, kTransparent);
      DrawText(kBlack, (rgb ? kRgbLabels : kHlsLabels)[static_cast<size_t>(i)], cx_ - 8, t + 18 * i,
               kAlignRight);
      SelectFont(GetInterfaceFont(InterfaceFont::k12));
      DrawSlider(kLightGrey, kGroove, SliderRect(i),
                 components[static_cast<size_t>(i)] * 100 / range, range, false);
    }
    SelectFont(GetInterfaceFont(InterfaceFont::k12), std::nullopt, kTransparent);
    const Rect swatch{cx_ - 40, t + 58, cx_ - 8, t + 86};
    DrawFilledRect(colour_, swatch);
    DrawOutlineRect(kBlack, swatch);
    static constexpr std::array<const char*, 3> kModels = {"RGB", "HLS", "Texture"};
    for (int i = 0; i < 3; ++i) {
      const int top = t + 57 + 18 * i;
      const Rect circle{cx_ + 8, top, cx_ + 19, top + 11};
      const uint32_t ink = i == 2 ? kGrey : kBlack;
      const bool chosen = i == static_cast<int>(model);
      if (!chosen) {
        DrawFilledEllipse(kLightGrey, circle);
      }
      DrawRadioCircle(ink, circle, chosen);
      DrawText(ink, kModels[static_cast<size_t>(i)], cx_ + 24, top - 2, kAlignLeft);
    }
    DrawFilledRect(kLightGrey, Rect{cx_ - 100, t + 90, cx_ - 8, t + 106});
    DrawOutlineRoundRect(kGrey, Rect{cx_ - 100, t + 90, cx_ - 8, t + 106}, 8);
    DrawText(kGrey, "None", cx_ - 54, t + 91, kAlignCentre);
    for (int k = 0; k < 32; ++k) {
      const int x = cx_ - 100 + 625 * k / 100;
      DrawFilledRect(Rgb(8 * k, 8 * k, 8 * k), Rect{x, t + 111, x + 8, t + 130});
      DrawFilledRect(HlsToRgb(75 * k / 10, 120, 240), Rect{x, t + 129, x + 8, t + 148});
    }
    DrawOutlineRoundRect(kBlack, Rect{cx_ + 50, t + 166, cx_ + 100, t + 181}, 8);
    DrawText(kBlack, "OK", cx_ + 75, t + 167, kAlignCentre);
    DrawOutlineRoundRect(kBlack, Rect{cx_ - 30, t + 166, cx_ + 40, t + 181}, 8);
    DrawText(kBlack, "Cancel", cx_ + 5, t + 167, kAlignCentre);
    SelectFont(kNoFont);
  }

  Window& host_;
  int x0_;
  int y0_;
  int cx_;
  uint32_t& colour_;
  uint32_t entry_;
  std::string_view title_;
  int dragSlider_ = -1;
};

}  // namespace

Hls RgbToHls(uint32_t colour) {
  const int r = RedOf(colour), g = GreenOf(colour), b = BlueOf(colour);
  const int mx = std::max({r, g, b});
  const int mn = std::min({r, g, b});
  Hls hls;
  hls.luminance = ((mx + mn) * kHlsRange + kRgbRange) / (2 * kRgbRange);
  if (mx == mn) {
    return hls;
  }
  const int spread = mx - mn;
  if (hls.luminance <= kHlsRange / 2) {
    hls.saturation = (spread * kHlsRange + (mx + mn) / 2) / (mx + mn);
  } else {
    const int rest = 2 * kRgbRange - mx - mn;
    hls.saturation = (spread * kHlsRange + rest / 2) / rest;
  }
  const int dr = ((mx - r) * (kHlsRange / 6) + spread / 2) / spread;
  const int dg = ((mx - g) * (kHlsRange / 6) + spread / 2) / spread;
  const int db = ((mx - b) * (kHlsRange / 6) + spread / 2) / spread;
  if (r == mx) {
    hls.hue = db - dg;
  } else if (g == mx) {
    hls.hue = kHlsRange / 3 + dr - db;
  } else {
    hls.hue = 2 * kHlsRange / 3 + dg - dr;
  }
  if (hls.hue < 0) {
    hls.hue += kHlsRange;
  }
  if (hls.hue > kHlsRange) {
    hls.hue -= kHlsRange;
  }
  return hls;
}

uint32_t HlsToRgb(int hue, int luminance, int saturation) {
  const int m2 =
      luminance <= kHlsRange / 2
          ? (luminance * (kHlsRange + saturation) + kHlsRange / 2) / kHlsRange
          : luminance + saturation - (luminance * saturation + kHlsRange / 2) / kHlsRange;
  const int m1 = 2 * luminance - m2;
  return Rgb(HueToComponent(hue + kHlsRange / 3, m1, m2), HueToComponent(hue, m1, m2),
             HueToComponent(hue - kHlsRange / 3, m1, m2));
}

ColourModel& ColourChooserModel() {
  static ColourModel model = ColourModel::kHls;
  return model;
}

bool RunColourChooser(Window& host, int x0, int y0, uint32_t& colour, std::string_view title) {
  if (!host.IsCreated()) {
    return false;
  }
  DrawingScope scope(host);
  ColourChooser chooser(host, x0, y0, colour, title);
  return chooser.Run();
}

}  // namespace vantoril
