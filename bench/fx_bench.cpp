// Helpers shared by the effect benchmarks.
#include "bench/fx_bench.h"

#include <string>
#include <vector>

namespace bench {

BenchFx::BenchFx(uint8_t class_id, uint16_t width, uint16_t height)
    : row(*fx::fx_classes.at(class_id)), entry(std::make_unique<engine::Buffer>()) {
  entry->width = width;
  entry->height = height;
  entry->pixels = engine::allocate_pixels(size_t{width} * height);
  instance = row.create(entry, random);
}

std::unique_ptr<datafile::ImageChunk> pattern_image(int width, int height) {
  auto image = std::make_unique<datafile::ImageChunk>();
  image->width = width;
  image->height = height;
  image->pixels = engine::allocate_pixels(image->pixel_count());
  for (size_t i = 0; i < image->pixel_count(); ++i)
    image->pixels[i] = static_cast<uint16_t>((i * 2654435761u) >> 7 | 0x0841);
  return image;
}

std::unique_ptr<datafile::FontChunk> pattern_font() {
  constexpr int count = datafile::MAX_GLYPHS, height = 16;
  std::vector<uint8_t> payload{count};
  uint32_t end = 0;
  for (int g = 0; g < count; ++g) {
    end += 6 + g % 8;
    payload.push_back(static_cast<uint8_t>(end));
    payload.push_back(static_cast<uint8_t>(end >> 8));
  }
  const uint32_t width = end + 1;
  for (uint32_t value : {width, uint32_t{height}}) {
    payload.push_back(static_cast<uint8_t>(value));
    payload.push_back(static_cast<uint8_t>(value >> 8));
  }
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      payload.insert(payload.end(), 4, static_cast<uint8_t>((x + y) % 2 ? 0xFF : 0));
  std::string error;
  return datafile::parse_font(payload.data(), payload.size(), error);
}

void render_loop(benchmark::State& state, BenchFx& fx) {
  uint32_t frame = 0;
  for (auto _ : state) {
    fx.row.render(*fx.instance, frame++ % 1000);  // early frames: the cycle fill still fills
    benchmark::DoNotOptimize(fx.entry->pixels[0]);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                          int64_t(fx.entry->pixel_count()));
}

}  // namespace bench
