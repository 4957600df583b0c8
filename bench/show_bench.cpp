// A whole frame of the show against AA-lib's render of it, measured in one run so their ratio
// holds; and the show's start-up: loading the data file, decoding its PNGs, making the effects.
#include <aalib.h>

#include <cstdlib>
#include <filesystem>

#include "bench/fx_bench.h"
#include "display/ascii_display.h"
#include "engine/engine.h"
#include "engine/fatal.h"

namespace {

const char* const show_path = TUNDRA_SHOW_DATA;

engine::Console quiet() {
  static FILE* sink = std::fopen("/dev/null", "w");
  return {sink, sink};
}

// AA-lib's memory driver on an 80 x 25 screen, as the renderer uses it: the player's image size.
struct MemoryScreen {
  MemoryScreen() {
    aa_hardware_params params = aa_defparams;
    params.width = 80;
    params.height = 25;
    params.supported = AA_NORMAL_MASK;
    context = aa_init(&mem_d, &params, nullptr);
  }
  ~MemoryScreen() { aa_close(context); }
  void render() {
    display::decay_flash(params);
    aa_render(context, &params, 0, 0, aa_scrwidth(context), aa_scrheight(context));
  }
  aa_context* context;
  aa_renderparams params = display::initial_render_params();
};

// The show frame by frame, its buffers blitted into the screen's image as the player's display
// does. Starts again from the beginning after END.
struct ShowPlayback {
  explicit ShowPlayback(MemoryScreen& screen) : screen(screen) { restart(); }

  void restart() {
    std::srand(1);
    engine.reset();
    engine = std::make_unique<engine::Engine>(datafile::load_data_file(show_path, quiet()));
    engine::run_script(*engine);
  }

  // The engine's work of one frame: script, renders and blits.
  void frame() {
    if (engine::run_script(*engine) != 0) {
      restart();
      engine::run_script(*engine);
    }
    engine::render_pass(*engine);
    for (int i = 0; i < engine::DISPATCHED_SLOTS; ++i) {
      const auto& slot = engine->slots[i];
      if (slot && slot->state == engine::SlotState::RUNNING && slot->level == engine::FULL_LEVEL)
        display::blit_to_image(aa_image(screen.context), aa_imgwidth(screen.context),
                               aa_imgheight(screen.context), 160, 50,
                               *engine->buffers[slot->buffer_index]);
    }
    display::start_flash(screen.params, engine->frame_counter);
    ++engine->frame_counter;
  }

  MemoryScreen& screen;
  std::unique_ptr<engine::Engine> engine;
};

bool have_show(benchmark::State& state) {
  if (std::filesystem::exists(show_path)) return true;
  state.SkipWithError("the show's data file is not built");
  return false;
}

void BM_ShowFrameWithRender(benchmark::State& state) {
  if (!have_show(state)) return;
  MemoryScreen screen;
  ShowPlayback show(screen);
  for (auto _ : state) {
    show.frame();
    screen.render();
  }
}
BENCHMARK(BM_ShowFrameWithRender);

void BM_ShowFrameEngineOnly(benchmark::State& state) {
  if (!have_show(state)) return;
  MemoryScreen screen;
  ShowPlayback show(screen);
  for (auto _ : state) show.frame();
}
BENCHMARK(BM_ShowFrameEngineOnly);

// AA-lib's render alone on the same screen, holding a frame from the middle of the show.
void BM_AaRenderAlone(benchmark::State& state) {
  if (!have_show(state)) return;
  MemoryScreen screen;
  ShowPlayback show(screen);
  for (int i = 0; i < 1500; ++i) show.frame();
  for (auto _ : state) screen.render();
}
BENCHMARK(BM_AaRenderAlone);

void BM_StartUp(benchmark::State& state) {
  if (!have_show(state)) return;
  for (auto _ : state) {
    std::srand(1);
    engine::Engine show(datafile::load_data_file(show_path, quiet()));
    engine::run_script(show);
    benchmark::DoNotOptimize(show.frame_counter);
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
