// Parsing numbers and times.
#include "tools/dat/timecode.h"

#include <cctype>
#include <cstdio>

namespace tools {
namespace {

inline constexpr size_t MAX_DIGITS = 12;

bool all_digits(const std::string& text) {
  if (text.empty() || text.size() > MAX_DIGITS) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// "12.345" with at most `decimals` decimals, scaled by 10^decimals: 12345000 for 6.
std::optional<int64_t> parse_scaled(const std::string& text, int decimals) {
  size_t dot = text.find('.');
  std::string whole = text.substr(0, dot);
  std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (!all_digits(whole)) return std::nullopt;
  if (dot != std::string::npos &&
      (!all_digits(fraction) || fraction.size() > static_cast<size_t>(decimals)))
    return std::nullopt;
  fraction.append(decimals - fraction.size(), '0');
  return std::stoll(whole + fraction);
}

// Half a frame (15 ms) rounds up: the later frame is as near, and a cue is better late than
// early by the same amount.
int64_t nearest_frame(int64_t microseconds) {
  return (microseconds + MICROSECONDS_PER_FRAME / 2) / MICROSECONDS_PER_FRAME;
}

}  // namespace

std::optional<int64_t> parse_number(const std::string& word) {
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    std::string digits = word.substr(2);
    if (digits.size() > MAX_DIGITS - 2) return std::nullopt;
    for (char c : digits)
      if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    return std::stoll(digits, nullptr, 16);
  }
  if (!word.empty() && word[0] == '-') {
    std::string digits = word.substr(1);
    if (!all_digits(digits)) return std::nullopt;
    return -std::stoll(digits);
  }
  if (!all_digits(word)) return std::nullopt;
  return std::stoll(word);
}

Time parse_time(const std::string& word) {
  const std::string forms =
      "a time is frames (40), seconds (1.5s), milliseconds (250ms) or "
      "minutes:seconds (0:40.5)";
  Time time;
  if (all_digits(word)) {
    time.frames = std::stoll(word);
    return time;
  }
  size_t colon = word.find(':');
  if (colon != std::string::npos) {
    std::string minutes = word.substr(0, colon);
    std::string rest = word.substr(colon + 1);
    std::optional<int64_t> seconds = parse_scaled(rest, 6);
    if (!all_digits(minutes) || !seconds) {
      time.error = "'" + word + "' is not a time: " + forms;
      return time;
    }
    // Two digits of seconds, as a clock writes them: "1:5" could mean 1:05 or 1:50.
    if (rest.substr(0, rest.find('.')).size() != 2) {
      time.error = "'" + word + "' needs two digits of seconds, as in " + minutes + ":05";
      return time;
    }
    if (*seconds >= 60'000'000) {
      time.error =
          "'" + word + "' has " + rest + " seconds; minutes:seconds takes seconds below 60";
      return time;
    }
    time.frames = nearest_frame(std::stoll(minutes) * 60'000'000 + *seconds);
    return time;
  }
  if (word.size() > 2 && word.ends_with("ms")) {
    if (std::optional<int64_t> microseconds = parse_scaled(word.substr(0, word.size() - 2), 3)) {
      time.frames = nearest_frame(*microseconds);
      return time;
    }
  } else if (word.size() > 1 && word.ends_with("s")) {
    if (std::optional<int64_t> microseconds = parse_scaled(word.substr(0, word.size() - 1), 6)) {
      time.frames = nearest_frame(*microseconds);
      return time;
    }
  }
  time.error = "'" + word + "' is not a time: " + forms;
  return time;
}

std::string format_time(int64_t frames) {
  int64_t centiseconds = frames * 3;  // 30 ms = 3 hundredths
  char text[48];
  std::snprintf(
      text, sizeof text, "%lld:%02lld.%02lld", static_cast<long long>(centiseconds / 6000),
      static_cast<long long>(centiseconds / 100 % 60), static_cast<long long>(centiseconds % 100));
  return text;
}

std::string format_seconds(int64_t frames) {
  int64_t centiseconds = frames * 3;
  char text[48];
  std::snprintf(text, sizeof text, "%lld.%02llds", static_cast<long long>(centiseconds / 100),
                static_cast<long long>(centiseconds % 100));
  return text;
}

}  // namespace tools
