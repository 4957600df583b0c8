// How the engine gives up: a fatal condition unwinds to the player, which closes the display,
// prints the message on its stream and ends the process with status 255.
#pragma once

#include <string>

namespace engine {

enum class Stream { OUT, ERR };

struct FatalError {
  Stream stream;
  std::string message;  // the complete text, final newline included
};

// printf-style text; used for every message the engine composes.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Ends the show with `message` (a newline is added) on standard error.
[[noreturn]] void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Ends the show with `message` exactly as given, on the stream given.
[[noreturn]] void fail_with(Stream stream, std::string message);

}  // namespace engine
