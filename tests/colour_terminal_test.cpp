// The colour display where users meet it: the player in a tmux pane that keeps 24-bit colours,
// read back cell by cell with their colours; and its frames as ANSI text on a file.
#include <gtest/gtest.h>

#include <csignal>
#include <numeric>
#include <sstream>

#include "support/process.h"
#include "support/show_harness.h"

namespace {

using support::DataFileBuilder;
using support::Rgb;
using support::ScriptBuilder;

constexpr uint32_t RED = 0xFF0000, BLUE = 0x0000FF;
constexpr uint32_t PALETTE = 1u << 24;

// A show directory whose data file shows a still for `frames` frames: its left half red, its
// right half blue.
struct HalvesShow {
  explicit HalvesShow(uint16_t frames) {
    auto halves = [](int x, int) { return x < 80 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; };
    dir.write("data/mote-tundra-2003.dat", DataFileBuilder()
                                               .script(ScriptBuilder()
                                                           .newbuf(0, 0, 0, 160, 50)
                                                           .newfx(0, 2, 0)
                                                           .setchunk(0, 0x80, 1)
                                                           .start(0)
                                                           .waitfor(frames)
                                                           .end())
                                               .image(support::make_png(160, 50, halves))
                                               .bytes);
  }
  support::TempDir dir;
};

// A cell as the pane shows it: the colour it looks, when it looks one colour.
struct ShownCell {
  bool coloured = false;  // false: the terminal's own background, or a symbol of two colours
  uint32_t rgb = 0;
};

using Screen = std::vector<std::vector<ShownCell>>;

// Reads `capture-pane -e -N` text (-N: trailing spaces kept, they may be coloured): SGR sequences
// set 24-bit or palette colours, and a space shows the background, a full block the foreground.
Screen read_screen(const std::string& text) {
  Screen screen;
  std::istringstream lines(text);
  struct Pen {
    bool fg_set = false, bg_set = false;
    uint32_t fg = 0, bg = 0;
  } pen;
  for (std::string line; std::getline(lines, line);) {
    std::vector<ShownCell>& row = screen.emplace_back();
    for (size_t i = 0; i < line.size();) {
      if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
        const size_t end = line.find('m', i);
        if (end == std::string::npos) break;
        std::vector<int> codes;
        std::istringstream params(line.substr(i + 2, end - i - 2));
        for (std::string code; std::getline(params, code, ';');)
          codes.push_back(code.empty() ? 0 : std::stoi(code));
        if (codes.empty()) codes.push_back(0);
        for (size_t c = 0; c < codes.size(); ++c) {
          const int code = codes[c];
          if ((code == 38 || code == 48) && c + 4 < codes.size() && codes[c + 1] == 2) {
            const uint32_t rgb =
                uint32_t(codes[c + 2]) << 16 | uint32_t(codes[c + 3]) << 8 | uint32_t(codes[c + 4]);
            (code == 38 ? pen.fg : pen.bg) = rgb;
            (code == 38 ? pen.fg_set : pen.bg_set) = true;
            c += 4;
          } else if ((code == 38 || code == 48) && c + 2 < codes.size() && codes[c + 1] == 5) {
            // A palette entry: told apart from every 24-bit colour by a bit above them.
            (code == 38 ? pen.fg : pen.bg) = PALETTE | uint32_t(codes[c + 2]);
            (code == 38 ? pen.fg_set : pen.bg_set) = true;
            c += 2;
          } else if (code == 0) {
            pen = Pen{};
          } else if (code == 39) {
            pen.fg_set = false;
          } else if (code == 49) {
            pen.bg_set = false;
          }
        }
        i = end + 1;
        continue;
      }
      const unsigned char lead = static_cast<unsigned char>(line[i]);
      const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      const std::string symbol = line.substr(i, length);
      i += length;
      if (symbol == " ")
        row.push_back({pen.bg_set, pen.bg});
      else if (symbol == "\u2588")
        row.push_back({pen.fg_set, pen.fg});
      else
        row.push_back({});
    }
  }
  return screen;
}

ShownCell at(const Screen& screen, int column, int row) {
  if (row >= int(screen.size()) || column >= int(screen[size_t(row)].size())) return {};
  return screen[size_t(row)][size_t(column)];
}

// How many cells of rows [top, bottom) and columns [left, right) show `rgb`.
int count(const Screen& screen, int left, int top, int right, int bottom, uint32_t rgb) {
  int n = 0;
  for (int row = top; row < bottom; ++row)
    for (int column = left; column < right; ++column) {
      const ShownCell cell = at(screen, column, row);
      n += cell.coloured && cell.rgb == rgb;
    }
  return n;
}

int coloured(const Screen& screen) {
  int n = 0;
  for (const auto& row : screen)
    for (const ShownCell& cell : row) n += cell.coloured && cell.rgb != 0;
  return n;
}

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
  bool shell_back() {
    return support::wait_until(
        [&] { return pane.screen().find("shell-is-42\n") != std::string::npos; }, 30);
  }
  std::string status() { return support::read_file(dir + "/status"); }
  bool modes_restored() {
    const std::string before = support::read_file(dir + "/modes-before");
    return !before.empty() && before == support::read_file(dir + "/modes-after");
  }

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
  for (int signal_number : {SIGTERM, SIGHUP}) {
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

TEST(ColourTerminal, TerminalsOfOneCellOrOfThousandsOrWithoutANamePlayAndEndOnAKey) {
  // The size the player reads is the kernel's, which `stty` sets whatever tmux shows; TERM
  // unset leaves chafa's database nothing to go by.
  const std::pair<std::string, std::string> cases[] = {
      {"stty rows 1 cols 1 &&", "--no-farewell"},
      {"stty rows 4096 cols 4096 &&", "--no-farewell --pixel-mode sixels"},
      {"stty rows 4096 cols 4096 &&", "--no-farewell"},
      {"stty rows 1 cols 1 &&", "--no-farewell --pixel-mode kitty"},
      {"unset TERM &&", "--no-farewell"},
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
