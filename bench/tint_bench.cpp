// Tinted particles: one render of a 160 x 50 and a 640 x 400 buffer with 2000 particles.
#include "bench/fx_bench.h"

namespace {

void BM_TintRender(benchmark::State& state) {
  const auto width = static_cast<uint16_t>(state.range(0));
  const auto height = static_cast<uint16_t>(state.range(1));
  bench::BenchFx fx(3, width, height);
  auto source = bench::pattern_image(width, height);
  fx.set(0x81, *source);
  fx.set(0x80, 2000);
  bench::render_loop(state, fx);
}
BENCHMARK(BM_TintRender)->Args({160, 50})->Args({640, 400});

}  // namespace
