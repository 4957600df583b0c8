// tundra-render and the player side by side: the same ASCII frames, flash included, and the
// same messages and status for data files the engine rejects.
#include <gtest/gtest.h>

#include "fixtures/process.h"
#include "support/render_harness.h"

namespace {

using support::DataFileBuilder;
using support::ScriptBuilder;
using support::ShowDir;

const std::string PLAYER = "AAOPTS='-driver stdout -width 80 -height 25' " TUNDRA_PLAYER " -nosync";

TEST(RenderAgreesWithPlayer, EveryAsciiFrameIsThePlayersStdoutFrameFlashIncluded) {
  ShowDir show(support::busy_show(650));  // the flash starts after frame 600 is shown
  auto played = support::run_in(show.dir.path, PLAYER);
  ASSERT_EQ(played.status, 0) << played.err;
  auto rendered = support::run_in(show.dir.path, TUNDRA_RENDER " --ascii frames.txt");
  ASSERT_EQ(rendered.status, 0) << rendered.err;

  auto player_frames = support::read_player_frames(played.out);
  auto render_frames =
      support::read_ascii_frames(support::read_file(show.file("frames.txt")), nullptr);
  ASSERT_EQ(player_frames.size(), 650u);
  ASSERT_EQ(render_frames.size(), 650u);
  // The flash is there to compare: bright, then noisy frames unlike the calm ones before.
  EXPECT_NE(render_frames[601], render_frames[599]);
  EXPECT_NE(render_frames[620], render_frames[604]);
  for (size_t frame : {0, 1, 2, 300, 599, 600, 601, 602, 603, 610, 620, 630, 640, 649})
    EXPECT_EQ(render_frames[frame], player_frames[frame]) << "frame " << frame;
  size_t same = 0;
  for (size_t frame = 0; frame < 650; ++frame) same += render_frames[frame] == player_frames[frame];
  EXPECT_EQ(same, 650u);
}

// The player's standard output without the frames AA-lib's stdout driver printed.
std::string without_frames(const std::string& out) {
  std::string kept;
  size_t at = 0;
  while (at < out.size()) {
    size_t end = out.find('\n', at);
    end = end == std::string::npos ? out.size() : end + 1;
    std::string line = out.substr(at, end - at);
    if (line != "\f\n" && line.size() != 81) kept += line;
    at = end;
  }
  return kept;
}

// Each data file the engine rejects: the renderer says what the player says, with status 255.
void expect_same_rejection(const support::Bytes& data_file, const std::string& message) {
  ShowDir show(data_file);
  auto played = support::run_in(show.dir.path, PLAYER);
  auto rendered = support::run_in(show.dir.path, TUNDRA_RENDER " --ascii frames.txt");
  EXPECT_EQ(played.status, 255);
  EXPECT_EQ(rendered.status, 255);
  EXPECT_NE((played.out + played.err).find(message), std::string::npos) << played.out << played.err;
  EXPECT_EQ(rendered.out, without_frames(played.out));
  EXPECT_EQ(rendered.err, played.err);
}

TEST(RenderRejectsAsThePlayer, AMissingDataFile) {
  support::TempDir empty;
  auto played = support::run_in(empty.path, PLAYER);
  auto rendered = support::run_in(empty.path, TUNDRA_RENDER);
  EXPECT_EQ(rendered.status, 255);
  EXPECT_EQ(rendered.status, played.status);
  EXPECT_EQ(rendered.out, played.out);
  EXPECT_EQ(rendered.err, played.err);
  EXPECT_NE(rendered.err.find("cannot open data file data/mote-tundra-2003.dat"), std::string::npos)
      << rendered.err;
}

TEST(RenderRejectsAsThePlayer, ATruncatedChunk) {
  auto file = DataFileBuilder().script(ScriptBuilder().waitfor(5).end()).header("PING", 100);
  expect_same_rejection(file.bytes, "is truncated");
}

TEST(RenderRejectsAsThePlayer, AnUndefinedOpcodeAtStartUp) {
  auto file = DataFileBuilder().script(ScriptBuilder().skip(7).raw({0x0A}).end());
  expect_same_rejection(file.bytes, "Unknown OPCode in Script !!!\n10@2\n");
}

TEST(RenderRejectsAsThePlayer, AScriptErrorAfterSomeFrames) {
  auto file = DataFileBuilder().script(ScriptBuilder()
                                           .newbuf(0, 0, 0, 160, 50)
                                           .newfx(0, 2, 0)
                                           .start(0)
                                           .waitat(5)
                                           .newfx(1, 2, 9)  // buffer 9 was never created
                                           .end());
  expect_same_rejection(file.bytes, "buffer 9 has not been created");
}

}  // namespace
