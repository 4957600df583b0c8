// Start-up, the frame loop and the end sequence with its farewell text.
#include "player/player.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "base/fatal.h"
#include "display/displays.h"
#include "engine/show.h"
#include "player/music_clock.h"

namespace engine {
namespace {

constexpr FarewellLine farewell_table[] = {
    {"congratulations!\n", 30},
    {"you just made it through the most boring\n", 30},
    {"two and a half minutes of this party\n", 30},
    {"but it's not over now\n", 60},
    {"\nwell,\n", 30},
    {"it is....\n", 30},
    {"just wanted to see you face when you read this.\n", 30},
    {"THE END.\n\n", 30},
    {"ps:\n", 10},
    {"loaderbars suck\n", 10},
};

// How long the music takes to fall silent once the show has ended.
constexpr int32_t FADE_MS = 1000;

// --- Work that does not look at the quit flag ----------------------------------------------
// Loading a large show, the effects' start-up and a slow frame look at no signal, and a quit
// signal must not wait for them. A watcher thread gives the player GRACE_MS after the signal to
// end by itself; then it closes the display, so the terminal is given back, and ends the process
// by the signal. The display is reached through a lock, so the watcher never closes it in the
// middle of another call.

constexpr int GRACE_MS = 500;

struct GuardedDisplay : DisplayState {
  std::unique_ptr<DisplayDriver> inner;
  std::mutex lock;
  bool opened = false;  // init has returned
  bool closed = false;  // by the watcher: every later call does nothing
};

GuardedDisplay& guarded(DisplayDriver& display) {
  return static_cast<GuardedDisplay&>(*display.state);
}

// Runs `operation` on the inner driver under the lock, unless the watcher has closed it.
template <class Operation>
void under_lock(DisplayDriver& display, Operation operation) {
  GuardedDisplay& state = guarded(display);
  std::lock_guard hold(state.lock);
  if (!state.closed) operation(*state.inner);
}

void guarded_close(DisplayDriver& display) {
  under_lock(display, [](DisplayDriver& inner) { inner.close(inner); });
}
void guarded_init(DisplayDriver& display) {
  under_lock(display, [&](DisplayDriver& inner) {
    inner.init(inner);
    guarded(display).opened = true;
  });
}
void guarded_blit(DisplayDriver& display, const Buffer& buffer) {
  under_lock(display, [&](DisplayDriver& inner) { inner.blit(inner, buffer); });
}
void guarded_present(DisplayDriver& display, uint32_t frame) {
  under_lock(display, [&](DisplayDriver& inner) { inner.present(inner, frame); });
}
void guarded_start(DisplayDriver& display) {
  under_lock(display, [](DisplayDriver& inner) { inner.start(inner); });
}
int guarded_poll_quit(DisplayDriver& display, uint32_t frame) {
  int quit = 1;  // a display the watcher closed has nothing more to show
  under_lock(display, [&](DisplayDriver& inner) { quit = inner.poll_quit(inner, frame); });
  return quit;
}

std::unique_ptr<DisplayDriver> guard_display(std::unique_ptr<DisplayDriver> inner) {
  auto state = std::make_unique<GuardedDisplay>();
  state->inner = std::move(inner);
  return std::make_unique<DisplayDriver>(
      DisplayDriver{guarded_close, guarded_init, guarded_blit, guarded_present, guarded_start,
                    guarded_poll_quit, nullptr, nullptr, std::move(state)});
}

class QuitWatch {
 public:
  explicit QuitWatch(const FrameClock& clock) : clock_(clock) {
    if (quit_signal_fd() < 0 || pipe2(done_, O_CLOEXEC) != 0) return;
    // Signals are for the player's thread: the watcher takes none, not even a tick.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    watcher_ = std::thread([this] { watch(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
  ~QuitWatch() {
    if (!watcher_.joinable()) return;
    (void)!write(done_[1], "d", 1);
    watcher_.join();
    ::close(done_[0]);
    ::close(done_[1]);
  }
  QuitWatch(const QuitWatch&) = delete;
  QuitWatch& operator=(const QuitWatch&) = delete;

  // The display to close when the player does not end in time; null before there is one.
  void set_display(DisplayDriver* display) {
    std::lock_guard hold(lock_);
    display_ = display;
  }

 private:
  bool player_done(int timeout_ms) {
    pollfd done{done_[0], POLLIN, 0};
    return poll(&done, 1, timeout_ms) > 0;
  }

  void watch() {
    for (;;) {
      pollfd ready[2] = {{done_[0], POLLIN, 0}, {quit_signal_fd(), POLLIN, 0}};
      if (poll(ready, 2, -1) < 0) continue;
      if (ready[0].revents != 0) return;
      clear_quit_signal_fd();
      if (quit_signal() != 0 && !player_done(GRACE_MS)) end_now();
    }
  }

  [[noreturn]] void end_now() {
    const int signal_number = quit_signal();
    {
      std::lock_guard hold(lock_);
      if (display_ != nullptr) {
        GuardedDisplay& state = guarded(*display_);
        state.lock.lock();  // held until the process ends: the player makes no further call
        if (state.opened && !state.closed) state.inner->close(*state.inner);
        state.closed = true;
      }
    }
    clock_.stop();
    struct sigaction fall {};
    fall.sa_handler = SIG_DFL;
    sigemptyset(&fall.sa_mask);
    sigaction(signal_number, &fall, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    // SIGQUIT's own ending would dump core, which the player never asked for.
    if (signal_number != SIGQUIT) raise(signal_number);
    _exit(128 + signal_number);
  }

  const FrameClock& clock_;
  int done_[2] = {-1, -1};
  std::mutex lock_;
  DisplayDriver* display_ = nullptr;
  std::thread watcher_;
};

void say(FILE* stream, const char* text) {
  std::fputs(text, stream);
  std::fflush(stream);  // keeps both streams in order wherever they are captured together
}

// Whether writes to `out` have failed (AA-lib's stdout driver, the farewell and the loader's
// line all go there). A closed pipe is not counted: its SIGPIPE ends the show instead.
bool out_failed(FILE* out) {
  return std::ferror(out) != 0 && quit_signal() == 0;
}

// Why, as a further write finds out: stdio keeps that a write failed, not its errno. (The
// output is broken already; a line end that does go through harms it no further.)
std::string out_failed_message(FILE* out) {
  const int error = write(fileno(out), "\n", 1) < 0 ? errno : 0;
  return format_text("engine  : cannot write to standard output: %s\n",
                     error != 0 ? std::strerror(error) : "a write failed");
}

// n ticks in a row; a quit signal cuts the wait short.
void wait_ticks(const FrameClock& clock, int n) {
  for (int i = 0; i < n && quit_signal() == 0; ++i) {
    clock.wait_tick();
    clock.clear_tick();
  }
}

// Each line is flushed, so its pause shows wherever the text goes.
void print_farewell(const ShowSetup& setup) {
  for (const FarewellLine& line : farewell_table) {
    if (quit_signal() != 0 || out_failed(setup.console.out)) return;
    say(setup.console.out, line.text);
    wait_ticks(*setup.clock, line.ticks);
  }
}

// A frame a tick, or as the music reaches it, until the script ends, the display asks to quit,
// a signal comes or the frame limit is reached.
void play(Show& show, DisplayDriver& display, const ShowSetup& setup, MusicClock* music) {
  const FrameClock& clock = *setup.clock;
  auto stop = [&] {
    return (setup.frame_limit && show.frame() >= *setup.frame_limit) || quit_signal() != 0 ||
           out_failed(setup.console.out);
  };
  if (music != nullptr) {
    music->start();
    play_with_sound(show, display, *music, stop);
    return;
  }
  while (show.step(display, stop) == Step::SHOWN) {
    if (!setup.nosync) clock.wait_tick();
    clock.clear_tick();
  }
}

}  // namespace

std::span<const FarewellLine> farewell_lines() {
  return farewell_table;
}

int run_show(const ShowSetup& setup) {
  const Console& console = setup.console;
  const FrameClock& clock = *setup.clock;
  catch_quit_signals();
  clock.start(console);

  std::unique_ptr<Show> show;
  std::unique_ptr<DisplayDriver> display;
  bool display_open = false;
  std::unique_ptr<MusicClock> music;  // null: the timer keeps time
  QuitWatch watch(clock);             // after the display: it ends first
  int status = 0;
  try {
    say(console.err, "engine  : loading...\n");
    show = load_show(setup.data_path, console);
    if (setup.on_show) setup.on_show(*show);
    if (setup.sound && !setup.nosync) music = MusicClock::open(*show, setup.data_path, console);
    display = setup.make_display();
    if (!display) fail_with(Stream::OUT, display::DISPLAY_FAILED);  // a constructor of its own
    display = guard_display(std::move(display));
    watch.set_display(display.get());
    display->init(*display);
    display_open = true;
    say(console.err, "engine  : Initializing the FX\n");
    show->start();
    say(console.err, "engine  : Starting\n");
    display->start(*display);
    play(*show, *display, setup, music.get());
  } catch (const FatalError& error) {
    if (display_open) display->close(*display);
    clock.stop();
    say(error.stream == Stream::OUT ? console.out : console.err, error.message.c_str());
    return 255;
  } catch (const std::bad_alloc&) {
    if (display_open) display->close(*display);
    clock.stop();
    say(console.err, "engine  : out of memory\n");
    return 255;
  } catch (const OutputFailed& failure) {
    display->close(*display);
    clock.stop();
    if (quit_signal() != 0) return 128 + quit_signal();
    say(console.err, failure.message.c_str());
    return OUTPUT_FAILED_STATUS;
  }

  if (quit_signal() != 0) {
    display->close(*display);
    status = 128 + quit_signal();
  } else if (out_failed(console.out)) {
    display->close(*display);
    say(console.err, out_failed_message(console.out).c_str());
    status = OUTPUT_FAILED_STATUS;
  } else {
    say(console.err, "engine  : Stopping\n");
    display->close(*display);
    // The music fades over the farewell's first second rather than stop mid-note.
    if (music && setup.farewell) music->fade_out(FADE_MS);
    if (setup.farewell) print_farewell(setup);
    music.reset();
    if (quit_signal() != 0) {
      status = 128 + quit_signal();
    } else if (out_failed(console.out)) {
      say(console.err, out_failed_message(console.out).c_str());
      status = OUTPUT_FAILED_STATUS;
    }
  }
  clock.stop();
  return status;
}

}  // namespace engine
