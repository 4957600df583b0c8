// Asciicast recordings of a show: a header line, then one line an event holding what a terminal
// was sent and when, as asciinema's players in a terminal and in a browser read them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "display/cell_grid.h"
#include "player/player.h"

namespace tools::render {

// What the header says besides the size and the length.
struct CastHeader {
  std::string title;
  // Variables of the terminal the recording was made for: players read TERM to know what it
  // understands.
  std::vector<std::pair<std::string, std::string>> environment;
};

// A show on a screen of cells, frame after frame, then the farewell text. The screen starts on
// the terminal's alternate screen with the cursor hidden, and each frame writes only the runs of
// cells that look different from the frame before; once the display closes, the terminal gets
// its own screen and cursor back and the farewell lines follow with their pauses, as the player
// leaves a terminal.
class ShowRecording {
 public:
  ShowRecording(int columns, int rows);

  // Frame `frame` shows `grid` (columns x rows cells) from frame x 30 ms on. Frames come in
  // rising order; a frame that changes no cell adds no event.
  void add_frame(uint32_t frame, const display::CellGrid& grid);

  // The display closes when frame `frame` would have been shown; the lines of `farewell` follow,
  // each after the pause of the line before it. The recording lasts until the last pause ends.
  void end(uint32_t frame, std::span<const engine::FarewellLine> farewell);

  // The recording as asciicast version 2 text: header and events, one JSON value a line.
  std::string cast(const CastHeader& header) const;

  int64_t duration_microseconds() const { return duration_; }

 private:
  struct Event {
    int64_t microseconds;
    std::string data;
  };
  int columns_;
  int rows_;
  display::CellGrid shown_;
  bool started_ = false;
  std::vector<Event> events_;
  int64_t duration_ = 0;
};

// Appends `text` as a JSON string. Besides what JSON requires, '<', '>' and '&' are written as
// escapes, so that a recording can sit inside an HTML script element as it is.
void append_json_string(std::string& out, std::string_view text);

}  // namespace tools::render
