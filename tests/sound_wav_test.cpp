// The WAV writer: a 300-frame piece, to bytes and to a file, read back field by field.
#include <gtest/gtest.h>

#include <cstdio>

#include "sound/pcm.h"
#include "sound/wav.h"

namespace {

uint32_t u32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}
uint16_t u16(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
std::string text(const std::vector<uint8_t>& bytes, size_t at) {
  return std::string(bytes.begin() + at, bytes.begin() + at + 4);
}

TEST(SoundWav, A300FramePieceLastsNineSecondsToBytesAndToAFile) {
  constexpr int FRAMES = 300;
  sound::PcmFrame frame;
  std::vector<uint8_t> bytes{'x'};  // something before: the header is patched where it began
  sound::WavWriter to_bytes(bytes);
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  sound::WavWriter to_file(file);
  for (int f = 0; f < FRAMES; ++f) {
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<int16_t>(f * 1000 - i);
    ASSERT_TRUE(to_bytes.write(frame));
    ASSERT_TRUE(to_file.write(frame));
  }
  ASSERT_TRUE(to_bytes.finish());
  ASSERT_TRUE(to_file.finish());

  const uint32_t data_bytes = FRAMES * 1323 * 4;
  ASSERT_EQ(bytes.size(), 1 + 44 + data_bytes);
  bytes.erase(bytes.begin());
  EXPECT_EQ(text(bytes, 0), "RIFF");
  EXPECT_EQ(u32(bytes, 4), 36 + data_bytes);
  EXPECT_EQ(text(bytes, 8), "WAVE");
  EXPECT_EQ(text(bytes, 12), "fmt ");
  EXPECT_EQ(u32(bytes, 16), 16u);      // fmt's size
  EXPECT_EQ(u16(bytes, 20), 1);        // PCM
  EXPECT_EQ(u16(bytes, 22), 2);        // stereo
  EXPECT_EQ(u32(bytes, 24), 44100u);   // samples a second
  EXPECT_EQ(u32(bytes, 28), 176400u);  // bytes a second
  EXPECT_EQ(u16(bytes, 32), 4);        // bytes a stereo sample
  EXPECT_EQ(u16(bytes, 34), 16);       // bits
  EXPECT_EQ(text(bytes, 36), "data");
  EXPECT_EQ(u32(bytes, 40), data_bytes);
  EXPECT_DOUBLE_EQ(double(u32(bytes, 40)) / u32(bytes, 28), 9.0);
  // The last frame's last right sample, little-endian: 299 x 1000 - 2645, wrapped to 16 bits.
  EXPECT_EQ(int16_t(u16(bytes, bytes.size() - 2)), int16_t(299 * 1000 - 2645));

  std::vector<uint8_t> from_file(bytes.size() + 1);
  std::rewind(file);
  EXPECT_EQ(std::fread(from_file.data(), 1, from_file.size(), file), bytes.size());
  from_file.pop_back();
  EXPECT_EQ(from_file, bytes);
  std::fclose(file);
}

}  // namespace
