// tundra-render --cast: the recording reads back as asciicast JSON, its events come at the
// frames' times, a terminal emulator replaying it shows every frame --ascii wrote (and the
// colour view's cells in their colours), and the farewell follows with the player's pauses;
// asciinema itself plays it in a tmux pane.
#include <gtest/gtest.h>
#include <vterm.h>

#include <cmath>

#include "display/colour_view.h"
#include "display/flash.h"
#include "fixtures/process.h"
#include "player/player.h"
#include "support/json.h"
#include "support/render_harness.h"

namespace {

using support::Json;
using support::ShowDir;

constexpr int COLUMNS = 80;
constexpr int ROWS = 25;
constexpr double FRAME_SECONDS = 0.03;

struct CastEvent {
  double time;
  std::string data;
};

struct Cast {
  Json header;
  std::vector<CastEvent> events;
};

// Every line a JSON value: the header object, then [time, "o", data] arrays.
Cast read_cast(const std::string& text) {
  Cast cast;
  size_t start = 0, line_number = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    EXPECT_NE(end, std::string::npos) << "the last line has no newline";
    const std::string line = text.substr(start, end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    std::string error;
    std::optional<Json> value = support::parse_json(line, &error);
    EXPECT_TRUE(value) << "line " << line_number << ": " << error;
    if (!value) return cast;
    if (line_number++ == 0) {
      cast.header = *value;
      continue;
    }
    EXPECT_TRUE(value->is_array() && value->array().size() == 3) << line;
    if (!value->is_array() || value->array().size() != 3) return cast;
    const support::JsonArray& event = value->array();
    EXPECT_TRUE(event[0].is_number() && event[1].is_string() && event[2].is_string()) << line;
    EXPECT_EQ(event[1].string(), "o");
    cast.events.push_back({event[0].number(), event[2].string()});
  }
  return cast;
}

// libvterm as the terminal: UTF-8, with an alternate screen as xterm has.
class Emulator {
 public:
  Emulator() : vt_(vterm_new(ROWS, COLUMNS)) {
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_enable_altscreen(screen_, 1);
    vterm_screen_reset(screen_, 1);
  }
  ~Emulator() { vterm_free(vt_); }
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  void write(const std::string& text) { vterm_input_write(vt_, text.data(), text.size()); }
  VTermScreenCell cell(int column, int row) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    return cell;
  }
  std::string line(int row) const {
    std::string text;
    for (int column = 0; column < COLUMNS; ++column) {
      const uint32_t c = cell(column, row).chars[0];
      text += c == 0 ? ' ' : static_cast<char>(c);
    }
    return text;
  }

 private:
  VTerm* vt_;
  VTermScreen* screen_;
};

// The frame an event time belongs to, when it is one: n for n x 0.03 s.
std::optional<uint32_t> frame_at(double time) {
  const double frames = time / FRAME_SECONDS;
  const double whole = std::round(frames);
  if (std::fabs(frames - whole) > 1e-6) return std::nullopt;
  return static_cast<uint32_t>(whole);
}

// The frames --ascii wrote and the cast, both from one run of a show of `frames` frames.
struct Rendered {
  std::vector<std::vector<std::string>> frames;
  Cast cast;
  std::string cast_text;
};

Rendered render(const ShowDir& show, const std::string& arguments) {
  support::ProgramRun run = support::run_in(
      show.dir.path, TUNDRA_RENDER " --ascii frames.txt --cast show.cast " + arguments);
  EXPECT_EQ(run.status, 0) << run.err;
  Rendered rendered;
  rendered.frames =
      support::read_ascii_frames(support::read_file(show.file("frames.txt")), nullptr);
  rendered.cast_text = support::read_file(show.file("show.cast"));
  rendered.cast = read_cast(rendered.cast_text);
  return rendered;
}

// The farewell as the player prints it, line by line on the screen.
std::vector<std::string> farewell_screen_lines() {
  std::string text;
  for (const engine::FarewellLine& line : engine::farewell_lines()) text += line.text;
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// A show that flashes at frame 600 (brightness and noise) and has 0.1 s of frames after it.
constexpr uint16_t SHOW_FRAMES = 640;

TEST(RenderCast, TheHeaderDescribesAnEightyByTwentyFiveXtermAndTheWholeLength) {
  ShowDir show(support::busy_show(SHOW_FRAMES));
  Rendered rendered = render(show, "--title 'Busy <show>'");
  const Json& header = rendered.cast.header;
  ASSERT_TRUE(header.is_object());
  EXPECT_EQ(header.member("version")->number(), 2);
  EXPECT_EQ(header.member("width")->number(), COLUMNS);
  EXPECT_EQ(header.member("height")->number(), ROWS);
  EXPECT_EQ(header.member("title")->string(), "Busy <show>");
  ASSERT_NE(header.member("env"), nullptr);
  EXPECT_EQ(header.member("env")->member("TERM")->string(), "xterm-256color");
  // The length is the frames, then every line of the farewell and the pause after it; players
  // take the length from the last event, which comes then.
  int farewell_ticks = 0;
  for (const engine::FarewellLine& line : engine::farewell_lines()) farewell_ticks += line.ticks;
  const double length = (SHOW_FRAMES + farewell_ticks) * FRAME_SECONDS;
  EXPECT_NEAR(header.member("duration")->number(), length, 1e-9);
  ASSERT_FALSE(rendered.cast.events.empty());
  EXPECT_NEAR(rendered.cast.events.back().time, length, 1e-9);

  // Without --title, the data file's name is the title.
  support::ProgramRun run = support::run_in(show.dir.path, TUNDRA_RENDER " --cast - --frames 2");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_cast(run.out).header.member("title")->string(), "mote-tundra-2003");
}

TEST(RenderCast, ATerminalReplayingItShowsEveryAsciiFrameAtItsTimeThenTheFarewell) {
  ShowDir show(support::busy_show(SHOW_FRAMES));
  Rendered rendered = render(show, "");
  ASSERT_EQ(rendered.frames.size(), SHOW_FRAMES);
  const std::vector<CastEvent>& events = rendered.cast.events;

  Emulator terminal;
  size_t next = 0;
  double last_time = -1;
  size_t bytes = 0;
  for (uint32_t frame = 0; frame < SHOW_FRAMES; ++frame) {
    // Every event up to this frame's time, each at a frame's time and later than the last.
    for (; next < events.size() && events[next].time < (frame + 0.5) * FRAME_SECONDS; ++next) {
      ASSERT_GT(events[next].time, last_time);
      last_time = events[next].time;
      ASSERT_EQ(frame_at(events[next].time), frame) << "event " << next;
      terminal.write(events[next].data);
      bytes += events[next].data.size();
    }
    for (int row = 0; row < ROWS; ++row)
      ASSERT_EQ(terminal.line(row), rendered.frames[frame][row])
          << "frame " << frame << ", row " << row;
  }
  // Only what changed is written: far less than a whole screen a frame.
  EXPECT_LT(bytes, size_t{SHOW_FRAMES} * COLUMNS * ROWS / 4);

  // Then the terminal's own screen again, and the farewell: its first line when the next frame
  // would have come, each of the others after the player's pause for the line before it.
  const std::vector<std::string> expected = farewell_screen_lines();
  double time = SHOW_FRAMES * FRAME_SECONDS;
  for (const engine::FarewellLine& line : engine::farewell_lines()) {
    ASSERT_LT(next, events.size());
    EXPECT_NEAR(events[next].time, time, 1e-9);
    EXPECT_NE(events[next].data.find(trimmed(line.text).substr(0, 3)), std::string::npos);
    terminal.write(events[next++].data);
    time += line.ticks * FRAME_SECONDS;
  }
  for (size_t row = 0; row < expected.size(); ++row)
    EXPECT_EQ(trimmed(terminal.line(static_cast<int>(row))), expected[row]) << "row " << row;
}

TEST(RenderCast, AShowStoppedByFramesSaysFarewellWhenItStops) {
  ShowDir show(support::busy_show(SHOW_FRAMES));
  Rendered rendered = render(show, "--frames 50");
  ASSERT_EQ(rendered.frames.size(), 50u);
  const auto first_farewell = std::find_if(
      rendered.cast.events.begin(), rendered.cast.events.end(), [](const CastEvent& event) {
        return event.data.find("congratulations") != std::string::npos;
      });
  ASSERT_NE(first_farewell, rendered.cast.events.end());
  EXPECT_NEAR(first_farewell->time, 50 * FRAME_SECONDS, 1e-9);
}

// Recordings of a show of one's own end with it: the terminal gets its screen back at the last
// frame's end, and no farewell follows.
TEST(RenderCast, NoFarewellEndsTheRecordingWhenTheShowEnds) {
  ShowDir show(support::busy_show(40));
  for (const char* frames : {"", "--frames 25"}) {
    Rendered rendered = render(show, std::string("--no-farewell ") + frames);
    const double length = double(rendered.frames.size()) * FRAME_SECONDS;
    ASSERT_TRUE(rendered.cast.header.is_object() && rendered.cast.header.member("duration"));
    EXPECT_NEAR(rendered.cast.header.member("duration")->number(), length, 1e-9) << frames;
    ASSERT_FALSE(rendered.cast.events.empty());
    EXPECT_NEAR(rendered.cast.events.back().time, length, 1e-9) << frames;
    EXPECT_NE(rendered.cast.events.back().data.find("\033[?1049l"), std::string::npos) << frames;
    EXPECT_EQ(rendered.cast_text.find("congratulations"), std::string::npos) << frames;
  }
}

// The colour view: each frame's cells as the colour display draws them on 80 x 25 cells, in
// 24-bit colour, worked out here from the pictures --raw wrote.
TEST(RenderCast, TheColourViewReplaysToTheColourDisplaysCellsAndColours) {
  ShowDir show(support::busy_show(SHOW_FRAMES));
  support::ProgramRun run = support::run_in(
      show.dir.path, TUNDRA_RENDER " --raw frames.raw --cast show.cast --display colour");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto pictures = support::read_raw_frames(support::read_file(show.file("frames.raw")));
  const Cast cast = read_cast(support::read_file(show.file("show.cast")));
  ASSERT_EQ(pictures.size(), SHOW_FRAMES);
  EXPECT_EQ(cast.header.member("env")->member("COLORTERM")->string(), "truecolor");

  display::ColourView view({display::ColourMode::TRUECOLOR, display::PixelMode::SYMBOLS});
  Emulator terminal;
  size_t next = 0;
  for (uint32_t frame = 0; frame < SHOW_FRAMES; ++frame) {
    for (; next < cast.events.size() && cast.events[next].time < (frame + 0.5) * FRAME_SECONDS;
         ++next)
      terminal.write(cast.events[next].data);
    display::Picture picture;
    std::copy(pictures[frame].begin(), pictures[frame].end(), picture.pixels.begin());
    const display::CellGrid& grid =
        view.draw_cells(picture, display::flash_at(frame), COLUMNS, ROWS);
    // Every frame's cells would take long on libvterm; a frame a second and the flash's frames.
    if (frame % 33 != 0 && (frame < 600 || frame > 610)) continue;
    for (int row = 0; row < ROWS; ++row)
      for (int column = 0; column < COLUMNS; ++column) {
        const display::Cell expected = grid.at(column, row).shown();
        const VTermScreenCell shown = terminal.cell(column, row);
        SCOPED_TRACE(testing::Message() << "frame " << frame << ", cell " << column << ", " << row);
        ASSERT_EQ(char32_t(shown.chars[0] == 0 ? U' ' : shown.chars[0]), expected.symbol);
        auto rgb = [](const VTermColor& colour) {
          return VTERM_COLOR_IS_RGB(&colour) ? uint32_t{colour.rgb.red} << 16 |
                                                   uint32_t{colour.rgb.green} << 8 | colour.rgb.blue
                                             : 0xFFFFFFFFu;
        };
        if (expected.symbol != U' ') {
          ASSERT_EQ(rgb(shown.fg), expected.foreground.value);
        }
        if (expected.symbol != display::FULL_BLOCK) {
          ASSERT_EQ(rgb(shown.bg), expected.background.value);
        }
      }
  }
}

// The recording up to frame `frame`, given to `cat` in an 80 x 25 tmux pane, leaves the pane
// showing the --ascii frame; asciinema's own player, fast, ends on the farewell.
TEST(RenderCast, TmuxShowsTheAsciiFramesAndAsciinemaPlaysItToTheFarewell) {
  ShowDir show(support::busy_show(SHOW_FRAMES));
  Rendered rendered = render(show, "");
  support::TmuxPane pane(COLUMNS, ROWS);
  for (uint32_t frame : {0u, 321u, 605u}) {
    std::string data;
    for (const CastEvent& event : rendered.cast.events)
      if (event.time < (frame + 0.5) * FRAME_SECONDS) data += event.data;
    show.dir.write("upto.txt", support::Bytes(data.begin(), data.end()));
    pane.type("clear; cat " + show.file("upto.txt") + "; sleep 30");
    std::string expected;
    // capture-pane leaves out the spaces that end a line.
    for (const std::string& row : rendered.frames[frame]) expected += trimmed(row) + "\n";
    EXPECT_TRUE(support::wait_until([&] { return pane.screen() == expected; }, 10))
        << "frame " << frame << ":\n"
        << pane.screen();
    pane.key("C-c");
    pane.type("printf '\\033[?1049l\\033[?25h'; clear");
  }

  // Forty times as fast: the 19 s of frames and farewell in half a second or so.
  pane.type("clear; asciinema play -s 40 " + show.file("show.cast") + "; echo played: $?");
  EXPECT_TRUE(
      support::wait_until([&] { return pane.screen().find("played: 0") != std::string::npos; }, 30))
      << pane.screen();
  const std::string screen = pane.screen();
  for (const std::string& line : farewell_screen_lines())
    EXPECT_NE(screen.find(line), std::string::npos) << line << "\n" << screen;
}

}  // namespace
