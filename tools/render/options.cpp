// Reading the renderer's command line.
#include "tools/render/options.h"

#include <charconv>
#include <cstdint>
#include <string_view>

#include "engine/player.h"

namespace tools::render {

const char* const USAGE_LINE = "usage: tundra-render [options] [DATAFILE]\n";

const char* const USAGE =
    "usage: tundra-render [options] [DATAFILE]\n"
    "\n"
    "Plays DATAFILE (default data/mote-tundra-2003.dat) through the player's engine without a\n"
    "terminal or a clock, as fast as the machine allows, and writes what it shows.\n"
    "\n"
    "  --frames N      stop after N frames (frames 0 to N-1); by default render until END\n"
    "  --raw FILE      each frame's 160 x 50 picture as 8000 little-endian RGB565 values\n"
    "  --grey FILE     each frame as 8000 bytes: the grey level AA-lib receives\n"
    "  --ascii FILE    each frame as AA-lib renders it on 80 x 25 characters: 25 lines, then a\n"
    "                  line holding the frame number\n"
    "  --png DIR       the colour picture as DIR/frame-NNNNN.png\n"
    "  --ascii-png DIR the ASCII frame drawn in AA-lib's font as DIR/frame-NNNNN.png\n"
    "  --every K       write --png and --ascii-png every K frames (default 1), and put a\n"
    "                  thumbnail on --sheet every K frames (default 33, one a second)\n"
    "  --scale S       --png pictures are S pixels a side per picture pixel (default 4)\n"
    "  --sheet FILE    a contact sheet PNG: labelled thumbnails of both views in a grid\n"
    "  --gif FILE      an animated GIF of the ASCII view at the show's speed (30 ms a frame)\n"
    "  --stats         print frames rendered, the frame END came at, the FX classes and slots\n"
    "                  used, and the time per frame of the engine and of AA-lib's render\n"
    "  --help          print this text\n"
    "\n"
    "Options take their value as the next argument or after '=' (--frames=100).\n"
    "Exit status: 0 done; 1 an output could not be written; 2 a bad command line;\n"
    "255 a data file the player would reject (with the player's message); 128 + n after\n"
    "signal n.\n";

namespace {

enum class Value { NONE, TEXT, COUNT, POSITIVE };

struct OptionRow {
  std::string_view name;
  Value value;
};

constexpr OptionRow option_rows[] = {
    {"--frames", Value::COUNT},   {"--raw", Value::TEXT},       {"--grey", Value::TEXT},
    {"--ascii", Value::TEXT},     {"--png", Value::TEXT},       {"--ascii-png", Value::TEXT},
    {"--every", Value::POSITIVE}, {"--scale", Value::POSITIVE}, {"--sheet", Value::TEXT},
    {"--gif", Value::TEXT},       {"--stats", Value::NONE},     {"--help", Value::NONE},
};

const OptionRow* find_option(std::string_view name) {
  for (const OptionRow& row : option_rows)
    if (row.name == name) return &row;
  return nullptr;
}

// A whole decimal number from 0 (or 1) to 2^31 - 1: frame counts and factors stay far below it.
bool read_number(std::string_view text, Value kind, int64_t& number) {
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || text.empty()) return false;
  return number >= (kind == Value::POSITIVE ? 1 : 0) && number <= INT32_MAX;
}

// Stores a checked value; returns an error text, empty when the value is good.
std::string store(RenderOptions& options, std::string_view name, std::string_view value,
                  Value kind) {
  if (kind == Value::TEXT && value.empty()) return std::string(name) + " needs a non-empty value";
  int64_t number = 0;
  if ((kind == Value::COUNT || kind == Value::POSITIVE) && !read_number(value, kind, number))
    return std::string(name) + " takes a whole number" +
           (kind == Value::POSITIVE ? " from 1" : "") + ", not '" + std::string(value) + "'";
  if (name == "--frames") options.frame_limit = static_cast<uint32_t>(number);
  if (name == "--every") options.every = static_cast<int>(number);
  if (name == "--scale") {
    if (number > MAX_SCALE) return "--scale is at most " + std::to_string(MAX_SCALE);
    options.scale = static_cast<int>(number);
  }
  std::string* text_field = name == "--raw"         ? &options.raw_path
                            : name == "--grey"      ? &options.grey_path
                            : name == "--ascii"     ? &options.ascii_path
                            : name == "--png"       ? &options.png_dir
                            : name == "--ascii-png" ? &options.ascii_png_dir
                            : name == "--sheet"     ? &options.sheet_path
                            : name == "--gif"       ? &options.gif_path
                                                    : nullptr;
  if (text_field != nullptr) *text_field = value;
  return {};
}

ParsedCommandLine usage_error(std::string message) {
  ParsedCommandLine parsed;
  parsed.request = Request::USAGE_ERROR;
  parsed.error = std::move(message);
  return parsed;
}

}  // namespace

ParsedCommandLine parse_command_line(int argc, char** argv) {
  ParsedCommandLine parsed;
  RenderOptions& options = parsed.options;
  bool have_data_path = false;
  bool options_ended = false;  // after "--" every argument is a data file
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (options_ended || argument == "-" || !argument.starts_with("-")) {
      if (have_data_path) return usage_error("more than one data file given");
      options.data_path = argument;
      have_data_path = true;
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    size_t equals = argument.find('=');
    std::string_view name = argument.substr(0, equals);
    const OptionRow* row = find_option(name);
    if (row == nullptr) return usage_error("unknown option '" + std::string(name) + "'");
    if (row->value == Value::NONE) {
      if (equals != std::string_view::npos)
        return usage_error(std::string(name) + " takes no value");
      if (name == "--help") parsed.request = Request::HELP;
      if (name == "--stats") options.stats = true;
      continue;
    }
    std::string_view value;
    if (equals != std::string_view::npos) {
      value = argument.substr(equals + 1);
    } else {
      if (i + 1 >= argc) return usage_error(std::string(name) + " needs a value");
      value = argv[++i];
    }
    std::string error = store(options, name, value, row->value);
    if (!error.empty()) return usage_error(error);
  }
  if (!have_data_path) options.data_path = engine::DATA_FILE;
  return parsed;
}

}  // namespace tools::render
