// The terminal the displays share.
#include "display/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace display {
namespace {

volatile sig_atomic_t window_resized = 0;
struct sigaction library_winch {};  // the handler ours calls on to

void on_winch(int signal_number, siginfo_t* info, void* context) {
  window_resized = 1;
  if ((library_winch.sa_flags & SA_SIGINFO) != 0) {
    if (library_winch.sa_sigaction != nullptr)
      library_winch.sa_sigaction(signal_number, info, context);
  } else if (library_winch.sa_handler != SIG_DFL && library_winch.sa_handler != SIG_IGN) {
    library_winch.sa_handler(signal_number);
  }
}

bool ours(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == on_winch;
}

volatile sig_atomic_t stop_requested = 0;
volatile sig_atomic_t continued = 0;
struct sigaction previous_tstp {};  // the handlers the job-control watch found
struct sigaction previous_cont {};
bool watching_job_control = false;

void on_tstp(int) {
  stop_requested = 1;
}
void on_cont(int) {
  continued = 1;
}

}  // namespace

void watch_job_control() {
  if (watching_job_control) return;
  struct sigaction action {};
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  action.sa_handler = on_tstp;
  sigaction(SIGTSTP, &action, &previous_tstp);
  action.sa_handler = on_cont;
  sigaction(SIGCONT, &action, &previous_cont);
  watching_job_control = true;
}

void stop_watching_job_control() {
  if (!watching_job_control) return;
  sigaction(SIGTSTP, &previous_tstp, nullptr);
  sigaction(SIGCONT, &previous_cont, nullptr);
  watching_job_control = false;
  stop_requested = 0;
  continued = 0;
}

bool take_stop_request() {
  if (stop_requested == 0) return false;
  stop_requested = 0;
  return true;
}

bool take_continued() {
  if (continued == 0) return false;
  continued = 0;
  return true;
}

void watch_resizes() {
  struct sigaction current {};
  sigaction(SIGWINCH, nullptr, &current);
  if (ours(current)) return;
  library_winch = current;
  struct sigaction watch {};
  watch.sa_sigaction = on_winch;
  watch.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&watch.sa_mask);
  sigaction(SIGWINCH, &watch, nullptr);
}

void stop_watching_resizes() {
  struct sigaction current {};
  sigaction(SIGWINCH, nullptr, &current);
  if (ours(current)) sigaction(SIGWINCH, &library_winch, nullptr);
  window_resized = 0;
}

bool resize_pending() {
  return window_resized != 0;
}

void clear_resize() {
  window_resized = 0;
}

bool take_resize() {
  if (window_resized == 0) return false;
  window_resized = 0;
  return true;
}

std::optional<TerminalSize> terminal_size(int fd) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
    return std::nullopt;
  return TerminalSize{size.ws_col, size.ws_row, size.ws_xpixel, size.ws_ypixel};
}

std::optional<std::string> terminal_type_problem(const char* term) {
  if (term == nullptr || *term == '\0') return "TERM is not set";
  if (std::string_view(term) == "dumb")
    return "TERM=dumb names a terminal that cannot clear the screen or place the cursor";
  return std::nullopt;
}

void Terminal::open_screen(int output_fd) {
  if (screen_open_ || isatty(output_fd) == 0) {
    if (!screen_open_) output_fd_ = output_fd;
    return;
  }
  output_fd_ = output_fd;
  screen_open_ = true;
  write(ENTER_SCREEN);
}

void Terminal::open_keyboard(int input_fd) {
  if (keyboard_fd_ >= 0 || isatty(input_fd) == 0) return;
  if (tcgetattr(input_fd, &saved_modes_) != 0) return;
  termios raw = saved_modes_;
  raw.c_lflag &= ~tcflag_t(ICANON | ECHO | IEXTEN);
  raw.c_iflag &= ~tcflag_t(IXON | ICRNL);
  raw.c_cc[VMIN] = 0;  // a read returns at once with what has been typed, maybe nothing
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(input_fd, TCSANOW, &raw) != 0) return;
  raw_modes_ = raw;
  keyboard_fd_ = input_fd;
}

// SIGTSTP's own action, with the handler put back once the program is continued. SIGCONT's
// handler sees the continuation, which is this stop's: its flag is cleared.
void Terminal::suspend() {
  const int input_fd = keyboard_fd_, output_fd = output_fd_;
  const bool had_screen = screen_open_;
  close();
  struct sigaction watched {};
  struct sigaction stop {};
  stop.sa_handler = SIG_DFL;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTSTP, &stop, &watched);
  sigset_t tstp, previous;
  sigemptyset(&tstp);
  sigaddset(&tstp, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &tstp, &previous);
  raise(SIGTSTP);  // returns once continued
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  sigaction(SIGTSTP, &watched, nullptr);
  take_continued();
  if (had_screen) open_screen(output_fd);
  if (input_fd >= 0) open_keyboard(input_fd);
}

void Terminal::take_back() {
  if (keyboard_fd_ >= 0) tcsetattr(keyboard_fd_, TCSANOW, &raw_modes_);
  if (screen_open_) write(ENTER_SCREEN);
}

void Terminal::close() {
  if (screen_open_) {
    write(LEAVE_SCREEN);
    screen_open_ = false;
  }
  if (keyboard_fd_ >= 0) {
    // The keys typed but not read are the show's, not the shell's.
    tcsetattr(keyboard_fd_, TCSAFLUSH, &saved_modes_);
    keyboard_fd_ = -1;
  }
}

std::vector<Key> Terminal::read_keys() {
  std::vector<Key> keys;
  if (keyboard_fd_ < 0) return keys;
  char bytes[256];
  bool got_any = false;
  for (;;) {
    // Asked first, so that a terminal whose modes someone else changed (a shell after a stop)
    // cannot make the read wait for a whole line.
    pollfd ready{keyboard_fd_, POLLIN, 0};
    if (poll(&ready, 1, 0) <= 0 || (ready.revents & POLLIN) == 0) break;
    ssize_t got = ::read(keyboard_fd_, bytes, sizeof bytes);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    got_any = true;
    decoder_.feed(std::string_view(bytes, size_t(got)), keys);
    if (size_t(got) < sizeof bytes) break;
  }
  // Nothing more came since the last poll: a lone ESC waiting is the Escape key.
  if (!got_any) decoder_.flush(keys);
  return keys;
}

bool Terminal::write(std::string_view bytes) {
  if (output_failed_ || output_fd_ < 0) return false;
  while (!bytes.empty()) {
    ssize_t written = ::write(output_fd_, bytes.data(), bytes.size());
    if (written >= 0) {
      bytes.remove_prefix(size_t(written));
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {  // an output someone made non-blocking
      pollfd ready{output_fd_, POLLOUT, 0};
      poll(&ready, 1, -1);
      continue;
    }
    output_failed_ = true;
    write_error_ = errno;
    return false;
  }
  return true;
}

}  // namespace display
