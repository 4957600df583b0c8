// The ASCII-art display over AA-lib.
#include "display/ascii_display.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "display/flash.h"
#include "display/terminal.h"
#include "display/text_band.h"

namespace display {
namespace {

class WindowNamer;

struct AsciiState : TextBandState {
  ~AsciiState() override;
  aa_context* context = nullptr;
  int picture_width = 0;
  int picture_height = 0;
  bool keyboard = false;
  int resize_echo_polls = 0;
  // Why TERM cannot show the picture, if it cannot: AA-lib's terminal keyboards are not opened.
  std::optional<std::string> terminal_problem;
  aa_renderparams start_params{};      // the show's, with AAOPTS's in their place
  std::unique_ptr<WindowNamer> namer;  // until AA-lib's X window has been named
};

AsciiState& of(engine::DisplayDriver& display) {
  return static_cast<AsciiState&>(*display.state);
}

// A terminal that changes size sends SIGWINCH, and what AA-lib makes of it depends on its
// keyboard: the curses one hands ncurses' KEY_RESIZE on as an unknown key, which would end the
// show, and the slang one reports nothing, so the picture would keep its old size. The display
// therefore watches SIGWINCH itself (display/terminal.h), calling on to whatever handler the
// terminal libraries put there, and resizes AA-lib's context at the next poll.

// AA-lib gives a resized context new image memory without clearing it: whatever lies outside
// the picture would show as noise.
void resize(AsciiState& state) {
  aa_resize(state.context);
  if (aa_image(state.context) != nullptr)
    std::memset(aa_image(state.context), 0,
                size_t(aa_imgwidth(state.context)) * size_t(aa_imgheight(state.context)));
}

// Shuts AA-lib down, which gives a curses or slang terminal back its modes. Safe to repeat.
void close(engine::DisplayDriver& display) {
  AsciiState& state = of(display);
  if (state.context == nullptr) return;
  stop_watching_resizes();
  aa_close(state.context);
  state.context = nullptr;
  state.keyboard = false;
}

// AA-lib computes its image size in an int and does not check its allocations: a screen of
// AAOPTS="-width 100000 -height 100000" would give it a far smaller image than it reports.
// Screens are kept to MAX_SCREEN characters a side, and a context whose image is still out of
// bounds counts as one that could not be made.
constexpr int MAX_SCREEN = 4096;

void limit_screen_size(aa_hardware_params& params) {
  for (int* size : {&params.width, &params.height, &params.minwidth, &params.minheight,
                    &params.maxwidth, &params.maxheight, &params.recwidth, &params.recheight})
    *size = std::clamp(*size, 0, MAX_SCREEN);
}

bool image_in_bounds(aa_context* context) {
  int64_t width = aa_imgwidth(context), height = aa_imgheight(context);
  return aa_image(context) != nullptr && width > 0 && height > 0 && width <= 2 * MAX_SCREEN &&
         height <= 2 * MAX_SCREEN;
}

bool draws_on_terminal(const aa_driver& driver) {
  return std::strcmp(driver.shortname, "slang") == 0 ||
         std::strcmp(driver.shortname, "curses") == 0;
}

bool writes_stream(const aa_driver& driver) {
  return std::strcmp(driver.shortname, "stdout") == 0 ||
         std::strcmp(driver.shortname, "stderr") == 0;
}

// aa_autoinit's order, the drivers AAOPTS recommends and then all of AA-lib's, for a terminal
// whose type cannot show the picture: it is not handed to the terminal drivers, since S-Lang
// would end the whole process with words of its own, and AA-lib's own order would go on to fill
// it with frames of text. A stream driver AAOPTS names still works.
aa_context* open_without_terminal(const aa_hardware_params& params) {
  std::vector<std::string> recommended;
  while (char* name = aa_getfirst(&aa_displayrecommended)) {
    recommended.emplace_back(name);
    std::free(name);
  }
  for (const std::string& name : recommended)
    for (int i = 0; aa_drivers[i] != nullptr; ++i) {
      const aa_driver& driver = *aa_drivers[i];
      if (name != driver.shortname && name != driver.name) continue;
      if (draws_on_terminal(driver)) break;
      if (aa_context* context = aa_init(&driver, &params, nullptr)) return context;
      break;
    }
  for (int i = 0; aa_drivers[i] != nullptr; ++i) {
    const aa_driver& driver = *aa_drivers[i];
    if (draws_on_terminal(driver) || writes_stream(driver)) continue;
    if (aa_context* context = aa_init(&driver, &params, nullptr)) return context;
  }
  return nullptr;
}

// --- The X window's name ------------------------------------------------------------------
// AA-lib calls its X window "aa for X" and has no way to name it otherwise. The player renames
// it from a connection of its own: the window of that name that was not there before the
// context was made is ours.

constexpr const char* AA_WINDOW_NAME = "aa for X";
constexpr const char* WINDOW_NAME = "tundra";

// The windows named "aa for X" among the root's children and theirs (a window manager puts
// each client window in a frame of its own).
std::vector<Window> aa_windows(Display* x, Window parent, int depth) {
  std::vector<Window> found;
  Window root = 0, parent_of = 0, *children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(x, parent, &root, &parent_of, &children, &count) == 0) return found;
  for (unsigned int i = 0; i < count; ++i) {
    char* name = nullptr;
    if (XFetchName(x, children[i], &name) != 0 && name != nullptr) {
      if (std::strcmp(name, AA_WINDOW_NAME) == 0) found.push_back(children[i]);
      XFree(name);
    }
    if (depth > 1)
      for (Window inner : aa_windows(x, children[i], depth - 1)) found.push_back(inner);
  }
  if (children != nullptr) XFree(children);
  return found;
}

// Windows of other programs may go while the tree is read: Xlib's own handler would end the
// player over the error. Ours ignores it, for the length of one look at the tree.
int ignore_x_error(Display*, XErrorEvent*) {
  return 0;
}

class WindowNamer {
 public:
  // Notes AA-lib's windows before the context is made, when an X display is named at all.
  WindowNamer() {
    if (std::getenv("DISPLAY") == nullptr) return;
    x_ = XOpenDisplay(nullptr);
    if (x_ == nullptr) return;
    XErrorHandler previous = XSetErrorHandler(ignore_x_error);
    before_ = aa_windows(x_, DefaultRootWindow(x_), 2);
    XSetErrorHandler(previous);
  }
  ~WindowNamer() { forget(); }
  WindowNamer(const WindowNamer&) = delete;
  WindowNamer& operator=(const WindowNamer&) = delete;

  // AA-lib's requests reach the server when its connection flushes them, so the window may show
  // only after a frame or two: each call looks again, a few frames long.
  void name_new_window() {
    if (x_ == nullptr) return;
    XErrorHandler previous = XSetErrorHandler(ignore_x_error);
    bool named = false;
    for (Window window : aa_windows(x_, DefaultRootWindow(x_), 2))
      if (std::find(before_.begin(), before_.end(), window) == before_.end()) {
        XStoreName(x_, window, WINDOW_NAME);
        named = true;
      }
    XSync(x_, False);
    XSetErrorHandler(previous);
    if (named || --tries_ == 0) forget();
  }
  void forget() {
    if (x_ != nullptr) XCloseDisplay(x_);
    x_ = nullptr;
  }

 private:
  Display* x_ = nullptr;
  std::vector<Window> before_;
  int tries_ = 30;
};

AsciiState::~AsciiState() = default;

void init(engine::DisplayDriver& display) {
  AsciiState& state = of(display);
  state.picture_width = engine::PICTURE_WIDTH;
  state.picture_height = engine::PICTURE_HEIGHT;
  // AAOPTS may choose the driver, the size and the font; its render parameters are read apart.
  aa_renderparams scratch = aa_defrenderparams;
  aa_parseoptions(&aa_defparams, &scratch, nullptr, nullptr);
  limit_screen_size(aa_defparams);
  state.start_params = starting_render_params();
  state.terminal_problem = terminfo_problem(std::getenv("TERM"));
  state.namer = std::make_unique<WindowNamer>();
  state.context =
      state.terminal_problem ? open_without_terminal(aa_defparams) : aa_autoinit(&aa_defparams);
  if (state.context == nullptr || std::strcmp(state.context->driver->shortname, "X11") != 0)
    state.namer.reset();
  if (state.context != nullptr && !image_in_bounds(state.context)) close(display);
  if (state.context == nullptr && state.terminal_problem)
    engine::fail(
        "engine  : the terminal cannot show the picture: %s. Set TERM to the "
        "terminal's type (TERM=xterm-256color, TERM=linux, ...), or write the frames "
        "as text with AAOPTS=\"-driver stdout\"",
        state.terminal_problem->c_str());
  if (state.context == nullptr)
    engine::fail_with(engine::Stream::OUT, "couldn't initialise libDisplay<XXX>.so\n");
}

// The text rows the picture is rendered on: all of them, unless a band of text lies below.
int picture_text_rows(const AsciiState& state) {
  return picture_rows(aa_scrheight(state.context), state.band.size());
}

void blit(engine::DisplayDriver& display, const engine::Buffer& buffer) {
  AsciiState& state = of(display);
  // Above a band, the picture goes into the image rows of the text rows it keeps.
  const int image_height = state.band.empty()
                               ? aa_imgheight(state.context)
                               : aa_imgheight(state.context) * picture_text_rows(state) /
                                     std::max(aa_scrheight(state.context), 1);
  blit_to_image(aa_image(state.context), aa_imgwidth(state.context), image_height,
                state.picture_width, state.picture_height, buffer);
}

// The band's lines in AA-lib's own text, each padded to the width so that it covers what the
// row held before.
void put_band(AsciiState& state) {
  const int width = aa_scrwidth(state.context), rows = aa_scrheight(state.context);
  const int first = picture_text_rows(state);
  for (int row = first; row < rows; ++row) {
    std::string line = state.band[size_t(row - first)];
    line.resize(size_t(width), ' ');
    aa_puts(state.context, 0, row, AA_NORMAL, line.c_str());
  }
}

void present(engine::DisplayDriver& display, uint32_t frame) {
  AsciiState& state = of(display);
  aa_renderparams params = render_params_at(frame, state.start_params);
  if (state.band.empty()) {
    aa_render(state.context, &params, 0, 0, aa_scrwidth(state.context),
              aa_scrheight(state.context));
  } else {
    aa_render(state.context, &params, 0, 0, aa_scrwidth(state.context), picture_text_rows(state));
    put_band(state);
  }
  aa_flush(state.context);
  if (state.namer) state.namer->name_new_window();
}

// AA-lib's terminal keyboards need standard input to be a terminal: without one, its slang
// keyboard ends the whole process when TERM is unset. Only an X window has keys of its own.
void start(engine::DisplayDriver& display) {
  AsciiState& state = of(display);
  bool x_window = std::strcmp(state.context->driver->shortname, "X11") == 0;
  if (!x_window) watch_resizes();  // an X window's resizes come as AA_RESIZE keys
  if (!x_window && (isatty(STDIN_FILENO) == 0 || state.terminal_problem)) return;
  state.keyboard = aa_autoinitkbd(state.context, 0) != 0;
  if (!x_window) watch_resizes();  // again: the keyboard may have put a handler of its own first
}

// Polls after a resize in which an unknown key is taken for the resize's echo: the curses
// keyboard hands ncurses' KEY_RESIZE on as AA_UNKNOWN one poll after AA-lib has resized.
constexpr int RESIZE_ECHO_POLLS = 5;

bool is_resize(const AsciiState& state, int key) {
  return key == AA_RESIZE || resize_pending() || (key == AA_UNKNOWN && state.resize_echo_polls > 0);
}

// The take_resize slot: the preview reads the keys itself, so it never polls this display.
void follow_resize(engine::DisplayDriver& display) {
  if (take_resize()) resize(of(display));
}

// Any key ends the show. Without a keyboard nobody can press one, so the show plays on (a quit
// signal still ends it). A resized terminal is not a key: the image follows the new size.
int poll_quit(engine::DisplayDriver& display, uint32_t) {
  AsciiState& state = of(display);
  if (!state.keyboard) {
    follow_resize(display);
    return 0;
  }
  if (state.resize_echo_polls > 0) --state.resize_echo_polls;
  int key = aa_getkey(state.context, 0);
  // A few rounds at most: each resize may leave another echo behind.
  for (int round = 0; round < 4 && is_resize(state, key); ++round) {
    clear_resize();
    resize(state);
    state.resize_echo_polls = RESIZE_ECHO_POLLS;
    if (key != AA_RESIZE && key != AA_UNKNOWN && key != AA_NONE) return key;  // came with it
    key = aa_getkey(state.context, 0);
  }
  if (is_resize(state, key)) key = AA_NONE;
  if (std::strcmp(state.context->driver->shortname, "X11") != 0) watch_resizes();
  return key;
}

// One axis of the mapping: AA-lib's whole scale factor where the image is at least as
// large as the picture, else proportional, so a screen smaller than 80 x 25 is still filled.
int image_position(int picture_position, int image_size, int picture_size) {
  int scale = image_size / picture_size;
  if (scale >= 1) return scale * picture_position;
  return static_cast<int>(int64_t{picture_position} * image_size / picture_size);
}

}  // namespace

// aa_parseoptions writes only what AAOPTS gives, over whatever the record held. It runs twice,
// over records that differ in every field: a field that comes out the same in both was given.
aa_renderparams starting_render_params() {
  aa_renderparams start = show_render_params();
  aa_renderparams other = start;
  other.bright += 1;
  other.contrast += 1;
  other.gamma += 1;
  other.dither = start.dither == AA_NONE ? AA_FLOYD_S : AA_NONE;
  other.inversion = !start.inversion;
  other.randomval += 1;
  aa_renderparams given = start;
  aa_hardware_params scratch = aa_defparams;
  aa_parseoptions(&scratch, &given, nullptr, nullptr);
  scratch = aa_defparams;
  aa_parseoptions(&scratch, &other, nullptr, nullptr);
  if (given.bright == other.bright) start.bright = given.bright;
  if (given.contrast == other.contrast) start.contrast = given.contrast;
  if (given.gamma == other.gamma) start.gamma = given.gamma;
  if (given.dither == other.dither) start.dither = given.dither;
  if (given.inversion == other.inversion) start.inversion = given.inversion;
  if (given.randomval == other.randomval) start.randomval = given.randomval;
  return start;
}

void blit_to_image(unsigned char* image, int image_width, int image_height, int picture_width,
                   int picture_height, const engine::Buffer& buffer) {
  if (picture_width <= 0 || picture_height <= 0) return;
  const int rows = std::min<int>(picture_height, buffer.height);
  for (int i = 0; i < rows; ++i) {
    int row = image_position(buffer.y + i, image_height, picture_height);
    if (row >= image_height) continue;
    const uint16_t* source = buffer.pixels.get() + size_t(i) * buffer.width;
    unsigned char* line = image + size_t(row) * image_width;
    for (int j = 0; j < buffer.width; ++j) {
      int column = image_position(buffer.x + j, image_width, picture_width);
      if (column >= image_width) break;                      // columns only grow along the row
      line[column] = static_cast<unsigned char>(source[j]);  // the low 8 bits are the grey
    }
  }
}

std::unique_ptr<engine::DisplayDriver> create_ascii_display() {
  auto state = std::make_unique<AsciiState>();
  return std::make_unique<engine::DisplayDriver>(
      engine::DisplayDriver{close, init, blit, present, start, poll_quit, keep_text_band,
                            follow_resize, std::move(state)});
}

}  // namespace display
