// The recording's bytes as worked examples: what a frame writes, what an unchanged frame does not,
// where a short gap is rewritten rather than jumped, and the JSON an HTML page can hold as it is.
#include <gtest/gtest.h>

#include "support/json.h"
#include "tools/render/cast.h"

namespace {

using display::CellGrid;
using tools::render::ShowRecording;

CellGrid text_grid(const std::string& row0, const std::string& row1) {
  CellGrid grid(12, 2);
  for (size_t i = 0; i < row0.size(); ++i) grid.at(int(i), 0).symbol = char32_t(row0[i]);
  for (size_t i = 0; i < row1.size(); ++i) grid.at(int(i), 1).symbol = char32_t(row1[i]);
  return grid;
}

// The events' data, read back from the recording's lines.
std::vector<std::pair<double, std::string>> events_of(const std::string& cast) {
  std::vector<std::pair<double, std::string>> events;
  size_t start = cast.find('\n') + 1;
  for (size_t end; (end = cast.find('\n', start)) != std::string::npos; start = end + 1) {
    const support::Json event = *support::parse_json(cast.substr(start, end - start));
    events.emplace_back(event.array()[0].number(), event.array()[2].string());
  }
  return events;
}

TEST(CastRecording, FramesWriteTheirChangesAndTheFarewellLeavesTheScreenFirst) {
  ShowRecording recording(12, 2);
  recording.add_frame(0, text_grid("A  B", ""));
  recording.add_frame(1, text_grid("A  B", ""));             // nothing changed: no event
  recording.add_frame(2, text_grid("A  B", "x         y"));  // a gap of nine: jumped over
  recording.add_frame(3, text_grid("AbbC", "x         y"));  // a gap of one: written again
  const engine::FarewellLine farewell[] = {{"bye\n", 2}, {"now\n", 1}};
  recording.end(4, farewell);

  const auto events = events_of(recording.cast({"t", {}}));
  ASSERT_EQ(events.size(), 6u);
  // The alternate screen, cleared, the cursor hidden; then the first frame's cells, the gap of
  // two blanks between A and B written rather than jumped.
  EXPECT_EQ(events[0].first, 0.0);
  EXPECT_EQ(events[0].second,
            "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J"
            "\x1b[1;1H\x1b[39;49mA  B\x1b[0m");
  EXPECT_NEAR(events[1].first, 0.06, 1e-12);
  EXPECT_EQ(events[1].second, "\x1b[2;1H\x1b[39;49mx\x1b[9Cy\x1b[0m");
  EXPECT_NEAR(events[2].first, 0.09, 1e-12);
  EXPECT_EQ(events[2].second, "\x1b[1;2H\x1b[39;49mbbC\x1b[0m");
  // The display closes at frame 4: the terminal's screen and cursor back, then each line with
  // the newline a terminal receives, and the pauses of 2 and 1 frames after them.
  EXPECT_NEAR(events[3].first, 0.12, 1e-12);
  EXPECT_EQ(events[3].second, "\x1b[0m\x1b[?25h\x1b[?1049lbye\r\n");
  EXPECT_NEAR(events[4].first, 0.18, 1e-12);
  EXPECT_EQ(events[4].second, "now\r\n");
  EXPECT_NEAR(events[5].first, 0.21, 1e-12);
  EXPECT_EQ(events[5].second, "");
  EXPECT_EQ(recording.duration_microseconds(), 210000);
}

TEST(CastRecording, JsonStringsEscapeControlsQuotesAndWhatHtmlWouldRead) {
  std::string out;
  tools::render::append_json_string(out, "<\x1b\"\\\n\r&> \xE2\x96\x88");
  EXPECT_EQ(out, "\"\\u003c\\u001b\\\"\\\\\\n\\r\\u0026\\u003e \xE2\x96\x88\"");
  EXPECT_EQ(support::parse_json(out)->string(), "<\x1b\"\\\n\r&> \xE2\x96\x88");
}

}  // namespace
