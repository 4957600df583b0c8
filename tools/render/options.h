// The renderer's command line: which outputs to write, how many frames, which data file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "command_line/command_line.h"

namespace tools::render {

inline constexpr int DEFAULT_EVERY = 1;         // --png and --ascii-png: every frame
inline constexpr int DEFAULT_SHEET_EVERY = 33;  // --sheet: one thumbnail a second (33 x 30 ms)
inline constexpr int DEFAULT_SCALE = 4;
inline constexpr int MAX_SCALE = 32;
// --video: a standard screen, and a limit that keeps a frame's buffers modest.
inline constexpr int DEFAULT_VIDEO_WIDTH = 1280;
inline constexpr int DEFAULT_VIDEO_HEIGHT = 720;
inline constexpr int MAX_VIDEO_SIDE = 4096;

// The name that sends an output file to standard output.
inline constexpr const char* STANDARD_OUTPUT = "-";

// The view --cast and --html record: AA-lib's characters, or the colour display's cells.
enum class ShareView : uint8_t { ASCII, COLOUR };

struct RenderOptions {
  std::optional<uint32_t> frame_limit;      // --frames: frames 0 to N - 1, else until END
  std::string raw_path;                     // --raw: RGB565 pictures, little-endian
  std::string grey_path;                    // --grey: the low byte of each picture pixel
  std::string ascii_path;                   // --ascii: the 80 x 25 text of each frame
  std::string png_dir;                      // --png: colour pictures, one file a frame
  std::string ascii_png_dir;                // --ascii-png: the text drawn in AA-lib's font
  std::string sheet_path;                   // --sheet: thumbnails of both views in a grid
  std::string gif_path;                     // --gif: the ASCII view as an animation
  std::string ansi_path;                    // --ansi: the colour view's 80 x 25 cells as ANSI text
  std::string colour_sheet_path;            // --colour-sheet: thumbnails of the colour view
  std::string cast_path;                    // --cast: an asciicast recording of the terminal
  std::string html_path;                    // --html: a web page that runs the engine
  std::string data_path;                    // the data file rendered (not an option)
  std::string wav_path;                     // --wav: the show's sound, 16-bit stereo PCM
  ShareView share_view = ShareView::ASCII;  // --display: the view --cast and --html record
  std::string title;                        // --title: the recording's title, else the file's name
  bool farewell = true;                     // --no-farewell: recordings end with the show
  bool stats = false;                       // --stats: a summary on standard output
  std::optional<int> every;                 // --every: 1 for pictures, 33 for the sheet by default
  int scale = DEFAULT_SCALE;                // --scale: pixels a side per picture pixel in --png

  // --video: WebM or MP4 by the extension, of the view --display picks, on a frame of --size
  // with the picture letterboxed, at --crf's quality (else the codec's default).
  std::string video_path;
  int video_width = DEFAULT_VIDEO_WIDTH;
  int video_height = DEFAULT_VIDEO_HEIGHT;
  std::optional<int> crf;

  int png_every() const { return every.value_or(DEFAULT_EVERY); }
  int sheet_every() const { return every.value_or(DEFAULT_SHEET_EVERY); }
  // Whether any option asks for something to be written.
  bool writes_anything() const;
  // Whether an output goes to standard output ('-'), where the loader's line must not go.
  bool uses_standard_output() const;
};

// The outputs that are one file each (and so may be standard output): option and path.
std::vector<std::pair<const char*, const std::string*>> file_outputs(const RenderOptions& options);

// The renderer's own options, in the order --help lists them.
extern const std::span<const engine::Option<RenderOptions>> render_options;

struct RenderCommand {
  engine::Arguments arguments;  // request, data file operands, the mistake
  RenderOptions options;
};

// Reads the options; a second data file, or two outputs on standard output, is a mistake.
RenderCommand read_render_command(int argc, char** argv);

// The text --help prints: every option with its meaning. It begins with USAGE_LINE.
std::string render_help();
extern const char* const USAGE_LINE;

}  // namespace tools::render
