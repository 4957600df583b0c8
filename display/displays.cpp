// The table of displays.
#include "display/displays.h"

#include "display/ascii_display.h"

namespace display {
namespace {

constexpr DisplayChoice choices[] = {
    {"ascii", "ASCII art through AA-lib, on a terminal, the Linux console or an X window",
     create_ascii_display},
};

}  // namespace

const std::span<const DisplayChoice> displays = choices;

const DisplayChoice* find_display(std::string_view name) {
  for (const DisplayChoice& choice : displays)
    if (choice.name == name) return &choice;
  return nullptr;
}

}  // namespace display
