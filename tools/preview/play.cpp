// The preview's terminal: the display, the keys, the status line and the frame clock.
#include "tools/preview/play.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <new>

#include "display/displays.h"
#include "display/terminal.h"
#include "display/text_band.h"
#include "engine/clock.h"
#include "engine/fatal.h"
#include "engine/player.h"
#include "tools/preview/file_watcher.h"
#include "tools/preview/play_options.h"
#include "tools/preview/status_line.h"

namespace preview {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* PROGRAM = "tundra-dat";
constexpr milliseconds FRAME{engine::TICK_MICROSECONDS / 1000};
// While nothing plays the loop still wakes now and then: a lone Escape is told from the start
// of a key's sequence only by the quiet after it.
constexpr milliseconds IDLE_WAKE{100};

struct CharacterKey {
  char32_t character;
  Key key;
};
constexpr CharacterKey character_keys[] = {
    {U' ', Key::SPACE}, {U',', Key::COMMA}, {U'.', Key::PERIOD}, {U'r', Key::R},
    {U'R', Key::R},     {U'q', Key::Q},     {U'Q', Key::Q},      {U'?', Key::QUESTION_MARK},
};

struct NamedKey {
  display::Key::Name name;
  Key key;
};
constexpr NamedKey named_keys[] = {
    {display::Key::Name::ESCAPE, Key::ESCAPE},
    {display::Key::Name::LEFT, Key::LEFT},
    {display::Key::Name::RIGHT, Key::RIGHT},
    {display::Key::Name::DOWN, Key::DOWN},
    {display::Key::Name::UP, Key::UP},
    {display::Key::Name::PAGE_UP, Key::PAGE_UP},
    {display::Key::Name::PAGE_DOWN, Key::PAGE_DOWN},
    {display::Key::Name::HOME, Key::HOME},
};

std::string usage() {
  return engine::usage_line(std::string(PROGRAM) + " play", engine::option_texts(play_options),
                            PLAY_OPERANDS);
}

std::string help_text() {
  return usage() +
         "\nPlays a show from its source in the terminal at the show's speed. Every file\n"
         "the show uses is watched: a save compiles and checks the show again and\n"
         "replays it to the frame showing. A save with errors keeps the last good show\n"
         "playing, the first error in the status line at the bottom.\n\nOptions:\n" +
         engine::format_options(engine::option_texts(play_options)) + "\nKeys:\n" + keys_help() +
         "\nExit status: 0 after q or Esc; 1 a show that does not compile at the start; 2 a\n"
         "bad command line; 255 a display that cannot be opened; 128 + N after signal N.\n";
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// The terminal as the preview takes it: the display and the keyboard, given back however the
// preview ends, the keyboard first (the display gives back the modes it found before it).
struct TakenTerminal {
  std::unique_ptr<engine::DisplayDriver> display;
  std::vector<unsigned char> framebuffer;
  bool display_open = false;
  display::Terminal keyboard;

  void close() {
    keyboard.close();
    if (display_open) display->close(*display);
    display_open = false;
  }
  ~TakenTerminal() { close(); }
};

// The quit signals held back except while the loop sleeps, so that one arriving just before the
// sleep ends it rather than waiting out its timeout.
struct HeldSignals {
  sigset_t sleeping{};
  sigset_t previous{};
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&held, number);
    sigprocmask(SIG_BLOCK, &held, &previous);
    sleeping = previous;
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigdelset(&sleeping, number);
  }
  ~HeldSignals() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
};

class Preview {
 public:
  Preview(Session& session, engine::DisplayDriver& display, display::Terminal& keyboard)
      : session_(session), display_(display), keyboard_(keyboard) {}

  // Until q, Esc or a quit signal.
  void run() {
    watcher_.watch(session_.watched_files());
    reloads_seen_ = session_.outcome().count;
    show_band();
    Clock::time_point next = Clock::now() + FRAME;
    HeldSignals held;
    while (!quit_ && engine::quit_signal() == 0) {
      sleep_until(next, held);
      if (engine::quit_signal() != 0) break;
      if (display::resize_pending()) {
        display_.poll_quit(display_);  // the ASCII display takes its new size here
        session_.attach(&display_);
      }
      take_keys();
      const std::vector<std::string> changed = watcher_.poll(milliseconds(0));
      if (!changed.empty()) session_.reload(changed);
      after_reloads();
      const Clock::time_point now = Clock::now();
      if (session_.state() == PlayState::PLAYING && now >= next) {
        session_.tick();
        // A frame late is made up for; more than that is lost rather than rushed through.
        next = now - next > FRAME ? now + FRAME : next + FRAME;
      }
      if (session_.state() != PlayState::PLAYING) next = Clock::now() + FRAME;
      show_band();
    }
  }

 private:
  void sleep_until(Clock::time_point next, const HeldSignals& held) {
    milliseconds wait = IDLE_WAKE;
    if (session_.state() == PlayState::PLAYING)
      wait = std::max(milliseconds(0), std::chrono::ceil<milliseconds>(next - Clock::now()));
    pollfd ready[2];
    nfds_t count = 0;
    if (keyboard_.has_keyboard()) ready[count++] = {STDIN_FILENO, POLLIN, 0};
    if (watcher_.descriptor() >= 0) ready[count++] = {watcher_.descriptor(), POLLIN, 0};
    const timespec timeout{wait.count() / 1000, (wait.count() % 1000) * 1000000};
    ppoll(ready, count, &timeout, &held.sleeping);
  }

  void take_keys() {
    for (const display::Key& typed : keyboard_.read_keys()) {
      const std::optional<Key> key = preview_key(typed);
      if (!key) continue;
      const bool help_was_shown = help_;
      help_ = false;
      switch (press(session_, *key)) {
        case Command::QUIT:
          quit_ = true;
          return;
        case Command::HELP:
          help_ = !help_was_shown;
          break;
        case Command::NONE:
          break;
      }
    }
  }

  // A reload may have changed the files the show uses, and a rebuild rewrites files the show
  // reads: those changes are the reload's own.
  void after_reloads() {
    if (session_.outcome().count == reloads_seen_) return;
    reloads_seen_ = session_.outcome().count;
    if (!session_.options().rebuild.empty()) watcher_.discard();
    watcher_.watch(session_.watched_files());
  }

  // The status line under the picture, and the keys above it while they are asked for. A band
  // of another height moves the picture: the frame showing is drawn again in its new place.
  void show_band() {
    const int columns =
        display::terminal_size(STDOUT_FILENO).value_or(display::TerminalSize{80, 25}).columns;
    std::vector<std::string> band;
    if (help_) band = lines_of(keys_help());
    band.push_back(status_line(session_, columns));
    // The picture's own frames and seeks have presented it already: the band alone may be new.
    if (band == shown_band_) return;
    const bool moved = band.size() != shown_band_.size();
    shown_band_ = band;
    display::set_text_band(display_, std::move(band));
    if (moved) session_.attach(&display_);  // the first time too: the display is still black
    display_.present(display_);
  }

  Session& session_;
  engine::DisplayDriver& display_;
  display::Terminal& keyboard_;
  FileWatcher watcher_;
  int reloads_seen_ = 0;
  std::vector<std::string> shown_band_;
  bool help_ = false;
  bool quit_ = false;
};

int play(const PlayOptions& options, const std::string& source, FILE* err) {
  Session session(options.session(source));
  if (!session.open(options.start_frame, Start::PLAYING)) {
    std::fprintf(err, "%s\n", session.outcome().error.c_str());
    return 1;
  }
  engine::catch_quit_signals();
  const display::DisplayChoice* choice = display::find_display(options.display);
  TakenTerminal terminal;
  std::string failure;
  try {
    terminal.display = choice->create(session.frame_counter(), engine::DisplayOptions{});
    if (!terminal.display) engine::fail_with(engine::Stream::ERR, "cannot open the display\n");
    terminal.display->init(*terminal.display, engine::PICTURE_WIDTH, engine::PICTURE_HEIGHT, 0);
    terminal.display_open = true;
    terminal.framebuffer.resize(engine::FRAMEBUFFER_BYTES);
    terminal.display->set_framebuffer(*terminal.display, terminal.framebuffer.data());
    // The keys are the preview's, not the display's: the display's own keyboard is never
    // started, and resizes are watched here instead.
    display::watch_resizes();
    terminal.keyboard.open_keyboard(STDIN_FILENO);
    Preview preview(session, *terminal.display, terminal.keyboard);
    preview.run();
  } catch (const engine::FatalError& error) {
    failure = error.message;
  } catch (const std::bad_alloc&) {
    failure = "tundra-dat: out of memory\n";
  }
  terminal.close();  // before any message, which would otherwise go to the picture's screen
  if (!failure.empty()) {
    std::fputs(failure.c_str(), err);
    return engine::FATAL_STATUS;
  }
  return engine::quit_signal() != 0 ? 128 + engine::quit_signal() : 0;
}

}  // namespace

std::optional<Key> preview_key(const display::Key& key) {
  if (key.name == display::Key::Name::CHARACTER) {
    for (const CharacterKey& row : character_keys)
      if (row.character == key.character) return row.key;
    return std::nullopt;
  }
  for (const NamedKey& row : named_keys)
    if (row.name == key.name) return row.key;
  return std::nullopt;
}

int run_play(const std::vector<std::string>& args, FILE* out, FILE* err) {
  PlayOptions options;
  engine::Arguments arguments = engine::parse_arguments(play_options, args, options);
  switch (arguments.request) {
    case engine::Request::HELP:
      std::fputs(help_text().c_str(), out);
      return 0;
    case engine::Request::VERSION:
      engine::print_version(out, PROGRAM);
      return 0;
    case engine::Request::USAGE_ERROR:
      return engine::report_usage_error(err, PROGRAM, "play: " + arguments.error, usage());
    case engine::Request::RUN:
      break;
  }
  if (arguments.operands.size() != 1)
    return engine::report_usage_error(
        err, PROGRAM,
        arguments.operands.empty() ? "play needs SHOW.tds"
                                   : "play: unexpected argument '" + arguments.operands[1] + "'",
        usage());
  return play(options, arguments.operands[0], err);
}

}  // namespace preview
