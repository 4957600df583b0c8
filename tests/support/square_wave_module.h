// A 4-channel ProTracker module made byte by byte: a square wave sample, four notes, 16 rows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace support {

// Rows at the module's speed of 6 ticks of 20 ms (125 BPM): 16 rows last 1.92 s, 64 frames.
constexpr int SQUARE_MODULE_FRAMES = 64;

// The note C-2 on channel 0 at row 0, then E-2, G-2 and C-3 on channels 1 to 3 at rows 4, 8
// and 12, each holding to the end; row 15 breaks to the next order, and there is none.
inline std::vector<uint8_t> square_wave_module() {
  std::vector<uint8_t> mod;
  auto put = [&](std::initializer_list<uint8_t> bytes) { mod.insert(mod.end(), bytes); };
  auto put_text = [&](const char* text, size_t width) {
    std::vector<uint8_t> field(width, 0);
    std::memcpy(field.data(), text, std::min(width, std::strlen(text)));
    mod.insert(mod.end(), field.begin(), field.end());
  };
  put_text("tundra test tune", 20);  // title
  // Sample 1: its name, length 16 words (32 bytes, big-endian), finetune 0, volume 64, loop
  // from word 0 over 16 words: the whole wave, forever.
  put_text("square", 22);
  put({0, 16, 0, 64, 0, 0, 0, 16});
  for (int sample = 2; sample <= 31; ++sample) {  // samples 2 to 31: empty, a loop of 1 word
    put_text("", 22);
    put({0, 0, 0, 0, 0, 0, 0, 1});
  }
  put({1, 127});        // one order; the restart byte that ProTracker writes
  put_text("", 128);    // the orders: pattern 0, then unused zeros
  put_text("M.K.", 4);  // 4 channels, 31 samples
  // Pattern 0: 64 rows of 4 cells of 4 bytes: the sample's high nibble and the period's top
  // 4 bits, the period's low byte, the sample's low nibble and the effect, its parameter.
  std::vector<uint8_t> pattern(64 * 4 * 4, 0);
  auto cell = [&](int row, int channel, uint16_t period, uint8_t effect, uint8_t parameter) {
    uint8_t* at = &pattern[(row * 4 + channel) * 4];
    const uint8_t sample = period != 0 ? 1 : 0;
    at[0] = static_cast<uint8_t>((sample & 0xF0) | (period >> 8));
    at[1] = static_cast<uint8_t>(period);
    at[2] = static_cast<uint8_t>((sample << 4) | effect);
    at[3] = parameter;
  };
  cell(0, 0, 428, 0, 0);      // C-2
  cell(4, 1, 339, 0, 0);      // E-2
  cell(8, 2, 285, 0, 0);      // G-2
  cell(12, 3, 214, 0, 0);     // C-3
  cell(15, 0, 0, 0xD, 0x00);  // pattern break to row 0 of the next order: the song's end
  mod.insert(mod.end(), pattern.begin(), pattern.end());
  // The sample: 8-bit signed, 16 high then 16 low, a square wave whose cycle is its 32 bytes.
  for (int i = 0; i < 32; ++i) mod.push_back(static_cast<uint8_t>(i < 16 ? 100 : -100));
  return mod;
}

}  // namespace support
