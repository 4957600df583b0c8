// Page curtain: renders of a 160 x 50 and a 640 x 400 buffer kept on the first page with no
// pause, so nearly every render draws the whole target row by row.
#include "bench/fx_bench.h"

namespace {

void BM_CurtainRender(benchmark::State& state) {
  const auto width = static_cast<uint16_t>(state.range(0));
  const auto height = static_cast<uint16_t>(state.range(1));
  bench::BenchFx fx(5, width, height);
  auto pages = bench::pattern_image(width, 650);
  fx.set(0x80, *pages);
  fx.set(0x81, 0);
  fx.set(0x82, 1);
  fx.set(0x83, 0);
  for (auto _ : state) {
    fx.set(0x83, 0);  // never reaches the last page, so never finishes
    fx.row.render(*fx.instance, 0);
    benchmark::DoNotOptimize(fx.entry->pixels[0]);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                          int64_t(fx.entry->pixel_count()));
}
BENCHMARK(BM_CurtainRender)->Args({160, 50})->Args({640, 400});

}  // namespace
