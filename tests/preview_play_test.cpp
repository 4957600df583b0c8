// tundra-dat play as an author meets it: in a terminal (a tmux pane), on AA-lib's ASCII display
// and on the colour one, driven by keys and by saving the show's source, and left with the
// terminal as it was found.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "fixtures/process.h"
#include "fixtures/square_wave_module.h"
#include "sound/music.h"
#include "support/pane_shell.h"
#include "support/tool_harness.h"
#include "tools/preview/key_actions.h"
#include "tools/preview/play.h"
#include "tools/preview/play_options.h"

namespace {

using support::ShowDir;

// A wipe paints the whole picture in `colour` from frame 1 on; the script goes on at 20 s and at
// 40 s (frames 667 and 1333) and ends at a minute.
std::string long_show(const std::string& colour) {
  return "buffer 0 as screen at 0,0 size 160x50\n"
         "fx 0 as paint wipe on screen\n"
         "set paint right = 160\n"
         "set paint bottom = 50\n"
         "set paint increment = 160\n"
         "set paint colour = " +
         colour +
         "\n"
         "set paint direction = 1\n"
         "start paint\n"
         "at 20s\n"
         "at 40s\n"
         "at 60s\n"
         "end\n";
}

// Saved as editors save: a new file renamed over the old one.
void save(const ShowDir& show, const std::string& name, const std::string& text) {
  show.write(name + ".new", text);
  std::filesystem::rename(show.path(name + ".new"), show.path(name));
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

int lit_characters(const std::string& text) {
  return static_cast<int>(
      std::count_if(text.begin(), text.end(), [](char c) { return c != ' ' && c != '\n'; }));
}

// The preview in a pane, started from an interactive shell as an author starts it: the shell
// keeps the terminal's modes from before and after, and the exit status, and then says
// "shell-is-42".
// ALONE starts it as a job of its own, which the shell can stop and continue.
enum class Launch { IN_A_LIST, ALONE };

struct PanePreview {
  PanePreview(const ShowDir& show, int columns, int rows, const std::string& options = "",
              Launch launch = Launch::IN_A_LIST)
      : dir(show.dir.path), pane(columns, rows), rows(rows) {
    // A script of its own, so that the options may hold any quotes.
    show.write("launch", "echo $$ > pid; exec " TUNDRA_DAT " play show.tds " + options + "\n");
    const std::string preview = "sh launch";
    const std::string cd = "cd " + support::shell_quote(dir) + " && stty -g > modes-before";
    if (launch == Launch::ALONE) {
      pane.type(cd);
      pane.type(preview);
      return;
    }
    pane.type(cd + " && " + preview +
              "; echo $? > status; stty -g > modes-after; echo shell-is-$((40 + 2))");
  }

  std::vector<std::string> screen() {
    std::vector<std::string> lines = lines_of(pane.screen());
    lines.resize(size_t(rows));
    return lines;
  }
  std::string status_line() { return screen().back(); }
  // The picture's rows: all but the status line.
  int lit_picture() {
    std::vector<std::string> lines = screen();
    int lit = 0;
    for (size_t row = 0; row + 1 < lines.size(); ++row) lit += lit_characters(lines[row]);
    return lit;
  }
  // The frame the status line shows, or -1 while it shows none.
  long frame() {
    static const std::regex number(R"(^ *([0-9]+)  [0-9]+:[0-9]{2}\.[0-9]{2}  )");
    std::smatch found;
    const std::string line = status_line();
    return std::regex_search(line, found, number) ? std::stol(found[1]) : -1;
  }
  bool status_has(const std::string& text, double seconds = 10) {
    return support::wait_until([&] { return status_line().find(text) != std::string::npos; },
                               seconds);
  }
  // Waits for the frame to satisfy `good`; returns the last frame read.
  long frame_when(const std::function<bool(long)>& good, double seconds = 10) {
    long last = -1;
    support::wait_until(
        [&] {
          last = frame();
          return good(last);
        },
        seconds);
    return last;
  }
  bool shell_back() { return support::shell_is_back(pane, 20); }
  std::string status() { return support::read_file(dir + "/status"); }
  bool modes_restored() { return support::modes_restored(dir); }
  // The main screen back, with its cursor showing.
  bool screen_given_back() {
    return support::run_command("tmux -L " + pane.server +
                                " display-message -p '#{alternate_on}#{cursor_flag}'") == "01\n";
  }
  pid_t pid() { return static_cast<pid_t>(std::stol(support::read_file(dir + "/pid"))); }

  std::string dir;
  support::TmuxPane pane;
  int rows;
};

TEST(PreviewInTerminal, KeysSeekAndPauseSavesReloadAndQKeepsTheTerminal) {
  ShowDir show;
  show.write("show.tds", long_show("0x0000"));
  PanePreview preview(show, 80, 25);

  // Playing: the frame counts up under a black picture, the script at its wait.
  ASSERT_TRUE(preview.status_has("playing")) << preview.pane.screen();
  const long early = preview.frame_when([](long frame) { return frame >= 10; });
  ASSERT_GE(early, 10) << preview.status_line();
  EXPECT_GT(preview.frame_when([&](long frame) { return frame > early; }), early);
  EXPECT_NE(preview.status_line().find("show.tds:9"), std::string::npos)
      << preview.status_line();  // at 20s
  EXPECT_NE(preview.status_line().find("reload 1: ok"), std::string::npos);
  EXPECT_EQ(preview.lit_picture(), 0) << preview.pane.screen();

  // Space: paused, and the frame stays where it stopped.
  preview.pane.key("Space");
  ASSERT_TRUE(preview.status_has("paused")) << preview.status_line();
  const long paused = preview.frame();
  support::wait_until([] { return false; }, 0.5);
  EXPECT_EQ(preview.frame(), paused);

  // '.' one frame on; Right one second (33 or 34 frames); PageDown the next wait point.
  preview.pane.key(".");
  EXPECT_EQ(preview.frame_when([&](long frame) { return frame != paused; }), paused + 1);
  preview.pane.key("Right");
  const long second = preview.frame_when([&](long frame) { return frame != paused + 1; });
  EXPECT_TRUE(second == paused + 34 || second == paused + 35) << second;
  preview.pane.key("PageDown");
  EXPECT_EQ(preview.frame_when([&](long frame) { return frame != second; }), 667);
  EXPECT_NE(preview.status_line().find("show.tds:10"), std::string::npos)
      << preview.status_line();  // at 40s

  // A saved colour shows with no key pressed, at the same frame, still paused.
  save(show, "show.tds", long_show("0x00FF"));
  ASSERT_TRUE(support::wait_until([&] { return preview.lit_picture() > 1500; }, 10))
      << preview.pane.screen();
  // The picture is presented before the status line that goes with it.
  ASSERT_TRUE(preview.status_has("reload 2: ok")) << preview.status_line();
  EXPECT_EQ(preview.frame(), 667);
  EXPECT_NE(preview.status_line().find("paused"), std::string::npos);

  // A broken save: its file:line:column in the status line, and the old show plays on.
  preview.pane.key("Space");
  std::string broken = long_show("0x0000");
  broken.replace(broken.find("fx 0"), 2, "fxx");
  save(show, "show.tds", broken);
  ASSERT_TRUE(preview.status_has("reload 3 failed: show.tds:2:1: error: unknown"))
      << preview.status_line();
  const long failed_at = preview.frame();
  EXPECT_GT(preview.frame_when([&](long frame) { return frame > failed_at + 5; }), failed_at + 5);
  EXPECT_NE(preview.status_line().find("playing"), std::string::npos);
  EXPECT_GT(preview.lit_picture(), 1500);

  // The line fixed, the new show plays.
  save(show, "show.tds", long_show("0x0000"));
  ASSERT_TRUE(preview.status_has("reload 4: ok")) << preview.status_line();
  EXPECT_TRUE(support::wait_until([&] { return preview.lit_picture() == 0; }, 5));

  // '?' lists the keys above the status line, and any key puts them away.
  preview.pane.key("?");
  ASSERT_TRUE(support::wait_until(
      [&] { return preview.pane.screen().find("one second back") != std::string::npos; }, 5))
      << preview.pane.screen();
  preview.pane.key("?");
  EXPECT_TRUE(support::wait_until(
      [&] { return preview.pane.screen().find("one second back") == std::string::npos; }, 5));

  preview.pane.key("q");
  ASSERT_TRUE(preview.shell_back()) << preview.pane.screen();
  EXPECT_EQ(preview.status(), "0\n");
  EXPECT_TRUE(preview.modes_restored());
}

TEST(PreviewInTerminal, TheColourDisplayShowsTheStatusLineUnderThePictureAndEscQuits) {
  ShowDir show;
  show.write("show.tds", long_show("0xFFFF"));
  PanePreview preview(show, 80, 25, "--display colour --at 0:30");
  ASSERT_TRUE(preview.status_has("playing")) << preview.pane.screen();
  EXPECT_GE(preview.frame(), 1000);  // 0:30 is frame 1000
  EXPECT_NE(preview.status_line().find("show.tds:10"), std::string::npos)
      << preview.status_line();  // at 40s
  preview.pane.key("Escape");
  ASSERT_TRUE(preview.shell_back()) << preview.pane.screen();
  EXPECT_EQ(preview.status(), "0\n");
  EXPECT_TRUE(preview.modes_restored());
}

TEST(PreviewInTerminal, ATerminalSmallerThanThePictureStillFitsAndSigtermEndsWithItRestored) {
  ShowDir show;
  show.write("show.tds", long_show("0x00FF"));
  PanePreview preview(show, 40, 12);
  ASSERT_TRUE(preview.status_has("playing")) << preview.pane.screen();
  // The picture's first and last rows both show it, above the status line.
  EXPECT_TRUE(support::wait_until(
      [&] {
        std::vector<std::string> screen = preview.screen();
        return lit_characters(screen[0]) >= 30 && lit_characters(screen[10]) >= 30;
      },
      10))
      << preview.pane.screen();
  EXPECT_LE(preview.status_line().size(), 40u);
  ASSERT_EQ(kill(preview.pid(), SIGTERM), 0);
  ASSERT_TRUE(preview.shell_back()) << preview.pane.screen();
  EXPECT_EQ(preview.status(), std::to_string(128 + SIGTERM) + "\n");
  EXPECT_TRUE(preview.modes_restored());
}

TEST(PreviewInTerminal, AClosedTerminalEndsIt) {
  ShowDir show;
  show.write("show.tds", long_show("0x00FF"));
  PanePreview preview(show, 80, 25);
  ASSERT_TRUE(preview.status_has("playing")) << preview.pane.screen();
  const pid_t pid = preview.pid();
  support::run_command("tmux -L " + preview.pane.server + " kill-session");
  // The bound is generous: a preview that misses the hang-up never ends.
  EXPECT_TRUE(support::wait_until([&] { return !support::process_alive(pid, "tundra-dat"); }, 5));
}

TEST(PreviewInTerminal, CtrlZGivesTheTerminalBackAndFgTakesItAgain) {
  ShowDir show;
  show.write("show.tds", long_show("0x00FF"));
  PanePreview preview(show, 80, 25, "", Launch::ALONE);
  ASSERT_TRUE(preview.status_has("playing")) << preview.pane.screen();

  preview.pane.key("C-z");
  ASSERT_TRUE(support::wait_until(  // before the shell is typed to, not the preview
      [&] { return preview.pane.screen().find("Stopped") != std::string::npos; }, 10));
  preview.pane.type("stty -g > modes-after; echo shell-is-$((40 + 2))");
  ASSERT_TRUE(preview.shell_back()) << preview.pane.screen();
  EXPECT_TRUE(preview.modes_restored());
  EXPECT_TRUE(preview.screen_given_back());

  // Continued, it takes keys again: q ends it.
  preview.pane.type("fg; echo status-$?-$((1 + 1))");
  ASSERT_TRUE(preview.status_has("playing")) << preview.pane.screen();
  preview.pane.key("q");
  EXPECT_TRUE(support::wait_until(
      [&] { return preview.pane.screen().find("status-0-2") != std::string::npos; }, 10))
      << preview.pane.screen();
}

// Frames that take long to make (a crowd of blobs; tens of milliseconds each): a seek to its
// point at 30 s takes far longer than any test waits.
constexpr const char* SLOW_SHOW =
    "buffer 0 as screen at 0,0 size 160x50\n"
    "fx 0 as crowd blobs on screen\n"
    "set crowd count = 65535\n"
    "start crowd\n"
    "at 30s\n"
    "at 60s\n"
    "end\n";

TEST(PreviewInTerminal, ASaveWhileAReloadReplaysAfterARebuildIsReloadedToo) {
#ifdef __SANITIZE_ADDRESS__
  // Its slow frames take over a second each under AddressSanitizer: the seek to 3 s alone would
  // outlast the test. The optimised build runs it.
  GTEST_SKIP() << "too slow under AddressSanitizer";
#endif
  ShowDir show;
  show.write("show.tds", SLOW_SHOW);
  PanePreview preview(show, 80, 25, "--at 3s --rebuild 'touch rebuilt'");
  ASSERT_TRUE(preview.status_has("playing", 30)) << preview.pane.screen();
  preview.pane.key("Space");
  ASSERT_TRUE(preview.status_has("paused")) << preview.status_line();
  // r rebuilds, then replays the hundred slow frames before the one showing: seconds.
  std::filesystem::remove(show.path("rebuilt"));
  preview.pane.key("r");
  ASSERT_TRUE(
      support::wait_until([&] { return std::filesystem::exists(show.path("rebuilt")); }, 10));
  support::wait_until([] { return false; }, 0.5);  // into the replay
  save(show, "show.tds", std::string(SLOW_SHOW) + "# saved\n");
  EXPECT_TRUE(preview.status_has("reload 3: ok", 30)) << preview.status_line();
  preview.pane.key("q");
  ASSERT_TRUE(preview.shell_back()) << preview.pane.screen();
}

// Each way out, at rest or in the middle of long work (the bound below is generous: without a
// way out the work goes on for a minute), gives the terminal back as it was found.
TEST(PreviewInTerminal, QuitSignalsAndQEndItWhereverItIsWithTheTerminalGivenBack) {
  const std::string rebuild = "--rebuild 'test -e started && sleep 60; touch started'";
  struct Case {
    int signal_number;  // or 0 for the key q
    std::string show, options;
    const char* key;  // typed first: Space sleeps between keys, PageDown and r work long
  };
  for (const Case& sent :
       {Case{SIGINT, long_show("0x00FF"), "--display colour", ""},
        Case{SIGHUP, long_show("0x00FF"), "--display colour", ""},
        Case{SIGTERM, long_show("0x00FF"), "", "Space"}, Case{SIGQUIT, long_show("0x00FF"), "", ""},
        Case{SIGTERM, SLOW_SHOW, "", "PageDown"}, Case{0, SLOW_SHOW, "", "PageDown"},
        Case{SIGINT, long_show("0x00FF"), rebuild, "r"}}) {
    SCOPED_TRACE(std::to_string(sent.signal_number) + " after " + sent.key);
    ShowDir show;
    show.write("show.tds", sent.show);
    PanePreview preview(show, 80, 25, sent.options);
    ASSERT_TRUE(preview.status_has("playing")) << preview.pane.screen();
    if (*sent.key != '\0') preview.pane.key(sent.key);
    support::wait_until([] { return false; }, 1);
    if (sent.signal_number != 0)
      ASSERT_EQ(kill(preview.pid(), sent.signal_number), 0);
    else
      preview.pane.key("q");
    ASSERT_TRUE(support::shell_is_back(preview.pane, 10)) << preview.pane.screen();
    EXPECT_EQ(preview.status(),
              std::to_string(sent.signal_number ? 128 + sent.signal_number : 0) + "\n");
    EXPECT_TRUE(preview.modes_restored());
    EXPECT_TRUE(preview.screen_given_back());
  }
}

TEST(PreviewInTerminal, APausedPictureIsDrawnAgainAtTheNewSizeOfAResizedTerminal) {
  ShowDir show;
  show.write("show.tds", long_show("0x00FF"));
  PanePreview preview(show, 80, 25);
  // Paused once the wipe has painted the picture (from frame 1 on).
  ASSERT_GE(preview.frame_when([](long frame) { return frame >= 5; }), 5) << preview.pane.screen();
  preview.pane.key("Space");
  ASSERT_TRUE(preview.status_has("paused")) << preview.status_line();
  const long paused = preview.frame();

  preview.pane.resize(100, 30);
  preview.rows = 30;
  // Larger: the whole picture in the top-left 80 x 25 characters, whole pixels to a character;
  // the status line on the new bottom row, at the frame that was paused.
  ASSERT_TRUE(preview.status_has("paused")) << preview.pane.screen();
  EXPECT_EQ(preview.frame(), paused);
  std::vector<std::string> screen;
  EXPECT_TRUE(support::wait_until(
      [&] {
        screen = preview.screen();
        return lit_characters(screen[0]) >= 78 && lit_characters(screen[24]) >= 78;
      },
      10))
      << preview.pane.screen();
  for (int row = 25; row < 29; ++row) EXPECT_EQ(lit_characters(screen[size_t(row)]), 0) << row;
  preview.pane.key("q");
  ASSERT_TRUE(preview.shell_back()) << preview.pane.screen();
  EXPECT_EQ(preview.status(), "0\n");
}

// ---- The command line ----

support::ToolRun play(const std::string& dir, const std::string& arguments) {
  support::ToolRun run;
  const std::string err = dir + "/err.txt";
  // The timeout ends a preview that would wait for keys that cannot come.
  run.out = support::run_command("cd " + support::shell_quote(dir) +
                                     " && timeout -s KILL 20 " TUNDRA_DAT " play " + arguments +
                                     " 2>" + support::shell_quote(err) + " </dev/null",
                                 &run.status);
  run.err = support::read_file(err);
  return run;
}

// The stretches of sound between SDL's buffers of silence (1,024 stereo samples each, written
// while the device is paused) in what the disk driver recorded.
std::vector<std::vector<int16_t>> sounded(const std::string& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  std::vector<std::vector<int16_t>> stretches(1);
  for (size_t at = 0; at + 2048 <= samples.size(); at += 2048) {
    const auto begin = samples.begin() + long(at), end = begin + 2048;
    if (std::any_of(begin, end, [](int16_t sample) { return sample != 0; }))
      stretches.back().insert(stretches.back().end(), begin, end);
    else if (!stretches.back().empty())
      stretches.emplace_back();
  }
  if (stretches.back().empty()) stretches.pop_back();
  return stretches;
}

TEST(PreviewInTerminal, TheMusicPlaysWithThePictureStopsWithItsPauseAndFollowsASeek) {
  ShowDir show;
  show.dir.write("tune.mod", support::square_wave_module());  // 64 frames
  show.write("show.tds", "music \"tune.mod\"\nwait 1000\nend\n");
  setenv("SDL_AUDIODRIVER", "disk", 1);  // the pane's tmux server starts with this environment
  setenv("SDL_DISKAUDIOFILE", show.path("sound.raw").c_str(), 1);
  PanePreview preview(show, 80, 25);
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");

  ASSERT_GE(preview.frame_when([](long frame) { return frame >= 30; }), 30);
  preview.pane.key("Space");
  ASSERT_TRUE(preview.status_has("paused"));
  const long paused_at = preview.frame();
  // Long enough for the device to write a few buffers of silence, which mark the pause in what
  // it recorded (a pause shorter than one buffer leaves no mark).
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  preview.pane.key("Home");
  ASSERT_EQ(preview.frame_when([](long frame) { return frame == 0; }), 0);
  preview.pane.key("Space");
  ASSERT_GE(preview.frame_when([](long frame) { return frame >= 20; }), 20);
  preview.pane.key("q");
  ASSERT_TRUE(preview.shell_back());

  // The music up to the pause, where the picture paused; then from its start again.
  const auto stretches = sounded(support::read_file(show.path("sound.raw")));
  ASSERT_EQ(stretches.size(), 2u);
  // The sound runs a buffer (0.8 frame) ahead of the frame shown, and the device may fill one
  // or two more before the pause reaches it on a loaded machine.
  const double sounded_frames = double(stretches[0].size()) / 2 / 1323;
  EXPECT_GE(sounded_frames, double(paused_at));
  EXPECT_LE(sounded_frames, double(paused_at) + 4);
  for (const std::vector<int16_t>& stretch : stretches) {
    auto music = sound::open_music(support::square_wave_module()).music;
    std::vector<int16_t> decoded;
    for (sound::PcmFrame frame; decoded.size() < stretch.size();) {
      music->render(frame);
      decoded.insert(decoded.end(), frame.begin(), frame.end());
    }
    decoded.resize(stretch.size());
    EXPECT_TRUE(decoded == stretch);
  }
}

TEST(PreviewCommandLine, ASourceThatDoesNotCompileAtTheStartIsNamedWithItsLine) {
  ShowDir show;
  show.write("show.tds", "include \"loop.tds\"\n");
  show.write("loop.tds", "include \"show.tds\"\n");
  support::ToolRun loop = play(show.dir.path, "show.tds");
  EXPECT_EQ(loop.status, 1);
  EXPECT_NE(loop.err.find("loop.tds:1:"), std::string::npos) << loop.err;
  EXPECT_NE(loop.err.find("include"), std::string::npos) << loop.err;

  support::ToolRun missing = play(show.dir.path, "nowhere.tds");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("nowhere.tds"), std::string::npos) << missing.err;

  // Without a terminal to read keys from nothing could end it but a signal.
  show.write("fine.tds", long_show("0x00FF"));
  support::ToolRun no_keys = play(show.dir.path, "fine.tds");
  EXPECT_EQ(no_keys.status, 255);
  EXPECT_NE(no_keys.err.find("standard input is not a terminal"), std::string::npos) << no_keys.err;

  EXPECT_EQ(play(show.dir.path, "").status, 2);
  EXPECT_EQ(play(show.dir.path, "show.tds --display nothing").status, 2);
  EXPECT_EQ(play(show.dir.path, "show.tds --at soon").status, 2);
}

TEST(PreviewCommandLine, HelpNamesEveryOptionAndEveryKey) {
  ShowDir show;
  support::ToolRun help = play(show.dir.path, "--help");
  EXPECT_EQ(help.status, 0);
  for (const engine::OptionText& option : engine::option_texts(preview::play_options))
    EXPECT_NE(help.out.find("  " + std::string(option.name) + " "), std::string::npos)
        << option.name;
  for (const preview::KeyAction& action : preview::key_actions)
    EXPECT_NE(help.out.find("  " + std::string(action.keys) + "  "), std::string::npos)
        << action.keys;
  // tundra-dat's own help lists the command and its options.
  support::ToolRun dat;
  dat.out = support::run_command(TUNDRA_DAT " --help", &dat.status);
  EXPECT_NE(dat.out.find("  play SHOW.tds [--display NAME]"), std::string::npos) << dat.out;
}

TEST(PreviewKeys, EveryKeyOfTheTableCanBeTypedOnATerminal) {
  // What a terminal sends for each key reaches the key's action.
  const std::pair<const char*, preview::Key> typed[] = {
      {" ", preview::Key::SPACE},
      {"\x1b[D", preview::Key::LEFT},
      {"\x1b[C", preview::Key::RIGHT},
      {"\x1bOB", preview::Key::DOWN},
      {"\x1b[A", preview::Key::UP},
      {"\x1b[5~", preview::Key::PAGE_UP},
      {"\x1b[6~", preview::Key::PAGE_DOWN},
      {",", preview::Key::COMMA},
      {".", preview::Key::PERIOD},
      {"\x1b[H", preview::Key::HOME},
      {"r", preview::Key::R},
      {"q", preview::Key::Q},
      {"?", preview::Key::QUESTION_MARK},
  };
  for (const auto& [bytes, expected] : typed) {
    display::KeyDecoder decoder;
    std::vector<display::Key> keys;
    decoder.feed(bytes, keys);
    ASSERT_EQ(keys.size(), 1u) << bytes;
    EXPECT_EQ(preview::preview_key(keys[0]), expected) << bytes;
  }
  display::KeyDecoder decoder;
  std::vector<display::Key> keys;
  decoder.feed("\x1b", keys);
  decoder.flush(keys);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(preview::preview_key(keys[0]), preview::Key::ESCAPE);
  EXPECT_EQ(preview::preview_key(display::Key::of(U'x')), std::nullopt);
}

}  // namespace
