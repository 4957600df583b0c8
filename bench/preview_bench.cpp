// The live preview on the shipped show, from its sources as the build leaves them: a seek to the
// last frame (a replay from frame 0), and a save turned into the new picture (compile, check and
// replay to a late frame). Both on AA-lib's memory display, as the ASCII preview shows them.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "tools/preview/session.h"
#include "tools/render/render_display.h"

namespace {

const char* const show_source = TUNDRA_SHOW_SOURCE;

struct ShownSession {
  ShownSession() : session(preview::SessionOptions{show_source, {}, {}}) {
    display = tools::render::render_display(control)();
    display->init(*display);
    session.attach(display.get());
  }
  ~ShownSession() { display->close(*display); }

  tools::render::RenderControl control;
  preview::Session session;
  std::unique_ptr<engine::DisplayDriver> display;
};

bool have_source(benchmark::State& state) {
  if (std::filesystem::exists(show_source)) return true;
  state.SkipWithError("the show's sources are not in the build (make build)");
  return false;
}

// From the first frame to the last: the whole show stepped, every frame's buffers blitted
// (argument 1) or with no display at all (0), which is the engine's share.
void BM_PreviewSeekToTheLastFrame(benchmark::State& state) {
  if (!have_source(state)) return;
  ShownSession shown;
  if (state.range(0) == 0) shown.session.attach(nullptr);
  if (!shown.session.open(0, preview::Start::PAUSED)) {
    state.SkipWithError(shown.session.outcome().error.c_str());
    return;
  }
  const uint32_t last = shown.session.last_frame();
  for (auto _ : state) {
    state.PauseTiming();
    shown.session.seek(0);
    state.ResumeTiming();
    shown.session.seek(last);
  }
  state.counters["frames"] = last;
}
BENCHMARK(BM_PreviewSeekToTheLastFrame)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

// A reload at a frame near the end, as after a save there: the sources read, compiled and
// checked, the show made and replayed to the frame that was showing.
void BM_PreviewSaveToNewPicture(benchmark::State& state) {
  if (!have_source(state)) return;
  ShownSession shown;
  if (!shown.session.open(0, preview::Start::PAUSED)) {
    state.SkipWithError(shown.session.outcome().error.c_str());
    return;
  }
  shown.session.seek(shown.session.last_frame() - 100);
  for (auto _ : state) {
    if (!shown.session.reload()) state.SkipWithError(shown.session.outcome().error.c_str());
  }
  state.counters["frame"] = shown.session.frame();
}
BENCHMARK(BM_PreviewSaveToNewPicture)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace
