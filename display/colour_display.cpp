// The colour display over libchafa.
#include "display/colour_display.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "display/colour_view.h"
#include "display/flash.h"
#include "display/picture.h"
#include "display/terminal.h"
#include "display/text_band.h"

extern char** environ;

namespace display {
namespace {

// Frames that go to a file or a pipe are drawn at the picture's own size in cells.
constexpr int TEXT_COLUMNS = 80;
constexpr int TEXT_ROWS = 25;
constexpr std::string_view FRAME_END = "\f\n";

// Kitty keeps every image it was sent until it is told to forget them.
constexpr std::string_view KITTY_DELETE_IMAGES = "\x1b_Ga=d\x1b\\";

struct ColourState : TextBandState {
  DisplayOptions options;
  ColourDisplaySetup setup;
  std::unique_ptr<ColourView> view;
  Terminal terminal;
  Picture picture;
  bool fitted = false;  // false until the first frame, and after every resize
  CellFit cell_fit;
  PixelFit pixel_fit;
  CellGrid shown;  // what the screen holds in the symbol modes
  // What the screen holds in the pixel modes, whose images are sent whole: an unchanged frame is
  // not sent again.
  Picture shown_picture;
  Flash shown_flash{};
  std::string out;
  // The band of text as the screen holds it, and the rows the picture was fitted above it.
  std::vector<std::string> shown_band;
  int band_rows = 0;
  int screen_columns = TEXT_COLUMNS;
  int screen_rows = TEXT_ROWS;
};

ColourState& of(engine::DisplayDriver& display) {
  return static_cast<ColourState&>(*display.state);
}

bool pixel_modes(const ColourState& state) {
  return state.view->modes().pixels != PixelMode::SYMBOLS;
}

// The value of `name` in `environment`, or null.
const char* variable(char** environment, std::string_view name) {
  for (char** entry = environment; *entry != nullptr; ++entry) {
    std::string_view text(*entry);
    if (text.size() > name.size() && text.starts_with(name) && text[name.size()] == '=')
      return *entry + name.size() + 1;
  }
  return nullptr;
}

void close(engine::DisplayDriver& display) {
  ColourState& state = of(display);
  if (state.terminal.has_screen() && state.view && state.view->modes().pixels == PixelMode::KITTY)
    state.terminal.write(KITTY_DELETE_IMAGES);
  state.terminal.close();
  stop_watching_resizes();
  stop_watching_job_control();
}

void init(engine::DisplayDriver& display) {
  ColourState& state = of(display);
  char** environment = state.setup.environment != nullptr ? state.setup.environment : environ;
  state.view = std::make_unique<ColourView>(detect_modes(state.options, environment));
  if (isatty(state.setup.output_fd) != 0)
    if (std::optional<std::string> problem = terminal_type_problem(variable(environment, "TERM")))
      engine::fail(
          "engine  : the terminal cannot show the picture: %s. Set TERM to the "
          "terminal's type (TERM=xterm-256color, ...), or send the frames to a file "
          "as text",
          problem->c_str());
  state.terminal.open_screen(state.setup.output_fd);
  if (state.terminal.has_screen()) {
    watch_resizes();
    watch_job_control();
  }
}

void blit(engine::DisplayDriver& display, const engine::Buffer& buffer) {
  of(display).picture.blit(buffer);
}

// The picture's place on a terminal of the size it has now; the screen is cleared, since the
// picture may have moved away from what it covered.
void fit(ColourState& state) {
  TerminalSize size =
      terminal_size(state.terminal.output_fd()).value_or(TerminalSize{TEXT_COLUMNS, TEXT_ROWS});
  state.screen_columns = size.columns;
  state.screen_rows = size.rows;
  state.band_rows = size.rows - picture_rows(size.rows, state.band.size());
  if (state.band_rows > 0) {  // the picture fits the rows above the band, as if they were all
    const int rows = size.rows - state.band_rows;
    size.pixel_height = size.pixel_height * rows / size.rows;
    size.rows = rows;
  }
  state.cell_fit = fit_cells(size.columns, size.rows);
  state.pixel_fit = fit_pixels(size, state.view->modes().pixels);
  state.shown = CellGrid();
  state.shown_band.clear();
  state.fitted = true;
  state.out += "\x1b[0m\x1b[2J";
}

void move_to(std::string& out, Placement at) {
  out += "\x1b[" + std::to_string(at.row + 1) + ";" + std::to_string(at.column + 1) + "H";
}

void present_picture(ColourState& state, Flash flash) {
  bool refitted = false;
  const int band_rows = state.screen_rows - picture_rows(state.screen_rows, state.band.size());
  if (take_resize() || !state.fitted || band_rows != state.band_rows) {
    fit(state);
    refitted = true;
  }
  if (!pixel_modes(state)) {
    const CellGrid& grid =
        state.view->draw_cells(state.picture, flash, state.cell_fit.columns, state.cell_fit.rows);
    append_changes(state.out, state.shown, grid, state.cell_fit.at);
    state.shown = grid;
    return;
  }
  if (!refitted && state.picture.pixels == state.shown_picture.pixels &&
      flash.bright == state.shown_flash.bright && flash.noise == 0)
    return;
  if (state.view->modes().pixels == PixelMode::KITTY) state.out += KITTY_DELETE_IMAGES;
  move_to(state.out, state.pixel_fit.at);
  state.out += state.view->draw_pixels(state.picture, flash, state.pixel_fit);
  state.shown_picture = state.picture;
  state.shown_flash = flash;
}

// The band's lines that changed, each on its row in the terminal's own colours, the rest of the
// row cleared. The last column is left alone: a character there may scroll some terminals.
void draw_band(ColourState& state) {
  const int first = state.screen_rows - state.band_rows;
  const size_t width = size_t(std::max(state.screen_columns - 1, 0));
  state.shown_band.resize(state.band.size());
  for (int row = 0; row < state.band_rows; ++row) {
    std::string line = state.band[size_t(row)].substr(0, width);
    if (line == state.shown_band[size_t(row)]) continue;
    move_to(state.out, Placement{0, first + row});
    state.out += "\x1b[0m" + line + "\x1b[K";
    state.shown_band[size_t(row)] = line;
  }
}

void present_on_screen(ColourState& state, Flash flash) {
  present_picture(state, flash);
  if (state.band_rows > 0) draw_band(state);
}

void present_as_text(ColourState& state, Flash flash) {
  if (pixel_modes(state)) {
    state.out += state.view->draw_pixels(
        state.picture, flash,
        fit_pixels({TEXT_COLUMNS, TEXT_ROWS, 0, 0}, state.view->modes().pixels));
    state.out += '\n';
  } else {
    append_lines(state.out, state.view->draw_cells(state.picture, flash, TEXT_COLUMNS, TEXT_ROWS));
  }
  state.out += FRAME_END;
}

void present(engine::DisplayDriver& display, uint32_t frame) {
  ColourState& state = of(display);
  const Flash flash = flash_at(frame);
  state.out.clear();
  if (state.terminal.has_screen())
    present_on_screen(state, flash);
  else
    present_as_text(state, flash);
  // A reader that closed its pipe sent SIGPIPE with the failure, which ends the show on its own.
  if (!state.terminal.write(state.out) && state.terminal.write_error() != 0 &&
      state.terminal.write_error() != EPIPE)
    throw engine::OutputFailed{"engine  : cannot write the picture: " +
                               std::string(std::strerror(state.terminal.write_error())) + "\n"};
}

void start(engine::DisplayDriver& display) {
  ColourState& state = of(display);
  state.terminal.open_keyboard(state.setup.input_fd);
  if (state.terminal.has_keyboard()) watch_job_control();
}

// Any key ends the show. Without a keyboard nobody can press one: only a signal ends it then.
// After ^Z and `fg`, or any stop, the picture is drawn whole again.
int poll_quit(engine::DisplayDriver& display, uint32_t) {
  ColourState& state = of(display);
  if (take_stop_request()) {
    state.terminal.suspend();
    state.fitted = false;
  } else if (take_continued()) {
    state.terminal.take_back();
    state.fitted = false;
  }
  return state.terminal.read_keys().empty() ? 0 : 1;
}

}  // namespace

std::unique_ptr<engine::DisplayDriver> create_colour_display(const DisplayOptions& options) {
  return create_colour_display(options, ColourDisplaySetup{});
}

std::unique_ptr<engine::DisplayDriver> create_colour_display(const DisplayOptions& options,
                                                             const ColourDisplaySetup& setup) {
  auto state = std::make_unique<ColourState>();
  state->options = options;
  state->setup = setup;
  return std::make_unique<engine::DisplayDriver>(engine::DisplayDriver{
      close, init, blit, present, start, poll_quit, keep_text_band, nullptr, std::move(state)});
}

}  // namespace display
