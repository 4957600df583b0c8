// The show object: stepping with and without a display, stopping at END, and resetting to frame 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/fatal.h"
#include "display/ascii_display.h"
#include "display/displays.h"
#include "display/recording_display.h"
#include "display/text_band.h"
#include "fixtures/square_wave_module.h"
#include "support/show_harness.h"

namespace {

using engine::Step;
using support::DataFileBuilder;
using support::EngineRun;
using support::ScriptBuilder;

constexpr uint8_t CYCLE = 0, STILL = 2, NOISE = 6, SPARKS = 10, WIPE = 12;

// A still image of chunk 1 on the left, a wipe painting white into that image's own pixels, and
// static noise (drawn from the random stream when it is made) on the right.
support::Bytes image_wiped_beside_noise() {
  return DataFileBuilder()
      .script(ScriptBuilder()
                  .newbuf(0, 0, 0, 80, 50)
                  .newbuf(1, 0, 0, 80, 50)
                  .newbuf(2, 80, 0, 80, 50)
                  .newfx(0, STILL, 0)
                  .setchunk(0, 0x80, 1)
                  .newfx(1, WIPE, 1)
                  .setchunk(1, 0x80, 1)
                  .setint(1, 0x83, 80)  // right
                  .setint(1, 0x85, 50)  // bottom
                  .setint(1, 0x86, 4)   // four columns a render
                  .setint(1, 0x87, 0xFFFF)
                  .setint(1, 0x81, 1)  // left to right
                  .newfx(2, NOISE, 2)
                  .start(0)
                  .start(1)
                  .start(2)
                  .waitfor(30)
                  .end())
      .image(support::make_png(80, 50, support::Rgb{0, 0, 160}))
      .bytes;
}

const datafile::ImageChunk& image(EngineRun& run) {
  return static_cast<const datafile::ImageChunk&>(*run.engine->chunks[1]);
}

TEST(ShowObject, AResetShowReplaysEveryFrameAsItWasFirstShown) {
  EngineRun run(image_wiped_beside_noise());
  run.recording->keep_frames = true;
  const std::vector<uint16_t> loaded(image(run).pixels.get(), image(run).pixels.get() + 4000);
  run.start();
  run.frames(12);
  const std::vector<display::Picture> first = run.recording->frames;
  EXPECT_EQ(image(run).pixels[0], 0xFFFF);  // the wipe has painted the image itself
  EXPECT_EQ(first[11].at(0, 0), 0xFFFF);
  int lit = 0;  // the static on the right, drawn from the random stream
  for (int x = 80; x < 160; ++x) lit += first[11].at(x, 25) != 0;
  EXPECT_GT(lit, 0);

  run.show->reset();
  EXPECT_EQ(run.show->frame(), 0u);
  EXPECT_EQ(std::vector<uint16_t>(image(run).pixels.get(), image(run).pixels.get() + 4000), loaded);
  run.recording->frames.clear();
  run.frames(12);
  ASSERT_EQ(run.recording->frames.size(), first.size());
  for (size_t frame = 0; frame < first.size(); ++frame)
    EXPECT_EQ(run.recording->frames[frame].pixels, first[frame].pixels) << "frame " << frame;
}

// Sparks on the left that jump to random columns every frame, and static noise on the right
// that draws 40000 random numbers when it is made at frame 3.
support::Bytes sparks_then_noise() {
  return DataFileBuilder()
      .script(ScriptBuilder()
                  .newbuf(0, 0, 0, 80, 50)
                  .newbuf(1, 80, 0, 80, 50)
                  .newfx(0, SPARKS, 0)
                  .setint(0, 0x80, 5)
                  .start(0)
                  .waitfor(3)
                  .newfx(1, NOISE, 1)
                  .start(1)
                  .waitfor(20)
                  .end())
      .bytes;
}

TEST(ShowObject, TwoShowsSteppedInTurnEachShowTheFramesTheyShowAlone) {
  EngineRun alone(sparks_then_noise());
  alone.recording->keep_frames = true;
  alone.start();
  alone.frames(12);

  EngineRun first(sparks_then_noise());
  first.recording->keep_frames = true;
  first.start();
  first.frames(6);
  // A second show made while the first plays, as a preview's reload makes one.
  EngineRun second(sparks_then_noise());
  second.recording->keep_frames = true;
  second.start();
  for (int i = 0; i < 6; ++i) {
    first.frame();
    second.frame();
  }
  second.frames(6);
  for (const EngineRun* run : {&first, &second}) {
    ASSERT_EQ(run->recording->frames.size(), 12u);
    for (size_t frame = 0; frame < 12; ++frame)
      EXPECT_EQ(run->recording->frames[frame].pixels, alone.recording->frames[frame].pixels)
          << (run == &first ? "first" : "second") << " show, frame " << frame;
  }
}

// The music chunk comes last, so a reader that stops at a tag it does not know (every reader
// older than the chunk) has loaded the whole show by then and plays it frame for frame as ours
// does: the same show read by ours, read as such a reader reads it (the tag unknown) and without
// the chunk at all shows the same frames.
TEST(ShowObject, AShowWithMusicPlaysTheSameFramesInAReaderThatStopsAtItsTag) {
  support::Bytes silent = image_wiped_beside_noise();
  support::Bytes with_music = DataFileBuilder{silent}.music(support::square_wave_module()).bytes;
  support::Bytes old_reader = with_music;
  std::copy_n("TUN\x7F", 4, old_reader.begin() + static_cast<ptrdiff_t>(silent.size()));
  std::vector<std::vector<display::Picture>> runs;
  for (support::Bytes* file : {&silent, &with_music, &old_reader}) {
    EngineRun run(*file);
    run.recording->keep_frames = true;
    run.start();
    run.frames(31);  // to END
    EXPECT_EQ(run.show->music() != nullptr, file == &with_music);
    runs.push_back(run.recording->frames);
  }
  ASSERT_EQ(runs[0].size(), 30u);
  for (size_t frame = 0; frame < runs[0].size(); ++frame)
    for (size_t reader : {1, 2})
      EXPECT_EQ(runs[reader][frame].pixels, runs[0][frame].pixels)
          << "reader " << reader << ", frame " << frame;
}

// A cycle fill that starts at frame 400 and runs until END at frame 450.
support::Bytes late_cycle() {
  return DataFileBuilder()
      .script(ScriptBuilder()
                  .newbuf(0, 0, 0, 160, 50)
                  .newfx(0, CYCLE, 0)
                  .waitat(400)
                  .start(0)
                  .waitfor(50)
                  .end())
      .bytes;
}

TEST(ShowObject, RunningToAFrameWithoutADisplayLandsWhereSteppingEveryFrameDoes) {
  EngineRun stepped(late_cycle()), run(late_cycle());
  stepped.start();
  stepped.frames(420);  // frames 0 to 419, every one presented
  run.start();
  EXPECT_EQ(run.show->run_to(419), Step::SHOWN);  // nothing shown, the idle frames skipped
  EXPECT_EQ(run.show->frame(), 419u);
  EXPECT_EQ(run.frame(), Step::SHOWN);  // frame 419, presented
  EXPECT_EQ(run.picture().pixels, stepped.picture().pixels);
  EXPECT_NE(run.picture().at(0, 0), 0);
}

TEST(ShowObject, EndIsReportedOnceAndTheShowStaysEndedUntilReset) {
  EngineRun run(late_cycle());
  run.start();
  EXPECT_EQ(run.show->run_to(1000), Step::ENDED);
  EXPECT_TRUE(run.show->ended());
  EXPECT_EQ(run.show->frame(), 450u);   // END runs at the start of frame 450
  EXPECT_EQ(run.frame(), Step::ENDED);  // the rewound script is not run again
  EXPECT_EQ(run.show->frame(), 450u);
  EXPECT_TRUE(run.recording->calls.empty());  // nothing was polled, shown or presented
  run.show->reset();
  EXPECT_FALSE(run.show->ended());
  EXPECT_EQ(run.frame(), Step::SHOWN);
}

TEST(ShowObject, TheDisplayOrTheCallerCanStopAFrameBeforeItIsRendered) {
  EngineRun run(late_cycle());
  run.start();
  run.recording->poll = [](uint32_t frame) { return frame == 2 ? 1 : 0; };
  EXPECT_EQ(run.frame(), Step::SHOWN);
  EXPECT_EQ(run.show->step(*run.display, [] { return true; }), Step::STOPPED);
  EXPECT_EQ(run.show->frame(), 1u);
  EXPECT_EQ(run.frame(), Step::SHOWN);
  EXPECT_EQ(run.frame(), Step::STOPPED);  // poll_quit said 1 at frame 2
  EXPECT_EQ(run.show->frame(), 2u);
  EXPECT_EQ(std::count(run.recording->calls.begin(), run.recording->calls.end(), "present"), 2);
}

TEST(Displays, ThePlayerChoosesFromATableWhoseDefaultIsTheAsciiDisplay) {
  const display::DisplayChoice* ascii = display::find_display(display::DEFAULT_DISPLAY);
  ASSERT_NE(ascii, nullptr);
  EXPECT_EQ(ascii->name, "ascii");
  EXPECT_EQ(&display::displays.front(), ascii);
  EXPECT_FALSE(ascii->takes_options);
  const display::DisplayChoice* colour = display::find_display("colour");
  ASSERT_NE(colour, nullptr);
  EXPECT_TRUE(colour->takes_options);
  EXPECT_EQ(display::find_display("color"), nullptr);
  for (const display::DisplayChoice& choice : display::displays)
    EXPECT_EQ(display::find_display(choice.name), &choice);
}

// The player and the preview open a display the same way; which of them shows a text band or
// takes a resize when told is in its table, and a recording display takes no band.
TEST(Displays, OpenDisplayMakesTheNamedOneOrEndsWithThePlayersLine) {
  struct Case {
    const char* name;
    bool band, resize;
  };
  for (const Case& c : {Case{"ascii", true, true}, Case{"colour", true, false}}) {
    SCOPED_TRACE(c.name);
    auto display = display::open_display(c.name, {});
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display::set_text_band(*display, {"status"}), c.band);
    EXPECT_EQ(display->take_resize != nullptr, c.resize);
  }
  auto recording = display::recording_display(std::make_shared<display::Recording>())();
  EXPECT_FALSE(display::set_text_band(*recording, {"status"}));
  try {
    display::open_display("color", {});
    ADD_FAILURE() << "no error";
  } catch (const engine::FatalError& error) {
    EXPECT_EQ(error.stream, engine::Stream::OUT);
    EXPECT_EQ(error.message, "couldn't initialise libDisplay<XXX>.so\n");
  }
}

}  // namespace

// A cycle fill over the whole picture for frames 0 to 9, then a still image of chunk 1 over
// the left half only: from frame 10 on the right half keeps the fill's last colour.
support::Bytes fill_then_half_still() {
  return DataFileBuilder()
      .script(ScriptBuilder()
                  .newbuf(0, 0, 0, 160, 50)
                  .newfx(0, CYCLE, 0)
                  .setint(0, 0x80, 0x001F)
                  .start(0)
                  .waitat(10)
                  .stop(0)
                  .newbuf(1, 0, 0, 80, 50)
                  .newfx(1, STILL, 1)
                  .setchunk(1, 0x80, 1)
                  .start(1)
                  .waitat(40)
                  .end())
      .image(support::make_png(80, 50, support::Rgb{255, 255, 255}))
      .bytes;
}

TEST(ShowObject, RunningToAFrameWithADisplayLeavesItThePicturePlayingWouldHaveLeft) {
  EngineRun played(fill_then_half_still()), sought(fill_then_half_still()),
      headless(fill_then_half_still());
  played.start();
  played.frames(31);  // frames 0 to 30, every one presented
  sought.start();
  EXPECT_EQ(sought.show->run_to(30, *sought.display), Step::SHOWN);
  // Only blits: nobody is asked for keys and nothing is presented until frame 30.
  EXPECT_EQ(std::count(sought.recording->calls.begin(), sought.recording->calls.end(), "present"),
            0);
  EXPECT_EQ(std::count(sought.recording->calls.begin(), sought.recording->calls.end(), "poll_quit"),
            0);
  EXPECT_EQ(sought.recording->calls.front(), "blit 0 0 160 50");
  EXPECT_EQ(sought.frame(), Step::SHOWN);  // frame 30, presented
  EXPECT_EQ(sought.picture().pixels, played.picture().pixels);
  EXPECT_EQ(sought.picture().at(120, 25), played.picture().at(120, 25));
  EXPECT_NE(sought.picture().at(120, 25), 0);  // the fill's last colour, never blitted again
  EXPECT_EQ(sought.picture().at(0, 0), 0xFFFF);

  headless.start();
  headless.show->run_to(30);
  headless.frame();
  EXPECT_EQ(headless.picture().at(120, 25), 0);  // what a seek without the display would show
}
