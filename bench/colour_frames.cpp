// tundra-colour-frames: what the colour display costs for every frame of a show. Records the
// show's pictures once through the renderer, then shows them on the colour view as the player's
// colour display does (cells converted, the changed runs written, or a sixel image for a
// changed picture) at each terminal size, several times with a fresh view each time; keeps each
// frame's fastest run and reports medians, the worst frame and the bytes written.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "display/cell_grid.h"
#include "display/colour_view.h"
#include "display/flash.h"
#include "engine/show.h"
#include "fixtures/scenes.h"
#include "player/player.h"
#include "tools/render/render_display.h"

using bench::read_scenes;
using bench::scene_of;

namespace {

using Nanoseconds = std::chrono::nanoseconds;
using display::ColourMode;
using display::PixelMode;

struct Shown {
  display::Picture picture;
  uint32_t number;
};

std::vector<Shown> record(const char* path) {
  std::vector<Shown> frames;
  tools::render::RenderControl control;
  control.on_frame = [&](const tools::render::RenderedFrame& frame) {
    frames.push_back({frame.picture, frame.number});
    return true;
  };
  std::unique_ptr<FILE, int (*)(FILE*)> quiet(std::fopen("/dev/null", "w"), std::fclose);
  std::unique_ptr<engine::Show> show = engine::load_show(path, {quiet.get(), quiet.get()});
  auto display = tools::render::render_display(control)();
  display->init(*display);
  show->start();
  display->start(*display);
  while (show->step(*display) == engine::Step::SHOWN) {
  }
  display->close(*display);
  return frames;
}

struct Setting {
  const char* name;
  PixelMode pixels;
  int columns, rows;
};

constexpr Setting SETTINGS[] = {
    {"truecolour symbols, 80 x 25", PixelMode::SYMBOLS, 80, 25},
    {"truecolour symbols, 200 x 60", PixelMode::SYMBOLS, 200, 60},
    {"sixels, 80 x 25 cells of 10 x 20 pixels", PixelMode::SIXELS, 80, 25},
};

struct FrameCost {
  Nanoseconds time = Nanoseconds::max();
  size_t bytes = 0;
};

// One run: every frame drawn and written to `fd` as the colour display does on a terminal.
void play_once(const std::vector<Shown>& frames, const Setting& setting, int fd,
               std::vector<FrameCost>& costs) {
  display::ColourView view({ColourMode::TRUECOLOR, setting.pixels});
  const display::CellFit cells = display::fit_cells(setting.columns, setting.rows);
  const display::PixelFit pixels =
      display::fit_pixels({setting.columns, setting.rows, 0, 0}, setting.pixels);
  display::CellGrid shown;
  const display::Picture* shown_picture = nullptr;
  display::Flash shown_flash{};
  std::string out;
  costs.resize(frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    const auto start = std::chrono::steady_clock::now();
    const display::Flash flash = display::flash_at(frames[i].number);
    out.clear();
    if (setting.pixels == PixelMode::SYMBOLS) {
      const display::CellGrid& grid =
          view.draw_cells(frames[i].picture, flash, cells.columns, cells.rows);
      display::append_changes(out, shown, grid, cells.at);
      shown = grid;
    } else if (shown_picture == nullptr || shown_picture->pixels != frames[i].picture.pixels ||
               flash.bright != shown_flash.bright || flash.noise != 0) {
      out = "\x1b[1;1H" + view.draw_pixels(frames[i].picture, flash, pixels);
      shown_picture = &frames[i].picture;
      shown_flash = flash;
    }
    if (!out.empty() && ::write(fd, out.data(), out.size()) < 0) std::perror("write");
    const Nanoseconds time = std::chrono::steady_clock::now() - start;
    costs[i].time = std::min(costs[i].time, time);
    costs[i].bytes = out.size();
  }
}

double ms(Nanoseconds time) {
  return std::chrono::duration<double, std::milli>(time).count();
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  int settings = int(std::size(SETTINGS));  // --first N: only the first N settings
  const char* scenes_path = nullptr;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (argument == "--first" && i + 1 < argc)
      settings = std::clamp(std::atoi(argv[++i]), 1, int(std::size(SETTINGS)));
    else if (argument == "--scenes" && i + 1 < argc)
      scenes_path = argv[++i];
    else if (argument[0] != '-' && path == nullptr)
      path = argv[i];
    else {
      std::fprintf(stderr,
                   "usage: tundra-colour-frames [--runs R] [--first N] [--scenes FILE] DATAFILE\n");
      return 2;
    }
  }
  if (path == nullptr) path = engine::DATA_FILE;
  std::vector<Shown> frames;
  try {
    frames = record(path);
  } catch (const engine::FatalError& error) {
    std::fputs(error.message.c_str(), stderr);
    return 255;
  }
  if (frames.empty()) return 0;
  const auto scenes = scenes_path ? read_scenes(scenes_path) : std::map<uint32_t, std::string>{};
  const int sink = ::open("/dev/null", O_WRONLY);
  // At the player's pace: a frame every 30 ms.
  constexpr double FRAMES_A_SECOND = 1000.0 / 30.0;
  for (const Setting& setting : std::span(SETTINGS).first(size_t(settings))) {
    std::vector<FrameCost> costs;
    for (int run = 0; run < runs; ++run) play_once(frames, setting, sink, costs);
    std::vector<Nanoseconds> times;
    Nanoseconds total{0};
    size_t bytes = 0, worst = 0;
    for (size_t i = 0; i < costs.size(); ++i) {
      times.push_back(costs[i].time);
      total += costs[i].time;
      bytes += costs[i].bytes;
      if (costs[i].time > costs[worst].time) worst = i;
    }
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    const double mean_ms = ms(total) / double(costs.size());
    std::printf("setting: %s\n", setting.name);
    std::printf("median: %.4f ms\n", ms(times[times.size() / 2]));
    std::printf("mean: %.4f ms\n", mean_ms);
    std::printf("share of a core at 30 ms a frame: %.2f %%\n", 100.0 * mean_ms / 30.0);
    std::printf("worst: %.4f ms at frame %u (%s)\n", ms(costs[worst].time), frames[worst].number,
                scene_of(scenes, frames[worst].number).c_str());
    std::printf("bytes a frame: %.0f\n", double(bytes) / double(costs.size()));
    std::printf("bytes a second: %.0f\n", double(bytes) / double(costs.size()) * FRAMES_A_SECOND);
    std::fflush(stdout);
  }
  ::close(sink);
  return 0;
}
