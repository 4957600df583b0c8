// The player's options, its --help text, and the way from a command line to a show.
#include "engine/player_command_line.h"

#include <cstdio>
#include <optional>

#include "engine/player.h"
#include "engine/show_file.h"

namespace engine {
namespace {

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
};

constexpr const char* PROGRAM = "tundra";

// The player plays one file at a time.
constexpr size_t MAX_DATA_FILES = 1;

}  // namespace

const std::span<const Option<PlayerCommand>> player_options = option_rows;

std::string player_usage_line() {
  return usage_line(PROGRAM, option_texts(player_options), "[DATAFILE]");
}

std::string player_help() {
  std::string installed = installed_show_path();
  if (installed.empty()) installed = "PREFIX/share/tundra/mote-tundra-2003.dat";
  return player_usage_line() +
         "\n"
         "Plays a Tundra show as ASCII art through AA-lib, then prints a farewell text.\n"
         "DATAFILE is the data file to play. Without it the player plays\n"
         "data/mote-tundra-2003.dat from the working directory, or else the installed\n"
         "show, " +
         installed + ".\n\nOptions:\n" + format_options(option_texts(player_options)) +
         "\n"
         "Keys: any key ends the show, and the farewell follows; ^C ends the player at\n"
         "once.\n"
         "\n"
         "Where the picture goes: AA-lib decides, an X window when DISPLAY is set, else\n"
         "this terminal. The AAOPTS environment variable chooses for it:\n"
         "  AAOPTS=\"-driver curses\"    this terminal, through curses\n"
         "  AAOPTS=\"-driver slang\"     this terminal, through S-Lang\n"
         "  AAOPTS=\"-driver X11\"       an X window\n"
         "  AAOPTS=\"-driver stdout -width 80 -height 25\"\n"
         "                             every frame as 80 x 25 characters on stdout\n"
         "AA-lib's other options (-font, -dim, -bold, -extended, ...) are listed in\n"
         "aa_parseoptions(3).\n"
         "\n"
         "Exit status: 0 after the show and its farewell; 2 a bad command line; 255 a\n"
         "data file that cannot be played (with a message naming it) or a display AA-lib\n"
         "cannot open; 128 + N after signal N (SIGINT, SIGTERM, SIGHUP, SIGPIPE),\n"
         "without the farewell.\n";
}

int play_command_line(int argc, char** argv, DisplayConstructor make_display) {
  PlayerCommand command;
  Arguments arguments = parse_arguments(player_options, words_of(argc, argv), command);
  switch (arguments.request) {
    case Request::HELP:
      std::fputs(player_help().c_str(), stdout);
      return 0;
    case Request::VERSION:
      print_version(stdout, PROGRAM);
      return 0;
    case Request::USAGE_ERROR:
      return report_usage_error(stderr, PROGRAM, arguments.error, player_usage_line());
    case Request::RUN:
      break;
  }
  if (arguments.operands.size() > MAX_DATA_FILES)
    return report_usage_error(stderr, PROGRAM,
                              "a second data file '" + arguments.operands[MAX_DATA_FILES] +
                                  "': the player plays one file at a time",
                              player_usage_line());

  std::optional<std::string> given;
  if (!arguments.operands.empty()) given = arguments.operands.front();
  return play_chosen_file(PROGRAM, given, [&](const std::string& path) {
    ShowSetup setup;
    setup.make_display = make_display;
    setup.data_path = path.c_str();
    setup.nosync = command.nosync;
    setup.farewell = command.farewell;
    return run_show(setup);
  });
}

}  // namespace engine
