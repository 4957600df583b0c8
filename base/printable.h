// Names from outside (paths, words of a command line) made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace engine {

// `name` (a path, a word from a command line) as it may be printed on a terminal: the control
// characters, which could move the cursor or change the terminal's modes (C0, DEL, and C1 as
// UTF-8 writes them), as \xNN; everything else as it is.
std::string printable_name(std::string_view name);

}  // namespace engine
