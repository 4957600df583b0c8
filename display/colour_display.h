// The colour display: the picture in colour on a terminal through libchafa, as block symbols in
// 24-bit, 256 or 16 colours or as sixel or kitty pixels, each frame rewriting only what changed.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <memory>

#include "display/colour_modes.h"
#include "engine/display_driver.h"

namespace display {

// The driver. `init` takes the terminal on standard output (alternate screen, no cursor) and
// works out the modes: `options` as given, the rest from chafa's terminal database for the
// environment. `start` reads raw keys from standard input when it is a terminal; any key ends
// the show. `close` gives the terminal back as it was. Standard output that is no terminal gets
// every frame as 80 x 25 cells of ANSI text, each frame followed by a line holding a form feed.
std::unique_ptr<engine::DisplayDriver> create_colour_display(const DisplayOptions& options);

// Where a colour display reads keys and draws, and the environment its modes are detected from;
// the player's are standard input, standard output and its own environment.
struct ColourDisplaySetup {
  int input_fd = STDIN_FILENO;
  int output_fd = STDOUT_FILENO;
  char** environment = nullptr;  // null: the process's environment
};

std::unique_ptr<engine::DisplayDriver> create_colour_display(const DisplayOptions& options,
                                                             const ColourDisplaySetup& setup);

}  // namespace display
