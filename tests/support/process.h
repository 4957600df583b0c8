// Running programs from tests: shell commands, waiting for conditions, tmux panes.
#pragma once

#include <functional>
#include <string>

namespace support {

// Runs `command` with /bin/sh and returns what it printed on standard output; `status` gets its
// exit status (or 128 + signal), when given.
std::string run_command(const std::string& command, int* status = nullptr);

// Polls `done` every 50 ms until it is true or `seconds` have passed; returns its last answer.
bool wait_until(const std::function<bool()>& done, double seconds);

// `text` quoted for /bin/sh.
std::string shell_quote(const std::string& text);

std::string read_file(const std::string& path);

// A detached tmux session on a server of its own, with one pane of the given size running an
// interactive bash; killed with its server on destruction.
struct TmuxPane {
  TmuxPane(int columns, int rows);
  ~TmuxPane();
  TmuxPane(const TmuxPane&) = delete;
  TmuxPane& operator=(const TmuxPane&) = delete;

  void type(const std::string& line);  // the text, then Enter
  void key(const std::string& key);    // one key, as tmux names it
  std::string screen();                // the visible pane
  std::string history();               // the pane with its scrollback
  void resize(int columns, int rows);

  std::string server;
};

}  // namespace support
