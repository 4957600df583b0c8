// Numbers and times as the show language writes them. A frame lasts 30 ms; frame n begins at
// n x 30 ms into the show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tools {

inline constexpr int64_t MICROSECONDS_PER_FRAME = 30000;

// "42", "-7", "0x2A". Nothing else, and nothing of more than 12 digits.
std::optional<int64_t> parse_number(const std::string& word);

struct Time {
  int64_t frames = 0;
  std::string error;  // why the word is not a time; empty when it is one
};

// "40" (frames), "1.5s", "250ms", "0:40.5" (minutes:seconds). Seconds take up to 6 decimals
// and milliseconds up to 3, so that every time is a whole number of microseconds; it becomes
// the nearest frame, and a time exactly halfway between two frames becomes the later one.
Time parse_time(const std::string& word);

// "1:23.45" for the time at which frame `frames` begins (30 ms a frame, so always exact).
std::string format_time(int64_t frames);

// "1.50s" for the length of `frames` frames.
std::string format_seconds(int64_t frames);

}  // namespace tools
