// The real player where users meet it: a terminal in a tmux pane (keys, signals, resizes, its
// standard output closed or piped), standard output without a terminal, and an X window.
#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "fixtures/process.h"
#include "support/pane_shell.h"
#include "support/show_harness.h"

namespace {

using support::Rgb;

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
    dir.write("data/mote-tundra-2003.dat",
              support::still_show(support::make_png(160, 50, stripes), frames));
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
  ASSERT_TRUE(support::shell_is_back(pane, 30)) << pane.screen();
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

// The player started from an interactive shell in a pane, as a user starts it: the shell saves
// the terminal's modes before and after, and the player's exit status (the first of a pipeline),
// then says "shell-is-42" once it has its prompt back. `how` is what follows the player's name
// inside its `sh -c` (a redirection), `pipe` what follows the `sh -c` (a pipe to a reader),
// `env` what comes before it (variables).
struct PaneRun {
  PaneRun(const StripeShow& show, support::TmuxPane& pane, const std::string& how = "",
          const std::string& pipe = "", const std::string& env = "")
      : dir(show.dir.path), pane(pane) {
    pane.type("cd " + support::shell_quote(dir) + " && stty -g > modes-before && " + env +
              " sh -c 'echo $$ > pid; exec " TUNDRA_PLAYER " " + how + "' " + pipe +
              "; echo ${PIPESTATUS[0]} > status; stty -g > modes-after; echo shell-is-$((40 + 2))");
  }

  // The picture is on the screen: most of an 80 x 25 pane's characters are art.
  bool showing() {
    return support::wait_until([&] { return lit_characters(pane.screen()) > 800; }, 20);
  }
  // The player has reached its frame loop (for runs whose picture goes elsewhere).
  bool started() {
    return support::wait_until(
        [&] { return pane.screen().find("engine  : Starting") != std::string::npos; }, 20);
  }
  pid_t pid() { return static_cast<pid_t>(std::stol(support::read_file(dir + "/pid"))); }
  bool shell_back(double seconds = 30) { return support::shell_is_back(pane, seconds); }
  std::string status() { return support::read_file(dir + "/status"); }
  bool modes_restored() { return support::modes_restored(dir); }
  bool farewell_shown() { return pane.history().find("congratulations!") != std::string::npos; }

  std::string dir;
  support::TmuxPane& pane;
};

TEST(TerminalSignals, IntTermAndHupEndTheShowWith128PlusTheSignalOnARestoredTerminal) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal_number));
    StripeShow show(2000);
    support::TmuxPane pane(80, 25);
    PaneRun run(show, pane);
    ASSERT_TRUE(run.showing()) << pane.screen();
    ASSERT_EQ(kill(run.pid(), signal_number), 0);
    ASSERT_TRUE(run.shell_back()) << pane.screen();
    EXPECT_EQ(run.status(), std::to_string(128 + signal_number) + "\n");
    EXPECT_TRUE(run.modes_restored());
    EXPECT_FALSE(run.farewell_shown()) << pane.history();
  }
}

TEST(TerminalSignals, ControlCTypedDuringTheShowIsSigint) {
  // The keyboard leaves the terminal's signal keys alone: ^C reaches the player as SIGINT.
  StripeShow show(2000);
  support::TmuxPane pane(80, 25);
  PaneRun run(show, pane);
  ASSERT_TRUE(run.showing()) << pane.screen();
  pane.key("C-c");
  ASSERT_TRUE(run.shell_back()) << pane.screen();
  EXPECT_EQ(run.status(), "130\n");
  EXPECT_TRUE(run.modes_restored());
  EXPECT_FALSE(run.farewell_shown()) << pane.history();
}

TEST(TerminalPlayer, AKeyDuringTheFarewellIsEchoedAndLeftForTheShell) {
  // The display and its keyboard are closed before the farewell, so the terminal is back in its
  // own mode: the key neither ends nor shortens the farewell, and the shell reads it afterwards.
  StripeShow show(30);
  support::TmuxPane pane(80, 25);
  PaneRun run(show, pane);
  ASSERT_TRUE(support::wait_until(
      [&] { return pane.screen().find("congratulations!") != std::string::npos; }, 20))
      << pane.screen();
  pane.key("x");
  ASSERT_TRUE(run.shell_back()) << pane.screen();
  EXPECT_EQ(run.status(), "0\n");
  EXPECT_TRUE(run.modes_restored());
  // The whole farewell, in order; the echoed key sits somewhere among its lines.
  std::string history = pane.history();
  size_t at = history.find("congratulations!");
  for (const char* line : farewell_lines) {
    at = history.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << " in\n" << history;
  }
  std::vector<std::string> screen = lines_of(pane.screen());
  auto prompt = std::find(screen.begin(), screen.end(), "shell-is-42");
  ASSERT_NE(prompt, screen.end());
  ASSERT_NE(prompt + 1, screen.end());
  EXPECT_EQ(prompt[1], "$ x");  // typed ahead: the shell's next command line begins with it
}

// AA-lib's keyboards tell a resize each in their own way, or not at all: the slang one (the
// terminal's default) and the curses one are both checked.
void resize_during_the_show(const std::string& driver) {
  StripeShow show(4000);
  support::TmuxPane pane(80, 25);
  PaneRun run(show, pane, "", "", driver.empty() ? "" : "AAOPTS='-driver " + driver + "'");
  ASSERT_TRUE(run.showing()) << pane.screen();

  // Larger: one picture pixel per 2 x 2 block, in the top-left 80 x 25 characters; the rest of
  // the screen is black.
  pane.resize(100, 30);
  std::vector<std::string> screen;
  ASSERT_TRUE(support::wait_until(
      [&] {
        screen = lines_of(pane.screen());
        return screen.size() == 30 && lit_characters(screen[1]) > 70;
      },
      20))
      << pane.screen();
  support::wait_until([] { return false; }, 0.3);  // a few more frames at the new size
  screen = lines_of(pane.screen());
  expect_stripes(screen, {1, 2, 3, 11, 12, 13, 21, 22, 23},
                 {6, 7, 8, 16, 17, 18, 25, 26, 27, 28, 29});
  for (int row = 0; row < 30; ++row)
    EXPECT_EQ(lit_characters(screen.at(row).substr(std::min<size_t>(80, screen[row].size()))), 0)
        << row << ": " << screen[row];

  // Smaller than 80 x 25: the whole picture, proportionally. Picture row y lands on text row
  // (y * 40 / 50) / 2: rows 0-9 on 0-3, 10-19 on 4-7, 20-29 on 8-11, ...
  pane.resize(60, 20);
  ASSERT_TRUE(support::wait_until(
      [&] {
        screen = lines_of(pane.screen());
        return screen.size() == 20 && lit_characters(screen.at(17)) > 50;
      },
      20))
      << pane.screen();
  for (int row : {1, 2, 9, 10, 17, 18})
    EXPECT_GE(lit_characters(screen.at(row)), 55) << row << ": " << screen.at(row);
  for (int row : {5, 6, 13, 14}) EXPECT_EQ(lit_characters(screen.at(row)), 0) << row;

  // Still the same show: a key ends it as before.
  EXPECT_TRUE(run.status().empty());
  pane.key("q");
  ASSERT_TRUE(run.shell_back()) << pane.screen();
  EXPECT_EQ(run.status(), "0\n");
  EXPECT_TRUE(run.modes_restored());
  expect_farewell(lines_of(pane.history()));
}

TEST(TerminalPlayer, AResizedTerminalKeepsTheShowGoingAndThePictureFollowsItsSize) {
  resize_during_the_show("");
}

TEST(TerminalPlayer, AResizeIsNotAKeyForTheCursesKeyboardEither) {
  resize_during_the_show("curses");
}

TEST(TerminalPlayer, AClosedStandardOutputPlaysTheWholeShowWithStatusZero) {
  // Standard output is opened on /dev/null: the picture and the farewell go there, the progress
  // lines still reach the terminal.
  StripeShow show(40);
  support::TmuxPane pane(80, 25);
  PaneRun run(show, pane, ">&-");
  ASSERT_TRUE(run.shell_back(40)) << pane.screen();
  EXPECT_EQ(run.status(), "0\n");
  EXPECT_TRUE(run.modes_restored());
  std::string history = pane.history();
  EXPECT_NE(history.find("engine  : Stopping"), std::string::npos) << history;
  EXPECT_FALSE(run.farewell_shown()) << history;
}

TEST(TerminalPlayer, APipeClosedByItsReaderEndsTheShowWithSigpipeOnARestoredTerminal) {
  StripeShow show(2000);
  support::TmuxPane pane(80, 25);
  PaneRun run(show, pane, "", "| head -c 100");
  ASSERT_TRUE(run.shell_back()) << pane.screen();
  EXPECT_EQ(run.status(), "141\n");
  EXPECT_TRUE(run.modes_restored());
  EXPECT_FALSE(run.farewell_shown());
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
  support::XServer x;
  ASSERT_FALSE(x.display.empty()) << "Xvfb did not start";
  std::string env = "DISPLAY=" + x.display + " ";

  // Declared after the server, so the player is ended before the server it draws on.
  StripeShow show(2000);
  support::ProcessGuard player;
  player.start("cd " + support::shell_quote(show.dir.path) + " && " + env +
               "AAOPTS='-driver X11' " TUNDRA_PLAYER " </dev/null >out 2>err; echo $? > status");
  auto ended = [&] { return !support::read_file(show.dir.path + "/status").empty(); };
  std::string window;
  support::wait_until(
      [&] {
        window = support::run_command(
            env + "xwininfo -root -tree | grep '\"tundra\"' | awk '{print $1}'");
        return !window.empty() || ended();
      },
      20);
  // A player that could not open its window says why on standard error (a missing core font
  // ends it inside Xlib with status 1).
  ASSERT_FALSE(window.empty()) << "no window; the player's status "
                               << support::read_file(show.dir.path + "/status")
                               << "and its errors:\n"
                               << support::read_file(show.dir.path + "/err");
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
  EXPECT_TRUE(support::wait_until(ended, 30));
  EXPECT_EQ(support::read_file(show.dir.path + "/status"), "0\n");
  expect_farewell(lines_of(support::read_file(show.dir.path + "/out")));
}

}  // namespace
