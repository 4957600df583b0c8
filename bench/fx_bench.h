// Shared by the effect benchmarks: an effect on a fresh buffer with its parameters set.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

#include "fx/fx_table.h"

namespace bench {

struct BenchFx {
  BenchFx(uint8_t class_id, uint16_t width, uint16_t height);
  void set(uint8_t id, int32_t value) { row.set_param(*instance, id, {value, nullptr}); }
  void set(uint8_t id, const datafile::Chunk& chunk) { row.set_param(*instance, id, {0, &chunk}); }

  const fx::FxClass& row;
  engine::BufferEntry entry;
  fx::Random random;  // its own stream, at its start: each benchmark draws the same numbers
  std::unique_ptr<fx::FxInstance> instance;
};

// An image whose pixels are a deterministic pattern, never all black.
std::unique_ptr<datafile::ImageChunk> pattern_image(int width, int height);

// A font of all 42 glyphs, 16 rows tall, advancing 6 to 13 pixels, lit in a checker pattern.
std::unique_ptr<datafile::FontChunk> pattern_font();

// Renders the effect once per iteration; the frame counter advances like the show's.
void render_loop(benchmark::State& state, BenchFx& fx);

}  // namespace bench
