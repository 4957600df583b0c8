// SDL2's audio output through its disk driver (a file written in real time), its dummy driver
// (a machine without a sound card) and a driver that does not exist.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "sound/audio_device.h"
#include "support/process.h"
#include "support/square_wave_module.h"

namespace {

using sound::PcmFrame;
using sound::SAMPLES_PER_FRAME;

// SDL reads its driver from the environment when its audio starts; the test's is put back.
struct AudioDriver {
  explicit AudioDriver(const char* name, const std::string& file = "") {
    setenv("SDL_AUDIODRIVER", name, 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  }
  ~AudioDriver() {
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
  }
};

std::unique_ptr<sound::Music> square_wave() {
  return sound::open_music(support::square_wave_module()).music;
}

TEST(SoundAudioDevice, TheDiskDriverRecordsTheMusicInRealTimeAndItsFade) {
  const std::string path = testing::TempDir() + "sound-disk-driver.raw";
  AudioDriver driver("disk", path);
  auto music = square_wave();
  auto opened = sound::open_audio_device(*music);
  ASSERT_NE(opened.device, nullptr) << opened.error;
  EXPECT_EQ(opened.device->driver(), "disk");
  EXPECT_EQ(opened.device->latency_samples(), 1024);
  const auto start = std::chrono::steady_clock::now();
  opened.device->resume();
  ASSERT_TRUE(opened.device->wait_for_frame(20, 5000));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  opened.device->fade_out(150);  // 5 frames, 6,615 samples
  ASSERT_TRUE(opened.device->wait_for_frame(30, 5000));
  opened.device.reset();
  // SDL's disk driver waits a buffer's time between buffers: 20 frames cannot be heard in less
  // than (20 x 1323 - 1024) / 44100 s. A clock that ran ahead of the sound would.
  EXPECT_GE(seconds, (20.0 * SAMPLES_PER_FRAME - 1024) / 44100);

  const std::string recorded_bytes = support::read_file(path);
  std::filesystem::remove(path);
  const size_t recorded = recorded_bytes.size() / 4;
  ASSERT_GE(recorded, 30u * SAMPLES_PER_FRAME);
  std::vector<int16_t> recording(recorded * 2), decoded;
  std::memcpy(recording.data(), recorded_bytes.data(), recorded * 4);
  auto reference = square_wave();
  PcmFrame frame;
  while (decoded.size() < recording.size()) {
    reference->render(frame);
    decoded.insert(decoded.end(), frame.begin(), frame.end());
  }
  // What was sent is what the decoder gives, up to where the fade began (after frame 20 was
  // heard); from there each sample is quieter, and 6,615 samples on there is silence.
  size_t fade = 0;
  while (fade < recording.size() && recording[fade] == decoded[fade]) ++fade;
  fade /= 2;
  EXPECT_GE(fade, 20u * SAMPLES_PER_FRAME);
  ASSERT_LT(fade + 6615, recorded);
  for (size_t i = fade * 2; i < recording.size(); ++i) {
    EXPECT_LE(std::abs(recording[i]), std::abs(decoded[i])) << "sample " << i / 2;
    if (i >= (fade + 6615) * 2) {
      ASSERT_EQ(recording[i], 0) << "sample " << i / 2;
    }
  }
}

TEST(SoundAudioDevice, TheDummyDriverOpensAndItsClockRunsStopsAndSeeks) {
  AudioDriver driver("dummy");
  auto music = square_wave();
  auto opened = sound::open_audio_device(*music);
  ASSERT_NE(opened.device, nullptr) << opened.error;
  sound::AudioDevice& device = *opened.device;
  EXPECT_EQ(device.driver(), "dummy");
  EXPECT_EQ(device.frame(), 0);
  device.resume();
  ASSERT_TRUE(device.wait_for_frame(5, 5000));
  device.pause();
  const int32_t paused_at = device.frame();
  EXPECT_GE(paused_at, 5);
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
