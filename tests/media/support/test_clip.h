#pragma once

#include <string>

#include "engine/image_buffer.h"

namespace vantoril::test {

// How to make a small clip whose frames each show their own number.
struct TestClipOptions {
  std::string path;     // the container follows the extension (.avi, .mov)
  std::string encoder;  // an encoder name of the linked libraries
  int frames = 10;
  int rateNum = 25;  // frames per second = rateNum / rateDen
  int rateDen = 1;
  int maxBFrames = 0;
  int gopSize = 12;
  int width = 320;
  int height = 240;
  int block = 32;  // the side of a number block; 4 fits a 40 x 24 frame
  // Groups of pictures whose leading B-frames refer back to the group before
  // (libx264 only; the MPEG-2 encoder makes open groups whenever it has B-frames).
  bool openGop = false;
  // Quarter turns clockwise a player makes to show the frames upright, as
  // a phone held upright records them (QuickTime and MP4 keep it).
  int displayTurns = 0;
};

// Whether the linked libraries hold an encoder by that name.
bool HasEncoder(const std::string& name);

// Encodes frames 0..frames-1. Each frame shows its number as 16 bits in big
// black and white blocks, a red block at the top left and a blue block at the
// bottom right. False when the clip could not be written (also for a size
// below 288 x 160, too small for the blocks).
bool WriteTestClip(const TestClipOptions& options);

// Zeroes the data of frame `frame` of an AVI clip, so that it no longer
// decodes (the frame is lost, the file's structure is whole). False when the
// clip has no such frame.
bool LoseAviFrame(const std::string& path, int frame);

// The number a decoded frame shows, -1 when the blocks are not clean black or
// white (a damaged or wrong frame).
int FrameNumberShown(const ImageBuffer& image, int block = 32);

// Whether the frame is upright with red and blue in their places; after the
// given quarter turns clockwise of the written frame, where they went.
bool MarkersInPlace(const ImageBuffer& image, int quarterTurns = 0);

}  // namespace vantoril::test
