// The 30 ms frame clock, and the signals that ask a show to stop.
#pragma once

#include "base/console.h"

namespace engine {

inline constexpr int TICK_MICROSECONDS = 30000;

// How frames are paced. The player ticks on SIGALRM; offline rendering never waits.
struct FrameClock {
  void (*start)(const Console& console);  // begin ticking
  void (*wait_tick)();   // return once the tick flag is set, or when a quit signal arrives
  void (*clear_tick)();  // clear the tick flag
  void (*stop)();        // stop ticking
};

// SIGALRM from a 30 ms interval timer sets a volatile flag; waiting sleeps in sigsuspend until
// the flag is set, so an idle show uses no CPU. Ticks are not counted: several merge into one.
extern const FrameClock real_clock;

// Every tick has already arrived: a show paced by it runs as fast as the machine allows.
extern const FrameClock instant_clock;

// SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE only record that they came; the show then ends at
// the next point where it can restore the terminal. `quit_signal` is the signal's number, or 0.
void catch_quit_signals();
int quit_signal();

// A descriptor that becomes readable when a quit signal comes (after catch_quit_signals), for a
// thread that waits for one; -1 when none could be made. clear_quit_signal_fd empties it.
int quit_signal_fd();
void clear_quit_signal_fd();

}  // namespace engine
