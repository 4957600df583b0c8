// The colour display as the engine drives it: the pictures of a show whose effects draw from
// libc's random stream are the same on it as on any other display, and its frames as ANSI text
// when its output is no terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "display/colour_display.h"
#include "display/picture.h"
#include "engine/show.h"
#include "fixtures/process.h"
#include "player/player.h"
#include "support/show_harness.h"

namespace {

using display::ColourMode;
using display::PixelMode;

uint64_t digest(const display::Picture& picture) {
  uint64_t hash = 0xCBF29CE484222325u;
  for (uint16_t pixel : picture.pixels) hash = (hash ^ pixel) * 0x100000001B3u;
  return hash;
}

// A display that hands every call on to another and keeps the picture the engine composed.
struct Witness : engine::DisplayState {
  std::unique_ptr<engine::DisplayDriver> inner;
  display::Picture picture;
  std::vector<uint64_t> digests;  // the picture at every present
};

Witness& witness(engine::DisplayDriver& display) {
  return static_cast<Witness&>(*display.state);
}

std::unique_ptr<engine::DisplayDriver> witnessed(std::unique_ptr<engine::DisplayDriver> inner) {
  auto state = std::make_unique<Witness>();
  state->inner = std::move(inner);
  return std::make_unique<engine::DisplayDriver>(engine::DisplayDriver{
      [](engine::DisplayDriver& d) { witness(d).inner->close(*witness(d).inner); },
      [](engine::DisplayDriver& d) { witness(d).inner->init(*witness(d).inner); },
      [](engine::DisplayDriver& d, const engine::Buffer& buffer) {
        witness(d).picture.blit(buffer);
        witness(d).inner->blit(*witness(d).inner, buffer);
      },
      [](engine::DisplayDriver& d, uint32_t frame) {
        witness(d).digests.push_back(digest(witness(d).picture));
        witness(d).inner->present(*witness(d).inner, frame);
      },
      [](engine::DisplayDriver& d) { witness(d).inner->start(*witness(d).inner); },
      [](engine::DisplayDriver& d, uint32_t frame) {
        return witness(d).inner->poll_quit(*witness(d).inner, frame);
      },
      nullptr, nullptr, std::move(state)});
}

// The first 1400 frames hold the title's static, the aurora's blobs and four flashes.
constexpr uint32_t FRAMES = 1400;

std::vector<uint64_t> play(engine::Show& show, engine::DisplayDriver& display) {
  show.reset();
  display.init(display);
  display.start(display);
  while (show.frame() < FRAMES && show.step(display) == engine::Step::SHOWN) {
  }
  display.close(display);
  return witness(display).digests;
}

TEST(ColourDisplay, TheEngineMakesTheSamePicturesWhicheverDisplayShowsThem) {
  // The shipped show: blobs and static draw from the random stream, and it flashes every 200
  // frames from frame 600, where the colour display draws noise of its own.
  const std::string text = support::read_file(TUNDRA_SHOW);
  auto show =
      std::make_unique<engine::Show>(support::load_bytes(support::Bytes(text.begin(), text.end())));
  show->start();

  auto recorded = std::make_shared<display::Recording>();
  auto plain = witnessed(display::recording_display(recorded)());
  const std::vector<uint64_t> expected = play(*show, *plain);
  ASSERT_EQ(expected.size(), FRAMES);

  support::TempDir dir;
  std::string terminal_names[] = {"TERM=xterm-256color", "COLORTERM=truecolor"};
  char* environment[] = {terminal_names[0].data(), terminal_names[1].data(), nullptr};
  // In 24-bit colour the flash is laid on the cells, in palette colours into the pixels.
  const display::DisplayOptions modes[] = {{ColourMode::TRUECOLOR, PixelMode::SYMBOLS},
                                           {ColourMode::INDEXED_256, PixelMode::SYMBOLS}};
  for (const display::DisplayOptions& options : modes) {
    SCOPED_TRACE(int(options.colours));
    const std::string path = dir.path + "/frames";
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(out, 0);
    auto colour = witnessed(display::create_colour_display(options, {-1, out, environment}));
    const std::vector<uint64_t> shown = play(*show, *colour);
    ::close(out);
    ASSERT_EQ(shown.size(), expected.size());
    for (size_t frame = 0; frame < shown.size(); ++frame)
      ASSERT_EQ(shown[frame], expected[frame]) << "frame " << frame;
    // And the display did show them: a frame of text for every picture.
    const std::string frames = support::read_file(path);
    EXPECT_EQ(size_t(std::count(frames.begin(), frames.end(), '\f')), shown.size());
  }
}

// The flash is timed by the frame number present is given, and by nothing else: the same
// picture presented at frame 0, in a flash and at frame 0 again.
TEST(ColourDisplay, TheFlashFollowsTheFramePresentIsGiven) {
  support::TempDir dir;
  const std::string path = dir.path + "/frames";
  const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(out, 0);
  char* environment[] = {nullptr};
  auto colour = display::create_colour_display({ColourMode::TRUECOLOR, PixelMode::SYMBOLS},
                                               {-1, out, environment});
  colour->init(*colour);
  for (uint32_t frame : {0u, 601u, 0u}) colour->present(*colour, frame);
  colour->close(*colour);
  ::close(out);
  const std::string text = support::read_file(path);
  std::vector<std::string> frames;
  for (size_t at = 0, end; (end = text.find("\f\n", at)) != std::string::npos; at = end + 2)
    frames.push_back(text.substr(at, end - at));
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_NE(frames[0], frames[1]);
  EXPECT_EQ(frames[0], frames[2]);
}

TEST(ColourDisplay, AnOutputThatFailsEndsTheShowWithItsReason) {
  const uint32_t frame = 1;
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  char* environment[] = {nullptr};
  auto colour = display::create_colour_display({}, {-1, full, environment});
  colour->init(*colour);
  try {
    colour->present(*colour, frame);
    ADD_FAILURE() << "no error";
  } catch (const engine::OutputFailed& failure) {
    EXPECT_EQ(failure.message, "engine  : cannot write the picture: No space left on device\n");
  }
  colour->close(*colour);
  ::close(full);
}

}  // namespace
