// Static noise: one render of a 160 x 50 and a 640 x 400 buffer in mode 1, revealing an image.
#include "bench/fx_bench.h"

namespace {

void BM_NoiseRender(benchmark::State& state) {
  const auto width = static_cast<uint16_t>(state.range(0));
  const auto height = static_cast<uint16_t>(state.range(1));
  bench::BenchFx fx(6, width, height);  // the static is made here, outside the timing
  auto image = bench::pattern_image(width, height);
  fx.set(0x81, *image);
  fx.set(0x80, 1);
  bench::render_loop(state, fx);
}
BENCHMARK(BM_NoiseRender)->Args({160, 50})->Args({640, 400});

}  // namespace
