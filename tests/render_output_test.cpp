// tundra-render's frame streams: --raw, --grey and --ascii are exact, repeatable and sized as
// documented, --frames stops where asked, and --stats reports how the show went.
#include <gtest/gtest.h>

#include "fixtures/process.h"
#include "support/render_harness.h"

namespace {

using support::DataFileBuilder;
using support::Rgb;
using support::rgb565;
using support::ScriptBuilder;
using support::ShowDir;

constexpr uint8_t CYCLE = 0;
constexpr uint8_t STILL = 2;
constexpr uint8_t WIPE = 12;
constexpr size_t RAW_FRAME_BYTES = 16000;
constexpr size_t GREY_FRAME_BYTES = 8000;

support::ProgramRun render(const ShowDir& show, const std::string& arguments) {
  return support::run_in(show.dir.path, TUNDRA_RENDER " " + arguments);
}

std::string output(const ShowDir& show, const std::string& name) {
  return support::read_file(show.file(name));
}

TEST(RenderStreams, TheSameShowRenderedTwiceGivesTheSameBytesFlashIncluded) {
  ShowDir show(support::busy_show(700));
  for (const char* run : {"1", "2"}) {
    std::string name(run);
    auto result =
        render(show, "--raw raw" + name + " --grey grey" + name + " --ascii ascii" + name);
    ASSERT_EQ(result.status, 0) << result.err;
  }
  EXPECT_EQ(output(show, "raw1").size(), 700 * RAW_FRAME_BYTES);
  EXPECT_EQ(output(show, "grey1").size(), 700 * GREY_FRAME_BYTES);
  EXPECT_TRUE(output(show, "raw1") == output(show, "raw2"));
  EXPECT_TRUE(output(show, "grey1") == output(show, "grey2"));
  EXPECT_TRUE(output(show, "ascii1") == output(show, "ascii2"));
}

TEST(RenderStreams, HundredFramesAreSixteenThousandRawBytesEachAndGreyIsTheirLowByte) {
  ShowDir show(support::busy_show(700));
  auto result = render(show, "--frames 100 --raw out.raw --grey out.grey --ascii out.txt");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "loader  : loading data/mote-tundra-2003.dat\n");  // no farewell
  const std::string raw = output(show, "out.raw");
  const std::string grey = output(show, "out.grey");
  ASSERT_EQ(raw.size(), 1'600'000u);
  ASSERT_EQ(grey.size(), 800'000u);
  for (size_t i = 0; i < grey.size(); ++i)
    ASSERT_EQ(grey[i], raw[2 * i]) << "pixel " << i % 8000 << " of frame " << i / 8000;

  std::vector<std::string> numbers;
  auto frames = support::read_ascii_frames(output(show, "out.txt"), &numbers);
  ASSERT_EQ(frames.size(), 100u);
  EXPECT_EQ(output(show, "out.txt").size(), 100 * (25 * 81) + 10 * 2 + 90 * 3);
  for (size_t frame = 0; frame < frames.size(); ++frame) {
    EXPECT_EQ(numbers[frame], std::to_string(frame));
    for (const std::string& line : frames[frame]) ASSERT_EQ(line.size(), 80u);
  }
}

// Three views of known pictures, and a cycle fill whose every pixel is predictable:
//   columns   0- 39: image B through buffer 1, at x = 0
//   columns  60- 79: the cycle fill's 20 x 50 buffer
//   columns 100-139: image B again, through a view of buffer 1 placed at x = 100
//   columns 140-159: a colour wipe growing 4 columns a render in its 20 x 50 black buffer
//   elsewhere:       image A, the full-picture buffer under them all
Rgb image_a(int x, int y) {
  return {static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 5),
          static_cast<uint8_t>(x + y * 3)};
}
Rgb image_b(int x, int y) {
  return {static_cast<uint8_t>(255 - x * 6), static_cast<uint8_t>(128 + y), 0x40};
}

support::Bytes known_pictures_show() {
  return DataFileBuilder()
      .script(ScriptBuilder()
                  .newbuf(0, 0, 0, 160, 50)  // slot 0: image A over the whole picture
                  .newfx(0, STILL, 0)
                  .setchunk(0, 0x80, 1)
                  .start(0)
                  .newbuf(1, 0, 0, 40, 50)  // slot 1: image B at x = 0
                  .newfx(1, STILL, 1)
                  .setchunk(1, 0x80, 2)
                  .start(1)
                  .viewbuf(2, 100, 0, 1)  // slot 2: buffer 1's pixels seen at x = 100
                  .newfx(2, STILL, 2)
                  .start(2)
                  .newbuf(3, 60, 0, 20, 50)  // slot 3: the cycle fill
                  .newfx(3, CYCLE, 3)
                  .start(3)
                  .newbuf(4, 140, 0, 20, 50)  // slot 4: the wipe, columns 2-17, rows 10-39
                  .newfx(4, WIPE, 4)
                  .setint(4, 0x82, 2)
                  .setint(4, 0x83, 18)
                  .setint(4, 0x84, 10)
                  .setint(4, 0x85, 40)
                  .setint(4, 0x86, 4)
                  .setint(4, 0x87, 0x1234)
                  .setint(4, 0x81, 1)
                  .start(4)
                  .waitat(40)
                  .end())
      .image(support::make_png(160, 50, image_a))
      .image(support::make_png(40, 50, image_b))
      .bytes;
}

// The cycle's render k (frame k) writes rotl(0xF000, k) into pixels 0 to 998 - k of its 1000;
// a pixel keeps the colour of the last render that reached it, and pixel 999 is never written.
uint16_t cycle_pixel(int index, uint32_t frame) {
  if (index >= 999) return 0;
  const uint32_t last = std::min<uint32_t>(frame, 998 - index) % 16;
  return static_cast<uint16_t>(0xF000 << last | 0xF000 >> (16 - last));
}

uint16_t expected_pixel(int column, int row, uint32_t frame) {
  if (column < 40) return rgb565(image_b(column, row));
  if (column >= 60 && column < 80) return cycle_pixel(row * 20 + column - 60, frame);
  if (column >= 100 && column < 140) return rgb565(image_b(column - 100, row));
  if (column >= 140) {
    // Render k paints the columns that earlier renders grew: 4 (k - 1) of them, at most 16.
    const int x = column - 140, painted = std::min<int>(4 * static_cast<int>(frame), 16);
    return row >= 10 && row < 40 && x >= 2 && x < 2 + painted ? 0x1234 : 0;
  }
  return rgb565(image_a(column, row));
}

TEST(RenderStreams, RawPicturesHoldEveryBlitWherePlacedAndKeepWhatNoBlitReaches) {
  ShowDir show(known_pictures_show());
  auto result = render(show, "--raw out.raw");
  ASSERT_EQ(result.status, 0) << result.err;
  auto frames = support::read_raw_frames(output(show, "out.raw"));
  ASSERT_EQ(frames.size(), 40u);
  ASSERT_EQ(output(show, "out.raw").size(), 40 * RAW_FRAME_BYTES);
  EXPECT_EQ(cycle_pixel(0, 1), 0xE001);  // the model's own rotation, once
  for (uint32_t frame : {0u, 1u, 2u, 3u, 4u, 15u, 16u, 39u})
    for (int row = 0; row < 50; ++row)
      for (int column = 0; column < 160; ++column)
        ASSERT_EQ(frames[frame][row * 160 + column], expected_pixel(column, row, frame))
            << "column " << column << ", row " << row << ", frame " << frame;
}

TEST(RenderStats, ReportFramesEndClassesAndSlots) {
  ShowDir show(support::busy_show(40));
  auto whole = render(show, "--stats");
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_NE(whole.out.find("\nframes rendered: 40\nEND at frame: 40\n"), std::string::npos)
      << whole.out;
  EXPECT_NE(whole.out.find("\nFX class 0 cycle (colour cycle fill): slots 1\n"), std::string::npos)
      << whole.out;
  EXPECT_NE(whole.out.find("\nFX class 2 still (still image): slots 0\n"), std::string::npos)
      << whole.out;
  EXPECT_NE(whole.out.find("\nengine ms per frame: median "), std::string::npos) << whole.out;
  EXPECT_NE(whole.out.find("\naa_render ms per frame: median "), std::string::npos) << whole.out;

  auto cut = render(show, "--stats --frames 10");
  ASSERT_EQ(cut.status, 0) << cut.err;
  EXPECT_NE(cut.out.find("\nframes rendered: 10\nEND at frame: not reached"), std::string::npos)
      << cut.out;
}

TEST(RenderStats, AShowThatEndsAtOnceRendersNoFrame) {
  ShowDir show(DataFileBuilder().script(ScriptBuilder().end()).bytes);
  auto result = render(show, "--stats --raw out.raw --ascii out.txt");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("\nframes rendered: 0\nEND at frame: 0\n"), std::string::npos)
      << result.out;
  EXPECT_EQ(output(show, "out.raw"), "");
  EXPECT_EQ(output(show, "out.txt"), "");
}

}  // namespace
