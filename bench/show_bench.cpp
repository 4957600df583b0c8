// A whole frame of the show against AA-lib's render of it, measured in one run so their ratio
// holds; and the show's start-up: loading the data file, decoding its PNGs, making the effects.
#include <filesystem>

#include "bench/fx_bench.h"
#include "engine/show.h"
#include "tools/render/render_display.h"

namespace {

const char* const show_path = TUNDRA_SHOW_DATA;

engine::Console quiet() {
  static FILE* sink = std::fopen("/dev/null", "w");
  return {sink, sink};
}

// The show on the renderer's display: AA-lib's memory driver on an 80 x 25 screen, the player's
// image size. Starts again from the beginning after END.
struct ShowPlayback {
  ShowPlayback() : show(engine::load_show(show_path, quiet())) {
    display = tools::render::render_display(control)();
    display->init(*display);
    show->start();
    display->start(*display);
  }
  ~ShowPlayback() { display->close(*display); }

  // A whole frame: script, renders, blits and AA-lib's render.
  void frame() {
    if (show->step(*display) == engine::Step::ENDED) show->reset();
  }
  // The engine's work of a frame: script and renders.
  void engine_frame() {
    if (show->step() == engine::Step::ENDED) show->reset();
  }

  std::unique_ptr<engine::Show> show;
  tools::render::RenderControl control;
  std::unique_ptr<engine::DisplayDriver> display;
};

bool have_show(benchmark::State& state) {
  if (std::filesystem::exists(show_path)) return true;
  state.SkipWithError("the show's data file is not built");
  return false;
}

void BM_ShowFrameWithRender(benchmark::State& state) {
  if (!have_show(state)) return;
  ShowPlayback show;
  for (auto _ : state) show.frame();
}
BENCHMARK(BM_ShowFrameWithRender);

void BM_ShowFrameEngineOnly(benchmark::State& state) {
  if (!have_show(state)) return;
  ShowPlayback show;
  for (auto _ : state) show.engine_frame();
}
BENCHMARK(BM_ShowFrameEngineOnly);

// AA-lib's render alone on the same screen, presenting a frame from the middle of the show.
void BM_AaRenderAlone(benchmark::State& state) {
  if (!have_show(state)) return;
  ShowPlayback show;
  for (int i = 0; i < 1500; ++i) show.frame();
  for (auto _ : state) show.display->present(*show.display, show.show->frame());
}
BENCHMARK(BM_AaRenderAlone);

void BM_StartUp(benchmark::State& state) {
  if (!have_show(state)) return;
  for (auto _ : state) {
    std::unique_ptr<engine::Show> show = engine::load_show(show_path, quiet());
    show->start();
    benchmark::DoNotOptimize(show->frame());
  }
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);

// The effects that build tables when they are made: the noise's ten frames, the melt's light
// map, the rotozoomer's sine table.
void BM_CreateEffect(benchmark::State& state) {
  const auto class_id = static_cast<uint8_t>(state.range(0));
  for (auto _ : state) {
    bench::BenchFx fx(class_id, 160, 50);
    benchmark::DoNotOptimize(fx.instance.get());
  }
}
BENCHMARK(BM_CreateEffect)->Arg(4)->Arg(6)->Arg(11)->Unit(benchmark::kMicrosecond);

}  // namespace
