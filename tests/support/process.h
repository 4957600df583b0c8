// Running programs from tests: shell commands, waiting for conditions, and the guard that ends
// every background program a test starts (tmux panes, X servers, players).
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace support {

// Runs `command` with /bin/sh and returns what it printed on standard output; `status` gets its
// exit status (or 128 + signal), when given.
std::string run_command(const std::string& command, int* status = nullptr);

// Polls `done` every 50 ms until it is true or `seconds` have passed; returns its last answer.
bool wait_until(const std::function<bool()>& done, double seconds);

// `text` quoted for /bin/sh.
std::string shell_quote(const std::string& text);

std::string read_file(const std::string& path);

// Background programs outlive the test that started them unless something ends them: a kill at
// the end of a test body is skipped when an assertion returns early, and a left-over X server
// holds its display number against the next run. The guard owns whole sessions, so it also ends
// what the programs started (a shell's jobs, a pane's player), and it ends them in its
// destructor, which runs however the test leaves its scope.
class ProcessGuard {
 public:
  ProcessGuard() = default;
  ~ProcessGuard();
  ProcessGuard(const ProcessGuard&) = delete;
  ProcessGuard& operator=(const ProcessGuard&) = delete;

  // Runs `command` with /bin/sh in a new session, its standard streams on /dev/null (the command
  // redirects what it keeps); returns the shell's process id, which is also the session's id.
  pid_t start(const std::string& command);
  // Takes in a session started elsewhere, such as a daemon that made its own (a tmux server,
  // the shell of a tmux pane).
  void adopt(pid_t session);
  // Ends every process of the guarded sessions: SIGTERM, then SIGKILL for any still there
  // after two seconds. Returns once none is left.
  void end_all();

 private:
  std::vector<pid_t> sessions_;
  std::vector<pid_t> children_;  // reaped here, since no one else waits for them
};

// The live processes (zombies excluded) whose session is `session`.
std::vector<pid_t> session_members(pid_t session);

// A live process `pid` whose command name is `name`: the name guards against a reused id.
bool process_alive(pid_t pid, const std::string& name);

// The command name of process `pid` (empty when there is none).
std::string process_name(pid_t pid);

// Xvfb on a display number it picks itself, ended with its guard. `display` (":N") stays empty
// when the server did not report a display within 20 s.
struct XServer {
  XServer();
  std::string display;
  pid_t pid = -1;
  ProcessGuard guard;
};

// A detached tmux session on a server of its own, with one pane of the given size running an
// interactive bash. On destruction the server is told to end, and the guard ends whatever is
// left of it and of the pane.
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
  ProcessGuard guard;
};

}  // namespace support
