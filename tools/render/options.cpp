// Reading the renderer's command line.
#include "tools/render/options.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace tools::render {

const char* const USAGE_LINE = "usage: tundra-render [options] [DATAFILE]\n";

namespace {

using engine::Option;

// A whole decimal number from `minimum` to 2^31 - 1: frame counts and factors stay far below it.
std::optional<int64_t> read_number(std::string_view text, int64_t minimum) {
  int64_t number = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  if (number < minimum || number > INT32_MAX) return std::nullopt;
  return number;
}

std::string not_a_number(std::string_view value, int64_t minimum) {
  return std::string("takes a whole number") + (minimum > 0 ? " from 1" : "") + ", not '" +
         std::string(value) + "'";
}

template <std::string RenderOptions::*field>
std::string store_path(RenderOptions& options, std::string_view value) {
  if (value.empty()) return "needs a non-empty value";
  options.*field = value;
  return {};
}

// A folder's name with links, "." and ".." worked out, so that two names of it compare equal.
std::filesystem::path resolved(const std::string& folder) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
  std::filesystem::path path = std::filesystem::weakly_canonical(absolute, error);
  if (error) path = absolute.lexically_normal();
  return path.has_filename() ? path : path.parent_path();  // "pictures/" is "pictures"
}

constexpr Option<RenderOptions> option_rows[] = {
    {"--frames", "N", "stop after N frames (0 to N-1); by default, render until END",
     [](RenderOptions& options, std::string_view value) {
       std::optional<int64_t> number = read_number(value, 0);
       if (!number) return not_a_number(value, 0);
       options.frame_limit = static_cast<uint32_t>(*number);
       return std::string();
     }},
    {"--raw", "FILE", "each frame's picture: 8000 little-endian RGB565 values",
     store_path<&RenderOptions::raw_path>},
    {"--grey", "FILE", "each frame as 8000 bytes: the grey level AA-lib receives",
     store_path<&RenderOptions::grey_path>},
    {"--ascii", "FILE",
     "each frame as AA-lib renders it on 80 x 25 characters:\n"
     "25 lines, then a line holding the frame number",
     store_path<&RenderOptions::ascii_path>},
    {"--ansi", "FILE",
     "each frame as the colour display draws it on 80 x 25\n"
     "cells in 24-bit colour, as ANSI text: 25 lines, then a\n"
     "line holding the frame number",
     store_path<&RenderOptions::ansi_path>},
    {"--png", "DIR", "the colour picture as DIR/frame-NNNNN.png",
     store_path<&RenderOptions::png_dir>},
    {"--ascii-png", "DIR", "the ASCII frame in AA-lib's font as DIR/frame-NNNNN.png",
     store_path<&RenderOptions::ascii_png_dir>},
    {"--every", "K",
     "write --png and --ascii-png every K frames (default 1),\n"
     "and a thumbnail on --sheet every K frames (default 33,\n"
     "one a second)",
     [](RenderOptions& options, std::string_view value) {
       std::optional<int64_t> number = read_number(value, 1);
       if (!number) return not_a_number(value, 1);
       options.every = static_cast<int>(*number);
       return std::string();
     }},
    {"--scale", "S", "S pixels a side per picture pixel in --png (default 4)",
     [](RenderOptions& options, std::string_view value) {
       std::optional<int64_t> number = read_number(value, 1);
       if (!number) return not_a_number(value, 1);
       if (*number > MAX_SCALE) return "is at most " + std::to_string(MAX_SCALE);
       options.scale = static_cast<int>(*number);
       return std::string();
     }},
    {"--sheet", "FILE", "a contact sheet PNG: labelled thumbnails of both views",
     store_path<&RenderOptions::sheet_path>},
    {"--colour-sheet", "FILE",
     "a contact sheet PNG of the colour view: its --ansi cells\n"
     "drawn in DejaVu Sans Mono, every K frames as --sheet",
     store_path<&RenderOptions::colour_sheet_path>},
    {"--gif", "FILE", "an animated GIF of the ASCII view, 30 ms a frame",
     store_path<&RenderOptions::gif_path>},
    {"--cast", "FILE",
     "an asciicast recording of the player's terminal: each\n"
     "frame's changed cells at frame x 30 ms, then the farewell\n"
     "(see --no-farewell)",
     store_path<&RenderOptions::cast_path>},
    {"--html", "FILE",
     "a web page that plays the recording with asciinema's web\n"
     "player, inlined: it needs no server and no network",
     store_path<&RenderOptions::html_path>},
    {"--wav", "FILE",
     "the show's music as a WAV file, 16-bit stereo at 44,100 Hz:\n"
     "1,323 samples a frame, silence when the show has none",
     store_path<&RenderOptions::wav_path>},
    {"--display", "VIEW",
     "the view --cast and --html record: ascii (AA-lib's\n"
     "characters, the default) or colour (24-bit colour cells)",
     [](RenderOptions& options, std::string_view value) {
       if (value == "ascii")
         options.share_view = ShareView::ASCII;
       else if (value == "colour")
         options.share_view = ShareView::COLOUR;
       else
         return "is ascii or colour, not '" + std::string(value) + "'";
       return std::string();
     }},
    {"--title", "TEXT",
     "the title of --cast and --html (default: the data file's\n"
     "name without .dat)",
     store_path<&RenderOptions::title>},
    {"--no-farewell", "",
     "end --cast and --html with the show, as the player's\n"
     "--no-farewell does: no farewell text and none of its pauses",
     [](RenderOptions& options, std::string_view) {
       options.farewell = false;
       return std::string();
     }},
    {"--stats", "",
     "print the frames rendered, the frame END came at, the FX\n"
     "classes and slots used, and the time per frame of the\n"
     "engine and of AA-lib's render",
     [](RenderOptions& options, std::string_view) {
       options.stats = true;
       return std::string();
     }},
};

}  // namespace

const std::span<const Option<RenderOptions>> render_options = option_rows;

std::vector<std::pair<const char*, const std::string*>> file_outputs(const RenderOptions& options) {
  return {{"--raw", &options.raw_path},
          {"--grey", &options.grey_path},
          {"--ascii", &options.ascii_path},
          {"--ansi", &options.ansi_path},
          {"--colour-sheet", &options.colour_sheet_path},
          {"--sheet", &options.sheet_path},
          {"--gif", &options.gif_path},
          {"--cast", &options.cast_path},
          {"--html", &options.html_path},
          {"--wav", &options.wav_path}};
}

bool RenderOptions::writes_anything() const {
  return stats || !raw_path.empty() || !grey_path.empty() || !ascii_path.empty() ||
         !png_dir.empty() || !ascii_png_dir.empty() || !sheet_path.empty() || !gif_path.empty() ||
         !ansi_path.empty() || !colour_sheet_path.empty() || !cast_path.empty() ||
         !html_path.empty() || !wav_path.empty();
}

bool RenderOptions::uses_standard_output() const {
  for (auto [name, path] : file_outputs(*this))
    if (*path == STANDARD_OUTPUT) return true;
  return false;
}

RenderCommand read_render_command(int argc, char** argv) {
  RenderCommand command;
  engine::Arguments& arguments = command.arguments;
  arguments =
      engine::parse_arguments(render_options, engine::words_of(argc, argv), command.options);
  if (arguments.request != engine::Request::RUN) return command;
  auto mistake = [&](std::string error) {
    arguments.request = engine::Request::USAGE_ERROR;
    arguments.error = std::move(error);
    return command;
  };
  if (arguments.operands.size() > 1)
    return mistake("a second data file '" + arguments.operands[1] +
                   "': the renderer renders one file at a time");
  // Standard output holds one stream of bytes: one output, and no --stats beside it.
  std::string first;
  for (auto [name, path] : file_outputs(command.options)) {
    if (*path != STANDARD_OUTPUT) continue;
    if (!first.empty())
      return mistake(std::string(name) + " - and " + first + " - both write to standard output");
    first = name;
  }
  if (!first.empty() && command.options.stats)
    return mistake("--stats and " + first + " - both write to standard output");
  // Both folders name their pictures frame-NNNNN.png: in one folder, each would replace the other.
  const RenderOptions& options = command.options;
  if (!options.png_dir.empty() && !options.ascii_png_dir.empty()) {
    if (resolved(options.png_dir) == resolved(options.ascii_png_dir))
      return mistake("--png " + options.png_dir + " and --ascii-png " + options.ascii_png_dir +
                     " are one folder: their frame-NNNNN.png files would replace each other");
  }
  return command;
}

std::string render_help() {
  return std::string(USAGE_LINE) +
         "\n"
         "Plays DATAFILE through the player's engine without a terminal or a clock, as\n"
         "fast as the machine allows, and writes what it shows. Without DATAFILE it\n"
         "renders the file the player would play: data/mote-tundra-2003.dat in the\n"
         "working directory, or else the installed show.\n"
         "\n"
         "Options:\n" +
         engine::format_options(engine::option_texts(render_options)) +
         "\n"
         "Options take their value as the next argument or after '=' (--frames=100).\n"
         "FILE may be '-' for standard output (one output at most, and not with\n"
         "--stats); the player's progress lines then all go to standard error. Without\n"
         "an output option the show is rendered and checked, and nothing is written.\n"
         "\n"
         "Exit status: 0 done; 1 an output could not be written or is the data file, or\n"
         "--html found no web player; 2 a bad command line; 255 a data file the player\n"
         "would reject (with the player's message); 128 + n after signal n, with no\n"
         "output file put in place.\n";
}

}  // namespace tools::render
