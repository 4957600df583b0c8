// Running the rebuild command.
#include "tools/preview/rebuild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace preview {
namespace {

constexpr size_t KEPT_OUTPUT = 4096;

constexpr int POLL_MS = 50;
// How long a command asked to end by SIGTERM has before SIGKILL.
constexpr int TERM_GRACE_POLLS = 20;

// The command runs under /bin/sh -c, as make and the README write it. The preview holds its
// quit signals back while it works: the command starts with none held, in a group of its own
// that the preview can end as a whole.
RebuildResult spawn_shell(const std::string& command, int output_fd, pid_t& pid) {
  RebuildResult result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output_fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output_fd, STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
  const char* const argv[] = {"sh", "-c", command.c_str(), nullptr};
  const int error =
      posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char**>(argv), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    result.status = 127;
    result.output = std::string("cannot run /bin/sh: ") + std::strerror(error);
    pid = -1;
  }
  return result;
}

// What the command has written so far, without waiting for more; false once every writer has
// closed the pipe.
bool take_output(int fd, std::string& output) {
  char block[4096];
  for (;;) {
    const ssize_t got = read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got != 0;
    output.append(block, static_cast<size_t>(got));
    if (output.size() > KEPT_OUTPUT) output.erase(0, output.size() - KEPT_OUTPUT);
  }
}

// SIGTERM to the command's group, SIGKILL if it is still there a second later; the shell reaped.
void end_group(pid_t pid) {
  kill(-pid, SIGTERM);
  int status = 0;
  for (int round = 0; round < TERM_GRACE_POLLS; ++round) {
    if (waitpid(pid, &status, WNOHANG) == pid) return;
    poll(nullptr, 0, POLL_MS);
  }
  kill(-pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::string RebuildResult::summary() const {
  std::string text = "exited with status " + std::to_string(status);
  // The last line as a terminal would have left it: after its last carriage return (a progress
  // count written over itself), without its colours.
  std::string plain;
  for (size_t at = 0; at < output.size(); ++at) {
    if (output[at] == '\x1b' && at + 1 < output.size() && output[at + 1] == '[') {
      at += 2;
      while (at < output.size() && !(output[at] >= 0x40 && output[at] <= 0x7E)) ++at;
      continue;
    }
    plain += output[at];
  }
  const size_t end = plain.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return text;
  const size_t before = plain.find_last_of("\r\n", end);
  const size_t first = before == std::string::npos ? 0 : before + 1;
  return text + ": " + plain.substr(first, end + 1 - first);
}

RebuildResult run_rebuild(const std::string& command, const std::function<bool()>& interrupted) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0)
    return {127, std::string("cannot make a pipe: ") + std::strerror(errno)};
  // The command's end of the pipe blocks as a shell's output does.
  fcntl(pipe_fds[1], F_SETFL, fcntl(pipe_fds[1], F_GETFL) & ~O_NONBLOCK);
  pid_t pid = -1;
  RebuildResult result = spawn_shell(command, pipe_fds[1], pid);
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    return result;
  }
  int status = 0;
  for (;;) {
    const bool open = take_output(pipe_fds[0], result.output);
    const pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid || (ended < 0 && errno != EINTR)) break;
    if (interrupted && interrupted()) {
      end_group(pid);
      close(pipe_fds[0]);
      result.interrupted = true;
      return result;
    }
    // A pipe at its end is always readable: then only the time is waited.
    pollfd ready{pipe_fds[0], POLLIN, 0};
    poll(&ready, open ? 1 : 0, POLL_MS);
  }
  take_output(pipe_fds[0], result.output);
  close(pipe_fds[0]);
  result.status = WIFEXITED(status)     ? WEXITSTATUS(status)
                  : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                        : 127;
  return result;
}

}  // namespace preview
