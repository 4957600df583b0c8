// Colour cycle fill: one render of a 160 x 50 and a 640 x 400 buffer.
#include "bench/fx_bench.h"

namespace {

void BM_CycleRender(benchmark::State& state) {
  bench::BenchFx fx(0, static_cast<uint16_t>(state.range(0)),
                    static_cast<uint16_t>(state.range(1)));
  bench::render_loop(state, fx);
}
BENCHMARK(BM_CycleRender)->Args({160, 50})->Args({640, 400});

}  // namespace
