// The player's sound through the real SDL2: the disk driver records what it sent in real time,
// a driver that does not exist stands for a machine where no device opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "engine/show.h"
#include "fixtures/process.h"
#include "fixtures/square_wave_module.h"
#include "player/music_clock.h"
#include "sound/music.h"
#include "support/show_harness.h"

namespace {

using support::Bytes;

// A grey still for `frames` frames, with `module` as its music when there is one.
Bytes show_with_music(uint16_t frames, const Bytes& module) {
  support::DataFileBuilder builder;
  builder.bytes = support::still_show(support::make_png(160, 50, support::Rgb{90, 90, 90}), frames);
  if (!module.empty()) builder.music(module);
  return builder.bytes;
}

struct Played {
  int status = -1;
  std::string err;
  int frames = 0;              // pictures AA-lib's stdout driver wrote
  bool recorded = false;       // the disk driver's file was made: a device opened
  std::vector<int16_t> sound;  // what it recorded, the silence before the music left out
  double seconds = 0;
};

// Plays `data_file` with the options `options` and SDL_AUDIODRIVER=`driver`, the picture as text.
// Whether the player said something of its sound (SDL's disk driver says where it writes).
bool says_sound(const std::string& err) {
  return err.find("no sound") != std::string::npos || err.find("music") != std::string::npos;
}

Played play(const Bytes& data_file, const std::string& driver, const std::string& options) {
  support::TempDir dir;
  dir.write("show.dat", data_file);
  const std::string in = "cd " + support::shell_quote(dir.path) + " && ";
  Played played;
  const auto start = std::chrono::steady_clock::now();
  support::run_command(in + "SDL_AUDIODRIVER=" + driver +
                           " SDL_DISKAUDIOFILE=sound.raw AAOPTS='-driver stdout -width 80 "
                           "-height 25' " TUNDRA_PLAYER " " +
                           options + " show.dat </dev/null >out 2>err",
                       &played.status);
  played.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  played.err = support::read_file(dir.path + "/err");
  const std::string out = support::read_file(dir.path + "/out");
  played.frames = static_cast<int>(std::count(out.begin(), out.end(), '\f'));
  played.recorded = std::filesystem::exists(dir.path + "/sound.raw");
  const std::string bytes = support::read_file(dir.path + "/sound.raw");
  played.sound.resize(bytes.size() / 2);
  if (!played.sound.empty())
    std::memcpy(played.sound.data(), bytes.data(), played.sound.size() * 2);
  // While paused SDL writes buffers of silence of its own: the music begins after them.
  auto& sound = played.sound;
  while (sound.size() >= 2048 &&
         std::all_of(sound.begin(), sound.begin() + 2048, [](int16_t s) { return s == 0; }))
    sound.erase(sound.begin(), sound.begin() + 2048);
  return played;
}

TEST(PlayerSound, TheDiskDriverRecordsTheDecodersSamplesInRealTimeAsThePictureGoes) {
  const Bytes module = support::square_wave_module();
  const Played played = play(show_with_music(300, module), "disk", "--no-farewell");
  ASSERT_EQ(played.status, 0) << played.err;
  EXPECT_FALSE(says_sound(played.err)) << played.err;
  // 300 frames are 9 s: the show ends once the sound has reached frame 300, a buffer or two on.
  const double sound_seconds = double(played.sound.size()) / 2 / 44100;
  EXPECT_GE(sound_seconds, 9.0);
  EXPECT_LE(sound_seconds, 9.2);
  EXPECT_GE(played.seconds, 9.0);
  EXPECT_LE(played.seconds, 12.0);
  EXPECT_GE(played.frames, 290);  // a slow moment may skip a frame, never slow the picture
  EXPECT_LE(played.frames, 300);

  auto reference = sound::open_music(module).music;
  std::vector<int16_t> decoded;
  for (sound::PcmFrame frame; decoded.size() < played.sound.size();) {
    reference->render(frame);
    decoded.insert(decoded.end(), frame.begin(), frame.end());
  }
  decoded.resize(played.sound.size());
  EXPECT_TRUE(decoded == played.sound);
}

TEST(PlayerSound, WithoutMusicOrDeviceTheTimerKeepsTimeAndTheReasonIsSaid) {
  const Bytes music = support::square_wave_module();
  const Bytes broken = {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'u', 'l', 'e'};
  struct Case {
    const char* what;
    Bytes module;
    std::string driver, options;
    std::string note;  // on stderr; empty: none about the sound
  } cases[] = {
      {"no music", {}, "disk", "", ""},
      {"--mute", music, "disk", "--mute", ""},
      {"-nosync", music, "disk", "-nosync", ""},
      {"no such driver", music, "no-such-driver", "", "engine  : no sound: "},
      {"a broken module", broken, "disk", "",
       "engine  : show.dat: chunk 2 (music) cannot be played: libxmp: "},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    const Played played =
        play(show_with_music(20, test.module), test.driver, test.options + " --no-farewell");
    EXPECT_EQ(played.status, 0);
    EXPECT_FALSE(played.recorded);
    EXPECT_EQ(played.frames, 20);  // every frame presented: the timer skips none
    if (test.note.empty())
      EXPECT_FALSE(says_sound(played.err)) << played.err;
    else
      EXPECT_NE(played.err.find(test.note), std::string::npos) << played.err;
  }
}

// A display that takes two frames' time to present: the picture falls behind the sound.
TEST(PlayerSound, ASlowDisplaySkipsFramesToShowTheSoundsFrame) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  engine::Show show(support::load_bytes(show_with_music(60, support::square_wave_module())));
  auto nothing = [](engine::DisplayDriver&) {};
  engine::DisplayDriver slow{nothing,
                             nothing,
                             [](engine::DisplayDriver&, const engine::Buffer&) {},
                             [](engine::DisplayDriver&, uint32_t) {
                               std::this_thread::sleep_for(std::chrono::milliseconds(60));
                             },
                             nothing,
                             [](engine::DisplayDriver&, uint32_t) { return 0; },
                             nullptr,
                             nullptr,
                             nullptr};
  show.start();
  auto clock = engine::MusicClock::open(show, "show.dat", {stdout, stderr});
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");
  ASSERT_NE(clock, nullptr);
  clock->start();
  std::vector<std::pair<uint32_t, uint32_t>> presented;  // the frame and the sound's then
  engine::play_with_sound(show, slow, *clock, {}, [&](uint32_t shown, uint32_t heard) {
    presented.emplace_back(shown, heard);
  });
  EXPECT_EQ(show.frame(), 60u);
  EXPECT_LT(presented.size(), 40u);  // a present for every second or third frame
  // Each frame presented is the one the sound had reached when its present began.
  for (size_t i = 1; i < presented.size(); ++i)
    EXPECT_GE(presented[i].first, presented[i - 1].second) << i;
}

}  // namespace
