// Recording a show as an asciicast.
#include "tools/render/cast.h"

#include <cinttypes>
#include <cstdio>

#include "display/terminal.h"
#include "player/clock.h"

namespace tools::render {
namespace {

// The alternate screen, cleared, with the cursor hidden. A replay begins on a fresh screen, so
// the recording homes the cursor where the player's terminal resets the colours; it leaves the
// screen as the player's terminal does (display::LEAVE_SCREEN).
constexpr const char* ENTER_SCREEN = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";

int64_t frame_time(uint32_t frame) {
  return int64_t{frame} * engine::TICK_MICROSECONDS;
}

// A terminal recorded through a pty receives "\r\n" for each newline the program writes: the
// line discipline adds the carriage return. A recording holds what the terminal received.
std::string terminal_lines(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Seconds with six decimals, written from whole microseconds so that frame n is exactly
// n x 0.03 in the text (a double would print 0.09 as 0.09000000000000001).
void append_seconds(std::string& out, int64_t microseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64 ".%06" PRId64, microseconds / 1000000,
                microseconds % 1000000);
  out += text;
}

// A cell no screen shows: a grid holding it is redrawn there whatever the cell should be.
constexpr display::Cell UNSHOWN = {U'\uFFFF', {}, {}};

// A cursor move over unchanged cells costs at least four bytes ("\x1b[2C") and nine once JSON
// writes the escape as \u001b; a character in the colours already set costs one to three
// (UTF-8). Gaps of up to BRIDGED_GAP unchanged cells between two changes in a row, all in the
// colours of the change before them, are therefore written again rather than jumped over: the
// copy of the screen gets UNSHOWN there. Gaps in other colours would cost a colour change.
constexpr int BRIDGED_GAP = 8;

bool same_colours(const display::Cell& a, const display::Cell& b) {
  return a.foreground == b.foreground && a.background == b.background;
}

void bridge_short_gaps(display::CellGrid& before, const display::CellGrid& after) {
  for (int row = 0; row < after.rows; ++row) {
    int last_change = -1;
    for (int column = 0; column < after.columns; ++column) {
      const display::Cell cell = after.at(column, row).shown();
      if (before.at(column, row).shown() == cell) continue;
      if (last_change >= 0 && column - last_change - 1 <= BRIDGED_GAP) {
        const display::Cell pen = after.at(last_change, row).shown();
        bool plain = true;
        for (int gap = last_change + 1; gap < column && plain; ++gap)
          plain = same_colours(after.at(gap, row).shown(), pen);
        for (int gap = last_change + 1; gap < column && plain; ++gap) before.at(gap, row) = UNSHOWN;
      }
      last_change = column;
    }
  }
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || c == '<' || c == '>' || c == '&') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;  // UTF-8 sequences pass as they are
    }
  }
  out += '"';
}

ShowRecording::ShowRecording(int columns, int rows)
    : columns_(columns), rows_(rows), shown_(columns, rows) {}

void ShowRecording::add_frame(uint32_t frame, const display::CellGrid& grid) {
  std::string data;
  if (!started_) {
    data = ENTER_SCREEN;
    started_ = true;
  }
  bridge_short_gaps(shown_, grid);
  display::append_changes(data, shown_, grid, display::Placement{});
  shown_ = grid;
  if (!data.empty()) events_.push_back({frame_time(frame), std::move(data)});
  duration_ = frame_time(frame + 1);
}

void ShowRecording::end(uint32_t frame, std::span<const engine::FarewellLine> farewell) {
  int64_t time = frame_time(frame);
  std::string data(started_ ? display::LEAVE_SCREEN : std::string_view());
  for (const engine::FarewellLine& line : farewell) {
    data += terminal_lines(line.text);
    events_.push_back({time, std::move(data)});
    data.clear();
    time += frame_time(static_cast<uint32_t>(line.ticks));
  }
  // The last pause is part of the show: an empty event marks its end, since players take the
  // length of a recording from its last event. Without a farewell, leaving the screen is last.
  events_.push_back({time, std::move(data)});
  duration_ = time;
}

std::string ShowRecording::cast(const CastHeader& header) const {
  std::string out = "{\"version\": 2, \"width\": " + std::to_string(columns_) +
                    ", \"height\": " + std::to_string(rows_) + ", \"duration\": ";
  append_seconds(out, duration_);
  out += ", \"title\": ";
  append_json_string(out, header.title);
  out += ", \"env\": {";
  for (size_t i = 0; i < header.environment.size(); ++i) {
    if (i > 0) out += ", ";
    append_json_string(out, header.environment[i].first);
    out += ": ";
    append_json_string(out, header.environment[i].second);
  }
  out += "}}\n";
  for (const Event& event : events_) {
    out += '[';
    append_seconds(out, event.microseconds);
    out += ", \"o\", ";
    append_json_string(out, event.data);
    out += "]\n";
  }
  return out;
}

}  // namespace tools::render
