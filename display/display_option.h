// The --display row that every program playing a show puts in its option table, so that the
// player and the preview take the same names and word a wrong one alike.
#pragma once

#include <string>
#include <string_view>

#include "command_line/command_line.h"
#include "display/displays.h"

namespace display {

// `field` of the program's settings takes the display's name; `help` is what --help says of it.
template <class Settings, std::string Settings::*field>
constexpr engine::Option<Settings> display_option(std::string_view help) {
  return {"--display", "NAME", help, [](Settings& settings, std::string_view value) {
            std::string problem = display_name_problem(value);
            if (problem.empty()) settings.*field = value;
            return problem;
          }};
}

}  // namespace display
