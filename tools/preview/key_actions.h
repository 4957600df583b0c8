// The preview's keys as a table of operations on a session. Keys are abstract here: whatever
// reads the terminal (or an X window) turns what it reads into these.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/preview/session.h"

namespace preview {

enum class Key : uint8_t {
  SPACE,
  LEFT,
  RIGHT,
  DOWN,
  UP,
  PAGE_UP,
  PAGE_DOWN,
  COMMA,
  PERIOD,
  HOME,
  R,
  Q,
  ESCAPE,
  QUESTION_MARK,
};

// What the caller does after a key: the session's own changes are made already.
enum class Command : uint8_t { NONE, QUIT, HELP };

struct KeyAction {
  std::string_view keys;  // as the help names them: "Left, Right" for a pair of rows
  std::string_view help;
  std::array<std::optional<Key>, 2> bound;  // the keys that do it
  Command (*act)(Session& session);
};

extern const std::span<const KeyAction> key_actions;

// The action of `key`, or null.
const KeyAction* find_action(Key key);

// Does what `key` does to `session` and says what is left for the caller.
Command press(Session& session, Key key);

// One line a key, as `?` shows it and --help prints it: "  space        pause or play".
std::string keys_help();

// A second and ten seconds, in the milliseconds seek_by takes.
inline constexpr int64_t SHORT_SEEK_MS = 1000;
inline constexpr int64_t LONG_SEEK_MS = 10000;

}  // namespace preview
