// Writes the seed corpora for wave_file_fuzz and clip_reader_fuzz with the
// project's own clip and WAV writers: small AVI and QuickTime clips of every
// codec the tests use (intra only, with B-frames, with an edit list) and WAV
// files of each layout the reader meets.
//   make_media_seeds WAVE_FOLDER CLIP_FOLDER

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "media/clip_reader.h"
#include "support/test_clip.h"
#include "support/wave_bytes.h"

namespace {

using vantoril::test::PcmFormat;
using vantoril::test::WaveBytes;

// The fuzzer reads a start frame and a frame rate before the file.
bool WriteWave(const std::string& path, int32_t startFrame, int32_t frameRate,
               const WaveBytes& wave) {
  std::vector<uint8_t> bytes;
  for (const int32_t value : {startFrame, frameRate}) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(uint32_t(value) >> shift));
  }
  const auto file = wave.Bytes();
  bytes.insert(bytes.end(), file.begin(), file.end());
  return vantoril::test::WriteFile(path, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_media_seeds WAVE_FOLDER CLIP_FOLDER\n");
    return 2;
  }
  const std::string waves = argv[1];
  const std::string clips = argv[2];
  const auto samples = vantoril::test::CountingSamples(64);
  auto floatFormat = PcmFormat(2, 48000, 32);
  floatFormat.formatTag = 3;
  bool ok = true;
  ok &= WriteWave(waves + "/pcm16.wav", 0, 2997,
                  WaveBytes().Format(PcmFormat(2, 44100, 16)).Data(samples));
  ok &= WriteWave(waves + "/start.wav", 3, 2400,
                  WaveBytes().Format(PcmFormat(1, 8000, 8)).Data(samples));
  ok &= WriteWave(waves + "/chunks.wav", 1, 2500,
                  WaveBytes()
                      .Chunk("LIST", {'I', 'N', 'F', 'O', 1})
                      .Format(floatFormat, {0, 0})
                      .Chunk("fact", {1, 0, 0, 0})
                      .Data(samples, 1u << 31));
  ok &= WriteWave(waves + "/nodata.wav", 0, 2997, WaveBytes().Format(PcmFormat(1, 22050, 16)));

  vantoril::ClipReader quiet(nullptr);  // silences the encoders
  struct Clip {
    const char* name;
    const char* encoder;
    int frames;
    int maxBFrames;
    int gop;
  };
  for (const Clip& clip :
       {Clip{"mjpeg.avi", "mjpeg", 6, 0, 1}, Clip{"mjpeg.mov", "mjpeg", 5, 0, 1},
        Clip{"bframes.avi", "mpeg4", 9, 2, 4}, Clip{"bframes.mov", "mpeg4", 9, 2, 4}}) {
    vantoril::test::TestClipOptions options;
    options.path = clips + "/" + clip.name;
    options.encoder = clip.encoder;
    options.frames = clip.frames;
    options.maxBFrames = clip.maxBFrames;
    options.gopSize = clip.gop;
    options.width = 40;
    options.height = 24;
    options.block = 4;
    ok &= vantoril::test::WriteTestClip(options);
  }
  if (!ok) std::fprintf(stderr, "make_media_seeds: a seed could not be written\n");
  return ok ? 0 : 1;
}
