// The colour display where users meet it: the player in a tmux pane that keeps 24-bit colours,
// read back cell by cell with their colours; and its frames as ANSI text on a file.
#include <gtest/gtest.h>

#include <csignal>
#include <numeric>
#include <sstream>

#include "fixtures/process.h"
#include "support/ansi_screen.h"
#include "support/pane_shell.h"
#include "support/show_harness.h"

namespace {

using support::Rgb;

using support::coloured;
using support::count;
using support::PALETTE;
using support::read_screen;
using support::Screen;

constexpr uint32_t RED = 0xFF0000, BLUE = 0x0000FF;

// A show directory whose data file shows a still for `frames` frames: its left half red, its
// right half blue.
struct HalvesShow {
  explicit HalvesShow(uint16_t frames) {
    auto halves = [](int x, int) { return x < 80 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; };
    dir.write("data/mote-tundra-2003.dat",
              support::still_show(support::make_png(160, 50, halves), frames));
  }
  support::TempDir dir;
};

// The player started from an interactive shell in a pane, as a user starts it; the shell keeps
// the terminal's modes before and after, the player's process id and exit status, and says
// "shell-is-42" once it has its prompt back.
struct ColourRun {
  ColourRun(const HalvesShow& show, support::TmuxPane& pane, const std::string& options,
            const std::string& before = "")
      : dir(show.dir.path), pane(pane) {
    pane.type("cd " + support::shell_quote(dir) + " && " + before +
              " stty -g > modes-before && COLORTERM=truecolor sh -c 'echo $$ > pid; exec " +
              TUNDRA_PLAYER + " --display colour " + options +
              "'; echo $? > status; stty -g > modes-after; echo shell-is-$((40 + 2))");
  }

  Screen screen() {
    capture = support::run_command("tmux -L " + pane.server + " capture-pane -p -e -N");
    return read_screen(capture);
  }
  // Waits until the screen shows at least `cells` cells in colour; returns the last screen.
  Screen showing(int cells) {
    Screen shown;
    support::wait_until(
        [&] {
          shown = screen();
          return coloured(shown) >= cells;
        },
        20);
    return shown;
  }
  pid_t pid() { return static_cast<pid_t>(std::stol(support::read_file(dir + "/pid"))); }
  bool shell_back() { return support::shell_is_back(pane, 30); }
  std::string status() { return support::read_file(dir + "/status"); }
  bool modes_restored() { return support::modes_restored(dir); }

  std::string dir;
  support::TmuxPane& pane;
  std::string capture;  // the last screen read, as tmux wrote it
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// The farewell follows the picture, each line whole from the first column.
void expect_farewell_at_column_zero(support::TmuxPane& pane) {
  const std::vector<std::string> lines = lines_of(pane.history());
  auto first = std::find(lines.begin(), lines.end(), "congratulations!");
  ASSERT_NE(first, lines.end()) << pane.history();
  ASSERT_LT(first + 1, lines.end());
  EXPECT_EQ(first[1], "you just made it through the most boring");
}

TEST(ColourTerminal, RedOnTheLeftBlueOnTheRightAndAKeyEndsItOnARestoredTerminal) {
  HalvesShow show(3000);
  support::TmuxPane pane(80, 25);
  ColourRun run(show, pane, "--colour-mode truecolor");
  const Screen screen = run.showing(80 * 25);
  EXPECT_EQ(count(screen, 0, 0, 40, 25, RED), 40 * 25);
  EXPECT_EQ(count(screen, 40, 0, 80, 25, BLUE), 40 * 25) << run.capture;

  pane.key("q");
  ASSERT_TRUE(run.shell_back()) << pane.screen();
  EXPECT_EQ(run.status(), "0\n");
  EXPECT_TRUE(run.modes_restored());
  expect_farewell_at_column_zero(pane);
  // The main screen is back: the command line that started the player is on it, and no colour.
  EXPECT_NE(pane.screen().find("stty -g > modes-before"), std::string::npos) << pane.screen();
  EXPECT_EQ(coloured(run.screen()), 0);
}

TEST(ColourTerminal, AResizeRefitsThePictureAtTheNextFrame) {
  HalvesShow show(6000);
  support::TmuxPane pane(80, 25);
  ColourRun run(show, pane, "--colour-mode truecolor");
  ASSERT_EQ(coloured(run.showing(80 * 25)), 80 * 25);

  // Wider than the picture's shape: 30 rows of 96 columns, centred from column 12.
  pane.resize(120, 30);
  Screen screen = run.showing(96 * 30);
  EXPECT_EQ(count(screen, 12, 0, 60, 30, RED), 48 * 30);
  EXPECT_EQ(count(screen, 60, 0, 108, 30, BLUE), 48 * 30);
  EXPECT_EQ(coloured(screen), 96 * 30) << "colour outside the picture";

  // Smaller, and taller than its shape: 40 columns of 13 rows, centred from row 3.
  pane.resize(40, 20);
  support::wait_until(
      [&] {
        screen = run.screen();
        return coloured(screen) == 40 * 13;
      },
      20);
  EXPECT_EQ(count(screen, 0, 3, 20, 16, RED), 20 * 13);
  EXPECT_EQ(count(screen, 20, 3, 40, 16, BLUE), 20 * 13);
  EXPECT_EQ(coloured(screen), 40 * 13) << "colour outside the picture";

  pane.key("Space");
  ASSERT_TRUE(run.shell_back()) << pane.screen();
  EXPECT_EQ(run.status(), "0\n");
  EXPECT_TRUE(run.modes_restored());
}

TEST(ColourTerminal, QuitSignalsEndTheShowWith128PlusTheSignalOnARestoredTerminal) {
  for (int signal_number : {SIGTERM, SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(strsignal(signal_number));
    HalvesShow show(3000);
    support::TmuxPane pane(80, 25);
    ColourRun run(show, pane, "--colour-mode 256");
    // Red and blue as the 256 colours' cube has them: entries 196 and 21.
    const Screen screen = run.showing(80 * 25);
    ASSERT_EQ(count(screen, 0, 0, 40, 25, PALETTE | 196), 40 * 25) << run.capture;
    ASSERT_EQ(count(screen, 40, 0, 80, 25, PALETTE | 21), 40 * 25) << run.capture;
    ASSERT_EQ(kill(run.pid(), signal_number), 0);
    ASSERT_TRUE(run.shell_back()) << pane.screen();
    EXPECT_EQ(run.status(), std::to_string(128 + signal_number) + "\n");
    EXPECT_TRUE(run.modes_restored());
    EXPECT_NE(pane.screen().find("stty -g > modes-before"), std::string::npos) << pane.screen();
    EXPECT_EQ(pane.history().find("congratulations!"), std::string::npos);
  }
}

TEST(ColourTerminal, ControlZGivesTheTerminalBackAndFgDrawsThePictureAgain) {
  HalvesShow show(6000);
  support::TmuxPane pane(80, 25);
  ColourRun run(show, pane, "--colour-mode truecolor --no-farewell");
  ASSERT_EQ(coloured(run.showing(80 * 25)), 80 * 25);
  // The shell goes on with its list once the job has stopped.
  pane.key("C-z");
  ASSERT_TRUE(run.shell_back()) << pane.screen();
  EXPECT_EQ(run.status(), "148\n");
  EXPECT_TRUE(run.modes_restored());
  EXPECT_NE(pane.screen().find("stty -g > modes-before"), std::string::npos) << pane.screen();
  EXPECT_EQ(coloured(run.screen()), 0);

  pane.type("fg; echo back-$((0 + $?))-here");
  EXPECT_EQ(coloured(run.showing(80 * 25)), 80 * 25) << run.capture;
  pane.key("q");
  ASSERT_TRUE(support::wait_until(
      [&] { return pane.screen().find("back-0-here") != std::string::npos; }, 30))
      << pane.screen();
  EXPECT_EQ(coloured(run.screen()), 0);
}

TEST(ColourTerminal, TerminalsOfOneCellOrOfThousandsPlayAndEndOnAKey) {
  // The size the player reads is the kernel's, which `stty` sets whatever tmux shows.
  const std::pair<std::string, std::string> cases[] = {
      {"stty rows 1 cols 1 &&", "--no-farewell"},
      {"stty rows 4096 cols 4096 &&", "--no-farewell --pixel-mode sixels"},
      {"stty rows 4096 cols 4096 &&", "--no-farewell"},
      {"stty rows 1 cols 1 &&", "--no-farewell --pixel-mode kitty"},
  };
  for (const auto& [before, options] : cases) {
    SCOPED_TRACE(before + " " + options);
    HalvesShow show(3000);
    support::TmuxPane pane(80, 25);
    ColourRun run(show, pane, options, before);
    ASSERT_TRUE(
        support::wait_until([&] { return support::read_file(run.dir + "/pid").size() > 1; }, 20));
    support::wait_until([] { return false; }, 1.0);  // some frames
    EXPECT_TRUE(run.status().empty()) << "ended early: " << run.status();
    pane.key("q");
    ASSERT_TRUE(run.shell_back()) << pane.screen();
    EXPECT_EQ(run.status(), "0\n");
    EXPECT_TRUE(run.modes_restored());
  }
}

TEST(ColourTerminal, AClosedStandardOutputPlaysTheWholeShowWithStatusZero) {
  HalvesShow show(40);
  support::TmuxPane pane(80, 25);
  ColourRun run(show, pane, "-nosync >&-");
  ASSERT_TRUE(run.shell_back()) << pane.screen();
  EXPECT_EQ(run.status(), "0\n");
  EXPECT_TRUE(run.modes_restored());
}

TEST(ColourText, StandardOutputThatIsNoTerminalGetsEveryFrameAsAnsiText) {
  HalvesShow show(40);
  int status = -1;
  const std::string out = support::run_command(
      "cd " + support::shell_quote(show.dir.path) +
          " && env -u TERM " TUNDRA_PLAYER
          " --display colour --colour-mode truecolor -nosync </dev/null 2>/dev/null",
      &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out.find("\x1b[?1049h"), std::string::npos) << "screen sequences in a file";
  // After the loader's line, 40 frames, each 25 lines of 80 cells and a line holding a form
  // feed; then the farewell.
  std::vector<std::string> lines = lines_of(out);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines[0].starts_with("loader  : ")) << lines[0];
  lines.erase(lines.begin());
  ASSERT_GE(lines.size(), 40u * 26);
  for (int frame = 0; frame < 40; ++frame) {
    SCOPED_TRACE(frame);
    const auto first = lines.begin() + frame * 26;
    const Screen screen = read_screen(std::accumulate(
        first, first + 25, std::string(),
        [](const std::string& text, const std::string& line) { return text + line + "\n"; }));
    ASSERT_EQ(count(screen, 0, 0, 40, 25, RED), 40 * 25);
    ASSERT_EQ(count(screen, 40, 0, 80, 25, BLUE), 40 * 25);
    ASSERT_EQ(first[25], "\f");
  }
  EXPECT_EQ(lines.at(40 * 26), "congratulations!");
}

}  // namespace
