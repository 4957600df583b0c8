// Music: decoding one frame (1,323 stereo samples) of a 4-channel module, and a seek back
// that renders the module again from its start.
#include <benchmark/benchmark.h>

#include "fixtures/square_wave_module.h"
#include "sound/music.h"

namespace {

void BM_MusicDecodeFrame(benchmark::State& state) {
  auto music = sound::open_music(support::square_wave_module()).music;
  sound::PcmFrame frame;
  for (auto _ : state) {
    music->render(frame);
    benchmark::DoNotOptimize(frame.data());
    if (music->next_frame() == support::SQUARE_MODULE_FRAMES) {
      state.PauseTiming();  // only sounding frames are measured, not the silence after
      music->seek(0);
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_MusicDecodeFrame);

void BM_MusicSeekToTheEnd(benchmark::State& state) {
  auto music = sound::open_music(support::square_wave_module()).music;
  for (auto _ : state) {
    music->seek(0);
    music->seek(support::SQUARE_MODULE_FRAMES - 1);
  }
}
BENCHMARK(BM_MusicSeekToTheEnd);

}  // namespace
