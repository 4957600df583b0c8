// Music decoded by the real libxmp: a module made here, frame by frame, seeks and refusals.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "fixtures/process.h"
#include "fixtures/square_wave_module.h"
#include "sound/music.h"

namespace {

using support::SQUARE_MODULE_FRAMES;

std::unique_ptr<sound::Music> square_wave() {
  return sound::open_music(support::square_wave_module()).music;
}

// The module's frames, and ten after its end.
std::vector<sound::PcmFrame> play_through(sound::Music& music) {
  std::vector<sound::PcmFrame> frames(SQUARE_MODULE_FRAMES + 10);
  for (auto& frame : frames) music.render(frame);
  return frames;
}

TEST(SoundMusic, AModuleSoundsForItsLengthAndIsSilentAfter) {
  auto music = square_wave();
  ASSERT_NE(music, nullptr);
  EXPECT_EQ(music->title(), "tundra test tune");
  EXPECT_EQ(music->duration_frames(), SQUARE_MODULE_FRAMES);
  std::vector<int> peaks;
  for (const auto& frame : play_through(*music)) {
    peaks.push_back(0);
    for (int sample : frame) peaks.back() = std::max(peaks.back(), std::abs(sample));
  }
  for (int i = 0; i < int(peaks.size()); ++i)
    EXPECT_EQ(peaks[i] > 1000, i < SQUARE_MODULE_FRAMES) << "frame " << i << ": " << peaks[i];
  EXPECT_TRUE(music->ended());
  EXPECT_GT(peaks[60], peaks[2]);  // four voices sound louder than the first one alone
}

TEST(SoundMusic, SeekingGivesTheSamplesOfPlayingThrough) {
  const auto through = play_through(*square_wave());
  auto music = square_wave();
  sound::PcmFrame frame;
  // Forward, back to a frame already played, to the start, forward again, past the end.
  for (int32_t target : {37, 5, 0, 50, 5, 62, SQUARE_MODULE_FRAMES + 1}) {
    music->seek(target);
    EXPECT_EQ(music->next_frame(), target);
    for (int i = 0; i < 3; ++i) {
      music->render(frame);
      EXPECT_EQ(frame, through[target + i]) << "frame " << target + i << " after a seek";
    }
  }
}

TEST(SoundMusic, ARefusedModuleGivesTheReason) {
  const auto module = support::square_wave_module();
  const std::vector<uint8_t> empty, unknown(module.size(), 0x55),
      truncated(module.begin(), module.begin() + 1584),  // in the pattern
      huge(sound::MAX_MODULE_BYTES + 1, 0);
  const std::pair<const std::vector<uint8_t>*, const char*> cases[] = {
      {&empty, "the module is empty"},
      {&unknown, "libxmp: unrecognised module format"},
      {&truncated, "libxmp: error loading the module"},
      {&huge, "bytes, more than the 16777216"},
  };
  for (const auto& [bytes, reason] : cases) {
    auto opened = sound::open_music(*bytes);
    EXPECT_EQ(opened.music, nullptr);
    EXPECT_NE(opened.error.find(reason), std::string::npos) << opened.error;
  }
}

// Some of libxmp's loaders work through a temporary file, for which it sets the process's umask
// to 0177 and leaves it so: every file the program wrote afterwards (a WAV, a page, a video) would
// be its owner's alone. The modules the fuzzers kept include such ones.
TEST(SoundMusic, OpeningAModuleLeavesTheUmaskAsItWas) {
  const std::filesystem::path kept(TUNDRA_FUZZ_REGRESSIONS);
  int opened = 0;
  for (const auto& folder : {kept / "open_music", kept.parent_path() / "corpus" / "open_music"}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string bytes = support::read_file(entry.path().string());
      const mode_t before = umask(022);
      sound::open_music(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
      EXPECT_EQ(umask(before), mode_t{022}) << entry.path();
      ++opened;
    }
  }
  EXPECT_GT(opened, 0);
}

}  // namespace
