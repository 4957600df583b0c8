// The displays a show can be played on, by name: the player's command line chooses from here.
// (Tests and the renderer make their own recording and rendering drivers.)
#pragma once

#include <span>
#include <string_view>

#include "engine/display_driver.h"

namespace display {

using engine::DisplayChoice;

// The first row is the default.
extern const std::span<const DisplayChoice> displays;

inline constexpr std::string_view DEFAULT_DISPLAY = "ascii";

// The display called `name`, or null.
const DisplayChoice* find_display(std::string_view name);

}  // namespace display
