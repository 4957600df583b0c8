// The displays a show can be played on, by name: the player's command line chooses from here.
// (Tests and the renderer make their own recording and rendering drivers.)
#pragma once

#include <span>
#include <string_view>

#include "engine/display_driver.h"

namespace display {

struct DisplayChoice {
  std::string_view name;     // as a command line names it
  std::string_view summary;  // what it shows, and where
  std::unique_ptr<engine::DisplayDriver> (*create)(const uint32_t& frame_counter);
};

extern const std::span<const DisplayChoice> displays;

inline constexpr std::string_view DEFAULT_DISPLAY = "ascii";

// The display called `name`, or null.
const DisplayChoice* find_display(std::string_view name);

}  // namespace display
