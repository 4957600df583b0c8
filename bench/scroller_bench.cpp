// Text scroller: one render of a 160 x 50 and a 640 x 400 buffer, a glyph drawn every few.
#include <string>

#include "bench/fx_bench.h"

namespace {

void BM_ScrollerRender(benchmark::State& state) {
  bench::BenchFx fx(8, static_cast<uint16_t>(state.range(0)),
                    static_cast<uint16_t>(state.range(1)));
  auto font = bench::pattern_font();
  datafile::TextChunk text;
  const std::string line = "the quick brown fox jumps over the lazy dog, 0123456789!";
  text.bytes.assign(line.begin(), line.end());
  text.bytes.push_back(0);
  fx.set(0x81, text);
  fx.set(0x82, *font);
  bench::render_loop(state, fx);
}
BENCHMARK(BM_ScrollerRender)->Args({160, 50})->Args({640, 400});

}  // namespace
