// The colour display over libchafa.
#include "display/colour_display.h"

#include <unistd.h>

#include <string>

#include "display/colour_view.h"
#include "display/flash.h"
#include "display/picture.h"
#include "display/terminal.h"

extern char** environ;

namespace display {
namespace {

using engine::PixelMode;

// Frames that go to a file or a pipe are drawn at the picture's own size in cells.
constexpr int TEXT_COLUMNS = 80;
constexpr int TEXT_ROWS = 25;
constexpr std::string_view FRAME_END = "\f\n";

// Kitty keeps every image it was sent until it is told to forget them.
constexpr std::string_view KITTY_DELETE_IMAGES = "\x1b_Ga=d\x1b\\";

struct ColourState : engine::DisplayState {
  const uint32_t* frame_counter = nullptr;
  engine::DisplayOptions options;
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
};

ColourState& of(engine::DisplayDriver& display) {
  return static_cast<ColourState&>(*display.state);
}

bool pixel_modes(const ColourState& state) {
  return state.view->modes().pixels != PixelMode::SYMBOLS;
}

void close(engine::DisplayDriver& display) {
  ColourState& state = of(display);
  if (state.terminal.has_screen() && state.view && state.view->modes().pixels == PixelMode::KITTY)
    state.terminal.write(KITTY_DELETE_IMAGES);
  state.terminal.close();
  stop_watching_resizes();
}

void init(engine::DisplayDriver& display, int, int, int) {
  ColourState& state = of(display);
  char** environment = state.setup.environment != nullptr ? state.setup.environment : environ;
  state.view = std::make_unique<ColourView>(detect_modes(state.options, environment));
  state.terminal.open_screen(state.setup.output_fd);
  if (state.terminal.has_screen()) watch_resizes();
}

void set_framebuffer(engine::DisplayDriver&, void*) {}

void blit(engine::DisplayDriver& display, const engine::Buffer& buffer) {
  of(display).picture.blit(buffer);
}

// The picture's place on a terminal of the size it has now; the screen is cleared, since the
// picture may have moved away from what it covered.
void fit(ColourState& state) {
  TerminalSize size =
      terminal_size(state.terminal.output_fd()).value_or(TerminalSize{TEXT_COLUMNS, TEXT_ROWS});
  state.cell_fit = fit_cells(size.columns, size.rows);
  state.pixel_fit = fit_pixels(size, state.view->modes().pixels);
  state.shown = CellGrid();
  state.fitted = true;
  state.out += "\x1b[0m\x1b[2J";
}

void move_to(std::string& out, Placement at) {
  out += "\x1b[" + std::to_string(at.row + 1) + ";" + std::to_string(at.column + 1) + "H";
}

void present_on_screen(ColourState& state, Flash flash) {
  bool refitted = false;
  if (take_resize() || !state.fitted) {
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

void present(engine::DisplayDriver& display) {
  ColourState& state = of(display);
  const Flash flash = flash_at(*state.frame_counter);
  state.out.clear();
  if (state.terminal.has_screen())
    present_on_screen(state, flash);
  else
    present_as_text(state, flash);
  state.terminal.write(state.out);
}

void start(engine::DisplayDriver& display) {
  ColourState& state = of(display);
  state.terminal.open_keyboard(state.setup.input_fd);
}

// Any key ends the show. Without a keyboard nobody can press one: only a signal ends it then.
int poll_quit(engine::DisplayDriver& display) {
  return of(display).terminal.read_keys().empty() ? 0 : 1;
}

}  // namespace

std::unique_ptr<engine::DisplayDriver> create_colour_display(
    const uint32_t& frame_counter, const engine::DisplayOptions& options) {
  return create_colour_display(frame_counter, options, ColourDisplaySetup{});
}

std::unique_ptr<engine::DisplayDriver> create_colour_display(const uint32_t& frame_counter,
                                                             const engine::DisplayOptions& options,
                                                             const ColourDisplaySetup& setup) {
  auto state = std::make_unique<ColourState>();
  state->frame_counter = &frame_counter;
  state->options = options;
  state->setup = setup;
  return std::make_unique<engine::DisplayDriver>(engine::DisplayDriver{
      close, init, set_framebuffer, blit, present, start, poll_quit, std::move(state)});
}

}  // namespace display
