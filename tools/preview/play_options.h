// `tundra-dat play`'s options: which show, which display, where to start, and what to rebuild
// and watch besides the show's own files.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "command_line/command_line.h"
#include "tools/preview/session.h"

namespace preview {

struct PlayOptions {
  std::string display = "ascii";   // --display: a name from the display table
  int64_t start_frame = 0;         // --at: as a time of the show language, in frames
  std::string rebuild;             // --rebuild
  std::vector<std::string> watch;  // --watch, any number of times
  bool mute = false;               // --mute: the show's music stays silent

  // The session these options ask for, on the show `source`.
  SessionOptions session(const std::string& source) const;
};

// The rows, in the order --help lists them.
extern const std::span<const engine::Option<PlayOptions>> play_options;

}  // namespace preview
