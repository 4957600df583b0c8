// The fuzz targets' bodies. Fatal errors are the engine's answer to bad input, so they are
// caught; anything else (a crash, a sanitizer report) is a finding.
#include "fuzz/targets.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "datafile/chunk.h"
#include "display/recording_display.h"
#include "engine/engine.h"
#include "engine/fatal.h"
#include "engine/opcodes.h"
#include "fx/fx_info.h"

namespace fuzz {
namespace {

// Messages go nowhere: the fuzzer judges by crashes, not by words.
engine::Console quiet_console() {
  static FILE* sink = std::fopen("/dev/null", "w");
  return {sink, sink};
}

// The bytes as a read-only stream; fmemopen cannot take an empty buffer.
FILE* open_bytes(const uint8_t* data, size_t size) {
  static const uint8_t empty = 0;
  return fmemopen(const_cast<uint8_t*>(size > 0 ? data : &empty), size > 0 ? size : 1, "rb");
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
datafile::ChunkTable fixed_chunks(const uint8_t* script, size_t size) {
  datafile::ChunkTable table;
  auto demo = std::make_unique<datafile::ScriptChunk>();
  demo->bytes.assign(script, script + size);
  demo->size = static_cast<int32_t>(size);
  table.push_back(std::move(demo));
  table.push_back(pattern_image(160, 50));           // 1: a picture of the screen's size
  table.push_back(pattern_image(256, 256));          // 2: a texture
  table.push_back(pattern_image(10, 10));            // 3: far too small for anything
  table.push_back(pattern_image(160, 700));          // 4: pages for the curtain
  table.push_back(pattern_image(1, 1));              // 5: a single pixel
  table.push_back(text("hello, world 123!\0", 18));  // 6: a text with its zero byte
  table.push_back(text("no zero byte", 12));         // 7: a text without one
  table.push_back(small_font());                     // 8: a font
  table.push_back(text("", 0));                      // 9: an empty text
  return table;
}

// Buffers are limited to 64K pixels and counts to what 120 frames can afford, so that an input
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
      if (param != nullptr && param->name == "count" &&
          static_cast<int32_t>(op[2]) > max_fuzz_count(slot_class[op[0]]))
        return false;
    }
  }
  return true;
}

constexpr int FRAMES = 120;

}  // namespace

void load_data_file(const uint8_t* data, size_t size) {
  FILE* file = open_bytes(data, size);
  try {
    datafile::load_chunks(file, static_cast<long>(size), "fuzz", quiet_console());
  } catch (const engine::FatalError&) {
  }
  std::fclose(file);
}

void read_ping(const uint8_t* data, size_t size) {
  FILE* file = open_bytes(data, size);
  datafile::read_ping(file, "fuzz", quiet_console().err);
  std::fclose(file);
}

void read_font(const uint8_t* data, size_t size) {
  std::string error;
  datafile::parse_font(data, size, error);
}

void run_engine(const uint8_t* data, size_t size) {
  if (!small_enough(data, size)) return;
  std::srand(1);  // every run draws the same random numbers, as a show does
  try {
    engine::Engine show(fixed_chunks(data, size));
    auto recording = std::make_shared<display::Recording>();
    auto display = display::recording_display(recording)(show.frame_counter);
    engine::run_script(show);
    for (int frame = 0; frame < FRAMES; ++frame) {
      if (engine::run_script(show) != 0) break;
      engine::render_pass(show);
      engine::show_pass(show, *display);
      ++show.frame_counter;
    }
  } catch (const engine::FatalError&) {
  }
}

}  // namespace fuzz
