// The show's soundtrack as libxmp plays it: as long as the show, sounding in every scene, its
// sections turning on the scenes' first frames; and mistakes in a score, named by line.
#include <gtest/gtest.h>
#include <xmp.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "fixtures/process.h"
#include "fixtures/scenes.h"
#include "support/show_harness.h"

namespace {

constexpr int FRAME_MS = 30;  // the show's frame
constexpr int ROW_MS = 120;   // the music's row: 4 frames
constexpr int SHOW_FRAMES = 4990;

// A player with the module loaded, released however the test ends.
struct Player {
  xmp_context context = xmp_create_context();
  bool loaded = xmp_load_module(context, TUNDRA_SHOW_MUSIC) == 0;
  bool started = loaded && xmp_start_player(context, 44100, XMP_FORMAT_MONO) == 0;
  ~Player() {
    if (started) xmp_end_player(context);
    if (loaded) xmp_release_module(context);
    xmp_free_context(context);
  }
};

TEST(ShowMusic, LastsAsLongAsTheShowSoundsInEverySceneAndTurnsWithIt) {
  Player player;
  ASSERT_TRUE(player.started) << TUNDRA_SHOW_MUSIC;
  const std::map<uint32_t, std::string> scenes =
      bench::read_scenes(TUNDRA_SOURCE_DIR "/show/scenes.txt");
  ASSERT_EQ(scenes.begin()->first, 0u);

  // Played tick by tick: where each order position starts, and each second's loudness.
  std::set<long> section_starts_ms;
  std::map<long, double> energy, samples;
  int position = -1, peak = 0;
  long elapsed_us = 0;
  xmp_frame_info info;
  while (elapsed_us < 2 * 1000000L * SHOW_FRAMES * FRAME_MS / 1000 &&
         xmp_play_frame(player.context) == 0) {
    xmp_get_frame_info(player.context, &info);
    if (info.loop_count > 0) break;
    if (info.pos != position) section_starts_ms.insert(elapsed_us / 1000);
    position = info.pos;
    const long second = elapsed_us / 1000000;
    const auto* sound = static_cast<const int16_t*>(info.buffer);
    for (int i = 0; i < info.buffer_size / 2; ++i) {
      energy[second] += double(sound[i]) * sound[i];
      peak = std::max(peak, std::abs(int(sound[i])));
    }
    samples[second] += info.buffer_size / 2;
    elapsed_us += info.frame_time;
  }
  EXPECT_NEAR(elapsed_us / 1000.0, SHOW_FRAMES * FRAME_MS, ROW_MS);
  xmp_module_info module;
  xmp_get_module_info(player.context, &module);
  EXPECT_NEAR(module.seq_data[0].duration, SHOW_FRAMES * FRAME_MS, ROW_MS);

  std::set<long> scene_starts_ms;
  for (const auto& [first, name] : scenes) scene_starts_ms.insert(long(first) * FRAME_MS);
  EXPECT_EQ(section_starts_ms, scene_starts_ms);

  // Every second but the last one and a half, where it fades out, is heard: the quietest is
  // near 1400 (-27 dBFS), where silence is 0; 500 is -36 dBFS.
  for (long second = 0; (second + 2) * 1000 <= SHOW_FRAMES * FRAME_MS; ++second) {
    const std::string scene = bench::scene_of(scenes, uint32_t(second * 1000 / FRAME_MS));
    ASSERT_GT(samples[second], 0) << second << " s, in " << scene;
    EXPECT_GT(std::sqrt(energy[second] / samples[second]), 500.0) << second << " s, in " << scene;
  }
  EXPECT_LT(peak, 32000);  // no clipping
}

TEST(ShowMusic, ScoreMistakesAreNamedByFileAndLine) {
  const struct {
    const char* score;
    const char* message;
  } cases[] = {
      {"channels a\npattern p 4\n0 | a C-4 piano\n",
       "score.txt:3: \"piano\" in channel a is no note, instrument"},
      {"channels a\npattern p 4\n4 | a C-4\n", "score.txt:3: the row 4 is outside 0 to 3"},
      {"channels a\npattern p 4\n0 | a E#4 # a sharp, then a comment\n",
       "score.txt:3: no note E#4"},
      {"channels a\npattern p 4\n0 | a C-4\n0 | a off\n",
       "score.txt:4: channel a at row 0 is written twice"},
      {"channels a\npattern p 2\n1 | a C-4\npattern q 4\nplay p at 0 3\n",
       "score.txt:5: \"p\" at row 3 runs past the pattern's 4 rows"},
      {"channels a\npattern p 4\n1 | a C-4\nscene x at 0 plays p\nscene y at 20 plays p\n",
       "score.txt:5: scene y starts at frame 20, but the scenes before it end at frame 16"},
      {"channels a\npattern p 4\n1 | a C-4\n", "score.txt: no scene plays anything"},
  };
  support::TempDir dir;
  const std::string score = dir.path + "/score.txt", module = dir.path + "/out.xm";
  for (const auto& c : cases) {
    std::ofstream(score) << c.score;
    int status = 0;
    const std::string said = support::run_command(std::string(TUNDRA_SHOW_MUSIC_PROGRAM) + " " +
                                                      support::shell_quote(score) + " " +
                                                      support::shell_quote(module) + " 2>&1",
                                                  &status);
    EXPECT_EQ(status, 1) << c.score;
    EXPECT_NE(said.find(c.message), std::string::npos) << said;
    EXPECT_NE(std::system(("test -e " + support::shell_quote(module)).c_str()), 0);
  }
}

TEST(ShowMusic, TheSameScoreGivesTheSameBytes) {
  support::TempDir dir;
  int status = -1;
  support::run_command(std::string(TUNDRA_SHOW_MUSIC_PROGRAM) + " " +
                           support::shell_quote(TUNDRA_SOURCE_DIR "/show/music/tundra.txt") + " " +
                           support::shell_quote(dir.path + "/again.xm"),
                       &status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(support::read_file(dir.path + "/again.xm") == support::read_file(TUNDRA_SHOW_MUSIC));
}

}  // namespace
