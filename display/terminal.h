// The terminal as the displays share it: the watch on resizes, the terminal's size in cells and
// pixels, a keyboard that reads raw keys without waiting, and a screen taken over (alternate
// screen, hidden cursor) and given back exactly as it was found.
#pragma once

#include <termios.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/terminal_keys.h"

namespace display {

// --- Resizes --------------------------------------------------------------------------------
// A terminal that changes size sends SIGWINCH. Terminal libraries (curses, slang) put handlers
// of their own there, sometimes again from inside them, so the watch calls on to whatever it
// found and can be renewed: `watch_resizes` puts it in front again whenever a library has
// replaced it. One watch per process.

void watch_resizes();
// Gives SIGWINCH back to the handler the watch found, and forgets any resize not yet taken.
void stop_watching_resizes();
// Whether the terminal changed size since the resize was last cleared.
bool resize_pending();
void clear_resize();
// Whether a resize is pending; clears it.
bool take_resize();

// --- Job control ----------------------------------------------------------------------------
// ^Z sends SIGTSTP, whose default action would stop the program with the terminal still taken
// over (alternate screen, no cursor, raw keys); after SIGSTOP and `fg` the shell may have put its
// own modes back. While watched, both only leave a flag for the display's next poll. One watch
// per process.

void watch_job_control();
// Gives SIGTSTP and SIGCONT back to the handlers the watch found, and forgets what was pending.
void stop_watching_job_control();
// Whether ^Z (SIGTSTP) asked the program to stop since the last call; clears it.
bool take_stop_request();
// Whether the program was continued (SIGCONT) since the last call; clears it.
bool take_continued();

// --- Size -----------------------------------------------------------------------------------

struct TerminalSize {
  int columns = 0;
  int rows = 0;
  int pixel_width = 0;  // 0 where the terminal does not tell
  int pixel_height = 0;
};

// The size of the terminal on `fd`, or nothing when `fd` is no terminal or reports no cells.
std::optional<TerminalSize> terminal_size(int fd);

// --- Type -----------------------------------------------------------------------------------

// What keeps the terminal type `term` (TERM's value, null when unset) from showing a picture
// (no clearing of the screen, no moving of the cursor), or nothing when it can.
std::optional<std::string> terminal_type_problem(const char* term);
// The same, and what keeps the terminfo database from telling curses and S-Lang how to do so:
// a type it does not know, or one without those abilities.
std::optional<std::string> terminfo_problem(const char* term);

// --- Keyboard and screen --------------------------------------------------------------------

// What a full-screen view of the terminal needs: its output taken over while it is open, raw
// keys from its input, writes that neither stop nor kill the program on a closed output.
// Either side may be something else than a terminal (a file, a pipe, /dev/null): a keyboard is
// then not opened (the show plays on; only a signal can end it), and nothing but the bytes the
// caller writes goes to such an output.
class Terminal {
 public:
  Terminal() = default;
  ~Terminal() { close(); }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // On `output_fd`, when it is a terminal: the alternate screen, cleared, and no cursor.
  void open_screen(int output_fd);
  // On `input_fd`, when it is a terminal: no echo, no line editing and reads that never wait.
  // The terminal's signal keys are left alone, so ^C still sends SIGINT.
  void open_keyboard(int input_fd);
  // The screen's colours, cursor and main screen, and the keyboard's modes, exactly as they
  // were before the open calls. Safe to repeat.
  void close();

  bool has_screen() const { return screen_open_; }
  bool has_keyboard() const { return keyboard_fd_ >= 0; }
  int output_fd() const { return output_fd_; }

  // Gives the terminal back as close() does, stops the program as SIGTSTP would, and once it is
  // continued takes the terminal over again (the screen cleared): the caller draws it anew.
  void suspend();
  // After a stop the program did not see (SIGSTOP): the keyboard's modes and the alternate
  // screen set again, the screen cleared, for the caller to draw anew.
  void take_back();

  // The keys typed since the last call, decoded; never waits. Empty without a keyboard.
  std::vector<Key> read_keys();

  // Writes all of `bytes`, through interruptions by signals. Once a write has failed (the
  // reader of a pipe has gone, the terminal hung up) every later write is dropped and false is
  // returned: the player notices the signal that came with it and ends the show.
  bool write(std::string_view bytes);
  // The errno of the write that failed, or 0.
  int write_error() const { return write_error_; }

 private:
  int output_fd_ = -1;
  bool screen_open_ = false;
  bool output_failed_ = false;
  int write_error_ = 0;
  int keyboard_fd_ = -1;
  termios saved_modes_{};
  termios raw_modes_{};
  KeyDecoder decoder_;
};

// The escape sequences of the screen that Terminal opens and closes, for anyone who writes them
// into a recording instead.
inline constexpr std::string_view ENTER_SCREEN = "\x1b[?1049h\x1b[?25l\x1b[0m\x1b[2J";
inline constexpr std::string_view LEAVE_SCREEN = "\x1b[0m\x1b[?25h\x1b[?1049l";

}  // namespace display
