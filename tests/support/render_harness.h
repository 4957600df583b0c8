// Running the renderer and the player as programs in a show directory, and reading back what
// the renderer writes: raw pictures, ASCII frames, PNGs through libpng, GIFs through giflib.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fixtures/datafile_builder.h"
#include "support/show_harness.h"

namespace support {

// A temporary directory holding data/mote-tundra-2003.dat, where both programs find it.
struct ShowDir {
  explicit ShowDir(const Bytes& data_file);
  std::string file(const std::string& name) const { return dir.path + "/" + name; }
  TempDir dir;
};

// A show of `frames` frames, then END: a still image of many greys fills the picture, and a
// colour cycle fill in a 20 x 50 strip at x = 60 runs over it, so that frames change and AA-lib
// dithers. Past frame 600 it shows the display's flash.
Bytes busy_show(uint16_t frames);

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `command` (a shell command line) in `directory` with no terminal, no X display and no
// AA-lib options unless the command sets them.
ProgramRun run_in(const std::string& directory, const std::string& command);

// The 160 x 50 pictures of a --raw file, one vector of 8000 pixels a frame.
std::vector<std::vector<uint16_t>> read_raw_frames(const std::string& bytes);

// The frames of --ascii output: each 25 lines; `numbers` gets the line after each.
std::vector<std::vector<std::string>> read_ascii_frames(const std::string& text,
                                                        std::vector<std::string>* numbers);

// The frames AA-lib's stdout driver printed: 25 lines and a form-feed line each. Lines before
// the first frame (the loader's) and after the last are skipped.
std::vector<std::vector<std::string>> read_player_frames(const std::string& text);

struct PngFile {
  int width = 0;
  int height = 0;
  int channels = 0;  // 1 grey, 3 RGB, as stored
  std::vector<uint8_t> bytes;
  const uint8_t* at(int x, int y) const {
    return bytes.data() + (size_t(y) * width + x) * channels;
  }
};
std::optional<PngFile> read_png(const std::string& path);

// Every image of a GIF composed onto its screen as a viewer would (no disposal), in greys from
// its global palette, with its delay in hundredths of a second.
struct GifFile {
  int width = 0;
  int height = 0;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<int> delays;
  bool loops = false;  // carries the application block that repeats it for ever
};
std::optional<GifFile> read_gif(const std::string& path);

}  // namespace support
