// Melting relief: one render, with a flow step, of a 160 x 50 and a 640 x 400 buffer.
#include "bench/fx_bench.h"

namespace {

void BM_MeltRender(benchmark::State& state) {
  const auto width = static_cast<uint16_t>(state.range(0));
  const auto height = static_cast<uint16_t>(state.range(1));
  bench::BenchFx fx(11, width, height);
  auto image = bench::pattern_image(width, height);
  fx.set(0x80, *image);
  fx.set(0x81, *image);
  fx.set(0x82, 1);
  bench::render_loop(state, fx);
}
BENCHMARK(BM_MeltRender)->Args({160, 50})->Args({640, 400});

}  // namespace
