// tundra-sound-sync: what the music costs the player and how closely the picture follows it.
// Plays a show twice in real time through the renderer's display (AA-lib at 80 x 25): once on
// the 30 ms timer, picture alone, then paced by the sound through SDL (the disk driver into
// /dev/null unless SDL_AUDIODRIVER says otherwise), and reports the CPU share of each run (every
// thread, SDL's included), the difference, and the sound's frame against the frame presented.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "base/fatal.h"
#include "engine/show.h"
#include "player/clock.h"
#include "player/music_clock.h"
#include "tools/render/render_display.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& time) { return double(time.tv_sec) + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run {
  double cpu_share = 0;  // of one core, over the run's wall time
  uint32_t frames = 0;   // frames the show went through
  uint32_t presented = 0;
  int32_t most_ahead = 0, most_behind = 0;  // the sound's frame less the frame presented
};

Run play(const char* path, uint32_t frames, bool with_sound) {
  std::unique_ptr<FILE, int (*)(FILE*)> quiet(std::fopen("/dev/null", "w"), std::fclose);
  const engine::Console console{quiet.get(), stderr};
  tools::render::RenderControl control;
  std::unique_ptr<engine::Show> show = engine::load_show(path, console);
  auto display = tools::render::render_display(control)();
  display->init(*display);
  show->start();
  display->start(*display);
  std::unique_ptr<engine::MusicClock> music;
  if (with_sound) {
    music = engine::MusicClock::open(*show, path, console);
    if (!music) std::exit(1);
  }
  Run run;
  const double cpu_before = cpu_seconds();
  const Clock::time_point start = Clock::now();
  auto stop = [&] { return show->frame() >= frames; };
  if (music) {
    music->start();
    engine::play_with_sound(*show, *display, *music, stop, [&](uint32_t shown, uint32_t heard) {
      ++run.presented;
      const int32_t drift = int32_t(heard) - int32_t(shown);
      run.most_ahead = std::max(run.most_ahead, drift);
      run.most_behind = std::min(run.most_behind, drift);
    });
  } else {
    for (Clock::time_point next = start; show->step(*display, stop) == engine::Step::SHOWN;) {
      ++run.presented;
      next += std::chrono::microseconds(engine::TICK_MICROSECONDS);
      std::this_thread::sleep_until(next);
    }
  }
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  run.cpu_share = (cpu_seconds() - cpu_before) / wall;
  run.frames = show->frame();
  music.reset();
  display->close(*display);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 || (argc > 1 && std::atof(argv[1]) <= 0)) {
    std::fprintf(stderr, "usage: tundra-sound-sync [SECONDS [DATAFILE]]\n");
    return 2;
  }
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1e9;  // the whole show by default
  const char* path = argc > 2 ? argv[2] : TUNDRA_SHOW_DATA;
  setenv("SDL_AUDIODRIVER", "disk", 0);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 0);
  const auto frames = static_cast<uint32_t>(std::min(seconds * 1000 / 30, 4e9));
  try {
    const Run timer = play(path, frames, false);
    const Run sound = play(path, frames, true);
    std::printf("frames: %u on the timer, %u with the sound (%u presented, %u skipped)\n",
                timer.frames, sound.frames, sound.presented, sound.frames - sound.presented);
    std::printf(
        "CPU: %.2f %% of a core on the timer, %.2f %% with the sound: %.2f %% for the "
        "music\n",
        timer.cpu_share * 100, sound.cpu_share * 100, (sound.cpu_share - timer.cpu_share) * 100);
    std::printf("drift: the sound at most %d frame(s) ahead of the picture, %d behind\n",
                sound.most_ahead, -sound.most_behind);
  } catch (const engine::FatalError& error) {
    std::fputs(error.message.c_str(), stderr);
    return 1;
  }
  return 0;
}
