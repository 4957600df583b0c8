// Spark column: one render of a 160 x 50 and a 640 x 400 buffer, a spark on every tenth row.
#include "bench/fx_bench.h"

namespace {

void BM_SparksRender(benchmark::State& state) {
  bench::BenchFx fx(10, static_cast<uint16_t>(state.range(0)),
                    static_cast<uint16_t>(state.range(1)));
  fx.set(0x80, static_cast<int32_t>(state.range(1) / 10));
  bench::render_loop(state, fx);
}
BENCHMARK(BM_SparksRender)->Args({160, 50})->Args({640, 400});

}  // namespace
