// The command that makes a show's generated files again (pictures drawn by a program), run to
// its end before the show is compiled, its output kept for the status line rather than
// written over the picture.
#pragma once

#include <functional>
#include <string>

namespace preview {

struct RebuildResult {
  int status = 0;            // the command's exit status; 128 + N when signal N ended it
  std::string output;        // its standard output and standard error, the last 4 KiB of them
  bool interrupted = false;  // given up at the caller's asking: the command was ended

  bool succeeded() const { return status == 0; }
  // "exited with status 2: make: *** No rule to make target 'x'": the status and the last
  // line the command wrote.
  std::string summary() const;
};

// Runs `command` with /bin/sh, standard input from /dev/null (the terminal's keys are the
// preview's), in a process group of its own and with no signal blocked, and waits for the shell
// to exit (what it left running in the background may keep its output open). `interrupted`, when
// given, is asked every 50 ms meanwhile: true ends the command's process group.
RebuildResult run_rebuild(const std::string& command,
                          const std::function<bool()>& interrupted = {});

}  // namespace preview
