// The script interpreter and the engine tables, observed through the frames a script produces.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/show_harness.h"

namespace {

using support::DataFileBuilder;
using support::EngineRun;
using support::ScriptBuilder;

constexpr uint8_t CYCLE = 0, STILL = 2;

support::Bytes file_with(const ScriptBuilder& script) {
  return DataFileBuilder().script(script).bytes;
}

// Blits per presented frame, from the recording's call log.
std::vector<int> blits_per_frame(const display::Recording& recording) {
  std::vector<int> counts{0};
  for (const std::string& call : recording.calls) {
    if (call.starts_with("blit")) ++counts.back();
    if (call == "present") counts.push_back(0);
  }
  counts.pop_back();
  return counts;
}

// A buffer and a stopped cycle fill on it: slot 0 shows buffer 0 once started.
ScriptBuilder with_slot() {
  return ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, CYCLE, 0);
}

// The first frame in which slot 0 was shown, after `frames` frames.
int first_shown_frame(const ScriptBuilder& script, int frames = 12) {
  EngineRun run(file_with(script));
  run.start();
  run.frames(frames);
  std::vector<int> counts = blits_per_frame(*run.recording);
  auto shown = std::find(counts.begin(), counts.end(), 1);
  return shown == counts.end() ? -1 : static_cast<int>(shown - counts.begin());
}

TEST(ScriptTiming, WaitAtInTheFutureResumesInThatFrame) {
  EXPECT_EQ(first_shown_frame(with_slot().waitat(5).start(0).waitfor(100).end()), 5);
}

TEST(ScriptTiming, WaitAtInThePastStillEndsTheCallAndResumesInTheNextFrame) {
  // Frame 3 resumes and meets WAITAT 1, long past: the call ends, frame 4 resumes.
  EXPECT_EQ(first_shown_frame(with_slot().waitfor(3).waitat(1).start(0).waitfor(100).end()), 4);
}

TEST(ScriptTiming, WaitForZeroAndOneBothResumeInTheNextFrame) {
  // At start-up the wait is measured from 0, so both resume in frame 0 ...
  EXPECT_EQ(first_shown_frame(with_slot().waitfor(0).start(0).waitfor(100).end()), 0);
  EXPECT_EQ(first_shown_frame(with_slot().waitfor(1).start(0).waitfor(100).end()), 1);
  // ... and issued during frame 2, both resume in frame 3.
  EXPECT_EQ(first_shown_frame(with_slot().waitfor(2).waitfor(0).start(0).waitfor(100).end()), 3);
  EXPECT_EQ(first_shown_frame(with_slot().waitfor(2).waitfor(1).start(0).waitfor(100).end()), 3);
}

TEST(ScriptTiming, ManyInstructionsBetweenWaitsTakeEffectInOneFrame) {
  EngineRun run(file_with(ScriptBuilder()
                              .waitfor(2)
                              .newbuf(0, 0, 0, 80, 50)
                              .newbuf(1, 80, 0, 80, 50)
                              .newfx(0, STILL, 0)
                              .newfx(1, STILL, 1)
                              .start(0)
                              .start(1)
                              .waitfor(100)
                              .end()));
  run.start();
  run.frames(4);
  EXPECT_EQ(blits_per_frame(*run.recording), (std::vector<int>{0, 0, 2, 2}));
}

TEST(ScriptTiming, SkipConsumesItsOperandWhateverItIs) {
  // Were the operands read as opcodes, 0x00 would be fatal and 0xFF would end the script.
  EngineRun run(file_with(with_slot().skip(0x00).skip(0xFF).start(0).waitfor(10).end()));
  run.start();
  EXPECT_EQ(run.engine->slots[0]->state, engine::SlotState::RUNNING);
}

TEST(ScriptTiming, SetIntTakesItsValueBigEndian) {
  // Bytes 00 00 01 2C are 300, which the cycle fill writes as its colour.
  EngineRun run(file_with(
      with_slot().raw({0x05, 0, 0x80, 0x00, 0x00, 0x01, 0x2C}).start(0).waitfor(9).end()));
  run.start();
  run.frame();
  EXPECT_EQ(run.buffer(0).pixels[0], 300);
}

TEST(ScriptTiming, EndRewindsTheScript) {
  EngineRun run(file_with(ScriptBuilder().newbuf(0, 0, 0, 8, 8).end()));
  run.start();  // reaches END, which the start-up run ignores
  EXPECT_EQ(run.engine->script.position, 0u);
  EXPECT_FALSE(run.show->ended());
  EXPECT_EQ(run.frame(), engine::Step::ENDED);  // runs again from the beginning and ends again
}

TEST(EngineTables, AFreshBufferIsBlack) {
  EngineRun run(file_with(ScriptBuilder().newbuf(3, 7, 0, 13, 9).waitfor(5).end()));
  run.start();
  const engine::Buffer& buffer = run.buffer(3);
  EXPECT_EQ(buffer.width, 13);
  EXPECT_EQ(buffer.height, 9);
  EXPECT_EQ(buffer.x, 7);
  EXPECT_TRUE(std::all_of(buffer.pixels.get(), buffer.pixels.get() + 13 * 9,
                          [](uint16_t p) { return p == 0; }));
}

TEST(EngineTables, RecreatingABufferKeepsItsRecordForEffectsCreatedEarlier) {
  EngineRun run(file_with(ScriptBuilder()
                              .newbuf(0, 0, 0, 160, 50)
                              .newfx(0, CYCLE, 0)
                              .start(0)
                              .waitfor(1)
                              .newbuf(0, 0, 0, 20, 10)
                              .waitfor(100)
                              .end()));
  run.start();
  run.frame();
  const engine::Buffer* record = &run.buffer(0);
  run.frame();  // re-created at the start of frame 1, then drawn by the cycle fill
  EXPECT_EQ(&run.buffer(0), record);
  EXPECT_EQ(run.buffer(0).pixel_count(), 200u);
  // 200 - 1 - 1 pixels take frame 1's colour (0xF000 rotated once); the last one stays black.
  EXPECT_EQ(run.buffer(0).pixels[197], 0xE001);
  EXPECT_EQ(run.buffer(0).pixels[198], 0);
}

TEST(EngineTables, AViewSharesItsSourcePixelsAtItsOwnPlace) {
  // A cycle fill draws into buffer 0; a still image shows the view of it.
  EngineRun shown(file_with(ScriptBuilder()
                                .newbuf(0, 0, 0, 80, 50)
                                .viewbuf(1, 80, 0, 0)
                                .newfx(0, CYCLE, 0)
                                .newfx(1, STILL, 1)
                                .setint(0, 0x80, 0x1234)
                                .start(0)
                                .start(1)
                                .waitfor(100)
                                .end()));
  shown.start();
  shown.frame();
  EXPECT_EQ(shown.buffer(0).pixels.get(), shown.buffer(1).pixels.get());
  EXPECT_EQ(shown.buffer(1).x, 80);
  for (int row : {0, 25, 49})
    for (int column : {0, 40, 79}) {
      EXPECT_EQ(shown.picture().at(column, row), shown.picture().at(column + 80, row));
      EXPECT_EQ(shown.picture().at(column, row), row == 49 && column == 79 ? 0 : 0x1234);
    }
}

TEST(EngineTables, ANewSlotIsStoppedAndOnlyStatesOneAndTwoChangeIt) {
  EngineRun run(file_with(with_slot()
                              .waitfor(1)
                              .fxstate(0, 0)
                              .waitfor(1)
                              .fxstate(0, 1)
                              .waitfor(1)
                              .fxstate(0, 3)
                              .waitfor(1)
                              .fxstate(0, 2)
                              .waitfor(100)
                              .end()));
  run.start();
  run.frames(5);
  EXPECT_EQ(blits_per_frame(*run.recording), (std::vector<int>{0, 0, 1, 1, 0}));
}

TEST(EngineTables, SlotsEighteenAndAboveAreNeverRenderedOrShown) {
  EngineRun run(file_with(ScriptBuilder()
                              .newbuf(0, 0, 0, 160, 50)
                              .newfx(18, CYCLE, 0)
                              .newfx(26, CYCLE, 0)
                              .start(18)
                              .start(26)
                              .waitfor(100)
                              .end()));
  run.start();
  run.frames(3);
  EXPECT_EQ(run.engine->slots[18]->state, engine::SlotState::RUNNING);
  EXPECT_EQ(blits_per_frame(*run.recording), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(run.buffer(0).pixels[0], 0);  // never rendered
}

TEST(EngineTables, TwoRunningSlotsOnOneBufferBlitItTwiceInSlotOrder) {
  EngineRun run(file_with(ScriptBuilder()
                              .newbuf(0, 0, 0, 160, 50)
                              .newbuf(1, 0, 0, 100, 50)
                              .newfx(2, STILL, 0)
                              .newfx(5, STILL, 1)
                              .newfx(9, STILL, 0)
                              .start(9)
                              .start(5)
                              .start(2)
                              .waitfor(100)
                              .end()));
  run.start();
  run.frame();
  std::vector<std::string> blits;
  for (const std::string& call : run.recording->calls)
    if (call.starts_with("blit")) blits.push_back(call);
  // Slot 2 (buffer 0), slot 5 (buffer 1), slot 9 (buffer 0 again), whatever the start order.
  EXPECT_EQ(blits,
            (std::vector<std::string>{"blit 0 0 160 50", "blit 0 0 100 50", "blit 0 0 160 50"}));
}

TEST(EngineTables, RecreatingASlotReplacesItsInstanceAndStopsIt) {
  EngineRun run(file_with(with_slot().start(0).waitfor(1).newfx(0, STILL, 0).waitfor(100).end()));
  run.start();
  run.frames(2);
  EXPECT_EQ(blits_per_frame(*run.recording), (std::vector<int>{1, 0}));
  EXPECT_EQ(run.engine->slots[0]->class_id, STILL);
}

}  // namespace
