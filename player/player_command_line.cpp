// The player's options, its --help text, and the way from a command line to a show.
#include "player/player_command_line.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>

#include "display/display_option.h"
#include "player/player.h"
#include "player/show_file.h"

namespace engine {
namespace {

template <class Mode>
using ModeNames = std::pair<std::string_view, Mode>;

constexpr ModeNames<ColourMode> colour_mode_names[] = {
    {"truecolor", ColourMode::TRUECOLOR},
    {"256", ColourMode::INDEXED_256},
    {"16", ColourMode::INDEXED_16},
};
constexpr ModeNames<PixelMode> pixel_mode_names[] = {
    {"symbols", PixelMode::SYMBOLS},
    {"sixels", PixelMode::SIXELS},
    {"kitty", PixelMode::KITTY},
};

// "a, b or c".
template <class Names>
std::string listed(const Names& names) {
  std::string text;
  for (size_t i = 0; i < std::size(names); ++i) {
    if (i > 0) text += i + 1 == std::size(names) ? " or " : ", ";
    text += std::string(names[i].first);
  }
  return text;
}

template <class Mode, size_t N>
std::string store_mode(Mode& mode, const ModeNames<Mode> (&names)[N], std::string_view value) {
  for (const auto& [name, named_mode] : names)
    if (name == value) {
      mode = named_mode;
      return {};
    }
  return "takes " + listed(names) + ", not '" + printable_name(value) + "'";
}

constexpr Option<PlayerCommand> option_rows[] = {
    {"-nosync", "", "play as fast as the machine allows, not at 30 ms a frame",
     [](PlayerCommand& command, std::string_view) {
       command.nosync = true;
       return std::string();
     }},
    {"--no-farewell", "", "end with the show: no farewell text and none of its pauses",
     [](PlayerCommand& command, std::string_view) {
       command.farewell = false;
       return std::string();
     }},
    {"--mute", "", "play without sound: the show's music stays silent",
     [](PlayerCommand& command, std::string_view) {
       command.mute = true;
       return std::string();
     }},
    display::display_option<PlayerCommand, &PlayerCommand::display>(
        "where the picture goes: ascii (AA-lib, the default) or\ncolour (libchafa, on this "
        "terminal)"),
    {"--colour-mode", "MODE",
     "the colour display's colours: truecolor, 256 or 16\n(default: what the terminal is known "
     "for)",
     [](PlayerCommand& command, std::string_view value) {
       return store_mode(command.display_options.colours, colour_mode_names, value);
     }},
    {"--pixel-mode", "MODE",
     "the colour display's drawing: symbols, sixels or kitty\n(default: what the terminal is known "
     "for)",
     [](PlayerCommand& command, std::string_view value) {
       return store_mode(command.display_options.pixels, pixel_mode_names, value);
     }},
};

// The display the command chose, or a mistake to report.
const DisplayChoice* chosen_display(const PlayerCommand& command,
                                    std::span<const DisplayChoice> displays, std::string& error) {
  if (displays.empty()) {
    error = "no display was built in";
    return nullptr;
  }
  // The name was checked as it was read.
  const DisplayChoice* choice = &displays.front();
  for (const DisplayChoice& row : displays)
    if (row.name == command.display) choice = &row;
  const DisplayOptions& options = command.display_options;
  if (!choice->takes_options &&
      (options.colours != ColourMode::DETECT || options.pixels != PixelMode::DETECT)) {
    error = std::string(options.colours != ColourMode::DETECT ? "--colour-mode" : "--pixel-mode") +
            " is for the colour display, not for " + std::string(choice->name) +
            ": add --display colour";
    return nullptr;
  }
  return choice;
}

constexpr const char* PROGRAM = "tundra";

// The player plays one file at a time.
constexpr size_t MAX_DATA_FILES = 1;

// Where the installed show is looked for, as this program finds it: a program run from a build
// tree looks beside it too, where nothing was installed.
std::string installed_show_text() {
  std::string installed = installed_show_path();
  if (installed.empty()) return "the installed show, PREFIX/share/tundra/mote-tundra-2003.dat";
  std::error_code ignored;
  if (std::filesystem::exists(installed, ignored)) return "the installed show, " + installed;
  return "the show installed with this program, which it looks for in\n" + installed +
         " (none there now)";
}

}  // namespace

const std::span<const Option<PlayerCommand>> player_options = option_rows;

std::string player_usage_line() {
  return usage_line(PROGRAM, option_texts(player_options), "[DATAFILE]");
}

std::string player_help() {
  return player_usage_line() +
         "\n"
         "Plays a Tundra show as ASCII art through AA-lib, or in colour through\n"
         "libchafa (--display colour), then prints a farewell text.\n"
         "DATAFILE is the data file to play. Without it the player plays\n"
         "data/mote-tundra-2003.dat from the working directory, or else\n" +
         installed_show_text() + ".\n\nOptions:\n" + format_options(option_texts(player_options)) +
         "\n"
         "Keys: any key ends the show, and the farewell follows; ^C ends the player at\n"
         "once. ^Z stops the colour display (fg resumes it); the ASCII display takes ^Z\n"
         "as a key.\n"
         "\n"
         "Sound: a show that carries music plays it through SDL2's audio output (no\n"
         "window), and the picture keeps time with the sound, skipping frames when the\n"
         "display falls behind; a key fades the music over the farewell's first\n"
         "second. --mute and -nosync play silent on the 30 ms timer, and so does a\n"
         "machine where no sound device opens (\"engine  : no sound: ...\" on stderr).\n"
         "SDL_AUDIODRIVER chooses SDL's driver (pulseaudio, alsa, disk, dummy, ...).\n"
         "\n"
         "Where the ASCII display's picture goes: AA-lib decides, an X window when\n"
         "DISPLAY is set, else this terminal. The AAOPTS environment variable chooses\n"
         "for it:\n"
         "  AAOPTS=\"-driver curses\"    this terminal, through curses\n"
         "  AAOPTS=\"-driver slang\"     this terminal, through S-Lang\n"
         "  AAOPTS=\"-driver X11\"       an X window\n"
         "  AAOPTS=\"-driver stdout -width 80 -height 25\"\n"
         "                             every frame as 80 x 25 characters on stdout\n"
         "AA-lib's other options (-font, -dim, -bold, -extended, ...) are listed in\n"
         "aa_parseoptions(3); its render options (-bright, -contrast, -gamma, -inverse,\n"
         "-nodither, -random) take the place of the show's own.\n"
         "\n"
         "The colour display draws on this terminal, in the alternate screen, the\n"
         "picture centred at the largest size of its shape that fits. Its colours and\n"
         "pixels are what chafa's terminal database knows of TERM, COLORTERM and the\n"
         "variables terminals set (COLORTERM=truecolor for 24-bit colour), unless\n"
         "--colour-mode or --pixel-mode says. Standard output that is no terminal gets\n"
         "every frame as 80 x 25 cells of ANSI text, each followed by a form feed line.\n"
         "\n"
         "Exit status: 0 after the show and its farewell; 1 an output that could not be\n"
         "written; 2 a bad command line; 255 a data file that cannot be played (with a\n"
         "message naming it) or a display that cannot be opened; 128 + N after signal N\n"
         "(SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE), without the farewell.\n";
}

// The player's run on a command line that asks for no help and holds no mistake.
static int play_arguments(const Arguments& arguments, const PlayerCommand& command,
                          std::span<const DisplayChoice> displays) {
  if (arguments.operands.size() > MAX_DATA_FILES)
    return report_usage_error(stderr, PROGRAM,
                              "a second data file '" +
                                  printable_name(arguments.operands[MAX_DATA_FILES]) +
                                  "': the player plays one file at a time",
                              player_usage_line());

  std::string error;
  const DisplayChoice* display = chosen_display(command, displays, error);
  if (display == nullptr) return report_usage_error(stderr, PROGRAM, error, player_usage_line());

  std::optional<std::string> given;
  if (!arguments.operands.empty()) given = arguments.operands.front();
  return play_chosen_file(PROGRAM, given, [&](const std::string& path) {
    ShowSetup setup;
    setup.make_display = [name = display->name, options = command.display_options] {
      return display::open_display(name, options);
    };
    setup.data_path = path.c_str();
    setup.nosync = command.nosync;
    setup.farewell = command.farewell;
    setup.sound = !command.mute;
    return run_show(setup);
  });
}

int play_command_line(int argc, char** argv, std::span<const DisplayChoice> displays) {
  PlayerCommand command;
  Arguments arguments = parse_arguments(player_options, words_of(argc, argv), command);
  return run(arguments, {PROGRAM, player_help, player_usage_line()}, stdout, stderr,
             [&] { return play_arguments(arguments, command, displays); });
}

}  // namespace engine
