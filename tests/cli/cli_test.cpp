#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "output/support/movie_reader.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using vantoril::test::FreshFolder;
using vantoril::test::ReadText;

struct CliRun {
  int status = -1;
  int signal = 0;   // the signal that ended the program, if one did
  std::string out;  // stdout
  std::string err;  // stderr
};

// Runs vantoril-cli with the words (quoted for the shell) and an empty
// settings folder, so that no user's settings change what is tested. The
// shell runs `before` first (limits for the program).
CliRun Cli(const std::string& words, const std::string& before = "") {
  static const fs::path folder = FreshFolder("cli_run");
  const fs::path out = folder / "stdout.txt";
  const fs::path err = folder / "stderr.txt";
  const std::string command = before + "XDG_CONFIG_HOME='" + folder.string() +
                              "' '" VANTORIL_CLI "' " + words + " >'" + out.string() + "' 2>'" +
                              err.string() + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0,
          ReadText(out), ReadText(err)};
}

const std::string kExample = std::string("'") + VANTORIL_SOURCE_DIR + "/examples/example.vsh'";

// Every text of `out` and `err` appears in what the run prints.
struct Expected {
  std::string words;
  int status;
  std::vector<std::string> out, err;
};

void ExpectRuns(const std::vector<Expected>& runs) {
  for (const Expected& expected : runs) {
    const CliRun run = Cli(expected.words);
    EXPECT_EQ(run.status, expected.status) << expected.words << "\n" << run.err;
    for (const std::string& text : expected.out) {
      EXPECT_NE(run.out.find(text), std::string::npos) << expected.words << "\n" << run.out;
    }
    for (const std::string& text : expected.err) {
      EXPECT_NE(run.err.find(text), std::string::npos) << expected.words << "\n" << run.err;
    }
  }
}

TEST(Cli, HelpUsageErrorsAndTheCodecs) {
  std::vector<Expected> runs = {
      {"--help", 0, {"vantoril-cli COMMAND"}, {}},
      // Delivery containers are listed with their codecs; media names that
      // cannot be written, and ProRes in MP4, are refused with the reason.
      {"codecs", 0, {"MP4:\n  \"avc1\"", "Matroska:\n  \"FFV1\""}, {}},
      {"render " + kExample + " x.webm", 1, {}, {".mkv (Matroska)"}},
      {"render " + kExample + " x.mp4 --codec apch", 1, {}, {"ProRes"}},
      {"render " + kExample + " - --start soon", 1, {}, {"--start takes a timecode"}},
      {"render " + kExample + " - --end :", 1, {}, {"--end takes a timecode"}},
      {"render " + kExample + " - --hold none", 1, {}, {"--hold takes a timecode"}}};
  for (const std::string& words :
       {std::string(), std::string("juggle"), std::string("info"), "eval " + kExample + " ten",
        "info " + kExample + " --frame-rate 3000", "info " + kExample + " --bogus 1",
        "frame " + kExample + " 0 x.png --field-mode 4",
        "render " + kExample + " x.avi --codec ZZZZ", "render " + kExample + " x.avi --width 0",
        "render " + kExample + " - --threads 0"}) {
    runs.push_back({words, 1, {}, {}});
  }
  ExpectRuns(runs);
}

TEST(Cli, InfoAndEvalPrintTheShowAsJson) {
  // Pictures and the sound track are found beside the show, whatever the
  // working folder. Frame 60 is the star's second key frame: its place
  // exactly. (Its level is a hair off 0: the stored quarter turn of the ease
  // is slightly short.)
  ExpectRuns({{"info " + kExample,
               0,
               {"{\"showId\":4242,\"videoColors\":1,\"alphaBlur\":0,\"background\":\"",
                "examples/pictures/star.tga\",\"brush\":0,\"tint\":255,\"locked\":0,"
                "\"imageWidth\":128,\"imageHeight\":128,\"keys\":[{\"time\":0,\"x\":-60,"
                "\"y\":120,\"width\":96,\"height\":96,\"rotation\":0,\"level\":0,"
                "\"easeCode\":1040}",
                "examples/sounds/scale.wav\"", "\"brush\":1000", "\"tint\":4227264"},
               {}},
              {"eval " + kExample + " 60",
               0,
               {"{\"frame\":60,\"pictures\":[{\"x\":320,\"y\":240,\"width\":128,"
                "\"height\":128,\"rotation\":360,\"level\":",
                "\"easeCode\":1040},{"},
               {}}});
  const CliRun info = Cli("info " + kExample);
  EXPECT_EQ(info.out.rfind("{\"showId\"", 0), 0u);
  EXPECT_EQ(info.out.back(), '\n');
  const CliRun second = Cli("eval " + kExample + " 30 --second-field");
  ASSERT_EQ(second.status, 0);
  EXPECT_NE(second.out, Cli("eval " + kExample + " 30").out);
  // Nine significant digits: the floats read back to the same value.
  EXPECT_NE(second.out.find("."), std::string::npos);
  // Output that cannot be written is no success.
  const fs::path err = FreshFolder("cli_full_output") / "stderr.txt";
  const int full = std::system(
      ("'" VANTORIL_CLI "' info " + kExample + " >/dev/full 2>'" + err.string() + "'").c_str());
  EXPECT_EQ(WEXITSTATUS(full), 2);
  EXPECT_EQ(ReadText(err),
            "vantoril-cli: cannot write to standard output: No space left on device\n");
}

// Refused input exits with 2 and the program's message. A show that is not
// whole is told line by line and goes on; --strict refuses it and writes
// nothing.
TEST(Cli, RefusedInputUnreadablePicturesAndDamagedShows) {
  const auto folder = FreshFolder("cli_refused");
  const auto path = [&](const std::string& name) { return "'" + (folder / name).string() + "'"; };
  std::ofstream(folder / "bad.bmp", std::ios::binary) << "BM" << std::string(60, '\x01');
  std::ofstream(folder / "photo.vsh", std::ios::binary) << std::string(500, 'x');
  // Away from its pictures every picture of the example is missing.
  const std::string example = ReadText(fs::path(VANTORIL_SOURCE_DIR) / "examples/example.vsh");
  std::ofstream(folder / "lost.vsh", std::ios::binary) << example;
  std::ofstream(folder / "cut.vsh", std::ios::binary) << example.substr(0, example.size() - 100);
  const std::string lost = path("lost.vsh");
  const std::string cut = path("cut.vsh");
  ExpectRuns({{"decode " + path("bad.bmp") + " " + path("out.png"), 2, {}, {"\n"}},
              {"eval " + cut + " 0",
               0,
               {},
               {"vantoril-cli: This show file is damaged: it is cut short ("}},
              {"render " + lost + " " + path("m%02d.png") + " --width 8 --height 6 --end 00:00:02",
               0,
               {},
               {"pictures of this show could not be read and render as placeholders"}}});
  for (const auto& [words, err] :
       {std::pair{"decode " + path("none.bmp") + " x.png",
                  "Can't open graphics file\n" + (folder / "none.bmp").string() + "\n"},
        std::pair{"info " + path("photo.vsh"),
                  "This file is not a show file\n" + (folder / "photo.vsh").string() + "\n"},
        std::pair{"eval " + path("none.vsh") + " 0", "Can't open show file\n" +
                                                         (folder / "none.vsh").string() +
                                                         "\nNo such file or directory\n"},
        std::pair{"info " + path(""),
                  "Can't open show file\n" + (folder / "").string() + "\nIs a directory\n"}}) {
    const CliRun run = Cli(words);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, err);
  }

  const CliRun info = Cli("info " + lost);
  ASSERT_EQ(info.status, 0) << info.err;
  const std::string star = "vantoril-cli: cannot read picture " +
                           (folder / "pictures/star.tga").string() +
                           " (no such file); a placeholder stands in\n";
  EXPECT_NE(info.err.find(star), std::string::npos) << info.err;
  long pictures = 0;
  for (size_t at = 0; (at = info.out.find("\"file\":", at)) != std::string::npos; ++at) {
    ++pictures;
  }
  EXPECT_GT(pictures, 1);
  // The background, a still, is missing too.
  EXPECT_NE(info.err.find((folder / "pictures/sky.bmp").string()), std::string::npos) << info.err;
  EXPECT_EQ(std::count(info.err.begin(), info.err.end(), '\n'), pictures + 1) << info.err;

  for (const std::string& refused : {"info " + lost + " --strict", "eval " + cut + " 0 --strict",
                                     "frame " + lost + " 0 " + path("f.png") + " --strict",
                                     "render " + cut + " " + path("r.avi") + " --strict"}) {
    const CliRun run = Cli(refused);
    EXPECT_EQ(run.status, 2) << refused;
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("--strict"), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(folder / "f.png"));
  EXPECT_FALSE(fs::exists(folder / "r.avi"));
}

// The PNG header's size, bit depth and colour type (2 RGB, 6 RGBA).
TEST(Cli, FrameAndDecodeWritePngFiles) {
  const auto folder = FreshFolder("cli_png");
  const std::string star = std::string(VANTORIL_SOURCE_DIR) + "/examples/pictures/star.tga";
  const std::pair<std::string, std::string> cases[] = {
      {"frame " + kExample + " 30 '" + (folder / "a.png").string() + "' --width 320 --height 240",
       std::string("\0\0\x01\x40\0\0\0\xf0\x08\x02", 10)},
      {"frame " + kExample + " 30 '" + (folder / "b.png").string() + "' --field-mode 1",
       std::string("\0\0\x02\x80\0\0\0\xf0\x08\x02", 10)},
      {"decode '" + star + "' '" + (folder / "c.png").string() + "'",
       std::string("\0\0\0\x80\0\0\0\x80\x08\x06", 10)}};
  char name = 'a';
  for (const auto& [words, header] : cases) {
    ASSERT_EQ(Cli(words).status, 0) << words;
    const std::string png = ReadText(folder / (std::string(1, name++) + ".png"));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(png.substr(16, 10), header) << words;
  }
  // A write that fails says why and leaves the older file whole: onto a
  // folder, and past a file size limit (its signal ignored).
  const std::string older = ReadText(folder / "a.png");
  fs::create_directory(folder / "folder.png");
  for (const auto& [target, before, reason] :
       {std::tuple{std::string("folder.png"), std::string(), "Is a directory"},
        {"a.png", "trap '' XFSZ; ulimit -f 1; ", "File too large"}}) {
    const CliRun run =
        Cli("frame " + kExample + " 30 '" + (folder / target).string() + "'", before);
    EXPECT_EQ(run.status, 2) << target;
    EXPECT_NE(run.err.find("Can't write PNG file\nvantoril-cli: " + (folder / target).string() +
                           ": " + reason),
              std::string::npos)
        << run.err;
  }
  EXPECT_EQ(ReadText(folder / "a.png"), older);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 4);  // a, b, c and the folder
}

// A movie rendered in three parts and joined equals the movie rendered
// whole, frame for frame, holds, fields and the reverse pass included; the
// parts of a numbered sequence continue its numbers. "-" composes every frame
// of both passes and writes nothing.
TEST(Cli, PartsJoinIntoTheWholeMovie) {
  const auto folder = FreshFolder("cli_parts");
  const std::string options =
      " --width 96 --height 72 --end 00:00:20 --hold 00:00:03 --reverse --fields --fps 30";
  const auto path = [&](const std::string& name) { return "'" + (folder / name).string() + "'"; };
  const CliRun render = Cli("render " + kExample + " " + path("whole.avi") + options);
  ASSERT_EQ(render.status, 0) << render.err;
  EXPECT_NE(render.err.find("\"FFV1\""), std::string::npos);  // the default codec
  std::string join = "join " + path("joined.avi");
  for (const char* part : {"1", "2", "3"}) {
    const std::string name = std::string("p") + part + ".avi";
    const CliRun run =
        Cli("render " + kExample + " " + path(name) + options + " --part " + part + "/3");
    ASSERT_EQ(run.status, 0) << run.err;
    join += " " + path(name);
  }
  const CliRun joined = Cli(join);
  ASSERT_EQ(joined.status, 0) << joined.err;
  const auto whole = vantoril::test::ReadMovie(folder / "whole.avi");
  const auto parts = vantoril::test::ReadMovie(folder / "joined.avi");
  ASSERT_TRUE(whole.ok) << whole.error;
  ASSERT_EQ(whole.frames.size(), 2u * (20 + 2 * 3));
  const auto expectWhole = [&](const vantoril::test::MovieContents& movie) {
    ASSERT_EQ(movie.frames.size(), whole.frames.size()) << movie.error;
    for (size_t i = 0; i < whole.frames.size(); ++i) {
      EXPECT_EQ(movie.frames[i].bgra, whole.frames[i].bgra) << "frame " << i;
    }
  };
  expectWhole(parts);

  // The script runs the parts side by side and joins them the same way.
  const std::string script = "VANTORIL_CLI='" VANTORIL_CLI "' '" VANTORIL_SOURCE_DIR
                             "/scripts/render-parts' -n 3 " +
                             kExample + " " + path("script.avi") + options + " 2>/dev/null";
  ASSERT_EQ(std::system(script.c_str()), 0);
  expectWhole(vantoril::test::ReadMovie(folder / "script.avi"));
  EXPECT_FALSE(fs::exists(folder / "script.avi.parts"));
  const CliRun nothing = Cli("render " + kExample + " -" + options + " --threads 3");
  EXPECT_NE(nothing.err.find("40 frames composed (52 with holds)"), std::string::npos)
      << nothing.err;
  EXPECT_FALSE(fs::exists("-"));
  // A side past the largest is cut back, and the command says so.
  const CliRun wide = Cli("render " + kExample + " - --width 5000 --height 72 --end 00:00:01");
  EXPECT_EQ(wide.status, 0) << wide.err;
  EXPECT_NE(wide.err.find("at most 4096 pixels a side: this one is 4096 x 72"), std::string::npos)
      << wide.err;
  EXPECT_EQ(nothing.err.find("pixels a side"), std::string::npos) << nothing.err;
  const CliRun fast = Cli("render " + kExample + " - --fps 75 --end 00:00:01");
  EXPECT_EQ(fast.status, 0) << fast.err;
  EXPECT_NE(fast.err.find("at most 60 frames a second: this one plays 60"), std::string::npos)
      << fast.err;
  EXPECT_EQ(nothing.err.find("frames a second"), std::string::npos) << nothing.err;

  const CliRun second =
      Cli("render " + kExample + " " + path("f%03d.png") + options + " --part 2/2");
  ASSERT_EQ(second.status, 0) << second.err;
  // The sound track is not in a movie, and the command says so.
  EXPECT_NE(second.err.find("scale.wav) is not part of the movie"), std::string::npos)
      << second.err;
  EXPECT_EQ(nothing.err.find("sound track"), std::string::npos) << nothing.err;
  EXPECT_FALSE(fs::exists(folder / "f025.png"));
  EXPECT_EQ(vantoril::test::ReadMovie(folder / "f026.png").frames.at(0).bgra,
            whole.frames[26].bgra);
  EXPECT_TRUE(fs::exists(folder / "f051.png"));
  EXPECT_FALSE(fs::exists(folder / "f052.png"));

  for (const char* bad : {"0/3", "4/3", "1", "a/b", "1/0"}) {
    EXPECT_EQ(Cli("render " + kExample + " x.avi --part " + bad).status, 1) << bad;
  }
  // More parts than frames: a part of none is refused, and no file is made.
  const CliRun empty =
      Cli("render " + kExample + " " + path("e.avi") + " --end 00:00:10 --part 15/100");
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(empty.err.find("holds none of the movie's 10 frames"), std::string::npos) << empty.err;
  EXPECT_FALSE(fs::exists(folder / "e.avi"));
}

// A full disk (a file size limit, its signal ignored) in the middle of a
// movie: the program says so, exits with 2 and leaves a movie that reads as
// the first frames of the whole one.
TEST(Cli, RenderOntoAFullDiskKeepsTheWholeFrames) {
  const auto folder = FreshFolder("cli_full_disk");
  // The shell counts the limit in blocks of 512 bytes. H.264 sends frames
  // out of order: the cut must not keep a frame without those shown before it.
  for (const auto& [name, blocks, codec] :
       {std::tuple{std::string("m.avi"), 40, ""}, {"m.mov", 64, " --codec avc1"}}) {
    const auto render = [&](const std::string& file, const std::string& limit) {
      return Cli("render " + kExample + " '" + (folder / file).string() +
                     "' --width 320 --height 240 --end 00:02:00" + codec,
                 limit);
    };
    ASSERT_EQ(render("whole-" + name, "").status, 0);
    const CliRun run = render(name, "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; ");
    EXPECT_EQ(run.status, 2) << name << ": " << run.err;
    EXPECT_NE(run.err.find("Error Writing Movie File"), std::string::npos) << run.err;

    // The AVI frame the disk ran out in is cut short; FFV1 with slices
    // refuses it, so reading may stop there, but at no earlier frame. The
    // QuickTime index lists whole frames only.
    const auto cut = vantoril::test::ReadMovie(folder / name);
    const auto whole = vantoril::test::ReadMovie(folder / ("whole-" + name));
    EXPECT_TRUE(cut.ok || (name == "m.avi" && cut.error == "decoding failed" &&
                           cut.packetDurations.size() == cut.frames.size() + 1))
        << name << ": " << cut.error;
    EXPECT_GT(cut.frames.size(), 0u) << name;
    ASSERT_LT(cut.frames.size(), whole.frames.size()) << name;
    for (size_t i = 0; i < cut.frames.size(); ++i) {
      EXPECT_TRUE(cut.frames[i].bgra == whole.frames[i].bgra) << name << " frame " << i;
    }
  }
}

// Numbered pictures on a full disk (a file size limit the later frames pass):
// the pictures before the one that did not fit are whole, and none is left
// cut, not even in place of an older picture of the same name.
TEST(Cli, NumberedPicturesOnAFullDiskAreWholeOrNotThere) {
  const auto folder = FreshFolder("cli_full_disk_pictures");
  fs::create_directories(folder / "whole");
  fs::create_directories(folder / "cut");
  const auto render = [&](const std::string& into, const std::string& limit) {
    return Cli("render " + kExample + " '" + (folder / into).string() +
                   "/f%03d.png' --width 320 --height 240 --end 00:02:00 --no-fields",
               limit);
  };
  ASSERT_EQ(render("whole", "").status, 0);
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  const auto name = [](int frame) {
    std::string number = std::to_string(frame);
    return "f" + std::string(3 - number.size(), '0') + number + ".png";
  };
  for (int frame = 0; frame < 60; ++frame)
    vantoril::test::WriteBytes(folder / "cut" / name(frame), old);
  // The first frames' pictures take about 3 KB, the later ones up to 9 KB.
  const CliRun run = render("cut", "trap '' XFSZ; ulimit -f 8; ");
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("cannot write " + (folder / "cut").string()), std::string::npos)
      << run.err;
  int whole = 0;
  for (int frame = 0; frame < 60; ++frame) {
    const auto bytes = vantoril::test::ReadBytes(folder / "cut" / name(frame));
    if (bytes == vantoril::test::ReadBytes(folder / "whole" / name(frame))) {
      EXPECT_EQ(whole++, frame) << "a picture after the one that did not fit";
    } else {
      EXPECT_EQ(bytes, old) << name(frame);
    }
  }
  EXPECT_GT(whole, 0);
  EXPECT_LT(whole, 60);
  for (const auto& entry : fs::directory_iterator(folder / "cut")) {
    EXPECT_EQ(entry.path().extension(), ".png") << entry.path();
  }
}

// The shell words that send `signal` to the shell's own process once `file`
// has a few frames; `exec` then makes that process the program.
std::string SignalOnceWritten(const fs::path& file, int signal) {
  return "(n=0; while [ $n -lt 3000 ] && [ \"$(stat -c %s '" + file.string() +
         "' 2>/dev/null || echo 0)\" -lt 200000 ]; do sleep 0.02; n=$((n + 1)); done; kill -" +
         std::to_string(signal) + " $$) & exec ";
}

// Ctrl+C ends a pass as Esc does, a request to end the program every pass;
// either way the movie is finished with the frames made, then the program
// ends as the signal would, so that a shell script stops instead of going on
// with part of a movie. A Ctrl+C ignored from the start (a script's
// background job) changes nothing.
TEST(Cli, StopSignalsFinishTheMovieAndEndTheProgram) {
  const auto folder = FreshFolder("cli_stop");
  // The example's one pass, and the first frames that the signal comes after.
  constexpr size_t kPass = 119;
  constexpr size_t kEarly = kPass / 2;
  struct Case {
    int signal;
    bool ignored;
    size_t fewest, most;  // frames of the movie
  };
  for (const Case& c :
       {Case{SIGINT, false, kPass + 1, 2 * kPass - 1}, Case{SIGTERM, false, 1, kEarly},
        Case{SIGINT, true, 2 * kPass, 2 * kPass}}) {
    const fs::path movie =
        folder / ("m" + std::to_string(c.signal) + (c.ignored ? "i" : "") + ".avi");
    const CliRun run =
        Cli("render " + kExample + " '" + movie.string() + "' --codec FFV1 --reverse",
            std::string(c.ignored ? "trap '' INT; " : "") + SignalOnceWritten(movie, c.signal) +
                "env ");
    EXPECT_EQ(run.signal, c.ignored ? 0 : c.signal) << run.err;
    EXPECT_EQ(run.err.find("Movie stopped after") != std::string::npos, !c.ignored) << run.err;
    const auto read = vantoril::test::ReadMovie(movie);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_GE(read.frames.size(), c.fewest) << movie;
    EXPECT_LE(read.frames.size(), c.most) << movie;
  }

  // The script that renders parts side by side stops them too, and keeps
  // what they made.
  const fs::path parts = folder / "p.avi.parts";
  const std::string script =
      SignalOnceWritten(parts / "part1.avi", SIGTERM) +
      "env VANTORIL_CLI='" VANTORIL_CLI "' '" VANTORIL_SOURCE_DIR "/scripts/render-parts' -n 2 " +
      kExample + " '" + (folder / "p.avi").string() + "' --codec FFV1 --reverse 2>/dev/null";
  const int status = std::system(script.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 130);
  EXPECT_FALSE(fs::exists(folder / "p.avi"));
  for (const char* part : {"part1.avi", "part2.avi"}) {
    const auto read = vantoril::test::ReadMovie(parts / part);
    EXPECT_TRUE(read.ok) << part << ": " << read.error;
    EXPECT_LT(read.frames.size(), kPass) << part;
  }
}

// Nothing is written over a file the show reads, under whatever name it is
// reached: a background clip would be read while it is being overwritten. A
// join is refused over one of its parts and for parts of another movie, and a
// refused join leaves the movie that was there as it was.
TEST(Cli, NothingIsWrittenOverTheShowsFilesNorAJoinsParts) {
  const auto folder = FreshFolder("cli_own_files");
  fs::copy(fs::path(VANTORIL_SOURCE_DIR) / "examples", folder, fs::copy_options::recursive);
  const auto path = [&](const std::string& name) { return "'" + (folder / name).string() + "'"; };
  const std::string show = path("example.vsh");
  fs::create_symlink(folder / "pictures/sky.bmp", folder / "sky.avi");
  fs::create_symlink(folder / "example.vsh", folder / "show.mov");
  fs::create_symlink(folder / "sounds/scale.wav", folder / "sound.mkv");
  const std::vector<uint8_t> star = vantoril::test::ReadBytes(folder / "pictures/star.tga");
  ExpectRuns({{"render " + show + " " + path("sky.avi"), 2, {}, {"is the show's background"}},
              {"render " + show + " " + path("show.mov"), 2, {}, {"is the show's own file"}},
              {"render " + show + " " + path("sound.mkv"), 2, {}, {"is the show's sound track"}},
              {"frame " + show + " 0 " + path("pictures/../pictures/star.tga"),
               2,
               {},
               {"is the show's picture 1"}},
              {"decode " + path("pictures/star.tga") + " " + path("./pictures/star.tga"),
               2,
               {},
               {"never written over the file it was read from"}}});
  EXPECT_EQ(vantoril::test::ReadBytes(folder / "pictures/star.tga"), star);
  EXPECT_TRUE(fs::is_regular_file(folder / "example.vsh"));

  const std::string small = " --width 32 --height 24 --end 00:00:02";
  for (const auto& [name, options] :
       {std::pair{std::string("p1.avi"), small + " --part 1/2"},
        {"p2.avi", small + " --part 2/2"},
        {"wide.avi", " --width 48 --height 24 --end 00:00:02 --part 2/2"},
        {"p2.mkv", small + " --part 2/2"}}) {
    ASSERT_EQ(Cli("render " + show + " " + path(name) + options).status, 0) << name;
  }
  ASSERT_EQ(Cli("join " + path("joined.avi") + " " + path("p1.avi") + " " + path("p2.avi")).status,
            0);
  const std::vector<uint8_t> joined = vantoril::test::ReadBytes(folder / "joined.avi");
  const std::vector<uint8_t> first = vantoril::test::ReadBytes(folder / "p1.avi");
  ExpectRuns({{"join " + path("p1.avi") + " " + path("p1.avi") + " " + path("p2.avi"),
               2,
               {},
               {"would be written over its part"}},
              {"join " + path("joined.avi") + " " + path("p1.avi") + " " + path("wide.avi"),
               2,
               {},
               {"its frame size (48 x 24) differs"}},
              {"join " + path("joined.avi") + " " + path("p1.avi") + " " + path("p2.mkv"),
               2,
               {},
               {"its file type differs"}}});
  EXPECT_EQ(vantoril::test::ReadBytes(folder / "p1.avi"), first);
  EXPECT_EQ(vantoril::test::ReadBytes(folder / "joined.avi"), joined);
  EXPECT_FALSE(fs::exists(folder / "joined.avi.joining"));
}

}  // namespace
