// The WAV writer: a 300-frame piece, to bytes and to a file, read back field by field.
#include <gtest/gtest.h>

#include <cstdio>

#include "sound/pcm.h"
#include "sound/wav.h"

namespace {

// A little-endian field of `size` bytes at `at`.
uint32_t field(const std::vector<uint8_t>& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

TEST(SoundWav, A300FramePieceLastsNineSecondsToBytesAndToAFile) {
  std::vector<uint8_t> bytes{'x'};  // something before: the header is patched where it began
  sound::WavWriter to_bytes(bytes);
  FILE* file = std::tmpfile();
  sound::WavWriter to_file(file);
  sound::PcmFrame frame;
  for (int f = 0; f < 300; ++f) {
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<int16_t>(f * 1000 - i);
    ASSERT_TRUE(to_bytes.write(frame) && to_file.write(frame));
  }
  ASSERT_TRUE(to_bytes.finish() && to_file.finish());

  const uint32_t data_bytes = 300 * 1323 * 4;
  ASSERT_EQ(bytes.size(), 1 + 44 + data_bytes);
  bytes.erase(bytes.begin());
  auto text = [&](size_t at) { return std::string(bytes.begin() + at, bytes.begin() + at + 4); };
  EXPECT_EQ(text(0) + text(8) + text(12) + text(36), "RIFFWAVEfmt data");
  EXPECT_EQ(field(bytes, 4, 4), 36 + data_bytes);
  EXPECT_EQ(field(bytes, 16, 4), 16u);      // fmt's size
  EXPECT_EQ(field(bytes, 20, 2), 1u);       // integer PCM
  EXPECT_EQ(field(bytes, 22, 2), 2u);       // stereo
  EXPECT_EQ(field(bytes, 24, 4), 44100u);   // samples a second
  EXPECT_EQ(field(bytes, 28, 4), 176400u);  // bytes a second
  EXPECT_EQ(field(bytes, 32, 2), 4u);       // bytes a stereo sample
  EXPECT_EQ(field(bytes, 34, 2), 16u);      // bits
  EXPECT_EQ(field(bytes, 40, 4), data_bytes);
  EXPECT_DOUBLE_EQ(double(field(bytes, 40, 4)) / field(bytes, 28, 4), 9.0);  // seconds
  // The last right sample: 299 x 1000 - 2645, wrapped to 16 bits.
  EXPECT_EQ(int16_t(field(bytes, bytes.size() - 2, 2)), int16_t(299 * 1000 - 2645));

  std::vector<uint8_t> from_file(bytes.size() + 1);
  std::rewind(file);
  from_file.resize(std::fread(from_file.data(), 1, from_file.size(), file));
  EXPECT_EQ(from_file, bytes);
  std::fclose(file);
}

}  // namespace
