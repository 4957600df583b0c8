// tundra-render --wav: the show's music as 16-bit stereo PCM, 1,323 samples a frame rendered,
// read back byte by byte and compared with the decoder's own samples.
#include <gtest/gtest.h>

#include <algorithm>

#include "fixtures/process.h"
#include "fixtures/square_wave_module.h"
#include "sound/music.h"
#include "sound/wav.h"
#include "support/render_harness.h"

namespace {

using support::Bytes;
using support::DataFileBuilder;
using support::ScriptBuilder;

constexpr size_t FRAME_BYTES = sound::SAMPLES_PER_FRAME * sound::BYTES_PER_SAMPLE;  // 5,292

// A show of 300 frames (9 s), then END, carrying `music` when it is given.
Bytes show_of_300_frames(const Bytes* music) {
  DataFileBuilder file;
  file.script(ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, 0, 0).start(0).waitfor(300).end());
  if (music != nullptr) file.music(*music);
  return file.bytes;
}

struct Wav {
  int status = -1;
  std::string err;
  Bytes header;
  std::vector<int16_t> samples;  // interleaved left, right
};

Wav render_wav(const Bytes& data_file, const std::string& options = "") {
  support::ShowDir show(data_file);
  support::ProgramRun run = support::run_in(
      show.dir.path, TUNDRA_RENDER " --wav out.wav " + options + " data/mote-tundra-2003.dat");
  Wav wav{run.status, run.err, {}, {}};
  const std::string bytes = support::read_file(show.file("out.wav"));
  if (bytes.size() < sound::WAV_HEADER_BYTES) return wav;
  wav.header.assign(bytes.begin(), bytes.begin() + sound::WAV_HEADER_BYTES);
  for (size_t at = sound::WAV_HEADER_BYTES; at + 1 < bytes.size(); at += 2)  // little-endian
    wav.samples.push_back(static_cast<int16_t>(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8));
  return wav;
}

TEST(RenderWav, TheSoundLastsTheFramesRenderedAndIsTheDecodersOwn) {
  const Bytes module = support::square_wave_module();
  for (const auto& [options, frames] : {std::pair<std::string, size_t>{"", 300},
                                        std::pair<std::string, size_t>{"--frames 40", 40}}) {
    Wav wav = render_wav(show_of_300_frames(&module), options);
    ASSERT_EQ(wav.status, 0) << wav.err;
    EXPECT_EQ(wav.header, sound::wav_header(uint32_t(frames * FRAME_BYTES))) << options;
    EXPECT_EQ(wav.samples.size() * 2, frames * FRAME_BYTES) << options;  // 300: 1,587,600 bytes

    std::vector<int16_t> decoded;
    auto music = sound::open_music(module).music;
    ASSERT_NE(music, nullptr);
    for (size_t frame = 0; frame < frames; ++frame) {
      sound::PcmFrame samples;
      music->render(samples);
      decoded.insert(decoded.end(), samples.begin(), samples.end());
    }
    EXPECT_TRUE(wav.samples == decoded) << options;
    const auto loudest = std::max_element(wav.samples.begin(), wav.samples.end());
    EXPECT_GT(loudest == wav.samples.end() ? 0 : *loudest, 1000) << options;  // audible
  }
}

// Without music the sound is silence of the show's length, and the renderer says why; so with
// music the sound library cannot play, which it names with the file and the chunk.
TEST(RenderWav, WithoutMusicThatPlaysTheSoundIsSilenceAndTheRendererSaysWhy) {
  const Bytes noise = {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd'};
  const std::vector<std::pair<const Bytes*, std::string>> cases = {
      {nullptr, "tundra-render: --wav: data/mote-tundra-2003.dat has no music chunk"},
      {&noise,
       "tundra-render: --wav: data/mote-tundra-2003.dat: chunk 1 (music) cannot be played: "
       "libxmp: unrecognised module format; the sound is silence"},
  };
  for (const auto& [music, message] : cases) {
    Wav wav = render_wav(show_of_300_frames(music));
    EXPECT_EQ(wav.status, 0) << message;
    EXPECT_NE(wav.err.find(message), std::string::npos) << wav.err;
    EXPECT_EQ(wav.samples.size() * 2, 300 * FRAME_BYTES) << message;
    EXPECT_TRUE(std::all_of(wav.samples.begin(), wav.samples.end(), [](int16_t s) {
      return s == 0;
    })) << message;
  }
}

}  // namespace
