// The table of displays.
#include "display/displays.h"

#include "base/fatal.h"
#include "base/printable.h"
#include "display/ascii_display.h"
#include "display/colour_display.h"

namespace display {
namespace {

std::unique_ptr<engine::DisplayDriver> create_colour(const DisplayOptions& options) {
  return create_colour_display(options);
}

// AA-lib takes its settings from AAOPTS, not from the command line.
std::unique_ptr<engine::DisplayDriver> create_ascii(const DisplayOptions&) {
  return create_ascii_display();
}

constexpr DisplayChoice choices[] = {
    {"ascii", "ASCII art through AA-lib, on a terminal, the Linux console or an X window",
     create_ascii, false},
    {"colour",
     "colour through libchafa on a terminal: block symbols in 24-bit, 256 or 16 colours, or "
     "sixel or kitty pixels",
     create_colour, true},
};

static_assert(choices[0].name == DEFAULT_DISPLAY, "the first display is the default");

}  // namespace

const std::span<const DisplayChoice> displays = choices;

const DisplayChoice* find_display(std::string_view name) {
  for (const DisplayChoice& choice : displays)
    if (choice.name == name) return &choice;
  return nullptr;
}

std::string display_name_problem(std::string_view name) {
  if (name.empty()) return "needs a display's name";
  if (find_display(name) != nullptr) return "";
  std::string names;
  for (size_t i = 0; i < displays.size(); ++i) {
    if (i > 0) names += i + 1 == displays.size() ? " or " : ", ";
    names += displays[i].name;
  }
  return "takes " + names + ", not '" + engine::printable_name(name) + "'";
}

std::unique_ptr<engine::DisplayDriver> open_display(std::string_view name,
                                                    const DisplayOptions& options) {
  const DisplayChoice* choice = find_display(name);
  std::unique_ptr<engine::DisplayDriver> display = choice ? choice->create(options) : nullptr;
  if (!display) engine::fail_with(engine::Stream::OUT, DISPLAY_FAILED);
  return display;
}

}  // namespace display
