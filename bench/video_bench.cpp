// --video's export speed: frames a second of an ASCII screen letterboxed on 1280 x 720 and
// encoded as WebM (VP9) and MP4 (H.264), sound included, written to /dev/null.
#include <aalib.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "sound/pcm.h"
#include "tools/render/render_display.h"
#include "tools/render/text_art.h"
#include "tools/render/video_encoder.h"
#include "tools/render/video_output.h"

namespace {

using namespace tools::render;

// A screen of AA-lib's characters that changes every frame as dithered art does: a character
// ramp shifted by the frame and scrambled by a multiplicative hash of the cell.
std::string busy_text(int64_t frame) {
  constexpr const char* RAMP = " .:-=+*#%@QWmo(";
  std::string text(size_t{TEXT_COLUMNS} * TEXT_ROWS, ' ');
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t hash = uint32_t(i * 2654435761u) ^ uint32_t(frame * 40503u + i / 7);
    text[i] = RAMP[(hash >> 13) % 15];
  }
  return text;
}

void BM_VideoExport(benchmark::State& state) {
  const VideoFormat format = state.range(0) == 0 ? VideoFormat::WEBM : VideoFormat::MP4;
  aa_hardware_params params = aa_defparams;
  params.width = TEXT_COLUMNS;
  params.height = TEXT_ROWS;
  aa_context* context = aa_init(&mem_d, &params, nullptr);
  const aa_font& font = *aa_currentfont(context);
  std::string error;
  auto file = OutputFile::create("/dev/null", error);
  VideoSettings settings;
  settings.codecs = codecs_of(format);
  settings.width = 1280;
  settings.height = 720;
  settings.crf = settings.codecs.default_crf;
  settings.sound = true;
  VideoEncoder encoder;
  if (file) error = encoder.open(*file, settings);
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    aa_close(context);
    return;
  }
  sound::PcmFrame silence{};
  int64_t frame = 0;
  for (auto _ : state) {
    const Image screen = draw_screen(busy_text(frame++), TEXT_COLUMNS, TEXT_ROWS, font);
    const Letterbox box = fit_picture(screen.width, screen.height, 1280, 720);
    error = encoder.add_picture(letterbox(screen, box, 1280, 720));
    if (error.empty()) error = encoder.add_sound(silence);
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.SetLabel(format == VideoFormat::WEBM ? "webm" : "mp4");
  encoder.finish();
  aa_close(context);
}
// Encoders hold frames back before they give the first packet: enough frames to pass that.
BENCHMARK(BM_VideoExport)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(300)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
