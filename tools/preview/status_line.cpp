// Putting the status line together and fitting it to the width.
#include "tools/preview/status_line.h"

#include <filesystem>

#include "engine/fatal.h"
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

std::string status_line(const Session& session, int width) {
  if (width <= 0) return {};
  const size_t room = static_cast<size_t>(width);
  std::string core =
      engine::format_text("%5u  %s  %s", session.frame(),
                          tools::format_time(session.frame()).c_str(), state_word(session.state()));
  // Names and messages come from files: a control character in them would reach the terminal.
  std::string location = printable(session.location());
  std::string outcome = outcome_text(session.outcome());
  if (!session.engine_error().empty()) outcome = session.engine_error() + "  " + outcome;
  outcome = printable(outcome);

  if (joined(core, location, outcome).size() > room)
    location = std::filesystem::path(location).filename().string();
  if (joined(core, location, outcome).size() > room &&
      session.outcome().kind == ReloadOutcome::Kind::KEPT)
    location.clear();  // the error says where to look
  std::string line = cut(joined(core, location, outcome), room);
  return line + std::string(room - line.size(), ' ');
}

}  // namespace preview
