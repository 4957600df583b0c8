// Putting the status line together and fitting it to the width.
#include "tools/preview/status_line.h"

#include <filesystem>

#include "base/fatal.h"
#include "tools/dat/timecode.h"

namespace preview {
namespace {

const char* state_word(PlayState state) {
  switch (state) {
    case PlayState::PLAYING:
      return "playing";
    case PlayState::PAUSED:
      return "paused";
    case PlayState::ENDED:
      return "end";
  }
  return "";
}

std::string joined(const std::string& core, const std::string& location,
                   const std::string& outcome) {
  std::string line = core;
  for (const std::string* part : {&location, &outcome})
    if (!part->empty()) line += "  " + *part;
  return line;
}

// Cut to `width`, the cut marked with "..." when there is room for it.
std::string cut(const std::string& text, size_t width) {
  if (text.size() <= width) return text;
  if (width < 8) return text.substr(0, width);
  return text.substr(0, width - 3) + "...";
}

}  // namespace

std::string printable(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F)
      shown += c;
    else
      shown += engine::format_text("\\x%02X", byte);
  }
  return shown;
}

std::string outcome_text(const ReloadOutcome& outcome) {
  const std::string count = std::to_string(outcome.count);
  switch (outcome.kind) {
    case ReloadOutcome::Kind::NONE:
      return {};
    case ReloadOutcome::Kind::LOADED:
      if (outcome.warnings == 0) return "reload " + count + ": ok";
      return engine::format_text("reload %s: ok, %d warning%s: %s", count.c_str(), outcome.warnings,
                                 outcome.warnings == 1 ? "" : "s", outcome.first_warning.c_str());
    case ReloadOutcome::Kind::KEPT:
      return "reload " + count + " failed: " + outcome.error;
  }
  return {};
}

namespace {

// The status line's parts, shortened to fit `room` as far as they can be.
struct StatusParts {
  std::string core, location, outcome;
  std::string text() const { return joined(core, location, outcome); }
};

StatusParts status_parts(const Session& session, size_t room) {
  StatusParts parts;
  parts.core =
      engine::format_text("%5u  %s  %s", session.frame(),
                          tools::format_time(session.frame()).c_str(), state_word(session.state()));
  // Names and messages come from files: a control character in them would reach the terminal.
  parts.location = printable(session.location());
  parts.outcome = outcome_text(session.outcome());
  if (!session.engine_error().empty())
    parts.outcome = session.engine_error() + "  " + parts.outcome;
  parts.outcome = printable(parts.outcome);
  if (parts.text().size() > room)
    parts.location = std::filesystem::path(parts.location).filename().string();
  if (parts.text().size() > room && session.outcome().kind == ReloadOutcome::Kind::KEPT)
    parts.location.clear();  // the error says where to look
  return parts;
}

}  // namespace

std::string status_line(const Session& session, int width) {
  if (width <= 0) return {};
  const size_t room = static_cast<size_t>(width);
  std::string line = cut(status_parts(session, room).text(), room);
  return line + std::string(room - line.size(), ' ');
}

std::vector<std::string> error_lines(const Session& session, int width) {
  const bool failed = session.outcome().kind == ReloadOutcome::Kind::KEPT;
  if (width <= 0 || (!failed && session.engine_error().empty())) return {};
  const size_t room = static_cast<size_t>(width);
  if (status_parts(session, room).text().size() <= room) return {};
  std::string error = session.engine_error();
  if (failed) error += (error.empty() ? "" : "  ") + session.outcome().error;
  error = printable(error);
  // At the last space that leaves a line at least half full, else wherever the width ends.
  std::vector<std::string> lines;
  size_t at = 0;
  while (error.size() - at > room) {
    size_t end = error.rfind(' ', at + room);
    if (end == std::string::npos || end < at + room / 2) end = at + room;
    lines.push_back(error.substr(at, end - at));
    at = end;
    if (at < error.size() && error[at] == ' ') ++at;
  }
  lines.push_back(error.substr(at));
  return lines;
}

}  // namespace preview
