// The player against what it cannot do: outputs that fail, terminals that cannot show the
// picture, files that would block, and signals that come while it is busy.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>

#include "fixtures/process.h"
#include "support/pane_shell.h"
#include "support/show_harness.h"

namespace {

using support::Rgb;

// A show directory whose data file shows a grey still for `frames` frames.
struct GreyShow {
  explicit GreyShow(uint16_t frames) {
    auto grey = [](int x, int) { return Rgb{uint8_t(x), uint8_t(x), uint8_t(x)}; };
    dir.write("data/mote-tundra-2003.dat",
              support::still_show(support::make_png(160, 50, grey), frames));
  }
  // Runs `command` in the show's directory; returns its standard error.
  std::string run(const std::string& command, int& status) const {
    support::run_command("cd " + support::shell_quote(dir.path) + " && " + command + " 2>err",
                         &status);
    return support::read_file(dir.path + "/err");
  }
  support::TempDir dir;
};

// The player started from an interactive shell in a tmux pane: the shell keeps the terminal's
// modes before and after and the player's exit status, then says "shell-is-42".
struct PaneRun {
  PaneRun(const GreyShow& show, support::TmuxPane& pane, const std::string& command)
      : dir(show.dir.path), pane(pane) {
    pane.type("cd " + support::shell_quote(dir) + " && stty -g > modes-before; " + command +
              "; echo $? > status; stty -g > modes-after; echo shell-is-$((40 + 2))");
  }
  bool shell_back(double seconds = 30) { return support::shell_is_back(pane, seconds); }
  std::string status() { return support::read_file(dir + "/status"); }
  bool modes_restored() { return support::modes_restored(dir); }
  std::string dir;
  support::TmuxPane& pane;
};

TEST(PlayerOutput, AWriteThatFailsIsAnErrorWithStatusOne) {
  GreyShow show(200);
  const std::string cases[] = {
      TUNDRA_PLAYER " --display colour -nosync --no-farewell >/dev/full",
      TUNDRA_PLAYER " --display colour -nosync >/dev/full",
      "AAOPTS='-driver stdout' " TUNDRA_PLAYER " -nosync --no-farewell >/dev/full",
  };
  for (const std::string& command : cases) {
    SCOPED_TRACE(command);
    int status = -1;
    const std::string err = show.run("env -u TERM " + command + " </dev/null", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("No space left on device"), std::string::npos) << err;
  }
}

TEST(PlayerTerminal, ATerminalTypeThatCannotShowThePictureIsSaidWithStatus255) {
  const std::string cases[] = {
      "TERM=dumb " TUNDRA_PLAYER,
      "env -u TERM " TUNDRA_PLAYER,
      "TERM=no-such-terminal " TUNDRA_PLAYER,
      "TERM=dumb " TUNDRA_PLAYER " --display colour",
      "env -u TERM " TUNDRA_PLAYER " --display colour",
  };
  for (const std::string& command : cases) {
    SCOPED_TRACE(command);
    GreyShow show(3000);
    support::TmuxPane pane(80, 25);
    PaneRun run(show, pane, command + " --no-farewell 2>err");
    ASSERT_TRUE(run.shell_back()) << pane.screen();
    EXPECT_EQ(run.status(), "255\n");
    EXPECT_TRUE(run.modes_restored());
    const std::string err = support::read_file(show.dir.path + "/err");
    EXPECT_NE(err.find("terminal cannot show the picture"), std::string::npos) << err;
    EXPECT_NE(err.find("Set TERM"), std::string::npos) << err;
  }
  // A stream AAOPTS names needs no terminal type, keyboard or not.
  GreyShow show(40);
  support::TmuxPane pane(80, 25);
  PaneRun run(show, pane,
              "env -u TERM AAOPTS='-driver stdout' " TUNDRA_PLAYER " -nosync --no-farewell >out");
  ASSERT_TRUE(run.shell_back()) << pane.screen();
  EXPECT_EQ(run.status(), "0\n");
  const std::string out = support::read_file(show.dir.path + "/out");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\f'), 40);
}

// The frames AA-lib's stdout driver writes with AAOPTS's render options `options`.
std::vector<std::string> ascii_frames(const GreyShow& show, const std::string& options) {
  const std::string out = support::run_command(
      "cd " + support::shell_quote(show.dir.path) +
      " && env -u TERM -u DISPLAY AAOPTS='-driver stdout -width 80 -height 25 " + options +
      "' " TUNDRA_PLAYER " -nosync --no-farewell </dev/null 2>/dev/null");
  std::vector<std::string> frames;
  for (size_t at = out.find('\n') + 1, end; (end = out.find("\f\n", at)) != std::string::npos;
       at = end + 2)
    frames.push_back(out.substr(at, end - at));
  return frames;
}

TEST(AsciiRenderOptions, ThoseOfAaoptsTakeTheShowsPlaceAndTheFlashStaysOnTop) {
  GreyShow show(610);
  const std::vector<std::string> plain = ascii_frames(show, "");
  ASSERT_EQ(plain.size(), 610u);
  EXPECT_EQ(ascii_frames(show, "-bright 10 -contrast 94 -gamma 0.9 -floyd_steinberg -noinverse"),
            plain);
  for (const char* options :
       {"-bright 80", "-contrast 20", "-gamma 0.5", "-nodither", "-inverse", "-random 40"}) {
    SCOPED_TRACE(options);
    const std::vector<std::string> frames = ascii_frames(show, options);
    ASSERT_EQ(frames.size(), 610u);
    EXPECT_NE(frames[0], plain[0]);
    EXPECT_NE(frames[603], frames[590]) << "no flash";  // three frames into the first flash
  }
  // The renderer reads them too.
  int status = -1;
  support::run_command("cd " + support::shell_quote(show.dir.path) +
                           " && " TUNDRA_RENDER
                           " --frames 3 --ascii plain.txt && AAOPTS=-inverse " TUNDRA_RENDER
                           " --frames 3 --ascii inverse.txt",
                       &status);
  ASSERT_EQ(status, 0);
  EXPECT_NE(support::read_file(show.dir.path + "/plain.txt"),
            support::read_file(show.dir.path + "/inverse.txt"));
}

TEST(PlayerSignals, EndThePlayerWithinASecondWhileTheEffectsAreBeingMade) {
  // Ten frames of noise for a buffer of 4096 x 4096 take seconds to make at start-up.
  constexpr uint8_t NOISE = 6;
  support::TempDir dir;
  dir.write("slow.dat", support::DataFileBuilder()
                            .script(support::ScriptBuilder()
                                        .newbuf(0, 0, 0, 4096, 4096)
                                        .newfx(0, NOISE, 0)
                                        .start(0)
                                        .waitfor(100)
                                        .end())
                            .bytes);
  const std::string programs[] = {"env AAOPTS=-driver\\ stdout " TUNDRA_PLAYER
                                  " -nosync --no-farewell",
                                  TUNDRA_RENDER " --frames 2"};
  for (const std::string& program : programs) {
    SCOPED_TRACE(program);
    for (const char* file : {"/err", "/status", "/pid"}) std::remove((dir.path + file).c_str());
    support::ProcessGuard guard;
    guard.start("cd " + support::shell_quote(dir.path) +
                " && env -u TERM sh -c 'echo $$ > pid; exec " + program +
                " slow.dat >/dev/null 2>err'; echo $? > status");
    ASSERT_TRUE(support::wait_until(
        [&] {
          return support::read_file(dir.path + "/err").find("Initializing the FX") !=
                 std::string::npos;
        },
        20))
        << support::read_file(dir.path + "/err");
    const pid_t pid = static_cast<pid_t>(std::stol(support::read_file(dir.path + "/pid")));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_TRUE(
        support::wait_until([&] { return !support::read_file(dir.path + "/status").empty(); }, 3));
    EXPECT_EQ(support::read_file(dir.path + "/status"), "143\n");
  }
}

TEST(PlayerFiles, AFifoIsRefusedWithoutWaitingForAWriter) {
  GreyShow show(1);
  ASSERT_EQ(mkfifo((show.dir.path + "/ff").c_str(), 0600), 0);
  for (const char* program : {TUNDRA_PLAYER, TUNDRA_RENDER " --stats"}) {
    SCOPED_TRACE(program);
    int status = -1;
    const std::string err =
        show.run("timeout -k 1 5 " + std::string(program) + " ff </dev/null >/dev/null", status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(err.find("ff: it is not a regular file"), std::string::npos) << err;
  }
}

TEST(PlayerNames, ControlCharactersInNamesArePrintedEscaped) {
  GreyShow show(1);
  const std::string name = support::shell_quote("x\x1b[2J\ry");
  const std::string cases[] = {
      TUNDRA_PLAYER " " + name,
      TUNDRA_PLAYER " " + name + ".tds",
      TUNDRA_PLAYER " a.dat " + name,
      TUNDRA_PLAYER " --display " + name,
  };
  show.dir.write("x\x1b[2J\ry.tds", support::Bytes{'#', '\n'});
  for (const std::string& command : cases) {
    SCOPED_TRACE(command);
    int status = -1;
    const std::string said = support::run_command(
        "cd " + support::shell_quote(show.dir.path) + " && " + command + " </dev/null 2>&1",
        &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(said.find("x\\x1B[2J\\x0Dy"), std::string::npos) << said;
    EXPECT_EQ(said.find_first_of("\x1b\r"), std::string::npos) << said;
  }
}

TEST(PlayerHelp, SaysWhereItLooksForTheInstalledShowAndThatNoneIsThere) {
  // A program in a build tree: nothing was installed beside it.
  const std::string help = support::run_command(TUNDRA_PLAYER " --help");
  EXPECT_NE(help.find("(none there now)"), std::string::npos) << help;
}

}  // namespace
