// Programs run from tests.
#include "support/process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace support {

std::string run_command(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    if (status != nullptr) *status = -1;
    return output;
  }
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
  int result = pclose(pipe);
  if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : 128 + WTERMSIG(result);
  return output;
}

bool wait_until(const std::function<bool()>& done, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::string shell_quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TmuxPane::TmuxPane(int columns, int rows) {
  static std::atomic<int> sessions{0};
  server = "tundra-test-" + std::to_string(getpid()) + "-" + std::to_string(sessions++);
  // A clean shell: no X display, no AA-lib options, no prompt surprises.
  run_command("tmux -L " + server + " -f /dev/null new-session -d -x " + std::to_string(columns) +
              " -y " + std::to_string(rows) +
              " 'env -u DISPLAY -u AAOPTS PS1=\"$ \" bash --norc --noprofile'");
  run_command("tmux -L " + server + " set-option -g history-limit 2000");
}

TmuxPane::~TmuxPane() {
  run_command("tmux -L " + server + " kill-server 2>/dev/null");
}

void TmuxPane::type(const std::string& line) {
  run_command("tmux -L " + server + " send-keys -l " + shell_quote(line));
  key("Enter");
}

void TmuxPane::key(const std::string& key) {
  run_command("tmux -L " + server + " send-keys " + key);
}

std::string TmuxPane::screen() {
  return run_command("tmux -L " + server + " capture-pane -p");
}

std::string TmuxPane::history() {
  return run_command("tmux -L " + server + " capture-pane -p -S -1000");
}

void TmuxPane::resize(int columns, int rows) {
  run_command("tmux -L " + server + " resize-window -x " + std::to_string(columns) + " -y " +
              std::to_string(rows));
}

}  // namespace support
