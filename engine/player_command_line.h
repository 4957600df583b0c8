// The player's command line: tundra [-nosync] [--no-farewell] [DATAFILE].
#pragma once

#include <span>
#include <string>

#include "engine/command_line.h"
#include "engine/display_driver.h"

namespace engine {

struct PlayerCommand {
  bool nosync = false;   // -nosync: no wait for the 30 ms tick between frames
  bool farewell = true;  // --no-farewell clears it
};

// The player's own options, in the order --help lists them.
extern const std::span<const Option<PlayerCommand>> player_options;

// "usage: tundra [-nosync] [--no-farewell] [DATAFILE]", from the table.
std::string player_usage_line();

// Everything --help prints: usage, options, keys, how AAOPTS chooses the output, exit statuses.
std::string player_help();

// Reads the command line, then plays the show on the display `make_display` makes. Returns the
// process's exit status.
int play_command_line(int argc, char** argv, DisplayConstructor make_display);

}  // namespace engine
