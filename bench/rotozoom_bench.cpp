// Rotozoomer: one render of a 160 x 50 and a 640 x 400 buffer from a 256 x 256 texture.
#include "bench/fx_bench.h"

namespace {

void BM_RotozoomRender(benchmark::State& state) {
  bench::BenchFx fx(4, static_cast<uint16_t>(state.range(0)),
                    static_cast<uint16_t>(state.range(1)));
  auto texture = bench::pattern_image(256, 256);
  fx.set(0x80, *texture);
  bench::render_loop(state, fx);
}
BENCHMARK(BM_RotozoomRender)->Args({160, 50})->Args({640, 400});

}  // namespace
