// Image fade: one render, fading in, of a 160 x 50 and a 640 x 400 buffer.
#include "bench/fx_bench.h"

namespace {

void BM_FadeRender(benchmark::State& state) {
  const auto width = static_cast<uint16_t>(state.range(0));
  const auto height = static_cast<uint16_t>(state.range(1));
  bench::BenchFx fx(7, width, height);
  auto image = bench::pattern_image(width, height);
  fx.set(0x81, *image);
  fx.set(0x80, 0);
  bench::render_loop(state, fx);  // after 31 renders the level stays 0: the steady cost
}
BENCHMARK(BM_FadeRender)->Args({160, 50})->Args({640, 400});

}  // namespace
