// tundra-render --video: the files read back by ffprobe and ffmpeg (streams, codecs, rate,
// lengths, a decoded frame against --ascii-png's picture of it), and failures that leave nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "fixtures/process.h"
#include "fixtures/square_wave_module.h"
#include "sound/pcm.h"
#include "support/render_harness.h"
#include "tools/render/video_encoder.h"

namespace {

using support::ShowDir;

support::ProgramRun render(const ShowDir& show, const std::string& arguments) {
  return support::run_in(show.dir.path, TUNDRA_RENDER " " + arguments);
}

// ffprobe's answers for each stream, by codec type, and the file's duration.
struct Probe {
  std::map<std::string, std::map<std::string, std::string>> streams;
  double duration = 0;
};

Probe probe(const std::string& path) {
  const std::string text = support::run_command(
      "ffprobe -v error -show_entries stream=codec_type,codec_name,r_frame_rate,pix_fmt "
      "-show_entries format=duration " +
      support::shell_quote(path));
  Probe result;
  std::map<std::string, std::string> stream;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line == "[/STREAM]") {
      const std::string type = stream["codec_type"];
      result.streams[type] = std::exchange(stream, {});
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (key == "duration") result.duration = std::atof(value.c_str());
    stream[key] = value;
  }
  return result;
}

// The samples ffmpeg decodes from the file's audio stream, as 16-bit stereo at 44,100 Hz.
std::vector<int16_t> decoded_sound(const std::string& path) {
  const std::string bytes = support::run_command(
      "ffmpeg -v error -i " + support::shell_quote(path) + " -map 0:a -ac 2 -ar 44100 -f s16le -");
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// How far `heard` is from `sent`, as the ratio of their power to the difference's, in decibels:
// a lossy codec keeps it well above 10, and sound a frame late falls to about 0.
double signal_to_noise(const std::vector<int16_t>& sent, const std::vector<int16_t>& heard) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < sent.size() && i < heard.size(); ++i) {
    signal += double(sent[i]) * sent[i];
    noise += (double(sent[i]) - heard[i]) * (double(sent[i]) - heard[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

// The types of an MP4's top-level boxes, in file order.
std::vector<std::string> top_level_boxes(const std::string& mp4) {
  std::vector<std::string> types;
  for (size_t at = 0; at + 8 <= mp4.size();) {
    const auto byte = [&](size_t i) { return uint64_t(uint8_t(mp4[at + i])); };
    uint64_t size = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    types.push_back(mp4.substr(at + 4, 4));
    if (size == 1 && at + 16 <= mp4.size()) {
      size = 0;
      for (size_t i = 8; i < 16; ++i) size = size << 8 | byte(i);
    }
    if (size < 8) break;
    at += size_t(size);
  }
  return types;
}

TEST(RenderVideo, EachFormatHoldsItsCodecsAndTheMusicInStepAtThirtyMillisecondsAFrame) {
  struct Case {
    const char* name;
    const char* video_codec;
    const char* audio_codec;
  };
  const Case cases[] = {{"x.webm", "vp9", "opus"}, {"x.mp4", "h264", "aac"}};
  // 300 frames, 9 s, with the square wave's 1.92 s of notes at the start, silence after.
  const support::Bytes module = support::square_wave_module();
  ShowDir show(support::DataFileBuilder()
                   .script(support::ScriptBuilder().waitat(300).end())
                   .music(module)
                   .bytes);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto result = render(show, std::string("--size 320x200 --wav x.wav --video ") + c.name);
    ASSERT_EQ(result.status, 0) << result.err;
    // The samples --wav wrote for the same frames, after its 44-byte header.
    const std::string wav = support::read_file(show.file("x.wav"));
    ASSERT_EQ(wav.size(), 44u + 300u * sound::SAMPLES_PER_FRAME * 4);
    std::vector<int16_t> sent((wav.size() - 44) / 2);
    std::memcpy(sent.data(), wav.data() + 44, sent.size() * 2);
    EXPECT_EQ(result.err.find("video frame"), std::string::npos);  // no progress off a terminal
    const Probe found = probe(show.file(c.name));
    ASSERT_EQ(found.streams.size(), 2u);
    auto& video = found.streams.at("video");
    EXPECT_EQ(video.at("codec_name"), c.video_codec);
    EXPECT_EQ(video.at("r_frame_rate"), "100/3");
    EXPECT_EQ(video.at("pix_fmt"), "yuv420p");
    EXPECT_EQ(found.streams.at("audio").at("codec_name"), c.audio_codec);
    EXPECT_NEAR(found.duration, 9.0, 0.03);
    const std::vector<int16_t> heard = decoded_sound(show.file(c.name));
    EXPECT_NEAR(double(heard.size()), double(sent.size()), 2.0 * sound::SAMPLES_PER_FRAME);
    EXPECT_GT(signal_to_noise(sent, heard), 10.0);
  }
  // The MP4's index comes before its media, so that it plays while it downloads.
  const std::vector<std::string> boxes = top_level_boxes(support::read_file(show.file("x.mp4")));
  const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
  ASSERT_NE(moov, boxes.end());
  EXPECT_LT(moov, std::find(boxes.begin(), boxes.end(), "mdat"));

  // A show without music gets no audio stream.
  ShowDir silent(support::busy_show(30));
  ASSERT_EQ(render(silent, "--size 320x200 --video x.mp4").status, 0);
  EXPECT_EQ(probe(silent.file("x.mp4")).streams.count("audio"), 0u);

  // On a terminal (script(1) gives it one), a line of progress redrawn in place.
  const std::string seen = support::run_command(
      "cd " + support::shell_quote(silent.dir.path) + " && script -qec " +
      support::shell_quote(TUNDRA_RENDER " --frames 20 --size 64x40 --video y.webm") +
      " /dev/null");
  EXPECT_NE(seen.find("\ntundra-render: video frame 1 of 20 (5%), "), std::string::npos) << seen;
  EXPECT_NE(seen.find(" s left\r\nengine  : Stopping\r\n"), std::string::npos) << seen;
}

// The mean square difference of two grey pictures of one size, as PSNR in decibels.
double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  const double mse = sum / double(a.size());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

TEST(RenderVideo, ADecodedFrameIsTheAsciiPngOfThatFrameScaledByWholePixels) {
  ShowDir show(support::busy_show(40));
  // 1280 x 800 is the 640 x 400 screen twice over: each picture pixel is a 2 x 2 block.
  auto result = render(show, "--size 1280x800 --video x.mp4 --ascii-png pictures --every 30");
  ASSERT_EQ(result.status, 0) << result.err;
  auto png = support::read_png(show.file("pictures/frame-00030.png"));
  ASSERT_TRUE(png && png->width == 640 && png->height == 400 && png->channels == 1);
  const std::string decoded =
      support::run_command("ffmpeg -v error -i " + support::shell_quote(show.file("x.mp4")) +
                           " -vf 'select=eq(n\\,30)' -frames:v 1 -pix_fmt gray -f rawvideo -");
  ASSERT_EQ(decoded.size(), 1280u * 800u);
  std::vector<uint8_t> shrunk(png->bytes.size());
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 640; ++x) {
      int sum = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx)
          sum += static_cast<uint8_t>(decoded[size_t(2 * y + dy) * 1280 + 2 * x + dx]);
      shrunk[size_t(y) * 640 + x] = static_cast<uint8_t>(sum / 4);
    }
  EXPECT_GT(psnr(shrunk, png->bytes), 30.0);
}

TEST(RenderVideo, AFailedVideoSaysWhyAndLeavesNothing) {
  struct Case {
    const char* arguments;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"--video full.webm", 1, "cannot write full.webm: No space left on device"},
      {"--video gone/x.mp4", 1, "cannot create gone/x.mp4"},
      {"--video x.avi", 2, "names a .webm or .mp4 file"},
      {"--video x.webm nothing.dat", 255, "cannot open data file nothing.dat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ShowDir show(support::busy_show(20));
    std::filesystem::create_symlink("/dev/full", show.file("full.webm"));
    auto result = render(show, c.arguments);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(show.dir.path))
      left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".stderr", "data", "full.webm"}));
  }

  // An encoder the library lacks is named, and its file removed with it.
  support::TempDir dir;
  {
    std::string error;
    auto file = tools::render::OutputFile::create(dir.path + "/x.webm", error);
    ASSERT_TRUE(file) << error;
    tools::render::VideoSettings settings;
    settings.codecs = {"webm", "no-such-encoder", "libopus", 32};
    settings.width = 64;
    settings.height = 40;
    tools::render::VideoEncoder encoder;
    EXPECT_EQ(encoder.open(*file, settings),
              "cannot write " + dir.path + "/x.webm: this FFmpeg has no encoder no-such-encoder");
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

}  // namespace
