// SDL2's audio output through its disk driver (a file written in real time), its dummy driver
// (a machine without a sound card) and a driver that does not exist.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "fixtures/process.h"
#include "fixtures/square_wave_module.h"
#include "sound/audio_device.h"

namespace {

// SDL reads its driver from the environment when its audio starts; the test's is put back.
struct AudioDriver {
  AudioDriver(const char* name, const std::string& file = "") {
    setenv("SDL_AUDIODRIVER", name, 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  }
  ~AudioDriver() { unsetenv("SDL_AUDIODRIVER"), unsetenv("SDL_DISKAUDIOFILE"); }
};

std::unique_ptr<sound::Music> square_wave() {
  return sound::open_music(support::square_wave_module()).music;
}

TEST(SoundAudioDevice, TheDiskDriverRecordsTheMusicInRealTimeAndItsFade) {
  const std::string path = testing::TempDir() + "disk-audio-" + std::to_string(getpid());
  AudioDriver driver("disk", path);
  auto music = square_wave();
  auto device = sound::open_audio_device(*music).device;
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->driver(), "disk");
  const auto start = std::chrono::steady_clock::now();
  device->resume();
  ASSERT_TRUE(device->wait_for_frame(20, 5000));
  const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
  device->fade_out(150);  // 6,615 samples, from the next buffer: a frame after this one at most
  ASSERT_TRUE(device->wait_for_frame(device->frame() + 8, 5000));
  const int32_t buffer = device->latency_samples();
  device.reset();
  // The disk driver waits a buffer's time after each buffer: a clock that ran ahead of the
  // sound would reach frame 20 before 20 frames, less a buffer, could be heard.
  EXPECT_GE(taken.count(), (20.0 * 1323 - buffer) / 44100);

  const std::string bytes = support::read_file(path);
  std::filesystem::remove(path);
  std::vector<int16_t> recorded(bytes.size() / 2), decoded;
  std::memcpy(recorded.data(), bytes.data(), recorded.size() * 2);
  // While paused SDL writes buffers of silence of its own: the music begins after them.
  while (recorded.size() >= 2048 && std::all_of(recorded.begin(), recorded.begin() + 2048,
                                                [](int16_t sample) { return sample == 0; }))
    recorded.erase(recorded.begin(), recorded.begin() + 2048);
  auto reference = square_wave();
  for (sound::PcmFrame frame; decoded.size() < recorded.size();) {
    reference->render(frame);
    decoded.insert(decoded.end(), frame.begin(), frame.end());
  }
  // What was sent is what the decoder gives until the fade began (after frame 20 was heard);
  // from there every sample is quieter, and 6,615 samples on there is only silence.
  size_t fade =
      std::mismatch(recorded.begin(), recorded.end(), decoded.begin()).first - recorded.begin();
  EXPECT_GE(fade, 2u * 20 * 1323);
  ASSERT_LT(fade + 2 * 6615, recorded.size()) << "the fade began at " << fade;
  for (size_t i = fade; i < recorded.size(); ++i) {
    ASSERT_LE(std::abs(recorded[i]), std::abs(decoded[i])) << "at " << i;
    if (i >= fade + 2 * 6615) {
      ASSERT_EQ(recorded[i], 0) << "at " << i;
    }
  }
}

TEST(SoundAudioDevice, TheDummyDriverOpensAndItsClockRunsStopsAndSeeks) {
  AudioDriver driver("dummy");
  auto music = square_wave();
  auto opened = sound::open_audio_device(*music);
  ASSERT_NE(opened.device, nullptr) << opened.error;
  sound::AudioDevice& device = *opened.device;
  EXPECT_EQ(device.frame(), 0);
  device.resume();
  ASSERT_TRUE(device.wait_for_frame(5, 5000));
  device.pause();
  const int32_t paused_at = device.frame();
  EXPECT_FALSE(device.wait_for_frame(paused_at + 2, 200));
  EXPECT_EQ(device.frame(), paused_at);
  device.seek(40);
  EXPECT_EQ(device.frame(), 40);
  EXPECT_EQ(music->next_frame(), 40);  // read here only because the device is paused
  device.resume();
  EXPECT_TRUE(device.wait_for_frame(42, 5000));
}

TEST(SoundAudioDevice, NoDeviceGivesSdlsReason) {
  AudioDriver driver("no-such-driver");
  auto music = square_wave();
  auto opened = sound::open_audio_device(*music);
  EXPECT_EQ(opened.device, nullptr);
  EXPECT_NE(opened.error.find("no-such-driver"), std::string::npos) << opened.error;
}

}  // namespace
