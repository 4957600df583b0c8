// Programs run from tests.
#include "support/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

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

namespace {

struct ProcessState {
  char state = 0;  // 'Z' for a zombie
  pid_t session = 0;
};

// The fields of /proc/PID/stat that follow the command name, which may hold spaces and
// parentheses of its own: hence the search for the last ')'.
bool read_state(pid_t pid, ProcessState* out) {
  std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos) return false;
  std::istringstream fields(stat.substr(name_end + 1));
  pid_t parent, group;
  return static_cast<bool>(fields >> out->state >> parent >> group >> out->session);
}

}  // namespace

std::vector<pid_t> session_members(pid_t session) {
  std::vector<pid_t> members;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    ProcessState state;
    pid_t pid = static_cast<pid_t>(std::stol(name));
    if (read_state(pid, &state) && state.session == session && state.state != 'Z')
      members.push_back(pid);
  }
  return members;
}

std::string process_name(pid_t pid) {
  std::string name = read_file("/proc/" + std::to_string(pid) + "/comm");
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

bool process_alive(pid_t pid, const std::string& name) {
  ProcessState state;
  return read_state(pid, &state) && state.state != 'Z' && process_name(pid) == name;
}

ProcessGuard::~ProcessGuard() {
  end_all();
}

pid_t ProcessGuard::start(const std::string& command) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  // Nothing of the test's own: an output inherited from a caller's pipe would keep that pipe
  // open for as long as the program runs.
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
  const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
  pid_t pid = -1;
  int error = posix_spawn(&pid, "/bin/sh", &files, &attributes, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) throw std::runtime_error("cannot start /bin/sh: " + std::string(strerror(error)));
  sessions_.push_back(pid);
  children_.push_back(pid);
  return pid;
}

void ProcessGuard::adopt(pid_t session) {
  if (session > 0) sessions_.push_back(session);
}

void ProcessGuard::end_all() {
  auto reap = [&] {
    std::erase_if(children_, [](pid_t child) { return waitpid(child, nullptr, WNOHANG) != 0; });
  };
  auto signal_all = [&](int signal_number) {
    for (pid_t session : sessions_)
      for (pid_t pid : session_members(session)) kill(pid, signal_number);
  };
  auto none_left = [&] {
    reap();
    return std::all_of(sessions_.begin(), sessions_.end(),
                       [](pid_t session) { return session_members(session).empty(); });
  };
  if (!none_left()) {
    signal_all(SIGTERM);
    if (!wait_until(none_left, 2.0)) {
      signal_all(SIGKILL);
      wait_until(none_left, 10.0);
    }
  }
  sessions_.clear();
  children_.clear();
}

XServer::XServer() {
  std::string file = (std::filesystem::temp_directory_path() / "tundra-xvfb-XXXXXX").string();
  int fd = mkstemp(file.data());
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  close(fd);
  pid = guard.start("exec Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>" +
                    shell_quote(file));
  // Xvfb writes the number once it accepts clients, followed by a newline; a server that could
  // not start is not waited for.
  auto reported = [&] { return read_file(file).find('\n') != std::string::npos; };
  wait_until([&] { return reported() || session_members(pid).empty(); }, 20);
  if (reported()) {
    std::string number = read_file(file);
    display = ":" + number.substr(0, number.find('\n'));
  }
  std::filesystem::remove(file);
}

TmuxPane::TmuxPane(int columns, int rows) {
  static std::atomic<int> sessions{0};
  server = "tundra-test-" + std::to_string(getpid()) + "-" + std::to_string(sessions++);
  // A clean shell: no X display, no AA-lib options, no prompt surprises.
  run_command("tmux -L " + server + " -f /dev/null new-session -d -x " + std::to_string(columns) +
              " -y " + std::to_string(rows) +
              " 'env -u DISPLAY -u AAOPTS PS1=\"$ \" bash --norc --noprofile'");
  run_command("tmux -L " + server + " set-option -g history-limit 2000");
  // The server and the pane's shell each lead a session of their own.
  std::istringstream pids(
      run_command("tmux -L " + server + " display-message -p '#{pid} #{pane_pid}'"));
  for (pid_t pid; pids >> pid;) guard.adopt(pid);
}

TmuxPane::~TmuxPane() {
  // Ending the server hangs up the pane, as closing a terminal window would; the guard then
  // ends whatever did not take the hint.
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
