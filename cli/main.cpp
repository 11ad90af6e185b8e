#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/cli_session.h"
#include "cli/commands.h"

namespace vantoril::cli {

namespace {

constexpr std::string_view kUsage = R"(usage: vantoril-cli COMMAND ...
       vantoril-cli --version

Commands:
  info SHOW.vsh                     the show as JSON: options, pictures, key frames
  eval SHOW.vsh FRAME [--second-field]
                                    every picture's state at FRAME as JSON
  frame SHOW.vsh FRAME OUT.png [--width W] [--height H] [--field-mode 0|1|2|3]
                                    composites one frame into an RGB PNG (default
                                    size: the stage; field modes 1 and 2 paint one
                                    field into a PNG of half the height)
  decode IMAGE OUT.png              reads a picture and writes what was read as RGBA PNG
  render SHOW.vsh OUT [--width W] [--height H] [--start TC] [--end TC] [--hold TC]
         [--fps F] [--quality Q] [--fields|--no-fields] [--reverse] [--codec FOURCC]
         [--threads N] [--part K/N]
                                    renders the show to a movie (.avi, .mov, .mp4,
                                    .mkv, .dps, .rtv) or, for OUT with a frame number
                                    such as frames/f%05d.png, to numbered PNG files;
                                    OUT "-" composes every frame (holds, fields and
                                    the reverse pass too) and writes nothing, then
                                    prints the frames, the time and the rate on
                                    stderr; --threads: cores that compose (default:
                                    all); --part K/N writes only the K-th of N equal
                                    parts of the movie's frames (holds and the
                                    reverse pass counted), for rendering on several
                                    machines
  join OUT.mov PART1.mov PART2.mov ...
                                    joins the parts of a movie without coding again
                                    (numbered PNG parts continue their numbers)
  codecs                            the codecs this build can write, per container
                                    (AVI .avi, QuickTime .mov, MP4 .mp4, Matroska .mkv)

Options of the show commands:
  --frame-rate 2997|2500|2397       the show's frame rate (default: the "FrameRate"
                                    setting, else 2997)
  --aspect 7500|5625                the stage's aspect (default: "AspectMode", else 7500)
  --strict                          refuse a show that is not whole: a damaged show
                                    file or a picture that cannot be read (without
                                    it, each is told on stderr, a placeholder stands
                                    in for the picture and the command goes on)

Exit status: 0 done, 1 usage error, 2 input refused or output not written (the
reason on stderr).
A render stopped with Ctrl+C (or ended with SIGTERM) finishes its movie with
the frames made, a join stopped so makes nothing; either then ends as the
signal ends a program (130, 143 in the shell).
)";

}  // namespace

int UsageError(std::string_view what) {
  std::cerr << "vantoril-cli: " << what << " (see vantoril-cli --help)\n";
  return kExitUsage;
}

int Main(int argc, char** argv) {
  std::vector<std::string_view> words(argv + 1, argv + argc);
  if (words.empty()) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  const std::string_view command = words.front();
  if (command == "--version") {
    std::cout << "vantoril-cli " VANTORIL_VERSION "\n";
    return kExitOk;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return kExitOk;
  }
  words.erase(words.begin());
  for (const auto word : words) {
    if (word == "--help" || word == "-h") {
      std::cout << kUsage;
      return kExitOk;
    }
  }
  if (command == "info") return RunInfo(words);
  if (command == "eval") return RunEval(words);
  if (command == "frame") return RunFrame(words);
  if (command == "decode") return RunDecode(words);
  if (command == "render") return RunRender(words);
  if (command == "codecs") return RunCodecs(words);
  if (command == "join") return RunJoin(words);
  return UsageError("unknown command " + std::string(command));
}

}  // namespace vantoril::cli

int main(int argc, char** argv) {
  int status = vantoril::cli::Main(argc, argv);
  // Output that could not be written (a full disk, a closed pipe) is no
  // success: the JSON or the list is not where the caller looks for it.
  errno = 0;
  std::cout.flush();
  if (!std::cout && status == vantoril::cli::kExitOk) {
    std::cerr << "vantoril-cli: cannot write to standard output";
    if (errno != 0) std::cerr << ": " << std::strerror(errno);
    std::cerr << '\n';
    status = vantoril::cli::kExitRefused;
  }
  if (status > vantoril::cli::kExitBySignal) {
    // The shell goes on with a script after a child that exits on Ctrl+C,
    // and stops it only after one that the signal ended.
    const int signal = status - vantoril::cli::kExitBySignal;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  }
  return status;
}
