// The real player where users meet it: a terminal in a tmux pane, standard output without a
// terminal, and an X window under Xvfb.
#include <gtest/gtest.h>

#include <sstream>

#include "support/process.h"
#include "support/show_harness.h"

namespace {

using support::DataFileBuilder;
using support::Rgb;
using support::ScriptBuilder;

const char* const farewell_lines[] = {
    "congratulations!",
    "you just made it through the most boring",
    "two and a half minutes of this party",
    "but it's not over now",
    "",
    "well,",
    "it is....",
    "just wanted to see you face when you read this.",
    "THE END.",
    "",
    "ps:",
    "loaderbars suck",
};

// A show directory whose data file shows stripes for `frames` frames: picture rows 0-9, 20-29
// and 40-49 white, the others black. On an 80 x 25 screen: five text rows lit, five dark, ...
struct StripeShow {
  explicit StripeShow(uint16_t frames) {
    auto stripes = [](int, int y) { return (y / 10) % 2 == 0 ? Rgb{255, 255, 255} : Rgb{0, 0, 0}; };
    dir.write("data/mote-tundra-2003.dat", DataFileBuilder()
                                               .script(ScriptBuilder()
                                                           .newbuf(0, 0, 0, 160, 50)
                                                           .newfx(0, 2, 0)
                                                           .setchunk(0, 0x80, 1)
                                                           .start(0)
                                                           .waitfor(frames)
                                                           .end())
                                               .image(support::make_png(160, 50, stripes))
                                               .bytes);
  }
  support::TempDir dir;
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

int lit_characters(const std::string& line) {
  return static_cast<int>(std::count_if(line.begin(), line.end(), [](char c) { return c != ' '; }));
}

// Rows well inside each stripe: lit ones hold art across the row, dark ones nothing.
void expect_stripes(const std::vector<std::string>& screen, std::initializer_list<int> lit,
                    std::initializer_list<int> dark) {
  for (int row : lit)
    EXPECT_GE(lit_characters(screen.at(row)), 70) << "row " << row << ": " << screen.at(row);
  for (int row : dark)
    EXPECT_EQ(lit_characters(screen.at(row)), 0) << "row " << row << ": " << screen.at(row);
}

// The farewell lines in order, each on a line of its own, somewhere in `lines`.
void expect_farewell(const std::vector<std::string>& lines) {
  auto first = std::find(lines.begin(), lines.end(), farewell_lines[0]);
  ASSERT_NE(first, lines.end());
  for (size_t i = 0; i < std::size(farewell_lines); ++i) {
    ASSERT_LT(first + i, lines.end());
    EXPECT_EQ(first[i], farewell_lines[i]);
  }
}

// Plays the stripes in a pane, ends the show with a key and checks what the user is left with.
void play_in_pane(int rows, std::initializer_list<int> lit, std::initializer_list<int> dark) {
  StripeShow show(2000);
  support::TmuxPane pane(80, rows);
  std::string dir = support::shell_quote(show.dir.path);
  pane.type("cd " + dir +
            " && stty -g > modes-before && " TUNDRA_PLAYER
            "; echo $? > status; stty -g > modes-after; echo shell-is-$((40 + 2))");
  ASSERT_TRUE(support::wait_until([&] { return lit_characters(pane.screen()) > 800; }, 20))
      << pane.screen();
  support::wait_until([] { return false; }, 0.3);  // a few more frames
  std::vector<std::string> screen = lines_of(pane.screen());
  ASSERT_EQ(screen.size(), static_cast<size_t>(rows));
  expect_stripes(screen, lit, dark);

  pane.key("q");
  ASSERT_TRUE(support::wait_until(
      [&] { return pane.screen().find("shell-is-42\n") != std::string::npos; }, 30))
      << pane.screen();
  EXPECT_EQ(support::read_file(show.dir.path + "/status"), "0\n");
  EXPECT_EQ(support::read_file(show.dir.path + "/modes-before"),
            support::read_file(show.dir.path + "/modes-after"));
  expect_farewell(lines_of(pane.history()));
}

TEST(TerminalPlayer, PlaysInAnEightyByTwentyFivePaneAndAKeyEndsItOnARestoredTerminal) {
  play_in_pane(25, {1, 2, 3, 11, 12, 13, 21, 22, 23}, {6, 7, 8, 16, 17, 18});
}

TEST(TerminalPlayer, FillsAnEightyByTwentyFourPaneInsteadOfPilingThePictureIntoOneRow) {
  // Picture row y lands on image row y * 48 / 50, shown on text row (y * 48 / 50) / 2.
  play_in_pane(24, {1, 2, 3, 11, 12, 21, 22, 23}, {6, 7, 16, 17});
}

TEST(StdoutDriver, PlaysTheWholeShowWithoutATerminal) {
  StripeShow show(40);
  int status = -1;
  std::string out = support::run_command(
      "cd " + support::shell_quote(show.dir.path) +
          " && env -u TERM -u DISPLAY AAOPTS='-driver stdout -width 80 -height 25' " TUNDRA_PLAYER
          " -nosync </dev/null 2>/dev/null",
      &status);
  EXPECT_EQ(status, 0);
  // The stdout driver ends every frame with a form feed: 40 frames of 25 rows.
  std::vector<std::string> lines = lines_of(out);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "\f"), 40);
  ASSERT_GT(lines.size(), 27u);
  std::vector<std::string> first_frame(lines.begin() + 1, lines.begin() + 26);
  expect_stripes(first_frame, {1, 2, 3, 11, 12, 13, 21, 22, 23}, {6, 7, 8, 16, 17, 18});
  expect_farewell(lines);
}

TEST(XWindow, ShowsThePictureUnderXvfbAndAKeyInTheWindowEndsTheShow) {
  support::TempDir x;
  support::run_command("Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>" + x.path +
                       "/display >/dev/null 2>&1 & echo $! > " + x.path + "/pid");
  ASSERT_TRUE(support::wait_until(
      [&] { return support::read_file(x.path + "/display").find('\n') != std::string::npos; }, 20));
  std::string display = ":" + lines_of(support::read_file(x.path + "/display")).at(0);
  std::string env = "DISPLAY=" + display + " ";

  StripeShow show(2000);
  support::run_command("(cd " + support::shell_quote(show.dir.path) + " && " + env +
                       "AAOPTS='-driver X11' " TUNDRA_PLAYER
                       " </dev/null >out 2>err; echo $? > status) >/dev/null 2>&1 &");
  std::string window;
  ASSERT_TRUE(support::wait_until(
      [&] {
        window =
            support::run_command(env + "xwininfo -root -tree | grep 'aa for X' | awk '{print $1}'");
        return !window.empty();
      },
      20));
  window = lines_of(window).at(0);
  support::wait_until([] { return false; }, 1.0);  // let it draw a few frames

  // The screenshot's pixels after the header and colour table: 32 bits each at depth 24.
  std::string shot = support::run_command(env + "xwd -root -silent");
  ASSERT_GT(shot.size(), 100u);
  auto card32 = [&](size_t field) {
    const auto* p = reinterpret_cast<const unsigned char*>(shot.data()) + 4 * field;
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
  };
  size_t pixels_at = card32(0) + 12 * size_t(card32(19));
  size_t lit = 0;
  for (size_t i = pixels_at; i + 4 <= shot.size(); i += 4)
    if (shot[i] != 0 || shot[i + 1] != 0 || shot[i + 2] != 0 || shot[i + 3] != 0) ++lit;
  EXPECT_GT(lit, 800u * 600u / 50) << "the window looks blank";

  support::run_command(env + "xdotool key --window " + window + " q 2>/dev/null");
  EXPECT_TRUE(support::wait_until(
      [&] { return !support::read_file(show.dir.path + "/status").empty(); }, 30));
  EXPECT_EQ(support::read_file(show.dir.path + "/status"), "0\n");
  expect_farewell(lines_of(support::read_file(show.dir.path + "/out")));
  support::run_command("kill $(cat " + x.path + "/pid)");
}

}  // namespace
