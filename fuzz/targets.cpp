// The fuzz targets' bodies. Fatal errors are the engine's answer to bad input, so they are
// caught; anything else (a crash, a sanitizer report) is a finding.
#include "fuzz/targets.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/fatal.h"
#include "datafile/chunk.h"
#include "datafile/container.h"
#include "display/recording_display.h"
#include "engine/engine.h"
#include "engine/opcodes.h"
#include "engine/show.h"
#include "fx/fx_info.h"
#include "sound/music.h"

namespace fuzz {
namespace {

// Messages go nowhere: the fuzzer judges by crashes, not by words.
engine::Console quiet_console() {
  static FILE* sink = std::fopen("/dev/null", "w");
  return {sink, sink};
}

std::unique_ptr<datafile::ImageChunk> pattern_image(int width, int height) {
  auto image = std::make_unique<datafile::ImageChunk>();
  image->width = width;
  image->height = height;
  image->pixels = engine::allocate_pixels(image->pixel_count());
  for (size_t i = 0; i < image->pixel_count(); ++i)
    image->pixels[i] = static_cast<uint16_t>(i * 40503u ^ (i >> 3));
  return image;
}

std::unique_ptr<datafile::TextChunk> text(const char* bytes, size_t size) {
  auto chunk = std::make_unique<datafile::TextChunk>();
  chunk->bytes.assign(bytes, bytes + size);
  chunk->size = static_cast<int32_t>(size);
  return chunk;
}

// A font of three narrow glyphs ("a", "b", "c"), 20 rows high.
std::unique_ptr<datafile::FontChunk> small_font() {
  std::vector<uint8_t> payload = {3, 5, 0, 11, 0, 18, 0, 20, 0, 20, 0};
  for (int i = 0; i < 20 * 20; ++i)
    payload.insert(payload.end(), {0, 0, 0, uint8_t(i % 3 ? 0xFF : 0)});
  std::string error;
  return datafile::parse_font(payload.data(), payload.size(), error);
}

// The chunks every fuzzed script can name: 1 to 9 after the script itself.
datafile::ChunkTable fixed_chunks() {
  datafile::ChunkTable table;
  table.push_back(std::make_unique<datafile::ScriptChunk>());  // each input's script in turn
  table.push_back(pattern_image(160, 50));                     // 1: a picture of the screen's size
  table.push_back(pattern_image(256, 256));                    // 2: a texture
  table.push_back(pattern_image(10, 10));                      // 3: far too small for anything
  table.push_back(pattern_image(160, 700));                    // 4: pages for the curtain
  table.push_back(pattern_image(1, 1));                        // 5: a single pixel
  table.push_back(text("hello, world 123!\0", 18));            // 6: a text with its zero byte
  table.push_back(text("no zero byte", 12));                   // 7: a text without one
  table.push_back(small_font());                               // 8: a font
  table.push_back(text("", 0));                                // 9: an empty text
  return table;
}

// Buffers are limited to 64K pixels and counts to what an input's frames can afford, so that it
// costs milliseconds, not seconds: a million particles, or 65535 blobs of 4096 additions each,
// take longer than libFuzzer's timeout under the sanitizers. The engine's own limits are far
// higher and are tested elsewhere.
constexpr size_t MAX_FUZZ_PIXELS = 65536;
constexpr int32_t MAX_FUZZ_PARTICLES = 1 << 17;
constexpr int32_t MAX_FUZZ_BLOBS = 256;

int32_t max_fuzz_count(uint8_t class_id) {
  static const int blobs = fx::find_class("blobs");
  return class_id == blobs ? MAX_FUZZ_BLOBS : MAX_FUZZ_PARTICLES;
}

bool small_enough(const uint8_t* script, size_t size) {
  std::array<uint8_t, engine::SLOT_COUNT> slot_class{};
  engine::Instruction instruction;
  for (uint32_t position = 0;
       engine::decode_instruction(script, size, position, instruction) == engine::Decode::OK;
       position += instruction.info->length) {
    const auto& op = instruction.operands;
    if (instruction.info->code == engine::NEWBUF && size_t{op[3]} * op[4] > MAX_FUZZ_PIXELS)
      return false;
    if (instruction.info->code == engine::NEWFX && op[0] < slot_class.size())
      slot_class[op[0]] = static_cast<uint8_t>(op[1]);
    if (instruction.info->code == engine::SETINT && op[0] < slot_class.size()) {
      const fx::ParamInfo* param = fx::find_param(slot_class[op[0]], static_cast<uint8_t>(op[1]));
      if (param != nullptr && param->limits.count &&
          static_cast<int32_t>(op[2]) > max_fuzz_count(slot_class[op[0]]))
        return false;
    }
  }
  return true;
}

// Frames an input may run. Most effects reach a steady state within a few dozen renders, and
// scripts can set the parameters that move the others (the curtain's phase, the fade's mode) at
// once; frames in which nothing runs cost nothing, since the show skips them.
constexpr uint32_t FRAMES = 60;

// One show for every input: its chunks are made once, and each input becomes its script and
// starts it afresh from frame 0.
struct FuzzedShow {
  FuzzedShow()
      : show(fixed_chunks()),
        recording(std::make_shared<display::Recording>()),
        display(display::recording_display(recording)()) {}

  void play(const uint8_t* script, size_t size) {
    auto& chunk = static_cast<datafile::ScriptChunk&>(*show.engine().chunks[0]);
    chunk.bytes.assign(script, script + size);
    chunk.size = static_cast<int32_t>(size);
    recording->calls.clear();  // the log would otherwise grow with every input
    show.reset();
    // Every frame but the last unshown: the last one shows whatever the script left running.
    if (show.run_to(FRAMES - 1) != engine::Step::ENDED) show.step(*display);
  }

  engine::Show show;
  std::shared_ptr<display::Recording> recording;
  std::unique_ptr<engine::DisplayDriver> display;
};

}  // namespace

void load_data_file(const uint8_t* data, size_t size) {
  try {
    datafile::load_chunks({data, size}, "fuzz", quiet_console());
  } catch (const engine::FatalError&) {
  }
  // The tools walk on past where loading stops, decoding every chunk they find.
  datafile::read_container({data, size}, datafile::Walk::WHOLE_FILE);
}

void read_ping(const uint8_t* data, size_t size) {
  datafile::read_ping({data, size});
}

void read_font(const uint8_t* data, size_t size) {
  std::string error;
  datafile::parse_font(data, size, error);
}

void run_engine(const uint8_t* data, size_t size) {
  if (!small_enough(data, size)) return;
  static FuzzedShow fuzzed;
  try {
    fuzzed.play(data, size);
  } catch (const engine::FatalError&) {
  }
}

// A module that opens is played for a few frames, long enough to reach its first patterns'
// effects, then sought back, which restarts the player.
void open_music(const uint8_t* data, size_t size) {
  auto opened = sound::open_music({data, size});
  if (opened.music == nullptr) return;
  sound::PcmFrame frame;
  for (int i = 0; i < 16; ++i) opened.music->render(frame);
  opened.music->seek(3);
  opened.music->render(frame);
}

}  // namespace fuzz
