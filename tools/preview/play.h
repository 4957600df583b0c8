// `tundra-dat play`: a show source played in the terminal, sought with keys and reloaded when
// its files are saved. The session (session.h) does the playing; this is its terminal.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/terminal_keys.h"
#include "tools/preview/key_actions.h"

namespace preview {

inline constexpr std::string_view PLAY_OPERANDS = "SHOW.tds";
// What tundra-dat's --help says of the command; '\n' begins a continuation line.
inline constexpr std::string_view PLAY_SUMMARY =
    "play a show from its source in the terminal, with seeking, pausing\n"
    "and a reload at every save of a file it uses (keys: play --help)";

// The preview's key for a key read from the terminal, or nothing for a key it does not use.
std::optional<Key> preview_key(const display::Key& key);

// The command after its name: `args` are the show and the options. Returns the exit status: 0
// after q or Esc, 1 when the show does not compile at the start, 2 a bad command line, 255 a
// display that cannot be opened or standard input that is not a terminal, 128 + N after signal
// N (SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT), 129 when the terminal hangs up.
int run_play(const std::vector<std::string>& args, FILE* out, FILE* err);

}  // namespace preview
