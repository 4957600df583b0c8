// tundra-render's pictures and its command line: PNG frames, ASCII art drawn in AA-lib's font,
// the GIF animation and the contact sheet, read back with libpng and giflib.
#include <gtest/gtest.h>

#include <aalib.h>

#include <filesystem>
#include <sstream>

#include "fixtures/process.h"
#include "support/render_harness.h"

namespace {

using support::DataFileBuilder;
using support::ScriptBuilder;
using support::ShowDir;

constexpr uint8_t CYCLE = 0;
constexpr uint8_t STILL = 2;

support::ProgramRun render(const ShowDir& show, const std::string& arguments) {
  return support::run_in(show.dir.path, TUNDRA_RENDER " " + arguments);
}

bool exists(const ShowDir& show, const std::string& name) {
  return std::filesystem::exists(show.file(name));
}

// An RGB565 pixel as 8-bit channels: the top bits of each channel repeated below it.
std::array<uint8_t, 3> rgb888(uint16_t pixel) {
  const int red = pixel >> 11, green = pixel >> 5 & 63, blue = pixel & 31;
  return {static_cast<uint8_t>(red << 3 | red >> 2), static_cast<uint8_t>(green << 2 | green >> 4),
          static_cast<uint8_t>(blue << 3 | blue >> 2)};
}

// The font AA-lib draws an 80 x 25 screen of its memory driver with.
const aa_font& screen_font() {
  static const aa_font* font = [] {
    aa_hardware_params params = aa_defparams;
    params.width = 80;
    params.height = 25;
    aa_context* context = aa_init(&mem_d, &params, nullptr);
    const aa_font* current = aa_currentfont(context);
    aa_close(context);
    return current;
  }();
  return *font;
}

TEST(RenderPictures, PngFramesComeEveryKFramesScaledFromTheRawPicture) {
  ShowDir show(support::busy_show(25));
  auto result = render(show, "--png pictures --every 10 --scale 3 --raw out.raw");
  ASSERT_EQ(result.status, 0) << result.err;
  auto raw = support::read_raw_frames(support::read_file(show.file("out.raw")));
  ASSERT_EQ(raw.size(), 25u);
  EXPECT_FALSE(exists(show, "pictures/frame-00001.png"));
  EXPECT_FALSE(exists(show, "pictures/frame-00030.png"));
  for (uint32_t frame : {0u, 10u, 20u}) {
    char name[64];
    std::snprintf(name, sizeof name, "pictures/frame-%05u.png", frame);
    auto png = support::read_png(show.file(name));
    ASSERT_TRUE(png) << name;
    ASSERT_EQ(png->width, 480);
    ASSERT_EQ(png->height, 150);
    ASSERT_EQ(png->channels, 3);
    for (int y = 0; y < 150; ++y)
      for (int x = 0; x < 480; ++x) {
        auto expected = rgb888(raw[frame][(y / 3) * 160 + x / 3]);
        const uint8_t* got = png->at(x, y);
        ASSERT_TRUE(got[0] == expected[0] && got[1] == expected[1] && got[2] == expected[2])
            << name << " at " << x << "," << y;
      }
  }
}

// Two runs: AA-lib must render every frame whether or not it is written, or the noise of the
// flash in frame 605 would differ from the text of a run that writes them all.
TEST(RenderPictures, AsciiPngsDrawEachCharacterWithAaLibsFontBitmap) {
  ShowDir show(support::busy_show(650));
  auto art_run = render(show, "--ascii-png art --every 605");
  ASSERT_EQ(art_run.status, 0) << art_run.err;
  auto text_run = render(show, "--ascii out.txt");
  ASSERT_EQ(text_run.status, 0) << text_run.err;
  auto text = support::read_ascii_frames(support::read_file(show.file("out.txt")), nullptr);
  ASSERT_EQ(text.size(), 650u);
  EXPECT_FALSE(exists(show, "art/frame-00001.png"));
  const aa_font& font = screen_font();
  for (uint32_t frame : {0u, 605u}) {  // calm, and in the flash
    char name[64];
    std::snprintf(name, sizeof name, "art/frame-%05u.png", frame);
    auto png = support::read_png(show.file(name));
    ASSERT_TRUE(png) << name;
    ASSERT_EQ(png->width, 80 * 8);
    ASSERT_EQ(png->height, 25 * font.height);
    ASSERT_EQ(png->channels, 1);
    const uint8_t lit = *std::max_element(png->bytes.begin(), png->bytes.end());
    EXPECT_GT(lit, 0x80);
    for (int row = 0; row < 25; ++row)
      for (int column = 0; column < 80; ++column) {
        const auto c = static_cast<unsigned char>(text[frame][row][column]);
        for (int y = 0; y < font.height; ++y)
          for (int x = 0; x < 8; ++x) {
            const bool bit = (font.data[c * font.height + y] >> (7 - x) & 1) != 0;
            ASSERT_EQ(*png->at(column * 8 + x, row * font.height + y), bit ? lit : 0)
                << name << ": character '" << c << "' at column " << column << ", row " << row;
          }
      }
  }
}

// Still for frames 0 to 19, then a cycle fill that changes the picture most frames.
support::Bytes still_then_moving() {
  auto texture = [](int x, int y) {
    return support::Rgb{static_cast<uint8_t>(x), static_cast<uint8_t>(x * 5 + y * 9),
                        static_cast<uint8_t>(y * 7)};
  };
  return DataFileBuilder()
      .script(ScriptBuilder()
                  .newbuf(0, 0, 0, 160, 50)
                  .newfx(0, STILL, 0)
                  .setchunk(0, 0x80, 1)
                  .start(0)
                  .waitat(20)
                  .newbuf(1, 60, 0, 40, 50)
                  .newfx(1, CYCLE, 1)
                  .start(1)
                  .waitat(40)
                  .end())
      .image(support::make_png(160, 50, texture))
      .bytes;
}

TEST(RenderGif, PlaysTheAsciiFramesAtThirtyMillisecondsMergingRepeats) {
  ShowDir show(still_then_moving());
  auto result = render(show, "--gif show.gif --ascii-png art --ascii out.txt");
  ASSERT_EQ(result.status, 0) << result.err;
  auto text = support::read_ascii_frames(support::read_file(show.file("out.txt")), nullptr);
  ASSERT_EQ(text.size(), 40u);
  size_t runs = 1;
  for (size_t frame = 1; frame < text.size(); ++frame) runs += text[frame] != text[frame - 1];

  auto gif = support::read_gif(show.file("show.gif"));
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->width, 640);
  EXPECT_EQ(gif->height, 25 * screen_font().height);
  EXPECT_TRUE(gif->loops);
  ASSERT_EQ(gif->frames.size(), runs);
  EXPECT_LT(runs, 40u - 15);  // the still start is one long frame
  EXPECT_GE(gif->delays.at(0), 20 * 3);

  // Shown for its delay, each GIF image is the ASCII art of every frame it stands for.
  uint32_t frame = 0;
  for (size_t image = 0; image < gif->frames.size(); ++image) {
    ASSERT_GT(gif->delays[image], 0);
    ASSERT_EQ(gif->delays[image] % 3, 0);
    for (int repeat = 0; repeat < gif->delays[image] / 3; ++repeat, ++frame) {
      char name[64];
      std::snprintf(name, sizeof name, "art/frame-%05u.png", frame);
      auto art = support::read_png(show.file(name));
      ASSERT_TRUE(art) << name;
      ASSERT_TRUE(art->bytes == gif->frames[image]) << "GIF image " << image << ", frame " << frame;
    }
  }
  EXPECT_EQ(frame, 40u);
}

TEST(RenderGif, AShowThatEndsAtOnceGivesOneBlankFrameOfTheScreensSize) {
  ShowDir show(DataFileBuilder().script(ScriptBuilder().end()).bytes);
  auto result = render(show, "--gif show.gif");
  ASSERT_EQ(result.status, 0) << result.err;
  auto gif = support::read_gif(show.file("show.gif"));
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->width, 640);
  ASSERT_EQ(gif->frames.size(), 1u);
  EXPECT_EQ(std::count(gif->frames[0].begin(), gif->frames[0].end(), 0), 640 * gif->height);
}

// The sheet's cells are 336 x 132 pixels (two 160 x 100 views, a gap, the label, a margin) in
// rows of four, inside a 12-pixel margin.
TEST(RenderSheet, PutsOneLabelledPairEveryKFramesInRowsOfFour) {
  ShowDir show(support::busy_show(40));
  struct Case {
    const char* every;
    int width, height;
  };
  for (Case sheet : {Case{"", 12 + 2 * 336, 12 + 132},  // default: frames 0 and 33
                     Case{"--every 10", 12 + 4 * 336, 12 + 132},
                     Case{"--every 8", 12 + 4 * 336, 12 + 2 * 132}}) {
    auto result = render(show, std::string("--sheet sheet.png --raw out.raw ") + sheet.every);
    ASSERT_EQ(result.status, 0) << result.err;
    auto png = support::read_png(show.file("sheet.png"));
    ASSERT_TRUE(png) << sheet.every;
    EXPECT_EQ(png->width, sheet.width) << sheet.every;
    EXPECT_EQ(png->height, sheet.height) << sheet.every;
    // The first thumbnail is frame 0's colour picture, each pixel drawn 1 x 2.
    auto raw = support::read_raw_frames(support::read_file(show.file("out.raw")));
    for (int y : {0, 1, 60, 61})
      for (int x : {0, 70, 159}) {
        auto expected = rgb888(raw[0][(y / 2) * 160 + x]);
        const uint8_t* got = png->at(12 + x, 12 + y);
        EXPECT_TRUE(got[0] == expected[0] && got[1] == expected[1] && got[2] == expected[2])
            << sheet.every << " at " << x << "," << y;
      }
  }
}

TEST(RenderCommandLine, HelpListsEveryOption) {
  auto result = support::run_in("/", TUNDRA_RENDER " --help");
  EXPECT_EQ(result.status, 0);
  for (const char* option : {"--frames N", "--raw FILE", "--grey FILE", "--ascii FILE", "--png DIR",
                             "--every K", "--scale S", "--ascii-png DIR", "--sheet FILE",
                             "--gif FILE", "--stats", "--help", "[DATAFILE]"})
    EXPECT_NE(result.out.find(option), std::string::npos) << option;
}

TEST(RenderCommandLine, BadOptionsGiveTheUsageAndStatusTwoBeforeAnythingRuns) {
  for (const char* arguments :
       {"--bogus", "--frames", "--frames ten", "--frames -1", "--every 0", "--scale 0",
        "--scale 1000", "--stats=yes", "--raw=", "one.dat two.dat", "-nosync"}) {
    auto result = support::run_in("/", TUNDRA_RENDER " " + std::string(arguments));
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_EQ(result.out, "") << arguments;  // not even the loader's line
    EXPECT_NE(result.err.find("usage: tundra-render"), std::string::npos) << arguments;
  }
}

TEST(RenderCommandLine, AnOutputThatCannotBeWrittenIsStatusOneNamingIt) {
  ShowDir show(support::busy_show(5));
  auto result = render(show, "--raw missing/dir/out.raw");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("missing/dir/out.raw"), std::string::npos) << result.err;
  auto sheet = render(show, "--sheet data");  // a directory
  EXPECT_EQ(sheet.status, 1);
}

TEST(RenderCommandLine, HelpFitsEightyColumnsAndMistakesAreNotSilent) {
  ShowDir show(support::busy_show(5));
  auto help = render(show, "--help");
  EXPECT_EQ(help.status, 0);
  std::istringstream lines(help.out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;

  struct Case {
    const char* arguments;
    int status;
    const char* message;  // a part of what standard error says
  };
  for (Case mistake : {Case{"--png pictures --ascii-png ./pictures/", 2, "one folder"},
                       Case{"--stats >/dev/full", 1, "cannot write --stats to standard output"}}) {
    auto result = render(show, mistake.arguments);
    EXPECT_EQ(result.status, mistake.status) << mistake.arguments;
    EXPECT_NE(result.err.find(mistake.message), std::string::npos) << result.err;
  }
  EXPECT_FALSE(exists(show, "pictures"));
}

TEST(RenderCommandLine, ADataFileGivenByPathAndValuesAfterAnEqualsSign) {
  ShowDir show(support::busy_show(50));
  std::filesystem::rename(show.file("data/mote-tundra-2003.dat"), show.file("other.dat"));
  auto result = render(show, "--frames=7 --raw=out.raw other.dat");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "loader  : loading other.dat\n");
  EXPECT_EQ(support::read_file(show.file("out.raw")).size(), 7 * 16000u);
}

}  // namespace
