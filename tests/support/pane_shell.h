// Programs started from an interactive shell in a tmux pane, as a user starts them. The line
// typed keeps the terminal's modes in DIR/modes-before and DIR/modes-after around the program
// and its exit status in DIR/status, then says "shell-is-$((40 + 2))", which the shell prints
// as shell-is-42 only once it runs it: the prompt is back.
#pragma once

#include <string>

#include "fixtures/process.h"

namespace support {

// Whether the shell in `pane` has said shell-is-42 within `seconds`.
inline bool shell_is_back(TmuxPane& pane, double seconds) {
  return wait_until([&] { return pane.screen().find("shell-is-42\n") != std::string::npos; },
                    seconds);
}

// Whether the terminal's modes after the program are those it found.
inline bool modes_restored(const std::string& dir) {
  const std::string before = read_file(dir + "/modes-before");
  return !before.empty() && before == read_file(dir + "/modes-after");
}

}  // namespace support
