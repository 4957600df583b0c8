// The frame clock: a 30 ms interval timer whose handler only sets the tick flag.
#include "player/clock.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace engine {
namespace {

// A closed pipe on standard output counts as a request to stop, like the keyboard's signals:
// the terminal is restored instead of the process dying in the middle of a write. SIGQUIT gives
// up its core dump for the same reason.
constexpr int quit_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

volatile sig_atomic_t tick_flag = 0;
volatile sig_atomic_t quit_signal_number = 0;
// The quit handler's byte goes in here, for a thread that waits on the other end. Both ends
// never block: a full pipe already says what a further byte would.
int quit_pipe[2] = {-1, -1};

void on_tick(int) {
  tick_flag = 1;
}
void on_quit(int signal_number) {
  quit_signal_number = signal_number;
  const int saved_errno = errno;
  if (quit_pipe[1] >= 0) (void)!write(quit_pipe[1], "q", 1);
  errno = saved_errno;
}

void drain_quit_pipe() {
  char bytes[64];
  while (read(quit_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

void arm_timer(long interval_us, long first_us) {
  itimerval timer{};
  timer.it_interval.tv_usec = interval_us;
  timer.it_value.tv_usec = first_us;
  setitimer(ITIMER_REAL, &timer, nullptr);
}

void start_real(const Console& console) {
  tick_flag = 0;
  if (std::signal(SIGALRM, on_tick) == SIG_ERR) {
    std::fputs("SHIT\n", console.out);
    std::fflush(console.out);
  }
  arm_timer(TICK_MICROSECONDS, 1);
}

// The flag is tested with SIGALRM and the quit signals blocked, and sigsuspend unblocks them
// atomically, so a tick cannot slip in between the test and the sleep.
void wait_real() {
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGALRM);
  for (int signal_number : quit_signals) sigaddset(&blocked, signal_number);
  sigprocmask(SIG_BLOCK, &blocked, &previous);
  sigset_t waiting = previous;
  sigdelset(&waiting, SIGALRM);
  for (int signal_number : quit_signals) sigdelset(&waiting, signal_number);
  while (tick_flag == 0 && quit_signal_number == 0) sigsuspend(&waiting);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void clear_real() {
  tick_flag = 0;
}

void stop_real() {
  arm_timer(0, 0);
}

void nothing(const Console&) {}
void no_wait() {}
void no_clear() {}
void no_stop() {}

}  // namespace

const FrameClock real_clock = {start_real, wait_real, clear_real, stop_real};
const FrameClock instant_clock = {nothing, no_wait, no_clear, no_stop};

void catch_quit_signals() {
  if (quit_pipe[0] < 0 && pipe2(quit_pipe, O_CLOEXEC | O_NONBLOCK) != 0) quit_pipe[0] = -1;
  if (quit_pipe[0] >= 0) drain_quit_pipe();
  quit_signal_number = 0;
  struct sigaction action {};
  action.sa_handler = on_quit;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal_number : quit_signals) sigaction(signal_number, &action, nullptr);
}

int quit_signal() {
  return quit_signal_number;
}

int quit_signal_fd() {
  return quit_pipe[0];
}

void clear_quit_signal_fd() {
  if (quit_pipe[0] >= 0) drain_quit_pipe();
}

}  // namespace engine
