// The preview's session: a show source compiled in memory, played, sought by replaying it and
// reloaded after edits, on a recording display; and the shipped show sought frame by frame
// against what tundra-render writes for the same frames.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "display/flash.h"
#include "display/recording_display.h"
#include "fixtures/process.h"
#include "support/tool_harness.h"
#include "tools/preview/key_actions.h"
#include "tools/preview/rebuild.h"
#include "tools/preview/session.h"
#include "tools/preview/status_line.h"
#include "tools/render/render_display.h"

namespace {

using preview::PlayState;
using preview::ReloadOutcome;
using preview::Session;
using preview::SessionOptions;
using support::ShowDir;

// The options of a session on `source` alone.
SessionOptions playing(const std::string& source) {
  SessionOptions options;
  options.source = source;
  return options;
}

// A session on a recording display, as the terminal preview holds one on its own display.
struct Preview {
  explicit Preview(SessionOptions options) : session(std::move(options)) {
    display = display::recording_display(recording)();
    session.attach(display.get());
  }
  uint16_t pixel(int x, int y) const { return recording->picture.at(x, y); }
  int presents() const {
    return static_cast<int>(
        std::count(recording->calls.begin(), recording->calls.end(), "present"));
  }

  std::shared_ptr<display::Recording> recording = std::make_shared<display::Recording>();
  Session session;
  std::unique_ptr<engine::DisplayDriver> display;
};

// A wipe that paints the whole picture in one colour from frame 1 on; END at frame 67 (2 s).
std::string painted_show(const char* colour) {
  return std::string(
             "buffer 0 as screen at 0,0 size 160x50\n"
             "fx 0 as paint wipe on screen\n"
             "set paint right = 160\n"
             "set paint bottom = 50\n"
             "set paint increment = 160\n"
             "set paint colour = ") +
         colour +
         "\n"
         "set paint direction = 1\n"
         "start paint\n"
         "at 2s\n"
         "end\n";
}

// The error as the status line shows it, without the temporary directory.
std::string error_of(const ShowDir& show, const Session& session) {
  std::string text = session.outcome().error;
  const std::string prefix = show.dir.path + "/";
  for (size_t at; (at = text.find(prefix)) != std::string::npos;) text.erase(at, prefix.size());
  return text;
}

TEST(PreviewSession, AnEditedColourShowsAtTheSameFrameAndTheShowStaysPaused) {
  ShowDir show;
  show.write("show.tds", painted_show("0x001F"));
  Preview preview(playing(show.path("show.tds")));
  ASSERT_TRUE(preview.session.open(20, preview::Start::PAUSED)) << preview.session.outcome().error;
  EXPECT_EQ(preview.session.frame(), 20u);
  EXPECT_EQ(preview.pixel(80, 25), 0x001F);
  EXPECT_EQ(preview.session.last_frame(), 66u);  // END runs at the start of frame 67

  show.write("show.tds", painted_show("0xF800"));
  ASSERT_TRUE(preview.session.reload());
  EXPECT_EQ(preview.session.outcome().kind, ReloadOutcome::Kind::LOADED);
  EXPECT_EQ(preview.session.outcome().count, 2);
  EXPECT_EQ(preview.session.frame(), 20u);
  EXPECT_EQ(preview.session.state(), PlayState::PAUSED);
  EXPECT_EQ(preview.pixel(80, 25), 0xF800);
  EXPECT_EQ(preview.pixel(159, 49), 0xF800);
  preview.session.tick();  // paused: nothing moves
  EXPECT_EQ(preview.session.frame(), 20u);
}

TEST(PreviewSession, ABrokenLineKeepsTheOldShowPlayingAndTheFixedLinePlaysAgain) {
  ShowDir show;
  show.write("show.tds", painted_show("0x001F"));
  Preview preview(playing(show.path("show.tds")));
  ASSERT_TRUE(preview.session.open(10));
  std::string broken = painted_show("0xF800");
  broken.replace(broken.find("fx 0"), 2, "fxx");
  show.write("show.tds", broken);

  EXPECT_FALSE(preview.session.reload());
  EXPECT_EQ(preview.session.outcome().kind, ReloadOutcome::Kind::KEPT);
  EXPECT_EQ(error_of(show, preview.session),
            "show.tds:2:1: error: unknown statement 'fxx'; did you mean 'fx'?");
  EXPECT_EQ(preview.session.frame(), 10u);
  EXPECT_EQ(preview.pixel(80, 25), 0x001F);
  preview.session.tick();
  preview.session.tick();
  EXPECT_EQ(preview.session.frame(), 12u);  // the old show plays on
  EXPECT_EQ(preview.pixel(80, 25), 0x001F);
  EXPECT_EQ(preview.session.state(), PlayState::PLAYING);

  show.write("show.tds", painted_show("0xF800"));
  ASSERT_TRUE(preview.session.reload());
  EXPECT_EQ(preview.session.frame(), 12u);
  EXPECT_EQ(preview.pixel(80, 25), 0xF800);
  preview.session.tick();
  EXPECT_EQ(preview.session.frame(), 13u);
}

TEST(PreviewSession, AShowThatCannotBeReadIsNamedWithWhereItFails) {
  ShowDir show;
  Session missing(playing(show.path("nope.tds")));
  EXPECT_FALSE(missing.open());
  EXPECT_FALSE(missing.has_show());
  EXPECT_EQ(error_of(show, missing),
            "nope.tds: error: cannot read the show: No such file or directory");
  missing.tick();  // nothing to play, and nothing breaks
  missing.seek(10);
  EXPECT_EQ(missing.frame(), 0u);
  EXPECT_EQ(missing.location(), "");

  show.write("a.tds", "include \"b.tds\"\nend\n");
  show.write("b.tds", "buffer 0 at 0,0 size 160x50\ninclude \"a.tds\"\n");
  Session loop(playing(show.path("a.tds")));
  EXPECT_FALSE(loop.open());
  EXPECT_EQ(error_of(show, loop),
            "b.tds:2:9: error: 'a.tds' is already being read: a show cannot include itself");
  // Both files are watched, so that the fix of either brings the show.
  EXPECT_EQ(loop.watched_files(),
            (std::vector<std::string>{show.path("a.tds"), show.path("b.tds")}));

  show.write("b.tds", "buffer 0 at 0,0 size 160x50\n");
  EXPECT_TRUE(loop.reload());
  EXPECT_TRUE(loop.has_show());
}

TEST(PreviewSession, APictureDeletedWhilePlayingKeepsTheOldShowUntilItIsBack) {
  ShowDir show;
  show.dir.write("pic.png", support::make_png(160, 50, support::Rgb{255, 255, 255}));
  show.write("show.tds",
             "image pic \"pic.png\"\n"
             "buffer 0 at 0,0 size 160x50\n"
             "fx 0 as still still on 0\n"
             "set still image = pic\n"
             "start still\n"
             "at 100\n"
             "end\n");
  Preview preview(playing(show.path("show.tds")));
  ASSERT_TRUE(preview.session.open(30));
  EXPECT_EQ(preview.pixel(0, 0), 0xFFFF);
  std::filesystem::remove(show.path("pic.png"));

  EXPECT_FALSE(preview.session.reload(std::vector<std::string>{show.path("pic.png")}));
  EXPECT_EQ(error_of(show, preview.session),
            "show.tds:1:11: error: cannot read 'pic.png': No such file or directory");
  EXPECT_EQ(preview.session.frame(), 30u);
  preview.session.tick();
  EXPECT_EQ(preview.session.frame(), 31u);
  EXPECT_EQ(preview.pixel(0, 0), 0xFFFF);
  // The missing picture stays among the files to watch: its return is the fix.
  const std::vector<std::string> watched = preview.session.watched_files();
  EXPECT_NE(std::find(watched.begin(), watched.end(), show.path("pic.png")), watched.end());

  show.dir.write("pic.png", support::make_png(160, 50, support::Rgb{0, 0, 255}));
  EXPECT_TRUE(preview.session.reload(std::vector<std::string>{show.path("pic.png")}));
  EXPECT_EQ(preview.pixel(0, 0), 0x001F);
  EXPECT_EQ(preview.session.frame(), 31u);
}

// Waits of every kind, one going back in time; END at frame 50.
const char* const WAITS_SHOW =
    "buffer 0 at 0,0 size 160x50\n"  // line 1
    "fx 0 cycle on 0\n"
    "start 0\n"
    "wait 10\n"  // line 4: goes on at frame 10
    "stop 0\n"
    "at 1s\n"  // line 6: frame 33
    "start 0\n"
    "wait 0\n"   // line 8: the next frame, 34
    "at 20\n"    // line 9: already past, so 35
    "wait 15\n"  // line 10: 50
    "end\n";     // line 11

TEST(PreviewSession, AtAndWaitPointsAreTheFramesInWhichTheEngineGoesOn) {
  ShowDir show;
  show.write("show.tds", WAITS_SHOW);
  Preview preview(playing(show.path("show.tds")));
  ASSERT_TRUE(preview.session.open(0, preview::Start::PAUSED));
  EXPECT_EQ(preview.session.points(), (std::vector<uint32_t>{10, 33, 34, 35, 50}));
  EXPECT_EQ(preview.session.outcome().warnings, 1);  // the at that goes back in time

  // The engine itself: the frames whose run of the script moves past a wait.
  engine::Show engine_show(support::load_bytes(preview.session.built()->data_file));
  engine_show.start();
  std::vector<uint32_t> went_on;
  for (uint32_t frame = 0; !engine_show.ended(); ++frame) {
    const uint32_t before = engine_show.engine().script.position;
    engine_show.step();
    if (engine_show.engine().script.position != before) went_on.push_back(frame);
  }
  EXPECT_EQ(went_on, preview.session.points());

  preview.session.next_point();
  EXPECT_EQ(preview.session.frame(), 10u);
  preview.session.next_point();
  EXPECT_EQ(preview.session.frame(), 33u);
  preview.session.seek(40);
  preview.session.previous_point();
  EXPECT_EQ(preview.session.frame(), 35u);
  preview.session.next_point();  // 50 is END's frame: the last frame is held, and the show ends
  EXPECT_EQ(preview.session.frame(), 49u);
  EXPECT_EQ(preview.session.state(), PlayState::ENDED);
  preview.session.previous_point();
  EXPECT_EQ(preview.session.frame(), 35u);
  preview.session.seek(5);
  preview.session.previous_point();
  EXPECT_EQ(preview.session.frame(), 0u);
}

TEST(PreviewSession, TheLocationIsTheStatementTheScriptLastRan) {
  ShowDir show;
  show.write("show.tds", WAITS_SHOW);
  Preview preview(playing(show.path("show.tds")));
  ASSERT_TRUE(preview.session.open(0, preview::Start::PAUSED));
  const std::string file = show.path("show.tds");
  EXPECT_EQ(preview.session.location(), file + ":4");  // waiting in "wait 10"
  preview.session.seek(9);
  EXPECT_EQ(preview.session.location(), file + ":4");
  preview.session.seek(10);
  EXPECT_EQ(preview.session.location(), file + ":6");
  preview.session.seek(34);
  EXPECT_EQ(preview.session.location(), file + ":9");
  preview.session.seek(45);
  EXPECT_EQ(preview.session.location(), file + ":10");
  preview.session.seek(1000);
  EXPECT_EQ(preview.session.location(), file + ":11");  // the end
}

TEST(PreviewSession, TheEndHoldsTheLastFrameWithoutAFarewellAndSpacePlaysAgain) {
  ShowDir show;
  show.write("show.tds", WAITS_SHOW);
  Preview preview(playing(show.path("show.tds")));
  ASSERT_TRUE(preview.session.open(47));
  preview.session.tick();
  preview.session.tick();
  EXPECT_EQ(preview.session.frame(), 49u);
  EXPECT_EQ(preview.session.state(), PlayState::PLAYING);
  const int presents = preview.presents();
  preview.session.tick();
  preview.session.tick();
  EXPECT_EQ(preview.session.frame(), 49u);
  EXPECT_EQ(preview.session.state(), PlayState::ENDED);
  EXPECT_EQ(preview.presents(), presents);  // the last frame stays on the display
  EXPECT_EQ(preview.session.location(), show.path("show.tds") + ":11");

  preview.session.step_back();  // a frame back from the end pauses there
  EXPECT_EQ(preview.session.frame(), 48u);
  EXPECT_EQ(preview.session.state(), PlayState::PAUSED);
  preview.session.seek(49);
  preview.session.step_forward();  // past the last frame: the end again
  EXPECT_EQ(preview.session.frame(), 49u);
  EXPECT_EQ(preview.session.state(), PlayState::ENDED);
  preview.session.toggle_pause();
  EXPECT_EQ(preview.session.frame(), 0u);
  EXPECT_EQ(preview.session.state(), PlayState::PLAYING);
}

TEST(PreviewSession, KeysSeekBySecondsThatAddUpAndStepFramesOnlyWhilePaused) {
  ShowDir show;
  show.write("show.tds", "buffer 0 at 0,0 size 160x50\nfx 0 cycle on 0\nstart 0\nat 20s\nend\n");
  Preview preview(playing(show.path("show.tds")));
  ASSERT_TRUE(preview.session.open(0, preview::Start::PAUSED));
  Session& session = preview.session;
  using preview::Command;
  using preview::Key;
  auto press = [&](Key key) {
    EXPECT_EQ(preview::press(session, key), Command::NONE);
    return session.frame();
  };
  // One second is 33 1/3 frames: three seconds are 100 frames, not 99.
  EXPECT_EQ(press(Key::RIGHT), 33u);
  EXPECT_EQ(press(Key::RIGHT), 67u);
  EXPECT_EQ(press(Key::RIGHT), 100u);
  EXPECT_EQ(press(Key::LEFT), 67u);
  EXPECT_EQ(press(Key::UP), 400u);  // 2 s + 10 s
  EXPECT_EQ(press(Key::DOWN), 67u);
  EXPECT_EQ(press(Key::DOWN), 0u);  // not before the start
  EXPECT_EQ(press(Key::PERIOD), 1u);
  EXPECT_EQ(press(Key::PERIOD), 2u);
  EXPECT_EQ(press(Key::COMMA), 1u);
  session.seek(5);
  EXPECT_EQ(press(Key::RIGHT), 38u);  // a seek by frame starts the seconds from that frame
  session.toggle_pause();
  session.tick();  // playing on from a second's seek: the next one starts from frame 39
  session.toggle_pause();
  EXPECT_EQ(press(Key::RIGHT), 72u);
  EXPECT_EQ(press(Key::HOME), 0u);
  EXPECT_EQ(session.state(), PlayState::PAUSED);
  EXPECT_EQ(press(Key::SPACE), 0u);
  EXPECT_EQ(session.state(), PlayState::PLAYING);
  session.tick();
  EXPECT_EQ(press(Key::PERIOD), 1u);  // playing: frame steps do nothing
  EXPECT_EQ(press(Key::COMMA), 1u);
  const int reloads = session.outcome().count;
  press(Key::R);
  EXPECT_EQ(session.outcome().count, reloads + 1);
  EXPECT_EQ(preview::press(session, Key::Q), Command::QUIT);
  EXPECT_EQ(preview::press(session, Key::ESCAPE), Command::QUIT);
  EXPECT_EQ(preview::press(session, Key::QUESTION_MARK), Command::HELP);
}

TEST(PreviewKeys, EveryKeyHasOneActionAndTheHelpListsThemInAColumn) {
  using preview::Key;
  for (Key key :
       {Key::SPACE, Key::LEFT, Key::RIGHT, Key::DOWN, Key::UP, Key::PAGE_UP, Key::PAGE_DOWN,
        Key::COMMA, Key::PERIOD, Key::HOME, Key::R, Key::Q, Key::ESCAPE, Key::QUESTION_MARK})
    EXPECT_NE(preview::find_action(key), nullptr) << static_cast<int>(key);
  EXPECT_EQ(preview::find_action(Key::Q), preview::find_action(Key::ESCAPE));

  const std::string help = preview::keys_help();
  EXPECT_NE(help.find("  space     pause, play"), std::string::npos) << help;
  EXPECT_NE(help.find("  Left      one second back\n"), std::string::npos) << help;
  EXPECT_NE(help.find("  PageDown  the next 'at' or 'wait' point\n"), std::string::npos) << help;
  EXPECT_NE(help.find("  q, Esc    quit\n"), std::string::npos) << help;
  EXPECT_EQ(std::count(help.begin(), help.end(), '\n'),
            static_cast<long>(preview::key_actions.size()));
}

TEST(PreviewSession, ARebuildRunsWhenAWatchedSourceChangesAndItsFailureKeepsTheShow) {
  ShowDir show;
  show.dir.write("art/pic.png", support::make_png(160, 50, support::Rgb{255, 255, 255}));
  show.write("show.tds",
             "image pic \"made/pic.png\"\n"
             "buffer 0 at 0,0 size 160x50\n"
             "fx 0 still on 0\n"
             "set 0 image = pic\n"
             "start 0\n"
             "at 100\n"
             "end\n");
  const std::string dir = support::shell_quote(show.dir.path);
  SessionOptions options{
      show.path("show.tds"),
      "cd " + dir + " && echo run >> runs && mkdir -p made && cp art/pic.png made/",
      {show.path("art")}};
  Preview preview(options);
  ASSERT_TRUE(preview.session.open(5)) << preview.session.outcome().error;
  EXPECT_EQ(preview.pixel(0, 0), 0xFFFF);
  EXPECT_EQ(support::read_file(show.path("runs")), "run\n");  // before the first compile

  show.dir.write("art/pic.png", support::make_png(160, 50, support::Rgb{255, 0, 0}));
  ASSERT_TRUE(preview.session.reload(std::vector<std::string>{show.path("art/pic.png")}));
  EXPECT_EQ(preview.pixel(0, 0), 0xF800);
  EXPECT_EQ(support::read_file(show.path("runs")), "run\nrun\n");
  // The show's own source changed: compiled again, not rebuilt.
  ASSERT_TRUE(preview.session.reload(std::vector<std::string>{show.path("show.tds")}));
  EXPECT_EQ(support::read_file(show.path("runs")), "run\nrun\n");
  EXPECT_EQ(preview.session.watched_files().back(), show.path("art"));

  SessionOptions failing = options;
  failing.rebuild = "echo 'drawing the pictures' && echo 'no such art' >&2 && exit 3";
  Preview broken(failing);
  EXPECT_FALSE(broken.session.open());
  EXPECT_EQ(broken.session.outcome().error, "rebuild failed: exited with status 3: no such art");
  // A count written over itself and a coloured message: the message, as the terminal shows it.
  failing.rebuild =
      "printf 'drawing 50%%\\r100%%\\r\\033[31mno such art\\033[0m\\n\\033[0m'; exit 3";
  Preview coloured(failing);
  EXPECT_FALSE(coloured.session.open());
  EXPECT_EQ(coloured.session.outcome().error, "rebuild failed: exited with status 3: no such art");
}

TEST(PreviewSession, ADataFilePlaysAsItIsSoughtPausedAndSteppedItsPlacesInBytes) {
  ShowDir show;
  show.dir.write("show.dat", show.compile(painted_show("0x00FF")).data_file);
  Preview preview(playing(show.path("show.dat")));
  ASSERT_TRUE(preview.session.open(10, preview::Start::PAUSED)) << preview.session.outcome().error;
  EXPECT_EQ(preview.pixel(0, 0), 0x00FF);
  preview.session.step_forward();
  EXPECT_EQ(preview.session.frame(), 11u);
  preview.session.seek(1000);
  EXPECT_EQ(preview.session.frame(), 66u);  // END at 2 s, frame 67
  EXPECT_NE(preview::status_line(preview.session, 200).find("show.dat: script byte "),
            std::string::npos);
}

TEST(PreviewRebuild, EndsWithItsShellAndStartsWithNoSignalHeldBack) {
  // The preview holds its quit signals back while it works; the command does not inherit that.
  sigset_t term, before;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigprocmask(SIG_BLOCK, &term, &before);
  const preview::RebuildResult killed = preview::run_rebuild("kill -TERM $$; echo survived");
  sigprocmask(SIG_SETMASK, &before, nullptr);
  EXPECT_EQ(killed.status, 128 + SIGTERM) << killed.output;

  // What it leaves running keeps the output open, for longer than any test waits: the shell's
  // exit is the end.
  support::TempDir dir;
  const auto start = std::chrono::steady_clock::now();
  const preview::RebuildResult left =
      preview::run_rebuild("sleep 60 & echo $! > " + dir.path + "/pid; echo made; exit 3");
  kill(std::stoi(support::read_file(dir.path + "/pid")), SIGTERM);
  EXPECT_EQ(left.summary(), "exited with status 3: made");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // not a minute
}

TEST(PreviewStatusLine, SaysFrameTimeStateWhereAndTheLastReloadInTheWidthGiven) {
  ShowDir show;
  show.write("show.tds", WAITS_SHOW);
  // Relative names, as a user in the show's folder gives them.
  struct InFolder {
    explicit InFolder(const std::string& folder) { std::filesystem::current_path(folder); }
    ~InFolder() { std::filesystem::current_path(before); }
    std::filesystem::path before = std::filesystem::current_path();
  } in_folder(show.dir.path);
  Preview preview(playing("show.tds"));
  ASSERT_TRUE(preview.session.open(34, preview::Start::PAUSED));
  EXPECT_EQ(preview::status_line(preview.session, 100),
            "   34  0:01.02  paused  show.tds:9  reload 1: ok, 1 warning: show.tds:9:4: warning: "
            "at frame 20 (...");
  EXPECT_EQ(preview::status_line(preview.session, 40), "   34  0:01.02  paused  show.tds:9  r...");
  EXPECT_EQ(preview::status_line(preview.session, 30).size(), 30u);

  show.write("show.tds", std::string(WAITS_SHOW) + "bogus\n");
  preview.session.reload();
  // The error names where to look: the script's place gives way to it.
  EXPECT_EQ(preview::status_line(preview.session, 80),
            "   34  0:01.02  paused  reload 2 failed: show.tds:12:1: error: unknown statem...");
  std::string wide =
      "   34  0:01.02  paused  show.tds:9  reload 2 failed: show.tds:12:1: error: unknown "
      "statement 'bogus'";
  wide.resize(120, ' ');  // filled to the width given, over what the line held before
  EXPECT_EQ(preview::status_line(preview.session, 120), wide);
  preview.session.seek(1000);
  EXPECT_EQ(preview::status_line(preview.session, 60),
            "   49  0:01.47  end  reload 2 failed: show.tds:12:1: erro...");
}

TEST(PreviewStatusLine, ControlCharactersFromAFileNameOrASourceLineAreShownEscaped) {
  ShowDir show;
  const std::string scene = "\x1b]0;owned\x07.tds";  // would set the terminal's title
  show.write(scene, "buffer 0 as screen at 0,0 size 160x50\nwait 100\n");
  show.write("show.tds", "include \"" + scene + "\"\nend\n");
  Preview preview(playing(show.path("show.tds")));
  ASSERT_TRUE(preview.session.open(10, preview::Start::PAUSED)) << preview.session.outcome().error;
  EXPECT_NE(preview::status_line(preview.session, 200).find("/\\x1B]0;owned\\x07.tds:2  "),
            std::string::npos);
  show.write(scene, "wait 100\n\x1b[2Jbogus\n");
  preview.session.reload();
  const std::string line = preview::status_line(preview.session, 200);
  EXPECT_NE(line.find("\\x1B]0;owned\\x07.tds:2:1: error: "), std::string::npos);
  EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; }));
}

TEST(PreviewStatusLine, AnErrorTooLongForTheLineIsShownWholeAboveIt) {
  ShowDir show;
  std::string broken = painted_show("0x00FF");
  show.write("show.tds", broken.replace(broken.find("fx 0"), 2, "fxx"));
  Preview preview(playing(show.path("show.tds")));
  EXPECT_FALSE(preview.session.open());
  std::string whole;
  for (const std::string& line : preview::error_lines(preview.session, 60)) {
    EXPECT_LE(line.size(), 60u) << line;
    whole += (whole.empty() ? "" : " ") + line;
  }
  EXPECT_EQ(whole, preview.session.outcome().error);
  EXPECT_NE(whole.find("did you mean"), std::string::npos) << whole;
  EXPECT_EQ(preview::error_lines(preview.session, 400), std::vector<std::string>{});  // fits
}

// ----- the shipped show against the renderer -----

struct RenderedShow {
  std::string raw;                 // every frame's picture, 16,000 bytes each
  std::vector<std::string> ascii;  // every frame's 25 lines, joined without line ends
};

// tundra-render's --raw and --ascii of the shipped show, once for every test that needs them.
const RenderedShow& rendered_show() {
  static const RenderedShow rendered = [] {
    support::TempDir dir;
    int status = -1;
    support::run_command(std::string(TUNDRA_RENDER) + " --raw " + dir.path + "/raw --ascii " +
                             dir.path + "/ascii " + TUNDRA_SHOW + " >/dev/null 2>&1",
                         &status);
    RenderedShow show;
    if (status != 0) return show;
    show.raw = support::read_file(dir.path + "/raw");
    std::istringstream lines(support::read_file(dir.path + "/ascii"));
    std::string frame, line;
    for (int row = 0; std::getline(lines, line);) {
      if (row < 25) frame += line;
      if (++row == 26) {
        show.ascii.push_back(frame);
        frame.clear();
        row = 0;
      }
    }
    return show;
  }();
  return rendered;
}

uint16_t raw_pixel(const std::string& raw, uint32_t frame, int x, int y) {
  const size_t at = (size_t{frame} * 8000 + size_t(y) * 160 + x) * 2;
  return static_cast<uint16_t>(static_cast<uint8_t>(raw[at]) | static_cast<uint8_t>(raw[at + 1])
                                                                   << 8);
}

TEST(PreviewSession, SeekingTheShippedShowShowsTheRenderersFrameFlashesIncluded) {
  const RenderedShow& rendered = rendered_show();
  ASSERT_EQ(rendered.ascii.size(), 4990u);
  ASSERT_EQ(rendered.raw.size(), 4990u * 16000);

  // The renderer's own display: the composed picture, and the text AA-lib renders from it.
  tools::render::RenderControl control;
  uint32_t presented = UINT32_MAX;
  std::string text;
  display::Picture picture;
  control.on_frame = [&](const tools::render::RenderedFrame& frame) {
    presented = frame.number;
    text.assign(frame.text);
    picture = frame.picture;
    return true;
  };
  Session session(playing(std::string(TUNDRA_BUILD_DIR) + "/show/src/show.tds"));
  std::unique_ptr<engine::DisplayDriver> display = tools::render::render_display(control)();
  display->init(*display);
  session.attach(display.get());
  ASSERT_TRUE(session.open(0, preview::Start::PAUSED)) << session.outcome().error;
  EXPECT_EQ(session.last_frame(), 4989u);

  // Forward and backward, into scenes that leave parts of the picture as earlier frames left
  // them, and into flashes: 601 and 605 are noisy, 4800 the last scene's first frame.
  for (uint32_t frame : {250u, 1234u, 601u, 605u, 4989u, 0u, 2850u, 4800u, 3999u, 1400u}) {
    session.seek(frame);
    ASSERT_EQ(session.frame(), frame);
    EXPECT_EQ(presented, frame);  // the flash is the display's, timed by this number
    int differing = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 160; ++x)
        differing += picture.at(x, y) != raw_pixel(rendered.raw, frame, x, y);
    EXPECT_EQ(differing, 0) << "frame " << frame;
    // AA-lib's dither noise carries its state from one render to the next, so a noisy frame's
    // characters differ unless every frame before was rendered; calm frames match exactly.
    if (display::flash_at(frame).noise == 0) {
      EXPECT_EQ(text, rendered.ascii[frame]) << "frame " << frame;
    }
  }
  display->close(*display);
}

}  // namespace
