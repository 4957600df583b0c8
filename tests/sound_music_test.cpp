// Music decoded by the real libxmp: a module made here, frame by frame, seeks and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "sound/music.h"
#include "support/square_wave_module.h"

namespace {

using sound::PcmFrame;

std::unique_ptr<sound::Music> open_square_wave() {
  const auto module = support::square_wave_module();
  auto opened = sound::open_music(module);
  EXPECT_EQ(opened.error, "");
  return std::move(opened.music);
}

int peak(const PcmFrame& frame) {
  int peak = 0;
  for (int16_t sample : frame) peak = std::max(peak, std::abs(int{sample}));
  return peak;
}

TEST(SoundMusic, AModuleSoundsForItsLengthAndIsSilentAfter) {
  auto music = open_square_wave();
  ASSERT_NE(music, nullptr);
  EXPECT_EQ(music->title(), "tundra test tune");
  EXPECT_EQ(music->duration_frames(), support::SQUARE_MODULE_FRAMES);
  PcmFrame frame;
  std::vector<int> peaks;
  for (int i = 0; i < support::SQUARE_MODULE_FRAMES + 10; ++i) {
    music->render(frame);
    peaks.push_back(peak(frame));
  }
  for (int i = 0; i < support::SQUARE_MODULE_FRAMES; ++i)
    EXPECT_GT(peaks[i], 1000) << "frame " << i;
  for (int i = support::SQUARE_MODULE_FRAMES; i < int(peaks.size()); ++i)
    EXPECT_EQ(peaks[i], 0) << "frame " << i;
  EXPECT_TRUE(music->ended());
  EXPECT_EQ(music->next_frame(), support::SQUARE_MODULE_FRAMES + 10);
  // Four voices are louder than one: the chord builds up a note every 4 rows (8 frames).
  EXPECT_GT(peaks[60], peaks[2]);
}

TEST(SoundMusic, SeekingGivesTheSamplesOfPlayingThrough) {
  std::vector<PcmFrame> through(support::SQUARE_MODULE_FRAMES + 4);
  auto reference = open_square_wave();
  for (auto& frame : through) reference->render(frame);

  auto music = open_square_wave();
  PcmFrame frame;
  // Forward, back to a frame already played, to the start, forward again, past the end.
  for (int32_t target : {37, 5, 0, 50, 5, 62, support::SQUARE_MODULE_FRAMES + 1}) {
    SCOPED_TRACE(target);
    music->seek(target);
    EXPECT_EQ(music->next_frame(), target);
    for (int i = 0; i < 3; ++i) {
      music->render(frame);
      EXPECT_EQ(frame, through[target + i]) << "frame " << target + i;
    }
  }
}

TEST(SoundMusic, ARefusedModuleGivesTheReason) {
  auto module = support::square_wave_module();
  std::vector<uint8_t> truncated(module.begin(), module.begin() + 1084 + 500);  // in the pattern
  std::vector<uint8_t> unknown(module.size(), 0x55);
  std::vector<uint8_t> huge(sound::MAX_MODULE_BYTES + 1, 0), empty;
  const struct {
    const char* name;
    const std::vector<uint8_t>& bytes;
    const char* reason;
  } cases[] = {
      {"empty", empty, "the module is empty"},
      {"no known format", unknown, "libxmp: unrecognised module format"},
      {"cut short", truncated, "libxmp: error loading the module"},
      {"too big", huge, "bytes, more than the 16777216"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto opened = sound::open_music(c.bytes);
    EXPECT_EQ(opened.music, nullptr);
    EXPECT_NE(opened.error.find(c.reason), std::string::npos) << opened.error;
  }
}

}  // namespace
