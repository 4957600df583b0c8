// The displays a show can be played on, by name: the player's command line chooses from here.
// (Tests and the renderer make their own recording and rendering drivers.)
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "display/colour_modes.h"
#include "engine/display_driver.h"

namespace display {

// A display a player can choose by name.
struct DisplayChoice {
  std::string_view name;     // as a command line names it
  std::string_view summary;  // what it shows, and where
  std::unique_ptr<engine::DisplayDriver> (*create)(const DisplayOptions& options);
  bool takes_options;  // whether the colour and pixel modes of DisplayOptions mean anything to it
};

// The first row is the default.
extern const std::span<const DisplayChoice> displays;

inline constexpr std::string_view DEFAULT_DISPLAY = "ascii";

// The display called `name`, or null.
const DisplayChoice* find_display(std::string_view name);

// What is wrong with `name` as a display's name, worded to follow the option's name ("takes
// ascii or colour, not 'color'"), or an empty text.
std::string display_name_problem(std::string_view name);

// What a program that plays a show says when its display cannot be made, on standard output.
inline constexpr const char* DISPLAY_FAILED = "couldn't initialise libDisplay<XXX>.so\n";

// Makes the display called `name` with `options`, as the player and the preview open theirs:
// one that cannot be made (or a name not in the table) ends the program with DISPLAY_FAILED.
std::unique_ptr<engine::DisplayDriver> open_display(std::string_view name,
                                                    const DisplayOptions& options);

}  // namespace display
