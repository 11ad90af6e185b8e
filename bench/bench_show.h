#pragma once

// The benchmark show: 30 RGBA pictures of 160 x 120, each moving, scaling
// and turning over a 720 x 480 still for 300 frames. compositor_bench builds
// it in memory; make_bench_show writes it to disk for vantoril-cli.

#include <cmath>
#include <cstdint>
#include <utility>

#include "engine/image_buffer.h"
#include "engine/key_frame.h"
#include "engine/show_document.h"

namespace vantoril::bench {

inline constexpr int kBenchPictures = 30;
inline constexpr int kBenchPictureW = 160;
inline constexpr int kBenchPictureH = 120;
inline constexpr int kBenchBackgroundW = 720;
inline constexpr int kBenchBackgroundH = 480;
inline constexpr int kBenchFrames = 300;

// A soft-edged disc of colour bands, different per slot, on a transparent
// border: the kind of cut-out a show is made of.
inline ImageBuffer BenchPicture(int slot) {
  ImageBuffer image(kBenchPictureW, kBenchPictureH, 32);
  const double cx = kBenchPictureW / 2.0;
  const double cy = kBenchPictureH / 2.0;
  for (int y = 0; y < kBenchPictureH; ++y) {
    uint8_t* p = image.RowPointer(y);
    for (int x = 0; x < kBenchPictureW; ++x, p += 4) {
      const double d = std::hypot((x - cx) / cx, (y - cy) / cy);
      p[0] = static_cast<uint8_t>(x * 3 + slot * 37);
      p[1] = static_cast<uint8_t>(y * 5 + slot * 11);
      p[2] = static_cast<uint8_t>((x ^ y) + slot * 53);
      p[3] = d >= 1.2 ? 0 : d <= 1.0 ? 255 : static_cast<uint8_t>((1.2 - d) / 0.2 * 255);
    }
  }
  image.SetBorderAlpha(0);
  return image;
}

inline ImageBuffer BenchBackground() {
  ImageBuffer image(kBenchBackgroundW, kBenchBackgroundH, 32);
  for (int y = 0; y < kBenchBackgroundH; ++y) {
    uint8_t* p = image.RowPointer(y);
    for (int x = 0; x < kBenchBackgroundW; ++x, p += 4) {
      p[0] = static_cast<uint8_t>(x / 3);
      p[1] = static_cast<uint8_t>(y / 2);
      p[2] = static_cast<uint8_t>((x + y) / 5);
      p[3] = 255;
    }
  }
  return image;
}

// Key frames, brushes and counts of the show (the images are the caller's).
// Each picture crosses the stage on its own path, shrinks from 160 x 120 to
// 130 x 120 by the middle and back, and turns by up to 90 degrees.
inline void AnimateBenchShow(ShowDocument& document, int pictures) {
  document.pictureCount = pictures;
  document.showLength = kBenchFrames;
  for (int slot = 0; slot < pictures; ++slot) {
    const float column = static_cast<float>(slot % 6);
    const float row = static_cast<float>(slot / 6);
    KeyFrame first{};
    first.x = 60 + 100 * column;
    first.y = 50 + 90 * row;
    first.width = kBenchPictureW;
    first.height = kBenchPictureH;
    first.rotation = 0;
    first.level = 0;
    first.time = 0;
    KeyFrame middle = first;
    middle.x = 580 - 90 * column;
    middle.y = 430 - 80 * row;
    middle.width = 130;
    middle.rotation = 15.0f * static_cast<float>(slot % 7) - 45;
    middle.time = kBenchFrames / 2;
    KeyFrame last = first;
    last.x = first.x + 20;
    last.rotation = middle.rotation * 2;
    last.time = kBenchFrames;
    Picture picture = document.PictureAt(slot);
    picture.keys[0] = first;
    picture.keys[1] = middle;
    picture.keys[2] = last;
    picture.keyCount = 3;
    picture.brush = BrushCode(Brush::kNormal);
    document.SetPicture(slot, std::move(picture));
  }
}

// The whole show in memory: pictures, background and key frames.
inline void BuildBenchShow(ShowDocument& document) {
  for (int slot = 0; slot < kBenchPictures; ++slot) {
    Picture picture;
    picture.image = BenchPicture(slot);
    document.SetPicture(slot, std::move(picture));
  }
  document.backgroundSource = kBackgroundPicture;
  document.backgroundImage = BenchBackground();
  AnimateBenchShow(document, kBenchPictures);
}

}  // namespace vantoril::bench
