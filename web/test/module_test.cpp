// The WebAssembly module, run in Node, against the native programs and libraries: its ASCII
// frames against tundra-render --ascii, its colour cells against --ansi, its pictures against
// libpng's, its samples against the native libxmp decoder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "base/fatal.h"
#include "datafile/chunk.h"
#include "fixtures/datafile_builder.h"
#include "fixtures/process.h"
#include "sound/music.h"
#include "sound/show_music.h"
#include "support/show_harness.h"

namespace {

using support::Bytes;
using support::shell_quote;

// Why the module's tests cannot run, or empty when they can.
std::string missing_module() {
  if (!std::filesystem::exists(std::string(TUNDRA_WEB_MODULE) + "/tundra.wasm"))
    return "the module was not built: its sources could not be fetched (the build's warning "
           "says why)";
  return {};
}

// What the module's runner prints for `commands` (test/run_module.mjs, redirections included),
// with its status.
std::string run_module(const std::string& commands, int* status = nullptr) {
  return support::run_command(std::string(TUNDRA_NODE) + " " + shell_quote(TUNDRA_WEB_RUNNER) +
                                  " " + shell_quote(TUNDRA_WEB_MODULE) + " " + commands,
                              status);
}

// A frame stream of --ascii (25 lines and the frame's number) or --ansi (the same, in colour),
// by frame number.
std::map<int, std::string> frames_of(const std::string& stream) {
  std::map<int, std::string> frames;
  std::istringstream lines(stream);
  std::string frame, line;
  for (int count = 0; std::getline(lines, line); ++count) {
    if (count % 26 == 25) {
      frames[std::stoi(line)] = frame;
      frame.clear();
    } else {
      frame += line + "\n";
    }
  }
  return frames;
}

// What tundra-render writes with `output` for the first `frames` frames (0: up to END).
std::string render(const std::string& data_file, const char* output, int frames = 0) {
  support::TempDir dir;
  const std::string path = dir.path + "/frames.txt";
  int status = 0;
  support::run_command(std::string(TUNDRA_RENDER) + " --no-farewell " + output + " " +
                           shell_quote(path) +
                           (frames > 0 ? " --frames " + std::to_string(frames) : "") + " " +
                           shell_quote(data_file) + " >/dev/null 2>&1",
                       &status);
  EXPECT_EQ(status, 0) << "tundra-render " << output << " on " << data_file;
  return support::read_file(path);
}

// A small show of our own: an interlaced palette PNG of 160 colours, in bands and stripes.
Bytes small_show() {
  return support::still_show(support::make_png(
                                 160, 50,
                                 [](int x, int y) {
                                   return support::Rgb{uint8_t(x / 20 * 36), uint8_t(y / 10 * 60),
                                                       uint8_t((x + y) % 4 * 80)};
                                 },
                                 support::PngKind::PALETTE, true),
                             40);
}

class WebModule : public testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = missing_module(); !why.empty()) GTEST_SKIP() << why;
  }
  support::TempDir dir;
};

TEST_F(WebModule, AsciiFramesAreTheRenderersStepByStepAndAfterSeeks) {
  struct Case {
    std::string data_file;
    std::vector<int>
        seeks;  // after every frame is stepped to END, each of these sought and stepped
  } cases[] = {
      // 605 lies in the first flash, 2800 after eleven of them; 455 goes back to the start.
      {TUNDRA_SHOW, {605, 455, 2800}},
      {dir.write("small.dat", small_show()), {12}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data_file);
    std::string commands = "load " + shell_quote(c.data_file) + " ascii 100000";
    for (int frame : c.seeks) commands += " at " + std::to_string(frame);
    int status = 0;
    const std::string module_output = run_module(commands + " 2>/dev/null", &status);
    ASSERT_EQ(status, 0) << module_output.substr(0, 500);
    const std::map<int, std::string> expected = frames_of(render(c.data_file, "--ascii"));
    ASSERT_GT(expected.size(), 30u);

    // The module's frames come in the order asked; each names its number as --ascii does.
    std::vector<int> order;
    for (const auto& [frame, text] : expected) order.push_back(frame);
    order.insert(order.end(), c.seeks.begin(), c.seeks.end());
    std::istringstream stream(module_output);
    std::string line, frame_text;
    size_t index = 0;
    for (int count = 0; std::getline(stream, line); ++count) {
      if (count % 26 != 25) {
        frame_text += line + "\n";
        continue;
      }
      ASSERT_LT(index, order.size());
      ASSERT_EQ(std::stoi(line), order[index]);
      ASSERT_EQ(frame_text, expected.at(order[index])) << "frame " << order[index];
      frame_text.clear();
      ++index;
    }
    EXPECT_EQ(index, order.size());
  }
}

TEST_F(WebModule, ColourCellsAreTheRenderersAnsiCalmAndInAFlash) {
  const std::map<int, std::string> expected = frames_of(render(TUNDRA_SHOW, "--ansi", 621));
  const std::map<int, std::string> module =
      frames_of(run_module("load " + shell_quote(TUNDRA_SHOW) + " ansi 455 ansi 620 2>/dev/null"));
  for (int frame : {455, 620}) {
    ASSERT_TRUE(module.count(frame)) << "frame " << frame;
    EXPECT_EQ(module.at(frame), expected.at(frame)) << "frame " << frame;
  }
}

Bytes read_bytes(const std::string& path) {
  const std::string text = support::read_file(path);
  return Bytes(text.begin(), text.end());
}

std::string hex_of(const uint8_t* bytes, size_t size) {
  static const char DIGITS[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) text += {DIGITS[bytes[i] >> 4], DIGITS[bytes[i] & 15]};
  return text;
}

TEST_F(WebModule, PicturesAreTheOnesLibpngDecodes) {
  for (const std::string& data_file :
       {std::string(TUNDRA_SHOW), dir.write("small.dat", small_show())}) {
    SCOPED_TRACE(data_file);
    std::string expected;
    int images = 0;
    const datafile::ChunkTable chunks = support::load_bytes(read_bytes(data_file));
    for (size_t i = 0; i < chunks.size(); ++i) {
      if (chunks[i]->kind != datafile::ChunkKind::IMAGE) continue;
      const auto& image = static_cast<const datafile::ImageChunk&>(*chunks[i]);
      expected +=
          std::to_string(i) + " " + std::to_string(image.width) + " " +
          std::to_string(image.height) + " " +
          hex_of(reinterpret_cast<const uint8_t*>(image.pixels.get()), image.pixel_count() * 2) +
          "\n";
      ++images;
    }
    EXPECT_GT(images, 0);
    EXPECT_EQ(run_module("load " + shell_quote(data_file) + " images 2>/dev/null"), expected);
  }
}

TEST_F(WebModule, PicturesTheEngineCannotShowAreRefusedInLibpngsWords) {
  using support::make_png, support::PngKind, support::Rgb;
  Bytes corrupt = make_png(16, 16, [](int x, int y) {
    return Rgb{uint8_t(x * 16), uint8_t(y), 9};
  });
  for (size_t i = corrupt.size() / 2; i < corrupt.size() - 12; ++i) corrupt[i] ^= 0x5A;
  const Bytes cases[] = {
      corrupt,  // its IDAT's CRC no longer holds
      make_png(2, 2, Rgb{9, 9, 9}, PngKind::GREY),
      make_png(2, 2, Rgb{9, 9, 9}, PngKind::RGBA),
      make_png(2, 2, Rgb{9, 9, 9}, PngKind::RGB16),
      make_png(2, 2, Rgb{9, 9, 9}, PngKind::PALETTE_TRNS),
      make_png(1, 3000, Rgb{1, 2, 3}, PngKind::PALETTE),
  };
  const Bytes script = support::ScriptBuilder().waitfor(10).end().bytes;
  for (const Bytes& png : cases) {
    const std::string path = dir.write(
        "refused.dat",
        support::DataFileBuilder().chunk("DEMO", script).chunk("PING", png).text("after").bytes);
    support::CapturedStream out, err;
    datafile::load_data_file(path.c_str(), {out.file, err.file});
    // libpng inflates a corrupt IDAT before it checks the chunk's CRC, which the module checks
    // first: both name the chunk, in other words.
    const std::regex why("(corrupt PNG: [A-Za-z]{4}): [^\\n]*");
    EXPECT_EQ(std::regex_replace(run_module("load " + shell_quote(path) + " 2>&1"), why, "$1"),
              std::regex_replace(err.text(), why, "$1"));
  }
}

// The module opens the show's music chunk itself: the shipped show's samples are the native
// decoder's; music libxmp refuses gets the player's line, and the show loads and plays silent.
TEST_F(WebModule, LoadOpensTheShowsMusicAsThePlayerDoes) {
  constexpr int FRAMES = 400;  // 12 seconds: every channel of the score has played by then
  sound::OpenedMusic opened = sound::open_music(read_bytes(TUNDRA_SHOW_MUSIC));
  ASSERT_TRUE(opened.music) << opened.error;
  std::string expected;
  sound::PcmFrame frame;
  for (int i = 0; i < FRAMES; ++i) {
    opened.music->render(frame);
    expected += hex_of(reinterpret_cast<const uint8_t*>(frame.data()), sizeof frame);
  }
  int status = 0;
  const std::string samples = run_module(
      "load " + shell_quote(TUNDRA_SHOW) + " music " + std::to_string(FRAMES) + " 2>/dev/null",
      &status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(samples.size(), expected.size() + 1);
  EXPECT_TRUE(samples.compare(0, expected.size(), expected) == 0);

  support::DataFileBuilder junk;
  junk.script(support::ScriptBuilder().newbuf(0, 0, 0, 160, 50).waitfor(10).end());
  junk.music(Bytes(64, 'x'));
  const std::string path = dir.write("junk-music.dat", junk.bytes);
  const std::string said = run_module("load " + shell_quote(path) + " music 1 2>&1", &status);
  EXPECT_EQ(status, 3) << "the show loaded, without music";
  EXPECT_NE(
      said.find("engine  : " + sound::open_show_music(Bytes(64, 'x'), path, 1).why_silent + "\n"),
      std::string::npos)
      << said;
}

TEST_F(WebModule, AFileTheLoaderRefusesIsReportedInItsWords) {
  const std::string path = dir.write("junk.dat", Bytes(100, 'x'));
  support::CapturedStream out, err;
  std::string expected;
  try {
    datafile::load_data_file(path.c_str(), {out.file, err.file});
  } catch (const engine::FatalError& error) {
    expected = err.text() + error.message;
  }
  ASSERT_NE(expected, "");
  int status = 0;
  EXPECT_EQ(run_module("load " + shell_quote(path) + " 2>&1", &status), expected);
  EXPECT_EQ(status, 1);
}

}  // namespace
