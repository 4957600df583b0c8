// tundra-frame-times: where every frame of a show spends its time. Plays the show several times
// through the renderer's display (the player's engine, AA-lib's memory driver at 80 x 25, no
// clock), keeps each frame's fastest run so that a busy machine does not make a frame look slow,
// and reports the medians, the worst frames and the scenes they belong to.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "engine/show.h"
#include "fixtures/scenes.h"
#include "player/player.h"
#include "tools/render/render_display.h"

using bench::read_scenes;
using bench::scene_of;

namespace {

using Nanoseconds = std::chrono::nanoseconds;

struct FrameTime {
  Nanoseconds engine = Nanoseconds::max();  // script, effects and blits
  Nanoseconds render = Nanoseconds::max();  // aa_render
};

// The instance in each slot: a slot whose instance changes in a frame had an effect created.
std::vector<const fx::FxInstance*> instances(const engine::Show& show) {
  std::vector<const fx::FxInstance*> held;
  for (const auto& slot : show.engine().slots)
    held.push_back(slot ? slot->instance.get() : nullptr);
  return held;
}

// One run of the show; the fastest time of each frame is kept in `frames`, and the frames in
// which the script creates an effect are marked in `creates`.
bool play_once(const char* path, std::vector<FrameTime>& frames, std::vector<bool>& creates) {
  tools::render::RenderControl control;
  control.on_frame = [&](const tools::render::RenderedFrame& frame) {
    if (frames.size() <= frame.number) frames.resize(frame.number + 1);
    FrameTime& time = frames[frame.number];
    time.engine = std::min(time.engine, frame.engine_time);
    time.render = std::min(time.render, frame.render_time);
    return true;
  };
  std::unique_ptr<FILE, int (*)(FILE*)> quiet(std::fopen("/dev/null", "w"), std::fclose);
  try {
    std::unique_ptr<engine::Show> show = engine::load_show(path, {quiet.get(), quiet.get()});
    auto display = tools::render::render_display(control)();
    display->init(*display);
    show->start();
    display->start(*display);
    for (auto held = instances(*show); show->step(*display) == engine::Step::SHOWN;) {
      auto now = instances(*show);
      if (creates.size() < show->frame()) creates.resize(show->frame());
      if (now != held) creates[show->frame() - 1] = true;
      held = std::move(now);
    }
    display->close(*display);
  } catch (const engine::FatalError& error) {
    std::fputs(error.message.c_str(), stderr);
    return false;
  }
  return true;
}

double ms(Nanoseconds time) {
  return std::chrono::duration<double, std::milli>(time).count();
}

Nanoseconds median(std::vector<Nanoseconds> times) {
  if (times.empty()) return Nanoseconds::zero();
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  const char* scenes_path = nullptr;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (argument == "--scenes" && i + 1 < argc)
      scenes_path = argv[++i];
    else if (argument[0] != '-' && path == nullptr)
      path = argv[i];
    else {
      std::fprintf(stderr, "usage: tundra-frame-times [--runs R] [--scenes FILE] DATAFILE\n");
      return 2;
    }
  }
  if (path == nullptr) path = engine::DATA_FILE;

  std::vector<FrameTime> frames;
  std::vector<bool> creates;
  for (int run = 0; run < runs; ++run)
    if (!play_once(path, frames, creates)) return 255;
  creates.resize(frames.size(), false);
  const auto scenes = scenes_path ? read_scenes(scenes_path) : std::map<uint32_t, std::string>{};

  std::vector<Nanoseconds> engine_times, render_times;
  size_t worst = 0, worst_plain = 0, worst_creating = 0;
  bool any_plain = false, any_creating = false;
  for (size_t f = 0; f < frames.size(); ++f) {
    engine_times.push_back(frames[f].engine);
    render_times.push_back(frames[f].render);
    if (frames[f].engine > frames[worst].engine) worst = f;
    bool& any = creates[f] ? any_creating : any_plain;
    size_t& slowest = creates[f] ? worst_creating : worst_plain;
    if (!any || frames[f].engine > frames[slowest].engine) slowest = f;
    any = true;
  }
  if (frames.empty()) return 0;
  auto describe = [&](size_t f) {
    return std::to_string(ms(frames[f].engine)).substr(0, 6) + " ms at frame " + std::to_string(f) +
           " (" + scene_of(scenes, static_cast<uint32_t>(f)) + ")";
  };
  Nanoseconds engine_median = median(engine_times), render_median = median(render_times);
  Nanoseconds render_worst = *std::max_element(render_times.begin(), render_times.end());
  std::printf("frames: %zu\nruns: %d (each frame's fastest run is kept)\n", frames.size(), runs);
  std::printf("engine median: %.4f ms\n", ms(engine_median));
  std::printf("aa_render median: %.4f ms\n", ms(render_median));
  std::printf("engine / aa_render (medians): %.3f\n",
              render_median.count() ? double(engine_median.count()) / render_median.count() : 0.0);
  std::printf("engine worst: %s\n", describe(worst).c_str());
  if (any_plain)
    std::printf("engine worst without creating an effect: %s\n", describe(worst_plain).c_str());
  if (any_creating)
    std::printf("engine worst creating an effect: %s\n", describe(worst_creating).c_str());
  std::printf("aa_render worst: %.4f ms\n", ms(render_worst));
  // Scene by scene: where the engine's work exceeds AA-lib's render of the same frame.
  for (auto scene = scenes.begin(); scene != scenes.end(); ++scene) {
    const size_t first = scene->first;
    const size_t last = std::next(scene) == scenes.end() ? frames.size() : std::next(scene)->first;
    if (first >= std::min(last, frames.size())) continue;
    std::vector<Nanoseconds> engine_part(engine_times.begin() + first,
                                         engine_times.begin() + std::min(last, frames.size()));
    std::vector<Nanoseconds> render_part(render_times.begin() + first,
                                         render_times.begin() + std::min(last, frames.size()));
    size_t above = 0;
    for (size_t f = 0; f < engine_part.size(); ++f) above += engine_part[f] > render_part[f];
    std::printf("scene: %zu-%zu %s | %.4f | %.4f | %zu\n", first, first + engine_part.size() - 1,
                scene->second.c_str(), ms(median(engine_part)), ms(median(render_part)), above);
  }
  std::printf("engine total: %.1f ms for %zu frames\n",
              ms(std::accumulate(engine_times.begin(), engine_times.end(), Nanoseconds::zero())),
              frames.size());
  return 0;
}
