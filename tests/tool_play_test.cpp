// A show compiled by tundra-dat, played by the engine: the picture is what the source says.
#include <gtest/gtest.h>

#include "support/tool_harness.h"

namespace {

using support::EngineRun;
using support::ShowDir;

TEST(CompiledShow, PlaysInTheEngineAsTheSourceSays) {
  ShowDir show;
  show.dir.write("left.png", support::make_png(80, 50, support::Rgb{255, 255, 255}));
  tools::CompiledShow compiled = show.compile(
      "image left \"left.png\"\n"
      "\n"
      "# Frames 0 to 4: the whole picture filled with blue, turning a bit each frame.\n"
      "buffer 0 as screen at 0,0 size 160x50\n"
      "fx 0 as fill cycle on screen\n"
      "set fill colour = 0x001F\n"
      "start fill\n"
      "\n"
      "# From frame 5 (150 ms): the white image on the left, seen again on the right.\n"
      "at 0.15s\n"
      "stop fill\n"
      "buffer 1 as half at 0,0 size 80x50\n"
      "fx 1 as picture still on half\n"
      "set picture image = left\n"
      "view 2 as mirror at 80,0 of half   # made after the image: it shares its pixels\n"
      "fx 2 still on mirror\n"
      "start picture\n"
      "start 2\n"
      "wait 5\n"
      "end\n");
  ASSERT_FALSE(compiled.diagnostics.has_errors()) << show.lines(compiled.diagnostics)[0];

  EngineRun run(compiled.data_file);
  run.start();
  run.frames(5);
  // The colour of frame 4: 0x001F turned left four times.
  EXPECT_EQ(run.picture().at(0, 0), 0x01F0);
  EXPECT_EQ(run.picture().at(120, 30), 0x01F0);

  run.frame();  // frame 5
  EXPECT_EQ(run.picture().at(0, 0), 0xFFFF);
  EXPECT_EQ(run.picture().at(79, 49), 0xFFFF);
  EXPECT_EQ(run.picture().at(80, 0), 0xFFFF);
  EXPECT_EQ(run.picture().at(159, 49), 0xFFFF);

  run.frames(4);                                // frames 6 to 9
  EXPECT_EQ(run.frame(), engine::Step::ENDED);  // frame 10: END
}

}  // namespace
