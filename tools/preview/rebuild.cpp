// Running the rebuild command.
#include "tools/preview/rebuild.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace preview {
namespace {

constexpr size_t KEPT_OUTPUT = 4096;

// The command runs under /bin/sh -c, as make and the README write it.
RebuildResult spawn_shell(const std::string& command, int output_fd, pid_t& pid) {
  RebuildResult result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output_fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output_fd, STDERR_FILENO);
  const char* const argv[] = {"sh", "-c", command.c_str(), nullptr};
  const int error =
      posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    result.status = 127;
    result.output = std::string("cannot run /bin/sh: ") + std::strerror(error);
    pid = -1;
  }
  return result;
}

}  // namespace

std::string RebuildResult::summary() const {
  std::string text = "exited with status " + std::to_string(status);
  size_t end = output.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return text;
  size_t start = output.find_last_of('\n', end);
  start = start == std::string::npos ? 0 : start + 1;
  return text + ": " + output.substr(start, end - start + 1);
}

RebuildResult run_rebuild(const std::string& command) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0)
    return {127, std::string("cannot make a pipe: ") + std::strerror(errno)};
  pid_t pid = -1;
  RebuildResult result = spawn_shell(command, pipe_fds[1], pid);
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    return result;
  }
  char block[4096];
  for (;;) {
    const ssize_t got = read(pipe_fds[0], block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    result.output.append(block, static_cast<size_t>(got));
    if (result.output.size() > KEPT_OUTPUT)
      result.output.erase(0, result.output.size() - KEPT_OUTPUT);
  }
  close(pipe_fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status)     ? WEXITSTATUS(status)
                  : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                        : 127;
  return result;
}

}  // namespace preview
