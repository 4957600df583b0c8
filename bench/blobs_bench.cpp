// Bouncing blobs: one render of eight blobs on a 160 x 50 and a 640 x 400 buffer.
#include "bench/fx_bench.h"

namespace {

void BM_BlobsRender(benchmark::State& state) {
  bench::BenchFx fx(9, static_cast<uint16_t>(state.range(0)),
                    static_cast<uint16_t>(state.range(1)));
  fx.set(0x80, 8);
  bench::render_loop(state, fx);
}
BENCHMARK(BM_BlobsRender)->Args({160, 50})->Args({640, 400});

}  // namespace
