// Colour wipe: one render of a whole 160 x 50 and 640 x 400 buffer, once the wipe is full.
#include "bench/fx_bench.h"

namespace {

void BM_WipeRender(benchmark::State& state) {
  bench::BenchFx fx(12, static_cast<uint16_t>(state.range(0)),
                    static_cast<uint16_t>(state.range(1)));
  fx.set(0x83, static_cast<int32_t>(state.range(0)));  // right
  fx.set(0x85, static_cast<int32_t>(state.range(1)));  // bottom
  fx.set(0x86, 8);                                     // increment
  fx.set(0x81, 1);                                     // left to right
  bench::render_loop(state, fx);
}
BENCHMARK(BM_WipeRender)->Args({160, 50})->Args({640, 400});

}  // namespace
