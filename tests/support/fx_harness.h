// One effect on its own, outside the engine: a buffer entry to draw into, the class's row, and
// chunks made in memory to hand to it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "datafile/chunk.h"
#include "fx/fx_table.h"

namespace support {

// A buffer table entry holding a black buffer of width x height.
engine::BufferEntry make_entry(uint16_t width, uint16_t height);

// An image chunk of width x height whose pixel (x, y) is pixel(x, y).
std::unique_ptr<datafile::ImageChunk> make_image(
    int width, int height, const std::function<uint16_t(int x, int y)>& pixel);
std::unique_ptr<datafile::ImageChunk> make_image(int width, int height, uint16_t pixel);

// A text chunk holding exactly `bytes` (add the zero byte yourself).
std::unique_ptr<datafile::TextChunk> make_text(const std::string& bytes);

// An effect of class `class_id` created on a fresh width x height buffer.
struct FxUnderTest {
  FxUnderTest(uint8_t class_id, uint16_t width, uint16_t height);

  void render(uint32_t frame_counter = 0) { row.render(*instance, frame_counter); }
  void set(uint8_t id, int32_t value) { row.set_param(*instance, id, {value, nullptr}); }
  void set(uint8_t id, const datafile::Chunk& chunk) { row.set_param(*instance, id, {0, &chunk}); }
  uint16_t pixel(int x, int y) const { return entry->pixels[size_t(y) * entry->width + x]; }
  engine::Buffer& buffer() { return *entry; }
  template <typename Record>
  Record& record() {
    return static_cast<Record&>(*instance);
  }

  const fx::FxClass& row;
  engine::BufferEntry entry;
  // The effect's own stream, at its start when the effect is created, as a new show's is.
  fx::Random random;
  std::unique_ptr<fx::FxInstance> instance;
};

}  // namespace support
