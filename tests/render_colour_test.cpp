// tundra-render's colour view: --ansi writes each frame's cells as the colour display draws
// them, the same on every run, flash included; --colour-sheet draws them in a real font.
#include <gtest/gtest.h>

#include <sstream>

#include "fixtures/process.h"
#include "support/ansi_screen.h"
#include "support/render_harness.h"

namespace {

using support::Rgb;
using support::ShowDir;

// A still whose left half is red and right half blue, for `frames` frames.
support::Bytes halves_show(uint16_t frames) {
  auto halves = [](int x, int) { return x < 80 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; };
  return support::still_show(support::make_png(160, 50, halves), frames);
}

support::ProgramRun render(const ShowDir& show, const std::string& arguments) {
  return support::run_in(show.dir.path, TUNDRA_RENDER " " + arguments);
}

TEST(RenderAnsi, EachFrameIsTwentyFiveLinesOfColouredCellsThenItsNumber) {
  ShowDir show(halves_show(20));
  const auto result = render(show, "--ansi - --frames 12");
  ASSERT_EQ(result.status, 0) << result.err;
  std::vector<std::string> lines;
  std::istringstream stream(result.out);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 12u * 26) << "nothing but the frames on standard output";
  for (size_t frame = 0; frame < 12; ++frame) {
    SCOPED_TRACE(frame);
    std::string text;
    for (size_t row = 0; row < 25; ++row) text += lines[frame * 26 + row] + "\n";
    const support::Screen screen = support::read_screen(text);
    EXPECT_EQ(support::count(screen, 0, 0, 40, 25, 0xFF0000), 40 * 25);
    EXPECT_EQ(support::count(screen, 40, 0, 80, 25, 0x0000FF), 40 * 25);
    EXPECT_EQ(lines[frame * 26 + 25], std::to_string(frame));
  }
}

TEST(RenderAnsi, TheSameShowGivesTheSameTextOnEveryRunAndItsFlashesShow) {
  ShowDir show(support::busy_show(700));
  for (const char* name : {"one", "two"}) {
    const auto result = render(show, std::string("--ansi ") + name);
    ASSERT_EQ(result.status, 0) << result.err;
  }
  const std::string one = support::read_file(show.file("one"));
  EXPECT_TRUE(one == support::read_file(show.file("two")));
  // Frame 600 starts the first flash: its frames are brighter than the calm ones before.
  auto frame_text = [&](int frame) {
    const size_t end = one.find("\n" + std::to_string(frame) + "\n");
    const size_t start = one.rfind("\n" + std::to_string(frame - 1) + "\n", end);
    return one.substr(start, end - start);
  };
  EXPECT_NE(frame_text(599), frame_text(602));
  EXPECT_NE(frame_text(601), frame_text(602)) << "the flash's noise differs frame by frame";
}

TEST(RenderAnsi, AFileThatCannotBeWrittenIsNamedAndTwoStandardOutputsAreAMistake) {
  ShowDir show(halves_show(5));
  auto result = render(show, "--ansi no/such/dir/frames.txt");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot create no/such/dir/frames.txt"), std::string::npos)
      << result.err;
  result = render(show, "--ansi - --ascii -");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("both write to standard output"), std::string::npos) << result.err;
}

TEST(RenderColourSheet, ThumbnailsShowTheCellsColoursInAFont) {
  ShowDir show(halves_show(40));
  const auto result = render(show, "--colour-sheet sheet.png --every 10");
  ASSERT_EQ(result.status, 0) << result.err;
  const auto png = support::read_png(show.file("sheet.png"));
  ASSERT_TRUE(png);
  ASSERT_EQ(png->channels, 3);
  // Four thumbnails in a row, 80 cells of 8 pixels shrunk by 2 and 12 apart.
  EXPECT_EQ(png->width, 12 + 4 * (320 + 12));
  for (int thumbnail = 0; thumbnail < 4; ++thumbnail) {
    const int left = 12 + thumbnail * 332;
    for (int y : {14, 40, 80}) {
      const uint8_t* red = png->at(left + 20, y);
      const uint8_t* blue = png->at(left + 300, y);
      EXPECT_TRUE(red[0] == 255 && red[1] == 0 && red[2] == 0) << thumbnail << " at " << y;
      EXPECT_TRUE(blue[0] == 0 && blue[1] == 0 && blue[2] == 255) << thumbnail << " at " << y;
    }
  }
}

}  // namespace
