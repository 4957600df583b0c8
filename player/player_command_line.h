// The player's command line: tundra [-nosync] [--no-farewell] [--mute] [--display NAME]
// [--colour-mode MODE] [--pixel-mode MODE] [DATAFILE].
#pragma once

#include <span>
#include <string>

#include "command_line/command_line.h"
#include "display/displays.h"
#include "engine/display_driver.h"

namespace engine {

using display::ColourMode;
using display::DisplayChoice;
using display::DisplayOptions;
using display::PixelMode;

struct PlayerCommand {
  bool nosync = false;   // -nosync: no wait for the 30 ms tick between frames
  bool farewell = true;  // --no-farewell clears it
  bool mute = false;     // --mute: the music stays silent and the timer keeps time
  std::string display;   // --display: a name from the display table; empty for the first row
  DisplayOptions display_options;  // --colour-mode, --pixel-mode
};

// The player's own options, in the order --help lists them.
extern const std::span<const Option<PlayerCommand>> player_options;

// "usage: tundra [-nosync] [--no-farewell] [DATAFILE]", from the table.
std::string player_usage_line();

// Everything --help prints: usage, options, keys, how AAOPTS chooses the output, exit statuses.
std::string player_help();

// Reads the command line, then plays the show on the display it chooses from `displays` (the
// first row unless --display names another). Returns the process's exit status.
int play_command_line(int argc, char** argv, std::span<const DisplayChoice> displays);

}  // namespace engine
