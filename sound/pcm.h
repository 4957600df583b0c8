// The show's sound format, stated once: 16-bit signed stereo PCM at 44,100 Hz, 1,323 samples a
// frame.
#pragma once

#include <array>
#include <cstdint>

namespace sound {

constexpr int32_t SAMPLE_RATE = 44100;  // samples a second, per channel
constexpr int32_t CHANNELS = 2;         // interleaved left, right
constexpr int32_t FRAME_MS = 30;        // the show's frame
// 44,100 x 0.030 is a whole number, so frame n begins exactly at sample n x 1323 and no frame
// carries a fraction of a sample over to the next.
constexpr int32_t SAMPLES_PER_FRAME = SAMPLE_RATE * FRAME_MS / 1000;
static_assert(SAMPLES_PER_FRAME * 1000 == SAMPLE_RATE * FRAME_MS);
static_assert(SAMPLES_PER_FRAME == 1323);
constexpr int32_t BYTES_PER_SAMPLE = CHANNELS * int32_t{sizeof(int16_t)};  // one stereo sample

// One frame's sound: left and right interleaved, in the machine's byte order.
using PcmFrame = std::array<int16_t, SAMPLES_PER_FRAME * CHANNELS>;

}  // namespace sound
