// The preview's terminal: the display, the keys, the status line and the frame clock.
#include "tools/preview/play.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <deque>
#include <memory>
#include <new>

#include "base/fatal.h"
#include "display/displays.h"
#include "display/terminal.h"
#include "display/text_band.h"
#include "player/clock.h"
#include "player/player.h"
#include "tools/preview/file_watcher.h"
#include "tools/preview/play_options.h"
#include "tools/preview/preview_sound.h"
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
// While the sound keeps time the loop looks at it this often: a frame is presented within this
// long of the sound reaching it.
constexpr milliseconds SOUND_WAKE{10};

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
         "playing, the first error in the status line at the bottom. A data file\n"
         "(FILE.dat, told by its first bytes) plays as it is, its places in script bytes.\n"
         "\nOptions:\n" +
         engine::format_options(engine::option_texts(play_options)) + "\nKeys:\n" + keys_help() +
         "\nExit status: 0 after q or Esc; 1 a show that does not compile at the start; 2 a\n"
         "bad command line; 255 a display that cannot be opened or no terminal on standard\n"
         "input; 128 + N after signal N, and 129 when the terminal hangs up.\n";
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

// The signals the preview acts on, caught for the loop to act on them between its steps. Quit
// signals end it with the terminal given back; SIGTSTP gives the terminal back and stops it;
// SIGCONT (after a stop, or a stop by SIGSTOP) takes the terminal again.
constexpr int QUIT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT};
volatile sig_atomic_t quit_number = 0;
volatile sig_atomic_t stop_asked = 0;
volatile sig_atomic_t continued = 0;

void on_quit(int number) {
  if (quit_number == 0) quit_number = number;
}
void on_stop(int) {
  stop_asked = 1;
}
void on_continue(int) {
  continued = 1;
}

void catch_signal(int number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(number, &action, nullptr);
}

void catch_signals() {
  quit_number = 0;
  stop_asked = 0;
  continued = 0;
  for (int number : QUIT_SIGNALS) catch_signal(number, on_quit);
  catch_signal(SIGTSTP, on_stop);
  catch_signal(SIGCONT, on_continue);
}

// The caught signals held back except while the loop sleeps or looks for them, so that one
// arriving just before the sleep ends it rather than waiting out its timeout, and the work in
// between is never cut off halfway.
struct HeldSignals {
  sigset_t open{};
  sigset_t previous{};
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int number : QUIT_SIGNALS) sigaddset(&held, number);
    sigaddset(&held, SIGTSTP);
    sigaddset(&held, SIGCONT);
    sigprocmask(SIG_BLOCK, &held, &previous);
    open = previous;
    for (int number : QUIT_SIGNALS) sigdelset(&open, number);
    sigdelset(&open, SIGTSTP);
    sigdelset(&open, SIGCONT);
  }
  ~HeldSignals() { sigprocmask(SIG_SETMASK, &previous, nullptr); }

  // Lets the signals that wait in, to their handlers. ppoll does not: when a descriptor is ready
  // as it starts (a terminal that hung up always is) it returns without delivering them.
  void let_in() const {
    sigset_t held;
    sigprocmask(SIG_SETMASK, &open, &held);
    sigprocmask(SIG_SETMASK, &held, nullptr);
  }
  // Whether a quit signal has come, the waiting ones included.
  bool quit_asked() const {
    let_in();
    return quit_number != 0;
  }
};

// The terminal as the preview takes it: the display and the keyboard, given back however the
// preview ends (and while it is stopped), the keyboard first (the display gives back the modes
// it found before it).
struct TakenTerminal {
  std::string display_name;
  std::unique_ptr<engine::DisplayDriver> display;
  bool display_open = false;
  display::Terminal keyboard;

  void open() {
    if (!display) display = display::open_display(display_name, display::DisplayOptions{});
    display->init(*display);
    display_open = true;
    // The keys are the preview's, not the display's: the display's own keyboard is never
    // started, and resizes are watched here instead.
    display::watch_resizes();
    keyboard.open_keyboard(STDIN_FILENO);
  }
  void close() {
    keyboard.close();
    if (display_open) display->close(*display);
    display_open = false;
  }
  ~TakenTerminal() { close(); }
};

// How the loop came to its end.
enum class Ending : uint8_t { QUIT_KEY, SIGNAL, HANG_UP };

class Preview {
 public:
  Preview(Session& session, TakenTerminal& terminal, PreviewSound& sound)
      : session_(session), terminal_(terminal), sound_(sound) {
    session_.set_hooks({[this] { return interrupted(); },
                        // What a rebuild writes is the reload's own, and so is any save made
                        // while it ran: the compile that follows reads them all.
                        [this] { watcher_.discard(); }});
  }
  ~Preview() { session_.set_hooks({}); }
  Preview(const Preview&) = delete;
  Preview& operator=(const Preview&) = delete;

  // Until q, Esc, a quit signal or the terminal's hang-up.
  Ending run() {
    try {
      watcher_.watch(session_.watched_files());
      reloads_seen_ = session_.outcome().count;
      show_band();
      loop();
    } catch (const Interrupted&) {
      // A quit asked for in the middle of a reload or a seek, as the ending below says.
    }
    if (hung_up_) return Ending::HANG_UP;
    return quit_number != 0 ? Ending::SIGNAL : Ending::QUIT_KEY;
  }

 private:
  void loop() {
    Clock::time_point next = Clock::now() + FRAME;
    while (!quit_ && !held_.quit_asked()) {
      const short input = sleep_until(next);
      if (held_.quit_asked()) return;
      if ((input & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        hung_up_ = true;
        return;
      }
      if (stop_asked != 0) stop();
      if (continued != 0) take_again();
      if (display::resize_pending()) {
        // A display that follows resizes by itself does so at the next present.
        if (display().take_resize != nullptr) display().take_resize(display());
        session_.attach(&display());
      }
      take_keys();
      const std::vector<std::string> changed = watcher_.poll(milliseconds(0));
      if (!changed.empty()) session_.reload(changed);
      after_reloads();
      sound_.follow(session_);
      const Clock::time_point now = Clock::now();
      if (sound_.keeps_time()) {
        sound_.keep_time(session_);
        sound_.follow(session_);  // the show's end pauses the sound
        next = now + SOUND_WAKE;
      } else if (session_.state() == PlayState::PLAYING && now >= next) {
        session_.tick();
        // A frame late is made up for; more than that is lost rather than rushed through.
        next = now - next > FRAME ? now + FRAME : next + FRAME;
      }
      if (session_.state() != PlayState::PLAYING) next = Clock::now() + FRAME;
      show_band();
    }
  }

  // Asked by the session during a long reload or seek: a quit signal, a hang-up, q or Esc end
  // it; other keys wait for their turn after it.
  bool interrupted() {
    if (held_.quit_asked()) return true;
    if (stop_asked != 0) {  // Ctrl-Z: the work goes on once continued, on the display again
      stop();
      take_again();
    }
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) return false;
    if ((input.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      hung_up_ = true;
      return true;
    }
    for (const display::Key& typed : terminal_.keyboard.read_keys()) {
      const std::optional<Key> key = preview_key(typed);
      if (key == Key::Q || key == Key::ESCAPE) {
        quit_ = true;
        return true;
      }
      typed_.push_back(typed);
    }
    return false;
  }

  engine::DisplayDriver& display() { return *terminal_.display; }

  // Sleeps until the next frame is due, a key, a change or a signal; returns what poll said of
  // the keyboard.
  short sleep_until(Clock::time_point next) {
    milliseconds wait = IDLE_WAKE;
    if (session_.state() == PlayState::PLAYING)
      wait = std::max(milliseconds(0), std::chrono::ceil<milliseconds>(next - Clock::now()));
    pollfd ready[2];
    nfds_t count = 0;
    ready[count++] = {STDIN_FILENO, POLLIN, 0};
    if (watcher_.descriptor() >= 0) ready[count++] = {watcher_.descriptor(), POLLIN, 0};
    const timespec timeout{wait.count() / 1000, (wait.count() % 1000) * 1000000};
    if (ppoll(ready, count, &timeout, &held_.open) <= 0) return 0;
    return ready[0].revents;
  }

  // Ctrl-Z: the terminal as it was found, a stop as the shell expects one (by SIGTSTP, so that
  // it reports the job as stopped), and the terminal taken again once continued.
  void stop() {
    stop_asked = 0;
    terminal_.close();
    std::signal(SIGTSTP, SIG_DFL);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    raise(SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &tstp, nullptr);  // stops here until SIGCONT
    sigprocmask(SIG_BLOCK, &tstp, nullptr);
    catch_signal(SIGTSTP, on_stop);
    held_.let_in();
    continued = 1;
  }

  // After a stop the shell has had the terminal, in its own modes and on its main screen: the
  // preview's screen and modes are made again, and the band and the picture are drawn anew
  // (show_band finds no band shown).
  void take_again() {
    continued = 0;
    terminal_.close();
    terminal_.open();
    shown_band_.clear();
  }

  // The keys typed during work first; a key's own work may put more behind them.
  void take_keys() {
    for (const display::Key& typed : terminal_.keyboard.read_keys()) typed_.push_back(typed);
    // A quit typed behind a key that starts long work (a seek, a rebuild) ends the preview now:
    // the work would be thrown away, and a quit asked during it is not kept waiting either.
    if (std::ranges::any_of(typed_, [](const display::Key& typed) {
          const std::optional<Key> key = preview_key(typed);
          return key == Key::Q || key == Key::ESCAPE;
        })) {
      quit_ = true;
      return;
    }
    while (!typed_.empty()) {
      const std::optional<Key> key = preview_key(typed_.front());
      typed_.pop_front();
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

  // A reload may have changed the files the show uses.
  void after_reloads() {
    if (session_.outcome().count == reloads_seen_) return;
    reloads_seen_ = session_.outcome().count;
    watcher_.watch(session_.watched_files());
  }

  // The status line under the picture, and the keys above it while they are asked for. A band
  // of another height moves the picture: the frame showing is drawn again in its new place.
  void show_band() {
    const int columns =
        display::terminal_size(STDOUT_FILENO).value_or(display::TerminalSize{80, 25}).columns;
    std::vector<std::string> band;
    if (help_) band = lines_of(keys_help());
    // An error the status line has to cut is shown whole above it.
    for (std::string& line : error_lines(session_, columns)) band.push_back(std::move(line));
    band.push_back(status_line(session_, columns));
    // The picture's own frames and seeks have presented it already: the band alone may be new.
    if (band == shown_band_) return;
    const bool moved = band.size() != shown_band_.size();
    shown_band_ = band;
    display::set_text_band(display(), std::move(band));
    if (moved) session_.attach(&display());  // the first time too: the display is still black
    display().present(display(), session_.frame_counter());
  }

  Session& session_;
  TakenTerminal& terminal_;
  PreviewSound& sound_;
  HeldSignals held_;
  FileWatcher watcher_;
  std::deque<display::Key> typed_;
  bool hung_up_ = false;
  int reloads_seen_ = 0;
  std::vector<std::string> shown_band_;
  bool help_ = false;
  bool quit_ = false;
};

int play(const PlayOptions& options, const std::string& source, FILE* err) {
  Session session(options.session(source));
  if (!session.open(options.start_frame, Start::PLAYING)) {
    std::fprintf(err, "%s\n", printable(session.outcome().error).c_str());
    return 1;
  }
  // Its keys are how a preview ends: without them it would play on until a signal.
  if (isatty(STDIN_FILENO) == 0) {
    std::fprintf(err,
                 "%s: play: standard input is not a terminal: the preview takes its keys "
                 "there\n",
                 PROGRAM);
    return engine::FATAL_STATUS;
  }
  PreviewSound sound(options.mute);
  const std::string sound_problem = sound.follow(session);
  if (!sound_problem.empty()) std::fprintf(err, "%s: play: %s\n", PROGRAM, sound_problem.c_str());
  catch_signals();
  TakenTerminal terminal;
  terminal.display_name = options.display;
  std::string failure;
  Ending ending = Ending::SIGNAL;
  try {
    terminal.open();
    Preview preview(session, terminal, sound);
    ending = preview.run();
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
  switch (ending) {
    case Ending::QUIT_KEY:
      return 0;
    case Ending::HANG_UP:
      return 128 + SIGHUP;  // as the hang-up's own signal would end it
    case Ending::SIGNAL:
      break;
  }
  return 128 + quit_number;
}

// play's run, once its command line asks for no help and holds no mistake.
int play_arguments(const engine::Arguments& arguments, const PlayOptions& options, FILE* err) {
  if (arguments.operands.size() != 1)
    return engine::report_usage_error(
        err, PROGRAM,
        arguments.operands.empty() ? "play needs SHOW.tds"
                                   : "play: unexpected argument '" + arguments.operands[1] + "'",
        usage());
  return play(options, arguments.operands[0], err);
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
  return engine::run(arguments, {PROGRAM, help_text, usage(), "play: "}, out, err,
                     [&] { return play_arguments(arguments, options, err); });
}

}  // namespace preview
