// The engine's tables (buffers, FX slots, the script), the six operations the script calls, the
// interpreter and the per-frame render and show passes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "base/buffer.h"
#include "datafile/chunk.h"
#include "engine/display_driver.h"
#include "fx/fx_class.h"
#include "fx/random.h"

namespace engine {

inline constexpr int BUFFER_COUNT = 27;
inline constexpr int SLOT_COUNT = 27;
inline constexpr int DISPATCHED_SLOTS = 18;  // the per-frame passes visit slots 0 to 17 only
inline constexpr int32_t FULL_LEVEL = 0x10000;
// A buffer's pixel count is limited so that no script can ask for gigabytes (32 MiB at most).
inline constexpr size_t MAX_BUFFER_PIXELS = size_t{1} << 24;

enum class SlotState : uint8_t { RUNNING = 1, STOPPED = 2 };

struct FxSlot {
  uint8_t class_id = 0;
  uint8_t buffer_index = 0;
  SlotState state = SlotState::STOPPED;
  std::unique_ptr<fx::FxInstance> instance;
  int32_t level = FULL_LEVEL;  // shown only while exactly FULL_LEVEL; nothing changes it
};

enum class ScriptState : uint8_t { RUNNING = 1, WAITING = 2 };

struct Script {
  const datafile::ScriptChunk* chunk = nullptr;  // chunk 0
  uint32_t position = 0;
  ScriptState state = ScriptState::RUNNING;
  uint32_t wait_target = 0;
};

// Everything a running show owns. Effects keep references into the tables, so an Engine never
// moves: make it in place and keep it there.
struct Engine {
  // Takes the loaded chunks; chunk 0 must be the DEMO chunk, else a fatal error.
  explicit Engine(datafile::ChunkTable table);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  datafile::ChunkTable chunks;
  // The show's own random stream, so that a show draws the same numbers however many others the
  // process runs. Effects keep a pointer to it: it is made before the slots and outlives them.
  fx::Random random;
  std::array<BufferEntry, BUFFER_COUNT> buffers;
  std::array<std::unique_ptr<FxSlot>, SLOT_COUNT> slots;
  Script script;
  uint32_t frame_counter = 0;  // completed frames: the time base of waits, the flash and some FX
};

// The six operations. They trust their operands: `run_script` checks every instruction against
// the tables before it calls them.
void create_buffer(Engine& engine, uint8_t index, uint16_t x, uint16_t y, uint16_t width,
                   uint16_t height);
void create_view_buffer(Engine& engine, uint8_t index, uint16_t x, uint16_t y, uint8_t source);
void create_fx(Engine& engine, uint8_t slot, uint8_t class_id, uint8_t buffer_index);
void set_param_int(Engine& engine, uint8_t slot, uint8_t id, int32_t value);
void set_param_chunk(Engine& engine, uint8_t slot, uint8_t id, uint8_t chunk_index);
void set_fx_state(Engine& engine, uint8_t slot, uint8_t state);

// Runs the script until it waits (returns 0) or reaches END (rewinds it and returns 255).
// A script that breaks the tables' limits is a fatal error naming the instruction.
int run_script(Engine& engine);

// Renders every running slot 0 to 17, in slot order.
void render_pass(Engine& engine);

// Hands the buffer of every shown slot 0 to 17 to the display, in slot order.
void show_pass(Engine& engine, DisplayDriver& display);

}  // namespace engine
