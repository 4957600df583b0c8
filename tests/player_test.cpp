// The whole run: start-up, frame loop and end sequence, with a recording display.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

#include "player/player.h"
#include "support/show_harness.h"

namespace {

using support::DataFileBuilder;
using support::run_show_on;
using support::ScriptBuilder;
using support::ShowOptions;

constexpr uint8_t STILL = 2;

// A clock that counts what the player asks of it and never waits.
int waits = 0, clears = 0;
const engine::FrameClock counting_clock = {
    [](const engine::Console&) { waits = clears = 0; },
    [] { ++waits; },
    [] { ++clears; },
    [] {},
};

support::Bytes three_frames() {
  return DataFileBuilder()
      .script(ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, STILL, 0).start(0).waitfor(3).end())
      .bytes;
}

std::vector<std::string> frame_calls(int frames) {
  std::vector<std::string> calls = {"init", "start"};
  for (int i = 0; i < frames; ++i)
    calls.insert(calls.end(), {"poll_quit", "blit 0 0 160 50", "present"});
  calls.push_back("close");
  return calls;
}

TEST(Player, PrintsItsProgressOnTheRightStreamsAndDrivesTheDisplayInOrder) {
  ShowOptions options;
  options.clock = &counting_clock;
  options.farewell = true;
  auto result = run_show_on(three_frames(), options);
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out.starts_with("loader  : loading /")) << result.out;
  EXPECT_TRUE(result.out.ends_with("show.dat\n" + std::string(support::farewell_text)))
      << result.out;
  EXPECT_EQ(result.err,
            "engine  : loading...\n"
            "engine  : Initializing the FX\n"
            "engine  : Starting\n"
            "engine  : Stopping\n");
  // The script ends at the start of frame 3: no poll, no render in that frame.
  EXPECT_EQ(result.recording->calls, frame_calls(3));
}

TEST(Player, NosyncSkipsTheFrameWaitButNotTheFarewellPauses) {
  ShowOptions options;
  options.clock = &counting_clock;
  options.farewell = true;
  run_show_on(three_frames(), options);
  EXPECT_EQ(waits, 3 + 290);
  EXPECT_EQ(clears, 3 + 290);
  options.nosync = true;
  run_show_on(three_frames(), options);
  EXPECT_EQ(waits, 290);
  EXPECT_EQ(clears, 3 + 290);  // the tick flag is cleared every frame all the same
}

TEST(Player, AQuitAtTheFirstPollEndsTheShowBeforeAnyFrame) {
  ShowOptions options;
  options.clock = &counting_clock;
  options.farewell = true;
  uint32_t polled_at = 99;
  options.poll = [&](uint32_t frame) { return polled_at = frame, 1; };
  auto result = run_show_on(three_frames(), options);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(polled_at, 0u);
  EXPECT_EQ(result.recording->calls,
            (std::vector<std::string>{"init", "start", "poll_quit", "close"}));
  EXPECT_TRUE(result.out.ends_with(support::farewell_text));
  EXPECT_TRUE(result.err.ends_with("engine  : Stopping\n"));
}

TEST(Player, AScriptThatIsOnlyEndStopsBeforeTheFirstFrame) {
  auto result = run_show_on(DataFileBuilder().script(ScriptBuilder().end()).bytes);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.recording->calls, frame_calls(0));
}

TEST(Player, AMissingDataFileIsReportedBeforeTheDisplayIsTouched) {
  auto result = support::run_show_at("/nonexistent/show.dat");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.out, "loader  : loading /nonexistent/show.dat\n");
  EXPECT_EQ(result.err,
            "engine  : loading...\n"
            "loader  : cannot open data file /nonexistent/show.dat: No such file or directory\n");
  EXPECT_TRUE(result.recording->calls.empty());
}

TEST(Player, ADisplayThatCannotBeMadeEndsTheShowWithStatus255) {
  ShowOptions options;
  options.display_fails = true;
  auto result = run_show_on(three_frames(), options);
  EXPECT_EQ(result.status, 255);
  EXPECT_TRUE(result.out.ends_with("show.dat\ncouldn't initialise libDisplay<XXX>.so\n"))
      << result.out;
}

TEST(Player, AnUndefinedOpcodeClosesTheDisplayThenPrintsTheClassicLines) {
  for (uint8_t opcode : {0x00, 0x0A, 0xFE}) {
    auto result =
        run_show_on(DataFileBuilder()
                        .script(ScriptBuilder().newbuf(0, 0, 0, 160, 50).waitfor(2).raw({opcode}))
                        .bytes);
    EXPECT_EQ(result.status, 255);
    std::string lines = "Unknown OPCode in Script !!!\n" + std::to_string(opcode) + "@13\n";
    EXPECT_TRUE(result.out.ends_with("show.dat\n" + lines)) << result.out;
    EXPECT_EQ(result.recording->calls.back(), "close");
    EXPECT_EQ(std::count(result.recording->calls.begin(), result.recording->calls.end(), "present"),
              2);
  }
}

TEST(Player, ScriptsThatLeaveTheTablesEndWithAMessageNamingTheInstruction) {
  struct Case {
    ScriptBuilder script;
    const char* message;
  };
  const ScriptBuilder base =
      ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(1, STILL, 0);  // 14 bytes
  const Case cases[] = {
      {ScriptBuilder().newbuf(27, 0, 0, 1, 1),
       "byte 0 (NEWBUF): buffer 27 is out of range (buffers are 0 to 26)"},
      {ScriptBuilder(base).newfx(27, STILL, 0),
       "byte 14 (NEWFX): slot 27 is out of range (FX slots are 0 to 26)"},
      {ScriptBuilder(base).newfx(2, 13, 0),
       "byte 14 (NEWFX): class 13 is out of range (FX classes are 0 to 12)"},
      {ScriptBuilder(base).newfx(2, STILL, 5), "byte 14 (NEWFX): buffer 5 has not been created"},
      {ScriptBuilder(base).viewbuf(2, 0, 0, 9), "byte 14 (VIEWBUF): source 9 has not been created"},
      {ScriptBuilder(base).setint(4, 0x80, 1), "byte 14 (SETINT): slot 4 holds no FX"},
      {ScriptBuilder(base).start(30),
       "byte 14 (FXSTATE): slot 30 is out of range (FX slots are 0 to 26)"},
      {ScriptBuilder(base).setchunk(1, 0x80, 7),
       "byte 14 (SETCHUNK): chunk 7 does not exist (2 chunks were loaded)"},
      {ScriptBuilder(base).setchunk(1, 0x80, 1),
       "byte 14 (SETCHUNK): parameter 0x80 (image) of still takes an image chunk, but chunk 1 is a "
       "text chunk"},
      {ScriptBuilder(base).setint(1, 0x80, 1),
       "byte 14 (SETINT): parameter 0x80 (image) of still takes an image chunk, not a number"},
      {ScriptBuilder(base).newbuf(2, 0, 0, 8192, 8192),
       "byte 14 (NEWBUF): buffer 2 of 8192 x 8192 pixels is too large (at most 16777216 pixels)"},
      {ScriptBuilder(base).raw({0x01, 3, 0}),
       "byte 14 (NEWBUF): the instruction needs 10 bytes, but only 3 are left"},
      {ScriptBuilder(base), "byte 14: the script ends there without END"},
  };
  for (const Case& c : cases) {
    auto result = run_show_on(DataFileBuilder().script(c.script).text("hi").bytes);
    EXPECT_EQ(result.status, 255) << c.message;
    EXPECT_EQ(result.err.substr(result.err.rfind("engine  : ")),
              std::string("engine  : script error at ") + c.message + "\n");
    EXPECT_EQ(result.recording->calls.back(), "close");
  }
}

TEST(Player, ADataFileThatDoesNotBeginWithItsScriptIsRefused) {
  auto result =
      run_show_on(DataFileBuilder().text("not a script").script(ScriptBuilder().end()).bytes);
  EXPECT_EQ(result.status, 255);
  EXPECT_TRUE(result.err.ends_with(
      "engine  : chunk 0 is a text chunk; a data file must begin with its DEMO chunk\n"))
      << result.err;
  EXPECT_TRUE(result.recording->calls.empty());
}

TEST(Player, AQuitSignalClosesTheDisplayAndEndsWith128PlusItsNumber) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    ShowOptions options;
    options.clock = &counting_clock;
    options.farewell = true;
    options.poll = [&](uint32_t frame) {
      if (frame == 1) std::raise(signal_number);
      return 0;
    };
    auto result = run_show_on(three_frames(), options);
    EXPECT_EQ(result.status, 128 + signal_number);
    EXPECT_EQ(result.recording->calls.back(), "close");
    EXPECT_EQ(result.out.find("congratulations"), std::string::npos);
  }
}

TEST(Player, TheFarewellTakesItsTicksInRealTimeEvenWithNosync) {
  ShowOptions options;
  options.clock = &engine::real_clock;
  options.farewell = true;
  options.nosync = true;
  auto started = std::chrono::steady_clock::now();
  auto result = run_show_on(three_frames(), options);
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out.ends_with(support::farewell_text));
  // 290 ticks of 30 ms; ticks merge but are never early, so the farewell cannot be shorter.
  EXPECT_GE(seconds, 289 * 0.030);
}

}  // namespace
